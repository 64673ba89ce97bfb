#include "graphs/ui/frmgraphs.h"

#include "core/datatables.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>

#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "core/ui/named.h"
#include "graphs/grapher.h"
#include "graphs/graphmanager.h"
#include "graphs/savedgraphs.h"
#include "graphs/ui/chartview.h"
#include "graphs/ui/dlgprint.h"
#include "graphs/ui/frmgraphconfig.h"
#include "graphs/ui/frmprintgraph.h"
#include "graphs/ui/frmsavegraph.h"
#include "platform/dberror.h"

namespace hv {

namespace {

const char* GraphsTitle = "Hevrin Graphs";

// The project train each item of the project list carries.
std::vector<ProjectTrainKey> projectItems(const QComboBox* list) {
    std::vector<ProjectTrainKey> items;
    for (int i = 0; i < list->count(); ++i)
        items.push_back(ProjectTrainOf(list->itemData(i, ProjectIdRole), list->itemData(i, TrainNumberRole)));
    return items;
}

// Selects the project list's item of the train drawn, without the handler that would draw again.
void showProjectItem(QComboBox* list, const QString& project, qint16 train) {
    const QSignalBlocker block(list);
    list->setCurrentIndex(ProjectItemIndex(projectItems(list), project, train));
}

} // namespace

frmGraphs::frmGraphs(Program& p, QWidget* parent) : QWidget(parent, Qt::Window), p_(p) {
    setObjectName("frmGraphs");
    setWindowTitle(GraphsTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    // Form_Load: the first activation reloads everything.
    ReloadOnActivate = true;
}

frmGraphs::~frmGraphs() = default;

void frmGraphs::build() {
    auto* panel = new QWidget(this);
    // Wide enough for the longest series name and a built-in event line of the list.
    panel->setFixedWidth(380);
    auto* g = new QGridLayout(panel);
    g->setContentsMargins(4, 4, 4, 4);
    g->setVerticalSpacing(3);
    int row = 0;

    cbProject = named(new QComboBox(panel), "cbProject");
    g->addWidget(cbProject, row++, 0, 1, 3);
    Label6 = named(new QLabel("Train:", panel), "Label6");
    cboTrain = named(new QComboBox(panel), "cboTrain");
    cboTrain->setEditable(true);
    cboTrain->setInsertPolicy(QComboBox::NoInsert);
    g->addWidget(Label6, row, 0);
    g->addWidget(cboTrain, row++, 1, 1, 2);
    Label8 = named(new QLabel("Select Data To Graph:", panel), "Label8");
    g->addWidget(Label8, row++, 0, 1, 3);
    for (int k = 0; k < 4; ++k) {
        cboSeries.push_back(named(new QComboBox(panel), QString("cboSeries_%1").arg(k)));
        if (k > 0) {
            chkEnableDropDown.push_back(
                named(new QCheckBox(panel), QString("chkEnableDropDown_%1").arg(k - 1)));
            g->addWidget(chkEnableDropDown.back(), row, 0, Qt::AlignRight);
            cboSeries.back()->setVisible(false);
        }
        g->addWidget(cboSeries.back(), row++, 1, 1, 2);
    }
    chkEnableDropDown[1]->setVisible(false);
    chkEnableDropDown[2]->setVisible(false);

    Label1 = named(new QLabel("Start Date:", panel), "Label1");
    Label2 = named(new QLabel("End Date:", panel), "Label2");
    txtStartDate = named(new QLineEdit(ShortDateText(QDate(1998, 5, 23)), panel), "txtStartDate");
    txtEndDate = named(new QLineEdit(ShortDateText(QDate(1998, 6, 1)), panel), "txtEndDate");
    // Dates are typed and shown in the computer's own short form, a time of day optional.
    for (QLineEdit* box : {txtStartDate, txtEndDate}) {
        box->setPlaceholderText(ShortDateHint());
        box->setToolTip(ShortDateHint() + " or " + ShortDateTimeHint());
    }
    lblStartDate = named(new QLabel(panel), "lblStartDate");
    lblEndDate = named(new QLabel(panel), "lblEndDate");
    g->addWidget(Label1, row, 0);
    g->addWidget(txtStartDate, row, 1, 1, 2);
    g->addWidget(lblStartDate, row++, 1, 1, 2);
    g->addWidget(Label2, row, 0);
    g->addWidget(txtEndDate, row, 1, 1, 2);
    g->addWidget(lblEndDate, row++, 1, 1, 2);
    ChkAllDates = named(new QCheckBox(panel), "ChkAllDates");
    Label4 = named(new QLabel("Show All Dates", panel), "Label4");
    Label4->setToolTip("Tip - To see reference data on the graph be sure Show All Dates is checked.");
    ChkAllDates->setToolTip(Label4->toolTip());
    g->addWidget(ChkAllDates, row, 0, Qt::AlignRight);
    g->addWidget(Label4, row++, 1, 1, 2);
    Option1.push_back(named(new QRadioButton("Date", panel), "Option1_0"));
    Option1.push_back(named(new QRadioButton("Elapsed Time", panel), "Option1_1"));
    g->addWidget(Option1[0], row, 1);
    g->addWidget(Option1[1], row++, 2);
    chkShowEvents = named(new QCheckBox(panel), "chkShowEvents");
    Label5 = named(new QLabel("Show Events", panel), "Label5");
    g->addWidget(chkShowEvents, row, 0, Qt::AlignRight);
    g->addWidget(Label5, row++, 1, 1, 2);
    lblEvents = named(new QLabel("Events:", panel), "lblEvents");
    lstEvents = named(new QListWidget(panel), "lstEvents");
    lstEvents->setFixedHeight(96);
    g->addWidget(lblEvents, row++, 0, 1, 3);
    g->addWidget(lstEvents, row++, 0, 1, 3);
    chkShowTarget = named(new QCheckBox("Show recommended cleaning value", panel), "chkShowTarget");
    g->addWidget(chkShowTarget, row++, 0, 1, 3);
    lblMax.push_back(named(new QLabel(CleaningLevelBox, panel), "lblMax_0"));
    lblMax.push_back(named(new QLabel("Line width", panel), "lblMax_1"));
    txtLineValue = named(new QLineEdit("0", panel), "txtLineValue");
    txtWidth = named(new QLineEdit("2", panel), "txtWidth");
    lblMax[0]->setWordWrap(true);
    g->addWidget(lblMax[0], row, 0, 1, 2);
    g->addWidget(txtLineValue, row++, 2);
    g->addWidget(lblMax[1], row, 0, 1, 2);
    g->addWidget(txtWidth, row++, 2);
    Label10 = named(new QLabel("Graph Custom Title", panel), "Label10");
    txtTitle = named(new QLineEdit(panel), "txtTitle");
    txtTitle->setMaxLength(51);
    g->addWidget(Label10, row++, 0, 1, 3);
    g->addWidget(txtTitle, row++, 0, 1, 3);
    Label3 = named(new QLabel("Saved Graphs:", panel), "Label3");
    cboMyGraphs = named(new QComboBox(panel), "cboMyGraphs");
    // Saved names are the user's own and may be long: the list takes the panel's width.
    g->addWidget(Label3, row++, 0, 1, 3);
    g->addWidget(cboMyGraphs, row++, 0, 1, 3);
    Label7 = named(new QLabel("Primary Graphs:", panel), "Label7");
    cboDefaultGraphs = named(new QComboBox(panel), "cboDefaultGraphs");
    g->addWidget(Label7, row++, 0, 1, 3);
    g->addWidget(cboDefaultGraphs, row++, 0, 1, 3);
    g->setRowStretch(row, 1);
    g->setColumnMinimumWidth(0, 70);

    lblTitle = named(new QLabel("Project ID", this), "lblTitle");
    QFont tf = lblTitle->font();
    tf.setBold(true);
    lblTitle->setFont(tf);
    Chart2D1 = named(new ChartView(&chart_, this), "Chart2D1");
    lblDateNoon =
        named(new QLabel("Unless otherwise noted, date lines are centered on 12:00 noon. Advanced: Right "
                         "click GRAPH area for additional options. Not all options supported.   To see "
                         "the Reference Data on the chart, please be sure to either Show All Dates or "
                         "manually set the start date to include the reference data date.",
                         this),
              "lblDateNoon");
    lblDateNoon->setWordWrap(true);
    QFont nf = lblDateNoon->font();
    nf.setPointSizeF(nf.pointSizeF() * 0.85);
    lblDateNoon->setFont(nf);
    cmdGraph = named(new QPushButton("Draw Graph", this), "cmdGraph");
    cmdGraph->setDefault(true);
    cmdSave = named(new QPushButton("Save Graph", this), "cmdSave");
    cmdConfigure = named(new QPushButton("Configure...", this), "cmdConfigure");
    cmdDisplay = named(new QPushButton("Save Graph Image as 'svg'", this), "cmdDisplay");
    btnJPG = named(new QPushButton("Save graph image as jpg", this), "btnJPG");
    btnPrint = named(new QPushButton("Print Current Graph", this), "btnPrint");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdGraph, cmdSave, cmdConfigure, cmdDisplay, btnJPG, btnPrint})
        buttons->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addWidget(lblTitle);
    right->addWidget(Chart2D1, 1);
    right->addWidget(lblDateNoon);
    right->addLayout(buttons);
    auto* top = new QHBoxLayout(this);
    top->addWidget(panel);
    top->addLayout(right, 1);
    resize(1240, 720);

