#include "collection/readingcheck.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "collection/inputconfig.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/typedinput.h"
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

double ElapsedHoursAt(const QDateTime& when, const ProjectInfoRecord& cp) {
    return ElapsedHours(DateSerial(when), DateSerial(cp.DateReference), cp.ElapsedTimeRef);
}

QString FormatHours(double hours) {
    // The computer's own digits, grouping and decimal mark, which the one number reader
    // reads back; never "-0.00".
    const double shown = std::fabs(hours) < 0.005 ? 0.0 : hours;
    return QLocale().toString(shown, 'f', 2);
}

std::optional<double> ChangeAgainstPrevious(const QString& text, const QString& previous) {
    if (text.isEmpty()) return std::nullopt;
    const double now = ReadNumberText(text).value_or(0), prev = ReadNumberText(previous).value_or(0);
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
    // One mistake makes one message: the first rule that fails ends the pressure rules.
    if (nb == 1) {
        if (rule(r[FeedPressure] <= 0 || r[FeedPressure] < r[ConcPressure] ||
                     r[FeedPressure] < r[PermBackPress],
                 528,
                 "Feed Pressure is <=0 or less than Concentrate Pressure or less than Permeate Back "
                 "pressure." +
                     none,
                 FeedPressure, {FeedPressure, ConcPressure, PermBackPress}))
            return;
        // Each cause says its own text: a concentrate above the feed is not one of <= 0.
        if (rule(r[ConcPressure] <= 0, 529,
                 "Conc Pressure is <=0 which is not allowed for an OPERATING data point.", FeedPressure,
                 {ConcPressure}))
            return;
        rule(r[ConcPressure] > r[FeedPressure], 529,
             "Conc Pressure is above Feed Pressure, which is not allowed for an OPERATING data point.",
             FeedPressure, {ConcPressure, FeedPressure});
    } else if (nb == 2) {
        if (rule(r[FeedPressure] <= 0 || r[FeedPressure] < r[ConcPressure_1] ||
                     r[FeedPressure] < r[PermBackPress],
                 530,
                 "Feed Pressure is <=0 or less than Concentrate 1 Pressure or less than Permeate Back "
                 "pressure." +
                     none,
                 FeedPressure, {FeedPressure, ConcPressure_1, PermBackPress}))
            return;
        if (rule(r[ConcPressure] <= 0, 531,
                 "Conc Pressure is <= 0, which is not allowed for an OPERATING data point.", FeedPressure,
                 {ConcPressure}))
            return;
        rule(r[ConcPressure] > r[FeedPressure_2], 531,
             "Conc Pressure is above the feed Pressure to bank 2, which is not allowed for an OPERATING "
             "data point.",
             FeedPressure, {ConcPressure, FeedPressure_2});
    } else {
        if (rule(r[FeedPressure_3] <= 0 || r[FeedPressure_3] < r[PermBackPress_3], 530,
                 "Feed Pressure 3 is <=0 or less than Permeate Back pressure 3." + none, FeedPressure,
                 {FeedPressure_3, PermBackPress_3}))
            return;
        if (rule(r[ConcPressure_2] <= 0, 531,
                 "Conc Pressure 2 is <= 0, which is not allowed for an OPERATING data point.", FeedPressure,
                 {ConcPressure_2}))
            return;
        if (rule(r[ConcPressure] > r[FeedPressure_3], 531,
                 "Conc Pressure is above the feed Pressure to bank 3, which is not allowed for an OPERATING "
                 "data point.",
                 FeedPressure, {ConcPressure, FeedPressure_3}))
            return;
        rule(r[PermFlow_3] < 0, 531, "PermFlow 3 is less than 0 (<0).", PermFlow_3, {PermFlow_3});
    }
}

int DateRow(const std::array<int, ItemCount>& order) {
    for (int k = 0; k < ItemCount; ++k)
        if (order[size_t(k)] == item::TheDate) return k;
    return 0;
}

QString MissingFieldText(const QString& caption) {
    return GetMlString(526, "A REQUIRED FIELD, ") + caption + GetMlString(527, " HAS NO DATA. SAVE FAILED!");
}

