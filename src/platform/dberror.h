#pragma once
#include <QString>
#include <stdexcept>

namespace hv {

// Error numbers the callers test, as the original database engine reported them.
namespace dberr {
constexpr long FileNotFound = -2147467259;     // &H80004005: missing, unreadable or read-only file
constexpr long ColumnNotFound = 3265;          // item not found in the collection
constexpr long DuplicateColumn = -2147217887;  // &H80040E21: column already exists
constexpr long InvalidNull = 94;               // a Null read as a number or text
constexpr long NoCurrentRecord = 3021;         // no row where one was expected
constexpr long TableNotFound = -2147217865;    // &H80040E37: no such table
constexpr long SqlFailed = -2147217900;        // &H80040E14: statement refused
constexpr long Overflow = 6;                   // number too large for its type
constexpr long TypeMismatch = 13;              // text where a number was expected
constexpr long InvalidArgument = 5;            // invalid procedure call or argument
}  // namespace dberr

// A run-time error from the database layer: the number and the description callers show.
class DbError : public std::runtime_error {
public:
    DbError(long number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    long number() const { return number_; }
    const QString& description() const { return description_; }

private:
    long number_;
    QString description_;
};

}  // namespace hv
