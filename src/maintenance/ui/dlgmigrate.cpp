#include "maintenance/ui/dlgmigrate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/backup.h"
#include "core/dbversion.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/ui/named.h"

namespace hv {

namespace {

constexpr int MinPathWidth = 480;
// A 1280 pixel screen less the frame a desktop puts around the window.
constexpr int MaxWindowWidth = 1260;

QString versionText(const MigrationDb& db) {
    return "v. " + db.text();
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith('/') ? folder + name : folder + "/" + name;
}

// The default databases are named without regard to case, as on the system they came from.
QString defaultDatabase(const QString& folder, const QString& name) {
    const QString exact = joinPath(folder, name);
    if (QFileInfo::exists(exact)) return exact;
    const QStringList found = QDir(folder).entryList({name}, QDir::Files);
    return found.isEmpty() ? exact : joinPath(folder, found.first());
}

} // namespace

class MigrationDialogProgress : public RunProgress {
public:
    explicit MigrationDialogProgress(dlgMigrate& d) : d_(d) {}
    void setStatus(int panel, const QString& text) override { d_.setStatus(panel, text); }
    void setProgress(double percent) override { d_.ProgressBar1->setValue(int(percent)); }
    bool yieldAndCheckCancel() override {
        QCoreApplication::processEvents();
        return d_.cancelRequested_;
    }

private:
    dlgMigrate& d_;
};

dlgMigrate::dlgMigrate(Program& p, QWidget* parent) : QDialog(parent), p_(p) {
    setObjectName(QStringLiteral("dlgMigrate"));
    setWindowTitle(QStringLiteral("Migrate to Hevrin 3 Bank Database"));
    setModal(true);

    txt2BankDB = named(new QLineEdit(QStringLiteral("Text1")), "txt2BankDB");
    txt3BankDB = named(new QLineEdit(QStringLiteral("Text1")), "txt3BankDB");
    txt2BankDB->setReadOnly(true);
    txt3BankDB->setReadOnly(true);
    lblHeading[0] = named(new QLabel(QStringLiteral("MIGRATE FROM THIS DATABASE")), "lblHeading_0");
    lblHeading[1] = named(new QLabel(QStringLiteral("MIGRATE   TO   THIS DATABASE")), "lblHeading_1");
    lblDB2Info = named(new QLabel(QStringLiteral("Migrate FROM this 2 bank database")), "lblDB2Info");
    lblDB3Info = named(new QLabel(QStringLiteral("Default 3 Bank DB")), "lblDB3Info");
    lblVer2 = named(new QLabel(QStringLiteral("version number")), "lblVer2");
    lblVer3 = named(new QLabel(QStringLiteral("Label3")), "lblVer3");
    lblDone = named(new QLabel, "lblDone");
    cmdSelect2DB = named(new QPushButton(QStringLiteral("Select DB")), "cmdSelect2DB");
    cmdSelect3DB = named(new QPushButton(QStringLiteral("Select DB")), "cmdSelect3DB");
    cmdBackUp = named(new QPushButton(QStringLiteral("Back Up 'TO' Database")), "cmdBackUp");
    cmdMigrate =
        named(new QPushButton(QStringLiteral("Click Here to Start Migration Process")), "cmdMigrate");
    cmdexit = named(new QPushButton(QStringLiteral("Close/Exit")), "cmdexit");
    ProgressBar1 = named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    for (auto* l : {lblHeading[0], lblHeading[1], lblDone}) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    txt2BankDB->setMinimumWidth(MinPathWidth);
    txt3BankDB->setMinimumWidth(MinPathWidth);

    // Each side on rows of its own, so that a path can take the window's whole width.
    const auto side = [](QLabel* heading, QLineEdit* path, QLabel* info, QLabel* version,
                         std::initializer_list<QPushButton*> buttons) {
        auto* box = new QVBoxLayout;
        box->addWidget(heading);
        box->addWidget(path);
        auto* row = new QHBoxLayout;
        row->addWidget(info);
        row->addSpacing(12);
        row->addWidget(version);
        row->addStretch();
        for (QPushButton* b : buttons)
            row->addWidget(b);
        box->addLayout(row);
        return box;
    };

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdMigrate);
    buttons->addStretch();
    buttons->addWidget(lblDone);
    buttons->addStretch();
    buttons->addWidget(cmdexit);

