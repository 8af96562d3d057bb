#pragma once
// What the reading tests share: an instrument behind the scripted port that
// answers the buffer registers and the frame command, and a reader of the
// data file that takes it apart into frames.

#include "fakeport.h"

#include <QFile>
#include <QMap>
#include <QStringList>
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace memorytest {

// A frame answer after "!": nine numbers, the status text and sixteen values.
inline QByteArray frameAnswer(int frame, const QByteArray& count = "10", int values = 16)
{
    QByteArray a = QByteArray::number(frame) + ';' + count + ";12;30;05;07;12;26;1;1000000002A3B0C11110000;";
    for (int k = 0; k < values; ++k)
        a += "00" + QByteArray::number(k) + ".5;";
    return '!' + a + "\r\n";
}

// Answers every frame the link writes, as the instrument would.
class ScriptedInstrument {
public:
    // The registers in hexadecimal, as the instrument answers them.
    QMap<QString, QByteArray> registers{{"20", "32"}, {"2", "0"}, {"4", "FFF"},
                                        {"21", "1032"}, {"3", "1000"}, {"5", "FFF"}};
    // Answers for the next attempts at a frame, taken one by one: an empty
    // text is silence, "LOST" pulls the adapter out; then the frame answers.
    QMap<int, QList<QByteArray>> frameFaults;
    // The same for a register.
    QMap<QString, QList<QByteArray>> registerFaults;
    // Called with each frame number as its command goes out (before the answer).
    std::function<void(int frame)> onFrame;
    // Called with each register address as its read goes out.
    std::function<void(const QString& address)> onRegister;

    QList<int> framesAsked;
    QStringList registersAsked;

    void attach(testsupport::FakePort* port)
    {
        port->onWrite = [this, port](const QByteArray& bytes) {
            const QList<QByteArray> f = bytes.split(';');
            if (f.size() >= 4 && f[1] == "323") {
                const int frame = qint16(f[2].toUShort(nullptr, 16));
                framesAsked << frame;
                if (onFrame)
                    onFrame(frame);
                answer(port, frameFaults[frame], frameAnswer(frame));
            } else if (f.size() >= 3 && f[1] == "30") {
                const QString address = QString::fromLatin1(f[2]);
                registersAsked << address;
                if (onRegister)
                    onRegister(address);
                answer(port, registerFaults[address], '!' + registers.value(address, "0") + ";\r\n");
            }
        };
    }

private:
    static void answer(testsupport::FakePort* port, QList<QByteArray>& faults, const QByteArray& good)
    {
        if (faults.isEmpty())
            return port->reply(good);
        const QByteArray a = faults.takeFirst();
        if (a.isEmpty())
            port->silence();
        else if (a == "LOST")
            port->reply({testsupport::FakePort::Piece{5, QByteArray(), true}});
        else
            port->reply(a);
    }
};

// The data file taken apart: the first line of every whole frame, and
// whether the file is made of whole frames and nothing else.
struct DataFileFrames {
    QList<int> frames;
    bool whole = true;
    QStringList lines;
};

inline DataFileFrames readDataFile(const QString& path)
{
    DataFileFrames out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray bytes = f.readAll();
    if (bytes.isEmpty())
        return out;
    if (!bytes.endsWith("\r\n"))
        out.whole = false;
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    for (QByteArray& l : lines) {
        if (!l.endsWith('\r'))
            out.whole = false;
        l.chop(1);
        out.lines << QString::fromLatin1(l);
    }
    for (int i = 0; i < out.lines.size();) {
        bool ok = false;
        const int n = i + 1 < out.lines.size() ? out.lines[i + 1].toInt(&ok) : 0;
        if (!ok || i + 10 + 3 * n > out.lines.size() || !out.lines[i].startsWith(QLatin1Char('"'))) {
            out.whole = false;
            break;
        }
        out.frames << out.lines[i].mid(1, out.lines[i].size() - 2).toInt();
        i += 10 + 3 * n;
    }
    return out;
}

// Limits the size of the files this process writes while it lives, as a
// full disk would (a write past it fails with "File too large").
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = m_old;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    void lift() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

inline QList<int> range(int from, int to, int step = 1)
{
    QList<int> out;
    for (int f = from; f <= to; f += step)
        out << f;
    return out;
}

} // namespace memorytest
