#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

#include "platform/filelimits.h"
#include <cerrno>
#include <cstring>
#include <qcustomplot.h>

#include "graphs/grapher.h"
#include "graphs/ui/chartview.h"
#include "graphtestsupport.h"

using namespace hv;
using namespace hv::test;

class tst_ChartRender : public QObject {
    Q_OBJECT

    TestEnv env;

    // The fixture graph: flow on Y, DP on Y2, events and the cleaning line, with a title.
    void drawFixture(ChartModel& chart) {
        clsGrapher g(env.prog());
        g.ProjectID("P1");
        g.TrainNumber(1);
        g.Graph(&chart);
        g.SensorCount(2);
        g.EndDate(at(2024, 1, 11));
        g.StartDate(at(2024, 1, 1));
        g.SensorDescs({"System Normalized Permeate Flow", "System Normalized DP"});
        g.SensorCols({"NormalizedPermFlow", "NormalizedDP"});
        g.SetLineColor(2, 200);
        qint16 boxes = 3;
        g.SetSymbolStyle(1, boxes);
        g.ShowEvents(true);
        g.Cleaning({true, "45", "2"});
        g.MakeGraph();
        chart.headerText = "Plant one";
        chart.labels = {{"Data", true, 0, 1, 5, 445, "09 Dec 26,  Units: m3/hr"}};
    }

    // A graph of P1 train 1 as the graph window asks for it: `days` whole days from `start`.
    void drawPeriod(ChartModel& chart, const QStringList& cols, const QDateTime& start, int days,
                    bool elapsed = false, bool events = false) {
        clsGrapher g(env.prog());
        g.ProjectID(elapsed ? "E1" : "P1");
        g.TrainNumber(1);
        g.Graph(&chart);
        g.SensorCount(qint16(cols.size()));
        g.EndDate(start.addDays(days));
        g.StartDate(start);
        g.SensorDescs(cols);
        g.SensorCols(cols);
        g.ElapsedTime(elapsed);
        g.ShowEvents(events);
        g.MakeGraph();
    }

    // One series of readings as the graph window draws it: symbols only, Symbol "Box" in blue,
    // or a plain line under the events' marks.
    // With `extra`, a fixed Y maximum ("max 100") or the cleaning line at level 0 ("cleaning at 0");
    // "percent ..." draws the salt passage to the fixed end it names.
    void drawReadings(ChartModel& chart, const QString& project, const QDateTime& start, int days,
                      bool events, const QString& extra = {}) {
        clsGrapher g(env.prog());
        g.ProjectID(project);
        g.TrainNumber(1);
        g.Graph(&chart);
        g.SensorCount(1);
        g.EndDate(start.addDays(days));
        g.StartDate(start);
        const bool percent = extra.startsWith("percent");
        g.SensorDescs({percent ? "System Normalized Salt Passage" : "System Normalized Permeate Flow"});
        g.SensorCols({percent ? "NormalizedSaltPassage" : "NormalizedPermFlow"});
        qint16 line = events ? 2 : 1, symbol = events ? 1 : 3;
        g.SetLineStyle(1, line);
        g.SetSymbolStyle(1, symbol);
        g.SetSymbolColor(1, RgbColor(0, 0, 255));
        g.ShowEvents(events);
        if (extra == "max 100") g.YMax(100);
        if (extra == "percent max 7") g.YMax(7);
        if (extra == "percent max 99.35") g.YMax(99.35);
        if (extra == "percent min 29") g.YMin(29);
        if (extra == "cleaning at 0") g.Cleaning({true, "0", "1"});
        g.MakeGraph();
    }

    // The chart as one of its targets draws it, and a plot laid out as that drawing was, to
    // tell where a reading lies on it.
    struct Drawing {
        QImage image;
        std::unique_ptr<QCustomPlot> plot;
        std::optional<RenderStats> stats; // where the target tells
    };
    Drawing drawAs(const QString& target, ChartModel& chart, QSize size) {
        Drawing d;
        if (target == "window") {
            auto view = std::make_unique<ChartView>(&chart);
            view->resize(size);
            view->refresh();
            d.image = view->grab().toImage();
            d.stats = view->drawnStats();
            d.plot = std::move(view);
            return d;
        }
        const QString file = env.path("drawing." + target);
        if (target == "svg") {
            RenderStats stats;
            if (SaveChartSvg(chart, file, size, &stats)) return d;
            d.stats = stats;
            d.image = QImage(size, QImage::Format_RGB32);
            d.image.fill(Qt::white);
            QPainter painter(&d.image);
            QSvgRenderer(file).render(&painter);
        } else {
            RenderStats stats;
            if (SaveChartPng(chart, file, size, &stats)) return d;
            d.stats = stats;
            d.image = QImage(file);
        }
        d.plot = std::make_unique<QCustomPlot>();
        d.plot->resize(size);
        d.plot->setViewport(QRect(QPoint(0, 0), size));
        RenderChart(chart, *d.plot);
        d.plot->toPixmap(size.width(), size.height());
        return d;
    }

