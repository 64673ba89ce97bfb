#include "normalization/recalculate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <deque>
#include <limits>
#include <memory>

#include "core/currentproject.h"
#include "core/dbversion.h"
#include "core/program.h"
#include "normalization/calculate.h"
#include "normalization/sqliterows.h"

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

// The readings of one project train, one after the other, each normalized and stored.
class ReadingRun {
public:
    virtual ~ReadingRun() = default;
    virtual bool next() = 0;
    virtual bool calculate() = 0;
    // Everything done so far is stored for good.
    virtual void flush() {}
};

// One connection for the run: each reading is read by its ID and its results written by
// prepared statements, a transaction per batch. The IDs, in the order of the run, are
// put first into a scratch table of the connection's own temporary database, so that
// between batches no read of the project database stays open and the other windows can
// write to it while the run lets them have their turn.
class StreamingRun : public ReadingRun {
public:
    StreamingRun(SqliteConnection& db, DataRecordCalculator& calc, const QString& projectId, qint16 train,
                 bool newestFirst)
        : db_(db), calc_(calc) {
        db_.exec(QStringLiteral("DROP TABLE IF EXISTS temp.RecalcOrder"));
        db_.exec(
            QStringLiteral("CREATE TEMP TABLE RecalcOrder (Seq INTEGER PRIMARY KEY, ReadingID INTEGER)"));
        {
            SqliteStatement fill(
                db_, QStringLiteral("INSERT INTO temp.RecalcOrder (ReadingID) SELECT ID FROM Data "
                                    "WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID ") +
                         (newestFirst ? "DESC" : "ASC"));
            fill.bind(0, projectId);
            fill.bind(1, qint64(train));
            fill.step();
        }
        ids_ = std::make_unique<SqliteStatement>(
            db_, QStringLiteral("SELECT Seq, ReadingID FROM temp.RecalcOrder WHERE Seq > ? ORDER BY Seq"));
        calc_.beforeMessage = [this] { flush(); };
    }
    ~StreamingRun() override {
        calc_.beforeMessage = nullptr;
        ids_.reset();
        if (open_) db_.rollback();
        try {
            db_.exec(QStringLiteral("DROP TABLE IF EXISTS temp.RecalcOrder"));
        } catch (const DbError&) {
        }
    }
    bool next() override {
        if (!reading_) {
            ids_->bind(0, last_);
            reading_ = true;
        }
        if (!ids_->step()) return false;
        last_ = ids_->int64(0);
        return true;
    }
    bool calculate() override {
        if (!open_) {
            db_.begin();
            open_ = true;
        }
        return calc_.calculateById(ids_->int64(1));
    }
    // A statement still reading would keep the database locked after the commit.
    void flush() override {
        ids_->reset();
        reading_ = false;
        if (!open_) return;
        db_.commit();
        open_ = false;
    }

private:
    SqliteConnection& db_;
    DataRecordCalculator& calc_;
    std::unique_ptr<SqliteStatement> ids_;
    qint64 last_ = 0; // Seq of the last reading taken
    bool reading_ = false;
    bool open_ = false;
};

// Each reading through CalculateDataRecord, as a reading saved by data collection is.
// The IDs come in pages so that no read stays open while the reading is written.
class ConnectionPerReadingRun : public ReadingRun {
public:
    ConnectionPerReadingRun(Program& p, SqliteConnection& db, const QString& projectId, qint16 train,
                            bool newestFirst)
        : p_(p), db_(db), projectId_(projectId), train_(train), newestFirst_(newestFirst),
          last_(newestFirst ? std::numeric_limits<qint64>::max() : 0) {}
    bool next() override {
        if (ids_.empty() && !exhausted_) fetch();
        if (ids_.empty()) return false;
        current_ = ids_.front();
        ids_.pop_front();
        return true;
    }
    bool calculate() override { return CalculateDataRecord(p_, p_.system.now(), qint32(current_)); }

private:
    void fetch() {
        const QString sql =
            newestFirst_
                ? QStringLiteral("SELECT ID FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND ID < ? "
                                 "ORDER BY ID DESC LIMIT 1000")
                : QStringLiteral("SELECT ID FROM Data WHERE ProjectID = ? AND TrainNumber = ? AND ID > ? "
                                 "ORDER BY ID ASC LIMIT 1000");
        SqliteStatement q(db_, sql);
        q.bind(0, projectId_);
        q.bind(1, qint64(train_));
        q.bind(2, last_);
        int rows = 0;
        while (q.step()) {
            ids_.push_back(q.int64(0));
            ++rows;
        }
        if (!ids_.empty()) last_ = ids_.back();
        exhausted_ = rows < 1000;
    }

