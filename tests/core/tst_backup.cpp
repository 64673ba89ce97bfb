#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "core/backup.h"
#include "core/program.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {
int projects(const QString& path) {
    return Database::open(path).scalar("SELECT count(*) FROM ProjectInfo").toInt();
}
} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void names() {
        const QDateTime when(QDate(2014, 3, 7), QTime(14, 5, 9));
        QCOMPARE(BackupFileName("/data/Plant.hv3.mdb", "/app", when),
                 QString("Plant.hv3,14.03.07-14.05.09.mdb"));
        QCOMPARE(BackupFileName("/x/db.hv3.mdb", "/app", when), QString("db.hv3,14.03.07-14.05.09.mdb"));
        // Without a folder the default database's name stands in.
        QCOMPARE(BackupFileName("", "/app", when), QString("db.hv3,14.03.07-14.05.09.mdb"));
        QCOMPARE(BackupFileName("Plant.hv3.mdb", "/app", when), QString("db.hv3,14.03.07-14.05.09.mdb"));
    }

    void silentBackupIsAWholeCopyInTheDataFolder() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        test::insertProjectInfo(p.ProjectDatabasePath, 3);

        // A connection in the middle of a write does not spoil the copy.
        Database open = Database::open(p.ProjectDatabasePath);
        open.begin();
        open.exec("DELETE FROM ProjectInfo");

        const QString result = BackupDatabase(p, true);
        QCOMPARE(result, env.path("db.hv3,26.01.15-10.30.00.mdb"));
        QCOMPARE(projects(result), 1);
        open.rollback();

        // A second backup in the same second replaces the first.
        test::insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", "P2"}});
        QCOMPARE(BackupDatabase(p, true), result);
        QCOMPARE(projects(result), 2);
        QVERIFY(!QFile::exists(result + ".partial"));
        QVERIFY(env.prompts.shown().isEmpty());
    }

    void dialogChosenPathAndCancel() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        const QString chosen = env.path("copies/mine.hv3.mdb");
        QDir().mkpath(env.path("copies"));
        env.prompts.onSaveFile(chosen).onSaveFile("");
        QCOMPARE(BackupDatabase(p, false), chosen);
        QVERIFY(QFile::exists(chosen));
        QCOMPARE(env.prompts.shown().first(), "BACKUP Current DB:" + p.ProjectDatabasePath);
        QVERIFY(env.prompts.lastFilters.first().startsWith("HV 3 bank DB Files (*.hv3.mdb)|*.hv3.mdb|"));

        const QString cancelled = BackupDatabase(p, false);
        QCOMPARE(cancelled, QString("Back up canceled by user"));
        QVERIFY(!cancelled.startsWith("Err"));
        QCOMPARE(env.prompts.verify(), QString());
    }

    void failureNamesThePathThatFailed() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        const QString chosen = env.path("no such folder/copy.mdb");
        env.prompts.onSaveFile(chosen);
        const QString result = BackupDatabase(p, false);
        QVERIFY2(result.startsWith("Error in backup to " + chosen + ". Error "), qPrintable(result));

        // The database itself is never the target, under any of its names (a second name of
        // the same file, made by a hard link, has another canonical path).
        const QString secondName = env.path("second name.mdb");
        QVERIFY(::link(QFile::encodeName(p.ProjectDatabasePath).constData(),
                       QFile::encodeName(secondName).constData()) == 0);
        for (const QString& self : {p.ProjectDatabasePath, secondName}) {
            env.prompts.onSaveFile(self);
            QVERIFY(BackupDatabase(p, false).startsWith("Error in backup to " + self));
            QCOMPARE(projects(p.ProjectDatabasePath), 0);
        }

        p.ProjectDatabasePath = env.path("gone.hv3.mdb");
        QVERIFY(BackupDatabase(p, true).startsWith("Error in backup to " + env.path("gone.hv3,")));
        QCOMPARE(env.prompts.verify(), QString());
    }

    void failedCopyLeavesNothingBehind() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        for (int i = 0; i < 40; ++i)
            test::insertProjectInfo(
                p.ProjectDatabasePath, 1,
                {{"ProjectID", QString("P%1").arg(i)}, {"Description", QString(20000, 'x')}});
        // Files of this process may not grow past 64 kB: the copy fails half-way.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        const QString result = BackupDatabase(p, true);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY2(result.startsWith("Error in backup to "), qPrintable(result));
        QCOMPARE(QDir(env.dir.path()).entryList({"*partial*"}, QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
