#include <QtTest>
#include <cmath>

#include "core/currentproject.h"
#include "core/elementdb.h"
#include "normalization/calculate.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

// One reading per bank count in project units far from SI, each against a reference
// state it differs from in every measured value, checked column by column against
// numbers computed independently from the formulas (a separate script, not this
// program's code); the multi-bank values that follow from the bank feeds were brought up
// to date when those came to be taken from the rebuilt feed flow. The readings carry stale calculated values,
// so a column the normalization should recompute and does not shows, and a column it must keep shows when it
// is touched.

namespace {

// The catalogue of the element database, then two custom elements: type 12 with its own
// flow exponent (DP4 must not count) and type 13 without one (1.4 applies).
bool loadElements(test::TestEnv& env) {
    test::makeElementDatabase(env.path("ostrelmem.mdb"));
    if (!LoadElementSpecs(env.prog())) return false;
    std::vector<ElementSpecRecord>& t = env.prog().ElementTable;
    t.resize(14);
    t[12] = test::element(13, {2640, 2830, 3050, 2950, 1.62, 0.25}, true, 37.2);
    t[13] = test::element(14, {2500, 2750, 2800, 3000, 0, 0.5}, true, 37.2);
    t[12].Model = "Custom 12";
    t[13].Model = "Custom 13";
    return true;
}

// Calculated columns as an earlier calculation might have left them.
// clang-format off
QVariantMap staleCalculated() {
    return {{"ActualRejection", 0.5}, {"NormalizedPermFlow", 11.0}, {"NormalizedSaltPassage", 0.3},
            {"NormalizedDP", 12.0}, {"NetTMP", 13.0}, {"ActualFlux", 14.0}, {"NormalizedFlux", 15.0},
            {"SystemRecovery", 0.6}, {"SystemDP", 16.0}, {"B1Recovery", 0.45}, {"B1DP", 21.0},
            {"NormalizedPermFlow_1", 91.0}, {"NormalizedSaltPassage_1", 0.02}, {"NormalizedDP_1", 19.0},
            {"ActualFlux_1", 17.0}, {"NormalizedPermFlow_2", 1.0}, {"NormalizedSaltPassage_2", 0.1},
            {"NormalizedDP_2", 1.0}, {"ActualFlux_2", 3.0}, {"B2DP", 1.0}, {"B2Recovery", 0.3},
            {"SpecFlux", 9.0}, {"SpecFlux_1", 9.0}, {"SpecFlux_2", 9.0}, {"SpecFlux_3", 9.0},
            {"PermFlow_3", 2.5}, {"PermuS_3", 70.0}, {"FeedPressure_3", 120.0}, {"ConcPressure_2", 110.0},
            {"PermbackPress_3", 2.0}, {"NormalizedPermFlow_3", 1.5}, {"NormalizedSaltPassage_3", 0.11},
            {"NormalizedDP_3", 1.25}, {"ActualFlux_3", 3.5}, {"B3DP", 1.75}, {"B3Recovery", 0.21}};
}
// clang-format on

// The reference fields of the current project the normalization reads or changes, and
// the values it leaves behind.
double recordValue(const Program& p, const QString& name) {
    const ProjectInfoRecord& r = p.CurrentProject;
    static const QHash<QString, double ProjectInfoRecord::*> fields = {
        {"FeedTemp", &ProjectInfoRecord::FeedTemp},
        {"FeeduS", &ProjectInfoRecord::FeeduS},
        {"PermuS", &ProjectInfoRecord::PermuS},
        {"PermuS_1", &ProjectInfoRecord::PermuS_1},
        {"PermuS_2", &ProjectInfoRecord::PermuS_2},
        {"PermuS_3", &ProjectInfoRecord::PermuS_3},
        {"FeedFlow", &ProjectInfoRecord::FeedFlow},
        {"ConcFlow", &ProjectInfoRecord::ConcFlow},
        {"PermFlow", &ProjectInfoRecord::PermFlow},
        {"PermFlow_1", &ProjectInfoRecord::PermFlow_1},
        {"PermFlow_2", &ProjectInfoRecord::PermFlow_2},
        {"PermFlow_3", &ProjectInfoRecord::PermFlow_3},
        {"FeedPressure", &ProjectInfoRecord::FeedPressure},
        {"FeedPressure_2", &ProjectInfoRecord::FeedPressure_2},
        {"FeedPressure_3", &ProjectInfoRecord::FeedPressure_3},
        {"ConcPressure", &ProjectInfoRecord::ConcPressure},
        {"ConcPressure_1", &ProjectInfoRecord::ConcPressure_1},
        {"ConcPressure_2", &ProjectInfoRecord::ConcPressure_2},
        {"PermBackPress", &ProjectInfoRecord::PermBackPress},
        {"PermBackPress_1", &ProjectInfoRecord::PermBackPress_1},
        {"PermBackPress_2", &ProjectInfoRecord::PermBackPress_2},
        {"PermBackPress_3", &ProjectInfoRecord::PermBackPress_3},
        {"AreaBank", &ProjectInfoRecord::AreaBank},
        {"AreaBank_1", &ProjectInfoRecord::AreaBank_1},
        {"AreaBank_2", &ProjectInfoRecord::AreaBank_2},
        {"AreaBank_3", &ProjectInfoRecord::AreaBank_3},
        {"ElapsedTimeRef", &ProjectInfoRecord::ElapsedTimeRef},
        {"OverallRecovery", &ProjectInfoRecord::OverallRecovery},
        {"DeltaPress", &ProjectInfoRecord::DeltaPress},
        {"DeltaPress_1", &ProjectInfoRecord::DeltaPress_1},
        {"DeltaPress_2", &ProjectInfoRecord::DeltaPress_2},
        {"DeltaPress_3", &ProjectInfoRecord::DeltaPress_3},
    };
    if (name == "LastNormalizedPermFlow") return p.LastNormalizedPermFlow;
    if (name == "LastNormalizedSaltPassage") return p.LastNormalizedSaltPassage;
    if (name == "LastNormalizedDP") return p.LastNormalizedDP;
    if (!fields.contains(name)) qFatal("no record field %s", qPrintable(name));
    return r.*fields.value(name);
}

// Relative 1e-9; a zero must come out exactly zero.
QString mismatch(const QString& what, double got, double want) {
    if (std::fabs(got - want) <= 1e-9 * std::max(std::fabs(got), std::fabs(want))) return {};
    return QString("%1: %2, expected %3").arg(what).arg(got, 0, 'g', 17).arg(want, 0, 'g', 17);
}

} // namespace

