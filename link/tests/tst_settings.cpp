// The settings file with the profile semantics, and the link's start-up.

#include "cp1251.h"
#include "dev.h"
#include "inifile.h"
#include "programdir.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using instrument::Dev;
namespace ini = instrument::ini;

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void readSemantics_data();
    void readSemantics();
    void writeKeepsTheRest_data();
    void writeKeepsTheRest();
    void interruptedWriteLeavesOldFileWhole();
    void concurrentWritersBothLand();
    void defaultsWithoutDevDat();
    void booleanKeys_data();
    void booleanKeys();
    void clearLogIsCaseSensitiveButLogStartsEmpty();
    void badValuesStopStartUp_data();
    void badValuesStopStartUp();
    void logThatCannotOpen();
    void decimalSeparator_data();
    void decimalSeparator();
    void portPath();
};

static const QByteArray kFile = "; suite settings\r\n"
                                "[COMport]\r\n"
                                "number = 3 \r\n"
                                "settings=9600,N,8,2\r\n"
                                "Empty=\r\n"
                                "\r\n"
                                "[Texts]\r\n"
                                "Name=\xcf\xf0\xe8\xe1\xee\xf0\r\n"
                                "Unassigned=\x98\r\n"
                                "Exact=" + QByteArray(254, 'e') + "\r\n"
                                "Long=" + QByteArray(300, 'l') + "\r\n"
                                "; number=99\r\n";

void TstSettings::readSemantics_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("exact") << "COMport" << "settings" << "9600,N,8,2";
    QTest::newRow("any case, trimmed") << "comPORT" << "NUMBER" << "3";
    QTest::newRow("empty value is not the default") << "COMport" << "Empty" << "";
    QTest::newRow("missing key") << "COMport" << "nothing" << "def";
    QTest::newRow("missing section") << "Nope" << "number" << "def";
    QTest::newRow("other section's key") << "Texts" << "settings" << "def";
    QTest::newRow("comment is no key") << "Texts" << "number" << "def";
    QTest::newRow("Windows-1251") << "Texts" << "Name" << "Прибор";
    QTest::newRow("254 characters whole") << "Texts" << "Exact" << QString(254, QLatin1Char('e'));
    QTest::newRow("longer cut to 254") << "Texts" << "Long" << QString(254, QLatin1Char('l'));
}

void TstSettings::readSemantics()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("dev.dat"), kFile);
    Dev dev;
    QCOMPARE(dev.sGetINI(section, key, QStringLiteral("def")), value);
}

void TstSettings::writeKeepsTheRest_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected");
    QByteArray changed = kFile;
    changed.replace("number = 3 \r\n", "number=4\r\n");
    QTest::newRow("existing key, other case") << "COMPORT" << "Number" << "4" << changed;
    changed = kFile;
    changed.replace("Empty=\r\n", "Empty=\r\nNetAdrr=5\r\n");
    QTest::newRow("new key goes after the section's last line") << "comport" << "NetAdrr" << "5" << changed;
    QTest::newRow("new section at the end") << "PROGS" << "Set1" << "Скорость"
                                            << kFile + "[PROGS]\r\nSet1=\xd1\xea\xee\xf0\xee\xf1\xf2\xfc\r\n";
}

void TstSettings::writeKeepsTheRest()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("dev.dat"), kFile);
    Dev dev;
    dev.sWriteINI(section, key, value);
    QCOMPARE(folder.readFile(QStringLiteral("dev.dat")), expected);
    QCOMPARE(dev.sGetINI(section, key, QString()), value);
}

