#include "inputs_window.h"

#include "controls.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "operation.h"
#include "link.h"
#include "map.h"
#include "statusbar.h"
#include "windowstyle.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <utility>

namespace inputs {

namespace {

namespace map = instrument::map;

const QString kTitle = QStringLiteral("Настройка датчиков");
const QString kHexTip = QStringLiteral(" — шестнадцатеричное число: «10» — это 16");
const QString kTooLarge = QStringLiteral("Слишком большой номер типа датчика");
// The channel parameters of "dev.dat"'s keys, for the start-up report.
const QString kChannelParams = QStringLiteral("ch*.DiapMax,ch*.DiapMin,ch*.Flags,ch*.Sensors,ch*.Wired,ch*.Bias");

} // namespace

QString frmMain::version()
{
    return QStringLiteral("3.0.13");
}

QString frmMain::program()
{
    return QStringLiteral("Inputs");
}

frmMain::frmMain(QWidget* parent) : ui::ProgramWindow(program(), parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4830, 5205);
    createControls();
    StatusBar = new ui::StatusBar(this);
    setStatusBar(StatusBar);
    connectHandlers();
}

frmMain::~frmMain() = default;

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
    // The byte boxes take hexadecimal digits: their tips say so.
    Flags = ui::textBox(this, QStringLiteral("Flags"), Twips{1080, 2220, 1875, 288}, QStringLiteral("Флаги") + kHexTip);
    Label11 = ui::label(this, QStringLiteral("Label11"), QStringLiteral("Датчик"), Twips{600, 2640, 855, 195});
    // Wide up to the buttons, and Sensors tells the whole of a code it has no item for.
    SensorsId = ui::textBox(this, QStringLiteral("SensorsId"), Twips{1860, 2580, 1140, 288},
                            QStringLiteral("Номер датчика"));
    // The number of the type chosen below; what is written is the list's choice.
    SensorsId->setReadOnly(true);
    Sensors = ui::dropDownList(this, QStringLiteral("Sensors"), Twips{60, 2940, 4755, 315},
                               QStringLiteral("Описание датчика"));
    Label12 = ui::label(this, QStringLiteral("Label12"), QStringLiteral("Тип подключения"), Twips{60, 3360, 1515, 195});
    Wired = ui::editableCombo(this, QStringLiteral("Wired"), Twips{1500, 3300, 1395, 315},
                              QStringLiteral("Способ подключения датчика") + kHexTip);
    Label13 = ui::label(this, QStringLiteral("Label13"), QStringLiteral("Смещение"), Twips{60, 3720, 855, 195});
    Bias = ui::textBox(this, QStringLiteral("Bias"), Twips{1020, 3660, 1875, 288}, QStringLiteral("Смещение"));
    Label4 = ui::label(this, QStringLiteral("Label4"), QStringLiteral("Сопротивление линии"), Twips{60, 4020, 1695, 255});
    tbRl = ui::textBox(this, QStringLiteral("tbRl"), Twips{1800, 4020, 1095, 285}, QStringLiteral("Сопротивление линии"));

    cmbReload = ui::wrapButton(this, QStringLiteral("cmbReload"), QStringLiteral("Перезагрузка модуля АЦП"),
                               Twips{3060, 1500, 1695, 555});
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
    if (!loadLink())
        return false;
    QStringList problems = instrumentMap().problems(kChannelParams);
    if (!problems.isEmpty())
        problems << QStringLiteral("Параметры канала не читаются и не записываются, пока файл не исправлен; "
                                   "измеряемая величина и перезагрузка модуля АЦП работают.");
    reportStartProblems(problems);

    ui::fillNetAddresses(cbNetAdrr, *dev(), 1);
    ui::fill(Wired, {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}, 0);
    QStringList types;
    for (const map::Item& item : param(paramInfo(Param::Sensor).key).items)
        types << item.text;
    ui::fill(Sensors, types, 0);
    // The longest types are shown whole: their tails tell them apart.
    ui::fitCaption(Sensors);
    int widest = 0;
    for (const QString& type : types)
        widest = qMax(widest, Sensors->view()->fontMetrics().horizontalAdvance(type));
    Sensors->view()->setMinimumWidth(widest + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
    Sensors_Click();
    ui::fill(Modul, {QStringLiteral("Первый"), QStringLiteral("Второй")}, 0);
    Modul_Click();
    return true;
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
    dev()->bModuleNumber = quint8(module);
    ui::fill(ChNum, channelItems(module), 0);
}

void frmMain::Sensors_Click()
{
    const int code = Sensors->currentIndex();
    SensorsId->setText(code >= 0 ? QString::number(code) : QString());
}

void frmMain::cbNetAdrr_LostFocus()
{
    ui::takeNetAddress(cbNetAdrr, *dev());
}

void frmMain::takeSelection()
{
    if (Modul->currentIndex() >= 0)
        dev()->bModuleNumber = quint8(Modul->currentIndex());
    ui::takeNetAddress(cbNetAdrr, *dev());
}

// ---- addresses ------------------------------------------------------------------

const map::Param& frmMain::param(const QString& key) const
{
    const int module = qMax(0, Modul->currentIndex());
    const int channel = qMax(0, ChNum->currentIndex());
    return *instrumentMap().find(
        QStringLiteral("ch%1.%2").arg(module * map::kChannelsPerModule + channel + 1).arg(key));
}

QString frmMain::addressRefusals() const
{
    QStringList out;
    for (int i = 0; i < kParamCount; ++i) {
        const map::Param& p = param(paramInfo(i).key);
        if (!p.base.valid)
            out << p.base.refusal();
    }
    return out.join(QLatin1Char('\n'));
}

// ---- boxes --------------------------------------------------------------------------

