#include "settingskeys.h"

#include "dev.h"
#include "numbers.h"

namespace ui {

QString keys::setKey(int n)
{
    return QStringLiteral("Set%1").arg(n);
}

BaseAddress readBaseAddress(const instrument::Dev& dev, const QString& section, const QString& key,
                            const QString& fallback, int lowest, int highest, const QString& consequence)
{
    return instrument::map::readBaseAddress(
        [&dev](const QString& s, const QString& k, const QString& f) { return dev.sGetINI(s, k, f); },
        dev.sFloatingPointSeparator, section, key, fallback, lowest, highest, consequence);
}

SpeedList readSpeedList(const instrument::Dev& dev, int fallbackIndex)
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
        list.index = fallbackIndex >= 0 && fallbackIndex < count ? fallbackIndex : 0;
        const QString chosen = list.index == 0 ? QStringLiteral("первая")
                                               : QStringLiteral("«%1»").arg(list.items.at(list.index));
        list.problems << QStringLiteral("В dev.dat номер скорости «%1» (PROGS/SettingsIndex) вне списка, выбрана %2.")
                             .arg(indexText, chosen);
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
