// snapshot save, compare and restore: the instrument's configuration as one
// text file of name=value lines, in the map's order, as read prints them.

#include "commands.h"
#include "help.h"
#include "link.h"
#include "session.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSet>

namespace cli {

namespace map = instrument::map;

namespace {

// The port parameters: saved and compared, never restored (Commission
// changes them).
bool isPortParam(const map::Param& p)
{
    return p.channel == 0
           && (p.name == QLatin1String("speed") || p.name == QLatin1String("netnum")
               || p.name == QLatin1String("channels"));
}

// Live values are no part of the configuration: the measured values, the
// clock and the buffers' current frame, state and signal.
bool inSnapshot(const map::Param& p)
{
    if (p.channel > 0)
        return p.key != QLatin1String("Value");
    if (p.name == QLatin1String("clock"))
        return false;
    if (p.name.startsWith(QLatin1String("buffer")))
        return p.name.endsWith(QLatin1String(".first")) || p.name.endsWith(QLatin1String(".length"))
               || p.name.endsWith(QLatin1String(".interval"));
    return true;
}

QList<const map::Param*> snapshotParams(const map::Map& m)
{
    QList<const map::Param*> out;
    for (const map::Param& p : m.params())
        if (inSnapshot(p))
            out << &p;
    return out;
}

// A snapshot: the values by parameter, in the map's order.
struct Snapshot {
    QList<const map::Param*> params;
    QHash<const map::Param*, QString> values;
};

// Reads every parameter of the snapshot from the instrument; false with the
// message in *error at the first read that fails.
bool readInstrument(Session& s, Snapshot* out, QString* error)
{
    const QList<const map::Param*> all = snapshotParams(*s.map);
    for (const map::Param* p : all)
        if (!p->base.valid) {
            *error = QStringLiteral("%1: %2").arg(p->title(), p->base.refusal());
            return false;
        }
    const bool progress = errorIsTerminal();
    int done = 0;
    for (const map::Param* p : all) {
        if (progress)
            printError(QStringLiteral("\rчтение: %1 из %2 (%3)\x1b[K").arg(done).arg(all.size()).arg(p->name));
        const map::Result r = map::read(*p, s.mapLink);
        if (!r.ok) {
            if (progress)
                printError(QStringLiteral("\r\x1b[K"));
            *error = QStringLiteral("%1: %2").arg(p->title(), r.error);
            return false;
        }
        out->params << p;
        out->values.insert(p, r.value);
        ++done;
    }
    if (progress)
        printError(QStringLiteral("\r\x1b[K"));
    return true;
}

// Reads a snapshot file against the map: every line a comment ("#"), blank,
// or name=value of a parameter of the snapshot whose value the map takes.
// False with *error naming the file, the line and why.
bool readFile(const QString& path, const map::Map& m, int digits, Snapshot* out, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(f.readAll());
    const QStringList lines = text.split(QLatin1Char('\n'));
    QHash<const map::Param*, QString> values;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString where = QStringLiteral("%1, строка %2: ").arg(path).arg(i + 1);
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq <= 0) {
            *error = where + QStringLiteral("нужно ИМЯ=ЗНАЧЕНИЕ");
            return false;
        }
        const QString name = line.left(eq);
        const map::Param* p = m.find(name);
        if (!p) {
            *error = where + QStringLiteral("«%1»: нет такого параметра (список: instrument params)").arg(name);
            return false;
        }
        if (!inSnapshot(*p)) {
            *error = where + QStringLiteral("%1: текущее значение прибора, в снимок не входит").arg(p->name);
            return false;
        }
        if (values.contains(p)) {
            *error = where + QStringLiteral("%1 уже был в файле").arg(p->name);
            return false;
        }
        QString value, wire, why;
        if (!map::parseValue(*p, line.mid(eq + 1), digits, &value, &wire, &why)) {
            *error = where + why;
            return false;
        }
        values.insert(p, line.mid(eq + 1));
    }
    for (const map::Param* p : snapshotParams(m))
        if (values.contains(p))
            out->params << p;
    out->values = values;
    return true;
}

// The value as the instrument keeps it: the write's value text (reals in the
// exponent form with the link's digits; texts without the blanks the write
// adds); the text itself when the map does not take it.
QString stored(const map::Param& p, const QString& text, int digits)
{
    QString value, wire, error;
    if (!map::parseValue(p, text, digits, &value, &wire, &error))
        return text;
    if (p.kind == map::Kind::Text) {
        while (wire.endsWith(QLatin1Char(' ')))
            wire.chop(1);
    }
    return wire;
}

struct Difference {
    const map::Param* param;
    QString a;   // empty with hasA false: not in A
    QString b;
    bool hasA = true;
    bool hasB = true;
};

