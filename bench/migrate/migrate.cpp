// hevrin-migrate --from FILE --to FILE --elements FILE [--two-bank]
// Copies every project train of FROM into the three-bank database TO with its readings,
// normalizing each reading, as the migration dialog's run does. --two-bank first turns
// FROM (a three-bank file, such as hevrin-bench-gen makes) into the two-bank layout in
// place. The last line gives the readings copied, the seconds and readings per second.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "core/dbversion.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "platform/systeminfo.h"
#include "benchprompts.h"
#include "core/units.h"
#include "maintenance/migration.h"
#include "platform/database.h"

using namespace hv;

namespace {

struct QuietView : MigrationView {
    void setStatus(int, const QString&) override {}
    void setProgress(double) override {}
    bool yieldAndCheckCancel() override { return false; }
};

void makeTwoBank(const QString& path) {
    Database db = Database::open(path);
    const QStringList bank3 = {"Permflow_3", "PermuS_3",  "FeedPressure_3", "ConcPressure_2",
                               "PermbackPress_3", "ElementType_3", "NumElementsBank_3", "AreaBank_3",
                               "DeltaPress_3", "ElementsPerVessel_3", "NumVessels_3"};
    for (const QString& table : {QStringLiteral("ProjectInfo"), QStringLiteral("Data")})
        for (const QString& c : db.columns(table))
            if (bank3.contains(c, Qt::CaseInsensitive) || c.startsWith("NormalizedPermFlow_3") ||
                c.startsWith("SpecFlux") || c.endsWith("_3", Qt::CaseInsensitive))
                db.exec("ALTER TABLE " + table + " DROP COLUMN " + quoteIdent(c));
    db.exec("INSERT INTO Version (Version) VALUES ('1.2.7')");
}

} // namespace

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Migrates one project database into another.");
    parser.addHelpOption();
    parser.addOption({"from", "Database to copy from.", "FILE"});
    parser.addOption({"to", "Three-bank database to copy into.", "FILE"});
    parser.addOption({"elements", "Element database.", "FILE"});
    parser.addOption({"two-bank", "Turn FROM into the two-bank layout first."});
    parser.process(app);
    if (parser.value("from").isEmpty() || parser.value("to").isEmpty() || parser.value("elements").isEmpty()) {
        std::fprintf(stderr, "usage: hevrin-migrate --from FILE --to FILE --elements FILE [--two-bank]\n");
        return 2;
    }
    QTemporaryDir dataFolder;
    if (!QFile::copy(parser.value("elements"), dataFolder.filePath("ostrelmem.mdb"))) {
        std::fprintf(stderr, "cannot read the element database\n");
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
    try {
        if (parser.isSet("two-bank")) makeTwoBank(parser.value("from"));
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    const auto side = [&p](const QString& path) {
        MigrationDb db;
        db.path = path;
        p.SuppressDbUpgrade = true;
        UpgradeDatabase(p, path, db.major, db.minor, db.revision, db.projects, db.readings);
        p.SuppressDbUpgrade = false;
        return db;
    };
    const MigrationDb from = side(parser.value("from"));
    const MigrationDb to = side(parser.value("to"));
    p.ProjectDatabasePath = to.path;
    QuietView view;
    Migration run(p, from, to, view);
    QElapsedTimer timer;
    timer.start();
    const MigrationResult r = run.run();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!r.completed) {
        std::fprintf(stderr, "%s\n", qPrintable(r.failure));
        return 1;
    }
    std::printf("%d readings, %d projects, %.3f s, %.0f readings/s\n", r.copied, r.accepted, seconds,
                seconds > 0 ? r.copied / seconds : 0.0);
    return 0;
}
