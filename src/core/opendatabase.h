#pragma once
#include <QString>

namespace hv {

struct Program;

inline const char* const ProjectDatabaseFilter = "HV 3 bank DB Files (*.hv3.mdb)|*.hv3.mdb|HV 2 Bank DB "
                                                 "Files (*.hv.mdb)|*.hv.mdb|DB Files(*.mdb)|*.mdb|All "
                                                 "Files (*.*)|*.*";

// The database chooser (the main window's "Change Current Selected Database"): lets the
// user pick another project database, checks and upgrades it, offers the migration for an
// older one and falls back to the previous database when it is declined, then loads the
// current project and runs the recalculation reminder.
void OpenDatabaseCommand(Program& p);

} // namespace hv
