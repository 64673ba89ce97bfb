#include <QProcess>
#include <QtTest>
#include <bit>
#include <csignal>
#include <future>
#include <thread>

#include "core/currentproject.h"
#include "core/program.h"
#include "normalization/calculate.h"
#include "normalization/recalculate.h"
#include "platform/database.h"
#include "support/files.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"

using namespace hv;

namespace {

const QString CalcErrorPrompt = "A calculation error occurred.";

std::vector<ElementSpecRecord> elementTable() {
    std::vector<ElementSpecRecord> t;
    for (int i = 0; i < 4; ++i)
        t.push_back(test::element(i + 1, {0.010, 0.009, 0.030, 0.028, 1.45, 0.05}));
    return t;
}

QString dateOf(int i) {
    return QString("2020-02-%1 06:00:00").arg(i + 1, 2, 10, QChar('0'));
}

struct Db {
    Db() {
        path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        p().ProjectDatabasePath = path;
        p().ElementTable = elementTable();
        p().SetMenusEnabled = [this](bool on) { menus << on; };
    }
    Program& p() { return env.prog(); }
    // The whole-database run as the main window starts it: on its status panels, with the
    // event loop's turn between batches and CancelRecalc.
    RecalcSummary recalculateAll(const RecalcOptions& o = {}) {
        StatusPanelsProgress progress(p().status, &p().CancelRecalc);
        return RecalculateAllProjectsCounted(p(), progress, o);
    }
    void project(const QString& id, int banks, const QVariantMap& more = {}) {
        QVariantMap o = more;
        o["ProjectID"] = id;
        test::insertProjectInfo(path, banks, o);
    }
    // Readings 0 to n-1 of a project, oldest first; `failing` ones cannot be calculated.
    QList<qint64> readings(const QString& id, int banks, int n, const QList<int>& failing = {},
                           int train = 1) {
        QList<qint64> ids;
        for (int i = 0; i < n; ++i) {
            QVariantMap o{{"ProjectID", id}, {"TrainNumber", train}, {"TheDate", dateOf(i)}};
            if (failing.contains(i)) o["ConcFlow"] = 0.0;
            ids << test::insertReading(path, banks, o);
        }
        return ids;
    }
    void loadCurrent(const QString& id) {
        Database d = Database::open(path);
        LoadProjectSettings(p(), d.select("SELECT * FROM ProjectInfo WHERE ProjectID = ?", {id}).first());
    }
    double value(qint64 id, const QString& column) {
        Database d = Database::open(path);
        return d.select("SELECT * FROM Data WHERE ID = ?", {id}).first().toDouble(column);
    }
    // Normalized: a result stored; a reading that failed keeps none (Null).
    bool done(qint64 id) {
        Database d = Database::open(path);
        const QVariant v =
            d.select("SELECT NormalizedPermFlow FROM Data WHERE ID = ?", {id}).first().value(0);
        return !conv::isNull(v) && v.toDouble() != 0;
    }
    int versionRows() {
        Database d = Database::open(path);
        return d.scalar("SELECT count(*) FROM Version").toInt();
    }
    QString lastVersion() {
        Database d = Database::open(path);
        return d.scalar("SELECT Version FROM Version ORDER BY ID DESC LIMIT 1").toString();
    }
    // Recalculates every project, where the one project holds `ids`, and says what went
    // otherwise than normalizing them all without a question; empty when nothing did.
    QString recalculateAllOfOneProject(const QList<qint64>& ids) {
        recalculateAll();
        if (!env.prompts.shown().isEmpty()) return "asked " + env.prompts.shown().join(" | ");
        for (qint64 id : ids)
            if (!done(id)) return QString("reading %1 not normalized").arg(id);
        const QString updated = QString("Updated 1 project with total %1 records.").arg(ids.size());
        return p().status.text(1) == updated ? QString() : "status " + p().status.text(1);
    }
    // The run's end as it must always be.
    QString endState() {
        if (menus.isEmpty() || menus.first() || !menus.last()) return "menus not disabled and enabled again";
        if (p().status.busy()) return "hourglass left";
        if (p().RecalcAllRunning) return "RecalcAllRunning left True";
        if (p().CancelRecalc) return "CancelRecalc left True";
        return {};
    }
    test::TestEnv env;
    QString path;
    QList<bool> menus;
};

// A row's values as stored, doubles by their bits.
QStringList bitsOf(const DbRow& row) {
    QStringList out;
    for (const QVariant& v : row.values()) {
        if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            out << QString::number(std::bit_cast<quint64>(d), 16);
        } else {
            out << v.toString();
        }
    }
    return out;
}

