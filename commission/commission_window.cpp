#include "commission_window.h"

#include "boxes.h"
#include "controls.h"
#include "lists.h"
#include "messagebox.h"
#include "netaddress.h"
#include "numbers.h"
#include "operation.h"
#include "link.h"
#include "portsdialog.h"
#include "statusbar.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <cmath>

namespace commission {

namespace {

const QString kTitle = QStringLiteral("Настройка прибора");

namespace map = instrument::map;

// The map's speed parameter: its items are the port settings.
const map::Param& speedParam()
{
    static const map::Map defaults;
    return *defaults.find(QStringLiteral("speed"));
}

// The item the instrument's speed falls back to (and the speed written when
// no item is selected): "4800,N,8,2".
constexpr int kDefaultSettingsIndex = 4;

// The window's height in twips: its controls, then the status bar.
constexpr int kClientHeight = 5310;

} // namespace

QString Main::version()
{
    return QStringLiteral("3.0.20");
}

const QStringList& Main::portSettings()
{
    static const QStringList list = [] {
        QStringList texts;
        for (const map::Item& item : speedParam().items)
            texts << item.text;
        return texts;
    }();
    return list;
}

const QStringList& Main::speedCodes()
{
    static const QStringList list = [] {
        QStringList codes;
        for (const map::Item& item : speedParam().items)
            codes << instrument::hexText(quint32(item.code));
        return codes;
    }();
    return list;
}

Main::Main(QWidget* parent) : ui::ProgramWindow(ui::caption(kTitle, version()), parent)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    // The search for the instrument below the instrument's settings, and the
    // status bar under it.
    ui::setFixedClientSize(this, 4155, kClientHeight);
    createControls();
    connectHandlers();
}

Main::~Main() = default;

