#include "spreadsheet/ui/spreadsheetwindows.h"

#include "core/program.h"

namespace hv {

void RegisterSpreadsheetWindows(Program& p) {
    (void)p;
}

}  // namespace hv
