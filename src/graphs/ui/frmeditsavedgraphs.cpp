#include "graphs/ui/frmeditsavedgraphs.h"

#include <QApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "core/mlstring.h"
#include "core/program.h"

namespace hv {

namespace {
int twips(int t) {
    return (t + 7) / 15;
}
} // namespace

frmEditSavedGraphs::frmEditSavedGraphs(Program& p, QWidget* parent) : QWidget(parent), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("UserGraphs"));

    auto* fields = new QGridLayout;
    const char* captions[] = {"GraphName:", "ID:", "ProjectID:"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(captions[i]), this);
        label->setObjectName(QStringLiteral("lblLabels_%1").arg(i));
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("txtFields_%1").arg(i));
        box->setEnabled(false);
        fields->addWidget(label, i, 0);
        fields->addWidget(box, i, 1);
        lblLabels.push_back(label);
        txtFields.push_back(box);
    }
    lblLabels[1]->hide();
    txtFields[1]->hide();

    picStatBox = new QFrame(this);
    picStatBox->setObjectName("picStatBox");
    picStatBox->setFixedHeight(twips(330));
    auto navButton = [this](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, picStatBox);
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        b->resize(twips(345), twips(330));
    };
    navButton(cmdFirst, "cmdFirst", QStringLiteral("|<"));
    navButton(cmdPrevious, "cmdPrevious", QStringLiteral("<"));
    navButton(cmdNext, "cmdNext", QStringLiteral(">"));
    navButton(cmdLast, "cmdLast", QStringLiteral(">|"));
    cmdPrevious->move(twips(345), 0);
    lblStatus = new QLabel(picStatBox);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setFrameShape(QFrame::Panel);
    lblStatus->setFrameShadow(QFrame::Sunken);
    lblStatus->setGeometry(twips(690), 0, 0, twips(330));

    picButtons = new QFrame(this);
    picButtons->setObjectName("picButtons");
    auto button = [this](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, picButtons);
        b->setObjectName(name);
    };
    button(cmdDelete, "cmdDelete", QStringLiteral("&Delete"));
    button(cmdRefresh, "cmdRefresh", QStringLiteral("&Refresh"));
    button(cmdClose, "cmdClose", QStringLiteral("&Close"));
    auto* buttons = new QHBoxLayout(picButtons);
    buttons->setContentsMargins(6, 2, 6, 2);
    buttons->addWidget(cmdDelete);
    buttons->addWidget(cmdRefresh);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(4);
    auto* inner = new QVBoxLayout;
    inner->setContentsMargins(8, 0, 8, 0);
    inner->addLayout(fields);
    layout->addLayout(inner);
    layout->addStretch();
    layout->addWidget(picButtons);
    layout->addWidget(picStatBox);
    resize(420, 150);

    connect(cmdFirst, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdFirst_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdNext_Click);
    connect(cmdLast, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdLast_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdDelete_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdRefresh_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmEditSavedGraphs::cmdClose_Click);
    // The window sees the navigation keys before whichever control has the focus.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

bool frmEditSavedGraphs::Form_Load() {
    try {
        adoPrimaryRS.Open(p_.ProjectDatabasePath, p_.CurrentProject.ProjectID);
    } catch (const DbError& e) {
        p_.prompts.message(e.description(), Buttons::OK, Icon::Critical, Title);
        return false;
    }
    adoPrimaryRS_MoveComplete();
    if (QWidget* main = p_.windows.find(QStringLiteral("frmMain")))
        move(main->frameGeometry().topLeft() + QPoint(twips(250), twips(2500)));
    return true;
}

void frmEditSavedGraphs::Form_Resize() {
    const int status = width() - twips(1500);
    if (status < 0) return; // too narrow to lay out; left as it was
    lblStatus->resize(status, lblStatus->height());
    cmdNext->move(status + twips(700), 0);
    cmdLast->move(cmdNext->x() + twips(340), 0);
}

void frmEditSavedGraphs::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Form_Resize();
}

