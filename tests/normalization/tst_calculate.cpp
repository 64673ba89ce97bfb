#include <QtTest>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "core/currentproject.h"
#include "normalization/calculate.h"
#include "normalization/intake.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

// Element types 0 to 4: three catalogue elements (type 2 is the one the reference plant
// uses) and two custom ones, with and without their own flow exponent.
std::vector<ElementSpecRecord> elementTable() {
    return {test::element(1, {0.011, 0.010, 0.034, 0.032, 1.45, 0.05}, false, 37.2),
            test::element(2, {0.009, 0.008, 0.032, 0.030, 1.40, 0.05}, false, 37.2),
            test::element(3, {0.010, 0.009, 0.030, 0.028, 1.45, 0.05}, false, 37.2),
            test::element(4, {2700, 2900, 3000, 3100, 0, 0}, true, 37.2),
            test::element(5, {2500, 2600, 2800, 2900, 1.6, 0.2}, true, 37.2),
            {}};
}

// ---- The normalization written out from the engineering notes, for m3/hr, deg C, bar
// and l/m2/hr, independently of the program's code.

double tds(double x) {
    if (x <= 0) return 0;
    if (x <= 7630)
        return 7.7013840097e-20 * std::exp(std::pow(-90.475562243 - std::log(x), 2) / 188.88442227);
    return 8.0090966e-11 * std::exp(std::pow(-50.645805186 - std::log(x), 2) / 112.483950289);
}
double osmoticBar(double t, double c) {
    const double ionic = c / 58440;
    const double phi = std::pow(std::pow(10, -0.5 * std::sqrt(ionic) / (1 + std::sqrt(ionic))), 0.14);
    return 2 * phi * 0.082054 * (t + 273.15) * c / 58.44 / 1000 * 14.696 / 14.5038;
}
double density(double c, double t) {
    if (c <= 0) return 1;
    const double k = 647.27 - (t + 273.16);
    const double v = (3.1975 - 0.315154 * std::cbrt(k) - 0.001203374 * k + 7.48908e-13 * std::pow(k, 4)) /
                     (1 + 0.1342489 * std::cbrt(k) - 0.003946263 * k);
    return (c * 0.00714 / 10000 + 1) * (1000 / v);
}
double mu(double t) {
    return 1.234e-6 * std::exp(1965 / (t + 273.15));
}
double muSolution(double t, double c) {
    return 1.234e-6 * std::exp(1965 / (t + 273.15) + 0.00212 * c / 1000 * density(c, t) / 1000);
}
double flowTcf(double t, const ElementSpecRecord& e) {
    const double a = t <= 25 ? e.TALow : e.TAHigh;
    return e.Custom ? std::exp((1 / 298.15 - 1 / (t + 273.15)) * a) : std::exp((t - 25) * a) * mu(25) / mu(t);
}
double saltTcf(double t, const ElementSpecRecord& e) {
    const double b = t <= 25 ? e.TBLow : e.TBHigh;
    return e.Custom ? std::exp((1 / 298.15 - 1 / (t + 273.15)) * b) : std::exp((t - 25) * b);
}
double dpNorm(double dp, double qa, double qr, const ElementSpecRecord& e, double ta, double tr, double ca,
              double cr) {
    if (qa <= 0) return dp;
    const double n = e.Custom ? (e.DP3 > 0 ? e.DP3 : 1.4) : e.DP3 + e.DP4;
    return dp * std::pow(qr / qa, n) * muSolution(tr, cr) / muSolution(ta, ca);
}
double logMean(double a, double b) {
    return (a - b) / std::log(a / b);
}
constexpr double M3hrToSI = 35.315 / 60 / 2118.9;
constexpr double SIToLmh = (264.172 / 10.7639 * 3600 * 24) / (264.172 / 1000 / 10.7639 * 24);

double num(const QVariantMap& m, const QString& key) {
    for (auto it = m.begin(); it != m.end(); ++it)
        if (it.key().compare(key, Qt::CaseInsensitive) == 0) return it.value().toDouble();
    return 0;
}

