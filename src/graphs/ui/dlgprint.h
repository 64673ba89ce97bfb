#pragma once
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "graphs/graphprint.h"

namespace hv {

struct Program;

// Prints the current graph's picture under a header with the current project and train.
// Modeless; unloads itself after OK and Cancel.
class dlgPrint : public QDialog {
    Q_OBJECT
public:
    explicit dlgPrint(Program& p, QWidget* parent = nullptr);

    QGroupBox* fraDestination = nullptr;
    QComboBox* cbPrinters = nullptr;
    QPushButton* btnSetup = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // The project train the picture shows, named in the header; the current one's until told.
    QString GraphProjectID;
    qint16 GraphTrain = 0;

    void Form_Load();
    void btnSetup_Click();
    void btnOk_Click();
    void btnCancel_Click();
    // The header line of the job, without its indent.
    virtual QString HeaderText() const;

protected:
    Program& p_;
    QVBoxLayout* body_ = nullptr; // the rows between the frame and the buttons

private:
    QPrinter printer_{QPrinter::HighResolution}; // keeps what the set-up dialog changed
};

// The graph window's "Print Current Graph": saves the chart as "Chartx.svg" in the data
// folder (the legend padded only in the picture), makes it the file to print and shows dlgPrint
// with the header of the project train the chart shows. A picture that cannot be written is
// reported and nothing is offered for printing.
void PrintCurrentGraph(Program& p, const ChartPictureWriter& chart, const QString& project, qint16 train);

} // namespace hv
