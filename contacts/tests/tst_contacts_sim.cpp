// The relay logic window against the instrument simulator over a
// pseudo-terminal: the records and flags the instrument holds, written and
// read back through the real link and line.

#include "contacts_window.h"
#include "markgrid.h"
#include "gridtest.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QPushButton>

using contacts::frmContacts;
using contacts::MarkGrid;
using Rig = testsupport::SimRig<frmContacts>;
using contacts::test::click;
using contacts::test::marks;

namespace {

// A state line for relay index r: the fields given, the others 0.
QString relayLine(int r, const QMap<int, QString>& fields)
{
    QStringList f;
    for (int i = 0; i < 49; ++i)
        f << fields.value(i, QStringLiteral("0"));
    return QStringLiteral("relay %1 %2\n").arg(r).arg(f.join(QLatin1Char(' ')));
}

// Every relay empty except the ones given.
QString stateWith(const QMap<int, QMap<int, QString>>& relays, const QString& more = QString())
{
    QString s = QStringLiteral("instrument\n") + more;
    for (int r = 0; r < 13; ++r)
        s += relayLine(r, relays.value(r));
    return s;
}

QString stateLine(const QStringList& state, const QString& start)
{
    for (const QString& l : state)
        if (l.startsWith(start))
            return l;
    return QString();
}

} // namespace

class TestContactsSim : public QObject {
    Q_OBJECT
private slots:
    void readAll();
    void writeAllThenReadAll();
    void halfVisibleCellWritten();
    void unpaddedRecords();
    void flags();
    void unpluggedDuringWriteAll();
};

void TestContactsSim::readAll()
{
    // Relay 1: channels 1-3 first setpoint; relay 5: channels 7-12 second
    // setpoint and channel 13 (not shown); relay 13: channel 6 break.
    Rig rig({}, stateWith({{0, {{0, "7"}}}, {4, {{16, "3f"}, {17, "1"}}}, {12, {{30, "20"}}}}));
    QVERIFY(rig.start());
    QTest::mouseClick(rig.w->Command3, Qt::LeftButton);
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QStringList expected{"1:2", "1:3", "1:4"};
    for (int ch = 7; ch <= 12; ++ch)
        expected << QStringLiteral("18:%1").arg(ch + 1);
    expected << "51:7";
    QCOMPARE(marks(rig.w->fgTab), expected);
    QCOMPARE(rig.received().size(), 13);
    QCOMPARE(rig.received().first(), QStringLiteral(":1;36;0;\\r\\n"));
    QCOMPARE(rig.received().last(), QStringLiteral(":1;36;C;\\r\\n"));
}

void TestContactsSim::writeAllThenReadAll()
{
    Rig rig({}, stateWith({}));
    QVERIFY(rig.start());
    MarkGrid* g = rig.w->fgTab;
    for (int ch : {1, 2, 3, 7, 90})
        click(g, 1, ch + 1);          // relay 1, first setpoint
    click(g, 4, 5);                   // relay 1, spare row
    click(g, 4 * 6 + 2, 12 + 1);      // relay 7, second setpoint, channel 12
    click(g, 4 * 12 + 3, 84 + 1);     // relay 13, break, channel 84
    QTest::mouseClick(rig.w->Command4, Qt::LeftButton);
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(rig.received().size(), 14);
    QCOMPARE(rig.received().last(), QStringLiteral(":1;13;151A;1;\\r\\n"));

    // Back from the instrument: the marks of channels 1 to 12, once cleared here.
    click(g, 1, 2);
    click(g, 4 * 6 + 2, 13);
    QTest::mouseClick(rig.w->Command3, Qt::LeftButton);
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(marks(g), (QStringList{"1:2", "1:3", "1:4", "1:8", "1:91", "4:5", "26:13", "51:85"}));

    const QStringList state = rig.state();
    QCOMPARE(stateLine(state, "relay 0 "), QStringLiteral("relay 0 7 1 0 0 0 0 0 0 0 0 0 0 0 0 20")
                                               + QStringLiteral(" 0").repeated(34));
    QCOMPARE(stateLine(state, "relay 6 "), QStringLiteral("relay 6") + QStringLiteral(" 0").repeated(16)
                                               + QStringLiteral(" 20") + QStringLiteral(" 0").repeated(32));
    QCOMPARE(stateLine(state, "relay 12 "), QStringLiteral("relay 12") + QStringLiteral(" 0").repeated(43)
                                                + QStringLiteral(" 20") + QStringLiteral(" 0").repeated(5));
}

