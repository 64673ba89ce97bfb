#include "platform/statuspanels.h"

namespace hv {

void StatusPanels::setText(int panel, const QString& text) {
    if (panel < 1 || panel > 3) return;
    texts_[size_t(panel - 1)] = text;
    emit changed(panel, text);
}

QString StatusPanels::text(int panel) const {
    if (panel < 1 || panel > 3) return {};
    return texts_[size_t(panel - 1)];
}

void StatusPanels::setBusy(bool busy) {
    if (busy_ == busy) return;
    busy_ = busy;
    emit busyChanged(busy);
}

} // namespace hv
