// The set-up window against the instrument simulator on a pseudo-terminal:
// the link test, the read and write pairs as the instrument receives them,
// a whole commissioning run to a new speed and network number, and the
// search for an instrument whose speed and number are not known.

#include "commission_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <memory>

using commission::Main;

namespace {

// The simulator serving COM1 of a program folder for one test, with the
// instrument's memory in a state file of that folder, and the window.
struct Rig : testsupport::SimRig<Main> {
    explicit Rig(const QStringList& options = {}, const QString& state = QString(),
                 const QString& devDat = QString())
        : SimRig(options, state, extra(devDat))
    {
    }
    static testsupport::SimDevDat extra(const QString& devDat)
    {
        testsupport::SimDevDat settings;
        settings.extra = devDat;
        return settings;
    }
    void click(const QString& name) { testsupport::click(w.get(), name); }
};

} // namespace

class TestCommissionSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void linkTest_data();
    void linkTest();
    void speedRead_data();
    void speedRead();
    void writePairs_data();
    void writePairs();
    void failedFirstWriteStopsThePair_data();
    void failedFirstWriteStopsThePair();
    void commissioningRun();
    void find_data();
    void find();
};

void TestCommissionSim::initTestCase()
{
    QVERIFY2(QFile::exists(testsupport::SimProcess::executable()), "no simulator to test against");
}

void TestCommissionSim::linkTest_data()
{
    QTest::addColumn<QString>("simAddress");
    QTest::addColumn<bool>("reached");
    QTest::newRow("instrument at 17") << "17" << true;
    QTest::newRow("instrument at 1") << "1" << false;
}

void TestCommissionSim::linkTest()
{
    QFETCH(QString, simAddress);
    QFETCH(bool, reached);
    Rig rig({"--address", simAddress});
    QVERIFY(rig.start());
    rig.w->RealNetAdrr->setCurrentIndex(17);
    rig.click("cmdTest");

    QCOMPARE(rig.receivedFrames(), QStringList{":17;0;"});
    QCOMPARE(rig.messages.texts(), QStringList{reached ? QStringLiteral("Связь с прибором установлена")
                                                      : QStringLiteral("Не удалось связаться с прибором")});
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Настройка прибора v3.0.20"));
}

void TestCommissionSim::speedRead_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shown");
    QTest::newRow("byte 48 (72)") << "48" << "4800,N,8,2";
    QTest::newRow("byte 96 (150)") << "96" << "9600,N,8,2";
    QTest::newRow("byte 0") << "0" << "4800,N,8,2";
    QTest::newRow("byte 57 (87)") << "57" << "57600,N,8,2";
}

void TestCommissionSim::speedRead()
{
    QFETCH(QString, code);
    QFETCH(QString, shown);
    Rig rig({}, "instrument\nint 1 " + code + "\n");
    QVERIFY(rig.start());
    rig.w->ComSettings->setCurrentIndex(0);
    rig.click("SRead");

    QCOMPARE(rig.receivedFrames(), QStringList{":1;14;1;"});
    QCOMPARE(rig.w->ComSettings->currentText(), shown);
    QVERIFY(rig.messages.messages().isEmpty());
}

void TestCommissionSim::writePairs_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("choice"); // an item, or typed text that is none
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("stored"); // the instrument's memory afterwards
    QTest::newRow("speed 19200") << "SWrite" << "ComSettings" << "19200,N,8,2"
                                 << QStringList{":1;5;1;19;", ":1;6;1;", ":1;13;1;19;", ":1;14;1;"} << "int 1 19";
    QTest::newRow("network 200") << "NWrite" << "NetAdrr" << "200"
                                 << QStringList{":1;31;1;C8;", ":1;32;1;", ":1;29;1;C8;", ":1;30;1;"} << "cpu 1 c8";
    QTest::newRow("network typed") << "NWrite" << "NetAdrr" << "abc"
                                   << QStringList{":1;31;1;1;", ":1;32;1;", ":1;29;1;1;", ":1;30;1;"} << "cpu 1 1";
    QTest::newRow("channels typed") << "CWrite" << "AmOfCh" << "all"
                                    << QStringList{":1;5;2;C;", ":1;6;2;", ":1;13;2;C;", ":1;14;2;"} << "int 2 c";
}

void TestCommissionSim::writePairs()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, choice);
    QFETCH(QStringList, frames);
    QFETCH(QString, stored);
    // The speed code lives at address 1 whatever SPD_EXC says.
    Rig rig({}, QString(), "[CPU]\nSPD_EXC=&H7F\n");
    QVERIFY(rig.start());
    auto* combo = rig.w->findChild<QComboBox*>(box);
    const int item = combo->findText(choice);
    if (item >= 0)
        combo->setCurrentIndex(item);
    else
        testsupport::typeInto(combo, choice);
    rig.click(button);

    QCOMPARE(rig.messages.texts(), QStringList());
    QCOMPARE(rig.receivedFrames(), frames);
    QVERIFY2(rig.state().contains(stored), qPrintable(stored));
}

void TestCommissionSim::failedFirstWriteStopsThePair_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("frame");
    QTest::newRow("speed") << "SWrite" << "err:cmd=5" << ":1;5;1;48;";
    QTest::newRow("network") << "NWrite" << "silence:cmd=31" << ":1;31;1;0;";
    QTest::newRow("channels") << "CWrite" << "err:cmd=5" << ":1;5;2;1;";
}

