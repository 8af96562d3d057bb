#include "settingskeys.h"

#include "dev.h"
#include "numbers.h"

#include <QRegularExpression>

namespace ui {

QString keys::setKey(int n)
{
    return QStringLiteral("Set%1").arg(n);
}

namespace {

constexpr qint32 kMin16 = -32768;
constexpr qint32 kMax16 = 32767;

// "&H" + one to four hex digits, or a decimal whole number.
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

} // namespace

QString BaseAddress::refusal() const
{
    return QStringLiteral("в файле \"%1\" раздел [%2] ключ %3 = \"%4\" не является адресом; "
                          "исправьте файл и запустите программу снова")
        .arg(keys::kDevDat, section, key, text);
}

BaseAddress readBaseAddress(const instrument::Dev& dev, const QString& section, const QString& key,
                            const QString& fallback, int lowest, int highest, const QString& consequence)
{
    BaseAddress a;
    a.section = section;
    a.key = key;
    a.text = dev.sGetINI(section, key, fallback);
    qint32 value = 0;
    if (addressValue(a.text, dev.sFloatingPointSeparator, &value) && value + lowest >= kMin16
        && value + highest <= kMax16) {
        a.valid = true;
        a.value = value;
        return a;
    }
    QString range = QStringLiteral("от %1 до %2").arg(kMin16 - lowest).arg(kMax16 - highest);
    a.problem = QStringLiteral("В файле \"%1\" в разделе [%2] ключ %3 = \"%4\" не является адресом "
                               "(&H и шестнадцатеричные цифры или десятичное целое %5). %6")
                    .arg(keys::kDevDat, section, key, a.text, range, consequence)
                    .trimmed();
    return a;
}

SpeedList readSpeedList(const instrument::Dev& dev)
{
    SpeedList list;
    const QString sep = dev.sFloatingPointSeparator;
    const QString countText = dev.sGetINI(keys::kProgs, keys::kNofSettings, QStringLiteral("8"));
    qint64 count = 8;
    if (!instrument::toWholeNumber(countText, sep, 0, 255, &count)) {
        list.problems << QStringLiteral("В dev.dat число скоростей «%1» (PROGS/NofSettings) неверно, взято 8.")
                             .arg(countText);
        count = 8;
    }
    for (int i = 1; i <= count; ++i)
        list.items << dev.sGetINI(keys::kProgs, keys::setKey(i), QStringLiteral("4800,n,8,2"));

    const QString indexText = dev.sGetINI(keys::kProgs, keys::kSettingsIndex, QStringLiteral("4"));
    qint64 index = 0;
    if (count == 0) {
        list.problems << QStringLiteral("В dev.dat список скоростей пуст, взята скорость %1 (COMport/settings).")
                             .arg(dev.Settings);
        list.index = -1;
    } else if (!instrument::toWholeNumber(indexText, sep, 0, count - 1, &index)) {
        list.problems << QStringLiteral("В dev.dat номер скорости «%1» (PROGS/SettingsIndex) вне списка, выбрана первая.")
                             .arg(indexText);
        list.index = 0;
    } else {
        list.index = int(index);
    }
    return list;
}

bool writeSpeedList(const instrument::Dev& dev, const QStringList& items, int index)
{
    if (!dev.sWriteINI(keys::kProgs, keys::kSettingsIndex, QString::number(index))
        || !dev.sWriteINI(keys::kProgs, keys::kNofSettings, QString::number(items.size())))
        return false;
    for (int i = 0; i < items.size(); ++i)
        if (!dev.sWriteINI(keys::kProgs, keys::setKey(i + 1), items.at(i)))
            return false;
    return true;
}

} // namespace ui
