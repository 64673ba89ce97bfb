#pragma once
#include <QString>
#include <array>
#include <optional>

#include "collection/readingitems.h"

namespace hv {

struct Program;

// The texts the entry window shows for its rows from the two newest readings and the
// reference row. A box left nullopt is not written and keeps what it shows.
struct EntryHistory {
    std::array<std::optional<QString>, ItemCount> current, earlier1, earlier2, reference;
    std::array<std::optional<QString>, 4> times; // elapsed hours: entry, Earlier-1, Earlier-2, reference
    bool firstUse = false; // the train has no reading: the reference reading is proposed
};

// The texts for rows showing the items in `order` (row k shows item order[k]) for the
// current project train. The proposed date is the newest reading's plus the interval.
// A missing ProjectInfo row is DbError 3021; database failures are DbErrors too.
EntryHistory ReadEntryHistory(Program& p, const std::array<int, ItemCount>& order, double intervalMinutes);

// A stored value as the window shows it: Null as nothing, numbers in the locale's general
// form, other values as their text.
QString StoredValueText(const QVariant& v);

} // namespace hv
