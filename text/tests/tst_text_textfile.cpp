// The text files: quoting, the whole-file check before a transfer, and the
// one-step replacement of a file.

#include "cp1251.h"
#include "dev.h"
#include "programdir.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using text::ChannelTexts;

namespace {

QByteArray cp(const QString& s)
{
    return instrument::toCp1251(QString(s).replace(QLatin1String("\n"), QLatin1String("\r\n")));
}

// A whole file: channel n has the text "Канал n" and the unit "ед".
QString fullFile(int skipChannel = 0)
{
    QString s;
    for (int n = 1; n <= 12; ++n) {
        if (n == skipChannel)
            continue;
        s += QStringLiteral("[CHANNEL%1]\nUofM=ед\nTEXT=Канал %1\n").arg(n);
    }
    return s;
}

QList<ChannelTexts> twelve()
{
    QList<ChannelTexts> out;
    for (int n = 1; n <= 12; ++n)
        out << ChannelTexts{QStringLiteral("Текст %1").arg(n), QStringLiteral("ед%1").arg(n)};
    return out;
}

} // namespace

class TestTextFile : public QObject {
    Q_OBJECT
private slots:
    void quoting_data();
    void quoting();
    void quotedValuesSurviveTheFile();
    void utf8_data();
    void utf8();
    void readWhole();
    void readRefused_data();
    void readRefused();
    void unreadable();
    void relativeNames();
    void writeKeepsOtherKeys();
    void writeFailureLeavesOldFile();
    void writeIntoFolderRefused_data();
    void writeIntoFolderRefused();

private:
    instrument::Dev m_dev;
};

void TestTextFile::quoting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("plain") << QStringLiteral("Т печи") << QStringLiteral("Т печи");
    QTest::newRow("trailing blanks") << QStringLiteral("C      ") << QStringLiteral("\"C      \"");
    QTest::newRow("centred") << QStringLiteral("  Давление   ") << QStringLiteral("\"  Давление   \"");
    QTest::newRow("all blanks") << QStringLiteral("       ") << QStringLiteral("\"       \"");
    QTest::newRow("tab at the end") << QStringLiteral("a\t") << QStringLiteral("\"a\t\"");
    QTest::newRow("quotes inside") << QStringLiteral("a\"b\"c") << QStringLiteral("a\"b\"c");
    QTest::newRow("enclosed in quotes") << QStringLiteral("\"x\"") << QStringLiteral("\"\"x\"\"");
    QTest::newRow("enclosed in apostrophes") << QStringLiteral("'x'") << QStringLiteral("\"'x'\"");
    QTest::newRow("one quote") << QStringLiteral("\"") << QStringLiteral("\"");
    QTest::newRow("empty") << QString() << QString();
}

void TestTextFile::quoting()
{
    QFETCH(QString, value);
    QFETCH(QString, stored);
    QCOMPARE(text::quoted(value), stored);
    QCOMPARE(text::unquoted(stored), value);
}

void TestTextFile::quotedValuesSurviveTheFile()
{
    testsupport::ProgramFolder folder;
    const QString path = folder.file(QStringLiteral("t.dat"));
    const QStringList values{QStringLiteral("  цен  "), QStringLiteral("C      "), QStringLiteral("'a'"),
                             QStringLiteral("\"b\""), QStringLiteral("x y")};
    QList<ChannelTexts> ch = twelve();
    for (int i = 0; i < values.size(); ++i)
        ch[i] = ChannelTexts{values[i], values[values.size() - 1 - i]};
    QString problem;
    QVERIFY2(text::writeTextFile(m_dev, path, ch, &problem), qPrintable(problem));
    QList<ChannelTexts> back;
    QVERIFY2(text::readTextFile(m_dev, path, 13, 7, &back, &problem), qPrintable(problem));
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(back[i].text, ch[i].text);
        QCOMPARE(back[i].unit, ch[i].unit);
    }
    // A file written by the Windows program: unquoted values, read trimmed.
    folder.writeFile(QStringLiteral("w.dat"), cp(fullFile().replace(QStringLiteral("UofM=ед\n"),
                                                                    QStringLiteral("UofM=ед     \n"))));
    QVERIFY2(text::readTextFile(m_dev, folder.file(QStringLiteral("w.dat")), 13, 7, &back, &problem),
             qPrintable(problem));
    QCOMPARE(back[0].unit, QStringLiteral("ед"));
    QCOMPARE(back[11].text, QStringLiteral("Канал 12"));
}

