// The data file: checked before a download, appended a whole frame at a time,
// cut back when a write fails.

#include "datafile.h"
#include "readingrig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A folder in which no file can be made, whoever runs the test.
QString unwritableFolder(QTemporaryDir& tmp)
{
    if (geteuid() == 0)
        return QStringLiteral("/sys");  // not even the superuser makes files there
    const QString d = tmp.filePath(QStringLiteral("locked"));
    QDir().mkpath(d);
    chmod(d.toLocal8Bit().constData(), 0555);
    return d;
}


} // namespace

class DataFileTest : public QObject {
    Q_OBJECT
private slots:
    void checkAcceptsAndLeavesNothing();
    void checkKeepsAnExistingFile();
    void checkRefuses_data();
    void checkRefuses();
    void appendsWithoutTouchingWhatIsThere();
    void fullDiskLeavesNoHalfFrame();
    void appendRefusesWhatIsNoPlainFile();
};

void DataFileTest::checkAcceptsAndLeavesNothing()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("F120000071226.dtl"));
    QCOMPARE(memory::checkDataFile(path), QString());
    QVERIFY(!QFile::exists(path));
}

void DataFileTest::checkKeepsAnExistingFile()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("old.dtl"));
    writeAll(path, "\"1\"\r\n");
    QCOMPARE(memory::checkDataFile(path), QString());
    QCOMPARE(readAll(path), QByteArray("\"1\"\r\n"));
}

void DataFileTest::checkRefuses_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("missing folder") << "missing" << "не существует";
    QTest::newRow("folder is a file") << "notdir" << "не папка";
    QTest::newRow("no write access") << "locked" << "не создается";
    QTest::newRow("name of a folder") << "folder" << "не обычный файл";
    QTest::newRow("name of a pipe") << "fifo" << "не обычный файл";
}

void DataFileTest::checkRefuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, says);
    QTemporaryDir tmp;
    QString path;
    QString reason;
    if (kind == QLatin1String("missing")) {
        path = tmp.filePath(QStringLiteral("gone/F.dtl"));
    } else if (kind == QLatin1String("notdir")) {
        writeAll(tmp.filePath(QStringLiteral("plain")), "x");
        path = tmp.filePath(QStringLiteral("plain/F.dtl"));
    } else if (kind == QLatin1String("locked")) {
        path = QDir(unwritableFolder(tmp)).filePath(QStringLiteral("F.dtl"));
        reason = QStringLiteral("доступ запрещён");
    } else if (kind == QLatin1String("folder")) {
        path = tmp.filePath(QStringLiteral("F.dtl"));
        QDir().mkpath(path);
    } else {
        path = tmp.filePath(QStringLiteral("F.dtl"));
        QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0644), 0);
    }
    const QString message = memory::checkDataFile(path);
    QVERIFY2(message.contains(says), qPrintable(message));
    // The message names the path (or its folder) and, where the system gave
    // one, its reason.
    QVERIFY2(message.contains(QFileInfo(path).absolutePath()), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
}

void DataFileTest::appendsWithoutTouchingWhatIsThere()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("F.dtl"));
    writeAll(path, "old\r\n");
    QString why;
    QVERIFY(memory::appendToDataFile(path, "\"1\"\r\n0\r\n", &why));
    QVERIFY(memory::appendToDataFile(path, "\"2\"\r\n0\r\n", &why));
    QCOMPARE(readAll(path), QByteArray("old\r\n\"1\"\r\n0\r\n\"2\"\r\n0\r\n"));
}

void DataFileTest::fullDiskLeavesNoHalfFrame()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("F.dtl"));
    const QByteArray frame(100, 'a');
    QString why;
    {
        memorytest::FileSizeLimit limit(250);   // room for two frames and a half
        QVERIFY(memory::appendToDataFile(path, frame, &why));
        QVERIFY(memory::appendToDataFile(path, frame, &why));
        QVERIFY(!memory::appendToDataFile(path, frame, &why));
        QVERIFY(!memory::appendToDataFile(path, frame, &why));
    }
    QVERIFY2(why.contains(QStringLiteral("кадр не записан в файл")) && why.contains(path), qPrintable(why));
    // The third frame went half-way: the reason is the one the rest met.
    QVERIFY2(why.endsWith(QStringLiteral(": файл слишком большой")), qPrintable(why));
    QCOMPARE(readAll(path), frame + frame);
    // With room again the next frame lands right after the last whole one.
    QVERIFY(memory::appendToDataFile(path, "b", &why));
    QCOMPARE(readAll(path), frame + frame + "b");
}

void DataFileTest::appendRefusesWhatIsNoPlainFile()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("F.dtl"));
    QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0644), 0);
    QString why;
    QVERIFY(!memory::appendToDataFile(path, "x", &why));   // and does not hang on the pipe
    QVERIFY2(why.contains(QStringLiteral("не обычный файл")), qPrintable(why));
}

QTEST_GUILESS_MAIN(DataFileTest)
#include "tst_memory_datafile.moc"
