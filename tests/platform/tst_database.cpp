#include <QSqlDatabase>
#include <QTimeZone>
#include <QtTest>

#include "platform/database.h"
#include "platform/sqlite.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"

using namespace hv;

namespace {

using test::errorOf;

// An empty file is an empty SQLite database.
Database emptyDatabase(const test::TestEnv& env, const QString& name = "t.db") {
    QFile f(env.path(name));
    f.open(QIODevice::WriteOnly);
    f.close();
    Database db = Database::open(env.path(name));
    db.exec("CREATE TABLE Data (ID INTEGER PRIMARY KEY, ProjectID TEXT COLLATE NOCASE, TrainNumber INTEGER, "
            "DateTime TEXT, FeedFlow DOUBLE, Note TEXT, Flag INTEGER)");
    return db;
}

const QString Signature = QStringLiteral("SELECT count(*) || ' ' || max(Note) FROM Data");

// The file at `path` and its journal as a program that stopped halfway through a change to
// every row left them: with the changed pages written to the file, or none yet. Returns the
// rows' signature before the change.
QString leaveAJournal(const test::TestEnv& env, const QString& path, bool written) {
    const QString writing = env.path("writing.db");
    {
        Database db = emptyDatabase(env, "writing.db");
        db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                "INSERT INTO Data (Note) SELECT hex(randomblob(100)) FROM n");
    }
    const QString before = Database::open(writing).scalar(Signature).toString();
    QFile::copy(writing, path);
    SqliteConnection w(writing);
    w.exec("PRAGMA cache_size = 2");
    w.begin();
    w.exec("UPDATE Data SET Note = hex(randomblob(100))");
    if (written) {
        QFile::remove(path);
        QFile::copy(writing, path);
    }
    QFile::copy(writing + "-journal", path + "-journal");
    return before;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    // Tests run in a daylight-saving zone: stored dates are wall time, none is skipped on
    // the spring change, hours across it count as on the clock, and the clock still gives
    // the machine's own wall time.
    void datesAreWallTime() {
        test::TestEnv env;
        const QTimeZone berlin("Europe/Berlin");
        if (!berlin.isValid()) QSKIP("no zone data");
        const QDateTime gap = conv::toDateTime(QString("2020-03-29 02:30:00"));
        QVERIFY(gap.isValid());
        QCOMPARE(dbDateText(gap), QString("2020-03-29 02:30:00"));
        QCOMPARE(conv::toDateTime(QString("2020-01-01 00:00:00"))
                     .secsTo(conv::toDateTime(QString("2020-04-01 00:00:00"))),
                 qint64(91 * 24 * 3600));
        SystemInfo system;
        const QDateTime wall = QDateTime::currentDateTimeUtc().toTimeZone(berlin);
        QVERIFY(qAbs(QDateTime(wall.date(), wall.time()).secsTo(system.now())) < 5);
    }
    void refusesMissingFile() {
        test::TestEnv env;
        const QString p = env.path("nothing.mdb");
        try {
            Database::open(p);
            QFAIL("opened a missing file");
        } catch (const DbError& e) {
            QCOMPARE(e.number(), dberr::FileNotFound);
        }
        QVERIFY(!QFile::exists(p));
        QCOMPARE(errorOf([] { Database::open(QString()); }), dberr::FileNotFound);
        QCOMPARE(errorOf([&] { Database::open(env.dir.path()); }), dberr::FileNotFound);
        // A folder in the database's place is named as one, by both connections.
        const QString folder = "'" + env.dir.path() + "' is a folder, not a database file.";
        for (const auto& open : std::vector<std::function<void()>>{
                 [&] { Database::open(env.dir.path()); }, [&] { SqliteConnection c(env.dir.path()); }}) {
            try {
                open();
                QFAIL("opened a folder");
            } catch (const DbError& e) {
                QCOMPARE(e.description(), folder);
            }
        }
    }

