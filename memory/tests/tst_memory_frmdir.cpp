// The folder chooser: where it opens, what it offers, what "Выбрать" keeps.

#include "dev.h"
#include "frmdir.h"
#include "inifile.h"
#include "windowrig.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using memory::frmDir;

namespace {

QStringList shownEntries(const frmDir& d)
{
    QStringList out;
    for (int i = 0; i < d.Dir->count(); ++i)
        out << d.Dir->item(i)->text().trimmed();
    return out;
}

int entryOf(const frmDir& d, const QString& name)
{
    for (int i = 0; i < d.Dir->count(); ++i)
        if (d.Dir->item(i)->text().trimmed() == name)
            return i;
    return -1;
}

QString keptFolder(const testsupport::ProgramFolder& folder)
{
    return instrument::ini::read(folder.file(QStringLiteral("dev.dat")), QStringLiteral("MEMORY"),
                                 QStringLiteral("DIR"), QStringLiteral("<none>"));
}

} // namespace

class FrmDirTest : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void opensAtTheSavedFolder();
    void opensAtTheProgramFolderWithoutOne();
    void goneFolderOpensAtItsNearestParent();
    void chooseWritesMemoryDir();
    void doubleClickOpensAFolder();
    void cancelChangesNothing();
    void driveChangeOpensTheDrive();
    void driveNotReadyKeepsThePrevious();
    void failedWriteIsReported();
    void tooLongAPathIsReported();
    void offersRootAndHome();
};

void FrmDirTest::layout()
{
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    QString saveDir = folder.path();
    frmDir d(dev, saveDir);
    QCOMPARE(d.windowTitle(), QStringLiteral("Выберите директорию"));
    QCOMPARE(d.size(), QSize(313, 281));
    QCOMPARE(d.Drive->geometry(), QRect(8, 8, 297, 21));
    QCOMPARE(d.Dir->geometry(), QRect(8, 36, 297, 197));
    QCOMPARE(d.cmdOk->text(), QStringLiteral("Выбрать"));
    QCOMPARE(d.cmdOk->geometry(), QRect(128, 244, 85, 25));
    QCOMPARE(d.cmdCancel->text(), QStringLiteral("Отменить"));
    QCOMPARE(d.cmdCancel->geometry(), QRect(220, 244, 85, 25));
    QCOMPARE(d.Dir->objectName(), QStringLiteral("Dir"));
    QVERIFY(d.isModal());
}

void FrmDirTest::opensAtTheSavedFolder()
{
    testsupport::ProgramFolder folder;
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("data/b"));
    QDir(tmp.path()).mkpath(QStringLiteral("data/A"));
    QDir(tmp.path()).mkpath(QStringLiteral("data/c"));
    instrument::Dev dev;
    QString saveDir = tmp.filePath(QStringLiteral("data"));
    frmDir d(dev, saveDir);
    QCOMPARE(d.openFolder(), saveDir);
    QCOMPARE(d.dirPath(), saveDir);
    // From the root down to the open folder, then its subfolders by name.
    const QStringList shown = shownEntries(d);
    QCOMPARE(shown.first(), QStringLiteral("/"));
    QCOMPARE(shown.mid(shown.size() - 4), (QStringList{"data", "A", "b", "c"}));
    QCOMPARE(d.Drive->currentText(), QStringLiteral("/"));
}

void FrmDirTest::opensAtTheProgramFolderWithoutOne()
{
    testsupport::ProgramFolder folder;
    instrument::Dev dev;
    QString saveDir = QStringLiteral("0");
    frmDir d(dev, saveDir);
    QCOMPARE(d.openFolder(), QDir::cleanPath(folder.path()));
}

void FrmDirTest::goneFolderOpensAtItsNearestParent()
{
    testsupport::ProgramFolder folder;
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("stick"));
    instrument::Dev dev;
    QString saveDir = tmp.filePath(QStringLiteral("stick/gone/deeper"));
    frmDir d(dev, saveDir);
    QCOMPARE(d.openFolder(), tmp.filePath(QStringLiteral("stick")));
    QCOMPARE(d.dirPath(), tmp.filePath(QStringLiteral("stick")));
    QCOMPARE(saveDir, tmp.filePath(QStringLiteral("stick/gone/deeper")));   // not changed by opening
}

void FrmDirTest::chooseWritesMemoryDir()
{
    testsupport::ProgramFolder folder;
    folder.writeDevDat(QStringLiteral("[MEMORY]\nDIR=0\n[PROGS]\nNofSettings=1\n"));
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("one"));
    QDir(tmp.path()).mkpath(QStringLiteral("two"));
    instrument::Dev dev;
    QString saveDir = tmp.path();
    frmDir d(dev, saveDir);
    d.Dir->setCurrentRow(entryOf(d, QStringLiteral("two")));
    QTest::mouseClick(d.cmdOk, Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(saveDir, tmp.filePath(QStringLiteral("two")));
    QCOMPARE(keptFolder(folder), tmp.filePath(QStringLiteral("two")));
    // The rest of the file is kept.
    QCOMPARE(instrument::ini::read(folder.file(QStringLiteral("dev.dat")), QStringLiteral("PROGS"),
                                   QStringLiteral("NofSettings"), QString()),
             QStringLiteral("1"));
}

