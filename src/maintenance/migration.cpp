#include "maintenance/migration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/currentproject.h"
#include "core/datatables.h"
#include "core/dbversion.h"
#include "core/inputordercolumns.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/refusal.h"
#include "normalization/calculate.h"
#include "normalization/intake.h"
#include "normalization/normalize.h"
#include "platform/filelimits.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

// The raw columns of a reading, in the order the copy writes them.
struct ReadingColumn {
    const char* source; // column of the FROM Data row
    const char* target; // column of the TO Data row
    enum Kind { Date, Number, Elapsed, Plain, Bank3 } kind;
};

// The raw columns of Data, copied in the description's order; the calculated ones are written
// by the normalization.
constexpr bool isCopied(const schema::Column& c) {
    return c.kind != schema::Kind::Calculated && &c != &schema::DataColumn("ID");
}

constexpr int ReadingColumnCount = int(std::count_if(schema::Data.columns.begin(), schema::Data.columns.end(),
                                                     [](const schema::Column& c) { return isCopied(c); }));
static_assert(ReadingColumnCount == 35);

constexpr std::array<ReadingColumn, ReadingColumnCount> ReadingColumns = [] {
    std::array<ReadingColumn, ReadingColumnCount> out{};
    size_t i = 0;
    for (const schema::Column& c : schema::Data.columns) {
        if (!isCopied(c)) continue;
        ReadingColumn::Kind kind = ReadingColumn::Number;
        if (c.kind == schema::Kind::Date)
            kind = ReadingColumn::Date;
        else if (&c == &schema::DataColumn("ElapsedTimeHrs"))
            kind = ReadingColumn::Elapsed;
        else if (schema::BroughtBy(c, schema::ThreeBanks))
            kind = ReadingColumn::Bank3;
        else if (c.kind == schema::Kind::Key || c.type != schema::SqlType::Real)
            kind = ReadingColumn::Plain;
        // A two-bank reading never had bank 1's own back pressure: it takes the system value.
        const char* source =
            &c == &schema::DataColumn("PermBackPress_1") ? schema::DataName("PermBackPress") : c.name;
        out[i++] = {source, c.name, kind};
    }
    return out;
}();

consteval int slotOf(const char* name) {
    int i = 0;
    for (const schema::Column& c : schema::Data.columns) {
        if (&c == &schema::DataColumn(name)) return i;
        if (isCopied(c)) ++i;
    }
    return -1;
}

// Position in the INSERT of the project's key, which comes from the project record.
constexpr int ProjectIdSlot = slotOf("ProjectID");
constexpr int TrainSlot = slotOf("TrainNumber");
constexpr int ElapsedSlot = slotOf("ElapsedTimeHrs");
constexpr int PermBackPress1Slot = slotOf("PermBackPress_1");

// The columns of ProjectInfo a project record reads as 0 when they are Null or, in a two-bank
// database, absent.
const QStringList& optionalProjectColumns() {
    static const QStringList names = schema::Names(
        schema::ProjectInfo, [](const schema::Column& c) { return c.null == schema::NullRule::ReadsZero; });
    return names;
}

// Why the project row cannot be migrated, in the sentence every road says; empty when it can:
// a column the project record cannot do without holds Null (or the row lacks it), or the bank
// count is not one the normalization works with.
QString projectRefusal(const DbRow& row) {
    const QString where = [&] {
        const auto text = [&](const char* c) {
            const QString name = QString::fromLatin1(c);
            return row.hasField(name) && !conv::isNull(row.value(name)) ? row.value(name).toString()
                                                                        : QString();
        };
        return " of project " + text("ProjectID") + " train " + text("TrainNumber");
    }();
    for (const schema::Column& c : schema::ProjectInfo.columns) {
        if (c.null != schema::NullRule::Refused) continue;
        const QString name = QString::fromLatin1(c.name);
        if (!row.hasField(name) || conv::isNull(row.value(name)))
            return Refusal::missing("Column " + name + where).text;
    }
    // Every whole-number range the description gives: the bank count, the train number.
    for (const schema::Column& c : schema::ProjectInfo.columns) {
        if (c.range.any()) continue;
        const QString name = QString::fromLatin1(c.name);
        const QVariant v = row.value(name);
        bool number = false;
        const double x = v.toDouble(&number);
        const QString column = "Column " + name + where;
        if (!number) return Refusal::notANumber(column, v.toString()).text;
        if (x != std::floor(x) || std::fabs(x) > 1e15 || !c.range.holds((long long)x))
            return Refusal::outOfRange(column, v.toString(), c.range).text;
    }
    return {};
}

const char* const ScadaImportColumns[] = {"ProjectID", "TrainNumber", "FieldValue",
                                          "UseScada",  "Application", "Topic",
                                          "Item",      "Required",    "UseDefaultValues"};
// UserDefined: a project's captions of the optional readings, which the table names by their
// Data columns, and their units.
const QStringList& userDefinedColumns() {
    static const QStringList names = [] {
        QStringList out{QStringLiteral("ProjectID")};
        out << schema::Names(schema::Data, [](const schema::Column& c) { return c.optional; });
        for (const char* units : {"UnitsTRaw", "UnitsTFeed", "UnitsSDIRaw", "UnitsSDIFeed", "UnitsORP"})
            out << QLatin1String(units);
        return out;
    }();
    return names;
}
const char* const UserGraphColumns[] = {
    "ProjectID",     "TrainNumber",   "GraphName",     "StartDate",     "EndDate",       "S1Name",
    "S2Name",        "S3Name",        "S4Name",        "YMax",          "Y2Max",         "YMin",
    "Y2Min",         "SensorCount",   "Target",        "S1LineStyle",   "S2LineStyle",   "S3LineStyle",
    "S4LineStyle",   "S1LineColor",   "S2LineColor",   "S3LineColor",   "S4LineColor",   "S1SymbolStyle",
    "S2SymbolStyle", "S3SymbolStyle", "S4SymbolStyle", "S1SymbolColor", "S2SymbolColor", "S3SymbolColor",
    "S4SymbolColor", "LineSize",      "SymbolSize",    "Header"};

