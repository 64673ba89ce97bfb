#include "support/fixtures.h"

#include <QFile>
#include <QVersionNumber>
#include <cmath>
#include <vector>

#include "platform/database.h"

namespace hv::test {

namespace {

QString copyTemplate(const QString& name, const QString& path) {
    const QString from = QStringLiteral(HEVRIN_TEMPLATE_DIR) + "/" + name;
    if (!QFile::exists(from)) throw DbError(dberr::FileNotFound, "Template database missing: " + from);
    if (QFile::exists(path) && !QFile::remove(path))
        throw DbError(dberr::FileNotFound, "Cannot replace " + path);
    if (!QFile::copy(from, path)) throw DbError(dberr::FileNotFound, "Cannot copy " + from + " to " + path);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

// Turns a copy of the blank database into an older layout: drops columns,
// drops the graph series that name them, and replaces the version history.
void downgrade(const QString& path, const QString& version,
               const QList<QPair<QString, QStringList>>& dropColumns) {
    Database db = Database::open(path);
    const auto sqlite = QVersionNumber::fromString(db.scalar("SELECT sqlite_version()").toString());
    if (sqlite < QVersionNumber(3, 35))
        throw DbError(dberr::SqlFailed, "SQLite " + sqlite.toString() + " cannot drop columns (3.35 needed)");
    Transaction t(db);
    QStringList dataColumns;
    for (const auto& [table, cols] : dropColumns) {
        for (const QString& c : cols)
            db.exec("ALTER TABLE " + quoteIdent(table) + " DROP COLUMN " + quoteIdent(c));
        if (table.compare("Data", Qt::CaseInsensitive) == 0) dataColumns << cols;
    }
    for (const QString& c : dataColumns)
        db.exec("DELETE FROM GraphSensors WHERE ColumnHeader = ?", {c});
    db.exec("DELETE FROM Version");
    db.exec("INSERT INTO Version (Version, Notes) VALUES (?, ?)", {version, QString("Test database")});
    t.commit();
}

// Merges overrides into a row, matching names regardless of case as the engine does.
QVariantMap merged(QVariantMap row, const QVariantMap& overrides) {
    for (auto it = overrides.begin(); it != overrides.end(); ++it) {
        for (auto r = row.begin(); r != row.end();) {
            if (r.key().compare(it.key(), Qt::CaseInsensitive) == 0)
                r = row.erase(r);
            else
                ++r;
        }
        row.insert(it.key(), it.value());
    }
    return row;
}

bool containsCaseBlind(const QStringList& list, const QString& name) {
    return list.contains(name, Qt::CaseInsensitive);
}

qint64 insertWithDefaults(const QString& dbPath, const QString& table, const QVariantMap& defaults,
                          const QVariantMap& overrides) {
    QStringList present;
    {
        Database db = Database::open(dbPath);
        present = db.columns(table);
    }
    QVariantMap row;
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        if (containsCaseBlind(present, it.key())) row.insert(it.key(), it.value());
    return insertRow(dbPath, table, merged(row, overrides));
}

// Layout and reference state of one bank of the reference plant.
struct BankRef {
    int elements;
    int vessels;
    double permFlow;  // m3/hr
    double permUs;    // uS/cm
    double feedPress; // bar
    double concPress; // bar
};

constexpr double ElementArea = 37.2; // HV-BW 8040-400
constexpr int ElementTypeNo = 2;     // its ID - 1
constexpr double ConcFlowRef = 20.0;
constexpr double FeeduSRef = 1500.0;
constexpr double BackPress = 0.5;

std::vector<BankRef> banksOf(int numBanks) {
    switch (numBanks) {
    case 1:
        return {{60, 10, 60.0, 30.0, 12.0, 10.5}};
    case 2:
        return {{36, 6, 40.0, 22.5, 12.0, 10.8}, {18, 3, 20.0, 45.0, 10.8, 9.8}};
    case 3:
        return {
            {24, 4, 36.0, 22.0, 13.0, 12.0}, {12, 2, 16.0, 40.0, 12.0, 11.2}, {12, 2, 8.0, 70.0, 11.2, 10.5}};
    default:
        throw DbError(dberr::InvalidArgument, QString("No reference plant with %1 banks").arg(numBanks));
    }
}

double round6(double x) {
    return std::round(x * 1e6) / 1e6;
}

} // namespace

QString makeBlankDatabase(const QString& path) {
    return copyTemplate("db.hv3.mdb", path);
}

QString makeElementDatabase(const QString& path) {
    return copyTemplate("ostrelmem.mdb", path);
}

QStringList bank3ProjectInfoColumns() {
    return {"ElementType_3", "NumElementsBank_3", "ElementsPerVessel_3", "NumVessels_3",   "AreaBank_3",
            "Permflow_3",    "PermuS_3",          "FeedPressure_3",      "ConcPressure_2", "PermbackPress_3",
            "DeltaPress_3"};
}

QStringList bank3DataColumns() {
    return {"Permflow_3",
            "PermuS_3",
            "FeedPressure_3",
            "ConcPressure_2",
            "PermbackPress_3",
            "ActualFlux_3",
            "NormalizedPermFlow_3",
            "NormalizedSaltPassage_3",
            "NormalizedDP_3",
            "B3DP",
            "B3Recovery"};
}

QStringList bank3InputOrderColumns() {
    return {"PermFlow_3", "PermuS_3", "FeedPressure_3", "PermBackPress_3", "ConcPressure_2"};
}

QStringList specFluxColumns() {
    return {"SpecFlux", "SpecFlux_1", "SpecFlux_2", "SpecFlux_3"};
}

QString makePreSpecFluxDatabase(const QString& path, const QString& version) {
    copyTemplate("db.hv3.mdb", path);
    downgrade(path, version, {{"Data", specFluxColumns()}});
    return path;
}

QString makeTwoBankDatabase(const QString& path, const QString& version) {
    copyTemplate("db.hv3.mdb", path);
    downgrade(path, version,
              {{"ProjectInfo", bank3ProjectInfoColumns()},
               {"Data", bank3DataColumns() + specFluxColumns()},
               {"InputOrder", bank3InputOrderColumns()}});
    return path;
}

QVariantMap projectInfoRow(int numBanks, const QVariantMap& overrides) {
    const std::vector<BankRef> banks = banksOf(numBanks);
    double permFlow = 0, saltFlow = 0, area = 0, deltaPress = 0;
    int elements = 0, vessels = 0;
    for (const BankRef& b : banks) {
        permFlow += b.permFlow;
        saltFlow += b.permFlow * b.permUs;
        elements += b.elements;
        vessels += b.vessels;
        area += b.elements * ElementArea;
        deltaPress += b.feedPress - b.concPress;
    }
    const double permUs = saltFlow / permFlow;
    const double feedFlow = permFlow + ConcFlowRef;
    const double concUs = (FeeduSRef * feedFlow - permUs * permFlow) / ConcFlowRef;

    QVariantMap r;
    r["DateReference"] = QString("2020-01-01 00:00:00");
    r["ProjectID"] = QString("P1");
    r["NumBanks"] = numBanks;
    r["TrainNumber"] = 1;
    r["NumTrains"] = 1;
    r["TrainsSame"] = 0;
    r["Description"] = QString("Reference plant");
    r["DefaultUnits"] = 0;
    r["CapacityM3D"] = permFlow * 24;
    r["Systemdata"] = -1;
    r["unitFlow"] = 13; // m3/hr
    r["unitTemp"] = 1;  // deg C
    r["unitPress"] = 8; // bar
    r["unitFlux"] = 1;  // l/m2/hr
    r["ElapsedTimeRef"] = 0.0;
    r["FeedTemp"] = 20.0;
    r["FeeduS"] = FeeduSRef;
    r["PermuS"] = round6(permUs);
    r["ConcuS"] = round6(concUs);
    r["FeedFlow"] = feedFlow;
    r["ConcFlow"] = ConcFlowRef;
    r["PermFlow"] = permFlow;
    r["OverallRecovery"] = permFlow / feedFlow;
    r["FeedPressure"] = banks.front().feedPress;
    r["ConcPressure"] = banks.back().concPress;
    r["DeltaPress"] = round6(deltaPress);
    r["PermBackPress"] = BackPress;
    r["ElementType"] = ElementTypeNo;
    r["NumElementsBank"] = elements;
    r["AreaBank"] = round6(area);
    r["uStoPPM"] = 0.5;
    r["uStoPI_Feed"] = 0.1;
    r["uStoPI_Perm"] = 0.1;
    r["AvgConc"] = round6((concUs + FeeduSRef) / 2);
    r["Density"] = 1.0;
    r["refph"] = 7.2;
    r["numVessels"] = vessels;
    r["ElementsPerVessel"] = 6;
    // Every element list shows the same element; only the banks in use have counts.
    for (int k = 1; k <= 3; ++k) {
        const QString s = QString("_%1").arg(k);
        const bool used = k <= int(banks.size());
        const BankRef b = used ? banks[size_t(k - 1)] : BankRef{0, 0, 0, 0, 0, 0};
        r["ElementType" + s] = ElementTypeNo;
        r["NumElementsBank" + s] = b.elements;
        r["ElementsPerVessel" + s] = used ? 6 : 0;
        r["AreaBank" + s] = round6(b.elements * ElementArea);
        r[k == 3 ? "NumVessels_3" : "numVessels" + s] = b.vessels;
    }
    // Per-bank reference values exist only with two or three banks.
    const bool multi = numBanks > 1;
    const BankRef none{0, 0, 0, 0, 0, 0};
    const BankRef b1 = multi ? banks[0] : none;
    const BankRef b2 = multi ? banks[1] : none;
    const BankRef b3 = numBanks == 3 ? banks[2] : none;
    r["PermFlow_1"] = b1.permFlow;
    r["PermuS_1"] = b1.permUs;
    r["PermBackPress_1"] = multi ? BackPress : 0.0;
    r["DeltaPress_1"] = round6(b1.feedPress - b1.concPress);
    r["PermFlow_2"] = b2.permFlow;
    r["PermuS_2"] = b2.permUs;
    r["FeedPressure_2"] = b2.feedPress;
    r["PermBackPress_2"] = multi ? BackPress : 0.0;
    r["DeltaPress_2"] = round6(b2.feedPress - b2.concPress);
    r["Permflow_3"] = b3.permFlow;
    r["PermuS_3"] = b3.permUs;
    r["FeedPressure_3"] = b3.feedPress;
    r["PermbackPress_3"] = numBanks == 3 ? BackPress : 0.0;
    r["DeltaPress_3"] = round6(b3.feedPress - b3.concPress);
    r["ConcPressure_1"] = multi ? b1.concPress : banks.front().concPress;
    r["ConcPressure_2"] = numBanks == 3 ? b2.concPress : 0.0;
    return merged(r, overrides);
}

QVariantMap readingRow(int numBanks, const QVariantMap& overrides) {
    const QVariantMap p = projectInfoRow(numBanks);
    const bool multi = numBanks > 1;
    QVariantMap r;
    r["TheDate"] = QString("2020-01-02 00:00:00");
    r["PermFlow"] = p["PermFlow"];
    r["ConcFlow"] = p["ConcFlow"];
    r["FeedPressure"] = p["FeedPressure"];
    r["ConcPressure"] = p["ConcPressure"];
    r["ConcPressure_1"] = p["ConcPressure_1"];
    r["PermBackPress"] = p["PermBackPress"];
    r["FeeduS"] = p["FeeduS"];
    r["PermuS"] = p["PermuS"];
    r["pH"] = p["refph"];
    r["Temperature"] = p["FeedTemp"];
    r["PermFlow_2"] = p["PermFlow_2"];
    r["PermuS_1"] = p["PermuS_1"];
    r["PermuS_2"] = p["PermuS_2"];
    r["FeedPressure_2"] = p["FeedPressure_2"];
    r["PermBackPress_2"] = p["PermBackPress_2"];
    r["TurbidityFeed"] = 0.1;
    r["TurbidityRaw"] = 1.5;
    r["ORP"] = 250.0;
    r["SDIFeed"] = 2.5;
    r["SDIRaw"] = 4.5;
    r["ProjectID"] = p["ProjectID"];
    r["TrainNumber"] = p["TrainNumber"];
    r["ElapsedTimeHrs"] = 24.0;
    r["FeedFlow"] = p["FeedFlow"];
    r["PermFlow_1"] = p["PermFlow_1"];
    r["PermBackPress_1"] = multi ? p["PermBackPress"] : QVariant(0.0);
    r["Bank"] = numBanks;
    r["Permflow_3"] = p["Permflow_3"];
    r["PermuS_3"] = p["PermuS_3"];
    r["FeedPressure_3"] = p["FeedPressure_3"];
    r["ConcPressure_2"] = p["ConcPressure_2"];
    r["PermbackPress_3"] = p["PermbackPress_3"];
    r["EventID"] = 0;
    r["Note1"] = QString(" ");
    return merged(r, overrides);
}

qint64 insertRow(const QString& dbPath, const QString& table, const QVariantMap& values) {
    Database db = Database::open(dbPath);
    if (!db.hasTable(table)) throw DbError(dberr::TableNotFound, "No table '" + table + "' in " + dbPath);
    QStringList cols, marks;
    QVariantList params;
    for (auto it = values.begin(); it != values.end(); ++it) {
        cols << quoteIdent(db.checkedColumn(table, it.key()));
        marks << "?";
        params << it.value();
    }
    db.exec("INSERT INTO " + quoteIdent(table) + " (" + cols.join(", ") + ") VALUES (" + marks.join(", ") +
                ")",
            params);
    return db.lastInsertId();
}

ElementSpecRecord element(int id, const Coefficients& c, bool custom, double area) {
    ElementSpecRecord e;
    e.ID = id;
    e.Custom = custom;
    e.SE = area;
    e.TALow = c.taLow;
    e.TAHigh = c.taHigh;
    e.TBLow = c.tbLow;
    e.TBHigh = c.tbHigh;
    e.DP3 = c.dp3;
    e.DP4 = c.dp4;
    return e;
}

qint64 insertProjectInfo(const QString& dbPath, int numBanks, const QVariantMap& overrides) {
    return insertWithDefaults(dbPath, "ProjectInfo", projectInfoRow(numBanks), overrides);
}

qint64 insertReading(const QString& dbPath, int numBanks, const QVariantMap& overrides) {
    return insertWithDefaults(dbPath, "Data", readingRow(numBanks), overrides);
}

} // namespace hv::test
