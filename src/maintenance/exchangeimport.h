#pragma once
#include <QDateTime>
#include <QString>
#include <vector>

#include "maintenance/exchangeexport.h"
#include "maintenance/exchangefile.h"

namespace hv {

struct Program;

// What a file choice found out, kept by the import window until the import.
struct ImportChoice {
    QString ImportFileName;
    bool ImportDecimalComma = false;
    bool FileIsOlder = false;
    ExchangeHeader header;
    ExchangeColumns projectColumns;           // line 2, checked against ProjectInfo
    std::vector<ExchangeValue> projectValues; // line 3
    QString FileProjectID;
    QString FileDateReference;
    QString FileDescription;
    qint16 FileTrainNumber = 0;
    bool ProjectExists = false;
    bool OverwriteProject = false;
    bool accepted = false; // the Import button may run it
};

enum class ChoiceOutcome { Refused, NewProject, Overwrite, AddOnly, Cancelled };

// Reads and checks lines 1 to 4 of the file, says when it is older than the program, and asks
// what to do when its project train exists. Every refusal is shown here. A refusal or Cancel
// withdraws the earlier choice.
ChoiceOutcome ChooseImportFile(Program& p, const QString& path, ImportChoice& choice);

struct ImportRange {
    bool all = true;
    QDateTime from; // DTPicker1
    QDateTime to;   // DTPicker2
};

struct ImportResult {
    bool refused = false;        // nothing was written
    bool projectWritten = false; // a new or replaced ProjectInfo row
    bool focusTo = false;
    bool finished = false;     // the summary was shown
    qint64 inserted = 0;       // stored with their calculated values (or raw, their element missing)
    qint64 withoutResults = 0; // of those, stored raw: the element is missing
    qint64 skipped = 0;        // out of the date range
    qint64 alreadyStored = 0;  // dates the project train already held: not stored again
    qint64 failed = 0;         // not stored: their calculation failed
    qint64 repeated = 0;       // lines of a date an earlier line of the file holds: not stored again
    QString repeatedLines;     // the first of them, named for the summary
    QString firstFailure;
    QString lastProjectId; // of the last reading line read
};

// The Import button. The file is read once and each line checked as it is stored: a line cut
// short or refused, a reading of another project or train, a first reading that does not match
// the project, or Cancel undoes everything stored before it, so that a refused file writes
// nothing. Each reading goes in through the ReadingIntake: a date the train already holds, or an
// earlier line of the file, is skipped, counted and (for the file's own repeats) named by line,
// and a reading whose calculation fails is not stored; without the project's element a reading is
// refused where its calculation would be, and stored without the file's calculated values. A
// stored project row that is kept must hold every item the readings are calculated with; one it
// lacks is named. The project row, its user-defined row and the readings of the range are
// written in one transaction, so that an import that does not finish (a database failure, a
// lock, a cancel between turns) leaves the database as it was. At the end a file older than the
// program offers to recalculate the project train. Status texts go to the panels of `progress`,
// which yields between batches and may cancel.
ImportResult RunImport(Program& p, ImportChoice& choice, const ImportRange& range,
                       RunProgress& progress = NoProgress());

} // namespace hv