void Main::createControls()
{
    Label4 = ui::label(this, QStringLiteral("Label4"), QStringLiteral("Номер порта"), {120, 60, 1095, 255});
    Label5 = ui::label(this, QStringLiteral("Label5"), QStringLiteral("Скорость"), {1260, 60, 1455, 255});
    Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    cmdExit = ui::button(this, QStringLiteral("cmdExit"), QStringLiteral("Выход"), {2760, 60, 1275, 435});
    ComNum = ui::dropDownList(this, QStringLiteral("ComNum"), {120, 300, 1095, 315}, QStringLiteral("Текущий COM порт"));
    RealSettings = ui::dropDownList(this, QStringLiteral("RealSettings"), {1200, 300, 1515, 315}, QStringLiteral("Текущие настройки COM порта"));
    Reload = ui::button(this, QStringLiteral("Reload"), QStringLiteral("Перезагрузка"), {2760, 570, 1275, 405},
                    QStringLiteral("Перезагрузить прибор"));
    Label6 = ui::label(this, QStringLiteral("Label6"), QStringLiteral("Сетевой номер прибора"), {120, 720, 1830, 195});
    RealNetAdrr = ui::dropDownList(this, QStringLiteral("RealNetAdrr"), {1980, 660, 735, 315}, QStringLiteral("Теущий сетевой адрес"));
    // The link test leaves the right-hand column, under "Выход" and
    // "Перезагрузка", to the port window's button.
    cmdTest = ui::button(this, QStringLiteral("cmdTest"), QStringLiteral("Проверка связи с прибором"), {120, 1050, 2595, 345});
    cmdPorts = ui::button(this, QStringLiteral("cmdPorts"), QStringLiteral("Порты…"), {2760, 1050, 1275, 345},
                          QStringLiteral("Какое устройство стоит за каждым номером порта"));
    Line1 = ui::line(this, QStringLiteral("Line1"), 90, 1470, 3960);
    // С, О and М of "СОМ" are Cyrillic letters here.
    Label1 = ui::label(this, QStringLiteral("Label1"), QStringLiteral("Настройки СОМ порта"), {120, 1590, 3885, 255});
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ComSettings = ui::editableCombo(this, QStringLiteral("ComSettings"), {120, 1950, 1575, 315}, QStringLiteral("Настройки COM порта"));
    SRead = ui::button(this, QStringLiteral("SRead"), QStringLiteral("Прочитать"), {1800, 1950, 1065, 375},
                    QStringLiteral("Прочитать настройки"));
    SWrite = ui::button(this, QStringLiteral("SWrite"), QStringLiteral("Записать"), {2940, 1950, 1065, 375},
                    QStringLiteral("Записать настройки"));
    Line2 = ui::line(this, QStringLiteral("Line2"), 90, 2430, 3960);
    Label2 = ui::label(this, QStringLiteral("Label2"), QStringLiteral("Сетевой адрес прибора"), {120, 2550, 3885, 255});
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    NetAdrr = ui::editableCombo(this, QStringLiteral("NetAdrr"), {120, 2910, 1095, 315}, QStringLiteral("Сетевой адрес"));
    NRead = ui::button(this, QStringLiteral("NRead"), QStringLiteral("Прочитать"), {1320, 2910, 1305, 375},
                    QStringLiteral("Прочитать сетевой адрес"));
    NWrite = ui::button(this, QStringLiteral("NWrite"), QStringLiteral("Записать"), {2730, 2910, 1305, 375},
                    QStringLiteral("Записать сетевой адрес"));
    Line3 = ui::line(this, QStringLiteral("Line3"), 90, 3390, 3960);
    Label3 = ui::label(this, QStringLiteral("Label3"), QStringLiteral("Число каналов"), {120, 3510, 3885, 255});
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    AmOfCh = ui::editableCombo(this, QStringLiteral("AmOfCh"), {120, 3870, 1095, 315}, QStringLiteral("Число каналов"));
    CRead = ui::button(this, QStringLiteral("CRead"), QStringLiteral("Прочитать"), {1320, 3870, 1305, 375},
                    QStringLiteral("Прочитать число каналов"));
    CWrite = ui::button(this, QStringLiteral("CWrite"), QStringLiteral("Записать"), {2730, 3870, 1305, 375},
                    QStringLiteral("Записать число каналов"));
    Line4 = ui::line(this, QStringLiteral("Line4"), 90, 4350, 3960);
    cmdFind = ui::button(this, QStringLiteral("cmdFind"), QStringLiteral("Найти прибор"), {120, 4470, 1575, 375},
                         QStringLiteral("Найти прибор, который не отвечает: все скорости и сетевые номера по очереди"));
    pbFind = ui::progressBar(this, QStringLiteral("pbFind"), {1800, 4530, 1065, 255}, QStringLiteral("Ход поиска прибора"));
    cmdStop = ui::button(this, QStringLiteral("cmdStop"), QStringLiteral("Стоп"), {2940, 4470, 1065, 375},
                         QStringLiteral("Остановить поиск прибора"));
    cmdStop->setEnabled(false);
    StatusBar = new ui::StatusBar(this);
    setStatusBar(StatusBar);
    // The stop button is the search's own, and its bar only shows: the
    // exchanges leave them alone.
    QList<QWidget*> controls;
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow() && w != StatusBar && w != cmdStop && w != pbFind)
            controls << w;
    guard().setControls(controls);

    const QList<QWidget*> tabOrder{ComNum, ComSettings, NetAdrr,     Reload,       SRead,
                                   SWrite, NRead,       NWrite,      AmOfCh,       CRead,
                                   CWrite, RealSettings, RealNetAdrr, cmdExit,     cmdTest,
                                   cmdPorts,  cmdFind,     cmdStop};
    for (int i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
}

void Main::connectHandlers()
{
    connect(cmdExit, &QPushButton::clicked, this, &Main::cmdExit_Click);
    connect(ComNum, &QComboBox::currentIndexChanged, this, &Main::ComNum_Click);
    connect(RealSettings, &QComboBox::currentIndexChanged, this, &Main::RealSettings_Click);
    ui::connectNetAddress(RealNetAdrr, this, [this] { RealNetAdrr_Click(); });
    connect(cmdTest, &QPushButton::clicked, this, &Main::cmdTest_Click);
    connect(cmdPorts, &QPushButton::clicked, this, &Main::cmdPorts_Click);
    connect(SRead, &QPushButton::clicked, this, &Main::SRead_Click);
    connect(SWrite, &QPushButton::clicked, this, &Main::SWrite_Click);
    connect(NRead, &QPushButton::clicked, this, &Main::NRead_Click);
    connect(NWrite, &QPushButton::clicked, this, &Main::NWrite_Click);
    connect(CRead, &QPushButton::clicked, this, &Main::CRead_Click);
    connect(CWrite, &QPushButton::clicked, this, &Main::CWrite_Click);
    connect(Reload, &QPushButton::clicked, this, &Main::Reload_Click);
    connect(cmdFind, &QPushButton::clicked, this, &Main::cmdFind_Click);
}

// ---- start-up and exit ----------------------------------------------------------

