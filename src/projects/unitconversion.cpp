#include "projects/unitconversion.h"

#include <QStringList>
#include <QVariantList>
#include <span>

#include "core/datatables.h"
#include "core/projectrecord.h"
#include "core/units.h"
#include "platform/database.h"
#include "projects/projecttext.h"

namespace hv {

namespace {

// Reference boxes by what they hold (the rows the unit captions name).
constexpr int FlowBoxes[] = {1, 2, 10, 14, 15, 16, 17, 22};
constexpr int PressureBoxes[] = {3, 4, 5, 12, 13, 19, 21, 24, 25, 26};
constexpr int TemperatureBox = 9;

// Data columns by what they hold. The calculated ones convert too, so that a reading
// is whole in the new units whether or not the train is recalculated afterwards.
constexpr const char* FlowColumns[] = {"PermFlow",
                                       "ConcFlow",
                                       "FeedFlow",
                                       "PermFlow_1",
                                       "PermFlow_2",
                                       "Permflow_3",
                                       "NormalizedPermFlow",
                                       "NormalizedPermFlow_1",
                                       "NormalizedPermFlow_2",
                                       "NormalizedPermFlow_3"};
constexpr const char* PressureColumns[] = {"FeedPressure",
                                           "ConcPressure",
                                           "ConcPressure_1",
                                           "ConcPressure_2",
                                           "PermBackPress",
                                           "PermBackPress_1",
                                           "PermBackPress_2",
                                           "PermbackPress_3",
                                           "FeedPressure_2",
                                           "FeedPressure_3",
                                           "SystemDP",
                                           "B1DP",
                                           "B2DP",
                                           "B3DP",
                                           "NetTMP",
                                           "NormalizedDP",
                                           "NormalizedDP_1",
                                           "NormalizedDP_2",
                                           "NormalizedDP_3"};
constexpr const char* TemperatureColumns[] = {"Temperature"};
constexpr const char* FluxColumns[] = {"ActualFlux", "ActualFlux_1", "ActualFlux_2", "ActualFlux_3",
                                       "NormalizedFlux"};
// Flux per unit of pressure.
constexpr const char* SpecificFluxColumns[] = {"SpecFlux", "SpecFlux_1", "SpecFlux_2", "SpecFlux_3"};
static_assert(schema::AreDataColumns(FlowColumns) && schema::AreDataColumns(PressureColumns) &&
              schema::AreDataColumns(TemperatureColumns) && schema::AreDataColumns(FluxColumns) &&
              schema::AreDataColumns(SpecificFluxColumns));

QString unitName(int kind, int index) {
    try {
        return GetUnitName(kind, index);
    } catch (const std::exception&) {
        return QStringLiteral("?");
    }
}

// The number behind the box, not its rounded text, is converted, as the readings are.
void convertBox(ProjectBoxes& b, int i, const UnitMap& m) {
    if (m.identity() || b.txtData[size_t(i)].trimmed().isEmpty()) return;
    const std::optional<double> v = DataBoxValue(b, i);
    if (!v) return;
    ShowDataNumber(b, i, *v * m.scale + m.shift);
}

} // namespace

ProjectUnits UnitsOf(const ProjectInfoRecord& rec) {
    return {rec.unitFlow, rec.unitTemp, rec.unitPress, rec.unitFlux};
}

QString UnitsText(const ProjectUnits& u) {
    return unitName(3, u.flow) + ", " + unitName(2, u.temp) + ", " + unitName(1, u.press) + ", " +
           unitName(4, u.flux);
}

void ConvertReferenceBoxes(ProjectBoxes& b, const ProjectUnits& from, const ProjectUnits& to) {
    const UnitMap flow = FlowMap(from.flow, to.flow), press = PressureMap(from.press, to.press);
    for (int i : FlowBoxes)
        convertBox(b, i, flow);
    for (int i : PressureBoxes)
        convertBox(b, i, press);
    convertBox(b, TemperatureBox, TemperatureMap(from.temp, to.temp));
}

int ConvertTrainReadings(Database& db, const QString& projectId, qint16 train, const ProjectUnits& from,
                         const ProjectUnits& to) {
    const UnitMap flow = FlowMap(from.flow, to.flow), press = PressureMap(from.press, to.press),
                  temp = TemperatureMap(from.temp, to.temp), flux = FluxMap(from.flux, to.flux);
    // Pressures have no offset: a specific flux scales by the flux over the pressure.
    const UnitMap specific{flux.scale / press.scale, 0};
    const QStringList present = db.columns(QStringLiteral("Data"));
    QStringList sets;
    QVariantList values;
    auto add = [&](std::span<const char* const> columns, const UnitMap& m) {
        if (m.identity()) return;
        for (const char* name : columns) {
            const QString c = QLatin1String(name);
            if (!present.contains(c, Qt::CaseInsensitive)) continue;
            sets << quoteIdent(c) + " = " + quoteIdent(c) + " * ? + ?";
            values << m.scale << m.shift;
        }
    };
    add(FlowColumns, flow);
    add(PressureColumns, press);
    add(TemperatureColumns, temp);
    add(FluxColumns, flux);
    add(SpecificFluxColumns, specific);
    if (sets.isEmpty()) return 0;
    values << projectId << int(train);
    return db.exec("UPDATE Data SET " + sets.join(", ") + " WHERE ProjectID = ? AND TrainNumber = ?", values);
}

} // namespace hv
