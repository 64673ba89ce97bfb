#include "graphs/savedgraphbrowser.h"

namespace hv {

const QString NoCurrentRecordText = QStringLiteral("Either BOF or EOF is True, or the current record has "
                                                   "been deleted. Requested operation requires a current "
                                                   "record.");

namespace {
[[noreturn]] void noCurrentRecord() {
    throw DbError(dberr::NoCurrentRecord, NoCurrentRecordText);
}
} // namespace

void SavedGraphRecordset::Open(const QString& databasePath, const QString& projectId) {
    db_.reset();
    db_.emplace(Database::open(databasePath));
    projectId_ = projectId;
    Requery();
}

void SavedGraphRecordset::Requery() {
    if (!db_) noCurrentRecord();
    const DbRows rows =
        db_->select(QStringLiteral("SELECT GraphName, ID, ProjectID FROM UserGraphs WHERE ProjectID = ? "
                                   "ORDER BY ProjectID, ID"),
                    {projectId_});
    std::vector<SavedGraphRow> loaded;
    loaded.reserve(size_t(rows.count()));
    for (const DbRow& r : rows)
        loaded.push_back({r.isNull("GraphName") ? QString() : r.toText("GraphName"),
                          r.value("ID").toLongLong(),
                          r.isNull("ProjectID") ? QString() : r.toText("ProjectID")});
    rows_ = std::move(loaded);
    pos_ = 0;
    deleted_ = false;
}

const SavedGraphRow& SavedGraphRecordset::Current() const {
    if (!HasCurrent()) noCurrentRecord();
    return rows_[size_t(pos_)];
}

void SavedGraphRecordset::MoveFirst() {
    if (rows_.empty()) noCurrentRecord();
    pos_ = 0;
    deleted_ = false;
}

void SavedGraphRecordset::MoveLast() {
    if (rows_.empty()) noCurrentRecord();
    pos_ = RecordCount() - 1;
    deleted_ = false;
}

void SavedGraphRecordset::MoveNext() {
    if (atEOF() && !deleted_) noCurrentRecord();
    // After a deletion the following row already stands at the deleted row's place.
    if (!deleted_) ++pos_;
    deleted_ = false;
    if (pos_ > RecordCount()) pos_ = RecordCount();
}

void SavedGraphRecordset::MovePrevious() {
    if (atBOF() && !deleted_) noCurrentRecord();
    --pos_;
    deleted_ = false;
    if (pos_ < -1) pos_ = -1;
}

void SavedGraphRecordset::Delete() {
    const SavedGraphRow& row = Current();
    db_->exec(QStringLiteral("DELETE FROM UserGraphs WHERE ID = ?"), {row.ID});
    rows_.erase(rows_.begin() + pos_);
    deleted_ = true;
}

} // namespace hv