class TestCrossCheck : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void goldenReading_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("banks");
        QTest::addColumn<QVariantMap>("project");
        QTest::addColumn<QVariantMap>("reading");
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QVariantMap>("record");
        // Golden numbers computed independently from the formulas, not by this program.
        for (const char* locale : {"en_US", "de_DE"})
            addCases(locale);
    }

    void goldenReading() {
        QFETCH(QString, locale);
        QFETCH(int, banks);
        QFETCH(QVariantMap, project);
        QFETCH(QVariantMap, reading);
        QFETCH(QVariantMap, stored);
        QFETCH(QVariantMap, record);
        QLocale::setDefault(QLocale(locale));

        test::TestEnv env;
        Program& p = env.prog();
        QVERIFY(loadElements(env));
        const QString db = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        p.ProjectDatabasePath = db;
        test::insertProjectInfo(db, banks, project);
        QVariantMap row = staleCalculated();
        row.insert(reading);
        const qint64 id = test::insertReading(db, banks, row);
        {
            Database d = Database::open(db);
            LoadProjectSettings(p, d.select("SELECT * FROM ProjectInfo").first());
        }

        // The way the data collection window calls it: by the reading's date.
        QVERIFY(CalculateDataRecord(p, parseDbDate(reading.value("TheDate").toString()), 0));
        QCOMPARE(env.prompts.verify(), QString());

        Database d = Database::open(db);
        const DbRow got = d.select("SELECT * FROM Data WHERE ID = ?", {id}).first();
        QStringList wrong;
        for (auto it = stored.begin(); it != stored.end(); ++it)
            if (const QString m = mismatch(it.key(), got.toDouble(it.key()), it.value().toDouble());
                !m.isEmpty())
                wrong << m;
        for (auto it = record.begin(); it != record.end(); ++it)
            if (const QString m =
                    mismatch("CurrentProject/" + it.key(), recordValue(p, it.key()), it.value().toDouble());
                !m.isEmpty())
                wrong << m;
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
    }

private:
    static void addCases(const char* locale);
};

