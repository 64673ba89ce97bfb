#include "graphs/ui/chartview.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <cmath>
#include <iterator>
#include <limits>
#include <qcustomplot.h>
#include <vector>

#include "platform/filelimits.h"

namespace hv {

namespace {

QColor toQColor(qint32 c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

QPen patternPen(const ChartStyle& s) {
    QPen pen(toQColor(s.lineColor));
    pen.setWidthF(std::max(1, s.lineWidth));
    switch (s.linePattern) {
    case 1:
        pen.setStyle(Qt::NoPen);
        break;
    case 3:
        pen.setDashPattern({7, 4});
        break;
    case 4:
        pen.setStyle(Qt::DotLine);
        break;
    case 5:
        pen.setDashPattern({3, 3});
        break;
    default:
        pen.setStyle(Qt::SolidLine);
    }
    return pen;
}

QCPScatterStyle symbolStyle(const ChartStyle& s) {
    const QColor color = toQColor(s.symbolColor);
    const double size = std::max(2, s.symbolSize) + 1.0;
    const QPen pen(color, 1.2);
    switch (s.symbolShape) {
    case 2:
        return QCPScatterStyle(QCPScatterStyle::ssDisc, color, color, size * 0.6);
    case 3:
        return QCPScatterStyle(QCPScatterStyle::ssSquare, pen, Qt::NoBrush, size);
    case 4:
        return QCPScatterStyle(QCPScatterStyle::ssTriangle, pen, QBrush(color), size);
    case 5:
        return QCPScatterStyle(QCPScatterStyle::ssDiamond, pen, QBrush(color), size);
    case 6:
        return QCPScatterStyle(QCPScatterStyle::ssStar, pen, Qt::NoBrush, size);
    case 7:
    case 8: {
        // A custom shape is drawn scaled by size / 6: a stroke of 6 is as long as the other
        // shapes are wide. The pen keeps its width whatever the scale.
        QPainterPath p;
        p.moveTo(s.symbolShape == 7 ? QPointF(0, -3) : QPointF(-3, 0));
        p.lineTo(s.symbolShape == 7 ? QPointF(0, 3) : QPointF(3, 0));
        QPen thin = pen;
        thin.setCosmetic(true);
        return QCPScatterStyle(p, thin, Qt::NoBrush, size);
    }
    case 9:
        return QCPScatterStyle(QCPScatterStyle::ssCross, pen, Qt::NoBrush, size);
    case 10:
        return QCPScatterStyle(QCPScatterStyle::ssCircle, pen, Qt::NoBrush, size);
    case 11:
        return QCPScatterStyle(QCPScatterStyle::ssSquare, pen, QBrush(color), size);
    default:
        return QCPScatterStyle(QCPScatterStyle::ssNone);
    }
}

void applyRange(QCPAxis* a, double min, double max) {
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max))
        max = min + 1; // an empty range cannot be drawn
    a->setRange(min, max);
}

// The library takes no range beyond 1e250: an axis reaching further is drawn in units of a
// power of ten, its labels naming the values themselves.
double axisUnit(double min, double max) {
    const double reach = std::max(std::abs(min), std::abs(max));
    if (!std::isfinite(reach) || reach < 1e200) return 1;
    return std::pow(10.0, std::floor(std::log10(reach)) - 6);
}

class UnitTicker : public QCPAxisTicker {
public:
    explicit UnitTicker(double unit) : unit_(unit) {}

protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override {
        return QCPAxisTicker::getTickLabel(tick * unit_, locale, formatChar, precision);
    }

private:
    double unit_;
};

// Sets the axis' range in its unit; a new ticker only where the unit is not 1.
void applyValueRange(QCPAxis* a, double min, double max, double unit) {
    if (unit != 1) a->setTicker(QSharedPointer<UnitTicker>::create(unit));
    applyRange(a, min / unit, max / unit);
}

// Removes what an earlier rendering added around the axis rect. The legend is the plot's
// own: it goes back inside the axis rect, hidden, until a rendering places it again.
void resetLayout(QCustomPlot& plot) {
    QCPLayoutGrid* layout = plot.plotLayout();
    for (int i = layout->elementCount() - 1; i >= 0; --i) {
        QCPLayoutElement* el = layout->elementAt(i);
        if (!el || el == plot.axisRect()) continue;
        if (el == plot.legend)
            layout->take(el);
        else
            layout->remove(el);
    }
    layout->simplify();
    if (!plot.legend->layout())
        plot.axisRect()->insetLayout()->addElement(plot.legend, Qt::AlignTop | Qt::AlignRight);
    plot.legend->setVisible(false);
}

// Puts the legend in a row of its own at `row`, under the plot area, its entries side by
// side in as many columns as the picture's width takes. An empty legend stays hidden.
void placeLegend(QCustomPlot& plot, int row) {
    QCPLegend* legend = plot.legend;
    // The entries of an earlier graph left their cells behind, empty, in the rows they were
    // laid out in: gather this graph's entries in one row first.
    legend->setWrap(0);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    const int items = legend->itemCount();
    if (items == 0) return;
    legend->layout()->take(legend);
    int widest = 0;
    for (int i = 0; i < items; ++i)
        widest = std::max(widest, legend->item(i)->minimumOuterSizeHint().width());
    const int room = plot.viewport().width() - legend->margins().left() - legend->margins().right();
    const int fit =
        std::clamp((room + legend->columnSpacing()) / (widest + legend->columnSpacing()), 1, items);
    const int rows = (items + fit - 1) / fit;
    legend->setWrap((items + rows - 1) / rows); // rows filled evenly
    legend->setBorderPen(Qt::NoPen);            // a line of the picture, not a box over it
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    QCPLayoutGrid* layout = plot.plotLayout();
    layout->insertRow(row);
    layout->addElement(row, 0, legend);
    // The plot area takes the height; the legend row only what its entries need.
    layout->setRowStretchFactor(row, 0.001);
    legend->setVisible(true);
}

// The axis shows exactly the labels it is given, also one that stands just past the end of
// the range (a date label at noon of the last day), where the library's ticker drops it.
class ListedLabelsTicker : public QCPAxisTickerText {
public:
    void generate(const QCPRange&, const QLocale&, QChar, int, QVector<double>& ticks,
                  QVector<double>* subTicks, QVector<QString>* tickLabels) override {
        ticks = QVector<double>(mTicks.keyBegin(), mTicks.keyEnd());
        if (subTicks) subTicks->clear();
        if (tickLabels) *tickLabels = QVector<QString>(mTicks.cbegin(), mTicks.cend());
    }
};

// Lays the plot out at its viewport, as a replot would, so that pixel positions can be read.
void layOut(QCustomPlot& plot) {
    plot.plotLayout()->setOuterRect(plot.viewport());
    for (auto phase :
         {QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins, QCPLayoutElement::upLayout})
        plot.plotLayout()->update(phase);
}

// The library skips a tick label that would cross the picture's edge: leave room on the
// right for the label standing at or past the end of the axis. Needs a laid-out plot.
void fitLastLabel(QCustomPlot& plot, QCPAxis* xa, const std::vector<ValueLabel>& labels) {
    QCPAxisRect* rect = plot.axisRect();
    const QFontMetrics fm(xa->tickLabelFont());
    int overhang = 0;
    for (const ValueLabel& l : labels) {
        const double right = xa->coordToPixel(l.position) + fm.horizontalAdvance(l.text) / 2.0 + 3;
        overhang = std::max(overhang, int(std::ceil(right - plot.viewport().right())));
    }
    if (overhang <= 0) return;
    QMargins m = rect->minimumMargins();
    m.setRight(rect->margins().right() + overhang);
    rect->setMinimumMargins(m);
    layOut(plot);
}

// What a series paints at the plot's size, in pixels.
struct PixelPlot {
    // The line in key order: within a pixel column the first, lowest, highest and last
    // reading of each stretch, so no column loses its extremes; NaN where a reading has no
    // value and where the line leaves the plot area, which it is cut to.
    QVector<QPointF> line;
    // One mark per pixel that holds readings: the picture grows with the pixels, not the readings.
    QVector<QPointF> marks;
    // Readings with no neighbour on their line, marked when the series has no symbol: a
    // line alone would draw nothing there.
    QVector<QPointF> lone;
};

// Cuts segment a-b to the rectangle; false when nothing of it lies inside.
bool clipSegment(const QRectF& r, QPointF& a, QPointF& b) {
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const QPointF start = a;
    if (t1 < 1) b = start + QPointF(dx * t1, dy * t1);
    if (t0 > 0) a = start + QPointF(dx * t0, dy * t0);
    return true;
}

// The polyline cut to the rectangle, broken (NaN) where it leaves it: vector pictures keep
// no clipping of their own.
QVector<QPointF> clipLine(const QVector<QPointF>& line, const QRectF& r) {
    const QPointF gap(qQNaN(), qQNaN());
    auto isGap = [](const QPointF& p) { return std::isnan(p.x()) || std::isnan(p.y()); };
    QVector<QPointF> out;
    out.reserve(line.size() + 8);
    bool down = false; // out's last point ends the stroke being drawn
    for (qsizetype i = 1; i < line.size(); ++i) {
        QPointF a = line[i - 1], b = line[i];
        if (isGap(a) || isGap(b) || !clipSegment(r, a, b)) {
            if (down) out << gap;
            down = false;
            continue;
        }
        if (!down) out << a;
        out << b;
        down = b == line[i];
        if (!down) out << gap;
    }
    return out;
}

// The graph of a series, drawn from every reading it holds: its own sampling replaces the
// library's, which drops marks it judges covered and bridges values that are missing.
class SeriesGraph : public QCPGraph {
public:
    using QCPGraph::QCPGraph;
    // Painted over the whole picture instead of inside the plot area.
    void setUnclipped(bool on) { unclipped_ = on; }
    // What the last drawing painted; what a drawing would paint when none has been made yet.
    std::pair<qint64, qint64> sampledCounts() const {
        if (painted_) return *painted_;
        return countsOf(pixelPlot());
    }

protected:
    QRect clipRect() const override { return unclipped_ ? QCPLayerable::clipRect() : QCPGraph::clipRect(); }

