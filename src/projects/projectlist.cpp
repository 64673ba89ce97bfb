#include "projects/projectlist.h"

#include "core/numbers.h"
#include "core/program.h"
#include "platform/database.h"

namespace hv {

QString ProjectListItem(const QString& projectId, int train) {
    return projectId + " Train:" + QString::number(train);
}

ProjectKey SplitProjectItem(const QString& text, qint16 fallbackTrain) {
    // The item ends in the train, so an ID that itself holds "Train:" splits at the last one.
    const int at = text.lastIndexOf("Train:");
    if (at < 1) return {text, fallbackTrain};
    bool ok = false;
    const double v = LocaleToDouble(text.mid(at + 6).trimmed(), &ok);
    if (!ok || v < -32768.5 || v > 32767.5) return {text, fallbackTrain};
    return {text.left(at - 1), conv::roundToInt16(v)};
}

ProjectListing ListProjectTrains(Program& p, bool createMode) {
    ProjectListing out;
    if (createMode) out.items << StartNewProjectItem;
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows = db.select("SELECT ProjectID, NumTrains, TrainNumber FROM ProjectInfo ORDER BY "
                                  "ProjectID ASC, TrainNumber ASC, ID ASC");
    if (rows.isEmpty()) {
        out.items << NoProjectsItem;
    } else {
        int matched = 0;
        int count = 0;
        for (const DbRow& r : rows) {
            ++count;
            const QString id = r.isNull("ProjectID") ? QString() : r.toText("ProjectID");
            const qint16 train = r.isNull("TrainNumber") ? 0 : r.toInt16("TrainNumber");
            out.items << ProjectListItem(id, train);
            if (id == p.CurrentProject.ProjectID && train == p.CurrentProject.TrainNumber) matched = count;
        }
        if (!createMode && matched > 0) out.selected = matched - 1;
    }
    return out;
}

QStringList ElementModels(const Program& p) {
    QStringList out;
    const int n = std::min<int>(p.ElementListUpper, int(p.ElementList.size()));
    for (int i = 0; i < n; ++i)
        out << p.ElementList[size_t(i)].Model;
    return out;
}

} // namespace hv
