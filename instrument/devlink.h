#pragma once
// The map's link over the suite's link Dev, for the windows: every call goes
// to the Dev given, the module to its bModuleNumber.

#include "link.h"

namespace instrument {
class Dev;
}

namespace instrument::map {

class DevLink : public Link {
public:
    explicit DevLink(instrument::Dev& dev) : m_dev(dev) {}

    QString sCOMPort(quint8 command, const QString& adrr, const QString& value) override;
    QString sSendCommand(qint16 command, const QString& par1, const QString& par2, QString* error) override;
    QString sWriteAndRead(quint8 command, const QString& adrr, const QString& value) override;
    QString sWriteToFlash(quint8 command, qint16 adrr, const QString& value) override;
    void setModule(quint8 module) override;
    QString decimalSeparator() const override;
    int exponentDigits() const override;

private:
    instrument::Dev& m_dev;
};

// The keys of "dev.dat" as the Dev reads them, for Map's constructor.
KeyReader devKeys(const instrument::Dev& dev);

} // namespace instrument::map
