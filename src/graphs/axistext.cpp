#include "graphs/axistext.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace hv {

QString AxisHoursText(double hours) {
    const double shown = std::fabs(hours) < 0.005 ? 0.0 : hours;
    return QLocale().toString(shown, 'f', 2);
}

namespace {

// A piece of a date format: a run of one of the letters d, M or y, or the literal text
// between two runs, kept as the format spells it (quotes included).
struct FormatPiece {
    QChar letter; // null for literal text
    QString text;
};

std::vector<FormatPiece> splitDateFormat(const QString& format) {
    std::vector<FormatPiece> pieces;
    auto literal = [&pieces](const QString& s) {
        if (pieces.empty() || !pieces.back().letter.isNull()) pieces.push_back({QChar(), QString()});
        pieces.back().text += s;
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') { // a quoted text runs to the next lone quote; '' stands for a quote
            qsizetype j = i + 1;
            while (j < format.size()) {
                if (format[j] == u'\'') {
                    if (j + 1 < format.size() && format[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            literal(format.mid(i, j + 1 - i));
            i = j + 1;
        } else if (c == u'd' || c == u'M' || c == u'y') {
            qsizetype j = i;
            while (j < format.size() && format[j] == c)
                ++j;
            pieces.push_back({c, format.mid(i, j - i)});
            i = j;
        } else {
            literal(QString(c));
            ++i;
        }
    }
    return pieces;
}

// The mark a day or month keeps after it at the end of the label: "日" or the point of "1.",
// never the comma or the words that led on to the year.
QString closingMark(const QString& literal) {
    QString mark = literal.trimmed();
    while (mark.endsWith(u','))
        mark.chop(1);
    mark = mark.trimmed();
    for (const QChar c : mark)
        if (c.isSpace() || c == u'\'') return QString();
    return mark;
}

} // namespace

QString DayMonthFormat(const QLocale& locale) {
    const std::vector<FormatPiece> pieces = splitDateFormat(locale.dateFormat(QLocale::LongFormat));
    int day = -1, month = -1;
    for (int i = 0; i < int(pieces.size()); ++i) {
        const FormatPiece& p = pieces[size_t(i)];
        if (p.letter == u'd' && p.text.size() <= 2 && day < 0) day = i; // "ddd" names the weekday
        if (p.letter == u'M' && month < 0) month = i;
    }
    if (day < 0 || month < 0) return QStringLiteral("d MMM");
    auto field = [&](int i) {
        const FormatPiece& p = pieces[size_t(i)];
        return p.letter == u'M' && p.text.size() >= 3 ? QStringLiteral("MMM") : p.text;
    };
    const int first = std::min(day, month), second = std::max(day, month);
    // Next to each other the two keep the locale's own text between them; apart, a space.
    QString between = QStringLiteral(" ");
    if (second == first + 1)
        between.clear();
    else if (second == first + 2 && pieces[size_t(first + 1)].letter.isNull())
        between = pieces[size_t(first + 1)].text;
    QString form = field(first) + between + field(second);
    if (second + 1 < int(pieces.size()) && pieces[size_t(second + 1)].letter.isNull())
        form += closingMark(pieces[size_t(second + 1)].text);
    return form;
}

QString AxisDayText(const QDate& day) {
    const QLocale locale;
    return locale.toString(day, DayMonthFormat(locale));
}

} // namespace hv
