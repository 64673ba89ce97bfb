#include <QtTest>

#include "collection/readingitems.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "platform/database.h"
#include "sheetcells.h"
#include "spreadsheet/importrun.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/plant.h"
#include "support/testenv.h"

using namespace hv;

namespace {

// A sheet in memory, item k in column k + 1 and readings a day apart from 2020-01-05 on rows 2
// onwards (row 1 headings), each value the reference row's; a fetch of `failRow` fails, and
// `fetching` hears of each fetch by its date cell.
struct FakeSheet : LinkRowSource {
    QHash<QString, QString> cells; // "R<row>C<col>"
    int failRow = -1;
    std::function<void(const QString& dateCell)> fetching;
    RowFetchFailure fetch(const std::vector<RowLink>& rows, std::array<QString, ItemCount>& texts) override {
        if (fetching) fetching(rows[0].item);
        for (size_t k = 0; k < rows.size(); ++k) {
            if (!rows[k].linked) continue;
            if (rows[k].item.startsWith(QString("R%1C").arg(failRow)))
                return {int(k), 293, "The linked application closed the link", false, false};
            texts[k] = cells.value(rows[k].item.toUpper());
        }
        return {};
    }
};

// Counts what the run reports and asks for a stop at the `stopAt`-th turn between batches.
struct Watch : SheetImportProgress {
    int turns = 0, stopAt = -1, shown = 0;
    QStringList said;
    void showState(const SheetImportState&) override { ++shown; }
    void say(const QString& text) override { said << text; }
    bool yieldAndCheckCancel() override { return ++turns == stopAt; }
};

struct Plant {
    Plant() {
        info = test::makeReferencePlant(p(), 1);
        test::insertReading(p().ProjectDatabasePath, 1);
    }
    Program& p() { return env.prog(); }
    Database db() { return Database::open(p().ProjectDatabasePath); }
    void sheet(FakeSheet& s, int rows) {
        for (int r = 0; r < rows; ++r)
            for (int i = 0; i < ItemCount; ++i)
                s.cells[QString("R%1C%2").arg(r + 2).arg(i + 1)] = test::sheetCell(info, r, i);
    }
    // Every row linked to its column of sheet row 2, the optional items not required.
    SheetImportSetup setup(bool allRows) {
        SheetImportSetup s;
        s.project = p().CurrentProject;
        s.databasePath = p().ProjectDatabasePath;
        const QStringList captions = ItemFieldList();
        for (int k = 0; k < ItemCount; ++k) {
            s.rows[size_t(k)] = {k, captions[k], {}, {}, k < item::FirstUser || k > item::LastUser, false};
            s.links.push_back({true, "Sheet", "Log", {}});
        }
        s.allRows = allRows;
        s.now = QDateTime(QDate(2021, 1, 1), QTime(0, 0));
        return s;
    }
    SheetImportState start() {
        SheetImportState s;
        for (int k = 0; k < ItemCount; ++k)
            s.cells[size_t(k)] = QString("R2C%1").arg(k + 1);
        return s;
    }
    int rows() { return db().scalar("SELECT count(*) FROM Data").toInt(); }

    test::TestEnv env;
    DbRow info;
};

QString day(int d) {
    return ShortDateTimeText(QDateTime(QDate(2020, 1, d), QTime(8, 0)));
}

using End = SheetImportOutcome::End;

} // namespace

class TestImportRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    // One run through a fake sheet of four rows (sheet rows 2 to 5): what it stores, passes
    // over and stops on, and the sheet row it names.
    void runs_data() {
        QTest::addColumn<bool>("allRows");
        QTest::addColumn<bool>("ignore");
        QTest::addColumn<QString>("cell");     // a cell changed: "R<row>C<col>=text"
        QTest::addColumn<int>("storedBefore"); // the sheet row whose date the train holds already
        QTest::addColumn<int>("failRow");      // a sheet row whose fetch fails
        QTest::addColumn<int>("stopAt");       // the turn at which the user stops
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("lastRow");
        QTest::addColumn<int>("stopRow");
        QTest::addColumn<QString>("refusal"); // a part of what it stopped on
        QTest::newRow("all rows") << true << false << "" << -1 << -1 << -1 << int(End::SheetEnd) << 4 << 0
                                  << 5 << -1 << "";
        QTest::newRow("one row a click")
            << false << false << "" << -1 << -1 << -1 << int(End::RowDone) << 1 << 0 << 2 << -1 << "";
        QTest::newRow("a row already stored passed over and counted")
            << true << false << "" << 3 << -1 << -1 << int(End::SheetEnd) << 3 << 1 << 5 << -1 << "";
        QTest::newRow("one row a click, already stored")
            << false << false << "" << 2 << -1 << -1 << int(End::RowDone) << 0 << 1 << 2 << -1 << "";
        QTest::newRow("readings seconds apart each stored")
            << true << false << "R3C1=2020-01-05 08:00:30" << -1 << -1 << -1 << int(End::SheetEnd) << 4 << 0
            << 5 << -1 << "";
        QTest::newRow("a missing value names its field")
            << true << false << "R4C3=" << -1 << -1 << -1 << int(End::Refused) << 2 << 0 << 3 << 4
            << "A REQUIRED FIELD, ConcFlow HAS NO DATA";
        QTest::newRow("a failed check names the row")
            << true << false << "R4C2=0" << -1 << -1 << -1 << int(End::Refused) << 2 << 0 << 3 << 4
            << "Perm Flow is <=0";
        // A refused cell names its sheet row and date, wherever it stands.
        QTest::newRow("a cell of \"-\" in an optional row")
            << true << false << "R4C16=-" << -1 << -1 << -1 << int(End::Refused) << 2 << 0 << 3 << 4
            << "TurbidityFeed holds \"-\", which is not a number";
        QTest::newRow("a no-break space inside a number")
            << true << false << QString("R4C7=1\u00A0500") << -1 << -1 << -1 << int(End::Refused) << 2 << 0
            << 3 << 4 << "FeeduS holds";
        QTest::newRow("ignore mode stores the row raw")
            << true << true << "R4C3=0" << -1 << -1 << -1 << int(End::SheetEnd) << 4 << 0 << 5 << -1 << "";
        QTest::newRow("a failed calculation names the row and date")
            << true << false << "R3C7=1.5" << -1 << -1 << -1 << int(End::CalculationFailed) << 1 << 0 << 2
            << 3 << "Sheet row 3, dated " + day(6) + ", was not stored.";
        QTest::newRow("a bad date names the cell")
            << true << false << "R4C1=nan" << -1 << -1 << -1 << int(End::BadDate) << 2 << 0 << 3 << 4
            << "Sheet row 4, cell R4C1 (TheDate), holds \"nan\"";
        // Only an empty date cell ends the sheet; none of these is a date.
        for (const char* cell : {"-1", "0", " ", "45352.333"})
            QTest::addRow("a date cell of \"%s\"", cell)
                << true << false << QString("R4C1=") + cell << -1 << -1 << -1 << int(End::BadDate) << 2 << 0
                << 3 << 4 << QString("holds \"%1\", which is not a date.").arg(cell);
        QTest::newRow("a failed fetch ends the run")
            << true << false << "" << -1 << 4 << -1 << int(End::FetchFailed) << 2 << 0 << 3 << 4
            << "closed the link";
        QTest::newRow("a stop between batches")
            << true << false << "" << -1 << -1 << 1 << int(End::Stopped) << 2 << 0 << 3 << -1 << "";
    }
    void runs() {
        QFETCH(bool, allRows);
        QFETCH(bool, ignore);
        QFETCH(QString, cell);
        QFETCH(int, storedBefore);
        QFETCH(int, failRow);
        QFETCH(int, stopAt);
        Plant plant;
        FakeSheet sheet;
        plant.sheet(sheet, 4);
        if (!cell.isEmpty()) sheet.cells[cell.section('=', 0, 0)] = cell.section('=', 1);
        if (storedBefore > 0)
            test::insertReading(
                plant.p().ProjectDatabasePath, 1,
                {{"TheDate",
                  QDateTime(QDate(2020, 1, 3 + storedBefore), QTime(8, 0)).toString("yyyy-MM-dd HH:mm:ss")}});
        const int before = plant.rows();
        SheetImportSetup setup = plant.setup(allRows);
        setup.ignoreErrors = ignore;
        setup.batch = {2, 0, 5000};
        SheetImportState state = plant.start();
        QVERIFY(!FetchSheetRow(setup, state, sheet));
        QCOMPARE(state.columns.current[0], day(5));
        sheet.failRow = failRow;
        Watch watch;
        watch.stopAt = stopAt;
        const SheetImportOutcome o = RunSheetImport(plant.p(), setup, state, sheet, watch);
        QTEST(int(o.end), "end");
        QTEST(o.stored.stored(), "stored");
        QCOMPARE(plant.rows() - before, o.stored.stored());
        QTEST(o.skipped, "skipped");
        QTEST(o.lastSheetRow.value_or(-1), "lastRow");
        QTEST(o.stopSheetRow.value_or(-1), "stopRow");
        QFETCH(QString, refusal);
        QVERIFY2(o.refusal.contains(refusal), qPrintable(o.refusal));
        QVERIFY(watch.shown > 0);
        // The run tells what it did, not where the window shows it.
        const SheetImportReport& report = o.state.report;
        QVERIFY(report.begun && report.allRows == allRows);
        if (o.end == End::SheetEnd || o.end == End::RowDone) {
            QVERIFY(report.count && !report.stop);
            QCOMPARE(report.count->imported, o.stored.stored());
            QCOMPARE(report.count->skipped, o.skipped);
        }
        QCOMPARE(report.stored.has_value(), o.stored.stored() > 0);
        if (o.end == End::Refused || o.end == End::BadDate) QCOMPARE(report.stop->text, o.refusal);
        // A failed calculation is not hidden by the rows stored before it.
        if (o.end == End::CalculationFailed)
            QVERIFY(report.calculation == SheetImportReport::Calculation::Failed &&
                    report.saveFailed->what == SheetImportReport::Failure::CalculationFailed);
        if (ignore) QCOMPARE(o.stored.raw, 1);
        // A row not stored is named by its sheet row and date, in the cause and in what is said.
        if (o.end == End::Refused || o.end == End::CalculationFailed) {
            QFETCH(int, stopRow);
            const QString named = QString("Sheet row %1, dated %2").arg(stopRow).arg(day(stopRow + 3));
            QVERIFY2(o.refusal.contains(named), qPrintable(o.refusal));
            for (const QString& said : watch.said)
                QVERIFY2(said.contains(named), qPrintable(said));
        }
    }

    // A batch whose commit fails (it meets another program's lock, or the database refuses a
    // reading's calculated values) is stored not at all: the run hands back the rows, links,
    // count and panels of its first reading, and a second run from there stores each sheet
    // row once, with its values.
    void lostBatchCarriedOn_data() {
        QTest::addColumn<bool>("lock");
        QTest::addColumn<QString>("cause");
        QTest::newRow("another program's lock") << true << "database is locked";
        QTest::newRow("values refused") << false << "no values today";
    }
    void lostBatchCarriedOn() {
        QFETCH(bool, lock);
        QFETCH(QString, cause);
        Plant plant;
        FakeSheet sheet;
        plant.sheet(sheet, 6);
        // Sheet row 5 is the second reading of the second batch.
        std::unique_ptr<test::ForeignLock> held;
        if (lock)
            sheet.fetching = [&](const QString& cell) {
                if (cell == "R5C1" && !held)
                    held = std::make_unique<test::ForeignLock>(plant.p().ProjectDatabasePath,
                                                               test::ForeignLock::Kind::Read);
            };
        else
            plant.db().exec(
                "CREATE TRIGGER refuse BEFORE UPDATE OF NormalizedPermFlow ON Data WHEN NEW.TheDate = "
                "'2020-01-08 08:00:00' BEGIN SELECT RAISE(ABORT, '" +
                cause + "'); END");
        SheetImportSetup setup = plant.setup(true);
        setup.batch = {2, 0, 50};
        SheetImportState state = plant.start();
        QVERIFY(!FetchSheetRow(setup, state, sheet));
        Watch watch;
        const SheetImportOutcome lost = RunSheetImport(plant.p(), setup, state, sheet, watch);
        QCOMPARE(int(lost.end), int(End::BatchLost));
        QCOMPARE(lost.stored.stored(), 2);
        QCOMPARE(lost.lostRows, 2);
        QCOMPARE(lost.state.cells[1], QString("R4C2"));
        QCOMPARE(lost.state.columns.current[0], day(7));
        QCOMPARE(lost.state.imported, 2);
        QVERIFY(lost.state.report.saveFailed->what == SheetImportReport::Failure::CommitFailed);
        QCOMPARE(lost.state.report.saveFailed->cause, cause);
        QCOMPARE(lost.state.report.count->imported, 2);
        QVERIFY(lost.state.fetched);
        QVERIFY(
            watch.said.last().contains("2 rows were not stored; the links are back at the first of them."));

        QVERIFY(bool(held) == lock);
        held.reset();
        sheet.fetching = nullptr;
        if (!lock) plant.db().exec("DROP TRIGGER refuse");
        const SheetImportOutcome rest = RunSheetImport(plant.p(), setup, lost.state, sheet, watch);
        QCOMPARE(int(rest.end), int(End::SheetEnd));
        QCOMPARE(rest.stored.stored(), 4);
        QCOMPARE(rest.state.report.count->imported, 4);
        QCOMPARE(plant.rows(), 7);
        QCOMPARE(plant.db().scalar("SELECT count(DISTINCT TheDate) FROM Data").toInt(), 7);
        QCOMPARE(
            plant.db()
                .scalar("SELECT count(*) FROM Data WHERE TheDate >= '2020-01-05' AND NormalizedPermFlow > 0")
                .toInt(),
            6);
    }

    // An optional item whose row is linked to no cell has no value on any sheet row: stored as
    // Null, not as the value shown before nor as 0.
    void unlinkedOptionalItemStoresNull() {
        Plant plant;
        FakeSheet sheet;
        plant.sheet(sheet, 2);
        SheetImportSetup setup = plant.setup(true);
        setup.links[item::ORP].linked = false;
        SheetImportState state = plant.start();
        state.columns.current[item::ORP] = "0";
        QVERIFY(!FetchSheetRow(setup, state, sheet));
        QCOMPARE(state.columns.current[item::ORP], QString());
        Watch watch;
        const SheetImportOutcome o = RunSheetImport(plant.p(), setup, state, sheet, watch);
        QCOMPARE(o.stored.stored(), 2);
        QCOMPARE(plant.db()
                     .scalar("SELECT count(*) FROM Data WHERE TheDate >= '2020-01-05' AND ORP IS NULL")
                     .toInt(),
                 2);
        QCOMPARE(plant.db().scalar("SELECT count(*) FROM Data WHERE TurbidityFeed = 1").toInt(), 2);
    }
};

QTEST_GUILESS_MAIN(TestImportRun)
#include "tst_importrun.moc"
