#include "commission_window.h"

#include "boxes.h"
#include "controls.h"
#include "lists.h"
#include "messagebox.h"
#include "netaddress.h"
#include "numbers.h"
#include "settingskeys.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <cmath>

namespace commission {

namespace {

const QString kTitle = QStringLiteral("Настройка прибора");

// The restart: command 13 writing 1 at 151A. The link adds one more CR LF.
const QString kRestartTail = QStringLiteral(";13;151a;1;\r\n");

// The item the instrument's speed falls back to (and the speed written when
// no item is selected): "4800,N,8,2".
constexpr int kDefaultSettingsIndex = 4;

} // namespace

QString Main::version()
{
    return QStringLiteral("3.0.20");
}

const QStringList& Main::portSettings()
{
    static const QStringList list{
        QStringLiteral("300,N,8,2"),   QStringLiteral("600,N,8,2"),   QStringLiteral("1200,N,8,2"),
        QStringLiteral("2400,N,8,2"),  QStringLiteral("4800,N,8,2"),  QStringLiteral("9600,N,8,2"),
        QStringLiteral("19200,N,8,2"), QStringLiteral("38400,N,8,2"), QStringLiteral("57600,N,8,2"),
    };
    return list;
}

const QStringList& Main::speedCodes()
{
    static const QStringList list{
        QStringLiteral("3"),  QStringLiteral("6"),  QStringLiteral("12"),
        QStringLiteral("24"), QStringLiteral("48"), QStringLiteral("96"),
        QStringLiteral("19"), QStringLiteral("38"), QStringLiteral("57"),
    };
    return list;
}

Main::Main(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4155, 4335);
    createControls();
    connectHandlers();
}

Main::~Main()
{
    if (m_devLoaded)
        m_dev.Form_Unload();
}

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
    cmdTest = ui::button(this, QStringLiteral("cmdTest"), QStringLiteral("Проверка связи с прибором"), {120, 1050, 3915, 345});
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

    const QList<QWidget*> tabOrder{ComNum, ComSettings, NetAdrr,     Reload,       SRead,
                                   SWrite, NRead,       NWrite,      AmOfCh,       CRead,
                                   CWrite, RealSettings, RealNetAdrr, cmdExit,     cmdTest};
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
    connect(SRead, &QPushButton::clicked, this, &Main::SRead_Click);
    connect(SWrite, &QPushButton::clicked, this, &Main::SWrite_Click);
    connect(NRead, &QPushButton::clicked, this, &Main::NRead_Click);
    connect(NWrite, &QPushButton::clicked, this, &Main::NWrite_Click);
    connect(CRead, &QPushButton::clicked, this, &Main::CRead_Click);
    connect(CWrite, &QPushButton::clicked, this, &Main::CWrite_Click);
    connect(Reload, &QPushButton::clicked, this, &Main::Reload_Click);
}

// ---- start-up and exit ----------------------------------------------------------

bool Main::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, version()));

    QStringList ports;
    for (int i = 1; i <= 32; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    ui::fill(ComNum, ports);
    ComNum->setCurrentIndex(0);

    if (!ui::loadLink(m_dev, this, windowTitle()))
        return false;
    m_devLoaded = true;

    // An index that names no item of the nine starts on "4800,N,8,2"; the
    // index saved at exit is then a valid one again.
    const QString stored = m_dev.sGetINI(ui::keys::kProgs, ui::keys::kSettingsIndex, QStringLiteral("4"));
    qint64 value = 0;
    int index = kDefaultSettingsIndex;
    if (instrument::toWholeNumber(stored, m_dev.sFloatingPointSeparator, 0, portSettings().size() - 1, &value))
        index = int(value);
    ui::fill(ComSettings, portSettings());
    ui::selectItem(ComSettings, index);
    ui::fill(RealSettings, portSettings());
    RealSettings->setCurrentIndex(index);

    ui::fill(NetAdrr, ui::numbers(0, 255));
    ui::selectItem(NetAdrr, 0);
    ui::fill(RealNetAdrr, ui::numbers(0, 255));
    RealNetAdrr->setCurrentIndex(1);

    ui::fill(AmOfCh, ui::numbers(1, 12));
    ui::selectItem(AmOfCh, 0);

    m_dev.Number = 1;
    m_dev.Settings = QStringLiteral("4800,N,8,2");
    m_loaded = true;
    return true;
}