// The stored columns after a normalization of reading `d` against reference row `r`.
QVariantMap expected(const QVariantMap& r, const QVariantMap& d, const std::vector<ElementSpecRecord>& el) {
    auto R = [&](const char* k) { return num(r, k); };
    auto D = [&](const char* k) { return num(d, k); };
    const int nb = int(R("NumBanks"));
    QVariantMap o;
    // Measured side, banks.
    double fp = D("FeedPressure"), cp = D("ConcPressure"), cp1 = D("ConcPressure_1"),
           cp2 = D("ConcPressure_2");
    double fp2 = D("FeedPressure_2"), fp3 = D("FeedPressure_3");
    double pf = D("PermFlow"), pf1 = D("PermFlow_1"), pf2 = D("PermFlow_2"), pf3 = D("Permflow_3");
    double pus1 = D("PermuS_1"), pus2 = D("PermuS_2"), pus3 = D("PermuS_3");
    double pb = D("PermBackPress"), pb2 = D("PermBackPress_2"), pb3 = D("PermbackPress_3");
    const double cf = D("ConcFlow");
    double b1dp = D("B1DP"), b2dp = 0, b3dp = 0, b1rec = D("B1Recovery"), b2rec = 0, b3rec = 0, feed2 = 0,
           feed3 = 0;
    double sysDp = fp - cp;
    if (nb == 1) {
        cp1 = cp;
        pf2 = pf3 = pus2 = pus3 = fp2 = fp3 = pb2 = pb3 = cp2 = 0;
    } else {
        // The banks' feeds come from the feed flow as it is stored after the calculation.
        pf = nb == 2 ? pf1 + pf2 : pf1 + pf2 + pf3;
        const double ffNew = pf + cf;
        b1dp = fp - cp1;
        b1rec = pf1 / ffNew;
        b2rec = pf2 / (ffNew - pf1);
        feed2 = ffNew - pf1;
        if (nb == 2) {
            b2dp = fp2 - cp;
            sysDp = b1dp + b2dp;
            pf3 = pus3 = fp3 = cp2 = pb3 = 0;
        } else {
            b2dp = fp2 - cp2;
            b3dp = fp3 - cp;
            sysDp = b1dp + b2dp + b3dp;
            b3rec = pf3 / (ffNew - pf1 - pf2);
            feed3 = ffNew - pf1 - pf2;
        }
    }
    const double ff = pf + cf;
    const double sysRec = pf / ff;
    if (nb == 1) b1rec = sysRec;
    double af = D("ActualFlux"), af1 = D("ActualFlux_1"), af2 = 0, af3 = 0;
    if (nb == 1 && R("AreaBank") > 0) af = pf * M3hrToSI / R("AreaBank") * SIToLmh;
    if (nb >= 2) {
        double area = R("AreaBank_1") + R("AreaBank_2") + (nb == 3 ? R("AreaBank_3") : 0);
        af = pf * M3hrToSI / area * SIToLmh;
        af1 = pf1 * M3hrToSI / R("AreaBank_1") * SIToLmh;
        af2 = pf2 * M3hrToSI / R("AreaBank_2") * SIToLmh;
        if (nb == 3) af3 = pf3 * M3hrToSI / R("AreaBank_3") * SIToLmh;
    }
    // Concentrations along the feed channel.
    const double feeduS = D("FeeduS"), permuS = D("PermuS");
    const double concuS = (ff * feeduS - pf * permuS) / cf;
    const double Cf = tds(feeduS), Cp = tds(permuS), Cc = (ff * Cf - pf * Cp) / cf, Cm = logMean(Cc, Cf);
    const double rejection = 1 - Cp / Cm;
    double Cp1 = 0, Cp2 = 0, Cp3 = 0, Cc1 = 0, Cc2 = 0, Cm1 = 0, Cm2 = 0, Cm3 = 0;
    if (nb >= 2) {
        Cp1 = tds(pus1);
        Cp2 = tds(pus2);
        Cc1 = (ff * Cf - pf1 * Cp1) / feed2;
        Cm1 = b1rec <= 0 ? Cf : logMean(Cc1, Cf);
        if (nb == 2) {
            Cm2 = logMean(Cc, Cc1);
        } else {
            Cp3 = tds(pus3);
            Cc2 = (ff * Cf - pf1 * Cp1 - pf2 * Cp2) / feed3;
            Cm2 = logMean(Cc2, Cc1);
            Cm3 = logMean(Cc, Cc2);
        }
    }
    const double T = D("Temperature"), Tr = R("FeedTemp");
    const ElementSpecRecord& e0 = el[size_t(R("ElementType"))];
    const ElementSpecRecord& e1 = el[size_t(R("ElementType_1"))];
    const ElementSpecRecord& e2 = el[size_t(R("ElementType_2"))];
    const ElementSpecRecord& e3 = el[size_t(R("ElementType_3"))];
    // Reference side.
    const double rpf = R("PermFlow"), rcf = R("ConcFlow"), rff = rpf + rcf;
    const double rpf1 = R("PermFlow_1"), rpf2 = R("PermFlow_2"), rpf3 = R("Permflow_3");
    const double rfp = R("FeedPressure"), rcp = R("ConcPressure"), rcp1 = R("ConcPressure_1"),
                 rcp2 = R("ConcPressure_2"), rfp2 = R("FeedPressure_2"), rfp3 = R("FeedPressure_3");
    double rdp = rfp - rcp, rdp1 = 0, rdp2 = 0, rdp3 = 0;
    if (nb == 2) {
        rdp1 = rfp - rcp1;
        rdp2 = rfp2 - rcp;
        rdp = rdp1 + rdp2;
    } else if (nb == 3) {
        rdp1 = rfp - rcp1;
        rdp2 = rfp2 - rcp2;
        rdp3 = rfp3 - rcp;
        rdp = rdp1 + rdp2 + rdp3;
    }
    const double rfeed2 = rff - rpf1, rfeed3 = rff - rpf1 - rpf2;
    const double Cfr = tds(R("FeeduS")), Cpr = tds(R("PermuS")), Ccr = (Cfr * rff - Cpr * rpf) / rcf;
    const double Cmr = logMean(Ccr, Cfr);
    double Cp1r = 0, Cp2r = 0, Cp3r = 0, Cc1r = 0, Cc2r = 0, Cm1r = 0, Cm2r = 0, Cm3r = 0;
    if (nb >= 2) {
        Cp1r = tds(R("PermuS_1"));
        Cp2r = tds(R("PermuS_2"));
        Cc1r = (Cfr * rff - Cp1r * rpf1) / rfeed2;
        Cm1r = logMean(Cc1r, Cfr);
        Cm2r = logMean(Ccr, Cc1r);
        if (nb == 3) {
            Cp3r = tds(R("PermuS_3"));
            Cc2r = (Cfr * rff - Cp1r * rpf1 - Cp2r * rpf2) / rfeed3;
            Cm3r = logMean(Ccr, Cc2r);
            Cm2r = logMean(Cc2r, Cc1r);
        }
    }
    // Net driving pressures and the normalized values.
    auto ndpOf = [](double feed, double dp, double back, double cm, double cp, double t) {
        return feed - dp / 2 - back - osmoticBar(t, cm) + osmoticBar(t, cp);
    };
    const double ndp = ndpOf(fp, sysDp, pb, Cm, Cp, T),
                 ndpr = ndpOf(rfp, rdp, R("PermBackPress"), Cmr, Cpr, Tr);
    const double ndp1 = ndpOf(fp, b1dp, pb, Cm1, Cp1, T),
                 ndp1r = ndpOf(rfp, rdp1, R("PermBackPress_1"), Cm1r, Cp1r, Tr);
    const double ndp2 = ndpOf(fp2, b2dp, pb2, Cm2, Cp2, T),
                 ndp2r = ndpOf(rfp2, rdp2, R("PermBackPress_2"), Cm2r, Cp2r, Tr);
    const double ndp3 = ndpOf(fp3, b3dp, pb3, Cm3, Cp3, T),
                 ndp3r = ndpOf(rfp3, rdp3, R("PermbackPress_3"), Cm3r, Cp3r, Tr);
    const double F = flowTcf(T, e0), Fr = flowTcf(Tr, e0), S = saltTcf(T, e0), Sr = saltTcf(Tr, e0);
    double npf = ndpr / ndp * Fr / F * pf;
    const double nflux = npf * M3hrToSI / R("AreaBank") * SIToLmh;
    const double q = (pf / R("NumElementsBank")) / (rpf / R("NumElementsBank"));
    const double nsp = q * (1 - rejection) * (Sr / S) * (Cmr / Cm) * (Cf / Cfr);
    double ndpNorm = dpNorm(sysDp, (ff + cf) / 2, (rff + rcf) / 2, e0, T, Tr, Cm, Cmr);
    double specFlux = af / ndp * (Fr / F), sf1 = specFlux, sf2 = 0, sf3 = 0;
    double npf1 = D("NormalizedPermFlow_1"), npf2 = 0, npf3 = 0, nsp1 = D("NormalizedSaltPassage_1"),
           nsp2 = 0, nsp3 = 0, ndp1n = D("NormalizedDP_1"), ndp2n = 0, ndp3n = 0;
    if (nb >= 2) {
        const double F1 = flowTcf(T, e1), F1r = flowTcf(Tr, e1), F2 = flowTcf(T, e2), F2r = flowTcf(Tr, e2);
        npf1 = ndp1r / ndp1 * F1r / F1 * pf1;
        npf2 = ndp2r / ndp2 * F2r / F2 * pf2;
        const double q1 = (pf1 / R("NumElementsBank_1")) / (rpf1 / R("NumElementsBank_1"));
        const double q2 = (pf2 / R("NumElementsBank_2")) / (rpf2 / R("NumElementsBank_2"));
        nsp1 = q1 * Cp1 / Cm1 * (saltTcf(Tr, e1) / saltTcf(T, e1)) * (Cm1r / Cm1) * (Cf / Cfr);
        nsp2 = q2 * Cp2 / Cm2 * (saltTcf(Tr, e2) / saltTcf(T, e2)) * (Cm2r / Cm2) * (Cc1 / Cc1r);
        ndp1n = dpNorm(b1dp, ((ff - pf1) + ff) / 2, (2 * rff - rpf1) / 2, e1, T, Tr, Cm1, Cm1r);
        const double conc2 = nb == 3 ? ff - pf1 - pf2 : cf, conc2r = nb == 3 ? rcf + rpf3 : rcf;
        ndp2n = dpNorm(b2dp, ((ff - pf1) + conc2) / 2, ((rff - rpf1) + conc2r) / 2, e2, T, Tr, Cm2, Cm2r);
        sf1 = af1 / ndp1 * (F1r / F1);
        sf2 = af2 / ndp2 * (F2r / F2);
        npf = npf1 + npf2;
        ndpNorm = ndp1n + ndp2n;
        if (nb == 3) {
            const double F3 = flowTcf(T, e3), F3r = flowTcf(Tr, e3);
            npf3 = ndp3r / ndp3 * F3r / F3 * pf3;
            const double q3 = (pf3 / R("NumElementsBank_3")) / (rpf3 / R("NumElementsBank_3"));
            nsp3 = q3 * Cp3 / Cm3 * (saltTcf(Tr, e3) / saltTcf(T, e3)) * (Cm3r / Cm3) * (Cc2 / Cc2r);
            ndp3n = dpNorm(b3dp, (feed3 + cf) / 2, (rfeed3 + rcf) / 2, e3, T, Tr, Cm3, Cm3r);
            sf3 = af3 / ndp3 * (F3r / F3);
            npf += npf3;
            ndpNorm += ndp3n;
        }
    }
    o["ActualRejection"] = rejection;
    o["NormalizedPermFlow"] = npf;
    o["NormalizedSaltPassage"] = nsp;
    o["NormalizedDP"] = ndpNorm;
    o["NetTMP"] = ndp;
    o["ActualFlux"] = af;
    o["NormalizedFlux"] = nflux;
    o["NormalizedPermFlow_1"] = npf1;
    o["NormalizedSaltPassage_1"] = nsp1;
    o["NormalizedDP_1"] = ndp1n;
    o["ActualFlux_1"] = af1;
    o["NormalizedPermFlow_2"] = npf2;
    o["NormalizedSaltPassage_2"] = nsp2;
    o["NormalizedDP_2"] = ndp2n;
    o["ActualFlux_2"] = af2;
    o["NormalizedPermFlow_3"] = npf3;
    o["NormalizedSaltPassage_3"] = nsp3;
    o["NormalizedDP_3"] = ndp3n;
    o["ActualFlux_3"] = af3;
    o["B1Recovery"] = b1rec;
    o["B2Recovery"] = b2rec;
    o["B3Recovery"] = b3rec;
    o["B1DP"] = b1dp;
    o["B2DP"] = b2dp;
    o["B3DP"] = b3dp;
    o["ConcPressure_1"] = cp1;
    o["SystemRecovery"] = sysRec;
    o["SystemDP"] = sysDp;
    o["ConcuS"] = concuS;
    o["PermFlow_2"] = pf2;
    o["PermuS_2"] = pus2;
    o["FeedPressure_2"] = fp2;
    o["PermBackPress_2"] = pb2;
    o["Permflow_3"] = pf3;
    o["PermuS_3"] = pus3;
    o["FeedPressure_3"] = fp3;
    o["ConcPressure_2"] = cp2;
    o["PermbackPress_3"] = pb3;
    o["PermFlow"] = pf;
    o["FeedFlow"] = ff;
    o["SpecFlux"] = specFlux;
    o["SpecFlux_1"] = sf1;
    o["SpecFlux_2"] = sf2;
    o["SpecFlux_3"] = sf3;
    return o;
}

