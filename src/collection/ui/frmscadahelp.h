#pragma once
#include <QLabel>

#include "platform/ui/helpwindow.h"

namespace hv {

// How a row of the data collection window is linked to a plant control system.
class frmScadaHelp : public HelpWindow {
    Q_OBJECT
public:
    explicit frmScadaHelp(QWidget* parent = nullptr);
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
};

} // namespace hv
