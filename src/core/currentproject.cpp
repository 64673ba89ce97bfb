#include "core/currentproject.h"

#include <type_traits>
#include <variant>

#include "core/datatables.h"
#include "core/program.h"

namespace hv {

namespace {

using R = ProjectInfoRecord;
using Field = std::variant<QString R::*, QDateTime R::*, bool R::*, qint16 R::*, qint32 R::*, double R::*>;
struct RecordField {
    const schema::Column* column;
    Field field;
};

consteval const schema::Column& C(const char* name) {
    return schema::ProjectInfoColumn(name);
}

// Read in this order, the record's required columns first; by the column's Null rule a Null
// either stops the load where it stands or reads as 0. A value of another type stops it too.
constexpr RecordField recordFields[] = {
    {&C("DateReference"), &R::DateReference},
    {&C("ProjectID"), &R::ProjectID},
    {&C("NumBanks"), &R::NumBanks},
    {&C("TrainNumber"), &R::TrainNumber},
    {&C("NumTrains"), &R::NumTrains},
    {&C("CapacityM3D"), &R::CapacityM3D},
    {&C("Systemdata"), &R::SystemData},
    {&C("unitFlow"), &R::unitFlow},
    {&C("unitTemp"), &R::unitTemp},
    {&C("unitPress"), &R::unitPress},
    {&C("unitFlux"), &R::unitFlux},
    {&C("ElapsedTimeRef"), &R::ElapsedTimeRef},
    {&C("FeedTemp"), &R::FeedTemp},
    {&C("FeeduS"), &R::FeeduS},
    {&C("PermuS"), &R::PermuS},
    {&C("ConcuS"), &R::ConcuS},
    {&C("FeedFlow"), &R::FeedFlow},
    {&C("ConcFlow"), &R::ConcFlow},
    {&C("PermFlow"), &R::PermFlow},
    {&C("OverallRecovery"), &R::OverallRecovery},
    {&C("FeedPressure"), &R::FeedPressure},
    {&C("ConcPressure"), &R::ConcPressure},
    {&C("DeltaPress"), &R::DeltaPress},
    {&C("PermBackPress"), &R::PermBackPress},
    {&C("ConcPressure_1"), &R::ConcPressure_1},
    {&C("ElementType"), &R::ElementType},
    {&C("NumElementsBank"), &R::NumElementsBank},
    {&C("AreaBank"), &R::AreaBank},
    {&C("PermuS_1"), &R::PermuS_1},
    {&C("PermuS_2"), &R::PermuS_2},
    {&C("PermFlow_1"), &R::PermFlow_1},
    {&C("PermFlow_2"), &R::PermFlow_2},
    {&C("FeedPressure_2"), &R::FeedPressure_2},
    {&C("PermBackPress_1"), &R::PermBackPress_1},
    {&C("PermBackPress_2"), &R::PermBackPress_2},
    {&C("ElementType_1"), &R::ElementType_1},
    {&C("ElementType_2"), &R::ElementType_2},
    {&C("NumElementsBank_1"), &R::NumElementsBank_1},
    {&C("NumElementsBank_2"), &R::NumElementsBank_2},
    {&C("AreaBank_1"), &R::AreaBank_1},
    {&C("AreaBank_2"), &R::AreaBank_2},
    {&C("DeltaPress_1"), &R::DeltaPress_1},
    {&C("DeltaPress_2"), &R::DeltaPress_2},
    {&C("uStoPPM"), &R::uStoPPM},
    {&C("uStoPI_Feed"), &R::uStoPI_Feed},
    {&C("uStoPI_Perm"), &R::uStoPI_Perm},
    {&C("Permflow_3"), &R::PermFlow_3},
    {&C("PermuS_3"), &R::PermuS_3},
    {&C("FeedPressure_3"), &R::FeedPressure_3},
    {&C("ConcPressure_2"), &R::ConcPressure_2},
    {&C("PermbackPress_3"), &R::PermBackPress_3},
    {&C("ElementType_3"), &R::ElementType_3},
    {&C("NumElementsBank_3"), &R::NumElementsBank_3},
    {&C("AreaBank_3"), &R::AreaBank_3},
    {&C("DeltaPress_3"), &R::DeltaPress_3},
    {&C("ElementsPerVessel_1"), &R::ElementsPerVessel_1},
    {&C("numVessels_1"), &R::NumVessels_1},
    {&C("ElementsPerVessel_2"), &R::ElementsPerVessel_2},
    {&C("numVessels_2"), &R::NumVessels_2},
    {&C("ElementsPerVessel_3"), &R::ElementsPerVessel_3},
    {&C("NumVessels_3"), &R::NumVessels_3},
};

// Every column the description requires, or reads a Null of as 0, has its field here, and no
// other column does.
constexpr bool coversTheRules() {
    std::size_t ruled = 0;
    for (const schema::Column& c : schema::ProjectInfo.columns)
        if (c.null != schema::NullRule::Kept) {
            ++ruled;
            std::size_t found = 0;
            for (const RecordField& f : recordFields)
                found += schema::detail::sameName(f.column->name, c.name, false);
            if (found != 1) return false;
        }
    return ruled == std::size(recordFields);
}
static_assert(coversTheRules());

template <class T> T as(const QVariant& v) {
    if constexpr (std::is_same_v<T, QString>)
        return conv::toText(v);
    else if constexpr (std::is_same_v<T, QDateTime>)
        return conv::toDateTime(v);
    else if constexpr (std::is_same_v<T, bool>)
        return conv::toBool(v);
    else if constexpr (std::is_same_v<T, qint16>)
        return conv::toInt16(v);
    else if constexpr (std::is_same_v<T, qint32>)
        return conv::toInt32(v);
    else
        return conv::toDouble(v);
}

void readColumn(ProjectInfoRecord& r, const DbRow& rs, const RecordField& c) {
    const bool nullIsZero = c.column->null == schema::NullRule::ReadsZero;
    const QVariant v = rs.value(QLatin1String(c.column->name));
    std::visit(
        [&](auto field) {
            using T = std::remove_reference_t<decltype(r.*field)>;
            r.*field = nullIsZero && conv::isNull(v) ? T() : as<T>(v);
        },
        c.field);
}

} // namespace

void LoadProjectRecord(ProjectInfoRecord& record, const DbRow& rs) {
    for (const RecordField& c : recordFields)
        readColumn(record, rs, c);
}

void LoadProjectSettings(Program& p, const DbRow& rs) {
    LoadProjectRecord(p.CurrentProject, rs);
}

std::optional<ProjectInfoRecord> ReadProjectRecord(Database& db, const QString& projectId, qint16 train) {
    const DbRows rows =
        db.select(QStringLiteral("SELECT * FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)"),
                  {projectId, qint64(train)});
    if (rows.isEmpty()) return std::nullopt;
    ProjectInfoRecord record;
    LoadProjectRecord(record, rows.first());
    return record;
}

QStringList RequiredProjectColumns() {
    return schema::Names(schema::ProjectInfo,
                         [](const schema::Column& c) { return c.null == schema::NullRule::Refused; });
}

} // namespace hv
