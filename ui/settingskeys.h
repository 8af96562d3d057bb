#pragma once
// The suite's own keys of "dev.dat" that the programs read besides the
// link's: base addresses (sections Flash and CPU) and the list of port
// settings in section PROGS, which Commission writes and Reader and Memory
// offer.

#include "baseaddress.h"

#include <QString>
#include <QStringList>

namespace instrument {
class Dev;
}

namespace ui {

namespace keys {
inline const QString kDevDat = QStringLiteral("dev.dat");
inline const QString kProgs = QStringLiteral("PROGS");
inline const QString kNofSettings = QStringLiteral("NofSettings");
inline const QString kSettingsIndex = QStringLiteral("SettingsIndex");
inline const QString kNumberIndex = QStringLiteral("NumberIndex");
// "Set1", "Set2", ...: item n of the list, counted from 1.
QString setKey(int n);
} // namespace keys

// A base address read from "dev.dat" (the instrument map's own type).
using BaseAddress = instrument::map::BaseAddress;

// Reads a base address through the link's settings access; the parsing and
// the range rule are the map's (instrument/baseaddress.h). consequence says
// what the program does without it ("Уставки канала не читаются и не
// записываются.").
BaseAddress readBaseAddress(const instrument::Dev& dev, const QString& section, const QString& key,
                            const QString& fallback, int lowest, int highest, const QString& consequence);

// The port settings list of section PROGS.
struct SpeedList {
    QStringList items;   // Set1 .. SetN as the file holds them
    int index = -1;      // SettingsIndex, -1 when the list is empty
    // What was wrong in the file and what is used instead, one text each.
    QStringList problems;
};

// NofSettings (default 8), Set1..SetN (default "4800,n,8,2" each),
// SettingsIndex (default 4). A count that is not a whole number from 0 to
// 255 takes 8; an index outside the list takes item fallbackIndex, or the
// first when the list is shorter.
SpeedList readSpeedList(const instrument::Dev& dev, int fallbackIndex = 0);

// Writes SettingsIndex, NofSettings and Set1..SetN, in that order. False at
// the first key that could not be written (the link says why).
bool writeSpeedList(const instrument::Dev& dev, const QStringList& items, int index);

} // namespace ui
