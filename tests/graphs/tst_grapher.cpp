#include <QtTest>
#include <cmath>
#include <limits>

#include "graphs/grapher.h"
#include "graphtestsupport.h"

using namespace hv;
using namespace hv::test;

namespace {

// A builder for P1 set up as the graph manager sets one up.
struct Drawing {
    ChartModel chart;
    clsGrapher g;
    Drawing(Program& p, const QStringList& cols, qint16 train = 1, QDateTime from = at(2024, 1, 1),
            QDateTime to = at(2024, 2, 1))
        : g(p) {
        g.ProjectID("P1");
        g.TrainNumber(train);
        g.Graph(&chart);
        g.SensorCount(qint16(cols.size()));
        g.EndDate(to);
        g.StartDate(from);
        g.SensorDescs(cols);
        g.SensorCols(cols);
    }
    // Loads and draws as MakeGraph does, and returns what was loaded: drawing moves it into
    // the chart.
    std::vector<SeriesData> make() {
        g.LoadOnly();
        std::vector<SeriesData> loaded = g.Series;
        g.DrawOnly();
        return loaded;
    }
};

const double Gap = std::numeric_limits<double>::quiet_NaN();

// Equal values, NaN (a gap) only where the other has one.
bool near(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::isnan(a[i]) != std::isnan(b[i]) || std::abs(a[i] - b[i]) > 1e-9) return false;
    return true;
}

} // namespace

class tst_Grapher : public QObject {
    Q_OBJECT

    TestEnv env;

private slots:
    void initTestCase();
    void selection_data();
    void selection();
    void scalingNullsAndMaxima();
    void automaticAndFixedLimits_data();
    void automaticAndFixedLimits();
    void eventsOfOwnTrain();
    void boundValuesAndCheckedColumns();
    void rangesAndLayoutBySeriesCount_data();
    void rangesAndLayoutBySeriesCount();
    void titlesAndLegend();
    void fewPointsAndStyles();
    void dateLabels_data();
    void dateLabels();
    void longPeriodLabels_data();
    void longPeriodLabels();
    void elapsedLabels();
    void cleaningLine_data();
    void cleaningLine();
    void readingsStoredOutOfOrder();
    void periodEndsByInstant_data();
    void periodEndsByInstant();
    void storedValuesNotNumbers_data();
    void storedValuesNotNumbers();
};

void tst_Grapher::initTestCase() {
    // The month names and decimal marks expected below are the C locale's, whatever the
    // computer's settings.
    QLocale::setDefault(QLocale::c());
    makeBlankDatabase(env.prog().ProjectDatabasePath);
    const QVariant null;
    insertGraphRows(
        env.prog().ProjectDatabasePath,
        {
            // P1 train 1: the start and end instants are drawn.
            {"P1", 1, at(2024, 1, 1), 0, {{"NormalizedPermFlow", 50.0}, {"ActualRejection", 0.98}}},
            {"P1", 1, at(2024, 1, 10, 12), 228, {{"NormalizedPermFlow", 55.0}, {"ActualRejection", null}}, 1},
            {"P1", 1, at(2024, 1, 20), 456, {{"NormalizedPermFlow", null}, {"ActualRejection", 0.97}}, 0, 2},
            {"P1", 1, at(2024, 2, 1), 744, {{"NormalizedPermFlow", 45.0}, {"ActualRejection", 0.99}}},
            {"P1", 1, at(2024, 2, 1, 0, 1), 744.02, {{"NormalizedPermFlow", 99.0}}},    // after the end
            {"P1", 1, at(2023, 12, 31, 23, 59), -0.02, {{"NormalizedPermFlow", 99.0}}}, // before
                                                                                        // P1 train 2 and
                                                                                        // another project.
            {"P1", 2, at(2024, 1, 15), 10, {{"NormalizedPermFlow", 70.0}}, 3},
            {"P2", 1, at(2024, 1, 15), 10, {{"NormalizedPermFlow", 80.0}}, 4},
        });
}

void tst_Grapher::selection_data() {
    QTest::addColumn<int>("train");
    QTest::addColumn<int>("bank");
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<QVector<double>>("hours");
    // A reading stored without a value is a gap, never 0.
    QTest::newRow("train 1, both bounds")
        << 1 << 0 << std::vector<double>{50, 55, Gap, 45} << QVector<double>{0, 228, 456, 744};
    QTest::newRow("train 2") << 2 << 0 << std::vector<double>{70} << QVector<double>{10};
    QTest::newRow("train 0: every train")
        << 0 << 0 << std::vector<double>{50, 55, 70, Gap, 45} << QVector<double>{0, 228, 10, 456, 744};
    QTest::newRow("bank 3 of train 1")
        << 1 << 3 << std::vector<double>{50, 55, 45} << QVector<double>{0, 228, 744};
    QTest::newRow("train without rows") << 5 << 0 << std::vector<double>{} << QVector<double>{};
}

void tst_Grapher::selection() {
    QFETCH(int, train);
    QFETCH(int, bank);
    QFETCH(std::vector<double>, values);
    QFETCH(QVector<double>, hours);
    Drawing d(env.prog(), {"NormalizedPermFlow"}, qint16(train));
    d.g.Bank(qint16(bank));
    const std::vector<SeriesData> loaded = d.make();
    QCOMPARE(int(loaded.size()), 1);
    const SeriesData& s = loaded[0];
    QCOMPARE(s.PointCount, int(values.size()));
    QVERIFY(near(s.Values, values));
    QVERIFY(near(d.chart.group(1).series(1).y, values));
    QCOMPARE(s.Hours, hours);
    if (values.size() >= 3) {
        QCOMPARE(FromDateSerial(s.Dates.front()), at(2024, 1, 1));
        QCOMPARE(FromDateSerial(s.Dates.back()), at(2024, 2, 1));
    } else if (values.empty()) {
        QCOMPARE(d.g.Request.MaxY, 0.0);
    }
}

