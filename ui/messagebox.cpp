#include "messagebox.h"

namespace instrument {

namespace {
MessageHook& hook()
{
    static MessageHook h;
    return h;
}
} // namespace

QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                        const QString& text, QMessageBox::StandardButtons buttons)
{
    if (hook())
        return hook()(Message{icon, title, text, buttons});
    QMessageBox box(icon, title, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

MessageHook setMessageHook(MessageHook h)
{
    MessageHook previous = hook();
    hook() = std::move(h);
    return previous;
}

} // namespace instrument
