// The readings monitor window driven through its controls, with the link
// talking to a scripted port.

#include "answers.h"
#include "reader_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using readertest::ReadingsAnswer;
using reader::Main_Reader;

namespace {

const QByteArray kFrame = QByteArrayLiteral(":1;423;c;\r\n");
const QColor kYellow(255, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

// A program folder, a window and the scripted port it talks to.
struct Rig : testsupport::ScriptedRig<Main_Reader> {
    // Not loaded yet: start() loads and shows it.
    explicit Rig(const QString& devDat = QString()) : ScriptedRig(devDat, false) { w->setPauses(10, 10); }

    void click() { QTest::mouseClick(w->Read, Qt::LeftButton); }
    bool reading() const { return w->Read->text() == QStringLiteral("Остановить чтение"); }

    // Answers the next cycles with these answers, reads until they have all
    // been shown, and stops from within the last cycle.
    void readAnswers(const QList<QByteArray>& answers)
    {
        for (const QByteArray& a : answers)
            port->reply(a);
        int done = 0;
        const int n = int(answers.size());
        auto c = QObject::connect(w.get(), &Main_Reader::cycleFinished, w.get(), [&] {
            if (++done == n)
                w->Read->click();
        });
        click();
        QTRY_COMPARE(done, n);
        QObject::disconnect(c);
        QVERIFY(!reading());
    }

};

QColor back(QTableWidget* g, int row, int col)
{
    return g->item(row, col)->background().color();
}

QColor fore(QTableWidget* g, int row, int col)
{
    return g->item(row, col)->foreground().color();
}

QColor labelBack(QLabel* l)
{
    return l->palette().color(QPalette::Window);
}

// "Y" yellow, "W" white, "R" red.
QColor colourOf(QChar c)
{
    return c == QLatin1Char('Y') ? kYellow : c == QLatin1Char('R') ? kRed : kWhite;
}

} // namespace

class TestMainReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void startupWithoutDevDat();
    void gridHeaders();
    void gridsFitTheirText();
    void startupSettings_data();
    void startupSettings();
    void startupFailureIsReported();

    void startAndStop();
    void pausesAfterSuccessAndFailure();
    void choicesTakeEffectAtNextStart();
    void typedAddress_data();
    void typedAddress();

    void discreteInputs_data();
    void discreteInputs();
    void bufferInputs_data();
    void bufferInputs();
    void relays_data();
    void relays();
    void channelField_data();
    void channelField();
    void mainsWarning();
    void failedCycleKeepsDisplay_data();
    void failedCycleKeepsDisplay();

    void stopDuringExchange();
    void restartDuringExchangeWaitsForIt();
    void closeDuringPause();
    void closeDuringExchange();
};

