#pragma once
#include <QString>
#include <QVariantList>
#include <optional>

#include "platform/database.h"

namespace hv {

// A connection to one project database for the windows' lookups. Nothing is trapped:
// every DbError reaches the caller. Values are always bound to "?" placeholders.
class clsConnection {
public:
    // Opens the file (an existing database only); an earlier connection is released.
    void DatabasePath(const QString& path);

    // A static in-memory result: it stays valid whatever the instance runs next.
    DbRows SelectQuery(const QString& sql, const QVariantList& values = {});

    bool isOpen() const { return db_ && db_->isOpen(); }

private:
    std::optional<Database> db_;
};

} // namespace hv
