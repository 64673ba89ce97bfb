#include "projects/recalc.h"

#include "core/program.h"
#include "normalization/recalculate.h"

namespace hv {

bool RecalculateCurrentProject(Program& p) {
    try {
        return RecalculateProject(p, p.CurrentProject.ProjectID, p.CurrentProject.TrainNumber);
    } catch (const RunError& e) {
        // The project run reports nothing of its own; a database failure must not end the program.
        p.prompts.message("Error #" + QString::number(e.number()) + " " + e.description(), Buttons::OK,
                          Icon::Critical, Title);
        return false;
    }
}

} // namespace hv
