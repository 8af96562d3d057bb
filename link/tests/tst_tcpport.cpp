// The link through a serial device server: a real ser2net, started here in
// the foreground on 127.0.0.1, in front of the simulator's pseudo-terminal.

#include "dev.h"
#include "programdir.h"
#include "simprocess.h"
#include "systemfile.h"

#include <QFile>
#include <QTcpServer>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

using testsupport::SimProcess;

namespace {

// A port on 127.0.0.1 that nothing listens on now.
quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// Whether something listens on 127.0.0.1:port, from the system's table of
// sockets (a probing connection would make ser2net open the line).
bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 3 && f[1] == local && f[3] == "0A")
            return true;
    }
    return false;
}

// ser2net with one connection, accepter the given kind, in front of device.
struct Ser2net {
    Ser2net(const QString& kind, const QString& device, const QString& line)
    {
        port = freePort();
        const QString accepter = kind == QLatin1String("rfc2217") ? QStringLiteral("telnet(rfc2217),tcp") : QStringLiteral("tcp");
        QFile yaml(dir.filePath(QStringLiteral("ser2net.yaml")));
        started = yaml.open(QIODevice::WriteOnly) && yaml.write(QStringLiteral("connection: &instrument\n"
                                  "  accepter: %1,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,%4,local\n"
                                  "  options:\n"
                                  "    kickolduser: true\n")
                       .arg(accepter).arg(port).arg(device, line).toUtf8()) > 0;
        yaml.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral("ser2net"), {QStringLiteral("-n"), QStringLiteral("-c"), yaml.fileName(), QStringLiteral("-d")});
        started = started && process.waitForStarted(10000);
    }
    ~Ser2net()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QString url(const QString& kind) const { return QStringLiteral("%1://127.0.0.1:%2").arg(kind).arg(port); }

    QTemporaryDir dir;
    QProcess process;
    quint16 port = 0;
    bool started = false;
};

// The simulator whose instrument runs at baud, and the link's folder.
struct Rig {
    explicit Rig(int baud, const QStringList& simArgs = {})
        : sim(QStringList{QStringLiteral("--state"), stateFile(baud)} + simArgs)
    {
    }
    QString stateFile(int baud)
    {
        QFile f(state.filePath(QStringLiteral("state.txt")));
        if (f.open(QIODevice::WriteOnly))
            f.write("instrument\nbaud " + QByteArray::number(baud) + "\n");
        return f.fileName();
    }
    bool load(const QString& path, const QString& settings, double timeOut)
    {
        testsupport::writeSimDevDat(folder, {path, timeOut, 0, true, settings, {}});
        const bool loaded = dev.Form_Load();
        dev.bNetAdrr = 1;
        return loaded;
    }

    QTemporaryDir state;
    SimProcess sim;
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
};

} // namespace

class TstTcpPort : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void exchanges_data();
    void exchanges();
    void failures_data();
    void failures();
};

void TstTcpPort::exchanges_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("serverLine");   // as the server sets the line
    QTest::addColumn<QString>("linkSettings");
    QTest::addColumn<int>("instrumentBaud");
    QTest::addColumn<QString>("lineSeen");     // by the instrument's side
    // A raw port passes bytes only: the line runs as the server set it.
    QTest::newRow("tcp") << "tcp" << "9600n82" << "4800,N,8,2" << 9600 << "9600 baud 8N2";
    // RFC 2217: the link's settings reach the far line, whatever the server's
    // (a pseudo-terminal keeps the speed and stop bits, not parity or data bits).
    QTest::newRow("rfc2217") << "rfc2217" << "4800n82" << "19200,N,8,1" << 19200 << "19200 baud 8N1";
}

