#pragma once

namespace hv {

struct Program;

// Registers the graph manager and the graph style dialog with the window registry.
void RegisterGraphWindows(Program& p);

} // namespace hv