RecalcOptions smallBatches(int size) {
    RecalcOptions o;
    o.batches.rows = size;
    o.batches.millis = 0;
    return o;
}

} // namespace

class TestRecalculate : public QObject {
    Q_OBJECT
private slots:
    void projectWithoutReadings() {
        Db t;
        t.project("P1", 1);
        t.loadCurrent("P1");
        QCOMPARE(RecalculateProject(t.p(), t.p().CurrentProject), 0);
        QCOMPARE(t.p().status.text(1), QString("No data records to update!"));
    }

    void projectOldestFirstStoppedAtTheFifth_data() {
        QTest::addColumn<int>("batch");
        QTest::newRow("one batch") << 100;
        QTest::newRow("batches of 3") << 3;
    }
    void projectOldestFirstStoppedAtTheFifth() {
        QFETCH(int, batch);
        Db t;
        t.project("P1", 2);
        t.loadCurrent("P1");
        const QList<qint64> ids = t.readings("P1", 2, 10, {4});
        t.env.prompts
            .onMessage("Calculation run caused an error #11 Division by zero", Buttons::OK, "Hevrin",
                       Answer::OK)
            .onMessage(CalcErrorPrompt, Buttons::OKCancel, "Hevrin", Answer::Cancel)
            .onMessage("Update may not be complete. Updated 4 records out of a total 10", Buttons::OK,
                       "Hevrin", Answer::OK);
        // The run normalizes against its own copy of the record: the windows' is not touched.
        const ProjectInfoRecord before = t.p().CurrentProject;
        QCOMPARE(RecalculateProject(t.p(), t.p().CurrentProject, smallBatches(batch)), 4);
        QCOMPARE(t.p().CurrentProject.FeedFlow, before.FeedFlow);
        QCOMPARE(t.p().CurrentProject.DeltaPress, before.DeltaPress);
        QCOMPARE(t.env.prompts.verify(), QString());
        for (int i = 0; i < 10; ++i)
            QCOMPARE(t.done(ids[i]), i < 4);
        QCOMPARE(t.p().status.text(1), QString("Updating Record 4 of 10"));
        QVERIFY(!t.p().IgnoreCalcErrors);
    }

    void projectContinuesPastErrors() {
        Db t;
        t.project(" P1 ", 1);
        t.loadCurrent(" P1 ");
        const QList<qint64> ids = t.readings(" P1 ", 1, 10, {2, 6});
        t.env.prompts.onMessage("Calculation run caused an error", Buttons::OK, "Hevrin", Answer::OK)
            .onMessage(CalcErrorPrompt, Buttons::OKCancel, "Hevrin", Answer::OK)
            .onMessage("2 readings could not be calculated", Buttons::OK, "Hevrin", Answer::OK);
        QCOMPARE(RecalculateProject(t.p(), t.p().CurrentProject, smallBatches(4)), 0);
        QCOMPARE(t.env.prompts.verify(), QString());
        // Only the readings whose results were stored count as updated.
        QCOMPARE(t.p().status.text(1),
                 QString("P1: Updated 8 records out of a total 10; 2 readings could not be calculated (the "
                         "first: Calculation run caused an error #11 Division by zero) and keep no results"));
        for (int i = 0; i < 10; ++i)
            QCOMPARE(t.done(ids[i]), i != 2 && i != 6);
        // A reading passed over still gets its elapsed hours.
        QCOMPARE(t.value(ids[6], "ElapsedTimeHrs"), 24.0 * 37 + 6);
        // The choice holds for later project runs of the same program run: nothing is asked
        // or said again, and the panel still counts what failed.
        QVERIFY(t.p().IgnoreCalcErrors);
        QCOMPARE(RecalculateProject(t.p(), " P1 ", 1), true);
        QCOMPARE(t.env.prompts.shown().size(), 3);
        QVERIFY(t.p().status.text(1).contains("2 readings could not be calculated"));
    }

    void projectRunRaisesDatabaseFailures() {
        Db t;
        t.p().ProjectDatabasePath = t.env.path("missing.mdb");
        QVERIFY_THROWS_EXCEPTION(DbError, RecalculateProject(t.p(), t.p().CurrentProject));
    }

