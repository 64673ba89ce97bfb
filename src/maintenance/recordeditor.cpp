#include "maintenance/recordeditor.h"

#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/refusal.h"
#include "core/typedinput.h"
#include "normalization/intake.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

DbError noCurrentRecord() {
    return DbError(dberr::NoCurrentRecord,
                   "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                   "requires a current record.");
}

bool numericType(const QString& declared) {
    const QString t = declared.toUpper();
    return t.contains("INT") || t.contains("REAL") || t.contains("NUM") || t.contains("DOUB") ||
           t.contains("FLOA") || t.contains("DEC");
}

} // namespace

RecordSet::RecordSet(Database& db, QString table, QStringList wanted, QString where, QVariantList params,
                     QString orderBy, QStringList kept, OrderKey orderKey)
    : db_(db), table_(std::move(table)), wanted_(std::move(wanted)), where_(std::move(where)),
      params_(std::move(params)), orderBy_(std::move(orderBy)), orderKey_(std::move(orderKey)) {
    // Only the table's real columns are read, in the order asked for; the ID is the key.
    QHash<QString, QString> declared;
    QHash<QString, QString> spelled;
    for (const DbRow& r : db_.select("SELECT name, type FROM pragma_table_info(?)", {table_})) {
        spelled.insert(r.value(0).toString().toLower(), r.value(0).toString());
        declared.insert(r.value(0).toString().toLower(), r.value(1).toString());
    }
    if (spelled.isEmpty()) db_.columns(table_); // raises the missing table's error
    for (const QString& w : wanted_) {
        const QString key = w.toLower();
        if (!spelled.contains(key) || byLower_.contains(key)) continue;
        byLower_.insert(key, int(columns_.size()));
        numeric_.insert(key, numericType(declared.value(key)));
        columns_ << spelled.value(key);
    }
    if (!byLower_.contains("id")) {
        byLower_.insert("id", int(columns_.size()));
        numeric_.insert("id", true);
        columns_ << spelled.value("id", "ID");
    }
    idCol_ = byLower_.value("id");
    for (const QString& k : kept) {
        const int c = byLower_.value(k.toLower(), -1);
        if (c >= 0 && c != idCol_ && !keptCols_.contains(c)) keptCols_ << c;
    }
    requery();
}

QString RecordSet::selectList(const QList<int>& cols) const {
    QStringList quoted;
    for (int c : cols)
        quoted << quoteIdent(columns_[c]);
    return quoted.join(',');
}

void RecordSet::requery() {
    // Only the keys (and the kept columns) of every row stay in memory; a row's other
    // values are read when it becomes current, so years of readings open at once.
    QString sql = "SELECT " + selectList(QList<int>{idCol_} + keptCols_) + " FROM " + quoteIdent(table_);
    if (!where_.isEmpty()) sql += " WHERE " + where_;
    if (!orderBy_.isEmpty()) sql += " ORDER BY " + orderBy_;
    std::vector<QVariantList> keys;
    db_.forEach(sql, params_, [&keys](const DbRow& r) { keys.push_back(r.values()); });
    if (orderKey_) {
        std::vector<std::pair<qint64, size_t>> order(keys.size());
        for (size_t i = 0; i < keys.size(); ++i)
            order[i] = {orderKey_(keys[i]), i};
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<QVariantList> sorted;
        sorted.reserve(keys.size());
        for (const auto& [key, i] : order)
            sorted.push_back(std::move(keys[i]));
        keys.swap(sorted);
    }
    keys_ = std::move(keys);
    adding_ = false;
    changes_.clear();
    pos_ = 0;
    moved();
}

bool RecordSet::hasColumn(const QString& name) const {
    return byLower_.contains(name.toLower());
}
bool RecordSet::isNumeric(const QString& name) const {
    return numeric_.value(name.toLower(), false);
}

