#include "core/dbversion.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "core/datatables.h"
#include "core/program.h"
#include "platform/database.h"
#include "platform/filelimits.h"

namespace hv {

namespace {

struct GraphSensorRow {
    const char* description;
    const char* column;
    int order;
};

// The graphable columns a database of revision 20 and above offers, in their order.
constexpr GraphSensorRow DefaultGraphSensors[] = {
    {"System Normalized Flux", "NormalizedFlux", 60},
    {"System Actual Flux", "ActualFlux", 61},
    {"System Normalized DP", "NormalizedDP", 3},
    {"System Normalized Permeate Flow", "NormalizedPermFlow", 1},
    {"System Permeate Flow", "PermFlow", 70},
    {"System Normalized Salt Passage", "NormalizedSaltPassage", 2},
    {"Net Average TMP", "NetTMP", 120},
    {"System Feed Flow", "FeedFlow", 11},
    {"System Concentrate Flow", "ConcFlow", 13},
    {"System Rejection", "ActualRejection", 14},
    {"System DP", "SystemDP", 15},
    {"Bank 1 Normalized Perm Flow", "NormalizedPermFlow_1", 20},
    {"Bank 2 Normalized Perm Flow", "NormalizedPermFlow_2", 30},
    {"System Temperature", "Temperature", 10},
    {"Bank 1 Permeate Flow", "PermFlow_1", 71},
    {"Bank 2 Permeate Flow", "PermFlow_2", 72},
    {"Turbidity Raw Water", "TurbidityRaw", 100},
    {"Turbidity Feed", "TurbidityFeed", 101},
    {"Bank 1 Normalized DP", "NormalizedDP_1", 22},
    {"Bank 2 Normalized DP", "NormalizedDP_2", 32},
    {"System Feed Pressure", "FeedPressure", 16},
    {"System Concentrate Pressure", "ConcPressure", 17},
    {"Bank 1 DP", "B1DP", 81},
    {"Bank 2 DP", "B2DP", 82},
    {"System Recovery", "SystemRecovery", 50},
    {"Bank 1 Flux", "ActualFlux_1", 62},
    {"Bank 2 Flux", "ActualFlux_2", 63},
    {"Bank 1 Recovery", "B1Recovery", 51},
    {"Bank 2 Recovery", "B2Recovery", 52},
    {"Bank 1 Normalized Salt Passage", "NormalizedSaltPassage_1", 21},
    {"Bank 2 Normalized Salt Passage", "NormalizedSaltPassage_2", 31},
    {"System Permeate uS", "PermuS", 5},
    {"Bank 1 Permeate uS", "PermuS_1", 23},
    {"Bank 2 Permeate uS", "PermuS_2", 33},
    {"System Feed uS", "FeeduS", 12},
    {"pH", "pH", 99},
    {"Bank 3 Normalized Perm Flow", "NormalizedPermFlow_3", 40},
    {"Bank 3 Normalized Salt Passage", "NormalizedSaltPassage_3", 41},
    {"Bank 3 Normalized DP", "NormalizedDP_3", 42},
    {"Bank 3 DP", "B3DP", 83},
    {"Bank 3 Flux", "ActualFlux_3", 64},
    {"Bank 3 Permeate Flow", "PermFlow_3", 73},
    {"Bank 3 Permeate uS", "PermuS_3", 43},
    {"SDI Raw Water", "SDIRaw", 102},
    {"SDI Feed", "SDIFeed", 103},
    {"ORP Feed", "ORP", 104},
    {"Bank 3 Recovery", "B3Recovery", 53},
    {"System Specific Flux", "SpecFlux", 66},
    {"Bank 1 Specific Flux", "SpecFlux_1", 67},
    {"Bank 2 Specific Flux", "SpecFlux_2", 68},
    {"Bank 3 Specific Flux", "SpecFlux_3", 69},
};
constexpr int DefaultGraphSensorCount = int(std::size(DefaultGraphSensors));
constexpr int FirstSpecFluxRow = DefaultGraphSensorCount - 4;

std::optional<qint16> wholeNumber(const QString& text) {
    bool ok = false;
    const double x = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok) return std::nullopt;
    try {
        return conv::roundToInt16(x);
    } catch (const DbError&) {
        return std::nullopt;
    }
}

QString lastVersionText(Database& db) {
    const DbRows rows = db.select("SELECT * FROM Version ORDER BY ID ASC");
    if (rows.isEmpty()) return QStringLiteral("0.0.0");
    return rows.last().toText("Version");
}

// The tables the program reads and writes; where one is there, it must be a table.
const char* const ProgramTables[] = {"Version", "ProjectInfo", "Data",  "GraphSensors", "UserGraphs",
                                     "Events",  "InputOrder",  "Scada", "ScadaImport",  "UserDefined"};

// The columns of Data the program reads in a database of the program's major and minor
// version: those its layout brought (the upgrade adds a revision's). A database that needs
// the migration, which only the migration reads, needs its keys and date alone.
QStringList requiredDataColumns(bool older) {
    using schema::Kind;
    const DbVersion layout{ProgramVersionMajor, ProgramVersionMinor, 0};
    return schema::Names(schema::Data, [&](const schema::Column& c) {
        if (c.kind == Kind::Key || c.kind == Kind::Date) return true;
        return !older && schema::Has(c, layout);
    });
}

// What makes a database whose version reads unusable to this program, as a sentence; empty
// when nothing does. Reads the schema and one query of ProjectInfo, nothing of the readings.
QString layoutFault(Database& db, const DbVersion& v) {
    if (IsNewerThanProgram(v.major, v.minor, v.revision))
        return "It was written by a newer version of Hevrin (database version " + v.text() +
               ", this program " + ProgramVersionText +
               "), whose columns and rules this program may not know";
    for (const char* table : ProgramTables) {
        const QString type = db.scalar("SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE AND "
                                       "type IN ('table', 'view')",
                                       {QLatin1String(table)})
                                 .toString();
        if (type == QLatin1String("view"))
            return QStringLiteral(
                       "It is not a project database: its table %1 is a view, which cannot store rows")
                .arg(QLatin1String(table));
    }
    const QStringList want = requiredDataColumns(IsOlderThanProgram(v.major, v.minor));
    QStringList missing;
    const QStringList have = db.columns(QStringLiteral("Data"));
    for (const QString& c : want)
        if (!have.contains(c, Qt::CaseInsensitive)) missing << c;
    if (!missing.isEmpty())
        return QStringLiteral("It is not a project database: its table Data has no column %1")
            .arg(missing.join(QStringLiteral(", ")));
    const DbRows banks = db.select("SELECT ProjectID, TrainNumber, NumBanks FROM ProjectInfo "
                                   "WHERE NumBanks NOT IN (1, 2, 3) ORDER BY ID LIMIT 1");
    if (!banks.isEmpty()) {
        const DbRow& r = banks.first();
        return "Its project \"" + r.value(0).toString() + "\" train " + r.value(1).toString() +
               " has NumBanks " + r.value(2).toString() + ": a train has 1, 2 or 3 banks";
    }
    return {};
}

void insertGraphSensor(Database& db, const GraphSensorRow& r) {
    db.exec("INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, \"Order\") "
            "VALUES ('ALL', 1, 1, ?, ?, ?)",
            {QString::fromLatin1(r.description), QString::fromLatin1(r.column), r.order});
}

// The specific-flux columns, the version row and the graph rows, all or nothing.
void upgradeTo1320(Program& p, Database& db) {
    Transaction tx(db);
    for (const schema::Column& c : schema::Data.columns) {
        if (!schema::BroughtBy(c, schema::SpecificFlux)) continue;
        try {
            db.exec(QStringLiteral("ALTER TABLE Data ADD COLUMN %1 %2 DEFAULT 0")
                        .arg(QLatin1String(c.name), QLatin1String(schema::TypeName(c.type))));
        } catch (const DbError& e) {
            // A column left by an earlier, interrupted upgrade is fine.
            if (e.number() != dberr::DuplicateColumn) throw;
        }
    }
    const QString note = QStringLiteral("Added Specific Flux Fields from Sub Main  on ") +
                         QLocale().toString(p.system.now().date(), QStringLiteral("dd MMM yyyy"));
    db.exec("INSERT INTO Version (Version, Notes) VALUES ('1.3.20', ?)", {note});

    if (db.select("SELECT * FROM GraphSensors WHERE (Description = 'System Normalized Permeate Flow')")
            .isEmpty()) {
        db.exec("DELETE FROM GraphSensors");
        for (const GraphSensorRow& r : DefaultGraphSensors)
            insertGraphSensor(db, r);
    }
    if (db.select("SELECT * FROM GraphSensors WHERE (ColumnHeader = 'SpecFlux')").isEmpty()) {
        for (int i = FirstSpecFluxRow; i < DefaultGraphSensorCount; ++i)
            insertGraphSensor(db, DefaultGraphSensors[i]);
    }
    tx.commit();
}

} // namespace

