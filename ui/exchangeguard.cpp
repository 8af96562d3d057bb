#include "exchangeguard.h"

#include "statusbar.h"

#include <QCloseEvent>
#include <QWidget>

namespace ui {

ExchangeGuard::ExchangeGuard(QWidget* window) : m_window(window) {}

void ExchangeGuard::setControls(const QList<QWidget*>& controls)
{
    m_controls.clear();
    for (QWidget* w : controls)
        m_controls.append(w);
    m_explicitControls = true;
}

QList<QWidget*> ExchangeGuard::controls() const
{
    QList<QWidget*> out;
    if (m_explicitControls) {
        for (const QPointer<QWidget>& w : m_controls)
            if (w)
                out.append(w);
        return out;
    }
    if (!m_window)
        return out;
    for (QWidget* w : m_window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow() && w != m_statusBar)
            out.append(w);
    return out;
}

void ExchangeGuard::setControlsEnabled(bool enabled)
{
    for (QWidget* w : controls())
        w->setEnabled(enabled);
}

void ExchangeGuard::begin(const QString& step)
{
    if (m_depth++ == 0)
        setControlsEnabled(false);
    if (!step.isEmpty())
        showStep(step);
}

void ExchangeGuard::showStep(const QString& step)
{
    if (m_statusBar)
        m_statusBar->showStep(step);
}

bool ExchangeGuard::end()
{
    if (m_depth == 0)
        return !m_closeRequested;
    if (--m_depth > 0)
        return !m_closeRequested;
    if (m_statusBar)
        m_statusBar->showStep(QString());
    if (m_closeRequested) {
        // The close that came during the exchange: carry it out now.
        if (m_window)
            m_window->close();
        return false;
    }
    setControlsEnabled(true);
    return true;
}

bool ExchangeGuard::closedMeanwhile()
{
    if (!m_closeRequested)
        return false;
    if (m_depth > 0) {
        m_depth = 1;
        (void)end();
    }
    return true;
}

bool ExchangeGuard::holdClose(QCloseEvent* event)
{
    if (m_depth > 0) {
        m_closeRequested = true;
        event->ignore();
        return true;
    }
    return false;
}

} // namespace ui
