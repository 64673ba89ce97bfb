#pragma once
#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dberror.h"
#include "platform/transaction.h"

namespace hv {

// Column names of one result, looked up regardless of case.
class ColumnSet {
public:
    explicit ColumnSet(QStringList names);
    int indexOf(const QString& name) const; // -1 when absent
    const QStringList& names() const { return names_; }
    int size() const { return int(names_.size()); }

private:
    QStringList names_;
    QHash<QString, int> byLower_;
};

// Conversions with the rules the stored values were written under: whole numbers
// round half to even, an out-of-range value is an overflow, a Null is error 94.
namespace conv {
bool isNull(const QVariant& v);
double toDouble(const QVariant& v);
qint16 toInt16(const QVariant& v);
qint32 toInt32(const QVariant& v);
bool toBool(const QVariant& v);
QString toText(const QVariant& v);
QDateTime toDateTime(const QVariant& v);
qint16 roundToInt16(double x);
qint32 roundToInt32(double x);
} // namespace conv

// The stored form of a date-time (StoredDateText), and the date-time a stored text names by the
// date rule (ReadingDateKey); invalid when it names none.
QString dbDateText(const QDateTime& dt);
QDateTime parseDbDate(const QString& text);

// One row of a result; columns by position or by name regardless of case.
class DbRow {
public:
    DbRow() = default;
    DbRow(std::shared_ptr<const ColumnSet> cols, QVariantList values)
        : cols_(std::move(cols)), values_(std::move(values)) {}
    int fieldCount() const { return int(values_.size()); }
    QString fieldName(int i) const { return cols_->names().at(i); }
    bool hasField(const QString& name) const { return cols_ && cols_->indexOf(name) >= 0; }
    QVariant value(int i) const { return values_.at(i); }
    QVariant value(const QString& name) const; // DbError 3265 when the column is absent
    bool isNull(const QString& name) const { return conv::isNull(value(name)); }
    double toDouble(const QString& name) const { return conv::toDouble(value(name)); }
    qint16 toInt16(const QString& name) const { return conv::toInt16(value(name)); }
    qint32 toInt32(const QString& name) const { return conv::toInt32(value(name)); }
    bool toBool(const QString& name) const { return conv::toBool(value(name)); }
    QString toText(const QString& name) const { return conv::toText(value(name)); }
    QDateTime toDateTime(const QString& name) const { return conv::toDateTime(value(name)); }
    const QVariantList& values() const { return values_; }

private:
    std::shared_ptr<const ColumnSet> cols_;
    QVariantList values_;
};

// A whole result held in memory (a static recordset).
class DbRows {
public:
    DbRows() = default;
    DbRows(std::shared_ptr<const ColumnSet> cols, std::vector<DbRow> rows)
        : cols_(std::move(cols)), rows_(std::move(rows)) {}
    int count() const { return int(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    const DbRow& at(int i) const { return rows_.at(size_t(i)); }
    const DbRow& first() const; // DbError 3021 when empty
    const DbRow& last() const;  // DbError 3021 when empty
    QStringList columns() const { return cols_ ? cols_->names() : QStringList(); }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

private:
    std::shared_ptr<const ColumnSet> cols_;
    std::vector<DbRow> rows_;
};

class Database;

// A prepared statement for bulk work; must not outlive its Database.
class Statement {
public:
    int exec(const QVariantList& values = {}); // rows affected; DbError on failure
    bool next();
    QVariant value(int i) const { return q_.value(i); }
    QVariant value(const QString& name) const;
    DbRow row() const;
    void finish() { q_.finish(); }

private:
    friend class Database;
    Statement(QSqlDatabase db, const QString& sql, std::shared_ptr<std::optional<DbFailure>> firstFailure,
              std::shared_ptr<bool> fileFailed);
    std::shared_ptr<std::optional<DbFailure>> firstFailure_;
    std::shared_ptr<bool> fileFailed_;
    QSqlQuery q_;
    QString sql_;
    mutable std::shared_ptr<const ColumnSet> cols_;
};

// One open connection to an existing SQLite file. Every value is bound.
class Database {
public:
    // Opens an existing file; a missing or unreadable file is DbError -2147467259.
    // SQLite itself is told not to create the file.
    static Database open(const QString& path);
    // How long each connection open() makes waits for another program's lock before it
    // fails: 5 s. Returns the wait it replaces; for the tests of locks.
    static int setLockWait(int ms);
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    bool isOpen() const { return !name_.isEmpty(); }
    void close();
    const QString& path() const { return path_; }
    QSqlDatabase handle() const;

    DbRows select(const QString& sql, const QVariantList& params = {});
    void forEach(const QString& sql, const QVariantList& params, const std::function<void(const DbRow&)>& fn);
    int exec(const QString& sql, const QVariantList& params = {});
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    qint64 lastInsertId() const { return lastInsertId_; }
    std::unique_ptr<Statement> prepare(const QString& sql);

    QStringList columns(const QString& table); // the table's real columns, in order
    bool hasTable(const QString& table);
    bool hasColumn(const QString& table, const QString& column);
    // Checks a column name taken from a file or a caller against the table; returns the
    // table's own spelling, or DbError 3265.
    QString checkedColumn(const QString& table, const QString& column);

    // A write transaction: BEGIN IMMEDIATE waits the busy timeout for another
    // program's lock. A commit after a failed statement reports that statement's error.
    void begin();
    void commit();
    void rollback();

private:
    friend class Statement;
    DbFailure failed(const QSqlError& e);
    Database() = default;
    void runSelect(const QString& sql, const QVariantList& params, std::shared_ptr<const ColumnSet>& cols,
                   const std::function<void(DbRow&&)>& fn);
    QString name_;
    QString path_;
    qint64 lastInsertId_ = -1;
    std::shared_ptr<std::optional<DbFailure>> firstFailure_ = std::make_shared<std::optional<DbFailure>>();
    // The file itself failed on this connection: its journal is settled at the close.
    std::shared_ptr<bool> fileFailed_ = std::make_shared<bool>(false);
};

using Transaction = TransactionGuard<Database>;

// A Qt SQL error as the failure callers test, from SQLite's own result code; with the
// connection it came from, a write stopped by the file-size limit or a full disk says so.
DbFailure mapSqlError(const QSqlError& e);
DbFailure mapSqlError(const QSqlError& e, const QSqlDatabase& from);
// Bound value in its stored form: date-times as text, Booleans as -1/0.
QVariant toDbValue(const QVariant& v);
// The SQLite URI that opens an existing file for reading and writing, never creating it.
QString sqliteUriOf(const QString& path);
// Double-quoted SQL identifier.
QString quoteIdent(const QString& name);

} // namespace hv