QList<Difference> differences(const map::Map& m, const Snapshot& a, const Snapshot& b, int digits)
{
    QList<Difference> out;
    for (const map::Param* p : snapshotParams(m)) {
        const bool inA = a.values.contains(p);
        const bool inB = b.values.contains(p);
        if (!inA && !inB)
            continue;
        if (inA && inB && stored(*p, a.values.value(p), digits) == stored(*p, b.values.value(p), digits))
            continue;
        out << Difference{p, a.values.value(p), b.values.value(p), inA, inB};
    }
    return out;
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
    if (a.positional.size() != 1) {
        complain(QStringLiteral("укажите один файл снимка (справка: instrument snapshot save --help)"));
        return BadUsage;
    }
    Session s;
    QString error;
    if (!s.open(a, &error)) {
        complain(error);
        return BadUsage;
    }
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
    QString text;
    text += QStringLiteral("# Снимок настроек прибора (instrument snapshot save)\n");
    text += QStringLiteral("# Дата и время: %1\n")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    text += QStringLiteral("# Порт: %1, скорость: %2\n").arg(portText(s), s.link.Settings.section(QLatin1Char(','), 0, 0));
    text += QStringLiteral("# Сетевой номер: %1\n").arg(s.link.bNetAdrr);
    text += QStringLiteral("# Версия комплекта: %1\n").arg(QStringLiteral(SUITE_VERSION));
    int kept = 0;
    for (const map::Param* p : snap.params) {
        const QString line = p->name + QLatin1Char('=') + snap.values.value(p);
        QString value, wire, why;
        if (map::parseValue(*p, snap.values.value(p), s.mapLink.exponentDigits(), &value, &wire, &why)) {
            text += line + QLatin1Char('\n');
            ++kept;
        } else {
            // A value the instrument holds but the map would not write: kept
            // for the reader as a comment, so restore never sends it.
            text += QStringLiteral("# %1   (не восстанавливается: %2)\n").arg(line, why);
            complain(why + QStringLiteral(" — в снимке только комментарием, restore его не пишет"));
        }
    }
    file.write(text.toUtf8());
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
        if (!s.open(a, &error)) {
            complain(error);
            return kTrouble;
        }
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
    if (!readFile(a.positional.at(0), *s.map, digits, &first, &error)
        || (!withInstrument && !readFile(a.positional.at(1), *s.map, digits, &second, &error))) {
        complain(error);
        return kTrouble;
    }
    if (withInstrument && !readInstrument(s, &second, &error)) {
        complain(error);
        return kTrouble;
    }
    const QString bName = withInstrument ? QStringLiteral("в приборе") : QStringLiteral("в B");
    QList<Difference> diff;
    for (const Difference& d : differences(*s.map, first, second, digits))
        if (!withInstrument || d.hasA)   // the instrument is compared on what the file names
            diff << d;
    QString text;
    for (const Difference& d : diff)
        text += differenceLine(d, QStringLiteral("в A"), bName);
    text += QStringLiteral("Различий: %1\n").arg(diff.size());
    printOut(text);
    return diff.isEmpty() ? Done : Failed;
}

// Writes the relay records and flags without the restart after each (as
// Contacts does: one restart after the last); false with *error.
bool writeWithoutRestart(Session& s, const map::Param& p, const QString& text, QString* error)
{
    QString value, wire;
    map::parseValue(p, text, s.mapLink.exponentDigits(), &value, &wire, error);
    for (const map::Call& call : map::writeCalls(p, wire)) {
        if (call == map::restartCall())
            continue;
        QString pathError;
        const QString answer = map::perform(s.mapLink, call, &pathError);
        if (!pathError.isEmpty() || answer != QLatin1String("OK")) {
            *error = QStringLiteral("%1: %2").arg(p.title(), pathError.isEmpty() ? answer : pathError);
            return false;
        }
    }
    return true;
}

