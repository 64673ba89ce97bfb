#include <QtTest>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>

#include "core/dbversion.h"
#include "core/opendatabase.h"
#include "core/program.h"
#include "platform/database.h"
#include "platform/sqlite.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"

using namespace hv;

namespace {

struct Upgrade {
    bool ok = false;
    qint16 major = 0, minor = 0, revision = 0, projects = 0;
    qint32 readings = 0;
};

Upgrade upgrade(Program& p, const QString& path) {
    Upgrade u;
    u.ok = UpgradeDatabase(p, path, u.major, u.minor, u.revision, u.projects, u.readings);
    return u;
}

int count(const QString& path, const QString& sql, const QVariantList& params = {}) {
    Database db = Database::open(path);
    return db.scalar(sql, params).toInt();
}

QStringList versions(const QString& path) {
    Database db = Database::open(path);
    QStringList out;
    for (const DbRow& r : db.select("SELECT Version FROM Version ORDER BY ID"))
        out << r.toText("Version");
    return out;
}

const QString UpgradeMessage = "Updated your database with new fields for Specific Flux Calculations.";

} // namespace

class TestDbVersion : public QObject {
    Q_OBJECT
private slots:
    void parsesVersionTexts() {
        const auto v = ParseVersionText("1.3.20");
        QVERIFY(v);
        QCOMPARE(v->major, qint16(1));
        QCOMPARE(v->minor, qint16(3));
        QCOMPARE(v->revision, qint16(20));
        QCOMPARE(ParseVersionText("-1.-1.0")->minor, qint16(-1));
        QCOMPARE(ParseVersionText(" 2 . 0 . 7 ")->revision, qint16(7));
        QVERIFY(!ParseVersionText("1.3"));
        QVERIFY(!ParseVersionText("1.x.3"));
        QVERIFY(!ParseVersionText(""));
        QVERIFY(!ParseVersionText("1.3.99999"));
    }

