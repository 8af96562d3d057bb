#include "baseaddress.h"

#include "numbers.h"

#include <QRegularExpression>

namespace instrument::map {

namespace {
constexpr qint32 kMin16 = -32768;
constexpr qint32 kMax16 = 32767;
} // namespace

bool addressValue(const QString& text, const QString& sep, qint32* value)
{
    static const QRegularExpression hex(QStringLiteral("^\\s*&[Hh]([0-9A-Fa-f]{1,4})\\s*$"));
    const QRegularExpressionMatch m = hex.match(text);
    if (m.hasMatch())
        return instrument::hexValue(m.captured(1), value);
    qint64 whole = 0;
    if (!instrument::toWholeNumber(text, sep, kMin16, kMax16, &whole))
        return false;
    *value = qint32(whole);
    return true;
}

QString BaseAddress::refusal() const
{
    return QStringLiteral("в файле \"%1\" раздел [%2] ключ %3 = \"%4\" не является адресом; "
                          "исправьте файл и запустите программу снова")
        .arg(kDevDat, section, key, text);
}

BaseAddress readBaseAddress(const KeyReader& keys, const QString& sep, const QString& section, const QString& key,
                            const QString& fallback, int lowest, int highest, const QString& consequence)
{
    BaseAddress a;
    a.section = section;
    a.key = key;
    a.text = keys(section, key, fallback);
    qint32 value = 0;
    if (addressValue(a.text, sep, &value) && value + lowest >= kMin16 && value + highest <= kMax16) {
        a.valid = true;
        a.value = value;
        return a;
    }
    const QString range = QStringLiteral("от %1 до %2").arg(kMin16 - lowest).arg(kMax16 - highest);
    a.problem = QStringLiteral("В файле \"%1\" в разделе [%2] ключ %3 = \"%4\" не является адресом "
                               "(&H и шестнадцатеричные цифры или десятичное целое %5). %6")
                    .arg(kDevDat, section, key, a.text, range, consequence)
                    .trimmed();
    return a;
}

} // namespace instrument::map
