#pragma once
#include <functional>
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

#include "collection/reading.h"

namespace hv {

struct Program;

// What the checks read of one input row.
struct EntryRow {
    int item = 0;     // the item the row shows
    QString caption;  // the item's list text
    QString text;     // the entry column's text
    QString earlier1; // the newest stored reading's text
    bool requiredShown = false;
    bool required = false;
    bool keep = false; // keep-value box
};

struct ValidationResult {
    int focusRow = -1;                     // -1: the reading may be saved
    std::optional<QString> elapsedCaption; // new text of the entry column's elapsed hours
    bool widenStatus = false;              // the status panel's failure width
    std::optional<QString> statusText;     // failure text for the status panel
};

// The pressure rules by bank count, the same for data entry and the spreadsheet import:
// each rule is handed to `rule` with whether it fails, its text id, its text and the item
// to put the focus on.
using CheckRule = std::function<bool(bool fails, long id, const QString& text, int focusItem)>;
void PressureRules(int numBanks, const ReadingValues& r, const CheckRule& rule);

// The checks before a reading is stored: required rows, then every row read into `r`,
// then the pressure rules by bank count and the common rules. Messages go through the
// program's prompts; a required row filled from its previous reading has its text
// changed in `rows`. `now` is the clock the future-date rule compares with.
ValidationResult ValidateData(Program& p, std::array<EntryRow, ItemCount>& rows,
                              const QString& elapsedCaption, ReadingValues& r, const QDateTime& now);

// A date typed into the date row (the window's "yyyy-mm-dd hh:mm" and the other usual
// forms); nullopt when the text is not a date.
std::optional<QDateTime> ParseEntryDate(const QString& text);

// Hours since the reference date plus the reference hours.
double ElapsedHoursAt(const QDateTime& when, const ProjectInfoRecord& cp);

// Elapsed hours as "#0.00" and as "#,###.00".
QString FormatHours(double hours);
QString FormatHoursGrouped(double hours);

// The relative change of a value against the previous one, |prev - new| / mean; nullopt
// when either is 0 or the texts give no change to compare (empty, or a zero mean).
std::optional<double> ChangeAgainstPrevious(const QString& text, const QString& previous);
// "Data is more than 28.30% different ..." question text.
QString ChangeWarningText(double change);

} // namespace hv
