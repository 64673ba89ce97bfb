#pragma once
#include <memory>
#include <vector>

#include "maintenance/ui/recordeditorwindow.h"
#include "platform/database.h"
#include "platform/ui/helpwindow.h"

namespace hv {

// The user's own membrane elements (Custom rows of the element database). Closing the
// window reloads the program's element tables so the changes reach every project.
class frmElementSpecs : public RecordEditorWindow {
    Q_OBJECT
public:
    explicit frmElementSpecs(Program& p, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    std::vector<QPushButton*> cmdHelp; // 0..4, each "Explain"

    bool Form_Load() override;
    void cmdUpdate_Click() override;
    void cmdDelete_Click() override;
    void cmdHelp_Click(int index);

protected:
    QString noRecordText() const override;
    void addDefaults() override;
    void Form_Unload() override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<Database> db_; // the element database, on the window's own connection
};

// What the DP coefficient means, with a typical curve.
class frmElementSpecHelp : public HelpWindow {
    Q_OBJECT
public:
    explicit frmElementSpecHelp(QWidget* parent = nullptr);
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* cmdClose = nullptr;
};

} // namespace hv
