#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace hv {

struct Program;
class DbRow;

// Major, minor and revision of a project database (last row of table Version).
struct DbVersion {
    qint16 major = 0;
    qint16 minor = 0;
    qint16 revision = 0;
    QString text() const { return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision); }
};

// "1.3.20" -> 1, 3, 20. Empty when a part is missing, not a whole number or out of range.
std::optional<DbVersion> ParseVersionText(const QString& text);

// Older than the program, so that it needs the migration: a lower major number, or the same
// major number and a lower minor one. A revision changes no layout.
bool IsOlderThanProgram(qint16 major, qint16 minor);
// Written by a later program than this one (major, then minor, then revision higher): it may
// hold columns and rules this program does not know.
bool IsNewerThanProgram(qint16 major, qint16 minor, qint16 revision);
qint32 VersionNumber(qint16 major, qint16 minor);

// Sets the open database's version parts and DbVersionNumber together, so that nothing
// reads a number left from an earlier version.
void SetDbVersion(Program& p, qint16 major, qint16 minor, qint16 revision);

// Reads the version of ProjectDatabasePath into the program's version numbers; returns
// whether it is older than the program. Never fails: 0.0.0 and False on any error.
bool ReadDbVersion(Program& p);
// The version of the database at path, for a run that must not go on without it: DbError with
// the database's own words (a lock, damage), or naming an empty or unreadable Version table.
DbVersion ReadDbVersionOf(const QString& path);

// Appends the program's version after a whole-database recalculation and recomputes
// DbIsOlder. Failures (DbError) reach the caller.
void WriteDbVersion(Program& p);

bool ProjectTrainExists(Program& p, const QString& projectId, qint16 trainNumber);

// Reads the version and the ProjectInfo and Data row counts of the database at path and
// brings a 1.3 database below revision 20 up to 1.3.20 (the specific-flux columns and the
// default graph rows). False, with version -1.-1.0, when the database cannot be read, holds
// no version, is newer than the program, lacks what the program reads (UnusableDatabaseCause
// names it) or the upgrade fails; an upgrade failure is reported to the user. Another
// program's lock is waited for twice before the database counts as unreadable; `whyNot`
// then keeps the cause as it was met, for a message shown after the lock may be gone. With
// SuppressDbUpgrade nothing is changed.
bool UpgradeDatabase(Program& p, const QString& path, qint16& major, qint16& minor, qint16& revision,
                     qint16& projects, qint32& readings, QString* whyNot = nullptr);

// Why the project database at path cannot be used, as a sentence for the person choosing
// another: not found, a folder, empty, not a project database (a table missing or a view, a
// column of Data the program reads missing, no version), newer than the program, damaged,
// locked, read-only or a link that leads nowhere. Empty when it reads as a project database
// that can be written.
QString UnusableDatabaseCause(const QString& path);
// The same but for a file that can only be read: what makes the database unusable whatever
// the permissions (damage, a lock, a missing table), which start-up checks on every start.
QString DatabaseFault(const QString& path);

// Why the database file at path, or the folder SQLite writes its journal in, cannot be
// written, in the system's words; empty when both can.
QString DatabaseWriteRefusal(const QString& path);
// "The project database <path> cannot be written: <why>." on three lines, for start-up and
// for the tools before any work; empty when it can be written or does not exist.
QString UnwritableDatabaseText(const QString& path);

// "Hevrin cannot use the project database <path> <cause>." on three lines.
QString UnusableDatabaseText(const QString& path, const QString& cause);

// What a tool that writes to the database at path says before any work, when start-up would
// not let it be written: its fault (DatabaseFault), a version that needs the migration, or a
// file or folder that cannot be written. Empty when the tool may go on.
QString WritingToolRefusal(const QString& path);

// Where the link at path leads when nothing is there (a share not mounted); empty for a file,
// a link that leads somewhere, or a loop of links.
QString DanglingLinkTarget(const QString& path);

// Why the project train of a ProjectInfo row (ProjectID, TrainNumber, NumBanks) cannot be
// used: "Project "P1" train 2 has NumBanks 4: a train has 1, 2 or 3 banks"; empty when it can.
// A database holding such a train stays usable for its other trains.
QString UnusableTrainCause(const DbRow& row);
// Those causes for each train of the database at path, in ProjectInfo's order.
QStringList UnusableTrains(const QString& path);
// The warning start-up and the chooser show for them; empty when every train can be used.
QString UnusableTrainsText(const QString& path);

// UpgradeDatabase on ProjectDatabasePath into the program's version (SetDbVersion),
// ProjectCount, DataRecordCount and DbUnusableCause.
bool UpgradeOpenDatabase(Program& p);

// The caption of the main window's lblDBVersion after an UpgradeDatabase.
QString DbVersionCaption(bool valid, qint16 major, qint16 minor, qint16 revision);

} // namespace hv
