#include "maintenance/projectdeletion.h"

#include "core/mlstring.h"
#include "core/program.h"

namespace hv {

namespace {

const char* Suffixes[] = {" Data Records", " Inputorder Recs", " Scada config Recs", " Scada Import Recs",
                          " UserGraphs Recs"};

} // namespace

QString CollectingWindowOpen(const Program& p) {
    if (p.DataEntryOpen) return QStringLiteral("Data Entry");
    if (p.ImportWindowOpen) return QStringLiteral("Import Data");
    return {};
}

QString DeletedCountText(DeletedTable table, qint64 count) {
    return GetMlString(803, "Deleted ") + QString::number(count) + GetMlString(804, Suffixes[int(table)]);
}

qint64 ProjectTrainReadingCount(Database& db, const QString& projectId, qint16 train) {
    return db
        .scalar(QStringLiteral("SELECT count(*) FROM Data WHERE (ProjectID = ?) AND (TrainNumber = ?)"),
                {projectId, train})
        .toLongLong();
}

ProjectDeletion DeleteProjectTrain(Database& db, const QString& projectId, qint16 train,
                                   const DeletionProgress& progress, int batchSize) {
    ProjectDeletion result;
    Transaction t(db);
    for (int i = 0; i < int(DeletedTableNames.size()); ++i) {
        const QString table = DeletedTableNames[size_t(i)];
        if (!db.hasTable(table)) continue;
        const QString name = quoteIdent(table);
        // Batches keep the window live on a train of many thousand readings.
        const QString sql = "DELETE FROM " + name + " WHERE rowid IN (SELECT rowid FROM " + name +
                            " WHERE (ProjectID = ?) AND (TrainNumber = ?) ORDER BY rowid LIMIT ?)";
        qint64& count = result.counts[size_t(i)];
        for (;;) {
            const int n = db.exec(sql, {projectId, train, batchSize});
            if (n <= 0) break;
            count += n;
            if (progress) progress(DeletedTable(i), count);
        }
    }
    result.projectRows =
        db.exec("DELETE FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)", {projectId, train});
    t.commit();
    return result;
}

} // namespace hv
