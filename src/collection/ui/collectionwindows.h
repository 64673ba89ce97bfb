#pragma once

namespace hv {

struct Program;

// Registers the data collection windows with the window registry.
void RegisterCollectionWindows(Program& p);

} // namespace hv
