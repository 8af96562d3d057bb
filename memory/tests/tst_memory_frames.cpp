// The frame list of a download and the lines a frame gives in the data file.

#include "datafile.h"
#include "framelist.h"
#include "readingrig.h"

#include <QRandomGenerator>
#include <QtTest>

using memory::FrameList;
using memorytest::range;

namespace {

QList<int> framesOf(const FrameList& f)
{
    QList<int> out;
    for (int k = 0; k < f.count; ++k)
        out << f.at(k);
    return out;
}

// The series as the instrument's old tools walk it, in 16-bit integers:
// c = count - 1, span = step * c, first = p - span wrapped once, then
// q = first + k for k = 0, step, ... while k <= span, wrapped once.
QList<int> series16(qint16 p, qint16 start, qint16 length, qint16 count, quint8 step)
{
    QList<int> out;
    const qint16 end = qint16(start + length);
    const qint16 c = qint16(count - 1);
    const qint16 span = qint16(step * c);
    qint16 first = qint16(p - span);
    if (first < start)
        first = qint16(end - (start - first));
    for (qint16 k = 0; k <= span; k = qint16(k + step)) {
        qint16 q = qint16(first + k);
        if (q > end)
            q = qint16(q + start - end);
        out << q;
    }
    return out;
}

// A frame answer as the instrument gives it after "!": nine numbers, the
// status text, then the values, each ended by ";", and the CR.
QString answer(const QString& count, const QString& status, const QStringList& values)
{
    QString a = QStringLiteral("4046;") + count + QStringLiteral(";12;30;05;07;12;26;1;") + status + QLatin1Char(';');
    for (const QString& v : values)
        a += v + QLatin1Char(';');
    return a + QLatin1Char('\r');
}

const QString kStatus = QStringLiteral("1000000002A3B0C11110000");

} // namespace

class FramesTest : public QObject {
    Q_OBJECT
private slots:
    void list_data();
    void list();
    void refusals_data();
    void refusals();
    void sameAsSixteenBitSeriesInsideTheBuffer();
    void frameNumbers();

    void lines_data();
    void lines();
    void brokenAnswers_data();
    void brokenAnswers();
    void fileBytesAreWindows1251WithCrLf();
};

void FramesTest::list_data()
{
    QTest::addColumn<int>("buffer");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("frames");

    // Current frame 50: back over the end of the buffer; frame 0 is not read.
    QTest::newRow("last 100, current 50") << 0 << 50 << 0 << 4095 << 100 << 1 << range(4046, 4095) + range(1, 50);
    QTest::newRow("last 400, current 50") << 0 << 50 << 0 << 4095 << 400 << 1 << range(3746, 4095) + range(1, 50);
    QTest::newRow("last 100, current at the end") << 0 << 4095 << 0 << 4095 << 100 << 1 << range(3996, 4095);
    QTest::newRow("last 100, current in the middle") << 0 << 2000 << 0 << 4095 << 100 << 1 << range(1901, 2000);
    // The list begins exactly at the first frame: then it is read.
    QTest::newRow("list begins at start") << 0 << 99 << 0 << 4095 << 100 << 1 << range(0, 99);
    QTest::newRow("one below start") << 0 << 98 << 0 << 4095 << 100 << 1 << range(4094, 4095) + range(1, 98);
    QTest::newRow("current at the start") << 0 << 1 << 0 << 4095 << 100 << 1 << range(3997, 4095) + range(1, 1);
    QTest::newRow("100 every tenth, current 2000") << 0 << 2000 << 0 << 4095 << 100 << 10 << range(1010, 2000, 10);
    QTest::newRow("400 every tenth, current 100")
        << 0 << 100 << 0 << 4095 << 400 << 10 << range(205, 4095, 10) + range(10, 100, 10);
    QTest::newRow("whole buffer, current 100") << 0 << 100 << 0 << 4095 << 4095 << 1 << range(101, 4095) + range(1, 100);
    QTest::newRow("whole buffer, current at the end") << 0 << 4095 << 0 << 4095 << 4095 << 1 << range(1, 4095);
    QTest::newRow("buffer 2, last 100") << 1 << 4146 << 4096 << 4095 << 100 << 1 << range(8142, 8191) + range(4097, 4146);
    QTest::newRow("buffer 2, every tenth") << 1 << 6000 << 4096 << 4095 << 100 << 10 << range(5010, 6000, 10);
    // A small buffer: no more frames than it holds, none twice.
    QTest::newRow("small buffer, last 400") << 0 << 20 << 0 << 50 << 400 << 1 << range(21, 50) + range(1, 20);
    QTest::newRow("small buffer, whole") << 0 << 50 << 0 << 50 << 50 << 1 << range(1, 50);
    QTest::newRow("small buffer, every tenth") << 0 << 20 << 0 << 50 << 100 << 10 << QList<int>{30, 40, 50, 10, 20};
    QTest::newRow("small buffer, every tenth, 41 long")
        << 0 << 104 << 100 << 41 << 100 << 10 << QList<int>{105, 115, 125, 135, 104};
    QTest::newRow("one frame long") << 0 << 7 << 6 << 1 << 100 << 1 << QList<int>{7};
    QTest::newRow("negative first frame") << 0 << -100 << -200 << 300 << 5 << 1 << range(-104, -100);
}

