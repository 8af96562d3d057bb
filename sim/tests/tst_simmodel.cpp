// The simulated instrument without a terminal: frames in, answer bytes out.

#include "faults.h"
#include "model.h"

#include <QRegularExpression>
#include <QTest>

using sim::Answer;
using sim::Line;

namespace {

// A fixed moment, so that live values and clocks are repeatable.
constexpr qint64 kNow = 1796640000000LL; // 2026-12-07

QByteArray ask(Line& line, const QByteArray& frame, qint64 at = kNow, int baud = 0)
{
    const Answer a = line.receive(frame, at, baud);
    return a.silent ? QByteArray() : a.bytes;
}

QList<QByteArray> valueFields(const QByteArray& answer)
{
    QByteArray body = answer;
    body = body.mid(body.indexOf('!') + 1);
    body.chop(2); // CR LF
    QList<QByteArray> f = body.split(';');
    if (!f.isEmpty() && f.last().isEmpty())
        f.removeLast();
    return f;
}

QByteArray relayWriteFrame(int relay, const QList<int>& fields)
{
    QByteArray f = ":1;35;" + QByteArray::number(relay, 16).toUpper() + ';';
    for (int v : fields)
        f += QByteArray::number(v, 16).toUpper() + ';';
    return f;
}

} // namespace

class TestSimModel : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void writeReadsBack_data();
    void writeReadsBack();
    void modulesAreSeparate();
    void textIsKeptTwice();
    void textPresets_data();
    void textPresets();
    void converterRestartsAreCounted();
    void refused_data();
    void refused();
    void silent_data();
    void silent();
    void relayRecordRoundTrip();
    void relayRecordEndingInTwoSemicolons();
    void unpaddedRelayFields();
    void readingsLayout();
    void flagsFollowSetpoints_data();
    void flagsFollowSetpoints();
    void relaysFollowLogic();
    void valuesMove();
    void clockSetAndRead();
    void recordingAdvancesAndStops();
    void recordedFrameLayout();
    void restartMovesAddressAndSpeed();
    void frameWithoutAddressGoesToFirst();
    void parseWithoutAddresses_data();
    void parseWithoutAddresses();
    void lineWithoutAddresses();
    void parameterAddress_data();
    void parameterAddress();
    void stateSurvives();
    void stateHelpExamplePresetsTheBuffers();
    void faultParsing_data();
    void faultParsing();
    void faultShapes_data();
    void faultShapes();
    void faultOnceAndCommand();
    void faultChanceIsSeeded();
    void faultAiming_data();
    void faultAiming();
    void stuckWriteIsNotStored();
    void stateHelpExampleLoads();
    void escape_data();
    void escape();
};

void TestSimModel::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("hasAddress");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("fields");

    QTest::newRow("address read") << QByteArray(":1;14;1518;") << true << true << 1 << 14 << 1;
    QTest::newRow("read without address") << QByteArray(":14;1518;") << true << false << -1 << 14 << 1;
    QTest::newRow("write") << QByteArray(":1;13;1518;4;") << true << true << 1 << 13 << 2;
    QTest::newRow("write without address, hex digits only") << QByteArray(":5;64;13;") << true << false << -1 << 5 << 2;
    QTest::newRow("write without address, address 13") << QByteArray(":13;1518;4;") << true << false << -1 << 13 << 2;
    QTest::newRow("module real write") << QByteArray(":1;27;0;44B;0.25e2;") << true << true << 1 << 27 << 3;
    QTest::newRow("module reload, parameter with ;") << QByteArray(":1;17;1;44B;1;") << true << true << 1 << 17 << 3;
    QTest::newRow("clock set") << QByteArray(":1;33;12;30;05;07;12;26;57;57;") << true << true << 1 << 33 << 8;
    QTest::newRow("clock read") << QByteArray(":0;34;") << true << true << 0 << 34 << 0;
    QTest::newRow("readings") << QByteArray(":1;423;c;") << true << true << 1 << 423 << 1;
    QTest::newRow("frame") << QByteArray(":1;323;FFF;c;") << true << true << 1 << 323 << 2;
    QTest::newRow("link test") << QByteArray(":17;0;") << true << true << 17 << 0 << 0;
    QTest::newRow("relay read without address") << QByteArray(":36;5;") << true << false << -1 << 36 << 1;
    QTest::newRow("noise before the frame") << QByteArray("xx\x01:1;6;C8;") << true << true << 1 << 6 << 1;
    QTest::newRow("both fit: the address wins") << QByteArray(":5;6;1;") << true << true << 5 << 6 << 1;
    QTest::newRow("no colon") << QByteArray("1;6;C8;") << false << false << -1 << -1 << 0;
    QTest::newRow("no final ;") << QByteArray(":1;6;C8") << false << false << -1 << -1 << 0;
    QTest::newRow("empty frame") << QByteArray(":") << false << false << -1 << -1 << 0;
    QTest::newRow("too many fields") << QByteArray(":1;6;C8;1;2;3;") << false << false << -1 << -1 << 0;
    QTest::newRow("address not a number") << QByteArray(":x;6;C8;") << false << false << -1 << -1 << 0;
}

void TestSimModel::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    const sim::Frame f = sim::parseFrame(line);
    QCOMPARE(f.valid, valid);
    if (!valid)
        return;
    QTEST(f.hasAddress, "hasAddress");
    QTEST(f.address, "address");
    QTEST(f.command, "command");
    QTEST(int(f.fields.size()), "fields");
}

