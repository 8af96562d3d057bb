#include "viewer_window.h"

#include "boxes.h"
#include "csvexport.h"
#include "dialogs.h"
#include "framemodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QTableView>
#include <QValueAxis>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cmath>

namespace viewer {

const QString frmViewer::kProgram = QStringLiteral("Viewer");

namespace {

// The client area as designed (twips); the window may be made larger, and
// the table, the value list and the plot take the room.
constexpr int kWidth = 15000;
constexpr int kHeight = 10500;

// The lines of value k are named so.
QString seriesName(int k)
{
    return QStringLiteral("value%1").arg(k);
}

// Value k's colour: sixteen well-told-apart hues, then around again darker.
QColor valueColour(int k)
{
    static const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b",
                                           "#e377c2", "#17becf", "#7f7f7f", "#bcbd22", "#000080", "#008080",
                                           "#800000", "#808000", "#ff00ff", "#00a000"};
    const QColor c(QLatin1String(kColours[(k - 1) % 16]));
    return (k - 1) / 16 % 2 ? c.darker(150) : c;
}

} // namespace

frmViewer::frmViewer(QWidget* parent) : QWidget(parent)
{
    ui::applyWindowFont(this);
    setWindowTitle(ui::caption(QStringLiteral("Просмотр данных"), QStringLiteral("1.0.0")));
    setMinimumSize(kWidth / 15, kHeight / 15);
    resize(kWidth / 15, kHeight / 15);

    cmdOpen = ui::button(this, QStringLiteral("cmdOpen"), QStringLiteral("Открыть…"), {},
                         QStringLiteral("Открыть файл данных, записанный программой чтения памяти"));
    cmdSaveCsv = ui::button(this, QStringLiteral("cmdSaveCsv"), QStringLiteral("Сохранить CSV…"), {},
                            QStringLiteral("Записать кадры в файл CSV для электронной таблицы"));
    cmbCsvStyle = ui::dropDownList(this, QStringLiteral("cmbCsvStyle"), {}, QStringLiteral("Вид файла CSV"));
    cmbCsvStyle->addItems({QStringLiteral("CSV: «,» между полями, «.» в числах"),
                           QStringLiteral("CSV для Excel: «;» и «,»")});
    cmdSavePicture = ui::button(this, QStringLiteral("cmdSavePicture"), QStringLiteral("Сохранить рисунок…"), {},
                                QStringLiteral("Записать график в файл PNG"));
    cmdResetZoom = ui::button(this, QStringLiteral("cmdResetZoom"), QStringLiteral("Сбросить масштаб"), {},
                              QStringLiteral("Показать весь график"));
    lFile = ui::label(this, QStringLiteral("lFile"), QStringLiteral("Файл не открыт"), {});

    m_model = new FrameModel(this);
    gridFrames = new QTableView(this);
    gridFrames->setObjectName(QStringLiteral("gridFrames"));
    gridFrames->setToolTip(QStringLiteral("Кадры файла"));
    gridFrames->setModel(m_model);
    gridFrames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridFrames->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridFrames->verticalHeader()->hide();
    // Fixed sizes: a whole buffer opens without measuring every cell.
    gridFrames->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gridFrames->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    gridFrames->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    gridFrames->horizontalHeader()->setDefaultSectionSize(fontMetrics().horizontalAdvance(QStringLiteral("Значение 16")) + 12);

    lValues = ui::label(this, QStringLiteral("lValues"), QStringLiteral("Значения на графике"), {});
    lstValues = new QScrollArea(this);
    lstValues->setObjectName(QStringLiteral("lstValues"));
    lstValues->setWidget(new QWidget);
    lstValues->setWidgetResizable(false);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    auto* x = new QDateTimeAxis;
    x->setTitleText(QStringLiteral("Время"));
    auto* y = new QValueAxis;
    m_chart->addAxis(x, Qt::AlignBottom);
    m_chart->addAxis(y, Qt::AlignLeft);
    chartPlot = new QChartView(m_chart, this);
    chartPlot->setObjectName(QStringLiteral("chartPlot"));
    chartPlot->setRenderHint(QPainter::Antialiasing);
    chartPlot->setRubberBand(QChartView::RectangleRubberBand);
    chartPlot->setToolTip(QStringLiteral("Выделите мышью часть графика, чтобы увеличить её; правая кнопка уменьшает"));

    connect(cmdOpen, &QPushButton::clicked, this, &frmViewer::cmdOpen_Click);
    connect(cmdSaveCsv, &QPushButton::clicked, this, &frmViewer::cmdSaveCsv_Click);
    connect(cmdSavePicture, &QPushButton::clicked, this, &frmViewer::cmdSavePicture_Click);
    connect(cmdResetZoom, &QPushButton::clicked, m_chart, &QChart::zoomReset);
    for (QWidget* w : {static_cast<QWidget*>(cmdSaveCsv), static_cast<QWidget*>(cmbCsvStyle),
                       static_cast<QWidget*>(cmdSavePicture), static_cast<QWidget*>(cmdResetZoom)})
        w->setEnabled(false);
    placeAll();
}