    // Two panels a row, each as high as two lines, so that the longest summary is read whole.
    auto* status = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        QLabel* panel = new QLabel;
        StatusBar1[size_t(i)] = panel;
        panel->setObjectName(QStringLiteral("StatusBar1_%1").arg(i + 1));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setWordWrap(true);
        panel->setMinimumHeight(2 * panel->fontMetrics().lineSpacing() + 2 * panel->frameWidth() + 4);
        status->addWidget(panel, i / 2, i % 2);
    }
    status->setColumnStretch(0, 1);
    status->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(side(lblHeading[0], txt2BankDB, lblDB2Info, lblVer2, {cmdSelect2DB}));
    layout->addSpacing(8);
    layout->addLayout(side(lblHeading[1], txt3BankDB, lblDB3Info, lblVer3, {cmdSelect3DB, cmdBackUp}));
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addWidget(ProgressBar1);
    layout->addLayout(status);

    connect(cmdSelect2DB, &QPushButton::clicked, this, &dlgMigrate::cmdSelect2DB_Click);
    connect(cmdSelect3DB, &QPushButton::clicked, this, &dlgMigrate::cmdSelect3DB_Click);
    connect(cmdBackUp, &QPushButton::clicked, this, &dlgMigrate::cmdBackUp_Click);
    connect(cmdMigrate, &QPushButton::clicked, this, &dlgMigrate::cmdMigrate_Click);
    connect(cmdexit, &QPushButton::clicked, this, &dlgMigrate::cmdexit_Click);
    cmdMigrate->setDefault(false);
    cmdMigrate->setAutoDefault(false);
    cmdexit->setAutoDefault(false);
    updateStart();
}

void dlgMigrate::fitPaths() {
    // The boxes grow to show the whole path, up to what a 1280 pixel screen leaves; a
    // longer path shows its end, the file's name, and whole in the box's tip.
    int wanted = MinPathWidth;
    for (QLineEdit* box : {txt2BankDB, txt3BankDB})
        wanted = std::max(wanted, box->fontMetrics().horizontalAdvance(box->text()) + 16);
    const QMargins m = layout()->contentsMargins();
    const int widest = MaxWindowWidth - m.left() - m.right();
    for (QLineEdit* box : {txt2BankDB, txt3BankDB}) {
        box->setMinimumWidth(std::min(wanted, widest));
        box->setToolTip(box->text());
        box->setCursorPosition(wanted > widest ? int(box->text().size()) : 0);
    }
    layout()->activate();
    if (width() < minimumSizeHint().width()) resize(minimumSizeHint().width(), height());
}

void dlgMigrate::setStatus(int panel, const QString& text) {
    if (panel >= 1 && panel <= 4) StatusBar1[size_t(panel - 1)]->setText(text);
}

void dlgMigrate::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous() && !running_) Form_Load();
}

