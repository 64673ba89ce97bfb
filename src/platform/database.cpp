#include "platform/database.h"

#include <cstdio>

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <cmath>
#include <limits>
#include <sqlite3.h>

#include "platform/datetext.h"
#include "platform/sqlite.h"

namespace hv {

ColumnSet::ColumnSet(QStringList names) : names_(std::move(names)) {
    for (int i = int(names_.size()) - 1; i >= 0; --i)
        byLower_.insert(names_[i].toLower(), i);
}

int ColumnSet::indexOf(const QString& name) const {
    return byLower_.value(name.toLower(), -1);
}

namespace conv {

bool isNull(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

double toDouble(const QVariant& v) {
    if (isNull(v)) throw DbError(dberr::InvalidNull, "Invalid use of Null");
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return v.toBool() && v.typeId() == QMetaType::Bool ? -1.0 : v.toDouble();
    default:
        break;
    }
    bool ok = false;
    const QString s = v.toString().trimmed();
    double d = s.toDouble(&ok);
    if (!ok) {
        const QString l = s.toLower();
        if (l == "true" || l == "yes") return -1;
        if (l == "false" || l == "no") return 0;
        throw DbError(dberr::TypeMismatch, "Type mismatch");
    }
    return d;
}

qint32 roundToInt32(double x) {
    if (!std::isfinite(x) || x > 2147483647.5 || x < -2147483648.5)
        throw DbError(dberr::Overflow, "Overflow");
    const double r = std::nearbyint(x); // the default rounding mode rounds halves to even
    if (r > 2147483647.0 || r < -2147483648.0) throw DbError(dberr::Overflow, "Overflow");
    return qint32(r);
}

qint16 roundToInt16(double x) {
    if (!std::isfinite(x) || x > 32767.5 || x < -32768.5) throw DbError(dberr::Overflow, "Overflow");
    const double r = std::nearbyint(x);
    if (r > 32767.0 || r < -32768.0) throw DbError(dberr::Overflow, "Overflow");
    return qint16(r);
}

qint16 toInt16(const QVariant& v) {
    return roundToInt16(toDouble(v));
}
qint32 toInt32(const QVariant& v) {
    return roundToInt32(toDouble(v));
}
bool toBool(const QVariant& v) {
    return toDouble(v) != 0.0;
}

QString toText(const QVariant& v) {
    if (isNull(v)) throw DbError(dberr::InvalidNull, "Invalid use of Null");
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

QDateTime toDateTime(const QVariant& v) {
    if (isNull(v)) throw DbError(dberr::InvalidNull, "Invalid use of Null");
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime();
    if (v.typeId() == QMetaType::QDate) return v.toDate().startOfDay();
    const QDateTime dt = parseDbDate(v.toString());
    if (!dt.isValid()) throw DbError(dberr::TypeMismatch, "Type mismatch");
    return dt;
}

} // namespace conv

QString dbDateText(const QDateTime& dt) {
    return StoredDateText(dt);
}

QDateTime parseDbDate(const QString& text) {
    const std::optional<qint64> key = ReadingDateKey(text);
    return key ? DateTimeOfKey(*key) : QDateTime();
}

QVariant DbRow::value(const QString& name) const {
    const int i = cols_ ? cols_->indexOf(name) : -1;
    if (i < 0)
        throw DbError(
            dberr::ColumnNotFound,
            "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                name + ")");
    return values_.at(i);
}

const DbRow& DbRows::first() const {
    if (rows_.empty())
        throw DbError(dberr::NoCurrentRecord,
                      "Either BOF or EOF is True, or the current record has been deleted.");
    return rows_.front();
}

const DbRow& DbRows::last() const {
    if (rows_.empty())
        throw DbError(dberr::NoCurrentRecord,
                      "Either BOF or EOF is True, or the current record has been deleted.");
    return rows_.back();
}

QVariant toDbValue(const QVariant& v) {
    if (!v.isValid()) return QVariant();
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime().isValid() ? QVariant(dbDateText(v.toDateTime())) : QVariant();
    case QMetaType::QDate:
        return v.toDate().isValid() ? QVariant(dbDateText(v.toDate().startOfDay())) : QVariant();
    case QMetaType::Bool:
        return v.toBool() ? -1 : 0;
    default:
        return v;
    }
}

QString quoteIdent(const QString& name) {
    QString n = name;
    n.replace('"', "\"\"");
    return '"' + n + '"';
}

namespace {

DbFailure mapWithErrno(const QSqlError& e, int systemErrno) {
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    // Without SQLite's code the driver itself failed: the general failure.
    return ok ? SqliteFailure(code, text, systemErrno) : DbFailure(dberr::SqlFailed, text);
}

// The system's error number of the connection's last failed call.
int systemErrnoOf(const QSqlDriver* driver) {
    const QVariant v = driver ? driver->handle() : QVariant();
    if (qstrcmp(v.typeName(), "sqlite3*") != 0) return 0;
    sqlite3* db = *static_cast<sqlite3* const*>(v.constData());
    return db ? SystemErrnoOf(db) : 0;
}

// The failure of a statement on `from`, noting on the connection when the file itself failed.
DbFailure failureOn(const QSqlError& e, const QSqlDriver* from, bool& fileFailed) {
    if (IsFileFailure(e.nativeErrorCode().toInt())) fileFailed = true;
    return mapWithErrno(e, systemErrnoOf(from));
}

} // namespace

DbFailure mapSqlError(const QSqlError& e) {
    return mapWithErrno(e, 0);
}

DbFailure mapSqlError(const QSqlError& e, const QSqlDatabase& from) {
    return mapWithErrno(e, systemErrnoOf(from.driver()));
}

namespace {

QAtomicInt lockWaitMs = 5000;

std::shared_ptr<const ColumnSet> columnsOf(const QSqlRecord& rec) {
    QStringList names;
    names.reserve(rec.count());
    for (int i = 0; i < rec.count(); ++i)
        names << rec.fieldName(i);
    return std::make_shared<const ColumnSet>(names);
}

void bindAll(QSqlQuery& q, const QVariantList& params) {
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, toDbValue(params[i]));
}

} // namespace

