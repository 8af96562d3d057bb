#include "snapshot_window.h"

#include "controls.h"
#include "dialogs.h"
#include "linkchoice.h"
#include "numbers.h"
#include "operation.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>

namespace snapshot {

namespace {

using ui::Twips;

const QString kProgram = QStringLiteral("Snapshot");
const QString kTitle = QStringLiteral("Копия настроек прибора");
const QString kVersion = QStringLiteral("1.0.0");
const QString kFilter = QStringLiteral("Снимки настроек (*.txt);;Все файлы (*)");
// The speed item taken when "dev.dat" names none the list has (as Memory).
constexpr int kDefaultSpeedIndex = 4;

enum Column { ColName, ColMeaning, ColFile, ColInstrument };

} // namespace

Main::Main(QWidget* parent) : ui::ProgramWindow(kProgram, parent)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 10815, 7800);
    createControls();
    guard().setControls(userControls());
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSave, &QPushButton::clicked, this, &Main::cmdSave_Click);
    connect(cmdCompare, &QPushButton::clicked, this, &Main::cmdCompare_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &Main::cmdRestore_Click);
    ui::connectLinkChoice(linkChoice, this, *dev());
}

Main::~Main() = default;

void Main::createControls()
{
    linkChoice = ui::createLinkChoice(this);
    cmdExit = ui::button(this, QStringLiteral("cmdExit"), QStringLiteral("Выход"), Twips{9360, 240, 1335, 435},
                         QStringLiteral("Выход из программы"));

    cmdSave = ui::button(this, QStringLiteral("cmdSave"), QStringLiteral("Сохранить в файл…"),
                         Twips{120, 840, 2535, 375}, QStringLiteral("Прочитать все настройки прибора в файл"));
    cmdCompare = ui::button(this, QStringLiteral("cmdCompare"), QStringLiteral("Сравнить с файлом…"),
                            Twips{2775, 840, 2535, 375},
                            QStringLiteral("Прочитать прибор и показать, чем он отличается от файла"));
    cmdRestore = ui::button(this, QStringLiteral("cmdRestore"), QStringLiteral("Записать из файла…"),
                            Twips{5430, 840, 2535, 375},
                            QStringLiteral("Записать в прибор отмеченные значения файла"));
    lFile = ui::label(this, QStringLiteral("lFile"), QStringLiteral("Файл не выбран"), Twips{120, 1320, 10575, 255});

    lstDiff = ui::listTable(this, QStringLiteral("lstDiff"),
                            {QStringLiteral("Параметр"), QStringLiteral("Смысл"), QStringLiteral("В файле"),
                             QStringLiteral("В приборе")},
                            Twips{120, 1620, 10575, 4335},
                            QStringLiteral("Отличия прибора от файла; записываются отмеченные строки"));
    ui::setColumnWidths(lstDiff, {1800, 4650, 1900, 1900});

    pbProgress = ui::progressBar(this, QStringLiteral("pbProgress"), Twips{120, 6135, 9120, 255});
    cmdStop = ui::button(this, QStringLiteral("cmdStop"), QStringLiteral("Стоп"), Twips{9360, 6075, 1335, 375},
                         QStringLiteral("Остановить после обмена, который идёт"));
    cmdStop->setEnabled(false);
    lSummary = ui::statusLabel(this, QStringLiteral("lSummary"), Twips{120, 6570, 10575, 1110});
}

QList<QWidget*> Main::userControls() const
{
    return {linkChoice.cmbPort, linkChoice.cmbSpeed, linkChoice.cmbNetAdrr, cmdExit, cmdSave, cmdCompare, cmdRestore, lstDiff};
}

bool Main::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, kVersion));
    if (!loadLink())
        return false;
    QStringList problems;
    ui::loadLinkChoice(linkChoice, *dev(), kDefaultSpeedIndex, &problems);
    reportStartProblems(problems);
    return true;
}

QString Main::linkKey()
{
    return QStringLiteral("%1|%2|%3|%4").arg(dev()->Number).arg(dev()->devicePath(), dev()->Settings).arg(dev()->bNetAdrr);
}

int Main::digits()
{
    return dev()->NOfDigits;
}

void Main::setSummary(const QString& text)
{
    lSummary->setText(text);
}

// ---- reading ----------------------------------------------------------------------

