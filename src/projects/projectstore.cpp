#include "projects/projectstore.h"

#include <QVariant>
#include <variant>
#include <vector>

#include "core/program.h"
#include "platform/database.h"
#include "projects/projecttext.h"

namespace hv {

namespace {

using R = FormProjectRecord;
using Member = std::variant<QString R::*, qint16 R::*, qint32 R::*, double R::*, bool R::*, QDateTime R::*>;

struct Column {
    const char* name;
    Member member;
    QVariant nullValue; // what a Null reads as
    bool read = true;   // read back by the window
};

const std::vector<Column>& columns() {
    static const std::vector<Column> cols = {
        {"DateReference", &R::DateReference, ZeroDate()},
        {"ProjectID", &R::ProjectID, QString()},
        {"NumBanks", &R::NumBanks, 1},
        {"TrainNumber", &R::TrainNumber, 1},
        {"NumTrains", &R::NumTrains, 1},
        {"TrainsSame", &R::TrainsSame, false, false},
        {"Description", &R::Description, QString()},
        {"DefaultUnits", &R::DefaultUnits, 0, false},
        {"CapacityM3D", &R::CapacityM3D, 0.0},
        {"Systemdata", &R::SystemData, true},
        {"unitFlow", &R::unitFlow, 4},
        {"unitTemp", &R::unitTemp, 1},
        {"unitPress", &R::unitPress, 0},
        {"unitFlux", &R::unitFlux, 0},
        {"ElapsedTimeRef", &R::ElapsedTimeRef, 0.0},
        {"FeedTemp", &R::FeedTemp, 25.0},
        {"FeeduS", &R::FeeduS, 0.0},
        {"PermuS", &R::PermuS, 0.0},
        {"ConcuS", &R::ConcuS, 0.0},
        {"FeedFlow", &R::FeedFlow, 0.0},
        {"ConcFlow", &R::ConcFlow, 0.0},
        {"PermFlow", &R::PermFlow, 0.0},
        {"OverallRecovery", &R::OverallRecovery, 0.0},
        {"FeedPressure", &R::FeedPressure, 0.0},
        {"ConcPressure", &R::ConcPressure, 0.0},
        {"DeltaPress", &R::DeltaPress, 0.0},
        {"PermBackPress", &R::PermBackPress, 0.0},
        {"ElementType", &R::ElementType, 0},
        {"NumElementsBank", &R::NumElementsBank, 0},
        {"AreaBank", &R::AreaBank, 0.0},
        {"PermuS_1", &R::PermuS_1, 0.0},
        {"PermuS_2", &R::PermuS_2, 0.0},
        {"PermFlow_1", &R::PermFlow_1, 0.0},
        {"PermFlow_2", &R::PermFlow_2, 0.0},
        {"FeedPressure_2", &R::FeedPressure_2, 0.0},
        {"PermBackPress_1", &R::PermBackPress_1, 0.0},
        {"PermBackPress_2", &R::PermBackPress_2, 0.0},
        {"ElementType_1", &R::ElementType_1, 0},
        {"ElementType_2", &R::ElementType_2, 0},
        {"NumElementsBank_1", &R::NumElementsBank_1, 0},
        {"NumElementsBank_2", &R::NumElementsBank_2, 0},
        {"AreaBank_1", &R::AreaBank_1, 0.0},
        {"AreaBank_2", &R::AreaBank_2, 0.0},
        {"DeltaPress_1", &R::DeltaPress_1, 0.0},
        {"DeltaPress_2", &R::DeltaPress_2, 0.0},
        {"uStoPPM", &R::uStoPPM, 0.0},
        {"uStoPI_Feed", &R::uStoPI_Feed, 0.0},
        {"uStoPI_Perm", &R::uStoPI_Perm, 0.0},
        {"AvgConc", &R::AvgConc, 0.0},
        {"Density", &R::Density, 0.0},
        {"refph", &R::RefpH, 7.0},
        {"ConcPressure_1", &R::ConcPressure_1, 0.0},
        {"numVessels", &R::NumVessels, 0},
        {"numVessels_1", &R::NumVessels_1, 0},
        {"numVessels_2", &R::NumVessels_2, 0},
        {"ElementsPerVessel", &R::ElementsPerVessel, 0},
        {"ElementsPerVessel_1", &R::ElementsPerVessel_1, 0},
        {"ElementsPerVessel_2", &R::ElementsPerVessel_2, 0},
        {"ElementType_3", &R::ElementType_3, 0},
        {"NumElementsBank_3", &R::NumElementsBank_3, 0},
        {"ElementsPerVessel_3", &R::ElementsPerVessel_3, 0},
        {"NumVessels_3", &R::NumVessels_3, 0},
        {"AreaBank_3", &R::AreaBank_3, 0.0},
        {"Permflow_3", &R::PermFlow_3, 0.0},
        {"PermuS_3", &R::PermuS_3, 0.0},
        {"FeedPressure_3", &R::FeedPressure_3, 0.0},
        {"ConcPressure_2", &R::ConcPressure_2, 0.0},
        {"PermbackPress_3", &R::PermBackPress_3, 0.0},
        {"DeltaPress_3", &R::DeltaPress_3, 0.0},
    };
    return cols;
}

// The columns an edit rewrites; the key is written back unchanged.
const QStringList& updateColumns() {
    static const QStringList names = {"DateReference",
                                      "ProjectID",
                                      "NumBanks",
                                      "TrainNumber",
                                      "Description",
                                      "CapacityM3D",
                                      "SystemData",
                                      "unitFlow",
                                      "unitTemp",
                                      "unitPress",
                                      "unitFlux",
                                      "ElapsedTimeRef",
                                      "FeedTemp",
                                      "FeeduS",
                                      "PermuS",
                                      "ConcuS",
                                      "FeedFlow",
                                      "ConcFlow",
                                      "PermFlow",
                                      "OverallRecovery",
                                      "FeedPressure",
                                      "ConcPressure",
                                      "DeltaPress",
                                      "PermBackPress",
                                      "ElementType",
                                      "NumElementsBank",
                                      "AreaBank",
                                      "PermuS_1",
                                      "PermuS_2",
                                      "PermFlow_1",
                                      "PermFlow_2",
                                      "FeedPressure_2",
                                      "PermBackPress_1",
                                      "PermBackPress_2",
                                      "ElementType_1",
                                      "ElementType_2",
                                      "NumElementsBank_1",
                                      "NumElementsBank_2",
                                      "AreaBank_1",
                                      "AreaBank_2",
                                      "DeltaPress_1",
                                      "DeltaPress_2",
                                      "ConcPressure_1",
                                      "NumVessels",
                                      "NumVessels_1",
                                      "NumVessels_2",
                                      "ElementsPerVessel",
                                      "ElementsPerVessel_1",
                                      "ElementsPerVessel_2",
                                      "refpH",
                                      "ElementType_3",
                                      "NumElementsBank_3",
                                      "ElementsPerVessel_3",
                                      "NumVessels_3",
                                      "AreaBank_3",
                                      "Permflow_3",
                                      "PermuS_3",
                                      "FeedPressure_3",
                                      "ConcPressure_2",
                                      "PermbackPress_3",
                                      "DeltaPress_3"};
    return names;
}

const Column& columnNamed(const QString& name) {
    for (const Column& c : columns())
        if (name.compare(c.name, Qt::CaseInsensitive) == 0) return c;
    throw DbError(dberr::ColumnNotFound,
                  "Item cannot be found in the collection corresponding to the requested name or ordinal.");
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
        if (!c.read) continue;
        const QVariant v = row ? row->value(QString(c.name)) : QVariant();
        if (row && conv::isNull(v)) rec.NullColumns << c.name;
        assign(rec, c, conv::isNull(v) ? c.nullValue : v);
    }
    return row != nullptr;
}

bool InsertProjectTrains(Program& p, FormProjectRecord& rec) {
    const int first = rec.TrainNumber;
    const int last = first + std::max<int>(rec.NumTrains, 1) - 1;
    if (last > 32767) {
        p.prompts.message("The train numbers of the new project would run past 32767. Please check the "
                          "Train Number and the Number of Trains.");
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
                     const FormProjectRecord* shown) {
    QStringList sets;
    QVariantList values;
    for (const QString& name : updateColumns()) {
        const Column& c = columnNamed(name);
        sets << QString(c.name) + " = ?";
        QVariant v = valueOf(rec, c);
        if (shown && shown->NullColumns.contains(QString(c.name)) && v == valueOf(*shown, c)) v = QVariant();
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
