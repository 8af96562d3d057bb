#pragma once
// The text loader: the text (measured quantity) and unit that the
// instrument's display shows for each of its twelve channels, read and
// written one channel at a time from the window, or all twelve at once from
// and into a text file on the PC.

#include "codetable.h"
#include "operation.h"
#include "programwindow.h"
#include "settingskeys.h"
#include "textfile.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace text {

class Dialog : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit Dialog(QWidget* parent = nullptr);
    ~Dialog() override;

    // "1.0.0": shown in the caption.
    static QString version();

    // Characters moved per channel by each operation.
    static constexpr int kWriteSText = 15, kWriteSUnit = 7;  // WriteS
    static constexpr int kReadSText = 13, kReadSUnit = 6;    // ReadS
    static constexpr int kReadFText = 13, kReadFUnit = 6;    // ReadF (file -> instrument)
    static constexpr int kWriteFText = 13, kWriteFUnit = 7;  // WriteF (instrument -> file)
    // Characters the boxes hold.
    static constexpr int kTextBox = 13, kUnitBox = 6;

    // Start-up. False when the link cannot start (the user has been told).
    bool Form_Load();

    const CodeTable& codeTable() const { return m_table; }
    // The addresses of channel n (1..12); meaningful while the base addresses are valid.
    int textAddress(int n) const { return m_textBase.value + 20 * (n - 1); }
    int unitAddress(int n) const { return m_unitBase.value + 8 * (n - 1); }

    // ---- handlers -------------------------------------------------------------
    void cbNetAdrr_LostFocus();
    void ReadS_Click();
    void WriteS_Click();
    void cmbDir_Click();
    void WriteF_Click();
    void ReadF_Click();
    void Command1_Click();

    // ---- controls ---------------------------------------------------------------
    QLabel* Label1 = nullptr;      // "Сетевой адрес"
    QComboBox* cbNetAdrr = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label2 = nullptr;      // "Номер канала"
    QComboBox* ChNum = nullptr;
    QLabel* Label3 = nullptr;      // "Измеряемая величина"
    QLineEdit* Text = nullptr;
    QLabel* Label4 = nullptr;      // "Единицы измерения"
    QLineEdit* UofM = nullptr;
    QPushButton* ReadS = nullptr;
    QPushButton* WriteS = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label5 = nullptr;      // "Файлы текстов для прибора"
    QLineEdit* FileName = nullptr;
    QPushButton* cmbDir = nullptr;
    QPushButton* WriteF = nullptr;
    QPushButton* ReadF = nullptr;
    QProgressBar* ProgressBar = nullptr;

private:
    void createControls();
    void connectHandlers();

    // The channel chosen, 1..12.
    int channel() const;
    // False, after telling the user, while a base address of "dev.dat" is not valid.
    bool addressesUsable();
    // One part of a channel that a write sends: its display codes from address on.
    struct WritePart {
        QList<quint8> codes;
        int address;
        int channel;
        QString what;   // "текст" or "единицы"
    };
    // Writes the parts in order, each character with command 5, then 13,
    // both verified; a failure names the character and how far the write
    // got (ending with tail). False when the operation is over.
    bool writeParts(ui::Operation& op, const QList<WritePart>& parts, const QString& tail);
    // The character read at address (a decoded display code). Nothing when
    // the window was closed meanwhile, or when the read failed or the answer
    // is not a byte: *error then says why, and the caller ends the operation.
    std::optional<QChar> readChar(ui::Operation& op, int address, QString* error);

    CodeTable m_table;
    ui::BaseAddress m_textBase;
    ui::BaseAddress m_unitBase;
};

} // namespace text
