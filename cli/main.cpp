// instrument: the suite on the command line (Qt Core only).

#include "commands.h"
#include "help.h"
#include "session.h"

#include <QCoreApplication>

namespace cli {

int run(const QStringList& arguments)
{
    const QStringList args = arguments.mid(1);
    if (args.isEmpty()) {
        printError(programHelp());
        return BadUsage;
    }
    const QString command = args.first();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        printOut(programHelp());
        return Done;
    }
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("params"))
        return params(rest);
    if (command == QLatin1String("read"))
        return read(rest);
    if (command == QLatin1String("write"))
        return write(rest);
    if (command == QLatin1String("download"))
        return download(rest);
    if (command == QLatin1String("csv"))
        return csv(rest);
    if (command == QLatin1String("snapshot"))
        return snapshot(rest);
    if (command == QLatin1String("scan"))
        return scanCommand(rest);
    complain(QStringLiteral("неизвестная команда «%1»; команды: params, read, write, download, csv, snapshot, scan "
                            "(справка: instrument --help)")
                 .arg(command));
    return BadUsage;
}

} // namespace cli

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return cli::run(QCoreApplication::arguments());
}
