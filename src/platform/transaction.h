#pragma once
#include <mutex>

namespace hv {

// A write transaction on a connection that rolls back when it leaves scope unless
// committed, so an early return or an error never leaves half a change. The connection's
// begin() starts BEGIN IMMEDIATE, which waits the busy timeout for another program's lock.
// flush() commits the batch so far and opens the next one; a guard made with
// std::defer_lock opens its transaction at the first begin().
template <class Connection> class TransactionGuard {
public:
    explicit TransactionGuard(Connection& db) : db_(db) { begin(); }
    TransactionGuard(Connection& db, std::defer_lock_t) : db_(db) {}
    ~TransactionGuard() { rollback(); }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    bool isOpen() const { return open_; }
    void begin() {
        if (open_) return;
        db_.begin();
        open_ = true;
    }
    // A failed commit leaves the guard open, so that leaving scope rolls back what SQLite
    // kept of the transaction.
    void commit() {
        if (!open_) return;
        db_.commit();
        open_ = false;
    }
    void flush() {
        commit();
        begin();
    }
    void rollback() noexcept {
        if (!open_) return;
        open_ = false;
        db_.rollback();
    }

private:
    Connection& db_;
    bool open_ = false;
};

} // namespace hv