void TestSimModel::writeReadsBack_data()
{
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("5/6 setpoint type") << QByteArray(":1;5;C8;13;") << QByteArray(":1;6;C8;") << QByteArray("!13;\r\n");
    QTest::newRow("5 reads back with 14") << QByteArray(":1;5;2;C;") << QByteArray(":1;14;2;") << QByteArray("!C;\r\n");
    QTest::newRow("13/14 text byte") << QByteArray(":1;13;190;54;") << QByteArray(":1;14;190;") << QByteArray("!54;\r\n");
    QTest::newRow("13 lower-case address") << QByteArray(":1;13;151c;0;") << QByteArray(":1;14;151C;") << QByteArray("!0;\r\n");
    QTest::newRow("16-bit value") << QByteArray(":1;13;3;FFFF;") << QByteArray(":1;6;3;") << QByteArray("!FFFF;\r\n");
    QTest::newRow("31/30 network number") << QByteArray(":1;31;1;C8;") << QByteArray(":1;30;1;") << QByteArray("!C8;\r\n");
    QTest::newRow("29/32 interval") << QByteArray(":1;29;6;E10;") << QByteArray(":1;32;6;") << QByteArray("!E10;\r\n");
    QTest::newRow("11/12 real") << QByteArray(":1;11;1;0.25e2;") << QByteArray(":1;12;1;") << QByteArray("!25;\r\n");
    QTest::newRow("15/16 small real") << QByteArray(":1;15;C8;0.1e-2;") << QByteArray(":1;16;C8;") << QByteArray("!0.001;\r\n");
    QTest::newRow("negative real") << QByteArray(":1;11;64;-0.5e1;") << QByteArray(":1;12;64;") << QByteArray("!-5;\r\n");
    QTest::newRow("real zero") << QByteArray(":1;11;64;0;") << QByteArray(":1;12;64;") << QByteArray("!0;\r\n");
    QTest::newRow("19/20 module byte") << QByteArray(":1;19;1;E0;4;") << QByteArray(":1;20;1;E0;") << QByteArray("!4;\r\n");
    QTest::newRow("17/18 module byte") << QByteArray(":1;17;0;44B;1;") << QByteArray(":1;18;0;44B;") << QByteArray("!1;\r\n");
    QTest::newRow("27/28 module real") << QByteArray(":1;27;0;20;0.123456e3;") << QByteArray(":1;28;0;20;") << QByteArray("!123.456;\r\n");
    QTest::newRow("25/26 module real") << QByteArray(":1;25;1;8;0.5e-1;") << QByteArray(":1;26;1;8;") << QByteArray("!0.05;\r\n");
    QTest::newRow("without address") << QByteArray(":5;C8;13;") << QByteArray(":6;C8;") << QByteArray("!13;\r\n");
    QTest::newRow("flash copy") << QByteArray(":1;19;0;264;7;") << QByteArray(":1;20;0;264;") << QByteArray("!7;\r\n");
}

void TestSimModel::writeReadsBack()
{
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, read);
    Line line({1});
    QCOMPARE(ask(line, write), QByteArray("!OK;\r\n"));
    QTEST(ask(line, read), "expected");
}

void TestSimModel::modulesAreSeparate()
{
    Line line({1});
    const QByteArray before = ask(line, ":1;28;0;8;");
    QCOMPARE(ask(line, ":1;27;1;8;0.77e2;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;28;1;8;"), QByteArray("!77;\r\n"));
    QCOMPARE(ask(line, ":1;28;0;8;"), before);
    // Integers and reals are separate spaces: address C8 is a type and a hysteresis.
    QCOMPARE(ask(line, ":1;5;C8;3;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;11;C8;0.5e1;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;6;C8;"), QByteArray("!3;\r\n"));
    QCOMPARE(ask(line, ":1;12;C8;"), QByteArray("!5;\r\n"));
    // So are the 5/13 and 29/31 integers: address 1 is the speed code and the network number.
    QCOMPARE(ask(line, ":1;5;1;96;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;30;1;"), QByteArray("!1;\r\n"));
}

void TestSimModel::textIsKeptTwice()
{
    Line line({1});
    // Command 5 reaches the stored copy only, command 13 the working copy only.
    QCOMPARE(ask(line, ":1;5;190;54;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;6;190;"), QByteArray("!54;\r\n"));
    QCOMPARE(ask(line, ":1;14;190;"), QByteArray("!54;\r\n")); // the preset "Т" is 54 as well
    QCOMPARE(ask(line, ":1;13;191;31;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;14;191;"), QByteArray("!31;\r\n"));
    QCOMPARE(ask(line, ":1;6;191;"), QByteArray("!20;\r\n"));
    QCOMPARE(ask(line, ":1;5;902;41;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;14;902;"), QByteArray("!20;\r\n"));
    QCOMPARE(line.instruments()[0].storedText(0x902), quint16(0x41));
    // A text byte holds a byte: a character's Unicode code is refused.
    QCOMPARE(ask(line, ":1;13;19E;422;"), sim::errAnswer());
    QCOMPARE(ask(line, ":1;5;19E;100;"), sim::errAnswer());
    QCOMPARE(ask(line, ":1;14;19E;"), QByteArray("!20;\r\n"));
    QCOMPARE(ask(line, ":1;6;19E;"), QByteArray("!20;\r\n"));
    // Outside the text areas 5 and 13 write one memory.
    QCOMPARE(ask(line, ":1;5;2;C;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;14;2;"), QByteArray("!C;\r\n"));
    QCOMPARE(ask(line, ":1;13;3;100;"), QByteArray("!OK;\r\n"));
    // Both copies survive the state file.
    Line again({1});
    QString bad;
    QVERIFY2(again.load(line.saveLines(), &bad), qPrintable(bad));
    QCOMPARE(ask(again, ":1;6;902;"), QByteArray("!41;\r\n"));
    QCOMPARE(ask(again, ":1;14;902;"), QByteArray("!20;\r\n"));
}

void TestSimModel::textPresets_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QList<int>>("codes");
    // Channel 9 "Масло Oil": Cyrillic letters, then a Latin word.
    QTest::newRow("Масло Oil") << 0x190 + 8 * 20 << QList<int>{77, 97, 99, 187, 111, 32, 79, 105, 108, 32};
    // Channel 12 "Йодный слой" and "ммоль": Й and й share codes with И and и, ь with Ь.
    QTest::newRow("Йодный слой") << 0x190 + 11 * 20 << QList<int>{165, 111, 227, 189, 195, 184, 32, 99, 187, 111, 184, 32};
    QTest::newRow("ммоль") << 0x8FC + 11 * 8 << QList<int>{188, 188, 111, 187, 196, 32, 32};
    // Channel 11 "мВ" and a code no letter uses.
    QTest::newRow("мВ and 162") << 0x8FC + 10 * 8 << QList<int>{188, 66, 162, 32};
}

void TestSimModel::textPresets()
{
    QFETCH(int, address);
    QFETCH(QList<int>, codes);
    Line line({1});
    for (int k = 0; k < codes.size(); ++k) {
        const QByteArray hex = QByteArray::number(address + k, 16).toUpper();
        const QByteArray want = '!' + QByteArray::number(codes[k], 16).toUpper() + ";\r\n";
        QCOMPARE(ask(line, ":1;14;" + hex + ';'), want);
        QCOMPARE(ask(line, ":1;6;" + hex + ';'), want);
    }
}

void TestSimModel::converterRestartsAreCounted()
{
    Line line({1});
    sim::Instrument& instrument = line.instruments()[0];
    QCOMPARE(ask(line, ":1;17;1;44B;1;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;17;1;44B;1;"), QByteArray("!OK;\r\n"));
    // Another byte there, or another address, restarts nothing.
    QCOMPARE(ask(line, ":1;17;0;44B;0;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;19;0;44C;1;"), QByteArray("!OK;\r\n"));
    QCOMPARE(instrument.converterRestarts(0), 0);
    QCOMPARE(instrument.converterRestarts(1), 2);
    QCOMPARE(line.receive(":1;17;0;44B;1;", kNow, 0).note, QStringLiteral("converter of module 0 restarted (1)"));

    Line again({1});
    QString bad;
    QVERIFY2(again.load(line.saveLines(), &bad), qPrintable(bad));
    QCOMPARE(again.instruments()[0].converterRestarts(1), 2);
    QCOMPARE(again.instruments()[0].converterRestarts(0), 1);
}

