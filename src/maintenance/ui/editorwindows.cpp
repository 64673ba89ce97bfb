#include "maintenance/ui/editorwindows.h"

#include "core/program.h"

namespace hv {

void RegisterEditorWindows(Program& p) {
    (void)p;
}

}  // namespace hv
