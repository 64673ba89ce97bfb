#include "graphs/ui/chartview.h"

#include <QFile>
#include <QPainter>
#include <QPicture>
#include <QSvgGenerator>
#include <cmath>
#include <qcustomplot.h>

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
    case 7: {
        QPainterPath p;
        p.moveTo(0, -0.5);
        p.lineTo(0, 0.5);
        return QCPScatterStyle(p, pen, Qt::NoBrush, size);
    }
    case 8: {
        QPainterPath p;
        p.moveTo(-0.5, 0);
        p.lineTo(0.5, 0);
        return QCPScatterStyle(p, pen, Qt::NoBrush, size);
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

// Removes what an earlier rendering added around the axis rect.
void resetLayout(QCustomPlot& plot) {
    QCPLayoutGrid* layout = plot.plotLayout();
    for (int i = layout->elementCount() - 1; i >= 0; --i) {
        QCPLayoutElement* el = layout->elementAt(i);
        if (el && el != plot.axisRect()) layout->remove(el);
    }
    layout->simplify();
}

} // namespace

RenderStats RenderChart(const ChartModel& model, QCustomPlot& plot) {
    RenderStats stats;
    plot.clearGraphs();
    plot.clearItems();
    resetLayout(plot);

    QCPAxisRect* rect = plot.axisRect();
    QCPAxis* xa = rect->axis(QCPAxis::atBottom);
    QCPAxis* ya = rect->axis(QCPAxis::atLeft);
    QCPAxis* y2a = rect->axis(QCPAxis::atRight);

    const ChartAxis& mx = model.axis(ChartModel::X);
    const ChartAxis& my = model.axis(ChartModel::Y);
    const ChartAxis& my2 = model.axis(ChartModel::Y2);
    applyRange(xa, mx.min, mx.max);
    applyRange(ya, my.min, my.max);
    applyRange(y2a, my2.min, my2.max);
    ya->setLabel(my.title);
    y2a->setLabel(my2.title);
    y2a->setVisible(my2.shown);
    xa->setLabel(QString());

    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
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
    for (const ChartLabel& l : model.labels) {
        if (!l.shown || l.text.isEmpty()) continue;
        auto* info = new QCPTextElement(&plot, l.text, QFont(plot.font().family(), 7));
        info->setTextFlags(Qt::AlignLeft | Qt::AlignVCenter);
        layout->addElement(layout->rowCount(), 0, info);
        break; // one information label
    }

    // The thinning grid follows the plot area's size in pixels: lay the plot out once
    // before the series arrive.
    if (plot.viewport().width() > 0) {
        plot.plotLayout()->setOuterRect(plot.viewport());
        for (auto phase :
             {QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins, QCPLayoutElement::upLayout})
            plot.plotLayout()->update(phase);
    }
    const int plotW = rect->width() > 50 ? rect->width() : std::max(100, plot.width() - 120);
    const int plotH = rect->height() > 50 ? rect->height() : std::max(100, plot.height() - 120);

    plot.legend->setVisible(true);
    QFont legendFont = plot.font();
    legendFont.setPointSizeF(8);
    plot.legend->setFont(legendFont);

    for (int g = 1; g <= 2; ++g) {
        const ChartGroup& group = model.group(g);
        QCPAxis* va = g == 2 ? y2a : ya;
        const ChartAxis& vAxis = g == 2 ? my2 : my;
        if (g == 2 && !my2.shown) continue;
        for (int k = 1; k <= group.seriesCount(); ++k) {
            const ChartSeries& s = group.series(k);
            const ChartStyle st = group.styleOf(k);
            const QString label = group.label(k);
            QVector<QCPGraphData> data;
            data.reserve(s.pointCount());
            for (int i = 0; i < s.pointCount(); ++i)
                if (!std::isnan(s.x[size_t(i)])) data.push_back(QCPGraphData(s.x[size_t(i)], s.y[size_t(i)]));
            if (data.isEmpty() && label.isEmpty()) continue;
            const bool sorted = std::is_sorted(data.begin(), data.end(), qcpLessThanSortKey<QCPGraphData>);
            QCPGraph* line = plot.addGraph(xa, va);
            line->setName(label);
            line->setPen(patternPen(st));
            line->setLineStyle(st.linePattern == 1 ? QCPGraph::lsNone : QCPGraph::lsLine);
            line->setAdaptiveSampling(true);
            line->data()->set(data, sorted);
            stats.pointsDrawn += std::min<qint64>(data.size(), qint64(plotW) * 4);
            if (label.isEmpty()) line->removeFromLegend();
            const QCPScatterStyle sym = symbolStyle(st);
            if (sym.isNone() || data.isEmpty()) continue;
            // The legend shows the symbol with the line; the points carry only the symbols kept.
            line->setScatterStyle(sym);
            line->setScatterSkip(std::numeric_limits<int>::max() - 1);
            const std::vector<int> keep = ThinSymbols(s.x, s.y, mx.min, mx.max, vAxis.min, vAxis.max, plotW,
                                                      plotH, std::max(2.0, sym.size()));
            QVector<QCPGraphData> marks;
            marks.reserve(int(keep.size()));
            for (int i : keep)
                marks.push_back(QCPGraphData(s.x[size_t(i)], s.y[size_t(i)]));
            QCPGraph* symbols = plot.addGraph(xa, va);
            symbols->setLineStyle(QCPGraph::lsNone);
            symbols->setScatterStyle(sym);
            symbols->setAdaptiveSampling(false);
            symbols->data()->set(marks, sorted);
            symbols->removeFromLegend();
            stats.symbolsDrawn += marks.size();
            stats.pointsDrawn += marks.size();
        }
    }
    plot.legend->setVisible(plot.legend->itemCount() > 0);
    if (plot.axisRect()->insetLayout()->elementCount() > 0)
        plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

    return stats;
}

