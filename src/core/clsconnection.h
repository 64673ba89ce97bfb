#pragma once
#include <QString>
#include <QVariantList>
#include <optional>

#include "platform/database.h"

namespace hv {

// A connection to one project database and the queries the graph, collection and
// import windows run on it. Nothing is trapped: every DbError reaches the caller.
// Values are always bound to "?" placeholders; table and column names given by callers
// are checked against the real table and quoted.
//
// The connection is open after DatabasePath, SelectQuery and InsertQuery and closed
// after a successful DeleteQuery or DeleteQueryStr; a later query on the same instance
// needs a new DatabasePath.
class clsConnection {
public:
    // Opens the file (an existing database only); an earlier connection is released.
    void DatabasePath(const QString& path);

    // A static in-memory result: it stays valid whatever the instance runs next.
    DbRows SelectQuery(const QString& sql, const QVariantList& values = {});

    // DELETE FROM table WHERE condition; the condition holds "?" for the values.
    void DeleteQuery(const QString& table, const QString& condition, const QVariantList& values = {});
    void DeleteQueryStr(const QString& sql, const QVariantList& values = {});

    // columnList is "A, B, C"; one value per column.
    void InsertQuery(const QString& table, const QString& columnList, const QVariantList& values);

    // At least two columns and as many values (else DbError 5 before any SQL); the table
    // and every column must exist. The condition holds "?" for conditionValues.
    void UpdateQuery(const QString& table, const QString& columnList, const QVariantList& values,
                     const QString& condition, const QVariantList& conditionValues = {});

    bool isOpen() const { return db_ && db_->isOpen(); }

private:
    Database& connection();
    QString checkedTable(const QString& table);
    void closeConnection();

    std::optional<Database> db_;
};

} // namespace hv
