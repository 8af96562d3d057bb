#include "netaddress.h"

#include "dev.h"
#include "lists.h"

#include <QComboBox>
#include <QFocusEvent>

namespace ui {

namespace {

class FocusLostWatcher : public QObject {
public:
    FocusLostWatcher(QObject* watched, std::function<void()> handler)
        : QObject(watched), m_handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut
            && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            m_handler();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_handler;
};

} // namespace

void fillNetAddresses(QComboBox* box, instrument::Dev& dev, int address)
{
    fill(box, numbers(0, 255), address);
    dev.bNetAdrr = quint8(address);
}

void onFocusLost(QObject* widget, std::function<void()> handler)
{
    new FocusLostWatcher(widget, std::move(handler));
}

void connectNetAddress(QComboBox* box, QObject* context, std::function<void()> handler)
{
    onFocusLost(box, handler);
    QObject::connect(box, &QComboBox::currentIndexChanged, context, [handler](int) { handler(); });
}

void takeNetAddress(const QComboBox* box, instrument::Dev& dev)
{
    const int index = selectedIndex(box);
    if (index >= 0 && index <= 255)
        dev.bNetAdrr = quint8(index);
}

} // namespace ui
