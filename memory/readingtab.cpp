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
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace memory {

using ui::Twips;

namespace {

const QString kDot = QStringLiteral(" · ");

bool openFile(const QString& viewer, const QString& file)
{
    if (!viewer.isEmpty())
        return QProcess::startDetached(viewer, {file});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

OpenFileHook& openFileHook()
{
    static OpenFileHook hook = openFile;
    return hook;
}

// "1 кадр", "3 кадра", "11 кадров".
QString frames(int n)
{
    const int last = n % 10;
    const int lastTwo = n % 100;
    const char* word = "кадров";
    if (last == 1 && lastTwo != 11)
        word = "кадр";
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        word = "кадра";
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

// "45 с", "1 мин 20 с", "2 ч 05 мин".
QString duration(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1 ч %2 мин").arg(seconds / 3600).arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'));
    if (seconds >= 60)
        return QStringLiteral("%1 мин %2 с").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 с").arg(seconds);
}

} // namespace

OpenFileHook setOpenFileHook(OpenFileHook hook)
{
    OpenFileHook old = openFileHook();
    openFileHook() = hook ? std::move(hook) : OpenFileHook(openFile);
    return old;
}

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
    cmdOpenFile = ui::button(p, QStringLiteral("cmdOpenFile"), QStringLiteral("Открыть файл"),
                             Twips{5040, 1980, 3975, 375},
                             QStringLiteral("Открыть файл последнего чтения в программе просмотра кадров"));
    cmdOpenFile->setEnabled(false);
    // The name is the PC clock's, as the timer sets it: shown, not typed.
    tbFileName->setReadOnly(true);

    pbReading = ui::progressBar(p, QStringLiteral("pbReading"), Twips{240, 3360, 8775, 255});
    cmdStopReadingFrames = ui::button(p, QStringLiteral("cmdStopReadingFrames"),
                                      QStringLiteral("Прервать чтение - прочитанное записать"),
                                      Twips{240, 3780, 4575, 375});
    lReadingStatus = ui::statusLabel(p, QStringLiteral("lReadingStatus"), Twips{240, 4260, 8775, 735});
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
    connect(cmdOpenFile, &QPushButton::clicked, this, &frmMain::cmdOpenFile_Click);

    m_reader.setProgressBar(pbReading);
    m_reader.setProgressCallback([this] { showRunProgress(); });
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
    cmdOpenFile->setEnabled(false);
    pbReading->setValue(0);
    FrameReader::Request r;
    r.buffer = std::max(0, ui::selectedIndex(cmbBuffNum));
    r.count = count;
    r.step = step;
    r.wholeBuffer = wholeBuffer;
    r.map = &instrumentMap();
    // The file of the run is fixed now; the timer leaves the box alone
    // until the run ends.
    r.file = QDir(sSaveDir).filePath(tbFileName->text());
    m_runFile = QDir::toNativeSeparators(QFileInfo(r.file).absoluteFilePath());
    m_title = windowTitle();
    m_framesTimed = false;
    setReadingStatus(QStringLiteral("Чтение регистров буфера %1%2%3").arg(r.buffer + 1).arg(kDot, tbFileName->text()));
    // A close that arrives during a download ends it at its next step.
    const FrameReader::Result result = m_reader.run(op, r);
    setWindowTitle(m_title);
    showRunEnd(result);
    cmdOpenFile->setEnabled(QFileInfo::exists(m_runFile));
    if (!op.finish())
        return;
    if (!result.message.isEmpty())
        showNotice(result.message);
}

void frmMain::setReadingStatus(const QString& text)
{
    if (lReadingStatus->text() != text)
        lReadingStatus->setText(text);
}

void frmMain::showRunProgress()
{
    if (!m_reader.isRunning())
        return;
    const FrameReader::Progress& p = m_reader.progress();
    if (p.frames == 0)
        return;
    const QDateTime now = m_now();
    if (!m_framesTimed) {
        m_framesTimed = true;
        m_framesStarted = now;
    }
    QString text = QStringLiteral("Кадр %1 из %2").arg(p.written).arg(p.frames);
    // The time left at the pace of the frames handled so far.
    if (p.handled > 0) {
        const qint64 elapsedMs = std::max<qint64>(0, m_framesStarted.msecsTo(now));
        const qint64 leftMs = elapsedMs * (p.frames - p.handled) / p.handled;
        text += kDot + QStringLiteral("осталось ≈ ") + duration((leftMs + 999) / 1000);
    }
    text += kDot + QFileInfo(m_runFile).fileName();
    setReadingStatus(text);
    const int share = int(qint64(p.handled) * 100 / p.frames);
    const QString title = QStringLiteral("%1 % · %2").arg(share).arg(m_title);
    if (windowTitle() != title)
        setWindowTitle(title);
}

void frmMain::showRunEnd(const FrameReader::Result& result)
{
    QString how;
    switch (result.outcome) {
    case FrameReader::Outcome::Finished:
        how = QStringLiteral("Чтение закончено");
        break;
    case FrameReader::Outcome::Stopped:
        how = result.frames == 0 ? QStringLiteral("Чтение остановлено до первого кадра")
                                 : QStringLiteral("Чтение остановлено кнопкой");
        break;
    case FrameReader::Outcome::Aborted:
        how = QStringLiteral("Чтение прервано на кадре %1").arg(result.abortedAt);
        break;
    case FrameReader::Outcome::Refused:
        how = QStringLiteral("Чтение не начато");
        break;
    }
    QString got = result.framesWritten == 0 && result.frames == 0
                      ? QStringLiteral("в файл ничего не записано")
                      : QStringLiteral("в файл записано %1 из %2").arg(frames(result.framesWritten)).arg(result.frames);
    if (result.framesSkipped > 0)
        got += QStringLiteral(", пропущено %1").arg(frames(result.framesSkipped));
    setReadingStatus(how + kDot + got + kDot + m_runFile);
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

void frmMain::cmdOpenFile_Click()
{
    if (m_runFile.isEmpty())
        return;
    if (!QFileInfo::exists(m_runFile)) {
        showError(QStringLiteral("файл «%1» не найден").arg(m_runFile));
        cmdOpenFile->setEnabled(false);
        return;
    }
    // The frame viewer next to this program, else the desktop's program for the file.
    const QFileInfo viewer(QCoreApplication::applicationDirPath() + QStringLiteral("/Viewer"));
    const QString program = viewer.isFile() && viewer.isExecutable() ? viewer.absoluteFilePath() : QString();
    if (!openFileHook()(program, m_runFile))
        showError(program.isEmpty()
                      ? QStringLiteral("для файла «%1» нет программы, которая его открывает").arg(m_runFile)
                      : QStringLiteral("программа просмотра кадров «%1» не запустилась").arg(program));
}

} // namespace memory
