#include "collection/readingcheck.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "normalization/normalize.h"

namespace hv {

namespace {

const QString OperatingSuffix = QStringLiteral(" Please check you input.");

QString twoDecimals(double x) {
    QString s = QString::number(x, 'f', 2);
    if (s.startsWith('-') && QString::number(-x, 'f', 2) == QStringLiteral("0.00")) s.remove(0, 1);
    s.replace('.', QLocale().decimalPoint());
    return s;
}

} // namespace

std::optional<QDateTime> ParseEntryDate(const QString& text) {
    const QString t = text.simplified();
    if (t.isEmpty()) return std::nullopt;
    static const QStringList dateTimes = {"yyyy-MM-dd H:mm",     "yyyy-MM-dd H:mm:ss", "yyyy-MM-ddTH:mm:ss",
                                          "yyyy-MM-ddTH:mm",     "M/d/yyyy H:mm",      "M/d/yyyy H:mm:ss",
                                          "M/d/yyyy h:mm:ss AP", "M/d/yyyy h:mm AP"};
    for (const QString& f : dateTimes) {
        const QDateTime dt = QDateTime::fromString(t, f);
        if (dt.isValid()) return dt;
    }
    for (const char* f : {"yyyy-MM-dd", "M/d/yyyy"}) {
        const QDate d = QDate::fromString(t, QLatin1String(f));
        if (d.isValid()) return QDateTime(d, QTime(0, 0));
    }
    const QLocale loc;
    const QDateTime dt = loc.toDateTime(t, QLocale::ShortFormat);
    if (dt.isValid()) return dt;
    const QDate d = loc.toDate(t, QLocale::ShortFormat);
    if (d.isValid()) return QDateTime(d, QTime(0, 0));
    return std::nullopt;
}

double ElapsedHoursAt(const QDateTime& when, const ProjectInfoRecord& cp) {
    return ElapsedHours(DateSerial(when), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
}

QString FormatHours(double hours) {
    return twoDecimals(hours);
}

QString FormatHoursGrouped(double hours) {
    QString s = twoDecimals(std::fabs(hours));
    const QString point = QLocale().decimalPoint();
    QString whole = s.section(point, 0, 0);
    const QString frac = s.section(point, 1);
    if (whole == QStringLiteral("0")) whole.clear(); // "#,###.00" shows no leading zero
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLocale().groupSeparator());
    return (hours < 0 && s != "0" + point + "00" ? "-" : "") + whole + point + frac;
}

std::optional<double> ChangeAgainstPrevious(const QString& text, const QString& previous) {
    if (text.isEmpty()) return std::nullopt;
    const double now = ParsePercent(text), prev = ParsePercent(previous);
    if (now == 0 || prev == 0 || prev + now == 0) return std::nullopt;
    return std::fabs(prev - now) / ((prev + now) / 2);
}

QString ChangeWarningText(double change) {
    return "Data is more than " + twoDecimals(change * 100) + "%" +
           " different from previous value! Are you sure?\r\n\r\n"
           "Check the 'Surpress Warnings' box to eliminate this message in the future";
}

void PressureRules(int nb, const ReadingValues& r, const CheckRule& rule) {
    using namespace item;
    const QString none = QStringLiteral("  None of which is allowed for an OPERATING data point.");
    if (nb == 1) {
        rule(r[FeedPressure] <= 0 || r[FeedPressure] < r[ConcPressure] || r[FeedPressure] < r[PermBackPress],
             528,
             "Feed Pressure is <=0 or less than Concentrate Pressure or less than Permeate Back pressure." +
                 none,
             FeedPressure);
        rule(r[ConcPressure] <= 0 || r[ConcPressure] > r[FeedPressure], 529,
             "Conc Pressure is <=0 which is not allowed for an OPERATING data point.", FeedPressure);
    } else if (nb == 2) {
        rule(r[FeedPressure] <= 0 || r[FeedPressure] < r[ConcPressure_1] ||
                 r[FeedPressure] < r[PermBackPress],
             530,
             "Feed Pressure is <=0 or less than Concentrate 1 Pressure or less than Permeate Back pressure." +
                 none,
             FeedPressure);
        rule(r[ConcPressure] <= 0 || r[ConcPressure] > r[FeedPressure_2], 531,
             "Conc Pressure is <= 0 or less than feed Pressure to bank 2, which is not allowed for an "
             "OPERATING "
             "data point.",
             FeedPressure);
    } else {
        rule(r[FeedPressure_3] <= 0 || r[FeedPressure_3] < r[PermBackPress_3], 530,
             "Feed Pressure 3 is <=0 or less than Permeate Back pressure 3." + none, FeedPressure);
        rule(r[ConcPressure_2] <= 0 || r[ConcPressure] > r[FeedPressure_3], 531,
             "Conc Pressure is <= 0 or less than feed Pressure to bank 3, which is not allowed for an "
             "OPERATING "
             "data point.",
             FeedPressure);
        rule(r[PermFlow_3] < 0, 531, "PermFlow 3 is less than 0 (<0).", PermFlow_3);
    }
}

ValidationResult ValidateData(Program& p, std::array<EntryRow, ItemCount>& rows,
                              const QString& elapsedCaption, ReadingValues& r, const QDateTime& now) {
    ValidationResult res;
    auto say = [&](const QString& text) { p.prompts.message(text, Buttons::OK, Icon::None, "Hevrin"); };
    auto rowOf = [&](int it) {
        for (int k = 0; k < ItemCount; ++k)
            if (rows[size_t(k)].item == it) return k;
        return -1;
    };

    int missing = -1;
    for (int k = 0; k < ItemCount; ++k) {
        EntryRow& row = rows[size_t(k)];
        if (!row.requiredShown || !row.required || !row.text.isEmpty()) continue;
        if (row.keep && k != 0 && IsNumericText(row.earlier1)) {
            row.text = row.earlier1;
            continue;
        }
        missing = k;
        break;
    }

    r.ElapsedTimeHrs = ParsePercent(elapsedCaption);
    bool dateFailed = false;
    for (int k = 0; k < ItemCount; ++k) {
        const EntryRow& row = rows[size_t(k)];
        if (row.item < 0 || row.item >= ItemCount) continue;
        if (row.item == item::TheDate) {
            const std::optional<QDateTime> d = ParseEntryDate(row.text);
            if (!d) {
                say(GetMlString(525,
                                "Cannot save data without a valid Date and Time! Data will not be saved."));
                dateFailed = true;
                continue;
            }
            r.TheDate = *d;
            if (ParseEntryDate(row.earlier1)) {
                r.ElapsedTimeHrs = std::max(0.0, ElapsedHoursAt(*d, p.CurrentProject));
                res.elapsedCaption = FormatHours(r.ElapsedTimeHrs);
            }
        } else {
            QString text = row.text;
            r[row.item] = ParsePercent(StripNonNumeric(text, p.DecimalSeparatorCode));
        }
    }

    if (missing >= 0 || dateFailed) {
        res.widenStatus = true;
        if (missing >= 0) {
            res.statusText = GetMlString(526, "A REQUIRED FIELD, ") + rows[size_t(missing)].caption +
                             GetMlString(527, " HAS NO DATA. SAVE FAILED!");
            res.focusRow = missing;
        } else {
            res.focusRow = 0;
        }
        return res;
    }

    using namespace item;
    const int nb = p.CurrentProject.NumBanks;
    auto rule = [&](bool fails, long id, const QString& text, int focusItem) {
        if (!fails) return false;
        say(GetMlString(id, text + OperatingSuffix));
        res.focusRow = rowOf(focusItem);
        return true;
    };
    PressureRules(nb, r, rule);

    const QString notAllowed = QStringLiteral(" is <=0 which is not allowed for an OPERATING data point.");
    const bool two = nb == 2;
    const QString future =
        GetMlString(540, "Either the computer system date is incorrect. ") +
        now.toString("yyyy-MM-dd HH:mm") +
        GetMlString(541, " or you have entered a date in the future. Please check your input.");
    const bool stopped =
        rule(r[PermFlow] <= 0, 533, "Perm Flow" + notAllowed, PermFlow) ||
        rule(r[ConcFlow] <= 0, 532, "Concentrate Flow" + notAllowed, ConcFlow) ||
        rule(r[PermuS] <= 0, 534, "Perm uSiemens" + notAllowed, PermuS) ||
        rule(r[FeeduS] <= 0, 535, "Feed uSiemens" + notAllowed, FeeduS) ||
        rule(two && r[FeedPressure_2] <= 0, 536, "Feed Pressure for Bank 2" + notAllowed, FeedPressure_2) ||
        rule(two && r[FeedPressure_2] < r[ConcPressure], 537,
             "Feed Pressure for Bank 2 is < End Concentrate Pressure which is not allowed for an OPERATING "
             "two-bank "
             "data point.",
             FeedPressure_2) ||
        rule(two && r[PermFlow_2] <= 0, 538, "PermFlow for Bank 2" + notAllowed, PermFlow_2) ||
        rule(r[Temperature] <= 32 && p.CurrentProject.unitTemp == 0, 539,
             "Temperature is <= 32F which is not allowed for an OPERATING two-bank data point.", Temperature);
    if (!stopped && r.TheDate > now.addSecs(90 * 60)) {
        say(future);
        res.focusRow = rowOf(TheDate);
    }
    return res;
}

} // namespace hv
