#include "inifile.h"

#include "cp1251.h"

#include <QFile>
#include <QLockFile>
#include <QSaveFile>

namespace instrument {
namespace ini {

namespace {

struct Line {
    QString text;       // without its terminator
    QByteArray ending;  // "\r\n", "\n" or empty for a last line without one
};

QList<Line> splitLines(const QByteArray& bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype nl = bytes.indexOf('\n', start);
        if (nl < 0) {
            lines.append({fromCp1251(bytes.mid(start)), {}});
            break;
        }
        qsizetype end = nl;
        QByteArray ending("\n");
        if (end > start && bytes.at(end - 1) == '\r') {
            --end;
            ending = "\r\n";
        }
        lines.append({fromCp1251(bytes.mid(start, end - start)), ending});
        start = nl + 1;
    }
    return lines;
}

// The section name of a "[name]" line, or a null string for other lines.
QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return QString();
    const int close = t.indexOf(QLatin1Char(']'));
    const QString name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    return name.isNull() ? QStringLiteral("") : name;
}

bool isComment(const QString& line)
{
    return line.trimmed().startsWith(QLatin1Char(';'));
}

// Splits a "key=value" line; false for lines that hold no key.
bool keyValue(const QString& line, QString* key, QString* value)
{
    if (isComment(line) || !sectionName(line).isNull())
        return false;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

QString read(const QString& path, const QString& section, const QString& key, const QString& fallback)
{
    const QList<Line> lines = splitLines(readAll(path));
    bool inSection = false;
    for (const Line& line : lines) {
        const QString name = sectionName(line.text);
        if (!name.isNull()) {
            if (inSection)
                break; // the first section of that name is the one read
            inSection = sameName(name, section.trimmed());
            continue;
        }
        QString k, v;
        if (inSection && keyValue(line.text, &k, &v) && sameName(k, key.trimmed()))
            return v.left(kMaxValueLength);
    }
    return fallback;
}

bool write(const QString& path, const QString& section, const QString& key, const QString& value)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000))
        return false;

    QList<Line> lines = splitLines(readAll(path));
    QByteArray newline("\r\n");
    if (!lines.isEmpty() && lines.first().ending == "\n")
        newline = "\n";

    const QString wantSection = section.trimmed();
    const QString wantKey = key.trimmed();
    int sectionAt = -1;
    int lastKeyAt = -1; // last line of the section that is not blank
    bool done = false;
    for (int i = 0; i < lines.size() && !done; ++i) {
        const QString name = sectionName(lines[i].text);
        if (!name.isNull()) {
            if (sectionAt >= 0)
                break;
            if (sameName(name, wantSection)) {
                sectionAt = i;
                lastKeyAt = i;
            }
            continue;
        }
        if (sectionAt < 0)
            continue;
        QString k;
        if (keyValue(lines[i].text, &k, nullptr) && sameName(k, wantKey)) {
            // Keep the key as the file spells it.
            const int eq = lines[i].text.indexOf(QLatin1Char('='));
            lines[i].text = lines[i].text.left(eq).trimmed() + QLatin1Char('=') + value;
            done = true;
        } else if (!lines[i].text.trimmed().isEmpty()) {
            lastKeyAt = i;
        }
    }
    if (!done) {
        if (!lines.isEmpty() && lines.last().ending.isEmpty())
            lines.last().ending = newline;
        const Line keyLine{wantKey + QLatin1Char('=') + value, newline};
        if (sectionAt >= 0) {
            lines.insert(lastKeyAt + 1, keyLine);
        } else {
            lines.append({QLatin1Char('[') + wantSection + QLatin1Char(']'), newline});
            lines.append(keyLine);
        }
    }

    QByteArray out;
    for (const Line& line : lines)
        out += toCp1251(line.text) + line.ending;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace ini
} // namespace instrument
