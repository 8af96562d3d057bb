// The value texts of the map's parameters: what the user writes, what the
// instrument gets.

#include "displaytext.h"
#include "map.h"
#include "numbers.h"

#include <QRegularExpression>

namespace instrument::map {

namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("«%1»").arg(text);
}

// A whole number in decimal: optional sign and digits, blanks around.
bool wholeNumber(const QString& text, qint64* value)
{
    static const QRegularExpression digits(QStringLiteral("^[+-]?\\d{1,12}$"));
    const QString t = text.trimmed();
    if (!digits.match(t).hasMatch())
        return false;
    *value = t.toLongLong();
    return true;
}

// The word the instrument gets for a whole number: its 16 bits in hexadecimal.
QString wordWire(qint64 v)
{
    return instrument::hexText(quint32(quint16(v)));
}

bool parseCode(const Param& p, const QString& text, QString* value, QString* wire, QString* error)
{
    qint64 v = 0;
    const bool number = wholeNumber(text, &v);
    for (const Item& item : p.items) {
        if ((number && item.code == v) || item.text == text.trimmed()) {
            if (!item.writable) {
                *error = refusal(p, QStringLiteral("%1 (%2) прибор только сообщает, записать его нельзя")
                                        .arg(item.code)
                                        .arg(quoted(item.text)));
                return false;
            }
            *value = QString::number(item.code);
            *wire = wordWire(item.code);
            return true;
        }
    }
    QStringList allowed;
    for (const Item& item : p.items)
        if (item.writable)
            allowed << QStringLiteral("%1 (%2)").arg(item.code).arg(item.text);
    *error = refusal(p, QStringLiteral("%1 не код из списка: %2").arg(quoted(text), allowed.join(QStringLiteral(", "))));
    return false;
}

bool parseReal(const Param& p, const QString& text, int digits, QString* value, QString* wire, QString* error)
{
    double v = 0;
    if (!instrument::toNumber(text, QStringLiteral("."), &v)) {
        *error = refusal(p, QStringLiteral("%1 не является числом (десятичная точка — \".\")").arg(quoted(text)));
        return false;
    }
    const double sent = v == 0 && p.zeroReplaced ? p.zeroAs : v;
    const QString form = realWire(sent, digits);
    double carried = 0;
    if (!carriedExactly(form, sent, &carried)) {
        *error = refusal(p, QStringLiteral("%1 не передаётся прибору точно (прибор получил бы %2), введите меньше "
                                           "значащих цифр")
                                .arg(quoted(text), instrument::numberText(carried, QStringLiteral("."))));
        return false;
    }
    *value = instrument::numberText(v, QStringLiteral("."));
    *wire = form;
    return true;
}

bool parseText(const Param& p, const QString& text, QString* value, QString* wire, QString* error)
{
    const QString bad = unencodable(text);
    if (!bad.isEmpty()) {
        *error = refusal(p, QStringLiteral("символа %1 нет на индикаторе прибора").arg(bad));
        return false;
    }
    for (QChar c : text)
        if (c.unicode() < 32) {
            *error = refusal(p, QStringLiteral("управляющий символ (код %1) не показывается индикатором").arg(c.unicode()));
            return false;
        }
    if (text.size() > p.readLength) {
        *error = refusal(p, QStringLiteral("%1 длиннее %2 символов").arg(quoted(text)).arg(p.readLength));
        return false;
    }
    *value = text;
    *wire = text;
    return true;
}

bool parseRelay(const Param& p, const QString& text, QString* value, QString* wire, QString* error)
{
    QStringList parts = text.trimmed().split(QLatin1Char(';'));
    if (!parts.isEmpty() && parts.last().trimmed().isEmpty())
        parts.removeLast();
    if (parts.size() != kRelayFields) {
        *error = refusal(p, QStringLiteral("нужно %1 полей через \";\", а их %2").arg(kRelayFields).arg(parts.size()));
        return false;
    }
    QList<quint32> fields;
    for (int i = 0; i < parts.size(); ++i) {
        const QString f = parts.at(i).trimmed();
        const quint32 v = f.toUInt(nullptr, 16);
        if (!instrument::readsAsHex(f) || v > 0x3F) {
            *error = refusal(p, QStringLiteral("поле %1 = %2 не шестнадцатеричное число от 0 до 3F")
                                    .arg(i + 1)
                                    .arg(quoted(parts.at(i))));
            return false;
        }
        fields << v;
    }
    QStringList hex;
    for (quint32 v : fields)
        hex << instrument::hexText(v);
    *value = hex.join(QLatin1Char(';'));
    *wire = relayRecord(p.index, fields);
    return true;
}

} // namespace

QString refusal(const Param& p, const QString& why)
{
    return QStringLiteral("%1: %2").arg(p.title(), why);
}

bool parseValue(const Param& p, const QString& text, int digits, QString* value, QString* wire, QString* error)
{
    if (p.readOnly()) {
        *error = refusal(p, QStringLiteral("параметр только читается"));
        return false;
    }
    switch (p.kind) {
    case Kind::Code:
        return parseCode(p, text, value, wire, error);
    case Kind::Real:
        return parseReal(p, text, digits, value, wire, error);
    case Kind::Text:
        return parseText(p, text, value, wire, error);
    case Kind::RelayRecord:
        return parseRelay(p, text, value, wire, error);
    case Kind::Clock:
        break;
    case Kind::Integer:
    case Kind::Flag: {
        qint64 v = 0;
        if (!wholeNumber(text, &v) || v < p.lowest || v > p.highest) {
            *error = refusal(p, QStringLiteral("%1 не является целым числом от %2 до %3")
                                    .arg(quoted(text))
                                    .arg(p.lowest)
                                    .arg(p.highest));
            return false;
        }
        *value = QString::number(v);
        *wire = wordWire(v);
        return true;
    }
    }
    *error = refusal(p, QStringLiteral("параметр только читается"));
    return false;
}

QString itemText(const Param& p, const QString& value)
{
    qint64 v = 0;
    if (p.kind != Kind::Code || !wholeNumber(value, &v))
        return QString();
    for (const Item& item : p.items)
        if (item.code == v)
            return item.text;
    return QString();
}

bool carriedExactly(const QString& exponentForm, double value, double* sent)
{
    bool ok = false;
    *sent = exponentForm.toDouble(&ok);
    return ok && *sent == value;
}

QString realWire(double value, int digits)
{
    return instrument::exponentForm(value, digits, QStringLiteral("."), true);
}

bool relayFields(const QString& answer, QList<quint32>* fields)
{
    const QStringList parts = answer.split(QLatin1Char(';'));
    // 49 fields, each ended by ";".
    if (parts.size() < kRelayAnswerFields + 1)
        return false;
    fields->clear();
    for (int i = 0; i < kRelayAnswerFields; ++i) {
        if (!instrument::readsAsHex(parts.at(i)))
            return false;
        if (i < kRelayFields)
            fields->append(parts.at(i).toUInt(nullptr, 16));
    }
    return true;
}

QString relayRecord(int relay, const QList<quint32>& fields)
{
    QString text = instrument::hexText(quint32(relay)) + QLatin1Char(';');
    for (quint32 v : fields)
        text += instrument::hexText(v) + QLatin1Char(';');
    for (int i = kRelayFields; i < kRelayAnswerFields; ++i)
        text += QStringLiteral("0;");
    return text;
}

} // namespace instrument::map
