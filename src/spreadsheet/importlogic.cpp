#include "spreadsheet/importlogic.h"

#include <QRegularExpression>

#include "collection/readingcheck.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "platform/database.h"

namespace hv {

namespace {

const QString OperatingSuffix = QStringLiteral(" Please check you input.");

// "R<row>C<rest>": the row number and the text from the "C" on.
std::optional<std::pair<int, QString>> splitReference(const QString& ref) {
    if (ref.isEmpty() || ref.at(0).toLower() != QLatin1Char('r')) return std::nullopt;
    const qsizetype c = ref.toLower().indexOf(QLatin1Char('c'));
    if (c < 2) return std::nullopt;
    const QString rowPart = ref.mid(1, c - 1);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(rowPart).hasMatch()) return std::nullopt;
    bool ok = false;
    const int row = rowPart.toInt(&ok);
    if (!ok) return std::nullopt;
    return std::make_pair(row, ref.mid(c));
}

bool isYes(const QVariant& v) {
    return !conv::isNull(v) && v.toLongLong() != 0;
}

} // namespace

int DateRow(const std::array<int, ItemCount>& order) {
    for (int k = 0; k < ItemCount; ++k)
        if (order[size_t(k)] == item::TheDate) return k;
    return 0;
}

std::optional<AdvancedReference> AdvanceCellReference(const QString& ref) {
    const auto parts = splitReference(ref);
    if (!parts || parts->first >= 32767) return std::nullopt;
    return AdvancedReference{"R" + QString::number(parts->first + 1) + parts->second, parts->first};
}

std::optional<QString> MoveReferenceUp(const QString& ref, int rows) {
    const auto parts = splitReference(ref);
    if (!parts || parts->first - rows < 1) return std::nullopt;
    return "R" + QString::number(parts->first - rows) + parts->second;
}

void CopyRowPart(std::array<QString, ItemCount>& refs) {
    const qsizetype c0 = refs[0].indexOf(QLatin1Char('c'), 0, Qt::CaseInsensitive);
    if (c0 < 0) return;
    const QString rowPart = refs[0].left(c0);
    for (size_t k = 1; k < refs.size(); ++k) {
        const qsizetype c = refs[k].indexOf(QLatin1Char('c'), 0, Qt::CaseInsensitive);
        if (c >= 0) refs[k] = rowPart + refs[k].mid(c);
    }
}

