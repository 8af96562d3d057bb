// The sensor input window against the instrument simulator on a
// pseudo-terminal: the frames the module receives, what it holds afterwards,
// and the failures of a misbehaving line.

#include "inputs_window.h"
#include "numbers.h"
#include "statusbar.h"
#include "windowrig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using inputs::frmMain;
using Rig = testsupport::SimRig<frmMain>;

namespace {

// A module with nothing set: the simulator keeps its memory in the state file.
const QString kEmpty = QStringLiteral("instrument\n");

// Module 0, channel 1 with every parameter set, and channel 3's sensor broken.
const QString kChannel1 = QStringLiteral(
    "instrument\n"
    "mreal 0 20 150\nmreal 0 8 -50\nmint 0 e6 1f\nmint 0 0 8\nmint 0 e0 3\nmreal 0 ec 0.5\nmreal 0 b0 1.25\n"
    "broken 3\n");

} // namespace

class TestInputsSim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readChannel1();
    void writeChannel6InFourCopies();
    void secondModule();
    void measuredValue_data();
    void measuredValue();
    void converterRestart();
    void readFailures_data();
    void readFailures();
    void writeFailures_data();
    void writeFailures();
    void secondModuleWithoutAddresses();
    void unpluggedLine();
};

void TestInputsSim::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QVERIFY2(QFile::exists(testsupport::SimProcess::executable()), "no simulator to test against");
}

void TestInputsSim::readChannel1()
{
    Rig rig({}, kChannel1);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QCOMPARE(rig.receivedFrames(), (QStringList{":1;28;0;20;", ":1;28;0;8;", ":1;20;0;E6;", ":1;20;0;0;",
                                                    ":1;20;0;E0;", ":1;28;0;EC;", ":1;28;0;B0;"}));
    QVERIFY(rig.messages.texts().isEmpty());
    QCOMPARE(w.DiapMax->text(), QStringLiteral("150"));
    QCOMPARE(w.DiapMin->text(), QStringLiteral("-50"));
    QCOMPARE(w.Flags->text(), QStringLiteral("1F"));
    QCOMPARE(w.Sensors->currentIndex(), 8);
    QCOMPARE(w.SensorsId->text(), QStringLiteral("8"));
    QCOMPARE(w.Wired->currentText(), QStringLiteral("3"));
    QCOMPARE(w.Bias->text(), QStringLiteral("0,5"));
    QCOMPARE(w.tbRl->text(), QStringLiteral("1,25"));

    // Written back unchanged, the module holds what it held.
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    const QStringList state = rig.state();
    for (const char* line : {"mreal 0 20 150", "mreal 0 8 -50", "mint 0 e6 1f", "mint 0 0 8", "mint 0 e0 3",
                                "mreal 0 ec 0.5", "mreal 0 b0 1.25", "mint 0 2e6 1f", "mreal 0 6b0 1.25"})
        QVERIFY2(state.contains(QLatin1String(line)), line);
}

void TestInputsSim::writeChannel6InFourCopies()
{
    Rig rig({}, kEmpty);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    w.ChNum->setCurrentIndex(5);
    testsupport::typeInto(w.DiapMax, QStringLiteral("400"));
    testsupport::typeInto(w.DiapMin, QStringLiteral("-40"));
    testsupport::typeInto(w.Flags, QStringLiteral("a5"));
    w.Sensors->setCurrentIndex(19);
    testsupport::typeInto(w.Wired, QStringLiteral("4"));
    testsupport::typeInto(w.Bias, QStringLiteral("-1,5"));
    w.tbRl->clear();
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY2(rig.messages.texts().isEmpty(), qPrintable(rig.messages.texts().join('\n')));

    const QStringList received = rig.receivedFrames();
    // The offset of channel 6 at 100 and its copies at 300, 500 and 700.
    for (const char* f : {":1;27;0;100;-0.15e1;", ":1;27;0;300;-0.15e1;", ":1;27;0;500;-0.15e1;",
                             ":1;27;0;700;-0.15e1;"})
        QVERIFY2(received.contains(QLatin1String(f)), f);
    // The empty line resistance is left out.
    for (const QString& f : received)
        QVERIFY2(!f.contains(QLatin1String(";C4;")), qPrintable(f));

    const QStringList state = rig.state();
    for (int copy = 0; copy < 4; ++copy) {
        const int o = 512 * copy;
        auto hex = [o](int a) { return QString::number(a + o, 16); };
        for (const QString& line : {QStringLiteral("mreal 0 %1 400").arg(hex(0x34)),
                                    QStringLiteral("mreal 0 %1 -40").arg(hex(0x1C)),
                                    QStringLiteral("mint 0 %1 a5").arg(hex(0xEB)),
                                    QStringLiteral("mint 0 %1 13").arg(hex(0x05)),
                                    QStringLiteral("mint 0 %1 4").arg(hex(0xE5)),
                                    QStringLiteral("mreal 0 %1 -1.5").arg(hex(0x100))})
            QVERIFY2(state.contains(line), qPrintable(line + " in\n" + state.join('\n')));
    }
    // Module 1 was not touched.
    for (const QString& line : state)
        QVERIFY2(line != QLatin1String("mreal 1 100 -1.5") && line != QLatin1String("mint 1 eb a5"), qPrintable(line));
}

