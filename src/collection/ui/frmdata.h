#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
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

#include "collection/inputconfig.h"
#include "collection/pollclock.h"
#include "collection/pollrun.h"
#include "collection/reading.h"
#include "collection/readingitems.h"
#include "collection/ui/entryform.h"
#include "platform/prompts.h"

namespace hv {

namespace links {
class LinkClient;
}
struct Program;

// The data collection window: the 25 input rows of a reading beside the two newest
// stored readings and the reference, checks, saving, normalization and alarms.
class frmData : public EntryForm {
    Q_OBJECT
public:
    // The clock defaults to a 60-second timer.
    explicit frmData(Program& p, std::unique_ptr<PollClock> clock = nullptr, QWidget* parent = nullptr);
    ~frmData() override;

    std::vector<QCheckBox*> ChkHide;
    std::vector<QLabel*> lblField, Label1, lblScada;

    QLabel* lblReqd = nullptr;
    QLabel* lblWarnings = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdChange = nullptr;
    QPushButton* cmdHelp = nullptr;
    QLabel* Label2 = nullptr;
    QCheckBox* chkWarnings = nullptr;
    PollClock* Timer1 = nullptr;
    // The DDE client of each row's value box txtData k.
    std::vector<links::LinkClient*> ddeLinks;

    // Window state.
    std::vector<EventEntry> Events; // the entries of cbEvent, with their EventIDs
    bool FirstUseSave = false;
    bool SuppressWarningsPrompt = false;
    QDateTime NextSaveTime;
    qint32 DdeFailureCount = 0;
    bool DdeFailed = false;

    // Procedures.
    void DefineListItems();
    bool DefineUserItems();
    bool Configure_cbItem(const QString& projectId);
    void ConfigureAll();
    void FillScadaInfo(const QString& projectId, int trainNumber);
    int ValidateData();
    bool SaveAllData();
    void RollOverData();
    bool CheckAllDifferent() override;
    void saveScadaPollingData();

    // Handlers.
    void cmdSave_Click();
    void cmdClose_Click();
    void cmdChange_Click();
    void chkWarnings_Click();
    void ChkHide_Click(int Index);
    void chkUseScada_Click();
    void optScada_Click(int Index);
    void Timer1_Timer();
    void chkScada_Click(int Index);
    void cmdTestPoll_Click();
    void cmdSaveConfig_Click();
    void cmdDefault_Click();
    void cmdHelp_Click();
    void txtScadaItem_KeyPress(int Index, int& KeyAscii);
    void cbEvent_KeyPress(int& KeyAscii);
    void cbEvent_LostFocus();
    void txtData_LostFocus(int Index) override;
    void txtSaveInterval_KeyPress(int& KeyAscii);
    void txtSaveInterval_LostFocus();

public slots:
    // Enables or disables the configuration controls from DataEntryConfigUnlocked.
    void ConfigBoxes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void Form_Load();
    void unloadDuringLoad();
    void showLoadFailure(const QString& text);
    bool rebuildRows();
    void countReadings();
    void onLinkText(int k, const QString& text);
    QString entryElapsedText() const;
    bool unattended() const override;
    void sayUnattended(const QString& text) override;
    // A message box, or while nobody started the work, sayUnattended.
    void tell(const QString& text, Icon icon);
    std::vector<ScadaRow> scadaRows() const;
    // One poll: the links built afresh and every linked row fetched into the entry column;
    // with `store`, the reading polled is checked and stored, and the outcome said.
    void poll(bool store);
    PollSetup pollSetup() const;
    // A failed fetch said; the entry column shows `before` again.
    void reportFetchFailure(const RowFetchFailure& f, const std::array<QString, ItemCount>& before);
    void showPolled(const PolledValues& read);
    void showPollOutcome(const PollOutcome& out);
    // What became of a reading the intake took, or of a save the database refused; true
    // when the reading was stored.
    bool showSaved(const SavedReading& saved);
    void showSaveFailure(const RunError& e);
    // The link updates held during a save or a poll's store, into the entry boxes.
    void applyHeldUpdates();

    std::unique_ptr<PollClock> clock_;
    // A poll or a save is running: its link waits and message boxes run nested event
    // loops, in which a clock tick must not start another.
    bool polling_ = false;
    bool saving_ = false;
    bool clockPoll_ = false;             // the clock's poll and save run: nothing waits on a person
    bool holdLinks_ = false;             // a poll's values are fetched: later updates wait for its end
    std::map<int, QString> heldUpdates_; // automatic updates that came during a save
    bool fillingScada_ = false;
};

} // namespace hv
