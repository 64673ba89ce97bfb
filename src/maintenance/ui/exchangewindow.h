#pragma once
#include <QDateTimeEdit>
#include <QLabel>
#include <QStatusBar>
#include <QWidget>
#include <vector>

#include "platform/bulkwork.h"

namespace hv {

// A date picker of the export and import windows: the computer's own short date form with a
// four-digit year, the form of every date the program shows.
void UseShortDateForm(QDateTimeEdit* picker);

// What the export and import windows share: two status panels that show the run, and an
// Exit button (and Escape) that cancels a running export or import at its next turn instead
// of closing the window under it.
class ExchangeWindow : public QWidget, protected RunProgress {
public:
    explicit ExchangeWindow(QWidget* parent);

    QStatusBar* SBImport = nullptr;
    std::vector<QLabel*> SBImportPanels; // panels 1 and 2

    QString panelText(int panel) const;
    void cmdexit_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

    void setPanel(int panel, const QString& text);
    // The run's texts go to the window's panels; between batches the windows get their turn,
    // and the Cancel button its say.
    void setStatus(int panel, const QString& text) override { setPanel(panel, text); }
    bool yieldAndCheckCancel() override;

    bool running_ = false;
    bool cancel_ = false;
};

} // namespace hv
