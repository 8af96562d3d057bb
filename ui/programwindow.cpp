#include "programwindow.h"

#include "portnames.h"

#include "boxes.h"
#include "devlink.h"
#include "statusbar.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>

namespace ui {

ProgramWindow::ProgramWindow(const QString& program, QWidget* parent) : QWidget(parent), m_program(program) {}

ProgramWindow::~ProgramWindow()
{
    unloadLink();
}

void ProgramWindow::setStatusBar(StatusBar* bar)
{
    m_guard.setStatusBar(bar);
}

bool ProgramWindow::loadLink()
{
    if (!ui::loadLink(m_dev, this, m_program))
        return false;
    m_linkLoaded = true;
    m_map = instrument::map::Map(instrument::map::devKeys(m_dev), m_dev.sFloatingPointSeparator);
    return true;
}

void ProgramWindow::unloadLink()
{
    if (m_linkLoaded) {
        m_dev.Form_Unload();
        m_linkLoaded = false;
    }
    m_dev.hide();
}

void ProgramWindow::reportStartProblems(const QStringList& problems)
{
    if (!problems.isEmpty())
        noticeBox(this, m_program, problems.join(QLatin1Char('\n')));
}

void ProgramWindow::showError(const QString& text)
{
    errorBox(this, m_program, text);
}

void ProgramWindow::showNotice(const QString& text)
{
    noticeBox(this, m_program, text);
}

bool ProgramWindow::ask(const QString& question)
{
    return questionBox(this, m_program, question);
}

QString ProgramWindow::refusal(const QString& field, const QString& problem)
{
    return QStringLiteral("в поле «%1» %2: ничего не записано").arg(field, problem);
}

void ProgramWindow::refuse(const QString& field, const QString& problem)
{
    showError(refusal(field, problem));
}

void ProgramWindow::closeEvent(QCloseEvent* event)
{
    if (m_guard.holdClose(event))
        return;
    if (!m_closed) {
        m_closed = true;
        windowClosing();
        unloadLink();
    }
    event->accept();
}

void showValue(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
    if (box->isVisible())
        box->repaint();
}

QStringList portItems()
{
    QStringList items;
    for (int i = 1; i <= 12; ++i)
        items << QStringLiteral("COM%1").arg(i);
    return items;
}

bool fillPorts(QComboBox* box, int number)
{
    const QStringList items = portItems();
    const bool inList = number >= 1 && number <= items.size();
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(inList ? number - 1 : 0);
    // The open list says what each number stands for.
    for (QWidget* w = box->parentWidget(); w; w = w->parentWidget())
        if (auto* program = qobject_cast<ProgramWindow*>(w)) {
            labelPorts(box, *program->dev());
            break;
        }
    return inList;
}

} // namespace ui
