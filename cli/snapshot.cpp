// snapshot save, compare and restore: the instrument's configuration as one
// text file of name=value lines, in the map's order, as read prints them.

#include "commands.h"
#include "help.h"
#include "session.h"
#include "snapshot.h"

#include <QDateTime>
#include <QSaveFile>
#include <algorithm>

namespace cli {

namespace map = instrument::map;
using snapshot::Difference;
using snapshot::Outcome;
using snapshot::Snapshot;

namespace {

// Reads every parameter of the snapshot from the instrument, the progress
// on a terminal; false with the message in *error at the first read that
// fails.
bool readInstrument(Session& s, Snapshot* out, QString* error)
{
    const bool progress = errorIsTerminal();
    const Outcome o = snapshot::readInstrument(*s.map, s.mapLink, out, error,
                                               [progress](int done, int total, const map::Param& p) {
                                                   if (progress)
                                                       printError(QStringLiteral("\rчтение: %1 из %2 (%3)\x1b[K")
                                                                      .arg(done)
                                                                      .arg(total)
                                                                      .arg(p.name));
                                                   return true;
                                               });
    if (progress)
        printError(QStringLiteral("\r\x1b[K"));
    return o == Outcome::Done;
}

QString differenceLine(const Difference& d, const QString& aName, const QString& bName)
{
    const auto side = [](bool has, const QString& value) {
        return has ? QStringLiteral("«%1»").arg(value) : QStringLiteral("нет");
    };
    return QStringLiteral("%1: %2 %3, %4 %5\n").arg(d.param->name, aName, side(d.hasA, d.a), bName, side(d.hasB, d.b));
}

QString portText(const Session& s)
{
    const QString device = s.link.devicePath();
    return device.isEmpty() ? QStringLiteral("COM%1").arg(s.link.Number) : device;
}

int save(const QStringList& args)
{
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("snapshot save"), args, {}, &a); status >= 0)
        return status;
    if (a.positional.size() != 1)
        return badUsage(QStringLiteral("snapshot save"), QStringLiteral("укажите один файл снимка"));
    Session s;
    if (!s.open(a))
        return BadUsage;
    QString error;
    const QString path = a.positional.first();
    // The file is replaced only when it is written whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        complain(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return BadUsage;
    }
    Snapshot snap;
    if (!readInstrument(s, &snap, &error)) {
        file.cancelWriting();
        complain(error + QStringLiteral("; снимок не записан"));
        return Failed;
    }
    const snapshot::Header header{QStringLiteral("instrument snapshot save"), QDateTime::currentDateTime(),
                                  portText(s), s.link.Settings.section(QLatin1Char(','), 0, 0), s.link.bNetAdrr};
    QStringList notRestorable;
    int kept = 0;
    file.write(snapshot::fileText(snap, header, s.mapLink.exponentDigits(), &notRestorable, &kept).toUtf8());
    for (const QString& why : notRestorable)
        complain(why + QStringLiteral(" — в снимке только комментарием, restore его не пишет"));
    if (!file.commit()) {
        complain(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return Failed;
    }
    printOut(QStringLiteral("Записано параметров: %1 в %2\n").arg(kept).arg(path));
    return Done;
}

int compare(const QStringList& args)
{
    // As diff: 0 equal, 1 different, 2 trouble.
    constexpr int kTrouble = 2;
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("snapshot compare"), args, {}, &a); status >= 0)
        return status == Done ? Done : kTrouble;
    if (a.positional.isEmpty() || a.positional.size() > 2) {
        complain(QStringLiteral("укажите два файла снимка или один (сравнение с прибором)"));
        return kTrouble;
    }
    Session s;
    QString error;
    const bool withInstrument = a.positional.size() == 1;
    if (withInstrument) {
        if (!s.open(a))
            return kTrouble;
    } else {
        // Two files: the reals still compare with the digits "dev.dat" gives
        // the link.
        s.openMapOnly();
        qint64 digits = 0;
        if (wholeNumber(s.link.sGetINI(QStringLiteral("SETTINGS"), QStringLiteral("NOfDigits"), QStringLiteral("8")), 1,
                        255, &digits))
            s.link.NOfDigits = quint8(digits);
    }
    const int digits = s.mapLink.exponentDigits();
    Snapshot first, second;
    if (!snapshot::readFile(a.positional.at(0), *s.map, digits, &first, &error)
        || (!withInstrument && !snapshot::readFile(a.positional.at(1), *s.map, digits, &second, &error))) {
        complain(error);
        return kTrouble;
    }
    if (withInstrument && !readInstrument(s, &second, &error)) {
        complain(error);
        return kTrouble;
    }
    const QString bName = withInstrument ? QStringLiteral("в приборе") : QStringLiteral("в B");
    // The port parameters are listed but not counted: restore never writes
    // them, and a clone at another network number differs there by design.
    QList<Difference> diff;
    QString text;
    for (const Difference& d : snapshot::differences(*s.map, first, second, digits)) {
        if (withInstrument && !d.hasA)
            continue;   // the instrument is compared on what the file names
        if (snapshot::isPortParam(*d.param)) {
            text += differenceLine(d, QStringLiteral("в A"), bName).chopped(1)
                    + QStringLiteral(" — параметр порта (меняется в Commission), в число различий не входит\n");
            continue;
        }
        text += differenceLine(d, QStringLiteral("в A"), bName);
        diff << d;
    }
    text += QStringLiteral("Различий: %1\n").arg(diff.size());
    printOut(text);
    return diff.isEmpty() ? Done : Failed;
}

