// The link against the simulator over a real pseudo-terminal: the two sides
// are built independently, so a disagreement between them shows here.

#include "dev.h"
#include "model.h"
#include "numbers.h"
#include "programdir.h"
#include "simlinkrig.h"
#include "simprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using testsupport::ProgramFolder;
using testsupport::SimDevDat;
using testsupport::SimProcess;
using simlinktest::Rig;

namespace {

const QString kNoAnswer = QStringLiteral("Прибор не отвечает");
const QString kDeviceError = QStringLiteral("Прибор выдает ошибку");
const QString kBadForm = QStringLiteral("Получен ответ неправильного формата");
const QString kNaN = QStringLiteral("В памяти прибора по данному адресу находится чило в неверном формате");
const QString kReadingsBadForm = QStringLiteral("Пришел ответ неправильного формата");
const QString kNotWritten = QStringLiteral("Не удалось записать в прибор");
const QString kBadNumber = QStringLiteral("Из прибора пришло число в неправильном формате");
const QString kMismatch = QStringLiteral("Не совпадение прочитанного с тем, что записали.");

QString sep()
{
    return instrument::localeDecimalSeparator();
}

} // namespace

class TestSimLink : public QObject {
    Q_OBJECT
private slots:
    void addressPathReadAndVerifiedWrite();
    void flashWriteMakesFourCopies();
    void commandPathClockAndReadings();
    void addressPathFaults_data();
    void addressPathFaults();
    void commandPathFaults_data();
    void commandPathFaults();
    void unpluggedAdapter();
    void unpluggedOnCommandPath();
    void unpluggedLinkLeadsNowhere();
    void transcriptMatchesLinkLog();
    void restartFollowsNewAddressAndSpeed();
    void severalInstrumentsOnOneLine();
    void pacedAnswerComesWhole();
    void writeAndValueFaults_data();
    void writeAndValueFaults();
    void faultHalfwayThroughFlashCopies();
    void faultHalfwayThroughFrameDownload();
    void faultAtOneAddress();
    void lineWithoutAddresses_data();
    void lineWithoutAddresses();
    void pacedRequestAndLatency();
    void stateSurvivesSimulatorRestart();
    void badBytesNeverStallTheSimulator();
};

