#include "map.h"

#include "numbers.h"
#include "protocol.h"

#include <QHash>
#include <QRegularExpression>
#include <iterator>

namespace instrument::map {

namespace {

using namespace instrument::cmd;

const QString kFlash = QStringLiteral("Flash");
const QString kCpu = QStringLiteral("CPU");
constexpr int kFlashCopySpacing = 512;
constexpr int kFlashCopies = 4;

QList<Item> setpointTypes()
{
    return {{0x00, QStringLiteral("Нет уставки")},
            {0x01, QStringLiteral("На понижение")},
            {0x03, QStringLiteral("Быстрое уменьшение")},
            {0x13, QStringLiteral("Быстрое уменьшение с памятью")},
            {0x11, QStringLiteral("На понижение с памятью")},
            {0x02, QStringLiteral("На повышение")},
            {0x04, QStringLiteral("Быстрое увеличение")},
            {0x14, QStringLiteral("Быстрое увеличение с памятью")},
            {0x12, QStringLiteral("На повышение с памятью")}};
}

QList<Item> sensorTypes()
{
    // "Ro", "W" and the letters K, L, R, S, J, T in brackets are Latin; the
    // "В" of "ПР(В)" and the "А" of "ТВР(А-1)" are Cyrillic.
    static const char* const texts[] = {
        "Термометр сопротивления медный Ro=50 W=1,428",
        "Термометр сопротивления медный Ro=50 W=1,426",
        "Термометр сопротивления медный Ro=53 W=1,428",
        "Термометр сопротивления медный Ro=53 W=1,426",
        "Термометр сопротивления медный Ro=100 W=1,428",
        "Термометр сопротивления медный Ro=100 W=1,426",
        "Термометр сопротивления платиновый Ro=50 W=1,391",
        "Термометр сопротивления платиновый Ro=100 W=1,391",
        "Термометр сопротивления платиновый Ro=100 W=1,385",
        "Термопара ХА(K) хромель / алюмель",
        "Термопара ХК(L) хромель / копель",
        "Термопара ПП(R) платина / платина+13%родия",
        "Термопара ПП(S) платина / платина+10%родия",
        "Термопара ПР(В) платина-30%родия / платина-6%родия",
        "Термопара ТЖК(J) железо - константан",
        "Термопара ТВР(А-1) вольфрам-рений / вольфрам-рений",
        "Термопара ТМК(T) медь / константан",
        "Токовый вход 0-5 мА",
        "Токовый вход 0-20 мА",
        "Токовый вход 4-20 мА",
        "Вход напряжения 0-100 мВ",
        "Вход напряжения 0-75 мВ",
        "Измерение сопротивления для контроля",
    };
    QList<Item> items;
    for (int i = 0; i < int(std::size(texts)); ++i)
        items.append({i, QString::fromUtf8(texts[i])});
    return items;
}

QList<Item> bufferStates()
{
    // 0 starts recording and 4 stops it; the others only the instrument sets.
    return {{0, QStringLiteral("Идет запись"), true},
            {1, QStringLiteral("Запись остановлена по достижению конца буфера"), false},
            {2, QStringLiteral("Запись остановлена внешним сигналом"), false},
            {3, QStringLiteral("Запись остановлена отсуствием внешнего сигнала"), false},
            {4, QStringLiteral("Запись остановлена командой внешнего компьютера"), true},
            {5, QStringLiteral("Запись остановлена в ожидании разрешения записи одного кадра"), false}};
}

QList<Item> speedCodes()
{
    // The byte's hexadecimal digits spell the leading digits of the speed.
    const int codes[] = {0x03, 0x06, 0x12, 0x24, 0x48, 0x96, 0x19, 0x38, 0x57};
    const int speeds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
    QList<Item> items;
    for (int i = 0; i < 9; ++i)
        items.append({codes[i], QStringLiteral("%1,N,8,2").arg(speeds[i])});
    return items;
}

BaseAddress fixed(int value)
{
    BaseAddress a;
    a.valid = true;
    a.value = value;
    return a;
}

// What a program does without a base address: the parameters are refused.
QString consequence(const QString& meaning, bool perChannel)
{
    return perChannel ? QStringLiteral("«%1» не читается и не записывается ни для одного канала.").arg(meaning)
                      : QStringLiteral("«%1» не читается и не записывается.").arg(meaning);
}

class Builder {
public:
    Builder(const KeyReader& keys, const QString& sep) : m_keys(keys), m_sep(sep) {}

