#pragma once
#include <QLabel>
#include <QLineEdit>

#include "graphs/ui/dlgprint.h"

namespace hv {

// Prints a gallery picture under a header with a note the user types.
class dlgPrint2 : public dlgPrint {
    Q_OBJECT
public:
    explicit dlgPrint2(Program& p, QWidget* parent = nullptr);

    QLabel* lblNote = nullptr;
    QLineEdit* txtNote = nullptr;

protected:
    QString HeaderText() const override;
};

} // namespace hv
