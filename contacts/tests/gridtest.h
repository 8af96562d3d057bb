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

// A click on the part of cell (row, col) that is in view, without scrolling
// first: the grid scrolls the cell into view at the press.
inline void clickVisiblePart(MarkGrid* g, int row, int col)
{
    const QRect shown = g->cellRect(row, col) & g->viewport()->rect();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, shown.center());
}

// The last row of the grid that is in view at all.
inline int lastRowInView(const MarkGrid* g)
{
    int row = g->topRow();
    while (g->cellRect(row + 1, g->leftCol()).isValid())
        ++row;
    return row;
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