void tst_Grapher::scalingNullsAndMaxima() {
    // Two series: series 2 feeds only MaxY2; the rejection is in per cent, Null is a gap.
    {
        Drawing d(env.prog(), {"NormalizedPermFlow", "ActualRejection"});
        QVERIFY(near(d.make()[1].Values, {98, Gap, 97, 99}));
        QCOMPARE(d.g.Request.MaxY, 55.0);
        QCOMPARE(d.g.Request.MaxY2, 99.0);
        QVERIFY(d.chart.axis(ChartModel::Y2).shown);
        QCOMPARE(d.chart.axis(ChartModel::Y2).max, 99.0 * 1.1);
    }
    // Three series: every series feeds MaxY; a fixed maximum stops the tracking.
    {
        Drawing d(env.prog(), {"NormalizedPermFlow", "ActualRejection", "NormalizedSaltPassage_2"});
        d.g.MakeGraph();
        QCOMPARE(d.g.Request.MaxY, 99.0);
        Drawing fixed(env.prog(), {"NormalizedPermFlow", "ActualRejection", "NormalizedDP"});
        fixed.g.YMax(20);
        fixed.g.MakeGraph();
        QCOMPARE(fixed.g.Request.MaxY, 0.0);
        QCOMPARE(fixed.chart.axis(ChartModel::Y).max, 20.0);
    }
    QVERIFY(IsPercentColumn("NormalizedSaltPassage_2"));
    QVERIFY(IsPercentColumn("ActualRejection"));
    QVERIFY(!IsPercentColumn("NormalizedPermFlow"));
    QVERIFY(!IsPercentColumn("ejectionX"));
}

// An automatic end of the Y axis reaches past every reading drawn, from 0 when none lies
// beyond it; a fixed end is kept whatever the other end is.
void tst_Grapher::automaticAndFixedLimits_data() {
    QTest::addColumn<QVector<double>>("readings");
    QTest::addColumn<double>("fixedMin"); // NaN: automatic
    QTest::addColumn<double>("fixedMax");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    const double autoLimit = Gap;
    const QVector<double> orp{-200, -215, -230, -247}, mixed{-3, -1, 2, 6};
    QTest::newRow("ORP of a dechlorinated feed") << orp << autoLimit << autoLimit << -247 * 1.1 << 0.0;
    QTest::newRow("below and above 0") << mixed << autoLimit << autoLimit << -3 * 1.1 << 6 * 1.1;
    QTest::newRow("fixed minimum, automatic maximum") << mixed << -5.0 << autoLimit << -5.0 << 6 * 1.1;
    QTest::newRow("automatic minimum, fixed maximum") << orp << autoLimit << -100.0 << -247 * 1.1 << -100.0;
    QTest::newRow("all above 0") << QVector<double>{3, 5} << autoLimit << autoLimit << 0.0 << 5 * 1.1;
    // A tenth above the largest reading would overflow: the axis ends at the largest Double.
    QTest::newRow("one value near the largest Double")
        << QVector<double>{5, 1.7e308, 5} << autoLimit << autoLimit << 0.0
        << std::numeric_limits<double>::max();
    QTest::newRow("one value near the lowest Double")
        << QVector<double>{5, -1.7e308, 5} << autoLimit << autoLimit << -std::numeric_limits<double>::max()
        << 5 * 1.1;
}

void tst_Grapher::automaticAndFixedLimits() {
    QFETCH(QVector<double>, readings);
    QFETCH(double, fixedMin);
    QFETCH(double, fixedMax);
    QFETCH(double, min);
    QFETCH(double, max);
    TestEnv own;
    makeBlankDatabase(own.prog().ProjectDatabasePath);
    std::vector<GraphRow> rows;
    for (int i = 0; i < readings.size(); ++i)
        rows.push_back({"P1", 1, at(2024, 1, 2 + i), 24.0 * i, {{"ORP", readings[i]}}});
    insertGraphRows(own.prog().ProjectDatabasePath, rows);
    Drawing d(own.prog(), {"ORP"});
    if (!std::isnan(fixedMin)) d.g.YMin(fixedMin);
    if (!std::isnan(fixedMax)) d.g.YMax(fixedMax);
    d.g.MakeGraph();
    QCOMPARE(d.chart.axis(ChartModel::Y).min, min);
    QCOMPARE(d.chart.axis(ChartModel::Y).max, max);
}

