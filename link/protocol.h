#pragma once
// The instrument's numbered commands, by name. Odd numbers write and the
// next even number reads the same kind of value back.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace instrument::cmd {

// Raw link test through sPortSR: any answer holding "!".
constexpr quint8 LinkTest = 0;
// Integer in flash (address path; read back with 6).
constexpr quint8 WriteIntegerFlash = 5;
constexpr quint8 ReadIntegerFlash = 6;
// Real in flash (read back with 12).
constexpr quint8 WriteRealFlash = 11;
constexpr quint8 ReadRealFlash = 12;
// Integer in the working copy (read back with 14).
constexpr quint8 WriteInteger = 13;
constexpr quint8 ReadInteger = 14;
// Real in the working copy (read back with 16).
constexpr quint8 WriteReal = 15;
constexpr quint8 ReadReal = 16;
// Restart of an input module (command path: module, then "address;value").
constexpr quint8 ModuleRestart = 17;
// Byte of an input module in flash (read back with 20).
constexpr quint8 WriteModuleByteFlash = 19;
constexpr quint8 ReadModuleByteFlash = 20;
// The measured value of an input module channel.
constexpr quint8 ReadModuleReal = 26;
// Real of an input module in flash (read back with 28).
constexpr quint8 WriteModuleRealFlash = 27;
constexpr quint8 ReadModuleRealFlash = 28;
// Word of the processor's registers (read back with 30, 32).
constexpr quint8 WriteRegister = 29;
constexpr quint8 ReadRegister = 30;
constexpr quint8 WriteRegister2 = 31;
constexpr quint8 ReadRegister2 = 32;
// The clock (command path).
constexpr qint16 WriteClock = 33;
constexpr qint16 ReadClock = 34;
// A relay's logic record.
constexpr quint8 WriteRelayRecord = 35;
constexpr quint8 ReadRelayRecord = 36;
// One frame of a recording buffer (command path).
constexpr qint16 ReadFrame = 323;
// The live readings (command path).
constexpr qint16 ReadReadings = 423;

} // namespace instrument::cmd

namespace instrument::protocol {

// The fields that follow the command number in an address-path frame.
enum class AddressFields {
    Address,            // Adrr ;
    AddressValue,       // Adrr ; Value ;
    ModuleAddress,      // module ; Adrr ;
    ModuleAddressValue, // module ; Adrr ; Value ;
    ValueOnly,          // Value ;
    None,               // nothing
};

// The fields that follow the command number in a command-path frame (which
// always carries the network address).
enum class CommandFields {
    Refused,     // not a command of this path: no frame is built
    BothParams,  // sPar1 ; sPar2 ;
    FirstParam,  // sPar1 ;
    SecondParam, // sPar2 ;
    None,        // nothing
};

// How an answer is judged and what its value is.
enum class Answer {
    Uninterpreted, // any answer with both markers; no value
    Confirmed,     // a write or an action: the answer holds "OK"
    Integer,       // hexadecimal digits, a 16-bit register
    Real,          // a decimal number with "." as point, or "NaN"
    Number,        // command path: a number or hexadecimal digits
    Block48,       // 48 numbers or hexadecimal values
    Block42,       // a skipped field, then 42 values with a leading character each
    Block49,       // 49 hexadecimal values (the relay logic)
    Clock,         // 8 numbers
    Frame,         // 9 numbers, a skipped field, then the channel values
    Readings,      // the readings layout, then the channel values
};

struct Command {
    int number;
    AddressFields addressFields;
    Answer addressAnswer;
    CommandFields commandFields;
    Answer commandAnswer;
    int readBack; // the command that reads a written value back; 0 for none
};

// What the link knows of a command number. A number it does not know goes
// the address path with the address alone and an answer it does not
// interpret, and is refused on the command path.
const Command& command(int number);

// True for a write whose read-back answers an integer, or a real.
bool readsBackInteger(int number);
bool readsBackReal(int number);

} // namespace instrument::protocol

namespace instrument::protocol {

// What the link says of an answer.
extern const QString kMsgDeviceError;      // "Прибор выдает ошибку"
extern const QString kMsgNoAnswer;         // "Прибор не отвечает"
extern const QString kMsgBadForm;          // "Получен ответ неправильного формата"
extern const QString kMsgNotWritten;       // "Не удалось записать в прибор"
extern const QString kMsgNaN;              // the memory at the address holds no valid number
extern const QString kMsgBadNumber;        // "Из прибора пришло число в неправильном формате"
extern const QString kMsgBadReadings;      // the readings header is not hexadecimal
extern const QString kMsgBadReadingsField; // a readings value is bad
extern const QString kMsgBadBlock;         // a block answer holds a bad field
extern const QString kMsgNoCommand;        // "Нет такой команды"

// What the system says when an answer cannot even be taken apart.
extern const QString kDescOverflow;
extern const QString kDescBadCall;
extern const QString kDescMissingField;

// Where the answer's terminator is looked for: after the CR and LF that the
// received text starts with (the tail of an earlier answer).
int terminatorSearchStart(const QString& answer);
// Keeps the text up to and including the first LF of the answer, then up to
// and including its first CR.
QString cutAnswer(QString answer);
QString replaceFirst(QString text, const QString& what, const QString& with);
// The ";"-terminated fields at the start of text.
QStringList terminatedFields(const QString& text);
// Both ";" and "!" are in the answer.
bool hasMarkers(const QString& answer);
// The message for an answer without markers: the instrument's error, no
// answer, or a wrong form.
QString unmarkedMessage(const QString& answer);

} // namespace instrument::protocol
