// params, read and write: the instrument map's parameters by name.

#include "commands.h"
#include "help.h"
#include "link.h"
#include "session.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace cli {

namespace map = instrument::map;

namespace {

// What values the parameter takes, in a few words.
QString rangeText(const map::Param& p)
{
    QString text;
    switch (p.kind) {
    case map::Kind::Integer: text = QStringLiteral("%1..%2").arg(p.lowest).arg(p.highest); break;
    case map::Kind::Real: text = QStringLiteral("число с точкой"); break;
    case map::Kind::Code: {
        // The codes in order, runs of three or more as "from..to".
        QList<qint64> codes;
        for (const map::Item& item : p.items)
            if (item.writable || p.readOnly())
                codes << item.code;
        std::sort(codes.begin(), codes.end());
        QStringList parts;
        for (int i = 0; i < codes.size();) {
            int j = i;
            while (j + 1 < codes.size() && codes.at(j + 1) == codes.at(j) + 1)
                ++j;
            if (j - i >= 2)
                parts << QStringLiteral("%1..%2").arg(codes.at(i)).arg(codes.at(j));
            else
                for (int k = i; k <= j; ++k)
                    parts << QString::number(codes.at(k));
            i = j + 1;
        }
        text = QStringLiteral("коды ") + parts.join(QLatin1Char(','));
        break;
    }
    case map::Kind::Text: text = QStringLiteral("до %1 символов").arg(p.readLength); break;
    case map::Kind::RelayRecord: text = QStringLiteral("%1 полей 0..3F через ;").arg(map::kRelayFields); break;
    case map::Kind::Flag: text = QStringLiteral("0 или 1"); break;
    case map::Kind::Clock: text = QStringLiteral("8 полей через ;"); break;
    }
    if (p.readOnly())
        text = p.kind == map::Kind::Integer ? QStringLiteral("только чтение") : text + QStringLiteral(", только чтение");
    return text;
}

QString meaningText(const map::Param& p)
{
    QString text = p.meaning;
    if (p.kind == map::Kind::Code) {
        QStringList items;
        for (const map::Item& item : p.items)
            items << QStringLiteral("%1 %2").arg(item.code).arg(item.text);
        text += QStringLiteral(": ") + items.join(QStringLiteral("; "));
    }
    return text;
}

QString padded(const QString& text, int width)
{
    return text + QString(qMax(0, width - int(text.size())) + 2, QLatin1Char(' '));
}

// The parameters the names and patterns give, in the map's order; false
// with *error naming the first that gives none.
bool selectParams(const map::Map& m, const QStringList& patterns, QList<const map::Param*>* out, QString* error)
{
    QSet<const map::Param*> chosen;
    for (const QString& pattern : patterns) {
        const QList<const map::Param*> found = m.match(pattern);
        if (found.isEmpty()) {
            *error = QStringLiteral("«%1»: нет такого параметра (список: instrument params)").arg(pattern);
            return false;
        }
        for (const map::Param* p : found)
            chosen.insert(p);
    }
    for (const map::Param& p : m.params())
        if (chosen.contains(&p))
            out->append(&p);
    return true;
}

QString jsonString(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

// Numbers as JSON numbers (when their text is one), everything else as strings.
QString jsonValue(const map::Param& p, const QString& value)
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9]\\d*)(\\.\\d+)?([eE][+-]?\\d+)?$"));
    const bool numeric = p.kind == map::Kind::Integer || p.kind == map::Kind::Code || p.kind == map::Kind::Flag
                         || p.kind == map::Kind::Real;
    return numeric && number.match(value).hasMatch() ? value : jsonString(value);
}

} // namespace

