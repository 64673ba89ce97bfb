#include "core/ui/frmmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QLocale>
#include <QMenuBar>
#include <QPointer>
#include <QUrl>
#include <QWindow>
#include <cmath>

#include "core/backup.h"
#include "core/dbversion.h"
#include "core/helptargets.h"
#include "core/loadproject.h"
#include "core/mlstring.h"
#include "core/opendatabase.h"
#include "core/program.h"
#include "core/settings.h"
#include "core/ui/frmsplash.h"
#include "core/ui/logo.h"

namespace hv {

namespace {

const QString Section = QStringLiteral("Current Project");
constexpr int TwipsPerPixel = 15;

QString versionCaption() {
    return Title + ": Version " + ProgramVersionText;
}

int storedTwips(const UserStore& store, const QString& key, int defaultValue) {
    bool ok = false;
    const int v = store.value(key, defaultValue).toString().trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

// A train setting that is not a whole number falls back to train 1.
qint16 trainFromSetting(const QString& text) {
    const std::optional<double> x = ReadSettingsNumber(text);
    if (!x || *x != std::floor(*x) || *x < -32768 || *x > 32767) return 1;
    return qint16(*x);
}

} // namespace

frmMain::frmMain(Program& p, QWidget* parent) : QMainWindow(parent), p_(p) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(Title);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    buildMenus();

    connect(&p_.status, &StatusPanels::changed, this, [this](int panel, const QString& text) {
        // A run that ends by writing today's date means the date: the live one, not a copy
        // that stays when the day changes.
        if (panel == 2 && !text.isEmpty() &&
            text == QLocale().toString(p_.system.now().date(), QLocale::ShortFormat)) {
            p_.status.setText(2, QString());
            return;
        }
        showStatusPanel(panel);
    });
    connect(&p_.status, &StatusPanels::busyChanged, this, [this](bool busy) {
        if (busy)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    });
    connect(&p_.mainLabels, &MainLabels::changed, this, &frmMain::showLabels);
    p_.SetMenusEnabled = [this](bool enabled) {
        for (QMenu* m : {mnuFile, mnuEdit, mnu9, mnuData})
            m->menuAction()->setEnabled(enabled);
    };
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* w) {
        // A window closing may leave no window active for a moment; that tells nothing.
        if (!w || w == windowHandle()) return;
        handedBackByOurs_ = ourWindow(w);
    });
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, [this] {
        showStatusPanel(2);
        showStatusPanel(3);
    });
    clock_.start();
    for (int panel = 1; panel <= 3; ++panel)
        showStatusPanel(panel);

    Form_Load();
}

frmMain::~frmMain() {
    p_.SetMenusEnabled = nullptr;
}

void frmMain::buildControls() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    picLogo = new QLabel(central);
    picLogo->setPixmap(HevrinLogo(64));
    lblProductName = new QLabel(Title, central);
    QFont big = lblProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblProductName->setFont(big);
    lblCompanyProduct =
        new QLabel(QStringLiteral("Software for Reverse Osmosis operating data normalization"), central);
    lblVersion = new QLabel(central);
    lblDatabase = new QLabel(central);
    lblDatabase->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDBVersion = new QLabel(central);
    lblMembDB = new QLabel(central);
    grid->addWidget(picLogo, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblProductName, 0, 1);
    grid->addWidget(lblCompanyProduct, 1, 1);
    grid->addWidget(lblVersion, 2, 1);
    grid->addWidget(lblDatabase, 3, 0, 1, 2);
    grid->addWidget(lblDBVersion, 4, 0, 1, 2);
    grid->addWidget(lblMembDB, 5, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(6, 1);
    setCentralWidget(central);

    sbStatusBar = new QStatusBar(this);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(sbStatusBar);
        panel->setObjectName(QStringLiteral("sbPanel%1").arg(i + 1));
        sbPanels.push_back(panel);
        if (i == 0)
            sbStatusBar->addWidget(panel, 1);
        else
            sbStatusBar->addPermanentWidget(panel);
    }
    setStatusBar(sbStatusBar);
    p_.status.setText(1, QStringLiteral("Status"));
}

