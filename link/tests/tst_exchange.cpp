// The serial exchange of both paths against a scripted port: frames on the
// wire, answers in pieces, time-outs, repetitions, the log and the status window.

#include "linkfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QRandomGenerator>

#include "numbers.h"
#include "protocol.h"

using Piece = testsupport::FakePort::Piece;
using Pieces = QList<Piece>;

namespace {
const QString kNoAnswer = QStringLiteral("Прибор не отвечает");
const QString kBadNumber = QStringLiteral("Из прибора пришло число в неправильном формате");

QByteArray fields(int n, const QByteArray& field)
{
    QByteArray out = "!";
    for (int i = 0; i < n; ++i)
        out += field + ';';
    return out + "\r\n";
}
} // namespace

class TstExchange : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void addressPath_data();
    void addressPath();
    void answerEnd_data();
    void answerEnd();
    void addressPathPieces_data();
    void addressPathPieces();
    void silenceCostsTwoTimeOutsPerAttempt_data();
    void silenceCostsTwoTimeOutsPerAttempt();
    void commandPath_data();
    void commandPath();
    void commandPathRepeatsSystemErrors();
    void phaseOneEvents();
    void answerInOnePollNeedsNoWait();
    void logFormat();
    void logSwitchedOff();
    void statusWindow();
    void deviceLostMidAnswer();
    void anyAnswerGivesAMessage();
    void secondExchangeIsRefused_data();
    void secondExchangeIsRefused();
};

void TstExchange::addressPath_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("comError");
    const QString sys = instrument::kSystemErrorPrefix;
    QTest::newRow("write confirmed") << 13 << QByteArray("!OK;\r\n") << "OK" << 1 << 0;
    QTest::newRow("write refused") << 13 << QByteArray("!ERR;\r\n") << "Не удалось записать в прибор" << 3 << 0;
    QTest::newRow("ERR without markers") << 13 << QByteArray("ERR\r\n") << "Прибор выдает ошибку" << 3 << 1;
    QTest::newRow("no markers") << 14 << QByteArray("hello\r\n") << "Получен ответ неправильного формата" << 3 << 1;
    QTest::newRow("integer") << 14 << QByteArray("!1F;\r\n") << "31" << 1 << 0;
    QTest::newRow("integer FFFF") << 14 << QByteArray("!FFFF;\r\n") << "-1" << 1 << 0;
    QTest::newRow("integer negative text") << 14 << QByteArray("!-5;\r\n") << kBadNumber << 3 << 0;
    QTest::newRow("integer over 16 bits") << 14 << QByteArray("!12345;\r\n") << sys + "Переполнение" << 1 << 0;
    QTest::newRow("integer too long") << 14 << QByteArray("!123456789;\r\n") << kBadNumber << 3 << 0;
    QTest::newRow("semicolon before bang") << 14 << QByteArray(";!1F;\r\n") << sys + "Недопустимый вызов процедуры или недопустимый аргумент" << 1 << 0;
    QTest::newRow("real") << 12 << QByteArray("!12.5;\r\n") << "12,5" << 1 << 0;
    QTest::newRow("real exponent") << 16 << QByteArray("!1.5E3;\r\n") << "1500" << 1 << 0;
    QTest::newRow("real NaN, no retry") << 28 << QByteArray("!NaN;\r\n") << "В памяти прибора по данному адресу находится чило в неверном формате" << 1 << 0;
    QTest::newRow("real junk") << 12 << QByteArray("!1.2.3;\r\n") << kBadNumber << 3 << 0;
    QTest::newRow("bytes above 127") << 12 << QByteArray("!\xc0\xff\x80;\r\n") << kBadNumber << 3 << 0;
    const QByteArray relays = fields(49, "1F");
    QTest::newRow("relay block") << 36 << relays << QString::fromLatin1(relays.mid(1, relays.size() - 2)) << 1 << 0;
    QTest::newRow("relay block bad field") << 36 << fields(48, "1F").replace("!", "!1.5;") << "Непавильный формат ответа прибора" << 3 << 1;
    QTest::newRow("relay block short") << 36 << fields(10, "1F") << sys + "Индекс выходит за пределы допустимого диапазона" << 1 << 0;
    QTest::newRow("block 23 numbers") << 23 << fields(48, "1.5") << QString::fromLatin1(fields(48, "1.5").mid(1, 48 * 4 + 1)) << 1 << 0;
    QTest::newRow("block 123") << 123 << fields(43, "x7") << QString::fromLatin1(fields(43, "x7").mid(1, 43 * 3 + 1)) << 1 << 0;
    QTest::newRow("uninterpreted command") << 101 << QByteArray("!whatever;\r\n") << "" << 1 << 0;
}

