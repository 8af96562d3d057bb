#include "memory_window.h"

#include "controls.h"
#include "linkchoice.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "link.h"
#include "operation.h"
#include "programfolder.h"
#include "protocol.h"
#include "settingskeys.h"
#include "windowstyle.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace memory {

const QString kProgram = QStringLiteral("Memory");

namespace {

using ui::Twips;

const QString kTitle = QStringLiteral("Работа с памятью измеренных значений");
const QString kVersion = QStringLiteral("1.0.0");
const QString kHelperProgram = QStringLiteral("33.exe");
const QString kDayLightFile = QStringLiteral("tmp.txt");

namespace map = instrument::map;

// The speed item taken when "dev.dat" names none the list has.
constexpr int kDefaultSpeedIndex = 4;

} // namespace

const QStringList& frmMain::intervals()
{
    static const QStringList list{
        QStringLiteral("1"),  QStringLiteral("2"),   QStringLiteral("3"),   QStringLiteral("10"),  QStringLiteral("30"),
        QStringLiteral("60"), QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("3600"),
    };
    return list;
}

frmMain::frmMain(QWidget* parent)
    : ui::ProgramWindow(kProgram, parent), m_now([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 9615, 7815);
    createControls();
    guard().setControls(userControls());
    connectHandlers();
}

frmMain::~frmMain() = default;

void frmMain::setClock(std::function<QDateTime()> now)
{
    m_now = std::move(now);
}

// ---- controls -------------------------------------------------------------------

void frmMain::createControls()
{
    const ui::LinkChoice link = ui::createLinkChoice(this);
    lPort = link.lPort;
    cmbPort = link.cmbPort;
    lSpeed = link.lSpeed;
    cmbSpeed = link.cmbSpeed;
    lNetAdrr = link.lNetAdrr;
    cmbNetAdrr = link.cmbNetAdrr;
    cmbExit = ui::button(this, QStringLiteral("cmbExit"), QStringLiteral("Выход"), Twips{8160, 240, 1335, 435},
                         QStringLiteral("Выход из программы"));

    // The tab bar 330 high over the pages, two headers 4680 wide.
    SSTab1 = ui::tabControl(this, QStringLiteral("SSTab1"), Twips{120, 840, 9375, 330 + 6525});
    // On the bar alone: a style sheet on the tab control would give the
    // pages the application's font instead of the window's.
    SSTab1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { width: %1px; height: %2px; }")
                              .arg(instrument::twips(4680) - 2)
                              .arg(instrument::twips(330) - 2));
    SSTab1->setUsesScrollButtons(false);
    createReadingTab();
    createSettingsTab();
    SSTab1->setCurrentIndex(0);

    tmClock = new QTimer(this);
    tmClock->setObjectName(QStringLiteral("tmClock"));
    tmClock->setInterval(500);
}

void frmMain::createSettingsTab()
{
    tabSettings = ui::tabPage(SSTab1, QStringLiteral("tabSettings"),
                              QStringLiteral("Настройка буферов и коректировка часов"));
    lBuffNum2 = ui::label(tabSettings, QStringLiteral("lBuffNum2"), QStringLiteral("Выбрать буффер"),
                          Twips{240, 240, 1455, 255});
    cmbBuffNum2 = ui::dropDownList(tabSettings, QStringLiteral("cmbBuffNum2"), Twips{1815, 180, 855, 315},
                                   QStringLiteral("Выбор буфера для настройки"));
    createSettingsGroup(1);
    createSettingsGroup(2);
    createStateGroup(1);
    createStateGroup(2);
    createClockGroup();
}

