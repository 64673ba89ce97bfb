#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace hv {

// Line pattern codes: 1 none, 2 solid, 3 dash, 4 dotted, 5 short dash.
// Symbol shape codes: 1 none, 2 dot, 3 box, 4 tri, 5 diamond, 6 star, 7 vertical line,
// 8 horizontal line, 9 cross, 10 circle, 11 square.
constexpr int LinePatternCount = 5;
constexpr int SymbolShapeCount = 11;

// Colours are red + 256 x green + 65536 x blue.
constexpr qint32 RgbColor(int r, int g, int b) {
    return r + 256 * g + 65536 * b;
}

struct ChartStyle {
    int linePattern = 2;
    int lineWidth = 1;
    qint32 lineColor = 0;
    int symbolShape = 1;
    int symbolSize = 5;
    qint32 symbolColor = 0;
};

// One series of a chart group. A point whose value was never passed is NaN (drawn as a gap).
// The series of one graph share their X values: a copy of x is the same list until changed.
struct ChartSeries {
    QList<double> x;
    std::vector<double> y;
    int pointCount() const { return int(x.size()); }
    void setPointCount(int n);
};

// A chart group: its series with their data, and the labels and styles by series number,
// which outlive a change of the series count as the chart control keeps them.
class ChartGroup {
public:
    int seriesCount() const { return int(series_.size()); }
    void setSeriesCount(int n);
    ChartSeries& series(int k); // 1-based; grows the count when needed
    const ChartSeries& series(int k) const;
    ChartStyle& style(int k); // 1-based; any index
    ChartStyle styleOf(int k) const;
    QString label(int k) const;
    void setLabel(int k, const QString& text);
    int dataLayout = 2;

private:
    std::vector<ChartSeries> series_;
    std::vector<ChartStyle> styles_;
    std::vector<QString> labels_;
};

struct ValueLabel {
    double position = 0;
    QString text;
};

struct ChartAxis {
    double min = 0;
    double max = 10;
    double origMin = 0; // the second range pair
    double origMax = 10;
    QString title;
    bool shown = true;
    bool gridShown = false;
    int gridPattern = 2;
    std::vector<ValueLabel> valueLabels;
    // X only.
    double timeBase = 0; // date serial
    int timeUnit = 0;
    int annotationMethod = 0; // 2: the axis shows its value labels
};

struct ChartLabel {
    QString name;
    bool shown = false;
    int attachMethod = 0;
    int anchor = 0;
    int x = 0;
    int y = 0;
    QString text;
};

// Everything the graph code sets on the chart and reads back, without any display. A
// renderer draws it (ui/chartview.h). Changes made between beginBatch and endBatch are
// announced once, by endBatch; a change outside a batch is announced by update().
class ChartModel : public QObject {
    Q_OBJECT
public:
    explicit ChartModel(QObject* parent = nullptr);

    enum AxisId { X, Y, Y2 };
    ChartAxis& axis(AxisId a) { return axes_[a]; }
    const ChartAxis& axis(AxisId a) const { return axes_[a]; }
    ChartGroup& group(int g) { return groups_[g == 2 ? 1 : 0]; } // 1 or 2
    const ChartGroup& group(int g) const { return groups_[g == 2 ? 1 : 0]; }

    QString headerText;
    int headerLayout = 1; // larger with a title
    QString footerText;
    QString footerFont = "Arial";
    int footerSize = 8;
    int plotAreaLayout = 30;
    std::vector<ChartLabel> labels; // label 1 is labels[0]

    void setAxisRange(AxisId a, double min, double max); // both range pairs

    void beginBatch();
    void endBatch();
    bool inBatch() const { return batch_ > 0; }
    void update();

signals:
    // A batch of changes begins: what was drawn from the old contents is about to go.
    void batchStarted();
    void changed();

private:
    ChartAxis axes_[3];
    ChartGroup groups_[2];
    int batch_ = 0;
};

} // namespace hv
