#pragma once

namespace hv {

struct Program;

// Registers the spreadsheet import windows with the window registry.
void RegisterSpreadsheetWindows(Program& p);

} // namespace hv
