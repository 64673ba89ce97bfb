#pragma once
#include <QStringList>
#include <array>
#include <cstddef>
#include <span>

#include "core/dbversion.h"

// The tables Data and ProjectInfo, described once: every column as data/schema.sql spells
// it, its type, what it holds and the version that brought it. The layout check, the column
// lists of the readings' roads and the upgrade draw from here; a list whose order or
// spelling a window or a file fixes is checked against it when it compiles or by a test.
namespace hv::schema {

enum class SqlType { Integer, Real, Text };

// Key: names the row (ID, project, train). Date: when the reading was taken or the
// reference set. Raw: a value given by a person, a plant or a file. Calculated: written by
// the normalization; defaults to 0 so that a reading stored with its raw values normalizes.
enum class Kind { Key, Date, Raw, Calculated };

// What a Null stored in a column means to the program.
enum class NullRule {
    // An item without a value: stored and shown as Null, never as 0.
    Kept,
    // A record cannot be used without it: a road that meets a Null names the column.
    Refused,
    // Read as 0: rows stored before the program wrote the column may hold Null.
    ReadsZero,
};

// The whole numbers a column may hold, both ends included.
struct WholeRange {
    long long least = 1;
    long long most = 0;
    constexpr bool any() const { return least > most; }
    constexpr bool holds(long long v) const { return any() || (v >= least && v <= most); }
};
inline constexpr WholeRange AnyWhole{};

struct Column {
    const char* name;
    SqlType type;
    Kind kind;
    // A layout whose major and minor version come first has the column; one brought by a
    // revision is added by the upgrade to that revision.
    DbVersion since;
    // An optional item: a reading without its value stores Null, never 0.
    bool optional = false;
    NullRule null = NullRule::Kept;
    WholeRange range = AnyWhole;
    // The text a row inserted without the column takes; none but UserDefined's have one.
    const char* byDefault = nullptr;
};

// A train has one to three banks; project trains are numbered from 1; an event is the
// calculation's 16-bit number.
inline constexpr WholeRange BankCount{1, 3};
inline constexpr WholeRange TrainNumbers{1, 32767};
inline constexpr WholeRange EventIds{0, 32767};

// In every layout the program reads, two-bank ones included.
inline constexpr DbVersion FirstLayout{0, 0, 0};
// The three-bank layout of minor version 3.
inline constexpr DbVersion ThreeBanks{1, 3, 0};
// The specific-flux columns of revision 20.
inline constexpr DbVersion SpecificFlux{1, 3, 20};

struct Table {
    const char* name;
    std::span<const Column> columns;
};

namespace detail {
inline constexpr DbVersion F = FirstLayout, T = ThreeBanks, S = SpecificFlux;
inline constexpr NullRule Kept = NullRule::Kept, Refused = NullRule::Refused, Zero = NullRule::ReadsZero;
inline constexpr SqlType Int = SqlType::Integer, Real = SqlType::Real, Text = SqlType::Text;
inline constexpr Kind K = Kind::Key, D = Kind::Date, R = Kind::Raw, C = Kind::Calculated;

// In the order of data/schema.sql.
inline constexpr Column DataColumns[] = {
    {"ID", Int, K, F},
    {"TheDate", Text, D, F},
    {"PermFlow", Real, R, F},
    {"ConcFlow", Real, R, F},
    {"FeedPressure", Real, R, F},
    {"ConcPressure", Real, R, F},
    {"ConcPressure_1", Real, R, F},
    {"PermBackPress", Real, R, F},
    {"FeeduS", Real, R, F},
    {"PermuS", Real, R, F},
    {"pH", Real, R, F},
    {"Temperature", Real, R, F},
    {"PermFlow_2", Real, R, F},
    {"PermuS_1", Real, R, F},
    {"PermuS_2", Real, R, F},
    {"FeedPressure_2", Real, R, F},
    {"PermBackPress_2", Real, R, F},
    {"TurbidityFeed", Real, R, F, true},
    {"TurbidityRaw", Real, R, F, true},
    {"ORP", Real, R, F, true},
    {"SDIFeed", Real, R, F, true},
    {"SDIRaw", Real, R, F, true},
    {"ProjectID", Text, K, F},
    {"TrainNumber", Int, K, F, false, NullRule::Refused, TrainNumbers},
    {"ElapsedTimeHrs", Real, R, F},
    {"FeedFlow", Real, R, F},
    {"PermFlow_1", Real, R, F},
    {"PermBackPress_1", Real, R, F},
    {"Bank", Int, R, F, false, NullRule::Kept, BankCount},
    {"Permflow_3", Real, R, T},
    {"PermuS_3", Real, R, T},
    {"FeedPressure_3", Real, R, T},
    {"ConcPressure_2", Real, R, T},
    {"PermbackPress_3", Real, R, T},
    {"EventID", Int, R, F, false, NullRule::Kept, EventIds},
    {"Note1", Text, R, F},
    {"ActualFlux", Real, C, F},
    {"ActualFlux_1", Real, C, F},
    {"ActualFlux_2", Real, C, F},
    {"ActualFlux_3", Real, C, T},
    {"NormalizedFlux", Real, C, F},
    {"NormalizedPermFlow", Real, C, F},
    {"NormalizedPermFlow_1", Real, C, F},
    {"NormalizedPermFlow_2", Real, C, F},
    {"NormalizedPermFlow_3", Real, C, T},
    {"NormalizedSaltPassage", Real, C, F},
    {"NormalizedSaltPassage_1", Real, C, F},
    {"NormalizedSaltPassage_2", Real, C, F},
    {"NormalizedSaltPassage_3", Real, C, T},
    {"ActualRejection", Real, C, F},
    {"SystemDP", Real, C, F},
    {"B1DP", Real, C, F},
    {"B2DP", Real, C, F},
    {"B3DP", Real, C, T},
    {"B1Recovery", Real, C, F},
    {"B2Recovery", Real, C, F},
    {"B3Recovery", Real, C, T},
    {"NetTMP", Real, C, F},
    {"NormalizedDP", Real, C, F},
    {"NormalizedDP_1", Real, C, F},
    {"NormalizedDP_2", Real, C, F},
    {"NormalizedDP_3", Real, C, T},
    {"SystemRecovery", Real, C, F},
    {"ConcuS", Real, C, F},
    {"SpecFlux", Real, C, S},
    {"SpecFlux_1", Real, C, S},
    {"SpecFlux_2", Real, C, S},
    {"SpecFlux_3", Real, C, S},
};

// In the order of data/schema.sql: the 69 columns of the insert that creates a project,
// then the six only the record editor and the exchange file touch.
inline constexpr Column ProjectInfoColumns[] = {
    {"ID", Int, K, F},
    {"DateReference", Text, D, F, false, Refused},
    {"ProjectID", Text, K, F, false, Refused},
    {"NumBanks", Int, R, F, false, Refused, BankCount},
    {"TrainNumber", Int, K, F, false, Refused, TrainNumbers},
    {"NumTrains", Int, R, F, false, Refused},
    {"TrainsSame", Int, R, F},
    {"Description", Text, R, F},
    {"DefaultUnits", Int, R, F},
    {"CapacityM3D", Real, R, F, false, Refused},
    {"Systemdata", Int, R, F, false, Refused},
    {"unitFlow", Int, R, F, false, Refused},
    {"unitTemp", Int, R, F, false, Refused},
    {"unitPress", Int, R, F, false, Refused},
    {"unitFlux", Int, R, F, false, Refused},
    {"ElapsedTimeRef", Real, R, F, false, Refused},
    {"FeedTemp", Real, R, F, false, Refused},
    {"FeeduS", Real, R, F, false, Refused},
    {"PermuS", Real, R, F, false, Refused},
    {"ConcuS", Real, R, F, false, Refused},
    {"FeedFlow", Real, R, F, false, Refused},
    {"ConcFlow", Real, R, F, false, Refused},
    {"PermFlow", Real, R, F, false, Refused},
    {"OverallRecovery", Real, R, F, false, Refused},
    {"FeedPressure", Real, R, F, false, Refused},
    {"ConcPressure", Real, R, F, false, Refused},
    {"DeltaPress", Real, R, F, false, Refused},
    {"PermBackPress", Real, R, F, false, Refused},
    {"ElementType", Int, R, F, false, Refused},
    {"NumElementsBank", Int, R, F, false, Refused},
    {"AreaBank", Real, R, F, false, Refused},
    {"PermuS_1", Real, R, F, false, Refused},
    {"PermuS_2", Real, R, F, false, Refused},
    {"PermFlow_1", Real, R, F, false, Refused},
    {"PermFlow_2", Real, R, F, false, Refused},
    {"FeedPressure_2", Real, R, F, false, Refused},
    {"PermBackPress_1", Real, R, F, false, Refused},
    {"PermBackPress_2", Real, R, F, false, Refused},
    {"ElementType_1", Int, R, F, false, Refused},
    {"ElementType_2", Int, R, F, false, Refused},
    {"NumElementsBank_1", Int, R, F, false, Refused},
    {"NumElementsBank_2", Int, R, F, false, Refused},
    {"AreaBank_1", Real, R, F, false, Refused},
    {"AreaBank_2", Real, R, F, false, Refused},
    {"DeltaPress_1", Real, R, F, false, Refused},
    {"DeltaPress_2", Real, R, F, false, Refused},
    {"uStoPPM", Real, R, F, false, Refused},
    {"uStoPI_Feed", Real, R, F, false, Refused},
    {"uStoPI_Perm", Real, R, F, false, Refused},
    {"AvgConc", Real, R, F},
    {"Density", Real, R, F},
    {"refph", Real, R, F},
    {"ConcPressure_1", Real, R, F, false, Refused},
    {"numVessels", Int, R, F},
    {"numVessels_1", Int, R, F, false, Zero},
    {"numVessels_2", Int, R, F, false, Zero},
    {"ElementsPerVessel", Int, R, F},
    {"ElementsPerVessel_1", Int, R, F, false, Zero},
    {"ElementsPerVessel_2", Int, R, F, false, Zero},
    {"ElementType_3", Int, R, T, false, Zero},
    {"NumElementsBank_3", Int, R, T, false, Zero},
    {"ElementsPerVessel_3", Int, R, T, false, Zero},
    {"NumVessels_3", Int, R, T, false, Zero},
    {"AreaBank_3", Real, R, T, false, Zero},
    {"Permflow_3", Real, R, T, false, Zero},
    {"PermuS_3", Real, R, T, false, Zero},
    {"FeedPressure_3", Real, R, T, false, Zero},
    {"ConcPressure_2", Real, R, T, false, Zero},
    {"PermbackPress_3", Real, R, T, false, Zero},
    {"DeltaPress_3", Real, R, T, false, Zero},
    {"Notes1", Text, R, F},
    {"FeedType", Int, R, F},
    {"Country", Text, R, F},
    {"dataExists", Int, R, F},
    {"DateInstallation", Text, D, F},
    {"DateStartUp", Text, D, F},
};

inline constexpr Column VersionColumns[] = {
    {"ID", Int, K, F},
    {"Version", Text, R, F},
    {"Notes", Text, R, F},
};

inline constexpr Column GraphSensorsColumns[] = {
    {"ID", Int, K, F},    {"ProjectID", Text, K, F},   {"TrainNumber", Int, K, F},
    {"Bank", Int, R, F},  {"Description", Text, R, F}, {"ColumnHeader", Text, R, F},
    {"Order", Int, R, F},
};

// Saved graphs; ID stands last.
inline constexpr Column UserGraphsColumns[] = {
    {"ProjectID", Text, K, F},
    {"TrainNumber", Int, K, F},
    {"GraphName", Text, K, F},
    {"StartDate", Text, D, F},
    {"EndDate", Text, D, F},
    {"S1Name", Text, R, F},
    {"S2Name", Text, R, F},
    {"S3Name", Text, R, F},
    {"S4Name", Text, R, F},
    {"SensorCount", Int, R, F},
    {"Target", Real, R, F},
    {"YMax", Real, R, F},
    {"Y2Max", Real, R, F},
    {"YMin", Real, R, F},
    {"Y2Min", Real, R, F},
    {"S1LineStyle", Int, R, F},
    {"S2LineStyle", Int, R, F},
    {"S3LineStyle", Int, R, F},
    {"S4LineStyle", Int, R, F},
    {"S1LineColor", Int, R, F},
    {"S2LineColor", Int, R, F},
    {"S3LineColor", Int, R, F},
    {"S4LineColor", Int, R, F},
    {"S1SymbolStyle", Int, R, F},
    {"S2SymbolStyle", Int, R, F},
    {"S3SymbolStyle", Int, R, F},
    {"S4SymbolStyle", Int, R, F},
    {"S1SymbolColor", Int, R, F},
    {"S2SymbolColor", Int, R, F},
    {"S3SymbolColor", Int, R, F},
    {"S4SymbolColor", Int, R, F},
    {"LineSize", Int, R, F},
    {"SymbolSize", Int, R, F},
    {"Header", Text, R, F},
    {"ID", Int, K, F},
};

// Read by position: the 25 items (the input row each shows), the key, then ID.
inline constexpr Column InputOrderColumns[] = {
    {"TheDate", Int, R, F},        {"PermFlow", Int, R, F},
    {"ConcFlow", Int, R, F},       {"FeedPressure", Int, R, F},
    {"ConcPressure", Int, R, F},   {"PermBackPress", Int, R, F},
    {"FeeduS", Int, R, F},         {"PermuS", Int, R, F},
    {"Temperature", Int, R, F},    {"pH", Int, R, F},
    {"PermFlow_2", Int, R, F},     {"PermuS_2", Int, R, F},
    {"FeedPressure_2", Int, R, F}, {"PermBackPress_2", Int, R, F},
    {"ConcPressure_1", Int, R, F}, {"TurbidityFeed", Int, R, F},
    {"TurbidityRaw", Int, R, F},   {"ORP", Int, R, F},
    {"SDIFeed", Int, R, F},        {"SDIRaw", Int, R, F},
    {"PermFlow_3", Int, R, T},     {"PermuS_3", Int, R, T},
    {"FeedPressure_3", Int, R, T}, {"PermBackPress_3", Int, R, T},
    {"ConcPressure_2", Int, R, T}, {"ProjectID", Text, K, F},
    {"TrainNumber", Int, K, F},    {"ID", Int, K, F},
};

// The link columns the collection window and the spreadsheet import share; Scada adds Hide.
inline constexpr Column ScadaColumns[] = {
    {"ID", Int, K, F},          {"ProjectID", Text, K, F},
    {"TrainNumber", Int, K, F}, {"FieldValue", Text, R, F},
    {"UseScada", Int, R, F},    {"Application", Text, R, F},
    {"Topic", Text, R, F},      {"Item", Text, R, F},
    {"Required", Int, R, F},    {"UseDefaultValues", Int, R, F},
    {"Hide", Int, R, F},
};

inline constexpr Column EventsColumns[] = {
    {"ID", Int, K, F},
    {"EventID", Int, K, F, false, Refused, EventIds},
    {"EventType", Text, R, F},
};

// The captions of the five user-definable measurements (each named as its Data column), then
// their units, by position; a row inserted with its ProjectID alone takes the defaults.
inline constexpr Column UserDefinedColumns[] = {
    {"ProjectID", Text, K, F},
    {"TurbidityRaw", Text, R, F, false, Kept, AnyWhole, "TurbidityRaw"},
    {"TurbidityFeed", Text, R, F, false, Kept, AnyWhole, "TurbidityFeed"},
    {"SDIRaw", Text, R, F, false, Kept, AnyWhole, "SDIRaw"},
    {"SDIFeed", Text, R, F, false, Kept, AnyWhole, "SDIFeed"},
    {"ORP", Text, R, F, false, Kept, AnyWhole, "ORP"},
    {"UnitsTRaw", Text, R, F, false, Kept, AnyWhole, "NTU"},
    {"UnitsTFeed", Text, R, F, false, Kept, AnyWhole, "NTU"},
    {"UnitsSDIRaw", Text, R, F, false, Kept, AnyWhole, "%/min"},
    {"UnitsSDIFeed", Text, R, F, false, Kept, AnyWhole, "%/min"},
    {"UnitsORP", Text, R, F, false, Kept, AnyWhole, "mV"},
    {"ID", Int, K, F},
};

constexpr char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

constexpr bool sameName(const char* a, const char* b, bool anyCase) {
    for (; *a && *b; ++a, ++b)
        if (anyCase ? lowerAscii(*a) != lowerAscii(*b) : *a != *b) return false;
    return *a == *b;
}

// The position of the column with this name, or None. Positions rather than pointers: a
// pointer compared with null is no constant expression where the undefined-behaviour
// sanitizer instruments the search.
inline constexpr size_t None = size_t(-1);
template <size_t N> constexpr size_t indexOf(const Column (&table)[N], const char* name, bool anyCase) {
    for (size_t i = 0; i < N; ++i)
        if (sameName(table[i].name, name, anyCase)) return i;
    return None;
}

template <size_t N> constexpr const Column* find(const Column (&table)[N], const char* name, bool anyCase) {
    const size_t i = indexOf(table, name, anyCase);
    return i == None ? nullptr : &table[i];
}

// Not a constant expression, so that a name the description lacks stops the build.
inline void notAColumn() {}
} // namespace detail

inline constexpr Table Data{"Data", detail::DataColumns};
inline constexpr Table ProjectInfo{"ProjectInfo", detail::ProjectInfoColumns};
inline constexpr Table Version{"Version", detail::VersionColumns};
inline constexpr Table GraphSensors{"GraphSensors", detail::GraphSensorsColumns};
inline constexpr Table UserGraphs{"UserGraphs", detail::UserGraphsColumns};
inline constexpr Table InputOrder{"InputOrder", detail::InputOrderColumns};
inline constexpr Table Scada{"Scada", detail::ScadaColumns};
inline constexpr Table ScadaImport{"ScadaImport", std::span(detail::ScadaColumns).first(10)};
inline constexpr Table Events{"Events", detail::EventsColumns};
inline constexpr Table UserDefined{"UserDefined", detail::UserDefinedColumns};

// Every table of the project database, by name.
inline constexpr const Table* ProjectTables[] = {&Data,        &Events, &GraphSensors, &InputOrder,
                                                 &ProjectInfo, &Scada,  &ScadaImport,  &UserDefined,
                                                 &UserGraphs,  &Version};

// A user-definable measurement: the Data column it names and the UserDefined columns of its
// caption (spelled as the Data column) and its units.
struct UserMeasurement {
    const char* column;
    const char* units;
};
inline constexpr UserMeasurement UserMeasurements[] = {{"TurbidityRaw", "UnitsTRaw"},
                                                       {"TurbidityFeed", "UnitsTFeed"},
                                                       {"SDIRaw", "UnitsSDIRaw"},
                                                       {"SDIFeed", "UnitsSDIFeed"},
                                                       {"ORP", "UnitsORP"}};

// The column of Data (or the name of ProjectInfo's) spelled exactly as the description spells
// it; any other name does not compile.
consteval const Column& DataColumn(const char* name) {
    const size_t i = detail::indexOf(detail::DataColumns, name, false);
    if (i == detail::None) detail::notAColumn();
    return detail::DataColumns[i];
}
consteval const char* DataName(const char* name) {
    return DataColumn(name).name;
}
consteval const Column& ProjectInfoColumn(const char* name) {
    const size_t i = detail::indexOf(detail::ProjectInfoColumns, name, false);
    if (i == detail::None) detail::notAColumn();
    return detail::ProjectInfoColumns[i];
}
consteval const char* ProjectInfoName(const char* name) {
    return ProjectInfoColumn(name).name;
}

// The column of Data or ProjectInfo with this name, compared regardless of case as the
// engine compares names; nullptr when none.
constexpr const Column* DataColumnNamed(const char* name) {
    return detail::find(detail::DataColumns, name, true);
}
constexpr const Column* ProjectInfoColumnNamed(const char* name) {
    return detail::find(detail::ProjectInfoColumns, name, true);
}

constexpr bool measurementsAreDescribed() {
    for (const UserMeasurement& m : UserMeasurements)
        if (detail::indexOf(detail::DataColumns, m.column, false) == detail::None ||
            detail::indexOf(detail::UserDefinedColumns, m.column, false) == detail::None ||
            detail::indexOf(detail::UserDefinedColumns, m.units, false) == detail::None)
            return false;
    return true;
}
static_assert(measurementsAreDescribed());

// The UserDefined columns a project's row holds: the captions, then the units, in the
// table's order.
QStringList UserDefinedTextColumns();

// Whether a column of that name, in any case, is in Data or in ProjectInfo; for static_assert,
// where a pointer from DataColumnNamed cannot be tested under the sanitizer.
constexpr bool IsDataColumn(const char* name) {
    return detail::indexOf(detail::DataColumns, name, true) != detail::None;
}
constexpr bool IsProjectInfoColumn(const char* name) {
    return detail::indexOf(detail::ProjectInfoColumns, name, true) != detail::None;
}

// Whether each name of a list that keeps its own order and spelling is a column of Data.
template <class Names> constexpr bool AreDataColumns(const Names& names) {
    for (const char* n : names)
        if (detail::indexOf(detail::DataColumns, n, true) == detail::None) return false;
    return true;
}

// Whether a database of version v has the column.
constexpr bool Has(const Column& c, const DbVersion& v) {
    if (v.major != c.since.major) return v.major > c.since.major;
    if (v.minor != c.since.minor) return v.minor > c.since.minor;
    return v.revision >= c.since.revision;
}

// Whether each row of a list that pairs columns with more than a name (a field, a kind) names
// a column of Data that `fits` the row.
template <class Rows, class Fits> constexpr bool EveryDataColumn(const Rows& rows, Fits fits) {
    for (const auto& r : rows) {
        const size_t i = detail::indexOf(detail::DataColumns, r.name, true);
        if (i == detail::None || !fits(r, detail::DataColumns[i])) return false;
    }
    return true;
}

constexpr bool BroughtBy(const Column& c, const DbVersion& v) {
    return c.since.major == v.major && c.since.minor == v.minor && c.since.revision == v.revision;
}

constexpr const char* TypeName(SqlType t) {
    return t == SqlType::Integer ? "INTEGER" : t == SqlType::Real ? "REAL" : "TEXT";
}

// The names of the table's columns that pass `keep`, in the table's order.
template <class Keep> QStringList Names(const Table& t, Keep keep) {
    QStringList out;
    for (const Column& c : t.columns)
        if (keep(c)) out << QLatin1String(c.name);
    return out;
}

// The columns of the insert that creates a project, in its order: ProjectInfo's from
// DateReference to DeltaPress_3.
const QStringList& ProjectCreationColumns();

// The column of the table with this name, compared regardless of case; nullptr when none.
const Column* Find(const Table& t, const QString& name);

} // namespace hv::schema
