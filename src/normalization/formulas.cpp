#include "normalization/formulas.h"

#include <QString>

#include "normalization/calcerror.h"

namespace hv {

namespace calcerr {
void raise(long number) {
    switch (number) {
    case InvalidCall:
        throw CalcError(number, QStringLiteral("Invalid procedure call or argument"));
    case Overflow:
        throw CalcError(number, QStringLiteral("Overflow"));
    case SubscriptOutOfRange:
        throw CalcError(number, QStringLiteral("Subscript out of range"));
    case DivisionByZero:
        throw CalcError(number, QStringLiteral("Division by zero"));
    default:
        throw CalcError(number, QStringLiteral("Application-defined or object-defined error"));
    }
}
} // namespace calcerr

namespace {

// 1.234e-6, formed as the viscosity correlation always formed it.
inline double viscosityFactor() {
    return std::pow(10.0, -6.0) * 1.234;
}

inline double kelvin(double t) {
    return t + 273.15;
}

} // namespace

double ConductivityToTDS(double x) {
    if (x <= 0) return 0;
    if (x <= 7630) {
        const double d = -90.475562243 - calcerr::ln(x);
        return 7.7013840097e-20 * calcerr::exp(d * d / 188.88442227);
    }
    const double d = -50.645805186 - calcerr::ln(x);
    return 8.0090966e-11 * calcerr::exp(d * d / 112.483950289);
}

double OsmoticPressure(double t, double c) {
    const double ionic = 1.0 * (2 * c / 1000 / 58.44 / 2 * 1000) * (1.0 / 2) * 4 / 2000;
    const double root = calcerr::sqrt(ionic);
    const double phi = calcerr::pow(calcerr::pow(10.0, -0.5 * root / (1 + root)), 0.14);
    return calcerr::finite(((phi * kelvin(t) * 0.082054 / 1000 * c / 1000) * 2 / 58.44 / 2 * 1000) * 2);
}

double SolutionDensity(double c, double t) {
    if (c <= 0) return 1.0;
    const double tc = 647.27 - (t + 273.16);
    const double cube = calcerr::pow(tc, 1.0 / 3);
    const double v =
        calcerr::div(3.1975 - 0.315154 * cube - 0.001203374 * tc + 7.48908e-13 * calcerr::pow(tc, 4),
                     1 + 0.1342489 * cube - 0.003946263 * tc);
    return calcerr::finite((c * 0.00714 / 10000 + 1) * calcerr::div(1000, v));
}

const ElementSpecRecord& ElementOfType(const std::vector<ElementSpecRecord>& table, int type) {
    if (type < 0 || size_t(type) >= table.size()) calcerr::raise(calcerr::SubscriptOutOfRange);
    return table[size_t(type)];
}

double WaterViscosity(double t) {
    return viscosityFactor() * calcerr::exp(calcerr::div(1965, kelvin(t)));
}

double SolutionViscosity(double t, double c) {
    const double rho = SolutionDensity(c, t);
    return viscosityFactor() * calcerr::exp(calcerr::div(1965, kelvin(t)) + 0.00212 * c / 1000 * rho / 1000);
}

double FlowTCF(double t, const ElementSpecRecord& e) {
    const double mu = WaterViscosity(t);
    const double mu25 = WaterViscosity(25);
    const double a = t <= 25 ? e.TALow : e.TAHigh;
    if (e.Custom) return calcerr::exp((1 / 298.15 - calcerr::div(1, kelvin(t))) * a);
    return calcerr::div(calcerr::exp((t - 25) * a) * mu25, mu);
}

double SaltPassageTCF(double t, const ElementSpecRecord& e) {
    const double b = t <= 25 ? e.TBLow : e.TBHigh;
    if (e.Custom) return calcerr::exp((1 / 298.15 - calcerr::div(1, kelvin(t))) * b);
    return calcerr::exp((t - 25) * b);
}

double NormalizeDP(double dp, double qA, double qR, const ElementSpecRecord& e, double tA, double tR,
                   double cA, double cR) {
    const double k = calcerr::div(SolutionViscosity(tR, cR), SolutionViscosity(tA, cA));
    if (qA <= 0) return dp;
    const double n = !e.Custom ? e.DP3 + e.DP4 : (e.DP3 > 0 ? e.DP3 : 1.4);
    return calcerr::finite(dp * calcerr::pow(calcerr::div(qR, qA), n) * k);
}

} // namespace hv