QString placeholders(int n) {
    QString s;
    for (int i = 0; i < n; ++i)
        s += i ? QStringLiteral(",?") : QStringLiteral("?");
    return s;
}

template <typename Names> QString joined(const Names& names) {
    QStringList l;
    for (const char* n : names)
        l << QString::fromLatin1(n);
    return l.join(',');
}

bool hasColumn(const QStringList& columns, const QString& name) {
    return columns.contains(name, Qt::CaseInsensitive);
}

void bindAll(SqliteStatement& st, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        st.bind(i, values[i]);
}

// Runs a statement that returns no rows.
void execute(SqliteConnection& db, const QString& sql, const QVariantList& values) {
    SqliteStatement st(db, sql);
    bindAll(st, values);
    st.step();
}

// The rows of a select as the query layer gives them.
std::vector<DbRow> rowsOf(SqliteConnection& db, const QString& sql, const QVariantList& values) {
    SqliteStatement st(db, sql);
    bindAll(st, values);
    std::vector<DbRow> out;
    while (st.step())
        out.push_back(st.row());
    return out;
}

// The date rule's key of a stored date; nothing for a text it cannot read or another type.
std::optional<qint64> storedDateKey(const SqliteStatement& q, int column) {
    if (q.type(column) != SqliteStatement::Type::Text) return std::nullopt;
    int length = 0;
    const char* t = q.text(column, &length);
    return t ? ReadingDateKey(t, length) : std::nullopt;
}

} // namespace

bool SameDatabaseFile(const QString& a, const QString& b) {
    bool known = false;
    const bool same = SameFileOnDisk(a, b, known);
    if (known) return same;
    const auto canonical = [](const QString& path) {
        const QFileInfo f(path);
        const QString c = f.canonicalFilePath();
        return c.isEmpty() ? QDir::cleanPath(f.absoluteFilePath()) : c;
    };
    return !a.isEmpty() && !b.isEmpty() && canonical(a) == canonical(b);
}

QString MigrationFailuresText(const MigrationResult& r) {
    if (r.failed == 0) return {};
    return QString::number(r.failed) +
           (r.failed == 1 ? " reading could not be calculated and keeps"
                          : " readings could not be calculated and keep") +
           " no calculated values; the first: " + r.firstFailure;
}

QString MigrationLeftOutText(const MigrationResult& r) {
    QStringList said;
    if (r.sameDate > 0)
        said << QString::number(r.sameDate) +
                    (r.sameDate == 1
                         ? " reading was left out: its project train already held a reading"
                         : " readings were left out: their project train already held a reading") +
                    " at that date and time, and a train keeps one reading per date";
    if (r.orphaned > 0)
        said << QString::number(r.orphaned) +
                    (r.orphaned == 1 ? " reading was left in the FROM database: it names"
                                     : " readings were left in the FROM database: they name") +
                    " a project train that has no project row there (" + r.orphanTrains.join(", ") + ")";
    // The named causes are sentences of their own.
    const auto causes = [](const QStringList& sentences) { return sentences.join(' ').chopped(1); };
    if (r.unreadable > 0)
        said << QString::number(r.unreadable) +
                    (r.unreadable == 1
                         ? " reading was left in the FROM database: its date cannot be read"
                         : " readings were left in the FROM database: their dates cannot be read") +
                    (r.unreadable > r.unreadableDates.size() ? ". The first: " : ". ") +
                    causes(r.unreadableDates);
    if (!r.refused.isEmpty())
        said << QString::number(r.refused.size()) +
                    (r.refused.size() == 1
                         ? " project train was left in the FROM database with its readings. "
                         : " project trains were left in the FROM database with their readings. ") +
                    causes(r.refused);
    return said.isEmpty() ? QString() : said.join(". ") + ".";
}

QString MigrationStopText(const MigrationResult& r, const QString& toPath) {
    const QString where = r.stoppedAt.isEmpty() ? QString() : " while migrating " + r.stoppedAt;
    const QString kept = r.copiedWhole.isEmpty()
                             ? "No project train was copied; " + toPath + " is as it was before."
                             : "Copied whole to " + toPath + ": " + r.copiedWhole.join(", ") +
                                   ". Every other project train of it is as it was before.";
    return "The migration stopped" + where + ".\r\n" + r.failure + "\r\n" + kept;
}

QString MigrationBackupName(const QString& toPath, const QDateTime& when) {
    QString name = toPath.mid(toPath.lastIndexOf('/') + 1);
    name = name.mid(name.lastIndexOf('\\') + 1);
    if (name.size() < 4) return {};
    return name.left(name.size() - 4) + "." +
           QLocale::c().toString(when, QStringLiteral("yyyyMMMdd-hhmmss")) + ".mdb";
}

Migration::Migration(Program& p, MigrationDb from, MigrationDb to, RunProgress& progress)
    : p_(p), from_(std::move(from)), to_(std::move(to)), progress_(progress) {}

Migration::~Migration() = default;

QString Migration::projectSelect() {
    // A two-bank database has no bank-3 columns; the project record reads them as 0.
    const QStringList have = fromDb_->columns(QStringLiteral("ProjectInfo"));
    QString extra;
    for (const QString& c : optionalProjectColumns())
        if (!hasColumn(have, c)) extra += QStringLiteral(", 0 AS ") + c;
    return "SELECT *" + extra + " FROM ProjectInfo ORDER BY ProjectID, TrainNumber";
}

