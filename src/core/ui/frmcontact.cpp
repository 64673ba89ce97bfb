#include "core/ui/frmcontact.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "core/helptargets.h"
#include "core/mlstring.h"

namespace hv {

frmContact::frmContact(Program&, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmContact"));
    setWindowTitle(QStringLiteral("Contact us"));
    auto* layout = new QVBoxLayout(this);
    lblContact = new QLabel(this);
    lblContact->setObjectName(QStringLiteral("lblContact"));
    lblContact->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    layout->addWidget(lblContact);
    layout->addWidget(cmdClose, 0, Qt::AlignRight);
    connect(cmdClose, &QPushButton::clicked, this, &frmContact::cmdClose_Click);
    Form_Load();
}

void frmContact::Form_Load() {
    QStringList lines;
    long id = 1280;
    for (const QString& line : helptargets::ContactLines())
        lines << (line.isEmpty() ? line : GetMlString(id++, line));
    lblContact->setText(lines.join('\n'));
}

// The window's only button is Close: Enter and Escape both press it.
void frmContact::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        cmdClose_Click();
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

void frmContact::cmdClose_Click() {
    hide();
    deleteLater();
}

} // namespace hv