    // A write stopped by the file-size limit names it, not only "disk I/O error", and once
    // the connection is closed no journal is left beside the file: the file alone is whole,
    // under a hard limit (as a shell sets it) below the file's own size too.
    void writePastTheFileSizeLimit_data() {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<bool>("hard");
        QTest::addColumn<int>("cachePages"); // a larger cache meets the limit only at the commit
        QTest::newRow("query layer") << false << false << 10;
        QTest::newRow("raw connection") << true << false << 10;
        QTest::newRow("query layer, at the commit") << false << false << 2000;
        QTest::newRow("raw connection, at the commit") << true << false << 2000;
        QTest::newRow("query layer, hard limit below the file") << false << true << 10;
        QTest::newRow("raw connection, hard limit below the file") << true << true << 10;
    }
    void writePastTheFileSizeLimit() {
        QFETCH(bool, raw);
        QFETCH(bool, hard);
        QFETCH(int, cachePages);
        test::TestEnv env;
        {
            Database db = emptyDatabase(env);
            Transaction t(db);
            for (int i = 0; i < (hard ? 400 : 1); ++i)
                db.exec("INSERT INTO Data (Note) VALUES (?)", {QString(i ? 1000 : 4, 'k')});
            t.commit();
        }
        const QString path = env.path("t.db");
        const QString kept = Database::open(path).scalar("SELECT sum(length(Note)) FROM Data").toString();
        const auto write = [&]() -> QString {
            try {
                if (raw) {
                    SqliteConnection db(path);
                    db.exec("PRAGMA cache_size = " + QString::number(cachePages));
                    SqliteTransaction t(db);
                    SqliteStatement q(db, "INSERT INTO Data (Note) VALUES (?)");
                    for (int i = 0; i < 2000; ++i) {
                        q.bind(0, QString(1000, QChar('a' + i % 26)));
                        q.step();
                        q.reset();
                    }
                    t.commit();
                } else {
                    Database db = Database::open(path);
                    db.exec("PRAGMA cache_size = " + QString::number(cachePages));
                    Transaction t(db);
                    for (int i = 0; i < 2000; ++i)
                        db.exec("INSERT INTO Data (Note) VALUES (?)", {QString(1000, QChar('a' + i % 26))});
                    t.commit();
                }
                return QStringLiteral("wrote past the limit");
            } catch (const DbFailure& e) {
                return e.description();
            }
        };
        QString said;
        if (hard) {
            said = test::UnderHardFileSizeLimit(QFileInfo(path).size() - 64 * 1024, write);
        } else {
            test::FileSizeLimit limit(QFileInfo(path).size() + 200 * 1024);
            said = write();
        }
        QVERIFY2(said.contains("file-size limit of"), qPrintable(said));
        QVERIFY(!QFile::exists(path + "-journal"));
        Database db = Database::open(path);
        QCOMPARE(db.scalar("PRAGMA integrity_check").toString(), QString("ok"));
        QCOMPARE(db.scalar("SELECT sum(length(Note)) FROM Data").toString(), kept);
    }

    // A journal an earlier stop left beside the file is played back at the open, by both
    // connections, wherever it can be: past a soft file-size limit, and under a hard one below
    // the file's size where the pages past it already hold what the journal holds. Elsewhere the
    // open names what keeps the journal: the limit, the read-only folder, the journal itself.
    void journalLeftByAnEarlierStop_data() {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("limit"); // "soft" or "hard", 64 KiB below the file's size, or none
        QTest::addColumn<bool>("written");  // the changed pages reached the file before the stop
        QTest::addColumn<QString>("held");  // "folder" or "journal" made read-only, or none
        QTest::addColumn<QString>("said");  // none: opened with the change undone
        const QString soft = "soft", hard = "hard", folder = "folder", journal = "journal", none;
        const QString limitNamed =
            "cannot be played back: the file reached this process's file-size limit of";
        for (const bool raw : {false, true}) {
            const char* road = raw ? "raw connection" : "query layer";
            QTest::addRow("%s, soft limit", road) << raw << soft << true << none << none;
            QTest::addRow("%s, hard limit, pages past it as journaled", road)
                << raw << hard << false << none << none;
            QTest::addRow("%s, hard limit, pages past it changed", road)
                << raw << hard << true << none << limitNamed;
            QTest::addRow("%s, read-only folder", road)
                << raw << none << true << folder << "which is read-only (%1)";
            QTest::addRow("%s, journal read-only", road)
                << raw << none << true << journal << "cannot be written (%1;";
        }
    }
    void journalLeftByAnEarlierStop() {
        QFETCH(bool, raw);
        QFETCH(QString, limit);
        QFETCH(bool, written);
        QFETCH(QString, held);
        QFETCH(QString, said);
        test::TestEnv env;
        QVERIFY(QDir(env.dir.path()).mkpath("plant"));
        const QString path = env.path("plant/t.db");
        const QString before = leaveAJournal(env, path, written);
        std::optional<test::ReadOnlyFile> readOnly;
        if (!held.isEmpty()) {
            readOnly.emplace(held == "folder" ? env.path("plant") : path + "-journal");
            if (!readOnly->held()) QSKIP("the file system takes no read-only file");
            said = said.arg(readOnly->refusal());
        }
        const auto open = [&]() -> QString {
            try {
                if (!raw) return "opened " + Database::open(path).scalar(Signature).toString();
                SqliteConnection db(path);
                SqliteStatement q(db, Signature);
                q.step();
                return "opened " + q.value(0).toString();
            } catch (const DbError& e) {
                return e.description();
            }
        };
        const qint64 below = QFileInfo(path).size() - 64 * 1024;
        QString out;
        if (limit == "hard") {
            out = test::UnderHardFileSizeLimit(below, open);
        } else if (limit == "soft") {
            test::FileSizeLimit soft(below);
            out = open();
        } else {
            out = open();
        }
        readOnly.reset();
        if (said.isEmpty()) {
            QCOMPARE(out, "opened " + before);
            QVERIFY(!QFile::exists(path + "-journal"));
        } else {
            QVERIFY2(out.contains(said) && out.contains(path + "-journal"), qPrintable(out));
            QVERIFY(QFile::exists(path + "-journal"));
        }
    }