    // Design state: all dates, date axis, date boxes disabled, events hidden.
    ChkAllDates->setChecked(true);
    txtStartDate->setEnabled(false);
    txtEndDate->setEnabled(false);
    txtStartDate->setVisible(false);
    txtEndDate->setVisible(false);
    Option1[0]->setChecked(true);
    lstEvents->setVisible(false);
    lblEvents->setVisible(false);
    // The cleaning level takes digits and the decimal separator only, typed or pasted.
    txtLineValue->setValidator(new QRegularExpressionValidator(
        QRegularExpression("[0-9" + QRegularExpression::escape(QLocale().decimalPoint()) + "]*"),
        txtLineValue));

    connect(cbProject, &QComboBox::currentIndexChanged, this, [this] { cbProject_Click(); });
    connect(cboTrain, &QComboBox::activated, this, [this] { cboTrain_Click(); });
    for (int k = 0; k < 4; ++k)
        connect(cboSeries[size_t(k)], &QComboBox::currentIndexChanged, this,
                [this, k] { cboSeries_Click(k); });
    for (int k = 0; k < 3; ++k)
        connect(chkEnableDropDown[size_t(k)], &QCheckBox::toggled, this,
                [this, k] { chkEnableDropDown_Click(k); });
    connect(ChkAllDates, &QCheckBox::toggled, this, &frmGraphs::ChkAllDates_Click);
    for (int k = 0; k < 2; ++k)
        connect(Option1[size_t(k)], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on) Option1_Click(k);
        });
    connect(chkShowEvents, &QCheckBox::toggled, this, &frmGraphs::chkShowEvents_Click);
    connect(txtStartDate, &QLineEdit::editingFinished, this, &frmGraphs::txtStartDate_LostFocus);
    connect(txtEndDate, &QLineEdit::editingFinished, this, &frmGraphs::txtEndDate_LostFocus);
    connect(txtTitle, &QLineEdit::editingFinished, this, &frmGraphs::txtTitle_Commit);
    connect(cboMyGraphs, &QComboBox::activated, this, [this] { cboMyGraphs_Change(); });
    connect(cboDefaultGraphs, &QComboBox::activated, this, &frmGraphs::cboDefaultGraphs_Click);
    // These lists are picked from only: typed letters neither search nor select.
    for (QComboBox* c : cboSeries)
        c->installEventFilter(this);
    cboMyGraphs->installEventFilter(this);
    cboDefaultGraphs->installEventFilter(this);
    connect(cmdGraph, &QPushButton::clicked, this, &frmGraphs::cmdGraph_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmGraphs::cmdSave_Click);
    connect(cmdConfigure, &QPushButton::clicked, this, &frmGraphs::cmdConfigure_Click);
    connect(cmdDisplay, &QPushButton::clicked, this, &frmGraphs::cmdDisplay_Click);
    connect(btnJPG, &QPushButton::clicked, this, &frmGraphs::btnJPG_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmGraphs::btnPrint_Click);
}

