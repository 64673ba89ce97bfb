#include "normalization/calculate.h"


#include "core/program.h"

namespace hv {

namespace {

DbError missingColumn(const QString& name) {
    return DbError(
        dberr::ColumnNotFound,
        "Item cannot be found in the collection corresponding to the requested name or ordinal. (" + name +
            ")");
}

DbError noCurrentRecord() {
    return DbError(dberr::NoCurrentRecord,
                   "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                   "requires a current record.");
}

bool reportFailure(Program& p, const DbError& e, const std::function<void()>& beforeMessage = {}) {
    if (!p.IgnoreCalcErrors) {
        if (beforeMessage) beforeMessage();
        p.prompts.message("Calculation run caused an error #" + QString::number(e.number()) + " " +
                              e.description(),
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

// The read columns of a row of the calculator's select.
struct RowSource {
    const SqliteStatement& row;
    const std::array<int, ReadColumnCount>& pos;
    int at(int i) const {
        const int p = pos[size_t(i)];
        if (p < 0) throw missingColumn(QLatin1String(ReadColumns[size_t(i)].name));
        return p;
    }
    double number(int i) const { return row.number(at(i)); }
    qint16 int16(int i) const { return conv::roundToInt16(row.number(at(i))); }
    void present(int i) const { at(i); }
};

std::unique_ptr<SqliteStatement> prepared(SqliteConnection& db, const QString& sql) {
    return std::make_unique<SqliteStatement>(db, sql);
}

} // namespace

DataRecordCalculator::DataRecordCalculator(Program& p, SqliteConnection& db) : p_(p), db_(db) {
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

    if (actual("ElapsedTimeHrs").isEmpty()) return; // every reading fails on reading it
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
    if (firstMissingStored_ < 0)
        update_ = prepared(db, "UPDATE Data SET " + sets.join(", ") + " WHERE ID = ?");
    updateElapsed_ = prepared(db, QStringLiteral("UPDATE Data SET ElapsedTimeHrs = ? WHERE ID = ?"));
}

bool DataRecordCalculator::calculate(const SqliteStatement& row) {
    DataWorking w;
    ProjectInfoRecord& cp = p_.CurrentProject;
    try {
        RowSource source{row, readPos_};
        ReadWorking(w, source);
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

    int assigned = -1; // columns given their new value: ElapsedTimeHrs, then StoredColumns
    try {
        const double elapsed =
            ElapsedHours(DateSerialOf(row.value(1)), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
        assigned = 0;
        if (firstMissingStored_ >= 0) {
            assigned = firstMissingStored_;
            throw missingColumn(QLatin1String(StoredColumns[size_t(firstMissingStored_)].name));
        }
        SqliteStatement& u = *update_;
        int i = 0;
        u.bind(i++, RoundedElapsedHours(elapsed));
        for (const StoredColumn& c : StoredColumns)
            u.bind(i++, w.*c.field);
        for (int j = 0; j < 4; ++j)
            if (specFlux_[size_t(j)]) u.bind(i++, w.*SpecFluxColumns[size_t(j)].field);
        u.bind(i, row.int64(0));
        assigned = StoredColumnCount;
        u.step();
        u.reset();
    } catch (const DbError& e) {
        return fail(e, &row, w, assigned);
    }
    return true;
}

bool DataRecordCalculator::calculateById(qint64 id) {
    try {
        if (!rowById_) rowById_ = prepared(db_, select_ + "WHERE ID = ?");
        SqliteStatement& q = *rowById_;
        q.reset();
        q.bind(0, id);
        const bool found = q.step();
        const bool ok = found ? calculate(q) : false;
        q.reset(); // no read stays open on the database
        return found ? ok : failWithoutRow(noCurrentRecord());
    } catch (const DbError& e) {
        return failWithoutRow(e);
    }
}

bool DataRecordCalculator::failWithoutRow(const DbError& e) {
    return fail(e, nullptr, DataWorking(), -1);
}

bool DataRecordCalculator::fail(const DbError& e, const SqliteStatement* row, const DataWorking& w,
                                int assigned) {
    if (!p_.IgnoreCalcErrors) return reportFailure(p_, e, beforeMessage);
    // Keep at least the elapsed hours of the reading. A failure here ends the attempt
    // quietly: the caller has its False either way.
    try {
        if (!row) throw noCurrentRecord();
        const ProjectInfoRecord& cp = p_.CurrentProject;
        const double elapsed =
            ElapsedHours(DateSerialOf(row->value(1)), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
        if (elapsed != w.ElapsedTimeHrs) writeBack(row->int64(0), elapsed, w, assigned);
    } catch (const DbError&) {
    }
    return false;
}

void DataRecordCalculator::writeBack(qint64 id, double elapsed, const DataWorking& w, int assigned) {
    if (assigned <= 0) {
        if (!updateElapsed_) throw missingColumn(QStringLiteral("ElapsedTimeHrs"));
        updateElapsed_->bind(0, RoundedElapsedHours(elapsed));
        updateElapsed_->bind(1, id);
        updateElapsed_->step();
        updateElapsed_->reset();
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
    SqliteStatement u(db_, "UPDATE Data SET " + sets.join(", ") + " WHERE ID = ?");
    for (int i = 0; i < values.size(); ++i)
        u.bind(i, values[i]);
    u.step();
}

bool CalculateDataRecord(Program& p, const QDateTime& when, qint32 id) {
    std::unique_ptr<SqliteConnection> db;
    std::unique_ptr<DataRecordCalculator> calc;
    try {
        db = std::make_unique<SqliteConnection>(p.ProjectDatabasePath);
        calc = std::make_unique<DataRecordCalculator>(p, *db);
    } catch (const DbError& e) {
        return reportFailure(p, e);
    }
    if (id != 0) return calc->calculateById(id);
    try {
        SqliteStatement q(
            *db, calc->selectFromData() +
                     "WHERE ProjectID = ? AND TrainNumber = ? AND TheDate = ? ORDER BY ID DESC LIMIT 1");
        q.bind(0, p.CurrentProject.ProjectID);
        q.bind(1, qint64(p.CurrentProject.TrainNumber));
        q.bind(2, dbDateText(when));
        if (!q.step()) return calc->failWithoutRow(noCurrentRecord());
        return calc->calculate(q);
    } catch (const DbError& e) {
        return calc->failWithoutRow(e);
    }
}

} // namespace hv