void TestMainReader::initTestCase()
{
    // The values are checked as a comma locale writes them.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestMainReader::startupWithoutDevDat()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    QCOMPARE(w.windowTitle(), QStringLiteral("Чтение показаний датчиков v0.1.13"));
    QCOMPARE(w.cmbPort->count(), 12);
    QCOMPARE(w.cmbPort->itemText(11), QStringLiteral("COM12"));
    QCOMPARE(w.cmbPort->currentText(), QStringLiteral("COM1"));
    QCOMPARE(w.cmbSpeed->count(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w.cmbSpeed->itemText(i), QStringLiteral("4800,n,8,2"));
    QCOMPARE(w.cmbSpeed->currentIndex(), 4);
    QCOMPARE(w.cbNetAdrr->count(), 256);
    QCOMPARE(w.cbNetAdrr->itemText(255), QStringLiteral("255"));
    QCOMPARE(w.cbNetAdrr->currentText(), QStringLiteral("1"));
    QCOMPARE(int(w.dev()->Number), 1);
    QCOMPARE(w.dev()->Settings, QStringLiteral("4800,n,8,2"));
    QCOMPARE(int(w.dev()->bNetAdrr), 1);
    QVERIFY(!w.lError->isVisible());
    QVERIFY(!rig.reading());
    QVERIFY(rig.port->written.isEmpty());
    QCOMPARE(w.size(), QSize(789, 293));
    QVERIFY(rig.messages.messages().isEmpty());
}

void TestMainReader::gridHeaders()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    for (int k = 1; k <= 6; ++k) {
        const int first = 5 * k - 4;
        QCOMPARE(w.Greed->columnSpan(0, first), 5);
        for (int c = first; c <= 5 * k; ++c)
            QCOMPARE(w.Greed->item(0, c)->text(), QStringLiteral("Канал %1").arg(k));
        // The four state columns are equal and narrow beside the value column.
        QVERIFY2(w.Greed->columnWidth(first) > 3 * w.Greed->columnWidth(first + 1),
                 qPrintable(QStringLiteral("%1 %2").arg(w.Greed->columnWidth(first)).arg(w.Greed->columnWidth(first + 1))));
    }
    QCOMPARE(w.Greed->item(2, 0)->text(), QStringLiteral("Модуль 2"));
    QCOMPARE(w.fgDiscr->item(0, 4)->text(), QStringLiteral("4"));
    QCOMPARE(w.fgDiscr->item(1, 0)->text(), QStringLiteral("Дискретные входы"));
    QCOMPARE(w.fgContactsState->item(0, 16)->text(), QStringLiteral("16"));
    QCOMPARE(w.fgCommonContacts->item(0, 1)->text(), QStringLiteral("Обрыв датчика"));
    QCOMPARE(w.fgCommonContacts->item(1, 0)->text(), QStringLiteral("Состояние реле"));
    // Header cells look like buttons; data cells start white.
    QCOMPARE(back(w.fgDiscr, 0, 1), w.palette().color(QPalette::Button));
    QCOMPARE(back(w.fgDiscr, 1, 1), kWhite);
}

void TestMainReader::gridsFitTheirText()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    for (QTableWidget* g : {w.Greed, w.fgDiscr, w.fgContactsState, w.fgCommonContacts}) {
        int width = 0;
        for (int c = 0; c < g->columnCount(); ++c)
            width += g->columnWidth(c);
        int height = 0;
        for (int r = 0; r < g->rowCount(); ++r)
            height += g->rowHeight(r);
        QVERIFY2(width <= g->viewport()->width(), qPrintable(g->objectName()));
        QVERIFY2(height <= g->viewport()->height(), qPrintable(g->objectName()));

        const QFontMetrics fm(g->font());
        for (int r = 0; r < g->rowCount(); ++r)
            for (int c = 0; c < g->columnCount(); c += g->columnSpan(r, c)) {
                // A merged cell shows the text of its first column over all of them.
                int cellWidth = 0;
                for (int s = 0; s < g->columnSpan(r, c); ++s)
                    cellWidth += g->columnWidth(c + s);
                const QString text = g->item(r, c)->text();
                // The view keeps a margin of three pixels on either side of the text.
                QVERIFY2(fm.horizontalAdvance(text) + 6 <= cellWidth,
                         qPrintable(QStringLiteral("%1 (%2,%3) \"%4\"").arg(g->objectName()).arg(r).arg(c).arg(text)));
            }
    }
    // Single-line captions fit their labels.
    for (QLabel* l : w.findChildren<QLabel*>()) {
        if (!l->wordWrap())
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->text()));
    }
    for (QPushButton* b : w.findChildren<QPushButton*>())
        QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->text()));
}

