#pragma once
#include <QString>
#include <vector>

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

} // namespace hv
