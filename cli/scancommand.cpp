// scan: the instrument that does not answer, found over the suite's speeds
// and the network numbers.

#include "commands.h"
#include "help.h"
#include "interrupt.h"
#include "scan.h"
#include "session.h"

#include <QElapsedTimer>

namespace cli {

namespace {

// "all" or bauds separated by commas, each of the suite's list.
bool parseSpeeds(const QString& text, QStringList* out, QString* error)
{
    const QStringList suite = scan::suiteSettings();
    if (text.trimmed() == QLatin1String("all")) {
        *out = suite;
        return true;
    }
    QStringList known;
    for (const QString& s : suite)
        known << QString::number(scan::baudOf(s));
    out->clear();
    for (const QString& part : text.split(QLatin1Char(','))) {
        const int i = known.indexOf(part.trimmed());
        if (i < 0) {
            *error = QStringLiteral("--speeds: «%1» не скорость из списка %2 (или all)").arg(part.trimmed(), known.join(QLatin1Char(',')));
            return false;
        }
        if (!out->contains(suite.at(i)))
            out->append(suite.at(i));
    }
    return true;
}

// Numbers and ranges separated by commas: "17", "0-31,200".
bool parseAddresses(const QString& text, QList<int>* out, QString* error)
{
    out->clear();
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        qint64 lo = 0;
        qint64 hi = 0;
        if (ends.size() > 2 || !wholeNumber(ends.first(), 0, 255, &lo) || !wholeNumber(ends.last(), 0, 255, &hi) || lo > hi) {
            *error = QStringLiteral("--addresses: «%1» не номер или диапазон номеров от 0 до 255 (например 0-255 или 17)")
                         .arg(part.trimmed());
            return false;
        }
        for (qint64 n = lo; n <= hi; ++n)
            if (!out->contains(int(n)))
                out->append(int(n));
    }
    return true;
}

} // namespace

int scanCommand(const QStringList& args)
{
    Arguments a;
    const QList<OptionSpec> own = {{QStringLiteral("speeds"), true, {}},
                                   {QStringLiteral("addresses"), true, {}},
                                   {QStringLiteral("all"), false, {}}};
    if (const int status = parseCommand(QStringLiteral("scan"), args, own, &a); status >= 0)
        return status;
    const auto usage = [](const QString& text) { return badUsage(QStringLiteral("scan"), text); };
    QString error;
    if (!a.positional.isEmpty())
        return usage(QStringLiteral("лишний аргумент «%1»").arg(a.positional.first()));
    QStringList speeds = scan::suiteSettings();
    if (a.has(QStringLiteral("speeds")) && !parseSpeeds(a.value(QStringLiteral("speeds")), &speeds, &error))
        return usage(error);
    QList<int> netnums;
    if (!parseAddresses(a.has(QStringLiteral("addresses")) ? a.value(QStringLiteral("addresses")) : QStringLiteral("0-255"),
                        &netnums, &error))
        return usage(error);

    Session s;
    if (!s.open(a))
        return BadUsage;
    // The settings and number of "dev.dat" (or of --speed and --address) first.
    const QList<scan::Try> tries = scan::tryOrder(speeds, netnums, s.link.Settings, s.link.bNetAdrr);

    InterruptGuard guard;
    const bool progress = errorIsTerminal();
    QElapsedTimer clock;
    clock.start();
    scan::Scanner scanner(s.link);
    scanner.onProgress = [&](int tried, int total) {
        if (progress)
            printError(QStringLiteral("\rопрошено %1 из %2, осталось %3   ")
                           .arg(tried)
                           .arg(total)
                           .arg(scan::durationText(clock.elapsed() * (total - tried) / tried)));
        return !InterruptGuard::interrupted();
    };
    scanner.onFound = [&](const scan::Try& t) {
        // The progress line is cleared for the instrument's line.
        if (progress)
            printError(QStringLiteral("\r%1\r").arg(QString(), 60));
        printOut(QStringLiteral("speed=%1 netnum=%2\n").arg(scan::baudOf(t.settings)).arg(t.netnum));
    };
    const QList<scan::Try> found = scanner.run(tries, a.has(QStringLiteral("all")));
    if (progress)
        printError(QStringLiteral("\n"));
    if (!scanner.portError().isEmpty()) {
        complain(scanner.portError());
        return Failed;
    }
    if (scanner.stopped()) {
        complain(QStringLiteral("прервано: найдено приборов %1").arg(found.size()));
        return Interrupted;
    }
    if (found.isEmpty()) {
        complain(QStringLiteral("прибор не ответил ни на одной скорости и ни на одном номере (опрошено %1)").arg(tries.size()));
        return Failed;
    }
    return Done;
}

} // namespace cli