void TestMainReader::startupSettings_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("speeds");
    QTest::addColumn<int>("speedIndex");
    QTest::addColumn<QString>("reason");   // in the start-up notice; empty = none

    const QString three = QStringLiteral("[PROGS]\nNofSettings=3\nSet1=9600,N,8,1\nSet2=19200,N,8,2\nSet3=2400,E,7,1\n");
    const QStringList threeSpeeds = {QStringLiteral("9600,N,8,1"), QStringLiteral("19200,N,8,2"),
                                     QStringLiteral("2400,E,7,1")};
    const QStringList eight(8, QStringLiteral("4800,n,8,2"));

    QTest::newRow("chosen in dev.dat") << three + QStringLiteral("SettingsIndex=2\n[COMport]\nnumber=3\n") << 3
                                       << threeSpeeds << 2 << QString();
    QTest::newRow("port 12") << QStringLiteral("[COMport]\nnumber=12\n") << 12 << eight << 4 << QString();
    QTest::newRow("port 13") << QStringLiteral("[COMport]\nnumber=13\n") << 1 << eight << 4 << QStringLiteral("COM13");
    QTest::newRow("port 0") << QStringLiteral("[COMport]\nnumber=0\n") << 1 << eight << 4 << QStringLiteral("COM0");
    QTest::newRow("index past the list") << three + QStringLiteral("SettingsIndex=3\n") << 1 << threeSpeeds << 0
                                         << QStringLiteral("SettingsIndex");
    QTest::newRow("negative index") << three + QStringLiteral("SettingsIndex=-1\n") << 1 << threeSpeeds << 0
                                    << QStringLiteral("SettingsIndex");
    QTest::newRow("index not a number") << three + QStringLiteral("SettingsIndex=x\n") << 1 << threeSpeeds << 0
                                        << QStringLiteral("SettingsIndex");
    QTest::newRow("count not a number") << QStringLiteral("[PROGS]\nNofSettings=many\nSettingsIndex=0\n") << 1 << eight
                                        << 0 << QStringLiteral("NofSettings");
}

void TestMainReader::startupSettings()
{
    QFETCH(QString, devDat);
    QFETCH(int, port);
    QFETCH(QStringList, speeds);
    QFETCH(int, speedIndex);
    QFETCH(QString, reason);

    Rig rig(devDat);
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    QCOMPARE(w.cmbPort->currentIndex(), port - 1);
    QCOMPARE(int(w.dev()->Number), port);
    QStringList items;
    for (int i = 0; i < w.cmbSpeed->count(); ++i)
        items << w.cmbSpeed->itemText(i);
    QCOMPARE(items, speeds);
    QCOMPARE(w.cmbSpeed->currentIndex(), speedIndex);
    QCOMPARE(w.dev()->Settings, speeds[speedIndex]);
    // A problem of "dev.dat" is told once, in a notice at start; the error
    // label is for the exchanges.
    QVERIFY(!w.lError->isVisible());
    QCOMPARE(rig.messages.messages().size(), reason.isEmpty() ? 0 : 1);
    if (!reason.isEmpty()) {
        QVERIFY2(rig.messages.texts().first().contains(reason), qPrintable(rig.messages.texts().first()));
        QVERIFY(!rig.messages.texts().first().startsWith(QStringLiteral("Ошибка")));
    }
}

void TestMainReader::startupFailureIsReported()
{
    Rig rig(QStringLiteral("[SETTINGS]\nTimeOut=soon\n"));
    QVERIFY(!rig.w->Form_Load());
    QCOMPARE(rig.messages.messages().size(), 1);
    QCOMPARE(rig.messages.messages().first().icon, QMessageBox::Critical);
    QVERIFY(rig.messages.texts().first().contains(QStringLiteral("TimeOut")));
}

