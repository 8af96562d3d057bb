#pragma once
// Clicking the relay grid as the engineer does, and reading its marks back.

#include "markgrid.h"

#include <QStringList>
#include <QTest>

namespace contacts::test {

// A click on cell (row, col), scrolled into view first.
inline void click(MarkGrid* g, int row, int col, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = {})
{
    g->ensureVisible(row, col);
    QTest::mouseClick(g->viewport(), button, modifiers, g->cellRect(row, col).center());
}

// The marks of the grid as "row:col" texts, row by row.
inline QStringList marks(const MarkGrid* g)
{
    QStringList out;
    for (int r = 1; r < g->rows(); ++r)
        for (int c = 2; c < g->cols(); ++c)
            if (!g->text(r, c).isEmpty())
                out << QStringLiteral("%1:%2").arg(r).arg(c);
    return out;
}

} // namespace contacts::test
