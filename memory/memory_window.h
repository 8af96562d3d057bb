#pragma once
// frmMain: the memory tool. It sets up the instrument's two recording
// buffers, starts and stops recording, shows each buffer's state and its
// external control signal, reads and sets the instrument's clock, and reads
// recorded frames into a data file on the PC.
//
// Every button that talks to the instrument runs its exchanges inside its
// click handler in one operation of the kit, with the window's user controls
// (not the window) disabled; they are enabled again before any message and
// when it ends. A close of the window that arrives while the link waits is
// carried out once the exchange has returned.

#include "framereader.h"
#include "link.h"
#include "programwindow.h"

#include <QDateTime>
#include <optional>
#include <QTimer>
#include <array>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace ui {
class Operation;
}

namespace memory {

// The program's name: the title of its message boxes.
extern const QString kProgram;

// How "Открыть файл" opens a data file: viewer is the frame viewer's path,
// or empty for the desktop's own program for the file. True when it started.
// Tests give their own; setOpenFileHook returns the one it replaces.
using OpenFileHook = std::function<bool(const QString& viewer, const QString& file)>;
OpenFileHook setOpenFileHook(OpenFileHook hook);

class frmMain : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: caption, the helper program, the link, presets, lists and
    // boxes. False when the link cannot start (the reason has been shown).
    bool Form_Load();

    // True when the start-up started the helper program.
    bool helperStarted() const { return m_helperStarted; }

    // The PC clock the clock boxes and the file name come from (tests give
    // their own).
    void setClock(std::function<QDateTime()> now);

    // The controls an operation disables and enables, in one fixed order.
    QList<QWidget*> userControls() const;

    // ---- controls above the tabs ------------------------------------------------
    QLabel* lPort = nullptr;
    QComboBox* cmbPort = nullptr;
    QLabel* lSpeed = nullptr;
    QComboBox* cmbSpeed = nullptr;
    QLabel* lNetAdrr = nullptr;
    QComboBox* cmbNetAdrr = nullptr;
    QPushButton* cmbExit = nullptr;
    QTabWidget* SSTab1 = nullptr;
    QTimer* tmClock = nullptr;

    // ---- tab "Чтение буферов" -----------------------------------------------------
    QWidget* tabReading = nullptr;
    QLabel* lBuffNum = nullptr;
    QComboBox* cmbBuffNum = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QLabel* lFileName = nullptr;
    QLineEdit* tbFileName = nullptr;
    QPushButton* Command7 = nullptr;
    QProgressBar* pbReading = nullptr;
    QPushButton* cmdStopReadingFrames = nullptr;
    // Under the stop button: where a run is, then how it ended.
    QLabel* lReadingStatus = nullptr;
    // Next to Command7: opens the last run's file.
    QPushButton* cmdOpenFile = nullptr;
    // The file the last run wrote to (its whole path); empty before any run.
    QString lastRunFile() const { return m_runFile; }

    // Folder into which frame data files are written; the folder chooser
    // reads and sets it too.
    QString sSaveDir;

    // ---- tab "Настройка буферов и коректировка часов" -----------------------------
    QWidget* tabSettings = nullptr;
    QLabel* lBuffNum2 = nullptr;
    QComboBox* cmbBuffNum2 = nullptr;

    QGroupBox* fraSettings = nullptr;
    QLabel* lInterval = nullptr;
    QComboBox* cmbInterval = nullptr;
    QLabel* lBuffBegin = nullptr;
    QLineEdit* tbBuffBegin = nullptr;
    QLabel* lBuffLength = nullptr;
    QLineEdit* tbBuffLength = nullptr;
    QLabel* lBuffPtrCaption = nullptr;
    QLabel* lBuffPtr = nullptr;
    QPushButton* cmbReadBuffSettings = nullptr;
    QPushButton* cmdWriteBuffSettings = nullptr;

    QGroupBox* fraSettings2 = nullptr;
    QLabel* lInterval2 = nullptr;
    QComboBox* cmbInterval2 = nullptr;
    QLabel* lBuffBegin2 = nullptr;
    QLineEdit* tbBuffBegin2 = nullptr;
    QLabel* lBuffLength2 = nullptr;
    QLineEdit* tbBuffLength2 = nullptr;
    QLabel* lBuffPtrCaption2 = nullptr;
    QLabel* lBuffPtr2 = nullptr;
    QPushButton* cmbReadBuffSettings2 = nullptr;
    QPushButton* cmdWriteBuffSettings2 = nullptr;

    QGroupBox* fraState = nullptr;
    QLabel* lBuffState = nullptr;
    QLabel* lOutSignal = nullptr;
    QPushButton* cmbStartWriting = nullptr;
    QPushButton* cmdStopWriting = nullptr;
    QPushButton* cmbReadState = nullptr;

