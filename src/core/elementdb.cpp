#include "core/elementdb.h"

#include "core/program.h"
#include "platform/database.h"

namespace hv {

namespace {

void showFatal(Program& p, const DbError& e) {
    const QString file = ElementDatabasePath(p);
    if (e.number() == dberr::FileNotFound) {
        p.prompts.message(
            e.description() + "\r\nCould not open element database at: \r\n" + file +
                "\r\nThe database may be set for Read Only or it may not be named correctly or may "
                "not exist.\r\nOpen Windows Explorer, find Ostrelmem.mdb, Select it then Right click "
                "with your mouse and UNCHECK the Read Only box.\r\nThen click OK and restart Hevrin.",
            Buttons::OK, Icon::Critical, Title);
    } else {
        p.prompts.message("Error Number: " + QString::number(e.number()) + ": " + e.description() +
                              "\r\n\r\nCould not open element database at: \r\n" + file +
                              "\r\nYou must have a valid membrane database in the directory for Hevrin to "
                              "function.\r\n\r\nHevrin will now close and exit.",
                          Buttons::OK, Icon::Critical, Title);
    }
}

// Null columns of a hand-edited row read as 0 or an empty model rather than stopping the program.
double number(const DbRow& r, const char* column) {
    const QVariant v = r.value(QLatin1String(column));
    return conv::isNull(v) ? 0.0 : conv::toDouble(v);
}

ElementSpecRecord readElement(const DbRow& r) {
    ElementSpecRecord e;
    e.ID = conv::roundToInt32(number(r, "ID"));
    e.Model = r.isNull("Model") ? QString() : r.toText("Model");
    e.SE = number(r, "SE");
    e.TALow = number(r, "TA(<=25)");
    e.TAHigh = number(r, "TA(>25)");
    e.TBLow = number(r, "TB(<=25)");
    e.TBHigh = number(r, "TB(>25)");
    e.Custom = number(r, "Custom") != 0;
    e.DP1 = number(r, "DP1");
    e.DP2 = number(r, "DP2");
    e.DP3 = number(r, "DP3");
    e.DP4 = number(r, "DP4");
    return e;
}

void loadTables(Program& p, Database& db) {
    const QVariant version = db.scalar("SELECT max(DBVersion) FROM Version");
    p.ElementDbVersion = conv::isNull(version) ? 0.0 : conv::toDouble(version);

    // Standard elements (Custom 0) before custom ones (-1), each from Z to A.
    const DbRows listed = db.select("SELECT * FROM ElementSpecs ORDER BY (ElementSpecs.Custom <> 0) ASC, "
                                    "ElementSpecs.Model COLLATE NOCASE DESC, ElementSpecs.ID ASC");
    const int count = listed.count();
    qint32 highestId = 0;
    std::vector<ElementSpecRecord> elements;
    elements.reserve(size_t(count));
    for (const DbRow& r : listed) {
        elements.push_back(readElement(r));
        highestId = std::max(highestId, elements.back().ID);
    }

    // One entry above the last filled one, as the lists have always had.
    // A project stores the element type as a 16-bit number: higher IDs cannot be addressed.
    constexpr qint32 HighestAddressableId = 32768;
    highestId = std::min(highestId, HighestAddressableId);
    const size_t size = size_t(std::max(highestId, qint32(count))) + 1;
    std::vector<ElementSpecRecord> list(size);
    std::vector<ElementSpecRecord> table(size);
    for (int i = 0; i < count; ++i)
        list[size_t(i)] = elements[size_t(i)];
    // Entry k's ListPos is the list position of the element with ID k + 1, not of entry k.
    for (int i = 0; i < count; ++i) {
        const qint32 id = elements[size_t(i)].ID;
        if (id >= 1 && id <= highestId) list[size_t(id - 1)].ListPos = i;
    }
    // A project addresses its element by ID - 1, so each element sits at that index even
    // when a deleted custom element left a gap in the IDs.
    for (int i = 0; i < count; ++i) {
        ElementSpecRecord e = elements[size_t(i)];
        if (e.ID < 1 || e.ID > highestId) continue;
        e.ListPos = i;
        table[size_t(e.ID - 1)] = e;
    }
    p.ElementList = std::move(list);
    p.ElementTable = std::move(table);
    p.ElementListUpper = qint16(std::min(count, 32767));
}

} // namespace

QString ElementDatabasePath(const Program& p) {
    return p.AppDataFolder + "/ostrelmem.mdb";
}

bool OpenElementDatabase(Program& p) {
    p.ElementConnection.reset();
    try {
        auto db = std::make_unique<Database>(Database::open(ElementDatabasePath(p)));
        const QVariant version = db->scalar("SELECT max(DBVersion) FROM Version");
        const double v = conv::isNull(version) ? 0.0 : conv::toDouble(version);
        p.ElementConnection = std::move(db);
        if (v < CurrentElementDbVersion)
            p.prompts.message(
                "You are using the old membrane database. A new database was released with the "
                "1.3.34 version of Hevrin. \r\nAlthough the old database will work with this new "
                "Hevrin version, not all elements are available to you.\r\n\r\nYou should use the "
                "new database, dated at least August 2009, version at least 2539.",
                Buttons::OK, Icon::Information, Title);
        return true;
    } catch (const DbError& e) {
        p.ElementConnection.reset();
        showFatal(p, e);
        return false;
    }
}

bool LoadElementSpecs(Program& p) {
    if (!OpenElementDatabase(p)) return false;
    try {
        loadTables(p, *p.ElementConnection);
    } catch (const DbError& e) {
        p.ElementConnection.reset();
        showFatal(p, e);
        return false;
    }
    p.ElementConnection.reset();
    return true;
}

qint32 CountProjectDataRecords(Program& p, const QString& projectId, qint16 trainNumber) {
    Database db = Database::open(p.ProjectDatabasePath);
    return db
        .scalar("SELECT count(*) FROM Data WHERE (ProjectID = ?) AND (TrainNumber = ?)",
                {projectId, trainNumber})
        .toInt();
}

} // namespace hv