void TestMainReader::startAndStop()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    rig.port->reply(ReadingsAnswer().bytes());
    rig.port->reply(ReadingsAnswer().bytes());
    rig.port->reply(ReadingsAnswer().bytes());
    // After the third cycle the next one is put far off, so the stop below
    // comes while the pause runs.
    connect(&w, &Main_Reader::cycleFinished, &w, [&] {
        if (cycles.size() == 3)
            w.setPauses(60000, 60000);
    });
    rig.click();
    QCOMPARE(w.Read->text(), QStringLiteral("Остановить чтение"));
    for (QWidget* c : {static_cast<QWidget*>(w.cmbPort), static_cast<QWidget*>(w.cmbSpeed),
                       static_cast<QWidget*>(w.cbNetAdrr), static_cast<QWidget*>(w.Command1)})
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QVERIFY(w.Read->isEnabled());
    QCOMPARE(int(w.dev()->NofRereadings), 0);

    QTRY_COMPARE(cycles.size(), 3);
    QCOMPARE(cycles.at(2).at(0).toBool(), true);
    QCOMPARE(w.pendingPauseMs(), 60000);
    w.setPauses(10, 10);
    rig.click();
    QCOMPARE(w.Read->text(), QStringLiteral("Начать чтение"));
    for (QWidget* c : {static_cast<QWidget*>(w.cmbPort), static_cast<QWidget*>(w.cmbSpeed),
                       static_cast<QWidget*>(w.cbNetAdrr), static_cast<QWidget*>(w.Command1)})
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    QCOMPARE(w.pendingPauseMs(), -1);

    // Cycles come every 10 ms while reading; after the stop none follows.
    QVERIFY(!cycles.wait(300));
    QCOMPARE(rig.port->written, QList<QByteArray>(3, kFrame));
    QCOMPARE(rig.port->opens, 3);
    QCOMPARE(rig.port->closes, 3);
}

void TestMainReader::pausesAfterSuccessAndFailure()
{
    Rig rig;
    rig.w->setPauses(1000, 2000);
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    rig.port->reply(ReadingsAnswer().bytes());
    rig.port->silence();
    rig.click();
    QCOMPARE(cycles.size(), 1);
    QCOMPARE(w.pendingPauseMs(), 1000);
    QVERIFY(cycles.wait(3000));
    QCOMPARE(cycles.at(1).at(0).toBool(), false);
    QCOMPARE(w.pendingPauseMs(), 2000);
    // One attempt per cycle, even when it fails.
    QCOMPARE(rig.port->written.size(), 2);
    rig.click();
    QCOMPARE(w.pendingPauseMs(), -1);
}

void TestMainReader::choicesTakeEffectAtNextStart()
{
    Rig rig(QStringLiteral("[PROGS]\nNofSettings=2\nSet1=9600,N,8,1\nSet2=19200,E,7,2\nSettingsIndex=0\n"
                           "[PORTS]\nCOM3=/tmp/no-such-tty-3\n"));
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    rig.readAnswers({ReadingsAnswer().bytes()});
    QCOMPARE(rig.port->lastSettings.baud, 9600);

    w.cmbPort->setCurrentIndex(2);
    w.cmbSpeed->setCurrentIndex(1);
    w.cbNetAdrr->setCurrentIndex(7);
    QCOMPARE(rig.port->written.size(), 1);   // nothing goes out while idle

    rig.readAnswers({ReadingsAnswer().bytes()});
    QCOMPARE(rig.port->written.last(), QByteArrayLiteral(":7;423;c;\r\n"));
    QCOMPARE(rig.port->lastPath, QStringLiteral("/tmp/no-such-tty-3"));
    QCOMPARE(rig.port->lastSettings.baud, 19200);
    QCOMPARE(rig.port->lastSettings.parity, 'E');
    QCOMPARE(rig.port->lastSettings.dataBits, 7);
}

void TestMainReader::typedAddress_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byKeys");   // key by key, or pasted whole
    QTest::addColumn<int>("address");

    QTest::newRow("7") << QStringLiteral("7") << false << 7;
    QTest::newRow("255") << QStringLiteral("255") << false << 255;
    QTest::newRow("0") << QStringLiteral("0") << false << 0;
    QTest::newRow("leading zeros") << QStringLiteral("012") << false << 12;
    QTest::newRow("256 keeps") << QStringLiteral("256") << false << 1;
    QTest::newRow("negative keeps") << QStringLiteral("-3") << false << 1;
    QTest::newRow("fraction keeps") << QStringLiteral("3.5") << false << 1;
    QTest::newRow("letters keep") << QStringLiteral("abc") << false << 1;
    QTest::newRow("empty keeps") << QString() << false << 1;
    // Typed key by key, every whole number on the way is an address.
    QTest::newRow("keys 200") << QStringLiteral("200") << true << 200;
    QTest::newRow("keys 256 stops at 25") << QStringLiteral("256") << true << 25;
    QTest::newRow("keys 3.5 stops at 3") << QStringLiteral("3.5") << true << 3;
    QTest::newRow("keys x9") << QStringLiteral("x9") << true << 1;
}

