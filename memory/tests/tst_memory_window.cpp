// The memory tool's window driven through its controls, with the link
// talking to a scripted port: start-up, buffer settings, recording, state
// and the clock.

#include "memory_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QGroupBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using memory::frmMain;
using Rig = testsupport::ScriptedRig<frmMain>;

namespace {

const QString kNoAnswer = QStringLiteral("Ошибка: Прибор не отвечает");
const QColor kYellow(0xFF, 0xFF, 0x80);

// The frames written, CR LF cut.
QStringList sent(const Rig& r)
{
    QStringList out;
    for (QString f : r.frames())
        out << f.remove(QStringLiteral("\r\n"));
    return out;
}

// Queues answers, each ended as the instrument ends its lines; an empty
// text is silence.
void replyTo(Rig& r, const QStringList& answers)
{
    QStringList lines;
    for (const QString& a : answers)
        lines << (a.isEmpty() ? a : a + QStringLiteral("\r\n"));
    r.replies(lines);
}

// A rig whose PC clock stands at t, loaded and shown.
std::unique_ptr<Rig> rigAt(const QDateTime& t, const QString& devDat = QString())
{
    auto r = std::make_unique<Rig>(devDat, false);
    r->w->setClock([t] { return t; });
    r->start();
    return r;
}

QPushButton* button(frmMain* w, const QString& name)
{
    return w->findChild<QPushButton*>(name);
}

QStringList disabledControls(frmMain* w)
{
    QStringList out;
    for (QWidget* c : w->userControls())
        if (!c->isEnabled())
            out << c->objectName();
    return out;
}

QStringList allControlNames(frmMain* w)
{
    QStringList out;
    for (QWidget* c : w->userControls())
        out << c->objectName();
    return out;
}

} // namespace

class TestMemoryWindow : public QObject {
    Q_OBJECT
private slots:
    void init();

    void firstStartWithoutDevDat();
    void startUpValuesNotTaken_data();
    void startUpValuesNotTaken();
    void presetsFollowTheChosenBuffer();
    void disableAllCoversEveryUserControl();
    void selectorsReachTheLink();

    void readSettings_data();
    void readSettings();
    void readSettingsStopsAtTheFirstFailure();
    void writeSettingsOrderAndHex_data();
    void writeSettingsOrderAndHex();
    void writeStopsAtTheFirstFailure();
    void writeRefusesBoxes_data();
    void writeRefusesBoxes();

    void stateCodes_data();
    void stateCodes();
    void stateReadFailureKeepsLabels();
    void startAndStopRecording_data();
    void startAndStopRecording();

    void clockRead_data();
    void clockRead();
    void clockWrite_data();
    void clockWrite();
    void clockWriteTakesOneSnapshot();
    void pcClockShownAtStartAndReadOnly();

    void linkFailureOnEveryButton_data();
    void linkFailureOnEveryButton();
    void closeDuringAnExchangeSendsNothingMore();
    void exitClosesAndStopsTheTimer();

    void helperProgramStartedOnceWhenPresent();
    void helperProgramMissingOrNotRunnable_data();
    void helperProgramMissingOrNotRunnable();
};

void TestMemoryWindow::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

// ---- start-up -----------------------------------------------------------------------

