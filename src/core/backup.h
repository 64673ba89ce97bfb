#pragma once
#include <QDateTime>
#include <QString>

namespace hv {

struct Program;

// "Plant.hv3,14.03.07-14.05.09.mdb" for /data/Plant.hv3.mdb backed up on 7 March 2014
// at 14:05:09. A path without a folder takes the default database's name.
QString BackupFileName(const QString& databasePath, const QString& appDataFolder, const QDateTime& when);

// Copies the open project database to a time-stamped backup: silently into the data
// folder, or where the user says in a Save dialog. Returns the backup's path, the text
// "Back up canceled by user", or a text beginning "Error in backup to " naming the path
// that failed.
QString BackupDatabase(Program& p, bool silent);

// A whole, consistent copy of an SQLite database file, even while connections to it are
// open; an existing target is replaced only once the copy is complete. DbError on failure.
void CopyDatabaseFile(const QString& source, const QString& target);

} // namespace hv