ImportCheck CheckImportedRow(const ProjectInfoRecord& cp, std::array<ImportRow, ItemCount>& rows,
                             const QString& elapsedCaption, bool ignoreErrors, int decimalCode,
                             ReadingValues& r, const QDateTime& now) {
    ImportCheck res;
    std::array<int, ItemCount> order{};
    for (int k = 0; k < ItemCount; ++k)
        order[size_t(k)] = rows[size_t(k)].item;
    const int dateRow = DateRow(order);
    auto rowOf = [&](int it) {
        for (int k = 0; k < ItemCount; ++k)
            if (rows[size_t(k)].item == it) return k;
        return 0;
    };

    bool failed = false;
    int missing = -1;
    for (int k = 0; k < ItemCount; ++k) {
        ImportRow& row = rows[size_t(k)];
        if (!row.required || !row.text.isEmpty()) continue;
        if (row.keep && k != dateRow && IsNumericText(row.earlier1)) {
            row.text = row.earlier1;
            continue;
        }
        failed = true;
        missing = k;
        break;
    }

    r.ElapsedTimeHrs = ParsePercent(elapsedCaption);
    for (int k = 0; k < ItemCount; ++k) {
        const ImportRow& row = rows[size_t(k)];
        if (row.item < 0 || row.item >= ItemCount) continue;
        if (row.item == item::TheDate) {
            const std::optional<QDateTime> d = ParseEntryDate(row.text);
            if (!d) {
                res.messages << GetMlString(
                    525, "Cannot save data without a valid Date and Time! Data will not be saved.");
                failed = true;
                continue;
            }
            r.TheDate = *d;
            if (ParseEntryDate(row.earlier1)) {
                r.ElapsedTimeHrs = std::max(0.0, ElapsedHoursAt(*d, cp));
                res.elapsedCaption = FormatHours(r.ElapsedTimeHrs);
            }
        } else {
            QString text = row.text;
            r[row.item] = ParsePercent(StripNonNumeric(text, decimalCode));
        }
    }

    if (failed) {
        res.panel2 = GetMlString(547, "A REQUIRED FIELD HAS NO DATA. SAVE FAILED!");
        if (missing >= 0) {
            res.panel4 = GetMlString(526, "A REQUIRED FIELD, ") + rows[size_t(missing)].caption +
                         GetMlString(527, " HAS NO DATA. SAVE FAILED!");
            res.focusRow = missing;
            res.result = ignoreErrors ? -1000 : missing;
            res.skipCalculation = ignoreErrors;
        }
        return res;
    }

    using namespace item;
    bool ruleFailed = false;
    auto rule = [&](bool fails, long id, const QString& text, int focusItem) {
        if (!fails) return false;
        if (!ignoreErrors) res.messages << GetMlString(id, text + OperatingSuffix);
        res.result = rowOf(focusItem);
        ruleFailed = true;
        return true;
    };
    const int nb = cp.NumBanks;
    PressureRules(nb, r, rule);
    const bool pressureFailed = ruleFailed;
    const QString notAllowed = QStringLiteral(" is <=0 which is not allowed for an OPERATING data point.");
    const bool two = nb == 2;
    const bool stopped =
        rule(r[PermFlow] <= 0, 533, "Perm Flow" + notAllowed, PermFlow) ||
        rule(r[ConcFlow] <= 0, 532, "Concentrate Flow" + notAllowed, ConcFlow) ||
        rule(r[PermuS] <= 0, 534, "Perm uSiemens" + notAllowed, PermuS) ||
        rule(r[FeeduS] <= 0, 535, "Feed uSiemens" + notAllowed, FeeduS) ||
        rule(two && r[FeedPressure_2] <= 0, 536, "Feed Pressure for Bank 2" + notAllowed, FeedPressure_2) ||
        rule(two && r[FeedPressure_2] < r[ConcPressure], 537,
             "Feed Pressure for Bank 2 is < End Concentrate Pressure which is not allowed for an OPERATING "
             "two-bank data point.",
             FeedPressure_2) ||
        rule(two && r[PermFlow_2] <= 0, 538, "PermFlow for Bank 2" + notAllowed, PermFlow_2);
    if (!stopped) {
        if (r[Temperature] <= 32 && cp.unitTemp == 0) {
            // Shown in both modes; in ignore mode it does not count as an ignorable failure,
            // so the row is not stored.
            res.messages << GetMlString(
                539, "Temperature is <= 32F which is not allowed for an OPERATING two-bank data point." +
                         OperatingSuffix);
            if (!ignoreErrors) res.result = rowOf(Temperature);
        } else if (r.TheDate > now.addSecs(90 * 60)) {
            if (!ignoreErrors)
                res.messages << GetMlString(540, "Either the computer system date is incorrect. ") +
                                    now.toString("yyyy-MM-dd HH:mm") +
                                    GetMlString(541,
                                                " or you have entered a date in the future. Please check "
                                                "your input.");
            res.result = dateRow;
            ruleFailed = true;
        } else if (!pressureFailed) {
            res.result = -1;
        }
    }
    if (ignoreErrors && ruleFailed) {
        res.result = -1000;
        res.skipCalculation = true;
    }
    return res;
}

void BalanceImportedReading(ReadingValues& r, int numBanks, bool systemData, bool ignoreErrors) {
    using namespace item;
    r.PermBackPress_1 = 0;
    if (ignoreErrors && numBanks == 2 && systemData && r[PermFlow] - r[PermFlow_2] == 0) {
        r.PermFlow_1 = 0;
        r.PermuS_1 = 0;
        r.PermBackPress_1 = r[PermBackPress];
        r.FeedFlow = r[PermFlow] + r[ConcFlow];
        return;
    }
    if (ignoreErrors && numBanks == 3 && r[PermFlow] + r[PermFlow_2] + r[PermFlow_3] == 0) {
        r.PermFlow_1 = r[PermFlow];
        r.PermuS_1 = r[PermuS];
        r[PermFlow] = 0;
        r[PermuS] = 0;
        r.PermBackPress_1 = r[PermBackPress];
        r.FeedFlow = r[ConcFlow];
        return;
    }
    ApplyBankBalance(r, numBanks, systemData);
}

ImportLink BuiltInImportLink(int row) {
    ImportLink l;
    l.item = QStringLiteral("R%1C1").arg(row + 1);
    return l;
}

std::vector<StoredImportLink> ReadImportLinks(Program& p, const QString& projectId, int train) {
    Database db = Database::open(p.ProjectDatabasePath);
    const QString sql = QStringLiteral(
        "SELECT FieldValue, UseScada, Application, Topic, Item, Required, UseDefaultValues FROM ScadaImport "
        "WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID");
    DbRows rows = db.select(sql, {projectId, qint64(train)});
    if (rows.isEmpty()) rows = db.select(sql, {QStringLiteral("Default"), qint64(1)});
    std::vector<StoredImportLink> out;
    for (const DbRow& r : rows) {
        StoredImportLink s;
        s.fieldValue = r.value("FieldValue").toString();
        s.link.application = r.value("Application").toString();
        s.link.topic = r.value("Topic").toString();
        s.link.item = r.value("Item").toString();
        s.link.linked = isYes(r.value("UseScada"));
        s.link.required = isYes(r.value("Required"));
        s.link.keep = isYes(r.value("UseDefaultValues"));
        out.push_back(s);
    }
    return out;
}

