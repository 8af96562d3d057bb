#pragma once
// One rule for every window that talks to the instrument: disable the
// window's controls, show the step in the status bar, call the link, enable
// the controls again, then show the outcome.
//
// The controls are disabled, not the window, so that a message box shown in
// the middle of a sequence still takes its click. Calls nest: only the
// outermost begin disables and only the outermost end enables. While the link
// waits it lets window events run, so a close of the window can arrive in
// the middle of an exchange; the guard holds it back and carries it out when
// the outermost exchange has returned. end() then answers false, and the
// handler must return at once: nothing of it runs after the close.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QCloseEvent;
class QWidget;

namespace ui {

class StatusBar;

class ExchangeGuard {
public:
    explicit ExchangeGuard(QWidget* window);

    // The controls to disable, in place of every control of the window.
    void setControls(const QList<QWidget*>& controls);
    // The status bar that shows the step; it is never disabled.
    void setStatusBar(StatusBar* bar) { m_statusBar = bar; }

    // Starts one level; the outermost disables the controls. step, when not
    // empty, is shown in the status bar's first panel at once.
    void begin(const QString& step = QString());
    // Shows another step of a running sequence.
    void showStep(const QString& step);
    // Ends one level; the outermost enables the controls and clears the step.
    // False when the window was closed meanwhile: it has now been closed, and
    // the caller must return without doing anything more.
    [[nodiscard]] bool end();

    // For a sequence of link calls inside one begin: true when the window was
    // closed during the call that has just returned. The held close is then
    // carried out (every level ends) and the caller must return at once.
    [[nodiscard]] bool closedMeanwhile();

    bool isBusy() const { return m_depth > 0; }
    // How many levels are open (1 inside the outermost only).
    int depth() const { return m_depth; }
    // True once a close has been carried out (or is being held back).
    bool isClosing() const { return m_closeRequested; }

    // For the window's closeEvent: true when the close must wait for the
    // running exchange (the event has been ignored); false when the window
    // may close now.
    bool holdClose(QCloseEvent* event);

    // Disables or enables the controls (what begin and end do at the outermost level).
    void setControlsEnabled(bool enabled);

private:
    QList<QWidget*> controls() const;

    QPointer<QWidget> m_window;
    QList<QPointer<QWidget>> m_controls;
    bool m_explicitControls = false;
    StatusBar* m_statusBar = nullptr;
    int m_depth = 0;
    bool m_closeRequested = false;
};

} // namespace ui
