#pragma once
// What a program checks of a value before it sends it.

#include <QString>

namespace ui {

// True when the exponent form the link sends for value (sExpConvection) reads
// back as value itself; the form keeps only so many characters of the
// mantissa, and a value it cannot carry whole would reach the instrument as
// another number. *sent gets the number the instrument would receive.
inline bool carriedExactly(const QString& exponentForm, double value, double* sent)
{
    bool ok = false;
    *sent = exponentForm.toDouble(&ok);
    return ok && *sent == value;
}

} // namespace ui