    void databaseWithoutProjects() {
        Db t;
        const int before = t.versionRows();
        t.p().IgnoreCalcErrors = true;
        t.recalculateAll();
        QCOMPARE(t.versionRows(), before + 1);
        QCOMPARE(t.lastVersion(), QString("1.3.38"));
        QVERIFY(!t.p().IgnoreCalcErrors);
        QCOMPARE(t.p().status.text(1), QString("Updated 0 projects with total 0 records."));
        QCOMPARE(t.endState(), QString());
        QVERIFY(!t.p().DbIsOlder);
    }

    void everyProjectAgainstItsOwnReference() {
        Db t;
        t.project("Alpha", 1);
        t.project("A project with a long name", 3, {{"TrainNumber", 2}});
        const QList<qint64> a = t.readings("Alpha", 1, 3);
        const QList<qint64> b = t.readings("A project with a long name", 3, 2, {}, 2);
        // The caller's current project, as the main window holds it.
        t.p().CurrentProject.ProjectID = "Alpha";
        t.p().CurrentProject.FeedFlow = 1.5;
        QStringList panel1, panel2;
        connect(&t.p().status, &StatusPanels::changed,
                [&](int panel, const QString& text) { (panel == 1 ? panel1 : panel2) << text; });
        const int before = t.versionRows();
        t.recalculateAll();
        QCOMPARE(t.env.prompts.verify(), QString());
        for (qint64 id : a + b)
            QVERIFY(t.done(id));
        // Each reading at its own project's reference state.
        for (qint64 id : a + b)
            QVERIFY(qAbs(t.value(id, "NormalizedPermFlow") - t.value(id, "PermFlow")) < 1e-9);
        QCOMPARE(t.versionRows(), before + 1);
        QVERIFY(panel1.contains("Updated A project with a lonTrain: 2 2 of 2"));
        QVERIFY(panel1.contains("Updated AlphaTrain: 1 3 of 3"));
        QCOMPARE(panel1.last(), QString("Updated 2 projects with total 5 records."));
        QCOMPARE(panel2.last(), QLocale().toString(t.env.system.clock.date(), QLocale::ShortFormat));
        QCOMPARE(t.endState(), QString());
        QCOMPARE(t.p().CurrentProject.ProjectID, QString("Alpha"));
        QCOMPARE(t.p().CurrentProject.FeedFlow, 1.5);
    }

    void oneProjectSingular() {
        Db t;
        t.project("P1", 2);
        t.readings("P1", 2, 3);
        t.recalculateAll();
        QCOMPARE(t.p().status.text(1), QString("Updated 1 project with total 3 records."));
    }

    void cancelAtAnErrorWritesNoVersion() {
        Db t;
        t.project("P1", 1);
        t.project("P2", 1);
        // Table order: the two readings before the failing one are stored.
        const QList<qint64> ids = t.readings("P1", 1, 3, {2});
        const QList<qint64> other = t.readings("P2", 1, 2);
        t.p().CurrentProject.ProjectID = "P2";
        t.p().IgnoreCalcErrors = true; // a whole-database run asks afresh
        t.env.prompts.onMessage("Calculation run caused an error #11", Buttons::OK, "Hevrin", Answer::OK)
            .onMessage(CalcErrorPrompt, Buttons::OKCancel, "Hevrin", Answer::Cancel)
            .onMessage("Calc Err. Updated only 2 records out of a total 3", Buttons::OK, "Hevrin",
                       Answer::OK);
        const int before = t.versionRows();
        t.recalculateAll();
        QCOMPARE(t.env.prompts.verify(), QString());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(t.done(ids[i]), i < 2);
        for (qint64 id : other)
            QVERIFY(!t.done(id));
        QCOMPARE(t.versionRows(), before);
        QCOMPARE(t.endState(), QString());
        QCOMPARE(t.p().CurrentProject.ProjectID, QString("P2"));
    }

