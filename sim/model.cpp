#include "model.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool isDecimal(const QByteArray& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isHexDigits(const QByteArray& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

// A 16-bit address or integer value as the frames carry it: one to four
// hexadecimal digits of either case.
bool hex16(const QByteArray& text, int* value)
{
    if (!isHexDigits(text, 4))
        return false;
    *value = text.toInt(nullptr, 16);
    return true;
}

bool realValue(const QByteArray& text, float* value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 3.0e38)
        return false;
    *value = float(v);
    return true;
}

QByteArray hexText(int value)
{
    return QByteArray::number(value, 16).toUpper();
}

QByteArray hex2(int value)
{
    return QByteArray::number(value & 0xFF, 16).toUpper().rightJustified(2, '0');
}

QByteArray two(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

// Real values as the instrument writes them: up to seven significant digits,
// "." as the decimal point.
QByteArray realText(float value)
{
    if (std::isnan(value))
        return "NaN";
    return QByteArray::number(double(value), 'g', 7);
}

QDateTime localTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

// The display's character set: Latin letters, digits and signs at their ASCII
// codes, the Cyrillic letters А..я at codes of the display's own.
const int kDisplayCyrillic[64] = {
    65,  160, 66,  161, 224, 69,  163, 164, 165, 165, 75,  167, 77,  72,  79,  168,
    80,  67,  84,  169, 170, 88,  225, 171, 172, 226, 173, 174, 196, 175, 176, 177,
    97,  178, 179, 180, 227, 101, 182, 183, 184, 184, 186, 187, 188, 189, 111, 190,
    112, 99,  191, 121, 228, 120, 229, 192, 193, 230, 194, 195, 196, 197, 198, 199,
};

QList<quint16> displayCodes(const QString& text, int length)
{
    QList<quint16> out;
    for (int i = 0; i < length; ++i) {
        if (i >= text.size()) {
            out << 32;
            continue;
        }
        const ushort u = text.at(i).unicode();
        if (u >= 0x410 && u <= 0x44F)
            out << quint16(kDisplayCyrillic[u - 0x410]);
        else if (u < 128)
            out << quint16(u);
        else
            out << quint16('?');
    }
    return out;
}

// The plant the instrument watches: what is connected to each channel, how
// its value moves, and the defaults of the channel's settings.
struct Plant {
    int sensor;        // sensor type code 0..22
    int wired;         // connection method
    float rangeMin;
    float rangeMax;
    double base;
    double amplitude;
    double periodS;
    double phase;
    int digits;
    int sp1Type;
    float sp1;
    float his1;
    int sp2Type;
    float sp2;
    float his2;
    float lineOhm;
    const char* text;
    const char* unit;
};

const Plant kPlant[Instrument::kChannels] = {
    {8, 3, 0, 400, 180, 15, 120, 0.0, 1, 0x02, 190, 2, 0x12, 220, 2, 0.8f, "Т печи зона 1", "C"},
    {8, 3, 0, 400, 240, 12, 150, 1.1, 1, 0x02, 250, 2, 0x12, 270, 2, 0.8f, "Т печи зона 2", "C"},
    {8, 3, 0, 400, 160, 8, 90, 2.3, 1, 0x02, 170, 1, 0x00, 0, 1, 0.9f, "Т печи зона 3", "C"},
    {9, 2, 0, 1200, 850, 30, 300, 0.4, 0, 0x02, 870, 5, 0x04, 900, 5, 0, "Т дымовых газ", "C"},
    {19, 2, 0, 1.6f, 0.95, 0.08, 60, 0.7, 3, 0x01, 0.9f, 0.02f, 0x02, 1.1f, 0.02f, 0, "Давление пара", "МПа"},
    {19, 2, 0, 100, 42, 5, 45, 1.9, 1, 0x01, 38, 1, 0x00, 0, 1, 0, "Расход воды", "м3/ч"},
    {4, 3, -50, 150, 62, 3, 200, 0.2, 1, 0x02, 65, 1, 0x00, 0, 1, 1.2f, "Т воды вход", "C"},
    {4, 3, -50, 150, 78, 4, 220, 2.9, 1, 0x02, 80, 1, 0x12, 95, 1, 1.2f, "Т воды выход", "C"},
    {10, 2, 0, 600, 95, 6, 180, 0.9, 1, 0x02, 100, 2, 0x00, 0, 1, 0, "Масло Oil", "C"},
    {19, 2, 0, 100, 55, 20, 600, 0.0, 1, 0x01, 40, 2, 0x02, 80, 2, 0, "Уровень бака", "%"},
    {20, 2, 0, 100, 48, 2, 30, 1.3, 2, 0x00, 0, 1, 0x00, 0, 1, 0, "Напряжение", "мВ"},
    {9, 2, 0, 1200, 0, 0, 60, 0.0, 0, 0x02, 500, 5, 0x00, 0, 1, 0, "Йодный слой", "ммоль"},
};

// Addresses of the per-channel settings (channel 1; + channel - 1).
constexpr int kSp1Type = 200;  // Params
constexpr int kSp2Type = 300;  // Params
constexpr int kAverages = 3;   // Params
constexpr int kDigits = 100;   // Params
constexpr int kReaction = 5200; // Params
constexpr int kExcluded = 5103; // Params
constexpr int kSp1Value = 1;   // Reals
constexpr int kSp2Value = 100; // Reals
constexpr int kSp1Hys = 200;   // Reals
constexpr int kSp2Hys = 300;   // Reals
constexpr int kTextBase = 0x190;
constexpr int kUnitBase = 0x8FC;
// A display code that no letter uses, in the unit of channel 11 after "мВ".
constexpr int kUnmappedAt = kUnitBase + 8 * 10 + 2;
constexpr quint16 kUnmappedCode = 162;
constexpr int kRelayTest = 0x13EC;
constexpr int kBuiltInLogic = 0x13ED;
constexpr int kAnalysis = 0x11F8;
// Module parameters, channel index 0..5 within the module.
constexpr int kModSensor = 0x00;
constexpr int kModWired = 0xE0;
constexpr int kModFlags = 0xE6;
constexpr int kModRangeMin = 0x08;
constexpr int kModRangeMax = 0x20;
constexpr int kModBias = 0xEC;
constexpr int kModLine = 0xB0;
constexpr int kModMeasured = 0xEF;
constexpr int kModReload = 0x44B;

} // namespace

// ---------------------------------------------------------------------------
// Frames