void TestCommissionSim::failedFirstWriteStopsThePair()
{
    QFETCH(QString, button);
    QFETCH(QString, fault);
    QFETCH(QString, frame);
    Rig rig({"--fault", fault});
    QVERIFY(rig.start());
    rig.click(button);

    // Three attempts of the first write, then the message; no second write.
    QCOMPARE(rig.receivedFrames(), QStringList(3, frame));
    QCOMPARE(rig.messages.messages().size(), 1);
    QVERIFY(rig.messages.texts().first().startsWith(QStringLiteral("Ошибка: Прибор ")));
    QVERIFY(rig.w->cmdTest->isEnabled());
}

void TestCommissionSim::commissioningRun()
{
    Rig rig({}, "instrument\nint 2 8\n");
    QVERIFY(rig.start());
    Main* w = rig.w.get();

    // At the factory settings: address 1, 4800.
    rig.click("cmdTest");
    QCOMPARE(rig.messages.texts(), QStringList{"Связь с прибором установлена"});

    // Write 9600 and network number 5 while the PC still uses the old ones.
    w->ComSettings->setCurrentIndex(w->ComSettings->findText("9600,N,8,2"));
    rig.click("SWrite");
    w->NetAdrr->setCurrentIndex(5);
    rig.click("NWrite");
    QCOMPARE(rig.messages.texts().size(), 1);

    rig.click("Reload");
    QCOMPARE(w->RealSettings->currentText(), QStringLiteral("9600,N,8,2"));
    QCOMPARE(w->RealNetAdrr->currentText(), QStringLiteral("5"));

    // The instrument now answers at the new settings.
    w->AmOfCh->setCurrentIndex(0);
    rig.click("CRead");
    QCOMPARE(w->AmOfCh->currentText(), QStringLiteral("8"));
    QCOMPARE(rig.messages.texts().size(), 1);
    QCOMPARE(rig.receivedFrames().last(), QStringLiteral(":5;14;2;"));

    // And no longer at the old address.
    w->RealNetAdrr->setCurrentIndex(1);
    rig.click("cmdTest");
    QCOMPARE(rig.messages.texts().last(), QStringLiteral("Не удалось связаться с прибором"));
    w->RealNetAdrr->setCurrentIndex(5);

    // Closing keeps the new settings for the other programs.
    QVERIFY(w->close());
    QCOMPARE(w->dev()->sGetINI("COMport", "settings", "?"), QStringLiteral("9600,N,8,2"));
    QCOMPARE(w->dev()->sGetINI("DEVICE", "NetAdrr", "?"), QStringLiteral("5"));
    const QStringList state = rig.state();
    QVERIFY(state.contains("address 5"));
    QVERIFY(state.contains("baud 9600"));
}

void TestCommissionSim::find_data()
{
    QTest::addColumn<QStringList>("settings"); // the speeds searched over 16-18; none: the whole search from 19200
    QTest::addColumn<int>("endAt"); // 1: Stop during the second try, 2: the window closed then
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown"); // RealSettings and RealNetAdrr afterwards
    const QStringList s48{"4800,N,8,2"}, f16f17{":16;0;", ":17;0;"}, f16to18 = f16f17 + QStringList{":18;0;"};
    const QString found = "Прибор найден: скорость 19200, сетевой номер 17";
    QTest::newRow("found at the second speed") << s48 + QStringList{"19200,N,8,2"} << 0 << f16to18 + f16f17
                                               << found << "19200,N,8,2 17";
    QTest::newRow("not found") << s48 << 0 << f16to18
                               << "Прибор не найден: он не ответил ни на одной скорости и ни на одном сетевом номере "
                                  "(скорости 4800; сетевые номера 16–18; попыток: 3). Проверьте порт, кабель и питание прибора."
                               << "4800,N,8,2 1";
    QTest::newRow("whole: the number shown, then the kept one")
        << QStringList() << 0 << QStringList{":1;0;", ":17;0;"} << found << "19200,N,8,2 17";
    QTest::newRow("Stop") << s48 << 1 << f16f17
                          << "Поиск остановлен (попыток: 2 из 3): прибор не найден, настройки не изменены" << "4800,N,8,2 1";
    QTest::newRow("close") << s48 << 2 << f16f17 << QString() << "4800,N,8,2 1";
}

void TestCommissionSim::find()
{
    QFETCH(QStringList, settings);
    QFETCH(int, endAt);
    QFETCH(QStringList, frames);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    Rig rig({}, "instrument\naddress 17\nbaud 19200\n");
    QVERIFY(rig.start());
    Main* w = rig.w.get();
    QVERIFY(w->dev()->sWriteINI("DEVICE", "NetAdrr", "17"));
    settings.isEmpty() ? w->RealSettings->setCurrentIndex(6) : w->setFindTries(scan::tryOrder(settings, {16, 17, 18}, {}, {}));
    QObject::connect(w->pbFind, &QProgressBar::valueChanged, w, [&](int tried) {
        if (tried == 1 && endAt > 0)
            QTimer::singleShot(0, w, [&] { endAt == 1 ? rig.click("cmdStop") : (void)w->close(); });
    });
    rig.click("cmdFind");

    QCOMPARE(rig.receivedFrames(), frames);
    QCOMPARE(rig.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(w->RealSettings->currentText() + ' ' + w->RealNetAdrr->currentText(), shown);
    QCOMPARE(w->isVisible(), endAt != 2);
    QVERIFY(!w->cmdStop->isEnabled());
    if (shown.endsWith(" 17")) {
        rig.click("cmdTest");
        QCOMPARE(rig.messages.texts().last(), QStringLiteral("Связь с прибором установлена"));
    }
}

QTEST_MAIN(TestCommissionSim)
#include "tst_commission_sim.moc"
