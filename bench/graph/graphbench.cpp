// hevrin-graph --database FILE --project ID --train N [--series COL,...] [--from DATE --to DATE]
//              [--elapsed] [--events] [--floor] [--window] [--out FILE.svg|FILE.png|FILE.jpg]
// hevrin-graph --database FILE --project ID --train N [...] --compare [--repeat N]
// Draws the graph of those series and that period with symbols on every series. --window
// opens the graph window on the project (offscreen), chooses them and times the click on
// the draw button to the painted chart; --out builds the graph as the window does and saves
// the picture. --floor does the same with the least work the graph needs: one statement
// for the columns, handed to the chart library's own graphs with its default sampling, at
// the same size. --compare times window, PNG and SVG both ways in one run (best of
// --repeat) and prints the ratios. The last line gives the figures and the peak memory.
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSvgGenerator>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "core/program.h"
#include "core/units.h"
#include "graphs/grapher.h"
#include "graphs/graphmanager.h"
#include "graphs/graphstyle.h"
#include "graphs/ui/chartview.h"
#include "graphs/ui/frmgraphs.h"
#include "platform/database.h"
#include "platform/filelimits.h"
#include "platform/sqlite.h"
#include "platform/systeminfo.h"
#include "platform/ui/qtprompts.h"

using namespace hv;

namespace {

// The graph window's size when it opens, and its chart's size then.
const QSize WindowSize(1200, 720);
const QSize WindowChartSize(872, 620);
const QSize PictureSize(ChartPictureWidth, ChartPictureHeight);

// Messages go to the terminal; nothing waits for an answer. A failure the window reported
// (a Last Graph row it could not save) fails the run.
class ConsolePrompts : public QtPrompts {
public:
    Answer message(const QString& text, Buttons, Icon icon, const QString&) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        if (icon == Icon::Critical) ++failures;
        return Answer::OK;
    }
    int failures = 0;
};

long peakKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

struct Request {
    QString database;
    QString project;
    int train = 1;
    QStringList cols;
    QDateTime from;
    QDateTime to;       // the last instant drawn
    QString endBoxText; // what the window's end box is given for it
    bool elapsed = false;
    bool events = false;
};

enum class Target { Window, Png, Jpeg, Svg };

Target targetOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "svg") return Target::Svg;
    if (suffix == "jpg" || suffix == "jpeg") return Target::Jpeg;
    return Target::Png;
}

struct Timing {
    double load = 0;
    double build = 0;
    double draw = 0;
    qint64 readings = 0;
    RenderStats stats;
    double total() const { return load + build + draw; }
};

// Counts the paint events of a widget.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* w) : w_(w) { w->installEventFilter(this); }
    // Before the work whose painting is awaited.
    void arm() { seen_ = paints_; }
    // Runs the event loop, as the window's does, until the widget has been painted since arm().
    void wait() {
        while (paints_ == seen_)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == w_ && e->type() == QEvent::Paint) ++paints_;
        return false;
    }

private:
    QWidget* w_;
    int paints_ = 0;
    int seen_ = 0;
};

// The graph window: opened on the project (its activation draws the default graph), then
// the bench's series, period and symbols chosen, and the time from the click on the draw
// button to the painted chart.
Timing windowRun(Program& p, const Request& rq, bool count, double* opened = nullptr) {
    Timing t;
    QElapsedTimer clock;
    clock.start();
    p.CurrentProject.ProjectID = rq.project;
    p.CurrentProject.TrainNumber = qint16(rq.train);
    p.CurrentProject.NumBanks = 3;
    frmGraphs w(p);
    w.resize(WindowSize);
    PaintWatch watch(w.Chart2D1);
    watch.arm();
    w.show();
    watch.wait();
    if (opened) *opened = clock.nsecsElapsed() / 1e9;
    for (int k = 0; k < int(rq.cols.size()) && k < 4; ++k) {
        if (k > 0) w.chkEnableDropDown[size_t(k - 1)]->setChecked(true);
        w.cboSeries[size_t(k)]->setCurrentIndex(int(w.SeriesColumns.indexOf(rq.cols[k])));
    }
    // The graph manager's default styles, with a symbol on every series.
    w.Style.LineThickness = 2;
    w.Style.SymbolThickness = 5;
    for (int k = 0; k < 4; ++k)
        w.Style.SymbolStyle[size_t(k)] = qint16(3 + k);
    w.Option1[rq.elapsed ? 1 : 0]->setChecked(true);
    w.chkShowEvents->setChecked(rq.events);
    w.ChkAllDates->setChecked(false);
    w.txtStartDate->setText(FormatBoxDate(rq.from));
    w.txtEndDate->setText(rq.endBoxText);
    clock.restart();
    watch.arm();
    w.cmdGraph->click();
    watch.wait();
    t.draw = clock.nsecsElapsed() / 1e9;
    t.readings = w.chartModel()->group(1).series(1).pointCount();
    if (count) t.stats = w.Chart2D1->drawnStats();
    return t;
}

