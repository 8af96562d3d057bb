#include "serialport.h"

#include <QStringList>

namespace instrument {

bool PortSettings::parse(const QString& text, PortSettings* out, QString* why)
{
    const QStringList parts = text.split(QLatin1Char(','));
    const auto fail = [&] {
        *why = QStringLiteral("Недопустимое значение свойства Settings: \"%1\"").arg(text);
        return false;
    };
    if (parts.size() != 4)
        return fail();
    PortSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return fail();
    const QString parity = parts[1].trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NEOMS").contains(parity))
        return fail();
    s.parity = parity.at(0).toLatin1();
    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return fail();
    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBitsTimesTwo = 2;
    else if (stop == QLatin1String("1.5"))
        s.stopBitsTimesTwo = 3;
    else if (stop == QLatin1String("2"))
        s.stopBitsTimesTwo = 4;
    else
        return fail();
    *out = s;
    return true;
}

SerialPort::Wait SerialPort::receive(const Take& take, QString* error)
{
    for (Want w = take(readAll()); !w.done; w = take(readAll()))
        if (w.waitMs > 0 && waitForData(w.waitMs, w.processEvents, error) == Wait::Lost)
            return Wait::Lost;
    return Wait::Data;
}

} // namespace instrument
