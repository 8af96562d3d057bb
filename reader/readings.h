#pragma once
// The instrument's answer to the readings command 423, taken apart.
//
// The text after "!" holds, counted from 1: characters 1-8 unused; 9 the mains
// flag ("1" = mains present); 10-11 the discrete inputs 1-4; 12-13 the buffer
// recording control inputs (bit 1 = buffer 1, bit 2 = buffer 2); 14-17 unused;
// 18-19 relays 9-16 (bit 128 = relay 16); 20-21 relays 1-8 (bit 128 = relay 8);
// 22 unused; from 23 on one ";"-terminated field per channel, module 1
// channels 1-6 and then module 2. A channel field is the measurement state
// ("0" = normal), one hexadecimal digit of flags (1 = first setpoint,
// 2 = second setpoint, 4 = sensor break) and the value with "." as decimal
// point, e.g. "05123.4;".

#include "map.h"

#include <QList>
#include <QString>
#include <array>

namespace reader {

// Channels the readings command answers for (the map's request asks for
// all of them): two modules of six.
constexpr int kChannelsPerModule = instrument::map::kChannelsPerModule;
constexpr int kModules = instrument::map::kChannels / kChannelsPerModule;

struct ChannelReading {
    QString state;              // the state character as it came; "0" = normal
    bool firstSetpoint = false;
    bool secondSetpoint = false;
    bool sensorBreak = false;
    QString value;              // the measured value in the locale's number text

    bool normal() const { return state == QLatin1String("0"); }
};

struct Readings {
    bool mains = false;
    std::array<bool, 4> discrete{};        // inputs 1..4
    std::array<bool, 2> bufferControl{};   // buffer 1, buffer 2
    std::array<bool, 16> relays{};         // relays 1..16
    QList<ChannelReading> channels;        // as many complete fields as came, at most 12
};

// Decodes the text that follows "!" in the answer (the link has already
// checked its shape). sep is the locale's decimal separator.
Readings decodeReadings(const QString& answer, const QString& sep);

} // namespace reader
