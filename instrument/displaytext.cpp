#include "displaytext.h"

#include "cp1251.h"

namespace instrument::map {

namespace {

// Display codes of А..Я and а..я, in Windows-1251 order (192..255).
constexpr quint8 kLetters[64] = {
    65,  160, 66,  161, 224, 69,  163, 164, 165, 165, 75,  167, 77,  72,  79,  168, // А..П
    80,  67,  84,  169, 170, 88,  225, 171, 172, 226, 173, 174, 196, 175, 176, 177, // Р..Я
    97,  178, 179, 180, 227, 101, 182, 183, 184, 184, 186, 187, 188, 189, 111, 190, // а..п
    112, 99,  191, 121, 228, 120, 229, 192, 193, 230, 194, 195, 196, 197, 198, 199, // р..я
};

} // namespace

quint8 displayLetterCode(int c)
{
    return c >= 192 && c <= 255 ? kLetters[c - 192] : 0;
}

quint8 encodeDisplay(quint8 c)
{
    return c <= 191 ? c : displayLetterCode(c);
}

quint8 decodeDisplay(quint8 code)
{
    for (int i = 192; i <= 255; ++i)
        if (kLetters[i - 192] == code)
            return quint8(i);
    return code;
}

bool cp1251Byte(uint codePoint, quint8* byte)
{
    if (codePoint > 0xFFFF)
        return false;
    const QChar ch{char16_t(codePoint)};
    const QByteArray b = instrument::toCp1251(QString(ch));
    if (b.size() != 1 || (b.at(0) == '?' && ch != QLatin1Char('?')))
        return false;
    *byte = quint8(b.at(0));
    return true;
}

QString describeChar(uint codePoint)
{
    const char32_t c = char32_t(codePoint);
    return QStringLiteral("«%1» (U+%2)")
        .arg(QString::fromUcs4(&c, 1), QString::number(codePoint, 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

QString unencodable(const QString& text)
{
    for (uint cp : text.toUcs4()) {
        quint8 b = 0;
        if (!cp1251Byte(cp, &b))
            return describeChar(cp);
    }
    return QString();
}

bool displayCodes(const QString& text, int count, QList<quint8>* codes, QString* bad)
{
    codes->clear();
    for (uint cp : text.toUcs4()) {
        quint8 b = 0;
        if (!cp1251Byte(cp, &b)) {
            *bad = describeChar(cp);
            codes->clear();
            return false;
        }
        if (codes->size() < count)
            codes->append(encodeDisplay(b));
    }
    while (codes->size() < count)
        codes->append(32);
    return true;
}

QChar displayChar(quint8 code)
{
    if (code == 0 || code == 10 || code == 13)
        return QLatin1Char(' ');
    return instrument::fromCp1251(QByteArray(1, char(decodeDisplay(code)))).at(0);
}

} // namespace instrument::map
