#include "reader_window.h"

#include "controls.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "operation.h"
#include "link.h"
#include "readings.h"
#include "settingskeys.h"
#include "windowstyle.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <chrono>
#include <cmath>
#include <thread>

namespace reader {

namespace {

const QString kProgram = QStringLiteral("Reader");
const QString kVersion = QStringLiteral("0.1.13");
const QString kCaptionStart = QStringLiteral("Начать чтение");
const QString kCaptionStop = QStringLiteral("Остановить чтение");
const QString kNoMains = QStringLiteral("Сетевое питание отсутствует");
const QString kBufferSignalOn = QStringLiteral("Внешний сигнал управления присутствует");
const QString kBufferSignalOff = QStringLiteral("Внешний сигнал управления отсутствует");

const QColor kYellow(255, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

using instrument::twips;

QColor buttonFace(const QWidget* w)
{
    return w->palette().color(QPalette::Button);
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry)
{
    QLabel* l = ui::label(parent, name, caption, {});
    l->setGeometry(geometry);
    return l;
}

// Reader's grids use a smaller font than the window.
QTableWidget* makeGrid(QWidget* parent, const QString& name, int rows, int cols, const ui::Twips& r,
                       const QString& tip)
{
    QTableWidget* g = ui::grid(parent, name, rows, cols, r, tip);
    g->setFont(instrument::windowFont(7.5));
    return g;
}

void setText(QTableWidget* g, int row, int col, const QString& text)
{
    g->item(row, col)->setText(text);
}

void paintCell(QTableWidget* g, int row, int col, const QColor& back, const QColor& fore = kBlack)
{
    QTableWidgetItem* item = g->item(row, col);
    item->setBackground(back);
    item->setForeground(fore);
}

void setBackground(QLabel* l, const QColor& colour)
{
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour);
    l->setPalette(p);
}

} // namespace

Main_Reader::Main_Reader(QWidget* parent) : ui::ProgramWindow(kProgram, parent)
{
    setObjectName(QStringLiteral("Main_Reader"));
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 11835, 4395);
    m_pause.setSingleShot(true);
    // A cycle's exchange disables nothing: the selectors stay disabled for
    // as long as reading runs, and the start button stops it.
    guard().setControls({});
    createControls();
}

Main_Reader::~Main_Reader() = default;