void TestSimLink::addressPathReadAndVerifiedWrite()
{
    Rig rig({});
    QVERIFY(rig.load());
    // A read: the recording state of buffer 1 (a number).
    const QString state = rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    QVERIFY2(instrument::isNumber(state, sep()), qPrintable(state));
    // A verified integer write, then an independent read.
    QCOMPARE(rig.dev.sWriteAndRead(13, QStringLiteral("3"), QStringLiteral("C")), QStringLiteral("OK"));
    QCOMPARE(rig.dev.sCOMPort(6, QStringLiteral("3"), QStringLiteral("0")), QStringLiteral("12"));
    // A verified real write; the value reads back in the locale's notation.
    QCOMPARE(rig.dev.sWriteAndRead(11, QStringLiteral("1"), QStringLiteral("0.1255e3")), QStringLiteral("OK"));
    QCOMPARE(rig.dev.sCOMPort(12, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("125") + sep() + "5");
    // The network number on the other integer pair.
    QCOMPARE(rig.dev.sWriteAndRead(31, QStringLiteral("6"), QStringLiteral("3C")), QStringLiteral("OK"));
    QCOMPARE(rig.dev.sCOMPort(30, QStringLiteral("6"), QStringLiteral("0")), QStringLiteral("60"));
    // A relay record: 49 hexadecimal fields, first character a digit.
    const QString relay = rig.dev.sCOMPort(36, QStringLiteral("0"), QStringLiteral("1"));
    QCOMPARE(relay.count(QLatin1Char(';')), 49);
    QVERIFY(relay.at(0).isDigit());
}

void TestSimLink::flashWriteMakesFourCopies()
{
    Rig rig({});
    QVERIFY(rig.load());
    rig.dev.bModuleNumber = 1;
    QCOMPARE(rig.dev.sWriteToFlash(27, 0x20, QStringLiteral("0.5e3")), QStringLiteral("OK"));
    for (const char* a : {"20", "220", "420", "620"})
        QCOMPARE(rig.dev.sCOMPort(28, QString::fromLatin1(a), QStringLiteral("0")), QStringLiteral("500"));
    rig.dev.bModuleNumber = 0;
    QVERIFY(rig.dev.sCOMPort(28, QStringLiteral("20"), QStringLiteral("0")) != QStringLiteral("500"));
}

void TestSimLink::commandPathClockAndReadings()
{
    Rig rig({});
    QVERIFY(rig.load());
    const QString clock = rig.dev.sSendCommand(34, QString(), QString());
    QCOMPARE(rig.dev.COMError, quint8(0));
    QVERIFY2(QRegularExpression(QStringLiteral("^(\\d+;){8}\r$")).match(clock).hasMatch(), qPrintable(clock));

    rig.dev.sSendCommand(33, QStringLiteral("23;59;30;31;12;25;53;57"), QString());
    QCOMPARE(rig.dev.COMError, quint8(0));
    const QString after = rig.dev.sSendCommand(34, QString(), QString());
    QVERIFY2(after.startsWith(QStringLiteral("23;59;3")) && after.contains(QStringLiteral(";31;12;25;53;")), qPrintable(after));

    const QString r = rig.dev.sSendCommand(423, QString(), QStringLiteral("c"));
    QCOMPARE(rig.dev.COMError, quint8(0));
    QCOMPARE(r.mid(22).count(QLatin1Char(';')), 12);

    const QString frame = rig.dev.sSendCommand(323, QStringLiteral("5"), QStringLiteral("c"));
    QCOMPARE(rig.dev.COMError, quint8(0));
    QVERIFY(frame.count(QLatin1Char(';')) >= 10 + 12);
}

void TestSimLink::addressPathFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");  // empty: a number
    QTest::addColumn<int>("frames");

    QTest::newRow("silence") << "silence" << 14 << "1518" << kNoAnswer << 3;
    QTest::newRow("err") << "err" << 14 << "1518" << kDeviceError << 3;
    QTest::newRow("garbage") << "garbage:seed=9" << 14 << "1518" << kBadForm << 3;
    QTest::newRow("echo in the same write") << "echo" << 14 << "1518" << kBadForm << 3;
    QTest::newRow("echo before the answer") << "echo:ms=150" << 14 << "1518" << QString() << 1;
    QTest::newRow("split") << "split:ms=60" << 14 << "1518" << QString() << 1;
    QTest::newRow("no final CR") << "nocr" << 14 << "1518" << QString() << 1;
    QTest::newRow("short delay") << "delay:ms=200" << 14 << "1518" << QString() << 1;
    QTest::newRow("delay past both phases") << "delay:ms=1200" << 14 << "1518" << QString() << 2;
    QTest::newRow("NaN at a real address") << "nan" << 12 << "1" << kNaN << 1;
    QTest::newRow("err once") << "err:once" << 14 << "1518" << QString() << 2;
    QTest::newRow("fault on another command") << "silence:cmd=6" << 14 << "1518" << QString() << 1;
    QTest::newRow("err on this command") << "err:cmd=12" << 12 << "1" << kDeviceError << 3;
}

void TestSimLink::addressPathFaults()
{
    QFETCH(QString, fault);
    QFETCH(int, command);
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QFETCH(int, frames);
    Rig rig({QStringLiteral("--fault"), fault});
    QVERIFY(rig.load());
    const QString result = rig.dev.sCOMPort(quint8(command), address, QStringLiteral("0"));
    if (expected.isEmpty())
        QVERIFY2(instrument::isNumber(result, sep()), qPrintable(result));
    else
        QCOMPARE(result, expected);
    QTRY_COMPARE(rig.framesReceived(), frames);
}

void TestSimLink::commandPathFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("frames");

    QTest::newRow("silence") << "silence" << 34 << 4 << kNoAnswer << 3;
    QTest::newRow("err") << "err" << 34 << 3 << kDeviceError << 3;
    QTest::newRow("garbage") << "garbage" << 34 << 5 << kBadForm << 3;
    QTest::newRow("NaN in the readings") << "nan" << 423 << 5 << kReadingsBadForm << 3;
    QTest::newRow("silence once") << "silence:once" << 34 << 0 << QString() << 2;
    QTest::newRow("split") << "split" << 423 << 0 << QString() << 1;
}

