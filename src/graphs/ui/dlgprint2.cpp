#include "graphs/ui/dlgprint2.h"

#include "core/program.h"

namespace hv {

dlgPrint2::dlgPrint2(Program& p, QWidget* parent) : dlgPrint(p, parent) {
    lblNote = new QLabel(QStringLiteral("Add Note - Optional"), this);
    lblNote->setObjectName("lblNote");
    txtNote = new QLineEdit(this);
    txtNote->setObjectName("txtNote");
    lblNote->setBuddy(txtNote);
    body_->addWidget(lblNote);
    body_->addWidget(txtNote);
}

QString dlgPrint2::HeaderText() const {
    return GalleryHeader(txtNote->text(), p_.system.now().date());
}

} // namespace hv