void Main_Reader::createControls()
{
    Label31 = ui::label(this, QStringLiteral("Label31"), QStringLiteral("Порт"), {90, 120, 585, 330});
    cmbPort = ui::dropDownList(this, QStringLiteral("cmbPort"), {720, 60, 1155, 420}, QStringLiteral("Номер СОМ порта"));
    Label1 = ui::label(this, QStringLiteral("Label1"), QStringLiteral("Скорость"), {1980, 120, 1095, 315});
    cmbSpeed = ui::dropDownList(this, QStringLiteral("cmbSpeed"), {3120, 60, 1755, 420}, QStringLiteral("Настройки СОМ порта"));
    lNetAdrr = ui::label(this, QStringLiteral("lNetAdrr"), QStringLiteral("Сетевой номер прибора"), {5010, 120, 2745, 300});
    // The address can be typed as well as chosen.
    cbNetAdrr = ui::editableCombo(this, QStringLiteral("cbNetAdrr"), {7770, 60, 1035, 420},
                                  QStringLiteral("Сетевой номер прибора"));
    Command1 = ui::button(this, QStringLiteral("Command1"), QStringLiteral("Выход"), {8940, 60, 2835, 525},
                          QStringLiteral("Выход из программы"));
    Read = ui::button(this, QStringLiteral("Read"), kCaptionStart, {8940, 660, 2835, 525},
                      QStringLiteral("Начать чтение"));

    fgCommonContacts = makeGrid(this, QStringLiteral("fgCommonContacts"), 2, 4, {60, 600, 5895, 615},
                                QStringLiteral("Состояние общеприборных реле"));

    lError = ui::label(this, QStringLiteral("lError"), QStringLiteral("Прибор не отвечает"), {6060, 600, 2745, 615});
    lError->setToolTip(QStringLiteral("Состояние процесса обмена с приборм"));
    lError->setWordWrap(true);
    {
        QPalette p = lError->palette();
        p.setColor(QPalette::WindowText, kRed);
        lError->setPalette(p);
    }
    lError->hide();

    fgContactsState = makeGrid(this, QStringLiteral("fgContactsState"), 2, 17, {30, 1320, 7095, 615},
                               QStringLiteral("Состояние реле"));
    fgDiscr = makeGrid(this, QStringLiteral("fgDiscr"), 2, 5, {7290, 1320, 4455, 615},
                       QStringLiteral("Состояние дискретных входов"));

    Label30 = ui::label(this, QStringLiteral("Label30"), QStringLiteral("Состояние входов управления записью в буфера"), {30, 2040, 11715, 225});
    Label30->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // 1110 wide in the design; widened into the gap before lBuf1State so that
    // the caption fits this font.
    Label29 = ui::label(this, QStringLiteral("Label29"), QStringLiteral("Первый буфер"), {60, 2310, 1170, 195});
    lBuf1State = ui::label(this, QStringLiteral("lBuf1State"), QString(), {1230, 2280, 4605, 255});
    lBuf1State->setToolTip(QStringLiteral("Состояние входа управления первого буфера"));
    Label28 = ui::label(this, QStringLiteral("Label28"), QStringLiteral("Второй буфер"), {6000, 2310, 1095, 225});
    lBuf2State = ui::label(this, QStringLiteral("lBuf2State"), QString(), {7110, 2280, 4635, 255});
    lBuf2State->setToolTip(QStringLiteral("Состояние входа управления второго буфера"));
    for (QLabel* l : {lBuf1State, lBuf2State}) {
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // A little air between the caption before it and the state text.
        l->setIndent(3);
        l->setAutoFillBackground(true);
        setBackground(l, buttonFace(this));
    }

    Greed = makeGrid(this, QStringLiteral("Greed"), 3, 31, {30, 2670, 11715, 855},
                     QStringLiteral("Таблица измеренных значений по каналам и их состояние"));
    for (int r = 1; r < 3; ++r)
        for (int k = 0; k < kChannelsPerModule; ++k)
            Greed->item(r, 5 * k + 1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The legend under the grid: for each channel a staircase of four labels,
    // each hanging from a line that comes down from its state column.
    const QStringList legend = {QStringLiteral("Состояние изм"), QStringLiteral("Первая уставка"),
                                QStringLiteral("Вторая уставка"), QStringLiteral("Обрыв датчика")};
    const int legendLeft[4] = {990, 1110, 1350, 1560};
    const int legendTop[4] = {3570, 3750, 3960, 4170};
    const int gridBottom = 2670 + 855;
    const int channelWidth = 1002 + 4 * 200;
    const QFont small = instrument::windowFont(7);
    for (int k = 0; k < kChannelsPerModule; ++k) {
        for (int s = 0; s < 4; ++s) {
            const int n = 4 * k + s;
            // The middle of state column 5k-3+s, in twips from the window's left.
            const int columnMiddle = 30 + 900 + k * channelWidth + 1002 + s * 200 + 100;
            const int labelLeft = legendLeft[s] + k * 1800;
            const int top = legendTop[s];
            auto* label = makeLabel(this, QStringLiteral("Label%1").arg(4 + n), legend[s],
                                    QRect(QPoint(twips(labelLeft), twips(top)),
                                          QPoint(twips(columnMiddle) - 3, twips(top + 225) - 1)));
            label->setFont(small);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            legendLabels.append(label);

            auto* line = new QFrame(this);
            line->setObjectName(QStringLiteral("Line%1").arg(1 + n));
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Plain);
            line->setGeometry(QRect(QPoint(twips(columnMiddle), twips(gridBottom)),
                                    QPoint(twips(columnMiddle), twips(top + 112))));
            legendLines.append(line);
        }
    }

    // Controls the engineer never sees: they sit below the client area.
    Send = ui::button(this, QStringLiteral("Send"), QStringLiteral("Send"), {120, 7800, 1215, 375});
    Command = ui::textBox(this, QStringLiteral("Command"), {1440, 7800, 4095, 375});
    Command->setText(QStringLiteral("Command"));
    Reply = ui::textBox(this, QStringLiteral("Reply"), {5640, 7800, 4095, 375});
    Reply->setText(QStringLiteral("Reply"));
    Label2 = ui::label(this, QStringLiteral("Label2"), QString(), {1440, 8280, 4095, 255});
    Label3 = ui::label(this, QStringLiteral("Label3"), QString(), {5640, 8280, 4095, 255});
    for (QWidget* w : {static_cast<QWidget*>(Send), static_cast<QWidget*>(Command), static_cast<QWidget*>(Reply)})
        w->setFocusPolicy(Qt::NoFocus);
}