void frmMain::createSettingsGroup(int group)
{
    const QString n = group == 1 ? QString() : QStringLiteral("2");
    const int left = group == 1 ? 120 : 4800;
    QGroupBox* g = ui::group(tabSettings, QStringLiteral("fraSettings") + n,
                             QStringLiteral("Настройки буфера %1").arg(group), Twips{left, 600, 4455, 2295});
    const QString intervalText = QStringLiteral("Интервал записи в секундах");
    QLabel* li = ui::label(g, QStringLiteral("lInterval") + n, intervalText, Twips{120, 330, 2295, 255});
    QComboBox* ci = ui::editableCombo(g, QStringLiteral("cmbInterval") + n, Twips{2520, 270, 1815, 315}, intervalText);
    QLabel* lb = ui::label(g, QStringLiteral("lBuffBegin") + n, QStringLiteral("Адрес начала"),
                           Twips{120, 750, 2295, 255});
    QLineEdit* tb = ui::textBox(g, QStringLiteral("tbBuffBegin") + n, Twips{2520, 690, 1815, 315},
                                QStringLiteral("Адрес начала буфера"));
    QLabel* ll = ui::label(g, QStringLiteral("lBuffLength") + n, QStringLiteral("длина"), Twips{120, 1170, 2295, 255});
    QLineEdit* tl = ui::textBox(g, QStringLiteral("tbBuffLength") + n, Twips{2520, 1110, 1815, 315},
                                QStringLiteral("Длина буфера"));
    QLabel* lc = ui::label(g, QStringLiteral("lBuffPtrCaption") + n, QStringLiteral("Текущий кадр"),
                           Twips{120, 1590, 2295, 255});
    QLabel* lp = ui::label(g, QStringLiteral("lBuffPtr") + n, QString(), Twips{2520, 1530, 1815, 315});
    lp->setToolTip(QStringLiteral("Текущий записываемый кадр"));
    lp->setFrameShape(QFrame::Panel);
    lp->setFrameShadow(QFrame::Sunken);
    lp->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lp->setIndent(3);
    QPushButton* br = ui::button(g, QStringLiteral("cmbReadBuffSettings") + n, QStringLiteral("Прочитать"),
                                 Twips{120, 1890, 2055, 315}, QStringLiteral("Прочитать настройки буфера"));
    QPushButton* bw = ui::button(g, QStringLiteral("cmdWriteBuffSettings") + n, QStringLiteral("Записать"),
                                 Twips{2280, 1890, 2055, 315}, QStringLiteral("Записать настройки буфера"));
    if (group == 1) {
        fraSettings = g;
        lInterval = li;
        cmbInterval = ci;
        lBuffBegin = lb;
        tbBuffBegin = tb;
        lBuffLength = ll;
        tbBuffLength = tl;
        lBuffPtrCaption = lc;
        lBuffPtr = lp;
        cmbReadBuffSettings = br;
        cmdWriteBuffSettings = bw;
    } else {
        fraSettings2 = g;
        lInterval2 = li;
        cmbInterval2 = ci;
        lBuffBegin2 = lb;
        tbBuffBegin2 = tb;
        lBuffLength2 = ll;
        tbBuffLength2 = tl;
        lBuffPtrCaption2 = lc;
        lBuffPtr2 = lp;
        cmbReadBuffSettings2 = br;
        cmdWriteBuffSettings2 = bw;
    }
}

void frmMain::createStateGroup(int group)
{
    const QString n = group == 1 ? QString() : QStringLiteral("2");
    const int left = group == 1 ? 120 : 4800;
    QGroupBox* g = ui::group(tabSettings, QStringLiteral("fraState") + n,
                             QStringLiteral("Состояние буфера %1").arg(group), Twips{left, 3000, 4455, 1695});
    QLabel* ls = ui::label(g, QStringLiteral("lBuffState") + n, QString(), Twips{120, 270, 4215, 495});
    ls->setToolTip(QStringLiteral("Состояние буфера"));
    ls->setWordWrap(true);
    ls->setAutoFillBackground(true);
    QLabel* lo = ui::label(g, QStringLiteral("lOutSignal") + n, QString(), Twips{120, 810, 4215, 255});
    lo->setToolTip(QStringLiteral("Наличие сигнала управления"));
    QPushButton* start = ui::button(g, QStringLiteral("cmbStartWriting") + n, QStringLiteral("Начать запись"),
                                    Twips{120, 1170, 1335, 375}, QStringLiteral("Начать запись в буфер"));
    QPushButton* stop = ui::button(g, QStringLiteral("cmdStopWriting") + n, QStringLiteral("Остановить запись"),
                                   Twips{1560, 1170, 1575, 375}, QStringLiteral("Остановить запись в буфер"));
    QPushButton* read = ui::button(g, QStringLiteral("cmbReadState") + n, QStringLiteral("Прочитать"),
                                   Twips{3240, 1170, 1095, 375}, QStringLiteral("Прочитать состояние буфера"));
    if (group == 1) {
        fraState = g;
        lBuffState = ls;
        lOutSignal = lo;
        cmbStartWriting = start;
        cmdStopWriting = stop;
        cmbReadState = read;
    } else {
        fraState2 = g;
        lBuffState2 = ls;
        lOutSignal2 = lo;
        cmbStartWriting2 = start;
        cmdStopWriting2 = stop;
        cmbReadState2 = read;
    }
}

