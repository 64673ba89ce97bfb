#pragma once

namespace hv {

struct Program;

// Recalculates every stored reading of the current project train; false when the user
// stopped it.
bool RecalculateCurrentProject(Program& p);

} // namespace hv