bool Migration::Migrate2BankProject(const DbRow& row, const QVariant& projectKey) {
    // The train's own record: CurrentProject stays the windows'.
    project_ = ProjectInfoRecord();
    LoadProjectRecord(project_, row);
    ProjectInfoRecord& c = project_;
    if (!from_.threeBank()) {
        c.PermFlow_3 = c.PermuS_3 = c.FeedPressure_3 = c.ConcPressure_2 = c.PermBackPress_3 = 0;
        c.ElementType_3 = 0;
        c.NumElementsBank_3 = 0;
        c.AreaBank_3 = c.DeltaPress_3 = 0;
        c.ElementsPerVessel_3 = c.NumVessels_3 = 0;
    }
    if (!from_.threeBank() && c.NumBanks == 2 && c.PermBackPress > 0 && c.PermBackPress_1 == 0)
        c.PermBackPress_1 = c.PermBackPress;

    const QVariantList key{projectKey, c.TrainNumber};
    bool exists = false;
    {
        SqliteStatement st(
            *toDb_, QStringLiteral("SELECT ID FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ?"));
        bindAll(st, key);
        exists = st.step();
    }
    if (exists) {
        const Answer a = p_.prompts.message(
            "The Project ID " + c.ProjectID + ", Train # " + QString::number(c.TrainNumber) +
                " already exists in the target 3 Bank Project Database!\r\n\r\n"
                "Overwrite existing project and any data associated with it?",
            Buttons::YesNoCancel, Icon::None, Title);
        if (a != Answer::Yes) return false;
    }

    const auto fromValue = [&row](const char* column) {
        return row.hasField(QString::fromLatin1(column)) ? row.value(QString::fromLatin1(column))
                                                         : QVariant();
    };
    const auto orDefault = [&](const char* column, const QVariant& fallback) {
        const QVariant v = fromValue(column);
        return conv::isNull(v) ? fallback : v;
    };

    // The train's writes, from the replacement of what it had to its last reading, are one
    // transaction: the caller commits it once the readings are in.
    train_.emplace(*toDb_);
    trainReplaced_ = exists;
    if (exists) {
        // "Any data associated with it": the TO readings go too, or the FROM readings would
        // be added beside them.
        execute(*toDb_, QStringLiteral("DELETE FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ?"),
                key);
        execute(*toDb_, QStringLiteral("DELETE FROM Data WHERE ProjectID = ? AND TrainNumber = ?"), key);
    }
    const QVariantList values{
        StoredDateText(c.DateReference),
        projectKey,
        c.NumBanks,
        c.TrainNumber,
        c.NumTrains,
        orDefault("TrainsSame", 0),
        orDefault("Description", QString()),
        orDefault("DefaultUnits", 0),
        c.CapacityM3D,
        c.SystemData ? -1 : 0,
        c.unitFlow,
        c.unitTemp,
        c.unitPress,
        c.unitFlux,
        c.ElapsedTimeRef,
        c.FeedTemp,
        c.FeeduS,
        c.PermuS,
        c.ConcuS,
        c.FeedFlow,
        c.ConcFlow,
        c.PermFlow,
        c.OverallRecovery,
        c.FeedPressure,
        c.ConcPressure,
        c.DeltaPress,
        c.PermBackPress,
        c.ElementType,
        c.NumElementsBank,
        c.AreaBank,
        c.PermuS_1,
        c.PermuS_2,
        c.PermFlow_1,
        c.PermFlow_2,
        c.FeedPressure_2,
        c.PermBackPress_1,
        c.PermBackPress_2,
        c.ElementType_1,
        c.ElementType_2,
        c.NumElementsBank_1,
        c.NumElementsBank_2,
        c.AreaBank_1,
        c.AreaBank_2,
        c.DeltaPress_1,
        c.DeltaPress_2,
        c.uStoPPM,
        c.uStoPI_Feed,
        c.uStoPI_Perm,
        fromValue("AvgConc"),
        fromValue("Density"),
        fromValue("RefpH"),
        c.ConcPressure_1,
        fromValue("NumVessels"),
        c.NumVessels_1,
        c.NumVessels_2,
        fromValue("ElementsPerVessel"),
        c.ElementsPerVessel_1,
        c.ElementsPerVessel_2,
        c.ElementType_3,
        c.NumElementsBank_3,
        c.ElementsPerVessel_3,
        c.NumVessels_3,
        c.AreaBank_3,
        c.PermFlow_3,
        c.PermuS_3,
        c.FeedPressure_3,
        c.ConcPressure_2,
        c.PermBackPress_3,
        c.DeltaPress_3,
    };
    execute(*toDb_,
            "INSERT INTO ProjectInfo (" + schema::ProjectCreationColumns().join(',') + ") VALUES (" +
                placeholders(int(values.size())) + ")",
            values);
    MigrateSettings(projectKey);
    return true;
}

