#include "maintenance/ui/exchangewindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

#include "core/typedinput.h"
#include "core/ui/named.h"

namespace hv {

void UseShortDateForm(QDateTimeEdit* picker) {
    // The hint names the form in lower case; in a date alone "m" can only stand for the month.
    picker->setDisplayFormat(ShortDateHint().replace(QLatin1Char('m'), QLatin1Char('M')));
}

ExchangeWindow::ExchangeWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    SBImport = named(new QStatusBar(this), "SBImport");
    SBImport->setSizeGripEnabled(false);
    for (int i = 1; i <= 2; ++i) {
        SBImportPanels.push_back(new QLabel(SBImport));
        SBImportPanels.back()->setObjectName(QStringLiteral("SBImport_%1").arg(i));
        SBImport->addWidget(SBImportPanels.back(), 1);
    }
}

void ExchangeWindow::setPanel(int panel, const QString& text) {
    if (panel >= 1 && panel <= 2) SBImportPanels[size_t(panel - 1)]->setText(text);
}

QString ExchangeWindow::panelText(int panel) const {
    return panel >= 1 && panel <= 2 ? SBImportPanels[size_t(panel - 1)]->text() : QString();
}

// While a run goes on the button cancels it at its next turn; otherwise it closes the window.
void ExchangeWindow::cmdexit_Click() {
    if (running_) {
        cancel_ = true;
        return;
    }
    close();
}

void ExchangeWindow::closeEvent(QCloseEvent* e) {
    if (running_) {
        cancel_ = true;
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
}

// Enter in a box ends its edit; only the buttons start an import or an export.
void ExchangeWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        cmdexit_Click();
        return;
    }
    QWidget::keyPressEvent(e);
}

bool ExchangeWindow::yieldAndCheckCancel() {
    QCoreApplication::processEvents();
    return cancel_;
}

} // namespace hv
