#pragma once
#include <QVariantMap>

#include "platform/database.h"

namespace hv {
struct Program;
}

namespace hv::test {

// The reference plant in the program's data folder: a blank project database, the element
// database loaded, the units set up and train 1 of projectInfoRow(banks, project) stored and
// loaded as the current project. Returns its stored row; a database that cannot be made or
// loaded throws DbError.
DbRow makeReferencePlant(Program& p, int banks, const QVariantMap& project = {});

} // namespace hv::test
