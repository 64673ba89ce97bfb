#include "collection/ui/collectionwindows.h"

#include "collection/ui/frmdata.h"
#include "core/program.h"

namespace hv {

void RegisterCollectionWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("frmData"), [&p] { return new frmData(p); });
}

} // namespace hv
