// The memory tool against the instrument simulator over a pseudo-terminal:
// buffer settings, recording, state and the clock as the instrument keeps
// them, and the idle window (what it costs the processor: bench_memory_idle).

#include "memory_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using memory::frmMain;
using Rig = testsupport::SimRig<frmMain>;

class TestMemorySim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readsBuffer2Settings();
    void writesSettingsIntoTheInstrument();
    void failedWriteLeavesTheRestUnsent();
    void recordingStopStartAndState();
    void clockWriteThenRead();
    void idleWindowLeavesTheLineQuiet();
};

void TestMemorySim::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestMemorySim::readsBuffer2Settings()
{
    // Buffer 2 from frame 4096, 4095 long, an hour between frames, stopped
    // at frame 4200; buffer 1 stopped at frame 17.
    Rig r({}, QStringLiteral("instrument\ncpu 2 0\ncpu 4 fff\ncpu 6 1\ncpu 3 1000\ncpu 5 fff\ncpu 7 e10\n"
                             "int 1518 4\nint 1519 4\nbuffer 0 0 17\nbuffer 1 0 4200\n"));
    QVERIFY(r.start());
    r.w->cmbBuffNum2->setCurrentIndex(1);
    QTest::mouseClick(r.w->cmbReadBuffSettings, Qt::LeftButton);
    QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("3600"));
    QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("4096"));
    QCOMPARE(r.w->tbBuffLength->text(), QStringLiteral("4095"));
    QCOMPARE(r.w->lBuffPtr->text(), QStringLiteral("4200"));
    QTest::mouseClick(r.w->cmbReadBuffSettings2, Qt::LeftButton);
    QCOMPARE(r.w->lBuffPtr2->text(), QStringLiteral("4200"));
    r.w->cmbBuffNum2->setCurrentIndex(0);
    QTest::mouseClick(r.w->cmbReadBuffSettings, Qt::LeftButton);
    QCOMPARE(r.w->lBuffPtr->text(), QStringLiteral("17"));
    QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("0"));
    QVERIFY(r.messages.texts().isEmpty());
    QCOMPARE(r.receivedFrames().mid(0, 4), (QStringList{":1;30;7;", ":1;30;3;", ":1;30;5;", ":1;30;21;"}));
}

void TestMemorySim::writesSettingsIntoTheInstrument()
{
    Rig r;
    QVERIFY(r.start());
    testsupport::typeInto(r.w->cmbInterval2, QStringLiteral("600"));
    testsupport::typeInto(r.w->tbBuffBegin2, QStringLiteral("4096"));
    testsupport::typeInto(r.w->tbBuffLength2, QStringLiteral("2000"));
    QTest::mouseClick(r.w->cmdWriteBuffSettings2, Qt::LeftButton);
    QVERIFY(r.messages.texts().isEmpty());
    QCOMPARE(r.receivedFrames(), (QStringList{":1;31;7;258;", ":1;31;3;1000;", ":1;31;5;7D0;", ":1;29;7;258;",
                                     ":1;29;3;1000;", ":1;29;5;7D0;"}));
    // Read back through the window, then as the instrument keeps them.
    r.w->cmbBuffNum2->setCurrentIndex(1);
    QTest::mouseClick(r.w->cmbReadBuffSettings, Qt::LeftButton);
    QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("600"));
    QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("4096"));
    QCOMPARE(r.w->tbBuffLength->text(), QStringLiteral("2000"));
    const QStringList state = r.state();
    QVERIFY(state.contains(QStringLiteral("cpu 7 258")));
    QVERIFY(state.contains(QStringLiteral("cpu 3 1000")));
    QVERIFY(state.contains(QStringLiteral("cpu 5 7d0")));
}

void TestMemorySim::failedWriteLeavesTheRestUnsent()
{
    // The instrument refuses every write with command 29.
    Rig r({QStringLiteral("--fault"), QStringLiteral("err:cmd=29")});
    QVERIFY(r.start());
    QTest::mouseClick(r.w->cmdWriteBuffSettings, Qt::LeftButton);
    QCOMPARE(r.messages.messages().size(), 1);
    QVERIFY(r.messages.texts().first().startsWith(QStringLiteral("Ошибка: ")));
    const QStringList sent = r.receivedFrames();
    QCOMPARE(sent.mid(0, 3), (QStringList{":1;31;6;1;", ":1;31;2;0;", ":1;31;4;FFF;"}));
    for (const QString& f : sent.mid(3))
        QCOMPARE(f, QStringLiteral(":1;29;6;1;"));
    QVERIFY(r.w->cmdWriteBuffSettings->isEnabled());
}

