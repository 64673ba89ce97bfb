#include "maintenance/ui/frmeditproject.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>

#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "maintenance/exchangefile.h"
#include "maintenance/projectdeletion.h"

namespace hv {

namespace {

// Box index and column; there are no boxes 55 and 56.
const std::vector<std::pair<int, const char*>> Fields = {{0, "ProjectID"},
                                                         {1, "TrainNumber"},
                                                         {2, "ConcPressure_1"},
                                                         {3, "PermFlow_3"},
                                                         {4, "DateReference"},
                                                         {5, "ElapsedTimeRef"},
                                                         {6, "PermFlow"},
                                                         {7, "PermFlow_1"},
                                                         {8, "PermFlow_2"},
                                                         {9, "PermuS"},
                                                         {10, "PermuS_1"},
                                                         {11, "PermuS_2"},
                                                         {12, "PermBackPress"},
                                                         {13, "PermBackPress_1"},
                                                         {14, "PermBackPress_2"},
                                                         {15, "NumBanks"},
                                                         {16, "NumElementsBank"},
                                                         {17, "NumElementsBank_1"},
                                                         {18, "NumElementsBank_2"},
                                                         {19, "NumTrains"},
                                                         {20, "AreaBank"},
                                                         {21, "AreaBank_1"},
                                                         {22, "AreaBank_2"},
                                                         {23, "ConcFlow"},
                                                         {24, "ConcPressure"},
                                                         {25, "ConcuS"},
                                                         {26, "FeedFlow"},
                                                         {27, "FeedPressure"},
                                                         {28, "FeedPressure_2"},
                                                         {29, "FeedTemp"},
                                                         {30, "FeeduS"},
                                                         {31, "unitFlow"},
                                                         {32, "unitFlux"},
                                                         {33, "unitPress"},
                                                         {34, "unitTemp"},
                                                         {35, "CapacityM3D"},
                                                         {36, "DeltaPress"},
                                                         {37, "DeltaPress_1"},
                                                         {38, "DeltaPress_2"},
                                                         {39, "ElementType"},
                                                         {40, "ElementType_1"},
                                                         {41, "ElementType_2"},
                                                         {42, "Notes1"},
                                                         {43, "RefpH"},
                                                         {44, "FeedType"},
                                                         {45, "PermuS_3"},
                                                         {46, "Country"},
                                                         {47, "PermBackPress_3"},
                                                         {48, "DateInstallation"},
                                                         {49, "DateStartUp"},
                                                         {50, "DefaultUnits"},
                                                         {51, "Density"},
                                                         {52, "Description"},
                                                         {53, "OverallRecovery"},
                                                         {54, "ElementType_3"},
                                                         {57, "NumElementsBank_3"},
                                                         {58, "AreaBank_3"},
                                                         {59, "ConcPressure_2"},
                                                         {60, "FeedPressure_3"},
                                                         {61, "DeltaPress_3"}};

QString caption(int index, const QString& column) {
    switch (index) {
    case 39:
        return "ElementType ID:";
    case 40:
        return "ElementType_1 ID";
    case 41:
        return "ElementType_2 ID";
    case 54:
        return "ElementType_3 ID";
    default:
        return column + ":";
    }
}

QStringList selectedColumns() {
    return QStringList{"ProjectID",  "TrainNumber",   "TrainsSame",
                       "SystemData", "DateReference", "ElapsedTimeRef"} +
           ProjectPermeateColumns() + QStringList{"ConcFlow", "ConcPressure_1", "ConcPressure", "ConcuS"} +
           ProjectFeedColumns() + QStringList{"Notes1",           "RefpH",           "FeedType",
                                              "AvgConc",          "Country",         "dataExists",
                                              "DateInstallation", "DateStartUp",     "DefaultUnits",
                                              "Density",          "Description",     "OverallRecovery",
                                              "PermFlow_3",       "PermuS_3",        "FeedPressure_3",
                                              "ConcPressure_2",   "PermBackPress_3", "NumElementsBank_3",
                                              "DeltaPress_3",     "AreaBank_3",      "ElementType_3"};
}

} // namespace

frmEditProject::frmEditProject(Program& p, QWidget* parent) : RecordEditorWindow(p, "ProjectInfo", parent) {
    auto* top = new QHBoxLayout;
    cbProject = new DropDownCombo(this);
    cbProject->setObjectName("cbProject");
    cbProject->setMinimumWidth(260);
    cmdGo = new QPushButton("GO", this);
    cmdGo->setObjectName("cmdGo");
    cmdGo->setAutoDefault(false);
    cmdExit = new QPushButton("Close/Exit", this);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setAutoDefault(false);
    lblDel = new QLabel(this);
    lblDel->setObjectName("lblDel");
    top->addWidget(cbProject);
    top->addWidget(cmdGo);
    top->addWidget(lblDel, 1);
    top->addWidget(cmdExit);
    body_->addLayout(top);
    lblReference = addDirectEditNote();

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    constexpr int PerRow = 4;
    int slot = 0;
    // A project ID of 20 characters and the dates to the second show whole.
    const QString date = ShortDateTimeText(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)));
    for (const auto& [index, column] : Fields) {
        QLineEdit* box =
            addField(grid, slot / PerRow, (slot % PerRow) * 2, index, column, caption(index, column), false);
        if (QLatin1String(column) == QLatin1String("ProjectID")) fitBoxTo(box, QString(20, QLatin1Char('N')));
        if (QLatin1String(column).startsWith(QLatin1String("Date"))) fitBoxTo(box, date);
        ++slot;
    }
    const std::pair<int, const char*> checks[] = {{2, "TrainsSame"}, {3, "SystemData"}};
    for (const auto& [index, column] : checks) {
        auto* c = new QCheckBox(column, this);
        c->setObjectName(QString("chkFields_%1").arg(index));
        c->setEnabled(false);
        grid->addWidget(c, slot / PerRow, (slot % PerRow) * 2 + 1);
        chkFields[index] = c;
        ++slot;
    }
    const char* models[] = {"ElementType:", "ElementType_1:", "ElementType_2:", "ElementType_3:"};
    const int modelRow = (slot + PerRow - 1) / PerRow;
    for (int i = 0; i < 4; ++i) {
        auto* caption = new QLabel(models[i], this);
        caption->setObjectName(QString("lblModelCaption_%1").arg(i));
        auto* model = new QLabel(this);
        model->setObjectName(QString("lblElementModel_%1").arg(i));
        grid->addWidget(caption, modelRow, i * 2);
        grid->addWidget(model, modelRow, i * 2 + 1);
        lblElementModel.push_back(model);
    }
    body_->addLayout(grid);
    cmdAdd->setEnabled(false);
    cmdAdd->hide();
    cmdEdit->setEnabled(false);
    resize(1180, 640);
    finishForm();

    connect(cmdGo, &QPushButton::clicked, this, &frmEditProject::cmdGo_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmEditProject::cmdClose_Click);
    connect(cbProject, &DropDownCombo::dropDown, this, &frmEditProject::cbProject_DropDown);
}

