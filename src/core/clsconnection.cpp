#include "core/clsconnection.h"

namespace hv {

namespace {
constexpr long ConnectionClosed = 3709;
} // namespace

void clsConnection::DatabasePath(const QString& path) {
    db_.reset();
    db_.emplace(Database::open(path));
}

DbRows clsConnection::SelectQuery(const QString& sql, const QVariantList& values) {
    if (!isOpen())
        throw DbError(
            ConnectionClosed,
            "The connection cannot be used to perform this operation. It is either closed or invalid in "
            "this context.");
    return db_->select(sql, values);
}

} // namespace hv