void TestSimModel::refused_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("unknown command") << QByteArray(":1;7;C8;");
    QTest::newRow("value not hex") << QByteArray(":1;5;C8;XY;");
    QTest::newRow("value over 16 bits") << QByteArray(":1;5;C8;10000;");
    QTest::newRow("address not hex") << QByteArray(":1;6;G1;");
    QTest::newRow("real not a number") << QByteArray(":1;11;1;abc;");
    QTest::newRow("real NaN text") << QByteArray(":1;11;1;nan;");
    QTest::newRow("module 2 is not fitted") << QByteArray(":1;20;2;E0;");
    QTest::newRow("module not a number") << QByteArray(":1;20;x;E0;");
    QTest::newRow("relay record short") << QByteArray(":1;35;2;0;0;0;");
    QTest::newRow("relay 13 does not exist") << QByteArray(":1;36;D;");
    QTest::newRow("readings count 0") << QByteArray(":1;423;0;");
    QTest::newRow("readings count 13") << QByteArray(":1;423;d;");
    QTest::newRow("frame in no buffer") << QByteArray(":1;323;7FFF;c;");
    QTest::newRow("clock 31 February") << QByteArray(":1;33;12;30;05;31;02;26;57;57;");
    QTest::newRow("clock field not a number") << QByteArray(":1;33;12;3x;05;07;12;26;57;57;");
    QTest::newRow("current frame is not written") << QByteArray(":1;31;20;5;");
}

void TestSimModel::refused()
{
    QFETCH(QByteArray, frame);
    Line line({1});
    QCOMPARE(ask(line, frame), sim::errAnswer());
}

void TestSimModel::silent_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("another address") << QByteArray(":2;6;C8;");
    QTest::newRow("garbage") << QByteArray("\xff\xfe garbage");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no end") << QByteArray(":1;6;C8");
    QTest::newRow("overlong") << QByteArray(":1;6;" + QByteArray(5000, 'A') + ";");
    QTest::newRow("missing address field") << QByteArray(":1;17;0;");
}

void TestSimModel::silent()
{
    QFETCH(QByteArray, frame);
    Line line({1});
    const Answer a = line.receive(frame, kNow, 0);
    QVERIFY(a.silent);
    QVERIFY(!a.note.isEmpty());
}

void TestSimModel::relayRecordRoundTrip()
{
    Line line({1});
    QList<int> fields;
    for (int i = 0; i < 49; ++i)
        fields << (i < 45 ? (i * 7) % 64 : 0);
    QCOMPARE(ask(line, relayWriteFrame(2, fields)), QByteArray("!OK;\r\n"));
    const QList<QByteArray> read = valueFields(ask(line, ":1;36;2;"));
    QCOMPARE(read.size(), 49);
    for (int i = 0; i < 49; ++i) {
        QVERIFY2(read[i].at(0) >= '0' && read[i].at(0) <= '9', read[i].constData());
        QCOMPARE(read[i].toInt(nullptr, 16), fields[i]);
    }
    // The others are untouched.
    QCOMPARE(valueFields(ask(line, ":1;36;3;")).size(), 49);
}

void TestSimModel::relayRecordEndingInTwoSemicolons()
{
    // The link sends the record (which ends in ";") and then the frame's own ";".
    Line line({1});
    QByteArray frame = ":1;35;C;";
    for (int i = 0; i < 49; ++i)
        frame += (i == 0 ? "3F" : i == 44 ? "21" : "0") + QByteArray(";");
    frame += ';';
    QCOMPARE(ask(line, frame), QByteArray("!OK;\r\n"));
    const QList<QByteArray> read = valueFields(ask(line, ":1;36;C;"));
    QCOMPARE(read.size(), 49);
    QCOMPARE(read[0], QByteArray("3F"));
    QCOMPARE(read[44], QByteArray("21"));
    QCOMPARE(read[45], QByteArray("00"));

    // A record with a field too many, or an empty field inside, is still refused.
    QByteArray longer = frame;
    longer.insert(8, "0;");
    QCOMPARE(ask(line, longer), sim::errAnswer());
    QByteArray hole = frame;
    hole.replace(":1;35;C;3F;", ":1;35;C;;");
    QCOMPARE(ask(line, hole), sim::errAnswer());
}

void TestSimModel::unpaddedRelayFields()
{
    Line line({1});
    QString bad;
    QVERIFY2(line.load({QStringLiteral("instrument"), QStringLiteral("relaypad 0")}, &bad), qPrintable(bad));
    const QList<QByteArray> read = valueFields(ask(line, ":1;36;0;"));
    QCOMPARE(read.size(), 49);
    QCOMPARE(read[0], QByteArray("7"));   // the default logic of relay 1
    QCOMPARE(read[1], QByteArray("0"));
    QList<int> rec(49, 0);
    rec[0] = 0xA;
    rec[20] = 0x3F;
    QCOMPARE(ask(line, relayWriteFrame(0, rec)), QByteArray("!OK;\r\n"));
    const QList<QByteArray> again = valueFields(ask(line, ":1;36;0;"));
    QCOMPARE(again[0], QByteArray("A"));
    QCOMPARE(again[20], QByteArray("3F"));

    // The switch survives the state file; the default stays padded.
    Line reloaded({1});
    QVERIFY2(reloaded.load(line.saveLines(), &bad), qPrintable(bad));
    QCOMPARE(valueFields(ask(reloaded, ":1;36;0;"))[0], QByteArray("A"));
    Line padded({1});
    QCOMPARE(valueFields(ask(padded, ":1;36;0;"))[0], QByteArray("07"));
}

void TestSimModel::readingsLayout()
{
    Line line({1});
    const QByteArray a = ask(line, ":1;423;c;");
    QVERIFY(a.startsWith('!'));
    QVERIFY(a.endsWith(";\r\n"));
    const QByteArray r = a.mid(1, a.size() - 4); // without "!" and ";" CR LF
    // Positions 10-21: six groups of two hex digits; 23 on: the channel fields.
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{12}$")).match(QString::fromLatin1(r.mid(9, 12))).hasMatch());
    QCOMPARE(r.at(8), '1'); // mains present
    const QList<QByteArray> channels = r.mid(22).split(';');
    QCOMPARE(channels.size(), 12);
    const QRegularExpression field(QStringLiteral("^[0-9][0-9A-F]-?[0-9]+(\\.[0-9]+)?$"));
    for (const QByteArray& c : channels)
        QVERIFY2(field.match(QString::fromLatin1(c)).hasMatch(), c.constData());
    // Fewer channels when fewer are asked for.
    QCOMPARE(valueFields(ask(line, ":1;423;6;")).size() - 1, 6);

    line.instruments()[0].setMains(false);
    QCOMPARE(ask(line, ":1;423;c;").at(9), '0');
}

