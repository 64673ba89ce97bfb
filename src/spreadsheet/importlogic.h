#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "collection/entryhistory.h"
#include "collection/inputconfig.h"
#include "collection/reading.h"
#include "collection/readingitems.h"
#include "core/projectrecord.h"

namespace hv {

struct Program;

// A cell reference "R<row>C<col>" one sheet row further down ("r5c3" -> "R6c3"), with
// the row it held; nullopt for any other text, which stays as it is.
struct AdvancedReference {
    QString text;
    int previousRow = 0;
};
std::optional<AdvancedReference> AdvanceCellReference(const QString& ref);

// Row 0's row part given to every other reference that names a column ("R6C1" in row 0
// makes "R10C3" into "R6C3"); the references unchanged when row 0's has no column.
void CopyRowPart(std::array<QString, ItemCount>& refs);

// The bank balance of an imported reading. In ignore mode a zero permeate flow where the
// balance divides by it gives a conductivity of 0 instead of failing (two banks entered
// as system values, or three banks).
void BalanceImportedReading(ReadingValues& r, int numBanks, bool systemData, bool ignoreErrors);

// The unit label of an import row: as the entry window's, with the system and bank tags
// of the pressures and second bank kept for three banks as well.
UnitLabel ImportUnitLabel(int i, const ProjectInfoRecord& cp, const UserItems& user);

// The entry column the import proposes from the stored readings: on a train without readings
// the reference values, stored as its opening reading, else the newest reading, with the date
// one interval on.
std::array<std::optional<QString>, ItemCount> ImportEntryColumn(const EntryHistory& h,
                                                                const std::array<int, ItemCount>& order);

// Replaces the train's ScadaImport rows with one per input row, in one transaction. An
// item that does not begin with "R" is stored (and returned changed) as "R6C6".
void SaveImportLinks(Program& p, const QString& projectId, int train, std::vector<ScadaRow>& links);

} // namespace hv