void Main_Reader::connectHandlers()
{
    connect(cmbPort, &QComboBox::currentIndexChanged, this, &Main_Reader::cmbPort_Click);
    connect(cmbSpeed, &QComboBox::currentIndexChanged, this, &Main_Reader::cmbSpeed_Click);
    connect(cbNetAdrr, &QComboBox::editTextChanged, this, &Main_Reader::cbNetAdrr_Change);
    ui::onFocusLost(cbNetAdrr, [this] { cbNetAdrr_LostFocus(); });
    connect(Read, &QPushButton::clicked, this, &Main_Reader::Read_Click);
    connect(Command1, &QPushButton::clicked, this, &Main_Reader::Command1_Click);
    connect(Send, &QPushButton::clicked, this, &Main_Reader::Send_Click);
    connect(&m_pause, &QTimer::timeout, this, &Main_Reader::CRead);
}

bool Main_Reader::Form_Load()
{
    setWindowTitle(ui::caption(QStringLiteral("Чтение показаний датчиков"), kVersion));
    if (!loadLink())
        return false;
    instrument::Dev& d = *dev();
    QStringList problems;

    // Port list; the link has read COMport/number already.
    if (!ui::fillPorts(cmbPort, d.Number)) {
        const QStringList ports = ui::portItems();
        problems << QStringLiteral("В файле \"%1\" в разделе [COMport] ключ number = \"%2\": порта COM%2 нет в "
                                   "списке %3…%4, выбран %5.")
                        .arg(ui::keys::kDevDat)
                        .arg(d.Number)
                        .arg(ports.first(), ports.last(), cmbPort->currentText());
    }
    d.Number = quint8(cmbPort->currentIndex() + 1);

    // Speed list from section PROGS.
    const ui::SpeedList speeds = ui::readSpeedList(d);
    problems << speeds.problems;
    ui::fill(cmbSpeed, speeds.items, speeds.index);
    if (speeds.index >= 0)
        d.Settings = cmbSpeed->currentText();

    // Network address: always 1 at start.
    ui::fillNetAddresses(cbNetAdrr, d, 1);

    writeGridHeaders();
    reportStartProblems(problems);
    connectHandlers();
    return true;
}

