#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "normalization/normalize.h"
#include "platform/sqlite.h"

namespace hv {

struct Program;

// Normalizes one stored reading against CurrentProject and writes its calculated columns
// back. id 0 takes the newest reading of the current project and train whose TheDate
// equals `when` to the second; any other id takes that row. True when every calculated
// column was stored; False after any failure, reported unless IgnoreCalcErrors is set.
// Leaves LastNormalizedPermFlow, LastNormalizedSaltPassage and LastNormalizedDP and
// changes CurrentProject's FeedFlow, OverallRecovery and DeltaPress fields. Raises nothing.
bool CalculateDataRecord(Program& p, const QDateTime& when, qint32 id);

// "Calculation run caused an error #<number> <description>"
QString FailureText(const RunError& e);

// Where a run keeps the LastNormalized values of one project train: the first reading
// (lowest ID) that gives a value keeps it, as the newest-first order of the project runs
// left them.
struct LastNormalizedValues {
    std::array<double, 3> value{};          // perm flow, salt passage, DP
    std::array<qint64, 3> from{-1, -1, -1}; // the reading that gave it
    void set(int i, double v, qint64 id) {
        if (from[size_t(i)] >= 0 && from[size_t(i)] != id) return;
        value[size_t(i)] = v;
        from[size_t(i)] = id;
    }
};

// A reading about to be inserted, as it will be stored: for each of ReadColumns its number,
// a Null, or no such column in the table.
struct PendingReading {
    enum State : unsigned char { Number, Null, Absent };
    std::array<double, ReadColumnCount> value{};
    std::array<State, ReadColumnCount> state{};
    double date = 0;        // TheDate as a serial, when dateKnown
    bool dateKnown = false; // false when TheDate is not a date (the calculation fails on it)
};

// What normalizing a pending reading gives for the columns the calculation writes.
struct PendingResult {
    bool normalized = false;
    bool elapsedChanged = false; // elapsed holds the hours to store instead of the copied ones
    double elapsed = 0;
    std::array<double, StoredColumnCount> stored{};
    std::array<double, 4> specFlux{};
};

// The normalization of readings over one open connection, shared by the single reading
// above and the recalculations: the Data columns are looked up once and the statements
// prepared once.
class DataRecordCalculator {
public:
    DataRecordCalculator(Program& p, SqliteConnection& db);
    DataRecordCalculator(const DataRecordCalculator&) = delete;
    DataRecordCalculator& operator=(const DataRecordCalculator&) = delete;

    // Normalizes against `reference` instead of CurrentProject from here on (calculate(row),
    // calculatePending, calculateById). The record must outlive the calculator; the
    // normalization changes its reference fields, as it always has.
    void useReference(ProjectInfoRecord& reference) {
        reference_ = &reference;
        currentSide_.reset();
    }

    // "SELECT <columns> FROM Data " for the row queries; a row handed to calculate()
    // must come with these columns in this order: ID, TheDate, ProjectID, TrainNumber,
    // then the columns read.
    const QString& selectFromData() const { return select_; }

    // Normalizes the row `row` stands on, against p.CurrentProject (or useReference's). Same result and
    // reporting as CalculateDataRecord. A failure of the database itself is raised as
    // DbFailure, never counted as the reading's.
    bool calculate(const SqliteStatement& row);
    // The same against `reference`; the LastNormalized values go to `last` when given,
    // else to the program's.
    bool calculate(const SqliteStatement& row, ProjectInfoRecord& reference, const ReferenceSide& side,
                   LastNormalizedValues* last);
    // The same for a reading before it is written, when calculations errors are ignored:
    // the result is what calculate() would store in the row, so that the row is written
    // once. Only for a table that has every column the calculation writes
    // (canCalculatePending()). A failure is not reported, as with IgnoreCalcErrors.
    PendingResult calculatePending(const PendingReading& reading);
    bool canCalculatePending() const { return update_ && firstMissingStored_ < 0; }
    const std::array<bool, 4>& specFluxColumns() const { return specFlux_; }
    // Reads the raw values of the row `row` stands on as calculate() reads them, without
    // normalizing: false, the cause kept in lastFailure as by a failed calculation, when
    // calculate() would fail on them (an item it needs is Null).
    bool readsRaw(const SqliteStatement& row);
    // The same for the row of that ID; a missing row fails as the calculation does.
    bool calculateById(qint64 id);
    // The failure path when no row could be read.
    bool failWithoutRow(const RunError& e);

    // Called before the calculator shows a message (a bulk run commits its batch first).
    std::function<void()> beforeMessage;
    // False: a failure is only counted and kept in lastFailure, and the row is left as it
    // is (the caller undoes it). True: a failed reading's results are emptied and the
    // failure shown unless IgnoreCalcErrors is set.
    bool reportFailures = true;
    QString lastFailure;      // of the newest failure
    QString lastFailureFirst; // of the first failure
    qint64 failures = 0;      // since the calculator was made

private:
    bool fail(const RunError& e, const SqliteStatement* row, const ProjectInfoRecord& reference,
              const DataWorking& w, int assigned);
    void keepLast(const DataWorking& w, qint64 id, LastNormalizedValues* last);
    void emptyResults(qint64 id, std::optional<double> elapsed);

    Program& p_;
    SqliteConnection& db_;
    QString select_;
    std::array<int, ReadColumnCount> readPos_{}; // position in the select, -1 when absent
    int firstMissingStored_ = -1;                // index into StoredColumns, -1 when all there
    std::array<bool, 4> specFlux_{};
    std::unique_ptr<SqliteStatement> update_;
    std::unique_ptr<SqliteStatement> updateElapsed_;
    std::unique_ptr<SqliteStatement> rowById_;
    std::unique_ptr<SqliteStatement> emptyResults_;
    ProjectInfoRecord& reference();
    ProjectInfoRecord* reference_ = nullptr;
    std::optional<ReferenceSide> currentSide_; // of reference(), prepared at the first reading
};

} // namespace hv
