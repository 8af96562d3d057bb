#pragma once
// Faults the simulator can put on the line, on purpose, so that the programs'
// handling of a misbehaving instrument can be seen and tested.
//
//   --fault KIND[:cmd=N][:adr=HEX][:after=N][:once|:times=N][:p=P][:seed=S][:ms=N]

#include "model.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <random>

namespace sim {

enum class FaultKind { Silence, Err, Garbage, Split, Echo, NoCr, Delay, NaN, Unplug, NoAck, Stuck, BadValue };

struct FaultOption {
    enum class Mode { Always, Once, Chance };
    FaultKind kind = FaultKind::Silence;
    int command = -1;          // -1: every command
    int address = -1;          // -1: every parameter address
    int after = 0;             // matching frames let pass first
    int times = -1;            // -1: no limit (Mode::Once: 1)
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
    bool store = true;    // false: the instrument forgets what the frame wrote
};

// Whether a fault of this kind can apply to an answer of command: noack and
// stuck to writes, badvalue to reads of values, the others to every command.
bool faultApplies(FaultKind kind, int command);

class FaultSet {
public:
    void add(const FaultOption& option);
    bool isEmpty() const { return m_faults.isEmpty(); }

    // What goes on the line for an answer of command to the request line
    // (as received, CR LF included), the frame aimed at the parameter
    // address given (-1: none). Every fault counts the frames that match its
    // kind, cmd= and adr= for its after=, whichever fault takes them; the
    // first fault that applies wins.
    Shaped shape(int command, int address, const QByteArray& request, const QByteArray& answer);
    Shaped shape(int command, const QByteArray& request, const QByteArray& answer)
    {
        return shape(command, -1, request, answer);
    }
    // True when some fault may keep a write from being stored.
    bool mayForget() const;

private:
    struct Entry {
        FaultOption option;
        std::mt19937 rng;
        int seen = 0;  // matching frames so far
        int hits = 0;  // times applied
    };
    QList<Entry> m_faults;
};

// One received line through the instruments and the faults: raw as it came
// (CR LF included), text the frame with the line end cut. A stuck write is
// answered as confirmed and leaves the instruments as they were.
struct Served {
    Answer answer;
    Shaped shaped;
};
Served serve(Line& line, FaultSet& faults, const QByteArray& raw, const QByteArray& text, qint64 nowMs, int clientBaud);

// The answer with its first value replaced by "NaN" where the command answers
// real values (real reads, readings, recorded frames); unchanged otherwise.
QByteArray withNaN(int command, const QByteArray& answer);
// The answer with its first value replaced by "1G", which is neither a
// number nor hexadecimal digits, where the command answers values; unchanged
// otherwise.
QByteArray withBadValue(int command, const QByteArray& answer);

QString faultHelp();

} // namespace sim
