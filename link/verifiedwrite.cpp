// Verified writes: a value written to the instrument counts only once it has
// been read back equal.

#include "linkcore.h"
#include "numbers.h"
#include "protocol.h"

#include <QRegularExpression>

namespace instrument {

namespace {

const QString kMsgNotRead = QStringLiteral("Не прочиталось");
const QString kMsgMismatch = QStringLiteral("Не совпадение прочитанного с тем, что записали.");

// The read-back of an integer is the 16-bit register as signed decimal text;
// -1 is the pattern FFFF. Returns false for anything else (a message).
bool registerPattern(const QString& readBack, quint16* pattern)
{
    static const QRegularExpression decimal(QStringLiteral("^-?\\d{1,6}$"));
    if (!decimal.match(readBack).hasMatch())
        return false;
    const int v = readBack.toInt();
    if (v < -32768 || v > 65535)
        return false;
    *pattern = quint16(v);
    return true;
}

} // namespace

QString LinkCore::sWriteAndRead(quint8 Command, const QString& Adrr, const QString& Value)
{
    if (secondExchange())
        return kMsgExchangeRunning;
    Running running(*this);
    return writeAndRead(Command, Adrr, Value);
}

QString LinkCore::writeAndRead(quint8 Command, const QString& Adrr, const QString& Value)
{
    QString wire = Value;
    const int at = wire.indexOf(sFloatingPointSeparator);
    if (at >= 0 && !sFloatingPointSeparator.isEmpty())
        wire.replace(at, sFloatingPointSeparator.size(), QStringLiteral("."));

    // A real value the link cannot read itself can never be compared: say so
    // before anything is written.
    double written = 0;
    QString localValue = wire;
    if (protocol::readsBackReal(Command)) {
        const int dot = localValue.indexOf(QLatin1Char('.'));
        if (dot >= 0)
            localValue.replace(dot, 1, sFloatingPointSeparator);
        if (!toNumber(localValue, sFloatingPointSeparator, &written))
            return QStringLiteral("Недопустимое значение для записи: \"%1\"").arg(Value);
    }

    int writesLeft = 2;
    int readsLeft = 4;
    QString result;
    for (;;) {
        const QString w = comPort(Command, Adrr, wire);
        if (w != QLatin1String("OK"))
            return w;

        if (protocol::readsBackInteger(Command)) {
            for (;;) {
                const QString r = comPort(quint8(protocol::command(Command).readBack), Adrr, wire);
                quint16 pattern = 0;
                if (!registerPattern(r, &pattern)) {
                    result = kMsgNotRead;
                    if (readsLeft > 0) {
                        --readsLeft;
                        continue;
                    }
                    return result;
                }
                const QString hex = hexText(pattern);
                if (hex == wire)
                    return QStringLiteral("OK");
                result = kMsgMismatch + QStringLiteral("||") + wire + QStringLiteral("<>") + hex;
                break;
            }
        } else if (protocol::readsBackReal(Command)) {
            for (;;) {
                const QString r = comPort(quint8(protocol::command(Command).readBack), Adrr, wire);
                double back = 0;
                if (!toNumber(r, sFloatingPointSeparator, &back)) {
                    result = kMsgNotRead + QStringLiteral("=") + w;
                    if (readsLeft > 0) {
                        --readsLeft;
                        continue;
                    }
                    return result;
                }
                const double diff = written - back;
                if (diff * diff <= written * written / 10)
                    return QStringLiteral("OK");
                result = kMsgMismatch + QStringLiteral("||") + localValue + QStringLiteral("<>") + r;
                break;
            }
        } else {
            return QString();
        }
        if (writesLeft == 0)
            return result;
        --writesLeft;
    }
}

QString LinkCore::sWriteToFlash(quint8 Command, qint16 AdrrDecInt, const QString& Value)
{
    if (secondExchange())
        return kMsgExchangeRunning;
    Running running(*this);
    if (Command <= 17)
        return writeAndRead(Command, hexText16(AdrrDecInt), Value);
    // Module parameters live in four copies, 512 addresses apart.
    if (int(AdrrDecInt) + 1536 > 32767)
        return QStringLiteral("Недопустимый адрес параметра: %1").arg(AdrrDecInt);
    for (int copy = 0; copy < 4; ++copy) {
        const QString r = writeAndRead(Command, hexText16(qint16(AdrrDecInt + 512 * copy)), Value);
        if (r != QLatin1String("OK"))
            return r;
    }
    return QStringLiteral("OK");
}

} // namespace instrument