QString sqliteUriOf(const QString& path) {
    // mode=rw: SQLite opens the file only when it exists, whatever the driver's flags.
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    return url.toString(QUrl::FullyEncoded);
}

int Database::setLockWait(int ms) {
    return lockWaitMs.fetchAndStoreRelaxed(ms);
}

Database Database::open(const QString& path) {
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.exists() || !fi.isFile()) throw NotAFileError(path);
    if (!fi.isReadable()) throw DbError(dberr::FileNotFound, "Cannot open file '" + path + "'.");
    for (bool settled = false;; settled = true) {
        Database db;
        // Named by its own failure record, which no other open connection shares.
        db.name_ = QString("hv_conn_%1").arg(quintptr(db.firstFailure_.get()), 0, 16);
        db.path_ = path;
        int code = 0, systemErrno = 0;
        QString message;
        {
            QSqlDatabase h = QSqlDatabase::addDatabase("QSQLITE", db.name_);
            h.setDatabaseName(sqliteUriOf(path));
            h.setConnectOptions(
                QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_URI").arg(lockWaitMs.loadRelaxed()));
            if (!h.open()) {
                const QSqlError err = h.lastError();
                h = QSqlDatabase();
                const QString name = db.name_;
                db.name_.clear();
                QSqlDatabase::removeDatabase(name);
                throw DbFailure(dberr::FileNotFound, err.text());
            }
            // SQLite opens lazily: read the schema once so that a file that is not a
            // database is refused here, not at the first query.
            QSqlQuery q(h);
            if (q.exec("SELECT count(*) FROM sqlite_master")) return db;
            const QSqlError err = q.lastError();
            code = err.nativeErrorCode().toInt();
            message = err.databaseText();
            systemErrno = systemErrnoOf(h.driver());
            q = QSqlQuery();
            h.close();
        }
        const QString name = db.name_;
        db.name_.clear();
        QSqlDatabase::removeDatabase(name);
        // A journal an earlier stop left that this process cannot play back by itself.
        if (!settled && MayBeAJournalLeft(path, code)) {
            if (std::optional<DbFailure> left = SettleJournal(path)) throw *left;
            continue;
        }
        throw OpenFailure(path, code, message, systemErrno);
    }
}

Database::Database(Database&& other) noexcept
    : name_(std::move(other.name_)), path_(std::move(other.path_)), lastInsertId_(other.lastInsertId_),
      firstFailure_(other.firstFailure_), fileFailed_(other.fileFailed_) {
    other.name_.clear();
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        name_ = std::move(other.name_);
        path_ = std::move(other.path_);
        lastInsertId_ = other.lastInsertId_;
        firstFailure_ = other.firstFailure_;
        fileFailed_ = other.fileFailed_;
        other.name_.clear();
    }
    return *this;
}

Database::~Database() {
    close();
}

void Database::close() {
    if (name_.isEmpty()) return;
    {
        QSqlDatabase h = QSqlDatabase::database(name_, false);
        if (h.isOpen()) {
            h.rollback();
            h.close();
        }
    }
    QSqlDatabase::removeDatabase(name_);
    name_.clear();
    if (*fileFailed_) SettleJournal(path_);
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(name_, false);
}

DbRows Database::select(const QString& sql, const QVariantList& params) {
    std::shared_ptr<const ColumnSet> cols;
    std::vector<DbRow> rows;
    runSelect(sql, params, cols, [&rows](DbRow&& r) { rows.push_back(std::move(r)); });
    return DbRows(cols ? cols : std::make_shared<const ColumnSet>(QStringList()), std::move(rows));
}

