#include <QApplication>

#include "collection/ui/collectionwindows.h"
#include "core/program.h"
#include "core/startup.h"
#include "core/ui/corewindows.h"
#include "graphs/ui/graphimagewindows.h"
#include "graphs/ui/graphwindows.h"
#include "maintenance/ui/editorwindows.h"
#include "maintenance/ui/exchangewindows.h"
#include "maintenance/ui/migrationwindows.h"
#include "normalization/recalculate.h"
#include "platform/filelimits.h"
#include "platform/ui/qtprompts.h"
#include "projects/ui/frmproject.h"
#include "spreadsheet/ui/spreadsheetwindows.h"

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    hv::IgnoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Hevrin");
    QApplication::setApplicationName("Hevrin");
    hv::QtPrompts prompts;
    hv::SystemInfo system;
    hv::UserStore store;
    hv::Program program(prompts, system, store);

    hv::RegisterCoreWindows(program);
    program.windows.registerFactory("frmProject", [&program] { return new hv::frmProject(program); });
    hv::RegisterCollectionWindows(program);
    hv::RegisterGraphWindows(program);
    hv::RegisterGraphImageWindows(program);
    hv::RegisterSpreadsheetWindows(program);
    hv::RegisterEditorWindows(program);
    hv::RegisterExchangeWindows(program);
    hv::RegisterMigrationWindows(program);
    program.RecalculateAllProjects = [&program] {
        // The main window's status panels; between batches the windows get their turn, and
        // CancelRecalc stops the run.
        hv::StatusPanelsProgress progress(program.status, &program.CancelRecalc);
        hv::RecalculateAllProjects(program, progress);
    };
    program.RecalculateProject = [&program](const QString& projectId, qint16 train) {
        return hv::RecalculateProject(program, projectId, train);
    };
    program.EndProgram = [](int exitCode) { QCoreApplication::exit(exitCode); };

    const hv::StartupResult started = hv::Main(program);
    if (started.endProgram) return started.exitCode;
    return app.exec();
}
