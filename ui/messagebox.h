#pragma once
// Every message box of the suite goes through here, so that tests can see what
// was asked and answer it without a modal dialog ever blocking them.

#include <QMessageBox>
#include <QString>
#include <functional>

namespace instrument {

struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

using MessageHook = std::function<QMessageBox::StandardButton(const Message&)>;

// Shows a modal message box (or hands it to the hook) and returns the button
// chosen.
QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                        const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Installs a hook that answers every message instead of the user; an empty
// hook restores the real dialog. Returns the previous hook.
MessageHook setMessageHook(MessageHook hook);

} // namespace instrument
