#include "core/projecttrainkey.h"

namespace hv {

QString ProjectTrainText(const QString& projectId, int train) {
    return projectId + QStringLiteral(" Train:") + QString::number(train);
}

} // namespace hv