void TestSimModel::flagsFollowSetpoints_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<double>("offset"); // setpoint = live value + offset
    QTest::addColumn<int>("flag");

    QTest::newRow("raise, value above") << QByteArray("2") << -50.0 << 1;
    QTest::newRow("raise, value below") << QByteArray("2") << 50.0 << 0;
    QTest::newRow("lower, value below") << QByteArray("1") << 50.0 << 1;
    QTest::newRow("lower, value above") << QByteArray("1") << -50.0 << 0;
    QTest::newRow("fast increase, above") << QByteArray("14") << -50.0 << 1;
    QTest::newRow("no setpoint") << QByteArray("0") << -50.0 << 0;
}

void TestSimModel::flagsFollowSetpoints()
{
    QFETCH(QByteArray, type);
    QFETCH(double, offset);
    Line line({1});
    const double live = line.instruments()[0].liveValue(2, kNow);
    QByteArray sp = QByteArray::number(live + offset, 'f', 2);
    QCOMPARE(ask(line, ":1;5;C9;" + type + ";"), QByteArray("!OK;\r\n"));          // channel 2, setpoint 1 type
    QCOMPARE(ask(line, ":1;11;2;" + sp + ";"), QByteArray("!OK;\r\n"));           // its value
    QCOMPARE(ask(line, ":1;5;12D;0;"), QByteArray("!OK;\r\n"));                    // no second setpoint
    const QList<QByteArray> f = valueFields(ask(line, ":1;423;c;"));
    QByteArray ch2 = f[2];
    QCOMPARE(ch2.at(0), '0');
    QTEST(QByteArray(1, ch2.at(1)).toInt(nullptr, 16), "flag");

    // The broken sensor of channel 12 shows the break flag and an abnormal state.
    QCOMPARE(f[12].at(0), '1');
    QCOMPARE(QByteArray(1, f[12].at(1)).toInt(nullptr, 16) & 4, 4);
}

void TestSimModel::relaysFollowLogic()
{
    Line line({1});
    // Channel 3, first setpoint far below its value (raise): active.
    QCOMPARE(ask(line, ":1;5;CA;2;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;11;3;-0.1e4;"), QByteArray("!OK;\r\n"));
    // Relay 9 (index 8) on the first setpoint of channel 3 only; relay 1 on nothing.
    QList<int> none(49, 0);
    QList<int> ch3 = none;
    ch3[0] = 0x04;
    QCOMPARE(ask(line, relayWriteFrame(8, ch3)), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, relayWriteFrame(0, none)), QByteArray("!OK;\r\n"));
    QByteArray r = ask(line, ":1;423;c;").mid(1);
    int high = r.mid(17, 2).toInt(nullptr, 16);
    int low = r.mid(19, 2).toInt(nullptr, 16);
    QCOMPARE(high & 1, 1);      // relay 9
    QCOMPARE(high & 0x20, 0x20); // relay 14: some first setpoint is active
    QCOMPARE(low & 1, 0);       // relay 1

    // The relay test switches every relay on.
    QCOMPARE(ask(line, ":1;5;13EC;1;"), QByteArray("!OK;\r\n"));
    r = ask(line, ":1;423;c;").mid(1);
    QCOMPARE(r.mid(17, 4), QByteArray("FFFF"));
}

void TestSimModel::valuesMove()
{
    Line line({1});
    QSet<QByteArray> seen;
    for (int s = 0; s < 10; ++s)
        seen.insert(valueFields(ask(line, ":1;423;c;", kNow + s * 7000))[1]);
    QVERIFY(seen.size() > 5);
    // The measured value of a module channel is the live one.
    const double live = line.instruments()[0].liveValue(7, kNow);
    const QByteArray v = valueFields(ask(line, ":1;26;1;EF;"))[0];
    QVERIFY(qAbs(v.toDouble() - live) < 0.1);
}

void TestSimModel::stateHelpExamplePresetsTheBuffers()
{
    // The example of --help, taken from the text itself, does what it says.
    const QString help = sim::stateFileHelp();
    QStringList example;
    bool inExample = false;
    for (const QString& l : help.split(QLatin1Char('\n'))) {
        if (l.startsWith(QLatin1String("Example:")))
            inExample = true;
        else if (inExample && l.startsWith(QLatin1String("  ")))
            example << l.trimmed();
    }
    QVERIFY(example.size() >= 8);
    Line line({1});
    QString error;
    QVERIFY2(line.load(example, &error), qPrintable(error));
    QCOMPARE(valueFields(ask(line, ":1;30;3;")), QList<QByteArray>{"1000"});
    QCOMPARE(valueFields(ask(line, ":1;30;5;")), QList<QByteArray>{"FFF"});
    QCOMPARE(valueFields(ask(line, ":1;30;7;")), QList<QByteArray>{"E10"});
    QCOMPARE(valueFields(ask(line, ":1;14;1519;")), QList<QByteArray>{"4"});
    QCOMPARE(valueFields(ask(line, ":1;14;151D;")), QList<QByteArray>{"1"});
    // Stopped: frame 4200 now and an hour later.
    QCOMPARE(valueFields(ask(line, ":1;30;21;", kNow)), QList<QByteArray>{"1068"});
    QCOMPARE(valueFields(ask(line, ":1;30;21;", kNow + 3600000)), QList<QByteArray>{"1068"});
    const QList<QByteArray> clock = valueFields(ask(line, ":1;34;", kNow));
    QCOMPARE(clock.size(), 8);
    QCOMPARE(clock[7], QByteArray("0"));
    const QDateTime pc = QDateTime::fromMSecsSinceEpoch(kNow);
    QCOMPARE(clock[0].toInt(), pc.addSecs(-3600).time().hour());
}

void TestSimModel::clockSetAndRead()
{
    Line line({1});
    QCOMPARE(ask(line, ":1;33;12;30;05;07;12;26;53;57;", kNow), QByteArray("!OK;\r\n"));
    const QList<QByteArray> f = valueFields(ask(line, ":1;34;", kNow + 65000));
    QCOMPARE(f.size(), 8);
    QCOMPARE(f.mid(0, 7), (QList<QByteArray>{"12", "31", "10", "07", "12", "26", "53"}));
    QVERIFY(f[7].toInt() != 0); // the battery is good
}

