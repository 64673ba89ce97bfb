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

QString FormatGeneralDate(const QDateTime& dt) {
    if (!dt.isValid()) return {};
    if (dt.time() == QTime(0, 0)) return dt.toString("M/d/yyyy");
    return dt.toString("M/d/yyyy HH:mm:ss");
}

std::optional<QDateTime> ParseReferenceDate(const QString& text) {
    const QString t = text.simplified();
    if (t.isEmpty()) return std::nullopt;
    static const QStringList dateTimes = {"M/d/yyyy H:mm:ss", "M/d/yyyy H:mm",      "yyyy-MM-dd H:mm:ss",
                                          "yyyy-MM-dd H:mm",  "yyyy-MM-ddTH:mm:ss", "M/d/yyyy h:mm:ss AP",
                                          "M/d/yyyy h:mm AP"};
    for (const QString& f : dateTimes) {
        const QDateTime dt = QDateTime::fromString(t, f);
        if (dt.isValid()) return dt;
    }
    static const QStringList dates = {"M/d/yyyy", "yyyy-MM-dd"};
    for (const QString& f : dates) {
        const QDate d = QDate::fromString(t, f);
        if (d.isValid()) return QDateTime(d, QTime(0, 0));
    }
    // Two-digit years, as the unit label "mm/dd/yy hh:mm" invites; they fall in 1930-2029.
    static const QStringList shortYears = {"M/d/yy H:mm:ss", "M/d/yy H:mm", "M/d/yy"};
    for (const QString& f : shortYears) {
        QDateTime dt = QDateTime::fromString(t, f);
        if (!dt.isValid()) continue;
        if (dt.date().year() < 1930) dt = dt.addYears(100);
        return dt;
    }
    const QLocale loc;
    for (auto fmt : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime dt = loc.toDateTime(t, fmt);
        if (dt.isValid()) return dt;
        const QDate d = loc.toDate(t, fmt);
        if (d.isValid()) return QDateTime(d, QTime(0, 0));
    }
    return std::nullopt;
}

} // namespace hv
