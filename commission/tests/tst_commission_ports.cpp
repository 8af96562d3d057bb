// The port list's labels and the port window, with a scripted list of adapters
// (the system lists no pseudo-terminal, and a test machine has no USB adapter).

#include "commission_window.h"
#include "portsdialog.h"
#include "windowrig.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using commission::Main;
using testsupport::ScriptedRig;
using ui::SerialAdapter;

namespace {

const SerialAdapter kFtdi{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
                          QStringLiteral("A50285BI"),
                          QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")};
const SerialAdapter kAcm{QStringLiteral("/dev/ttyACM0"), QStringLiteral("CDC serial"), QString(), QString(), QString()};

QString label(const QComboBox* box, int index)
{
    return box->itemData(index, ui::kPortLabelRole).toString();
}

} // namespace

class TestCommissionPorts : public QObject {
    Q_OBJECT
private slots:
    void init() { ui::setAdapterSource([] { return QList<SerialAdapter>{kFtdi, kAcm}; }); }
    void cleanup() { ui::setAdapterSource({}); }
    void labels_data();
    void labels();
    void assign_data();
    void assign();
};

void TestCommissionPorts::labels_data()
{
    QTest::addColumn<QString>("ports");  // section [PORTS] of dev.dat
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("label");
    QTest::newRow("adapter by its device") << "COM3=/dev/ttyUSB0" << 3 << "COM3 — ttyUSB0, FT232R USB UART";
    QTest::newRow("adapter by its stable name") << "COM2=" + kFtdi.stableName << 2 << "COM2 — ttyUSB0, FT232R USB UART";
    QTest::newRow("no key, no device") << "" << 5 << "COM5 — ttyS4, нет устройства";
    QTest::newRow("adapter not plugged in") << "COM4=/dev/ttyUSB7" << 4 << "COM4 — ttyUSB7, нет устройства";
    QTest::newRow("device server") << "COM6=rfc2217://10.0.0.5:4002" << 6 << "COM6 — rfc2217://10.0.0.5:4002";
}

void TestCommissionPorts::labels()
{
    QFETCH(QString, ports);
    QFETCH(int, number);
    QFETCH(QString, label);
    ScriptedRig<Main> rig(QStringLiteral("[PORTS]\n") + ports + QStringLiteral("\n"));
    QVERIFY(rig.loaded);
    QComboBox* box = rig.w->ComNum;
    QCOMPARE(::label(box, number - 1), label);
    // The items keep their text and their order: item i is port i + 1.
    QCOMPARE(box->itemText(number - 1), QStringLiteral("COM%1").arg(number));
    QCOMPARE(box->currentText(), QStringLiteral("COM1"));
}

void TestCommissionPorts::assign_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("written");
    QTest::newRow("by its stable name") << 0 << true << kFtdi.stableName;
    QTest::newRow("without one, by its device") << 1 << true << kAcm.systemLocation;
    QTest::newRow("dev.dat cannot be written") << 0 << false << "";
}

void TestCommissionPorts::assign()
{
    QFETCH(int, row);
    QFETCH(bool, writable);
    QFETCH(QString, written);
    ScriptedRig<Main> rig(QStringLiteral("[PORTS]\nCOM1=/dev/ttyUSB7\n"));
    QVERIFY(rig.loaded);
    Main* w = rig.w.get();
    w->ComNum->setCurrentIndex(1);
    QTest::mouseClick(w->cmdPorts, Qt::LeftButton);
    auto* ports = w->findChild<ui::PortsDialog*>();
    QVERIFY(ports && ports->isVisible());
    QCOMPARE(ports->Adapters->rowCount(), 2);
    QCOMPARE(ports->Adapters->item(0, 3)->text(), kFtdi.serialNumber);
    QCOMPARE(ports->PortNumber->currentIndex(), 1);
    ports->Adapters->selectRow(row);
    ports->PortNumber->setCurrentIndex(2);
    if (!writable)
        QVERIFY(QFile::remove(rig.folder.file("dev.dat")) && QDir(rig.folder.path()).mkdir("dev.dat"));
    QTest::mouseClick(ports->Assign, Qt::LeftButton);

    if (!writable) {
        QCOMPARE(rig.messages.texts().size(), 1);
        QVERIFY2(rig.messages.texts().first().startsWith(QStringLiteral("Ошибка: Не удалось записать файл ")),
                 qPrintable(rig.messages.texts().first()));
        QCOMPARE(label(w->ComNum, 2), QStringLiteral("COM3 — ttyS2, нет устройства"));
        return;
    }
    QCOMPARE(w->dev()->sGetINI("PORTS", "COM3", "?"), written);
    QCOMPARE(w->dev()->sGetINI("PORTS", "COM1", "?"), QStringLiteral("/dev/ttyUSB7"));
    const SerialAdapter& a = row == 0 ? kFtdi : kAcm;
    const QString now = QStringLiteral("COM3 — %1, %2").arg(QFileInfo(a.systemLocation).fileName(), a.description);
    // The program's list says so at once, and keeps its selection.
    QCOMPARE(label(w->ComNum, 2), now);
    QCOMPARE(w->ComNum->currentIndex(), 1);
    QCOMPARE(label(ports->PortNumber, 2), now);
}

QTEST_MAIN(TestCommissionPorts)
#include "tst_commission_ports.moc"