void frmGraphs::reportFailure(const QString& what) {
    p_.prompts.message(what, Buttons::OK, Icon::Critical, GraphsTitle);
}

void frmGraphs::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
}

void frmGraphs::keyPressEvent(QKeyEvent* e) {
    // Enter draws, as the default button says; Escape closes, as the window's close does.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        cmdGraph->click();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

bool frmGraphs::eventFilter(QObject* watched, QEvent* e) {
    const bool pickOnly = watched == cboMyGraphs || watched == cboDefaultGraphs ||
                          std::find(cboSeries.begin(), cboSeries.end(), watched) != cboSeries.end();
    if (pickOnly && e->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(e)->text();
        if (!text.isEmpty() && text.at(0).isPrint()) return true;
    }
    return QWidget::eventFilter(watched, e);
}

void frmGraphs::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    Form_Activate();
}

void frmGraphs::Form_Activate() {
    if (ActivationLoading) return;
    if (p_.ProjectDatabasePath == LastActivatedDatabase &&
        p_.CurrentProject.ProjectID == LastActivatedProject && !ReloadOnActivate)
        return;
    LastActivatedDatabase = p_.ProjectDatabasePath;
    LastActivatedProject = p_.CurrentProject.ProjectID;
    ReloadOnActivate = false;
    ActivationLoading = true;
    try {
        LoadCBProject();
        lstEvents->clear();
        lstEvents->setVisible(false);
        lblEvents->setVisible(false);
        GraphProjectID = p_.CurrentProject.ProjectID.isEmpty() ? GetMlString(781, "My Big Project")
                                                               : p_.CurrentProject.ProjectID;
        LoadTrains();
        if (const auto oldest = OldestReading(p_, GraphProjectID)) {
            txtStartDate->setText(FormatBoxDate(*oldest));
            GraphStartDate = *oldest;
            txtEndDate->setText(FormatBoxDate(p_.system.now().date().startOfDay()));
        } else {
            p_.prompts.message(
                GetMlString(932, "No data in this project to graph. Please select another project."),
                Buttons::OK, Icon::Information, GraphsTitle);
        }
        hv::LoadGraphStyles(p_, Style);
        LoadSeriesList();
        LoadMyGraphs();
        FillDefaultGraphs();
    } catch (const RunError& e) {
        reportFailure(e.description());
    }
    cmdGraph_Click();
    ActivationLoading = false;
}

