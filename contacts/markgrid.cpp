#include "markgrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace contacts {

MarkGrid::MarkGrid(int rows, int cols, int fixedRows, int fixedCols, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_rows(rows),
      m_cols(cols),
      m_fixedRows(fixedRows),
      m_fixedCols(fixedCols),
      m_cells(rows * cols),
      m_row(fixedRows),
      m_col(fixedCols),
      m_rowSel(fixedRows),
      m_colSel(fixedCols)
{
    for (int c = 0; c < cols; ++c)
        m_widths << 40;
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Window, palette().color(QPalette::Dark));
    viewport()->setPalette(p);
    updateScrollRanges();
}

QString MarkGrid::text(int row, int col) const
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return QString();
    return m_cells[row * m_cols + col];
}

void MarkGrid::setText(int row, int col, const QString& text)
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return;
    m_cells[row * m_cols + col] = text;
    const QRect r = cellRect(row, col);
    if (!r.isEmpty())
        viewport()->update(r);
}

void MarkGrid::setColumnWidth(int col, int px)
{
    if (col < 0 || col >= m_cols)
        return;
    m_widths[col] = std::max(1, px);
    updateScrollRanges();
    viewport()->update();
}

void MarkGrid::setRowHeight(int px)
{
    m_rowHeight = std::max(1, px);
    updateScrollRanges();
    viewport()->update();
}

void MarkGrid::setCurrent(int row, int col)
{
    m_row = m_rowSel = std::clamp(row, m_fixedRows, m_rows - 1);
    m_col = m_colSel = std::clamp(col, m_fixedCols, m_cols - 1);
    ensureVisible(m_row, m_col);
    viewport()->update();
}

void MarkGrid::setSelectionEnd(int rowSel, int colSel)
{
    m_rowSel = std::clamp(rowSel, m_fixedRows, m_rows - 1);
    m_colSel = std::clamp(colSel, m_fixedCols, m_cols - 1);
    ensureVisible(m_rowSel, m_colSel);
    viewport()->update();
}

void MarkGrid::setTopRow(int row)
{
    verticalScrollBar()->setValue(row - m_fixedRows);
}

void MarkGrid::setLeftCol(int col)
{
    horizontalScrollBar()->setValue(col - m_fixedCols);
}

void MarkGrid::ensureVisible(int row, int col)
{
    if (row >= m_fixedRows) {
        const int visibleRows = std::max(1, (viewport()->height() - fixedHeight()) / m_rowHeight);
        if (row < topRow())
            setTopRow(row);
        else if (row >= topRow() + visibleRows)
            setTopRow(row - visibleRows + 1);
    }
    if (col >= m_fixedCols) {
        if (col < leftCol()) {
            setLeftCol(col);
        } else {
            const int room = viewport()->width() - fixedWidth();
            // The left column that shows col whole at the right edge.
            int left = col;
            int used = m_widths[col];
            while (left > m_fixedCols && used + m_widths[left - 1] <= room)
                used += m_widths[--left];
            if (colX(col) + m_widths[col] > viewport()->width())
                setLeftCol(std::max(left, leftCol()));
        }
    }
}

int MarkGrid::fixedWidth() const
{
    int w = 0;
    for (int c = 0; c < m_fixedCols; ++c)
        w += m_widths[c];
    return w;
}

int MarkGrid::fixedHeight() const
{
    return m_fixedRows * m_rowHeight;
}

int MarkGrid::colX(int col) const
{
    int x = 0;
    if (col < m_fixedCols) {
        for (int c = 0; c < col; ++c)
            x += m_widths[c];
        return x;
    }
    x = fixedWidth();
    if (col >= leftCol()) {
        for (int c = leftCol(); c < col; ++c)
            x += m_widths[c];
    } else {
        for (int c = col; c < leftCol(); ++c)
            x -= m_widths[c];
    }
    return x;
}

int MarkGrid::rowY(int row) const
{
    if (row < m_fixedRows)
        return row * m_rowHeight;
    return fixedHeight() + (row - topRow()) * m_rowHeight;
}

QRect MarkGrid::cellRect(int row, int col) const
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return QRect();
    if ((row >= m_fixedRows && row < topRow()) || (col >= m_fixedCols && col < leftCol()))
        return QRect();
    const QRect r(colX(col), rowY(row), m_widths[col], m_rowHeight);
    // Scrollable cells end where the fixed headings are drawn.
    if (r.left() >= viewport()->width() || r.top() >= viewport()->height())
        return QRect();
    return r;
}