void tst_Grapher::eventsOfOwnTrain() {
    Drawing d(env.prog(), {"NormalizedPermFlow"}, 1);
    d.g.ShowEvents(true);
    d.g.YMin(5); // the events sit at the Y minimum the graph is drawn with
    d.g.YMax(100);
    const std::vector<SeriesData> loaded = d.make();
    QCOMPARE(int(loaded.size()), 2);
    const SeriesData& ev = loaded[1];
    QCOMPARE(ev.PointCount, 1); // train 1 on 10 January, not train 2 on 15 January, not P2
    QCOMPARE(ev.Hours, (QList<double>{228}));
    QVERIFY(near(d.chart.group(1).series(2).y, {5.0001}));
    // Readings spanning 5e-7: the events still stand inside the axis.
    {
        TestEnv own;
        makeBlankDatabase(own.prog().ProjectDatabasePath);
        insertGraphRows(own.prog().ProjectDatabasePath,
                        {{"P1", 1, at(2024, 1, 2), 1, {{"NormalizedPermFlow", 1.0e-6}}},
                         {"P1", 1, at(2024, 1, 3), 2, {{"NormalizedPermFlow", 1.2e-6}}, 1},
                         {"P1", 1, at(2024, 1, 4), 3, {{"NormalizedPermFlow", 1.5e-6}}}});
        Drawing tiny(own.prog(), {"NormalizedPermFlow"}, 1);
        tiny.g.ShowEvents(true);
        tiny.g.MakeGraph();
        const double y = tiny.chart.group(1).series(2).y.at(0);
        const ChartAxis& ya = tiny.chart.axis(ChartModel::Y);
        QVERIFY2(y >= ya.min && y <= ya.max,
                 qPrintable(QString("%1 outside %2..%3").arg(y).arg(ya.min).arg(ya.max)));
    }
    QCOMPARE(loaded[0].Hours, (QList<double>{0, 228, 456, 744})); // read in the same pass

    // A train filling its own table, read in storage order, or a small part of a table full of
    // another project's events, read through the index: the train picks the readings and the
    // events, the bank the readings only, whatever the storage order.
    for (const auto& [crowded, bank] : {std::pair{false, 0}, {false, 3}, {true, 0}, {true, 3}}) {
        TestEnv own;
        makeBlankDatabase(own.prog().ProjectDatabasePath);
        std::vector<GraphRow> rows;
        for (int i = 0; crowded && i < 30; ++i)
            rows.push_back({"P9", 1, at(2024, 1, 1 + i % 5), 50, {{"NormalizedPermFlow", 9.0}}, 5});
        rows.insert(rows.begin() + int(rows.size() / 2),
                    {{"P1", 2, at(2024, 1, 5), 99, {{"NormalizedPermFlow", 1.0}}, 3},
                     {"P1", 1, at(2024, 1, 3), 3, {{"NormalizedPermFlow", 4.0}}, 0, 2},
                     {"P1", 1, at(2024, 1, 1), 1, {{"NormalizedPermFlow", 2.0}}},
                     {"P1", 1, at(2024, 1, 2), 2, {{"NormalizedPermFlow", 3.0}}, 1}});
        insertGraphRows(own.prog().ProjectDatabasePath, rows);
        Drawing one(own.prog(), {"NormalizedPermFlow"}, 1);
        one.g.ShowEvents(true);
        one.g.Bank(qint16(bank));
        const std::vector<SeriesData> read = one.make();
        QCOMPARE(read[0].Hours, (bank ? QList<double>{1, 2} : QList<double>{1, 2, 3}));
        QCOMPARE(read[1].Hours, (QList<double>{2}));
    }
    const ChartSeries& cs = d.chart.group(1).series(2);
    QCOMPARE(d.chart.group(1).label(2), QString("Events"));
    QCOMPARE(cs.pointCount(), 1);
    const ChartStyle st = d.chart.group(1).styleOf(2);
    QCOMPARE(st.linePattern, 1);
    QCOMPARE(st.symbolShape, 5);
    QCOMPARE(st.symbolSize, 6);
    QCOMPARE(st.symbolColor, 10764966);

    // Two series: the events are series 2 of group 1; with none in the period the entry is empty.
    Drawing two(env.prog(), {"NormalizedPermFlow", "NormalizedDP"}, 1, at(2024, 1, 20), at(2024, 2, 1));
    two.g.ShowEvents(true);
    two.g.MakeGraph();
    QCOMPARE(two.g.Series[2].PointCount, 0);
    QCOMPARE(two.chart.group(1).seriesCount(), 2);
    QCOMPARE(two.chart.group(1).label(2), QString("Events"));
    QCOMPARE(two.chart.group(1).series(2).pointCount(), 0);
}

void tst_Grapher::boundValuesAndCheckedColumns() {
    // A project name with a quote is a value like any other.
    insertGraphRows(env.prog().ProjectDatabasePath,
                    {{"O'Brien", 1, at(2024, 1, 3), 5, {{"NormalizedDP", 2.0}}}});
    Drawing d(env.prog(), {"NormalizedDP"});
    d.g.ProjectID("O'Brien");
    d.g.MakeGraph();
    QCOMPARE(d.g.Series[0].PointCount, 1);
    // A column Data lacks, or one smuggling SQL, is refused before any query.
    // The drawing's batch still ends, so the chart is shown again as it was.
    for (const QString& col : {QString("NoSuchColumn"), QString("NormalizedDP FROM Data; --")}) {
        Drawing bad(env.prog(), {col});
        QSignalSpy started(&bad.chart, &ChartModel::batchStarted), changed(&bad.chart, &ChartModel::changed);
        QCOMPARE(errorOf([&] { bad.g.MakeGraph(); }), dberr::ColumnNotFound);
        QVERIFY(!bad.chart.inBatch());
        QCOMPARE(started.count(), 1);
        QCOMPARE(changed.count(), 1);
    }
    // No series: nothing is drawn and nothing fails.
    Drawing none(env.prog(), {});
    none.g.MakeGraph();
    QVERIFY(none.g.Series.empty());
}

