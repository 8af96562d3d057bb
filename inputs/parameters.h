#pragma once
// What the window knows about an input channel besides its controls: the
// sensor types the module measures, the channel items of a module, where each
// parameter of a channel lives, and how the byte and real boxes turn into the
// values written to the instrument.

#include <QString>
#include <QStringList>
#include <functional>

namespace inputs {

// The 23 sensor types; the list index is the code the module stores.
const QStringList& sensorTypes();
constexpr int kHighestSensorType = 22;

// The six channel items of module 0 or 1: "Первый  (1)" .. "Шестой  (12)".
QStringList channelItems(int module);

// The parameters of one channel, in the order they are read and written.
enum class Param { DiapMax, DiapMin, Flags, Sensor, Wired, Bias, LineResistance };
constexpr int kParamCount = 7;

struct ParamInfo {
    Param param;
    const char* key;        // key in section "Flash"; nullptr for a fixed base
    const char* fallback;   // the key's default, or the fixed base
    bool real;              // four addresses per channel, commands 28 / 27; else one, 20 / 19
    QString box;            // the caption of the box, as messages name it
    QString readStep;       // the status text of its read
    QString writeStep;      // the status text of its write
};
const ParamInfo& paramInfo(Param p);
const ParamInfo& paramInfo(int index);

// Addresses a channel's parameter takes relative to its base, highest first
// copy included (the module keeps three more copies 512 apart).
int channelOffset(const ParamInfo& info, int channel);
int highestOffset(const ParamInfo& info);
constexpr int kFlashCopySpacing = 512;
constexpr int kFlashCopies = 4;

// The measured value of channel ch and the converter restart.
constexpr int kMeasuredBase = 0xEF;
int measuredAddress(int channel);

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
// sep is the locale's decimal separator; exponentForm is the link's
// conversion (its sExpConvection).
RealWrite realForWrite(const QString& text, const QString& sep,
                       const std::function<QString(double)>& exponentForm);

} // namespace inputs