int params(const QStringList& args)
{
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("params"), args, {}, &a); status >= 0)
        return status;
    if (a.positional.size() > 1) {
        complain(QStringLiteral("params принимает один шаблон, а дано %1 (несколько шаблонов пишутся через «,»)")
                     .arg(a.positional.size()));
        return BadUsage;
    }
    Session s;
    s.openMapOnly();
    QList<const map::Param*> chosen;
    QString error;
    if (!selectParams(*s.map, a.positional.isEmpty() ? QStringList{QStringLiteral("*")} : a.positional, &chosen,
                      &error)) {
        complain(error);
        return BadUsage;
    }
    for (const QString& problem : s.map->problems())
        complain(problem);
    int nameWidth = 0;
    int kindWidth = 0;
    int rangeWidth = 0;
    for (const map::Param* p : chosen) {
        nameWidth = qMax(nameWidth, int(p->name.size()));
        kindWidth = qMax(kindWidth, int(map::kindName(p->kind).size()));
        rangeWidth = qMax(rangeWidth, int(rangeText(*p).size()));
    }
    QString text;
    for (const map::Param* p : chosen)
        text += padded(p->name, nameWidth) + padded(map::kindName(p->kind), kindWidth)
                + padded(rangeText(*p), rangeWidth) + meaningText(*p) + QLatin1Char('\n');
    printOut(text);
    return Done;
}

int read(const QStringList& args)
{
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("read"), args, {{QStringLiteral("json"), false, {}}}, &a); status >= 0)
        return status;
    if (a.positional.isEmpty())
        return badUsage(QStringLiteral("read"), QStringLiteral("укажите, что читать: имя или шаблон, например 'ch9.*'"));
    Session s;
    if (!s.open(a))
        return BadUsage;
    QString error;
    QList<const map::Param*> chosen;
    if (!selectParams(*s.map, a.positional, &chosen, &error)) {
        complain(error);
        return BadUsage;
    }
    for (const map::Param* p : chosen)
        if (!p->base.valid) {
            complain(QStringLiteral("%1: %2").arg(p->title(), p->base.refusal()));
            return BadUsage;
        }
    const bool json = a.has(QStringLiteral("json"));
    QStringList members;
    for (const map::Param* p : chosen) {
        const map::Result r = map::read(*p, s.mapLink);
        if (!r.ok) {
            complain(QStringLiteral("%1: %2").arg(p->title(), r.error));
            return Failed;
        }
        if (json)
            members << QStringLiteral("  %1: %2").arg(jsonString(p->name), jsonValue(*p, r.value));
        else
            printOut(p->name + QLatin1Char('=') + r.value + QLatin1Char('\n'));
    }
    if (json)
        printOut(QStringLiteral("{\n") + members.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n"));
    return Done;
}

int write(const QStringList& args)
{
    Arguments a;
    if (const int status = parseCommand(QStringLiteral("write"), args, {}, &a); status >= 0)
        return status;
    if (a.positional.isEmpty())
        return badUsage(QStringLiteral("write"), QStringLiteral("укажите, что записать: ИМЯ=ЗНАЧЕНИЕ"));
    Session s;
    if (!s.open(a))
        return BadUsage;
    QString error;
    // Every value is checked before the first frame goes out.
    struct Job {
        const map::Param* param;
        QString text;
        QString value;
    };
    QList<Job> jobs;
    for (const QString& arg : a.positional) {
        const int eq = int(arg.indexOf(QLatin1Char('=')));
        if (eq <= 0) {
            complain(QStringLiteral("«%1»: нужно ИМЯ=ЗНАЧЕНИЕ").arg(arg));
            return BadUsage;
        }
        const QString name = arg.left(eq);
        const map::Param* p = s.map->find(name);
        if (!p) {
            complain(QStringLiteral("«%1»: нет такого параметра (список: instrument params)").arg(name));
            return BadUsage;
        }
        if (!p->base.valid) {
            complain(QStringLiteral("%1: %2").arg(p->title(), p->base.refusal()));
            return BadUsage;
        }
        QString value;
        QString wire;
        if (!map::parseValue(*p, arg.mid(eq + 1), s.mapLink.exponentDigits(), &value, &wire, &error)) {
            complain(error);
            return BadUsage;
        }
        jobs << Job{p, arg.mid(eq + 1), value};
    }
    for (const Job& job : jobs) {
        const map::Result r = map::write(*job.param, s.mapLink, job.text);
        if (!r.ok) {
            complain(QStringLiteral("%1: %2").arg(job.param->title(), r.error));
            return Failed;
        }
        printOut(job.param->name + QLatin1Char('=') + r.value + QLatin1Char('\n'));
    }
    return Done;
}

} // namespace cli
