// hevrin-graph-gen --out FILE [--years N] [--minutes M] [--project ID] [--train N] [--trains T]
//                  [--template FILE]
// Copies the blank project database and fills one project train with a reading every M
// minutes over N years, with normalized values that drift and a few events. With --trains,
// T trains from N on log together, their readings of each instant stored side by side.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cmath>
#include <cstdio>
#include <random>

#include "core/startup.h"
#include "platform/database.h"
#include "platform/filelimits.h"
#include "platform/systeminfo.h"

using namespace hv;

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    hv::IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Makes a project database of trains' readings for hevrin-graph.");
    parser.addHelpOption();
    parser.addOption({"out", "Database file to write (replaced).", "FILE"});
    parser.addOption({"years", "Years of readings.", "N", "10"});
    parser.addOption({"minutes", "Minutes between readings.", "M", "15"});
    parser.addOption({"project", "Project ID.", "ID", "G1"});
    parser.addOption({"train", "Train number (the first, with --trains).", "N", "1"});
    parser.addOption({"trains", "Trains logging together.", "T", "1"});
    parser.addOption({"template", "Blank project database to start from.", "FILE",
                      QCoreApplication::applicationDirPath() + "/templates/db.hv3.mdb"});
    parser.process(app);
    const QString out = parser.value("out");
    const double years = parser.value("years").toDouble();
    const int minutes = std::max(1, parser.value("minutes").toInt());
    const int trains = parser.value("trains").toInt();
    if (out.isEmpty() || years <= 0 || trains < 1) {
        std::fprintf(stderr, "usage: hevrin-graph-gen --out FILE [--years N] [--minutes M] [--trains T]\n");
        return 2;
    }
    // The database is built beside OUT and takes its name only when whole: a stop (the
    // file-size limit, a full disk) leaves nothing at OUT.
    FileBeside building(out);
    QString cause = building.open();
    if (cause.isEmpty()) {
        QFile from(parser.value("template"));
        cause = from.open(QIODevice::ReadOnly) ? building.write(from.readAll()) : from.errorString();
    }
    if (!cause.isEmpty()) {
        std::fprintf(stderr, "cannot copy the template %s to %s: %s\n", qPrintable(parser.value("template")),
                     qPrintable(out), qPrintable(cause));
        return 1;
    }
    // Whatever a stop leaves of the database's journal goes with it.
    struct Leftovers {
        const QString journal;
        ~Leftovers() { QFile::remove(journal); }
    } leftovers{building.path() + "-journal"};
    try {
        Database db = Database::open(building.path());
        db.exec("PRAGMA synchronous = OFF");
        const qint64 n = qint64(years * 365.25 * 24 * 60 / minutes);
        const QDateTime start(QDate(2015, 1, 1), QTime(0, 0));
        std::mt19937_64 rng(42);
        std::normal_distribution<double> noise(0, 1);
        Transaction tx(db);
        auto ins = db.prepare(
            "INSERT INTO Data (ProjectID, TrainNumber, Bank, TheDate, ElapsedTimeHrs, EventID, PermFlow, "
            "NormalizedPermFlow, NormalizedSaltPassage, NormalizedDP, ActualRejection) "
            "VALUES (?, ?, 3, ?, ?, ?, ?, ?, ?, ?, ?)");
        const int firstTrain = parser.value("train").toInt();
        for (qint64 i = 0; i < n; ++i) {
            const double hours = i * minutes / 60.0;
            const QString when = dbDateText(start.addSecs(qint64(i) * minutes * 60));
            const int event = (i > 0 && i % (24 * 90 * 60 / minutes) == 0) ? 1 : 0;
            for (int t = 0; t < trains; ++t) {
                const double cycle =
                    std::fmod(hours + t * 24 * 7, 24 * 90) / (24 * 90); // cleaned every 90 days
                const double flow = (60 + 5 * t) * (1 - 0.15 * cycle) + noise(rng);
                const double sp = 0.01 * (1 + 0.5 * cycle) + 0.0005 * noise(rng);
                ins->exec({parser.value("project"), firstTrain + t, when, hours, event, flow, flow, sp,
                           1.5 + cycle + 0.05 * noise(rng), 1 - sp});
            }
        }
        tx.commit();
        db.close();
        if (const QString failed = building.commit(); !failed.isEmpty()) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(out), qPrintable(failed));
            return 1;
        }
        QFile::setPermissions(out,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        std::printf("%lld readings of %d train(s) written to %s\n", static_cast<long long>(n), trains,
                    qPrintable(out));
    } catch (const RunError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
