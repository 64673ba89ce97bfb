#include "support/plant.h"

#include "core/currentproject.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "core/units.h"
#include "support/fixtures.h"

namespace hv::test {

DbRow makeReferencePlant(Program& p, int banks, const QVariantMap& project) {
    makeBlankDatabase(p.ProjectDatabasePath);
    makeElementDatabase(ElementDatabasePath(p));
    InitUnits(p);
    if (!LoadElementSpecs(p)) throw DbError(0, "element database not loaded");
    const qint64 id = insertProjectInfo(p.ProjectDatabasePath, banks, project);
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRow row = db.select("SELECT * FROM ProjectInfo WHERE ID = ?", {id}).first();
    LoadProjectSettings(p, row);
    return row;
}

} // namespace hv::test
