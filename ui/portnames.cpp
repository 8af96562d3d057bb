#include "portnames.h"

#include "dev.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QStyledItemDelegate>

namespace ui {

namespace {

std::function<QList<SerialAdapter>()>& source()
{
    static std::function<QList<SerialAdapter>()> s;
    return s;
}

QList<SerialAdapter> systemAdapters()
{
    // The stable names: /dev/serial/by-id/ holds a link for each USB adapter.
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    QList<QPair<QString, QString>> links; // target, link
    for (const QFileInfo& f : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        links.append({f.canonicalFilePath(), f.absoluteFilePath()});
    QList<SerialAdapter> out;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialAdapter a;
        a.systemLocation = info.systemLocation();
        a.description = info.description();
        a.manufacturer = info.manufacturer();
        a.serialNumber = info.serialNumber();
        const QString target = QFileInfo(a.systemLocation).canonicalFilePath();
        for (const auto& [to, link] : links)
            if (to == target)
                a.stableName = link;
        out.append(a);
    }
    return out;
}

// The open list shows an item's label instead of its text.
class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString label = index.data(kPortLabelRole).toString();
        if (!label.isEmpty())
            option->text = label;
    }
};

} // namespace

QList<SerialAdapter> serialAdapters()
{
    return source() ? source()() : systemAdapters();
}

void setAdapterSource(std::function<QList<SerialAdapter>()> s)
{
    source() = std::move(s);
}

QString portLabel(int number, const QString& path, const QList<SerialAdapter>& adapters)
{
    const QString com = QStringLiteral("COM%1").arg(number);
    if (path.contains(QLatin1String("://")))
        return QStringLiteral("%1 — %2").arg(com, path);
    const QFileInfo file(path);
    const QString canonical = file.canonicalFilePath();
    for (const SerialAdapter& a : adapters) {
        const bool same = path == a.systemLocation || (!a.stableName.isEmpty() && path == a.stableName)
            || (!canonical.isEmpty() && QFileInfo(a.systemLocation).canonicalFilePath() == canonical);
        if (!same)
            continue;
        const QString device = QFileInfo(a.systemLocation).fileName();
        return a.description.isEmpty() ? QStringLiteral("%1 — %2").arg(com, device)
                                       : QStringLiteral("%1 — %2, %3").arg(com, device, a.description);
    }
    // A stable name that leads nowhere names the adapter it was given for.
    const QString shown = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    // A ttyS node without a port behind it is not listed by the system.
    static const QRegularExpression legacy(QStringLiteral("^/dev/ttyS\\d+$"));
    if (!file.exists() || legacy.match(path).hasMatch())
        return QStringLiteral("%1 — %2, нет устройства").arg(com, shown);
    return QStringLiteral("%1 — %2").arg(com, shown);
}

void labelPorts(QComboBox* box, const instrument::Dev& dev)
{
    const QList<SerialAdapter> adapters = serialAdapters();
    int widest = 0;
    for (int i = 0; i < box->count(); ++i) {
        const QString label = portLabel(i + 1, dev.portPath(i + 1), adapters);
        box->setItemData(i, label, kPortLabelRole);
        box->setItemData(i, label, Qt::ToolTipRole);
        widest = qMax(widest, box->fontMetrics().horizontalAdvance(label));
    }
    if (!dynamic_cast<LabelDelegate*>(box->itemDelegate()))
        box->setItemDelegate(new LabelDelegate(box));
    box->view()->setMinimumWidth(widest + 4 * box->fontMetrics().averageCharWidth() + 20);
}

} // namespace ui
