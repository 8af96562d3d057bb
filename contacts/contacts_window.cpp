#include "contacts_window.h"

#include "controls.h"
#include "lists.h"
#include "markgrid.h"
#include "netaddress.h"
#include "numbers.h"
#include "operation.h"
#include "link.h"
#include "windowstyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace contacts {

namespace {

using instrument::twips;

const QString kTitle = QStringLiteral("Настройка логики работы реле");
const QString kProgram = QStringLiteral("Contacts");
const QString kMark = QStringLiteral("*");

// The grid's top and its distances to the window's foot, in twips: the grid
// ends 60 twips above the foot, and is never lower than 600 twips.
constexpr int kGridTop = 2280;
constexpr int kGridFootGap = 60;
constexpr int kGridLowest = 600;
constexpr int kClientWidth = 10590;
constexpr int kClientHeight = 5835;
constexpr int kRowHeight = 240;

namespace map = instrument::map;

// The relay flags as the map names them.
const QString kBuiltInLogic = QStringLiteral("relays.devlogic");
const QString kAnalysis = QStringLiteral("relays.analysis");
const QString kRelayTest = QStringLiteral("relays.test");
const QString kRestartItem = QStringLiteral("перезагрузка прибора");

const QString kUnreadWriteAll = QStringLiteral(
    "Таблица не прочитана из прибора и не изменялась. Запись сотрёт логику работы всех 13 реле прибора. "
    "Записать?");

QString relayItem(int relay)
{
    return QStringLiteral("реле %1").arg(relay + 1);
}

// A flag as a report names it: its box's caption, from a small letter.
QString flagItem(const QCheckBox* box)
{
    const QString text = box->text();
    return text.left(1).toLower() + text.mid(1);
}

} // namespace

QString frmContacts::version()
{
    return QStringLiteral("3.1.6");
}

QString frmContacts::programName()
{
    return kProgram;
}