std::optional<DbVersion> ParseVersionText(const QString& text) {
    const qsizetype first = text.indexOf('.');
    if (first < 0) return std::nullopt;
    const auto major = wholeNumber(text.left(first));
    const QString rest = text.mid(first + 1);
    const qsizetype second = rest.indexOf('.');
    if (!major || second < 0) return std::nullopt;
    const auto minor = wholeNumber(rest.left(second));
    const auto revision = wholeNumber(rest.mid(second + 1));
    if (!minor || !revision) return std::nullopt;
    return DbVersion{*major, *minor, *revision};
}

bool IsOlderThanProgram(qint16 major, qint16 minor) {
    if (major != ProgramVersionMajor) return major < ProgramVersionMajor;
    return minor < ProgramVersionMinor;
}

bool IsNewerThanProgram(qint16 major, qint16 minor, qint16 revision) {
    if (major != ProgramVersionMajor) return major > ProgramVersionMajor;
    if (minor != ProgramVersionMinor) return minor > ProgramVersionMinor;
    return revision > ProgramVersionRevision;
}

qint32 VersionNumber(qint16 major, qint16 minor) {
    return qint32(major) * 1000000 + qint32(minor) * 1000;
}

void SetDbVersion(Program& p, qint16 major, qint16 minor, qint16 revision) {
    p.DbVersionMajor = major;
    p.DbVersionMinor = minor;
    p.DbVersionRevision = revision;
    p.DbVersionNumber = VersionNumber(major, minor);
}

