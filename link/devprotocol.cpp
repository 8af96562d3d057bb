// The frames of both request paths and the judging of their answers.

#include "linkcore.h"

#include "numbers.h"
#include "protocol.h"

namespace instrument {

using namespace protocol;

QString LinkCore::addressFrame(quint8 Command, const QString& Adrr, const QString& Value) const
{
    QString frame = QStringLiteral(":");
    if (EnableNetAdrr)
        frame += QString::number(bNetAdrr) + QLatin1Char(';');
    frame += QString::number(Command) + QLatin1Char(';');
    const QString module = QString::number(bModuleNumber) + QLatin1Char(';');
    switch (protocol::command(Command).addressFields) {
    case protocol::AddressFields::AddressValue:
        return frame + Adrr + QLatin1Char(';') + Value + QLatin1Char(';');
    case protocol::AddressFields::ModuleAddress:
        return frame + module + Adrr + QLatin1Char(';');
    case protocol::AddressFields::ModuleAddressValue:
        return frame + module + Adrr + QLatin1Char(';') + Value + QLatin1Char(';');
    case protocol::AddressFields::ValueOnly:
        return frame + Value + QLatin1Char(';');
    case protocol::AddressFields::None:
        return frame;
    case protocol::AddressFields::Address:
        break;
    }
    return frame + Adrr + QLatin1Char(';');
}

QString LinkCore::sBuildCommand(qint16 iCommand, const QString& sPar1, const QString& sPar2)
{
    const QString head = QLatin1Char(':') + QString::number(bNetAdrr) + QLatin1Char(';') + QString::number(iCommand)
        + QLatin1Char(';');
    switch (protocol::command(iCommand).commandFields) {
    case protocol::CommandFields::BothParams:
        return head + sPar1 + QLatin1Char(';') + sPar2 + QLatin1Char(';');
    case protocol::CommandFields::FirstParam:
        return head + sPar1 + QLatin1Char(';');
    case protocol::CommandFields::SecondParam:
        return head + sPar2 + QLatin1Char(';');
    case protocol::CommandFields::None:
        return head;
    case protocol::CommandFields::Refused:
        break;
    }
    COMError = 1;
    sErrorMsg = kMsgNoCommand;
    return QString();
}

QString LinkCore::sExpConvection(double Value) const
{
    return exponentForm(Value, NOfDigits, sFloatingPointSeparator, true);
}

QString LinkCore::sExpConvection1(double Value) const
{
    return exponentForm(Value, NOfDigits, sFloatingPointSeparator, false);
}

void LinkCore::CheckAnswer(qint16 iCommand, const QString& sAnswer, const QString& sPar)
{
    if (COMError != 0)
        return;
    auto fail = [this](const QString& msg) {
        COMError = 5;
        sErrorMsg = msg;
    };
    if (!hasMarkers(sAnswer)) {
        const QString msg = unmarkedMessage(sAnswer);
        COMError = msg == kMsgDeviceError ? 3 : msg == kMsgNoAnswer ? 4 : 5;
        sErrorMsg = msg;
        return;
    }
    const QString text = sAnswer.mid(sAnswer.indexOf(QLatin1Char('!')) + 1);
    const QString sep = sFloatingPointSeparator;
    qint32 channels = 0;
    if (!hexValue(sPar, &channels) || channels < 0)
        channels = 0;

    const bool readings = protocol::command(iCommand).commandAnswer == protocol::Answer::Readings;
    // A channel field of the frame and readings answers: two leading
    // characters, then a real value. Returns the message of a bad one.
    auto valueFieldError = [&](const QString& field, const QString& badNumber) {
        const QString value = field.mid(2);
        if (value.contains(QLatin1String("NaN")))
            return readings ? badNumber : kMsgNaN;
        if (!isNumber(replaceFirst(value, QStringLiteral("."), sep), sep))
            return badNumber;
        return QString();
    };

    switch (protocol::command(iCommand).commandAnswer) {
    case protocol::Answer::Confirmed:
        if (!text.contains(QLatin1String("OK"))) {
            COMError = 6;
            sErrorMsg = kMsgNotWritten;
        }
        return;
    case protocol::Answer::Number: {
        if (text.contains(QLatin1String("NaN")))
            return fail(kMsgNaN);
        // The value is the first field; the ";" and CR after it are not part of it.
        const QString value = replaceFirst(text.section(QLatin1Char(';'), 0, 0), QStringLiteral("."), sep);
        if (!isNumber(value, sep) && !readsAsHex(value.trimmed()))
            fail(kMsgBadNumber);
        return;
    }
    case protocol::Answer::Clock: {
        const QStringList fields = terminatedFields(text);
        if (fields.size() < 8)
            return fail(kMsgBadNumber);
        for (int i = 0; i < 8; ++i)
            if (!isNumber(fields[i], sep))
                return fail(kMsgBadNumber);
        return;
    }
    case protocol::Answer::Frame: {
        const QStringList fields = terminatedFields(text);
        if (fields.size() < 10 + channels)
            return fail(kMsgBadNumber);
        for (int i = 0; i < 9; ++i)
            if (!isNumber(fields[i], sep))
                return fail(kMsgBadNumber);
        for (int i = 10; i < 10 + channels; ++i) {
            const QString msg = valueFieldError(fields[i], kMsgBadNumber);
            if (!msg.isEmpty())
                return fail(msg);
        }
        return;
    }
    case protocol::Answer::Readings: {
        for (int i = 0; i < 6; ++i) {
            const QString group = text.mid(9 + 2 * i, 2);
            if (group.size() != 2 || !readsAsHex(group))
                return fail(kMsgBadReadings);
        }
        QString rest = text.mid(22);
        for (int i = 0; i < channels; ++i) {
            const int end = rest.indexOf(QLatin1Char(';'));
            if (end < 0)
                return fail(kMsgBadReadingsField);
            const QString msg = valueFieldError(rest.left(end), kMsgBadReadingsField);
            if (!msg.isEmpty())
                return fail(msg);
            rest = rest.mid(end + 1);
        }
        return;
    }
    default: // markers only
        return;
    }
}

QString LinkCore::interpretAddressAnswer(quint8 Command, const QString& answer, bool* retry, bool* systemError)
{
    *retry = false;
    *systemError = false;
    if (!hasMarkers(answer)) {
        COMError = 1;
        *retry = true;
        return unmarkedMessage(answer);
    }
    const QString sep = sFloatingPointSeparator;
    const int bang = answer.indexOf(QLatin1Char('!'));
    const QString text = answer.mid(bang + 1);
    auto systemFailure = [&](const QString& description) {
        *systemError = true;
        return kSystemErrorPrefix + description;
    };
    // The value between the first "!" and the first ";".
    auto firstValue = [&](QString* v) {
        const int semi = answer.indexOf(QLatin1Char(';'));
        if (semi < bang)
            return false;
        *v = answer.mid(bang + 1, semi - bang - 1);
        return true;
    };
    // Block answers: count fields, each must pass the test.
    auto block = [&](int skip, int count, int dropChars, bool numbersToo) {
        const QStringList fields = terminatedFields(text);
        if (fields.size() < skip + count)
            return systemFailure(kDescMissingField);
        for (int i = skip; i < skip + count; ++i) {
            const QString f = fields[i].mid(dropChars);
            const bool good = readsAsHex(f) || (numbersToo && isNumber(replaceFirst(f, QStringLiteral("."), sep), sep));
            if (!good) {
                COMError = 1;
                *retry = true;
                return kMsgBadBlock;
            }
        }
        return text;
    };

    switch (protocol::command(Command).addressAnswer) {
    case protocol::Answer::Confirmed:
        if (answer.contains(QLatin1String("OK")))
            return QStringLiteral("OK");
        *retry = true;
        return kMsgNotWritten;
    case protocol::Answer::Integer: {
        QString v;
        if (!firstValue(&v))
            return systemFailure(kDescBadCall);
        qint32 n = 0;
        if (!hexValue(v, &n)) {
            *retry = true;
            return kMsgBadNumber;
        }
        if (n < -32768 || n > 32767)
            return systemFailure(kDescOverflow);
        return QString::number(n);
    }
    case protocol::Answer::Real: {
        QString v;
        if (!firstValue(&v))
            return systemFailure(kDescBadCall);
        if (v.contains(QLatin1String("NaN")))
            return kMsgNaN;
        double d = 0;
        if (!toNumber(replaceFirst(v, QStringLiteral("."), sep), sep, &d)) {
            *retry = true;
            return kMsgBadNumber;
        }
        return numberText(d, sep);
    }
    case protocol::Answer::Block48:
        return block(0, 48, 0, true);
    case protocol::Answer::Block42:
        return block(1, 42, 1, true);
    case protocol::Answer::Block49:
        return block(0, 49, 0, false);
    default: // not interpreted
        return QString();
    }
}

} // namespace instrument