bool Main::readInstrument(ui::Operation& op, Snapshot* out, const QString& what)
{
    ui::OperationLink link(op);
    op.allowStop(cmdStop);
    op.showProgress(pbProgress, int(snapshotParams(instrumentMap()).size()));
    QString error;
    const Outcome o = snapshot::readInstrument(instrumentMap(), link, out, &error,
                                               [&](int done, int total, const map::Param& p) {
                                                   if (!op.goOn())
                                                       return false;
                                                   pbProgress->setValue(done);
                                                   const QString step = QStringLiteral("%1: %2 из %3 (%4)")
                                                                            .arg(what)
                                                                            .arg(done)
                                                                            .arg(total)
                                                                            .arg(p.name);
                                                   op.step(step);
                                                   setSummary(step);
                                                   return true;
                                               });
    cmdStop->setEnabled(false);
    if (link.over())
        return false;
    if (o == Outcome::Stopped) {
        setSummary(what + QStringLiteral(": остановлено кнопкой «Стоп»"));
        return false;
    }
    if (o == Outcome::Failed) {
        setSummary(what + QStringLiteral(": ") + error);
        op.fail(error);
        return false;
    }
    return true;
}

void Main::cmdSave_Click()
{
    ui::FileRequest request;
    request.title = QStringLiteral("Сохранить настройки прибора в файл");
    request.filter = kFilter;
    request.defaultSuffix = QStringLiteral("txt");
    request.fileName = m_file;
    request.mayBeNew = true;
    const QString path = ui::chooseFile(this, request);
    if (path.isEmpty())
        return;
    ui::Operation op(this, ui::Operation::Read);
    Snapshot snap;
    if (!readInstrument(op, &snap, QStringLiteral("Чтение настроек"))) {
        if (!isClosing())
            setSummary(lSummary->text() + QStringLiteral("; файл не записан"));
        return;
    }
    const QString device = dev()->devicePath();
    const Header header{kProgram, QDateTime::currentDateTime(),
                        device.isEmpty() ? QStringLiteral("COM%1").arg(dev()->Number) : device,
                        dev()->Settings.section(QLatin1Char(','), 0, 0), dev()->bNetAdrr};
    QStringList notRestorable;
    int kept = 0;
    const QByteArray text = fileText(snap, header, digits(), &notRestorable, &kept).toUtf8();
    // The file is replaced only when it is written whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        setSummary(QStringLiteral("Файл не записан: %1").arg(file.errorString()));
        op.fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return;
    }
    m_file = path;
    lFile->setText(QStringLiteral("Файл: ") + path);
    QString summary = QStringLiteral("Сохранено параметров: %1 в %2").arg(kept).arg(QFileInfo(path).fileName());
    if (!notRestorable.isEmpty())
        summary += QStringLiteral(". Только комментарием (не записываются обратно): ") + notRestorable.join(QStringLiteral("; "));
    setSummary(summary);
}

// ---- comparing --------------------------------------------------------------------

bool Main::compareWithFile()
{
    ui::FileRequest request;
    request.title = QStringLiteral("Сравнить прибор с файлом");
    request.filter = kFilter;
    request.fileName = m_file;
    const QString path = ui::chooseFile(this, request);
    if (path.isEmpty())
        return false;
    // Every value of the file is checked before the first frame.
    Snapshot wanted;
    QString error;
    if (!readFile(path, instrumentMap(), digits(), &wanted, &error)) {
        showError(error);
        return false;
    }
    ui::Operation op(this, ui::Operation::Read);
    Snapshot present;
    if (!readInstrument(op, &present, QStringLiteral("Чтение прибора")))
        return false;
    m_file = path;
    m_wanted = wanted;
    m_present = present;
    m_diff.clear();
    for (const Difference& d : differences(instrumentMap(), wanted, present, digits()))
        if (d.hasA)   // the instrument is compared on what the file names
            m_diff << d;
    m_compared = true;
    m_comparedWith = linkKey();
    lFile->setText(QStringLiteral("Файл: ") + path);
    fillList();
    setSummary(differencesText());
    return true;
}

void Main::fillList()
{
    lstDiff->setRowCount(int(m_diff.size()));
    for (int r = 0; r < m_diff.size(); ++r) {
        const Difference& d = m_diff.at(r);
        const bool port = isPortParam(*d.param);
        const QString meaning =
            port ? d.param->meaning + QStringLiteral(" — меняется в Commission") : d.param->meaning;
        const QStringList cells{d.param->name, meaning, d.a, d.hasB ? d.b : QStringLiteral("нет")};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            // A code's value names its item.
            const QString itemText = c >= ColFile ? map::itemText(*d.param, cells.at(c)) : QString();
            item->setToolTip(c == ColName ? d.param->title()
                                          : itemText.isEmpty() ? cells.at(c)
                                                               : cells.at(c) + QStringLiteral(": ") + itemText);
            if (c == ColName && !port) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Checked);
            } else if (port) {
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
                item->setToolTip(QStringLiteral("Параметр порта не записывается: его меняют в Commission"));
            }
            lstDiff->setItem(r, c, item);
        }
    }
}

QString Main::differencesText() const
{
    // The port parameters are listed, not counted (as the command line).
    QStringList port;
    for (const Difference& d : m_diff)
        if (isPortParam(*d.param))
            port << d.param->name;
    QString text = QStringLiteral("Различий: %1").arg(m_diff.size() - port.size());
    if (!port.isEmpty())
        text += QStringLiteral("; параметры порта, которые меняет Commission: ") + port.join(QStringLiteral(", "));
    return text;
}

