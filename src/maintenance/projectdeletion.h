#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>

#include "platform/database.h"

namespace hv {

struct Program;

// The window that stores readings under the current project train while it is open
// ("Data Entry" or "Import Data"); empty when neither is.
QString CollectingWindowOpen(const Program& p);

// The tables a project train's rows are deleted from, in the order they are emptied
// before its ProjectInfo row goes. UserDefined is shared by the project's trains and stays.
enum class DeletedTable { Data, InputOrder, Scada, ScadaImport, UserGraphs };
inline constexpr std::array<const char*, 5> DeletedTableNames = {"Data", "InputOrder", "Scada", "ScadaImport",
                                                                 "UserGraphs"};

struct ProjectDeletion {
    std::array<qint64, 5> counts{}; // rows deleted per table, in DeletedTable order
    qint64 projectRows = 0;         // ProjectInfo rows of the train
};

// Called after each batch with the table being emptied and its rows deleted so far.
using DeletionProgress = std::function<void(DeletedTable table, qint64 deleted)>;

// Deletes every row of the project train from Data, InputOrder, Scada, ScadaImport and
// UserGraphs, then its ProjectInfo row, in one transaction: a failure leaves every row in
// place and raises its DbError. Keys are compared as stored (project IDs without regard to
// case); a table the database lacks is passed over.
ProjectDeletion DeleteProjectTrain(Database& db, const QString& projectId, qint16 train,
                                   const DeletionProgress& progress = {}, int batchSize = 5000);

// The readings stored under the project train.
qint64 ProjectTrainReadingCount(Database& db, const QString& projectId, qint16 train);

// The label text after a table's rows are deleted: "Deleted 17 Data Records".
QString DeletedCountText(DeletedTable table, qint64 count);

} // namespace hv