frmContacts::frmContacts(QWidget* parent) : ui::ProgramWindow(kProgram, parent)
{
    setObjectName(QStringLiteral("frmContacts"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    createControls();
    // The width is fixed; the height may grow, and shrink until the grid
    // keeps its heading row and a row and a half of marks.
    setFixedWidth(twips(kClientWidth));
    setMinimumHeight(twips(kGridTop + kGridLowest + kGridFootGap));
    resize(twips(kClientWidth), twips(kClientHeight));
    connectHandlers();
}

frmContacts::~frmContacts() = default;

void frmContacts::createControls()
{
    cmbWrite = ui::button(this, QStringLiteral("cmbWrite"), QStringLiteral("Записать в прибор"), {4920, 60, 1635, 495});
    // Two lines high: the caption wraps rather than shrinks.
    cmbRead = ui::wrapButton(this, QStringLiteral("cmbRead"), QStringLiteral("Прочитать из прибора"),
                             {4920, 600, 1635, 555});
    cbDevLogic = ui::checkBox(this, QStringLiteral("cbDevLogic"),
                              QStringLiteral("Разрешение логики реле, зашитой в прибор"), {60, 60, 4755, 315});
    cbDevLogic->setVisible(false);
    cbTH = ui::checkBox(this, QStringLiteral("cbTH"),
                        QStringLiteral("Разрешение анализа уставок и неисправностей датчиков"), {60, 420, 4755, 315});
    cbAI = ui::checkBox(this, QStringLiteral("cbAI"), QStringLiteral("Тестирование реле"), {60, 780, 4695, 375});
    Label1 = ui::label(this, QStringLiteral("Label1"), QStringLiteral("Сетевой адресс прибора"), {7500, 120, 1275, 495});
    Label1->setWordWrap(true);
    cbNetAdrr = ui::dropDownList(this, QStringLiteral("cbNetAdrr"), {7560, 720, 1275, 315});
    cmbExit = ui::button(this, QStringLiteral("cmbExit"), QStringLiteral("Выход"), {8940, 60, 1575, 555});
    cmbExit->setFont(instrument::windowFont(13.5));
    cmdReload = ui::button(this, QStringLiteral("cmdReload"), QStringLiteral("Перезагрузка"), {8940, 660, 1575, 495});
    pbProgress = ui::progressBar(this, QStringLiteral("pbProgress"), {60, 1260, 10455, 315});
    Command1 = ui::button(this, QStringLiteral("Command1"), QStringLiteral("Прочитать"), {60, 1680, 1695, 495});
    Command2 = ui::button(this, QStringLiteral("Command2"), QStringLiteral("Записать"), {1800, 1680, 1635, 495});
    Command3 = ui::button(this, QStringLiteral("Command3"), QStringLiteral("Прочитать Все"), {3540, 1680, 1635, 495});
    Command4 = ui::button(this, QStringLiteral("Command4"), QStringLiteral("Записать Все"), {5220, 1680, 1635, 495});

    fgTab = new MarkGrid(kGridRows, kGridCols, 1, 2, this);
    fgTab->setObjectName(QStringLiteral("fgTab"));
    ui::place(fgTab, {60, kGridTop, 10455, 3495});
    // Widths from the pixel edges, so that the columns add up as in twips.
    QList<int> widths{700, 2200};
    for (int c = 1; c <= kChannels; ++c)
        widths << 600;
    int left = 0;
    for (int c = 0; c < widths.size(); ++c) {
        fgTab->setColumnWidth(c, twips(left + widths[c]) - twips(left));
        left += widths[c];
    }
    fgTab->setRowHeight(twips(kRowHeight));

    lines << ui::line(this, QStringLiteral("Line1"), -120, 1200, 10740)
          << ui::vline(this, QStringLiteral("Line2"), 7440, 0, 1200)
          << ui::vline(this, QStringLiteral("Line3"), 8880, 0, 1200)
          << ui::line(this, QStringLiteral("Line4"), 60, 1620, 10440)
          << ui::line(this, QStringLiteral("Line5"), 60, 2220, 10500)
          << ui::vline(this, QStringLiteral("Line6"), 3480, 1620, 2220)
          << ui::vline(this, QStringLiteral("Line7"), 6900, 1620, 2220);

    for (QWidget* c : QList<QWidget*>{cmbWrite, cbTH, cbAI, cmdReload, Command1, Command2, Command3, Command4})
        ui::fitCaption(c);

    const QList<QWidget*> tabOrder{fgTab, Command1, Command2, Command3, Command4, cbTH, cbAI,
                                   cmbWrite, cmbRead, cbNetAdrr, cmbExit, cmdReload};
    for (int i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
}

void frmContacts::connectHandlers()
{
    connect(fgTab, &MarkGrid::mouseUp, this, &frmContacts::fgTab_MouseUp);
    // toggled runs for a state set by the program too, as the flag rule needs.
    connect(cbTH, &QCheckBox::toggled, this, &frmContacts::cbTH_Click);
    connect(cbAI, &QCheckBox::toggled, this, &frmContacts::cbAI_Click);
    connect(cbDevLogic, &QCheckBox::toggled, this, &frmContacts::cbDevLogic_Click);
    ui::connectNetAddress(cbNetAdrr, this, [this] { cbNetAdrr_LostFocus(); });
    connect(cmbExit, &QPushButton::clicked, this, &frmContacts::cmbExit_Click);
    connect(cmdReload, &QPushButton::clicked, this, &frmContacts::cmdReload_Click);
    connect(cmbRead, &QPushButton::clicked, this, &frmContacts::cmbRead_Click);
    connect(cmbWrite, &QPushButton::clicked, this, &frmContacts::cmbWrite_Click);
    connect(Command1, &QPushButton::clicked, this, &frmContacts::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmContacts::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmContacts::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmContacts::Command4_Click);
}

bool frmContacts::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, version()));
    if (!loadLink())
        return false;
    writeHeadings();
    ui::fillNetAddresses(cbNetAdrr, *dev(), 1);
    return true;
}

void frmContacts::writeHeadings()
{
    fgTab->setText(0, 1, QStringLiteral("N канала"));
    for (int r = 1; r <= kRelays; ++r) {
        fgTab->setText(4 * r - 2, 0, QStringLiteral("Реле ") + QString::number(r));
        fgTab->setText(4 * r - 3, 1, QStringLiteral("Первая уставка"));
        fgTab->setText(4 * r - 2, 1, QStringLiteral("Вторая уставка"));
        fgTab->setText(4 * r - 1, 1, QStringLiteral("Обрыв"));
    }
    for (int c = 1; c <= kChannels; ++c)
        fgTab->setText(0, c + 1, QString::number(c));
}

