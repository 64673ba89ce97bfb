#include <QtTest>

#include "core/currentproject.h"
#include "core/program.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

struct Loaded {
    explicit Loaded(const QVariantMap& overrides, int banks = 3) {
        db = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        test::insertProjectInfo(db, banks, overrides);
    }
    DbRow row() {
        Database d = Database::open(db);
        return d.select("SELECT * FROM ProjectInfo").first();
    }
    long load() {
        try {
            LoadProjectSettings(env.prog(), row());
        } catch (const DbError& e) {
            return e.number();
        }
        return 0;
    }
    test::TestEnv env;
    QString db;
};

const QStringList nullableColumns = {"Permflow_3",        "PermuS_3",
                                     "FeedPressure_3",    "ConcPressure_2",
                                     "PermbackPress_3",   "ElementType_3",
                                     "NumElementsBank_3", "AreaBank_3",
                                     "DeltaPress_3",      "ElementsPerVessel_1",
                                     "NumVessels_1",      "ElementsPerVessel_2",
                                     "NumVessels_2",      "ElementsPerVessel_3",
                                     "NumVessels_3"};

} // namespace

class TestCurrentProject : public QObject {
    Q_OBJECT
private slots:
    void loadsTheRow() {
        Loaded t({{"ProjectID", "Plant 'A'"}, {"TrainNumber", 2}, {"NumElementsBank_3", 40000}});
        ProjectInfoRecord& r = t.env.prog().CurrentProject;
        r.TrainsSame = true;
        r.Description = "kept";
        r.DefaultUnits = 3;
        QCOMPARE(t.load(), 0L);
        QCOMPARE(r.ProjectID, QString("Plant 'A'"));
        QCOMPARE(r.TrainNumber, qint16(2));
        QCOMPARE(r.NumBanks, qint16(3));
        QCOMPARE(r.DateReference, QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
        QVERIFY(r.SystemData);
        QCOMPARE(r.unitFlow, qint16(13));
        QCOMPARE(r.FeedTemp, 20.0);
        QCOMPARE(r.PermFlow_3, 8.0);
        QCOMPARE(r.ConcPressure_2, 11.2);
        QCOMPARE(r.NumElementsBank_3, 40000); // a Long, unlike the other counts
        QCOMPARE(r.ElementType_3, qint16(2));
        // Not read from the row.
        QVERIFY(r.TrainsSame);
        QCOMPARE(r.Description, QString("kept"));
        QCOMPARE(r.DefaultUnits, qint16(3));
    }

    void wholeNumbersRoundHalfToEven() {
        Loaded t({{"NumElementsBank", 24.5},
                  {"NumElementsBank_1", 25.5},
                  {"ElementType", 1.5},
                  {"Systemdata", 0}});
        QCOMPARE(t.load(), 0L);
        const ProjectInfoRecord& r = t.env.prog().CurrentProject;
        QCOMPARE(r.NumElementsBank, qint16(24));
        QCOMPARE(r.NumElementsBank_1, qint16(26));
        QCOMPARE(r.ElementType, qint16(2));
        QVERIFY(!r.SystemData);
        Loaded big({{"NumElementsBank_2", 40000}});
        QCOMPARE(big.load(), 6L);
    }

    void bankThreeAndVesselNullsLoadAsZero() {
        QVariantMap nulls;
        for (const QString& c : nullableColumns)
            nulls[c] = QVariant();
        Loaded t(nulls);
        ProjectInfoRecord& r = t.env.prog().CurrentProject;
        r.PermFlow_3 = r.PermuS_3 = r.FeedPressure_3 = r.ConcPressure_2 = r.PermBackPress_3 = 9;
        r.AreaBank_3 = r.DeltaPress_3 = 9;
        r.ElementType_3 = r.ElementsPerVessel_1 = r.NumVessels_1 = r.ElementsPerVessel_2 = r.NumVessels_2 = 9;
        r.ElementsPerVessel_3 = r.NumVessels_3 = 9;
        r.NumElementsBank_3 = 9;
        QCOMPARE(t.load(), 0L);
        for (double v : {r.PermFlow_3, r.PermuS_3, r.FeedPressure_3, r.ConcPressure_2, r.PermBackPress_3,
                         r.AreaBank_3, r.DeltaPress_3})
            QCOMPARE(v, 0.0);
        for (qint16 v : {r.ElementType_3, r.ElementsPerVessel_1, r.NumVessels_1, r.ElementsPerVessel_2,
                         r.NumVessels_2, r.ElementsPerVessel_3, r.NumVessels_3})
            QCOMPARE(v, qint16(0));
        QCOMPARE(r.NumElementsBank_3, 0);
    }

    void nullInTheFirstColumnsFails_data() {
        QTest::addColumn<QString>("column");
        for (const char* c : {"DateReference", "ProjectID", "NumBanks", "Systemdata", "FeedTemp",
                              "feedPressure_2", "ConcPressure_1", "DeltaPress_2", "uStoPI_Perm"})
            QTest::newRow(c) << c;
    }
    void nullInTheFirstColumnsFails() {
        QFETCH(QString, column);
        Loaded t({{column, QVariant()}, {"ProjectID", column == "ProjectID" ? QVariant() : QVariant("New")}});
        ProjectInfoRecord& r = t.env.prog().CurrentProject;
        r.ProjectID = "Old";
        r.FeeduS = 1;
        r.uStoPI_Perm = 7;
        r.PermFlow_3 = 5;
        QCOMPARE(t.load(), 94L);
        // The fields read before the failing column hold the new row's values, the rest the old.
        if (column == "FeedTemp") {
            QCOMPARE(r.ProjectID, QString("New"));
            QCOMPARE(r.ElapsedTimeRef, 0.0);
            QCOMPARE(r.FeeduS, 1.0);
        }
        if (column == "DateReference") QCOMPARE(r.ProjectID, QString("Old"));
        QCOMPARE(r.uStoPI_Perm, 7.0);
        QCOMPARE(r.PermFlow_3, 5.0);
    }
};

QTEST_GUILESS_MAIN(TestCurrentProject)
#include "tst_currentproject.moc"