void Database::runSelect(const QString& sql, const QVariantList& params,
                         std::shared_ptr<const ColumnSet>& cols, const std::function<void(DbRow&&)>& fn) {
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throw failed(q.lastError());
    bindAll(q, params);
    if (!q.exec()) throw failed(q.lastError());
    cols = columnsOf(q.record());
    const int n = cols->size();
    while (q.next()) {
        QVariantList vals;
        vals.reserve(n);
        for (int i = 0; i < n; ++i)
            vals << q.value(i);
        fn(DbRow(cols, std::move(vals)));
    }
}

void Database::forEach(const QString& sql, const QVariantList& params,
                       const std::function<void(const DbRow&)>& fn) {
    std::shared_ptr<const ColumnSet> cols;
    runSelect(sql, params, cols, [&fn](DbRow&& r) { fn(r); });
}

int Database::exec(const QString& sql, const QVariantList& params) {
    QSqlQuery q(handle());
    if (!q.prepare(sql)) throw failed(q.lastError());
    bindAll(q, params);
    if (!q.exec()) throw failed(q.lastError());
    const QVariant id = q.lastInsertId();
    if (id.isValid()) lastInsertId_ = id.toLongLong();
    return q.numRowsAffected();
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throw failed(q.lastError());
    bindAll(q, params);
    if (!q.exec()) throw failed(q.lastError());
    if (!q.next()) return QVariant();
    return q.value(0);
}

std::unique_ptr<Statement> Database::prepare(const QString& sql) {
    return std::unique_ptr<Statement>(new Statement(handle(), sql, firstFailure_, fileFailed_));
}

QStringList Database::columns(const QString& table) {
    QStringList out;
    const DbRows rows = select("SELECT name FROM pragma_table_info(?)", {table});
    for (const DbRow& r : rows)
        out << r.value(0).toString();
    if (out.isEmpty() && !hasTable(table)) throw TableNotFoundError(table);
    return out;
}

bool Database::hasTable(const QString& table) {
    return scalar("SELECT count(*) FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE "
                  "NOCASE",
                  {table})
               .toInt() > 0;
}

bool Database::hasColumn(const QString& table, const QString& column) {
    for (const QString& c : columns(table))
        if (c.compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString Database::checkedColumn(const QString& table, const QString& column) {
    const QString want = column.trimmed();
    for (const QString& c : columns(table))
        if (c.compare(want, Qt::CaseInsensitive) == 0) return c;
    throw DbError(dberr::ColumnNotFound,
                  "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                      column + ")");
}

DbFailure Database::failed(const QSqlError& e) {
    DbFailure d = failureOn(e, handle().driver(), *fileFailed_);
    if (!*firstFailure_) *firstFailure_ = d;
    return d;
}

void Database::begin() {
    firstFailure_->reset();
    QSqlQuery q(handle());
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        throw failureOn(q.lastError(), handle().driver(), *fileFailed_);
}

void Database::commit() {
    QSqlQuery q(handle());
    if (q.exec(QStringLiteral("COMMIT"))) {
        firstFailure_->reset();
        return;
    }
    // SQLite rolls the transaction back itself on a full disk, an I/O error or a corrupt
    // page; the commit then only says there is no transaction. The cause comes first.
    const DbFailure e = failureOn(q.lastError(), handle().driver(), *fileFailed_);
    const std::optional<DbFailure> first = *firstFailure_;
    firstFailure_->reset();
    if (first && e.description().contains(QLatin1String("no transaction is active"))) throw *first;
    throw e;
}

void Database::rollback() {
    QSqlQuery q(handle());
    // A rollback the disk refused leaves the journal for the close to play back.
    if (!q.exec(QStringLiteral("ROLLBACK")) && IsFileFailure(q.lastError().nativeErrorCode().toInt()))
        *fileFailed_ = true;
}

Statement::Statement(QSqlDatabase db, const QString& sql,
                     std::shared_ptr<std::optional<DbFailure>> firstFailure, std::shared_ptr<bool> fileFailed)
    : firstFailure_(std::move(firstFailure)), fileFailed_(std::move(fileFailed)), q_(db), sql_(sql) {
    if (!q_.prepare(sql)) throw failureOn(q_.lastError(), db.driver(), *fileFailed_);
}

int Statement::exec(const QVariantList& values) {
    bindAll(q_, values);
    if (!q_.exec()) {
        const DbFailure e = failureOn(q_.lastError(), q_.driver(), *fileFailed_);
        if (!*firstFailure_) *firstFailure_ = e;
        throw e;
    }
    cols_.reset();
    return q_.numRowsAffected();
}

bool Statement::next() {
    return q_.next();
}

QVariant Statement::value(const QString& name) const {
    return row().value(name);
}

DbRow Statement::row() const {
    if (!cols_) cols_ = columnsOf(q_.record());
    QVariantList vals;
    vals.reserve(cols_->size());
    for (int i = 0; i < cols_->size(); ++i)
        vals << q_.value(i);
    return DbRow(cols_, std::move(vals));
}

} // namespace hv
