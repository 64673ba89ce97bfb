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

    void selectWithoutAConnectionFails() {
        clsConnection c;
        QCOMPARE(errorOf([&] { c.SelectQuery("SELECT 1"); }), 3709L);
    }
};

QTEST_GUILESS_MAIN(TestClsConnection)
#include "tst_clsconnection.moc"
