#include <QtTest>

#include "core/clsconnection.h"
#include "support/files.h"
#include "support/testenv.h"

using namespace hv;

namespace {

// A small database with a saved-graph-like table.
QString makeDatabase(const test::TestEnv& env) {
    const QString path = env.path("graphs.db");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.close();
    Database db = Database::open(path);
    db.exec("CREATE TABLE UserGraphs (ID INTEGER PRIMARY KEY, GraphName TEXT COLLATE NOCASE, "
            "ProjectID TEXT COLLATE NOCASE, Series INTEGER, Title TEXT)");
    db.exec("INSERT INTO UserGraphs (GraphName, ProjectID, Series, Title) VALUES ('Flow', 'A', 1, 't1')");
    db.exec("INSERT INTO UserGraphs (GraphName, ProjectID, Series, Title) VALUES ('Salt', 'A', 2, 't2')");
    db.exec("INSERT INTO UserGraphs (GraphName, ProjectID, Series, Title) VALUES ('DP', 'B', 3, 't3')");
    return path;
}

using test::errorOf;

} // namespace

class TestClsConnection : public QObject {
    Q_OBJECT
private slots:
    void missingFileIsRefused() {
        test::TestEnv env;
        clsConnection c;
        QCOMPARE(errorOf([&] { c.DatabasePath(env.path("none.mdb")); }), dberr::FileNotFound);
        QVERIFY(!QFile::exists(env.path("none.mdb")));
        QVERIFY(!c.isOpen());
    }

    void twoSelectsOnOneInstance() {
        test::TestEnv env;
        clsConnection c;
        c.DatabasePath(makeDatabase(env));
        const DbRows first = c.SelectQuery("SELECT * FROM UserGraphs WHERE ProjectID = ? ORDER BY ID", {"a"});
        const DbRows second = c.SelectQuery("SELECT * FROM UserGraphs WHERE ProjectID = ?", {"B"});
        QCOMPARE(first.count(), 2);
        QCOMPARE(first.at(1).toText("graphname"), QString("Salt"));
        QCOMPARE(second.count(), 1);
        QCOMPARE(second.first().toText("GraphName"), QString("DP"));
        QVERIFY(c.isOpen());
    }

    void deleteClosesTheConnection() {
        test::TestEnv env;
        const QString path = makeDatabase(env);
        clsConnection c;
        c.DatabasePath(path);
        c.DeleteQueryStr("DELETE FROM UserGraphs WHERE GraphName = ?", {"no such graph"});
        QVERIFY(!c.isOpen());
        QCOMPARE(errorOf([&] { c.SelectQuery("SELECT * FROM UserGraphs"); }), 3709L);
        QCOMPARE(test::rowCount(path, "UserGraphs"), 3);

        c.DatabasePath(path);
        c.DeleteQuery("usergraphs", "ProjectID = ? AND Series > ?", {"A", 1});
        QVERIFY(!c.isOpen());
        QCOMPARE(test::rowCount(path, "UserGraphs"), 2);

        c.DatabasePath(path);
        QCOMPARE(errorOf([&] { c.DeleteQuery("NoSuchName", "ID = ?", {1}); }), dberr::TableNotFound);
        QCOMPARE(errorOf([&] { c.DeleteQuery("UserGraphs; DROP TABLE UserGraphs", "ID = ?", {1}); }),
                 dberr::TableNotFound);
        QCOMPARE(test::rowCount(path, "UserGraphs"), 2);
    }

    void insertBindsEveryValue() {
        test::TestEnv env;
        const QString path = makeDatabase(env);
        clsConnection c;
        c.DatabasePath(path);
        const QString nasty = "O'Brien's \"graph\", 1); DROP TABLE UserGraphs; --";
        c.InsertQuery("UserGraphs", "graphname, ProjectID,Series", {nasty, "C", 4});
        QVERIFY(c.isOpen());
        const DbRows rows = c.SelectQuery("SELECT * FROM UserGraphs WHERE ProjectID = ?", {"C"});
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.first().toText("GraphName"), nasty);
        QCOMPARE(rows.first().toInt16("Series"), qint16(4));

        QCOMPARE(errorOf([&] {
                     c.InsertQuery("UserGraphs", "GraphName, Colour", {"x", 1});
                 }),
                 dberr::ColumnNotFound);
        QCOMPARE(errorOf([&] { c.InsertQuery("NoSuchName", "GraphName", {"x"}); }), dberr::TableNotFound);
        QCOMPARE(errorOf([&] { c.InsertQuery("UserGraphs", "GraphName, Series", {"x"}); }), dberr::SqlFailed);
        QCOMPARE(test::rowCount(path, "UserGraphs"), 4);
    }

    void updateChecksItsArguments() {
        test::TestEnv env;
        const QString path = makeDatabase(env);
        clsConnection c;
        c.DatabasePath(path);
        const auto titles = [&] {
            QStringList t;
            for (const DbRow& r : c.SelectQuery("SELECT Title FROM UserGraphs ORDER BY ID"))
                t << r.toText("Title");
            return t.join('|');
        };
        QCOMPARE(errorOf([&] { c.UpdateQuery("UserGraphs", "Title", {"x"}, "ID = ?", {1}); }),
                 dberr::InvalidArgument);
        QCOMPARE(errorOf([&] { c.UpdateQuery("UserGraphs", "Title, Series", {"x"}, "ID = ?", {1}); }),
                 dberr::InvalidArgument);
        QCOMPARE(errorOf([&] {
                     c.UpdateQuery("UserGraphs", "Title", {"x", 1}, "ID = ?", {1});
                 }),
                 dberr::InvalidArgument);
        QCOMPARE(errorOf([&] {
                     c.UpdateQuery("UserGraphs", "Title, Colour", {"x", 1}, "ID = ?", {1});
                 }),
                 dberr::ColumnNotFound);
        QCOMPARE(errorOf([&] {
                     c.UpdateQuery("NoSuchName", "Title, Series", {"x", 1}, "ID = ?", {1});
                 }),
                 dberr::TableNotFound);
        QCOMPARE(titles(), QString("t1|t2|t3"));

        // A value holding a comma or a quote is stored as it is.
        c.UpdateQuery("UserGraphs", "title , SERIES", {"it's, \"new\"", 9}, "GraphName = ? AND ProjectID = ?",
                      {"salt", "A"});
        QVERIFY(c.isOpen());
        QCOMPARE(titles(), QString("t1|it's, \"new\"|t3"));
        QCOMPARE(c.SelectQuery("SELECT Series FROM UserGraphs WHERE ID = 2").first().toInt16("Series"),
                 qint16(9));
    }
};

QTEST_GUILESS_MAIN(TestClsConnection)
#include "tst_clsconnection.moc"
