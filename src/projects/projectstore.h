#pragma once
#include <QString>
#include <QStringList>
#include <optional>

#include "projects/formproject.h"
#include "projects/projectboxes.h"
#include "projects/unitconversion.h"

namespace hv {

struct Program;

// The columns the window reads and creates a project with, in the order of the creating insert.
const QStringList& ProjectInfoColumns();

// Reads one train's row into the record by the column Null rules; TrainsSame and
// DefaultUnits keep what they held. Without a row the record describes
// an empty project (every column as if Null). Returns whether a row was found.
bool ReadProjectTrain(Program& p, const QString& projectId, qint16 train, FormProjectRecord& rec);

// Inserts one row per train, rec.TrainNumber up to rec.TrainNumber + NumTrains - 1, in one
// transaction. Refuses, with its message, when one of those trains already exists or the
// train numbers would run past the largest allowed. Leaves rec.TrainNumber on the last
// train. Database failures are DbError.
bool InsertProjectTrains(Program& p, FormProjectRecord& rec);

// Rewrites the reference data of the row of rec's project and train (the key and the
// creation-only columns stay). DbError 3021 when the row is missing. With readingsFrom, the
// train's stored readings are converted from those units into rec's in the same
// transaction; returns the number of readings converted. With shown, the record as the
// window first showed the row: an optional column the row held Null keeps its Null while rec
// still has the value shown for it and none of its boxes was typed into; a column the record
// cannot load as Null is always written, creation-only ones included.
int UpdateProjectRow(Program& p, const FormProjectRecord& rec, const ProjectUnits* readingsFrom = nullptr,
                     const FormProjectRecord* shown = nullptr, const TypedBoxes& typed = {});

// The units the train's row is stored in; nothing without a row.
std::optional<ProjectUnits> StoredUnits(Program& p, const QString& projectId, qint16 train);

// The number of readings stored for the train.
int CountTrainReadings(Program& p, const QString& projectId, qint16 train);

// The project window's copy of its record into the current project.
void CopyToCurrentProject(Program& p, const FormProjectRecord& rec);

} // namespace hv
