#include "frmdir.h"

#include "controls.h"
#include "dev.h"
#include "inifile.h"
#include "lists.h"
#include "boxes.h"
#include "programfolder.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

namespace memory {

namespace {

const QString kProgram = QStringLiteral("Memory");
const QString kSection = QStringLiteral("MEMORY");
const QString kKey = QStringLiteral("DIR");
constexpr int kPathRole = Qt::UserRole;
const QString kIndent = QStringLiteral("   ");

// Keeps value in "dev.dat"; empty when it is there, else why not. The value
// is read back, which also catches a path too long to be read again (the
// file gives back at most 254 characters).
QString keepSetting(instrument::Dev& dev, const QString& section, const QString& key, const QString& value)
{
    if (!dev.sWriteINI(section, key, value))
        return dev.iniWriteError();
    if (dev.sGetINI(section, key, QStringLiteral("\x01")) != value)
        return QStringLiteral("Файл %1 не возвращает записанное значение (путь длиннее %2 знаков?)")
            .arg(QDir::toNativeSeparators(instrument::programFile(QStringLiteral("dev.dat"))))
            .arg(instrument::ini::kMaxValueLength);
    return QString();
}

bool isAncestorOrSame(const QString& root, const QString& folder)
{
    const QString r = QDir::cleanPath(root);
    const QString f = QDir::cleanPath(folder);
    if (r == f)
        return true;
    const QString prefix = r.endsWith(QLatin1Char('/')) ? r : r + QLatin1Char('/');
    return f.startsWith(prefix, Qt::CaseSensitivity(QDir::separator() == QLatin1Char('\\') ? Qt::CaseInsensitive
                                                                                         : Qt::CaseSensitive));
}

} // namespace

QString nearestExistingFolder(const QString& folder)
{
    QString f = QDir::cleanPath(QDir(folder).absolutePath());
    for (;;) {
        const QFileInfo info(f);
        if (info.exists() && info.isDir())
            return f;
        const QString up = info.dir().absolutePath();
        if (up == f || up.isEmpty())
            return QDir::rootPath();
        f = up;
    }
}

QStringList frmDir::availableDrives()
{
    QStringList out;
#ifdef Q_OS_WIN
    for (const QFileInfo& d : QDir::drives())
        out << d.absolutePath();
#else
    out << QStringLiteral("/") << QDir::homePath();
    QStringList volumes;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/")))
            volumes << root;
    }
    volumes.sort();
    out << volumes;
    out.removeDuplicates();
#endif
    return out;
}

frmDir::frmDir(instrument::Dev& dev, QString& sSaveDir, QWidget* parent)
    : QDialog(parent), m_link(dev), m_saveDir(sSaveDir)
{
    setObjectName(QStringLiteral("frmDir"));
    setWindowTitle(QStringLiteral("Выберите директорию"));
    setModal(true);
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4695, 4215);

    Drive = ui::dropDownList(this, QStringLiteral("Drive"), {120, 120, 4455, 315});
    Dir = new QListWidget(this);
    Dir->setObjectName(QStringLiteral("Dir"));
    ui::place(Dir, {120, 540, 4455, 2955});
    Dir->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdOk = ui::button(this, QStringLiteral("cmdOk"), QStringLiteral("Выбрать"), {1920, 3660, 1275, 375});
    cmdCancel = ui::button(this, QStringLiteral("cmdCancel"), QStringLiteral("Отменить"), {3300, 3660, 1275, 375});

    connect(Drive, qOverload<int>(&QComboBox::activated), this, &frmDir::Drive_Change);
    connect(Dir, &QListWidget::itemActivated, this, &frmDir::Dir_DblClick);
    connect(cmdOk, &QPushButton::clicked, this, &frmDir::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDir::cmdCancel_Click);

    setDrives(availableDrives());
    Form_Activate();
}

