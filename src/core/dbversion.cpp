#include "core/dbversion.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <vector>

#include "core/datatables.h"
#include "core/program.h"
#include "platform/database.h"
#include "platform/filelimits.h"

namespace hv {

namespace {

struct GraphSensorRow {
    QString description;
    QString column;
    int order = 0;
};

// The blank database's script, as the build found it.
constexpr char SchemaScript[] =
#include "core/schemascript.inc"
    ;

// The graphable columns a database of revision 20 and above offers, in their order: the
// rows the blank database's script inserts.
const std::vector<GraphSensorRow>& DefaultGraphSensors() {
    static const std::vector<GraphSensorRow> rows = [] {
        static const QRegularExpression row(QStringLiteral(
            R"(^INSERT INTO GraphSensors \(ProjectID, TrainNumber, Bank, Description, ColumnHeader, \[Order\]\) )"
            R"(VALUES \('ALL', 1, 1, '([^']*)', '([^']*)', (\d+)\);$)"));
        std::vector<GraphSensorRow> out;
        for (const QString& line : QString::fromUtf8(SchemaScript).split('\n')) {
            const QRegularExpressionMatch m = row.match(line.trimmed());
            if (m.hasMatch()) out.push_back({m.captured(1), m.captured(2), m.captured(3).toInt()});
        }
        return out;
    }();
    return rows;
}

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

// The last row's version text; none when the table holds no row.
std::optional<QString> storedVersionText(Database& db) {
    const DbRows rows = db.select("SELECT Version FROM Version ORDER BY ID DESC LIMIT 1");
    if (rows.isEmpty()) return std::nullopt;
    return rows.first().toText("Version");
}

QString lastVersionText(Database& db) {
    return storedVersionText(db).value_or(QStringLiteral("0.0.0"));
}

// Without a version row nothing says which layout the file has: it is not taken for the
// oldest one, which would offer to migrate it onto itself.
const QString NoVersionCause =
    QStringLiteral("It is not a project database: its table Version holds no version");

// "1, 2 or 3" for the range 1 to 3.
QString wholeNumbersText(const schema::WholeRange& r) {
    QStringList all;
    for (long long v = r.least; v <= r.most; ++v)
        all << QString::number(v);
    const QString last = all.takeLast();
    return all.isEmpty() ? last : all.join(QStringLiteral(", ")) + " or " + last;
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
    // A train the program cannot use is named where it is met; the others stay usable.
    return {};
}

void insertGraphSensor(Database& db, const GraphSensorRow& r) {
    db.exec("INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, \"Order\") "
            "VALUES ('ALL', 1, 1, ?, ?, ?)",
            {r.description, r.column, r.order});
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
        for (const GraphSensorRow& r : DefaultGraphSensors())
            insertGraphSensor(db, r);
    }
    if (db.select("SELECT * FROM GraphSensors WHERE (ColumnHeader = 'SpecFlux')").isEmpty()) {
        // The specific-flux series are those of the columns the same revision brought.
        for (const GraphSensorRow& r : DefaultGraphSensors())
            if (r.column.startsWith(QLatin1String("SpecFlux"))) insertGraphSensor(db, r);
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

bool UpgradeDatabase(Program& p, const QString& path, qint16& major, qint16& minor, qint16& revision,
                     qint16& projects, qint32& readings, QString* whyNot) {
    // Another program's lock held past the wait stops the read before the version is known:
    // the read is tried once more, so that a lock taken for a moment of a longer change is
    // waited out, not taken for a database that cannot be used.
    for (int attempt = 1;; ++attempt) {
        bool versionRead = false;
        QString layoutCause; // what the file holds makes it unusable, in words for a person
        try {
            Database db = Database::open(path);
            const std::optional<QString> text = storedVersionText(db);
            if (!text) {
                layoutCause = NoVersionCause;
                throw DbError(dberr::NoCurrentRecord, layoutCause);
            }
            const qint64 projectRows = db.scalar("SELECT count(*) FROM ProjectInfo").toLongLong();
            const qint64 dataRows = db.scalar("SELECT count(*) FROM Data").toLongLong();
            if (projectRows > 32767 || dataRows > 2147483647) throw DbError(dberr::Overflow, "Overflow");
            const auto v = ParseVersionText(*text);
            if (!v) throw DbError(dberr::TypeMismatch, "Type mismatch");
            // Named by UnusableDatabaseCause for the person choosing another.
            layoutCause = layoutFault(db, *v);
            if (!layoutCause.isEmpty()) throw DbError(dberr::SqlFailed, layoutCause);
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
            // Kept for the message before the chooser: a lock may be gone by the time it is shown.
            if (whyNot)
                *whyNot = versionRead              ? "It could not be brought up to date: " + e.description()
                          : !layoutCause.isEmpty() ? layoutCause
                                                   : causeOf(e, path);
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

QString DatabaseFault(const QString& path) {
    if (path.isEmpty()) return QStringLiteral("No project database is set");
    const QFileInfo info(path);
    if (!info.exists()) {
        // A link that leads nowhere, or to itself, is not a missing file.
        if (const QString target = DanglingLinkTarget(path); !target.isEmpty())
            return "It is a link to " + target + ", which leads nowhere";
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
        const std::optional<QString> stored = storedVersionText(db);
        if (!stored) return NoVersionCause;
        const QString version = *stored;
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

QString UnusableDatabaseText(const QString& path, const QString& cause) {
    return "Hevrin cannot use the project database\r\n" + path + "\r\n" + cause + ".";
}

QString WritingToolRefusal(const QString& path) {
    if (const QString fault = DatabaseFault(path); !fault.isEmpty()) return UnusableDatabaseText(path, fault);
    try {
        const DbVersion v = ReadDbVersionOf(path);
        if (IsOlderThanProgram(v.major, v.minor))
            return UnusableDatabaseText(path,
                                        "It is an old database (version " + v.text() +
                                            ") that needs the migration to this program's version first");
    } catch (const DbError& e) {
        return UnusableDatabaseText(path, "Its version cannot be read: " + e.description());
    }
    return UnwritableDatabaseText(path);
}

QString DanglingLinkTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink() || info.exists()) return {};
    const QString target = info.symLinkTarget();
    // A link to itself, or to another link, is a loop the system names where it is met.
    if (target.isEmpty() || QFileInfo(target).isSymLink()) return {};
    return target;
}

QString UnusableTrainCause(const DbRow& row) {
    constexpr schema::WholeRange banks = schema::ProjectInfoColumn("NumBanks").range;
    static_assert(!banks.any() && banks.most - banks.least < 10, "named one by one in the message");
    const QVariant v = row.value(QStringLiteral("NumBanks"));
    // A Null is named, with its column, by the record's load.
    if (conv::isNull(v)) return {};
    bool ok = false;
    const double n = v.toDouble(&ok);
    if (ok && n == std::floor(n) && std::abs(n) < 1e15 && banks.holds(static_cast<long long>(n))) return {};
    return "Project \"" + row.toText(QStringLiteral("ProjectID")) + "\" train " +
           row.value(QStringLiteral("TrainNumber")).toString() + " has NumBanks " + v.toString() +
           ": a train has " + wholeNumbersText(banks) + " banks";
}

QStringList UnusableTrains(const QString& path) {
    QStringList causes;
    try {
        Database db = Database::open(path);
        for (const DbRow& r :
             db.select("SELECT ProjectID, TrainNumber, NumBanks FROM ProjectInfo ORDER BY ID"))
            if (QString cause = UnusableTrainCause(r); !cause.isEmpty()) causes << cause;
    } catch (const DbError&) {
        // What keeps the file from being read is named by DatabaseFault.
    }
    return causes;
}

QString UnusableTrainsText(const QString& path) {
    QStringList causes = UnusableTrains(path);
    if (causes.isEmpty()) return {};
    const qsizetype count = causes.size();
    constexpr qsizetype Shown = 10;
    if (count > Shown) {
        causes.resize(Shown);
        causes << QStringLiteral("and %1 more").arg(count - Shown);
    }
    const bool one = count == 1;
    return "The project database\r\n" + path + "\r\nholds " +
           (one ? QStringLiteral("a train") : QString::number(count) + " trains") +
           " Hevrin cannot use:\r\n" + causes.join(QStringLiteral(".\r\n")) +
           ".\r\n\r\nThe other trains can be used; " + (one ? "that train" : "those trains") +
           " cannot be made the current project.";
}

bool UpgradeOpenDatabase(Program& p) {
    qint16 major = 0, minor = 0, revision = 0;
    p.DbUnusableCause.clear();
    const bool valid = UpgradeDatabase(p, p.ProjectDatabasePath, major, minor, revision, p.ProjectCount,
                                       p.DataRecordCount, &p.DbUnusableCause);
    SetDbVersion(p, major, minor, revision);
    return valid;
}

QString DbVersionCaption(bool valid, qint16 major, qint16 minor, qint16 revision) {
    if (!valid) return QStringLiteral("DB Version: NOT VALID");
    return QStringLiteral("DB Version: %1.%2.%3").arg(major).arg(minor).arg(revision);
}

} // namespace hv
