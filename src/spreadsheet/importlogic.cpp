#include "spreadsheet/importlogic.h"

#include <QRegularExpression>

#include "collection/readingcheck.h"
#include "core/numbers.h"
#include "core/program.h"
#include "platform/database.h"

namespace hv {

namespace {

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

} // namespace

std::optional<AdvancedReference> AdvanceCellReference(const QString& ref) {
    const auto parts = splitReference(ref);
    if (!parts || parts->first >= 32767) return std::nullopt;
    return AdvancedReference{"R" + QString::number(parts->first + 1) + parts->second, parts->first};
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

UnitLabel ImportUnitLabel(int i, const ProjectInfoRecord& cp, const UserItems& user) {
    if (cp.NumBanks < 3) return UnitLabelFor(i, cp, user);
    ProjectInfoRecord two = cp;
    two.NumBanks = 2;
    UnitLabel l = UnitLabelFor(i, two, user);
    if ((i == item::PermFlow || i == item::PermuS) && cp.SystemData)
        l = UnitLabelFor(i, cp, user); // no tag for three banks entered as system values
    return l;
}

std::array<std::optional<QString>, ItemCount> ImportEntryColumn(const EntryHistory& h,
                                                                const std::array<int, ItemCount>& order) {
    std::array<std::optional<QString>, ItemCount> entry;
    const int dateRow = DateRow(order);
    for (size_t k = 0; k < entry.size(); ++k) {
        if (h.firstUse)
            entry[k] = h.reference[k].value_or(QString());
        else if (order[k] >= 0 && (int(k) != dateRow || order[k] != item::TheDate))
            entry[k] = h.earlier1[k]; // the newest reading's values
        else
            entry[k] = h.current[k];
    }
    return entry;
}

void SaveImportLinks(Program& p, const QString& projectId, int train, std::vector<ScadaRow>& links) {
    Database db = Database::open(p.ProjectDatabasePath);
    Transaction t(db);
    db.exec("DELETE FROM ScadaImport WHERE ProjectID = ? AND TrainNumber = ?", {projectId, qint64(train)});
    for (ScadaRow& l : links) {
        if (l.item.isEmpty() || l.item.at(0).toLower() != QLatin1Char('r')) l.item = QStringLiteral("R6C6");
        db.exec("INSERT INTO ScadaImport (ProjectID, TrainNumber, FieldValue, UseScada, Application, Topic, "
                "Item, Required, UseDefaultValues) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {projectId, qint64(train), l.field, qint64(l.useScada ? -1 : 0), l.application, l.topic,
                 l.item, qint64(l.required ? -1 : 0), qint64(l.useDefault ? -1 : 0)});
    }
    t.commit();
}

} // namespace hv
