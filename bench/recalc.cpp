// hevrin-recalc --database FILE --elements FILE [--batch N]
// hevrin-recalc --database FILE --floor
// Recalculates every project of a project database against an element database, as
// the "Recalculate ALL Projects" command does, without a window. The last line gives
// the readings done, the seconds taken and the readings per second; the exit status is
// not 0 when the run stopped or a reading could not be calculated. --floor does only the database work of
// such a run, with trivial arithmetic, straight on SQLite: the least any recalculation could take.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchprompts.h"
#include "core/dbversion.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "core/startup.h"
#include "core/units.h"
#include "normalization/normalize.h"
#include "normalization/recalculate.h"
#include "platform/filelimits.h"
#include "platform/sqlite.h"
#include "platform/systeminfo.h"

using namespace hv;

namespace {

// Bytes this process had written to disk, and its peak resident memory.
void printDiskAndMemory() {
    QFile io("/proc/self/io"), status("/proc/self/status");
    QString written = "?", peak = "?";
    if (io.open(QIODevice::ReadOnly))
        for (const QByteArray& line : io.readAll().split('\n'))
            if (line.startsWith("write_bytes:")) written = QString::fromLatin1(line.mid(12).trimmed());
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:")) peak = QString::fromLatin1(line.mid(6).simplified());
    std::printf("written %s bytes, peak memory %s\n", qPrintable(written), qPrintable(peak));
}

// One pass over Data reading the columns a normalization reads, the same UPDATE by ID
// with one prepared statement, one transaction, default settings.
int floorRun(const QString& path) try {
    SqliteConnection connection(path);
    std::string select = "SELECT ID";
    for (const ReadColumn& c : ReadColumns)
        select += std::string(", \"") + c.name + "\"";
    select += " FROM Data ORDER BY ID";
    // The measured values among the written columns go back as they were read, so that a
    // recalculation after this run still has its inputs; every other column changes.
    static const char* const measured[] = {"ConcPressure_1",  "PermFlow_2",      "PermuS_2", "FeedPressure_2",
                                           "PermbackPress_2", "PermFlow_3",      "PermuS_3", "FeedPressure_3",
                                           "ConcPressure_2",  "PermbackPress_3", "PermFlow", "FeedFlow"};
    auto readIndex = [](const char* name) {
        for (int i = 0; i < ReadColumnCount; ++i)
            if (qstricmp(ReadColumns[size_t(i)].name, name) == 0) return i;
        return -1;
    };
    std::string update = "UPDATE Data SET ElapsedTimeHrs = ?";
    std::vector<int> from{readIndex("ElapsedTimeHrs")};
    std::vector<bool> keep{false};
    // A bank a train lacks gets zeros, as the normalization writes them: the same bytes.
    std::vector<int> bankOf{1};
    for (const auto* columns : {&StoredColumns[0], &SpecFluxColumns[0]}) {
        const size_t count = columns == &StoredColumns[0] ? StoredColumns.size() : SpecFluxColumns.size();
        for (size_t k = 0; k < count; ++k) {
            const char* name = columns[k].name;
            update += std::string(", \"") + name + "\" = ?";
            from.push_back(readIndex(name));
            bool kept = false;
            for (const char* m : measured)
                kept = kept || qstricmp(m, name) == 0;
            keep.push_back(kept);
            const size_t len = std::strlen(name);
            bankOf.push_back(len > 2 && name[len - 2] == '_' ? name[len - 1] - '0' : 1);
        }
    }
    const int written = int(from.size());
    update += " WHERE ID = ?";
    QElapsedTimer timer;
    timer.start();
    long long n = 0;
    SqliteTransaction tx(connection);
    SqliteStatement rows(connection, QString::fromStdString(select));
    SqliteStatement write(connection, QString::fromStdString(update));
    std::vector<double> in(ReadColumnCount);
    const int bankFlow[] = {readIndex("PermFlow_1"), readIndex("PermFlow_2"), readIndex("PermFlow_3")};
    while (rows.step()) {
        double sum = 0;
        for (int i = 0; i < ReadColumnCount; ++i)
            sum += in[size_t(i)] = rows.real(i + 1);
        for (int k = 0; k < written; ++k) {
            const double v = from[size_t(k)] >= 0 ? in[size_t(from[size_t(k)])] : sum;
            const int bank = bankOf[size_t(k)];
            const bool lacked = bank > 1 && bank <= 3 && in[size_t(bankFlow[bank - 1])] == 0;
            // Results are stored as 8-byte reals; a whole number would be stored shorter.
            write.bind(k, keep[size_t(k)] ? v : lacked ? 0.0 : v * 0.5 + 1.0625);
        }
        write.bind(written, rows.int64(0));
        write.step();
        write.reset();
        ++n;
    }
    tx.commit();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%lld readings, %.3f s, %.0f readings/s (floor)\n", n, seconds,
                seconds > 0 ? n / seconds : 0.0);
    printDiskAndMemory();
    return 0;
} catch (const RunError& e) {
    std::fprintf(stderr, "%s\n", qPrintable(e.description()));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    hv::IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Recalculates every project of a project database.");
    parser.addHelpOption();
    parser.addOption({"database", "Project database.", "FILE"});
    parser.addOption({"elements", "Element database.", "FILE"});
    parser.addOption({"floor", "Only the database work of a recalculation, with trivial arithmetic."});
    parser.addOption(
        {"batch", "Readings per transaction at most.", "N", QString::number(RecalcOptions().batches.rows)});
    parser.process(app);
    const QString database = parser.value("database");
    const QString elements = parser.value("elements");
    if (QString refusal = database.isEmpty() ? QString() : WritingToolRefusal(database); !refusal.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(refusal.replace("\r\n", " ")));
        return 1;
    }
    if (!database.isEmpty() && parser.isSet("floor")) return floorRun(database);
    if (database.isEmpty() || elements.isEmpty()) {
        std::fprintf(stderr, "usage: hevrin-recalc --database FILE --elements FILE [--batch N]\n"
                             "       hevrin-recalc --database FILE --floor\n");
        return 2;
    }

    bool batchRead = false;
    const int batch = parser.value("batch").toInt(&batchRead);
    if (!batchRead || batch < 1) {
        std::fprintf(stderr, "--batch takes a whole number of readings from 1 up, not \"%s\"\n",
                     qPrintable(parser.value("batch")));
        return 2;
    }

    // The element database is read from the data folder under its own name.
    QTemporaryDir dataFolder;
    const QString copy = dataFolder.filePath("ostrelmem.mdb");
    if (const QString cause = CopyFileWhole(elements, copy); !cause.isEmpty()) {
        std::fprintf(stderr, "cannot copy the element database %s to %s: %s\n", qPrintable(elements),
                     qPrintable(copy), qPrintable(cause));
        return 1;
    }
    bench::SilentPrompts prompts;
    SystemInfo system;
    UserStore store(dataFolder.filePath("userstore.ini"));
    Program p(prompts, system, store);
    p.AppDataFolder = dataFolder.path();
    p.ProjectDatabasePath = database;
    InitUnits(p);
    if (!LoadElementSpecs(p)) {
        std::fprintf(stderr, "%s\n", qPrintable(prompts.last));
        return 1;
    }

    RecalcOptions options;
    RunProgress quiet;
    options.batches.rows = batch;
    QElapsedTimer timer;
    timer.start();
    const RecalcSummary sum = RecalculateAllProjectsCounted(p, quiet, options);
    const double seconds = timer.nsecsElapsed() / 1e9;

    std::printf("%s\n", qPrintable(p.status.text(1)));
    if (prompts.messages > 0)
        std::printf("%d messages; the first: %s\n", prompts.messages, qPrintable(prompts.first.left(200)));
    std::printf("%lld readings, %d projects, %.3f s, %.0f readings/s\n", static_cast<long long>(sum.readings),
                sum.projects, seconds, seconds > 0 ? sum.readings / seconds : 0.0);
    if (sum.failed > 0)
        std::printf("%lld readings could not be calculated; the first: %s\n",
                    static_cast<long long>(sum.failed), qPrintable(sum.firstFailure.left(200)));
    printDiskAndMemory();
    return sum.stopped || sum.failed > 0 ? 1 : 0;
}
