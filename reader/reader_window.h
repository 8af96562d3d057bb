#pragma once
// Main_Reader: the readings monitor. It polls the instrument with the readings
// command once a second and paints the channels, relays, discrete inputs and
// buffer control inputs into its grids.
//
// The reading loop is driven by the event loop: one cycle (CRead) makes one
// exchange, shows its result and arms a single-shot pause timer that starts
// the next cycle. While the link waits for an answer it processes window
// events, so a click on "Остановить чтение" or a close of the window can
// arrive in the middle of an exchange; both are honoured once the exchange
// has returned, and no further exchange is made.

#include "programwindow.h"

#include <QTimer>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace reader {

struct Readings;

class Main_Reader : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit Main_Reader(QWidget* parent = nullptr);
    ~Main_Reader() override;

    // Start-up: caption, link, selectors, grid headers. False when the link
    // cannot start (the reason has been shown in a message box).
    bool Form_Load();

    // The pauses between cycles, after a good and after a failed exchange.
    void setPauses(int afterSuccessMs, int afterFailureMs);
    // True while a cycle waits inside the link for its answer.
    bool isExchanging() const { return isBusy(); }
    // The length of the pause now running before the next cycle, or -1 when
    // no next cycle is scheduled.
    int pendingPauseMs() const { return m_pause.isActive() ? m_pause.interval() : -1; }

    // ---- controls ---------------------------------------------------------------
    QLabel* Label31 = nullptr;
    QComboBox* cmbPort = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbSpeed = nullptr;
    QLabel* lNetAdrr = nullptr;
    QComboBox* cbNetAdrr = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Read = nullptr;
    QTableWidget* fgCommonContacts = nullptr;
    QLabel* lError = nullptr;
    QTableWidget* fgContactsState = nullptr;
    QTableWidget* fgDiscr = nullptr;
    QLabel* Label30 = nullptr;
    QLabel* Label29 = nullptr;
    QLabel* lBuf1State = nullptr;
    QLabel* Label28 = nullptr;
    QLabel* lBuf2State = nullptr;
    QTableWidget* Greed = nullptr;
    QList<QLabel*> legendLabels;   // Label4 .. Label27
    QList<QFrame*> legendLines;    // Line1 .. Line24
    QPushButton* Send = nullptr;
    QLineEdit* Command = nullptr;
    QLineEdit* Reply = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

signals:
    // Emitted at the end of every reading cycle; ok = the exchange succeeded.
    void cycleFinished(bool ok);

protected:
    void windowClosing() override;

private:
    void createControls();
    void connectHandlers();
    void writeGridHeaders();

    // ---- handlers ---------------------------------------------------------------
    void cmbPort_Click(int index);
    void cmbSpeed_Click(int index);
    void cbNetAdrr_Change(const QString& text);
    void cbNetAdrr_LostFocus();
    void Read_Click();
    void Command1_Click();
    void Send_Click();

    // ---- reading ----------------------------------------------------------------
    void startReading();
    void stopReading();
    void setSelectorsEnabled(bool enabled);
    // One cycle of the reading loop.
    void CRead();
    void showReadings(const Readings& r);

    QTimer m_pause;
    int m_pauseAfterSuccessMs = 1000;
    int m_pauseAfterFailureMs = 2000;
    bool m_stop = true;            // the stop flag: true asks the loop to end
};

} // namespace reader
