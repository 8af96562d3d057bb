#pragma once
// Faults the simulator can put on the line, on purpose, so that the programs'
// handling of a misbehaving instrument can be seen and tested.
//
//   --fault KIND[:cmd=N][:once|:p=P][:seed=S][:ms=N]

#include <QByteArray>
#include <QList>
#include <QString>
#include <random>

namespace sim {

enum class FaultKind { Silence, Err, Garbage, Split, Echo, NoCr, Delay, NaN, Unplug };

struct FaultOption {
    enum class Mode { Always, Once, Chance };
    FaultKind kind = FaultKind::Silence;
    int command = -1;          // -1: every command
    Mode mode = Mode::Always;
    double probability = 1.0;  // Mode::Chance
    quint32 seed = 1;
    int ms = -1;               // -1: the kind's default
    QString text;              // as given, for the transcript
};

// Takes one --fault argument apart. False with the reason in *error.
bool parseFault(const QString& text, FaultOption* out, QString* error);
QString faultKindName(FaultKind kind);
// The milliseconds a fault uses when :ms= is not given.
int defaultFaultMs(FaultKind kind);

// One piece of what the instrument puts on the line for a frame.
struct Piece {
    int delayMs = 0;     // after the previous piece (or after the frame)
    QByteArray bytes;
    bool unplug = false; // close the master here instead; the adapter comes back after delayMs of the next piece
};

struct Shaped {
    QList<Piece> pieces;  // empty: silence
    QString note;         // the fault applied, if any
    int replugMs = 0;     // with an unplug: how long the adapter stays away
};

class FaultSet {
public:
    void add(const FaultOption& option);
    bool isEmpty() const { return m_faults.isEmpty(); }

    // What goes on the line for an answer of command to the request line
    // (as received, CR LF included). The first fault that applies wins.
    Shaped shape(int command, const QByteArray& request, const QByteArray& answer);

private:
    struct Entry {
        FaultOption option;
        std::mt19937 rng;
        bool spent = false;
    };
    QList<Entry> m_faults;
};

// The answer with its first value replaced by "NaN" where the command answers
// real values (real reads, readings, recorded frames); unchanged otherwise.
QByteArray withNaN(int command, const QByteArray& answer);

QString faultHelp();

} // namespace sim
