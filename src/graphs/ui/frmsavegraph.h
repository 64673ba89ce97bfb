#pragma once
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace hv {

struct Program;

// "Save Graph": asks for the name a graph is saved under and whether an existing name of
// the current project is replaced. DialogResult: 1 Save, 2 Cancel, 0 closed by the frame.
class frmSaveGraph : public QDialog {
    Q_OBJECT
public:
    // `proposedName` is the saved-graph list's text.
    frmSaveGraph(Program& p, const QString& proposedName, QWidget* parent = nullptr);

    long DialogResult = 0;
    QString GraphName() const { return txtGraphName->text(); }
    // Set when the user agreed to replace a graph of the same name.
    bool OverwriteGraph = false;

    QLabel* Label1 = nullptr;
    QLineEdit* txtGraphName = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdSave_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load(const QString& proposedName);

    Program& p_;
    QString projectId_; // the project whose names the check looks at
};

} // namespace hv
