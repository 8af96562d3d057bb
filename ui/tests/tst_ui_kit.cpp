// The window kit's pieces that carry logic: the network-address list, the
// exchange guard, the base-address and speed-list keys of "dev.dat", the
// status bar's clock and the file dialog's default suffix.

#include "dev.h"
#include "dialogs.h"
#include "exchangeguard.h"
#include "lists.h"
#include "netaddress.h"
#include "programdir.h"
#include "settingskeys.h"
#include "controls.h"
#include "statusbar.h"
#include "windowrig.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>
#include <QtTest>

namespace {

// A window with a guard that holds its close while an exchange runs.
class GuardedWindow : public QWidget {
public:
    GuardedWindow()
    {
        resize(300, 200);
        button = new QPushButton(QStringLiteral("b"), this);
        box = new QComboBox(this);
        box->move(0, 40);
        status = new ui::StatusBar(this);
        guard.setStatusBar(status);
    }
    QPushButton* button = nullptr;
    QComboBox* box = nullptr;
    ui::StatusBar* status = nullptr;
    ui::ExchangeGuard guard{this};
    int unloads = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (guard.holdClose(event))
            return;
        ++unloads;
        event->accept();
    }
};

} // namespace

class TestUiKit : public QObject {
    Q_OBJECT
private slots:
    void netAddressFollowsSelectionAndFocus();
    void netAddressIgnoresTextThatIsNoItem();
    void guardNests();
    void guardHoldsACloseUntilTheExchangeReturns();
    void closedMeanwhileEndsEveryLevel();
    void typingCyrillic();
    void baseAddress_data();
    void baseAddress();
    void speedListRoundTrip();
    void speedListFallbacks_data();
    void speedListFallbacks();
    void statusBarShowsTheTimeOfDay();
    void defaultSuffix_data();
    void defaultSuffix();
};

void TestUiKit::netAddressFollowsSelectionAndFocus()
{
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    QWidget w;
    auto* box = new QComboBox(&w);
    auto* other = new QLineEdit(&w);
    other->move(0, 40);
    int handled = 0;
    ui::fillNetAddresses(box, dev, 1);
    QCOMPARE(box->count(), 256);
    QCOMPARE(box->currentText(), QStringLiteral("1"));
    QCOMPARE(dev.bNetAdrr, quint8(1));
    ui::connectNetAddress(box, &w, [&] {
        ++handled;
        ui::takeNetAddress(box, dev);
    });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // The wheel over the list changes it without giving it the focus: the
    // address shown must be the address used.
    other->setFocus();
    QPoint centre = box->rect().center();
    QWheelEvent wheel(centre, box->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    QCOMPARE(box->currentText(), QStringLiteral("2"));
    QCOMPARE(dev.bNetAdrr, quint8(2));

    // Focus leaving the list hands the address over once more.
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    dev.bNetAdrr = 77;
    const int before = handled;
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(handled, before + 1);
    QCOMPARE(dev.bNetAdrr, quint8(2));

    // The window closing takes the focus from the list, but no control got
    // it: the window's handler must not run (it may be half destroyed).
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    const int beforeClose = handled;
    w.close();
    QCOMPARE(handled, beforeClose);
}

void TestUiKit::netAddressIgnoresTextThatIsNoItem()
{
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    QComboBox box;
    box.setEditable(true);
    ui::fillNetAddresses(&box, dev, 1);
    ui::showInEditField(&box, QStringLiteral("300"));
    QCOMPARE(ui::selectedIndex(&box), -1);
    ui::takeNetAddress(&box, dev);
    QCOMPARE(dev.bNetAdrr, quint8(1));
    box.setEditText(QStringLiteral("25"));
    QCOMPARE(ui::selectedIndex(&box), 25);
    ui::takeNetAddress(&box, dev);
    QCOMPARE(dev.bNetAdrr, quint8(25));
}

void TestUiKit::guardNests()
{
    GuardedWindow w;
    w.show();
    w.guard.begin(QStringLiteral("Чтение"));
    QVERIFY(!w.button->isEnabled());
    QVERIFY(!w.box->isEnabled());
    // The status bar stays readable.
    QVERIFY(w.status->isEnabled());
    QCOMPARE(w.status->step(), QStringLiteral("Чтение"));
    QVERIFY(w.isEnabled());

    w.guard.begin();
    QVERIFY(w.guard.end());
    QVERIFY(!w.button->isEnabled());
    QVERIFY(w.guard.isBusy());
    QVERIFY(w.guard.end());
    QVERIFY(w.button->isEnabled());
    QVERIFY(w.box->isEnabled());
    QCOMPARE(w.status->step(), QString());
    QVERIFY(!w.guard.isBusy());
    // An end too many changes nothing.
    QVERIFY(w.guard.end());
    QVERIFY(w.button->isEnabled());

    // A window with its own list disables only those.
    w.guard.setControls({w.box});
    w.guard.begin();
    QVERIFY(w.button->isEnabled());
    QVERIFY(!w.box->isEnabled());
    QVERIFY(w.guard.end());
    QVERIFY(w.box->isEnabled());
}

void TestUiKit::guardHoldsACloseUntilTheExchangeReturns()
{
    GuardedWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.guard.begin();
    w.guard.begin();
    // The close arrives while the link waits.
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(w.unloads, 0);
    QVERIFY(w.guard.isClosing());
    // The inner exchange returns: still inside the outer one.
    QVERIFY(!w.guard.end());
    QVERIFY(w.isVisible());
    // The outer one returns: now the window closes, and the caller is told.
    QVERIFY(!w.guard.end());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.unloads, 1);
    // Controls are not enabled again for a window that has closed.
    QVERIFY(!w.button->isEnabled());
}