void frmMain::createClockGroup()
{
    fraClock = ui::group(tabSettings, QStringLiteral("fraClock"), QStringLiteral("Корректировка часов"),
                         Twips{120, 4800, 9135, 1455});
    lSystemTyme = ui::label(fraClock, QStringLiteral("lSystemTyme"), QStringLiteral("Системы"),
                            Twips{120, 330, 915, 255});
    tbSystemTyme = ui::textBox(fraClock, QStringLiteral("tbSystemTyme"), Twips{1080, 270, 2535, 315},
                               QStringLiteral("Текущее время системы"));
    lDevTyme = ui::label(fraClock, QStringLiteral("lDevTyme"), QStringLiteral("Прибора"), Twips{120, 750, 915, 255});
    tbDevTyme = ui::textBox(fraClock, QStringLiteral("tbDevTyme"), Twips{1080, 690, 2535, 315},
                            QStringLiteral("Текущее время прибора"));
    // The clocks are shown, not typed: what is sent is always the PC clock.
    tbSystemTyme->setReadOnly(true);
    tbDevTyme->setReadOnly(true);
    cmdClockRead = ui::button(fraClock, QStringLiteral("cmdClockRead"), QStringLiteral("Прочитать"),
                              Twips{3840, 270, 1455, 375},
                              QStringLiteral("Прочитать текущее время прибора и состояние батареи"));
    cmdClockWrite = ui::button(fraClock, QStringLiteral("cmdClockWrite"), QStringLiteral("Записать"),
                               Twips{3840, 690, 1455, 375}, QStringLiteral("Записать текущее время системы в прибор"));
    lBat = ui::label(fraClock, QStringLiteral("lBat"), QString(), Twips{5520, 480, 3495, 315});
    lBat->setToolTip(QStringLiteral("Состояние батарее прибора"));
}

QList<QWidget*> frmMain::userControls() const
{
    return {cmbPort,          cmbSpeed,          cmbNetAdrr,          cmbBuffNum,            Command1,
            Command2,         Command3,          Command4,            Command5,              cmdStopReadingFrames,
            Command7,         tbFileName,        cmbExit,             cmbBuffNum2,           cmbReadState,
            cmdStopWriting,   cmbStartWriting,   cmbInterval,         tbBuffBegin,           tbBuffLength,
            cmbReadBuffSettings, cmdWriteBuffSettings, cmbReadState2, cmdStopWriting2,       cmbStartWriting2,
            cmbInterval2,     tbBuffBegin2,      tbBuffLength2,       cmbReadBuffSettings2,  cmdWriteBuffSettings2,
            cmdClockRead,     cmdClockWrite};
}

