// The setpoint window against the instrument simulator on a pseudo-terminal:
// what the reads show of the instrument's memory, what the writes leave in
// it, and how a misbehaving line stops a write.

#include "limits_window.h"
#include "statusbar.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using limits::frmMain;
using Rig = testsupport::SimRig<frmMain>;

using testsupport::click;

namespace {

QString local(frmMain* w, QString text)
{
    return text.replace(QLatin1Char('.'), w->dev()->sFloatingPointSeparator);
}

bool simulatorKnows(const QString& word)
{
    QProcess p;
    p.start(testsupport::SimProcess::executable(), {QStringLiteral("--help")});
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).contains(word);
}

} // namespace

class TestLimitsSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readsShowTheInstrumentsMemory();
    void writesStoreWhatTheWindowShows();
    void failedWriteStops_data();
    void failedWriteStops();
};

void TestLimitsSim::initTestCase()
{
    QVERIFY2(QFile::exists(testsupport::SimProcess::executable()), "no simulator to test against");
}

void TestLimitsSim::readsShowTheInstrumentsMemory()
{
    // Channel 9 (module 2, its third channel) of an instrument whose memory
    // holds known values.
    Rig rig({}, QStringLiteral("instrument\nint d0 13\nreal 9 12.5\nreal d0 0\nint b 7\nint 6c 3\n"
                               "int 1458 b\nint 13f7 1\nint 134 10\nreal 6c -2.25\nreal 134 4\n"));
    QVERIFY(rig.start());
    frmMain* w = rig.w.get();
    w->ModulNum->setCurrentIndex(1);
    w->ChNum->setCurrentIndex(2);
    QCOMPARE(w->ChNum->currentText(), QStringLiteral("9"));

    for (const char* button : {"Read1", "Read2", "ReadUsr", "cmbDigRead", "cmbActTHRead", "cmbDisRead"})
        click(w, button);

    QCOMPARE(rig.messages.texts(), QStringList());
    QCOMPARE(rig.receivedFrames(),
             (QStringList{":1;6;D0;", ":1;12;9;", ":1;12;D0;", ":1;6;134;", ":1;12;6C;", ":1;12;134;", ":1;6;B;",
                          ":1;6;6C;", ":1;6;1458;", ":1;6;13F7;"}));
    QCOMPARE(w->Type1->currentText(), QStringLiteral("Быстрое уменьшение с памятью"));
    QCOMPARE(w->Value1->text(), local(w, "12.5"));
    QCOMPARE(w->Gis1->text(), local(w, "0.001"));
    QCOMPARE(w->Type2->currentIndex(), -1);
    QCOMPARE(w->Type2->currentText(), QStringLiteral("16"));
    QCOMPARE(w->Value2->text(), local(w, "-2.25"));
    QCOMPARE(w->Gis2->text(), QStringLiteral("4"));
    QCOMPARE(w->Usred->text(), QStringLiteral("7"));
    QCOMPARE(w->cbDig->currentText(), QStringLiteral("1"));
    QCOMPARE(w->cbActTH->currentText(), QStringLiteral("2"));
    QVERIFY(w->chDis->isChecked());
}

void TestLimitsSim::writesStoreWhatTheWindowShows()
{
    Rig rig({}, QStringLiteral("instrument\n"));
    QVERIFY(rig.start());
    frmMain* w = rig.w.get();
    w->ChNum->setCurrentIndex(2);   // channel 3
    w->Type1->setCurrentIndex(6);   // fast increase, 04
    w->Value1->setText(local(w, "250.5"));
    w->Gis1->setText(QStringLiteral("0"));
    w->Usred->setText(QStringLiteral("12"));
    w->cbDig->setCurrentIndex(2);
    w->cbActTH->setCurrentIndex(9);
    w->chDis->setChecked(true);

    click(w, "Write1");
    QCOMPARE(rig.messages.texts(), QStringList());
    QCOMPARE(rig.receivedFrames(),
             (QStringList{":1;5;CA;4;", ":1;6;CA;", ":1;13;CA;4;", ":1;14;CA;", ":1;11;3;0.2505e3;", ":1;12;3;",
                          ":1;15;3;0.2505e3;", ":1;16;3;", ":1;11;CA;0.1e-2;", ":1;12;CA;", ":1;15;CA;0.1e-2;",
                          ":1;16;CA;"}));
    for (const char* button : {"WriteUsr", "cmbDigWrite", "cmbActTHWrite", "cmbDisWrite"})
        click(w, button);
    QCOMPARE(rig.messages.texts(), QStringList());
    QCOMPARE(w->Gis1->text(), QStringLiteral("0"));

    const QStringList state = rig.state();
    for (const char* line : {"int ca 4", "real 3 250.5", "real ca 0.001", "int 5 c", "int 66 2", "int 1452 a",
                             "int 13f1 1"})
        QVERIFY2(state.contains(QLatin1String(line)), line);
}

