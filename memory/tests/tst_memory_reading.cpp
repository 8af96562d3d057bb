// The reading tab against scripted answers: which frames each button reads,
// the data file it leaves, the questions on a failed frame, the stop button,
// and the faults of the file and the line.

#include "datafile.h"
#include "dialoganswerer.h"
#include "frmdir.h"
#include "memory_window.h"
#include "program.h"
#include "readingrig.h"
#include "windowrig.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using memorytest::range;
using memorytest::readDataFile;
using memorytest::ScriptedInstrument;
using Rig = testsupport::ScriptedRig<memory::frmMain>;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(12, 30, 5));
const QString kFileName = QStringLiteral("F123005071226.dtl");
// No exchange log: it would count against the file-size limit of one test.
const QString kDevDat = QStringLiteral("[LOG]\nUseLogFile=0\n");

// A window on the scripted instrument, with the PC clock at kNow.
struct Reading {
    explicit Reading(const QString& devDat = kDevDat) : rig(devDat, false)
    {
        rig.w->setClock([] { return kNow; });
        instrument.attach(rig.port);
        ok = rig.start();
    }
    QString file() const { return rig.folder.file(kFileName); }
    memorytest::DataFileFrames data() const { return readDataFile(file()); }
    memory::frmMain* w() const { return rig.w.get(); }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    Rig rig;
    ScriptedInstrument instrument;
    bool ok = false;
};

// The bytes one frame of the scripted instrument takes in the data file.
int bytesOfAFrame(const Reading& r)
{
    return int(memory::fileBytes(memory::frameLines(QString::fromLatin1(memorytest::frameAnswer(4046).mid(1)),
                                                    r.w()->dev()->sFloatingPointSeparator)
                                     .lines)
                   .size());
}

} // namespace

class ReadingTest : public QObject {
    Q_OBJECT
private slots:
    void lastHundredAroundTheEnd();
    void buttons_data();
    void buttons();
    void secondRunInTheSameSecondAppends();
    void registerAnswerNotANumber_data();
    void registerAnswerNotANumber();
    void refusedBuffers_data();
    void refusedBuffers();
    void failedFrame_data();
    void failedFrame();
    void ignoreEveryFrameLeavesTheFileAlone();
    void brokenFrameAnswer_data();
    void brokenFrameAnswer();
    void controlsDuringARun();
    void runLine_data();
    void runLine();
    void stopDuringTheRegisterReads_data();
    void stopDuringTheRegisterReads();
    void stopDuringTheRun();
    void stopWhileAFrameFails();
    void closeDuringTheRun();
    void unwritableFolder();
    void diskFillsMidRun_data();
    void diskFillsMidRun();
    void fileSizeLimitUnderTheProgramsSignals();
    void unpluggedMidRun();
    void chooserFolderTakesTheNextRun();
};

void ReadingTest::lastHundredAroundTheEnd()
{
    Reading r;
    QVERIFY(r.ok);
    r.click(r.w()->Command1);
    QCOMPARE(r.instrument.registersAsked, (QStringList{"20", "2", "4"}));
    const QList<int> expected = range(4046, 4095) + range(1, 50);
    QCOMPARE(r.instrument.framesAsked, expected);
    QCOMPARE(r.rig.frames().at(3), QStringLiteral(":1;323;FCE;c;\r\n"));
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, expected);
    QCOMPARE(data.lines.size(), 100 * 58);
    QCOMPARE(data.lines.mid(0, 13),
             (QStringList{"\"4046\"", "16", "\"12:30:05\"", "\"07/12/26\"", "\"1\"", "\"1\"", "\"2\"", "\"A3\"",
                          "\"B0\"", "\"C1111000\"", "\"0\"", "\"0\"",
                          "\"0" + r.w()->dev()->sFloatingPointSeparator + "5\""}));
    QCOMPARE(r.w()->pbReading->maximum(), 99);
    QCOMPARE(r.w()->pbReading->value(), 99);
    QVERIFY(r.rig.messages.texts().isEmpty());
    for (QWidget* c : r.w()->userControls())
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
}

