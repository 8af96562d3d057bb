// Benchmark of the frame download against the simulator pacing the line at
// the baud rate in use (11 bits a character): the time a download takes, as
// a ratio to the line's own time for the bytes exchanged, the processor time
// the program uses meanwhile, and its memory at the start and the end.
// Not part of the test run: start it by hand (build/tests/bench_memory_download).

#include "cputime.h"
#include "memory_window.h"
#include "readingrig.h"
#include "windowrig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <sys/resource.h>

using Rig = testsupport::SimRig<memory::frmMain>;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(12, 30, 5));
const QString kFileName = QStringLiteral("F123005071226.dtl");

// Bytes of one transcript line, its escapes undone.
qint64 transcriptBytes(const QString& line)
{
    qint64 n = 0;
    for (int i = 0; i < line.size(); ++i, ++n) {
        if (line[i] != QLatin1Char('\\') || i + 1 >= line.size())
            continue;
        i += line[i + 1] == QLatin1Char('x') ? 3 : 1;
    }
    return n;
}

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void download(int baud, QPushButton* (*button)(memory::frmMain&), int expectedFrames)
{
    testsupport::SimDevDat s;
    s.settings = QStringLiteral("%1,N,8,2").arg(baud);
    s.timeOut = 2;
    s.extra = QStringLiteral("[PROGS]\nNofSettings=1\nSet1=%1,N,8,2\nSettingsIndex=0\n").arg(baud);
    // BENCH_UNPACED=1: the simulator answers at once, which leaves the
    // program's own cost of a frame.
    const bool paced = qEnvironmentVariableIntValue("BENCH_UNPACED") == 0;
    // BENCH_SIM="--usb-latency 16": more options for the simulator.
    const QStringList simOptions = QProcess::splitCommand(qEnvironmentVariable("BENCH_SIM"));
    Rig rig((paced ? QStringList{QStringLiteral("--pace")} : QStringList{}) + simOptions, QStringLiteral("instrument\nint 1518 4\nbuffer 0 0 100\n"), s);
    rig.w->setClock([] { return kNow; });
    QVERIFY(rig.start());
    QCOMPARE(rig.w->dev()->Settings, QStringLiteral("%1,N,8,2").arg(baud));

    // Memory when a tenth of the frames is in, and at the end.
    long rssTenth = -1;
    QObject::connect(rig.w->pbReading, &QProgressBar::valueChanged, rig.w.get(), [&](int v) {
        if (v == expectedFrames / 10)
            rssTenth = residentKb();
    });
    const long rssStart = residentKb();
    const double cpu0 = testsupport::processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::mouseClick(button(*rig.w), Qt::LeftButton);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = testsupport::processCpuSeconds() - cpu0;
    const long rssEnd = residentKb();

    QVERIFY(rig.messages.texts().isEmpty());
    const auto data = memorytest::readDataFile(rig.folder.file(kFileName));
    QVERIFY(data.whole);
    QCOMPARE(int(data.frames.size()), expectedFrames);

    qint64 bytes = 0;
    int lines = 0;
    for (const QString& line : rig.sim->transcript()) {
        if (line.startsWith(QLatin1String("> ")) || line.startsWith(QLatin1String("< "))) {
            bytes += transcriptBytes(line.mid(2));
            ++lines;
        }
    }
    const double wire = double(bytes) * 11.0 / baud;
    if (!simOptions.isEmpty())
        qInfo("simulator: %s", qPrintable(simOptions.join(QLatin1Char(' '))));
    qInfo("%s%d frames at %d baud: %lld bytes in %d lines, line time %.1f s, measured %.1f s, ratio %.4f",
          paced ? "" : "unpaced: ", expectedFrames, baud, bytes, lines, wire, seconds, seconds / wire);
    qInfo("processor time %.2f s = %.2f %% of a core; resident memory %ld kB at start, %ld kB at a tenth, "
          "%ld kB at the end",
          cpu, 100.0 * cpu / seconds, rssStart, rssTenth, rssEnd);
}

} // namespace

class DownloadBenchmark : public QObject {
    Q_OBJECT
private slots:
    void wholeBufferAt57600()
    {
        download(57600, [](memory::frmMain& w) { return w.Command5; }, 4095);
    }
    void last400At4800()
    {
        download(4800, [](memory::frmMain& w) { return w.Command2; }, 400);
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A whole buffer takes minutes; the test library's watchdog must not end it.
    qputenv("QTEST_FUNCTION_TIMEOUT", "3600000");
    QApplication app(argc, argv);
    DownloadBenchmark b;
    return QTest::qExec(&b, argc, argv);
}

#include "bench_memory_download.moc"
