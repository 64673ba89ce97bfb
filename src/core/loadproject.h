#pragma once
#include <QString>

namespace hv {

struct Program;

// Opens ProjectDatabasePath and loads CurrentProject's project and train into it, or
// says why it cannot: offers the migration for a two-bank database, the default database
// for a missing file, the database chooser after other failures, and the project window
// in select mode when the train is not in ProjectInfo or cannot be used (UnusableTrainCause,
// named). No error leaves it.
void LoadMyProject(Program& p);

// The status line while the current project is not loaded: "NOT FOUND! " and its ID, or,
// when no project was ever chosen (a fresh start), "NO CURRENT PROJECT".
QString NotFoundText(const QString& projectId);

// Panel 1 of the status bar: the current project and train once loaded, else NotFoundText.
QString CurrentProjectStatus(const Program& p);

// Stores the current project, train and database in section "Current Project".
void WriteIni(Program& p);

} // namespace hv
