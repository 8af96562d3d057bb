#include "commission_main.h"

#include "messagebox.h"
#include "numbers.h"
#include "windowstyle.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace commission {

namespace {

const QString kTitle = QStringLiteral("Настройка прибора");

using instrument::twips;

// The restart: command 13 writing 1 at 151A. The link adds one more CR LF.
const QString kRestartTail = QStringLiteral(";13;151a;1;\r\n");

// The item the instrument's speed falls back to (and the speed written when
// no item is selected): "4800,N,8,2".
constexpr int kDefaultSettingsIndex = 4;

QLabel* label(QWidget* parent, const char* name, const QString& text, Qt::Alignment align,
              int l, int t, int w, int h)
{
    auto* c = new QLabel(text, parent);
    c->setObjectName(QLatin1String(name));
    c->setAlignment(align | Qt::AlignTop);
    c->setGeometry(twips(l), twips(t), twips(w), twips(h));
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip,
                    int l, int t, int w, int h)
{
    auto* c = new QPushButton(text, parent);
    c->setObjectName(QLatin1String(name));
    c->setToolTip(tip);
    c->setAutoDefault(false);
    c->setGeometry(twips(l), twips(t), twips(w), twips(h));
    return c;
}

// A drop-down list (editable = false) or a drop-down combo box with an edit
// field (editable = true).
QComboBox* combo(QWidget* parent, const char* name, bool editable, const QString& tip,
                 int l, int t, int w, int h)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(editable);
    if (editable) {
        // Typed text is never added to the list and never completed.
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
    }
    c->setMaxVisibleItems(16);
    c->setToolTip(tip);
    c->setGeometry(twips(l), twips(t), twips(w), twips(h));
    return c;
}

QFrame* line(QWidget* parent, const char* name, int top)
{
    auto* c = new QFrame(parent);
    c->setObjectName(QLatin1String(name));
    c->setFrameShape(QFrame::HLine);
    c->setFrameShadow(QFrame::Sunken);
    c->setGeometry(twips(90), twips(top) - 1, twips(4050 - 90), 2);
    return c;
}

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