void TestInputsSim::secondModule()
{
    Rig rig({}, QStringLiteral("instrument\nmreal 1 20 77\nmint 1 0 11\n"));
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    w.Modul->setCurrentIndex(1);
    QCOMPARE(w.ChNum->currentText(), QStringLiteral("Первый  (7)"));
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    QCOMPARE(rig.receivedFrames().value(0), QStringLiteral(":1;28;1;20;"));
    QCOMPARE(w.DiapMax->text(), QStringLiteral("77"));
    QCOMPARE(w.Sensors->currentIndex(), 17);
    w.Sensors->setCurrentIndex(20);
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    const QStringList state = rig.state();
    QVERIFY(state.contains(QStringLiteral("mint 1 0 14")));
    QVERIFY(state.contains(QStringLiteral("mint 1 600 14")));
    QVERIFY(!state.contains(QStringLiteral("mint 0 0 14")));
}

void TestInputsSim::measuredValue_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<bool>("broken");
    QTest::newRow("channel 1") << 0 << false;
    QTest::newRow("channel 3, sensor broken") << 2 << true;
}

void TestInputsSim::measuredValue()
{
    QFETCH(int, channel);
    QFETCH(bool, broken);
    Rig rig({}, kChannel1);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    w.ChNum->setCurrentIndex(channel);
    QTest::mouseClick(w.VRead, Qt::LeftButton);
    QCOMPARE(rig.receivedFrames().value(0), QStringLiteral(":1;26;0;%1;").arg(0xEF + 4 * channel, 0, 16).toUpper());
    if (broken) {
        QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral(
            "Ошибка: В памяти прибора по данному адресу находится чило в неверном формате")});
        QVERIFY(w.Value->text().isEmpty());
    } else {
        QVERIFY(rig.messages.texts().isEmpty());
        double v = 0;
        QVERIFY2(instrument::toNumber(w.Value->text(), QStringLiteral(","), &v), qPrintable(w.Value->text()));
    }
    QCOMPARE(w.DiapMax->text(), QStringLiteral("0"));
}

void TestInputsSim::converterRestart()
{
    Rig rig({}, kEmpty);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    w.Modul->setCurrentIndex(1);
    QTest::mouseClick(w.cmbReload, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    QCOMPARE(rig.receivedFrames(), QStringList{QStringLiteral(":1;17;1;44B;1;")});
    QVERIFY(rig.state().contains(QStringLiteral("reload 1 1")));
}

void TestInputsSim::readFailures_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("failing");     // the step that fails, its box emptied
    QTest::addColumn<QString>("message");
    QTest::newRow("ERR to the connection method") << QStringList{"--fault", "err:adr=E0"} << 4
                                                  << "Ошибка: Прибор выдает ошибку";
    QTest::newRow("ERR to every byte read") << QStringList{"--fault", "err:cmd=20"} << 2
                                            << "Ошибка: Прибор выдает ошибку";
    QTest::newRow("bad digits for the sensor type") << QStringList{"--fault", "badvalue:adr=0"} << 3
                                                    << "Ошибка: Из прибора пришло число в неправильном формате";
    QTest::newRow("NaN for the offset") << QStringList{"--fault", "nan:cmd=28:adr=EC"} << 5
                                        << "Ошибка: В памяти прибора по данному адресу находится чило в неверном формате";
    QTest::newRow("silent module") << QStringList{"--fault", "silence"} << 0 << "Ошибка: Прибор не отвечает";
}

void TestInputsSim::readFailures()
{
    QFETCH(QStringList, fault);
    QFETCH(int, failing);
    QFETCH(QString, message);
    Rig rig(fault, kChannel1);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QCOMPARE(rig.messages.texts(), QStringList{message});
    const QStringList shown{w.DiapMax->text(), w.DiapMin->text(), w.Flags->text(), w.SensorsId->text(),
                            w.Wired->currentText(), w.Bias->text(), w.tbRl->text()};
    const QStringList read{"150", "-50", "1F", "8", "3", "0,5", "1,25"};
    const QStringList before{"0", "0", "0", "0", "2", "0", "0"};
    for (int i = 0; i < shown.size(); ++i)
        QCOMPARE(shown[i], i < failing ? read[i] : i == failing ? QString() : before[i]);
    // Nothing read after the failure.
    for (const QString& f : rig.receivedFrames())
        QVERIFY2(failing == 6 || !f.contains(QLatin1String(";B0;")), qPrintable(f));
    QVERIFY(w.Read->isEnabled());
    QVERIFY(w.StatusBar->step().isEmpty());
}

