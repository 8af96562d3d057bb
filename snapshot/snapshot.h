#pragma once
// The snapshot of the instrument's settings, for the command line and the
// window Snapshot alike: which parameters it holds, its file (a header of
// "#" lines, then name=value lines in the map's order, as read prints them),
// the instrument read into it, the differences of two snapshots (reals as
// the instrument stores them) and the restore: its safe order and its run,
// then the read-back of what was written. Qt Core only; every exchange goes
// through the map's Link, so a window can put its own operation in front.

#include "link.h"
#include "map.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace snapshot {

namespace map = instrument::map;

// The port parameters (speed, netnum, channels): saved and compared, never
// restored (Commission changes them).
bool isPortParam(const map::Param& p);
// Whether a parameter belongs to a snapshot: not the live values (the
// measured values, the clock, the buffers' current frame, state and signal).
bool inSnapshot(const map::Param& p);
// The parameters of a snapshot, in the map's order.
QList<const map::Param*> snapshotParams(const map::Map& m);

// The values by parameter, in the map's order.
struct Snapshot {
    QList<const map::Param*> params;
    QHash<const map::Param*, QString> values;
    bool contains(const map::Param* p) const { return values.contains(p); }
    QString value(const map::Param* p) const { return values.value(p); }
};

// The suite's version written into a snapshot's header.
QString suiteVersion();

// What the file's header says of where the snapshot was read.
struct Header {
    QString program;   // "instrument snapshot save", "Snapshot"
    QDateTime when;
    QString port;      // "COM1" or the device's path
    QString speed;     // "4800"
    int netnum = 0;
};

// The file's text. A value the instrument holds but the map would not write
// is kept as a comment (restore never sends it); each such one is named in
// *notRestorable with the map's reason; *kept counts the value lines.
QString fileText(const Snapshot& s, const Header& h, int digits, QStringList* notRestorable, int* kept);

// Reads a snapshot file against the map: every line a comment ("#"), blank,
// or name=value of a parameter of the snapshot whose value the map takes.
// False with *error naming the file, the line and why.
bool readFile(const QString& path, const map::Map& m, int digits, Snapshot* out, QString* error);

// How a run that reads or writes the instrument ended.
enum class Outcome { Done, Failed, Stopped };

// Asked before each parameter (done of total so far, the one next): false
// stops the run there.
using Progress = std::function<bool(int done, int total, const map::Param& next)>;

// Reads every parameter of the snapshot from the instrument. Failed with
// *error at the first read that fails (or a base address of "dev.dat" that
// is not one: then nothing is sent).
Outcome readInstrument(const map::Map& m, map::Link& link, Snapshot* out, QString* error,
                       const Progress& progress = {});

// The value as the instrument keeps it: the write's value text (reals in the
// exponent form with the link's digits; texts without the blanks the write
// adds); the text itself when the map does not take it.
QString stored(const map::Param& p, const QString& text, int digits);

struct Difference {
    const map::Param* param = nullptr;
    QString a;   // empty with hasA false: not in A
    QString b;
    bool hasA = true;
    bool hasB = true;
};

// The parameters whose stored values differ, or that one side lacks.
QList<Difference> differences(const map::Map& m, const Snapshot& a, const Snapshot& b, int digits);

// ---- the restore ------------------------------------------------------------------

struct Step {
    enum Kind { Value, AnalysisOff, Restart };
    Kind kind = Value;
    const map::Param* param = nullptr;   // null for the restart
    QString value;                       // the value written
    QString was;                         // the instrument's value before
    bool restartAfter = true;            // false: the one restart at the end does it
    // The step's name in the lists of written and not written.
    QString name() const;
};

// The writes in the safe order: the instrument's own parameters, then (the
// relay analysis off while the relay records change) the relay records, the
// flags with the analysis last, one restart. The port parameters are only
// listed.
struct Plan {
    QList<Step> steps;
    QList<const map::Param*> port;
    // The parameters written (to be read back), in the order written.
    QList<const map::Param*> written() const;
    int valueCount() const;
};

// The plan that makes the instrument (present) hold wanted's values for the
// parameters chosen (all of wanted's differences when chosen is null). A
// parameter wanted does not name stays as it is.
Plan restorePlan(const map::Map& m, const Snapshot& present, const Snapshot& wanted, int digits,
                 const QSet<const map::Param*>* chosen = nullptr);

struct RestoreResult {
    Outcome outcome = Outcome::Done;
    QStringList written;      // step names
    QStringList notWritten;
    QString error;
    // "записано: a, b; не записано: c" (either part "ничего" when empty).
    QString lists() const;
};

// Runs the plan. proceed is asked before each step (false stops there);
// written is told after each step done. The restart's answer is not
// examined.
RestoreResult runPlan(const Plan& plan, map::Link& link, const std::function<bool(const Step&)>& proceed = {},
                      const std::function<void(const Step&)>& written = {});

// Reads back what was written: false with *error at a read that fails;
// *mismatches gets "name: записано «x», прочитано «y»" for each value that
// reads otherwise.
bool checkWritten(const Plan& plan, map::Link& link, int digits, QStringList* mismatches, QString* error,
                  const Progress& progress = {});

} // namespace snapshot