void TestSimLink::commandPathFaults()
{
    QFETCH(QString, fault);
    QFETCH(int, command);
    QFETCH(int, frames);
    Rig rig({QStringLiteral("--fault"), fault}, 0.3);
    QVERIFY(rig.load());
    const QString answer = rig.dev.sSendCommand(qint16(command), QString(), QStringLiteral("c"));
    QTEST(int(rig.dev.COMError), "error");
    QTEST(rig.dev.sErrorMsg, "message");
    QCOMPARE(answer.isEmpty(), rig.dev.COMError != 0);
    QTRY_COMPARE(rig.framesReceived(), frames);
}

void TestSimLink::unpluggedAdapter()
{
    Rig rig({QStringLiteral("--fault"), QStringLiteral("unplug:once:ms=300")}, 2.0);
    QVERIFY(rig.load());
    const QString result = rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    QVERIFY2(result.startsWith(instrument::kSystemErrorPrefix), qPrintable(result));
    QCOMPARE(rig.framesReceived(), 1);
    // The adapter comes back under the same name and the link goes on.
    QTRY_VERIFY_WITH_TIMEOUT(instrument::isNumber(rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0")), sep()), 5000);
}

void TestSimLink::unpluggedOnCommandPath()
{
    Rig rig({QStringLiteral("--fault"), QStringLiteral("unplug:ms=2000")}, 2.0);
    QVERIFY(rig.load());
    rig.dev.sSendCommand(34, QString(), QString());
    QCOMPARE(rig.dev.COMError, quint8(2));
    QVERIFY2(rig.dev.sErrorMsg.startsWith(instrument::kSystemErrorPrefix), qPrintable(rig.dev.sErrorMsg));
}

void TestSimLink::unpluggedLinkLeadsNowhere()
{
    Rig rig({QStringLiteral("--fault"), QStringLiteral("unplug:once:ms=3000")}, 1.0, 0);
    QVERIFY(rig.load());
    const QString result = rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    QVERIFY2(result.startsWith(instrument::kSystemErrorPrefix), qPrintable(result));
    // The terminal number the adapter had is free now; the next
    // pseudo-terminal opened on the machine (another simulator's, in a
    // parallel test run) takes it. The link must not lead there.
    const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(other >= 0);
    QVERIFY(::grantpt(other) == 0 && ::unlockpt(other) == 0);
    QVERIFY(!QFileInfo(rig.sim.linkPath()).isSymLink());
    const int fd = ::open(QFile::encodeName(rig.sim.linkPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
    ::close(other);
    QVERIFY2(fd < 0, "the pulled adapter's name opened another terminal");
    // The adapter comes back under its name.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(rig.sim.linkPath()).isSymLink(), 10000);
    QVERIFY(instrument::isNumber(rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0")), sep()));
}

void TestSimLink::transcriptMatchesLinkLog()
{
    Rig rig({});
    QVERIFY(rig.load());
    rig.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    QCOMPARE(rig.dev.sWriteAndRead(13, QStringLiteral("3"), QStringLiteral("A")), QStringLiteral("OK"));
    rig.dev.sSendCommand(34, QString(), QString());
    rig.dev.EnableNetAdrr = false;
    rig.dev.sCOMPort(6, QStringLiteral("C8"), QStringLiteral("0"));
    QVERIFY(rig.dev.sPortSR(QStringLiteral(":1;0;")).contains(QLatin1Char('!')));
    rig.dev.Form_Unload();

    const QStringList frames = rig.sim.transcript(QStringLiteral("> "));
    const QStringList expected = {
        QStringLiteral(":1;14;1518;\\r\\n"), QStringLiteral(":1;13;3;A;\\r\\n"), QStringLiteral(":1;14;3;\\r\\n"),
        QStringLiteral(":1;34;\\r\\n"),      QStringLiteral(":6;C8;\\r\\n"),     QStringLiteral(":1;0;\\r\\n"),
    };
    QCOMPARE(frames, expected);

    // What the link logged as sent and received is, byte for byte, what the
    // simulator logged as received and sent.
    QFile log(rig.folder.file(QStringLiteral("COM.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QStringList loggedFrames;
    QStringList loggedAnswers;
    static const QRegularExpression stamp(QStringLiteral("\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - (Command|Answer):  "));
    const QString latin = QString::fromLatin1(text);
    QList<QRegularExpressionMatch> entries;
    for (auto it = stamp.globalMatch(latin); it.hasNext();)
        entries << it.next();
    for (int i = 0; i < entries.size(); ++i) {
        // An entry is the bytes exactly as sent or received, then the CR LF
        // that ends the log line.
        const int from = int(entries[i].capturedEnd());
        const int to = (i + 1 < entries.size() ? int(entries[i + 1].capturedStart()) : int(text.size())) - 2;
        const QString bytes = QString::fromLatin1(sim::escapeBytes(text.mid(from, to - from)));
        (entries[i].captured(1) == QLatin1String("Command") ? loggedFrames : loggedAnswers) << bytes;
    }
    QCOMPARE(loggedFrames, frames);
    QCOMPARE(loggedAnswers, rig.sim.transcript(QStringLiteral("< ")));
}

void TestSimLink::restartFollowsNewAddressAndSpeed()
{
    Rig rig({}, 0.3, 0);
    QVERIFY(rig.load());
    QCOMPARE(rig.dev.sWriteAndRead(31, QStringLiteral("1"), QStringLiteral("5")), QStringLiteral("OK"));
    QCOMPARE(rig.dev.sWriteAndRead(5, QStringLiteral("1"), QStringLiteral("96")), QStringLiteral("OK"));
    // Before the restart the instrument still answers at 1.
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("150"));
    rig.dev.sPortSR(QStringLiteral(":1;13;151a;1;\r\n"));
    QTRY_COMPARE(rig.sim.transcript(QStringLiteral("< ")).size(), 6); // two verified writes, a read, the restart
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), kNoAnswer);
    rig.dev.bNetAdrr = 5;
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), kNoAnswer); // still 4800
    rig.dev.Settings = QStringLiteral("9600,N,8,2");
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("150"));
}

void TestSimLink::severalInstrumentsOnOneLine()
{
    Rig rig({QStringLiteral("--address"), QStringLiteral("3,7")}, 0.3, 0);
    QVERIFY(rig.load());
    rig.dev.bNetAdrr = 7;
    QCOMPARE(rig.dev.sWriteAndRead(13, QStringLiteral("3"), QStringLiteral("77")), QStringLiteral("OK"));
    rig.dev.bNetAdrr = 3;
    QCOMPARE(rig.dev.sWriteAndRead(13, QStringLiteral("3"), QStringLiteral("33")), QStringLiteral("OK"));
    rig.dev.bNetAdrr = 1;
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("3"), QStringLiteral("0")), kNoAnswer);
    rig.dev.EnableNetAdrr = false; // answered by the first
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("3"), QStringLiteral("0")), QString::number(0x33));
    rig.dev.EnableNetAdrr = true;
    rig.dev.bNetAdrr = 7;
    QCOMPARE(rig.dev.sCOMPort(14, QStringLiteral("3"), QStringLiteral("0")), QString::number(0x77));
}