void TestTextFile::utf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("ASCII") << QByteArray("[CHANNEL1]\r\nTEXT=abc\r\n") << false;
    QTest::newRow("Windows-1251") << cp(QStringLiteral("[CHANNEL1]\nTEXT=Давление пара\n")) << false;
    QTest::newRow("Windows-1251 capitals") << cp(QStringLiteral("TEXT=РАСХОД ВОДЫ\n")) << false;
    QTest::newRow("UTF-8") << QStringLiteral("[CHANNEL1]\nTEXT=Давление\n").toUtf8() << true;
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF[CHANNEL1]\nTEXT=abc\n") << true;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestTextFile::utf8()
{
    QFETCH(QByteArray, bytes);
    QTEST(text::looksLikeUtf8(bytes), "utf8");
}

void TestTextFile::readWhole()
{
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("t.dat"), cp(QStringLiteral("; comment\n[other]\nTEXT=no\n") + fullFile()));
    QList<ChannelTexts> ch;
    QString problem;
    QVERIFY2(text::readTextFile(m_dev, folder.file(QStringLiteral("t.dat")), 13, 7, &ch, &problem),
             qPrintable(problem));
    QCOMPARE(ch.size(), 12);
    QCOMPARE(ch[6].text, QStringLiteral("Канал 7"));
    QCOMPARE(ch[6].unit, QStringLiteral("ед"));
}

void TestTextFile::readRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("saying");
    QTest::newRow("no name") << QString() << QByteArray() << QStringLiteral("не задано имя файла");
    QTest::newRow("no such file") << QStringLiteral("none.dat") << QByteArray() << QStringLiteral("не найден");
    QTest::newRow("empty file") << QStringLiteral("t.dat") << QByteArray("")
                                << QStringLiteral("нет текстов каналов");
    QTest::newRow("a section missing") << QStringLiteral("t.dat") << cp(fullFile(5))
                                       << QStringLiteral("нет ключей: [CHANNEL5] TEXT, [CHANNEL5] UofM");
    QTest::newRow("a key missing") << QStringLiteral("t.dat")
                                   << cp(fullFile().replace(QStringLiteral("TEXT=Канал 12"), QString()))
                                   << QStringLiteral("нет ключей: [CHANNEL12] TEXT;");
    QTest::newRow("text too long") << QStringLiteral("t.dat")
                                   << cp(fullFile().replace(QStringLiteral("Канал 3\n"),
                                                            QStringLiteral("Канал 3 длинный\n")))
                                   << QStringLiteral("[CHANNEL3] TEXT: «Канал 3 длинный» длиннее 13 символов");
    QTest::newRow("unit too long") << QStringLiteral("t.dat")
                                   << cp(fullFile().replace(QStringLiteral("[CHANNEL2]\nUofM=ед"),
                                                            QStringLiteral("[CHANNEL2]\nUofM=\"единицы \"")))
                                   << QStringLiteral("[CHANNEL2] UofM: «единицы » длиннее 7 символов");
    QTest::newRow("UTF-8") << QStringLiteral("t.dat") << fullFile().toUtf8() << QStringLiteral("UTF-8");
    QTest::newRow("a folder") << QStringLiteral("sub") << QByteArray() << QStringLiteral("не файл");
}

void TestTextFile::readRefused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, saying);
    testsupport::ProgramFolder folder;
    if (name == QLatin1String("t.dat"))
        folder.writeFile(name, bytes);
    if (name == QLatin1String("sub"))
        QDir(folder.path()).mkdir(name);
    QList<ChannelTexts> ch;
    QString problem;
    QVERIFY(!text::readTextFile(m_dev, name.isEmpty() ? QString() : folder.file(name), 13, 7, &ch, &problem));
    QVERIFY2(problem.contains(saying), qPrintable(problem));
    QVERIFY2(problem.endsWith(QStringLiteral("в прибор ничего не записано")), qPrintable(problem));
    QVERIFY(ch.isEmpty());
}

