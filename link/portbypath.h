#pragma once
// The port the link opens, chosen by the path that its number stands for: a
// serial device (/dev/ttyUSB0, /dev/serial/by-id/..., COM3), or a serial
// line behind a device server (tcp://HOST:PORT, rfc2217://HOST:PORT).

#include "serialport.h"

#include <memory>

namespace instrument {

class PortByPath : public SerialPort {
public:
    PortByPath();
    ~PortByPath() override;
    void setOpenTimeout(int msecs) override;
    bool open(const QString& path, const PortSettings& settings, QString* error) override;
    void close() override { m_current->close(); }
    bool isOpen() const override { return m_current->isOpen(); }
    bool write(const QByteArray& bytes, QString* error) override { return m_current->write(bytes, error); }
    QByteArray readAll() override { return m_current->readAll(); }
    Wait waitForData(int msecs, bool processEvents, QString* error) override
    {
        return m_current->waitForData(msecs, processEvents, error);
    }
    Wait receive(const Take& take, QString* error) override { return m_current->receive(take, error); }

private:
    std::unique_ptr<SerialPort> m_serial;
    std::unique_ptr<SerialPort> m_network;
    SerialPort* m_current = nullptr;
};

} // namespace instrument
