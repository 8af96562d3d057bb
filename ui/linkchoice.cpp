#include "linkchoice.h"

#include "controls.h"
#include "dev.h"
#include "lists.h"
#include "netaddress.h"
#include "numbers.h"
#include "programwindow.h"
#include "settingskeys.h"

#include <QComboBox>
#include <QLabel>

namespace ui {

LinkChoice createLinkChoice(QWidget* parent)
{
    LinkChoice c;
    c.lPort = label(parent, QStringLiteral("lPort"), QStringLiteral("СОМ порт"), Twips{120, 90, 1215, 255});
    c.cmbPort = dropDownList(parent, QStringLiteral("cmbPort"), Twips{120, 360, 1215, 315},
                             QStringLiteral("Выбор СОМ порта"));
    c.lSpeed = label(parent, QStringLiteral("lSpeed"), QStringLiteral("Скорость"), Twips{1455, 90, 1215, 255});
    c.cmbSpeed = dropDownList(parent, QStringLiteral("cmbSpeed"), Twips{1455, 360, 1215, 315},
                              QStringLiteral("Выбор скорости обмена"));
    c.lNetAdrr = label(parent, QStringLiteral("lNetAdrr"), QStringLiteral("Сетевой номер"),
                       Twips{2790, 90, 1455, 255});
    c.cmbNetAdrr = dropDownList(parent, QStringLiteral("cmbNetAdrr"), Twips{2790, 360, 1215, 315},
                                QStringLiteral("Выбор сетевого номера прибора"));
    return c;
}

QString notTaken(const QString& what, const QString& value, const QString& section, const QString& key,
                 const QString& why, const QString& instead)
{
    return QStringLiteral("В dev.dat %1 «%2» (%3/%4) %5, взято %6.").arg(what, value, section, key, why, instead);
}

namespace {

void takePort(const QComboBox* box, instrument::Dev& dev)
{
    const int index = selectedIndex(box);
    if (index >= 0)
        dev.Number = quint8(index + 1);
}

void takeSpeed(const QComboBox* box, instrument::Dev& dev)
{
    if (selectedIndex(box) >= 0)
        dev.Settings = box->currentText() + QStringLiteral(",N,8,2");
}

} // namespace

void loadLinkChoice(const LinkChoice& c, instrument::Dev& dev, int defaultSpeed, QStringList* problems)
{
    // NumberIndex is the list index: 0 for COM1.
    const int ports = int(portItems().size());
    const QString text = dev.sGetINI(keys::kProgs, keys::kNumberIndex, QStringLiteral("0"));
    qint64 index = -1;
    if (!instrument::toWholeNumber(text, dev.sFloatingPointSeparator, 0, ports - 1, &index)
        || !fillPorts(c.cmbPort, int(index) + 1)) {
        *problems << notTaken(QStringLiteral("номер порта"), text, keys::kProgs, keys::kNumberIndex,
                              QStringLiteral("вне списка (0 для COM1 .. %1 для COM%2)").arg(ports - 1).arg(ports),
                              QStringLiteral("COM1"));
        fillPorts(c.cmbPort, 1);
    }
    dev.Number = quint8(c.cmbPort->currentIndex() + 1);

    const SpeedList list = readSpeedList(dev, defaultSpeed);
    *problems << list.problems;
    // The list shows the baud rates alone.
    QStringList rates;
    for (const QString& s : list.items)
        rates << s.section(QLatin1Char(','), 0, 0);
    fill(c.cmbSpeed, rates, list.index);
    // With an empty list the link keeps its own COMport/settings.
    if (list.index >= 0)
        takeSpeed(c.cmbSpeed, dev);

    fillNetAddresses(c.cmbNetAdrr, dev, 1);
}

void connectLinkChoice(const LinkChoice& c, QWidget* context, instrument::Dev& dev)
{
    QComboBox* port = c.cmbPort;
    QComboBox* speed = c.cmbSpeed;
    QComboBox* address = c.cmbNetAdrr;
    instrument::Dev* d = &dev;
    onFocusLost(port, [port, d] { takePort(port, *d); });
    QObject::connect(port, &QComboBox::currentIndexChanged, context, [port, d](int) { takePort(port, *d); });
    onFocusLost(speed, [speed, d] { takeSpeed(speed, *d); });
    QObject::connect(speed, &QComboBox::currentIndexChanged, context, [speed, d](int) { takeSpeed(speed, *d); });
    connectNetAddress(address, context, [address, d] { takeNetAddress(address, *d); });
}

} // namespace ui