    // A base address of "dev.dat", read once whatever number of parameters use it.
    // meaning: what the parameters of the key are, for the problem's text;
    // what, when not empty, says what goes without the key instead.
    BaseAddress base(const QString& section, const QString& key, const QString& fallback, int highest,
                     const QString& meaning, bool perChannel, const QString& what = QString())
    {
        const QString id = section + QLatin1Char('/') + key;
        auto it = m_bases.find(id);
        if (it == m_bases.end()) {
            BaseAddress a = m_keys ? readBaseAddress(m_keys, m_sep, section, key, fallback, 0, highest,
                                                     what.isEmpty() ? consequence(meaning, perChannel) : what)
                                   : readBaseAddress([](const QString&, const QString&, const QString& f) { return f; },
                                                     QStringLiteral("."), section, key, fallback, 0, highest, QString());
            if (!a.valid)
                problems << a.problem;
            it = m_bases.insert(id, a);
        }
        return *it;
    }

    QList<Param> params;
    QStringList problems;

private:
    KeyReader m_keys;
    QString m_sep;
    QHash<QString, BaseAddress> m_bases;
};

Param integerParam(const QString& name, const QString& meaning, qint64 lo, qint64 hi)
{
    Param p;
    p.name = name;
    p.key = name.mid(name.indexOf(QLatin1Char('.')) + 1);
    p.meaning = meaning;
    p.kind = Kind::Integer;
    p.lowest = lo;
    p.highest = hi;
    return p;
}

Param withKind(Param p, Kind kind, const QList<Item>& items = {})
{
    p.kind = kind;
    p.items = items;
    if (kind == Kind::Flag) {
        p.lowest = 0;
        p.highest = 1;
    }
    return p;
}

void commands(Param& p, quint8 read, Writing writing, quint8 write = 0, quint8 second = 0)
{
    p.readCommand = read;
    p.writing = writing;
    p.writeCommand = write;
    p.secondCommand = second;
}

// ---- the channels ------------------------------------------------------------------

void addSetpoints(Builder& b, int n)
{
    struct Row {
        const char* key;
        const char* fallback;
        const char* meaning;
        Kind kind;
        qint64 lo, hi;
    };
    static const Row rows[] = {
        {"THT1", "&hc8", "Тип первой уставки", Kind::Code, 0, 0},
        {"TH1", "&H1", "Величина первой уставки", Kind::Real, 0, 0},
        {"HIS1", "&HC8", "Гистерезис для первой уставки", Kind::Real, 0, 0},
        {"THT2", "&H12c", "Тип второй уставки", Kind::Code, 0, 0},
        {"TH2", "&H64", "Величина второй уставки", Kind::Real, 0, 0},
        {"HIS2", "&H12C", "Гистерезис для второй уставки", Kind::Real, 0, 0},
        {"nS", "&H3", "Количество усреднений", Kind::Integer, 0, 255},
        {"d_Point", "&H64", "Число цифр после запятой", Kind::Integer, 0, 2},
        {"TH_REAC11", "&H1450", "Число одинаковых наблюдений перед срабатыванием уставки", Kind::Integer, 1, 10},
        {"LOCK_CH", "&H13ef", "Исключить канал из работы", Kind::Flag, 0, 1},
    };
    for (const Row& r : rows) {
        const QString key = QLatin1String(r.key);
        Param p = withKind(integerParam(QStringLiteral("ch%1.%2").arg(n).arg(key), QString::fromUtf8(r.meaning),
                                        r.lo, r.hi),
                           r.kind, r.kind == Kind::Code ? setpointTypes() : QList<Item>{});
        p.channel = n;
        // Module index × 6 + channel index: base + n - 1.
        p.base = b.base(kFlash, key, QLatin1String(r.fallback), kChannels - 1, p.meaning, true);
        p.offset = n - 1;
        if (r.kind == Kind::Real) {
            commands(p, ReadRealFlash, Writing::FlashThenVerified, WriteRealFlash, WriteReal);
            // A hysteresis of 0 goes to the instrument as 0.001.
            p.zeroReplaced = key.startsWith(QLatin1String("HIS"));
            p.zeroAs = 0.001;
        } else {
            commands(p, ReadIntegerFlash, Writing::FlashThenVerified, WriteIntegerFlash, WriteInteger);
            p.readValue = QStringLiteral("1");
        }
        b.params << p;
    }
}

void addInputs(Builder& b, int n)
{
    struct Row {
        const char* name;
        const char* key;        // nullptr: a fixed base
        const char* fallback;   // the key's default, or the fixed base
        const char* meaning;
        bool real;
    };
    static const Row rows[] = {
        {"DiapMax", "DIAP_MAX", "&H20", "Максимальное значение датчика", true},
        {"DiapMin", "DIAP_MIN", "&H8", "Минимальное значение датчика", true},
        {"Flags", "FLAG", "&HE6", "Флаги", false},
        {"Sensors", "DAT", "&H0", "Описание датчика", false},
        {"Wired", "WR", "&HE0", "Способ подключения датчика", false},
        {"Bias", "BIAS", "&HEC", "Смещение", true},
        {"Rl", nullptr, "&HB0", "Сопротивление линии", true},
    };
    const int module = (n - 1) / kChannelsPerModule;
    const int ch = (n - 1) % kChannelsPerModule;
    for (const Row& r : rows) {
        const QString name = QLatin1String(r.name);
        Param p = integerParam(QStringLiteral("ch%1.%2").arg(n).arg(name), QString::fromUtf8(r.meaning), 0, 255);
        if (name == QLatin1String("Sensors"))
            p = withKind(p, Kind::Code, sensorTypes());
        else if (r.real)
            p.kind = Kind::Real;
        p.channel = n;
        p.module = module;
        // The last byte of the last channel in the last flash copy must be an address too.
        const int highest = (kFlashCopies - 1) * kFlashCopySpacing + (r.real ? 4 * 5 + 3 : 5);
        if (r.key) {
            p.base = b.base(kFlash, QLatin1String(r.key), QLatin1String(r.fallback), highest, p.meaning, true);
        } else {
            qint32 v = 0;
            addressValue(QLatin1String(r.fallback), QStringLiteral("."), &v);
            p.base = fixed(v);
        }
        p.offset = r.real ? 4 * ch : ch;
        if (r.real)
            commands(p, ReadModuleRealFlash, Writing::FlashCopies, WriteModuleRealFlash);
        else
            commands(p, ReadModuleByteFlash, Writing::FlashCopies, WriteModuleByteFlash);
        b.params << p;
    }
    Param v = integerParam(QStringLiteral("ch%1.Value").arg(n), QStringLiteral("Измеряемая величина"), 0, 0);
    v.kind = Kind::Real;
    v.channel = n;
    v.module = module;
    v.base = fixed(0xEF);
    v.offset = 4 * ch;
    commands(v, ReadModuleReal, Writing::None);
    b.params << v;
}

void addTexts(Builder& b, int n)
{
    struct Row {
        const char* key;
        const char* fallback;
        const char* meaning;
        int slot;        // bytes between channels
        int length;      // characters read, and the longest text
        int written;     // characters written
    };
    static const Row rows[] = {
        {"TEXT", "&H190", "Измеряемая величина (текст индикатора)", 20, 13, 15},
        {"UofM", "&H8FC", "Единицы измерения", 8, 6, 7},
    };
    for (const Row& r : rows) {
        const QString key = QLatin1String(r.key);
        Param p = integerParam(QStringLiteral("ch%1.%2").arg(n).arg(key), QString::fromUtf8(r.meaning), 0, 0);
        p.kind = Kind::Text;
        p.channel = n;
        p.readLength = r.length;
        p.writeLength = r.written;
        // The text's base key of section CPU is "TEXT", the unit's "UNIT".
        const QString devKey = key == QLatin1String("UofM") ? QStringLiteral("UNIT") : key;
        p.base = b.base(kCpu, devKey, QLatin1String(r.fallback), r.slot * (kChannels - 1) + r.written - 1, p.meaning,
                        true, QStringLiteral("Тексты и единицы измерения каналов не читаются и не записываются."));
        p.offset = r.slot * (n - 1);
        commands(p, ReadInteger, Writing::VerifiedPair, WriteIntegerFlash, WriteInteger);
        b.params << p;
    }
}

// ---- relays, buffers, clock, port --------------------------------------------------------

void addRelays(Builder& b)
{
    for (int i = 0; i < kRelays; ++i) {
        Param p = integerParam(QStringLiteral("relay%1").arg(i), QStringLiteral("Логика реле %1").arg(i + 1), 0, 0);
        p.kind = Kind::RelayRecord;
        p.index = i;
        p.base = fixed(0);
        commands(p, ReadRelayRecord, Writing::PlainThenRestart, WriteRelayRecord);
        b.params << p;
    }
    struct Row {
        const char* name;
        int address;
        const char* meaning;
    };
    static const Row flags[] = {
        {"relays.devlogic", 0x13ED, "Разрешение логики реле, зашитой в прибор"},
        {"relays.analysis", 0x11F8, "Разрешение анализа уставок и неисправностей датчиков"},
        {"relays.test", 0x13EC, "Тестирование реле"},
    };
    for (const Row& r : flags) {
        Param p = withKind(integerParam(QLatin1String(r.name), QString::fromUtf8(r.meaning), 0, 1), Kind::Flag);
        p.base = fixed(r.address);
        commands(p, ReadIntegerFlash, Writing::PlainThenRestart, WriteIntegerFlash);
        b.params << p;
    }
}

void addBuffers(Builder& b)
{
    for (int i = 0; i < 2; ++i) {
        const QString prefix = QStringLiteral("buffer%1.").arg(i + 1);
        struct Row {
            const char* key;
            int address;
            const char* meaning;
        };
        // The settings: a 16-bit word each, written as the window takes it.
        static const Row settings[] = {
            {"first", 2, "Адрес начала буфера"},
            {"length", 4, "Длина буфера"},
            {"interval", 6, "Интервал записи в секундах"},
        };
        for (const Row& r : settings) {
            Param p = integerParam(prefix + QLatin1String(r.key), QString::fromUtf8(r.meaning), -32768, 65535);
            p.index = i;
            p.base = fixed(r.address + i);
            commands(p, ReadRegister, Writing::PlainPair, WriteRegister2, WriteRegister);
            b.params << p;
        }
        Param current = integerParam(prefix + QStringLiteral("current"), QStringLiteral("Текущий записываемый кадр"),
                                     -32768, 65535);
        current.index = i;
        current.base = fixed(0x20 + i);
        commands(current, ReadRegister, Writing::None);
        b.params << current;

        Param state = withKind(integerParam(prefix + QStringLiteral("state"), QStringLiteral("Состояние буфера"), 0, 0),
                               Kind::Code, bufferStates());
        state.index = i;
        state.base = fixed(0x1518 + i);
        commands(state, ReadInteger, Writing::Plain, WriteInteger);
        b.params << state;

        Param signal = withKind(integerParam(prefix + QStringLiteral("signal"), QStringLiteral("Наличие сигнала управления"),
                                             0, 0),
                                Kind::Code,
                                {{0, QStringLiteral("Внешний сигнал управления отсутствует"), false},
                                 {1, QStringLiteral("Внешний сигнал управления присутствует"), false}});
        signal.index = i;
        signal.base = fixed(0x151C + i);
        commands(signal, ReadInteger, Writing::None);
        b.params << signal;
    }
}

void addClockAndPort(Builder& b)
{
    Param clock = integerParam(QStringLiteral("clock"), QStringLiteral("Текущее время прибора и состояние батареи"), 0, 0);
    clock.kind = Kind::Clock;
    clock.base = fixed(0);
    commands(clock, 0, Writing::None);
    b.params << clock;

    Param speed = withKind(integerParam(QStringLiteral("speed"), QStringLiteral("Настройки COM порта"), 0, 0), Kind::Code,
                           speedCodes());
    speed.base = b.base(kCpu, QStringLiteral("SPD_EXC"), QStringLiteral("&H1"), 0, speed.meaning, false,
                        QStringLiteral("Настройки COM порта прибора не читаются (записываются по адресу 1)."));
    // The speed code is written at address 1 whatever SPD_EXC says.
    speed.writeAddress = 1;
    commands(speed, ReadInteger, Writing::VerifiedPair, WriteIntegerFlash, WriteInteger);
    b.params << speed;

    Param net = integerParam(QStringLiteral("netnum"), QStringLiteral("Сетевой адрес прибора"), 0, 255);
    net.base = b.base(kCpu, QStringLiteral("NET_NUM"), QStringLiteral("&H1"), 0, net.meaning, false,
                      QStringLiteral("Сетевой адрес прибора не читается и не записывается."));
    commands(net, ReadRegister, Writing::VerifiedPair, WriteRegister2, WriteRegister);
    b.params << net;

    Param count = integerParam(QStringLiteral("channels"), QStringLiteral("Число каналов"), 1, kChannels);
    count.base = b.base(kCpu, QStringLiteral("MAX_CH"), QStringLiteral("&H2"), 0, count.meaning, false,
                        QStringLiteral("Число каналов прибора не читается и не записывается."));
    commands(count, ReadInteger, Writing::VerifiedPair, WriteIntegerFlash, WriteInteger);
    b.params << count;
}

} // namespace

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Integer: return QStringLiteral("целое");
    case Kind::Real: return QStringLiteral("вещественное");
    case Kind::Code: return QStringLiteral("код");
    case Kind::Text: return QStringLiteral("текст");
    case Kind::RelayRecord: return QStringLiteral("запись реле");
    case Kind::Flag: return QStringLiteral("флаг");
    case Kind::Clock: return QStringLiteral("часы");
    }
    return QString();
}

