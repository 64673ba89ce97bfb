#include <QtTest>

#include "core/elementdb.h"
#include "core/program.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

QString elementDb(test::TestEnv& env) {
    return test::makeElementDatabase(env.path("ostrelmem.mdb"));
}

void addCustom(const QString& db, int id, const QString& model) {
    test::insertRow(db, "ElementSpecs",
                    {{"ID", id},
                     {"Model", model},
                     {"SE", 30.0 + id},
                     {"TA(<=25)", 2700.0},
                     {"TA(>25)", 2600.0},
                     {"TB(<=25)", 3000.0},
                     {"TB(>25)", 2900.0},
                     {"Custom", -1},
                     {"DP3", 1.5}});
}

int listPosition(const Program& p, const QString& model) {
    for (int i = 0; i < p.ElementListUpper; ++i)
        if (p.ElementList[size_t(i)].Model == model) return i;
    return -1;
}

} // namespace

class TestElementDb : public QObject {
    Q_OBJECT
private slots:
    void currentDatabaseLoadsSilentlyInListOrder() {
        test::TestEnv env;
        Program& p = env.prog();
        const QString db = elementDb(env);
        addCustom(db, 13, "AAA first by name");
        addCustom(db, 14, "ZZZ last by name");

        QVERIFY(LoadElementSpecs(p));
        QVERIFY(env.prompts.shown().isEmpty());
        QVERIFY(!p.ElementConnection);
        QCOMPARE(p.ElementDbVersion, 2539.0);
        QCOMPARE(p.ElementListUpper, qint16(14));
        QCOMPARE(p.ElementList.size(), size_t(15));
        QCOMPARE(p.ElementTable.size(), size_t(15));

        // Standard elements first, each group from Z to A.
        QCOMPARE(p.ElementList[0].Model, QString("HV-SW 8040-440"));
        QCOMPARE(p.ElementList[11].Model, QString("HV-BW 4040-85"));
        QCOMPARE(p.ElementList[12].Model, QString("ZZZ last by name"));
        QCOMPARE(p.ElementList[13].Model, QString("AAA first by name"));
        QVERIFY(p.ElementList[13].Custom);
        QCOMPARE(p.ElementList[14].ID, 0);

        const ElementSpecRecord& e = p.ElementTable[2];
        QCOMPARE(e.ID, 3);
        QCOMPARE(e.Model, QString("HV-BW 8040-400"));
        QCOMPARE(e.SE, 37.2);
        QCOMPARE(e.TALow, 0.0100);
        QCOMPARE(e.TBHigh, 0.028);
        QCOMPARE(e.DP3, 1.45);
        QVERIFY(!e.Custom);
        QCOMPARE(e.ListPos, listPosition(p, "HV-BW 8040-400"));
    }

    void gapInIdsKeepsEachElementAtIdMinusOne() {
        test::TestEnv env;
        Program& p = env.prog();
        const QString db = elementDb(env);
        addCustom(db, 13, "Custom A");
        addCustom(db, 14, "Custom B");
        addCustom(db, 15, "Custom C");
        Database::open(db).exec("DELETE FROM ElementSpecs WHERE ID = 14");

        QVERIFY(LoadElementSpecs(p));
        QCOMPARE(p.ElementListUpper, qint16(14));
        QCOMPARE(p.ElementTable.size(), size_t(16));
        QCOMPARE(p.ElementTable[12].Model, QString("Custom A"));
        QCOMPARE(p.ElementTable[13].ID, 0); // the deleted element's place stays empty
        QCOMPARE(p.ElementTable[14].Model, QString("Custom C"));
        QCOMPARE(p.ElementTable[14].SE, 45.0);

        // Element type t selects ElementList entry ListPos, the element with ID t + 1.
        for (int t : {0, 6, 11, 12, 14}) {
            const int pos = p.ElementList[size_t(t)].ListPos;
            QCOMPARE(p.ElementList[size_t(pos)].ID, t + 1);
            QCOMPARE(p.ElementTable[size_t(t)].ListPos, pos);
        }
    }

    void oldDatabaseShowsNoticeAndIsUsed() {
        test::TestEnv env;
        const QString db = elementDb(env);
        Database::open(db).exec("UPDATE Version SET DBVersion = 2400");
        env.prompts.onMessage("You are using the old membrane database.", Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(LoadElementSpecs(env.prog()));
        QCOMPARE(env.prog().ElementDbVersion, 2400.0);
        QCOMPARE(env.prog().ElementListUpper, qint16(12));
        QCOMPARE(env.prompts.verify(), QString());
    }

    void missingOrUnreadableDatabaseEndsTheProgram_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing"
                                 << "The database may be set for Read Only";
        QTest::newRow("not a database") << "text"
                                        << "The database may be set for Read Only";
        QTest::newRow("no element table") << "notable"
                                          << "Hevrin will now close and exit.";
    }
    void missingOrUnreadableDatabaseEndsTheProgram() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        test::TestEnv env;
        const QString path = env.path("ostrelmem.mdb");
        if (kind == "text") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not an element database at all, only a line of text");
        } else if (kind == "notable") {
            elementDb(env);
            Database::open(path).exec("DROP TABLE ElementSpecs");
        }
        env.prompts.onMessage(message, Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(!LoadElementSpecs(env.prog()));
        QVERIFY(!env.prog().ElementConnection);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(env.prompts.shown().first().contains("Could not open element database at: \r\n" + path));
    }

    void countsReadingsOfOneTrain() {
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        test::insertProjectInfo(p.ProjectDatabasePath, 2);
        QCOMPARE(CountProjectDataRecords(p, "P1", 1), 0);
        test::insertReading(p.ProjectDatabasePath, 2);
        test::insertReading(p.ProjectDatabasePath, 2);
        test::insertReading(p.ProjectDatabasePath, 2, {{"TrainNumber", 2}});
        QCOMPARE(CountProjectDataRecords(p, "P1", 1), 2);
        QCOMPARE(CountProjectDataRecords(p, "p1", 2), 1);
    }
};

QTEST_GUILESS_MAIN(TestElementDb)
#include "tst_elementdb.moc"