void TstExchange::addressPath()
{
    QFETCH(int, command);
    QFETCH(QByteArray, answer);
    QFETCH(QString, result);
    QFETCH(int, frames);
    QFETCH(int, comError);
    LinkFixture f;
    QVERIFY(f.loaded);
    f.replyEach(3, answer);
    QCOMPARE(f.dev.sCOMPort(quint8(command), QStringLiteral("1518"), QStringLiteral("4")), result);
    QCOMPARE(f.port->written.size(), frames);
    QCOMPARE(int(f.dev.COMError), comError);
    // Every call opens and closes the port once, however many attempts it makes.
    QCOMPARE(f.port->opens, 1);
    QVERIFY(!f.port->isOpen());
    QVERIFY(!QApplication::overrideCursor());
}

void TstExchange::answerEnd_data()
{
    // The answer ends at its first LF, then at its first CR; the CR and LF it
    // starts with are the tail of an earlier answer, not its end.
    // Command 34 goes the command path, whose result keeps the terminator.
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("comError");
    QTest::addColumn<int>("frames");
    const QString badForm = QStringLiteral("Получен ответ неправильного формата");
    QTest::newRow("LF of the last answer in front") << 14 << QByteArray("\n!1F;\r\n") << "31" << 0 << 1;
    QTest::newRow("CR LF of the last answer in front") << 14 << QByteArray("\r\n!1F;\r\n") << "31" << 0 << 1;
    QTest::newRow("LF in front, command path") << 34 << QByteArray("\n!1;2;3;4;5;6;7;8;\r\n") << "1;2;3;4;5;6;7;8;\r" << 0 << 1;
    QTest::newRow("LF before CR") << 14 << QByteArray("!1F;\n\r") << "31" << 0 << 1;
    QTest::newRow("LF before CR, command path") << 34 << QByteArray("!1;2;3;4;5;6;7;8;\n\r") << "1;2;3;4;5;6;7;8;\n" << 0 << 1;
    QTest::newRow("LF inside the value") << 14 << QByteArray("!1\nF;\r\n") << badForm << 1 << 3;
    QTest::newRow("CR inside the value") << 14 << QByteArray("!1\rF;\r\n") << badForm << 1 << 3;
    QTest::newRow("LF inside, command path") << 34 << QByteArray("!1;2;3;4;\n5;6;7;8;\r\n") << "" << 5 << 3;
    QTest::newRow("a line in front still ends it") << 14 << QByteArray("ERR\r;!\r\n") << "Прибор выдает ошибку" << 1 << 3;
}

void TstExchange::answerEnd()
{
    QFETCH(int, command);
    QFETCH(QByteArray, answer);
    QFETCH(QString, result);
    QFETCH(int, comError);
    QFETCH(int, frames);
    LinkFixture f;
    f.replyEach(3, answer);
    const QString r = command == 34 ? f.dev.sSendCommand(34, QString(), QString())
                                    : f.dev.sCOMPort(quint8(command), QStringLiteral("1518"), QStringLiteral("0"));
    QCOMPARE(r, result);
    QCOMPARE(int(f.dev.COMError), comError);
    QCOMPARE(f.port->written.size(), frames);
}

