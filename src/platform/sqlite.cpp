#include "platform/sqlite.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <sys/resource.h>

#include "platform/filelimits.h"

namespace hv {

DbError NotAFileError(const QString& path) {
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return DbError(dberr::FileNotFound, "'" + path + "' is a folder, not a database file.");
    return DbError(dberr::FileNotFound, "Could not find file '" + path + "'.");
}

namespace {

// The playback of a journal writes every page it holds back where it stood, the pages the
// failed change never reached too. Past this process's file-size limit the system refuses
// even a write that changes nothing, so that the playback would fail again on a file that is
// already whole there: over the default file system, a write refused but whose bytes are
// those the file holds is taken as made.
struct SettleFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* f) {
    return reinterpret_cast<SettleFile*>(f)->real;
}

int settleClose(sqlite3_file* f) {
    sqlite3_file* real = realOf(f);
    const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
    f->pMethods = nullptr;
    return rc;
}
int settleRead(sqlite3_file* f, void* buf, int amount, sqlite3_int64 offset) {
    return realOf(f)->pMethods->xRead(realOf(f), buf, amount, offset);
}
int settleWrite(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset) {
    sqlite3_file* real = realOf(f);
    const int rc = real->pMethods->xWrite(real, buf, amount, offset);
    if (rc == SQLITE_OK || (rc & 0xff) != SQLITE_IOERR) return rc;
    QByteArray held(amount, Qt::Uninitialized);
    if (real->pMethods->xRead(real, held.data(), amount, offset) == SQLITE_OK &&
        std::memcmp(held.constData(), buf, size_t(amount)) == 0)
        return SQLITE_OK;
    return rc;
}
int settleTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return realOf(f)->pMethods->xTruncate(realOf(f), size);
}
int settleSync(sqlite3_file* f, int flags) {
    return realOf(f)->pMethods->xSync(realOf(f), flags);
}
int settleFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return realOf(f)->pMethods->xFileSize(realOf(f), size);
}
int settleLock(sqlite3_file* f, int lock) {
    return realOf(f)->pMethods->xLock(realOf(f), lock);
}
int settleUnlock(sqlite3_file* f, int lock) {
    return realOf(f)->pMethods->xUnlock(realOf(f), lock);
}
int settleCheckReservedLock(sqlite3_file* f, int* out) {
    return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
}
int settleFileControl(sqlite3_file* f, int op, void* arg) {
    return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
}
int settleSectorSize(sqlite3_file* f) {
    return realOf(f)->pMethods->xSectorSize(realOf(f));
}
int settleDeviceCharacteristics(sqlite3_file* f) {
    return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
}

// Version 1: no shared memory and no mapping, which a rollback journal's playback needs not.
const sqlite3_io_methods SettleMethods = {1,
                                          settleClose,
                                          settleRead,
                                          settleWrite,
                                          settleTruncate,
                                          settleSync,
                                          settleFileSize,
                                          settleLock,
                                          settleUnlock,
                                          settleCheckReservedLock,
                                          settleFileControl,
                                          settleSectorSize,
                                          settleDeviceCharacteristics,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr};

int settleOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    auto* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
    auto* file = reinterpret_cast<SettleFile*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    const int rc = real->xOpen(real, name, file->real, flags, outFlags);
    f->pMethods = file->real->pMethods ? &SettleMethods : nullptr;
    return rc;
}

// The default file system, with writes that change nothing taken as made; registered once,
// for the process's life, as SQLite keeps a registered file system.
const char* settleVfsName() {
    static sqlite3_vfs SettleVfs{};
    static const bool registered = [] {
        sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
        if (!real) return false;
        SettleVfs = *real;
        SettleVfs.iVersion = std::min(real->iVersion, 2);
        SettleVfs.szOsFile = int(sizeof(SettleFile)) + real->szOsFile;
        SettleVfs.zName = "hevrin-settle";
        SettleVfs.pAppData = real;
        SettleVfs.xOpen = settleOpen;
        // The default VFS's own calls take their own VFS, not this one.
        SettleVfs.xDelete = [](sqlite3_vfs* v, const char* n, int sync) {
            auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
            return r->xDelete(r, n, sync);
        };
        SettleVfs.xAccess = [](sqlite3_vfs* v, const char* n, int flags, int* out) {
            auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
            return r->xAccess(r, n, flags, out);
        };
        SettleVfs.xFullPathname = [](sqlite3_vfs* v, const char* n, int size, char* out) {
            auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
            return r->xFullPathname(r, n, size, out);
        };
        return sqlite3_vfs_register(&SettleVfs, 0) == SQLITE_OK;
    }();
    return registered ? "hevrin-settle" : nullptr;
}

} // namespace