void tst_Grapher::rangesAndLayoutBySeriesCount_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("group1");
    QTest::addColumn<int>("group2Points");
    QTest::addColumn<bool>("y2Shown");
    QTest::addColumn<QString>("yTitle");
    QTest::newRow("1") << 1 << 1 << 1 << false << "NormalizedPermFlow";
    QTest::newRow("2") << 2 << 1 << 4 << true << "NormalizedPermFlow";
    QTest::newRow("3") << 3 << 3 << 0 << false << "";
    QTest::newRow("4") << 4 << 4 << 0 << false << "";
}

void tst_Grapher::rangesAndLayoutBySeriesCount() {
    QFETCH(int, count);
    QFETCH(int, group1);
    QFETCH(int, group2Points);
    QFETCH(bool, y2Shown);
    QFETCH(QString, yTitle);
    const QStringList cols =
        QStringList{"NormalizedPermFlow", "NormalizedDP", "NormalizedFlux", "ActualFlux"}.mid(0, count);
    Drawing d(env.prog(), cols);
    d.g.YMin(3); // kept with an automatic maximum
    d.g.MakeGraph();
    const ChartModel& c = d.chart;
    QCOMPARE(c.axis(ChartModel::Y).min, 3.0);
    QCOMPARE(c.axis(ChartModel::Y).max, 55.0 * 1.1);
    QCOMPARE(c.group(1).seriesCount(), group1);
    QCOMPARE(c.group(1).series(1).pointCount(), 4);
    QCOMPARE(c.group(2).seriesCount(), 1);
    QCOMPARE(c.group(2).series(1).pointCount(), group2Points);
    QCOMPARE(c.axis(ChartModel::Y2).shown, y2Shown);
    QCOMPARE(c.axis(ChartModel::Y).title, yTitle);
    QVERIFY(c.axis(ChartModel::X).gridShown && c.axis(ChartModel::Y).gridShown);
    // The date axis spans whole days: 1 January to 1 February.
    QCOMPARE(c.axis(ChartModel::X).min, ToDateSerial(at(2024, 1, 1)));
    QCOMPARE(c.axis(ChartModel::X).max, ToDateSerial(at(2024, 2, 1)));
    QCOMPARE(c.footerText, QString());
    // Data points carry dates as X and the values as Y.
    QVERIFY(near(c.group(1).series(1).y, {50, 55, Gap, 45}));
    QCOMPARE(c.group(1).series(1).x.front(), ToDateSerial(at(2024, 1, 1)));
    for (int k = 2; k <= group1; ++k) // every series at the shared dates
        QCOMPARE(c.group(1).series(k).x, c.group(1).series(1).x);

    // Drawn again on the same chart with fixed limits, then with the minima automatic again:
    // the axes start at 0 once more and the events sit on the X axis, inside the range.
    auto redraw = [&](bool fixedMinima) {
        clsGrapher g(env.prog());
        g.ProjectID("P1");
        g.TrainNumber(1);
        g.Graph(&d.chart);
        g.SensorCount(qint16(count));
        g.EndDate(at(2024, 2, 1));
        g.StartDate(at(2024, 1, 1));
        g.SensorDescs(cols);
        g.SensorCols(cols);
        g.YMax(200);
        g.Y2Max(200);
        if (fixedMinima) {
            g.YMin(40);
            g.Y2Min(40);
        }
        g.ShowEvents(true);
        g.MakeGraph();
    };
    redraw(true);
    QCOMPARE(c.axis(ChartModel::Y).min, 40.0);
    redraw(false);
    QCOMPARE(c.axis(ChartModel::Y).min, 0.0);
    if (count == 2) QCOMPARE(c.axis(ChartModel::Y2).min, 0.0);
    const ChartSeries& events = c.group(1).series(count == 2 ? 2 : count + 1);
    QCOMPARE(events.y, (std::vector<double>{0.0001}));

    // An end typed with a time of day loads readings past its midnight: the axis reaches them.
    Drawing late(env.prog(), cols, 1, at(2024, 1, 1), at(2024, 2, 1, 0, 1));
    late.g.MakeGraph();
    QCOMPARE(late.chart.group(1).series(1).x.back(), ToDateSerial(at(2024, 2, 1, 0, 1)));
    QVERIFY(late.chart.axis(ChartModel::X).max >= ToDateSerial(at(2024, 2, 1, 0, 1)));
}

void tst_Grapher::titlesAndLegend() {
    // Two series: the axis titles are marked, the legend keeps the plain descriptions.
    Drawing two(env.prog(), {"ActualRejection", "NormalizedSaltPassage"});
    two.g.SensorDescs({"System Rejection", "System Normalized Salt Passage"});
    two.g.MakeGraph();
    QCOMPARE(two.chart.axis(ChartModel::Y).title, QString("System Rejection (%)"));
    QCOMPARE(two.chart.axis(ChartModel::Y2).title, QString("System Normalized Salt Passage (%)"));
    QCOMPARE(two.chart.group(1).label(1), QString("System Rejection"));
    QCOMPARE(two.chart.group(2).label(1), QString("System Normalized Salt Passage"));
    // One series: the legend shows the mark too.
    Drawing one(env.prog(), {"ActualRejection"});
    one.g.SensorDescs({"Rejection"});
    one.g.MakeGraph();
    QCOMPARE(one.chart.axis(ChartModel::Y).title, QString("Rejection (%)"));
    QCOMPARE(one.chart.group(1).label(1), QString("Rejection (%)"));
    QCOMPARE(one.chart.group(2).label(1), QString());
    // Three series: no Y title unless description 1 is a percentage; "ejection" first or
    // "REJECTION" do not count.
    Drawing three(env.prog(), {"NormalizedPermFlow", "ActualRejection", "NormalizedDP"});
    three.g.SensorDescs({"ejection rate", "REJECTION", "Salt Passage"});
    three.g.MakeGraph();
    QCOMPARE(three.chart.axis(ChartModel::Y).title, QString());
    QCOMPARE(three.chart.group(1).label(1), QString("ejection rate"));
    QCOMPARE(three.chart.group(1).label(2), QString("REJECTION"));
    QCOMPARE(three.chart.group(1).label(3), QString("Salt Passage"));
}