// Fills a list without running its handler; nothing is selected afterwards.
void fill(QComboBox* box, const QStringList& items)
{
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
}

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
    // A font that has the Cyrillic letters and is about as narrow as the
    // classic 8-point dialog font (10 pixels), so every caption fits its control.
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(10);
    setFont(font);
    setFixedSize(twips(4155), twips(4335));
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
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment centre = Qt::AlignHCenter;

    Label4 = label(this, "Label4", QStringLiteral("Номер порта"), left, 120, 60, 1095, 255);
    Label5 = label(this, "Label5", QStringLiteral("Скорость"), centre, 1260, 60, 1455, 255);
    cmdExit = button(this, "cmdExit", QStringLiteral("Выход"), QString(), 2760, 60, 1275, 435);
    ComNum = combo(this, "ComNum", false, QStringLiteral("Текущий COM порт"), 120, 300, 1095, 315);
    RealSettings = combo(this, "RealSettings", false, QStringLiteral("Текущие настройки COM порта"),
                         1200, 300, 1515, 315);
    Reload = button(this, "Reload", QStringLiteral("Перезагрузка"), QStringLiteral("Перезагрузить прибор"),
                    2760, 570, 1275, 405);
    Label6 = label(this, "Label6", QStringLiteral("Сетевой номер прибора"), left, 120, 720, 1830, 195);
    RealNetAdrr = combo(this, "RealNetAdrr", false, QStringLiteral("Теущий сетевой адрес"), 1980, 660, 735, 315);
    cmdTest = button(this, "cmdTest", QStringLiteral("Проверка связи с прибором"), QString(),
                     120, 1050, 3915, 345);
    Line1 = line(this, "Line1", 1470);
    // С, О and М of "СОМ" are Cyrillic letters here.
    Label1 = label(this, "Label1", QStringLiteral("Настройки СОМ порта"), centre, 120, 1590, 3885, 255);
    ComSettings = combo(this, "ComSettings", true, QStringLiteral("Настройки COM порта"), 120, 1950, 1575, 315);
    SRead = button(this, "SRead", QStringLiteral("Прочитать"), QStringLiteral("Прочитать настройки"),
                   1800, 1950, 1065, 375);
    SWrite = button(this, "SWrite", QStringLiteral("Записать"), QStringLiteral("Записать настройки"),
                    2940, 1950, 1065, 375);
    Line2 = line(this, "Line2", 2430);
    Label2 = label(this, "Label2", QStringLiteral("Сетевой адрес прибора"), centre, 120, 2550, 3885, 255);
    NetAdrr = combo(this, "NetAdrr", true, QStringLiteral("Сетевой адрес"), 120, 2910, 1095, 315);
    NRead = button(this, "NRead", QStringLiteral("Прочитать"), QStringLiteral("Прочитать сетевой адрес"),
                   1320, 2910, 1305, 375);
    NWrite = button(this, "NWrite", QStringLiteral("Записать"), QStringLiteral("Записать сетевой адрес"),
                    2730, 2910, 1305, 375);
    Line3 = line(this, "Line3", 3390);
    Label3 = label(this, "Label3", QStringLiteral("Число каналов"), centre, 120, 3510, 3885, 255);
    AmOfCh = combo(this, "AmOfCh", true, QStringLiteral("Число каналов"), 120, 3870, 1095, 315);
    CRead = button(this, "CRead", QStringLiteral("Прочитать"), QStringLiteral("Прочитать число каналов"),
                   1320, 3870, 1305, 375);
    CWrite = button(this, "CWrite", QStringLiteral("Записать"), QStringLiteral("Записать число каналов"),
                    2730, 3870, 1305, 375);

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
    connect(RealNetAdrr, &QComboBox::currentIndexChanged, this, &Main::RealNetAdrr_Click);
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
    setWindowTitle(kTitle + QStringLiteral(" v") + version());

    QStringList ports;
    for (int i = 1; i <= 32; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    fill(ComNum, ports);
    ComNum->setCurrentIndex(0);

    if (!m_dev.Form_Load()) {
        instrument::showMessage(this, QMessageBox::Critical, windowTitle(), m_dev.loadError());
        return false;
    }
    m_devLoaded = true;

    // An index that names no item of the nine starts on "4800,N,8,2"; the
    // index saved at exit is then a valid one again.
    const QString stored = m_dev.sGetINI(QStringLiteral("PROGS"), QStringLiteral("SettingsIndex"),
                                         QStringLiteral("4"));
    qint64 value = 0;
    int index = kDefaultSettingsIndex;
    if (instrument::toWholeNumber(stored, m_dev.sFloatingPointSeparator, 0, portSettings().size() - 1, &value))
        index = int(value);
    fill(ComSettings, portSettings());
    selectItem(ComSettings, index);
    fill(RealSettings, portSettings());
    RealSettings->setCurrentIndex(index);

    fill(NetAdrr, numbers(0, 255));
    selectItem(NetAdrr, 0);
    fill(RealNetAdrr, numbers(0, 255));
    RealNetAdrr->setCurrentIndex(1);

    fill(AmOfCh, numbers(1, 12));
    selectItem(AmOfCh, 0);

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
    m_dev.sWriteINI(QStringLiteral("COMport"), QStringLiteral("number"), portNumber);
    m_dev.sWriteINI(QStringLiteral("PROGS"), QStringLiteral("NumberIndex"), QString::number(port));
    m_dev.sWriteINI(QStringLiteral("COM_SETTINGS"), QStringLiteral("Number"), portNumber);
    m_dev.sWriteINI(QStringLiteral("COMport"), QStringLiteral("Number"), portNumber);
    m_dev.sWriteINI(QStringLiteral("DEVICE"), QStringLiteral("NetAdrr"),
                    QString::number(RealNetAdrr->currentIndex()));
    m_dev.sWriteINI(QStringLiteral("COM_SETTINGS"), QStringLiteral("settings"), settings);
    m_dev.sWriteINI(QStringLiteral("COMport"), QStringLiteral("settings"), settings);
    m_dev.sWriteINI(QStringLiteral("PROGS"), QStringLiteral("SettingsIndex"),
                    QString::number(RealSettings->currentIndex()));
    m_dev.sWriteINI(QStringLiteral("PROGS"), QStringLiteral("NofSettings"),
                    QString::number(portSettings().size()));
    for (int i = 0; i < portSettings().size(); ++i)
        m_dev.sWriteINI(QStringLiteral("PROGS"), QStringLiteral("Set%1").arg(i + 1), portSettings().at(i));

    if (m_devLoaded) {
        m_dev.Form_Unload();
        m_devLoaded = false;
    }
    m_dev.hide();
}

