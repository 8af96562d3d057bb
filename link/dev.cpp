// The link's construction and its test seams. The rest of Dev lives by
// concern: devsettings.cpp (the settings file and start-up), devprotocol.cpp
// (frames and answers), devexchange.cpp (the serial exchange, time-outs and
// log) and devstatus.cpp (the status window).

#include "dev.h"

#include "portbypath.h"

namespace instrument {

#ifdef Q_OS_WIN
const QString kSystemErrorPrefix = QStringLiteral("Ошибка Windows");
#else
const QString kSystemErrorPrefix = QStringLiteral("Ошибка системы: ");
#endif

Dev::Dev(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_port(std::make_unique<PortByPath>())
    , m_clock(std::make_shared<SystemClock>())
{
    buildStatusWindow();
}

Dev::~Dev()
{
    Form_Unload();
    while (m_busy > 0)
        endBusy();
}

void Dev::setPort(std::unique_ptr<SerialPort> port)
{
    m_port = std::move(port);
}

void Dev::setClock(std::shared_ptr<Clock> clock)
{
    m_clock = std::move(clock);
}

} // namespace instrument
