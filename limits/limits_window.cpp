#include "limits_window.h"

#include "controls.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "statusbar.h"
#include "values.h"
#include "windowstyle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <limits>

namespace limits {

namespace {

const QString kProgram = QStringLiteral("Limits");
const QString kTitle = QStringLiteral("Установка уставок");
const QString kOK = QStringLiteral("OK");
const QString kNothingWritten = QStringLiteral("; ничего не записано");

// Integer parameters are read with 6 and written with 5 (flash) and 13;
// reals are read with 12 and written with 11 (flash) and 15.
constexpr quint8 kReadInteger = 6;
constexpr quint8 kReadReal = 12;
constexpr quint8 kFlashInteger = 5;
constexpr quint8 kWriteInteger = 13;
constexpr quint8 kFlashReal = 11;
constexpr quint8 kWriteReal = 15;

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

// A setpoint type that a read put into the box's edit field: the decimal
// digits of a byte no item stands for.
bool isReadTypeCode(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*\\d+\\s*$"));
    return digits.match(text).hasMatch();
}

} // namespace

QString frmMain::version()
{
    return QStringLiteral("3.0.15");
}

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4770, 7635);
    createControls();
    connectHandlers();
}

frmMain::~frmMain()
{
    Form_Unload();
}

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
    m_guard.setStatusBar(StatusBar);

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

    if (!ui::loadLink(m_dev, this, kProgram))
        return false;
    m_devLoaded = true;

    ui::fill(ModulNum, ui::numbers(1, 2), 0);
    ModulNum_Click();
    // The network address is 1 at every start; "dev.dat" does not set it.
    ui::fillNetAddresses(cbNetAdrr, m_dev, 1);

    m_tables.read(m_dev);
    StatusBar->showStep(QString());

    const QStringList problems = m_tables.problems();
    if (!problems.isEmpty())
        ui::noticeBox(this, kProgram, problems.join(QLatin1Char('\n')));
    return true;
}

void frmMain::Form_Unload()
{
    if (m_devLoaded) {
        m_dev.Form_Unload();
        m_devLoaded = false;
    }
    m_dev.hide();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (m_guard.holdClose(event))
        return;
    Form_Unload();
    event->accept();
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
    ui::takeNetAddress(cbNetAdrr, m_dev);
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
            refuse(why);
            return false;
        }
    }
    return true;
}

void frmMain::refuse(const QString& text)
{
    ui::errorBox(this, kProgram, text);
}

void frmMain::finish()
{
    (void)m_guard.end();
}

void frmMain::fail(const QString& text)
{
    if (m_guard.end())
        ui::errorBox(this, kProgram, text);
}

std::optional<QString> frmMain::readOne(quint8 command, Param p, const QString& step, AnswerTest test)
{
    if (!step.isEmpty())
        m_guard.showStep(step);
    const QString answer = m_dev.sCOMPort(command, hexAddress(p),
                                          command == kReadInteger ? QStringLiteral("1") : QStringLiteral("0"));
    if (m_guard.closedMeanwhile())
        return std::nullopt;
    const bool good = test == AnswerTest::Hex ? instrument::readsAsHex(answer)
                                              : instrument::isNumber(answer, m_dev.sFloatingPointSeparator);
    if (!good) {
        fail(answer);
        return std::nullopt;
    }
    return answer;
}

std::optional<qint64> frmMain::wholeAnswer(const QString& answer)
{
    qint64 n = 0;
    if (instrument::toWholeNumber(answer, m_dev.sFloatingPointSeparator, std::numeric_limits<qint32>::min(),
                                  std::numeric_limits<qint32>::max(), &n))
        return n;
    fail(answer);
    return std::nullopt;
}

bool frmMain::writePair(Param p, quint8 flashCommand, quint8 verifiedCommand, const QString& value,
                        const QString& step)
{
    if (!step.isEmpty())
        m_guard.showStep(step);
    QString result = m_dev.sWriteToFlash(flashCommand, address(p, nullptr).value_or(0), value);
    if (m_guard.closedMeanwhile())
        return false;
    if (result != kOK) {
        fail(result);
        return false;
    }
    result = m_dev.sWriteAndRead(verifiedCommand, hexAddress(p), value);
    if (m_guard.closedMeanwhile())
        return false;
    if (result != kOK) {
        fail(result);
        return false;
    }
    return true;
}

std::optional<QString> frmMain::realValue(QLineEdit* box, const QString& what, std::optional<double> zeroAs)
{
    const QString& sep = m_dev.sFloatingPointSeparator;
    const QString text = box->text();
    double v = 0;
    if (!instrument::toNumber(text, sep, &v)) {
        refuse(QStringLiteral("%1 «%2» не является числом").arg(what, text) + kNothingWritten);
        return std::nullopt;
    }
    if (v == 0 && zeroAs)
        v = *zeroAs;
    const QString form = m_dev.sExpConvection(v);
    double sent = 0;
    if (!ui::carriedExactly(form, v, &sent)) {
        refuse(QStringLiteral("%1 «%2» не передаётся прибору точно (прибор получил бы %3), введите меньше цифр")
                   .arg(what, text, instrument::numberText(sent, sep))
               + kNothingWritten);
        return std::nullopt;
    }
    return form;
}

