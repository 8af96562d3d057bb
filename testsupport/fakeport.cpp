#include "fakeport.h"

#include <QCoreApplication>

namespace testsupport {

bool FakePort::open(const QString& path, const instrument::PortSettings& settings, QString* error)
{
    ++opens;
    lastPath = path;
    lastSettings = settings;
    if (!openFailure.isEmpty()) {
        *error = openFailure;
        return false;
    }
    m_open = true;
    m_lost = false;
    m_buffer.clear();
    return true;
}

bool FakePort::write(const QByteArray& bytes, QString* error)
{
    if (m_lost) {
        *error = QStringLiteral("устройство отключено");
        return false;
    }
    if (onWrite)
        onWrite(bytes);
    written.append(bytes);
    if (!m_replies.empty()) {
        qint64 at = m_clock->now;
        for (const Piece& p : m_replies.front()) {
            at += p.delayMs;
            m_due.push_back({at, p.bytes, p.lost});
        }
        m_replies.pop_front();
    }
    return true;
}

QByteArray FakePort::readAll()
{
    // Pieces due by now have arrived.
    while (!m_due.empty() && m_due.front().at <= m_clock->now && !m_due.front().lost) {
        m_buffer += m_due.front().bytes;
        m_due.pop_front();
    }
    QByteArray out = m_buffer;
    m_buffer.clear();
    return out;
}

FakePort::Wait FakePort::waitForData(int msecs, bool processEvents, QString* error)
{
    processEvents ? ++waitsWithEvents : ++waitsWithoutEvents;
    if (processEvents)
        QCoreApplication::processEvents();
    if (m_lost) {
        *error = QStringLiteral("устройство отключено");
        return Wait::Lost;
    }
    if (!m_buffer.isEmpty() || (!m_due.empty() && m_due.front().at <= m_clock->now && !m_due.front().lost))
        return Wait::Data;
    if (!m_due.empty() && m_due.front().at <= m_clock->now + msecs) {
        m_clock->now = std::max(m_clock->now, m_due.front().at);
        if (m_due.front().lost) {
            m_due.clear();
            m_lost = true;
            *error = QStringLiteral("устройство отключено");
            return Wait::Lost;
        }
        return Wait::Data;
    }
    m_clock->now += msecs;
    return Wait::Timeout;
}

} // namespace testsupport
