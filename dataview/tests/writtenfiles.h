#pragma once
// Data files as Memory writes them: frame answers of the instrument turned
// into lines by Memory's own writer (memory/datafile.*) and appended to a file.

#include "datafile.h"

#include <QDateTime>
#include <QStringList>
#include <QtTest>

namespace datatest {

// The answer to the frame command (after "!") for frame number at time t:
// nine numbers, field 10, then count values. Value k of frame f cycles
// through normal readings, a setpoint, a sensor break and a negative one.
inline QString frameAnswer(int number, const QDateTime& t, int count, const QString& field10 = QString())
{
    QString a = QStringLiteral("%1;%2;%3;1;%4;").arg(QString::number(number), QString::number(count, 16),
        t.toString(QStringLiteral("hh;mm;ss;dd;MM;yy")), field10.isEmpty() ? QStringLiteral("1000000002A3B0C11110000") : field10);
    static const char* const kFields[] = {"00%1.5", "01+%1.25", "14%1.0", "00-%1", "0A%1.75e1"};
    for (int k = 0; k < count; ++k)
        a += QString::fromLatin1(kFields[(number + k) % 5]).arg(10 * k + number % 7) + QLatin1Char(';');
    return a;
}

// frames answers from frame first on, one every ten seconds from t0.
inline QStringList run(int first, int frames, int count, const QDateTime& t0)
{
    QStringList answers;
    for (int f = 0; f < frames; ++f)
        answers << frameAnswer(first + f, t0.addSecs(10 * f), count);
    return answers;
}

// Appends the answers' frames to path with Memory's writer.
inline void writeFrames(const QString& path, const QStringList& answers, const QString& separator)
{
    for (const QString& a : answers) {
        const memory::FrameLines lines = memory::frameLines(a, separator);
        QVERIFY2(lines.valid, qPrintable(lines.error));
        QString why;
        QVERIFY2(memory::appendToDataFile(path, memory::fileBytes(lines.lines), &why), qPrintable(why));
    }
}

inline QDateTime someTime()
{
    return QDateTime(QDate(2026, 3, 28), QTime(23, 58, 0), Qt::LocalTime);
}

} // namespace datatest