void TestMemoryWindow::firstStartWithoutDevDat()
{
    Rig r;
    QVERIFY(r.loaded);
    frmMain* w = r.w.get();
    QCOMPARE(w->windowTitle(), QStringLiteral("Работа с памятью измеренных значений v1.0.0"));
    QCOMPARE(w->cmbPort->count(), 12);
    QCOMPARE(w->cmbPort->itemText(11), QStringLiteral("COM12"));
    QCOMPARE(w->cmbPort->currentText(), QStringLiteral("COM1"));
    QCOMPARE(int(w->dev()->Number), 1);
    QCOMPARE(w->cmbSpeed->count(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w->cmbSpeed->itemText(i), QStringLiteral("4800"));
    QCOMPARE(w->cmbSpeed->currentIndex(), 4);
    QCOMPARE(w->dev()->Settings, QStringLiteral("4800,N,8,2"));
    QCOMPARE(w->cmbNetAdrr->count(), 256);
    QCOMPARE(w->cmbNetAdrr->currentText(), QStringLiteral("1"));
    QCOMPARE(int(w->dev()->bNetAdrr), 1);
    QCOMPARE(w->cmbBuffNum->currentText(), QStringLiteral("1"));
    QCOMPARE(w->cmbBuffNum2->currentText(), QStringLiteral("1"));
    QCOMPARE(w->cmbInterval->count(), 9);
    QCOMPARE(w->cmbInterval->currentText(), QStringLiteral("1"));
    QCOMPARE(w->cmbInterval2->currentText(), QStringLiteral("1"));
    QCOMPARE(w->tbBuffBegin->text(), QStringLiteral("0"));
    QCOMPARE(w->tbBuffBegin2->text(), QStringLiteral("4096"));
    QCOMPARE(w->tbBuffLength->text(), QStringLiteral("4095"));
    QCOMPARE(w->tbBuffLength2->text(), QStringLiteral("4095"));
    QCOMPARE(QDir(w->sSaveDir).canonicalPath(), QDir(r.folder.path()).canonicalPath());
    QCOMPARE(w->pbReading->value(), 0);
    QCOMPARE(w->SSTab1->currentIndex(), 0);
    QCOMPARE(w->SSTab1->tabText(1), QStringLiteral("Настройка буферов и коректировка часов"));
    QVERIFY(r.messages.texts().isEmpty());
    QVERIFY(r.frames().isEmpty());
}

void TestMemoryWindow::startUpValuesNotTaken_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("speeds");
    QTest::addColumn<QString>("saveDir");    // empty: the program folder
    QTest::addColumn<QStringList>("named");  // texts the one message holds; none: no message

    const QStringList none;
    QTest::newRow("port index 12") << "[PROGS]\nNumberIndex=12\n" << 0 << 4 << 8 << "" << QStringList{"PROGS/NumberIndex", "«12»", "COM1"};
    QTest::newRow("port index -1") << "[PROGS]\nNumberIndex=-1\n" << 0 << 4 << 8 << "" << QStringList{"NumberIndex"};
    QTest::newRow("port index COM3") << "[PROGS]\nNumberIndex=COM3\n" << 0 << 4 << 8 << "" << QStringList{"COM3"};
    QTest::newRow("port index 11") << "[PROGS]\nNumberIndex=11\n" << 11 << 4 << 8 << "" << none;
    QTest::newRow("speed index 8") << "[PROGS]\nSettingsIndex=8\n" << 0 << 4 << 8 << "" << QStringList{"PROGS/SettingsIndex", "«8»", "4800"};
    QTest::newRow("speed index beyond a short list")
        << "[PROGS]\nNofSettings=2\nSet1=9600,N,8,2\nSet2=19200,N,8,2\nSettingsIndex=4\n" << 0 << 0 << 2 << ""
        << QStringList{"SettingsIndex"};
    QTest::newRow("speed list empty") << "[PROGS]\nNofSettings=0\n[COMport]\nsettings=9600,N,8,2\n" << 0 << -1 << 0 << ""
                                      << QStringList{"9600,N,8,2"};
    QTest::newRow("speed count not a number") << "[PROGS]\nNofSettings=eight\n" << 0 << 4 << 8 << ""
                                              << QStringList{"NofSettings", "eight"};
    QTest::newRow("preset length not a number") << "[BUFF1]\nBuffLen=много\n" << 0 << 4 << 8 << ""
                                                << QStringList{"BUFF1/BuffLen", "«много»"};
    QTest::newRow("preset interval beyond the list") << "[BUFF2]\nBuffInt=9\n" << 0 << 4 << 8 << ""
                                                     << QStringList{"BUFF2/BuffInt", "«9»"};
    QTest::newRow("two faults, one message") << "[PROGS]\nNumberIndex=40\n[BUFF1]\nStartFrame=x\n" << 0 << 4 << 8
                                             << "" << QStringList{"NumberIndex", "StartFrame"};
    QTest::newRow("save folder empty") << "[MEMORY]\nDIR=\n" << 0 << 4 << 8 << "" << none;
    QTest::newRow("save folder given") << "[MEMORY]\nDIR=/data/frames\n" << 0 << 4 << 8 << "/data/frames" << none;
}

void TestMemoryWindow::startUpValuesNotTaken()
{
    QFETCH(QString, devDat);
    QFETCH(int, port);
    QFETCH(int, speed);
    QFETCH(int, speeds);
    QFETCH(QString, saveDir);
    QFETCH(QStringList, named);

    Rig r(devDat);
    QVERIFY(r.loaded);
    QCOMPARE(r.w->cmbPort->currentIndex(), port);
    QCOMPARE(int(r.w->dev()->Number), port + 1);
    QCOMPARE(r.w->cmbSpeed->count(), speeds);
    QCOMPARE(r.w->cmbSpeed->currentIndex(), speed);
    if (speeds > 0)
        QCOMPARE(r.w->dev()->Settings, r.w->cmbSpeed->currentText() + QStringLiteral(",N,8,2"));
    else
        QCOMPARE(r.w->dev()->Settings, QStringLiteral("9600,N,8,2"));   // the link's own
    if (saveDir.isEmpty())
        QCOMPARE(QDir(r.w->sSaveDir).canonicalPath(), QDir(r.folder.path()).canonicalPath());
    else
        QCOMPARE(r.w->sSaveDir, saveDir);

    if (named.isEmpty()) {
        QVERIFY(r.messages.texts().isEmpty());
        return;
    }
    QCOMPARE(r.messages.messages().size(), 1);
    QCOMPARE(r.messages.messages().first().title, QStringLiteral("Memory"));
    for (const QString& n : named)
        QVERIFY2(r.messages.texts().first().contains(n), qPrintable(r.messages.texts().first()));
    QVERIFY(r.frames().isEmpty());
}

