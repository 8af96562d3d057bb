// The link on a real pseudo-terminal through Qt SerialPort: late bytes are
// not taken for an answer, an answer read in pieces is read whole, silence
// is no answer, and a vanished device is reported as such. What waiting costs is measured by bench_link.

#include "dev.h"
#include "programdir.h"
#include "pty.h"

#include <QFile>
#include <QtTest>
#include <sys/ioctl.h>
#include <thread>

using linktest::Pty;

class TstRealPort : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void answeredOverPty_data();
    void answeredOverPty();
    void silenceIsNoAnswer_data();
    void silenceIsNoAnswer();
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

void TstRealPort::answeredOverPty_data()
{
    QTest::addColumn<bool>("commandPath");
    QTest::addColumn<QByteArrayList>("pieces"); // each read by the link before the next comes
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("baud");
    QTest::newRow("address path") << false << QByteArrayList{"!1F;\r\n"} << "31" << 4800;
    QTest::newRow("address path, a byte at a time") << false << QByteArrayList{"\n", "!", "1", "F", ";", "\r", "\n"}
                                                    << "31" << 4800;
    QTest::newRow("command path, pieces across the phases") << true << QByteArrayList{"!", "1", "F;", "\r\n"}
                                                            << "!1F;\r\n" << 4800;
    // A fast line: the rest of the answer gathers between reads.
    QTest::newRow("command path at 57600") << true << QByteArrayList{"!", "1", "F;", "\r\n"} << "!1F;\r\n" << 57600;
    // An answer that never ends is ended by the time-out all the same.
    QTest::newRow("command path, no CR") << true << QByteArrayList{"!", "1", "F;"} << "!1F;" << 4800;
}

void TstRealPort::answeredOverPty()
{
    QFETCH(bool, commandPath);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, result);
    QFETCH(int, baud);
    Pty pty;
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    bringUp(folder, dev, pty, QStringLiteral("1"));
    dev.Settings = QStringLiteral("%1,N,8,2").arg(baud);
    // A late answer to an earlier call waits in the line before this call.
    pty.send("!99;\r\n");
    QByteArray frame;
    std::thread instrumentSide([&] {
        frame = pty.readFrame();
        for (const QByteArray& piece : pieces) {
            pty.send(piece);
            // The line shows the piece, then that the link has taken it.
            const auto pending = [&] {
                int n = 0;
                return ::ioctl(pty.slave, FIONREAD, &n) == 0 ? n : 0;
            };
            QElapsedTimer waited;
            waited.start();
            while (pending() == 0 && waited.elapsed() < 20)
                QThread::usleep(100);
            while (pending() > 0 && waited.elapsed() < 5000)
                QThread::usleep(100);
        }
    });
    const QString r = commandPath ? dev.sPortSR(QStringLiteral(":1;14;1518;"))
                                  : dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    instrumentSide.join();
    QCOMPARE(frame, QByteArray(":1;14;1518;\r\n"));
    QCOMPARE(r, result);
}

void TstRealPort::silenceIsNoAnswer_data()
{
    QTest::addColumn<bool>("commandPath");
    QTest::newRow("address path") << false;
    QTest::newRow("command path") << true;
}

void TstRealPort::silenceIsNoAnswer()
{
    QFETCH(bool, commandPath);
    Pty pty;
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    bringUp(folder, dev, pty, QStringLiteral("0,75"));
    if (commandPath) {
        QCOMPARE(dev.sSendCommand(34, QString(), QString()), QString());
        QCOMPARE(dev.COMError, quint8(4));
    } else {
        QCOMPARE(dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("Прибор не отвечает"));
    }
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
    const QString r = dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
    instrumentSide.join();
    QVERIFY2(r.startsWith(instrument::kSystemErrorPrefix), qPrintable(r));
    // It names the device that went, not what an earlier call to the line said.
    QVERIFY2(r.contains(device) && !r.contains(QStringLiteral("ioctl")), qPrintable(r));

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
