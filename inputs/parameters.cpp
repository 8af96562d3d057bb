#include "parameters.h"

#include "values.h"

#include "numbers.h"

namespace inputs {

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
        {Param::DiapMax, QStringLiteral("DiapMax"), QStringLiteral("Диап_MAX"), QStringLiteral("Чтение диап_MAX"),
         QStringLiteral("Запись диап_MAX")},
        {Param::DiapMin, QStringLiteral("DiapMin"), QStringLiteral("Диап_MIN"), QStringLiteral("Чтение диап_MIN"),
         QStringLiteral("Запись диап_MIN")},
        {Param::Flags, QStringLiteral("Flags"), QStringLiteral("Флаги"), QStringLiteral("Чтение флагов"),
         QStringLiteral("Запись флагов")},
        {Param::Sensor, QStringLiteral("Sensors"), QStringLiteral("Датчик"), QStringLiteral("Чтение типа датчика"),
         QStringLiteral("Запись типа датчиков")},
        {Param::Wired, QStringLiteral("Wired"), QStringLiteral("Тип подключения"),
         QStringLiteral("Чтение способа подключения"), QStringLiteral("Запись способа подключения")},
        {Param::Bias, QStringLiteral("Bias"), QStringLiteral("Смещение"), QStringLiteral("Чтение смещения"),
         QStringLiteral("Запись смещения")},
        {Param::LineResistance, QStringLiteral("Rl"), QStringLiteral("Сопротивление линии"),
         QStringLiteral("Чтение сопротивления линии"), QStringLiteral("Запись сопротивления линии")},
    };
    return table[index];
}

const ParamInfo& paramInfo(Param p)
{
    return paramInfo(int(p));
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
