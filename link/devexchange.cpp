// The serial exchange: opening and closing the port for each call, the two
// receive phases bounded by the time-out, the repetitions, the busy pointer
// and the exchange log.

#include "linkcore.h"

#include "cp1251.h"
#include "protocol.h"

#include <cmath>

namespace instrument {

using namespace protocol;

const QString kMsgExchangeRunning = QStringLiteral("Обмен с прибором уже идёт: запрос не отправлен");

bool LinkCore::s_assertOnSecondExchange = true;

bool LinkCore::setAssertOnSecondExchange(bool on)
{
    const bool was = s_assertOnSecondExchange;
    s_assertOnSecondExchange = on;
    return was;
}

bool LinkCore::secondExchange() const
{
    if (!m_running)
        return false;
    Q_ASSERT_X(!s_assertOnSecondExchange, "instrument::Dev",
               "an exchange was started while another waits for its answer");
    return true;
}

QString LinkCore::portPath(int number) const
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    const QString key = QStringLiteral("COM%1").arg(number);
    // Before the start (a window that lists the ports as it is made) the file says.
    const QString mapped = m_portsRead ? m_ports.value(key) : sGetINI(QStringLiteral("PORTS"), key, QString());
    if (!mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

bool LinkCore::openPort(QString* error)
{
    if (m_port->isOpen())
        m_port->close();
    PortSettings settings;
    if (!PortSettings::parse(Settings, &settings, error))
        return false;
    if (!m_devicePath.isEmpty())
        return m_port->open(m_devicePath, settings, error);
    const QString path = portPath(Number);
    // A port behind a device server waits for its connection no longer than
    // for an answer.
    m_port->setOpenTimeout(int(qBound<qint64>(0, qint64(std::llround(TimeOut * 1000)), 24LL * 3600 * 1000)));
    if (m_port->open(path, settings, error))
        return true;
    // The user chose the port by its number: say which one the path is.
    const QString chosen = QStringLiteral("COM%1").arg(Number);
    const int at = error->indexOf(path);
    if (path != chosen && at >= 0)
        error->insert(at + path.size(), QStringLiteral(" (%1)").arg(chosen));
    return false;
}

void LinkCore::closePort()
{
    if (m_port->isOpen())
        m_port->close();
}

void LinkCore::beginBusy()
{
    ++m_busy;
    busyChanged(true);
}

void LinkCore::endBusy()
{
    if (m_busy == 0)
        return;
    --m_busy;
    busyChanged(false);
}

void LinkCore::releaseBusy()
{
    while (m_busy > 0)
        endBusy();
}

int LinkCore::msLeft(qint64 deadline) const
{
    const qint64 left = deadline - m_clock->elapsedMs();
    return int(qBound<qint64>(0, left, 24LL * 3600 * 1000));
}

void LinkCore::logLine(const QString& kind, const QString& text)
{
    if (!bolUseLogFile || !m_log.isOpen())
        return;
    const QString stamp = m_clock->localNow().toString(QStringLiteral("MM-dd hh:mm:ss"));
    m_log.write(toCp1251(stamp + QStringLiteral(" - ") + kind + QStringLiteral(":  ") + text) + "\r\n");
    m_log.flush();
}

LinkCore::Attempt LinkCore::exchange(const QString& frameWithCrLf, Phase1Events phase1)
{
    // A second exchange refused during the waits below reports to its own
    // caller through COMError and sErrorMsg; this exchange's state is as it
    // was before the wait.
    struct KeepState {
        LinkCore& dev;
        const quint8 error = dev.COMError;
        const QString message = dev.sErrorMsg;
        ~KeepState()
        {
            dev.COMError = error;
            dev.sErrorMsg = message;
        }
    } keep{*this};
    Attempt a;
    statusCommand(frameWithCrLf);
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
    // Phase 2: collect up to the CR, at least one further read. Each phase
    // has the whole time-out. The port hands over the input as it comes.
    bool collecting = false;
    qint64 deadline = m_clock->elapsedMs() + timeoutMs;
    QString chunk;
    const auto take = [&](const QByteArray& input) {
        SerialPort::Want w;
        if (!collecting) {
            const QString got = fromCp1251(input);
            if (!got.isEmpty())
                chunk = got;
            w.waitMs = chunk.contains(QLatin1Char('!')) ? 0 : msLeft(deadline);
            w.processEvents = phase1 == Phase1Events::Process;
            if (w.waitMs > 0)
                return w;
            collecting = true;
            a.answer = chunk;
            deadline = m_clock->elapsedMs() + timeoutMs;
            return w; // phase 2 starts with a read of its own
        }
        a.answer += fromCp1251(input);
        w.gather = true;
        w.done = a.answer.indexOf(QLatin1Char('\r'), terminatorSearchStart(a.answer)) >= 0
            || (w.waitMs = msLeft(deadline)) <= 0;
        return w;
    };
    if (m_port->receive(take, &error) == SerialPort::Wait::Lost)
        return lost();

    statusAnswer(a.answer);
    logLine(QStringLiteral("Answer"), a.answer);
    return a;
}

QString LinkCore::sPortSR(const QString& Command)
{
    if (secondExchange()) {
        COMError = kExchangeRunning;
        sErrorMsg = kMsgExchangeRunning;
        return QString();
    }
    Running running(*this);
    return portSR(Command);
}

QString LinkCore::portSR(const QString& Command)
{
    statusShow();
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
    statusDone();
    return a.answer;
}

QString LinkCore::sSendCommand(qint16 iCommand, const QString& sPar1, const QString& sPar2)
{
    if (secondExchange()) {
        COMError = kExchangeRunning;
        sErrorMsg = kMsgExchangeRunning;
        return QString();
    }
    Running running(*this);
    COMError = 0;
    sErrorMsg.clear();
    const QString frame = sBuildCommand(iCommand, sPar1, sPar2);
    if (COMError != 0)
        return QString();
    for (int i = 0;; ++i) {
        const QString answer = cutAnswer(portSR(frame));
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

QString LinkCore::sCOMPort(quint8 Command, const QString& Adrr, const QString& Value)
{
    if (secondExchange())
        return kMsgExchangeRunning;
    Running running(*this);
    return comPort(Command, Adrr, Value);
}

QString LinkCore::comPort(quint8 Command, const QString& Adrr, const QString& Value)
{
    statusShow();
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
    if (!systemError)
        statusDone();
    return result;
}

} // namespace instrument
