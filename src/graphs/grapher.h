#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "graphs/chartmodel.h"

namespace hv {

struct Program;
class SqliteStatement;

// Date serial: days since 30 December 1899, the time of day as the fraction.
double ToDateSerial(const QDateTime& dt);
QDateTime FromDateSerial(double serial);

// The last instant a stored date can name ("9999-12-31 23:59:59"): no period ends past it.
QDateTime LastStoredInstant();
// An instant as the date rule keys it (yyyymmddhhmmss, see ReadingDateKey), and back as a
// date serial; NaN for a key that names no instant (a 31 April, an hour 24).
qint64 DateKeyOf(const QDateTime& dt);
double DateSerialOfKey(qint64 key);

// An event a graph met among the readings of its period.
struct GraphEvent {
    qint64 dateKey = 0;
    double date = 0;  // date serial
    double hours = 0; // NaN without hours
    int eventId = 0;
};

// What a graph shows: filled by the builder's properties, read by loading and drawing.
struct GraphRequest {
    QString ProjectID;
    qint16 TrainNumber = 0; // below 1: every train
    qint16 Bank = 0;        // above 0: only the rows of that bank
    ChartModel* Graph = nullptr;
    QStringList SensorDescs; // SensorDescs[k - 1] is series k
    QStringList SensorCols;
    qint16 SensorCount = 0;
    QDateTime StartDate; // invalid: the date serial 0
    QDateTime EndDate;
    double MaxY = 0; // the highest reading drawn, or 0 when none is above 0
    double MaxY2 = 0;
    double MinY = 0; // the lowest reading drawn, or 0 when none is below 0
    double MinY2 = 0;
    bool YMaxFixed = false;
    bool Y2MaxFixed = false;
    bool YMinFixed = false; // else 0, or below the lowest reading, whatever the chart held before
    bool Y2MinFixed = false;
    bool ElapsedTime = false;
    bool ShowEvents = false;
};

// One table entry of loaded points. The series of readings share their rows: entry 1 holds
// the dates and hours of them all, and the other readings' entries only their values.
struct SeriesData {
    qint32 PointCount = 0;
    std::vector<double> Values;
    QList<double> Dates; // date serials; handed to the chart's series as they are
    QList<double> Hours;
};

// The caption of the box the cleaning level is typed in.
inline const char* CleaningLevelBox = "Value indicating cleaning required";

// The "Cleaning Required" line, as the graph manager's boxes hold it.
struct CleaningLine {
    bool show = false;
    QString levelText; // "" or 0: the Y maximum; "50%" is 0.5; read by the one number reader
    QString widthText;
};

// Builds one performance graph on a chart model: a fresh builder per drawing, its
// properties set in the documented order, then MakeGraph once. The style and axis
// operations write to the chart at once. Nothing is trapped: database failures arrive as
// DbError.
class clsGrapher {
public:
    explicit clsGrapher(Program& p) : p_(p) {}

    bool ShowEvents() const { return Request.ShowEvents; }
    void ShowEvents(bool v) { Request.ShowEvents = v; }
    bool ElapsedTime() const { return Request.ElapsedTime; }
    void ElapsedTime(bool v) { Request.ElapsedTime = v; }
    qint16 SensorCount() const { return Request.SensorCount; }
    void SensorCount(qint16 n);
    QDateTime StartDate() const { return Request.StartDate; }
    void StartDate(const QDateTime& d) { Request.StartDate = d; }
    QDateTime EndDate() const { return Request.EndDate; }
    void EndDate(const QDateTime& d) { Request.EndDate = d; }
    void SensorDescs(const QStringList& l) { Request.SensorDescs = l; }
    void SensorCols(const QStringList& l) { Request.SensorCols = l; }
    void ProjectID(const QString& id) { Request.ProjectID = id; }
    void TrainNumber(qint16 t) { Request.TrainNumber = t; }
    void Bank(qint16 b) { Request.Bank = b; }
    void Graph(ChartModel* chart) { Request.Graph = chart; }
    void YMax(double v);
    void Y2Max(double v);
    void YMin(double v);
    void Y2Min(double v);
    void LineThickness(qint16 w);
    void SymbolThickness(qint16 s);
    void Cleaning(const CleaningLine& c) { cleaning_ = c; }

    // Loads the series and draws them; a request without series draws nothing.
    void MakeGraph();

    void SetLineColor(int index, qint32 color);
    void SetSymbolColor(int index, qint32 color);
    void SetLineStyle(int index, qint16& pattern);
    void SetSymbolStyle(int index, qint16& shape);

    GraphRequest Request;
    // Series[k - 1] is entry k. Drawing moves the points into the chart: afterwards each
    // entry keeps only its PointCount.
    std::vector<SeriesData> Series;
    // With ShowEvents, the events of the period in date order, met by the same pass as the
    // readings; kept after drawing.
    std::vector<GraphEvent> Events;

    // Readings loaded by the last MakeGraph (for the benchmark).
    qint64 RowsLoaded() const { return rowsLoaded_; }
    // Split of MakeGraph for the benchmark: loading, then drawing onto the model.
    void LoadOnly();
    void DrawOnly() { DrawGraph(Request); }

private:
    void LoadGraphData(GraphRequest& r);
    void PlaceEventSeries(int index);
    // With `picking`, the result also holds TrainNumber, Bank and EventID after the series:
    // the bank's readings are picked here and, with `events`, the events collected in the
    // same pass.
    void LoadSensorSeries(GraphRequest& r, SqliteStatement& q, int index, bool picking, bool events = false);
    void DrawGraph(GraphRequest& r);
    void sizeSeries();
    void sortByDate();

    Program& p_;
    CleaningLine cleaning_;
    qint64 rowsLoaded_ = 0;
    // The period's ends as date keys: a reading is drawn by the instant its date names.
    qint64 startKey_ = 0;
    qint64 endKey_ = 0;
};

// True for a column graphed in per cent: "ejection" after its first character, or "assage".
bool IsPercentColumn(const QString& column);
// True for a description shown with " (%)".
bool IsPercentDescription(const QString& description);

// The value labels of the date axis between two date serials; an end at midnight closes the
// period with the day before it.
std::vector<ValueLabel> DateAxisLabels(double startDate, double endDate);
// The eleven value labels of the elapsed-time axis from the first and last hours.
std::vector<ValueLabel> ElapsedAxisLabels(double firstHours, double lastHours);

} // namespace hv