FieldRule fieldRule(int command)
{
    switch (command) {
    case 0: case 23: case 123:
        return {0, 0, true};
    case 1: case 2: case 6: case 10: case 12: case 14: case 16: case 22: case 24:
    case 30: case 32: case 36: case 124: case 423:
        return {1, 1, true};
    case 5: case 9: case 11: case 13: case 15: case 21: case 29: case 31: case 101:
    case 18: case 20: case 26: case 28: case 323:
        return {2, 2, true};
    case 17: case 19: case 25: case 27:
        return {3, 3, true};
    case 33: // the clock text itself holds ";": hh;mm;ss;dd;mm;yy;C;57
        return {1, 16, true};
    case 34:
        return {0, 1, true};
    case 35: // relay index and the record's fields
        return {1, 64, true};
    default:
        return {1, 1, false};
    }
}

bool isRealRead(int command)
{
    switch (command) {
    case 10: case 12: case 16: case 22: case 24: case 26: case 28:
        return true;
    default:
        return false;
    }
}

bool isIntegerRead(int command)
{
    switch (command) {
    case 2: case 6: case 14: case 18: case 20: case 30: case 32:
        return true;
    default:
        return false;
    }
}

bool isWrite(int command)
{
    switch (command) {
    case 1: case 5: case 9: case 11: case 13: case 15: case 17: case 19: case 21:
    case 25: case 27: case 29: case 31: case 33: case 35:
        return true;
    default:
        return false;
    }
}

int parameterAddress(const Frame& frame)
{
    if (!frame.valid)
        return -1;
    int at = 0;
    switch (frame.command) {
    case 0: case 23: case 123: case 33: case 34: case 423:
        return -1;
    case 17: case 18: case 19: case 20: case 25: case 26: case 27: case 28:
        at = 1;
        break;
    default:
        break;
    }
    int address = -1;
    if (at >= frame.fields.size() || !hex16(frame.fields[at], &address))
        return -1;
    return address;
}

Frame parseFrame(const QByteArray& line, AddressMode mode)
{
    Frame f;
    const int colon = line.lastIndexOf(':');
    if (colon < 0) {
        f.problem = QStringLiteral("no frame start");
        return f;
    }
    const QByteArray text = line.mid(colon + 1);
    if (!text.endsWith(';')) {
        f.problem = QStringLiteral("frame does not end with ';'");
        return f;
    }
    QList<QByteArray> parts = text.left(text.size() - 1).split(';');
    if (parts.isEmpty() || parts.first().isEmpty()) {
        f.problem = QStringLiteral("no command");
        return f;
    }

    // Whether the frame carries the network address cannot be told from the
    // text alone: ":1;14;1518;" is address 1, command 14, and ":14;1518;" is
    // command 14 without an address. The instrument takes the reading whose
    // field count fits the command's group, preferring commands it knows and,
    // when both readings fit (":5;6;1;" is a read of 1 at address 5, or a
    // write of 1 at 6 without an address), the one with the address: the link
    // puts it in by default and the command path always does.
    struct Reading {
        bool fits = false;
        bool known = false;
        int address = -1;
        int command = -1;
    };
    auto fits = [](int command, int count, Reading* r) {
        const FieldRule rule = fieldRule(command);
        r->command = command;
        r->known = rule.known;
        r->fits = count >= rule.min && count <= rule.max;
    };
    Reading withAddress;
    Reading without;
    if (parts.size() >= 2 && isDecimal(parts[0], 3) && parts[0].toInt() <= 255 && isDecimal(parts[1], 5)) {
        withAddress.address = parts[0].toInt();
        fits(parts[1].toInt(), int(parts.size()) - 2, &withAddress);
    }
    if (isDecimal(parts[0], 5))
        fits(parts[0].toInt(), int(parts.size()) - 1, &without);

    const Reading* chosen = nullptr;
    if (mode == AddressMode::Off) {
        switch (withAddress.command) {
        case 33: case 34: case 323: case 423:
            if (withAddress.fits)
                chosen = &withAddress;
            break;
        default:
            break;
        }
        if (!chosen && without.fits)
            chosen = &without;
        else if (!chosen && withAddress.fits)
            chosen = &withAddress;
    } else if (withAddress.fits && withAddress.known)
        chosen = &withAddress;
    else if (without.fits && without.known)
        chosen = &without;
    else if (withAddress.fits)
        chosen = &withAddress;
    else if (without.fits)
        chosen = &without;
    if (!chosen) {
        f.problem = QStringLiteral("fields do not fit the command");
        return f;
    }
    f.valid = true;
    f.hasAddress = chosen == &withAddress;
    f.address = chosen->address;
    f.command = chosen->command;
    f.fields = parts.mid(f.hasAddress ? 2 : 1);
    return f;
}

QByteArray errAnswer()
{
    return QByteArrayLiteral("ERR\r\n");
}

int baudOfSpeedCode(int code)
{
    switch (code) {
    case 0x03: return 300;
    case 0x06: return 600;
    case 0x12: return 1200;
    case 0x24: return 2400;
    case 0x48: return 4800;
    case 0x96: return 9600;
    case 0x19: return 19200;
    case 0x38: return 38400;
    case 0x57: return 57600;
    default: return 0;
    }
}

QByteArray escapeBytes(const QByteArray& bytes)
{
    QByteArray out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c >= 0x20 && c < 0x7F)
            out += char(c);
        else
            out += "\\x" + hex2(c);
    }
    return out;
}

// ---------------------------------------------------------------------------
// The instrument

Instrument::Instrument(int networkNumber)
{
    setDefaults();
    m_int[Cpu][kNetNumAddress] = quint16(networkNumber & 0xFF);
    m_activeAddress = networkNumber & 0xFF;
}

bool Instrument::isTextByte(int address)
{
    return (address >= kTextBase && address < kTextBase + 20 * kChannels)
        || (address >= kUnitBase && address < kUnitBase + 8 * kChannels);
}