    void draw(QCPPainter* painter) override {
        if (!mKeyAxis || !mValueAxis || mKeyAxis->range().size() <= 0 || mDataContainer->isEmpty()) return;
        const PixelPlot p = pixelPlot();
        painted_ = countsOf(p);
        if (mLineStyle != lsNone && !p.line.isEmpty()) {
            painter->setPen(mPen);
            painter->setBrush(Qt::NoBrush);
            drawLinePlot(painter, p.line);
        }
        if (!p.marks.isEmpty()) drawScatterPlot(painter, p.marks, mScatterStyle);
        if (!p.lone.isEmpty()) {
            const QColor c = mPen.color();
            drawScatterPlot(painter, p.lone,
                            QCPScatterStyle(QCPScatterStyle::ssDisc, c, c, mPen.widthF() + 3));
        }
    }

    // On a picture made of pixels the symbol is painted once and stamped at each reading:
    // stroking thousands of small outlines one by one costs several times more. Vector
    // pictures and printing keep a shape per mark.
    void drawScatterPlot(QCPPainter* painter, const QVector<QPointF>& scatters,
                         const QCPScatterStyle& style) const override {
        const int device = painter->device() ? painter->device()->devType() : QInternal::UnknownDevice;
        const bool pixels = (device == QInternal::Image || device == QInternal::Pixmap) &&
                            !painter->modes().testFlag(QCPPainter::pmVectorized);
        if (!pixels || scatters.size() < 64 || style.shape() == QCPScatterStyle::ssPixmap) {
            QCPGraph::drawScatterPlot(painter, scatters, style);
            return;
        }
        const qreal ratio = painter->device()->devicePixelRatioF();
        const int side = int(std::ceil(style.size() + style.pen().widthF())) + 2;
        QPixmap stamp(QSize(side, side) * ratio);
        stamp.setDevicePixelRatio(ratio);
        stamp.fill(Qt::transparent);
        {
            QCPPainter shape(&stamp);
            applyScattersAntialiasingHint(painter);
            shape.setAntialiasing(painter->antialiasing());
            style.applyTo(&shape, mPen);
            style.drawShape(&shape, side / 2.0, side / 2.0);
        }
        const QPointF centre(side / 2.0, side / 2.0);
        for (const QPointF& at : scatters)
            painter->drawPixmap(at - centre, stamp);
    }

private:
    static std::pair<qint64, qint64> countsOf(const PixelPlot& p) {
        qint64 points = 0;
        for (const QPointF& pt : p.line)
            points += !std::isnan(pt.x());
        return {points, p.marks.size() + p.lone.size()};
    }

