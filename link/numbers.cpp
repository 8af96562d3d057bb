#include "numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace instrument {

QString localeDecimalSeparator()
{
    const QString half = QLocale().toString(0.5);
    const int zero = half.indexOf(QLatin1Char('0'));
    if (zero < 0 || zero + 1 >= half.size())
        return QStringLiteral(".");
    return half.mid(zero + 1, 1);
}

namespace {

// The pattern of a decimal number written with separator sep. Every answer
// is tested against it, so the two separators a locale has are compiled once.
QRegularExpression numberPattern(const QString& sep)
{
    auto make = [](const QString& separator) {
        const QString s = QRegularExpression::escape(separator);
        return QRegularExpression(QStringLiteral("^[+-]?(\\d+(%1\\d*)?|%1\\d+)([eE][+-]?\\d+)?$").arg(s));
    };
    static const QRegularExpression point = make(QStringLiteral("."));
    static const QRegularExpression comma = make(QStringLiteral(","));
    if (sep.isEmpty() || sep == QLatin1String("."))
        return point;
    if (sep == QLatin1String(","))
        return comma;
    return make(sep);
}

} // namespace

bool toNumber(const QString& text, const QString& sep, double* value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    if (!numberPattern(sep).match(t).hasMatch())
        return false;
    QString c = t;
    if (!sep.isEmpty())
        c.replace(sep, QStringLiteral("."));
    bool ok = false;
    const double v = c.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

bool isNumber(const QString& text, const QString& sep)
{
    return toNumber(text, sep, nullptr);
}

bool toWholeNumber(const QString& text, const QString& sep, qint64 lo, qint64 hi, qint64* value)
{
    double v = 0;
    if (!toNumber(text, sep, &v) || v != std::floor(v) || v < double(lo) || v > double(hi))
        return false;
    *value = qint64(v);
    return true;
}

bool readsAsHex(const QString& text)
{
    if (text.isEmpty() || text.size() > 8)
        return false;
    for (QChar c : text) {
        const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!hex)
            return false;
    }
    return true;
}

bool hexValue(const QString& text, qint32* value)
{
    if (!readsAsHex(text))
        return false;
    bool ok = false;
    const quint32 raw = text.toUInt(&ok, 16);
    if (!ok)
        return false;
    *value = text.size() <= 4 ? qint32(qint16(quint16(raw))) : qint32(raw);
    return true;
}

bool toSettingNumber(const QString& text, const QString& sep, double* value)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        qint32 v = 0;
        if (!hexValue(t.mid(2), &v))
            return false;
        *value = v;
        return true;
    }
    return toNumber(t, sep, value);
}

QString hexText16(qint16 value)
{
    return QString::number(quint16(value), 16).toUpper();
}

QString hexText(quint32 value)
{
    return QString::number(value, 16).toUpper();
}

QString numberText(double value, const QString& sep)
{
    if (value == 0)
        return QStringLiteral("0");
    QString s = QString::number(value, 'g', 15);
    s.replace(QLatin1Char('e'), QLatin1Char('E'));
    if (!sep.isEmpty())
        s.replace(QLatin1Char('.'), sep);
    return s;
}

QString exponentForm(double value, int nDigits, const QString& sep, bool pointOut)
{
    if (!std::isfinite(value))
        return QString(); // nothing the instrument could take
    if (value == 0)
        return QStringLiteral("0");
    int n = 0;
    while (!(value > -1 && value < 1)) {
        value /= 10;
        ++n;
    }
    while (value > -0.1 && value < 0.1) {
        value *= 10;
        --n;
    }
    QString mantissa = numberText(value, sep).left(nDigits);
    if (pointOut && !sep.isEmpty()) {
        const int at = mantissa.indexOf(sep);
        if (at >= 0)
            mantissa.replace(at, sep.size(), QStringLiteral("."));
    }
    return mantissa + QLatin1Char('e') + QString::number(n);
}

} // namespace instrument
