#pragma once
// What a program checks of a value before it sends it.

#include "map.h"

#include <QString>

namespace ui {

// True when the exponent form the link sends for value (sExpConvection) reads
// back as value itself; the rule is the instrument map's
// (instrument::map::carriedExactly).
inline bool carriedExactly(const QString& exponentForm, double value, double* sent)
{
    return instrument::map::carriedExactly(exponentForm, value, sent);
}

} // namespace ui
