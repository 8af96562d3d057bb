#pragma once
// The serial port on Qt SerialPort.

#include "serialport.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

class QEventLoop;

namespace instrument {

class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    bool open(const QString& path, const PortSettings& settings, QString* error) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray& bytes, QString* error) override;
    QByteArray readAll() override;
    Wait waitForData(int msecs, bool processEvents, QString* error) override;

private:
    QString lostText() const;
    // Runs the window system until input, a fatal error or msecs from now.
    // True when the deadline ended the wait.
    bool runEventsUntil(int msecs);

    QSerialPort m_port;
    // What the system said when the line failed during this opening; the
    // port's own error text may still be that of an earlier, harmless call.
    QString m_failure;
    QString m_path; // as the link named it, not shortened as the port shows it

    // The wait that lets window events run. An answer comes a byte at a time
    // on a slow line, and each byte ends a wait; the deadline's timer keeps
    // running from one wait to the next of the same exchange instead of
    // being made and registered again for every byte.
    QEventLoop* m_loop = nullptr;   // the wait in progress
    QTimer m_deadline;
    QElapsedTimer m_since;          // the time base of m_deadlineAt
    qint64 m_deadlineAt = -1;
    bool m_timedOut = false;
};

} // namespace instrument