void frmGraphs::LoadCBProject() {
    int select = -1;
    const std::vector<ProjectTrainKey> items = LoadProjectItems(p_, select);
    cbProject->clear();
    for (const ProjectTrainKey& k : items) {
        cbProject->addItem(ProjectTrainText(k));
        cbProject->setItemData(cbProject->count() - 1, k.projectId, ProjectIdRole);
        cbProject->setItemData(cbProject->count() - 1, k.train, TrainNumberRole);
    }
    cbProject->setCurrentIndex(select);
}

void frmGraphs::LoadTrains() {
    cboTrain->clear();
    GraphTrain = p_.CurrentProject.TrainNumber;
    if (const auto n = ReadNumTrains(p_, GraphProjectID)) {
        GraphNumTrains = *n;
        if (GraphTrain == 0) GraphTrain = 1;
        lblTitle->setText(ProjectTitle(GraphProjectID, GraphTrain));
        for (int t = 1; t <= GraphNumTrains; ++t)
            cboTrain->addItem(QString::number(t));
    }
    cboTrain->setCurrentText(QString::number(GraphTrain));
}

void frmGraphs::LoadSeriesList() {
    const auto list = hv::LoadSeriesList(p_, GraphProjectID);
    if (list) {
        SeriesDescriptions = list->descriptions;
        SeriesColumns = list->columns;
    }
    for (QComboBox* c : cboSeries) {
        const QSignalBlocker block(c);
        c->clear();
        if (list) c->addItems(list->descriptions);
        c->setCurrentIndex(-1);
    }
    if (list) cboSeries[0]->setCurrentIndex(list->descriptions.size() > 1 ? 1 : 0);
}

void frmGraphs::ReloadSeriesCaptions() {
    // The same measurements stay picked, named as the newly chosen project names them.
    std::vector<QString> picked;
    for (QComboBox* c : cboSeries)
        picked.push_back(SeriesColumns.value(c->currentIndex()));
    const auto list = hv::LoadSeriesList(p_, GraphProjectID);
    if (!list) return;
    for (int& drawn : DrawnSeries)
        drawn = int(list->columns.indexOf(SeriesColumns.value(drawn)));
    SeriesDescriptions = list->descriptions;
    SeriesColumns = list->columns;
    for (size_t k = 0; k < cboSeries.size(); ++k) {
        QComboBox* c = cboSeries[k];
        const bool drawn = DrawnSeriesIndex[k] == c->currentIndex();
        const QSignalBlocker block(c);
        c->clear();
        c->addItems(list->descriptions);
        c->setCurrentIndex(picked[k].isEmpty() ? -1 : int(list->columns.indexOf(picked[k])));
        if (drawn) DrawnSeriesIndex[k] = c->currentIndex();
    }
}

void frmGraphs::LoadMyGraphs() {
    const QStringList names = LoadMyGraphNames(p_, GraphProjectID, GraphTrain);
    {
        const QSignalBlocker block(cboMyGraphs);
        cboMyGraphs->clear();
        cboMyGraphs->addItems(names);
    }
    if (!names.isEmpty()) {
        cboMyGraphs->setCurrentIndex(int(names.size()) - 1);
        cboMyGraphs_Change();
    }
}

