#include "maintenance/ui/migrationwindows.h"

#include "core/program.h"

namespace hv {

void RegisterMigrationWindows(Program& p) {
    (void)p;
}

}  // namespace hv