void TestSimModel::recordingAdvancesAndStops()
{
    Line line({1});
    QCOMPARE(ask(line, ":1;31;6;2;"), QByteArray("!OK;\r\n")); // buffer 1: a frame every 2 s
    const int p0 = valueFields(ask(line, ":1;30;20;", kNow))[0].toInt(nullptr, 16);
    const int p1 = valueFields(ask(line, ":1;30;20;", kNow + 6000))[0].toInt(nullptr, 16);
    QCOMPARE(p1 - p0, 3);
    QCOMPARE(ask(line, ":1;13;1518;4;", kNow + 6000), QByteArray("!OK;\r\n"));
    QCOMPARE(valueFields(ask(line, ":1;14;1518;"))[0], QByteArray("4"));
    const int p2 = valueFields(ask(line, ":1;30;20;", kNow + 60000))[0].toInt(nullptr, 16);
    QCOMPARE(p2, p1);
    // Buffer 2 is stopped by default, and starts when told.
    const int q0 = valueFields(ask(line, ":1;30;21;", kNow))[0].toInt(nullptr, 16);
    QCOMPARE(ask(line, ":1;13;1519;0;", kNow), QByteArray("!OK;\r\n"));
    const int q1 = valueFields(ask(line, ":1;30;21;", kNow + 120000))[0].toInt(nullptr, 16);
    QCOMPARE(q1, q0 + 1 + 2);
    // Frame numbers stay in the buffer's window (first frame, first + length].
    QCOMPARE(ask(line, ":1;31;4;5;", kNow + 60000), QByteArray("!OK;\r\n"));
    for (int s = 0; s < 10; ++s) {
        const int p = valueFields(ask(line, ":1;30;20;", kNow + 60000 + s * 2000))[0].toInt(nullptr, 16);
        QVERIFY2(p >= 1 && p <= 5, QByteArray::number(p).constData());
    }
}

void TestSimModel::recordedFrameLayout()
{
    Line line({1});
    const int p = valueFields(ask(line, ":1;30;20;"))[0].toInt(nullptr, 16);
    const int interval = valueFields(ask(line, ":1;30;6;"))[0].toInt(nullptr, 16);
    const QList<QByteArray> f = valueFields(ask(line, ":1;323;" + QByteArray::number(p, 16) + ";c;"));
    bool ok = false;
    const int n = f[1].toInt(&ok, 16);
    QVERIFY(ok);
    QCOMPARE(f.size(), 10 + n);
    QVERIFY(n >= 12);
    for (int i = 0; i < 9; ++i) {
        f[i].toDouble(&ok);
        QVERIFY2(ok, f[i].constData()); // the first nine fields are decimal numbers
    }
    QVERIFY(f[9].size() >= 22);
    QVERIFY(!f[9].contains(';'));
    for (int i = 10; i < f.size(); ++i) {
        f[i].mid(2).toDouble(&ok);
        QVERIFY2(ok, f[i].constData());
    }
    QCOMPARE(f[0].toInt(), p);
    // The previous frame is one interval older.
    const QList<QByteArray> g = valueFields(ask(line, ":1;323;" + QByteArray::number(p - 1, 16) + ";c;"));
    const QTime tp(f[2].toInt(), f[3].toInt(), f[4].toInt());
    const QTime tg(g[2].toInt(), g[3].toInt(), g[4].toInt());
    QCOMPARE((tg.secsTo(tp) + 86400) % 86400, interval);
}

void TestSimModel::restartMovesAddressAndSpeed()
{
    Line line({1});
    QCOMPARE(ask(line, ":1;31;1;5;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;5;1;96;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;13;1;96;"), QByteArray("!OK;\r\n"));
    // Before the restart the old address and any speed still work.
    QCOMPARE(ask(line, ":1;14;1;", kNow, 4800), QByteArray("!96;\r\n"));
    QCOMPARE(ask(line, ":5;14;1;", kNow, 4800), QByteArray());
    QCOMPARE(ask(line, ":1;13;151a;1;", kNow, 4800), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":1;14;1;", kNow, 9600), QByteArray());
    QCOMPARE(ask(line, ":5;14;1;", kNow, 4800), QByteArray()); // wrong speed: garbled
    QCOMPARE(ask(line, ":5;14;1;", kNow, 9600), QByteArray("!96;\r\n"));
    QCOMPARE(ask(line, ":5;14;151A;", kNow, 9600), QByteArray("!0;\r\n"));
    QCOMPARE(line.instruments()[0].restarts(), 1);
}

void TestSimModel::frameWithoutAddressGoesToFirst()
{
    Line line({3, 7});
    QCOMPARE(ask(line, ":7;13;3;A;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":3;13;3;B;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":14;3;"), QByteArray("!B;\r\n"));
    QCOMPARE(ask(line, ":7;14;3;"), QByteArray("!A;\r\n"));
    QCOMPARE(ask(line, ":1;14;3;"), QByteArray());
}

void TestSimModel::parseWithoutAddresses_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("hasAddress");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("fields");

    // Guessing would take the address: 11 and 5 are network numbers too.
    QTest::newRow("real write, address 1") << QByteArray(":11;1;0.19e3;") << false << 11 << 2;
    QTest::newRow("integer read, address 1") << QByteArray(":5;6;1;") << false << 5 << 2;
    QTest::newRow("read") << QByteArray(":14;1518;") << false << 14 << 1;
    QTest::newRow("module reload, address path") << QByteArray(":17;0;44B;1;") << false << 17 << 3;
    // The command path's frames keep their address.
    QTest::newRow("clock read") << QByteArray(":1;34;") << true << 34 << 0;
    QTest::newRow("clock set") << QByteArray(":0;33;12;30;05;07;12;26;57;57;") << true << 33 << 8;
    QTest::newRow("readings") << QByteArray(":1;423;c;") << true << 423 << 1;
    QTest::newRow("recorded frame") << QByteArray(":1;323;1F;c;") << true << 323 << 2;
    QTest::newRow("module reload, command path") << QByteArray(":1;17;0;44B;1;") << true << 17 << 3;
}

void TestSimModel::parseWithoutAddresses()
{
    QFETCH(QByteArray, line);
    const sim::Frame f = sim::parseFrame(line, sim::AddressMode::Off);
    QVERIFY(f.valid);
    QTEST(f.hasAddress, "hasAddress");
    QTEST(f.command, "command");
    QTEST(int(f.fields.size()), "fields");
}