void TestSimLink::pacedAnswerComesWhole()
{
    // Its characters come at the line's rate (how fast: bench_simlink).
    Rig rig({QStringLiteral("--pace")});
    QVERIFY(rig.load());
    rig.dev.Settings = QStringLiteral("2400,N,8,2");
    const QString r = rig.dev.sSendCommand(423, QString(), QStringLiteral("c"));
    QCOMPARE(rig.dev.COMError, quint8(0));
    QCOMPARE(r.mid(22).count(QLatin1Char(';')), 12);
}

void TestSimLink::writeAndValueFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("expected"); // the start of the result
    QTest::addColumn<QStringList>("frames");

    const QString w = QStringLiteral(":1;13;3;C;\\r\\n");
    const QString r = QStringLiteral(":1;14;3;\\r\\n");
    QTest::newRow("noack: the write repeated, then given up") << "noack" << 13 << kNotWritten << QStringList{w, w, w};
    QTest::newRow("noack once: repeated and confirmed") << "noack:once" << 13 << "OK" << QStringList{w, w, r};
    QTest::newRow("stuck: written again, then the mismatch")
        << "stuck:cmd=13" << 13 << kMismatch + "||C<>4" << QStringList{w, r, w, r, w, r};
    QTest::newRow("stuck once: the second write holds") << "stuck:times=1" << 13 << "OK" << QStringList{w, r, w, r};
    QTest::newRow("badvalue on the read") << "badvalue" << 14 << kBadNumber << QStringList{r, r, r};
    QTest::newRow("badvalue on a real read") << "badvalue" << 12 << kBadNumber
                                             << QStringList{3, QStringLiteral(":1;12;3;\\r\\n")};
}

