// The status window: a small borderless window that shows the last command
// and answer while an exchange runs.

#include "dev.h"

#include "twips.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>

namespace instrument {

void Dev::buildStatusWindow()
{
    setObjectName(QStringLiteral("Dev"));
    setFixedSize(twips(4935), twips(1695));

    Label = new QLabel(QStringLiteral("Reading"), this);
    Label->setObjectName(QStringLiteral("Label"));
    Label->setGeometry(twips(120), twips(120), twips(4695), twips(375));
    QFont big(QStringLiteral("Arial"));
    big.setPointSize(12);
    Label->setFont(big);

    COMIn = new QLineEdit(this);
    COMIn->setObjectName(QStringLiteral("COMIn"));
    COMIn->setGeometry(twips(120), twips(720), twips(4695), twips(375));

    COMOut = new QLineEdit(this);
    COMOut->setObjectName(QStringLiteral("COMOut"));
    COMOut->setGeometry(twips(120), twips(1200), twips(4695), twips(375));
}

void Dev::showText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    paintNow();
}

void Dev::statusShow()
{
    if (bolShow) {
        show();
        paintNow();
    }
}

void Dev::statusCommand(const QString& text)
{
    showText(COMIn, text);
}

void Dev::statusAnswer(const QString& text)
{
    showText(COMOut, text);
}

void Dev::statusDone()
{
    if (isVisible())
        hide();
}

void Dev::paintNow()
{
    // The window system needs its events to map and paint the status window;
    // user input stays queued, so no handler runs from here.
    if (isVisible())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Dev::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void Dev::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawLine(0, 0, twips(4920), 0);
    p.drawLine(0, 0, 0, twips(1680));
    p.drawLine(0, twips(1680), twips(5040), twips(1680));
    p.drawLine(twips(4920), twips(1680), twips(4920), 0);
    p.drawLine(0, twips(600), twips(4920), twips(600));
}

} // namespace instrument
