#pragma once
// The relay logic as the instrument keeps it: for each of the 13 relays three
// rows of marks (first setpoint, second setpoint, sensor break) against the
// 90 channels, exchanged as a record of hexadecimal six-bit fields. These are
// the grid's rows and the record's fields and nothing else, so they can be
// checked without a window.

#include "map.h"

#include <QString>
#include <QStringList>
#include <array>

namespace contacts {

constexpr int kRelays = instrument::map::kRelays;
constexpr int kChannels = 90;
constexpr int kRowsPerRelay = 4;         // three event rows and a spare row
constexpr int kEventRows = 3;
constexpr int kFieldsPerRow = 15;        // six channels a field
constexpr int kRecordFields = instrument::map::kRelayAnswerFields;   // the event fields and 4 unused
constexpr int kEventFields = instrument::map::kRelayFields;
constexpr int kGridRows = kRelays * kRowsPerRelay + 1;
constexpr int kGridCols = kChannels + 2;
constexpr int kFirstMarkCol = 2;         // grid column of channel 1

// The marks of one event row, channel 1 at index 0.
using RowMarks = std::array<bool, kChannels>;
// The three event rows of one relay.
using RelayMarks = std::array<RowMarks, kEventRows>;

// The relay index (0 .. 12) a grid row belongs to; the heading row counts as 0.
int relayOfRow(int row);
// The grid row of event row e (0 first setpoint, 1 second, 2 break) of relay i.
int eventRow(int relay, int e);

// The relays from the current row to the row where the selection ends, in
// ascending order whichever way the selection was dragged.
struct RelayRange {
    int first = 0;
    int last = 0;
};
RelayRange relayRange(int row, int rowSel);

// Six marks as the field's text: bit b is mark b; upper-case hexadecimal
// without leading zeros ("0" .. "3F").
QString packField(const std::array<bool, 6>& marks);
// The six marks of a field value: exactly its low six bits (a field can hold
// no more channels than six, whatever the instrument sends).
std::array<bool, 6> unpackField(quint32 value);

// The record written for relay i: "i;", the 45 fields packed from the rows
// (all 90 channels of each), then "0;" four times. It ends in ";".
QString recordText(int relay, const RelayMarks& marks);

// A relay answer taken apart (the map's rule): true when it is a record,
// that is when it holds all 49 fields, each hexadecimal digits (one to
// eight, either case); the 45 event fields go to *fields. An error text of
// the link is not a record.
bool readRecord(const QString& answer, std::array<quint32, kEventFields>* fields);

// The fields a read shows: the first two of each group (channels 1 to 12).
constexpr int kShownFields = 2;

// A flag answer of the link: the whole number it read (decimal, perhaps
// negative, as the link gives FFFF as "-1") or hexadecimal digits. Anything
// else is a failure text.
bool isFlagAnswer(const QString& answer);
// A flag is set only when its value is 1.
inline bool flagSet(const QString& answer)
{
    return answer == QLatin1String("1");
}

} // namespace contacts
