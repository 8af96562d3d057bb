// The window Snapshot against the instrument simulator: what a compare
// lists, what a write of the ticked rows sends, and what its summary says
// when the line is pulled halfway.

#include "devlink.h"
#include "dialoganswerer.h"
#include "snapshot_window.h"
#include "windowrig.h"

#include <QLabel>
#include <QTableWidget>
#include <QtTest>

namespace map = instrument::map;
using Rig = testsupport::SimRig<snapshot::Main>;

namespace {

// Channel 9's setpoints: TH1 12.5, HIS1 0.75, THT1 code 13 hex.
const QString kState = QStringLiteral("instrument\nreal 9 12.5\nreal d0 0.75\nint d0 13\n");

QStringList listed(const snapshot::Main& w)
{
    QStringList names;
    for (int r = 0; r < w.lstDiff->rowCount(); ++r)
        names << w.lstDiff->item(r, 0)->text();
    return names;
}

QSet<QString> framesBetween(const Rig& rig, qsizetype from, qsizetype to)
{
    const QStringList frames = rig.received().mid(from, to - from);
    return QSet<QString>(frames.begin(), frames.end());
}

} // namespace

class SnapshotSimTest : public QObject {
    Q_OBJECT
private slots:
    void writesTheTickedRows();
    void pulledLineSummarised();
};

void SnapshotSimTest::writesTheTickedRows()
{
    Rig rig({}, kState);
    testsupport::FileDialogAnswerer files;
    QVERIFY(rig.start());
    const QString file = rig.folder.file(QStringLiteral("snap.txt"));
    files.answerNext(file);
    QTest::mouseClick(rig.w->cmdSave, Qt::LeftButton);
    QCOMPARE(rig.messages.texts(), QStringList());
    QVERIFY2(rig.folder.readFile(QStringLiteral("snap.txt")).contains("\nch9.TH1=12.5\n"), qPrintable(rig.w->lSummary->text()));

    // Old values written again (the frames the restore should send), then
    // the changes.
    map::DevLink link(*rig.w->dev());
    const auto write = [&](const QString& name, const QString& value) {
        return map::write(*rig.w->instrumentMap().find(name), link, value).ok;
    };
    const qsizetype n0 = rig.received().size();
    QVERIFY(write(QStringLiteral("ch9.TH1"), QStringLiteral("12.5")) && write(QStringLiteral("relays.test"), QStringLiteral("0"))
            && write(QStringLiteral("buffer2.interval"), QStringLiteral("60")));
    const qsizetype n1 = rig.received().size();
    QVERIFY(write(QStringLiteral("ch9.TH1"), QStringLiteral("15.5")) && write(QStringLiteral("ch9.THT2"), QStringLiteral("18"))
            && write(QStringLiteral("relays.test"), QStringLiteral("1"))
            && write(QStringLiteral("buffer2.interval"), QStringLiteral("7")));

    const qsizetype n2 = rig.received().size();
    files.answerNext(file);
    QTest::mouseClick(rig.w->cmdCompare, Qt::LeftButton);
    const qsizetype n3 = rig.received().size();
    QCOMPARE(listed(*rig.w), (QStringList{"ch9.TH1", "ch9.THT2", "relays.test", "buffer2.interval"}));
    QCOMPARE(rig.w->lstDiff->item(0, 2)->text(), QStringLiteral("12.5"));
    QCOMPARE(rig.w->lstDiff->item(0, 3)->text(), QStringLiteral("15.5"));
    QCOMPARE(rig.w->lSummary->text(), QStringLiteral("Различий: 4"));

    rig.w->lstDiff->item(1, 0)->setCheckState(Qt::Unchecked);
    QTest::mouseClick(rig.w->cmdRestore, Qt::LeftButton);
    const qsizetype n4 = rig.received().size();
    QCOMPARE(rig.messages.texts(), QStringList());
    // Beyond the reads, the frames of the ticked old values and no others.
    QCOMPARE(framesBetween(rig, n3, n4) - framesBetween(rig, n2, n3), framesBetween(rig, n0, n1) - framesBetween(rig, n2, n3));
    QVERIFY2(rig.w->lSummary->text().startsWith(QStringLiteral(
                 "Записано: ch9.TH1, buffer2.interval, relays.test, перезагрузка логики прибора; не записано: ничего.")),
             qPrintable(rig.w->lSummary->text()));
    QCOMPARE(listed(*rig.w), QStringList{"ch9.THT2"});
    QCOMPARE(rig.w->lstDiff->item(0, 0)->checkState(), Qt::Unchecked);

    files.answerNext(file);
    QTest::mouseClick(rig.w->cmdCompare, Qt::LeftButton);
    QCOMPARE(listed(*rig.w), QStringList{"ch9.THT2"});
    QCOMPARE(rig.messages.texts(), QStringList());

    // Another network number: the list is of the other instrument, so the
    // write compares first (the file dialog, cancelled here) and sends nothing.
    rig.w->linkChoice.cmbNetAdrr->setCurrentIndex(2);
    const qsizetype n5 = rig.received().size();
    const qsizetype asked = files.requests().size();
    QTest::mouseClick(rig.w->cmdRestore, Qt::LeftButton);
    QCOMPARE(files.requests().size(), asked + 1);
    QCOMPARE(rig.received().size(), n5);
}

void SnapshotSimTest::pulledLineSummarised()
{
    // The adapter is pulled at the second real's verified write and stays
    // pulled; "Записать из файла…" compares first and asks.
    Rig rig({QStringLiteral("--fault"), QStringLiteral("unplug:cmd=15:after=1")}, kState);
    testsupport::FileDialogAnswerer files;
    QVERIFY(rig.start());
    rig.folder.writeFile(QStringLiteral("snap.txt"), "ch9.TH1=1.5\nch9.TH2=2.5\nch9.HIS2=3.5\nrelays.test=1\n");
    files.answerNext(rig.folder.file(QStringLiteral("snap.txt")));
    rig.messages.answerNext(QMessageBox::Yes);
    QTest::mouseClick(rig.w->cmdRestore, Qt::LeftButton);
    const QStringList texts = rig.messages.texts();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts.at(0).startsWith(QStringLiteral("Различий: 4. ")), qPrintable(texts.at(0)));
    QVERIFY2(texts.at(1).startsWith(QStringLiteral("Ошибка: ")) && texts.at(1).contains(QStringLiteral(
                 "записано: ch9.TH1; не записано: ch9.TH2, ch9.HIS2, relays.test, перезагрузка логики прибора")),
             qPrintable(texts.at(1)));
    QVERIFY2(rig.w->lSummary->text().contains(QStringLiteral(
                 "Записано: ch9.TH1; не записано: ch9.TH2, ch9.HIS2, relays.test, перезагрузка логики прибора.")),
             qPrintable(rig.w->lSummary->text()));
    QCOMPARE(listed(*rig.w), (QStringList{"ch9.TH2", "ch9.HIS2", "relays.test"}));
}

QTEST_MAIN(SnapshotSimTest)
#include "tst_snapshot_sim.moc"
