#include "graphs/ui/graphwindows.h"

#include "core/program.h"

namespace hv {

void RegisterGraphWindows(Program& p) {
    (void)p;
}

}  // namespace hv