void Main::Form_Unload()
{
    // A window whose start-up failed has nothing to save.
    if (m_unloaded || !m_loaded)
        return;
    m_unloaded = true;

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
        if (!(saved = m_dev.sWriteINI(section, key, value)))
            break;
    if (saved)
        saved = ui::writeSpeedList(m_dev, portSettings(), RealSettings->currentIndex());
    if (!saved)
        showError(m_dev.iniWriteError());

    if (m_devLoaded) {
        m_dev.Form_Unload();
        m_devLoaded = false;
    }
    m_dev.hide();
}

void Main::closeEvent(QCloseEvent* event)
{
    // A close during an exchange waits until the link has returned: the link
    // is still using the port, the log and the settings.
    if (m_guard.holdClose(event))
        return;
    Form_Unload();
    event->accept();
}

void Main::cmdExit_Click()
{
    if (m_devLoaded) {
        m_dev.Form_Unload();
        m_devLoaded = false;
    }
    close();
}

// ---- the PC side of the link ------------------------------------------------------

void Main::ComNum_Click()
{
    m_dev.Number = quint8(ComNum->currentIndex() + 1);
}

void Main::RealSettings_Click()
{
    m_dev.Settings = RealSettings->currentText();
}

void Main::RealNetAdrr_Click()
{
    m_dev.bNetAdrr = quint8(qMax(0, RealNetAdrr->currentIndex()));
}

bool Main::EnableAll()
{
    return m_guard.end();
}

void Main::DisableAll()
{
    m_guard.begin();
}

void Main::beginExchange()
{
    m_dev.Settings = RealSettings->currentText();
    DisableAll();
}

void Main::cmdTest_Click()
{
    // Command 0 to the address shown, with or without the link's address
    // setting: any answer that holds "!" proves the link.
    beginExchange();
    const QString answer = m_dev.sPortSR(QLatin1Char(':') + RealNetAdrr->currentText() + QStringLiteral(";0;"));
    if (!EnableAll())
        return;
    if (answer.contains(QLatin1Char('!')))
        instrument::showMessage(this, QMessageBox::NoIcon, windowTitle(),
                                QStringLiteral("Связь с прибором установлена"));
    else
        instrument::showMessage(this, QMessageBox::Critical, windowTitle(),
                                QStringLiteral("Не удалось связаться с прибором"));
}

void Main::Reload_Click()
{
    beginExchange();
    m_dev.sPortSR(QLatin1Char(':') + QString::number(RealNetAdrr->currentIndex()) + kRestartTail);
    if (!EnableAll())
        return;

    // Follow the instrument to what was written to it: with no item chosen
    // the writes sent the speed code of "4800,N,8,2" and the network number 1.
    const int settings = ui::selectedIndex(ComSettings);
    RealSettings->setCurrentIndex(settings >= 0 ? settings : kDefaultSettingsIndex);
    const int address = ui::selectedIndex(NetAdrr);
    RealNetAdrr->setCurrentIndex(address >= 0 ? address : 1);
}

// ---- the instrument's parameters -----------------------------------------------

void Main::showError(const QString& text)
{
    instrument::showMessage(this, QMessageBox::Critical, windowTitle(), QStringLiteral("Ошибка: ") + text);
}

bool Main::cpuAddress(const QString& key, const QString& fallback, QString* adrr)
{
    const ui::BaseAddress a = ui::readBaseAddress(m_dev, QStringLiteral("CPU"), key, fallback, 0, 0,
                                                  QStringLiteral("Команда не выполнена."));
    if (!a.valid) {
        showError(a.problem);
        return false;
    }
    *adrr = instrument::hexText16(qint16(a.value));
    return true;
}