// ---- window -------------------------------------------------------------------

void frmContacts::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmContacts::Form_Resize()
{
    // The width and the least height are the window's constraints; here the
    // grid only follows the height.
    const int top = twips(kGridTop);
    fgTab->setGeometry(fgTab->x(), top, fgTab->width(), std::max(1, height() - top - twips(kGridFootGap)));
}

void frmContacts::cmbExit_Click()
{
    close();
}

void frmContacts::cbNetAdrr_LostFocus()
{
    ui::takeNetAddress(cbNetAdrr, *dev());
}

// ---- marks ----------------------------------------------------------------------

void frmContacts::fgTab_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, bool plainClick)
{
    // Only a plain left click on a mark cell toggles it: a drag or a Shift or
    // Ctrl click selects relays and must never change the logic.
    if (button != Qt::LeftButton || !plainClick)
        return;
    const int row = fgTab->row();
    const int col = fgTab->col();
    if (row < 1 || col < kFirstMarkCol)
        return;
    fgTab->setText(row, col, fgTab->text(row, col).isEmpty() ? kMark : QString());
    m_gridTouched = true;
}

QString frmContacts::Calc6(qint16& col, qint16& row) const
{
    std::array<bool, 6> marks{};
    for (int b = 0; b < 6; ++b)
        marks[size_t(b)] = !fgTab->text(row, col + b).isEmpty();
    return packField(marks);
}

void frmContacts::PasteN(qint16 col, qint16 row, qint16 value)
{
    const std::array<bool, 6> marks = unpackField(quint32(quint16(value)));
    for (int b = 0; b < 6; ++b)
        fgTab->setText(row, col + b, marks[size_t(b)] ? kMark : QString());
}

RelayMarks frmContacts::relayMarks(int relay) const
{
    RelayMarks marks{};
    for (int e = 0; e < kEventRows; ++e)
        for (int c = 0; c < kChannels; ++c)
            marks[size_t(e)][size_t(c)] = !fgTab->text(eventRow(relay, e), kFirstMarkCol + c).isEmpty();
    return marks;
}

// ---- flags ----------------------------------------------------------------------

void frmContacts::cbTH_Click()
{
    if (cbTH->isChecked())
        cbDevLogic->setChecked(false);
}

void frmContacts::cbAI_Click()
{
    if (cbAI->isChecked())
        cbDevLogic->setChecked(false);
}

void frmContacts::cbDevLogic_Click()
{
    if (cbDevLogic->isChecked()) {
        cbTH->setChecked(false);
        cbAI->setChecked(false);
    }
}

// ---- exchanges ------------------------------------------------------------------

void frmContacts::raiseProgress()
{
    if (pbProgress->value() < pbProgress->maximum())
        pbProgress->setValue(pbProgress->value() + 1);
}

bool frmContacts::restart(ui::Operation& op, const QString& after)
{
    const std::optional<QString> answer = op.perform(map::restartCall());
    if (!answer)
        return false;
    if (*answer != QLatin1String("OK")) {
        // The instrument may not have restarted: the engineer is told, and
        // can restart it with "Перезагрузка".
        op.fail(QStringLiteral("%1прибор не подтвердил перезагрузку: %2").arg(after, *answer));
        return false;
    }
    op.done(kRestartItem);
    return true;
}

bool frmContacts::writeWithoutRestart(ui::Operation& op, const map::Param& p, const QString& wire)
{
    // The map restarts after each write of a relay or a flag; the window
    // restarts once after the last.
    for (const map::Call& call : map::writeCalls(p, wire)) {
        if (call == map::restartCall())
            continue;
        const std::optional<QString> answer = op.perform(call);
        if (!answer)
            return false;
        if (*answer != QLatin1String("OK")) {
            op.fail(*answer);
            return false;
        }
    }
    return true;
}

