#pragma once
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "collection/readingitems.h"

namespace hv {

struct Program;
class Database;

// The order of the input rows: row k shows item order[k].
using RowOrder = std::array<int, ItemCount>;

// The identity order: row k shows item k.
RowOrder IdentityOrder();

// The stored order of a project train, read by column position (the column names are
// only labels: position 23 is named PermBackPress_3 but holds row 23's item); nullopt
// when the table has no row. A position whose column the table lacks, or holding no
// item number, keeps row k on item k, as the identity order does: a row without an item
// would leave an item that no row shows. DbError on failure.
std::optional<RowOrder> ReadInputOrder(Program& p, const QString& projectId, int trainNumber);

// Rows whose item another row repeats (two rows without an item count as equal).
std::array<bool, ItemCount> RepeatedRows(const RowOrder& order);

// What is wrong with an order, if anything: the first item that more than one row shows,
// else the first item that no row shows; nullopt when every item has a row of its own.
struct OrderFault {
    int item = 0;
    bool repeated = true; // false: no row shows the item
};
std::optional<OrderFault> FindOrderFault(const RowOrder& order);
// The refusal of a reading or of an order with that fault; `name` names the item.
QString OrderFaultText(const OrderFault& fault, const QString& name, bool orderSave);

// The DDE source and flags of one input row, stored by the item it shows.
struct ScadaRow {
    QString field; // the Data column name of the item
    bool useScada = false;
    QString application, topic, item;
    bool required = true;
    bool useDefault = false;
    bool hide = false;
};

// The link rows of data entry (table Scada) and of the spreadsheet import (ScadaImport,
// which keeps no Hide flag).
enum class LinkTable { Scada, ScadaImport };
// The stored rows of the project train, else those of 'Default' train 1; empty when
// neither has any. DbError on failure.
std::vector<ScadaRow> ReadScadaRows(Program& p, const QString& projectId, int trainNumber,
                                    LinkTable table = LinkTable::Scada);

// The settings of input row k when nothing is stored, in both windows: the spreadsheet
// cell R<k+1>C1 of Excel's Sheet1, required, not linked, no kept value, shown.
ScadaRow DefaultScadaRow(int k);

// Stores the row order of a project train: its first InputOrder row is updated by
// position, or a row inserted. DbError on failure, with nothing changed.
void SaveInputOrder(Program& p, const QString& projectId, int trainNumber, const RowOrder& order);

// Stores the row order and the rows' DDE settings of a project train in one transaction:
// the first InputOrder row is updated by position (or a row inserted), the train's Scada
// rows replaced. Empty texts are stored as 'NA'. On failure nothing is changed and the
// DbError reaches the caller.
void SaveInputConfig(Program& p, const QString& projectId, int trainNumber, const RowOrder& order,
                     const std::vector<ScadaRow>& rows);

// The polling settings of a project train in section "Projects" of the settings file.
// The minutes an interval box or setting holds, read by the one number reader; a text it
// cannot read gives 0, which the interval's own rules raise to their least.
double IntervalMinutesOf(const QString& text);

struct PollingSettings {
    double intervalMinutes = 120;
    bool useScada = false;
    bool autoLink = false;
};
// A flag as the settings file holds it: "TRUE" in any case, or a number other than 0.
bool IniFlag(const QString& text);
PollingSettings ReadPollingSettings(Program& p, const QString& projectId, int trainNumber);
// Writes the three keys; an interval below 10 minutes is stored as 10. Returns the
// interval stored.
double WritePollingSettings(Program& p, const QString& projectId, int trainNumber, const PollingSettings& s);

// Texts of the polling reports.
QString NoServerText(const QString& linkTopic); // no program of the topic's application runs
// A link that could not be opened, by its cause: NoServerText when no program of that name
// runs, else the link layer's own words (a topic refused, an answer that is no link message).
QString OpenFailedText(const QString& linkTopic, bool applicationMissing, const QString& cause);
// A request of a poll that failed: its number, then its cause on a line of its own.
QString RequestFailedText(int errorNumber, const QString& cause);
QString FailureCountText(int count, const QString& caption);
// Said when a link failure has switched polling off, so that a "Save Config" that stores
// it off is no surprise.
QString PollingSwitchedOffText();
// Polling needs the date from the control system: a date row without its link box ticked
// would store the first poll under the proposed date and refuse every later one.
QString DateRowUnlinkedText(const QString& dateCaption);

} // namespace hv