    PixelPlot pixelPlot() const {
        PixelPlot out;
        const QCPAxis* ka = mKeyAxis.data();
        const QCPAxis* va = mValueAxis.data();
        if (!ka || !va || mDataContainer->isEmpty()) return out;
        const QRect area = ka->axisRect()->rect();
        if (area.width() <= 0 || area.height() <= 0) return out;
        QCPGraphDataContainer::const_iterator begin, end;
        getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
        const bool line = mLineStyle != lsNone;
        const bool marks = !mScatterStyle.isNone();
        const auto first = mDataContainer->constBegin(), last = mDataContainer->constEnd();
        const QPointF gap(qQNaN(), qQNaN());

        // Marks: one per pixel inside the plot area.
        const int w = area.width() + 1, h = area.height() + 1;
        std::vector<bool> taken;
        if (marks || line) taken.assign(size_t(w) * size_t(h), false);
        auto mark = [&](QVector<QPointF>& into, const QPointF& at) {
            const int x = int(std::lround(at.x())) - area.left(), y = int(std::lround(at.y())) - area.top();
            if (x < 0 || y < 0 || x >= w || y >= h) return;
            const size_t cell = size_t(y) * size_t(w) + size_t(x);
            if (taken[cell]) return;
            taken[cell] = true;
            into << at;
        };

        // The line: per pixel column, a stretch before the column's first gap and one after
        // it; further gaps inside one column are narrower than a pixel and not kept.
        struct Stretch {
            int count = 0;
            QPointF kept[4];
            QPointF first, lastPt, low, high;
            int lowAt = 0, highAt = 0;
            void add(const QPointF& p) {
                if (count < 4) kept[count] = p;
                if (count == 0) {
                    first = low = high = p;
                    lowAt = highAt = 0;
                } else {
                    if (p.y() < low.y()) low = p, lowAt = count;
                    if (p.y() > high.y()) high = p, highAt = count;
                }
                lastPt = p;
                ++count;
            }
            void flush(QVector<QPointF>& to) {
                if (count <= 4) {
                    for (int i = 0; i < count; ++i)
                        to << kept[i];
                } else {
                    to << first;
                    if (lowAt < highAt)
                        to << low << high;
                    else
                        to << high << low;
                    to << lastPt;
                }
                count = 0;
            }
        } stretch;
        auto addGap = [&] {
            if (!out.line.isEmpty() && !std::isnan(out.line.constLast().x())) out.line << gap;
        };
        const QCPRange ends = va->range();
        const double slack = ends.size() * 1e-9; // far less than a pixel
        qint64 column = std::numeric_limits<qint64>::min();
        bool brokenHere = false, trailingGap = false;
        for (auto it = begin; it != end; ++it) {
            const double px = ka->coordToPixel(it->key);
            if (std::isnan(px)) continue;
            const qint64 col = qint64(std::floor(px));
            if (line && col != column) {
                stretch.flush(out.line);
                if (trailingGap) addGap();
                column = col;
                brokenHere = trailingGap = false;
            }
            if (!std::isfinite(it->value)) { // a gap; so is a value no axis reaches
                if (!line) continue;
                if (!brokenHere) {
                    stretch.flush(out.line);
                    addGap();
                    brokenHere = true;
                } else {
                    trailingGap = true;
                }
                continue;
            }
            // A reading equal, as shown, to an end of the value axis is drawn on that end.
            const double value = it->value > ends.upper && it->value <= ends.upper + slack   ? ends.upper
                                 : it->value < ends.lower && it->value >= ends.lower - slack ? ends.lower
                                                                                             : it->value;
            QPointF at(px, va->coordToPixel(value));
            // The library puts the value axis's upper end one pixel above the plot's top row:
            // a reading there is drawn on the top row, as one at the lower end is on the bottom row.
            if (at.y() < area.top() && at.y() >= area.top() - 1) at.setY(area.top());
            if (line) {
                trailingGap = false;
                stretch.add(at);
            }
            if (marks) {
                mark(out.marks, at);
            } else if (line) {
                const bool before = it != first && std::isfinite(std::prev(it)->value);
                const bool after = std::next(it) != last && std::isfinite(std::next(it)->value);
                if (!before && !after) mark(out.lone, at);
            }
        }
        if (line) {
            stretch.flush(out.line);
            out.line = clipLine(out.line, QRectF(area));
        }
        return out;
    }

