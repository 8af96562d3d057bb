#pragma once
// The instrument's numbered commands, by name. Odd numbers write and the
// next even number reads the same kind of value back.

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
