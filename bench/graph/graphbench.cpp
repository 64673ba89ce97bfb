// hevrin-graph --database FILE --project ID --train N [--series COL,...] [--from DATE --to DATE]
//              [--elapsed] [--events] --out FILE.svg|FILE.png|FILE.jpg
// Builds the graph of those series and that period as the graph manager does (symbols on
// every series) and saves it. The last line gives the readings loaded, the points drawn,
// the seconds to load, to build the chart model and to render, and the peak memory.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "core/program.h"
#include "graphs/grapher.h"
#include "graphs/graphstyle.h"
#include "graphs/ui/chartview.h"
#include "platform/database.h"
#include "platform/systeminfo.h"

using namespace hv;

namespace {

// Messages go to the terminal; nothing waits for an answer.
class ConsolePrompts : public QtPrompts {
public:
    Answer message(const QString& text, Buttons, Icon, const QString&) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return Answer::OK;
    }
};

long peakKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Builds and renders one performance graph.");
    parser.addHelpOption();
    parser.addOption({"database", "Project database.", "FILE"});
    parser.addOption({"project", "Project ID.", "ID"});
    parser.addOption({"train", "Train number (below 1: every train).", "N", "1"});
    parser.addOption({"series", "Data columns, comma separated.", "COLS",
                      "NormalizedPermFlow,NormalizedSaltPassage,NormalizedDP,ActualRejection"});
    parser.addOption({"from", "First day (yyyy-mm-dd).", "DATE"});
    parser.addOption({"to", "Last day (yyyy-mm-dd), drawn whole.", "DATE"});
    parser.addOption({"elapsed", "Elapsed hours on the X axis."});
    parser.addOption({"events", "Mark the events."});
    parser.addOption({"out", "Picture to write: .svg, .png or .jpg.", "FILE"});
    parser.process(app);
    const QString out = parser.value("out");
    if (parser.value("database").isEmpty() || out.isEmpty()) {
        std::fprintf(stderr, "usage: hevrin-graph --database FILE --project ID --train N [--series COL,...] "
                             "[--from DATE --to DATE] --out FILE.svg|FILE.png\n");
        return 2;
    }
    ConsolePrompts prompts;
    SystemInfo system;
    UserStore store(QDir::temp().filePath("hevrin-graph-store.ini"));
    Program p(prompts, system, store);
    p.ProjectDatabasePath = parser.value("database");

    try {
        QDateTime from, to;
        if (parser.isSet("from")) from = QDate::fromString(parser.value("from"), Qt::ISODate).startOfDay();
        if (parser.isSet("to"))
            to = QDate::fromString(parser.value("to"), Qt::ISODate).addDays(1).startOfDay();
        if (!from.isValid() || !to.isValid()) {
            Database db = Database::open(p.ProjectDatabasePath);
            const DbRows r = db.select("SELECT MIN(TheDate), MAX(TheDate) FROM Data WHERE ProjectID = ?",
                                       {parser.value("project")});
            if (!from.isValid()) from = parseDbDate(r.first().value(0).toString());
            if (!to.isValid()) to = parseDbDate(r.first().value(1).toString()).addDays(1);
        }
        const QStringList cols = parser.value("series").split(',', Qt::SkipEmptyParts);

        ChartModel chart;
        QElapsedTimer t;
        clsGrapher g(p);
        g.ProjectID(parser.value("project"));
        g.TrainNumber(qint16(parser.value("train").toInt()));
        g.Graph(&chart);
        g.SensorCount(qint16(cols.size()));
        g.EndDate(to);
        g.StartDate(from);
        g.SensorDescs(cols);
        g.SensorCols(cols);
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
        g.ElapsedTime(parser.isSet("elapsed"));
        g.ShowEvents(parser.isSet("events"));
        t.start();
        g.LoadOnly();
        const double load = t.nsecsElapsed() / 1e9;
        t.restart();
        g.DrawOnly();
        const double build = t.nsecsElapsed() / 1e9;
        t.restart();
        RenderStats stats;
        bool ok = false;
        const QString suffix = QFileInfo(out).suffix().toLower();
        if (suffix == "svg")
            ok = SaveChartSvg(chart, out, QSize(ChartPictureWidth, ChartPictureHeight), &stats);
        else if (suffix == "jpg" || suffix == "jpeg")
            ok = SaveChartJpeg(chart, out, QSize(ChartPictureWidth, ChartPictureHeight), 90, &stats);
        else
            ok = SaveChartPng(chart, out, QSize(ChartPictureWidth, ChartPictureHeight), &stats);
        const double render = t.nsecsElapsed() / 1e9;
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
            return 1;
        }
        std::printf("file %s: %.2f MB\n", qPrintable(out), QFileInfo(out).size() / 1e6);
        std::printf(
            "readings %lld points %lld symbols %lld load %.3f s build %.3f s render %.3f s total %.3f s "
            "peak %ld kB\n",
            static_cast<long long>(g.RowsLoaded()), static_cast<long long>(stats.pointsDrawn),
            static_cast<long long>(stats.symbolsDrawn), load, build, render, load + build + render, peakKb());
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
