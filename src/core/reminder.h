#pragma once
#include <QtGlobal>

namespace hv {

struct Program;

// Databases below 1.3.30 hold DP values from the older viscosity correction: each number
// is tested on its own (1.3.20, 1.2.5, 0.0.0 and -1.-1.0 are asked about; 1.2.45 is not).
bool NeedsRecalculationReminder(qint16 major, qint16 minor, qint16 revision);

// Offers a backup and a whole-database recalculation for such a database.
void CheckDbVersionMessage(Program& p);

} // namespace hv