int restore(const QStringList& args)
{
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("snapshot restore"), args,
                                             {{QStringLiteral("dry-run"), false, {}}}, &a);
        status >= 0)
        return status;
    if (a.positional.size() != 1) {
        complain(QStringLiteral("укажите один файл снимка (справка: instrument snapshot restore --help)"));
        return BadUsage;
    }
    const bool dryRun = a.has(QStringLiteral("dry-run"));
    Session s;
    QString error;
    if (!s.open(a, &error)) {
        complain(error);
        return BadUsage;
    }
    const int digits = s.mapLink.exponentDigits();
    // Every value of the file is checked before the first frame.
    Snapshot wanted;
    if (!readFile(a.positional.first(), *s.map, digits, &wanted, &error)) {
        complain(error);
        return BadUsage;
    }
    Snapshot present;
    if (!readInstrument(s, &present, &error)) {
        complain(error);
        return Failed;
    }
    QList<Difference> diff;
    for (const Difference& d : differences(*s.map, present, wanted, digits))
        if (d.hasB)
            diff << d;   // what the file does not name stays as it is

    // The order: the instrument's own parameters, then (relay analysis off
    // while the relay records change) the relay records, the flags, one
    // restart; the port parameters are only listed.
    QList<const map::Param*> plain, relays, flags, port;
    for (const Difference& d : diff) {
        const map::Param* p = d.param;
        if (isPortParam(*p))
            port << p;
        else if (p->kind == map::Kind::RelayRecord)
            relays << p;
        else if (p->kind == map::Kind::Flag && p->name.startsWith(QLatin1String("relays.")))
            flags << p;
        else
            plain << p;
    }
    const map::Param* analysis = s.map->find(QStringLiteral("relays.analysis"));
    const bool analysisOn = analysis && present.values.contains(analysis)
                            && present.values.value(analysis) == QLatin1String("1");
    const bool analysisOff = !relays.isEmpty() && analysisOn;
    if (analysisOff && !flags.contains(analysis))
        flags << analysis;   // back to what it was (the file's value)
    // Contacts' order of the flags: built-in logic, test, analysis last.
    std::stable_sort(flags.begin(), flags.end(), [analysis](const map::Param* x, const map::Param* y) {
        return x != analysis && y == analysis;
    });

    QString text;
    const QString verb = dryRun ? QStringLiteral("записал бы") : QStringLiteral("записано");
    const auto line = [&](const map::Param* p) {
        const QString was = analysisOff && p == analysis
                                ? QStringLiteral("было %1, на время записи реле 0").arg(present.values.value(p))
                                : QStringLiteral("было %1").arg(present.values.value(p));
        return QStringLiteral("%1=%2 (%3)\n").arg(p->name, wanted.values.value(p), was);
    };
    int written = 0;
    const auto writeOne = [&](const map::Param* p, bool restartAfter) {
        if (!dryRun) {
            if (restartAfter) {
                const map::Result r = map::write(*p, s.mapLink, wanted.values.value(p));
                if (!r.ok) {
                    error = QStringLiteral("%1: %2").arg(p->title(), r.error);
                    return false;
                }
            } else if (!writeWithoutRestart(s, *p, wanted.values.value(p), &error)) {
                return false;
            }
        }
        printOut(verb + QStringLiteral(": ") + line(p));
        ++written;
        return true;
    };
    const auto failed = [&] {
        complain(error + QStringLiteral("; восстановление остановлено, записано параметров: %1").arg(written));
        return Failed;
    };
    for (const map::Param* p : plain)
        if (!writeOne(p, true))
            return failed();
    if (analysisOff) {
        if (!dryRun && !writeWithoutRestart(s, *analysis, QStringLiteral("0"), &error))
            return failed();
        printOut(verb + QStringLiteral(": relays.analysis=0 на время записи реле\n"));
    }
    for (const map::Param* p : relays)
        if (!writeOne(p, false))
            return failed();
    for (const map::Param* p : flags)
        if (!writeOne(p, false))
            return failed();
    if (!relays.isEmpty() || !flags.isEmpty()) {
        if (!dryRun)
            map::perform(s.mapLink, map::restartCall());   // its answer is not examined
        printOut(verb + QStringLiteral(": перезагрузка логики прибора\n"));
    }
    for (const map::Param* p : port)
        printOut(QStringLiteral("не записано (порт меняется в Commission): ") + line(p));

    if (dryRun) {
        printOut(QStringLiteral("Пробный прогон: записал бы параметров %1, прибору ничего не записано\n").arg(written));
        return Done;
    }
    // What was written reads back as the file has it.
    int mismatches = 0;
    for (const QList<const map::Param*>* group : {&plain, &relays, &flags})
        for (const map::Param* p : *group) {
            const map::Result r = map::read(*p, s.mapLink);
            if (!r.ok) {
                complain(QStringLiteral("%1: %2 (проверка записанного)").arg(p->title(), r.error));
                return Failed;
            }
            if (stored(*p, r.value, digits) != stored(*p, wanted.values.value(p), digits)) {
                complain(QStringLiteral("%1: записано «%2», прочитано «%3»").arg(p->name, wanted.values.value(p), r.value));
                ++mismatches;
            }
        }
    printOut(QStringLiteral("Записано параметров: %1%2\n")
                 .arg(written)
                 .arg(port.isEmpty() ? QString() : QStringLiteral("; параметров порта не записано: %1").arg(port.size())));
    return mismatches == 0 ? Done : Failed;
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
