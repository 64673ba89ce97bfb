#include "maintenance/ui/frmexportdata.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>

#include "core/mlstring.h"
#include "core/program.h"
#include "core/ui/named.h"
#include "maintenance/exchangeexport.h"
#include "maintenance/recordeditor.h"
#include "platform/database.h"

namespace hv {

FrmExportData::FrmExportData(Program& p, QWidget* parent) : ExchangeWindow(parent), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    CmbProjectId = named(new QComboBox(this), "CmbProjectId");
    CmbProjectId->setMinimumWidth(260);
    DTPicker1 = named(new QDateTimeEdit(this), "DTPicker1");
    DTPicker2 = named(new QDateTimeEdit(this), "DTPicker2");
    for (QDateTimeEdit* d : {DTPicker1, DTPicker2}) {
        d->setCalendarPopup(true);
        UseShortDateForm(d);
    }
    chkAll = named(new QCheckBox("Select All Dates", this), "chkAll");
    cmdTXTfile = named(new QPushButton("Specify a *.txt File Name to Export TO:", this), "cmdTXTfile");
    cmdCSVFile = named(new QPushButton("Specify a *.CSV File Name to Export TO:", this), "cmdCSVFile");
    cmdCSVFile->setToolTip("This may not work correctly if the decimal separator is a ','");
    cmdExport = named(new QPushButton("Export", this), "cmdExport");
    cmdexit = named(new QPushButton("&Exit", this), "cmdexit");
    lblFileName = named(new QLabel("Export File Name", this), "lblFileName");
    lblDB = named(new QLabel("Database File Name", this), "lblDB");
    for (QLabel* l : {lblFileName, lblDB})
        l->setWordWrap(true);
    const char* captions[4] = {"Select Project to Export", "", "From Date:", "To Date:"};
    for (int i = 0; i < 4; ++i) {
        lblLabels.push_back(new QLabel(captions[i], this));
        lblLabels.back()->setObjectName(QStringLiteral("lblLabels_%1").arg(i));
        lblLabels.back()->setVisible(i != 1);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblDB, 0, 0, 1, 3);
    grid->addWidget(lblLabels[0], 1, 0);
    grid->addWidget(CmbProjectId, 1, 1, 1, 2);
    grid->addWidget(lblLabels[2], 2, 0);
    grid->addWidget(DTPicker1, 2, 1);
    grid->addWidget(chkAll, 2, 2);
    grid->addWidget(lblLabels[3], 3, 0);
    grid->addWidget(DTPicker2, 3, 1);
    grid->addWidget(cmdTXTfile, 4, 0, 1, 3);
    grid->addWidget(cmdCSVFile, 5, 0, 1, 3);
    grid->addWidget(lblFileName, 6, 0, 1, 3);
    grid->addWidget(cmdExport, 7, 1);
    grid->addWidget(cmdexit, 7, 2);
    grid->addWidget(SBImport, 8, 0, 1, 3);
    resize(560, 330);

    connect(chkAll, &QCheckBox::toggled, this, &FrmExportData::chkAll_Click);
    connect(cmdTXTfile, &QPushButton::clicked, this, &FrmExportData::cmdTXTfile_Click);
    connect(cmdCSVFile, &QPushButton::clicked, this, &FrmExportData::cmdCSVFile_Click);
    connect(cmdExport, &QPushButton::clicked, this, &FrmExportData::cmdExport_Click);
    connect(cmdexit, &QPushButton::clicked, this, &FrmExportData::cmdexit_Click);
    CmbProjectId->installEventFilter(this);
    Form_Load();
}

