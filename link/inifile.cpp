#include "inifile.h"

#include "cp1251.h"
#include "systemfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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


// How long a write waits for another program that is writing the same file.
constexpr int kLockWaitMs = 5000;

QString failure(const QString& path, const QString& why)
{
    return QStringLiteral("Не удалось записать файл %1: %2")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), why);
}

// The lock beside the file that one write holds from its read to its
// replace. It is a lock of the system's, which goes with the process that
// held it: a writer that was killed leaves at most an unlocked file, which
// the next writer takes over at once.
class WriteLock {
public:
    ~WriteLock()
    {
        if (m_fd < 0)
            return;
        // Removed while still held; a writer that opened it meanwhile sees
        // that the name no longer leads to what it locked and starts over.
        ::unlink(m_path.constData());
        ::close(m_fd);
    }

    // False with the reason in *why when the lock cannot be made, or another
    // program keeps it longer than a write takes.
    bool acquire(const QString& path, QString* why)
    {
        m_path = QFile::encodeName(path);
        QElapsedTimer waited;
        waited.start();
        int pauseMs = 1;
        for (;;) {
            const int fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) {
                *why = QStringLiteral("не удалось создать файл блокировки %1 (%2)")
                           .arg(QDir::toNativeSeparators(path), systemReason(errno));
                return false;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                struct stat held {}, named {};
                if (::fstat(fd, &held) == 0 && ::stat(m_path.constData(), &named) == 0 && held.st_dev == named.st_dev
                    && held.st_ino == named.st_ino) {
                    m_fd = fd;
                    return true;
                }
                ::close(fd); // the holder before us removed it: take the new one
                continue;
            }
            const int code = errno;
            ::close(fd);
            if (code != EWOULDBLOCK && code != EINTR) {
                *why = QStringLiteral("не удалось заблокировать файл %1 (%2)")
                           .arg(QDir::toNativeSeparators(path), systemReason(code));
                return false;
            }
            if (waited.elapsed() >= kLockWaitMs) {
                *why = QStringLiteral("его записывает другая программа (файл %1 занят)").arg(QDir::toNativeSeparators(path));
                return false;
            }
            // A live writer holds the lock for a few milliseconds.
            QThread::msleep(pauseMs);
            pauseMs = std::min(pauseMs * 2, 50);
        }
    }

private:
    QByteArray m_path;
    int m_fd = -1;
};

// The whole file as it is now. A file that does not exist is empty; one that
// exists but cannot be read whole is an error, never taken for empty.
bool readWhole(const QString& path, QByteArray* bytes, bool* exists, mode_t* mode, QString* why)
{
    bytes->clear();
    *exists = false;
    const QByteArray name = QFile::encodeName(path);
    // Not blocking, so that a pipe of that name cannot hold the write up.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        *why = QStringLiteral("его не удалось прочитать (%1), он оставлен как был").arg(systemReason(errno));
        return false;
    }
    *exists = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int code = errno;
        ::close(fd);
        *why = QStringLiteral("его не удалось прочитать (%1), он оставлен как был").arg(systemReason(code));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        *why = S_ISDIR(st.st_mode) ? QStringLiteral("под этим именем папка")
                                   : QStringLiteral("под этим именем не обычный файл");
        return false;
    }
    *mode = st.st_mode & 07777;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            *why = QStringLiteral("его не удалось прочитать (%1), он оставлен как был").arg(systemReason(code));
            return false;
        }
        bytes->append(buf, n);
    }
    ::close(fd);
    return true;
}

// Puts bytes in place of the file at path: a new file beside it, written
// whole and synced, then renamed over it, so that the file is always the old
// one or the new one, whenever the writer is stopped.
bool replaceWhole(const QString& path, const QByteArray& bytes, bool exists, mode_t mode, QString* why)
{
    const QByteArray name = QFile::encodeName(path);
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = name + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *why = QStringLiteral("не удалось создать временный файл рядом с ним (%1), он оставлен как был")
                   .arg(systemReason(errno));
        return false;
    }
    auto fail = [&](int code) {
        ::close(fd);
        ::unlink(tempName.constData());
        *why = QStringLiteral("не удалось записать его новую копию (%1), он оставлен как был").arg(systemReason(code));
        return false;
    };
    if (exists && ::fchmod(fd, mode) != 0)
        return fail(errno);
    int code = 0;
    if (!writeAll(fd, bytes, &code))
        return fail(code);
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        fd = -1;
        const int code = errno;
        ::unlink(tempName.constData());
        *why = QStringLiteral("не удалось записать его новую копию (%1), он оставлен как был").arg(systemReason(code));
        return false;
    }
    if (::rename(tempName.constData(), name.constData()) != 0) {
        const int code = errno;
        ::unlink(tempName.constData());
        *why = QStringLiteral("не удалось записать его новую копию (%1), он оставлен как был").arg(systemReason(code));
        return false;
    }
    // The new name itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

// Calls f(key, value) for the keys of the first section of that name, in
// order, while it returns true.
template <class F>
void forEachKey(const QString& path, const QString& section, F f)
{
    bool inSection = false;
    for (const Line& line : splitLines(readAll(path))) {
        const QString name = sectionName(line.text);
        if (!name.isNull()) {
            if (inSection)
                break; // the first section of that name is the one read
            inSection = sameName(name, section.trimmed());
            continue;
        }
        QString k, v;
        if (inSection && keyValue(line.text, &k, &v) && !f(k, v.left(kMaxValueLength)))
            return;
    }
}

QString read(const QString& path, const QString& section, const QString& key, const QString& fallback)
{
    QString found = fallback;
    forEachKey(path, section, [&](const QString& k, const QString& v) {
        if (!sameName(k, key.trimmed()))
            return true;
        found = v;
        return false;
    });
    return found;
}

QList<QPair<QString, QString>> readSection(const QString& path, const QString& section)
{
    QList<QPair<QString, QString>> keys;
    forEachKey(path, section, [&](const QString& k, const QString& v) {
        keys.append({k, v});
        return true;
    });
    return keys;
}

bool write(const QString& path, const QString& section, const QString& key, const QString& value, QString* error)
{
    QString why;
    auto refuse = [&] {
        if (error)
            *error = failure(path, why);
        return false;
    };
    // A link to the file is followed: the file it leads to is replaced.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists())
        target = info.canonicalFilePath();

    WriteLock lock;
    if (!lock.acquire(path + QStringLiteral(".lock"), &why))
        return refuse();

    QByteArray old;
    bool exists = false;
    mode_t mode = 0;
    if (!readWhole(target, &old, &exists, &mode, &why))
        return refuse();
    // Under the lock, a temporary file beside this one is what a writer that
    // was stopped half-way left behind.
    const QFileInfo targetInfo(target);
    const QDir folder = targetInfo.absoluteDir();
    for (const QString& stale : folder.entryList({targetInfo.fileName() + QStringLiteral(".tmp*")}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(stale));

    QList<Line> lines = splitLines(old);
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

    if (!replaceWhole(target, out, exists, mode, &why))
        return refuse();
    if (error)
        error->clear();
    return true;
}

} // namespace ini
} // namespace instrument
