#include "readings.h"

#include "numbers.h"

namespace reader {

namespace {

// Two hexadecimal digits starting at 1-based position pos; blanks count as
// "0". Anything that is not hexadecimal reads as no bits set.
int hexPair(const QString& answer, int pos)
{
    QString digits = answer.mid(pos - 1, 2);
    digits.replace(QLatin1Char(' '), QLatin1Char('0'));
    qint32 v = 0;
    if (!instrument::hexValue(digits, &v))
        return 0;
    return v & 0xFF;
}

ChannelReading decodeChannel(const QString& field, const QString& sep)
{
    ChannelReading ch;
    ch.state = field.left(1);

    // One flag digit. Only its three lowest bits carry meaning; a character
    // that is not a hexadecimal digit sets no flag.
    qint32 flags = 0;
    if (!instrument::hexValue(field.mid(1, 1), &flags))
        flags = 0;
    ch.sensorBreak = flags & 4;
    ch.secondSetpoint = flags & 2;
    ch.firstSetpoint = flags & 1;

    QString value = field.mid(2);
    const int point = value.indexOf(QLatin1Char('.'));
    if (point >= 0)
        value.replace(point, 1, sep);
    double v = 0;
    ch.value = instrument::toNumber(value, sep, &v) ? instrument::numberText(v, sep) : value;
    return ch;
}

} // namespace

Readings decodeReadings(const QString& answer, const QString& sep)
{
    Readings r;
    r.mains = answer.mid(8, 1) == QLatin1String("1");

    // Discrete inputs 1..4 are the four lowest bits; higher bits belong to no
    // input shown here.
    const int discrete = hexPair(answer, 10);
    for (int i = 0; i < 4; ++i)
        r.discrete[i] = discrete & (1 << i);

    const int buffers = hexPair(answer, 12) & 3;
    r.bufferControl[0] = buffers & 1;
    r.bufferControl[1] = buffers & 2;

    const int relaysHigh = hexPair(answer, 18);
    const int relaysLow = hexPair(answer, 20);
    for (int i = 0; i < 8; ++i) {
        r.relays[i] = relaysLow & (1 << i);
        r.relays[8 + i] = relaysHigh & (1 << i);
    }

    QString rest = answer.mid(22);
    for (int i = 0; i < kModules * kChannelsPerModule; ++i) {
        const int end = rest.indexOf(QLatin1Char(';'));
        if (end < 0)
            break;
        r.channels.append(decodeChannel(rest.left(end), sep));
        rest.remove(0, end + 1);
    }
    return r;
}

} // namespace reader