    void errorAnsweredOkCoversTheRun() {
        Db t;
        t.project("P1", 1);
        t.project("P2", 2);
        const QList<qint64> a = t.readings("P1", 1, 3, {1});
        const QList<qint64> b = t.readings("P2", 2, 3, {0, 2});
        t.env.prompts.onMessage("Calculation run caused an error", Buttons::OK, "Hevrin", Answer::OK)
            .onMessage(CalcErrorPrompt, Buttons::OKCancel, "Hevrin", Answer::OK)
            .onMessage("3 readings could not be calculated", Buttons::OK, "Hevrin", Answer::OK);
        const int before = t.versionRows();
        const RecalcSummary sum = t.recalculateAll();
        QCOMPARE(sum.failed, 3); // what the bulk tool reports, and exits non-zero for
        QCOMPARE(t.env.prompts.verify(), QString());
        QVERIFY(t.p().IgnoreCalcErrors);
        QVERIFY(t.done(a[0]) && !t.done(a[1]) && t.done(a[2]));
        QVERIFY(!t.done(b[0]) && t.done(b[1]) && !t.done(b[2]));
        QCOMPARE(t.versionRows(), before + 1);
        QCOMPARE(
            t.p().status.text(1),
            QString("Updated 2 projects with total 3 records; 3 readings could not be calculated (the first: "
                    "Calculation run caused an error #11 Division by zero) and keep no results."));
    }

    // A Null where the normalization reads a measurement it never computes with is no
    // failure: such readings are normalized, keep their Null and are counted.
    void nullUnusedMeasurementsAreNormalized() {
        Db t;
        t.project("P1", 2);
        const QList<qint64> ids = t.readings("P1", 2, 3);
        {
            Database d = Database::open(t.path);
            d.exec("UPDATE Data SET ORP = NULL, SDIRaw = NULL WHERE ID = ?", {ids[0]});
            d.exec("UPDATE Data SET pH = NULL, TurbidityRaw = NULL, TurbidityFeed = NULL, SDIFeed = NULL, "
                   "EventID = NULL WHERE ID = ?",
                   {ids[1]});
        }
        QCOMPARE(t.recalculateAllOfOneProject(ids), QString());
        Database d = Database::open(t.path);
        QVERIFY(d.select("SELECT * FROM Data WHERE ID = ?", {ids[0]}).first().isNull("ORP"));
        QVERIFY(d.select("SELECT * FROM Data WHERE ID = ?", {ids[1]}).first().isNull("EventID"));
    }

    void userCancelStopsAtABatch() {
        Db t;
        t.project("P1", 1);
        t.project("P2", 1);
        const QList<qint64> a = t.readings("P1", 1, 5);
        const QList<qint64> b = t.readings("P2", 1, 2);
        connect(&t.p().status, &StatusPanels::changed, [&](int panel, const QString& text) {
            // The user's Cancel arrives while the window system has its turn.
            if (panel == 1 && text == "Updating Record 2 of 7")
                QMetaObject::invokeMethod(
                    &t.p().status, [&] { t.p().CancelRecalc = true; }, Qt::QueuedConnection);
        });
        const int before = t.versionRows();
        t.recalculateAll(smallBatches(2));
        // The first batch is stored, the rest left as they were.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(t.done(a[i]), i < 2);
        for (qint64 id : b)
            QVERIFY(!t.done(id));
        QCOMPARE(t.versionRows(), before);
        QCOMPARE(t.endState(), QString());
        QCOMPARE(t.env.prompts.shown(), QStringList());
    }

    void otherWindowsWriteBetweenBatches() {
        Db t;
        t.project("P1", 1);
        const QList<qint64> a = t.readings("P1", 1, 6);
        int written = 0;
        QString failure;
        connect(&t.p().status, &StatusPanels::changed, [&](int panel, const QString& text) {
            if (panel != 1 || !text.startsWith("Updating Record ")) return;
            // A reading saved by another window while the run lets the event loop run.
            QMetaObject::invokeMethod(
                &t.p().status,
                [&] {
                    try {
                        test::insertReading(t.path, 1, {{"ProjectID", "P9"}});
                        ++written;
                    } catch (const DbError& e) {
                        failure = e.description();
                    }
                },
                Qt::QueuedConnection);
        });
        QElapsedTimer timer;
        timer.start();
        t.recalculateAll(smallBatches(2));
        QCOMPARE(failure, QString());
        QCOMPARE(written, 3);
        QVERIFY(timer.elapsed() < 4000); // nobody waited for a lock
        for (qint64 id : a)
            QVERIFY(t.done(id));
    }