void TestSimModel::lineWithoutAddresses()
{
    Line guessing({1});
    QCOMPARE(ask(guessing, ":11;1;0.19e3;"), QByteArray()); // taken for address 11

    Line line({1});
    line.setAddressMode(sim::AddressMode::Off);
    QCOMPARE(ask(line, ":11;1;0.19e3;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":12;1;"), QByteArray("!190;\r\n"));
    QCOMPARE(ask(line, ":13;1;A;"), QByteArray("!OK;\r\n"));
    QCOMPARE(ask(line, ":14;1;"), QByteArray("!A;\r\n"));
    // The command path's frames are answered whatever address they carry.
    QCOMPARE(valueFields(ask(line, ":0;34;")).size(), 8);
    QCOMPARE(valueFields(ask(line, ":7;423;c;")).size(), 13);
}

void TestSimModel::parameterAddress_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("address");

    QTest::newRow("read") << QByteArray(":1;14;1518;") << 0x1518;
    QTest::newRow("write, lower case") << QByteArray(":1;13;151a;1;") << 0x151A;
    QTest::newRow("module read") << QByteArray(":1;28;1;44B;") << 0x44B;
    QTest::newRow("module write") << QByteArray(":1;27;0;220;0.5e3;") << 0x220;
    QTest::newRow("module reload, command path") << QByteArray(":1;17;0;44B;1;") << 0x44B;
    QTest::newRow("recorded frame") << QByteArray(":1;323;1F;c;") << 0x1F;
    QTest::newRow("relay read") << QByteArray(":1;36;5;") << 5;
    QTest::newRow("clock read") << QByteArray(":1;34;") << -1;
    QTest::newRow("clock set") << QByteArray(":1;33;12;30;05;07;12;26;57;57;") << -1;
    QTest::newRow("readings") << QByteArray(":1;423;c;") << -1;
    QTest::newRow("link test") << QByteArray(":1;0;") << -1;
}

void TestSimModel::parameterAddress()
{
    QFETCH(QByteArray, line);
    QTEST(sim::parameterAddress(sim::parseFrame(line)), "address");
    Line l({1});
    QTEST(l.receive(line, kNow, 0).address, "address");
}

void TestSimModel::stateSurvives()
{
    Line line({1, 2});
    ask(line, ":2;5;C8;13;");
    ask(line, ":1;11;1;0.314e1;");
    ask(line, ":1;27;1;20;0.5e3;");
    QList<int> rec(49, 0);
    rec[3] = 0x21;
    ask(line, relayWriteFrame(4, rec));
    ask(line, ":1;33;01;02;03;04;05;26;53;57;");
    ask(line, ":1;31;1;9;");
    ask(line, ":1;13;151A;1;");

    Line again({1});
    QString bad;
    QVERIFY2(again.load(line.saveLines(), &bad), qPrintable(bad));
    QCOMPARE(again.instruments().size(), 2);
    QCOMPARE(ask(again, ":2;6;C8;"), QByteArray("!13;\r\n"));
    QCOMPARE(ask(again, ":9;12;1;"), QByteArray("!3.14;\r\n"));
    QCOMPARE(ask(again, ":1;12;1;"), QByteArray()); // restarted at 9
    QCOMPARE(ask(again, ":9;28;1;20;"), QByteArray("!500;\r\n"));
    QCOMPARE(ask(again, ":9;36;4;"), ask(line, ":9;36;4;"));
    QCOMPARE(ask(again, ":9;34;"), ask(line, ":9;34;"));

    Line broken({1});
    QVERIFY(!broken.load({QStringLiteral("instrument"), QStringLiteral("int zz 1")}, &bad));
    QCOMPARE(bad, QStringLiteral("int zz 1"));
}

void TestSimModel::faultParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("ms");

    QTest::newRow("plain") << "silence" << true << int(sim::FaultKind::Silence) << -1 << 0 << 0;
    QTest::newRow("command once") << "err:cmd=14:once" << true << int(sim::FaultKind::Err) << 14 << 1 << 0;
    QTest::newRow("chance") << "delay:p=0.3:seed=7:ms=900" << true << int(sim::FaultKind::Delay) << -1 << 2 << 900;
    QTest::newRow("default ms") << "unplug" << true << int(sim::FaultKind::Unplug) << -1 << 0 << 300;
    QTest::newRow("upper case kind") << "NaN:cmd=12" << true << int(sim::FaultKind::NaN) << 12 << 0 << 0;
    QTest::newRow("aimed") << "noack:cmd=13:adr=151a:after=2:times=3" << true << int(sim::FaultKind::NoAck) << 13 << 0 << 0;
    QTest::newRow("stuck") << "stuck:adr=C8" << true << int(sim::FaultKind::Stuck) << -1 << 0 << 0;
    QTest::newRow("badvalue") << "badvalue:once" << true << int(sim::FaultKind::BadValue) << -1 << 1 << 0;
    QTest::newRow("address not hexadecimal") << "err:adr=G1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("address too large") << "err:adr=10000" << false << 0 << 0 << 0 << 0;
    QTest::newRow("negative after") << "err:after=-1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("no times") << "err:times=0" << false << 0 << 0 << 0 << 0;
    QTest::newRow("unknown kind") << "smoke" << false << 0 << 0 << 0 << 0;
    QTest::newRow("bad probability") << "err:p=1.5" << false << 0 << 0 << 0 << 0;
    QTest::newRow("bad command") << "err:cmd=x" << false << 0 << 0 << 0 << 0;
    QTest::newRow("negative ms") << "delay:ms=-3" << false << 0 << 0 << 0 << 0;
    QTest::newRow("unknown option") << "err:twice" << false << 0 << 0 << 0 << 0;
}

void TestSimModel::faultParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    sim::FaultOption option;
    QString error;
    QCOMPARE(sim::parseFault(text, &option, &error), ok);
    if (!ok) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QTEST(int(option.kind), "kind");
    QTEST(option.command, "command");
    QTEST(int(option.mode), "mode");
    QTEST(option.ms, "ms");
    if (QByteArray(QTest::currentDataTag()) == "aimed") {
        QCOMPARE(option.address, 0x151A);
        QCOMPARE(option.after, 2);
        QCOMPARE(option.times, 3);
    }
}

