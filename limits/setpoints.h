#pragma once
// What Limits knows about the instrument's per-channel setpoint parameters:
// the ten address tables of section Flash of "dev.dat", the setpoint type
// codes, and how the answers of the reads are shown and the boxes' values
// are written.

#include "settingskeys.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace instrument {
class Dev;
}

namespace limits {

// The per-channel parameters, in the order their keys are read at start.
enum class Param { THT1, THT2, TH1, TH2, HIS1, HIS2, nS, d_Point, TH_REAC11, LOCK_CH };
constexpr int kParamCount = 10;
constexpr int kChannelsPerModule = 6;
constexpr int kChannels = 12;

// The key of section Flash, its default text and what the program cannot do
// without it.
struct ParamKey {
    QString key;
    QString fallback;
    QString consequence;
};
const ParamKey& paramKey(Param p);

// The base addresses of the ten parameters (channel 1 of module 1).
class AddressTables {
public:
    // Reads the ten keys of section Flash; a key that is not an address
    // leaves its parameter without addresses (see problems()).
    void read(const instrument::Dev& dev);

    const ui::BaseAddress& base(Param p) const { return m_base[int(p)]; }
    // The address of the parameter for module index 0..1 and channel index
    // 0..5 within the module; empty when the key is not usable.
    std::optional<qint16> address(Param p, int module, int channel) const;
    // One text for each key that is not an address.
    QStringList problems() const;

private:
    std::array<ui::BaseAddress, kParamCount> m_base;
};

// ---- setpoint types -------------------------------------------------------------

// The nine items of the type lists and the type byte of each, as
// hexadecimal digits.
const QStringList& typeItems();
const QStringList& typeCodes();
// The item of a type byte, -1 for a byte no item stands for.
int typeIndex(qint64 typeByte);

// ---- what a read shows ------------------------------------------------------------

// The item of cbDig for a digits value: 0..2 select their item, anything
// larger the item "1".
int digitsIndex(qint64 n);
// The item of cbActTH for an identical-observation count: 1..10 their item,
// above 10 the item "2", 0 and below none (-1).
int countIndex(qint64 n);
// chDis is checked for the value 1 only.
bool excludedChecked(qint64 n);

// ---- what a write sends -------------------------------------------------------------

// The number of averagings typed in Usred as the instrument takes it: a
// whole number 0..255 (blanks around allowed) in hexadecimal digits; empty
// when the text is none.
QString averagingsValue(const QString& text, const QString& sep);
// The count of cbActTH item index in hexadecimal digits ("A" for "10").
QString countValue(int index);

} // namespace limits
