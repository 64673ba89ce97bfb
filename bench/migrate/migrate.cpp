// hevrin-migrate --from FILE --to FILE --elements FILE [--two-bank] [--floor]
// Copies every project train of FROM into the three-bank database TO with its readings,
// normalizing each reading, as the migration dialog's run does. --two-bank first turns
// FROM (a three-bank file, such as hevrin-bench-gen makes) into the two-bank layout in
// place. The last line gives the readings copied and normalized, the seconds and readings
// per second. --floor first measures, on a copy of TO, the least work the same result
// needs: FROM's project rows and readings copied with one INSERT ... SELECT each over the
// attached file, then every project recalculated; the last line then gives both times and
// the migration's ratio to the floor.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

#include "benchprompts.h"
#include "core/dbversion.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "core/startup.h"
#include "core/units.h"
#include "maintenance/migration.h"
#include "normalization/recalculate.h"
#include "platform/database.h"
#include "platform/filelimits.h"
#include "platform/sqlite.h"
#include "platform/systeminfo.h"

using namespace hv;

namespace {

void makeTwoBank(const QString& path) {
    Database db = Database::open(path);
    const QStringList bank3 = {"Permflow_3",          "PermuS_3",        "FeedPressure_3",
                               "ConcPressure_2",      "PermbackPress_3", "ElementType_3",
                               "NumElementsBank_3",   "AreaBank_3",      "DeltaPress_3",
                               "ElementsPerVessel_3", "NumVessels_3"};
    for (const QString& table : {QStringLiteral("ProjectInfo"), QStringLiteral("Data")})
        for (const QString& c : db.columns(table))
            if (bank3.contains(c, Qt::CaseInsensitive) || c.startsWith("NormalizedPermFlow_3") ||
                c.startsWith("SpecFlux") || c.endsWith("_3", Qt::CaseInsensitive))
                db.exec("ALTER TABLE " + table + " DROP COLUMN " + quoteIdent(c));
    db.exec("INSERT INTO Version (Version) VALUES ('1.2.7')");
}

struct FloorTimes {
    double copy = 0;
    double recalc = 0;
    qint64 normalized = 0;
};

// The columns of the copy, ID aside: TO's target columns and what FROM gives them; the
// bank-3 measurements a two-bank FROM lacks are 0, as the migration writes them.
std::pair<QString, QString> copiedColumns(Database& to, const QString& fromPath, const QString& table) {
    static const QStringList bank3 = {"Permflow_3", "PermuS_3", "FeedPressure_3", "ConcPressure_2",
                                      "PermbackPress_3"};
    Database from = Database::open(fromPath);
    const QStringList have = from.columns(table);
    QStringList targets, sources;
    for (const QString& c : to.columns(table)) {
        if (c.compare("ID", Qt::CaseInsensitive) == 0) continue;
        if (have.contains(c, Qt::CaseInsensitive)) {
            targets << quoteIdent(c);
            sources << quoteIdent(c);
        } else if (table == "Data" && bank3.contains(c, Qt::CaseInsensitive)) {
            targets << quoteIdent(c);
            sources << "0";
        }
    }
    return {targets.join(", "), sources.join(", ")};
}

FloorTimes floorRun(Program& p, const QString& from, const QString& to) {
    FloorTimes t;
    std::pair<QString, QString> projectColumns, dataColumns;
    {
        Database db = Database::open(to);
        projectColumns = copiedColumns(db, from, "ProjectInfo");
        dataColumns = copiedColumns(db, from, "Data");
    }
    QElapsedTimer timer;
    timer.start();
    {
        SqliteConnection db(to);
        db.exec("ATTACH DATABASE '" + QString(from).replace('\'', "''") + "' AS src");
        SqliteTransaction tx(db);
        db.exec("INSERT INTO ProjectInfo (" + projectColumns.first + ") SELECT " + projectColumns.second +
                " FROM src.ProjectInfo");
        db.exec("INSERT INTO Data (" + dataColumns.first + ") SELECT " + dataColumns.second +
                " FROM src.Data");
        tx.commit();
        db.exec(QStringLiteral("DETACH DATABASE src"));
    }
    t.copy = timer.nsecsElapsed() / 1e9;

    p.ProjectDatabasePath = to;
    timer.restart();
    RunProgress quiet;
    const RecalcSummary sum = RecalculateAllProjectsCounted(p, quiet);
    t.recalc = timer.nsecsElapsed() / 1e9;
    t.normalized = sum.normalized;
    if (sum.stopped) throw DbError(dberr::SqlFailed, p.status.text(1));
    return t;
}

} // namespace

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    hv::IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Migrates one project database into another.");
    parser.addHelpOption();
    parser.addOption({"from", "Database to copy from.", "FILE"});
    parser.addOption({"to", "Three-bank database to copy into.", "FILE"});
    parser.addOption({"elements", "Element database.", "FILE"});
    parser.addOption({"two-bank", "Turn FROM into the two-bank layout first."});
    parser.addOption({"floor", "Measure copy plus recalculation on a copy of TO first, and the ratio."});
    parser.process(app);
    const QString fromPath = parser.value("from"), toPath = parser.value("to");
    if (fromPath.isEmpty() || toPath.isEmpty() || parser.value("elements").isEmpty()) {
        std::fprintf(stderr,
                     "usage: hevrin-migrate --from FILE --to FILE --elements FILE [--two-bank] [--floor]\n");
        return 2;
    }
    if (QString refusal = WritingToolRefusal(toPath); !refusal.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(refusal.replace("\r\n", " ")));
        return 1;
    }
    if (SameDatabaseFile(fromPath, toPath)) {
        std::fprintf(stderr, "%s\n", qPrintable(SameDatabasesText));
        return 1;
    }
    QTemporaryDir dataFolder;
    if (const QString cause = CopyFileWhole(parser.value("elements"), dataFolder.filePath("ostrelmem.mdb"));
        !cause.isEmpty()) {
        std::fprintf(stderr, "cannot copy the element database: %s\n", qPrintable(cause));
        return 1;
    }
    bench::SilentPrompts prompts;
    SystemInfo system;
    UserStore store(dataFolder.filePath("userstore.ini"));
    Program p(prompts, system, store);
    p.AppDataFolder = dataFolder.path();
    InitUnits(p);
    if (!LoadElementSpecs(p)) {
        std::fprintf(stderr, "%s\n", qPrintable(prompts.last));
        return 1;
    }
    FloorTimes floor;
    const bool measureFloor = parser.isSet("floor");
    try {
        if (parser.isSet("two-bank")) makeTwoBank(fromPath);
        if (measureFloor) {
            // Beside TO, so that both runs write to the same disk.
            const QString floorPath = toPath + ".floor";
            QFile::remove(floorPath);
            if (!QFile::copy(toPath, floorPath)) throw DbError(dberr::FileNotFound, "cannot copy " + toPath);
            struct Remove {
                QString path;
                ~Remove() { QFile::remove(path); }
            } remove{floorPath};
            floor = floorRun(p, fromPath, floorPath);
        }
    } catch (const RunError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    // A file the dialog would refuse (a train with no or four banks, a damaged file) is refused
    // with its cause, rather than copied under a version that was never read.
    const auto side = [&p](const QString& path) -> std::optional<MigrationDb> {
        MigrationDb db;
        db.path = path;
        p.SuppressDbUpgrade = true;
        const bool valid =
            UpgradeDatabase(p, path, db.major, db.minor, db.revision, db.projects, db.readings);
        p.SuppressDbUpgrade = false;
        if (valid) return db;
        const QString cause = UnusableDatabaseCause(path);
        std::fprintf(stderr, "%s: %s\n", qPrintable(path),
                     qPrintable(cause.isEmpty() ? QStringLiteral("not a valid Hevrin database") : cause));
        return std::nullopt;
    };
    const std::optional<MigrationDb> fromDb = side(fromPath);
    const std::optional<MigrationDb> toDb = side(toPath);
    if (!fromDb || !toDb) return 1;
    const MigrationDb& from = *fromDb;
    const MigrationDb& to = *toDb;
    p.ProjectDatabasePath = to.path;
    RunProgress quiet;
    Migration run(p, from, to, quiet);
    QElapsedTimer timer;
    timer.start();
    const MigrationResult r = run.run();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!r.completed) {
        std::fprintf(stderr, "%s\n", qPrintable(MigrationStopText(r, toPath)));
        return 1;
    }
    const QString migrated =
        QString::asprintf("%d readings (%d normalized), %d projects, %.3f s, %.0f readings/s", r.copied,
                          r.normalized, r.accepted, seconds, seconds > 0 ? r.copied / seconds : 0.0);
    // A reading that could not be calculated, or left behind, is work not done.
    const int status = r.failed > 0 || r.orphaned > 0 || r.unreadable > 0 || !r.refused.isEmpty() ? 1 : 0;
    if (r.failed > 0) std::fprintf(stderr, "%s\n", qPrintable(MigrationFailuresText(r)));
    if (!MigrationLeftOutText(r).isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(MigrationLeftOutText(r)));
    if (!measureFloor) {
        std::printf("%s\n", qPrintable(migrated));
        return status;
    }
    const double floorSeconds = floor.copy + floor.recalc;
    std::printf("migration: %s\n", qPrintable(migrated));
    std::printf("floor: copy %.3f s + recalculation %.3f s (%lld normalized) = %.3f s\n", floor.copy,
                floor.recalc, static_cast<long long>(floor.normalized), floorSeconds);
    std::printf("migration %.3f s, copy %.3f s + recalculation %.3f s = %.3f s, ratio %.2f\n", seconds,
                floor.copy, floor.recalc, floorSeconds, floorSeconds > 0 ? seconds / floorSeconds : 0.0);
    return status;
}
