#include "limits_window.h"

#include "controls.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "statusbar.h"
#include "values.h"
#include "windowstyle.h"
#include "protocol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace limits {

namespace {

const QString kProgram = QStringLiteral("Limits");
const QString kTitle = QStringLiteral("Установка уставок");

// Integer parameters are read from the flash and written to it and to the
// working copy; reals likewise.
using namespace instrument::cmd;

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
std::optional<QString> unshownReading(Param p, const QString& answer)
{
    bool ok = false;
    const int n = answer.trimmed().toInt(&ok);
    if (!ok || n >= 0 || n < -32768)
        return std::nullopt;
    const QString hex = QString::number(n + 65536, 16).toUpper();
    QString what;
    switch (p) {
    case Param::THT1: what = QStringLiteral("тип первой уставки"); break;
    case Param::THT2: what = QStringLiteral("тип второй уставки"); break;
    case Param::d_Point: what = QStringLiteral("число цифр после запятой"); break;
    case Param::LOCK_CH: what = QStringLiteral("признак исключения канала"); break;
    default: return std::nullopt;
    }
    return QStringLiteral("из прибора прочитан %1 %2 (шестнадцатеричное): такого значения нет в списке, "
                          "поле не изменено")
        .arg(what, hex);
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

    ui::fill(Type1, typeItems(), 0);
    ui::fill(Type2, typeItems(), 0);
    ui::fill(ChNum, ui::numbers(1, kChannelsPerModule), 0);
    ui::fill(cbDig, ui::numbers(0, 2), 0);
    ui::fill(cbActTH, ui::numbers(1, 10), 0);

    if (!loadLink())
        return false;

    ui::fill(ModulNum, ui::numbers(1, 2), 0);
    ModulNum_Click();
    // The network address is 1 at every start; "dev.dat" does not set it.
    ui::fillNetAddresses(cbNetAdrr, *dev(), 1);

    m_tables.read(*dev());
    StatusBar->showStep(QString());
    reportStartProblems(m_tables.problems());
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

std::optional<qint16> frmMain::address(Param p, QString* refusal) const
{
    const std::optional<qint16> a = m_tables.address(p, ModulNum->currentIndex(), ChNum->currentIndex());
    if (!a && refusal) {
        const ui::BaseAddress& b = m_tables.base(p);
        *refusal = b.valid ? QStringLiteral("не выбран канал") : b.refusal();
    }
    return a;
}

QString frmMain::hexAddress(Param p) const
{
    return instrument::hexText16(address(p, nullptr).value_or(0));
}

bool frmMain::addressesKnown(std::initializer_list<Param> params)
{
    for (Param p : params) {
        QString why;
        if (!address(p, &why)) {
            showError(why);
            return false;
        }
    }
    return true;
}

std::optional<QString> frmMain::readOne(ui::Operation& op, quint8 command, Param p, const QString& step,
                                        AnswerTest test)
{
    if (!step.isEmpty())
        op.step(step);
    const QString& sep = dev()->sFloatingPointSeparator;
    const std::optional<QString> answer =
        op.call([&](instrument::Dev& d) {
            return d.sCOMPort(command, hexAddress(p),
                              command == ReadIntegerFlash ? QStringLiteral("1") : QStringLiteral("0"));
        });
    if (!answer)
        return std::nullopt;
    if (test == AnswerTest::Hex ? instrument::readsAsHex(*answer) : instrument::isNumber(*answer, sep))
        return answer;
    op.fail(unshownReading(p, *answer).value_or(*answer));
    return std::nullopt;
}

std::optional<QString> frmMain::realValue(QLineEdit* box, const QString& field, std::optional<double> zeroAs)
{
    const QString& sep = dev()->sFloatingPointSeparator;
    const QString text = box->text();
    double v = 0;
    if (!instrument::toNumber(text, sep, &v)) {
        refuse(field, QStringLiteral("«%1» не является числом").arg(text));
        return std::nullopt;
    }
    if (v == 0 && zeroAs)
        v = *zeroAs;
    const QString form = dev()->sExpConvection(v);
    double sent = 0;
    if (!ui::carriedExactly(form, v, &sent)) {
        refuse(field, QStringLiteral("«%1» не передаётся прибору точно (прибор получил бы %2), введите меньше цифр")
                          .arg(text, instrument::numberText(sent, sep)));
        return std::nullopt;
    }
    return form;
}

frmMain::Setpoint frmMain::setpoint(int n) const
{
    if (n == 1)
        return {Param::THT1, Param::TH1, Param::HIS1, Type1, Value1, Gis1, QStringLiteral("первой"), 0};
    return {Param::THT2, Param::TH2, Param::HIS2, Type2, Value2, Gis2, QStringLiteral("второй"), 1};
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
    ui::Operation op(this, ui::Operation::Read);

    const std::optional<QString> type =
        readOne(op, ReadIntegerFlash, s.type, QStringLiteral("Чтение типа %1 уставки").arg(s.ordinal), AnswerTest::Hex);
    if (!type)
        return;
    qint64 code = 0;
    const int index = instrument::toWholeNumber(*type, sep, 0, 0xFFFF, &code) ? typeIndex(code) : -1;
    if (index >= 0) {
        ui::selectItem(s.typeBox, index);
        m_readType[s.index].clear();
    } else {
        ui::showInEditField(s.typeBox, *type);
        m_readType[s.index] = *type;
    }
    repaintNow(s.typeBox);

    const std::optional<QString> value = readOne(op, ReadRealFlash, s.value,
                                                 QStringLiteral("Чтение величины %1 уставки").arg(s.ordinal),
                                                 AnswerTest::Number);
    if (!value)
        return;
    ui::showValue(s.valueBox, *value);

    const std::optional<QString> hysteresis =
        readOne(op, ReadRealFlash, s.hysteresis, QStringLiteral("Чтение гистерезиса"), AnswerTest::Number);
    if (!hysteresis)
        return;
    double h = 0;
    instrument::toNumber(*hysteresis, sep, &h);
    ui::showValue(s.hysteresisBox, h == 0 ? instrument::numberText(0.001, sep) : *hysteresis);
}

void frmMain::ReadUsr_Click()
{
    if (!addressesKnown({Param::nS}))
        return;
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer =
        readOne(op, ReadIntegerFlash, Param::nS, QStringLiteral("Чтение усреднения"), AnswerTest::Number);
    if (answer)
        ui::showValue(Usred, *answer);
}

void frmMain::readWhole(Param p, AnswerTest test, const std::function<void(qint64)>& show)
{
    if (!addressesKnown({p}))
        return;
    ui::Operation op(this, ui::Operation::Read);
    const std::optional<QString> answer = readOne(op, ReadIntegerFlash, p, QString(), test);
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
    readWhole(Param::d_Point, AnswerTest::Hex, [this](qint64 n) { ui::selectItem(cbDig, digitsIndex(n)); });
}

void frmMain::cmbActTHRead_Click()
{
    readWhole(Param::TH_REAC11, AnswerTest::Number, [this](qint64 n) { ui::selectItem(cbActTH, countIndex(n)); });
}

void frmMain::cmbDisRead_Click()
{
    readWhole(Param::LOCK_CH, AnswerTest::Hex, [this](qint64 n) { chDis->setChecked(excludedChecked(n)); });
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

    // Every box is checked before anything is written.
    QString typeValue;   // empty: the box still holds the code the last read put there, not written
    const int index = ui::selectedIndex(s.typeBox);
    const QString typeText = s.typeBox->currentText();
    if (index >= 0) {
        typeValue = typeCodes().at(index);
    } else if (m_readType[s.index].isEmpty() || typeText != m_readType[s.index]) {
        refuse(s.typeBox->toolTip(), QStringLiteral("«%1» не является пунктом списка").arg(typeText));
        return;
    }
    const std::optional<QString> value = realValue(s.valueBox, s.valueBox->toolTip(), std::nullopt);
    if (!value)
        return;
    // A hysteresis of 0 goes to the instrument as 0.001; the box keeps its 0.
    const std::optional<QString> hysteresis = realValue(s.hysteresisBox, s.hysteresisBox->toolTip(), 0.001);
    if (!hysteresis)
        return;

    ui::Operation op(this, ui::Operation::Write, QStringLiteral("Запись типа %1 уставки").arg(s.ordinal));
    const QString typeItem = QStringLiteral("тип %1 уставки").arg(s.ordinal);
    const QString valueItem = QStringLiteral("величина %1 уставки").arg(s.ordinal);
    const QString hysteresisItem = QStringLiteral("гистерезис %1 уставки").arg(s.ordinal);
    op.plan(typeValue.isEmpty() ? QStringList{valueItem, hysteresisItem}
                                : QStringList{typeItem, valueItem, hysteresisItem});
    if (!typeValue.isEmpty()) {
        if (!op.writePair(WriteIntegerFlash, WriteInteger, address(s.type, nullptr).value_or(0), typeValue))
            return;
        op.done(typeItem);
    }
    op.step(QStringLiteral("Запись величины %1 уставки").arg(s.ordinal));
    if (!op.writePair(WriteRealFlash, WriteReal, address(s.value, nullptr).value_or(0), *value))
        return;
    op.done(valueItem);
    op.step(QStringLiteral("Запись гистерезиса"));
    if (!op.writePair(WriteRealFlash, WriteReal, address(s.hysteresis, nullptr).value_or(0), *hysteresis))
        return;
    op.done(hysteresisItem);
}

void frmMain::writeInteger(Param p, const QString& value, const QString& step)
{
    ui::Operation op(this, ui::Operation::Write, step);
    (void)op.writePair(WriteIntegerFlash, WriteInteger, address(p, nullptr).value_or(0), value);
}

void frmMain::WriteUsr_Click()
{
    if (!addressesKnown({Param::nS}))
        return;
    const QString value = averagingsValue(Usred->text(), dev()->sFloatingPointSeparator);
    if (value.isEmpty()) {
        refuse(Usred->toolTip(), QStringLiteral("«%1» не является целым числом от 0 до 255").arg(Usred->text()));
        return;
    }
    writeInteger(Param::nS, value, QStringLiteral("Запись числа усреднений"));
}

void frmMain::cmbDigWrite_Click()
{
    if (!addressesKnown({Param::d_Point}))
        return;
    if (cbDig->currentIndex() < 0) {
        refuse(Label12->text(), QStringLiteral("ничего не выбрано"));
        return;
    }
    writeInteger(Param::d_Point, cbDig->currentText(), QString());
}

void frmMain::cmbActTHWrite_Click()
{
    if (!addressesKnown({Param::TH_REAC11}))
        return;
    if (cbActTH->currentIndex() < 0) {
        refuse(Label13->text(), QStringLiteral("ничего не выбрано"));
        return;
    }
    writeInteger(Param::TH_REAC11, countValue(cbActTH->currentIndex()), QString());
}

void frmMain::cmbDisWrite_Click()
{
    if (!addressesKnown({Param::LOCK_CH}))
        return;
    writeInteger(Param::LOCK_CH, chDis->isChecked() ? QStringLiteral("1") : QStringLiteral("0"), QString());
}

} // namespace limits