void frmMain::buildMenus() {
    auto item = [this](QMenu* menu, QAction*& action, const QString& name, const QString& caption,
                       void (frmMain::*handler)()) {
        action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
    };
    // Items whose window comes with a later part of the program wait for its factory.
    auto waits = [this](QAction* action, const QString& window) {
        windowItems_.emplace_back(action, window);
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("&Projects"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    item(mnuFile, mnuDataEntry, "mnuDataEntry", "&Data Entry", &frmMain::mnuDataEntry_Click);
    waits(mnuDataEntry, "frmData");
    item(mnuFile, mnuProjectSelect, "mnuProjectSelect", "Change Current Selected Project",
         &frmMain::mnuProjectSelect_Click);
    mnuFile->addSeparator();
    item(mnuFile, mnuProjectCreate, "mnuProjectCreate", "&CREATE New Project",
         &frmMain::mnuProjectCreate_Click);
    item(mnuFile, MnuProjectEdit, "MnuProjectEdit", "&EDIT Current Project Information",
         &frmMain::MnuProjectEdit_Click);
    item(mnuFile, mnuRecalc, "mnuRecalc", "&Recalculate Current Project", &frmMain::mnuRecalc_Click);
    item(mnuFile, mnuRecalcAll, "mnuRecalcAll", "Recalculate &ALL Projects in current Database",
         &frmMain::mnuRecalcAll_Click);
    mnuFile->addSeparator();
    item(mnuFile, mnuEditProjectInformation, "mnuEditProjectInformation", "Delete Project",
         &frmMain::mnuEditProjectInformation_Click);
    waits(mnuEditProjectInformation, "frmEditProject");
    item(mnuFile, mnuEditRaw, "mnuEditRaw", "Record Editor", &frmMain::mnuEditRaw_Click);
    waits(mnuEditRaw, "frmEditData");
    mnuFile->addSeparator();
    item(mnuFile, mnuFileOpenDatabase, "mnuFileOpenDatabase", "Change Current Selected Database",
         &frmMain::mnuFileOpenDatabase_Click);
    item(mnuFile, mnuBackup, "mnuBackup", "Backup/Save Database", &frmMain::mnuBackup_Click);
    item(mnuFile, mnuProjectsMigrate, "mnuProjectsMigrate", "Migrate/Merge Databases - 2/3 to 3 bank",
         &frmMain::mnuProjectsMigrate_Click);
    waits(mnuProjectsMigrate, "dlgMigrate");
    mnuFile->addSeparator();
    item(mnuFile, mnuFileExit, "mnuFileExit", "E&xit", &frmMain::mnuFileExit_Click);

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Utility"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    item(mnuEdit, mnuEditLock, "mnuEditLock", "&Unlock / Lock Data Entry Configuration",
         &frmMain::mnuEditLock_Click);
    item(mnuEdit, mnuEditEvent, "mnuEditEvent", "Manage Event &Types", &frmMain::mnuEditEvent_Click);
    waits(mnuEditEvent, "frmEvent");
    item(mnuEdit, mnuEditCustom, "mnuEditCustom", "Manage Custom Elements", &frmMain::mnuEditCustom_Click);
    waits(mnuEditCustom, "frmElementSpecs");
    item(mnuEdit, mnuEditDataFields, "mnuEditDataFields", "Manage Custom Data Fields",
         &frmMain::mnuEditDataFields_Click);
    waits(mnuEditDataFields, "frmUserDefined");
    mnuEdit->addSeparator();
    item(mnuEdit, mnuRealTimeTest, "mnuRealTimeTest", "Test &Scada Communications",
         &frmMain::mnuRealTimeTest_Click);
    item(mnuEdit, mnuDataView, "mnuDataView", "Tabular Data View", &frmMain::mnuDataView_Click);
    waits(mnuDataView, "rows");

    mnu9 = menuBar()->addMenu(QStringLiteral("&Graphs"));
    mnu9->setObjectName(QStringLiteral("mnu9"));
    item(mnu9, mnuViewgraphs, "mnuViewgraphs", "Graph Manager", &frmMain::mnuViewgraphs_Click);
    waits(mnuViewgraphs, "frmGraphs");
    item(mnu9, mnuDisplayGraphs, "mnuDisplayGraphs", "&Display Graph Images (svg files)",
         &frmMain::mnuDisplayGraphs_Click);
    waits(mnuDisplayGraphs, "frmPrintGraph");
    item(mnu9, mnugraphDelete, "mnugraphDelete", "Delete Saved Graphs", &frmMain::mnugraphDelete_Click);
    waits(mnugraphDelete, "frmEditSavedGraphs");

    mnuData = menuBar()->addMenu(QStringLiteral("&Import/Export"));
    mnuData->setObjectName(QStringLiteral("mnuData"));
    item(mnuData, mnuExportProjectData, "mnuExportProjectData",
         "Export HV Project (User  Selects Data  Range)", &frmMain::mnuExportProjectData_Click);
    waits(mnuExportProjectData, "FrmExportData");
    mnuData->addSeparator();
    item(mnuData, mnuExportCSV, "mnuExportCSV", "Export HV Project and Data to a CSV file for Excel",
         &frmMain::mnuExportCSV_Click);
    waits(mnuExportCSV, "FrmExportData");
    mnuData->addSeparator();
    item(mnuData, mnuImportProjectData, "mnuImportProjectData", "Import HV project and data",
         &frmMain::mnuImportProjectData_Click);
    waits(mnuImportProjectData, "FrmImportData");
    mnuData->addSeparator();
    item(mnuData, mnuImportExcelData, "mnuImportExcelData", "Import Data (Data Collected Outside of HV)",
         &frmMain::mnuImportExcelData_Click);
    waits(mnuImportExcelData, "frmImportExcel");

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    item(mnuHelp, mnuHelpUser, "mnuHelpUser", "&On-Line Documentation", &frmMain::mnuHelpUser_Click);
    item(mnuHelp, mnuHelpEmail, "mnuHelpEmail", "&Send Email to Hevrin Support",
         &frmMain::mnuHelpEmail_Click);
    item(mnuHelp, mnuHelpAbout, "mnuHelpAbout", "&About ", &frmMain::mnuHelpAbout_Click);
    item(mnuHelp, mnuContact, "mnuContact", "&Contact us", &frmMain::mnuContact_Click);
    item(mnuHelp, mnuLicense, "mnuLicense", "&License Agreement", &frmMain::mnuLicense_Click);
    item(mnuHelp, mnuSplash, "mnuSplash", "S&how Splash Screen at Startup", &frmMain::mnuSplash_Click);
    item(mnuHelp, mnuRealHelp, "mnuRealHelp", "&News/Updates", &frmMain::mnuRealHelp_Click);

    for (QMenu* m : {mnuFile, mnuEdit, mnu9, mnuData})
        connect(m, &QMenu::aboutToShow, this, &frmMain::enableWindowItems);
    enableWindowItems();
}

void frmMain::enableWindowItems() {
    for (const auto& [action, window] : windowItems_)
        action->setEnabled(p_.windows.hasFactory(window));
}

void frmMain::showStatusPanel(int panel) {
    if (panel < 1 || panel > 3) return;
    QString text = p_.status.text(panel);
    // Panels 2 and 3 show the date and the time unless a run writes its own text there.
    if (text.isEmpty() && panel == 2) text = QLocale().toString(p_.system.now().date(), QLocale::ShortFormat);
    if (text.isEmpty() && panel == 3) text = QLocale().toString(p_.system.now().time(), QLocale::ShortFormat);
    sbPanels[size_t(panel - 1)]->setText(text);
}

void frmMain::showLabels() {
    lblDatabase->setText(p_.mainLabels.lblDatabase());
    lblDBVersion->setText(p_.mainLabels.lblDBVersion());
}

void frmMain::Form_Load() {
    lblVersion->setText(versionCaption());
    if (!p_.MainWindowInitialized) {
        leftTwips_ = storedTwips(p_.userStore, "MainLeft", 200);
        topTwips_ = storedTwips(p_.userStore, "MainTop", 200);
        widthTwips_ = storedTwips(p_.userStore, "MainWidth", 11750);
        heightTwips_ = storedTwips(p_.userStore, "MainHeight", 3250);
        resize(widthTwips_ / TwipsPerPixel, heightTwips_ / TwipsPerPixel);

        // A fresh data folder has no current project yet: none is named.
        p_.CurrentProject.ProjectID = ReadIniValue(Section, "Project", "", p_.IniFilePath);
        p_.CurrentProject.TrainNumber = trainFromSetting(ReadIniValue(Section, "Train", "1", p_.IniFilePath));
        p_.status.setText(1, "Current Project: " + p_.CurrentProject.ProjectID +
                                 " Train: " + QString::number(p_.CurrentProject.TrainNumber));
        p_.MainWindowInitialized = true;
        lblMembDB->setText("Membrane DB Ver: " + QString::number(p_.ElementDbVersion, 'g', 15));

        const QString version =
            DbVersionCaption(true, p_.DbVersionMajor, p_.DbVersionMinor, p_.DbVersionRevision);
        if (p_.DbValid && !p_.DbIsOlder) {
            hv::LoadMyProject(p_);
            p_.mainLabels.setDatabase("Database: " + p_.ProjectDatabasePath);
            p_.mainLabels.setDBVersion(
                DbVersionCaption(true, p_.DbVersionMajor, p_.DbVersionMinor, p_.DbVersionRevision));
        } else if (!p_.DbValid) {
            p_.mainLabels.setDatabase("PLEASE SELECT A VALID DATABASE TO CONTINUE!");
            p_.mainLabels.setDBVersion("DB Version: Not Valid");
            mnuFileOpenDatabase_Click();
        } else {
            p_.mainLabels.setDatabase("DATABASE MIGRATION REQUIRED");
            p_.mainLabels.setDBVersion(version);
            if (p_.DbVersionMinor < 3) {
                p_.prompts.message(
                    "You are starting Hevrin with an old, two bank database.  \r\n\r\n" +
                        p_.ProjectDatabasePath +
                        "\r\n\r\nThis needs migration to the three bank version.\r\nYou may exit "
                        "from the migration dialog and select another database if you wish",
                    Buttons::OK, Icon::None, Title);
                p_.windows.showModal("dlgMigrate");
            }
        }
        const QString graphPath = ReadIniValue(Section, "GraphPath", p_.AppDataFolder, p_.IniFilePath);
        p_.GraphPath = graphPath.isEmpty() ? p_.AppDataFolder : graphPath;
    }
    showLabels();

    // A window left on a screen that is gone comes back into view.
    if (leftTwips_ < 0 || leftTwips_ > 10000) leftTwips_ = 200;
    if (topTwips_ < 0 || topTwips_ > 5000) topTwips_ = 200;
    move(leftTwips_ / TwipsPerPixel, topTwips_ / TwipsPerPixel);
}

bool frmMain::ourWindow(const QWindow* w) const {
    if (!w) return false;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != this && top->windowHandle() == w) return p_.windows.holds(top);
    return false;
}

