#include "graphs/ui/dlgprint.h"

#include <QGuiApplication>
#include <QHBoxLayout>

#include "core/program.h"

namespace hv {

dlgPrint::dlgPrint(Program& p, QWidget* parent)
    : QDialog(parent), GraphProjectID(p.CurrentProject.ProjectID), GraphTrain(p.CurrentProject.TrainNumber),
      p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral(" Print"));

    fraDestination = new QGroupBox(QStringLiteral("Print Destination"), this);
    fraDestination->setObjectName("fraDestination");
    cbPrinters = new QComboBox(fraDestination);
    cbPrinters->setObjectName("cbPrinters");
    cbPrinters->setMinimumWidth(260);
    btnSetup = new QPushButton(QStringLiteral("Setup"), fraDestination);
    btnSetup->setObjectName("btnSetup");
    auto* frame = new QHBoxLayout(fraDestination);
    frame->addWidget(cbPrinters, 1);
    frame->addWidget(btnSetup);

    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName("btnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraDestination);
    body_ = new QVBoxLayout;
    layout->addLayout(body_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnSetup, &QPushButton::clicked, this, &dlgPrint::btnSetup_Click);
    connect(btnOk, &QPushButton::clicked, this, &dlgPrint::btnOk_Click);
    connect(btnCancel, &QPushButton::clicked, this, &dlgPrint::btnCancel_Click);
    Form_Load();
}

void dlgPrint::Form_Load() {
    const PrinterChoices printers = InstalledPrinters();
    cbPrinters->addItems(printers.names);
    cbPrinters->setCurrentIndex(printers.current);
}

void dlgPrint::btnSetup_Click() {
    const QString name = cbPrinters->currentText();
    if (name == PrintToPdf)
        printer_.setOutputFormat(QPrinter::PdfFormat);
    else if (!name.isEmpty())
        printer_.setPrinterName(name);
    p_.prompts.choosePrinter(printer_);
}

QString dlgPrint::HeaderText() const {
    return CurrentGraphHeader(GraphProjectID, GraphTrain, p_.system.now().date());
}

void dlgPrint::btnOk_Click() {
    const QString header = HeaderText();
    const QString name = cbPrinters->currentText();
    std::optional<PrintFailure> failure;
    QString pdfFile;
    if (name.isEmpty()) {
        failure =
            PrintFailure{printerr::PrinterError, QStringLiteral("Printer error: no printer is selected")};
    } else {
        if (name == PrintToPdf) {
            const QString file =
                p_.prompts.saveFile(PrintToPdf, QStringLiteral("PDF Files (*.pdf)|*.pdf"), p_.AppDataFolder);
            if (file.isEmpty()) return; // no file, no job; the dialog stays for another choice
            printer_.setOutputFormat(QPrinter::PdfFormat);
            printer_.setOutputFileName(file);
            pdfFile = file;
        } else {
            printer_.setOutputFormat(QPrinter::NativeFormat);
            printer_.setPrinterName(name);
        }
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        failure = PrintGraphPage(printer_, header, p_.PrintFilePath);
        QGuiApplication::restoreOverrideCursor();
    }
    if (failure)
        p_.prompts.message(PrintFailureText(*failure), Buttons::OK, Icon::None, Title);
    else if (!pdfFile.isEmpty()) // a file shows nowhere by itself, unlike a page out of a printer
        p_.prompts.message(PrintedToPdfText(pdfFile), Buttons::OK, Icon::Information, Title);
    close();
}

void dlgPrint::btnCancel_Click() {
    close();
}

void PrintCurrentGraph(Program& p, const ChartPictureWriter& chart, const QString& project, qint16 train) {
    if (!WriteCurrentGraphPicture(p, chart)) {
        // A dialog still open from an earlier click would print the picture that is now stale.
        if (QWidget* open = p.windows.find(QStringLiteral("dlgPrint"))) open->close();
        return;
    }
    if (auto* dlg = qobject_cast<dlgPrint*>(p.windows.showSingle(QStringLiteral("dlgPrint")))) {
        dlg->GraphProjectID = project;
        dlg->GraphTrain = train;
    }
}

} // namespace hv