namespace {

// An offscreen plot of the picture's size holding the rendered chart.
struct OffscreenPlot {
    QCustomPlot plot;
    RenderStats stats;
    OffscreenPlot(const ChartModel& m, QSize size) {
        plot.setAttribute(Qt::WA_DontShowOnScreen);
        plot.resize(size);
        plot.setViewport(QRect(QPoint(0, 0), size));
        stats = RenderChart(m, plot);
    }
};

} // namespace

bool SaveChartSvg(const ChartModel& model, const QString& path, QSize size, RenderStats* stats) {
    OffscreenPlot o(model, size);
    QSvgGenerator gen;
    gen.setFileName(path);
    gen.setSize(size);
    gen.setViewBox(QRect(QPoint(0, 0), size));
    gen.setTitle(model.headerText);
    QCPPainter painter;
    if (!painter.begin(&gen)) return false;
    o.plot.toPainter(&painter, size.width(), size.height());
    painter.end();
    if (stats) *stats = o.stats;
    return QFile::exists(path) && QFileInfo(path).size() > 0;
}

bool SaveChartJpeg(const ChartModel& model, const QString& path, QSize size, int quality,
                   RenderStats* stats) {
    OffscreenPlot o(model, size);
    if (stats) *stats = o.stats;
    return o.plot.saveJpg(path, size.width(), size.height(), 1.0, quality);
}

bool SaveChartPng(const ChartModel& model, const QString& path, QSize size, RenderStats* stats) {
    OffscreenPlot o(model, size);
    if (stats) *stats = o.stats;
    return o.plot.savePng(path, size.width(), size.height());
}

void PaintChart(const ChartModel& model, QPainter& painter, const QRect& target) {
    OffscreenPlot o(model, target.size());
    painter.save();
    painter.translate(target.topLeft());
    // QCustomPlot draws through its own painter type; a QCPPainter over the same device
    // cannot be opened twice, so the plot is drawn into a picture first and replayed.
    QPicture picture;
    QCPPainter pp(&picture);
    o.plot.toPainter(&pp, target.width(), target.height());
    pp.end();
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

ChartView::ChartView(ChartModel* model, QWidget* parent) : QCustomPlot(parent), model_(model) {
    setMinimumSize(300, 220);
    connect(model_, &ChartModel::changed, this, &ChartView::refresh);
    // While the window is being resized the plot only rescales; the symbols of dense
    // series are picked again once the size settles.
    resized_ = new QTimer(this);
    resized_->setSingleShot(true);
    resized_->setInterval(150);
    connect(resized_, &QTimer::timeout, this, &ChartView::refresh);
}

void ChartView::refresh() {
    if (!model_) return;
    setViewport(rect());
    stats_ = RenderChart(*model_, *this);
    replot(rpQueuedReplot);
}

void ChartView::resizeEvent(QResizeEvent* e) {
    QCustomPlot::resizeEvent(e);
    resized_->start();
}

} // namespace hv