void TstSettings::interruptedWriteLeavesOldFileWhole()
{
    // A writer killed at any moment inside a write leaves either the old or
    // the new file, never a part of one nor one short of a key; and the next
    // write goes through (how soon: bench_link).
    testsupport::ProgramFolder folder;
    const QString path = folder.file(QStringLiteral("dev.dat"));
    QByteArray big = kFile;
    for (int i = 0; i < 2000; ++i)
        big += "[S" + QByteArray::number(i) + "]\r\nkey=" + QByteArray(40, 'v') + "\r\n";
    QByteArray three = big, five = big;
    three.replace("number = 3 \r\n", "number=3\r\n");
    five.replace("number = 3 \r\n", "number=5\r\n");
    folder.writeFile(QStringLiteral("dev.dat"), big);

    // The kill moments spread over a few writes' time.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5; ++i)
        QVERIFY(ini::write(path, QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("3")));
    const qint64 spanUs = std::max<qint64>(1000, timer.nsecsElapsed() / 1000 * 2 / 5);

    QRandomGenerator rng(20261209);
    for (int round = 0; round < 150; ++round) {
        int pipeFd[2];
        QVERIFY(pipe(pipeFd) == 0);
        const pid_t child = fork();
        if (child == 0) {
            ::close(pipeFd[0]);
            const char c = 'x';
            (void)!::write(pipeFd[1], &c, 1);
            for (int i = 0;; ++i)
                ini::write(path, QStringLiteral("COMport"), QStringLiteral("number"), QString::number(i % 2 ? 3 : 5));
        }
        ::close(pipeFd[1]);
        char c;
        QCOMPARE(::read(pipeFd[0], &c, 1), ssize_t(1));
        ::close(pipeFd[0]);
        ::usleep(useconds_t(rng.bounded(spanUs)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const QByteArray now = folder.readFile(QStringLiteral("dev.dat"));
        QVERIFY2(now == three || now == five || (round == 0 && now == big),
                 qPrintable(QStringLiteral("round %1: the file was left torn, %2 bytes").arg(round).arg(now.size())));
        if (round % 10 == 0)
            QVERIFY(ini::write(path, QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("3")));
    }
    // What killed writers left beside the file goes with the next write.
    QVERIFY(ini::write(path, QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("3")));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dev.dat")});
}

void TstSettings::concurrentWritersBothLand()
{
    testsupport::ProgramFolder folder;
    const QString path = folder.file(QStringLiteral("dev.dat"));
    folder.writeFile(QStringLiteral("dev.dat"), kFile);
    QList<pid_t> children;
    for (const char* section : {"A", "B"}) {
        const pid_t child = fork();
        if (child == 0) {
            for (int i = 0; i < 40; ++i)
                ini::write(path, QString::fromLatin1(section), QStringLiteral("k%1").arg(i), QString::number(i));
            _exit(0);
        }
        children << child;
    }
    for (pid_t c : children) {
        int status = 0;
        ::waitpid(c, &status, 0);
        QVERIFY(WIFEXITED(status));
    }
    for (const QString& section : {QStringLiteral("A"), QStringLiteral("B")})
        for (int i = 0; i < 40; ++i)
            QCOMPARE(ini::read(path, section, QStringLiteral("k%1").arg(i), QStringLiteral("lost")), QString::number(i));
    QCOMPARE(ini::read(path, QStringLiteral("Texts"), QStringLiteral("Name"), QString()), QStringLiteral("Прибор"));
}

void TstSettings::defaultsWithoutDevDat()
{
    testsupport::ProgramFolder folder;
    folder.writeFile(QStringLiteral("COM.log"), "old run");
    Dev dev;
    QVERIFY(dev.Form_Load());
    QCOMPARE(dev.Number, quint8(1));
    QCOMPARE(dev.Settings, QStringLiteral("4800,N,8,2"));
    QVERIFY(dev.EnableNetAdrr);
    QCOMPARE(dev.bModuleNumber, quint8(0));
    QCOMPARE(dev.NofRereadings, quint8(2));
    QCOMPARE(dev.NOfDigits, quint8(8));
    QCOMPARE(dev.TimeOut, 3.0);
    QCOMPARE(dev.delay(), 0.2);
    QVERIFY(!dev.bolShow);
    QVERIFY(dev.bolUseLogFile);
    QCOMPARE(dev.sLogFileName, QStringLiteral("COM.log"));
    QCOMPARE(dev.bNetAdrr, quint8(0));
    QCOMPARE(dev.COMError, quint8(0));
    QVERIFY(!dev.isVisible());
    QCOMPARE(folder.readFile(QStringLiteral("COM.log")), QByteArray());
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("dev.dat"))));
}

void TstSettings::booleanKeys_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("on");
    QTest::newRow("2") << "2" << true;
    QTest::newRow("-1") << "-1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("0,0") << "0,0" << false;
}

void TstSettings::booleanKeys()
{
    QFETCH(QString, value);
    QFETCH(bool, on);
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[DEVICE]\nEnableNetAdrr=%1\n[SETTINGS]\nVisible=%1\n[LOG]\nUseLogFile=%1\n").arg(value));
    Dev dev;
    QVERIFY(dev.Form_Load());
    QCOMPARE(dev.EnableNetAdrr, on);
    QCOMPARE(dev.bolShow, on);
    QCOMPARE(dev.bolUseLogFile, on);
}

