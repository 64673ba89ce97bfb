#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "collection/readingitems.h"
#include "core/projectrecord.h"

namespace hv {

namespace links {
class LinkClient;
}

// What one input row links to: its boxes' program, topic and item when its link box is
// ticked; nothing otherwise.
struct RowLink {
    bool linked = false;
    QString application;
    QString topic;
    QString item;
};

// The first row whose link failed and the link layer's error number; row -1 when none did.
struct RowLinkFailure {
    int row = -1;
    int error = 0;
    explicit operator bool() const { return row >= 0; }
};

// A fetch of the linked rows that failed: the row whose link failed and the link layer's
// number and words.
struct RowFetchFailure {
    int row = -1;
    int error = 0;
    QString cause;
    bool noApplication = false; // no program of that name answers at all
    bool windowClosed = false;  // the window went away meanwhile: nothing more is said
    explicit operator bool() const { return row >= 0; }
};

// Sets up the input rows' links, row by row: each is closed first, then a linked row's
// opens to "program|topic" and its item, automatic or on request, and an unlinked row's is
// cleared. Set-up stops at the first row whose program is not there or does not answer in
// time and, with `stopOnAnyFailure`, at the first row that fails at all; error -1 when the
// links were deleted meanwhile.
RowLinkFailure OpenRowLinks(const std::vector<links::LinkClient*>& clients, const std::vector<RowLink>& rows,
                            bool automatic, bool stopOnAnyFailure);
// Closes every row's link.
void CloseRowLinks(const std::vector<links::LinkClient*>& clients);
// Fetches each linked row once, in row order. A row fetched in part is no reading, so the
// first failure ends the fetch; error -1 when the links were deleted meanwhile.
RowLinkFailure FetchRowLinks(const std::vector<links::LinkClient*>& clients,
                             const std::vector<RowLink>& rows);

// Where a reading's linked rows come from: a control system polled, or a sheet's cells (the
// window's links over the link layer; a fake in tests).
class LinkRowSource {
public:
    virtual ~LinkRowSource() = default;
    // Asks each linked row of `rows` once for its value, into that row's text in `texts`. A
    // reading fetched in part is none: on a failure `texts` may hold part of it and the
    // caller drops them.
    virtual RowFetchFailure fetch(const std::vector<RowLink>& rows,
                                  std::array<QString, ItemCount>& texts) = 0;
};

// One fetch of a reading's linked rows into `texts`, for polling and the sheet import alike.
// On success the date row's date is shown in the computer's short form (the seconds the
// source gave kept), and the result names the hours from the reference to it, or to `now`
// where the date row holds no date. Without a date row (-1) there are no hours.
struct FetchedRow {
    RowFetchFailure failure;
    std::optional<QString> elapsed;
};
FetchedRow FetchLinkedRow(LinkRowSource& source, const std::vector<RowLink>& rows,
                          std::array<QString, ItemCount>& texts, int dateRow,
                          const ProjectInfoRecord& project, const QDateTime& now);

} // namespace hv
