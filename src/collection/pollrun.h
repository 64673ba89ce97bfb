#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "collection/reading.h"
#include "collection/readingcheck.h"
#include "collection/rowlinks.h"
#include "core/projectrecord.h"
#include "platform/bulkwork.h"
#include "platform/dberror.h"

namespace hv {

struct Program;

// How one poll goes.
struct PollSetup {
    ProjectInfoRecord project; // stored for and normalized against
    // Each input row's item, caption, flags and newest stored text; a row's text is what its
    // entry box holds, which a row without a link keeps.
    std::array<EntryRow, ItemCount> rows;
    std::vector<RowLink> links; // each row's link
    int eventId = 0;
    QString note; // as typed
    QDateTime now;
    int decimalCode = 0;
};

// What a poll read: the entry column with each linked row's answer, the date in the
// computer's own form, and the entry column's elapsed hours (none without a date row).
struct PolledValues {
    RowFetchFailure fetch; // the fetch that failed: the texts are then the setup's
    std::array<QString, ItemCount> texts;
    std::optional<QString> elapsed;
};

// Fetches every linked row once.
PolledValues PollLinks(const PollSetup& setup, LinkRowSource& source);

// What became of one poll.
struct PollOutcome {
    enum class End {
        FetchFailed, // a link failed: nothing was checked or stored
        Stopped,     // the caller went away while the links answered
        Refused,     // the checks refused the reading: `check` says why
        SaveFailed,  // the bank balance or the database failed: `error` says why
        Taken,       // the intake took the reading: `saved` says what became of it
    };
    End end = End::FetchFailed;
    PolledValues read;     // after the checks, required rows filled from the reading before
    EntryCheck check;      // the checks' verdict, messages and row at fault
    ReadingValues reading; // the values checked and, once taken, balanced as stored
    QString note;          // the note as stored
    SavedReading saved;    // the intake's outcome
    std::optional<RunError> error;
};

// One poll of the links: the linked rows fetched, the window system's turn (where a caller
// that went away stops it), the reading checked as a typed one, balanced and stored through
// the intake with its note and event. What is stored is what was fetched.
PollOutcome RunPoll(Program& p, const PollSetup& setup, LinkRowSource& source, RunProgress& progress);

} // namespace hv
