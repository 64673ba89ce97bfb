#include "projects/recalc.h"

#include "core/program.h"
#if __has_include("normalization/recalculate.h")
#include "normalization/recalculate.h"
#define HEVRIN_HAS_RECALCULATE 1
#endif

namespace hv {

bool RecalculateCurrentProject(Program& p) {
#ifdef HEVRIN_HAS_RECALCULATE
    RecalculateProject(p, p.CurrentProject.ProjectID, p.CurrentProject.TrainNumber);
    return true;
#else
    if (!p.RecalculateProject) return false;
    p.RecalculateProject(p.CurrentProject.ProjectID, p.CurrentProject.TrainNumber);
    return true;
#endif
}

}  // namespace hv