// The program's path to a picture: the graph manager's builder onto a chart model, then the
// picture saved from the model. The builder is gone by then, as in the window, where it
// lives only while the draw button's click is handled.
Timing programRun(Program& p, const Request& rq, Target target, const QString& out, bool count) {
    Timing t;
    QElapsedTimer clock;
    if (target == Target::Window) return windowRun(p, rq, count);
    ChartModel chart;
    clock.start();
    {
        clsGrapher g(p);
        g.ProjectID(rq.project);
        g.TrainNumber(qint16(rq.train));
        g.Graph(&chart);
        g.SensorCount(qint16(rq.cols.size()));
        g.EndDate(rq.to);
        g.StartDate(rq.from);
        g.SensorDescs(rq.cols);
        g.SensorCols(rq.cols);
        g.LineThickness(2);
        g.SymbolThickness(5);
        // The graph manager's default styles, with a symbol on every series.
        const GraphStyle style;
        for (int k = 1; k <= 4; ++k) {
            qint16 line = 2, symbol = qint16(2 + k);
            g.SetLineColor(k, style.LineColor[size_t(k - 1)]);
            g.SetSymbolColor(k, style.SymbolColor[size_t(k - 1)]);
            g.SetLineStyle(k, line);
            g.SetSymbolStyle(k, symbol);
        }
        g.ElapsedTime(rq.elapsed);
        g.ShowEvents(rq.events);
        g.LoadOnly();
        t.load = clock.nsecsElapsed() / 1e9;
        clock.restart();
        g.DrawOnly();
        t.readings = g.RowsLoaded();
    }
    t.build = clock.nsecsElapsed() / 1e9;
    clock.restart();
    RenderStats* stats = count ? &t.stats : nullptr;
    std::optional<QString> failure;
    switch (target) {
    case Target::Window:
        break;
    case Target::Svg:
        failure = SaveChartSvg(chart, out, PictureSize, stats);
        break;
    case Target::Jpeg:
        failure = SaveChartJpeg(chart, out, PictureSize, 90, stats);
        break;
    case Target::Png:
        failure = SaveChartPng(chart, out, PictureSize, stats);
        break;
    }
    t.draw = clock.nsecsElapsed() / 1e9;
    if (failure) throw DbError(dberr::SqlFailed, "cannot write " + out + ": " + *failure);
    return t;
}

QString dateText(const QDateTime& d) {
    return d.toString("yyyy-MM-dd HH:mm:ss");
}

// The floor's graph: the library's own line with its adaptive sampling, drawn segment by
// segment as the program's is, then one stamped mark per distinct pixel of the series, as the
// program stamps them. No gaps, no cutting of the line, no chart model.
class FloorGraph : public QCPGraph {
public:
    FloorGraph(QCPAxis* key, QCPAxis* value, const QCPScatterStyle& mark)
        : QCPGraph(key, value), mark_(mark) {}

protected:
    void draw(QCPPainter* painter) override {
        QCPGraph::draw(painter);
        if (mark_.isNone() || mDataContainer->isEmpty()) return;
        const QRect area = mKeyAxis->axisRect()->rect();
        const int w = area.width() + 1, h = area.height() + 1;
        std::vector<bool> taken(size_t(w) * size_t(h), false);
        const int side = int(std::ceil(mark_.size() + mark_.pen().widthF())) + 2;
        QPixmap stamp(side, side);
        stamp.fill(Qt::transparent);
        {
            QCPPainter shape(&stamp);
            shape.setAntialiasing(painter->antialiasing());
            mark_.applyTo(&shape, mPen);
            mark_.drawShape(&shape, side / 2.0, side / 2.0);
        }
        const QPointF centre(side / 2.0, side / 2.0);
        for (const QCPGraphData& d : *mDataContainer) {
            const QPointF at(mKeyAxis->coordToPixel(d.key), mValueAxis->coordToPixel(d.value));
            const int x = int(std::lround(at.x())) - area.left(), y = int(std::lround(at.y())) - area.top();
            if (x < 0 || y < 0 || x >= w || y >= h) continue;
            const size_t cell = size_t(y) * size_t(w) + size_t(x);
            if (taken[cell]) continue;
            taken[cell] = true;
            painter->drawPixmap(at - centre, stamp);
        }
    }

private:
    QCPScatterStyle mark_;
};