int RecordSet::col(const QString& name) const {
    const int i = byLower_.value(name.toLower(), -1);
    if (i < 0)
        throw DbError(
            dberr::ColumnNotFound,
            "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return i;
}

int RecordSet::absolutePosition() const {
    if (keys_.empty() || pos_ < 0) return -2;
    if (pos_ >= recordCount()) return -3;
    return pos_ + 1;
}

void RecordSet::moved() {
    current_.clear();
    if (hasCurrent()) {
        if (adding_ && pos_ == recordCount() - 1) {
            for (int i = 0; i < columns_.size(); ++i)
                current_ << QVariant();
        } else {
            current_ = readRow(keys_[size_t(pos_)].at(0));
        }
    }
    if (onMoveComplete) onMoveComplete();
}

void RecordSet::moveFirst() {
    if (keys_.empty()) throw noCurrentRecord();
    pos_ = 0;
    moved();
}

void RecordSet::moveLast() {
    if (keys_.empty()) throw noCurrentRecord();
    pos_ = recordCount() - 1;
    moved();
}

void RecordSet::moveNext() {
    if (eof()) throw noCurrentRecord();
    ++pos_;
    moved();
}

void RecordSet::movePrevious() {
    if (bof()) throw noCurrentRecord();
    --pos_;
    moved();
}

void RecordSet::moveTo(int row) {
    if (row < 0 || row >= recordCount()) throw noCurrentRecord();
    pos_ = row;
    moved();
}

void RecordSet::requireCurrent() const {
    if (!hasCurrent() || current_.size() != columns_.size()) throw noCurrentRecord();
}

QVariant RecordSet::value(const QString& column) const {
    requireCurrent();
    const int c = col(column);
    if (changes_.contains(c)) return changes_.value(c);
    return current_.at(c);
}

QVariant RecordSet::valueAt(int row, const QString& column) const {
    if (row < 0 || row >= recordCount()) throw noCurrentRecord();
    const int c = col(column);
    const QVariantList& key = keys_[size_t(row)];
    if (c == idCol_) return key.at(0);
    const int k = keptCols_.indexOf(c);
    if (k >= 0) return key.at(k + 1);
    if (row == pos_) return value(column);
    return const_cast<RecordSet*>(this)->readRow(key.at(0)).at(c);
}

QString RecordSet::textOf(const QVariant& v) {
    if (conv::isNull(v)) return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        // No group separators: the text goes back into the record as typed.
        QLocale l;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(v.toDouble(), 'g', 15);
    }
    default:
        return v.toString();
    }
}

void RecordSet::setDateColumns(const QStringList& names) {
    dateColumns_.clear();
    for (const QString& n : names)
        dateColumns_ << n.toLower();
}

QString RecordSet::textFor(const QString& column) const {
    const QVariant v = value(column);
    if (dateColumns_.contains(column.toLower()) && !conv::isNull(v)) {
        // A stored date is shown in the computer's own short form, as it is typed back.
        const QDateTime dt = parseDbDate(v.toString());
        if (dt.isValid()) return ShortDateTimeText(dt);
    }
    return textOf(v);
}

QVariant RecordSet::valueFromText(const QString& column, const QString& text) const {
    const QString t = text.trimmed();
    if (dateColumns_.contains(column.toLower())) {
        if (t.isEmpty()) return QVariant();
        const std::optional<QDateTime> dt = ParseEntryDate(t);
        if (!dt) throw DbError(dberr::TypeMismatch, Refusal::notADate(column, text).text);
        return dbDateText(*dt);
    }
    if (!isNumeric(column)) return text;
    if (t.isEmpty()) return QVariant();
    const std::optional<double> d = ReadNumberText(t);
    if (!d) throw DbError(dberr::TypeMismatch, Refusal::notANumber(column, text).text);
    if (*d == double(qint64(*d)) && !t.contains(QLocale().decimalPoint()) && !t.contains('.') &&
        !t.contains('e', Qt::CaseInsensitive))
        return qint64(*d);
    return *d;
}

void RecordSet::setValue(const QString& column, const QVariant& v) {
    requireCurrent();
    changes_.insert(col(column), v);
}

void RecordSet::discardChange(const QString& column) {
    changes_.remove(col(column));
}

void RecordSet::addNew() {
    cancelUpdate();
    QVariantList key;
    for (int i = 0; i <= keptCols_.size(); ++i)
        key << QVariant();
    keys_.push_back(key);
    adding_ = true;
    pos_ = recordCount() - 1;
    moved();
}

