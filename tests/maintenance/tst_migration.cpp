#include <QDialog>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <optional>
#include <unistd.h>

#include "core/dbversion.h"
#include "core/elementdb.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/settings.h"
#include "core/startup.h"
#include "core/ui/corewindows.h"
#include "core/ui/frmmain.h"
#include "core/units.h"
#include "maintenance/migration.h"
#include "maintenance/ui/dlgmigrate.h"
#include "maintenance/ui/migrationwindows.h"
#include "normalization/recalculate.h"
#include "platform/database.h"
#include "support/fitcheck.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/testenv.h"

using namespace hv;

namespace {

const QString OverwriteQuestion = "already exists in the target 3 Bank Project Database!";

struct NullView : RunProgress {
    QStringList panels{"", "", "", ""};
    void setStatus(int panel, const QString& text) override { panels[panel - 1] = text; }
    void setProgress(double) override {}
    bool yieldAndCheckCancel() override { return false; }
};

MigrationDb tested(Program& p, const QString& path) {
    MigrationDb db;
    db.path = path;
    const bool saved = p.SuppressDbUpgrade;
    p.SuppressDbUpgrade = true;
    if (!UpgradeDatabase(p, path, db.major, db.minor, db.revision, db.projects, db.readings))
        qFatal("not a database: %s", qPrintable(path));
    p.SuppressDbUpgrade = saved;
    return db;
}

QVariant cell(const QString& db, const QString& sql, const QVariantList& params = {}) {
    Database d = Database::open(db);
    return d.scalar(sql, params);
}

// A program with its element tables and units, over a temporary folder.
struct MigrationEnv {
    test::TestEnv env;
    QString from, to;
    MigrationEnv(bool fromThreeBank = false) {
        test::makeElementDatabase(env.path("ostrelmem.mdb"));
        env.prog().AppDataFolder = env.path("");
        if (!LoadElementSpecs(env.prog())) qFatal("element database");
        InitUnits(env.prog());
        from = fromThreeBank ? test::makeBlankDatabase(env.path("other.hv3.mdb"))
                             : test::makeTwoBankDatabase(env.path("plant.hv.mdb"));
        to = test::makeBlankDatabase(env.path("db.hv3.mdb"));
    }
    Program& p() { return env.prog(); }
    MigrationResult run(NullView& view, bool beforeWriting = true) {
        Migration m(p(), tested(p(), from), tested(p(), to), view);
        m.batches.rows = 3;
        m.batches.millis = 0;
        m.normalizeBeforeWriting = beforeWriting;
        return m.run();
    }
};

} // namespace

class TestMigration : public QObject {
    Q_OBJECT

private slots:
    // A two-bank project and its readings arrive in the three-bank layout, normalized as
    // a recalculation would, with its settings rows.
    void twoBankProjectAndReadings() {
        MigrationEnv m;
        test::insertProjectInfo(m.from, 2, {{"PermBackPress", 5.0}, {"PermBackPress_1", 0.0}});
        for (int i = 0; i < 4; ++i)
            test::insertReading(m.from, 2,
                                {{"TheDate", QString("2020-01-0%1 08:00:00").arg(i + 2)},
                                 {"ElapsedTimeHrs", 24.0 * (i + 1) + 0.004},
                                 {"PermBackPress", 1.23456},
                                 {"Temperature", 20.0 + i},
                                 {"SDIRaw", i == 0 ? QVariant() : QVariant(1.0)},
                                 {"Note1", "it's fine"}});
        test::insertRow(
            m.from, "InputOrder",
            {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"TheDate", 0}, {"PermFlow", 3}, {"ConcFlow", 1}});
        test::insertRow(m.from, "UserDefined",
                        {{"ProjectID", "P1"}, {"TurbidityRaw", "Silt"}, {"ORP", "Redox"}, {"UnitsORP", "V"}});
        NullView view;
        const MigrationResult r = m.run(view);
        QVERIFY(r.completed);
        QCOMPARE(m.env.prompts.verify(), QString());
        QCOMPARE(view.panels[0], QString("Updated 1 project with total 4 records. "));
        QCOMPARE(view.panels[1], QString(" and Bypassed 0 projects with 0 records."));
        QCOMPARE(view.panels[2], QString("Out of total 1 projects with 4 total records."));

        Database to = Database::open(m.to);
        const DbRow project = to.select("SELECT * FROM ProjectInfo").first();
        QCOMPARE(project.toDouble("PermBackPress_1"), 5.0);
        for (const QString c : {"Permflow_3", "AreaBank_3", "NumVessels_3", "DeltaPress_3"})
            QCOMPARE(project.toDouble(c), 0.0);
        // Copied as they came.
        for (const QString c : {"AvgConc", "Density"})
            QCOMPARE(project.value(c), cell(m.from, "SELECT " + c + " FROM ProjectInfo"));
        QCOMPARE(project.toText("Description"), QString("Reference plant"));

        const DbRows readings = to.select("SELECT * FROM Data ORDER BY ID");
        QCOMPARE(readings.count(), 4);
        QCOMPARE(readings.first().toText("TheDate"), QString("2020-01-05 08:00:00")); // newest first
        for (const DbRow& r : readings) {
            QCOMPARE(r.toDouble("PermBackPress_1"), r.toDouble("PermBackPress"));
            QCOMPARE(r.toDouble("PermBackPress"), 1.23456); // copied as stored
            QCOMPARE(r.toDouble("Permflow_3"), 0.0);
            QCOMPARE(r.toText("Note1"), QString("it's fine"));
        }
        // A Null stays Null; the normalization does not compute with SDIRaw.
        QVERIFY(readings.at(3).isNull("SDIRaw"));
        QVERIFY(readings.at(3).toDouble("NormalizedPermFlow") > 0);
        QCOMPARE(view.panels[3], QString(" Calculated 4 records of 4 "));

        // The stored results are a recalculation's.
        QVariantList before;
        for (const DbRow& r : readings)
            before << r.value("NormalizedPermFlow") << r.value("NormalizedSaltPassage")
                   << r.value("NormalizedDP");
        m.p().ProjectDatabasePath = m.to;
        QVERIFY(RecalculateProject(m.p(), "P1", 1));
        QVariantList after;
        for (const DbRow& r : to.select("SELECT * FROM Data ORDER BY ID"))
            after << r.value("NormalizedPermFlow") << r.value("NormalizedSaltPassage")
                  << r.value("NormalizedDP");
        QCOMPARE(after, before);

