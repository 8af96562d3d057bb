#include "dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>

namespace ui {

namespace {

DialogHook& dialogHook()
{
    static DialogHook h;
    return h;
}

FileDialogHook& fileHook()
{
    static FileDialogHook h;
    return h;
}

} // namespace

int execModal(QDialog& dialog)
{
    if (dialogHook())
        return dialogHook()(dialog);
    return dialog.exec();
}

DialogHook setDialogHook(DialogHook hook)
{
    DialogHook previous = dialogHook();
    dialogHook() = std::move(hook);
    return previous;
}

QString withDefaultSuffix(const QString& path, const QString& suffix)
{
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    if (path.endsWith(QLatin1Char('.')))
        return path + suffix;
    return path + QLatin1Char('.') + suffix;
}

QString chooseFile(QWidget* parent, const FileRequest& request)
{
    QString chosen;
    if (fileHook()) {
        chosen = fileHook()(request);
    } else {
        QFileDialog dialog(parent, request.title, request.folder, request.filter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.mayBeNew ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first();
    }
    return withDefaultSuffix(chosen, request.defaultSuffix);
}

FileDialogHook setFileDialogHook(FileDialogHook hook)
{
    FileDialogHook previous = fileHook();
    fileHook() = std::move(hook);
    return previous;
}

} // namespace ui
