#pragma once
#include <QDateTimeEdit>
#include <memory>
#include <vector>

#include "maintenance/ui/recordeditorwindow.h"
#include "platform/database.h"

namespace hv {

// Browses, corrects and deletes the stored readings of a project train, and offers the
// recalculation on closing when readings were changed.
class frmEditData : public RecordEditorWindow {
    Q_OBJECT
public:
    explicit frmEditData(Program& p, QWidget* parent = nullptr);

    DropDownCombo* cbProject = nullptr;
    QPushButton* cmdGo = nullptr;
    QDateTimeEdit* DTPicker1 = nullptr;
    QPushButton* cmdSkip = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmdDelAll = nullptr;
    std::vector<QLabel*> lblDel; // 0 "Deleting", 1 the count, 2 "of" the total
    QPushButton* Command1 = nullptr;
    QLabel* lblReference = nullptr;

    QString SelectedProjectID;
    qint16 SelectedTrainNumber = 0;
    // Every project train whose readings were changed (stored) while the window was open.
    std::vector<TrainKey> ChangedTrains;

    bool Form_Load() override;
    void cmdGo_Click();
    void cbProject_Change();
    void cbProject_DropDown();
    void SkipToDate();
    void cmdSkip_Click() { SkipToDate(); }
    void DTPicker1_KeyPress(int key);
    void DTPicker1_Change();
    void cmdDelAll_Click();
    void cmdDelete_Click() override;

protected:
    QString noRecordText() const override;
    void recordChanged() override;
    void Form_Unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setRecordButtons(bool enabled, bool navigation);
    std::unique_ptr<Database> db_;
};

} // namespace hv
