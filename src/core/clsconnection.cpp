#include "core/clsconnection.h"

#include <QStringList>

namespace hv {

namespace {

constexpr long ConnectionClosed = 3709;

QStringList splitColumns(const QString& columnList) {
    QStringList items = columnList.split(',');
    for (QString& c : items)
        c = c.trimmed();
    return items;
}

} // namespace

void clsConnection::DatabasePath(const QString& path) {
    db_.reset();
    db_.emplace(Database::open(path));
}

Database& clsConnection::connection() {
    if (!isOpen())
        throw DbError(
            ConnectionClosed,
            "The connection cannot be used to perform this operation. It is either closed or invalid in "
            "this context.");
    return *db_;
}

void clsConnection::closeConnection() {
    db_.reset();
}

QString clsConnection::checkedTable(const QString& table) {
    const QVariant name = connection().scalar(
        "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE",
        {table.trimmed()});
    if (!name.isValid() || name.isNull()) throw TableNotFoundError(table);
    return name.toString();
}

DbRows clsConnection::SelectQuery(const QString& sql, const QVariantList& values) {
    return connection().select(sql, values);
}

void clsConnection::DeleteQuery(const QString& table, const QString& condition, const QVariantList& values) {
    const QString t = checkedTable(table);
    connection().exec("DELETE FROM " + quoteIdent(t) + " WHERE " + condition, values);
    closeConnection();
}

void clsConnection::DeleteQueryStr(const QString& sql, const QVariantList& values) {
    connection().exec(sql, values);
    closeConnection();
}

void clsConnection::InsertQuery(const QString& table, const QString& columnList, const QVariantList& values) {
    const QString t = checkedTable(table);
    Database& db = connection();
    const QStringList items = splitColumns(columnList);
    if (items.size() != values.size())
        throw DbError(dberr::SqlFailed, "Number of query values and destination fields are not the same.");
    QStringList columns, marks;
    for (const QString& c : items) {
        columns << quoteIdent(db.checkedColumn(t, c));
        marks << QStringLiteral("?");
    }
    db.exec("INSERT INTO " + quoteIdent(t) + " (" + columns.join(", ") + ") VALUES (" + marks.join(", ") +
                ")",
            values);
}

void clsConnection::UpdateQuery(const QString& table, const QString& columnList, const QVariantList& values,
                                const QString& condition, const QVariantList& conditionValues) {
    const QStringList items = splitColumns(columnList);
    if (items.size() < 2 || values.size() < 2 || items.size() != values.size())
        throw DbError(dberr::InvalidArgument, "Invalid procedure call or argument");
    const QString t = checkedTable(table);
    Database& db = connection();
    QStringList assignments;
    for (const QString& c : items)
        assignments << quoteIdent(db.checkedColumn(t, c)) + " = ?";
    db.exec("UPDATE " + quoteIdent(t) + " SET " + assignments.join(", ") + " WHERE " + condition,
            values + conditionValues);
}

} // namespace hv
