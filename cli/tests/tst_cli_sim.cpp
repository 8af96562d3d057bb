// The command-line program against the instrument simulator: what it reads
// is what the windows' link reads, what it writes reads back, what it refuses
// never reaches the line, and its data file is Memory's.

#include "datareader.h"
#include "dev.h"
#include "devlink.h"
#include "link.h"
#include "memory_window.h"
#include "numbers.h"
#include "programdir.h"
#include "simprocess.h"
#include "windowrig.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <csignal>

namespace map = instrument::map;

namespace {

// Channel 9's setpoints as the simulator keeps them: TH1 12.5, HIS1 0.75,
// THT1 code 13 hex; buffer 1 stands still at frame 50.
const QString kState = QStringLiteral("instrument\nreal 9 12.5\nreal d0 0.75\nint d0 13\nint 1518 4\nbuffer 0 0 50\n");

struct Run {
    int status = -1;
    QString out;
    QString err;
    QByteArray outBytes;
};

Run runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(INSTRUMENT_CLI), args);
    Run r;
    if (!p.waitForFinished(300000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.outBytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// A simulator with kState and "dev.dat" leading to it, in a program folder
// that the program run from the test also uses (INSTRUMENT_SUITE_DIR).
struct SimFolder {
    explicit SimFolder(const QStringList& simArguments = {}, int rereadings = 2, const QString& state = kState)
    {
        folder.writeFile(QStringLiteral("sim-state.txt"), state.toLatin1());
        sim = std::make_unique<testsupport::SimProcess>(
            QStringList{QStringLiteral("--state"), folder.file(QStringLiteral("sim-state.txt"))} + simArguments);
        testsupport::SimDevDat s;
        s.link = sim->linkPath();
        s.rereadings = rereadings;
        testsupport::writeSimDevDat(folder, s);
    }
    ~SimFolder() { testsupport::printOnFailure(QStringLiteral("simulator transcript"), sim->transcript()); }
    QStringList framesReceived() const { return sim->transcript(QStringLiteral("> ")); }

    testsupport::ProgramFolder folder;
    std::unique_ptr<testsupport::SimProcess> sim;
};

// A link of the windows on the same "dev.dat", at network number 1 as the
// windows start.
struct WindowsLink {
    WindowsLink()
    {
        loaded = dev.Form_Load();
        dev.bNetAdrr = 1;
        m = std::make_unique<map::Map>(map::devKeys(dev), dev.sFloatingPointSeparator);
    }
    instrument::Dev dev;
    map::DevLink link{dev};
    std::unique_ptr<map::Map> m;
    bool loaded = false;
};

} // namespace

class CliSimTest : public QObject {
    Q_OBJECT
private slots:
    void readsWhatTheWindowsRead();
    void writeThenRead_data();
    void writeThenRead();
    void refusedBeforeTheLine_data();
    void refusedBeforeTheLine();
    void noInstrument_data();
    void noInstrument();
    void scan_data();
    void scan();
    void downloadAsMemory();
    void interruptedDownload();
    void wholeBufferToCsv();
    void snapshotRestoresWhatChanged_data();
    void snapshotRestoresWhatChanged();
    void snapshotFilesCompared_data();
    void snapshotFilesCompared();
    void snapshotFileRefused_data();
    void snapshotFileRefused();
    void snapshotRestoreCutOff();
    void snapshotCloned();
};

void CliSimTest::readsWhatTheWindowsRead()
{
    SimFolder s;
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const Run r = runCli({QStringLiteral("read"), QStringLiteral("ch9.*")});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);

    WindowsLink w;
    QVERIFY(w.loaded);
    // The measured value moves on between the two reads: it is compared as
    // a number only.
    const auto settled = [](QStringList lines) {
        for (QString& line : lines)
            if (line.startsWith(QLatin1String("ch9.Value=")))
                line = QStringLiteral("ch9.Value=") + (instrument::isNumber(line.mid(10), QStringLiteral(".")) ? "число" : line);
        return lines;
    };
    QStringList expected;
    for (const map::Param* p : w.m->match(QStringLiteral("ch9.*"))) {
        const map::Result v = map::read(*p, w.link);
        QVERIFY2(v.ok, qPrintable(p->name + QStringLiteral(": ") + v.error));
        expected << p->name + QLatin1Char('=') + v.value;
    }
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.last(), QString());
    QCOMPARE(settled(lines.mid(0, lines.size() - 1)), settled(expected));
    // The simulator's own values, in the map's notation.
    QVERIFY(lines.contains(QStringLiteral("ch9.TH1=12.5")));
    QVERIFY(lines.contains(QStringLiteral("ch9.HIS1=0.75")));
    QVERIFY(lines.contains(QStringLiteral("ch9.THT1=19")));

    // The same as one JSON object, numbers as numbers.
    const Run j = runCli({QStringLiteral("read"), QStringLiteral("--json"), QStringLiteral("ch9.*")});
    QCOMPARE(j.status, 0);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(j.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.size(), int(lines.size() - 1));
    QCOMPARE(o.value(QStringLiteral("ch9.TH1")).toDouble(), 12.5);
    QCOMPARE(o.value(QStringLiteral("ch9.THT1")).toInt(), 19);
    QVERIFY(o.value(QStringLiteral("ch9.TEXT")).isString());
}

