// The link's construction and its test seams. The rest of the link lives by
// concern: devsettings.cpp (the settings file and start-up), devprotocol.cpp
// (frames and answers), devexchange.cpp (the serial exchange, time-outs and
// log) and verifiedwrite.cpp (the verified writes); Dev adds the status
// window (dev.cpp, devstatus.cpp).

#include "linkcore.h"

#include "portbypath.h"

namespace instrument {

#ifdef Q_OS_WIN
const QString kSystemErrorPrefix = QStringLiteral("Ошибка Windows");
#else
const QString kSystemErrorPrefix = QStringLiteral("Ошибка системы: ");
#endif

LinkCore::LinkCore()
    : m_port(std::make_unique<PortByPath>())
    , m_clock(std::make_shared<SystemClock>())
{
}

LinkCore::~LinkCore()
{
    Form_Unload();
    releaseBusy();
}

void LinkCore::setPort(std::unique_ptr<SerialPort> port)
{
    m_port = std::move(port);
}

void LinkCore::setClock(std::shared_ptr<Clock> clock)
{
    m_clock = std::move(clock);
}

} // namespace instrument
