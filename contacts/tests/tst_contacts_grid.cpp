// The relay grid widget alone: headings that stay in view while it scrolls,
// the cell under the mouse, selections by drag, Shift, Ctrl and keys, and
// which releases count as plain clicks.

#include "markgrid.h"

#include <QSignalSpy>
#include <QTest>

using contacts::MarkGrid;

namespace {

// The grid of the relay window: 53 rows, 92 columns, one heading row, two
// heading columns, in a viewport that shows only part of it.
struct Grid {
    Grid() : g(53, 92, 1, 2)
    {
        g.setColumnWidth(0, 47);
        g.setColumnWidth(1, 146);
        for (int c = 2; c < 92; ++c)
            g.setColumnWidth(c, 40);
        g.setRowHeight(16);
        g.resize(697, 233);
        for (int c = 0; c < 92; ++c)
            g.setText(0, c, QString::number(c));
        for (int r = 0; r < 53; ++r)
            g.setText(r, 0, QStringLiteral("r%1").arg(r));
        g.show();
        exposed = QTest::qWaitForWindowExposed(&g);
    }
    QPoint at(int row, int col) const { return g.cellRect(row, col).center(); }
    QWidget* vp() { return g.viewport(); }
    MarkGrid g;
    bool exposed = false;
};

struct Cell {
    int row;
    int col;
};

} // namespace

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class TestContactsGrid : public QObject {
    Q_OBJECT
private slots:
    void headingsStayInViewWhileScrolling();
    void cellUnderTheMouse();
    void plainClickAndOthers_data();
    void plainClickAndOthers();
    void dragSelects();
    void dragPastTheEdgeScrolls();
    void rowHeadingSelectsRows();
    void keysMoveAndExtend();
};