QString RefusalText(const EntryCheck& check, const std::array<EntryRow, ItemCount>& rows) {
    if (check.missingRow >= 0) return MissingFieldText(rows[size_t(check.missingRow)].caption);
    return check.messages.value(0).section(QLatin1Char('\r'), 0, 0);
}

EntryCheck CheckReading(const ProjectInfoRecord& cp, std::array<EntryRow, ItemCount>& rows,
                        const QString& elapsedCaption, bool ignoreErrors, int, ReadingValues& r,
                        const QDateTime& now) {
    EntryCheck res;
    std::array<int, ItemCount> order{};
    for (int k = 0; k < ItemCount; ++k)
        order[size_t(k)] = rows[size_t(k)].item;
    // An item shown twice leaves another without a row, whose value nobody typed.
    if (const std::optional<OrderFault> fault = FindOrderFault(order)) {
        int last = -1;
        for (int k = 0; k < ItemCount; ++k)
            if (order[size_t(k)] == fault->item) last = k;
        const QString name = last >= 0 ? rows[size_t(last)].caption : ItemFieldList().value(fault->item);
        res.messages << OrderFaultText(*fault, name, false);
        res.focusRow = last;
        res.outcome = EntryCheck::Refuse;
        return res;
    }
    const int dateRow = DateRow(order);
    auto rowOf = [&](int it) {
        for (int k = 0; k < ItemCount; ++k)
            if (order[size_t(k)] == it) return k;
        return -1;
    };
    // The boxes a failed rule read, with what they hold.
    auto named = [&](const std::vector<int>& boxes) {
        QStringList parts;
        for (int it : boxes) {
            const int k = rowOf(it);
            if (k < 0) continue;
            const EntryRow& row = rows[size_t(k)];
            parts << row.caption + " = " + (row.text.isEmpty() ? QStringLiteral("(no value)") : row.text);
        }
        return parts.isEmpty() ? QString() : "\r\n\r\n" + parts.join("\r\n");
    };

    // The window's own "No Data" and a reference's "N/A" stand for an empty box: a required
    // row holding one has no value, whatever a later rule would make of it.
    const QString noData = GetMlString(595, "No Data");
    const auto placeholder = [&](const QString& text) {
        return text == noData || text == QLatin1String("N/A");
    };
    // The reading at the reference date is the reference state (a train's first reading),
    // which holds no user items: a placeholder there is no missing value.
    const EntryRow& dateBox = rows[size_t(dateRow)];
    const bool referenceState =
        dateBox.item == item::TheDate && ParseEntryDate(dateBox.text) == cp.DateReference;
    for (int k = 0; k < ItemCount; ++k) {
        EntryRow& row = rows[size_t(k)];
        if (!row.required || (!row.text.isEmpty() && !placeholder(row.text))) continue;
        if (referenceState && placeholder(row.text) && ItemIsOptional(row.item)) continue;
        if (row.keep && k != dateRow && IsNumericText(row.earlier1)) {
            row.text = row.earlier1;
            continue;
        }
        res.missingRow = k;
        break;
    }

    const QString noDate =
        GetMlString(525, "Cannot save data without a valid Date and Time! Data will not be saved.");
    r.ElapsedTimeHrs = ReadNumberText(elapsedCaption).value_or(0);
    r.empty = {};
    int badRow = -1; // the first row whose text is not a number
    for (int k = 0; k < ItemCount; ++k) {
        const EntryRow& row = rows[size_t(k)];
        if (row.item < 0 || row.item >= ItemCount) continue;
        if (row.item != item::TheDate) {
            const NumberField f = ReadNumberField(placeholder(row.text) ? QString() : row.text);
            r[row.item] = f.value;
            r.empty[size_t(row.item)] = f.state == NumberField::Empty && ItemIsOptional(row.item);
            if (f.state == NumberField::Invalid && badRow < 0) badRow = k;
            continue;
        }
        const std::optional<QDateTime> d = ParseEntryDate(row.text);
        if (!d) {
            res.messages << noDate;
            res.dateFailed = true;
            continue;
        }
        r.TheDate = *d;
        if (ParseEntryDate(row.earlier1)) {
            r.ElapsedTimeHrs = std::max(0.0, ElapsedHoursAt(*d, cp));
            res.elapsedCaption = FormatHours(r.ElapsedTimeHrs);
        }
    }
    if (rowOf(item::TheDate) < 0) {
        res.messages << noDate;
        res.dateFailed = true;
    }

    // A text that is no number is never stored as another number, not even raw.
    if (badRow >= 0 && res.missingRow < 0 && !res.dateFailed) {
        const EntryRow& row = rows[size_t(badRow)];
        res.messages << NotANumberText(row.caption, row.text) + " " + GetMlString(601, "Data was not saved.");
        res.focusRow = badRow;
        res.outcome = EntryCheck::Refuse;
        return res;
    }
    if (res.missingRow >= 0 || res.dateFailed) {
        res.focusRow = res.missingRow >= 0 ? res.missingRow : dateRow;
        // A reading without a valid date is never stored, not even raw.
        res.outcome = ignoreErrors && !res.dateFailed ? EntryCheck::StoreRaw : EntryCheck::Refuse;
        return res;
    }

    using namespace item;
    bool failed = false;
    auto rule = [&](bool fails, long id, const QString& text, int focusItem, const std::vector<int>& boxes) {
        if (!fails) return false;
        if (!ignoreErrors) res.messages << GetMlString(id, text + OperatingSuffix) + named(boxes);
        res.focusRow = rowOf(focusItem);
        failed = true;
        return true;
    };
    const int nb = cp.NumBanks;
    PressureRules(nb, r, rule);
    const QString notAllowed = QStringLiteral(" is <=0 which is not allowed for an OPERATING data point.");
    const bool two = nb == 2;
    // In ignore mode no message is shown, and the rules run on to the 32 F rule.
    const bool stopped =
        (failed && !ignoreErrors) ||
        rule(r[PermFlow] <= 0, 533, "Perm Flow" + notAllowed, PermFlow, {PermFlow}) ||
        rule(r[ConcFlow] <= 0, 532, "Concentrate Flow" + notAllowed, ConcFlow, {ConcFlow}) ||
        rule(r[PermuS] <= 0, 534, "Perm uSiemens" + notAllowed, PermuS, {PermuS}) ||
        rule(r[FeeduS] <= 0, 535, "Feed uSiemens" + notAllowed, FeeduS, {FeeduS}) ||
        rule(two && r[FeedPressure_2] <= 0, 536, "Feed Pressure for Bank 2" + notAllowed, FeedPressure_2,
             {FeedPressure_2}) ||
        rule(two && r[FeedPressure_2] < r[ConcPressure], 537,
             "Feed Pressure for Bank 2 is < End Concentrate Pressure which is not allowed for an OPERATING "
             "two-bank data point.",
             FeedPressure_2, {FeedPressure_2, ConcPressure}) ||
        rule(two && r[PermFlow_2] <= 0, 538, "PermFlow for Bank 2" + notAllowed, PermFlow_2, {PermFlow_2});
    bool tooCold = false;
    if (!stopped) {
        if (r[Temperature] <= 32 && cp.unitTemp == 0) {
            // Shown in both modes; ignore mode stores the reading raw all the same.
            res.messages << GetMlString(
                                539,
                                "Temperature is <= 32F which is not allowed for an OPERATING two-bank data "
                                "point." +
                                    OperatingSuffix) +
                                named({Temperature});
            res.focusRow = rowOf(Temperature);
            tooCold = true;
        } else if (r.TheDate > now.addSecs(90 * 60)) {
            if (!ignoreErrors)
                res.messages << GetMlString(540, "Either the computer system date is incorrect. ") +
                                    now.toString("yyyy-MM-dd HH:mm") +
                                    GetMlString(541,
                                                " or you have entered a date in the future. Please check "
                                                "your input.");
            res.focusRow = dateRow;
            failed = true;
        }
    }
    if (tooCold)
        res.outcome = ignoreErrors ? EntryCheck::StoreRaw : EntryCheck::Refuse;
    else if (!failed)
        res.outcome = EntryCheck::Store;
    else
        res.outcome = ignoreErrors ? EntryCheck::StoreRaw : EntryCheck::Refuse;
    if (res.outcome == EntryCheck::Store) res.focusRow = -1;
    return res;
}

} // namespace hv
