#pragma once
// frmMain: the setpoints of one channel. For the channel chosen by module
// and channel number the engineer reads and writes its two setpoints (type,
// value, hysteresis), the number of averagings, the digits after the
// decimal point, the identical-observation count and the channel-excluded
// flag. Every write goes twice, to the instrument's flash and to its working
// copy, each verified by reading it back.

#include "operation.h"
#include "programwindow.h"

#include <functional>
#include <optional>

class QCheckBox;
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

namespace limits {

class frmMain : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // "3.0.15", shown in the caption.
    static QString version();

    // Start-up. False when the link cannot start (the user has been told).
    bool Form_Load();

    // ---- handlers -----------------------------------------------------------------
    void cmdExit_Click();
    void ModulNum_Click();
    void cbNetAdrr_LostFocus();
    void Read1_Click();
    void Read2_Click();
    void Write1_Click();
    void Write2_Click();
    void ReadUsr_Click();
    void WriteUsr_Click();
    void cmbDigRead_Click();
    void cmbDigWrite_Click();
    void cmbActTHRead_Click();
    void cmbActTHWrite_Click();
    void cmbDisRead_Click();
    void cmbDisWrite_Click();

    // ---- controls, top to bottom --------------------------------------------------
    QLabel* Label11 = nullptr;
    QComboBox* cbNetAdrr = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ModulNum = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ChNum = nullptr;
    QFrame* Line2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* Type1 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Value1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Gis1 = nullptr;
    QPushButton* Read1 = nullptr;
    QPushButton* Write1 = nullptr;
    QFrame* Line3 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* Type2 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Value2 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Gis2 = nullptr;
    QPushButton* Read2 = nullptr;
    QPushButton* Write2 = nullptr;
    QFrame* Line6 = nullptr;
    QLabel* Label20 = nullptr;
    QLineEdit* Usred = nullptr;
    QPushButton* ReadUsr = nullptr;
    QPushButton* WriteUsr = nullptr;
    QLabel* Label12 = nullptr;
    QComboBox* cbDig = nullptr;
    QPushButton* cmbDigRead = nullptr;
    QPushButton* cmbDigWrite = nullptr;
    QLabel* Label13 = nullptr;
    QComboBox* cbActTH = nullptr;
    QPushButton* cmbActTHRead = nullptr;
    QPushButton* cmbActTHWrite = nullptr;
    QCheckBox* chDis = nullptr;
    QPushButton* cmbDisRead = nullptr;
    QPushButton* cmbDisWrite = nullptr;
    ui::StatusBar* StatusBar = nullptr;

private:
    // The controls and parameters (keys of the map's chN.*) of one setpoint.
    struct Setpoint {
        QString type;
        QString value;
        QString hysteresis;
        QComboBox* typeBox;
        QLineEdit* valueBox;
        QLineEdit* hysteresisBox;
        QString ordinal;   // "первой" or "второй"
        int index;         // 0 or 1
    };

    void createControls();
    void connectHandlers();
    Setpoint setpoint(int n) const;

    void readSetpoint(const Setpoint& s);
    void writeSetpoint(const Setpoint& s);
    enum class AnswerTest { Hex, Number };
    using Param = instrument::map::Param;
    // The parameter key of the selected channel; null when no channel is selected.
    const Param* param(const QString& key) const;
    // One read of p whose answer passes test; nothing when the operation is over.
    std::optional<QString> readOne(ui::Operation& op, const Param& p, const QString& step, AnswerTest test);
    // A read of the whole number key whose answer passes test, shown by show.
    void readWhole(const QString& key, AnswerTest test, const std::function<void(qint64)>& show);
    // The operation that writes the integer key with value (a whole number).
    void writeInteger(const QString& key, qint64 value, const QString& step);
    // True when every parameter of an operation has its address; otherwise
    // the first refusal is shown.
    bool addressesKnown(std::initializer_list<QString> keys);
    // A real typed in box as the instrument's exponent form for p; a box that
    // holds no number, or one the instrument cannot take exactly, is refused
    // with a message naming the field.
    std::optional<QString> realValue(const Param& p, QLineEdit* box, const QString& field);

    // The text the last read of each type put into its box's edit field
    // (a code no item stands for); only that text may be left unwritten.
    QString m_readType[2];
};

} // namespace limits