void RecordSet::write(const QString& sql, const QVariantList& values) {
    try {
        db_.exec(sql, values);
    } catch (const DbFailure&) {
        const QString path = db_.path();
        if (QFile::exists(path + "-journal")) {
            // The close plays the journal back; the window reads on through a new connection.
            db_.close();
            try {
                db_ = Database::open(path);
            } catch (const DbError&) {
            }
        }
        throw;
    }
}

QVariantList RecordSet::readRow(const QVariant& id) {
    QList<int> all;
    for (int i = 0; i < columns_.size(); ++i)
        all << i;
    const DbRows r = db_.select("SELECT " + selectList(all) + " FROM " + quoteIdent(table_) + " WHERE " +
                                    quoteIdent(columns_[idCol_]) + " = ?",
                                {id});
    return r.first().values(); // 3021 when another program deleted it
}

void RecordSet::storeCurrent(const QVariant& id) {
    current_ = readRow(id);
    QVariantList key{current_.at(idCol_)};
    for (int c : keptCols_)
        key << current_.at(c);
    keys_[size_t(pos_)] = key;
}

bool RecordSet::changed(const QString& column) const {
    const int c = byLower_.value(column.toLower(), -1);
    return c >= 0 && changes_.contains(c);
}

void RecordSet::update() {
    if (!adding_ && changes_.isEmpty()) return;
    requireCurrent();
    if (rules)
        if (const QString why = RulebookRefusal(*rules, *this); !why.isEmpty())
            throw DbError(dberr::InvalidArgument, why);
    if (beforeUpdate) beforeUpdate(*this);
    if (adding_) {
        QStringList names;
        QStringList marks;
        QVariantList values;
        for (auto it = changes_.cbegin(); it != changes_.cend(); ++it) {
            if (it.key() == idCol_ || conv::isNull(it.value())) continue;
            names << quoteIdent(columns_[it.key()]);
            marks << "?";
            values << it.value();
        }
        const QString sql = names.isEmpty() ? "INSERT INTO " + quoteIdent(table_) + " DEFAULT VALUES"
                                            : "INSERT INTO " + quoteIdent(table_) + " (" + names.join(',') +
                                                  ") VALUES (" + marks.join(',') + ")";
        write(sql, values);
        storeCurrent(db_.lastInsertId());
        adding_ = false;
    } else {
        QStringList sets;
        QVariantList values;
        for (auto it = changes_.cbegin(); it != changes_.cend(); ++it) {
            if (it.key() == idCol_) continue;
            sets << quoteIdent(columns_[it.key()]) + " = ?";
            values << it.value();
        }
        const QVariant id = keys_[size_t(pos_)].at(0);
        if (!sets.isEmpty()) {
            values << id;
            write("UPDATE " + quoteIdent(table_) + " SET " + sets.join(',') + " WHERE " +
                      quoteIdent(columns_[idCol_]) + " = ?",
                  values);
            storeCurrent(id);
        }
    }
    changes_.clear();
    if (onChanged) onChanged();
}

void RecordSet::cancelUpdate() {
    changes_.clear();
    if (adding_) {
        adding_ = false;
        keys_.pop_back();
        pos_ = recordCount();
        current_.clear();
    }
}

void RecordSet::deleteCurrent() {
    requireCurrent();
    if (adding_) {
        cancelUpdate();
        return;
    }
    const QVariant id = keys_[size_t(pos_)].at(0);
    write("DELETE FROM " + quoteIdent(table_) + " WHERE " + quoteIdent(columns_[idCol_]) + " = ?", {id});
    changes_.clear();
    keys_.erase(keys_.begin() + pos_);
    if (onChanged) onChanged();
    moved();
}

qint64 RecordSet::bookmark() const {
    if (!hasCurrent() || (adding_ && pos_ == recordCount() - 1)) return 0;
    return keys_[size_t(pos_)].at(0).toLongLong();
}