void Main::closeEvent(QCloseEvent* event)
{
    // While an exchange runs the window is disabled and cannot be closed:
    // the link is still using the port, the log and the settings.
    if (m_busy > 0) {
        event->ignore();
        return;
    }
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

void Main::EnableAll()
{
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow())
            w->setEnabled(true);
    if (m_busy > 0)
        --m_busy;
}

void Main::DisableAll()
{
    ++m_busy;
    // The controls rather than the window itself: a message box shown while
    // the window is disabled must still take its OK.
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow())
            w->setEnabled(false);
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
    EnableAll();
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
    EnableAll();

    // Follow the instrument to what was written to it: with no item chosen
    // the writes sent the speed code of "4800,N,8,2" and the network number 1.
    const int settings = selectedIndex(ComSettings);
    RealSettings->setCurrentIndex(settings >= 0 ? settings : kDefaultSettingsIndex);
    const int address = selectedIndex(NetAdrr);
    RealNetAdrr->setCurrentIndex(address >= 0 ? address : 1);
}

// ---- the instrument's parameters -----------------------------------------------

void Main::showError(const QString& text)
{
    instrument::showMessage(this, QMessageBox::Critical, windowTitle(), QStringLiteral("Ошибка: ") + text);
}

bool Main::cpuAddress(const QString& key, const QString& fallback, QString* adrr)
{
    const QString text = m_dev.sGetINI(QStringLiteral("CPU"), key, fallback);
    double value = 0;
    if (instrument::toSettingNumber(text, m_dev.sFloatingPointSeparator, &value) && value == std::floor(value)
        && value >= -32768 && value <= 65535) {
        *adrr = instrument::hexText16(qint16(quint16(qint32(value) & 0xFFFF)));
        return true;
    }
    showError(QStringLiteral("в разделе CPU файла dev.dat ключ %1 = \"%2\" не является адресом "
                             "(десятичное число или &H с шестнадцатеричными цифрами, 16 разрядов)")
                  .arg(key, text));
    return false;
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
    EnableAll();
    if (!instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        showInEditField(ComSettings, answer);
        return;
    }
    // The byte's hexadecimal digits spell the speed: 48 hexadecimal (72) is 4800.
    qint64 value = 0;
    int index = -1;
    if (wholeNumber(answer, 0, 0xFFFF, &value))
        index = speedCodes().indexOf(instrument::hexText(quint32(value)));
    selectItem(ComSettings, index >= 0 ? index : kDefaultSettingsIndex);
}

void Main::SWrite_Click()
{
    const int index = selectedIndex(ComSettings);
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
    EnableAll();
    qint64 value = 0;
    if (!instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        showInEditField(NetAdrr, answer);
    } else if (wholeNumber(answer, 0, NetAdrr->count() - 1, &value)) {
        selectItem(NetAdrr, int(value));
    } else {
        // A number no item shows: let the user see what the instrument holds.
        showInEditField(NetAdrr, answer.trimmed());
    }
}

void Main::NWrite_Click()
{
    const int index = selectedIndex(NetAdrr);
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
    EnableAll();
    qint64 value = 0;
    if (!instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        showInEditField(AmOfCh, answer);
    } else if (wholeNumber(answer, 1, AmOfCh->count(), &value)) {
        selectItem(AmOfCh, int(value - 1));
    } else {
        // 0 or more channels than the list offers: the number read, no item.
        showInEditField(AmOfCh, answer.trimmed());
    }
}

void Main::CWrite_Click()
{
    if (selectedIndex(AmOfCh) < 0)
        selectItem(AmOfCh, AmOfCh->count() - 1);
    const QString value = instrument::hexText(quint32(selectedIndex(AmOfCh) + 1));
    writePair(5, 13, [this](QString* a) { return cpuAddress(QStringLiteral("MAX_CH"), QStringLiteral("&H2"), a); },
              value);
}

// ---- combo box helpers ----------------------------------------------------------

int Main::selectedIndex(const QComboBox* box)
{
    const int current = box->currentIndex();
    if (!box->isEditable())
        return current;
    const QString shown = box->currentText();
    if (current >= 0 && box->itemText(current) == shown)
        return current;
    return box->findText(shown, Qt::MatchExactly);
}

void Main::selectItem(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    if (box->isEditable())
        box->setEditText(index >= 0 ? box->itemText(index) : QString());
}

void Main::showInEditField(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

} // namespace commission
