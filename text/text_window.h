#pragma once
// The text loader: the text (measured quantity) and unit that the
// instrument's display shows for each of its twelve channels, read and
// written one channel at a time from the window, or all twelve at once from
// and into a text file on the PC.

#include "codetable.h"
#include "dev.h"
#include "exchangeguard.h"
#include "settingskeys.h"
#include "textfile.h"

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace text {

class Dialog : public QWidget {
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
    void Form_Unload();

    instrument::Dev* dev() { return &m_dev; }
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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectHandlers();

    // The channel chosen, 1..12.
    int channel() const;
    // False, after telling the user, while a base address of "dev.dat" is not valid.
    bool addressesUsable();
    // Starts an operation that moves count characters: progress 0 of count,
    // the controls disabled.
    void beginOperation(int count);
    // One more character moved.
    void step();
    // Ends the operation; false when the window was closed meanwhile (it now
    // is, and nothing more may run).
    [[nodiscard]] bool endOperation();
    void showError(const QString& text);

    // Writes one display code at address: command 5, then command 13, each
    // verified. "OK", or the link's answer of the write that failed.
    QString writeCode(int address, quint8 code);
    // Reads one display code. False with the message in *error when the read
    // failed or the answer is not a byte.
    bool readCode(int address, quint8* code, QString* error);
    // The character read at address (a decoded display code).
    bool readChar(int address, QChar* ch, QString* error);

    instrument::Dev m_dev;
    CodeTable m_table;
    ui::BaseAddress m_textBase;
    ui::BaseAddress m_unitBase;
    ui::ExchangeGuard m_guard{this};
    bool m_devLoaded = false;
    bool m_unloaded = false;
};

} // namespace text
