#include "graphs/ui/graphimagewindows.h"

#include "core/program.h"

namespace hv {

void RegisterGraphImageWindows(Program& p) {
    (void)p;
}

}  // namespace hv
