// The channel items, the byte boxes and the real boxes of
// the input window, without a window.

#include "numbers.h"
#include "parameters.h"

#include <QtTest>

using namespace inputs;

class TestParameters : public QObject {
    Q_OBJECT

private slots:
    void channelItems_data();
    void channelItems();
    void byteFromBox_data();
    void byteFromBox();
    void byteForBox_data();
    void byteForBox();
    void realForWrite_data();
    void realForWrite();
};

void TestParameters::channelItems_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("first module") << 0 << QStringLiteral("Первый  (1)") << QStringLiteral("Шестой  (6)");
    QTest::newRow("second module") << 1 << QStringLiteral("Первый  (7)") << QStringLiteral("Шестой  (12)");
}

void TestParameters::channelItems()
{
    QFETCH(int, module);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const QStringList items = inputs::channelItems(module);
    QCOMPARE(items.size(), 6);
    QCOMPARE(items.first(), first);
    QCOMPARE(items.last(), last);
    QCOMPARE(items.at(3), QStringLiteral("Четвертый  (%1)").arg(6 * module + 4));
}

void TestParameters::byteFromBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("one digit") << "2" << true << 2;
    QTest::newRow("two digits") << "1F" << true << 0x1F;
    QTest::newRow("lower case") << "1f" << true << 0x1F;
    QTest::newRow("blanks around") << " FF " << true << 0xFF;
    QTest::newRow("ten is hexadecimal") << "10" << true << 16;
    QTest::newRow("three digits") << "1FF" << false << 0;
    QTest::newRow("the module's -1") << "FFFF" << false << 0;
    QTest::newRow("minus") << "-1" << false << 0;
    QTest::newRow("not a digit") << "G" << false << 0;
    QTest::newRow("prefix") << "&H1F" << false << 0;
    QTest::newRow("decimal point") << "1,5" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
}

void TestParameters::byteFromBox()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int got = -1;
    QCOMPARE(inputs::byteFromBox(text, &got), ok);
    if (ok)
        QCOMPARE(got, value);
}

void TestParameters::byteForBox_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0") << qint64(0) << "0";
    QTest::newRow("31") << qint64(31) << "1F";
    QTest::newRow("255") << qint64(255) << "FF";
    QTest::newRow("511 is not a byte") << qint64(511) << "1FF";
    QTest::newRow("-1 is FFFF") << qint64(-1) << "FFFF";
}

void TestParameters::byteForBox()
{
    QFETCH(qint64, value);
    QFETCH(QString, shown);
    QCOMPARE(inputs::byteForBox(value), shown);
    // What the box shows for a byte is taken back as that byte.
    int back = -1;
    QCOMPARE(inputs::byteFromBox(shown, &back), value >= 0 && value <= 255);
    if (value >= 0 && value <= 255)
        QCOMPARE(back, int(value));
}

void TestParameters::realForWrite_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("wire");
    QTest::newRow("empty") << "" << 8 << int(RealBox::Empty) << "";
    QTest::newRow("blanks") << "  " << 8 << int(RealBox::Empty) << "";
    QTest::newRow("comma locale") << "12,5" << 8 << int(RealBox::Ok) << "0.125e2";
    QTest::newRow("zero") << "0" << 8 << int(RealBox::Ok) << "0";
    QTest::newRow("negative") << "-5" << 8 << int(RealBox::Ok) << "-0.5e1";
    QTest::newRow("small") << "0,05" << 8 << int(RealBox::Ok) << "0.5e-1";
    QTest::newRow("six digits") << "123,456" << 8 << int(RealBox::Ok) << "0.123456e3";
    QTest::newRow("seven digits are cut") << "123,4567" << 8 << int(RealBox::TooManyDigits) << "0.123456e3";
    QTest::newRow("fewer digits kept") << "123,456" << 4 << int(RealBox::TooManyDigits) << "0.12e3";
    QTest::newRow("point in a comma locale") << "12.5" << 8 << int(RealBox::NotNumber) << "";
    QTest::newRow("letters") << "abc" << 8 << int(RealBox::NotNumber) << "";
    QTest::newRow("too large for a double") << "1e999" << 8 << int(RealBox::NotNumber) << "";
}

void TestParameters::realForWrite()
{
    QFETCH(QString, text);
    QFETCH(int, digits);
    QFETCH(int, status);
    QFETCH(QString, wire);
    const QString sep = QStringLiteral(",");
    const RealWrite w = inputs::realForWrite(
        text, sep, [&](double v) { return instrument::exponentForm(v, digits, sep, true); });
    QCOMPARE(int(w.status), status);
    QCOMPARE(w.wire, wire);
    if (w.status == RealBox::Ok)
        QCOMPARE(w.sent, w.shown);
}

QTEST_GUILESS_MAIN(TestParameters)
#include "tst_inputs_parameters.moc"
