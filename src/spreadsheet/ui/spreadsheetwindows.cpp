#include "spreadsheet/ui/spreadsheetwindows.h"

#include "core/program.h"
#include "spreadsheet/ui/frmhelpwindows.h"
#include "spreadsheet/ui/frmimportexcel.h"

namespace hv {

void RegisterSpreadsheetWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("frmImportExcel"), [&p] { return new frmImportExcel(p); });
    p.windows.registerFactory(QStringLiteral("frmDate"), [] { return new frmDate; });
    p.windows.registerFactory(QStringLiteral("frmImportHelp"), [] { return new frmImportHelp; });
}

} // namespace hv
