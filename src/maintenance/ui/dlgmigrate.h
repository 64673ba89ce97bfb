#pragma once
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <array>
#include <functional>

#include "maintenance/migration.h"

namespace hv {

struct Program;

// "Migrate to Hevrin 3 Bank Database": copies the projects of a two-bank database into a
// three-bank one, or merges another three-bank database. One instance lives for the
// program's run, so its choices stay from one showing to the next.
class dlgMigrate : public QDialog {
    Q_OBJECT
public:
    explicit dlgMigrate(Program& p, QWidget* parent = nullptr);

    // Fields of the dialog.
    MigrationDb From; // FromDbPath, FromDbVersion, FromProjectCount, FromDataCount
    MigrationDb To;
    qint16 OpenDbMajor = 0, OpenDbMinor = 0, OpenDbRevision = 0;
    bool MigrationComplete = false;

    QLineEdit* txt2BankDB;
    QLineEdit* txt3BankDB;
    std::array<QLabel*, 2> lblHeading;
    QLabel* lblDB2Info;
    QLabel* lblDB3Info;
    QLabel* lblVer2;
    QLabel* lblVer3;
    QLabel* lblDone;
    QPushButton* cmdSelect2DB;
    QPushButton* cmdSelect3DB;
    QPushButton* cmdBackUp;
    QPushButton* cmdMigrate;
    QPushButton* cmdexit;
    QProgressBar* ProgressBar1;
    std::array<QLabel*, 4> StatusBar1; // panels 1 to 4

    void Form_Load();
    void ConfigureForm();
    void cmdSelect2DB_Click();
    void cmdSelect3DB_Click();
    void cmdBackUp_Click();
    void cmdMigrate_Click();
    void cmdexit_Click();

    // The clock of the backup name; tests set it.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override; // Escape closes as the close box does

private:
    bool Form_QueryUnload();
    void updateStart();
    void fitPaths();
    void setStatus(int panel, const QString& text);

    Program& p_;
    bool fromTested_ = false; // the FROM path passed its test
    bool toTested_ = false;   // the TO path passed its test and is three-bank
    bool running_ = false;
    bool cancelRequested_ = false;
    bool loadRefused_ = false;
    friend class MigrationDialogProgress;
};

} // namespace hv
