#pragma once
// frmDir: the folder chooser of the data files. A drive list (on Linux "/",
// the home folder and the mounted volumes under /media and /run/media; on
// Windows the drives) and a folder list: the folders from the drive down to
// the open one, then the open one's subfolders. A click selects a folder,
// a double click (or Enter) opens it; the selected entry is the folder
// chosen. "Выбрать" keeps it for the data files and in "dev.dat" (section
// MEMORY, key DIR); "Отменить" changes nothing.

#include <QDialog>
#include <QStringList>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace instrument {
class Dev;
}

namespace memory {

class frmDir : public QDialog {
    Q_OBJECT
public:
    // sSaveDir: the main window's folder of the data files, "0" when none is
    // kept; it is read when the chooser opens and set by "Выбрать".
    frmDir(instrument::Dev& dev, QString& sSaveDir, QWidget* parent = nullptr);

    // The drives the list offers on this system.
    static QStringList availableDrives();
    // Offers these drives instead (tests), keeping the open folder.
    void setDrives(const QStringList& roots);

    // The folder open in the list, and the folder chosen (the selected entry).
    QString openFolder() const { return m_open; }
    QString dirPath() const;
    // Opens folder in the list (its nearest existing parent when it is gone);
    // the drive list follows.
    void setOpenFolder(const QString& folder);

    QComboBox* Drive = nullptr;
    QListWidget* Dir = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void Form_Activate();
    void Drive_Change(int index);
    void Dir_DblClick(QListWidgetItem* item);
    void cmdOk_Click();
    void cmdCancel_Click();
    void fillFolders();
    void selectDriveOf(const QString& folder);

    instrument::Dev& m_link;
    QString& m_saveDir;
    QString m_open;
    int m_driveIndex = -1;
};

// The folder itself when it exists, else its nearest existing parent, else
// the root.
QString nearestExistingFolder(const QString& folder);

} // namespace memory
