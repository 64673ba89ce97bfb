#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "collection/reading.h"
#include "core/typedinput.h"

namespace hv {

struct Program;

// What the checks read of one input row.
struct EntryRow {
    int item = 0;          // the item the row shows; -1 none
    QString caption;       // the item's list text
    QString text;          // the entry column's text
    QString earlier1;      // the newest stored reading's text
    bool required = false; // the row must hold a value (a hidden required box does not count)
    bool keep = false;     // keep-value box
};

// The outcome of the checks before a reading is stored.
struct EntryCheck {
    enum Outcome { Store, StoreRaw, Refuse };
    Outcome outcome = Refuse;
    int focusRow = -1;   // the row to give the focus; -1 when no row shows the item at fault
    int missingRow = -1; // the first required row without a value
    bool dateFailed = false;
    QStringList messages;                  // message boxes, in order
    std::optional<QString> elapsedCaption; // new text of the entry column's elapsed hours
    bool passed() const { return outcome != Refuse; }
};

// The row showing the date: the first row showing item 0, else row 0.
int DateRow(const std::array<int, ItemCount>& order);

// The pressure rules by bank count: each rule is handed to `rule` with whether it
// fails, its text id, its text, the item to put the focus on and the items whose boxes
// it reads. `rule` returns whether the rule failed; the first failure ends the rules.
using CheckRule = std::function<bool(bool fails, long id, const QString& text, int focusItem,
                                     const std::vector<int>& boxes)>;
void PressureRules(int numBanks, const ReadingValues& r, const CheckRule& rule);

// The checks of data entry and the spreadsheet import: an order that shows an item twice
// (and so another in no row) refuses the reading, in both modes; then required rows, then
// every row read into `r`, then the pressure rules by bank count and the common rules. The
// first failed rule ends the checks with one message, which names the boxes it read and
// their values. A required row holding "N/A" or "No Data" has no value (save a user item in
// the reading at the reference date, the reference state, which has none). A required row
// filled from its previous reading has its text changed in `rows`. With `ignoreErrors` a
// missing value or a failed plausibility rule stores the reading raw, the rule without its
// message, and the 32 F rule raw with its message; a bad or missing date refuses it in both
// modes. `now` is the clock the
// future-date rule compares with.
EntryCheck CheckReading(const ProjectInfoRecord& cp, std::array<EntryRow, ItemCount>& rows,
                        const QString& elapsedCaption, bool ignoreErrors, int decimalCode, ReadingValues& r,
                        const QDateTime& now);

// "A REQUIRED FIELD, <caption> HAS NO DATA. SAVE FAILED!"
QString MissingFieldText(const QString& caption);
// The cause of a refused reading in one line: the missing field, else the first line of
// the first message.
QString RefusalText(const EntryCheck& check, const std::array<EntryRow, ItemCount>& rows);

// Hours since the reference date plus the reference hours.
double ElapsedHoursAt(const QDateTime& when, const ProjectInfoRecord& cp);

// Elapsed hours as every hour heading shows them: two decimals in the computer's own form,
// its group separators included.
QString FormatHours(double hours);

// The relative change of a value against the previous one, |prev - new| / mean; nullopt
// when either is 0 or the texts give no change to compare (empty, or a zero mean).
std::optional<double> ChangeAgainstPrevious(const QString& text, const QString& previous);
// "Data is more than 28.30% different ..." question text.
QString ChangeWarningText(double change);

} // namespace hv