bool Main::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, version()));

    ui::fillPorts(ComNum, 1);
    dev()->Number = 1;

    if (!loadLink())
        return false;

    // An index that names no item of the nine starts on "4800,N,8,2"; the
    // index saved at exit is then a valid one again.
    const QString stored = dev()->sGetINI(ui::keys::kProgs, ui::keys::kSettingsIndex, QStringLiteral("4"));
    qint64 value = 0;
    int index = kDefaultSettingsIndex;
    if (instrument::toWholeNumber(stored, dev()->sFloatingPointSeparator, 0, portSettings().size() - 1, &value))
        index = int(value);
    ui::fill(ComSettings, portSettings());
    ui::selectItem(ComSettings, index);
    ui::fill(RealSettings, portSettings());
    RealSettings->setCurrentIndex(index);

    const map::Param& net = param(QStringLiteral("netnum"));
    ui::fill(NetAdrr, ui::numbers(int(net.lowest), int(net.highest)));
    ui::selectItem(NetAdrr, 0);
    ui::fill(RealNetAdrr, ui::numbers(int(net.lowest), int(net.highest)));
    RealNetAdrr->setCurrentIndex(1);

    const map::Param& count = param(QStringLiteral("channels"));
    ui::fill(AmOfCh, ui::numbers(int(count.lowest), int(count.highest)));
    ui::selectItem(AmOfCh, 0);

    dev()->Number = 1;
    dev()->Settings = QStringLiteral("4800,N,8,2");

    // The instrument's addresses: a key that is no 16-bit number is named
    // now, and the buttons that need it refuse.
    QStringList problems;
    for (const char* name : {"speed", "netnum", "channels"})
        if (!param(QLatin1String(name)).base.valid)
            problems << param(QLatin1String(name)).base.problem;
    m_loaded = true;
    reportStartProblems(problems);
    return true;
}

void Main::windowClosing()
{
    // A window whose start-up failed has nothing to save.
    if (!m_loaded)
        return;

    const int port = ComNum->currentIndex();
    const QString portNumber = QString::number(port + 1);
    const QString settings = RealSettings->currentText();
    const QList<std::array<QString, 3>> keys{
        {QStringLiteral("COMport"), QStringLiteral("number"), portNumber},
        {ui::keys::kProgs, ui::keys::kNumberIndex, QString::number(port)},
        {QStringLiteral("COM_SETTINGS"), QStringLiteral("Number"), portNumber},
        {QStringLiteral("COMport"), QStringLiteral("Number"), portNumber},
        {QStringLiteral("DEVICE"), QStringLiteral("NetAdrr"), QString::number(RealNetAdrr->currentIndex())},
        {QStringLiteral("COM_SETTINGS"), QStringLiteral("settings"), settings},
        {QStringLiteral("COMport"), QStringLiteral("settings"), settings},
    };
    // The first key that cannot be written ends the saving: the file has been
    // left as it was, and the user is told which file and why.
    bool saved = true;
    for (const auto& [section, key, value] : keys)
        if (!(saved = dev()->sWriteINI(section, key, value)))
            break;
    if (saved)
        saved = ui::writeSpeedList(*dev(), portSettings(), RealSettings->currentIndex());
    if (!saved)
        showError(dev()->iniWriteError());
}

void Main::cmdExit_Click()
{
    close();
}

// ---- the PC side of the link ------------------------------------------------------

void Main::ComNum_Click()
{
    dev()->Number = quint8(ComNum->currentIndex() + 1);
}

void Main::cmdPorts_Click()
{
    if (!m_ports) {
        m_ports = new ui::PortsDialog(*dev(), kTitle, ComNum->currentIndex() + 1, this);
        m_ports->setAttribute(Qt::WA_DeleteOnClose);
        // The port list says at once what a number stands for now.
        connect(m_ports, &ui::PortsDialog::portAssigned, this, [this] { ui::fillPorts(ComNum, ComNum->currentIndex() + 1); });
    }
    m_ports->open();
}

void Main::RealSettings_Click()
{
    dev()->Settings = RealSettings->currentText();
}

void Main::RealNetAdrr_Click()
{
    dev()->bNetAdrr = quint8(qMax(0, RealNetAdrr->currentIndex()));
}

void Main::settingsToLink()
{
    dev()->Settings = RealSettings->currentText();
}

void Main::cmdTest_Click()
{
    // Command 0 to the address shown, with or without the link's address
    // setting: any answer that holds "!" proves the link.
    settingsToLink();
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer = op.call([&](instrument::Dev& d) {
        return d.sPortSR(QLatin1Char(':') + RealNetAdrr->currentText() + QStringLiteral(";0;"));
    });
    if (!answer || !op.finish())
        return;
    if (answer->contains(QLatin1Char('!')))
        showNotice(QStringLiteral("Связь с прибором установлена"));
    else
        instrument::showMessage(this, QMessageBox::Critical, program(),
                                QStringLiteral("Не удалось связаться с прибором"));
}

