#include "maintenance/dataview.h"

#include <QColor>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/datatables.h"
#include "core/numbers.h"
#include "core/typedinput.h"
#include "maintenance/exchangefile.h"
#include "platform/database.h"

namespace hv {

namespace {
// In the order the view shows them, after the date, the event, the temperature, the pH, the
// feed flow and the system's flows, pressures and conductivities.
constexpr const char* ViewColumns[] = {"PermuS_1",
                                       "PermuS_2",
                                       "PermFlow_1",
                                       "PermFlow_2",
                                       "PermFlow_3",
                                       "PermBackPress_1",
                                       "PermBackPress_2",
                                       "PermBackPress_3",
                                       "ActualRejection",
                                       "ConcuS",
                                       "SystemRecovery",
                                       "B1Recovery",
                                       "B2Recovery",
                                       "B3Recovery",
                                       "ConcPressure_1",
                                       "FeedPressure_2",
                                       "ConcPressure_2",
                                       "FeedPressure_3",
                                       "NormalizedPermFlow",
                                       "NormalizedPermFlow_1",
                                       "NormalizedPermFlow_2",
                                       "NormalizedPermFlow_3",
                                       "NormalizedSaltPassage",
                                       "NormalizedSaltPassage_1",
                                       "NormalizedSaltPassage_2",
                                       "NormalizedSaltPassage_3",
                                       "NormalizedDP",
                                       "NormalizedDP_1",
                                       "NormalizedDP_2",
                                       "NormalizedDP_3",
                                       "ActualFlux",
                                       "ActualFlux_1",
                                       "ActualFlux_2",
                                       "NormalizedFlux",
                                       "SystemDP",
                                       "B1DP",
                                       "B2DP",
                                       "B3DP",
                                       "NetTMP",
                                       "SDIFeed",
                                       "SDIRaw",
                                       "ORP",
                                       "TurbidityFeed",
                                       "TurbidityRaw",
                                       "TrainNumber",
                                       "ElapsedTimeHrs"};
static_assert(schema::AreDataColumns(ViewColumns));
} // namespace

const QStringList& DataViewModel::QueryColumns() {
    static const QStringList names = [] {
        QStringList l =
            QStringList{"TheDate", "EventID", "Temperature", "pH", "FeedFlow"} + ReadingSystemColumns();
        for (const char* c : ViewColumns)
            l << QLatin1String(c);
        return l;
    }();
    return names;
}

DataViewModel::DataViewModel(QObject* parent) : QAbstractTableModel(parent) {}

int DataViewModel::queryColumn(int shown) {
    static const int train = int(QueryColumns().indexOf("TrainNumber"));
    if (shown == TrainColumn) return train;
    return shown < TrainColumn ? shown : shown - 1;
}

void DataViewModel::load(const QString& databasePath, const QString& projectId) {
    Database db = Database::open(databasePath);
    std::vector<QString> dates, shown;
    std::vector<double> values;
    const int n = valueColumns();
    // An optional item without a value shows empty; a Null elsewhere reads as 0.
    std::vector<bool> optional(size_t(n) + 1, false);
    for (int c = 1; c <= n; ++c) {
        const schema::Column* column = schema::Find(schema::Data, QueryColumns()[queryColumn(c)]);
        optional[size_t(c)] = column && column->optional;
    }
    db.forEach("select " + QueryColumns().join(',') + " from Data where (ProjectID = ?) Order by TheDate",
               {projectId}, [&](const DbRow& row) {
                   const QVariant d = row.value(0);
                   const QDateTime dt = conv::isNull(d) ? QDateTime() : parseDbDate(d.toString());
                   // Sorted by the stored form, shown in the computer's own.
                   dates.push_back(dt.isValid() ? dbDateText(dt) : d.toString());
                   shown.push_back(dt.isValid() ? ShortDateTimeText(dt) : d.toString());
                   for (int c = 1; c <= n; ++c) {
                       const QVariant v = row.value(queryColumn(c));
                       if (conv::isNull(v)) {
                           values.push_back(optional[size_t(c)] ? std::numeric_limits<double>::quiet_NaN()
                                                                : 0);
                       } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong ||
                                  v.typeId() == QMetaType::Int) {
                           values.push_back(v.toDouble());
                       } else {
                           const std::optional<double> x = ReadNumberText(v.toString());
                           if (!x)
                               throw DbError(dberr::TypeMismatch,
                                             NotANumberText(headerData(c, Qt::Horizontal).toString() +
                                                                " of the reading dated " + shown.back(),
                                                            v.toString()));
                           values.push_back(*x);
                       }
                   }
               });
    beginResetModel();
    dates_ = std::move(dates);
    shownDates_ = std::move(shown);
    values_ = std::move(values);
    order_.resize(dates_.size());
    for (size_t i = 0; i < order_.size(); ++i)
        order_[i] = int(i);
    // Oldest first by instant: in the text order a date stored in another spelling ("T", "/")
    // stands apart from its neighbours.
    std::stable_sort(order_.begin(), order_.end(),
                     [&](int a, int b) { return dates_[size_t(a)] < dates_[size_t(b)]; });
    endResetModel();
}

int DataViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(order_.size());
}

int DataViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ShownColumns;
}

QString DataViewModel::cellText(int row, int column) const {
    const int r = order_[size_t(row)];
    if (column == 0) return shownDates_[size_t(r)];
    const double v = values_[size_t(r) * size_t(valueColumns()) + size_t(column - 1)];
    if (std::isnan(v)) return QString();
    if (column == TrainColumn || column == EventColumn) return QString::number(qint64(v));
    return FormatValue(v);
}

QVariant DataViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
    if (role == Qt::BackgroundRole)
        return index.row() % 2 == 1 ? QColor(QRgb(BandColour)) : QColor(Qt::white);
    if (role == Qt::TextAlignmentRole && index.column() > 0) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant DataViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section == 0) return QStringLiteral("Date + Time");
    if (section < 0 || section >= ShownColumns) return {};
    return QueryColumns().value(queryColumn(section));
}

void DataViewModel::headerClicked(int column) {
    const int previous = SortColumn;
    SortColumn = column;
    if (column == previous && SortMode != 0) {
        ++SortMode;
        if (SortMode >= 5) SortMode = 3;
    } else {
        SortMode = 3;
    }
    sortBy(column, SortMode == 3);
}

void DataViewModel::sortBy(int column, bool ascending) {
    if (column < 0 || column >= ShownColumns) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> stored;
    stored.reserve(size_t(before.size()));
    for (const QModelIndex& i : before)
        stored.push_back(order_[size_t(i.row())]);
    if (column == 0) {
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return ascending ? dates_[size_t(a)] < dates_[size_t(b)] : dates_[size_t(b)] < dates_[size_t(a)];
        });
    } else {
        const size_t w = size_t(valueColumns()), c = size_t(column - 1);
        // An empty item sorts below every number.
        const auto key = [&](int row) {
            const double v = values_[size_t(row) * w + c];
            return std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
        };
        std::stable_sort(order_.begin(), order_.end(),
                         [&](int a, int b) { return ascending ? key(a) < key(b) : key(b) < key(a); });
    }
    if (!before.isEmpty()) {
        std::vector<int> where(order_.size());
        for (size_t i = 0; i < order_.size(); ++i)
            where[size_t(order_[i])] = int(i);
        QModelIndexList after;
        for (qsizetype k = 0; k < before.size(); ++k)
            after << index(where[size_t(stored[size_t(k)])], before[k].column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace hv