void ReadingTest::buttons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QStringList>("registers");
    QTest::addColumn<QList<int>>("frames");

    // Buffer 1 at frame 50 (hex 32), buffer 2 at 4146 (hex 1032).
    QTest::newRow("Command1, buffer 2") << "Command1" << 1 << QStringList{"21", "3", "5"}
                                        << range(8142, 8191) + range(4097, 4146);
    QTest::newRow("Command2") << "Command2" << 0 << QStringList{"20", "2", "4"} << range(3746, 4095) + range(1, 50);
    QTest::newRow("Command3") << "Command3" << 0 << QStringList{"20", "2", "4"}
                              << range(3155, 4095, 10) + range(10, 50, 10);
    QTest::newRow("Command4, buffer 2") << "Command4" << 1 << QStringList{"21", "3", "5"}
                                        << range(4251, 8191, 10) + range(4106, 4146, 10);
    QTest::newRow("Command5") << "Command5" << 0 << QStringList{"4", "20", "2", "4"}
                              << range(51, 4095) + range(1, 50);
    QTest::newRow("Command5, buffer 2") << "Command5" << 1 << QStringList{"5", "21", "3", "5"}
                                        << range(4147, 8191) + range(4097, 4146);
}

void ReadingTest::buttons()
{
    QFETCH(QString, button);
    QFETCH(int, buffer);
    QFETCH(QStringList, registers);
    QFETCH(QList<int>, frames);
    Reading r;
    QVERIFY(r.ok);
    r.w()->cmbBuffNum->setCurrentIndex(buffer);
    r.click(r.w()->findChild<QPushButton*>(button));
    QCOMPARE(r.instrument.registersAsked, registers);
    QCOMPARE(r.instrument.framesAsked, frames);
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, frames);
    QCOMPARE(r.w()->pbReading->value(), int(frames.size()) - 1);
}

void ReadingTest::secondRunInTheSameSecondAppends()
{
    Reading r;
    QVERIFY(r.ok);
    r.click(r.w()->Command1);
    r.click(r.w()->Command3);
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, range(4046, 4095) + range(1, 50) + range(3155, 4095, 10) + range(10, 50, 10));
}

void ReadingTest::registerAnswerNotANumber_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message");
    const QString bad = QStringLiteral("Из прибора пришло число в неправильном формате");
    QTest::newRow("current frame") << "Command1" << "20" << QStringLiteral("Error: ") + bad;
    QTest::newRow("first frame") << "Command2" << "2" << QStringLiteral("Error: ") + bad;
    QTest::newRow("length") << "Command3" << "4" << QStringLiteral("Error: ") + bad;
    // The whole buffer's own length read speaks Russian.
    QTest::newRow("whole buffer's length") << "Command5" << "4" << QStringLiteral("Ошибка: ") + bad;
}

void ReadingTest::registerAnswerNotANumber()
{
    QFETCH(QString, button);
    QFETCH(QString, address);
    QFETCH(QString, message);
    Reading r;
    QVERIFY(r.ok);
    r.instrument.registerFaults[address] = {"!ZZ;\r\n", "!ZZ;\r\n", "!ZZ;\r\n"};
    r.click(r.w()->findChild<QPushButton*>(button));
    QCOMPARE(r.rig.messages.texts(), QStringList{message});
    QCOMPARE(r.rig.messages.messages().first().title, QStringLiteral("Memory"));
    QCOMPARE(r.instrument.registersAsked.last(), address);
    QVERIFY(r.instrument.framesAsked.isEmpty());
    QVERIFY(!QFile::exists(r.file()));
    QVERIFY(r.w()->Command1->isEnabled());
}

void ReadingTest::refusedBuffers_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("length");
    QTest::addColumn<QString>("message");
    QTest::newRow("length 0") << QByteArray("32") << QByteArray("0") << QByteArray("0")
                              << "Ошибка: длина буфера 1 равна 0, кадры не читаются.";
    QTest::newRow("negative length") << QByteArray("32") << QByteArray("0") << QByteArray("FFFF")
                                     << "Ошибка: длина буфера 1 равна -1, кадры не читаются.";
    QTest::newRow("past frame 32767") << QByteArray("7001") << QByteArray("7001") << QByteArray("FFF")
                                      << "Ошибка: буфер 1 (начало 28673, длина 4095) выходит за кадр 32767, "
                                         "кадры не читаются.";
    QTest::newRow("current in the other buffer")
        << QByteArray("1100") << QByteArray("0") << QByteArray("FFF")
        << "Ошибка: текущий кадр 4352 лежит вне буфера 1 (кадры 0 - 4095), кадры не читаются.";
}

void ReadingTest::refusedBuffers()
{
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, length);
    QFETCH(QString, message);
    Reading r;
    QVERIFY(r.ok);
    r.instrument.registers["20"] = current;
    r.instrument.registers["2"] = start;
    r.instrument.registers["4"] = length;
    r.click(r.w()->Command1);
    QCOMPARE(r.rig.messages.texts(), QStringList{message});
    QVERIFY(r.instrument.framesAsked.isEmpty());
    QVERIFY(!QFile::exists(r.file()));
}

