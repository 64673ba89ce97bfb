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
#include "collection/reading.h"
#include "collection/readingitems.h"

namespace hv {

namespace links {
class LinkClient;
}
struct Program;

// The data collection window: the 25 input rows of a reading beside the two newest
// stored readings and the reference, checks, saving, normalization and alarms.
class frmData : public QWidget {
    Q_OBJECT
public:
    // The clock defaults to a 60-second timer.
    explicit frmData(Program& p, std::unique_ptr<PollClock> clock = nullptr, QWidget* parent = nullptr);
    ~frmData() override;

    // Input rows, indexed by row 0-24.
    std::vector<QCheckBox*> chkREQD, ChkHide, chkDefault, chkScada;
    std::vector<QComboBox*> cbItem;
    std::vector<QLabel*> lblUnits;
    std::vector<QLineEdit*> txtScadaApp, txtScadaTopic, txtScadaItem;
    // Value boxes: k new value, k+100 newest reading, k+200 the one before, k+300 reference.
    std::map<int, QLineEdit*> txtData;
    std::map<int, QLabel*> lblTime; // 0-3 elapsed hours of the columns, 4 and 10 captions
    std::vector<QLabel*> lblField, Label1, lblScada;

    QLabel* lblReqd = nullptr;
    QLabel* lblProject = nullptr;
    QLabel* lblProjectID = nullptr;
    QLineEdit* txtTrain = nullptr;
    QLabel* lblTrain = nullptr;
    QLabel* lblEvent = nullptr;
    QComboBox* cbEvent = nullptr;
    QLabel* lblNotes = nullptr;
    QLineEdit* txtNotes = nullptr;
    QLabel* lblDataInfo = nullptr;
    QLabel* lblWarnings = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdSaveConfig = nullptr;
    QPushButton* cmdDefault = nullptr;
    QPushButton* cmdChange = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdTestPoll = nullptr;
    QCheckBox* chkUseScada = nullptr;
    std::vector<QRadioButton*> optScada;
    QLabel* Label2 = nullptr;
    QLineEdit* txtSaveInterval = nullptr;
    QCheckBox* chkWarnings = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::vector<QLabel*> panels; // StatusBar1's panels 1-4 at 0-3
    PollClock* Timer1 = nullptr;
    // The DDE client of each row's value box txtData k.
    std::vector<links::LinkClient*> ddeLinks;

    // Window state.
    QStringList ItemCaptions;
    QStringList ItemFields;
    UserItems UserUnits;
    std::vector<EventEntry> Events; // the entries of cbEvent, with their EventIDs
    bool FirstUseSave = false;
    bool SuppressWarningsPrompt = false;
    QString LastFieldText;
    ReadingValues Reading;
    QDateTime NextSaveTime;
    qint32 DdeFailureCount = 0;
    bool DdeFailed = false;

    QLabel* panel(int n) const { return panels[size_t(n - 1)]; }
    // True once the load gave up and the window is going away without being shown.
    bool unloadedDuringLoad() const { return unloaded_; }
    void setVisible(bool visible) override;

    // Procedures.
    void DefineListItems();
    bool DefineUserItems();
    bool Configure_cbItem(const QString& projectId);
    void ConfigureAll();
    void FillScadaInfo(const QString& projectId, int trainNumber);
    int ValidateData();
    bool SaveAllData();
    bool CalculateAllData(const QDateTime& when);
    void RollOverData();
    bool CheckAllDifferent();
    void saveScadaPollingData();

    // Handlers.
    void cmdSave_Click();
    void cmdClose_Click();
    void cmdChange_Click();
    void lblDataInfo_Click();
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
    void cbItem_DropDown(int Index);
    void cbItem_LostFocus(int Index);
    void txtScadaItem_KeyPress(int Index, int& KeyAscii);
    void cbEvent_KeyPress(int& KeyAscii);
    void cbEvent_LostFocus();
    void txtData_GotFocus(int Index);
    void txtData_KeyPress(int Index, int& KeyAscii);
    void txtData_LostFocus(int Index);
    void txtSaveInterval_KeyPress(int& KeyAscii);
    void txtSaveInterval_LostFocus();

public slots:
    // Enables or disables the configuration controls from DataEntryConfigUnlocked.
    void ConfigBoxes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void Form_Load();
    void unloadDuringLoad();
    void showRow(int k, bool visible, bool withItemBox);
    int itemOfRow(int k) const;
    std::array<int, ItemCount> rowOrder() const;
    QString settingKey(const QString& suffix) const;
    void setStatus(int n, const QString& text, bool wide = false);
    void showLoadFailure(const QString& text);
    bool rebuildRows();
    void countReadings();
    void onLinkText(int k, const QString& text);
    QString entryElapsedText() const;
    std::vector<ScadaRow> scadaRows() const;

    Program& p_;
    std::unique_ptr<PollClock> clock_;
    bool unloaded_ = false;
    // A poll or a save is running: its link waits and message boxes run nested event
    // loops, in which a clock tick must not start another.
    bool polling_ = false;
    bool saving_ = false;
    std::map<int, QString> heldUpdates_; // automatic updates that came during a save
    bool fillingScada_ = false;
};

} // namespace hv
