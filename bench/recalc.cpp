// hevrin-recalc --database FILE --elements FILE [--baseline] [--batch N]
// Recalculates every project of a project database against an element database, as
// the "Recalculate ALL Projects" command does, without a window. The last line gives
// the readings done, the seconds taken and the readings per second.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "core/elementdb.h"
#include "core/program.h"
#include "core/units.h"
#include "normalization/recalculate.h"

using namespace hv;

namespace {

// Answers OK to everything: a calculation error is passed over as the user who chose
// to ignore errors would.
class SilentPrompts : public Prompts {
public:
    int messages = 0;
    QString first, last;
    Answer message(const QString& text, Buttons buttons, Icon, const QString&) override {
        if (++messages == 1) first = text;
        last = text;
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::OK;
    }
    std::optional<QString> input(const QString&, const QString&, const QString& d) override { return d; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    bool choosePrinter(QPrinter&) override { return false; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Recalculates every project of a project database.");
    parser.addHelpOption();
    parser.addOption({"database", "Project database.", "FILE"});
    parser.addOption({"elements", "Element database.", "FILE"});
    parser.addOption({"baseline", "A connection per reading, each statement its own transaction."});
    parser.addOption(
        {"batch", "Readings per transaction at most.", "N", QString::number(RecalcOptions().batchSize)});
    parser.process(app);
    const QString database = parser.value("database");
    const QString elements = parser.value("elements");
    if (database.isEmpty() || elements.isEmpty()) {
        std::fprintf(stderr,
                     "usage: hevrin-recalc --database FILE --elements FILE [--baseline] [--batch N]\n");
        return 2;
    }

    // The element database is read from the data folder under its own name.
    QTemporaryDir dataFolder;
    if (!QFile::copy(elements, dataFolder.filePath("ostrelmem.mdb"))) {
        std::fprintf(stderr, "cannot read the element database %s\n", qPrintable(elements));
        return 1;
    }
    SilentPrompts prompts;
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
    options.connectionPerReading = parser.isSet("baseline");
    options.batchSize = parser.value("batch").toInt();
    QElapsedTimer timer;
    timer.start();
    const RecalcSummary sum = RecalculateAllProjectsCounted(p, options);
    const double seconds = timer.nsecsElapsed() / 1e9;

    std::printf("%s\n", qPrintable(p.status.text(1)));
    if (prompts.messages > 0)
        std::printf("%d messages; the first: %s\n", prompts.messages, qPrintable(prompts.first.left(200)));
    std::printf("%lld readings, %d projects, %.3f s, %.0f readings/s%s\n",
                static_cast<long long>(sum.readings), sum.projects, seconds,
                seconds > 0 ? sum.readings / seconds : 0.0,
                options.connectionPerReading ? " (baseline)" : "");
    return sum.stopped ? 1 : 0;
}