void Instrument::setDefaults()
{
    QMap<int, quint16>& p = m_int[Params];
    p[kSpeedAddress] = 0x48;
    p[kMaxChAddress] = kChannels;
    p[kAnalysis] = 1;
    p[kRelayTest] = 0;
    p[kBuiltInLogic] = 0;
    p[kRecordControl] = 0;      // buffer 1 records
    p[kRecordControl + 1] = 4;  // buffer 2 stopped by the computer
    p[kExternalSignal] = 1;
    p[kExternalSignal + 1] = 0;
    p[kRestartAddress] = 0;
    for (int i = 0; i < kChannels; ++i) {
        const Plant& pl = kPlant[i];
        p[kSp1Type + i] = quint16(pl.sp1Type);
        p[kSp2Type + i] = quint16(pl.sp2Type);
        p[kAverages + i] = 4;
        p[kDigits + i] = quint16(pl.digits);
        p[kReaction + i] = 2;
        p[kExcluded + i] = 0;
        m_real[kSp1Value + i] = pl.sp1;
        m_real[kSp2Value + i] = pl.sp2;
        m_real[kSp1Hys + i] = pl.his1;
        m_real[kSp2Hys + i] = pl.his2;
        const QList<quint16> text = displayCodes(QString::fromUtf8(pl.text), 15);
        for (int k = 0; k < text.size(); ++k)
            p[kTextBase + 20 * i + k] = text[k];
        const QList<quint16> unit = displayCodes(QString::fromUtf8(pl.unit), 7);
        for (int k = 0; k < unit.size(); ++k)
            p[kUnitBase + 8 * i + k] = unit[k];
        for (int k = 0; k < 20; ++k)
            if (p.contains(kTextBase + 20 * i + k))
                m_storedText[kTextBase + 20 * i + k] = p[kTextBase + 20 * i + k];
        for (int k = 0; k < 8; ++k)
            if (p.contains(kUnitBase + 8 * i + k))
                m_storedText[kUnitBase + 8 * i + k] = p[kUnitBase + 8 * i + k];

        const int m = i / 6;
        const int ch = i % 6;
        m_modInt[m][kModSensor + ch] = quint16(pl.sensor);
        m_modInt[m][kModWired + ch] = quint16(pl.wired);
        m_modInt[m][kModFlags + ch] = 0;
        m_modReal[m][kModRangeMin + 4 * ch] = pl.rangeMin;
        m_modReal[m][kModRangeMax + 4 * ch] = pl.rangeMax;
        m_modReal[m][kModBias + 4 * ch] = 0;
        m_modReal[m][kModLine + 4 * ch] = pl.lineOhm;
    }
    p[kUnmappedAt] = kUnmappedCode;
    m_storedText[kUnmappedAt] = kUnmappedCode;

    QMap<int, quint16>& c = m_int[Cpu];
    c[2] = 0;     // buffer 1: first frame
    c[3] = 4096;  // buffer 2: first frame
    c[4] = 4095;  // lengths
    c[5] = 4095;
    c[6] = 10;    // intervals, seconds
    c[7] = 60;

    // Relay logic: 1/2 first/second setpoint of the furnace zones, 3/4 of the
    // flue gas and the steam, 5/6 of module 2, 7 any sensor break.
    for (int r = 0; r < kRelays; ++r)
        m_relays[r] = QList<quint16>(kRelayFields, 0);
    m_relays[0][0] = 0x07;
    m_relays[1][15] = 0x07;
    m_relays[2][0] = 0x18;
    m_relays[3][15] = 0x18;
    m_relays[4][1] = 0x3F;
    m_relays[5][16] = 0x3F;
    m_relays[6][30] = 0x3F;
    m_relays[6][31] = 0x3F;
    m_relays[7][0] = 0x20; // flow too low

    m_broken = {12};
}

quint16 Instrument::integer(Space space, int address) const
{
    return m_int[space == Cpu ? Cpu : Params].value(address, 0);
}

void Instrument::setInteger(Space space, int address, quint16 value)
{
    m_int[space == Cpu ? Cpu : Params][address] = value;
}

float Instrument::real(int address) const
{
    return m_real.value(address, 0.0f);
}

void Instrument::setReal(int address, float value)
{
    m_real[address] = value;
}

quint16 Instrument::moduleInteger(int module, int address) const
{
    return (module >= 0 && module < kModules) ? m_modInt[module].value(address, 0) : 0;
}

float Instrument::moduleReal(int module, int address) const
{
    return (module >= 0 && module < kModules) ? m_modReal[module].value(address, 0.0f) : 0.0f;
}

void Instrument::setSensorBroken(int channel, bool broken)
{
    m_broken.removeAll(channel);
    if (broken)
        m_broken.append(channel);
}

double Instrument::liveValue(int channel, qint64 ms) const
{
    if (channel < 1 || channel > kChannels)
        return 0;
    const Plant& p = kPlant[channel - 1];
    const double t = double(ms % (86400LL * 1000 * 365)) / 1000.0;
    const double slow = std::sin(2 * kPi * t / p.periodS + p.phase);
    const double ripple = std::sin(2 * kPi * t / (p.periodS / 7.3) + 2 * p.phase);
    return p.base + p.amplitude * slow + 0.05 * p.amplitude * ripple
        + double(m_modReal[(channel - 1) / 6].value(kModBias + 4 * ((channel - 1) % 6), 0.0f));
}

int Instrument::digits(int channel) const
{
    const int d = m_int[Params].value(kDigits + channel - 1, 1);
    return std::clamp(d, 0, 4);
}

int Instrument::channelFlagsAt(int channel, double value) const
{
    if (m_int[Params].value(kAnalysis, 1) == 0 || m_int[Params].value(kExcluded + channel - 1, 0) == 1)
        return 0;
    if (m_broken.contains(channel))
        return 4;
    int flags = 0;
    for (int s = 0; s < 2; ++s) {
        const int type = m_int[Params].value((s ? kSp2Type : kSp1Type) + channel - 1, 0);
        const int action = type & 0xF;
        const double sp = m_real.value((s ? kSp2Value : kSp1Value) + channel - 1, 0.0f);
        if (((action == 2 || action == 4) && value > sp) || ((action == 1 || action == 3) && value < sp))
            flags |= 1 << s;
    }
    return flags;
}

int Instrument::channelFlags(int channel, double value, bool remember)
{
    if (!remember)
        return channelFlagsAt(channel, value);
    if (m_int[Params].value(kAnalysis, 1) == 0 || m_int[Params].value(kExcluded + channel - 1, 0) == 1)
        return 0;
    if (m_broken.contains(channel))
        return 4;
    int flags = 0;
    for (int s = 0; s < 2; ++s) {
        const int type = m_int[Params].value((s ? kSp2Type : kSp1Type) + channel - 1, 0);
        const int action = type & 0xF;
        const bool memory = (type >> 4) & 1;
        const double sp = m_real.value((s ? kSp2Value : kSp1Value) + channel - 1, 0.0f);
        const double hys = std::fabs(m_real.value((s ? kSp2Hys : kSp1Hys) + channel - 1, 0.0f));
        Latch& latch = m_latch[channel - 1][s];
        if (action == 2 || action == 4) {
            if (value > sp)
                latch.active = true;
            else if (value < sp - hys && !memory)
                latch.active = false;
        } else if (action == 1 || action == 3) {
            if (value < sp)
                latch.active = true;
            else if (value > sp + hys && !memory)
                latch.active = false;
        } else {
            latch.active = false;
        }
        if (latch.active)
            flags |= 1 << s;
    }
    return flags;
}