void Main::Reload_Click()
{
    settingsToLink();
    ui::Operation op(this, ui::Operation::Write);
    // The map's restart as one frame to the address shown, its answer not
    // examined. The link adds one more CR LF.
    const map::Call call = map::restartCall();
    const QString restart = QStringLiteral(":%1;%2;%3;%4;\r\n")
                                .arg(RealNetAdrr->currentIndex())
                                .arg(call.command)
                                .arg(call.address.toLower(), call.value);
    if (!op.call([&](instrument::Dev& d) { return d.sPortSR(restart); }) || !op.finish())
        return;

    // Follow the instrument to what was written to it: with no item chosen
    // the writes sent the speed code of "4800,N,8,2" and the network number 1.
    const int settings = ui::selectedIndex(ComSettings);
    RealSettings->setCurrentIndex(settings >= 0 ? settings : kDefaultSettingsIndex);
    const int address = ui::selectedIndex(NetAdrr);
    RealNetAdrr->setCurrentIndex(address >= 0 ? address : 1);
}

// ---- the search for an instrument that does not answer ---------------------------

QList<scan::Try> Main::wholeSearch()
{
    // The speed and number shown first, then the number this window kept
    // at its last close.
    QList<int> firstNumbers{RealNetAdrr->currentIndex()};
    qint64 kept = 0;
    if (wholeNumber(dev()->sGetINI(QStringLiteral("DEVICE"), QStringLiteral("NetAdrr"), QString()), 0, 255, &kept))
        firstNumbers << int(kept);
    QList<int> numbers;
    for (int n = 0; n < RealNetAdrr->count(); ++n)
        numbers << n;
    return scan::tryOrder(scan::suiteSettings(), numbers, {RealSettings->currentText()}, firstNumbers);
}

QString Main::triedText(const QList<scan::Try>& tries)
{
    QStringList speeds;
    QList<int> numbers;
    for (const scan::Try& t : tries) {
        const QString baud = QString::number(scan::baudOf(t.settings));
        if (!speeds.contains(baud))
            speeds << baud;
        if (!numbers.contains(t.netnum))
            numbers << t.netnum;
    }
    std::sort(numbers.begin(), numbers.end());
    // Numbers without a gap as their range: "0–255".
    QStringList shown;
    for (int n : numbers)
        shown << QString::number(n);
    const QString numbersText = numbers.size() > 2 && numbers.last() - numbers.first() + 1 == numbers.size()
                                    ? shown.first() + QStringLiteral("–") + shown.last()
                                    : shown.join(QStringLiteral(", "));
    return QStringLiteral("скорости %1; сетевые номера %2; попыток: %3")
        .arg(speeds.join(QStringLiteral(", ")), numbersText)
        .arg(tries.size());
}

void Main::cmdFind_Click()
{
    const QList<scan::Try> tries = m_findTries.isEmpty() ? wholeSearch() : m_findTries;
    ui::Operation op(this, ui::Operation::Read, QStringLiteral("Поиск прибора"));
    op.allowStop(cmdStop);
    op.showProgress(pbFind, int(tries.size()));
    // The time left at the pace so far, each try weighed by what it may
    // wait: a try at 300 baud takes longer than one at 57600.
    QList<double> waited{0.0};
    for (const scan::Try& t : tries)
        waited << waited.last() + scan::tryTimeOut(scan::baudOf(t.settings));
    QElapsedTimer clock;
    clock.start();
    int tried = 0;
    QList<scan::Try> found;
    QString portError;
    bool stopped = false;
    // A try waits with the window's events running: the stop button and a
    // close of the window reach the search between two tries.
    const bool ran = op.call([&](instrument::Dev& d) {
                         scan::Scanner scanner(d);
                         scanner.onProgress = [&](int done, int total) {
                             tried = done;
                             op.advance();
                             op.step(QStringLiteral("Опрошено %1 из %2, осталось %3")
                                         .arg(done)
                                         .arg(total)
                                         .arg(scan::durationText(qint64(clock.elapsed() * (waited.last() - waited.at(done))
                                                                              / waited.at(done)))));
                             return op.goOn();
                         };
                         found = scanner.run(tries, false);
                         portError = scanner.portError();
                         stopped = scanner.stopped();
                         return QString();
                     }).has_value();
    if (!ran)
        return;
    if (!portError.isEmpty()) {
        op.fail(portError);
        return;
    }
    if (!op.finish())
        return;
    if (!found.isEmpty()) {
        // As the user's choice: the link takes them, and the close saves them.
        const scan::Try& t = found.first();
        RealSettings->setCurrentIndex(portSettings().indexOf(t.settings));
        RealNetAdrr->setCurrentIndex(t.netnum);
        showNotice(QStringLiteral("Прибор найден: скорость %1, сетевой номер %2").arg(scan::baudOf(t.settings)).arg(t.netnum));
    } else if (stopped) {
        showNotice(QStringLiteral("Поиск остановлен (попыток: %1 из %2): прибор не найден, настройки не изменены")
                       .arg(tried)
                       .arg(tries.size()));
    } else {
        instrument::showMessage(this, QMessageBox::Critical, program(),
                                QStringLiteral("Прибор не найден: он не ответил ни на одной скорости и ни на одном "
                                               "сетевом номере (%1). Проверьте порт, кабель и питание прибора.")
                                    .arg(triedText(tries)));
    }
}

