// The reading tab against the instrument simulator on a pseudo-terminal.

#include "memory_window.h"
#include "readingrig.h"
#include "windowrig.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using memorytest::range;
using memorytest::readDataFile;
using Rig = testsupport::SimRig<memory::frmMain>;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(12, 30, 5));
const QString kFileName = QStringLiteral("F123005071226.dtl");
// Buffer 1 stands still at frame 50.
const QString kState = QStringLiteral("instrument\nint 1518 4\nbuffer 0 0 50\n");

testsupport::SimDevDat settings(int rereadings)
{
    testsupport::SimDevDat s;
    s.rereadings = rereadings;
    return s;
}

// The frame numbers of the frame commands the instrument received.
QList<int> framesReceived(const QStringList& received)
{
    QList<int> out;
    for (const QString& line : received) {
        const QStringList f = line.split(QLatin1Char(';'));
        if (f.size() >= 4 && f[1] == QLatin1String("323"))
            out << qint16(f[2].toUShort(nullptr, 16));
    }
    return out;
}

} // namespace

class ReadingSimTest : public QObject {
    Q_OBJECT
private slots:
    void lastHundredOfADefaultBuffer();
    void hundredFramesWhileTheClockRuns();
    void failedFrame_data();
    void failedFrame();
    void refusedFrame();
    void stopDuringTheRun();
    void unpluggedLine();
};

void ReadingSimTest::lastHundredOfADefaultBuffer()
{
    Rig rig({}, kState);
    rig.w->setClock([] { return kNow; });
    QVERIFY(rig.start());
    QTest::mouseClick(rig.w->Command1, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    const QStringList received = rig.received();
    QCOMPARE(received.mid(0, 3), (QStringList{":1;30;20;\\r\\n", ":1;30;2;\\r\\n", ":1;30;4;\\r\\n"}));
    const QList<int> expected = range(4046, 4095) + range(1, 50);
    QCOMPARE(framesReceived(received), expected);
    const auto data = readDataFile(rig.folder.file(kFileName));
    QVERIFY(data.whole);
    QCOMPARE(data.frames, expected);
    QCOMPARE(data.lines.size(), 100 * (10 + 3 * 16));
    QCOMPARE(rig.w->pbReading->value(), 99);
}

void ReadingSimTest::hundredFramesWhileTheClockRuns()
{
    // The PC clock runs and the instrument takes its time: the timer ticks through the run.
    Rig rig({QStringLiteral("--latency"), QStringLiteral("40")}, kState);
    QVERIFY(rig.start());
    QStringList lines, boxes;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        lines << rig.w->lReadingStatus->text();
        boxes << rig.w->tbFileName->text();
    });
    watch.start(100);
    const QString name = rig.w->tbFileName->text();
    QTest::mouseClick(rig.w->Command1, Qt::LeftButton);
    watch.stop();
    QVERIFY(rig.messages.texts().isEmpty());

    QCOMPARE(QDir(rig.folder.path()).entryList({QStringLiteral("*.dtl")}), QStringList{name});
    QCOMPARE(readDataFile(rig.folder.file(name)).frames, range(4046, 4095) + range(1, 50));
    QVERIFY(!lines.isEmpty());
    for (const QString& line : lines)
        QVERIFY2(line.endsWith(QStringLiteral(" · ") + name), qPrintable(line));
    QCOMPARE(boxes, QStringList(boxes.size(), name));
    QCOMPARE(rig.w->lReadingStatus->text(), QStringLiteral("Чтение закончено · в файл записано 100 кадров из 100 · ")
                                                + QDir::toNativeSeparators(rig.folder.file(name)));
}

void ReadingSimTest::failedFrame_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("written");
    const QList<int> all = range(4046, 4095) + range(1, 50);
    QList<int> withoutSixth = all;
    withoutSixth.removeAt(5);
    QTest::newRow("Abort") << int(QMessageBox::Abort) << all.mid(0, 5);
    QTest::newRow("Retry") << int(QMessageBox::Retry) << all;
    QTest::newRow("Ignore") << int(QMessageBox::Ignore) << withoutSixth;
}

