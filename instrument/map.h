#pragma once
// The instrument map: every parameter the suite's programs read or write,
// each with its name, its meaning as the windows call it, its address (from
// the base addresses of "dev.dat", the module and the channel), its kind and
// value rules, its commands and the way it is written. Qt Core only: the
// keys of "dev.dat" come through a reader, the exchanges through a Link
// (link.h), so the windows, a command-line program and the tests share it.
//
// Names: chN.<key> for the parameters of channel N = 1..12 (module index × 6
// + channel, so module 2's first channel is 9): the setpoints THT1, TH1,
// HIS1, THT2, TH2, HIS2, nS, d_Point, TH_REAC11, LOCK_CH; the sensor input
// DiapMax, DiapMin, Flags, Sensors, Wired, Bias, Rl, Value (read only); the
// display texts TEXT and UofM. Then relay0 .. relay12 and the relay flags
// relays.devlogic, relays.analysis, relays.test; buffer1.* and buffer2.*
// (first, length, interval, current, state, signal); clock; and the
// instrument's port parameters speed, netnum, channels. The map lists them
// in that order.

#include "baseaddress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace instrument::map {

constexpr int kChannels = 12;
constexpr int kChannelsPerModule = 6;
constexpr int kRelays = 13;
constexpr int kRelayFields = 45;     // three groups of 15 six-bit fields
constexpr int kRelayAnswerFields = 49;

enum class Kind {
    Integer,       // a whole number in decimal
    Real,          // a number with "." as the decimal point
    Code,          // a whole number that stands for one of items
    Text,          // characters of the display
    RelayRecord,   // 45 hexadecimal six-bit fields, ";" between them
    Flag,          // 0 or 1
    Clock,         // the instrument's clock as it answers: eight fields, ";" between them
};
QString kindName(Kind kind);

// An item of a code: its value and what the window shows for it.
struct Item {
    qint64 code = 0;
    QString text;
    bool writable = true;   // false: the instrument reports it, nobody writes it
};

// How a parameter is written.
enum class Writing {
    None,               // read only
    FlashThenVerified,  // sWriteToFlash(write), then sWriteAndRead(second) at the same address (Limits)
    FlashCopies,        // sWriteToFlash(write) of a module parameter: four copies 512 apart (Inputs)
    VerifiedPair,       // sWriteAndRead(write), then sWriteAndRead(second) (Commission; Text per character)
    PlainPair,          // sCOMPort(write), then sCOMPort(second), no read-back (Memory's buffer settings)
    Plain,              // one sCOMPort(write), no read-back (Memory's recording control)
    PlainThenRestart,   // sCOMPort(write), then the instrument restart, its answer ignored (Contacts)
};
QString writingName(Writing writing);

struct Param {
    QString name;      // "ch9.TH1"
    QString key;       // the part after "chN." ("TH1"), or the whole name
    QString meaning;   // Russian, as the windows call it
    Kind kind = Kind::Integer;
    int channel = 0;   // 1..12 for chN.*, 0 otherwise
    int index = -1;    // relay index 0..12, buffer index 0..1
    int module = -1;   // the input module (0, 1) of a module command, else -1

    // ---- value rules ----
    QList<Item> items;           // Code
    qint64 lowest = 0;           // Integer, Code, Flag
    qint64 highest = 0;
    int readLength = 0;          // Text: characters read and the longest text taken
    int writeLength = 0;         // Text: characters written (blanks after the text)
    bool zeroReplaced = false;   // Real: 0 goes to the instrument as zeroAs
    double zeroAs = 0;

    // ---- address ----
    BaseAddress base;            // from "dev.dat" or fixed (section empty)
    int offset = 0;              // address = base + offset
    int writeAddress = -1;       // >= 0: the writes go to this address instead
    // The address of the parameter (its first character for a text).
    qint16 address() const { return qint16(base.value + offset); }
    qint16 addressForWrite() const { return writeAddress >= 0 ? qint16(writeAddress) : address(); }
    // The address in the form "dev.dat" and the frames use: "D0 (Flash/THT1 + 8)".
    QString addressRule() const;

    // ---- commands ----
    quint8 readCommand = 0;
    QString readValue = QStringLiteral("0");   // the Value of the read (the frame does not carry it)
    quint8 writeCommand = 0;
    quint8 secondCommand = 0;
    Writing writing = Writing::None;
    bool readOnly() const { return writing == Writing::None; }

    // "Тип первой уставки канала 9" and the like, for messages.
    QString title() const;
};

class Map {
public:
    // The map with the base addresses read through keys; sep is the locale's
    // decimal separator that decimal keys may be written with. A key that is
    // not an address leaves its parameters without one (problems() says
    // which; their operations are refused).
    Map(const KeyReader& keys, const QString& sep);
    // The map with the default base addresses.
    Map();

    const QList<Param>& params() const { return m_params; }
    // The parameter of that name (case ignored); null when there is none.
    const Param* find(const QString& name) const;
    // The parameters whose names match the wildcard pattern ("ch9.*",
    // "*.TH1", "buffer?.state"; case ignored), in the map's order. Several
    // patterns may be given with "," between them.
    QList<const Param*> match(const QString& pattern) const;
    // One text for each key of "dev.dat" that is not an address.
    QStringList problems() const;
    // The same for the keys the parameters matching pattern (as match()
    // takes it) need: what a program that uses only those reports.
    QStringList problems(const QString& pattern) const;

private:
    QList<Param> m_params;
    QStringList m_problems;
};

// ---- values ---------------------------------------------------------------------

// The message a refused value gets: "ch9.TH1 (Величина первой уставки): " + why.
QString refusal(const Param& p, const QString& why);

// Takes a value as the user writes it and checks it against the parameter's
// rules. On success *value holds its canonical text (the text reads print)
// and *wire the value text of the write (hexadecimal digits, the exponent
// form with digits characters of mantissa, the relay record; for a text the
// text itself). On failure *error names the parameter and says why.
bool parseValue(const Param& p, const QString& text, int digits, QString* value, QString* wire, QString* error);

// The item text of a code value ("Быстрое уменьшение с памятью"); empty when
// the value is no item of it or the parameter is no code.
QString itemText(const Param& p, const QString& value);

// True when the exponent form of value reads back as value itself; the form
// keeps only so many characters of the mantissa, and a value it cannot carry
// whole would reach the instrument as another number. *sent gets the number
// the instrument would receive.
bool carriedExactly(const QString& exponentForm, double value, double* sent);

// The exponent form of a real the instrument takes ("0.125e2"), with digits
// characters of mantissa (the link's NOfDigits).
QString realWire(double value, int digits);

// The 45 six-bit fields of a relay record answer (49 fields, hexadecimal,
// each ended by ";"); false when the answer is not one.
bool relayFields(const QString& answer, QList<quint32>* fields);
// The record written for relay index: "i;", the 45 fields, "0;" four times.
QString relayRecord(int relay, const QList<quint32>& fields);

} // namespace instrument::map