void TestLimitsSim::failedWriteStops_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message");       // how the message starts
    QTest::addColumn<QStringList>("notSent");   // frames that must not go out
    QTest::addColumn<QStringList>("notStored"); // state lines that must not appear

    QTest::newRow("type refused with ERR")
        << QStringList{"--fault", "err:cmd=5"} << "Write1" << "Ошибка: Прибор выдает ошибку"
        << QStringList{":1;13;C8;2;", ":1;11;1;0.5e1;", ":1;11;C8;0.1e1;"} << QStringList{"real 1 5"};
    QTest::newRow("working copy silent") << QStringList{"--fault", "silence:cmd=13"} << "WriteUsr"
                                         << "Ошибка: Прибор не отвечает" << QStringList{} << QStringList{};
    QTest::newRow("line unplugged at the value")
        << QStringList{"--fault", "unplug:cmd=11:once"} << "Write1" << QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix
        << QStringList{":1;11;C8;0.1e1;"} << QStringList{"real c8 1"};
    QTest::newRow("type not acknowledged")
        << QStringList{"--fault", "noack:cmd=5"} << "Write1" << "Ошибка: Не удалось записать в прибор"
        << QStringList{":1;13;C8;2;", ":1;11;1;0.5e1;"} << QStringList{"real 1 5"};
    QTest::newRow("value not stored")
        << QStringList{"--fault", "stuck:cmd=11"} << "Write1"
        << "Ошибка: Не совпадение прочитанного с тем, что записали." << QStringList{":1;15;1;0.5e1;"}
        << QStringList{"real 1 5"};
}

void TestLimitsSim::failedWriteStops()
{
    QFETCH(QStringList, options);
    QFETCH(QString, button);
    QFETCH(QString, message);
    QFETCH(QStringList, notSent);
    QFETCH(QStringList, notStored);
    const QString kind = options.last().section(QLatin1Char(':'), 0, 0);
    QVERIFY2(simulatorKnows(QStringLiteral("  ") + kind + QLatin1Char(' ')),
             qPrintable(QStringLiteral("the simulator has no fault \"%1\"").arg(kind)));

    Rig rig(options, QStringLiteral("instrument\n"));
    QVERIFY(rig.start());
    frmMain* w = rig.w.get();
    w->Type1->setCurrentIndex(5);   // raise, 02
    w->Value1->setText(QStringLiteral("5"));
    w->Usred->setText(QStringLiteral("9"));
    click(w, qPrintable(button));

    QCOMPARE(rig.messages.messages().size(), 1);
    QVERIFY2(rig.messages.texts().first().startsWith(message), qPrintable(rig.messages.texts().first()));
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Limits"));
    QVERIFY(w->Write1->isEnabled());
    QVERIFY(w->ChNum->isEnabled());
    QCOMPARE(w->StatusBar->step(), QString());
    const QStringList sent = rig.receivedFrames();
    for (const QString& f : notSent)
        QVERIFY2(!sent.contains(f), qPrintable(f));
    const QStringList state = rig.state();
    QVERIFY(!state.isEmpty());
    for (const QString& line : notStored)
        QVERIFY2(!state.contains(line), qPrintable(line));
}

QTEST_MAIN(TestLimitsSim)
#include "tst_limits_sim.moc"
