// The relay logic window against scripted answers: the grid after start,
// toggling marks, the relay ranges, every frame of the relay and flag
// transfers, the answers taken apart, and the failures.

#include "contacts_window.h"
#include "markgrid.h"
#include "gridtest.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using contacts::frmContacts;
using contacts::MarkGrid;
using Rig = testsupport::ScriptedRig<frmContacts>;
using contacts::test::click;
using contacts::test::marks;

namespace {

const QString kOK = QStringLiteral("!OK;\r\n");
const QString kMark = QStringLiteral("*");

// A relay answer: the fields given by index, the others pad.
QString record(const QMap<int, QString>& fields, const QString& pad = QStringLiteral("00"))
{
    QString a = QStringLiteral("!");
    for (int i = 0; i < 49; ++i)
        a += fields.value(i, pad) + QLatin1Char(';');
    return a + QStringLiteral("\r\n");
}

QStringList times(int n, const QString& text)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << text;
    return out;
}

// The grid row and column of channel c in event row e of relay r (both from 1).
int rowOf(int relay, int e)
{
    return 4 * (relay - 1) + 1 + e;
}
int colOf(int channel)
{
    return channel + 1;
}

void drag(MarkGrid* g, int fromRow, int toRow, int col = 3)
{
    g->ensureVisible(fromRow, col);
    QTest::mousePress(g->viewport(), Qt::LeftButton, {}, g->cellRect(fromRow, col).center());
    QTest::mouseMove(g->viewport(), g->cellRect(toRow, col).center());
    QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, g->cellRect(toRow, col).center());
}

// A click on a check box's box.
void tick(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class TestContactsWindow : public QObject {
    Q_OBJECT
private slots:
    void gridAfterStart();
    void sizeRules();
    void toggling_data();
    void toggling();
    void halfVisibleCell_data();
    void halfVisibleCell();
    void gridGreyDuringTransfer();
    void readButtonWraps();
    void ranges_data();
    void ranges();
    void readAllFrames();
    void readShowsChannelsOneToTwelve();
    void fieldAboveThreeF();
    void recordStartingWithA();
    void writeAllFrames();
    void writeOfSelectedRelays();
    void writeFailureHalfway();
    void readFailureStops();
    void unpluggedLine_data();
    void unpluggedLine();
    void questionBeforeUnreadWriteAll();
    void flagsRead_data();
    void flagsRead();
    void flagsWrite();
    void flagWriteFailure();
    void checkBoxRule();
    void restartFailure_data();
    void restartFailure();
    void windowDisabledDuringTransfer();
    void closeDuringWriteAll_data();
    void closeDuringWriteAll();
    void networkAddress();
};

void TestContactsWindow::gridAfterStart()
{
    Rig rig;
    QVERIFY(rig.loaded);
    frmContacts* w = rig.w.get();
    QCOMPARE(w->windowTitle(), QStringLiteral("Настройка логики работы реле v3.1.6"));
    MarkGrid* g = w->fgTab;
    QCOMPARE(g->rows(), 53);
    QCOMPARE(g->cols(), 92);
    QCOMPARE(g->fixedRows(), 1);
    QCOMPARE(g->fixedCols(), 2);
    QCOMPARE(g->text(0, 1), QStringLiteral("N канала"));
    QCOMPARE(g->text(0, 0), QString());
    QCOMPARE(g->text(0, 2), QStringLiteral("1"));
    QCOMPARE(g->text(0, 91), QStringLiteral("90"));
    for (int r = 1; r <= 13; ++r) {
        QCOMPARE(g->text(4 * r - 2, 0), QStringLiteral("Реле %1").arg(r));
        QCOMPARE(g->text(4 * r - 3, 1), QStringLiteral("Первая уставка"));
        QCOMPARE(g->text(4 * r - 2, 1), QStringLiteral("Вторая уставка"));
        QCOMPARE(g->text(4 * r - 1, 1), QStringLiteral("Обрыв"));
        QCOMPARE(g->text(4 * r, 1), QString());
        QCOMPARE(g->text(4 * r - 3, 0), QString());
    }
    QVERIFY(marks(g).isEmpty());
    // 700, 2200 and 600 twips.
    QCOMPARE(g->columnWidth(0) + g->columnWidth(1), 193);
    QCOMPARE(g->columnWidth(50), 40);
    QCOMPARE(g->geometry(), QRect(4, 152, 697, 233));

    QCOMPARE(w->size(), QSize(706, 389));
    QCOMPARE(w->cmbExit->geometry(), QRect(596, 4, 105, 37));
    QCOMPARE(w->Command4->text(), QStringLiteral("Записать Все"));
    QCOMPARE(w->Command4->geometry(), QRect(348, 112, 109, 33));
    QCOMPARE(w->Label1->text(), QStringLiteral("Сетевой адресс прибора"));
    QVERIFY(w->cbTH->isVisible());
    QVERIFY(w->cbAI->isVisible());
    QVERIFY(!w->cbDevLogic->isVisible());
    QCOMPARE(w->cbDevLogic->text(), QStringLiteral("Разрешение логики реле, зашитой в прибор"));
    QCOMPARE(w->cbNetAdrr->count(), 256);
    QCOMPARE(w->cbNetAdrr->currentIndex(), 1);
    QCOMPARE(w->dev()->bNetAdrr, quint8(1));
    // Every caption fits its control.
    for (QWidget* c : QList<QWidget*>{w->cmbWrite, w->cmbRead, w->cmbExit, w->cmdReload, w->Command1, w->Command2,
                                      w->Command3, w->Command4, w->cbTH, w->cbAI}) {
        QVERIFY2(c->sizeHint().width() <= c->width(), qPrintable(c->objectName()));
        QVERIFY2(c->font().pixelSize() >= 8, qPrintable(c->objectName()));
    }
    QVERIFY(rig.frames().isEmpty());
}

void TestContactsWindow::sizeRules()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    const int width = w->width();
    w->resize(width - 200, 600);
    QCOMPARE(w->width(), width);
    QCOMPARE(w->height(), 600);
    QTRY_COMPARE(w->fgTab->height(), 600 - 152 - 4);
    w->resize(width + 300, 50);
    QCOMPARE(w->width(), width);
    // The grid's top + 1100 twips of window, its frame of 440 twips included.
    QCOMPARE(w->height(), 196);
    QTRY_COMPARE(w->fgTab->height(), 40);
    QCOMPARE(w->fgTab->y(), 152);
}

