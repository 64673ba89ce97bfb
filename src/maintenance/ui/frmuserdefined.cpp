#include "maintenance/ui/frmuserdefined.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QTimer>

#include "core/program.h"

namespace hv {

namespace {
const char* Names[] = {"TurbidityRaw", "TurbidityFeed", "SDIRaw", "SDIFeed", "ORP"};
const char* Units[] = {"UnitsTRaw", "UnitsTFeed", "UnitsSDIRaw", "UnitsSDIFeed", "UnitsORP"};
} // namespace

frmUserDefined::frmUserDefined(Program& p, QWidget* parent)
    : RecordEditorWindow(p, "Manage User Defined / Custom Data Fields", parent) {
    auto* grid = new QGridLayout;
    addField(grid, 0, 0, 0, "ProjectID", "ProjectID:", false);
    Label1 = new QLabel("UNITS", this);
    Label1->setObjectName("Label1");
    grid->addWidget(Label1, 1, 3);
    for (int i = 0; i < 5; ++i) {
        addField(grid, 2 + i, 0, 1 + i, Names[i], QString("%1. (def=%2)").arg(i + 1).arg(Names[i]));
        grid->addWidget(addBox(6 + i, Units[i]), 2 + i, 3);
    }
    // The ID is bound but not shown.
    addField(grid, 7, 0, 11, "ID", "ID:", false);
    txtFields[11]->hide();
    lblLabels[11]->hide();
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 1);
    body_->addLayout(grid);
    body_->addStretch(1);
    cmdAdd->hide();
    resize(620, 300);
    finishForm();
}

bool frmUserDefined::Form_Load() {
    try {
        db_ = std::make_unique<Database>(Database::open(p_.ProjectDatabasePath));
        EnsureUserDefinedRow(*db_, p_.CurrentProject.ProjectID);
        QStringList columns{"ProjectID"};
        for (const char* n : Names)
            columns << n;
        for (const char* u : Units)
            columns << u;
        columns << "ID";
        auto set = UserDefinedRecords(*db_, columns, p_.CurrentProject.ProjectID);
        bind(std::move(set));
        return true;
    } catch (const DbError& e) {
        message(e.description());
        return false;
    }
}

void frmUserDefined::txtFields_GotFocus(int index) {
    QLineEdit* box = txtFields[index];
    box->setSelection(0, int(box->text().size()));
}

bool frmUserDefined::txtFields_KeyPress(int index, int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    int next = 0;
    if (index >= 1 && index <= 5)
        next = index + 5;
    else if (index >= 6 && index <= 9)
        next = index - 4;
    else if (index == 10)
        next = 1;
    else
        return false;
    txtFields[next]->setFocus();
    return true;
}

bool frmUserDefined::eventFilter(QObject* watched, QEvent* event) {
    for (auto& [index, box] : txtFields) {
        if (box != watched) continue;
        if (event->type() == QEvent::FocusIn) {
            // After the box's own focus handling, which would place the cursor.
            const int i = index;
            QTimer::singleShot(0, this, [this, i] { txtFields_GotFocus(i); });
            txtFields_GotFocus(index);
        } else if (event->type() == QEvent::KeyPress &&
                   txtFields_KeyPress(index, static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
        break;
    }
    return RecordEditorWindow::eventFilter(watched, event);
}

} // namespace hv