int SystemErrnoOf(sqlite3* db) {
    const int now = sqlite3_system_errno(db);
    const auto stopsWrites = [](int e) { return e == EFBIG || e == ENOSPC; };
    if (stopsWrites(now)) return now;
    int kept = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &kept) == SQLITE_OK && stopsWrites(kept))
        return kept;
    sqlite3_file* journal = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) == SQLITE_OK && journal &&
        journal->pMethods &&
        journal->pMethods->xFileControl(journal, SQLITE_FCNTL_LAST_ERRNO, &kept) == SQLITE_OK &&
        stopsWrites(kept))
        return kept;
    return now;
}

namespace {

// Why the journal beside the file at `path` stays after its playback failed with SQLite's
// `resultCode` and `message` and the system's `systemErrno`: the folder or the journal that
// cannot be written, or the file-size limit, before SQLite's own words.
DbFailure journalLeft(const QString& path, int resultCode, const QString& message, int systemErrno) {
    const QString journal = path + "-journal";
    const QString left =
        "Cannot open the database '" + path + "': the journal " + journal + " of a change left unfinished";
    const QString folder = QFileInfo(path).absolutePath();
    if (const QString refusal = FolderWriteRefusal(folder); !refusal.isEmpty())
        return DbFailure(dberr::FileNotFound, left + " stands in the folder " + folder +
                                                  ", which is read-only (" + refusal +
                                                  "): the change cannot be undone there.");
    if (const QString refusal = FileWriteRefusal(journal); !refusal.isEmpty())
        return DbFailure(dberr::FileNotFound, left + " cannot be written (" + refusal + "; its owner is " +
                                                  QFileInfo(journal).owner() +
                                                  "): the change cannot be undone.");
    // The playback rewrites pages where they stood: a file larger than the limit meets it.
    int cause = systemErrno;
    rlimit limit{};
    if (cause != EFBIG && cause != ENOSPC && getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
        limit.rlim_cur != RLIM_INFINITY && QFileInfo(path).size() > qint64(limit.rlim_cur))
        cause = EFBIG;
    if (const QString limitCause = WriteLimitCause(cause); !limitCause.isEmpty())
        return DbFailure(dberr::FileNotFound,
                         left + " cannot be played back: " + limitCause + " (" + message + ").");
    return OpenFailure(path, resultCode, message, systemErrno);
}

} // namespace

bool MayBeAJournalLeft(const QString& path, int resultCode) {
    switch (resultCode & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_PERM:
        return QFile::exists(path + "-journal");
    default:
        return false;
    }
}

std::optional<DbFailure> SettleJournal(const QString& path) {
    if (path.isEmpty() || !QFile::exists(path + "-journal")) return std::nullopt;
    // The playback rewrites the file where it stood: a soft file-size limit below the file's
    // size would stop it, so it is lifted as far as the hard limit allows, for the playback only.
    rlimit before{};
    const bool limited = getrlimit(RLIMIT_FSIZE, &before) == 0 && before.rlim_cur != before.rlim_max;
    if (limited) {
        rlimit lifted = before;
        lifted.rlim_cur = before.rlim_max;
        setrlimit(RLIMIT_FSIZE, &lifted);
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, settleVfsName());
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    int systemErrno = 0;
    QString message;
    if (rc != SQLITE_OK && db) {
        rc = sqlite3_extended_errcode(db);
        message = QString::fromUtf8(sqlite3_errmsg(db));
        systemErrno = SystemErrnoOf(db);
    }
    sqlite3_close(db);
    if (limited) setrlimit(RLIMIT_FSIZE, &before);
    if (rc == SQLITE_OK) return std::nullopt;
    if (message.isEmpty()) message = QString::fromUtf8(sqlite3_errstr(rc));
    return journalLeft(path, rc, message, systemErrno);
}

