#pragma once
// The link against the simulator over a real pseudo-terminal, for the tests
// and the benchmark of the two together.

#include "dev.h"
#include "programdir.h"
#include "simprocess.h"

namespace simlinktest {

// A simulator, a program folder whose dev.dat maps COM1 to it, and a loaded link.
struct Rig {
    explicit Rig(const QStringList& simArgs, double timeOut = 0.5, int rereadings = 2, const QString& extra = {})
        : sim(simArgs)
    {
        testsupport::SimDevDat d;
        d.link = sim.linkPath();
        d.timeOut = timeOut;
        d.rereadings = rereadings;
        d.extra = extra;
        testsupport::writeSimDevDat(folder, d);
    }
    bool load()
    {
        if (!sim.isRunning()) {
            qWarning("simulator: %s", qPrintable(sim.startError()));
            return false;
        }
        if (!dev.Form_Load()) {
            qWarning("link: %s", qPrintable(dev.loadError()));
            return false;
        }
        dev.bNetAdrr = 1;
        return true;
    }
    int framesReceived() const { return int(sim.transcript(QStringLiteral("> ")).size()); }

    testsupport::ProgramFolder folder;
    testsupport::SimProcess sim;
    instrument::Dev dev;
};

} // namespace simlinktest
