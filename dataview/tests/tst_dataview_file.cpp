// The reader against files that Memory's own writer wrote: every item read
// back as the instrument answered it, a damaged file refused at its line; and
// the CSV export of a whole buffer in both styles, every value as the file
// holds it.

#include "cp1251.h"
#include "csvexport.h"
#include "datareader.h"
#include "writtenfiles.h"

#include <QTemporaryDir>

class DataFileTest : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void csvOfWholeBuffer_data();
    void csvOfWholeBuffer();
};

void DataFileTest::reads_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("damage");   // what is done to the written file
    QTest::addColumn<int>("badLine");      // 0: the file reads

    const QDateTime t0 = datatest::someTime();   // runs over midnight
    QStringList cyrillic = datatest::run(1, 3, 16, t0);
    cyrillic[1] = datatest::frameAnswer(2, t0, 16, QStringLiteral("Н000000002A3B0C11110000"));
    const QStringList three = datatest::run(7, 3, 16, t0);

    QTest::newRow("16 values") << datatest::run(1, 5, 16, t0) << "." << "" << 0;
    QTest::newRow("18 values, comma") << datatest::run(300, 5, 18, t0) << "," << "" << 0;
    QTest::newRow("no values, short field 10")
        << QStringList{datatest::frameAnswer(5, t0, 0, QStringLiteral("10000")), datatest::frameAnswer(6, t0, 2)}
        << "." << "" << 0;
    QTest::newRow("appended runs") << datatest::run(4090, 6, 16, t0) + datatest::run(4090, 8, 16, t0.addSecs(60))
                                   << "," << "" << 0;
    QTest::newRow("whole buffer") << datatest::run(1, 4095, 16, t0) << "." << "" << 0;
    QTest::newRow("Cyrillic in field 10") << cyrillic << "," << "" << 0;
    // 58 lines a frame: the third frame ends on line 174.
    QTest::newRow("cut between lines") << three << "." << "cut:20" << 155;
    QTest::newRow("cut inside a line") << three << "." << "chop:3" << 174;
    QTest::newRow("no line end at all") << three << "." << "chop:2" << 174;
    // Frame 2's fifth value: its number on line 83 is gone; the sixth value's
    // state and flags pass for its number and state, its number cannot be
    // the flags on line 85.
    QTest::newRow("value line missing") << three << "." << "drop:83" << 85;
    QTest::newRow("count line missing") << three << "." << "drop:60" << 60;
    QTest::newRow("UTF-8 with a mark") << three << "." << "utf8bom" << 1;
    QTest::newRow("UTF-8, Cyrillic in field 10") << cyrillic << "." << "utf8" << 64;
    QTest::newRow("empty") << QStringList() << "." << "" << 1;
}