void frmMain::connectHandlers()
{
    ui::connectLinkChoice({lPort, cmbPort, lSpeed, cmbSpeed, lNetAdrr, cmbNetAdrr}, this, *dev());
    connect(cmbExit, &QPushButton::clicked, this, &frmMain::cmbExit_Click);
    connect(tmClock, &QTimer::timeout, this, &frmMain::tmClock_Timer);

    connectReadingTab();

    connect(cmbBuffNum2, &QComboBox::currentIndexChanged, this, [this](int) { cmbBuffNum2_Click(); });
    connect(cmbReadBuffSettings, &QPushButton::clicked, this, &frmMain::cmbReadBuffSettings_Click);
    connect(cmdWriteBuffSettings, &QPushButton::clicked, this, &frmMain::cmdWriteBuffSettings_Click);
    connect(cmbReadBuffSettings2, &QPushButton::clicked, this, &frmMain::cmbReadBuffSettings2_Click);
    connect(cmdWriteBuffSettings2, &QPushButton::clicked, this, &frmMain::cmdWriteBuffSettings2_Click);
    connect(cmbStartWriting, &QPushButton::clicked, this, &frmMain::cmbStartWriting_Click);
    connect(cmdStopWriting, &QPushButton::clicked, this, &frmMain::cmdStopWriting_Click);
    connect(cmbReadState, &QPushButton::clicked, this, &frmMain::cmbReadState_Click);
    connect(cmbStartWriting2, &QPushButton::clicked, this, &frmMain::cmbStartWriting2_Click);
    connect(cmdStopWriting2, &QPushButton::clicked, this, &frmMain::cmdStopWriting2_Click);
    connect(cmbReadState2, &QPushButton::clicked, this, &frmMain::cmbReadState2_Click);
    connect(cmdClockRead, &QPushButton::clicked, this, &frmMain::cmdClockRead_Click);
    connect(cmdClockWrite, &QPushButton::clicked, this, &frmMain::cmdClockWrite_Click);
}

// ---- start-up and exit ------------------------------------------------------------

bool frmMain::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, kVersion));
    pbReading->setValue(0);
    startHelperProgram();

    if (!loadLink())
        return false;

    // Values of "dev.dat" the lists cannot take: each is replaced by the
    // list's default item and named in one message at the end.
    QStringList problems;
    readPresets(&problems);
    ui::loadLinkChoice({lPort, cmbPort, lSpeed, cmbSpeed, lNetAdrr, cmbNetAdrr}, *dev(), kDefaultSpeedIndex,
                       &problems);

    ui::fill(cmbBuffNum, {QStringLiteral("1"), QStringLiteral("2")}, 0);
    ui::fill(cmbInterval, intervals(), 0);
    ui::fill(cmbInterval2, intervals(), 0);
    ui::fill(cmbBuffNum2, {QStringLiteral("1"), QStringLiteral("2")}, 0);
    cmbBuffNum2_Click();

    tbBuffBegin->setText(QStringLiteral("0"));
    tbBuffBegin2->setText(QStringLiteral("4096"));
    tbBuffLength->setText(QStringLiteral("4095"));
    tbBuffLength2->setText(QStringLiteral("4095"));

    // An empty MEMORY/DIR is the program folder, as an absent one.
    sSaveDir = dev()->sGetINI(QStringLiteral("MEMORY"), QStringLiteral("DIR"), QStringLiteral("0"));
    if (sSaveDir == QLatin1String("0") || sSaveDir.trimmed().isEmpty())
        sSaveDir = instrument::programFolder();

    // The PC clock is shown at once, not half a second later.
    tmClock_Timer();
    tmClock->start();

    reportStartProblems(problems);
    return true;
}

void frmMain::startHelperProgram()
{
    // Started only from the program folder, never searched for; whether it
    // is there or starts at all makes no difference to this program.
    const QString path = instrument::programFile(kHelperProgram);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return;
    QProcess helper;
    helper.setProgram(info.absoluteFilePath());
    helper.setWorkingDirectory(info.absolutePath());
    helper.setStandardInputFile(QProcess::nullDevice());
    helper.setStandardOutputFile(QProcess::nullDevice());
    helper.setStandardErrorFile(QProcess::nullDevice());
    m_helperStarted = helper.startDetached();
}

void frmMain::readPresets(QStringList* problems)
{
    const QString sections[2] = {QStringLiteral("BUFF1"), QStringLiteral("BUFF2")};
    for (int i = 0; i < 2; ++i) {
        auto read = [&](const QString& key, const QString& what, qint64 lo, qint64 hi,
                        const QString& why) -> qint16 {
            const QString text = dev()->sGetINI(sections[i], key, QStringLiteral("0"));
            qint64 v = 0;
            if (instrument::toWholeNumber(text, dev()->sFloatingPointSeparator, lo, hi, &v))
                return qint16(v);
            *problems << ui::notTaken(what, text, sections[i], key, why, QStringLiteral("0"));
            return 0;
        };
        const QString whole = QStringLiteral("не целое число от -32768 до 32767");
        m_presetLength[i] = read(QStringLiteral("BuffLen"), QStringLiteral("длина буфера"), -32768, 32767, whole);
        m_presetStart[i] = read(QStringLiteral("StartFrame"), QStringLiteral("начало буфера"), -32768, 32767, whole);
        m_presetInterval[i] = read(QStringLiteral("BuffInt"), QStringLiteral("номер интервала записи"), 0,
                                   intervals().size() - 1,
                                   QStringLiteral("вне списка интервалов (0..%1)").arg(intervals().size() - 1));
    }
}