void CliSimTest::writeThenRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("readBack");
    const QString relay = QStringLiteral("3;0;1;0;0;0;0;0;0;0;0;0;0;0;0;3F;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;"
                                         "0;0;0;0;0;0;0;2A");
    QTest::newRow("integer") << "buffer2.interval" << "-2" << "-2";
    QTest::newRow("real") << "ch9.TH2" << "-0.125" << "-0.125";
    QTest::newRow("real, exponent") << "ch9.HIS2" << "1.5e3" << "1500";
    QTest::newRow("code by number") << "ch9.THT2" << "18" << "18";
    QTest::newRow("code by its text") << "ch9.THT2" << "Быстрое увеличение" << "4";
    // The display has no small soft sign: it shows the capital one.
    QTest::newRow("text") << "ch9.TEXT" << "Печь №1" << "ПечЬ №1      ";
    QTest::newRow("relay record") << "relay5" << relay << relay;
    QTest::newRow("flag") << "relays.test" << "1" << "1";
}

void CliSimTest::writeThenRead()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    QFETCH(QString, readBack);
    SimFolder s;
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const Run w = runCli({QStringLiteral("write"), name + QLatin1Char('=') + written});
    QCOMPARE(w.err, QString());
    QCOMPARE(w.status, 0);
    const QString line = name + QLatin1Char('=') + readBack + QLatin1Char('\n');
    const Run r = runCli({QStringLiteral("read"), name});
    QCOMPARE(r.out, line);
    // What read printed, written back, reads the same.
    QCOMPARE(runCli({QStringLiteral("write"), line.trimmed()}).status, 0);
    QCOMPARE(runCli({QStringLiteral("read"), name}).out, line);
}

void CliSimTest::refusedBeforeTheLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("bad value after a good one")
        << QStringList{"write", "ch9.TH1=1", "ch9.THT1=7"} << "ch9.THT1 (Тип первой уставки): «7» не код из списка";
    QTest::newRow("unknown name") << QStringList{"write", "ch9.TH1=1", "ch13.TH1=1"} << "«ch13.TH1»: нет такого параметра";
    QTest::newRow("read-only") << QStringList{"write", "buffer1.current=5"} << "параметр только читается";
    QTest::newRow("no value") << QStringList{"write", "ch9.TH1"} << "нужно ИМЯ=ЗНАЧЕНИЕ";
    QTest::newRow("real with a comma") << QStringList{"write", "ch9.TH1=1,5"} << "десятичная точка";
    QTest::newRow("pattern of nothing") << QStringList{"read", "ch9.TH1", "ch9.X*"} << "«ch9.X*»: нет такого параметра";
    QTest::newRow("unknown option") << QStringList{"read", "--jsn", "ch9.TH1"} << "неизвестный параметр «--jsn»";
    QTest::newRow("port and device") << QStringList{"read", "--port", "1", "--device", "/dev/null", "ch9.TH1"}
                                     << "--port и --device вместе";
    QTest::newRow("address out of range") << QStringList{"read", "--address", "256", "ch9.TH1"}
                                          << "не сетевой номер от 0 до 255";
    QTest::newRow("download, two ways") << QStringList{"download", "--last", "5", "--all", "--out", "x.dtl"}
                                        << "укажите одно из";
    QTest::newRow("download, no folder") << QStringList{"download", "--last", "5", "--out", "/nonexistent/x.dtl"}
                                         << "/nonexistent";
    QTest::newRow("scan, unknown speed") << QStringList{"scan", "--speeds", "4800,1234"} << "«1234» не скорость из списка";
    QTest::newRow("scan, reversed range") << QStringList{"scan", "--addresses", "20-10"} << "«20-10» не номер или диапазон";
    QTest::newRow("unknown command") << QStringList{"raed", "ch9.TH1"} << "неизвестная команда «raed»";
}

