#pragma once
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <vector>

class QWindow;

namespace hv {

struct Program;

// The main window: menus, the program and database versions, the status bar.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(Program& p, QWidget* parent = nullptr);
    ~frmMain() override;

    // Public procedures other windows call.
    void LoadMyProject();
    void WriteIni();
    void Navigate(const QString& target);

    QLabel* picLogo = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblCompanyProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDatabase = nullptr;
    QLabel* lblDBVersion = nullptr;
    QLabel* lblMembDB = nullptr;
    QStatusBar* sbStatusBar = nullptr;
    std::vector<QLabel*> sbPanels; // panels 1 to 3 at indices 0 to 2

    QMenu* mnuFile = nullptr;
    QAction* mnuDataEntry = nullptr;
    QAction* mnuProjectSelect = nullptr;
    QAction* mnuProjectCreate = nullptr;
    QAction* MnuProjectEdit = nullptr;
    QAction* mnuRecalc = nullptr;
    QAction* mnuRecalcAll = nullptr;
    QAction* mnuEditProjectInformation = nullptr;
    QAction* mnuEditRaw = nullptr;
    QAction* mnuFileOpenDatabase = nullptr;
    QAction* mnuBackup = nullptr;
    QAction* mnuProjectsMigrate = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditLock = nullptr;
    QAction* mnuEditEvent = nullptr;
    QAction* mnuEditCustom = nullptr;
    QAction* mnuEditDataFields = nullptr;
    QAction* mnuRealTimeTest = nullptr;
    QAction* mnuDataView = nullptr;
    QMenu* mnu9 = nullptr;
    QAction* mnuViewgraphs = nullptr;
    QAction* mnuDisplayGraphs = nullptr;
    QAction* mnugraphDelete = nullptr;
    QMenu* mnuData = nullptr;
    QAction* mnuExportProjectData = nullptr;
    QAction* mnuExportCSV = nullptr;
    QAction* mnuImportProjectData = nullptr;
    QAction* mnuImportExcelData = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpUser = nullptr;
    QAction* mnuHelpEmail = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuContact = nullptr;
    QAction* mnuLicense = nullptr;
    QAction* mnuSplash = nullptr;
    QAction* mnuRealHelp = nullptr;

    void mnuDataEntry_Click();
    void mnuProjectSelect_Click();
    void mnuProjectCreate_Click();
    void MnuProjectEdit_Click();
    void mnuRecalc_Click();
    void mnuRecalcAll_Click();
    void mnuEditProjectInformation_Click();
    void mnuEditRaw_Click();
    void mnuFileOpenDatabase_Click();
    void mnuBackup_Click();
    void mnuProjectsMigrate_Click();
    void mnuFileExit_Click();
    void mnuEditLock_Click();
    void mnuEditEvent_Click();
    void mnuEditCustom_Click();
    void mnuEditDataFields_Click();
    void mnuRealTimeTest_Click();
    void mnuDataView_Click();
    void mnuViewgraphs_Click();
    void mnuDisplayGraphs_Click();
    void mnugraphDelete_Click();
    void mnuExportProjectData_Click();
    void mnuExportCSV_Click();
    void mnuImportProjectData_Click();
    void mnuImportExcelData_Click();
    void mnuHelpUser_Click();
    void mnuHelpEmail_Click();
    void mnuHelpAbout_Click();
    void mnuContact_Click();
    void mnuLicense_Click();
    void mnuSplash_Click();
    void mnuRealHelp_Click();

protected:
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void buildMenus();
    void Form_Load();
    void Form_Activate();
    void Form_GotFocus();
    bool Form_Unload();
    void showStatusPanel(int panel);
    void showLabels();
    void enableWindowItems();
    bool projectAvailable();
    bool refuseWithoutDatabase();
    bool ourWindow(const QWindow* w) const;
    bool refuseWhileCollecting();
    void showProjectWindow(bool select, bool create, bool edit);

    Program& p_;
    QTimer clock_;
    // The placement as loaded, in twips: a window the user did not move keeps these
    // exact values rather than ones rounded through pixels.
    int leftTwips_ = 0, topTwips_ = 0, widthTwips_ = 0, heightTwips_ = 0;
    // Whether the window active before this one is another of the program's windows
    // (not a message box, a dialog or another program).
    bool handedBackByOurs_ = false;
    // The focus that comes with an activation handed back by one of the program's windows.
    bool focusHandedBack_ = false;
    bool activatedBefore_ = false;
    std::vector<std::pair<QAction*, QString>> windowItems_; // items that wait for their window
};

} // namespace hv