void frmDir::setDrives(const QStringList& roots)
{
    QStringList shown;
    for (const QString& r : roots)
        shown << QDir::toNativeSeparators(r);
    ui::fill(Drive, shown, -1);
    for (int i = 0; i < roots.size(); ++i)
        Drive->setItemData(i, QDir::cleanPath(roots[i]), kPathRole);
    m_driveIndex = -1;
    if (!m_open.isEmpty())
        selectDriveOf(m_open);
}

void frmDir::Form_Activate()
{
    QString start = m_saveDir;
    if (start.isEmpty() || start == QLatin1String("0"))
        start = instrument::programFolder();
    setOpenFolder(start);
}

void frmDir::setOpenFolder(const QString& folder)
{
    m_open = nearestExistingFolder(folder);
    selectDriveOf(m_open);
    fillFolders();
}

void frmDir::selectDriveOf(const QString& folder)
{
    // The drive whose root is the longest that holds the folder.
    int best = -1;
    int bestLength = -1;
    for (int i = 0; i < Drive->count(); ++i) {
        const QString root = Drive->itemData(i, kPathRole).toString();
        if (isAncestorOrSame(root, folder) && root.size() > bestLength) {
            best = i;
            bestLength = int(root.size());
        }
    }
    ui::selectSilently(Drive, best);
    m_driveIndex = best;
}

void frmDir::fillFolders()
{
    Dir->clear();
    // The chain from the root down to the open folder, each one step further in.
    QStringList chain;
    for (QString f = m_open;;) {
        chain.prepend(f);
        const QString up = QFileInfo(f).dir().absolutePath();
        if (QDir(f).isRoot() || up == f)
            break;
        f = up;
    }
    int level = 0;
    for (const QString& f : chain) {
        const QString name = QDir(f).isRoot() ? QDir::toNativeSeparators(f) : QFileInfo(f).fileName();
        auto* item = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirOpenIcon), kIndent.repeated(level) + name, Dir);
        item->setData(kPathRole, f);
        ++level;
    }
    QListWidgetItem* open = Dir->item(Dir->count() - 1);
    const QDir here(m_open);
    const QStringList subfolders = here.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subfolders) {
        auto* item = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirClosedIcon), kIndent.repeated(level) + s, Dir);
        item->setData(kPathRole, here.filePath(s));
    }
    Dir->setCurrentItem(open);
}

QString frmDir::dirPath() const
{
    const QListWidgetItem* item = Dir->currentItem();
    if (item && item->isSelected())
        return QDir::toNativeSeparators(item->data(kPathRole).toString());
    return QDir::toNativeSeparators(m_open);
}

void frmDir::Drive_Change(int index)
{
    if (index < 0 || index == m_driveIndex)
        return;
    const QString root = Drive->itemData(index, kPathRole).toString();
    const QFileInfo info(root);
    if (!info.exists() || !info.isDir() || !QDir(root).isReadable()) {
        ui::errorBox(this, kProgram,
                     QStringLiteral("устройство %1 не готово.").arg(QDir::toNativeSeparators(root)));
        ui::selectSilently(Drive, m_driveIndex);
        return;
    }
    m_open = QDir::cleanPath(root);
    m_driveIndex = index;
    fillFolders();
}

void frmDir::Dir_DblClick(QListWidgetItem* item)
{
    if (!item)
        return;
    setOpenFolder(item->data(kPathRole).toString());
}

void frmDir::cmdOk_Click()
{
    const QString chosen = dirPath();
    m_saveDir = chosen;
    const QString problem = keepSetting(m_link, kSection, kKey, chosen);
    if (!problem.isEmpty())
        ui::errorBox(this, kProgram,
                     QStringLiteral("папка %1 выбрана для этого сеанса, но не сохранена (раздел %2, ключ %3). %4")
                         .arg(chosen, kSection, kKey, problem));
    accept();
}

void frmDir::cmdCancel_Click()
{
    reject();
}

} // namespace memory
