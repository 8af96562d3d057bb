#pragma once
// The sensor input window: one channel of an input module at a time, its
// sensor type, range, flags byte, connection method, offset and line
// resistance read and written in the module's four flash copies; the
// channel's measured value; the restart of the module's converter.

#include "parameters.h"
#include "programwindow.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class StatusBar;
}
namespace instrument::map {
struct Param;
}

namespace inputs {

class frmMain : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // "3.0.13": shown in the caption.
    static QString version();
    // The program's name, the title of its message boxes.
    static QString program();

    // Start-up. False when the link cannot start (the user has been told).
    bool Form_Load();

    // ---- handlers -------------------------------------------------------------
    void Modul_Click();
    void Sensors_Click();
    void cbNetAdrr_LostFocus();
    void cmbExit_Click();
    void Read_Click();
    void Write_Click();
    void VRead_Click();
    void cmbReload_Click();

    // ---- controls ---------------------------------------------------------------
    QLabel* Label1 = nullptr;
    QComboBox* Modul = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ChNum = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbNetAdrr = nullptr;
    QPushButton* cmbExit = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* DiapMax = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* DiapMin = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Flags = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* SensorsId = nullptr;
    QComboBox* Sensors = nullptr;
    QLabel* Label12 = nullptr;
    QComboBox* Wired = nullptr;
    QLabel* Label13 = nullptr;
    QLineEdit* Bias = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* tbRl = nullptr;
    QPushButton* cmbReload = nullptr;
    QPushButton* Read = nullptr;
    QPushButton* Write = nullptr;
    QFrame* Line2 = nullptr;
    QLabel* lok = nullptr;
    QLineEdit* Value = nullptr;
    QPushButton* VRead = nullptr;
    ui::StatusBar* StatusBar = nullptr;

private:
    void createControls();
    void connectHandlers();

    // The map's parameter of the selected channel (its key as paramInfo gives it).
    const instrument::map::Param& param(const QString& key) const;
    // The refusals of the channel parameters whose keys of "dev.dat" are not
    // addresses, one text; empty when all are.
    QString addressRefusals() const;

    // The module and network address shown go to the link.
    void takeSelection();
    // The box of a parameter, for reading into and emptying.
    void setShown(Param p, const QString& text);
};

} // namespace inputs