quint16 Instrument::relayBits(const std::array<int, kChannels>& flags) const
{
    if (m_int[Params].value(kRelayTest, 0) == 1)
        return 0xFFFF;
    quint16 bits = 0;
    for (int r = 0; r < kRelays; ++r) {
        const QList<quint16>& rec = m_relays[r];
        bool on = false;
        for (int g = 0; g < 3 && !on; ++g) {
            for (int c = 0; c < kChannels && !on; ++c) {
                const quint16 field = rec.value(g * 15 + c / 6, 0);
                if ((field >> (c % 6)) & 1)
                    on = (flags[c] >> g) & 1;
            }
        }
        if (on)
            bits |= quint16(1u << r);
    }
    // Relays 14, 15 and 16 act on any first setpoint, any second setpoint,
    // any sensor break.
    for (int g = 0; g < 3; ++g)
        for (int c = 0; c < kChannels; ++c)
            if ((flags[c] >> g) & 1)
                bits |= quint16(1u << (13 + g));
    return bits;
}

QByteArray Instrument::channelField(int channel, int flags, double value) const
{
    char state = '0';
    if (m_int[Params].value(kExcluded + channel - 1, 0) == 1)
        state = '2';
    else if (m_broken.contains(channel))
        state = '1';
    const double shown = m_broken.contains(channel) ? 0.0 : value;
    return QByteArray(1, state) + hexText(flags & 0xF) + QByteArray::number(shown, 'f', digits(channel));
}

int Instrument::discreteInputs(qint64 ms) const
{
    int bits = 1; // the furnace door is closed
    if ((ms / 20000) % 2)
        bits |= 2; // the burner fan cycles
    if (liveValue(10, ms) > 60)
        bits |= 4; // the tank's high-level switch
    return bits;
}

// ---------------------------------------------------------------------------
// Buffers

int Instrument::bufferStart(int buffer) const
{
    return qint16(m_int[Cpu].value(2 + buffer, 0));
}

int Instrument::bufferLength(int buffer) const
{
    return qint16(m_int[Cpu].value(4 + buffer, 0));
}

int Instrument::bufferInterval(int buffer) const
{
    return std::max<int>(1, m_int[Cpu].value(6 + buffer, 1));
}

static int wrapFrame(int frame, int start, int length)
{
    if (length <= 0)
        return start;
    int k = (frame - start - 1) % length;
    if (k < 0)
        k += length;
    return start + 1 + k;
}

int Instrument::currentFrame(int buffer, qint64 ms) const
{
    const Buffer& b = m_buffers[buffer];
    const int start = bufferStart(buffer);
    const int length = bufferLength(buffer);
    if (!b.anchored || m_int[Params].value(kRecordControl + buffer, 0) != 0 || ms < b.anchorMs)
        return wrapFrame(b.anchorFrame, start, length);
    const qint64 steps = (ms - b.anchorMs) / (qint64(bufferInterval(buffer)) * 1000);
    return wrapFrame(int(b.anchorFrame + steps % std::max(1, length)), start, length);
}

qint64 Instrument::frameTime(int buffer, int frame, qint64 nowMs) const
{
    const Buffer& b = m_buffers[buffer];
    const int length = std::max(1, bufferLength(buffer));
    const qint64 step = qint64(bufferInterval(buffer)) * 1000;
    const int p = currentFrame(buffer, nowMs);
    qint64 pTime = b.anchorMs;
    if (m_int[Params].value(kRecordControl + buffer, 0) == 0 && nowMs >= b.anchorMs)
        pTime = b.anchorMs + (nowMs - b.anchorMs) / step * step;
    int age = (p - frame) % length;
    if (age < 0)
        age += length;
    return pTime - age * step;
}

void Instrument::setRecording(int buffer, quint16 state, qint64 nowMs)
{
    Buffer& b = m_buffers[buffer];
    const bool was = m_int[Params].value(kRecordControl + buffer, 0) == 0;
    const int p = currentFrame(buffer, nowMs);
    const qint64 pTime = frameTime(buffer, p, nowMs);
    m_int[Params][kRecordControl + buffer] = state;
    if (state == 0 && !was) {
        b.anchorFrame = wrapFrame(p + 1, bufferStart(buffer), bufferLength(buffer));
        b.anchorMs = nowMs;
    } else if (state != 0 && was) {
        b.anchorFrame = p;
        b.anchorMs = pTime;
    }
}

// ---------------------------------------------------------------------------
// Answers

Answer Instrument::ok(int command) const
{
    return value(command, "OK");
}

Answer Instrument::refuse(int command, const QString& why) const
{
    Answer a;
    a.silent = false;
    a.command = command;
    a.bytes = errAnswer();
    a.note = why;
    return a;
}

Answer Instrument::value(int command, const QByteArray& text) const
{
    Answer a;
    a.silent = false;
    a.command = command;
    a.bytes = '!' + text + ";\r\n";
    return a;
}

Answer Instrument::handle(const Frame& f, qint64 nowMs)
{
    for (int b = 0; b < 2; ++b) {
        if (!m_buffers[b].anchored) {
            // The instrument has been recording for a while when it is first seen.
            m_buffers[b].anchored = true;
            m_buffers[b].anchorFrame = wrapFrame(bufferStart(b) + 1, bufferStart(b), bufferLength(b));
            m_buffers[b].anchorMs = nowMs - qint64(bufferInterval(b)) * 1000 * 1234;
        }
    }

    switch (f.command) {
    case 0:
    case 1:
    case 101:
    case 124:
        return ok(f.command);
    case 2:
    case 6:
    case 14:
        return readInteger(Params, f, nowMs);
    case 5:
    case 13:
        return writeInteger(Params, f, nowMs);
    case 30:
    case 32:
        return readInteger(Cpu, f, nowMs);
    case 29:
    case 31:
        return writeInteger(Cpu, f, nowMs);
    case 9:
    case 11:
    case 15:
    case 21:
        return writeReal(f);
    case 10:
    case 12:
    case 16:
    case 22:
    case 24:
        return readReal(f);
    case 17:
    case 19:
        return writeModule(f, false, nowMs);
    case 18:
    case 20:
        return readModule(f, false, nowMs);
    case 25:
    case 27:
        return writeModule(f, true, nowMs);
    case 26:
    case 28:
        return readModule(f, true, nowMs);
    case 23:
        return block(23, 48, false, nowMs);
    case 123:
        return block(123, 42, true, nowMs);
    case 33:
        return writeClock(f, nowMs);
    case 34:
        return readClock(nowMs);
    case 35:
        return writeRelay(f);
    case 36:
        return readRelay(f);
    case 323:
        return recordedFrame(f, nowMs);
    case 423:
        return readings(f, nowMs);
    default:
        return refuse(f.command, QStringLiteral("unknown command %1").arg(f.command));
    }
}