void ReadingTest::failedFrame_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("asked");
    QTest::addColumn<QList<int>>("written");
    QTest::addColumn<int>("progress");

    const QList<int> all = range(4046, 4095) + range(1, 50);
    QList<int> withoutThird = all;
    withoutThird.removeAt(2);
    QList<int> retried = all;
    retried.insert(2, 4048);
    QTest::newRow("Abort") << int(QMessageBox::Abort) << range(4046, 4048) << range(4046, 4047) << 2;
    QTest::newRow("Retry") << int(QMessageBox::Retry) << retried << all << 99;
    QTest::newRow("Ignore") << int(QMessageBox::Ignore) << all << withoutThird << 99;
}

void ReadingTest::failedFrame()
{
    QFETCH(int, answer);
    QFETCH(QList<int>, asked);
    QFETCH(QList<int>, written);
    QFETCH(int, progress);
    Reading r;
    QVERIFY(r.ok);
    // The third frame meets silence on all three attempts of the link.
    r.instrument.frameFaults[4048] = {"", "", ""};
    r.rig.messages.answerNext(QMessageBox::StandardButton(answer));
    r.click(r.w()->Command1);
    QCOMPARE(r.rig.messages.texts(), QStringList{QStringLiteral("Кадр 4048 не прочитан: Прибор не отвечает")});
    QCOMPARE(r.rig.messages.messages().first().buttons,
             QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    QList<int> expectAsked;
    for (int f : asked) {
        expectAsked << f;
        if (f == 4048 && expectAsked.count(4048) == 1)
            expectAsked << 4048 << 4048;   // the link's own two repetitions
    }
    QCOMPARE(r.instrument.framesAsked, expectAsked);
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, written);
    QCOMPARE(r.w()->pbReading->value(), progress);
    QVERIFY(r.w()->Command1->isEnabled());
}

void ReadingTest::ignoreEveryFrameLeavesTheFileAlone()
{
    Reading r;
    QVERIFY(r.ok);
    r.rig.folder.writeFile(kFileName, "\"old\"\r\n");
    r.instrument.registers["20"] = "5";   // frames 1 to 5 of a 5-long buffer
    r.instrument.registers["4"] = "5";
    for (int f = 1; f <= 5; ++f) {
        r.instrument.frameFaults[f] = {"ERR\r\n", "ERR\r\n", "ERR\r\n"};
        r.rig.messages.answerNext(QMessageBox::Ignore);
    }
    r.click(r.w()->Command1);
    QCOMPARE(r.rig.messages.texts().size(), 5);
    QCOMPARE(r.rig.messages.texts().first(), QStringLiteral("Кадр 1 не прочитан: Прибор выдает ошибку"));
    QCOMPARE(r.rig.folder.readFile(kFileName), QByteArray("\"old\"\r\n"));
    QCOMPARE(r.w()->pbReading->maximum(), 4);
    QCOMPARE(r.w()->pbReading->value(), 4);
}

void ReadingTest::brokenFrameAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    // The link checks twelve values; the count announces sixteen.
    QTest::newRow("fewer values than the count") << memorytest::frameAnswer(4047, "10", 12);
    // A count the link takes for a number, but that is no hexadecimal count.
    QTest::newRow("negative count") << memorytest::frameAnswer(4047, "-1", 16);
    QTest::newRow("count past 255") << memorytest::frameAnswer(4047, "1e2", 16);
}

void ReadingTest::brokenFrameAnswer()
{
    QFETCH(QByteArray, answer);
    Reading r;
    QVERIFY(r.ok);
    r.instrument.frameFaults[4047] = {answer};
    r.rig.messages.answerNext(QMessageBox::Ignore);
    r.click(r.w()->Command1);
    QCOMPARE(r.rig.messages.texts().size(), 1);
    QVERIFY2(r.rig.messages.texts().first().startsWith(QStringLiteral("Кадр 4047 не прочитан: Получен ответ неправильного формата")),
             qPrintable(r.rig.messages.texts().first()));
    const auto data = r.data();
    QVERIFY(data.whole);
    QList<int> expected = range(4046, 4095) + range(1, 50);
    expected.removeOne(4047);
    QCOMPARE(data.frames, expected);
}

