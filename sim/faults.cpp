#include "faults.h"

#include "model.h"

#include <QStringList>

namespace sim {

namespace {

struct KindName {
    FaultKind kind;
    const char* name;
};
const KindName kKinds[] = {
    {FaultKind::Silence, "silence"}, {FaultKind::Err, "err"},       {FaultKind::Garbage, "garbage"},
    {FaultKind::Split, "split"},     {FaultKind::Echo, "echo"},     {FaultKind::NoCr, "nocr"},
    {FaultKind::Delay, "delay"},     {FaultKind::NaN, "nan"},       {FaultKind::Unplug, "unplug"},
};

} // namespace

QString faultKindName(FaultKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return QString::fromLatin1(k.name);
    return {};
}

int defaultFaultMs(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Split: return 40;    // between pieces
    case FaultKind::Echo: return 0;      // between echo and answer
    case FaultKind::Delay: return 500;   // before the answer
    case FaultKind::Unplug: return 300;  // until the adapter is back
    default: return 0;
    }
}

bool parseFault(const QString& text, FaultOption* out, QString* error)
{
    FaultOption option;
    option.text = text;
    const QStringList parts = text.split(QLatin1Char(':'));
    bool found = false;
    for (const KindName& k : kKinds) {
        if (parts.first().compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0) {
            option.kind = k.kind;
            found = true;
        }
    }
    if (!found) {
        *error = QStringLiteral("unknown fault kind \"%1\"").arg(parts.first());
        return false;
    }
    for (int i = 1; i < parts.size(); ++i) {
        const QString& p = parts[i];
        bool ok = true;
        if (p == QLatin1String("once")) {
            option.mode = FaultOption::Mode::Once;
        } else if (p.startsWith(QLatin1String("cmd="))) {
            option.command = p.mid(4).toInt(&ok);
            ok = ok && option.command >= 0 && option.command <= 32767;
        } else if (p.startsWith(QLatin1String("p="))) {
            option.mode = FaultOption::Mode::Chance;
            option.probability = p.mid(2).toDouble(&ok);
            ok = ok && option.probability >= 0 && option.probability <= 1;
        } else if (p.startsWith(QLatin1String("seed="))) {
            option.seed = p.mid(5).toUInt(&ok);
        } else if (p.startsWith(QLatin1String("ms="))) {
            option.ms = p.mid(3).toInt(&ok);
            ok = ok && option.ms >= 0 && option.ms <= 600000;
        } else {
            ok = false;
        }
        if (!ok) {
            *error = QStringLiteral("bad option \"%1\" in fault \"%2\"").arg(p, text);
            return false;
        }
    }
    if (option.ms < 0)
        option.ms = defaultFaultMs(option.kind);
    *out = option;
    return true;
}

void FaultSet::add(const FaultOption& option)
{
    m_faults.append(Entry{option, std::mt19937(option.seed), false});
}

QByteArray withNaN(int command, const QByteArray& answer)
{
    if (isRealRead(command))
        return QByteArrayLiteral("!NaN;\r\n");
    int from = -1;
    if (command == 423) {
        // The value of the first channel field: after the header and the
        // state and flag characters.
        from = answer.indexOf(';');
        from = from < 0 ? -1 : from + 3;
    } else if (command == 323) {
        // The first value field follows ten fields.
        int at = 0;
        for (int i = 0; i < 10 && at >= 0; ++i)
            at = answer.indexOf(';', at + 1);
        from = at < 0 ? -1 : at + 3;
    }
    if (from < 0 || from >= answer.size())
        return answer;
    const int end = answer.indexOf(';', from);
    if (end < 0)
        return answer;
    QByteArray out = answer;
    out.replace(from, end - from, "NaN");
    return out;
}

