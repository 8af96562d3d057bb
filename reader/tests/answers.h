#pragma once
// Readings answers as the instrument sends them, built from their parts.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace readertest {

struct ReadingsAnswer {
    QString mains = QStringLiteral("1");
    QString discrete = QStringLiteral("00");
    QString buffers = QStringLiteral("00");
    QString relaysHigh = QStringLiteral("00");   // relays 9..16
    QString relaysLow = QStringLiteral("00");    // relays 1..8
    // Module 1 channels 1-6, then module 2; each without its ";".
    QStringList fields = QStringList(12, QStringLiteral("001.5"));

    QByteArray bytes() const
    {
        QString r = QStringLiteral("20260101") + mains + discrete + buffers + QStringLiteral("A0B0") + relaysHigh
                    + relaysLow + QStringLiteral("0");
        for (const QString& f : fields)
            r += f + QLatin1Char(';');
        return QStringLiteral("!%1\r\n").arg(r).toLatin1();
    }
};

} // namespace readertest
