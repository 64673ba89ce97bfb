#include "projects/projectlist.h"

#include "core/program.h"
#include "platform/database.h"

namespace hv {

ProjectListing ListProjectTrains(Program& p, bool createMode) {
    ProjectListing out;
    const auto placeholder = [&out](const char* text) {
        out.items << text;
        out.keys.push_back(std::nullopt);
    };
    if (createMode) placeholder(StartNewProjectItem);
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows = db.select("SELECT ProjectID, NumTrains, TrainNumber FROM ProjectInfo ORDER BY "
                                  "ProjectID ASC, TrainNumber ASC, ID ASC");
    if (rows.isEmpty()) {
        placeholder(NoProjectsItem);
    } else {
        int matched = 0;
        int count = 0;
        for (const DbRow& r : rows) {
            ++count;
            const QString id = r.isNull("ProjectID") ? QString() : r.toText("ProjectID");
            const qint16 train = r.isNull("TrainNumber") ? 0 : r.toInt16("TrainNumber");
            out.items << ProjectTrainText(id, train);
            out.keys.push_back(ProjectTrainKey{id, train});
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
