#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "core/projecttrainkey.h"

namespace hv {

struct Program;

inline const char* StartNewProjectItem = "START NEW PROJECT";
inline const char* NoProjectsItem = "NO PROJECTS FOUND - CREATE A NEW PROJECT";

// The project list of the window: the trains of the open database by project ID, with
// the placeholder items, each train's key, and the item to select (the current project's train).
struct ProjectListing {
    QStringList items;
    std::vector<std::optional<ProjectTrainKey>> keys; // one per item; none for the placeholders
    int selected = 0;
};
ProjectListing ListProjectTrains(Program& p, bool createMode);

// The models of the loaded elements, in list order.
QStringList ElementModels(const Program& p);

} // namespace hv
