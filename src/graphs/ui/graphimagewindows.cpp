#include "graphs/ui/graphimagewindows.h"

#include "core/program.h"
#include "graphs/ui/dlgprint.h"
#include "graphs/ui/dlgprint2.h"
#include "graphs/ui/frmeditsavedgraphs.h"
#include "graphs/ui/frmprintgraph.h"

namespace hv {

void RegisterGraphImageWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("dlgPrint"), [&p] { return new dlgPrint(p); });
    p.windows.registerFactory(QStringLiteral("dlgPrint2"), [&p] { return new dlgPrint2(p); });
    p.windows.registerFactory(QStringLiteral("frmPrintGraph"), [&p] { return new frmPrintGraph(p); });
    p.windows.registerFactory(QStringLiteral("frmEditSavedGraphs"), [&p]() -> QWidget* {
        auto* w = new frmEditSavedGraphs(p);
        if (!w->Form_Load()) {
            delete w;
            return nullptr;
        }
        return w;
    });
}

} // namespace hv
