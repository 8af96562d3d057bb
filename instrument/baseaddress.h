#pragma once
// Base addresses of the instrument's parameters as "dev.dat" holds them: "&H"
// and one to four hexadecimal digits of either case ("&HC8", "&hc8"; four
// digits read as a signed 16-bit number, "&HFFFF" is -1), or a decimal whole
// number, blanks around allowed. Written once for the map and the windows;
// the keys come through a reader so that nothing here needs the link.

#include <QString>
#include <functional>

namespace instrument::map {

inline const QString kDevDat = QStringLiteral("dev.dat");

// Reads a key of "dev.dat": (section, key, default) -> the value text.
using KeyReader = std::function<QString(const QString& section, const QString& key, const QString& fallback)>;

// A base address read from "dev.dat".
struct BaseAddress {
    bool valid = false;
    qint32 value = 0;
    QString section;
    QString key;
    QString text;      // the value as the file holds it
    // When not valid: one message naming the file, section, key and value,
    // and what the program does instead.
    QString problem;
    // When not valid: the message an operation that needs the key gives.
    QString refusal() const;
};

// The value of an address text; sep is the locale's decimal separator the
// decimal form may be written with.
bool addressValue(const QString& text, const QString& sep, qint32* value);

// Reads a base address. The addresses base + lowest .. base + highest are
// computed from it, and every one of them must lie in the signed 16-bit
// range. consequence says what the program does without it.
BaseAddress readBaseAddress(const KeyReader& keys, const QString& sep, const QString& section, const QString& key,
                            const QString& fallback, int lowest, int highest, const QString& consequence);

} // namespace instrument::map