void TestTextFile::unreadable()
{
    if (geteuid() == 0)
        QSKIP("the superuser reads every file");
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("t.dat"), cp(fullFile()));
    QFile::setPermissions(folder.file(QStringLiteral("t.dat")), QFile::WriteOwner);
    QList<ChannelTexts> ch;
    QString problem;
    QVERIFY(!text::readTextFile(m_dev, folder.file(QStringLiteral("t.dat")), 13, 7, &ch, &problem));
    QVERIFY2(problem.contains(QStringLiteral("не читается")), qPrintable(problem));
}

void TestTextFile::relativeNames()
{
    testsupport::ProgramFolder folder;
    QCOMPARE(text::resolvePath(QStringLiteral("t.dat")), QDir(folder.path()).filePath(QStringLiteral("t.dat")));
    QCOMPARE(text::resolvePath(QStringLiteral("/tmp/t.dat")), QStringLiteral("/tmp/t.dat"));
    QCOMPARE(text::resolvePath(QString()), QString());
    // Blanks alone are no name: nothing would be read or written under it.
    QCOMPARE(text::resolvePath(QStringLiteral("   ")), QString());
}

void TestTextFile::writeKeepsOtherKeys()
{
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("t.dat"),
                     cp(QStringLiteral("[NOTES]\nwho=инженер\n[CHANNEL1]\nUofM=old\nTEXT=old\nextra=1\n")));
    QString problem;
    const QString path = folder.file(QStringLiteral("t.dat"));
    QVERIFY2(text::writeTextFile(m_dev, path, twelve(), &problem), qPrintable(problem));
    const QString after = instrument::fromCp1251(folder.readFile(QStringLiteral("t.dat")));
    QVERIFY(after.startsWith(QStringLiteral("[NOTES]\r\nwho=инженер\r\n[CHANNEL1]\r\nUofM=ед1\r\nTEXT=Текст 1\r\nextra=1\r\n")));
    // Each channel's unit comes before its text.
    QVERIFY(after.contains(QStringLiteral("[CHANNEL12]\r\nUofM=ед12\r\nTEXT=Текст 12\r\n")));
    // Nothing is left beside the file.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("t.dat")});
}

// Makes a folder refuse new files, even to the superuser (who passes every
// permission): by its permissions, or by the file system's immutable flag.
bool lockFolder(const QString& path, bool locked)
{
    if (geteuid() != 0)
        return QFile::setPermissions(path, locked ? QFile::ReadOwner | QFile::ExeOwner
                                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = locked ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

void TestTextFile::writeFailureLeavesOldFile()
{
    testsupport::ProgramFolder folder;
    QDir(folder.path()).mkdir(QStringLiteral("ro"));
    const QString path = folder.file(QStringLiteral("ro/t.dat"));
    const QByteArray old = cp(fullFile());
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    if (!lockFolder(folder.file(QStringLiteral("ro")), true))
        QSKIP("this file system cannot make a folder refuse new files");
    QString problem;
    const bool written = text::writeTextFile(m_dev, path, twelve(), &problem);
    QVERIFY(lockFolder(folder.file(QStringLiteral("ro")), false));
    QVERIFY(!written);
    QVERIFY2(problem.contains(QStringLiteral("не записан")) && problem.contains(QStringLiteral("t.dat")),
             qPrintable(problem));
    QCOMPARE(folder.readFile(QStringLiteral("ro/t.dat")), old);
}

void TestTextFile::writeIntoFolderRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("a folder of that name") << QStringLiteral("t.dat");
    QTest::newRow("no such folder") << QStringLiteral("missing/t.dat");
    QTest::newRow("a file as the folder") << QStringLiteral("plain/t.dat");
}

void TestTextFile::writeIntoFolderRefused()
{
    QFETCH(QString, name);
    testsupport::ProgramFolder folder;
    QDir(folder.path()).mkdir(QStringLiteral("t.dat"));
    folder.writeFile(QStringLiteral("plain"), "x");
    QString problem;
    QVERIFY(!text::writeTextFile(m_dev, folder.file(name), twelve(), &problem));
    QVERIFY2(problem.contains(QStringLiteral("не записан")) && problem.contains(name), qPrintable(problem));
    QVERIFY(QFileInfo(folder.file(QStringLiteral("t.dat"))).isDir());
    QCOMPARE(folder.readFile(QStringLiteral("plain")), QByteArray("x"));
}

QTEST_MAIN(TestTextFile)
#include "tst_text_textfile.moc"
