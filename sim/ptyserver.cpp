#include "ptyserver.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int kMaxLine = 1024;

int baudOf(speed_t s)
{
    switch (s) {
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

qint64 monotonicUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

PtyServer::PtyServer(Line& line, FaultSet& faults, const ServerOptions& options)
    : m_line(line), m_faults(faults), m_options(options)
{
}

PtyServer::~PtyServer()
{
    closePty();
    if (m_transcript)
        std::fclose(m_transcript);
}

bool PtyServer::start(QString* error)
{
    if (!m_options.transcriptPath.isEmpty()) {
        m_transcript = std::fopen(QFile::encodeName(m_options.transcriptPath).constData(), "ab");
        if (!m_transcript) {
            *error = systemError("transcript");
            return false;
        }
    }
    return openPty(error) && pointLink(error);
}

bool PtyServer::openPty(QString* error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = systemError("grantpt/unlockpt");
        closePty();
        return false;
    }
    const char* name = ptsname(m_master);
    if (!name) {
        *error = systemError("ptsname");
        closePty();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Holding the slave open ourselves keeps the master readable (no EIO)
    // while no program has the port open between its exchanges.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        *error = systemError("open slave");
        closePty();
        return false;
    }
    termios t{};
    if (tcgetattr(m_slave, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD | CSTOPB;
        cfsetispeed(&t, B4800);
        cfsetospeed(&t, B4800);
        tcsetattr(m_slave, TCSANOW, &t);
    }
    m_lineSettings = lineSettings();
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    return true;
}

void PtyServer::closePty()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
}

bool PtyServer::pointLink(QString* error)
{
    const QByteArray link = QFile::encodeName(m_options.linkPath);
    struct stat st{};
    if (lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_options.linkPath);
        return false;
    }
    // A new link beside the old one, then renamed over it: the name never
    // points nowhere longer than it must.
    const QByteArray temp = link + ".new." + QByteArray::number(getpid());
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), temp.constData()) != 0) {
        *error = systemError("symlink");
        return false;
    }
    if (::rename(temp.constData(), link.constData()) != 0) {
        *error = systemError("rename link");
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

void PtyServer::removeLink()
{
    const QByteArray link = QFile::encodeName(m_options.linkPath);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
    if (n > 0 && QByteArray(target, int(n)) == QFile::encodeName(m_slavePath))
        ::unlink(link.constData());
}

int PtyServer::clientBaud() const
{
    if (m_slave < 0)
        return 0;
    termios t{};
    if (tcgetattr(m_slave, &t) != 0)
        return 0;
    return baudOf(cfgetospeed(&t));
}

QString PtyServer::lineSettings() const
{
    termios t{};
    if (m_slave < 0 || tcgetattr(m_slave, &t) != 0)
        return QString();
    const int bits = (t.c_cflag & CSIZE) == CS5 ? 5 : (t.c_cflag & CSIZE) == CS6 ? 6 : (t.c_cflag & CSIZE) == CS7 ? 7 : 8;
    const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    const int baud = baudOf(cfgetospeed(&t));
    return QStringLiteral("%1 baud %2%3%4")
        .arg(baud ? QString::number(baud) : QStringLiteral("unusual"))
        .arg(bits)
        .arg(QLatin1Char(parity))
        .arg((t.c_cflag & CSTOPB) ? 2 : 1);
}

void PtyServer::noteLineSettings()
{
    const QString now = lineSettings();
    if (now.isEmpty() || now == m_lineSettings)
        return;
    m_lineSettings = now;
    note(QStringLiteral("line set to %1").arg(now));
}

void PtyServer::transcript(char kind, const QByteArray& bytes)
{
    if (!m_transcript)
        return;
    const QByteArray line = QByteArray(1, kind) + ' ' + escapeBytes(bytes) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), m_transcript);
    std::fflush(m_transcript);
}

