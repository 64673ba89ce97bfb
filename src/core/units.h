#pragma once
#include <QString>
#include <QtGlobal>

namespace hv {

struct Program;

// One unit: a value v in it is v * Factor + Offset in its table's base unit.
struct UnitRecord {
    QString Name; // display name, at most 12 characters
    double Factor = 1;
    double Offset = 0;
};

// The six fixed unit tables, filled once.
const UnitRecord* PressureUnits();    // 0-11, base psi
const UnitRecord* TemperatureUnits(); // 0-3, base deg F
const UnitRecord* FlowUnits();        // 0-15, base ft3/min
const UnitRecord* FluxUnits();        // 0-3, base gal/ft2/day
const UnitRecord* MassUnits();        // 0-3, base kg
const UnitRecord* VolumeUnits();      // 0-4, base m3
constexpr int PressureUnitCount = 12, TemperatureUnitCount = 4, FlowUnitCount = 16, FluxUnitCount = 4,
              MassUnitCount = 4, VolumeUnitCount = 5;

// Detects the locale's decimal separator and sets the default unit choices.
void InitUnits(Program& p);

double ConvertUnit(double value, int from, int to, const UnitRecord* table, int highest);
// The same conversion as a linear map: a value v in `from` is v * scale + shift in `to`, so
// that stored columns convert in one statement.
struct UnitMap {
    double scale = 1;
    double shift = 0;
    bool identity() const { return scale == 1 && shift == 0; }
};
UnitMap UnitMapOf(int from, int to, const UnitRecord* table, int highest);
UnitMap PressureMap(int from, int to);
UnitMap TemperatureMap(int from, int to);
UnitMap FlowMap(int from, int to);
UnitMap FluxMap(int from, int to);
double ConvertPressure(double value, int from, int to);
double ConvertTemperature(double value, int from, int to); // only 0 (deg F) and 1 (deg C) convert
double ConvertFlow(double value, int from, int to);
double ConvertFlux(double value, int from, int to);
double FlowToSI(double value, int from); // to m3/s
double FluxFromSI(double value, int to); // from m3/m2/s
double TemperatureToC(double value, int from);
double PressureFromAtm(double value, int to);

// kind: 1 pressure, 2 temperature, 3 flow, 4 flux, 5 mass, 6 volume. Empty text for
// another kind; an index outside the kind's table is DbError 9 (subscript out of range).
QString GetUnitName(int kind, int index);

} // namespace hv
