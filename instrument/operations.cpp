// Reads and writes of the map's parameters as the link calls the windows make.

#include "displaytext.h"
#include "link.h"
#include "numbers.h"
#include "protocol.h"

namespace instrument::map {

namespace {

using namespace instrument::cmd;

const QString kOK = QStringLiteral("OK");
// Command 13 writing 1 at 151A restarts the instrument's logic.
constexpr qint16 kRestartAddress = 0x151A;
// Byte 1 to address 44B of a module restarts its converter.
const QString kModuleRestart = QStringLiteral("44B;1");

QString hex(int address)
{
    return instrument::hexText16(qint16(address));
}

Call comPort(const Param& p, int command, int address, const QString& value)
{
    Call c;
    c.function = Call::COMPort;
    c.command = command;
    c.address = hex(address);
    c.value = value;
    c.module = p.module;
    return c;
}

Call verified(int command, int address, const QString& value)
{
    Call c;
    c.function = Call::WriteAndRead;
    c.command = command;
    c.address = hex(address);
    c.value = value;
    return c;
}

Result failed(const QString& error)
{
    return Result{false, QString(), error};
}

// The value of an integer read: the link gives it as signed decimal text.
bool integerAnswer(const QString& answer, const QString& sep, qint64* v)
{
    return instrument::toWholeNumber(answer, sep, -32768, 65535, v);
}

} // namespace

QString Call::text() const
{
    const auto q = [](const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); };
    QString t;
    switch (function) {
    case COMPort: t = QStringLiteral("sCOMPort(%1, %2, %3)").arg(command).arg(q(address), q(value)); break;
    case SendCommand: t = QStringLiteral("sSendCommand(%1, %2, %3)").arg(command).arg(q(address), q(value)); break;
    case WriteAndRead: t = QStringLiteral("sWriteAndRead(%1, %2, %3)").arg(command).arg(q(address), q(value)); break;
    case WriteToFlash: t = QStringLiteral("sWriteToFlash(%1, %2, %3)").arg(command).arg(flashAddress).arg(q(value)); break;
    }
    if (module >= 0)
        t = QStringLiteral("bModuleNumber = %1; ").arg(module) + t;
    if (answerIgnored)
        t += QStringLiteral(" (ответ не проверяется)");
    return t;
}

bool Call::operator==(const Call& o) const
{
    return function == o.function && command == o.command && address == o.address && flashAddress == o.flashAddress
           && value == o.value && module == o.module && answerIgnored == o.answerIgnored;
}

QString perform(Link& link, const Call& call, QString* error)
{
    if (call.module >= 0)
        link.setModule(quint8(call.module));
    switch (call.function) {
    case Call::COMPort: return link.sCOMPort(quint8(call.command), call.address, call.value);
    case Call::WriteAndRead: return link.sWriteAndRead(quint8(call.command), call.address, call.value);
    case Call::WriteToFlash: return link.sWriteToFlash(quint8(call.command), call.flashAddress, call.value);
    case Call::SendCommand: {
        QString message;
        const QString answer = link.sSendCommand(qint16(call.command), call.address, call.value, &message);
        if (error)
            *error = message;
        return answer;
    }
    }
    return QString();
}

Call restartCall()
{
    Call restart;
    restart.command = WriteInteger;
    restart.address = hex(kRestartAddress);
    restart.value = QStringLiteral("1");
    restart.answerIgnored = true;
    return restart;
}

Call readingsCall()
{
    Call c;
    c.function = Call::SendCommand;
    c.command = ReadReadings;
    // The count of channels asked for, in hexadecimal as the request spells it: "c".
    c.value = QString::number(kChannels, 16);
    return c;
}

QList<Call> readCalls(const Param& p)
{
    switch (p.kind) {
    case Kind::Clock: {
        Call c;
        c.function = Call::SendCommand;
        c.command = ReadClock;
        return {c};
    }
    case Kind::RelayRecord:
        return {comPort(p, p.readCommand, p.address(), instrument::hexText(quint32(p.index)))};
    case Kind::Text: {
        QList<Call> calls;
        for (int k = 0; k < p.readLength; ++k)
            calls << comPort(p, p.readCommand, p.address() + k, p.readValue);
        return calls;
    }
    default:
        return {comPort(p, p.readCommand, p.address(), p.readValue)};
    }
}

