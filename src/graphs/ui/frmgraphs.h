#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "graphs/chartmodel.h"
#include "graphs/graphmanager.h"
#include "graphs/graphprint.h"
#include "graphs/graphstyle.h"

namespace hv {

struct Program;
struct UserGraphRow;
class ChartView;

// "Hevrin Graphs", the graph manager: a project train, up to four series, a period and
// options, and the graph drawn from them.
class frmGraphs : public QWidget {
    Q_OBJECT
public:
    explicit frmGraphs(Program& p, QWidget* parent = nullptr);
    ~frmGraphs() override;

    // Window state, read and written by the window's other parts.
    QString GraphProjectID;
    qint16 GraphTrain = 0;
    qint16 GraphNumTrains = 0;
    QStringList SeriesDescriptions; // [p] is list position p of the series boxes
    QStringList SeriesColumns;
    std::array<int, 5> DrawnSeriesIndex{-1, -1, -1, -1, -1};
    std::vector<int> DrawnSeries; // the list positions of the series drawn, in their order
    qint16 GraphSeriesCount = 0;
    GraphStyle Style;
    QDateTime GraphStartDate;
    QDateTime GraphEndDate;
    bool ActivationLoading = false;
    bool ReloadOnActivate = false;
    QString LastActivatedDatabase;
    QString LastActivatedProject;
    bool OverwriteGraph = false; // the user agreed to replace a saved graph of the same name
    // The project train the chart shows and its units, as drawn: the pictures, the print and
    // the information line name them, whatever the lists or the current project hold since.
    QString DrawnProjectID;
    qint16 DrawnTrain = 0;
    std::optional<GraphUnits> DrawnUnits;

    // The style record, series 1 to 4.
    qint32 LineColor(int index) const { return Style.LineColor.at(size_t(index - 1)); }
    qint32 SymbolColor(int index) const { return Style.SymbolColor.at(size_t(index - 1)); }
    qint16 LineStyle(int index) const { return Style.LineStyle.at(size_t(index - 1)); }
    qint16 SymbolStyle(int index) const { return Style.SymbolStyle.at(size_t(index - 1)); }

    // Controls.
    QComboBox* cbProject = nullptr;
    QComboBox* cboTrain = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* Label8 = nullptr;
    std::vector<QComboBox*> cboSeries;         // 0..3
    std::vector<QCheckBox*> chkEnableDropDown; // 0..2
    QLabel *Label1 = nullptr, *Label2 = nullptr;
    QLineEdit *txtStartDate = nullptr, *txtEndDate = nullptr;
    QLabel *lblStartDate = nullptr, *lblEndDate = nullptr;
    QCheckBox* ChkAllDates = nullptr;
    QLabel* Label4 = nullptr;
    std::vector<QRadioButton*> Option1; // 0 "Date", 1 "Elapsed Time"
    QLabel* lblDateNoon = nullptr;
    QCheckBox* chkShowEvents = nullptr;
    QLabel* Label5 = nullptr;
    QListWidget* lstEvents = nullptr;
    QLabel* lblEvents = nullptr;
    QCheckBox* chkShowTarget = nullptr;
    QLineEdit* txtLineValue = nullptr;
    QLineEdit* txtWidth = nullptr;
    std::vector<QLabel*> lblMax; // 0, 1
    QLineEdit* txtTitle = nullptr;
    QLabel* Label10 = nullptr;
    QComboBox* cboMyGraphs = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cboDefaultGraphs = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton *cmdGraph = nullptr, *cmdSave = nullptr, *cmdConfigure = nullptr;
    QPushButton *cmdDisplay = nullptr, *btnJPG = nullptr, *btnPrint = nullptr;
    ChartModel* chartModel() { return &chart_; }
    ChartView* Chart2D1 = nullptr;

    // Procedures.
    void Form_Activate();
    void LoadCBProject();
    void LoadTrains();
    void LoadSeriesList();
    // The series lists again for another graphed project, keeping the measurements picked.
    void ReloadSeriesCaptions();
    // The cleaning level typed, 0 for an empty box; nothing, said naming the box, when the box
    // holds no number.
    std::optional<double> typedCleaningLevel();
    void LoadMyGraphs();
    void FillDefaultGraphs();
    void SetChartTitles();
    void cmdGraph_Click();
    void cmdConfigure_Click();
    // Loads the saved graph the list names into the window and draws it.
    void cboMyGraphs_Change();
    // Writes the window's graph as a saved graph of that name.
    void SaveUserGraph(const QString& name);
    int FindSeriesIndex(const QString& description) const;

    // Handlers.
    void cbProject_Click();
    void cboTrain_Click();
    void cboSeries_Click(int k);
    void chkEnableDropDown_Click(int k);
    void ChkAllDates_Click();
    void Option1_Click(int k);
    void chkShowEvents_Click();
    void txtStartDate_LostFocus();
    void txtEndDate_LostFocus();
    void txtTitle_Commit();
    void cmdSave_Click();
    void cboDefaultGraphs_Click();
    void cmdDisplay_Click();
    void btnJPG_Click();
    void btnPrint_Click();

protected:
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void build();
    // The list positions of the series a drawing would take now: the shown boxes with a choice.
    std::vector<int> chosenSeries() const;
    void SaveLastGraph();
    UserGraphRow currentGraphRow();
    ChartPictureWriter pictureWriter();
    ProjectTrainKey drawnTrain() const;
    void reportFailure(const QString& what);

    Program& p_;
    ChartModel chart_;
};

} // namespace hv
