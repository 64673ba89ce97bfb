#pragma once
#include <memory>

#include "maintenance/ui/recordeditorwindow.h"
#include "platform/database.h"

class QLabel;

namespace hv {

// Names and units of the five user-definable measurements of the current project.
class frmUserDefined : public RecordEditorWindow {
    Q_OBJECT
public:
    explicit frmUserDefined(Program& p, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;

    bool Form_Load() override;
    void txtFields_GotFocus(int index);
    bool txtFields_KeyPress(int index, int key); // true when the key was taken

protected:
    bool keepsAddHidden() const override { return true; }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Database> db_;
};

} // namespace hv