void CliSimTest::refusedBeforeTheLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    SimFolder s;
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const Run r = runCli(args);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("instrument: ")) && r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(s.framesReceived(), QStringList());
}

void CliSimTest::scan_data()
{
    // "dev.dat" says 4800 and no network number (1); the instrument runs at
    // 19200 as number 17 since its last restart.
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("error");
    const QString none = QStringLiteral("ни на одном номере");
    const QStringList f16to18 = {":16;0;", ":17;0;", ":18;0;"};
    QTest::newRow("found, the first speed silent")
        << QStringList{"--speeds", "19200,4800", "--addresses", "16-18"} << 0 << "speed=19200 netnum=17\n"
        << f16to18 + QStringList{":16;0;", ":17;0;"} << QString();
    QTest::newRow("found at the --speed and --address given, first try")
        << QStringList{"--speed", "19200", "--address", "17"} << 0 << "speed=19200 netnum=17\n" << QStringList{":17;0;"}
        << QString();
    QTest::newRow("all: the scan goes on")
        << QStringList{"--speeds", "19200,57600", "--addresses", "17,18", "--all"} << 0 << "speed=19200 netnum=17\n"
        << QStringList{":17;0;", ":18;0;", ":17;0;", ":18;0;"} << QString();
    QTest::newRow("not at 4800") << QStringList{"--speeds", "4800", "--addresses", "16-18"} << 1 << QString()
                                 << f16to18 << none;
    // Number 1 of "dev.dat" first.
    QStringList others{":1;0;"};
    for (int n = 0; n <= 18; ++n)
        if (n != 1 && n != 17)
            others << QStringLiteral(":%1;0;").arg(n);
    QTest::newRow("not at another number") << QStringList{"--speeds", "19200", "--addresses", "0-16,18"} << 1
                                           << QString() << others << none;
    QTest::newRow("a device that is not there: the first try ends it")
        << QStringList{"--device", "/dev/nonexistent-tty"} << 1 << QString() << QStringList() << "/dev/nonexistent-tty";
}

void CliSimTest::scan()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QStringList, frames);
    QFETCH(QString, error);
    SimFolder s({}, 2, QStringLiteral("instrument\naddress 17\nbaud 19200\n"));
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const Run r = runCli(QStringList{QStringLiteral("scan")} + options);
    QCOMPARE(r.out, out);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
    QStringList sent;
    for (const QString& frame : frames)
        sent << frame + QStringLiteral("\\r\\n");
    QCOMPARE(s.framesReceived(), sent);
}

void CliSimTest::noInstrument_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("another network number") << QStringList{"--address", "7"} << 7 << 1 << QString();
    QTest::newRow("a port with nothing on it") << QStringList{"--port", "2"} << 1 << 2 << QString();
    QTest::newRow("a device that is not there")
        << QStringList{"--device", "/dev/nonexistent-tty"} << 1 << 1 << "/dev/nonexistent-tty";
}

void CliSimTest::noInstrument()
{
    QFETCH(QStringList, options);
    QFETCH(int, address);
    QFETCH(int, port);
    QFETCH(QString, device);
    SimFolder s({}, 0);
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const Run r = runCli(QStringList{QStringLiteral("read")} + options + QStringList{QStringLiteral("ch9.TH1")});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QString());

    // The windows' link says the same in the same case.
    WindowsLink w;
    w.dev.bNetAdrr = quint8(address);
    w.dev.Number = quint8(port);
    w.dev.setDevicePath(device);
    const map::Param* p = w.m->find(QStringLiteral("ch9.TH1"));
    const map::Result v = map::read(*p, w.link);
    QVERIFY(!v.ok);
    QCOMPARE(r.err, QStringLiteral("instrument: %1: %2\n").arg(p->title(), v.error));
}

void CliSimTest::downloadAsMemory()
{
    testsupport::SimRig<memory::frmMain> rig({}, kState);
    const QDateTime now(QDate(2026, 12, 7), QTime(12, 30, 5));
    rig.w->setClock([now] { return now; });
    QVERIFY(rig.start());
    QTest::mouseClick(rig.w->Command1, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    const QByteArray memoryFile = rig.folder.readFile(QStringLiteral("F123005071226.dtl"));
    QVERIFY(!memoryFile.isEmpty());

    const QString out = rig.folder.file(QStringLiteral("cli.dtl"));
    const Run r = runCli({QStringLiteral("download"), QStringLiteral("--buffer"), QStringLiteral("1"),
                          QStringLiteral("--last"), QStringLiteral("100"), QStringLiteral("--out"), out});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QString());
    QCOMPARE(rig.folder.readFile(QStringLiteral("cli.dtl")), memoryFile);
    // The same frame commands as Memory's, in the same order.
    const QStringList frames = rig.received();
    QCOMPARE(frames.size(), 2 * 103);
    QCOMPARE(frames.mid(103), frames.mid(0, 103));
}