    // The readings of a series with no mark of its colour near them.
    // Where a value lies on the plot, from the chart's own axis: the plot may draw its axis in
    // another unit.
    static double valuePixel(const QCustomPlot& plot, const ChartAxis& axis, double y) {
        const QRect r = plot.axisRect()->rect();
        return r.bottom() - (y / 2 - axis.min / 2) / (axis.max / 2 - axis.min / 2) * r.height();
    }
    static QStringList unmarked(const Drawing& d, const ChartSeries& s, const QColor& mark,
                                const ChartAxis& axis) {
        QStringList out;
        for (int i = 0; i < s.pointCount(); ++i) {
            const int px = qRound(d.plot->xAxis->coordToPixel(s.x[size_t(i)]));
            const int py = qRound(valuePixel(*d.plot, axis, s.y[size_t(i)]));
            bool found = false;
            for (int y = py - 4; y <= py + 4 && !found; ++y)
                for (int x = px - 4; x <= px + 4 && !found; ++x) {
                    if (!d.image.valid(x, y)) continue;
                    const QColor c = d.image.pixelColor(x, y);
                    found = std::abs(c.red() - mark.red()) < 90 && std::abs(c.green() - mark.green()) < 90 &&
                            std::abs(c.blue() - mark.blue()) < 90;
                }
            if (!found) out << QString("%1 at %2").arg(s.y[size_t(i)]).arg(s.x[size_t(i)]);
        }
        return out;
    }