Shaped FaultSet::shape(int command, const QByteArray& request, const QByteArray& answer)
{
    Shaped s;
    Entry* fault = nullptr;
    for (Entry& e : m_faults) {
        if (e.spent || (e.option.command >= 0 && e.option.command != command))
            continue;
        if (e.option.mode == FaultOption::Mode::Chance) {
            std::uniform_real_distribution<double> draw(0.0, 1.0);
            if (draw(e.rng) >= e.option.probability)
                continue;
        }
        if (e.option.mode == FaultOption::Mode::Once)
            e.spent = true;
        fault = &e;
        break;
    }
    if (!fault) {
        s.pieces << Piece{0, answer, false};
        return s;
    }
    const FaultOption& f = fault->option;
    s.note = QStringLiteral("fault %1").arg(f.text);
    switch (f.kind) {
    case FaultKind::Silence:
        break;
    case FaultKind::Err:
        s.pieces << Piece{0, errAnswer(), false};
        break;
    case FaultKind::Garbage: {
        // Noise without the answer's markers: no "!", no ";", never "ERR".
        static const char kNoise[] = "#$%&()*+,-./0123456789<=>?@ABCDFGHIJKLMNOPQSTUVWXYZ^_abcdefghijklmnopqrstuvwxyz|~";
        std::uniform_int_distribution<int> len(4, 24);
        std::uniform_int_distribution<int> pick(0, int(sizeof(kNoise)) - 2);
        std::uniform_int_distribution<int> high(0x80, 0xFF);
        QByteArray noise;
        const int n = len(fault->rng);
        for (int i = 0; i < n; ++i)
            noise += (i % 5 == 4) ? char(high(fault->rng)) : kNoise[pick(fault->rng)];
        s.pieces << Piece{0, noise + "\r\n", false};
        break;
    }
    case FaultKind::Split: {
        const int n = int(answer.size());
        const int a = std::max(1, n / 3);
        const int b = std::max(a + 1, 2 * n / 3);
        s.pieces << Piece{0, answer.left(a), false};
        if (b < n) {
            s.pieces << Piece{f.ms, answer.mid(a, b - a), false};
            s.pieces << Piece{f.ms, answer.mid(b), false};
        } else {
            s.pieces << Piece{f.ms, answer.mid(a), false};
        }
        break;
    }
    case FaultKind::Echo:
        if (f.ms == 0) {
            s.pieces << Piece{0, request + answer, false};
        } else {
            s.pieces << Piece{0, request, false};
            s.pieces << Piece{f.ms, answer, false};
        }
        break;
    case FaultKind::NoCr: {
        QByteArray cut = answer;
        const int cr = cut.lastIndexOf('\r');
        if (cr >= 0)
            cut.remove(cr, 1);
        s.pieces << Piece{0, cut, false};
        break;
    }
    case FaultKind::Delay:
        s.pieces << Piece{f.ms, answer, false};
        break;
    case FaultKind::NaN:
        s.pieces << Piece{0, withNaN(command, answer), false};
        break;
    case FaultKind::Unplug:
        s.pieces << Piece{0, answer.left(std::max<int>(1, int(answer.size()) / 2)), false};
        s.pieces << Piece{50, QByteArray(), true};
        s.replugMs = f.ms;
        break;
    }
    return s;
}

QString faultHelp()
{
    return QStringLiteral(
        "Faults (--fault may be given several times; the first that applies to\n"
        "an answer wins):\n"
        "  --fault KIND[:cmd=N][:once|:p=P][:seed=S][:ms=N]\n"
        "  KIND     silence  no answer at all\n"
        "           err      \"ERR\" instead of the answer\n"
        "           garbage  random bytes without \"!\" and \";\", then CR LF\n"
        "           split    the answer in three pieces, ms apart (default 40)\n"
        "           echo     the request echoed before the answer; with ms=0\n"
        "                    (default) in the same write, else ms before it\n"
        "           nocr     the answer without its final CR (LF still sent)\n"
        "           delay    the answer ms late (default 500)\n"
        "           nan      \"NaN\" for the value of a real read, of the first\n"
        "                    channel of 423 and of the first value of 323\n"
        "           unplug   half the answer, then the master is closed and the\n"
        "                    link removed (the adapter is pulled); a new\n"
        "                    pseudo-terminal takes the link after ms (default 300)\n"
        "  cmd=N    only answers to command N (default: every command)\n"
        "  once     only the first time it applies\n"
        "  p=P      with probability P (0..1) each time\n"
        "  seed=S   seed of the random draws for p= and garbage (default 1)\n"
        "  ms=N     the time the kind uses, in milliseconds\n"
        "Examples: --fault err:cmd=14:once   --fault delay:ms=2000:p=0.3:seed=7\n");
}

} // namespace sim
