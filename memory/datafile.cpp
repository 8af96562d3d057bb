#include "datafile.h"

#include "cp1251.h"
#include "numbers.h"
#include "systemfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace memory {

namespace {

// What the link says of an answer it cannot use.
const QString kBadAnswer = QStringLiteral("Получен ответ неправильного формата");

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

FrameLines frameLines(const QString& answer, const QString& separator)
{
    FrameLines out;
    // The fields are the texts before each ";"; what follows the last ";"
    // (the answer's CR) is none.
    QStringList fields = answer.split(QLatin1Char(';'));
    fields.removeLast();
    if (fields.size() < 10) {
        out.error = QStringLiteral("%1: в ответе %2 полей вместо 10 и более").arg(kBadAnswer).arg(fields.size());
        return out;
    }
    qint32 n = 0;
    if (!instrument::readsAsHex(fields[1]) || !instrument::hexValue(fields[1], &n) || n < 0 || n > 255) {
        out.error = QStringLiteral("%1: число значений \"%2\"").arg(kBadAnswer, fields[1]);
        return out;
    }
    if (fields.size() < 10 + n) {
        out.error = QStringLiteral("%1: в ответе %2 значений из %3").arg(kBadAnswer).arg(fields.size() - 10).arg(n);
        return out;
    }
    QStringList& l = out.lines;
    l.reserve(10 + 3 * n);
    l << quoted(fields[0]);
    l << QString::number(n);
    l << quoted(fields[2] + QLatin1Char(':') + fields[3] + QLatin1Char(':') + fields[4]);
    l << quoted(fields[5] + QLatin1Char('/') + fields[6] + QLatin1Char('/') + fields[7]);
    l << quoted(fields[8]);
    const QString& s = fields[9];
    l << quoted(s.mid(0, 1)) << quoted(s.mid(9, 1)) << quoted(s.mid(10, 2)) << quoted(s.mid(12, 2))
      << quoted(s.mid(14, 8));
    for (int k = 0; k < n; ++k) {
        const QString& v = fields[10 + k];
        QString rest = v.mid(2);
        const int point = rest.indexOf(QLatin1Char('.'));
        if (point >= 0)
            rest.replace(point, 1, separator);
        l << quoted(v.mid(0, 1)) << quoted(v.mid(1, 1)) << quoted(rest);
    }
    out.valid = true;
    return out;
}

QByteArray fileBytes(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines) {
        out += instrument::toCp1251(line);
        out += "\r\n";
    }
    return out;
}

QString checkDataFile(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return QStringLiteral("папка %1 не существует.").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return QStringLiteral("%1 не папка.").arg(QDir::toNativeSeparators(folder.filePath()));
    const QByteArray name = QFile::encodeName(path);
    if (file.exists()) {
        // Opening a pipe or a device would hang or go elsewhere: only a plain file.
        if (!file.isFile())
            return QStringLiteral("%1 не обычный файл, в него кадры не записываются.").arg(QDir::toNativeSeparators(path));
        const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return QStringLiteral("файл %1 не открывается для записи: %2")
                .arg(QDir::toNativeSeparators(path), instrument::systemReason(errno));
        ::close(fd);
        return QString();
    }
    // Create it and take it away again: the only sure test that a file can be
    // made there, and the one that gives the system's reason.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return QStringLiteral("файл %1 не создается: %2").arg(QDir::toNativeSeparators(path), instrument::systemReason(errno));
    ::close(fd);
    ::unlink(name.constData());
    return QString();
}

bool appendToDataFile(const QString& path, const QByteArray& bytes, QString* why)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *why = QStringLiteral("%1 не обычный файл").arg(QDir::toNativeSeparators(path));
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        *why = QStringLiteral("файл %1 не открывается для записи: %2")
                   .arg(QDir::toNativeSeparators(path), instrument::systemReason(errno));
        return false;
    }
    struct stat st {};
    const off_t before = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    int code = 0;
    bool ok = instrument::writeAll(fd, bytes, &code);
    if (!ok && before >= 0) {
        // Leave no half frame behind.
        (void)!::ftruncate(fd, before);
    }
    if (::close(fd) != 0 && ok) {
        code = errno;
        ok = false;
    }
    if (ok)
        return true;
    *why = QStringLiteral("кадр не записан в файл %1: %2").arg(QDir::toNativeSeparators(path), instrument::systemReason(code));
    return false;
}

} // namespace memory