void TstTcpPort::exchanges()
{
    QFETCH(QString, kind);
    QFETCH(QString, serverLine);
    QFETCH(QString, linkSettings);
    QFETCH(int, instrumentBaud);
    QFETCH(QString, lineSeen);
    Rig rig(instrumentBaud);
    QVERIFY2(rig.sim.isRunning(), qPrintable(rig.sim.startError()));
    Ser2net server(kind, rig.sim.slavePath(), serverLine);
    QVERIFY2(server.started, "ser2net did not start: is it installed (scripts/install-deps.sh)?");
    QTRY_VERIFY_WITH_TIMEOUT(listening(server.port), 10000);
    QVERIFY2(rig.load(server.url(kind), linkSettings, 2), qPrintable(rig.dev.loadError()));

    // The reading cycle's exchange, then a verified write (two exchanges,
    // two connections) and its independent read back.
    const QString readings = rig.dev.sSendCommand(423, QString(), QStringLiteral("c"));
    QVERIFY2(rig.dev.COMError == 0, qPrintable(rig.dev.sErrorMsg));
    QCOMPARE(readings.mid(22).count(QLatin1Char(';')), 12);
    QCOMPARE(rig.dev.sWriteAndRead(13, QStringLiteral("3"), QStringLiteral("C")), QStringLiteral("OK"));
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("3"), QStringLiteral("0")), QStringLiteral("12"));
    QCOMPARE(rig.sim.transcript(QStringLiteral("> ")).size(), 4);
    QVERIFY2(rig.sim.transcript(QStringLiteral("# ")).contains(QStringLiteral("line set to ") + lineSeen),
             qPrintable(rig.sim.transcript().join(QLatin1Char('\n'))));
}

void TstTcpPort::failures_data()
{
    QTest::addColumn<QString>("kind");        // of the link's path
    QTest::addColumn<QString>("server");      // none, tcp or rfc2217
    QTest::addColumn<bool>("killMidExchange");
    QTest::addColumn<bool>("addressPath");
    QTest::addColumn<QString>("message");     // after the prefix and the path
    const QString refused = QStringLiteral(" (COM1): ") + instrument::systemReason(ECONNREFUSED);
    QTest::newRow("tcp, nothing listens") << "tcp" << "none" << false << false << refused;
    QTest::newRow("rfc2217, nothing listens") << "rfc2217" << "none" << false << true << refused;
    QTest::newRow("tcp, server killed") << "tcp" << "tcp" << true << false << " разорвано: сервер закрыл соединение";
    QTest::newRow("rfc2217, server killed") << "rfc2217" << "rfc2217" << true << true << " разорвано: сервер закрыл соединение";
    QTest::newRow("rfc2217 to a raw port")
        << "rfc2217" << "tcp" << false << true << " (COM1) не подтвердил настройки линии за 1 с (это порт telnet с RFC 2217?)";
}

void TstTcpPort::failures()
{
    QFETCH(QString, kind);
    QFETCH(QString, server);
    QFETCH(bool, killMidExchange);
    QFETCH(bool, addressPath);
    QFETCH(QString, message);
    // The instrument answers late: only the lost connection can end the wait
    // before the time-out, which would say "no answer" instead.
    Rig rig(4800, killMidExchange ? QStringList{QStringLiteral("--latency"), QStringLiteral("600000")} : QStringList{});
    QVERIFY2(rig.sim.isRunning(), qPrintable(rig.sim.startError()));
    std::unique_ptr<Ser2net> s;
    quint16 port = freePort();
    if (server != QLatin1String("none")) {
        s = std::make_unique<Ser2net>(server, rig.sim.slavePath(), QStringLiteral("4800n82"));
        QVERIFY(s->started);
        QTRY_VERIFY_WITH_TIMEOUT(listening(s->port), 10000);
        port = s->port;
    }
    const QString path = QStringLiteral("%1://127.0.0.1:%2").arg(kind).arg(port);
    QVERIFY(rig.load(path, QStringLiteral("4800,N,8,2"), killMidExchange ? 60 : 1));
    // Once the simulator has the frame, the server goes.
    std::atomic<bool> done{false};
    const qint64 pid = s ? s->process.processId() : 0;
    std::thread killer([&done, &rig, pid, killMidExchange] {
        while (killMidExchange && !done && rig.sim.transcript(QStringLiteral("> ")).isEmpty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (killMidExchange)
            ::kill(pid_t(pid), SIGKILL);
    });
    const QString got = addressPath ? rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"))
                                    : (rig.dev.sSendCommand(423, QString(), QStringLiteral("c")), rig.dev.sErrorMsg);
    done = true;
    killer.join();
    QVERIFY(addressPath || rig.dev.COMError == 2);
    QVERIFY2(got.startsWith(instrument::kSystemErrorPrefix) && got.endsWith(path + message), qPrintable(got));
}

QTEST_MAIN(TstTcpPort)
#include "tst_tcpport.moc"
