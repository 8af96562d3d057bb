#pragma once
// The text files of the display texts: INI form, Windows-1251, one section
// per channel ("CHANNEL1" .. "CHANNEL12") with the unit under "UofM" and the
// measured quantity under "TEXT".

#include <QList>
#include <QString>

namespace instrument {
class Dev;
}

namespace text {

constexpr int kChannels = 12;

inline const QString kUnitKey = QStringLiteral("UofM");
inline const QString kTextKey = QStringLiteral("TEXT");
// "CHANNEL" and the channel number n (1..12).
QString sectionName(int n);

// The texts of one channel.
struct ChannelTexts {
    QString text;
    QString unit;
};

// The value as the file holds it. The settings reader trims values, so a
// value with blanks at either end (a centred text) is put in double quotes,
// and so is one that is itself enclosed in quotes, which the reader would
// take off.
QString quoted(const QString& value);
// The value as read: one enclosing pair of double or single quotes is taken
// off, as the Windows profile functions do.
QString unquoted(const QString& value);

// The path a file name stands for: a name without a folder is taken in the
// program folder.
QString resolvePath(const QString& fileName);

// True when bytes are text in UTF-8 that is not plain ASCII (a file saved by
// an editor that does not write Windows-1251).
bool looksLikeUtf8(const QByteArray& bytes);

// What a file's bytes say of its encoding when they are plainly not
// Windows-1251 text: "UTF-16" for a UTF-16 byte-order mark or NUL bytes,
// "UTF-8" for a UTF-8 byte-order mark or UTF-8 text that is not plain
// ASCII; empty otherwise.
QString foreignEncoding(const QByteArray& bytes);

// True when the file at path can be put in place (writeTextFile's way): a
// folder that exists and takes a new file, and no read-only file or folder
// at path. False with *problem naming the file and the reason.
bool checkWritable(const QString& path, QString* problem);

// Reads all twelve channels of the file at path before anything is sent: the
// file must exist, be readable and be Windows-1251, and every channel must
// have both keys, no value longer than its field (textLength, unitLength
// characters) and no character Windows-1251 cannot hold. False with a
// message saying what is wrong or missing.
bool readTextFile(const instrument::Dev& dev, const QString& path, int textLength, int unitLength,
                  QList<ChannelTexts>* channels, QString* problem);

// Puts the twelve channels into the file at path in one step: a copy of the
// old file (other sections and keys kept) gets the new values, then replaces
// it. On failure the old file stays as it was and *problem names the file and
// the reason.
bool writeTextFile(const instrument::Dev& dev, const QString& path, const QList<ChannelTexts>& channels,
                   QString* problem);

} // namespace text