QSet<const map::Param*> Main::ticked() const
{
    QSet<const map::Param*> out;
    for (int r = 0; r < m_diff.size() && r < lstDiff->rowCount(); ++r) {
        const QTableWidgetItem* item = lstDiff->item(r, ColName);
        if (item && (item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked)
            out.insert(m_diff.at(r).param);
    }
    return out;
}

void Main::cmdCompare_Click()
{
    compareWithFile();
}

// ---- writing ----------------------------------------------------------------------

void Main::cmdRestore_Click()
{
    if (!m_compared || m_comparedWith != linkKey()) {
        // What is written is chosen in the list: it is filled first, and
        // again when another instrument has been chosen since.
        if (!compareWithFile() || ticked().isEmpty())
            return;   // nothing the file would change (the summary says so)
        if (!ask(differencesText() + QStringLiteral(". Записать в прибор отмеченные значения файла?")))
            return;
    }
    const QSet<const map::Param*> chosen = ticked();
    if (chosen.isEmpty()) {
        showNotice(QStringLiteral("Нет отмеченных строк: в прибор ничего не записано."));
        return;
    }
    const Plan plan = restorePlan(instrumentMap(), m_present, m_wanted, digits(), &chosen);
    QStringList items;
    for (const Step& s : plan.steps)
        items << s.name();
    ui::Operation op(this, ui::Operation::Write);
    op.plan(items);
    ui::OperationLink link(op);
    op.allowStop(cmdStop);
    const QList<const map::Param*> check = plan.written();
    op.showProgress(pbProgress, int(plan.steps.size() + check.size()));
    const RestoreResult result = runPlan(
        plan, link,
        [&](const Step& s) {
            if (!op.goOn())
                return false;
            op.step(QStringLiteral("Запись: ") + s.name());
            setSummary(QStringLiteral("Запись: ") + s.name());
            return true;
        },
        [&](const Step& s) {
            op.done(s.name());
            op.advance();
        });
    if (link.over())
        return;   // closed: the operation's report says what was written
    // What was written now agrees with the file.
    for (const Step& s : plan.steps)
        if (s.kind == Step::Value && result.written.contains(s.name()))
            m_present.values.insert(s.param, s.value);
    for (qsizetype i = m_diff.size() - 1; i >= 0; --i)
        if (result.written.contains(m_diff.at(i).param->name))
            m_diff.removeAt(i);
    fillList();
    // A row left out stays left out.
    for (int r = 0; r < m_diff.size(); ++r)
        if (!chosen.contains(m_diff.at(r).param) && (lstDiff->item(r, ColName)->flags() & Qt::ItemIsUserCheckable))
            lstDiff->item(r, ColName)->setCheckState(Qt::Unchecked);
    QString summary;
    if (result.outcome == Outcome::Failed)
        summary = QStringLiteral("Запись прервана: %1. ").arg(result.error);
    else if (result.outcome == Outcome::Stopped)
        summary = QStringLiteral("Запись остановлена кнопкой «Стоп». ");
    const QString lists = result.lists();
    summary += lists.left(1).toUpper() + lists.mid(1) + QLatin1Char('.');
    if (result.outcome != Outcome::Done) {
        setSummary(summary);
        if (result.outcome == Outcome::Failed)
            op.fail(result.error + QStringLiteral("; ") + result.lists());
        return;
    }
    // What was written reads back as the file has it.
    QStringList mismatches;
    QString error;
    bool checkStopped = false;
    const bool read = checkWritten(plan, link, digits(), &mismatches, &error,
                                   [&](int done, int, const map::Param& p) {
                                       checkStopped = !op.goOn();
                                       if (checkStopped)
                                           return false;
                                       pbProgress->setValue(int(plan.steps.size()) + done);
                                       op.step(QStringLiteral("Проверка: ") + p.name);
                                       return true;
                                   });
    cmdStop->setEnabled(false);
    if (link.over())
        return;
    summary += QLatin1Char(' ') + differencesText() + QLatin1Char('.');
    if (!read) {
        setSummary(summary + QStringLiteral(" Проверка записанного не закончена: ") + error);
        op.fail(error);
        return;
    }
    if (!mismatches.isEmpty()) {
        setSummary(summary + QStringLiteral(" Прочитано не то, что записано: ") + mismatches.join(QStringLiteral("; ")));
        op.fail(mismatches.join(QLatin1Char('\n')));
        return;
    }
    setSummary(summary + (checkStopped ? QStringLiteral(" Проверка чтением остановлена кнопкой «Стоп».")
                                       : QStringLiteral(" Проверено чтением.")));
}

} // namespace snapshot
