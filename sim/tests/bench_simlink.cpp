// Benchmark of the link against the simulator over a real pseudo-terminal:
// how long a call takes when the line is silent, slow, paced at the baud
// rate or pulled out. Each prints what it measured beside what the suite
// aims at, and fails when it is missed. Not part of the test run: start it
// by hand on a quiet machine (build/tests/bench_simlink).

#include "benchmain.h"
#include "simlinkrig.h"

#include <QElapsedTimer>
#include <functional>

using simlinktest::Rig;

namespace {

qint64 elapsedMs(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.elapsed();
}

} // namespace

class SimLinkBenchmark : public QObject {
    Q_OBJECT
private slots:
    void addressPathFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("minMs");
        // Three attempts of two phases of 0.5 s.
        QTest::newRow("silence") << "silence" << 2500;
        QTest::newRow("split") << "split:ms=60" << 100;
        // The answer without its CR ends with the time-out.
        QTest::newRow("no final CR") << "nocr" << 450;
        QTest::newRow("short delay") << "delay:ms=200" << 180;
        QTest::newRow("delay past both phases") << "delay:ms=1200" << 1000;
    }
    void addressPathFaults()
    {
        QFETCH(QString, fault);
        QFETCH(int, minMs);
        Rig rig({QStringLiteral("--fault"), fault});
        QVERIFY(rig.load());
        const qint64 ms = elapsedMs([&] { rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0")); });
        qInfo("%s: %lld ms (at least %d wanted)", qPrintable(fault), ms, minMs);
        QVERIFY(ms >= minMs);
    }

    void unplugged_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("commandPath");
        QTest::newRow("address path") << "unplug:once:ms=300" << false;
        QTest::newRow("command path") << "unplug:ms=2000" << true;
    }
    // The adapter is pulled: the call ends at once, not at its time-out of 2 s.
    void unplugged()
    {
        QFETCH(QString, fault);
        QFETCH(bool, commandPath);
        Rig rig({QStringLiteral("--fault"), fault}, 2.0);
        QVERIFY(rig.load());
        const qint64 ms = elapsedMs([&] {
            if (commandPath)
                rig.dev.sSendCommand(34, QString(), QString());
            else
                rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
        });
        qInfo("unplugged: %lld ms (under 2000 wanted)", ms);
        QVERIFY(ms < 2000);
    }

    // The readings at 2400 baud take at least their line time, 11 bit times a character.
    void pacedAnswer()
    {
        Rig rig({QStringLiteral("--pace")});
        QVERIFY(rig.load());
        rig.dev.Settings = QStringLiteral("2400,N,8,2");
        QString r;
        const qint64 ms = elapsedMs([&] { r = rig.dev.sSendCommand(423, QString(), QStringLiteral("c")); });
        QCOMPARE(rig.dev.COMError, quint8(0));
        const qint64 lineMs = qint64(r.size()) * 11 * 1000 / 2400;
        qInfo("paced readings: %lld ms for %lld ms of line time", ms, lineMs);
        QVERIFY(ms >= lineMs * 9 / 10);
    }

    void pacedRequestAndLatency_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("paced");
        QTest::addColumn<int>("latency");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("paced") << QStringList{QStringLiteral("--pace")} << true << 0 << 1500;
        QTest::newRow("slow") << QStringList{QStringLiteral("--latency"), QStringLiteral("400")} << false << 400 << 1500;
        QTest::newRow("paced and slow")
            << QStringList{QStringLiteral("--pace"), QStringLiteral("--latency"), QStringLiteral("300")} << true << 300 << 2000;
        QTest::newRow("neither") << QStringList{} << false << 0 << -1;
    }
    // A relay record at 2400 baud: a long request, a short confirmation.
    void pacedRequestAndLatency()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, paced);
        QFETCH(int, latency);
        QFETCH(int, maxMs);
        QString record = QStringLiteral("0");
        for (int i = 0; i < 49; ++i)
            record += QStringLiteral(";0");
        const QString frame = QStringLiteral(":1;35;") + record + QStringLiteral(";\r\n");
        const qint64 requestMs = qint64(frame.size()) * 11 * 1000 / 2400;
        const qint64 answerMs = qint64(QByteArray("!OK;\r\n").size()) * 11 * 1000 / 2400;
        const qint64 minMs = (paced ? requestMs + answerMs : 0) + latency;
        // Unpaced and prompt, the call is over before the request could
        // have gone at 2400 baud.
        const qint64 upTo = maxMs < 0 ? requestMs : maxMs;

        Rig rig(args, 2.0, 0);
        QVERIFY(rig.load());
        rig.dev.Settings = QStringLiteral("2400,N,8,2");
        QString result;
        const qint64 ms = elapsedMs([&] { result = rig.dev.sCOMPort(35, QString(), record); });
        qInfo("%s: %lld ms, from %lld to %lld ms wanted", qPrintable(args.join(QLatin1Char(' '))), ms, minMs, upTo);
        QCOMPARE(result, QStringLiteral("OK"));
        QVERIFY(ms >= minMs * 95 / 100);
        QVERIFY(ms < upTo);
    }
};

SUITE_BENCH_MAIN(SimLinkBenchmark)
#include "bench_simlink.moc"
