#pragma once

namespace hv {

struct Program;

// Registers the core's windows with the program's window registry: "frmMain",
// "frmSplash" and "frmContact".
void RegisterCoreWindows(Program& p);

} // namespace hv
