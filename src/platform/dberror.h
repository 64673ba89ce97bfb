#pragma once
#include <QString>
#include <exception>
#include <stdexcept>

namespace hv {

// Error numbers the callers test, as the original database engine reported them.
namespace dberr {
constexpr long FileNotFound = -2147467259;    // &H80004005: missing, unreadable or read-only file
constexpr long ColumnNotFound = 3265;         // item not found in the collection
constexpr long DuplicateColumn = -2147217887; // &H80040E21: column already exists
constexpr long InvalidNull = 94;              // a Null read as a number or text
constexpr long NoCurrentRecord = 3021;        // no row where one was expected
constexpr long TableNotFound = -2147217865;   // &H80040E37: no such table
constexpr long SqlFailed = -2147217900;       // &H80040E14: statement refused
constexpr long Overflow = 6;                  // number too large for its type
constexpr long TypeMismatch = 13;             // text where a number was expected
constexpr long InvalidArgument = 5;           // invalid procedure call or argument
} // namespace dberr

// A run-time error with the number and the description callers show, as the original
// program's error traps saw it: the base of the errors below.
class RunError : public std::runtime_error {
public:
    RunError(long number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    long number() const { return number_; }
    const QString& description() const { return description_; }

private:
    long number_;
    QString description_;
};

// An error of the database layer or of a value read from it: a file, table, column or row
// missing, a statement refused, a Null or a number out of range.
class DbError : public RunError {
public:
    using RunError::RunError;
};

// A calculation the run time stopped: an invalid argument, an overflow, a division by zero.
class CalcError : public RunError {
public:
    using RunError::RunError;
};

// A file the program writes (a backup, an export) that could not be written or replaced.
class FileError : public RunError {
public:
    using RunError::RunError;
};

// An error SQLite itself reported (busy, locked, read-only, full, corrupt, I/O, or any
// statement it refused): never a reading's own fault, so bulk work stops on it.
class DbFailure : public DbError {
public:
    using DbError::DbError;
    explicit DbFailure(const DbError& e) : DbError(e.number(), e.description()) {}
};

// SQLite's result code (primary or extended) and message as the failure callers test: the
// number comes from the code; only SQLITE_ERROR, which covers every refused statement,
// is told apart by its message (no such column, no such table, duplicate column). With the
// system's error number of the failed call, a write stopped by the file-size limit or a
// full disk says so after SQLite's words.
DbFailure SqliteFailure(int resultCode, const QString& message, int systemErrno = 0);
// Whether the code says the file itself failed (busy, locked, read-only, full, corrupt,
// I/O, cannot open, not a database), as against a statement refused.
bool IsFileFailure(int resultCode);

// The failure of opening the file at `path` as a database: a file that is not one is an
// "Unrecognized database format"; a lock or an I/O failure says what it is, and a write the
// file-size limit or a full disk stopped (the system's error number) says so.
DbFailure OpenFailure(const QString& path, int resultCode, const QString& message, int systemErrno = 0);

// Whether SQLite's words say the file is damaged (a malformed page, not a database past
// its header): the failure is the file's, not the path's.
bool SaysDamaged(const RunError& e);

// The error of a table that does not exist.
DbError TableNotFoundError(const QString& table);

} // namespace hv
