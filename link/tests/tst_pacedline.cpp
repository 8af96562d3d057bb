// The link on the simulator's paced line: the answer's bytes come at the
// line's own rate, so the LF after an answer's CR may still be on its way
// when the next call opens the port.

#include "dev.h"
#include "programdir.h"
#include "qtserialport.h"
#include "simprocess.h"

#include <QLineEdit>
#include <QThread>
#include <QtTest>

namespace {

// A USB adapter hands the bytes it received to the PC in batches, once per
// latency period: after a frame goes out, whatever came in that period
// (the late LF and the start of the answer) is taken in one read. Played by
// a real port that holds its input back for that long after each write.
class BatchingPort : public instrument::QtSerialPort {
public:
    explicit BatchingPort(int latencyMs) : m_latencyMs(latencyMs) {}
    bool write(const QByteArray& bytes, QString* error) override
    {
        const bool ok = QtSerialPort::write(bytes, error);
        QThread::msleep(m_latencyMs);
        return ok;
    }

private:
    int m_latencyMs;
};

} // namespace

class TstPacedLine : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void lateLineFeedIsNotTheNextAnswersEnd_data();
    void lateLineFeedIsNotTheNextAnswersEnd();
};

void TstPacedLine::lateLineFeedIsNotTheNextAnswersEnd_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("latencyMs");
    // The LF is one character time behind the CR, the next answer's "!"
    // one more behind it; the latency takes in both.
    QTest::newRow("1200 baud, 30 ms batches") << "1200,N,8,2" << 30;
    QTest::newRow("2400 baud, 16 ms batches") << "2400,N,8,2" << 16;
    QTest::newRow("4800 baud, no batches") << "4800,N,8,2" << 0;
}

void TstPacedLine::lateLineFeedIsNotTheNextAnswersEnd()
{
    QFETCH(QString, settings);
    QFETCH(int, latencyMs);
    testsupport::SimProcess sim({QStringLiteral("--pace")});
    QVERIFY2(sim.isRunning(), qPrintable(sim.startError()));
    testsupport::ProgramFolder folder;
    testsupport::SimDevDat d;
    d.link = sim.linkPath();
    d.rereadings = 0;
    d.timeOut = 2;
    d.settings = settings;
    testsupport::writeSimDevDat(folder, d);
    instrument::Dev dev;
    dev.setPort(std::make_unique<BatchingPort>(latencyMs));
    QVERIFY2(dev.Form_Load(), qPrintable(dev.loadError()));
    dev.bNetAdrr = 1;
    int bad = 0;
    QString first;
    // Writes, reads back and clock reads in turn, none of them repeated.
    for (int i = 0; i < 45; ++i) {
        const QString value = QString::number(100 + i / 3);
        QString r;
        bool good = false;
        switch (i % 3) {
        case 0:
            r = dev.sCOMPort(13, QStringLiteral("3"), QString::number(100 + i / 3, 16).toUpper());
            good = r == QLatin1String("OK");
            break;
        case 1:
            r = dev.sCOMPort(14, QStringLiteral("3"), QStringLiteral("0"));
            good = r == value;
            break;
        default:
            r = dev.sSendCommand(34, QString(), QString());
            good = dev.COMError == 0;
            break;
        }
        if (!good) {
            ++bad;
            if (first.isEmpty())
                first = QStringLiteral("call %1 gave \"%2%3\" on %4").arg(i).arg(r, dev.sErrorMsg,
                            QString::fromLatin1(dev.COMOut->text().toUtf8().toPercentEncoding()));
        }
    }
    QVERIFY2(bad == 0, qPrintable(QStringLiteral("%1 bad, first %2").arg(bad).arg(first)));
}

QTEST_MAIN(TstPacedLine)
#include "tst_pacedline.moc"
