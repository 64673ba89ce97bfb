#include "graphs/grapher.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>
#include <type_traits>

#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "graphs/axistext.h"
#include "normalization/intake.h"
#include "platform/database.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

const QDate SerialZero(1899, 12, 30);

// A period's start or end: an invalid one is the date serial 0; none ends past the last
// instant a date can hold.
QDateTime periodStart(const QDateTime& d) {
    return d.isValid() ? d : SerialZero.startOfDay();
}
QDateTime periodEnd(const QDateTime& d) {
    return std::min(periodStart(d), LastStoredInstant());
}

double serialOf(const QDateTime& d) {
    return d.isValid() ? ToDateSerial(d) : 0.0;
}

const double NoValue = std::numeric_limits<double>::quiet_NaN();

// A tenth past a limit reading, away from 0; the largest Double where that tenth would overflow.
double beyond(double limit) {
    const double x = limit * 1.1;
    return std::isfinite(x) ? x : std::copysign(std::numeric_limits<double>::max(), limit);
}

// A number column, or NaN (a gap) where no finite number is stored: a Null, and also text or
// bytes another program left in the column, which SQLite would read as 0. Text that is a
// whole number in the plain form still counts.
double valueAt(const SqliteStatement& q, int col) {
    double v = NoValue;
    switch (q.type(col)) {
    case SqliteStatement::Type::Integer:
    case SqliteStatement::Type::Float:
        v = q.real(col);
        break;
    case SqliteStatement::Type::Text: {
        int len = 0;
        const char* t = q.text(col, &len);
        if (!t || len == 0) break;
        const auto [end, ec] = std::from_chars(t, t + len, v);
        if (ec != std::errc() || end != t + len) v = NoValue;
        break;
    }
    default:
        break;
    }
    return std::isfinite(v) ? v : NoValue;
}

// Elapsed hours as drawn: no two dates the program keeps lie 10,000 years (under 10^8 hours)
// apart, so hours past 10^9 either way are no running time a reading can have. Drawn, they
// would stretch the axis until every other reading met at one end: they are left out, as hours
// that are not a number are.
double hoursAt(const SqliteStatement& q, int col) {
    const double h = valueAt(q, col);
    return std::abs(h) <= 1e9 ? h : NoValue;
}

// A fraction drawn in per cent, as its decimal digits read: 0.9935 is 99.35, where the
// product with 100 lies a unit in the last place above the 99.35 a person types as an axis
// end. The product is read to the 15 significant digits a double always holds, and that
// number taken where it lies within a unit in the last place; a reading of more digits keeps
// its product. Runs once per reading: no text on the way.
double percentOf(double v) {
    static constexpr double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr double decades[] = {1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2, 1e3,
                                         1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13};
    const double r = v * 100;
    const double a = std::abs(r);
    if (!(a >= 1e-8 && a < 1e14)) return r;
    // a lies in [10^e, 10^(e + 1)); its 15 digits are a whole number below 2^53 over 10^k.
    const int e = -8 + int(std::upper_bound(std::begin(decades), std::end(decades), a) - std::begin(decades));
    const double scale = pow10[14 - e];
    const double digits = std::nearbyint(r * scale) / scale;
    return digits == r || std::nextafter(r, digits) == digits ? digits : r;
}

// A day as the start of every spelling of its dates: "yyyy-mm-dd" sorts before the same day
// with a time, with " " or "T" before it, and "yyyy-mm-ddU" after every one of them.
QString dayText(const QDate& d) {
    return QString::asprintf("%04d-%02d-%02d", d.year(), d.month(), d.day());
}

} // namespace

double ToDateSerial(const QDateTime& dt) {
    return double(SerialZero.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

QDateTime LastStoredInstant() {
    return QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59));
}

qint64 DateKeyOf(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    return ((qint64(d.year()) * 100 + d.month()) * 100 + d.day()) * 1000000 +
           (t.hour() * 100 + t.minute()) * 100 + t.second();
}

