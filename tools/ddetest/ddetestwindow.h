#pragma once
#include <QWidget>

#include "platform/links/linkserver.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace hv {
class Prompts;
}

// The link test program's window: serves an editable table of topics, items and values
// under an application name. A changed value reaches automatic links at once.
class DdeTestWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* DefaultApplication = "Excel";
    static constexpr const char* DefaultSheet = "Sheet1";

    explicit DdeTestWindow(hv::Prompts& prompts, const QString& application = DefaultApplication,
                           QWidget* parent = nullptr);

    hv::links::LinkServer& server() { return server_; }

    QLineEdit* txtApplication = nullptr;
    QPushButton* cmdServe = nullptr;
    QTableWidget* grdItems = nullptr;
    QPushButton* cmdAddRow = nullptr;
    QPushButton* cmdDeleteRow = nullptr;
    QPushButton* cmdAddSheet = nullptr;
    QPushButton* cmdLoadItems = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblStatus = nullptr;

    void cmdServe_Click();
    void cmdAddRow_Click();
    void cmdDeleteRow_Click();
    void cmdAddSheet_Click();
    void cmdLoadItems_Click();
    void grdItems_ItemChanged(QTableWidgetItem* cell);

private:
    void fillGrid();
    void showStatus();

    hv::Prompts& prompts_;
    hv::links::LinkServer server_;
    bool filling_ = false;
};