void frmGraphs::cboMyGraphs_Change() {
    std::optional<UserGraphRow> row;
    try {
        row = LoadUserGraph(p_, GraphProjectID, GraphTrain, cboMyGraphs->currentText());
    } catch (const DbError& e) {
        reportFailure(e.description());
        return;
    }
    if (!row) return; // deleted meanwhile: the window stays as it is

    const auto [start, end] = SavedGraphPeriod(*row, p_.system.now().date());
    txtStartDate->setText(FormatBoxDate(start));
    txtEndDate->setText(FormatBoxDate(end, row->EndTimeTyped && end == row->EndDate));

    // Each step sets the list, then the enable boxes, whose handlers show the lists.
    const int count = std::min<int>(row->SensorCount, 4);
    auto show = [this](std::initializer_list<bool> shown) {
        int i = 0;
        for (bool s : shown)
            chkEnableDropDown[size_t(i++)]->setVisible(s);
    };
    for (int k = 1; k <= count; ++k) {
        QComboBox* box = cboSeries[size_t(k - 1)];
        box->setCurrentIndex(FindSeriesIndex(row->SeriesNames.value(k - 1)));
        switch (k) {
        case 1:
            if (box->currentIndex() <= 0) box->setCurrentIndex(0);
            chkEnableDropDown[0]->setChecked(false);
            chkEnableDropDown[1]->setVisible(false);
            chkEnableDropDown[2]->setVisible(false);
            break;
        case 2:
            show({true, true, false});
            chkEnableDropDown[0]->setChecked(true);
            break;
        case 3:
            show({true, true, true});
            chkEnableDropDown[0]->setChecked(true);
            chkEnableDropDown[1]->setChecked(true);
            break;
        default:
            show({true, true, true});
            for (QCheckBox* c : chkEnableDropDown)
                c->setChecked(true);
        }
    }
    if (row->Target > 0) txtLineValue->setText(GeneralNumber(row->Target));
    Style = row->Style;
    // While the window opens, the graph is drawn once, when everything is loaded.
    if (!ActivationLoading) cmdGraph_Click();
}

int frmGraphs::FindSeriesIndex(const QString& description) const {
    return hv::FindSeriesIndex(SeriesDescriptions, description);
}

void frmGraphs::cboDefaultGraphs_Click() {
    chkEnableDropDown[0]->setVisible(true);
    chkEnableDropDown[1]->setChecked(false);
    chkEnableDropDown[2]->setChecked(false);
    chkEnableDropDown[1]->setVisible(false);
    chkEnableDropDown[2]->setVisible(false);
    chkEnableDropDown[0]->setChecked(false);
    const int chosen = cboDefaultGraphs->currentIndex();
    if (chosen >= 0) cboSeries[0]->setCurrentIndex(FindSeriesIndex(PrimaryGraphSeries(chosen)));
    // A custom title named the graph drawn: one series fewer is another graph too.
    if (chosenSeries() != DrawnSeries) {
        txtTitle->clear();
        Style.Header = "None";
    }
    // A primary graph scales to its data.
    Style.YMax = Style.Y2Max = Style.YMin = Style.Y2Min = AutoLimit;
    cmdGraph_Click();
}

void frmGraphs::cmdSave_Click() {
    // The row needs the series count of a drawing and a first series to name.
    if (GraphSeriesCount < 1 || GraphSeriesCount > 4) {
        p_.prompts.message("Please draw the graph before saving it.", Buttons::OK, Icon::Information,
                           GraphsTitle);
        return;
    }
    if (cboSeries[0]->currentIndex() < 0) {
        p_.prompts.message("Please select the data to graph in the first list before saving the graph.",
                           Buttons::OK, Icon::Information, GraphsTitle);
        return;
    }
    if (const auto refusal = PeriodRefusal(txtStartDate->text(), txtEndDate->text())) {
        p_.prompts.message(*refusal, Buttons::OK, Icon::Warning, GraphsTitle);
        return;
    }
    if (!typedCleaningLevel()) return;
    auto* dlg = new frmSaveGraph(p_, cboMyGraphs->currentText(), this);
    dlg->setWindowModality(Qt::ApplicationModal);
    dlg->exec();
    if (dlg->DialogResult == 1) {
        if (dlg->OverwriteGraph) OverwriteGraph = true;
        try {
            SaveUserGraph(dlg->GraphName());
            LoadMyGraphs();
        } catch (const RunError& e) {
            reportFailure(e.description());
        }
        OverwriteGraph = false;
    }
    delete dlg;
}

