#pragma once
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/database.h"
#include "platform/transaction.h"

struct sqlite3;
struct sqlite3_stmt;

namespace hv {

// The fast path to a project database, straight on SQLite: bulk work (recalculation,
// migration, imports, exports, graphs) reads and writes every reading through here without
// the per-value costs of the general query layer. Same rules as Database: an existing file
// only, every value bound, and every failure of SQLite itself raised as DbFailure with the
// numbers callers test.
class SqliteConnection {
public:
    explicit SqliteConnection(const QString& path, int busyTimeoutMs = 5000);
    // The connection under an open Database, borrowed for fast reads; it must not outlive it.
    explicit SqliteConnection(Database& db);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* handle() const { return db_; }
    void exec(const QString& sql); // a statement without values or rows
    qint64 lastInsertId() const;
    // A point inside the open transaction that one reading's work can be undone to, the
    // rest of the batch kept.
    void savepoint(const char* name);
    void rollbackTo(const char* name); // and releases it
    void release(const char* name);
    // A write transaction: waits the busy timeout for another program's lock.
    void begin();
    // A transaction that holds the whole file at once: readers wait for it too.
    void beginExclusive();
    // When SQLite already rolled the transaction back (full disk, I/O error, corrupt
    // page), raises the failure that made it do so.
    void commit();
    void rollback(); // never fails
    QStringList columns(const QString& table);
    DbFailure lastError(const QString& sql = {}) const;
    // Keeps the first failure of the open transaction for commit().
    DbFailure failed(const QString& sql);

private:
    // Runs a statement without values or rows, prepared at its first use and kept: a bulk run
    // sets and releases a savepoint for every reading.
    void execKept(const char* sql);

    sqlite3* db_ = nullptr;
    bool owned_ = true;
    std::vector<std::pair<QByteArray, sqlite3_stmt*>> kept_;
    QString path_;
    std::optional<DbFailure> firstFailure_;
    mutable bool fileFailed_ = false; // the file itself failed: its journal is settled at the close
};

// A write that failed on the disk (full, past the file-size limit, an I/O error), or a program
// stopped halfway through a change, leaves the transaction's journal beside the file, and the
// file alone is not whole until a reader plays the journal back: a fresh connection that reads
// the schema does it now, over a file system that takes a rewrite of the bytes a page already
// holds as made, and past a soft file-size limit. A journal of another program's open
// transaction is not touched (SQLite tells the two apart by its locks). Returns why a journal
// stays: its folder or the journal itself cannot be written, or the file-size limit stops the
// playback; none when the read succeeded.
std::optional<DbFailure> SettleJournal(const QString& path);

// Whether a first read that failed with `resultCode` may have met a journal left beside the
// file, which SettleJournal can play back: a failure to write, not a lock or a damaged file.
bool MayBeAJournalLeft(const QString& path, int resultCode);

// The system's error number of the connection's last failed call. SQLite takes it after the
// rollback that followed a failed write, which may have lost it: a write the file-size limit
// or a full disk refused is then read from the database file or its journal, which keep
// their own last error.
int SystemErrnoOf(sqlite3* db);

// The way a database path that is not a file is refused: a folder is named as one.
DbError NotAFileError(const QString& path);

class SqliteStatement {
public:
    SqliteStatement(SqliteConnection& db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bind(int i, double v); // positions from 0
    void bind(int i, qint64 v);
    void bind(int i, const QString& v);
    void bind(int i, const QVariant& v);
    void bindAll(const QVariantList& values); // from position 0
    void bindNull(int i);
    // The value of column `column` of `from`'s current row, bound as it is stored.
    void bindColumn(int i, const SqliteStatement& from, int column);
    // Text bound as the bytes it was stored with.
    void bindText(int i, const QByteArray& bytes);
    // Runs to the next row: true on a row, false when done.
    bool step();
    // Back to the start, values kept; a read statement gives up its lock.
    void reset();

    enum class Type { Integer, Float, Text, Blob, Null };
    Type type(int i) const;
    bool isNull(int i) const { return type(i) == Type::Null; }
    double real(int i) const; // the column as SQLite converts it, a Null as 0
    // A text column's stored bytes without a copy, valid until the next step or reset.
    const char* text(int i, int* length) const;
    int columnCount() const;
    QString columnName(int i) const;
    QVariant value(int i) const; // invalid QVariant for Null
    qint64 int64(int i) const;
    QByteArray bytes(int i) const; // a text column's stored bytes
    // A column read as a Double by the query layer's rules, without a QVariant for the
    // common stored forms: a Null raises 94, a text that is not a number 13.
    double number(int i) const;
    DbRow row() const; // the current row as the query layer gives it
    sqlite3_stmt* handle() const { return st_; }

private:
    SqliteConnection& db_;
    sqlite3_stmt* st_ = nullptr;
    QString sql_;
    mutable std::shared_ptr<const ColumnSet> cols_;
};

using SqliteTransaction = TransactionGuard<SqliteConnection>;

} // namespace hv
