#pragma once
#include "core/program.h"
#include "core/units.h"
#include "support/fixtures.h"
#include "support/testenv.h"

namespace hv::test {

// Three catalogue elements in list order = ID order, as the element loader would give them.
inline void fillElements(Program& p) {
    const struct {
        const char* model;
        double se;
    } models[] = {{"HV-TEST A", 37.2}, {"HV-TEST B", 40.0}, {"HV-TEST C", 7.9}};
    p.ElementList.clear();
    for (int i = 0; i < 3; ++i) {
        ElementSpecRecord r;
        r.ID = i + 1;
        r.Model = models[i].model;
        r.SE = models[i].se;
        r.ListPos = i;
        p.ElementList.push_back(r);
    }
    p.ElementList.push_back(ElementSpecRecord{}); // the blank entry above the last
    p.ElementTable = p.ElementList;
    p.ElementListUpper = 3;
}

// A program over a blank project database with units (deg C) and elements loaded.
inline void prepare(TestEnv& env) {
    makeBlankDatabase(env.prog().ProjectDatabasePath);
    InitUnits(env.prog());
    env.prog().TemperatureUnit = 1;
    fillElements(env.prog());
}

} // namespace hv::test
