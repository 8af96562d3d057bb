#pragma once
// The frames of a data file as a table: one row a frame; the columns are the
// frame number, its date and time, field 9, field 10 (its five slices) and
// one column a value. A value's cell shows its number as written; a state
// other than "0" or a sensor break paints it red with white text, a
// setpoint flag yellow, and its tooltip says what the state and flags mean.

#include "datareader.h"

#include <QAbstractTableModel>
#include <memory>

namespace viewer {

class FrameModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kFixedColumns = 4;

    explicit FrameModel(QObject* parent = nullptr);

    void setFile(std::shared_ptr<const dataview::DataFile> data);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "Состояние «1», флаги «4»: обрыв датчика".
    static QString stateText(const dataview::Value& v);

private:
    std::shared_ptr<const dataview::DataFile> m_data;
    int m_values = 0;
};

} // namespace viewer
