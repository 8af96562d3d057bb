#include "portbypath.h"

#include "qtserialport.h"
#include "tcpport.h"

namespace instrument {

PortByPath::PortByPath()
    : m_serial(std::make_unique<QtSerialPort>())
    , m_network(std::make_unique<TcpPort>())
    , m_current(m_serial.get())
{
}

PortByPath::~PortByPath() = default;

void PortByPath::setOpenTimeout(int msecs)
{
    m_serial->setOpenTimeout(msecs);
    m_network->setOpenTimeout(msecs);
}

bool PortByPath::open(const QString& path, const PortSettings& settings, QString* error)
{
    SerialPort* wanted = TcpPort::isNetworkPath(path) ? m_network.get() : m_serial.get();
    if (wanted != m_current)
        m_current->close();
    m_current = wanted;
    return m_current->open(path, settings, error);
}

} // namespace instrument
