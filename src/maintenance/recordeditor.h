#pragma once
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "core/datatables.h"
#include "core/projecttrainkey.h"
#include "platform/database.h"

namespace hv {

// The rows of one selection held in memory with a current position, written back by
// their ID: the record source the editors bind their boxes to. Positions follow the
// recordset rules the editors were built on: before the first row (BOF), on a row, or
// after the last (EOF); an empty set is at BOF and EOF at once.
class RecordSet {
public:
    // Reads `wanted` columns of `table` (those the table has; the ID is always read)
    // for the rows `where` selects, its "?" bound to `params`, sorted by `orderBy`.
    // Each row's ID and `kept` columns are held for every row; the rest is read when the
    // row becomes current.
    // With `orderKey` the rows are then put in the order of the number it gives for a row's ID
    // and kept values, rows of one number in the order of `orderBy`.
    using OrderKey = std::function<qint64(const QVariantList& idAndKept)>;
    RecordSet(Database& db, QString table, QStringList wanted, QString where = {}, QVariantList params = {},
              QString orderBy = {}, QStringList kept = {}, OrderKey orderKey = {});

    void requery(); // reads the rows again and moves to the first
    const QStringList& columns() const { return columns_; }
    bool hasColumn(const QString& name) const;
    bool isNumeric(const QString& name) const;
    // Columns that hold date-times as text: typed text must read as a date.
    void setDateColumns(const QStringList& names);

    int recordCount() const { return int(keys_.size()); }
    bool bof() const { return pos_ < 0 || keys_.empty(); }
    bool eof() const { return pos_ >= recordCount() || keys_.empty(); }
    bool hasCurrent() const { return !bof() && !eof(); }
    // Whether the current row's values were read: a read that failed (a lock, a damaged file)
    // leaves the position without them.
    bool rowRead() const { return hasCurrent() && current_.size() == columns_.size(); }
    // 1 for the first row; -2 before the first, -3 after the last, as the provider reports.
    int absolutePosition() const;
    int index() const { return pos_; }

    // DbError 3021 on an empty set.
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    QVariant value(const QString& column) const;            // DbError 3021 without a current row
    QVariant valueAt(int row, const QString& column) const; // as stored; cheap for kept columns
    // The current row's value as a box shows it: dates in the computer's short form.
    QString textFor(const QString& column) const;
    void moveTo(int row);
    // The value a box holds, read as the column's type (numbers and dates by the program's
    // one reader of typed values; empty is Null). DbError 13 when a number column gets text that is not a
    // number.
    QVariant valueFromText(const QString& column, const QString& text) const;
    static QString textOf(const QVariant& v);

    // Pending change of the current row, stored by update().
    void setValue(const QString& column, const QVariant& v);
    // Drops a pending change of `column`: the stored value stands again.
    void discardChange(const QString& column);
    void addNew(); // appends a pending new row and makes it current
    void update(); // stores the pending row (DbError; the change stays pending)
    void cancelUpdate();
    // True when the current row has a pending change of `column`.
    bool changed(const QString& column) const;
    // Runs before update() writes the pending row; what it raises refuses the write and the
    // change stays pending.
    std::function<void(const RecordSet&)> beforeUpdate;
    // The description the pending row is held to before it is written (RulebookRefusal);
    // none for a table without one.
    const schema::Table* rules = nullptr;
    // Deletes the current row from the table; the next row becomes current (EOF after the last).
    void deleteCurrent();

    // The ID of the current row (0 without one, or for a row not yet stored).
    qint64 bookmark() const;
    bool setBookmark(qint64 id);

    std::function<void()> onChanged;      // after a row was written or deleted
    std::function<void()> onMoveComplete; // after every move

private:
    void moved();
    // Runs a write; one the file itself refused (full, past the file-size limit) leaves its
    // journal beside the file while the connection lives, so the connection is opened again.
    void write(const QString& sql, const QVariantList& values);
    QVariantList readRow(const QVariant& id);
    void storeCurrent(const QVariant& id);
    QString selectList(const QList<int>& cols) const;
    int col(const QString& name) const; // DbError 3265
    void requireCurrent() const;

    Database& db_;
    QString table_;
    QStringList wanted_;
    QString where_;
    QVariantList params_;
    QString orderBy_;
    OrderKey orderKey_;
    QStringList columns_;
    QHash<QString, int> byLower_;
    QHash<QString, bool> numeric_;
    QStringList dateColumns_; // lower case
    int idCol_ = -1;
    QList<int> keptCols_;
    std::vector<QVariantList> keys_; // per row: ID, then the kept columns
    QVariantList current_;           // the current row, all columns
    int pos_ = -1;
    bool adding_ = false;
    QHash<int, QVariant> changes_;
};

// The buttons of the record strip and what each state shows of them.
enum class RecordMode { Browsing, Editing, Adding };

// The editors' record sources, so that no window spells out a selection: a project train's
// readings by date, a project train's project row, a project's user-defined rows.
std::unique_ptr<RecordSet> TrainReadingRecords(Database& db, const QStringList& columns,
                                               const QString& projectId, qint16 train);
std::unique_ptr<RecordSet> TrainProjectRecord(Database& db, const QStringList& columns,
                                              const QString& projectId, qint16 train);
std::unique_ptr<RecordSet> UserDefinedRecords(Database& db, const QStringList& columns,
                                              const QString& projectId);

// One project train as the editors' project lists offer it.
using TrainKey = ProjectTrainKey;
// The project trains of ProjectInfo in stored order.
std::vector<TrainKey> ListProjectTrainKeys(Database& db);

// An event ID for a new user event type: the largest stored one plus 1, at least 6.
qint32 ProposeEventId(Database& db);
bool EventIdExists(Database& db, qint32 eventId);

// The project's UserDefined row, created from the 'Default' row's ten values when the
// project has none (from the table's defaults when there is no 'Default' row either).
// True when a row was created.
bool EnsureUserDefinedRow(Database& db, const QString& projectId);

// The project's own captions of the five user-definable measurements, by column
// (TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw); a Null caption, or a project without
// a UserDefined row, gives none.
QHash<QString, QString> UserDefinedCaptions(Database& db, const QString& projectId);

// Deletes the rows of `table` with these IDs, a batch per transaction; `progress` gets
// the count deleted so far after each batch. Returns the count; a failure raises its
// DbError and leaves the batches before it deleted.
qint64 DeleteRowsById(Database& db, const QString& table, const std::vector<qint64>& ids,
                      const std::function<void(qint64)>& progress = {}, int batchSize = 500);

// Why the current row's pending values may not be stored under the table's description: a
// Null in a column that refuses one, or a number outside its column's whole-number range, with
// the refusal every road says. Empty when they may; only the changed columns are asked.
QString RulebookRefusal(const schema::Table& table, const RecordSet& r);

// Why a reading (`id`, 0 for a new one) may not be stored under this project, train and date:
// no project ID, a train numbered below 1 or not whole, a project train ProjectInfo does not
// hold, or a date (to the second) at which that train holds another reading. Empty when it
// may; a reading without a date is checked for its train only.
QString ReadingKeyRefusal(Database& db, qint64 id, const QVariant& projectId, const QVariant& train,
                          const QVariant& date);

// Where the reading editor's jump ends: the index of the reading to show, from the
// reading at `current` (readings sorted by date, oldest first), for `target`. The nearest
// reading strictly before the target when the current one is on or before it, else the
// nearest strictly after it; the last or first reading when none lies beyond. -1 when
// there is no reading.
int SkipToDateIndex(const std::vector<QDateTime>& dates, int current, const QDateTime& target);

} // namespace hv