void frmMain::Form_Activate() {
    const QString current = "CURRENT PROJECT: " + p_.CurrentProject.ProjectID +
                            " Train: " + QString::number(p_.CurrentProject.TrainNumber);
    if (p_.RecalcAllRunning) {
        p_.status.setText(1, current);
        p_.RecalcAllRunning = false;
    } else if (p_.CurrentProjectLoaded) {
        p_.status.setText(1, current);
    } else {
        p_.status.setText(1, NotFoundText(p_.CurrentProject.ProjectID));
    }
}

void frmMain::Form_GotFocus() {
    if (p_.RecalcAllRunning) return;
    p_.status.setText(1, "CURRENT PROJECT: " + p_.CurrentProject.ProjectID +
                             " Train: " + QString::number(p_.CurrentProject.TrainNumber));
}

bool frmMain::Form_Unload() {
    // A window that still holds what the user typed may refuse to close: then the program stays.
    if (!p_.windows.unloadAll(this)) return false;
    if (!isMinimized()) {
        auto twips = [](int pixels, int loaded) {
            return QString::number(pixels == loaded / TwipsPerPixel ? loaded : pixels * TwipsPerPixel);
        };
        p_.userStore.setValue("MainLeft", twips(x(), leftTwips_));
        p_.userStore.setValue("MainTop", twips(y(), topTwips_));
        p_.userStore.setValue("MainWidth", twips(width(), widthTwips_));
        p_.userStore.setValue("MainHeight", twips(height(), heightTwips_));
        p_.userStore.sync();
    }
    WriteIniSettings(p_, Section,
                     {{"Project", p_.CurrentProject.ProjectID},
                      {"Train", QString::number(p_.CurrentProject.TrainNumber)},
                      {"Database", p_.ProjectDatabasePath},
                      {"Graphpath", p_.GraphPath}});
    return true;
}