void TestMainReader::typedAddress()
{
    QFETCH(QString, typed);
    QFETCH(bool, byKeys);
    QFETCH(int, address);

    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    if (byKeys) {
        w.cbNetAdrr->lineEdit()->clear();
        QTest::keyClicks(w.cbNetAdrr->lineEdit(), typed);
    } else {
        w.cbNetAdrr->setEditText(typed);
    }
    QCOMPARE(w.cbNetAdrr->currentText(), typed);
    QCOMPARE(int(w.dev()->bNetAdrr), address);
    QCOMPARE(w.cbNetAdrr->count(), 256);

    // Leaving the box shows the address in force.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w.cbNetAdrr, &out);
    QCOMPARE(w.cbNetAdrr->currentText(), QString::number(address));
    QCOMPARE(int(w.dev()->bNetAdrr), address);

    rig.readAnswers({ReadingsAnswer().bytes()});
    QCOMPARE(rig.port->written.last(), QStringLiteral(":%1;423;c;\r\n").arg(address).toLatin1());
}

void TestMainReader::discreteInputs_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("inputs");   // inputs 1..4

    QTest::newRow("0F") << QStringLiteral("0F") << QStringLiteral("YYYY");
    QTest::newRow("08") << QStringLiteral("08") << QStringLiteral("WWWY");
    QTest::newRow("05") << QStringLiteral("05") << QStringLiteral("YWYW");
    QTest::newRow("00") << QStringLiteral("00") << QStringLiteral("WWWW");
    QTest::newRow("high bits belong to no input") << QStringLiteral("10") << QStringLiteral("WWWW");
    QTest::newRow("high and low bits") << QStringLiteral("F3") << QStringLiteral("YYWW");
}

void TestMainReader::discreteInputs()
{
    QFETCH(QString, digits);
    QFETCH(QString, inputs);

    Rig rig;
    QVERIFY(rig.start());
    ReadingsAnswer before;
    before.discrete = digits == QLatin1String("0F") ? QStringLiteral("00") : QStringLiteral("0F");
    ReadingsAnswer now;
    now.discrete = digits;
    rig.readAnswers({before.bytes(), now.bytes()});

    for (int i = 0; i < 4; ++i)
        QCOMPARE(back(rig.w->fgDiscr, 1, i + 1), colourOf(inputs[i]));
}

void TestMainReader::bufferInputs_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<bool>("first");
    QTest::addColumn<bool>("second");

    QTest::newRow("03") << QStringLiteral("03") << true << true;
    QTest::newRow("FC") << QStringLiteral("FC") << false << false;
    QTest::newRow("01") << QStringLiteral("01") << true << false;
    QTest::newRow("FE") << QStringLiteral("FE") << false << true;
}

void TestMainReader::bufferInputs()
{
    QFETCH(QString, digits);
    QFETCH(bool, first);
    QFETCH(bool, second);

    Rig rig;
    QVERIFY(rig.start());
    ReadingsAnswer before;
    before.buffers = first && second ? QStringLiteral("00") : QStringLiteral("03");
    ReadingsAnswer now;
    now.buffers = digits;
    rig.readAnswers({before.bytes(), now.bytes()});

    const QColor face = rig.w->palette().color(QPalette::Button);
    const std::pair<QLabel*, bool> labels[] = {{rig.w->lBuf1State, first}, {rig.w->lBuf2State, second}};
    for (const auto& [label, on] : labels) {
        QCOMPARE(label->text(), on ? QStringLiteral("Внешний сигнал управления присутствует")
                                   : QStringLiteral("Внешний сигнал управления отсутствует"));
        QCOMPARE(labelBack(label), on ? kYellow : face);
    }
}

