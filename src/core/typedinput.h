#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

namespace hv {

// The one reader of every number that reaches a reading, whatever brought it (a typed box,
// a link answer, a sheet cell, an exchange-file field): the computer's regional form first, then the
// plain form with a point, an exponent allowed in both. A group mark counts only where a well-grouped
// number has it (a first group that is not 0, then full groups: "1,580", never "0,450"); what a keyboard
// types for the settings' mark ("'" for a Swiss one, a blank for a no-break space) is that mark. Nothing
// is stripped: a text that neither form reads is refused (nullopt), as is an empty one and a number too
// large for a Double.
std::optional<double> ReadNumberText(const QString& text);

// A number a person typed where a percentage may be given: the one reader's number, or a number
// followed by "%", which is read as a fraction ("5%" is 0.05). nullopt for anything else.
std::optional<double> ReadPercentText(const QString& text);

// What a source gave for one value: nothing, a number, or a text that is not a number.
struct NumberField {
    enum State { Empty, Number, Invalid };
    State state = Empty;
    double value = 0;
};
NumberField ReadNumberField(const QString& text);

// "<place> holds "<text>", which is not a number."
QString NotANumberText(const QString& place, const QString& text);

// A count a person typed: the one reader's number when it is whole and from least to most;
// nullopt for anything else (text, a fraction, a number out of range, an empty text).
std::optional<int> ReadWholeNumberText(const QString& text, int least, int most);
// "<place> holds "<text>", which is not a whole number from <least> to <most>."
QString NotAWholeNumberText(const QString& place, const QString& text, int least, int most);

// The one reader of every date a person types or a source gives: in the computer's
// regional short or long form (two-digit years 00-29 in 20xx, 30-99 in 19xx), else
// "yyyy-mm-dd hh:mm[:ss]"; nullopt when the text is neither. The other day and month
// order is never tried. Seconds are kept as given.
std::optional<QDateTime> ParseEntryDate(const QString& text);

// A date shown back to a person: the computer's short date form with a four-digit year,
// then the time as hh:mm, or hh:mm:ss where it has seconds.
QString ShortDateTimeText(const QDateTime& dt);
// The same for a date without its time.
QString ShortDateText(const QDate& d);
// The form those texts take, for a box's hint: "dd/mm/yyyy hh:mm" under English (UK)
// settings, "mm/dd/yyyy hh:mm" under English (US) ones.
QString ShortDateTimeHint();
QString ShortDateHint();

} // namespace hv
