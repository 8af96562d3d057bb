// The relay record without a window: rows to fields and back, the relay of a
// grid row, the record test and the flag test.

#include "relayrecord.h"

#include <QTest>

using namespace contacts;

namespace {

std::array<bool, 6> six(const QString& pattern)
{
    std::array<bool, 6> m{};
    for (int b = 0; b < 6; ++b)
        m[size_t(b)] = pattern.at(b) == QLatin1Char('*');
    return m;
}

QString pattern(const std::array<bool, 6>& m)
{
    QString s;
    for (bool b : m)
        s += b ? QLatin1Char('*') : QLatin1Char('.');
    return s;
}

// A record answer: the fields given, the others "00", as the link returns it.
QString answer(const QMap<int, QString>& fields, const QString& pad = QStringLiteral("00"))
{
    QString a;
    for (int i = 0; i < kRecordFields; ++i)
        a += fields.value(i, pad) + QLatin1Char(';');
    return a + QLatin1Char('\r');
}

} // namespace

class TestContactsRecord : public QObject {
    Q_OBJECT
private slots:
    void relayOfRow_data();
    void relayOfRow();
    void range_data();
    void range();
    void pack_data();
    void pack();
    void unpack_data();
    void unpack();
    void emptyRecord();
    void recordOfMarks();
    void readRecord_data();
    void readRecord();
    void flagAnswer_data();
    void flagAnswer();
};

void TestContactsRecord::relayOfRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("relay");
    QTest::newRow("heading row") << 0 << 0;
    QTest::newRow("first row of relay 1") << 1 << 0;
    QTest::newRow("spare row of relay 1") << 4 << 0;
    QTest::newRow("first row of relay 2") << 5 << 1;
    QTest::newRow("break row of relay 4") << 15 << 3;
    QTest::newRow("spare row of relay 13") << 52 << 12;
}

void TestContactsRecord::relayOfRow()
{
    QFETCH(int, row);
    QFETCH(int, relay);
    QCOMPARE(contacts::relayOfRow(row), relay);
    if (row > 0) {
        // Every event row of a relay leads back to it.
        for (int e = 0; e < kEventRows; ++e)
            QCOMPARE(contacts::relayOfRow(eventRow(relay, e)), relay);
        QCOMPARE(eventRow(relay, 0), 4 * relay + 1);
    }
}

void TestContactsRecord::range_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("rowSel");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("one cell") << 6 << 6 << 1 << 1;
    QTest::newRow("downward across relays") << 6 << 13 << 1 << 3;
    QTest::newRow("upward across relays") << 13 << 6 << 1 << 3;
    QTest::newRow("within one relay upward") << 8 << 5 << 1 << 1;
    QTest::newRow("whole grid upward") << 52 << 1 << 0 << 12;
}

void TestContactsRecord::range()
{
    QFETCH(int, row);
    QFETCH(int, rowSel);
    const RelayRange r = relayRange(row, rowSel);
    QTEST(r.first, "first");
    QTEST(r.last, "last");
}

void TestContactsRecord::pack_data()
{
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << "......" << "0";
    QTest::newRow("all six") << "******" << "3F";
    QTest::newRow("first five") << "*****." << "1F";
    QTest::newRow("last only") << ".....*" << "20";
    QTest::newRow("first and third") << "*.*..." << "5";
    QTest::newRow("ten") << ".*.*.." << "A";
}

void TestContactsRecord::pack()
{
    QFETCH(QString, marks);
    QTEST(packField(six(marks)), "text");
}

void TestContactsRecord::unpack_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("marks");
    QTest::newRow("5: channels 1 and 3") << 5u << "*.*...";
    QTest::newRow("0") << 0u << "......";
    QTest::newRow("3F") << 0x3Fu << "******";
    QTest::newRow("20") << 0x20u << ".....*";
    // Above 3F: exactly the low six bits, never six marks.
    QTest::newRow("41: only channel 1") << 0x41u << "*.....";
    QTest::newRow("40: none") << 0x40u << "......";
    QTest::newRow("FF: all six") << 0xFFu << "******";
    QTest::newRow("FFFFFFC2") << 0xFFFFFFC2u << ".*....";
}

void TestContactsRecord::unpack()
{
    QFETCH(quint32, value);
    QTEST(pattern(unpackField(value)), "marks");
}