void frmMain::windowClosing()
{
    tmClock->stop();
}

void frmMain::cmbExit_Click()
{
    close();
}

// ---- buffer settings --------------------------------------------------------------

void frmMain::cmbBuffNum2_Click()
{
    const int i = cmbBuffNum2->currentIndex();
    if (i < 0 || i > 1)
        return;
    tbBuffBegin->setText(QString::number(m_presetStart[i]));
    tbBuffLength->setText(QString::number(m_presetLength[i]));
    if (m_presetInterval[0] != 0)
        ui::selectItem(cmbInterval, m_presetInterval[i]);
    showGroupCaptions();
}

void frmMain::showGroupCaptions()
{
    const int b = groupBuffer(1) + 1;
    fraSettings->setTitle(QStringLiteral("Настройки буфера %1").arg(b));
    fraState->setTitle(QStringLiteral("Состояние буфера %1").arg(b));
}

int frmMain::groupBuffer(int group) const
{
    // The second groups always talk to buffer 2.
    return group == 2 ? 1 : qBound(0, cmbBuffNum2->currentIndex(), 1);
}

const map::Param& frmMain::bufferParam(int buffer, const char* key) const
{
    const map::Param* p = instrumentMap().find(QStringLiteral("buffer%1.%2").arg(buffer + 1).arg(QLatin1String(key)));
    Q_ASSERT(p);
    return *p;
}

map::Call frmMain::groupReadCall(int group, const map::Param& p) const
{
    map::Call c = map::readCalls(p).constFirst();
    if (group == 2 && p.key.endsWith(QLatin1String("signal")))
        c.address = c.address.toLower();
    return c;
}

std::optional<QString> frmMain::readGroupParam(ui::Operation& op, int group, const map::Param& p)
{
    const std::optional<QString> v = op.perform(groupReadCall(group, p));
    if (!v)
        return std::nullopt;
    if (!instrument::isNumber(*v, dev()->sFloatingPointSeparator)) {
        op.fail(*v);
        return std::nullopt;
    }
    return v;
}

void frmMain::readBuffSettings(int group)
{
    const int i = groupBuffer(group);
    QComboBox* interval = group == 1 ? cmbInterval : cmbInterval2;
    QLineEdit* begin = group == 1 ? tbBuffBegin : tbBuffBegin2;
    QLineEdit* length = group == 1 ? tbBuffLength : tbBuffLength2;
    QLabel* current = group == 1 ? lBuffPtr : lBuffPtr2;

    ui::Operation op(this, ui::Operation::Read);
    std::optional<QString> v = readGroupParam(op, group, bufferParam(i, "interval"));
    if (!v)
        return;
    const int item = interval->findText(*v, Qt::MatchExactly);
    item >= 0 ? ui::selectItem(interval, item) : ui::showInEditField(interval, *v);

    if (!(v = readGroupParam(op, group, bufferParam(i, "first"))))
        return;
    ui::showValue(begin, *v);
    if (!(v = readGroupParam(op, group, bufferParam(i, "length"))))
        return;
    ui::showValue(length, *v);
    if (!(v = readGroupParam(op, group, bufferParam(i, "current"))))
        return;
    current->setText(*v);
}