void TestContactsGrid::headingsStayInViewWhileScrolling()
{
    Grid t;
    QVERIFY(t.g.verticalScrollBar()->maximum() > 0);
    QVERIFY(t.g.horizontalScrollBar()->maximum() > 0);
    // The last row and column can be scrolled into view whole.
    t.g.setTopRow(t.g.verticalScrollBar()->maximum() + 1);
    t.g.setLeftCol(t.g.horizontalScrollBar()->maximum() + 2);
    const QRect last = t.g.cellRect(52, 91);
    QVERIFY(!last.isEmpty());
    QVERIFY(t.vp()->rect().contains(last));

    // Headings stay where they were: row 0 at the top, columns 0 and 1 at the left.
    QCOMPARE(t.g.cellRect(0, 0).topLeft(), QPoint(0, 0));
    QCOMPARE(t.g.cellRect(0, 1).topLeft(), QPoint(47, 0));
    QCOMPARE(t.g.cellRect(0, 91).top(), 0);
    QCOMPARE(t.g.cellRect(52, 0).left(), 0);
    QCOMPARE(t.g.cellRect(52, 0).top(), last.top());
    // The first scrolled cells are next to the headings, the others hidden.
    QCOMPARE(t.g.cellRect(t.g.topRow(), t.g.leftCol()).topLeft(), QPoint(47 + 146, 16));
    QVERIFY(t.g.cellRect(1, 2).isEmpty());
    QVERIFY(t.g.cellRect(1, 0).isEmpty());

    // What is painted there is the heading.
    const QImage shot = t.vp()->grab().toImage();
    QCOMPARE(shot.pixelColor(t.at(0, 91) + QPoint(0, -6)), t.g.palette().color(QPalette::Button));
    QCOMPARE(shot.pixelColor(t.at(52, 0) + QPoint(-20, -6)), t.g.palette().color(QPalette::Button));
    QCOMPARE(shot.pixelColor(t.at(52, 91) + QPoint(-15, -6)), QColor(Qt::white));

    // The mouse wheel scrolls by rows.
    t.g.setTopRow(1);
    QWheelEvent wheel(QPointF(300, 100), t.vp()->mapToGlobal(QPointF(300, 100)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(t.vp(), &wheel);
    QVERIFY(t.g.topRow() > 1);
}

void TestContactsGrid::cellUnderTheMouse()
{
    Grid t;
    t.g.setTopRow(10);
    t.g.setLeftCol(30);
    int row = -1;
    int col = -1;
    QVERIFY(t.g.cellAt(QPoint(5, 5), &row, &col));
    QCOMPARE(row, 0);
    QCOMPARE(col, 0);
    QVERIFY(t.g.cellAt(QPoint(47 + 146 + 1, 17), &row, &col));
    QCOMPARE(row, 10);
    QCOMPARE(col, 30);
    QVERIFY(t.g.cellAt(QPoint(47 + 146 + 81, 16 * 3 + 2), &row, &col));
    QCOMPARE(row, 12);
    QCOMPARE(col, 32);
    QVERIFY(t.g.cellAt(QPoint(60, 16 * 2 + 1), &row, &col));
    QCOMPARE(row, 11);
    QCOMPARE(col, 1);
    QVERIFY(!t.g.cellAt(QPoint(-1, 5), &row, &col));
    // Every visible cell's rectangle leads back to it.
    for (const Cell& c : {Cell{0, 40}, Cell{14, 0}, Cell{20, 35}}) {
        QVERIFY(t.g.cellAt(t.at(c.row, c.col), &row, &col));
        QCOMPARE(row, c.row);
        QCOMPARE(col, c.col);
    }
}

void TestContactsGrid::plainClickAndOthers_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<int>("current");
    QTest::newRow("left on a mark cell") << int(Qt::LeftButton) << Qt::KeyboardModifiers() << 5 << 4 << true << 5;
    QTest::newRow("right on a mark cell") << int(Qt::RightButton) << Qt::KeyboardModifiers() << 5 << 4 << false << 1;
    QTest::newRow("middle") << int(Qt::MiddleButton) << Qt::KeyboardModifiers() << 5 << 4 << false << 1;
    QTest::newRow("shift") << int(Qt::LeftButton) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 5 << 4 << false << 1;
    QTest::newRow("ctrl") << int(Qt::LeftButton) << Qt::KeyboardModifiers(Qt::ControlModifier) << 5 << 4 << false << 1;
    QTest::newRow("column heading") << int(Qt::LeftButton) << Qt::KeyboardModifiers() << 0 << 4 << false << 1;
    QTest::newRow("row heading") << int(Qt::LeftButton) << Qt::KeyboardModifiers() << 5 << 0 << false << 5;
    QTest::newRow("event heading") << int(Qt::LeftButton) << Qt::KeyboardModifiers() << 5 << 1 << false << 5;
}

void TestContactsGrid::plainClickAndOthers()
{
    QFETCH(int, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, row);
    QFETCH(int, col);
    Grid t;
    QSignalSpy up(&t.g, &MarkGrid::mouseUp);
    QTest::mouseClick(t.vp(), Qt::MouseButton(button), modifiers, t.at(row, col));
    QCOMPARE(up.size(), 1);
    QCOMPARE(up[0][0].value<Qt::MouseButton>(), Qt::MouseButton(button));
    QTEST(up[0][2].toBool(), "plain");
    QTEST(t.g.row(), "current");
}

void TestContactsGrid::dragSelects()
{
    Grid t;
    QSignalSpy up(&t.g, &MarkGrid::mouseUp);
    // Downward.
    QTest::mousePress(t.vp(), Qt::LeftButton, {}, t.at(6, 3));
    QTest::mouseMove(t.vp(), t.at(9, 3));
    QTest::mouseMove(t.vp(), t.at(13, 4));
    QTest::mouseRelease(t.vp(), Qt::LeftButton, {}, t.at(13, 4));
    QCOMPARE(t.g.row(), 6);
    QCOMPARE(t.g.col(), 3);
    QCOMPARE(t.g.rowSel(), 13);
    QCOMPARE(t.g.colSel(), 4);
    QCOMPARE(up.size(), 1);
    QVERIFY(!up[0][2].toBool());

    // Out and back to the cell it started on: still a drag, not a click.
    QTest::mousePress(t.vp(), Qt::LeftButton, {}, t.at(8, 5));
    QTest::mouseMove(t.vp(), t.at(9, 5));
    QTest::mouseMove(t.vp(), t.at(8, 5));
    QTest::mouseRelease(t.vp(), Qt::LeftButton, {}, t.at(8, 5));
    QVERIFY(!up[1][2].toBool());

    // Upward.
    QTest::mousePress(t.vp(), Qt::LeftButton, {}, t.at(13, 2));
    QTest::mouseMove(t.vp(), t.at(6, 2));
    QTest::mouseRelease(t.vp(), Qt::LeftButton, {}, t.at(6, 2));
    QCOMPARE(t.g.row(), 13);
    QCOMPARE(t.g.rowSel(), 6);

    // A Shift click ends the selection where it lands, from the current cell.
    QTest::mouseClick(t.vp(), Qt::LeftButton, {}, t.at(2, 2));
    QTest::mouseClick(t.vp(), Qt::LeftButton, Qt::ShiftModifier, t.at(11, 6));
    QCOMPARE(t.g.row(), 2);
    QCOMPARE(t.g.rowSel(), 11);
    QCOMPARE(t.g.colSel(), 6);
}

void TestContactsGrid::dragPastTheEdgeScrolls()
{
    Grid t;
    QTest::mousePress(t.vp(), Qt::LeftButton, {}, t.at(2, 2));
    const QPoint below(300, t.vp()->height() + 10);
    for (int i = 0; i < 60; ++i)
        QTest::mouseMove(t.vp(), below + QPoint(0, i % 2));
    QTest::mouseRelease(t.vp(), Qt::LeftButton, {}, below);
    QCOMPARE(t.g.row(), 2);
    QCOMPARE(t.g.rowSel(), 52);
    QVERIFY(!t.g.cellRect(52, 2).isEmpty());
}

void TestContactsGrid::rowHeadingSelectsRows()
{
    Grid t;
    QTest::mousePress(t.vp(), Qt::LeftButton, {}, t.at(5, 0));
    QTest::mouseMove(t.vp(), t.at(10, 1));
    QTest::mouseRelease(t.vp(), Qt::LeftButton, {}, t.at(10, 1));
    QCOMPARE(t.g.row(), 5);
    QCOMPARE(t.g.col(), 2);
    QCOMPARE(t.g.rowSel(), 10);
    QCOMPARE(t.g.colSel(), 91);
}

void TestContactsGrid::keysMoveAndExtend()
{
    Grid t;
    t.g.setFocus();
    t.g.setCurrent(3, 3);
    QTest::keyClick(&t.g, Qt::Key_Down);
    QTest::keyClick(&t.g, Qt::Key_Right);
    QCOMPARE(t.g.row(), 4);
    QCOMPARE(t.g.col(), 4);
    QTest::keyClick(&t.g, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&t.g, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(t.g.row(), 4);
    QCOMPARE(t.g.rowSel(), 6);
    // Never into the headings, never past the end.
    QTest::keyClick(&t.g, Qt::Key_Up);
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(&t.g, Qt::Key_Up);
        QTest::keyClick(&t.g, Qt::Key_Left);
    }
    QCOMPARE(t.g.row(), 1);
    QCOMPARE(t.g.col(), 2);
    QTest::keyClick(&t.g, Qt::Key_End);
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(&t.g, Qt::Key_PageDown);
    QCOMPARE(t.g.row(), 52);
    QCOMPARE(t.g.col(), 91);
    QVERIFY(!t.g.cellRect(52, 91).isEmpty());
    // Typing changes no cell.
    const QString before = t.g.text(52, 91);
    QTest::keyClicks(&t.g, QStringLiteral("* x"));
    QCOMPARE(t.g.text(52, 91), before);
}

QTEST_MAIN(TestContactsGrid)
#include "tst_contacts_grid.moc"
