#include "datareader.h"

#include "cp1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace dataview {

int Value::flagBits() const
{
    const int digit = QStringLiteral("0123456789ABCDEF").indexOf(flags.toUpper());
    return flags.isNull() ? 0 : std::max(digit, 0);
}

QString Value::numberWith(QChar sep) const
{
    QString out = number;
    for (QChar& c : out)
        if (c == QLatin1Char('.') || c == QLatin1Char(','))
            c = sep;
    return out;
}

int DataFile::valueCount() const
{
    int n = 0;
    for (const Frame& f : frames)
        n = std::max(n, int(f.values.size()));
    return n;
}

namespace {

// A whole buffer is about 3 MB; this is well over a hundred of them.
constexpr qint64 kLargestFile = 512LL * 1024 * 1024;

// True when the bytes have a byte above 127 and all of those make up whole
// UTF-8 sequences: a text saved in UTF-8, not in Windows-1251. (Russian
// words in Windows-1251 practically never do.)
bool looksLikeUtf8(const QByteArray& line)
{
    bool multiByte = false;
    for (int i = 0; i < line.size();) {
        const uchar c = uchar(line[i]);
        int more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (i + more >= line.size() && more > 0)
            return false;
        for (int k = 1; k <= more; ++k)
            if ((uchar(line[i + k]) & 0xC0) != 0x80)
                return false;
        multiByte = multiByte || more > 0;
        i += 1 + more;
    }
    return multiByte;
}

// A decimal number as the instrument writes it: sign, digits, one "." or
// ",", exponent. On success its value goes to *value.
bool readNumber(const QString& text, double* value)
{
    int i = 0;
    const int n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128)
        ++i, ++digits;
    if (i < n && (text[i] == QLatin1Char('.') || text[i] == QLatin1Char(','))) {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        int expDigits = 0;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    if (i != n)
        return false;
    QString c = text;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    *value = c.toDouble(&ok);
    return ok;
}

// Up to three whole numbers of one or two digits (a year up to four),
// joined by sep.
bool readTriple(const QString& text, QChar sep, int lastDigits, int out[3])
{
    const QStringList parts = text.split(sep);
    if (parts.size() != 3)
        return false;
    for (int k = 0; k < 3; ++k) {
        const QString& p = parts[k];
        if (p.isEmpty() || p.size() > (k == 2 ? lastDigits : 2))
            return false;
        for (QChar c : p)
            if (c.unicode() < '0' || c.unicode() > '9')
                return false;
        out[k] = p.toInt();
    }
    return true;
}

// Texts longer than this are cut in messages.
QString shown(const QString& text)
{
    return text.size() > 40 ? text.left(40) + QStringLiteral("…") : text;
}

class Parser {
public:
    explicit Parser(const QByteArray& bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_pos >= m_bytes.size(); }
    int lineNumber() const { return m_line; }
    const QString& error() const { return m_error; }

    // The next line's text, or false (with the error set) when the file ends
    // or the line cannot be text of this file.
    bool next(const QString& expected, int frameLine, QString* text)
    {
        ++m_line;
        if (atEnd()) {
            m_error = frameLine == m_line
                ? QStringLiteral("строка %1: файл пуст, а строка должна содержать %2").arg(m_line).arg(expected)
                : QStringLiteral("строка %1: файл кончился посреди кадра, начатого в строке %2; строка должна содержать %3")
                      .arg(m_line).arg(frameLine).arg(expected);
            return false;
        }
        const int end = m_bytes.indexOf('\n', m_pos);
        if (end < 0) {
            m_error = QStringLiteral("строка %1: строка не закончена переводом строки, файл обрезан").arg(m_line);
            return false;
        }
        int stop = end;
        if (stop > m_pos && m_bytes[stop - 1] == '\r')
            --stop;
        const QByteArray line = m_bytes.mid(m_pos, stop - m_pos);
        m_pos = end + 1;
        if (looksLikeUtf8(line)) {
            m_error = QStringLiteral("строка %1: текст в кодировке UTF-8, а файл данных пишется в Windows-1251")
                          .arg(m_line);
            return false;
        }
        *text = instrument::fromCp1251(line);
        return true;
    }

    // The next line as a quoted item, its text without the quotes in *text.
    bool quoted(const QString& expected, int frameLine, QString* text)
    {
        QString line;
        if (!next(expected, frameLine, &line))
            return false;
        if (line.size() < 2 || !line.startsWith(QLatin1Char('"')) || !line.endsWith(QLatin1Char('"')))
            return refuse(expected, line);
        *text = line.mid(1, line.size() - 2);
        return true;
    }

