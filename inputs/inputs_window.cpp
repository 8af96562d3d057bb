#include "inputs_window.h"

#include "controls.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "statusbar.h"
#include "windowstyle.h"
#include "wrapbutton.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <utility>

namespace inputs {

namespace {

const QString kTitle = QStringLiteral("Настройка датчиков");
const QString kFlash = QStringLiteral("Flash");
const QString kOK = QStringLiteral("OK");

constexpr quint8 kReadByte = 20;
constexpr quint8 kWriteByte = 19;
constexpr quint8 kReadReal = 28;
constexpr quint8 kWriteReal = 27;
constexpr quint8 kReadMeasured = 26;
constexpr qint16 kRestartCommand = 17;
// Byte 1 to address 44B of the module restarts its converter.
const QString kRestartParameters = QStringLiteral("44B;1");
constexpr int kLineResistanceBase = 0xB0;

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString frmMain::version()
{
    return QStringLiteral("3.0.13");
}

QString frmMain::program()
{
    return QStringLiteral("Inputs");
}

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4830, 5205);
    createControls();
    StatusBar = new ui::StatusBar(this);
    m_guard.setStatusBar(StatusBar);
    connectHandlers();
}

frmMain::~frmMain()
{
    Form_Unload();
}

void frmMain::createControls()
{
    using ui::Twips;
    Label1 = ui::label(this, QStringLiteral("Label1"), QStringLiteral("Номер модуля"), Twips{120, 180, 1455, 255});
    Modul = ui::dropDownList(this, QStringLiteral("Modul"), Twips{1320, 120, 1695, 315}, QStringLiteral("Номер модуля"));
    Label2 = ui::label(this, QStringLiteral("Label2"), QStringLiteral("Номер канала"), Twips{120, 600, 1275, 255});
    ChNum = ui::dropDownList(this, QStringLiteral("ChNum"), Twips{1320, 540, 1692, 315}, QStringLiteral("Номер канала"));
    Label3 = ui::label(this, QStringLiteral("Label3"), QStringLiteral("Сетевой адрес"), Twips{120, 1020, 1215, 195});
    cbNetAdrr = ui::dropDownList(this, QStringLiteral("cbNetAdrr"), Twips{1320, 960, 1695, 315},
                                 QStringLiteral("Сетевой номер прибора"));
    cmbExit = ui::button(this, QStringLiteral("cmbExit"), QStringLiteral("Выход"), Twips{3120, 120, 1635, 1155});
    cmbExit->setFont(instrument::windowFont(9.75));
    Line1 = ui::line(this, QStringLiteral("Line1"), 60, 1380, 4800 - 60);

    Label8 = ui::label(this, QStringLiteral("Label8"), QStringLiteral("Диап_MAX"), Twips{120, 1560, 855, 255});
    DiapMax = ui::textBox(this, QStringLiteral("DiapMax"), Twips{1080, 1500, 1875, 288},
                          QStringLiteral("Максимальное значение датчика"));
    Label9 = ui::label(this, QStringLiteral("Label9"), QStringLiteral("Диап_MIN"), Twips{120, 1920, 855, 195});
    DiapMin = ui::textBox(this, QStringLiteral("DiapMin"), Twips{1080, 1860, 1875, 288},
                          QStringLiteral("Минимальное значение датчика"));
    Label10 = ui::label(this, QStringLiteral("Label10"), QStringLiteral("Флаги"), Twips{120, 2280, 855, 195});
    Flags = ui::textBox(this, QStringLiteral("Flags"), Twips{1080, 2220, 1875, 288}, QStringLiteral("Флаги"));
    Label11 = ui::label(this, QStringLiteral("Label11"), QStringLiteral("Датчик"), Twips{600, 2640, 855, 195});
    SensorsId = ui::textBox(this, QStringLiteral("SensorsId"), Twips{1860, 2580, 675, 288},
                            QStringLiteral("Номер датчика"));
    // The number of the type chosen below; what is written is the list's choice.
    SensorsId->setReadOnly(true);
    Sensors = ui::dropDownList(this, QStringLiteral("Sensors"), Twips{60, 2940, 4755, 315},
                               QStringLiteral("Описание датчика"));
    Label12 = ui::label(this, QStringLiteral("Label12"), QStringLiteral("Тип подключения"), Twips{60, 3360, 1515, 195});
    Wired = ui::editableCombo(this, QStringLiteral("Wired"), Twips{1500, 3300, 1395, 315},
                              QStringLiteral("Способ подключения датчика"));
    Label13 = ui::label(this, QStringLiteral("Label13"), QStringLiteral("Смещение"), Twips{60, 3720, 855, 195});
    Bias = ui::textBox(this, QStringLiteral("Bias"), Twips{1020, 3660, 1875, 288}, QStringLiteral("Смещение"));
    Label4 = ui::label(this, QStringLiteral("Label4"), QStringLiteral("Сопротивление линии"), Twips{60, 4020, 1695, 255});
    tbRl = ui::textBox(this, QStringLiteral("tbRl"), Twips{1800, 4020, 1095, 285}, QStringLiteral("Сопротивление линии"));

    cmbReload = new WrapButton(QStringLiteral("Перезагрузка модуля АЦП"), this);
    cmbReload->setObjectName(QStringLiteral("cmbReload"));
    cmbReload->setAutoDefault(false);
    ui::place(cmbReload, Twips{3060, 1500, 1695, 555});
    Read = ui::button(this, QStringLiteral("Read"), QStringLiteral("Прочитать"), Twips{3060, 2100, 1695, 372});
    Write = ui::button(this, QStringLiteral("Write"), QStringLiteral("Записать"), Twips{3060, 2520, 1695, 372});

    Line2 = ui::line(this, QStringLiteral("Line2"), 0, 4440, 4860);
    lok = ui::label(this, QStringLiteral("lok"), QStringLiteral("Измеряемая величина"), Twips{60, 4620, 1815, 195});
    Value = ui::textBox(this, QStringLiteral("Value"), Twips{1860, 4560, 1035, 285}, QStringLiteral("Измеряема величина"));
    VRead = ui::button(this, QStringLiteral("VRead"), QStringLiteral("Прочитать"), Twips{3000, 4500, 1755, 375},
                       QStringLiteral("Прочитать измеряемую величину"));

    for (QLineEdit* box : {DiapMax, DiapMin, Flags, Bias, tbRl})
        box->setText(QStringLiteral("0"));
    // A caption that would outgrow its place in another font is drawn smaller, never cut.
    for (QLabel* l : {Label1, Label2, Label3, Label8, Label9, Label10, Label11, Label12, Label13, Label4, lok})
        ui::fitCaption(l);

    const QList<QWidget*> order{Modul, ChNum, cbNetAdrr, DiapMax, DiapMin, Flags, Sensors, Wired, Bias,
                                tbRl,  Read,  Write,     cmbReload, Value, VRead, cmbExit};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void frmMain::connectHandlers()
{
    connect(Modul, &QComboBox::currentIndexChanged, this, [this](int) { Modul_Click(); });
    connect(Sensors, &QComboBox::currentIndexChanged, this, [this](int) { Sensors_Click(); });
    ui::connectNetAddress(cbNetAdrr, this, [this] { cbNetAdrr_LostFocus(); });
    connect(cmbExit, &QPushButton::clicked, this, &frmMain::cmbExit_Click);
    connect(Read, &QPushButton::clicked, this, &frmMain::Read_Click);
    connect(Write, &QPushButton::clicked, this, &frmMain::Write_Click);
    connect(VRead, &QPushButton::clicked, this, &frmMain::VRead_Click);
    connect(cmbReload, &QPushButton::clicked, this, &frmMain::cmbReload_Click);
}

// ---- start-up and exit ----------------------------------------------------------

bool frmMain::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, version()));
    if (!ui::loadLink(m_dev, this, program()))
        return false;
    m_devLoaded = true;
    readAddressSettings();

    ui::fillNetAddresses(cbNetAdrr, m_dev, 1);
    ui::fill(Wired, {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}, 0);
    ui::fill(Sensors, sensorTypes(), 0);
    // The longest types are shown whole: their tails tell them apart.
    ui::fitCaption(Sensors);
    int widest = 0;
    for (const QString& type : sensorTypes())
        widest = qMax(widest, Sensors->view()->fontMetrics().horizontalAdvance(type));
    Sensors->view()->setMinimumWidth(widest + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
    Sensors_Click();
    ui::fill(Modul, {QStringLiteral("Первый"), QStringLiteral("Второй")}, 0);
    Modul_Click();
    return true;
}

