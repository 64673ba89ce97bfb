#include "normalization/recalculate.h"

#include <QLocale>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/currentproject.h"
#include "core/dbversion.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "normalization/calculate.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

const QString CalcErrorPrompt = QStringLiteral(
    "A calculation error occurred. If this project has only good data sets and you believe "
    "all of the project information should be correct, then you should investigate why it is now failing. "
    "\r\n"
    "However, since it is possible to enter data for a project using the <Import from other program> "
    "function and "
    "bypass calculations, you may elect to bypass all the calculations even if an error occurs - eg no "
    "permeate flow."
    "\r\n\r\n\r\n"
    "Select OK to Continue Calculations and ignore errors, Select Cancel to quit the recalculation process.");

// The key a reading's ProjectID and TrainNumber match a project row by, as the column
// compares them: the text's bytes with ASCII letters folded (COLLATE NOCASE), and the
// train number. False when the row can match no project (not a text, not a whole number).
bool readingKey(const SqliteStatement& st, int idColumn, int trainColumn, std::string& key) {
    if (st.type(idColumn) != SqliteStatement::Type::Text) return false;
    qint64 train = 0;
    switch (st.type(trainColumn)) {
    case SqliteStatement::Type::Integer:
        train = st.int64(trainColumn);
        break;
    case SqliteStatement::Type::Float: {
        const double t = st.real(trainColumn);
        if (t != double(qint64(t))) return false;
        train = qint64(t);
        break;
    }
    default:
        return false;
    }
    int n = 0;
    const char* text = st.text(idColumn, &n);
    key.assign(reinterpret_cast<const char*>(&train), sizeof train);
    key.append(text, size_t(n));
    for (size_t i = sizeof train; i < key.size(); ++i)
        if (key[i] >= 'A' && key[i] <= 'Z') key[i] = char(key[i] - 'A' + 'a');
    return true;
}

std::string projectKey(const QByteArray& storedId, qint64 train) {
    std::string key(reinterpret_cast<const char*>(&train), sizeof train);
    key.append(storedId.constData(), size_t(storedId.size()));
    for (size_t i = sizeof train; i < key.size(); ++i)
        if (key[i] >= 'A' && key[i] <= 'Z') key[i] = char(key[i] - 'A' + 'a');
    return key;
}

// A stream of readings written back in batches: each batch one write transaction, which
// waits for another program's lock before it begins, and its read resumed after the last
// ID taken. Between batches no read stays open, so other
// connections can write. Whatever is left open is rolled back.
class ReadingStream {
public:
    explicit ReadingStream(SqliteConnection& db) : db_(db), tx_(db, std::defer_lock) {}
    virtual ~ReadingStream() = default;
    // The next reading, in a transaction; false at the end.
    bool next() {
        tx_.begin();
        return step(last_);
    }
    qint64 lastId() const { return last_; }
    // Everything done so far is stored for good.
    void flush() {
        stop();
        tx_.commit();
    }

protected:
    // Steps the reading statement on from the reading after `after`; records the ID.
    virtual bool step(qint64& after) = 0;
    // Ends the reading statement.
    virtual void stop() = 0;
    SqliteConnection& db_;

private:
    qint64 last_ = 0;
    SqliteTransaction tx_;
};

// Every reading of the table up to `maxId`, in table order.
class TableStream : public ReadingStream {
public:
    TableStream(SqliteConnection& db, const QString& select, qint64 maxId)
        : ReadingStream(db), rows_(db, select + "WHERE ID > ? AND ID <= ? ORDER BY ID"), maxId_(maxId) {}
    const SqliteStatement& row() const { return rows_; }

protected:
    bool step(qint64& after) override {
        if (!reading_) {
            rows_.bind(0, after);
            rows_.bind(1, maxId_);
            reading_ = true;
        }
        if (!rows_.step()) return false;
        after = rows_.int64(0);
        return true;
    }
    void stop() override {
        rows_.reset();
        reading_ = false;
    }

private:
    SqliteStatement rows_;
    qint64 maxId_;
    bool reading_ = false;
};