void TstExchange::addressPathPieces_data()
{
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint64>("elapsed");
    QTest::newRow("echo before the answer is lost")
        << Pieces{{0, ":1;14;1518;\r\n"}, {200, "!1F;\r\n"}} << "31" << "!1F;\r\n" << qint64(200);
    QTest::newRow("answer across three polls")
        << Pieces{{10, "!1"}, {50, "F;"}, {50, "\r\n"}} << "31" << "!1F;\r\n" << qint64(110);
    QTest::newRow("text before the bang in its chunk stays")
        << Pieces{{10, "xy!1F;\r\n"}} << "31" << "xy!1F;\r\n" << qint64(10);
    // The CR of an earlier answer in front of the "!" does not end this one.
    QTest::newRow("CR in front of the bang")
        << Pieces{{10, "\r!1"}, {50, "F;\r\n"}} << "31" << "\r!1F;\r\n" << qint64(60);
    QTest::newRow("CR never comes: phase 2 runs out")
        << Pieces{{100, "!1F;"}} << "31" << "!1F;" << qint64(100 + 3000);
    QTest::newRow("bang after phase 1 ran out is collected by phase 2")
        << Pieces{{3500, "!1F;\r\n"}} << "31" << "!1F;\r\n" << qint64(3500);
    // The port stays open between attempts, so the second attempt takes it.
    QTest::newRow("bang after both phases ran out")
        << Pieces{{6500, "!1F;\r\n"}} << "31" << "!1F;\r\n" << qint64(6500);
    QTest::newRow("never")
        << Pieces{{60000, "!1F;\r\n"}} << kNoAnswer << "" << qint64(3 * 6000);
}

void TstExchange::addressPathPieces()
{
    QFETCH(Pieces, pieces);
    QFETCH(QString, result);
    QFETCH(QString, shown);
    QFETCH(qint64, elapsed);
    LinkFixture f;
    f.port->reply(pieces);
    QCOMPARE(f.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0")), result);
    QCOMPARE(f.dev.COMOut->text(), shown);
    QCOMPARE(f.clock->now, elapsed);
}

void TstExchange::silenceCostsTwoTimeOutsPerAttempt_data()
{
    QTest::addColumn<QString>("rereadings");
    QTest::addColumn<int>("attempts");
    QTest::newRow("none") << "0" << 1;
    QTest::newRow("two") << "2" << 3;
    QTest::newRow("five") << "5" << 6;
}

void TstExchange::silenceCostsTwoTimeOutsPerAttempt()
{
    QFETCH(QString, rereadings);
    QFETCH(int, attempts);
    LinkFixture f(QStringLiteral("[SETTINGS]\nNOfRereadings=%1\nTimeOut=2,5\n").arg(rereadings));
    QVERIFY2(f.loaded, qPrintable(f.dev.loadError()));
    QCOMPARE(f.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0")), kNoAnswer);
    QCOMPARE(f.dev.COMError, quint8(1));
    QCOMPARE(f.port->written.size(), attempts);
    QCOMPARE(f.clock->now, qint64(attempts) * 2 * 2500);

    f.clock->now = 0;
    f.port->written.clear();
    QCOMPARE(f.dev.sSendCommand(34, QString(), QString()), QString());
    QCOMPARE(f.dev.COMError, quint8(4));
    QCOMPARE(f.dev.sErrorMsg, kNoAnswer);
    QCOMPARE(f.port->written.size(), attempts);
    QCOMPARE(f.clock->now, qint64(attempts) * 2 * 2500);
}

void TstExchange::commandPath_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("par2");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("comError");
    QTest::addColumn<int>("frames");
    QTest::newRow("clock") << 34 << "" << QByteArray("!12;5;30;1;7;12;26;1;\r\n") << QByteArray(":1;34;\r\n")
                           << "12;5;30;1;7;12;26;1;\r" << 0 << 1;
    const QByteArray readings = "!000000001" "0F03000000FF" ";" "0012.5;10-5.5;\r\n";
    QTest::newRow("readings") << 423 << "2" << readings << QByteArray(":1;423;2;\r\n")
                              << QString::fromLatin1(readings.mid(1, readings.size() - 2)) << 0 << 1;
    QTest::newRow("clock set refused") << 33 << "" << QByteArray("!ERR;\r\n") << QByteArray(":1;33;P;\r\n") << "" << 6 << 3;
    QTest::newRow("ERR") << 34 << "" << QByteArray("ERR\r\n") << QByteArray(":1;34;\r\n") << "" << 3 << 3;
    QTest::newRow("junk") << 34 << "" << QByteArray("\x01\x02\xff\r\n") << QByteArray(":1;34;\r\n") << "" << 5 << 3;
}

void TstExchange::commandPath()
{
    QFETCH(int, command);
    QFETCH(QString, par2);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, frame);
    QFETCH(QString, result);
    QFETCH(int, comError);
    QFETCH(int, frames);
    LinkFixture f;
    f.replyEach(3, answer);
    QCOMPARE(f.dev.sSendCommand(qint16(command), QStringLiteral("P"), par2), result);
    QCOMPARE(int(f.dev.COMError), comError);
    QCOMPARE(f.port->written.size(), frames);
    QCOMPARE(f.port->written.first(), frame);
}