bool MarkGrid::cellAt(const QPoint& pos, int* row, int* col) const
{
    *row = *col = -1;
    if (pos.x() < 0 || pos.y() < 0)
        return false;
    int r = -1;
    if (pos.y() < fixedHeight())
        r = pos.y() / m_rowHeight;
    else
        r = topRow() + (pos.y() - fixedHeight()) / m_rowHeight;
    if (r >= m_rows)
        return false;
    int c = -1;
    int x = 0;
    for (int i = 0; i < m_fixedCols; ++i) {
        if (pos.x() < x + m_widths[i]) {
            c = i;
            break;
        }
        x += m_widths[i];
    }
    for (int i = leftCol(); c < 0 && i < m_cols; ++i) {
        if (pos.x() < x + m_widths[i])
            c = i;
        x += m_widths[i];
    }
    if (c < 0)
        return false;
    *row = r;
    *col = c;
    return true;
}

void MarkGrid::nearestCell(const QPoint& pos, int* row, int* col) const
{
    // Past an edge of the scrollable part: the next row or column beyond it,
    // so that dragging there scrolls on.
    int r = 0;
    if (pos.y() < fixedHeight())
        r = topRow() - 1;
    else if (pos.y() >= viewport()->height())
        r = topRow() + (viewport()->height() - fixedHeight()) / m_rowHeight;
    else
        r = topRow() + (pos.y() - fixedHeight()) / m_rowHeight;
    int c = leftCol();
    if (pos.x() < fixedWidth()) {
        c = leftCol() - 1;
    } else {
        int x = fixedWidth();
        const int right = std::min(pos.x(), viewport()->width());
        while (c < m_cols - 1 && x + m_widths[c] <= right) {
            x += m_widths[c];
            ++c;
        }
    }
    *row = std::clamp(r, m_fixedRows, m_rows - 1);
    *col = std::clamp(c, m_fixedCols, m_cols - 1);
}

void MarkGrid::updateScrollRanges()
{
    const int roomH = std::max(0, viewport()->height() - fixedHeight());
    const int scrollRows = m_rows - m_fixedRows;
    const int fitRows = roomH / m_rowHeight;
    verticalScrollBar()->setRange(0, std::max(0, scrollRows - fitRows));
    verticalScrollBar()->setPageStep(std::max(1, fitRows));

    const int roomW = std::max(0, viewport()->width() - fixedWidth());
    int used = 0;
    int fitCols = 0;
    for (int c = m_cols - 1; c >= m_fixedCols && used + m_widths[c] <= roomW; --c) {
        used += m_widths[c];
        ++fitCols;
    }
    horizontalScrollBar()->setRange(0, std::max(0, m_cols - m_fixedCols - fitCols));
    horizontalScrollBar()->setPageStep(std::max(1, fitCols));
}

void MarkGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void MarkGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

bool MarkGrid::inSelection(int row, int col) const
{
    return row >= std::min(m_row, m_rowSel) && row <= std::max(m_row, m_rowSel)
        && col >= std::min(m_col, m_colSel) && col <= std::max(m_col, m_colSel);
}

