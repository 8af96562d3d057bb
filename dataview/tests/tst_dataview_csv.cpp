// The CSV export of a whole buffer, in both styles: a header and one row a
// frame, every value as the file holds it.

#include "csvexport.h"
#include "writtenfiles.h"

#include <QBuffer>
#include <QTemporaryDir>

class CsvTest : public QObject {
    Q_OBJECT
private slots:
    void wholeBuffer_data();
    void wholeBuffer();
};

void CsvTest::wholeBuffer_data()
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

void CsvTest::wholeBuffer()
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
    QVERIFY(bytes.endsWith("\r\n"));
    const QStringList lines = QString::fromUtf8(bytes.mid(mark.size())).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size() - 1, 4096);
    QCOMPARE(lines[0].split(sep).size(), 2 + 2 * 16);
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

QTEST_GUILESS_MAIN(CsvTest)
#include "tst_dataview_csv.moc"