void ReadingSimTest::failedFrame()
{
    QFETCH(int, answer);
    QFETCH(QList<int>, written);
    // Five frames pass, then the sixth meets silence on all three of the
    // link's attempts.
    Rig rig({QStringLiteral("--fault"), QStringLiteral("silence:cmd=323:after=5:times=3")}, kState, settings(2));
    rig.w->setClock([] { return kNow; });
    QVERIFY(rig.start());
    rig.messages.answerNext(QMessageBox::StandardButton(answer));
    QTest::mouseClick(rig.w->Command1, Qt::LeftButton);
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("Кадр 4051 не прочитан: Прибор не отвечает")});
    const auto data = readDataFile(rig.folder.file(kFileName));
    QVERIFY(data.whole);
    QCOMPARE(data.frames, written);
    QVERIFY(rig.w->Command1->isEnabled());
}

void ReadingSimTest::refusedFrame()
{
    // The first frame answered "ERR"; the link does not repeat it.
    Rig rig({QStringLiteral("--fault"), QStringLiteral("err:cmd=323:once")}, kState, settings(0));
    rig.w->setClock([] { return kNow; });
    QVERIFY(rig.start());
    rig.messages.answerNext(QMessageBox::Retry);
    QTest::mouseClick(rig.w->Command1, Qt::LeftButton);
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("Кадр 4046 не прочитан: Прибор выдает ошибку")});
    QCOMPARE(readDataFile(rig.folder.file(kFileName)).frames, range(4046, 4095) + range(1, 50));
}

void ReadingSimTest::stopDuringTheRun()
{
    Rig rig({}, kState);
    rig.w->setClock([] { return kNow; });
    QVERIFY(rig.start());
    // Pressed while the link waits for some frame's answer, a few frames in.
    QObject::connect(rig.w->pbReading, &QProgressBar::valueChanged, rig.w.get(), [&](int v) {
        if (v == 5)
            QTimer::singleShot(0, rig.w.get(), [&] { QTest::mouseClick(rig.w->cmdStopReadingFrames, Qt::LeftButton); });
    });
    QTest::mouseClick(rig.w->Command5, Qt::LeftButton);
    const QList<int> asked = framesReceived(rig.received());
    QVERIFY2(asked.size() > 0 && asked.size() < 4095, qPrintable(QString::number(asked.size())));
    const auto data = readDataFile(rig.folder.file(kFileName));
    QVERIFY(data.whole);
    // Every frame asked for is in the file: the one in progress was written.
    QCOMPARE(data.frames, asked);
    QCOMPARE(asked, range(51, 50 + int(asked.size())));
    QVERIFY(rig.w->Command1->isEnabled());
}

void ReadingSimTest::unpluggedLine()
{
    // The adapter is pulled during the 21st frame's answer and back 300 ms
    // later; the engineer retries until the line is there again.
    Rig rig({QStringLiteral("--fault"), QStringLiteral("unplug:cmd=323:after=20:once")}, kState, settings(0));
    rig.w->setClock([] { return kNow; });
    QVERIFY(rig.start());
    QStringList asked;
    int framesBeforeFirstQuestion = -1;
    instrument::setMessageHook([&](const instrument::Message& m) {
        if (asked.isEmpty())
            framesBeforeFirstQuestion = int(readDataFile(rig.folder.file(kFileName)).frames.size());
        asked << m.text;
        if (!QTest::qWaitFor([&] { return rig.sim->linkPresent(); }, 10000))
            qWarning("the adapter is still out");
        return asked.size() < 20 ? QMessageBox::Retry : QMessageBox::Abort;
    });
    QTest::mouseClick(rig.w->Command1, Qt::LeftButton);
    instrument::setMessageHook({});
    QVERIFY(!asked.isEmpty() && asked.size() < 20);
    QVERIFY2(asked.first().startsWith(QStringLiteral("Кадр 4066 не прочитан: ")), qPrintable(asked.first()));
    QCOMPARE(framesBeforeFirstQuestion, 20);
    const auto data = readDataFile(rig.folder.file(kFileName));
    QVERIFY(data.whole);
    QCOMPARE(data.frames, range(4046, 4095) + range(1, 50));
}

QTEST_MAIN(ReadingSimTest)
#include "tst_memory_readingsim.moc"
