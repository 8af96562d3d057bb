#pragma once
// The frames of a data file as CSV, one row a frame: frame number, date and
// time (ISO 8601), then for each value its number and its state (the state
// character and the flag digit). A header row names the columns; a frame
// with fewer values than the widest one leaves its last cells empty.

#include "datareader.h"

class QIODevice;

namespace dataview {

enum class CsvStyle {
    // RFC 4180: "," between cells, "." in numbers, UTF-8, CR LF.
    Standard,
    // What a spreadsheet set to Russian opens directly: ";" between cells,
    // "," in numbers, UTF-8 with a byte-order mark, the date and time with a
    // blank instead of "T".
    Excel,
};

// Writes data to out (open for writing). On failure *error says why and the
// answer is false.
bool writeCsv(const DataFile& data, QIODevice& out, CsvStyle style, QString* error);

// Writes data to the file at path: the file is replaced only when the whole
// CSV was written; on failure what was there stays.
bool saveCsv(const DataFile& data, const QString& path, CsvStyle style, QString* error);

} // namespace dataview