void frmMain::readAddressSettings()
{
    const QString consequence =
        QStringLiteral("Параметры канала не читаются и не записываются, пока файл не исправлен; "
                       "измеряемая величина и перезагрузка модуля АЦП работают.");
    const std::pair<Param, ui::BaseAddress*> settings[] = {
        {Param::DiapMin, &DiapMinAdrrF}, {Param::DiapMax, &DiapMaxAdrrF}, {Param::Flags, &FlagsAdrrF},
        {Param::Sensor, &SensorsAdrrF},  {Param::Wired, &WiredAdrrF},     {Param::Bias, &BiasAdrrF},
    };
    QStringList problems;
    for (const auto& [param, target] : settings) {
        const ParamInfo& info = paramInfo(param);
        *target = ui::readBaseAddress(m_dev, kFlash, QLatin1String(info.key), QLatin1String(info.fallback), 0,
                                      highestOffset(info), QString());
        if (!target->valid)
            problems << target->problem;
    }
    if (!problems.isEmpty())
        showError(problems.join(QLatin1Char('\n')) + QLatin1Char('\n') + consequence);
}

void frmMain::Form_Unload()
{
    if (!m_devLoaded)
        return;
    m_devLoaded = false;
    m_dev.Form_Unload();
    m_dev.hide();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (m_guard.holdClose(event))
        return;
    Form_Unload();
    event->accept();
}

