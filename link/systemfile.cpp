#include "systemfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace instrument {

QString systemReason(int errnoValue)
{
    switch (errnoValue) {
    case ENOSPC: return QStringLiteral("не хватает места на диске");
    case EDQUOT: return QStringLiteral("не хватает места на диске (исчерпана квота)");
    case EACCES:
    case EPERM: return QStringLiteral("доступ запрещён");
    case EROFS: return QStringLiteral("диск доступен только для чтения");
    case ENOENT: return QStringLiteral("нет такого файла или папки");
    case EFBIG: return QStringLiteral("файл слишком большой");
    case EIO: return QStringLiteral("ошибка ввода-вывода");
    case EISDIR: return QStringLiteral("это папка");
    case ENOTDIR: return QStringLiteral("часть пути не папка");
    case EBUSY: return QStringLiteral("устройство занято");
    case ECONNREFUSED: return QStringLiteral("в соединении отказано: на этом порту никто не ждёт соединений");
    default: return QStringLiteral("ошибка системы %1").arg(errnoValue);
    }
}

bool writeAll(int fd, const QByteArray& bytes, int* code)
{
    qsizetype done = 0;
    int idle = 0;
    while (done < bytes.size()) {
        errno = 0;
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *code = errno;
            return false;
        }
        if (n == 0 && ++idle > 1) {
            *code = errno != 0 ? errno : ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

int openError(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

bool readFile(const QString& path, QByteArray* bytes, QString* why)
{
    bytes->clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *why = systemReason(errno);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *why = systemReason(errno);
            ::close(fd);
            return false;
        }
        bytes->append(buf, n);
    }
    ::close(fd);
    return true;
}

bool replaceFile(const QString& path, const QByteArray& bytes, QString* why)
{
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.isSymLink() && info.exists() ? info.canonicalFilePath() : path);
    struct stat old {};
    const bool exists = ::stat(name.constData(), &old) == 0;
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = name + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *why = systemReason(errno);
        return false;
    }
    int code = 0;
    bool ok = (!exists || ::fchmod(fd, old.st_mode & 07777) == 0 || (code = errno, false))
        && writeAll(fd, bytes, &code) && (::fsync(fd) == 0 || (code = errno, false));
    if (::close(fd) != 0 && ok) {
        code = errno;
        ok = false;
    }
    if (ok && ::rename(tempName.constData(), name.constData()) != 0) {
        code = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tempName.constData());
        *why = systemReason(code);
        return false;
    }
    const int dir = ::open(QFile::encodeName(QFileInfo(QFile::decodeName(name)).absolutePath()).constData(),
                           O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace instrument