void SaveImportLinks(Program& p, const QString& projectId, int train, const QStringList& fields,
                     std::array<ImportLink, ItemCount>& links) {
    Database db = Database::open(p.ProjectDatabasePath);
    Transaction t(db);
    db.exec("DELETE FROM ScadaImport WHERE ProjectID = ? AND TrainNumber = ?", {projectId, qint64(train)});
    for (size_t k = 0; k < links.size(); ++k) {
        ImportLink& l = links[k];
        if (l.item.isEmpty() || l.item.at(0).toLower() != QLatin1Char('r')) l.item = QStringLiteral("R6C6");
        db.exec("INSERT INTO ScadaImport (ProjectID, TrainNumber, FieldValue, UseScada, Application, Topic, "
                "Item, Required, UseDefaultValues) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {projectId, qint64(train), k < size_t(fields.size()) ? fields[qsizetype(k)] : QString(),
                 qint64(l.linked ? -1 : 0), l.application, l.topic, l.item, qint64(l.required ? -1 : 0),
                 qint64(l.keep ? -1 : 0)});
    }
    t.commit();
}

namespace {

// InputOrder's columns by position; a two-bank database lacks the last five.
QStringList orderColumns(Database& db) {
    static const QStringList names = {"TheDate",        "PermFlow",
                                      "ConcFlow",       "FeedPressure",
                                      "ConcPressure",   "PermBackPress",
                                      "FeeduS",         "PermuS",
                                      "Temperature",    "pH",
                                      "PermFlow_2",     "PermuS_2",
                                      "FeedPressure_2", "PermBackPress_2",
                                      "ConcPressure_1", "TurbidityFeed",
                                      "TurbidityRaw",   "ORP",
                                      "SDIFeed",        "SDIRaw",
                                      "PermFlow_3",     "PermuS_3",
                                      "FeedPressure_3", "PermBackPress_3",
                                      "ConcPressure_2"};
    const QStringList real = db.columns("InputOrder");
    QStringList out;
    for (const QString& n : names) {
        bool there = false;
        for (const QString& c : real)
            there = there || c.compare(n, Qt::CaseInsensitive) == 0;
        if (!there) break;
        out << n;
    }
    return out;
}

} // namespace

std::optional<std::array<int, ItemCount>> ReadImportOrder(Program& p, const QString& projectId, int train) {
    Database db = Database::open(p.ProjectDatabasePath);
    const QStringList cols = orderColumns(db);
    const DbRows rows = db.select("SELECT " + cols.join(", ") +
                                      " FROM InputOrder WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID",
                                  {projectId, qint64(train)});
    if (rows.isEmpty()) return std::nullopt;
    std::array<int, ItemCount> order{};
    for (int k = 0; k < ItemCount; ++k) {
        order[size_t(k)] = k;
        if (k >= cols.size()) continue;
        const QVariant v = rows.first().value(k);
        bool ok = false;
        const int i = conv::isNull(v) ? -1 : v.toInt(&ok);
        order[size_t(k)] = ok && i >= 0 && i < ItemCount ? i : -1;
    }
    return order;
}

void SaveImportOrder(Program& p, const QString& projectId, int train,
                     const std::array<int, ItemCount>& order) {
    Database db = Database::open(p.ProjectDatabasePath);
    const QStringList cols = orderColumns(db);
    QVariantList values;
    for (int k = 0; k < cols.size(); ++k)
        values << qint64(order[size_t(k)]);
    Transaction t(db);
    const QVariant id =
        db.scalar("SELECT ID FROM InputOrder WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID",
                  {projectId, qint64(train)});
    if (id.isValid() && !id.isNull()) {
        QStringList sets;
        for (const QString& c : cols)
            sets << c + " = ?";
        db.exec("UPDATE InputOrder SET " + sets.join(", ") + " WHERE ID = ?", values << id);
    } else {
        db.exec("INSERT INTO InputOrder (" + cols.join(", ") + ", ProjectID, TrainNumber) VALUES (" +
                    QString("?, ").repeated(cols.size()) + "?, ?)",
                values << projectId << qint64(train));
    }
    t.commit();
}

} // namespace hv
