#include "platform/ui/helpwindow.h"

#include <QShortcut>

namespace hv {

HelpWindow::HelpWindow(const QString& name, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(name);
    setWindowTitle(title);
}

QPushButton* HelpWindow::addCloseButton(const QString& name, const QString& text, bool keys) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, &QWidget::close);
    if (keys) {
        button->setDefault(true);
        connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
                &QWidget::close);
    }
    return button;
}

} // namespace hv
