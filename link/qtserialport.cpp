#include "qtserialport.h"

#include "systemfile.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace instrument {

namespace {

QSerialPort::Parity toQt(char parity)
{
    switch (parity) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    case 'M': return QSerialPort::MarkParity;
    case 'S': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits stopBits(int timesTwo)
{
    switch (timesTwo) {
    case 3: return QSerialPort::OneAndHalfStop;
    case 4: return QSerialPort::TwoStop;
    default: return QSerialPort::OneStop;
    }
}

// A wait that ends by itself with one of these errors means the device is
// gone (or was never usable); a time-out is just silence.
bool isFatal(QSerialPort::SerialPortError e)
{
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

// A USB adapter holds the last bytes of an answer until its latency timer
// runs out (16 ms on many) unless the port asks for low latency; a port that
// refuses (a pseudo-terminal, a plain UART) is used as it is.
void askLowLatency(qintptr handle)
{
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (::ioctl(int(handle), TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(int(handle), TIOCSSERIAL, &serial);
    }
#else
    Q_UNUSED(handle);
#endif
}

// What a failure of the line is. For a read or write that failed, or a
// device that went, the port's error text is that of whatever system call
// failed last (often the harmless refusal of RTS on a line without modem
// control), so it is not repeated.
QString failureText(QSerialPort::SerialPortError e)
{
    switch (e) {
    case QSerialPort::ReadError: return QStringLiteral("чтение из порта не удалось");
    case QSerialPort::WriteError: return QStringLiteral("передача в порт не удалась");
    case QSerialPort::ResourceError: return QStringLiteral("устройство пропало из системы");
    default: return QString();
    }
}

} // namespace

QtSerialPort::QtSerialPort()
{
    m_since.start();
    m_deadline.setSingleShot(true);
    QObject::connect(&m_deadline, &QTimer::timeout, [this] {
        m_timedOut = true;
        if (m_loop)
            m_loop->quit();
    });
    m_gather.setSingleShot(true);
    m_gather.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_gather, &QTimer::timeout, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
    QObject::connect(&m_port, &QSerialPort::readyRead, [this] {
        if (m_loop && (!m_onInput || m_onInput()))
            m_loop->quit();
    });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        if (!isFatal(e))
            return;
        if (m_failure.isEmpty())
            m_failure = failureText(e);
        if (m_loop)
            m_loop->quit();
    });
}

void QtSerialPort::armDeadline(int msecs)
{
    const qint64 at = m_since.elapsed() + msecs;
    if (!m_deadline.isActive() || qAbs(at - m_deadlineAt) > 1) {
        m_deadline.start(msecs);
        m_deadlineAt = at;
    }
}

bool QtSerialPort::runEventsUntil(int msecs)
{
    // The link runs one exchange at a time, so no wait starts inside another.
    Q_ASSERT(!m_loop);
    armDeadline(msecs);
    m_timedOut = false;
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    return m_timedOut;
}

bool QtSerialPort::open(const QString& path, const PortSettings& s, QString* error)
{
    if (m_port.isOpen())
        m_port.close();
    m_port.setPortName(path);
    m_path = path;
    if (!m_port.open(QIODevice::ReadWrite)) {
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            *error = QStringLiteral("порт %1 не найден").arg(path);
            break;
        case QSerialPort::PermissionError:
            *error = QStringLiteral("порт %1 занят или доступ к нему запрещён").arg(path);
            break;
        default: {
            // The port names its reason only in English: ask the system itself.
            const int code = openError(path, O_RDWR | O_NOCTTY);
            *error = code != 0 ? QStringLiteral("не удалось открыть порт %1 (%2)").arg(path, systemReason(code))
                               : QStringLiteral("не удалось открыть порт %1: это не последовательный порт").arg(path);
            break;
        }
        }
        m_port.clearError();
        return false;
    }
    errno = 0;
    const bool configured = m_port.setBaudRate(s.baud) && m_port.setParity(toQt(s.parity))
        && m_port.setDataBits(QSerialPort::DataBits(s.dataBits)) && m_port.setStopBits(stopBits(s.stopBitsTimesTwo))
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const int code = errno;
        *error = QStringLiteral("порт %1 не принимает настройки").arg(path)
            + (code != 0 ? QStringLiteral(" (%1)").arg(systemReason(code)) : QString());
        m_port.close();
        m_port.clearError();
        return false;
    }
    // A line without modem control (a pseudo-terminal, some adapters) refuses
    // RTS and DTR with "Inappropriate ioctl for device": not an error here.
    m_port.setRequestToSend(true);
    m_port.setDataTerminalReady(false);
    m_port.clearError();
    askLowLatency(m_port.handle());
    // Gathering pays when 1 ms holds two characters or more. The notice is
    // the port's own, found among its children (none found: no gathering).
    const double bits = 1 + s.dataBits + (s.parity != 'N' ? 1 : 0) + s.stopBitsTimesTwo / 2.0;
    m_gatherMs = bits * 1000 / s.baud <= 0.5 ? 1 : 0;
    m_readNotifier.clear();
    for (QSocketNotifier* n : m_port.findChildren<QSocketNotifier*>())
        if (n->type() == QSocketNotifier::Read && n->isEnabled() && n->socket() == m_port.handle())
            m_readNotifier = n;
    // Bytes that came while the port was closed (a late answer to an earlier
    // call) are not this call's answer.
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
    m_port.clearError();
    m_failure.clear();
    return true;
}