void TstExchange::commandPathRepeatsSystemErrors()
{
    LinkFixture f;
    f.port->openFailure = QStringLiteral("порт занят");
    QCOMPARE(f.dev.sSendCommand(34, QString(), QString()), QString());
    QCOMPARE(f.dev.COMError, quint8(2));
    QCOMPARE(f.dev.sErrorMsg, instrument::kSystemErrorPrefix + QStringLiteral("порт занят"));
    QCOMPARE(f.port->opens, 3);
    // The address path returns at once.
    f.port->opens = 0;
    QCOMPARE(f.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), instrument::kSystemErrorPrefix + QStringLiteral("порт занят"));
    QCOMPARE(f.port->opens, 1);
    // A settings text the port cannot take goes the same way, before any open.
    f.port->openFailure.clear();
    f.port->opens = 0;
    f.dev.Settings = QStringLiteral("4800,X,8,2");
    QVERIFY(f.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")).startsWith(instrument::kSystemErrorPrefix));
    QCOMPARE(f.port->opens, 0);
    QVERIFY(!QApplication::overrideCursor());
}

void TstExchange::phaseOneEvents()
{
    // The address path holds the window system off while it waits for "!";
    // the raw exchange lets it run.
    LinkFixture f;
    f.port->reply({{100, "!"}, {100, "1F;\r\n"}});
    f.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
    QCOMPARE(f.port->waitsWithoutEvents, 1);
    QCOMPARE(f.port->waitsWithEvents, 1);

    f.port->waitsWithoutEvents = f.port->waitsWithEvents = 0;
    f.port->reply({{100, "!"}, {100, "1F;\r\n"}});
    QCOMPARE(f.dev.sPortSR(QStringLiteral(":1;0;")), QStringLiteral("!1F;\r\n"));
    QCOMPARE(f.port->waitsWithoutEvents, 0);
    QCOMPARE(f.port->waitsWithEvents, 2);
}

void TstExchange::answerInOnePollNeedsNoWait()
{
    LinkFixture f;
    f.port->reply("!OK;\r\n");
    QCOMPARE(f.dev.sCOMPort(13, QStringLiteral("1"), QStringLiteral("2")), QStringLiteral("OK"));
    QCOMPARE(f.port->waitsWithEvents + f.port->waitsWithoutEvents, 0);
    QCOMPARE(f.clock->now, qint64(0));
}

