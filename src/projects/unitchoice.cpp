#include "projects/unitchoice.h"

#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "core/units.h"

namespace hv {

namespace {
// A stored unit code outside its table shows no name rather than failing the display.
QString unitName(int kind, int index) {
    try {
        return GetUnitName(kind, index);
    } catch (const std::exception&) {
        return {};
    }
}
} // namespace

void ApplyUnitPreset(Program& p, UnitPreset preset) {
    switch (preset) {
    case UnitPreset::US:
        p.PressureUnit = 0, p.TemperatureUnit = 0, p.FlowUnit = 4, p.FluxUnit = 0, p.MassUnit = 1;
        break;
    case UnitPreset::CMH:
        p.PressureUnit = 7, p.TemperatureUnit = 1, p.FlowUnit = 13, p.FluxUnit = 1, p.MassUnit = 0;
        break;
    case UnitPreset::CMD:
        p.PressureUnit = 8, p.TemperatureUnit = 1, p.FlowUnit = 14, p.FluxUnit = 2, p.MassUnit = 0;
        break;
    }
}

std::optional<QString> RowUnitCaption(int row, int flowUnit, int pressUnit, int tempUnit) {
    switch (row) {
    case 0:
        return ShortDateTimeHint();
    case 1:
    case 2:
    case 10:
    case 14:
    case 15:
    case 16:
    case 17:
    case 22:
        return unitName(3, flowUnit);
    case 3:
    case 4:
    case 5:
    case 12:
    case 13:
    case 19:
    case 21:
    case 24:
    case 25:
    case 26:
        return unitName(1, pressUnit);
    case 6:
    case 7:
    case 11:
    case 23:
        return GetMlString(592, "uSiemens");
    case 8:
        return GetMlString(594, "pH Units");
    case 9:
        return unitName(2, tempUnit);
    case 18:
        return QStringLiteral("% Rec");
    case 20:
        return QStringLiteral("% Rej");
    default:
        return std::nullopt;
    }
}

QString FlowSummary(int flowUnit) {
    return GetMlString(1149, "Flow:") + unitName(3, flowUnit);
}
QString TemperatureSummary(int tempUnit) {
    return GetMlString(328, "Temperature:") + unitName(2, tempUnit);
}
QString PressureSummary(int pressUnit) {
    return GetMlString(1150, "Press:") + unitName(1, pressUnit);
}
QString FluxSummary(int fluxUnit) {
    return GetMlString(1151, "Flux:") + unitName(4, fluxUnit);
}

} // namespace hv