bool RecordSet::setBookmark(qint64 id) {
    for (int i = 0; i < recordCount(); ++i) {
        if (keys_[size_t(i)].at(0).toLongLong() == id) {
            pos_ = i;
            moved();
            return true;
        }
    }
    return false;
}

std::vector<TrainKey> ListProjectTrainKeys(Database& db) {
    std::vector<TrainKey> keys;
    for (const DbRow& r : db.select("SELECT ProjectID, TrainNumber FROM ProjectInfo ORDER BY ID")) {
        TrainKey k;
        k.projectId = r.isNull("ProjectID") ? QString() : r.toText("ProjectID");
        k.train = r.isNull("TrainNumber") ? 0 : r.toInt16("TrainNumber");
        keys.push_back(k);
    }
    return keys;
}

qint32 ProposeEventId(Database& db) {
    const QVariant top = db.scalar("SELECT max(EventID) FROM Events WHERE EventID > 5");
    return conv::isNull(top) ? 6 : std::max(6, conv::toInt32(top) + 1);
}

bool EventIdExists(Database& db, qint32 eventId) {
    return db.scalar("SELECT count(*) FROM Events WHERE EventID = ?", {eventId}).toInt() > 0;
}

QHash<QString, QString> UserDefinedCaptions(Database& db, const QString& projectId) {
    QHash<QString, QString> out;
    const DbRows rows = db.select(QStringLiteral("SELECT TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw "
                                                 "FROM UserDefined WHERE ProjectID = ?"),
                                  {projectId});
    if (rows.isEmpty()) return out;
    const DbRow& r = rows.first();
    for (const QString column : {"TurbidityFeed", "TurbidityRaw", "ORP", "SDIFeed", "SDIRaw"})
        if (!r.isNull(column)) out.insert(column, r.toText(column));
    return out;
}

bool EnsureUserDefinedRow(Database& db, const QString& projectId) {
    if (db.scalar("SELECT count(*) FROM UserDefined WHERE ProjectID = ?", {projectId}).toInt() > 0)
        return false;
    static const char* Values =
        "TurbidityRaw,TurbidityFeed,SDIRaw,SDIFeed,ORP,UnitsTRaw,UnitsTFeed,UnitsSDIRaw,"
        "UnitsSDIFeed,UnitsORP";
    Transaction t(db);
    const int copied = db.exec(QString("INSERT INTO UserDefined (ProjectID,%1) SELECT ?,%1 FROM UserDefined "
                                       "WHERE ProjectID = 'Default' ORDER BY ID LIMIT 1")
                                   .arg(Values),
                               {projectId});
    if (copied <= 0) db.exec("INSERT INTO UserDefined (ProjectID) VALUES (?)", {projectId});
    t.commit();
    return true;
}

qint64 DeleteRowsById(Database& db, const QString& table, const std::vector<qint64>& ids,
                      const std::function<void(qint64)>& progress, int batchSize) {
    const QString name = quoteIdent(table);
    qint64 deleted = 0;
    for (size_t start = 0; start < ids.size(); start += size_t(batchSize)) {
        const size_t end = std::min(ids.size(), start + size_t(batchSize));
        QStringList marks;
        QVariantList values;
        for (size_t i = start; i < end; ++i) {
            marks << "?";
            values << ids[i];
        }
        Transaction t(db);
        deleted += db.exec("DELETE FROM " + name + " WHERE ID IN (" + marks.join(',') + ")", values);
        t.commit();
        if (progress) progress(deleted);
    }
    return deleted;
}

QString RulebookRefusal(const schema::Table& table, const RecordSet& r) {
    for (const QString& name : r.columns()) {
        if (!r.changed(name)) continue;
        const schema::Column* c = schema::Find(table, name);
        if (!c) continue;
        const QVariant v = r.value(name);
        if (conv::isNull(v)) {
            if (c->null == schema::NullRule::Refused) return Refusal::missing(name).text;
            continue;
        }
        if (c->range.any()) continue;
        bool number = false;
        const double d = v.toDouble(&number);
        if (!number || d != std::trunc(d) || d < double(c->range.least) || d > double(c->range.most))
            return Refusal::outOfRange(name, RecordSet::textOf(v), c->range).text;
    }
    return {};
}

