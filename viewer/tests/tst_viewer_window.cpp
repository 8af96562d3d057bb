// The Viewer window against files of Memory's writer: opening (and refusing)
// a file through the file dialog, the plot of a ticked value with its sensor
// breaks as gaps, and the CSV and picture saved where the dialog says.

#include "dialoganswerer.h"
#include "messages.h"
#include "viewer_window.h"
#include "writtenfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

class ViewerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void opens();
    void plotsStretchesBetweenBreaks();
    void savesCsvAndPicture();

private:
    QTemporaryDir m_tmp;
    QString m_path;
    QStringList m_answers;
};

void ViewerWindowTest::init()
{
    // Two runs, the later one read first: frames 7-12, then 1-6. Value 3 of
    // frames 5 and 10 is a sensor break.
    m_path = m_tmp.filePath(QStringLiteral("F.dtl"));
    QFile::remove(m_path);
    const QDateTime t0 = datatest::someTime();
    m_answers = datatest::run(7, 6, 16, t0.addSecs(60)) + datatest::run(1, 6, 16, t0);
    datatest::writeFrames(m_path, m_answers, QStringLiteral(","));
}

void ViewerWindowTest::opens()
{
    testsupport::FileDialogAnswerer files;
    testsupport::MessageAnswerer boxes;
    viewer::frmViewer w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Просмотр данных v1.0.0"));
    auto* open = w.findChild<QPushButton*>(QStringLiteral("cmdOpen"));
    auto* table = w.findChild<QTableView*>(QStringLiteral("gridFrames"));
    files.answerNext(m_path);
    open->click();
    QCOMPARE(table->model()->rowCount(), 12);
    QCOMPARE(table->model()->columnCount(), 4 + 16);
    QCOMPARE(table->model()->index(0, 1).data().toString(), QStringLiteral("28.03.2026 23:59:00"));
    QCOMPARE(table->model()->index(0, 4).data().toString(), QStringLiteral("0,0"));

    // The same file with its last line unfinished (12 frames of 58 lines) is
    // refused at that line, and the frames shown stay.
    const QString cut = m_tmp.filePath(QStringLiteral("cut.dtl"));
    QFile::copy(m_path, cut);
    QFile(cut).resize(QFileInfo(cut).size() - 5);
    files.answerNext(cut);
    open->click();
    QCOMPARE(files.requests().last().folder, m_tmp.path());
    QCOMPARE(w.file()->path, m_path);
    QCOMPARE(table->model()->rowCount(), 12);
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY2(boxes.texts().first().contains(QStringLiteral("строка 696:")), qPrintable(boxes.texts().first()));
}

void ViewerWindowTest::plotsStretchesBetweenBreaks()
{
    viewer::frmViewer w;
    QVERIFY(w.openFile(m_path));
    auto* three = w.findChild<QCheckBox*>(QStringLiteral("chkValue3"));
    QVERIFY(w.findChild<QCheckBox*>(QStringLiteral("chkValue1"))->isChecked());
    QVERIFY(w.seriesOf(3).isEmpty());
    three->click();
    // In time order frames 1-4, 6-9 and 11-12: the breaks of 5 and 10 are gaps.
    const QList<QList<int>> stretches{{1, 2, 3, 4}, {6, 7, 8, 9}, {11, 12}};
    const QList<QLineSeries*> lines = w.seriesOf(3);
    QCOMPARE(lines.size(), stretches.size());
    for (int s = 0; s < lines.size(); ++s) {
        const QList<QPointF> points = lines[s]->points();
        QCOMPARE(points.size(), stretches[s].size());
        for (int i = 0; i < points.size(); ++i) {
            const int frame = stretches[s][i];
            const QString value = m_answers[(frame + 5) % 12].split(QLatin1Char(';'))[12].mid(2);
            QCOMPARE(points[i].y(), value.toDouble());
            QCOMPARE(qint64(points[i].x()), datatest::someTime().addSecs(10 * (frame - 1)).toMSecsSinceEpoch());
        }
    }
    three->click();
    QVERIFY(w.seriesOf(3).isEmpty());
    QCOMPARE(w.seriesOf(1).size(), 3);   // breaks at frames 2, 7 and 12
}

void ViewerWindowTest::savesCsvAndPicture()
{
    testsupport::FileDialogAnswerer files;
    testsupport::MessageAnswerer boxes;
    viewer::frmViewer w;
    QVERIFY(w.openFile(m_path));
    w.findChild<QComboBox*>(QStringLiteral("cmbCsvStyle"))->setCurrentIndex(1);
    files.answerNext(m_tmp.filePath(QStringLiteral("out")));
    w.findChild<QPushButton*>(QStringLiteral("cmdSaveCsv"))->click();
    QCOMPARE(files.requests().last().fileName, QStringLiteral("F.csv"));
    QFile csv(m_tmp.filePath(QStringLiteral("out.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF" "Кадр;"));
    QCOMPARE(bytes.count("\r\n"), 13);

    files.answerNext(m_tmp.filePath(QStringLiteral("plot.png")));
    w.findChild<QPushButton*>(QStringLiteral("cmdSavePicture"))->click();
    QVERIFY(!QImage(m_tmp.filePath(QStringLiteral("plot.png"))).isNull());
    // A folder that does not exist: the box says so, nothing claims success.
    files.answerNext(m_tmp.filePath(QStringLiteral("gone/out.csv")));
    w.findChild<QPushButton*>(QStringLiteral("cmdSaveCsv"))->click();
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY2(boxes.texts().first().contains(QStringLiteral("gone")), qPrintable(boxes.texts().first()));
}

QTEST_MAIN(ViewerWindowTest)
#include "tst_viewer_window.moc"
