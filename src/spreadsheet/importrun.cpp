#include "spreadsheet/importrun.h"

#include <memory>

#include "core/currentproject.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/refusal.h"
#include "core/typedinput.h"
#include "platform/database.h"
#include "spreadsheet/importlogic.h"

namespace hv {

namespace {

int dateRowOf(const SheetImportSetup& s) {
    std::array<int, ItemCount> order{};
    for (int k = 0; k < ItemCount; ++k)
        order[size_t(k)] = s.rows[size_t(k)].item;
    return DateRow(order);
}

// The rows to fetch: each row's link with the cell its reference names now.
std::vector<RowLink> fetchRows(const SheetImportSetup& setup, const SheetImportState& state) {
    std::vector<RowLink> rows = setup.links;
    rows.resize(size_t(ItemCount));
    for (size_t k = 0; k < rows.size(); ++k)
        rows[k].item = state.cells[k];
    return rows;
}

bool linked(const SheetImportSetup& setup, int k) {
    return size_t(k) < setup.links.size() && setup.links[size_t(k)].linked;
}

class Run {
public:
    Run(Program& p, const SheetImportSetup& setup, const SheetImportState& start, LinkRowSource& source,
        SheetImportProgress& progress)
        : p_(p), s_(setup), source_(source), progress_(progress), clock_(setup.batch),
          dateRow_(dateRowOf(setup)) {
        out_.state = start;
        out_.state.report = {};
        report().allRows = setup.allRows;
    }

    SheetImportOutcome run() {
        report().begun = true; // the status line speaks of this run
        told();
        if (s_.allRows) {
            out_.state.imported = 0;
            clock_.restart();
            while (!stopAsked() && importOne()) {
                if (stopAsked() || !fetchNext() || !yield()) break;
            }
            flush();
        } else {
            // The first turn is due at once.
            clock_.expire();
            if (importOne() && !s_.openingReading) fetchNext();
        }
        batch_.reset();
        if (out_.stored.noElement > 0)
            progress_.say(MissingElementText(s_.project, MissingElementTypes(s_.project, p_.ElementTable),
                                             out_.stored.noElement));
        progress_.showState(out_.state);
        return out_;
    }

private:
    using End = SheetImportOutcome::End;

    SheetImportReport& report() { return out_.state.report; }
    void told() { progress_.showReport(out_.state.report); }

    void saveFailed(SheetImportReport::Failure what, const QString& cause = QString()) {
        report().saveFailed = SheetImportReport::SaveFailure{what, cause};
        told();
    }

    void counted() { report().count = SheetImportReport::Count{out_.state.imported, out_.skipped}; }

    // The row the run stops on, as the status line names it.
    void stopReported(End what, const QString& text) {
        report().stop = SheetImportReport::Stop{what, text};
        told();
    }

    // A lost batch has stopped the run itself; otherwise the user asked.
    bool stopAsked() {
        if (!stop_) return false;
        if (out_.end != End::BatchLost) out_.end = End::Stopped;
        return true;
    }

    // The sheet row the cell references name now: the date row's, else the first linked row's.
    std::optional<int> sheetRow() const {
        std::optional<int> first;
        for (int k = 0; k < ItemCount; ++k) {
            if (!linked(s_, k)) continue;
            const auto a = AdvanceCellReference(out_.state.cells[size_t(k)]);
            if (!a) continue;
            if (k == dateRow_) return a->previousRow;
            if (!first) first = a->previousRow;
        }
        return first;
    }

    // Moves every cell reference a row on; an unlinked row's moves too but names no row read.
    void advance() {
        out_.lastSheetRow = sheetRow();
        for (QString& cell : out_.state.cells)
            if (const auto a = AdvanceCellReference(cell)) cell = a->text;
    }

    ReadingIntake& batch() {
        if (!batch_) {
            // Each run normalizes against the reference the project train has now: an edit
            // saved in the project window since the window opened counts.
            ProjectInfoRecord reference = s_.project;
            {
                Database db = Database::open(s_.databasePath);
                if (const std::optional<ProjectInfoRecord> now =
                        ReadProjectRecord(db, s_.project.ProjectID, s_.project.TrainNumber))
                    reference = *now;
            }
            batch_ = std::make_unique<ReadingIntake>(p_, s_.databasePath, reference, ReadingColumns(),
                                                     s_.batch.busyTimeoutMs);
        }
        return *batch_;
    }