void tst_Grapher::fewPointsAndStyles() {
    // Three series and one reading: it reaches the chart in every series.
    Drawing d(env.prog(), {"NormalizedPermFlow", "NormalizedDP", "ActualRejection"}, 2);
    d.g.MakeGraph();
    QVERIFY(near(d.chart.group(1).series(1).y, {70}));
    QCOMPARE(d.chart.group(1).series(3).pointCount(), 1);
    QCOMPARE(d.chart.group(1).series(1).x, (QList<double>{ToDateSerial(at(2024, 1, 15))}));

    // Styles: a code 0 becomes 2 in the caller's variable; index 2 also styles group 2;
    // thicknesses act on the count known at the call and ignore widths below 1.
    ChartModel chart;
    clsGrapher g(env.prog());
    g.Graph(&chart);
    g.LineThickness(4); // before SensorCount: no series
    QCOMPARE(chart.group(1).styleOf(1).lineWidth, 1);
    g.SensorCount(2);
    g.Y2Max(50);
    QVERIFY(g.Request.Y2MaxFixed);
    g.LineThickness(3);
    g.LineThickness(0);
    qint16 p = 0, shape = 9;
    g.SetLineStyle(2, p);
    g.SetSymbolStyle(2, shape);
    g.SetLineColor(2, 200);
    QCOMPARE(p, qint16(2));
    QCOMPARE(chart.group(2).styleOf(1).linePattern, 2);
    QCOMPARE(chart.group(2).styleOf(1).symbolShape, 9);
    QCOMPARE(chart.group(2).styleOf(1).lineColor, 200);
    QCOMPARE(chart.group(2).styleOf(1).lineWidth, 3);
    QCOMPARE(chart.group(1).styleOf(2).lineWidth, 3);
    g.YMax(-1000);
    QVERIFY(!g.Request.YMaxFixed);
    g.YMax(0);
    QVERIFY(g.Request.YMaxFixed);
}

void tst_Grapher::dateLabels_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QVector<double>>("offsets");
    QTest::newRow("0") << "en_US" << 0 << QStringList{} << QVector<double>{};
    QTest::newRow("1") << "en_US" << 1 << QStringList{"Jun 1", "12:00", "Jun 2"}
                       << QVector<double>{0, 0.5, 1};
    QTest::newRow("2") << "en_US" << 2 << QStringList{"Jun 1", "12:00", "Jun 2", "12:00", "Jun 3"}
                       << QVector<double>{0, 0.5, 1, 1.5, 2};
    QTest::newRow("5") << "en_US" << 5 << QStringList{"Jun 1", "Jun 2", "Jun 3", "Jun 4", "Jun 5"}
                       << QVector<double>{0.5, 1.5, 2.5, 3.5, 4.5};
    // The day and the month as the computer's long date form writes them.
    QTest::newRow("1, French") << "fr_FR" << 1 << QStringList{"1 juin", "12:00", "2 juin"}
                               << QVector<double>{0, 0.5, 1};
    QTest::newRow("5, German") << "de_DE" << 5
                               << QStringList{"1. Juni", "2. Juni", "3. Juni", "4. Juni", "5. Juni"}
                               << QVector<double>{0.5, 1.5, 2.5, 3.5, 4.5};
    QVector<double> every4, every5;
    for (int i = 0; i <= 40; i += 4)
        every4 << i + 0.5;
    for (int i = 0; i <= 50; i += 5)
        every5 << i + 0.5;
    QTest::newRow("40") << "en_US" << 40 << QStringList{} << every4;
    QTest::newRow("41") << "en_US" << 41 << QStringList{} << every4;
    QTest::newRow("50") << "en_US" << 50 << QStringList{} << every5;
}

void tst_Grapher::dateLabels() {
    QFETCH(QString, locale);
    QFETCH(int, days);
    QFETCH(QStringList, texts);
    QFETCH(QVector<double>, offsets);
    // Start and end at odd hours: the labels stand on whole days from the start's midnight.
    const QDateTime start = at(2008, 6, 1, 9, 30);
    QLocale::setDefault(QLocale(locale));
    const std::vector<ValueLabel> labels =
        DateAxisLabels(ToDateSerial(start), ToDateSerial(start.addDays(days)));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(int(labels.size()), int(offsets.size()));
    const double s = ToDateSerial(at(2008, 6, 1));
    for (int i = 0; i < int(labels.size()); ++i) {
        QCOMPARE(labels[size_t(i)].position - s, offsets[i]);
        if (!texts.isEmpty()) QCOMPARE(labels[size_t(i)].text, texts[i]);
    }
    if (days == 50) QCOMPARE(labels.back().text, QString("Jul 21"));
}

