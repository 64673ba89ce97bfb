#pragma once
#include <QList>
#include <QString>

namespace hv {

class Database;

// The IDs of a project train's `count` newest readings, newest first. They are ordered by the
// instant the date rule names (ReadingDateKey), never by the stored text: "2024-01-17T06:00:00"
// is older than "2024-01-17 08:00:00". Readings of one instant are ordered by ID; a stored date
// the rule cannot read names no instant and is left out.
QList<qint64> NewestReadingIds(Database& db, const QString& projectId, qint64 train, int count);

} // namespace hv
