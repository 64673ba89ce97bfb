#include "maintenance/ui/frmimportdata.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>

#include "core/program.h"
#include "core/ui/named.h"

namespace hv {

FrmImportData::FrmImportData(Program& p, QWidget* parent) : ExchangeWindow(parent), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Import a Project and Data from Excel");
    cmdCSVFile = named(new QPushButton("Locate a *.TXT file to import", this), "cmdCSVFile");
    cmdImport = named(new QPushButton("Import", this), "cmdImport");
    cmdexit = named(new QPushButton("&Exit", this), "cmdexit");
    chkAlldata = named(new QCheckBox("Select all data", this), "chkAlldata");
    DTPicker1 = named(new QDateTimeEdit(this), "DTPicker1");
    DTPicker2 = named(new QDateTimeEdit(this), "DTPicker2");
    for (QDateTimeEdit* d : {DTPicker1, DTPicker2}) {
        d->setCalendarPopup(true);
        UseShortDateForm(d);
    }
    const char* captions[4] = {"Project:", "", "From Date:", "To Date:"};
    for (int i = 0; i < 4; ++i) {
        lblLabels.push_back(new QLabel(captions[i], this));
        lblLabels.back()->setObjectName(QStringLiteral("lblLabels_%1").arg(i));
        lblLabels.back()->setVisible(i != 1);
    }
    Label1 = named(new QLabel("Select Data Range to Import or ==>", this), "Label1");
    lblDB = named(new QLabel("Database File Name", this), "lblDB");
    lblFileName = named(new QLabel("Import File Name", this), "lblFileName");
    lblProject = named(new QLabel(this), "lblProject");
    for (QLabel* l : {lblDB, lblFileName, lblProject})
        l->setWordWrap(true);
    lblProject->setAutoFillBackground(true);
    lblProject->setMinimumHeight(40);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblDB, 0, 0, 1, 3);
    grid->addWidget(cmdCSVFile, 1, 0, 1, 3);
    grid->addWidget(lblFileName, 2, 0, 1, 3);
    grid->addWidget(lblLabels[0], 3, 0);
    grid->addWidget(lblProject, 3, 1, 1, 2);
    grid->addWidget(Label1, 4, 0, 1, 2);
    grid->addWidget(chkAlldata, 4, 2);
    grid->addWidget(lblLabels[2], 5, 0);
    grid->addWidget(DTPicker1, 5, 1);
    grid->addWidget(lblLabels[3], 6, 0);
    grid->addWidget(DTPicker2, 6, 1);
    grid->addWidget(cmdImport, 7, 1);
    grid->addWidget(cmdexit, 7, 2);
    grid->addWidget(SBImport, 8, 0, 1, 3);
    resize(600, 380);

    connect(cmdCSVFile, &QPushButton::clicked, this, &FrmImportData::cmdCSVFile_Click);
    connect(cmdImport, &QPushButton::clicked, this, &FrmImportData::cmdImport_Click);
    connect(cmdexit, &QPushButton::clicked, this, &FrmImportData::cmdexit_Click);
    connect(chkAlldata, &QCheckBox::toggled, this, &FrmImportData::chkAlldata_Click);
    Form_Load();
}

void FrmImportData::Form_Load() {
    const QDate today = p_.system.now().date();
    DTPicker1->setDateTime(QDateTime(today.addDays(-10), QTime(0, 0)));
    DTPicker2->setDateTime(QDateTime(today, QTime(0, 0)));
    lblDB->setText("Database: " + p_.ProjectDatabasePath);
    cmdImport->setEnabled(false);
    setWindowTitle("IMPORT PROJECT INFORMATION PLUS DATA");
}

void FrmImportData::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    cmdCSVFile->setFocus();
}

// Colours as the system's BGR numbers: 65280 green, 255 red, 65535 yellow.
void FrmImportData::showProject(const QString& text, unsigned colour) {
    lblProject->setText(text);
    colour_ = colour;
    QPalette pal = lblProject->palette();
    if (colour == 0) {
        pal.setColor(QPalette::Window, palette().color(QPalette::Window));
    } else {
        pal.setColor(QPalette::Window,
                     QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)));
        pal.setColor(QPalette::WindowText, Qt::black);
    }
    lblProject->setPalette(pal);
}

void FrmImportData::cmdCSVFile_Click() {
    if (running_) return;
    const QString path = p_.prompts.openFile(
        "Open", "Text (*.txt)|*.txt|Excel(*.csv)|*.csv|Excel(*.xls)|*.xls|AllFiles (*.*)|*.*");
    if (path.isEmpty()) return;
    const ChoiceOutcome outcome = ChooseImportFile(p_, path, choice_);
    // What the panels said of an earlier file, its success included, is not said of this one.
    setPanel(1, QString());
    setPanel(2, QString());
    lblFileName->setText("Import from: " + path);
    const QString id = choice_.FileProjectID;
    const QString train = QString::number(choice_.FileTrainNumber);
    switch (outcome) {
    case ChoiceOutcome::Refused:
        showProject(QString(), 0);
        break;
    case ChoiceOutcome::Cancelled:
        showProject(id + " Train: " + train, 0);
        break;
    case ChoiceOutcome::NewProject:
        showProject("Will create Project: <" + id +
                        "> and any data in the text (*.txt) file will be added to the project database.",
                    65280);
        break;
    case ChoiceOutcome::Overwrite:
        showProject("Will OVERWRITE Reference Information in Project: " + id + " Train: " + train, 255);
        break;
    case ChoiceOutcome::AddOnly:
        showProject("Will add data to existing Project: <" + id + " Train: " + train, 65535);
        break;
    }
    choiceText_ = lblProject->text();
    choiceColour_ = colour_;
    cmdImport->setEnabled(choice_.accepted);
}

void FrmImportData::cmdImport_Click() {
    if (running_ || !choice_.accepted) return;
    ImportRange range;
    range.all = chkAlldata->isChecked();
    range.from = DTPicker1->dateTime();
    range.to = DTPicker2->dateTime();
    // An earlier import's success does not stand for this one.
    showProject(choiceText_, choiceColour_);
    setPanel(2, QString());
    running_ = true;
    cancel_ = false;
    cmdexit->setText("&Cancel");
    cmdCSVFile->setEnabled(false);
    cmdImport->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ImportResult r = RunImport(p_, choice_, range, *this);
    QApplication::restoreOverrideCursor();
    cmdexit->setText("&Exit");
    cmdCSVFile->setEnabled(true);
    running_ = false;
    if (r.finished) showProject("Imported successfully from Project: " + r.lastProjectId, 65280);
    cmdImport->setEnabled(choice_.accepted);
    if (r.focusTo) DTPicker2->setFocus();
}

void FrmImportData::chkAlldata_Click() {
    DTPicker1->setEnabled(!chkAlldata->isChecked());
    DTPicker2->setEnabled(!chkAlldata->isChecked());
}

} // namespace hv
