#pragma once
// The instrument's side of a pseudo-terminal line, for the link's tests and
// benchmarks on a real port.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtTest>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace linktest {

struct Pty {
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        slavePath = QString::fromLocal8Bit(ptsname(master));
        // Held open so the master does not see a hang-up between exchanges.
        slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
        ::close(slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Reads one frame (up to LF), giving up after ms without one.
    QByteArray readFrame(int ms = 5000)
    {
        QByteArray frame;
        QElapsedTimer t;
        t.start();
        while (!frame.endsWith('\n') && t.elapsed() < ms) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buf[256];
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0)
                    frame.append(buf, n);
            }
        }
        return frame;
    }
    void send(const QByteArray& bytes) { QVERIFY(::write(master, bytes.constData(), bytes.size()) == bytes.size()); }

    int master = -1;
    int slave = -1;
    QString slavePath;
};

} // namespace linktest
