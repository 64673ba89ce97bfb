#include "core/typedinput.h"

#include "core/refusal.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace hv {

namespace {

std::optional<double> finite(double x, bool ok) {
    if (!ok || !std::isfinite(x)) return std::nullopt;
    return x;
}

// A locale's form with one- or two-digit days, months and hours accepted alike, without
// the time zone the long forms end in.
QString relaxed(QString f) {
    static const QRegularExpression zone(QStringLiteral("(^|\\s)t(?=\\s|$)"));
    f = f.remove(zone).trimmed();
    static const QRegularExpression twoDigits(QStringLiteral("(?<![dMHh])(dd|MM|HH|hh)(?![dMHh])"));
    QString out;
    qsizetype last = 0;
    for (auto it = twoDigits.globalMatch(f); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += f.mid(last, m.capturedStart() - last) + m.captured().left(1);
        last = m.capturedEnd();
    }
    return out + f.mid(last);
}

// The year written with two digits only ("yy" without "yyyy").
bool twoDigitYear(const QString& f) {
    return f.contains(QLatin1String("yy")) && !f.contains(QLatin1String("yyy"));
}

// The forms of the computer's regional settings, in the order they are tried: the short
// and the long date, with the year in two or four digits, each with the settings' own
// times, a 24-hour time with and without seconds, or no time.
QStringList localeForms(const QLocale& loc) {
    QStringList dates;
    for (const QString& d : {loc.dateFormat(QLocale::ShortFormat), loc.dateFormat(QLocale::LongFormat)}) {
        const QString r = relaxed(d);
        dates << r;
        if (twoDigitYear(r))
            dates << QString(r).replace(QLatin1String("yy"), QLatin1String("yyyy"));
        else if (r.contains(QLatin1String("yyyy")))
            dates << QString(r).replace(QLatin1String("yyyy"), QLatin1String("yy"));
    }
    QStringList times;
    // Seconds first: a form without them would read "08:00:30" as no time at all.
    for (const QString& t : {QStringLiteral("H:mm:ss"), loc.timeFormat(QLocale::LongFormat),
                             loc.timeFormat(QLocale::ShortFormat), QStringLiteral("H:mm")})
        times << relaxed(t);
    times.removeDuplicates();
    QStringList forms;
    for (const QString& d : dates) {
        for (const QString& t : times)
            forms << d + QLatin1Char(' ') + t;
        forms << d;
    }
    forms.removeDuplicates();
    return forms;
}

// The short date form with the year in four digits.
QString shortDateForm() {
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (twoDigitYear(f)) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

// The digits in the last group of a grouped number and in each group before it, as the
// settings write them: 3 and 3 mostly, 3 and 2 under Indian settings.
struct GroupSizes {
    int least = 3;
    int higher = 3;
};

GroupSizes groupSizes(const QLocale& loc) {
    QLocale grouping = loc;
    grouping.setNumberOptions(QLocale::DefaultNumberOptions);
    const QString shown = grouping.toString(1234567890123LL);
    const QString g = grouping.groupSeparator();
    const qsizetype last = g.isEmpty() ? -1 : shown.lastIndexOf(g);
    if (last < 0) return {};
    GroupSizes s;
    s.least = int(shown.size() - last - g.size());
    const qsizetype before = shown.lastIndexOf(g, last - 1);
    if (before >= 0) s.higher = int(last - before - g.size());
    if (s.least < 1 || s.higher < 1) return {};
    return s;
}

// Whether the group marks of a number text stand where the settings put them: all of them
// among the whole digits, which begin with a group of one digit up to a full group that is
// not 0, then full groups. A text without a group mark passes; one that fails is no regional
// number ("0,450" is not 450 under English settings, nor "0.450" under German ones).
bool wellGrouped(const QString& t, QChar g, const QLocale& loc) {
    if (!t.contains(g)) return true;
    const GroupSizes sizes = groupSizes(loc);
    qsizetype i = 0;
    while (i < t.size() && !t.at(i).isDigit() && t.at(i) != g)
        ++i;
    const qsizetype start = i;
    while (i < t.size() && (t.at(i).isDigit() || t.at(i) == g))
        ++i;
    if (t.indexOf(g, i) >= 0) return false; // a group mark among the decimals or the exponent
    const QStringView whole = QStringView(t).mid(start, i - start);
    const QList<QStringView> groups = whole.split(g);
    for (qsizetype k = groups.size() - 1; k >= 0; --k) {
        const qsizetype n = groups.at(k).size();
        const int full = k == groups.size() - 1 ? sizes.least : sizes.higher;
        if (k > 0 ? n != full : (n < 1 || n > full || groups.at(0).at(0).digitValue() == 0)) return false;
    }
    return true;
}

} // namespace

std::optional<double> ReadNumberText(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    const QLocale loc;
    bool ok = false;
    double x = 0;
    if (const QString group = loc.groupSeparator(); group.size() == 1) {
        // What a keyboard types for the settings' group mark: a blank for a no-break space,
        // "'" for the Swiss right single quotation mark.
        const QChar g = group.at(0);
        const bool blank = g == QChar(0x00A0) || g == QChar(0x202F) || g == QChar(' ');
        for (QChar& c : t)
            if ((blank && (c == QChar(' ') || c == QChar(0x00A0) || c == QChar(0x202F))) ||
                (g == QChar(0x2019) && c == QChar('\'')))
                c = g;
        if (wellGrouped(t, g, loc)) {
            x = loc.toDouble(t, &ok);
            // Some locales take only a capital exponent mark.
            if (!ok) x = loc.toDouble(t.toUpper(), &ok);
        }
    } else {
        x = loc.toDouble(t, &ok);
        if (!ok) x = loc.toDouble(t.toUpper(), &ok);
    }
    if (ok) return finite(x, ok);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    x = c.toDouble(t, &ok);
    if (!ok) x = c.toDouble(t.toUpper(), &ok);
    return finite(x, ok);
}

std::optional<double> ReadPercentText(const QString& text) {
    const QString t = text.trimmed();
    if (!t.endsWith(QLatin1Char('%'))) return ReadNumberText(t);
    const std::optional<double> x = ReadNumberText(t.chopped(1));
    if (!x) return std::nullopt;
    return *x / 100;
}

NumberField ReadNumberField(const QString& text) {
    if (text.trimmed().isEmpty()) return {};
    if (const std::optional<double> x = ReadNumberText(text)) return {NumberField::Number, *x};
    return {NumberField::Invalid, 0};
}

QString NotANumberText(const QString& place, const QString& text) {
    return Refusal::notANumber(place, text).text;
}

std::optional<int> ReadWholeNumberText(const QString& text, int least, int most) {
    const std::optional<double> x = ReadNumberText(text);
    if (!x || *x != std::floor(*x) || *x < least || *x > most) return std::nullopt;
    return int(*x);
}

QString NotAWholeNumberText(const QString& place, const QString& text, int least, int most) {
    return Refusal::outOfRange(place, text, schema::WholeRange{least, most}).text;
}

std::optional<QDateTime> ParseEntryDate(const QString& text) {
    const QString t = text.simplified();
    if (t.isEmpty()) return std::nullopt;
    // The computer's own forms first: a text that these settings read one way is never
    // tried the other way round.
    const QLocale loc;
    static QString formsOf;
    static QStringList forms;
    if (formsOf != loc.name() || forms.isEmpty()) {
        forms = localeForms(loc);
        formsOf = loc.name();
    }
    const bool hasLetters = std::any_of(t.begin(), t.end(), [](QChar c) { return c.isLetter(); });
    for (const QString& f : forms) {
        // Month and day names need letters: a text of digits is not tried against them.
        if (!hasLetters && (f.contains(QLatin1String("MMM")) || f.contains(QLatin1String("ddd")))) continue;
        QDateTime dt = loc.toDateTime(t, f);
        if (!dt.isValid()) continue;
        // Two-digit years fall in the window a spreadsheet uses: 00-29 are 20xx.
        if (twoDigitYear(f) && dt.date().year() < 1930) dt = dt.addYears(100);
        return dt;
    }
    static const QStringList iso = {"yyyy-MM-dd H:mm:ss", "yyyy-MM-dd H:mm", "yyyy-MM-ddTH:mm:ss",
                                    "yyyy-MM-ddTH:mm"};
    for (const QString& f : iso) {
        const QDateTime dt = QDateTime::fromString(t, f);
        if (dt.isValid()) return dt;
    }
    const QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (d.isValid()) return QDateTime(d, QTime(0, 0));
    return std::nullopt;
}

QString ShortDateText(const QDate& d) {
    return QLocale().toString(d, shortDateForm());
}

QString ShortDateTimeText(const QDateTime& dt) {
    const QTime t = dt.time();
    return ShortDateText(dt.date()) + QLatin1Char(' ') +
           t.toString(t.second() != 0 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

QString ShortDateHint() {
    return shortDateForm().toLower();
}

QString ShortDateTimeHint() {
    return ShortDateHint() + QStringLiteral(" hh:mm");
}

} // namespace hv
