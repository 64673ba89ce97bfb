#include <QtTest>

#include "core/settings.h"
#include "core/typedinput.h"
#include "core/units.h"
#include "graphs/chartmodel.h"
#include "graphs/graphmanager.h"
#include "graphs/savedgraphs.h"
#include "graphtestsupport.h"

using namespace hv;
using namespace hv::test;

class tst_GraphManager : public QObject {
    Q_OBJECT

    TestEnv env;
    QString db() { return env.prog().ProjectDatabasePath; }

private slots:
    void initTestCase() {
        makeBlankDatabase(db());
        InitUnits(env.prog());
        insertProjectInfo(db(), 3, {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"NumTrains", 3}});
        insertProjectInfo(db(), 3, {{"ProjectID", "P2"}, {"TrainNumber", 1}, {"NumTrains", 1}});
        insertProjectInfo(db(), 3, {{"ProjectID", "P1"}, {"TrainNumber", 3}, {"NumTrains", 3}});
    }

    void projectItemsAndTitles() {
        // The item of the current project train is selected; train 0 reads as 1.
        for (const auto& [project, train, selected] :
             std::initializer_list<std::tuple<const char*, int, int>>{
                 {"P1", 0, 0}, {"P1", 1, 0}, {"p1", 3, 2}, {"P1", 2, -1}, {"P3", 1, -1}}) {
            env.prog().CurrentProject.ProjectID = project;
            env.prog().CurrentProject.TrainNumber = qint16(train);
            int select = -2;
            QCOMPARE(LoadProjectItems(env.prog(), select),
                     (std::vector<ProjectTrainKey>{{"P1", 1}, {"P2", 1}, {"P1", 3}}));
            QCOMPARE(select, selected);
        }
        env.prog().CurrentProject = {};
        // An item is found by its key, whatever its text holds; train 0 is train 1.
        const std::vector<ProjectTrainKey> items{{"Lake", 1}, {"Lake Train:2", 1}, {"Lake", 2}, {"P0", 0}};
        QCOMPARE(ProjectItemIndex(items, "Lake Train:2", 1), 1);
        QCOMPARE(ProjectItemIndex(items, "lake", 2), 2);
        QCOMPARE(ProjectItemIndex(items, "P0", 1), 3);
        QCOMPARE(ProjectItemIndex(items, "Lake", 3), -1);
        QCOMPARE(ProjectTitle("P1", 1), QString("P1"));
        QCOMPARE(ProjectTitle("P1", 3), QString("P1 Train: 3"));
        QCOMPARE(ReadNumTrains(env.prog(), "P1").value_or(-1), qint16(3));
        QVERIFY(!ReadNumTrains(env.prog(), "None").has_value());
    }

    void recordedPeriod() {
        insertGraphRows(db(), {{"P1", 2, at(2024, 3, 1, 10, 30), 12.5, {}},
                               {"P1", 2, at(2024, 2, 1, 8), 4, {}},
                               {"P1", 1, at(2023, 1, 1), 0, {}}});
        const RecordedPeriod r = GetStartDate(env.prog(), "P1", 2);
        QCOMPARE(r.start, at(2024, 2, 1, 8));
        QCOMPARE(r.end, at(2024, 3, 2, 10, 30));
        // The first and last instants, whatever the spelling of their dates; the end never
        // past the last instant a date can hold.
        Database data = Database::open(db());
        for (const char* date : {"2021-03-01 08:00:00", "2021-03-01T06:00:00", "2021-03-01", "2021-03-02 bad",
                                 "9999-12-31T12:00", "9999-12-31 08:00:00"})
            data.exec("INSERT INTO Data (ProjectID, TrainNumber, TheDate) VALUES ('SP', 1, ?)", {date});
        const RecordedPeriod spelled = GetStartDate(env.prog(), "SP", 1);
        QCOMPARE(spelled.start, at(2021, 3, 1));
        QCOMPARE(spelled.end, LastStoredInstant());
        data.exec(
            "DELETE FROM Data WHERE ProjectID = 'SP' AND TheDate IN ('2021-03-01', '9999-12-31T12:00')");
        QCOMPARE(GetStartDate(env.prog(), "SP", 1).start, at(2021, 3, 1, 6));
        const RecordedPeriod none = GetStartDate(env.prog(), "P1", 9);
        QCOMPARE(none.end, env.system.clock);
        QCOMPARE(none.start, env.system.clock.addDays(-7));
        QCOMPARE(OldestReading(env.prog(), "P1").value(), at(2023, 1, 1));
        // The project's oldest by instant, over every train that holds readings.
        data.exec(
            "INSERT INTO Data (ProjectID, TrainNumber, TheDate) VALUES ('SP', 4, '2021-03-01 07:00:00')");
        QCOMPARE(OldestReading(env.prog(), "SP").value(), at(2021, 3, 1, 6));
        data.exec(
            "INSERT INTO Data (ProjectID, TrainNumber, TheDate) VALUES ('SP', 2.5, '2021-03-01 05:00:00')");
        QCOMPARE(OldestReading(env.prog(), "SP").value(), at(2021, 3, 1, 5));
        QVERIFY(!OldestReading(env.prog(), "none").has_value());
    }

    void seriesListWithUserCaptions() {
        env.prog().CurrentProject.ProjectID = "P1";
        auto list = LoadSeriesList(env.prog(), "P1");
        QVERIFY(list.has_value());
        QCOMPARE(list->descriptions.size(), 51);
        QCOMPARE(list->descriptions.value(0), QString("System Normalized Permeate Flow")); // [Order] 1
        const int raw = int(list->columns.indexOf("TurbidityRaw"));
        QVERIFY(raw >= 0);
        QCOMPARE(list->descriptions[raw], QString("Turbidity Raw Water")); // no UserDefined row of P1
        insertRow(db(), "UserDefined", {{"ProjectID", "P1"}, {"TurbidityRaw", "Raw NTU"}});
        list = LoadSeriesList(env.prog(), "P1");
        QCOMPARE(list->descriptions[raw], QString("Raw NTU"));
        // Another project current: the graphed project's captions still, and the current
        // project's never.
        insertRow(db(), "UserDefined", {{"ProjectID", "P2"}, {"TurbidityRaw", "P2 NTU"}});
        env.prog().CurrentProject.ProjectID = "P2";
        QCOMPARE(LoadSeriesList(env.prog(), "P1")->descriptions[raw], QString("Raw NTU"));
        QCOMPARE(LoadSeriesList(env.prog(), "P9")->descriptions[raw], QString("Turbidity Raw Water"));
        env.prog().CurrentProject.ProjectID = "P1";
    }

    void eventsListNewestFirst() {
        std::vector<GraphRow> rows;
        for (int i = 0; i < 30; ++i)
            rows.push_back({"P3", 1, at(2024, 5, 1).addSecs(i * 3600), double(i), {}, 1 + i % 6});
        rows.push_back({"P3", 2, at(2024, 5, 1, 12), 1, {}, 1}); // another train
        insertGraphRows(db(), rows);
        insertRow(db(), "Events", {{"EventID", 6}, {"EventType", "Valve swap"}});
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QStringList l = LoadEventList(env.prog(), "P3", 1, at(2024, 5, 1), at(2024, 5, 3));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(l.size(), 25);
        QCOMPARE(l.first(), QString("02.05.2024 05:00 - Valve swap")); // i = 29: event 6
        QCOMPARE(l.last(), QString("01.05.2024 05:00 - Valve swap"));
        QVERIFY(l.contains("01.05.2024 18:00 - System Cleaning"));
        QVERIFY(l.contains("01.05.2024 19:00 - Instrument Calibration / Replacement"));

        // The drawing's own pass gives the same list; an event dated with a "T" or as the day
        // alone at the period's ends is listed by its instant, one past the end is not.
        Database data = Database::open(db());
        for (const char* date : {"2024-05-03T00:00:00", "2024-05-01", "2024-05-03T00:00:01"})
            data.exec(
                "INSERT INTO Data (ProjectID, TrainNumber, TheDate, EventID, Bank) VALUES ('P4', 1, ?, 1, 3)",
                {date});
        for (int i = 0; i < 30; ++i)
            data.exec(
                "INSERT INTO Data (ProjectID, TrainNumber, TheDate, EventID, Bank) VALUES ('P4', 1, ?, 6, 3)",
                {dbDateText(at(2024, 5, 1, 1).addSecs(i * 60))});
        for (const QString project : {"P3", "P4"}) {
            ChartModel chart;
            clsGrapher g(env.prog());
            g.ProjectID(project);
            g.TrainNumber(1);
            g.Graph(&chart);
            g.SensorCount(1);
            g.SensorCols({"NormalizedPermFlow"});
            g.StartDate(at(2024, 5, 1));
            g.EndDate(at(2024, 5, 3));
            g.ShowEvents(true);
            g.MakeGraph();
            const QStringList listed = LoadEventList(env.prog(), project, 1, at(2024, 5, 1), at(2024, 5, 3));
            QCOMPARE(EventList(env.prog(), g.Events), listed);
            if (project == "P4") {
                QCOMPARE(listed.first(), ShortDateTimeText(at(2024, 5, 3)) + " - System Cleaning");
                QCOMPARE(listed.size(), 25);
            }
        }
    }

    // A typed end time is the end, 00:00 too, and a saved graph brings it back; a date alone
    // keeps its whole day; no end lies past the last instant a date can hold.
    void typedEnd_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDateTime>("drawnEnd");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shownAgain");
        QTest::newRow("a date alone") << "31/12/2024" << at(2025, 1, 1) << "2024-12-31 00:00:00"
                                      << "31/12/2024";
        QTest::newRow("00:00 typed") << "31/12/2024 00:00" << at(2024, 12, 31) << "2024-12-31T00:00:00"
                                     << "31/12/2024 00:00";
        QTest::newRow("08:30 typed") << "31/12/2024 08:30" << at(2024, 12, 31, 8, 30) << "2024-12-31 08:30:00"
                                     << "31/12/2024 08:30";
        QTest::newRow("00:00 typed, plain form")
            << "2024-12-31 0:00" << at(2024, 12, 31) << "2024-12-31T00:00:00"
            << "31/12/2024 00:00";
        QTest::newRow("31/12/9999") << "31/12/9999" << LastStoredInstant() << "9999-12-31 00:00:00"
                                    << "31/12/9999";
        QTest::newRow("not a date") << "soon" << QDateTime() << ""
                                    << "";
    }
    void typedEnd() {
        QFETCH(QString, typed);
        QFETCH(QDateTime, drawnEnd);
        QFETCH(QString, stored);
        QFETCH(QString, shownAgain);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(DrawnEnd(typed), drawnEnd);
        UserGraphRow row;
        row.ProjectID = "End";
        row.TrainNumber = 1;
        row.GraphName = QTest::currentDataTag();
        row.EndDate = ParseBoxDate(typed);
        row.EndTimeTyped = EndTextHoldsTime(typed);
        SaveUserGraph(env.prog(), row, true);
        const std::optional<UserGraphRow> again = LoadUserGraph(env.prog(), "End", 1, row.GraphName);
        QVERIFY(again.has_value());
        const QString shown = FormatBoxDate(again->EndDate, again->EndTimeTyped);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(
            Database::open(db())
                .scalar("SELECT COALESCE(EndDate, '') FROM UserGraphs WHERE GraphName = ?", {row.GraphName})
                .toString(),
            stored);
        QCOMPARE(shown, shownAgain);
    }

    void informationLineAndDates() {
        Program& p = env.prog();
        p.CurrentProject.unitFlow = 6;
        p.CurrentProject.unitPress = 0;
        p.CurrentProject.unitFlux = 0;
        p.CurrentProject.unitTemp = 1;
        p.DbVersionMajor = 1, p.DbVersionMinor = 3, p.DbVersionRevision = 38;
        const QString units = GetUnitName(3, 6) + ", " + GetUnitName(1, 0) + ", " + GetUnitName(4, 0) + ", " +
                              GetUnitName(2, 1);
        // The date in the computer's own short form.
        for (const auto& [locale, date] :
             {std::pair{QLocale::UnitedKingdom, "09/12/2026"}, std::pair{QLocale::Germany, "09.12.2026"}}) {
            QLocale::setDefault(
                QLocale(locale == QLocale::Germany ? QLocale::German : QLocale::English, locale));
            const QString line = InformationLine(p, CurrentUnits(p), QDate(2026, 12, 9));
            QCOMPARE(line, QString(date) + ",  Units: " + units +
                               ", Hevrin v: 1.3.38, DB v: 1.3.38, DB Name: db.hv3.mdb");
        }
        QLocale::setDefault(QLocale::c());
        const QString saved = p.ProjectDatabasePath;
        p.ProjectDatabasePath = "plain.mdb";
        QVERIFY(InformationLine(p, CurrentUnits(p), QDate(2026, 12, 9)).endsWith("DB Name: plain.mdb"));
        p.ProjectDatabasePath = saved;

        // A graphed project's units are its own, whatever the current project's are.
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", "Metric"}, {"TrainNumber", 2}});
        const GraphUnits metric = ReadGraphUnits(p, "Metric", 2);
        QCOMPARE(metric.flow, qint16(13));
        QCOMPARE(metric.press, qint16(8));
        QCOMPARE(metric.temp, qint16(1));
        QVERIFY(
            InformationLine(p, metric, QDate(2026, 12, 9)).contains("Units: " + GetUnitName(3, 13) + ", "));

        // The boxes read and show dates as every typed date is: the computer's own order only.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(FormatBoxDate(at(1998, 5, 23)), QString("5/23/1998"));
        QCOMPARE(FormatBoxDate(at(2024, 3, 1, 14, 5)), QString("3/1/2024 14:05"));
        QCOMPARE(ParseBoxDate("5/23/1998"), at(1998, 5, 23));
        QCOMPARE(ParseBoxDate("3/1/2024 2:05:00 PM"), at(2024, 3, 1, 14, 5));
        QCOMPARE(ParseBoxDate("2024-03-01"), at(2024, 3, 1));
        QVERIFY(!ParseBoxDate("13/45/2024").isValid());
        QVERIFY(!ParseBoxDate("soon").isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(ParseBoxDate("05/11/2026"), at(2026, 11, 5));
        QCOMPARE(FormatBoxDate(at(2026, 11, 20, 8, 30)), QString("20/11/2026 08:30"));
        QVERIFY(!ParseBoxDate("11/20/2026").isValid());
        QLocale::setDefault(QLocale::c());
    }

    void lastGraphRowAndNamedSave() {
        UserGraphRow row;
        row.ProjectID = "O'Neil"; // a quote is a value like any other
        row.TrainNumber = 2;
        row.StartDate = at(2024, 1, 10);
        row.EndDate = at(2024, 1, 20);
        row.SeriesNames = {"A"};
        row.SensorCount = 1;
        row.Target = 0.2;
        row.Style.Header = QString(60, 'x');
        SaveLastGraph(env.prog(), row);
        SaveLastGraph(env.prog(), row);
        row.GraphName = "Mine";
        SaveUserGraph(env.prog(), row, false);
        SaveUserGraph(env.prog(), row, false);
        SaveUserGraph(env.prog(), row, true); // replaces one of the two
        Database d = Database::open(db());
        const DbRows rows = d.select("SELECT * FROM UserGraphs WHERE ProjectID = ? ORDER BY ID", {"O'Neil"});
        QCOMPARE(rows.count(), 3);
        const DbRow& last = rows.at(0);
        QCOMPARE(last.toText("GraphName"), QString("Last Graph"));
        QCOMPARE(last.toText("Header"), QString(50, 'x'));
        QCOMPARE(last.toText("S1Name"), QString("A"));
        QCOMPARE(last.toText("S2Name"), QString(""));
        QCOMPARE(last.toDouble("Target"), 0.2);
        QCOMPARE(last.toDouble("YMax"), -1000.0);
        QCOMPARE(last.toDateTime("EndDate"), at(2024, 1, 20));
        QCOMPARE(rows.at(1).toText("GraphName"), QString("Mine"));
    }

    void specFluxCheck() {
        Program& p = env.prog();
        ChartModel chart;
        chart.group(1).series(1).y = {0, 0};
        chart.group(1).series(3).y = {0};
        chart.group(2).series(1).y = {0, 1};
        SpecFluxInput in{
            {"System Specific Flux", "Flow", "Bank 3 Specific Flux", ""}, {true, true, false}, 3};
        const struct {
            int revision;
            bool shown;
            QStringList texts;
            std::vector<bool> ticked;
            qint16 banks;
            bool due;
        } cases[] = {
            {20, false, in.comboTexts, in.enableTicked, 3, true},
            {19, false, in.comboTexts, in.enableTicked, 3, false},
            {21, false, in.comboTexts, in.enableTicked, 3, false},
            {20, true, in.comboTexts, in.enableTicked, 3, false},
            // Series 2 on Y2 with values; series 3 not ticked: nothing to check.
            {20,
             false,
             {"Flow", "Bank 1 Specific Flux", "System Specific Flux", ""},
             {true, false, false},
             3,
             false},
            // Bank 3 all zero, with two banks: no message; with three: the message.
            {20, false, {"Flow", "Flow", "Bank 3 Specific Flux", ""}, {true, true, false}, 2, false},
            {20, false, {"Flow", "Flow", "Bank 3 Specific Flux", ""}, {true, true, false}, 3, true},
            // A series with no points counts as all zero.
            {20, false, {"Flow", "Flow", "Flow", "System Specific Flux"}, {true, true, true}, 3, true},
        };
        p.DbVersionMajor = 1, p.DbVersionMinor = 3;
        for (const auto& c : cases) {
            p.DbVersionRevision = qint16(c.revision);
            p.SpecFluxWarningShown = c.shown;
            QCOMPARE(SpecFluxWarningDue(p, {c.texts, c.ticked, c.banks}, chart), c.due);
        }
        p.SpecFluxWarningShown = false;
    }

    void stylesFromSettings() {
        GraphStyle s;
        s.LineColor[0] = 1;
        s.YMax = 5;
        LoadGraphStyles(env.prog(), s); // fresh settings file: the defaults
        const GraphStyle d;
        QCOMPARE(s.LineColor, (std::array<qint32, 4>{32768, 200, 13107200, 0}));
        QCOMPARE(s.SymbolColor, d.LineColor);
        QCOMPARE(s.LineStyle, (std::array<qint16, 4>{2, 2, 2, 2}));
        QCOMPARE(s.SymbolStyle, (std::array<qint16, 4>{1, 1, 1, 1}));
        QCOMPARE(int(s.LineThickness), 2);
        QCOMPARE(int(s.SymbolThickness), 5);
        QCOMPARE(s.YMax, -1000.0);
        // Written and read back, under both decimal separators.
        for (const char* locale : {"en_US", "de_DE"}) {
            QLocale::setDefault(QLocale(locale));
            env.prog().DecimalSeparator = QLocale().decimalPoint();
            GraphStyle w;
            w.LineColor = {65535, 0, 33023, 8388672};
            w.SymbolStyle = {11, 10, 9, 8};
            w.YMin = 1.5;
            w.Y2Max = -1000;
            SaveGraphStyles(env.prog(), w);
            for (const QString& key : GraphStyleKeys())
                QVERIFY2(ReadIniValue("Graph Styles", key, "<none>", env.prog().IniFilePath) != "<none>",
                         qPrintable(key));
            GraphStyle r;
            LoadGraphStyles(env.prog(), r);
            QCOMPARE(r.LineColor, w.LineColor);
            QCOMPARE(r.SymbolStyle, w.SymbolStyle);
            QCOMPARE(r.YMin, 1.5);
            QCOMPARE(r.Y2Max, -1000.0);
        }
        QLocale::setDefault(QLocale::c());
        env.prog().DecimalSeparator = ".";
        QCOMPARE(GraphStyleKeys().size(), 22);
        QFile::remove(env.prog().IniFilePath);
    }

    void colourNames() {
        for (const QString& name : ColorNames())
            QCOMPARE(ColorToName(NameToColor(name)), name);
        QCOMPARE(NameToColor("Purple"), 8388672);
        QCOMPARE(NameToColor("green"), 16776960); // names compare exactly
        QCOMPARE(ColorToName(12345), QString("Black"));
    }
};

QTEST_GUILESS_MAIN(tst_GraphManager)
#include "tst_graphmanager.moc"
