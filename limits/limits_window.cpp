#include "limits_window.h"

#include "controls.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "statusbar.h"
#include "values.h"
#include "windowstyle.h"
#include "link.h"
#include "map.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QHash>
#include <limits>

namespace limits {

namespace {

const QString kProgram = QStringLiteral("Limits");
const QString kTitle = QStringLiteral("Установка уставок");

namespace map = instrument::map;
using map::kChannelsPerModule;

QLabel* centred(QLabel* l)
{
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return l;
}

void repaintNow(QWidget* w)
{
    if (w->isVisible())
        w->repaint();
}

// The link gives a 16-bit answer as a signed number: hexadecimal 8000 and
// above arrive negative. Such a reading of a code, a digit count or a flag
// is no item of its list; the message says what was read and why it is
// not shown, instead of a bare "-1".
std::optional<QString> unshownReading(const map::Param& p, const QString& answer)
{
    bool ok = false;
    const int n = answer.trimmed().toInt(&ok);
    if (!ok || n >= 0 || n < -32768)
        return std::nullopt;
    const QString hex = QString::number(n + 65536, 16).toUpper();
    static const QHash<QString, QString> what{
        {QStringLiteral("THT1"), QStringLiteral("тип первой уставки")},
        {QStringLiteral("THT2"), QStringLiteral("тип второй уставки")},
        {QStringLiteral("d_Point"), QStringLiteral("число цифр после запятой")},
        {QStringLiteral("LOCK_CH"), QStringLiteral("признак исключения канала")},
    };
    if (!what.contains(p.key))
        return std::nullopt;
    return QStringLiteral("из прибора прочитан %1 %2 (шестнадцатеричное): такого значения нет в списке, "
                          "поле не изменено")
        .arg(what.value(p.key), hex);
}

// The items of a whole-number list: the parameter's values.
QStringList valueItems(const map::Param* p)
{
    return p ? ui::numbers(int(p->lowest), int(p->highest)) : QStringList();
}

// The item of cbDig for a digits value: the allowed values select their
// item, anything else the item "1".
int digitsIndex(const map::Param& p, qint64 n)
{
    return n >= p.lowest && n <= p.highest ? int(n - p.lowest) : 1;
}

// The item of cbActTH for an identical-observation count: the allowed
// values their item, a larger one the item "2", a smaller one none (-1).
int countIndex(const map::Param& p, qint64 n)
{
    if (n > p.highest)
        return 1;
    return n >= p.lowest ? int(n - p.lowest) : -1;
}

} // namespace

QString frmMain::version()
{
    return QStringLiteral("3.0.15");
}

frmMain::frmMain(QWidget* parent) : ui::ProgramWindow(kProgram, parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4770, 7635);
    createControls();
    connectHandlers();
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    using ui::Twips;
    Label11 = ui::label(this, QStringLiteral("Label11"), QStringLiteral("Сетевой адресс"), Twips{120, 180, 1335, 195});
    cbNetAdrr = ui::dropDownList(this, QStringLiteral("cbNetAdrr"), Twips{1440, 120, 1335, 315});
    cmdExit = ui::button(this, QStringLiteral("cmdExit"), QStringLiteral("Выход"), Twips{2880, 120, 1815, 1155},
                         QStringLiteral("Выход из программы"));
    cmdExit->setFont(instrument::windowFont(12));
    Label1 = centred(ui::label(this, QStringLiteral("Label1"), QStringLiteral("Номер модуля"), Twips{120, 600, 1215, 195}));
    ModulNum = ui::dropDownList(this, QStringLiteral("ModulNum"), Twips{1440, 540, 1335, 315},
                                QStringLiteral("Номер модуля"));
    Label2 = centred(ui::label(this, QStringLiteral("Label2"), QStringLiteral("Номер канала"), Twips{120, 1020, 1215, 195}));
    ChNum = ui::dropDownList(this, QStringLiteral("ChNum"), Twips{1440, 960, 1335, 315}, QStringLiteral("Номер канала"));
    Line2 = ui::line(this, QStringLiteral("Line2"), 0, 1320, 4680);

