#include "textfile.h"

#include "displaytext.h"
#include "dev.h"
#include "programfolder.h"
#include "systemfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace text {

namespace {

// What the settings reader hands back for a key the file lacks: no value can
// hold a line end.
const QString kMissing = QStringLiteral("\n");

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

bool enclosedInQuotes(const QString& v)
{
    return v.size() >= 2 && isQuote(v.front()) && v.back() == v.front();
}

QString quotedPath(const QString& path)
{
    return QStringLiteral("«%1»").arg(QDir::toNativeSeparators(path));
}

// One key into the file; false, with the reason, when it did not land.
bool writeKey(const instrument::Dev& dev, const QString& file, const QString& shownPath, const QString& section,
              const QString& key, const QString& value, QString* problem)
{
    if (dev.sWriteINIA(file, section, key, quoted(value)))
        return true;
    *problem = QStringLiteral("файл %1 не записан (ключ %2 раздела [%3]): %4; файл остался прежним")
                   .arg(quotedPath(shownPath), key, section, dev.iniWriteError());
    return false;
}

} // namespace

QString sectionName(int n)
{
    return QStringLiteral("CHANNEL%1").arg(n);
}

QString quoted(const QString& value)
{
    if (value.isEmpty())
        return value;
    if (value.front().isSpace() || value.back().isSpace() || enclosedInQuotes(value))
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

QString unquoted(const QString& value)
{
    return enclosedInQuotes(value) ? value.mid(1, value.size() - 2) : value;
}

QString resolvePath(const QString& fileName)
{
    if (fileName.trimmed().isEmpty())
        return QString();
    if (QFileInfo(fileName).isAbsolute())
        return fileName;
    return QDir(instrument::programFolder()).filePath(fileName);
}

bool looksLikeUtf8(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return true;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes);
    Q_UNUSED(decoded);
    return !utf8.hasError();
}

QString foreignEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0'))
        return QStringLiteral("UTF-16");
    if (looksLikeUtf8(bytes))
        return QStringLiteral("UTF-8");
    return QString();
}

bool checkWritable(const QString& path, QString* problem)
{
    auto fail = [&](const QString& reason) {
        *problem = QStringLiteral("файл %1 не может быть записан: %2").arg(quotedPath(path), reason);
        return false;
    };
    if (path.trimmed().isEmpty()) {
        *problem = QStringLiteral("не задано имя файла текстов");
        return false;
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("это не файл"));
    // The permissions as the file holds them: a file marked read-only is
    // not replaced, whoever runs the program.
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        return fail(QStringLiteral("файл только для чтения"));
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return fail(QStringLiteral("папка %1 не существует").arg(quotedPath(folder.filePath())));
    if (!folder.isDir())
        return fail(QStringLiteral("%1 не папка").arg(quotedPath(folder.filePath())));
    // The folder must take the new file: a file made there and removed again.
    const QString probe = QDir(folder.filePath())
                              .filePath(QStringLiteral(".%1.%2").arg(info.fileName())
                                            .arg(QRandomGenerator::global()->generate(), 0, 36));
    const QByteArray name = QFile::encodeName(probe);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(instrument::systemReason(errno));
    ::close(fd);
    ::unlink(name.constData());
    return true;
}