    // Commits the open batch; false, with the batch lost and said, when it fails.
    bool flush() {
        if (!batch_) return true;
        try {
            batch_->commit();
        } catch (const RunError& e) {
            lost(e);
            return false;
        }
        takeCommitted();
        return true;
    }

    void lost(const RunError& e) {
        const int rows = batch_ ? batch_->pending() : 0;
        batch_.reset();
        stop_ = true;
        out_.end = End::BatchLost;
        out_.lostRows = rows;
        out_.refusal = e.description();
        QString text = SaveErrorText(e);
        if (rows > 0) {
            // None of the batch was stored: the rows, links, count and panels go back to the
            // first reading of it, so that carrying on stores it next.
            out_.state = beforeBatch_;
            text += "\r\n\r\n" + QString::number(rows) +
                    " rows were not stored; the links are back at the first of them.";
        }
        out_.state.fetched = true;
        progress_.showState(out_.state);
        progress_.say(text);
        saveFailed(SheetImportReport::Failure::CommitFailed, e.description());
    }

    void takeCommitted() {
        if (!batch_) return;
        const ReadingIntake::Tally t = batch_->takeCommitted();
        if (t.stored() + t.failed == 0) return;
        out_.stored += t;
        // The state of the run so far: never complete while one of its readings lacks its values.
        using Calculation = SheetImportReport::Calculation;
        const ReadingIntake::Tally& r = out_.stored;
        report().calculation = r.failed + r.noElement > 0 ? Calculation::Failed
                               : r.raw > 0                ? Calculation::Bypassed
                                                          : Calculation::Complete;
        if (t.failed > 0 && !s_.ignoreErrors)
            report().saveFailed =
                SheetImportReport::SaveFailure{SheetImportReport::Failure::CalculatorError, {}};
        if (t.noElement > 0)
            report().saveFailed = SheetImportReport::SaveFailure{
                SheetImportReport::Failure::MissingElement,
                MissingElementText(s_.project, batch_->missingElements(), r.noElement)};
        told();
    }

    // The windows' turn between rows: a batch at its end is committed first, so that no other
    // window waits on the database meanwhile. False when the commit failed or a stop was asked.
    bool yield() {
        if (!clock_.due(batch_ ? batch_->pending() : 0)) return true;
        const bool stored = flush();
        clock_.restart();
        progress_.showState(out_.state);
        if (progress_.yieldAndCheckCancel()) stop_ = true;
        return stored;
    }

    // Says `text` once the batch is stored; false when the batch was lost instead.
    bool sayStored(const QString& text) {
        if (!flush()) return false;
        progress_.say(text);
        return true;
    }

    void stopAt(End end, const QString& why, std::optional<int> focusRow) {
        out_.end = end;
        out_.refusal = why;
        out_.focusRow = focusRow;
        out_.stopSheetRow = sheetRow();
    }

    // The row refused: the run stops on it, named by its sheet row and date, for `why`.
    void refuse(const QString& why, const QDateTime& date, int focusRow) {
        const QString text = GetMlString(1028, "Data Validation Failed. Current row not saved.") + " " +
                             rowNamed(date) + (why.isEmpty() ? QString() : " " + why);
        stopAt(End::Refused, text, focusRow);
        stopReported(End::Refused, text);
    }

    QString badDateText() const {
        const QString text = out_.state.columns.current[size_t(dateRow_)];
        const QString ref = out_.state.cells[size_t(dateRow_)];
        const auto cell = AdvanceCellReference(ref);
        if (!linked(s_, dateRow_) || !cell) return Refusal::notADate("The date box", text).text;
        return Refusal::notADate("Sheet row " + QString::number(cell->previousRow) + ", cell " + ref + " (" +
                                     s_.rows[size_t(dateRow_)].caption + "),",
                                 text)
            .text;
    }

    // Where a row that was not stored came from: its sheet row and date.
    QString rowNamed(const QDateTime& date) const {
        const std::optional<int> row = sheetRow();
        const QString when = ShortDateTimeText(date);
        if (s_.openingReading || !row) return "The reading dated " + when + " was not stored.";
        return "Sheet row " + QString::number(*row) + ", dated " + when + ", was not stored.";
    }