void TestMemoryWindow::presetsFollowTheChosenBuffer()
{
    // With buffer 1's interval preset set, every choice copies the chosen
    // buffer's presets; the start and length shown at first are the defaults.
    {
        Rig r(QStringLiteral("[BUFF1]\nBuffInt=3\nStartFrame=10\nBuffLen=100\n"
                             "[BUFF2]\nBuffInt=5\nStartFrame=2000\nBuffLen=300\n"));
        QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("10"));
        QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("0"));
        QCOMPARE(r.w->tbBuffLength->text(), QStringLiteral("4095"));
        r.w->cmbBuffNum2->setCurrentIndex(1);
        QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("60"));
        QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("2000"));
        QCOMPARE(r.w->tbBuffLength->text(), QStringLiteral("300"));
        r.w->cmbBuffNum2->setCurrentIndex(0);
        QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("10"));
        QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("10"));
    }
    // Buffer 1's interval preset 0 leaves the interval as it is.
    {
        Rig r(QStringLiteral("[BUFF2]\nBuffInt=5\nStartFrame=2000\n"));
        r.w->cmbBuffNum2->setCurrentIndex(1);
        QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("1"));
        QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("2000"));
    }
}

void TestMemoryWindow::disableAllCoversEveryUserControl()
{
    Rig r;
    const QStringList order{
        "cmbPort",         "cmbSpeed",          "cmbNetAdrr",          "cmbBuffNum",          "Command1",
        "Command2",        "Command3",          "Command4",            "Command5",            "cmdStopReadingFrames",
        "Command7",        "tbFileName",        "cmbExit",             "cmbBuffNum2",         "cmbReadState",
        "cmdStopWriting",  "cmbStartWriting",   "cmbInterval",         "tbBuffBegin",         "tbBuffLength",
        "cmbReadBuffSettings", "cmdWriteBuffSettings", "cmbReadState2", "cmdStopWriting2",    "cmbStartWriting2",
        "cmbInterval2",    "tbBuffBegin2",      "tbBuffLength2",       "cmbReadBuffSettings2", "cmdWriteBuffSettings2",
        "cmdClockRead",    "cmdClockWrite"};
    QCOMPARE(allControlNames(r.w.get()), order);
    r.w->guard().setControlsEnabled(false);
    QCOMPARE(disabledControls(r.w.get()), order);
    r.w->guard().setControlsEnabled(true);
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

void TestMemoryWindow::selectorsReachTheLink()
{
    Rig r(QStringLiteral("[PROGS]\nNofSettings=3\nSet1=2400,N,8,2\nSet2=9600,N,8,2\nSet3=19200,n,8,2\nSettingsIndex=1\n"));
    QCOMPARE(r.w->dev()->Settings, QStringLiteral("9600,N,8,2"));
    r.w->cmbSpeed->setCurrentIndex(2);
    QCOMPARE(r.w->dev()->Settings, QStringLiteral("19200,N,8,2"));
    r.w->cmbPort->setCurrentIndex(6);
    QCOMPARE(int(r.w->dev()->Number), 7);
    r.w->cmbNetAdrr->setCurrentIndex(200);
    QCOMPARE(int(r.w->dev()->bNetAdrr), 200);
    replyTo(r, {"!E10;"});
    QTest::mouseClick(r.w->cmbReadBuffSettings, Qt::LeftButton);
    QCOMPARE(sent(r).first(), QStringLiteral(":200;30;6;"));
}

// ---- buffer settings ------------------------------------------------------------------

void TestMemoryWindow::readSettings_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("buffer");   // cmbBuffNum2's index
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("group 1, buffer 1") << 1 << 0 << QStringList{":1;30;6;", ":1;30;2;", ":1;30;4;", ":1;30;20;"};
    QTest::newRow("group 1, buffer 2") << 1 << 1 << QStringList{":1;30;7;", ":1;30;3;", ":1;30;5;", ":1;30;21;"};
    QTest::newRow("group 2") << 2 << 0 << QStringList{":1;30;7;", ":1;30;3;", ":1;30;5;", ":1;30;21;"};
}

void TestMemoryWindow::readSettings()
{
    QFETCH(int, group);
    QFETCH(int, buffer);
    QFETCH(QStringList, frames);

    Rig r;
    r.w->cmbBuffNum2->setCurrentIndex(buffer);
    replyTo(r, {"!E10;", "!1000;", "!800;", "!1A2;"});
    QTest::mouseClick(group == 1 ? r.w->cmbReadBuffSettings : r.w->cmbReadBuffSettings2, Qt::LeftButton);
    QCOMPARE(sent(r), frames);
    QComboBox* interval = group == 1 ? r.w->cmbInterval : r.w->cmbInterval2;
    QCOMPARE(interval->currentText(), QStringLiteral("3600"));
    QCOMPARE(interval->currentIndex(), 8);
    QCOMPARE((group == 1 ? r.w->tbBuffBegin : r.w->tbBuffBegin2)->text(), QStringLiteral("4096"));
    QCOMPARE((group == 1 ? r.w->tbBuffLength : r.w->tbBuffLength2)->text(), QStringLiteral("2048"));
    QCOMPARE((group == 1 ? r.w->lBuffPtr : r.w->lBuffPtr2)->text(), QStringLiteral("418"));
    QVERIFY(r.messages.texts().isEmpty());
    // Group 1's captions name the buffer it shows.
    QCOMPARE(r.w->fraSettings->title(), QStringLiteral("Настройки буфера %1").arg(group == 1 ? buffer + 1 : 1));
    QCOMPARE(r.w->fraState->title(), QStringLiteral("Состояние буфера %1").arg(group == 1 ? buffer + 1 : 1));

    // An interval the list has not is shown as typed text.
    replyTo(r, {"!7;", "!0;", "!FFF;", "!1;"});
    QTest::mouseClick(group == 1 ? r.w->cmbReadBuffSettings : r.w->cmbReadBuffSettings2, Qt::LeftButton);
    QCOMPARE(interval->currentText(), QStringLiteral("7"));
    QCOMPARE((group == 1 ? r.w->tbBuffLength : r.w->tbBuffLength2)->text(), QStringLiteral("4095"));
}