bool readTextFile(const instrument::Dev& dev, const QString& path, int textLength, int unitLength,
                  QList<ChannelTexts>* channels, QString* problem)
{
    const QString nothingSent = QStringLiteral("; в прибор ничего не записано");
    if (path.trimmed().isEmpty()) {
        *problem = QStringLiteral("не задано имя файла текстов") + nothingSent;
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        *problem = QStringLiteral("файл %1 не найден").arg(quotedPath(path)) + nothingSent;
        return false;
    }
    if (!info.isFile()) {
        *problem = QStringLiteral("%1 не файл").arg(quotedPath(path)) + nothingSent;
        return false;
    }
    QByteArray bytes;
    QString why;
    if (!instrument::readFile(path, &bytes, &why)) {
        *problem = QStringLiteral("файл %1 не читается: %2").arg(quotedPath(path), why) + nothingSent;
        return false;
    }
    const QString encoding = foreignEncoding(bytes);
    if (!encoding.isEmpty()) {
        *problem = QStringLiteral("файл %1 не в кодировке Windows-1251 (похоже, %2), а тексты прибора хранятся в "
                                  "Windows-1251; сохраните файл в кодировке Windows-1251")
                       .arg(quotedPath(path), encoding)
                   + nothingSent;
        return false;
    }

    QStringList missing;
    QStringList faults;
    QList<ChannelTexts> read;
    for (int n = 1; n <= kChannels; ++n) {
        const QString section = sectionName(n);
        ChannelTexts ch;
        const struct {
            const QString& key;
            int length;
            QString* value;
        } keys[] = {{kTextKey, textLength, &ch.text}, {kUnitKey, unitLength, &ch.unit}};
        for (const auto& k : keys) {
            const QString raw = dev.sGetINIA(path, section, k.key, kMissing);
            if (raw == kMissing) {
                missing << QStringLiteral("[%1] %2").arg(section, k.key);
                continue;
            }
            *k.value = unquoted(raw);
            const QString bad = instrument::map::unencodable(*k.value);
            if (!bad.isEmpty())
                faults << QStringLiteral("[%1] %2: символ %3 не может быть записан в прибор")
                              .arg(section, k.key, bad);
            else if (k.value->size() > k.length)
                faults << QStringLiteral("[%1] %2: «%3» длиннее %4 символов")
                              .arg(section, k.key, *k.value)
                              .arg(k.length);
        }
        read << ch;
    }
    if (missing.size() == 2 * kChannels) {
        *problem = QStringLiteral("в файле %1 нет текстов каналов (разделы [CHANNEL1] .. [CHANNEL12], "
                                  "ключи %2 и %3)")
                       .arg(quotedPath(path), kTextKey, kUnitKey)
                   + nothingSent;
        return false;
    }
    if (!missing.isEmpty() || !faults.isEmpty()) {
        QStringList parts;
        if (!missing.isEmpty())
            parts << QStringLiteral("в файле %1 нет ключей: %2").arg(quotedPath(path), missing.join(QStringLiteral(", ")));
        if (!faults.isEmpty())
            parts << QStringLiteral("в файле %1: %2").arg(quotedPath(path), faults.join(QStringLiteral("; ")));
        *problem = parts.join(QStringLiteral("; ")) + nothingSent;
        return false;
    }
    *channels = read;
    return true;
}

bool writeTextFile(const instrument::Dev& dev, const QString& path, const QList<ChannelTexts>& channels,
                   QString* problem)
{
    const QFileInfo info(path);
    auto fail = [&](const QString& reason) {
        *problem = QStringLiteral("файл %1 не записан: %2").arg(quotedPath(path), reason);
        return false;
    };
    if (path.trimmed().isEmpty()) {
        *problem = QStringLiteral("не задано имя файла текстов");
        return false;
    }
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("это не файл"));

    // Other sections and keys of an existing file are kept.
    QByteArray old;
    QString why;
    if (info.exists() && !instrument::readFile(path, &old, &why))
        return fail(why);

    // The keys go into a copy beside the file, which then takes its place
    // whole, so a failure half-way leaves the file as it was.
    const QString workPath = QDir(info.absolutePath())
                                 .filePath(QStringLiteral(".%1.%2").arg(info.fileName())
                                               .arg(QRandomGenerator::global()->generate(), 0, 36));
    struct RemoveWork {
        const QString& path;
        ~RemoveWork() { QFile::remove(path); }
    } removeWork{workPath};
    if (!instrument::replaceFile(workPath, old, &why))
        return fail(why);

    for (int n = 1; n <= channels.size(); ++n) {
        const QString section = sectionName(n);
        if (!writeKey(dev, workPath, path, section, kUnitKey, channels[n - 1].unit, problem)
            || !writeKey(dev, workPath, path, section, kTextKey, channels[n - 1].text, problem))
            return false;
    }

    QByteArray bytes;
    if (!instrument::readFile(workPath, &bytes, &why) || !instrument::replaceFile(path, bytes, &why))
        return fail(why);
    return true;
}

} // namespace text
