#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

#include "collection/reading.h"
#include "core/elementrecord.h"
#include "core/projectrecord.h"
#include "normalization/normalize.h"
#include "platform/sqlite.h"

namespace hv {

struct Program;
class DataRecordCalculator;

// The element types the normalization of `project` needs that `table` does not hold.
QList<int> MissingElementTypes(const ProjectInfoRecord& project, const std::vector<ElementSpecRecord>& table);

// What the import says once a run stored readings of a project whose element is missing.
QString MissingElementText(const ProjectInfoRecord& project, const QList<int>& types, int readings);

// The readings an import run stores for one project train of one database. Each reading
// is inserted and normalized inside the batch's transaction, so that a commit stores the
// readings with their calculated values, and a batch that cannot be completed leaves
// nothing behind.
class ImportBatch {
public:
    enum class Outcome {
        Normalized,
        Raw,               // stored without normalization, as asked
        CalculationFailed, // the normalization failed and has said why
        NoElement,         // stored without normalization: the project's element is missing
    };
    // Readings by outcome.
    struct Tally {
        int normalized = 0, raw = 0, failed = 0, noElement = 0;
        Tally& operator+=(const Tally& t);
        void count(Outcome o);
    };

    // The project record is kept as it is now: the batch stores under it and normalizes
    // against it whatever the program loads meanwhile.
    ImportBatch(Program& p, const QString& databasePath, const ProjectInfoRecord& project, int busyTimeoutMs);
    ~ImportBatch(); // rolls back what was not committed
    ImportBatch(const ImportBatch&) = delete;
    ImportBatch& operator=(const ImportBatch&) = delete;

    const QList<int>& missingElements() const { return missing_; }
    // Readings inserted since the last commit.
    int pending() const { return pending_; }
    // True when the project train has a reading at `date` (to the second), the batch's own
    // uncommitted ones included.
    bool isStored(const QDateTime& date);
    // Inserts the reading and, unless `raw`, normalizes it. A failure of the database raises
    // DbError; the batch must then be dropped (it has been or will be rolled back whole).
    // Before the normalization shows a message, what the batch holds is committed, so that
    // no write lock is held while it waits.
    Outcome add(const ReadingValues& r, int eventId, const QString& note, bool raw);
    // Commits the pending readings; a failure rolls all of them back and raises.
    void commit();
    // The readings committed since the last call.
    Tally takeCommitted();

private:
    Program& p_;
    ProjectInfoRecord project_;
    ReferenceSide side_;
    QList<int> missing_;
    std::unique_ptr<SqliteConnection> db_;
    std::unique_ptr<DataRecordCalculator> calc_;
    std::unique_ptr<SqliteStatement> insert_, storedAt_, rowById_;
    std::unique_ptr<SqliteTransaction> tx_;
    int pending_ = 0;
    Tally pendingTally_, committed_;
};

} // namespace hv
