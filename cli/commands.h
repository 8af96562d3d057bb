#pragma once
// The program's commands. Each takes the arguments after its name and returns
// the exit status (session.h).

#include <QStringList>

namespace cli {

int run(const QStringList& arguments);

int params(const QStringList& args);
int read(const QStringList& args);
int write(const QStringList& args);
int download(const QStringList& args);
int csv(const QStringList& args);
// save, compare and restore, by the first argument.
int snapshot(const QStringList& args);
int scanCommand(const QStringList& args);

} // namespace cli