void TestSimLink::writeAndValueFaults()
{
    QFETCH(QString, fault);
    QFETCH(int, command);
    QFETCH(QString, expected);
    QFETCH(QStringList, frames);
    Rig rig({QStringLiteral("--fault"), fault});
    QVERIFY(rig.load());
    const QString result = command == 13 ? rig.dev.sWriteAndRead(13, QStringLiteral("3"), QStringLiteral("C"))
                                         : rig.dev.sCOMPort(quint8(command), QStringLiteral("3"), QStringLiteral("0"));
    QVERIFY2(result.startsWith(expected), qPrintable(result));
    QTRY_COMPARE(rig.sim.transcript(QStringLiteral("> ")), frames);
}

void TestSimLink::faultHalfwayThroughFlashCopies()
{
    // The third of the four copies of a module parameter is refused.
    Rig rig({QStringLiteral("--fault"), QStringLiteral("noack:cmd=27:adr=420")});
    QVERIFY(rig.load());
    rig.dev.bModuleNumber = 1;
    QCOMPARE(rig.dev.sWriteToFlash(27, 0x20, QStringLiteral("0.5e3")), kNotWritten);
    const QStringList frames = rig.sim.transcript(QStringLiteral("> "));
    QCOMPARE(frames.size(), 7); // two verified copies, three tries of the third
    QVERIFY(frames.last().startsWith(QStringLiteral(":1;27;1;420;")));
    QVERIFY(!frames.join(QString()).contains(QStringLiteral(";620;")));
    QCOMPARE(rig.dev.sCOMPort(28, QStringLiteral("220"), QStringLiteral("0")), QStringLiteral("500"));
    QVERIFY(rig.dev.sCOMPort(28, QStringLiteral("620"), QStringLiteral("0")) != QStringLiteral("500"));
}

void TestSimLink::faultHalfwayThroughFrameDownload()
{
    // Frames 1 to 4 come, the fifth meets silence on all three tries, the
    // sixth comes again.
    Rig rig({QStringLiteral("--fault"), QStringLiteral("silence:cmd=323:after=4:times=3")}, 0.2);
    QVERIFY(rig.load());
    QList<int> errors;
    for (int frame = 1; frame <= 6; ++frame) {
        rig.dev.sSendCommand(323, QString::number(frame, 16), QStringLiteral("c"));
        errors << rig.dev.COMError;
    }
    QCOMPARE(errors, (QList<int>{0, 0, 0, 0, 4, 0}));
    QCOMPARE(rig.dev.sErrorMsg, QString());
    QTRY_COMPARE(rig.framesReceived(), 4 + 3 + 1);
}

void TestSimLink::faultAtOneAddress()
{
    Rig rig({QStringLiteral("--fault"), QStringLiteral("badvalue:adr=1519:once")}, 0.5, 0);
    QVERIFY(rig.load());
    QStringList results;
    for (const char* a : {"1518", "1519", "151C", "1519"})
        results << rig.dev.sCOMPort(14, QString::fromLatin1(a), QStringLiteral("0"));
    QCOMPARE(results, (QStringList{"0", kBadNumber, "1", "4"}));
}

void TestSimLink::lineWithoutAddresses_data()
{
    QTest::addColumn<bool>("option");
    QTest::addColumn<QString>("write");
    QTest::newRow("told") << true << QStringLiteral("OK");
    QTest::newRow("guessed: taken for address 11") << false << kNoAnswer;
}

