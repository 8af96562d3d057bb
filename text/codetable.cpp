#include "codetable.h"

#include "cp1251.h"
#include "displaytext.h"

namespace text {

using instrument::map::cp1251Byte;

void CodeTable::SetCodeTable()
{
    for (int i = 192; i <= 255; ++i)
        m_table[size_t(i)] = instrument::map::displayLetterCode(i);
}

quint8 CodeTable::encode(quint8 c) const
{
    return c <= 191 ? c : m_table[c];
}

quint8 CodeTable::convert(quint8 inb) const
{
    for (int i = 192; i <= 255; ++i)
        if (m_table[size_t(i)] == inb)
            return quint8(i);
    return inb;
}

QString unencodable(const QString& text)
{
    return instrument::map::unencodable(text);
}

bool displayCodes(const CodeTable& table, const QString& text, int count, QList<quint8>* codes, QString* bad)
{
    codes->clear();
    const QList<uint> points = text.toUcs4();
    for (uint cp : points) {
        quint8 b = 0;
        if (!cp1251Byte(cp, &b)) {
            *bad = instrument::map::describeChar(cp);
            codes->clear();
            return false;
        }
        if (codes->size() < count)
            codes->append(table.encode(b));
    }
    while (codes->size() < count)
        codes->append(32);
    return true;
}

QChar displayChar(const CodeTable& table, quint8 code)
{
    if (code == 0 || code == 10 || code == 13)
        return QLatin1Char(' ');
    const quint8 b = table.convert(code);
    return instrument::fromCp1251(QByteArray(1, char(b))).at(0);
}

} // namespace text
