#include <QtTest>

#include "platform/database.h"
#include "support/testenv.h"

using namespace hv;

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
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
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