QString writingName(Writing writing)
{
    switch (writing) {
    case Writing::None: return QStringLiteral("только чтение");
    case Writing::FlashThenVerified: return QStringLiteral("sWriteToFlash, затем sWriteAndRead");
    case Writing::FlashCopies: return QStringLiteral("sWriteToFlash, четыре копии модуля");
    case Writing::VerifiedPair: return QStringLiteral("sWriteAndRead дважды");
    case Writing::PlainPair: return QStringLiteral("sCOMPort дважды, без проверки");
    case Writing::Plain: return QStringLiteral("sCOMPort, без проверки");
    case Writing::PlainThenRestart: return QStringLiteral("sCOMPort, затем перезапуск логики");
    }
    return QString();
}

QString Param::addressRule() const
{
    if (!base.valid)
        return base.refusal();
    QString rule = instrument::hexText16(address());
    if (!base.section.isEmpty())
        rule += QStringLiteral(" (%1/%2 + %3)").arg(base.section, base.key).arg(offset);
    if (writeAddress >= 0)
        rule += QStringLiteral(", запись по %1").arg(instrument::hexText16(qint16(writeAddress)));
    return rule;
}

QString Param::title() const
{
    return QStringLiteral("%1 (%2)").arg(name, meaning);
}

Map::Map(const KeyReader& keys, const QString& sep)
{
    Builder b(keys, sep);
    for (int n = 1; n <= kChannels; ++n) {
        addSetpoints(b, n);
        addInputs(b, n);
        addTexts(b, n);
    }
    addRelays(b);
    addBuffers(b);
    addClockAndPort(b);
    m_params = b.params;
    m_problems = b.problems;
}

Map::Map() : Map(KeyReader(), QStringLiteral(".")) {}

const Param* Map::find(const QString& name) const
{
    for (const Param& p : m_params)
        if (p.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

QList<const Param*> Map::match(const QString& pattern) const
{
    QList<QRegularExpression> patterns;
    for (const QString& one : pattern.split(QLatin1Char(','), Qt::SkipEmptyParts))
        patterns << QRegularExpression::fromWildcard(one.trimmed(), Qt::CaseInsensitive);
    QList<const Param*> out;
    for (const Param& p : m_params)
        for (const QRegularExpression& re : patterns)
            if (re.match(p.name).hasMatch()) {
                out << &p;
                break;
            }
    return out;
}

QStringList Map::problems() const
{
    return m_problems;
}

QStringList Map::problems(const QString& pattern) const
{
    QStringList out;
    for (const Param* p : match(pattern))
        if (!p->base.valid && !out.contains(p->base.problem))
            out << p->base.problem;
    return out;
}

} // namespace instrument::map
