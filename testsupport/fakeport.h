#pragma once
// A scripted serial port and a clock that only moves when the port waits, so
// that exchanges with time-outs run in no time and are exactly repeatable.

#include "clock.h"
#include "serialport.h"

#include <QList>
#include <deque>
#include <functional>
#include <memory>

namespace testsupport {

class FakeClock : public instrument::Clock {
public:
    qint64 elapsedMs() const override { return now; }
    QDateTime localNow() const override { return start.addMSecs(now); }
    qint64 now = 0;
    QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9));
};

class FakePort : public instrument::SerialPort {
public:
    // One piece of an answer: it arrives delayMs after the previous piece (or
    // after the frame was written, for the first). lost = the device vanishes
    // at that moment instead.
    struct Piece {
        int delayMs = 0;
        QByteArray bytes;
        bool lost = false;
    };

    explicit FakePort(std::shared_ptr<FakeClock> clock) : m_clock(std::move(clock)) {}

    // The answer to the next frame written. Frames with no answer queued meet
    // silence.
    void reply(QList<Piece> pieces) { m_replies.push_back(std::move(pieces)); }
    void reply(const QByteArray& bytes, int delayMs = 0) { reply({Piece{delayMs, bytes, false}}); }
    void silence() { m_replies.push_back({}); }

    bool open(const QString& path, const instrument::PortSettings& settings, QString* error) override;
    void close() override { m_open = false; ++closes; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes, QString* error) override;
    QByteArray readAll() override;
    Wait waitForData(int msecs, bool processEvents, QString* error) override;

    // What the link did.
    QList<QByteArray> written;
    QString lastPath;
    instrument::PortSettings lastSettings;
    int opens = 0;
    int closes = 0;
    int waitsWithEvents = 0;
    int waitsWithoutEvents = 0;

    // Make open fail with this reason.
    QString openFailure;

    // Called with every frame as it is written, before it is taken (a test
    // can look at the window at that moment).
    std::function<void(const QByteArray&)> onWrite;

private:
    struct Due {
        qint64 at;
        QByteArray bytes;
        bool lost;
    };
    std::shared_ptr<FakeClock> m_clock;
    std::deque<QList<Piece>> m_replies;
    std::deque<Due> m_due;
    QByteArray m_buffer;
    bool m_open = false;
    bool m_lost = false;
};

} // namespace testsupport
