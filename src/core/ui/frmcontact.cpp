#include "core/ui/frmcontact.h"

#include <QVBoxLayout>

#include "core/helptargets.h"
#include "core/mlstring.h"

namespace hv {

frmContact::frmContact(Program&, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmContact"));
    setWindowTitle(QStringLiteral("Contact us"));
    auto* layout = new QVBoxLayout(this);
    lblContact = new QLabel(this);
    lblContact->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
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

void frmContact::cmdClose_Click() {
    hide();
    deleteLater();
}

} // namespace hv
