#pragma once
#include <QDate>
#include <QLocale>
#include <QString>

namespace hv {

// Texts on a graph's axes, in the computer's own form: its digits, decimal mark and digit
// grouping, as every other number the program shows.

// Elapsed hours with two decimals, naming the value where the label stands; never "-0.00".
QString AxisHoursText(double hours);

// The form of a day label: the day and its month's short name as the locale's long date
// form orders and marks them, its year and weekday left out ("MMM d", "d. MMM", "d MMM").
QString DayMonthFormat(const QLocale& locale);
// A day on a date axis in that form of the computer's locale.
QString AxisDayText(const QDate& day);

} // namespace hv