void TestContactsSim::halfVisibleCellWritten()
{
    Rig rig({}, stateWith({}));
    QVERIFY(rig.start());
    // Channel 13 of relay 1's first setpoint, only partly in view at first.
    contacts::test::clickVisiblePart(rig.w->fgTab, 1, 14);
    QTest::mouseClick(rig.w->Command4, Qt::LeftButton);
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(stateLine(rig.state(), "relay 0 "),
             QStringLiteral("relay 0 0 0 1") + QStringLiteral(" 0").repeated(46));
}

void TestContactsSim::unpaddedRecords()
{
    // "A" is channels 2 and 4; "B" in the break group channels 7, 8 and 10.
    Rig rig({}, stateWith({{3, {{0, "a"}, {31, "b"}}}}, QStringLiteral("relaypad 0\n")));
    QVERIFY(rig.start());
    QTest::mouseClick(rig.w->Command3, Qt::LeftButton);
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('\n')));
    QCOMPARE(marks(rig.w->fgTab), (QStringList{"13:3", "13:5", "15:8", "15:9", "15:11"}));
}

void TestContactsSim::flags()
{
    Rig rig({}, QStringLiteral("instrument\nint 13ed 1\nint 11f8 0\nint 13ec 1\n"));
    QVERIFY(rig.start());
    frmContacts* w = rig.w.get();
    QTest::mouseClick(w->cmbRead, Qt::LeftButton);
    QVERIFY(rig.messages.messages().isEmpty());
    QVERIFY(!w->cbDevLogic->isChecked());
    QVERIFY(!w->cbTH->isChecked());
    QVERIFY(w->cbAI->isChecked());

    QTest::mouseClick(w->cbTH, Qt::LeftButton, {}, QPoint(6, w->cbTH->height() / 2));
    QTest::mouseClick(w->cbAI, Qt::LeftButton, {}, QPoint(6, w->cbAI->height() / 2));
    QTest::mouseClick(w->cmbWrite, Qt::LeftButton);
    QVERIFY(rig.messages.messages().isEmpty());
    QCOMPARE(rig.received().mid(3), (QStringList{":1;5;13ED;0;\\r\\n", ":1;5;13EC;0;\\r\\n",
                                                 ":1;5;11F8;1;\\r\\n", ":1;13;151A;1;\\r\\n"}));
    const QStringList state = rig.state();
    QCOMPARE(stateLine(state, "int 13ed "), QStringLiteral("int 13ed 0"));
    QCOMPARE(stateLine(state, "int 11f8 "), QStringLiteral("int 11f8 1"));
    QCOMPARE(stateLine(state, "int 13ec "), QStringLiteral("int 13ec 0"));
}

void TestContactsSim::unpluggedDuringWriteAll()
{
    Rig rig({QStringLiteral("--fault"), QStringLiteral("unplug:cmd=35:once:ms=2000")}, stateWith({}));
    QVERIFY(rig.start());
    click(rig.w->fgTab, 1, 2);
    QTest::mouseClick(rig.w->Command4, Qt::LeftButton);
    QCOMPARE(rig.messages.messages().size(), 1);
    QVERIFY2(rig.messages.texts().first().startsWith(QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix),
             qPrintable(rig.messages.texts().first()));
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Contacts"));
    // Stopped at the first relay: nothing after it, no restart.
    QCOMPARE(rig.received().size(), 1);
    QVERIFY(rig.w->Command4->isEnabled());
}

QTEST_MAIN(TestContactsSim)
#include "tst_contacts_sim.moc"
