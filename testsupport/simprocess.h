#pragma once
// The instrument simulator as a child process of a test: it serves a
// pseudo-terminal behind a link in a temporary folder, and is stopped with
// SIGTERM when the object goes.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class ProgramFolder;

class SimProcess {
public:
    // Starts $INSTRUMENT_SIM (or bin/instrument-sim beside the test's folder)
    // with --link <temp>/ttyINSTR, --transcript <temp>/transcript.txt and the
    // extra arguments, and waits for the slave's path on its first line.
    explicit SimProcess(const QStringList& extraArguments = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool isRunning() const { return m_started; }
    // Why the simulator did not start (its stderr, or the reason).
    QString startError() const { return m_error; }
    QString linkPath() const { return m_dir.filePath(QStringLiteral("ttyINSTR")); }
    // Whether the link leads to the simulator's terminal: false while a
    // pulled adapter is out.
    bool linkPresent() const;
    QString slavePath() const { return m_slave; }
    QString transcriptPath() const { return m_dir.filePath(QStringLiteral("transcript.txt")); }
    // A file in the simulator's temporary folder (for --state, say).
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // The transcript's lines so far.
    QStringList transcript() const;
    // The lines of the transcript that start with prefix ("> " frames
    // received, "< " answers sent, "# " notes).
    QStringList transcript(const QString& prefix) const;

    // Sends SIGTERM and waits; returns the exit code (-1 when it had to be killed).
    int stop();

    static QString executable();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_slave;
    QString m_error;
    bool m_started = false;
};

// The keys of "dev.dat" that bring the link to the simulator.
struct SimDevDat {
    QString link;                   // path the port COM1 stands for
    double timeOut = 0.5;           // seconds, written with the locale's separator
    int rereadings = 2;
    bool enableNetAdrr = true;
    QString settings = QStringLiteral("4800,N,8,2");
    QString extra;                  // further sections, as text
};

// Writes "dev.dat" into folder: [PORTS] COM1 = the link, [COMport] number 1,
// the time-out, re-readings and address switch, logging on.
void writeSimDevDat(const ProgramFolder& folder, const SimDevDat& settings);

} // namespace testsupport
