#pragma once
// The command line of the program: the command, its options and its
// positional arguments, taken apart with messages in Russian.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace cli {

struct OptionSpec {
    QString name;        // "port" for --port
    bool takesValue = false;
    QString shortName;   // "o" for -o; empty when there is none
};

struct Arguments {
    QString command;
    QStringList positional;
    QMap<QString, QString> values;   // the options given, by name (flags hold "")
    bool has(const QString& name) const { return values.contains(name); }
    QString value(const QString& name) const { return values.value(name); }
};

// Takes apart the arguments after the command: "--name value", "--name=value",
// "-o value", flags, and positional arguments (everything after "--" is
// positional). False with *error on an unknown option or a missing value.
bool parseArguments(const QStringList& args, const QList<OptionSpec>& specs, Arguments* out, QString* error);

// A whole number from lo to hi written in decimal; false otherwise.
bool wholeNumber(const QString& text, qint64 lo, qint64 hi, qint64* value);

} // namespace cli