void TestSimModel::faultShapes_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("onWire");   // all pieces joined
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("totalDelay");

    const QByteArray req = ":1;12;1;\r\n";
    QTest::newRow("silence") << "silence" << 12 << QByteArray("!25;\r\n") << QByteArray() << 0 << 0;
    QTest::newRow("err") << "err" << 12 << QByteArray("!25;\r\n") << QByteArray("ERR\r\n") << 1 << 0;
    QTest::newRow("split") << "split:ms=30" << 12 << QByteArray("!25.125;\r\n") << QByteArray("!25.125;\r\n") << 3 << 60;
    QTest::newRow("echo together") << "echo" << 12 << QByteArray("!25;\r\n") << QByteArray(req + "!25;\r\n") << 1 << 0;
    QTest::newRow("echo apart") << "echo:ms=80" << 12 << QByteArray("!25;\r\n") << QByteArray(req + "!25;\r\n") << 2 << 80;
    QTest::newRow("nocr") << "nocr" << 12 << QByteArray("!25;\r\n") << QByteArray("!25;\n") << 1 << 0;
    QTest::newRow("delay") << "delay:ms=700" << 12 << QByteArray("!25;\r\n") << QByteArray("!25;\r\n") << 1 << 700;
    QTest::newRow("nan real") << "nan" << 12 << QByteArray("!25;\r\n") << QByteArray("!NaN;\r\n") << 1 << 0;
    QTest::newRow("nan integer untouched") << "nan" << 14 << QByteArray("!1F;\r\n") << QByteArray("!1F;\r\n") << 1 << 0;
    QTest::newRow("nan readings") << "nan" << 423 << QByteArray("!x;00123.4;00.5;\r\n") << QByteArray("!x;00NaN;00.5;\r\n") << 1 << 0;
    QTest::newRow("noack") << "noack" << 13 << QByteArray("!OK;\r\n") << QByteArray("!ERR;\r\n") << 1 << 0;
    QTest::newRow("stuck") << "stuck" << 13 << QByteArray("!OK;\r\n") << QByteArray("!OK;\r\n") << 1 << 0;
    QTest::newRow("badvalue integer") << "badvalue" << 14 << QByteArray("!1F;\r\n") << QByteArray("!1G;\r\n") << 1 << 0;
    QTest::newRow("badvalue real") << "badvalue" << 12 << QByteArray("!25;\r\n") << QByteArray("!1G;\r\n") << 1 << 0;
    QTest::newRow("badvalue readings") << "badvalue" << 423 << QByteArray("!x;00123.4;00.5;\r\n") << QByteArray("!x;001G;00.5;\r\n") << 1 << 0;
    QTest::newRow("unplug") << "unplug:ms=100" << 12 << QByteArray("!25.5;\r\n") << QByteArray("!25.") << 2 << 50;
}

void TestSimModel::faultShapes()
{
    QFETCH(QString, fault);
    QFETCH(int, command);
    QFETCH(QByteArray, answer);
    sim::FaultOption option;
    QString error;
    QVERIFY(sim::parseFault(fault, &option, &error));
    sim::FaultSet set;
    set.add(option);
    const sim::Shaped s = set.shape(command, ":1;12;1;\r\n", answer);
    QByteArray wire;
    int delay = 0;
    for (const sim::Piece& p : s.pieces) {
        wire += p.bytes;
        delay += p.delayMs;
    }
    QTEST(wire, "onWire");
    QTEST(int(s.pieces.size()), "pieces");
    QTEST(delay, "totalDelay");
    QVERIFY(!s.note.isEmpty());
    QCOMPARE(s.store, option.kind != sim::FaultKind::Stuck);
    if (option.kind == sim::FaultKind::Unplug) {
        QVERIFY(s.pieces.last().unplug);
        QCOMPARE(s.replugMs, 100);
    }
}

void TestSimModel::faultOnceAndCommand()
{
    sim::FaultSet set;
    sim::FaultOption option;
    QString error;
    QVERIFY(sim::parseFault(QStringLiteral("err:cmd=14:once"), &option, &error));
    set.add(option);
    const QByteArray ok = "!1;\r\n";
    auto wire = [&](int command) {
        QByteArray w;
        for (const sim::Piece& p : set.shape(command, "", ok).pieces)
            w += p.bytes;
        return w;
    };
    QCOMPARE(wire(6), ok);
    QCOMPARE(wire(14), sim::errAnswer());
    QCOMPARE(wire(14), ok);

    // Garbage never carries the answer's markers.
    sim::FaultSet noise;
    QVERIFY(sim::parseFault(QStringLiteral("garbage:seed=3"), &option, &error));
    noise.add(option);
    for (int i = 0; i < 50; ++i) {
        const QByteArray g = noise.shape(6, "", ok).pieces.first().bytes;
        QVERIFY(!g.contains('!') && !g.contains(';') && !g.contains("ERR"));
        QVERIFY(g.endsWith("\r\n"));
    }
}

void TestSimModel::faultChanceIsSeeded()
{
    auto run = [](const QString& text) {
        sim::FaultOption option;
        QString error;
        sim::parseFault(text, &option, &error);
        sim::FaultSet set;
        set.add(option);
        QByteArray pattern;
        for (int i = 0; i < 400; ++i)
            pattern += set.shape(6, "", "!1;\r\n").pieces.isEmpty() ? '1' : '0';
        return pattern;
    };
    const QByteArray a = run(QStringLiteral("silence:p=0.3:seed=5"));
    QCOMPARE(run(QStringLiteral("silence:p=0.3:seed=5")), a);
    QVERIFY(run(QStringLiteral("silence:p=0.3:seed=6")) != a);
    const int hits = int(a.count('1'));
    QVERIFY2(hits > 80 && hits < 160, QByteArray::number(hits).constData());
}

void TestSimModel::faultAiming_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<QByteArray>("hits"); // per frame: '.' untouched, else the fault's first letter

    QTest::newRow("after and times at one address")
        << QStringList{"err:cmd=14:adr=1518:after=2:times=2"} << QList<int>{14, 14, 14, 14, 14, 14, 14, 6}
        << QList<int>{0x1518, 3, 0x1518, 0x1518, 0x1518, 0x1518, 0x1518, 0x1518} << QByteArray("...ee...");
    QTest::newRow("after on every command") << QStringList{"silence:after=3"} << QList<int>{6, 14, 13, 12, 12}
                                            << QList<int>{1, 1, 1, 1, 1} << QByteArray("...ss");
    QTest::newRow("once after") << QStringList{"err:once:after=1"} << QList<int>{6, 6, 6, 6}
                                << QList<int>{1, 1, 1, 1} << QByteArray(".e..");
    QTest::newRow("noack counts writes only") << QStringList{"noack:after=1"} << QList<int>{14, 13, 14, 13, 5, 33}
                                              << QList<int>{1, 1, 1, 1, 1, -1} << QByteArray("...nnn");
    QTest::newRow("stuck writes only") << QStringList{"stuck:times=1"} << QList<int>{12, 36, 11, 11}
                                       << QList<int>{1, 1, 1, 1} << QByteArray("..s.");
    QTest::newRow("badvalue reads only") << QStringList{"badvalue"} << QList<int>{13, 14, 12, 34, 36, 323, 423, 0}
                                         << QList<int>{1, 1, 1, -1, 0, 5, -1, -1} << QByteArray(".bbbbbb.");
    QTest::newRow("no address never matches adr=") << QStringList{"err:adr=0"} << QList<int>{34, 423, 14}
                                                   << QList<int>{-1, -1, 0} << QByteArray("..e");
    // Each fault counts its own frames, whichever fault took them.
    QTest::newRow("two faults count apart") << QStringList{"err:cmd=13:times=1", "noack:cmd=13:after=1:times=1"}
                                            << QList<int>{13, 13, 13} << QList<int>{1, 1, 1} << QByteArray("en.");
    QTest::newRow("the first that applies wins") << QStringList{"noack:times=2", "err"} << QList<int>{13, 13, 13, 14}
                                                 << QList<int>{1, 1, 1, 1} << QByteArray("nnee");
}