void TestMemoryWindow::readSettingsStopsAtTheFirstFailure()
{
    Rig r;
    replyTo(r, {"!3C;", "", "", ""});
    QTest::mouseClick(r.w->cmbReadBuffSettings, Qt::LeftButton);
    // The second register does not answer (three attempts); nothing is read after it.
    QCOMPARE(sent(r), (QStringList{":1;30;6;", ":1;30;2;", ":1;30;2;", ":1;30;2;"}));
    QCOMPARE(r.messages.texts(), QStringList{kNoAnswer});
    QCOMPARE(r.messages.messages().first().title, QStringLiteral("Memory"));
    QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("60"));
    QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("0"));
    QCOMPARE(r.w->tbBuffLength->text(), QStringLiteral("4095"));
    QCOMPARE(r.w->lBuffPtr->text(), QString());
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

void TestMemoryWindow::writeSettingsOrderAndHex_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QString>("begin");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("group 1, buffer 1") << 1 << 0 << "3600" << "4096" << "4095"
                                       << QStringList{":1;31;6;E10;", ":1;31;2;1000;", ":1;31;4;FFF;",
                                                      ":1;29;6;E10;", ":1;29;2;1000;", ":1;29;4;FFF;"};
    QTest::newRow("group 1, buffer 2") << 1 << 1 << "7" << "3" << "5"
                                       << QStringList{":1;31;7;7;", ":1;31;3;3;", ":1;31;5;5;",
                                                      ":1;29;7;7;", ":1;29;3;3;", ":1;29;5;5;"};
    QTest::newRow("group 2") << 2 << 0 << "3600" << "4096" << "4095"
                             << QStringList{":1;31;7;E10;", ":1;31;3;1000;", ":1;31;5;FFF;",
                                            ":1;29;7;E10;", ":1;29;3;1000;", ":1;29;5;FFF;"};
    QTest::newRow("16-bit patterns") << 2 << 0 << "65535" << "-1" << "-32768"
                                     << QStringList{":1;31;7;FFFF;", ":1;31;3;FFFF;", ":1;31;5;8000;",
                                                    ":1;29;7;FFFF;", ":1;29;3;FFFF;", ":1;29;5;8000;"};
    QTest::newRow("zero and blanks around") << 1 << 0 << "0" << " 12 " << "32767"
                                            << QStringList{":1;31;6;0;", ":1;31;2;C;", ":1;31;4;7FFF;",
                                                           ":1;29;6;0;", ":1;29;2;C;", ":1;29;4;7FFF;"};
}