void TstExchange::logFormat()
{
    LinkFixture f;
    f.port->reply("!1F;\r\n");
    f.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    f.port->reply({{1000, "\xc4\x98"}, {0, "!OK;\r"}});
    f.dev.sPortSR(QStringLiteral(":1;0;"));
    QCOMPARE(f.log(), QByteArray("12-07 14:05:09 - Command:  :1;14;1518;\r\n\r\n"
                                 "12-07 14:05:09 - Answer:  !1F;\r\n\r\n"
                                 "12-07 14:05:09 - Command:  :1;0;\r\n\r\n"
                                 "12-07 14:05:10 - Answer:  \xc4\x98!OK;\r\r\n"));
}

void TstExchange::logSwitchedOff()
{
    LinkFixture f(QStringLiteral("[LOG]\nUseLogFile=0\n"));
    f.port->reply("!1F;\r\n");
    f.dev.sCOMPort(14, QStringLiteral("1518"), QStringLiteral("0"));
    QCOMPARE(f.log(), QByteArray());
    QCOMPARE(f.dev.COMIn->text(), QStringLiteral(":1;14;1518;\r\n"));
    QCOMPARE(f.dev.COMOut->text(), QStringLiteral("!1F;\r\n"));
}

void TstExchange::statusWindow()
{
    LinkFixture f(QStringLiteral("[SETTINGS]\nVisible=1\n"));
    QVERIFY(f.dev.bolShow);
    QVERIFY(!f.dev.isVisible());
    // An error leaves the window up with its texts.
    f.port->openFailure = QStringLiteral("нет порта");
    f.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
    QVERIFY(f.dev.isVisible());
    // A normal end hides it, even with the window switched off meanwhile.
    f.port->openFailure.clear();
    f.dev.bolShow = false;
    f.port->reply("!1F;\r\n");
    QCOMPARE(f.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0")), QStringLiteral("31"));
    QVERIFY(!f.dev.isVisible());
    // Switched off, an exchange never shows it.
    f.port->reply("!1F;\r\n");
    f.dev.sPortSR(QStringLiteral(":1;0;"));
    QVERIFY(!f.dev.isVisible());
}

void TstExchange::deviceLostMidAnswer()
{
    LinkFixture f;
    f.port->reply({{10, "!1"}, {10, QByteArray(), true}});
    const QString r = f.dev.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
    QVERIFY2(r.startsWith(instrument::kSystemErrorPrefix), qPrintable(r));
    QCOMPARE(f.port->written.size(), 1);
    QVERIFY(f.clock->now < 100);
    QVERIFY(!f.port->isOpen());
}

void TstExchange::anyAnswerGivesAMessage()
{
    // Random lines, with and without the markers, for every command of both
    // paths: each call ends with a result the tools can show, never a crash.
    const QStringList messages{QStringLiteral("OK"), kNoAnswer, kBadNumber, QStringLiteral("Прибор выдает ошибку"),
                               QStringLiteral("Получен ответ неправильного формата"),
                               QStringLiteral("Не удалось записать в прибор"),
                               QStringLiteral("В памяти прибора по данному адресу находится чило в неверном формате"),
                               QStringLiteral("Непавильный формат ответа прибора"), QString()};
    QRandomGenerator rng(20261208);
    const QByteArray alphabet = "!;;!0123456789ABCDEFabcdef.-NaNERROK\r\n\xff\x80 ";
    LinkFixture f;
    f.dev.NofRereadings = 0;
    for (int command = 0; command < 256; ++command) {
        for (int round = 0; round < 20; ++round) {
            QByteArray line;
            const int n = rng.bounded(0, 120);
            for (int i = 0; i < n; ++i)
                line += alphabet.at(rng.bounded(alphabet.size()));
            if (round % 2)
                line = "!" + line + "\r\n";
            f.port->reply(line);
            const QString r = f.dev.sCOMPort(quint8(command), QStringLiteral("1"), QStringLiteral("0"));
            const QString shown = QString::fromLatin1(line);
            const bool known = messages.contains(r) || r.startsWith(instrument::kSystemErrorPrefix)
                || instrument::isNumber(r, QStringLiteral(",")) || shown.contains(r);
            QVERIFY2(known, qPrintable(QStringLiteral("command %1 answer %2 gave %3").arg(command).arg(shown.toHtmlEscaped(), r)));
            f.port->reply(line);
            f.dev.sSendCommand(qint16(command == 0 ? 423 : command), QString(), QStringLiteral("c"));
            QVERIFY(f.dev.COMError <= 6);
        }
    }
    QVERIFY(!QApplication::overrideCursor());
}

void TstExchange::secondExchangeIsRefused_data()
{
    // A timer that fires while the outer exchange waits for the end of its
    // answer starts the inner one.
    QTest::addColumn<bool>("outerOnCommandPath");
    QTest::addColumn<QString>("inner");
    for (const char* inner : {"sPortSR", "sSendCommand", "sCOMPort", "sWriteAndRead", "sWriteToFlash"}) {
        QTest::newRow(qPrintable(QStringLiteral("clock read, then %1").arg(QLatin1String(inner)))) << true << inner;
        QTest::newRow(qPrintable(QStringLiteral("integer read, then %1").arg(QLatin1String(inner)))) << false << inner;
    }
}

void TstExchange::secondExchangeIsRefused()
{
    QFETCH(bool, outerOnCommandPath);
    QFETCH(QString, inner);
    const bool asserting = instrument::Dev::setAssertOnSecondExchange(false);
    LinkFixture f;
    const QByteArray value = outerOnCommandPath ? "!12;5;30;1;7;12;26;1;" : "!1F;";
    f.port->reply(Pieces{Piece{0, value}, Piece{50, "\r\n"}});
    f.port->reply("!OK;\r\n"); // what a second frame would meet
    f.port->reply("!1F;\r\n");

    QString result = QStringLiteral("not run");
    int comError = -1;
    QString errorMsg;
    bool armed = true;
    f.port->onWrite = [&](const QByteArray&) {
        if (!std::exchange(armed, false))
            return;
        QTimer::singleShot(0, [&] {
            instrument::Dev& d = f.dev;
            if (inner == QLatin1String("sPortSR"))
                result = d.sPortSR(QStringLiteral(":1;14;1;"));
            else if (inner == QLatin1String("sSendCommand"))
                result = d.sSendCommand(14, QStringLiteral("1"), QString());
            else if (inner == QLatin1String("sCOMPort"))
                result = d.sCOMPort(14, QStringLiteral("1"), QStringLiteral("0"));
            else if (inner == QLatin1String("sWriteAndRead"))
                result = d.sWriteAndRead(13, QStringLiteral("1"), QStringLiteral("1F"));
            else
                result = d.sWriteToFlash(19, 100, QStringLiteral("1F"));
            comError = d.COMError;
            errorMsg = d.sErrorMsg;
        });
    };
    const QString outer = outerOnCommandPath ? f.dev.sSendCommand(instrument::cmd::ReadClock, QString(), QString())
                                             : f.dev.sCOMPort(instrument::cmd::ReadInteger, QStringLiteral("1"), QString());
    instrument::Dev::setAssertOnSecondExchange(asserting);

    if (inner == QLatin1String("sPortSR") || inner == QLatin1String("sSendCommand")) {
        QCOMPARE(result, QString());
        QCOMPARE(comError, int(instrument::kExchangeRunning));
        QCOMPARE(errorMsg, instrument::kMsgExchangeRunning);
    } else {
        QCOMPARE(result, instrument::kMsgExchangeRunning);
    }
    QCOMPARE(f.port->written.size(), 1);
    QCOMPARE(f.port->opens, 1);
    QCOMPARE(outer, outerOnCommandPath ? QStringLiteral("12;5;30;1;7;12;26;1;\r") : QStringLiteral("31"));
    QCOMPARE(int(f.dev.COMError), 0);
    QCOMPARE(f.dev.sErrorMsg, QString());
}

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
