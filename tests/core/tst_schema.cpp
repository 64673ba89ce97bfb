#include <QtTest>
#include <cmath>

#include "core/datatables.h"
#include "core/dbversion.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

using schema::Kind;

const QStringList projectInfoColumns = schema::Names(schema::ProjectInfo, [](auto&) { return true; });
const QStringList dataRawColumns =
    schema::Names(schema::Data, [](const schema::Column& c) { return c.kind != Kind::Calculated; }).mid(1);
const QStringList dataCalculatedColumns =
    schema::Names(schema::Data, [](const schema::Column& c) { return c.kind == Kind::Calculated; });

// clang-format off
const QStringList inputOrderItems = QStringList{"TheDate", "PermFlow", "ConcFlow", "FeedPressure",
    "ConcPressure", "PermBackPress", "FeeduS", "PermuS", "Temperature", "pH", "PermFlow_2", "PermuS_2",
    "FeedPressure_2", "PermBackPress_2", "ConcPressure_1", "TurbidityFeed", "TurbidityRaw", "ORP",
    "SDIFeed", "SDIRaw", "PermFlow_3", "PermuS_3", "FeedPressure_3", "PermBackPress_3", "ConcPressure_2"};

const QStringList userGraphsColumns = QStringList{"ProjectID", "TrainNumber", "GraphName", "StartDate",
    "EndDate", "S1Name", "S2Name", "S3Name", "S4Name", "SensorCount", "Target", "YMax", "Y2Max", "YMin",
    "Y2Min"} + QStringList{"S1LineStyle", "S2LineStyle", "S3LineStyle", "S4LineStyle", "S1LineColor",
    "S2LineColor", "S3LineColor", "S4LineColor", "S1SymbolStyle", "S2SymbolStyle", "S3SymbolStyle",
    "S4SymbolStyle", "S1SymbolColor", "S2SymbolColor", "S3SymbolColor", "S4SymbolColor", "LineSize",
    "SymbolSize", "Header", "ID"};

const QStringList userDefinedColumns = QStringList{"ProjectID", "TurbidityRaw", "TurbidityFeed", "SDIRaw",
    "SDIFeed", "ORP", "UnitsTRaw", "UnitsTFeed", "UnitsSDIRaw", "UnitsSDIFeed", "UnitsORP", "ID"};

const QStringList scadaColumns = QStringList{"ID", "ProjectID", "TrainNumber", "FieldValue", "UseScada",
    "Application", "Topic", "Item", "Required", "UseDefaultValues"};
// clang-format on

QStringList lower(QStringList l) {
    for (QString& s : l)
        s = s.toLower();
    return l;
}

QStringList minus(QStringList all, const QStringList& drop) {
    for (const QString& d : drop)
        all.removeIf([&](const QString& s) { return s.compare(d, Qt::CaseInsensitive) == 0; });
    return all;
}

