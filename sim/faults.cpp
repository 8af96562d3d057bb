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
    {FaultKind::NoAck, "noack"},     {FaultKind::Stuck, "stuck"},   {FaultKind::BadValue, "badvalue"},
};

// Commands whose answer carries values (the reads of the link's table).
bool answersValues(int command)
{
    return isRealRead(command) || isIntegerRead(command) || command == 34 || command == 36 || command == 323
        || command == 423;
}

// Where the first value of an answer starts, -1 where the command answers none.
int firstValueAt(int command, const QByteArray& answer)
{
    if (!answersValues(command))
        return -1;
    if (command != 323 && command != 423) {
        const int bang = answer.indexOf('!');
        return bang < 0 ? -1 : bang + 1;
    }
    if (command == 423) {
        // The value of the first channel field: after the header and the
        // state and flag characters.
        const int at = answer.indexOf(';');
        return at < 0 ? -1 : at + 3;
    }
    if (command == 323) {
        // The first value field follows ten fields.
        int at = 0;
        for (int i = 0; i < 10 && at >= 0; ++i)
            at = answer.indexOf(';', at + 1);
        return at < 0 ? -1 : at + 3;
    }
    return -1;
}

QByteArray replaceValue(const QByteArray& answer, int from, const QByteArray& text)
{
    if (from < 0 || from >= answer.size())
        return answer;
    const int end = answer.indexOf(';', from);
    if (end < 0)
        return answer;
    QByteArray out = answer;
    out.replace(from, end - from, text);
    return out;
}

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
            option.times = 1;
        } else if (p.startsWith(QLatin1String("cmd="))) {
            option.command = p.mid(4).toInt(&ok);
            ok = ok && option.command >= 0 && option.command <= 32767;
        } else if (p.startsWith(QLatin1String("adr="))) {
            const QString digits = p.mid(4);
            option.address = digits.toInt(&ok, 16);
            ok = ok && !digits.isEmpty() && !digits.startsWith(QLatin1Char('-')) && !digits.startsWith(QLatin1Char('+'))
                && option.address >= 0 && option.address <= 0xFFFF;
        } else if (p.startsWith(QLatin1String("after="))) {
            option.after = p.mid(6).toInt(&ok);
            ok = ok && option.after >= 0;
        } else if (p.startsWith(QLatin1String("times="))) {
            option.times = p.mid(6).toInt(&ok);
            ok = ok && option.times >= 1;
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

bool faultApplies(FaultKind kind, int command)
{
    switch (kind) {
    case FaultKind::NoAck:
    case FaultKind::Stuck:
        return isWrite(command);
    case FaultKind::BadValue:
        return answersValues(command);
    default:
        return true;
    }
}

QByteArray withNaN(int command, const QByteArray& answer)
{
    if (isRealRead(command))
        return QByteArrayLiteral("!NaN;\r\n");
    if (command != 423 && command != 323)
        return answer;
    return replaceValue(answer, firstValueAt(command, answer), "NaN");
}

QByteArray withBadValue(int command, const QByteArray& answer)
{
    if (answer.startsWith("ERR"))
        return answer;
    return replaceValue(answer, firstValueAt(command, answer), "1G");
}

bool FaultSet::mayForget() const
{
    for (const Entry& e : m_faults)
        if (e.option.kind == FaultKind::Stuck)
            return true;
    return false;
}

Shaped FaultSet::shape(int command, int address, const QByteArray& request, const QByteArray& answer)
{
    Shaped s;
    Entry* fault = nullptr;
    for (Entry& e : m_faults) {
        const FaultOption& o = e.option;
        if ((o.command >= 0 && o.command != command) || (o.address >= 0 && o.address != address)
            || !faultApplies(o.kind, command))
            continue;
        ++e.seen;
        if (fault || e.seen <= o.after || (o.times >= 0 && e.hits >= o.times))
            continue;
        if (o.mode == FaultOption::Mode::Chance) {
            std::uniform_real_distribution<double> draw(0.0, 1.0);
            if (draw(e.rng) >= o.probability)
                continue;
        }
        ++e.hits;
        fault = &e;
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
    case FaultKind::NoAck:
        s.pieces << Piece{0, QByteArrayLiteral("!ERR;\r\n"), false};
        break;
    case FaultKind::Stuck:
        s.pieces << Piece{0, QByteArrayLiteral("!OK;\r\n"), false};
        s.store = false;
        break;
    case FaultKind::BadValue:
        s.pieces << Piece{0, withBadValue(command, answer), false};
        break;
    }
    return s;
}

Served serve(Line& line, FaultSet& faults, const QByteArray& raw, const QByteArray& text, qint64 nowMs, int clientBaud)
{
    Served out;
    // The instruments are values that share their memory until written, so
    // keeping them for a stuck write costs little.
    const bool keep = faults.mayForget();
    const QList<Instrument> before = keep ? line.instruments() : QList<Instrument>();
    out.answer = line.receive(text, nowMs, clientBaud);
    if (out.answer.silent)
        return out;
    out.shaped = faults.shape(out.answer.command, out.answer.address, raw, out.answer.bytes);
    if (keep && !out.shaped.store)
        line.instruments() = before;
    return out;
}

QString faultHelp()
{
    return QStringLiteral(
        "Faults (--fault may be given several times; the first that applies to\n"
        "an answer wins):\n"
        "  --fault KIND[:cmd=N][:adr=HEX][:after=N][:once|:times=N][:p=P][:seed=S][:ms=N]\n"
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
        "           noack    a write or action answered \"!ERR;\" (not confirmed);\n"
        "                    writes only: 1 5 9 11 13 15 17 19 21 25 27 29 31 33 35\n"
        "           stuck    a write answered \"!OK;\" but not stored (the read-back\n"
        "                    finds the old value); writes only, as noack\n"
        "           badvalue the first value of a read answered \"1G\" (neither a\n"
        "                    number nor hexadecimal): integer and real reads, 34,\n"
        "                    36, the first channel of 423, the first value of 323\n"
        "  cmd=N    only answers to command N (default: every command)\n"
        "  adr=HEX  only frames at parameter address HEX (hexadecimal, any case,\n"
        "           as in the frame): the address field, after the module number\n"
        "           for 17..20 and 25..28, the frame number of 323, the relay of\n"
        "           35 and 36; frames without an address (0 23 33 34 123 423)\n"
        "           never match\n"
        "  after=N  let the first N matching frames pass, then fault\n"
        "  times=N  fault N times, then never again\n"
        "  once     the same as times=1\n"
        "  p=P      with probability P (0..1) each time\n"
        "  seed=S   seed of the random draws for p= and garbage (default 1)\n"
        "  ms=N     the time the kind uses, in milliseconds\n"
        "A matching frame is one the instrument answers (not another address's)\n"
        "that fits the fault's kind, cmd= and adr=; each fault counts its own,\n"
        "whichever fault takes them.\n"
        "Examples: --fault err:cmd=14:once   --fault delay:ms=2000:p=0.3:seed=7\n"
        "          --fault noack:cmd=13:adr=1518:after=2   (the third write of\n"
        "          13 at 1518 fails, and so do its repetitions)\n"
        "          --fault silence:cmd=323:after=5:times=3 (frames 1..5 read, the\n"
        "          sixth gets no answer three times)\n");
}

} // namespace sim
