#pragma once
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <optional>

#include <qcustomplot.h>

#include "graphs/chartmodel.h"

namespace hv {

// What a drawing of the plot paints: the line points its sampling keeps and the marks.
struct RenderStats {
    qint64 pointsDrawn = 0; // line points plus symbols
    qint64 symbolsDrawn = 0;
};

// Maps a chart model onto a QCustomPlot: axes, value labels, groups and series with their
// styles, legend, header, footer and the information label. Every point goes to the plot,
// which samples what it draws at the plot's size: a line keeps each pixel column's lowest
// and highest reading and breaks where a value is missing, and every reading's mark is drawn
// at its pixel (readings on one pixel share a mark). Lines are cut to the plot area in every
// picture. The legend stands below the plot area, where it covers no reading.
// Replaces everything the plot held.
void RenderChart(const ChartModel& model, QCustomPlot& plot);
// What the plot, laid out at its size, paints of its series.
RenderStats SampledPoints(const QCustomPlot& plot);

// Pictures of a chart, drawn offscreen at the given size in pixels. The file appears only
// when it was written whole; a failure leaves the file that was there and returns its
// reason in the system's words. Nothing on success.
constexpr int ChartPictureWidth = 1000;
constexpr int ChartPictureHeight = 700;
[[nodiscard]] std::optional<QString> SaveChartSvg(const ChartModel& model, const QString& path,
                                                  QSize size = QSize(ChartPictureWidth, ChartPictureHeight),
                                                  RenderStats* stats = nullptr);
[[nodiscard]] std::optional<QString> SaveChartJpeg(const ChartModel& model, const QString& path,
                                                   QSize size = QSize(ChartPictureWidth, ChartPictureHeight),
                                                   int quality = 90, RenderStats* stats = nullptr);
[[nodiscard]] std::optional<QString> SaveChartPng(const ChartModel& model, const QString& path,
                                                  QSize size = QSize(ChartPictureWidth, ChartPictureHeight),
                                                  RenderStats* stats = nullptr);
// Puts a picture made in memory under its name only once all of it is on disk: a full disk
// leaves no file cut short and the file that was there as it was. The reason in the system's
// words, or nothing. (Made in memory first, every failed write is seen here.)
[[nodiscard]] std::optional<QString> WritePictureBytes(const QString& path, const QByteArray& picture);

// The chart of a window: shows its model, rendered again once the model has announced its
// changes and when the widget's size changes.
class ChartView : public QCustomPlot {
    Q_OBJECT
public:
    explicit ChartView(ChartModel* model, QWidget* parent = nullptr);
    ChartModel* model() const { return model_; }
    // Renders the model now (a change of the model renders it on the next event loop turn).
    void refresh();
    RenderStats drawnStats() const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QPointer<ChartModel> model_;
    QTimer* pending_ = nullptr;
    QTimer* resized_ = nullptr;
};

} // namespace hv