void TestMainReader::relays_data()
{
    QTest::addColumn<QString>("high");     // relays 9..16
    QTest::addColumn<QString>("low");      // relays 1..8
    QTest::addColumn<QString>("relays");   // relays 1..16
    QTest::addColumn<QString>("common");   // break, first setpoint, second setpoint

    QTest::newRow("relay 1") << "00" << "01" << "YWWWWWWWWWWWWWWW" << "WWW";
    QTest::newRow("relay 8") << "00" << "80" << "WWWWWWWYWWWWWWWW" << "WWW";
    QTest::newRow("relay 9") << "01" << "00" << "WWWWWWWWYWWWWWWW" << "WWW";
    QTest::newRow("relay 16 is the break relay") << "80" << "00" << "WWWWWWWWWWWWWWWY" << "YWW";
    QTest::newRow("relay 14 is the first setpoint relay") << "20" << "00" << "WWWWWWWWWWWWWYWW" << "WYW";
    QTest::newRow("relay 15 is the second setpoint relay") << "40" << "00" << "WWWWWWWWWWWWWWYW" << "WWY";
    QTest::newRow("mixed") << "A5" << "3C" << "WWYYYYWWYWYWWYWY" << "YYW";
}

void TestMainReader::relays()
{
    QFETCH(QString, high);
    QFETCH(QString, low);
    QFETCH(QString, relays);
    QFETCH(QString, common);

    Rig rig;
    QVERIFY(rig.start());
    ReadingsAnswer before;
    before.relaysHigh = QStringLiteral("FF");
    before.relaysLow = QStringLiteral("FF");
    ReadingsAnswer now;
    now.relaysHigh = high;
    now.relaysLow = low;
    rig.readAnswers({before.bytes(), now.bytes()});

    for (int i = 0; i < 16; ++i)
        QVERIFY2(back(rig.w->fgContactsState, 1, i + 1) == colourOf(relays[i]),
                 qPrintable(QStringLiteral("relay %1").arg(i + 1)));
    for (int c = 0; c < 3; ++c)
        QCOMPARE(back(rig.w->fgCommonContacts, 1, c + 1), colourOf(common[c]));
}

void TestMainReader::channelField_data()
{
    QTest::addColumn<int>("channel");      // 0..11: module 1 channels 1-6, then module 2
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("abnormal");
    QTest::addColumn<QString>("flags");    // first setpoint, second setpoint, sensor break

    QTest::newRow("10-5.5") << 0 << "10-5.5" << "-5,5" << true << "WWW";
    QTest::newRow("flag 7") << 11 << "0712.25" << "12,25" << false << "YYR";
    QTest::newRow("flag 1") << 4 << "01100" << "100" << false << "YWW";
    QTest::newRow("flag 2") << 5 << "020.125" << "0,125" << false << "WYW";
    QTest::newRow("state A, break") << 3 << "A42.0" << "2" << true << "WWR";
    QTest::newRow("flag not hex") << 6 << "0G3.5" << "3,5" << false << "WWW";
    QTest::newRow("flag 8 is no known flag") << 8 << "081" << "1" << false << "WWW";
    QTest::newRow("flag D") << 9 << "0D1e3" << "1000" << false << "YWR";
}