DbVersion ReadDbVersionOf(const QString& path) {
    Database db = Database::open(path);
    if (db.select("SELECT ID FROM Version LIMIT 1").isEmpty())
        throw DbError(dberr::NoCurrentRecord, "the Version table of " + path + " holds no version");
    const QString text = lastVersionText(db);
    const auto v = ParseVersionText(text);
    if (!v)
        throw DbError(dberr::TypeMismatch,
                      "the version \"" + text + "\" in the Version table of " + path + " cannot be read");
    return *v;
}

bool ReadDbVersion(Program& p) {
    try {
        Database db = Database::open(p.ProjectDatabasePath);
        const auto v = ParseVersionText(lastVersionText(db));
        if (!v) throw DbError(dberr::TypeMismatch, "Type mismatch");
        SetDbVersion(p, v->major, v->minor, v->revision);
        return IsOlderThanProgram(v->major, v->minor);
    } catch (const DbError&) {
        SetDbVersion(p, 0, 0, 0);
        return false;
    }
}

void WriteDbVersion(Program& p) {
    {
        Database db = Database::open(p.ProjectDatabasePath);
        db.exec("INSERT INTO Version (Version, Notes) VALUES (?, ?)",
                {ProgramVersionText, QLocale().toString(p.system.now().date(), QLocale::ShortFormat)});
    }
    p.DbIsOlder = ReadDbVersion(p);
}

bool ProjectTrainExists(Program& p, const QString& projectId, qint16 trainNumber) {
    try {
        Database db = Database::open(p.ProjectDatabasePath);
        return !db.select("SELECT ID FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?) LIMIT 1",
                          {projectId, trainNumber})
                    .isEmpty();
    } catch (const DbError&) {
        return false;
    }
}

namespace {

// Whether SQLite's words say another program holds a lock on the file.
bool SaysLocked(const DbError& e) {
    const QString d = e.description().toLower();
    return d.contains(QLatin1String("locked")) || d.contains(QLatin1String("busy"));
}

} // namespace

bool UpgradeDatabase(Program& p, const QString& path, qint16& major, qint16& minor, qint16& revision,
                     qint16& projects, qint32& readings) {
    // Another program's lock held past the wait stops the read before the version is known:
    // the read is tried once more, so that a lock taken for a moment of a longer change is
    // waited out, not taken for a database that cannot be used.
    for (int attempt = 1;; ++attempt) {
        bool versionRead = false;
        try {
            Database db = Database::open(path);
            const QString text = lastVersionText(db);
            const qint64 projectRows = db.scalar("SELECT count(*) FROM ProjectInfo").toLongLong();
            const qint64 dataRows = db.scalar("SELECT count(*) FROM Data").toLongLong();
            if (projectRows > 32767 || dataRows > 2147483647) throw DbError(dberr::Overflow, "Overflow");
            const auto v = ParseVersionText(text);
            if (!v) throw DbError(dberr::TypeMismatch, "Type mismatch");
            // Named by UnusableDatabaseCause for the person choosing another.
            if (const QString fault = layoutFault(db, *v); !fault.isEmpty())
                throw DbError(dberr::SqlFailed, fault);
            projects = qint16(projectRows);
            readings = qint32(dataRows);
            major = v->major;
            minor = v->minor;
            revision = v->revision;
            versionRead = true;

            if (p.SuppressDbUpgrade) return true;
            if (minor == 3 && revision < 20) {
                upgradeTo1320(p, db);
                major = 1;
                minor = 3;
                revision = 20;
                db.close();
                p.prompts.message(
                    "Updated your database with new fields for Specific Flux Calculations.  You may "
                    "need to recalculate your projects.",
                    Buttons::OK, Icon::None, Title);
            }
            return true;
        } catch (const DbError& e) {
            if (!versionRead && attempt == 1 && SaysLocked(e)) continue;
            major = -1;
            minor = -1;
            revision = 0;
            // A current database must not pass as one that needs migration: the upgrade's
            // failure is reported and the database counts as unreadable.
            if (versionRead)
                p.prompts.message(QStringLiteral("Could not add the Specific Flux fields to the database ") +
                                      path + ".\r\n\r\nError " + QString::number(e.number()) + " " +
                                      e.description(),
                                  Buttons::OK, Icon::Critical, Title);
            return false;
        }
    }
}