void Migration::MigrateSettings(const QVariant& projectKey) {
    const ProjectInfoRecord& c = project_;
    const QVariantList key{projectKey, c.TrainNumber};
    const QString byTrain = QStringLiteral(" WHERE ProjectID = ? AND TrainNumber = ?");

    // Input order: a two-bank order places the bank-3 items after the other twenty.
    {
        QStringList items;
        for (int i = 0; i < (from_.threeBank() ? 25 : 20); ++i)
            items << QString::fromLatin1(InputOrderColumns[size_t(i)]);
        const auto rows = rowsOf(*fromDb_, "SELECT " + items.join(',') + " FROM InputOrder" + byTrain, key);
        if (!rows.empty()) {
            execute(*toDb_, "DELETE FROM InputOrder" + byTrain, key);
            QVariantList values = rows.front().values();
            for (int i = 20; !from_.threeBank() && i < 25; ++i)
                values << i;
            values << projectKey << c.TrainNumber;
            execute(*toDb_,
                    "INSERT INTO InputOrder (" + joined(InputOrderColumns) +
                        ",ProjectID,TrainNumber) VALUES (" + placeholders(27) + ")",
                    values);
        }
    }
    progress_.setStatus(2, "Migrating Project " + c.ProjectID + " Trn: " + QString::number(c.TrainNumber));
    progress_.setStatus(3, QStringLiteral("Input Order migrated"));

    const auto copyRows = [&](const QString& table, const QString& where, const QVariantList& whereValues,
                              const QString& columns, int count) {
        // A database older than the spreadsheet import has no such table: nothing to copy.
        if (rowsOf(*fromDb_,
                   QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? "
                                  "COLLATE NOCASE"),
                   {table})
                .empty())
            return;
        const auto rows = rowsOf(*fromDb_, "SELECT " + columns + " FROM " + table + where, whereValues);
        if (rows.empty()) return;
        execute(*toDb_, "DELETE FROM " + table + where, whereValues);
        SqliteStatement insert(*toDb_, "INSERT INTO " + table + " (" + columns + ") VALUES (" +
                                           placeholders(count) + ")");
        for (const DbRow& r : rows) {
            bindAll(insert, r.values());
            insert.step();
            insert.reset();
        }
    };
    copyRows(QStringLiteral("ScadaImport"), byTrain, key, joined(ScadaImportColumns),
             int(std::size(ScadaImportColumns)));
    progress_.setStatus(3, QStringLiteral("Scada Import info migrated"));
    copyRows(QStringLiteral("UserDefined"), QStringLiteral(" WHERE ProjectID = ?"), {projectKey},
             userDefinedColumns().join(','), int(userDefinedColumns().size()));
    progress_.setStatus(3, QStringLiteral("User Defined migrated"));

    // Saved graphs name their series by description: through the FROM catalogue to the
    // column, and back to the TO catalogue's description of that column.
    const auto graphs =
        rowsOf(*fromDb_, "SELECT " + joined(UserGraphColumns) + " FROM UserGraphs" + byTrain, key);
    if (!graphs.empty()) {
        execute(*toDb_, "DELETE FROM UserGraphs" + byTrain, key);
        const auto fromSensors = rowsOf(
            *fromDb_, QStringLiteral("SELECT Description, ColumnHeader FROM GraphSensors ORDER BY ID"), {});
        const auto toSensors = rowsOf(
            *toDb_, QStringLiteral("SELECT Description, ColumnHeader FROM GraphSensors ORDER BY ID"), {});
        SqliteStatement insert(*toDb_, "INSERT INTO UserGraphs (" + joined(UserGraphColumns) + ") VALUES (" +
                                           placeholders(int(std::size(UserGraphColumns))) + ")");
        for (const DbRow& g : graphs) {
            QVariantList values = g.values();
            for (int s = 0; s < 4; ++s) {
                const QVariant name = values[5 + s];
                QString header;
                bool found = false;
                QString translated;
                for (const DbRow& f : fromSensors) {
                    if (!conv::isNull(name) && f.value(0).toString() == name.toString()) {
                        header = f.value(1).toString();
                        translated = f.value(0).toString();
                        found = true;
                        break;
                    }
                }
                if (!found) {
                    // Series 1 keeps a name the catalogue does not know; the others are dropped.
                    translated = s == 0 ? name.toString() : QString();
                } else {
                    for (const DbRow& t : toSensors)
                        if (t.value(1).toString() == header) translated = t.value(0).toString();
                }
                values[5 + s] = translated;
            }
            bindAll(insert, values);
            insert.step();
            insert.reset();
        }
    }
    progress_.setStatus(3, QStringLiteral("User Graphs Migrated"));
}