void frmMain::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::ActivationChange) return;
    if (!isActiveWindow()) {
        focusHandedBack_ = false;
        return;
    }
    // Closing a message box or a dialog also gives the activation and the focus back: that
    // must not overwrite the status text the user was meant to read.
    focusHandedBack_ = handedBackByOurs_;
    if (handedBackByOurs_) Form_Activate();
    handedBackByOurs_ = false;
    if (activatedBefore_) return;
    activatedBefore_ = true;
    // A project window opened while this window loaded stays in front of it.
    for (QWidget* w : p_.windows.findAll("frmProject"))
        if (w->isVisible()) {
            w->raise();
            w->activateWindow();
        }
}

void frmMain::focusInEvent(QFocusEvent* e) {
    QMainWindow::focusInEvent(e);
    if (focusHandedBack_) Form_GotFocus();
    focusHandedBack_ = false;
}

void frmMain::closeEvent(QCloseEvent* e) {
    // A whole-database run holds the menus and loads each project in turn as the current one:
    // closing now would store that project as the user's and leave the run going unseen.
    if (!mnuFile->menuAction()->isEnabled()) {
        e->ignore();
        return;
    }
    if (!Form_Unload()) {
        e->ignore();
        return;
    }
    e->accept();
}

void frmMain::LoadMyProject() {
    hv::LoadMyProject(p_);
}
void frmMain::WriteIni() {
    hv::WriteIni(p_);
}
void frmMain::Navigate(const QString& target) {
    const QUrl url(target);
    const QString local = url.isLocalFile() ? url.toLocalFile() : url.scheme().isEmpty() ? target : QString();
    if (!local.isEmpty() && !QFileInfo::exists(local)) {
        p_.prompts.message("Hevrin could not find:\r\n" + local, Buttons::OK, Icon::Information, Title);
        return;
    }
    if (p_.system.openDocument(target)) return;
    p_.prompts.message("Hevrin could not open:\r\n" + target +
                           "\r\n\r\nThis desktop has no program set up to open it.",
                       Buttons::OK, Icon::Information, Title);
}

