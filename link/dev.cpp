#include "dev.h"

#include "cp1251.h"
#include "inifile.h"
#include "numbers.h"
#include "programfolder.h"
#include "qtserialport.h"
#include "windowstyle.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <cmath>

namespace instrument {

const QString kSystemErrorPrefix = QStringLiteral("Ошибка Windows");

namespace {

using instrument::twips;

// Answer messages of both paths.
const QString kMsgDeviceError = QStringLiteral("Прибор выдает ошибку");
const QString kMsgNoAnswer = QStringLiteral("Прибор не отвечает");
const QString kMsgBadForm = QStringLiteral("Получен ответ неправильного формата");
const QString kMsgNotWritten = QStringLiteral("Не удалось записать в прибор");
const QString kMsgNaN = QStringLiteral("В памяти прибора по данному адресу находится чило в неверном формате");
const QString kMsgBadNumber = QStringLiteral("Из прибора пришло число в неправильном формате");
const QString kMsgBadReadings = QStringLiteral("Из прибора пришел ответ неправильного формата");
const QString kMsgBadReadingsField = QStringLiteral("Пришел ответ неправильного формата");
const QString kMsgBadBlock = QStringLiteral("Непавильный формат ответа прибора");
const QString kMsgNoCommand = QStringLiteral("Нет такой команды");

// What the system says when an answer cannot even be taken apart.
const QString kDescOverflow = QStringLiteral("Переполнение");
const QString kDescBadCall = QStringLiteral("Недопустимый вызов процедуры или недопустимый аргумент");
const QString kDescMissingField = QStringLiteral("Индекс выходит за пределы допустимого диапазона");

// Where the answer's terminator is looked for: after the CR and LF that the
// received text starts with. Those are the tail of an earlier answer (its LF
// still on the line when the port was opened again), not this answer's end.
// Any other line in front of the answer, an echoed frame say, still ends it.
int terminatorSearchStart(const QString& answer)
{
    int i = 0;
    while (i < answer.size() && (answer.at(i) == QLatin1Char('\r') || answer.at(i) == QLatin1Char('\n')))
        ++i;
    return i;
}

// Keeps the text up to and including the first LF of the answer, then up to
// and including its first CR.
QString cutAnswer(QString answer)
{
    const int from = terminatorSearchStart(answer);
    const int lf = answer.indexOf(QLatin1Char('\n'), from);
    if (lf >= 0)
        answer.truncate(lf + 1);
    const int cr = answer.indexOf(QLatin1Char('\r'), from);
    if (cr >= 0)
        answer.truncate(cr + 1);
    return answer;
}

QString replaceFirst(QString text, const QString& what, const QString& with)
{
    const int at = text.indexOf(what);
    if (at >= 0 && !what.isEmpty())
        text.replace(at, what.size(), with);
    return text;
}

// The ";"-terminated fields at the start of text; the rest after the last
// ";" (a field without its terminator) is not one.
QStringList terminatedFields(const QString& text)
{
    QStringList fields = text.split(QLatin1Char(';'));
    fields.removeLast();
    return fields;
}

bool hasMarkers(const QString& answer)
{
    return answer.contains(QLatin1Char(';')) && answer.contains(QLatin1Char('!'));
}

QString unmarkedMessage(const QString& answer)
{
    if (answer.contains(QLatin1String("ERR")))
        return kMsgDeviceError;
    if (answer.isEmpty())
        return kMsgNoAnswer;
    return kMsgBadForm;
}

} // namespace

Dev::Dev(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_port(std::make_unique<QtSerialPort>())
    , m_clock(std::make_shared<SystemClock>())
{
    setObjectName(QStringLiteral("Dev"));
    setFixedSize(twips(4935), twips(1695));

    Label = new QLabel(QStringLiteral("Reading"), this);
    Label->setObjectName(QStringLiteral("Label"));
    Label->setGeometry(twips(120), twips(120), twips(4695), twips(375));
    QFont big(QStringLiteral("Arial"));
    big.setPointSize(12);
    Label->setFont(big);

    COMIn = new QLineEdit(this);
    COMIn->setObjectName(QStringLiteral("COMIn"));
    COMIn->setGeometry(twips(120), twips(720), twips(4695), twips(375));

    COMOut = new QLineEdit(this);
    COMOut->setObjectName(QStringLiteral("COMOut"));
    COMOut->setGeometry(twips(120), twips(1200), twips(4695), twips(375));
}

Dev::~Dev()
{
    Form_Unload();
    while (m_busy > 0)
        endBusy();
}

void Dev::setPort(std::unique_ptr<SerialPort> port)
{
    m_port = std::move(port);
}

void Dev::setClock(std::shared_ptr<Clock> clock)
{
    m_clock = std::move(clock);
}

// ---- settings file ------------------------------------------------------------

QString Dev::sGetINI(const QString& sSection, const QString& sKey, const QString& sDefault) const
{
    return ini::read(programFile(QStringLiteral("dev.dat")), sSection, sKey, sDefault);
}

qint32 Dev::iGetINI(const QString& sSection, const QString& sKey, qint32 iDefault) const
{
    double v = 0;
    if (!toSettingNumber(sGetINI(sSection, sKey, QString::number(iDefault)), sFloatingPointSeparator, &v)
        || v < -2147483648.0 || v > 2147483647.0)
        return iDefault;
    return qint32(std::nearbyint(v));
}

QString Dev::sGetINIA(const QString& sFileName, const QString& sSection, const QString& sKey,
                      const QString& sDefault) const
{
    return ini::read(sFileName, sSection, sKey, sDefault);
}

bool Dev::sWriteINI(const QString& sSection, const QString& sKey, const QString& sValue) const
{
    return sWriteINIA(programFile(QStringLiteral("dev.dat")), sSection, sKey, sValue);
}

bool Dev::sWriteINIA(const QString& sFileName, const QString& sSection, const QString& sKey,
                     const QString& sValue) const
{
    return ini::write(sFileName, sSection, sKey, sValue, &m_iniWriteError);
}

// ---- life cycle -----------------------------------------------------------------

bool Dev::Form_Load()
{
    m_loadError.clear();
    sFloatingPointSeparator = localeDecimalSeparator();
    const QString datPath = programFile(QStringLiteral("dev.dat"));

    bool ok = true;
    // The value of a numeric key from lo to hi (whole numbers rounded first
    // when whole; above lo only when lo is excluded); else the start-up stops
    // with a message naming the file, section, key and value.
    enum Bound { Inclusive, AboveLow };
    auto checked = [&](const QString& section, const QString& key, const QString& fallback, double lo, double hi,
                       bool whole, Bound bound) {
        if (!ok)
            return 0.0;
        const QString text = sGetINI(section, key, fallback);
        double v = 0;
        const bool isNum = toSettingNumber(text, sFloatingPointSeparator, &v);
        // Whole numbers round to even, as the conversion to a byte does.
        if (isNum && whole)
            v = std::nearbyint(v);
        const bool inRange = bound == Inclusive ? v >= lo && v <= hi : v > lo && v <= hi;
        if (!isNum || !inRange) {
            ok = false;
            const QString range = bound == Inclusive
                ? QStringLiteral("вне допустимого диапазона от %1 до %2")
                : QStringLiteral("вне допустимого диапазона: больше %1 и не больше %2");
            m_loadError = QStringLiteral("Файл настроек \"%1\", раздел [%2], ключ %3: значение \"%4\" %5.")
                              .arg(QDir::toNativeSeparators(datPath), section, key, text,
                                   isNum ? range.arg(numberText(lo, sFloatingPointSeparator),
                                                     numberText(hi, sFloatingPointSeparator))
                                         : QStringLiteral("не является числом"));
            return 0.0;
        }
        return v;
    };
    auto number = [&](const QString& section, const QString& key, const QString& fallback, double lo, double hi) {
        return checked(section, key, fallback, lo, hi, false, Inclusive);
    };
    auto byte = [&](const QString& section, const QString& key, const QString& fallback) {
        return quint8(checked(section, key, fallback, 0, 255, true, Inclusive));
    };
    constexpr double kAny = 1e300;

    Number = byte(QStringLiteral("COMport"), QStringLiteral("number"), QStringLiteral("1"));
    Settings = sGetINI(QStringLiteral("COMport"), QStringLiteral("settings"), QStringLiteral("4800,N,8,2"));
    EnableNetAdrr = number(QStringLiteral("DEVICE"), QStringLiteral("EnableNetAdrr"), QStringLiteral("1"), -kAny, kAny) != 0;
    bModuleNumber = byte(QStringLiteral("DEVICE"), QStringLiteral("ModuleNum"), QStringLiteral("0"));
    NofRereadings = byte(QStringLiteral("SETTINGS"), QStringLiteral("NOfRereadings"), QStringLiteral("2"));
    NOfDigits = byte(QStringLiteral("SETTINGS"), QStringLiteral("NOfDigits"), QStringLiteral("8"));
    // With no time at all to wait every exchange would fail, however the
    // instrument answers.
    TimeOut = checked(QStringLiteral("SETTINGS"), QStringLiteral("TimeOut"), QStringLiteral("3"), 0, 86400, false, AboveLow);
    if (ok) {
        // The delay is kept but no exchange waits on it. Where the locale's
        // separator is "." the default "0,2" reads with "," as a group
        // separator, as the locale's own number conversion takes it.
        QString delayText = sGetINI(QStringLiteral("SETTINGS"), QStringLiteral("Delay"), QStringLiteral("0,2"));
        if (sFloatingPointSeparator == QLatin1String(".") && !isNumber(delayText, sFloatingPointSeparator))
            delayText.remove(QLatin1Char(','));
        double d = 0;
        if (toNumber(delayText, sFloatingPointSeparator, &d))
            m_delay = d;
        else
            number(QStringLiteral("SETTINGS"), QStringLiteral("Delay"), QStringLiteral("0,2"), -kAny, kAny);
    }
    bolShow = number(QStringLiteral("SETTINGS"), QStringLiteral("Visible"), QStringLiteral("0"), -kAny, kAny) != 0;
    bolUseLogFile = number(QStringLiteral("LOG"), QStringLiteral("UseLogFile"), QStringLiteral("1"), -kAny, kAny) != 0;
    sLogFileName = sGetINI(QStringLiteral("LOG"), QStringLiteral("LogFileName"), QStringLiteral("COM.log"));
    if (!ok)
        return false;

    m_log.close();
    m_log.setFileName(programFile(QString(sLogFileName).replace(QLatin1Char('\\'), QLatin1Char('/'))));
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_loadError = QStringLiteral("Не удалось открыть файл журнала обмена \"%1\": %2.")
                          .arg(QDir::toNativeSeparators(m_log.fileName()), m_log.errorString());
        return false;
    }
    if (sGetINI(QStringLiteral("LOG"), QStringLiteral("ClearLog"), QStringLiteral("Yes")) == QLatin1String("Yes"))
        ClearLogFile();

    COMError = 0;
    sErrorMsg.clear();
    bNetAdrr = 0;
    return true;
}

void Dev::Form_Unload()
{
    if (m_log.isOpen())
        m_log.close();
}

void Dev::ClearLogFile()
{
    m_log.close();
    m_log.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

// ---- frames ---------------------------------------------------------------------

QString Dev::addressFrame(quint8 Command, const QString& Adrr, const QString& Value) const
{
    QString frame = QStringLiteral(":");
    if (EnableNetAdrr)
        frame += QString::number(bNetAdrr) + QLatin1Char(';');
    frame += QString::number(Command) + QLatin1Char(';');
    const QString module = QString::number(bModuleNumber) + QLatin1Char(';');
    switch (Command) {
    case 5: case 9: case 11: case 13: case 15: case 21: case 29: case 31: case 101:
        return frame + Adrr + QLatin1Char(';') + Value + QLatin1Char(';');
    case 18: case 20: case 26: case 28:
        return frame + module + Adrr + QLatin1Char(';');
    case 17: case 19: case 25: case 27:
        return frame + module + Adrr + QLatin1Char(';') + Value + QLatin1Char(';');
    case 35: case 36:
        return frame + Value + QLatin1Char(';');
    case 23: case 123:
        return frame;
    default:
        return frame + Adrr + QLatin1Char(';');
    }
}

QString Dev::sBuildCommand(qint16 iCommand, const QString& sPar1, const QString& sPar2)
{
    const QString head = QLatin1Char(':') + QString::number(bNetAdrr) + QLatin1Char(';') + QString::number(iCommand)
        + QLatin1Char(';');
    switch (iCommand) {
    case 5: case 13: case 15: case 17: case 29: case 31: case 323:
        return head + sPar1 + QLatin1Char(';') + sPar2 + QLatin1Char(';');
    case 6: case 12: case 14: case 16: case 30: case 32: case 33: case 124:
        return head + sPar1 + QLatin1Char(';');
    case 423:
        return head + sPar2 + QLatin1Char(';');
    case 34:
        return head;
    default:
        COMError = 1;
        sErrorMsg = kMsgNoCommand;
        return QString();
    }
}

QString Dev::sExpConvection(double Value) const
{
    return exponentForm(Value, NOfDigits, sFloatingPointSeparator, true);
}

QString Dev::sExpConvection1(double Value) const
{
    return exponentForm(Value, NOfDigits, sFloatingPointSeparator, false);
}

// ---- answer judging -------------------------------------------------------------

void Dev::CheckAnswer(qint16 iCommand, const QString& sAnswer, const QString& sPar)
{
    if (COMError != 0)
        return;
    auto fail = [this](const QString& msg) {
        COMError = 5;
        sErrorMsg = msg;
    };
    if (!hasMarkers(sAnswer)) {
        const QString msg = unmarkedMessage(sAnswer);
        COMError = msg == kMsgDeviceError ? 3 : msg == kMsgNoAnswer ? 4 : 5;
        sErrorMsg = msg;
        return;
    }
    const QString text = sAnswer.mid(sAnswer.indexOf(QLatin1Char('!')) + 1);
    const QString sep = sFloatingPointSeparator;
    qint32 channels = 0;
    if (!hexValue(sPar, &channels) || channels < 0)
        channels = 0;

    // A channel field of the frame and readings answers: two leading
    // characters, then a real value. Returns the message of a bad one.
    auto valueFieldError = [&](const QString& field, const QString& badNumber) {
        const QString value = field.mid(2);
        if (value.contains(QLatin1String("NaN")))
            return iCommand == 423 ? badNumber : kMsgNaN;
        if (!isNumber(replaceFirst(value, QStringLiteral("."), sep), sep))
            return badNumber;
        return QString();
    };

    switch (iCommand) {
    case 5: case 13: case 15: case 17: case 29: case 31: case 33:
        if (!text.contains(QLatin1String("OK"))) {
            COMError = 6;
            sErrorMsg = kMsgNotWritten;
        }
        return;
    case 6: case 12: case 14: case 16: case 30: case 32: {
        if (text.contains(QLatin1String("NaN")))
            return fail(kMsgNaN);
        // The value is the first field; the ";" and CR after it are not part of it.
        const QString value = replaceFirst(text.section(QLatin1Char(';'), 0, 0), QStringLiteral("."), sep);
        if (!isNumber(value, sep) && !readsAsHex(value.trimmed()))
            fail(kMsgBadNumber);
        return;
    }
    case 34: {
        const QStringList fields = terminatedFields(text);
        if (fields.size() < 8)
            return fail(kMsgBadNumber);
        for (int i = 0; i < 8; ++i)
            if (!isNumber(fields[i], sep))
                return fail(kMsgBadNumber);
        return;
    }
    case 323: {
        const QStringList fields = terminatedFields(text);
        if (fields.size() < 10 + channels)
            return fail(kMsgBadNumber);
        for (int i = 0; i < 9; ++i)
            if (!isNumber(fields[i], sep))
                return fail(kMsgBadNumber);
        for (int i = 10; i < 10 + channels; ++i) {
            const QString msg = valueFieldError(fields[i], kMsgBadNumber);
            if (!msg.isEmpty())
                return fail(msg);
        }
        return;
    }
    case 423: {
        for (int i = 0; i < 6; ++i) {
            const QString group = text.mid(9 + 2 * i, 2);
            if (group.size() != 2 || !readsAsHex(group))
                return fail(kMsgBadReadings);
        }
        QString rest = text.mid(22);
        for (int i = 0; i < channels; ++i) {
            const int end = rest.indexOf(QLatin1Char(';'));
            if (end < 0)
                return fail(kMsgBadReadingsField);
            const QString msg = valueFieldError(rest.left(end), kMsgBadReadingsField);
            if (!msg.isEmpty())
                return fail(msg);
            rest = rest.mid(end + 1);
        }
        return;
    }
    default:
        return;
    }
}

QString Dev::interpretAddressAnswer(quint8 Command, const QString& answer, bool* retry, bool* systemError)
{
    *retry = false;
    *systemError = false;
    if (!hasMarkers(answer)) {
        COMError = 1;
        *retry = true;
        return unmarkedMessage(answer);
    }
    const QString sep = sFloatingPointSeparator;
    const int bang = answer.indexOf(QLatin1Char('!'));
    const QString text = answer.mid(bang + 1);
    auto systemFailure = [&](const QString& description) {
        *systemError = true;
        return kSystemErrorPrefix + description;
    };
    // The value between the first "!" and the first ";".
    auto firstValue = [&](QString* v) {
        const int semi = answer.indexOf(QLatin1Char(';'));
        if (semi < bang)
            return false;
        *v = answer.mid(bang + 1, semi - bang - 1);
        return true;
    };
    // Block answers: count fields, each must pass the test.
    auto block = [&](int skip, int count, int dropChars, bool numbersToo) {
        const QStringList fields = terminatedFields(text);
        if (fields.size() < skip + count)
            return systemFailure(kDescMissingField);
        for (int i = skip; i < skip + count; ++i) {
            const QString f = fields[i].mid(dropChars);
            const bool good = readsAsHex(f) || (numbersToo && isNumber(replaceFirst(f, QStringLiteral("."), sep), sep));
            if (!good) {
                COMError = 1;
                *retry = true;
                return kMsgBadBlock;
            }
        }
        return text;
    };

    switch (Command) {
    case 1: case 5: case 9: case 11: case 13: case 15: case 17: case 19: case 21: case 25: case 27: case 29: case 31:
    case 35:
        if (answer.contains(QLatin1String("OK")))
            return QStringLiteral("OK");
        *retry = true;
        return kMsgNotWritten;
    case 2: case 6: case 14: case 18: case 20: case 30: case 32: {
        QString v;
        if (!firstValue(&v))
            return systemFailure(kDescBadCall);
        qint32 n = 0;
        if (!hexValue(v, &n)) {
            *retry = true;
            return kMsgBadNumber;
        }
        if (n < -32768 || n > 32767)
            return systemFailure(kDescOverflow);
        return QString::number(n);
    }
    case 10: case 12: case 16: case 22: case 24: case 26: case 28: {
        QString v;
        if (!firstValue(&v))
            return systemFailure(kDescBadCall);
        if (v.contains(QLatin1String("NaN")))
            return kMsgNaN;
        double d = 0;
        if (!toNumber(replaceFirst(v, QStringLiteral("."), sep), sep, &d)) {
            *retry = true;
            return kMsgBadNumber;
        }
        return numberText(d, sep);
    }
    case 23:
        return block(0, 48, 0, true);
    case 123:
        return block(1, 42, 1, true);
    case 36:
        return block(0, 49, 0, false);
    default:
        return QString();
    }
}

// ---- exchanges ------------------------------------------------------------------

QString Dev::portPath(int number) const
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    const QString mapped = sGetINI(QStringLiteral("PORTS"), QStringLiteral("COM%1").arg(number), QString());
    if (!mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

bool Dev::openPort(QString* error)
{
    if (m_port->isOpen())
        m_port->close();
    PortSettings settings;
    if (!PortSettings::parse(Settings, &settings, error))
        return false;
    return m_port->open(portPath(Number), settings, error);
}

void Dev::closePort()
{
    if (m_port->isOpen())
        m_port->close();
}

void Dev::beginBusy()
{
    ++m_busy;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Dev::endBusy()
{
    if (m_busy == 0)
        return;
    --m_busy;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

int Dev::msLeft(qint64 deadline) const
{
    const qint64 left = deadline - m_clock->elapsedMs();
    return int(qBound<qint64>(0, left, 24LL * 3600 * 1000));
}

void Dev::showText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    paintNow();
}

void Dev::showStatus()
{
    if (bolShow) {
        show();
        paintNow();
    }
}

void Dev::paintNow()
{
    // The window system needs its events to map and paint the status window;
    // user input stays queued, so no handler runs from here.
    if (isVisible())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Dev::logLine(const QString& kind, const QString& text)
{
    if (!bolUseLogFile || !m_log.isOpen())
        return;
    const QString stamp = m_clock->localNow().toString(QStringLiteral("MM-dd hh:mm:ss"));
    m_log.write(toCp1251(stamp + QStringLiteral(" - ") + kind + QStringLiteral(":  ") + text) + "\r\n");
    m_log.flush();
}

Dev::Attempt Dev::exchange(const QString& frameWithCrLf, Phase1Events phase1)
{
    Attempt a;
    showText(COMIn, frameWithCrLf);
    logLine(QStringLiteral("Command"), frameWithCrLf);

    QString error;
    auto lost = [&] {
        a.failed = true;
        a.error = kSystemErrorPrefix + error;
        return a;
    };
    if (!m_port->write(toCp1251(frameWithCrLf), &error))
        return lost();

    const qint64 timeoutMs = qint64(std::llround(TimeOut * 1000));

    // Phase 1: wait for the chunk that holds "!"; each chunk that comes
    // replaces the one before, so text ahead of the "!" chunk is dropped and
    // an answer without "!" (such as "ERR") is judged as the last that came.
    qint64 deadline = m_clock->elapsedMs() + timeoutMs;
    QString chunk;
    for (;;) {
        const QString got = fromCp1251(m_port->readAll());
        if (!got.isEmpty())
            chunk = got;
        if (chunk.contains(QLatin1Char('!')))
            break;
        const int left = msLeft(deadline);
        if (left <= 0)
            break;
        if (m_port->waitForData(left, phase1 == Phase1Events::Process, &error) == SerialPort::Wait::Lost)
            return lost();
    }

    // Phase 2: collect up to the CR, at least one further read.
    a.answer = chunk;
    deadline = m_clock->elapsedMs() + timeoutMs;
    for (;;) {
        a.answer += fromCp1251(m_port->readAll());
        if (a.answer.indexOf(QLatin1Char('\r'), terminatorSearchStart(a.answer)) >= 0)
            break;
        const int left = msLeft(deadline);
        if (left <= 0)
            break;
        if (m_port->waitForData(left, true, &error) == SerialPort::Wait::Lost)
            return lost();
    }

    showText(COMOut, a.answer);
    logLine(QStringLiteral("Answer"), a.answer);
    return a;
}

QString Dev::sPortSR(const QString& Command)
{
    showStatus();
    beginBusy();
    COMError = 0;
    sErrorMsg.clear();
    QString error;
    Attempt a;
    if (!openPort(&error)) {
        a.failed = true;
        a.error = kSystemErrorPrefix + error;
    } else {
        a = exchange(Command + QStringLiteral("\r\n"), Phase1Events::Process);
    }
    closePort();
    endBusy();
    if (a.failed) {
        // The status window stays up with the last texts.
        sErrorMsg = a.error;
        COMError = 2;
        return QString();
    }
    if (isVisible())
        hide();
    return a.answer;
}

QString Dev::sSendCommand(qint16 iCommand, const QString& sPar1, const QString& sPar2)
{
    COMError = 0;
    sErrorMsg.clear();
    const QString frame = sBuildCommand(iCommand, sPar1, sPar2);
    if (COMError != 0)
        return QString();
    for (int i = 0;; ++i) {
        const QString answer = cutAnswer(sPortSR(frame));
        if (COMError == 0) {
            CheckAnswer(iCommand, answer, sPar2);
            if (COMError == 0)
                return answer.mid(answer.indexOf(QLatin1Char('!')) + 1);
        }
        if (i >= NofRereadings)
            return QString();
        COMError = 0;
        sErrorMsg.clear();
    }
}

QString Dev::sCOMPort(quint8 Command, const QString& Adrr, const QString& Value)
{
    showStatus();
    beginBusy();
    QString error;
    QString result;
    bool systemError = false;
    if (!openPort(&error)) {
        systemError = true;
        result = kSystemErrorPrefix + error;
    } else {
        const QString frame = addressFrame(Command, Adrr, Value) + QStringLiteral("\r\n");
        for (int attempt = 0;; ++attempt) {
            COMError = 0;
            const Attempt a = exchange(frame, Phase1Events::Hold);
            if (a.failed) {
                systemError = true;
                result = a.error;
                break;
            }
            bool retry = false;
            result = interpretAddressAnswer(Command, cutAnswer(a.answer), &retry, &systemError);
            if (systemError || !retry || attempt >= NofRereadings)
                break;
        }
    }
    closePort();
    endBusy();
    if (!systemError && isVisible())
        hide();
    return result;
}

// ---- the status window ------------------------------------------------------------

void Dev::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void Dev::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawLine(0, 0, twips(4920), 0);
    p.drawLine(0, 0, 0, twips(1680));
    p.drawLine(0, twips(1680), twips(5040), twips(1680));
    p.drawLine(twips(4920), twips(1680), twips(4920), 0);
    p.drawLine(0, twips(600), twips(4920), twips(600));
}

} // namespace instrument