void TestContactsWindow::toggling_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("left click") << "click 5 4" << QStringList{"5:4"};
    QTest::newRow("left click twice") << "click 5 4;click 5 4" << QStringList{};
    QTest::newRow("two cells") << "click 5 4;click 9 2" << QStringList{"5:4", "9:2"};
    QTest::newRow("spare row") << "click 8 3" << QStringList{"8:3"};
    QTest::newRow("channel 90 of relay 13") << "click 51 91" << QStringList{"51:91"};
    QTest::newRow("right click") << "right 5 4" << QStringList{};
    QTest::newRow("channel heading") << "click 0 4" << QStringList{};
    QTest::newRow("heading after a mark") << "click 5 4;click 0 4;click 6 1;click 6 0" << QStringList{"5:4"};
    QTest::newRow("shift click") << "click 5 4;shift 9 4" << QStringList{"5:4"};
    QTest::newRow("ctrl click") << "ctrl 7 7" << QStringList{};
    QTest::newRow("drag") << "drag 5 9" << QStringList{};
    QTest::newRow("double click") << "double 5 4" << QStringList{};
    QTest::newRow("typing") << "click 5 4;type" << QStringList{"5:4"};
}

void TestContactsWindow::toggling()
{
    QFETCH(QString, gesture);
    QFETCH(QStringList, expected);
    Rig rig;
    MarkGrid* g = rig.w->fgTab;
    for (const QString& step : gesture.split(QLatin1Char(';'))) {
        const QStringList p = step.split(QLatin1Char(' '));
        const int row = p.value(1).toInt();
        const int col = p.value(2).toInt();
        if (p[0] == QLatin1String("click"))
            click(g, row, col);
        else if (p[0] == QLatin1String("right"))
            click(g, row, col, Qt::RightButton);
        else if (p[0] == QLatin1String("shift"))
            click(g, row, col, Qt::LeftButton, Qt::ShiftModifier);
        else if (p[0] == QLatin1String("ctrl"))
            click(g, row, col, Qt::LeftButton, Qt::ControlModifier);
        else if (p[0] == QLatin1String("drag"))
            drag(g, row, col);
        else if (p[0] == QLatin1String("double"))
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->cellRect(row, col).center());
        else if (p[0] == QLatin1String("type"))
            QTest::keyClicks(g, QStringLiteral("x* 1"));
    }
    QCOMPARE(marks(g), expected);
    QCOMPARE(g->text(0, 4), QStringLiteral("3"));
    QCOMPARE(g->text(6, 0), QStringLiteral("Реле 2"));
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.w->gridTouched(), gesture.startsWith(QLatin1String("click 5")) || gesture.contains("8 3")
                                       || gesture.contains("51 91"));
}