SqliteConnection::SqliteConnection(const QString& path, int busyTimeoutMs) : path_(path) {
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.exists() || !fi.isFile()) throw NotAFileError(path);
    if (!fi.isReadable()) throw DbError(dberr::FileNotFound, "Cannot open file '" + path + "'.");
    for (bool settled = false;; settled = true) {
        // One thread uses a connection: no locking per call.
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            const QString text =
                db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
            sqlite3_close(db_);
            db_ = nullptr;
            throw DbFailure(dberr::FileNotFound, text);
        }
        sqlite3_busy_timeout(db_, busyTimeoutMs);
        // SQLite opens lazily: a file that is not a database is refused here.
        if (sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK)
            return;
        const int code = sqlite3_extended_errcode(db_);
        const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
        const int systemErrno = SystemErrnoOf(db_);
        sqlite3_close(db_);
        db_ = nullptr;
        // A journal an earlier stop left that this process cannot play back by itself.
        if (!settled && MayBeAJournalLeft(path, code)) {
            if (std::optional<DbFailure> left = SettleJournal(path)) throw *left;
            continue;
        }
        throw OpenFailure(path, code, message, systemErrno);
    }
}

SqliteConnection::SqliteConnection(Database& db) : owned_(false) {
    const QVariant h = db.handle().driver()->handle();
    if (qstrcmp(h.typeName(), "sqlite3*") != 0 || !(db_ = *static_cast<sqlite3* const*>(h.constData())))
        throw DbFailure(dberr::FileNotFound, QStringLiteral("The project database is not open."));
}

SqliteConnection::~SqliteConnection() {
    for (const auto& k : kept_)
        sqlite3_finalize(k.second);
    if (!db_ || !owned_) return;
    rollback();
    sqlite3_close_v2(db_);
    if (fileFailed_) SettleJournal(path_);
}

DbFailure SqliteConnection::lastError(const QString& sql) const {
    Q_UNUSED(sql);
    const int code = sqlite3_extended_errcode(db_);
    if (IsFileFailure(code)) fileFailed_ = true;
    return SqliteFailure(code, QString::fromUtf8(sqlite3_errmsg(db_)), SystemErrnoOf(db_));
}

DbFailure SqliteConnection::failed(const QString& sql) {
    const DbFailure e = lastError(sql);
    if (!firstFailure_) firstFailure_ = e;
    return e;
}

void SqliteConnection::exec(const QString& sql) {
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw failed(sql);
}

qint64 SqliteConnection::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

void SqliteConnection::execKept(const char* sql) {
    sqlite3_stmt* st = nullptr;
    for (const auto& k : kept_)
        if (k.first == sql) {
            st = k.second;
            break;
        }
    if (!st) {
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) throw failed(QString::fromUtf8(sql));
        kept_.emplace_back(QByteArray(sql), st);
    }
    if (sqlite3_step(st) != SQLITE_DONE) {
        const DbFailure e = failed(QString::fromUtf8(sql));
        sqlite3_reset(st);
        throw e;
    }
    sqlite3_reset(st);
}

void SqliteConnection::savepoint(const char* name) {
    execKept(QByteArray("SAVEPOINT ").append(name).constData());
}

void SqliteConnection::rollbackTo(const char* name) {
    execKept(QByteArray("ROLLBACK TO ").append(name).constData());
    release(name);
}

void SqliteConnection::release(const char* name) {
    execKept(QByteArray("RELEASE ").append(name).constData());
}