    Label3 = centred(ui::label(this, QStringLiteral("Label3"), QStringLiteral("Первая уставка"), Twips{0, 1380, 4695, 255}));
    Label4 = ui::label(this, QStringLiteral("Label4"), QStringLiteral("Тип уставки"), Twips{120, 1800, 1155, 195});
    Type1 = ui::editableCombo(this, QStringLiteral("Type1"), Twips{1140, 1740, 3555, 315},
                              QStringLiteral("Тип первой уставки"));
    Label5 = ui::label(this, QStringLiteral("Label5"), QStringLiteral("Величина уставки"), Twips{120, 2160, 1455, 195});
    Value1 = ui::textBox(this, QStringLiteral("Value1"), Twips{1560, 2100, 1095, 288},
                         QStringLiteral("Величина первой уставки"));
    Label6 = ui::label(this, QStringLiteral("Label6"), QStringLiteral("Гистерезис"), Twips{120, 2520, 1095, 195});
    Gis1 = ui::textBox(this, QStringLiteral("Gis1"), Twips{1140, 2460, 1515, 288},
                       QStringLiteral("Гистерезис для первой уставки"));
    Read1 = ui::button(this, QStringLiteral("Read1"), QStringLiteral("Прочитать"), Twips{2760, 2160, 975, 555},
                       QStringLiteral("Прочитать первую уставку"));
    Write1 = ui::button(this, QStringLiteral("Write1"), QStringLiteral("Записать"), Twips{3720, 2160, 975, 555},
                        QStringLiteral("Записать первую уставку"));
    Line3 = ui::line(this, QStringLiteral("Line3"), 0, 2820, 4680);

    Label7 = centred(ui::label(this, QStringLiteral("Label7"), QStringLiteral("Вторая уставка"), Twips{0, 2940, 4695, 255}));
    Label8 = ui::label(this, QStringLiteral("Label8"), QStringLiteral("Тип уставки"), Twips{120, 3360, 1155, 195});
    Type2 = ui::editableCombo(this, QStringLiteral("Type2"), Twips{1140, 3300, 3555, 315},
                              QStringLiteral("Тип второй уставки"));
    Label9 = ui::label(this, QStringLiteral("Label9"), QStringLiteral("Величина уставки"), Twips{120, 3720, 1575, 195});
    Value2 = ui::textBox(this, QStringLiteral("Value2"), Twips{1560, 3660, 1095, 288},
                         QStringLiteral("Величина второй уставки"));
    Label10 = ui::label(this, QStringLiteral("Label10"), QStringLiteral("Гистерезис"), Twips{120, 4080, 1395, 195});
    Gis2 = ui::textBox(this, QStringLiteral("Gis2"), Twips{1080, 4020, 1575, 288},
                       QStringLiteral("Гистерезис для второй уставки"));
    Read2 = ui::button(this, QStringLiteral("Read2"), QStringLiteral("Прочитать"), Twips{2760, 3720, 975, 555},
                       QStringLiteral("прочитать вторую уставку"));
    Write2 = ui::button(this, QStringLiteral("Write2"), QStringLiteral("Записать"), Twips{3720, 3720, 975, 555},
                        QStringLiteral("записать вторую уставку"));
    Line6 = ui::line(this, QStringLiteral("Line6"), 0, 4380, 4680);

    Label20 = centred(ui::label(this, QStringLiteral("Label20"), QStringLiteral("Усреднение"), Twips{120, 4560, 1035, 195}));
    Usred = ui::textBox(this, QStringLiteral("Usred"), Twips{1200, 4500, 495, 315}, QStringLiteral("Количество усреднений"));
    ReadUsr = ui::button(this, QStringLiteral("ReadUsr"), QStringLiteral("Прочитать"), Twips{1920, 4500, 1275, 372},
                         QStringLiteral("Прочитать количество усреднений"));
    WriteUsr = ui::button(this, QStringLiteral("WriteUsr"), QStringLiteral("Записать"), Twips{3360, 4500, 1335, 372},
                          QStringLiteral("Записать количество усреднений"));

    Label12 = centred(ui::label(this, QStringLiteral("Label12"), QStringLiteral("Число цифр после запятой"),
                                Twips{120, 4920, 4575, 195}));
    cbDig = ui::dropDownList(this, QStringLiteral("cbDig"), Twips{240, 5220, 1455, 315});
    cmbDigRead = ui::button(this, QStringLiteral("cmbDigRead"), QStringLiteral("Прочитать"), Twips{1920, 5220, 1275, 375});
    cmbDigWrite = ui::button(this, QStringLiteral("cmbDigWrite"), QStringLiteral("Записать"), Twips{3360, 5220, 1335, 375});