void frmMain::cmbExit_Click()
{
    close();
}

// ---- selection ------------------------------------------------------------------

void frmMain::Modul_Click()
{
    const int module = Modul->currentIndex();
    if (module < 0)
        return;
    m_dev.bModuleNumber = quint8(module);
    ui::fill(ChNum, channelItems(module), 0);
}

void frmMain::Sensors_Click()
{
    const int code = Sensors->currentIndex();
    SensorsId->setText(code >= 0 ? QString::number(code) : QString());
}

void frmMain::cbNetAdrr_LostFocus()
{
    ui::takeNetAddress(cbNetAdrr, m_dev);
}

void frmMain::takeSelection()
{
    if (Modul->currentIndex() >= 0)
        m_dev.bModuleNumber = quint8(Modul->currentIndex());
    ui::takeNetAddress(cbNetAdrr, m_dev);
}

// ---- addresses ------------------------------------------------------------------

const ui::BaseAddress* frmMain::base(Param p) const
{
    switch (p) {
    case Param::DiapMax: return &DiapMaxAdrrF;
    case Param::DiapMin: return &DiapMinAdrrF;
    case Param::Flags: return &FlagsAdrrF;
    case Param::Sensor: return &SensorsAdrrF;
    case Param::Wired: return &WiredAdrrF;
    case Param::Bias: return &BiasAdrrF;
    case Param::LineResistance: return nullptr;
    }
    return nullptr;
}

QString frmMain::addressRefusals() const
{
    QStringList out;
    for (int i = 0; i < kParamCount; ++i) {
        const ui::BaseAddress* b = base(paramInfo(i).param);
        if (b && !b->valid)
            out << b->refusal();
    }
    return out.join(QLatin1Char('\n'));
}

int frmMain::address(Param p, int ch) const
{
    const ui::BaseAddress* b = base(p);
    const int first = b ? b->value : kLineResistanceBase;
    return first + channelOffset(paramInfo(p), ch);
}

// ---- messages -------------------------------------------------------------------

void frmMain::showError(const QString& text)
{
    ui::errorBox(this, program(), text);
}

bool frmMain::fail(const QString& text)
{
    if (!m_guard.end())
        return false;
    showError(text);
    return true;
}

void frmMain::setShown(Param p, const QString& text)
{
    switch (p) {
    case Param::DiapMax: DiapMax->setText(text); break;
    case Param::DiapMin: DiapMin->setText(text); break;
    case Param::Flags: Flags->setText(text); break;
    case Param::Sensor: SensorsId->setText(text); break;
    case Param::Wired: ui::showInEditField(Wired, text); break;
    case Param::Bias: Bias->setText(text); break;
    case Param::LineResistance: tbRl->setText(text); break;
    }
}

// ---- read all ---------------------------------------------------------------------