bool frmMain::projectAvailable() {
    if (p_.ProjectDatabasePath.isEmpty()) return false;
    if (ProjectTrainExists(p_, p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber)) return true;
    p_.status.setText(1, "No valid project selected. Please select a new project");
    return false;
}

bool frmMain::refuseWithoutDatabase() {
    if (!p_.ProjectDatabasePath.isEmpty() && QFileInfo::exists(p_.ProjectDatabasePath)) return false;
    p_.prompts.message("No project database is open. Please open a database first with Projects | Change "
                       "Current Selected Database.",
                       Buttons::OK, Icon::Information, Title);
    return true;
}

// Data entry and the spreadsheet import store readings under the current project of the
// open database: neither may change while one of them is open.
bool frmMain::refuseWhileCollecting() {
    QString window;
    if (p_.DataEntryOpen)
        window = QStringLiteral("Data Entry");
    else if (p_.ImportWindowOpen)
        window = QStringLiteral("Import Data");
    else
        return false;
    p_.prompts.message(window + " is still open. Please <Close and Exit> " + window + " first", Buttons::OK,
                       Icon::Information, Title);
    return true;
}

void frmMain::showProjectWindow(bool select, bool create, bool edit) {
    if (refuseWhileCollecting() || refuseWithoutDatabase()) return;
    // A project window that keeps what the user typed stays, and keeps its mode.
    if (!p_.windows.unload("frmProject")) return;
    p_.ProjectSelectMode = select;
    p_.ProjectCreateMode = create;
    p_.ProjectEditMode = edit;
    p_.windows.showFresh("frmProject");
    QCoreApplication::processEvents();
}

void frmMain::mnuDataEntry_Click() {
    if (!projectAvailable()) return;
    for (QWidget* project : p_.windows.findAll("frmProject")) {
        if (!project->isVisible()) continue;
        const Answer a = p_.prompts.message("Project Edit or Project Select or Create Project is still open. "
                                            "Hevrin needs to close the Project "
                                            "form before data collection can commence.\r\n\r\nSelect <OK> "
                                            "for Hevrin to close it for you.  Any "
                                            "unsaved data will be lost.  <Cancel> to close it yourself.",
                                            Buttons::OKCancel, Icon::None, Title);
        if (a != Answer::OK) return;
        // Only this one: another project window is asked about in its turn.
        QPointer<QWidget> guard(project);
        if (!project->close()) return;
        delete guard.data();
    }
    if (QWidget* data = p_.windows.find("frmData")) {
        data->show();
        data->raise();
    } else {
        p_.windows.showFresh("frmData");
    }
}

