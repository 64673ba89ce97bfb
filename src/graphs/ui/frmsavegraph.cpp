#include "graphs/ui/frmsavegraph.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "core/mlstring.h"
#include "core/program.h"
#include "graphs/savedgraphs.h"
#include "platform/dberror.h"

namespace hv {

frmSaveGraph::frmSaveGraph(Program& p, const QString& proposedName, QWidget* parent)
    : QDialog(parent), p_(p) {
    setObjectName("frmSaveGraph");
    setWindowTitle("Save Graph");
    Label1 = new QLabel("Graph Name:", this);
    Label1->setObjectName("Label1");
    txtGraphName = new QLineEdit(this);
    txtGraphName->setObjectName("txtGraphName");
    txtGraphName->setMinimumWidth(260);
    cmdSave = new QPushButton("Save", this);
    cmdSave->setObjectName("cmdSave");
    cmdSave->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* top = new QVBoxLayout(this);
    top->addWidget(Label1);
    top->addWidget(txtGraphName);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
    connect(cmdSave, &QPushButton::clicked, this, &frmSaveGraph::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSaveGraph::cmdCancel_Click);
    Form_Load(proposedName);
}

void frmSaveGraph::Form_Load(const QString& proposedName) {
    projectId_ = p_.CurrentProject.ProjectID.isEmpty() ? GetMlString(781, "My Big Project")
                                                       : p_.CurrentProject.ProjectID;
    if (!proposedName.isEmpty()) txtGraphName->setText(proposedName);
}

void frmSaveGraph::cmdSave_Click() {
    // A graph without a name would be a blank entry of the saved-graph list.
    if (txtGraphName->text().trimmed().isEmpty()) {
        p_.prompts.message("Please enter a name for the graph.", Buttons::OK, Icon::Information,
                           "Save Graph");
        txtGraphName->setFocus();
        return;
    }
    bool exists = false;
    try {
        exists = SavedGraphExists(p_, projectId_, txtGraphName->text());
    } catch (const DbError& e) {
        p_.prompts.message(e.description(), Buttons::OK, Icon::Critical, "Save Graph");
        return;
    }
    if (exists) {
        // No keeps the dialog open with the name, to change it or cancel.
        if (p_.prompts.message("Graph name already exists. Overwrite?", Buttons::YesNo, Icon::Question,
                               "Hevrin") != Answer::Yes)
            return;
        OverwriteGraph = true;
    }
    DialogResult = 1;
    hide();
}

void frmSaveGraph::cmdCancel_Click() {
    DialogResult = 2;
    hide();
}

void frmSaveGraph::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace hv
