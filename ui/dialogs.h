#pragma once
// Modal dialogs that tests must be able to answer without ever blocking on
// them, like the message boxes (instrument::setMessageHook): the file dialog
// and the program's own modal windows (Memory's folder chooser).

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace ui {

// ---- the program's own modal windows ------------------------------------------

// Answers a modal window in place of the user: it may set the window's
// controls and click its buttons; it returns the window's result
// (QDialog::Accepted or Rejected).
using DialogHook = std::function<int(QDialog& dialog)>;

// Runs dialog modally (or hands it to the hook) and returns its result.
int execModal(QDialog& dialog);
DialogHook setDialogHook(DialogHook hook);

// ---- the file dialog ------------------------------------------------------------

struct FileRequest {
    QString title;
    QString folder;          // where the dialog opens
    QString fileName;        // the name shown at first
    QString filter;          // "Тексты (*.dat *.DAT)"
    QString defaultSuffix;   // added when the name chosen has none ("dat")
    bool mayBeNew = false;   // a name that does not exist yet is accepted
};

// Answers the file dialog: the path chosen, or an empty text for Cancel.
using FileDialogHook = std::function<QString(const FileRequest& request)>;

// The path chosen (with the default suffix added when the name has no
// suffix), or an empty text when the dialog was cancelled.
QString chooseFile(QWidget* parent, const FileRequest& request);
FileDialogHook setFileDialogHook(FileDialogHook hook);

// The default suffix added to a chosen path whose file name has no suffix.
QString withDefaultSuffix(const QString& path, const QString& suffix);

} // namespace ui
