#pragma once
#include <QString>
#include <QtGlobal>

#include "core/projectrecord.h"
#include "platform/bulkwork.h"

namespace hv {

struct Program;

// How the recalculations go through the readings.
struct RecalcOptions {
    // A batch of readings is stored in one transaction; between batches the whole-database
    // run gives the window system its turn and looks for the user's stop. A batch waits the
    // busy timeout for another program's write lock before the run stops.
    BatchPolicy batches{20000, 250, 5000};
};

// Recalculates every reading of the record's project train, oldest first, against the
// record (a copy of it: CurrentProject is not touched); only that train's readings are read, by the project
// index. Returns the number of readings done when the user stopped at a calculation error, else 0. Progress
// goes to panel 1 of `progress`, by default the main window's status panels. Database failures are raised
// (DbError) to the caller. It does not yield to the event loop.
qint32 RecalculateProject(Program& p, const ProjectInfoRecord& record, RunProgress& progress,
                          const RecalcOptions& options = {});
qint32 RecalculateProject(Program& p, const ProjectInfoRecord& record, const RecalcOptions& options = {});
// The same for a project and train given by key, against the record the database holds
// for it; false when the user stopped it or the record cannot be read.
bool RecalculateProject(Program& p, const QString& projectId, qint16 train);

// Recalculates every reading of every project train in the database, each against its
// own project, and then stamps the database with the program's version. The readings are
// read once, in table order, each given the reference state of its project train (loaded
// once per project row); readings of a train without a project row are left as they are.
// Progress (panels 1 and 2 of `progress`) counts the whole table; the per-project texts
// come at the end. The four menus are disabled (SetMenusEnabled) and the hourglass shown
// for the run; CurrentProject is not touched. Between batches `progress`
// yields, and a stop there or Cancel at a calculation error writes no version row. Every
// failure is reported here; a database failure rolls back its batch and ends the run with
// the database's own text and no success text.
void RecalculateAllProjects(Program& p, RunProgress& progress, const RecalcOptions& options = {});

// "; <n> readings could not be calculated (the first: <cause>) and keep no results", or
// nothing when none failed.
QString FailedText(qint64 failed, const QString& firstCause);

// Counts of the last whole-database run, for the bulk tools.
struct RecalcSummary {
    int projects = 0;
    qint64 readings = 0;   // gone through
    qint64 normalized = 0; // of them, those whose calculated columns were stored
    qint64 failed = 0;     // of them, those that could not be calculated (their results emptied)
    QString firstFailure;  // the cause of the first of them
    bool stopped = false;
};
RecalcSummary RecalculateAllProjectsCounted(Program& p, RunProgress& progress,
                                            const RecalcOptions& options = {});

} // namespace hv
