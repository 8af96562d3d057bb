#include "framemodel.h"

#include <QBrush>
#include <QColor>

namespace viewer {

FrameModel::FrameModel(QObject* parent) : QAbstractTableModel(parent) {}

void FrameModel::setFile(std::shared_ptr<const dataview::DataFile> data)
{
    beginResetModel();
    m_data = std::move(data);
    m_values = m_data ? m_data->valueCount() : 0;
    endResetModel();
}

int FrameModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_data ? 0 : int(m_data->frames.size());
}

int FrameModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_data ? 0 : kFixedColumns + m_values;
}

QString FrameModel::stateText(const dataview::Value& v)
{
    QStringList meaning;
    if (v.state != QLatin1Char('0'))
        meaning << QStringLiteral("измерение не в норме");
    const int f = v.flagBits();
    if (f & 4)
        meaning << QStringLiteral("обрыв датчика");
    if (f & 1)
        meaning << QStringLiteral("первая уставка");
    if (f & 2)
        meaning << QStringLiteral("вторая уставка");
    return QStringLiteral("Состояние «%1», флаги «%2»: %3")
        .arg(v.state)
        .arg(v.flags)
        .arg(meaning.isEmpty() ? QStringLiteral("норма") : meaning.join(QStringLiteral(", ")));
}

QVariant FrameModel::data(const QModelIndex& index, int role) const
{
    if (!m_data || !index.isValid() || index.row() >= m_data->frames.size())
        return QVariant();
    const dataview::Frame& f = m_data->frames[index.row()];
    const int column = index.column();
    if (column < kFixedColumns) {
        if (role != Qt::DisplayRole)
            return QVariant();
        switch (column) {
        case 0: return f.number;
        case 1:
            return f.time.isValid() ? f.time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                                    : f.dateText + QLatin1Char(' ') + f.timeText;
        case 2: return f.field9;
        default: return QStringList(f.slices, f.slices + 5).join(QLatin1Char(' '));
        }
    }
    const int k = column - kFixedColumns;
    if (k >= f.values.size())
        return QVariant();
    const dataview::Value& v = f.values[k];
    const bool red = v.state != QLatin1Char('0') || v.sensorBreak();
    const bool yellow = v.flagBits() & 3;
    switch (role) {
    case Qt::DisplayRole: return v.number;
    case Qt::ToolTipRole: return stateText(v);
    case Qt::TextAlignmentRole: return int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (red)
            return QBrush(Qt::red);
        if (yellow)
            return QBrush(Qt::yellow);
        return QVariant();
    case Qt::ForegroundRole: return red ? QBrush(Qt::white) : QVariant();
    default: return QVariant();
    }
}

QVariant FrameModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    static const char* const kFixed[kFixedColumns] = {"Кадр", "Дата и время", "Поле 9", "Поле 10"};
    if (section < kFixedColumns)
        return QString::fromUtf8(kFixed[section]);
    return QStringLiteral("Значение %1").arg(section - kFixedColumns + 1);
}

} // namespace viewer