frmViewer::~frmViewer() = default;

void frmViewer::placeAll()
{
    // What the window has beyond its designed size, in twips; the table
    // takes half the height gained, the list and the plot the other half.
    const int dx = std::max(0, width() * 15 - kWidth);
    const int dy = std::max(0, height() * 15 - kHeight);
    const int half = dy / 2;
    ui::place(cmdOpen, {120, 120, 1575, 375});
    ui::place(cmdSaveCsv, {1815, 120, 2055, 375});
    ui::place(cmbCsvStyle, {3990, 150, 3135, 315});
    ui::place(cmdSavePicture, {7245, 120, 2295, 375});
    ui::place(cmdResetZoom, {9660, 120, 2055, 375});
    ui::place(lFile, {120, 600, 14760 + dx, 255});
    ui::place(gridFrames, {120, 960, 14760 + dx, 3735 + half});
    ui::place(lValues, {120, 4815 + half, 2415, 255});
    ui::place(lstValues, {120, 5130 + half, 2415, 5250 + dy - half});
    ui::place(chartPlot, {2655, 4815 + half, 12225 + dx, 5565 + dy - half});
}

void frmViewer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeAll();
}

bool frmViewer::openFile(const QString& path)
{
    auto data = std::make_shared<dataview::DataFile>();
    QString error;
    if (!dataview::readDataFile(path, data.get(), &error)) {
        ui::errorBox(this, kProgram, error);
        return false;
    }
    m_data = std::move(data);
    showFile();
    return true;
}

void frmViewer::showFile()
{
    m_model->setFile(m_data);
    const int n = m_data->valueCount();
    lFile->setText(QStringLiteral("%1: кадров %2, значений в кадре до %3")
                       .arg(QDir::toNativeSeparators(QFileInfo(m_data->path).absoluteFilePath()))
                       .arg(m_data->frames.size())
                       .arg(n));
    gridFrames->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("Кадр 00000")));
    gridFrames->setColumnWidth(1, fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 12);
    gridFrames->setColumnWidth(3, fontMetrics().horizontalAdvance(QStringLiteral("0 0 00 00 00000000")) + 12);

    // A check box a value; what was ticked stays ticked; the first value is
    // ticked when nothing is.
    QList<bool> ticked;
    for (QCheckBox* c : chkValues)
        ticked << c->isChecked();
    qDeleteAll(chkValues);
    chkValues.clear();
    QWidget* list = lstValues->widget();
    const bool none = !ticked.contains(true);
    for (int k = 1; k <= n; ++k) {
        auto* c = ui::checkBox(list, QStringLiteral("chkValue%1").arg(k), QStringLiteral("Значение %1").arg(k),
                               {60, 30 + 270 * (k - 1), 2055, 255});
        c->setChecked(k <= ticked.size() ? ticked[k - 1] : (none && k == 1));
        QPalette p = c->palette();
        p.setColor(QPalette::WindowText, valueColour(k));
        c->setPalette(p);
        c->show();
        connect(c, &QCheckBox::toggled, this, &frmViewer::plot);
        chkValues << c;
    }
    list->resize(2055 / 15 + 8, (30 + 270 * n) / 15 + 4);
    for (QWidget* w : {static_cast<QWidget*>(cmdSaveCsv), static_cast<QWidget*>(cmbCsvStyle),
                       static_cast<QWidget*>(cmdSavePicture), static_cast<QWidget*>(cmdResetZoom)})
        w->setEnabled(true);
    plot();
}

QList<QLineSeries*> frmViewer::seriesOf(int k) const
{
    QList<QLineSeries*> out;
    for (QAbstractSeries* s : m_chart->series())
        if (s->objectName() == seriesName(k))
            out << static_cast<QLineSeries*>(s);
    return out;
}