void Main_Reader::writeGridHeaders()
{
    setText(Greed, 1, 0, QStringLiteral("Модуль 1"));
    setText(Greed, 2, 0, QStringLiteral("Модуль 2"));
    QList<int> widths = {900};
    // The value columns share what the header and state columns leave of the
    // grid's inside (its width less the frame); widths that do not come out
    // whole round half to even.
    const int inside = (Greed->width() - 2 * Greed->frameWidth()) * 15;
    const int valueWidth = int(std::nearbyint((inside - 900 - 4800) / 6.0));
    for (int k = 1; k <= kChannelsPerModule; ++k) {
        const int first = 5 * k - 4;
        for (int c = first; c <= 5 * k; ++c)
            setText(Greed, 0, c, QStringLiteral("Канал %1").arg(k));
        Greed->setSpan(0, first, 1, 5);
        widths << valueWidth << 200 << 200 << 200 << 200;
    }
    ui::setColumnWidths(Greed, widths);

    setText(fgDiscr, 0, 0, QStringLiteral("Номер канала"));
    setText(fgDiscr, 1, 0, QStringLiteral("Дискретные входы"));
    widths = {1600};
    for (int c = 1; c <= 4; ++c) {
        setText(fgDiscr, 0, c, QString::number(c));
        widths << int(std::nearbyint((4455 - 1600) / 4.0 - 31)); // 683
    }
    ui::setColumnWidths(fgDiscr, widths);

    setText(fgContactsState, 0, 0, QStringLiteral("Номер реле"));
    setText(fgContactsState, 1, 0, QStringLiteral("Состояние"));
    widths = {1000};
    for (int c = 1; c <= 16; ++c) {
        setText(fgContactsState, 0, c, QString::number(c));
        widths << int(std::nearbyint((7095 - 1210) / 16.0)); // 368
    }
    ui::setColumnWidths(fgContactsState, widths);

    setText(fgCommonContacts, 0, 0, QStringLiteral("Общеприборные реле"));
    setText(fgCommonContacts, 0, 1, QStringLiteral("Обрыв датчика"));
    setText(fgCommonContacts, 0, 2, QStringLiteral("Первая уставка"));
    setText(fgCommonContacts, 0, 3, QStringLiteral("Вторая уставка"));
    setText(fgCommonContacts, 1, 0, QStringLiteral("Состояние реле"));
    ui::setColumnWidths(fgCommonContacts, {1800, 1300, 1300, 1300});
}

void Main_Reader::setPauses(int afterSuccessMs, int afterFailureMs)
{
    m_pauseAfterSuccessMs = afterSuccessMs;
    m_pauseAfterFailureMs = afterFailureMs;
}

// ---- selectors ----------------------------------------------------------------------

void Main_Reader::cmbPort_Click(int index)
{
    if (index >= 0)
        dev()->Number = quint8(index + 1);
}

void Main_Reader::cmbSpeed_Click(int index)
{
    if (index >= 0)
        dev()->Settings = cmbSpeed->itemText(index);
}

void Main_Reader::cbNetAdrr_Change(const QString& text)
{
    // A whole number from 0 to 255 is the address; anything else leaves the
    // address as it was.
    static const QRegularExpression digits(QStringLiteral("^\\s*(\\d{1,3})\\s*$"));
    const QRegularExpressionMatch m = digits.match(text);
    if (!m.hasMatch())
        return;
    const int address = m.captured(1).toInt();
    if (address <= 255)
        dev()->bNetAdrr = quint8(address);
}

void Main_Reader::cbNetAdrr_LostFocus()
{
    // Show the address in force, so that what the box says is what is sent.
    const quint8 address = dev()->bNetAdrr;
    const QString shown = QString::number(address);
    if (cbNetAdrr->currentText() != shown)
        cbNetAdrr->setCurrentIndex(address);
    if (cbNetAdrr->currentText() != shown)
        cbNetAdrr->setEditText(shown);
}

// ---- buttons ------------------------------------------------------------------------

void Main_Reader::Read_Click()
{
    if (Read->text() == kCaptionStart)
        startReading();
    else
        stopReading();
}

void Main_Reader::Command1_Click()
{
    close();
}

void Main_Reader::Send_Click()
{
    Read->setEnabled(false);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Read->setEnabled(true);
}

void Main_Reader::setSelectorsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(Send), static_cast<QWidget*>(Command), static_cast<QWidget*>(Reply),
                       static_cast<QWidget*>(cbNetAdrr), static_cast<QWidget*>(cmbSpeed),
                       static_cast<QWidget*>(Command1), static_cast<QWidget*>(cmbPort)})
        w->setEnabled(enabled);
}