    Program& p_;
    SqliteConnection& db_;
    QString projectId_;
    qint16 train_;
    bool newestFirst_;
    qint64 last_;
    std::deque<qint64> ids_;
    qint64 current_ = 0;
    bool exhausted_ = false;
};

std::unique_ptr<ReadingRun> makeRun(Program& p, SqliteConnection& db, DataRecordCalculator* calc,
                                    const QString& projectId, qint16 train, bool newestFirst,
                                    const RecalcOptions& options) {
    if (options.connectionPerReading)
        return std::make_unique<ConnectionPerReadingRun>(p, db, projectId, train, newestFirst);
    return std::make_unique<StreamingRun>(db, *calc, projectId, train, newestFirst);
}

qint32 countReadings(SqliteConnection& db, const QString& projectId, qint16 train) {
    SqliteStatement q(db,
                      QStringLiteral("SELECT count(*) FROM Data WHERE ProjectID = ? AND TrainNumber = ?"));
    q.bind(0, projectId);
    q.bind(1, qint64(train));
    return q.step() ? qint32(q.int64(0)) : 0;
}

// Where the batches end: after a number of readings or, on a slow machine, sooner.
class BatchClock {
public:
    explicit BatchClock(const RecalcOptions& o)
        : size_(o.batchSize > 0 ? o.batchSize : 1), millis_(o.batchMillis) {
        timer_.start();
    }
    // Counts one reading; true when the batch ends with it.
    bool tick() {
        if (++count_ < size_ && (millis_ <= 0 || timer_.elapsed() < millis_)) return false;
        restart();
        return true;
    }
    bool pending() const { return count_ > 0; }
    void restart() {
        count_ = 0;
        timer_.restart();
    }

private:
    int size_;
    int millis_;
    int count_ = 0;
    QElapsedTimer timer_;
};

QString progressText(qint64 done, qint64 total) {
    return "Updating Record " + QString::number(done) + " of " + QString::number(total);
}

} // namespace

qint32 RecalculateProject(Program& p, const ProjectInfoRecord& record, const RecalcOptions& options) {
    const QString projectId = record.ProjectID;
    const qint16 train = record.TrainNumber;
    SqliteConnection db(p.ProjectDatabasePath);
    const qint32 n = countReadings(db, projectId, train);
    if (n == 0) {
        p.status.setText(1, QStringLiteral("No data records to update!"));
        return 0;
    }
    std::unique_ptr<DataRecordCalculator> calc;
    if (!options.connectionPerReading) calc = std::make_unique<DataRecordCalculator>(p, db);
    BatchClock batch(options);
    qint32 i = 0;
    {
        std::unique_ptr<ReadingRun> run = makeRun(p, db, calc.get(), projectId, train, false, options);
        while (run->next()) {
            if (!run->calculate() && !p.IgnoreCalcErrors) {
                run->flush();
                p.status.setText(1, progressText(i, n));
                if (p.prompts.message(CalcErrorPrompt, Buttons::OKCancel) == Answer::OK) {
                    p.IgnoreCalcErrors = true;
                } else {
                    p.prompts.message("Update may not be complete. Updated " + QString::number(i) +
                                          " records out of a total " + QString::number(n),
                                      Buttons::OK);
                    return i;
                }
            }
            ++i;
            if (batch.tick()) {
                run->flush();
                p.status.setText(1, progressText(i, n));
            }
        }
        run->flush();
    }
    p.status.setText(1, projectId.trimmed() + ": Updated " + QString::number(i) + " records out of a total " +
                            QString::number(n));
    return 0;
}

bool RecalculateProject(Program& p, const QString& projectId, qint16 train) {
    ProjectInfoRecord record = p.CurrentProject;
    record.ProjectID = projectId;
    record.TrainNumber = train;
    return RecalculateProject(p, record) == 0;
}

