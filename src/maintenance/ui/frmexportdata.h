#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <vector>

#include "platform/bulkwork.h"

namespace hv {

struct Program;

// Exports one project train and its readings to an exchange file (";") or, in the CSV mode,
// to a spreadsheet file (",").
class FrmExportData : public QWidget, private RunProgress {
    Q_OBJECT
public:
    explicit FrmExportData(Program& p, QWidget* parent = nullptr);

    QComboBox* CmbProjectId = nullptr;
    QDateTimeEdit* DTPicker1 = nullptr;
    QDateTimeEdit* DTPicker2 = nullptr;
    QCheckBox* chkAll = nullptr;
    QPushButton* cmdTXTfile = nullptr;
    QPushButton* cmdCSVFile = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdexit = nullptr;
    QLabel* lblFileName = nullptr;
    QLabel* lblDB = nullptr;
    std::vector<QLabel*> lblLabels; // 0, 2, 3 used
    QStatusBar* SBImport = nullptr;
    std::vector<QLabel*> SBImportPanels; // panels 1 and 2
    QString OutputFileName;

    QString panelText(int panel) const;

    void chkAll_Click();
    void CmbProjectId_LostFocus();
    void cmdTXTfile_Click();
    void cmdCSVFile_Click();
    void cmdExport_Click();
    void cmdexit_Click();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Form_Load();
    void chooseFile(const QString& filter, const QString& caption);
    void setPanel(int panel, const QString& text);
    // The run's texts go to the window's panels; between batches the windows get their turn,
    // and the Cancel button its say.
    void setStatus(int panel, const QString& text) override { setPanel(panel, text); }
    bool yieldAndCheckCancel() override;

    Program& p_;
    bool running_ = false;
    bool cancel_ = false;
};

} // namespace hv
