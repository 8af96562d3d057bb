#pragma once
// What every command shares: the output streams, the exit statuses, and the
// link brought up from "dev.dat" and the options --port, --device, --speed
// and --address, with the instrument map of that "dev.dat".

#include "arguments.h"
#include "devlink.h"
#include "linkcore.h"
#include "map.h"

#include <QString>
#include <memory>

namespace cli {

enum Status {
    Done = 0,
    Failed = 1,     // the instrument did not answer or refused
    BadUsage = 2,   // a bad command line or value: nothing was sent
    Interrupted = 130,
};

// Writes text as UTF-8 to standard output or standard error.
void printOut(const QString& text);
void printError(const QString& text);
// "instrument: " + text on standard error, with the line end.
void complain(const QString& text);
// Whether standard error is a terminal.
bool errorIsTerminal();

// The options every command takes.
QList<OptionSpec> linkOptions();

// Parses a command's arguments (the link's options and its own): on a bad
// line (said on standard error) or --help (printed) the status to end with,
// else -1.
int parseCommand(const QString& command, const QStringList& args, const QList<OptionSpec>& own, Arguments* out);
// Says text on standard error with where the command's help is; BadUsage.
int badUsage(const QString& command, const QString& text);

class Session {
public:
    // Reads "dev.dat" without bringing the link up (no log is opened): for
    // the map's names alone.
    void openMapOnly();
    // Brings the link up as the windows do and applies the options; false
    // when it cannot, the message said on standard error (nothing has been
    // sent).
    bool open(const Arguments& args);

    instrument::LinkCore link;
    instrument::map::DevLink mapLink{link};
    std::unique_ptr<instrument::map::Map> map;

private:
    bool openLink(const Arguments& args, QString* error);
};

} // namespace cli
