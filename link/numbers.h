#pragma once
// Number texts as the instrument and the user's locale write them. Shared by
// the link, the programs and the simulator.

#include <QString>
#include <QtGlobal>

namespace instrument {

// The decimal separator of the user's locale: 0.5 formatted by the locale,
// the character after its first "0" ("," or ".").
QString localeDecimalSeparator();

// True when text, blanks around it ignored, reads completely as a decimal
// number written with the separator sep: optional sign, digits, one optional
// separator, optional exponent ("e" or "E", optional sign, digits).
bool isNumber(const QString& text, const QString& sep);
// The same test; on success the value goes to *value.
bool toNumber(const QString& text, const QString& sep, double* value);

// The same test for a whole number from lo to hi, as list indexes and counts
// are written.
bool toWholeNumber(const QString& text, const QString& sep, qint64 lo, qint64 hi, qint64* value);

// True for one to eight hexadecimal digits of either case (what "&H" + text
// accepts).
bool readsAsHex(const QString& text);
// The value of one to four hex digits as a signed 16-bit number ("FFFF" is -1),
// of five to eight as a signed 32-bit one. False when text does not read as hex.
bool hexValue(const QString& text, qint32* value);

// A number in decimal or "&H" hexadecimal notation, as settings keys hold them
// ("200", "&HC8"). The decimal form uses the separator sep.
bool toSettingNumber(const QString& text, const QString& sep, double* value);

// Upper-case hexadecimal digits without leading zeros ("1F", "151A"). A
// negative 16-bit number gives its four-digit two's complement ("FFFF").
QString hexText16(qint16 value);
QString hexText(quint32 value);

// A double as the locale writes it by default: up to 15 significant digits,
// no group separators, exponent only for very large or small values.
QString numberText(double value, const QString& sep);

// The instrument's exponent form: mantissa in [0.1, 1) cut to nDigits
// characters, "e", decimal exponent. With pointOut the first sep becomes ".".
QString exponentForm(double value, int nDigits, const QString& sep, bool pointOut);

} // namespace instrument