RecalcSummary RecalculateAllProjectsCounted(Program& p, const RecalcOptions& options) {
    const ProjectInfoRecord saved = p.CurrentProject;
    BatchClock batch(options);
    RecalcSummary sum;
    qint64 total = 0; // readings of the projects done to the end
    bool stopped = false;
    p.CancelRecalc = false;

    auto menus = [&](bool enabled) {
        if (p.SetMenusEnabled) p.SetMenusEnabled(enabled);
    };
    auto finish = [&](bool writeVersion) {
        menus(true);
        p.status.setBusy(false);
        if (writeVersion) WriteDbVersion(p);
        p.RecalcAllRunning = false;
        p.status.setText(1, "Updated " + QString::number(sum.projects) +
                                (sum.projects == 1 ? " project with total " : " projects with total ") +
                                QString::number(total) + " records.");
        p.status.setText(2, QLocale().toString(p.system.now().date(), QLocale::ShortFormat));
        p.CurrentProject = saved;
        p.CancelRecalc = false;
    };

    // Between batches the window system gets a turn, and with it the user's Cancel.
    auto yieldAndCheckCancel = [&] {
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
        return p.CancelRecalc;
    };

    try {
        {
            SqliteConnection db(p.ProjectDatabasePath);
            menus(false);
            p.status.setBusy(true);
            p.IgnoreCalcErrors = false;
            // The project rows are few; the readings stream.
            std::vector<DbRow> projects;
            {
                SqliteStatement q(db,
                                  QStringLiteral("SELECT * FROM ProjectInfo ORDER BY ProjectID ASC, ID ASC"));
                while (q.step())
                    projects.push_back(q.row());
            }
            std::unique_ptr<DataRecordCalculator> calc;
            if (!projects.empty()) {
                p.RecalcAllRunning = true;
                if (!options.connectionPerReading) calc = std::make_unique<DataRecordCalculator>(p, db);
            }
            const int projectCount = int(projects.size());
            for (const DbRow& row : projects) {
                LoadProjectSettings(p, row);
                ProjectInfoRecord& cp = p.CurrentProject;
                // A two-bank project without a bank-1 back pressure takes the system's, for good.
                if (cp.NumBanks == 2 && cp.PermBackPress > 0 && cp.PermBackPress_1 == 0) {
                    cp.PermBackPress_1 = cp.PermBackPress;
                    SqliteStatement u(
                        db, QStringLiteral("UPDATE ProjectInfo SET PermBackPress_1 = ? WHERE ID = ?"));
                    u.bind(0, cp.PermBackPress);
                    u.bind(1, row.value(QStringLiteral("ID")));
                    u.step();
                }
                const QString projectId = cp.ProjectID;
                const qint16 train = cp.TrainNumber;
                ++sum.projects;
                const qint32 n = countReadings(db, projectId, train);
                if (n <= 0) continue;
                const QString panel1 =
                    projectId.trimmed() + " Train: " + QString::number(train) + ", Record ";
                const QString panel2 =
                    "Project # " + QString::number(sum.projects) + " of " + QString::number(projectCount);
                auto showProgress = [&](qint32 r) {
                    p.status.setText(1, panel1 + QString::number(r) + " of " + QString::number(n));
                    p.status.setText(2, panel2);
                };
                qint32 r = 0;
                {
                    std::unique_ptr<ReadingRun> run =
                        makeRun(p, db, calc.get(), projectId, train, true, options);
                    while (run->next()) {
                        const bool ok = run->calculate();
                        ++sum.readings;
                        if (!ok && !p.IgnoreCalcErrors) {
                            run->flush();
                            showProgress(r);
                            if (p.prompts.message(CalcErrorPrompt, Buttons::OKCancel) == Answer::OK) {
                                p.IgnoreCalcErrors = true;
                            } else {
                                if (r < n)
                                    p.prompts.message("Calc Err. Updated only " + QString::number(r) +
                                                          " records out of a total " + QString::number(n),
                                                      Buttons::OK);
                                stopped = true;
                                break;
                            }
                        }
                        ++r;
                        if (batch.tick()) {
                            run->flush();
                            showProgress(r);
                            if (yieldAndCheckCancel()) {
                                stopped = true;
                                break;
                            }
                        }
                    }
                    run->flush();
                }
                if (stopped) break;
                showProgress(r);
                p.status.setText(1, "Updated " + projectId.left(20) + "Train: " + QString::number(train) +
                                        " " + QString::number(r) + " of " + QString::number(n));
                total += n;
                if (batch.pending()) {
                    batch.restart();
                    if (yieldAndCheckCancel()) {
                        stopped = true;
                        break;
                    }
                }
            }
        }
        sum.stopped = stopped;
        finish(!stopped);
    } catch (const DbError& e) {
        p.prompts.message("Error #" + QString::number(e.number()) + " " + e.description(), Buttons::OK);
        sum.stopped = true;
        finish(false);
    }
    return sum;
}

void RecalculateAllProjects(Program& p, const RecalcOptions& options) {
    RecalculateAllProjectsCounted(p, options);
}

} // namespace hv