    // Wraps onto two lines where our font makes the caption wider than the window.
    Label13 = centred(ui::label(this, QStringLiteral("Label13"),
                                QStringLiteral("Число одинаковых наблюдений перед срабатыванием уставки"),
                                Twips{0, 5640, 4695, 495}));
    Label13->setWordWrap(true);
    cbActTH = ui::dropDownList(this, QStringLiteral("cbActTH"), Twips{240, 6240, 1455, 315});
    cmbActTHRead = ui::button(this, QStringLiteral("cmbActTHRead"), QStringLiteral("Прочитать"), Twips{1920, 6240, 1215, 375});
    cmbActTHWrite = ui::button(this, QStringLiteral("cmbActTHWrite"), QStringLiteral("Записать"),
                               Twips{3360, 6240, 1335, 375});

    // Beside its indicator the caption takes two lines.
    chDis = ui::checkBox(this, QStringLiteral("chDis"), QStringLiteral("Исключить канал\nиз работы"),
                         Twips{120, 6720, 1575, 495});
    cmbDisRead = ui::button(this, QStringLiteral("cmbDisRead"), QStringLiteral("Прочитать"), Twips{1920, 6840, 1215, 375});
    cmbDisWrite = ui::button(this, QStringLiteral("cmbDisWrite"), QStringLiteral("Записать"), Twips{3360, 6840, 1335, 375});

    Value1->setText(QStringLiteral("0"));
    Gis1->setText(QStringLiteral("1"));
    Value2->setText(QStringLiteral("0"));
    Gis2->setText(QStringLiteral("1"));
    Usred->setText(QStringLiteral("1"));

    StatusBar = new ui::StatusBar(this);
    setStatusBar(StatusBar);

    const QList<QWidget*> order{ModulNum,   ChNum,        Value1,        Gis1,    Read1,      Write1,      Value2,
                                Gis2,       Read2,        Write2,        Type1,   Type2,      Usred,       ReadUsr,
                                WriteUsr,   cmdExit,      cbNetAdrr,     cmbDigRead, cmbDigWrite, cbDig, cbActTH,
                                cmbActTHRead, cmbActTHWrite, chDis,      cmbDisRead, cmbDisWrite};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void frmMain::connectHandlers()
{
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(ModulNum, &QComboBox::currentIndexChanged, this, &frmMain::ModulNum_Click);
    ui::connectNetAddress(cbNetAdrr, this, [this] { cbNetAdrr_LostFocus(); });
    connect(Read1, &QPushButton::clicked, this, &frmMain::Read1_Click);
    connect(Write1, &QPushButton::clicked, this, &frmMain::Write1_Click);
    connect(Read2, &QPushButton::clicked, this, &frmMain::Read2_Click);
    connect(Write2, &QPushButton::clicked, this, &frmMain::Write2_Click);
    connect(ReadUsr, &QPushButton::clicked, this, &frmMain::ReadUsr_Click);
    connect(WriteUsr, &QPushButton::clicked, this, &frmMain::WriteUsr_Click);
    connect(cmbDigRead, &QPushButton::clicked, this, &frmMain::cmbDigRead_Click);
    connect(cmbDigWrite, &QPushButton::clicked, this, &frmMain::cmbDigWrite_Click);
    connect(cmbActTHRead, &QPushButton::clicked, this, &frmMain::cmbActTHRead_Click);
    connect(cmbActTHWrite, &QPushButton::clicked, this, &frmMain::cmbActTHWrite_Click);
    connect(cmbDisRead, &QPushButton::clicked, this, &frmMain::cmbDisRead_Click);
    connect(cmbDisWrite, &QPushButton::clicked, this, &frmMain::cmbDisWrite_Click);
}

// ---- start-up and exit ------------------------------------------------------------

bool frmMain::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, version()));
    StatusBar->showStep(QStringLiteral("Loading"));

    const map::Param* type = instrumentMap().find(QStringLiteral("ch1.THT1"));
    QStringList types;
    for (const map::Item& item : type->items)
        types << item.text;
    ui::fill(Type1, types, 0);
    ui::fill(Type2, types, 0);
    ui::fill(ChNum, ui::numbers(1, kChannelsPerModule), 0);
    ui::fill(cbDig, valueItems(instrumentMap().find(QStringLiteral("ch1.d_Point"))), 0);
    ui::fill(cbActTH, valueItems(instrumentMap().find(QStringLiteral("ch1.TH_REAC11"))), 0);

    if (!loadLink())
        return false;

    ui::fill(ModulNum, ui::numbers(1, 2), 0);
    ModulNum_Click();
    // The network address is 1 at every start; "dev.dat" does not set it.
    ui::fillNetAddresses(cbNetAdrr, *dev(), 1);

    StatusBar->showStep(QString());
    reportStartProblems(instrumentMap().problems(
        QStringLiteral("ch?.THT?,ch?.TH?,ch?.HIS?,ch?.nS,ch?.d_Point,ch?.TH_REAC11,ch?.LOCK_CH")));
    return true;
}