    // One row: check, store, roll over, move on. False when the run ends here.
    bool importOne() {
        HistoryColumns& cols = out_.state.columns;
        const QString dateText = cols.current[size_t(dateRow_)];
        const std::optional<QDateTime> date = ParseEntryDate(dateText);
        if (!date) {
            // Only an empty date cell is the sheet's end; any other text there is a bad date.
            if (s_.allRows && dateText.isEmpty()) {
                out_.end = End::SheetEnd;
                out_.state.fetched = false;
                return false;
            }
            const QString bad =
                GetMlString(1029, "BAD DATE - Data Validation Failed. Current row not saved.") + " " +
                badDateText();
            stopAt(End::BadDate, bad, dateRow_);
            stopReported(End::BadDate, bad);
            if (s_.allRows) sayStored(bad);
            return false;
        }
        if (!yield()) return false;
        // A sheet row imported before is passed over: one train has one reading at a date.
        bool stored = false;
        try {
            stored = batch().isStored(parseDbDate(dbDateText(*date)));
        } catch (const RunError& e) {
            lost(e);
            return false;
        }
        if (stored) {
            ++out_.skipped;
            advance();
            counted();
            told();
            return true;
        }

        std::array<EntryRow, ItemCount> rows = s_.rows;
        for (size_t k = 0; k < rows.size(); ++k) {
            rows[k].text = cols.current[k];
            rows[k].earlier1 = cols.earlier1[k];
        }
        ReadingValues r;
        const EntryCheck c = CheckReading(s_.project, rows, cols.times[0], s_.ignoreErrors,
                                          p_.DecimalSeparatorCode, r, s_.now);
        const QString refusal = c.missingRow >= 0 ? MissingFieldText(rows[size_t(c.missingRow)].caption)
                                                  : c.messages.value(0).section(QLatin1Char('\r'), 0, 0);
        for (size_t k = 0; k < rows.size(); ++k)
            cols.current[k] = rows[k].text; // required rows filled from the reading before
        const bool refused = c.outcome == EntryCheck::Refuse;
        // No write lock is held while a message waits.
        if (!c.messages.isEmpty() && !flush()) return false;
        for (const QString& m : c.messages)
            progress_.say(refused ? m + "\r\n\r\n" + rowNamed(*date) : m);
        if (c.elapsedCaption) cols.times[0] = *c.elapsedCaption;
        if (c.missingRow >= 0 || c.dateFailed) saveFailed(SheetImportReport::Failure::MissingValue);
        if (refused) {
            // The check's own words stay: the field missing, or the rule that failed.
            refuse(refusal, *date, c.focusRow >= 0 ? c.focusRow : dateRow_);
            return false;
        }
        const bool raw = c.outcome == EntryCheck::StoreRaw;
        if (raw) {
            // Stored raw: the rows show the values as stored.
            for (int k = 0; k < ItemCount; ++k) {
                const int i = rows[size_t(k)].item;
                if (k == dateRow_ || s_.hidden[size_t(k)] || i <= 0 || i >= ItemCount) continue;
                cols.current[size_t(k)] = r.empty[size_t(i)] ? QString() : GeneralNumber(r[i]);
            }
        }
        if (!store(r, raw)) return false;
        if (!s_.allRows && !flush()) return false;
        if (!yield()) return false;
        std::array<bool, ItemCount> keep{};
        keep.fill(true); // the entry column stays until the next fetch
        RollOver(cols, keep, dateRow_);
        // The opening reading of a train without readings is the reference state, not a sheet
        // row: the links stay on the row they name, and nothing counts as imported.
        if (s_.openingReading) return true;
        ++out_.state.imported;
        advance();
        report().stored = SheetImportReport::Stored{out_.lastSheetRow};
        counted();
        told();
        progress_.showState(out_.state);
        return true;
    }