int restore(const QStringList& args)
{
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("snapshot restore"), args,
                                             {{QStringLiteral("dry-run"), false, {}}}, &a);
        status >= 0)
        return status;
    if (a.positional.size() != 1)
        return badUsage(QStringLiteral("snapshot restore"), QStringLiteral("укажите один файл снимка"));
    const bool dryRun = a.has(QStringLiteral("dry-run"));
    Session s;
    if (!s.open(a))
        return BadUsage;
    QString error;
    const int digits = s.mapLink.exponentDigits();
    // Every value of the file is checked before the first frame.
    Snapshot wanted;
    if (!snapshot::readFile(a.positional.first(), *s.map, digits, &wanted, &error)) {
        complain(error);
        return BadUsage;
    }
    Snapshot present;
    if (!readInstrument(s, &present, &error)) {
        complain(error);
        return Failed;
    }
    const snapshot::Plan plan = snapshot::restorePlan(*s.map, present, wanted, digits);

    const QString verb = dryRun ? QStringLiteral("записал бы") : QStringLiteral("записано");
    const auto line = [&](const snapshot::Step& st) {
        if (st.kind != snapshot::Step::Value)
            return st.name() + QLatin1Char('\n');
        const bool offMeanwhile = st.param->name == QLatin1String("relays.analysis")
                                  && std::any_of(plan.steps.begin(), plan.steps.end(), [](const snapshot::Step& x) {
                                         return x.kind == snapshot::Step::AnalysisOff;
                                     });
        const QString was = offMeanwhile ? QStringLiteral("было %1, на время записи реле 0").arg(st.was)
                                         : QStringLiteral("было %1").arg(st.was);
        return QStringLiteral("%1=%2 (%3)\n").arg(st.param->name, st.value, was);
    };
    const auto portLines = [&] {
        for (const map::Param* p : plan.port)
            printOut(QStringLiteral("не записано (порт меняется в Commission): %1=%2 (было %3)\n")
                         .arg(p->name, wanted.value(p), present.value(p)));
    };
    if (dryRun) {
        for (const snapshot::Step& st : plan.steps)
            printOut(verb + QStringLiteral(": ") + line(st));
        portLines();
        printOut(QStringLiteral("Пробный прогон: записал бы параметров %1, прибору ничего не записано\n")
                     .arg(plan.valueCount()));
        return Done;
    }
    const snapshot::RestoreResult result = snapshot::runPlan(
        plan, s.mapLink, {}, [&](const snapshot::Step& st) { printOut(verb + QStringLiteral(": ") + line(st)); });
    if (result.outcome != Outcome::Done) {
        complain(result.error + QStringLiteral("; восстановление остановлено, ") + result.lists());
        return Failed;
    }
    portLines();
    // What was written reads back as the file has it.
    QStringList mismatches;
    if (!snapshot::checkWritten(plan, s.mapLink, digits, &mismatches, &error)) {
        complain(error);
        return Failed;
    }
    for (const QString& m : mismatches)
        complain(m);
    printOut(QStringLiteral("Записано параметров: %1%2\n")
                 .arg(plan.valueCount())
                 .arg(plan.port.isEmpty() ? QString()
                                          : QStringLiteral("; параметров порта не записано: %1").arg(plan.port.size())));
    return mismatches.isEmpty() ? Done : Failed;
}

} // namespace

int snapshot(const QStringList& args)
{
    const QString sub = args.value(0);
    if (sub == QLatin1String("save"))
        return save(args.mid(1));
    if (sub == QLatin1String("compare"))
        return compare(args.mid(1));
    if (sub == QLatin1String("restore"))
        return restore(args.mid(1));
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        printOut(commandHelp(QStringLiteral("snapshot")));
        return Done;
    }
    complain(QStringLiteral("snapshot: укажите save, compare или restore (справка: instrument snapshot --help)"));
    return BadUsage;
}

} // namespace cli
