#pragma once

namespace hv {

struct Program;

// Registers the migration dialog with the window registry.
void RegisterMigrationWindows(Program& p);

} // namespace hv