QString ReadingKeyRefusal(Database& db, qint64 id, const QVariant& projectId, const QVariant& train,
                          const QVariant& date) {
    const QString project = conv::isNull(projectId) ? QString() : projectId.toString();
    if (project.trimmed().isEmpty())
        return QStringLiteral("A reading is kept under a project ID: it may not be empty.");
    constexpr schema::WholeRange trains = schema::DataColumn("TrainNumber").range;
    bool whole = false;
    const double number = conv::isNull(train) ? 0 : train.toDouble(&whole);
    if (!whole || number < double(trains.least) || number > double(trains.most) ||
        number != std::floor(number))
        return Refusal::outOfRange("TrainNumber", conv::isNull(train) ? QString() : train.toString(), trains)
            .text;
    const qint64 n = qint64(number);
    if (db.scalar("SELECT count(*) FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ?", {project, n})
            .toInt() == 0)
        return "There is no project " + project + " train " + QString::number(n) +
               " in this database: a reading is kept under one of its project trains.";
    if (conv::isNull(date)) return {};
    // The same reading date is the same instant, whatever spelling the stored date has; a
    // date the rule cannot read is named rather than taken as another instant.
    const QString text = date.toString();
    const std::optional<qint64> key = ReadingDateKey(text);
    if (!key) return Refusal::notADate("TheDate", text).text;
    SqliteConnection fast(db);
    SqliteStatement q(fast,
                      QStringLiteral("SELECT TheDate FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND "
                                     "ID <> ? AND TheDate IS NOT NULL"));
    q.bind(0, project);
    q.bind(1, n);
    q.bind(2, id);
    while (q.step()) {
        int length = 0;
        const char* t = q.text(0, &length);
        if (t && ReadingDateKey(t, length) == key)
            return Refusal::alreadyStored(project, n, parseDbDate(StoredDateText(*key))).text;
    }
    return {};
}

int SkipToDateIndex(const std::vector<QDateTime>& dates, int current, const QDateTime& target) {
    const int n = int(dates.size());
    if (n == 0) return -1;
    current = std::clamp(current, 0, n - 1);
    if (dates[size_t(current)] <= target) {
        int i = n - 1;
        if (dates[size_t(i)] < target) return i;
        while (i > 0 && dates[size_t(i)] >= target)
            --i;
        return i; // the first reading when none lies before the target
    }
    int i = 0;
    if (dates[0] > target) return 0;
    while (i < n - 1 && dates[size_t(i)] <= target)
        ++i;
    return i;
}

} // namespace hv

namespace hv {

std::unique_ptr<RecordSet> TrainReadingRecords(Database& db, const QStringList& columns,
                                               const QString& projectId, qint16 train) {
    // Oldest to newest by the instant each date names; a date that names none stays first,
    // as a date without a value does.
    const auto instant = [](const QVariantList& idAndDate) {
        const QVariant& d = idAndDate.value(1);
        if (conv::isNull(d)) return std::numeric_limits<qint64>::min();
        return ReadingDateKey(d.toString()).value_or(std::numeric_limits<qint64>::min() + 1);
    };
    auto rs = std::make_unique<RecordSet>(db, "Data", columns, "(ProjectID = ?) AND (TrainNumber = ?)",
                                          QVariantList{projectId, train}, "TheDate ASC, ID ASC",
                                          QStringList{"TheDate"}, instant);
    rs->rules = &schema::Data;
    return rs;
}

std::unique_ptr<RecordSet> TrainProjectRecord(Database& db, const QStringList& columns,
                                              const QString& projectId, qint16 train) {
    auto rs = std::make_unique<RecordSet>(db, "ProjectInfo", columns, "(ProjectID = ?) AND (TrainNumber = ?)",
                                          QVariantList{projectId, train});
    rs->rules = &schema::ProjectInfo;
    return rs;
}

std::unique_ptr<RecordSet> UserDefinedRecords(Database& db, const QStringList& columns,
                                              const QString& projectId) {
    return std::make_unique<RecordSet>(db, "UserDefined", columns, "ProjectID = ?", QVariantList{projectId});
}

} // namespace hv
