#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "collection/reading.h"
#include "core/projectrecord.h"

namespace hv {

struct Program;

// The row showing the date: the first row showing item 0, else row 0.
int DateRow(const std::array<int, ItemCount>& order);

// A cell reference "R<row>C<col>" one sheet row further down ("r5c3" -> "R6c3"), with
// the row it held; nullopt for any other text, which stays as it is.
struct AdvancedReference {
    QString text;
    int previousRow = 0;
};
std::optional<AdvancedReference> AdvanceCellReference(const QString& ref);
// The same reference `rows` sheet rows further up; nullopt when it cannot move.
std::optional<QString> MoveReferenceUp(const QString& ref, int rows);

// Row 0's row part given to every other reference that names a column ("R6C1" in row 0
// makes "R10C3" into "R6C3"); the references unchanged when row 0's has no column.
void CopyRowPart(std::array<QString, ItemCount>& refs);

// What the row check reads of one input row.
struct ImportRow {
    int item = -1;
    QString caption;
    QString text;     // the entry box; a required row may be filled from earlier1
    QString earlier1; // the newest stored reading
    bool required = false;
    bool keep = false;
};

// The outcome of checking one imported row: -1 valid, -1000 store raw (ignore mode),
// otherwise the row that failed.
struct ImportCheck {
    int result = 0;
    bool skipCalculation = false;
    QStringList messages; // message boxes, in order
    std::optional<QString> elapsedCaption;
    std::optional<QString> panel2; // shown wide
    std::optional<QString> panel4;
    int focusRow = -1; // a missing required row
};
ImportCheck CheckImportedRow(const ProjectInfoRecord& cp, std::array<ImportRow, ItemCount>& rows,
                             const QString& elapsedCaption, bool ignoreErrors, int decimalCode,
                             ReadingValues& r, const QDateTime& now);

// The bank balance of an imported reading. In ignore mode a zero permeate flow where the
// balance divides by it gives a conductivity of 0 instead of failing (two banks entered
// as system values, or three banks).
void BalanceImportedReading(ReadingValues& r, int numBanks, bool systemData, bool ignoreErrors);

// The spreadsheet link of one input row.
struct ImportLink {
    QString application = QStringLiteral("Excel");
    QString topic = QStringLiteral("Sheet1");
    QString item;
    bool linked = false;
    bool required = true;
    bool keep = false;
};
ImportLink BuiltInImportLink(int row);
struct StoredImportLink {
    QString fieldValue;
    ImportLink link;
};
// The train's ScadaImport rows, else those of 'Default' train 1; empty when neither has any.
std::vector<StoredImportLink> ReadImportLinks(Program& p, const QString& projectId, int train);
// Replaces the train's rows with one per input row, in one transaction. An item that does
// not begin with "R" is stored (and returned changed) as "R6C6".
void SaveImportLinks(Program& p, const QString& projectId, int train, const QStringList& fields,
                     std::array<ImportLink, ItemCount>& links);

// The train's InputOrder row: the item of each input row; nullopt without a row. A Null or
// out-of-range item reads -1 (no item).
std::optional<std::array<int, ItemCount>> ReadImportOrder(Program& p, const QString& projectId, int train);
// Updates the train's row, or inserts one.
void SaveImportOrder(Program& p, const QString& projectId, int train,
                     const std::array<int, ItemCount>& order);

} // namespace hv
