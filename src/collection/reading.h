#pragma once
#include <QDateTime>
#include <QString>
#include <QVariantList>
#include <array>
#include <optional>
#include <vector>

#include "collection/readingitems.h"
#include "core/elementrecord.h"
#include "core/projectrecord.h"
#include "normalization/intake.h"
#include "platform/dberror.h"

namespace hv {

struct Program;
class Database;

// The values of one reading as they are checked, balanced and stored, in the project's
// own units. Entered values are kept by item number.
struct ReadingValues {
    double ElapsedTimeHrs = 0;
    QDateTime TheDate;
    std::array<double, ItemCount> items{}; // items[0] is unused: the date is TheDate
    // An optional item the source gave no value for: stored as Null, not 0.
    std::array<bool, ItemCount> empty{};
    // Never entered: derived by the bank balance.
    double PermFlow_1 = 0;
    double PermuS_1 = 0;
    double PermBackPress_1 = 0;
    double FeedFlow = 0;

    double& operator[](int i) { return items[size_t(i)]; }
    double operator[](int i) const { return items[size_t(i)]; }
};

// Derives the bank-1 values from system values, or the system values from bank values,
// as the bank layout implies, then FeedFlow. A zero divisor raises DbError 11 (6 for
// 0 / 0) and leaves the values unchanged.
void ApplyBankBalance(ReadingValues& r, int numBanks, bool systemData);

// A note as it is stored: longer than 255 characters keeps its first 254; one of blanks
// alone is no note (empty), which is stored as Null.
QString NoteForStorage(const QString& note);

// One entry of the event chooser: its text and the EventID stored with a reading.
struct EventEntry {
    int id = 0;
    QString text;
};
// The six built-in events, then the user event types (EventID above 5) in EventID order.
std::vector<EventEntry> ReadEventList(Program& p);

// The raw Data columns of a reading besides TheDate, ProjectID and TrainNumber, and their
// values for the project. Every number is stored with the precision FormatValue gives it;
// an optional item without a value is a Null.
QStringList ReadingColumns();
QVariantList ReadingColumnValues(const ProjectInfoRecord& cp, const ReadingValues& r, int eventId,
                                 const QString& note);

// The alarm lines of a normalized reading against the reference. The salt passage and the
// DP are compared with what the normalization gives the reference state itself
// (`referenceSaltPassage`, `referenceDP`); a reference of 0 (or none) gives no ratio, so
// its line is left out.
QString AlarmLines(double normalizedPermFlow, double normalizedDP, double normalizedSaltPassage,
                   std::optional<double> referenceSaltPassage, std::optional<double> referenceDP,
                   const ProjectInfoRecord& cp);

// The message for a project train whose element the element database lacks, naming the
// project's element column and number; nullopt when every element it uses is there.
std::optional<QString> MissingElementText(const ProjectInfoRecord& cp,
                                          const std::vector<ElementSpecRecord>& elements);

// What became of one typed or polled reading.
struct SavedReading {
    ReadingIntake::Outcome outcome = ReadingIntake::Outcome::CalculationFailed;
    QString failure; // the calculation's own words, when it failed
    QString alarms;  // the alarm lines of a normalized reading
};
// Stores one reading of data entry under `cp`, normalized against it, through the
// intake: with its calculated values, or not at all. DbFailure when the database fails.
SavedReading StoreReading(Program& p, const ProjectInfoRecord& cp, const ReadingValues& r, int eventId,
                          const QString& note);

// The entry, previous and earlier columns of the input rows, with their elapsed hours.
struct HistoryColumns {
    std::array<QString, ItemCount> current, earlier1, earlier2;
    std::array<QString, 3> times; // elapsed hours of the three columns
};
// Shifts the columns after a save: Earlier-2 takes Earlier-1, Earlier-1 the entry, and
// the entry is cleared unless its row keeps its value. The date row (-1: none) shows the
// date in the computer's short form.
void RollOver(HistoryColumns& h, const std::array<bool, ItemCount>& keep, int dateRow);

// Texts of a failed save and of a failed normalization.
QString SaveErrorText(const RunError& e);

} // namespace hv