UserGraphRow frmGraphs::currentGraphRow() {
    Style.Header = Style.Header.left(50);
    UserGraphRow row;
    row.ProjectID = GraphProjectID;
    row.TrainNumber = GraphTrain;
    row.StartDate = ParseBoxDate(txtStartDate->text());
    row.EndDate = ParseBoxDate(txtEndDate->text());
    row.EndTimeTyped = EndTextHoldsTime(txtEndDate->text());
    for (int k = 0; k < GraphSeriesCount && k < 4; ++k)
        row.SeriesNames << cboSeries[size_t(k)]->currentText();
    row.SensorCount = GraphSeriesCount;
    row.Target = ReadPercentText(txtLineValue->text()).value_or(0.0); // read before, by typedCleaningLevel
    row.Style = Style;
    return row;
}

void frmGraphs::SaveUserGraph(const QString& name) {
    UserGraphRow row = currentGraphRow();
    row.GraphName = name;
    hv::SaveUserGraph(p_, row, OverwriteGraph);
}

ChartPictureWriter frmGraphs::pictureWriter() {
    return {chart_.group(1).label(1), [this](const QString& legend) { chart_.group(1).setLabel(1, legend); },
            [this](const QString& path) { return SaveChartSvg(chart_, path); }};
}

ProjectTrainKey frmGraphs::drawnTrain() const {
    if (DrawnProjectID.isEmpty()) return {GraphProjectID, GraphTrain}; // nothing drawn yet
    return {DrawnProjectID, DrawnTrain};
}

void frmGraphs::cmdDisplay_Click() {
    const ProjectTrainKey shown = drawnTrain();
    CaptureGraphToGallery(p_, GraphCapture{shown.projectId, shown.train, txtTitle->text(), pictureWriter()});
}

void frmGraphs::btnJPG_Click() {
    SaveGraphJpeg(
        p_, [this](const QString& path) { return SaveChartJpeg(chart_, path); },
        [this](const QString& path) { return SaveChartPng(chart_, path); });
}

void frmGraphs::btnPrint_Click() {
    const ProjectTrainKey shown = drawnTrain();
    PrintCurrentGraph(p_, pictureWriter(), shown.projectId, shown.train);
}

void frmGraphs::FillDefaultGraphs() {
    cboDefaultGraphs->clear();
    cboDefaultGraphs->addItems({"Normalized Permeate Flow", "Normalized Salt Passage", "Normalized DP"});
    cboDefaultGraphs->setCurrentIndex(-1);
}

void frmGraphs::cbProject_Click() {
    if (ActivationLoading || cbProject->currentIndex() < 0) return;
    const ProjectTrainKey pt = GraphedTrain(
        ProjectTrainOf(cbProject->currentData(ProjectIdRole), cbProject->currentData(TrainNumberRole)));
    GraphProjectID = pt.projectId;
    GraphTrain = pt.train;
    cboTrain->setCurrentText(QString::number(GraphTrain));
    lblTitle->setText(ProjectTitle(GraphProjectID, GraphTrain));
    try {
        ReloadSeriesCaptions();
        LoadMyGraphs();
    } catch (const DbError& e) {
        reportFailure(e.description());
    }
}

void frmGraphs::cboTrain_Click() {
    bool ok = false;
    const int t = cboTrain->currentText().trimmed().toInt(&ok);
    if (ok && schema::TrainNumbers.holds(t)) GraphTrain = qint16(t);
}

void frmGraphs::cboSeries_Click(int k) {
    if (cboSeries[size_t(k)]->currentIndex() != DrawnSeriesIndex[size_t(k)]) {
        txtTitle->clear();
        Style.Header = "None";
    }
}

void frmGraphs::chkEnableDropDown_Click(int k) {
    QComboBox* next = cboSeries[size_t(k + 1)];
    next->setVisible(next->isHidden());
    const int last = int(chkEnableDropDown.size()) - 1;
    if (k < last) {
        if (chkEnableDropDown[size_t(k)]->isChecked()) {
            chkEnableDropDown[size_t(k + 1)]->setVisible(true);
        } else {
            for (int j = k + 1; j <= last; ++j) {
                chkEnableDropDown[size_t(j)]->setVisible(false);
                chkEnableDropDown[size_t(j)]->setChecked(false);
                cboSeries[size_t(j + 1)]->setVisible(false);
            }
        }
    }
}

void frmGraphs::ChkAllDates_Click() {
    const bool all = ChkAllDates->isChecked();
    txtStartDate->setEnabled(!all);
    txtEndDate->setEnabled(!all);
    txtStartDate->setVisible(!all);
    txtEndDate->setVisible(!all);
    lblStartDate->setVisible(all);
    lblEndDate->setVisible(all);
}

