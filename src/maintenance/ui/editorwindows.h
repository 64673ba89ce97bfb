#pragma once

namespace hv {

struct Program;

// Registers the record editors with the window registry.
void RegisterEditorWindows(Program& p);

} // namespace hv
