#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "collection/reading.h"
#include "collection/readingitems.h"
#include "collection/ui/entryform.h"
#include "platform/bulkwork.h"
#include "platform/links/linkclient.h"
#include "spreadsheet/importrun.h"

namespace hv {

struct Program;
class ImportWindowRun;

// The status line's four panels after `r`, over what they showed before the run: panel 1
// the calculations, 2 a save that failed, 3 and 4 the count and the row stored last (in
// the other order one row a click) or the row the run stopped on.
std::array<QString, 4> SheetImportPanels(const SheetImportReport& r, std::array<QString, 4> before);

// Batch entry of readings from a spreadsheet: the window keeps the cell links, starts the
// import's run over them, shows its rows and progress, and offers the stop.
class frmImportExcel : public EntryForm {
    Q_OBJECT
public:
    explicit frmImportExcel(Program& p, QWidget* parent = nullptr);
    ~frmImportExcel() override;

    std::vector<links::LinkClient*> links; // the link of txtData(k)
    std::vector<QPushButton*> cmdSave;     // one element, 0
    QPushButton* cmdFormat = nullptr;
    std::vector<QRadioButton*> OptImport;
    QCheckBox* chkIgnore = nullptr;
    QLabel* lblNumberSample = nullptr;
    QLabel* lblDateSample = nullptr;

    bool FirstReadingPending = false;
    bool SuppressIgnorePrompt = false;
    qint32 ImportedRowCount = 0;

    // When an all-rows run commits what it stored and gives the windows their turn: after
    // `rows` readings or once a batch has taken `millis`, and how long a commit waits for
    // another program's lock.
    BatchPolicy batchLimits{0, 400, 5000};

    bool running() const { return running_; }

    void DefineListItems();
    bool Configure_cbItem(const QString& projectId);
    void ConfigureAll();
    bool CheckAllDifferent() override;
    void FillScadaInfo(const QString& projectId, int train);
    void SaveScadaConfig();

    void cmdSave_Click();
    bool cmdTestPoll_Click();
    void chkUseScada_Click();
    void chkIgnore_Click();
    void chkIgnore_MouseDown(int Button);
    void cmdFormat_Click();
    void cmdClose_Click();
    void cmdDefault_Click();
    void cmdSaveConfig_Click();
    void txtData_LostFocus(int Index) override;
    void txtScadaItem_LostFocus(int Index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class ImportWindowRun;

    void buildControls();
    void connectHandlers();
    void Form_Load();
    // How a run (or a fetch) goes, and the rows as the window shows them.
    SheetImportSetup runSetup(bool allRows) const;
    SheetImportState shownState() const;
    void showState(const SheetImportState& s);
    void showReport(const SheetImportReport& r);
    std::array<QString, 4> shownPanels() const;

    // The project train and database the window was opened for: a run stores there
    // whatever the program loads meanwhile.
    ProjectInfoRecord project_;
    QString databasePath_;
    bool running_ = false;
    bool closeAfterRun_ = false;
    ImportWindowRun* run_ = nullptr;   // the run under way, which a close stops
    std::array<QString, 4> runPanels_; // the panels as the run found them
};

} // namespace hv
