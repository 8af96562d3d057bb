#pragma once
// The instrument's display has a character set of its own: Latin letters,
// digits and signs at their ASCII codes, the Cyrillic letters at codes of the
// display's choosing (some capitals share the code of the Latin letter that
// looks the same). Texts on the PC are Windows-1251; every character is
// encoded on its way to the display and decoded on its way back.

#include <QList>
#include <QString>
#include <QtGlobal>

namespace instrument::map {

// The display code of the Windows-1251 letter with code c (192..255); 0 for
// every other code.
quint8 displayLetterCode(int c);

// The display code of the Windows-1251 code c: c itself up to 191, the
// letter's code from 192 on.
quint8 encodeDisplay(quint8 c);
// The lowest Windows-1251 code 192..255 whose display code is code, or code
// itself when none is.
quint8 decodeDisplay(quint8 code);

// The Windows-1251 byte of one character; false when it has none.
bool cp1251Byte(uint codePoint, quint8* byte);
// A character described for a message: «³» (U+00B3).
QString describeChar(uint codePoint);
// The first character of text that Windows-1251 cannot hold, described; empty
// when there is none.
QString unencodable(const QString& text);

// The display codes of the first count characters of text, blanks (32) for
// the characters it lacks. False, with the character at fault in *bad, when
// text holds a character Windows-1251 cannot hold.
bool displayCodes(const QString& text, int count, QList<quint8>* codes, QString* bad);
// The character a display code stands for. Codes 0, 10 and 13 would end a
// line of a text file and come back as blanks.
QChar displayChar(quint8 code);

} // namespace instrument::map
