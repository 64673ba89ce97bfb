#pragma once
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace hv {

struct Program;

// The splash window: program and database versions, the notice and the disclaimer that
// must be accepted before the program goes on.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(Program& p, QWidget* parent = nullptr);

    QFrame* fraMainFrame = nullptr;
    QLabel* picLogo = nullptr;
    QLabel* Picture2 = nullptr;
    QLineEdit* lblProductName = nullptr;
    QLabel* lblCompanyProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDatabase = nullptr;
    QLabel* lblNotice = nullptr;
    QLabel* lblNotice2 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* chkShow = nullptr;
    QPushButton* cmdClose = nullptr;

    void cmdClose_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load();
    void unloadSelf();

    Program& p_;
};

} // namespace hv