void SqliteConnection::begin() {
    firstFailure_.reset();
    exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteConnection::beginExclusive() {
    firstFailure_.reset();
    exec(QStringLiteral("BEGIN EXCLUSIVE"));
}

void SqliteConnection::commit() {
    if (sqlite3_get_autocommit(db_)) {
        // SQLite ended the transaction itself after a failure.
        const std::optional<DbFailure> first = firstFailure_;
        firstFailure_.reset();
        if (first) throw *first;
        throw DbFailure(dberr::SqlFailed, QStringLiteral("cannot commit - no transaction is active"));
    }
    exec(QStringLiteral("COMMIT"));
    firstFailure_.reset();
}

void SqliteConnection::rollback() {
    // A rollback the disk refused leaves the journal for the close to play back.
    if (!sqlite3_get_autocommit(db_) &&
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK &&
        IsFileFailure(sqlite3_extended_errcode(db_)))
        fileFailed_ = true;
}

QStringList SqliteConnection::columns(const QString& table) {
    SqliteStatement q(*this, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    q.bind(0, table);
    QStringList out;
    while (q.step())
        out << q.value(0).toString();
    if (out.isEmpty()) throw TableNotFoundError(table);
    return out;
}

SqliteStatement::SqliteStatement(SqliteConnection& db, const QString& sql) : db_(db), sql_(sql) {
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &st_, nullptr) != SQLITE_OK)
        throw db.failed(sql);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(st_);
}

void SqliteStatement::bind(int i, double v) {
    sqlite3_bind_double(st_, i + 1, v);
}
void SqliteStatement::bind(int i, qint64 v) {
    sqlite3_bind_int64(st_, i + 1, v);
}
void SqliteStatement::bind(int i, const QString& v) {
    const QByteArray u = v.toUtf8();
    sqlite3_bind_text(st_, i + 1, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindText(int i, const QByteArray& bytes) {
    sqlite3_bind_text(st_, i + 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int i, const QVariant& value) {
    const QVariant v = toDbValue(value);
    if (conv::isNull(v)) {
        sqlite3_bind_null(st_, i + 1);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        bind(i, qint64(v.toLongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bind(i, v.toDouble());
        break;
    default:
        bind(i, v.toString());
    }
}

void SqliteStatement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i, values[i]);
}

void SqliteStatement::bindNull(int i) {
    sqlite3_bind_null(st_, i + 1);
}

void SqliteStatement::bindColumn(int i, const SqliteStatement& from, int column) {
    sqlite3_bind_value(st_, i + 1, sqlite3_column_value(from.st_, column));
}

SqliteStatement::Type SqliteStatement::type(int i) const {
    switch (sqlite3_column_type(st_, i)) {
    case SQLITE_INTEGER:
        return Type::Integer;
    case SQLITE_FLOAT:
        return Type::Float;
    case SQLITE_TEXT:
        return Type::Text;
    case SQLITE_BLOB:
        return Type::Blob;
    default:
        return Type::Null;
    }
}

double SqliteStatement::real(int i) const {
    return sqlite3_column_double(st_, i);
}

const char* SqliteStatement::text(int i, int* length) const {
    const char* s = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
    if (length) *length = sqlite3_column_bytes(st_, i);
    return s;
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const DbFailure e = db_.failed(sql_);
    sqlite3_reset(st_);
    throw e;
}

void SqliteStatement::reset() {
    sqlite3_reset(st_);
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(st_);
}

QString SqliteStatement::columnName(int i) const {
    return QString::fromUtf8(sqlite3_column_name(st_, i));
}

QVariant SqliteStatement::value(int i) const {
    switch (sqlite3_column_type(st_, i)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(st_, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st_, i));
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(st_, i)), sqlite3_column_bytes(st_, i)));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                                          sqlite3_column_bytes(st_, i)));
    }
}

QByteArray SqliteStatement::bytes(int i) const {
    return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                      sqlite3_column_bytes(st_, i));
}

qint64 SqliteStatement::int64(int i) const {
    return sqlite3_column_int64(st_, i);
}

double SqliteStatement::number(int i) const {
    // One call on the statement per column: the value's type and number come from it.
    sqlite3_value* v = sqlite3_column_value(st_, i);
    switch (sqlite3_value_type(v)) {
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_INTEGER:
        return double(sqlite3_value_int64(v));
    default:
        return conv::toDouble(value(i));
    }
}

DbRow SqliteStatement::row() const {
    if (!cols_) {
        QStringList names;
        for (int i = 0; i < columnCount(); ++i)
            names << columnName(i);
        cols_ = std::make_shared<const ColumnSet>(names);
    }
    QVariantList values;
    values.reserve(cols_->size());
    for (int i = 0; i < cols_->size(); ++i)
        values << value(i);
    return DbRow(cols_, std::move(values));
}

} // namespace hv
