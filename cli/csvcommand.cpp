// csv: a data file as CSV, one row a frame, with the viewer's own export.

#include "commands.h"
#include "csvexport.h"
#include "help.h"
#include "session.h"

#include <QFile>

namespace cli {

int csv(const QStringList& args)
{
    Arguments a;
    QString error;
    const QList<OptionSpec> own = {{QStringLiteral("out"), true, QStringLiteral("o")}, {QStringLiteral("excel"), false, {}}};
    if (!parseArguments(args, linkOptions() + own, &a, &error)) {
        complain(error + QStringLiteral(" (справка: instrument csv --help)"));
        return BadUsage;
    }
    if (a.has(QStringLiteral("help"))) {
        printOut(commandHelp(QStringLiteral("csv")));
        return Done;
    }
    if (a.positional.size() != 1) {
        complain(QStringLiteral("укажите один файл данных: instrument csv ФАЙЛ.dtl (справка: instrument csv --help)"));
        return BadUsage;
    }
    dataview::DataFile data;
    if (!dataview::readDataFile(a.positional.first(), &data, &error)) {
        complain(QStringLiteral("%1: %2").arg(a.positional.first(), error));
        return BadUsage;
    }
    const dataview::CsvStyle style = a.has(QStringLiteral("excel")) ? dataview::CsvStyle::Excel
                                                                     : dataview::CsvStyle::Standard;
    if (a.has(QStringLiteral("out"))) {
        if (!dataview::saveCsv(data, a.value(QStringLiteral("out")), style, &error)) {
            complain(error);
            return BadUsage;
        }
        return Done;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || !dataview::writeCsv(data, out, style, &error)) {
        complain(error.isEmpty() ? out.errorString() : error);
        return BadUsage;
    }
    return Done;
}

} // namespace cli
