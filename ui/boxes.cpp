#include "boxes.h"

#include "dev.h"
#include "messagebox.h"

namespace ui {

void errorBox(QWidget* parent, const QString& program, const QString& text)
{
    instrument::showMessage(parent, QMessageBox::NoIcon, program, QStringLiteral("Ошибка: ") + text);
}

void noticeBox(QWidget* parent, const QString& program, const QString& text)
{
    instrument::showMessage(parent, QMessageBox::NoIcon, program, text);
}

bool questionBox(QWidget* parent, const QString& program, const QString& text)
{
    return instrument::showMessage(parent, QMessageBox::NoIcon, program, text, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

bool loadLink(instrument::Dev& dev, QWidget* window, const QString& title)
{
    if (dev.Form_Load())
        return true;
    instrument::showMessage(window, QMessageBox::Critical, title, dev.loadError());
    return false;
}

} // namespace ui
