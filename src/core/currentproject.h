#pragma once
#include <optional>

#include "core/projectrecord.h"
#include "platform/database.h"

namespace hv {

struct Program;

// Copies a ProjectInfo row into CurrentProject by the description's Null rules: a Null in a
// required column fails (DbError 94); one in a column whose Null reads as 0 loads 0. Nothing is trapped: a
// failure leaves the fields read before it holding the new row's values.
void LoadProjectSettings(Program& p, const DbRow& rs);
// The same into a record of the caller's.
void LoadProjectRecord(ProjectInfoRecord& record, const DbRow& rs);
// The record of a project train as the database holds it now; nullopt when it has none.
std::optional<ProjectInfoRecord> ReadProjectRecord(Database& db, const QString& projectId, qint16 train);
// The columns a project record cannot load as Null, as the description spells them.
QStringList RequiredProjectColumns();

} // namespace hv