void frmGraphs::Option1_Click(int k) {
    if (k == 1) {
        lblDateNoon->setVisible(false);
    } else {
        for (QWidget* w :
             std::initializer_list<QWidget*>{Label1, Label2, txtStartDate, txtEndDate, lblDateNoon})
            w->setVisible(true);
        if (ChkAllDates->isChecked()) {
            // The boxes stay behind their labels while the whole period is shown.
            txtStartDate->setVisible(false);
            txtEndDate->setVisible(false);
        }
    }
}

void frmGraphs::chkShowEvents_Click() {
    lstEvents->setVisible(chkShowEvents->isChecked());
    lblEvents->setVisible(chkShowEvents->isChecked());
}

// A text that is not a date stays as typed in either box: the drawing and the save refuse
// it, naming it, instead of drawing another period in its place.
void frmGraphs::txtStartDate_LostFocus() {
    const QDateTime d = ParseBoxDate(txtStartDate->text());
    if (d.isValid()) GraphStartDate = d;
}

void frmGraphs::txtEndDate_LostFocus() {
    const QDateTime d = ParseBoxDate(txtEndDate->text());
    if (d.isValid()) GraphEndDate = d;
}

void frmGraphs::txtTitle_Commit() {
    Style.Header = txtTitle->text().isEmpty() ? QString("None") : txtTitle->text();
    SetChartTitles();
}

void frmGraphs::SetChartTitles() {
    if (Style.Header == "None" || Style.Header.isEmpty()) {
        txtTitle->clear();
        chart_.headerText.clear();
        chart_.headerLayout = 1;
        chart_.plotAreaLayout = 30;
    } else {
        txtTitle->setText(Style.Header);
        chart_.headerText = Style.Header;
        chart_.headerLayout = 45;
        chart_.plotAreaLayout = 55;
    }
    // One information label, set up afresh at each call.
    chart_.labels.assign(
        1, ChartLabel{"Data", true, 0, 1, 5, 445,
                      InformationLine(p_, DrawnUnits.value_or(CurrentUnits(p_)), p_.system.now().date())});
    chart_.update();
}

std::vector<int> frmGraphs::chosenSeries() const {
    std::vector<int> out;
    for (const QComboBox* c : cboSeries)
        if (!c->isHidden() && c->currentIndex() >= 0) out.push_back(c->currentIndex());
    return out;
}

