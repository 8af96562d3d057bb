// The tab "Чтение буферов" of the main window: its controls and the handlers
// of its buttons (frame reading into a data file).

#include "memory_window.h"

#include "controls.h"
#include "frmdir.h"
#include "lists.h"
#include "boxes.h"
#include "dialogs.h"
#include "operation.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace memory {

using ui::Twips;

void frmMain::createReadingTab()
{
    tabReading = ui::tabPage(SSTab1, QStringLiteral("tabReading"), QStringLiteral("Чтение буферов"));
    QWidget* p = tabReading;

    lBuffNum = ui::label(p, QStringLiteral("lBuffNum"), QStringLiteral("Выбрать буфер"), Twips{240, 300, 1455, 255});
    cmbBuffNum = ui::dropDownList(p, QStringLiteral("cmbBuffNum"), Twips{1815, 240, 855, 315},
                                  QStringLiteral("Выбор буфера для чтения"));

    const QString c1 = QStringLiteral("Прочитать последние 100 кадров подряд");
    const QString c2 = QStringLiteral("Прочитать последние 400 кадров подряд");
    const QString c3 = QStringLiteral("Прочитать 100 кадров через 10");
    const QString c4 = QStringLiteral("Прочитать 400 кадров через 10");
    const QString c5 = QStringLiteral("Прочитать весь буфер");
    Command1 = ui::button(p, QStringLiteral("Command1"), c1, Twips{240, 780, 4575, 375}, c1);
    Command2 = ui::button(p, QStringLiteral("Command2"), c2, Twips{240, 1260, 4575, 375}, c2);
    Command3 = ui::button(p, QStringLiteral("Command3"), c3, Twips{240, 1740, 4575, 375}, c3);
    Command4 = ui::button(p, QStringLiteral("Command4"), c4, Twips{240, 2220, 4575, 375}, c4);
    Command5 = ui::button(p, QStringLiteral("Command5"), c5, Twips{240, 2700, 4575, 375}, c5);

    lFileName = ui::label(p, QStringLiteral("lFileName"), QStringLiteral("Прочитанное сохраняется в файл"),
                          Twips{5040, 780, 3975, 255});
    tbFileName = ui::textBox(p, QStringLiteral("tbFileName"), Twips{5040, 1080, 3975, 315},
                             QStringLiteral("Имя файла в который будетут сохраняться данные"));
    Command7 = ui::button(p, QStringLiteral("Command7"), QStringLiteral("Выбрать директорию для сохранения"),
                          Twips{5040, 1500, 3975, 375},
                          QStringLiteral("Выбор директории куда будут сохраняться данные"));

    pbReading = ui::progressBar(p, QStringLiteral("pbReading"), Twips{240, 3360, 8775, 255});
    cmdStopReadingFrames = ui::button(p, QStringLiteral("cmdStopReadingFrames"),
                                      QStringLiteral("Прервать чтение - прочитанное записать"),
                                      Twips{240, 3780, 4575, 375});
}

void frmMain::connectReadingTab()
{
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmMain::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmMain::Command5_Click);
    connect(cmdStopReadingFrames, &QPushButton::clicked, this, &frmMain::cmdStopReadingFrames_Click);
    connect(Command7, &QPushButton::clicked, this, &frmMain::Command7_Click);

    m_reader.setProgressBar(pbReading);
}

void frmMain::Command1_Click()
{
    readFrames(100, 1, false);
}

void frmMain::Command2_Click()
{
    readFrames(400, 1, false);
}

void frmMain::Command3_Click()
{
    readFrames(100, 10, false);
}

void frmMain::Command4_Click()
{
    readFrames(400, 10, false);
}

void frmMain::Command5_Click()
{
    readFrames(0, 1, true);
}

void frmMain::readFrames(qint64 count, int step, bool wholeBuffer)
{
    ui::Operation op(this, ui::Operation::Read);
    // Only the stop button stays usable while frames are read.
    cmdStopReadingFrames->setEnabled(true);
    FrameReader::Request r;
    r.buffer = std::max(0, ui::selectedIndex(cmbBuffNum));
    r.count = count;
    r.step = step;
    r.wholeBuffer = wholeBuffer;
    // The file of the run is fixed now; the timer changes the box meanwhile.
    r.file = QDir(sSaveDir).filePath(tbFileName->text());
    // A close that arrives during a download ends it at its next step.
    const FrameReader::Result result = m_reader.run(op, r);
    if (!op.finish())
        return;
    if (!result.message.isEmpty())
        showNotice(result.message);
}

void frmMain::cmdStopReadingFrames_Click()
{
    // The other controls come back when the run has really ended.
    if (!m_reader.isRunning())
        return;
    m_reader.requestStop();
    cmdStopReadingFrames->setEnabled(false);
}

void frmMain::Command7_Click()
{
    frmDir chooser(*dev(), sSaveDir, this);
    ui::execModal(chooser);
}

} // namespace memory