void frmMain::mnuProjectSelect_Click() {
    showProjectWindow(true, false, false);
}
void frmMain::mnuProjectCreate_Click() {
    showProjectWindow(false, true, false);
}
void frmMain::MnuProjectEdit_Click() {
    showProjectWindow(false, false, true);
}

void frmMain::mnuRecalc_Click() {
    QString text = "This will recalculate project " + p_.CurrentProject.ProjectID + " Train " +
                   QString::number(p_.CurrentProject.TrainNumber) + ".";
    if (p_.CurrentProject.NumTrains >= 2)
        text += "\r\nThis project may contain multiple trains. You must recalculate each train individually, "
                "or use "
                "the Recalcuate All Projects option.";
    if (p_.prompts.message(text, Buttons::OKCancel, Icon::None, Title) != Answer::OK) return;
    if (!p_.RecalculateProject) return;
    try {
        p_.RecalculateProject(p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber);
    } catch (const RunError& e) {
        // The project run reports nothing of its own; a failure must not end the program.
        p_.prompts.message("Error #" + QString::number(e.number()) + " " + e.description(), Buttons::OK,
                           Icon::Critical, Title);
    }
}

void frmMain::mnuRecalcAll_Click() {
    const Answer a = p_.prompts.message(
        "This will recalculate all projects in this database using the current project reference information "
        "\r\nand any changes made to the data records since the last recalculation.\r\n\r\nThis may take few "
        "moments depending on how many records exist in the project.",
        Buttons::OKCancel, Icon::None, Title);
    if (a == Answer::OK && p_.RecalculateAllProjects) p_.RecalculateAllProjects();
}

void frmMain::mnuEditProjectInformation_Click() {
    if (p_.prompts.message(
            "This utility can be used to completely delete a project. Do you want to continue?",
            Buttons::OKCancel, Icon::None, Title) == Answer::OK)
        p_.windows.showSingle("frmEditProject");
}

void frmMain::mnuEditRaw_Click() {
    if (p_.prompts.message(
            "This utility can be used to directly change data in your database without "
            "recalculating and no error checking. Please use care when changing or editing records. "
            "Do you want to continue?",
            Buttons::OKCancel, Icon::None, Title) == Answer::OK)
        p_.windows.showSingle("frmEditData");
}

void frmMain::mnuFileOpenDatabase_Click() {
    if (refuseWhileCollecting()) return;
    OpenDatabaseCommand(p_);
}

void frmMain::mnuBackup_Click() {
    const Answer a = p_.prompts.message(
        "Create a back up of your database? The default action will create a backup in the existing Hevrin "
        "application directory - \r\n\r\n" +
            p_.AppDataFolder +
            "\r\n\r\nHowever, you may select any directory and name for your backup copy. \r\n\r\nFor VISTA "
            "users, "
            "you may need to adjust your Windows Explorer settings under TOOLS | FOLDER OPTIONS | VIEW. Set "
            "the "
            "<Show Hidden Files and Folders> check box to Checked and the AppData directory will appear "
            "under your "
            "VISTA Computer user name",
        Buttons::OKCancel, Icon::None, "BACKUP DATABASE?");
    if (a != Answer::OK) return;
    p_.status.setText(1, "Backing up database");
    const QString result = BackupDatabase(p_, false);
    if (!result.startsWith("Err")) {
        p_.status.setText(1, "Backed up to: " + result);
    } else {
        p_.status.setText(1, "Database Backup Failed");
        p_.prompts.message(result, Buttons::OK, Icon::None, Title);
    }
}

void frmMain::mnuProjectsMigrate_Click() {
    // A migration ends on its TO database, and merging changes the open one.
    if (refuseWhileCollecting()) return;
    p_.PreviousDatabasePath = p_.ProjectDatabasePath;
    p_.windows.showModal("dlgMigrate");
}

void frmMain::mnuFileExit_Click() {
    close();
}

void frmMain::mnuEditLock_Click() {
    if (!p_.DataEntryOpen) {
        p_.prompts.message(GetMlString(1072, "The data entry form is not open."), Buttons::OK, Icon::None,
                           Title);
        return;
    }
    QWidget* data = p_.windows.find("frmData");
    const Answer a = p_.prompts.message(
        GetMlString(1071, "Allow configuration changes to the data entry/collection form?"), Buttons::YesNo,
        Icon::None, Title);
    p_.DataEntryConfigUnlocked = a == Answer::Yes;
    if (data) QMetaObject::invokeMethod(data, "ConfigBoxes");
    QCoreApplication::processEvents();
}

