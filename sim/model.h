#pragma once
// The simulated instrument: its memories, its live plant and the answers it
// gives to the frames of the line protocol. Nothing here touches a terminal,
// so every answer can be checked from a unit test with a chosen time.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>

namespace sim {

// One line as it came from the wire (without CR and LF), taken apart.
struct Frame {
    bool valid = false;     // a frame we could take apart
    bool hasAddress = false;
    int address = -1;       // network address, when present
    int command = -1;
    QList<QByteArray> fields; // the fields after the command
    QString problem;        // why the line is not a frame
};

// How the instruments on a line read the first field of a frame.
enum class AddressMode {
    // The network address may or may not be there: the reading whose field
    // count fits the command is taken (the address wins when both fit).
    Guess,
    // The instruments use no network addresses (the link's EnableNetAdrr 0):
    // the first field is the command. Only the command path's own frames,
    // which always carry the address, are read with it: those whose second
    // field is 33, 34, 323 or 423, and those that fit no command otherwise.
    Off,
};

// Takes a received line apart. The text before the last ":" is noise on the
// line and is ignored.
Frame parseFrame(const QByteArray& line, AddressMode mode = AddressMode::Guess);

// The parameter address a frame is aimed at, -1 for a frame without one: the
// address field of the address path's groups (after the module number for
// the module commands), the frame number of 323 and the relay of 35 and 36.
int parameterAddress(const Frame& frame);

// How many fields follow the command in a frame of this command; known is
// false for numbers the instrument does not implement.
struct FieldRule {
    int min = 1;
    int max = 1;
    bool known = false;
};
FieldRule fieldRule(int command);

// Commands whose answer is one real value.
bool isRealRead(int command);
// Commands whose answer is one integer value, in hexadecimal digits.
bool isIntegerRead(int command);
// Writes and actions the instrument confirms with "OK".
bool isWrite(int command);

struct Answer {
    bool silent = true;
    QByteArray bytes;   // what goes on the wire, CR LF included
    int command = -1;
    int address = -1;   // the frame's parameter address, see parameterAddress()
    QString note;       // why the instrument stays silent or refused
};

// The answer to a refused frame: the instrument says "ERR" and nothing else.
QByteArray errAnswer();

// Baud rate of an instrument speed code (0x48 is 4800); 0 for an unknown code.
int baudOfSpeedCode(int code);

class Instrument {
public:
    // Address spaces of the instrument's memory.
    enum Space {
        Params = 0,   // integers, commands 1/2, 5/6, 13/14
        Cpu = 1,      // integers, commands 29/30, 31/32 (buffer registers, network number)
        Reals = 2,    // reals, commands 9/10, 11/12, 15/16, 21/22, 24
    };
    static constexpr int kChannels = 12;
    static constexpr int kRelays = 13;
    static constexpr int kRelayFields = 49;
    static constexpr int kModules = 2;

    explicit Instrument(int networkNumber = 1);

    // Answers one frame meant for this instrument at wall-clock time nowMs
    // (milliseconds since the epoch).
    Answer handle(const Frame& frame, qint64 nowMs);

    int networkNumber() const { return m_activeAddress; }
    // The baud rate the instrument's port runs at since its last restart; 0
    // until the first restart (the line's speed is then whatever the client uses).
    int activeBaud() const { return m_activeBaud; }
    int restarts() const { return m_restarts; }
    // How often the converter of module 0 or 1 was restarted (1 written at 44B).
    int converterRestarts(int module) const { return m_converterRestarts[module]; }

    // Memory access, for the state file and for tests.
    quint16 integer(Space space, int address) const;
    void setInteger(Space space, int address, quint16 value);
    float real(int address) const;
    void setReal(int address, float value);
    quint16 moduleInteger(int module, int address) const;
    float moduleReal(int module, int address) const;
    // The display texts are kept twice: command 5 writes (and 6 reads) the
    // stored copy, command 13 writes (and 14 reads) the working copy, which is
    // integer(Params, address). A text byte holds 0..FF.
    static bool isTextByte(int address);
    quint16 storedText(int address) const { return m_storedText.value(address, 0); }
    QList<quint16> relayRecord(int relay) const { return m_relays.value(relay); }

    // The measured value of channel 1..12 at time ms.
    double liveValue(int channel, qint64 ms) const;
    bool sensorBroken(int channel) const { return m_broken.contains(channel); }
    void setSensorBroken(int channel, bool broken);
    bool mains() const { return m_mains; }
    void setMains(bool on) { m_mains = on; }

    // The current frame of buffer 0 or 1 at time ms.
    int currentFrame(int buffer, qint64 ms) const;

    // The state file: one text block per instrument.
    QStringList saveLines() const;
    // Applies the lines of saveLines(); returns false with the line at fault
    // in *error for a line it cannot take.
    bool loadLine(const QString& line, QString* error);

