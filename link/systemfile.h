#pragma once
// The system's reasons in the user's language, and the few file operations
// whose failures must be told with them: Qt names a reason only in English,
// and after a short write often as "Unknown error".

#include <QByteArray>
#include <QString>

namespace instrument {

// The Russian text of a system error number (errno): "не хватает места на
// диске", "доступ запрещён", ... and "ошибка системы N" for the rest.
QString systemReason(int errnoValue);

// Writes all of bytes to fd, going on after an interruption or a short
// write. False when the system refuses the rest, with its error number in
// *code: a short write is followed by a write of the rest, whose refusal
// says why (a write that takes nothing and says nothing counts as a full disk).
bool writeAll(int fd, const QByteArray& bytes, int* code);

// The error number of opening path with the open(2) flags, found by trying
// it directly (after a Qt open failed); 0 when that try succeeds.
int openError(const QString& path, int flags);

// The whole of the file at path; false with the system's reason in *why.
bool readFile(const QString& path, QByteArray* bytes, QString* why);

// Puts bytes in place of the file at path: a new file beside it, written
// whole and synced, then renamed over it (keeping an existing file's
// permissions; a link is followed to its file), so the file is always the
// old one or the new one. On failure
// the file is as it was and *why holds the system's reason.
bool replaceFile(const QString& path, const QByteArray& bytes, QString* why);

} // namespace instrument
