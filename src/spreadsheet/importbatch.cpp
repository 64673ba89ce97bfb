#include "spreadsheet/importbatch.h"

#include <sqlite3.h>

#include "core/program.h"
#include "normalization/calculate.h"
#include "platform/database.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

bool holds(const std::vector<ElementSpecRecord>& table, int type) {
    return type >= 0 && size_t(type) < table.size() && table[size_t(type)].ID != 0;
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

ImportBatch::Tally& ImportBatch::Tally::operator+=(const Tally& t) {
    normalized += t.normalized;
    raw += t.raw;
    failed += t.failed;
    noElement += t.noElement;
    return *this;
}

void ImportBatch::Tally::count(Outcome o) {
    switch (o) {
    case Outcome::Normalized:
        ++normalized;
        break;
    case Outcome::Raw:
        ++raw;
        break;
    case Outcome::CalculationFailed:
        ++failed;
        break;
    case Outcome::NoElement:
        ++noElement;
        break;
    }
}

ImportBatch::ImportBatch(Program& p, const QString& databasePath, const ProjectInfoRecord& project,
                         int busyTimeoutMs)
    : p_(p), project_(project), missing_(MissingElementTypes(project, p.ElementTable)),
      db_(std::make_unique<SqliteConnection>(databasePath, busyTimeoutMs)),
      calc_(std::make_unique<DataRecordCalculator>(p, *db_)) {
    if (missing_.isEmpty()) PrepareReference(side_, project_, p.ElementTable);
    insert_ = std::make_unique<SqliteStatement>(*db_, ReadingInsertSql());
    storedAt_ = std::make_unique<SqliteStatement>(
        *db_,
        QStringLiteral("SELECT 1 FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND TheDate = ? LIMIT 1"));
    rowById_ = std::make_unique<SqliteStatement>(*db_, calc_->selectFromData() + "WHERE ID = ?");
    calc_->beforeMessage = [this] { commit(); };
}

ImportBatch::~ImportBatch() = default;

bool ImportBatch::isStored(const QDateTime& date) {
    SqliteStatement& q = *storedAt_;
    q.reset();
    q.bind(0, project_.ProjectID);
    q.bind(1, qint64(project_.TrainNumber));
    q.bind(2, dbDateText(date));
    const bool found = q.step();
    q.reset(); // no read stays open
    return found;
}

ImportBatch::Outcome ImportBatch::add(const ReadingValues& r, int eventId, const QString& note, bool raw) {
    if (!tx_) tx_ = std::make_unique<SqliteTransaction>(*db_);
    SqliteStatement& ins = *insert_;
    const QVariantList values = ReadingInsertValues(project_, r, eventId, note);
    for (int i = 0; i < values.size(); ++i)
        ins.bind(i, values[i]);
    ins.step();
    ins.reset();
    const qint64 id = sqlite3_last_insert_rowid(db_->handle());
    ++pending_;

    Outcome o = Outcome::Normalized;
    if (raw) {
        o = Outcome::Raw;
    } else if (!missing_.isEmpty()) {
        o = Outcome::NoElement;
    } else {
        SqliteStatement& row = *rowById_;
        row.reset();
        row.bind(0, id);
        bool ok = false;
        try {
            ok = row.step() ? calc_->calculate(row, project_, side_, nullptr)
                            : calc_->failWithoutRow(
                                  DbError(dberr::NoCurrentRecord, "The reading just stored is gone."));
        } catch (...) {
            row.reset();
            throw;
        }
        row.reset();
        if (!ok) o = Outcome::CalculationFailed;
    }
    // A message of the normalization has committed the batch, this reading with it.
    (tx_ ? pendingTally_ : committed_).count(o);
    return o;
}

void ImportBatch::commit() {
    if (!tx_) return;
    // A failed commit leaves the transaction to the guard, which rolls it back.
    std::unique_ptr<SqliteTransaction> tx = std::move(tx_);
    tx->commit();
    committed_ += pendingTally_;
    pendingTally_ = {};
    pending_ = 0;
}

ImportBatch::Tally ImportBatch::takeCommitted() {
    return std::exchange(committed_, {});
}

} // namespace hv
