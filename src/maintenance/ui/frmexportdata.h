#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <vector>

#include "maintenance/ui/exchangewindow.h"

namespace hv {

struct Program;

// Exports one project train and its readings to an exchange file (";") or, in the CSV mode,
// to a spreadsheet file (",").
class FrmExportData : public ExchangeWindow {
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
    QString OutputFileName;

    void chkAll_Click();
    void CmbProjectId_LostFocus();
    void cmdTXTfile_Click();
    void cmdCSVFile_Click();
    void cmdExport_Click();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void Form_Load();
    void chooseFile(const QString& filter, const QString& caption);

    Program& p_;
};

} // namespace hv
