#pragma once
// The map's link over the suite's link (LinkCore, so Dev as well), for the
// windows and the command-line program: every call goes to the link given,
// the module to its bModuleNumber.

#include "link.h"

namespace instrument {
class LinkCore;
}

namespace instrument::map {

class DevLink : public Link {
public:
    explicit DevLink(instrument::LinkCore& dev) : m_dev(dev) {}

    QString sCOMPort(quint8 command, const QString& adrr, const QString& value) override;
    QString sSendCommand(qint16 command, const QString& par1, const QString& par2, QString* error) override;
    QString sWriteAndRead(quint8 command, const QString& adrr, const QString& value) override;
    QString sWriteToFlash(quint8 command, qint16 adrr, const QString& value) override;
    void setModule(quint8 module) override;
    QString decimalSeparator() const override;
    int exponentDigits() const override;

private:
    instrument::LinkCore& m_dev;
};

// The keys of "dev.dat" as the link reads them, for Map's constructor.
KeyReader devKeys(const instrument::LinkCore& dev);

} // namespace instrument::map
