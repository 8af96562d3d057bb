#pragma once
// frmContacts: the relay logic window. A grid of marks ties each of the 13
// relays to channel events (first setpoint, second setpoint, sensor break of
// channels 1 to 90); the engineer toggles marks with the mouse, reads and
// writes the relay records of the selected relays or of all of them, reads
// and writes the three relay flags, and restarts the instrument's relay logic.

#include "programwindow.h"
#include "relayrecord.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {
class Operation;
}
namespace instrument::map {
struct Param;
}

namespace contacts {

class MarkGrid;

class frmContacts : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit frmContacts(QWidget* parent = nullptr);
    ~frmContacts() override;

    // Start-up: caption, link, grid headings, network address. False when the
    // link cannot start (the reason has been shown).
    bool Form_Load();

    static QString version();
    static QString programName();

    // ---- grid packing ---------------------------------------------------------
    // The six cells from column col onwards in row as the field's hexadecimal text.
    QString Calc6(qint16& col, qint16& row) const;
    // Writes value's six bits into the six cells from column col onwards in row.
    void PasteN(qint16 col, qint16 row, qint16 value);

    // ---- relay transfers (relay indexes, both inclusive) ------------------------
    void ReadFromDev(qint16& first, qint16& last);
    void WriteToDev(qint16& first, qint16& last);

    // True once the grid has been read from the instrument or edited.
    bool gridTouched() const { return m_gridTouched; }

    // ---- controls -------------------------------------------------------------
    QPushButton* cmbWrite = nullptr;
    QPushButton* cmbRead = nullptr;
    QCheckBox* cbTH = nullptr;
    QCheckBox* cbAI = nullptr;
    QCheckBox* cbDevLogic = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbNetAdrr = nullptr;
    QPushButton* cmbExit = nullptr;
    QPushButton* cmdReload = nullptr;
    QProgressBar* pbProgress = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    MarkGrid* fgTab = nullptr;
    QList<QFrame*> lines;   // Line1 .. Line7

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void writeHeadings();

    // ---- handlers -------------------------------------------------------------
    void Form_Resize();
    void fgTab_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, bool plainClick);
    void cbTH_Click();
    void cbAI_Click();
    void cbDevLogic_Click();
    void cbNetAdrr_LostFocus();
    void cmbExit_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void read_Click();
    void write_Click();
    void readAll_Click();
    void writeAll_Click();
    void cmbRead_Click();
    void cmbWrite_Click();
    void cmdReload_Click();

    // The marks of relay i's three event rows, as the grid shows them.
    RelayMarks relayMarks(int relay) const;
    void raiseProgress();
    // Sends the restart of the relay logic in op; an answer other than "OK"
    // fails op with a message that begins with after. False when it failed
    // or the window was closed before it could be sent.
    bool restart(ui::Operation& op, const QString& after);
    // The write calls of p with wire but the restart; each answered "OK".
    bool writeWithoutRestart(ui::Operation& op, const instrument::map::Param& p, const QString& wire);
    // The map's relay of index i (0 .. 12).
    const instrument::map::Param* relay(int i) const;

    bool m_gridTouched = false;
};

} // namespace contacts
