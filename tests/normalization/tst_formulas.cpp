#include <QtTest>

#include "support/fixtures.h"
#include "support/testenv.h"
#include <cmath>

#include "normalization/formulas.h"

using namespace hv;

namespace {

using test::errorOf;

bool near(double a, double b, double rel = 1e-12) {
    return std::fabs(a - b) <= rel * std::max(1.0, std::fabs(b));
}

ElementSpecRecord catalogue() {
    return test::element(1, {0.010, 0.020, 0.030, 0.050, 1.45, 0.05});
}

ElementSpecRecord custom(double dp3) {
    return test::element(2, {2600, 3000, 2800, 3400, dp3, 7 /* not used for a custom element */}, true);
}

// The formulas as the engineering notes give them, written out here.
double tdsLow(double x) {
    return 7.7013840097e-20 * std::exp(std::pow(-90.475562243 - std::log(x), 2) / 188.88442227);
}
double tdsHigh(double x) {
    return 8.0090966e-11 * std::exp(std::pow(-50.645805186 - std::log(x), 2) / 112.483950289);
}
double mu(double t) {
    return 1.234e-6 * std::exp(1965 / (t + 273.15));
}
double density(double c, double t) {
    const double k = 647.27 - (t + 273.16);
    const double v = (3.1975 - 0.315154 * std::cbrt(k) - 0.001203374 * k + 7.48908e-13 * std::pow(k, 4)) /
                     (1 + 0.1342489 * std::cbrt(k) - 0.003946263 * k);
    return (c * 0.00714 / 10000 + 1) * (1000 / v);
}
double muSolution(double t, double c) {
    return 1.234e-6 * std::exp(1965 / (t + 273.15) + 0.00212 * c / 1000 * density(c, t) / 1000);
}

} // namespace

class TestFormulas : public QObject {
    Q_OBJECT
private slots:
    void conductivityToTds() {
        QCOMPARE(ConductivityToTDS(0), 0.0);
        QCOMPARE(ConductivityToTDS(-12.5), 0.0);
        QVERIFY(std::fabs(ConductivityToTDS(1000) - 494) < 5); // "about 494 ppm"
        QVERIFY(near(ConductivityToTDS(1000), tdsLow(1000)));
        // The two ranges meet with a step: 7630 is still the low range.
        QVERIFY(near(ConductivityToTDS(7630), tdsLow(7630)));
        QVERIFY(near(ConductivityToTDS(7630.0001), tdsHigh(7630.0001)));
        QVERIFY(std::fabs(tdsLow(7630) - tdsHigh(7630)) > 1);
        QVERIFY(near(ConductivityToTDS(45000), tdsHigh(45000)));
    }

    void osmoticPressure() {
        QCOMPARE(OsmoticPressure(25, 0), 0.0);
        const double c = 1000, t = 25;
        const double ionic = c / 58440;
        const double phi = std::pow(std::pow(10, -0.5 * std::sqrt(ionic) / (1 + std::sqrt(ionic))), 0.14);
        QVERIFY(near(OsmoticPressure(t, c), 2 * phi * 0.082054 * (t + 273.15) * c / 58.44 / 1000));
        QCOMPARE(errorOf([] { OsmoticPressure(25, -1); }), 5L);
    }

    void solutionDensity() {
        QCOMPARE(SolutionDensity(0, 25), 1.0);
        QCOMPARE(SolutionDensity(-3, 25), 1.0);
        QVERIFY(std::fabs(SolutionDensity(1, 25) - 998) < 2); // "about 998"
        QVERIFY(near(SolutionDensity(35000, 18), density(35000, 18), 1e-10));
    }

    void temperatureFactorsAt25() {
        for (const ElementSpecRecord& e : {catalogue(), custom(1.5)}) {
            QCOMPARE(FlowTCF(25, e), 1.0);
            QCOMPARE(SaltPassageTCF(25, e), 1.0);
        }
    }

    void temperatureFactorsJustAbove25() {
        const double t = 25.0001;
        const ElementSpecRecord c = catalogue();
        QVERIFY(near(FlowTCF(t, c), std::exp((t - 25) * c.TAHigh) * mu(25) / mu(t)));
        QVERIFY(!near(FlowTCF(t, c), std::exp((t - 25) * c.TALow) * mu(25) / mu(t), 1e-15));
        QVERIFY(near(SaltPassageTCF(t, c), std::exp((t - 25) * c.TBHigh)));
        const ElementSpecRecord u = custom(1.5);
        QVERIFY(near(FlowTCF(t, u), std::exp((1 / 298.15 - 1 / (t + 273.15)) * u.TAHigh)));
        QVERIFY(near(SaltPassageTCF(t, u), std::exp((1 / 298.15 - 1 / (t + 273.15)) * u.TBHigh)));
        // Below 25 the low coefficients, and the viscosity ratio only for catalogue elements.
        QVERIFY(near(FlowTCF(12, c), std::exp((12 - 25) * c.TALow) * mu(25) / mu(12)));
        QVERIFY(near(FlowTCF(12, u), std::exp((1 / 298.15 - 1 / (12 + 273.15)) * u.TALow)));
        QVERIFY(near(SaltPassageTCF(12, c), std::exp((12 - 25) * c.TBLow)));
    }

    void normalizeDp() {
        const ElementSpecRecord c = catalogue();
        // No actual flow: the drop comes back as it is, without a viscosity correction.
        QCOMPARE(NormalizeDP(1.7, 0, 50, c, 10, 25, 900, 500), 1.7);
        QCOMPARE(NormalizeDP(1.7, -3, 50, c, 10, 25, 900, 500), 1.7);
        // The same state on both sides.
        QVERIFY(near(NormalizeDP(1.7, 40, 40, c, 18, 18, 700, 700), 1.7));
        // Flow exponent: DP3 + DP4 for a catalogue element; a custom one DP3, or 1.4.
        const double k = muSolution(25, 500) / muSolution(10, 900);
        QVERIFY(near(NormalizeDP(2, 40, 50, c, 10, 25, 900, 500), 2 * std::pow(50.0 / 40, 1.5) * k));
        QVERIFY(
            near(NormalizeDP(2, 40, 50, custom(1.6), 10, 25, 900, 500), 2 * std::pow(50.0 / 40, 1.6) * k));
        QVERIFY(near(NormalizeDP(2, 40, 50, custom(0), 10, 25, 900, 500), 2 * std::pow(50.0 / 40, 1.4) * k));
        QVERIFY(near(NormalizeDP(2, 40, 50, custom(-1), 10, 25, 900, 500), 2 * std::pow(50.0 / 40, 1.4) * k));
    }

    void failures() {
        const std::vector<ElementSpecRecord> table{catalogue(), custom(1.5)};
        QCOMPARE(errorOf([&] { FlowTCF(20, 2, table); }), 9L);
        QCOMPARE(errorOf([&] { SaltPassageTCF(20, -1, table); }), 9L);
        QCOMPARE(errorOf([&] { FlowTCF(-273.15, 0, table); }), 11L);
        QCOMPARE(errorOf([&] { FlowTCF(-273.15, 1, table); }), 11L);
        // A negative reference flow ratio cannot be raised to a fractional power.
        QCOMPARE(errorOf([&] { NormalizeDP(1, 10, -10, 0, table, 20, 20, 100, 100); }), 5L);
        QVERIFY(near(FlowTCF(20, 1, table), FlowTCF(20, custom(1.5))));
    }
};

QTEST_GUILESS_MAIN(TestFormulas)
#include "tst_formulas.moc"