void TestUiKit::closedMeanwhileEndsEveryLevel()
{
    GuardedWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.guard.begin();
    QVERIFY(!w.guard.closedMeanwhile());
    w.guard.begin();
    QVERIFY(!w.close());
    // Two levels deep, one question: the close is carried out now.
    QVERIFY(w.guard.closedMeanwhile());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.unloads, 1);
    QVERIFY(!w.guard.isBusy());
}

void TestUiKit::typingCyrillic()
{
    QLineEdit edit;
    QComboBox box;
    box.setEditable(true);
    int edits = 0;
    QObject::connect(&edit, &QLineEdit::textEdited, [&] { ++edits; });
    edit.setText(QStringLiteral("old"));
    testsupport::typeInto(&edit, QStringLiteral("Канал 1"));
    QCOMPARE(edit.text(), QStringLiteral("Канал 1"));
    QCOMPARE(edits, 7);
    testsupport::typeInto(&box, QStringLiteral("°С"));
    QCOMPARE(box.currentText(), QStringLiteral("°С"));
}

void TestUiKit::baseAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("highest");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("hex") << "&HC8" << 0 << 11 << true << 200;
    QTest::newRow("hex lower case") << "&hc8" << 0 << 11 << true << 200;
    QTest::newRow("decimal with blanks") << " 200 " << 0 << 11 << true << 200;
    QTest::newRow("four digits are signed") << "&HFFFF" << 0 << 11 << true << -1;
    QTest::newRow("last address just fits") << "&H7FF4" << 0 << 11 << true << 32756;
    QTest::newRow("last address leaves 16 bits") << "&H7FF5" << 0 << 11 << false << 0;
    QTest::newRow("copies above leave 16 bits") << "32000" << 0 << 1536 + 23 << false << 0;
    QTest::newRow("lowest decimal") << "-32768" << 0 << 0 << true << -32768;
    QTest::newRow("below with an offset") << "&H8000" << -1 << 0 << false << 0;
    QTest::newRow("decimal too large") << "32768" << 0 << 0 << false << 0;
    QTest::newRow("not a number") << "abc" << 0 << 0 << false << 0;
    QTest::newRow("empty") << "" << 0 << 0 << false << 0;
    QTest::newRow("fraction") << "1,5" << 0 << 0 << false << 0;
    QTest::newRow("prefix alone") << "&H" << 0 << 0 << false << 0;
    QTest::newRow("five hex digits") << "&H12345" << 0 << 0 << false << 0;
    QTest::newRow("hex digits without prefix") << "C8" << 0 << 0 << false << 0;
}

void TestUiKit::baseAddress()
{
    QFETCH(QString, text);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    QFETCH(bool, valid);
    QFETCH(int, value);
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[Flash]\nTHT1=%1\n").arg(text));
    instrument::Dev dev;
    const ui::BaseAddress a = ui::readBaseAddress(dev, QStringLiteral("Flash"), QStringLiteral("THT1"),
                                                  QStringLiteral("&HC8"), lowest, highest,
                                                  QStringLiteral("Тип уставки не читается и не записывается."));
    QCOMPARE(a.valid, valid);
    if (valid) {
        QCOMPARE(a.value, value);
        QVERIFY(a.problem.isEmpty());
        return;
    }
    for (const QString& part : {QStringLiteral("\"dev.dat\""), QStringLiteral("[Flash]"), QStringLiteral("THT1"),
                                QStringLiteral("\"%1\"").arg(text.trimmed()),
                                QStringLiteral("Тип уставки не читается")})
        QVERIFY2(a.problem.contains(part), qPrintable(a.problem + " lacks " + part));
    QVERIFY2(a.refusal().contains(QStringLiteral("THT1")), qPrintable(a.refusal()));
}

