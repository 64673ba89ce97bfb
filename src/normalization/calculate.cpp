#include "normalization/calculate.h"

#include "core/program.h"

#include <cmath>

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

bool reportFailure(Program& p, const RunError& e, const std::function<void()>& beforeMessage = {}) {
    if (!p.IgnoreCalcErrors) {
        if (beforeMessage) beforeMessage();
        p.prompts.message(FailureText(e), Buttons::OK);
    }
    return false;
}

int readIndex(const char* column) {
    for (int i = 0; i < ReadColumnCount; ++i)
        if (qstrcmp(ReadColumns[size_t(i)].name, column) == 0) return i;
    return ReadColumnCount;
}

// The stored form of TheDate read straight from the row.
double dateSerialOf(const SqliteStatement& row, int i) {
    if (row.type(i) == SqliteStatement::Type::Text) {
        int length = 0;
        const char* s = row.text(i, &length);
        if (length == 19 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' && s[16] == ':') {
            bool ok = true;
            auto num = [&](int from, int len) {
                int n = 0;
                for (int k = from; k < from + len; ++k) {
                    if (s[k] < '0' || s[k] > '9') ok = false;
                    n = n * 10 + (s[k] - '0');
                }
                return n;
            };
            const int y = num(0, 4), mo = num(5, 2), d = num(8, 2), h = num(11, 2), mi = num(14, 2),
                      se = num(17, 2);
            if (ok && h < 24 && mi < 60 && se < 60) {
                const QDate date(y, mo, d);
                if (date.isValid()) {
                    static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
                    return double(date.toJulianDay() - epoch) +
                           (((h * 60 + mi) * 60 + se) * 1000) / 86400000.0;
                }
            }
        }
    }
    return DateSerialOf(row.value(i));
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

    QStringList select{QStringLiteral("ID"), QStringLiteral("TheDate"), QStringLiteral("ProjectID"),
                       QStringLiteral("TrainNumber")};
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

void DataRecordCalculator::keepLast(const DataWorking& w, qint64 id, LastNormalizedValues* last) {
    // They take the stored values as the row is read, then the new ones as computed.
    static const int permFlow = readIndex("NormalizedPermFlow");
    static const int saltPassage = readIndex("NormalizedSaltPassage");
    static const int dp = readIndex("NormalizedDP");
    if (last) {
        if (w.columnsRead > permFlow) last->set(0, w.NormalizedPermFlow, id);
        if (w.columnsRead > saltPassage) last->set(1, w.NormalizedSaltPassage, id);
        if (w.columnsRead > dp) last->set(2, w.NormalizedDP, id);
        return;
    }
    if (w.columnsRead > permFlow) p_.LastNormalizedPermFlow = w.NormalizedPermFlow;
    if (w.columnsRead > saltPassage) p_.LastNormalizedSaltPassage = w.NormalizedSaltPassage;
    if (w.columnsRead > dp) p_.LastNormalizedDP = w.NormalizedDP;
}

ProjectInfoRecord& DataRecordCalculator::reference() {
    return reference_ ? *reference_ : p_.CurrentProject;
}

bool DataRecordCalculator::calculate(const SqliteStatement& row) {
    if (!currentSide_) PrepareReference(currentSide_.emplace(), reference(), p_.ElementTable);
    return calculate(row, reference(), *currentSide_, nullptr);
}

bool DataRecordCalculator::calculate(const SqliteStatement& row, ProjectInfoRecord& cp,
                                     const ReferenceSide& side, LastNormalizedValues* last) {
    DataWorking w;
    const qint64 id = row.int64(0);
    try {
        RowSource source{row, readPos_};
        ReadWorking(w, source);
    } catch (const RunError& e) {
        keepLast(w, id, last);
        return fail(e, &row, cp, w, -1);
    }
    keepLast(w, id, last);

    try {
        NormalizeReading(w, cp, p_.ElementTable, side);
    } catch (const RunError& e) {
        keepLast(w, id, last);
        return fail(e, &row, cp, w, -1);
    }
    keepLast(w, id, last);

    int assigned = -1; // columns given their new value: ElapsedTimeHrs, then StoredColumns
    try {
        const double elapsed =
            ElapsedHours(dateSerialOf(row, 1), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
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
        u.bind(i, id);
        assigned = StoredColumnCount;
        u.step();
        u.reset();
    } catch (const DbFailure&) {
        throw;
    } catch (const RunError& e) {
        return fail(e, &row, cp, w, assigned);
    }
    return true;
}

PendingResult DataRecordCalculator::calculatePending(const PendingReading& r) {
    struct Source {
        const PendingReading& r;
        double number(int i) const {
            switch (r.state[size_t(i)]) {
            case PendingReading::Number:
                return r.value[size_t(i)];
            case PendingReading::Null:
                return conv::toDouble(QVariant());
            default:
                throw missingColumn(QLatin1String(ReadColumns[size_t(i)].name));
            }
        }
        qint16 int16(int i) const { return conv::roundToInt16(number(i)); }
        void present(int i) const {
            if (r.state[size_t(i)] == PendingReading::Absent)
                throw missingColumn(QLatin1String(ReadColumns[size_t(i)].name));
        }
    } source{r};
    if (!currentSide_) PrepareReference(currentSide_.emplace(), reference(), p_.ElementTable);
    ProjectInfoRecord& cp = reference();
    PendingResult out;
    DataWorking w;
    // As calculate() followed by fail(): a failure keeps the reading's new elapsed hours
    // when its date gives them.
    const auto failed = [&] {
        if (!r.dateKnown) return out;
        const double elapsed = ElapsedHours(r.date, DateSerial(cp.DateReference), cp.ElapsedTimeRef);
        if (elapsed != w.ElapsedTimeHrs) {
            out.elapsedChanged = true;
            out.elapsed = RoundedElapsedHours(elapsed);
        }
        return out;
    };
    try {
        ReadWorking(w, source);
    } catch (const RunError&) {
        keepLast(w, 0, nullptr);
        return failed();
    }
    keepLast(w, 0, nullptr);
    try {
        NormalizeReading(w, cp, p_.ElementTable, *currentSide_);
    } catch (const RunError&) {
        keepLast(w, 0, nullptr);
        return failed();
    }
    keepLast(w, 0, nullptr);
    if (!r.dateKnown) return failed();
    out.normalized = true;
    out.elapsedChanged = true;
    out.elapsed = RoundedElapsedHours(ElapsedHours(r.date, DateSerial(cp.DateReference), cp.ElapsedTimeRef));
    for (int k = 0; k < StoredColumnCount; ++k)
        out.stored[size_t(k)] = w.*StoredColumns[size_t(k)].field;
    for (int j = 0; j < 4; ++j)
        out.specFlux[size_t(j)] = w.*SpecFluxColumns[size_t(j)].field;
    return out;
}

bool DataRecordCalculator::readsRaw(const SqliteStatement& row) {
    try {
        // As ReadWorking reads them, without an exception for each Null it reads as 0.
        const RowSource source{row, readPos_};
        for (int i = 0; i < ReadColumnCount; ++i) {
            const ReadKind kind = ReadColumns[size_t(i)].kind;
            if (kind == ReadKind::NullableText) {
                source.present(i);
                continue;
            }
            if (kind != ReadKind::Number && row.isNull(source.at(i))) continue;
            if (kind == ReadKind::Integer)
                source.int16(i);
            else
                source.number(i);
        }
        return true;
    } catch (const DbFailure&) {
        throw;
    } catch (const RunError& e) {
        lastFailure = FailureText(e);
        if (failures++ == 0) lastFailureFirst = lastFailure;
        return false;
    }
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
    } catch (const DbFailure&) {
        throw;
    } catch (const RunError& e) {
        return failWithoutRow(e);
    }
}

bool DataRecordCalculator::failWithoutRow(const RunError& e) {
    return fail(e, nullptr, reference(), DataWorking(), -1);
}

bool DataRecordCalculator::fail(const RunError& e, const SqliteStatement* row, const ProjectInfoRecord& cp,
                                const DataWorking&, int) {
    lastFailure = FailureText(e);
    if (failures++ == 0) lastFailureFirst = lastFailure;
    if (!reportFailures) return false;
    // A reading whose calculation failed keeps no results of an earlier reference state:
    // they would read as valid. Where errors are ignored its elapsed hours still follow
    // its date.
    if (row) {
        std::optional<double> elapsed;
        if (p_.IgnoreCalcErrors) {
            try {
                const double h = ElapsedHours(DateSerialOf(row->value(1)), DateSerial(cp.DateReference),
                                              cp.ElapsedTimeRef);
                if (std::isfinite(h)) elapsed = RoundedElapsedHours(h);
            } catch (const DbFailure&) {
                throw;
            } catch (const RunError&) {
            }
        }
        emptyResults(row->int64(0), elapsed);
    }
    if (!p_.IgnoreCalcErrors) return reportFailure(p_, e, beforeMessage);
    return false;
}

void DataRecordCalculator::emptyResults(qint64 id, std::optional<double> elapsed) {
    if (!emptyResults_) {
        QStringList sets;
        for (int i = 0; i < ReadColumnCount; ++i)
            if (ReadColumns[size_t(i)].kind == ReadKind::Result && readPos_[size_t(i)] >= 0)
                sets << quoteIdent(QLatin1String(ReadColumns[size_t(i)].name)) + " = NULL";
        for (int j = 0; j < 4; ++j)
            if (specFlux_[size_t(j)])
                sets << quoteIdent(QLatin1String(SpecFluxColumns[size_t(j)].name)) + " = NULL";
        if (updateElapsed_) sets << QStringLiteral("ElapsedTimeHrs = coalesce(?, ElapsedTimeHrs)");
        if (sets.isEmpty()) return;
        emptyResults_ = prepared(db_, "UPDATE Data SET " + sets.join(", ") + " WHERE ID = ?");
    }
    SqliteStatement& u = *emptyResults_;
    int i = 0;
    if (updateElapsed_) {
        if (elapsed)
            u.bind(i, *elapsed);
        else
            u.bindNull(i);
        ++i;
    }
    u.bind(i, id);
    u.step();
    u.reset();
}

QString FailureText(const RunError& e) {
    return "Calculation run caused an error #" + QString::number(e.number()) + " " + e.description();
}

namespace {
bool calculateDataRecord(Program& p, const QDateTime& when, qint32 id) {
    std::unique_ptr<SqliteConnection> db;
    std::unique_ptr<DataRecordCalculator> calc;
    try {
        db = std::make_unique<SqliteConnection>(p.ProjectDatabasePath);
        calc = std::make_unique<DataRecordCalculator>(p, *db);
    } catch (const DbFailure&) {
        throw;
    } catch (const RunError& e) {
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
    } catch (const DbFailure&) {
        throw;
    } catch (const RunError& e) {
        return calc->failWithoutRow(e);
    }
}
} // namespace

bool CalculateDataRecord(Program& p, const QDateTime& when, qint32 id) {
    try {
        return calculateDataRecord(p, when, id);
    } catch (const DbFailure& e) {
        // The database's own failure is shown even to a caller that ignores calculation errors.
        p.prompts.message("Calculation run caused an error #" + QString::number(e.number()) + " " +
                              e.description(),
                          Buttons::OK);
        return false;
    }
}

} // namespace hv