    // Older needs the migration; newer may hold what this program (1.3.38) does not know.
    void versionAgainstTheProgram_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("older");
        QTest::addColumn<bool>("newer");
        QTest::newRow("unreadable") << "-1.-1.0" << true << false;
        QTest::newRow("lower major") << "0.9.50" << true << false;
        QTest::newRow("two-bank") << "1.2.45" << true << false;
        QTest::newRow("lower revision") << "1.3.5" << false << false;
        QTest::newRow("the program's") << "1.3.38" << false << false;
        QTest::newRow("higher revision") << "1.3.39" << false << true;
        QTest::newRow("higher minor") << "1.4.0" << false << true;
        QTest::newRow("higher major, lower minor") << "2.0.0" << false << true;
    }
    void versionAgainstTheProgram() {
        QFETCH(QString, version);
        QFETCH(bool, older);
        QFETCH(bool, newer);
        const DbVersion v = *ParseVersionText(version);
        QCOMPARE(IsOlderThanProgram(v.major, v.minor), older);
        QCOMPARE(IsNewerThanProgram(v.major, v.minor, v.revision), newer);
        QCOMPARE(VersionNumber(-1, -1), -1001000);
        QCOMPARE(VersionNumber(1, 3), 1003000);
    }

    void upgradesA135DatabaseOnce() {
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("old.hv3.mdb"));
        test::insertProjectInfo(db, 2);
        test::insertReading(db, 2);
        test::insertReading(db, 2);
        env.prompts.onMessage(UpgradeMessage, Buttons::OK, "Hevrin", Answer::OK);

        const Upgrade u = upgrade(env.prog(), db);
        QVERIFY(u.ok);
        QCOMPARE(DbVersion({u.major, u.minor, u.revision}).text(), QString("1.3.20"));
        QCOMPARE(u.projects, qint16(1));
        QCOMPARE(u.readings, 2);
        {
            Database d = Database::open(db);
            for (const QString& c : test::specFluxColumns())
                QVERIFY2(d.hasColumn("Data", c), qPrintable(c));
            // Existing readings take the default.
            QCOMPARE(d.scalar("SELECT count(*) FROM Data WHERE SpecFlux_3 = 0").toInt(), 2);
            const DbRow last = d.select("SELECT * FROM Version ORDER BY ID DESC LIMIT 1").first();
            QCOMPARE(last.toText("Notes"), "Added Specific Flux Fields from Sub Main  on " +
                                               QLocale().toString(env.system.clock.date(), "dd MMM yyyy"));
        }
        QCOMPARE(versions(db), QStringList({"1.3.5", "1.3.20"}));
        // The 47 series kept; the four specific-flux ones appended in their order.
        QCOMPARE(count(db, "SELECT count(*) FROM GraphSensors"), 51);
        QCOMPARE(count(db, "SELECT \"Order\" FROM GraphSensors WHERE ColumnHeader = 'SpecFlux_2'"), 68);
        QCOMPARE(env.prompts.verify(), QString());

        // Opened again: 1.3.20, nothing changes and nothing is shown.
        const Upgrade again = upgrade(env.prog(), db);
        QVERIFY(again.ok);
        QCOMPARE(again.revision, qint16(20));
        QCOMPARE(versions(db).size(), 2);
        QCOMPARE(env.prompts.shown().size(), 1);
    }

    void rebuildsGraphSeriesWithoutTheKeyRow() {
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("old.hv3.mdb"));
        {
            Database d = Database::open(db);
            d.exec("DELETE FROM GraphSensors WHERE Description = 'System Normalized Permeate Flow'");
            d.exec("INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, "
                   "\"Order\") "
                   "VALUES ('P1', 1, 1, 'Own series', 'PermuS', 5)");
        }
        env.prompts.onMessage(UpgradeMessage, Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(upgrade(env.prog(), db).ok);
        QCOMPARE(count(db, "SELECT count(*) FROM GraphSensors"), 51);
        QCOMPARE(count(db, "SELECT count(*) FROM GraphSensors WHERE Description = 'Own series'"), 0);
        QCOMPARE(count(db, "SELECT count(*) FROM GraphSensors WHERE ColumnHeader = 'SpecFlux'"), 1);
        QCOMPARE(env.prompts.verify(), QString());
        // The same series, in the same order, as a blank database is made with.
        const QString series =
            "SELECT group_concat(Description || '|' || ColumnHeader || '|' || \"Order\", ';') "
            "FROM (SELECT * FROM GraphSensors ORDER BY ID)";
        const QString blank = test::makeBlankDatabase(env.path("blank.hv3.mdb"));
        QCOMPARE(Database::open(db).scalar(series).toString(),
                 Database::open(blank).scalar(series).toString());
    }

    void columnsLeftByAnEarlierRunAreTolerated() {
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("old.hv3.mdb"));
        {
            Database d = Database::open(db);
            d.exec("ALTER TABLE Data ADD COLUMN SpecFlux DOUBLE DEFAULT 0");
            d.exec("ALTER TABLE Data ADD COLUMN SpecFlux_1 DOUBLE DEFAULT 0");
        }
        env.prompts.onMessage(UpgradeMessage, Buttons::OK, "Hevrin", Answer::OK);
        const Upgrade u = upgrade(env.prog(), db);
        QVERIFY(u.ok);
        QCOMPARE(u.revision, qint16(20));
        Database d = Database::open(db);
        QVERIFY(d.hasColumn("Data", "SpecFlux_3"));
    }

    void failedColumnAdditionIsReportedAndCountsAsUnreadable() {
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("old.hv3.mdb"));
        // The upgrade's version row is refused.
        Database::open(db).exec("CREATE TRIGGER refuse BEFORE INSERT ON Version BEGIN SELECT "
                                "RAISE(ABORT, 'refused'); END");
        env.prompts.onMessage("Could not add the Specific Flux fields", Buttons::OK, "Hevrin", Answer::OK);
        const Upgrade u = upgrade(env.prog(), db);
        QVERIFY(!u.ok);
        QCOMPARE(DbVersion({u.major, u.minor, u.revision}).text(), QString("-1.-1.0"));
        QCOMPARE(versions(db), QStringList({"1.3.5"}));
        QCOMPARE(count(db, "SELECT count(*) FROM GraphSensors"), 47);
        QVERIFY(!Database::open(db).hasColumn("Data", "SpecFlux"));
        QCOMPARE(env.prompts.verify(), QString());
    }

    void suppressedUpgradeOnlyReads() {
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("old.hv3.mdb"));
        env.prog().SuppressDbUpgrade = true;
        const Upgrade u = upgrade(env.prog(), db);
        QVERIFY(u.ok);
        QCOMPARE(DbVersion({u.major, u.minor, u.revision}).text(), QString("1.3.5"));
        QCOMPARE(versions(db), QStringList({"1.3.5"}));
        Database d = Database::open(db);
        QVERIFY(!d.hasColumn("Data", "SpecFlux"));
        QVERIFY(env.prompts.shown().isEmpty());
    }

    void onlyMinorThreeBelowTwentyIsUpgraded_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("upgraded");
        QTest::addColumn<bool>("usable");
        QTest::newRow("two-bank") << "1.2.7" << false << true;
        QTest::newRow("newer, left as it is") << "2.3.5" << false << false;
        QTest::newRow("already 1.3.20") << "1.3.20" << false << true;
    }
    void onlyMinorThreeBelowTwentyIsUpgraded() {
        QFETCH(QString, version);
        QFETCH(bool, upgraded);
        QFETCH(bool, usable);
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("x.hv3.mdb"), version);
        if (upgraded) env.prompts.onMessage(UpgradeMessage, Buttons::OK, "Hevrin", Answer::OK);
        const Upgrade u = upgrade(env.prog(), db);
        QCOMPARE(u.ok, usable);
        QCOMPARE(Database::open(db).hasColumn("Data", "SpecFlux"), upgraded);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(env.prompts.shown().size(), upgraded ? 1 : 0);
    }

    // Each names its cause for the message before the chooser.
    void unreadableDatabasesGiveMinusOne_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << "missing"
                                 << "It was not found";
        QTest::newRow("not a database") << "text"
                                        << "It is not a project database";
        QTest::newRow("bad version text")
            << "badversion"
            << "It is not a project database: its version \"one.three\" cannot be read";
        QTest::newRow("no Data table") << "nodata"
                                       << "It is not a project database: it has no table Data";
        QTest::newRow("empty") << "empty"
                               << "It is empty, not a project database";
        QTest::newRow("folder") << "folder"
                                << "It is a folder, not a project database";
        QTest::newRow("cut off") << "cut"
                                 << "It is damaged";
        QTest::newRow("locked") << "locked"
                                << "It is locked by another program";
        QTest::newRow("no TheDate column")
            << "nodate"
            << "It is not a project database: its table Data has no column TheDate";
        QTest::newRow("Data a view")
            << "view"
            << "It is not a project database: its table Data is a view, which cannot "
               "store rows";
        // Not taken for the oldest layout, which start-up would offer to migrate onto itself.
        QTest::newRow("empty Version table")
            << "noversion"
            << "It is not a project database: its table Version holds no version";
        QTest::newRow("link to a share not mounted") << "dangling"
                                                     << "It is a link to %1, which leads nowhere";
        QTest::newRow("link to itself")
            << "selflink"
            << "It cannot be opened: " + QString::fromLocal8Bit(std::strerror(ELOOP));
        QTest::newRow("unfinished change, read-only folder")
            << "journal"
            << "The journal of a change left unfinished stands beside it, and its folder %1 is "
               "read-only (%2): the change cannot be undone there";
        QTest::newRow("newer") << "newer"
                               << "It was written by a newer version of Hevrin (database version 2.0.0, this "
                                  "program 1.3.38), whose columns and rules this program may not know";
    }
    void unreadableDatabasesGiveMinusOne() {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        test::TestEnv env;
        QString db = env.path("db.hv3.mdb");
        std::optional<Database> holder;
        std::optional<test::ReadOnlyFile> readOnly;
        std::optional<int> lockWait;
        if (kind == "empty") {
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(db));
        } else if (kind == "cut") {
            test::makeBlankDatabase(db);
            Database::open(db).exec(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                "3000) INSERT INTO Data (ProjectID, Note1) SELECT 'P', hex(randomblob(100)) "
                "FROM n");
            QFile f(db);
            QVERIFY(f.resize(f.size() / 2));
        } else if (kind == "locked") {
            test::makeBlankDatabase(db);
            lockWait = Database::setLockWait(100);
            holder.emplace(Database::open(db));
            holder->exec("BEGIN EXCLUSIVE");
            holder->exec("DELETE FROM Version");
        } else if (kind == "text") {
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("This is not a database, just some words of text in a file.");
        } else if (kind == "badversion") {
            test::makeBlankDatabase(db);
            Database::open(db).exec("INSERT INTO Version (Version, Notes) VALUES ('one.three', '')");
        } else if (kind == "nodata") {
            test::makeBlankDatabase(db);
            Database::open(db).exec("DROP TABLE Data");
        } else if (kind == "nodate") {
            test::makeBlankDatabase(db);
            Database::open(db).exec("ALTER TABLE Data RENAME COLUMN TheDate TO ReadingDate");
        } else if (kind == "view") {
            test::makeBlankDatabase(db);
            Database d = Database::open(db);
            d.exec("ALTER TABLE Data RENAME TO DataRows");
            d.exec("CREATE VIEW Data AS SELECT * FROM DataRows");
        } else if (kind == "noversion") {
            test::makeBlankDatabase(db);
            Database::open(db).exec("DELETE FROM Version");
        } else if (kind == "dangling") {
            QVERIFY(QDir().mkpath(env.path("share")));
            const QString target = env.path("share/db.hv3.mdb");
            QVERIFY(QFile::link(target, db));
            cause = cause.arg(target);
        } else if (kind == "newer") {
            test::makeBlankDatabase(db);
            Database::open(db).exec("INSERT INTO Version (Version, Notes) VALUES ('2.0.0', '')");
        } else if (kind == "selflink") {
            QVERIFY(::symlink(QFile::encodeName(db).constData(), QFile::encodeName(db).constData()) == 0);
        } else if (kind == "journal") {
            // The file and its journal as a program that stopped halfway through a change left them.
            const QString writing = env.path("writing.mdb");
            test::makeBlankDatabase(writing);
            SqliteConnection w(writing);
            w.exec("PRAGMA cache_size = 2");
            w.begin();
            w.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                   "INSERT INTO Data (ProjectID, Note1) SELECT 'P', hex(randomblob(100)) FROM n");
            QVERIFY(QFile::copy(writing, db) && QFile::copy(writing + "-journal", db + "-journal"));
            readOnly.emplace(env.dir.path());
            if (!readOnly->held()) QSKIP("the file system takes no read-only folder");
            cause = cause.arg(env.dir.path(), readOnly->refusal());
        }
        const Upgrade u = upgrade(env.prog(), db);
        QVERIFY(!u.ok);
        QCOMPARE(DbVersion({u.major, u.minor, u.revision}).text(), QString("-1.-1.0"));
        QVERIFY(env.prompts.shown().isEmpty());
        const QString said = UnusableDatabaseCause(db);
        if (lockWait) Database::setLockWait(*lockWait);
        QCOMPARE(said, cause);
        if (holder) holder->exec("ROLLBACK");
    }

    // A train the program cannot use is named; the database, and its other trains, stay usable.
    void trainsOutsideTheBankRange_data() {
        QTest::addColumn<QVariant>("banks");
        QTest::addColumn<QString>("cause"); // empty: the train can be used
        const QString range = ": a train has 1, 2 or 3 banks";
        QTest::newRow("none") << QVariant(0) << "Project \"P2\" train 2 has NumBanks 0" + range;
        QTest::newRow("four") << QVariant(4) << "Project \"P2\" train 2 has NumBanks 4" + range;
        QTest::newRow("a fraction") << QVariant(2.5) << "Project \"P2\" train 2 has NumBanks 2.5" + range;
        QTest::newRow("text") << QVariant("two") << "Project \"P2\" train 2 has NumBanks two" + range;
        QTest::newRow("three") << QVariant(3) << QString();
        QTest::newRow("one") << QVariant(1) << QString();
        QTest::newRow("Null, named by the load") << QVariant() << QString();
    }
    void trainsOutsideTheBankRange() {
        QFETCH(QVariant, banks);
        QFETCH(QString, cause);
        test::TestEnv env;
        const QString db = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        test::insertProjectInfo(db, 3);
        test::insertProjectInfo(db, 3, {{"ProjectID", "P2"}, {"TrainNumber", 2}});
        Database::open(db).exec("UPDATE ProjectInfo SET NumBanks = ? WHERE ProjectID = 'P2'", {banks});
        QVERIFY(upgrade(env.prog(), db).ok);
        QCOMPARE(UnusableDatabaseCause(db), QString());
        QCOMPARE(UnusableTrains(db), cause.isEmpty() ? QStringList() : QStringList{cause});
        const QString text = UnusableTrainsText(db);
        QCOMPARE(text.isEmpty(), cause.isEmpty());
        if (!cause.isEmpty())
            QCOMPARE(text, "The project database\r\n" + db + "\r\nholds a train Hevrin cannot use:\r\n" +
                               cause +
                               ".\r\n\r\nThe other trains can be used; that train cannot be made the current "
                               "project.");
    }

    // A lock held past both of start-up's reads is named before the chooser, although it is
    // gone by the time the message is made.
    void lockMetAtStartIsNamedOnceGone() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        const int wait = Database::setLockWait(100);
        {
            test::ForeignLock lock(p.ProjectDatabasePath, test::ForeignLock::Kind::Exclusive);
            QVERIFY(lock.held());
            QVERIFY(!UpgradeOpenDatabase(p));
        }
        Database::setLockWait(wait);
        env.prompts
            .onMessage("Hevrin cannot use the project database\r\n" + p.ProjectDatabasePath +
                           "\r\nIt is locked by another program.\r\n\r\nPlease select another.",
                       Buttons::OK, "Hevrin", Answer::OK)
            .onOpenFile("");
        OpenDatabaseCommand(p);
        QCOMPARE(env.prompts.verify(), QString());
    }

    void readAndWriteVersion() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makePreSpecFluxDatabase(p.ProjectDatabasePath, "1.2.45");
        QVERIFY(ReadDbVersion(p));
        QCOMPARE(p.DbVersionRevision, qint16(45));
        QCOMPARE(p.DbVersionNumber, 1002000);

        p.DbIsOlder = true;
        WriteDbVersion(p);
        QVERIFY(!p.DbIsOlder);
        QCOMPARE(versions(p.ProjectDatabasePath).last(), QString("1.3.38"));

        p.ProjectDatabasePath = env.path("none.mdb");
        QVERIFY(!ReadDbVersion(p));
        QCOMPARE(p.DbVersionMinor, qint16(0));
        QVERIFY_THROWS_EXCEPTION(DbError, WriteDbVersion(p));
    }

    void projectTrainExists() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        test::insertProjectInfo(p.ProjectDatabasePath, 2,
                                {{"ProjectID", "O'Neil Plant"}, {"TrainNumber", 2}});
        QVERIFY(ProjectTrainExists(p, "O'Neil Plant", 2));
        QVERIFY(ProjectTrainExists(p, "o'neil plant", 2));
        QVERIFY(!ProjectTrainExists(p, "O'Neil Plant", 1));
        p.ProjectDatabasePath.clear();
        QVERIFY(!ProjectTrainExists(p, "O'Neil Plant", 2));
    }
};

QTEST_GUILESS_MAIN(TestDbVersion)
#include "tst_dbversion.moc"
