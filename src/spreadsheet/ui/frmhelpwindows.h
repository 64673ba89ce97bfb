#pragma once
#include <QLabel>
#include <QPlainTextEdit>

#include "platform/ui/helpwindow.h"

namespace hv {

// Regional date and number formats, and how a spreadsheet shows a date that is only text.
class frmDate : public HelpWindow {
    Q_OBJECT
public:
    explicit frmDate(QWidget* parent = nullptr);
    QPlainTextEdit* Text1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdCancel = nullptr;
};

// Step-by-step instructions for the spreadsheet import.
class frmImportHelp : public HelpWindow {
    Q_OBJECT
public:
    explicit frmImportHelp(QWidget* parent = nullptr);
    QPlainTextEdit* txtUserNote = nullptr;
    QPushButton* cmdClosebox = nullptr;
};

} // namespace hv
