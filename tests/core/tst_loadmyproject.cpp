#include <QDialog>
#include <QtTest>

#include "core/loadproject.h"
#include "core/program.h"
#include "core/settings.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

// A current three-bank database holding project P1 train 1.
void setUp(test::TestEnv& env, const QVariantMap& overrides = {}) {
    Program& p = env.prog();
    test::makeBlankDatabase(p.ProjectDatabasePath);
    test::insertProjectInfo(p.ProjectDatabasePath, 3, overrides);
    p.DbVersionMajor = 1;
    p.DbVersionMinor = 3;
    p.DbVersionRevision = 38;
    p.CurrentProject.ProjectID = "P1";
    p.CurrentProject.TrainNumber = 1;
}

} // namespace

class TestLoadMyProject : public QObject {
    Q_OBJECT
private slots:
    void loadsTheRowWithNullBank3ColumnsAsZero() {
        test::TestEnv env;
        QVariantMap nulls;
        for (const char* c : {"AreaBank_3", "DeltaPress_3", "Permflow_3", "PermuS_3", "FeedPressure_3",
                              "ConcPressure_2", "PermbackPress_3", "ElementType_3", "numElementsBank_3",
                              "ElementsPerVessel_3", "NumVessels_3", "NumVessels_1"})
            nulls.insert(c, QVariant());
        setUp(env, nulls);
        Program& p = env.prog();
        p.CurrentProject.AreaBank_3 = 9;
        p.CurrentProject.NumVessels_1 = 4;
        p.CurrentProject.NumElementsBank_3 = 7;

        LoadMyProject(p);
        QVERIFY(p.CurrentProjectLoaded);
        QCOMPARE(p.CurrentProject.NumBanks, qint16(3));
        QVERIFY(p.CurrentProject.PermFlow > 0);
        QCOMPARE(p.CurrentProject.AreaBank_3, 0.0);
        QCOMPARE(p.CurrentProject.NumVessels_1, qint16(0));
        QCOMPARE(p.CurrentProject.NumElementsBank_3, 0);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(env.prompts.shown().isEmpty());
    }

    void aNullInTheFirstColumnsKeepsThePreviousRecord() {
        test::TestEnv env;
        setUp(env, {{"FeedTemp", QVariant()}});
        Program& p = env.prog();
        p.CurrentProject.NumBanks = 2;
        p.CurrentProject.FeedTemp = 11;
        p.CurrentProject.DateReference = QDateTime(QDate(2001, 2, 3), QTime(0, 0));
        const ProjectInfoRecord before = p.CurrentProject;

        env.prompts.onMessage("94 - ", Buttons::OK, "Hevrin", Answer::OK);
        LoadMyProject(p);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(env.prompts.shown().first().contains("Invalid null may mean that your project data"));
        QVERIFY(env.prompts.shown().first().contains("Save/Apply button"));
        QVERIFY(!p.CurrentProjectLoaded);
        QCOMPARE(p.CurrentProject.NumBanks, before.NumBanks);
        QCOMPARE(p.CurrentProject.FeedTemp, 11.0);
        QCOMPARE(p.CurrentProject.DateReference, before.DateReference);
    }