void frmViewer::plot()
{
    m_chart->zoomReset();
    m_chart->removeAllSeries();
    auto* x = static_cast<QDateTimeAxis*>(m_chart->axes(Qt::Horizontal).first());
    auto* y = static_cast<QValueAxis*>(m_chart->axes(Qt::Vertical).first());
    if (!m_data)
        return;

    // The frames in time order (appended runs may go back in time); frames
    // whose clock wrote no real time are not drawn.
    QList<int> order;
    for (int i = 0; i < m_data->frames.size(); ++i)
        if (m_data->frames[i].time.isValid())
            order << i;
    QList<qint64> ms(m_data->frames.size());
    for (int i : order)
        ms[i] = m_data->frames[i].time.toMSecsSinceEpoch();
    std::stable_sort(order.begin(), order.end(), [&ms](int a, int b) { return ms[a] < ms[b]; });

    double lo = INFINITY;
    double hi = -INFINITY;
    for (int k = 1; k <= chkValues.size(); ++k) {
        if (!chkValues[k - 1]->isChecked())
            continue;
        // One line a stretch of readings; a sensor break ends it.
        QList<QList<QPointF>> stretches(1);
        for (int i : order) {
            const dataview::Frame& f = m_data->frames[i];
            if (k > f.values.size())
                continue;
            const dataview::Value& v = f.values[k - 1];
            if (v.sensorBreak()) {
                if (!stretches.last().isEmpty())
                    stretches.append(QList<QPointF>());
                continue;
            }
            stretches.last().append(QPointF(double(ms[i]), v.value));
            lo = std::min(lo, v.value);
            hi = std::max(hi, v.value);
        }
        if (stretches.size() > 1 && stretches.last().isEmpty())
            stretches.removeLast();
        const QString name = QStringLiteral("Значение %1").arg(k);
        for (int s = 0; s < stretches.size(); ++s) {
            auto* line = new QLineSeries;
            line->setObjectName(seriesName(k));
            line->setName(stretches[s].isEmpty() ? name + QStringLiteral(" (обрыв)") : name);
            line->replace(stretches[s]);
            QPen pen(valueColour(k));
            pen.setWidthF(1.5);
            line->setPen(pen);
            line->setPointsVisible(stretches[s].size() == 1);   // a lone reading between breaks
            m_chart->addSeries(line);
            line->attachAxis(x);
            line->attachAxis(y);
            if (s > 0)
                for (QLegendMarker* m : m_chart->legend()->markers(line))
                    m->setVisible(false);
        }
    }

    if (!order.isEmpty()) {
        qint64 first = ms[order.first()];
        qint64 last = ms[order.last()];
        if (last == first)
            first -= 30000, last += 30000;
        x->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
        x->setFormat(last - first > 2 * 86400000LL ? QStringLiteral("dd.MM HH:mm") : QStringLiteral("HH:mm:ss"));
    }
    if (lo > hi)
        lo = 0, hi = 1;
    const double margin = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::abs(hi) * 0.05);
    y->setRange(lo - margin, hi + margin);
    y->applyNiceNumbers();
}

void frmViewer::cmdOpen_Click()
{
    ui::FileRequest r;
    r.title = QStringLiteral("Открыть файл данных");
    r.folder = m_data ? QFileInfo(m_data->path).absolutePath() : QDir::homePath();
    r.filter = QStringLiteral("Файлы данных (*.dtl *.DTL);;Все файлы (*)");
    const QString path = ui::chooseFile(this, r);
    if (!path.isEmpty())
        openFile(path);
}

void frmViewer::cmdSaveCsv_Click()
{
    if (!m_data)
        return;
    const QFileInfo source(m_data->path);
    ui::FileRequest r;
    r.title = QStringLiteral("Сохранить кадры в CSV");
    r.folder = source.absolutePath();
    r.fileName = source.completeBaseName() + QStringLiteral(".csv");
    r.filter = QStringLiteral("Файлы CSV (*.csv)");
    r.defaultSuffix = QStringLiteral("csv");
    r.mayBeNew = true;
    const QString path = ui::chooseFile(this, r);
    if (path.isEmpty())
        return;
    const auto style = cmbCsvStyle->currentIndex() == 1 ? dataview::CsvStyle::Excel : dataview::CsvStyle::Standard;
    QString error;
    if (!dataview::saveCsv(*m_data, path, style, &error))
        ui::errorBox(this, kProgram, error);
}

void frmViewer::cmdSavePicture_Click()
{
    if (!m_data)
        return;
    const QFileInfo source(m_data->path);
    ui::FileRequest r;
    r.title = QStringLiteral("Сохранить рисунок графика");
    r.folder = source.absolutePath();
    r.fileName = source.completeBaseName() + QStringLiteral(".png");
    r.filter = QStringLiteral("Рисунки PNG (*.png)");
    r.defaultSuffix = QStringLiteral("png");
    r.mayBeNew = true;
    const QString path = ui::chooseFile(this, r);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && chartPlot->grab().save(&file, "PNG") && file.commit();
    if (!saved)
        ui::errorBox(this, kProgram,
                     QStringLiteral("рисунок не записан в файл %1: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace viewer
