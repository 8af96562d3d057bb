// The display character table and the conversions.

#include "cp1251.h"
#include "displaytext.h"

#include <QTest>
#include <iconv.h>

namespace map = instrument::map;

namespace {

// The Windows-1251 byte of one character as the system's converter has it;
// -1 when it has none.
int iconvByte(QChar ch)
{
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    if (cd == iconv_t(-1))
        return -2;
    QByteArray in = QString(ch).toUtf8();
    char out[8] = {};
    char* inp = in.data();
    size_t inLeft = size_t(in.size());
    char* outp = out;
    size_t outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1) || sizeof out - outLeft != 1)
        return -1;
    return uchar(out[0]);
}

QList<int> codesOf(const QList<quint8>& c)
{
    QList<int> out;
    for (quint8 b : c)
        out << b;
    return out;
}

QString decoded(const QList<int>& codes)
{
    QString s;
    for (int c : codes)
        s += map::displayChar(quint8(c));
    return s;
}

} // namespace

class TestDisplayText : public QObject {
    Q_OBJECT
private slots:
    void letters_data();
    void letters();
    void onlyTheLettersAreFilled();
    void encodeBelow192IsUnchanged();
    void decode_data();
    void decode();
    void words_data();
    void words();
    void refused_data();
    void refused();
    void paddedAndCut();
};

void TestDisplayText::letters_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<int>("display");
    // The display's codes of the 64 letters, as the instrument's table lists them.
    const struct {
        const char* letter;
        int display;
    } table[] = {
        {"А", 65},  {"Б", 160}, {"В", 66},  {"Г", 161}, {"Д", 224}, {"Е", 69},  {"Ж", 163}, {"З", 164},
        {"И", 165}, {"Й", 165}, {"К", 75},  {"Л", 167}, {"М", 77},  {"Н", 72},  {"О", 79},  {"П", 168},
        {"Р", 80},  {"С", 67},  {"Т", 84},  {"У", 169}, {"Ф", 170}, {"Х", 88},  {"Ц", 225}, {"Ч", 171},
        {"Ш", 172}, {"Щ", 226}, {"Ъ", 173}, {"Ы", 174}, {"Ь", 196}, {"Э", 175}, {"Ю", 176}, {"Я", 177},
        {"а", 97},  {"б", 178}, {"в", 179}, {"г", 180}, {"д", 227}, {"е", 101}, {"ж", 182}, {"з", 183},
        {"и", 184}, {"й", 184}, {"к", 186}, {"л", 187}, {"м", 188}, {"н", 189}, {"о", 111}, {"п", 190},
        {"р", 112}, {"с", 99},  {"т", 191}, {"у", 121}, {"ф", 228}, {"х", 120}, {"ц", 229}, {"ч", 192},
        {"ш", 193}, {"щ", 230}, {"ъ", 194}, {"ы", 195}, {"ь", 196}, {"э", 197}, {"ю", 198}, {"я", 199},
    };
    for (const auto& row : table)
        QTest::newRow(row.letter) << QString::fromUtf8(row.letter) << row.display;
}

void TestDisplayText::letters()
{
    QFETCH(QString, letter);
    QFETCH(int, display);
    // The letter's Windows-1251 code, the link's and the system's alike.
    const QByteArray ours = instrument::toCp1251(letter);
    QCOMPARE(ours.size(), 1);
    const int code = uchar(ours.at(0));
    QCOMPARE(code, iconvByte(letter.at(0)));
    QCOMPARE(instrument::fromCp1251(ours), letter);
    QCOMPARE(int(map::displayLetterCode(code)), display);
    QCOMPARE(int(map::encodeDisplay(quint8(code))), display);
    QList<quint8> codes;
    QString bad;
    QVERIFY(map::displayCodes(letter, 1, &codes, &bad));
    QCOMPARE(codesOf(codes), QList<int>{display});
}

void TestDisplayText::onlyTheLettersAreFilled()
{
    for (int i = 0; i <= 256; ++i)
        if (i < 192 || i > 255)
            QCOMPARE(int(map::displayLetterCode(i)), 0);
}

void TestDisplayText::encodeBelow192IsUnchanged()
{
    for (int c = 0; c <= 191; ++c)
        QCOMPARE(int(map::encodeDisplay(quint8(c))), c);
    // Ё and № are signs below 192: they go out as they are.
    QCOMPARE(int(uchar(instrument::toCp1251(QStringLiteral("Ё")).at(0))), 168);
    QCOMPARE(iconvByte(QChar(0x401)), 168);
    QCOMPARE(iconvByte(QChar(0x2116)), 185);
}