// The readings of the given IDs (ascending), read by their key a chunk at a time.
class IdStream : public ReadingStream {
public:
    static constexpr int Chunk = 256;
    IdStream(SqliteConnection& db, const QString& select, std::vector<qint64> ids)
        : ReadingStream(db), rows_(db, select + "WHERE ID IN (" + marks() + ") ORDER BY ID"),
          ids_(std::move(ids)) {}
    const SqliteStatement& row() const { return rows_; }

protected:
    bool step(qint64& after) override {
        for (;;) {
            if (!reading_) {
                pos_ = size_t(std::upper_bound(ids_.begin(), ids_.end(), after) - ids_.begin());
                if (pos_ >= ids_.size()) return false;
                end_ = std::min(ids_.size(), pos_ + Chunk);
                for (size_t k = 0; k < Chunk; ++k)
                    rows_.bind(int(k), ids_[std::min(pos_ + k, end_ - 1)]);
                reading_ = true;
            }
            if (rows_.step()) {
                after = rows_.int64(0);
                return true;
            }
            // A reading deleted meanwhile is passed over with its chunk.
            rows_.reset();
            reading_ = false;
            after = std::max(after, ids_[end_ - 1]);
        }
    }
    void stop() override {
        rows_.reset();
        reading_ = false;
    }

private:
    static QString marks() {
        QString m = QStringLiteral("?");
        for (int k = 1; k < Chunk; ++k)
            m += QStringLiteral(",?");
        return m;
    }
    SqliteStatement rows_;
    std::vector<qint64> ids_;
    size_t pos_ = 0, end_ = 0;
    bool reading_ = false;
};

// The project ID as stored: a text that is not valid UTF-8 cannot go through a QString
// and back, so the stored bytes of the project row it was read from are used.
QByteArray storedProjectId(SqliteConnection& db, const QString& projectId, qint16 train) {
    const QByteArray utf8 = projectId.toUtf8();
    if (!projectId.contains(QChar::ReplacementCharacter)) return utf8;
    SqliteStatement q(db, QStringLiteral("SELECT ProjectID FROM ProjectInfo WHERE TrainNumber = ?"));
    q.bind(0, qint64(train));
    while (q.step())
        if (QString::fromUtf8(q.bytes(0)) == projectId) return q.bytes(0);
    return utf8;
}

qint32 countReadings(SqliteConnection& db, const QByteArray& projectId, qint16 train, qint64 maxId) {
    SqliteStatement q(
        db, QStringLiteral("SELECT count(*) FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND ID <= ?"));
    q.bindText(0, projectId);
    q.bind(1, qint64(train));
    q.bind(2, maxId);
    return q.step() ? qint32(q.int64(0)) : 0;
}

QString progressText(qint64 done, qint64 total) {
    return "Updating Record " + QString::number(done) + " of " + QString::number(total);
}

// What a run stopped by a database failure leaves: the batches before the failure are
// stored, the rest still hold the values of the reference state before.
QString stoppedPartWay(qint64 done, qint64 total) {
    return "The recalculation stopped: only " + QString::number(done) + " of " + QString::number(total) +
           " readings were recalculated. Run the recalculation again.";
}

} // namespace

qint32 RecalculateProject(Program& p, const ProjectInfoRecord& record, const RecalcOptions& options) {
    StatusPanelsProgress panels(p.status);
    return RecalculateProject(p, record, panels, options);
}