    void waitsForAShortWriteLock() {
        Db t;
        t.project("P1", 1);
        const QList<qint64> ids = t.readings("P1", 1, 6);
        std::promise<void> locked;
        std::thread other([&] {
            test::ForeignLock lock(t.path, test::ForeignLock::Kind::Write);
            locked.set_value();
            // Held well within the busy timeout; the run must wait for it, not skip readings.
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        });
        locked.get_future().wait();
        const int before = t.versionRows();
        t.recalculateAll(smallBatches(2));
        other.join();
        QCOMPARE(t.env.prompts.shown(), QStringList());
        for (qint64 id : ids)
            QVERIFY(t.done(id));
        QCOMPARE(t.versionRows(), before + 1);
        QCOMPARE(t.p().status.text(1), QString("Updated 1 project with total 6 records."));
    }

    void databaseFailuresStopTheRun_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("midRun");
        QTest::addColumn<bool>("sizeLimit");
        QTest::addColumn<QString>("error");
        QTest::newRow("locked past the busy timeout") << false << false << false << "database is locked";
        QTest::newRow("read-only file") << true << false << false << "attempt to write a readonly database";
        QTest::newRow("locked after the first batch") << false << true << false << "database is locked";
        QTest::newRow("file-size limit after the first batch")
            << false << true << true
            << "disk I/O error: the file reached this process's file-size limit of 1024 bytes (ulimit -f)";
    }
    void databaseFailuresStopTheRun() {
        QFETCH(bool, readOnly);
        QFETCH(bool, midRun);
        QFETCH(bool, sizeLimit);
        QFETCH(QString, error);
        Db t;
        t.project("P1", 1);
        t.project("P2", 2);
        QList<qint64> ids = t.readings("P1", 1, 3);
        ids += t.readings("P2", 2, 3);
        const int before = t.versionRows();
        std::unique_ptr<test::ForeignLock> lock;
        std::unique_ptr<test::FileSizeLimit> full;
        std::optional<test::ReadOnlyFile> readOnlyFile;
        if (readOnly) {
            readOnlyFile.emplace(t.path);
            QVERIFY(readOnlyFile->held());
        } else if (!midRun) {
            lock = std::make_unique<test::ForeignLock>(t.path, test::ForeignLock::Kind::Write);
            QVERIFY(lock->held());
        } else {
            // Another program takes the lock, or the disk fills, while the run lets the window
            // system run.
            connect(&t.p().status, &StatusPanels::changed, [&](int panel, const QString& text) {
                if (panel != 1 || text != "Updating Record 2 of 6" || lock || full) return;
                if (sizeLimit)
                    full = std::make_unique<test::FileSizeLimit>(1024);
                else
                    lock = std::make_unique<test::ForeignLock>(t.path, test::ForeignLock::Kind::Write);
            });
        }
        const int done = midRun ? 2 : 0;
        t.env.prompts.onMessage("Error #-2147467259 " + error +
                                    QString(". The recalculation stopped: only %1 of 6 readings were "
                                            "recalculated. Run the recalculation again.")
                                        .arg(done),
                                Buttons::OK, "Hevrin", Answer::OK);
        RecalcOptions o = smallBatches(2);
        o.batches.busyTimeoutMs = 50;
        const RecalcSummary sum = t.recalculateAll(o);
        lock.reset();
        full.reset();
        readOnlyFile.reset();
        // Reported once, with the database's own words; nothing claims success, no journal is
        // left beside the file, and the counts are those of the readings kept.
        QCOMPARE(t.env.prompts.verify(), QString());
        QVERIFY(sum.stopped);
        QVERIFY(!QFile::exists(t.path + "-journal"));
        QCOMPARE(sum.readings, qint64(done));
        QVERIFY2(!t.p().status.text(1).startsWith("Updated"), qPrintable(t.p().status.text(1)));
        QVERIFY(t.p().status.text(1).contains(error));
        QVERIFY(t.p().status.text(1).contains(QString("only %1 of 6 readings").arg(done)));
        QCOMPARE(t.versionRows(), before);
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(t.done(ids[i]), i < done);
        QCOMPARE(t.endState(), QString());
        // The project run raises it to its caller, saying how far it got.
        if (!readOnly && !sizeLimit) {
            test::ForeignLock again(t.path, test::ForeignLock::Kind::Write);
            t.loadCurrent("P2");
            try {
                RecalculateProject(t.p(), t.p().CurrentProject, o);
                QFAIL("no failure raised");
            } catch (const DbFailure& e) {
                QVERIFY2(e.description().contains("only 0 of 3 readings"), qPrintable(e.description()));
            }
        }
    }

    void projectIdThatIsNotUtf8() {
        Db t;
        t.project("P1", 1);
        const QList<qint64> ids = t.readings("P1", 1, 3);
        {
            // Latin-1 bytes stored by another program.
            Database d = Database::open(t.path);
            d.exec("UPDATE ProjectInfo SET ProjectID = CAST(X'506CE46E74' AS TEXT)");
            d.exec("UPDATE Data SET ProjectID = CAST(X'506CE46E74' AS TEXT)");
        }
        QCOMPARE(t.recalculateAllOfOneProject(ids), QString());
        // The project run of the project as the windows hold it.
        Database d = Database::open(t.path);
        d.exec("UPDATE Data SET NormalizedPermFlow = 0");
        LoadProjectSettings(t.p(), d.select("SELECT * FROM ProjectInfo").first());
        QCOMPARE(RecalculateProject(t.p(), t.p().CurrentProject), 0);
        for (qint64 id : ids)
            QVERIFY(t.done(id));
    }

    void twoBankBackPressureFixUp() {
        Db t;
        t.project("P1", 2, {{"PermBackPress", 5.0}, {"PermBackPress_1", 0.0}});
        t.project("P2", 2, {{"PermBackPress", 5.0}, {"PermBackPress_1", 2.0}});
        t.project("P3", 1, {{"PermBackPress", 5.0}, {"PermBackPress_1", 0.0}});
        t.recalculateAll();
        Database d = Database::open(t.path);
        auto back1 = [&](const QString& id) {
            return d.select("SELECT PermBackPress_1 FROM ProjectInfo WHERE ProjectID = ?", {id})
                .first()
                .toDouble("PermBackPress_1");
        };
        QCOMPARE(back1("P1"), 5.0);
        QCOMPARE(back1("P2"), 2.0);
        QCOMPARE(back1("P3"), 0.0);
    }

    void unexpectedFailureEndsTheRunCleanly() {
        Db t;
        t.project("P1", 1);
        t.project("P2", 1, {{"FeedTemp", QVariant()}});
        const QList<qint64> a = t.readings("P1", 1, 2);
        t.p().CurrentProject.ProjectID = "Mine";
        t.env.prompts.onMessage("Error #94 Invalid use of Null", Buttons::OK, "Hevrin", Answer::OK);
        const int before = t.versionRows();
        t.recalculateAll();
        QCOMPARE(t.env.prompts.verify(), QString());
        for (qint64 id : a)
            QVERIFY(t.done(id));
        QCOMPARE(t.versionRows(), before);
        QCOMPARE(t.endState(), QString());
        QCOMPARE(t.p().CurrentProject.ProjectID, QString("Mine"));
    }

    // The one-pass run against what the project-by-project run stored: each project row in
    // order, its train's readings newest first, each through CalculateDataRecord.
    void sameValuesAsProjectByProject_data() {
        QTest::addColumn<int>("systemData");
        QTest::addColumn<bool>("usUnits");
        QTest::newRow("system data, metric") << -1 << false;
        QTest::newRow("bank data, US units") << 0 << true;
    }
    void sameValuesAsProjectByProject() {
        QFETCH(int, systemData);
        QFETCH(bool, usUnits);
        Db one, old;
        const QVariantMap units = usUnits ? QVariantMap{{"unitFlow", 4},
                                                        {"unitTemp", 0},
                                                        {"unitPress", 0},
                                                        {"unitFlux", 0},
                                                        {"FeedTemp", 68.0}}
                                          : QVariantMap{};
        for (Db* t : {&one, &old}) {
            QVariantMap o = units;
            o["Systemdata"] = systemData;
            t->project("Alpha", 1, o);
            t->project("Beta", 2, o);
            o["TrainNumber"] = 2;
            t->project("Beta", 3, o);
            // Interleaved as trains logging side by side store them; one train has no
            // project row, and one project's readings carry its ID in other letter case.
            for (int i = 0; i < 5; ++i) {
                t->readings(i % 2 ? "alpha" : "Alpha", 1, 1);
                t->readings("Beta", 2, 1);
                t->readings("Beta", 3, 1, {}, 2);
                t->readings("Orphan", 1, 1);
            }
            Database d = Database::open(t->path);
            d.exec(
                "UPDATE Data SET Temperature = Temperature + ID % 7, ConcFlow = ConcFlow * (1 + ID / 50.0), "
                "FeeduS = FeeduS + 10 * ID, TheDate = '2020-01-02 0' || (ID % 10) || ':00:' || (10 + ID * "
                "2)");
        }
        const DbRows before = Database::open(one.path).select("SELECT * FROM Data ORDER BY ID");
        one.recalculateAll(smallBatches(3));
        QCOMPARE(one.env.prompts.shown(), QStringList());
        const auto projectByProject = [&] {
            Database d = Database::open(old.path);
            for (const DbRow& row : d.select("SELECT * FROM ProjectInfo ORDER BY ProjectID, ID")) {
                LoadProjectSettings(old.p(), row);
                for (const DbRow& r : d.select("SELECT ID FROM Data WHERE ProjectID = ? AND TrainNumber = ? "
                                               "ORDER BY ID DESC",
                                               {row.value("ProjectID"), row.value("TrainNumber")}))
                    QVERIFY(CalculateDataRecord(old.p(), QDateTime(), r.toInt32("ID")));
            }
        };
        projectByProject();
        const DbRows x = Database::open(one.path).select("SELECT * FROM Data ORDER BY ID");
        const DbRows y = Database::open(old.path).select("SELECT * FROM Data ORDER BY ID");
        QCOMPARE(x.count(), 20);
        for (int i = 0; i < x.count(); ++i) {
            const bool orphan = x.at(i).toText("ProjectID") == "Orphan";
            QCOMPARE(x.at(i).toDouble("NormalizedPermFlow") != 0, !orphan);
            QCOMPARE(x.at(i).values(), y.at(i).values());
            if (orphan) QCOMPARE(x.at(i).values(), before.at(i).values());
        }
        QCOMPARE(one.p().LastNormalizedPermFlow, old.p().LastNormalizedPermFlow);
        QCOMPARE(one.p().LastNormalizedSaltPassage, old.p().LastNormalizedSaltPassage);
        QCOMPARE(one.p().LastNormalizedDP, old.p().LastNormalizedDP);
        QVERIFY(one.p().LastNormalizedPermFlow != 0);
        QCOMPARE(one.p().status.text(1), QString("Updated 3 projects with total 15 records."));

        // The first run rewrote the flows from the banks; a second one, reading them back,
        // stores every value as it was, and so does the single reading's calculation.
        one.recalculateAll(smallBatches(3));
        const DbRows again = Database::open(one.path).select("SELECT * FROM Data ORDER BY ID");
        for (int i = 0; i < x.count(); ++i)
            QCOMPARE(bitsOf(again.at(i)), bitsOf(x.at(i)));
        projectByProject();
        const DbRows single = Database::open(old.path).select("SELECT * FROM Data ORDER BY ID");
        for (int i = 0; i < y.count(); ++i)
            QCOMPARE(bitsOf(single.at(i)), bitsOf(y.at(i)));
    }

    // The bench generator on a full disk says why, fails, and leaves no partial database.
    void benchGeneratorOnAFullDisk() {
        const QString tool = QCoreApplication::applicationDirPath() + "/hevrin-bench-gen";
        if (!QFile::exists(tool)) QSKIP("the bulk tools are not built");
        test::TestEnv env;
        const QString templ = test::makeBlankDatabase(env.path("blank.mdb"));
        const QString out = env.path("bench.mdb");
        QProcess gen;
        {
            // Inherited by the tool, with SIGXFSZ ignored: its writes past the limit fail.
            test::FileSizeLimit full(QFileInfo(templ).size() + 64 * 1024);
            gen.start(tool, {"--readings", "20000", "--out", out, "--template", templ});
            QVERIFY(gen.waitForFinished(60000));
        }
        QCOMPARE(gen.exitStatus(), QProcess::NormalExit);
        QVERIFY(gen.exitCode() != 0);
        const QString said = QString::fromLocal8Bit(gen.readAllStandardError());
        QVERIFY2(said.contains("disk") || said.contains("too large") || said.contains("I/O"),
                 qPrintable(said));
        QCOMPARE(QDir(env.path("")).entryList({"bench.mdb*"}, QDir::Files), QStringList());
    }

    // The recalculation tool refuses a batch size it cannot use, and a file-size limit, met
    // copying the element database or writing the results, ends it with that cause named and
    // a failure, never by the signal, and without a journal left behind.
    void recalcToolNamesWhatStopsIt_data() {
        QTest::addColumn<QStringList>("more");
        QTest::addColumn<int>("room"); // bytes the limit leaves above the element database; 0 no limit
        QTest::addColumn<QString>("said");
        QTest::newRow("batch 0") << QStringList{"--batch", "0"} << 0 << "--batch";
        QTest::newRow("batch abc") << QStringList{"--batch", "abc"} << 0 << "--batch";
        QTest::newRow("limit met by the results") << QStringList{} << 64 * 1024 << "file-size limit of";
        QTest::newRow("limit met by the element copy") << QStringList{} << -1 << "file-size limit of";
    }
    void recalcToolNamesWhatStopsIt() {
        QFETCH(QStringList, more);
        QFETCH(int, room);
        QFETCH(QString, said);
        const QString bin = QCoreApplication::applicationDirPath();
        if (!QFile::exists(bin + "/hevrin-recalc") || !QFile::exists(bin + "/hevrin-bench-gen"))
            QSKIP("the bulk tools are not built");
        test::TestEnv env;
        const QString templ = test::makeBlankDatabase(env.path("blank.mdb"));
        const QString elements = test::makeElementDatabase(env.path("ostrelmem.mdb"));
        const QString db = env.path("bench.mdb");
        QProcess gen;
        gen.start(bin + "/hevrin-bench-gen", {"--readings", "3000", "--out", db, "--template", templ});
        QVERIFY(gen.waitForFinished(60000));
        QCOMPARE(gen.exitCode(), 0);
        const QByteArray before = test::readFile(db);
        QProcess run;
        {
            std::optional<test::FileSizeLimit> limit;
            if (room != 0) limit.emplace(QFileInfo(elements).size() + room);
            // The tool must keep itself alive: it does not inherit the test's ignored signal.
            std::signal(SIGXFSZ, SIG_DFL);
            run.start(bin + "/hevrin-recalc", QStringList{"--database", db, "--elements", elements} + more);
            const bool finished = run.waitForFinished(60000);
            std::signal(SIGXFSZ, SIG_IGN);
            QVERIFY(finished);
        }
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY(run.exitCode() != 0);
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput() + run.readAllStandardError());
        QVERIFY2(out.contains(said), qPrintable(out));
        QVERIFY2(!out.contains("readings,") || out.contains("\n0 readings,"), qPrintable(out));
        QVERIFY(!QFile::exists(db + "-journal"));
        QCOMPARE(test::readFile(db), before);
    }

    void cancelLeavesEveryReadingOldOrNew() {
        Db run, full;
        for (Db* t : {&run, &full}) {
            t->project("P1", 1);
            t->project("P2", 3);
            for (int i = 0; i < 6; ++i) {
                t->readings("P1", 1, 1);
                t->readings("P2", 3, 1);
            }
            Database d = Database::open(t->path);
            d.exec("UPDATE Data SET Temperature = Temperature + ID, ElapsedTimeHrs = 0");
        }
        const DbRows before = Database::open(run.path).select("SELECT * FROM Data ORDER BY ID");
        full.recalculateAll();
        connect(&run.p().status, &StatusPanels::changed, [&](int panel, const QString& text) {
            if (panel == 1 && text == "Updating Record 10 of 12")
                QMetaObject::invokeMethod(
                    &run.p().status, [&] { run.p().CancelRecalc = true; }, Qt::QueuedConnection);
        });
        const int versions = run.versionRows();
        run.recalculateAll(smallBatches(5));
        QCOMPARE(run.versionRows(), versions);
        const DbRows after = Database::open(run.path).select("SELECT * FROM Data ORDER BY ID");
        const DbRows done = Database::open(full.path).select("SELECT * FROM Data ORDER BY ID");
        for (int i = 0; i < after.count(); ++i)
            QCOMPARE(after.at(i).values(), (i < 10 ? done : before).at(i).values());
        QCOMPARE(run.p().status.text(1), QString("Updated 2 projects with total 10 records."));
    }
};

QTEST_GUILESS_MAIN(TestRecalculate)
#include "tst_recalculate.moc"