void TestContactsWindow::halfVisibleCell_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("bottom row") << "bottom";
    QTest::newRow("channel 13") << "right";
    QTest::newRow("bottom row, channel 13") << "both";
}

void TestContactsWindow::halfVisibleCell()
{
    QFETCH(QString, where);
    Rig rig;
    MarkGrid* g = rig.w->fgTab;
    const int row = where == QLatin1String("right") ? 1 : contacts::test::lastRowInView(g);
    const int col = where == QLatin1String("bottom") ? 3 : colOf(13);
    // At the window's first size the cell is only partly in view.
    const QRect cell = g->cellRect(row, col);
    QVERIFY(cell.isValid() && !g->viewport()->rect().contains(cell));
    contacts::test::clickVisiblePart(g, row, col);
    QCOMPARE(marks(g), QStringList{QStringLiteral("%1:%2").arg(row).arg(col)});
    // Scrolled into view, a second click takes the mark away.
    click(g, row, col);
    QCOMPARE(marks(g), QStringList{});
}

void TestContactsWindow::gridGreyDuringTransfer()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    MarkGrid* g = w->fgTab;
    const QPoint cell = g->cellRect(1, 2).center() + QPoint(0, g->rowHeight() / 4);
    auto face = [&] { return g->viewport()->grab().toImage().pixelColor(cell * g->devicePixelRatioF()); };
    const QColor before = face();
    QList<QColor> during;
    rig.port->onWrite = [&](const QByteArray&) { during << face(); };
    rig.replies(times(13, record({})));
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(before, QColor(Qt::white));
    QCOMPARE(during.size(), 13);
    for (const QColor& c : during)
        QCOMPARE(c, g->palette().color(QPalette::Disabled, QPalette::Window));
    QCOMPARE(face(), QColor(Qt::white));
}

void TestContactsWindow::readButtonWraps()
{
    Rig rig;
    QPushButton* read = rig.w->cmbRead;
    // The font of its neighbour, the caption on two lines that fit the button.
    QCOMPARE(read->text(), QStringLiteral("Прочитать из прибора"));
    QCOMPARE(QFontInfo(read->font()).pixelSize(), QFontInfo(rig.w->cmbWrite->font()).pixelSize());
    const QRect room = read->rect().adjusted(4, 4, -4, -4);
    const QRect needed = read->fontMetrics().boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, read->text());
    QVERIFY(room.contains(needed));
    QVERIFY(read->fontMetrics().horizontalAdvance(read->text()) > room.width());
}

void TestContactsWindow::ranges_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("relays");
    QTest::newRow("one cell") << 6 << 6 << QStringList{"1"};
    QTest::newRow("downward across relays") << 6 << 13 << QStringList{"1", "2", "3"};
    QTest::newRow("upward across relays") << 13 << 6 << QStringList{"1", "2", "3"};
    QTest::newRow("within relay 3") << 12 << 9 << QStringList{"2"};
    QTest::newRow("from a spare row") << 4 << 5 << QStringList{"0", "1"};
}

void TestContactsWindow::ranges()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, relays);
    Rig rig;
    frmContacts* w = rig.w.get();
    if (from == to)
        click(w->fgTab, from, 3);
    else
        drag(w->fgTab, from, to);
    QVERIFY(marks(w->fgTab).size() <= 1);
    rig.replies(times(int(relays.size()), record({})));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QStringList expected;
    for (const QString& r : relays)
        expected << QStringLiteral(":1;36;%1;\r\n").arg(r);
    QCOMPARE(rig.frames(), expected);
    QVERIFY(rig.messages.messages().isEmpty());

    // "Записать" writes the same relays, then restarts.
    rig.port->written.clear();
    rig.replies(times(int(relays.size()) + 1, kOK));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    const QStringList written = rig.frames();
    QCOMPARE(written.size(), relays.size() + 1);
    for (int i = 0; i < relays.size(); ++i)
        QVERIFY2(written[i].startsWith(QStringLiteral(":1;35;%1;").arg(relays[i])), qPrintable(written[i]));
    QCOMPARE(written.last(), QStringLiteral(":1;13;151A;1;\r\n"));
}