    bool unclipped_ = false;
    std::optional<std::pair<qint64, qint64>> painted_;
};

} // namespace

void RenderChart(const ChartModel& model, QCustomPlot& plot) {
    plot.clearGraphs();
    plot.clearItems();
    resetLayout(plot);

    // Thick lines of dense series are drawn segment by segment: stroking them as one long
    // path costs twenty times more. Vector pictures and printing keep whole paths.
    plot.setPlottingHint(QCP::phFastPolylines, true);
    // Axis numbers in the computer's own form, its digit grouping included: the library leaves
    // the grouping out unless told.
    if (plot.locale() != QLocale()) plot.setLocale(QLocale());
    QCPAxisRect* rect = plot.axisRect();
    rect->setMinimumMargins(QMargins(15, 15, 15, 15));
    QCPAxis* xa = rect->axis(QCPAxis::atBottom);
    QCPAxis* ya = rect->axis(QCPAxis::atLeft);
    QCPAxis* y2a = rect->axis(QCPAxis::atRight);

    const ChartAxis& mx = model.axis(ChartModel::X);
    const ChartAxis& my = model.axis(ChartModel::Y);
    const ChartAxis& my2 = model.axis(ChartModel::Y2);
    applyRange(xa, mx.min, mx.max);
    const double yUnit = axisUnit(my.min, my.max), y2Unit = axisUnit(my2.min, my2.max);
    if (!qSharedPointerDynamicCast<UnitTicker>(ya->ticker()).isNull())
        ya->setTicker(QSharedPointer<QCPAxisTicker>::create());
    if (!qSharedPointerDynamicCast<UnitTicker>(y2a->ticker()).isNull())
        y2a->setTicker(QSharedPointer<QCPAxisTicker>::create());
    applyValueRange(ya, my.min, my.max, yUnit);
    applyValueRange(y2a, my2.min, my2.max, y2Unit);
    ya->setLabel(my.title);
    y2a->setLabel(my2.title);
    y2a->setVisible(my2.shown);
    xa->setLabel(QString());

    auto ticker = QSharedPointer<ListedLabelsTicker>::create();
    for (const ValueLabel& l : mx.valueLabels)
        ticker->addTick(l.position, l.text);
    xa->setTicker(ticker);
    xa->grid()->setVisible(mx.gridShown);
    ya->grid()->setVisible(my.gridShown);
    const QPen gridPen(QColor(200, 200, 200), 0, Qt::SolidLine);
    xa->grid()->setPen(gridPen);
    ya->grid()->setPen(gridPen);

    QCPLayoutGrid* layout = plot.plotLayout();
    if (!model.headerText.isEmpty()) {
        layout->insertRow(0);
        auto* header =
            new QCPTextElement(&plot, model.headerText, QFont(plot.font().family(), 12, QFont::Bold));
        layout->addElement(0, 0, header);
    }
    if (!model.footerText.isEmpty()) {
        QFont f(model.footerFont, model.footerSize);
        auto* footer = new QCPTextElement(&plot, model.footerText, f);
        layout->addElement(layout->rowCount(), 0, footer);
    }
    const int legendRow = layout->rowCount(); // above the information label
    for (const ChartLabel& l : model.labels) {
        if (!l.shown || l.text.isEmpty()) continue;
        auto* info = new QCPTextElement(&plot, l.text, QFont(plot.font().family(), 7));
        info->setTextFlags(Qt::AlignLeft | Qt::AlignVCenter);
        layout->addElement(layout->rowCount(), 0, info);
        break; // one information label
    }
    if (plot.viewport().width() > 0) {
        layOut(plot);
        fitLastLabel(plot, xa, mx.valueLabels);
    }

    QFont legendFont = plot.font();
    legendFont.setPointSizeF(8);
    plot.legend->setFont(legendFont);

    for (int g = 1; g <= 2; ++g) {
        const ChartGroup& group = model.group(g);
        QCPAxis* va = g == 2 ? y2a : ya;
        const double unit = g == 2 ? y2Unit : yUnit;
        if (g == 2 && !my2.shown) continue;
        for (int k = 1; k <= group.seriesCount(); ++k) {
            const ChartSeries& s = group.series(k);
            const ChartStyle st = group.styleOf(k);
            const QString label = group.label(k);
            const QCPScatterStyle sym = symbolStyle(st);
            const bool symbolsOnly = st.linePattern == 1;
            // Symbols without a line are drawn whole, also where they overhang the plot's
            // border (the events sit on the X axis); points off the plot are left out.
            // A reading equal, as shown, to an end of the value axis is on it: a unit in the
            // last place past the end is far less than a pixel.
            const QCPRange keys = xa->range(), values = va->range();
            const double slack = values.size() * 1e-9;
            QVector<QCPGraphData> data;
            data.reserve(s.pointCount());
            for (int i = 0; i < s.pointCount(); ++i) {
                const double x = s.x[size_t(i)], y = s.y[size_t(i)] / unit;
                if (std::isnan(x)) continue;
                const bool inside = keys.contains(x);
                if (symbolsOnly && !(inside && y >= values.lower - slack && y <= values.upper + slack))
                    continue;
                data.push_back(QCPGraphData(x, y));
            }
            if (data.isEmpty() && label.isEmpty()) continue;
            auto* graph = new SeriesGraph(xa, va);
            graph->setName(label);
            graph->setPen(patternPen(st));
            graph->setLineStyle(symbolsOnly ? QCPGraph::lsNone : QCPGraph::lsLine);
            graph->setScatterStyle(sym);
            graph->setUnclipped(symbolsOnly);
            const bool sorted = std::is_sorted(data.begin(), data.end(), qcpLessThanSortKey<QCPGraphData>);
            graph->data()->set(data, sorted);
            // The legend explains marks on the chart: a series with nothing to draw has no entry.
            if (label.isEmpty() || data.isEmpty()) graph->removeFromLegend();
        }
    }
    placeLegend(plot, legendRow);
}