    bool refuse(const QString& expected, const QString& line)
    {
        m_error = QStringLiteral("строка %1 должна содержать %2, а в ней «%3»").arg(m_line).arg(expected, shown(line));
        return false;
    }

private:
    const QByteArray& m_bytes;
    int m_pos = 0;
    int m_line = 0;
    QString m_error;
};

bool readFrame(Parser& p, Frame* f)
{
    const int first = p.lineNumber() + 1;
    f->line = first;
    QString text;
    double number = 0;
    const QString frameNumber = QStringLiteral("номер кадра (число в кавычках)");
    if (!p.quoted(frameNumber, first, &f->number))
        return false;
    if (!readNumber(f->number, &number))
        return p.refuse(frameNumber, QLatin1Char('"') + f->number + QLatin1Char('"'));

    const QString count = QStringLiteral("число значений кадра (от 0 до 255, без кавычек)");
    if (!p.next(count, first, &text))
        return false;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > 255 || text.isEmpty() || !text[0].isDigit())
        return p.refuse(count, text);

    const QString timeItem = QStringLiteral("время кадра «чч:мм:сс» в кавычках");
    int hms[3];
    if (!p.quoted(timeItem, first, &f->timeText))
        return false;
    if (!readTriple(f->timeText, QLatin1Char(':'), 2, hms))
        return p.refuse(timeItem, QLatin1Char('"') + f->timeText + QLatin1Char('"'));
    const QString dateItem = QStringLiteral("дату кадра «дд/мм/гг» в кавычках");
    int dmy[3];
    if (!p.quoted(dateItem, first, &f->dateText))
        return false;
    if (!readTriple(f->dateText, QLatin1Char('/'), 4, dmy))
        return p.refuse(dateItem, QLatin1Char('"') + f->dateText + QLatin1Char('"'));
    // The instrument writes the year in two digits; a clock that was never
    // set may give no real date or time: the frame stays, without a time.
    const QDate date(dmy[2] < 100 ? 2000 + dmy[2] : dmy[2], dmy[1], dmy[0]);
    const QTime time(hms[0], hms[1], hms[2]);
    f->time = date.isValid() && time.isValid() ? QDateTime(date, time, Qt::LocalTime) : QDateTime();

    const QString field9 = QStringLiteral("поле 9 кадра (число в кавычках)");
    if (!p.quoted(field9, first, &f->field9))
        return false;
    if (!readNumber(f->field9, &number))
        return p.refuse(field9, QLatin1Char('"') + f->field9 + QLatin1Char('"'));

    static const int kSliceLength[5] = {1, 1, 2, 2, 8};
    static const char* const kSliceName[5] = {"1", "10", "11-12", "13-14", "15-22"};
    for (int s = 0; s < 5; ++s) {
        const QString item = QStringLiteral("символы %1 поля 10 (не больше %2 в кавычках)")
                                 .arg(QLatin1String(kSliceName[s])).arg(kSliceLength[s]);
        if (!p.quoted(item, first, &f->slices[s]))
            return false;
        if (f->slices[s].size() > kSliceLength[s])
            return p.refuse(item, QLatin1Char('"') + f->slices[s] + QLatin1Char('"'));
    }

    f->values.resize(n);
    for (int k = 0; k < n; ++k) {
        Value& v = f->values[k];
        const QString state = QStringLiteral("состояние значения %1 (один символ в кавычках)").arg(k + 1);
        if (!p.quoted(state, first, &text))
            return false;
        if (text.size() != 1)
            return p.refuse(state, QLatin1Char('"') + text + QLatin1Char('"'));
        v.state = text[0];
        const QString flags = QStringLiteral("флаги значения %1 (один символ в кавычках)").arg(k + 1);
        if (!p.quoted(flags, first, &text))
            return false;
        if (text.size() != 1)
            return p.refuse(flags, QLatin1Char('"') + text + QLatin1Char('"'));
        v.flags = text[0];
        const QString value = QStringLiteral("значение %1 (число в кавычках)").arg(k + 1);
        if (!p.quoted(value, first, &v.number))
            return false;
        if (!readNumber(v.number, &v.value))
            return p.refuse(value, QLatin1Char('"') + v.number + QLatin1Char('"'));
    }
    return true;
}

} // namespace

bool parseDataFile(const QByteArray& bytes, DataFile* out, QString* error)
{
    Parser p(bytes);
    QList<Frame> frames;
    do {
        Frame f;
        if (!readFrame(p, &f)) {
            *error = p.error();
            return false;
        }
        frames.append(std::move(f));
    } while (!p.atEnd());
    out->frames = std::move(frames);
    return true;
}

bool readDataFile(const QString& path, DataFile* out, QString* error)
{
    // A pipe or a device would block the reading or never end; a file far
    // larger than any number of whole buffers is no data file.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1 не обычный файл").arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (info.size() > kLargestFile) {
        *error = QStringLiteral("файл %1 слишком велик для файла данных (%2 байт)")
                     .arg(QDir::toNativeSeparators(path)).arg(info.size());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("файл %1 не открывается: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("файл %1 не читается: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    DataFile read;
    if (!parseDataFile(bytes, &read, error)) {
        *error = QStringLiteral("файл %1, %2").arg(QDir::toNativeSeparators(path), *error);
        return false;
    }
    read.path = path;
    *out = std::move(read);
    return true;
}

} // namespace dataview
