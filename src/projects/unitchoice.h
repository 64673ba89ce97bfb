#pragma once
#include <QString>
#include <optional>

namespace hv {

struct Program;

enum class UnitPreset { US, CMH, CMD };

// Sets the five program-wide unit choices of a preset.
void ApplyUnitPreset(Program& p, UnitPreset preset);

// The unit caption of reference row i (0 to 26) for the given units; nothing for a row
// whose caption stays as it is (the recovery).
std::optional<QString> RowUnitCaption(int row, int flowUnit, int pressUnit, int tempUnit);

// The four unit summary labels: flow, temperature, pressure, flux.
QString FlowSummary(int flowUnit);
QString TemperatureSummary(int tempUnit);
QString PressureSummary(int pressUnit);
QString FluxSummary(int fluxUnit);

} // namespace hv