void TestMemoryWindow::writeSettingsOrderAndHex()
{
    QFETCH(int, group);
    QFETCH(int, buffer);
    QFETCH(QString, interval);
    QFETCH(QString, begin);
    QFETCH(QString, length);
    QFETCH(QStringList, frames);

    Rig r;
    r.w->cmbBuffNum2->setCurrentIndex(buffer);
    testsupport::typeInto(group == 1 ? r.w->cmbInterval : r.w->cmbInterval2, interval);
    testsupport::typeInto(group == 1 ? r.w->tbBuffBegin : r.w->tbBuffBegin2, begin);
    testsupport::typeInto(group == 1 ? r.w->tbBuffLength : r.w->tbBuffLength2, length);
    replyTo(r, {"!OK;", "!OK;", "!OK;", "!OK;", "!OK;", "!OK;"});
    QTest::mouseClick(group == 1 ? r.w->cmdWriteBuffSettings : r.w->cmdWriteBuffSettings2, Qt::LeftButton);
    QCOMPARE(sent(r), frames);
    QVERIFY(r.messages.texts().isEmpty());
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

void TestMemoryWindow::writeStopsAtTheFirstFailure()
{
    {
        // The first write refused: nothing else goes out, the boxes stay.
        Rig r;
        replyTo(r, {"!ERR;", "!ERR;", "!ERR;"});
        QTest::mouseClick(r.w->cmdWriteBuffSettings, Qt::LeftButton);
        QVERIFY(!sent(r).isEmpty());
        for (const QString& f : sent(r))
            QCOMPARE(f, QStringLiteral(":1;31;6;1;"));
        QCOMPARE(r.messages.messages().size(), 1);
        QVERIFY(r.messages.texts().first().startsWith(QStringLiteral("Ошибка: ")));
        QCOMPARE(r.w->tbBuffBegin->text(), QStringLiteral("0"));
        QCOMPARE(r.w->cmbInterval->currentText(), QStringLiteral("1"));
        QVERIFY(disabledControls(r.w.get()).isEmpty());
    }
    {
        // A later write unanswered: the writes after it are skipped.
        Rig r;
        replyTo(r, {"!OK;", "!OK;", "!OK;", "", "", ""});
        QTest::mouseClick(r.w->cmdWriteBuffSettings2, Qt::LeftButton);
        QCOMPARE(sent(r), (QStringList{":1;31;7;1;", ":1;31;3;1000;", ":1;31;5;FFF;", ":1;29;7;1;", ":1;29;7;1;",
                                       ":1;29;7;1;"}));
        QCOMPARE(r.messages.texts(), QStringList{kNoAnswer});
    }
}

void TestMemoryWindow::writeRefusesBoxes_data()
{
    QTest::addColumn<int>("box");   // 0 interval, 1 first frame, 2 length
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");

    const QString interval = QStringLiteral("Интервал записи в секундах");
    const QString begin = QStringLiteral("Адрес начала");
    const QString length = QStringLiteral("длина");
    QTest::newRow("interval empty") << 0 << "" << interval;
    QTest::newRow("interval letters") << 0 << "10 с" << interval;
    QTest::newRow("interval fraction") << 0 << "1,5" << interval;
    QTest::newRow("first frame above 16 bits") << 1 << "65536" << begin;
    QTest::newRow("first frame below 16 bits") << 1 << "-32769" << begin;
    QTest::newRow("first frame hex") << 1 << "&H10" << begin;
    QTest::newRow("length exponent too big") << 2 << "1e9" << length;
    QTest::newRow("length empty") << 2 << "" << length;
    // A buffer of no frames would record nothing and lose what it holds.
    QTest::newRow("length 0") << 2 << "0" << length;
}

void TestMemoryWindow::writeRefusesBoxes()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, caption);

    Rig r;
    QLineEdit* edit = box == 0 ? r.w->cmbInterval2->lineEdit() : box == 1 ? r.w->tbBuffBegin2 : r.w->tbBuffLength2;
    edit->clear();
    edit->insert(text);
    QTest::mouseClick(r.w->cmdWriteBuffSettings2, Qt::LeftButton);
    QVERIFY(r.frames().isEmpty());
    QCOMPARE(r.messages.messages().size(), 1);
    const QString m = r.messages.texts().first();
    QVERIFY2(m.startsWith(QStringLiteral("Ошибка: ")), qPrintable(m));
    QVERIFY2(m.contains(QStringLiteral("«%1»").arg(caption)), qPrintable(m));
    QVERIFY2(m.contains(QStringLiteral("«%1»").arg(text)), qPrintable(m));
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

// ---- recording and state ----------------------------------------------------------------

void TestMemoryWindow::stateCodes_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yellow");

    QTest::newRow("0") << "!0;" << "Идет запись" << false;
    QTest::newRow("1") << "!1;" << "Запись остановлена по достижению конца буфера" << true;
    QTest::newRow("2") << "!2;" << "Запись остановлена внешним сигналом" << true;
    QTest::newRow("3") << "!3;" << "Запись остановлена отсуствием внешнего сигнала" << true;
    QTest::newRow("4") << "!4;" << "Запись остановлена командой внешнего компьютера" << true;
    QTest::newRow("5") << "!5;" << "Запись остановлена в ожидании разрешения записи одного кадра" << true;
    QTest::newRow("7") << "!7;" << "Логика работы буфера отключена" << true;
    QTest::newRow("10") << "!A;" << "Логика работы буфера отключена" << true;
}

void TestMemoryWindow::stateCodes()
{
    QFETCH(QString, answer);
    QFETCH(QString, text);
    QFETCH(bool, yellow);

    Rig r;
    const QColor face = r.w->palette().color(QPalette::Button);
    // Group 1 on buffer 2, then group 2: the signal answers 1, 0, then 2.
    r.w->cmbBuffNum2->setCurrentIndex(1);
    replyTo(r, {answer, "!1;"});
    QTest::mouseClick(r.w->cmbReadState, Qt::LeftButton);
    QCOMPARE(sent(r), (QStringList{":1;14;1519;", ":1;14;151D;"}));
    QCOMPARE(r.w->lBuffState->text(), text);
    QCOMPARE(r.w->lBuffState->palette().color(QPalette::Window), yellow ? kYellow : face);
    QVERIFY(r.w->lBuffState->autoFillBackground());
    QCOMPARE(r.w->lOutSignal->text(), QStringLiteral("Внешний сигнал управления присутствует"));

    r.port->written.clear();
    replyTo(r, {answer, "!0;"});
    QTest::mouseClick(r.w->cmbReadState2, Qt::LeftButton);
    QCOMPARE(sent(r), (QStringList{":1;14;1519;", ":1;14;151d;"}));
    QCOMPARE(r.w->lBuffState2->text(), text);
    QCOMPARE(r.w->lOutSignal2->text(), QStringLiteral("Внешний сигнал управления отсутствует"));

    // A signal answer other than 0 and 1 leaves the label, without a word.
    replyTo(r, {"!0;", "!2;"});
    QTest::mouseClick(r.w->cmbReadState2, Qt::LeftButton);
    QCOMPARE(r.w->lBuffState2->text(), QStringLiteral("Идет запись"));
    QCOMPARE(r.w->lBuffState2->palette().color(QPalette::Window), face);
    QCOMPARE(r.w->lOutSignal2->text(), QStringLiteral("Внешний сигнал управления отсутствует"));
    QVERIFY(r.messages.texts().isEmpty());
}