void frmMain::Read_Click()
{
    const QString refused = addressRefusals();
    if (!refused.isEmpty()) {
        showError(refused);
        return;
    }
    const QString sep = m_dev.sFloatingPointSeparator;
    takeSelection();
    m_guard.begin();
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& info = paramInfo(i);
        m_guard.showStep(info.readStep);
        const int ch = ChNum->currentIndex();
        const QString adrr = instrument::hexText16(qint16(address(info.param, ch)));
        const QString answer = m_dev.sCOMPort(info.real ? kReadReal : kReadByte, adrr, QStringLiteral("0"));
        if (m_guard.closedMeanwhile())
            return;
        qint64 byte = 0;
        const bool good = info.real ? instrument::isNumber(answer, sep)
                                    : instrument::toWholeNumber(answer, sep, -32768, 65535, &byte);
        if (!good) {
            setShown(info.param, QString());
            fail(answer);
            return;
        }
        if (info.real) {
            setShown(info.param, answer);
        } else if (info.param == Param::Sensor) {
            if (byte >= 0 && byte <= kHighestSensorType) {
                ui::selectSilently(Sensors, int(byte));
                SensorsId->setText(QString::number(byte));
            } else {
                // Not an error: the list keeps its choice and the read goes on.
                SensorsId->setText(QStringLiteral("Слишком большой номер типа датчика"));
            }
        } else if (info.param == Param::Wired) {
            const QString shown = byteForBox(byte);
            const int item = Wired->findText(shown, Qt::MatchExactly);
            if (item >= 0)
                ui::selectItem(Wired, item);
            else
                ui::showInEditField(Wired, shown);
        } else {
            setShown(info.param, byteForBox(byte));
        }
    }
    (void)m_guard.end();
}

// ---- write all --------------------------------------------------------------------

void frmMain::Write_Click()
{
    const QString refused = addressRefusals();
    if (!refused.isEmpty()) {
        showError(refused);
        return;
    }

    // Every box is checked before the first frame: an empty box is left out,
    // a box holding anything but a value stops the write.
    struct Step {
        Param param;
        quint8 command;
        QString value;
    };
    QList<Step> steps;
    const QString sep = m_dev.sFloatingPointSeparator;
    auto real = [&](Param p, const QLineEdit* box) {
        const RealWrite w = realForWrite(box->text(), sep, [this](double v) { return m_dev.sExpConvection(v); });
        const QString name = quoted(paramInfo(p).box);
        switch (w.status) {
        case RealBox::Empty:
            return true;
        case RealBox::Ok:
            steps.append({p, kWriteReal, w.wire});
            return true;
        case RealBox::NotNumber:
            showError(QStringLiteral("в поле %1 не число: %2").arg(name, quoted(box->text())));
            return false;
        case RealBox::TooManyDigits:
            showError(QStringLiteral("в поле %1 у числа %2 больше значащих цифр, чем передается прибору "
                                     "(ушло бы %3); сократите число")
                          .arg(name, quoted(box->text()), instrument::numberText(w.sent, sep)));
            return false;
        }
        return false;
    };
    auto byte = [&](Param p, const QString& text) {
        if (text.trimmed().isEmpty())
            return true;
        int value = 0;
        if (!byteFromBox(text, &value)) {
            showError(QStringLiteral("в поле %1 не байт (одна или две шестнадцатеричные цифры): %2")
                          .arg(quoted(paramInfo(p).box), quoted(text)));
            return false;
        }
        steps.append({p, kWriteByte, instrument::hexText(quint32(value))});
        return true;
    };
    if (!real(Param::DiapMax, DiapMax) || !real(Param::DiapMin, DiapMin) || !byte(Param::Flags, Flags->text()))
        return;
    if (Sensors->currentIndex() >= 0)
        steps.append({Param::Sensor, kWriteByte, instrument::hexText(quint32(Sensors->currentIndex()))});
    if (!byte(Param::Wired, Wired->currentText()) || !real(Param::Bias, Bias) || !real(Param::LineResistance, tbRl))
        return;

    takeSelection();
    m_guard.begin();
    for (const Step& s : steps) {
        m_guard.showStep(paramInfo(s.param).writeStep);
        const int ch = ChNum->currentIndex();
        const QString result = m_dev.sWriteToFlash(s.command, qint16(address(s.param, ch)), s.value);
        if (m_guard.closedMeanwhile())
            return;
        if (result != kOK) {
            fail(result);
            return;
        }
    }
    (void)m_guard.end();
}

// ---- measured value and converter restart -------------------------------------------

void frmMain::VRead_Click()
{
    takeSelection();
    m_guard.begin();
    const int ch = ChNum->currentIndex();
    const QString answer = m_dev.sCOMPort(kReadMeasured, instrument::hexText16(qint16(measuredAddress(ch))),
                                          QStringLiteral("0"));
    if (!m_guard.end())
        return;
    if (instrument::isNumber(answer, m_dev.sFloatingPointSeparator)) {
        Value->setText(answer);
        return;
    }
    Value->clear();
    showError(answer);
}

void frmMain::cmbReload_Click()
{
    takeSelection();
    m_guard.begin();
    m_dev.sSendCommand(kRestartCommand, QString::number(Modul->currentIndex()), kRestartParameters);
    if (!m_guard.end())
        return;
    if (m_dev.COMError != 0)
        showError(m_dev.sErrorMsg);
}

} // namespace inputs