// Over more than one calendar year every label carries its year and no two read alike, in the
// computer's own month names and date form; the first label of a new year stands on its first
// day. A period inside one year carries no year, also when it ends on 31 December.
void tst_Grapher::longPeriodLabels_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QString>("firstText");
    QTest::addColumn<QString>("lastText");
    QTest::addColumn<QDateTime>("newYearAt"); // invalid: no label of a new year
    for (const char* locale : {"en_GB", "de_DE"}) {
        const bool de = QString(locale) == "de_DE";
        QTest::addRow("ten years, %s", locale) << locale << at(2014, 3, 7, 6) << at(2024, 3, 7) << "2015"
                                               << "2024" << at(2015, 1, 1);
        QTest::addRow("ten years to 31 December, %s", locale)
            << locale << at(2031, 1, 1) << at(2041, 1, 1) << "2031"
            << "2040" << at(2032, 1, 1);
        QTest::addRow("one year over New Year, %s", locale)
            << locale << at(2023, 6, 15) << at(2024, 6, 15) << (de ? "Juli 2023" : "Jul 2023") << "2024"
            << at(2024, 1, 1);
        QTest::addRow("forty days over New Year, %s", locale)
            << locale << at(2023, 12, 10) << at(2024, 1, 19) << (de ? "10.12.2023" : "10/12/2023") << "2024"
            << QDateTime();
        QTest::addRow("two days over New Year, %s", locale)
            << locale << at(2023, 12, 31) << at(2024, 1, 2) << (de ? "31.12.2023" : "31/12/2023") << "2024"
            << at(2024, 1, 1);
        QTest::addRow("a year to 31 December, %s", locale)
            << locale << at(2026, 1, 1) << at(2027, 1, 1) << (de ? "1. Jan." : "1 Jan") << "" << QDateTime();
    }
}

void tst_Grapher::longPeriodLabels() {
    QFETCH(QString, locale);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QString, firstText);
    QFETCH(QString, lastText);
    QFETCH(QDateTime, newYearAt);
    QLocale::setDefault(QLocale(locale));
    const std::vector<ValueLabel> labels = DateAxisLabels(ToDateSerial(start), ToDateSerial(end));
    QLocale::setDefault(QLocale::c());
    QVERIFY(labels.size() >= 3 && labels.size() <= 13);
    QVERIFY2(labels.front().text.contains(firstText), qPrintable(labels.front().text));
    QStringList seen;
    std::optional<double> newYear;
    for (const ValueLabel& l : labels) {
        QVERIFY(l.position >= std::floor(ToDateSerial(start)) && l.position <= ToDateSerial(end) + 0.5);
        if (l.text == "12:00") continue;
        const int year = FromDateSerial(l.position).date().year();
        QVERIFY2(l.text.contains(QString::number(year)) == !lastText.isEmpty(), qPrintable(l.text));
        QVERIFY2(!seen.contains(l.text), qPrintable(seen.join(", ") + " and again " + l.text));
        seen << l.text;
        if (!newYear && year != start.date().year()) newYear = l.position;
    }
    if (!lastText.isEmpty()) QVERIFY2(seen.constLast().contains(lastText), qPrintable(seen.constLast()));
    if (newYearAt.isValid()) QCOMPARE(FromDateSerial(newYear.value_or(0)), newYearAt);
}

void tst_Grapher::elapsedLabels() {
    for (const char* locale : {"en_US", "de_DE"}) {
        QLocale::setDefault(QLocale(locale));
        const QString sep = QLocale().decimalPoint();
        const std::vector<ValueLabel> l = ElapsedAxisLabels(0.5, 1250.25);
        QCOMPARE(int(l.size()), 11);
        QCOMPARE(l[0].text, "0" + sep + "50");   // every label with two decimals
        QCOMPARE(l[1].position, 0.5 + 124.98);   // the step 124.975 read back as 124.98
        QCOMPARE(l[1].text, "125" + sep + "48"); // the hours where it stands
        QCOMPARE(l[10].text, "1" + QLocale().groupSeparator() + "250" + sep + "25");
        QCOMPARE(l[10].position, 1250.25);
        // One point: two labels at the same hour.
        const std::vector<ValueLabel> one = ElapsedAxisLabels(24, 24);
        QCOMPARE(int(one.size()), 2);
        QCOMPARE(one[0].position, one[1].position);
    }
    QLocale::setDefault(QLocale::c());

    // Elapsed mode on the chart: range from the hours, footer, and "No Data Present" without points.
    Drawing d(env.prog(), {"NormalizedPermFlow"});
    d.g.ElapsedTime(true);
    d.g.MakeGraph();
    QCOMPARE(d.chart.axis(ChartModel::X).min, 0.0);
    QCOMPARE(d.chart.axis(ChartModel::X).max, 744.0);
    QCOMPARE(d.chart.footerText, QString("Elapsed Time Hrs"));
    QCOMPARE(int(d.chart.axis(ChartModel::X).valueLabels.size()), 11);
    QCOMPARE(d.chart.group(1).series(1).x, (QList<double>{0, 228, 456, 744}));

    // Hours out of date order (a reference changed without recalculating): the axis spans the
    // lowest to the highest; a reading without hours is left out, its value counting for no limit.
    std::vector<GraphRow> rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back({"H",
                        1,
                        at(2024, 3, 1).addSecs(i * 3600),
                        i < 6 ? 40.0 + i : 10.0 + i,
                        {{"NormalizedPermFlow", 50.0}}});
    insertGraphRows(env.prog().ProjectDatabasePath, rows);
    insertGraphRows(env.prog().ProjectDatabasePath,
                    {{"H", 1, at(2024, 3, 2), 0, {{"NormalizedPermFlow", 500.0}}}});
    Database::open(env.prog().ProjectDatabasePath)
        .exec("UPDATE Data SET ElapsedTimeHrs = NULL WHERE ProjectID = 'H' AND NormalizedPermFlow = 500");
    Drawing h(env.prog(), {"NormalizedPermFlow"}, 1, at(2024, 3, 1), at(2024, 3, 3));
    h.g.ProjectID("H");
    h.g.ElapsedTime(true);
    h.g.MakeGraph();
    QCOMPARE(h.chart.axis(ChartModel::X).min, 16.0);
    QCOMPARE(h.chart.axis(ChartModel::X).max, 45.0);
    QCOMPARE(h.chart.axis(ChartModel::X).valueLabels.back().position, 45.0);
    QVERIFY(std::isnan(h.chart.group(1).series(1).x.back()));
    QCOMPARE(h.chart.axis(ChartModel::Y).max, 50 * 1.1);

    env.prompts.onMessage("No Data Present", Buttons::OK, "Hevrin", Answer::OK);
    Drawing empty(env.prog(), {"NormalizedPermFlow"}, 9);
    empty.g.ElapsedTime(true);
    empty.g.MakeGraph();
    QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
    QVERIFY(empty.chart.axis(ChartModel::X).valueLabels.empty());
}