    QGroupBox* fraState2 = nullptr;
    QLabel* lBuffState2 = nullptr;
    QLabel* lOutSignal2 = nullptr;
    QPushButton* cmbStartWriting2 = nullptr;
    QPushButton* cmdStopWriting2 = nullptr;
    QPushButton* cmbReadState2 = nullptr;

    QGroupBox* fraClock = nullptr;
    QLabel* lSystemTyme = nullptr;
    QLineEdit* tbSystemTyme = nullptr;
    QLabel* lDevTyme = nullptr;
    QLineEdit* tbDevTyme = nullptr;
    QPushButton* cmdClockRead = nullptr;
    QPushButton* cmdClockWrite = nullptr;
    QLabel* lBat = nullptr;

    // The interval list of both settings groups.
    static const QStringList& intervals();
    // The label background of a recording state: button face for "0", yellow
    // for every other code.
    static QColor stateColour(const QString& code);
    static QString stateText(const QString& code);

protected:
    // The clock stops when the window goes.
    void windowClosing() override;

private:
    void createControls();
    void createReadingTab();
    void createSettingsTab();
    void createSettingsGroup(int group);
    void createStateGroup(int group);
    void createClockGroup();
    void connectHandlers();
    void connectReadingTab();

    // Start-up steps that need more than a line.
    void startHelperProgram();
    void readPresets(QStringList* problems);

    // ---- handlers ---------------------------------------------------------------
    void cmbExit_Click();
    void cmbBuffNum2_Click();
    void tmClock_Timer();

    void cmbReadBuffSettings_Click();
    void cmdWriteBuffSettings_Click();
    void cmbReadBuffSettings2_Click();
    void cmdWriteBuffSettings2_Click();
    void cmbStartWriting_Click();
    void cmdStopWriting_Click();
    void cmbReadState_Click();
    void cmbStartWriting2_Click();
    void cmdStopWriting2_Click();
    void cmbReadState2_Click();
    void cmdClockRead_Click();
    void cmdClockWrite_Click();

    // ---- reading tab handlers (frame reading) -------------------------------------
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void cmdStopReadingFrames_Click();
    void Command7_Click();
    void cmdOpenFile_Click();

    // ---- buffer settings, recording and state -------------------------------------
    // The buffer a settings or state group acts on: 0 or 1.
    int groupBuffer(int group) const;
    // The map's parameter key ("first", "state", ...) of that buffer.
    const instrument::map::Param& bufferParam(int buffer, const char* key) const;
    // The read call of p as the group sends it: the second groups name
    // their signal register in the literal form "151d".
    instrument::map::Call groupReadCall(int group, const instrument::map::Param& p) const;
    // Reads p for group; its answer when it is a number.
    std::optional<QString> readGroupParam(ui::Operation& op, int group, const instrument::map::Param& p);
    void readBuffSettings(int group);
    void writeBuffSettings(int group);
    void writeRecording(int group, const QString& value);
    void readState(int group);
    // The captions of group 1's settings and state say which buffer they show.
    void showGroupCaptions();

    // The PC-clock text "hh;mm;ss;dd;mm;yy;C" of the moment t.
    QString systemClockText(const QDateTime& t);
    bool dayLight();

    std::function<QDateTime()> m_now;
    bool m_helperStarted = false;

    // Presets of "dev.dat" per buffer: start frame, length, interval index.
    std::array<qint16, 2> m_presetStart{{0, 0}};
    std::array<qint16, 2> m_presetLength{{0, 0}};
    std::array<qint16, 2> m_presetInterval{{0, 0}};

    // ---- reading tab state ----------------------------------------------------------
    // One download of frames into a data file (Command1 to Command5).
    void readFrames(qint64 count, int step, bool wholeBuffer);
    // The line under the progress bar while a run goes on, and the share
    // done in the caption.
    void showRunProgress();
    void showRunEnd(const FrameReader::Result& result);
    void setReadingStatus(const QString& text);
    // The file of the run, fixed when it starts.
    QString m_runFile;
    QString m_title;
    // When the first frame command went out, for the pace.
    QDateTime m_framesStarted;
    bool m_framesTimed = false;
    // The daylight-saving flag and what "tmp.txt" was when it was read.
    struct DayLightFile {
        bool read = false;
        bool exists = false;
        QDateTime modified;
        qint64 size = -1;
        bool value = true;
    } m_dayLight;
    // The download; it holds the stop flag (set by cmdStopReadingFrames,
    // cleared when a run starts).
    FrameReader m_reader{this};
};

} // namespace memory
