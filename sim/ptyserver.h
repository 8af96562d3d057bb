#pragma once
// The instrument on a pseudo-terminal: the programs open the slave side (via
// a symbolic link with a stable name) as if it were a serial port.

#include "faults.h"
#include "model.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <deque>

namespace sim {

struct ServerOptions {
    QString linkPath;
    QString transcriptPath;
    bool pace = false;
    int latencyMs = 0;  // the instrument's reaction time after a request's last byte
    // A USB adapter between the line and the client: answers come in bursts
    // of up to 62 bytes, the last held up to this many ms; 0: a plain line.
    int usbLatencyMs = 0;
};

class PtyServer {
public:
    PtyServer(Line& line, FaultSet& faults, const ServerOptions& options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal and points the link at its slave.
    bool start(QString* error);
    QString slavePath() const { return m_slavePath; }
    // Serves until a signal arrives on signalFd; returns the exit code.
    int run(int signalFd);
    // Removes the link if it still points at our slave.
    void removeLink();

private:
    struct Out {
        qint64 dueUs = 0;
        QByteArray bytes;
        bool unplug = false;
        int replugMs = 0;
        bool endOfAnswer = false;
    };

    // The bytes of outs as a USB adapter hands them on: a burst goes when it
    // holds 62 bytes or its latency timer (started by its first byte) runs out.
    std::deque<Out> inBursts(const std::deque<Out>& outs) const;
    bool openPty(QString* error);
    void closePty();
    bool pointLink(QString* error);
    void readMaster();
    // raw arrived with its first byte at firstByteUs.
    void takeLine(const QByteArray& raw, qint64 firstByteUs);
    void sendDue(qint64 nowUs);
    int clientBaud() const;
    // The terminal's settings as the program on the slave side set them,
    // such as "4800 baud 8N2"; empty when they cannot be read.
    QString lineSettings() const;
    // Notes in the transcript a change of the line's settings since the last frame.
    void noteLineSettings();
    void note(const QString& text);
    void transcript(char kind, const QByteArray& bytes);

    Line& m_line;
    FaultSet& m_faults;
    ServerOptions m_options;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_input;
    qint64 m_inputSinceUs = 0;  // when the first byte of m_input arrived
    bool m_discarding = false;
    std::deque<Out> m_out;
    qint64 m_lastDueUs = 0;
    QByteArray m_answerSoFar;
    qint64 m_replugAtUs = -1;
    FILE* m_transcript = nullptr;
    QString m_lineSettings;
};

// Microseconds of a monotonic clock.
qint64 monotonicUs();

} // namespace sim