Answer Instrument::writeInteger(Space space, const Frame& f, qint64 nowMs)
{
    int address = 0;
    int v = 0;
    if (f.fields.size() != 2 || !hex16(f.fields[0], &address) || !hex16(f.fields[1], &v))
        return refuse(f.command, QStringLiteral("bad address or value"));
    if (space == Params && (address == kRecordControl || address == kRecordControl + 1)) {
        setRecording(address - kRecordControl, quint16(v), nowMs);
        return ok(f.command);
    }
    if (space == Cpu && address >= 2 && address <= 7) {
        // A buffer changes shape: recording goes on from the frame it was at.
        const int b = address % 2;
        const int p = currentFrame(b, nowMs);
        m_int[Cpu][address] = quint16(v);
        m_buffers[b].anchorFrame = wrapFrame(p, bufferStart(b), bufferLength(b));
        m_buffers[b].anchorMs = nowMs;
        return ok(f.command);
    }
    if (space == Cpu && (address == kCurrentFrame || address == kCurrentFrame + 1))
        return refuse(f.command, QStringLiteral("the current frame is not written"));
    if (space == Params && isTextByte(address)) {
        if (v > 0xFF)
            return refuse(f.command, QStringLiteral("a text byte holds 0..FF"));
        if (f.command == 5) {
            m_storedText[address] = quint16(v);
            return ok(f.command);
        }
    }
    m_int[space][address] = quint16(v);
    Answer a = ok(f.command);
    if (space == Params && address == kRestartAddress && v == 1)
        restart();
    return a;
}

Answer Instrument::readInteger(Space space, const Frame& f, qint64 nowMs) const
{
    int address = 0;
    if (f.fields.size() != 1 || !hex16(f.fields[0], &address))
        return refuse(f.command, QStringLiteral("bad address"));
    int v = m_int[space].value(address, 0);
    if (space == Params && f.command == 6 && isTextByte(address))
        v = m_storedText.value(address, 0);
    if (space == Cpu && (address == kCurrentFrame || address == kCurrentFrame + 1))
        v = currentFrame(address - kCurrentFrame, nowMs) & 0xFFFF;
    return value(f.command, hexText(v));
}

Answer Instrument::writeReal(const Frame& f)
{
    int address = 0;
    float v = 0;
    if (f.fields.size() != 2 || !hex16(f.fields[0], &address) || !realValue(f.fields[1], &v))
        return refuse(f.command, QStringLiteral("bad address or value"));
    m_real[address] = v;
    return ok(f.command);
}

Answer Instrument::readReal(const Frame& f) const
{
    int address = 0;
    if (f.fields.size() != 1 || !hex16(f.fields[0], &address))
        return refuse(f.command, QStringLiteral("bad address"));
    return value(f.command, realText(m_real.value(address, 0.0f)));
}

Answer Instrument::writeModule(const Frame& f, bool real, qint64)
{
    int address = 0;
    if (f.fields.size() != 3 || !isDecimal(f.fields[0], 3) || !hex16(f.fields[1], &address))
        return refuse(f.command, QStringLiteral("bad module or address"));
    const int module = f.fields[0].toInt();
    if (module >= kModules)
        return refuse(f.command, QStringLiteral("no module %1").arg(module));
    if (real) {
        float v = 0;
        if (!realValue(f.fields[2], &v))
            return refuse(f.command, QStringLiteral("bad value"));
        m_modReal[module][address] = v;
    } else {
        int v = 0;
        if (!hex16(f.fields[2], &v))
            return refuse(f.command, QStringLiteral("bad value"));
        // A 1 at the reload address restarts the converter; the byte reads back.
        m_modInt[module][address] = quint16(v);
        if (address == kModReload && v == 1) {
            ++m_converterRestarts[module];
            Answer a = ok(f.command);
            a.note = QStringLiteral("converter of module %1 restarted (%2)").arg(module).arg(m_converterRestarts[module]);
            return a;
        }
    }
    return ok(f.command);
}

Answer Instrument::readModule(const Frame& f, bool real, qint64 nowMs) const
{
    int address = 0;
    if (f.fields.size() != 2 || !isDecimal(f.fields[0], 3) || !hex16(f.fields[1], &address))
        return refuse(f.command, QStringLiteral("bad module or address"));
    const int module = f.fields[0].toInt();
    if (module >= kModules)
        return refuse(f.command, QStringLiteral("no module %1").arg(module));
    if (!real)
        return value(f.command, hexText(m_modInt[module].value(address, 0)));
    for (int ch = 0; ch < 6; ++ch) {
        if (address == kModMeasured + 4 * ch) {
            const int channel = module * 6 + ch + 1;
            if (m_broken.contains(channel))
                return value(f.command, "NaN");
            return value(f.command, QByteArray::number(liveValue(channel, nowMs), 'f', digits(channel)));
        }
    }
    return value(f.command, realText(m_modReal[module].value(address, 0.0f)));
}

Answer Instrument::writeClock(const Frame& f, qint64 nowMs)
{
    if (f.fields.size() < 6)
        return refuse(f.command, QStringLiteral("clock text too short"));
    int n[7] = {0, 0, 0, 0, 0, 0, m_dstCode};
    for (int i = 0; i < 7 && i < f.fields.size(); ++i) {
        if (!isDecimal(f.fields[i].trimmed(), 4))
            return refuse(f.command, QStringLiteral("clock field %1 is not a number").arg(i + 1));
        n[i] = f.fields[i].trimmed().toInt();
    }
    const QDate date(2000 + n[5] % 100, n[4], n[3]);
    const QTime time(n[0], n[1], n[2]);
    if (!date.isValid() || !time.isValid())
        return refuse(f.command, QStringLiteral("no such date or time"));
    const QDateTime set(date, time, Qt::LocalTime);
    m_clockOffsetMs = set.toMSecsSinceEpoch() - nowMs;
    m_dstCode = n[6];
    return ok(f.command);
}

Answer Instrument::readClock(qint64 nowMs) const
{
    const QDateTime t = localTime(nowMs + m_clockOffsetMs);
    QByteArray text = two(t.time().hour()) + ';' + two(t.time().minute()) + ';' + two(t.time().second()) + ';'
        + two(t.date().day()) + ';' + two(t.date().month()) + ';' + two(t.date().year() % 100) + ';'
        + two(m_dstCode) + ';' + QByteArray::number(m_battery);
    return value(34, text);
}