double DateSerialOfKey(qint64 key) {
    const int ss = int(key % 100), mm = int(key / 100 % 100), hh = int(key / 10000 % 100);
    const int d = int(key / 1000000 % 100), m = int(key / 100000000 % 100);
    const qint64 y = key / 10000000000;
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > monthDays[m - 1] || hh > 23 || mm > 59 || ss > 59) return NoValue;
    if (m == 2 && d == 29 && !(y % 4 == 0 && (y % 100 != 0 || y % 400 == 0))) return NoValue;
    // Days from the civil date (proleptic Gregorian), then from 30 December 1899.
    const qint64 yy = y - (m <= 2);
    const qint64 era = (yy >= 0 ? yy : yy - 399) / 400;
    const qint64 yoe = yy - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const qint64 days = era * 146097 + doe - 719468; // days since 1970-01-01
    return double(days + 25569) + (hh * 3600 + mm * 60 + ss) / 86400.0;
}

QDateTime FromDateSerial(double serial) {
    const double day = std::floor(serial);
    const qint64 ms = qint64(std::llround((serial - day) * 86400000.0));
    return QDateTime(SerialZero.addDays(qint64(day)), QTime(0, 0)).addMSecs(ms);
}

bool IsPercentColumn(const QString& column) {
    return column.indexOf("ejection") >= 1 || column.contains("assage");
}

bool IsPercentDescription(const QString& description) {
    return description.indexOf("ejection") >= 1 || description.indexOf("assage") >= 1;
}

void clsGrapher::SensorCount(qint16 n) {
    Request.SensorCount = n;
    Request.SensorDescs.clear();
    Request.SensorCols.clear();
    for (int i = 0; i < n; ++i) {
        Request.SensorDescs << QString();
        Request.SensorCols << QString();
    }
}

void clsGrapher::YMax(double v) {
    if (v == -1000) {
        Request.YMaxFixed = false;
        return;
    }
    Request.Graph->axis(ChartModel::Y).max = v;
    Request.YMaxFixed = true;
}

void clsGrapher::Y2Max(double v) {
    if (Request.SensorCount != 2) return;
    if (v == -1000) {
        Request.Y2MaxFixed = false;
        return;
    }
    Request.Graph->axis(ChartModel::Y2).max = v;
    Request.Y2MaxFixed = true;
}

void clsGrapher::YMin(double v) {
    Request.Graph->axis(ChartModel::Y).min = v;
    Request.YMinFixed = true;
}

void clsGrapher::Y2Min(double v) {
    if (Request.SensorCount != 2) return;
    Request.Graph->axis(ChartModel::Y2).min = v;
    Request.Y2MinFixed = true;
}

void clsGrapher::LineThickness(qint16 w) {
    if (w < 1) return;
    for (int k = 1; k <= Request.SensorCount; ++k)
        Request.Graph->group(1).style(k).lineWidth = w;
    if (Request.SensorCount == 2) Request.Graph->group(2).style(1).lineWidth = w;
}

void clsGrapher::SymbolThickness(qint16 s) {
    if (s < 1) return;
    for (int k = 1; k <= Request.SensorCount; ++k)
        Request.Graph->group(1).style(k).symbolSize = s;
    if (Request.SensorCount == 2) Request.Graph->group(2).style(1).symbolSize = s;
}

void clsGrapher::SetLineColor(int index, qint32 color) {
    Request.Graph->group(1).style(index).lineColor = color;
    if (index == 2) Request.Graph->group(2).style(1).lineColor = color;
}

void clsGrapher::SetSymbolColor(int index, qint32 color) {
    Request.Graph->group(1).style(index).symbolColor = color;
    if (index == 2) Request.Graph->group(2).style(1).symbolColor = color;
}

void clsGrapher::SetLineStyle(int index, qint16& pattern) {
    if (pattern == 0) pattern = 2;
    Request.Graph->group(1).style(index).linePattern = pattern;
    if (index == 2) Request.Graph->group(2).style(1).linePattern = pattern;
}

void clsGrapher::SetSymbolStyle(int index, qint16& shape) {
    if (shape == 0) shape = 2;
    Request.Graph->group(1).style(index).symbolShape = shape;
    if (index == 2) Request.Graph->group(2).style(1).symbolShape = shape;
}

void clsGrapher::sizeSeries() {
    Series.assign(size_t(Request.SensorCount + (Request.ShowEvents ? 1 : 0)), SeriesData{});
}

void clsGrapher::LoadOnly() {
    sizeSeries();
    if (Request.SensorCount >= 1) LoadGraphData(Request);
}

