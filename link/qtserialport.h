#pragma once
// The serial port on Qt SerialPort.

#include "serialport.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
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
    // The whole answer in as few waits as its phases allow: while the window
    // system may run, one event loop takes the input as it comes.
    Wait receive(const Take& take, QString* error) override;

private:
    QString lostText() const;
    // Runs the window system until input that m_onInput takes as the end (any
    // input without it), a fatal error, or msecs from now. True when the
    // deadline ended the wait.
    bool runEventsUntil(int msecs);
    // Starts the deadline's timer msecs from now, unless it already runs to
    // then (give or take the millisecond the time left is rounded to).
    void armDeadline(int msecs);

    QSerialPort m_port;
    // What the system said when the line failed during this opening; the
    // port's own error text may still be that of an earlier, harmless call.
    QString m_failure;
    QString m_path; // as the link named it, not shortened as the port shows it

    // The wait that lets window events run. An answer comes a byte at a time
    // on a slow line: during receive each byte is handed on inside the wait,
    // and the deadline's timer keeps running instead of being made and
    // registered again for every byte.
    QEventLoop* m_loop = nullptr;   // the wait in progress
    std::function<bool()> m_onInput; // takes input inside the wait; true: the wait ends
    QTimer m_deadline;
    QElapsedTimer m_since;          // the time base of m_deadlineAt
    qint64 m_deadlineAt = -1;
    bool m_timedOut = false;

    // On a fast line the rest of an answer gathers a few characters at a
    // time instead of waking the wait for each: the port's notice of input
    // rests for m_gatherMs after each read.
    int m_gatherMs = 0;
    QPointer<QSocketNotifier> m_readNotifier;
    QTimer m_gather;
};

} // namespace instrument