void frmMain::writeBuffSettings(int group)
{
    const int i = groupBuffer(group);
    const QString buffer = QString::number(i + 1);
    QComboBox* interval = group == 1 ? cmbInterval : cmbInterval2;
    QLineEdit* begin = group == 1 ? tbBuffBegin : tbBuffBegin2;
    QLineEdit* length = group == 1 ? tbBuffLength : tbBuffLength2;

    // Every box is checked before the first write: a box the instrument
    // cannot take sends nothing at all.
    struct Box {
        QString caption;
        QString text;
        const map::Param* param;
        QList<map::Call> calls;
    };
    Box boxes[3] = {
        {QStringLiteral("Интервал записи в секундах"), interval->currentText(), &bufferParam(i, "interval"), {}},
        {QStringLiteral("Адрес начала"), begin->text(), &bufferParam(i, "first"), {}},
        {QStringLiteral("длина"), length->text(), &bufferParam(i, "length"), {}},
    };
    for (Box& b : boxes) {
        const map::Param& p = *b.param;
        qint64 v = 0;
        QString value, wire, error;
        if (!instrument::toWholeNumber(b.text, dev()->sFloatingPointSeparator, p.lowest, p.highest, &v)
            || !map::parseValue(p, QString::number(v), dev()->NOfDigits, &value, &wire, &error)) {
            refuse(b.caption, QStringLiteral("буфера %1 «%2» не является целым числом от %3 до %4")
                                  .arg(buffer, b.text)
                                  .arg(p.lowest)
                                  .arg(p.highest));
            return;
        }
        // A buffer of no frames records nothing and loses what it held.
        if (&p == &bufferParam(i, "length") && v == 0) {
            refuse(b.caption, QStringLiteral("буфера %1 «%2»: буфер без кадров не может вести запись").arg(buffer, b.text));
            return;
        }
        b.calls = map::writeCalls(p, wire);
    }

    // Each register twice: the window sends its first calls of all three,
    // then their second ones.
    const auto item = [](const Box& b, const map::Call& c) {
        return QStringLiteral("«%1» командой %2").arg(b.caption).arg(c.command);
    };
    ui::Operation op(this, ui::Operation::Write);
    QStringList plan;
    for (int k = 0; k < 2; ++k)
        for (const Box& b : boxes)
            plan << item(b, b.calls.at(k));
    op.plan(plan);
    for (int k = 0; k < 2; ++k) {
        for (const Box& b : boxes) {
            const map::Call& c = b.calls.at(k);
            const std::optional<QString> answer = op.perform(c);
            if (!answer)
                return;
            if (*answer != QLatin1String("OK")) {
                op.fail(*answer);
                return;
            }
            op.done(item(b, c));
        }
    }
}

void frmMain::cmbReadBuffSettings_Click()
{
    readBuffSettings(1);
}

void frmMain::cmdWriteBuffSettings_Click()
{
    writeBuffSettings(1);
}

void frmMain::cmbReadBuffSettings2_Click()
{
    readBuffSettings(2);
}

void frmMain::cmdWriteBuffSettings2_Click()
{
    writeBuffSettings(2);
}

// ---- recording and state ------------------------------------------------------------

QString frmMain::stateText(const QString& code)
{
    static const map::Map defaults;
    const QString text = map::itemText(*defaults.find(QStringLiteral("buffer1.state")), code.trimmed());
    return text.isEmpty() ? QStringLiteral("Логика работы буфера отключена") : text;
}

QColor frmMain::stateColour(const QString& code)
{
    if (code.trimmed() == QLatin1String("0"))
        return QApplication::palette().color(QPalette::Button);
    return QColor(0xFF, 0xFF, 0x80);
}

void frmMain::writeRecording(int group, const QString& value)
{
    const map::Param& p = bufferParam(groupBuffer(group), "state");
    QString canonical, wire, error;
    if (!map::parseValue(p, value, dev()->NOfDigits, &canonical, &wire, &error)) {
        showError(error);
        return;
    }
    ui::Operation op(this, ui::Operation::Write);
    (void)op.writeParam(p, wire);
}

void frmMain::readState(int group)
{
    const int i = groupBuffer(group);
    QLabel* state = group == 1 ? lBuffState : lBuffState2;
    QLabel* signal = group == 1 ? lOutSignal : lOutSignal2;

    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> code = readGroupParam(op, group, bufferParam(i, "state"));
    if (!code)
        return;
    state->setText(stateText(*code));
    QPalette pal = state->palette();
    pal.setColor(QPalette::Window, stateColour(*code));
    state->setPalette(pal);

    const map::Param& signalParam = bufferParam(i, "signal");
    const std::optional<QString> s = readGroupParam(op, group, signalParam);
    if (!s)
        return;
    // An answer that is no item of the signal leaves the label as it was.
    const QString text = map::itemText(signalParam, s->trimmed());
    if (!text.isEmpty())
        signal->setText(text);
}

