#include "projects/projecttext.h"

#include <QLocale>
#include <QStringList>
#include <QVariant>

#include "core/numbers.h"
#include "platform/dberror.h"

namespace hv {

double BoxNumber(const QString& text) {
    return ParsePercent(text);
}

qint16 BoxCount(const QString& text) {
    try {
        return ToIntegerOrZero(text);
    } catch (const DbError&) {
        return 0;
    }
}

QString ValueText(double value) {
    return FormatValue(QVariant(value));
}

QDateTime ZeroDate() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

} // namespace hv
