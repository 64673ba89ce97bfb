#include "graphs/chartmodel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hv {

namespace {

// A fresh chart gives each series number a colour of its own.
ChartStyle defaultStyle(int k) {
    static const qint32 palette[] = {RgbColor(0, 128, 0),   RgbColor(200, 0, 0),  RgbColor(0, 0, 200),
                                     RgbColor(0, 0, 0),     RgbColor(64, 0, 128), RgbColor(255, 128, 0),
                                     RgbColor(0, 128, 128), RgbColor(128, 128, 0)};
    ChartStyle s;
    s.lineColor = s.symbolColor = palette[(k - 1) % 8];
    return s;
}

} // namespace

void ChartSeries::setPointCount(int n) {
    const size_t size = size_t(std::max(0, n));
    x = QList<double>(qsizetype(size), std::numeric_limits<double>::quiet_NaN());
    y.assign(size, std::numeric_limits<double>::quiet_NaN());
}

void ChartGroup::setSeriesCount(int n) {
    series_.resize(size_t(std::max(0, n)));
}

ChartSeries& ChartGroup::series(int k) {
    if (k > seriesCount()) setSeriesCount(k);
    return series_.at(size_t(k - 1));
}

const ChartSeries& ChartGroup::series(int k) const {
    return series_.at(size_t(k - 1));
}

ChartStyle& ChartGroup::style(int k) {
    k = std::max(1, k);
    while (int(styles_.size()) < k)
        styles_.push_back(defaultStyle(int(styles_.size()) + 1));
    return styles_[size_t(k - 1)];
}

ChartStyle ChartGroup::styleOf(int k) const {
    if (k >= 1 && k <= int(styles_.size())) return styles_[size_t(k - 1)];
    return defaultStyle(std::max(1, k));
}

QString ChartGroup::label(int k) const {
    return k >= 1 && k <= int(labels_.size()) ? labels_[size_t(k - 1)] : QString();
}

void ChartGroup::setLabel(int k, const QString& text) {
    if (k < 1) return;
    if (int(labels_.size()) < k) labels_.resize(size_t(k));
    labels_[size_t(k - 1)] = text;
}

ChartModel::ChartModel(QObject* parent) : QObject(parent) {}

void ChartModel::setAxisRange(AxisId a, double min, double max) {
    ChartAxis& ax = axes_[a];
    ax.min = ax.origMin = min;
    ax.max = ax.origMax = max;
}

void ChartModel::beginBatch() {
    if (batch_++ == 0) emit batchStarted();
}

void ChartModel::endBatch() {
    if (batch_ > 0 && --batch_ == 0) emit changed();
}

void ChartModel::update() {
    if (batch_ == 0) emit changed();
}

} // namespace hv