void Main_Reader::startReading()
{
    Read->setText(kCaptionStop);
    setSelectorsEnabled(false);
    m_stop = false;
    // A start clicked while the previous cycle still waits for its answer
    // lets that cycle carry on; there is never a second exchange at once.
    if (!isBusy() && !m_pause.isActive())
        CRead();
}

void Main_Reader::stopReading()
{
    Read->setText(kCaptionStart);
    setSelectorsEnabled(true);
    m_stop = true;
    m_pause.stop();
}

// ---- the reading cycle --------------------------------------------------------------

void Main_Reader::CRead()
{
    if (m_stop)
        return;

    instrument::Dev& d = *dev();
    // During continuous reading every cycle makes exactly one attempt.
    d.NofRereadings = 0;
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer = op.perform(instrument::map::readingsCall());
    if (!answer || !op.finish())
        return; // the window was closed while the link waited

    const bool ok = d.COMError == 0;
    if (!ok) {
        // The display keeps what the last good answer showed.
        lError->setText(d.sErrorMsg);
        lError->show();
    } else {
        lError->clear();
        lError->hide();
        showReadings(decodeReadings(*answer, d.sFloatingPointSeparator));
    }
    emit cycleFinished(ok);

    if (!m_stop)
        m_pause.start(ok ? m_pauseAfterSuccessMs : m_pauseAfterFailureMs);
}

void Main_Reader::showReadings(const Readings& r)
{
    if (!r.mains) {
        lError->setText(kNoMains);
        lError->show();
    }

    for (int i = 0; i < 4; ++i)
        paintCell(fgDiscr, 1, i + 1, r.discrete[i] ? kYellow : kWhite);

    const std::pair<QLabel*, bool> buffers[] = {{lBuf1State, r.bufferControl[0]}, {lBuf2State, r.bufferControl[1]}};
    for (const auto& [label, on] : buffers) {
        label->setText(on ? kBufferSignalOn : kBufferSignalOff);
        setBackground(label, on ? kYellow : buttonFace(this));
    }

    for (int i = 0; i < 16; ++i)
        paintCell(fgContactsState, 1, i + 1, r.relays[i] ? kYellow : kWhite);

    // The instrument-wide relays are relays 16, 14 and 15.
    const int common[3] = {16, 14, 15};
    for (int c = 0; c < 3; ++c)
        paintCell(fgCommonContacts, 1, c + 1, r.relays[common[c] - 1] ? kYellow : kWhite);

    for (int i = 0; i < r.channels.size(); ++i) {
        const ChannelReading& ch = r.channels[i];
        const int row = 1 + i / kChannelsPerModule;
        const int k = 1 + i % kChannelsPerModule;
        const int valueCol = 5 * k - 4;
        const int stateCol = 5 * k - 3;

        setText(Greed, row, stateCol, ch.state);
        const QColor back = ch.normal() ? kWhite : kRed;
        const QColor fore = ch.normal() ? kBlack : kWhite;
        paintCell(Greed, row, valueCol, back, fore);
        paintCell(Greed, row, stateCol, back, fore);

        paintCell(Greed, row, 5 * k, ch.sensorBreak ? kRed : kWhite);
        paintCell(Greed, row, 5 * k - 1, ch.secondSetpoint ? kYellow : kWhite);
        paintCell(Greed, row, 5 * k - 2, ch.firstSetpoint ? kYellow : kWhite);

        setText(Greed, row, valueCol, ch.value);
    }
}

// ---- closing ------------------------------------------------------------------------

void Main_Reader::windowClosing()
{
    // A close during an exchange waits for it to return (the program window
    // holds it); the loop then makes no further cycle.
    m_stop = true;
    m_pause.stop();
}

} // namespace reader
