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

// "yyyy-mm-dd hh:mm:ss", the form every road stores.
bool isStoredForm(const QString& t) {
    return t.size() == 19 && t[10] == QLatin1Char(' ') && ReadingDateKey(t).has_value();
}

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

std::optional<qint64> ReadingDateKey(const char* t, int n) {
    if (n != 10 && n != 16 && n != 19) return std::nullopt;
    const auto digits = [&](int from, int count, qint64& k) {
        for (int i = from; i < from + count; ++i) {
            if (t[i] < '0' || t[i] > '9') return false;
            k = k * 10 + (t[i] - '0');
        }
        return true;
    };
    qint64 k = 0;
    if (!digits(0, 4, k) || t[4] != '-' || !digits(5, 2, k) || t[7] != '-' || !digits(8, 2, k))
        return std::nullopt;
    if (n == 10) return k * 1000000;
    if ((t[10] != ' ' && t[10] != 'T') || !digits(11, 2, k) || t[13] != ':' || !digits(14, 2, k))
        return std::nullopt;
    if (n == 16) return k * 100;
    if (t[16] != ':' || !digits(17, 2, k)) return std::nullopt;
    return k;
}

std::optional<qint64> ReadingDateKey(const QString& text) {
    if (text.size() > 19) return std::nullopt;
    char t[20];
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 127) return std::nullopt;
        t[i] = char(c);
    }
    return ReadingDateKey(t, int(text.size()));
}

QStringList ReadingDateSpellings(qint64 key) {
    char day[48], time[32];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d", int(key / 10000000000), int(key / 100000000 % 100),
                  int(key / 1000000 % 100));
    std::snprintf(time, sizeof time, "%02d:%02d", int(key / 10000 % 100), int(key / 100 % 100));
    const int seconds = int(key % 100);
    const QString d = QString::fromLatin1(day), hm = QString::fromLatin1(time);
    const QString hms = hm + QStringLiteral(":%1").arg(seconds, 2, 10, QLatin1Char('0'));
    QStringList s{d + ' ' + hms, d + 'T' + hms};
    if (seconds == 0) s << d + ' ' + hm << d + 'T' + hm;
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
    // The insert hands back the row as the calculation reads it, rather than a second query
    // reading it again.
    const QString& select = calc_->selectFromData(); // "SELECT <columns> FROM Data "
    const qsizetype from = select.lastIndexOf(QLatin1String(" FROM Data"));
    insert_ = std::make_unique<SqliteStatement>(db_, "INSERT INTO Data (" + names.join(", ") + ") VALUES (" +
                                                         marks.join(", ") + ") RETURNING " +
                                                         select.mid(7, from - 7));
    storedAt_ = std::make_unique<SqliteStatement>(
        db_, "SELECT 1 FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND " + ReadingDateCondition() +
                 " LIMIT 1");
    storedExactly_ = std::make_unique<SqliteStatement>(
        db_,
        QStringLiteral("SELECT 1 FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND TheDate = ? LIMIT 1"));
}

bool ReadingIntake::holdsOtherSpellings() {
    SqliteStatement q(db_,
                      QStringLiteral("SELECT 1 FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND "
                                     "(length(TheDate) <> 19 OR substr(TheDate, 11, 1) <> ' ') LIMIT 1"));
    q.bind(0, project_.ProjectID);
    q.bind(1, qint64(project_.TrainNumber));
    const bool found = q.step();
    q.reset();
    return found;
}

ReadingIntake::~ReadingIntake() = default;

bool ReadingIntake::isStored(const QDateTime& date) {
    return isStoredAt(dbDateText(date));
}

bool ReadingIntake::isStoredAt(const QString& dateText) {
    // While this intake's transaction keeps every other writer out and the train holds its dates
    // in the stored form alone, that one spelling is all there is to look up.
    const bool oneSpelling = tx_ && !otherSpellings_;
    SqliteStatement& q = oneSpelling ? *storedExactly_ : *storedAt_;
    q.reset();
    q.bind(0, project_.ProjectID);
    q.bind(1, qint64(project_.TrainNumber));
    if (oneSpelling) {
        q.bind(2, isStoredForm(dateText) ? dateText : ReadingDateLookup(dateText).first());
    } else {
        const QStringList spellings = ReadingDateLookup(dateText);
        for (int i = 0; i < ReadingDateSpellingCount; ++i)
            q.bind(2 + i, spellings[i]);
    }
    const bool found = q.step();
    q.reset(); // no read stays open
    return found;
}

ReadingIntake::Outcome ReadingIntake::add(const QDateTime& date, const QVariantList& values, bool raw) {
    return add(
        dbDateText(date),
        [&](SqliteStatement& ins, int first) {
            for (int i = 0; i < values.size(); ++i)
                ins.bind(i + first, values[i]);
        },
        raw);
}

ReadingIntake::Outcome ReadingIntake::add(const QString& dateText, const Binder& bind, bool raw) {
    failure_.clear();
    if (!tx_) {
        tx_ = std::make_unique<SqliteTransaction>(db_);
        pending_ = 0;
        otherSpellings_ = holdsOtherSpellings();
    }
    if (isStoredAt(dateText)) {
        pendingTally_.count(Outcome::AlreadyStored);
        return Outcome::AlreadyStored;
    }
    // A raw reading has nothing to undo on its own: a failed insert takes the whole batch.
    if (!raw) db_.savepoint(ReadingPoint);
    try {
        SqliteStatement& ins = *insert_;
        ins.bind(0, dateText);
        ins.bind(1, project_.ProjectID);
        ins.bind(2, qint64(project_.TrainNumber));
        bind(ins, 3);
        // Without the element nothing here can back the calculated values a caller brings.
        if (!raw && !missing_.isEmpty())
            for (const int pos : calculatedPos_)
                ins.bindNull(pos);
        const bool returned = ins.step();
        if (!isStoredForm(dateText)) otherSpellings_ = true;
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
                     : normalize ? calc_->calculate(ins, project_, side_, &last_)
                                 : calc_->readsRaw(ins);
            } catch (...) {
                ins.reset();
                throw;
            }
            ins.reset();
            if (!ok) {
                failure_ = calc_->lastFailure;
                db_.rollbackTo(ReadingPoint);
                --pending_;
                pendingTally_.count(Outcome::CalculationFailed, failure_);
                return Outcome::CalculationFailed;
            }
        }
        if (!raw) db_.release(ReadingPoint);
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