void TestMainReader::channelField()
{
    QFETCH(int, channel);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, abnormal);
    QFETCH(QString, flags);

    Rig rig;
    QVERIFY(rig.start());
    QCOMPARE(rig.w->dev()->sFloatingPointSeparator, QStringLiteral(","));
    // The cycle before shows everything the other way round.
    int expectedFlags = 0;
    for (int i = 0; i < 3; ++i)
        if (flags[i] != QLatin1Char('W'))
            expectedFlags |= 1 << i;
    ReadingsAnswer before;
    before.fields = QStringList(12, (abnormal ? QStringLiteral("0") : QStringLiteral("1"))
                                        + QString::number(7 & ~expectedFlags) + QStringLiteral("99.5"));
    ReadingsAnswer now;
    now.fields[channel] = field;
    rig.readAnswers({before.bytes(), now.bytes()});

    QTableWidget* g = rig.w->Greed;
    const int row = 1 + channel / 6;
    const int k = 1 + channel % 6;
    QCOMPARE(g->item(row, 5 * k - 4)->text(), value);
    QCOMPARE(g->item(row, 5 * k - 3)->text(), field.left(1));
    for (int col : {5 * k - 4, 5 * k - 3}) {
        QCOMPARE(back(g, row, col), abnormal ? kRed : kWhite);
        QCOMPARE(fore(g, row, col), abnormal ? kWhite : kBlack);
    }
    QCOMPARE(back(g, row, 5 * k - 2), colourOf(flags[0]));
    QCOMPARE(back(g, row, 5 * k - 1), colourOf(flags[1]));
    QCOMPARE(back(g, row, 5 * k), colourOf(flags[2]));

    // Its neighbours show their own fields.
    const int other = channel == 0 ? 1 : 0;
    QCOMPARE(g->item(1 + other / 6, 5 * (1 + other % 6) - 4)->text(), QStringLiteral("1,5"));
}

void TestMainReader::mainsWarning()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    QStringList warnings;   // what lError shows after each cycle; empty = hidden
    connect(&w, &Main_Reader::cycleFinished, &w,
            [&] { warnings << (w.lError->isVisible() ? w.lError->text() : QString()); });

    ReadingsAnswer noMains;
    noMains.mains = QStringLiteral("0");
    noMains.fields[2] = QStringLiteral("0042.5");
    ReadingsAnswer mains;
    ReadingsAnswer other = noMains;
    other.mains = QStringLiteral("2");
    rig.readAnswers({noMains.bytes(), mains.bytes(), other.bytes()});

    const QString warning = QStringLiteral("Сетевое питание отсутствует");
    QCOMPARE(warnings, QStringList({warning, QString(), warning}));
    QCOMPARE(w.lError->palette().color(QPalette::WindowText), kRed);
    // The values are shown all the same.
    QCOMPARE(w.Greed->item(1, 11)->text(), QStringLiteral("42,5"));
}

void TestMainReader::failedCycleKeepsDisplay_data()
{
    QTest::addColumn<QByteArray>("reply");     // empty = silence
    QTest::addColumn<QString>("openFailure");
    QTest::addColumn<QString>("message");      // lError starts with it

    QTest::newRow("silence") << QByteArray() << QString() << QStringLiteral("Прибор не отвечает");
    QTest::newRow("ERR") << QByteArrayLiteral("ERR\r\n") << QString() << QStringLiteral("Прибор выдает ошибку");
    QTest::newRow("bad group") << QByteArrayLiteral("!202601011XX000000000000;\r\n") << QString()
                               << QStringLiteral("Из прибора пришел ответ неправильного формата");
    QTest::newRow("port missing") << QByteArray() << QStringLiteral("нет такого устройства")
                                  << instrument::kSystemErrorPrefix;
}

void TestMainReader::failedCycleKeepsDisplay()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, openFailure);
    QFETCH(QString, message);

    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;

    ReadingsAnswer good;
    good.discrete = QStringLiteral("0F");
    good.buffers = QStringLiteral("01");
    good.relaysLow = QStringLiteral("01");
    good.fields[0] = QStringLiteral("1712.5");
    rig.port->reply(good.bytes());
    if (reply.isEmpty())
        rig.port->silence();
    else
        rig.port->reply(reply);

    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);
    rig.click();
    QCOMPARE(cycles.size(), 1);
    rig.port->openFailure = openFailure;
    QVERIFY(cycles.wait());
    rig.click();
    QCOMPARE(cycles.at(1).at(0).toBool(), false);

    QVERIFY(w.lError->isVisible());
    QVERIFY2(w.lError->text().startsWith(message), qPrintable(w.lError->text()));
    QCOMPARE(w.lError->text(), w.dev()->sErrorMsg);
    // What the good answer showed stays.
    QCOMPARE(back(w.fgDiscr, 1, 4), kYellow);
    QCOMPARE(w.lBuf1State->text(), QStringLiteral("Внешний сигнал управления присутствует"));
    QCOMPARE(back(w.fgContactsState, 1, 1), kYellow);
    QCOMPARE(w.Greed->item(1, 1)->text(), QStringLiteral("12,5"));
    QCOMPARE(back(w.Greed, 1, 1), kRed);
    QCOMPARE(back(w.Greed, 1, 5), kRed);
}

