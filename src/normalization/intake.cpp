#include "normalization/intake.h"

#include "core/program.h"
#include "core/refusal.h"
#include "core/typedinput.h"
#include "platform/database.h"

#include <cstdio>

namespace hv {

namespace {

bool holds(const std::vector<ElementSpecRecord>& table, int type) {
    return type >= 0 && size_t(type) < table.size() && table[size_t(type)].ID != 0;
}

const char* const ReadingPoint = "reading";

// A column the normalization computes: a value given for it stands only beside the raw values
// it was computed from, by this program.
bool isCalculated(const QString& column) {
    for (const ReadColumn& c : ReadColumns)
        if (c.kind == ReadKind::Result && column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return true;
    for (const StoredColumn& c : SpecFluxColumns)
        if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

QList<int> MissingElementTypes(const ProjectInfoRecord& cp, const std::vector<ElementSpecRecord>& table) {
    QList<int> missing;
    auto need = [&](int type, bool used) {
        // A type the calculation reads without using its values only has to be addressable.
        const bool ok = used ? holds(table, type) : type >= 0 && size_t(type) < table.size();
        if (!ok && !missing.contains(type)) missing << type;
    };
    need(cp.ElementType, true);
    if (cp.NumBanks >= 2) {
        need(cp.ElementType_1, true);
        need(cp.ElementType_2, true);
        need(cp.ElementType_3, cp.NumBanks >= 3);
    }
    return missing;
}

QString MissingElementText(const ProjectInfoRecord& cp, const QList<int>& types, int readings) {
    QStringList names;
    for (int t : types)
        names << QString::number(t);
    return "The membrane element of project " + cp.ProjectID + " train " + QString::number(cp.TrainNumber) +
           (types.size() == 1 ? " (element type " : " (element types ") + names.join(", ") +
           ") is not in the element database. " + QString::number(readings) +
           (readings == 1 ? " reading was" : " readings were") + " stored without calculated values.";
}

QString AlreadyStoredText(const ProjectInfoRecord& cp, const QDateTime& date) {
    return Refusal::alreadyStored(cp.ProjectID, cp.TrainNumber, date).text;
}

QStringList ReadingDateSpellings(qint64 key) {
    const QString stored = StoredDateText(key);
    const QString d = stored.left(10), hm = stored.mid(11, 5), hms = stored.mid(11);
    QStringList s{stored, d + 'T' + hms};
    if (key % 100 == 0) s << d + ' ' + hm << d + 'T' + hm;
    if (key % 1000000 == 0) s << d;
    while (s.size() < ReadingDateSpellingCount)
        s << s.first();
    return s;
}

QString ReadingDateCondition() {
    return QStringLiteral("TheDate IN (?, ?, ?, ?, ?)");
}

QStringList ReadingDateLookup(const QString& dateText) {
    if (const auto key = ReadingDateKey(dateText)) return ReadingDateSpellings(*key);
    QStringList s;
    while (s.size() < ReadingDateSpellingCount)
        s << dateText;
    return s;
}

ReadingIntake::Tally& ReadingIntake::Tally::operator+=(const Tally& t) {
    normalized += t.normalized;
    raw += t.raw;
    noElement += t.noElement;
    alreadyStored += t.alreadyStored;
    if (failed == 0 && t.failed > 0) firstFailure = t.firstFailure;
    failed += t.failed;
    return *this;
}

void ReadingIntake::Tally::count(Outcome o, const QString& failure) {
    switch (o) {
    case Outcome::Normalized:
        ++normalized;
        break;
    case Outcome::Raw:
        ++raw;
        break;
    case Outcome::NoElement:
        ++noElement;
        break;
    case Outcome::AlreadyStored:
        ++alreadyStored;
        break;
    case Outcome::CalculationFailed:
        if (failed++ == 0) firstFailure = failure;
        break;
    }
}

ReadingIntake::ReadingIntake(Program& p, const QString& databasePath, const ProjectInfoRecord& project,
                             const QStringList& columns, int busyTimeoutMs)
    : p_(p), project_(project), missing_(MissingElementTypes(project, p.ElementTable)),
      owned_(std::make_unique<SqliteConnection>(databasePath, busyTimeoutMs)), db_(*owned_) {
    prepare(columns);
}

ReadingIntake::ReadingIntake(Program& p, SqliteConnection& db, const ProjectInfoRecord& project,
                             const QStringList& columns)
    : p_(p), project_(project), missing_(MissingElementTypes(project, p.ElementTable)), db_(db) {
    prepare(columns);
}

void ReadingIntake::prepare(const QStringList& columns) {
    if (missing_.isEmpty()) PrepareReference(side_, project_, p_.ElementTable);
    calc_ = std::make_unique<DataRecordCalculator>(p_, db_);
    calc_->reportFailures = false;
    QStringList names{QStringLiteral("TheDate"), QStringLiteral("ProjectID"), QStringLiteral("TrainNumber")};
    QStringList marks{QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")};
    for (const QString& c : columns) {
        if (isCalculated(c)) calculatedPos_.push_back(int(names.size()));
        names << quoteIdent(c);
        marks << QStringLiteral("?");
    }
    insert_ = std::make_unique<SqliteStatement>(db_, "INSERT INTO Data (" + names.join(", ") + ") VALUES (" +
                                                         marks.join(", ") + ")");
    readBack_ = std::make_unique<SqliteStatement>(db_, calc_->selectFromData() + "WHERE ID = ?");
    storedExactly_ = std::make_unique<SqliteStatement>(
        db_,
        QStringLiteral("SELECT 1 FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND TheDate = ? LIMIT 1"));
    anyStored_ = std::make_unique<SqliteStatement>(
        db_, QStringLiteral("SELECT 1 FROM Data WHERE ProjectID = ? AND TrainNumber = ? LIMIT 1"));
    otherDates_ = std::make_unique<SqliteStatement>(
        db_, "SELECT TheDate FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND TheDate IS NOT NULL AND "
             "NOT " +
                 StoredDateShapeCondition());
}

std::unordered_set<qint64> ReadingIntake::otherSpellings() {
    std::unordered_set<qint64> keys;
    SqliteStatement& q = *otherDates_;
    q.reset();
    q.bind(0, project_.ProjectID);
    q.bind(1, qint64(project_.TrainNumber));
    while (q.step()) {
        int length = 0;
        const char* t = q.type(0) == SqliteStatement::Type::Text ? q.text(0, &length) : nullptr;
        const std::optional<qint64> key = t ? ReadingDateKey(t, length) : std::nullopt;
        if (!key) {
            const QString text = q.value(0).toString();
            q.reset();
            throw DbError(dberr::TypeMismatch,
                          Refusal::notADate("A stored reading of " + project_.ProjectID + " train " +
                                                QString::number(project_.TrainNumber),
                                            text)
                                  .text +
                              " Mend that date before another reading of the train is stored.");
        }
        keys.insert(*key);
    }
    q.reset(); // no read stays open
    return keys;
}

ReadingIntake::~ReadingIntake() = default;

bool ReadingIntake::isStored(const QDateTime& date) {
    return isStoredAt(StoredDateText(date));
}

namespace {

qint64 keyOfGiven(const QString& dateText) {
    if (const std::optional<qint64> key = ReadingDateKey(dateText)) return *key;
    throw DbError(dberr::TypeMismatch, Refusal::notADate(QStringLiteral("The reading"), dateText).text);
}

} // namespace

bool ReadingIntake::isStoredAt(const QString& dateText) {
    const qint64 key = keyOfGiven(dateText);
    return storedAtKey(key, StoredDateText(key));
}

bool ReadingIntake::storedAtKey(qint64 key, const QString& stored) {
    if (tx_ && !trainHeld_) return addedKeys_.count(key) > 0;
    // The stored form through the date index; the other spellings by their keys, read once
    // while this intake's transaction keeps every other writer out.
    SqliteStatement& q = *storedExactly_;
    q.reset();
    q.bind(0, project_.ProjectID);
    q.bind(1, qint64(project_.TrainNumber));
    q.bind(2, stored);
    const bool found = q.step();
    q.reset(); // no read stays open
    if (found) return true;
    return tx_ ? otherKeys_.count(key) > 0 : otherSpellings().count(key) > 0;
}

ReadingIntake::Outcome ReadingIntake::add(const QDateTime& date, const QVariantList& values, bool raw) {
    return add(
        StoredDateText(date),
        [&](SqliteStatement& ins, int first) {
            for (int i = 0; i < values.size(); ++i)
                ins.bind(i + first, values[i]);
        },
        raw);
}

ReadingIntake::Outcome ReadingIntake::add(const QString& dateText, const Binder& bind, bool raw) {
    failure_.clear();
    const qint64 key = keyOfGiven(dateText);
    const QString stored = StoredDateText(key);
    if (!tx_) {
        tx_ = std::make_unique<SqliteTransaction>(db_);
        pending_ = 0;
        addedKeys_.clear();
        try {
            otherKeys_ = otherSpellings();
            SqliteStatement& q = *anyStored_;
            q.reset();
            q.bind(0, project_.ProjectID);
            q.bind(1, qint64(project_.TrainNumber));
            trainHeld_ = q.step();
            q.reset();
        } catch (...) {
            tx_.reset();
            throw;
        }
    }
    if (storedAtKey(key, stored)) {
        pendingTally_.count(Outcome::AlreadyStored);
        return Outcome::AlreadyStored;
    }
    // A raw reading has nothing to undo on its own: a failed insert takes the whole batch.
    if (!raw) db_.savepoint(ReadingPoint);
    try {
        SqliteStatement& ins = *insert_;
        ins.bind(0, stored);
        ins.bind(1, project_.ProjectID);
        ins.bind(2, qint64(project_.TrainNumber));
        bind(ins, 3);
        // Without the element nothing here can back the calculated values a caller brings.
        if (!raw && !missing_.isEmpty())
            for (const int pos : calculatedPos_)
                ins.bindNull(pos);
        ins.step();
        ins.reset();
        SqliteStatement& row = *readBack_;
        row.reset();
        row.bind(0, db_.lastInsertId());
        const bool returned = raw || row.step();
        ++pending_; // lost with the batch if it fails

        Outcome o = Outcome::Normalized;
        if (raw) {
            ins.reset();
            o = Outcome::Raw;
        } else {
            // Without the element the reading is not normalized, but it is held to what its
            // normalization needs, as it would be with the element.
            const bool normalize = missing_.isEmpty();
            o = normalize ? Outcome::Normalized : Outcome::NoElement;
            if (normalize) last_ = {};
            bool ok = false;
            try {
                ok = !returned ? calc_->failWithoutRow(
                                     DbError(dberr::NoCurrentRecord, "The reading just stored is gone."))
                     : normalize ? calc_->calculate(row, project_, side_, &last_)
                                 : calc_->readsRaw(row);
            } catch (...) {
                row.reset();
                throw;
            }
            row.reset();
            if (!ok) {
                failure_ = calc_->lastFailure;
                db_.rollbackTo(ReadingPoint);
                --pending_;
                pendingTally_.count(Outcome::CalculationFailed, failure_);
                return Outcome::CalculationFailed;
            }
        }
        if (!raw) db_.release(ReadingPoint);
        // A train that held no reading when the batch began holds only this batch's.
        if (!trainHeld_) addedKeys_.insert(key);
        pendingTally_.count(o);
        return o;
    } catch (...) {
        // The batch goes whole: the transaction guard rolls it back. pending() still tells
        // the caller how many readings it lost.
        tx_.reset();
        pendingTally_ = {};
        throw;
    }
}

void ReadingIntake::commit() {
    if (!tx_) return;
    // A failed commit leaves the transaction to the guard, which rolls it back.
    std::unique_ptr<SqliteTransaction> tx = std::move(tx_);
    tx->commit();
    committed_ += pendingTally_;
    pendingTally_ = {};
    pending_ = 0;
}

void ReadingIntake::rollback() {
    tx_.reset();
    pendingTally_ = {};
    pending_ = 0;
}

ReadingIntake::Tally ReadingIntake::takeCommitted() {
    return std::exchange(committed_, {});
}

} // namespace hv
