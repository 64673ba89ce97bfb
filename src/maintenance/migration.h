#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "core/dbversion.h"
#include "normalization/calculate.h"
#include "platform/bulkwork.h"
#include "platform/database.h"
#include "platform/sqlite.h"

namespace hv {

struct Program;

// One side of a migration: a project database as UpgradeDatabase read it.
struct MigrationDb : DbVersion {
    QString path;
    qint16 projects = 0;
    qint32 readings = 0;
    bool threeBank() const { return minor > 2; }
};

struct MigrationResult {
    bool completed = false; // every project train went through and the program is on the TO database
    QString failure;        // the database's own words when the run stopped on an error
    qint32 accepted = 0;
    qint16 bypassed = 0;
    qint32 copied = 0;
    qint32 normalized = 0; // of the copied readings, those whose calculated columns were stored
    qint32 failed = 0;     // of the copied readings, those that could not be calculated (no results)
    QString firstFailure;  // the cause of the first of them
    qint32 sameDate = 0;   // readings not copied: their train already held one at that date
    // Readings left in FROM as the date rule cannot read their dates, and the first of them named.
    static constexpr int NamedUnreadable = 10;
    qint32 unreadable = 0;
    QStringList unreadableDates;
    qint32 orphaned = 0;      // FROM readings of no FROM project train, not copied
    QStringList orphanTrains; // those readings' project trains, as "<id> train <n>"
    QStringList copiedWhole;  // the project trains copied whole, "<id> Train # <n>"
    // The project trains left in FROM, each as the sentence that says why, and their readings.
    QStringList refused;
    qint32 refusedReadings = 0;
    QString stoppedAt; // the project train under way when the run stopped
};

// What the run left out and why ("<n> readings were left out: ..."); empty when nothing.
QString MigrationLeftOutText(const MigrationResult& r);
// What a stopped run says: where it stopped, the failure's own words and the project trains
// copied whole to `toPath`.
QString MigrationStopText(const MigrationResult& r, const QString& toPath);

// "<n> readings could not be calculated and keep no calculated values; the first: <cause>"
QString MigrationFailuresText(const MigrationResult& r);

// True when both paths name one file: the same device and inode (a symlinked folder, a
// hard link, a relative and an absolute path), or, for a file that is not there, the same
// canonical path text.
bool SameDatabaseFile(const QString& a, const QString& b);

// The refusal of one file as both FROM and TO.
inline const QString SameDatabasesText =
    QStringLiteral("Both databases are the same.  Please re-select so that the FROM database is different "
                   "from the TO database.");

// "db.hv3.2014Feb24-153012.mdb" for a TO database named db.hv3.mdb at that time; empty
// when the name is shorter than 4 characters.
QString MigrationBackupName(const QString& toPath, const QDateTime& when);

// Copies every project train of `from` into `to` with its settings, saved graphs and
// readings, and normalizes each reading on arrival. Reads and writes go through one
// connection per database. Each project train is copied whole or not at all: its row, the
// removal of what it replaces, its settings and its readings are one transaction. A
// database failure or the user's stop rolls back the train under way, stops the run and is
// reported with the trains copied whole, and the program stays on the database it was on.
// Progress goes to panels 1 to 4 and the percentage of `progress`, which yields between
// batches and may stop the run there.
class Migration {
public:
    Migration(Program& p, MigrationDb from, MigrationDb to, RunProgress& progress);
    ~Migration();

    MigrationResult run();

    // The project row the FROM statement stands on goes to the TO database, in a transaction
    // it begins and leaves open for the train's readings; false (and nothing begun) when the
    // user kept the TO project train.
    bool Migrate2BankProject(const DbRow& fromRow, const QVariant& projectKey);
    void MigrateSettings(const QVariant& projectKey);
    // Copies the reading the statement stands on and normalizes it in the TO database;
    // true when its calculated columns were stored.
    bool COPY2BANKto3BANK(const SqliteStatement& reading, DataRecordCalculator& calc);

    // The event loop gets a turn after each batch of readings; a write waits the busy timeout
    // for another program's lock.
    BatchPolicy batches{20000, 250, 5000};
    // A reading is normalized before it is written, when the TO table allows, so that each
    // row is written once; false writes it first and normalizes the stored row.
    bool normalizeBeforeWriting = true;

private:
    // Copies and normalizes the train's readings within its open transaction; counts them in
    // copied and normalized. r holds what earlier trains stored, for the progress.
    // Readings at a date the train already holds are not copied; sameDate counts them. Those
    // whose date the date rule cannot read are not copied either: unreadable counts them and
    // unreadableNamed names the first. A TO reading of the train whose date the rule cannot
    // read stops the run with that date named.
    void copyReadings(const QVariant& projectKey, const QVariant& train, const MigrationResult& r,
                      qint32& copied, qint32& normalized, qint32& sameDate, qint32& unreadable,
                      QStringList& unreadableNamed);
    // The FROM readings of no FROM project train, counted into r.
    void countOrphans(MigrationResult& r);
    void finish(MigrationResult& r, qint16 fromProjectRows);
    QString projectSelect();

    Program& p_;
    MigrationDb from_;
    MigrationDb to_;
    RunProgress& progress_;
    ProjectInfoRecord project_; // the project train under way, as TO stores it
    std::unique_ptr<SqliteConnection> fromDb_;
    std::unique_ptr<SqliteConnection> toDb_;
    // The project train under way: rolled back unless its last reading is in.
    std::optional<SqliteTransaction> train_;
    bool trainReplaced_ = false; // the TO train's readings were deleted with its row
    std::unique_ptr<SqliteStatement> insertReading_;
    std::unique_ptr<SqliteStatement> restoreRaw_; // puts back the raw values a calculation wrote
    std::vector<int> restoreSlots_;               // their slots, in the update's order
    QString firstFailure_;
    void prepareInsert();

    QStringList fromDataColumns_;
    // The insert also names the columns the calculation writes (storedSlot_, specFluxSlot_,
    // -1 when the table lacks one), unless pendingPossible_ is false: then each reading is
    // normalized after it is written.
    bool pendingPossible_ = false;
    std::array<int, StoredColumnCount> storedSlot_{};
    std::array<int, 4> specFluxSlot_{};
    std::vector<std::pair<int, std::optional<double>>> extraDefaults_; // slot, the column's default
    std::array<int, ReadColumnCount> readSource_{};                    // slot of each read column, -1 none
    std::array<std::pair<PendingReading::State, double>, ReadColumnCount> readDefault_{};
    std::array<bool, 35> numberSlot_{}; // slots read as numbers by the calculation
    std::vector<int> readingPos_;       // position in SELECT * of each copied column, -1 absent
};

} // namespace hv
