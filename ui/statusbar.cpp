#include "statusbar.h"

#include <QEvent>
#include <QLabel>

namespace ui {

StatusBar::StatusBar(QWidget* window) : QStatusBar(window), m_now([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(false);
    panel1 = new QLabel(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setToolTip(QStringLiteral("Текущее состояние программы"));
    panel2 = new QLabel(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setToolTip(QStringLiteral("Текущее время"));
    panel2->setAlignment(Qt::AlignCenter);
    panel2->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 16);
    // Room for the whole letters: a label just as high as the font's line
    // cuts the descenders ("р" reads like "п", "_" vanishes).
    const int lineHeight = fontMetrics().height() + 4;
    panel1->setMinimumHeight(lineHeight);
    panel2->setMinimumHeight(lineHeight);
    addWidget(panel1, 1);
    addPermanentWidget(panel2);
    window->installEventFilter(this);
    dock();
    updateTime();
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &StatusBar::updateTime);
    m_timer.start();
}

void StatusBar::dock()
{
    QWidget* w = parentWidget();
    const int h = qMax(sizeHint().height(), panel1->minimumHeight() + 4);
    setGeometry(0, w->height() - h, w->width(), h);
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        dock();
    return QStatusBar::eventFilter(watched, event);
}

void StatusBar::showStep(const QString& step)
{
    panel1->setText(step);
    // The link may hold window events back while it waits: paint now.
    if (panel1->isVisible())
        panel1->repaint();
}

QString StatusBar::step() const
{
    return panel1->text();
}

void StatusBar::setClock(std::function<QDateTime()> now)
{
    m_now = std::move(now);
    updateTime();
}

void StatusBar::updateTime()
{
    panel2->setText(m_now().time().toString(QStringLiteral("hh:mm")));
}

} // namespace ui