void CliSimTest::interruptedDownload()
{
    // The instrument takes its time, so the run is still going when Ctrl-C comes.
    SimFolder s({QStringLiteral("--latency"), QStringLiteral("20")});
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const QString out = s.folder.file(QStringLiteral("part.dtl"));
    QProcess p;
    p.start(QStringLiteral(INSTRUMENT_CLI), {QStringLiteral("download"), QStringLiteral("--last"),
                                             QStringLiteral("400"), QStringLiteral("--out"), out});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out).size() > 0, 60000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    dataview::DataFile data;
    QString error;
    QVERIFY2(dataview::readDataFile(out, &data, &error), qPrintable(error));
    QVERIFY(data.frames.size() >= 1 && data.frames.size() < 400);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("прервано: записано кадров %1 из 400").arg(data.frames.size())), qPrintable(err));
}

void CliSimTest::wholeBufferToCsv()
{
    SimFolder s;
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const QString dtl = s.folder.file(QStringLiteral("all.dtl"));
    const Run d = runCli({QStringLiteral("download"), QStringLiteral("--all"), QStringLiteral("--out"), dtl});
    QCOMPARE(d.status, 0);
    QVERIFY(d.err.contains(QStringLiteral("Записано кадров: 4095")));
    const Run c = runCli({QStringLiteral("csv"), dtl});
    QCOMPARE(c.status, 0);
    QCOMPARE(c.out.count(QStringLiteral("\r\n")), 4096);
    // -o writes the same, --excel the spreadsheet's form.
    const QString csv = s.folder.file(QStringLiteral("all.csv"));
    QCOMPARE(runCli({QStringLiteral("csv"), dtl, QStringLiteral("-o"), csv}).status, 0);
    QCOMPARE(s.folder.readFile(QStringLiteral("all.csv")), c.out.toUtf8());
    const Run e = runCli({QStringLiteral("csv"), QStringLiteral("--excel"), dtl});
    QVERIFY(e.outBytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(e.out.count(QStringLiteral("\r\n")), 4096);
}

static QHash<QString, QString> snapshotValues(const QByteArray& file)
{
    QHash<QString, QString> values;
    for (const QString& line : QString::fromUtf8(file).split(QLatin1Char('\n')))
        if (!line.startsWith(QLatin1Char('#')) && line.contains(QLatin1Char('=')))
            values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    return values;
}

static QSet<QString> framesBetween(const SimFolder& s, qsizetype from, qsizetype to)
{
    const QStringList frames = s.framesReceived().mid(from, to - from);
    return QSet<QString>(frames.begin(), frames.end());
}

void CliSimTest::snapshotRestoresWhatChanged_data()
{
    // Values changed after the save, in the map's order; a flag turns over.
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("safety");   // writes the restore adds
    QTest::newRow("real, code, text, integer, flag")
        << QStringList{"ch9.TH1=15.5", "ch9.THT2=18", "ch9.TEXT=Печь 2", "relays.test", "buffer2.interval=7"}
        << QStringList();
    // The simulator's analysis is on: off while the record changes, then on.
    QTest::newRow("relay record, with the analysis on")
        << QStringList{"relay5=3;0;1;0;0;0;0;0;0;0;0;0;0;0;0;3F;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;2A"}
        << QStringList{"relays.analysis=0", "relays.analysis=1"};
}

void CliSimTest::snapshotRestoresWhatChanged()
{
    QFETCH(QStringList, changes);
    QFETCH(QStringList, safety);
    SimFolder s;
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const QString file = s.folder.file(QStringLiteral("snap.txt"));
    QCOMPARE(runCli({QStringLiteral("snapshot"), QStringLiteral("save"), file}).status, 0);
    const QByteArray snapshot = s.folder.readFile(QStringLiteral("snap.txt"));
    QVERIFY(snapshot.startsWith("# "));
    const QHash<QString, QString> old = snapshotValues(snapshot);
    QVERIFY(old.contains(QStringLiteral("ch9.TH1")) && old.contains(QStringLiteral("speed")));
    QVERIFY(!old.contains(QStringLiteral("ch9.Value")) && !old.contains(QStringLiteral("buffer1.current")));

    QStringList names, before, after;
    for (const QString& change : changes) {
        const QString name = change.section(QLatin1Char('='), 0, 0);
        names << name;
        before << name + QLatin1Char('=') + old.value(name);
        after << (change.contains(QLatin1Char('=')) ? change
                                                    : name + (old.value(name) == QLatin1String("1") ? "=0" : "=1"));
    }
    // The frames the old values take when written one by one.
    const qsizetype n0 = s.framesReceived().size();
    QCOMPARE(runCli(QStringList{QStringLiteral("write")} + before + safety).status, 0);
    const qsizetype n1 = s.framesReceived().size();
    QCOMPARE(runCli(QStringList{QStringLiteral("write")} + after).status, 0);

    const qsizetype n2 = s.framesReceived().size();
    const Run differ = runCli({QStringLiteral("snapshot"), QStringLiteral("compare"), file});
    const qsizetype n3 = s.framesReceived().size();
    QCOMPARE(differ.status, 1);
    QStringList listed;
    for (const QString& line : differ.out.split(QLatin1Char('\n')))
        if (line.contains(QStringLiteral(": в A ")))
            listed << line.section(QLatin1Char(':'), 0, 0);
    QCOMPARE(listed, names);
    QVERIFY(differ.out.endsWith(QStringLiteral("Различий: %1\n").arg(names.size())));

    // A dry run reads only.
    const Run dry = runCli({QStringLiteral("snapshot"), QStringLiteral("restore"), file, QStringLiteral("--dry-run")});
    const qsizetype n4 = s.framesReceived().size();
    QCOMPARE(dry.status, 0);
    QVERIFY((framesBetween(s, n3, n4) - framesBetween(s, n2, n3)).isEmpty());
    for (const QString& name : names)
        QVERIFY2(dry.out.contains(QStringLiteral("записал бы: %1=").arg(name)), qPrintable(dry.out));

    const Run restored = runCli({QStringLiteral("snapshot"), QStringLiteral("restore"), file});
    const qsizetype n5 = s.framesReceived().size();
    QCOMPARE(restored.err, QString());
    QCOMPARE(restored.status, 0);
    // Beyond the reads, the frames of the old values' writes and no others.
    QCOMPARE(framesBetween(s, n4, n5) - framesBetween(s, n2, n3), framesBetween(s, n0, n1) - framesBetween(s, n2, n3));
    QCOMPARE(runCli({QStringLiteral("snapshot"), QStringLiteral("compare"), file}).status, 0);
}

void CliSimTest::snapshotFilesCompared_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("status");
    QTest::newRow("real, another notation") << "ch9.TH1=12.5" << "ch9.TH1=1.25e1" << 0;
    QTest::newRow("real, zeros after it") << "ch9.TH1=-0.125" << "ch9.TH1=-0.12500" << 0;
    QTest::newRow("real") << "ch9.TH1=12.5" << "ch9.TH1=12.25" << 1;
    QTest::newRow("code by its text") << "ch9.THT2=4" << "ch9.THT2=Быстрое увеличение" << 0;
    QTest::newRow("text, the blanks after it") << "ch9.TEXT=Печь" << "ch9.TEXT=Печь    " << 0;
    QTest::newRow("text") << "ch9.TEXT=Печь 1" << "ch9.TEXT=Печь 2" << 1;
    QTest::newRow("a name in one file only") << "ch9.TH1=1" << "ch9.TH1=1\nch9.TH2=1" << 1;
}

