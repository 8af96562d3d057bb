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
        // The focus goes to the list's own drop-down, or the whole window
        // loses the focus (another program, the window closing, the window
        // being destroyed): the focus has not moved to another control.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                m_handler();
        }
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
