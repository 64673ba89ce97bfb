#pragma once
#include <QStringList>

#include "core/projectrecord.h"

namespace hv {

// The project window's working copy of one ProjectInfo row: the current project's fields
// and the ones only the window keeps. Field names are the column names.
struct FormProjectRecord : ProjectInfoRecord {
    double AvgConc = 0, Density = 0, RefpH = 0;
    qint16 NumVessels = 0, ElementsPerVessel = 0;
    // The columns the row held Null when it was read (the fields above hold their defaults).
    QStringList NullColumns;
};

} // namespace hv