void PtyServer::note(const QString& text)
{
    if (!m_transcript || text.isEmpty())
        return;
    const QByteArray line = "# " + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), m_transcript);
    std::fflush(m_transcript);
}

void PtyServer::readMaster()
{
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return;
        const qint64 arrivedUs = monotonicUs();
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (m_discarding) {
                if (c == '\n') {
                    m_discarding = false;
                    note(QStringLiteral("overlong line dropped"));
                }
                continue;
            }
            if (m_input.isEmpty())
                m_inputSinceUs = arrivedUs;
            m_input += c;
            if (c == '\n') {
                takeLine(m_input, m_inputSinceUs);
                m_input.clear();
            } else if (m_input.size() > kMaxLine) {
                m_input.clear();
                m_discarding = true;
            }
        }
    }
}

void PtyServer::takeLine(const QByteArray& raw, qint64 firstByteUs)
{
    noteLineSettings();
    transcript('>', raw);
    QByteArray text = raw;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    // A CR inside the line ends a fragment the client gave up on: only the
    // text after it is the frame.
    const int cr = text.lastIndexOf('\r');
    if (cr >= 0) {
        note(QStringLiteral("fragment before CR ignored"));
        text = text.mid(cr + 1);
    }
    if (text.isEmpty())
        return;

    const int baud = clientBaud();
    const Served served = serve(m_line, m_faults, raw, text, QDateTime::currentMSecsSinceEpoch(), baud);
    const Answer& answer = served.answer;
    if (answer.silent) {
        note(answer.note);
        return;
    }
    if (!answer.note.isEmpty())
        note(answer.note);
    const Shaped& shaped = served.shaped;
    note(shaped.note);
    if (shaped.pieces.isEmpty())
        return;

    // A paced line: the pseudo-terminal hands over the request at once, but
    // on the wire its last byte comes 11 bit times a character after the
    // first, and only then can the instrument react.
    const qint64 charUs = (m_options.pace && baud > 0) ? 11LL * 1000000 / baud : 0;
    const qint64 requestEndUs = firstByteUs + charUs * raw.size();
    qint64 at = std::max({monotonicUs(), m_lastDueUs, requestEndUs}) + qint64(m_options.latencyMs) * 1000;
    std::deque<Out> outs;
    for (int i = 0; i < shaped.pieces.size(); ++i) {
        const Piece& p = shaped.pieces[i];
        const bool last = i == shaped.pieces.size() - 1;
        at += qint64(p.delayMs) * 1000;
        if (p.unplug) {
            outs.push_back(Out{at, {}, true, shaped.replugMs, true});
            continue;
        }
        if (charUs > 0) {
            for (int j = 0; j < p.bytes.size(); ++j) {
                at += charUs;
                outs.push_back(Out{at, p.bytes.mid(j, 1), false, 0, last && j == p.bytes.size() - 1});
            }
        } else {
            outs.push_back(Out{at, p.bytes, false, 0, last});
        }
    }
    if (m_options.usbLatencyMs > 0)
        outs = inBursts(outs);
    for (const Out& o : outs)
        m_lastDueUs = std::max(m_lastDueUs, o.dueUs);
    m_out.insert(m_out.end(), outs.begin(), outs.end());
}

std::deque<PtyServer::Out> PtyServer::inBursts(const std::deque<Out>& outs) const
{
    constexpr int kBurst = 62; // a full-speed packet of 64 bytes less the adapter's two status bytes
    const qint64 holdUs = qint64(m_options.usbLatencyMs) * 1000;
    std::deque<Out> bursts;
    Out burst;
    qint64 firstUs = 0;
    const auto send = [&](qint64 dueUs) {
        if (burst.bytes.isEmpty())
            return;
        burst.dueUs = dueUs;
        bursts.push_back(burst);
        burst = Out{};
    };
    for (const Out& o : outs) {
        if (o.unplug) {
            send(std::min(firstUs + holdUs, o.dueUs));
            bursts.push_back(o);
            continue;
        }
        for (int i = 0; i < o.bytes.size(); ++i) {
            if (!burst.bytes.isEmpty() && o.dueUs >= firstUs + holdUs)
                send(firstUs + holdUs);
            if (burst.bytes.isEmpty())
                firstUs = o.dueUs;
            burst.bytes += o.bytes.at(i);
            burst.endOfAnswer = o.endOfAnswer && i == o.bytes.size() - 1;
            if (burst.bytes.size() == kBurst)
                send(o.dueUs);
        }
    }
    send(firstUs + holdUs);
    return bursts;
}