bool close(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

// A project database with the reference plant of `banks` banks loaded as the current project.
struct Plant {
    explicit Plant(int banks, const QVariantMap& reference = {}) {
        db = test::makeBlankDatabase(env.path("db.hv3.mdb"));
        p().ProjectDatabasePath = db;
        p().ElementTable = elementTable();
        referenceRow = test::projectInfoRow(banks, reference);
        test::insertProjectInfo(db, banks, reference);
        Database d = Database::open(db);
        LoadProjectSettings(p(), d.select("SELECT * FROM ProjectInfo").first());
        this->banks = banks;
    }
    Program& p() { return env.prog(); }
    qint64 add(const QVariantMap& reading) { return test::insertReading(db, banks, reading); }
    DbRow row(qint64 id) {
        Database d = Database::open(db);
        return d.select("SELECT * FROM Data WHERE ID = ?", {id}).first();
    }
    // Every stored column as expected; the first difference is reported.
    QString differences(qint64 id, const QVariantMap& reading) {
        const QVariantMap want = expected(referenceRow, test::readingRow(banks, reading), p().ElementTable);
        const DbRow got = row(id);
        for (auto it = want.begin(); it != want.end(); ++it)
            if (!close(got.toDouble(it.key()), it.value().toDouble()))
                return QString("%1: %2, expected %3")
                    .arg(it.key())
                    .arg(got.toDouble(it.key()), 0, 'g', 17)
                    .arg(it.value().toDouble(), 0, 'g', 17);
        return {};
    }
    test::TestEnv env;
    QString db;
    QVariantMap referenceRow;
    int banks = 1;
};

QVariantMap operatingValues(int banks) {
    switch (banks) {
    case 1:
        return {{"Temperature", 14.0},  {"FeeduS", 1700.0},     {"PermuS", 35.0},
                {"PermFlow", 55.0},     {"ConcFlow", 21.0},     {"FeedFlow", 76.0},
                {"FeedPressure", 12.6}, {"ConcPressure", 11.0}, {"PermBackPress", 0.55}};
    case 2:
        return {{"Temperature", 27.5},    {"FeeduS", 1800.0},     {"PermuS", 33.0},
                {"PermFlow", 50.0},       {"PermFlow_1", 36.0},   {"PermFlow_2", 19.0},
                {"PermuS_1", 25.0},       {"PermuS_2", 50.0},     {"ConcFlow", 22.0},
                {"FeedFlow", 77.5},       {"FeedPressure", 12.5}, {"ConcPressure_1", 11.2},
                {"FeedPressure_2", 11.0}, {"ConcPressure", 9.9},  {"PermBackPress", 0.6},
                {"PermBackPress_2", 0.4}};
    default:
        return {{"Temperature", 17.0},    {"FeeduS", 1650.0},        {"PermuS", 34.0},
                {"PermFlow", 55.0},       {"PermFlow_1", 33.0},      {"PermFlow_2", 15.0},
                {"Permflow_3", 7.5},      {"PermuS_1", 24.0},        {"PermuS_2", 44.0},
                {"PermuS_3", 80.0},       {"ConcFlow", 21.0},        {"FeedFlow", 76.0},
                {"FeedPressure", 13.4},   {"ConcPressure_1", 12.3},  {"FeedPressure_2", 12.1},
                {"ConcPressure_2", 11.4}, {"FeedPressure_3", 11.2},  {"ConcPressure", 10.4},
                {"PermBackPress", 0.6},   {"PermBackPress_2", 0.45}, {"PermbackPress_3", 0.3}};
    }
}

void addLocales() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("point") << "en_US";
    QTest::newRow("comma") << "de_DE";
}

} // namespace