Answer Instrument::writeRelay(const Frame& f)
{
    // The record: relay index, 45 group fields, 4 spare fields. The link ends
    // the record's last field with ";" and then the frame with its own, so the
    // frame ends in ";;": one empty field after the record, which is taken.
    QList<QByteArray> fields = f.fields;
    if (fields.size() == 2 + kRelayFields && fields.last().isEmpty())
        fields.removeLast();
    if (fields.size() != 1 + kRelayFields)
        return refuse(f.command, QStringLiteral("relay record of %1 fields").arg(fields.size()));
    int relay = 0;
    if (!hex16(fields[0], &relay) || relay >= kRelays)
        return refuse(f.command, QStringLiteral("no such relay"));
    QList<quint16> rec;
    for (int i = 1; i <= kRelayFields; ++i) {
        int v = 0;
        if (!hex16(fields[i], &v) || v > 0xFF)
            return refuse(f.command, QStringLiteral("bad relay field %1").arg(i));
        rec << quint16(v);
    }
    m_relays[relay] = rec;
    return ok(f.command);
}

Answer Instrument::readRelay(const Frame& f) const
{
    int relay = 0;
    if (f.fields.size() != 1 || !hex16(f.fields[0], &relay) || relay >= kRelays)
        return refuse(f.command, QStringLiteral("no such relay"));
    // Two digits a field, so that every field starts with a digit; or, as
    // some instruments do, no padding at all ("A" for 10).
    QList<QByteArray> fields;
    for (quint16 v : m_relays.value(relay))
        fields << (m_padRelayFields ? hex2(v) : QByteArray::number(v, 16).toUpper());
    return value(f.command, fields.join(';'));
}

Answer Instrument::readings(const Frame& f, qint64 nowMs)
{
    int count = 0;
    if (f.fields.size() != 1 || !hex16(f.fields[0], &count) || count < 1 || count > kChannels)
        return refuse(f.command, QStringLiteral("bad channel count"));
    std::array<int, kChannels> flags{};
    std::array<double, kChannels> values{};
    for (int c = 1; c <= kChannels; ++c) {
        values[c - 1] = liveValue(c, nowMs);
        flags[c - 1] = channelFlags(c, values[c - 1], true);
    }
    const quint16 relays = relayBits(flags);
    const int bufferInputs = (m_int[Params].value(kExternalSignal, 0) ? 1 : 0)
        | (m_int[Params].value(kExternalSignal + 1, 0) ? 2 : 0);
    const QDateTime t = localTime(nowMs + m_clockOffsetMs);
    QByteArray text = two(t.time().hour()) + two(t.time().minute()) + two(t.time().second()) + "00";
    text += m_mains ? '1' : '0';
    text += hex2(discreteInputs(nowMs));
    text += hex2(bufferInputs);
    text += "0000";
    text += hex2(relays >> 8);
    text += hex2(relays);
    text += ';';
    for (int c = 1; c <= count; ++c) {
        text += channelField(c, flags[c - 1], values[c - 1]);
        if (c < count)
            text += ';';
    }
    return value(f.command, text);
}

Answer Instrument::recordedFrame(const Frame& f, qint64 nowMs) const
{
    int frame = 0;
    int count = 0;
    if (f.fields.size() != 2 || !hex16(f.fields[0], &frame) || !hex16(f.fields[1], &count))
        return refuse(f.command, QStringLiteral("bad frame number"));
    frame = qint16(frame);
    int buffer = -1;
    for (int b = 0; b < 2 && buffer < 0; ++b)
        if (frame >= bufferStart(b) && frame <= bufferStart(b) + bufferLength(b))
            buffer = b;
    if (buffer < 0)
        return refuse(f.command, QStringLiteral("frame %1 is in no buffer").arg(frame));

    const qint64 at = frameTime(buffer, frame, nowMs);
    const QDateTime t = localTime(at + m_clockOffsetMs);
    std::array<int, kChannels> flags{};
    std::array<double, kChannels> values{};
    for (int c = 1; c <= kChannels; ++c) {
        values[c - 1] = liveValue(c, at);
        flags[c - 1] = channelFlagsAt(c, values[c - 1]);
    }
    const quint16 relays = relayBits(flags);
    const int bufferInputs = (m_int[Params].value(kExternalSignal, 0) ? 1 : 0)
        | (m_int[Params].value(kExternalSignal + 1, 0) ? 2 : 0);

    // Twelve channels and four values of the instrument itself: cold junction,
    // supply voltage, board temperature, spare. The count is written in
    // hexadecimal (10 = sixteen values).
    QList<QByteArray> fields;
    fields << QByteArray::number(frame) << "10";
    fields << two(t.time().hour()) << two(t.time().minute()) << two(t.time().second());
    fields << two(t.date().day()) << two(t.date().month()) << two(t.date().year() % 100);
    fields << QByteArray::number(buffer + 1);
    QByteArray status = m_mains ? "1" : "0";
    status += "00000000";
    status += QByteArray::number(bufferInputs);
    status += hex2(discreteInputs(at));
    status += hex2(relays >> 8);
    for (int r = 0; r < 8; ++r)
        status += ((relays >> r) & 1) ? '1' : '0';
    fields << status;
    for (int c = 1; c <= kChannels; ++c)
        fields << channelField(c, flags[c - 1], values[c - 1]);
    const double tt = double(at % 86400000) / 1000.0;
    fields << "00" + QByteArray::number(24.0 + 1.5 * std::sin(2 * kPi * tt / 3600), 'f', 1);
    fields << "00" + QByteArray::number(24.1, 'f', 1);
    fields << "00" + QByteArray::number(35.0 + 2.0 * std::sin(2 * kPi * tt / 5400), 'f', 1);
    fields << "000";
    return value(f.command, fields.join(';'));
}

Answer Instrument::block(int command, int count, bool skipFirst, qint64 nowMs) const
{
    QList<QByteArray> fields;
    if (skipFirst)
        fields << "0";
    for (int i = 0; i < count; ++i) {
        const int c = i % kChannels + 1;
        QByteArray v;
        switch (i / kChannels) {
        case 0: v = QByteArray::number(liveValue(c, nowMs), 'f', digits(c)); break;
        case 1: v = realText(m_real.value(kSp1Value + c - 1, 0.0f)); break;
        case 2: v = realText(m_real.value(kSp2Value + c - 1, 0.0f)); break;
        default: v = "0"; break;
        }
        fields << (skipFirst ? "0" + v : v);
    }
    return value(command, fields.join(';'));
}