void ReadingTest::controlsDuringARun()
{
    Reading r;
    QVERIFY(r.ok);
    QStringList enabledDuring;
    bool stopEnabled = false;
    r.instrument.onFrame = [&](int frame) {
        if (frame != 4050)
            return;
        for (QWidget* c : r.w()->userControls())
            if (c->isEnabled())
                enabledDuring << c->objectName();
        stopEnabled = r.w()->cmdStopReadingFrames->isEnabled();
    };
    r.click(r.w()->Command1);
    QCOMPARE(enabledDuring, QStringList{"cmdStopReadingFrames"});
    QVERIFY(stopEnabled);
    for (QWidget* c : r.w()->userControls())
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
}

void ReadingTest::runLine_data()
{
    QTest::addColumn<int>("stopAt");        // the frame at whose command stop is clicked, or 0
    QTest::addColumn<int>("failing");       // the frame that meets silence, or 0
    QTest::addColumn<int>("answer");        // the answer to its question
    QTest::addColumn<QString>("end");

    QTest::newRow("finished") << 0 << 0 << 0 << "Чтение закончено · в файл записано 100 кадров из 100";
    QTest::newRow("stopped") << 4055 << 0 << 0 << "Чтение остановлено кнопкой · в файл записано 10 кадров из 100";
    QTest::newRow("aborted") << 0 << 4052 << int(QMessageBox::Abort)
                             << "Чтение прервано на кадре 4052 · в файл записано 6 кадров из 100";
    QTest::newRow("one ignored") << 0 << 4052 << int(QMessageBox::Ignore)
                                 << "Чтение закончено · в файл записано 99 кадров из 100, пропущено 1 кадр";
}

void ReadingTest::runLine()
{
    QFETCH(int, stopAt);
    QFETCH(int, failing);
    QFETCH(int, answer);
    QFETCH(QString, end);
    Reading r;
    QVERIFY(r.ok);
    const QString title = r.w()->windowTitle();
    // The PC clock goes on a second with every frame command.
    QDateTime now = kNow;
    r.w()->setClock([&] { return now; });
    if (failing) {
        r.instrument.frameFaults[failing] = {"", "", ""};
        r.rig.messages.answerNext(QMessageBox::StandardButton(answer));
    }
    QString line, box, caption;
    r.instrument.onFrame = [&](int frame) {
        if (frame == 4050 && line.isEmpty()) {
            line = r.w()->lReadingStatus->text();
            box = r.w()->tbFileName->text();
            caption = r.w()->windowTitle();
        }
        if (frame == stopAt)
            r.click(r.w()->cmdStopReadingFrames);
        now = now.addSecs(1);
    };
    r.click(r.w()->Command1);

    // Four frames in four seconds, 96 to go: a second each.
    QCOMPARE(line, QStringLiteral("Кадр 4 из 100 · осталось ≈ 1 мин 36 с · ") + kFileName);
    QCOMPARE(box, kFileName);
    QCOMPARE(caption, QStringLiteral("4 % · ") + title);
    const QString path = QDir::toNativeSeparators(r.file());
    QCOMPARE(r.w()->lReadingStatus->text(), end + QStringLiteral(" · ") + path);
    QCOMPARE(r.w()->windowTitle(), title);
    // One file, named when the run started; the box follows the clock again, the line stays.
    QCOMPARE(QDir(r.rig.folder.path()).entryList({QStringLiteral("*.dtl")}), QStringList{kFileName});
    QTRY_VERIFY(r.w()->tbFileName->text() != kFileName);
    QCOMPARE(r.w()->lReadingStatus->text(), end + QStringLiteral(" · ") + path);

    // "Открыть файл" hands that file to the viewer next to the program, or to the desktop.
    QStringList opened;
    const memory::OpenFileHook old = memory::setOpenFileHook([&](const QString& viewer, const QString& file) {
        opened << viewer << file;
        return true;
    });
    QVERIFY(r.w()->cmdOpenFile->isEnabled());
    r.click(r.w()->cmdOpenFile);
    memory::setOpenFileHook(old);
    const QFileInfo viewer(QCoreApplication::applicationDirPath() + QStringLiteral("/Viewer"));
    QCOMPARE(opened, (QStringList{viewer.isExecutable() ? viewer.absoluteFilePath() : QString(), path}));
    QCOMPARE(r.rig.messages.texts().size(), failing ? 1 : 0);
}

