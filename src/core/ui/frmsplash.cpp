#include "core/ui/frmsplash.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "core/dbversion.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/settings.h"
#include "core/ui/logo.h"

namespace hv {

namespace {
QString disclaimerText() {
    return GetMlString(1274, "Disclaimer") + "\r\n\r\n" +
           GetMlString(
               1275, "Any use of this program and of the information obtained with it is at the user's sole "
                     "risk. The program is provided as it is, without warranties or guarantees of any kind, "
                     "express or implied. Its authors and suppliers are not liable for viruses, for damages "
                     "of any type or for claims arising from its use.");
}
} // namespace

frmSplash::frmSplash(Program& p, QWidget* parent) : QWidget(parent, Qt::Window), p_(p) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(Title);

    auto* outer = new QVBoxLayout(this);
    fraMainFrame = new QFrame(this);
    fraMainFrame->setFrameShape(QFrame::Box);
    outer->addWidget(fraMainFrame);
    auto* grid = new QGridLayout(fraMainFrame);

    picLogo = new QLabel(fraMainFrame);
    picLogo->setPixmap(HevrinLogo(96));
    Picture2 = new QLabel(fraMainFrame);
    Picture2->setPixmap(HevrinLogo(32));
    lblProductName = new QLineEdit(Title, fraMainFrame);
    lblProductName->setReadOnly(true);
    lblProductName->setFrame(false);
    lblProductName->setStyleSheet(QStringLiteral("background: transparent"));
    QFont big = lblProductName->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    lblProductName->setFont(big);
    lblCompanyProduct =
        new QLabel(QStringLiteral("Software for Reverse Osmosis operating data normalization"), fraMainFrame);
    lblVersion = new QLabel(fraMainFrame);
    lblDatabase = new QLabel(fraMainFrame);
    lblNotice =
        new QLabel(QStringLiteral("Hevrin is used under the terms of its licence agreement."), fraMainFrame);
    lblNotice2 = new QLabel(fraMainFrame);
    Label1 = new QLabel(fraMainFrame);
    Label1->setWordWrap(true);
    Label1->setMinimumWidth(420);
    Check1 = new QCheckBox(QStringLiteral("Accept Disclaimer"), fraMainFrame);
    chkShow = new QCheckBox(QStringLiteral("Do not show this screen again"), fraMainFrame);
    cmdClose = new QPushButton(QStringLiteral("Close"), fraMainFrame);

    grid->addWidget(picLogo, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblProductName, 0, 1);
    grid->addWidget(Picture2, 0, 2, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(lblCompanyProduct, 1, 1, 1, 2);
    grid->addWidget(lblVersion, 2, 1, 1, 2);
    grid->addWidget(lblDatabase, 3, 1, 1, 2);
    grid->addWidget(lblNotice, 4, 0, 1, 3);
    grid->addWidget(lblNotice2, 5, 0, 1, 3);
    grid->addWidget(Label1, 6, 0, 1, 3);
    grid->addWidget(Check1, 7, 0, 1, 2);
    grid->addWidget(chkShow, 8, 0, 1, 2);
    grid->addWidget(cmdClose, 8, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    connect(cmdClose, &QPushButton::clicked, this, &frmSplash::cmdClose_Click);
    Form_Load();
    adjustSize();
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void frmSplash::Form_Load() {
    lblVersion->setText(Title + ": Version " + ProgramVersionText);
    if (!p_.ProjectDatabasePath.isEmpty()) {
        p_.DbIsOlder = ReadDbVersion(p_);
        lblDatabase->setText("Database version: " + QString::number(p_.DbVersionMajor) + "." +
                             QString::number(p_.DbVersionMinor) + "." +
                             QString::number(p_.DbVersionRevision));
    } else {
        lblDatabase->clear();
    }
    lblNotice2->setText(GetMlString(1273, "See Help | License Agreement for the terms of use."));
    Label1->setText(QString(disclaimerText()).replace("\r\n", "\n"));
}

void frmSplash::unloadSelf() {
    hide();
    deleteLater();
}

// Escape is the Close button: it accepts nothing the box does not say is accepted.
void frmSplash::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        cmdClose_Click();
        return;
    }
    QWidget::keyPressEvent(e);
}

void frmSplash::cmdClose_Click() {
    // The start-up recalculation lets windows repaint; the main window's load would switch the
    // current project under it, so the splash stays until the run is over.
    if (p_.RecalcAllRunning && !p_.windows.isLoaded(QStringLiteral("frmMain"))) return;
    if (!Check1->isChecked()) {
        p_.prompts.message(
            GetMlString(1270, "You must check Accept Disclaimer to user Hevrin. Hevrin will now close."),
            Buttons::OK, Icon::None, Title);
        unloadSelf();
        if (p_.EndProgram) p_.EndProgram(0);
        return;
    }
    WriteIniSettings(p_, QStringLiteral("Current Project"),
                     {{QStringLiteral("ShowSplash"),
                       chkShow->isChecked() ? QStringLiteral("No") : QStringLiteral("yes")}});
    p_.windows.showSingle(QStringLiteral("frmMain"));
    unloadSelf();
}

} // namespace hv