    void opensExistingFilesOnly() {
        test::TestEnv env;
        // SQLite itself is told not to create a file that is gone by the time it opens it.
        const QString missing = env.path("gone #1?.mdb");
        {
            QSqlDatabase h = QSqlDatabase::addDatabase("QSQLITE", "raw");
            h.setDatabaseName(sqliteUriOf(missing));
            h.setConnectOptions("QSQLITE_OPEN_URI");
            QVERIFY(!h.open());
        }
        QSqlDatabase::removeDatabase("raw");
        QVERIFY(!QFile::exists(missing));
        // Names a URI could misread still open the file meant, and only it.
        const QString name = "a b#c?d%20e ü.mdb";
        emptyDatabase(env, name).exec("INSERT INTO Data (ProjectID) VALUES ('x')");
        QCOMPARE(QDir(env.dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{name});
        QCOMPARE(Database::open(env.path(name)).scalar("SELECT ProjectID FROM Data").toString(),
                 QString("x"));
    }

    void commitReportsTheFirstFailure() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        db.exec("PRAGMA max_page_count = 4");
        QString first;
        Transaction t(db);
        try {
            for (int i = 0; i < 50; ++i)
                db.exec("INSERT INTO Data (Note) VALUES (?)", {QString(3000, 'x')});
        } catch (const DbError& e) {
            first = e.description();
        }
        QVERIFY2(first.contains("full"), qPrintable(first));
        try {
            t.commit();
            QFAIL("committed after a full disk");
        } catch (const DbError& e) {
            QCOMPARE(e.description(), first);
        }
    }

