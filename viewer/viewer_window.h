#pragma once
// Viewer's window: a data file of Memory's downloads as a table of frames
// and a plot of the values ticked against time, saved as CSV or as a PNG
// picture. It needs no instrument and no link.

#include "controls.h"
#include "datareader.h"

#include <QList>
#include <QWidget>
#include <memory>

class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QScrollArea;
class QTableView;

namespace viewer {

class FrameModel;

class frmViewer : public QWidget {
    Q_OBJECT
public:
    static const QString kProgram;   // titles the message boxes

    explicit frmViewer(QWidget* parent = nullptr);
    ~frmViewer() override;

    // Reads the file and shows it. A file that cannot be read is reported in
    // a box, and what was shown before stays.
    bool openFile(const QString& path);

    const dataview::DataFile* file() const { return m_data.get(); }
    // The lines drawn for value k (from 1): one a stretch between sensor
    // breaks, in time order.
    QList<QLineSeries*> seriesOf(int k) const;
    QChart* chart() const { return m_chart; }

    // The button handlers, as a click runs them.
    void cmdOpen_Click();
    void cmdSaveCsv_Click();
    void cmdSavePicture_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFile();
    void plot();
    void placeAll();

    std::shared_ptr<const dataview::DataFile> m_data;
    FrameModel* m_model = nullptr;

    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSaveCsv = nullptr;
    QComboBox* cmbCsvStyle = nullptr;
    QPushButton* cmdSavePicture = nullptr;
    QPushButton* cmdResetZoom = nullptr;
    QLabel* lFile = nullptr;
    QTableView* gridFrames = nullptr;
    QLabel* lValues = nullptr;
    QScrollArea* lstValues = nullptr;
    QList<QCheckBox*> chkValues;
    QChartView* chartPlot = nullptr;
    QChart* m_chart = nullptr;
};

} // namespace viewer