void frmMain::cmdExit_Click()
{
    close();
}

// ---- selection ----------------------------------------------------------------------

void frmMain::ModulNum_Click()
{
    const int m = qMax(0, ModulNum->currentIndex());
    ui::fill(ChNum, ui::numbers(m * kChannelsPerModule + 1, m * kChannelsPerModule + kChannelsPerModule), 0);
}

void frmMain::cbNetAdrr_LostFocus()
{
    ui::takeNetAddress(cbNetAdrr, *dev());
}

// ---- the common frame of an operation ---------------------------------------------------

const map::Param* frmMain::param(const QString& key) const
{
    const int module = ModulNum->currentIndex();
    const int channel = ChNum->currentIndex();
    if (module < 0 || channel < 0)
        return nullptr;
    return instrumentMap().find(QStringLiteral("ch%1.%2").arg(module * kChannelsPerModule + channel + 1).arg(key));
}

bool frmMain::addressesKnown(std::initializer_list<QString> keys)
{
    for (const QString& key : keys) {
        const map::Param* p = param(key);
        if (!p || !p->base.valid) {
            showError(p ? p->base.refusal() : QStringLiteral("не выбран канал"));
            return false;
        }
    }
    return true;
}

std::optional<QString> frmMain::readOne(ui::Operation& op, const map::Param& p, const QString& step, AnswerTest test)
{
    if (!step.isEmpty())
        op.step(step);
    std::optional<QString> answer;
    for (const map::Call& call : map::readCalls(p))
        if (!(answer = op.perform(call)))
            return std::nullopt;
    if (test == AnswerTest::Hex ? instrument::readsAsHex(*answer)
                                : instrument::isNumber(*answer, dev()->sFloatingPointSeparator))
        return answer;
    op.fail(unshownReading(p, *answer).value_or(*answer));
    return std::nullopt;
}

std::optional<QString> frmMain::realValue(const map::Param& p, QLineEdit* box, const QString& field)
{
    const QString& sep = dev()->sFloatingPointSeparator;
    const QString text = box->text();
    double v = 0;
    if (!instrument::toNumber(text, sep, &v)) {
        refuse(field, QStringLiteral("«%1» не является числом").arg(text));
        return std::nullopt;
    }
    // The map takes "." as the decimal point.
    QString canonical = text.trimmed();
    if (sep != QLatin1String("."))
        canonical.replace(sep, QStringLiteral("."));
    const int digits = dev()->NOfDigits;
    QString value, wire, error;
    if (map::parseValue(p, canonical, digits, &value, &wire, &error))
        return wire;
    const double goes = v == 0 && p.zeroReplaced ? p.zeroAs : v;
    double sent = 0;
    map::carriedExactly(map::realWire(goes, digits), goes, &sent);
    refuse(field, QStringLiteral("«%1» не передаётся прибору точно (прибор получил бы %2), введите меньше цифр")
                      .arg(text, instrument::numberText(sent, sep)));
    return std::nullopt;
}

frmMain::Setpoint frmMain::setpoint(int n) const
{
    if (n == 1)
        return {QStringLiteral("THT1"), QStringLiteral("TH1"), QStringLiteral("HIS1"), Type1, Value1, Gis1,
                QStringLiteral("первой"), 0};
    return {QStringLiteral("THT2"), QStringLiteral("TH2"), QStringLiteral("HIS2"), Type2, Value2, Gis2,
            QStringLiteral("второй"), 1};
}

// ---- reads ------------------------------------------------------------------------------

