#include "platform/bulkwork.h"

#include <QCoreApplication>

#include "platform/statuspanels.h"

namespace hv {

RunProgress& NoProgress() {
    // Holds no state, so one serves every run.
    static RunProgress none;
    return none;
}

StatusPanelsProgress::StatusPanelsProgress(StatusPanels& panels, bool* stop) : panels_(panels), stop_(stop) {
    if (stop_) *stop_ = false;
}

StatusPanelsProgress::~StatusPanelsProgress() {
    if (stop_) *stop_ = false;
}

void StatusPanelsProgress::setStatus(int panel, const QString& text) {
    panels_.setText(panel, text);
}

void StatusPanelsProgress::setBusy(bool busy) {
    panels_.setBusy(busy);
}

bool StatusPanelsProgress::yieldAndCheckCancel() {
    if (!stop_) return false;
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    return *stop_;
}

} // namespace hv
