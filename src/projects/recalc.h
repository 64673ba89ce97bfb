#pragma once

namespace hv {

struct Program;

// Recalculates every stored reading of the current project train. False when no
// recalculation is available to the program.
bool RecalculateCurrentProject(Program& p);

}  // namespace hv
