#include "csvexport.h"

#include <QDir>
#include <QIODevice>
#include <QSaveFile>

namespace dataview {

namespace {

// A cell as RFC 4180 has it: quoted, with its quotes doubled, when it holds
// the separator, a quote or a line end.
QString cell(const QString& text, QChar sep)
{
    if (!text.contains(sep) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString q = text;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace

bool writeCsv(const DataFile& data, QIODevice& out, CsvStyle style, QString* error)
{
    const bool excel = style == CsvStyle::Excel;
    const QChar sep = excel ? QLatin1Char(';') : QLatin1Char(',');
    const QChar point = excel ? QLatin1Char(',') : QLatin1Char('.');
    const int n = data.valueCount();

    QByteArray bytes;
    if (excel)
        bytes += "\xEF\xBB\xBF";
    QStringList row{QStringLiteral("Кадр"), QStringLiteral("Дата и время")};
    for (int k = 1; k <= n; ++k)
        row << QStringLiteral("Значение %1").arg(k) << QStringLiteral("Состояние %1").arg(k);
    bytes += row.join(sep).toUtf8() + "\r\n";

    const QString timeFormat = excel ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    for (const Frame& f : data.frames) {
        row.clear();
        row << cell(f.number, sep) << (f.time.isValid() ? f.time.toString(timeFormat) : QString());
        for (int k = 0; k < n; ++k) {
            if (k < f.values.size()) {
                const Value& v = f.values[k];
                row << cell(v.numberWith(point), sep) << cell(QString(v.state) + v.flags, sep);
            } else {
                row << QString() << QString();
            }
        }
        bytes += row.join(sep).toUtf8() + "\r\n";
    }
    if (out.write(bytes) != bytes.size()) {
        *error = QStringLiteral("CSV не записан: %1").arg(out.errorString());
        return false;
    }
    return true;
}

bool saveCsv(const DataFile& data, const QString& path, CsvStyle style, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("файл %1 не открывается для записи: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    QString why;
    if (!writeCsv(data, file, style, &why) || !file.commit()) {
        *error = QStringLiteral("файл %1 не записан: %2")
                     .arg(QDir::toNativeSeparators(path), why.isEmpty() ? file.errorString() : why);
        return false;
    }
    return true;
}

} // namespace dataview
