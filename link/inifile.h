#pragma once
// INI files with the semantics of the Windows profile functions: sections and
// keys matched without regard to case, values trimmed, at most 254 characters
// returned, writes that keep every other line as it was. Files are
// Windows-1251 text. A write takes a lock beside the file, reads it again,
// changes the one key and replaces the file atomically, so two programs that
// write keys of the same file at once both land and a crash never leaves a
// half-written file. A file that exists but cannot be read whole is never
// taken for an empty one: the write is refused and the file left as it was.

#include <QList>
#include <QPair>
#include <QString>

namespace instrument {

namespace ini {

// The longest value the profile functions hand back.
constexpr int kMaxValueLength = 254;

QString read(const QString& path, const QString& section, const QString& key, const QString& fallback);
// Every key of the section with its value, in the file's order, as read
// gives them one by one.
QList<QPair<QString, QString>> readSection(const QString& path, const QString& section);
// True when the key was written. On false the file is as it was, and *error
// (when given) holds one sentence for the user naming the file's full path
// and the reason, e.g. "Не удалось записать файл /x/dev.dat: ... (доступ запрещён) ...".
bool write(const QString& path, const QString& section, const QString& key, const QString& value,
           QString* error = nullptr);

} // namespace ini
} // namespace instrument