qint32 RecalculateProject(Program& p, const ProjectInfoRecord& record, RunProgress& progress,
                          const RecalcOptions& options) {
    // The run normalizes against its own copy of the record: whatever the windows load
    // meanwhile, and whatever the normalization changes in the reference fields.
    ProjectInfoRecord reference = record;
    ReferenceSide side;
    PrepareReference(side, reference, p.ElementTable);
    LastNormalizedValues last;
    const bool quiet = p.IgnoreCalcErrors;
    const QString projectId = record.ProjectID;
    const qint16 train = record.TrainNumber;
    SqliteConnection db(p.ProjectDatabasePath, options.batches.busyTimeoutMs);
    // Only this train's readings, found by the project index, oldest first.
    std::vector<qint64> ids;
    {
        SqliteStatement q(db, QStringLiteral("SELECT ID FROM Data WHERE ProjectID = ? AND TrainNumber = ?"));
        q.bindText(0, storedProjectId(db, projectId, train));
        q.bind(1, qint64(train));
        while (q.step())
            ids.push_back(q.int64(0));
    }
    std::sort(ids.begin(), ids.end());
    const qint32 n = qint32(ids.size());
    if (n == 0) {
        progress.setStatus(1, QStringLiteral("No data records to update!"));
        return 0;
    }
    DataRecordCalculator calc(p, db);
    BatchClock batch(options.batches);
    qint32 i = 0;
    qint32 normalized = 0; // readings whose calculated columns were stored
    qint32 committed = 0;  // readings gone through in the batches stored for good
    try {
        IdStream stream(db, calc.selectFromData(), std::move(ids));
        const auto flush = [&] {
            stream.flush();
            committed = i;
        };
        calc.beforeMessage = flush;
        struct Unhook {
            DataRecordCalculator& c;
            ~Unhook() { c.beforeMessage = nullptr; }
        } unhook{calc};
        while (stream.next()) {
            // Newest-first order left the oldest reading's values: the last one counts.
            last = {};
            const bool ok = calc.calculate(stream.row(), reference, side, &last);
            if (ok) ++normalized;
            if (last.from[0] >= 0) p.LastNormalizedPermFlow = last.value[0];
            if (last.from[1] >= 0) p.LastNormalizedSaltPassage = last.value[1];
            if (last.from[2] >= 0) p.LastNormalizedDP = last.value[2];
            if (!ok && !p.IgnoreCalcErrors) {
                flush();
                progress.setStatus(1, progressText(i, n));
                const Answer a = p.prompts.message(CalcErrorPrompt, Buttons::OKCancel);
                if (a == Answer::OK) {
                    p.IgnoreCalcErrors = true;
                } else {
                    p.prompts.message("Update may not be complete. Updated " + QString::number(normalized) +
                                          " records out of a total " + QString::number(n),
                                      Buttons::OK);
                    return i;
                }
            }
            ++i;
            if (batch.tick()) {
                flush();
                progress.setStatus(1, progressText(i, n));
            }
        }
        flush();
    } catch (const DbFailure& e) {
        throw DbFailure(e.number(), e.description() + ". " + stoppedPartWay(committed, n));
    }
    const QString done = projectId.trimmed() + ": Updated " + QString::number(normalized) +
                         " records out of a total " + QString::number(n) +
                         FailedText(calc.failures, calc.lastFailureFirst);
    progress.setStatus(1, done);
    // Readings left without results are said once the run is over, not only on the panel,
    // unless the run began with calculation errors to be ignored.
    if (calc.failures > 0 && !quiet) p.prompts.message(done, Buttons::OK);
    return 0;
}

bool RecalculateProject(Program& p, const QString& projectId, qint16 train) {
    std::optional<ProjectInfoRecord> record;
    try {
        Database db = Database::open(p.ProjectDatabasePath);
        record = ReadProjectRecord(db, projectId, train);
    } catch (const RunError& e) {
        p.prompts.message("Error #" + QString::number(e.number()) + " " + e.description(), Buttons::OK);
        return false;
    }
    if (!record) {
        p.status.setText(1, GetMlString(1098, "NOT FOUND! ") + projectId);
        return false;
    }
    return RecalculateProject(p, *record) == 0;
}

QString FailedText(qint64 failed, const QString& firstCause) {
    if (failed <= 0) return {};
    return "; " + QString::number(failed) + (failed == 1 ? " reading" : " readings") +
           " could not be calculated (the first: " + firstCause + ") and keep no results";
}

namespace {

// One project row of the whole-database run: its reference state, loaded once, and what
// the run did with its train's readings.
struct ProjectTrain {
    QString projectId;
    QByteArray storedId;
    qint16 train = 0;
    std::string key;
    ProjectInfoRecord reference;
    ReferenceSide side;
    qint64 done = 0;       // readings of the train gone through (row that holds the train's key)
    qint64 normalized = 0; // of them, the readings whose calculated columns were stored
    LastNormalizedValues last;
};

} // namespace

