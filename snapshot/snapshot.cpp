#include "snapshot.h"

#include <QFile>
#include <algorithm>

namespace snapshot {

bool isPortParam(const map::Param& p)
{
    return p.channel == 0
           && (p.name == QLatin1String("speed") || p.name == QLatin1String("netnum")
               || p.name == QLatin1String("channels"));
}

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

QString suiteVersion()
{
    return QStringLiteral(SUITE_VERSION);
}

QString fileText(const Snapshot& s, const Header& h, int digits, QStringList* notRestorable, int* kept)
{
    QString text;
    text += QStringLiteral("# Снимок настроек прибора (%1)\n").arg(h.program);
    text += QStringLiteral("# Дата и время: %1\n").arg(h.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    text += QStringLiteral("# Порт: %1, скорость: %2\n").arg(h.port, h.speed);
    text += QStringLiteral("# Сетевой номер: %1\n").arg(h.netnum);
    text += QStringLiteral("# Версия комплекта: %1\n").arg(suiteVersion());
    *kept = 0;
    for (const map::Param* p : s.params) {
        const QString line = p->name + QLatin1Char('=') + s.value(p);
        QString value, wire, why;
        if (map::parseValue(*p, s.value(p), digits, &value, &wire, &why)) {
            text += line + QLatin1Char('\n');
            ++*kept;
        } else {
            // Kept for the reader as a comment, so restore never sends it.
            text += QStringLiteral("# %1   (не восстанавливается: %2)\n").arg(line, why);
            *notRestorable << why;
        }
    }
    return text;
}

bool readFile(const QString& path, const map::Map& m, int digits, Snapshot* out, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
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
    out->params.clear();
    for (const map::Param* p : snapshotParams(m))
        if (values.contains(p))
            out->params << p;
    out->values = values;
    return true;
}

Outcome readInstrument(const map::Map& m, map::Link& link, Snapshot* out, QString* error, const Progress& progress)
{
    const QList<const map::Param*> all = snapshotParams(m);
    for (const map::Param* p : all)
        if (!p->base.valid) {
            *error = QStringLiteral("%1: %2").arg(p->title(), p->base.refusal());
            return Outcome::Failed;
        }
    int done = 0;
    for (const map::Param* p : all) {
        if (progress && !progress(done, int(all.size()), *p))
            return Outcome::Stopped;
        const map::Result r = map::read(*p, link);
        if (!r.ok) {
            *error = QStringLiteral("%1: %2").arg(p->title(), r.error);
            return Outcome::Failed;
        }
        out->params << p;
        out->values.insert(p, r.value);
        ++done;
    }
    return Outcome::Done;
}

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

QList<Difference> differences(const map::Map& m, const Snapshot& a, const Snapshot& b, int digits)
{
    QList<Difference> out;
    for (const map::Param* p : snapshotParams(m)) {
        const bool inA = a.contains(p);
        const bool inB = b.contains(p);
        if (!inA && !inB)
            continue;
        if (inA && inB && stored(*p, a.value(p), digits) == stored(*p, b.value(p), digits))
            continue;
        out << Difference{p, a.value(p), b.value(p), inA, inB};
    }
    return out;
}

// ---- the restore ------------------------------------------------------------------

QString Step::name() const
{
    switch (kind) {
    case AnalysisOff:
        return QStringLiteral("relays.analysis=0 на время записи реле");
    case Restart:
        return QStringLiteral("перезагрузка логики прибора");
    case Value:
        break;
    }
    return param->name;
}

QList<const map::Param*> Plan::written() const
{
    QList<const map::Param*> out;
    for (const Step& s : steps)
        if (s.kind == Step::Value)
            out << s.param;
    return out;
}

int Plan::valueCount() const
{
    return int(written().size());
}

Plan restorePlan(const map::Map& m, const Snapshot& present, const Snapshot& wanted, int digits,
                 const QSet<const map::Param*>* chosen)
{
    QList<const map::Param*> plain, relays, flags, port;
    for (const Difference& d : differences(m, present, wanted, digits)) {
        const map::Param* p = d.param;
        if (!d.hasB || (chosen && !chosen->contains(p)))
            continue;   // what the file does not name (or the user left out) stays as it is
        if (isPortParam(*p))
            port << p;
        else if (p->kind == map::Kind::RelayRecord)
            relays << p;
        else if (p->kind == map::Kind::Flag && p->name.startsWith(QLatin1String("relays.")))
            flags << p;
        else
            plain << p;
    }
    const map::Param* analysis = m.find(QStringLiteral("relays.analysis"));
    const bool analysisOff = !relays.isEmpty() && analysis && present.value(analysis) == QLatin1String("1");
    if (analysisOff && !flags.contains(analysis))
        flags << analysis;   // back to what it was
    // Contacts' order of the flags: built-in logic, test, analysis last.
    std::stable_sort(flags.begin(), flags.end(), [analysis](const map::Param* x, const map::Param* y) {
        return x != analysis && y == analysis;
    });

    // The value of a parameter the plan writes: the file's when it is
    // chosen; the analysis, turned back on, keeps the instrument's own.
    const auto target = [&](const map::Param* p) {
        const bool fromFile = wanted.contains(p) && (!chosen || chosen->contains(p));
        return fromFile ? wanted.value(p) : present.value(p);
    };
    Plan plan;
    for (const map::Param* p : plain)
        plan.steps << Step{Step::Value, p, target(p), present.value(p), true};
    if (analysisOff)
        plan.steps << Step{Step::AnalysisOff, analysis, QStringLiteral("0"), present.value(analysis), false};
    for (const QList<const map::Param*>* group : {&relays, &flags})
        for (const map::Param* p : *group)
            plan.steps << Step{Step::Value, p, target(p), present.value(p), false};
    if (!relays.isEmpty() || !flags.isEmpty())
        plan.steps << Step{Step::Restart, nullptr, QString(), QString(), false};
    plan.port = port;
    return plan;
}

QString RestoreResult::lists() const
{
    const auto list = [](const QStringList& names) {
        return names.isEmpty() ? QStringLiteral("ничего") : names.join(QStringLiteral(", "));
    };
    return QStringLiteral("записано: %1; не записано: %2").arg(list(written), list(notWritten));
}

namespace {

// A relay record or flag without the restart after it (the plan's one
// restart comes at the end, as in Contacts); the error text when a call is
// not answered "OK".
QString writeWithoutRestart(map::Link& link, const map::Param& p, const QString& text)
{
    QString value, wire, why;
    if (!map::parseValue(p, text, link.exponentDigits(), &value, &wire, &why))
        return why;
    for (const map::Call& call : map::writeCalls(p, wire)) {
        if (call == map::restartCall())
            continue;
        QString pathError;
        const QString answer = map::perform(link, call, &pathError);
        if (!pathError.isEmpty() || answer != QLatin1String("OK"))
            return QStringLiteral("%1: %2").arg(p.title(), pathError.isEmpty() ? answer : pathError);
    }
    return QString();
}

} // namespace

RestoreResult runPlan(const Plan& plan, map::Link& link, const std::function<bool(const Step&)>& proceed,
                      const std::function<void(const Step&)>& written)
{
    RestoreResult result;
    for (int i = 0; i < plan.steps.size(); ++i) {
        const Step& s = plan.steps.at(i);
        if (result.outcome == Outcome::Done && proceed && !proceed(s))
            result.outcome = Outcome::Stopped;
        if (result.outcome != Outcome::Done) {
            if (s.kind != Step::AnalysisOff)   // never done is nothing left undone
                result.notWritten << s.name();
            continue;
        }
        QString error;
        if (s.kind == Step::Restart) {
            map::perform(link, map::restartCall());   // its answer is not examined
        } else if (s.restartAfter) {
            const map::Result r = map::write(*s.param, link, s.value);
            if (!r.ok)
                error = QStringLiteral("%1: %2").arg(s.param->title(), r.error);
        } else {
            error = writeWithoutRestart(link, *s.param, s.value);
        }
        if (!error.isEmpty()) {
            result.outcome = Outcome::Failed;
            result.error = error;
            if (s.kind != Step::AnalysisOff)
                result.notWritten << s.name();
            continue;
        }
        result.written << s.name();
        if (written)
            written(s);
    }
    return result;
}

bool checkWritten(const Plan& plan, map::Link& link, int digits, QStringList* mismatches, QString* error,
                  const Progress& progress)
{
    const QList<const map::Param*> all = plan.written();
    for (int i = 0; i < all.size(); ++i) {
        const map::Param* p = all.at(i);
        if (progress && !progress(i, int(all.size()), *p))
            return true;
        const map::Result r = map::read(*p, link);
        if (!r.ok) {
            *error = QStringLiteral("%1: %2 (проверка записанного)").arg(p->title(), r.error);
            return false;
        }
        QString wanted;
        for (const Step& s : plan.steps)
            if (s.kind == Step::Value && s.param == p)
                wanted = s.value;
        if (stored(*p, r.value, digits) != stored(*p, wanted, digits))
            *mismatches << QStringLiteral("%1: записано «%2», прочитано «%3»").arg(p->name, wanted, r.value);
    }
    return true;
}

} // namespace snapshot
