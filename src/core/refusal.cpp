#include "core/refusal.h"

#include "core/mlstring.h"
#include "core/typedinput.h"

namespace hv {

Refusal Refusal::alreadyStored(const QString& projectId, qint64 train, const QDateTime& date) {
    return alreadyStored(projectId, train, ShortDateTimeText(date));
}

Refusal Refusal::alreadyStored(const QString& projectId, qint64 train, const QString& storedDate) {
    return {Rule::AlreadyStored, "A reading dated " + storedDate + " is already stored for " + projectId +
                                     " train " + QString::number(train) + "."};
}

Refusal Refusal::notANumber(const QString& where, const QString& value) {
    return {Rule::NotANumber, where + " holds \"" + value + "\", which is not a number."};
}

Refusal Refusal::notADate(const QString& where, const QString& value) {
    return {Rule::NotADate, where + " holds \"" + value + "\", which is not a date."};
}

Refusal Refusal::outOfRange(const QString& where, const QString& value, schema::WholeRange range) {
    return {Rule::OutOfRange, where + " holds \"" + value + "\", which is not a whole number from " +
                                  QString::number(range.least) + " to " + QString::number(range.most) + "."};
}

Refusal Refusal::missing(const QString& where) {
    return {Rule::Missing, where + " holds no value, and one is needed."};
}

Refusal Refusal::calculationFailed(const QString& failure) {
    return {Rule::CalculationFailed, GetMlString(602, "Calculation or calculated Data Storage Error ") + "0" +
                                         GetMlString(611, " ") + failure};
}

} // namespace hv