void FrmDirTest::doubleClickOpensAFolder()
{
    testsupport::ProgramFolder folder;
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("one/inner"));
    instrument::Dev dev;
    QString saveDir = tmp.path();
    frmDir d(dev, saveDir);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const int row = entryOf(d, QStringLiteral("one"));
    QVERIFY(row >= 0);
    const QRect r = d.Dir->visualItemRect(d.Dir->item(row));
    QTest::mouseClick(d.Dir->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(d.dirPath(), tmp.filePath(QStringLiteral("one")));   // a click selects it
    QCOMPARE(d.openFolder(), tmp.path());
    QTest::mouseDClick(d.Dir->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(d.openFolder(), tmp.filePath(QStringLiteral("one")));
    QCOMPARE(shownEntries(d).last(), QStringLiteral("inner"));
    // Going up: the parent's entry opens the parent.
    const int up = entryOf(d, QFileInfo(tmp.path()).fileName());
    d.Dir->setCurrentRow(up);
    QTest::keyClick(d.Dir, Qt::Key_Return);
    QCOMPARE(d.openFolder(), tmp.path());
}

void FrmDirTest::cancelChangesNothing()
{
    testsupport::ProgramFolder folder;
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("one"));
    instrument::Dev dev;
    QString saveDir = tmp.path();
    frmDir d(dev, saveDir);
    d.Dir->setCurrentRow(entryOf(d, QStringLiteral("one")));
    QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(saveDir, tmp.path());
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("dev.dat"))));
}

void FrmDirTest::driveChangeOpensTheDrive()
{
    testsupport::ProgramFolder folder;
    QTemporaryDir a;
    QTemporaryDir b;
    instrument::Dev dev;
    QString saveDir = a.path();
    frmDir d(dev, saveDir);
    d.setDrives({a.path(), b.path()});
    QCOMPARE(d.Drive->currentIndex(), 0);
    d.Drive->setCurrentIndex(1);
    emit d.Drive->activated(1);
    QCOMPARE(d.openFolder(), b.path());
    QCOMPARE(shownEntries(d).first(), QStringLiteral("/"));
}

void FrmDirTest::driveNotReadyKeepsThePrevious()
{
    testsupport::ProgramFolder folder;
    testsupport::MessageAnswerer messages;
    QTemporaryDir a;
    instrument::Dev dev;
    QString saveDir = a.path();
    frmDir d(dev, saveDir);
    const QString gone = a.filePath(QStringLiteral("stick-pulled"));
    d.setDrives({a.path(), gone});
    d.Drive->setCurrentIndex(1);
    emit d.Drive->activated(1);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Ошибка: устройство %1 не готово.").arg(gone)});
    QCOMPARE(messages.messages().first().title, QStringLiteral("Memory"));
    QCOMPARE(d.Drive->currentIndex(), 0);
    QCOMPARE(d.openFolder(), a.path());
}

void FrmDirTest::failedWriteIsReported()
{
    testsupport::ProgramFolder folder;
    testsupport::MessageAnswerer messages;
    // A "dev.dat" that cannot be written: a folder of that name.
    QDir(folder.path()).mkpath(QStringLiteral("dev.dat"));
    QTemporaryDir tmp;
    instrument::Dev dev;
    QString saveDir = tmp.path();
    frmDir d(dev, saveDir);
    QTest::mouseClick(d.cmdOk, Qt::LeftButton);
    QCOMPARE(messages.texts().size(), 1);
    const QString text = messages.texts().first();
    QVERIFY2(text.startsWith(QStringLiteral("Ошибка: папка %1").arg(tmp.path())), qPrintable(text));
    // The file, the section, the key and the system's reason.
    QVERIFY2(text.contains(QStringLiteral("Не удалось записать файл %1").arg(folder.file(QStringLiteral("dev.dat"))))
                 && text.contains(QStringLiteral("MEMORY")) && text.contains(QStringLiteral("DIR"))
                 && text.contains(QStringLiteral("папка")),
             qPrintable(text));
    // The folder still serves this session.
    QCOMPARE(saveDir, tmp.path());
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

void FrmDirTest::tooLongAPathIsReported()
{
    testsupport::ProgramFolder folder;
    testsupport::MessageAnswerer messages;
    QTemporaryDir tmp;
    // A folder whose path the file could not give back whole.
    QString deep = tmp.path();
    while (deep.size() < 300)
        deep += QStringLiteral("/folder-of-a-long-name");
    QVERIFY(QDir().mkpath(deep));
    instrument::Dev dev;
    QString saveDir = deep;
    frmDir d(dev, saveDir);
    QTest::mouseClick(d.cmdOk, Qt::LeftButton);
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY2(messages.texts().first().contains(QStringLiteral("254")), qPrintable(messages.texts().first()));
    QCOMPARE(saveDir, deep);
}

void FrmDirTest::offersRootAndHome()
{
    const QStringList drives = frmDir::availableDrives();
    QVERIFY(drives.size() >= 1);
#ifndef Q_OS_WIN
    QCOMPARE(drives.first(), QStringLiteral("/"));
    QVERIFY(drives.contains(QDir::homePath()));
    for (const QString& d : drives.mid(2))
        QVERIFY2(d.startsWith(QLatin1String("/media/")) || d.startsWith(QLatin1String("/run/media/")), qPrintable(d));
#endif
}

QTEST_MAIN(FrmDirTest)
#include "tst_memory_frmdir.moc"
