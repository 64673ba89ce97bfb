#pragma once

namespace hv {

struct Program;

// Registers the saved-graph, printing, gallery and saved-graph browser windows.
void RegisterGraphImageWindows(Program& p);

} // namespace hv