void TestInputsSim::writeFailures_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("kept");      // state lines there afterwards
    QTest::addColumn<QStringList>("notKept");   // state lines not there
    // The third copy of the flags is not confirmed: nothing after it is written.
    QTest::newRow("noack at one copy") << QStringList{"--fault", "noack:adr=4E6"}
                                       << "Ошибка: Не удалось записать в прибор"
                                       << QStringList{"mint 0 e6 5", "mint 0 2e6 5", "mreal 0 620 300"}
                                       << QStringList{"mint 0 6e6 5", "mint 0 0 7"};
    // The offset is confirmed but not stored: its read-back differs.
    QTest::newRow("stuck offset") << QStringList{"--fault", "stuck:adr=EC"}
                                  << "Ошибка: Не совпадение прочитанного с тем, что записали.||0,25e1<>0"
                                  << QStringList{"mint 0 0 7", "mint 0 6e0 2"}
                                  << QStringList{"mreal 0 ec 2.5", "mreal 0 b0 0"};
    QTest::newRow("silent byte writes") << QStringList{"--fault", "silence:cmd=19"}
                                        << "Ошибка: Прибор не отвечает"
                                        << QStringList{"mreal 0 20 300", "mreal 0 620 300"}
                                        << QStringList{"mint 0 2e6 5", "mint 0 0 7"};
}

void TestInputsSim::writeFailures()
{
    QFETCH(QStringList, fault);
    QFETCH(QString, message);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, notKept);
    Rig rig(fault, kEmpty);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    testsupport::typeInto(w.DiapMax, QStringLiteral("300"));
    testsupport::typeInto(w.Flags, QStringLiteral("5"));
    w.Sensors->setCurrentIndex(7);
    testsupport::typeInto(w.Bias, QStringLiteral("2,5"));
    w.tbRl->clear();
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QCOMPARE(rig.messages.texts(), QStringList{message});
    QVERIFY(w.Write->isEnabled());
    QVERIFY(w.StatusBar->step().isEmpty());
    QCOMPARE(w.Bias->text(), QStringLiteral("2,5"));
    const QStringList state = rig.state();
    for (const QString& line : kept)
        QVERIFY2(state.contains(line), qPrintable(line + " not in\n" + state.join('\n')));
    for (const QString& line : notKept)
        QVERIFY2(!state.contains(line), qPrintable(line));
}

void TestInputsSim::secondModuleWithoutAddresses()
{
    testsupport::SimDevDat settings;
    settings.enableNetAdrr = false;
    Rig rig({"--no-net-address"}, QStringLiteral("instrument\nmreal 1 8 -7\n"), settings);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    w.Modul->setCurrentIndex(1);
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QVERIFY2(rig.messages.texts().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(rig.receivedFrames().mid(0, 2), (QStringList{":28;1;20;", ":28;1;8;"}));
    QCOMPARE(w.DiapMin->text(), QStringLiteral("-7"));
    testsupport::typeInto(w.DiapMin, QStringLiteral("-8"));
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    // The restart goes on the command path, which always names the instrument.
    QTest::mouseClick(w.cmbReload, Qt::LeftButton);
    const QStringList state = rig.state();
    QVERIFY(state.contains(QStringLiteral("mreal 1 608 -8")));
}

void TestInputsSim::unpluggedLine()
{
    // The adapter is pulled in the middle of the first answer, and plugged in again.
    Rig rig({"--fault", "unplug:cmd=28:once:ms=100"}, kChannel1);
    QVERIFY(rig.start());
    frmMain& w = *rig.w;
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QCOMPARE(rig.messages.texts().size(), 1);
    QVERIFY2(rig.messages.texts().first().startsWith(QStringLiteral("Ошибка: ")), qPrintable(rig.messages.texts().first()));
    QVERIFY(w.DiapMax->text().isEmpty());
    QCOMPARE(w.DiapMin->text(), QStringLiteral("0"));
    QVERIFY(w.Read->isEnabled());

    // Once it is back, the read goes through.
    QTRY_VERIFY(rig.sim->linkPresent());
    rig.messages.clear();
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QVERIFY2(rig.messages.texts().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(w.DiapMax->text(), QStringLiteral("150"));
}

QTEST_MAIN(TestInputsSim)
#include "tst_inputs_sim.moc"
