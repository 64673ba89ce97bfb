#pragma once
#include <memory>

#include "maintenance/ui/recordeditorwindow.h"
#include "platform/database.h"

namespace hv {

// The plant's own event types (IDs above 5) for the event list of the readings.
class frmEvent : public RecordEditorWindow {
    Q_OBJECT
public:
    explicit frmEvent(Program& p, QWidget* parent = nullptr);

    bool Form_Load() override;
    void cmdAdd_Click() override;
    void cmdUpdate_Click() override;

protected:
    QString noRecordText() const override;

private:
    std::unique_ptr<Database> db_;
};

} // namespace hv
