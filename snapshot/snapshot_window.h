#pragma once
// Main: the window of the snapshot of the instrument's settings. It saves
// every setting of the instrument into a file, compares a file with the
// instrument (a list of the differences, each row ticked to be written) and
// writes the ticked rows back in the safe order, then reads them back. The
// port, the speed and the network number are chosen as in Memory; a
// snapshot taken from one instrument is written to another by choosing its
// network number. Every exchange runs in one operation of the kit; "Стоп"
// ends a run after the exchange in progress.

#include "linkchoice.h"
#include "programwindow.h"
#include "snapshot.h"

#include <QSet>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace ui {
class Operation;
}

namespace snapshot {

class Main : public ui::ProgramWindow {
    Q_OBJECT
public:
    explicit Main(QWidget* parent = nullptr);
    ~Main() override;

    // Start-up: caption, the link, the port, speed and network number from
    // "dev.dat". False when the link cannot start (the reason has been shown).
    bool Form_Load();

    // The controls an operation disables and enables ("Стоп" is not one:
    // it is usable only while a run goes on).
    QList<QWidget*> userControls() const;

    // ---- handlers -------------------------------------------------------------------
    void cmdSave_Click();
    void cmdCompare_Click();
    void cmdRestore_Click();

    // ---- controls, top to bottom ------------------------------------------------------
    // The port, the speed and the network number, as in Memory.
    ui::LinkChoice linkChoice;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCompare = nullptr;
    QPushButton* cmdRestore = nullptr;
    QLabel* lFile = nullptr;
    // The differences: name (ticked to be written), meaning, value in the
    // file, value in the instrument.
    QTableWidget* lstDiff = nullptr;
    QProgressBar* pbProgress = nullptr;
    QPushButton* cmdStop = nullptr;
    QLabel* lSummary = nullptr;

private:
    void createControls();
    // Reads the instrument into *out with the progress shown; false when the
    // run failed (shown), was stopped or the window was closed.
    bool readInstrument(ui::Operation& op, Snapshot* out, const QString& what);
    // Chooses a file and compares it with the instrument, filling the list;
    // false when nothing was compared.
    bool compareWithFile();
    void fillList();
    void setSummary(const QString& text);
    // "Различий: N" and the port parameters that differ.
    QString differencesText() const;
    // The rows ticked, the port parameters never among them.
    QSet<const map::Param*> ticked() const;
    int digits();
    // The port, speed and network number the link is on now.
    QString linkKey();

    bool m_compared = false;
    QString m_comparedWith;   // linkKey() of the compare that filled the list
    QString m_file;
    Snapshot m_wanted;
    Snapshot m_present;
    QList<Difference> m_diff;
};

} // namespace snapshot
