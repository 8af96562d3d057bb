// The link on a real pseudo-terminal through Qt SerialPort: waiting costs no
// CPU, late bytes are not taken for an answer, and a vanished device ends the
// call at once.

#include "cputime.h"
#include "dev.h"
#include "programdir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

// The instrument's side of the line.
struct Pty {
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        slavePath = QString::fromLocal8Bit(ptsname(master));
        // Held open so the master does not see a hang-up between exchanges.
        slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
        ::close(slave);
    }
    // Reads one frame (up to LF) with a time limit.
    QByteArray readFrame(int ms = 5000)
    {
        QByteArray frame;
        QElapsedTimer t;
        t.start();
        while (!frame.endsWith('\n') && t.elapsed() < ms) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buf[256];
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0)
                    frame.append(buf, n);
            }
        }
        return frame;
    }
    void send(const QByteArray& bytes) { QVERIFY(::write(master, bytes.constData(), bytes.size()) == bytes.size()); }

    int master = -1;
    int slave = -1;
    QString slavePath;
};

} // namespace

class TstRealPort : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void answeredOverPty();
    void silenceUsesAlmostNoCpu_data();
    void silenceUsesAlmostNoCpu();
    void unpluggedMidAnswer();
    void missingDevice();

private:
    void bringUp(testsupport::ProgramFolder& folder, instrument::Dev& dev, const Pty& pty, const QString& timeOut);
};

void TstRealPort::bringUp(testsupport::ProgramFolder& folder, instrument::Dev& dev, const Pty& pty, const QString& timeOut)
{
    folder.writeDevDat(QStringLiteral("[PORTS]\nCOM1=%1\n[SETTINGS]\nTimeOut=%2\nNOfRereadings=1\n").arg(pty.slavePath, timeOut));
    QVERIFY2(dev.Form_Load(), qPrintable(dev.loadError()));
    dev.bNetAdrr = 1;
}

void TstRealPort::answeredOverPty()
{
    Pty pty;
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    bringUp(folder, dev, pty, QStringLiteral("2"));
    // A late answer to an earlier call waits in the line before this call.
    pty.send("!99;\r\n");
    QByteArray frame;
    std::thread instrumentSide([&] {
        frame = pty.readFrame();
        pty.send("!1F;\r\n");
    });
    const QString r = dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    instrumentSide.join();
    QCOMPARE(frame, QByteArray(":1;14;1518;\r\n"));
    QCOMPARE(r, QStringLiteral("31"));
}

void TstRealPort::silenceUsesAlmostNoCpu_data()
{
    QTest::addColumn<bool>("commandPath");
    QTest::newRow("address path") << false;
    QTest::newRow("command path") << true;
}

void TstRealPort::silenceUsesAlmostNoCpu()
{
    QFETCH(bool, commandPath);
    Pty pty;
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    bringUp(folder, dev, pty, QStringLiteral("0,75"));
    QElapsedTimer wall;
    const double cpuBefore = testsupport::processCpuSeconds();
    wall.start();
    if (commandPath) {
        QCOMPARE(dev.sSendCommand(34, QString(), QString()), QString());
        QCOMPARE(dev.COMError, quint8(4));
    } else {
        QCOMPARE(dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("Прибор не отвечает"));
    }
    const qint64 wallMs = wall.elapsed();
    const double cpuMs = (testsupport::processCpuSeconds() - cpuBefore) * 1000;
    // Two attempts of two phases of 0.75 s.
    QVERIFY2(wallMs >= 2900 && wallMs < 4500, qPrintable(QString::number(wallMs)));
    QVERIFY2(cpuMs < 0.05 * wallMs, qPrintable(QStringLiteral("cpu %1 ms of %2 ms").arg(cpuMs).arg(wallMs)));
}

void TstRealPort::unpluggedMidAnswer()
{
    Pty pty;
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    // The port is reached by a name of its own that goes with the device, as
    // a USB adapter's does: once the terminal is closed its number may be
    // handed to another test's terminal, which the second half must not reach.
    const QString device = folder.file("ttyUSB0");
    QVERIFY(QFile::link(pty.slavePath, device));
    folder.writeDevDat(QStringLiteral("[PORTS]\nCOM1=%1\n[SETTINGS]\nTimeOut=5\nNOfRereadings=1\n").arg(device));
    QVERIFY2(dev.Form_Load(), qPrintable(dev.loadError()));
    dev.bNetAdrr = 1;
    std::thread instrumentSide([&] {
        pty.readFrame();
        pty.send("!1");
        QFile::remove(device);
        ::close(pty.master);
        ::close(pty.slave);
        pty.master = -1;
        pty.slave = ::open("/dev/null", O_RDONLY);
    });
    QElapsedTimer wall;
    const double cpuBefore = testsupport::processCpuSeconds();
    wall.start();
    const QString r = dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
    const qint64 wallMs = wall.elapsed();
    const double cpuMs = (testsupport::processCpuSeconds() - cpuBefore) * 1000;
    instrumentSide.join();
    QVERIFY2(r.startsWith(instrument::kSystemErrorPrefix), qPrintable(r));
    // It names the device that went, not what an earlier call to the line said.
    QVERIFY2(r.contains(device) && !r.contains(QStringLiteral("ioctl")), qPrintable(r));
    QVERIFY2(wallMs < 2000, qPrintable(QString::number(wallMs)));
    QVERIFY2(cpuMs < 500, qPrintable(QString::number(cpuMs)));

    // The command path reports it as a system error too, for every attempt.
    QCOMPARE(dev.sSendCommand(34, QString(), QString()), QString());
    QCOMPARE(dev.COMError, quint8(2));
    QVERIFY(dev.sErrorMsg.startsWith(instrument::kSystemErrorPrefix));
}

void TstRealPort::missingDevice()
{
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[PORTS]\nCOM1=%1\n").arg(folder.file(QStringLiteral("no-such-tty"))));
    instrument::Dev dev;
    QVERIFY(dev.Form_Load());
    const QString r = dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
    // On the address path the result reads as one sentence: the prefix, the
    // device with the port number the user chose, and what is wrong with it.
    QCOMPARE(r, instrument::kSystemErrorPrefix
                    + QStringLiteral("порт %1 (COM1) не найден").arg(folder.file(QStringLiteral("no-such-tty"))));
}

QTEST_MAIN(TstRealPort)
#include "tst_realport.moc"
