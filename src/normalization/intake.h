#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "core/elementrecord.h"
#include "core/projectrecord.h"
#include "normalization/calculate.h"
#include "normalization/normalize.h"
#include "platform/datetext.h"
#include "platform/sqlite.h"

namespace hv {

struct Program;

// The element types the normalization of `project` needs that `table` does not hold.
QList<int> MissingElementTypes(const ProjectInfoRecord& project, const std::vector<ElementSpecRecord>& table);

// What a run says once it stored readings of a project whose element is missing.
QString MissingElementText(const ProjectInfoRecord& project, const QList<int>& types, int readings);

// "A reading dated <date> is already stored for <project> train <n>.", the date in the
// computer's own short form.
QString AlreadyStoredText(const ProjectInfoRecord& project, const QDateTime& date);

// The texts a stored date of the key may read in the forms the program itself wrote, for a
// lookup through the date index: always ReadingDateSpellingCount of them, repeated where the
// key has fewer. A train that holds other spellings needs ReadingDateKey on each.
constexpr int ReadingDateSpellingCount = 5;
QStringList ReadingDateSpellings(qint64 key);
// "TheDate IN (?, ?, ?, ?, ?)", to be bound with ReadingDateSpellings; a text that is no date
// is looked up as it stands.
QString ReadingDateCondition();
QStringList ReadingDateLookup(const QString& dateText);

// The one road by which a new reading reaches Data, whatever brought it (typed, polled, a
// sheet row, an exchange file). It stores under the project record it was given, whatever
// the program loads meanwhile, and normalizes against that record:
// - one reading per project train and date (to the second): a date the train already
//   holds, or that this intake stored, is not stored again;
// - a reading and its calculated values commit together: each reading is inserted and
//   normalized inside a savepoint of the open batch, and a reading whose calculation fails
//   is undone whole, so that it is not stored at all;
// - a reading whose project's element is missing is stored raw and counted apart: it is
//   refused as its calculation would refuse it (an item the calculation needs is empty), and
//   the calculated values a caller gives for it are not stored.
// Nothing is shown: the caller says what the outcomes mean on its road.
class ReadingIntake {
public:
    enum class Outcome {
        Normalized,
        Raw,               // stored without normalization, as asked
        NoElement,         // stored without normalization: the project's element is missing
        AlreadyStored,     // not stored: the train holds a reading at that date
        CalculationFailed, // not stored: its normalization failed (failureText() says why)
    };
    struct Tally {
        int normalized = 0, raw = 0, noElement = 0, alreadyStored = 0, failed = 0;
        QString firstFailure; // the cause of the first reading that failed
        int stored() const { return normalized + raw + noElement; }
        Tally& operator+=(const Tally& t);
        void count(Outcome o, const QString& failure = {});
    };

    // `columns` are the Data columns the caller gives for each reading, in order, without
    // TheDate, ProjectID and TrainNumber, which the intake stores itself. The intake opens
    // its own connection to `databasePath`.
    ReadingIntake(Program& p, const QString& databasePath, const ProjectInfoRecord& project,
                  const QStringList& columns, int busyTimeoutMs = 5000);
    // The same on a connection of the caller's; its transactions are the intake's while it
    // works (the first add() opens one, commit() or rollback() ends it).
    ReadingIntake(Program& p, SqliteConnection& db, const ProjectInfoRecord& project,
                  const QStringList& columns);
    ~ReadingIntake(); // rolls back what was not committed
    ReadingIntake(const ReadingIntake&) = delete;
    ReadingIntake& operator=(const ReadingIntake&) = delete;

    const ProjectInfoRecord& project() const { return project_; }
    const QList<int>& missingElements() const { return missing_; }
    // Readings stored since the last commit.
    int pending() const { return pending_; }
    // True when the project train holds a reading at `date`, to the second, this intake's
    // uncommitted ones included. A stored date of the train that the date rule cannot read
    // raises DbError naming it: whether it is the same date cannot be told, and a second
    // reading at one instant is never stored silently. So does a `dateText` it cannot read.
    bool isStored(const QDateTime& date);
    bool isStoredAt(const QString& dateText);
    // Stores the reading, normalized unless `raw`. A failure of the database raises
    // DbFailure; the batch must then be dropped (it is rolled back whole).
    Outcome add(const QDateTime& date, const QVariantList& values, bool raw = false);
    // The same for a bulk road that binds its own values: `bind` binds the caller's columns on
    // the insert from position `first` on, sparing a QVariant per value. `dateText` is a date
    // the date rule reads; it is stored in the stored form.
    using Binder = std::function<void(SqliteStatement& insert, int first)>;
    Outcome add(const QString& dateText, const Binder& bind, bool raw = false);
    const QString& failureText() const { return failure_; }
    // The normalized values of the newest reading normalized: perm flow, salt passage, DP.
    const LastNormalizedValues& last() const { return last_; }
    // Commits the pending readings; a failure rolls all of them back and raises.
    void commit();
    // Drops the pending readings.
    void rollback();
    // The outcomes of the readings committed since the last call.
    Tally takeCommitted();

private:
    void prepare(const QStringList& columns);
    // The keys of the train's dates stored in another spelling than the stored form; raises
    // for one the date rule cannot read.
    std::unordered_set<qint64> otherSpellings();
    bool storedAtKey(qint64 key, const QString& stored);

    Program& p_;
    ProjectInfoRecord project_;
    ReferenceSide side_;
    QList<int> missing_;
    std::unique_ptr<SqliteConnection> owned_;
    SqliteConnection& db_;
    std::unique_ptr<DataRecordCalculator> calc_;
    std::unique_ptr<SqliteStatement> insert_, readBack_, storedExactly_, otherDates_, anyStored_;
    // Read when the transaction opens: while it keeps other writers out, only this intake adds
    // dates, always in the stored form.
    std::unordered_set<qint64> otherKeys_;
    // Whether the train held a reading when the transaction opened; when it held none, the
    // keys this intake stored since are all it holds.
    bool trainHeld_ = true;
    std::unordered_set<qint64> addedKeys_;
    std::unique_ptr<SqliteTransaction> tx_;
    LastNormalizedValues last_;
    std::vector<int> calculatedPos_; // on the insert, of the caller's calculated columns
    QString failure_;
    int pending_ = 0;
    Tally pendingTally_, committed_;
};

} // namespace hv