void dlgMigrate::Form_Load() {
    for (int i = 1; i <= 3; ++i)
        setStatus(i, QString());
    ProgressBar1->setValue(0);
    loadRefused_ = false;

    MigrationDb open;
    open.path = p_.ProjectDatabasePath;
    const bool valid = UpgradeDatabase(p_, open.path, open.major, open.minor, open.revision, p_.ProjectCount,
                                       p_.DataRecordCount);
    OpenDbMajor = open.major;
    OpenDbMinor = open.minor;
    OpenDbRevision = open.revision;
    if (!valid) {
        p_.prompts.message(p_.ProjectDatabasePath + " is not a valid Hevrin database. Please reselect.",
                           Buttons::OK, Icon::None, Title);
        p_.ProjectDatabasePath.clear();
        loadRefused_ = true;
        fromTested_ = toTested_ = false;
        updateStart();
        return;
    }
    open.projects = p_.ProjectCount;
    open.readings = p_.DataRecordCount;

    const auto test = [this](MigrationDb& db) {
        return !db.path.isEmpty() &&
               UpgradeDatabase(p_, db.path, db.major, db.minor, db.revision, db.projects, db.readings);
    };
    if (open.minor < 3) {
        From = open;
        fromTested_ = true;
        To = MigrationDb{};
        To.path = p_.PreviousDatabasePath.isEmpty()
                      ? defaultDatabase(p_.AppDataFolder, QStringLiteral("db.hv3.mdb"))
                      : p_.PreviousDatabasePath;
        const bool ok = test(To);
        toTested_ = ok && To.threeBank();
        if (!ok) To.path.clear();
    } else {
        To = open;
        toTested_ = true;
        From = MigrationDb{};
        From.path = defaultDatabase(p_.AppDataFolder, QStringLiteral("DB.hv.mdb"));
        const bool saved = p_.SuppressDbUpgrade;
        p_.SuppressDbUpgrade = true; // a FROM file is only read
        fromTested_ = QFileInfo::exists(From.path) && test(From);
        p_.SuppressDbUpgrade = saved;
        if (!fromTested_) {
            From = MigrationDb{};
        }
    }
    ConfigureForm();
}

void dlgMigrate::ConfigureForm() {
    if (SameDatabaseFile(From.path, To.path))
        p_.prompts.message(SameDatabasesText, Buttons::OK, Icon::None, Title);

    const auto toSide = [this] {
        txt3BankDB->setText(To.path);
        lblDB3Info->setText(To.path.right(10).toLower() == QLatin1String("db.hv3.mdb")
                                ? QStringLiteral("MIGRATE TO Default 3 Bank DB")
                                : QStringLiteral("MIGRATE TO this 3 Bank DB"));
    };
    if (!To.path.isEmpty()) {
        toSide();
    } else {
        txt3BankDB->setText(QStringLiteral("PLEASE SELECT 3 BANK DATABASE"));
        lblDB3Info->clear();
    }
    lblVer3->setText(versionText(To));

    if (!From.path.isEmpty()) {
        txt2BankDB->setText(From.path);
        if (From.threeBank()) {
            lblDB2Info->setText(QStringLiteral("MERGE this 3 Bank DB"));
            lblHeading[0]->setText(QStringLiteral("MERGE FROM THIS DATABASE"));
        } else {
            lblDB2Info->setText(From.path.right(9).toLower() == QLatin1String("db.hv.mdb")
                                    ? QStringLiteral("Migrate FROM Default 2 Bank DB")
                                    : QStringLiteral("MIGRATE FROM this 2 Bank DB"));
            lblHeading[0]->setText(QStringLiteral("MIGRATE - FROM THIS DATABASE"));
        }
    } else {
        txt2BankDB->setText(QStringLiteral("PLEASE SELECT 2 BANK DATABASE"));
        lblDB2Info->clear();
    }
    lblVer2->setText(versionText(From));

    if (To.path.isEmpty()) {
        // Proposed without a test: the start button waits until it is chosen and passes.
        To.path = defaultDatabase(p_.AppDataFolder, QStringLiteral("db.hv3.mdb"));
        toTested_ = false;
        txt3BankDB->setText(To.path);
        lblDB3Info->setText(QStringLiteral("MIGRATE TO Default 3 Bank DB"));
    } else {
        toSide();
    }
    fitPaths();
    updateStart();
    QCoreApplication::processEvents();
}

