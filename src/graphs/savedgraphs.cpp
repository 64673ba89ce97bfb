#include "graphs/savedgraphs.h"

#include "core/program.h"
#include "platform/database.h"

namespace hv {

bool SavedGraphExists(Program& p, const QString& projectId, const QString& name) {
    Database db = Database::open(p.ProjectDatabasePath);
    return !db.select("SELECT GraphName FROM UserGraphs WHERE ProjectID = ? AND GraphName = ? LIMIT 1",
                      {projectId, name})
                .isEmpty();
}

std::optional<UserGraphRow> LoadUserGraph(Program& p, const QString& projectId, qint16 train,
                                          const QString& name) {
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows = db.select("SELECT * FROM UserGraphs WHERE ProjectID = ? AND TrainNumber = ? AND "
                                  "GraphName = ? ORDER BY ID LIMIT 1",
                                  {projectId, int(train), name});
    if (rows.isEmpty()) return std::nullopt;
    const DbRow& r = rows.first();
    // Rows written by other tools may hold Null where the window writes -1000 (not set).
    auto number = [&](const QString& c) { return r.isNull(c) ? AutoLimit : r.toDouble(c); };
    auto int16 = [&](const QString& c) { return r.isNull(c) ? qint16(AutoLimit) : r.toInt16(c); };
    auto int32 = [&](const QString& c) { return r.isNull(c) ? qint32(AutoLimit) : r.toInt32(c); };
    auto text = [&](const QString& c) { return r.isNull(c) ? QString() : r.toText(c); };
    auto date = [&](const QString& c) { return r.isNull(c) ? QDateTime() : r.toDateTime(c); };

    UserGraphRow row;
    row.ProjectID = text("ProjectID");
    row.TrainNumber = r.isNull("TrainNumber") ? qint16(0) : r.toInt16("TrainNumber");
    row.GraphName = text("GraphName");
    row.StartDate = date("StartDate");
    row.EndDate = date("EndDate");
    row.EndTimeTyped = !r.isNull("EndDate") && SavedEndHoldsTime(r.toText("EndDate"));
    row.SensorCount = r.isNull("SensorCount") ? qint16(0) : r.toInt16("SensorCount");
    for (int k = 1; k <= 4; ++k)
        row.SeriesNames << text(QString("S%1Name").arg(k));
    row.Target = r.isNull("Target") ? 0 : r.toDouble("Target");
    GraphStyle& s = row.Style;
    s.YMax = number("YMax");
    s.Y2Max = number("Y2Max");
    s.YMin = number("YMin");
    s.Y2Min = number("Y2Min");
    for (int k = 0; k < 4; ++k) {
        const QString n = QString::number(k + 1);
        s.LineStyle[size_t(k)] = int16("S" + n + "LineStyle");
        s.LineColor[size_t(k)] = int32("S" + n + "LineColor");
        s.SymbolStyle[size_t(k)] = int16("S" + n + "SymbolStyle");
        s.SymbolColor[size_t(k)] = int32("S" + n + "SymbolColor");
    }
    s.LineThickness = int16("LineSize");
    s.SymbolThickness = int16("SymbolSize");
    s.Header = text("Header");
    return row;
}

std::pair<QDateTime, QDateTime> SavedGraphPeriod(const UserGraphRow& row, const QDate& today) {
    if (row.GraphName != QLatin1String("Last Graph")) return {row.StartDate, row.EndDate};
    if (!row.StartDate.isValid() || !row.EndDate.isValid()) return {QDateTime(), today.startOfDay()};
    return {today.addDays(-row.StartDate.date().daysTo(row.EndDate.date())).startOfDay(), today.startOfDay()};
}

int FindSeriesIndex(const QStringList& descriptions, const QString& description) {
    return int(descriptions.indexOf(description));
}

QString PrimaryGraphSeries(int position) {
    static const QStringList series{"System Normalized Permeate Flow", "System Normalized Salt Passage",
                                    "System Normalized DP"};
    return series.value(position);
}

} // namespace hv
