#include "maintenance/ui/migrationwindows.h"

#include "core/program.h"
#include "maintenance/ui/dlgmigrate.h"

namespace hv {

void RegisterMigrationWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("dlgMigrate"), [&p] { return new dlgMigrate(p); });
}

} // namespace hv