void TestMemoryWindow::stateReadFailureKeepsLabels()
{
    Rig r;
    replyTo(r, {"!3;", "!1;"});
    QTest::mouseClick(r.w->cmbReadState, Qt::LeftButton);
    QCOMPARE(sent(r), (QStringList{":1;14;1518;", ":1;14;151C;"}));
    r.port->written.clear();
    replyTo(r, {"", "", ""});
    QTest::mouseClick(r.w->cmbReadState, Qt::LeftButton);
    // The state does not answer: the signal is not asked.
    QCOMPARE(sent(r), (QStringList{":1;14;1518;", ":1;14;1518;", ":1;14;1518;"}));
    QCOMPARE(r.messages.texts(), QStringList{kNoAnswer});
    QCOMPARE(r.w->lBuffState->text(), QStringLiteral("Запись остановлена отсуствием внешнего сигнала"));
    QCOMPARE(r.w->lOutSignal->text(), QStringLiteral("Внешний сигнал управления присутствует"));

    // The state answers, the signal does not.
    r.messages.clear();
    replyTo(r, {"!0;", "", "", ""});
    QTest::mouseClick(r.w->cmbReadState, Qt::LeftButton);
    QCOMPARE(r.messages.texts(), QStringList{kNoAnswer});
    QCOMPARE(r.w->lBuffState->text(), QStringLiteral("Идет запись"));
    QCOMPARE(r.w->lOutSignal->text(), QStringLiteral("Внешний сигнал управления присутствует"));
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

void TestMemoryWindow::startAndStopRecording_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QString>("frame");

    QTest::newRow("start, group 1, buffer 1") << "cmbStartWriting" << 0 << ":1;13;1518;0;";
    QTest::newRow("stop, group 1, buffer 1") << "cmdStopWriting" << 0 << ":1;13;1518;4;";
    QTest::newRow("start, group 1, buffer 2") << "cmbStartWriting" << 1 << ":1;13;1519;0;";
    QTest::newRow("stop, group 1, buffer 2") << "cmdStopWriting" << 1 << ":1;13;1519;4;";
    QTest::newRow("start, group 2") << "cmbStartWriting2" << 0 << ":1;13;1519;0;";
    QTest::newRow("stop, group 2") << "cmdStopWriting2" << 0 << ":1;13;1519;4;";
}

void TestMemoryWindow::startAndStopRecording()
{
    QFETCH(QString, buttonName);
    QFETCH(int, buffer);
    QFETCH(QString, frame);

    Rig r;
    r.w->cmbBuffNum2->setCurrentIndex(buffer);
    replyTo(r, {"!OK;"});
    QTest::mouseClick(button(r.w.get(), buttonName), Qt::LeftButton);
    QCOMPARE(sent(r), QStringList{frame});
    QVERIFY(r.messages.texts().isEmpty());

    // Refused by the instrument: one message, controls back.
    replyTo(r, {"!ERR;", "!ERR;", "!ERR;"});
    QTest::mouseClick(button(r.w.get(), buttonName), Qt::LeftButton);
    QCOMPARE(r.messages.messages().size(), 1);
    QVERIFY(r.messages.texts().first().startsWith(QStringLiteral("Ошибка: ")));
    QVERIFY(r.messages.texts().first() != QStringLiteral("Ошибка: OK"));
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

// ---- clock ---------------------------------------------------------------------------------

void TestMemoryWindow::clockRead_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("battery");

    QTest::newRow("battery good") << "!12;30;05;07;12;26;57;1;" << "12;30;05;07;12;26;57;" << "Батарея исправна";
    QTest::newRow("battery faulty") << "!23;59;59;31;12;26;53;0;" << "23;59;59;31;12;26;53;" << "Батарея неисправна";
    QTest::newRow("long battery field") << "!08;00;00;01;01;27;57;255;" << "08;00;00;01;01;27;57;" << "Батарея исправна";
    QTest::newRow("long time fields") << "!120000;300000;050000;07;12;26;57;1;" << "120000;300000;050000;07;12;26;57;"
                                      << "Батарея исправна";
}