void tst_Grapher::cleaningLine_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("width");
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("lineWidth");
    QTest::newRow("empty level: Y maximum") << ""
                                            << "" << 55.0 * 1.1 << 1;
    QTest::newRow("zero level, width 1") << "0"
                                         << "1" << 55.0 * 1.1 << 1;
    QTest::newRow("50%") << "50%"
                         << "3" << 0.5 << 3;
    QTest::newRow("plain 40") << "40"
                              << "2" << 40.0 << 2;
    QTest::newRow("not a number: no line, said") << "4.0.1"
                                                 << "2" << Gap << 2;
}

void tst_Grapher::cleaningLine() {
    QFETCH(QString, level);
    QFETCH(QString, width);
    QFETCH(double, y);
    QFETCH(int, lineWidth);
    Drawing d(env.prog(), {"NormalizedPermFlow"});
    d.g.ShowEvents(true);
    d.g.Cleaning({true, level, width});
    if (std::isnan(y))
        env.prompts.onMessage("Value indicating cleaning required holds \"" + level +
                                  "\", which is not a number.",
                              Buttons::OK, "Hevrin", Answer::OK);
    d.g.MakeGraph();
    QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
    const ChartGroup& g = d.chart.group(1);
    if (std::isnan(y)) {
        QCOMPARE(g.seriesCount(), 2); // series and events, no line
        return;
    }
    QCOMPARE(g.seriesCount(), 3); // series, events, line
    QCOMPARE(g.label(3), QString("Cleaning Required"));
    QCOMPARE(g.series(3).x, (QList<double>{ToDateSerial(at(2024, 1, 1)), ToDateSerial(at(2024, 2, 1))}));
    QCOMPARE(g.series(3).y, (std::vector<double>{y, y}));
    QCOMPARE(g.styleOf(3).lineWidth, lineWidth);
    QCOMPARE(g.styleOf(3).lineColor, 65793);
    QCOMPARE(g.styleOf(3).symbolShape, 1);
}

// Readings stored out of date order (imported late) are drawn in date order with their
// own values, however the loader reads the table.
void tst_Grapher::readingsStoredOutOfOrder() {
    std::vector<GraphRow> rows;
    for (int d = 19; d >= 0; --d)
        rows.push_back(
            {"S", 1, at(2024, 1, 1 + d, d % 2 ? 6 : 18), double(d), {{"NormalizedDP", double(d)}}});
    insertGraphRows(env.prog().ProjectDatabasePath, rows);
    Drawing d(env.prog(), {"NormalizedDP", "NormalizedPermFlow"});
    d.g.ProjectID("S");
    const std::vector<SeriesData> loaded = d.make();
    const SeriesData& s = loaded[0];
    QCOMPARE(s.PointCount, 20);
    QVERIFY(std::is_sorted(s.Dates.begin(), s.Dates.end()));
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(s.Values[size_t(i)], double(i));
        QCOMPARE(s.Hours[size_t(i)], double(i));
        QCOMPARE(d.chart.group(2).series(1).x[size_t(i)], s.Dates[size_t(i)]); // drawn at the shared dates
    }
    QCOMPARE(d.g.Request.MaxY, 19.0);
}