void TestContactsRecord::emptyRecord()
{
    // Relay index 2, no marks: "2;" and forty-nine "0;".
    QString expected = QStringLiteral("2;");
    for (int i = 0; i < 49; ++i)
        expected += QStringLiteral("0;");
    QCOMPARE(recordText(2, RelayMarks{}), expected);
    QCOMPARE(recordText(12, RelayMarks{}).left(2), QStringLiteral("C;"));
}

void TestContactsRecord::recordOfMarks()
{
    RelayMarks m{};
    for (int c : {1, 2, 3, 7, 90})
        m[0][size_t(c - 1)] = true;   // first setpoint
    m[1][12] = true;                  // second setpoint, channel 13
    m[2][83] = true;                  // break, channel 84
    m[2][84] = true;                  // break, channel 85
    const QStringList f = recordText(10, m).split(QLatin1Char(';'));
    QCOMPARE(f.size(), 51);           // index, 49 fields, and after the last ";" nothing
    QCOMPARE(f[0], QStringLiteral("A"));
    QCOMPARE(f[1], QStringLiteral("7"));   // channels 1-3
    QCOMPARE(f[2], QStringLiteral("1"));   // channel 7
    QCOMPARE(f[15], QStringLiteral("20")); // channel 90
    QCOMPARE(f[16 + 2], QStringLiteral("1")); // channel 13 of the second group
    QCOMPARE(f[31 + 13], QStringLiteral("20")); // channel 84: field 13, bit 5
    QCOMPARE(f[31 + 14], QStringLiteral("1"));  // channel 85: field 14, bit 0
    int marked = 0;
    for (int i = 1; i <= 49; ++i)
        marked += f[i] != QLatin1String("0");
    QCOMPARE(marked, 6);
    QCOMPARE(f[50], QString());
}

void TestContactsRecord::readRecord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isRecord");
    QTest::addColumn<quint32>("field0");
    QTest::addColumn<quint32>("field16");
    QTest::newRow("padded") << answer({{0, "07"}, {16, "3F"}}) << true << 7u << 0x3Fu;
    QTest::newRow("unpadded, starting with a letter") << answer({{0, "A"}, {16, "f"}}, "0") << true << 10u << 15u;
    QTest::newRow("above 3F") << answer({{0, "41"}, {16, "FFFF"}}) << true << 0x41u << 0xFFFFu;
    QTest::newRow("eight digits") << answer({{0, "FFFFFFFF"}}) << true << 0xFFFFFFFFu << 0u;
    QTest::newRow("no answer") << "Прибор не отвечает" << false << 0u << 0u;
    QTest::newRow("system error") << "Ошибка Windowsno such port" << false << 0u << 0u;
    QTest::newRow("bad block") << "Непавильный формат ответа прибора" << false << 0u << 0u;
    QTest::newRow("empty") << "" << false << 0u << 0u;
    QTest::newRow("48 fields") << answer({}).mid(3) << false << 0u << 0u;
    QTest::newRow("nine digits") << answer({{0, "123456789"}}) << false << 0u << 0u;
    QTest::newRow("a bad field later") << answer({{30, "G1"}}) << false << 0u << 0u;
}

void TestContactsRecord::readRecord()
{
    QFETCH(QString, text);
    QFETCH(bool, isRecord);
    std::array<quint32, contacts::kEventFields> f{};
    QCOMPARE(contacts::readRecord(text, &f), isRecord);
    if (isRecord) {
        QTEST(f[0], "field0");
        QTEST(f[16], "field16");
    }
}

void TestContactsRecord::flagAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("set");
    QTest::newRow("1") << "1" << true << true;
    QTest::newRow("0") << "0" << true << false;
    QTest::newRow("2") << "2" << true << false;
    QTest::newRow("31") << "31" << true << false;
    QTest::newRow("FFFF as the link gives it") << "-1" << true << false;
    QTest::newRow("most negative") << "-32768" << true << false;
    QTest::newRow("no answer") << "Прибор не отвечает" << false << false;
    QTest::newRow("bad number") << "Из прибора пришло число в неправильном формате" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("minus alone") << "-" << false << false;
    QTest::newRow("blank around") << " 1" << false << false;
}

void TestContactsRecord::flagAnswer()
{
    QFETCH(QString, text);
    QTEST(isFlagAnswer(text), "answer");
    QTEST(flagSet(text), "set");
}

QTEST_GUILESS_MAIN(TestContactsRecord)
#include "tst_contacts_record.moc"