void TestMainReader::stopDuringExchange()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    ReadingsAnswer a;
    a.discrete = QStringLiteral("08");
    rig.port->reply(a.bytes(), 500);   // the answer takes half a second
    bool clickedInExchange = false;
    QTimer::singleShot(0, &w, [&] {
        clickedInExchange = w.isExchanging();
        rig.click();
    });
    rig.click();

    QVERIFY(clickedInExchange);
    QCOMPARE(w.Read->text(), QStringLiteral("Начать чтение"));
    QVERIFY(w.cmbPort->isEnabled());
    // The cycle that was running finishes and shows its answer; no other follows.
    QCOMPARE(cycles.size(), 1);
    QCOMPARE(back(w.fgDiscr, 1, 4), kYellow);
    QCOMPARE(w.pendingPauseMs(), -1);
    QVERIFY(!cycles.wait(300));
    QCOMPARE(rig.port->written.size(), 1);
}

void TestMainReader::restartDuringExchangeWaitsForIt()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    rig.port->reply(ReadingsAnswer().bytes(), 500);
    rig.port->reply(ReadingsAnswer().bytes());
    int framesAtRestart = -1;
    QTimer::singleShot(0, &w, [&] {
        rig.click();   // stop
        rig.click();   // and start again while the first answer is awaited
        framesAtRestart = int(rig.port->written.size());
    });
    rig.click();

    // The restart made no exchange of its own inside the running one.
    QCOMPARE(framesAtRestart, 1);
    QVERIFY(rig.reading());
    QCOMPARE(cycles.size(), 1);
    QVERIFY(w.pendingPauseMs() >= 0);
    QVERIFY(cycles.wait());
    rig.click();
    QCOMPARE(rig.port->written.size(), 2);
}

void TestMainReader::closeDuringPause()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    w.setPauses(200, 200);
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    rig.port->reply(ReadingsAnswer().bytes());
    rig.click();
    QCOMPARE(cycles.size(), 1);
    QVERIFY(w.pendingPauseMs() > 0);
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.pendingPauseMs(), -1);
    QVERIFY(!cycles.wait(500));
    QCOMPARE(rig.port->written.size(), 1);
}

void TestMainReader::closeDuringExchange()
{
    Rig rig;
    QVERIFY(rig.start());
    Main_Reader& w = *rig.w;
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    rig.port->reply(ReadingsAnswer().bytes(), 500);
    bool closedInExchange = false;
    bool closeAccepted = true;
    QTimer::singleShot(0, &w, [&] {
        closedInExchange = w.isExchanging();
        closeAccepted = w.close();
    });
    rig.click();

    QVERIFY(closedInExchange);
    QVERIFY(!closeAccepted);        // not while the link waits ...
    QVERIFY(!w.isVisible());        // ... but as soon as the exchange is back
    QCOMPARE(w.pendingPauseMs(), -1);
    QVERIFY(!cycles.wait(300));
    QCOMPARE(rig.port->written.size(), 1);
    // The exchange was completed and logged before the link closed its log.
    const QString log = QString::fromLatin1(rig.folder.readFile(QStringLiteral("COM.log")));
    QVERIFY2(log.contains(QStringLiteral("Command:  :1;423;c;")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("Answer:  !")), qPrintable(log));
}

QTEST_MAIN(TestMainReader)
#include "tst_reader_window.moc"