void TestUiKit::speedListRoundTrip()
{
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[PROGS]\nNofSettings=12\nSet10=x\nSet11=y\nSet12=z\n[Other]\nk=v\n"));
    instrument::Dev dev;
    const QStringList nine{"300,N,8,2",   "600,N,8,2",   "1200,N,8,2",  "2400,N,8,2", "4800,N,8,2",
                           "9600,N,8,2",  "19200,N,8,2", "38400,N,8,2", "57600,N,8,2"};
    QVERIFY(ui::writeSpeedList(dev, nine, 5));
    const ui::SpeedList read = ui::readSpeedList(dev);
    QCOMPARE(read.items, nine);
    QCOMPARE(read.index, 5);
    QVERIFY(read.problems.isEmpty());
    QCOMPARE(dev.sGetINI(QStringLiteral("Other"), QStringLiteral("k"), QString()), QStringLiteral("v"));
}

void TestUiKit::speedListFallbacks_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<int>("fallback");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("problems");
    QTest::newRow("no section") << "" << 0 << 8 << 4 << 0;
    QTest::newRow("count not a number") << "[PROGS]\nNofSettings=x\n" << 0 << 8 << 4 << 1;
    QTest::newRow("count too large") << "[PROGS]\nNofSettings=256\n" << 0 << 8 << 4 << 1;
    QTest::newRow("index past the list") << "[PROGS]\nNofSettings=3\nSettingsIndex=3\n" << 0 << 3 << 0 << 1;
    QTest::newRow("negative index") << "[PROGS]\nSettingsIndex=-1\n" << 0 << 8 << 0 << 1;
    QTest::newRow("fallback item") << "[PROGS]\nSettingsIndex=9\n" << 4 << 8 << 4 << 1;
    QTest::newRow("fallback past a short list") << "[PROGS]\nNofSettings=2\nSettingsIndex=9\n" << 4 << 2 << 0 << 1;
    QTest::newRow("empty list") << "[PROGS]\nNofSettings=0\n" << 0 << 0 << -1 << 1;
}

void TestUiKit::speedListFallbacks()
{
    QFETCH(QString, devDat);
    QFETCH(int, fallback);
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(int, problems);
    testsupport::ProgramFolder folder;
    folder.writeDevDat(devDat);
    instrument::Dev dev;
    const ui::SpeedList read = ui::readSpeedList(dev, fallback);
    QCOMPARE(read.items.size(), count);
    if (count > 0)
        QCOMPARE(read.items.first(), QStringLiteral("4800,n,8,2"));
    QCOMPARE(read.index, index);
    QCOMPARE(read.problems.size(), problems);
}

void TestUiKit::statusBarShowsTheTimeOfDay()
{
    QWidget w;
    ui::applyWindowFont(&w);
    w.resize(400, 300);
    ui::StatusBar bar(&w);
    bar.setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(9, 5, 59)); });
    QCOMPARE(bar.panel2->text(), QStringLiteral("09:05"));
    bar.setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(23, 59, 0)); });
    QCOMPARE(bar.panel2->text(), QStringLiteral("23:59"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Docked across the foot of the window.
    QCOMPARE(bar.geometry().bottom(), w.height() - 1);
    QCOMPARE(bar.width(), w.width());
    // Whole letters: the step's line, descenders ("р", "_") included, fits
    // inside the panel and the panel inside the bar.
    bar.showStep(QStringLiteral("Чтение диап_MAX"));
    const QFontMetrics fm = bar.panel1->fontMetrics();
    QVERIFY(bar.panel1->contentsRect().height() >= fm.height() + 2);
    QVERIFY(bar.panel1->contentsRect().height() >= fm.tightBoundingRect(bar.step()).height() + 2);
    QVERIFY(bar.panel1->geometry().bottom() < bar.height());
}

void TestUiKit::defaultSuffix_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("result");
    QTest::newRow("no suffix") << "/tmp/texts" << "/tmp/texts.dat";
    QTest::newRow("has one") << "/tmp/texts.DAT" << "/tmp/texts.DAT";
    QTest::newRow("other suffix kept") << "/tmp/texts.txt" << "/tmp/texts.txt";
    QTest::newRow("trailing dot") << "/tmp/texts." << "/tmp/texts.dat";
    QTest::newRow("dot in folder") << "/tmp/a.b/texts" << "/tmp/a.b/texts.dat";
    QTest::newRow("cancelled") << "" << "";
}

void TestUiKit::defaultSuffix()
{
    QFETCH(QString, chosen);
    QFETCH(QString, result);
    QCOMPARE(ui::withDefaultSuffix(chosen, QStringLiteral("dat")), result);
    // Through the hook, as the file dialog answers.
    const ui::FileDialogHook previous = ui::setFileDialogHook([&](const ui::FileRequest&) { return chosen; });
    ui::FileRequest r;
    r.defaultSuffix = QStringLiteral("dat");
    QCOMPARE(ui::chooseFile(nullptr, r), result);
    ui::setFileDialogHook(previous);
}

QTEST_MAIN(TestUiKit)
#include "tst_ui_kit.moc"
