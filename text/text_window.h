#pragma once
// The text loader: the text (measured quantity) and unit that the
// instrument's display shows for each of its twelve channels, read and
// written one channel at a time from the window, or all twelve at once from
// and into a text file on the PC.

#include "link.h"
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

    // Start-up. False when the link cannot start (the user has been told).
    bool Form_Load();

    // The map's text and unit of channel n (1..12).
    const instrument::map::Param& textParam(int n) const;
    const instrument::map::Param& unitParam(int n) const;

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
    QLabel* ToFile = nullptr;      // "Прибор → файл", over WriteF
    QLabel* ToInstrument = nullptr; // "Файл → прибор", over ReadF
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
    // One part of a channel that a write sends: the first count characters
    // of value (blanks after it) into the parameter.
    struct WritePart {
        const instrument::map::Param* param;
        QString value;
        int count;
        QString what;   // "текст" or "единицы измерения"
        QString where;  // the field or the file's channel, for the question
    };
    // When a part holds characters the display lacks (it shows other letters
    // for them), asks once whether to write all the same. True to go on.
    bool displayShowsThem(const QList<WritePart>& parts);
    // Writes the parts in order, each character with the map's verified
    // pair; a failure names the character and how far the write got (ending
    // with tail). False when the operation is over.
    bool writeParts(ui::Operation& op, const QList<WritePart>& parts, const QString& tail);
    // The character read by call (a decoded display code). Nothing when the
    // window was closed meanwhile, or when the read failed or the answer is
    // not a byte: *error then says why, and the caller ends the operation.
    std::optional<QChar> readChar(ui::Operation& op, const instrument::map::Call& call, QString* error);
};

} // namespace text