void QtSerialPort::close()
{
    m_deadline.stop();
    m_gather.stop();
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool QtSerialPort::write(const QByteArray& bytes, QString* error)
{
    errno = 0;
    if (m_port.write(bytes) != bytes.size() || isFatal(m_port.error())) {
        const int code = errno;
        *error = QStringLiteral("не удалось передать в порт %1").arg(m_path)
            + (code != 0 ? QStringLiteral(" (%1)").arg(systemReason(code)) : QString());
        return false;
    }
    m_port.flush();
    return true;
}

QByteArray QtSerialPort::readAll()
{
    return m_port.readAll();
}

QString QtSerialPort::lostText() const
{
    const QString text = QStringLiteral("Устройство %1 отключено или не отвечает на уровне системы").arg(m_path);
    return m_failure.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, m_failure);
}

SerialPort::Wait QtSerialPort::waitForData(int msecs, bool processEvents, QString* error)
{
    if (m_port.bytesAvailable() > 0)
        return Wait::Data;
    if (isFatal(m_port.error())) {
        *error = lostText();
        return Wait::Lost;
    }
    if (msecs <= 0)
        return Wait::Timeout;

    QElapsedTimer waited;
    waited.start();
    bool readable = false;
    if (processEvents) {
        // Wait in an event loop, so the window system runs while the port is
        // silent; it wakes on input, on an error, or at the deadline.
        const bool timedOut = runEventsUntil(msecs);
        if (m_port.bytesAvailable() > 0)
            return Wait::Data;
        if (timedOut && !isFatal(m_port.error()))
            return Wait::Timeout;
    } else {
        readable = m_port.waitForReadyRead(msecs);
        if (m_port.bytesAvailable() > 0)
            return Wait::Data;
        if (!readable && !isFatal(m_port.error()) && waited.elapsed() >= msecs)
            return Wait::Timeout;
    }
    // Readable but nothing to read, an error, or a wait that ended early with
    // no data: the device has gone (a USB adapter pulled out makes the port
    // wake at once, forever). Report it instead of spinning to the deadline.
    *error = lostText();
    return Wait::Lost;
}

SerialPort::Wait QtSerialPort::receive(const Take& take, QString* error)
{
    Want w = take(m_port.readAll());
    const auto settle = [&] {
        while (!w.done && w.waitMs <= 0)
            w = take(m_port.readAll());
    };
    for (settle(); !w.done; settle()) {
        if (!w.processEvents || isFatal(m_port.error())) {
            if (waitForData(w.waitMs, w.processEvents, error) == Wait::Lost)
                return Wait::Lost;
            w = take(m_port.readAll());
            continue;
        }
        // Input is taken as it arrives, inside the one wait, which lasts
        // until the answer is whole, the window system is to be held, the
        // time the reader gave is over, or the device goes.
        m_onInput = [&] {
            if (!w.done && w.processEvents) {
                w = take(m_port.readAll());
                settle();
            }
            if (w.done || !w.processEvents)
                return true;
            armDeadline(w.waitMs);
            if (w.gather && m_gatherMs > 0 && m_readNotifier) {
                m_readNotifier->setEnabled(false);
                m_gather.start(m_gatherMs);
            }
            return false;
        };
        const bool timedOut = runEventsUntil(w.waitMs);
        m_onInput = nullptr;
        if (m_gather.isActive()) {
            // What gathered by the deadline is this answer's.
            m_gather.stop();
            if (m_readNotifier)
                m_readNotifier->setEnabled(true);
            m_port.waitForReadyRead(0);
        }
        if (w.done || !w.processEvents)
            continue;
        if (timedOut || m_port.bytesAvailable() > 0) {
            // The reader looks at its own clock: the time may not be over yet.
            w = take(m_port.readAll());
            continue;
        }
        // An error, or a wait that ended early with nothing to read: the
        // device has gone, as in waitForData.
        *error = lostText();
        return Wait::Lost;
    }
    return Wait::Data;
}

} // namespace instrument