void TestContactsWindow::readAllFrames()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    rig.replies(times(13, record({})));
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QStringList expected;
    for (const char* r : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C"})
        expected << QStringLiteral(":1;36;%1;\r\n").arg(QLatin1String(r));
    QCOMPARE(rig.frames(), expected);
    QCOMPARE(w->pbProgress->maximum(), 13);
    QCOMPARE(w->pbProgress->value(), 13);
    QVERIFY(rig.messages.messages().isEmpty());
    QVERIFY(w->Command3->isEnabled());
    QVERIFY(w->fgTab->isEnabled());
}

void TestContactsWindow::readShowsChannelsOneToTwelve()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    MarkGrid* g = w->fgTab;
    // Marks the read must leave alone: channels 13 to 18 and 90 of relay 2,
    // its spare row, and relay 1 (not read).
    for (int c = 13; c <= 18; ++c)
        click(g, rowOf(2, 0), colOf(c));
    click(g, rowOf(2, 2), colOf(90));
    click(g, rowOf(2, 3), colOf(1));
    click(g, rowOf(1, 0), colOf(1));
    // And one the read must clear: channel 2 of relay 2's first setpoint.
    click(g, rowOf(2, 0), colOf(2));
    const QStringList before = marks(g);

    // Relay 2 (index 1): first setpoint 5 = channels 1, 3 and 21 = 7, 12;
    // second setpoint 3F = channels 1-6; break field 1 = 20 = channel 12;
    // the fields for channels 13-18 (2, 17, 32) and the four spare fields say
    // all marked, and are not shown.
    click(g, rowOf(2, 1), 3);
    rig.replies({record({{0, "05"}, {1, "21"}, {2, "3F"}, {15, "3F"}, {17, "3F"}, {31, "20"}, {32, "3F"},
                         {45, "3F"}, {48, "3F"}})});
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(rig.frames(), QStringList{":1;36;1;\r\n"});
    QVERIFY(rig.messages.messages().isEmpty());

    QStringList expected;
    for (const QString& m : before)
        if (m != QStringLiteral("%1:%2").arg(rowOf(2, 0)).arg(colOf(2)))
            expected << m;
    for (int ch : {1, 3, 7, 12})
        expected << QStringLiteral("%1:%2").arg(rowOf(2, 0)).arg(colOf(ch));
    for (int ch = 1; ch <= 6; ++ch)
        expected << QStringLiteral("%1:%2").arg(rowOf(2, 1)).arg(colOf(ch));
    expected << QStringLiteral("%1:%2").arg(rowOf(2, 2)).arg(colOf(12));
    QStringList got = marks(g);
    got.sort();
    expected.sort();
    QCOMPARE(got, expected);
    QCOMPARE(w->pbProgress->value(), 1);
    QCOMPARE(w->pbProgress->maximum(), 1);
}

void TestContactsWindow::fieldAboveThreeF()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    MarkGrid* g = w->fgTab;
    // 41 is channel 1 and a bit no channel has; FFFF in the second field is
    // channels 7 to 12 and bits beyond.
    click(g, 1, 2);
    rig.replies({record({{0, "41"}, {1, "FFFF"}})});
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(rig.messages.messages().isEmpty());
    QStringList expected{"1:2"};
    for (int ch = 7; ch <= 12; ++ch)
        expected << QStringLiteral("1:%1").arg(colOf(ch));
    QCOMPARE(marks(g), expected);

    // The next write ties relay 1 to exactly those channels.
    rig.port->written.clear();
    rig.replies({kOK, kOK});
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(rig.frames().value(0), QStringLiteral(":1;35;0;1;3F;") + QStringLiteral("0;").repeated(47) +
                                        QStringLiteral(";\r\n"));
}

