#pragma once
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>

#include <qcustomplot.h>

#include "graphs/chartmodel.h"

class QPainter;

namespace hv {

// What the last rendering drew.
struct RenderStats {
    qint64 pointsDrawn = 0; // line points handed to the plot plus symbols kept
    qint64 symbolsDrawn = 0;
};

// Maps a chart model onto a QCustomPlot: axes, value labels, groups and series with their
// styles, legend, header, footer and the information label. The plot's size decides how
// many symbols a dense series keeps. Replaces everything the plot held.
RenderStats RenderChart(const ChartModel& model, QCustomPlot& plot);

// Pictures of a chart, drawn offscreen at the given size in pixels. False when the file
// cannot be written.
constexpr int ChartPictureWidth = 1000;
constexpr int ChartPictureHeight = 700;
bool SaveChartSvg(const ChartModel& model, const QString& path,
                  QSize size = QSize(ChartPictureWidth, ChartPictureHeight), RenderStats* stats = nullptr);
bool SaveChartJpeg(const ChartModel& model, const QString& path,
                   QSize size = QSize(ChartPictureWidth, ChartPictureHeight), int quality = 90,
                   RenderStats* stats = nullptr);
bool SaveChartPng(const ChartModel& model, const QString& path,
                  QSize size = QSize(ChartPictureWidth, ChartPictureHeight), RenderStats* stats = nullptr);
// Paints the chart into a rectangle of any painter (printer, PDF, picture).
void PaintChart(const ChartModel& model, QPainter& painter, const QRect& target);

// The chart of a window: shows its model, drawn again when the model announces a change
// and when the widget's size changes.
class ChartView : public QCustomPlot {
    Q_OBJECT
public:
    explicit ChartView(ChartModel* model, QWidget* parent = nullptr);
    ChartModel* model() const { return model_; }
    void refresh();
    const RenderStats& lastStats() const { return stats_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QPointer<ChartModel> model_;
    RenderStats stats_;
    QTimer* resized_ = nullptr;
};

} // namespace hv
