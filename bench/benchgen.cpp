// hevrin-bench-gen --readings N --out FILE [--projects N] [--block N] [--template FILE]
// hevrin-bench-gen --shift-reference --out FILE
// Copies the blank project database and fills it with the bench project trains and N
// readings spread over them, as data collection would have stored them. The second form
// changes every project's reference state, so that the next recalculation rewrites
// every stored result.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "benchdata.h"
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
    parser.setApplicationDescription(
        "Makes a project database of many readings for the recalculation benchmark.");
    parser.addHelpOption();
    parser.addOption({"readings", "Number of readings.", "N"});
    parser.addOption({"out", "Database file to write (replaced).", "FILE"});
    parser.addOption({"block", "Readings of one train stored one after the other (1: the trains interleave).",
                      "N", "1000"});
    parser.addOption(
        {"projects",
         "Number of project trains (one to three banks, both unit sets), their readings interleaved "
         "unless --block says otherwise.",
         "N"});
    parser.addOption({"shift-reference", "Change the reference state of every project of --out."});
    parser.addOption({"template", "Blank project database to start from.", "FILE",
                      QCoreApplication::applicationDirPath() + "/templates/db.hv3.mdb"});
    parser.process(app);
    if (parser.isSet("shift-reference")) {
        try {
            Database db = Database::open(parser.value("out"));
            Transaction tx(db);
            const int n = db.exec(
                "UPDATE ProjectInfo SET FeedTemp = FeedTemp + 0.5, ElapsedTimeRef = ElapsedTimeRef + 1");
            tx.commit();
            std::printf("reference state of %d project trains changed\n", n);
            return 0;
        } catch (const RunError& e) {
            std::fprintf(stderr, "error %ld: %s\n", e.number(), qPrintable(e.description()));
            return 1;
        }
    }
    bool ok = false;
    const qint64 n = parser.value("readings").toLongLong(&ok);
    const QString out = parser.value("out");
    const bool projectsSet = parser.isSet("projects");
    const int projectCount = parser.value("projects").toInt();
    if (projectsSet && projectCount < 1) {
        std::fprintf(stderr, "--projects needs a number of at least 1\n");
        return 2;
    }
    const qint64 block =
        std::max(1LL, projectsSet && !parser.isSet("block") ? 1LL : parser.value("block").toLongLong());
    if (!ok || n < 0 || out.isEmpty()) {
        std::fprintf(
            stderr,
            "usage: hevrin-bench-gen --readings N --out FILE [--projects N] [--block N] [--template FILE]\n");
        return 2;
    }
    // Filled under another name and renamed at the end: a run that fails (a full disk)
    // leaves no partial database, and FILE as it was.
    const QString part = out + ".part";
    const auto dropPart = [&] {
        QFile::remove(part);
        QFile::remove(part + "-journal");
    };
    dropPart();
    if (const QString cause = CopyFileWhole(parser.value("template"), part); !cause.isEmpty()) {
        std::fprintf(stderr, "cannot copy the template %s to %s: %s\n", qPrintable(parser.value("template")),
                     qPrintable(part), qPrintable(cause));
        return 1;
    }
    QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    try {
        Database db = Database::open(part);
        db.exec("PRAGMA synchronous = OFF");
        const std::vector<bench::TrainLayout> layouts =
            projectsSet ? bench::Layouts(projectCount) : bench::Layouts();
        {
            Transaction tx(db);
            for (const bench::TrainLayout& t : layouts) {
                const QVariantMap row = bench::ReferenceRow(t);
                QStringList cols, marks;
                QVariantList values;
                for (auto it = row.begin(); it != row.end(); ++it) {
                    cols << quoteIdent(it.key());
                    marks << "?";
                    values << it.value();
                }
                db.exec("INSERT INTO ProjectInfo (" + cols.join(", ") + ") VALUES (" + marks.join(", ") + ")",
                        values);
            }
            tx.commit();
        }

        QStringList cols, marks;
        for (const QString& c : bench::ReadingColumns()) {
            cols << quoteIdent(c);
            marks << "?";
        }
        const QString sql = "INSERT INTO Data (" + cols.join(", ") + ") VALUES (" + marks.join(", ") + ")";
        std::mt19937_64 rng(20200101);
        QVariantList values;
        const qint64 perTransaction = 50000;
        for (qint64 done = 0; done < n;) {
            Transaction tx(db);
            QSqlQuery q(db.handle());
            if (!q.prepare(sql)) throw mapSqlError(q.lastError(), db.handle());
            const qint64 end = std::min(n, done + perTransaction);
            for (; done < end; ++done) {
                // Each train's readings come in runs, as a spreadsheet import or a stretch of
                // polling stores them, and the trains take turns.
                const qint64 run = done / block;
                const qint64 trains = qint64(layouts.size());
                const bench::TrainLayout& t = layouts[size_t(run % trains)];
                bench::ReadingValues(t, (run / trains) * block + done % block, rng, values);
                for (int i = 0; i < values.size(); ++i)
                    q.bindValue(i, values[i]);
                if (!q.exec()) throw mapSqlError(q.lastError(), db.handle());
            }
            q.finish();
            tx.commit();
        }
        db.close();
        if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(out).constData()) != 0) {
            const int error = errno;
            dropPart();
            std::fprintf(stderr, "cannot rename %s to %s: %s\n", qPrintable(part), qPrintable(out),
                         std::strerror(error));
            return 1;
        }
        std::printf("%lld readings in %d project trains written to %s\n", static_cast<long long>(n),
                    int(layouts.size()), qPrintable(out));
    } catch (const RunError& e) {
        dropPart();
        std::fprintf(stderr, "error %ld: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    return 0;
}
