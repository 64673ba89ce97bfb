#include "maintenance/ui/exchangewindows.h"

#include "core/program.h"
#include "maintenance/ui/frmexportdata.h"
#include "maintenance/ui/frmimportdata.h"
#include "maintenance/ui/rows.h"
#include "platform/database.h"

namespace hv {

namespace {

// These windows need the database: without one they say why and do not open.
bool databaseReady(Program& p) {
    try {
        Database::open(p.ProjectDatabasePath);
        return true;
    } catch (const DbError& e) {
        p.prompts.message("The project database could not be opened: " + e.description(), Buttons::OK,
                          Icon::None, Title);
        return false;
    }
}

} // namespace

void RegisterExchangeWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("FrmExportData"), [&p]() -> QWidget* {
        return databaseReady(p) ? new FrmExportData(p) : nullptr;
    });
    p.windows.registerFactory(QStringLiteral("FrmImportData"), [&p]() -> QWidget* {
        return databaseReady(p) ? new FrmImportData(p) : nullptr;
    });
    p.windows.registerFactory(QStringLiteral("rows"), [&p]() -> QWidget* {
        if (!databaseReady(p)) return nullptr;
        try {
            return new rows(p);
        } catch (const RunError& e) {
            p.prompts.message("The readings could not be read: " + e.description(), Buttons::OK, Icon::None,
                              Title);
            return nullptr;
        }
    });
}

} // namespace hv
