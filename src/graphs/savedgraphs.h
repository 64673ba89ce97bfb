#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "graphs/graphmanager.h"

namespace hv {

struct Program;

// Whether a graph of that name is saved for the project in any of its trains.
bool SavedGraphExists(Program& p, const QString& projectId, const QString& name);

// The first saved graph of that name of the project train, in ID order; nothing when the
// row is gone (deleted by the browser while the list still showed it).
std::optional<UserGraphRow> LoadUserGraph(Program& p, const QString& projectId, qint16 train,
                                          const QString& name);

// The period a saved graph is drawn for on `today`: "Last Graph" keeps its length in days and
// ends today, any other graph keeps its dates and times. A "Last Graph" without a start keeps
// none.
std::pair<QDateTime, QDateTime> SavedGraphPeriod(const UserGraphRow& row, const QDate& today);

// List position of the series with that description, case counted; -1 without one.
int FindSeriesIndex(const QStringList& descriptions, const QString& description);

// The series of the primary graph at that position of the primary-graph list.
QString PrimaryGraphSeries(int position);

} // namespace hv