void DataFileTest::reads()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, separator);
    QFETCH(QString, damage);
    QFETCH(int, badLine);
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("F.dtl"));
    QFile(path).open(QIODevice::WriteOnly);
    datatest::writeFrames(path, answers, separator);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const int amount = damage.section(QLatin1Char(':'), 1).toInt();
    QList<QByteArray> lines = bytes.split('\n');
    if (damage.startsWith(QLatin1String("cut")))
        bytes = lines.mid(0, lines.size() - 1 - amount).join('\n') + '\n';
    else if (damage.startsWith(QLatin1String("chop")))
        bytes.chop(amount);
    else if (damage.startsWith(QLatin1String("drop")))
        lines.removeAt(amount - 1), bytes = lines.join('\n');
    else if (damage.startsWith(QLatin1String("utf8")))
        bytes = (damage == QLatin1String("utf8bom") ? "\xEF\xBB\xBF" : "") + instrument::fromCp1251(bytes).toUtf8();
    file.resize(0);
    file.write(bytes);
    file.close();

    dataview::DataFile data;
    data.frames.resize(1);   // what was shown before a refusal stays
    QString error;
    const bool read = dataview::readDataFile(path, &data, &error);
    if (badLine) {
        QVERIFY(!read);
        const QString head = QStringLiteral("файл %1, строка %2").arg(path).arg(badLine);
        QVERIFY2(error.startsWith(head) && !error.at(head.size()).isDigit(), qPrintable(error));
        QCOMPARE(data.frames.size(), 1);
        return;
    }
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(data.frames.size(), answers.size());
    int line = 1;
    for (int i = 0; i < answers.size(); ++i) {
        const QStringList a = answers[i].split(QLatin1Char(';'));
        const dataview::Frame& f = data.frames[i];
        QCOMPARE(f.line, line);
        QCOMPARE(f.number, a[0]);
        QCOMPARE(f.time, QDateTime(QDate(2000 + a[7].toInt(), a[6].toInt(), a[5].toInt()),
                                   QTime(a[2].toInt(), a[3].toInt(), a[4].toInt()), Qt::LocalTime));
        QCOMPARE(f.field9, a[8]);
        QCOMPARE(QStringList(f.slices, f.slices + 5).join(QString()),
                 a[9].left(1) + a[9].mid(9, 13));
        QCOMPARE(f.values.size(), a[1].toInt(nullptr, 16));
        for (int k = 0; k < f.values.size(); ++k) {
            const QString& v = a[10 + k];
            const dataview::Value& got = f.values[k];
            QCOMPARE(QString(got.state) + got.flags, v.left(2));
            QCOMPARE(got.number, QString(v.mid(2)).replace(QLatin1Char('.'), separator));
            QCOMPARE(got.value, v.mid(2).toDouble());
            QCOMPARE(got.sensorBreak(), v[1] == QLatin1Char('4'));
        }
        line += 10 + 3 * f.values.size();
    }
}

void DataFileTest::csvOfWholeBuffer_data()
{
    QTest::addColumn<dataview::CsvStyle>("style");
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("point");
    QTest::addColumn<QString>("timeFormat");
    QTest::newRow("RFC 4180") << dataview::CsvStyle::Standard << QByteArray() << "," << "." << "yyyy-MM-ddTHH:mm:ss";
    QTest::newRow("Excel") << dataview::CsvStyle::Excel << QByteArray("\xEF\xBB\xBF") << ";" << ","
                           << "yyyy-MM-dd HH:mm:ss";
}

void DataFileTest::csvOfWholeBuffer()
{
    QFETCH(dataview::CsvStyle, style);
    QFETCH(QByteArray, mark);
    QFETCH(QString, sep);
    QFETCH(QString, point);
    QFETCH(QString, timeFormat);
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("F.dtl"));
    const QStringList answers = datatest::run(1, 4095, 16, datatest::someTime());
    datatest::writeFrames(path, answers, QStringLiteral(","));   // the file in a comma locale
    dataview::DataFile data;
    QString error;
    QVERIFY2(dataview::readDataFile(path, &data, &error), qPrintable(error));

    const QString csvPath = tmp.filePath(QStringLiteral("F.csv"));
    QVERIFY2(dataview::saveCsv(data, csvPath, style, &error), qPrintable(error));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    QVERIFY(bytes.startsWith(mark + "Кадр"));
    const QStringList lines = QString::fromUtf8(bytes.mid(mark.size())).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size() - 1, 4096);
    QCOMPARE(lines[0].split(sep).last(), QStringLiteral("Состояние 16"));
    for (int i = 0; i < answers.size(); ++i) {
        const QStringList a = answers[i].split(QLatin1Char(';'));
        const QStringList cells = lines[i + 1].split(sep);
        QCOMPARE(cells.size(), 2 + 2 * 16);
        QCOMPARE(cells[0], a[0]);
        QCOMPARE(cells[1], datatest::someTime().addSecs(10 * i).toString(timeFormat));
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(cells[2 + 2 * k], QString(a[10 + k].mid(2)).replace(QLatin1Char('.'), point));
            QCOMPARE(cells[3 + 2 * k], a[10 + k].left(2));
        }
    }
}

QTEST_GUILESS_MAIN(DataFileTest)
#include "tst_dataview_file.moc"
