// instrument-sim: the instrument on a pseudo-terminal.

#include "faults.h"
#include "model.h"
#include "ptyserver.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

const char* kUsage =
    "Usage: instrument-sim --link PATH [options]\n"
    "\n"
    "Plays the measuring instrument on a pseudo-terminal. PATH becomes a\n"
    "symbolic link to the slave device; the slave's path is printed as the\n"
    "first line on stdout. Serves until SIGINT or SIGTERM, then removes PATH\n"
    "and exits 0. Map a port to PATH in dev.dat, section [PORTS], key COMn.\n"
    "\n"
    "Options:\n"
    "  --link PATH          the symbolic link to create (required)\n"
    "  --address N[,M...]   network addresses of the instruments on the line\n"
    "                       (default 1); a frame without an address is\n"
    "                       answered by the first\n"
    "  --no-net-address     the instruments use no network addresses (the\n"
    "                       link's EnableNetAdrr=0): the first field of a frame\n"
    "                       is its command, so \":11;1;0.19e3;\" is command 11.\n"
    "                       Only the command path's frames, which always carry\n"
    "                       the address, are read with it: those whose second\n"
    "                       field is 33, 34, 323 or 423, and those that fit no\n"
    "                       command otherwise (\":1;17;0;44B;1;\"). Every frame\n"
    "                       is answered by the first instrument. Without this\n"
    "                       option the address is guessed: the reading whose\n"
    "                       field count fits the command, the address winning\n"
    "                       when both fit\n"
    "  --state FILE         load the instruments' memory from FILE at start\n"
    "                       (when it exists) and save it there at exit; the\n"
    "                       network number and speed in force are part of it\n"
    "                       (format below)\n"
    "  --transcript FILE    append every line received (\"> \"), answer sent\n"
    "                       (\"< \") and note (\"# \"), one per line, bytes\n"
    "                       escaped: \\r \\n \\\\ \\xHH; a frame that comes after the\n"
    "                       program changed the line's settings is preceded by\n"
    "                       the note \"line set to 9600 baud 8N2\" (speed, data\n"
    "                       bits, parity, stop bits)\n"
    "  --pace               run the line at the client's baud rate, 11 bit\n"
    "                       times a character (8N2): an answer starts no sooner\n"
    "                       than the request's last byte would have arrived,\n"
    "                       and its characters follow one another at that rate\n"
    "  --latency MS         the instrument's own reaction time: its answer\n"
    "                       starts MS milliseconds (0..600000, default 0) after\n"
    "                       the request's last byte (with --pace, after it\n"
    "                       would have arrived)\n"
    "  --usb-latency MS     the client reaches the line through a USB adapter\n"
    "                       with a latency timer of MS milliseconds (1..255):\n"
    "                       the answer comes in bursts of up to 62 bytes, a\n"
    "                       burst going when it is full or MS after its first\n"
    "                       byte came from the line, so an answer's last bytes\n"
    "                       are held up to MS. A real adapter's driver sets the\n"
    "                       timer to 1 when the port asks for low latency; a\n"
    "                       pseudo-terminal cannot be asked, so give 1 here to\n"
    "                       play that\n"
    "  --fault FAULT        put a fault on the line (see below)\n"
    "  --help               this text\n"
    "\n"
    "The instrument answers at its network number and, after a restart\n"
    "(command 13 writing 1 at 151A), at the network number (address 1 of\n"
    "commands 29..32) and speed code (address 1 of commands 5/6/13/14) then\n"
    "stored; a client at another baud rate then meets silence.\n"
    "\n";

bool readAddresses(const QString& text, QList<int>* out)
{
    out->clear();
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int a = part.trimmed().toInt(&ok);
        if (!ok || a < 0 || a > 255)
            return false;
        out->append(a);
    }
    return !out->isEmpty();
}

int fail(const QString& text)
{
    std::fprintf(stderr, "instrument-sim: %s\n", text.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    sim::ServerOptions options;
    QList<int> addresses = {1};
    QString statePath;
    sim::FaultSet faults;
    bool noNetAddress = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto next = [&](QString* value) {
            if (i + 1 >= args.size())
                return false;
            *value = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            std::fputs(sim::stateFileHelp().toLocal8Bit().constData(), stdout);
            std::fputs("\n", stdout);
            std::fputs(sim::faultHelp().toLocal8Bit().constData(), stdout);
            return 0;
        } else if (a == QLatin1String("--link") && next(&v)) {
            options.linkPath = v;
        } else if (a == QLatin1String("--address") && next(&v)) {
            if (!readAddresses(v, &addresses))
                return fail(QStringLiteral("bad address list \"%1\"").arg(v));
        } else if (a == QLatin1String("--state") && next(&v)) {
            statePath = v;
        } else if (a == QLatin1String("--transcript") && next(&v)) {
            options.transcriptPath = v;
        } else if (a == QLatin1String("--pace")) {
            options.pace = true;
        } else if (a == QLatin1String("--latency") && next(&v)) {
            bool ok = false;
            options.latencyMs = v.toInt(&ok);
            if (!ok || options.latencyMs < 0 || options.latencyMs > 600000)
                return fail(QStringLiteral("bad latency \"%1\" (milliseconds, 0..600000)").arg(v));
        } else if (a == QLatin1String("--usb-latency") && next(&v)) {
            bool ok = false;
            options.usbLatencyMs = v.toInt(&ok);
            if (!ok || options.usbLatencyMs < 1 || options.usbLatencyMs > 255)
                return fail(QStringLiteral("bad USB latency \"%1\" (milliseconds, 1..255)").arg(v));
        } else if (a == QLatin1String("--no-net-address")) {
            noNetAddress = true;
        } else if (a == QLatin1String("--fault") && next(&v)) {
            sim::FaultOption option;
            QString error;
            if (!sim::parseFault(v, &option, &error))
                return fail(error);
            faults.add(option);
        } else {
            return fail(QStringLiteral("unknown or incomplete option \"%1\" (see --help)").arg(a));
        }
    }
    if (options.linkPath.isEmpty())
        return fail(QStringLiteral("--link PATH is required (see --help)"));

    sim::Line line(addresses);
    if (noNetAddress)
        line.setAddressMode(sim::AddressMode::Off);
    if (!statePath.isEmpty() && QFile::exists(statePath)) {
        QFile f(statePath);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(statePath));
        QStringList lines;
        QTextStream in(&f);
        while (!in.atEnd())
            lines << in.readLine();
        QString bad;
        if (!line.load(lines, &bad))
            return fail(QStringLiteral("%1: cannot take the line \"%2\"").arg(statePath, bad));
    }

    // Signals arrive as readable data, so the loop never runs a handler in
    // the middle of an answer.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int sigFd = signalfd(-1, &set, SFD_CLOEXEC);
    if (sigFd < 0)
        return fail(QStringLiteral("signalfd failed"));

    sim::PtyServer server(line, faults, options);
    QString error;
    if (!server.start(&error))
        return fail(error);
    std::printf("%s\n", server.slavePath().toLocal8Bit().constData());
    std::fflush(stdout);

    const int code = server.run(sigFd);
    server.removeLink();
    if (!statePath.isEmpty()) {
        QSaveFile f(statePath);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(line.saveLines().join(QLatin1Char('\n')).toUtf8() + '\n');
            if (!f.commit())
                std::fprintf(stderr, "instrument-sim: cannot save %s\n", statePath.toLocal8Bit().constData());
        }
    }
    ::close(sigFd);
    return code;
}