void dlgMigrate::updateStart() {
    const bool ready = fromTested_ && toTested_ && !From.path.isEmpty() && To.threeBank() &&
                       !SameDatabaseFile(From.path, To.path);
    cmdMigrate->setEnabled(ready && !running_);
    cmdSelect2DB->setEnabled(!running_);
    cmdSelect3DB->setEnabled(!running_);
    cmdBackUp->setEnabled(!running_);
}

void dlgMigrate::cmdSelect2DB_Click() {
    p_.SuppressDbUpgrade = true;
    const QString file = p_.prompts.openFile(
        GetMlString(1078, "Current Database is: ") + p_.ProjectDatabasePath,
        QStringLiteral("Hevrin 2 Bank DB Files (*.hv.mdb)|*.hv.mdb|HV3 DBFiles (*.hv3.mdb)|*.hv3.mdb|DB "
                       "Files(*.mdb)|*.mdb|All Files (*.*)|*.*"));
    if (file.isEmpty()) {
        p_.SuppressDbUpgrade = false;
        return;
    }
    MigrationDb c;
    c.path = file;
    const bool valid = UpgradeDatabase(p_, file, c.major, c.minor, c.revision, c.projects, c.readings);
    p_.SuppressDbUpgrade = false;
    if (!valid) {
        p_.prompts.message(
            QStringLiteral("The file you selected does not appear to be a valid Hevrin database.\r\n"
                           "Please select again."),
            Buttons::OK, Icon::None, Title);
        return;
    }
    if (c.minor > 2) {
        const Answer a = p_.prompts.message(
            "The FROM database you selected \r\n" + file + "\r\nis already a 3 bank database version. " +
                QString::number(c.major) + ". >" + QString::number(c.minor) + "< ." +
                QString::number(c.revision) +
                "\r\nThe default 2 bank version database is DB.hv.mdb\r\n\r\n"
                "Continue with this three bank database and merge into your currently selected database?",
            Buttons::OKCancel, Icon::None, Title);
        if (a != Answer::OK) return;
    }
    From = c;
    fromTested_ = true;
    ConfigureForm();
}

void dlgMigrate::cmdSelect3DB_Click() {
    const QString file = p_.prompts.openFile(
        GetMlString(1078, "Current Database is: ") + p_.ProjectDatabasePath,
        QStringLiteral(
            "Hevrin 3 Bank DB Files (*.hv3.mdb)|*.hv3.mdb|HV 2 Bank DB Files (*.hv.mdb)|*.hv.mdb|DB "
            "Files(*.mdb)|*.mdb|All Files (*.*)|*.*"));
    if (file.isEmpty()) return;
    p_.SuppressDbUpgrade = false;
    MigrationDb c;
    c.path = file;
    if (!UpgradeDatabase(p_, file, c.major, c.minor, c.revision, c.projects, c.readings)) {
        p_.prompts.message("The file you selected: \r\n" + file +
                               "\r\ndoes not appear to be a valid Hevrin database.\r\nPlease select again.",
                           Buttons::OK, Icon::None, Title);
        return;
    }
    if (c.minor < 3) {
        p_.prompts.message(
            "The database you selected: \r\n" + file + "\r\nis a 2 bank version. v" +
                QString::number(c.major) + "." + QString::number(c.minor) + "." +
                QString::number(c.revision) +
                "\r\nPlease select a 3 bank database.  The default version 3 database is DB.hv3.mdb",
            Buttons::OK, Icon::None, Title);
        return;
    }
    To = c;
    toTested_ = true;
    ConfigureForm();
}

