#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/dbversion.h"
#include "core/projecttrainkey.h"
#include "platform/bulkwork.h"

class QIODevice;

namespace hv {

struct Program;
class SqliteConnection;

// What the export window hands the writer.
struct ExportRequest {
    int listIndex = -1; // CmbProjectId's selected entry; -1 when none
    QString entry;      // its text, for the status line
    QDateTime from;     // DTPicker1
    QDateTime to;       // DTPicker2
    bool allDates = false;
    QString outputFile;
    // The entry's project train, as the list item carries it. Only a caller without one has its
    // text read instead.
    ProjectTrainKey key;
};

// How CreateFile ended, for the window.
struct ExportResult {
    bool exportEnabled = true; // the Export button afterwards
    bool focusTo = false;      // the To picker takes the focus
    qint64 written = 0;        // reading lines written
    // The texts written with blanks for what the file cannot carry (the separator, line
    // breaks), as a person names them; empty when every text went as stored.
    QStringList alteredTexts;
    qint64 notesLeftOut = 0; // readings written whose note the file cannot carry
};

// The words that tell the user which texts an export altered; empty when none was.
QString AlteredTextsMessage(const QStringList& alteredTexts, char separator);
// The words that say how many reading notes an export left out; empty for none.
QString NotesLeftOutText(qint64 notes);

// The project ID and train number of a list entry "ID Train:N"; a train of 0 or none is 1. An ID
// that itself holds "Train:" is cut there: callers with the list item's key use that instead.
void ParseProjectEntry(const QString& entry, QString& projectId, qint16& train);

// Which readings a file takes: every one, or those from..to (stored date texts, both included).
struct ExportRange {
    bool all = true;
    QString from;
    QString to;
};

// The counts of one written file.
struct ExportCounts {
    bool projectFound = false;
    qint64 readingsOfTrain = -1; // all readings of the train (date ranges only)
    qint64 found = 0;            // readings in the range
    qint64 written = 0;
    bool cancelled = false;
    QStringList alteredTexts; // see ExportResult
    qint64 notesLeftOut = 0;  // see ExportResult
    // Why the import would refuse the file, naming the line or the reading; nothing of the file
    // stands then but what was written before the check.
    QString refusal;
};

// Writes the exchange file of one project train to out, newest reading first, each reading of
// the range once, line 1 naming `version` (else the program's database version). Database
// failures are DbError; a device that refuses a line is DbError with the device's own text.
// Nothing after line 4 is written when the range holds no reading. The exchange text (";") is
// checked by the import's rules as it is written: a value the import would refuse stops it with
// the refusal. Its counts go to panel 2 of `progress`, which yields after each page of readings
// and may cancel.
ExportCounts WriteExchangeFile(Program& p, SqliteConnection& db, QIODevice& out, const QString& projectId,
                               qint16 train, const ExportRange& range, char separator,
                               RunProgress& progress = NoProgress(),
                               const std::optional<DbVersion>& version = std::nullopt);

// The Export button: checks the request, writes OutputFileName (replaced only once the file is
// whole), shows the messages and, on the panels of `progress`, the status texts.
ExportResult CreateFile(Program& p, const ExportRequest& request, RunProgress& progress = NoProgress());

} // namespace hv
