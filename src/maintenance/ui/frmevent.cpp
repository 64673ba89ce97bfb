#include "maintenance/ui/frmevent.h"

#include <QCoreApplication>
#include <QGridLayout>

#include "core/mlstring.h"
#include "core/program.h"

namespace hv {

frmEvent::frmEvent(Program& p, QWidget* parent) : RecordEditorWindow(p, "Events", parent) {
    auto* grid = new QGridLayout;
    addField(grid, 0, 0, 0, "EventID", "EventID:", false);
    addField(grid, 1, 0, 1, "EventType", "EventType:");
    grid->setColumnStretch(1, 1);
    body_->addLayout(grid);
    body_->addStretch(1);
    resize(560, 200);
    finishForm();
}

bool frmEvent::Form_Load() {
    try {
        db_ = std::make_unique<Database>(Database::open(p_.ProjectDatabasePath));
        // Sorted by ID so that the list runs as the data collection window shows it.
        bind(std::make_unique<RecordSet>(*db_, "Events", QStringList{"EventID", "EventType"}, "EventID > 5",
                                         QVariantList{}, "EventID"));
        return true;
    } catch (const DbError& e) {
        message(e.description());
        return false;
    }
}

QString frmEvent::noRecordText() const {
    return GetMlString(813, "No more records.");
}

void frmEvent::cmdAdd_Click() {
    qint32 proposed = 6;
    try {
        proposed = ProposeEventId(*db_);
    } catch (const DbError& e) {
        reportError(e);
        return;
    }
    QCoreApplication::processEvents();
    RecordEditorWindow::cmdAdd_Click();
    if (AddMode) txtFields[0]->setText(QString::number(proposed));
}

void frmEvent::cmdUpdate_Click() {
    // An ID taken meanwhile (another window or program) would give two names one ID.
    if (AddMode) {
        bool ok = false;
        const qint32 id = txtFields[0]->text().toInt(&ok);
        try {
            if (ok && EventIdExists(*db_, id)) {
                message("Event ID " + QString::number(id) +
                        " is already in use. Press Cancel and Add again.");
                return;
            }
        } catch (const DbError& e) {
            reportError(e);
            return;
        }
    }
    RecordEditorWindow::cmdUpdate_Click();
}

} // namespace hv
