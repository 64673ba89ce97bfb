#pragma once

namespace hv {

struct Program;

// Registers the export and import windows and the data view with the window registry.
void RegisterExchangeWindows(Program& p);

} // namespace hv