RenderStats SampledPoints(const QCustomPlot& plot) {
    RenderStats stats;
    for (int i = 0; i < plot.graphCount(); ++i)
        if (const auto* g = dynamic_cast<const SeriesGraph*>(plot.graph(i))) {
            const auto [lines, symbols] = g->sampledCounts();
            stats.pointsDrawn += lines + symbols;
            stats.symbolsDrawn += symbols;
        }
    return stats;
}

std::optional<QString> WritePictureBytes(const QString& path, const QByteArray& picture) {
    if (picture.isEmpty()) return QStringLiteral("the picture was not written");
    // Beside the target, then renamed over it: a picture cut short never stands at `path`.
    const QString cause = WriteFileWhole(path, picture);
    if (cause.isEmpty()) return std::nullopt;
    return cause;
}

namespace {

// A plot that paints itself into a raster picture as it paints the window, with its fast
// line drawing: the library's own export switches that off.
class PicturePlot : public QCustomPlot {
public:
    std::optional<QString> saveRastered(const QString& path, const char* format, int quality) {
        QImage image(viewport().size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QCPPainter painter;
        if (!painter.begin(&image)) return QStringLiteral("the picture could not be drawn");
        draw(&painter);
        painter.end();
        const int dotsPerMeter = int(96 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        QBuffer picture;
        picture.open(QIODevice::WriteOnly);
        QImageWriter writer(&picture, format);
        writer.setQuality(quality);
        if (!writer.write(image)) return writer.errorString();
        return WritePictureBytes(path, picture.data());
    }
};

// Text for the SVG's own elements, escaped by XML's rules; characters XML cannot carry
// at all are left out.
QString xmlText(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text)
        if (c.unicode() >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r') kept += c;
    return kept.toHtmlEscaped();
}

// An offscreen plot of the picture's size holding the rendered chart.
struct OffscreenPlot {
    PicturePlot plot;
    OffscreenPlot(const ChartModel& m, QSize size) {
        plot.setAttribute(Qt::WA_DontShowOnScreen);
        plot.resize(size);
        plot.setViewport(QRect(QPoint(0, 0), size));
        RenderChart(m, plot);
    }
    void count(RenderStats* stats) const {
        if (stats) *stats = SampledPoints(plot);
    }
};

} // namespace

std::optional<QString> SaveChartSvg(const ChartModel& model, const QString& path, QSize size,
                                    RenderStats* stats) {
    OffscreenPlot o(model, size);
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    QSvgGenerator gen;
    gen.setOutputDevice(&picture);
    gen.setSize(size);
    // Text at the size the plot was laid out with, as the window shows it.
    gen.setResolution(o.plot.logicalDpiY());
    gen.setViewBox(QRect(QPoint(0, 0), size));
    // The generator puts the title into the file as it is given.
    gen.setTitle(xmlText(model.headerText));
    QCPPainter painter;
    if (!painter.begin(&gen)) return QStringLiteral("the picture could not be drawn");
    o.plot.toPainter(&painter, size.width(), size.height());
    painter.end();
    o.count(stats);
    return WritePictureBytes(path, picture.data());
}

std::optional<QString> SaveChartJpeg(const ChartModel& model, const QString& path, QSize size, int quality,
                                     RenderStats* stats) {
    OffscreenPlot o(model, size);
    const std::optional<QString> failure = o.plot.saveRastered(path, "JPG", quality);
    o.count(stats);
    return failure;
}

std::optional<QString> SaveChartPng(const ChartModel& model, const QString& path, QSize size,
                                    RenderStats* stats) {
    OffscreenPlot o(model, size);
    const std::optional<QString> failure = o.plot.saveRastered(path, "PNG", -1);
    o.count(stats);
    return failure;
}

ChartView::ChartView(ChartModel* model, QWidget* parent) : QCustomPlot(parent), model_(model) {
    setMinimumSize(300, 220);
    // A drawing announces the model more than once (the graph, then its titles): the chart
    // is rendered once, when control returns to the event loop. While the window is being
    // resized the plot only rescales; the chart is laid out again once the size settles.
    pending_ = new QTimer(this);
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, &ChartView::refresh);
    connect(model_, &ChartModel::changed, pending_, qOverload<>(&QTimer::start));
    // The points of the old graph go before the new ones are loaded; the picture stays
    // painted until the new chart replaces it.
    connect(model_, &ChartModel::batchStarted, this, [this] { clearGraphs(); });
    resized_ = new QTimer(this);
    resized_->setSingleShot(true);
    resized_->setInterval(150);
    connect(resized_, &QTimer::timeout, this, &ChartView::refresh);
}

void ChartView::refresh() {
    pending_->stop();
    if (!model_) return;
    setViewport(rect());
    RenderChart(*model_, *this);
    replot();
}

RenderStats ChartView::drawnStats() const {
    return SampledPoints(*this);
}

void ChartView::resizeEvent(QResizeEvent* e) {
    QCustomPlot::resizeEvent(e);
    resized_->start();
}

} // namespace hv
