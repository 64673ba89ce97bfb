#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/projecttrainkey.h"
#include "graphs/grapher.h"
#include "graphs/graphstyle.h"

namespace hv {

struct Program;
class ChartModel;

// What the graph manager window reads from the database and shows besides the chart.

// The project train of each ProjectInfo row, in table order (a Null train as 0); `select` is
// the position of the current project train (train 0 read as 1), or -1. The list shows
// each as ProjectTrainText.
std::vector<ProjectTrainKey> LoadProjectItems(Program& p, int& select);

// The project train a list item stands for: a train of 0 is train 1.
ProjectTrainKey GraphedTrain(const ProjectTrainKey& item);

// The position of that project train in the project list, -1 without one.
int ProjectItemIndex(const std::vector<ProjectTrainKey>& items, const QString& project, qint16 train);

// The title label: the project alone for train 1, else with " Train: " and the number.
QString ProjectTitle(const QString& project, qint16 train);

// NumTrains of the project's first ProjectInfo row; nothing without a row.
std::optional<qint16> ReadNumTrains(Program& p, const QString& project);

// The oldest reading of a project, over all its trains.
std::optional<QDateTime> OldestReading(Program& p, const QString& project);

// The recorded period of a project train (oldest to newest + 1 day, by the instants their dates
// name, never past LastStoredInstant), from the date index; without readings now less 7 days to
// now.
struct RecordedPeriod {
    QDateTime start;
    QDateTime end;
};
RecordedPeriod GetStartDate(Program& p, const QString& project, qint16 train);

// The graphable series of a project in list order, with that project's own captions for the
// five user-definable measurements; nothing when the catalogue has no row.
struct SeriesList {
    QStringList descriptions;
    QStringList columns;
};
std::optional<SeriesList> LoadSeriesList(Program& p, const QString& graphProject);

// Saved graph names of a project train in ID order.
QStringList LoadMyGraphNames(Program& p, const QString& project, qint16 train);

// The events list of a drawing: the 25 newest events of the project train in the period,
// "<date in the computer's short form> - <event>". EventList makes it from the events the
// drawing met; LoadEventList reads them itself.
QStringList EventList(Program& p, std::vector<GraphEvent> events);
QStringList LoadEventList(Program& p, const QString& project, qint16 train, const QDateTime& start,
                          const QDateTime& end);

// The units a project train's readings are stored in (GetUnitName's indexes).
struct GraphUnits {
    qint16 flow = 0;
    qint16 press = 0;
    qint16 flux = 0;
    qint16 temp = 0;
};
// The current project's units.
GraphUnits CurrentUnits(const Program& p);
// The units of a project train's ProjectInfo row, else of the project's first row; the
// current project's when the project has none.
GraphUnits ReadGraphUnits(Program& p, const QString& project, qint16 train);

// NumBanks of a project train's ProjectInfo row, else of the project's first row; the current
// project's when the project has none.
qint16 ReadGraphNumBanks(Program& p, const QString& project, qint16 train);

// The chart's information line for a drawing of readings in `units` made on `today`.
QString InformationLine(const Program& p, const GraphUnits& units, const QDate& today);

// Dates in the window's boxes: the computer's short date form, with the time when it is not
// midnight or, with `withTime`, always.
QString FormatBoxDate(const QDateTime& dt, bool withTime = false);
// A box's text as a date, read as every typed date is; invalid when the text holds none.
QDateTime ParseBoxDate(const QString& text);
// Whether an end box's text holds a time of day (00:00 too), not a date alone.
bool EndTextHoldsTime(const QString& text);
// The last instant drawn for an end typed in its box: a time of day typed is the end, 00:00
// too; a date alone keeps its whole day. Never past LastStoredInstant; invalid when the text
// holds no date.
QDateTime DrawnEnd(const QString& endText);
// Why the period of the date boxes cannot be drawn or saved: a start or an end that is not a
// date (an empty box included), or an end on a day before the start's; nothing when it can.
std::optional<QString> PeriodRefusal(const QString& startText, const QString& endText);

// One UserGraphs row as the window writes it.
struct UserGraphRow {
    QString ProjectID;
    qint16 TrainNumber = 0;
    QString GraphName;
    QDateTime StartDate; // as typed: a time of day is kept
    QDateTime EndDate;
    bool EndTimeTyped = false; // the end box held a time of day: 00:00 is then kept as typed
    QStringList SeriesNames;   // S1Name..S4Name; missing entries are written as ''
    qint16 SensorCount = 0;
    double Target = 0;
    GraphStyle Style; // limits, styles, colours, sizes and Header (cut to 50 characters)
};
// Whether a saved row's EndDate text holds a typed time of day. A typed 00:00 is stored with a
// "T" ("yyyy-mm-ddT00:00:00"): "yyyy-mm-dd 00:00:00" has always meant a date alone.
bool SavedEndHoldsTime(const QString& storedText);
// Inserts the row; with `overwrite`, first deletes one row of that project, train and name.
void SaveUserGraph(Program& p, const UserGraphRow& row, bool overwrite);
// Replaces the project train's "Last Graph" row.
void SaveLastGraph(Program& p, const UserGraphRow& row);

// The specific-flux check of a drawing: the first ticked series box whose text holds
// "Specific Flux" and its chart series. True when the warning is due.
struct SpecFluxInput {
    QStringList comboTexts;         // cboSeries(0..3) texts
    std::vector<bool> enableTicked; // chkEnableDropDown(0..2)
    qint16 numBanks = 3;
};
bool SpecFluxWarningDue(const Program& p, const SpecFluxInput& in, const ChartModel& chart);
inline const char* SpecFluxWarningText =
    "Specific Flux values are all zero. If you recalculate the project you can recalculate the specific flux "
    "values.";

} // namespace hv