bool frmEditProject::Form_Load() {
    if (!openProjectList(db_, cbProject)) return false;
    cmdGo_Click();
    return true;
}

void frmEditProject::FillBox() {
    trap([this] { fillProjectList(cbProject, *db_, false); });
}

void frmEditProject::cmdGo_Click() {
    if (busy_) return;
    const std::optional<TrainKey> key = trainToOpen(cbProject);
    if (!key) return;
    LoadedProjectID = key->projectId;
    LoadedTrainNumber = key->train;
    try {
        auto rs = TrainProjectRecord(*db_, selectedColumns(), LoadedProjectID, LoadedTrainNumber);
        // Before the first record is shown, so that its dates are in the computer's form too.
        rs->setDateColumns({"DateReference", "DateInstallation", "DateStartUp"});
        bind(std::move(rs));
    } catch (const DbError& e) {
        message(e.description());
        return;
    }
    cmdDelete->setEnabled(true);
    cmdUpdate->setEnabled(true);
    cmdEdit->setEnabled(false);
    lblDel->clear();
    if (!adoPrimaryRS->hasCurrent()) {
        // The project train vanished meanwhile.
        FillBox();
        cmdRefresh_Click();
    }
}

QString frmEditProject::elementModel(const char* column) const {
    // A Null or unknown element type shows nothing rather than stopping the window.
    const QVariant v = adoPrimaryRS->hasColumn(column) ? adoPrimaryRS->value(column) : QVariant();
    if (conv::isNull(v)) return QString();
    bool ok = false;
    const int index = v.toInt(&ok);
    if (!ok || index < 0 || size_t(index) >= p_.ElementTable.size()) return QString();
    return p_.ElementTable[size_t(index)].Model;
}

