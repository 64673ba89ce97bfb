#pragma once
#include <optional>

#include "core/projectrecord.h"
#include "platform/database.h"

namespace hv {

struct Program;

// Copies a ProjectInfo row into CurrentProject. The first 46 columns must not be Null
// (DbError 94); the bank-3 and vessel columns load a Null as 0. Nothing is trapped: a
// failure leaves the fields read before it holding the new row's values.
void LoadProjectSettings(Program& p, const DbRow& rs);
// The same into a record of the caller's.
void LoadProjectRecord(ProjectInfoRecord& record, const DbRow& rs);
// The record of a project train as the database holds it now; nullopt when it has none.
std::optional<ProjectInfoRecord> ReadProjectRecord(Database& db, const QString& projectId, qint16 train);
// The columns a project record cannot load as Null, as LoadProjectRecord spells them.
QStringList RequiredProjectColumns();

} // namespace hv