void TestMemoryWindow::clockRead()
{
    QFETCH(QString, answer);
    QFETCH(QString, time);
    QFETCH(QString, battery);

    Rig r;
    replyTo(r, {answer});
    QTest::mouseClick(r.w->cmdClockRead, Qt::LeftButton);
    QCOMPARE(sent(r), QStringList{":1;34;"});
    QCOMPARE(r.w->tbDevTyme->text(), time);
    QCOMPARE(r.w->tbDevTyme->cursorPosition(), 0);   // shown from its start
    QCOMPARE(r.w->lBat->text(), battery);
    QVERIFY(r.messages.texts().isEmpty());

    // A clock answer of the wrong form: the shown time and battery stay.
    replyTo(r, {"!12;30;", "!12;30;", "!12;30;"});
    QTest::mouseClick(r.w->cmdClockRead, Qt::LeftButton);
    QCOMPARE(r.messages.messages().size(), 1);
    QVERIFY(r.messages.texts().first().startsWith(QStringLiteral("Ошибка: ")));
    QVERIFY(r.messages.texts().first().size() > 8);
    QCOMPARE(r.w->tbDevTyme->text(), time);
    QCOMPARE(r.w->lBat->text(), battery);
}

void TestMemoryWindow::clockWrite_data()
{
    QTest::addColumn<QByteArray>("tmpTxt");   // empty: no file
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("frame");

    const QString withDst = QStringLiteral(":1;33;09;05;03;07;12;26;57;57;");
    const QString withoutDst = QStringLiteral(":1;33;09;05;03;07;12;26;53;57;");
    QTest::newRow("no tmp.txt") << QByteArray() << "ru_RU" << withDst;
    QTest::newRow("DayLight 1") << QByteArray("[CurTime]\r\nDayLight=1\r\n") << "ru_RU" << withDst;
    QTest::newRow("DayLight 0") << QByteArray("[CurTime]\r\nDayLight=0\r\n") << "ru_RU" << withoutDst;
    QTest::newRow("DayLight 2") << QByteArray("[CurTime]\r\nDayLight=2\r\n") << "ru_RU" << withoutDst;
    QTest::newRow("DayLight not a number") << QByteArray("[CurTime]\r\nDayLight=да\r\n") << "ru_RU" << withDst;
    QTest::newRow("other section") << QByteArray("[Time]\r\nDayLight=0\r\n") << "ru_RU" << withDst;
    QTest::newRow("locale with . between hours and minutes") << QByteArray() << "fi_FI" << withDst;
    QTest::newRow("locale with 12-hour clock") << QByteArray() << "en_US" << withDst;
}

void TestMemoryWindow::clockWrite()
{
    QFETCH(QByteArray, tmpTxt);
    QFETCH(QString, locale);
    QFETCH(QString, frame);

    QLocale::setDefault(QLocale(locale));
    const QDateTime t(QDate(2026, 12, 7), QTime(9, 5, 3));
    auto r = rigAt(t);
    if (!tmpTxt.isEmpty())
        r->folder.writeFile(QStringLiteral("tmp.txt"), tmpTxt);
    replyTo(*r, {"!OK;"});
    QTest::mouseClick(r->w->cmdClockWrite, Qt::LeftButton);
    QCOMPARE(sent(*r), QStringList{frame});
    QCOMPARE(r->w->tbSystemTyme->text() + QStringLiteral(";57;"), frame.mid(6));
    QCOMPARE(r->w->tbFileName->text(), QStringLiteral("F090503071226.dtl"));
    QVERIFY(r->messages.texts().isEmpty());
}

void TestMemoryWindow::clockWriteTakesOneSnapshot()
{
    // The PC clock passes midnight between two readings of it: whatever is
    // sent is one moment, never the time of one day with the date of the next.
    auto r = std::make_unique<Rig>(QString(), false);
    int calls = 0;
    r->w->setClock([&calls] {
        ++calls;
        return calls % 2 ? QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999))
                         : QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 1));
    });
    r->start();
    for (int k = 0; k < 2; ++k) {
        r->port->written.clear();
        replyTo(*r, {"!OK;"});
        QTest::mouseClick(r->w->cmdClockWrite, Qt::LeftButton);
        const QString f = sent(*r).value(0);
        QVERIFY2(f == QStringLiteral(":1;33;23;59;59;31;12;26;57;57;") || f == QStringLiteral(":1;33;00;00;00;01;01;27;57;57;"),
                 qPrintable(f));
        QCOMPARE(r->w->tbSystemTyme->text() + QStringLiteral(";57;"), f.mid(6));
    }
}

void TestMemoryWindow::pcClockShownAtStartAndReadOnly()
{
    const QDateTime t(QDate(2026, 12, 7), QTime(12, 30, 5));
    auto r = rigAt(t);
    // Filled by the start-up itself, before any tick of the timer.
    QCOMPARE(r->w->tbSystemTyme->text(), QStringLiteral("12;30;05;07;12;26;57"));
    QCOMPARE(r->w->tbFileName->text(), QStringLiteral("F123005071226.dtl"));
    QVERIFY(r->w->tmClock->isActive());
    QCOMPARE(r->w->tmClock->interval(), 500);
    QVERIFY(r->w->tbSystemTyme->isReadOnly());
    QVERIFY(r->w->tbDevTyme->isReadOnly());

    // The timer follows the PC clock and the daylight flag.
    r->folder.writeFile(QStringLiteral("tmp.txt"), "[CurTime]\r\nDayLight=0\r\n");
    r->w->setClock([] { return QDateTime(QDate(2027, 2, 1), QTime(0, 0, 9)); });
    QTRY_COMPARE(r->w->tbSystemTyme->text(), QStringLiteral("00;00;09;01;02;27;53"));
    QCOMPARE(r->w->tbFileName->text(), QStringLiteral("F000009010227.dtl"));
    QVERIFY(r->frames().isEmpty());
}

