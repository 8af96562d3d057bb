#pragma once
// The serial port on Qt SerialPort.

#include "serialport.h"

#include <QSerialPort>

namespace instrument {

class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    bool open(const QString& path, const PortSettings& settings, QString* error) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray& bytes, QString* error) override;
    QByteArray readAll() override;
    Wait waitForData(int msecs, bool processEvents, QString* error) override;

private:
    QString lostText() const;
    QSerialPort m_port;
    // What the system said when the line failed during this opening; the
    // port's own error text may still be that of an earlier, harmless call.
    QString m_failure;
    QString m_path; // as the link named it, not shortened as the port shows it
};

} // namespace instrument