void clsGrapher::MakeGraph() {
    if (Request.SensorCount < 1 || !Request.Graph) return;
    // The batch opens before the readings are loaded, so that what was drawn from the old
    // graph is released first; a failed load still ends it.
    ChartModel* chart = Request.Graph;
    chart->beginBatch();
    const std::unique_ptr<ChartModel, void (*)(ChartModel*)> batch(chart,
                                                                   [](ChartModel* c) { c->endBatch(); });
    sizeSeries();
    LoadGraphData(Request);
    DrawGraph(Request);
}

namespace {

struct TableProbe {
    bool storageOrder = false;
};

// Whether reading the whole table in storage order serves the request better than its index:
// when the train holds a good part of the table, reading in storage order and sorting here is
// several times faster than one index lookup per reading. The train's share of the table's
// first and of its last rows tells, at the cost of those few thousand rows whatever the size of
// the table.
TableProbe probeTable(SqliteConnection& db, const QString& match, const QVariantList& params) {
    constexpr int EndRows = 4096;
    const QString share = "(SELECT COUNT(*) <= 3 * TOTAL(m) FROM (SELECT (" + match +
                          ") AS m FROM Data NOT INDEXED WHERE rowid %1))";
    // Each end on its own: MIN and MAX together read the whole table.
    SqliteStatement q(db, "SELECT (SELECT MAX(rowid) FROM Data), " +
                              share.arg("< (SELECT MIN(rowid) FROM Data) + ?") + ", " +
                              share.arg("> (SELECT MAX(rowid) FROM Data) - ?"));
    q.bindAll(params + QVariantList{EndRows} + params + QVariantList{EndRows});
    if (!q.step() || q.isNull(0)) return {};
    return {q.real(1) != 0 && q.real(2) != 0};
}

} // namespace

void clsGrapher::LoadGraphData(GraphRequest& r) {
    Database db = Database::open(p_.ProjectDatabasePath);
    // Column names come from the series catalogue: each must be a real column of Data.
    QStringList cols;
    for (int k = 0; k < r.SensorCount; ++k)
        cols << quoteIdent(db.checkedColumn("Data", r.SensorCols.value(k)));
    for (int k = 1; k <= r.SensorCount; ++k) {
        SeriesData& s = Series[size_t(k - 1)];
        s.PointCount = 0;
        s.Values.clear();
    }
    Series[0].Dates.clear();
    Series[0].Hours.clear();
    // A graph marks the events of its own project train. The text range holds every spelling
    // of the dates of the period's days; each reading is then kept or left by its instant.
    const QDateTime start = periodStart(r.StartDate), end = periodEnd(r.EndDate);
    startKey_ = DateKeyOf(start);
    endKey_ = DateKeyOf(end);
    // A date spelled with "/" or a blank before it sorts outside that range: it is taken too,
    // and its instant decides.
    QString match = "ProjectID = ? AND ((TheDate >= ? AND TheDate < ?) OR TheDate NOT GLOB "
                    "'[0-9][0-9][0-9][0-9]-*')";
    QVariantList params{r.ProjectID, dayText(start.date()), dayText(end.date()) + 'U'};
    if (r.TrainNumber >= 1) {
        match += " AND TrainNumber = ?";
        params << int(r.TrainNumber);
    }
    SqliteConnection fast(db);
    const QString columns = "SELECT TheDate, ElapsedTimeHrs, " + cols.join(", ");
    const TableProbe table = probeTable(fast, match, params);
    if (table.storageOrder) {
        // The train holds at least a third of the table's rows. One scan serves readings and
        // events: the bank picks the readings only.
        SqliteStatement q(fast,
                          columns + ", TrainNumber, Bank, EventID FROM Data NOT INDEXED WHERE " + match);
        q.bindAll(params);
        LoadSensorSeries(r, q, 1, true, r.ShowEvents);
        sortByDate();
        if (r.ShowEvents) PlaceEventSeries(r.SensorCount + 1);
        return;
    }
    // Through the index, in date order. With events, the same pass collects them and picks the
    // bank's readings here: a second pass would look every row up once more.
    QString sql = columns;
    QVariantList readingParams = params;
    if (r.ShowEvents) {
        sql += ", TrainNumber, Bank, EventID FROM Data WHERE " + match;
    } else {
        sql += " FROM Data WHERE " + match;
        if (r.Bank > 0) {
            sql += " AND Bank = ?";
            readingParams << int(r.Bank);
        }
    }
    SqliteStatement q(fast, sql + " ORDER BY TheDate");
    q.bindAll(readingParams);
    LoadSensorSeries(r, q, 1, r.ShowEvents, r.ShowEvents);
    // The text order of the index puts a date with a "T" after the same day's others.
    sortByDate();
    if (r.ShowEvents) PlaceEventSeries(r.SensorCount + 1);
}