    // A damaged page is named as damage, not as a wrong path.
    void damagedPageIsNamedDamage() {
        test::TestEnv env;
        setUp(env);
        Program& p = env.prog();
        qint64 page = 0, size = 0;
        {
            Database d = Database::open(p.ProjectDatabasePath);
            page = d.scalar("SELECT rootpage FROM sqlite_master WHERE name = 'ProjectInfo'").toLongLong();
            size = d.scalar("PRAGMA page_size").toLongLong();
        }
        QFile f(p.ProjectDatabasePath);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek((page - 1) * size));
        f.write(QByteArray(int(size), '\x5a'));
        f.close();
        env.prompts.onMessage("The project database\r\n" + p.ProjectDatabasePath + "\r\nis damaged: ",
                              Buttons::OK, "Hevrin", Answer::OK);
        LoadMyProject(p);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!env.prompts.shown().first().contains("path error"));
        QVERIFY(!p.CurrentProjectLoaded);
    }

    void missingProjectOpensTheProjectWindowInSelectMode() {
        test::TestEnv env;
        setUp(env);
        Program& p = env.prog();
        int created = 0;
        p.windows.registerFactory("frmProject", [&created] {
            ++created;
            return new QWidget;
        });
        p.windows.showSingle("frmProject");
        QPointer<QWidget> earlier = p.windows.find("frmProject");
        p.CurrentProject.ProjectID = "Elsewhere";
        p.ProjectEditMode = true;

        env.prompts.onMessage("NO CURRENT PROJECT is selected.  Please SELECT or CREATE a project.",
                              Buttons::OK, "Hevrin", Answer::OK);
        LoadMyProject(p);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.status.text(1), QString("NOT FOUND! Elsewhere"));
        QVERIFY(!p.CurrentProjectLoaded);
        QVERIFY(p.ProjectSelectMode && !p.ProjectEditMode && !p.ProjectCreateMode);
        QCOMPARE(created, 2);
        QVERIFY(earlier && earlier->isVisible()); // not closed first
        QVERIFY(p.windows.find("frmProject") != earlier);
        delete earlier;
        delete p.windows.find("frmProject");
    }

    void missingFileOffersTheDefaultDatabase() {
        test::TestEnv env;
        setUp(env);
        Program& p = env.prog();
        p.ProjectDatabasePath = env.path("moved/away.hv3.mdb");
        env.prompts.onMessage("DB file not found! " + p.ProjectDatabasePath +
                                  ".\r\n\r\nTry default database setting? " + env.path("db.hv3.mdb"),
                              Buttons::OKCancel, "Hevrin", Answer::OK);
        LoadMyProject(p);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.ProjectDatabasePath, env.path("db.hv3.mdb"));
        QVERIFY(p.CurrentProjectLoaded);

        p.CurrentProjectLoaded = false;
        p.ProjectDatabasePath = env.path("moved/away.hv3.mdb");
        env.prompts.onMessage("DB file not found! ", Buttons::OKCancel, "Hevrin", Answer::Cancel);
        LoadMyProject(p);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.ProjectDatabasePath, QString());
        QVERIFY(!p.CurrentProjectLoaded);
    }

    void twoBankDatabaseOffersMigrationInstead() {
        test::TestEnv env;
        setUp(env);
        Program& p = env.prog();
        p.DbVersionMinor = 2;
        p.PreviousDatabasePath = env.path("previous.hv3.mdb");
        int dialogs = 0;
        p.windows.registerFactory("dlgMigrate", [&dialogs] {
            ++dialogs;
            auto* d = new QDialog;
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        });

        env.prompts.onMessage("The database is an old (2 banks/2 stages) version", Buttons::OKCancel,
                              "Hevrin", Answer::Cancel);
        LoadMyProject(p);
        QCOMPARE(p.ProjectDatabasePath, env.path("previous.hv3.mdb"));
        QVERIFY(!p.CurrentProjectLoaded);

        env.prompts.onMessage("Select OK to migrate and backup this database.", Buttons::OKCancel, "Hevrin",
                              Answer::OK);
        LoadMyProject(p);
        QCOMPARE(dialogs, 1);
        QVERIFY(!p.CurrentProjectLoaded);
        QCOMPARE(env.prompts.verify(), QString());
        delete p.windows.find("dlgMigrate");
    }

    void writeIniStoresProjectTrainAndDatabase() {
        test::TestEnv env;
        Program& p = env.prog();
        p.CurrentProject.ProjectID = "North Plant";
        p.CurrentProject.TrainNumber = 2;
        p.ProjectDatabasePath = "/plants/north.hv3.mdb";
        WriteIni(p);
        QCOMPARE(ReadIniValue("Current Project", "Project", "", p.IniFilePath), QString("North Plant"));
        QCOMPARE(ReadIniValue("Current Project", "Train", "", p.IniFilePath), QString("2"));
        QCOMPARE(ReadIniValue("Current Project", "Database", "", p.IniFilePath),
                 QString("/plants/north.hv3.mdb"));
    }
};

QTEST_MAIN(TestLoadMyProject)
#include "tst_loadmyproject.moc"