void TestSimLink::lineWithoutAddresses()
{
    QFETCH(bool, option);
    Rig rig(option ? QStringList{QStringLiteral("--no-net-address")} : QStringList{}, 0.2, 0);
    QVERIFY(rig.load());
    rig.dev.EnableNetAdrr = false;
    QTEST(rig.dev.sCOMPort(11, QStringLiteral("1"), QStringLiteral("0.19e3")), "write");
    if (!option)
        return;
    QCOMPARE(rig.dev.sCOMPort(12, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("190"));
    QCOMPARE(rig.dev.sWriteAndRead(5, QStringLiteral("6"), QStringLiteral("1")), QStringLiteral("OK"));
    // The command path still carries the address.
    rig.dev.sSendCommand(34, QString(), QString());
    QCOMPARE(rig.dev.COMError, quint8(0));
    QCOMPARE(rig.sim.transcript(QStringLiteral("> ")).first(), QStringLiteral(":11;1;0.19e3;\\r\\n"));
    QCOMPARE(rig.sim.transcript(QStringLiteral("> ")).last(), QStringLiteral(":1;34;\\r\\n"));
}

void TestSimLink::pacedRequestAndLatency()
{
    // A relay record, a long request, on a paced line, to a slow instrument
    // or both (how long each takes: bench_simlink).
    QString record = QStringLiteral("0");
    for (int i = 0; i < 49; ++i)
        record += QStringLiteral(";0");
    const QStringList cases[] = {
        {QStringLiteral("--pace")},
        {QStringLiteral("--latency"), QStringLiteral("400")},
        {QStringLiteral("--pace"), QStringLiteral("--latency"), QStringLiteral("300")},
    };
    for (const QStringList& args : cases) {
        Rig rig(args, 2.0, 0);
        QVERIFY(rig.load());
        rig.dev.Settings = QStringLiteral("2400,N,8,2");
        const QString result = rig.dev.sCOMPort(35, QString(), record);
        QVERIFY2(result == QLatin1String("OK"),
                 qPrintable(args.join(QLatin1Char(' ')) + QStringLiteral(": ") + result + QLatin1Char('\n')
                            + rig.sim.transcript().join(QLatin1Char('\n'))));
    }
}

void TestSimLink::stateSurvivesSimulatorRestart()
{
    ProgramFolder folder;
    QTemporaryDir keep;
    const QString state = keep.filePath(QStringLiteral("state.txt"));
    {
        SimProcess sim({QStringLiteral("--state"), state});
        QVERIFY2(sim.isRunning(), qPrintable(sim.startError()));
        SimDevDat d;
        d.link = sim.linkPath();
        testsupport::writeSimDevDat(folder, d);
        instrument::Dev dev;
        QVERIFY(dev.Form_Load());
        dev.bNetAdrr = 1;
        QCOMPARE(dev.sWriteAndRead(15, QStringLiteral("C9"), QStringLiteral("0.75e1")), QStringLiteral("OK"));
        QCOMPARE(dev.sWriteAndRead(5, QStringLiteral("13ED"), QStringLiteral("1")), QStringLiteral("OK"));
        dev.Form_Unload();
        QCOMPARE(sim.stop(), 0);
        QVERIFY(!QFileInfo(sim.linkPath()).isSymLink()); // the link is removed at exit
    }
    QVERIFY(QFile::exists(state));
    SimProcess sim({QStringLiteral("--state"), state});
    QVERIFY2(sim.isRunning(), qPrintable(sim.startError()));
    SimDevDat d;
    d.link = sim.linkPath();
    testsupport::writeSimDevDat(folder, d);
    instrument::Dev dev;
    QVERIFY(dev.Form_Load());
    dev.bNetAdrr = 1;
    QCOMPARE(dev.sCOMPort(16, QStringLiteral("C9"), QStringLiteral("0")), QStringLiteral("7") + sep() + "5");
    QCOMPARE(dev.sCOMPort(6, QStringLiteral("13ED"), QStringLiteral("0")), QStringLiteral("1"));
}

void TestSimLink::badBytesNeverStallTheSimulator()
{
    Rig rig({});
    QVERIFY(rig.sim.isRunning());
    const int fd = ::open(QFile::encodeName(rig.sim.linkPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const QByteArray junk = QByteArray("\xff\x00\x01::;;;\r", 9) + QByteArray(5000, 'Z') + "\n"
        + ":1;17;0;\r\n" + ":1;6;C8\r" + ":1;99;1;\r\n" + ":1;0;\r\n";
    QCOMPARE(::write(fd, junk.constData(), size_t(junk.size())), ssize_t(junk.size()));
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, int(n));
        return got.contains("!OK;\r\n");
    }()), 5000);
    ::close(fd);
    // The unknown command was refused; nothing else was answered.
    QCOMPARE(got, QByteArray("ERR\r\n!OK;\r\n"));
}

QTEST_MAIN(TestSimLink)
#include "tst_simlink.moc"
