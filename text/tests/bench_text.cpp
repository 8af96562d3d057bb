// How long the file transfers take against the simulator pacing the line at
// 4800 baud, compared with the line's own time for the characters exchanged
// (11 bits a character), and how much processor time the program spends.
// Run by hand: build/tests/bench_text_transfer [ReadF|WriteF|both]

#include "cputime.h"
#include "cp1251.h"
#include "text_window.h"
#include "windowrig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <sys/resource.h>

namespace {

constexpr int kBaud = 4800;

// The number of bytes an escaped transcript line stands for.
qint64 byteCount(const QString& escaped)
{
    qint64 n = 0;
    for (int i = 0; i < escaped.size(); ++i, ++n) {
        if (escaped.at(i) != QLatin1Char('\\'))
            continue;
        if (i + 1 < escaped.size() && escaped.at(i + 1) == QLatin1Char('x'))
            i += 3;
        else
            i += 1;
    }
    return n;
}

int run(const QString& which)
{
    testsupport::SimDevDat settings;
    settings.timeOut = 3;
    // BENCH_SIM="--usb-latency 16": more options for the simulator.
    const QStringList simOptions = QProcess::splitCommand(qEnvironmentVariable("BENCH_SIM"));
    testsupport::SimRig<text::Dialog> rig(QStringList{QStringLiteral("--pace")} + simOptions, QStringLiteral("# preset\n"),
                                          settings);
    if (!rig.start()) {
        std::fprintf(stderr, "the simulator or the window did not start\n");
        return 1;
    }
    text::Dialog& w = *rig.w;
    QString file;
    for (int n = 1; n <= text::kChannels; ++n)
        file += QStringLiteral("[CHANNEL%1]\r\nUofM=\"ед %1  \"\r\nTEXT=\"Канал %1 тест\"\r\n").arg(n);
    rig.folder.writeFile(QStringLiteral("bench.dat"), instrument::toCp1251(file));
    w.FileName->setText(QStringLiteral("bench.dat"));

    QPushButton* button = which == QLatin1String("WriteF") ? w.WriteF : w.ReadF;
    const qint64 before = rig.received().size();
    QElapsedTimer wall;
    const double cpu0 = testsupport::processCpuSeconds();
    wall.start();
    button->click();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = testsupport::processCpuSeconds() - cpu0;
    if (!rig.messages.messages().isEmpty()) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(which),
                     qPrintable(rig.messages.messages().first().text));
        return 1;
    }

    qint64 chars = 0;
    qint64 frames = 0;
    qint64 repeated = 0;
    const QStringList lines = rig.sim->transcript();
    qint64 seen = 0;
    QString lastFrame, lastAnswer;
    for (const QString& line : lines) {
        const bool sent = line.startsWith(QLatin1String("> "));
        if (sent && ++seen <= before)
            continue;
        if (seen <= before)
            continue;
        if (sent || line.startsWith(QLatin1String("< "))) {
            chars += byteCount(line.mid(2));
            frames += sent ? 1 : 0;
        }
        if (sent) {
            // The same frame again: the link repeated an exchange.
            if (line == lastFrame && ++repeated <= 3)
                std::printf("  repeated %s after %s\n", qPrintable(line), qPrintable(lastAnswer));
            lastFrame = line;
        } else {
            lastAnswer = line;
        }
    }
    if (repeated > 0 && qEnvironmentVariableIsSet("TEXT_BENCH_LOG")) {
        // The exchange log around the repeats, for a look at what the link took.
        const QStringList log = QString::fromLatin1(rig.folder.readFile(QStringLiteral("COM.log"))).split(QLatin1Char('\n'));
        for (int i = 0; i < log.size(); ++i)
            if (i + 8 < log.size() && log[i] == log[i + 4] && log[i].contains(QLatin1String("Command")))
                for (int j = std::max(0, i - 4); j < i + 8; ++j)
                    std::printf("  log| %s\n", qPrintable(QString(log[j]).replace(QLatin1Char('\r'), QLatin1String("\\r"))));
    }
    const double lineSeconds = double(chars) * 11 / kBaud;
    if (!simOptions.isEmpty())
        std::printf("simulator: %s\n", qPrintable(simOptions.join(QLatin1Char(' '))));
    std::printf("%s: %lld exchanges (%lld of them repeated), %lld characters both ways\n", qPrintable(which), frames,
                repeated, chars);
    std::printf("  taken      %.2f s\n  line time  %.2f s (11 bits a character at %d baud)\n  ratio      %.3f\n",
                seconds, lineSeconds, kBaud, seconds / lineSeconds);
    std::printf("  processor  %.2f s = %.2f %% of one core\n", cpu, 100 * cpu / seconds);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("ReadF");
    if (which == QLatin1String("both"))
        return run(QStringLiteral("ReadF")) || run(QStringLiteral("WriteF"));
    return run(which);
}
