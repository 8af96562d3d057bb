#pragma once
// The frame data file: a text file of one item a line, Windows-1251, lines
// ended by CR LF, frames appended one after another. A frame of n measured
// values gives 10 + 3n lines:
//   field 1 (quoted), n (decimal, unquoted), "hh:mm:ss", "dd/mm/yy",
//   field 9, and five slices of field 10 (character 1, 10, 11-12, 13-14,
//   15-22), each quoted; then for every value its first character, its
//   second character and the rest with the first "." made the locale's
//   decimal separator, each quoted.
//
// The file only ever holds whole frames: a frame's lines go out in one
// write and are flushed, and a write that fails cuts the file back to where
// the frame began. What is in the file already is never touched.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace memory {

// The lines of one frame, or why the answer cannot give them.
struct FrameLines {
    bool valid = false;
    QStringList lines;
    QString error;
};

// answer: the frame command's answer after "!" (its CR may follow the last
// field). separator: the locale's decimal separator. An answer with fewer
// than ten fields, a count (field 2) that is not a hexadecimal number from 0
// to 255, or fewer value fields than the count announces gives no lines.
// A field 10 shorter than 22 characters gives its five lines with what is
// there.
FrameLines frameLines(const QString& answer, const QString& separator);

// The bytes of lines as the file holds them.
QByteArray fileBytes(const QStringList& lines);

// Empty when frames can be appended to path; otherwise a message naming the
// path and the system's reason (a missing folder, no write access, a name
// that is not a plain file). Nothing is left behind by the check.
QString checkDataFile(const QString& path);

// Appends bytes to the file at path in one write and flushes it. On failure
// the file is cut back to its length before, and *why says what happened.
bool appendToDataFile(const QString& path, const QByteArray& bytes, QString* why);

} // namespace memory
