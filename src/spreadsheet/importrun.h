#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "collection/reading.h"
#include "collection/readingcheck.h"
#include "collection/rowlinks.h"
#include "core/projectrecord.h"
#include "normalization/intake.h"
#include "platform/bulkwork.h"

namespace hv {

struct Program;

// How a run (or a fetch) ended.
enum class SheetImportEnd {
    SheetEnd,          // an empty date cell: the sheet's end
    RowDone,           // one row a click: the row stored or skipped
    Stopped,           // the user stopped the run
    Refused,           // a check refused the row
    BadDate,           // the date cell holds no date
    CalculationFailed, // the row's calculation failed: not stored
    FetchFailed,       // the next row could not be fetched
    BatchLost,         // a commit failed: the open batch was stored not at all
};

// What the run has told of itself, part by part, for the window's status line. A part the
// run has not spoken of leaves what the window showed before the run.
struct SheetImportReport {
    enum class Calculation { Complete, Bypassed, Failed }; // of the readings the run stored
    enum class Failure {
        MissingValue,      // a required value or the date missing, or the bank balance refused
        CalculatorError,   // stored, but a calculation failed
        MissingElement,    // stored without calculated values: the cause names the element
        CalculationFailed, // a row not stored: the cause is the whole message
        CommitFailed,      // a batch not stored: the cause is the database's
    };
    struct SaveFailure {
        Failure what;
        QString cause;
    };
    struct Count {
        int imported = 0; // the rows the window has imported
        int skipped = 0;  // rows of the run passed over: their date is stored already
    };
    // A row stored, with the sheet row it came from where a cell reference names one.
    struct Stored {
        std::optional<int> sheetRow;
    };
    // A row the run stopped on: refused, with a bad date, or not fetched.
    struct Stop {
        SheetImportEnd what;
        QString text; // the run's words: what failed, the row and its date, the cause
    };

    bool allRows = false;
    bool begun = false; // a run has begun: no save of it has failed yet
    std::optional<Calculation> calculation;
    std::optional<SaveFailure> saveFailed;
    std::optional<Count> count;
    std::optional<Stored> stored; // the row stored last
    std::optional<Stop> stop;
};

// The rows as the window shows them: the entry column (the row in hand), the two readings
// before it with their elapsed hours, every row's cell reference, the count of rows the
// window has imported, and what the run has reported.
struct SheetImportState {
    HistoryColumns columns;
    std::array<QString, ItemCount> cells;
    int imported = 0;
    SheetImportReport report;
    bool fetched = false; // the entry column holds a row fetched whole, which Save may store
};

// What a run reports to the window it runs for, besides RunProgress's yield.
class SheetImportProgress : public RunProgress {
public:
    // The rows as they stand: after a row was stored, skipped or fetched, and after a lost
    // batch put them back.
    virtual void showState(const SheetImportState& s) { Q_UNUSED(s); }
    // What the run has told so far, each time it tells more.
    virtual void showReport(const SheetImportReport& r) { Q_UNUSED(r); }
    // A message the user must see before the run goes on; no write lock is held meanwhile.
    virtual void say(const QString& text) { Q_UNUSED(text); }
};

// How one run goes.
struct SheetImportSetup {
    ProjectInfoRecord project; // stored for and normalized against
    QString databasePath;
    // Each input row's item, caption, required and keep flags; the texts come from the state.
    std::array<EntryRow, ItemCount> rows;
    std::vector<RowLink> links; // each row's link flag, program and sheet; items from the state
    std::array<bool, ItemCount> hidden{};
    bool allRows = false;
    bool ignoreErrors = false;
    bool ignoreCalcErrors = false; // a failed calculation goes unsaid, on the status line only
    // The train's first reading, from its reference values: stored, but no sheet row.
    bool openingReading = false;
    BatchPolicy batch{0, 400, 5000};
    int eventId = 0;
    QString note;
    QDateTime now;
};

// What a run did.
struct SheetImportOutcome {
    using End = SheetImportEnd;
    End end = End::RowDone;
    ReadingIntake::Tally stored;     // the readings committed
    int skipped = 0;                 // rows passed over: their date is stored already
    std::optional<int> lastSheetRow; // the sheet row stored or skipped last
    std::optional<int> stopSheetRow; // the sheet row the run stopped on, where it names one
    QString refusal;             // why it stopped there, in the check's, calculation's or database's words
    std::optional<int> focusRow; // the input row at fault
    int lostRows = 0;            // readings of the lost batch
    RowFetchFailure fetch;
    SheetImportState state; // the rows as the run left them, with its report
};

// The import's run: each row read with the one number and date reader, checked, balanced
// and stored or skipped through the intake, in batches, the links moving one sheet row on
// after each; an all-rows run fetches the next row until the date cell is empty. The
// first row is the one `start` holds.
SheetImportOutcome RunSheetImport(Program& p, const SheetImportSetup& setup, const SheetImportState& start,
                                  LinkRowSource& source, SheetImportProgress& progress);

// Fetches the row the state's cell references name into the entry column; the date is
// shown in the computer's form and the entry column's elapsed hours follow it. On a
// failure the entry column keeps what it held.
RowFetchFailure FetchSheetRow(const SheetImportSetup& setup, SheetImportState& state, LinkRowSource& source);

// A failed fetch reported and said: the state's report stops on "Cell <ref> (<caption>) was
// not fetched: <cause> (<number>).", the rows are shown as the state holds them, and the
// message box says that the program is not running, else what the report says. Returns the
// report's text.
QString ReportFetchFailure(const SheetImportSetup& setup, SheetImportState& state, const RowFetchFailure& f,
                           SheetImportProgress& progress);

} // namespace hv
