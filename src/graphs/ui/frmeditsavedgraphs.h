#pragma once
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <vector>

#include "graphs/savedgraphbrowser.h"

namespace hv {

struct Program;

// "UserGraphs": steps through the current project's saved graphs and deletes them.
// Shows a graph's name and project; edits nothing.
class frmEditSavedGraphs : public QWidget {
    Q_OBJECT
public:
    explicit frmEditSavedGraphs(Program& p, QWidget* parent = nullptr);

    std::vector<QLabel*> lblLabels;    // 0..2
    std::vector<QLineEdit*> txtFields; // 0 GraphName, 1 ID (hidden), 2 ProjectID
    QFrame* picStatBox = nullptr;
    QPushButton* cmdFirst = nullptr;
    QPushButton* cmdPrevious = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdLast = nullptr;
    QLabel* lblStatus = nullptr;
    QFrame* picButtons = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdClose = nullptr;

    SavedGraphRecordset adoPrimaryRS;

    // Opens the rows and places the window; false (after saying why) when the database
    // cannot be read, and the window is not to be shown.
    bool Form_Load();
    void Form_Resize();
    // True when the key was one of the window's own.
    bool Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void adoPrimaryRS_MoveComplete();
    void cmdFirst_Click();
    void cmdLast_Click();
    void cmdNext_Click();
    void cmdPrevious_Click();
    void cmdRefresh_Click();
    void cmdDelete_Click();
    void cmdClose_Click();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Runs a move; a failure shows the database's description and leaves the window as it was.
    template <class F> void navigate(F&& f);
    Program& p_;
};

} // namespace hv
