#pragma once
#include <QString>

namespace instrument {

// The folder of the running program, where "dev.dat", "COM.log" and the other
// files of the suite live; the environment variable INSTRUMENT_SUITE_DIR names
// another one (for the demo and the tests).
QString programFolder();

// The file name in the program folder.
QString programFile(const QString& name);

} // namespace instrument