void TestContactsWindow::recordStartingWithA()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    // An instrument that does not pad: "A" is channels 2 and 4.
    rig.replies(times(13, record({{0, "A"}, {16, "c"}}, "0")));
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(rig.frames().size(), 13);
    QStringList m = marks(w->fgTab);
    QCOMPARE(m.size(), 13 * 4);
    QVERIFY(m.contains(QStringLiteral("1:3")));
    QVERIFY(m.contains(QStringLiteral("1:5")));
    // Field 16 is the second setpoint's channels 7-12: C = channels 9 and 10.
    QVERIFY(m.contains(QStringLiteral("50:10")));
    QVERIFY(m.contains(QStringLiteral("50:11")));
}

void TestContactsWindow::writeAllFrames()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    MarkGrid* g = w->fgTab;
    // Relay 1, first setpoint: channels 1, 2, 3, 7 and 90; its spare row
    // (never sent); relay 13's break: channel 13.
    for (int ch : {1, 2, 3, 7, 90})
        click(g, rowOf(1, 0), colOf(ch));
    click(g, rowOf(1, 3), colOf(5));
    click(g, rowOf(13, 2), colOf(13));
    rig.replies(times(14, kOK));
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    QVERIFY(rig.messages.messages().isEmpty());

    const QString zero = QStringLiteral("0;");
    QStringList expected;
    expected << QStringLiteral(":1;35;0;7;1;") + zero.repeated(12) + QStringLiteral("20;") + zero.repeated(30)
                    + zero.repeated(4) + QStringLiteral(";\r\n");
    for (const char* r : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B"})
        expected << QStringLiteral(":1;35;%1;").arg(QLatin1String(r)) + zero.repeated(49) + QStringLiteral(";\r\n");
    expected << QStringLiteral(":1;35;C;") + zero.repeated(30) + QStringLiteral("0;0;1;") + zero.repeated(12)
                    + zero.repeated(4) + QStringLiteral(";\r\n");
    expected << QStringLiteral(":1;13;151A;1;\r\n");
    QCOMPARE(rig.frames(), expected);
    QCOMPARE(w->pbProgress->value(), 13);
}

void TestContactsWindow::writeOfSelectedRelays()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    MarkGrid* g = w->fgTab;
    click(g, rowOf(3, 1), colOf(6));   // relay 3, second setpoint, channel 6
    // Select relays 3 and 4 from below.
    g->setCurrent(rowOf(4, 3), 5);
    g->setSelectionEnd(rowOf(3, 0), 5);
    rig.replies({kOK, kOK, kOK});
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    const QString zero = QStringLiteral("0;");
    QCOMPARE(rig.frames(), (QStringList{
                               QStringLiteral(":1;35;2;") + zero.repeated(15) + QStringLiteral("20;") + zero.repeated(33)
                                   + QStringLiteral(";\r\n"),
                               QStringLiteral(":1;35;3;") + zero.repeated(49) + QStringLiteral(";\r\n"),
                               QStringLiteral(":1;13;151A;1;\r\n")}));
    QCOMPARE(w->pbProgress->maximum(), 2);
    QCOMPARE(w->pbProgress->value(), 2);
}

void TestContactsWindow::writeFailureHalfway()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    click(w->fgTab, 1, 2);
    // Relays 1 to 6 confirmed, relay 7 refused three times.
    rig.replies(times(6, kOK) + times(3, QStringLiteral("!ERR;\r\n")));
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    const QStringList f = rig.frames();
    QCOMPARE(f.size(), 9);
    QVERIFY(f[5].startsWith(QLatin1String(":1;35;5;")));
    for (int i = 6; i < 9; ++i)
        QVERIFY(f[i].startsWith(QLatin1String(":1;35;6;")));
    QVERIFY(!f.join(QString()).contains(QLatin1String(";13;151A;")));
    QCOMPARE(rig.messages.messages().size(), 1);
    const instrument::Message m = rig.messages.messages().first();
    QCOMPARE(m.text, QStringLiteral("Ошибка: Не удалось записать в прибор"));
    QCOMPARE(m.title, QStringLiteral("Contacts"));
    QCOMPARE(m.icon, QMessageBox::NoIcon);
    QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(w->pbProgress->value(), 7);
    QVERIFY(w->Command4->isEnabled());
    QVERIFY(w->fgTab->isEnabled());
    QCOMPARE(w->fgTab->text(1, 2), kMark);
}

