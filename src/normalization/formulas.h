#pragma once
#include <vector>

#include "core/elementrecord.h"
#include "platform/dberror.h"

namespace hv {

// Physical properties of the feed and permeate streams and the element corrections.
// Conductivity in uS/cm, concentrations in ppm, temperatures in deg C, osmotic pressure
// in atm, density in kg/m3. Failures are raised as DbError with the run-time numbers
// of calcerror.h; nothing here keeps state or allocates.

double ConductivityToTDS(double conductivity);
double OsmoticPressure(double temperature, double concentration);
double SolutionDensity(double concentration, double temperature);

// The element record of a project's element type number; error 9 when out of range.
const ElementSpecRecord& ElementOfType(const std::vector<ElementSpecRecord>& table, int type);

double FlowTCF(double temperature, const ElementSpecRecord& element);
double SaltPassageTCF(double temperature, const ElementSpecRecord& element);
// dp normalized to the reference flow, temperature and concentration; flows in any one unit.
double NormalizeDP(double dp, double actualAvgFlow, double refAvgFlow, const ElementSpecRecord& element,
                   double actualTemp, double refTemp, double actualConc, double refConc);

inline double FlowTCF(double temperature, int type, const std::vector<ElementSpecRecord>& table) {
    return FlowTCF(temperature, ElementOfType(table, type));
}
inline double SaltPassageTCF(double temperature, int type, const std::vector<ElementSpecRecord>& table) {
    return SaltPassageTCF(temperature, ElementOfType(table, type));
}
inline double NormalizeDP(double dp, double actualAvgFlow, double refAvgFlow, int type,
                          const std::vector<ElementSpecRecord>& table, double actualTemp, double refTemp,
                          double actualConc, double refConc) {
    return NormalizeDP(dp, actualAvgFlow, refAvgFlow, ElementOfType(table, type), actualTemp, refTemp,
                       actualConc, refConc);
}

// Water viscosity in Pa.s: pure at a temperature, and of a solution (concentration in ppm).
double WaterViscosity(double temperature);
double SolutionViscosity(double temperature, double concentration);

} // namespace hv