    // Public so that tests can put the model into a known state.
    static constexpr int kNetNumAddress = 1;  // Cpu space
    static constexpr int kSpeedAddress = 1;   // Params space
    static constexpr int kMaxChAddress = 2;   // Params space
    static constexpr int kRestartAddress = 0x151A;
    static constexpr int kRecordControl = 0x1518; // + buffer
    static constexpr int kExternalSignal = 0x151C; // + buffer
    static constexpr int kCurrentFrame = 0x20;    // Cpu space, + buffer

private:
    struct Buffer {
        // Recording runs from anchorMs on, the frame anchorFrame being written
        // at that moment.
        qint64 anchorMs = 0;
        int anchorFrame = 1;
        bool anchored = false;
    };
    struct Latch {
        bool active = false;
    };

    Answer ok(int command) const;
    Answer refuse(int command, const QString& why) const;
    Answer value(int command, const QByteArray& text) const;

    Answer writeInteger(Space space, const Frame& f, qint64 nowMs);
    Answer readInteger(Space space, const Frame& f, qint64 nowMs) const;
    Answer writeReal(const Frame& f);
    Answer readReal(const Frame& f) const;
    Answer writeModule(const Frame& f, bool real, qint64 nowMs);
    Answer readModule(const Frame& f, bool real, qint64 nowMs) const;
    Answer writeClock(const Frame& f, qint64 nowMs);
    Answer readClock(qint64 nowMs) const;
    Answer writeRelay(const Frame& f);
    Answer readRelay(const Frame& f) const;
    Answer readings(const Frame& f, qint64 nowMs);
    Answer recordedFrame(const Frame& f, qint64 nowMs) const;
    Answer block(int command, int count, bool skipFirst, qint64 nowMs) const;

    void restart();
    void setDefaults();
    void setRecording(int buffer, quint16 state, qint64 nowMs);
    int bufferStart(int buffer) const;
    int bufferLength(int buffer) const;
    int bufferInterval(int buffer) const;
    qint64 frameTime(int buffer, int frame, qint64 nowMs) const;
    // Setpoint events of a channel at time ms: bit 1 first, 2 second, 4 break.
    int channelFlags(int channel, double value, bool remember);
    int channelFlagsAt(int channel, double value) const;
    quint16 relayBits(const std::array<int, kChannels>& flags) const;
    QByteArray channelField(int channel, int flags, double value) const;
    int digits(int channel) const;
    int discreteInputs(qint64 ms) const;

    QMap<int, quint16> m_int[2];
    QMap<int, float> m_real;
    QMap<int, quint16> m_storedText;
    QMap<int, quint16> m_modInt[kModules];
    QMap<int, float> m_modReal[kModules];
    QMap<int, QList<quint16>> m_relays;
    QList<int> m_broken;
    std::array<std::array<Latch, 2>, kChannels> m_latch{};
    Buffer m_buffers[2];
    qint64 m_clockOffsetMs = 0;
    int m_dstCode = 57;
    int m_battery = 1;
    bool m_mains = true;
    // Relay records answered with two digits a field ("0A"), or without
    // padding ("A"): state line "relaypad 0".
    bool m_padRelayFields = true;
    int m_activeAddress = 1;
    int m_activeBaud = 0;
    int m_restarts = 0;
    int m_converterRestarts[kModules] = {0, 0};
};

// A line with one or more instruments on it.
class Line {
public:
    explicit Line(const QList<int>& addresses);

    // AddressMode::Off: the frames carry no network address, and every one
    // is answered by the first instrument.
    void setAddressMode(AddressMode mode) { m_mode = mode; }
    AddressMode addressMode() const { return m_mode; }

    // The instrument a frame is meant for: the one at the frame's address, or
    // the first when the frame carries none. nullptr when none is.
    Instrument* target(const Frame& frame);

    // Takes one received line (CR and LF removed) at time nowMs, with the
    // client's port running at clientBaud (0 = unknown).
    Answer receive(const QByteArray& line, qint64 nowMs, int clientBaud);

    QList<Instrument>& instruments() { return m_instruments; }

    QStringList saveLines() const;
    bool load(const QStringList& lines, QString* error);

private:
    QList<Instrument> m_instruments;
    AddressMode m_mode = AddressMode::Guess;
};

// What a state file (--state) holds, with an example that presets the
// buffers, recording, the battery, the clock, a relay and a channel text;
// for --help. The example loads with Line::load().
QString stateFileHelp();

// Escapes bytes for one line of the transcript: printable ASCII as it is,
// "\\" doubled, CR as \r, LF as \n, anything else as \xHH.
QByteArray escapeBytes(const QByteArray& bytes);

} // namespace sim
