#include "collection/entryhistory.h"

#include "collection/readingcheck.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "normalization/readingorder.h"
#include "platform/database.h"

#include <algorithm>
#include <cmath>

namespace hv {

namespace {

QString dateText(const QVariant& v) {
    if (conv::isNull(v)) return QString();
    const QDateTime dt = conv::toDateTime(v);
    return dt.isValid() ? ShortDateTimeText(dt) : v.toString();
}

double numberOrZero(const QVariant& v) {
    if (conv::isNull(v)) return 0;
    bool ok = false;
    const double x = v.toDouble(&ok);
    return ok ? x : 0;
}

// Stored hours in the form of every hour heading; none for a Null.
QString hoursText(const QVariant& v) {
    return conv::isNull(v) ? QString() : FormatHours(numberOrZero(v));
}

// The reference box of an item, from the ProjectInfo row.
QString referenceText(int i, const DbRow& info) {
    const ReadingItem& it = ReadingItems()[size_t(i)];
    switch (it.reference) {
    case ReferenceKind::Date:
        return dateText(info.value("DateReference"));
    case ReferenceKind::Column:
        return StoredValueText(info.value(QLatin1String(it.column)));
    case ReferenceKind::FeedTemp:
        return StoredValueText(info.value("FeedTemp"));
    case ReferenceKind::RefPH:
        return info.isNull("refpH") ? QStringLiteral("7") : StoredValueText(info.value("refpH"));
    case ReferenceKind::None:
        break;
    }
    return QStringLiteral("N/A");
}

} // namespace

QString StoredValueText(const QVariant& v) {
    if (conv::isNull(v)) return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return GeneralNumber(v.toDouble());
    default:
        return v.toString();
    }
}

EntryHistory ReadEntryHistory(Program& p, const std::array<int, ItemCount>& order, double intervalMinutes) {
    const ProjectInfoRecord& cp = p.CurrentProject;
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows infos = db.select("SELECT * FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ?",
                                   {cp.ProjectID, qint64(cp.TrainNumber)});
    if (infos.isEmpty())
        throw DbError(dberr::NoCurrentRecord,
                      QString("There is no project information for project %1, train %2.")
                          .arg(cp.ProjectID)
                          .arg(cp.TrainNumber));
    const DbRow& info = infos.first();
    std::vector<DbRow> data;
    for (const qint64 id : NewestReadingIds(db, cp.ProjectID, cp.TrainNumber, 2))
        data.push_back(db.select("SELECT * FROM Data WHERE ID = ?", {id}).first());
    const bool bankLevel = HasBankLevelEntry(cp);
    const QStringList fields = ItemFieldList();
    EntryHistory h;

    if (data.empty()) {
        h.firstUse = true;
        const QString noData = GetMlString(595, "No Data");
        for (size_t k = 0; k < size_t(ItemCount); ++k) {
            h.current[k] = h.earlier1[k] = h.earlier2[k] = noData;
            const int i = order[k];
            if (i < 0 || i >= ItemCount) continue;
            QString ref = referenceText(i, info);
            if (bankLevel && i == item::PermFlow) ref = StoredValueText(info.value("permFlow_1"));
            if (bankLevel && i == item::PermuS) ref = StoredValueText(info.value("permus_1"));
            h.reference[k] = ref;
            if (i == item::TheDate) h.times[0] = h.times[3] = hoursText(info.value("elapsedtimeref"));
            if (!ItemIsOptional(i)) h.current[k] = ref;
        }
        return h;
    }

    for (int j = 1; j <= int(data.size()); ++j) {
        const DbRow& row = data.at(j - 1);
        auto& earlier = j == 1 ? h.earlier1 : h.earlier2;
        for (size_t k = 0; k < size_t(ItemCount); ++k) {
            const int i = order[k];
            if (i < 0 || i >= ItemCount) continue;
            // Entered bank by bank, the system rows show bank 1's own columns.
            const bool bankOne = bankLevel && (i == item::PermFlow || i == item::PermuS);
            const bool flow = i == item::PermFlow;
            const QVariant v = row.value(bankOne ? QString(flow ? "PermFlow_1" : "PermuS_1") : fields[i]);
            // No value is shown as none; the proposal is the newest reading's that has one.
            earlier[k] = i == item::TheDate ? dateText(v) : StoredValueText(v);
            if (j == 1 || (h.current[k] && h.current[k]->isEmpty())) h.current[k] = earlier[k];
            if (j == 1)
                h.reference[k] = bankOne ? StoredValueText(info.value(flow ? "permFlow_1" : "permus_1"))
                                         : referenceText(i, info);
            if (i == item::TheDate && j == 1) {
                h.times[3] = hoursText(info.value("elapsedtimeref"));
                const QDateTime newest = conv::isNull(v) ? QDateTime() : conv::toDateTime(v);
                if (newest.isValid())
                    h.current[k] =
                        ShortDateTimeText(newest.addSecs(qint64(std::llround(intervalMinutes * 60))));
                h.times[0] = FormatHours(numberOrZero(row.value("ElapsedTimehrs")) + intervalMinutes / 60);
            }
        }
        h.times[size_t(j)] = FormatHours(numberOrZero(row.value("ElapsedTimehrs")));
    }
    return h;
}

} // namespace hv