RecalcSummary RecalculateAllProjectsCounted(Program& p, RunProgress& progress, const RecalcOptions& options) {
    // Each project row's record is the run's own: CurrentProject stays the windows'.
    RecalcSummary sum;
    qint64 total = 0;
    bool stopped = false;

    auto menus = [&](bool enabled) {
        if (p.SetMenusEnabled) p.SetMenusEnabled(enabled);
    };
    auto summary = [&] {
        return "Updated " + QString::number(sum.projects) +
               (sum.projects == 1 ? " project with total " : " projects with total ") +
               QString::number(total) + " records" + FailedText(sum.failed, sum.firstFailure) + ".";
    };
    auto finish = [&](bool writeVersion, const QString& failure) {
        menus(true);
        progress.setBusy(false);
        if (writeVersion) WriteDbVersion(p);
        p.RecalcAllRunning = false;
        progress.setStatus(1, !failure.isEmpty() ? failure : summary());
        progress.setStatus(2, QLocale().toString(p.system.now().date(), QLocale::ShortFormat));
    };

    // How far the pass over the readings got, and the readings recalculated and stored, for a
    // run that a database failure stops.
    qint64 maxId = 0, readings = 0, visited = 0, committed = 0;
    bool counted = false;
    try {
        SqliteConnection db(p.ProjectDatabasePath, options.batches.busyTimeoutMs);
        p.RecalcAllRunning = true;
        menus(false);
        progress.setBusy(true);
        p.IgnoreCalcErrors = false;
        {
            SqliteStatement q(db, QStringLiteral("SELECT max(ID) FROM Data"));
            if (q.step()) maxId = q.int64(0);
            SqliteStatement c(db, QStringLiteral("SELECT count(*) FROM Data"));
            if (c.step()) readings = c.int64(0);
            counted = true;
        }

        // Every project row's reference state, loaded once, in the order the projects
        // have always been run; a later row of the same project train is the one its
        // readings end with. A row that cannot be loaded ends the run after the rows
        // before it, as it always did.
        std::vector<ProjectTrain> projects;
        std::optional<DbError> loadFailure;
        {
            SqliteStatement q(db, QStringLiteral("SELECT * FROM ProjectInfo ORDER BY ProjectID ASC, ID ASC"));
            int idColumn = -1;
            for (int i = 0; i < q.columnCount(); ++i)
                if (q.columnName(i).compare(QLatin1String("ProjectID"), Qt::CaseInsensitive) == 0)
                    idColumn = i;
            std::vector<std::pair<DbRow, QByteArray>> rows;
            while (q.step())
                rows.emplace_back(q.row(), idColumn >= 0 ? q.bytes(idColumn) : QByteArray());
            for (const auto& [row, storedId] : rows) {
                ProjectInfoRecord cp;
                try {
                    LoadProjectRecord(cp, row);
                } catch (const DbFailure&) {
                    throw;
                } catch (const DbError& e) {
                    loadFailure = e;
                    break;
                }
                // A two-bank project without a bank-1 back pressure takes the system's, for good.
                if (cp.NumBanks == 2 && cp.PermBackPress > 0 && cp.PermBackPress_1 == 0) {
                    cp.PermBackPress_1 = cp.PermBackPress;
                    SqliteStatement u(
                        db, QStringLiteral("UPDATE ProjectInfo SET PermBackPress_1 = ? WHERE ID = ?"));
                    u.bind(0, cp.PermBackPress);
                    u.bind(1, row.value(QStringLiteral("ID")));
                    u.step();
                }
                ProjectTrain t;
                t.projectId = cp.ProjectID;
                t.storedId = storedId;
                t.train = cp.TrainNumber;
                t.key = projectKey(storedId, cp.TrainNumber);
                t.reference = cp;
                PrepareReference(t.side, cp, p.ElementTable);
                projects.push_back(std::move(t));
            }
        }
        std::unordered_map<std::string, size_t> byKey;
        for (size_t k = 0; k < projects.size(); ++k)
            byKey[projects[k].key] = k;
        sum.projects = int(projects.size());

        std::unique_ptr<DataRecordCalculator> calc;

        // One pass over the table: every page is read, journaled and written once,
        // however the projects' readings lie among each other.
        const int projectCount = int(projects.size());
        int met = 0;
        std::vector<bool> seen(projects.size(), false);
        auto showProgress = [&] {
            progress.setStatus(1, progressText(visited, readings));
            progress.setStatus(2,
                               "Project # " + QString::number(met) + " of " + QString::number(projectCount));
        };
        if (!projects.empty() && maxId > 0) {
            calc = std::make_unique<DataRecordCalculator>(p, db);
            BatchClock batch(options.batches);
            TableStream stream(db, calc->selectFromData(), maxId);
            const auto flush = [&] {
                stream.flush();
                committed = sum.readings;
            };
            calc->beforeMessage = flush;
            const SqliteStatement& st = stream.row();
            std::string key, lastKey;
            size_t lastIndex = 0;
            bool lastFound = false;
            while (stream.next()) {
                ++visited;
                bool found = false;
                size_t index = 0;
                if (readingKey(st, 2, 3, key)) {
                    if (lastFound && key == lastKey) {
                        found = true;
                        index = lastIndex;
                    } else if (const auto it = byKey.find(key); it != byKey.end()) {
                        found = true;
                        index = it->second;
                    }
                    lastKey = key;
                    lastFound = found;
                    lastIndex = index;
                }
                // A reading of a project train without a project row is left as it is.
                if (found) {
                    ProjectTrain& t = projects[index];
                    if (!seen[index]) {
                        seen[index] = true;
                        ++met;
                    }
                    const bool ok = calc->calculate(stream.row(), t.reference, t.side, &t.last);
                    ++sum.readings;
                    if (ok) ++t.normalized;
                    if (!ok && !p.IgnoreCalcErrors) {
                        flush();
                        showProgress();
                        const Answer a = p.prompts.message(CalcErrorPrompt, Buttons::OKCancel);
                        if (a == Answer::OK) {
                            p.IgnoreCalcErrors = true;
                        } else {
                            const qint32 n = countReadings(db, t.storedId, t.train, maxId);
                            if (t.done < n)
                                p.prompts.message("Calc Err. Updated only " + QString::number(t.normalized) +
                                                      " records out of a total " + QString::number(n),
                                                  Buttons::OK);
                            stopped = true;
                            break;
                        }
                    }
                    ++t.done;
                }
                if (batch.tick()) {
                    flush();
                    showProgress();
                    if (progress.yieldAndCheckCancel()) {
                        stopped = true;
                        break;
                    }
                }
            }
            calc->beforeMessage = nullptr;
            flush();
        }

        // The values the project-by-project order left: each project row in turn, its
        // train's readings newest first, so the oldest reading of the last one counts.
        for (const ProjectTrain& t : projects) {
            const LastNormalizedValues& last = projects[byKey[t.key]].last;
            if (last.from[0] >= 0) p.LastNormalizedPermFlow = last.value[0];
            if (last.from[1] >= 0) p.LastNormalizedSaltPassage = last.value[1];
            if (last.from[2] >= 0) p.LastNormalizedDP = last.value[2];
        }
        if (loadFailure) throw *loadFailure;
        if (!stopped) {
            for (const ProjectTrain& t : projects) {
                const ProjectTrain& run = projects[byKey[t.key]];
                if (run.done <= 0) continue;
                progress.setStatus(
                    1, "Updated " + t.projectId.left(20) + "Train: " + QString::number(t.train) + " " +
                           QString::number(run.normalized) + " of " + QString::number(run.done));
                total += run.normalized;
            }
        } else {
            // What a stopped run did: the project rows it reached and the readings stored.
            sum.projects = met;
            total = 0;
            for (const ProjectTrain& t : projects)
                total += t.normalized;
        }
        sum.normalized = total;
        sum.stopped = stopped;
        if (calc) {
            sum.failed = calc->failures;
            sum.firstFailure = calc->lastFailureFirst;
        }
        finish(!stopped, {});
        // Readings left without results are said once the run is over, not only on the panel.
        if (!stopped && sum.failed > 0) p.prompts.message(summary(), Buttons::OK);
    } catch (const RunError& e) {
        QString text = "Error #" + QString::number(e.number()) + " " + e.description();
        if (counted && dynamic_cast<const DbFailure*>(&e)) text += ". " + stoppedPartWay(committed, readings);
        p.prompts.message(text, Buttons::OK);
        sum.stopped = true;
        // What the rolled-back batch went through counts for nothing.
        sum.readings = committed;
        finish(false, text);
    }
    return sum;
}

void RecalculateAllProjects(Program& p, RunProgress& progress, const RecalcOptions& options) {
    RecalculateAllProjectsCounted(p, progress, options);
}

} // namespace hv
