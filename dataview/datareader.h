#pragma once
// Reading the frame data file that Memory writes (datafile.h there): a text
// file of one item a line, Windows-1251, lines ended by CR LF, frames one
// after another, several runs possibly appended in one file. A frame of n
// values is 10 + 3n lines:
//   "field 1", n, "hh:mm:ss", "dd/mm/yy", "field 9", five quoted slices of
//   field 10, then for each value its state character, its flag character
//   and its number (decimal separator "." or "," as the writer's locale had
//   it), each quoted.
//
// A file is read whole or not at all: the first line that is not what the
// frame needs there refuses the file, with its line number and what was
// expected.

#include <QChar>
#include <QDateTime>
#include <QList>
#include <QString>

class QIODevice;

namespace dataview {

// One measured value of a frame.
struct Value {
    QChar state;        // measurement state: "0" normal, anything else not
    QChar flags;        // one hexadecimal digit: 1 first setpoint, 2 second, 4 sensor break
    QString number;     // as written, with its decimal separator
    double value = 0;   // the number read

    // The flag digit's bits; a character that is no hexadecimal digit sets none.
    int flagBits() const;
    // The sensor is broken (flag 4): the number means nothing.
    bool sensorBreak() const { return flagBits() & 4; }
    // The number with "." as decimal point, or with sep.
    QString numberWith(QChar sep) const;
};

struct Frame {
    int line = 0;            // the line its first item is on (from 1)
    QString number;          // field 1
    QString timeText;        // "hh:mm:ss" as written
    QString dateText;        // "dd/mm/yy" as written
    QDateTime time;          // local time; invalid when the clock wrote no real date
    QString field9;
    QString slices[5];       // field 10: position 1, 10, 11-12, 13-14, 15-22
    QList<Value> values;
};

struct DataFile {
    QString path;
    QList<Frame> frames;
    // The most values any frame has.
    int valueCount() const;
};

// Reads the bytes of a data file. On failure *error says "строка N: ..."
// and *out is left as it was.
bool parseDataFile(const QByteArray& bytes, DataFile* out, QString* error);
// Reads the file at path (out->path set to it). A file that cannot be opened
// is refused with the system's reason.
bool readDataFile(const QString& path, DataFile* out, QString* error);

} // namespace dataview
