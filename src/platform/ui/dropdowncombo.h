#pragma once
#include <QComboBox>

namespace hv {

// A list that tells when it is dropped down, so its items can be read afresh first.
class DropDownCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void dropDown();
};

} // namespace hv
