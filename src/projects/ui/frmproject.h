#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <map>
#include <vector>

#include "core/projecttrainkey.h"
#include "platform/ui/dropdowncombo.h"
#include "projects/formproject.h"
#include "projects/projectboxes.h"

namespace hv {

struct Program;
class RunError;

// The project window: selects a project train as the current project, shows and edits
// its reference data, and creates new projects with the wizard. The main window sets
// ProjectSelectMode, ProjectEditMode or ProjectCreateMode before it makes a fresh one.
class frmProject : public QWidget {
    Q_OBJECT
public:
    explicit frmProject(Program& p, QWidget* parent = nullptr);

    DropDownCombo* cbProject = nullptr;
    QPushButton* cmdGo = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdCreate = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* btnUnitCMH = nullptr;
    QPushButton* btnUnitCMD = nullptr;
    QPushButton* btnUnitUS = nullptr;
    QPushButton* btnUnitCustom = nullptr;
    QLineEdit* txtNewProject = nullptr;
    QLineEdit* txtDescription = nullptr;
    QLineEdit* txtElapsedTime = nullptr;
    QLineEdit* txtNumTrains = nullptr;
    QLineEdit* txtTrainNumber = nullptr;
    QCheckBox* chk2Bank = nullptr;
    QCheckBox* chkSystemData = nullptr;
    QCheckBox* chkAllTrains = nullptr;
    QLabel* lblDirections = nullptr;
    QLabel* lblReference = nullptr;
    std::vector<QRadioButton*> optBanks; // 0..3
    std::vector<QLineEdit*> txtData;     // 0..26
    std::vector<QComboBox*> cboElements; // 0..3
    std::map<int, QLineEdit*> txtFields; // row + column: rows 100..500, columns 0..3
    std::map<int, QLabel*> lblFields;    // 0..26, 99, 100
    std::map<int, QLabel*> lblUnits;     // 0..26, 100..103
    std::map<int, QLabel*> lblLabels;

    // Window state.
    bool SelectReady = false;
    bool CreatingProject = false;
    bool DataValid = false;
    bool WizardDone = false;
    qint16 WizardStep = 0;
    FormProjectRecord FormProject;

    // Handlers.
    void cmdGo_Click();
    void cmdSelect_Click();
    void cbProject_DropDown();
    void cmdEdit_Click();
    void cmdSave_Click();
    void cmdCreate_Click();
    void cmdCancel_Click();
    void cmdBack_Click();
    void cmdNext_Click();
    void cmdClose_Click();
    void btnUnitCMD_Click();
    void btnUnitCMH_Click();
    void btnUnitUS_Click();
    void btnUnitCustom_Click();
    void txtData_KeyPress(int Index, int& KeyAscii);
    void txtData_LostFocus(int Index);
    void txtElapsedTime_KeyPress(int& KeyAscii);
    void txtNumTrains_KeyPress(int& KeyAscii);
    void txtTrainNumber_KeyPress(int& KeyAscii);
    void txtNumTrains_LostFocus();
    void txtTrainNumber_LostFocus();
    void txtNewProject_LostFocus();
    void txtFields_GotFocus(int Index);
    void txtFields_KeyPress(int Index, int& KeyAscii);
    void txtFields_LostFocus(int Index);
    void cboElements_LostFocus(int Index);

    // Procedures.
    void InitializeForm();
    void FillComboBoxes();
    void ConfigureForm();
    void GetRSData();
    void GetFormData();
    bool SaveNewProject();
    bool UpdateProject();
    void LoadMyProject();
    void CreateNewProject(int direction);
    void ValidatenewData();
    void ConfigElements();
    void CalcFlux();
    void EnableControls();
    void DisableControls();
    void ConfigUnits();

    // The boxes' texts for the logic, and back.
    ProjectBoxes boxes() const;
    void setBoxes(const ProjectBoxes& b);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void nameControls();
    void fitToScreen();
    void connectHandlers();
    void Form_Load();
    void makeCurrent();
    bool refuseWhileCollecting();
    ProjectTrainKey listedTrain() const;
    void showRowUnits(int flowUnit, int pressUnit, int tempUnit);
    void focusOn(const FocusTarget& target);
    void reportDbError(const RunError& e);
    int dataIndexOf(const QObject* w) const;
    int fieldIndexOf(const QObject* w) const;
    bool hasKeyFilter(const QWidget* w) const;
    bool keyPressFor(QWidget* w, int& key);
    int bankCount() const;

    // The train on display: an edit is stored into its row, whatever the list shows by the
    // time it is saved.
    ProjectTrainKey shownKey_;
    // The numbers behind the boxes' texts (only the held parts are used).
    ProjectBoxes held_;
    // The record the boxes gave as the train was shown: what an edit left alone.
    FormProjectRecord shownRecord_;
    // The boxes typed into since then.
    TypedBoxes typedBoxes_;
    bool fitted_ = false;
    int convertedReadings_ = 0; // readings the last save converted to new units
    bool typedUnsaved_ = false; // the wizard holds values the user typed and nothing stored them

    Program& p_;
};

} // namespace hv