// A plot that paints itself into a raster picture as a window paints it, fast lines kept.
class FloorPlot : public QCustomPlot {
public:
    bool paintInto(QImage& image) {
        QCPPainter painter;
        if (!painter.begin(&image)) return false;
        draw(&painter);
        painter.end();
        return true;
    }
};

// The floor: one statement for the columns, handed to the library's graphs as they come.
void floorGraph(QCustomPlot& plot, const Request& rq, Timing& t) {
    QElapsedTimer clock;
    clock.start();
    SqliteConnection db(rq.database);
    const int n = int(rq.cols.size());
    QString sql = QString("SELECT %1").arg(rq.elapsed ? "ElapsedTimeHrs" : "julianday(TheDate) - 2415018.5");
    for (const QString& c : rq.cols)
        sql += ", \"" + c + "\"";
    sql += rq.events ? ", EventID" : "";
    sql += " FROM Data WHERE ProjectID = ?1 AND TrainNumber = ?2 AND TheDate >= ?3 AND TheDate <= ?4 "
           "ORDER BY TheDate";
    SqliteStatement q(db, sql);
    q.bindAll({rq.project, rq.train, dateText(rq.from), dateText(rq.to)});
    std::vector<QVector<QCPGraphData>> data(size_t(n + 1));
    std::vector<double> scale(size_t(n), 1.0), maxima(size_t(n), 0.0);
    for (int k = 0; k < n; ++k)
        if (IsPercentColumn(rq.cols[k])) scale[size_t(k)] = 100;
    while (q.step()) {
        const double x = q.real(0);
        for (int k = 0; k < n; ++k) {
            const double y = q.real(k + 1) * scale[size_t(k)];
            maxima[size_t(k)] = std::max(maxima[size_t(k)], y);
            data[size_t(k)].append(QCPGraphData(x, y));
        }
        if (rq.events && q.real(n + 1) > 0) data[size_t(n)].append(QCPGraphData(x, 0));
    }
    t.readings = data[0].size();
    t.load = clock.nsecsElapsed() / 1e9;
    clock.restart();

    // The same picture: two value axes with two series, the legend, the styles' symbols.
    static const QCPScatterStyle::ScatterShape shapes[] = {
        QCPScatterStyle::ssSquare, QCPScatterStyle::ssTriangle, QCPScatterStyle::ssDiamond,
        QCPScatterStyle::ssStar};
    plot.setPlottingHint(QCP::phFastPolylines, true);
    const GraphStyle style;
    QCPAxisRect* rect = plot.axisRect();
    QCPAxis* y2 = rect->axis(QCPAxis::atRight);
    y2->setVisible(n == 2);
    double yMax = 0;
    for (int k = 0; k < n; ++k) {
        QCPAxis* va = n == 2 && k == 1 ? y2 : plot.yAxis;
        const qint32 c = style.LineColor[size_t(k)];
        const QColor color(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
        auto* graph =
            new FloorGraph(plot.xAxis, va, QCPScatterStyle(shapes[k % 4], QPen(color, 1.2), Qt::NoBrush, 6));
        graph->setName(rq.cols[k]);
        graph->setPen(QPen(color, 2));
        graph->data()->set(data[size_t(k)], true);
        if (va == y2)
            y2->setRange(0, maxima[size_t(k)] * 1.1);
        else
            yMax = std::max(yMax, maxima[size_t(k)]);
    }
    if (rq.events) {
        auto* graph = new FloorGraph(plot.xAxis, plot.yAxis,
                                     QCPScatterStyle(QCPScatterStyle::ssDiamond, QColor(166, 66, 164), 7));
        graph->setName("Events");
        graph->setLineStyle(QCPGraph::lsNone);
        graph->data()->set(data[size_t(n)], true);
    }
    plot.yAxis->setRange(0, yMax * 1.1);
    if (rq.elapsed && !data[0].isEmpty())
        plot.xAxis->setRange(data[0].first().key, data[0].last().key);
    else
        plot.xAxis->setRange(ToDateSerial(rq.from), ToDateSerial(rq.to));
    plot.legend->setVisible(true);
    t.build = clock.nsecsElapsed() / 1e9;
}

Timing floorRun(const Request& rq, Target target, const QString& out) {
    Timing t;
    std::unique_ptr<FloorPlot> view;
    std::unique_ptr<PaintWatch> watch;
    if (target == Target::Window) {
        view = std::make_unique<FloorPlot>();
        view->resize(WindowChartSize);
        watch = std::make_unique<PaintWatch>(view.get());
        watch->arm();
        view->show();
        watch->wait();
    }
    FloorPlot offscreen;
    if (!view) {
        offscreen.resize(PictureSize);
        offscreen.setViewport(QRect(QPoint(0, 0), PictureSize));
    }
    FloorPlot& plot = view ? *view : offscreen;
    if (watch) watch->arm();
    floorGraph(plot, rq, t);
    QElapsedTimer clock;
    clock.start();
    // The floor's pictures too are made in memory and appear only when written whole, as the
    // program's do.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    bool ok = true;
    switch (target) {
    case Target::Window:
        view->replot();
        watch->wait();
        break;
    case Target::Svg: {
        QSvgGenerator gen;
        gen.setOutputDevice(&picture);
        gen.setSize(PictureSize);
        gen.setViewBox(QRect(QPoint(0, 0), PictureSize));
        QCPPainter painter;
        ok = painter.begin(&gen);
        if (ok) plot.toPainter(&painter, PictureSize.width(), PictureSize.height());
        painter.end();
        break;
    }
    case Target::Jpeg:
    case Target::Png: {
        QImage image(PictureSize, QImage::Format_RGB32);
        image.fill(Qt::white);
        ok = plot.paintInto(image);
        if (ok) {
            QImageWriter writer(&picture, target == Target::Png ? "PNG" : "JPG");
            if (target == Target::Jpeg) writer.setQuality(90);
            ok = writer.write(image);
        }
        break;
    }
    }
    std::optional<QString> failure;
    if (!ok)
        failure = QString("the picture could not be drawn");
    else if (target != Target::Window)
        failure = WritePictureBytes(out, picture.data());
    t.draw = clock.nsecsElapsed() / 1e9;
    if (failure) throw DbError(dberr::SqlFailed, "cannot write " + out + ": " + *failure);
    return t;
}

// The best of several runs: the machine's other work only ever adds time.
Timing best(int repeat, const std::function<Timing()>& run) {
    Timing b = run();
    for (int i = 1; i < repeat; ++i) {
        const Timing t = run();
        if (t.total() < b.total()) b = t;
    }
    return b;
}

void printTiming(const char* what, const Timing& t) {
    if (t.load == 0 && t.build == 0)
        std::printf("%-14s click to painted %.3f s", what, t.total());
    else
        std::printf("%-14s load %.3f s build %.3f s draw %.3f s total %.3f s", what, t.load, t.build, t.draw,
                    t.total());
}

} // namespace

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    hv::IgnoreFileSizeSignal();
    // The offscreen platform's warnings would bury the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Builds and draws one performance graph.");
    parser.addHelpOption();
    parser.addOption({"database", "Project database.", "FILE"});
    parser.addOption({"project", "Project ID.", "ID"});
    parser.addOption({"train", "Train number.", "N", "1"});
    parser.addOption({"series", "Data columns, comma separated.", "COLS",
                      "NormalizedPermFlow,NormalizedSaltPassage,NormalizedDP,ActualRejection"});
    parser.addOption({"from", "First day (yyyy-mm-dd).", "DATE"});
    parser.addOption({"to", "Last day (yyyy-mm-dd), drawn whole.", "DATE"});
    parser.addOption({"elapsed", "Elapsed hours on the X axis."});
    parser.addOption({"events", "Mark the events."});
    parser.addOption({"out", "Picture to write: .svg, .png or .jpg.", "FILE"});
    parser.addOption({"window", "Draw the graph window's chart (offscreen)."});
    parser.addOption({"floor", "Draw with the least work the same graph needs."});
    parser.addOption({"compare", "Window, PNG and SVG, both the program's way and the floor's, in one run."});
    parser.addOption({"repeat", "Runs per figure with --compare (the best counts).", "N", "3"});
    parser.process(app);
    const QString out = parser.value("out");
    const bool compare = parser.isSet("compare"), window = parser.isSet("window");
    if (parser.value("database").isEmpty() || parser.value("project").isEmpty() ||
        (!compare && !window && out.isEmpty())) {
        std::fprintf(stderr, "usage: hevrin-graph --database FILE --project ID --train N [--series COL,...] "
                             "[--from DATE --to DATE] [--elapsed] [--events] [--floor] "
                             "[--window] [--out FILE.svg|FILE.png|FILE.jpg] | --compare [--repeat N]\n");
        return 2;
    }
    ConsolePrompts prompts;
    SystemInfo system;
    UserStore store(QDir::temp().filePath("hevrin-graph-store.ini"));
    Program p(prompts, system, store);
    p.ProjectDatabasePath = parser.value("database");
    p.IniFilePath = QDir::temp().filePath("hevrin-graph.ini");
    InitUnits(p);

    try {
        Request rq;
        rq.database = p.ProjectDatabasePath;
        rq.project = parser.value("project");
        rq.train = parser.value("train").toInt();
        rq.cols = parser.value("series").split(',', Qt::SkipEmptyParts);
        rq.elapsed = parser.isSet("elapsed");
        rq.events = parser.isSet("events");
        if (parser.isSet("from")) rq.from = QDate::fromString(parser.value("from"), Qt::ISODate).startOfDay();
        // The last day is typed as a date alone, which the window draws whole; the tool draws
        // what the window does, never past the last instant a date can hold.
        if (parser.isSet("to"))
            rq.endBoxText = FormatBoxDate(QDate::fromString(parser.value("to"), Qt::ISODate).startOfDay());
        if (!rq.from.isValid() || rq.endBoxText.isEmpty()) {
            // The train's recorded period, read from the index as the window reads it.
            const RecordedPeriod r = GetStartDate(p, rq.project, qint16(rq.train));
            if (!rq.from.isValid()) rq.from = r.start;
            if (rq.endBoxText.isEmpty()) rq.endBoxText = FormatBoxDate(r.end.addDays(-1));
        }
        rq.to = DrawnEnd(rq.endBoxText);

        if (compare) {
            const int repeat = std::max(1, parser.value("repeat").toInt());
            const QString png = QDir::temp().filePath("hevrin-graph-compare.png");
            const QString svg = QDir::temp().filePath("hevrin-graph-compare.svg");
            struct Row {
                const char* name;
                Timing program;
                Timing floor;
            };
            std::vector<Row> rows;
            for (const auto& run :
                 {std::tuple{"window", Target::Window, QString()}, std::tuple{"png", Target::Png, png},
                  std::tuple{"svg", Target::Svg, svg}}) {
                const char* name = std::get<0>(run);
                const Target target = std::get<1>(run);
                const QString file = std::get<2>(run);
                Row r{name, best(repeat, [&] { return programRun(p, rq, target, file, false); }),
                      best(repeat, [&] { return floorRun(rq, target, file); })};
                rows.push_back(r);
                printTiming(name, r.program);
                std::printf("\n");
                printTiming((std::string(name) + " floor").c_str(), r.floor);
                std::printf("  ratio %.2f\n", r.program.total() / r.floor.total());
            }
            std::printf("readings %lld series %lld", static_cast<long long>(rows[0].program.readings),
                        static_cast<long long>(rq.cols.size()));
            for (const Row& r : rows)
                std::printf(" %s %.3f s floor %.3f s ratio %.2f", r.name, r.program.total(), r.floor.total(),
                            r.program.total() / r.floor.total());
            std::printf(" peak %ld kB\n", peakKb());
            std::fflush(stdout);
            std::_Exit(prompts.failures > 0 ? 1 : 0);
        }

        const bool floor = parser.isSet("floor");
        std::vector<Target> targets;
        if (window) targets.push_back(Target::Window);
        if (!out.isEmpty()) targets.push_back(targetOf(out));
        for (Target target : targets) {
            double opened = 0;
            const Timing t = floor                      ? floorRun(rq, target, out)
                             : target == Target::Window ? windowRun(p, rq, true, &opened)
                                                        : programRun(p, rq, target, out, true);
            if (opened > 0) std::printf("window opened and drew its first graph in %.3f s\n", opened);
            if (target != Target::Window)
                std::printf("file %s: %.2f MB\n", qPrintable(out), QFileInfo(out).size() / 1e6);
            std::printf("%s%s readings %lld points %lld symbols %lld load %.3f s build %.3f s draw %.3f s "
                        "total %.3f s peak %ld kB\n",
                        floor ? "floor " : "", target == Target::Window ? "window" : "picture",
                        static_cast<long long>(t.readings), static_cast<long long>(t.stats.pointsDrawn),
                        static_cast<long long>(t.stats.symbolsDrawn), t.load, t.build, t.draw, t.total(),
                        peakKb());
        }
    } catch (const RunError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    // Everything is written: the process ends without taking its graphs and the window
    // system down piece by piece, as a picture-making tool of its own would.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(prompts.failures > 0 ? 1 : 0);
}