void ReadingTest::stopDuringTheRegisterReads_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    QTest::newRow("current frame") << "Command1" << "20";
    QTest::newRow("first frame") << "Command1" << "2";
    QTest::newRow("length") << "Command2" << "4";
    QTest::newRow("whole buffer's length") << "Command5" << "4";
    // A real click waits in the queue while a register read holds the window's input.
    QTest::newRow("queued, current frame") << "Command1" << "20";
    QTest::newRow("queued, length") << "Command1" << "4";
    QTest::newRow("queued, whole buffer's length") << "Command5" << "4";
}

void ReadingTest::stopDuringTheRegisterReads()
{
    QFETCH(QString, button);
    QFETCH(QString, address);
    Reading r;
    QVERIFY(r.ok);
    bool clicked = false;
    const bool queued = QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("queued"));
    r.instrument.onRegister = [&](const QString& a) {
        if (a == address && !clicked) {
            clicked = true;
            QPushButton* stop = r.w()->cmdStopReadingFrames;
            if (queued)
                QMetaObject::invokeMethod(stop, [stop] { QTest::mouseClick(stop, Qt::LeftButton); }, Qt::QueuedConnection);
            else
                r.click(stop);
        }
    };
    r.click(r.w()->findChild<QPushButton*>(button));
    QVERIFY(clicked);
    QCOMPARE(r.instrument.registersAsked.last(), address);
    QVERIFY(r.instrument.framesAsked.isEmpty());
    QVERIFY(!QFile::exists(r.file()));
    QVERIFY(r.rig.messages.texts().isEmpty());
    QVERIFY(r.w()->Command1->isEnabled());
    QCOMPARE(r.w()->lReadingStatus->text(),
             QStringLiteral("Чтение остановлено до первого кадра · в файл ничего не записано · ")
                 + QDir::toNativeSeparators(r.file()));
}

void ReadingTest::stopDuringTheRun()
{
    Reading r;
    QVERIFY(r.ok);
    QStringList enabledAfterStop;
    r.instrument.onFrame = [&](int frame) {
        if (frame == 4055) {
            r.click(r.w()->cmdStopReadingFrames);
            for (QWidget* c : r.w()->userControls())
                if (c->isEnabled())
                    enabledAfterStop << c->objectName();
        }
    };
    r.click(r.w()->Command5);
    // The frame in progress is written, nothing after it is read.
    QCOMPARE(r.instrument.framesAsked, range(51, 4055));
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, range(51, 4055));
    // Until the run had ended, nothing could be started; then everything can.
    QCOMPARE(enabledAfterStop, QStringList());
    for (QWidget* c : r.w()->userControls())
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
}

void ReadingTest::stopWhileAFrameFails()
{
    Reading r;
    QVERIFY(r.ok);
    r.instrument.frameFaults[4048] = {"", "", ""};
    r.instrument.onFrame = [&](int frame) {
        if (frame == 4048 && r.w()->cmdStopReadingFrames->isEnabled())
            r.click(r.w()->cmdStopReadingFrames);
    };
    r.rig.messages.answerNext(QMessageBox::Retry);
    r.click(r.w()->Command1);
    // The question is answered, the retried frame written, and the run ends.
    QCOMPARE(r.rig.messages.texts().size(), 1);
    QCOMPARE(r.data().frames, range(4046, 4048));
    QVERIFY(r.w()->Command1->isEnabled());
}

void ReadingTest::closeDuringTheRun()
{
    Reading r;
    QVERIFY(r.ok);
    r.instrument.onFrame = [&](int frame) {
        if (frame == 4050)
            r.w()->close();
    };
    r.click(r.w()->Command1);
    QCOMPARE(r.instrument.framesAsked, range(4046, 4050));
    QCOMPARE(r.data().frames, range(4046, 4050));
    QVERIFY(!r.w()->isVisible());
}

void ReadingTest::unwritableFolder()
{
    QTemporaryDir tmp;
    const QString locked = geteuid() == 0 ? QStringLiteral("/sys") : tmp.filePath(QStringLiteral("locked"));
    if (geteuid() != 0) {
        QDir().mkpath(locked);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    Reading r(kDevDat + QStringLiteral("[MEMORY]\nDIR=%1\n").arg(locked));
    QVERIFY(r.ok);
    QCOMPARE(r.w()->sSaveDir, locked);
    r.click(r.w()->Command1);
    QCOMPARE(r.rig.messages.texts().size(), 1);
    const QString text = r.rig.messages.texts().first();
    QVERIFY2(text.startsWith(QStringLiteral("Ошибка: файл %1/%2 не создается: ").arg(locked, kFileName)),
             qPrintable(text));
    QVERIFY(r.rig.frames().isEmpty());
}

void ReadingTest::diskFillsMidRun_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("written");
    QTest::newRow("Abort") << int(QMessageBox::Abort) << range(4046, 4048);
    QTest::newRow("Retry with room again") << int(QMessageBox::Retry) << range(4046, 4095) + range(1, 50);
    QTest::newRow("Ignore") << int(QMessageBox::Ignore) << range(4046, 4048);
}

