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
    const QList<OptionSpec> own = {{QStringLiteral("out"), true, QStringLiteral("o")}, {QStringLiteral("excel"), false, {}}};
    if (const int status = parseCommand(QStringLiteral("csv"), args, own, &a); status >= 0)
        return status;
    if (a.positional.size() != 1)
        return badUsage(QStringLiteral("csv"), QStringLiteral("укажите один файл данных: instrument csv ФАЙЛ.dtl"));
    QString error;
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
