#include <QDialog>
#include <QProcess>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>
#include <unistd.h>

#include "core/backup.h"
#include "core/program.h"
#include "core/settings.h"
#include "core/startup.h"
#include "core/ui/corewindows.h"
#include "core/ui/frmmain.h"
#include "core/ui/frmsplash.h"
#include "platform/database.h"
#include "support/fitcheck.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"

using namespace hv;

namespace {

const QString Section = "Current Project";

// Save dialogs answered from the script; the suggested path is kept for the test.
class RecordingPrompts : public ScriptedPrompts {
public:
    QString saveInitialPath;
    std::function<void()> beforeMessage; // sees the program as each message is shown
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override {
        if (beforeMessage) beforeMessage();
        return ScriptedPrompts::message(text, buttons, icon, title);
    }
    QString saveFile(const QString& title, const QString& filter, const QString& initialPath) override {
        saveInitialPath = initialPath;
        return ScriptedPrompts::saveFile(title, filter, initialPath);
    }
};

// A program about to start on a fresh per-user data folder, with the shipped templates.
struct Started {
    test::TestEnv env;
    RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    int ended = -1;

    Started() {
        const QString templates = env.system.programDir + "/templates";
        QDir().mkpath(templates);
        test::makeBlankDatabase(templates + "/db.hv3.mdb");
        test::makeElementDatabase(templates + "/ostrelmem.mdb");
        program = std::make_unique<Program>(prompts, env.system, *env.store);
        RegisterCoreWindows(*program);
        program->EndProgram = [this](int code) { ended = code; };
        QDir().mkpath(dataFolder());
    }
    ~Started() {
        for (const QString& name : program->windows.loadedNames())
            delete program->windows.find(name);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Program& p() { return *program; }
    QString dataFolder() const { return env.path("user/Hevrin"); }
    QString data(const QString& name) const { return dataFolder() + "/" + name; }
    QString ini() const { return data("hevrin.ini"); }
    QString setting(const QString& key) const { return ReadIniValue(Section, key, "<none>", ini()); }
    void set(const QString& key, const QString& value) { WriteIniValue(Section, key, ini(), value); }
    frmMain* main() { return program->windows.findAs<frmMain>("frmMain"); }
    frmSplash* splash() { return program->windows.findAs<frmSplash>("frmSplash"); }
    // Start-up straight into the main window, current project P1 train 1 in the default database.
    void startWithProject() {
        set("ShowSplash", "No");
        set("Project", "P1");
        test::makeBlankDatabase(data("db.hv3.mdb"));
        test::insertProjectInfo(data("db.hv3.mdb"), 3);
        QVERIFY(!Main(p()).endProgram);
        QVERIFY(main());
        QVERIFY(p().CurrentProjectLoaded);
        QCOMPARE(prompts.verify(), QString());
    }
};

const QString NoProject = "NO CURRENT PROJECT is selected.  Please SELECT or CREATE a project.";
const QString Reminder = "Recalculate all projects now?";
const QString RepeatNote = "This message will repeat until the database is recalculated.";

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void freshStartShowsSplashThenMainWindow() {
        Started s;
        QVERIFY(!Main(s.p()).endProgram);
        QVERIFY(QFile::exists(s.data("db.hv3.mdb")));
        QVERIFY(QFile::exists(s.data("ostrelmem.mdb")));
        QCOMPARE(s.setting("APPLICATION DATA"), s.dataFolder());
        QCOMPARE(s.p().ProjectDatabasePath, s.data("db.hv3.mdb"));
        QVERIFY(s.p().DbValid && !s.p().DbIsOlder);
        QCOMPARE(s.p().ElementListUpper, qint16(12));

        frmSplash* splash = s.splash();
        QVERIFY(splash && splash->isVisible());
        QVERIFY(!s.main());
        QCOMPARE(splash->lblVersion->text(), QString("Hevrin: Version 1.3.38"));
        QCOMPARE(splash->lblDatabase->text(), QString("Database version: 1.3.38"));
        QVERIFY(splash->Label1->text().startsWith("Disclaimer\n\n"));
        QVERIFY(!splash->Check1->isChecked() && !splash->chkShow->isChecked());
        const QSize least = splash->minimumSizeHint().expandedTo(splash->size());
        QVERIFY(least.width() <= 1280 && least.height() <= 760);

        s.prompts.onMessage(NoProject, Buttons::OK, "Hevrin", Answer::OK);
        splash->Check1->setChecked(true);
        QTest::mouseClick(splash->cmdClose, Qt::LeftButton);
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.setting("ShowSplash"), QString("yes"));
        frmMain* m = s.main();
        QVERIFY(m && m->isVisible());
        QVERIFY(!splash->isVisible());
        QCOMPARE(m->windowTitle(), QString("Hevrin"));
        QCOMPARE(m->lblVersion->text(), QString("Hevrin: Version 1.3.38"));
        QCOMPARE(m->lblDatabase->text(), "Database: " + s.data("db.hv3.mdb"));
        QCOMPARE(m->lblDBVersion->text(), QString("DB Version: 1.3.38"));
        QCOMPARE(m->lblMembDB->text(), QString("Membrane DB Ver: 2539"));
        // A fresh start has no project and names none.
        QCOMPARE(m->sbPanels[0]->text(), QString("NO CURRENT PROJECT"));
        QCOMPARE(s.p().CurrentProject.ProjectID, QString());
        QCOMPARE(m->sbPanels[1]->text(), QLocale().toString(QDate(2026, 1, 15), QLocale::ShortFormat));
        QCOMPARE(m->sbPanels[2]->text(), QLocale().toString(QTime(10, 30), QLocale::ShortFormat));
        QCOMPARE(s.p().GraphPath, s.dataFolder());
        QCOMPARE(s.ended, -1);
        // Each window fits a 1280 x 800 screen with a desktop's frame.
        for (QWidget* w : {static_cast<QWidget*>(m), s.p().windows.showSingle("frmContact")}) {
            const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize()).expandedTo(w->size());
            QVERIFY2(least.width() <= 1280 && least.height() <= 760, qPrintable(w->objectName()));
        }
    }

    void splashWaitsForTheStartUpRecalculation() {
        Started s;
        s.set("Project", "P1");
        test::makePreSpecFluxDatabase(s.data("db.hv3.mdb"), "1.3.20");
        test::insertProjectInfo(s.data("db.hv3.mdb"), 3);
        bool mainDuringRun = true;
        QString projectAfterClick;
        s.p().RecalculateAllProjects = [&] {
            // The user accepts and closes the splash while the run lets windows repaint.
            s.p().RecalcAllRunning = true;
            s.p().CurrentProject.ProjectID = "Project being recalculated";
            s.splash()->Check1->setChecked(true);
            QTest::mouseClick(s.splash()->cmdClose, Qt::LeftButton);
            mainDuringRun = s.main() != nullptr;
            projectAfterClick = s.p().CurrentProject.ProjectID;
            s.p().CurrentProject = ProjectInfoRecord{};
            s.p().RecalcAllRunning = false;
        };
        s.prompts
            .onMessage("Recalculate all projects now?", Buttons::YesNoCancel,
                       "Important Hevrin Version Information", Answer::Yes)
            .onSaveFile("");
        QVERIFY(!Main(s.p()).endProgram);
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!mainDuringRun);
        QCOMPARE(projectAfterClick, QString("Project being recalculated"));
        QVERIFY(s.splash() && s.splash()->isVisible());

        // Once the run is over the same click goes on to the main window.
        QTest::mouseClick(s.splash()->cmdClose, Qt::LeftButton);
        QVERIFY(s.main());
        QCOMPARE(s.p().CurrentProject.ProjectID, QString("P1"));
        QVERIFY(s.p().CurrentProjectLoaded);
    }

    void declinedDisclaimerEndsTheProgram() {
        Started s;
        Main(s.p());
        s.prompts.onMessage("You must check Accept Disclaimer to user Hevrin. Hevrin will now close.",
                            Buttons::OK, "Hevrin", Answer::OK);
        QTest::mouseClick(s.splash()->cmdClose, Qt::LeftButton);
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.ended, 0);
        QVERIFY(!s.main());
        QCOMPARE(s.setting("ShowSplash"), QString("<none>"));
    }

    void splashCanBeTurnedOff() {
        Started s;
        Main(s.p());
        s.prompts.onMessage(NoProject, Buttons::OK, "Hevrin", Answer::OK);
        s.splash()->Check1->setChecked(true);
        s.splash()->chkShow->setChecked(true);
        QTest::mouseClick(s.splash()->cmdClose, Qt::LeftButton);
        QCOMPARE(s.setting("ShowSplash"), QString("No"));
        QVERIFY(s.main());

        // The next start goes straight to the main window.
        Started next;
        QDir().mkpath(next.dataFolder());
        QFile::copy(s.ini(), next.ini());
        next.prompts.onMessage(NoProject, Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(!Main(next.p()).endProgram);
        QVERIFY(next.main() && next.main()->isVisible());
        QVERIFY(!next.splash());
        QCOMPARE(next.prompts.verify(), QString());
    }

    // The database is named with its path and the cause before the chooser opens.
    void unreadableDatabaseAtStartOpensTheChooser_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("garbage") << "garbage"
                                 << "It is not a project database.";
        QTest::newRow("missing") << "missing"
                                 << "It was not found.";
        QTest::newRow("folder") << "folder"
                                << "It is a folder, not a project database.";
        QTest::newRow("no TheDate column")
            << "nodate"
            << "It is not a project database: its table Data has no column TheDate.";
        // Not called an old two-bank database, nor sent to the migration.
        QTest::newRow("newer") << "newer"
                               << "It was written by a newer version of Hevrin (database version 2.0.0, this "
                                  "program 1.3.38)";
        // Nor is a file without a version row taken for the oldest layout.
        QTest::newRow("empty Version table")
            << "noversion"
            << "It is not a project database: its table Version holds no version.";
        // A page the upgrade does not read: found by the check, not at the first save.
        QTest::newRow("damaged page") << "damaged"
                                      << "It is damaged.";
        // The data folder's database a link to a share not mounted: no blank copy is made there.
        QTest::newRow("link that leads nowhere") << "dangling"
                                                 << "It is a link to %1, which leads nowhere.";
    }

    void unreadableDatabaseAtStartOpensTheChooser() {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        Started s;
        s.set("ShowSplash", "no");
        const QString path = kind == "dangling" ? s.data("db.hv3.mdb") : s.env.path("broken.hv3.mdb");
        const QString share = s.env.path("share/db.hv3.mdb");
        s.set("Database", path);
        if (kind == "dangling") {
            QVERIFY(QDir().mkpath(s.env.path("share")));
            QVERIFY(QFile::link(share, path));
            cause = cause.arg(share);
        } else if (kind == "garbage") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("garbage garbage garbage garbage garbage garbage garbage garbage garbage garbage");
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == "nodate") {
            test::makeBlankDatabase(path);
            Database::open(path).exec("ALTER TABLE Data RENAME COLUMN TheDate TO ReadingDate");
        } else if (kind == "newer") {
            test::makeBlankDatabase(path);
            Database::open(path).exec("INSERT INTO Version (Version, Notes) VALUES ('2.0.0', '')");
        } else if (kind == "noversion") {
            test::makeBlankDatabase(path);
            Database::open(path).exec("DELETE FROM Version");
        } else if (kind == "damaged") {
            test::makeBlankDatabase(path);
            test::insertProjectInfo(path, 3);
            const DbRow at = Database::open(path)
                                 .select("SELECT rootpage, (SELECT page_size FROM pragma_page_size) AS size "
                                         "FROM sqlite_master WHERE name = 'sqlite_sequence'")
                                 .first();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(at.toInt32("rootpage") - 1) * at.toInt32("size")));
            f.write(QByteArray(at.toInt32("size"), '\x5a'));
        }
        // No recalculation is offered for a database that did not open.
        s.prompts
            .onMessage("Hevrin cannot use the project database\r\n" + path + "\r\n" + cause, Buttons::OK,
                       "Hevrin", Answer::OK)
            .onOpenFile("");
        QVERIFY(!Main(s.p()).endProgram);
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!s.p().DbValid);
        frmMain* m = s.main();
        QCOMPARE(m->lblDatabase->text(), QString("PLEASE SELECT A VALID DATABASE TO CONTINUE!"));
        QCOMPARE(m->lblDBVersion->text(), QString("DB Version: Not Valid"));
        QCOMPARE(s.p().ProjectDatabasePath, QString());
        QVERIFY(!QFileInfo::exists(share));

        // The project window is refused before it opens.
        s.p().windows.registerFactory("frmProject", [] { return new QWidget; });
        s.prompts.onMessage("No project database is open. Please open a database first", Buttons::OK,
                            "Hevrin", Answer::OK);
        m->mnuProjectCreate->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!s.p().windows.isLoaded("frmProject"));
        QVERIFY(!s.p().ProjectCreateMode);
    }

    // Start-up that met another program's lock held longer than the wait reads the database
    // again once the lock is gone: it opens, and no other database is asked for.
    void startUpAfterAShortLock() {
        Started s;
        s.set("ShowSplash", "No");
        s.set("Project", "P1");
        test::makeBlankDatabase(s.data("db.hv3.mdb"));
        test::insertProjectInfo(s.data("db.hv3.mdb"), 3);
        const int wait = Database::setLockWait(1000);
        test::ForeignLock lock(s.data("db.hv3.mdb"), test::ForeignLock::Kind::Exclusive);
        QVERIFY(lock.held());
        // Let go after the start-up's first read has given up, before its second does.
        std::thread other([&lock] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            lock.release();
        });
        const bool ended = Main(s.p()).endProgram;
        other.join();
        Database::setLockWait(wait);
        QVERIFY(!ended);
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(s.main() && s.p().DbValid && s.p().CurrentProjectLoaded);
    }

    // A database that cannot be written is named, with the path and the cause, before any
    // window opens; it still opens. Permissions bind only a user other than root: run as
    // root, the case runs again as "nobody".
    void readOnlyDatabaseNamedAtStartUp_data() {
        QTest::addColumn<bool>("folderOnly");
        QTest::addColumn<QString>("cause");
        QTest::newRow("file")
            << false
            << QString("the file is read-only (%1).").arg(QString::fromLocal8Bit(std::strerror(EACCES)));
        QTest::newRow("folder") << true
                                << QString("its folder %1 is read-only (%2)")
                                       .arg("%1", QString::fromLocal8Bit(std::strerror(EACCES)));
    }
    void readOnlyDatabaseNamedAtStartUp() {
        QFETCH(bool, folderOnly);
        QFETCH(QString, cause);
        if (::geteuid() == 0) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("XDG_RUNTIME_DIR");
            env.insert("HOME", QDir::tempPath());
            // The test's own offscreen settings file is root's.
            env.insert("QT_QPA_PLATFORM", "offscreen");
            child.setProcessEnvironment(env);
            child.setWorkingDirectory(QDir::tempPath());
            child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                    QCoreApplication::applicationFilePath(),
                                    QString("readOnlyDatabaseNamedAtStartUp:") + QTest::currentDataTag()});
            if (!child.waitForStarted(10000)) QSKIP("cannot run the case as another user");
            QVERIFY(child.waitForFinished(60000));
            const QString out =
                QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(out));
            QVERIFY2(out.contains("PASS   : TestMainWindow::readOnlyDatabaseNamedAtStartUp"),
                     qPrintable(out));
            return;
        }
        Started s;
        s.set("ShowSplash", "No");
        s.set("Project", "P1");
        QVERIFY(QDir().mkpath(s.env.path("plant")));
        const QString path = s.env.path("plant/db.hv3.mdb");
        s.set("Database", path);
        test::makeBlankDatabase(path);
        test::insertProjectInfo(path, 3);
        test::ReadOnlyFile readOnly(folderOnly ? s.env.path("plant") : path);
        QVERIFY(readOnly.held());
        bool windowBefore = false;
        s.prompts.beforeMessage = [&] { windowBefore = windowBefore || s.main() || s.splash(); };
        s.prompts.onMessage("The project database\r\n" + path +
                                "\r\ncannot be written: " + cause.arg(s.env.path("plant")),
                            Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(!Main(s.p()).endProgram);
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!windowBefore);
        QVERIFY(s.main() && s.p().DbValid && s.p().CurrentProjectLoaded);
    }

    // Start-up writes the data folder each time: on a full disk that must not cost the settings.
    void settingsSurviveAFullDisk() {
        Started s;
        s.set("ShowSplash", "No");
        s.set("Project", "P1");
        s.set("Notes", QString(3000, 'x'));
        InstallDataFiles(s.env.system, s.dataFolder());
        test::insertProjectInfo(s.data("db.hv3.mdb"), 3);
        QFile f(s.ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        s.prompts.onMessage("The settings file could not be written:\r\n" + s.ini(), Buttons::OK, "Hevrin",
                            Answer::OK);
        {
            test::FileSizeLimit full(1024);
            QVERIFY(!Main(s.p()).endProgram);
            // The settings written at the close meet the same disk: said once a session.
            QVERIFY(s.main()->close());
        }
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void olderDatabaseAtStartNeedsMigration() {
        Started s;
        s.set("ShowSplash", "No");
        test::makeTwoBankDatabase(s.data("db.hv3.mdb"));
        int migrations = 0;
        s.p().windows.registerFactory("dlgMigrate", [&migrations] {
            ++migrations;
            auto* d = new QDialog;
            QTimer::singleShot(0, d, &QDialog::reject);
            return d;
        });
        s.prompts
            .onMessage("You are starting Hevrin with an old, two bank database.", Buttons::OK, "Hevrin",
                       Answer::OK)
            .onMessage(Reminder, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer::Cancel)
            .onMessage(RepeatNote, Buttons::OK, "Hevrin", Answer::OK);
        Main(s.p());
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(s.p().DbValid && s.p().DbIsOlder);
        QCOMPARE(migrations, 1);
        QCOMPARE(s.main()->lblDatabase->text(), QString("DATABASE MIGRATION REQUIRED"));
        QCOMPARE(s.main()->lblDBVersion->text(), QString("DB Version: 1.2.7"));
        QVERIFY(!s.p().CurrentProjectLoaded);
        QVERIFY(s.main()->mnuProjectsMigrate->isEnabled());
    }

    void missingElementDatabaseEndsStartUp() {
        Started s;
        QFile::remove(s.env.system.programDir + "/templates/ostrelmem.mdb");
        s.prompts.onMessage("Could not open element database at: \r\n" + s.data("ostrelmem.mdb"), Buttons::OK,
                            "Hevrin", Answer::OK);
        const StartupResult r = Main(s.p());
        QVERIFY(r.endProgram);
        QVERIFY(r.exitCode != 0);
        QVERIFY(!s.main());
        QCOMPARE(s.prompts.verify(), QString());
    }

    void openAnotherDatabase() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        const QString first = s.data("db.hv3.mdb");

        // A valid one holding the current project.
        const QString other = s.env.path("other.hv3.mdb");
        test::makePreSpecFluxDatabase(other, "1.3.35");
        test::insertProjectInfo(other, 3, {{"CapacityM3D", 999.0}});
        s.prompts.onOpenFile(other);
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.p().ProjectDatabasePath, other);
        QCOMPARE(s.p().PreviousDatabasePath, first);
        QCOMPARE(s.setting("Database"), other);
        QCOMPARE(s.p().CurrentProject.CapacityM3D, 999.0);
        QCOMPARE(m->lblDatabase->text(), "Current Database: " + other);
        QCOMPARE(m->lblDBVersion->text(), QString("DB Version: 1.3.35"));
        QCOMPARE(s.p().status.text(1), QString("CURRENT PROJECT: P1 Train: 1"));

        // One without the current project: the status says so at once, not at the next action.
        const QString empty = s.env.path("empty.hv3.mdb");
        test::makeBlankDatabase(empty);
        s.prompts.onOpenFile(empty).onMessage(NoProject, Buttons::OK, "Hevrin", Answer::OK);
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!s.p().CurrentProjectLoaded);
        QCOMPARE(s.p().status.text(1), QString("NOT FOUND! P1"));
        s.prompts.onOpenFile(other);
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.p().status.text(1), QString("CURRENT PROJECT: P1 Train: 1"));

        // An unreadable one.
        const QString broken = s.env.path("broken.hv3.mdb");
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(200, 'x'));
        f.close();
        s.prompts.onOpenFile(broken).onMessage("Hevrin cannot use the project database\r\n" + broken +
                                                   "\r\nIt is not a project database.",
                                               Buttons::OK, "Hevrin", Answer::OK);
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.p().ProjectDatabasePath, other);

        // An older two-bank one, migration declined.
        const QString twoBank = s.env.path("old.hv.mdb");
        test::makeTwoBankDatabase(twoBank);
        s.prompts.onOpenFile(twoBank)
            .onMessage("You have selected a database which is out of date", Buttons::OKCancel, "Hevrin",
                       Answer::Cancel)
            .onMessage("Reverting to last selected database!", Buttons::OK, "Hevrin", Answer::OK);
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(s.prompts.shown()[s.prompts.shown().size() - 2].contains("Database version:    1.2.7"));
        QCOMPARE(s.p().ProjectDatabasePath, other);
        QVERIFY(s.p().DbIsOlder);
        QCOMPARE(m->lblDatabase->text(), "Current Database: " + other);
        QCOMPARE(m->lblDBVersion->text(), QString("DB Version: 1.3.35"));
        QCOMPARE(s.setting("Database"), other);

        // Cancelling the dialog changes nothing.
        s.prompts.onOpenFile("");
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.p().ProjectDatabasePath, other);

        // The combined version number follows the parts.
        const QString later = s.env.path("later.hv3.mdb");
        test::makePreSpecFluxDatabase(later, "1.3.36");
        test::insertProjectInfo(later, 3);
        s.prompts.onOpenFile(later);
        m->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.p().DbVersionNumber, qint32(1003000));
        QCOMPARE(s.p().DbVersionRevision, qint16(36));
    }

    void openingAnOldVersionRunsTheReminder() {
        Started s;
        s.startWithProject();
        const QString old = s.env.path("old.hv3.mdb");
        test::makePreSpecFluxDatabase(old, "1.3.5");
        test::insertProjectInfo(old, 3);
        int recalcs = 0;
        s.p().RecalculateAllProjects = [&] { ++recalcs; };
        s.prompts.onOpenFile(old)
            .onMessage("Updated your database with new fields for Specific Flux Calculations.", Buttons::OK,
                       "Hevrin", Answer::OK)
            .onMessage(Reminder, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer::No)
            .onMessage(RepeatNote, Buttons::OK, "Hevrin", Answer::OK);
        s.main()->mnuFileOpenDatabase->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(recalcs, 0);
        QCOMPARE(s.main()->lblDBVersion->text(), QString("DB Version: 1.3.20"));
    }

    void backupCommand() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        const QString expected =
            s.data(BackupFileName(s.p().ProjectDatabasePath, s.dataFolder(), s.env.system.clock));

        // Accepting the suggested name writes the backup into the data folder.
        s.prompts
            .onMessage("Create a back up of your database?", Buttons::OKCancel, "BACKUP DATABASE?",
                       Answer::OK)
            .onSaveFile(expected);
        m->mnuBackup->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.prompts.saveInitialPath, expected);
        QVERIFY(expected.endsWith("/db.hv3,26.01.15-10.30.00.mdb"));
        QVERIFY(QFile::exists(expected));
        QCOMPARE(m->sbPanels[0]->text(), "Backed up to: " + expected);

        const QString chosen = s.env.path("elsewhere.hv3.mdb");
        s.prompts.onMessage("Create a back up", Buttons::OKCancel, "BACKUP DATABASE?", Answer::OK)
            .onSaveFile(chosen);
        m->mnuBackup->trigger();
        QVERIFY(QFile::exists(chosen));
        QCOMPARE(s.p().status.text(1), "Backed up to: " + chosen);

        // Cancel is not a failure.
        s.prompts.onMessage("Create a back up", Buttons::OKCancel, "BACKUP DATABASE?", Answer::OK)
            .onSaveFile("");
        m->mnuBackup->trigger();
        QCOMPARE(s.p().status.text(1), QString("Backed up to: Back up canceled by user"));

        const QString bad = s.env.path("no folder/x.mdb");
        s.prompts.onMessage("Create a back up", Buttons::OKCancel, "BACKUP DATABASE?", Answer::OK)
            .onSaveFile(bad)
            .onMessage("Error in backup to " + bad, Buttons::OK, "Hevrin", Answer::OK);
        m->mnuBackup->trigger();
        QCOMPARE(s.p().status.text(1), QString("Database Backup Failed"));

        s.prompts.onMessage("Create a back up", Buttons::OKCancel, "BACKUP DATABASE?", Answer::Cancel);
        m->mnuBackup->trigger();
        QCOMPARE(s.prompts.verify(), QString());
    }

    // The backup's dialogs close and the main window takes the activation and the focus
    // back: the result stays in panel 1. Another of the program's windows handing the
    // focus back shows the current project again.
    void backupResultOutlivesItsDialogs() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        m->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m));
        const QString target = s.env.path("kept.hv3.mdb");
        s.prompts.onMessage("Create a back up", Buttons::OKCancel, "BACKUP DATABASE?", Answer::OK)
            .onSaveFile(target);
        m->mnuBackup->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        auto focusBack = [m](QWidget& from) {
            from.show();
            from.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&from));
            from.hide();
            m->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m));
            QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(m, &in);
        };
        QWidget dialog; // as the save dialog and the message box: not one of the program's windows
        focusBack(dialog);
        QCOMPARE(m->sbPanels[0]->text(), "Backed up to: " + target);

        QPointer<QWidget> contact = s.p().windows.showSingle("frmContact");
        focusBack(*contact);
        QCOMPARE(m->sbPanels[0]->text(), QString("CURRENT PROJECT: P1 Train: 1"));
    }

    void splashSettingsFromTheHelpMenu() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        s.prompts.onMessage("Splash Screen - show at start up?", Buttons::YesNo, "Hevrin", Answer::Yes);
        m->mnuSplash->trigger();
        QCOMPARE(s.setting("ShowSplash"), QString("yes"));
        s.prompts.onMessage("Splash Screen - show at start up?", Buttons::YesNo, "Hevrin", Answer::No);
        m->mnuSplash->trigger();
        QCOMPARE(s.setting("ShowSplash"), QString("no"));

        // About: the disclaimer is already accepted, so closing goes on and turns the splash back on.
        m->mnuHelpAbout->trigger();
        frmSplash* splash = s.splash();
        QVERIFY(splash && splash->isVisible());
        QVERIFY(splash->Check1->isChecked());
        QTest::mouseClick(splash->cmdClose, Qt::LeftButton);
        QCOMPARE(s.setting("ShowSplash"), QString("yes"));
        QCOMPARE(s.ended, -1);
        QVERIFY(m->isVisible());
        QCOMPARE(s.prompts.verify(), QString());
    }

    // Escape is the splash's Close button: About closes, and at start-up the disclaimer not
    // accepted ends the program.
    void escapeClosesTheSplash_data() {
        QTest::addColumn<bool>("about");
        QTest::newRow("About") << true;
        QTest::newRow("at start-up, not accepted") << false;
    }
    void escapeClosesTheSplash() {
        QFETCH(bool, about);
        Started s;
        if (about) {
            s.startWithProject();
            s.main()->mnuHelpAbout->trigger();
        } else {
            Main(s.p());
            s.prompts.onMessage("You must check Accept Disclaimer", Buttons::OK, "Hevrin", Answer::OK);
        }
        QPointer<frmSplash> splash = s.splash();
        QVERIFY(splash && splash->isVisible());
        QTest::keyClick(splash, Qt::Key_Escape);
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!splash->isVisible());
        QCOMPARE(s.ended, about ? -1 : 0);
        QCOMPARE(bool(s.main()), about);
    }

    // A train of other than 1 to 3 banks is named at start-up; it cannot be made current, and
    // the database's other trains can.
    void trainOutsideTheBankRangeAtStartUp() {
        Started s;
        s.set("ShowSplash", "No");
        s.set("Project", "P1");
        s.set("Train", "2");
        const QString db = s.data("db.hv3.mdb");
        test::makeBlankDatabase(db);
        test::insertProjectInfo(db, 3);
        test::insertProjectInfo(db, 3, {{"TrainNumber", 2}, {"NumBanks", 4}});
        const QString cause = "Project \"P1\" train 2 has NumBanks 4: a train has 1, 2 or 3 banks.";
        s.prompts
            .onMessage("The project database\r\n" + db + "\r\nholds a train Hevrin cannot use:\r\n" + cause,
                       Buttons::OK, "Hevrin", Answer::OK)
            .onMessage("Hevrin cannot make this train the current project:\r\n" + cause, Buttons::OK,
                       "Hevrin", Answer::OK);
        QVERIFY(!Main(s.p()).endProgram);
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(s.p().DbValid);
        QVERIFY(!s.p().CurrentProjectLoaded);
        QCOMPARE(s.p().CurrentProject.NumBanks, qint16(0));

        s.p().CurrentProject.TrainNumber = 1;
        s.main()->LoadMyProject();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(s.p().CurrentProjectLoaded);
        QCOMPARE(s.p().CurrentProject.NumBanks, qint16(3));
    }

    void lockUnlockWithoutDataWindow() {
        Started s;
        s.startWithProject();
        s.p().DataEntryConfigUnlocked = true;
        s.prompts.onMessage("The data entry form is not open.", Buttons::OK, "Hevrin", Answer::OK);
        s.main()->mnuEditLock->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(s.p().DataEntryConfigUnlocked);
    }

    // The bounds are tested, and kept when the window is not moved, in twips.
    void windowPlacementBounds_data() {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("savedLeft");
        QTest::addColumn<QString>("savedTop");
        QTest::newRow("defaults") << ""
                                  << "" << 200 / 15 << 200 / 15 << "200"
                                  << "200";
        QTest::newRow("left on a lost screen") << "12000"
                                               << "300" << 200 / 15 << 300 / 15 << "200"
                                               << "300";
        QTest::newRow("at the bounds") << "10000"
                                       << "5000" << 10000 / 15 << 5000 / 15 << "10000"
                                       << "5000";
        QTest::newRow("one twip beyond") << "10001"
                                         << "5001" << 200 / 15 << 200 / 15 << "200"
                                         << "200";
        QTest::newRow("beyond the bounds") << "-15"
                                           << "5015" << 200 / 15 << 200 / 15 << "200"
                                           << "200";
        QTest::newRow("between pixels") << "4999"
                                        << "1237" << 4999 / 15 << 1237 / 15 << "4999"
                                        << "1237";
    }
    void windowPlacementBounds() {
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QString, savedLeft);
        QFETCH(QString, savedTop);
        Started s;
        if (!left.isEmpty()) {
            s.env.store->setValue("MainLeft", left);
            s.env.store->setValue("MainTop", top);
        }
        s.startWithProject();
        frmMain* m = s.main();
        QCOMPARE(m->x(), x);
        QCOMPARE(m->y(), y);
        QCOMPARE(m->width(), 11750 / 15);
        QCOMPARE(m->height(), 3250 / 15);
        m->mnuFileExit->trigger();
        QCOMPARE(s.env.store->text("MainLeft"), savedLeft);
        QCOMPARE(s.env.store->text("MainTop"), savedTop);
        QCOMPARE(s.env.store->text("MainWidth"), QString("11750"));
    }

    // Panel 1 is rewritten when another of the program's windows hands the activation back,
    // not when a message box closes.
    void statusTextsOutliveMessageBoxes() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        m->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m));
        s.p().status.setText(1, "Backed up to: /b.mdb");
        QWidget box; // as a message box: not one of the program's windows
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        box.hide();
        m->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m));
        QCOMPARE(m->sbPanels[0]->text(), QString("Backed up to: /b.mdb"));

        // The contact window closes on Escape and on Enter, and gives the activation back.
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            QPointer<QWidget> contact = s.p().windows.showSingle("frmContact");
            QVERIFY(QTest::qWaitForWindowActive(contact));
            QTest::keyClick(contact, key);
            QVERIFY(contact && !contact->isVisible());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!contact);
            m->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m));
            QCOMPARE(m->sbPanels[0]->text(), QString("CURRENT PROJECT: P1 Train: 1"));
            s.p().status.setText(1, "Status");
        }
    }

    // The main window, with a database deep in a folder and a status text as long as a
    // backup's, the contact window and the splash show every text whole on a 1280 x 800 screen.
    void windowsShowTheirTextsWhole() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        const QString deep = s.env.path("Plant records/North Bay Desalination/2026/Reverse osmosis train 1");
        QDir().mkpath(deep);
        QVERIFY(QFile::copy(s.data("db.hv3.mdb"), deep + "/db.hv3.mdb"));
        s.p().mainLabels.setDatabase(deep + "/db.hv3.mdb");
        s.p().status.setText(1, "Backed up to: " + deep + "/db.hv3,26.01.15-10.30.00.mdb");
        m->show();
        QStringList cut = test::cutOffTexts(m);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));

        QPointer<QWidget> contact = s.p().windows.showSingle("frmContact");
        QVERIFY(contact);
        cut = test::cutOffTexts(contact);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));

        m->mnuHelpAbout->trigger();
        QVERIFY(s.splash() && s.splash()->isVisible());
        cut = test::cutOffTexts(s.splash());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
    }

    void helpItemsSayWhenNothingOpensThem() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        s.prompts.onMessage("Hevrin could not find:\r\n" + s.env.system.programDir + "/EULA.rtf", Buttons::OK,
                            "Hevrin", Answer::OK);
        m->mnuLicense->trigger();
        for (const char* name : {"EULA.rtf", "help.html"}) {
            QFile f(s.env.system.programDir + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        s.env.system.openSucceeds = false;
        for (QAction* item : {m->mnuHelpUser, m->mnuLicense, m->mnuRealHelp}) {
            s.prompts.onMessage("Hevrin could not open:\r\n", Buttons::OK, "Hevrin", Answer::OK);
            item->trigger();
            QCOMPARE(s.prompts.verify(), QString());
        }
        QVERIFY(s.prompts.shown().last().contains("/help.html#news"));
    }

    void dataEntryAsksEveryProjectWindow() {
        Started s;
        s.startWithProject();
        s.p().windows.registerFactory("frmProject", [] { return new QWidget; });
        s.p().windows.registerFactory("frmData", [] { return new QWidget; });
        QPointer<QWidget> first = s.p().windows.create("frmProject");
        QPointer<QWidget> second = s.p().windows.create("frmProject");
        first->show();
        second->show();
        emit s.main()->mnuFile->aboutToShow();
        const QString question = "Project Edit or Project Select or Create Project is still open.";
        s.prompts.onMessage(question, Buttons::OKCancel, "Hevrin", Answer::OK)
            .onMessage(question, Buttons::OKCancel, "Hevrin", Answer::Cancel);
        s.main()->mnuDataEntry->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!first && second);
        QVERIFY(!s.p().windows.isLoaded("frmData"));

        s.prompts.onMessage(question, Buttons::OKCancel, "Hevrin", Answer::OK);
        s.main()->mnuDataEntry->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!second);
        QVERIFY(s.p().windows.find("FRMDATA"));
    }

    // A window that may store readings keeps the project and the database it opened with.
    void collectionWindowKeepsProjectAndDatabase_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<QString>("item");
        for (const char* item : {"mnuProjectSelect", "mnuProjectCreate", "MnuProjectEdit",
                                 "mnuFileOpenDatabase", "mnuProjectsMigrate"})
            for (bool import : {false, true})
                QTest::addRow("%s, %s", import ? "import" : "data entry", item) << import << QString(item);
    }

    void collectionWindowKeepsProjectAndDatabase() {
        QFETCH(bool, import);
        QFETCH(QString, item);
        Started s;
        int opened = 0;
        for (const char* window : {"frmProject", "dlgMigrate"})
            s.p().windows.registerFactory(window, [&opened] {
                ++opened;
                return new QWidget;
            });
        s.startWithProject();
        (import ? s.p().ImportWindowOpen : s.p().DataEntryOpen) = true;
        const QString database = s.p().ProjectDatabasePath;
        s.prompts.onMessage(import ? "Import Data is still open. Please <Close and Exit> Import Data first"
                                   : "Data Entry is still open. Please <Close and Exit> Data Entry first",
                            Buttons::OK, "Hevrin", Answer::OK);
        s.main()->findChild<QAction*>(item)->trigger();
        QCOMPARE(s.prompts.verify(), QString()); // no file dialog either
        QCOMPARE(opened, 0);
        QVERIFY(!s.p().ProjectSelectMode && !s.p().ProjectCreateMode && !s.p().ProjectEditMode);
        QCOMPARE(s.p().ProjectDatabasePath, database);
        QCOMPARE(s.p().CurrentProject.ProjectID, QString("P1"));
    }

    // After a whole-database run panel 2 goes back to the live date.
    void dateAfterAWholeDatabaseRun() {
        Started s;
        s.startWithProject();
        s.p().RecalculateAllProjects = [&] {
            s.p().status.setText(2, "Project # 1 of 1");
            s.p().status.setText(2, QLocale().toString(s.env.system.clock.date(), QLocale::ShortFormat));
        };
        s.prompts.onMessage("This will recalculate all projects", Buttons::OKCancel, "Hevrin", Answer::OK);
        s.main()->mnuRecalcAll->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QCOMPARE(s.p().status.text(2), QString());
    }

    void closingSavesPlacementAndSettings() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        m->move(40, 50);
        s.p().CurrentProject.TrainNumber = 2;
        s.p().GraphPath = "/graphs";
        auto* contact = s.p().windows.showSingle("frmContact");
        QPointer<QWidget> other = contact;
        // Each data view is a window of its own; closing the program unloads them all.
        s.p().windows.registerFactory("rows", [] { return new QWidget; });
        emit m->mnuEdit->aboutToShow();
        m->mnuDataView->trigger();
        QPointer<QWidget> firstView = s.p().windows.find("rows");
        m->mnuDataView->trigger();
        QVERIFY(firstView && s.p().windows.find("rows") != firstView.data());
        m->mnuFileExit->trigger();
        QVERIFY(!other);
        QVERIFY(!firstView);
        QCOMPARE(s.env.store->text("MainLeft"), QString("600"));
        QCOMPARE(s.env.store->text("MainTop"), QString("750"));
        QCOMPARE(s.setting("Train"), QString("2"));
        QCOMPARE(s.setting("Project"), QString("P1"));
        QCOMPARE(s.setting("GraphPath"), QString("/graphs"));
        QCOMPARE(s.setting("Database"), s.data("db.hv3.mdb"));
    }

    // Data entry holding typed values asks before it closes; when the user keeps it, Exit
    // leaves the program running with nothing written for the closing.
    void exitStaysWhenAWindowKeepsItsInput() {
        struct KeepsInput : QWidget {
            bool keep = true;
            void closeEvent(QCloseEvent* e) override { keep ? e->ignore() : e->accept(); }
        };
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        KeepsInput* entry = nullptr;
        s.p().windows.registerFactory("frmData", [&entry] { return entry = new KeepsInput; });
        s.p().windows.showSingle("frmData");
        QVERIFY(entry);
        QPointer<QWidget> guard = entry;
        const QString trainBefore = s.setting("Train");
        s.p().CurrentProject.TrainNumber = 2;
        m->mnuFileExit->trigger();
        QVERIFY(m->isVisible());
        QVERIFY(guard && guard->isVisible());
        QCOMPARE(s.setting("Train"), trainBefore);

        entry->keep = false;
        m->mnuFileExit->trigger();
        QVERIFY(!guard);
        QVERIFY(!m->isVisible());
        QCOMPARE(s.setting("Train"), QString("2"));
    }

    void closingWaitsForTheWholeDatabaseRun() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        bool closedDuringRun = true;
        s.p().RecalculateAllProjects = [&] {
            // The run loads each project as the current one and lets the window system in.
            s.p().SetMenusEnabled(false);
            const ProjectInfoRecord saved = s.p().CurrentProject;
            s.p().CurrentProject.ProjectID = "Project being recalculated";
            m->close();
            closedDuringRun = !m->isVisible();
            s.p().CurrentProject = saved;
            s.p().SetMenusEnabled(true);
        };
        s.prompts.onMessage("This will recalculate all projects", Buttons::OKCancel, "Hevrin", Answer::OK);
        m->mnuRecalcAll->trigger();
        QCOMPARE(s.prompts.verify(), QString());
        QVERIFY(!closedDuringRun);
        QCOMPARE(s.setting("Project"), QString("P1"));

        QPointer<frmMain> guard = m;
        m->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guard);
        QCOMPARE(s.setting("Project"), QString("P1"));
    }

    void trainThatIsNotAWholeNumberTakesOne() {
        Started s;
        s.set("Train", "two");
        s.startWithProject();
        QCOMPARE(s.p().CurrentProject.TrainNumber, qint16(1));
    }

    void itemsWaitForTheirWindows() {
        Started s;
        s.startWithProject();
        frmMain* m = s.main();
        QVERIFY(!m->mnuDataEntry->isEnabled());
        QVERIFY(!m->mnuViewgraphs->isEnabled());
        QVERIFY(m->mnuProjectSelect->isEnabled() && m->mnuRecalcAll->isEnabled() &&
                m->mnuBackup->isEnabled());
        s.p().windows.registerFactory("frmGraphs", [] { return new QWidget; });
        emit m->mnu9->aboutToShow();
        QVERIFY(m->mnuViewgraphs->isEnabled());

        // The recalculation items call the program's hooks after their question.
        QString recalculated;
        s.p().RecalculateProject = [&](const QString& id, qint16 train) {
            recalculated = id + "/" + QString::number(train);
            return true;
        };
        s.prompts.onMessage("This will recalculate project P1 Train 1.", Buttons::OKCancel, "Hevrin",
                            Answer::OK);
        m->mnuRecalc->trigger();
        QCOMPARE(recalculated, QString("P1/1"));

        // Project items are refused while data entry is open.
        s.p().DataEntryOpen = true;
        s.prompts.onMessage("Data Entry is still open. Please <Close and Exit> Data Entry first", Buttons::OK,
                            "Hevrin", Answer::OK);
        m->mnuProjectCreate->trigger();
        QVERIFY(!s.p().ProjectCreateMode);
        QCOMPARE(s.prompts.verify(), QString());

        // The whole-database recalculation disables the four menus for its run.
        s.p().SetMenusEnabled(false);
        QVERIFY(!m->mnuFile->menuAction()->isEnabled() && !m->mnuData->menuAction()->isEnabled());
        QVERIFY(m->mnuHelp->menuAction()->isEnabled());
        s.p().SetMenusEnabled(true);
        QVERIFY(m->mnuEdit->menuAction()->isEnabled());
    }
};

HV_FIT_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
