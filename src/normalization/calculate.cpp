#include "normalization/calculate.h"

#include <QSqlError>
#include <optional>

#include "core/program.h"

namespace hv {

namespace {

DbError missingColumn(const QString& name) {
    return DbError(dberr::ColumnNotFound,
                   "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                       name + ")");
}

DbError noCurrentRecord() {
    return DbError(dberr::NoCurrentRecord,
                   "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                   "requires a current record.");
}

bool reportFailure(Program& p, const DbError& e, const std::function<void()>& beforeMessage = {}) {
    if (!p.IgnoreCalcErrors) {
        if (beforeMessage) beforeMessage();
        p.prompts.message("Calculation run caused an error #" + QString::number(e.number()) + " " + e.description(),
                          Buttons::OK);
    }
    return false;
}

int readIndex(const char* column) {
    for (int i = 0; i < ReadColumnCount; ++i)
        if (qstrcmp(ReadColumns[size_t(i)].name, column) == 0) return i;
    return ReadColumnCount;
}

void keepLastNormalized(Program& p, const DataWorking& w) {
    // They take the stored values as the row is read, then the new ones as computed.
    static const int permFlow = readIndex("NormalizedPermFlow");
    static const int saltPassage = readIndex("NormalizedSaltPassage");
    static const int dp = readIndex("NormalizedDP");
    if (w.columnsRead > permFlow) p.LastNormalizedPermFlow = w.NormalizedPermFlow;
    if (w.columnsRead > saltPassage) p.LastNormalizedSaltPassage = w.NormalizedSaltPassage;
    if (w.columnsRead > dp) p.LastNormalizedDP = w.NormalizedDP;
}

std::unique_ptr<QSqlQuery> prepared(Database& db, const QString& sql) {
    auto q = std::make_unique<QSqlQuery>(db.handle());
    if (!q->prepare(sql)) throw mapSqlError(q->lastError(), sql);
    return q;
}

}  // namespace

DataRecordCalculator::DataRecordCalculator(Program& p, Database& db) : p_(p), db_(db) {
    const QStringList columns = db.columns(QStringLiteral("Data"));
    auto actual = [&](const char* name) -> QString {
        const QString want = QLatin1String(name);
        for (const QString& c : columns)
            if (c.compare(want, Qt::CaseInsensitive) == 0) return c;
        return QString();
    };

    QStringList select{QStringLiteral("ID"), QStringLiteral("TheDate")};
    for (int i = 0; i < ReadColumnCount; ++i) {
        const QString c = actual(ReadColumns[size_t(i)].name);
        readPos_[size_t(i)] = c.isEmpty() ? -1 : int(select.size());
        if (!c.isEmpty()) select << quoteIdent(c);
    }
    select_ = "SELECT " + select.join(", ") + " FROM Data ";

    if (actual("ElapsedTimeHrs").isEmpty()) return;  // every reading fails on reading it
    QStringList sets{QStringLiteral("ElapsedTimeHrs = ?")};
    for (int k = 0; k < StoredColumnCount; ++k) {
        const QString c = actual(StoredColumns[size_t(k)].name);
        if (c.isEmpty()) {
            firstMissingStored_ = k;
            break;
        }
        sets << quoteIdent(c) + " = ?";
    }
    for (int j = 0; j < 4; ++j) {
        // A database older than 1.3.20 has no specific-flux columns; the rest is stored.
        const QString c = actual(SpecFluxColumns[size_t(j)].name);
        specFlux_[size_t(j)] = !c.isEmpty();
        if (!c.isEmpty()) sets << quoteIdent(c) + " = ?";
    }
    if (firstMissingStored_ < 0) update_ = prepared(db, "UPDATE Data SET " + sets.join(", ") + " WHERE ID = ?");
    updateElapsed_ = prepared(db, QStringLiteral("UPDATE Data SET ElapsedTimeHrs = ? WHERE ID = ?"));
}

bool DataRecordCalculator::calculate(const QSqlQuery& row) {
    DataWorking w;
    ProjectInfoRecord& cp = p_.CurrentProject;
    try {
        ReadWorking(w, [&](int i) {
            const int pos = readPos_[size_t(i)];
            if (pos < 0) throw missingColumn(QLatin1String(ReadColumns[size_t(i)].name));
            return row.value(pos);
        });
    } catch (const DbError& e) {
        keepLastNormalized(p_, w);
        return fail(e, &row, w, -1);
    }
    keepLastNormalized(p_, w);

    try {
        NormalizeReading(w, cp, p_.ElementTable);
    } catch (const DbError& e) {
        keepLastNormalized(p_, w);
        return fail(e, &row, w, -1);
    }
    keepLastNormalized(p_, w);

    int assigned = -1;  // columns given their new value: ElapsedTimeHrs, then StoredColumns
    try {
        const double elapsed =
            ElapsedHours(DateSerialOf(row.value(1)), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
        assigned = 0;
        if (firstMissingStored_ >= 0) {
            assigned = firstMissingStored_;
            throw missingColumn(QLatin1String(StoredColumns[size_t(firstMissingStored_)].name));
        }
        QSqlQuery& u = *update_;
        int i = 0;
        u.bindValue(i++, RoundedElapsedHours(elapsed));
        for (const StoredColumn& c : StoredColumns) u.bindValue(i++, w.*c.field);
        for (int j = 0; j < 4; ++j)
            if (specFlux_[size_t(j)]) u.bindValue(i++, w.*SpecFluxColumns[size_t(j)].field);
        u.bindValue(i, row.value(0));
        assigned = StoredColumnCount;
        if (!u.exec()) throw mapSqlError(u.lastError());
    } catch (const DbError& e) {
        return fail(e, &row, w, assigned);
    }
    return true;
}

bool DataRecordCalculator::failWithoutRow(const DbError& e) { return fail(e, nullptr, DataWorking(), -1); }

bool DataRecordCalculator::fail(const DbError& e, const QSqlQuery* row, const DataWorking& w, int assigned) {
    if (!p_.IgnoreCalcErrors) return reportFailure(p_, e, beforeMessage);
    // Keep at least the elapsed hours of the reading. A failure here ends the attempt
    // quietly: the caller has its False either way.
    try {
        if (!row) throw noCurrentRecord();
        const ProjectInfoRecord& cp = p_.CurrentProject;
        const double elapsed =
            ElapsedHours(DateSerialOf(row->value(1)), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
        if (elapsed != w.ElapsedTimeHrs) writeBack(row->value(0).toLongLong(), elapsed, w, assigned);
    } catch (const DbError&) {
    }
    return false;
}

void DataRecordCalculator::writeBack(qint64 id, double elapsed, const DataWorking& w, int assigned) {
    if (assigned <= 0) {
        if (!updateElapsed_) throw missingColumn(QStringLiteral("ElapsedTimeHrs"));
        updateElapsed_->bindValue(0, RoundedElapsedHours(elapsed));
        updateElapsed_->bindValue(1, id);
        if (!updateElapsed_->exec()) throw mapSqlError(updateElapsed_->lastError());
        return;
    }
    // Values already given to the row before the failure are saved with it.
    QStringList sets{QStringLiteral("ElapsedTimeHrs = ?")};
    QVariantList values{RoundedElapsedHours(elapsed)};
    for (int k = 0; k < assigned && k < StoredColumnCount; ++k) {
        sets << quoteIdent(QLatin1String(StoredColumns[size_t(k)].name)) + " = ?";
        values << w.*StoredColumns[size_t(k)].field;
    }
    if (assigned >= StoredColumnCount)
        for (int j = 0; j < 4; ++j)
            if (specFlux_[size_t(j)]) {
                sets << quoteIdent(QLatin1String(SpecFluxColumns[size_t(j)].name)) + " = ?";
                values << w.*SpecFluxColumns[size_t(j)].field;
            }
    values << id;
    db_.exec("UPDATE Data SET " + sets.join(", ") + " WHERE ID = ?", values);
}

bool CalculateDataRecord(Program& p, const QDateTime& when, qint32 id) {
    std::optional<Database> db;
    std::unique_ptr<DataRecordCalculator> calc;
    try {
        db.emplace(Database::open(p.ProjectDatabasePath));
        calc = std::make_unique<DataRecordCalculator>(p, *db);
    } catch (const DbError& e) {
        return reportFailure(p, e);
    }
    QSqlQuery q(db->handle());
    q.setForwardOnly(true);
    const QString sql =
        id != 0 ? calc->selectFromData() + "WHERE ID = ?"
                : calc->selectFromData() +
                      "WHERE ProjectID = ? AND TrainNumber = ? AND TheDate = ? ORDER BY ID DESC LIMIT 1";
    if (!q.prepare(sql)) return calc->failWithoutRow(mapSqlError(q.lastError(), sql));
    if (id != 0) {
        q.bindValue(0, id);
    } else {
        q.bindValue(0, p.CurrentProject.ProjectID);
        q.bindValue(1, p.CurrentProject.TrainNumber);
        q.bindValue(2, dbDateText(when));
    }
    if (!q.exec()) return calc->failWithoutRow(mapSqlError(q.lastError(), sql));
    if (!q.next()) return calc->failWithoutRow(noCurrentRecord());
    return calc->calculate(q);
}

}  // namespace hv