// A reading is drawn when the instant its date names lies in the period, however another
// program spelled the date; a date the rule cannot key is not drawn at all.
void tst_Grapher::periodEndsByInstant_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QDateTime>("drawnAt"); // invalid: not drawn
    const QDateTime day = at(2021, 3, 1), noon = at(2021, 3, 1, 12), six = at(2021, 3, 1, 6);
    QTest::newRow("day alone at the start") << "2021-03-01" << day << at(2021, 3, 5) << day;
    QTest::newRow("day alone at the end") << "2021-03-01" << at(2021, 2, 20) << day << day;
    QTest::newRow("T before the end time") << "2021-03-01T06:00:00" << at(2021, 2, 20) << noon << six;
    QTest::newRow("T before the start time")
        << "2021-03-01T06:00:00" << noon << at(2021, 3, 5) << QDateTime();
    QTest::newRow("T after the end time") << "2021-03-01T13:00" << day << noon << QDateTime();
    QTest::newRow("without seconds at the end") << "2021-03-01 12:00" << day << noon << noon;
    QTest::newRow("dated in 9999") << "9999-12-31 12:00:00" << at(9999, 1, 1) << at(9999, 12, 31).addDays(1)
                                   << at(9999, 12, 31, 12);
    QTest::newRow("in 9999, ending at the last instant")
        << "9999-12-31T23:59:59" << at(2021, 1, 1) << LastStoredInstant() << LastStoredInstant();
    QTest::newRow("an hour of one digit") << "2021-03-01 6:00" << day << at(2021, 3, 5) << six;
    QTest::newRow("slashes and a blank") << " 2021/03/01 06:00:00" << day << at(2021, 3, 5) << six;
    QTest::newRow("a day no month holds")
        << "2021-02-30 06:00:00" << at(2021, 2, 1) << at(2021, 3, 5) << QDateTime();
}

void tst_Grapher::periodEndsByInstant() {
    QFETCH(QString, stored);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QDateTime, drawnAt);
    TestEnv own;
    makeBlankDatabase(own.prog().ProjectDatabasePath);
    Database::open(own.prog().ProjectDatabasePath)
        .exec(
            "INSERT INTO Data (ProjectID, TrainNumber, TheDate, ElapsedTimeHrs, EventID, Bank, NormalizedDP) "
            "VALUES ('P1', 1, ?, 5, 1, 3, 2)",
            {stored});
    for (bool events : {false, true}) {
        Drawing d(own.prog(), {"NormalizedDP"}, 1, start, end);
        d.g.ShowEvents(events);
        const SeriesData s = d.make()[0];
        QCOMPARE(s.PointCount, drawnAt.isValid() ? 1 : 0);
        QCOMPARE(int(d.g.Events.size()), events ? s.PointCount : 0);
        if (!drawnAt.isValid()) continue;
        QCOMPARE(FromDateSerial(s.Dates.at(0)), drawnAt);
        QCOMPARE(d.chart.group(1).series(1).x.at(0), ToDateSerial(drawnAt));
        QVERIFY(d.chart.axis(ChartModel::X).max >= ToDateSerial(drawnAt));
    }
}

// A stored value that is not a finite number ('' or 'abc' left by another program, an
// infinity) is a gap, as a Null is, and counts for no limit; an elapsed graph leaves out a
// reading whose hours are not a finite number, or more than any two dates lie apart.
void tst_Grapher::storedValuesNotNumbers_data() {
    QTest::addColumn<QString>("column"); // the column holding the odd value
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("elapsed");
    const bool elapsed = true;
    QTest::newRow("empty text") << "NormalizedDP" << QVariant("") << !elapsed;
    QTest::newRow("abc") << "NormalizedDP" << QVariant("abc") << !elapsed;
    QTest::newRow("infinity") << "NormalizedDP" << QVariant(qInf()) << !elapsed;
    QTest::newRow("minus infinity, elapsed") << "NormalizedDP" << QVariant(-qInf()) << elapsed;
    QTest::newRow("bytes") << "NormalizedDP" << QVariant(QByteArray("\x01\x02")) << !elapsed;
    QTest::newRow("hours of abc") << "ElapsedTimeHrs" << QVariant("abc") << elapsed;
    QTest::newRow("hours of infinity") << "ElapsedTimeHrs" << QVariant(qInf()) << elapsed;
    QTest::newRow("hours of 1e308") << "ElapsedTimeHrs" << QVariant(1e308) << elapsed;
    QTest::newRow("hours of -1e308") << "ElapsedTimeHrs" << QVariant(-1e308) << elapsed;
    QTest::newRow("hours of 1e15") << "ElapsedTimeHrs" << QVariant(1e15) << elapsed;
}

void tst_Grapher::storedValuesNotNumbers() {
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(bool, elapsed);
    TestEnv own;
    makeBlankDatabase(own.prog().ProjectDatabasePath);
    insertGraphRows(own.prog().ProjectDatabasePath, {{"P1", 1, at(2024, 1, 2), 10, {{"NormalizedDP", 3.0}}},
                                                     {"P1", 1, at(2024, 1, 3), 20, {{"NormalizedDP", 4.0}}},
                                                     {"P1", 1, at(2024, 1, 4), 30, {{"NormalizedDP", 5.0}}}});
    Database::open(own.prog().ProjectDatabasePath)
        .exec("UPDATE Data SET " + column + " = ? WHERE TheDate = '2024-01-03 00:00:00'", {value});
    Drawing d(own.prog(), {"NormalizedDP"});
    d.g.ElapsedTime(elapsed);
    const SeriesData s = d.make()[0];
    const bool hours = column == "ElapsedTimeHrs";
    QVERIFY(near(s.Values, {3, hours ? 4 : Gap, 5}));
    QCOMPARE(d.chart.axis(ChartModel::Y).max, 5.0 * 1.1);
    QCOMPARE(d.chart.axis(ChartModel::Y).min, 0.0);
    if (!elapsed) return;
    QCOMPARE(d.chart.axis(ChartModel::X).min, 10.0);
    QCOMPARE(d.chart.axis(ChartModel::X).max, 30.0);
    QCOMPARE(d.chart.axis(ChartModel::X).valueLabels.back().position, 30.0);
}

QTEST_GUILESS_MAIN(tst_Grapher)
#include "tst_grapher.moc"
