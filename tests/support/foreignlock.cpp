#include "support/foreignlock.h"

namespace hv::test {

ForeignLock::ForeignLock(const QString& path, Kind kind) {
    std::unique_ptr<SqliteConnection> db;
    try {
        db = std::make_unique<SqliteConnection>(path, 0);
        switch (kind) {
        case Kind::Read:
            // A read left on its row keeps its shared lock.
            reading_ =
                std::make_unique<SqliteStatement>(*db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
            reading_->step();
            break;
        case Kind::Write:
            db->begin();
            break;
        case Kind::Exclusive:
            db->beginExclusive();
            break;
        }
        db_ = std::move(db);
    } catch (const DbError&) {
        reading_.reset();
    }
}

void ForeignLock::release() {
    reading_.reset();
    if (db_) db_->rollback();
    db_.reset();
}

} // namespace hv::test
