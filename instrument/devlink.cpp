#include "devlink.h"

#include "linkcore.h"

namespace instrument::map {

QString DevLink::sCOMPort(quint8 command, const QString& adrr, const QString& value)
{
    return m_dev.sCOMPort(command, adrr, value);
}

QString DevLink::sSendCommand(qint16 command, const QString& par1, const QString& par2, QString* error)
{
    const QString answer = m_dev.sSendCommand(command, par1, par2);
    if (error)
        *error = m_dev.COMError != 0 ? m_dev.sErrorMsg : QString();
    return answer;
}

QString DevLink::sWriteAndRead(quint8 command, const QString& adrr, const QString& value)
{
    return m_dev.sWriteAndRead(command, adrr, value);
}

QString DevLink::sWriteToFlash(quint8 command, qint16 adrr, const QString& value)
{
    return m_dev.sWriteToFlash(command, adrr, value);
}

void DevLink::setModule(quint8 module)
{
    m_dev.bModuleNumber = module;
}

QString DevLink::decimalSeparator() const
{
    return m_dev.sFloatingPointSeparator;
}

int DevLink::exponentDigits() const
{
    return m_dev.NOfDigits;
}

KeyReader devKeys(const instrument::LinkCore& dev)
{
    return [&dev](const QString& s, const QString& k, const QString& f) { return dev.sGetINI(s, k, f); };
}

} // namespace instrument::map
