#pragma once
#include <QString>
#include <optional>
#include <vector>

#include "platform/database.h"

namespace hv {

// One saved graph as the browser shows it.
struct SavedGraphRow {
    QString GraphName;
    qint64 ID = 0;
    QString ProjectID;
};

// The saved graphs of one project, every train and the "Last Graph" rows, held in memory
// in the database's order and stepped through like a static recordset: a position before
// the first row (BOF) and after the last (EOF), and a deleted row that stays current until
// the next move. Errors are DbError; a move or delete without a current row is 3021.
class SavedGraphRecordset {
public:
    // Opens its own connection to the project database and reads the project's rows.
    void Open(const QString& databasePath, const QString& projectId);
    // The same query again, positioned on the first row.
    void Requery();

    int RecordCount() const { return int(rows_.size()); }
    bool atBOF() const { return rows_.empty() || pos_ < 0; }
    bool atEOF() const { return rows_.empty() || (pos_ >= RecordCount() && !deleted_); }
    bool HasCurrent() const { return !deleted_ && pos_ >= 0 && pos_ < RecordCount(); }
    const SavedGraphRow& Current() const;
    // 1 for the first row; 0 when there is no current row.
    int AbsolutePosition() const { return HasCurrent() ? pos_ + 1 : 0; }

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // Deletes the current row from the database at once.
    void Delete();

private:
    std::optional<Database> db_;
    QString projectId_;
    std::vector<SavedGraphRow> rows_;
    int pos_ = 0;
    bool deleted_ = false;
};

// The description of error 3021.
extern const QString NoCurrentRecordText;

} // namespace hv
