#include <QtTest>
#include <cerrno>
#include <cstring>
#include <optional>

#include "core/startup.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void folderRuleOutcomes() {
        FakeSystemInfo s;
        s.programDir = "/opt/hevrin";
        s.perUserDir = "/home/ann/.local/share";

        s.rule = FolderRule::PerUser;
        DataFolders f = ChooseDataFolders(s);
        QCOMPARE(f.dataFolder, QString("/home/ann/.local/share/Hevrin"));
        QCOMPARE(f.settingsFile, QString("/home/ann/.local/share/Hevrin/hevrin.ini"));
        QCOMPARE(DatabasePathFromSetting("db.hv3.mdb", f.dataFolder),
                 QString("/home/ann/.local/share/Hevrin/db.hv3.mdb"));

        s.rule = FolderRule::ProgramFolder;
        f = ChooseDataFolders(s);
        QCOMPARE(f.dataFolder, QString("/opt/hevrin"));
        QCOMPARE(f.settingsFile, QString("/opt/hevrin/hevrin.ini"));

        s.rule = FolderRule::SettingsInPerUserFolder;
        f = ChooseDataFolders(s);
        QCOMPARE(f.dataFolder, QString("/opt/hevrin"));
        QCOMPARE(f.settingsFile, QString("/home/ann/.local/share/hevrin.ini"));

        // No per-user location known: everything stays with the program.
        s.rule = FolderRule::PerUser;
        s.perUserDir.clear();
        QCOMPARE(ChooseDataFolders(s).dataFolder, QString("/opt/hevrin"));
    }

    void databasePathRule() {
        QCOMPARE(DatabasePathFromSetting("db.hv3.mdb", "/d"), QString("/d/db.hv3.mdb"));
        QCOMPARE(DatabasePathFromSetting("", "/d"), QString("/d/db.hv3.mdb"));
        QCOMPARE(DatabasePathFromSetting("DB.HV3.MDB", "/d"), QString("DB.HV3.MDB"));
        QCOMPARE(DatabasePathFromSetting("/plants/north.hv3.mdb", "/d"), QString("/plants/north.hv3.mdb"));
    }

    void installStepCopiesMissingTemplatesOnce() {
        test::TestEnv env;
        const QString templates = env.system.programDir + "/templates";
        QDir().mkpath(templates);
        test::makeBlankDatabase(templates + "/db.hv3.mdb");
        test::makeElementDatabase(templates + "/ostrelmem.mdb");
        const QString data = env.path("user/Hevrin");

        InstallDataFiles(env.system, data);
        QVERIFY(QFileInfo(data + "/db.hv3.mdb").isWritable());
        QVERIFY(QFile::exists(data + "/ostrelmem.mdb"));

        // A database already there is the user's: never replaced.
        QFile::remove(data + "/ostrelmem.mdb");
        {
            QFile own(data + "/db.hv3.mdb");
            QVERIFY(own.open(QIODevice::WriteOnly));
            own.write("the user's own file");
        }
        InstallDataFiles(env.system, data);
        QFile own(data + "/db.hv3.mdb");
        QVERIFY(own.open(QIODevice::ReadOnly));
        QCOMPARE(own.readAll(), QByteArray("the user's own file"));
        QVERIFY(QFile::exists(data + "/ostrelmem.mdb"));
    }

    // A first start that cannot copy the templates says so, with the system's cause, and ends;
    // no partial database is left to be taken for a whole one at the next start.
    void firstStartThatCannotInstall_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("full disk") << "full";
        QTest::newRow("data folder that cannot be made") << "folder";
        QTest::newRow("database a link to itself") << "link";
    }
    void firstStartThatCannotInstall() {
        QFETCH(QString, kind);
        test::TestEnv env;
        const QString templates = env.system.programDir + "/templates";
        QDir().mkpath(templates);
        test::makeBlankDatabase(templates + "/db.hv3.mdb");
        test::makeElementDatabase(templates + "/ostrelmem.mdb");
        if (kind == "folder") {
            env.system.perUserDir = env.path("user.txt");
            QFile f(env.system.perUserDir);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString data = ChooseDataFolders(env.system).dataFolder;
        const QString copy = "Could not copy " + templates + "/db.hv3.mdb to the data folder " + data + ": ";
        std::optional<test::FileSizeLimit> full;
        if (kind == "full") {
            full.emplace(8192);
            env.prompts.onMessage(copy +
                                      "the file reached this process's file-size limit of 8192 bytes "
                                      "(ulimit -f) (" +
                                      qt_error_string(EFBIG) + ")",
                                  Buttons::OK, "Hevrin", Answer::OK);
        } else if (kind == "folder") {
            env.prompts.onMessage("Could not make the data folder " + data + ": " +
                                      QString::fromLocal8Bit(std::strerror(ENOTDIR)),
                                  Buttons::OK, "Hevrin", Answer::OK);
        } else {
            QDir().mkpath(data);
            QVERIFY(QFile::link(data + "/db.hv3.mdb", data + "/db.hv3.mdb"));
            env.prompts.onMessage(
                copy + "Cannot open destination file: " + QString::fromLocal8Bit(std::strerror(ELOOP)),
                Buttons::OK, "Hevrin", Answer::OK);
        }
        const StartupResult r = Main(env.prog());
        full.reset();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(r.endProgram);
        QCOMPARE(QDir(data).entryList({"*.mdb*", "*db.hv3*"}, QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