void MarkGrid::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QPalette pal = palette();
    const bool enabled = isEnabled();
    const QColor face = pal.color(QPalette::Button);
    const QColor lines = pal.color(QPalette::Mid);
    // Disabled, the cells take the window's face and the text greys.
    const QColor cellFace = enabled ? QColor(Qt::white) : pal.color(QPalette::Disabled, QPalette::Window);
    const QColor ink = enabled ? QColor(Qt::black) : pal.color(QPalette::Disabled, QPalette::WindowText);
    const int width = viewport()->width();
    const int height = viewport()->height();

    auto paintCell = [&](int row, int col, const QRect& r) {
        const bool fixed = row < m_fixedRows || col < m_fixedCols;
        const bool selected = !fixed && inSelection(row, col) && !(row == m_row && col == m_col)
            && (m_row != m_rowSel || m_col != m_colSel);
        p.fillRect(r, fixed ? face : selected ? pal.color(QPalette::Highlight) : cellFace);
        p.setPen(selected ? pal.color(QPalette::HighlightedText) : ink);
        const Qt::Alignment align = col < m_fixedCols ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
        p.drawText(r.adjusted(2, 0, -2, 0), int(align), text(row, col));
        p.setPen(fixed ? pal.color(QPalette::Shadow) : lines);
        p.drawLine(r.topRight(), r.bottomRight());
        p.drawLine(r.bottomLeft(), r.bottomRight());
        if (!fixed && row == m_row && col == m_col && hasFocus()) {
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            p.drawRect(r.adjusted(1, 1, -2, -2));
        }
    };

    // The scrollable cells first, then the headings over them.
    const int visibleRows = (height - fixedHeight()) / m_rowHeight + 1;
    for (int row = topRow(); row < m_rows && row < topRow() + visibleRows; ++row) {
        int x = fixedWidth();
        for (int col = leftCol(); col < m_cols && x < width; ++col) {
            paintCell(row, col, QRect(x, rowY(row), m_widths[col], m_rowHeight));
            x += m_widths[col];
        }
    }
    for (int row = 0; row < m_rows; ++row) {
        if (row >= m_fixedRows && (row < topRow() || rowY(row) >= height))
            continue;
        int x = 0;
        for (int col = 0; col < m_fixedCols; ++col) {
            paintCell(row, col, QRect(x, rowY(row), m_widths[col], m_rowHeight));
            x += m_widths[col];
        }
        if (row < m_fixedRows) {
            for (int col = leftCol(); col < m_cols && x < width; ++col) {
                paintCell(row, col, QRect(x, rowY(row), m_widths[col], m_rowHeight));
                x += m_widths[col];
            }
        }
    }
}

void MarkGrid::extendTo(int row, int col)
{
    if (row == m_rowSel && col == m_colSel)
        return;
    m_rowSel = row;
    m_colSel = col;
    ensureVisible(row, col);
    viewport()->update();
}

void MarkGrid::mousePressEvent(QMouseEvent* event)
{
    m_pressed = false;
    m_dragged = false;
    m_rowSelecting = false;
    m_pressRow = m_pressCol = -1;
    if (event->button() != Qt::LeftButton)
        return;
    int row = -1;
    int col = -1;
    if (!cellAt(event->position().toPoint(), &row, &col))
        return;
    const bool extend = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (row < m_fixedRows)
        return;   // a column heading: nothing is selected by it
    if (col < m_fixedCols) {
        // A row heading selects its whole row; dragging selects more rows.
        m_rowSelecting = true;
        if (!extend) {
            m_row = row;
            m_col = m_fixedCols;
        }
        m_rowSel = row;
        m_colSel = m_cols - 1;
        viewport()->update();
        return;
    }
    m_pressed = true;
    m_pressRow = row;
    m_pressCol = col;
    m_pressRect = cellRect(row, col);
    if (extend) {
        m_dragged = true;
        extendTo(row, col);
    } else {
        setCurrent(row, col);
    }
}

void MarkGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || (!m_pressed && !m_rowSelecting))
        return;
    int row = -1;
    int col = -1;
    nearestCell(event->position().toPoint(), &row, &col);
    if (m_rowSelecting) {
        extendTo(row, m_cols - 1);
        return;
    }
    if (!m_pressRect.contains(event->position().toPoint()))
        m_dragged = true;
    if (m_dragged)
        extendTo(row, col);
}

void MarkGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const bool plain = event->button() == Qt::LeftButton && m_pressed && !m_dragged
        && m_pressRect.contains(event->position().toPoint())
        && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
        m_rowSelecting = false;
    }
    emit mouseUp(event->button(), event->modifiers(), plain);
}

void MarkGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a press like the first.
    mousePressEvent(event);
}

void MarkGrid::keyPressEvent(QKeyEvent* event)
{
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    int row = extend ? m_rowSel : m_row;
    int col = extend ? m_colSel : m_col;
    const int page = std::max(1, verticalScrollBar()->pageStep());
    switch (event->key()) {
    case Qt::Key_Up: --row; break;
    case Qt::Key_Down: ++row; break;
    case Qt::Key_Left: --col; break;
    case Qt::Key_Right: ++col; break;
    case Qt::Key_PageUp: row -= page; break;
    case Qt::Key_PageDown: row += page; break;
    case Qt::Key_Home: col = m_fixedCols; break;
    case Qt::Key_End: col = m_cols - 1; break;
    default:
        // Typing changes nothing in the grid.
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    row = std::clamp(row, m_fixedRows, m_rows - 1);
    col = std::clamp(col, m_fixedCols, m_cols - 1);
    if (extend)
        setSelectionEnd(row, col);
    else
        setCurrent(row, col);
}

} // namespace contacts
