#pragma once
// Time as the link needs it: elapsed milliseconds for the deadlines (immune to
// midnight and to clock changes) and the local date and time for the log.

#include <QDateTime>
#include <QElapsedTimer>

namespace instrument {

class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 elapsedMs() const = 0;
    virtual QDateTime localNow() const = 0;
};

class SystemClock : public Clock {
public:
    SystemClock() { m_timer.start(); }
    qint64 elapsedMs() const override { return m_timer.elapsed(); }
    QDateTime localNow() const override { return QDateTime::currentDateTime(); }

private:
    QElapsedTimer m_timer;
};

} // namespace instrument
