#pragma once
#include "platform/database.h"

namespace hv {

struct Program;

// Copies a ProjectInfo row into CurrentProject. The first 46 columns must not be Null
// (DbError 94); the bank-3 and vessel columns load a Null as 0. Nothing is trapped: a
// failure leaves the fields read before it holding the new row's values.
void LoadProjectSettings(Program& p, const DbRow& rs);

} // namespace hv
