#include "parameters.h"

#include "values.h"

#include "numbers.h"

namespace inputs {

const QStringList& sensorTypes()
{
    // "Ro", "W" and the letters K, L, R, S, J, T in brackets are Latin; the
    // "В" of "ПР(В)" and the "А" of "ТВР(А-1)" are Cyrillic.
    static const QStringList list{
        QStringLiteral("Термометр сопротивления медный Ro=50 W=1,428"),
        QStringLiteral("Термометр сопротивления медный Ro=50 W=1,426"),
        QStringLiteral("Термометр сопротивления медный Ro=53 W=1,428"),
        QStringLiteral("Термометр сопротивления медный Ro=53 W=1,426"),
        QStringLiteral("Термометр сопротивления медный Ro=100 W=1,428"),
        QStringLiteral("Термометр сопротивления медный Ro=100 W=1,426"),
        QStringLiteral("Термометр сопротивления платиновый Ro=50 W=1,391"),
        QStringLiteral("Термометр сопротивления платиновый Ro=100 W=1,391"),
        QStringLiteral("Термометр сопротивления платиновый Ro=100 W=1,385"),
        QStringLiteral("Термопара ХА(K) хромель / алюмель"),
        QStringLiteral("Термопара ХК(L) хромель / копель"),
        QStringLiteral("Термопара ПП(R) платина / платина+13%родия"),
        QStringLiteral("Термопара ПП(S) платина / платина+10%родия"),
        QStringLiteral("Термопара ПР(В) платина-30%родия / платина-6%родия"),
        QStringLiteral("Термопара ТЖК(J) железо - константан"),
        QStringLiteral("Термопара ТВР(А-1) вольфрам-рений / вольфрам-рений"),
        QStringLiteral("Термопара ТМК(T) медь / константан"),
        QStringLiteral("Токовый вход 0-5 мА"),
        QStringLiteral("Токовый вход 0-20 мА"),
        QStringLiteral("Токовый вход 4-20 мА"),
        QStringLiteral("Вход напряжения 0-100 мВ"),
        QStringLiteral("Вход напряжения 0-75 мВ"),
        QStringLiteral("Измерение сопротивления для контроля"),
    };
    return list;
}

QStringList channelItems(int module)
{
    static const QStringList words{
        QStringLiteral("Первый "), QStringLiteral("Второй "), QStringLiteral("Третий "),
        QStringLiteral("Четвертый "), QStringLiteral("Пятый "), QStringLiteral("Шестой "),
    };
    QStringList items;
    for (int k = 0; k < words.size(); ++k)
        items << words.at(k) + QStringLiteral(" (") + QString::number(6 * module + k + 1) + QStringLiteral(")");
    return items;
}

const ParamInfo& paramInfo(int index)
{
    static const ParamInfo table[kParamCount] = {
        {Param::DiapMax, "DIAP_MAX", "&H20", true, QStringLiteral("Диап_MAX"),
         QStringLiteral("Чтение диап_MAX"), QStringLiteral("Запись диап_MAX")},
        {Param::DiapMin, "DIAP_MIN", "&H8", true, QStringLiteral("Диап_MIN"),
         QStringLiteral("Чтение диап_MIN"), QStringLiteral("Запись диап_MIN")},
        {Param::Flags, "FLAG", "&HE6", false, QStringLiteral("Флаги"),
         QStringLiteral("Чтение флагов"), QStringLiteral("Запись флагов")},
        {Param::Sensor, "DAT", "&H0", false, QStringLiteral("Датчик"),
         QStringLiteral("Чтение типа датчика"), QStringLiteral("Запись типа датчиков")},
        {Param::Wired, "WR", "&HE0", false, QStringLiteral("Тип подключения"),
         QStringLiteral("Чтение способа подключения"), QStringLiteral("Запись способа подключения")},
        {Param::Bias, "BIAS", "&HEC", true, QStringLiteral("Смещение"),
         QStringLiteral("Чтение смещения"), QStringLiteral("Запись смещения")},
        {Param::LineResistance, nullptr, "&HB0", true, QStringLiteral("Сопротивление линии"),
         QStringLiteral("Чтение сопротивления линии"), QStringLiteral("Запись сопротивления линии")},
    };
    return table[index];
}

const ParamInfo& paramInfo(Param p)
{
    return paramInfo(int(p));
}

int channelOffset(const ParamInfo& info, int channel)
{
    return info.real ? 4 * channel : channel;
}

int highestOffset(const ParamInfo& info)
{
    // The last channel's last byte in the last flash copy.
    const int lastChannel = channelOffset(info, 5) + (info.real ? 3 : 0);
    return (kFlashCopies - 1) * kFlashCopySpacing + lastChannel;
}

int measuredAddress(int channel)
{
    return kMeasuredBase + 4 * channel;
}

bool byteFromBox(const QString& text, int* value)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 2 || !instrument::readsAsHex(t))
        return false;
    *value = t.toInt(nullptr, 16);
    return true;
}

QString byteForBox(qint64 value)
{
    return instrument::hexText16(qint16(quint16(value & 0xFFFF)));
}

RealWrite realForWrite(const QString& text, const QString& sep,
                       const std::function<QString(double)>& exponentForm)
{
    RealWrite w;
    if (text.trimmed().isEmpty())
        return w;
    if (!instrument::toNumber(text, sep, &w.shown)) {
        w.status = RealBox::NotNumber;
        return w;
    }
    w.wire = exponentForm(w.shown);
    w.status = ui::carriedExactly(w.wire, w.shown, &w.sent) ? RealBox::Ok : RealBox::TooManyDigits;
    return w;
}

} // namespace inputs
