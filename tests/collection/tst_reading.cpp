#include <QtTest>

#include "collection/reading.h"
#include "normalization/referencestate.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/plant.h"
#include "support/testenv.h"

using namespace hv;

namespace {

using Values = QMap<int, double>; // item number -> entered value

ReadingValues readingOf(const Values& v) {
    ReadingValues r;
    r.TheDate = QDateTime(QDate(2020, 1, 2), QTime(6, 0));
    r.ElapsedTimeHrs = 30.456;
    for (auto it = v.begin(); it != v.end(); ++it)
        r[it.key()] = it.value();
    return r;
}

} // namespace

class TestReading : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // The bank balance by layout and entry mode, as the row stores it.
    void bankBalanceStored_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        QTest::addColumn<Values>("entered");
        QTest::addColumn<QVariantMap>("stored");
        using namespace item;
        const Values twoBanks{{PermFlow, 100}, {PermuS, 10},   {PermFlow_2, 40},
                              {PermuS_2, 25},  {ConcFlow, 20}, {PermBackPress, 0.5}};
        for (const char* locale : {"C", "de_DE"}) {
            QTest::addRow("one bank, %s", locale)
                << locale << 1 << true
                << Values{{PermFlow, 60}, {PermuS, 30}, {ConcFlow, 20}, {PermBackPress, 0.5}}
                << QVariantMap{{"PermFlow", 60.0}, {"PermuS", 30.0},         {"PermFlow_1", 0.0},
                               {"PermuS_1", 0.0},  {"PermBackPress_1", 0.0}, {"FeedFlow", 80.0}};
            QTest::addRow("two banks as system values, %s", locale)
                << locale << 2 << true << twoBanks
                << QVariantMap{{"PermFlow", 100.0}, {"PermuS", 10.0},         {"PermFlow_1", 60.0},
                               {"PermuS_1", 0.0},   {"PermBackPress_1", 0.5}, {"FeedFlow", 120.0}};
            QTest::addRow("two banks as bank values, %s", locale)
                << locale << 2 << false << twoBanks
                << QVariantMap{{"PermFlow", 140.0}, {"PermuS", 14.286},       {"PermFlow_1", 100.0},
                               {"PermuS_1", 10.0},  {"PermBackPress_1", 0.5}, {"FeedFlow", 160.0}};
            QTest::addRow("three banks, %s", locale)
                << locale << 3 << true
                << Values{{PermFlow, 36},      {PermuS, 22},   {PermFlow_2, 16}, {PermuS_2, 40},
                          {PermFlow_3, 8.125}, {PermuS_3, 70}, {ConcFlow, 20},   {PermBackPress, 0.5}}
                << QVariantMap{{"PermFlow", 60.125}, {"PermuS", 33.277},       {"PermFlow_1", 36.0},
                               {"PermuS_1", 22.0},   {"PermBackPress_1", 0.5}, {"FeedFlow", 80.125},
                               {"Permflow_3", 8.125}};
        }
    }
    void bankBalanceStored() {
        QFETCH(QString, locale);
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        QFETCH(Values, entered);
        QFETCH(QVariantMap, stored);
        QLocale::setDefault(QLocale(locale));
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        ProjectInfoRecord cp;
        cp.ProjectID = "P'1"; // a quote is only text to a bound value
        cp.TrainNumber = 2;
        cp.NumBanks = qint16(banks);
        ReadingValues r = readingOf(entered);
        r.empty[item::ORP] = true; // an optional item without a value
        ApplyBankBalance(r, banks, systemData);
        {
            ReadingIntake intake(env.prog(), path, cp, ReadingColumns());
            QCOMPARE(intake.add(r.TheDate, ReadingColumnValues(cp, r, 8, "note"), true),
                     ReadingIntake::Outcome::Raw);
            intake.commit();
        }
        Database db = Database::open(path);
        const DbRow row = db.select("SELECT * FROM Data").first();
        QVERIFY(row.isNull("ORP"));
        for (auto it = stored.begin(); it != stored.end(); ++it)
            QVERIFY2(row.toDouble(it.key()) == it.value().toDouble(),
                     qPrintable(it.key() + " = " + row.value(it.key()).toString()));
        QCOMPARE(row.toText("TheDate"), QString("2020-01-02 06:00:00"));
        QCOMPARE(row.toText("ProjectID"), QString("P'1"));
        QCOMPARE(row.toInt32("TrainNumber"), 2);
        QCOMPARE(row.toInt32("Bank"), banks);
        QCOMPARE(row.toInt32("EventID"), 8);
        QCOMPARE(row.toDouble("ElapsedTimeHrs"), 30.46);
    }

    // A zero divisor in the balance is the run-time error, and the values stay as entered.
    void bankBalanceZeroDivisor_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        QTest::addColumn<Values>("entered");
        QTest::addColumn<long>("error");
        using namespace item;
        QTest::newRow("bank 1 without flow")
            << 2 << true << Values{{PermFlow, 40}, {PermuS, 10}, {PermFlow_2, 40}, {PermuS_2, 25}} << 11L;
        QTest::newRow("no flow at all") << 2 << true << Values{{PermuS, 10}, {PermuS_2, 25}} << 6L;
        QTest::newRow("banks cancelling out")
            << 3 << false << Values{{PermFlow, 10}, {PermuS, 10}, {PermFlow_2, -10}, {PermuS_2, 5}} << 11L;
    }
    void bankBalanceZeroDivisor() {
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        QFETCH(Values, entered);
        QFETCH(long, error);
        ReadingValues r = readingOf(entered);
        QCOMPARE(test::errorOf([&] { ApplyBankBalance(r, banks, systemData); }), error);
        QCOMPARE(r[item::PermFlow], entered.value(item::PermFlow));
        QCOMPARE(r.PermFlow_1, 0.0);
        QCOMPARE(r.FeedFlow, 0.0);
    }

    void noteForStorage_data() {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("stored");
        QTest::newRow("255 stays whole") << QString(255, 'a') << QString(255, 'a');
        QTest::newRow("256 keeps 254") << QString(255, 'a') + "b" << QString(254, 'a');
        QTest::newRow("empty stays empty") << ""
                                           << "";
        QTest::newRow("blanks are no note") << "   "
                                            << "";
    }
    void noteForStorage() {
        QFETCH(QString, note);
        QFETCH(QString, stored);
        QCOMPARE(NoteForStorage(note), stored);
    }

    // Alarm limits are inclusive; a reference of 0, or a salt passage the reference state
    // does not give, gives no line at all. A plant's DP is compared with the normalized DP of
    // its reference state: with two banks and a loss between them, the sum of the bank DPs,
    // not the feed minus the concentrate pressure.
    void alarmLines_data() {
        QTest::addColumn<int>("banks"); // 0: a bare record; else the reference plant's
        QTest::addColumn<double>("npf");
        QTest::addColumn<double>("ndp"); // for a plant, times its reference state's DP
        QTest::addColumn<double>("nsp");
        QTest::addColumn<bool>("zeroReference");
        QTest::addColumn<QString>("lines");
        const QString flow = "Normalized Permeate Flow is at least 15% below Reference Perm Flow.\r\n";
        const QString dp = "Normalized DP is at least 15% above Reference DP.\r\n";
        const QString sp = "Normalized Salt Passage is at least 15% above Reference Salt Passage.";
        QTest::newRow("at the reference") << 0 << 60.0 << 2.0 << 0.25 << false << "";
        QTest::newRow("flow exactly 85 %") << 0 << 51.0 << 2.0 << 0.25 << false << flow;
        QTest::newRow("flow just above 85 %") << 0 << 51.01 << 2.29 << 0.2874 << false << "";
        QTest::newRow("all three, in order") << 0 << 51.0 << 2.3 << 0.2875 << false << flow + dp + sp;
        QTest::newRow("zero references") << 0 << 51.0 << 2.3 << 0.2875 << true << "";
        QTest::newRow("two banks, DP 15 % above the reference's") << 2 << 60.0 << 1.15 << 0.0 << false << dp;
        QTest::newRow("two banks, DP at the reference's") << 2 << 60.0 << 1.0 << 0.0 << false << "";
    }
    void alarmLines() {
        QFETCH(int, banks);
        QFETCH(double, npf);
        QFETCH(double, ndp);
        QFETCH(double, nsp);
        QFETCH(bool, zeroReference);
        QFETCH(QString, lines);
        ProjectInfoRecord cp;
        cp.PermFlow = zeroReference ? 0 : 60;
        std::optional<double> referenceDP = zeroReference ? 0.0 : 2.0;
        std::optional<double> referenceSaltPassage = zeroReference ? 0.0 : 0.25;
        test::TestEnv env;
        if (banks > 0) {
            // Bank 2 is fed at 0.3 bar below bank 1's concentrate.
            test::makeReferencePlant(env.prog(), banks, {{"FeedPressure_2", 10.5}});
            cp = env.prog().CurrentProject;
            referenceDP = ReferenceNormalizedDP(cp, env.prog().ElementTable);
            referenceSaltPassage = ReferenceSaltPassage(cp, env.prog().ElementTable);
            QVERIFY(referenceDP && referenceSaltPassage);
            QCOMPARE(*referenceDP, 1.9); // (12 - 10.8) + (10.5 - 9.8)
            ndp *= *referenceDP;
            nsp = *referenceSaltPassage;
            // The normalization leaves the record's DeltaPress at the feed minus the concentrate.
            cp.DeltaPress = cp.FeedPressure - cp.ConcPressure;
        }
        QCOMPARE(AlarmLines(npf, ndp, nsp, referenceSaltPassage, referenceDP, cp), lines);
        QCOMPARE(AlarmLines(npf, ndp, nsp, std::nullopt, referenceDP, cp),
                 lines.section("Normalized Salt", 0, 0));
    }

    // After a save the history shows the stored date in the computer's short form, whatever
    // form it was typed in; other rows keep their texts and a kept row its entry.
    void rollOverShowsDatesInOneForm_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("de_CH two-digit year") << "de_CH"
                                              << "16.11.26 08:00"
                                              << "16.11.2026 08:00";
        QTest::newRow("en_GB seconds kept") << "en_GB"
                                            << "16/11/26 08:00:30"
                                            << "16/11/2026 08:00:30";
        QTest::newRow("not a date stays") << "en_GB"
                                          << "abc"
                                          << "abc";
    }
    void rollOverShowsDatesInOneForm() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QLocale::setDefault(QLocale(locale));
        HistoryColumns h;
        h.current[0] = typed;
        h.current[1] = "1'580";
        h.earlier1[0] = "15.11.2026 08:00";
        std::array<bool, ItemCount> keep{};
        keep[1] = true;
        RollOver(h, keep, 0);
        QTEST(h.earlier1[0], "shown");
        QCOMPARE(h.earlier2[0], QString("15.11.2026 08:00"));
        QCOMPARE(h.earlier1[1], QString("1'580"));
        QCOMPARE(h.current[0], QString());
        QCOMPARE(h.current[1], QString("1'580"));
    }
};

QTEST_MAIN(TestReading)
#include "tst_reading.moc"