// Flow temperature correction of a catalogue element, with the water viscosity ratio.
double flowTcf(double t, double aLow, double aHigh) {
    const auto mu = [](double tc) { return 1.234e-6 * std::exp(1965.0 / (tc + 273.15)); };
    const double a = t <= 25 ? aLow : aHigh;
    return std::exp((t - 25) * a) * mu(25) / mu(t);
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

private slots:
    void everyTableHasItsColumnsInOrder() {
        test::TestEnv env;
        Database db = Database::open(test::makeBlankDatabase(env.path("db.hv3.mdb")));

        QCOMPARE(lower(db.columns("Version")), lower({"ID", "Version", "Notes"}));
        QCOMPARE(lower(db.columns("GraphSensors")),
                 lower({"ID", "ProjectID", "TrainNumber", "Bank", "Description", "ColumnHeader", "Order"}));
        QCOMPARE(lower(db.columns("UserGraphs")), lower(userGraphsColumns));
        // Read by position: the 25 items, then the key, then ID.
        QCOMPARE(lower(db.columns("InputOrder")),
                 lower(inputOrderItems + QStringList{"ProjectID", "TrainNumber", "ID"}));
        QCOMPARE(lower(db.columns("Scada")), lower(scadaColumns + QStringList{"Hide"}));
        QCOMPARE(lower(db.columns("ScadaImport")), lower(scadaColumns));
        QCOMPARE(lower(db.columns("Events")), lower({"ID", "EventID", "EventType"}));
        QCOMPARE(lower(db.columns("UserDefined")), lower(userDefinedColumns));

        const DbRows tables = db.select(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name");
        QStringList names, described;
        for (const DbRow& r : tables)
            names << r.value(0).toString();
        QCOMPARE(names, QStringList({"Data", "Events", "GraphSensors", "InputOrder", "ProjectInfo", "Scada",
                                     "ScadaImport", "UserDefined", "UserGraphs", "Version"}));
        for (const schema::Table* t : schema::ProjectTables)
            described << t->name;
        QCOMPARE(described, names);
    }

    // Both ways: every column of every table of the file is described, in its order, with its
    // type, default and Null rule; a two-bank layout lacks just the columns the third bank
    // brought; and the layout check asks for every described column but those an upgrade adds.
    void theDescriptionIsTheSchema() {
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        Database db = Database::open(path);
        Database older = Database::open(test::makeTwoBankDatabase(env.path("db.hv.mdb")));
        for (const schema::Table* t : schema::ProjectTables) {
            const DbRows rows =
                db.select("SELECT name, type, dflt_value, \"notnull\" FROM pragma_table_info(?)", {t->name});
            QCOMPARE(size_t(rows.count()), t->columns.size());
            QStringList twoBank;
            for (int i = 0; i < rows.count(); ++i) {
                const schema::Column& c = t->columns[size_t(i)];
                QCOMPARE(rows.at(i).value(0).toString(), QString(c.name));
                QCOMPARE(rows.at(i).value(1).toString(), QString(schema::TypeName(c.type)));
                QCOMPARE(rows.at(i).value(2).toString(), c.kind == Kind::Calculated ? "0"
                                                         : c.byDefault ? "'" + QString(c.byDefault) + "'"
                                                                       : QString());
                // A column the engine refuses Null in is one the description refuses it in.
                if (rows.at(i).value(3).toInt()) QCOMPARE(int(c.null), int(schema::NullRule::Refused));
                if (schema::Has(c, DbVersion{1, 2, 0})) twoBank << c.name;
            }
            QCOMPARE(lower(older.columns(t->name)), lower(twoBank));
        }
        QStringList required;
        for (const schema::Column& c : schema::Data.columns) {
            db.exec(QString("ALTER TABLE Data RENAME COLUMN %1 TO %1_gone").arg(c.name));
            if (!QString(c.name).startsWith("SpecFlux")) required << c.name;
        }
        db.close();
        QCOMPARE(UnusableDatabaseCause(path),
                 "It is not a project database: its table Data has no column " + required.join(", "));
    }

    void declaredTypesFollowTheHouseRules() {
        test::TestEnv env;
        Database db = Database::open(test::makeBlankDatabase(env.path("db.hv3.mdb")));
        QHash<QString, QString> data;
        for (const DbRow& r : db.select("SELECT name, type FROM pragma_table_info('Data')"))
            data.insert(r.value(0).toString().toLower(), r.value(1).toString());
        for (const QString& c : dataCalculatedColumns)
            QCOMPARE(data.value(c.toLower()), QString("REAL"));
        QCOMPARE(data.value("thedate"), QString("TEXT"));
        QCOMPARE(data.value("eventid"), QString("INTEGER"));

        QHash<QString, QString> info;
        for (const DbRow& r : db.select("SELECT name, type FROM pragma_table_info('ProjectInfo')"))
            info.insert(r.value(0).toString().toLower(), r.value(1).toString());
        for (const QString& yesNo : QStringList{"TrainsSame", "SystemData", "dataExists"})
            QCOMPARE(info.value(yesNo.toLower()), QString("INTEGER"));
        for (const QString& date : QStringList{"DateReference", "DateInstallation", "DateStartUp"})
            QCOMPARE(info.value(date.toLower()), QString("TEXT"));
        QCOMPARE(info.value("numelementsbank_3"), QString("INTEGER"));
        QCOMPARE(info.value("feedtemp"), QString("REAL"));
    }

    void projectKeysCompareRegardlessOfCase() {
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        for (const QString& table : QStringList{"ProjectInfo", "Data", "UserGraphs", "InputOrder", "Scada",
                                                "ScadaImport", "UserDefined", "GraphSensors"}) {
            test::insertRow(path, table, {{"ProjectID", "Plant A"}});
            Database db = Database::open(path);
            QVERIFY2(
                db.scalar("SELECT count(*) FROM " + table + " WHERE ProjectID = ?", {"PLANT a"}).toInt() == 1,
                qPrintable(table));
        }
    }

    void keysRefuseDuplicatesWhereOneRowIsMeant() {
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        test::insertProjectInfo(path, 1);
        QVERIFY_THROWS_EXCEPTION(DbError, test::insertProjectInfo(path, 1, {{"ProjectID", "p1"}}));
        test::insertProjectInfo(path, 1, {{"TrainNumber", 2}});
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 test::insertRow(path, "Events", {{"EventID", 3}, {"EventType", "Again"}}));
        QVERIFY_THROWS_EXCEPTION(DbError, test::insertRow(path, "UserDefined", {{"ProjectID", "DEFAULT"}}));
        QVERIFY_THROWS_EXCEPTION(
            DbError, test::insertRow(path, "InputOrder", {{"ProjectID", "Default"}, {"TrainNumber", 1}}));
        // Saved graphs may share a name.
        test::insertRow(path, "UserGraphs", {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"GraphName", "G"}});
        test::insertRow(path, "UserGraphs", {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"GraphName", "G"}});
        Database db = Database::open(path);
        QCOMPARE(db.scalar("SELECT count(*) FROM ProjectInfo").toInt(), 2);
        QCOMPARE(db.scalar("SELECT count(*) FROM UserGraphs").toInt(), 2);
    }

    // The autonumber IDs are never handed out again, not even the one of the newest row deleted.
    void autonumbersAreNeverReused() {
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        Database db = Database::open(path);
        for (const QString& table : QStringList{"Version", "Data", "UserGraphs"}) {
            const qint64 top = db.scalar("SELECT COALESCE(MAX(ID), 0) FROM " + table).toLongLong();
            db.exec("INSERT INTO " + table + " (ID) VALUES (?)", {top + 5});
            db.exec("DELETE FROM " + table + " WHERE ID = ?", {top + 5});
            db.exec("INSERT INTO " + table + " DEFAULT VALUES");
            QVERIFY2(db.scalar("SELECT MAX(ID) FROM " + table).toLongLong() == top + 6, qPrintable(table));
        }
    }

    void readingsOfATrainAreFoundThroughAnIndex() {
        test::TestEnv env;
        Database db = Database::open(test::makeBlankDatabase(env.path("db.hv3.mdb")));
        QString plan;
        for (const DbRow& r : db.select("EXPLAIN QUERY PLAN SELECT * FROM Data WHERE ProjectID = ? AND "
                                        "TrainNumber = ? ORDER BY TheDate DESC",
                                        {"P1", 1}))
            plan += r.value("detail").toString() + "\n";
        QVERIFY2(plan.contains("USING INDEX Data_ProjectTrainDate"), qPrintable(plan));
        QVERIFY2(!plan.contains("TEMP B-TREE"), qPrintable(plan));
    }

    void defaultRows() {
        test::TestEnv env;
        Database db = Database::open(test::makeBlankDatabase(env.path("db.hv3.mdb")));
        QCOMPARE(db.select("SELECT * FROM Version ORDER BY ID").last().toText("Version"), QString("1.3.38"));
        for (const QString& table : QStringList{"ProjectInfo", "Data", "UserGraphs", "Scada", "ScadaImport"})
            QVERIFY2(db.scalar("SELECT count(*) FROM " + table).toInt() == 0, qPrintable(table));

        const DbRows sensors = db.select("SELECT * FROM GraphSensors ORDER BY ID");
        QCOMPARE(sensors.count(), 51);
        const QStringList dataCols = lower(db.columns("Data"));
        QSet<QString> descriptions;
        for (const DbRow& r : sensors) {
            QCOMPARE(r.toText("ProjectID"), QString("ALL"));
            QCOMPARE(r.toInt32("TrainNumber"), 1);
            QCOMPARE(r.toInt32("Bank"), 1);
            QVERIFY2(dataCols.contains(r.toText("ColumnHeader").toLower()),
                     qPrintable(r.toText("ColumnHeader")));
            descriptions.insert(r.toText("Description"));
        }
        QCOMPARE(descriptions.size(), 51);
        QCOMPARE(sensors.at(3).toText("Description"), QString("System Normalized Permeate Flow"));
        QCOMPARE(sensors.at(3).toInt32("Order"), 1);
        QCOMPARE(sensors.at(47).toText("ColumnHeader"), QString("SpecFlux"));
        QCOMPARE(sensors.at(50).toText("Description"), QString("Bank 3 Specific Flux"));
        QCOMPARE(sensors.at(50).toInt32("Order"), 69);

        const DbRows events = db.select("SELECT EventID, EventType FROM Events ORDER BY EventID");
        const QStringList texts{"None",
                                "System Cleaning",
                                "Instrument Calibration / Replacement",
                                "Pretreatment Event Occurred",
                                "Long Shutdown",
                                "Membrane Replacement"};
        QCOMPARE(events.count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(events.at(i).toInt32("EventID"), i);
            QCOMPARE(events.at(i).toText("EventType"), texts[i]);
        }

        const DbRow def = db.select("SELECT * FROM UserDefined WHERE ProjectID = 'Default'").first();
        QCOMPARE(def.toText("TurbidityRaw"), QString("TurbidityRaw"));
        QCOMPARE(def.toText("ORP"), QString("ORP"));
        // A row created with its project ID alone still has a text in every column.
        db.exec("INSERT INTO UserDefined (ProjectID) VALUES ('P9')");
        const DbRow fresh = db.select("SELECT * FROM UserDefined WHERE ProjectID = 'P9'").first();
        for (const QString& c : userDefinedColumns.mid(1, 10)) {
            QVERIFY2(!def.isNull(c), qPrintable(c));
            QCOMPARE(fresh.toText(c), def.toText(c));
        }

        const DbRows orders =
            db.select("SELECT * FROM InputOrder WHERE ProjectID = 'Default' ORDER BY TrainNumber");
        QVERIFY(orders.count() >= 1);
        QCOMPARE(orders.at(0).toInt32("TrainNumber"), 1);
        for (const DbRow& r : orders)
            for (int k = 0; k < 25; ++k)
                QCOMPARE(r.value(k).toInt(), k);
    }

    void calculatedColumnsStartAtZero() {
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        const qint64 id = test::insertRow(path, "Data", test::readingRow(3));
        Database db = Database::open(path);
        const DbRow row = db.select("SELECT * FROM Data WHERE ID = ?", {id}).first();
        for (const QString& c : dataCalculatedColumns) {
            QVERIFY2(!row.isNull(c), qPrintable(c));
            QCOMPARE(row.toDouble(c), 0.0);
        }
        QCOMPARE(row.toDouble("PermFlow"), 60.0);
        // Raw columns have no default: a value not given stays Null.
        const qint64 bare = test::insertRow(path, "Data", {{"ProjectID", "P1"}, {"TrainNumber", 1}});
        QVERIFY(db.select("SELECT pH FROM Data WHERE ID = ?", {bare}).first().isNull("pH"));
    }

    void preSpecFluxFixture() {
        test::TestEnv env;
        Database db = Database::open(test::makePreSpecFluxDatabase(env.path("old.hv3.mdb")));
        const DbRows versions = db.select("SELECT Version FROM Version");
        QCOMPARE(versions.count(), 1);
        QCOMPARE(versions.first().toText("Version"), QString("1.3.5"));
        const QStringList withoutSpecFlux = minus(dataCalculatedColumns, test::specFluxColumns());
        QCOMPARE(lower(db.columns("Data")), lower(QStringList{"ID"} + dataRawColumns + withoutSpecFlux));
        QCOMPARE(lower(db.columns("ProjectInfo")), lower(projectInfoColumns));
        QCOMPARE(db.scalar("SELECT count(*) FROM GraphSensors").toInt(), 47);
        QCOMPARE(
            db.scalar(
                  "SELECT count(*) FROM GraphSensors WHERE Description = 'System Normalized Permeate Flow'")
                .toInt(),
            1);
        QCOMPARE(db.scalar("SELECT count(*) FROM GraphSensors WHERE ColumnHeader LIKE 'SpecFlux%'").toInt(),
                 0);
        db.close();

        Database other = Database::open(test::makePreSpecFluxDatabase(env.path("v2.hv3.mdb"), "2.3.5"));
        QCOMPARE(other.scalar("SELECT Version FROM Version").toString(), QString("2.3.5"));
    }

    void twoBankFixture() {
        test::TestEnv env;
        const QString path = test::makeTwoBankDatabase(env.path("db.hv.mdb"));
        {
            Database db = Database::open(path);
            const QStringList v =
                db.scalar("SELECT Version FROM Version ORDER BY ID DESC").toString().split('.');
            QCOMPARE(v.size(), 3);
            QVERIFY(v[1].toInt() < 3);
            QCOMPARE(lower(db.columns("ProjectInfo")),
                     lower(minus(projectInfoColumns, test::bank3ProjectInfoColumns())));
            QCOMPARE(lower(db.columns("Data")),
                     lower(minus(QStringList{"ID"} + dataRawColumns + dataCalculatedColumns,
                                 test::bank3DataColumns() + test::specFluxColumns())));
            QCOMPARE(lower(db.columns("InputOrder")),
                     lower(inputOrderItems.mid(0, 20) + QStringList{"ProjectID", "TrainNumber", "ID"}));
            // The bank 1 and 2 vessel columns were there before bank 3.
            QVERIFY(db.hasColumn("ProjectInfo", "NumVessels_2"));
            QVERIFY(db.hasColumn("ProjectInfo", "ElementsPerVessel_2"));
            const QStringList dataCols = lower(db.columns("Data"));
            for (const DbRow& r : db.select("SELECT ColumnHeader FROM GraphSensors"))
                QVERIFY2(dataCols.contains(r.value(0).toString().toLower()),
                         qPrintable(r.value(0).toString()));
            QCOMPARE(db.scalar("SELECT count(*) FROM GraphSensors").toInt(), 39);
        }
        // Row builders leave out what the old layout lacks, but refuse it when asked for.
        test::insertProjectInfo(path, 2);
        test::insertReading(path, 2);
        QVERIFY_THROWS_EXCEPTION(
            DbError, test::insertProjectInfo(path, 2, {{"ProjectID", "P2"}, {"DeltaPress_3", 1}}));
        Database db = Database::open(path);
        QCOMPARE(db.select("SELECT * FROM ProjectInfo").first().toDouble("PermFlow_2"), 20.0);
    }

    void referenceRowsAreConsistent_data() {
        QTest::addColumn<int>("banks");
        QTest::newRow("one bank") << 1;
        QTest::newRow("two banks") << 2;
        QTest::newRow("three banks") << 3;
    }

    void referenceRowsAreConsistent() {
        QFETCH(int, banks);
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        const QString elements = test::makeElementDatabase(env.path("ostrelmem.mdb"));
        test::insertProjectInfo(path, banks);
        test::insertReading(path, banks);
        Database db = Database::open(path);
        const DbRow p = db.select("SELECT * FROM ProjectInfo").first();
        const DbRow d = db.select("SELECT * FROM Data").first();
        Database el = Database::open(elements);
        const double se =
            el.scalar("SELECT SE FROM ElementSpecs WHERE ID = ?", {p.toInt32("ElementType") + 1}).toDouble();

        const auto v = [&](const QString& c) { return p.toDouble(c); };
        QCOMPARE(v("NumBanks"), double(banks));
        QCOMPARE(v("FeedFlow"), v("PermFlow") + v("ConcFlow"));
        QCOMPARE(v("OverallRecovery"), v("PermFlow") / v("FeedFlow"));
        QVERIFY(std::abs(v("ConcuS") -
                         (v("FeeduS") * v("FeedFlow") - v("PermuS") * v("PermFlow")) / v("ConcFlow")) < 1e-4);
        QVERIFY(std::abs(v("AreaBank") - v("NumElementsBank") * se) < 1e-6);
        if (banks > 1) {
            double flow = 0, salt = 0, area = 0, dp = 0;
            int elementsSum = 0;
            for (int k = 1; k <= banks; ++k) {
                const QString s = QString("_%1").arg(k);
                flow += v("PermFlow" + s);
                salt += v("PermFlow" + s) * v("PermuS" + s);
                area += v("AreaBank" + s);
                dp += v("DeltaPress" + s);
                elementsSum += p.toInt32("NumElementsBank" + s);
                QVERIFY(std::abs(v("AreaBank" + s) - p.toInt32("NumElementsBank" + s) * se) < 1e-6);
            }
            QCOMPARE(flow, v("PermFlow"));
            QVERIFY(std::abs(salt / flow - v("PermuS")) < 1e-4);
            QVERIFY(std::abs(area - v("AreaBank")) < 1e-6);
            QVERIFY(std::abs(dp - v("DeltaPress")) < 1e-9);
            QCOMPARE(elementsSum, p.toInt32("NumElementsBank"));
            QCOMPARE(v("FeedPressure") - v("ConcPressure_1"), v("DeltaPress_1"));
        } else {
            QCOMPARE(v("ConcPressure_1"), v("ConcPressure"));
            QCOMPARE(v("DeltaPress"), v("FeedPressure") - v("ConcPressure"));
        }
        if (banks == 3) QCOMPARE(v("FeedPressure_3") - v("ConcPressure"), v("DeltaPress_3"));

        // The reading is the reference state, a day later.
        for (const QString& c :
             QStringList{"PermFlow", "ConcFlow", "FeedFlow", "FeedPressure", "ConcPressure", "PermuS",
                         "FeeduS", "PermFlow_1", "PermFlow_2", "PermFlow_3", "PermuS_2", "ConcPressure_1"})
            QCOMPARE(d.toDouble(c), v(c));
        QCOMPARE(d.toDouble("Temperature"), v("FeedTemp"));
        QCOMPARE(d.toInt32("Bank"), banks);
        const double hours =
            parseDbDate(p.toText("DateReference")).secsTo(parseDbDate(d.toText("TheDate"))) / 3600.0;
        QCOMPARE(d.toDouble("ElapsedTimeHrs"), hours + v("ElapsedTimeRef"));
    }

    void overridesReplaceColumnsRegardlessOfCase() {
        test::TestEnv env;
        const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        const QVariantMap row = test::projectInfoRow(3, {{"projectid", "Plant B"}, {"PERMFLOW_3", 9.5}});
        QCOMPARE(row.value("projectid").toString(), QString("Plant B"));
        QVERIFY(!row.contains("ProjectID"));
        test::insertProjectInfo(path, 3, {{"projectid", "Plant B"}, {"PERMFLOW_3", 9.5}});
        test::insertReading(path, 3, {{"ProjectID", "Plant B"}, {"Note1", "washed"}});
        Database db = Database::open(path);
        QCOMPARE(
            db.select("SELECT * FROM ProjectInfo WHERE ProjectID = 'Plant B'").first().toDouble("PermFlow_3"),
            9.5);
        QCOMPARE(db.select("SELECT Note1 FROM Data WHERE ProjectID = 'Plant B'").first().toText("Note1"),
                 QString("washed"));
        QVERIFY_THROWS_EXCEPTION(DbError, test::insertReading(path, 1, {{"NoSuchColumn", 1}}));
    }

    void elementDatabase() {
        test::TestEnv env;
        Database db = Database::open(test::makeElementDatabase(env.path("ostrelmem.mdb")));
        QVERIFY(db.select("SELECT * FROM Version ORDER BY DBVersion ASC").last().toDouble("DBVersion") >=
                2539);

        const DbRows rows = db.select("SELECT * FROM ElementSpecs ORDER BY ID ASC");
        QVERIFY(rows.count() >= 10);
        QSet<QString> models;
        QSet<QString> kinds;
        for (int i = 0; i < rows.count(); ++i) {
            const DbRow& r = rows.at(i);
            const QString model = r.toText("Model");
            QCOMPARE(r.toInt32("ID"), i + 1);
            QVERIFY(!r.toBool("Custom"));
            QVERIFY(r.toDouble("SE") > 0);
            models.insert(model.toLower());
            kinds.insert(model.section(' ', 0, 0));
            for (const QString& c : QStringList{"DP1", "DP2", "DP3", "DP4", "TB(<=25)", "TB(>25)"})
                QVERIFY(!r.isNull(c));

            // Flow correction: like exp(K (1/298 - 1/(273+T))) with K about 2600 to 3000.
            double sxy = 0, sxx = 0;
            for (int t = 5; t <= 40; ++t) {
                if (t == 25) continue;
                const double x = 1.0 / 298 - 1.0 / (273 + t);
                const double y = std::log(flowTcf(t, r.toDouble("TA(<=25)"), r.toDouble("TA(>25)")));
                sxy += x * y;
                sxx += x * x;
                QVERIFY2(std::abs(y / x - 2800) < 250, qPrintable(model));
            }
            const double k = sxy / sxx;
            QVERIFY2(k >= 2600 && k <= 3000, qPrintable(QString("%1: K %2").arg(model).arg(k)));
            QCOMPARE(flowTcf(25, r.toDouble("TA(<=25)"), r.toDouble("TA(>25)")), 1.0);
            // Salt passage rises with temperature.
            QVERIFY(r.toDouble("TB(<=25)") > 0 && r.toDouble("TB(>25)") > 0);

            const double n = r.toDouble("DP3") + r.toDouble("DP4");
            QVERIFY2(n >= 1.4 && n <= 1.7, qPrintable(model));
        }
        QCOMPARE(models.size(), rows.count());
        QVERIFY(kinds.contains("HV-BW"));
        QVERIFY(kinds.contains("HV-SW"));
        QVERIFY(kinds.contains("HV-NF"));
        // Model names are unique regardless of case, as the custom-element editor expects.
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 db.exec("INSERT INTO ElementSpecs (Model) VALUES ('hv-bw 8040-400')"));
        db.exec("INSERT INTO ElementSpecs (Model, SE, Custom) VALUES ('Custom Element', 37.2, -1)");
        const DbRow custom = db.select("SELECT * FROM ElementSpecs WHERE Custom <> 0").first();
        QCOMPARE(custom.toInt32("ID"), rows.count() + 1);
        QCOMPARE(custom.toDouble("DP4"), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
