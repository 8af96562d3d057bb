#include "setpoints.h"

#include "dev.h"
#include "numbers.h"

namespace limits {

namespace {

const QString kFlash = QStringLiteral("Flash");

QString noFirst()
{
    return QStringLiteral("Первая уставка не читается и не записывается.");
}

QString noSecond()
{
    return QStringLiteral("Вторая уставка не читается и не записывается.");
}

} // namespace

const ParamKey& paramKey(Param p)
{
    static const std::array<ParamKey, kParamCount> keys{{
        {QStringLiteral("THT1"), QStringLiteral("&hc8"), noFirst()},
        {QStringLiteral("THT2"), QStringLiteral("&H12c"), noSecond()},
        {QStringLiteral("TH1"), QStringLiteral("&H1"), noFirst()},
        {QStringLiteral("TH2"), QStringLiteral("&H64"), noSecond()},
        {QStringLiteral("HIS1"), QStringLiteral("&HC8"), noFirst()},
        {QStringLiteral("HIS2"), QStringLiteral("&H12C"), noSecond()},
        {QStringLiteral("nS"), QStringLiteral("&H3"),
         QStringLiteral("Усреднение не читается и не записывается.")},
        {QStringLiteral("d_Point"), QStringLiteral("&H64"),
         QStringLiteral("Число цифр после запятой не читается и не записывается.")},
        {QStringLiteral("TH_REAC11"), QStringLiteral("&H1450"),
         QStringLiteral("Число одинаковых наблюдений не читается и не записывается.")},
        {QStringLiteral("LOCK_CH"), QStringLiteral("&H13ef"),
         QStringLiteral("Исключение канала из работы не читается и не записывается.")},
    }};
    return keys[size_t(p)];
}

void AddressTables::read(const instrument::Dev& dev)
{
    for (int i = 0; i < kParamCount; ++i) {
        const ParamKey& k = paramKey(Param(i));
        // The twelve channels sit at base .. base + 11.
        m_base[size_t(i)] = ui::readBaseAddress(dev, kFlash, k.key, k.fallback, 0, kChannels - 1, k.consequence);
    }
}

std::optional<qint16> AddressTables::address(Param p, int module, int channel) const
{
    const ui::BaseAddress& b = m_base[size_t(p)];
    if (!b.valid || module < 0 || module > 1 || channel < 0 || channel >= kChannelsPerModule)
        return std::nullopt;
    return qint16(b.value + module * kChannelsPerModule + channel);
}

QStringList AddressTables::problems() const
{
    QStringList out;
    for (const ui::BaseAddress& b : m_base)
        if (!b.valid)
            out << b.problem;
    return out;
}

const QStringList& typeItems()
{
    static const QStringList items{
        QStringLiteral("Нет уставки"),
        QStringLiteral("На понижение"),
        QStringLiteral("Быстрое уменьшение"),
        QStringLiteral("Быстрое уменьшение с памятью"),
        QStringLiteral("На понижение с памятью"),
        QStringLiteral("На повышение"),
        QStringLiteral("Быстрое увеличение"),
        QStringLiteral("Быстрое увеличение с памятью"),
        QStringLiteral("На повышение с памятью"),
    };
    return items;
}

const QStringList& typeCodes()
{
    static const QStringList codes{
        QStringLiteral("0"),  QStringLiteral("1"), QStringLiteral("3"),  QStringLiteral("13"), QStringLiteral("11"),
        QStringLiteral("2"),  QStringLiteral("4"), QStringLiteral("14"), QStringLiteral("12"),
    };
    return codes;
}

int typeIndex(qint64 typeByte)
{
    if (typeByte < 0)
        return -1;
    return int(typeCodes().indexOf(instrument::hexText(quint32(typeByte))));
}

int digitsIndex(qint64 n)
{
    return n >= 0 && n < 3 ? int(n) : 1;
}

int countIndex(qint64 n)
{
    if (n > 10)
        return 1;
    return n >= 1 ? int(n - 1) : -1;
}

bool excludedChecked(qint64 n)
{
    return n == 1;
}

QString averagingsValue(const QString& text, const QString& sep)
{
    qint64 n = 0;
    if (!instrument::toWholeNumber(text, sep, 0, 255, &n))
        return QString();
    return instrument::hexText(quint32(n));
}

QString countValue(int index)
{
    return instrument::hexText(quint32(index + 1));
}

} // namespace limits