// Reads every series of the request in one pass over the result: the series share the
// rows, so dates and hours are read once per row. A value never stored stays NaN, drawn as
// a gap; it, a value no axis can reach and a reading an elapsed-time graph leaves out (no
// hours) count for no limit. With `picking`, the rows carry TrainNumber, Bank and EventID after
// the series: the bank is picked here and, with `events`, the events collected.
void clsGrapher::LoadSensorSeries(GraphRequest& r, SqliteStatement& q, int index, bool picking, bool events) {
    const int n = r.SensorCount;
    std::vector<bool> percent(size_t(n + 1));
    for (int k = index; k <= n; ++k)
        percent[size_t(k)] = IsPercentColumn(r.SensorCols.value(k - 1));
    // As "column = value" in SQL: Null matches nothing; a wanted value below 1 means any.
    auto matches = [&q](int col, int wanted) {
        return wanted < 1 || (!q.isNull(col) && q.real(col) == wanted);
    };
    QList<double>& dates = Series[0].Dates;
    QList<double>& hoursOf = Series[0].Hours;
    // Room for a short graph first; once that is full, for the readings the rest of the
    // period holds at the rate read so far, between twice and sixteen times those held. A
    // long graph is moved once or twice, and what is never filled is never touched: moving
    // readings into fresh memory costs more than reading them.
    const double endSerial = serialOf(r.EndDate);
    auto makeRoom = [&] {
        const qsizetype held = dates.size();
        qsizetype room = 4096;
        if (held > 0) {
            room = held * 2;
            const double first = dates.constFirst(), last = dates.constLast();
            if (last > first && endSerial > last) {
                const double expected = double(held) * (endSerial - first) / (last - first) * 1.0625;
                room = qsizetype(std::clamp(expected, double(room), double(held) * 16));
            }
        }
        if (room <= dates.capacity()) return;
        dates.reserve(room);
        hoursOf.reserve(room);
        for (int k = index; k <= n; ++k)
            Series[size_t(k - 1)].Values.reserve(size_t(room));
    };
    Events.clear();
    while (q.step()) {
        // A date the rule cannot key is not drawn, never drawn at a wrong place.
        int length = 0;
        const char* text = q.text(0, &length);
        const std::optional<qint64> key = text ? ReadingDateKey(text, length) : std::nullopt;
        if (!key || *key < startKey_ || *key > endKey_) continue;
        const double date = DateSerialOfKey(*key);
        if (std::isnan(date)) continue;
        if (picking) {
            if (events && !q.isNull(n + 4) && q.real(n + 4) > 0)
                Events.push_back({*key, date, hoursAt(q, 1), int(q.real(n + 4))});
            if (!matches(n + 3, r.Bank)) continue;
        }
        if (dates.size() == dates.capacity()) makeRoom();
        const double hours = hoursAt(q, 1);
        dates.push_back(date);
        hoursOf.push_back(hours);
        const bool drawn = !(r.ElapsedTime && std::isnan(hours));
        for (int k = index; k <= n; ++k) {
            std::vector<double>& values = Series[size_t(k - 1)].Values;
            double value = valueAt(q, k + 1);
            if (std::isnan(value)) {
                values.push_back(NoValue);
                continue;
            }
            if (percent[size_t(k)]) value = percentOf(value);
            values.push_back(value);
            if (!drawn || !std::isfinite(value)) continue;
            if (k == 2 && n == 2) {
                if (!r.Y2MaxFixed && value > r.MaxY2) r.MaxY2 = value;
                if (!r.Y2MinFixed && value < r.MinY2) r.MinY2 = value;
            } else {
                if (!r.YMaxFixed && value > r.MaxY) r.MaxY = value;
                if (!r.YMinFixed && value < r.MinY) r.MinY = value;
            }
        }
    }
    for (int k = index; k <= n; ++k)
        Series[size_t(k - 1)].PointCount = int(dates.size());
    rowsLoaded_ = qint64(dates.size());
}

