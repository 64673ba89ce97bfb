#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

namespace hv {

// The one rule for "the same reading date", on every road into Data and every check of a
// reading's key: two date texts name one reading date when they name the same instant to the
// second. Dates are stored as "yyyy-mm-dd hh:mm:ss"; a database written by another program may
// hold the date with "/" for "-", a "T" for the blank, a one-digit hour, no seconds, a fraction
// of a second of zeros (".000"), the day alone (midnight), or blanks around it. A fraction that
// is not zero is not read: dates are kept to the second, and cutting it off would make two
// readings within one second one reading without a word.
// ReadingDateKey gives the instant as yyyymmddhhmmss, or nothing for a text that names no
// instant so (another shape, a day or hour that does not exist).
std::optional<qint64> ReadingDateKey(const char* text, int length);
std::optional<qint64> ReadingDateKey(const QString& text);

// The one writer of the stored form, "yyyy-mm-dd hh:mm:ss", of a key or a date (empty for an
// invalid date).
QString StoredDateText(qint64 key);
QString StoredDateText(const QDateTime& date);
// The one shape check of the stored form: digits and separators where the writer puts them
// (whether the day exists is the key's question). The SQL condition checks the same shape of
// `column`.
bool IsStoredDateText(const char* text, int length);
bool IsStoredDateText(const QString& text);
QString StoredDateShapeCondition(const QString& column = QStringLiteral("TheDate"));
// The date and time of a key the rule gave.
QDateTime DateTimeOfKey(qint64 key);

} // namespace hv
