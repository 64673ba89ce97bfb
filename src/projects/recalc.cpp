#include "projects/recalc.h"

#include "core/program.h"
#include "normalization/recalculate.h"

namespace hv {

bool RecalculateCurrentProject(Program& p) {
    return RecalculateProject(p, p.CurrentProject.ProjectID, p.CurrentProject.TrainNumber);
}

} // namespace hv
