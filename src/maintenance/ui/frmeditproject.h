#pragma once
#include <QCheckBox>
#include <map>
#include <memory>
#include <vector>

#include "maintenance/ui/recordeditorwindow.h"
#include "platform/database.h"

namespace hv {

// Shows a project train's reference row and deletes the train with every row it owns.
class frmEditProject : public RecordEditorWindow {
    Q_OBJECT
public:
    explicit frmEditProject(Program& p, QWidget* parent = nullptr);

    DropDownCombo* cbProject = nullptr;
    QPushButton* cmdGo = nullptr;
    QPushButton* cmdExit = nullptr;
    std::vector<QLabel*> lblElementModel; // system, banks 1 to 3
    QLabel* lblDel = nullptr;
    QLabel* lblReference = nullptr;
    std::map<int, QCheckBox*> chkFields; // 2 TrainsSame, 3 SystemData

    QString LoadedProjectID;
    qint16 LoadedTrainNumber = 0;

    bool Form_Load() override;
    void FillBox();
    void cmdGo_Click();
    void cbProject_DropDown();
    void cmdDelete_Click() override;

protected:
    void reportError(const DbError& e) override;
    void recordShown() override;
    void recordChanged() override { DataChanged = true; }
    void Form_Unload() override;

private:
    QString elementModel(const char* column) const;
    std::unique_ptr<Database> db_;
};

} // namespace hv
