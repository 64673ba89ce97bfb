#include "graphs/ui/graphwindows.h"

#include <QFileInfo>

#include "core/program.h"
#include "graphs/ui/frmgraphconfig.h"
#include "graphs/ui/frmgraphs.h"

namespace hv {

void RegisterGraphWindows(Program& p) {
    p.windows.registerFactory("frmGraphs", [&p]() -> QWidget* {
        // The graph manager reads the project database from its first activation on.
        if (p.ProjectDatabasePath.isEmpty() || !QFileInfo::exists(p.ProjectDatabasePath)) {
            p.prompts.message("No project database is open.", Buttons::OK, Icon::Information,
                              "Hevrin Graphs");
            return nullptr;
        }
        return new frmGraphs(p);
    });
    p.windows.registerFactory("frmGraphConfig", [&p]() -> QWidget* {
        auto* owner = p.windows.findAs<frmGraphs>("frmGraphs");
        GraphStyle style;
        if (owner)
            style = owner->Style;
        else
            LoadGraphStyles(p, style);
        return new frmGraphConfig(p, style, owner);
    });
}

} // namespace hv