void CliSimTest::snapshotFilesCompared()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, status);
    SimFolder s;
    s.folder.writeFile(QStringLiteral("a.txt"), (a + QLatin1Char('\n')).toUtf8());
    s.folder.writeFile(QStringLiteral("b.txt"), (b + QLatin1Char('\n')).toUtf8());
    const Run r = runCli({QStringLiteral("snapshot"), QStringLiteral("compare"), s.folder.file(QStringLiteral("a.txt")),
                          s.folder.file(QStringLiteral("b.txt"))});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, status);
    QVERIFY2(r.out.endsWith(QStringLiteral("Различий: %1\n").arg(status)), qPrintable(r.out));
    QCOMPARE(s.framesReceived(), QStringList());
}

void CliSimTest::snapshotFileRefused_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown name") << "ch13.TH1=1" << "строка 3: «ch13.TH1»: нет такого параметра";
    QTest::newRow("out of range") << "ch9.THT1=7" << "строка 3: ch9.THT1 (Тип первой уставки): «7» не код из списка";
    QTest::newRow("a live value") << "ch9.Value=1" << "в снимок не входит";
    QTest::newRow("no value") << "ch9.TH1" << "нужно ИМЯ=ЗНАЧЕНИЕ";
}

void CliSimTest::snapshotFileRefused()
{
    QFETCH(QString, line);
    QFETCH(QString, message);
    SimFolder s;
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    s.folder.writeFile(QStringLiteral("bad.txt"), ("# bad\nch9.TH1=1\n" + line + "\n").toUtf8());
    const QString file = s.folder.file(QStringLiteral("bad.txt"));
    for (const QStringList& args : {QStringList{"snapshot", "restore", file}, QStringList{"snapshot", "compare", file}}) {
        const Run r = runCli(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
    }
    QCOMPARE(s.framesReceived(), QStringList());
}

void CliSimTest::snapshotRestoreCutOff()
{
    // The adapter is pulled at the second real's verified write, and stays
    // pulled for every try after it.
    SimFolder s({QStringLiteral("--fault"), QStringLiteral("unplug:cmd=15:after=1")});
    QVERIFY2(s.sim->isRunning(), qPrintable(s.sim->startError()));
    const QString relay = QStringLiteral("3;0;1;0;0;0;0;0;0;0;0;0;0;0;0;3F;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;"
                                         "0;0;0;0;0;0;0;2A");
    s.folder.writeFile(QStringLiteral("snap.txt"),
                       ("ch9.TH1=1.5\nch9.TH2=2.5\nch9.HIS2=3.5\nrelay5=" + relay + "\n").toUtf8());
    const QStringList restore{QStringLiteral("snapshot"), QStringLiteral("restore"), s.folder.file(QStringLiteral("snap.txt"))};
    // The file does not name the analysis: it is turned back to the instrument's own value.
    const Run dry = runCli(restore + QStringList{QStringLiteral("--dry-run")});
    QVERIFY2(dry.out.contains(QStringLiteral("записал бы: relays.analysis=1 (было 1, на время записи реле 0)\n")),
             qPrintable(dry.out));
    const Run r = runCli(restore);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QStringLiteral("записано: ch9.TH1=1.5 (было 12.5)\n"));
    QVERIFY2(r.err.contains(QStringLiteral("; восстановление остановлено, записано: ch9.TH1; не записано: ch9.TH2, "
                                           "ch9.HIS2, relay5, relays.analysis, перезагрузка логики прибора\n")),
             qPrintable(r.err));
}

