#pragma once
// What the port numbers stand for, in words the user knows: "COM3 — ttyUSB0,
// FT232R USB UART" in the port lists, and the serial adapters the system has,
// for the window that gives an adapter to a port number.

#include <QList>
#include <QString>
#include <functional>

class QComboBox;

namespace instrument {
class Dev;
}

namespace ui {

// A serial adapter (or built-in serial port) the system lists.
struct SerialAdapter {
    QString systemLocation;  // /dev/ttyUSB0
    QString description;     // "FT232R USB UART"
    QString manufacturer;    // "FTDI"
    QString serialNumber;    // "A50285BI"
    QString stableName;      // /dev/serial/by-id/usb-FTDI_...; empty when none
};

// The adapters present now: by default the system's (Qt SerialPort, with the
// names under /dev/serial/by-id/ that lead to them). Tests put a list of their
// own in place with setAdapterSource; an empty function restores the system's.
QList<SerialAdapter> serialAdapters();
void setAdapterSource(std::function<QList<SerialAdapter>()> source);

// The label of port number n whose device is path: "COM3 — ttyUSB0, FT232R
// USB UART" for a listed adapter, "COM5 — ttyS4, нет устройства" for a device
// that is not there, "COM7 — tcp://host:4001" for a network port.
QString portLabel(int number, const QString& path, const QList<SerialAdapter>& adapters);

// The role of a port list's items that holds their label; the items' text
// stays "COMn", so the closed list and its currentText() are as before, and
// the open list shows the labels.
constexpr int kPortLabelRole = 0x0100 + 40;

// Puts the labels of the ports that dev's "dev.dat" names into box's items
// (item i is port i + 1) and lets the open list show them whole.
void labelPorts(QComboBox* box, const instrument::Dev& dev);

} // namespace ui
