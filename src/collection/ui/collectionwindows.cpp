#include "collection/ui/collectionwindows.h"

#include "core/program.h"

namespace hv {

void RegisterCollectionWindows(Program& p) {
    (void)p;
}

}  // namespace hv