void FrmExportData::Form_Load() {
    cmdExport->setEnabled(false);
    CmbProjectId->clear();
    try {
        Database db = Database::open(p_.ProjectDatabasePath);
        for (const ProjectTrainKey& key : ListProjectTrainKeys(db)) {
            CmbProjectId->addItem(ProjectTrainText(key));
            const int i = CmbProjectId->count() - 1;
            CmbProjectId->setItemData(i, key.projectId, ProjectIdRole);
            CmbProjectId->setItemData(i, key.train, TrainNumberRole);
        }
    } catch (const DbError& e) {
        p_.prompts.message("The project list could not be read, error = " + QString::number(e.number()) +
                               ", " + e.description(),
                           Buttons::OK, Icon::None, "Hevrin");
    }
    CmbProjectId->setCurrentIndex(-1);
    const QDate today = p_.system.now().date();
    DTPicker1->setDateTime(QDateTime(today.addDays(-30), QTime(0, 0)));
    DTPicker2->setDateTime(QDateTime(today, QTime(0, 0)));
    lblDB->setText(GetMlString(819, "Database to export: ") + p_.ProjectDatabasePath);
    if (!p_.ExportCsvMode) {
        setWindowTitle(GetMlString(821, "EXPORT HV PROJECT + DATA"));
        cmdCSVFile->setVisible(false);
        cmdTXTfile->setVisible(true);
    } else {
        cmdCSVFile->setVisible(true);
        cmdTXTfile->setVisible(false);
        setWindowTitle(GetMlString(820, "EXPORT PROJECT + DATA TO EXCEL CSV FILE"));
    }
}

void FrmExportData::chkAll_Click() {
    DTPicker1->setEnabled(!chkAll->isChecked());
    DTPicker2->setEnabled(!chkAll->isChecked());
}

void FrmExportData::CmbProjectId_LostFocus() {
    setPanel(1, GetMlString(814, "Ready to Export ") + CmbProjectId->currentText());
}

bool FrmExportData::eventFilter(QObject* o, QEvent* e) {
    if (o == CmbProjectId && e->type() == QEvent::FocusOut) CmbProjectId_LostFocus();
    return QWidget::eventFilter(o, e);
}

void FrmExportData::chooseFile(const QString& filter, const QString& caption) {
    const QString path = p_.prompts.saveFile("Save", filter);
    if (path.isEmpty()) return;
    OutputFileName = path;
    lblFileName->setText(caption + path);
    setPanel(1, GetMlString(814, "Ready to Export ") + CmbProjectId->currentText());
    if (CmbProjectId->currentIndex() < 0) {
        setPanel(1, GetMlString(817, "No Projected Selected!"));
        return;
    }
    cmdExport->setEnabled(true);
}

void FrmExportData::cmdTXTfile_Click() {
    chooseFile("Text (*.txt)|*.txt|AllFiles (*.*)|*.*", GetMlString(816, "Export to: "));
}

void FrmExportData::cmdCSVFile_Click() {
    chooseFile("Excel(*.csv)|*.csv|AllFiles (*.*)|*.*", "Export to: ");
}

void FrmExportData::cmdExport_Click() {
    if (running_) return;
    ExportRequest r;
    r.listIndex = CmbProjectId->currentIndex();
    r.entry = CmbProjectId->currentText();
    r.key =
        ProjectTrainOf(CmbProjectId->currentData(ProjectIdRole), CmbProjectId->currentData(TrainNumberRole));
    r.from = DTPicker1->dateTime();
    r.to = DTPicker2->dateTime();
    r.allDates = chkAll->isChecked();
    r.outputFile = OutputFileName;
    running_ = true;
    cancel_ = false;
    cmdexit->setText("&Cancel");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportResult result = CreateFile(p_, r, *this);
    QApplication::restoreOverrideCursor();
    cmdexit->setText("&Exit");
    running_ = false;
    cmdExport->setEnabled(result.exportEnabled);
    if (result.focusTo) DTPicker2->setFocus();
    if (!result.alteredTexts.isEmpty())
        p_.prompts.message(AlteredTextsMessage(result.alteredTexts, p_.ExportCsvMode ? ',' : ';'),
                           Buttons::OK, Icon::Information, Title);
}

} // namespace hv
