#include "collection/inputconfig.h"

#include "core/inputordercolumns.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/settings.h"
#include "core/typedinput.h"
#include "platform/database.h"

namespace hv {

namespace {

static_assert(InputOrderColumns.size() == ItemCount);

// The positions whose column the table has (a two-bank database lacks the bank-3 ones).
std::vector<int> presentPositions(Database& db) {
    const QStringList have = db.columns("InputOrder");
    std::vector<int> positions;
    for (int k = 0; k < ItemCount; ++k)
        if (have.contains(QLatin1String(InputOrderColumns[size_t(k)]), Qt::CaseInsensitive))
            positions.push_back(k);
    return positions;
}

QString columnList(const std::vector<int>& positions) {
    QStringList names;
    for (int k : positions)
        names << QLatin1String(InputOrderColumns[size_t(k)]);
    return names.join(", ");
}

QString storedText(const QString& text) {
    return text.isEmpty() ? QStringLiteral("NA") : text;
}

// Updates the train's first order row by position, or inserts one.
void writeOrder(Database& db, const QString& projectId, int trainNumber, const RowOrder& order) {
    const std::vector<int> positions = presentPositions(db);
    const QVariant id =
        db.scalar("SELECT ID FROM InputOrder WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID",
                  {projectId, trainNumber});
    QVariantList values;
    for (int k : positions)
        values << order[size_t(k)];
    if (!conv::isNull(id)) {
        QStringList sets;
        for (int k : positions)
            sets << QLatin1String(InputOrderColumns[size_t(k)]) + QStringLiteral(" = ?");
        values << id;
        db.exec("UPDATE InputOrder SET " + sets.join(", ") + " WHERE ID = ?", values);
    } else {
        values << projectId << trainNumber;
        db.exec("INSERT INTO InputOrder (" + columnList(positions) + ", ProjectID, TrainNumber) VALUES (" +
                    QString("?, ").repeated(int(positions.size()) + 1) + "?)",
                values);
    }
}

} // namespace

RowOrder IdentityOrder() {
    RowOrder o{};
    for (int k = 0; k < ItemCount; ++k)
        o[size_t(k)] = k;
    return o;
}

std::optional<RowOrder> ReadInputOrder(Program& p, const QString& projectId, int trainNumber) {
    Database db = Database::open(p.ProjectDatabasePath);
    const std::vector<int> positions = presentPositions(db);
    const DbRows rows = db.select("SELECT " + columnList(positions) +
                                      " FROM InputOrder WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID",
                                  {projectId, trainNumber});
    if (rows.isEmpty()) return std::nullopt;
    RowOrder order = IdentityOrder();
    const DbRow& row = rows.first();
    for (size_t c = 0; c < positions.size(); ++c) {
        const QVariant v = row.value(int(c));
        bool ok = false;
        const int i = v.toInt(&ok);
        if (!conv::isNull(v) && ok && i >= 0 && i < ItemCount) order[size_t(positions[c])] = i;
    }
    return order;
}

std::array<bool, ItemCount> RepeatedRows(const RowOrder& order) {
    std::array<bool, ItemCount> repeated{};
    for (int i = 0; i < ItemCount; ++i)
        for (int j = i + 1; j < ItemCount; ++j)
            if (order[size_t(i)] == order[size_t(j)]) repeated[size_t(i)] = repeated[size_t(j)] = true;
    return repeated;
}

std::optional<OrderFault> FindOrderFault(const RowOrder& order) {
    std::array<int, ItemCount> rows{};
    for (int i : order)
        if (i >= 0 && i < ItemCount) ++rows[size_t(i)];
    for (int i = 0; i < ItemCount; ++i)
        if (rows[size_t(i)] > 1) return OrderFault{i, true};
    for (int i = 0; i < ItemCount; ++i)
        if (rows[size_t(i)] == 0) return OrderFault{i, false};
    return std::nullopt;
}

QString OrderFaultText(const OrderFault& fault, const QString& name, bool orderSave) {
    const QString what = fault.repeated ? "\"" + name + "\" is chosen in more than one input row"
                                        : "\"" + name + "\" is chosen in no input row";
    return what +
           (orderSave ? QStringLiteral(". The input order was not saved.")
                      : QStringLiteral(". The reading was not saved.")) +
           "\r\n\r\nChoose every item in one row of its own.";
}

std::vector<ScadaRow> ReadScadaRows(Program& p, const QString& projectId, int trainNumber, LinkTable table) {
    Database db = Database::open(p.ProjectDatabasePath);
    const bool entry = table == LinkTable::Scada;
    const QString sql = QStringLiteral("SELECT * FROM %1 WHERE ProjectID = ? AND TrainNumber = ? ORDER BY ID")
                            .arg(entry ? "Scada" : "ScadaImport");
    DbRows rows = db.select(sql, {projectId, trainNumber});
    if (rows.isEmpty()) rows = db.select(sql, {QStringLiteral("Default"), 1});
    std::vector<ScadaRow> out;
    auto text = [](const DbRow& r, const char* c) { return r.isNull(c) ? QString() : r.value(c).toString(); };
    auto flag = [](const DbRow& r, const char* c) { return !r.isNull(c) && r.toBool(c); };
    for (const DbRow& r : rows) {
        ScadaRow s;
        s.field = text(r, "FieldValue");
        s.useScada = flag(r, "UseScada");
        s.application = text(r, "Application");
        s.topic = text(r, "Topic");
        s.item = text(r, "Item");
        s.required = flag(r, "Required");
        s.useDefault = flag(r, "UseDefaultValues");
        s.hide = entry && flag(r, "Hide");
        out.push_back(s);
    }
    return out;
}

ScadaRow DefaultScadaRow(int k) {
    ScadaRow s;
    s.application = QStringLiteral("Excel");
    s.topic = QStringLiteral("Sheet1");
    s.item = QString("R%1C1").arg(k + 1);
    return s;
}

void SaveInputOrder(Program& p, const QString& projectId, int trainNumber, const RowOrder& order) {
    Database db = Database::open(p.ProjectDatabasePath);
    Transaction tx(db);
    writeOrder(db, projectId, trainNumber, order);
    tx.commit();
}

void SaveInputConfig(Program& p, const QString& projectId, int trainNumber, const RowOrder& order,
                     const std::vector<ScadaRow>& rows) {
    Database db = Database::open(p.ProjectDatabasePath);
    Transaction tx(db);
    writeOrder(db, projectId, trainNumber, order);
    db.exec("DELETE FROM Scada WHERE ProjectID = ? AND TrainNumber = ?", {projectId, trainNumber});
    auto insert =
        db.prepare("INSERT INTO Scada (ProjectID, TrainNumber, FieldValue, UseScada, Application, "
                   "Topic, Item, Required, UseDefaultValues, Hide) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const ScadaRow& r : rows)
        insert->exec({projectId, trainNumber, r.field, r.useScada ? -1 : 0, storedText(r.application),
                      storedText(r.topic), storedText(r.item), r.required ? -1 : 0, r.useDefault ? -1 : 0,
                      r.hide ? -1 : 0});
    insert.reset();
    tx.commit();
}

double IntervalMinutesOf(const QString& text) {
    return ReadNumberText(text).value_or(0);
}

bool IniFlag(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) return true;
    const std::optional<double> x = ReadSettingsNumber(t);
    return x && *x != 0;
}

PollingSettings ReadPollingSettings(Program& p, const QString& projectId, int trainNumber) {
    const auto key = [&](const char* name) { return TrainSettingKey(projectId, trainNumber, name); };
    PollingSettings s;
    s.intervalMinutes =
        IntervalMinutesOf(ReadIniValue("Projects", key("SaveInterval"), "120", p.IniFilePath));
    s.useScada = IniFlag(ReadIniValue("Projects", key("ChkUseScada"), "FALSE", p.IniFilePath));
    s.autoLink = IniFlag(ReadIniValue("Projects", key("AutoLink"), "FALSE", p.IniFilePath));
    return s;
}

double WritePollingSettings(Program& p, const QString& projectId, int trainNumber, const PollingSettings& s) {
    const auto key = [&](const char* name) { return TrainSettingKey(projectId, trainNumber, name); };
    const double minutes = s.intervalMinutes < 10 ? 10 : s.intervalMinutes;
    WriteIniDouble("Projects", key("SaveInterval"), p.IniFilePath, minutes);
    WriteIniValue("Projects", key("ChkUseScada"), p.IniFilePath, s.useScada ? "TRUE" : "FALSE");
    WriteIniValue("Projects", key("AutoLink"), p.IniFilePath, s.autoLink ? "TRUE" : "FALSE");
    return minutes;
}

QString NoServerText(const QString& linkTopic) {
    return GetMlString(493, "The ddeLink failed because there is no application called ") + linkTopic +
           GetMlString(494, " running on the system or it failed to work. You will need to start this "
                            "application and then retry. If Excel is used, check that Excel is running and "
                            "that the sheet you need is in the foreground.");
}

QString OpenFailedText(const QString& linkTopic, bool applicationMissing, const QString& cause) {
    if (applicationMissing) return NoServerText(linkTopic);
    return "The ddeLink to " + linkTopic + " failed: " + cause +
           ". Check the application and the "
           "topic (sheet) names of the row, then retry.";
}

QString RequestFailedText(int errorNumber, const QString& cause) {
    return GetMlString(511, "The ddeLink failed with error ") + QString::number(errorNumber) + ".\r\n" +
           cause + ".";
}

QString FailureCountText(int count, const QString& caption) {
    return GetMlString(495, "DDE Failure Count = ") + QString::number(count) + " @" + caption;
}

QString PollingSwitchedOffText() {
    return QStringLiteral("Polling has been switched off ('Use SCADA Data?' is cleared). Switch it on again "
                          "once the links are right; 'Save Config' stores it as it is shown.");
}

QString DateRowUnlinkedText(const QString& dateCaption) {
    return "Polling cannot run while the row of " + dateCaption +
           " has no link: each poll takes its date from the control system. Tick the row's Link box and "
           "name its cell or tag, then switch polling on.";
}

} // namespace hv
