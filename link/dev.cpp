// The link of the windows: the link itself lives in LinkCore (linkcore.cpp
// and the files it names); devstatus.cpp holds the status window.

#include "dev.h"

#include <QApplication>

namespace instrument {

Dev::Dev(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    buildStatusWindow();
}

Dev::~Dev()
{
    // The busy pointer goes back while this class still shows it.
    releaseBusy();
}

void Dev::busyChanged(bool on)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace instrument
