#include "collection/readingitems.h"

#include "core/clsconnection.h"
#include "core/datatables.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "core/units.h"

#include <algorithm>

namespace hv {

const std::array<ReadingItem, ItemCount>& ReadingItems() {
    using U = UnitKind;
    using R = ReferenceKind;
    static constexpr std::array<ReadingItem, ItemCount> items = {{
        {560, "TheDate", "TheDate", U::Date, 1, R::Date},
        {561, "PermFlow", "PermFlow", U::Flow, 1, R::Column},
        {562, "ConcFlow", "ConcFlow", U::Flow, 1, R::Column},
        {596, "FeedPressure", "FeedPressure", U::Pressure, 1, R::Column},
        {597, "ConcPressure", "ConcPressure", U::Pressure, 1, R::Column},
        {565, "PermBackPress", "PermBackPress", U::Pressure, 1, R::Column},
        {566, "FeeduS", "FeeduS", U::Conductivity, 1, R::Column},
        {598, "PermUs", "PermUs", U::Conductivity, 1, R::Column},
        {1395, "Temperature", "Temperature", U::Temperature, 1, R::FeedTemp},
        {568, "pH", "pH", U::PH, 1, R::RefPH},
        {569, "PermFlow_2", "PermFlow_2", U::Flow, 2, R::Column},
        {570, "PermuS_2", "PermuS_2", U::Conductivity, 2, R::Column},
        {571, "FeedPressure_2", "FeedPressure_2", U::Pressure, 2, R::Column},
        {572, "PermBackPress_2", "PermBackPress_2", U::Pressure, 2, R::Column},
        {599, "ConcPressure_1", "ConcPressure_1", U::Pressure, 2, R::Column},
        {573, "TurbidityFeed", "TurbidityFeed", U::User, 1, R::None},
        {574, "TurbidityRaw", "TurbidityRaw", U::User, 1, R::None},
        {575, "ORP", "ORP", U::User, 1, R::None},
        {576, "SDIFeed", "SDIFeed", U::User, 1, R::None},
        {1394, "SDIRaw", "SDIRaw", U::User, 1, R::None},
        {0, "Permflow_3", "Permflow_3", U::Flow, 3, R::Column},
        {0, "PermuS_3", "PermuS_3", U::Conductivity, 3, R::Column},
        {0, "FeedPressure_3", "FeedPressure_3", U::Pressure, 3, R::Column},
        {0, "ConcPressure_2", "ConcPressure_2", U::Pressure, 3, R::Column},
        {0, "PermbackPress_3", "PermbackPress_3", U::Pressure, 3, R::Column},
    }};
    // The history reads an item's Data column, the reference its ProjectInfo column.
    static_assert(std::all_of(items.begin(), items.end(), [](const ReadingItem& it) {
        return schema::IsDataColumn(it.column) &&
               (it.reference != ReferenceKind::Column || schema::IsProjectInfoColumn(it.column));
    }));
    return items;
}

bool ItemIsOptional(int item) {
    if (item < 0 || item >= ItemCount) return false;
    return schema::DataColumnNamed(ReadingItems()[size_t(item)].column)->optional;
}

std::optional<UserItems> ReadUserItems(Program& p, const QString& projectId) {
    clsConnection cn;
    cn.DatabasePath(p.ProjectDatabasePath);
    DbRows rs = cn.SelectQuery("SELECT * FROM UserDefined WHERE ProjectID = ?", {projectId});
    if (rs.isEmpty()) rs = cn.SelectQuery("SELECT * FROM UserDefined WHERE ProjectID = 'Default'");
    if (rs.isEmpty()) return std::nullopt;
    const DbRow& r = rs.first();
    static const char* const captions[5] = {"TurbidityFeed", "TurbidityRaw", "ORP", "SDIFeed", "SDIRaw"};
    static const char* const units[5] = {"UnitsTFeed", "UnitsTRaw", "UnitsORP", "UnitsSDIFeed",
                                         "UnitsSDIRaw"};
    UserItems u;
    for (size_t i = 0; i < 5; ++i) {
        // A Null caption or unit shows as an empty text rather than failing the window.
        u.captions[i] = r.value(captions[i]).toString();
        u.units[i] = r.value(units[i]).toString();
    }
    return u;
}

QStringList ItemCaptionList(const UserItems& user) {
    QStringList list;
    for (int i = 0; i < ItemCount; ++i) {
        const ReadingItem& it = ReadingItems()[size_t(i)];
        if (i >= item::FirstUser && i <= item::LastUser)
            list << user.captions[size_t(i - item::FirstUser)];
        else if (it.textId)
            list << GetMlString(it.textId, QLatin1String(it.listText));
        else
            list << QLatin1String(it.listText);
    }
    return list;
}

QStringList ItemFieldList() {
    QStringList list;
    for (const ReadingItem& it : ReadingItems())
        list << QLatin1String(it.column);
    return list;
}

bool HasBankLevelEntry(const ProjectInfoRecord& cp) {
    return !cp.SystemData && cp.NumBanks >= 2;
}

UnitLabel UnitLabelFor(int i, const ProjectInfoRecord& cp, const UserItems& user) {
    const int nb = cp.NumBanks;
    const QString flow = GetUnitName(3, cp.unitFlow);
    const QString press = GetUnitName(1, cp.unitPress);
    const QString siemens = GetMlString(592, "uSiemens");
    const QString bank1 = " Bank1", bank2 = " Bank2", system = " System";
    UnitLabel l;
    l.green = true;
    switch (i) {
    case item::TheDate:
        l.text = ShortDateTimeHint();
        l.serifFont = true;
        break;
    case item::PermFlow:
        l.text = flow;
        if (!cp.SystemData && nb >= 2) l.text += GetMlString(623, bank1);
        if (cp.SystemData && nb == 2) l.text += GetMlString(623, system);
        break;
    case item::ConcFlow:
        l.text = flow;
        if (nb >= 2) l.text += GetMlString(623, system);
        break;
    case item::PermFlow_2:
        l.text = flow;
        l.green = nb != 1;
        if (nb != 1) l.text += bank2;
        break;
    case item::PermFlow_3:
        l.text = flow;
        break;
    case item::FeedPressure:
    case item::ConcPressure:
        l.text = press;
        if (nb == 2) l.text += system;
        break;
    case item::PermBackPress:
    case item::ConcPressure_1:
        l.text = press;
        if (nb == 2) l.text += bank1;
        break;
    case item::FeedPressure_2:
    case item::PermBackPress_2:
        l.text = press;
        l.green = nb != 1;
        if (nb == 2) l.text += bank2;
        break;
    case item::FeedPressure_3:
    case item::ConcPressure_2:
    case item::PermBackPress_3:
        l.text = press;
        break;
    case item::FeeduS:
    case item::PermuS_3:
        l.text = siemens;
        break;
    case item::PermuS:
        l.text = siemens;
        if (nb == 2) l.text += cp.SystemData ? system : bank1;
        break;
    case item::PermuS_2:
        l.text = siemens;
        l.green = nb != 1;
        if (nb == 2) l.text += bank2;
        break;
    case item::Temperature:
        l.text = GetUnitName(2, cp.unitTemp);
        break;
    case item::pH:
        l.text = GetMlString(594, "pH Units");
        l.green = false;
        break;
    default:
        l.text = user.units[size_t(i - item::FirstUser)];
        l.green = false;
        break;
    }
    return l;
}

std::optional<bool> ItemUsableForBanks(int i, int numBanks) {
    if (numBanks > 3) return std::nullopt;
    return ReadingItems()[size_t(i)].banks <= std::max(numBanks, 1);
}

} // namespace hv