bool Migration::COPY2BANKto3BANK(const SqliteStatement& reading, DataRecordCalculator& calc) {
    // The project's key and, from a two-bank database, the bank-3 zeros stay bound from
    // copyReadings; the reading's own values go straight from row to row as they are stored,
    // and are kept for the normalization before the row is written.
    SqliteStatement& ins = *insertReading_;
    PendingReading pending;
    std::array<double, ReadingColumnCount> number{};
    std::array<PendingReading::State, ReadingColumnCount> state{};
    bool asStored = pendingPossible_; // every value read as it will be stored
    const auto keep = [&](int i, double x) {
        number[size_t(i)] = x;
        state[size_t(i)] = PendingReading::Number;
    };
    const auto keepNull = [&](int i) { state[size_t(i)] = PendingReading::Null; };
    // A text where a number is read: the stored value decides, through the row written.
    const auto keepOther = [&](int i) {
        if (numberSlot_[size_t(i)]) asStored = false;
        state[size_t(i)] = PendingReading::Number;
    };
    using Type = SqliteStatement::Type;
    for (int i = 0; i < ReadingColumnCount; ++i) {
        if (i == ProjectIdSlot || i == TrainSlot) continue;
        const ReadingColumn& col = ReadingColumns[i];
        if (col.kind == ReadingColumn::Bank3 && !from_.threeBank()) {
            keep(i, 0.0);
            continue;
        }
        const int pos = readingPos_[size_t(i)];
        if (pos < 0) {
            ins.bindNull(i);
            keepNull(i);
            continue;
        }
        const Type type = reading.type(pos);
        switch (col.kind) {
        case ReadingColumn::Date:
            if (type == Type::Null) {
                ins.bindNull(i);
            } else if (const std::optional<qint64> key = storedDateKey(reading, pos)) {
                // Written in the stored form, whatever spelling FROM holds.
                const QString text = StoredDateText(*key);
                ins.bind(i, text);
                pending.date = DateSerialOf(QVariant(text));
                pending.dateKnown = true;
            } else {
                // Not reached: copyReadings leaves such a reading in FROM.
                ins.bindColumn(i, reading, pos);
            }
            break;
        case ReadingColumn::Elapsed:
            // Recomputed from the date by the normalization; a Null is read as none yet.
            if (type == Type::Null) {
                ins.bind(i, 0.0);
                keep(i, 0.0);
                break;
            }
            [[fallthrough]];
        case ReadingColumn::Number:
        case ReadingColumn::Bank3:
        case ReadingColumn::Plain:
            // Copied exactly as stored.
            ins.bindColumn(i, reading, pos);
            if (type == Type::Float || type == Type::Integer)
                keep(i, reading.real(pos));
            else if (type == Type::Null)
                keepNull(i);
            else
                keepOther(i);
            break;
        }
    }

    PendingResult result;
    if (asStored) {
        for (int k = 0; k < ReadColumnCount; ++k) {
            const int from = readSource_[size_t(k)];
            if (from >= 0) {
                pending.state[size_t(k)] = state[size_t(from)];
                pending.value[size_t(k)] = number[size_t(from)];
            } else {
                pending.state[size_t(k)] = readDefault_[size_t(k)].first;
                pending.value[size_t(k)] = readDefault_[size_t(k)].second;
            }
        }
        result = calc.calculatePending(pending);
        if (result.elapsedChanged) ins.bind(ElapsedSlot, result.elapsed);
    }
    if (result.normalized) {
        for (int k = 0; k < StoredColumnCount; ++k) {
            const int slot = storedSlot_[size_t(k)];
            // A three-bank reading keeps its own values: only a two-bank one is converted.
            if (slot < ReadingColumnCount && from_.threeBank()) continue;
            ins.bind(slot, result.stored[size_t(k)]);
        }
        for (int j = 0; j < 4; ++j)
            if (specFluxSlot_[size_t(j)] >= 0) ins.bind(specFluxSlot_[size_t(j)], result.specFlux[size_t(j)]);
    } else {
        // The columns the calculation writes take their defaults, as if left out; the
        // normalization of the stored row below names the cause and empties its results.
        for (const auto& [slot, value] : extraDefaults_) {
            if (value)
                ins.bind(slot, *value);
            else
                ins.bindNull(slot);
        }
    }
    ins.step();
    ins.reset();
    if (asStored && result.normalized) return true;
    // Normalized as stored: a failure empties the results and names its cause.
    const qint64 id = toDb_->lastInsertId();
    const bool normalized = calc.calculateById(id);
    if (normalized && from_.threeBank() && restoreRaw_) {
        // The calculation wrote its own system and bank values over the reading's.
        SqliteStatement& u = *restoreRaw_;
        for (size_t k = 0; k < restoreSlots_.size(); ++k)
            u.bindColumn(int(k), reading, readingPos_[size_t(restoreSlots_[k])]);
        u.bind(int(restoreSlots_.size()), id);
        u.step();
        u.reset();
    }
    return normalized;
}