void FramesTest::list()
{
    QFETCH(int, buffer);
    QFETCH(int, current);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, count);
    QFETCH(int, step);
    QFETCH(QList<int>, frames);
    const FrameList f = memory::frameList(buffer, current, start, length, count, step);
    QVERIFY2(f.valid, qPrintable(f.refusal));
    QCOMPARE(framesOf(f), frames);
    // Every frame lies in the buffer and none comes twice.
    const QList<int> got = framesOf(f);
    QCOMPARE(QSet<int>(got.begin(), got.end()).size(), got.size());
    for (int q : got)
        QVERIFY(q >= start && q <= start + length);
}

void FramesTest::refusals_data()
{
    QTest::addColumn<int>("buffer");
    QTest::addColumn<qint64>("current");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QString>("says");

    QTest::newRow("length 0") << 0 << qint64(0) << qint64(0) << qint64(0) << "длина буфера 1 равна 0";
    QTest::newRow("negative length") << 1 << qint64(4096) << qint64(4096) << qint64(-1) << "длина буфера 2 равна -1";
    QTest::newRow("end past 32767") << 0 << qint64(30000) << qint64(29000) << qint64(4095) << "выходит за кадр 32767";
    QTest::newRow("end just past 32767") << 0 << qint64(32767) << qint64(28673) << qint64(4095) << "выходит за кадр 32767";
    QTest::newRow("current above the buffer") << 0 << qint64(5000) << qint64(0) << qint64(4095)
                                              << "текущий кадр 5000 лежит вне буфера 1 (кадры 0 - 4095)";
    QTest::newRow("current below the buffer") << 1 << qint64(4000) << qint64(4096) << qint64(4095)
                                              << "текущий кадр 4000 лежит вне буфера 2";
    QTest::newRow("current negative") << 0 << qint64(-1) << qint64(0) << qint64(4095) << "текущий кадр -1";
}

void FramesTest::refusals()
{
    QFETCH(int, buffer);
    QFETCH(qint64, current);
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(QString, says);
    const FrameList f = memory::frameList(buffer, current, start, length, 100, 1);
    QVERIFY(!f.valid);
    QVERIFY2(f.refusal.contains(says), qPrintable(f.refusal));
    QCOMPARE(f.count, 0);
}

void FramesTest::sameAsSixteenBitSeriesInsideTheBuffer()
{
    // Wherever the 16-bit series stays inside the buffer and takes no frame
    // twice, the list is exactly that series.
    QRandomGenerator rng(1234);
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        const int start = rng.bounded(-2000, 9000);
        const int length = rng.bounded(1, 4200);
        const int current = start + rng.bounded(0, length + 1);
        const int counts[] = {100, 400, length};
        const int count = counts[rng.bounded(3)];
        const int step = rng.bounded(2) ? 1 : 10;
        if (step * (count - 1) >= length || start + length > 32767)
            continue;
        const FrameList f = memory::frameList(0, current, start, length, count, step);
        QVERIFY(f.valid);
        QCOMPARE(framesOf(f), series16(qint16(current), qint16(start), qint16(length), qint16(count), quint8(step)));
        ++compared;
    }
    QVERIFY(compared > 1000);
}

void FramesTest::frameNumbers()
{
    QCOMPARE(memory::frameNumberText(0), QStringLiteral("0"));
    QCOMPARE(memory::frameNumberText(4095), QStringLiteral("FFF"));
    QCOMPARE(memory::frameNumberText(4096), QStringLiteral("1000"));
    QCOMPARE(memory::frameNumberText(32767), QStringLiteral("7FFF"));
    QCOMPARE(memory::frameNumberText(-1), QStringLiteral("FFFF"));
}

