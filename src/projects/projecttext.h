#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

namespace hv {

// Number and date forms of the project window's boxes.

// A box's number (ParsePercent: blank reads 0, a trailing "%" divides by 100).
double BoxNumber(const QString& text);
// A count typed into a box; a number beyond the 16-bit range reads 0 rather than failing.
qint16 BoxCount(const QString& text);
// Display of a number by magnitude (FormatValue).
QString ValueText(double value);

// The day a Null date stands for (day 0 of the stored date numbers).
QDateTime ZeroDate();

} // namespace hv