        QCOMPARE(
            to.scalar("SELECT TurbidityRaw || ORP || UnitsORP || SDIFeed FROM UserDefined WHERE ProjectID "
                      "= 'P1'"),
            QVariant("SiltRedoxVSDIFeed"));
        const DbRow order = to.select("SELECT * FROM InputOrder WHERE ProjectID = 'P1'").first();
        QCOMPARE(order.toInt32("PermFlow"), 3);
        for (const QString c :
             {"PermFlow_3", "PermuS_3", "FeedPressure_3", "PermBackPress_3", "ConcPressure_2"})
            QCOMPARE(order.toInt32(c), 20 + QStringList({"PermFlow_3", "PermuS_3", "FeedPressure_3",
                                                         "PermBackPress_3", "ConcPressure_2"})
                                                .indexOf(c));
        QCOMPARE(m.p().ProjectDatabasePath, m.to);
        QVERIFY(m.p().IgnoreCalcErrors);
        QVERIFY(!m.p().RecalcAllRunning);
    }

    // The overwrite question: No keeps the TO project train and copies none of its
    // readings; Yes replaces it without keeping the old readings beside the new ones.
    void overwriteQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("no") << int(Answer::No);
        QTest::newRow("cancel") << int(Answer::Cancel);
        QTest::newRow("yes") << int(Answer::Yes);
    }
    void overwriteQuestion() {
        QFETCH(int, answer);
        MigrationEnv m;
        test::insertProjectInfo(m.from, 2, {{"FeedTemp", 11.0}});
        for (int i = 0; i < 3; ++i)
            test::insertReading(m.from, 2, {{"TheDate", QString("2021-01-0%1 00:00:00").arg(i + 1)}});
        test::insertProjectInfo(m.to, 3, {{"FeedTemp", 22.0}});
        test::insertReading(m.to, 3, {{"Note1", "kept"}});
        test::insertReading(m.to, 3, {{"Note1", "kept"}});
        m.env.prompts.onMessage(OverwriteQuestion, Buttons::YesNoCancel, Title, Answer(answer));
        NullView view;
        QVERIFY(m.run(view).completed);
        QCOMPARE(m.env.prompts.verify(), QString());
        const bool yes = Answer(answer) == Answer::Yes;
        QCOMPARE(cell(m.to, "SELECT FeedTemp FROM ProjectInfo").toDouble(), yes ? 11.0 : 22.0);
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM ProjectInfo").toInt(), 1);
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM Data").toInt(), yes ? 3 : 2);
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM Data WHERE Note1 = 'kept'").toInt(), yes ? 0 : 2);
        QCOMPARE(view.panels[1], yes ? QString(" and Bypassed 0 projects with 0 records.")
                                     : QString(" and Bypassed 1 project with 3 records."));
    }

    // A FROM train whose project row cannot be read (a bank count outside 1 to 3, a Null where
    // the project record needs a value) is left where it is, named with its column, and
    // replaces nothing in TO; the other trains are copied, and the tool fails naming it.
    void unusableProjectRowRefused_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("why");
        const auto range = [](int banks) {
            return "Column NumBanks of project B train 1 holds \"" + QString::number(banks) +
                   "\", which is not a whole number from 1 to 3.";
        };
        QTest::newRow("no banks") << "NumBanks" << QVariant(0) << range(0);
        QTest::newRow("four banks") << "NumBanks" << QVariant(4) << range(4);
        for (const char* c : {"PermBackPress", "CapacityM3D", "uStoPPM", "ConcPressure_1", "FeedTemp",
                              "DeltaPress_1", "NumBanks"})
            QTest::addRow("%s Null", c)
                << c << QVariant()
                << "Column " + QString(c) + " of project B train 1 holds no value, and one is needed.";
    }
    void unusableProjectRowRefused() {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QString, why);
        MigrationEnv m;
        for (const char* id : {"A", "B"}) {
            test::insertProjectInfo(m.from, 2, {{"ProjectID", id}});
            for (int i = 0; i < 3; ++i)
                test::insertReading(
                    m.from, 2, {{"ProjectID", id}, {"TheDate", QString("2021-01-0%1 00:00:00").arg(i + 1)}});
        }
        test::insertProjectInfo(m.to, 3, {{"ProjectID", "B"}, {"FeedTemp", 22.0}});
        test::insertReading(m.to, 3, {{"ProjectID", "B"}, {"Note1", "kept"}});
        const QString toCopy = m.env.path("copy.hv3.mdb");
        QVERIFY(QFile::copy(m.to, toCopy));
        NullView view;
        // Changed after the dialog tested the database, which may refuse such a file whole.
        Migration run(m.p(), tested(m.p(), m.from), tested(m.p(), m.to), view);
        Database::open(m.from).exec("UPDATE ProjectInfo SET " + column + " = ? WHERE ProjectID = 'B'",
                                    {value});
        const MigrationResult r = run.run();
        QVERIFY(r.completed);
        QCOMPARE(m.env.prompts.verify(), QString()); // no question over the TO train
        QCOMPARE(r.refused, QStringList{why});
        const QString leftOut = MigrationLeftOutText(r);
        QCOMPARE(leftOut, "1 project train was left in the FROM database with its readings. " + why);
        QCOMPARE(view.panels[1], QString(" and Bypassed 0 projects with 0 records."));
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM Data WHERE ProjectID = 'A'").toInt(), 3);
        QCOMPARE(cell(m.to, "SELECT group_concat(Note1) FROM Data WHERE ProjectID = 'B'").toString(),
                 QString("kept"));
        QCOMPARE(cell(m.to, "SELECT FeedTemp || '/' || NumBanks FROM ProjectInfo WHERE ProjectID = 'B'"),
                 QVariant("22.0/3"));

        // The tool, as the run: the train named, the others copied, and a failure.
        const QString path = QCoreApplication::applicationDirPath() + "/hevrin-migrate";
        if (!QFile::exists(path)) QSKIP("built without the bulk tools");
        QProcess tool;
        tool.start(path, {"--from", m.from, "--to", toCopy, "--elements", m.env.path("ostrelmem.mdb")});
        QVERIFY(tool.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() != 0 && said.contains(why), qPrintable(said));
        QCOMPARE(cell(toCopy, "SELECT COUNT(*) FROM Data WHERE ProjectID = 'A'").toInt(), 3);
        QCOMPARE(cell(toCopy, "SELECT group_concat(Note1) FROM Data WHERE ProjectID = 'B'").toString(),
                 QString("kept"));
    }

    // Saved graphs name their series by description, translated through both catalogues.
    void savedGraphSeriesNames() {
        MigrationEnv m;
        test::insertProjectInfo(m.from, 2);
        Database from = Database::open(m.from);
        Database to = Database::open(m.to);
        from.exec("INSERT INTO GraphSensors (ProjectID, Description, ColumnHeader) VALUES ('ALL', 'Old "
                  "only', 'OldCol')");
        to.exec("UPDATE GraphSensors SET Description = 'Feed temperature (new name)' WHERE ColumnHeader = "
                "'Temperature'");
        const QString fromTemp =
            from.scalar("SELECT Description FROM GraphSensors WHERE ColumnHeader = 'Temperature'").toString();
        const QString fromPerm =
            from.scalar("SELECT Description FROM GraphSensors WHERE ColumnHeader = 'PermFlow'").toString();
        const QString toPerm =
            to.scalar("SELECT Description FROM GraphSensors WHERE ColumnHeader = 'PermFlow'").toString();
        test::insertRow(m.from, "UserGraphs",
                        {{"ProjectID", "P1"},
                         {"TrainNumber", 1},
                         {"GraphName", "O'Brien's graph"},
                         {"S1Name", "Not a series"},
                         {"S2Name", "Nor this"},
                         {"S3Name", "Old only"},
                         {"S4Name", fromTemp},
                         {"YMax", 2.5},
                         {"SensorCount", 4}});
        test::insertRow(m.from, "UserGraphs",
                        {{"ProjectID", "P1"},
                         {"TrainNumber", 1},
                         {"GraphName", "second"},
                         {"S1Name", fromPerm},
                         {"SensorCount", 1}});
        NullView view;
        QVERIFY(m.run(view).completed);
        const DbRows g = to.select("SELECT * FROM UserGraphs ORDER BY ID");
        QCOMPARE(g.count(), 2);
        QCOMPARE(g.at(0).toText("GraphName"), QString("O'Brien's graph"));
        QCOMPARE(g.at(0).toText("S1Name"), QString("Not a series")); // series 1 keeps an unknown name
        QCOMPARE(g.at(0).toText("S2Name"), QString());               // the others lose it
        QCOMPARE(g.at(0).toText("S3Name"), QString("Old only"));     // no TO column: the FROM description
        QCOMPARE(g.at(0).toText("S4Name"), QString("Feed temperature (new name)"));
        QCOMPARE(g.at(0).toDouble("YMax"), 2.5);
        QCOMPARE(g.at(1).toText("S1Name"), toPerm);
        QCOMPARE(g.at(1).toText("S3Name"), QString()); // nothing leaks from the graph before
        QCOMPARE(view.panels[2], QString("Out of total 1 projects with 0 total records."));
    }

    // Readings with a Null in measurements the normalization does not compute with are
    // normalized, migrated or merged; the summary counts as calculated only the readings
    // whose results were stored.
    void nullMeasurementsNormalizedAndCounted_data() {
        QTest::addColumn<bool>("merge");
        QTest::newRow("two-bank") << false;
        QTest::newRow("merge") << true;
    }
    void nullMeasurementsNormalizedAndCounted() {
        QFETCH(bool, merge);
        MigrationEnv m(merge);
        const int banks = merge ? 3 : 2;
        test::insertProjectInfo(m.from, banks);
        QList<QVariantMap> readings{
            {{"ORP", QVariant()}, {"SDIRaw", QVariant()}},
            {{"pH", QVariant()}, {"TurbidityRaw", QVariant()}, {"EventID", QVariant()}},
            {{"ConcFlow", 0.0}}, // fails: division by zero
            {},
        };
        for (int i = 0; i < readings.size(); ++i) {
            readings[i]["TheDate"] = QString("2021-03-0%1 00:00:00").arg(i + 1);
            test::insertReading(m.from, banks, readings[i]);
        }
        NullView view;
        const MigrationResult r = m.run(view);
        QVERIFY(r.completed);
        QCOMPARE(m.env.prompts.verify(), QString());
        QCOMPARE(r.copied, 4);
        QCOMPARE(r.normalized, 3);
        QCOMPARE(r.failed, 1);
        QVERIFY2(r.firstFailure.startsWith("Calculation run caused an error #11"),
                 qPrintable(r.firstFailure));
        QCOMPARE(view.panels[0], QString("Updated 1 project with total 4 records. "));
        QCOMPARE(view.panels[3], QString(" Calculated 3 records of 4 1 could not be calculated. "));
        const DbRows stored = Database::open(m.to).select("SELECT * FROM Data ORDER BY TheDate");
        QCOMPARE(stored.count(), 4);
        QVERIFY(stored.at(0).isNull("ORP") && stored.at(0).isNull("SDIRaw"));
        QVERIFY(stored.at(1).isNull("pH") && stored.at(1).isNull("EventID"));
        for (int i : {0, 1, 3})
            QVERIFY(stored.at(i).toDouble("NormalizedPermFlow") > 0);
        // The reading that could not be calculated keeps no results.
        QVERIFY(stored.at(2).isNull("NormalizedPermFlow"));
        QVERIFY(stored.at(2).isNull("NormalizedDP"));
    }

    // A train keeps one reading per date, to the second, whatever form its dates were stored in:
    // the first stored of a date is copied, and the run says how many it left out and why, and
    // how many readings of no project train it left behind. A Null reference stays Null.
    void oneReadingPerTrainAndDate_data() {
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QString>("to"); // what TO holds of the train
        QTest::addColumn<QStringList>("notes");
        const QStringList three{"first", "short", "alone"};
        QTest::newRow("two-bank") << false << "" << three;
        QTest::newRow("merge") << true << "" << three;
        QTest::newRow("merge over the TO train") << true << "replaced" << three;
        // Readings TO holds without their project row count as the train's.
        QTest::newRow("merge beside TO readings of no project row")
            << true << "kept" << QStringList{"first", "short", "kept"};
    }
    void oneReadingPerTrainAndDate() {
        QFETCH(bool, merge);
        QFETCH(QString, to);
        QFETCH(QStringList, notes);
        MigrationEnv m(merge);
        const int banks = merge ? 3 : 2;
        test::insertProjectInfo(m.from, banks, {{"AvgConc", QVariant()}, {"Density", QVariant()}});
        const QList<std::pair<QString, QString>> readings{
            {"2021-03-01 00:45:00", "first"}, {"2021-03-01 00:45:00", "twice"},
            {"2021-03-02 00:45", "short"},    {"2021-03-02 00:45:00", "long"},
            {"2021-03-02T00:45:00", "tee"},   {"2021-03-03 00:45:00", "alone"}};
        for (const auto& [date, note] : readings)
            test::insertReading(m.from, banks, {{"TheDate", date}, {"Note1", note}});
        // Readings of no project train of FROM.
        test::insertReading(m.from, banks, {{"ProjectID", "Gone"}, {"TheDate", "2021-03-01 00:00:00"}});
        test::insertReading(m.from, banks, {{"TrainNumber", 2}, {"TheDate", "2021-03-01 00:00:00"}});
        if (!to.isEmpty()) {
            if (to == "replaced") {
                test::insertProjectInfo(m.to, 3);
                m.env.prompts.onMessage(OverwriteQuestion, Buttons::YesNoCancel, Title, Answer::Yes);
            }
            test::insertReading(m.to, 3, {{"TheDate", "2021-03-03 00:45"}, {"Note1", to}});
        }
        NullView view;
        const MigrationResult r = m.run(view);
        QVERIFY(r.completed);
        QCOMPARE(m.env.prompts.verify(), QString());
        const int kept = to == "kept" ? 1 : 0;
        QCOMPARE(r.copied, 3 - kept);
        QCOMPARE(r.sameDate, 3 + kept);
        QCOMPARE(r.orphaned, 2);
        QCOMPARE(
            MigrationLeftOutText(r),
            QString::number(3 + kept) +
                QString(" readings were left out: their project train already held a reading at that date "
                        "and time, and a train keeps one reading per date. 2 readings were left in the FROM "
                        "database: they name a project train that has no project row there (Gone train 1: "
                        "1, P1 train 2: 1)."));
        const DbRows stored = Database::open(m.to).select("SELECT * FROM Data ORDER BY TheDate");
        QStringList storedNotes;
        for (const DbRow& row : stored)
            storedNotes << row.toText("Note1");
        QCOMPARE(storedNotes, notes);
        QCOMPARE(stored.at(1).toText("TheDate"), QString("2021-03-02 00:45:00"));
        const DbRow project = Database::open(m.to).select("SELECT * FROM ProjectInfo").first();
        QVERIFY(project.isNull("AvgConc"));
        QVERIFY(project.isNull("Density"));
    }

    // A date another program stored in a spelling the date rule reads is the instant it names:
    // the reading is left out as the same date, in FROM or held by TO, and the copy is stored
    // in the stored form. One the rule cannot read is named with its train and left in FROM;
    // in TO it stops the run, named.
    void datesOfOtherPrograms_data() {
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<bool>("inTo"); // TO holds the spelling; FROM the stored form
        QTest::addColumn<int>("same");  // 1 left out as the same date, 0 named as unreadable
        const auto row = [](const char* name, const char* spelling, bool inTo, int same) {
            QTest::newRow(name) << spelling << inTo << same;
        };
        row("a fraction of zeros", "2020-01-02 01:00:00.000", false, 1);
        row("slashes", "2020/01/02 01:00:00", false, 1);
        row("a one-digit hour", "2020-01-02 1:00:00", false, 1);
        row("a trailing blank", "2020-01-02 01:00:00 ", false, 1);
        row("slashes, held by TO", "2020/01/02 1:00:00", true, 1);
        row("a fraction not zero", "2020-01-02 01:00:00.500", false, 0);
        row("the day first", "10/01/2020 08:00", false, 0);
        row("no such day", "2020-02-30 01:00:00", false, 0);
        row("the day first, held by TO", "10/01/2020 08:00", true, 0);
    }
    void datesOfOtherPrograms() {
        QFETCH(QString, spelling);
        QFETCH(bool, inTo);
        QFETCH(int, same);
        MigrationEnv m(true);
        test::insertProjectInfo(m.from, 3);
        test::insertReading(m.from, 3, {{"TheDate", "2020-01-02 01:00:00"}, {"Note1", "first"}});
        test::insertReading(m.from, 3, {{"TheDate", "2020-01-03 01:00:00"}, {"Note1", "third"}});
        if (inTo)
            test::insertReading(m.to, 3, {{"TheDate", spelling}, {"Note1", "held"}});
        else
            test::insertReading(m.from, 3, {{"TheDate", spelling}, {"Note1", "second"}});
        NullView view;
        if (inTo && !same)
            m.env.prompts.onMessage("A reading the TO database holds for P1 train 1 holds \"" + spelling +
                                        "\", which is not a date.",
                                    Buttons::OK, Title, Answer::OK);
        const MigrationResult r = m.run(view);
        QCOMPARE(m.env.prompts.verify(), QString());
        if (inTo && !same) {
            QVERIFY(!r.completed);
            QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM Data").toInt(), 1);
            return;
        }
        QVERIFY(r.completed);
        QCOMPARE(r.sameDate, same);
        QCOMPARE(r.unreadable, 1 - same);
        const QString named = "A reading of P1 train 1 holds \"" + spelling + "\", which is not a date.";
        QCOMPARE(r.unreadableDates, same ? QStringList() : QStringList{named});
        if (!same)
            QCOMPARE(MigrationLeftOutText(r),
                     "1 reading was left in the FROM database: its date cannot be read. " + named);
        QCOMPARE(cell(m.to,
                      "SELECT group_concat(Note1 || ' ' || TheDate, ', ') FROM (SELECT * FROM Data WHERE "
                      "Note1 <> 'held' ORDER BY TheDate)")
                     .toString(),
                 QString(inTo ? "" : "first 2020-01-02 01:00:00, ") + "third 2020-01-03 01:00:00");
        QCOMPARE(view.panels[1], QString(" and Bypassed 0 projects with 0 records."));
    }

    // A reading normalized before it is written is stored as the same reading written
    // first and normalized as stored, whatever its values: texts, Nulls, failures.
    void normalizedBeforeWritingAsAfter_data() {
        QTest::addColumn<bool>("merge");
        QTest::newRow("two-bank") << false;
        QTest::newRow("merge") << true;
    }
    void normalizedBeforeWritingAsAfter() {
        QFETCH(bool, merge);
        MigrationEnv m(merge);
        const int banks = merge ? 3 : 2;
        test::insertProjectInfo(m.from, banks);
        const QList<QVariantMap> readings{
            {},
            {{"ORP", QVariant()}, {"SDIRaw", QVariant()}},
            {{"ConcFlow", 0.0}},
            {{"pH", "7.1"}, {"FeedPressure", "12.345678"}},
            {{"pH", "abc"}},
            {{"TheDate", QVariant()}},
            {{"EventID", "3"}, {"Note1", "text"}},
            {{"Temperature", QVariant()}},
            {{"ElapsedTimeHrs", "n/a"}},
            {{"PermFlow", 1e-9}, {"ConcFlow", 123456789.123}},
        };
        for (int i = 0; i < readings.size(); ++i) {
            QVariantMap r = readings[i];
            if (!r.contains("TheDate")) r["TheDate"] = QString("2021-03-%1 06:00:00").arg(i + 10);
            test::insertReading(m.from, banks, r);
        }
        const QString once = m.env.path("once.hv3.mdb"), twice = m.env.path("twice.hv3.mdb");
        QVERIFY(QFile::copy(m.to, once) && QFile::copy(m.to, twice));
        qint32 normalized[2] = {};
        for (bool before : {true, false}) {
            m.to = before ? once : twice;
            NullView view;
            const MigrationResult r = m.run(view, before);
            QVERIFY(r.completed);
            QCOMPARE(r.copied, int(readings.size()));
            normalized[before] = r.normalized;
        }
        QCOMPARE(normalized[1], normalized[0]);
        QCOMPARE(normalized[1], 5); // the first, second, fourth, seventh and tenth
        const DbRows a = Database::open(once).select("SELECT * FROM Data ORDER BY ID");
        const DbRows b = Database::open(twice).select("SELECT * FROM Data ORDER BY ID");
        QCOMPARE(a.count(), b.count());
        // Newest first: the last reading written to FROM is the first copied.
        for (int i = 0; i < a.count(); ++i)
            QCOMPARE(!a.at(a.count() - 1 - i).isNull("NormalizedPermFlow"),
                     QList<int>({0, 1, 3, 6, 9}).contains(i));
        const QStringList columns = Database::open(once).columns("Data");
        for (int i = 0; i < a.count(); ++i)
            for (const QString& c : columns)
                if (a.at(i).value(c) != b.at(i).value(c))
                    QFAIL(qPrintable(QString("reading %1, %2: %3 against %4")
                                         .arg(i)
                                         .arg(c, a.at(i).value(c).toString(), b.at(i).value(c).toString())));
    }

    // One file under two spellings is one database: the run refuses it before it asks
    // to overwrite anything, and every reading stays.
    void sameFileUnderTwoNamesRefused_data() {
        QTest::addColumn<QString>("spelling");
        QTest::newRow("symlinked folder") << "link";
        QTest::newRow("relative") << "relative";
        QTest::newRow("hard link") << "hard";
    }
    void sameFileUnderTwoNamesRefused() {
        QFETCH(QString, spelling);
        MigrationEnv m(true);
        test::insertProjectInfo(m.from, 3);
        for (int i = 0; i < 5; ++i)
            test::insertReading(m.from, 3, {{"TheDate", QString("2021-01-0%1 00:00:00").arg(i + 1)}});
        QDir().mkpath(m.env.path("real"));
        const QString real = m.env.path("real/x.hv3.mdb");
        QVERIFY(QFile::rename(m.from, real));
        QString other;
        const QString savedCwd = QDir::currentPath();
        if (spelling == "link") {
            QVERIFY(QFile::link(m.env.path("real"), m.env.path("alias")));
            other = m.env.path("alias/x.hv3.mdb");
        } else if (spelling == "relative") {
            QDir::setCurrent(m.env.path("real"));
            other = "./x.hv3.mdb";
        } else {
            QCOMPARE(::link(QFile::encodeName(real).constData(),
                            QFile::encodeName(m.env.path("x2.hv3.mdb")).constData()),
                     0);
            other = m.env.path("x2.hv3.mdb");
        }
        QVERIFY(other != real);
        QVERIFY(SameDatabaseFile(other, real));
        QVERIFY(!SameDatabaseFile(m.to, real));
        m.from = other;
        m.to = real;
        m.env.prompts.onMessage("Both databases are the same.", Buttons::OK, Title, Answer::OK);
        NullView view;
        const MigrationResult r = m.run(view);
        QDir::setCurrent(savedCwd);
        QVERIFY(!r.completed);
        QCOMPARE(m.env.prompts.verify(), QString());
        QCOMPARE(cell(real, "SELECT COUNT(*) FROM Data").toInt(), 5);
        QCOMPARE(cell(real, "SELECT COUNT(*) FROM ProjectInfo").toInt(), 1);
    }

    // The dialog: a FROM chosen as the TO file under another name is reported, the start
    // stays disabled, and a start anyway deletes nothing.
    void dialogRefusesSameFileUnderAnotherName() {
        MigrationEnv m(true);
        test::insertProjectInfo(m.to, 3);
        for (int i = 0; i < 4; ++i)
            test::insertReading(m.to, 3, {{"TheDate", QString("2021-01-0%1 00:00:00").arg(i + 1)}});
        QVERIFY(QFile::link(m.env.path(""), m.env.path("alias")));
        Program& p = m.p();
        p.ProjectDatabasePath = m.to;
        dlgMigrate d(p);
        d.Form_Load();
        QCOMPARE(d.To.path, m.to);
        m.env.prompts.onOpenFile(m.env.path("alias/db.hv3.mdb"))
            .onMessage("Continue with this three bank database and merge", Buttons::OKCancel, Title,
                       Answer::OK)
            .onMessage("Both databases are the same.", Buttons::OK, Title, Answer::OK);
        d.cmdSelect2DB->click();
        QCOMPARE(m.env.prompts.verify(), QString());
        QCOMPARE(d.From.path, m.env.path("alias/db.hv3.mdb"));
        QVERIFY(!d.cmdMigrate->isEnabled());
        m.env.prompts.onMessage("Both databases are the same.", Buttons::OK, Title, Answer::OK);
        d.cmdMigrate_Click();
        QCOMPARE(m.env.prompts.verify(), QString());
        QVERIFY(d.lblDone->text().isEmpty());
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM Data").toInt(), 4);
    }

    // Opened after a two-bank database was chosen, with the three-bank one open before as
    // TO: both paths and every status text can be read, before and after the run, and the
    // run writes to the database the TO box names.
    void dialogShowsWholePathsAndWritesWhereItSays() {
        MigrationEnv m;
        const QString fromFolder =
            m.env.path("Plant operations archive/North bay desalination/2019 commissioning");
        const QString toFolder =
            m.env.path("Plant operations archive/Consolidated records of all trains/current");
        QDir().mkpath(fromFolder);
        QDir().mkpath(toFolder);
        const QString from = fromFolder + "/northbay-train-records-2019.hv.mdb";
        const QString to = toFolder + "/consolidated-plant-records.hv3.mdb";
        QVERIFY(QFile::rename(m.from, from));
        QVERIFY(QFile::rename(m.to, to));
        test::makeBlankDatabase(m.env.path("db.hv3.mdb")); // the data folder's own stays untouched
        test::insertProjectInfo(from, 2, {{"ProjectID", "North Bay Desal T1"}});
        for (int i = 0; i < 3; ++i)
            test::insertReading(from, 2,
                                {{"ProjectID", "North Bay Desal T1"},
                                 {"TheDate", QString("2021-01-0%1 00:00:00").arg(i + 1)},
                                 {"ConcFlow", i == 1 ? 0.0 : 20.0}}); // the second cannot be calculated
        Program& p = m.p();
        p.ProjectDatabasePath = from;
        p.PreviousDatabasePath = to;
        dlgMigrate d(p);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCoreApplication::processEvents();
        QCOMPARE(d.txt2BankDB->text(), from);
        QCOMPARE(d.txt3BankDB->text(), to);
        QCOMPARE(d.lblDB3Info->text(), QString("MIGRATE TO this 3 Bank DB"));
        QCOMPARE(test::cutOffTexts(&d).join('\n'), QString());

        m.env.prompts.onMessage(
            "The migration copied every project train, but 1 reading could not be "
            "calculated and keeps no calculated values; the first: Calculation run caused "
            "an error #11",
            Buttons::OK, "Hevrin", Answer::OK);
        d.cmdMigrate->click();
        QCoreApplication::processEvents();
        QCOMPARE(m.env.prompts.verify(), QString());
        QCOMPARE(d.lblDone->text(), QString("MIGRATION COMPLETE, 1 NOT CALCULATED"));
        QCOMPARE(d.StatusBar1[2]->text(), QString("Out of total 1 projects with 3 total records."));
        QCOMPARE(test::cutOffTexts(&d).join('\n'), QString());
        QCOMPARE(p.ProjectDatabasePath, d.txt3BankDB->text());
        QCOMPARE(
            cell(d.txt3BankDB->text(), "SELECT COUNT(*) FROM Data WHERE ProjectID = 'North Bay Desal T1'")
                .toInt(),
            3);
        QCOMPARE(cell(m.env.path("db.hv3.mdb"), "SELECT COUNT(*) FROM Data").toInt(), 0);

        // A second run that the database stops does not keep the first run's word.
        Database::open(to).exec("CREATE TRIGGER refuse BEFORE INSERT ON ProjectInfo BEGIN SELECT "
                                "RAISE(ABORT, 'refused by the test'); END");
        m.env.prompts.onMessage(OverwriteQuestion, Buttons::YesNoCancel, Title, Answer::Yes)
            .onMessage("refused by the test", Buttons::OK, Title, Answer::OK);
        d.cmdMigrate->click();
        QCOMPARE(m.env.prompts.verify(), QString());
        QCOMPARE(d.lblDone->text(), QString());
        QVERIFY(d.StatusBar1[0]->text().startsWith("Migration stopped"));
        QCOMPARE(cell(to, "SELECT COUNT(*) FROM Data").toInt(), 3);
        d.hide();
    }

    // The sample database shipped for new users migrates whole.
    void shippedSample() {
        MigrationEnv m;
        QFile::remove(m.from);
        QVERIFY(QFile::copy(QString(HEVRIN_TEMPLATE_DIR) + "/../sample.hv.mdb", m.from));
        NullView view;
        QVERIFY(m.run(view).completed);
        QCOMPARE(view.panels[0], QString("Updated 1 project with total 90 records. "));
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM Data WHERE NormalizedPermFlow > 0").toInt(), 90);
    }

    // A three-bank database merged into another keeps every raw value as stored: no rounding,
    // no system flow derived again from the banks, bank 1's own back pressure.
    void mergeThreeBank() {
        MigrationEnv m(true);
        test::insertProjectInfo(m.from, 3, {{"ProjectID", "M3"}, {"PermBackPress_1", 0.7}});
        const QVariantMap raw{{"ProjectID", "M3"},         {"PermBackPress", 0.5}, {"PermBackPress_1", 0.2},
                              {"FeedPressure", 79.175658}, {"FeeduS", 123456.789}, {"SDIRaw", 0.000123456},
                              {"PermFlow_1", 100.2},       {"PermFlow_2", 140.2},  {"Permflow_3", 140.203},
                              {"PermFlow", 380.6}};
        test::insertReading(m.from, 3, raw);
        NullView view;
        QVERIFY(m.run(view).completed);
        const DbRow r = Database::open(m.to).select("SELECT * FROM Data").first();
        for (auto it = raw.begin(); it != raw.end(); ++it)
            QCOMPARE(r.value(it.key()), it.value());
        QVERIFY(!r.isNull("NormalizedPermFlow"));
        QCOMPARE(cell(m.to, "SELECT PermBackPress_1 FROM ProjectInfo").toDouble(), 0.7);
    }

    // A run that stops while it copies project train B (a full disk, a refused insert, another
    // program's lock, the user's stop) keeps A, copied whole before it, and leaves B and every
    // later train of TO as they were, replaced or new; the message names what was copied whole.
    // The program stays on the database it was on.
    void stopLeavesUnfinishedTrainsAsTheyWere_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("words"); // the failure's own words
        QTest::addColumn<QString>("copiedWhole");
        QTest::newRow("full disk, overwrite") << "full" << true << "disk I/O error"
                                              << "A Train # 1";
        QTest::newRow("full disk, new train") << "full" << false << "disk I/O error"
                                              << "A Train # 1";
        QTest::newRow("refused insert, new train") << "refused" << false << "refused by the test"
                                                   << "A Train # 1";
        QTest::newRow("lock, overwrite") << "lock" << true << "database is locked"
                                         << "A Train # 1";
        QTest::newRow("user's stop, overwrite") << "stop" << true << "The migration was stopped by the user."
                                                << "A Train # 1";
        // Locked from the start: the lock is named as a lock, not as a file of another kind.
        QTest::newRow("TO locked from the start") << "locked" << false << "database is locked"
                                                  << "";
        QTest::newRow("FROM without its Data table") << "no Data" << false << "no table or view named 'Data'"
                                                     << "";
    }
    void stopLeavesUnfinishedTrainsAsTheyWere() {
        QFETCH(QString, how);
        QFETCH(bool, overwrite);
        QFETCH(QString, words);
        QFETCH(QString, copiedWhole);
        MigrationEnv m;
        const int inB = 30;
        for (const char* id : {"A", "B", "C"}) {
            test::insertProjectInfo(m.from, 2, {{"ProjectID", id}, {"FeedTemp", 11.0}});
            for (int i = 0; i < (QByteArray(id) == "B" ? inB : 3); ++i)
                test::insertReading(m.from, 2,
                                    {{"ProjectID", id},
                                     {"TheDate", QDateTime(QDate(2021, 1, 1), QTime(0, 0))
                                                     .addSecs(3600 * i)
                                                     .toString("yyyy-MM-dd hh:mm:ss")},
                                     {"Note1", i == inB / 2 ? "boom" : "ok"}});
        }
        test::insertRow(m.from, "UserDefined", {{"ProjectID", "B"}, {"ORP", "from"}});
        if (overwrite) {
            test::insertProjectInfo(m.to, 3, {{"ProjectID", "B"}, {"FeedTemp", 22.0}});
            for (int i = 0; i < 5; ++i)
                test::insertReading(m.to, 3, {{"ProjectID", "B"}, {"Note1", "kept"}});
            test::insertRow(m.to, "UserDefined", {{"ProjectID", "B"}, {"ORP", "kept"}});
            m.env.prompts.onMessage(OverwriteQuestion, Buttons::YesNoCancel, Title, Answer::Yes);
        }
        if (how == "refused")
            Database::open(m.to).exec("CREATE TRIGGER refuse BEFORE INSERT ON Data WHEN NEW.Note1 = 'boom' "
                                      "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
        const auto trainsOtherThanA = [&] {
            QStringList rows;
            Database db = Database::open(m.to);
            for (const QString table : {"ProjectInfo", "Data", "UserDefined", "InputOrder"})
                for (const DbRow& r :
                     db.select("SELECT * FROM " + table + " WHERE ProjectID <> 'A' ORDER BY ID")) {
                    QStringList values;
                    for (const QVariant& v : r.values())
                        values << v.toString();
                    rows << table + ": " + values.join('|');
                }
            return rows;
        };
        const QStringList before = trainsOtherThanA();

        struct StopView : NullView {
            QString how, to;
            std::optional<test::FileSizeLimit> limit;
            std::optional<test::ForeignLock> other;
            bool yieldAndCheckCancel() override {
                if (!panels[2].contains(" in B,")) return false;
                if (how == "full" && !limit) limit.emplace(QFileInfo(to).size() + 1024);
                // Another program reads the database and keeps its read open.
                if (how == "lock" && !other) other.emplace(to, test::ForeignLock::Kind::Read);
                return how == "stop";
            }
        } view;
        view.how = how;
        view.to = m.to;
        Migration run(m.p(), tested(m.p(), m.from), tested(m.p(), m.to), view);
        run.batches.rows = 3;
        run.batches.millis = 0;
        std::optional<test::ForeignLock> holder;
        if (how == "no Data") Database::open(m.from).exec("ALTER TABLE Data RENAME TO Readings");
        if (how == "locked") {
            holder.emplace(m.to, test::ForeignLock::Kind::Exclusive);
            QVERIFY(holder->held());
        }
        m.p().ProjectDatabasePath = m.from;
        m.p().CurrentProject.ProjectID = "Before";
        m.p().IgnoreCalcErrors = false;
        m.env.prompts.onMessage(words, Buttons::OK, Title, Answer::OK);
        const MigrationResult r = run.run();
        view.limit.reset();
        view.other.reset();
        holder.reset();
        QCOMPARE(m.env.prompts.verify(), QString());
        const QString said = m.env.prompts.shown().last();
        QVERIFY2(!said.contains("Unrecognized database format"), qPrintable(said));
        QVERIFY2(copiedWhole.isEmpty() ? said.contains("No project train was copied")
                                       : said.contains("Copied whole to " + m.to + ": " + copiedWhole + "."),
                 qPrintable(said));
        QVERIFY(!r.completed);
        // The tool says what the window says.
        QVERIFY2(said.startsWith(MigrationStopText(r, m.to)), qPrintable(MigrationStopText(r, m.to)));
        QCOMPARE(r.copiedWhole.join(", "), copiedWhole);
        QCOMPARE(m.p().ProjectDatabasePath, m.from);
        QCOMPARE(m.p().CurrentProject.ProjectID, QString("Before"));
        QVERIFY(!m.p().IgnoreCalcErrors);
        QVERIFY(!m.p().RecalcAllRunning);
        QCOMPARE(trainsOtherThanA(), before);
        const int a = copiedWhole.isEmpty() ? 0 : 3;
        QCOMPARE(r.copied, a);
        QCOMPARE(r.normalized, a);
        QCOMPARE(cell(m.to, "SELECT COUNT(*) FROM ProjectInfo WHERE ProjectID = 'A'").toInt(), a / 3);
        QCOMPARE(
            cell(m.to, "SELECT COUNT(*) FROM Data WHERE ProjectID = 'A' AND NormalizedPermFlow > 0").toInt(),
            a);
    }

    void backupName() {
        const QDateTime when(QDate(2014, 2, 24), QTime(15, 30, 12));
        QCOMPARE(MigrationBackupName("/data/db.hv3.mdb", when), QString("db.hv3.2014Feb24-153012.mdb"));
        QCOMPARE(MigrationBackupName("/data/plant.hv3.mdb", when), QString("plant.hv3.2014Feb24-153012.mdb"));
        QCOMPARE(MigrationBackupName("/data/a.b", when), QString());
    }

    // The dialog: proposals on opening, start only with two tested databases, Cancel in
    // the backup copies nothing, the close question before a run.
    void dialogChoicesAndClose() {
        MigrationEnv m;
        test::insertProjectInfo(m.from, 2);
        Program& p = m.p();
        p.ProjectDatabasePath = m.to; // three-bank open: TO is it, FROM the default two-bank file
        QFile::copy(m.from, m.env.path("DB.hv.mdb"));
        dlgMigrate d(p);
        d.Form_Load();
        QCOMPARE(d.txt2BankDB->text(), m.env.path("DB.hv.mdb"));
        QCOMPARE(d.lblDB2Info->text(), QString("Migrate FROM Default 2 Bank DB"));
        QCOMPARE(d.lblDB3Info->text(), QString("MIGRATE TO Default 3 Bank DB"));
        QCOMPARE(d.lblVer2->text(), QString("v. 1.2.7"));
        QVERIFY(d.cmdMigrate->isEnabled());

        // A two-bank TO is refused and the TO side stays.
        m.env.prompts.onOpenFile(m.from).onMessage("is a 2 bank version. v1.2.7", Buttons::OK, Title,
                                                   Answer::OK);
        d.cmdSelect3DB->click();
        QCOMPARE(d.To.path, m.to);

        // FROM equal to TO: the start button waits for another choice.
        m.env.prompts.onOpenFile(m.to)
            .onMessage("is already a 3 bank database version. 1. >3< .38", Buttons::OKCancel, Title,
                       Answer::OK)
            .onMessage("Both databases are the same.", Buttons::OK, Title, Answer::OK);
        d.cmdSelect2DB->click();
        QVERIFY(!d.cmdMigrate->isEnabled());
        QVERIFY(!p.SuppressDbUpgrade);

        // Backup: Cancel copies nothing; a chosen name gets a whole copy.
        m.env.prompts.onSaveFile("");
        d.cmdBackUp->click();
        QCOMPARE(QDir(m.env.path("")).entryList({"*.2014*"}).size(), 0);
        d.now = [] { return QDateTime(QDate(2014, 2, 24), QTime(15, 30, 12)); };
        m.env.prompts.onSaveFile(m.env.path("db.hv3.2014Feb24-153012.mdb"));
        d.cmdBackUp->click();
        QCOMPARE(d.StatusBar1[2]->text(), QString("Backed Up OK!"));
        QVERIFY(QFileInfo::exists(m.env.path("db.hv3.2014Feb24-153012.mdb")));

        // Closing without a run under way asks nothing, and neither does the program's exit,
        // which closes the dialog again.
        d.show();
        d.cmdexit->click();
        QVERIFY(!d.isVisible());
        auto* loaded = new dlgMigrate(p);
        p.windows.add("dlgMigrate", loaded);
        loaded->show();
        loaded->cmdexit->click();
        QVERIFY(!loaded->isVisible());
        QCOMPARE(m.env.prompts.verify(), QString());
        QVERIFY(p.windows.unloadAll());
        QVERIFY(!p.windows.isLoaded("dlgMigrate"));
        QCOMPARE(m.env.prompts.verify(), QString());
    }

    // Closing while a run is under way asks; Cancel lets the run finish where it was.
    void closeQuestionWhileRunning() {
        MigrationEnv m;
        test::insertProjectInfo(m.from, 2);
        test::insertReading(m.from, 2);
        Program& p = m.p();
        p.ProjectDatabasePath = m.from;
        p.PreviousDatabasePath = m.to;
        dlgMigrate d(p);
        d.show();
        QVERIFY(d.cmdMigrate->isEnabled());
        QTimer::singleShot(0, &d, [&d] { d.close(); });
        m.env.prompts.onMessage("Calculations and Migraton not complete!  Quit anyway?", Buttons::OKCancel,
                                Title, Answer::Cancel);
        d.cmdMigrate->click();
        QCOMPARE(m.env.prompts.verify(), QString());
        QVERIFY(d.isVisible());
        QCOMPARE(d.lblDone->text(), QString("MIGRATION COMPLETE"));
        d.cmdexit->click();
        QVERIFY(!d.isVisible());
        QCOMPARE(m.env.prompts.verify(), QString());
    }

    // Start-up on a two-bank current database leads through the dialog to a main window
    // on the migrated database.
    void startupOnTwoBankDatabase() {
        test::TestEnv env;
        const QString templates = env.system.programDir + "/templates";
        QDir().mkpath(templates);
        test::makeBlankDatabase(templates + "/db.hv3.mdb");
        test::makeElementDatabase(templates + "/ostrelmem.mdb");
        Program& p = env.prog();
        RegisterCoreWindows(p);
        RegisterMigrationWindows(p);
        p.EndProgram = [](int) {};
        const QString data = env.path("user/Hevrin");
        QDir().mkpath(data);
        const QString old = test::makeTwoBankDatabase(data + "/plant.hv.mdb");
        test::insertProjectInfo(old, 2);
        test::insertReading(old, 2);
        test::insertReading(old, 2, {{"TheDate", "2020-01-03 00:00:00"}});
        WriteIniValue("Current Project", "ShowSplash", data + "/hevrin.ini", "No");
        WriteIniValue("Current Project", "Project", data + "/hevrin.ini", "P1");
        WriteIniValue("Current Project", "Database", data + "/hevrin.ini", old);

        env.prompts.onMessage("You are starting Hevrin with an old, two bank database.", Buttons::OK, Title,
                              Answer::OK);
        bool drove = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* d = p.windows.findAs<dlgMigrate>("dlgMigrate");
            if (!d || QApplication::activeModalWidget() != d) return;
            poll.stop();
            QCOMPARE(d->From.path, old);
            QCOMPARE(d->To.path, data + "/db.hv3.mdb");
            d->cmdMigrate->click();
            QCOMPARE(d->lblDone->text(), QString("MIGRATION COMPLETE"));
            d->cmdexit->click();
            drove = true;
        });
        poll.start();
        QVERIFY(!Main(p).endProgram);
        QVERIFY(drove);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.ProjectDatabasePath, data + "/db.hv3.mdb");
        QCOMPARE(p.DbVersionNumber, 1003000); // an export names the migrated database's version
        QVERIFY(p.CurrentProjectLoaded);
        QCOMPARE(p.status.text(1), QString("Current Project: P1 Train: 1"));
        QCOMPARE(p.mainLabels.lblDatabase(), "Database: " + data + "/db.hv3.mdb");
        QCOMPARE(cell(p.ProjectDatabasePath, "SELECT COUNT(*) FROM Data").toInt(), 2);
        for (const QString& name : p.windows.loadedNames())
            delete p.windows.find(name);
    }
};

HV_FIT_TEST_MAIN(TestMigration)
#include "tst_migration.moc"