void frmMain::Read1_Click()
{
    readSetpoint(setpoint(1));
}

void frmMain::Read2_Click()
{
    readSetpoint(setpoint(2));
}

void frmMain::readSetpoint(const Setpoint& s)
{
    if (!addressesKnown({s.type, s.value, s.hysteresis}))
        return;
    const QString& sep = dev()->sFloatingPointSeparator;
    const map::Param& typeParam = *param(s.type);
    const map::Param& hysteresisParam = *param(s.hysteresis);
    ui::Operation op(this, ui::Operation::Read);

    const std::optional<QString> type =
        readOne(op, typeParam, QStringLiteral("Чтение типа %1 уставки").arg(s.ordinal), AnswerTest::Hex);
    if (!type)
        return;
    qint64 code = 0;
    int index = -1;
    if (instrument::toWholeNumber(*type, sep, 0, 0xFFFF, &code))
        for (int i = 0; i < typeParam.items.size() && index < 0; ++i)
            if (typeParam.items.at(i).code == code)
                index = i;
    if (index >= 0) {
        ui::selectItem(s.typeBox, index);
        m_readType[s.index].clear();
    } else {
        ui::showInEditField(s.typeBox, *type);
        m_readType[s.index] = *type;
    }
    repaintNow(s.typeBox);

    const std::optional<QString> value = readOne(op, *param(s.value),
                                                 QStringLiteral("Чтение величины %1 уставки").arg(s.ordinal),
                                                 AnswerTest::Number);
    if (!value)
        return;
    ui::showValue(s.valueBox, *value);

    const std::optional<QString> hysteresis =
        readOne(op, hysteresisParam, QStringLiteral("Чтение гистерезиса"), AnswerTest::Number);
    if (!hysteresis)
        return;
    // A hysteresis of 0 is kept by the instrument as the value that replaces it.
    double h = 0;
    instrument::toNumber(*hysteresis, sep, &h);
    ui::showValue(s.hysteresisBox, h == 0 && hysteresisParam.zeroReplaced
                                       ? instrument::numberText(hysteresisParam.zeroAs, sep)
                                       : *hysteresis);
}

void frmMain::ReadUsr_Click()
{
    if (!addressesKnown({QStringLiteral("nS")}))
        return;
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer =
        readOne(op, *param(QStringLiteral("nS")), QStringLiteral("Чтение усреднения"), AnswerTest::Number);
    if (answer)
        ui::showValue(Usred, *answer);
}

void frmMain::readWhole(const QString& key, AnswerTest test, const std::function<void(qint64)>& show)
{
    if (!addressesKnown({key}))
        return;
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer = readOne(op, *param(key), QString(), test);
    if (!answer)
        return;
    qint64 n = 0;
    if (!instrument::toWholeNumber(*answer, dev()->sFloatingPointSeparator, std::numeric_limits<qint32>::min(),
                                   std::numeric_limits<qint32>::max(), &n)) {
        op.fail(*answer);
        return;
    }
    show(n);
}

void frmMain::cmbDigRead_Click()
{
    readWhole(QStringLiteral("d_Point"), AnswerTest::Hex,
              [this](qint64 n) { ui::selectItem(cbDig, digitsIndex(*param(QStringLiteral("d_Point")), n)); });
}

void frmMain::cmbActTHRead_Click()
{
    readWhole(QStringLiteral("TH_REAC11"), AnswerTest::Number,
              [this](qint64 n) { ui::selectItem(cbActTH, countIndex(*param(QStringLiteral("TH_REAC11")), n)); });
}

void frmMain::cmbDisRead_Click()
{
    // The box is checked for the value 1 only.
    readWhole(QStringLiteral("LOCK_CH"), AnswerTest::Hex, [this](qint64 n) { chDis->setChecked(n == 1); });
}

// ---- writes ---------------------------------------------------------------------------

void frmMain::Write1_Click()
{
    writeSetpoint(setpoint(1));
}

void frmMain::Write2_Click()
{
    writeSetpoint(setpoint(2));
}

