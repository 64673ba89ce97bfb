#include "core/currentproject.h"

#include <type_traits>
#include <variant>

#include "core/program.h"

namespace hv {

namespace {

using R = ProjectInfoRecord;
struct Column {
    const char* name;
    std::variant<QString R::*, QDateTime R::*, bool R::*, qint16 R::*, qint32 R::*, double R::*> field;
};

// Read in this order; a Null or a value of another type stops the load where it stands.
const Column storedColumns[] = {
    {"DateReference", &R::DateReference},
    {"ProjectID", &R::ProjectID},
    {"NumBanks", &R::NumBanks},
    {"TrainNumber", &R::TrainNumber},
    {"NumTrains", &R::NumTrains},
    {"CapacityM3D", &R::CapacityM3D},
    {"SystemData", &R::SystemData},
    {"unitFlow", &R::unitFlow},
    {"unitTemp", &R::unitTemp},
    {"unitPress", &R::unitPress},
    {"unitFlux", &R::unitFlux},
    {"ElapsedTimeRef", &R::ElapsedTimeRef},
    {"FeedTemp", &R::FeedTemp},
    {"FeeduS", &R::FeeduS},
    {"PermuS", &R::PermuS},
    {"ConcuS", &R::ConcuS},
    {"FeedFlow", &R::FeedFlow},
    {"ConcFlow", &R::ConcFlow},
    {"PermFlow", &R::PermFlow},
    {"OverallRecovery", &R::OverallRecovery},
    {"FeedPressure", &R::FeedPressure},
    {"ConcPressure", &R::ConcPressure},
    {"DeltaPress", &R::DeltaPress},
    {"PermBackPress", &R::PermBackPress},
    {"ConcPressure_1", &R::ConcPressure_1},
    {"ElementType", &R::ElementType},
    {"NumElementsBank", &R::NumElementsBank},
    {"AreaBank", &R::AreaBank},
    {"PermuS_1", &R::PermuS_1},
    {"PermuS_2", &R::PermuS_2},
    {"PermFlow_1", &R::PermFlow_1},
    {"PermFlow_2", &R::PermFlow_2},
    {"feedPressure_2", &R::FeedPressure_2},
    {"PermBackPress_1", &R::PermBackPress_1},
    {"PermBackPress_2", &R::PermBackPress_2},
    {"ElementType_1", &R::ElementType_1},
    {"ElementType_2", &R::ElementType_2},
    {"NumElementsBank_1", &R::NumElementsBank_1},
    {"NumElementsBank_2", &R::NumElementsBank_2},
    {"AreaBank_1", &R::AreaBank_1},
    {"AreaBank_2", &R::AreaBank_2},
    {"DeltaPress_1", &R::DeltaPress_1},
    {"DeltaPress_2", &R::DeltaPress_2},
    {"uStoPPM", &R::uStoPPM},
    {"uStoPI_Feed", &R::uStoPI_Feed},
    {"uStoPI_Perm", &R::uStoPI_Perm},
};

// Columns added with the third bank; rows stored before may hold Null, which reads as 0.
const Column laterColumns[] = {
    {"Permflow_3", &R::PermFlow_3},
    {"PermuS_3", &R::PermuS_3},
    {"FeedPressure_3", &R::FeedPressure_3},
    {"ConcPressure_2", &R::ConcPressure_2},
    {"PermbackPress_3", &R::PermBackPress_3},
    {"ElementType_3", &R::ElementType_3},
    {"numElementsBank_3", &R::NumElementsBank_3},
    {"AreaBank_3", &R::AreaBank_3},
    {"DeltaPress_3", &R::DeltaPress_3},
    {"ElementsPerVessel_1", &R::ElementsPerVessel_1},
    {"NumVessels_1", &R::NumVessels_1},
    {"ElementsPerVessel_2", &R::ElementsPerVessel_2},
    {"NumVessels_2", &R::NumVessels_2},
    {"ElementsPerVessel_3", &R::ElementsPerVessel_3},
    {"NumVessels_3", &R::NumVessels_3},
};

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

void readColumn(ProjectInfoRecord& r, const DbRow& rs, const Column& c, bool nullIsZero) {
    const QVariant v = rs.value(QLatin1String(c.name));
    std::visit(
        [&](auto field) {
            using T = std::remove_reference_t<decltype(r.*field)>;
            r.*field = nullIsZero && conv::isNull(v) ? T() : as<T>(v);
        },
        c.field);
}

} // namespace

void LoadProjectRecord(ProjectInfoRecord& record, const DbRow& rs) {
    for (const Column& c : storedColumns)
        readColumn(record, rs, c, false);
    for (const Column& c : laterColumns)
        readColumn(record, rs, c, true);
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
    QStringList names;
    for (const Column& c : storedColumns)
        names << QLatin1String(c.name);
    return names;
}

} // namespace hv
