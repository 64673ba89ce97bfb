#pragma once
#include <QDateTime>
#include <QString>

#include "core/datatables.h"

namespace hv {

// A value a road will not store, and the one sentence every road says for it. `where` names
// where the value came from as that road knows it: a box ("Number of Vessels, B 1"), a sheet
// cell, a file's line and field, a stored reading or project row.
struct Refusal {
    enum class Rule { AlreadyStored, NotANumber, NotADate, OutOfRange, Missing, CalculationFailed };
    Rule rule;
    QString text;

    static Refusal alreadyStored(const QString& projectId, qint64 train, const QDateTime& date);
    // The same, for a stored date the date rule cannot read, named as it is stored.
    static Refusal alreadyStored(const QString& projectId, qint64 train, const QString& storedDate);
    static Refusal notANumber(const QString& where, const QString& value);
    static Refusal notADate(const QString& where, const QString& value);
    static Refusal outOfRange(const QString& where, const QString& value, schema::WholeRange range);
    static Refusal missing(const QString& where);
    // A reading whose normalization failed, with the calculation's own words.
    static Refusal calculationFailed(const QString& failure);
};

} // namespace hv