QList<Call> writeCalls(const Param& p, const QString& wire)
{
    const int a = p.addressForWrite();
    QList<Call> calls;
    switch (p.writing) {
    case Writing::None:
        break;
    case Writing::FlashThenVerified:
    case Writing::FlashCopies: {
        Call flash;
        flash.function = Call::WriteToFlash;
        flash.command = p.writeCommand;
        flash.flashAddress = qint16(a);
        flash.value = wire;
        flash.module = p.module;
        calls << flash;
        if (p.writing == Writing::FlashThenVerified)
            calls << verified(p.secondCommand, a, wire);
        break;
    }
    case Writing::VerifiedPair:
        if (p.kind == Kind::Text) {
            // Every character twice, blanks after the text.
            QList<quint8> codes;
            QString bad;
            displayCodes(wire, p.writeLength, &codes, &bad);
            for (int k = 0; k < codes.size(); ++k) {
                const QString code = instrument::hexText(codes.at(k));
                calls << verified(p.writeCommand, a + k, code) << verified(p.secondCommand, a + k, code);
            }
        } else {
            calls << verified(p.writeCommand, a, wire) << verified(p.secondCommand, a, wire);
        }
        break;
    case Writing::PlainPair:
        calls << comPort(p, p.writeCommand, a, wire) << comPort(p, p.secondCommand, a, wire);
        break;
    case Writing::Plain:
        calls << comPort(p, p.writeCommand, a, wire);
        break;
    case Writing::PlainThenRestart: {
        calls << comPort(p, p.writeCommand, a, wire);
        Call restart = restartCall();
        restart.module = p.module;
        calls << restart;
        break;
    }
    }
    return calls;
}

Call moduleRestartCall(int module)
{
    Call c;
    c.function = Call::SendCommand;
    c.command = ModuleRestart;
    c.address = QString::number(module);
    c.value = kModuleRestart;
    return c;
}

Result read(const Param& p, Link& link)
{
    if (!p.base.valid)
        return failed(p.base.refusal());
    const QString sep = link.decimalSeparator();
    QString text;
    for (const Call& call : readCalls(p)) {
        QString error;
        const QString answer = perform(link, call, &error);
        qint64 v = 0;
        switch (p.kind) {
        case Kind::Clock: {
            if (!error.isEmpty())
                return failed(error);
            QStringList fields = answer.split(QLatin1Char(';'));
            if (fields.size() < 9)
                return failed(answer);
            return Result{true, QStringList(fields.mid(0, 8)).join(QLatin1Char(';')), QString()};
        }
        case Kind::RelayRecord: {
            QList<quint32> fields;
            if (!relayFields(answer, &fields))
                return failed(answer);
            QStringList hex;
            for (quint32 f : fields)
                hex << instrument::hexText(f);
            return Result{true, hex.join(QLatin1Char(';')), QString()};
        }
        case Kind::Real: {
            if (!instrument::isNumber(answer, sep))
                return failed(answer);
            QString value = answer.trimmed();
            const int at = sep.isEmpty() ? -1 : int(value.indexOf(sep));
            if (at >= 0)
                value.replace(at, sep.size(), QStringLiteral("."));
            return Result{true, value, QString()};
        }
        case Kind::Text:
            if (!integerAnswer(answer, sep, &v))
                return failed(answer);
            if (v < 0 || v > 255)
                return failed(QStringLiteral("по адресу %1 прибор хранит %2, а код символа бывает от 0 до 255")
                                  .arg(call.address, answer.trimmed()));
            text += displayChar(quint8(v));
            break;
        case Kind::Integer:
        case Kind::Code:
        case Kind::Flag:
            if (!integerAnswer(answer, sep, &v))
                return failed(answer);
            return Result{true, QString::number(v), QString()};
        }
    }
    return Result{true, text, QString()};
}

Result write(const Param& p, Link& link, const QString& text)
{
    if (!p.base.valid)
        return failed(p.base.refusal());
    QString value;
    QString wire;
    QString error;
    if (!parseValue(p, text, link.exponentDigits(), &value, &wire, &error))
        return failed(error);
    for (const Call& call : writeCalls(p, wire)) {
        const QString answer = perform(link, call, &error);
        if (call.answerIgnored)
            continue;
        if (answer != kOK)
            return failed(answer);
    }
    return Result{true, value, QString()};
}

} // namespace instrument::map