// ---- failures and closing -------------------------------------------------------------

void TestMemoryWindow::linkFailureOnEveryButton_data()
{
    QTest::addColumn<QString>("buttonName");
    for (const char* b : {"cmbReadBuffSettings", "cmdWriteBuffSettings", "cmbReadBuffSettings2", "cmdWriteBuffSettings2",
                          "cmbStartWriting", "cmdStopWriting", "cmbReadState", "cmbStartWriting2", "cmdStopWriting2",
                          "cmbReadState2", "cmdClockRead", "cmdClockWrite"})
        QTest::newRow(b) << QString::fromLatin1(b);
}

void TestMemoryWindow::linkFailureOnEveryButton()
{
    QFETCH(QString, buttonName);

    Rig r;
    const QStringList all = allControlNames(r.w.get());
    QStringList disabledWhileSending;
    r.port->onWrite = [&](const QByteArray&) {
        if (disabledWhileSending.isEmpty())
            disabledWhileSending = disabledControls(r.w.get());
    };
    QTest::mouseClick(button(r.w.get(), buttonName), Qt::LeftButton);
    QVERIFY(!r.frames().isEmpty());
    QCOMPARE(disabledWhileSending, all);
    QCOMPARE(r.messages.texts(), QStringList{kNoAnswer});
    QCOMPARE(r.messages.messages().first().title, QStringLiteral("Memory"));
    QCOMPARE(r.messages.messages().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(r.messages.messages().first().icon, QMessageBox::NoIcon);
    QVERIFY(disabledControls(r.w.get()).isEmpty());
}

void TestMemoryWindow::closeDuringAnExchangeSendsNothingMore()
{
    Rig r;
    // The answer's line end comes late, so the link waits for it.
    r.port->reply({{0, "!1;", false}, {100, "\r\n", false}});
    replyTo(r, {"!2;", "!3;", "!4;"});
    // The close lands while the link waits for the first answer (it lets
    // events run); it is carried out when that exchange has returned.
    r.port->onWrite = [&](const QByteArray&) { QTimer::singleShot(0, r.w.get(), [&] { r.w->close(); }); };
    QTest::mouseClick(r.w->cmbReadBuffSettings, Qt::LeftButton);
    QTRY_VERIFY(!r.w->isVisible());
    QCOMPARE(sent(r), QStringList{":1;30;6;"});
    QVERIFY(r.messages.texts().isEmpty());
}

void TestMemoryWindow::exitClosesAndStopsTheTimer()
{
    Rig r;
    QTest::mouseClick(r.w->cmbExit, Qt::LeftButton);
    QVERIFY(!r.w->isVisible());
    QVERIFY(!r.w->tmClock->isActive());
    QVERIFY(r.frames().isEmpty());
}

// ---- the helper program ------------------------------------------------------------------

void TestMemoryWindow::helperProgramStartedOnceWhenPresent()
{
    Rig r(QString(), false);
    const QString marker = r.folder.file(QStringLiteral("marker.txt"));
    r.folder.writeFile(QStringLiteral("33.exe"),
                       QStringLiteral("#!/bin/sh\necho \"started $#\" >> '%1'\n").arg(marker).toLocal8Bit());
    QFile::setPermissions(r.folder.file(QStringLiteral("33.exe")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(r.start());
    QVERIFY(r.w->helperStarted());
    QTRY_VERIFY(QFile::exists(marker));
    QFile f(marker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("started 0\n"));
    QVERIFY(r.messages.texts().isEmpty());
}

void TestMemoryWindow::helperProgramMissingOrNotRunnable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("not executable") << "plain";
    QTest::newRow("a folder of that name") << "folder";
    QTest::newRow("only on PATH") << "path";
}

void TestMemoryWindow::helperProgramMissingOrNotRunnable()
{
    QFETCH(QString, kind);

    Rig r(QString(), false);
    QTemporaryDir elsewhere;
    const QString marker = elsewhere.filePath(QStringLiteral("marker.txt"));
    const QByteArray script = QStringLiteral("#!/bin/sh\necho started >> '%1'\n").arg(marker).toLocal8Bit();
    const QByteArray oldPath = qgetenv("PATH");
    if (kind == QLatin1String("plain"))
        r.folder.writeFile(QStringLiteral("33.exe"), script);
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(r.folder.path()).mkdir(QStringLiteral("33.exe")));
    if (kind == QLatin1String("path")) {
        QFile f(elsewhere.filePath(QStringLiteral("33.exe")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(script);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", elsewhere.path().toLocal8Bit() + ':' + oldPath);
    }
    const bool started = r.start();
    qputenv("PATH", oldPath);
    QVERIFY(started);
    QVERIFY(!r.w->helperStarted());
    QVERIFY(!QFile::exists(marker));
    QVERIFY(r.messages.texts().isEmpty());
}

QTEST_MAIN(TestMemoryWindow)
#include "tst_memory_window.moc"
