#include "portsdialog.h"

#include "boxes.h"
#include "controls.h"
#include "dev.h"
#include "programwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace ui {

PortsDialog::PortsDialog(instrument::Dev& dev, const QString& program, int number, QWidget* parent)
    : QDialog(parent), m_dev(dev), m_program(program)
{
    setObjectName(QStringLiteral("PortsDialog"));
    setWindowTitle(QStringLiteral("Порты"));
    applyWindowFont(this);
    setFixedClientSize(this, 6555, 3525);
    Label1 = label(this, QStringLiteral("Label1"), QStringLiteral("Последовательные порты и адаптеры в системе:"),
                   {120, 120, 6315, 255});
    Adapters = listTable(this, QStringLiteral("Adapters"),
                         {QStringLiteral("Устройство"), QStringLiteral("Описание"), QStringLiteral("Изготовитель"),
                          QStringLiteral("Серийный номер")},
                         {120, 420, 6315, 1695});
    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("Порт:"), {120, 2265, 555, 255});
    PortNumber = dropDownList(this, QStringLiteral("PortNumber"), {720, 2220, 1275, 315},
                              QStringLiteral("Номер порта, которому дать адаптер"));
    Assign = button(this, QStringLiteral("Assign"), QStringLiteral("Назначить"), {2100, 2190, 1455, 375},
                    QStringLiteral("Записать выбранный адаптер в dev.dat для этого номера порта"));
    Refresh = button(this, QStringLiteral("Refresh"), QStringLiteral("Обновить список"), {4980, 2190, 1455, 375});
    Current = label(this, QStringLiteral("Current"), QString(), {120, 2700, 6315, 255});
    Close = button(this, QStringLiteral("Close"), QStringLiteral("Закрыть"), {4980, 3030, 1455, 375});

    fillPorts(PortNumber, number);
    connect(PortNumber, &QComboBox::currentIndexChanged, this, [this] { showCurrent(); });
    connect(Assign, &QPushButton::clicked, this, &PortsDialog::Assign_Click);
    connect(Refresh, &QPushButton::clicked, this, &PortsDialog::Refresh_Click);
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);
    Refresh_Click();
}

void PortsDialog::Refresh_Click()
{
    m_adapters = serialAdapters();
    Adapters->setRowCount(int(m_adapters.size()));
    for (int r = 0; r < m_adapters.size(); ++r) {
        const SerialAdapter& a = m_adapters[r];
        const QStringList cells{a.systemLocation, a.description, a.manufacturer, a.serialNumber};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(a.stableName.isEmpty() ? a.systemLocation : a.stableName);
            Adapters->setItem(r, c, item);
        }
    }
    Adapters->resizeColumnsToContents();
    if (!m_adapters.isEmpty())
        Adapters->selectRow(0);
    Assign->setEnabled(!m_adapters.isEmpty());
    labelPorts(PortNumber, m_dev);
    showCurrent();
}

void PortsDialog::showCurrent()
{
    const int number = PortNumber->currentIndex() + 1;
    Current->setText(QStringLiteral("Сейчас %1 (%2)")
                         .arg(portLabel(number, m_dev.portPath(number), m_adapters), m_dev.portPath(number)));
}

void PortsDialog::Assign_Click()
{
    const int row = Adapters->currentRow();
    if (row < 0 || row >= m_adapters.size())
        return;
    const SerialAdapter& a = m_adapters[row];
    const QString device = a.stableName.isEmpty() ? a.systemLocation : a.stableName;
    const int number = PortNumber->currentIndex() + 1;
    if (!m_dev.sWriteINI(QStringLiteral("PORTS"), QStringLiteral("COM%1").arg(number), device)) {
        errorBox(this, m_program, m_dev.iniWriteError());
        return;
    }
    labelPorts(PortNumber, m_dev);
    showCurrent();
    emit portAssigned(number);
}

} // namespace ui