void frmMain::writeSetpoint(const Setpoint& s)
{
    if (!addressesKnown({s.type, s.value, s.hysteresis}))
        return;
    const map::Param& typeParam = *param(s.type);
    const map::Param& valueParam = *param(s.value);
    const map::Param& hysteresisParam = *param(s.hysteresis);

    // Every box is checked before anything is written.
    QString typeWire;   // empty: the box still holds the code the last read put there, not written
    const int index = ui::selectedIndex(s.typeBox);
    const QString typeText = s.typeBox->currentText();
    QString canonical;
    QString error;
    if (index >= 0 && index < typeParam.items.size()) {
        map::parseValue(typeParam, QString::number(typeParam.items.at(index).code), dev()->NOfDigits, &canonical,
                        &typeWire, &error);
    } else if (m_readType[s.index].isEmpty() || typeText != m_readType[s.index]) {
        refuse(s.typeBox->toolTip(), QStringLiteral("«%1» не является пунктом списка").arg(typeText));
        return;
    }
    const std::optional<QString> value = realValue(valueParam, s.valueBox, s.valueBox->toolTip());
    if (!value)
        return;
    // A hysteresis of 0 goes to the instrument as the map's replacement; the box keeps its 0.
    const std::optional<QString> hysteresis = realValue(hysteresisParam, s.hysteresisBox, s.hysteresisBox->toolTip());
    if (!hysteresis)
        return;

    ui::Operation op(this, ui::Operation::Write, QStringLiteral("Запись типа %1 уставки").arg(s.ordinal));
    const QString typeItem = QStringLiteral("тип %1 уставки").arg(s.ordinal);
    const QString valueItem = QStringLiteral("величина %1 уставки").arg(s.ordinal);
    const QString hysteresisItem = QStringLiteral("гистерезис %1 уставки").arg(s.ordinal);
    op.plan(typeWire.isEmpty() ? QStringList{valueItem, hysteresisItem}
                               : QStringList{typeItem, valueItem, hysteresisItem});
    if (!typeWire.isEmpty()) {
        if (!op.writeParam(typeParam, typeWire))
            return;
        op.done(typeItem);
    }
    op.step(QStringLiteral("Запись величины %1 уставки").arg(s.ordinal));
    if (!op.writeParam(valueParam, *value))
        return;
    op.done(valueItem);
    op.step(QStringLiteral("Запись гистерезиса"));
    if (!op.writeParam(hysteresisParam, *hysteresis))
        return;
    op.done(hysteresisItem);
}

void frmMain::writeInteger(const QString& key, qint64 value, const QString& step)
{
    const map::Param& p = *param(key);
    QString canonical, wire, error;
    if (!map::parseValue(p, QString::number(value), dev()->NOfDigits, &canonical, &wire, &error)) {
        showError(error);
        return;
    }
    ui::Operation op(this, ui::Operation::Write, step);
    (void)op.writeParam(p, wire);
}

void frmMain::WriteUsr_Click()
{
    const QString key = QStringLiteral("nS");
    if (!addressesKnown({key}))
        return;
    const map::Param& p = *param(key);
    qint64 n = 0;
    if (!instrument::toWholeNumber(Usred->text(), dev()->sFloatingPointSeparator, p.lowest, p.highest, &n)) {
        refuse(Usred->toolTip(), QStringLiteral("«%1» не является целым числом от %2 до %3")
                                     .arg(Usred->text())
                                     .arg(p.lowest)
                                     .arg(p.highest));
        return;
    }
    writeInteger(key, n, QStringLiteral("Запись числа усреднений"));
}

void frmMain::cmbDigWrite_Click()
{
    const QString key = QStringLiteral("d_Point");
    if (!addressesKnown({key}))
        return;
    if (cbDig->currentIndex() < 0) {
        refuse(Label12->text(), QStringLiteral("ничего не выбрано"));
        return;
    }
    writeInteger(key, param(key)->lowest + cbDig->currentIndex(), QString());
}

void frmMain::cmbActTHWrite_Click()
{
    const QString key = QStringLiteral("TH_REAC11");
    if (!addressesKnown({key}))
        return;
    if (cbActTH->currentIndex() < 0) {
        refuse(Label13->text(), QStringLiteral("ничего не выбрано"));
        return;
    }
    writeInteger(key, param(key)->lowest + cbActTH->currentIndex(), QString());
}

void frmMain::cmbDisWrite_Click()
{
    const QString key = QStringLiteral("LOCK_CH");
    if (!addressesKnown({key}))
        return;
    writeInteger(key, chDis->isChecked() ? 1 : 0, QString());
}

} // namespace limits
