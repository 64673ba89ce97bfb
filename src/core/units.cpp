#include "core/units.h"

#include <array>

#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "platform/dberror.h"

namespace hv {

namespace {

constexpr long SubscriptOutOfRange = 9;

struct UnitDef {
    long textId;
    const char* english;
    double factor;
    double offset;
};

template <size_t N> std::array<UnitRecord, N> fill(const UnitDef (&defs)[N]) {
    std::array<UnitRecord, N> out;
    for (size_t i = 0; i < N; ++i) {
        // The name field holds 12 characters.
        out[i].Name = GetMlString(defs[i].textId, QString::fromLatin1(defs[i].english)).left(12);
        out[i].Factor = defs[i].factor;
        out[i].Offset = defs[i].offset;
    }
    return out;
}

const std::array<UnitRecord, PressureUnitCount>& pressure() {
    static const UnitDef defs[] = {
        {1333, "Psi", 1, 0},           {1334, "Lb/ft2", 0.0069445, 0}, {1335, "Atm", 14.696, 0},
        {1337, "In H2O", 0.036092, 0}, {1336, "Ft H2O", 0.432781, 0},  {1338, "In Hg", 0.491154, 0},
        {1339, "mm Hg", 0.0193368, 0}, {1340, "Kg/cm2", 14.2233, 0},   {1341, "Bar", 14.5038, 0},
        {1342, "KPa", 0.145038, 0},    {1343, "MPa", 145.038, 0},      {1344, "Kg/m2", 0.001422, 0},
    };
    static const auto table = fill(defs);
    return table;
}

const std::array<UnitRecord, TemperatureUnitCount>& temperature() {
    static const UnitDef defs[] = {
        {1345, "Deg F", 1, 0},
        {1346, "Deg C", 1.8, 32},
        {1347, "Deg R", 1, -459.67},
        {1348, "Deg K", 1.8, -459.67},
    };
    static const auto table = fill(defs);
    return table;
}

const std::array<UnitRecord, FlowUnitCount>& flow() {
    static const UnitDef defs[] = {
        {1350, "Ft3/min", 1, 0},
        {1351, "Ft3/sec", 60, 0},
        {1352, "Ft3/hr", 1.0 / 60, 0},
        {1353, "Ft3/day", 1.0 / 60 / 24, 0},
        {1354, "Gal/min", 0.13368, 0},
        {1355, "Gal/hr", 0.13368 / 60, 0},
        {1356, "Gal/day", 0.13368 / 60 / 24, 0},
        {1357, "Bbl/hr", 5.615 / 60, 0},
        {1358, "Bbl/day", 5.615 / 60 / 24, 0},
        {1359, "Liter/sec", 2.1192, 0},
        {1360, "Liter/min", 0.03532, 0},
        {1361, "Liter/hr", 0.03532 / 60, 0},
        {1362, "m3/sec", 2118.9, 0},
        {1363, "m3/hr", 35.315 / 60, 0},
        {1364, "m3/day", 35.315 / 60 / 24, 0},
        {1365, "ml/min", 0.03532 / 1000, 0},
    };
    static const auto table = fill(defs);
    return table;
}

const std::array<UnitRecord, FluxUnitCount>& flux() {
    static const UnitDef defs[] = {
        {1329, "Gal/ft2/day", 1, 0},
        {1330, "Liter/m2/hr", 264.172 / 1000 / 10.7639 * 24, 0},
        {1331, "Liter/m2/day", 264.172 / 1000 / 10.7639, 0},
        {1332, "m3/m2/sec", 264.172 / 10.7639 * 3600 * 24, 0},
    };
    static const auto table = fill(defs);
    return table;
}

const std::array<UnitRecord, MassUnitCount>& mass() {
    static const UnitDef defs[] = {
        {1371, "kg", 1, 0},
        {1372, "lb", 1 / 2.204, 0},
        {1373, "MT", 1000, 0},
        {1374, "ton (US)", 2000 / 2.204, 0},
    };
    static const auto table = fill(defs);
    return table;
}

const std::array<UnitRecord, VolumeUnitCount>& volume() {
    static const UnitDef defs[] = {
        {1368, "liter", 0.001, 0},    {1367, "Gal", 0.003785, 0},        {1366, "m^3", 1, 0},
        {1369, "barrel", 0.15899, 0}, {1370, "milliliter", 0.000001, 0},
    };
    static const auto table = fill(defs);
    return table;
}

} // namespace

const UnitRecord* PressureUnits() {
    return pressure().data();
}
const UnitRecord* TemperatureUnits() {
    return temperature().data();
}
const UnitRecord* FlowUnits() {
    return flow().data();
}
const UnitRecord* FluxUnits() {
    return flux().data();
}
const UnitRecord* MassUnits() {
    return mass().data();
}
const UnitRecord* VolumeUnits() {
    return volume().data();
}

void InitUnits(Program& p) {
    if (GeneralNumber(1.0 / 3.0).contains(',')) {
        p.DecimalSeparator = ",";
        p.ListSeparator = ".";
        p.DecimalSeparatorCode = 44;
    } else {
        p.DecimalSeparator = ".";
        p.ListSeparator = ",";
        p.DecimalSeparatorCode = 46;
    }
    // Fill the tables now rather than at the first window that shows a unit.
    pressure();
    temperature();
    flux();
    flow();
    mass();
    volume();
    p.FlowUnit = 6;
    p.TemperatureUnit = 0;
    p.PressureUnit = 0;
    p.FluxUnit = 0;
    p.MassUnit = 1;
}

double ConvertUnit(double value, int from, int to, const UnitRecord* table, int highest) {
    if (from < 0 || from > highest || to < 0 || to > highest || from == to) return value;
    const double base = value * table[from].Factor + table[from].Offset;
    return (base - table[to].Offset) / table[to].Factor;
}

UnitMap UnitMapOf(int from, int to, const UnitRecord* table, int highest) {
    if (from < 0 || from > highest || to < 0 || to > highest || from == to) return {};
    return {table[from].Factor / table[to].Factor,
            (table[from].Offset - table[to].Offset) / table[to].Factor};
}

UnitMap PressureMap(int from, int to) {
    return UnitMapOf(from, to, PressureUnits(), 11);
}
UnitMap TemperatureMap(int from, int to) {
    return UnitMapOf(from, to, TemperatureUnits(), 1);
}
UnitMap FlowMap(int from, int to) {
    return UnitMapOf(from, to, FlowUnits(), 15);
}
UnitMap FluxMap(int from, int to) {
    return UnitMapOf(from, to, FluxUnits(), 3);
}

double ConvertPressure(double value, int from, int to) {
    return ConvertUnit(value, from, to, PressureUnits(), 11);
}
double ConvertTemperature(double value, int from, int to) {
    return ConvertUnit(value, from, to, TemperatureUnits(), 1);
}
double ConvertFlow(double value, int from, int to) {
    return ConvertUnit(value, from, to, FlowUnits(), 15);
}
double ConvertFlux(double value, int from, int to) {
    return ConvertUnit(value, from, to, FluxUnits(), 3);
}
double FlowToSI(double value, int from) {
    return ConvertFlow(value, from, 12);
}
double FluxFromSI(double value, int to) {
    return ConvertFlux(value, 3, to);
}
double TemperatureToC(double value, int from) {
    return ConvertTemperature(value, from, 1);
}
double PressureFromAtm(double value, int to) {
    return ConvertPressure(value, 2, to);
}

QString GetUnitName(int kind, int index) {
    struct Table {
        const UnitRecord* units;
        int count;
    };
    const Table tables[] = {{PressureUnits(), PressureUnitCount}, {TemperatureUnits(), TemperatureUnitCount},
                            {FlowUnits(), FlowUnitCount},         {FluxUnits(), FluxUnitCount},
                            {MassUnits(), MassUnitCount},         {VolumeUnits(), VolumeUnitCount}};
    if (kind < 1 || kind > 6) return QString();
    const UnitRecord* table = tables[kind - 1].units;
    const int count = tables[kind - 1].count;
    if (index < 0 || index >= count) throw DbError(SubscriptOutOfRange, "Subscript out of range");
    QString name = table[index].Name;
    while (name.endsWith(' '))
        name.chop(1);
    return name;
}

} // namespace hv
