#pragma once
// What the window knows about an input channel besides its controls and the
// instrument map: the channel items of a module, the boxes and status texts
// of each parameter, and how the byte and real boxes turn into values.

#include <QString>
#include <QStringList>
#include <functional>

namespace inputs {

// The six channel items of module 0 or 1: "Первый  (1)" .. "Шестой  (12)".
QStringList channelItems(int module);

// The parameters of one channel, in the order they are read and written.
enum class Param { DiapMax, DiapMin, Flags, Sensor, Wired, Bias, LineResistance };
constexpr int kParamCount = 7;

struct ParamInfo {
    Param param;
    QString key;         // the map's parameter is "chN." + key
    QString box;         // the caption of the box, as messages name it
    QString readStep;    // the status text of its read
    QString writeStep;   // the status text of its write
};
const ParamInfo& paramInfo(Param p);
const ParamInfo& paramInfo(int index);

// A byte box (flags, connection method) holds the byte in hexadecimal
// digits: one or two, either case, blanks around allowed.
bool byteFromBox(const QString& text, int* value);
// The text a byte box shows for a value the module answered (the link gives
// it as a signed 16-bit number): 31 gives "1F"; values that are not a byte
// are shown as what the module holds, -1 as "FFFF", 511 as "1FF".
QString byteForBox(qint64 value);

// A real box turned into the exponent form written to the instrument.
enum class RealBox { Ok, Empty, NotNumber, TooManyDigits };
struct RealWrite {
    RealBox status = RealBox::Empty;
    QString wire;       // the exponent form, when Ok (or what would go, when TooManyDigits)
    double shown = 0;   // the number the box shows
    double sent = 0;    // the number the exponent form carries
};
// sep is the locale's decimal separator; exponentForm is the instrument's
// exponent form of a number.
RealWrite realForWrite(const QString& text, const QString& sep,
                       const std::function<QString(double)>& exponentForm);

} // namespace inputs
