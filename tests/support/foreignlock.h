#pragma once
#include <QString>
#include <memory>

#include "platform/sqlite.h"

namespace hv::test {

// Another program's hold on a database file, for the tests of waits and failures: a read
// (a shared lock: a commit cannot finish), the write lock (other writers wait), or the
// whole file (readers wait too). It does not wait for a lock someone else holds.
class ForeignLock {
public:
    enum class Kind { Read, Write, Exclusive };
    ForeignLock(const QString& path, Kind kind);
    ~ForeignLock() { release(); }
    ForeignLock(const ForeignLock&) = delete;
    ForeignLock& operator=(const ForeignLock&) = delete;

    bool held() const { return db_ != nullptr; }
    void release();

private:
    std::unique_ptr<SqliteConnection> db_;
    std::unique_ptr<SqliteStatement> reading_;
};

} // namespace hv::test