void frmMain::setShown(Param p, const QString& text)
{
    switch (p) {
    case Param::DiapMax: ui::showValue(DiapMax, text); break;
    case Param::DiapMin: ui::showValue(DiapMin, text); break;
    case Param::Flags: ui::showValue(Flags, text); break;
    case Param::Sensor: ui::showValue(SensorsId, text); break;
    case Param::Wired: ui::showInEditField(Wired, text); break;
    case Param::Bias: ui::showValue(Bias, text); break;
    case Param::LineResistance: ui::showValue(tbRl, text); break;
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
    const QString sep = dev()->sFloatingPointSeparator;
    takeSelection();
    ui::Operation op(this, ui::Operation::Read);
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& info = paramInfo(i);
        const map::Param& p = param(info.key);
        const bool real = p.kind == map::Kind::Real;
        op.step(info.readStep);
        std::optional<QString> answer;
        for (const map::Call& call : map::readCalls(p))
            if (!(answer = op.perform(call)))
                return;
        qint64 byte = 0;
        const bool good = real ? instrument::isNumber(*answer, sep)
                               : instrument::toWholeNumber(*answer, sep, -32768, 65535, &byte);
        if (!good) {
            setShown(info.param, QString());
            op.fail(*answer);
            return;
        }
        if (real) {
            setShown(info.param, *answer);
        } else if (info.param == Param::Sensor) {
            const QString type = map::itemText(p, QString::number(byte));
            if (!type.isEmpty()) {
                ui::selectSilently(Sensors, Sensors->findText(type, Qt::MatchExactly));
                ui::showValue(SensorsId, QString::number(byte));
            } else {
                // Not an error: the read goes on. The list shows no type (a
                // write then leaves the type as it is) but the whole message.
                ui::showValue(SensorsId, kTooLarge);
                Sensors->setPlaceholderText(QStringLiteral("%1: %2").arg(kTooLarge).arg(quint16(byte)));
                ui::selectSilently(Sensors, -1);
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
        QString wire;
    };
    QList<Step> steps;
    const QString sep = dev()->sFloatingPointSeparator;
    const int digits = dev()->NOfDigits;
    // The map's value rules give the wire of a value the box holds.
    auto wireOf = [&](Param p, const QString& value, QString* wire) {
        QString canonical, error;
        if (map::parseValue(param(paramInfo(p).key), value, digits, &canonical, wire, &error))
            return true;
        showError(error);
        return false;
    };
    auto real = [&](Param p, const QLineEdit* box) {
        const RealWrite w = realForWrite(box->text(), sep, [&](double v) { return map::realWire(v, digits); });
        const QString& field = paramInfo(p).box;
        QString wire;
        switch (w.status) {
        case RealBox::Empty:
            return true;
        case RealBox::Ok:
            // The map takes "." as the decimal point.
            if (!wireOf(p, box->text().trimmed().replace(sep, QStringLiteral(".")), &wire))
                return false;
            steps.append({p, wire});
            return true;
        case RealBox::NotNumber:
            refuse(field, QStringLiteral("«%1» не является числом").arg(box->text()));
            return false;
        case RealBox::TooManyDigits:
            refuse(field, QStringLiteral("«%1» не передаётся прибору точно (прибор получил бы %2), введите меньше цифр")
                              .arg(box->text(), instrument::numberText(w.sent, sep)));
            return false;
        }
        return false;
    };
    auto byte = [&](Param p, const QString& text) {
        if (text.trimmed().isEmpty())
            return true;
        int value = 0;
        if (!byteFromBox(text, &value)) {
            refuse(paramInfo(p).box,
                   QStringLiteral("«%1» не является байтом (одна или две шестнадцатеричные цифры)").arg(text));
            return false;
        }
        QString wire;
        if (!wireOf(p, QString::number(value), &wire))
            return false;
        steps.append({p, wire});
        return true;
    };
    if (!real(Param::DiapMax, DiapMax) || !real(Param::DiapMin, DiapMin) || !byte(Param::Flags, Flags->text()))
        return;
    if (Sensors->currentIndex() >= 0) {
        QString wire;
        if (!wireOf(Param::Sensor, Sensors->currentText(), &wire))
            return;
        steps.append({Param::Sensor, wire});
    }
    if (!byte(Param::Wired, Wired->currentText()) || !real(Param::Bias, Bias) || !real(Param::LineResistance, tbRl))
        return;

    takeSelection();
    ui::Operation op(this, ui::Operation::Write);
    QStringList items;
    for (const Step& s : steps)
        items << paramInfo(s.param).box;
    op.plan(items);
    for (const Step& s : steps) {
        op.step(paramInfo(s.param).writeStep);
        if (!op.writeParam(param(paramInfo(s.param).key), s.wire))
            return;
        op.done(paramInfo(s.param).box);
    }
}

// ---- measured value and converter restart -------------------------------------------

void frmMain::VRead_Click()
{
    takeSelection();
    ui::Operation op(this, ui::Operation::Read);
    const map::Param& p = param(QStringLiteral("Value"));
    std::optional<QString> answer;
    for (const map::Call& call : map::readCalls(p))
        if (!(answer = op.perform(call)))
            return;
    if (instrument::isNumber(*answer, dev()->sFloatingPointSeparator)) {
        ui::showValue(Value, *answer);
        return;
    }
    Value->clear();
    op.fail(*answer);
}

void frmMain::cmbReload_Click()
{
    takeSelection();
    ui::Operation op(this, ui::Operation::Write);
    if (!op.perform(map::moduleRestartCall(Modul->currentIndex())))
        return;
    if (dev()->COMError != 0)
        op.fail(dev()->sErrorMsg);
}

} // namespace inputs