void Instrument::restart()
{
    m_int[Params][kRestartAddress] = 0;
    m_activeAddress = m_int[Cpu].value(kNetNumAddress, 1) & 0xFF;
    const int baud = baudOfSpeedCode(m_int[Params].value(kSpeedAddress, 0x48));
    m_activeBaud = baud ? baud : 4800;
    for (auto& ch : m_latch)
        for (Latch& l : ch)
            l.active = false;
    ++m_restarts;
}

// ---------------------------------------------------------------------------
// State file

QStringList Instrument::saveLines() const
{
    QStringList out;
    out << QStringLiteral("address %1").arg(m_activeAddress);
    out << QStringLiteral("baud %1").arg(m_activeBaud);
    const char* spaceName[2] = {"int", "cpu"};
    for (int s = 0; s < 2; ++s)
        for (auto it = m_int[s].cbegin(); it != m_int[s].cend(); ++it)
            out << QStringLiteral("%1 %2 %3").arg(QLatin1String(spaceName[s])).arg(it.key(), 0, 16).arg(it.value(), 0, 16);
    for (auto it = m_storedText.cbegin(); it != m_storedText.cend(); ++it)
        out << QStringLiteral("stored %1 %2").arg(it.key(), 0, 16).arg(it.value(), 0, 16);
    for (auto it = m_real.cbegin(); it != m_real.cend(); ++it)
        out << QStringLiteral("real %1 %2").arg(it.key(), 0, 16).arg(QString::fromLatin1(realText(it.value())));
    for (int m = 0; m < kModules; ++m) {
        for (auto it = m_modInt[m].cbegin(); it != m_modInt[m].cend(); ++it)
            out << QStringLiteral("mint %1 %2 %3").arg(m).arg(it.key(), 0, 16).arg(it.value(), 0, 16);
        for (auto it = m_modReal[m].cbegin(); it != m_modReal[m].cend(); ++it)
            out << QStringLiteral("mreal %1 %2 %3").arg(m).arg(it.key(), 0, 16).arg(QString::fromLatin1(realText(it.value())));
    }
    for (auto it = m_relays.cbegin(); it != m_relays.cend(); ++it) {
        QStringList f;
        for (quint16 v : it.value())
            f << QString::number(v, 16);
        out << QStringLiteral("relay %1 %2").arg(it.key()).arg(f.join(QLatin1Char(' ')));
    }
    QStringList broken;
    for (int c : m_broken)
        broken << QString::number(c);
    out << QStringLiteral("broken %1").arg(broken.join(QLatin1Char(' '))).trimmed();
    out << QStringLiteral("clock %1 %2 %3").arg(m_clockOffsetMs).arg(m_dstCode).arg(m_battery);
    out << QStringLiteral("mains %1").arg(m_mains ? 1 : 0);
    for (int m = 0; m < kModules; ++m)
        if (m_converterRestarts[m] > 0)
            out << QStringLiteral("reload %1 %2").arg(m).arg(m_converterRestarts[m]);
    if (!m_padRelayFields)
        out << QStringLiteral("relaypad 0");
    for (int b = 0; b < 2; ++b)
        if (m_buffers[b].anchored)
            out << QStringLiteral("buffer %1 %2 %3").arg(b).arg(m_buffers[b].anchorMs).arg(m_buffers[b].anchorFrame);
    return out;
}

bool Instrument::loadLine(const QString& line, QString* error)
{
    const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (w.isEmpty())
        return true;
    bool ok = true;
    auto num = [&ok](const QString& s, int base = 10) {
        bool good = false;
        const qlonglong v = s.toLongLong(&good, base);
        ok = ok && good;
        return v;
    };
    auto real = [&ok](const QString& s) {
        if (s == QLatin1String("NaN"))
            return std::nanf("");
        bool good = false;
        const float v = s.toFloat(&good);
        ok = ok && good;
        return v;
    };
    const QString& k = w[0];
    if (k == QLatin1String("address") && w.size() == 2) {
        m_activeAddress = int(num(w[1])) & 0xFF;
    } else if (k == QLatin1String("baud") && w.size() == 2) {
        m_activeBaud = int(num(w[1]));
    } else if ((k == QLatin1String("int") || k == QLatin1String("cpu")) && w.size() == 3) {
        const int a = int(num(w[1], 16));
        m_int[k == QLatin1String("cpu") ? Cpu : Params][a] = quint16(num(w[2], 16));
    } else if (k == QLatin1String("stored") && w.size() == 3) {
        const int a = int(num(w[1], 16));
        m_storedText[a] = quint16(num(w[2], 16));
    } else if (k == QLatin1String("real") && w.size() == 3) {
        const int a = int(num(w[1], 16));
        m_real[a] = real(w[2]);
    } else if ((k == QLatin1String("mint") || k == QLatin1String("mreal")) && w.size() == 4) {
        const int m = int(num(w[1]));
        const int a = int(num(w[2], 16));
        if (m < 0 || m >= kModules)
            ok = false;
        else if (k == QLatin1String("mint"))
            m_modInt[m][a] = quint16(num(w[3], 16));
        else
            m_modReal[m][a] = real(w[3]);
    } else if (k == QLatin1String("relay") && w.size() == 2 + kRelayFields) {
        const int r = int(num(w[1]));
        QList<quint16> rec;
        for (int i = 2; i < w.size(); ++i)
            rec << quint16(num(w[i], 16));
        if (r < 0 || r >= kRelays)
            ok = false;
        else
            m_relays[r] = rec;
    } else if (k == QLatin1String("broken")) {
        QList<int> broken;
        for (int i = 1; i < w.size(); ++i)
            broken << int(num(w[i]));
        m_broken = broken;
    } else if (k == QLatin1String("clock") && w.size() == 4) {
        m_clockOffsetMs = num(w[1]);
        m_dstCode = int(num(w[2]));
        m_battery = int(num(w[3]));
    } else if (k == QLatin1String("reload") && w.size() == 3) {
        const int m = int(num(w[1]));
        if (m < 0 || m >= kModules)
            ok = false;
        else
            m_converterRestarts[m] = int(num(w[2]));
    } else if (k == QLatin1String("mains") && w.size() == 2) {
        m_mains = num(w[1]) != 0;
    } else if (k == QLatin1String("relaypad") && w.size() == 2) {
        m_padRelayFields = num(w[1]) != 0;
    } else if (k == QLatin1String("buffer") && w.size() == 4) {
        const int b = int(num(w[1]));
        if (b < 0 || b > 1) {
            ok = false;
        } else {
            m_buffers[b].anchorMs = num(w[2]);
            m_buffers[b].anchorFrame = int(num(w[3]));
            m_buffers[b].anchored = true;
        }
    } else {
        ok = false;
    }
    if (!ok && error)
        *error = line;
    return ok;
}

