#pragma once
#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace hv {

// A project train as every project list offers it. The list text is for people; the key
// travels as the item's data, so an ID that itself holds "Train:" is never cut apart.
struct ProjectTrainKey {
    QString projectId;
    qint16 train = 0;
    bool operator==(const ProjectTrainKey& o) const { return projectId == o.projectId && train == o.train; }
};

// "<ProjectID> Train:<n>", the text of a project list item.
QString ProjectTrainText(const QString& projectId, int train);
inline QString ProjectTrainText(const ProjectTrainKey& key) {
    return ProjectTrainText(key.projectId, key.train);
}

// The item data roles that carry the key on a list or combo box item.
inline constexpr int ProjectIdRole = Qt::UserRole + 1;
inline constexpr int TrainNumberRole = Qt::UserRole + 2;

// The key read back from an item's two data roles; empty when the item carries none.
inline ProjectTrainKey ProjectTrainOf(const QVariant& projectId, const QVariant& train) {
    if (!projectId.isValid()) return {};
    return {projectId.toString(), qint16(train.toInt())};
}

} // namespace hv
