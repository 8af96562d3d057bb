// The serial exchange: opening and closing the port for each call, the two
// receive phases bounded by the time-out, the repetitions, the busy pointer
// and the exchange log.

#include "dev.h"

#include "cp1251.h"
#include "protocol.h"

#include <QApplication>
#include <cmath>

namespace instrument {

using namespace protocol;

const QString kMsgExchangeRunning = QStringLiteral("Обмен с прибором уже идёт: запрос не отправлен");

bool Dev::s_assertOnSecondExchange = true;

bool Dev::setAssertOnSecondExchange(bool on)
{
    const bool was = s_assertOnSecondExchange;
    s_assertOnSecondExchange = on;
    return was;
}

bool Dev::secondExchange() const
{
    if (!m_running)
        return false;
    Q_ASSERT_X(!s_assertOnSecondExchange, "instrument::Dev",
               "an exchange was started while another waits for its answer");
    return true;
}

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
    // A second exchange refused during the waits below reports to its own
    // caller through COMError and sErrorMsg; this exchange's state is as it
    // was before the wait.
    struct KeepState {
        Dev& dev;
        const quint8 error = dev.COMError;
        const QString message = dev.sErrorMsg;
        ~KeepState()
        {
            dev.COMError = error;
            dev.sErrorMsg = message;
        }
    } keep{*this};
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
    if (secondExchange()) {
        COMError = kExchangeRunning;
        sErrorMsg = kMsgExchangeRunning;
        return QString();
    }
    Running running(*this);
    return portSR(Command);
}

QString Dev::portSR(const QString& Command)
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

QString Dev::sCOMPort(quint8 Command, const QString& Adrr, const QString& Value)
{
    if (secondExchange())
        return kMsgExchangeRunning;
    Running running(*this);
    return comPort(Command, Adrr, Value);
}

QString Dev::comPort(quint8 Command, const QString& Adrr, const QString& Value)
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

} // namespace instrument