namespace {

// The cause in SQLite's own words: its messages are stable texts.
QString causeOf(const DbError& e, const QString& path) {
    const QString d = e.description().toLower();
    if (SaysLocked(e)) return QStringLiteral("It is locked by another program");
    // An unfinished change's journal is played back at the first read, which writes the file
    // and removes the journal: a folder that refuses it is the cause, not the file.
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo::exists(path + "-journal"))
        if (const QString refusal = FolderWriteRefusal(folder); !refusal.isEmpty())
            return "The journal of a change left unfinished stands beside it, and its folder " + folder +
                   " is read-only (" + refusal + "): the change cannot be undone there";
    if (d.contains("readonly") || d.contains("read-only") || d.contains("read only"))
        return QStringLiteral("It is read-only");
    // The file has SQLite's header by now: a format SQLite does not know past it is damage.
    if (SaysDamaged(e)) return QStringLiteral("It is damaged");
    if (d.contains("no such table")) return "It is not a project database: " + e.description();
    return "It cannot be opened: " + e.description();
}

} // namespace

QString DatabaseFault(const QString& path) {
    if (path.isEmpty()) return QStringLiteral("No project database is set");
    const QFileInfo info(path);
    if (!info.exists()) {
        // A link that leads nowhere, or to itself, is not a missing file.
        if (info.isSymLink()) return "It cannot be opened: " + FileStatusRefusal(path);
        return QStringLiteral("It was not found");
    }
    if (info.isDir()) return QStringLiteral("It is a folder, not a project database");
    if (info.size() == 0) return QStringLiteral("It is empty, not a project database");
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return "It cannot be read: " + f.errorString();
        if (f.read(16) != QByteArray("SQLite format 3\0", 16))
            return QStringLiteral("It is not a project database");
    }
    try {
        Database db = Database::open(path);
        for (const char* table : {"Version", "ProjectInfo", "Data"})
            if (!db.hasTable(QLatin1String(table)))
                return QStringLiteral("It is not a project database: it has no table %1")
                    .arg(QLatin1String(table));
        const QString version = lastVersionText(db);
        const auto v = ParseVersionText(version);
        if (!v) return "It is not a project database: its version \"" + version + "\" cannot be read";
        if (const QString fault = layoutFault(db, *v); !fault.isEmpty()) return fault;
        // A file cut short or overwritten in part reads until a lost page is met.
        const DbRows check = db.select("PRAGMA quick_check");
        if (check.isEmpty() || check.first().value(0).toString() != QLatin1String("ok"))
            return QStringLiteral("It is damaged");
    } catch (const DbError& e) {
        return causeOf(e, path);
    }
    return {};
}

QString UnusableDatabaseCause(const QString& path) {
    if (QString fault = DatabaseFault(path); !fault.isEmpty()) return fault;
    if (!QFileInfo(path).isWritable()) return QStringLiteral("It is read-only");
    return {};
}

QString DatabaseWriteRefusal(const QString& path) {
    if (const QString cause = FileWriteRefusal(path); !cause.isEmpty())
        return "the file is read-only (" + cause + ")";
    // SQLite writes its journal of every change beside the file.
    const QString folder = QFileInfo(path).absolutePath();
    if (const QString cause = FolderWriteRefusal(folder); !cause.isEmpty())
        return "its folder " + folder + " is read-only (" + cause +
               "), and every change needs a journal file there";
    return {};
}

QString UnwritableDatabaseText(const QString& path) {
    // A missing file is named by the open.
    if (!QFileInfo::exists(path)) return {};
    const QString refusal = DatabaseWriteRefusal(path);
    if (refusal.isEmpty()) return {};
    return "The project database\r\n" + path + "\r\ncannot be written: " + refusal + ".";
}

bool UpgradeOpenDatabase(Program& p) {
    qint16 major = 0, minor = 0, revision = 0;
    const bool valid =
        UpgradeDatabase(p, p.ProjectDatabasePath, major, minor, revision, p.ProjectCount, p.DataRecordCount);
    SetDbVersion(p, major, minor, revision);
    return valid;
}

QString DbVersionCaption(bool valid, qint16 major, qint16 minor, qint16 revision) {
    if (!valid) return QStringLiteral("DB Version: NOT VALID");
    return QStringLiteral("DB Version: %1.%2.%3").arg(major).arg(minor).arg(revision);
}

} // namespace hv