    // Pixels near `colour` in the image, inside `within` (or the whole image) and outside `besides`.
    static int colourPixels(const QImage& image, const QColor& colour, QRect within = {},
                            const QList<QRect>& besides = {}) {
        if (within.isNull()) within = image.rect();
        int n = 0;
        for (int y = within.top(); y <= within.bottom(); ++y)
            for (int x = within.left(); x <= within.right(); ++x) {
                if (!image.valid(x, y)) continue;
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - colour.red()) >= 60 || std::abs(c.green() - colour.green()) >= 60 ||
                    std::abs(c.blue() - colour.blue()) >= 60)
                    continue;
                bool skipped = false;
                for (const QRect& r : besides)
                    skipped = skipped || r.contains(x, y);
                n += !skipped;
            }
        return n;
    }

    static QString svgText(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void initTestCase() {
        // The month names and decimal marks expected below are the C locale's, whatever the
        // computer's settings.
        QLocale::setDefault(QLocale::c());
        makeBlankDatabase(env.prog().ProjectDatabasePath);
        insertDenseRows(env.prog().ProjectDatabasePath, "P1", 1, at(2024, 1, 1), 240, 60);
        insertGraphRows(env.prog().ProjectDatabasePath, {{"P1", 1, at(2024, 1, 5), 96, {}, 1}});
        // Elapsed hours that no value axis number repeats.
        std::vector<GraphRow> hours;
        for (int i = 0; i <= 10; ++i)
            hours.push_back({"E1",
                             1,
                             at(2023, 1, 1).addDays(i * 30),
                             1000 + i * 776.5,
                             {{"NormalizedPermFlow", 40 + i}, {"NormalizedDP", 2}}});
        insertGraphRows(env.prog().ProjectDatabasePath, hours);
        // A year of daily readings alternating 50 and 40; 61 days of hourly readings with one
        // of 100; the same with 494 events among them.
        std::vector<GraphRow> readings;
        for (int i = 0; i < 365; ++i)
            readings.push_back({"ALT",
                                1,
                                at(2023, 1, 1, 12).addDays(i),
                                24.0 * i,
                                {{"NormalizedPermFlow", i % 2 ? 40.0 : 50.0}}});
        for (int i = 0; i < 61 * 24; ++i) {
            const QDateTime when = at(2023, 3, 1).addSecs(i * 3600);
            const double flow = 45 + (i % 5) * 0.5;
            readings.push_back(
                {"SPIKE", 1, when, double(i), {{"NormalizedPermFlow", i == 700 ? 100.0 : flow}}});
            readings.push_back({"EV",
                                1,
                                when,
                                double(i),
                                {{"NormalizedPermFlow", flow}},
                                (i + 1) * 494 / 1464 > i * 494 / 1464 ? 1 + i % 5 : 0});
        }
        // 61 daily readings between 1.0e-6 and 1.5e-6 with an event every eighth day; 61 of 5,
        // one of them 1.7e308.
        for (int i = 0; i < 61; ++i) {
            const QDateTime when = at(2023, 3, 1, 12).addDays(i);
            readings.push_back({"TINY",
                                1,
                                when,
                                24.0 * i,
                                {{"NormalizedPermFlow", 1.0e-6 + 5e-7 * (i % 7) / 6}},
                                i % 8 == 3 ? 1 : 0});
            readings.push_back(
                {"HUGE", 1, when, 24.0 * i, {{"NormalizedPermFlow", i == 30 ? 1.7e308 : 5.0}}});
        }
        // 24 daily readings at the top of their axis: of 0 and below (the automatic maximum is
        // 0), of 100 and 90 (drawn to a fixed 100), of 5 with one of the largest double.
        for (int i = 0; i < 24; ++i) {
            const QDateTime when = at(2023, 3, 1, 12).addDays(i);
            const double big = std::numeric_limits<double>::max();
            readings.push_back(
                {"ZERO", 1, when, 24.0 * i, {{"NormalizedPermFlow", i % 3 ? 0.0 : -1.0 - i % 5}}});
            readings.push_back({"AT100", 1, when, 24.0 * i, {{"NormalizedPermFlow", i % 4 ? 100.0 : 90.0}}});
            readings.push_back({"DBLMAX", 1, when, 24.0 * i, {{"NormalizedPermFlow", i == 7 ? big : 5.0}}});
            // Per cent at a fixed end: 7 % under a maximum of 7, 29 % over a minimum of 29, 99.35 %
            // under 99.35, and one a unit in the last place above 99.35 %, shown as 99.35 too.
            const std::tuple<const char*, double, double> percent[] = {
                {"PCT7", 0.07, 0.05},
                {"PCT29", 0.29, 0.31},
                {"PCT9935", 0.9935, 0.97},
                {"PCTULP", std::nextafter(0.9935, 1.0), 0.97}};
            for (const auto& [name, atEnd, other] : percent)
                readings.push_back(
                    {name, 1, when, 24.0 * i, {{"NormalizedSaltPassage", i % 4 ? atEnd : other}}});
        }
        insertGraphRows(env.prog().ProjectDatabasePath, readings);
        // Ten daily readings of 300, the sixth without a value; one reading alone (project ONE).
        std::vector<GraphRow> gap, one;
        for (int i = 0; i < 10; ++i)
            gap.push_back({"NUL",
                           1,
                           at(2023, 5, 1, 12).addDays(i),
                           24.0 * i,
                           {{"NormalizedPermFlow", i == 5 ? QVariant() : QVariant(300.0)}}});
        one.push_back({"ONE",
                       1,
                       at(2023, 5, 4, 12),
                       0,
                       {{"NormalizedPermFlow", 30.0},
                        {"NormalizedDP", 20.0},
                        {"NormalizedFlux", 10.0},
                        {"ActualFlux", 5.0}}});
        insertGraphRows(env.prog().ProjectDatabasePath, gap);
        insertGraphRows(env.prog().ProjectDatabasePath, one);
        // A year of quarter-hour readings alternating 48 and 52, every thousandth one 50.
        Database db = Database::open(env.prog().ProjectDatabasePath);
        Transaction tx(db);
        auto ins =
            db.prepare("INSERT INTO Data (ProjectID, TrainNumber, TheDate, ElapsedTimeHrs, EventID, Bank, "
                       "NormalizedPermFlow) VALUES ('DENSE', 1, ?, ?, 0, 3, ?)");
        for (int i = 0; i < 35040; ++i)
            ins->exec({dbDateText(at(2023, 1, 1).addSecs(qint64(i) * 900)), i / 4.0,
                       i % 1000 == 500 ? 50.0
                       : i % 2         ? 48.0
                                       : 52.0});
        // 5,000 hourly readings of a table holding a row of another project keyed 2^36.
        auto far =
            db.prepare("INSERT INTO Data (ProjectID, TrainNumber, TheDate, ElapsedTimeHrs, EventID, Bank, "
                       "NormalizedPermFlow) VALUES ('FAR', 1, ?, ?, 0, 3, ?)");
        for (int i = 0; i < 5000; ++i)
            far->exec({dbDateText(at(2023, 1, 1).addSecs(qint64(i) * 3600)), double(i), i % 2 ? 40.0 : 50.0});
        db.exec("INSERT INTO Data (ID, ProjectID, TrainNumber, TheDate, NormalizedPermFlow) "
                "VALUES (?, 'AWAY', 1, '2023-01-01 00:00:00', 1)",
                {qint64(1) << 36});
        tx.commit();
    }

    // The picture shows every value label the chart lists, also the one at the right end of
    // the axis with no second Y axis to make room for it.
    void everyListedLabelDrawn_data() {
        QTest::addColumn<QStringList>("cols");
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("elapsed");
        const QStringList one{"NormalizedPermFlow"}, two{"NormalizedPermFlow", "NormalizedDP"};
        QTest::newRow("one series, one day") << one << 1 << false;
        QTest::newRow("two series, one day") << two << 1 << false;
        QTest::newRow("one series, 40 days") << one << 40 << false;
        QTest::newRow("two series, 40 days") << two << 40 << false;
        QTest::newRow("one series, elapsed") << one << 400 << true;
        QTest::newRow("two series, elapsed") << two << 400 << true;
    }
    void everyListedLabelDrawn() {
        QFETCH(QStringList, cols);
        QFETCH(int, days);
        QFETCH(bool, elapsed);
        ChartModel chart;
        drawPeriod(chart, cols, elapsed ? at(2023, 1, 1) : at(2024, 1, 5), days, elapsed);
        const std::vector<ValueLabel>& labels = chart.axis(ChartModel::X).valueLabels;
        QVERIFY(labels.size() >= 3);
        if (elapsed) QCOMPARE(labels.back().text, QString("8765.00"));
        // A desktop font of the usual size leaves labels wider than the plot's bare margin.
        const QFont appFont = QApplication::font();
        QFont large = appFont;
        large.setPointSize(12);
        QApplication::setFont(large);
        const QString svg = env.path("labels.svg");
        const std::optional<QString> failure = SaveChartSvg(chart, svg, QSize(800, 500));
        QApplication::setFont(appFont);
        QCOMPARE(failure.value_or("written"), QString("written"));
        const QString text = svgText(svg);
        QMap<QString, int> listed;
        for (const ValueLabel& l : labels)
            ++listed[l.text];
        for (auto it = listed.cbegin(); it != listed.cend(); ++it)
            QVERIFY2(text.count(">" + it.key() + "</text>") >= it.value(), qPrintable(it.key()));
    }

    // The window's chart lets the old graph go when a drawing begins and shows the new one
    // once the drawing and its titles are set.
    void viewRendersFinishedDrawing() {
        ChartModel chart;
        ChartView view(&chart);
        view.resize(600, 400);
        drawPeriod(chart, {"NormalizedPermFlow", "NormalizedDP"}, at(2024, 1, 1), 5);
        chart.headerText = "Plant one";
        chart.update();
        QTRY_COMPARE(view.graphCount(), 2);
        QCOMPARE(view.graph(0)->dataCount(), chart.group(1).series(1).pointCount());
        QCOMPARE(view.plotLayout()->rowCount(), 3); // the header and the legend came with the graph
        chart.beginBatch();
        QCOMPARE(view.graphCount(), 0);
        chart.endBatch();
        QTRY_COMPARE(view.graphCount(), 2);
        // A narrow window's legend is laid out in rows; the next graph, with more entries and
        // events, is laid out afresh in the same legend.
        view.resize(300, 400);
        drawPeriod(chart, {"NormalizedPermFlow", "NormalizedDP", "NormalizedSaltPassage"}, at(2024, 1, 1), 5);
        chart.update();
        QTRY_COMPARE(view.graphCount(), 3);
        QVERIFY(view.legend->rowCount() > 1);
        drawPeriod(chart, {"NormalizedPermFlow", "NormalizedDP", "NormalizedSaltPassage", "FeedPressure"},
                   at(2024, 1, 1), 10, false, true);
        chart.update();
        QTRY_COMPARE(view.graphCount(), 5);
        int entries = 0;
        for (int i = 0; i < view.legend->itemCount(); ++i)
            entries += view.legend->item(i) != nullptr;
        QCOMPARE(entries, 5);
    }

    // Every reading of a symbols-only series and every event gets its mark, in the window and
    // in each picture: none is skipped, none lies under the legend.
    // A reading at the top of the value axis is marked too, and the cleaning line at level 0
    // (the axis maximum) is drawn along the top.
    void everyReadingDrawn_data() {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("extra");
        for (const char* target : {"window", "png", "svg"}) {
            QTest::addRow("alternating 50 and 40, %s", target) << "ALT" << target << "";
            QTest::addRow("one reading of 100 among 1464, %s", target) << "SPIKE" << target << "";
            QTest::addRow("494 events in 61 days, %s", target) << "EV" << target << "";
            QTest::addRow("35 readings of 50 among 35,040 of 48 and 52, %s", target)
                << "DENSE" << target << "";
            QTest::addRow("8 events among readings spanning 5e-7, %s", target) << "TINY" << target << "";
            QTest::addRow("one reading of 1.7e308 among 60 of 5, %s", target) << "HUGE" << target << "";
            QTest::addRow("readings of 0 and below, %s", target) << "ZERO" << target << "";
            QTest::addRow("readings of 100 to a fixed maximum of 100, %s", target)
                << "AT100" << target << "max 100";
            QTest::addRow("one reading of the largest double, %s", target) << "DBLMAX" << target << "";
            QTest::addRow("7 %% under a fixed maximum of 7, %s", target)
                << "PCT7" << target << "percent max 7";
            QTest::addRow("29 %% over a fixed minimum of 29, %s", target)
                << "PCT29" << target << "percent min 29";
            QTest::addRow("99.35 %% under a fixed maximum of 99.35, %s", target)
                << "PCT9935" << target << "percent max 99.35";
            QTest::addRow("a unit in the last place over 99.35 %%, %s", target)
                << "PCTULP" << target << "percent max 99.35";
            QTest::addRow("5,000 readings, another row keyed 2^36, %s", target) << "FAR" << target << "";
            QTest::addRow("the cleaning line at level 0, %s", target) << "ALT" << target << "cleaning at 0";
        }
    }
    void everyReadingDrawn() {
        QFETCH(QString, project);
        QFETCH(QString, target);
        QFETCH(QString, extra);
        const bool events = project == "EV" || project == "TINY";
        ChartModel chart;
        const bool year = project == "ALT" || project == "DENSE" || project == "FAR";
        drawReadings(chart, project, year ? at(2023, 1, 1) : at(2023, 3, 1), year ? 365 : 61, events, extra);
        const ChartSeries& s = chart.group(1).series(events ? 2 : 1);
        const QMap<QString, int> counts{{"EV", 494},   {"TINY", 8},  {"ALT", 365},  {"DENSE", 35040},
                                        {"HUGE", 61},  {"ZERO", 24}, {"AT100", 24}, {"DBLMAX", 24},
                                        {"FAR", 5000}, {"PCT7", 24}, {"PCT29", 24}, {"PCT9935", 24},
                                        {"PCTULP", 24}};
        QCOMPARE(s.pointCount(), counts.value(project, 1464));
        const Drawing d = drawAs(target, chart, QSize(900, 620));
        QVERIFY(d.plot);
        const QStringList missing =
            unmarked(d, s, events ? QColor(166, 66, 164) : QColor(0, 0, 255), chart.axis(ChartModel::Y));
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QString("%1 unmarked, first %2").arg(missing.size()).arg(missing.value(0))));
        if (events && d.stats) QCOMPARE(d.stats->symbolsDrawn, counts.value(project));
        if (extra == "cleaning at 0") {
            // Along its whole length, in the line's own colour.
            const ChartSeries& line = chart.group(1).series(2);
            QCOMPARE(line.y.front(), chart.axis(ChartModel::Y).max);
            ChartSeries along;
            for (int i = 1; i < 20; ++i) {
                along.x << line.x.front() + (line.x.back() - line.x.front()) * i / 20;
                along.y.push_back(line.y.front());
            }
            const QStringList undrawn = unmarked(d, along, QColor(1, 1, 1), chart.axis(ChartModel::Y));
            QVERIFY2(undrawn.isEmpty(), qPrintable(QString("%1 of 19 undrawn").arg(undrawn.size())));
        }
    }

    // The legend covers no reading: it stands outside the plot area, with every entry whole
    // within the window or the picture, also with four long series names.
    void legendOutsidePlot_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("series");
        for (const char* target : {"window", "png"}) {
            QTest::addRow("%s, two series, events and cleaning line", target) << target << 2;
            QTest::addRow("%s, four series, events and cleaning line", target) << target << 4;
        }
    }
    void legendOutsidePlot() {
        QFETCH(QString, target);
        QFETCH(int, series);
        ChartModel chart;
        drawFixture(chart);
        if (series == 4) {
            chart.group(1).setSeriesCount(6);
            for (int k = 1; k <= 4; ++k) {
                chart.group(1).series(k) = chart.group(1).series(1);
                chart.group(1).setLabel(k, QString("Bank %1 Normalized Permeate Flow (%)").arg(k));
            }
            chart.group(1).setLabel(5, "Events");
            chart.group(1).series(5) = chart.group(1).series(2);
        }
        const QSize size(872, 620);
        const Drawing d = drawAs(target, chart, size);
        QVERIFY(d.plot);
        const QCPLegend* legend = d.plot->legend;
        QVERIFY(legend->visible());
        QCOMPARE(legend->itemCount(), series == 2 ? 4 : 6);
        QVERIFY2(!legend->outerRect().intersects(d.plot->axisRect()->rect()),
                 qPrintable(QString("legend %1,%2 %3x%4 over the plot area")
                                .arg(legend->outerRect().x())
                                .arg(legend->outerRect().y())
                                .arg(legend->outerRect().width())
                                .arg(legend->outerRect().height())));
        for (int i = 0; i < legend->itemCount(); ++i)
            QVERIFY2(QRect(QPoint(0, 0), size).contains(legend->item(i)->outerRect()),
                     qPrintable(QString::number(i)));
        QVERIFY(d.plot->axisRect()->rect().height() > size.height() / 2);
    }

    // Event marks sit on the X axis line: drawn whole, above and below it.
    void eventMarksWhole() {
        ChartModel chart;
        drawFixture(chart);
        QCustomPlot plot;
        plot.resize(800, 560);
        plot.setViewport(QRect(0, 0, 800, 560));
        RenderChart(chart, plot);
        const QImage img = plot.toPixmap(800, 560).toImage();
        const int axisY = plot.axisRect()->bottom();
        int above = 0, below = 0;
        for (int y = axisY - 10; y <= axisY + 10; ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (std::abs(c.red() - 166) < 25 && std::abs(c.green() - 66) < 25 &&
                    std::abs(c.blue() - 164) < 25)
                    (y < axisY ? above : below) += y != axisY;
            }
        QVERIFY2(above > 3, qPrintable(QString::number(above)));
        QVERIFY2(below > 3, qPrintable(QString::number(below)));
        QVERIFY2(std::abs(above - below) <= std::max(above, below) / 2,
                 qPrintable(QString("%1 above, %2 below").arg(above).arg(below)));
    }

    // "Events" is in the legend only when the period has an event to mark.
    void eventsLegendOnlyWithEvents_data() {
        QTest::addColumn<QStringList>("cols");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<bool>("expected");
        const QStringList three{"NormalizedPermFlow", "NormalizedDP", "PermFlow"};
        QTest::newRow("three series, no event") << three << at(2024, 1, 1) << false;
        QTest::newRow("four series, no event")
            << (three + QStringList{"NormalizedSaltPassage"}) << at(2024, 1, 7) << false;
        QTest::newRow("one series, no event") << QStringList{"NormalizedPermFlow"} << at(2024, 1, 1) << false;
        QTest::newRow("three series, an event") << three << at(2024, 1, 4) << true;
    }
    void eventsLegendOnlyWithEvents() {
        QFETCH(QStringList, cols);
        QFETCH(QDateTime, start);
        QFETCH(bool, expected);
        ChartModel chart;
        drawPeriod(chart, cols, start, 3, false, true);
        QCustomPlot plot;
        plot.resize(800, 560);
        plot.setViewport(QRect(0, 0, 800, 560));
        RenderChart(chart, plot);
        QStringList legend;
        for (int i = 0; i < plot.legend->itemCount(); ++i)
            if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot.legend->item(i)))
                legend << item->plottable()->name();
        QCOMPARE(legend.contains("Events"), expected);
        QVERIFY(legend.contains("NormalizedPermFlow"));
    }

    void svgAndJpegOfFixtureGraph() {
        ChartModel chart;
        drawFixture(chart);
        const QString svg = env.path("Chartx.svg");
        RenderStats stats;
        QCOMPARE(SaveChartSvg(chart, svg, QSize(1000, 700), &stats).value_or("written"), QString("written"));
        QFile f(svg);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (const char* expected :
             {"System Normalized Permeate Flow", "System Normalized DP", "Events", "Cleaning Required",
              "Plant one", "1 Jan", "5 Jan", "9 Jan", "Units: m3/hr"})
            QVERIFY2(text.contains(expected), expected);
        // Line colours of series 1 (green) and 2 (red, on Y2) reach the picture.
        QVERIFY(text.contains("#008000", Qt::CaseInsensitive));
        QVERIFY(text.contains("#c80000", Qt::CaseInsensitive));
        QVERIFY(stats.symbolsDrawn > 0);

        // The raster pictures: their size, the series' colour, and a failure when the file
        // cannot be written.
        for (const QString& name : {QString("graph.jpg"), QString("graph.png")}) {
            const QString file = env.path(name);
            const bool png = name.endsWith(".png");
            QCOMPARE((png ? SaveChartPng(chart, file, QSize(800, 560))
                          : SaveChartJpeg(chart, file, QSize(800, 560)))
                         .value_or("written"),
                     QString("written"));
            QImage img(file);
            QCOMPARE(img.size(), QSize(800, 560));
            int green = 0;
            for (int y = 0; y < img.height(); y += 2)
                for (int x = 0; x < img.width(); x += 2) {
                    const QColor c = img.pixelColor(x, y);
                    green += c.green() > 90 && c.red() < 60 && c.blue() < 60;
                }
            QVERIFY2(green > 50, qPrintable(name + ": " + QString::number(green)));
            const QString unwritable = env.path("no such folder/" + name);
            QCOMPARE((png ? SaveChartPng(chart, unwritable) : SaveChartJpeg(chart, unwritable))
                         .value_or("written"),
                     QString::fromLocal8Bit(std::strerror(ENOENT))); // the system's words
        }
    }

    // On a full disk a picture says why it was not written, and leaves neither a file cut
    // short nor a changed one: an earlier picture of that name stays as it was.
    void picturesOnFullDisk_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("png") << "png";
        QTest::newRow("jpg") << "jpg";
        QTest::newRow("svg") << "svg";
    }
    void picturesOnFullDisk() {
        QFETCH(QString, format);
        ChartModel chart;
        drawFixture(chart);
        const QString folder = env.path("full-" + format);
        QVERIFY(QDir().mkpath(folder));
        const QString earlier = folder + "/earlier." + format, fresh = folder + "/fresh." + format;
        {
            QFile f(earlier);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("an earlier picture");
        }
        auto save = [&](const QString& path) {
            return format == "svg"   ? SaveChartSvg(chart, path)
                   : format == "png" ? SaveChartPng(chart, path)
                                     : SaveChartJpeg(chart, path);
        };
        {
            FileSizeLimit full(4096);
            const QString limit =
                WriteLimitCause(EFBIG) + " (" + QString::fromLocal8Bit(std::strerror(EFBIG)) + ")";
            QVERIFY(limit.contains("limit of 4096 bytes"));
            QCOMPARE(save(earlier).value_or("written"), limit);
            QCOMPARE(save(fresh).value_or("written"), limit);
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"earlier." + format});
        QFile f(earlier);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("an earlier picture"));
    }

    // Every line pattern and every symbol shape draws a picture of its own.
    void patternsAndShapesDistinct() {
        auto picture = [](int pattern, int shape) {
            ChartModel m;
            m.setAxisRange(ChartModel::X, 0, 10);
            m.setAxisRange(ChartModel::Y, 0, 10);
            ChartSeries& s = m.group(1).series(1);
            s.x = {1, 5, 9};
            s.y = {2, 8, 2};
            ChartStyle& st = m.group(1).style(1);
            st.linePattern = pattern;
            st.symbolShape = shape;
            st.symbolSize = 10;
            QCustomPlot plot;
            plot.resize(300, 200);
            plot.setViewport(QRect(0, 0, 300, 200));
            RenderChart(m, plot);
            plot.legend->setVisible(false);
            return plot.toPixmap(300, 200).toImage();
        };
        QList<QImage> images;
        for (int p = 1; p <= LinePatternCount; ++p)
            images << picture(p, 1);
        for (int s = 2; s <= SymbolShapeCount; ++s)
            images << picture(1, s);
        for (int i = 0; i < images.size(); ++i)
            for (int j = i + 1; j < images.size(); ++j)
                QVERIFY2(images[i] != images[j], qPrintable(QString("%1 and %2 look alike").arg(i).arg(j)));
    }

    // A reading without a value leaves a gap in the line and no mark; a reading with no
    // neighbour on its line is marked even where the series has no symbol, with one, three
    // and four series.
    void readingsAsStored_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("series"); // 0: the gap among readings of 300
        for (const char* target : {"window", "png", "svg"}) {
            QTest::addRow("Null among 300, %s", target) << target << 0;
            for (int n : {1, 3, 4})
                QTest::addRow("one reading, %d series, %s", n, target) << target << n;
        }
    }
    void readingsAsStored() {
        QFETCH(QString, target);
        QFETCH(int, series);
        ChartModel chart;
        clsGrapher g(env.prog());
        const QStringList cols =
            QStringList{"NormalizedPermFlow", "NormalizedDP", "NormalizedFlux", "ActualFlux"}.mid(
                0, std::max(1, series));
        g.ProjectID(series ? "ONE" : "NUL");
        g.TrainNumber(1);
        g.Graph(&chart);
        g.SensorCount(qint16(cols.size()));
        g.EndDate(at(2023, 5, 11));
        g.StartDate(at(2023, 5, 1));
        g.SensorDescs(cols);
        g.SensorCols(cols);
        const QColor blue(0, 0, 255);
        g.SetLineColor(1, RgbColor(0, 0, 255));
        g.SetSymbolColor(1, RgbColor(0, 0, 255));
        if (!series) {
            qint16 box = 3;
            g.SetSymbolStyle(1, box);
        }
        g.MakeGraph();
        const Drawing d = drawAs(target, chart, QSize(900, 620));
        QVERIFY(d.plot);
        const QRect area = d.plot->axisRect()->rect();
        if (series) {
            const QStringList missing =
                unmarked(d, chart.group(1).series(1), blue, chart.axis(ChartModel::Y));
            QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
            return;
        }
        const QCPAxis* x = d.plot->xAxis;
        const QCPAxis* y = d.plot->yAxis;
        // Nothing drawn near 0, and nothing between the neighbours of the missing value.
        const int low = int(y->coordToPixel(150));
        QCOMPARE(colourPixels(d.image, blue, QRect(area.left(), low, area.width(), area.bottom() - low)), 0);
        const int from = int(x->coordToPixel(ToDateSerial(at(2023, 5, 5, 18))));
        const int to = int(x->coordToPixel(ToDateSerial(at(2023, 5, 7, 6))));
        QCOMPARE(colourPixels(d.image, blue, QRect(from, area.top(), to - from, area.height())), 0);
        QVERIFY(colourPixels(d.image, blue, area) > 100);
    }

    // Every picture is cut to the plot area as the window is: a series above a fixed maximum
    // draws nothing over the labels, the title or the legend. The SVG's text is the size the
    // window shows.
    void picturesClipToPlot_data() {
        QTest::addColumn<QString>("target");
        for (const char* target : {"window", "png", "svg"})
            QTest::newRow(target) << target;
    }
    void picturesClipToPlot() {
        QFETCH(QString, target);
        ChartModel chart;
        clsGrapher g(env.prog());
        g.ProjectID("ALT");
        g.TrainNumber(1);
        g.Graph(&chart);
        g.SensorCount(1);
        g.EndDate(at(2023, 3, 1));
        g.StartDate(at(2023, 1, 1));
        g.SensorDescs({"Flow"});
        g.SensorCols({"NormalizedPermFlow"});
        g.SetLineColor(1, RgbColor(0, 0, 255));
        g.LineThickness(3);
        g.YMax(45); // the readings of 50 lie above the plot
        g.MakeGraph();
        chart.headerText = "Plant one";
        const Drawing d = drawAs(target, chart, QSize(900, 620));
        QVERIFY(d.plot);
        const QRect area = d.plot->axisRect()->rect().adjusted(-2, -2, 2, 2);
        const QRect legend = d.plot->legend->outerRect();
        QCOMPARE(colourPixels(d.image, QColor(0, 0, 255), {}, {area, legend}), 0);
        QVERIFY(colourPixels(d.image, QColor(0, 0, 255), area) > 100);
        if (target == "svg") {
            const int dpi = d.plot->logicalDpiY();
            QVERIFY2(
                svgText(env.path("drawing.svg")).contains(QString("font-size=\"%1\"").arg(12.0 * dpi / 72)),
                "the title is not 12 points at the window's resolution");
        }
    }

    // The vertical and horizontal line symbols are as long as the other symbols are wide.
    void lineSymbolsFullLength() {
        auto extent = [](int shape) {
            ChartModel m;
            m.setAxisRange(ChartModel::X, 0, 10);
            m.setAxisRange(ChartModel::Y, 0, 10);
            ChartSeries& s = m.group(1).series(1);
            s.x = {5};
            s.y = {5};
            ChartStyle& st = m.group(1).style(1);
            st.linePattern = 1;
            st.symbolShape = shape;
            st.symbolSize = 12;
            st.symbolColor = RgbColor(0, 0, 255);
            QCustomPlot plot;
            plot.resize(300, 200);
            plot.setViewport(QRect(0, 0, 300, 200));
            RenderChart(m, plot);
            plot.legend->setVisible(false);
            const QImage img = plot.toPixmap(300, 200).toImage();
            QRect box;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (img.pixelColor(x, y).blue() > 150 && img.pixelColor(x, y).red() < 100)
                        box |= QRect(x, y, 1, 1);
            return box.size();
        };
        const QSize square = extent(3), vertical = extent(7), horizontal = extent(8);
        QVERIFY2(std::abs(vertical.height() - square.height()) <= 2,
                 qPrintable(QString("%1 against %2").arg(vertical.height()).arg(square.height())));
        QVERIFY2(std::abs(horizontal.width() - square.width()) <= 2,
                 qPrintable(QString("%1 against %2").arg(horizontal.width()).arg(square.width())));
    }

    // A dense series with symbols stays a small picture: the library's sampling merges readings
    // within a pixel column, the model keeps all.
    void denseSeriesThinned() {
        TestEnv dense;
        makeBlankDatabase(dense.prog().ProjectDatabasePath);
        insertDenseRows(dense.prog().ProjectDatabasePath, "D", 1, at(2020, 1, 1), 40000, 15);
        ChartModel chart;
        clsGrapher g(dense.prog());
        g.ProjectID("D");
        g.TrainNumber(1);
        g.Graph(&chart);
        g.SensorCount(1);
        g.EndDate(at(2021, 3, 1));
        g.StartDate(at(2020, 1, 1));
        g.SensorDescs({"Flow"});
        g.SensorCols({"NormalizedPermFlow"});
        qint16 star = 6;
        g.SetSymbolStyle(1, star);
        g.MakeGraph();
        QCOMPARE(chart.group(1).series(1).pointCount(), 40000);
        RenderStats stats;
        const QString svg = dense.path("dense.svg");
        QCOMPARE(SaveChartSvg(chart, svg, QSize(1000, 700), &stats).value_or("written"), QString("written"));
        QVERIFY2(stats.symbolsDrawn < 20000, qPrintable(QString::number(stats.symbolsDrawn)));
        // A few hundred bytes a symbol, and no more symbols in the file than were drawn.
        QVERIFY2(QFileInfo(svg).size() < 20000 * 400, qPrintable(QString::number(QFileInfo(svg).size())));
    }
};

QTEST_MAIN(tst_ChartRender)
#include "tst_chartrender.moc"