void TestSimModel::faultAiming()
{
    QFETCH(QStringList, faults);
    QFETCH(QList<int>, commands);
    QFETCH(QList<int>, addresses);
    sim::FaultSet set;
    for (const QString& text : faults) {
        sim::FaultOption option;
        QString error;
        QVERIFY2(sim::parseFault(text, &option, &error), qPrintable(error));
        set.add(option);
    }
    QByteArray hits;
    for (int i = 0; i < commands.size(); ++i) {
        const sim::Shaped s = set.shape(commands[i], addresses[i], "", "!1;\r\n");
        if (s.note.isEmpty()) {
            hits += '.';
            continue;
        }
        const QString text = s.note.mid(s.note.indexOf(QLatin1Char(' ')) + 1);
        hits += text.at(0).toLatin1();
    }
    QTEST(hits, "hits");
}

void TestSimModel::stuckWriteIsNotStored()
{
    Line line({1});
    sim::FaultSet faults;
    sim::FaultOption option;
    QString error;
    QVERIFY(sim::parseFault(QStringLiteral("stuck:adr=3:times=2"), &option, &error));
    faults.add(option);
    auto wire = [&](const QByteArray& frame) {
        const sim::Served s = sim::serve(line, faults, frame + "\r\n", frame, kNow, 0);
        QByteArray w;
        for (const sim::Piece& p : s.shaped.pieces)
            w += p.bytes;
        return w;
    };
    const QByteArray before = wire(":1;14;3;");
    QCOMPARE(wire(":1;13;3;C;"), QByteArray("!OK;\r\n"));
    QCOMPARE(wire(":1;14;3;"), before);
    QCOMPARE(wire(":1;13;4;C;"), QByteArray("!OK;\r\n")); // another address is stored
    QCOMPARE(wire(":1;14;4;"), QByteArray("!C;\r\n"));
    const QByteArray realBefore = wire(":1;12;3;");
    QCOMPARE(wire(":1;11;3;0.5e1;"), QByteArray("!OK;\r\n")); // real memory 3: the second time
    QCOMPARE(wire(":1;12;3;"), realBefore);
    QVERIFY(realBefore != "!5;\r\n");
    QCOMPARE(wire(":1;13;3;C;"), QByteArray("!OK;\r\n")); // spent: stored
    QCOMPARE(wire(":1;14;3;"), QByteArray("!C;\r\n"));

    // A stuck restart does not restart.
    sim::FaultSet restart;
    QVERIFY(sim::parseFault(QStringLiteral("stuck:adr=151A"), &option, &error));
    restart.add(option);
    QCOMPARE(sim::serve(line, restart, {}, ":1;31;1;9;", kNow, 0).answer.bytes, QByteArray("!OK;\r\n"));
    sim::serve(line, restart, {}, ":1;13;151A;1;", kNow, 0);
    QCOMPARE(line.instruments()[0].restarts(), 0);
    QCOMPARE(line.instruments()[0].networkNumber(), 1);

    // The value faults, through the line.
    sim::FaultSet bad;
    QVERIFY(sim::parseFault(QStringLiteral("badvalue"), &option, &error));
    bad.add(option);
    QCOMPARE(sim::serve(line, bad, {}, ":1;14;4;", kNow, 0).shaped.pieces.first().bytes, QByteArray("!1G;\r\n"));
    QCOMPARE(sim::serve(line, bad, {}, ":1;12;1;", kNow, 0).shaped.pieces.first().bytes, QByteArray("!1G;\r\n"));
    const QList<QByteArray> clock = valueFields(sim::serve(line, bad, {}, ":1;34;", kNow, 0).shaped.pieces.first().bytes);
    QCOMPARE(clock.size(), 8);
    QCOMPARE(clock.first(), QByteArray("1G"));
    const QList<QByteArray> relay = valueFields(sim::serve(line, bad, {}, ":1;36;0;", kNow, 0).shaped.pieces.first().bytes);
    QCOMPARE(relay.size(), 49);
    QCOMPARE(relay.first(), QByteArray("1G"));
    const QList<QByteArray> readings = valueFields(sim::serve(line, bad, {}, ":1;423;c;", kNow, 0).shaped.pieces.first().bytes);
    QCOMPARE(readings.size(), 13);
    QCOMPARE(readings[1].mid(2), QByteArray("1G"));
    const QList<QByteArray> frame = valueFields(sim::serve(line, bad, {}, ":1;323;5;c;", kNow, 0).shaped.pieces.first().bytes);
    QVERIFY(frame.size() > 10);
    QCOMPARE(frame[10].mid(2), QByteArray("1G"));
    QCOMPARE(frame[11], valueFields(ask(line, ":1;323;5;c;"))[11]);
}

void TestSimModel::stateHelpExampleLoads()
{
    const QStringList help = sim::stateFileHelp().split(QLatin1Char('\n'));
    QStringList example;
    bool in = false;
    for (const QString& l : help) {
        if (l.startsWith(QLatin1String("Example:")))
            in = true;
        else if (in && l.startsWith(QLatin1String("  ")))
            example << l;
        else if (in && !example.isEmpty())
            break;
    }
    QVERIFY(example.size() >= 5);
    Line line({1});
    QString bad;
    QVERIFY2(line.load(example, &bad), qPrintable(bad));
    const sim::Instrument& i = line.instruments()[0];
    QCOMPARE(i.integer(sim::Instrument::Cpu, 2), quint16(0));
    QCOMPARE(i.integer(sim::Instrument::Cpu, 4), quint16(100));
    QCOMPARE(i.integer(sim::Instrument::Cpu, 6), quint16(5));
    QCOMPARE(i.relayRecord(0).size(), 49);
    QCOMPARE(i.relayRecord(0).first(), quint16(3));
    // The channel text as the display loader reads it.
    QCOMPARE(ask(line, ":1;14;190;"), QByteArray("!41;\r\n"));
    QCOMPARE(ask(line, ":1;14;191;"), QByteArray("!42;\r\n"));
    // Untouched items keep their defaults.
    QCOMPARE(i.integer(sim::Instrument::Cpu, 5), Line({1}).instruments()[0].integer(sim::Instrument::Cpu, 5));
}

void TestSimModel::escape_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("frame") << QByteArray(":1;14;1518;\r\n") << QByteArray(":1;14;1518;\\r\\n");
    QTest::newRow("backslash") << QByteArray("a\\b") << QByteArray("a\\\\b");
    QTest::newRow("high and control") << QByteArray("\xff\x01") << QByteArray("\\xFF\\x01");
}

void TestSimModel::escape()
{
    QFETCH(QByteArray, bytes);
    QTEST(sim::escapeBytes(bytes), "text");
}

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_simmodel.moc"
