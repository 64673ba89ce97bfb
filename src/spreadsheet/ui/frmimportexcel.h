#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "collection/reading.h"
#include "collection/readingitems.h"
#include "collection/ui/entryform.h"
#include "normalization/intake.h"
#include "platform/bulkwork.h"
#include "platform/links/linkclient.h"

namespace hv {

struct Program;

// Batch entry of readings from a spreadsheet: each sheet row is fetched over cell links
// into the 25 input rows, checked, stored and normalized, and the links move one row down.
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
    int ValidateData();
    bool SaveAllData();
    void RollOverData();

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
    // What the window shows of the run, as it stood before the first reading of the open
    // batch was stored: a failed commit brings it back.
    struct Shown {
        std::array<QString, ItemCount> entry, earlier1, earlier2, cells;
        std::array<QString, 3> times;
        std::array<QString, 4> panels;
        qint32 count = 0;
    };
    Shown snapshot() const;
    void restore(const Shown& s);

    void buildControls();
    void connectHandlers();
    void Form_Load();
    // Moves every cell reference a row on; returns the sheet row the reading came from.
    int advanceReferences();
    // What the date row holds that is not a date, and where it came from.
    QString badDateText(int dateRow) const;
    void rewriteOtherRows(int dateRow);
    bool importOneRow(bool allRows);
    bool yieldToWindow(bool force = false);
    void letWindowPaint();
    ReadingIntake& batch();
    bool flushBatch();
    // The batch could not be completed: none of it is stored, and the window shows again
    // the first reading of it.
    void batchLost(const RunError& e);
    // Takes the readings the batch committed into the run's tally and shows its state.
    void takeCommitted();
    QString importedText() const;
    void sayFetchFailure(int k, const links::LinkClient& link);

    // The project train and database the window was opened for: a run stores there
    // whatever the program loads meanwhile.
    ProjectInfoRecord project_;
    QString databasePath_;
    std::unique_ptr<ReadingIntake> batch_;
    Shown beforeBatch_;
    // What the run (one click of Save) stored and skipped.
    ReadingIntake::Tally runStored_;
    int runSkipped_ = 0;
    bool valuesTyped_ = false;
    bool linksTyped_ = false;
    QString refusal_; // why the checks refused the last row, for the status
    bool running_ = false;
    bool stopRequested_ = false;
    bool closeAfterRun_ = false;
    BatchClock yieldClock_{BatchPolicy{}};
    QElapsedTimer sincePaint_;
};

} // namespace hv
