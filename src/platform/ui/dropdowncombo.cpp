#include "platform/ui/dropdowncombo.h"

namespace hv {

void DropDownCombo::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

} // namespace hv