void PtyServer::sendDue(qint64 nowUs)
{
    while (!m_out.empty() && m_out.front().dueUs <= nowUs && m_master >= 0) {
        Out& o = m_out.front();
        if (o.unplug) {
            transcript('<', m_answerSoFar);
            m_answerSoFar.clear();
            note(QStringLiteral("adapter unplugged"));
            // The port's name goes with the adapter, as a pulled USB adapter's
            // device node does. Closing the master frees its terminal number,
            // which the next pseudo-terminal opened on this machine (another
            // simulator's, say) takes over: a link left pointing at it would
            // carry the client's frames to a stranger.
            removeLink();
            closePty();
            m_out.clear();
            m_input.clear();
            m_discarding = false;
            m_replugAtUs = nowUs + qint64(o.replugMs) * 1000;
            return;
        }
        if (!o.bytes.isEmpty()) {
            const ssize_t n = ::write(m_master, o.bytes.constData(), size_t(o.bytes.size()));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    return; // the client is not reading; try again soon
                o.bytes.clear();
            } else {
                m_answerSoFar += o.bytes.left(int(n));
                o.bytes.remove(0, int(n));
                if (!o.bytes.isEmpty())
                    return;
            }
        }
        if (o.endOfAnswer) {
            transcript('<', m_answerSoFar);
            m_answerSoFar.clear();
        }
        m_out.pop_front();
    }
}

int PtyServer::run(int signalFd)
{
    for (;;) {
        const qint64 now = monotonicUs();
        if (m_master < 0 && m_replugAtUs >= 0 && now >= m_replugAtUs) {
            QString error;
            m_replugAtUs = -1;
            if (!openPty(&error) || !pointLink(&error)) {
                std::fprintf(stderr, "instrument-sim: %s\n", error.toLocal8Bit().constData());
                return 1;
            }
            note(QStringLiteral("adapter plugged in again at %1").arg(m_slavePath));
            std::printf("replugged %s\n", m_slavePath.toLocal8Bit().constData());
            std::fflush(stdout);
        }
        sendDue(now);

        qint64 waitUs = -1;
        if (!m_out.empty())
            waitUs = std::max<qint64>(0, m_out.front().dueUs - monotonicUs());
        if (m_master < 0 && m_replugAtUs >= 0)
            waitUs = std::max<qint64>(0, m_replugAtUs - monotonicUs());

        pollfd fds[2] = {{signalFd, POLLIN, 0}, {m_master, POLLIN, 0}};
        if (m_master >= 0 && !m_out.empty() && m_out.front().dueUs <= monotonicUs())
            fds[1].events |= POLLOUT;
        timespec ts{};
        timespec* timeout = nullptr;
        if (waitUs >= 0) {
            ts.tv_sec = time_t(waitUs / 1000000);
            ts.tv_nsec = long(waitUs % 1000000) * 1000;
            timeout = &ts;
        }
        const int n = ppoll(fds, m_master >= 0 ? 2 : 1, timeout, nullptr);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "instrument-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) > 0)
                return 0;
        }
        if (m_master >= 0 && (fds[1].revents & POLLIN))
            readMaster();
        if (m_master >= 0 && (fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN)) {
            // Nobody holds the slave (cannot happen while we hold it); do not spin.
            struct timespec pause = {0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
}

} // namespace sim
