#pragma once
// The base of every program's main window: it owns the link, brings it up
// once at start-up (one report when it cannot), shows the start-up problems
// of "dev.dat" in one form, holds a close back while an operation runs and
// unloads the link once when the window goes.
//
// Every exchange of a handler runs inside a ui::Operation (operation.h),
// made on the window.

#include "dev.h"
#include "exchangeguard.h"
#include "map.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QLineEdit;

namespace ui {

class StatusBar;

class ProgramWindow : public QWidget {
    Q_OBJECT
public:
    // program titles every message box ("Limits").
    explicit ProgramWindow(const QString& program, QWidget* parent = nullptr);
    ~ProgramWindow() override;

    instrument::Dev* dev() { return &m_dev; }
    const QString& program() const { return m_program; }
    ExchangeGuard& guard() { return m_guard; }
    // The instrument's parameters with the base addresses of this "dev.dat"
    // (read when the link is brought up; the defaults before).
    const instrument::map::Map& instrumentMap() const { return m_map; }
    bool isBusy() const { return m_guard.isBusy(); }
    // True once a close has been asked for (carried out, or held back until
    // the running operation returns).
    bool isClosing() const { return m_guard.isClosing(); }

    // ---- the boxes every program shows, titled with its name ---------------
    // "Ошибка: " + text.
    void showError(const QString& text);
    void showNotice(const QString& text);
    bool ask(const QString& question);
    // A box refused before anything was sent: "в поле «field» problem:
    // ничего не записано".
    void refuse(const QString& field, const QString& problem);
    static QString refusal(const QString& field, const QString& problem);

protected:
    // The status bar that shows an operation's steps; never disabled.
    void setStatusBar(StatusBar* bar);
    // Brings up the link. When it cannot start, the reason is shown in one
    // box and the answer is false: the program does not go on.
    bool loadLink();
    // The problems found in "dev.dat" at start-up (each naming the file,
    // section, key and value, and what the program does instead), shown
    // together in one notice; nothing when there are none.
    void reportStartProblems(const QStringList& problems);
    // Called once when the window really closes (after any running
    // operation has returned), before the link is unloaded.
    virtual void windowClosing() {}

    void closeEvent(QCloseEvent* event) override;

private:
    void unloadLink();

    QString m_program;
    instrument::Dev m_dev;
    ExchangeGuard m_guard{this};
    instrument::map::Map m_map;
    bool m_linkLoaded = false;
    bool m_closed = false;
};

// ---- values shown in boxes -------------------------------------------------------
// Puts a value into a text box showing it from its start (a long number
// must not show only its end).
void showValue(QLineEdit* box, const QString& text);

// ---- the serial port list ----------------------------------------------------------
// The port items every program offers: "COM1" … "COM12".
QStringList portItems();
// Fills box with the port items and selects port number (1-based); a number
// outside the list selects COM1 and returns false. In a program's window the
// open list shows what each port stands for (portnames.h); the items' text
// stays "COMn".
bool fillPorts(QComboBox* box, int number);

} // namespace ui
