#pragma once
#include <QString>
#include <QtGlobal>

#include "projects/projectboxes.h"

namespace hv {

class Database;
struct ProjectInfoRecord;

// The units a project train's values are stored in.
struct ProjectUnits {
    qint16 flow = 0;
    qint16 temp = 0;
    qint16 press = 0;
    qint16 flux = 0;
    bool operator==(const ProjectUnits&) const = default;
};
ProjectUnits UnitsOf(const ProjectInfoRecord& rec);

// "m3/hr, Deg C, Kg/cm2, Liter/m2/hr": the units as a person reads them.
QString UnitsText(const ProjectUnits& u);

// Rewrites the reference boxes that carry a flow, pressure or temperature from one set of
// units into another, so that a change of units keeps what the values mean. A box that
// does not read as a number is left as typed.
void ConvertReferenceBoxes(ProjectBoxes& b, const ProjectUnits& from, const ProjectUnits& to);

// Converts every stored reading of the train, its measured and its calculated values, from
// one set of units into another. Runs inside the caller's transaction; returns the number
// of readings rewritten. Columns an older database lacks are left out.
int ConvertTrainReadings(Database& db, const QString& projectId, qint16 train, const ProjectUnits& from,
                         const ProjectUnits& to);

} // namespace hv
