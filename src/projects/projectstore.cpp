#include "projects/projectstore.h"

#include <QVariant>
#include <variant>
#include <vector>

#include "core/datatables.h"
#include "core/program.h"
#include "core/refusal.h"
#include "platform/database.h"
#include "projects/projecttext.h"

namespace hv {

namespace {

using R = FormProjectRecord;
using Member = std::variant<QString R::*, qint16 R::*, qint32 R::*, double R::*, bool R::*, QDateTime R::*>;

// How the window uses a column: read and rewritten by an edit; read and written only when the
// project is created; written only when the project is created.
enum Use { Edited, Shown, Creation };

struct Column {
    const char* name;
    Member member;
    QVariant nullValue; // what a Null reads as
    Use use = Edited;
};

// The description's spelling, checked when this compiles.
consteval const char* N(const char* name) {
    return schema::ProjectInfoName(name);
}

// In the order of the creating insert (ProjectCreationColumns), which a test holds it to.
const std::vector<Column>& columns() {
    static const std::vector<Column> cols = {
        {N("DateReference"), &R::DateReference, ZeroDate()},
        {N("ProjectID"), &R::ProjectID, QString()},
        {N("NumBanks"), &R::NumBanks, 1},
        {N("TrainNumber"), &R::TrainNumber, 1},
        {N("NumTrains"), &R::NumTrains, 1, Shown},
        {N("TrainsSame"), &R::TrainsSame, false, Creation},
        {N("Description"), &R::Description, QString()},
        {N("DefaultUnits"), &R::DefaultUnits, 0, Creation},
        {N("CapacityM3D"), &R::CapacityM3D, 0.0},
        {N("Systemdata"), &R::SystemData, true},
        {N("unitFlow"), &R::unitFlow, 4},
        {N("unitTemp"), &R::unitTemp, 1},
        {N("unitPress"), &R::unitPress, 0},
        {N("unitFlux"), &R::unitFlux, 0},
        {N("ElapsedTimeRef"), &R::ElapsedTimeRef, 0.0},
        {N("FeedTemp"), &R::FeedTemp, 25.0},
        {N("FeeduS"), &R::FeeduS, 0.0},
        {N("PermuS"), &R::PermuS, 0.0},
        {N("ConcuS"), &R::ConcuS, 0.0},
        {N("FeedFlow"), &R::FeedFlow, 0.0},
        {N("ConcFlow"), &R::ConcFlow, 0.0},
        {N("PermFlow"), &R::PermFlow, 0.0},
        {N("OverallRecovery"), &R::OverallRecovery, 0.0},
        {N("FeedPressure"), &R::FeedPressure, 0.0},
        {N("ConcPressure"), &R::ConcPressure, 0.0},
        {N("DeltaPress"), &R::DeltaPress, 0.0},
        {N("PermBackPress"), &R::PermBackPress, 0.0},
        {N("ElementType"), &R::ElementType, 0},
        {N("NumElementsBank"), &R::NumElementsBank, 0},
        {N("AreaBank"), &R::AreaBank, 0.0},
        {N("PermuS_1"), &R::PermuS_1, 0.0},
        {N("PermuS_2"), &R::PermuS_2, 0.0},
        {N("PermFlow_1"), &R::PermFlow_1, 0.0},
        {N("PermFlow_2"), &R::PermFlow_2, 0.0},
        {N("FeedPressure_2"), &R::FeedPressure_2, 0.0},
        {N("PermBackPress_1"), &R::PermBackPress_1, 0.0},
        {N("PermBackPress_2"), &R::PermBackPress_2, 0.0},
        {N("ElementType_1"), &R::ElementType_1, 0},
        {N("ElementType_2"), &R::ElementType_2, 0},
        {N("NumElementsBank_1"), &R::NumElementsBank_1, 0},
        {N("NumElementsBank_2"), &R::NumElementsBank_2, 0},
        {N("AreaBank_1"), &R::AreaBank_1, 0.0},
        {N("AreaBank_2"), &R::AreaBank_2, 0.0},
        {N("DeltaPress_1"), &R::DeltaPress_1, 0.0},
        {N("DeltaPress_2"), &R::DeltaPress_2, 0.0},
        {N("uStoPPM"), &R::uStoPPM, 0.0, Shown},
        {N("uStoPI_Feed"), &R::uStoPI_Feed, 0.0, Shown},
        {N("uStoPI_Perm"), &R::uStoPI_Perm, 0.0, Shown},
        {N("AvgConc"), &R::AvgConc, 0.0, Shown},
        {N("Density"), &R::Density, 0.0, Shown},
        {N("refph"), &R::RefpH, 7.0},
        {N("ConcPressure_1"), &R::ConcPressure_1, 0.0},
        {N("numVessels"), &R::NumVessels, 0},
        {N("numVessels_1"), &R::NumVessels_1, 0},
        {N("numVessels_2"), &R::NumVessels_2, 0},
        {N("ElementsPerVessel"), &R::ElementsPerVessel, 0},
        {N("ElementsPerVessel_1"), &R::ElementsPerVessel_1, 0},
        {N("ElementsPerVessel_2"), &R::ElementsPerVessel_2, 0},
        {N("ElementType_3"), &R::ElementType_3, 0},
        {N("NumElementsBank_3"), &R::NumElementsBank_3, 0},
        {N("ElementsPerVessel_3"), &R::ElementsPerVessel_3, 0},
        {N("NumVessels_3"), &R::NumVessels_3, 0},
        {N("AreaBank_3"), &R::AreaBank_3, 0.0},
        {N("Permflow_3"), &R::PermFlow_3, 0.0},
        {N("PermuS_3"), &R::PermuS_3, 0.0},
        {N("FeedPressure_3"), &R::FeedPressure_3, 0.0},
        {N("ConcPressure_2"), &R::ConcPressure_2, 0.0},
        {N("PermbackPress_3"), &R::PermBackPress_3, 0.0},
        {N("DeltaPress_3"), &R::DeltaPress_3, 0.0},
    };
    return cols;
}

// The boxes each optional column is read from: a Null stored there stays Null over a save
// unless one of them was typed into or the value changed. A required column has no entry: it is
// always written.
struct TypedSource {
    const char* name;
    std::vector<int> data;
    std::vector<int> grid;
    int element = -1;
    bool description = false;
};

const std::vector<TypedSource>& typedSources() {
    static const std::vector<TypedSource> sources = {
        {N("Description"), {}, {}, -1, true},
        {N("refph"), {8}, {}},
        {N("numVessels"), {}, {400, 401, 402, 403}},
        {N("numVessels_1"), {}, {401}},
        {N("numVessels_2"), {}, {402}},
        {N("NumVessels_3"), {}, {403}},
        {N("ElementsPerVessel"), {}, {500}},
        {N("ElementsPerVessel_1"), {}, {501}},
        {N("ElementsPerVessel_2"), {}, {502}},
        {N("ElementsPerVessel_3"), {}, {503}},
        {N("ElementType_3"), {}, {}, 3},
        {N("NumElementsBank_3"), {}, {103}},
        {N("AreaBank_3"), {}, {103, 203}},
        {N("Permflow_3"), {22}, {}},
        {N("PermuS_3"), {23}, {}},
        {N("FeedPressure_3"), {24}, {}},
        {N("PermbackPress_3"), {25}, {}},
        {N("ConcPressure_2"), {26}, {}},
        {N("DeltaPress_3"), {4, 24}, {}},
    };
    return sources;
}

bool typedInto(const QString& column, const TypedBoxes& typed) {
    for (const TypedSource& s : typedSources()) {
        if (column.compare(QLatin1String(s.name), Qt::CaseInsensitive) != 0) continue;
        for (int i : s.data)
            if (typed.data[size_t(i)]) return true;
        for (int i : s.grid)
            if (typed.field(i)) return true;
        return (s.element >= 0 && typed.elements[size_t(s.element)]) || (s.description && typed.description);
    }
    return false;
}

bool required(const Column& c) {
    const schema::Column* d = schema::Find(schema::ProjectInfo, QLatin1String(c.name));
    return d && d->null == schema::NullRule::Refused;
}

QVariant valueOf(const R& rec, const Column& c) {
    return std::visit(
        [&](auto m) {
            using T = std::remove_reference_t<decltype(rec.*m)>;
            if constexpr (std::is_same_v<T, qint16>)
                return QVariant(int(rec.*m));
            else
                return QVariant::fromValue(rec.*m);
        },
        c.member);
}

void assign(R& rec, const Column& c, const QVariant& v) {
    std::visit(
        [&](auto m) {
            using T = std::remove_reference_t<decltype(rec.*m)>;
            if constexpr (std::is_same_v<T, QString>)
                rec.*m = conv::toText(v);
            else if constexpr (std::is_same_v<T, qint16>)
                rec.*m = conv::toInt16(v);
            else if constexpr (std::is_same_v<T, qint32>)
                rec.*m = conv::toInt32(v);
            else if constexpr (std::is_same_v<T, double>)
                rec.*m = conv::toDouble(v);
            else if constexpr (std::is_same_v<T, bool>)
                rec.*m = conv::toBool(v);
            else
                rec.*m = conv::toDateTime(v);
        },
        c.member);
}

} // namespace

const QStringList& ProjectInfoColumns() {
    static const QStringList names = [] {
        QStringList n;
        for (const Column& c : columns())
            n << c.name;
        return n;
    }();
    return names;
}

bool ReadProjectTrain(Program& p, const QString& projectId, qint16 train, FormProjectRecord& rec) {
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows rows =
        db.select("SELECT * FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID ASC LIMIT 1",
                  {projectId, int(train)});
    const DbRow* row = rows.isEmpty() ? nullptr : &rows.first();
    rec.NullColumns.clear();
    for (const Column& c : columns()) {
        if (c.use == Creation) continue;
        const QVariant v = row ? row->value(QString(c.name)) : QVariant();
        if (row && conv::isNull(v)) rec.NullColumns << c.name;
        assign(rec, c, conv::isNull(v) ? c.nullValue : v);
    }
    return row != nullptr;
}

bool InsertProjectTrains(Program& p, FormProjectRecord& rec) {
    const int first = rec.TrainNumber;
    const int last = first + std::max<int>(rec.NumTrains, 1) - 1;
    if (!schema::TrainNumbers.holds(last)) {
        p.prompts.message(Refusal::outOfRange("The last train number of the new project (" +
                                                  TrainNumberCaption() + " plus " + NumTrainsCaption() +
                                                  " less 1)",
                                              QString::number(last), schema::TrainNumbers)
                              .text);
        return false;
    }
    Database db = Database::open(p.ProjectDatabasePath);
    const DbRows taken = db.select("SELECT TrainNumber FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber "
                                   "BETWEEN ? AND ? ORDER BY TrainNumber LIMIT 1",
                                   {rec.ProjectID, first, last});
    if (!taken.isEmpty()) {
        p.prompts.message("Project " + rec.ProjectID +
                          " Train: " + QString::number(taken.first().toInt16("TrainNumber")) +
                          " already exists."
                          "\r\n"
                          "Please enter a unique PROJECTID.");
        return false;
    }
    QStringList marks;
    for (int i = 0; i < ProjectInfoColumns().size(); ++i)
        marks << "?";
    const QString sql =
        "INSERT INTO ProjectInfo (" + ProjectInfoColumns().join(',') + ") VALUES (" + marks.join(',') + ")";
    auto stmt = db.prepare(sql);
    Transaction tx(db);
    for (int n = first; n <= last; ++n) {
        rec.TrainNumber = qint16(n);
        QVariantList values;
        for (const Column& c : columns())
            values << valueOf(rec, c);
        stmt->exec(values);
    }
    stmt->finish();
    tx.commit();
    return true;
}

int UpdateProjectRow(Program& p, const FormProjectRecord& rec, const ProjectUnits* readingsFrom,
                     const FormProjectRecord* shown, const TypedBoxes& typed) {
    QStringList sets;
    QVariantList values;
    for (const Column& c : columns()) {
        const QString name = QLatin1String(c.name);
        const bool wasNull = shown && shown->NullColumns.contains(name);
        // A creation-only column is left as stored, unless it holds a Null the record cannot load.
        if (c.use != Edited && !(c.use == Shown && wasNull && required(c))) continue;
        QVariant v = valueOf(rec, c);
        // Only an optional column nobody touched keeps its Null.
        if (wasNull && !required(c) && !typedInto(name, typed) && v == valueOf(*shown, c)) v = QVariant();
        sets << name + " = ?";
        values << v;
    }
    values << rec.ProjectID << int(rec.TrainNumber);
    Database db = Database::open(p.ProjectDatabasePath);
    // The reference and the readings change units together, or neither does.
    Transaction tx(db);
    const int n =
        db.exec("UPDATE ProjectInfo SET " + sets.join(", ") +
                    " WHERE ID = (SELECT ID FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ? "
                    "ORDER BY ID ASC LIMIT 1)",
                values);
    if (n < 1)
        throw DbError(dberr::NoCurrentRecord,
                      "Either BOF or EOF is True, or the current record has been deleted.");
    const int converted =
        readingsFrom ? ConvertTrainReadings(db, rec.ProjectID, rec.TrainNumber, *readingsFrom, UnitsOf(rec))
                     : 0;
    tx.commit();
    return converted;
}

std::optional<ProjectUnits> StoredUnits(Program& p, const QString& projectId, qint16 train) {
    FormProjectRecord rec;
    if (!ReadProjectTrain(p, projectId, train, rec)) return std::nullopt;
    return UnitsOf(rec);
}

int CountTrainReadings(Program& p, const QString& projectId, qint16 train) {
    Database db = Database::open(p.ProjectDatabasePath);
    return db
        .scalar("SELECT count(*) FROM Data WHERE ProjectID = ? AND TrainNumber = ?", {projectId, int(train)})
        .toInt();
}

void CopyToCurrentProject(Program& p, const FormProjectRecord& f) {
    p.CurrentProjectLoaded = true;
    ProjectInfoRecord& c = p.CurrentProject;
    c.DateReference = f.DateReference;
    c.ProjectID = f.ProjectID;
    c.NumBanks = f.NumBanks;
    c.TrainNumber = f.TrainNumber;
    c.NumTrains = f.NumTrains;
    c.CapacityM3D = f.CapacityM3D;
    c.SystemData = f.SystemData;
    c.unitFlow = f.unitFlow;
    c.unitTemp = f.unitTemp;
    c.unitPress = f.unitPress;
    c.unitFlux = f.unitFlux;
    c.ElapsedTimeRef = f.ElapsedTimeRef;
    c.FeedTemp = f.FeedTemp;
    c.FeeduS = f.FeeduS;
    c.PermuS = f.PermuS;
    c.ConcuS = f.ConcuS;
    c.FeedFlow = f.FeedFlow;
    c.ConcFlow = f.ConcFlow;
    c.PermFlow = f.PermFlow;
    c.OverallRecovery = f.OverallRecovery;
    c.FeedPressure = f.FeedPressure;
    c.ConcPressure = f.ConcPressure;
    c.DeltaPress = f.DeltaPress;
    c.PermBackPress = f.PermBackPress;
    c.ElementType = f.ElementType;
    c.NumElementsBank = f.NumElementsBank;
    c.AreaBank = f.AreaBank;
    c.PermuS_1 = f.PermuS_1;
    c.PermuS_2 = f.PermuS_2;
    c.PermFlow_1 = f.PermFlow_1;
    c.PermFlow_2 = f.PermFlow_2;
    c.FeedPressure_2 = f.FeedPressure_2;
    c.ConcPressure_1 = f.ConcPressure_1;
    c.PermBackPress_1 = f.PermBackPress_1;
    c.PermBackPress_2 = f.PermBackPress_2;
    c.ElementType_1 = f.ElementType_1;
    c.ElementType_2 = f.ElementType_2;
    c.NumElementsBank_1 = f.NumElementsBank_1;
    c.NumElementsBank_2 = f.NumElementsBank_2;
    c.AreaBank_1 = f.AreaBank_1;
    c.AreaBank_2 = f.AreaBank_2;
    c.DeltaPress_1 = f.DeltaPress_1;
    c.DeltaPress_2 = f.DeltaPress_2;
    c.uStoPPM = f.uStoPPM;
    c.uStoPI_Feed = f.uStoPI_Feed;
    c.uStoPI_Perm = f.uStoPI_Perm;
    c.PermuS_3 = f.PermuS_3;
    c.PermFlow_3 = f.PermFlow_3;
    c.FeedPressure_3 = f.FeedPressure_3;
    c.ConcPressure_2 = f.ConcPressure_2;
    c.PermBackPress_3 = f.PermBackPress_3;
    c.ElementType_3 = f.ElementType_3;
    c.NumElementsBank_3 = f.NumElementsBank_3;
    c.AreaBank_3 = f.AreaBank_3;
    c.DeltaPress_3 = f.DeltaPress_3;
}

} // namespace hv