void dlgMigrate::cmdBackUp_Click() {
    const QString source = txt3BankDB->text();
    if (source.isEmpty()) {
        p_.prompts.message(QStringLiteral("Please select a 'TO' database first."), Buttons::OK, Icon::None,
                           Title);
        return;
    }
    const QString proposed = MigrationBackupName(source, now());
    const auto fail = [this](const QString& target, long number, const QString& text) {
        setStatus(3, QStringLiteral("Back up failed!"));
        p_.prompts.message("Error in backup to " + target + ". Error " + QString::number(number) + " " + text,
                           Buttons::OK, Icon::None, Title);
    };
    if (proposed.isEmpty()) {
        fail(source, dberr::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
        return;
    }
    const QString target = p_.prompts.saveFile(
        GetMlString(1078, "Current Database is: ") + p_.ProjectDatabasePath,
        QStringLiteral("HV 3 bank DB Files (*.hv3.mdb)|*.hv3.mdb|HV 2 Bank DB Files (*.hv.mdb)|*.hv.mdb|DB "
                       "Files(*.mdb)|*.mdb|All Files (*.*)|*.*"),
        joinPath(p_.AppDataFolder, proposed));
    if (target.isEmpty()) return;
    if (SameDatabaseFile(target, source)) {
        // Replacing the database by a copy of itself would leave nothing if the copy failed.
        fail(target, dberr::FileNotFound, QStringLiteral("The backup cannot replace the database itself."));
        return;
    }
    try {
        CopyDatabaseFile(source, target);
        setStatus(3, QStringLiteral("Backed Up OK!"));
    } catch (const RunError& e) {
        fail(target, e.number(), e.description());
    }
}

void dlgMigrate::cmdMigrate_Click() {
    if (SameDatabaseFile(From.path, To.path)) {
        p_.prompts.message(SameDatabasesText, Buttons::OK, Icon::None, Title);
        return;
    }
    if (!cmdMigrate->isEnabled() || running_) return;
    MigrationComplete = false;
    lblDone->clear(); // an earlier run's word does not stand for this one
    running_ = true;
    cancelRequested_ = false;
    updateStart();
    MigrationDialogProgress view(*this);
    Migration run(p_, From, To, view);
    const MigrationResult r = run.run();
    running_ = false;
    updateStart();
    if (r.completed) {
        MigrationComplete = true;
        // A train refused for its bank count was not copied: "every" would not be true.
        const QString copied = r.refused.isEmpty()
                                   ? QStringLiteral("The migration copied every project train")
                                   : QStringLiteral("The migration copied the other project trains");
        if (r.failed > 0) {
            // Every train went over, but not every reading has its calculated values.
            lblDone->setText(QStringLiteral("MIGRATION COMPLETE, %1 NOT CALCULATED").arg(r.failed));
            p_.prompts.message(copied + ", but " + MigrationFailuresText(r) + ".", Buttons::OK, Icon::Warning,
                               Title);
        } else {
            lblDone->setText(QStringLiteral("MIGRATION COMPLETE"));
        }
        const QString leftOut = MigrationLeftOutText(r);
        if (!leftOut.isEmpty())
            p_.prompts.message(copied + ". " + leftOut, Buttons::OK,
                               r.orphaned > 0 || r.unreadable > 0 || !r.refused.isEmpty() ? Icon::Warning
                                                                                          : Icon::Information,
                               Title);
    }
    QCoreApplication::processEvents();
    cmdexit->setFocus();
    if (cancelRequested_) hide();
}

bool dlgMigrate::Form_QueryUnload() {
    p_.SuppressDbUpgrade = false;
    // Only a run under way has something to lose: a closed dialog stays loaded for its
    // choices, and the program's exit closes it again.
    if (!running_) return true;
    if (p_.prompts.message(QStringLiteral("Calculations and Migraton not complete!  Quit anyway?"),
                           Buttons::OKCancel, Icon::None, Title) != Answer::OK)
        return false;
    // The run stops at the end of its batch; the dialog goes when it has.
    cancelRequested_ = true;
    return false;
}

void dlgMigrate::cmdexit_Click() {
    p_.SuppressDbUpgrade = false;
    close();
}

void dlgMigrate::closeEvent(QCloseEvent* e) {
    if (Form_QueryUnload()) {
        QDialog::closeEvent(e);
        QDialog::reject();
    } else {
        e->ignore();
    }
}

void dlgMigrate::reject() {
    close();
}

} // namespace hv
