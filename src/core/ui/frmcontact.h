#pragma once
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace hv {

struct Program;

// Where to send questions about the program.
class frmContact : public QWidget {
    Q_OBJECT
public:
    explicit frmContact(Program& p, QWidget* parent = nullptr);

    QLabel* lblContact = nullptr;
    QPushButton* cmdClose = nullptr;

    void cmdClose_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load();
};

} // namespace hv