void TestDisplayText::decode_data()
{
    QTest::addColumn<int>("display");
    QTest::addColumn<int>("cp1251");
    // Shared codes decode to the lower letter.
    QTest::newRow("165 is И") << 165 << 200;
    QTest::newRow("184 is и") << 184 << 232;
    QTest::newRow("196 is Ь") << 196 << 220;
    // Codes of Latin look-alikes decode to the Cyrillic letter.
    QTest::newRow("65 is А") << 65 << 192;
    QTest::newRow("97 is а") << 97 << 224;
    QTest::newRow("120 is х") << 120 << 245;
    QTest::newRow("121 is у") << 121 << 243;
    // Codes no letter holds decode to themselves.
    for (int c : {32, 49, 76, 107, 116, 162, 166, 181, 185, 200, 211, 223, 231, 240, 255})
        QTest::newRow(qPrintable(QStringLiteral("%1 unchanged").arg(c))) << c << c;
}

void TestDisplayText::decode()
{
    QFETCH(int, display);
    QFETCH(int, cp1251);
    QCOMPARE(int(map::decodeDisplay(quint8(display))), cp1251);
    QCOMPARE(map::displayChar(quint8(display)), instrument::fromCp1251(QByteArray(1, char(cp1251))).at(0));
}

void TestDisplayText::words_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("Мой") << QStringLiteral("Мой") << QList<int>{77, 111, 184} << QStringLiteral("Мои");
    // Latin L, Cyrillic а, Latin t, i, n.
    QTest::newRow("Latin") << QStringLiteral("Latin") << QList<int>{76, 97, 116, 105, 110}
                           << QStringLiteral("L\u0430tin");
    QTest::newRow("Ё") << QStringLiteral("Ё") << QList<int>{168} << QStringLiteral("П");
    QTest::newRow("Peak") << QStringLiteral("Peak") << QList<int>{80, 101, 97, 107}
                          << QStringLiteral("\u0420\u0435\u0430k");
    QTest::newRow("Йь") << QStringLiteral("Йь") << QList<int>{165, 196} << QStringLiteral("ИЬ");
    // The byte Windows-1251 leaves undefined goes out and comes back as itself.
    QTest::newRow("byte 98") << QString(QChar(0x98)) << QList<int>{152} << QString(QChar(0x98));
    QTest::newRow("signs") << QStringLiteral("м3/ч №5") << QList<int>{188, 51, 47, 192, 32, 185, 53}
                           << QStringLiteral("м3/ч №5");
}

void TestDisplayText::words()
{
    QFETCH(QString, written);
    QFETCH(QList<int>, codes);
    QList<quint8> out;
    QString bad;
    QVERIFY(map::displayCodes(written, int(codes.size()), &out, &bad));
    QCOMPARE(codesOf(out), codes);
    QTEST(decoded(codes), "readBack");
}

void TestDisplayText::refused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("named");
    QTest::newRow("superscript three") << QStringLiteral("м³") << QStringLiteral("«³» (U+00B3)");
    QTest::newRow("emoji") << QStringLiteral("T \U0001F525") << QStringLiteral("«\U0001F525» (U+1F525)");
    QTest::newRow("Greek") << QStringLiteral("Ω") << QStringLiteral("«Ω» (U+03A9)");
    QTest::newRow("beyond the field") << QStringLiteral("1234567890abcdef€ß") << QStringLiteral("«ß» (U+00DF)");
}

void TestDisplayText::refused()
{
    QFETCH(QString, typed);
    QFETCH(QString, named);
    QList<quint8> out{1, 2};
    QString bad;
    QVERIFY(!map::displayCodes(typed, 13, &out, &bad));
    QCOMPARE(bad, named);
    QVERIFY(out.isEmpty());
    QCOMPARE(map::unencodable(typed), named);
}

void TestDisplayText::paddedAndCut()
{
    QList<quint8> out;
    QString bad;
    QVERIFY(map::displayCodes(QStringLiteral("Т1"), 15, &out, &bad));
    QList<int> want{84, 49};
    while (want.size() < 15)
        want << 32;
    QCOMPARE(codesOf(out), want);
    QVERIFY(map::displayCodes(QStringLiteral("м3/ч123"), 6, &out, &bad));
    QCOMPARE(codesOf(out), (QList<int>{188, 51, 47, 192, 49, 50}));
    QVERIFY(map::displayCodes(QString(), 3, &out, &bad));
    QCOMPARE(codesOf(out), (QList<int>{32, 32, 32}));
    // Codes that would break a line of the file come back as blanks.
    QCOMPARE(decoded({0, 10, 13, 9, 65}), QStringLiteral("   \t\u0410"));
}

QTEST_GUILESS_MAIN(TestDisplayText)
#include "tst_instrument_displaytext.moc"