void Main::writePair(quint8 first, quint8 second, const std::function<bool(QString*)>& adrr,
                     const QString& value)
{
    QString address;
    if (!adrr(&address))
        return;
    beginExchange();
    for (quint8 command : {first, second}) {
        if (command == second && !adrr(&address))
            break;
        const QString result = m_dev.sWriteAndRead(command, address, value);
        if (m_guard.isClosing())
            break; // the window was closed during the write: nothing more
        if (result != QLatin1String("OK")) {
            showError(result);
            break;
        }
    }
    EnableAll();
}

bool Main::wholeNumber(const QString& answer, qint64 lo, qint64 hi, qint64* value) const
{
    return instrument::toWholeNumber(answer, m_dev.sFloatingPointSeparator, lo, hi, value);
}

void Main::SRead_Click()
{
    QString address;
    if (!cpuAddress(QStringLiteral("SPD_EXC"), QStringLiteral("&H1"), &address))
        return;
    beginExchange();
    const QString answer = m_dev.sCOMPort(14, address, QStringLiteral("0"));
    if (!EnableAll())
        return;
    if (!instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        ui::showInEditField(ComSettings, answer);
        return;
    }
    // The byte's hexadecimal digits spell the speed: 48 hexadecimal (72) is 4800.
    qint64 value = 0;
    int index = -1;
    if (wholeNumber(answer, 0, 0xFFFF, &value))
        index = speedCodes().indexOf(instrument::hexText(quint32(value)));
    ui::selectItem(ComSettings, index >= 0 ? index : kDefaultSettingsIndex);
}

void Main::SWrite_Click()
{
    const int index = ui::selectedIndex(ComSettings);
    const QString code = speedCodes().at(index >= 0 ? index : kDefaultSettingsIndex);
    // The speed code always lives at address 1.
    writePair(5, 13, [](QString* a) { *a = QStringLiteral("1"); return true; }, code);
}

void Main::NRead_Click()
{
    QString address;
    if (!cpuAddress(QStringLiteral("NET_NUM"), QStringLiteral("&H1"), &address))
        return;
    beginExchange();
    const QString answer = m_dev.sCOMPort(30, address, QStringLiteral("0"));
    if (!EnableAll())
        return;
    qint64 value = 0;
    if (!instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        ui::showInEditField(NetAdrr, answer);
    } else if (wholeNumber(answer, 0, NetAdrr->count() - 1, &value)) {
        ui::selectItem(NetAdrr, int(value));
    } else {
        // A number no item shows: let the user see what the instrument holds.
        ui::showInEditField(NetAdrr, answer.trimmed());
    }
}

void Main::NWrite_Click()
{
    const int index = ui::selectedIndex(NetAdrr);
    const QString value = index >= 0 ? instrument::hexText(quint32(index)) : QStringLiteral("1");
    writePair(31, 29, [this](QString* a) { return cpuAddress(QStringLiteral("NET_NUM"), QStringLiteral("&H1"), a); },
              value);
}

void Main::CRead_Click()
{
    QString address;
    if (!cpuAddress(QStringLiteral("MAX_CH"), QStringLiteral("&H2"), &address))
        return;
    beginExchange();
    const QString answer = m_dev.sCOMPort(14, address, QStringLiteral("0"));
    if (!EnableAll())
        return;
    qint64 value = 0;
    if (!instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        ui::showInEditField(AmOfCh, answer);
    } else if (wholeNumber(answer, 1, AmOfCh->count(), &value)) {
        ui::selectItem(AmOfCh, int(value - 1));
    } else {
        // 0 or more channels than the list offers: the number read, no item.
        ui::showInEditField(AmOfCh, answer.trimmed());
    }
}

void Main::CWrite_Click()
{
    if (ui::selectedIndex(AmOfCh) < 0)
        ui::selectItem(AmOfCh, AmOfCh->count() - 1);
    const QString value = instrument::hexText(quint32(ui::selectedIndex(AmOfCh) + 1));
    writePair(5, 13, [this](QString* a) { return cpuAddress(QStringLiteral("MAX_CH"), QStringLiteral("&H2"), a); },
              value);
}

} // namespace commission
