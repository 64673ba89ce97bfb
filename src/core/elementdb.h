#pragma once
#include <QString>
#include <QtGlobal>

namespace hv {

struct Program;

// Element databases older than this lack elements the program now offers.
constexpr int CurrentElementDbVersion = 2539;

QString ElementDatabasePath(const Program& p);

// Opens AppDataFolder/ostrelmem.mdb into ElementConnection. An old file shows its notice
// and is used; a missing or unreadable one shows its message and returns false: the
// caller then ends the program.
bool OpenElementDatabase(Program& p);

// Fills ElementDbVersion, ElementList, ElementTable and ElementListUpper, then closes
// ElementConnection. False when the element database could not be opened or read (its
// message shown): the program cannot go on.
bool LoadElementSpecs(Program& p);

// Readings of one project train in the open project database. DbError on failure.
qint32 CountProjectDataRecords(Program& p, const QString& projectId, qint16 trainNumber);

} // namespace hv