void CliSimTest::snapshotCloned()
{
    // A second instrument at network number 7 with other setpoints.
    SimFolder a;
    QVERIFY2(a.sim->isRunning(), qPrintable(a.sim->startError()));
    a.folder.writeFile(QStringLiteral("b-state.txt"), "instrument\naddress 7\ncpu 1 7\nreal 9 99.5\nint d0 3\n");
    testsupport::SimProcess b({QStringLiteral("--state"), a.folder.file(QStringLiteral("b-state.txt"))});
    QVERIFY2(b.isRunning(), qPrintable(b.startError()));
    const QString file = a.folder.file(QStringLiteral("a.txt"));
    QCOMPARE(runCli({QStringLiteral("snapshot"), QStringLiteral("save"), file}).status, 0);
    const QStringList toB{QStringLiteral("--device"), b.linkPath(), QStringLiteral("--address"), QStringLiteral("7")};
    const QStringList compare{QStringLiteral("snapshot"), QStringLiteral("compare"), file};
    const Run before = runCli(compare + toB);
    QCOMPARE(before.status, 1);
    QVERIFY2(before.out.contains(QStringLiteral("ch9.TH1: в A «12.5», в приборе «99.5»\n")), qPrintable(before.out));
    const Run restored = runCli(QStringList{QStringLiteral("snapshot"), QStringLiteral("restore"), file} + toB);
    QCOMPARE(restored.err, QString());
    QCOMPARE(restored.status, 0);
    // Equal but for the network number, which is listed, not counted.
    const Run after = runCli(compare + toB);
    QCOMPARE(after.out, QStringLiteral("netnum: в A «1», в приборе «7» — параметр порта (меняется в Commission), "
                                       "в число различий не входит\nРазличий: 0\n"));
    QCOMPARE(after.status, 0);
}

QTEST_MAIN(CliSimTest)
#include "tst_cli_sim.moc"
