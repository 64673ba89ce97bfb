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
#include "platform/links/linkclient.h"

namespace hv {

struct Program;
class ImportBatch;

// Batch entry of readings from a spreadsheet: each sheet row is fetched over cell links
// into the 25 input rows, checked, stored and normalized, and the links move one row down.
class frmImportExcel : public QWidget {
    Q_OBJECT
public:
    explicit frmImportExcel(Program& p, QWidget* parent = nullptr);
    ~frmImportExcel() override;

    std::vector<QCheckBox*> chkREQD, chkDefault, chkScada;
    std::vector<QComboBox*> cbItem;
    std::vector<QLabel*> lblUnits;
    std::vector<QLineEdit*> txtScadaApp, txtScadaTopic, txtScadaItem;
    std::map<int, QLineEdit*> txtData; // k entry, k+100 newest, k+200 the one before, k+300 reference
    std::map<int, QLabel*> lblTime;
    std::vector<links::LinkClient*> links; // the link of txtData(k)
    QLabel* lblProjectID = nullptr;
    QLineEdit* txtTrain = nullptr;
    QLabel* lblTrain = nullptr;
    QLabel* lblDataInfo = nullptr;
    QComboBox* cbEvent = nullptr;
    QLineEdit* txtNotes = nullptr;
    std::vector<QPushButton*> cmdSave; // one element, 0
    QPushButton* cmdTestPoll = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdFormat = nullptr;
    QPushButton* cmdSaveConfig = nullptr;
    QPushButton* cmdDefault = nullptr;
    std::vector<QRadioButton*> OptImport, optScada;
    QCheckBox* chkIgnore = nullptr;
    QCheckBox* chkUseScada = nullptr;
    QLineEdit* txtSaveInterval = nullptr;
    QLabel* lblNumberSample = nullptr;
    QLabel* lblDateSample = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::vector<QLabel*> panels;

    QStringList ItemCaptions, ItemFields;
    UserItems UserUnits;
    bool FirstReadingPending = false;
    bool SuppressIgnorePrompt = false;
    qint32 ImportedRowCount = 0;
    ReadingValues Reading;
    QString SavedEntryText;

    QLabel* panel(int n) const { return panels[size_t(n - 1)]; }
    bool running() const { return running_; }
    bool unloadedDuringLoad() const { return unloaded_; }
    void setVisible(bool visible) override;

    void DefineListItems();
    bool Configure_cbItem(const QString& projectId);
    void ConfigureAll();
    bool CheckAllDifferent();
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
    void lblDataInfo_Click();
    void txtData_GotFocus(int Index);
    void txtData_KeyPress(int Index, int& KeyAscii);
    void txtData_LostFocus(int Index);
    void txtScadaItem_LostFocus(int Index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void Form_Load();
    int itemOfRow(int k) const;
    std::array<int, ItemCount> rowOrder() const;
    void showRow(int k, bool visible);
    void setStatus(int n, const QString& text, bool wide = false);
    void say(const QString& text);
    int advanceReferences();
    void rewriteOtherRows(int dateRow);
    bool importOneRow(bool allRows);
    void yieldToWindow(bool force = false);
    bool flushBatch();

    Program& p_;
    std::unique_ptr<ImportBatch> batch_;
    bool running_ = false;
    bool stopRequested_ = false;
    bool closeAfterRun_ = false;
    bool unloaded_ = false;
    QElapsedTimer sinceYield_;
    QElapsedTimer sincePaint_;
};

} // namespace hv