void TestContactsWindow::readFailureStops()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    click(w->fgTab, rowOf(4, 0), colOf(1));
    // Relays 1 to 3 answer, relay 4 answers nothing at all.
    rig.replies(times(3, record({{0, "01"}})));
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(rig.frames().size(), 3 + 3);
    QCOMPARE(rig.frames().last(), QStringLiteral(":1;36;3;\r\n"));
    QCOMPARE(rig.messages.texts(), QStringList{"Ошибка: Прибор не отвечает"});
    QCOMPARE(w->pbProgress->value(), 3);
    QCOMPARE(marks(w->fgTab), (QStringList{"1:2", "5:2", "9:2", "13:2"}));
    QVERIFY(w->Command3->isEnabled());
}

void TestContactsWindow::unpluggedLine_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("read all") << "Command3";
    QTest::newRow("write all") << "Command4";
    QTest::newRow("read flags") << "cmbRead";
    QTest::newRow("write flags") << "cmbWrite";
}

void TestContactsWindow::unpluggedLine()
{
    QFETCH(QString, button);
    Rig rig;
    frmContacts* w = rig.w.get();
    click(w->fgTab, 1, 2);
    rig.port->openFailure = QStringLiteral("No such file or directory");
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(rig.port->opens, 1);
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix + QStringLiteral("No such file or directory")});
    for (QPushButton* b : {w->Command3, w->Command4, w->cmbRead, w->cmbWrite})
        QVERIFY(b->isEnabled());
}

void TestContactsWindow::questionBeforeUnreadWriteAll()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    rig.messages.answerNext(QMessageBox::No);
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    QCOMPARE(rig.messages.messages().size(), 1);
    const instrument::Message q = rig.messages.messages().first();
    QCOMPARE(q.title, QStringLiteral("Contacts"));
    QCOMPARE(q.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    QVERIFY(q.text.contains(QStringLiteral("13 реле")));
    QVERIFY(rig.frames().isEmpty());

    // Yes: all thirteen are written, and the instrument restarted.
    rig.messages.clear();
    rig.messages.answerNext(QMessageBox::Yes);
    rig.replies(times(14, kOK));
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    QCOMPARE(rig.messages.messages().size(), 1);
    QCOMPARE(rig.frames().size(), 14);

    // "Записать" of one relay does not ask.
    rig.messages.clear();
    rig.port->written.clear();
    rig.replies({kOK, kOK});
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QVERIFY(rig.messages.messages().isEmpty());
    QCOMPARE(rig.frames().size(), 2);

    // After a read, or once a mark was toggled, the write goes without a question.
    for (const QString& how : {QStringLiteral("read"), QStringLiteral("edit")}) {
        Rig other;
        if (how == QLatin1String("read")) {
            other.replies({record({})});
            QTest::mouseClick(other.w->Command1, Qt::LeftButton);
        } else {
            click(other.w->fgTab, 3, 3);
            click(other.w->fgTab, 3, 3);
        }
        other.port->written.clear();
        other.replies(times(14, kOK));
        QTest::mouseClick(other.w->Command4, Qt::LeftButton);
        QVERIFY2(other.messages.messages().isEmpty(), qPrintable(how));
        QCOMPARE(other.frames().size(), 14);
    }
}

void TestContactsWindow::flagsRead_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("checked");   // D built-in logic, T analysis, A relay test
    QTest::addColumn<QString>("message");
    QTest::newRow("all set: the later flags win") << QStringList{"!1;\r\n", "!1;\r\n", "!1;\r\n"} << 3 << "TA" << "";
    QTest::newRow("built-in logic alone") << QStringList{"!1;\r\n", "!0;\r\n", "!0;\r\n"} << 3 << "D" << "";
    QTest::newRow("built-in logic and relay test") << QStringList{"!1;\r\n", "!0;\r\n", "!1;\r\n"} << 3 << "A" << "";
    QTest::newRow("2 is not set") << QStringList{"!2;\r\n", "!0;\r\n", "!1;\r\n"} << 3 << "A" << "";
    QTest::newRow("FFFF is no error and not set")
        << QStringList{"!FFFF;\r\n", "!1;\r\n", "!FFFF;\r\n"} << 3 << "T" << "";
    QTest::newRow("bad second answer stops")
        << QStringList{"!1;\r\n", "!1G;\r\n", "!1G;\r\n", "!1G;\r\n"} << 4 << "D"
        << "Ошибка: Из прибора пришло число в неправильном формате";
}

