#pragma once
#include <QPushButton>
#include <QWidget>

namespace hv {

// A window of help text with a button that closes it; it is deleted once closed.
class HelpWindow : public QWidget {
    Q_OBJECT
protected:
    HelpWindow(const QString& name, const QString& title, QWidget* parent);
    // The closing button. With `keys` it is the default button and Escape closes the
    // window too; without, only the button closes it.
    QPushButton* addCloseButton(const QString& name, const QString& text, bool keys);
};

} // namespace hv
