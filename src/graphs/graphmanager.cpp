#include "graphs/graphmanager.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "core/units.h"
#include "graphs/chartmodel.h"
#include "normalization/intake.h"
#include "platform/database.h"

namespace hv {

std::vector<ProjectTrainKey> LoadProjectItems(Program& p, int& select) {
    Database db = Database::open(p.ProjectDatabasePath);
    std::vector<ProjectTrainKey> items;
    for (const DbRow& r : db.select("SELECT ProjectID, TrainNumber FROM ProjectInfo ORDER BY ID"))
        items.push_back(
            {r.toText("ProjectID"), r.isNull("TrainNumber") ? qint16(0) : r.toInt16("TrainNumber")});
    const qint16 train = p.CurrentProject.TrainNumber == 0 ? qint16(1) : p.CurrentProject.TrainNumber;
    select = ProjectItemIndex(items, p.CurrentProject.ProjectID, train);
    return items;
}

ProjectTrainKey GraphedTrain(const ProjectTrainKey& item) {
    return {item.projectId, item.train == 0 ? qint16(1) : item.train};
}

int ProjectItemIndex(const std::vector<ProjectTrainKey>& items, const QString& project, qint16 train) {
    for (size_t i = 0; i < items.size(); ++i) {
        const ProjectTrainKey k = GraphedTrain(items[i]);
        if (k.train == train && k.projectId.compare(project, Qt::CaseInsensitive) == 0) return int(i);
    }
    return -1;
}

QString ProjectTitle(const QString& project, qint16 train) {
    return train == 1 ? project : project + " Train: " + QString::number(train);
}

std::optional<qint16> ReadNumTrains(Program& p, const QString& project) {
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows =
        db.select("SELECT NumTrains FROM ProjectInfo WHERE ProjectID = ? ORDER BY ID", {project});
    if (rows.isEmpty()) return std::nullopt;
    return rows.first().isNull("NumTrains") ? qint16(0) : rows.first().toInt16("NumTrains");
}

namespace {

// The text range of the spellings of a day's dates: the day alone sorts first, "yyyy-mm-ddU"
// after the same day with a time, whether " " or "T" stands before it.
QVariantList dayRange(const QDate& d) {
    const QString day = QString::asprintf("%04d-%02d-%02d", d.year(), d.month(), d.day());
    return {day, day + 'U'};
}

// The first or last instant of the train's readings on the day of `stored`, by the instants
// the dates name: in text order a "T" comes after a space whatever the time. Nothing when no
// date of that day can be keyed.
std::optional<QDateTime> extremeOfDay(Database& db, const QString& project, qint16 train,
                                      const QString& stored, bool first) {
    const std::optional<qint64> key = ReadingDateKey(stored.left(10));
    if (!key) return std::nullopt;
    std::optional<qint64> best;
    for (const DbRow& r :
         db.select("SELECT TheDate FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND TheDate >= ? AND "
                   "TheDate < ?",
                   QVariantList{project, int(train)} + dayRange(DateTimeOfKey(*key).date()))) {
        const std::optional<qint64> k = ReadingDateKey(r.isNull("TheDate") ? QString() : r.toText("TheDate"));
        if (!k || std::isnan(DateSerialOfKey(*k))) continue;
        if (!best || (first ? *k < *best : *k > *best)) best = k;
    }
    if (!best) return std::nullopt;
    return DateTimeOfKey(*best);
}

} // namespace

std::optional<QDateTime> OldestReading(Program& p, const QString& project) {
    Database db = Database::open(p.ProjectDatabasePath);
    // The first instant of each train that holds readings, trains and days found through the
    // date index: ordering the whole project's readings by their text would read every one.
    std::optional<QDateTime> oldest;
    QVariant after = std::numeric_limits<qint64>::min(); // the train before, as stored
    for (;;) {
        const DbRows next = db.select("SELECT TrainNumber, (SELECT MIN(TheDate) FROM Data AS d WHERE "
                                      "d.ProjectID = Data.ProjectID AND d.TrainNumber = Data.TrainNumber) "
                                      "AS first FROM Data WHERE ProjectID = ? AND TrainNumber > ? "
                                      "ORDER BY TrainNumber LIMIT 1",
                                      {project, after});
        if (next.isEmpty()) break;
        const DbRow& r = next.first();
        after = r.value("TrainNumber");
        if (r.isNull("first")) continue;
        bool whole = false;
        const qint64 train = after.toLongLong(&whole);
        const std::optional<QDateTime> ofDay =
            whole && after.toDouble() == double(train) && train >= 1 && train <= 32767
                ? extremeOfDay(db, project, qint16(train), r.toText("first"), true)
                : std::nullopt;
        const QDateTime first = ofDay.value_or(r.toDateTime("first"));
        if (first.isValid() && (!oldest || first < *oldest)) oldest = first;
    }
    return oldest;
}

RecordedPeriod GetStartDate(Program& p, const QString& project, qint16 train) {
    Database db = Database::open(p.ProjectDatabasePath);
    // Each end on its own: one of them alone is read from the index, both together from
    // every reading.
    const QString of = " FROM Data WHERE ProjectID = ? AND TrainNumber = ?)";
    const QString sql =
        "SELECT (SELECT MIN(TheDate)" + of + " AS first, (SELECT MAX(TheDate)" + of + " AS last";
    const DbRow r = db.select(sql, {project, int(train), project, int(train)}).first();
    RecordedPeriod out;
    if (!r.isNull("first")) {
        const QString first = r.toText("first"), last = r.toText("last");
        out.start = extremeOfDay(db, project, train, first, true).value_or(r.toDateTime("first"));
        out.end =
            std::min(extremeOfDay(db, project, train, last, false).value_or(r.toDateTime("last")).addDays(1),
                     LastStoredInstant());
    } else {
        const QDateTime now = p.system.now();
        out.start = now.addDays(-7);
        out.end = now;
    }
    return out;
}

std::optional<SeriesList> LoadSeriesList(Program& p, const QString& graphProject) {
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows sensors = db.select("SELECT Description, ColumnHeader, \"Order\" FROM GraphSensors "
                                     "WHERE (ProjectID = ? OR ProjectID = 'ALL') ORDER BY \"Order\", ID",
                                     {graphProject});
    // The captions are the graphed project's own, whichever project is current.
    const DbRows user = db.select("SELECT * FROM UserDefined WHERE ProjectID = ?", {graphProject});
    if (sensors.isEmpty()) return std::nullopt;
    static const QStringList userColumns{"TurbidityRaw", "TurbidityFeed", "SDIRaw", "SDIFeed", "ORP"};
    SeriesList out;
    for (const DbRow& r : sensors) {
        const QString column = r.isNull("ColumnHeader") ? QString() : r.toText("ColumnHeader");
        QString desc = r.isNull("Description") ? QString() : r.toText("Description");
        if (!user.isEmpty()) {
            for (const QString& uc : userColumns)
                if (column.compare(uc, Qt::CaseInsensitive) == 0 && !user.first().isNull(uc))
                    desc = user.first().toText(uc);
        }
        out.descriptions << desc;
        out.columns << column;
    }
    return out;
}

QStringList LoadMyGraphNames(Program& p, const QString& project, qint16 train) {
    Database db = Database::open(p.ProjectDatabasePath);
    QStringList names;
    for (const DbRow& r :
         db.select("SELECT GraphName FROM UserGraphs WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID",
                   {project, int(train)}))
        names << (r.isNull("GraphName") ? QString() : r.toText("GraphName"));
    return names;
}

QStringList EventList(Program& p, std::vector<GraphEvent> events) {
    static const QString builtIn[] = {
        GetMlString(580, "System Cleaning"), GetMlString(613, "Instrument Calibration / Replacement"),
        GetMlString(582, "Pretreatment Event Occurred"), GetMlString(583, "Long Shutdown"),
        GetMlString(584, "Membrane Replacement")};
    QStringList out;
    if (events.empty()) return out;
    // An event is listed under a type the Events table holds.
    Database db = Database::open(p.ProjectDatabasePath);
    QHash<int, QString> types;
    for (const DbRow& r : db.select("SELECT EventID, EventType FROM Events WHERE EventID IS NOT NULL"))
        types.insert(r.value("EventID").toInt(), r.isNull("EventType") ? QString() : r.toText("EventType"));
    std::stable_sort(events.begin(), events.end(),
                     [](const GraphEvent& a, const GraphEvent& b) { return a.dateKey > b.dateKey; });
    for (const GraphEvent& e : events) {
        if (out.size() == 25) break;
        const auto type = types.constFind(e.eventId);
        if (type == types.constEnd()) continue;
        const QString label = e.eventId >= 1 && e.eventId <= 5 ? builtIn[e.eventId - 1] : *type;
        out << ShortDateTimeText(DateTimeOfKey(e.dateKey)) + " - " + label;
    }
    return out;
}

QStringList LoadEventList(Program& p, const QString& project, qint16 train, const QDateTime& start,
                          const QDateTime& end) {
    const qint64 from = DateKeyOf(start), to = DateKeyOf(std::min(end, LastStoredInstant()));
    std::vector<GraphEvent> events;
    {
        Database db = Database::open(p.ProjectDatabasePath);
        for (const DbRow& r :
             db.select("SELECT TheDate, EventID FROM Data WHERE ProjectID = ? AND TrainNumber = ? "
                       "AND EventID > 0 AND TheDate >= ? AND TheDate < ?",
                       {project, int(train), dayRange(start.date()).at(0),
                        dayRange(std::min(end, LastStoredInstant()).date()).at(1)})) {
            const std::optional<qint64> k =
                ReadingDateKey(r.isNull("TheDate") ? QString() : r.toText("TheDate"));
            if (!k || *k < from || *k > to || std::isnan(DateSerialOfKey(*k))) continue;
            events.push_back({*k, DateSerialOfKey(*k), 0, r.value("EventID").toInt()});
        }
    }
    return EventList(p, std::move(events));
}

GraphUnits CurrentUnits(const Program& p) {
    const ProjectInfoRecord& c = p.CurrentProject;
    return {c.unitFlow, c.unitPress, c.unitFlux, c.unitTemp};
}

GraphUnits ReadGraphUnits(Program& p, const QString& project, qint16 train) {
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows = db.select("SELECT unitFlow, unitPress, unitFlux, unitTemp FROM ProjectInfo WHERE "
                                  "ProjectID = ? ORDER BY (COALESCE(TrainNumber, 0) = ?) DESC, ID LIMIT 1",
                                  {project, int(train)});
    if (rows.isEmpty()) return CurrentUnits(p);
    const DbRow& r = rows.first();
    auto unit = [&r](const char* col) { return r.isNull(col) ? qint16(0) : r.toInt16(col); };
    return {unit("unitFlow"), unit("unitPress"), unit("unitFlux"), unit("unitTemp")};
}

qint16 ReadGraphNumBanks(Program& p, const QString& project, qint16 train) {
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows = db.select("SELECT NumBanks FROM ProjectInfo WHERE ProjectID = ? ORDER BY "
                                  "(COALESCE(TrainNumber, 0) = ?) DESC, ID LIMIT 1",
                                  {project, int(train)});
    if (rows.isEmpty() || rows.first().isNull("NumBanks")) return p.CurrentProject.NumBanks;
    return rows.first().toInt16("NumBanks");
}

QString InformationLine(const Program& p, const GraphUnits& units, const QDate& today) {
    QString path = p.ProjectDatabasePath;
    const int cut = int(std::max(path.lastIndexOf('\\'), path.lastIndexOf('/')));
    const QString dbName = cut >= 0 ? path.mid(cut + 1) : path;
    return ShortDateText(today) + ",  Units: " + GetUnitName(3, units.flow) + ", " +
           GetUnitName(1, units.press) + ", " + GetUnitName(4, units.flux) + ", " +
           GetUnitName(2, units.temp) + ", Hevrin v: " + ProgramVersionText + ", DB v: " +
           QString("%1.%2.%3").arg(p.DbVersionMajor).arg(p.DbVersionMinor).arg(p.DbVersionRevision) +
           ", DB Name: " + dbName;
}

QString FormatBoxDate(const QDateTime& dt, bool withTime) {
    if (!dt.isValid()) return QString();
    return dt.time() == QTime(0, 0) && !withTime ? ShortDateText(dt.date()) : ShortDateTimeText(dt);
}

QDateTime ParseBoxDate(const QString& text) {
    return ParseEntryDate(text).value_or(QDateTime());
}

bool EndTextHoldsTime(const QString& text) {
    // The one date reader decides: a date alone still reads with a time after it, a text
    // that holds one already does not.
    return ParseEntryDate(text).has_value() &&
           !ParseEntryDate(text.simplified() + QStringLiteral(" 1:02:03"));
}

QDateTime DrawnEnd(const QString& endText) {
    const QDateTime end = ParseBoxDate(endText);
    if (!end.isValid()) return end;
    return std::min(EndTextHoldsTime(endText) ? end : end.addDays(1), LastStoredInstant());
}

std::optional<QString> PeriodRefusal(const QString& startText, const QString& endText) {
    // Neither box is ever read as some other date in place of what was typed.
    const QDateTime start = ParseBoxDate(startText);
    if (!start.isValid()) return "The start date \"" + startText + "\" is not a valid date.";
    const QDateTime end = ParseBoxDate(endText);
    if (!end.isValid()) return "The end date \"" + endText + "\" is not a valid date.";
    // An end day without a time is drawn whole, so a start later on that same day still draws.
    const bool endDayWhole = end.time() == QTime(0, 0);
    if (endDayWhole ? start.date() > end.date() : start > end)
        return "The end date \"" + endText + "\" is before the start date \"" + startText + "\".";
    return std::nullopt;
}

namespace {

QVariant nullableDate(const QDateTime& d) {
    return d.isValid() ? QVariant(dbDateText(d)) : QVariant();
}

// Texts are stored as text, an empty one as '' and never as Null.
QString text(const QString& s) {
    return s.isNull() ? QString("") : s;
}

// The ID of a new saved graph: above every ID the table holds and, where the table counts its
// IDs itself, above every one it has handed out. Taken before a row is replaced, so that the
// new row never takes back the ID of the row it replaces, even in databases whose table was
// made without counting its IDs.
qint64 nextUserGraphId(Database& db) {
    qint64 used = db.scalar("SELECT COALESCE(MAX(ID), 0) FROM UserGraphs").toLongLong();
    if (db.hasTable("sqlite_sequence"))
        used = std::max(used, db.scalar("SELECT COALESCE(MAX(seq), 0) FROM sqlite_sequence WHERE name = "
                                        "'UserGraphs' COLLATE NOCASE")
                                  .toLongLong());
    return used + 1;
}

void insertUserGraph(Database& db, const UserGraphRow& row, qint64 id) {
    const GraphStyle& s = row.Style;
    QVariant end = nullableDate(row.EndDate);
    if (row.EndTimeTyped && row.EndDate.isValid() && row.EndDate.time() == QTime(0, 0))
        end = end.toString().replace(10, 1, QLatin1Char('T'));
    QVariantList v{
        id, text(row.ProjectID), int(row.TrainNumber), text(row.GraphName), nullableDate(row.StartDate), end};
    for (int k = 0; k < 4; ++k)
        v << (k < row.SensorCount ? text(row.SeriesNames.value(k)) : QString(""));
    v << int(row.SensorCount) << row.Target << s.YMax << s.Y2Max << s.YMin << s.Y2Min;
    for (int k = 0; k < 4; ++k)
        v << int(s.LineStyle[k]);
    for (int k = 0; k < 4; ++k)
        v << s.LineColor[k];
    for (int k = 0; k < 4; ++k)
        v << int(s.SymbolStyle[k]);
    for (int k = 0; k < 4; ++k)
        v << s.SymbolColor[k];
    v << int(s.LineThickness) << int(s.SymbolThickness) << text(s.Header.left(50));
    QStringList marks;
    for (int i = 0; i < v.size(); ++i)
        marks << "?";
    db.exec(
        "INSERT INTO UserGraphs (ID, ProjectID, TrainNumber, GraphName, StartDate, EndDate, S1Name, S2Name, "
        "S3Name, S4Name, SensorCount, Target, YMax, Y2Max, YMin, Y2Min, S1LineStyle, S2LineStyle, "
        "S3LineStyle, S4LineStyle, S1LineColor, S2LineColor, S3LineColor, S4LineColor, S1SymbolStyle, "
        "S2SymbolStyle, S3SymbolStyle, S4SymbolStyle, S1SymbolColor, S2SymbolColor, S3SymbolColor, "
        "S4SymbolColor, LineSize, SymbolSize, Header) VALUES (" +
            marks.join(", ") + ")",
        v);
}

} // namespace

bool SavedEndHoldsTime(const QString& storedText) {
    const std::optional<qint64> key = ReadingDateKey(storedText.trimmed());
    return key && (*key % 1000000 != 0 || storedText.trimmed().indexOf(QLatin1Char('T')) == 10);
}

void SaveUserGraph(Program& p, const UserGraphRow& row, bool overwrite) {
    Database db = Database::open(p.ProjectDatabasePath);
    Transaction tx(db);
    const qint64 id = nextUserGraphId(db);
    if (overwrite)
        db.exec("DELETE FROM UserGraphs WHERE ID = (SELECT ID FROM UserGraphs WHERE ProjectID = ? AND "
                "TrainNumber = ? AND GraphName = ? ORDER BY ID LIMIT 1)",
                {row.ProjectID, int(row.TrainNumber), row.GraphName});
    insertUserGraph(db, row, id);
    tx.commit();
}

void SaveLastGraph(Program& p, const UserGraphRow& row) {
    Database db = Database::open(p.ProjectDatabasePath);
    Transaction tx(db); // the old row goes only when the new one is written
    const qint64 id = nextUserGraphId(db);
    db.exec("DELETE FROM UserGraphs WHERE ProjectID = ? AND TrainNumber = ? AND GraphName = 'Last Graph'",
            {row.ProjectID, int(row.TrainNumber)});
    UserGraphRow last = row;
    last.GraphName = "Last Graph";
    insertUserGraph(db, last, id);
    tx.commit();
}

bool SpecFluxWarningDue(const Program& p, const SpecFluxInput& in, const ChartModel& chart) {
    if (p.SpecFluxWarningShown || p.DbVersionMajor != 1 || p.DbVersionMinor != 3 || p.DbVersionRevision != 20)
        return false;
    auto ticked = [&](int i) {
        return i >= 0 && i < int(in.enableTicked.size()) && in.enableTicked[size_t(i)];
    };
    int found = -1;
    for (int k = 0; k < 4 && found < 0; ++k)
        if ((k == 0 || ticked(k - 1)) && in.comboTexts.value(k).contains("Specific Flux")) found = k;
    if (found < 0) return false;
    int group = 1, series = found + 1;
    if (found == 1 && !ticked(1)) group = 2, series = 1;
    const ChartGroup& g = chart.group(group);
    double sum = 0;
    if (series <= g.seriesCount())
        for (double y : g.series(series).y) {
            if (!std::isnan(y)) sum += y;
            if (sum > 0) return false;
        }
    const QString text = in.comboTexts.value(found);
    if (text.size() > 5 && text[5].isDigit()) {
        int n = 0;
        for (int i = 5; i < text.size() && text[i].isDigit(); ++i)
            n = n * 10 + text[i].digitValue();
        if (n > in.numBanks) return false;
    }
    return true;
}

} // namespace hv
