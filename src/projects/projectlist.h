#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace hv {

struct Program;

inline const char* StartNewProjectItem = "START NEW PROJECT";
inline const char* NoProjectsItem = "NO PROJECTS FOUND - CREATE A NEW PROJECT";

// "<ProjectID> Train:<n>"
QString ProjectListItem(const QString& projectId, int train);

// A list text split into project ID and train at its last "Train:". Without one (or with
// it first), or when no number follows it, the whole text is the ID and the train is the
// fallback.
struct ProjectKey {
    QString projectId;
    qint16 train = 0;
};
ProjectKey SplitProjectItem(const QString& text, qint16 fallbackTrain);

// The project list of the window: the trains of the open database by project ID, with
// the placeholder items, and the item to select (the current project's train).
struct ProjectListing {
    QStringList items;
    int selected = 0;
};
ProjectListing ListProjectTrains(Program& p, bool createMode);

// The models of the loaded elements, in list order.
QStringList ElementModels(const Program& p);

} // namespace hv