// ---------------------------------------------------------------------------
// The line

Line::Line(const QList<int>& addresses)
{
    for (int a : addresses)
        m_instruments.append(Instrument(a));
    if (m_instruments.isEmpty())
        m_instruments.append(Instrument(1));
}

Instrument* Line::target(const Frame& frame)
{
    if (!frame.valid)
        return nullptr;
    if (!frame.hasAddress || m_mode == AddressMode::Off)
        return &m_instruments.first();
    for (Instrument& i : m_instruments)
        if (i.networkNumber() == frame.address)
            return &i;
    return nullptr;
}

Answer Line::receive(const QByteArray& line, qint64 nowMs, int clientBaud)
{
    Answer silent;
    if (line.size() > 1024) {
        silent.note = QStringLiteral("overlong line ignored");
        return silent;
    }
    const Frame frame = parseFrame(line, m_mode);
    if (!frame.valid) {
        silent.note = frame.problem;
        return silent;
    }
    silent.command = frame.command;
    silent.address = parameterAddress(frame);
    Instrument* instrument = target(frame);
    if (!instrument) {
        silent.note = QStringLiteral("address %1 is not on this line").arg(frame.address);
        return silent;
    }
    if (instrument->activeBaud() && clientBaud && clientBaud != instrument->activeBaud()) {
        silent.note = QStringLiteral("line at %1 baud, instrument at %2: garbled").arg(clientBaud).arg(instrument->activeBaud());
        return silent;
    }
    Answer answer = instrument->handle(frame, nowMs);
    answer.address = silent.address;
    return answer;
}

QString stateFileHelp()
{
    return QStringLiteral(
    "State file (--state): text, one item a line, numbers in hexadecimal\n"
    "unless said otherwise; empty lines and lines starting with \"#\" are\n"
    "skipped. A line \"instrument\" starts each instrument, in --address order\n"
    "(more blocks than addresses add instruments). What a block leaves out\n"
    "keeps the instrument's defaults, so a file may preset only a few items.\n"
    "  address N            network number in force (decimal)\n"
    "  baud N               speed in force since the last restart (decimal; 0:\n"
    "                       not restarted, the line runs at the client's speed)\n"
    "  int ADR VALUE        integer memory of commands 1/2, 5/6, 13/14\n"
    "  cpu ADR VALUE        integer memory of commands 29/30, 31/32\n"
    "  real ADR VALUE       real memory of commands 9..16, 21..24; VALUE is\n"
    "                       decimal with \".\" (or NaN)\n"
    "  mint M ADR VALUE     integer memory of module M (0 or 1), commands 17..20\n"
    "  mreal M ADR VALUE    real memory of module M, commands 25..28 (as real)\n"
    "  relay R F1 .. F49    the record of relay R (decimal, 0..12, 0 the first):\n"
    "                       49 fields; of group g (0 first setpoint, 1 second,\n"
    "                       2 sensor break) field 15*g + 1 + (C-1)/6 (decimal)\n"
    "                       holds channel C at bit (C-1)%6; 46..49 are spare\n"
    "  broken C ...         the channels (decimal, 1..12) whose sensor is broken\n"
    "                       (\"broken\" alone: none)\n"
    "  clock MS DST BATTERY clock offset from the computer's in milliseconds,\n"
    "                       daylight code and battery state (decimal)\n"
    "  mains 0|1            mains supply present\n"
    "  buffer B MS FRAME    recording buffer B (0 or 1) wrote frame FRAME at MS\n"
    "                       milliseconds since 1970 (decimal)\n"
    "  relaypad 0|1         relay records answered unpadded (0) or with two\n"
    "                       digits a field (1, the default)\n"
    "Where things are: the buffer layout is cpu 2/3 (first frame of buffer 1/2),\n"
    "cpu 4/5 (lengths), cpu 6/7 (intervals, seconds), int 1518/1519 (recording\n"
    "control, 0 records); network number cpu 1, speed code int 1 (48 = 4800);\n"
    "the text of channel C (15 display codes) at int 190 + 14*(C-1) + k, its\n"
    "unit (7 codes) at int 8FC + 8*(C-1) + k; setpoints real 1 + C-1 and\n"
    "64 + C-1, hysteresis real C8 + C-1 and 12C + C-1, setpoint types int\n"
    "C8 + C-1 and 12C + C-1.\n"
    "The recording buffers, for buffer B = 0 or 1:\n"
    "  int 1518+B CODE      recording: 0 records; 1 to 5 stopped (1 at the end,\n"
    "                       2 and 3 by the external signal, 4 by the computer,\n"
    "                       5 waiting for one frame); other codes: logic off\n"
    "  int 151c+B 0|1       the external control signal absent or present\n"
    "The current frame (cpu 20+B) is not stored: it follows from \"buffer\"; a\n"
    "recording buffer moves on from there, a stopped one stays.\n"
    "Example: buffer 1 from frame 0, 100 frames of 5 s; buffer 2 (from frame\n"
    "4096, 4095 long as by default) a frame an hour, stopped by the computer at\n"
    "frame 4200, its signal present; the battery faulty; the clock an hour\n"
    "behind; the first relay on the first setpoint of channels 1 and 2;\n"
    "channel 1's text starting \"AB\":\n"
    "  instrument\n"
    "  cpu 2 0\n"
    "  cpu 4 64\n"
    "  cpu 6 5\n"
    "  cpu 3 1000\n"
    "  cpu 7 e10\n"
    "  int 1519 4\n"
    "  int 151d 1\n"
    "  buffer 1 0 4200\n"
    "  clock -3600000 57 0\n"
    "  relay 0 3 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "  int 190 41\n"
    "  int 191 42\n"
    "The simulator writes the whole state in this form at exit.\n");
}

QStringList Line::saveLines() const
{
    QStringList out;
    out << QStringLiteral("# instrument-sim state");
    for (const Instrument& i : m_instruments) {
        out << QStringLiteral("instrument");
        out << i.saveLines();
    }
    return out;
}

bool Line::load(const QStringList& lines, QString* error)
{
    int index = -1;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line == QLatin1String("instrument")) {
            ++index;
            if (index >= m_instruments.size())
                m_instruments.append(Instrument(1));
            continue;
        }
        if (index < 0) {
            if (error)
                *error = line;
            return false;
        }
        if (!m_instruments[index].loadLine(line, error))
            return false;
    }
    return true;
}

} // namespace sim
