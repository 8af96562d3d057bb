#pragma once
// The relay grid: a grid of text cells with fixed heading rows and columns
// that stay in view while the rest scrolls by whole rows and columns. The
// engineer moves the current cell by clicking or with the arrow keys, and
// selects a range by dragging, by Shift- or Ctrl-clicking, or with Shift and
// the arrow keys; a click on a row heading selects that row. The current cell
// (Row, Col) is where a selection starts, (RowSel, ColSel) where it ends.
//
// Every release of a mouse button is reported with whether it ended a plain
// click: pressed and released on the same scrollable cell (where it was at
// the press, before the press scrolled it into view), nothing dragged,
// neither Shift nor Ctrl held. A disabled grid is drawn greyed. Cells are never edited from the keyboard.

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QList>
#include <QString>
#include <QVector>

namespace contacts {

class MarkGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    MarkGrid(int rows, int cols, int fixedRows, int fixedCols, QWidget* parent = nullptr);

    int rows() const { return m_rows; }
    int cols() const { return m_cols; }
    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }

    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);

    // Column widths and the one row height, in pixels.
    void setColumnWidth(int col, int px);
    int columnWidth(int col) const { return m_widths.value(col); }
    void setRowHeight(int px);
    int rowHeight() const { return m_rowHeight; }

    // The current cell and the end of the selection.
    int row() const { return m_row; }
    int col() const { return m_col; }
    int rowSel() const { return m_rowSel; }
    int colSel() const { return m_colSel; }
    // Makes (row, col) current and the whole selection; scrolls it into view.
    void setCurrent(int row, int col);
    // Ends the selection at (rowSel, colSel); scrolls it into view.
    void setSelectionEnd(int rowSel, int colSel);

    // The first scrollable row and column in view.
    int topRow() const { return m_fixedRows + verticalScrollBar()->value(); }
    int leftCol() const { return m_fixedCols + horizontalScrollBar()->value(); }
    void setTopRow(int row);
    void setLeftCol(int col);
    // Scrolls so that (row, col) is in view.
    void ensureVisible(int row, int col);

    // The cell under a point of the viewport, or (-1, -1).
    bool cellAt(const QPoint& pos, int* row, int* col) const;
    // Where a cell is drawn in the viewport; empty when it is out of view.
    QRect cellRect(int row, int col) const;

signals:
    // A mouse button went up over the grid.
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool plainClick);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollRanges();
    // The x of a column's left edge in the viewport (fixed columns at their
    // place, the others counted from leftCol), and likewise the y of a row.
    int colX(int col) const;
    int rowY(int row) const;
    int fixedWidth() const;
    int fixedHeight() const;
    // The cell nearest to pos among the scrollable ones (for dragging past the edge).
    void nearestCell(const QPoint& pos, int* row, int* col) const;
    bool inSelection(int row, int col) const;
    void extendTo(int row, int col);

    int m_rows;
    int m_cols;
    int m_fixedRows;
    int m_fixedCols;
    QVector<QString> m_cells;
    QList<int> m_widths;
    int m_rowHeight = 16;
    int m_row;
    int m_col;
    int m_rowSel;
    int m_colSel;

    // The press that a release may end as a plain click.
    bool m_pressed = false;
    bool m_dragged = false;
    bool m_rowSelecting = false;
    int m_pressRow = -1;
    int m_pressCol = -1;
    // Where the pressed cell was drawn when pressed: the press may scroll a
    // half-visible cell into view, and the pointer, which has not moved,
    // still means that cell.
    QRect m_pressRect;
};

} // namespace contacts