void TstSettings::clearLogIsCaseSensitiveButLogStartsEmpty()
{
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[LOG]\nClearLog=yes\nLogFileName=run.log\n"));
    folder.writeFile(QStringLiteral("run.log"), "old run");
    Dev dev;
    QVERIFY(dev.Form_Load());
    QCOMPARE(folder.readFile(QStringLiteral("run.log")), QByteArray());
}

void TstSettings::badValuesStopStartUp_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<QStringList>("named");
    QTest::newRow("port not a number") << "[COMport]\nnumber=COM1\n" << QStringList{"COMport", "number", "COM1", "не является числом"};
    QTest::newRow("port out of range") << "[COMport]\nnumber=256\n" << QStringList{"COMport", "number", "256", "от 0 до 255"};
    QTest::newRow("port rounds out of range") << "[COMport]\nnumber=255,5\n" << QStringList{"255,5", "от 0 до 255"};
    QTest::newRow("no time to wait") << "[SETTINGS]\nTimeOut=0\n" << QStringList{"SETTINGS", "TimeOut", "\"0\"", "больше 0"};
    QTest::newRow("negative time-out") << "[SETTINGS]\nTimeOut=-1\n" << QStringList{"TimeOut", "-1", "больше 0"};
    QTest::newRow("empty digits") << "[SETTINGS]\nNOfDigits=\n" << QStringList{"SETTINGS", "NOfDigits", "\"\""};
    QTest::newRow("negative rereadings") << "[SETTINGS]\nNOfRereadings=-1\n" << QStringList{"NOfRereadings", "-1", "от 0 до 255"};
    QTest::newRow("time-out with a point") << "[SETTINGS]\nTimeOut=0.5\n" << QStringList{"TimeOut", "0.5"};
    QTest::newRow("module") << "[DEVICE]\nModuleNum=x\n" << QStringList{"DEVICE", "ModuleNum"};
}

void TstSettings::badValuesStopStartUp()
{
    QFETCH(QString, devDat);
    QFETCH(QStringList, named);
    testsupport::ProgramFolder folder;
    folder.writeDevDat(devDat);
    Dev dev;
    QVERIFY(!dev.Form_Load());
    QVERIFY(dev.loadError().contains(QStringLiteral("dev.dat")));
    for (const QString& part : named)
        QVERIFY2(dev.loadError().contains(part), qPrintable(dev.loadError()));
}

void TstSettings::logThatCannotOpen()
{
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[LOG]\nLogFileName=no/such/folder/x.log\n"));
    Dev dev;
    QVERIFY(!dev.Form_Load());
    QVERIFY2(dev.loadError().contains(QStringLiteral("x.log")), qPrintable(dev.loadError()));
}

void TstSettings::decimalSeparator_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<double>("delay");
    QTest::addColumn<QString>("realAnswer");
    QTest::newRow("comma") << QLocale(QLocale::Russian, QLocale::Russia) << "," << 0.2 << "12,5";
    // Where "." is the separator, "0,2" takes the comma as a group separator.
    QTest::newRow("point") << QLocale(QLocale::English, QLocale::UnitedStates) << "." << 2.0 << "12.5";
}

void TstSettings::decimalSeparator()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, separator);
    QFETCH(double, delay);
    QLocale::setDefault(locale);
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[SETTINGS]\nTimeOut=1") + separator + QStringLiteral("5\n"));
    Dev dev;
    QVERIFY2(dev.Form_Load(), qPrintable(dev.loadError()));
    QCOMPARE(dev.sFloatingPointSeparator, separator);
    QCOMPARE(dev.TimeOut, 1.5);
    QCOMPARE(dev.delay(), delay);
}

void TstSettings::portPath()
{
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[PORTS]\ncom3 = /dev/ttyUSB0\nCOM3=/dev/ttyUSB9\n"));
    Dev dev;
    QVERIFY(dev.Form_Load());
    QCOMPARE(dev.portPath(3), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(dev.portPath(1), QStringLiteral("/dev/ttyS0"));
    // Changed by another program during the run: taken at the next start,
    // as the other link keys are.
    folder.writeDevDat(QStringLiteral("[PORTS]\nCOM3=/dev/ttyACM1\n"));
    QCOMPARE(dev.portPath(3), QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(dev.Form_Load());
    QCOMPARE(dev.portPath(3), QStringLiteral("/dev/ttyACM1"));
}

QTEST_MAIN(TstSettings)
#include "tst_settings.moc"