void TestContactsWindow::flagsRead()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, checked);
    QFETCH(QString, message);
    Rig rig;
    frmContacts* w = rig.w.get();
    // What the boxes held before is cleared first.
    w->cbTH->setChecked(true);
    w->cbAI->setChecked(true);
    rig.replies(answers);
    QTest::mouseClick(w->cmbRead, Qt::LeftButton);
    // 13ED, 11F8, 13EC in that order; a bad answer is asked again, as the link does.
    QStringList order{":1;6;13ED;\r\n", ":1;6;11F8;\r\n", ":1;6;13EC;\r\n"};
    QFETCH(int, frames);
    if (frames == 4)
        order = QStringList{order[0], order[1], order[1], order[1]};
    QCOMPARE(rig.frames(), order);
    QString got;
    if (w->cbDevLogic->isChecked())
        got += QLatin1Char('D');
    if (w->cbTH->isChecked())
        got += QLatin1Char('T');
    if (w->cbAI->isChecked())
        got += QLatin1Char('A');
    QCOMPARE(got, checked);
    QCOMPARE(rig.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(w->cmbRead->isEnabled());
    QVERIFY(rig.messages.messages().isEmpty() || rig.messages.messages().first().title == QLatin1String("Contacts"));
}

void TestContactsWindow::flagsWrite()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    for (int round = 0; round < 3; ++round) {
        rig.port->written.clear();
        // Analysis on, relay test off; then the relay test; then the built-in logic.
        if (round == 0)
            w->cbTH->setChecked(true);
        else if (round == 1)
            w->cbAI->setChecked(true);
        else
            w->cbDevLogic->setChecked(true);
        rig.replies({kOK, kOK, kOK, kOK});
        QTest::mouseClick(w->cmbWrite, Qt::LeftButton);
        const QString d = round == 2 ? "1" : "0";
        const QString a = round == 1 ? "1" : "0";
        const QString t = round < 2 ? "1" : "0";
        QCOMPARE(rig.frames(), (QStringList{":1;5;13ED;" + d + ";\r\n", ":1;5;13EC;" + a + ";\r\n",
                                            ":1;5;11F8;" + t + ";\r\n", ":1;13;151A;1;\r\n"}));
        QVERIFY(rig.messages.messages().isEmpty());
    }
}

void TestContactsWindow::flagWriteFailure()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    w->cbAI->setChecked(true);
    rig.replies({kOK, QStringLiteral("ERR\r\n"), QStringLiteral("ERR\r\n"), QStringLiteral("ERR\r\n")});
    QTest::mouseClick(w->cmbWrite, Qt::LeftButton);
    QCOMPARE(rig.frames(), (QStringList{":1;5;13ED;0;\r\n", ":1;5;13EC;1;\r\n", ":1;5;13EC;1;\r\n",
                                        ":1;5;13EC;1;\r\n"}));
    QCOMPARE(rig.messages.texts(), QStringList{"Ошибка: Прибор выдает ошибку"});
    QVERIFY(w->cmbWrite->isEnabled());
    QVERIFY(w->cbAI->isChecked());
}

void TestContactsWindow::checkBoxRule()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    w->cbDevLogic->setChecked(true);
    tick(w->cbTH);
    QVERIFY(w->cbTH->isChecked());
    QVERIFY(!w->cbDevLogic->isChecked());
    tick(w->cbAI);
    QVERIFY(w->cbAI->isChecked());
    QVERIFY(w->cbTH->isChecked());
    // The built-in logic clears both; unchecking it changes nothing else.
    w->cbDevLogic->setChecked(true);
    QVERIFY(!w->cbTH->isChecked());
    QVERIFY(!w->cbAI->isChecked());
    w->cbDevLogic->setChecked(false);
    QVERIFY(!w->cbTH->isChecked());
    QVERIFY(!w->cbAI->isChecked());
    // Unchecking the relay test leaves the analysis as it was.
    tick(w->cbTH);
    tick(w->cbAI);
    tick(w->cbAI);
    QVERIFY(w->cbTH->isChecked());
    QVERIFY(!w->cbAI->isChecked());
    QVERIFY(rig.frames().isEmpty());
}