void frmGraphs::cmdGraph_Click() {
    QStringList descs, cols;
    const std::vector<int> chosen = chosenSeries();
    GraphSeriesCount = qint16(chosen.size());
    for (int i : chosen) {
        descs << SeriesDescriptions.value(i);
        cols << SeriesColumns.value(i);
    }
    if (GraphSeriesCount == 0) return; // nothing chosen, nothing to draw
    if (!typedCleaningLevel()) return;
    try {
        clsGrapher g(p_);
        g.ProjectID(GraphProjectID);
        g.TrainNumber(GraphTrain);
        g.Graph(&chart_);
        g.SensorCount(GraphSeriesCount);
        if (ChkAllDates->isChecked()) {
            const RecordedPeriod r = GetStartDate(p_, GraphProjectID, GraphTrain);
            GraphStartDate = r.start;
            GraphEndDate = r.end;
            g.EndDate(GraphEndDate);
            g.StartDate(GraphStartDate);
            txtStartDate->setText(FormatBoxDate(GraphStartDate.date().startOfDay()));
            txtEndDate->setText(FormatBoxDate(GraphEndDate.date().startOfDay()));
            lblStartDate->setText(txtStartDate->text());
            lblEndDate->setText(txtEndDate->text());
            lblStartDate->setVisible(true);
            lblEndDate->setVisible(true);
            txtStartDate->setVisible(false);
            txtEndDate->setVisible(false);
        } else {
            if (const auto refusal = PeriodRefusal(txtStartDate->text(), txtEndDate->text())) {
                p_.prompts.message(*refusal, Buttons::OK, Icon::Warning, GraphsTitle);
                return;
            }
            GraphStartDate = ParseBoxDate(txtStartDate->text());
            g.StartDate(GraphStartDate);
            GraphEndDate = DrawnEnd(txtEndDate->text());
            g.EndDate(GraphEndDate);
            lblStartDate->setText(txtStartDate->text());
            lblEndDate->setText(txtEndDate->text());
            lblStartDate->setVisible(false);
            lblEndDate->setVisible(false);
            txtStartDate->setVisible(true);
            txtEndDate->setVisible(true);
        }
        lblTitle->setText(GraphProjectID + " Train: " + QString::number(GraphTrain));
        g.SensorDescs(descs);
        g.SensorCols(cols);
        if (Style.YMax != AutoLimit) g.YMax(Style.YMax);
        if (Style.Y2Max != AutoLimit) g.Y2Max(Style.Y2Max);
        if (Style.YMin != AutoLimit) g.YMin(Style.YMin);
        if (Style.Y2Min != AutoLimit) g.Y2Min(Style.Y2Min);
        g.LineThickness(Style.LineThickness);
        g.SymbolThickness(Style.SymbolThickness);
        for (int k = 1; k <= 4; ++k)
            g.SetLineColor(k, Style.LineColor[size_t(k - 1)]);
        for (int k = 1; k <= 4; ++k)
            g.SetSymbolColor(k, Style.SymbolColor[size_t(k - 1)]);
        for (int k = 1; k <= 4; ++k)
            g.SetLineStyle(k, Style.LineStyle[size_t(k - 1)]);
        for (int k = 1; k <= 4; ++k)
            g.SetSymbolStyle(k, Style.SymbolStyle[size_t(k - 1)]);
        g.ElapsedTime(Option1[1]->isChecked());
        g.ShowEvents(chkShowEvents->isChecked());
        g.Cleaning({chkShowTarget->isChecked(), txtLineValue->text(), txtWidth->text()});
        g.MakeGraph();
        DrawnProjectID = GraphProjectID;
        DrawnTrain = GraphTrain;
        DrawnUnits = ReadGraphUnits(p_, GraphProjectID, GraphTrain);

        lstEvents->clear();
        if (chkShowEvents->isChecked()) lstEvents->addItems(EventList(p_, g.Events));
        SetChartTitles();
        SaveLastGraph();
        showProjectItem(cbProject, GraphProjectID, GraphTrain);
        for (int k = 0; k < 4; ++k)
            DrawnSeriesIndex[size_t(k)] = cboSeries[size_t(k)]->currentIndex();
        DrawnSeries = chosen;

        SpecFluxInput in;
        for (QComboBox* c : cboSeries)
            in.comboTexts << c->currentText();
        for (QCheckBox* c : chkEnableDropDown)
            in.enableTicked.push_back(c->isChecked());
        in.numBanks = ReadGraphNumBanks(p_, GraphProjectID, GraphTrain);
        if (SpecFluxWarningDue(p_, in, chart_)) {
            p_.prompts.message(SpecFluxWarningText, Buttons::OK, Icon::Information, GraphsTitle);
            p_.SpecFluxWarningShown = true;
        }
    } catch (const RunError& e) {
        reportFailure(e.description());
    }
}

std::optional<double> frmGraphs::typedCleaningLevel() {
    const QString text = txtLineValue->text();
    if (text.trimmed().isEmpty()) return 0.0;
    if (const std::optional<double> level = ReadPercentText(text)) return level;
    p_.prompts.message(NotANumberText(lblMax[0]->text(), text), Buttons::OK, Icon::Warning, GraphsTitle);
    return std::nullopt;
}

void frmGraphs::SaveLastGraph() {
    hv::SaveLastGraph(p_, currentGraphRow());
}

void frmGraphs::cmdConfigure_Click() {
    auto* dlg = new frmGraphConfig(p_, Style, this);
    dlg->setWindowModality(Qt::ApplicationModal);
    dlg->exec();
    if (dlg->DialogResult == 1) {
        for (int k = 0; k < 4; ++k)
            if (dlg->LineColor(k) != AutoLimit) Style.LineColor[size_t(k)] = dlg->LineColor(k);
        for (int k = 0; k < 4; ++k)
            if (dlg->SymbolColor(k) != AutoLimit) Style.SymbolColor[size_t(k)] = dlg->SymbolColor(k);
        for (int k = 0; k < 4; ++k)
            if (dlg->LineStyle(k) != AutoLimit) Style.LineStyle[size_t(k)] = dlg->LineStyle(k);
        for (int k = 0; k < 4; ++k)
            if (dlg->SymbolStyle(k) != AutoLimit) Style.SymbolStyle[size_t(k)] = dlg->SymbolStyle(k);
        if (dlg->LineThickness() != AutoLimit) Style.LineThickness = dlg->LineThickness();
        if (dlg->SymbolThickness() != AutoLimit) Style.SymbolThickness = dlg->SymbolThickness();
        Style.YMax = dlg->YMax();
        Style.Y2Max = dlg->Y2Max();
        Style.YMin = dlg->YMin();
        Style.Y2Min = dlg->Y2Min();
        if (dlg->SaveAsDefault()) SaveGraphStyles(p_, Style);
        cmdGraph_Click();
    }
    delete dlg;
}

} // namespace hv
