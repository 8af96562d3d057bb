// The readings monitor against the instrument simulator over a
// pseudo-terminal: what goes over the line and what the window shows, also
// while the instrument is silent or slow (what that costs the processor:
// bench_reader).

#include "reader_window.h"
#include "messages.h"
#include "programdir.h"
#include "simprocess.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using reader::Main_Reader;

namespace {

// The text after "!" of the last answer the simulator sent, line end cut.
QString lastAnswer(const testsupport::SimProcess& sim)
{
    const QStringList answers = sim.transcript(QStringLiteral("< "));
    if (answers.isEmpty())
        return QString();
    QString a = answers.last();
    a = a.mid(a.indexOf(QLatin1Char('!')) + 1);
    return a.left(a.indexOf(QLatin1String("\\r")));
}

} // namespace

class TestReaderSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readsTheSimulator();
    void silentOrSlowInstrument_data();
    void silentOrSlowInstrument();
};

void TestReaderSim::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestReaderSim::readsTheSimulator()
{
    testsupport::SimProcess sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.startError()));
    testsupport::ProgramFolder folder;
    testsupport::SimDevDat settings;
    settings.link = sim.linkPath();
    testsupport::writeSimDevDat(folder, settings);
    testsupport::MessageAnswerer messages;

    Main_Reader w;
    QVERIFY(w.Form_Load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setPauses(50, 50);
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    QTest::mouseClick(w.Read, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(cycles.size() >= 3, 20000);
    // Stop from within a cycle, so the last answer is the one shown.
    connect(&w, &Main_Reader::cycleFinished, &w, [&] {
        if (w.Read->text() == QStringLiteral("Остановить чтение"))
            w.Read->click();
    });
    QTRY_COMPARE_WITH_TIMEOUT(w.Read->text(), QStringLiteral("Начать чтение"), 10000);
    for (const QList<QVariant>& c : cycles)
        QVERIFY(c.at(0).toBool());
    QVERIFY2(!w.lError->isVisible(), qPrintable(w.lError->text()));
    QVERIFY(messages.messages().isEmpty());

    const QStringList frames = sim.transcript(QStringLiteral("> "));
    QCOMPARE(frames.size(), int(cycles.size()));
    for (const QString& f : frames)
        QCOMPARE(f, QStringLiteral(":1;423;c;\\r\\n"));

    // The first channel of each module shows the simulator's last answer.
    // The simulator notes an answer once its last byte is written, so the
    // program may have shown it before the note is there.
    QTRY_COMPARE(sim.transcript(QStringLiteral("< ")).size(), frames.size());
    const QString answer = lastAnswer(sim);
    const QStringList fields = answer.mid(22).split(QLatin1Char(';'));
    QVERIFY2(fields.size() >= 12, qPrintable(answer));
    for (int module = 0; module < 2; ++module) {
        const QString field = fields[6 * module];
        bool ok = false;
        const double value = field.mid(2).toDouble(&ok);
        QVERIFY2(ok, qPrintable(field));
        const QString shown = w.Greed->item(1 + module, 1)->text();
        // Written in the comma locale: never with the instrument's point
        // (a value such as 136.0 shows as 136, with no separator at all).
        QVERIFY2(!shown.contains(QLatin1Char('.')), qPrintable(shown));
        QCOMPARE(QLocale().toDouble(shown, &ok), value);
        QVERIFY2(ok, qPrintable(shown));
        QCOMPARE(w.Greed->item(1 + module, 2)->text(), field.left(1));
    }

    // After the stop the line stays quiet.
    QVERIFY(!cycles.wait(500));
    QCOMPARE(sim.transcript(QStringLiteral("> ")).size(), frames.size());
}

void TestReaderSim::silentOrSlowInstrument_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("answers");

    // Each silent cycle waits out two time-outs of 3 s, then pauses 2 s.
    QTest::newRow("silent instrument") << QStringLiteral("silence") << false;
    // Each slow cycle waits 2.5 s for the answer, then pauses 1 s.
    QTest::newRow("slow instrument") << QStringLiteral("delay:ms=2500") << true;
}

void TestReaderSim::silentOrSlowInstrument()
{
    QFETCH(QString, fault);
    QFETCH(bool, answers);

    testsupport::SimProcess sim({QStringLiteral("--fault"), fault});
    QVERIFY2(sim.isRunning(), qPrintable(sim.startError()));
    testsupport::ProgramFolder folder;
    testsupport::SimDevDat settings;
    settings.link = sim.linkPath();
    settings.timeOut = 3;
    testsupport::writeSimDevDat(folder, settings);

    Main_Reader w;
    QVERIFY(w.Form_Load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy cycles(&w, &Main_Reader::cycleFinished);

    QTest::mouseClick(w.Read, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(cycles.size() >= 2, 60000);
    QTest::mouseClick(w.Read, Qt::LeftButton);

    for (const QList<QVariant>& c : cycles)
        QCOMPARE(c.at(0).toBool(), answers);
}

QTEST_MAIN(TestReaderSim)
#include "tst_reader_sim.moc"