void clsGrapher::PlaceEventSeries(int index) {
    SeriesData& s = Series[size_t(index - 1)];
    std::stable_sort(Events.begin(), Events.end(),
                     [](const GraphEvent& a, const GraphEvent& b) { return a.dateKey < b.dateKey; });
    s.PointCount = int(Events.size());
    for (const GraphEvent& e : Events) {
        s.Dates.push_back(e.date);
        s.Hours.push_back(e.hours);
        s.Values.push_back(0); // put on the X axis once the graph's range is known
    }
}

// Puts the series into date order, readings of the same instant in storage order.
void clsGrapher::sortByDate() {
    if (Series.empty() || Request.SensorCount < 1) return;
    const QList<double>& dates = Series[0].Dates;
    if (std::is_sorted(dates.begin(), dates.end())) return;
    std::vector<int> order(size_t(dates.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&dates](int a, int b) { return dates[a] < dates[b]; });
    auto permute = [&order](auto& v) {
        std::remove_reference_t<decltype(v)> out(v.size());
        for (size_t i = 0; i < order.size(); ++i)
            out[i] = v[order[i]];
        v.swap(out);
    };
    for (int k = 0; k < Request.SensorCount; ++k)
        permute(Series[size_t(k)].Values);
    permute(Series[0].Dates);
    permute(Series[0].Hours);
}

namespace {

// Labels on the first of every `step`th month, counted from January of year 0, each at the
// start of its month's first day: a year's label stands where the year begins.
void addMonthLabels(std::vector<ValueLabel>& out, const QDate& first, const QDate& last, int step) {
    const QLocale loc;
    qint64 month = qint64(first.year()) * 12 + first.month() - 1;
    if (first.day() != 1) ++month;
    month += (step - month % step) % step;
    for (;; month += step) {
        const QDate d(int(month / 12), int(month % 12) + 1, 1);
        if (d > last) break;
        out.push_back({ToDateSerial(d.startOfDay()), loc.monthName(d.month(), QLocale::ShortFormat) +
                                                         QLatin1Char(' ') + QString::number(d.year())});
    }
}

} // namespace

std::vector<ValueLabel> DateAxisLabels(double startDate, double endDate) {
    std::vector<ValueLabel> out;
    const double S = std::floor(startDate);
    const double E = std::floor(endDate);
    const int days = int(E - S);
    // A period ending at a midnight ends with the day before it: the graph manager's end
    // of 31 December is the first instant of the next year.
    const double finalDay = endDate == E && E > S ? E - 1 : E;
    const QDate first = FromDateSerial(S).date(), last = FromDateSerial(finalDay).date();
    // A period over more than one calendar year gives every label its year.
    const bool years = first.year() != last.year();
    auto dateText = [&](double pos) {
        const QDate d = FromDateSerial(pos).date();
        return years ? ShortDateText(d) : AxisDayText(d);
    };
    auto add = [&](double pos, const QString& text) { out.push_back({pos, text}); };
    if (days <= 0) return out;
    if (days == 1) {
        add(S, dateText(S));
        add(S + 0.5, "12:00");
        add(E, dateText(E));
    } else if (days == 2) {
        add(S, dateText(S));
        add(S + 0.5, "12:00");
        add(E - 1, dateText(E - 1));
        add(E - 0.5, "12:00");
        add(E, dateText(E));
    } else if (years && days > 62) {
        // Whole months, or whole years: steps of days would drift over months and leap days.
        const int months = (last.year() - first.year()) * 12 + last.month() - first.month();
        int step = 1;
        for (int s : {1, 2, 3, 6, 12, 24, 36, 60, 120, 240, 600, 1200})
            if ((step = s) * 10 >= months) break;
        addMonthLabels(out, first, last, step);
    } else {
        int step = 1;
        if (days >= 10 && days <= 20)
            step = 2;
        else if (days >= 21 && days <= 40)
            step = 4;
        else if (days > 40)
            step = days / 10;
        const int lastDay = days <= 9 ? days - 1 : days;
        for (int i = 0; i <= lastDay; i += step)
            add(S + i + 0.5, dateText(S + i + 0.5));
    }
    return out;
}

std::vector<ValueLabel> ElapsedAxisLabels(double firstHours, double lastHours) {
    std::vector<ValueLabel> out;
    // Formatted with two decimals and read back, the step is rounded as its decimal text reads.
    const double step =
        std::round(QString::number((lastHours - firstHours) / 10 * 100, 'g', 15).toDouble()) / 100;
    // Every label names the hours where it stands, with two decimals, the ends included.
    out.push_back({firstHours, AxisHoursText(firstHours)});
    if (step != 0) {
        double x = firstHours;
        for (int k = 1; k <= 9; ++k) {
            x += step;
            out.push_back({x, AxisHoursText(x)});
        }
    }
    out.push_back({lastHours, AxisHoursText(lastHours)});
    return out;
}