frmMain::Setpoint frmMain::setpoint(int n) const
{
    if (n == 1)
        return {Param::THT1, Param::TH1, Param::HIS1, Type1, Value1, Gis1, QStringLiteral("первой")};
    return {Param::THT2, Param::TH2, Param::HIS2, Type2, Value2, Gis2, QStringLiteral("второй")};
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
    const QString& sep = m_dev.sFloatingPointSeparator;
    m_guard.begin();

    const std::optional<QString> type =
        readOne(kReadInteger, s.type, QStringLiteral("Чтение типа %1 уставки").arg(s.ordinal), AnswerTest::Hex);
    if (!type)
        return;
    qint64 code = 0;
    const int index = instrument::toWholeNumber(*type, sep, 0, 0xFFFF, &code) ? typeIndex(code) : -1;
    if (index >= 0)
        ui::selectItem(s.typeBox, index);
    else
        ui::showInEditField(s.typeBox, *type);
    repaintNow(s.typeBox);

    const std::optional<QString> value =
        readOne(kReadReal, s.value, QStringLiteral("Чтение величины %1 уставки").arg(s.ordinal), AnswerTest::Number);
    if (!value)
        return;
    s.valueBox->setText(*value);
    repaintNow(s.valueBox);

    const std::optional<QString> hysteresis =
        readOne(kReadReal, s.hysteresis, QStringLiteral("Чтение гистерезиса"), AnswerTest::Number);
    if (!hysteresis)
        return;
    double h = 0;
    instrument::toNumber(*hysteresis, sep, &h);
    s.hysteresisBox->setText(h == 0 ? instrument::numberText(0.001, sep) : *hysteresis);
    repaintNow(s.hysteresisBox);
    finish();
}

void frmMain::ReadUsr_Click()
{
    if (!addressesKnown({Param::nS}))
        return;
    m_guard.begin();
    const std::optional<QString> answer =
        readOne(kReadInteger, Param::nS, QStringLiteral("Чтение усреднения"), AnswerTest::Number);
    if (!answer)
        return;
    Usred->setText(*answer);
    finish();
}

void frmMain::readWhole(Param p, AnswerTest test, const std::function<void(qint64)>& show)
{
    if (!addressesKnown({p}))
        return;
    m_guard.begin();
    const std::optional<QString> answer = readOne(kReadInteger, p, QString(), test);
    if (!answer)
        return;
    const std::optional<qint64> n = wholeAnswer(*answer);
    if (!n)
        return;
    show(*n);
    finish();
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
    QString typeValue;   // empty: the box holds a code read from the instrument, not written
    const int index = ui::selectedIndex(s.typeBox);
    if (index >= 0) {
        typeValue = typeCodes().at(index);
    } else if (!isReadTypeCode(s.typeBox->currentText())) {
        refuse(QStringLiteral("тип %1 уставки «%2» не является пунктом списка").arg(s.ordinal, s.typeBox->currentText())
               + kNothingWritten);
        return;
    }
    const std::optional<QString> value =
        realValue(s.valueBox, QStringLiteral("величина %1 уставки").arg(s.ordinal), std::nullopt);
    if (!value)
        return;
    // A hysteresis of 0 goes to the instrument as 0.001; the box keeps its 0.
    const std::optional<QString> hysteresis =
        realValue(s.hysteresisBox, QStringLiteral("гистерезис %1 уставки").arg(s.ordinal), 0.001);
    if (!hysteresis)
        return;

    m_guard.begin(QStringLiteral("Запись типа %1 уставки").arg(s.ordinal));
    if (!typeValue.isEmpty() && !writePair(s.type, kFlashInteger, kWriteInteger, typeValue, QString()))
        return;
    if (!writePair(s.value, kFlashReal, kWriteReal, *value, QStringLiteral("Запись величины %1 уставки").arg(s.ordinal)))
        return;
    if (!writePair(s.hysteresis, kFlashReal, kWriteReal, *hysteresis, QStringLiteral("Запись гистерезиса")))
        return;
    finish();
}

void frmMain::writeInteger(Param p, const QString& value, const QString& step)
{
    m_guard.begin(step);
    if (writePair(p, kFlashInteger, kWriteInteger, value, QString()))
        finish();
}

void frmMain::WriteUsr_Click()
{
    if (!addressesKnown({Param::nS}))
        return;
    const QString value = averagingsValue(Usred->text(), m_dev.sFloatingPointSeparator);
    if (value.isEmpty()) {
        refuse(QStringLiteral("количество усреднений «%1» не является целым числом от 0 до 255").arg(Usred->text())
               + kNothingWritten);
        return;
    }
    writeInteger(Param::nS, value, QStringLiteral("Запись числа усреднений"));
}

void frmMain::cmbDigWrite_Click()
{
    if (!addressesKnown({Param::d_Point}))
        return;
    if (cbDig->currentIndex() < 0) {
        refuse(QStringLiteral("не выбрано число цифр после запятой") + kNothingWritten);
        return;
    }
    writeInteger(Param::d_Point, cbDig->currentText(), QString());
}

void frmMain::cmbActTHWrite_Click()
{
    if (!addressesKnown({Param::TH_REAC11}))
        return;
    if (cbActTH->currentIndex() < 0) {
        refuse(QStringLiteral("не выбрано число одинаковых наблюдений перед срабатыванием уставки") + kNothingWritten);
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
