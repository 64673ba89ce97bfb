#include "core/ui/corewindows.h"

#include "core/program.h"
#include "core/ui/frmcontact.h"
#include "core/ui/frmmain.h"
#include "core/ui/frmsplash.h"

namespace hv {

void RegisterCoreWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("frmMain"), [&p] { return new frmMain(p); });
    p.windows.registerFactory(QStringLiteral("frmSplash"), [&p] { return new frmSplash(p); });
    p.windows.registerFactory(QStringLiteral("frmContact"), [&p] { return new frmContact(p); });
}

} // namespace hv