void frmMain::cmbStartWriting_Click()
{
    writeRecording(1, QStringLiteral("0"));
}

void frmMain::cmdStopWriting_Click()
{
    writeRecording(1, QStringLiteral("4"));
}

void frmMain::cmbReadState_Click()
{
    readState(1);
}

void frmMain::cmbStartWriting2_Click()
{
    writeRecording(2, QStringLiteral("0"));
}

void frmMain::cmdStopWriting2_Click()
{
    writeRecording(2, QStringLiteral("4"));
}

void frmMain::cmbReadState2_Click()
{
    readState(2);
}

// ---- clock ------------------------------------------------------------------------

bool frmMain::dayLight()
{
    // Read again only when the file has changed (or come or gone): the
    // timer asks twice a second.
    const QString path = instrument::programFile(kDayLightFile);
    const QFileInfo info(path);
    const bool exists = info.exists();
    const QDateTime modified = exists ? info.lastModified() : QDateTime();
    const qint64 size = exists ? info.size() : -1;
    DayLightFile& f = m_dayLight;
    if (f.read && f.exists == exists && f.modified == modified && f.size == size)
        return f.value;
    const QString value = dev()->sGetINIA(path, QStringLiteral("CurTime"), QStringLiteral("DayLight"), QStringLiteral("1"));
    double v = 0;
    // A value that is no number counts as the default, daylight saving on.
    f = DayLightFile{true, exists, modified, size,
                     !instrument::toNumber(value, dev()->sFloatingPointSeparator, &v) || v == 1};
    return f.value;
}

QString frmMain::systemClockText(const QDateTime& t)
{
    // Two digits a field from the one moment, whatever the locale writes.
    return t.toString(QStringLiteral("hh;mm;ss;dd;MM;yy")) + (dayLight() ? QStringLiteral(";57") : QStringLiteral(";53"));
}

void frmMain::tmClock_Timer()
{
    // The boxes are set only when their texts change: an idle window does
    // not repaint twice a second.
    const QDateTime t = m_now();
    const QString clock = systemClockText(t);
    if (tbSystemTyme->text() != clock)
        tbSystemTyme->setText(clock);
    // A run keeps the name it started with in the box and in its line.
    if (m_reader.isRunning()) {
        showRunProgress();
        return;
    }
    const QString name = QStringLiteral("F") + t.toString(QStringLiteral("hhmmssddMMyy")) + QStringLiteral(".dtl");
    if (tbFileName->text() != name)
        tbFileName->setText(name);
}

void frmMain::cmdClockRead_Click()
{
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer = op.perform(map::readCalls(*instrumentMap().find(QStringLiteral("clock"))).constFirst());
    if (!answer)
        return;
    if (dev()->COMError != 0) {
        op.fail(dev()->sErrorMsg);
        return;
    }
    QString t = *answer;
    QStringList fields;
    for (int k = 0; k < 8; ++k) {
        const int end = t.indexOf(QLatin1Char(';'));
        fields << (end < 0 ? t : t.left(end));
        t = end < 0 ? QString() : t.mid(end + 1);
    }
    double battery = 0;
    const bool good = instrument::toNumber(fields.at(7), dev()->sFloatingPointSeparator, &battery) && battery != 0;
    lBat->setText(good ? QStringLiteral("Батарея исправна") : QStringLiteral("Батарея неисправна"));
    // The time is the first seven fields; the eighth is the battery.
    QString shown;
    for (int k = 0; k < 7; ++k)
        shown += fields.at(k) + QLatin1Char(';');
    ui::showValue(tbDevTyme, shown);
}

void frmMain::cmdClockWrite_Click()
{
    // A fresh reading of the PC clock, shown as it is sent.
    tmClock_Timer();
    const QString sent = tbSystemTyme->text() + QStringLiteral(";57");
    ui::Operation op(this, ui::Operation::Write);
    (void)op.command(instrument::cmd::WriteClock, sent);
}

} // namespace memory