// ---- the instrument's parameters -----------------------------------------------

const map::Param& Main::param(const QString& name) const
{
    return *instrumentMap().find(name);
}

void Main::writePair(const map::Param& p, const QString& wire)
{
    settingsToLink();
    ui::Operation op(this, ui::Operation::Write);
    op.holdControlsOnFailure();
    (void)op.writeParam(p, wire);
}

bool Main::wholeNumber(const QString& answer, qint64 lo, qint64 hi, qint64* value)
{
    return instrument::toWholeNumber(answer, dev()->sFloatingPointSeparator, lo, hi, value);
}

void Main::SRead_Click()
{
    const map::Param& speed = param(QStringLiteral("speed"));
    const std::optional<QString> answer = readNumber(speed, ComSettings);
    if (!answer)
        return;
    // The byte's hexadecimal digits spell the speed: 48 hexadecimal (72) is 4800.
    qint64 value = 0;
    int index = -1;
    if (wholeNumber(*answer, 0, 0xFFFF, &value))
        index = portSettings().indexOf(map::itemText(speed, QString::number(value)));
    ui::selectItem(ComSettings, index >= 0 ? index : kDefaultSettingsIndex);
}

void Main::SWrite_Click()
{
    const int index = ui::selectedIndex(ComSettings);
    const QString code = speedCodes().at(index >= 0 ? index : kDefaultSettingsIndex);
    // The map writes the speed code at address 1 whatever SPD_EXC says.
    writePair(param(QStringLiteral("speed")), code);
}

std::optional<QString> Main::readNumber(const map::Param& p, QComboBox* box)
{
    if (!p.base.valid) {
        showError(p.base.refusal());
        return std::nullopt;
    }
    settingsToLink();
    ui::Operation op(this, ui::Operation::Read);
    std::optional<QString> answer;
    for (const map::Call& call : map::readCalls(p))
        answer = op.perform(call);
    if (!answer || !op.finish())
        return std::nullopt;
    if (!instrument::isNumber(*answer, dev()->sFloatingPointSeparator)) {
        ui::showInEditField(box, *answer);
        return std::nullopt;
    }
    return answer;
}

void Main::NRead_Click()
{
    const std::optional<QString> answer = readNumber(param(QStringLiteral("netnum")), NetAdrr);
    qint64 value = 0;
    if (!answer)
        return;
    if (wholeNumber(*answer, 0, NetAdrr->count() - 1, &value))
        ui::selectItem(NetAdrr, int(value));
    else
        // A number no item shows: let the user see what the instrument holds.
        ui::showInEditField(NetAdrr, answer->trimmed());
}

void Main::NWrite_Click()
{
    const int index = ui::selectedIndex(NetAdrr);
    const QString value = index >= 0 ? instrument::hexText(quint32(index)) : QStringLiteral("1");
    const map::Param& net = param(QStringLiteral("netnum"));
    if (!net.base.valid)
        showError(net.base.refusal());
    else
        writePair(net, value);
}

void Main::CRead_Click()
{
    const std::optional<QString> answer = readNumber(param(QStringLiteral("channels")), AmOfCh);
    qint64 value = 0;
    if (!answer)
        return;
    if (wholeNumber(*answer, 1, AmOfCh->count(), &value))
        ui::selectItem(AmOfCh, int(value - 1));
    else
        // 0 or more channels than the list offers: the number read, no item.
        ui::showInEditField(AmOfCh, answer->trimmed());
}

void Main::CWrite_Click()
{
    if (ui::selectedIndex(AmOfCh) < 0)
        ui::selectItem(AmOfCh, AmOfCh->count() - 1);
    const QString value = instrument::hexText(quint32(ui::selectedIndex(AmOfCh) + 1));
    const map::Param& count = param(QStringLiteral("channels"));
    if (!count.base.valid)
        showError(count.base.refusal());
    else
        writePair(count, value);
}

} // namespace commission
