#pragma once
// The window that gives a serial adapter to a port number: it lists the
// adapters the system has (device, description, maker, serial number) and
// writes the chosen one as key COMn of section [PORTS] of "dev.dat", by its
// stable name under /dev/serial/by-id/ when it has one, so the number keeps
// leading to the adapter when it is plugged in again.

#include "portnames.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace instrument {
class Dev;
}

namespace ui {

class PortsDialog : public QDialog {
    Q_OBJECT
public:
    // program titles the message boxes; number is the port selected at first.
    PortsDialog(instrument::Dev& dev, const QString& program, int number, QWidget* parent = nullptr);

    // Lists the adapters again (after one was plugged in).
    void Refresh_Click();
    // Gives the selected adapter to the selected port number.
    void Assign_Click();

    QLabel* Label1 = nullptr;
    QTableWidget* Adapters = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PortNumber = nullptr;
    QPushButton* Assign = nullptr;
    QPushButton* Refresh = nullptr;
    QLabel* Current = nullptr;
    QPushButton* Close = nullptr;

signals:
    // Port number now stands for another device.
    void portAssigned(int number);

private:
    void showCurrent();

    instrument::Dev& m_dev;
    QString m_program;
    QList<SerialAdapter> m_adapters;
};

} // namespace ui