class TestCalculate : public QObject {
    Q_OBJECT
private slots:
    // Elapsed hours are rounded in arithmetic; the stored value must be what the text
    // rounding gave, bit for bit, sign of zero included.
    void elapsedHoursRoundLikeTheText() {
        auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        std::vector<double> values{0.0,          -0.0,  1e-5,         -1e-5,  0.004999, 0.005,
                                   0.015,        1.005, 2.675,        1e9,    2.5e12,   1234567890123.125,
                                   1e15 + 0.375, 1e17,  99999999.995, qInf(), -qInf()};
        for (int k = -300000; k <= 300000; ++k) {
            const double half = k / 1000.0; // every third-decimal digit, the halves among them
            values.insert(values.end(), {half, std::nextafter(half, 1e300), std::nextafter(half, -1e300)});
        }
        for (qint64 s = 0; s < 400000; s += 7) // readings taken at whole seconds
            values.push_back((double(s / 86400) + (s % 86400) * 1000 / 86400000.0) * 24 + 3.5);
        for (int k = 1; k < 200000; k += 3) // exact binary fractions, ties at the 15th digit
            values.insert(values.end(), {k / 128.0 + 1e6, k / 1024.0, 1e8 + k / 128.0});
        std::mt19937_64 rng(7);
        for (int i = 0; i < 300000; ++i) {
            const double m = std::uniform_real_distribution<double>(-1, 1)(rng);
            values.push_back(m * std::pow(10.0, std::uniform_int_distribution<int>(-6, 10)(rng)));
        }
        int checked = 0;
        for (double v : values) {
            const double text = RoundedElapsedHoursByText(v), number = RoundedElapsedHours(v);
            if (!same(text, number))
                QFAIL(qPrintable(QString("%1: text %2, number %3")
                                     .arg(v, 0, 'g', 17)
                                     .arg(text, 0, 'g', 17)
                                     .arg(number, 0, 'g', 17)));
            ++checked;
        }
        QVERIFY(checked > 1000000);
        QCOMPARE(RoundedElapsedHours(1.005), 1.01); // the 15-digit decimal, not the binary value
        QCOMPARE(RoundedElapsedHours(-2.675), -2.68);
    }

    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // The intake's refusal shows the date as the computer writes dates, seconds only where
    // the reading has them.
    void alreadyStoredDateInTheComputersForm_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("said");
        QTest::newRow("English (UK)") << "en_GB" << QTime(8, 0) << "16/11/2026 08:00";
        QTest::newRow("German") << "de_DE" << QTime(8, 0) << "16.11.2026 08:00";
        QTest::newRow("German, seconds") << "de_DE" << QTime(8, 0, 30) << "16.11.2026 08:00:30";
    }
    void alreadyStoredDateInTheComputersForm() {
        QFETCH(QString, locale);
        QFETCH(QTime, time);
        QFETCH(QString, said);
        QLocale::setDefault(QLocale(locale));
        ProjectInfoRecord cp;
        cp.ProjectID = "P1";
        cp.TrainNumber = 2;
        QCOMPARE(AlreadyStoredText(cp, QDateTime(QDate(2026, 11, 16), time)),
                 "A reading dated " + said + " is already stored for P1 train 2.");
    }

    // One reading per train and date whatever form another program stored the date in: the
    // intake stores no second reading at that instant, and names a stored date the rule cannot
    // read rather than store beside it. The migration and the record editor ask the same rule,
    // and the SQL shape check agrees with the written one.
    void sameReadingDate_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("given");
        QTest::addColumn<int>("same"); // 1 the same date, 0 another, -1 the stored text is named
        const auto row = [](const char* name, const char* stored, const char* given, int same) {
            QTest::newRow(name) << stored << given << same;
        };
        row("the stored form", "2010-01-01 00:05:00", "2010-01-01 00:05:00", 1);
        row("without seconds", "2010-01-01 00:05", "2010-01-01 00:05:00", 1);
        row("T form", "2010-01-01T00:05:00", "2010-01-01 00:05:00", 1);
        row("T form without seconds", "2010-01-01T00:05", "2010-01-01 00:05:00", 1);
        row("the day alone", "2010-01-01", "2010-01-01 00:00:00", 1);
        row("a fraction of zeros", "2010-01-01 00:05:00.000", "2010-01-01 00:05:00", 1);
        row("slashes", "2010/01/01 00:05:00", "2010-01-01 00:05:00", 1);
        row("a one-digit hour", "2010-01-01 1:05:00", "2010-01-01 01:05:00", 1);
        row("blanks around", " 2010-01-01 00:05:00 ", "2010-01-01 00:05:00", 1);
        row("given in another spelling", "2010-01-01 00:05:00", "2010/01/01 0:05:00.0", 1);
        row("another second", "2010-01-01 00:05", "2010-01-01 00:05:01", 0);
        row("another minute", "2010-01-01T00:05:00", "2010-01-01 00:06:00", 0);
        row("the day alone, not midnight", "2010-01-01", "2010-01-01 00:00:01", 0);
        row("slashes, another hour", "2010/01/01 1:05:00", "2010-01-01 11:05:00", 0);
        row("a fraction not zero", "2010-01-01 00:05:00.500", "2010-01-01 00:05:00", -1);
        row("the day first", "01/10/2010 00:05", "2010-10-01 00:05:00", -1);
        row("no such day", "2010-02-30 00:05", "2010-03-02 00:05:00", -1);
        row("mixed separators", "2010-01/01 00:05:00", "2010-01-01 00:05:00", -1);
        row("a three-digit hour", "2010-01-01 100:05:00", "2010-01-01 00:05:00", -1);
    }
    void sameReadingDate() {
        QFETCH(QString, stored);
        QFETCH(QString, given);
        QFETCH(int, same);
        Plant plant(1);
        plant.add({{"TheDate", stored}});
        const auto count = [&] {
            return Database::open(plant.db).scalar("SELECT COUNT(*) FROM Data").toInt();
        };
        QCOMPARE(
            IsStoredDateText(stored),
            Database::open(plant.db).scalar("SELECT ? " + StoredDateShapeCondition(""), {stored}).toBool());
        ReadingIntake intake(plant.p(), plant.db, plant.p().CurrentProject, {});
        const auto add = [&] {
            return intake.add(
                given, [](SqliteStatement&, int) {}, true);
        };
        if (same < 0) {
            QVERIFY(!ReadingDateKey(stored));
            for (const auto& road : std::initializer_list<std::function<void()>>{
                     [&] { intake.isStoredAt(given); }, [&] { add(); }}) {
                QString said;
                try {
                    road();
                } catch (const DbError& e) {
                    said = e.description();
                }
                QVERIFY2(said.startsWith("A stored reading of P1 train 1 holds \"" + stored +
                                         "\", which is not a date."),
                         qPrintable(said));
            }
            QCOMPARE(count(), 1);
            return;
        }
        QCOMPARE(ReadingDateKey(stored) == ReadingDateKey(given), bool(same));
        QCOMPARE(intake.isStoredAt(given), bool(same));
        QCOMPARE(add(), same ? ReadingIntake::Outcome::AlreadyStored : ReadingIntake::Outcome::Raw);
        intake.commit();
        QCOMPARE(count(), same ? 1 : 2);
        // A new reading is stored in the stored form.
        if (!same)
            QCOMPARE(Database::open(plant.db).scalar("SELECT TheDate FROM Data ORDER BY ID DESC").toString(),
                     StoredDateText(*ReadingDateKey(given)));
    }

    void referenceStateNormalizesToItself_data() {
        QTest::addColumn<int>("banks");
        QTest::newRow("one bank") << 1;
        QTest::newRow("two banks") << 2;
        QTest::newRow("three banks") << 3;
    }
    void referenceStateNormalizesToItself() {
        QFETCH(int, banks);
        Plant plant(banks);
        const qint64 id = plant.add({});
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        const DbRow r = plant.row(id);
        QVERIFY(close(r.toDouble("NormalizedPermFlow"), r.toDouble("PermFlow")));
        QVERIFY(close(r.toDouble("NormalizedDP"), r.toDouble("SystemDP")));
        QVERIFY(close(r.toDouble("NormalizedSaltPassage"), 1 - r.toDouble("ActualRejection")));
        QVERIFY(close(r.toDouble("NormalizedFlux"), r.toDouble("ActualFlux")));
        for (int b = 1; b <= banks && banks > 1; ++b) {
            const QString n = QString::number(b);
            QVERIFY(close(r.toDouble("NormalizedPermFlow_" + n),
                          r.toDouble(b == 3 ? "Permflow_3" : "PermFlow_" + n)));
            QVERIFY(close(r.toDouble("NormalizedDP_" + n), r.toDouble("B" + n + "DP")));
        }
        QCOMPARE(plant.p().LastNormalizedPermFlow, r.toDouble("NormalizedPermFlow"));
        QCOMPARE(plant.p().LastNormalizedSaltPassage, r.toDouble("NormalizedSaltPassage"));
        QCOMPARE(plant.p().LastNormalizedDP, r.toDouble("NormalizedDP"));
        QCOMPARE(plant.env.prompts.verify(), QString());
    }

    void operatingReading_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<int>("element");
        QTest::addColumn<QString>("locale");
        for (const char* locale : {"en_US", "de_DE"}) {
            for (int banks = 1; banks <= 3; ++banks) {
                QTest::addRow("%d bank(s), catalogue element, %s", banks, locale) << banks << 2 << locale;
                QTest::addRow("%d bank(s), custom element, %s", banks, locale) << banks << 3 << locale;
            }
            QTest::addRow("3 banks, custom element with its own exponent, %s", locale) << 3 << 4 << locale;
        }
    }
    void operatingReading() {
        QFETCH(int, banks);
        QFETCH(int, element);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        // Each bank a different element, the system the chosen one.
        Plant plant(banks, {{"ElementType", element},
                            {"ElementType_1", element},
                            {"ElementType_2", 0},
                            {"ElementType_3", element == 2 ? 1 : 4}});
        const QVariantMap reading = operatingValues(banks);
        const qint64 id = plant.add(reading);
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        QCOMPARE(plant.differences(id, reading), QString());
        QCOMPARE(plant.env.prompts.verify(), QString());
    }

    void oneBankKeepsBankOneColumns() {
        Plant plant(1);
        const qint64 id = plant.add({{"PermFlow_1", 99.0},
                                     {"PermuS_1", 98.0},
                                     {"B1DP", 7.7},
                                     {"NormalizedPermFlow_1", 3.3},
                                     {"NormalizedSaltPassage_1", 0.4},
                                     {"NormalizedDP_1", 1.1},
                                     {"ActualFlux_1", 12.5},
                                     {"PermFlow_2", 5.0},
                                     {"B2DP", 2.0},
                                     {"B3Recovery", 0.3},
                                     {"Permflow_3", 4.0}});
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        const DbRow r = plant.row(id);
        QCOMPARE(r.toDouble("PermFlow_1"), 99.0);
        QCOMPARE(r.toDouble("PermuS_1"), 98.0);
        QCOMPARE(r.toDouble("B1DP"), 7.7);
        QCOMPARE(r.toDouble("NormalizedPermFlow_1"), 3.3);
        QCOMPARE(r.toDouble("NormalizedDP_1"), 1.1);
        // A stored bank-1 flux is already in the project's unit: it is not converted again.
        QCOMPARE(r.toDouble("ActualFlux_1"), 12.5);
        QCOMPARE(r.toDouble("PermFlow_2"), 0.0);
        QCOMPARE(r.toDouble("B2DP"), 0.0);
        QCOMPARE(r.toDouble("B3Recovery"), 0.0);
        QCOMPARE(r.toDouble("Permflow_3"), 0.0);
        QCOMPARE(r.toDouble("ConcPressure_1"), r.toDouble("ConcPressure"));
        QCOMPARE(r.toDouble("B1Recovery"), r.toDouble("SystemRecovery"));
        QCOMPARE(r.toDouble("SpecFlux_1"), r.toDouble("SpecFlux"));
        // The same reading again leaves the bank-1 flux where it was.
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        QCOMPARE(plant.row(id).toDouble("ActualFlux_1"), 12.5);
    }

    void bankBookkeeping() {
        Plant plant(2);
        // The system flows are rebuilt from the banks, and the bank recoveries divide by the
        // rebuilt feed flow, not the stored one: a second calculation reads it back.
        const qint64 id = plant.add({{"FeedFlow", 100.0},
                                     {"PermFlow", 1.0},
                                     {"PermFlow_1", 40.0},
                                     {"PermFlow_2", 20.0},
                                     {"ConcFlow", 25.0},
                                     {"Permflow_3", 3.0},
                                     {"FeedPressure_3", 9.0},
                                     {"NormalizedDP_3", 4.0}});
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        const DbRow r = plant.row(id);
        QCOMPARE(r.toDouble("PermFlow"), 60.0);
        QCOMPARE(r.toDouble("FeedFlow"), 85.0);
        QVERIFY(close(r.toDouble("B1Recovery"), 40.0 / 85));
        QVERIFY(close(r.toDouble("B2Recovery"), 20.0 / 45));
        QVERIFY(close(r.toDouble("SystemRecovery"), 60.0 / 85));
        QCOMPARE(r.toDouble("Permflow_3"), 0.0);
        QCOMPARE(r.toDouble("FeedPressure_3"), 0.0);
        QCOMPARE(r.toDouble("NormalizedDP_3"), 0.0);
        QCOMPARE(r.toDouble("SpecFlux_3"), 0.0);
        // The reference side in memory, as every later reader of the record sees it.
        const ProjectInfoRecord& cp = plant.p().CurrentProject;
        QCOMPARE(cp.FeedFlow, cp.PermFlow + cp.ConcFlow);
        QVERIFY(close(cp.OverallRecovery, cp.PermFlow / cp.FeedFlow));
        QVERIFY(close(cp.DeltaPress, cp.FeedPressure - cp.ConcPressure));
        QVERIFY(close(cp.DeltaPress_1, cp.FeedPressure - cp.ConcPressure_1));
        QVERIFY(close(cp.DeltaPress_2, cp.FeedPressure_2 - cp.ConcPressure));
    }

    void projectUnitsDoNotChangeTheResult() {
        // The same plant and reading in gpm, deg F, psi and gfd.
        const double gpm = 0.588583333333333 / 0.13368, psi = 14.5038, gfd = 0.589017735;
        Plant si(1);
        const QVariantMap reading = operatingValues(1);
        const qint64 a = si.add(reading);
        QVERIFY(CalculateDataRecord(si.p(), QDateTime(), qint32(a)));

        const QVariantMap ref = test::projectInfoRow(1);
        QVariantMap us{{"unitFlow", 4}, {"unitTemp", 0}, {"unitPress", 0}, {"unitFlux", 0}};
        for (const char* k : {"FeedFlow", "ConcFlow", "PermFlow"})
            us[k] = ref[k].toDouble() * gpm;
        for (const char* k : {"FeedPressure", "ConcPressure", "ConcPressure_1", "PermBackPress"})
            us[k] = ref[k].toDouble() * psi;
        us["FeedTemp"] = ref["FeedTemp"].toDouble() * 1.8 + 32;
        Plant plant(1, us);
        QVariantMap usReading = reading;
        for (const char* k : {"FeedFlow", "ConcFlow", "PermFlow"})
            usReading[k] = reading[k].toDouble() * gpm;
        for (const char* k : {"FeedPressure", "ConcPressure", "PermBackPress"})
            usReading[k] = reading[k].toDouble() * psi;
        usReading["Temperature"] = reading["Temperature"].toDouble() * 1.8 + 32;
        const qint64 b = plant.add(usReading);
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(b)));

        const DbRow x = si.row(a), y = plant.row(b);
        auto same = [](double u, double v) { return std::fabs(u - v) <= 1e-6 * std::max(1.0, std::fabs(v)); };
        QVERIFY(same(y.toDouble("NormalizedPermFlow"), x.toDouble("NormalizedPermFlow") * gpm));
        QVERIFY(same(y.toDouble("NormalizedDP"), x.toDouble("NormalizedDP") * psi));
        QVERIFY(same(y.toDouble("NetTMP"), x.toDouble("NetTMP") * psi));
        QVERIFY(same(y.toDouble("NormalizedSaltPassage"), x.toDouble("NormalizedSaltPassage")));
        QVERIFY(same(y.toDouble("ActualFlux"), x.toDouble("ActualFlux") * gfd));
        QVERIFY(same(y.toDouble("NormalizedFlux"), x.toDouble("NormalizedFlux") * gfd));
        QVERIFY(same(y.toDouble("SpecFlux"), x.toDouble("SpecFlux") * gfd / psi));
    }

    void rowChosenByDate() {
        Plant plant(1);
        const QDateTime when(QDate(2020, 3, 1), QTime(8, 15, 0));
        const QString text = "2020-03-01 08:15:00";
        const qint64 first = plant.add({{"TheDate", text}});
        const qint64 second = plant.add({{"TheDate", text}});
        const qint64 otherTrain = plant.add({{"TheDate", text}, {"TrainNumber", 2}});
        const qint64 nextSecond = plant.add({{"TheDate", "2020-03-01 08:15:01"}});
        plant.p().CurrentProject.ProjectID = "p1"; // project IDs compare regardless of case
        QVERIFY(CalculateDataRecord(plant.p(), when, 0));
        QVERIFY(plant.row(second).toDouble("NormalizedPermFlow") > 0);
        QCOMPARE(plant.row(first).toDouble("NormalizedPermFlow"), 0.0);
        QCOMPARE(plant.row(otherTrain).toDouble("NormalizedPermFlow"), 0.0);
        QCOMPARE(plant.row(nextSecond).toDouble("NormalizedPermFlow"), 0.0);
        // An ID other than 0 takes that row whatever the date says.
        QVERIFY(CalculateDataRecord(plant.p(), when, qint32(first)));
        QVERIFY(plant.row(first).toDouble("NormalizedPermFlow") > 0);
    }

    void elapsedHours_data() { addLocales(); }
    void elapsedHours() {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        Plant plant(1, {{"ElapsedTimeRef", 100.5}});
        // 25 h 7 min 30 s after the reference date: 25.125 h, stored with two decimals.
        const qint64 id = plant.add({{"TheDate", "2020-01-02 01:07:30"}, {"ElapsedTimeHrs", 0.0}});
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        QCOMPARE(plant.row(id).toDouble("ElapsedTimeHrs"), 125.63);
        // Halves go away from zero, also 2.675, whose binary value lies just below the half.
        const qint64 id2 = plant.add({{"TheDate", "2020-01-01 00:00:00"}});
        for (double ref : {2.675, 0.125, -0.125}) {
            plant.p().CurrentProject.ElapsedTimeRef = ref;
            QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id2)));
            QCOMPARE(plant.row(id2).toDouble("ElapsedTimeHrs"), ref == 2.675 ? 2.68 : ref > 0 ? 0.13 : -0.13);
        }
    }

    void failureReported_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<QVariantMap>("reading");
        QTest::addColumn<QVariantMap>("reference");
        QTest::addColumn<QString>("error");
        QTest::newRow("no concentrate flow")
            << 1 << QVariantMap{{"ConcFlow", 0.0}} << QVariantMap() << "#11 Division by zero";
        QTest::newRow("no permeate flow")
            << 1 << QVariantMap{{"PermFlow", 0.0}} << QVariantMap() << "#6 Overflow";
        QTest::newRow("bank area 0, one bank")
            << 1 << QVariantMap() << QVariantMap{{"AreaBank", 0.0}} << "#11 Division by zero";
        QTest::newRow("bank 2 area 0")
            << 2 << QVariantMap() << QVariantMap{{"AreaBank_2", 0.0}} << "#11 Division by zero";
        QTest::newRow("stored feed flow 0, two banks")
            << 2 << QVariantMap{{"FeedFlow", 0.0}} << QVariantMap() << "#11 Division by zero";
        QTest::newRow("no reference elements")
            << 1 << QVariantMap() << QVariantMap{{"NumElementsBank", 0}} << "#11 Division by zero";
        QTest::newRow("element type out of range")
            << 1 << QVariantMap() << QVariantMap{{"ElementType", 40}} << "#9 Subscript out of range";
        QTest::newRow("empty temperature")
            << 1 << QVariantMap{{"Temperature", QVariant()}} << QVariantMap() << "#94 ";
        QTest::newRow("empty bank-2 permeate flow")
            << 2 << QVariantMap{{"PermFlow_2", QVariant()}} << QVariantMap() << "#94 ";
        QTest::newRow("sums beyond range")
            << 1 << QVariantMap{{"FeedPressure", 1e308}, {"ConcPressure", -1e308}} << QVariantMap()
            << "#6 Overflow";
    }
    void failureReported() {
        QFETCH(int, banks);
        QFETCH(QVariantMap, reading);
        QFETCH(QVariantMap, reference);
        QFETCH(QString, error);
        Plant plant(banks, reference);
        const qint64 id = plant.add(reading);
        plant.env.prompts.onMessage("Calculation run caused an error " + error, Buttons::OK, "Hevrin",
                                    Answer::OK);
        QVERIFY(!CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        QCOMPARE(plant.env.prompts.verify(), QString());
        // Nothing of the failed calculation is stored, and no result of an earlier one is left.
        const DbRow r = plant.row(id);
        for (const char* c : {"NormalizedPermFlow", "NormalizedDP", "SystemRecovery", "ActualFlux"})
            QVERIFY2(r.isNull(c), c);
        for (const char* c : {"ConcuS", "ElapsedTimeHrs"})
            QCOMPARE(r.toDouble(c), test::readingRow(banks, reading).contains(c)
                                        ? test::readingRow(banks, reading)[c].toDouble()
                                        : 0.0);
    }

    // Measurements the normalization reads but never computes with: a Null there reads as
    // 0, the results are those of the same reading without it, and the Null stays stored.
    void nullInUnusedMeasurementNormalizes_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("ORP and SDIRaw, two banks") << 2 << QStringList{"ORP", "SDIRaw"};
        QTest::newRow("pH, one bank") << 1 << QStringList{"pH"};
        QTest::newRow("turbidities and SDIFeed, three banks")
            << 3 << QStringList{"TurbidityRaw", "TurbidityFeed", "SDIFeed"};
        QTest::newRow("event") << 1 << QStringList{"EventID"};
    }
    void nullInUnusedMeasurementNormalizes() {
        QFETCH(int, banks);
        QFETCH(QStringList, columns);
        Plant plant(banks);
        QVariantMap reading = operatingValues(banks);
        for (const QString& c : columns)
            reading[c] = QVariant();
        const qint64 id = plant.add(reading);
        QVERIFY(CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        QCOMPARE(plant.env.prompts.shown(), QStringList());
        QCOMPARE(plant.differences(id, operatingValues(banks)), QString());
        for (const QString& c : columns)
            QVERIFY(plant.row(id).isNull(c));
    }

    void failureIgnoredKeepsElapsedHours() {
        Plant plant(1);
        const qint64 id =
            plant.add({{"ConcFlow", 0.0}, {"ElapsedTimeHrs", 0.0}, {"NormalizedPermFlow", 7.0}});
        plant.p().IgnoreCalcErrors = true;
        QVERIFY(!CalculateDataRecord(plant.p(), QDateTime(), qint32(id)));
        QCOMPARE(plant.env.prompts.shown(), QStringList());
        const DbRow r = plant.row(id);
        QCOMPARE(r.toDouble("ElapsedTimeHrs"), 24.0);
        // The result of an earlier reference state is not left to read as valid.
        QVERIFY(r.isNull("NormalizedPermFlow"));
        QVERIFY(r.isNull("SystemRecovery"));
        QCOMPARE(plant.p().LastNormalizedPermFlow, 7.0);
    }

    void missingRow() {
        Plant plant(1);
        plant.env.prompts.onMessage("Calculation run caused an error #3021 ", Buttons::OK, "Hevrin",
                                    Answer::OK);
        QVERIFY(!CalculateDataRecord(plant.p(), QDateTime(), 12345));
        QCOMPARE(plant.env.prompts.verify(), QString());
        plant.p().IgnoreCalcErrors = true;
        QVERIFY(!CalculateDataRecord(plant.p(), QDateTime(QDate(2021, 1, 1), QTime()), 0));
        QCOMPARE(plant.env.prompts.shown().size(), 1);
        // A database that is not there fails the same way.
        plant.p().IgnoreCalcErrors = false;
        plant.p().ProjectDatabasePath = plant.env.path("gone.mdb");
        plant.env.prompts.onMessage("Calculation run caused an error #-2147467259 ", Buttons::OK, "Hevrin",
                                    Answer::OK);
        QVERIFY(!CalculateDataRecord(plant.p(), QDateTime(), 1));
        QCOMPARE(plant.env.prompts.verify(), QString());
        // Nor is any other file opened as a database.
        QFile notADatabase(plant.env.path("notes.mdb"));
        QVERIFY(notADatabase.open(QIODevice::WriteOnly));
        notADatabase.write("plain text, not a database");
        notADatabase.close();
        plant.p().ProjectDatabasePath = notADatabase.fileName();
        plant.env.prompts.onMessage("Calculation run caused an error #-2147467259 ", Buttons::OK, "Hevrin",
                                    Answer::OK);
        QVERIFY(!CalculateDataRecord(plant.p(), QDateTime(), 1));
        QCOMPARE(plant.env.prompts.verify(), QString());
    }

    void databaseWithoutSpecificFlux() {
        test::TestEnv env;
        const QString db = test::makePreSpecFluxDatabase(env.path("old.mdb"));
        env.prog().ProjectDatabasePath = db;
        env.prog().ElementTable = elementTable();
        test::insertProjectInfo(db, 2);
        const qint64 id = test::insertReading(db, 2, operatingValues(2));
        {
            Database d = Database::open(db);
            LoadProjectSettings(env.prog(), d.select("SELECT * FROM ProjectInfo").first());
        }
        QVERIFY(CalculateDataRecord(env.prog(), QDateTime(), qint32(id)));
        Database d = Database::open(db);
        const DbRow r = d.select("SELECT * FROM Data WHERE ID = ?", {id}).first();
        const QVariantMap want = expected(test::projectInfoRow(2), test::readingRow(2, operatingValues(2)),
                                          env.prog().ElementTable);
        QVERIFY(close(r.toDouble("NormalizedPermFlow"), want["NormalizedPermFlow"].toDouble()));
        QVERIFY(close(r.toDouble("NormalizedDP_2"), want["NormalizedDP_2"].toDouble()));
        QVERIFY(!r.hasField("SpecFlux"));
        QCOMPARE(env.prompts.verify(), QString());
    }
};

QTEST_GUILESS_MAIN(TestCalculate)
#include "tst_calculate.moc"