void TestMemorySim::recordingStopStartAndState()
{
    Rig r;
    QVERIFY(r.start());
    QTest::mouseClick(r.w->cmbReadState, Qt::LeftButton);
    QCOMPARE(r.w->lBuffState->text(), QStringLiteral("Идет запись"));
    QCOMPARE(r.w->lOutSignal->text(), QStringLiteral("Внешний сигнал управления присутствует"));
    QTest::mouseClick(r.w->cmdStopWriting, Qt::LeftButton);
    QTest::mouseClick(r.w->cmbReadState, Qt::LeftButton);
    QCOMPARE(r.w->lBuffState->text(), QStringLiteral("Запись остановлена командой внешнего компьютера"));

    QTest::mouseClick(r.w->cmbReadState2, Qt::LeftButton);
    QCOMPARE(r.w->lBuffState2->text(), QStringLiteral("Запись остановлена командой внешнего компьютера"));
    QCOMPARE(r.w->lOutSignal2->text(), QStringLiteral("Внешний сигнал управления отсутствует"));
    QTest::mouseClick(r.w->cmbStartWriting2, Qt::LeftButton);
    QTest::mouseClick(r.w->cmbReadState2, Qt::LeftButton);
    QCOMPARE(r.w->lBuffState2->text(), QStringLiteral("Идет запись"));
    QVERIFY(r.messages.texts().isEmpty());

    const QStringList state = r.state();
    QVERIFY(state.contains(QStringLiteral("int 1518 4")));
    QVERIFY(state.contains(QStringLiteral("int 1519 0")));
}

void TestMemorySim::clockWriteThenRead()
{
    // The instrument's battery is flat, and its clock is a day behind.
    Rig r({}, QStringLiteral("instrument\nclock -86400000 57 0\n"));
    const QDateTime pcAtStart = QDateTime::currentDateTime();
    const QDateTime set = QDateTime(QDate(2026, 12, 7), QTime(10, 20, 30));
    // The PC clock runs from 10:20:30 on 7 December 2026.
    r.w->setClock([pcAtStart, set] { return set.addMSecs(pcAtStart.msecsTo(QDateTime::currentDateTime())); });
    r.folder.writeFile(QStringLiteral("tmp.txt"), "[CurTime]\r\nDayLight=0\r\n");
    QVERIFY(r.start());

    QTest::mouseClick(r.w->cmdClockRead, Qt::LeftButton);
    QCOMPARE(r.w->lBat->text(), QStringLiteral("Батарея неисправна"));
    const QString before = r.w->tbDevTyme->text();
    QCOMPARE(before.count(QLatin1Char(';')), 7);
    QVERIFY(before.endsWith(QStringLiteral(";57;")));

    QTest::mouseClick(r.w->cmdClockWrite, Qt::LeftButton);
    QVERIFY(r.messages.texts().isEmpty());
    QTest::mouseClick(r.w->cmdClockRead, Qt::LeftButton);
    const QString after = r.w->tbDevTyme->text();
    // A second may pass between the write and the read.
    QVERIFY2(after.startsWith(QStringLiteral("10;20;3")), qPrintable(after));
    QVERIFY2(after.endsWith(QStringLiteral(";07;12;26;53;")), qPrintable(after));
    QVERIFY(r.messages.texts().isEmpty());
    const QStringList sent = r.receivedFrames();
    QCOMPARE(sent.size(), 3);
    QVERIFY2(QRegularExpression(QStringLiteral("^:1;33;10;20;3\\d;07;12;26;53;57;$")).match(sent.at(1)).hasMatch(),
             qPrintable(sent.at(1)));
}

void TestMemorySim::idleWindowLeavesTheLineQuiet()
{
    Rig r;
    QVERIFY(r.start());
    // The clock goes on ticking, and nothing goes over the line meanwhile.
    QSignalSpy ticks(r.w->tbSystemTyme, &QLineEdit::textChanged);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 20000);
    QVERIFY(r.receivedFrames().isEmpty());
}

QTEST_MAIN(TestMemorySim)
#include "tst_memory_sim.moc"
