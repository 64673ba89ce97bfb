#include "maintenance/ui/exchangewindows.h"

#include "core/program.h"

namespace hv {

void RegisterExchangeWindows(Program& p) {
    (void)p;
}

}  // namespace hv