bool frmEditSavedGraphs::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    const bool ctrl = (shift & ~Qt::KeypadModifier) == Qt::ControlModifier;
    switch (keyCode) {
    case Qt::Key_Escape:
        cmdClose_Click();
        return true;
    case Qt::Key_End:
        cmdLast_Click();
        return true;
    case Qt::Key_Home:
        cmdFirst_Click();
        return true;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        ctrl ? cmdFirst_Click() : cmdPrevious_Click();
        return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        ctrl ? cmdLast_Click() : cmdNext_Click();
        return true;
    default:
        return false;
    }
}

void frmEditSavedGraphs::keyPressEvent(QKeyEvent* e) {
    if (!Form_KeyDown(e->key(), e->modifiers())) QWidget::keyPressEvent(e);
}

bool frmEditSavedGraphs::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (Form_KeyDown(key->key(), key->modifiers())) return true;
    }
    return QWidget::eventFilter(watched, e);
}

void frmEditSavedGraphs::closeEvent(QCloseEvent* e) {
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    QWidget::closeEvent(e);
}

void frmEditSavedGraphs::adoPrimaryRS_MoveComplete() {
    const bool current = adoPrimaryRS.HasCurrent();
    const SavedGraphRow row = current ? adoPrimaryRS.Current() : SavedGraphRow{};
    txtFields[0]->setText(row.GraphName);
    txtFields[1]->setText(current ? QString::number(row.ID) : QString());
    txtFields[2]->setText(row.ProjectID);
    // Without a current row the position is left out rather than shown as a code.
    lblStatus->setText(GetMlString(786, QStringLiteral("Record: ")) +
                       (current ? QString::number(adoPrimaryRS.AbsolutePosition()) : QString()));
}

template <class F> void frmEditSavedGraphs::navigate(F&& f) {
    try {
        f();
    } catch (const DbError& e) {
        p_.prompts.message(e.description(), Buttons::OK, Icon::None, Title);
    }
    adoPrimaryRS_MoveComplete();
}

void frmEditSavedGraphs::cmdFirst_Click() {
    navigate([this] { adoPrimaryRS.MoveFirst(); });
}

void frmEditSavedGraphs::cmdLast_Click() {
    navigate([this] { adoPrimaryRS.MoveLast(); });
}

void frmEditSavedGraphs::cmdNext_Click() {
    navigate([this] {
        if (!adoPrimaryRS.atEOF()) adoPrimaryRS.MoveNext();
        if (adoPrimaryRS.atEOF() && adoPrimaryRS.RecordCount() > 0) {
            QApplication::beep();
            adoPrimaryRS.MoveLast();
        }
    });
}

void frmEditSavedGraphs::cmdPrevious_Click() {
    navigate([this] {
        if (!adoPrimaryRS.atBOF()) adoPrimaryRS.MovePrevious();
        if (adoPrimaryRS.atBOF() && adoPrimaryRS.RecordCount() > 0) {
            QApplication::beep();
            adoPrimaryRS.MoveFirst();
        }
    });
}

void frmEditSavedGraphs::cmdRefresh_Click() {
    navigate([this] { adoPrimaryRS.Requery(); });
}

void frmEditSavedGraphs::cmdDelete_Click() {
    try {
        adoPrimaryRS.Delete();
        adoPrimaryRS.MoveNext();
        if (adoPrimaryRS.atEOF()) adoPrimaryRS.MoveLast();
    } catch (const DbError& e) {
        if (e.number() == dberr::NoCurrentRecord)
            p_.prompts.message(GetMlString(549, QStringLiteral("All graphs have been deleted!.")),
                               Buttons::OK, Icon::None, Title);
        else // a row that stays in the database is not to look deleted
            p_.prompts.message(e.description(), Buttons::OK, Icon::Critical, Title);
    }
    adoPrimaryRS_MoveComplete();
}

void frmEditSavedGraphs::cmdClose_Click() {
    close();
}

} // namespace hv
