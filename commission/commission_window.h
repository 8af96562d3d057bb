#pragma once
// The set-up window: the PC side of the link (port, speed, network address),
// the link test, the instrument's own port speed, network number and number
// of channels, the restart that makes the instrument take them, the search
// for an instrument that does not answer at the settings shown, and the
// suite's port settings saved in "dev.dat" when the window closes.

#include "programwindow.h"
#include "scan.h"
#include "settingskeys.h"

#include <QPointer>
#include <QStringList>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {
class PortsDialog;
class StatusBar;
}

namespace commission {

class Main : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit Main(QWidget* parent = nullptr);
    ~Main() override;

    // "3.0.20": shown in the caption.
    static QString version();
    // The nine port settings texts, "300,N,8,2" to "57600,N,8,2".
    static const QStringList& portSettings();
    // The instrument's speed code of each port settings item ("3" to "57").
    static const QStringList& speedCodes();

    // Start-up. False when the link cannot start (the user has been told).
    bool Form_Load();

    // ---- handlers -------------------------------------------------------------
    void cmdExit_Click();
    void ComNum_Click();
    void RealSettings_Click();
    void RealNetAdrr_Click();
    void cmdTest_Click();
    // Opens the window that gives a serial adapter to a port number.
    void cmdPorts_Click();
    void SRead_Click();
    void SWrite_Click();
    void NRead_Click();
    void NWrite_Click();
    void CRead_Click();
    void CWrite_Click();
    void Reload_Click();
    // Looks for the instrument over every speed and network number (the
    // speed and number shown first, then the number "dev.dat" keeps), and
    // selects in RealSettings and RealNetAdrr those it answers at.
    // cmdStop ends the search after the try in progress.
    void cmdFind_Click();

    // The tries of the next search in place of the whole one (a shorter
    // search for tests); an empty list brings the whole one back.
    void setFindTries(const QList<scan::Try>& tries) { m_findTries = tries; }

    // ---- controls, top to bottom ------------------------------------------------
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* cmdExit = nullptr;
    QComboBox* ComNum = nullptr;
    QComboBox* RealSettings = nullptr;
    QPushButton* Reload = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* RealNetAdrr = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* cmdPorts = nullptr;   // "Порты…", 2760, 1050, 1275, 345
    QFrame* Line1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComSettings = nullptr;
    QPushButton* SRead = nullptr;
    QPushButton* SWrite = nullptr;
    QFrame* Line2 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* NetAdrr = nullptr;
    QPushButton* NRead = nullptr;
    QPushButton* NWrite = nullptr;
    QFrame* Line3 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* AmOfCh = nullptr;
    QPushButton* CRead = nullptr;
    QPushButton* CWrite = nullptr;
    QFrame* Line4 = nullptr;           // at top 4350, left 90 to 4050
    QPushButton* cmdFind = nullptr;    // "Найти прибор", 120, 4470, 1575, 375
    QProgressBar* pbFind = nullptr;    // the tries made of all, 1800, 4530, 1065, 255
    QPushButton* cmdStop = nullptr;    // "Стоп", 2940, 4470, 1065, 375: enabled only while the search runs
    ui::StatusBar* StatusBar = nullptr; // the step, and the search's tries and time left

protected:
    // Saves the link settings in "dev.dat"; runs once, when the window
    // closes by any means (after an exchange under way has returned).
    void windowClosing() override;

private:
    void createControls();
    void connectHandlers();

    // The instrument's parameters of the map: "speed", "netnum", "channels".
    const instrument::map::Param& param(const QString& name) const;
    // Before every exchange: the port settings shown go to the link.
    void settingsToLink();
    // Writes the wire value of p with the map's verified pair; the window
    // stays disabled until the pair is done or its error message has been
    // closed.
    void writePair(const instrument::map::Param& p, const QString& wire);
    // The read of p; an answer that is no number is shown in box's edit
    // field and gives nothing. A base address of "dev.dat" that is not one
    // (reported at start) is refused with a message.
    std::optional<QString> readNumber(const instrument::map::Param& p, QComboBox* box);
    // The answer of an integer read as a whole number from lo to hi, when it is one.
    bool wholeNumber(const QString& answer, qint64 lo, qint64 hi, qint64* value);

    // The whole search: every speed of the list and every number.
    QList<scan::Try> wholeSearch();
    // What a search that found nothing tried, in words.
    static QString triedText(const QList<scan::Try>& tries);

    bool m_loaded = false;
    QList<scan::Try> m_findTries;
    QPointer<ui::PortsDialog> m_ports;
};

} // namespace commission