void ReadingTest::diskFillsMidRun()
{
    QFETCH(int, answer);
    QFETCH(QList<int>, written);
    Reading r;
    QVERIFY(r.ok);
    const int frameBytes = bytesOfAFrame(r);
    // Room for three frames and a half; with Ignore the disk stays full.
    memorytest::FileSizeLimit limit(rlim_t(frameBytes * 3.5));
    QStringList asked;
    instrument::setMessageHook([&](const instrument::Message& m) {
        asked << m.text;
        if (answer == QMessageBox::Retry)
            limit.lift();
        return QMessageBox::StandardButton(answer);
    });
    r.click(r.w()->Command1);
    limit.lift();
    instrument::setMessageHook({});
    QVERIFY(!asked.isEmpty());
    QVERIFY2(asked.first().startsWith(QStringLiteral("Кадр 4049 не записан в файл %1: ").arg(r.file())),
             qPrintable(asked.first()));
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, written);
    if (answer == QMessageBox::Ignore)
        QCOMPARE(asked.size(), 97);   // every later frame meets the full disk
    else
        QCOMPARE(asked.size(), 1);
}

void ReadingTest::fileSizeLimitUnderTheProgramsSignals()
{
    // A file-size limit once killed the program mid-frame (SIGXFSZ): with the
    // signal as a fresh process has it and as every program then sets it, a
    // write past the limit fails and is asked about; the file keeps whole frames.
    std::signal(SIGXFSZ, SIG_DFL);
    ui::prepareProgram();
    Reading r;
    QVERIFY(r.ok);
    const int frameBytes = bytesOfAFrame(r);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = rlim_t(frameBytes * 2.5);
    setrlimit(RLIMIT_FSIZE, &limit);
    r.rig.messages.answerNext(QMessageBox::Abort);
    r.click(r.w()->Command1);
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(r.rig.messages.texts().size(), 1);
    QVERIFY2(r.rig.messages.texts().first().startsWith(QStringLiteral("Кадр 4048 не записан в файл ")),
             qPrintable(r.rig.messages.texts().first()));
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, range(4046, 4047));
}

void ReadingTest::unpluggedMidRun()
{
    Reading r;
    QVERIFY(r.ok);
    r.instrument.frameFaults[4050] = {"LOST", "LOST", "LOST"};
    r.rig.messages.answerNext(QMessageBox::Abort);
    r.click(r.w()->Command1);
    QCOMPARE(r.rig.messages.texts().size(), 1);
    QVERIFY2(r.rig.messages.texts().first().startsWith(QStringLiteral("Кадр 4050 не прочитан: ") + instrument::kSystemErrorPrefix),
             qPrintable(r.rig.messages.texts().first()));
    const auto data = r.data();
    QVERIFY(data.whole);
    QCOMPARE(data.frames, range(4046, 4049));
    QVERIFY(r.w()->Command1->isEnabled());
}

void ReadingTest::chooserFolderTakesTheNextRun()
{
    Reading r;
    QVERIFY(r.ok);
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("data"));
    testsupport::DialogAnswerer dialogs;
    dialogs.answerNext([&](QDialog& d) {
        auto& chooser = dynamic_cast<memory::frmDir&>(d);
        chooser.setOpenFolder(tmp.filePath(QStringLiteral("data")));
        QTest::mouseClick(chooser.cmdOk, Qt::LeftButton);
        return chooser.result();
    });
    r.click(r.w()->Command7);
    QCOMPARE(dialogs.shown(), 1);
    QCOMPARE(r.w()->sSaveDir, tmp.filePath(QStringLiteral("data")));
    QCOMPARE(r.w()->dev()->sGetINI(QStringLiteral("MEMORY"), QStringLiteral("DIR"), QString()),
             tmp.filePath(QStringLiteral("data")));
    r.click(r.w()->Command1);
    QCOMPARE(readDataFile(tmp.filePath(QStringLiteral("data/") + kFileName)).frames.size(), 100);
}

QTEST_MAIN(ReadingTest)
#include "tst_memory_reading.moc"