// Per case: the ProjectInfo row, the reading, the Data columns expected after it, and the
// CurrentProject fields and last normalized values expected. The expected numbers were
// computed independently from the formulas, not by this program.
// clang-format off
void TestCrossCheck::addCases(const char* locale) {
    QTest::addRow("%s, oneBankGpmPsiF", locale) << QString(locale) << 1
        << QVariantMap{
        {"NumBanks", 1}, {"unitFlow", 4}, {"unitTemp", 0}, {"unitPress", 0}, {"unitFlux", 0},
        {"DateReference", QString("2023-01-10 08:00:00")}, {"ElapsedTimeRef", 120.5}, {"FeedTemp", 68.0},
        {"FeeduS", 1500.0}, {"PermuS", 25.0}, {"PermuS_1", 25.0}, {"PermuS_2", 0.0}, {"PermuS_3", 0.0},
        {"FeedFlow", 130.0}, {"ConcFlow", 33.3}, {"PermFlow", 100.0}, {"PermFlow_1", 100.0},
        {"PermFlow_2", 0.0}, {"PermFlow_3", 0.0}, {"FeedPressure", 180.0}, {"FeedPressure_2", 0.0},
        {"FeedPressure_3", 0.0}, {"ConcPressure", 160.0}, {"ConcPressure_1", 160.0}, {"ConcPressure_2", 0.0},
        {"PermBackPress", 5.0}, {"PermBackPress_1", 5.0}, {"PermBackPress_2", 0.0}, {"PermBackPress_3", 0.0},
        {"ElementType", 1}, {"ElementType_1", 1}, {"ElementType_2", 0}, {"ElementType_3", 0},
        {"NumElementsBank", 18}, {"NumElementsBank_1", 18}, {"NumElementsBank_2", 0}, {"NumElementsBank_3", 0},
        {"AreaBank", 610.2}, {"AreaBank_1", 610.2}, {"AreaBank_2", 0.0}, {"AreaBank_3", 0.0},
        {"OverallRecovery", 0.7}, {"DeltaPress", 15.0}, {"DeltaPress_1", 7.0}, {"DeltaPress_2", 3.0},
        {"DeltaPress_3", 2.0}}
        << QVariantMap{
        {"ActualFlux_1", 1.234e-06}, {"TheDate", QString("2024-03-05 14:30:00")}, {"Temperature", 86.0},
        {"FeeduS", 1720.0}, {"PermuS", 41.5}, {"ConcuS", 5000.0}, {"FeedFlow", 128.0}, {"ConcFlow", 35.4},
        {"PermFlow", 92.5}, {"FeedPressure", 171.2}, {"ConcPressure", 148.9}, {"ConcPressure_1", 150.0},
        {"PermBackPress", 7.3}, {"PermBackPress_1", 6.1}, {"PermuS_1", 40.0}, {"PermuS_2", 60.0},
        {"PermFlow_1", 92.0}, {"PermFlow_2", 5.0}, {"FeedPressure_2", 140.0}, {"PermBackPress_2", 3.0}}
        << QVariantMap{
        {"ElapsedTimeHrs", 10207.0}, {"ActualRejection", 0.9887620343359236},
        {"NormalizedPermFlow", 74.77115580541816}, {"NormalizedSaltPassage", 0.008300915569655946},
        {"NormalizedDP", 28.658422826671178}, {"NetTMP", 131.79870055351913},
        {"ActualFlux", 20.27945958750737}, {"NormalizedFlux", 16.392633864510213},
        {"NormalizedPermFlow_1", 91.0}, {"NormalizedSaltPassage_1", 0.02}, {"NormalizedDP_1", 19.0},
        {"ActualFlux_1", 1.234e-06}, {"NormalizedPermFlow_2", 0.0}, {"NormalizedSaltPassage_2", 0.0},
        {"NormalizedDP_2", 0.0}, {"ActualFlux_2", 0.0}, {"B1Recovery", 0.7232212666145426},
        {"B2Recovery", 0.0}, {"B1DP", 21.0}, {"B2DP", 0.0}, {"ConcPressure_1", 148.9},
        {"NormalizedPermFlow_3", 0.0}, {"NormalizedSaltPassage_3", 0.0}, {"NormalizedDP_3", 0.0},
        {"ActualFlux_3", 0.0}, {"B3Recovery", 0.0}, {"B3DP", 0.0}, {"SystemRecovery", 0.7232212666145426},
        {"SystemDP", 22.299999999999983}, {"ConcuS", 6105.911016949153}, {"PermFlow_2", 0.0},
        {"PermuS_2", 0.0}, {"FeedPressure_2", 0.0}, {"PermBackPress_2", 0.0}, {"PermFlow_3", 0.0},
        {"PermuS_3", 0.0}, {"FeedPressure_3", 0.0}, {"ConcPressure_2", 0.0}, {"PermbackPress_3", 0.0},
        {"PermFlow", 92.5}, {"FeedFlow", 127.9}, {"SpecFlux", 0.11216540770527347},
        {"SpecFlux_1", 0.11216540770527347}, {"SpecFlux_2", 0.0}, {"SpecFlux_3", 0.0}, {"PermFlow_1", 92.0},
        {"PermuS_1", 40.0}, {"PermBackPress_1", 6.1}}
        << QVariantMap{
        {"FeedTemp", 68.0}, {"FeeduS", 1500.0}, {"PermuS", 25.0}, {"PermuS_1", 25.0}, {"PermuS_2", 0.0},
        {"PermuS_3", 0.0}, {"FeedFlow", 133.3}, {"ConcFlow", 33.3}, {"PermFlow", 100.0}, {"PermFlow_1", 100.0},
        {"PermFlow_2", 0.0}, {"PermFlow_3", 0.0}, {"FeedPressure", 180.0}, {"FeedPressure_2", 0.0},
        {"FeedPressure_3", 0.0}, {"ConcPressure", 160.0}, {"ConcPressure_1", 160.0}, {"ConcPressure_2", 0.0},
        {"PermBackPress", 5.0}, {"PermBackPress_1", 5.0}, {"PermBackPress_2", 0.0}, {"PermBackPress_3", 0.0},
        {"AreaBank", 610.2}, {"AreaBank_1", 610.2}, {"AreaBank_2", 0.0}, {"AreaBank_3", 0.0},
        {"ElapsedTimeRef", 120.5}, {"OverallRecovery", 0.7501875468867216}, {"DeltaPress", 20.0},
        {"DeltaPress_1", 7.0}, {"DeltaPress_2", 3.0}, {"DeltaPress_3", 2.0},
        {"LastNormalizedPermFlow", 74.77115580541816}, {"LastNormalizedSaltPassage", 0.008300915569655946},
        {"LastNormalizedDP", 28.658422826671178}};
    QTest::addRow("%s, twoBanksM3hBarC", locale) << QString(locale) << 2
        << QVariantMap{
        {"NumBanks", 2}, {"unitFlow", 13}, {"unitTemp", 1}, {"unitPress", 8}, {"unitFlux", 1},
        {"DateReference", QString("2022-06-01 00:00:00")}, {"ElapsedTimeRef", 0.0}, {"FeedTemp", 25.0},
        {"FeeduS", 2400.0}, {"PermuS", 38.0}, {"PermuS_1", 30.0}, {"PermuS_2", 55.0}, {"PermuS_3", 0.0},
        {"FeedFlow", 60.0}, {"ConcFlow", 15.1}, {"PermFlow", 45.6}, {"PermFlow_1", 30.2}, {"PermFlow_2", 15.3},
        {"PermFlow_3", 0.0}, {"FeedPressure", 13.8}, {"FeedPressure_2", 12.6}, {"FeedPressure_3", 0.0},
        {"ConcPressure", 11.7}, {"ConcPressure_1", 12.9}, {"ConcPressure_2", 0.0}, {"PermBackPress", 0.4},
        {"PermBackPress_1", 0.45}, {"PermBackPress_2", 0.6}, {"PermBackPress_3", 0.0}, {"ElementType", 12},
        {"ElementType_1", 4}, {"ElementType_2", 12}, {"ElementType_3", 0}, {"NumElementsBank", 36},
        {"NumElementsBank_1", 24}, {"NumElementsBank_2", 12}, {"NumElementsBank_3", 0}, {"AreaBank", 1339.2},
        {"AreaBank_1", 892.8}, {"AreaBank_2", 446.4}, {"AreaBank_3", 0.0}, {"OverallRecovery", 0.75},
        {"DeltaPress", 2.0}, {"DeltaPress_1", 0.9}, {"DeltaPress_2", 0.9}, {"DeltaPress_3", 0.7}}
        << QVariantMap{
        {"TheDate", QString("2024-11-20 06:45:10")}, {"Temperature", 14.5}, {"FeeduS", 2650.0},
        {"PermuS", 52.0}, {"ConcuS", 9000.0}, {"FeedFlow", 61.3}, {"ConcFlow", 16.4}, {"PermFlow", 44.0},
        {"FeedPressure", 15.1}, {"ConcPressure", 12.7}, {"ConcPressure_1", 14.0}, {"PermBackPress", 0.55},
        {"PermBackPress_1", 0.9}, {"PermuS_1", 41.0}, {"PermuS_2", 78.0}, {"PermFlow_1", 29.6},
        {"PermFlow_2", 14.5}, {"FeedPressure_2", 13.85}, {"PermBackPress_2", 0.75}}
        << QVariantMap{
        {"ElapsedTimeHrs", 21678.75}, {"ActualRejection", 0.9911461743935324},
        {"NormalizedPermFlow", 56.863591485378066}, {"NormalizedSaltPassage", 0.013123235655250516},
        {"NormalizedDP", 1.7133721612021042}, {"NetTMP", 11.251503047752422},
        {"ActualFlux", 32.93010752688172}, {"NormalizedFlux", 41.851216611434715},
        {"NormalizedPermFlow_1", 38.80926823683501}, {"NormalizedSaltPassage_1", 0.014211789008645065},
        {"NormalizedDP_1", 0.8616359549535818}, {"ActualFlux_1", 33.15412186379928},
        {"NormalizedPermFlow_2", 18.05432324854306}, {"NormalizedSaltPassage_2", 0.01437945450754587},
        {"NormalizedDP_2", 0.8517362062485225}, {"ActualFlux_2", 32.482078853046595},
        {"B1Recovery", 0.4892561983471075}, {"B2Recovery", 0.46925566343042074}, {"B1DP", 1.0999999999999996},
        {"B2DP", 1.1500000000000004}, {"ConcPressure_1", 14.0}, {"NormalizedPermFlow_3", 0.0},
        {"NormalizedSaltPassage_3", 0.0}, {"NormalizedDP_3", 0.0}, {"ActualFlux_3", 0.0}, {"B3Recovery", 0.0},
        {"B3DP", 0.0}, {"SystemRecovery", 0.7289256198347107}, {"SystemDP", 2.25},
        {"ConcuS", 9636.085365853658}, {"PermFlow_2", 14.5}, {"PermuS_2", 78.0}, {"FeedPressure_2", 13.85},
        {"PermBackPress_2", 0.75}, {"PermFlow_3", 0.0}, {"PermuS_3", 0.0}, {"FeedPressure_3", 0.0},
        {"ConcPressure_2", 0.0}, {"PermbackPress_3", 0.0}, {"PermFlow", 44.1}, {"FeedFlow", 60.5},
        {"SpecFlux", 4.0434671034509835}, {"SpecFlux_1", 3.7912804195672924},
        {"SpecFlux_2", 4.644465996967893}, {"SpecFlux_3", 0.0}, {"PermFlow_1", 29.6}, {"PermuS_1", 41.0},
        {"PermBackPress_1", 0.9}}
        << QVariantMap{
        {"FeedTemp", 25.0}, {"FeeduS", 2400.0}, {"PermuS", 38.0}, {"PermuS_1", 30.0}, {"PermuS_2", 55.0},
        {"PermuS_3", 0.0}, {"FeedFlow", 60.7}, {"ConcFlow", 15.1}, {"PermFlow", 45.6}, {"PermFlow_1", 30.2},
        {"PermFlow_2", 15.3}, {"PermFlow_3", 0.0}, {"FeedPressure", 13.8}, {"FeedPressure_2", 12.6},
        {"FeedPressure_3", 0.0}, {"ConcPressure", 11.7}, {"ConcPressure_1", 12.9}, {"ConcPressure_2", 0.0},
        {"PermBackPress", 0.4}, {"PermBackPress_1", 0.45}, {"PermBackPress_2", 0.6}, {"PermBackPress_3", 0.0},
        {"AreaBank", 1339.2}, {"AreaBank_1", 892.8}, {"AreaBank_2", 446.4}, {"AreaBank_3", 0.0},
        {"ElapsedTimeRef", 0.0}, {"OverallRecovery", 0.7512355848434926}, {"DeltaPress", 2.1000000000000014},
        {"DeltaPress_1", 0.9000000000000004}, {"DeltaPress_2", 0.9000000000000004}, {"DeltaPress_3", 0.7},
        {"LastNormalizedPermFlow", 56.863591485378066}, {"LastNormalizedSaltPassage", 0.013123235655250516},
        {"LastNormalizedDP", 1.7133721612021042}};
    QTest::addRow("%s, threeBanksM3dKPaC", locale) << QString(locale) << 3
        << QVariantMap{
        {"NumBanks", 3}, {"unitFlow", 14}, {"unitTemp", 1}, {"unitPress", 9}, {"unitFlux", 2},
        {"DateReference", QString("2021-03-15 12:00:00")}, {"ElapsedTimeRef", 350.25}, {"FeedTemp", 27.0},
        {"FeeduS", 9000.0}, {"PermuS", 180.0}, {"PermuS_1", 120.0}, {"PermuS_2", 210.0}, {"PermuS_3", 420.0},
        {"FeedFlow", 2390.0}, {"ConcFlow", 600.0}, {"PermFlow", 1800.0}, {"PermFlow_1", 900.0},
        {"PermFlow_2", 560.0}, {"PermFlow_3", 340.0}, {"FeedPressure", 2900.0}, {"FeedPressure_2", 2760.0},
        {"FeedPressure_3", 2630.0}, {"ConcPressure", 2520.0}, {"ConcPressure_1", 2780.0},
        {"ConcPressure_2", 2650.0}, {"PermBackPress", 150.0}, {"PermBackPress_1", 155.0},
        {"PermBackPress_2", 120.0}, {"PermBackPress_3", 100.0}, {"ElementType", 8}, {"ElementType_1", 8},
        {"ElementType_2", 13}, {"ElementType_3", 7}, {"NumElementsBank", 84}, {"NumElementsBank_1", 42},
        {"NumElementsBank_2", 24}, {"NumElementsBank_3", 18}, {"AreaBank", 3340.0}, {"AreaBank_1", 1717.8},
        {"AreaBank_2", 981.6}, {"AreaBank_3", 635.4}, {"OverallRecovery", 0.7}, {"DeltaPress", 300.0},
        {"DeltaPress_1", 100.0}, {"DeltaPress_2", 100.0}, {"DeltaPress_3", 100.0}}
        << QVariantMap{
        {"PermFlow_3", 300.0}, {"PermuS_3", 590.0}, {"FeedPressure_3", 2750.0}, {"ConcPressure_2", 2770.0},
        {"PermbackPress_3", 110.0}, {"TheDate", QString("2024-02-29 23:59:59")}, {"Temperature", 31.2},
        {"FeeduS", 9650.0}, {"PermuS", 260.0}, {"ConcuS", 20000.0}, {"FeedFlow", 2362.0}, {"ConcFlow", 655.0},
        {"PermFlow", 1700.0}, {"FeedPressure", 3050.0}, {"ConcPressure", 2625.0}, {"ConcPressure_1", 2915.0},
        {"PermBackPress", 165.0}, {"PermBackPress_1", 180.0}, {"PermuS_1", 170.0}, {"PermuS_2", 300.0},
        {"PermFlow_1", 870.0}, {"PermFlow_2", 525.0}, {"FeedPressure_2", 2895.0}, {"PermBackPress_2", 130.0}}
        << QVariantMap{
        {"ElapsedTimeHrs", 26306.25}, {"ActualRejection", 0.9882365223950053},
        {"NormalizedPermFlow", 1428.584649982775}, {"NormalizedSaltPassage", 0.010457050122395818},
        {"NormalizedDP", 417.06618880122477}, {"NetTMP", 1834.8241644243458},
        {"ActualFlux", 508.27635840230295}, {"NormalizedFlux", 424.1125778017439},
        {"NormalizedPermFlow_1", 737.7917221318112}, {"NormalizedSaltPassage_1", 0.010353544429415017},
        {"NormalizedDP_1", 151.692313016546}, {"ActualFlux_1", 506.4617534055186},
        {"NormalizedPermFlow_2", 445.2111127023718}, {"NormalizedSaltPassage_2", 0.011469624931728593},
        {"NormalizedDP_2", 137.07113792846454}, {"ActualFlux_2", 534.841075794621},
        {"B1Recovery", 0.3702127659574468}, {"B2Recovery", 0.3547297297297297}, {"B1DP", 135.0},
        {"B2DP", 125.0}, {"ConcPressure_1", 2915.0}, {"NormalizedPermFlow_3", 245.58181514859214},
        {"NormalizedSaltPassage_3", 0.01495425431061806}, {"NormalizedDP_3", 128.30273785621426},
        {"ActualFlux_3", 472.14353163361665}, {"B3Recovery", 0.31413612565445026}, {"B3DP", 125.0},
        {"SystemRecovery", 0.7212765957446808}, {"SystemDP", 385.0}, {"ConcuS", 33949.31297709924},
        {"PermFlow_2", 525.0}, {"PermuS_2", 300.0}, {"FeedPressure_2", 2895.0}, {"PermBackPress_2", 130.0},
        {"PermFlow_3", 300.0}, {"PermuS_3", 590.0}, {"FeedPressure_3", 2750.0}, {"ConcPressure_2", 2770.0},
        {"PermbackPress_3", 110.0}, {"PermFlow", 1695.0}, {"FeedFlow", 2350.0},
        {"SpecFlux", 0.24472435028753506}, {"SpecFlux_1", 0.19698136506192246},
        {"SpecFlux_2", 0.2534937042302324}, {"SpecFlux_3", 0.3124867157767991}, {"PermFlow_1", 870.0},
        {"PermuS_1", 170.0}, {"PermBackPress_1", 180.0}}
        << QVariantMap{
        {"FeedTemp", 27.0}, {"FeeduS", 9000.0}, {"PermuS", 180.0}, {"PermuS_1", 120.0}, {"PermuS_2", 210.0},
        {"PermuS_3", 420.0}, {"FeedFlow", 2400.0}, {"ConcFlow", 600.0}, {"PermFlow", 1800.0},
        {"PermFlow_1", 900.0}, {"PermFlow_2", 560.0}, {"PermFlow_3", 340.0}, {"FeedPressure", 2900.0},
        {"FeedPressure_2", 2760.0}, {"FeedPressure_3", 2630.0}, {"ConcPressure", 2520.0},
        {"ConcPressure_1", 2780.0}, {"ConcPressure_2", 2650.0}, {"PermBackPress", 150.0},
        {"PermBackPress_1", 155.0}, {"PermBackPress_2", 120.0}, {"PermBackPress_3", 100.0},
        {"AreaBank", 3340.0}, {"AreaBank_1", 1717.8}, {"AreaBank_2", 981.6}, {"AreaBank_3", 635.4},
        {"ElapsedTimeRef", 350.25}, {"OverallRecovery", 0.75}, {"DeltaPress", 380.0}, {"DeltaPress_1", 120.0},
        {"DeltaPress_2", 110.0}, {"DeltaPress_3", 110.0}, {"LastNormalizedPermFlow", 1428.584649982775},
        {"LastNormalizedSaltPassage", 0.010457050122395818}, {"LastNormalizedDP", 417.06618880122477}};
    QTest::addRow("%s, oneBankCustomM3hBarC", locale) << QString(locale) << 1
        << QVariantMap{
        {"NumBanks", 1}, {"unitFlow", 13}, {"unitTemp", 1}, {"unitPress", 8}, {"unitFlux", 1},
        {"DateReference", QString("2024-01-01 00:00:00")}, {"ElapsedTimeRef", 10.0}, {"FeedTemp", 18.0},
        {"FeeduS", 800.0}, {"PermuS", 12.0}, {"PermuS_1", 12.0}, {"PermuS_2", 0.0}, {"PermuS_3", 0.0},
        {"FeedFlow", 28.0}, {"ConcFlow", 7.5}, {"PermFlow", 22.0}, {"PermFlow_1", 22.0}, {"PermFlow_2", 0.0},
        {"PermFlow_3", 0.0}, {"FeedPressure", 9.5}, {"FeedPressure_2", 0.0}, {"FeedPressure_3", 0.0},
        {"ConcPressure", 8.4}, {"ConcPressure_1", 8.4}, {"ConcPressure_2", 0.0}, {"PermBackPress", 0.2},
        {"PermBackPress_1", 0.2}, {"PermBackPress_2", 0.0}, {"PermBackPress_3", 0.0}, {"ElementType", 13},
        {"ElementType_1", 13}, {"ElementType_2", 0}, {"ElementType_3", 0}, {"NumElementsBank", 12},
        {"NumElementsBank_1", 12}, {"NumElementsBank_2", 0}, {"NumElementsBank_3", 0}, {"AreaBank", 446.4},
        {"AreaBank_1", 446.4}, {"AreaBank_2", 0.0}, {"AreaBank_3", 0.0}, {"OverallRecovery", 0.5},
        {"DeltaPress", 1.0}, {"DeltaPress_1", 1.0}, {"DeltaPress_2", 0.0}, {"DeltaPress_3", 0.0}}
        << QVariantMap{
        {"ActualFlux_1", 17.3}, {"TheDate", QString("2024-01-31 17:20:00")}, {"Temperature", 27.5},
        {"FeeduS", 760.0}, {"PermuS", 15.5}, {"ConcuS", 3000.0}, {"FeedFlow", 29.0}, {"ConcFlow", 7.8},
        {"PermFlow", 20.6}, {"FeedPressure", 10.2}, {"ConcPressure", 9.05}, {"ConcPressure_1", 9.5},
        {"PermBackPress", 0.3}, {"PermBackPress_1", 0.25}, {"PermuS_1", 15.0}, {"PermuS_2", 20.0},
        {"PermFlow_1", 20.0}, {"PermFlow_2", 1.0}, {"FeedPressure_2", 8.0}, {"PermBackPress_2", 0.1}}
        << QVariantMap{
        {"ElapsedTimeHrs", 747.33}, {"ActualRejection", 0.990227681376594},
        {"NormalizedPermFlow", 14.48135320694573}, {"NormalizedSaltPassage", 0.007052187520709155},
        {"NormalizedDP", 1.4678480969832286}, {"NetTMP", 8.699434055774017},
        {"ActualFlux", 46.146953405017925}, {"NormalizedFlux", 32.44030736322968},
        {"NormalizedPermFlow_1", 91.0}, {"NormalizedSaltPassage_1", 0.02}, {"NormalizedDP_1", 19.0},
        {"ActualFlux_1", 17.3}, {"NormalizedPermFlow_2", 0.0}, {"NormalizedSaltPassage_2", 0.0},
        {"NormalizedDP_2", 0.0}, {"ActualFlux_2", 0.0}, {"B1Recovery", 0.7253521126760564},
        {"B2Recovery", 0.0}, {"B1DP", 21.0}, {"B2DP", 0.0}, {"ConcPressure_1", 9.05},
        {"NormalizedPermFlow_3", 0.0}, {"NormalizedSaltPassage_3", 0.0}, {"NormalizedDP_3", 0.0},
        {"ActualFlux_3", 0.0}, {"B3Recovery", 0.0}, {"B3DP", 0.0}, {"SystemRecovery", 0.7253521126760564},
        {"SystemDP", 1.1499999999999986}, {"ConcuS", 2726.24358974359}, {"PermFlow_2", 0.0}, {"PermuS_2", 0.0},
        {"FeedPressure_2", 0.0}, {"PermBackPress_2", 0.0}, {"PermFlow_3", 0.0}, {"PermuS_3", 0.0},
        {"FeedPressure_3", 0.0}, {"ConcPressure_2", 0.0}, {"PermbackPress_3", 0.0}, {"PermFlow", 20.6},
        {"FeedFlow", 28.400000000000002}, {"SpecFlux", 4.015967011399217}, {"SpecFlux_1", 4.015967011399217},
        {"SpecFlux_2", 0.0}, {"SpecFlux_3", 0.0}, {"PermFlow_1", 20.0}, {"PermuS_1", 15.0},
        {"PermBackPress_1", 0.25}}
        << QVariantMap{
        {"FeedTemp", 18.0}, {"FeeduS", 800.0}, {"PermuS", 12.0}, {"PermuS_1", 12.0}, {"PermuS_2", 0.0},
        {"PermuS_3", 0.0}, {"FeedFlow", 29.5}, {"ConcFlow", 7.5}, {"PermFlow", 22.0}, {"PermFlow_1", 22.0},
        {"PermFlow_2", 0.0}, {"PermFlow_3", 0.0}, {"FeedPressure", 9.5}, {"FeedPressure_2", 0.0},
        {"FeedPressure_3", 0.0}, {"ConcPressure", 8.4}, {"ConcPressure_1", 8.4}, {"ConcPressure_2", 0.0},
        {"PermBackPress", 0.2}, {"PermBackPress_1", 0.2}, {"PermBackPress_2", 0.0}, {"PermBackPress_3", 0.0},
        {"AreaBank", 446.4}, {"AreaBank_1", 446.4}, {"AreaBank_2", 0.0}, {"AreaBank_3", 0.0},
        {"ElapsedTimeRef", 10.0}, {"OverallRecovery", 0.7457627118644068}, {"DeltaPress", 1.0999999999999996},
        {"DeltaPress_1", 1.0}, {"DeltaPress_2", 0.0}, {"DeltaPress_3", 0.0},
        {"LastNormalizedPermFlow", 14.48135320694573}, {"LastNormalizedSaltPassage", 0.007052187520709155},
        {"LastNormalizedDP", 1.4678480969832286}};
    QTest::addRow("%s, twoBanksNoBankOnePermeate", locale) << QString(locale) << 2
        << QVariantMap{
        {"NumBanks", 2}, {"unitFlow", 10}, {"unitTemp", 0}, {"unitPress", 7}, {"unitFlux", 2},
        {"DateReference", QString("2023-09-01 06:00:00")}, {"ElapsedTimeRef", 48.0}, {"FeedTemp", 72.5},
        {"FeeduS", 3100.0}, {"PermuS", 60.0}, {"PermuS_1", 45.0}, {"PermuS_2", 95.0}, {"PermuS_3", 0.0},
        {"FeedFlow", 1400.0}, {"ConcFlow", 420.0}, {"PermFlow", 980.0}, {"PermFlow_1", 650.0},
        {"PermFlow_2", 330.0}, {"PermFlow_3", 0.0}, {"FeedPressure", 15.2}, {"FeedPressure_2", 14.1},
        {"FeedPressure_3", 0.0}, {"ConcPressure", 13.0}, {"ConcPressure_1", 14.3}, {"ConcPressure_2", 0.0},
        {"PermBackPress", 0.35}, {"PermBackPress_1", 0.35}, {"PermBackPress_2", 0.5}, {"PermBackPress_3", 0.0},
        {"ElementType", 2}, {"ElementType_1", 4}, {"ElementType_2", 8}, {"ElementType_3", 0},
        {"NumElementsBank", 30}, {"NumElementsBank_1", 18}, {"NumElementsBank_2", 12},
        {"NumElementsBank_3", 0}, {"AreaBank", 1116.0}, {"AreaBank_1", 669.6}, {"AreaBank_2", 446.4},
        {"AreaBank_3", 0.0}, {"OverallRecovery", 0.7}, {"DeltaPress", 2.2}, {"DeltaPress_1", 0.9},
        {"DeltaPress_2", 1.1}, {"DeltaPress_3", 0.4}}
        << QVariantMap{
        {"TheDate", QString("2023-12-24 18:05:00")}, {"Temperature", 61.3}, {"FeeduS", 3350.0},
        {"PermuS", 71.0}, {"ConcuS", 8000.0}, {"FeedFlow", 905.0}, {"ConcFlow", 560.0}, {"PermFlow", 340.0},
        {"FeedPressure", 16.0}, {"ConcPressure", 13.6}, {"ConcPressure_1", 15.0}, {"PermBackPress", 0.4},
        {"PermBackPress_1", 0.8}, {"PermuS_1", 0.0}, {"PermuS_2", 102.0}, {"PermFlow_1", 0.0},
        {"PermFlow_2", 352.0}, {"FeedPressure_2", 14.8}, {"PermBackPress_2", 0.55}}
        << QVariantMap{
        {"ElapsedTimeHrs", 2796.08}, {"ActualRejection", 0.984920918436346},
        {"NormalizedPermFlow", 353.68873518174235}, {"NormalizedSaltPassage", 0.009782265328064014},
        {"NormalizedDP", 1.8503592611313968}, {"NetTMP", 12.718306069145227},
        {"ActualFlux", 454.2578544253789}, {"NormalizedFlux", 496.75016806668094},
        {"NormalizedPermFlow_1", 0.0}, {"NormalizedSaltPassage_1", 0.0},
        {"NormalizedDP_1", 1.1104583565453288}, {"ActualFlux_1", 0.0},
        {"NormalizedPermFlow_2", 353.68873518174235}, {"NormalizedSaltPassage_2", 0.02971997016099633},
        {"NormalizedDP_2", 0.739900904586068}, {"ActualFlux_2", 1135.6446360634473}, {"B1Recovery", 0.0},
        {"B2Recovery", 0.38596491228070173}, {"B1DP", 1.0}, {"B2DP", 1.200000000000001},
        {"ConcPressure_1", 15.0}, {"NormalizedPermFlow_3", 0.0}, {"NormalizedSaltPassage_3", 0.0},
        {"NormalizedDP_3", 0.0}, {"ActualFlux_3", 0.0}, {"B3Recovery", 0.0}, {"B3DP", 0.0},
        {"SystemRecovery", 0.38596491228070173}, {"SystemDP", 2.200000000000001},
        {"ConcuS", 5411.085714285714}, {"PermFlow_2", 352.0}, {"PermuS_2", 102.0}, {"FeedPressure_2", 14.8},
        {"PermBackPress_2", 0.55}, {"PermFlow_3", 0.0}, {"PermuS_3", 0.0}, {"FeedPressure_3", 0.0},
        {"ConcPressure_2", 0.0}, {"PermbackPress_3", 0.0}, {"PermFlow", 352.0}, {"FeedFlow", 912.0},
        {"SpecFlux", 43.84808037230854}, {"SpecFlux_1", 0.0}, {"SpecFlux_2", 116.62229398623644},
        {"SpecFlux_3", 0.0}, {"PermFlow_1", 0.0}, {"PermuS_1", 0.0}, {"PermBackPress_1", 0.8}}
        << QVariantMap{
        {"FeedTemp", 72.5}, {"FeeduS", 3100.0}, {"PermuS", 60.0}, {"PermuS_1", 45.0}, {"PermuS_2", 95.0},
        {"PermuS_3", 0.0}, {"FeedFlow", 1400.0}, {"ConcFlow", 420.0}, {"PermFlow", 980.0},
        {"PermFlow_1", 650.0}, {"PermFlow_2", 330.0}, {"PermFlow_3", 0.0}, {"FeedPressure", 15.2},
        {"FeedPressure_2", 14.1}, {"FeedPressure_3", 0.0}, {"ConcPressure", 13.0}, {"ConcPressure_1", 14.3},
        {"ConcPressure_2", 0.0}, {"PermBackPress", 0.35}, {"PermBackPress_1", 0.35}, {"PermBackPress_2", 0.5},
        {"PermBackPress_3", 0.0}, {"AreaBank", 1116.0}, {"AreaBank_1", 669.6}, {"AreaBank_2", 446.4},
        {"AreaBank_3", 0.0}, {"ElapsedTimeRef", 48.0}, {"OverallRecovery", 0.7},
        {"DeltaPress", 2.1999999999999993}, {"DeltaPress_1", 0.8999999999999986},
        {"DeltaPress_2", 1.0999999999999996}, {"DeltaPress_3", 0.4},
        {"LastNormalizedPermFlow", 353.68873518174235}, {"LastNormalizedSaltPassage", 0.009782265328064014},
        {"LastNormalizedDP", 1.8503592611313968}};
}
// clang-format on

QTEST_GUILESS_MAIN(TestCrossCheck)
#include "tst_crosscheck.moc"