void FramesTest::lines_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("lines");

    const QStringList head = {"\"4046\"", "", "\"12:30:05\"", "\"07/12/26\"", "\"1\"",
                              "\"1\"", "\"2\"", "\"A3\"", "\"B0\"", "\"C1111000\""};
    auto withCount = [&](int n) {
        QStringList l = head;
        l[1] = QString::number(n);
        return l;
    };

    QTest::newRow("no values") << answer("0", kStatus, {}) << "," << withCount(0);

    QStringList values;
    QStringList sixteen = withCount(16);
    for (int k = 0; k < 16; ++k) {
        values << QStringLiteral("0%1%2.25").arg(k % 10).arg(k * 3);
        sixteen << "\"0\"" << QStringLiteral("\"%1\"").arg(k % 10) << QStringLiteral("\"%1,25\"").arg(k * 3);
    }
    QTest::newRow("sixteen values (count 10)") << answer("10", kStatus, values) << "," << sixteen;

    QTest::newRow("comma separator") << answer("1", kStatus, {"+12.5"}) << ","
                                     << withCount(1) + QStringList{"\"+\"", "\"1\"", "\"2,5\""};
    QTest::newRow("point separator") << answer("1", kStatus, {"+12.5"}) << "."
                                     << withCount(1) + QStringList{"\"+\"", "\"1\"", "\"2.5\""};
    QTest::newRow("only the first point") << answer("1", kStatus, {"011.2.3"}) << ","
                                          << withCount(1) + QStringList{"\"0\"", "\"1\"", "\"1,2.3\""};
    QTest::newRow("value without a point") << answer("1", kStatus, {"10NaN"}) << ","
                                           << withCount(1) + QStringList{"\"1\"", "\"0\"", "\"NaN\""};
    QTest::newRow("values beyond the count are left out")
        << answer("2", kStatus, {"0011", "0022", "0033"}) << ","
        << withCount(2) + QStringList{"\"0\"", "\"0\"", "\"11\"", "\"0\"", "\"0\"", "\"22\""};
    QTest::newRow("lower-case count") << answer("a", kStatus, QStringList(10, "001")) << "," << [&] {
        QStringList l = withCount(10);
        for (int k = 0; k < 10; ++k)
            l << "\"0\"" << "\"0\"" << "\"1\"";
        return l;
    }();

    QStringList shortStatus = withCount(0);
    shortStatus[5] = "\"1\"";
    shortStatus[6] = "\"2\"";
    shortStatus[7] = "\"A\"";
    shortStatus[8] = "\"\"";
    shortStatus[9] = "\"\"";
    QTest::newRow("field 10 of 11 characters") << answer("0", "1000000002A", {}) << "," << shortStatus;
    QStringList emptyStatus = withCount(0);
    for (int i = 5; i < 10; ++i)
        emptyStatus[i] = "\"\"";
    QTest::newRow("empty field 10") << answer("0", "", {}) << "," << emptyStatus;
    QTest::newRow("short value field") << answer("1", kStatus, {"+"}) << ","
                                       << withCount(1) + QStringList{"\"+\"", "\"\"", "\"\""};
    QStringList noCr = withCount(0);
    QString a = answer("0", kStatus, {});
    a.chop(1);
    QTest::newRow("no CR after the last field") << a << "," << noCr;
}

void FramesTest::lines()
{
    QFETCH(QString, answer);
    QFETCH(QString, separator);
    QFETCH(QStringList, lines);
    const memory::FrameLines l = memory::frameLines(answer, separator);
    QVERIFY2(l.valid, qPrintable(l.error));
    QCOMPARE(l.lines, lines);
    QCOMPARE(l.lines.size(), 10 + 3 * l.lines[1].toInt());
}

void FramesTest::brokenAnswers_data()
{
    QTest::addColumn<QString>("answer");

    QTest::newRow("fewer values than the count") << answer("10", kStatus, QStringList(12, "0012.5"));
    QTest::newRow("one value short") << answer("2", kStatus, {"0011"});
    QTest::newRow("count not hexadecimal") << answer("G1", kStatus, {"0011"});
    QTest::newRow("empty count") << answer("", kStatus, {"0011"});
    QTest::newRow("count past 255") << answer("100", kStatus, QStringList(300, "001"));
    QTest::newRow("negative count") << answer("-1", kStatus, {});
    QTest::newRow("nine fields") << QStringLiteral("1;0;12;30;05;07;12;26;1;\r");
    QTest::newRow("last field without its ';'") << answer("1", kStatus, {}) + QStringLiteral("0012.5");
    QTest::newRow("empty") << QString();
}

void FramesTest::brokenAnswers()
{
    QFETCH(QString, answer);
    const memory::FrameLines l = memory::frameLines(answer, QStringLiteral(","));
    QVERIFY(!l.valid);
    QVERIFY(l.lines.isEmpty());
    QVERIFY2(l.error.startsWith(QStringLiteral("Получен ответ неправильного формата")), qPrintable(l.error));
}

void FramesTest::fileBytesAreWindows1251WithCrLf()
{
    const QByteArray bytes = memory::fileBytes({QStringLiteral("\"Й1\""), QStringLiteral("0")});
    QCOMPARE(bytes, QByteArray("\"\xC9" "1\"\r\n0\r\n"));
}

QTEST_GUILESS_MAIN(FramesTest)
#include "tst_memory_frames.moc"
