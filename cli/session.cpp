#include "session.h"

#include "help.h"

#include "numbers.h"
#include "serialport.h"

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

void write(std::FILE* f, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fflush(f);
}

} // namespace

void printOut(const QString& text)
{
    write(stdout, text);
}

void printError(const QString& text)
{
    write(stderr, text);
}

void complain(const QString& text)
{
    printError(QStringLiteral("instrument: ") + text + QLatin1Char('\n'));
}

bool errorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

QList<OptionSpec> linkOptions()
{
    return {{QStringLiteral("port"), true, {}},
            {QStringLiteral("device"), true, {}},
            {QStringLiteral("speed"), true, {}},
            {QStringLiteral("address"), true, {}},
            {QStringLiteral("help"), false, QStringLiteral("h")}};
}

void Session::openMapOnly()
{
    link.sFloatingPointSeparator = instrument::localeDecimalSeparator();
    map = std::make_unique<instrument::map::Map>(instrument::map::devKeys(link), link.sFloatingPointSeparator);
}

bool Session::open(const Arguments& args)
{
    QString error;
    if (openLink(args, &error))
        return true;
    complain(error);
    return false;
}

bool Session::openLink(const Arguments& args, QString* error)
{
    if (args.has(QStringLiteral("port")) && args.has(QStringLiteral("device"))) {
        *error = QStringLiteral("--port и --device вместе не задаются: укажите одно из них");
        return false;
    }
    qint64 port = 0;
    if (args.has(QStringLiteral("port")) && !wholeNumber(args.value(QStringLiteral("port")), 1, 255, &port)) {
        *error = QStringLiteral("--port: «%1» не номер порта от 1 до 255").arg(args.value(QStringLiteral("port")));
        return false;
    }
    if (args.has(QStringLiteral("device")) && args.value(QStringLiteral("device")).isEmpty()) {
        *error = QStringLiteral("--device: пустой путь устройства");
        return false;
    }
    qint64 speed = 0;
    if (args.has(QStringLiteral("speed"))
        && !wholeNumber(args.value(QStringLiteral("speed")), 1, 4000000, &speed)) {
        *error = QStringLiteral("--speed: «%1» не скорость в бодах").arg(args.value(QStringLiteral("speed")));
        return false;
    }
    qint64 address = 0;
    if (args.has(QStringLiteral("address"))
        && !wholeNumber(args.value(QStringLiteral("address")), 0, 255, &address)) {
        *error = QStringLiteral("--address: «%1» не сетевой номер от 0 до 255").arg(args.value(QStringLiteral("address")));
        return false;
    }

    if (!link.Form_Load()) {
        *error = link.loadError();
        return false;
    }
    map = std::make_unique<instrument::map::Map>(instrument::map::devKeys(link), link.sFloatingPointSeparator);

    if (port > 0)
        link.Number = quint8(port);
    if (args.has(QStringLiteral("device")))
        link.setDevicePath(args.value(QStringLiteral("device")));
    if (speed > 0) {
        // The baud rate replaces the first field of the settings; the rest
        // stays as "dev.dat" has it.
        QStringList fields = link.Settings.split(QLatin1Char(','));
        if (fields.size() != 4)
            fields = {QString(), QStringLiteral("N"), QStringLiteral("8"), QStringLiteral("2")};
        fields[0] = QString::number(speed);
        link.Settings = fields.join(QLatin1Char(','));
    }
    instrument::PortSettings settings;
    QString why;
    if (!instrument::PortSettings::parse(link.Settings, &settings, &why)) {
        *error = why;
        return false;
    }
    // The windows start on network number 1; Commission keeps the one it
    // last used in [DEVICE] NetAdrr.
    if (args.has(QStringLiteral("address"))) {
        link.bNetAdrr = quint8(address);
    } else {
        qint64 kept = 1;
        wholeNumber(link.sGetINI(QStringLiteral("DEVICE"), QStringLiteral("NetAdrr"), QStringLiteral("1")), 0, 255, &kept);
        link.bNetAdrr = quint8(kept);
    }
    return true;
}

int parseCommand(const QString& command, const QStringList& args, const QList<OptionSpec>& own, Arguments* out)
{
    QString error;
    if (!parseArguments(args, linkOptions() + own, out, &error))
        return badUsage(command, error);
    if (out->has(QStringLiteral("help"))) {
        printOut(commandHelp(command));
        return Done;
    }
    return -1;
}

int badUsage(const QString& command, const QString& text)
{
    complain(text + QStringLiteral(" (справка: instrument %1 --help)").arg(command));
    return BadUsage;
}

} // namespace cli
