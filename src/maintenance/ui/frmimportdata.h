#pragma once
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <vector>

#include "maintenance/ui/exchangewindow.h"

#include "maintenance/exchangeimport.h"

namespace hv {

struct Program;

// Reads a project exchange file into the open database: the project train (new, replaced or
// kept), its user-defined captions and the readings of a date range.
class FrmImportData : public ExchangeWindow {
    Q_OBJECT
public:
    explicit FrmImportData(Program& p, QWidget* parent = nullptr);

    QPushButton* cmdCSVFile = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdexit = nullptr;
    QCheckBox* chkAlldata = nullptr;
    QDateTimeEdit* DTPicker1 = nullptr;
    QDateTimeEdit* DTPicker2 = nullptr;
    std::vector<QLabel*> lblLabels; // 0, 2, 3 used
    QLabel* Label1 = nullptr;
    QLabel* lblDB = nullptr;
    QLabel* lblFileName = nullptr;
    QLabel* lblProject = nullptr;

    const ImportChoice& choice() const { return choice_; }
    unsigned projectColour() const { return colour_; } // 65280 green, 255 red, 65535 yellow; 0 none

    void cmdCSVFile_Click();
    void cmdImport_Click();
    void chkAlldata_Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void Form_Load();
    void showProject(const QString& text, unsigned colour);

    Program& p_;
    ImportChoice choice_;
    unsigned colour_ = 0;
    // What the file choice said the import will do, shown again while an import runs.
    QString choiceText_;
    unsigned choiceColour_ = 0;
};

} // namespace hv