void frmMain::mnuEditEvent_Click() {
    p_.windows.showSingle("frmEvent");
}

void frmMain::mnuEditCustom_Click() {
    if (p_.DataEntryOpen) {
        p_.prompts.message(GetMlString(1070,
                                       "Please close all other forms before updating or adding elements. "
                                       "Custom Elements apply to ALL projects.  Once you add or modify "
                                       "elements, your changes will not take effect until all open forms "
                                       "have been closed and re-opened."),
                           Buttons::OK, Icon::None, Title);
        return;
    }
    p_.windows.showSingle("frmElementSpecs");
}

void frmMain::mnuEditDataFields_Click() {
    if (projectAvailable()) p_.windows.showSingle("frmUserDefined");
}

void frmMain::mnuRealTimeTest_Click() {
    if (p_.system.launch(p_.AppDataFolder + "/ddetest")) return;
    if (p_.system.launch(p_.system.programFolder() + "/ddetest")) return;
    p_.prompts.message("File DDEtest.exe not found", Buttons::OK, Icon::None, Title);
}

void frmMain::mnuDataView_Click() {
    // A new view at every use; earlier ones stay open.
    if (QWidget* w = p_.windows.create("rows")) {
        w->show();
        w->raise();
    }
}

void frmMain::mnuViewgraphs_Click() {
    p_.windows.showSingle("frmGraphs");
}
void frmMain::mnuDisplayGraphs_Click() {
    p_.windows.showSingle("frmPrintGraph");
}
void frmMain::mnugraphDelete_Click() {
    p_.windows.showSingle("frmEditSavedGraphs");
}

void frmMain::mnuExportProjectData_Click() {
    p_.ProjectInfoOnlyMode = false;
    p_.ExportCsvMode = false;
    p_.windows.showSingle("FrmExportData");
}

void frmMain::mnuExportCSV_Click() {
    p_.ProjectInfoOnlyMode = false;
    p_.ExportCsvMode = true;
    p_.windows.showSingle("FrmExportData");
}

void frmMain::mnuImportProjectData_Click() {
    p_.ProjectInfoOnlyMode = false;
    p_.windows.showSingle("FrmImportData");
}

void frmMain::mnuImportExcelData_Click() {
    if (!projectAvailable()) return;
    switch (p_.windows.windowState("frmImportExcel")) {
    case 0:
    case 2:
        if (QWidget* w = p_.windows.find("frmImportExcel")) {
            w->showNormal();
            w->raise();
            w->activateWindow();
        }
        return;
    case 1:
        p_.windows.unload("frmImportExcel");
        break;
    default:
        break;
    }
    p_.windows.showFresh("frmImportExcel");
}

void frmMain::mnuHelpUser_Click() {
    Navigate(p_.system.programFolder() + "/" + helptargets::HelpPage);
}

void frmMain::mnuHelpEmail_Click() {
    const QString address = QString::fromLatin1(helptargets::SupportMailAddress);
    if (p_.prompts.message("Send email questions and comments to Hevrin support: " + address,
                           Buttons::OKCancel, Icon::Question, Title) == Answer::OK)
        Navigate("mailto:" + address + "?" + "subject=" + helptargets::SupportMailSubject);
}

void frmMain::mnuHelpAbout_Click() {
    auto* splash = qobject_cast<frmSplash*>(p_.windows.showSingle("frmSplash"));
    if (splash) splash->Check1->setChecked(true);
    QCoreApplication::processEvents();
}

void frmMain::mnuContact_Click() {
    p_.windows.showSingle("frmContact");
}

void frmMain::mnuLicense_Click() {
    Navigate(p_.system.programFolder() + "/" + helptargets::LicenceDocument);
}

void frmMain::mnuSplash_Click() {
    const Answer a = p_.prompts.message(GetMlString(1088, "Splash Screen - show at start up?"),
                                        Buttons::YesNo, Icon::Question, Title);
    WriteIniSettings(p_, Section, {{"ShowSplash", a == Answer::Yes ? "yes" : "no"}});
}

void frmMain::mnuRealHelp_Click() {
    QUrl url = QUrl::fromLocalFile(p_.system.programFolder() + "/" + helptargets::HelpPage);
    url.setFragment(QString::fromLatin1(helptargets::NewsFragment));
    Navigate(url.toString());
}

} // namespace hv
