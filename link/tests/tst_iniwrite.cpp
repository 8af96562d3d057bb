// Writes of one key that cannot be done: the file stays byte for byte as it
// was, and the program learns why. We run as root, for whom permission bits
// do not stop a read or a file's creation, so those cases run the write in a
// child process that drops to user nobody; a full disk is a child's
// file-size limit.

#include "dev.h"
#include "inifile.h"
#include "programdir.h"

#include <QDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ini = instrument::ini;

namespace {

const QByteArray kOld = "; suite settings\r\n[COMport]\r\nnumber=3\r\nsettings=9600,N,8,2\r\n"
                        "[PROGS]\r\nSet9=57600,N,8,2\r\n[SETTINGS]\r\nTimeOut=3\r\n";

enum class Child { Nobody, FileSizeLimit };

struct Outcome {
    bool written = false;
    QString error;
};

// ini::write in a child process, as user nobody or with a file-size limit
// below the new file's size (the "disk" takes no more).
Outcome writeInChild(Child kind, const QString& path)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {true, QStringLiteral("no pipe")};
    const pid_t child = fork();
    if (child == 0) {
        ::close(fds[0]);
        if (kind == Child::Nobody) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
        } else {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(kOld.size() / 2), rlim_t(kOld.size() / 2)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        QString error;
        const bool ok = ini::write(path, QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("4"), &error);
        const QByteArray out = (ok ? "1" : "0") + error.toUtf8();
        (void)!::write(fds[1], out.constData(), size_t(out.size()));
        _exit(0);
    }
    ::close(fds[1]);
    QByteArray got;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        got.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (got.isEmpty())
        return {true, QStringLiteral("the child said nothing (status %1)").arg(status)};
    return {got.startsWith('1'), QString::fromUtf8(got.mid(1))};
}

} // namespace

class TstIniWrite : public QObject {
    Q_OBJECT
private slots:
    void refusedWriteLeavesTheFile_data();
    void refusedWriteLeavesTheFile();
    void linkReportsTheFailure();
    void lockOfAKilledWriterIsTakenAtOnce();
};

void TstIniWrite::refusedWriteLeavesTheFile_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");   // 0: "dev.dat" is a folder
    QTest::addColumn<bool>("asNobody");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file that may be written but not read") << 0777 << 0222 << true << "доступ запрещён";
    QTest::newRow("read-only folder") << 0555 << 0666 << true << "доступ запрещён";
    QTest::newRow("full disk") << 0700 << 0644 << false << "файл слишком большой";
    QTest::newRow("a folder named dev.dat") << 0700 << 0 << false << "под этим именем папка";
}

void TstIniWrite::refusedWriteLeavesTheFile()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(bool, asNobody);
    QFETCH(QString, reason);
    testsupport::ProgramFolder folder;
    const QString path = folder.file(QStringLiteral("dev.dat"));
    if (fileMode) {
        folder.writeFile(QStringLiteral("dev.dat"), kOld);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)) == 0);
    } else {
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("dev.dat")));
    }
    QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), mode_t(folderMode)) == 0);

    const Outcome o = writeInChild(asNobody ? Child::Nobody : Child::FileSizeLimit, path);
    ::chmod(QFile::encodeName(folder.path()).constData(), 0700);

    QVERIFY2(!o.written, qPrintable(o.error));
    QVERIFY2(o.error.startsWith(QStringLiteral("Не удалось записать файл ") + path), qPrintable(o.error));
    QVERIFY2(o.error.contains(reason), qPrintable(o.error));
    if (fileMode)
        QCOMPARE(folder.readFile(QStringLiteral("dev.dat")), kOld);
    else
        QVERIFY(QFileInfo(path).isDir() && QDir(path).isEmpty());
    // Nothing is left beside it either.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("dev.dat")});
}

void TstIniWrite::linkReportsTheFailure()
{
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("dev.dat")));
    const bool written = dev.sWriteINI(QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("4"));
    QVERIFY(!written);
    const QString path = folder.file(QStringLiteral("dev.dat"));
    QVERIFY2(dev.iniWriteError().startsWith(QStringLiteral("Не удалось записать файл ") + path), qPrintable(dev.iniWriteError()));

    // Once the file can be written, the next write lands and clears the report.
    QVERIFY(QDir(folder.path()).rmdir(QStringLiteral("dev.dat")));
    const QString other = folder.file(QStringLiteral("text.dat"));
    QVERIFY(dev.sWriteINIA(other, QStringLiteral("K1"), QStringLiteral("Text"), QStringLiteral("Печь")));
    QCOMPARE(dev.iniWriteError(), QString());
    QVERIFY(dev.sWriteINI(QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("4")));
    QCOMPARE(folder.readFile(QStringLiteral("dev.dat")), QByteArray("[COMport]\r\nnumber=4\r\n"));
}

void TstIniWrite::lockOfAKilledWriterIsTakenAtOnce()
{
    // A writer killed while it held the lock, before it could say who it is.
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("dev.dat"), kOld);
    const QString path = folder.file(QStringLiteral("dev.dat"));
    int fds[2];
    QVERIFY(pipe(fds) == 0);
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT, 0666);
        ::flock(fd, LOCK_EX);
        (void)!::write(fds[1], "x", 1);
        for (;;)
            pause();
    }
    char c;
    QCOMPARE(::read(fds[0], &c, 1), ssize_t(1));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(fds[0]);
    ::close(fds[1]);

    // Taken over, not given up as another program's (how soon: bench_link).
    QString error;
    QVERIFY2(ini::write(path, QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("4"), &error), qPrintable(error));
    QCOMPARE(ini::read(path, QStringLiteral("COMport"), QStringLiteral("number"), QString()), QStringLiteral("4"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
}

QTEST_MAIN(TstIniWrite)
#include "tst_iniwrite.moc"