void frmEditProject::recordShown() {
    for (auto& [index, box] : chkFields) {
        const char* column = index == 2 ? "TrainsSame" : "SystemData";
        bool on = false;
        if (adoPrimaryRS && adoPrimaryRS->rowRead() && adoPrimaryRS->hasColumn(column)) {
            const QVariant v = adoPrimaryRS->value(column);
            on = !conv::isNull(v) && v.toDouble() != 0;
        }
        box->setChecked(on);
    }
    if (!adoPrimaryRS || !adoPrimaryRS->rowRead()) {
        for (QLabel* l : lblElementModel)
            l->clear();
        return;
    }
    const QVariant banks = adoPrimaryRS->value("NumBanks");
    const int numBanks = conv::isNull(banks) ? 1 : banks.toInt();
    lblElementModel[0]->setText(elementModel("ElementType"));
    if (numBanks == 1) {
        for (int i = 1; i <= 3; ++i)
            lblElementModel[size_t(i)]->setText("NA");
        return;
    }
    lblElementModel[1]->setText(elementModel("ElementType_1"));
    lblElementModel[2]->setText(elementModel("ElementType_2"));
    lblElementModel[3]->setText(numBanks == 3 ? elementModel("ElementType_3") : QString("NA"));
}

void frmEditProject::cbProject_DropDown() {
    cmdDelete->setEnabled(false);
    cmdUpdate->setEnabled(false);
    cmdEdit->setEnabled(false);
    QCoreApplication::processEvents();
}

void frmEditProject::reportError(const DbError& e) {
    if (e.number() == dberr::NoCurrentRecord)
        FillBox();
    else
        message(e.description());
}

void frmEditProject::cmdDelete_Click() {
    if (busy_) return;
    // The train must match too: the list may show another train of the loaded project.
    const std::optional<TrainKey> key = chosenTrain(cbProject);
    if (!key || key->projectId != LoadedProjectID || key->train != LoadedTrainNumber || !adoPrimaryRS) {
        message(GetMlString(798, "Please select the 'GO' button firt to validate your selection"));
        return;
    }
    // Data entry and the spreadsheet import store under the current train until they close.
    if (LoadedProjectID == p_.CurrentProject.ProjectID &&
        LoadedTrainNumber == p_.CurrentProject.TrainNumber) {
        const QString window = CollectingWindowOpen(p_);
        if (!window.isEmpty()) {
            message(window + " is still open. Please <Close and Exit> " + window + " first");
            return;
        }
    }
    if (p_.prompts.message(GetMlString(799, "This will DELETE all Project Data as well. Continue?"),
                           Buttons::OKCancel, Icon::None, Title) != Answer::OK)
        return;
    setBusy(true);
    try {
        const qint64 readings = ProjectTrainReadingCount(*db_, LoadedProjectID, LoadedTrainNumber);
        QStringList done;
        if (readings == 0) {
            message(GetMlString(801,
                                "There is no Project Data to delete. The project information only will be "
                                "deleted."));
            done << GetMlString(802, "Deleted -0- Data Records");
            lblDel->setText(done.first());
        }
        const ProjectDeletion result = DeleteProjectTrain(
            *db_, LoadedProjectID, LoadedTrainNumber, [this, &done](DeletedTable table, qint64 count) {
                lblDel->setText((done + QStringList{DeletedCountText(table, count)}).join('\n'));
                QCoreApplication::processEvents();
            });
        for (size_t i = 0; i < result.counts.size(); ++i)
            if (result.counts[i] > 0 || (i == 0 && readings > 0))
                done << DeletedCountText(DeletedTable(i), result.counts[i]);
        if (!done.isEmpty()) lblDel->setText(done.join('\n'));
        if (result.projectRows > 0) DataChanged = true;
        // Whatever the window shows next, the main window no longer has the deleted train loaded.
        if (LoadedProjectID == p_.CurrentProject.ProjectID &&
            LoadedTrainNumber == p_.CurrentProject.TrainNumber)
            p_.CurrentProjectLoaded = false;
    } catch (const DbError& e) {
        setBusy(false);
        message(e.description());
        return;
    }
    setBusy(false);
    trap([this] {
        adoPrimaryRS->requery();
        if (!adoPrimaryRS->hasCurrent()) adoPrimaryRS->moveLast(); // 3021: the list is refilled
    });
}

void frmEditProject::Form_Unload() {
    if (DataChanged && LoadedProjectID == p_.CurrentProject.ProjectID &&
        LoadedTrainNumber == p_.CurrentProject.TrainNumber)
        p_.CurrentProjectLoaded = false;
    DataChanged = false;
}

} // namespace hv