void clsGrapher::DrawGraph(GraphRequest& r) {
    ChartModel& c = *r.Graph;
    ChartGroup& g1 = c.group(1);
    ChartGroup& g2 = c.group(2);
    const int n = r.SensorCount;
    auto entry = [&](int k) -> SeriesData& { return Series[size_t(k - 1)]; };
    // The loaded points go to the chart without a copy: the values move, and the readings'
    // series share entry 1's dates or hours; the events have their own.
    auto fill = [&](ChartSeries& cs, SeriesData& s) {
        const SeriesData& when = s.Dates.empty() && s.PointCount > 0 ? entry(1) : s;
        cs.x = r.ElapsedTime ? when.Hours : when.Dates;
        cs.y = std::move(s.Values);
        if (cs.x.size() != s.PointCount) cs.x.resize(s.PointCount);
        cs.y.resize(size_t(s.PointCount));
    };

    c.beginBatch();
    // Automatic ends reach past the readings drawn, from 0 when none lies beyond it; a fixed
    // end is kept whatever the other end is.
    auto scale = [&c](ChartModel::AxisId a, bool maxFixed, bool minFixed, double lowest, double highest) {
        if (!maxFixed) c.axis(a).max = beyond(highest);
        if (!minFixed) c.axis(a).min = beyond(lowest);
    };
    scale(ChartModel::Y, r.YMaxFixed, r.YMinFixed, r.MinY, r.MaxY);
    if (n == 2) scale(ChartModel::Y2, r.Y2MaxFixed, r.Y2MinFixed, r.MinY2, r.MaxY2);
    for (ChartGroup* g : {&g1, &g2}) {
        g->setSeriesCount(1);
        g->series(1).setPointCount(0);
    }
    ChartAxis& xa = c.axis(ChartModel::X);
    c.axis(ChartModel::Y).title.clear();
    c.axis(ChartModel::Y).gridShown = xa.gridShown = true;
    c.axis(ChartModel::Y).gridPattern = xa.gridPattern = 2;
    xa.annotationMethod = 2;

    SeriesData& s1 = entry(1);
    // The elapsed-time axis spans the hours of the readings drawn, in whatever order the
    // dates put them; a reading without hours is not drawn on it.
    double lowHours = NoValue, highHours = NoValue;
    if (r.ElapsedTime)
        for (int i = 0; i < s1.PointCount && i < int(s1.Hours.size()); ++i) {
            const double h = s1.Hours.at(i);
            if (std::isnan(h)) continue;
            if (!(h >= lowHours)) lowHours = h;
            if (!(h <= highHours)) highHours = h;
        }
    const bool hoursDrawn = !std::isnan(lowHours);
    if (r.ElapsedTime) {
        c.footerFont = "Arial";
        c.footerSize = 8;
        c.footerText = "Elapsed Time Hrs";
        if (hoursDrawn) c.setAxisRange(ChartModel::X, lowHours, highHours);
        xa.valueLabels.clear();
    } else {
        xa.timeBase = serialOf(r.StartDate);
        xa.timeUnit = 4;
        c.setAxisRange(ChartModel::X, serialOf(r.StartDate), serialOf(r.EndDate));
        xa.valueLabels.clear();
        c.footerText.clear();
    }
    g1.setSeriesCount(n);

    // Titles and legend.
    QStringList& d = r.SensorDescs;
    while (d.size() < n)
        d << QString();
    if (n == 2) {
        c.axis(ChartModel::Y).title = d[0];
        c.axis(ChartModel::Y2).title = d[1];
        g2.setLabel(1, d[1]);
        g1.setLabel(1, d[0]);
        if (IsPercentDescription(d[0])) c.axis(ChartModel::Y).title = d[0] + " (%)";
        if (IsPercentDescription(d[1])) c.axis(ChartModel::Y2).title = d[1] + " (%)";
    } else {
        c.axis(ChartModel::Y).title = n == 1 ? d[0] : QString();
        if (IsPercentDescription(d[0])) {
            d[0] += " (%)";
            c.axis(ChartModel::Y).title = d[0];
        }
        g2.setLabel(1, QString());
        c.axis(ChartModel::Y2).shown = false;
        for (int k = 1; k <= n; ++k)
            g1.setLabel(k, d[k - 1]);
        if (n == 1) {
            c.axis(ChartModel::Y2).shown = false;
            g2.setSeriesCount(1);
            g2.series(1).setPointCount(1);
        }
    }
    if (n == 2) {
        // Marked in the list, as the axis titles show; the legend keeps the plain texts.
        for (int k = 0; k < 2; ++k)
            if (IsPercentDescription(d[k])) d[k] += " (%)";
    }

    // X labels.
    if (r.ElapsedTime) {
        if (!hoursDrawn)
            p_.prompts.message(GetMlString(471, "No Data Present"), Buttons::OK, Icon::Information, Title);
        else
            xa.valueLabels = ElapsedAxisLabels(lowHours, highHours);
    } else {
        const double S = std::floor(serialOf(r.StartDate));
        const double E = std::floor(serialOf(r.EndDate));
        // An end typed with a time of day loads readings past its midnight: the axis reaches
        // every reading loaded.
        double last = E;
        for (const SeriesData& s : Series)
            if (!s.Dates.empty()) last = std::max(last, s.Dates.constLast());
        xa.max = last;
        xa.min = S;
        xa.valueLabels = DateAxisLabels(serialOf(r.StartDate), serialOf(r.EndDate));
    }

    if (n == 2) {
        c.axis(ChartModel::Y2).shown = true;
        g1.setSeriesCount(1);
        g2.setSeriesCount(1);
    }

    // Data.
    g1.dataLayout = 2;
    if (n <= 2) {
        fill(g1.series(1), s1);
        if (n == 2) {
            g2.dataLayout = 2;
            fill(g2.series(1), entry(2));
        }
    } else {
        for (int k = 1; k <= n; ++k)
            fill(g1.series(k), entry(k));
    }

    if (r.ShowEvents) {
        const int ch = n == 2 ? 2 : n + 1;
        g1.setSeriesCount(ch);
        g1.setLabel(ch, GetMlString(415, "Events"));
        SeriesData& ev = entry(n + 1);
        // The events sit just above the bottom of the Y axis the graph is drawn with, inside
        // it however little the axis spans.
        const ChartAxis& ya = c.axis(ChartModel::Y);
        const double span = ya.max / 2 - ya.min / 2; // half the span, without overflow
        const double lift = span > 0 ? std::min(0.0001, span * 2e-4) : 0.0;
        std::fill(ev.Values.begin(), ev.Values.end(), ya.min + lift);
        if (ev.PointCount > 0) {
            ChartStyle& st = g1.style(ch);
            st.linePattern = 1;
            st.symbolShape = 5;
            st.symbolSize = 6;
            st.symbolColor = 10764966;
        }
        fill(g1.series(ch), ev);
    }
    // The chart holds what it draws; the hours or dates the axis does not show go.
    for (SeriesData& e : Series) {
        e.Values = {};
        e.Dates = {};
        e.Hours = {};
    }

    // An empty level is 0; a level that is not a number draws no line and says so.
    const std::optional<double> typedLevel = cleaning_.levelText.trimmed().isEmpty()
                                                 ? std::optional<double>(0.0)
                                                 : ReadPercentText(cleaning_.levelText);
    if (cleaning_.show && !typedLevel)
        p_.prompts.message(NotANumberText(CleaningLevelBox, cleaning_.levelText), Buttons::OK, Icon::Warning,
                           Title);
    if (cleaning_.show && typedLevel) {
        const double xmin = xa.min;
        const double xmax = xa.max;
        double level = *typedLevel;
        if (level == 0) level = c.axis(ChartModel::Y).max;
        const int m = g1.seriesCount() + 1;
        g1.setSeriesCount(m);
        ChartSeries& line = g1.series(m);
        line.x = {xmin, xmax};
        line.y = {level, level};
        g1.setLabel(m, GetMlString(470, "Cleaning Required"));
        ChartStyle& st = g1.style(m);
        st.linePattern = 2;
        st.symbolShape = 1;
        st.lineColor = 65793;
        const int w = ToIntegerOrZero(cleaning_.widthText);
        st.lineWidth = w < 2 ? 1 : w;
    }
    c.endBatch();
}

} // namespace hv