    void refusesFileThatIsNotADatabase() {
        test::TestEnv env;
        const QString p = env.path("notes.mdb");
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 100; ++i)
            f.write("This is a text file, not a database.\n");
        f.close();
        QCOMPARE(errorOf([&] { Database::open(p); }), dberr::FileNotFound);
        QCOMPARE(QFileInfo(p).size(), qint64(100 * 37));
    }

    void errorNumbers() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        QCOMPARE(errorOf([&] { db.select("SELECT NoSuchName FROM Data"); }), dberr::ColumnNotFound);
        QCOMPARE(errorOf([&] { db.exec("ALTER TABLE Data ADD COLUMN FeedFlow DOUBLE"); }),
                 dberr::DuplicateColumn);
        QCOMPARE(errorOf([&] { db.select("SELECT * FROM NoSuchName"); }), dberr::TableNotFound);
        QCOMPARE(errorOf([&] { db.columns("NoSuchName"); }), dberr::TableNotFound);
        QCOMPARE(errorOf([&] { db.checkedColumn("Data", "NoSuchName"); }), dberr::ColumnNotFound);
        QCOMPARE(db.checkedColumn("Data", " feedflow "), QString("FeedFlow"));

        const DbRows none = db.select("SELECT * FROM Data");
        QVERIFY(none.isEmpty());
        QCOMPARE(errorOf([&] { none.first(); }), dberr::NoCurrentRecord);
        QCOMPARE(errorOf([&] { none.last(); }), dberr::NoCurrentRecord);

        db.exec("INSERT INTO Data (ProjectID, FeedFlow) VALUES (?, ?)", {"P", QVariant()});
        const DbRow row = db.select("SELECT * FROM Data").first();
        QVERIFY(row.isNull("FeedFlow"));
        QCOMPARE(errorOf([&] { row.toDouble("FeedFlow"); }), dberr::InvalidNull);
        QCOMPARE(errorOf([&] { row.toText("Note"); }), dberr::InvalidNull);
        QCOMPARE(errorOf([&] { row.value("NoSuchName"); }), dberr::ColumnNotFound);
        QCOMPARE(errorOf([&] { conv::toDouble(QString("abc")); }), dberr::TypeMismatch);
    }

    void rowsAreCaseBlind() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        db.exec("INSERT INTO Data (ProjectID, TrainNumber) VALUES (?, ?)", {"Plant", 2});
        const DbRows rows =
            db.select("SELECT projectid, TRAINNUMBER FROM Data WHERE ProjectID = ?", {"PLANT"});
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.first().toText("ProjectID"), QString("Plant"));
        QCOMPARE(rows.first().toInt16("TrainNumber"), qint16(2));
        QVERIFY(rows.first().hasField("trainnumber"));
        QVERIFY(!rows.first().hasField("FeedFlow"));
    }

    void conversions() {
        QCOMPARE(conv::toInt16(2.5), qint16(2));
        QCOMPARE(conv::toInt16(3.5), qint16(4));
        QCOMPARE(conv::toInt16(-2.5), qint16(-2));
        QCOMPARE(conv::toInt16(QString(" 7.5 ")), qint16(8));
        QCOMPARE(conv::toInt16(32767.4), qint16(32767));
        QCOMPARE(conv::toInt16(-32768.5), qint16(-32768));
        QCOMPARE(errorOf([] { conv::toInt16(32767.5); }), dberr::Overflow);
        QCOMPARE(errorOf([] { conv::toInt16(-32768.6); }), dberr::Overflow);
        QCOMPARE(conv::toInt32(2147483646.5), qint32(2147483646));
        QCOMPARE(errorOf([] { conv::toInt32(2147483647.5); }), dberr::Overflow);
        QCOMPARE(errorOf([] { conv::toInt32(qQNaN()); }), dberr::Overflow);
        QVERIFY(conv::toBool(-1));
        QVERIFY(!conv::toBool(0));
        QCOMPARE(conv::toDouble(true), -1.0);
        QCOMPARE(toDbValue(true), QVariant(-1));
        QCOMPARE(toDbValue(false), QVariant(0));
    }

    void datesAreStoredAsText() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9));
        for (int d : {20, 1, 9})
            db.exec("INSERT INTO Data (DateTime) VALUES (?)", {t.addDays(d)});
        QCOMPARE(db.scalar("SELECT DateTime FROM Data WHERE ID = 2").toString(),
                 QString("2024-03-06 14:07:09"));
        QCOMPARE(db.scalar("SELECT typeof(DateTime) FROM Data WHERE ID = 2").toString(), QString("text"));
        // Stored text sorts and compares as dates.
        const DbRows later =
            db.select("SELECT * FROM Data WHERE DateTime >= ? ORDER BY DateTime", {t.addDays(5)});
        QCOMPARE(later.count(), 2);
        QCOMPARE(later.first().toDateTime("DateTime"), t.addDays(9));
        QCOMPARE(parseDbDate("2024-03-05"), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        QVERIFY(!parseDbDate("5 March").isValid());
    }

    void boundValuesAreStoredIntact() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        const QString nasty = "it's \"quoted\"'); DROP TABLE Data; --";
        db.exec("INSERT INTO Data (ProjectID, Note, Flag) VALUES (?, ?, ?)", {nasty, "a;b,c", true});
        const DbRow r = db.select("SELECT * FROM Data WHERE ProjectID = ?", {nasty}).first();
        QCOMPARE(r.toText("ProjectID"), nasty);
        QCOMPARE(r.toText("Note"), QString("a;b,c"));
        QCOMPARE(r.value("Flag").toInt(), -1);
        QVERIFY(r.toBool("Flag"));
    }

    void transactionRollsBackUnlessCommitted() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        {
            Transaction t(db);
            db.exec("INSERT INTO Data (ProjectID) VALUES ('gone')");
        }
        {
            Transaction t(db);
            db.exec("INSERT INTO Data (ProjectID) VALUES ('kept')");
            t.commit();
        }
        try {
            Transaction t(db);
            db.exec("INSERT INTO Data (ProjectID) VALUES ('half')");
            db.exec("INSERT INTO Data (NoSuchName) VALUES (1)");
            t.commit();
        } catch (const DbError&) {
        }
        const DbRows rows = db.select("SELECT ProjectID FROM Data");
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.first().toText("ProjectID"), QString("kept"));
    }

    void preparedStatementsAndConnections() {
        test::TestEnv env;
        Database db = emptyDatabase(env);
        auto ins = db.prepare("INSERT INTO Data (TrainNumber) VALUES (?)");
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(ins->exec({i}), 1);
        ins.reset();
        // A second connection to the same file sees the rows; closing one leaves the other working.
        Database other = Database::open(db.path());
        QCOMPARE(other.scalar("SELECT sum(TrainNumber) FROM Data").toInt(), 6);
        other.close();
        QVERIFY(!other.isOpen());
        QCOMPARE(db.scalar("SELECT count(*) FROM Data").toInt(), 3);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
