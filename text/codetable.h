#pragma once
// The instrument's display has a character set of its own: Latin letters,
// digits and signs at their ASCII codes, the Cyrillic letters at codes of the
// display's choosing (some capitals share the code of the Latin letter that
// looks the same). Texts on the PC are Windows-1251; every character is
// encoded on its way to the display and decoded on its way back.

#include <QList>
#include <QString>
#include <QtGlobal>
#include <array>

namespace text {

class CodeTable {
public:
    // Fills the entries of the 64 letters А..я (Windows-1251 192..255); the
    // others stay 0 and are never consulted.
    void SetCodeTable();

    // The table entry of Windows-1251 code i (0..256).
    quint8 entry(int i) const { return m_table.at(size_t(i)); }

    // The display code of the Windows-1251 code c: c itself up to 191, the
    // table entry from 192 on.
    quint8 encode(quint8 c) const;

    // Decoding: the lowest Windows-1251 code 192..255 whose entry is inb, or
    // inb itself when none is.
    quint8 convert(quint8 inb) const;

private:
    std::array<quint8, 257> m_table{};
};

// The display codes of the first count characters of text, blanks (32) for
// the characters text lacks. False, with the character at fault described in
// *bad, when text holds a character Windows-1251 cannot hold (nothing of
// text is then fit to send).
bool displayCodes(const CodeTable& table, const QString& text, int count, QList<quint8>* codes,
                  QString* bad);

// The first character of text that Windows-1251 cannot hold, described for a
// message ("«³» (U+00B3)"); empty when there is none.
QString unencodable(const QString& text);

// The character a display code read from the instrument stands for. Codes
// 0, 10 and 13 would end a line of a text file and come back as blanks.
QChar displayChar(const CodeTable& table, quint8 code);

} // namespace text