void TestContactsWindow::restartFailure_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("message");   // empty: none
    const QString silent = QStringLiteral("прибор не подтвердил перезагрузку: Прибор не отвечает");
    QTest::newRow("restart answered") << "cmdReload" << QStringList{kOK} << "";
    QTest::newRow("restart silent") << "cmdReload" << QStringList{QString()} << "Ошибка: " + silent;
    QTest::newRow("write then silent") << "Command2" << QStringList{kOK, QString()}
                                       << "Ошибка: логика реле записана, но " + silent;
    QTest::newRow("flags then silent") << "cmbWrite" << QStringList{kOK, kOK, kOK, QString()}
                                       << "Ошибка: флаги записаны, но " + silent;
}

void TestContactsWindow::restartFailure()
{
    QFETCH(QString, button);
    QFETCH(QStringList, replies);
    QFETCH(QString, message);
    Rig rig;
    rig.replies(replies);
    QTest::mouseClick(rig.w->findChild<QPushButton*>(button), Qt::LeftButton);
    // Silence is answered three times; the restart frame is sent once a try.
    QCOMPARE(rig.frames().last(), QStringLiteral(":1;13;151A;1;\r\n"));
    QCOMPARE(rig.messages.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    QVERIFY(rig.w->cmdReload->isEnabled());
}

void TestContactsWindow::windowDisabledDuringTransfer()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    QList<bool> enabled;
    rig.port->onWrite = [&](const QByteArray&) {
        for (QWidget* c : QList<QWidget*>{w->fgTab, w->Command1, w->Command4, w->cmbRead, w->cmbWrite, w->cbTH,
                                          w->cbAI, w->cbNetAdrr, w->cmbExit, w->cmdReload})
            enabled << c->isEnabled();
    };
    rig.replies(times(13, record({})));
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(enabled.size(), 13 * 10);
    QVERIFY(!enabled.contains(true));
    QVERIFY(w->fgTab->isEnabled());
    QVERIFY(w->cmbExit->isEnabled());
}

void TestContactsWindow::closeDuringWriteAll_data()
{
    QTest::addColumn<int>("closeAt");   // the frame during which the window is closed
    QTest::addColumn<QString>("report");
    const QString head = QStringLiteral("Окно закрыто во время записи.\nЗаписано: ");
    QTest::newRow("third relay") << 3
                                 << head + "реле 1, реле 2, реле 3.\nНе записано: реле 4, реле 5, реле 6, реле 7, "
                                           "реле 8, реле 9, реле 10, реле 11, реле 12, реле 13, перезагрузка прибора.";
    QTest::newRow("last relay") << 13
                                << head + "реле 1, реле 2, реле 3, реле 4, реле 5, реле 6, реле 7, реле 8, реле 9, "
                                          "реле 10, реле 11, реле 12, реле 13.\nНе записано: перезагрузка прибора.";
    QTest::newRow("restart") << 14
                             << head + "реле 1, реле 2, реле 3, реле 4, реле 5, реле 6, реле 7, реле 8, реле 9, "
                                       "реле 10, реле 11, реле 12, реле 13, перезагрузка прибора.";
}

void TestContactsWindow::closeDuringWriteAll()
{
    QFETCH(int, closeAt);
    QFETCH(QString, report);
    Rig rig;
    frmContacts* w = rig.w.get();
    click(w->fgTab, 1, 2);
    int written = 0;
    rig.port->onWrite = [&](const QByteArray&) {
        if (++written == closeAt)
            w->close();
    };
    rig.replies(times(14, kOK));
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    // The close waits for the answer under way, then nothing more is sent;
    // one box says what the instrument got.
    QCOMPARE(rig.frames().size(), closeAt);
    QVERIFY(!w->isVisible());
    QCOMPARE(rig.messages.texts(), QStringList{report});
}

void TestContactsWindow::networkAddress()
{
    Rig rig;
    frmContacts* w = rig.w.get();
    w->cbNetAdrr->setCurrentIndex(7);
    QCOMPARE(w->dev()->bNetAdrr, quint8(7));
    rig.replies({QString()});
    QTest::mouseClick(w->cmdReload, Qt::LeftButton);
    QCOMPARE(rig.frames().value(0), QStringLiteral(":7;13;151A;1;\r\n"));
}

QTEST_MAIN(TestContactsWindow)
#include "tst_contacts_window.moc"
