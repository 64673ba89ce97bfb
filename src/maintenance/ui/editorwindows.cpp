#include "maintenance/ui/editorwindows.h"

#include "core/program.h"
#include "maintenance/ui/frmeditdata.h"
#include "maintenance/ui/frmeditproject.h"
#include "maintenance/ui/frmelementspecs.h"
#include "maintenance/ui/frmevent.h"
#include "maintenance/ui/frmuserdefined.h"

namespace hv {

namespace {

// A window whose records cannot be read has said why and is not shown.
template <class Window> WindowRegistry::Factory editor(Program& p) {
    return [&p]() -> QWidget* {
        auto* w = new Window(p);
        if (w->Form_Load()) return w;
        delete w;
        return nullptr;
    };
}

} // namespace

void RegisterEditorWindows(Program& p) {
    p.windows.registerFactory(QStringLiteral("frmEditProject"), editor<frmEditProject>(p));
    p.windows.registerFactory(QStringLiteral("frmEvent"), editor<frmEvent>(p));
    p.windows.registerFactory(QStringLiteral("frmElementSpecs"), editor<frmElementSpecs>(p));
    p.windows.registerFactory(QStringLiteral("frmUserDefined"), editor<frmUserDefined>(p));
    p.windows.registerFactory(QStringLiteral("frmEditData"), editor<frmEditData>(p));
}

} // namespace hv