void Migration::prepareInsert() {
    // The raw columns of a reading, then those the calculation writes that are not among
    // them: a reading normalized before it is written is written once.
    QStringList targets;
    for (const ReadingColumn& col : ReadingColumns)
        targets << QString::fromLatin1(col.target);
    const auto rawSlotOf = [&](const char* name) {
        for (int i = 0; i < ReadingColumnCount; ++i)
            if (targets[i].compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return i;
        return -1;
    };
    std::map<QString, std::optional<double>> defaults; // by lower-case name; absent: no such column
    bool plainDefaults = true;
    {
        SqliteStatement info(*toDb_,
                             QStringLiteral("SELECT name, dflt_value FROM pragma_table_info('Data')"));
        while (info.step()) {
            const QVariant d = info.value(1);
            std::optional<double> value;
            if (!conv::isNull(d)) {
                bool ok = false;
                value = d.toString().toDouble(&ok);
                if (!ok) plainDefaults = false;
            }
            defaults[info.value(0).toString().toLower()] = value;
        }
    }
    DataRecordCalculator calc(p_, *toDb_);
    pendingPossible_ =
        normalizeBeforeWriting && plainDefaults && calc.canCalculatePending() && p_.IgnoreCalcErrors;
    extraDefaults_.clear();
    if (pendingPossible_) {
        const auto addExtra = [&](const char* name) {
            const int slot = int(targets.size());
            targets << QString::fromLatin1(name);
            extraDefaults_.emplace_back(slot, defaults[QString::fromLatin1(name).toLower()]);
            return slot;
        };
        for (int k = 0; k < StoredColumnCount; ++k) {
            const int slot = rawSlotOf(StoredColumns[size_t(k)].name);
            storedSlot_[size_t(k)] = slot >= 0 ? slot : addExtra(StoredColumns[size_t(k)].name);
        }
        for (int j = 0; j < 4; ++j)
            specFluxSlot_[size_t(j)] =
                calc.specFluxColumns()[size_t(j)] ? addExtra(SpecFluxColumns[size_t(j)].name) : -1;
        for (int k = 0; k < ReadColumnCount; ++k) {
            const char* name = ReadColumns[size_t(k)].name;
            const int slot = rawSlotOf(name);
            readSource_[size_t(k)] = slot;
            if (slot >= 0) continue;
            const auto d = defaults.find(QString::fromLatin1(name).toLower());
            if (d == defaults.end())
                readDefault_[size_t(k)] = {PendingReading::Absent, 0.0};
            else if (!d->second)
                readDefault_[size_t(k)] = {PendingReading::Null, 0.0};
            else
                readDefault_[size_t(k)] = {PendingReading::Number, *d->second};
        }
        numberSlot_.fill(false);
        for (int k = 0; k < ReadColumnCount; ++k)
            if (readSource_[size_t(k)] >= 0 && ReadColumns[size_t(k)].kind != ReadKind::NullableText)
                numberSlot_[size_t(readSource_[size_t(k)])] = true;
    }
    insertReading_ =
        std::make_unique<SqliteStatement>(*toDb_, "INSERT INTO Data (" + targets.join(", ") + ") VALUES (" +
                                                      placeholders(int(targets.size())) + ")");
    // The raw columns the calculation also writes, put back after a normalization of the
    // stored row.
    restoreSlots_.clear();
    restoreRaw_.reset();
    QStringList sets;
    for (int k = 0; k < StoredColumnCount; ++k) {
        const int slot = rawSlotOf(StoredColumns[size_t(k)].name);
        if (slot < 0 || readingPos_[size_t(slot)] < 0) continue;
        restoreSlots_.push_back(slot);
        sets << targets[slot] + " = ?";
    }
    if (!sets.isEmpty())
        restoreRaw_ =
            std::make_unique<SqliteStatement>(*toDb_, "UPDATE Data SET " + sets.join(", ") + " WHERE ID = ?");
}

void Migration::copyReadings(const QVariant& projectKey, const QVariant& train, const MigrationResult& r,
                             qint32& copied, qint32& normalized, qint32& sameDate, qint32& unreadable,
                             QStringList& unreadableNamed) {
    const ProjectInfoRecord& c = project_;
    QStringList select;
    for (int i = 0; i < ReadingColumnCount; ++i) {
        const int pos = readingPos_[size_t(i)];
        select << (pos < 0 ? QStringLiteral("NULL") : fromDataColumns_[pos]);
    }
    // The train's readings newest first: their IDs from the project index, then the rows
    // by ID a chunk at a time, rather than sorting whole rows.
    std::vector<qint64> ids;
    {
        // One reading per train and date, to the second: of readings at one date the first
        // stored is copied, and a date the TO train already holds is not copied again.
        // A date the rule cannot read is named and its reading left in FROM: whether it is
        // the date of another reading cannot be told.
        const QString trainName = c.ProjectID + " train " + QString::number(c.TrainNumber);
        std::unordered_set<qint64> dates;
        if (!trainReplaced_) {
            SqliteStatement held(
                *toDb_, QStringLiteral("SELECT TheDate FROM Data WHERE ProjectID = ? AND TrainNumber = ? "
                                       "AND TheDate IS NOT NULL"));
            bindAll(held, {projectKey, train});
            while (held.step()) {
                const std::optional<qint64> key = storedDateKey(held, 0);
                if (!key)
                    throw DbError(dberr::TypeMismatch,
                                  Refusal::notADate("A reading the TO database holds for " + trainName,
                                                    held.value(0).toString())
                                          .text +
                                      " Mend that date before the train is migrated.");
                dates.insert(*key);
            }
        }
        constexpr qint64 NoDate = -1, Unreadable = -2;
        std::vector<std::pair<qint64, qint64>> rows;
        std::unordered_map<qint64, QString> unreadableTexts; // by ID
        SqliteStatement q(
            *fromDb_, QStringLiteral("SELECT ID, TheDate FROM Data WHERE ProjectID = ? AND TrainNumber = ?"));
        bindAll(q, {projectKey, train});
        while (q.step()) {
            const qint64 id = q.int64(0);
            if (q.isNull(1)) {
                rows.emplace_back(id, NoDate);
            } else if (const std::optional<qint64> key = storedDateKey(q, 1)) {
                rows.emplace_back(id, *key);
            } else {
                rows.emplace_back(id, Unreadable);
                unreadableTexts.emplace(id, q.value(1).toString());
            }
        }
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        dates.reserve(dates.size() + rows.size());
        ids.reserve(rows.size());
        for (const auto& [id, date] : rows) {
            if (date == Unreadable) {
                if (unreadable++ < MigrationResult::NamedUnreadable)
                    unreadableNamed
                        << Refusal::notADate("A reading of " + trainName, unreadableTexts[id]).text;
            } else if (date == NoDate || dates.insert(date).second) {
                ids.push_back(id);
            } else {
                ++sameDate;
            }
        }
    }
    std::sort(ids.begin(), ids.end(), std::greater<>());
    const qint32 projectCount = qint32(ids.size());
    constexpr int Chunk = 256;
    QString marks = QStringLiteral("?");
    for (int k = 1; k < Chunk; ++k)
        marks += QStringLiteral(",?");
    SqliteStatement readings(*fromDb_, "SELECT " + select.join(',') + " FROM Data WHERE ID IN (" + marks +
                                           ") ORDER BY ID DESC");
    size_t nextChunk = 0;
    bool chunkOpen = false;
    const auto nextReading = [&] {
        for (;;) {
            if (!chunkOpen) {
                if (nextChunk >= ids.size()) return false;
                const size_t end = std::min(ids.size(), nextChunk + Chunk);
                for (size_t k = 0; k < size_t(Chunk); ++k)
                    readings.bind(int(k), ids[std::min(nextChunk + k, end - 1)]);
                nextChunk = end;
                chunkOpen = true;
            }
            if (readings.step()) return true;
            readings.reset();
            chunkOpen = false;
        }
    };
    // The readings' own positions are the select's positions from here on.
    std::vector<int> saved = readingPos_;
    for (int i = 0; i < ReadingColumnCount; ++i)
        readingPos_[size_t(i)] = saved[size_t(i)] < 0 ? -1 : i;
    struct Restore {
        std::vector<int>& pos;
        std::vector<int>& saved;
        ~Restore() { pos = saved; }
    } restore{readingPos_, saved};

    insertReading_->bind(ProjectIdSlot, QVariant(c.ProjectID));
    insertReading_->bind(TrainSlot, qint64(c.TrainNumber));
    for (int i = 0; i < ReadingColumnCount; ++i)
        if (ReadingColumns[i].kind == ReadingColumn::Bank3 && !from_.threeBank())
            insertReading_->bind(i, 0.0);

    DataRecordCalculator calc(p_, *toDb_);
    calc.useReference(project_);
    const auto showProgress = [&](qint32 normalized) {
        progress_.setStatus(3, " Calc'd " + QString::number(normalized) + " records of " +
                                   QString::number(projectCount) + " in " + c.ProjectID + ", Trn " +
                                   QString::number(c.TrainNumber) + " ");
        progress_.setStatus(4, " Calc'd " + QString::number(r.normalized + normalized) + " records of " +
                                   QString::number(from_.readings) + " ");
        progress_.setProgress(
            from_.readings > 0 ? std::min(100.0, (r.copied + copied) * 100.0 / from_.readings) : 100.0);
    };
    copied = 0;
    normalized = 0;
    bool more = nextReading();
    BatchClock batch(batches);
    while (more) {
        // The other windows get a turn, and the user the chance to stop, after each batch; the
        // train's transaction stays open until its last reading is in.
        do {
            if (COPY2BANKto3BANK(readings, calc)) ++normalized;
            ++copied;
            more = nextReading();
        } while (more && !batch.tick());
        if (firstFailure_.isEmpty() && calc.failures > 0) firstFailure_ = calc.lastFailureFirst;
        showProgress(normalized);
        if (progress_.yieldAndCheckCancel())
            throw DbError(0, QStringLiteral("The migration was stopped by the user."));
    }
}

MigrationResult Migration::run() {
    // Each project train is normalized against its own record, passed to the calculation;
    // the program moves to the TO database only once the run has completed.
    MigrationResult r;
    firstFailure_.clear();
    const QString previousDb = p_.ProjectDatabasePath;
    const bool savedIgnore = p_.IgnoreCalcErrors;

    if (SameDatabaseFile(from_.path, to_.path)) {
        // Replacing a project train of the file being read would delete the readings to copy.
        r.failure = SameDatabasesText;
        p_.prompts.message(SameDatabasesText, Buttons::OK, Icon::None, Title);
        return r;
    }
    progress_.setStatus(1, "Migrating " + QString::number(from_.projects) + " projects with " +
                               QString::number(from_.readings) + " total data sets.");
    p_.IgnoreCalcErrors = true;
    qint16 fromProjectRows = 0;
    QString current;
    try {
        fromDb_ = std::make_unique<SqliteConnection>(from_.path, batches.busyTimeoutMs);
        // Each project train's readings are read by the index, and trains that logged
        // together share pages: mapped, such a page is read from the file once.
        fromDb_->exec(QStringLiteral("PRAGMA mmap_size = 2147418112"));
        // TO keeps SQLite's own page cache: each reading is normalized as it is written, so a
        // large cache buys nothing, and one of 128 MB made the run slower.
        toDb_ = std::make_unique<SqliteConnection>(to_.path, batches.busyTimeoutMs);

        fromDataColumns_ = fromDb_->columns(QStringLiteral("Data"));
        readingPos_.assign(ReadingColumnCount, -1);
        for (int i = 0; i < ReadingColumnCount; ++i) {
            const ReadingColumn& col = ReadingColumns[i];
            if (i == ProjectIdSlot || i == TrainSlot) continue;
            if (col.kind == ReadingColumn::Bank3 && !from_.threeBank()) continue;
            const char* source =
                i == PermBackPress1Slot && from_.threeBank() ? "PermBackPress_1" : col.source;
            for (int k = 0; k < fromDataColumns_.size(); ++k)
                if (fromDataColumns_[k].compare(QLatin1String(source), Qt::CaseInsensitive) == 0)
                    readingPos_[size_t(i)] = k;
            if (readingPos_[size_t(i)] < 0)
                throw DbError(dberr::ColumnNotFound,
                              QStringLiteral("Item cannot be found in the collection corresponding to the "
                                             "requested name or ordinal: Data.") +
                                  QLatin1String(source));
        }
        prepareInsert();

        std::vector<std::pair<DbRow, QVariant>> projects;
        {
            SqliteStatement st(*fromDb_, projectSelect());
            int idCol = -1;
            while (st.step()) {
                if (idCol < 0)
                    for (int k = 0; k < st.columnCount(); ++k)
                        if (st.columnName(k).compare(QLatin1String("ProjectID"), Qt::CaseInsensitive) == 0)
                            idCol = k;
                projects.emplace_back(st.row(), st.value(idCol));
            }
        }
        fromProjectRows = qint16(projects.size());
        if (!projects.empty()) p_.RecalcAllRunning = true;
        for (const auto& [row, projectKey] : projects) {
            const QVariant train = row.value(QStringLiteral("TrainNumber"));
            current = row.value(QStringLiteral("ProjectID")).toString() + " Train # " + train.toString();
            // A row the project record cannot be read from is refused with the column named: the
            // train stays in FROM and what TO holds of it stays.
            if (const QString why = projectRefusal(row); !why.isEmpty()) {
                r.refused << why;
                r.refusedReadings +=
                    qint32(rowsOf(*fromDb_,
                                  QStringLiteral(
                                      "SELECT COUNT(*) FROM Data WHERE ProjectID IS ? AND TrainNumber IS ?"),
                                  {projectKey, train})
                               .front()
                               .value(0)
                               .toLongLong());
                progress_.setStatus(4, "Refused " + current + "  ");
                continue;
            }
            if (!Migrate2BankProject(row, projectKey)) {
                progress_.setStatus(4, "Bypassed " + current + "  ");
                ++r.bypassed;
                continue;
            }
            progress_.setStatus(2, "Proj #: " + QString::number(r.accepted + 1) + ": " + current + "  ");
            qint32 copied = 0, normalized = 0, sameDate = 0, unreadable = 0;
            QStringList unreadableNamed;
            copyReadings(projectKey, train, r, copied, normalized, sameDate, unreadable, unreadableNamed);
            train_->commit();
            train_.reset();
            // Only what the commit stored is counted.
            ++r.accepted;
            r.copied += copied;
            r.normalized += normalized;
            r.failed += copied - normalized;
            r.sameDate += sameDate;
            r.unreadable += unreadable;
            for (const QString& n : unreadableNamed)
                if (r.unreadableDates.size() < MigrationResult::NamedUnreadable) r.unreadableDates << n;
            if (r.failed > 0 && r.firstFailure.isEmpty()) r.firstFailure = firstFailure_;
            r.copiedWhole << current;
            progress_.setStatus(4, " Calc'd " + QString::number(r.normalized) + " records of " +
                                       QString::number(from_.readings) + " ");
        }
        current.clear();
        countOrphans(r);
    } catch (const DbError& e) {
        // The train under way goes back to what TO held before it.
        train_.reset();
        insertReading_.reset();
        fromDb_.reset();
        toDb_.reset();
        p_.IgnoreCalcErrors = savedIgnore;
        p_.RecalcAllRunning = false;
        r.failure =
            e.number() ? "Error " + QString::number(e.number()) + ": " + e.description() : e.description();
        const QString where = current.isEmpty() ? QString() : " while migrating " + current;
        progress_.setStatus(1, "Migration stopped" + where + ".");
        r.stoppedAt = current;
        p_.prompts.message(MigrationStopText(r, to_.path) + " The program stays on " +
                               (previousDb.isEmpty() ? QStringLiteral("no database") : previousDb) + ".",
                           Buttons::OK, Icon::Critical, Title);
        return r;
    }
    insertReading_.reset();
    fromDb_.reset();
    toDb_.reset();
    p_.ProjectDatabasePath = to_.path;
    finish(r, fromProjectRows);
    return r;
}

void Migration::countOrphans(MigrationResult& r) {
    SqliteStatement q(*fromDb_,
                      QStringLiteral("SELECT ProjectID, TrainNumber, count(*) FROM Data d WHERE NOT EXISTS "
                                     "(SELECT 1 FROM ProjectInfo p WHERE p.ProjectID = d.ProjectID AND "
                                     "p.TrainNumber = d.TrainNumber) GROUP BY ProjectID, TrainNumber"));
    while (q.step()) {
        const qint32 n = qint32(q.int64(2));
        r.orphaned += n;
        r.orphanTrains << (q.isNull(0) ? QStringLiteral("no project ID") : q.value(0).toString()) +
                              " train " + (q.isNull(1) ? QStringLiteral("none") : q.value(1).toString()) +
                              ": " + QString::number(n);
    }
}

void Migration::finish(MigrationResult& r, qint16 fromProjectRows) {
    // The readings left out or left behind were not bypassed with a project.
    const qint32 bypassedReadings =
        from_.readings - r.copied - r.sameDate - r.unreadable - r.orphaned - r.refusedReadings;
    p_.RecalcAllRunning = false;
    progress_.setStatus(1, "Updated " + QString::number(r.accepted) +
                               (r.accepted == 1 ? " project" : " projects") + " with total " +
                               QString::number(r.copied) + " records. ");
    progress_.setStatus(2, " and Bypassed " + QString::number(r.bypassed) +
                               (r.bypassed == 1 ? " project" : " projects") + " with " +
                               QString::number(bypassedReadings) + " records.");
    progress_.setStatus(3, "Out of total " + QString::number(fromProjectRows) + " projects with " +
                               QString::number(from_.readings) + " total records.");
    progress_.setStatus(
        4, " Calculated " + QString::number(r.normalized) + " records of " + QString::number(from_.readings) +
               " " + (r.failed > 0 ? QString::number(r.failed) + " could not be calculated. " : QString()));
    p_.DbIsOlder = false;
    r.completed = true;

    p_.DbValid = UpgradeOpenDatabase(p_);
    p_.mainLabels.setDatabase("Database: " + p_.ProjectDatabasePath);
    p_.mainLabels.setDBVersion("DB Version: " + QString::number(p_.DbVersionMajor) + "." +
                               QString::number(p_.DbVersionMinor) + "." +
                               QString::number(p_.DbVersionRevision));

    const QString id = p_.CurrentProject.ProjectID;
    const qint16 train = p_.CurrentProject.TrainNumber;
    try {
        Database db = Database::open(p_.ProjectDatabasePath);
        const DbRows rows = db.select(
            QStringLiteral("SELECT * FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ?"), {id, train});
        if (rows.isEmpty()) {
            p_.CurrentProjectLoaded = false;
            p_.status.setText(1, "NOT FOUND: " + id + " Train: " + QString::number(train));
        } else {
            LoadProjectSettings(p_, rows.first());
            p_.CurrentProjectLoaded = true;
            p_.status.setText(1, "Current Project: " + id + " Train: " + QString::number(train));
        }
    } catch (const DbError& e) {
        p_.CurrentProjectLoaded = false;
        p_.status.setText(1, "NOT FOUND: " + id + " Train: " + QString::number(train));
        p_.prompts.message("Error " + QString::number(e.number()) + ": " + e.description(), Buttons::OK,
                           Icon::Critical, Title);
    }
}

} // namespace hv