    bool store(ReadingValues r, bool raw) {
        try {
            BalanceImportedReading(r, s_.project.NumBanks, s_.project.SystemData, s_.ignoreErrors);
        } catch (const RunError& e) {
            // The row's own failure: what the batch holds is stored before it is said.
            if (!sayStored(SaveErrorText(e) + "\r\n\r\n" + rowNamed(r.TheDate))) return false;
            saveFailed(SheetImportReport::Failure::MissingValue);
            refuse(e.description(), r.TheDate, dateRow_);
            return false;
        }
        try {
            ReadingIntake& b = batch();
            if (b.pending() == 0) beforeBatch_ = out_.state;
            // Stored as it is shown, to the second, so the row is found by its date as well.
            r.TheDate = parseDbDate(dbDateText(r.TheDate));
            const ReadingIntake::Outcome o =
                b.add(r.TheDate, ReadingColumnValues(b.project(), r, s_.eventId, s_.note), raw);
            takeCommitted();
            if (o == ReadingIntake::Outcome::CalculationFailed) {
                // The row was not stored: what the batch holds is, before it is said.
                const QString failure = b.failureText();
                if (!flush()) return false;
                const QString text = Refusal::calculationFailed(failure).text + "\r\n\r\n" +
                                     rowNamed(r.TheDate) + "\r\n\r\n" +
                                     GetMlString(601, "Data was not saved.");
                stopAt(End::CalculationFailed, text, dateRow_);
                if (!s_.ignoreCalcErrors) progress_.say(text);
                saveFailed(SheetImportReport::Failure::CalculationFailed, text);
                return false;
            }
        } catch (const RunError& e) {
            lost(e);
            return false;
        }
        return true;
    }

    // The next sheet row into the entry column. A row fetched in part is no reading: the
    // entry column keeps the row stored last, and the run ends rather than store it again.
    bool fetchNext() {
        const RowFetchFailure f = FetchSheetRow(s_, out_.state, source_);
        if (!f) return true;
        out_.end = End::FetchFailed;
        out_.fetch = f;
        out_.stopSheetRow = sheetRow();
        if (f.windowClosed) return false;
        // No write lock is held while the message waits; a batch lost meanwhile says so itself.
        if (!flush()) return false;
        out_.refusal = ReportFetchFailure(s_, out_.state, f, progress_);
        return false;
    }

    Program& p_;
    const SheetImportSetup& s_;
    LinkRowSource& source_;
    SheetImportProgress& progress_;
    BatchClock clock_;
    const int dateRow_;
    std::unique_ptr<ReadingIntake> batch_;
    SheetImportState beforeBatch_;
    SheetImportOutcome out_;
    bool stop_ = false;
};

} // namespace

RowFetchFailure FetchSheetRow(const SheetImportSetup& setup, SheetImportState& state, LinkRowSource& source) {
    std::array<QString, ItemCount> texts = state.columns.current;
    state.fetched = false;
    const FetchedRow f =
        FetchLinkedRow(source, fetchRows(setup, state), texts, dateRowOf(setup), setup.project, setup.now);
    if (f.failure) return f.failure;
    for (int k = 0; k < ItemCount; ++k) {
        // An optional item the sheet does not give has no value: it is not the one shown before.
        if (!linked(setup, k) && !setup.openingReading && ItemIsOptional(setup.rows[size_t(k)].item))
            texts[size_t(k)].clear();
    }
    state.columns.current = texts;
    state.columns.times[0] = f.elapsed.value_or(QString());
    state.fetched = true;
    return {};
}

QString ReportFetchFailure(const SheetImportSetup& setup, SheetImportState& state, const RowFetchFailure& f,
                           SheetImportProgress& progress) {
    const size_t k = size_t(f.row);
    const QString text = "Cell " + state.cells.at(k) + " (" + setup.rows.at(k).caption +
                         ") was not fetched: " + f.cause + " (" + QString::number(f.error) + ").";
    state.report.stop = SheetImportReport::Stop{SheetImportEnd::FetchFailed, text};
    progress.showReport(state.report);
    progress.showState(state);
    progress.say(f.noApplication ? GetMlString(1033, "You must open Excel first.  Open an excel spreadsheet "
                                                     "with valid data and try again.")
                                 : text);
    return text;
}

SheetImportOutcome RunSheetImport(Program& p, const SheetImportSetup& setup, const SheetImportState& start,
                                  LinkRowSource& source, SheetImportProgress& progress) {
    return Run(p, setup, start, source, progress).run();
}

} // namespace hv