void frmContacts::ReadFromDev(qint16& first, qint16& last)
{
    pbProgress->setRange(0, std::max(1, last - first + 1));
    pbProgress->setValue(0);
    ui::Operation op(this, ui::Operation::Read);
    for (int i = first; i <= last; ++i) {
        std::array<quint32, kEventFields> fields{};
        if (!op.readParam(*relay(i), [&](const QString& answer) { return readRecord(answer, &fields); }))
            return;
        raiseProgress();
        // A read shows channels 1 to 12: the first two fields of each group.
        for (int e = 0; e < kEventRows; ++e)
            for (int t = 0; t < kShownFields; ++t)
                PasteN(qint16(kFirstMarkCol + 6 * t), qint16(eventRow(i, e)),
                       qint16(fields[size_t(e * kFieldsPerRow + t)] & 0x3F));
        m_gridTouched = true;
    }
}

void frmContacts::WriteToDev(qint16& first, qint16& last)
{
    pbProgress->setRange(0, std::max(1, last - first + 1));
    pbProgress->setValue(0);
    ui::Operation op(this, ui::Operation::Write);
    QStringList items;
    for (int i = first; i <= last; ++i)
        items << relayItem(i);
    op.plan(items << kRestartItem);
    for (int i = first; i <= last; ++i) {
        raiseProgress();
        if (!writeWithoutRestart(op, *relay(i), recordText(i, relayMarks(i))))
            return;
        op.done(relayItem(i));
    }
    (void)restart(op, QStringLiteral("логика реле записана, но "));
}

const map::Param* frmContacts::relay(int i) const
{
    return instrumentMap().find(QStringLiteral("relay%1").arg(i));
}

void frmContacts::Command1_Click()
{
    read_Click();
}

void frmContacts::Command2_Click()
{
    write_Click();
}

void frmContacts::Command3_Click()
{
    readAll_Click();
}

void frmContacts::Command4_Click()
{
    writeAll_Click();
}

void frmContacts::read_Click()
{
    const RelayRange range = relayRange(fgTab->row(), fgTab->rowSel());
    qint16 first = qint16(range.first);
    qint16 last = qint16(range.last);
    ReadFromDev(first, last);
}

void frmContacts::write_Click()
{
    const RelayRange range = relayRange(fgTab->row(), fgTab->rowSel());
    qint16 first = qint16(range.first);
    qint16 last = qint16(range.last);
    WriteToDev(first, last);
}

void frmContacts::readAll_Click()
{
    qint16 first = 0;
    qint16 last = kRelays - 1;
    ReadFromDev(first, last);
}

void frmContacts::writeAll_Click()
{
    // An empty grid that was never read would wipe every relay's logic.
    if (!m_gridTouched && !ask(kUnreadWriteAll))
        return;
    qint16 first = 0;
    qint16 last = kRelays - 1;
    WriteToDev(first, last);
}

void frmContacts::cmbRead_Click()
{
    cbAI->setChecked(false);
    cbTH->setChecked(false);
    cbDevLogic->setChecked(false);
    ui::Operation op(this, ui::Operation::Read);
    const std::pair<QString, QCheckBox*> flags[] = {
        {kBuiltInLogic, cbDevLogic}, {kAnalysis, cbTH}, {kRelayTest, cbAI}};
    for (const auto& [name, box] : flags) {
        const std::optional<QString> answer = op.readParam(*instrumentMap().find(name), isFlagAnswer);
        if (!answer)
            return;
        if (flagSet(*answer))
            box->setChecked(true);
    }
}

void frmContacts::cmbWrite_Click()
{
    ui::Operation op(this, ui::Operation::Write);
    const std::pair<QString, QCheckBox*> flags[] = {
        {kBuiltInLogic, cbDevLogic}, {kRelayTest, cbAI}, {kAnalysis, cbTH}};
    QStringList items;
    for (const auto& [name, box] : flags)
        items << flagItem(box);
    op.plan(items << kRestartItem);
    for (const auto& [name, box] : flags) {
        const map::Param& p = *instrumentMap().find(name);
        QString value, wire, error;
        map::parseValue(p, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"), 0, &value, &wire, &error);
        if (!writeWithoutRestart(op, p, wire))
            return;
        op.done(flagItem(box));
    }
    (void)restart(op, QStringLiteral("флаги записаны, но "));
}

void frmContacts::cmdReload_Click()
{
    ui::Operation op(this, ui::Operation::Write);
    (void)restart(op, QString());
}

} // namespace contacts
