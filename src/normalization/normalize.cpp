#include "normalization/normalize.h"

#include <tuple>

#include "core/datatables.h"
#include "core/units.h"
#include "normalization/calcerror.h"
#include "normalization/formulas.h"
#include "normalization/intake.h"

namespace hv {

using W = DataWorking;

constexpr ReadColumn readColumns[] = {
    {"ElapsedTimeHrs", ReadKind::Number, &W::ElapsedTimeHrs},
    {"Temperature", ReadKind::Number, &W::Temperature},
    {"FeeduS", ReadKind::Number, &W::FeeduS},
    {"PermuS", ReadKind::Number, &W::PermuS},
    {"ConcuS", ReadKind::Number, &W::ConcuS},
    {"FeedFlow", ReadKind::Number, &W::FeedFlow},
    {"ConcFlow", ReadKind::Number, &W::ConcFlow},
    {"PermFlow", ReadKind::Number, &W::PermFlow},
    {"FeedPressure", ReadKind::Number, &W::FeedPressure},
    {"ConcPressure", ReadKind::Number, &W::ConcPressure},
    {"ConcPressure_1", ReadKind::Number, &W::ConcPressure_1},
    {"PermBackPress", ReadKind::Number, &W::PermBackPress},
    {"PermuS_1", ReadKind::Number, &W::PermuS_1},
    {"PermuS_2", ReadKind::Number, &W::PermuS_2},
    {"PermFlow_1", ReadKind::Number, &W::PermFlow_1},
    {"PermFlow_2", ReadKind::Number, &W::PermFlow_2},
    {"FeedPressure_2", ReadKind::Number, &W::FeedPressure_2},
    {"PermBackPress_1", ReadKind::Number, &W::PermBackPress_1},
    {"PermBackPress_2", ReadKind::Number, &W::PermBackPress_2},
    {"EventID", ReadKind::Integer, nullptr},
    {"Note1", ReadKind::NullableText, nullptr},
    {"pH", ReadKind::Unused, &W::pH},
    {"TurbidityRaw", ReadKind::Unused, &W::TurbidityRaw},
    {"TurbidityFeed", ReadKind::Unused, &W::TurbidityFeed},
    {"SDIRaw", ReadKind::Unused, &W::SDIRaw},
    {"SDIFeed", ReadKind::Unused, &W::SDIFeed},
    {"ORP", ReadKind::Unused, &W::ORP},
    {"ActualRejection", ReadKind::Result, &W::ActualRejection},
    {"NormalizedPermFlow", ReadKind::Result, &W::NormalizedPermFlow},
    {"NormalizedSaltPassage", ReadKind::Result, &W::NormalizedSaltPassage},
    {"NormalizedDP", ReadKind::Result, &W::NormalizedDP},
    {"NetTMP", ReadKind::Result, &W::NetTMP},
    {"ActualFlux", ReadKind::Result, &W::ActualFlux},
    {"NormalizedFlux", ReadKind::Result, &W::NormalizedFlux},
    {"NormalizedPermFlow_1", ReadKind::Result, &W::NormalizedPermFlow_1},
    {"NormalizedSaltPassage_1", ReadKind::Result, &W::NormalizedSaltPassage_1},
    {"NormalizedDP_1", ReadKind::Result, &W::NormalizedDP_1},
    {"ActualFlux_1", ReadKind::Result, &W::ActualFlux_1},
    {"NormalizedPermFlow_2", ReadKind::Result, &W::NormalizedPermFlow_2},
    {"NormalizedSaltPassage_2", ReadKind::Result, &W::NormalizedSaltPassage_2},
    {"NormalizedDP_2", ReadKind::Result, &W::NormalizedDP_2},
    {"ActualFlux_2", ReadKind::Result, &W::ActualFlux_2},
    {"SystemRecovery", ReadKind::Result, &W::SystemRecovery},
    {"B1Recovery", ReadKind::Result, &W::B1Recovery},
    {"B2Recovery", ReadKind::Result, &W::B2Recovery},
    {"SystemDP", ReadKind::Result, &W::SystemDP},
    {"B1DP", ReadKind::Result, &W::B1DP},
    {"B2DP", ReadKind::Result, &W::B2DP},
    {"PermFlow_3", ReadKind::Number, &W::PermFlow_3},
    {"PermuS_3", ReadKind::Number, &W::PermuS_3},
    {"FeedPressure_3", ReadKind::Number, &W::FeedPressure_3},
    {"ConcPressure_2", ReadKind::Number, &W::ConcPressure_2},
    {"PermbackPress_3", ReadKind::Number, &W::PermbackPress_3},
    {"NormalizedPermFlow_3", ReadKind::Result, &W::NormalizedPermFlow_3},
    {"NormalizedSaltPassage_3", ReadKind::Result, &W::NormalizedSaltPassage_3},
    {"ActualFlux_3", ReadKind::Result, &W::ActualFlux_3},
    {"NormalizedDP_3", ReadKind::Result, &W::NormalizedDP_3},
    {"B3DP", ReadKind::Result, &W::B3DP},
    {"B3Recovery", ReadKind::Result, &W::B3Recovery},
};
static_assert(std::size(readColumns) == ReadColumnCount);
// What the normalization computes is what the table description calls calculated.
static_assert(schema::EveryDataColumn(readColumns, [](const ReadColumn& r, const schema::Column& c) {
    return r.kind != ReadKind::Result || c.kind == schema::Kind::Calculated;
}));
const std::array<ReadColumn, ReadColumnCount> ReadColumns = std::to_array(readColumns);

constexpr StoredColumn storedColumns[] = {
    {"ActualRejection", &W::ActualRejection},
    {"NormalizedPermFlow", &W::NormalizedPermFlow},
    {"NormalizedSaltPassage", &W::NormalizedSaltPassage},
    {"NormalizedDP", &W::NormalizedDP},
    {"NetTMP", &W::NetTMP},
    {"ActualFlux", &W::ActualFlux},
    {"NormalizedFlux", &W::NormalizedFlux},
    {"NormalizedPermFlow_1", &W::NormalizedPermFlow_1},
    {"NormalizedSaltPassage_1", &W::NormalizedSaltPassage_1},
    {"NormalizedDP_1", &W::NormalizedDP_1},
    {"ActualFlux_1", &W::ActualFlux_1},
    {"NormalizedPermFlow_2", &W::NormalizedPermFlow_2},
    {"NormalizedSaltPassage_2", &W::NormalizedSaltPassage_2},
    {"NormalizedDP_2", &W::NormalizedDP_2},
    {"ActualFlux_2", &W::ActualFlux_2},
    {"B1Recovery", &W::B1Recovery},
    {"B2Recovery", &W::B2Recovery},
    {"B1DP", &W::B1DP},
    {"B2DP", &W::B2DP},
    {"ConcPressure_1", &W::ConcPressure_1},
    {"NormalizedPermFlow_3", &W::NormalizedPermFlow_3},
    {"NormalizedSaltPassage_3", &W::NormalizedSaltPassage_3},
    {"NormalizedDP_3", &W::NormalizedDP_3},
    {"ActualFlux_3", &W::ActualFlux_3},
    {"B3Recovery", &W::B3Recovery},
    {"B3DP", &W::B3DP},
    {"SystemRecovery", &W::SystemRecovery},
    {"SystemDP", &W::SystemDP},
    {"ConcuS", &W::ConcuS},
    {"PermFlow_2", &W::PermFlow_2},
    {"PermuS_2", &W::PermuS_2},
    {"FeedPressure_2", &W::FeedPressure_2},
    {"PermbackPress_2", &W::PermBackPress_2},
    {"PermFlow_3", &W::PermFlow_3},
    {"PermuS_3", &W::PermuS_3},
    {"FeedPressure_3", &W::FeedPressure_3},
    {"ConcPressure_2", &W::ConcPressure_2},
    {"PermbackPress_3", &W::PermbackPress_3},
    {"PermFlow", &W::PermFlow},
    {"FeedFlow", &W::FeedFlow},
};
static_assert(std::size(storedColumns) == StoredColumnCount);
static_assert(schema::EveryDataColumn(storedColumns, [](auto&, auto&) { return true; }));
const std::array<StoredColumn, StoredColumnCount> StoredColumns = std::to_array(storedColumns);

constexpr StoredColumn specFluxColumns[] = {
    {"SpecFlux", &W::SpecFlux},
    {"SpecFlux_1", &W::SpecFlux_1},
    {"SpecFlux_2", &W::SpecFlux_2},
    {"SpecFlux_3", &W::SpecFlux_3},
};
// The columns revision 20 brought, which an older database may lack.
static_assert(schema::EveryDataColumn(specFluxColumns, [](const StoredColumn&, const schema::Column& c) {
    return schema::BroughtBy(c, schema::SpecificFlux);
}));
const std::array<StoredColumn, 4> SpecFluxColumns = std::to_array(specFluxColumns);

namespace {

using calcerr::div;

// Logarithmic mean of a bank's feed and concentrate concentrations.
inline double logMean(double outlet, double inlet) {
    return div(outlet - inlet, calcerr::ln(div(outlet, inlet)));
}

inline double osmotic(double t, double c, int unitPress) {
    return PressureFromAtm(OsmoticPressure(t, c), unitPress);
}

// ((NDP ref / NDP) x F ref / F) x flow
inline double normalizedFlow(double ndpRef, double ndp, double fRef, double f, double flow) {
    return div(div(ndpRef, ndp) * fRef, f) * flow;
}

// Net driving pressure: feed, less half the drop, less the permeate back pressure, less
// the feed-side osmotic pressure, plus the permeate's.
inline double netDriving(double feed, double dp, double back, double pm, double pp) {
    return feed - dp / 2 - back - pm + pp;
}

// One side's osmotic pressures (of the mean and the permeate concentrations) and its
// elements' correction factors at the side's temperature: the system's, then banks 1 to 3.
struct SideFactors {
    std::array<double, 4> pm{}, pp{}, f{}, s{};
    const ElementSpecRecord* element = nullptr; // the system's
};

SideFactors factorsAt(double t, const std::array<double, 4>& cm, const std::array<double, 4>& cperm,
                      bool multi, int unitPress, const ProjectInfoRecord& cp,
                      const std::vector<ElementSpecRecord>& table) {
    SideFactors a;
    a.pm[0] = osmotic(t, cm[0], unitPress);
    a.pp[0] = osmotic(t, cperm[0], unitPress);
    if (multi) {
        for (size_t i = 1; i < 4; ++i)
            a.pm[i] = osmotic(t, cm[i], unitPress);
        for (size_t i = 1; i < 4; ++i)
            a.pp[i] = osmotic(t, cperm[i], unitPress);
    }
    a.element = &ElementOfType(table, cp.ElementType);
    a.f[0] = FlowTCF(t, *a.element);
    a.s[0] = SaltPassageTCF(t, *a.element);
    if (multi) {
        const ElementSpecRecord* e[] = {nullptr, &ElementOfType(table, cp.ElementType_1),
                                        &ElementOfType(table, cp.ElementType_2),
                                        &ElementOfType(table, cp.ElementType_3)};
        for (size_t i = 1; i < 4; ++i)
            a.f[i] = FlowTCF(t, *e[i]);
        for (size_t i = 1; i < 4; ++i)
            a.s[i] = SaltPassageTCF(t, *e[i]);
    }
    return a;
}

// A two- or three-bank reading stored without a feed flow fails as the bank recoveries
// on it always did.
void requireFeedFlow(const W& w) {
    if (w.FeedFlow == 0) calcerr::raise(w.PermFlow_1 == 0 ? calcerr::Overflow : calcerr::DivisionByZero);
}

// What a bank the train does not have holds.
constexpr double W::*bank2Values[] = {&W::B2DP,
                                      &W::B2Recovery,
                                      &W::Bank2FeedFlow,
                                      &W::PermFlow_2,
                                      &W::ActualFlux_2,
                                      &W::PermuS_2,
                                      &W::FeedPressure_2,
                                      &W::PermBackPress_2,
                                      &W::NormalizedPermFlow_2,
                                      &W::NormalizedSaltPassage_2,
                                      &W::NormalizedDP_2};
constexpr double W::*bank3Values[] = {&W::B3DP,
                                      &W::B3Recovery,
                                      &W::Bank3FeedFlow,
                                      &W::PermFlow_3,
                                      &W::ActualFlux_3,
                                      &W::PermuS_3,
                                      &W::FeedPressure_3,
                                      &W::ConcPressure_2,
                                      &W::PermbackPress_3,
                                      &W::NormalizedPermFlow_3,
                                      &W::NormalizedSaltPassage_3,
                                      &W::NormalizedDP_3};

template <size_t N> void zeroBank(W& w, double W::*const (&values)[N]) {
    for (double W::*v : values)
        w.*v = 0;
}

} // namespace

void PrepareReference(ReferenceSide& r, const ProjectInfoRecord& cp,
                      const std::vector<ElementSpecRecord>& table) {
    r = ReferenceSide();
    const int banks = cp.NumBanks;
    const bool multi = banks >= 2;
    const int unitPress = cp.unitPress, unitTemp = cp.unitTemp;
    try {
        // Reference-side bookkeeping; these change the record itself.
        r.feedFlow = cp.PermFlow + cp.ConcFlow;
        const double feedFlow = r.feedFlow;
        r.refDP = cp.FeedPressure - cp.ConcPressure;
        r.deltaPress = r.refDP;
        r.overallRecovery = div(cp.PermFlow, feedFlow);
        r.stage = 2;
        if (banks == 2) {
            r.refDP1 = cp.FeedPressure - cp.ConcPressure_1;
            r.refDP2 = cp.FeedPressure_2 - cp.ConcPressure;
            r.refDP = r.refDP1 + r.refDP2;
            r.refBank2Feed = feedFlow - cp.PermFlow_1;
        } else if (banks == 3) {
            r.refDP1 = cp.FeedPressure - cp.ConcPressure_1;
            r.refDP2 = cp.FeedPressure_2 - cp.ConcPressure_2;
            r.refDP3 = cp.FeedPressure_3 - cp.ConcPressure;
            r.refDP = r.refDP1 + r.refDP2 + r.refDP3;
            r.refBank2Feed = feedFlow - cp.PermFlow_1;
            r.refBank3Feed = feedFlow - cp.PermFlow_1 - cp.PermFlow_2;
        }
        const double refBank2Feed = r.refBank2Feed, refBank3Feed = r.refBank3Feed;

        // Reference side: concentrations.
        const double cfR = ConductivityToTDS(cp.FeeduS);
        const double cpR = ConductivityToTDS(cp.PermuS);
        const double ccR = div(cfR * feedFlow - cpR * cp.PermFlow, cp.ConcFlow);
        const double cmR = logMean(ccR, cfR);
        double cp1R = 0, cp2R = 0, cp3R = 0, cc1R = 0, cc2R = 0, cm1R = 0, cm2R = 0, cm3R = 0;
        if (multi) {
            cp1R = ConductivityToTDS(cp.PermuS_1);
            cp2R = ConductivityToTDS(cp.PermuS_2);
            cc1R = div(cfR * feedFlow - cp1R * cp.PermFlow_1, refBank2Feed);
            cm1R = logMean(cc1R, cfR);
            cm2R = logMean(ccR, cc1R);
            if (banks == 3) {
                cc2R = div(cfR * feedFlow - cp1R * cp.PermFlow_1 - cp2R * cp.PermFlow_2, refBank3Feed);
                cp3R = ConductivityToTDS(cp.PermuS_3);
                cm3R = logMean(ccR, cc2R);
                cm2R = logMean(cc2R, cc1R);
            }
        }

        // Reference side: osmotic pressures and factors at the reference temperature.
        const double tR = TemperatureToC(cp.FeedTemp, unitTemp);
        const SideFactors a =
            factorsAt(tR, {cmR, cm1R, cm2R, cm3R}, {cpR, cp1R, cp2R, cp3R}, multi, unitPress, cp, table);
        std::tie(r.cfR, r.cpR, r.ccR, r.cmR, r.cp1R, r.cp2R, r.cp3R, r.cc1R, r.cc2R, r.cm1R, r.cm2R, r.cm3R,
                 r.tR) = std::tuple(cfR, cpR, ccR, cmR, cp1R, cp2R, cp3R, cc1R, cc2R, cm1R, cm2R, cm3R, tR);
        std::tie(r.pmR, r.pm1R, r.pm2R, r.pm3R) = std::tuple_cat(a.pm);
        std::tie(r.ppR, r.pp1R, r.pp2R, r.pp3R) = std::tuple_cat(a.pp);
        std::tie(r.fR, r.f1R, r.f2R, r.f3R) = std::tuple_cat(a.f);
        std::tie(r.sR, r.s1R, r.s2R, r.s3R) = std::tuple_cat(a.s);
    } catch (const CalcError& e) {
        r.failure = e;
    }
}

void NormalizeReading(W& w, ProjectInfoRecord& cp, const std::vector<ElementSpecRecord>& table) {
    ReferenceSide ref;
    PrepareReference(ref, cp, table);
    NormalizeReading(w, cp, table, ref);
}

void NormalizeReading(W& w, ProjectInfoRecord& cp, const std::vector<ElementSpecRecord>& table,
                      const ReferenceSide& ref) {
    const int banks = cp.NumBanks;
    const bool multi = banks >= 2;
    const int unitFlow = cp.unitFlow, unitFlux = cp.unitFlux, unitPress = cp.unitPress,
              unitTemp = cp.unitTemp;

    // Bank bookkeeping of the measured values. The bank feeds and recoveries are taken from
    // the feed flow this calculation stores (the banks' permeate plus the concentrate), not
    // from the one read: a later run reads the stored one back and must come to the same
    // values.
    w.SystemDP = w.FeedPressure - w.ConcPressure;
    w.PermBackPress_1 = w.PermBackPress;
    if (banks == 1) {
        w.ConcPressure_1 = w.ConcPressure;
        zeroBank(w, bank2Values);
        zeroBank(w, bank3Values);
    } else if (banks == 2) {
        w.B1DP = w.FeedPressure - w.ConcPressure_1;
        w.B2DP = w.FeedPressure_2 - w.ConcPressure;
        w.SystemDP = w.B1DP + w.B2DP;
        requireFeedFlow(w);
        w.PermFlow = w.PermFlow_1 + w.PermFlow_2;
        w.FeedFlow = w.PermFlow + w.ConcFlow;
        w.B1Recovery = div(w.PermFlow_1, w.FeedFlow);
        w.B2Recovery = div(w.PermFlow_2, w.FeedFlow - w.PermFlow_1);
        w.Bank2FeedFlow = w.FeedFlow - w.PermFlow_1;
        zeroBank(w, bank3Values);
    } else if (banks == 3) {
        w.B1DP = w.FeedPressure - w.ConcPressure_1;
        w.B2DP = w.FeedPressure_2 - w.ConcPressure_2;
        w.B3DP = w.FeedPressure_3 - w.ConcPressure;
        w.SystemDP = w.B1DP + w.B2DP + w.B3DP;
        requireFeedFlow(w);
        w.PermFlow = w.PermFlow_1 + w.PermFlow_2 + w.PermFlow_3;
        w.FeedFlow = w.PermFlow + w.ConcFlow;
        w.B1Recovery = div(w.PermFlow_1, w.FeedFlow);
        w.B2Recovery = div(w.PermFlow_2, w.FeedFlow - w.PermFlow_1);
        w.B3Recovery = div(w.PermFlow_3, w.FeedFlow - w.PermFlow_1 - w.PermFlow_2);
        w.Bank2FeedFlow = w.FeedFlow - w.PermFlow_1;
        w.Bank3FeedFlow = w.FeedFlow - w.PermFlow_1 - w.PermFlow_2;
    }

    // System flows.
    w.FeedFlow = w.PermFlow + w.ConcFlow;
    w.SystemRecovery = div(w.PermFlow, w.FeedFlow);
    if (banks == 1) w.B1Recovery = w.SystemRecovery;

    // Actual fluxes. A flux is converted to the project's unit only when it was computed
    // here: a stored value is already in that unit.
    bool systemFlux = false;
    if (cp.AreaBank > 0) {
        w.ActualFlux = div(FlowToSI(w.PermFlow, unitFlow), cp.AreaBank);
        systemFlux = true;
    }
    if (banks == 2) {
        w.ActualFlux = div(FlowToSI(w.PermFlow, unitFlow), cp.AreaBank_1 + cp.AreaBank_2);
        w.ActualFlux_1 = div(FlowToSI(w.PermFlow_1, unitFlow), cp.AreaBank_1);
        w.ActualFlux_2 = div(FlowToSI(w.PermFlow_2, unitFlow), cp.AreaBank_2);
        systemFlux = true;
    } else if (banks == 3) {
        w.ActualFlux = div(FlowToSI(w.PermFlow, unitFlow), cp.AreaBank_1 + cp.AreaBank_2 + cp.AreaBank_3);
        w.ActualFlux_1 = div(FlowToSI(w.PermFlow_1, unitFlow), cp.AreaBank_1);
        w.ActualFlux_2 = div(FlowToSI(w.PermFlow_2, unitFlow), cp.AreaBank_2);
        w.ActualFlux_3 = div(FlowToSI(w.PermFlow_3, unitFlow), cp.AreaBank_3);
        systemFlux = true;
    }
    if (systemFlux) w.ActualFlux = FluxFromSI(w.ActualFlux, unitFlux);
    if (banks == 2 || banks == 3) w.ActualFlux_1 = FluxFromSI(w.ActualFlux_1, unitFlux);
    w.ActualFlux_2 = FluxFromSI(w.ActualFlux_2, unitFlux);
    w.ActualFlux_3 = FluxFromSI(w.ActualFlux_3, unitFlux);

    // Actual side: concentrations along the feed channel.
    w.ConcuS = div(w.FeedFlow * w.FeeduS - w.PermFlow * w.PermuS, w.ConcFlow);
    const double cf = ConductivityToTDS(w.FeeduS);
    const double cpm = ConductivityToTDS(w.PermuS);
    const double cc = div(w.FeedFlow * cf - w.PermFlow * cpm, w.ConcFlow);
    const double cm = logMean(cc, cf);
    w.ActualRejection = 1 - div(cpm, cm);

    double cp1 = 0, cp2 = 0, cp3 = 0, cc1 = 0, cc2 = 0, cm1 = 0, cm2 = 0, cm3 = 0;
    if (banks == 2) {
        cp1 = ConductivityToTDS(w.PermuS_1);
        cp2 = ConductivityToTDS(w.PermuS_2);
        cc1 = div(w.FeedFlow * cf - w.PermFlow_1 * cp1, w.Bank2FeedFlow);
        cm1 = w.B1Recovery <= 0 ? cf : logMean(cc1, cf);
        cm2 = logMean(cc, cc1);
        cm3 = 0;
    } else if (banks == 3) {
        cp1 = ConductivityToTDS(w.PermuS_1);
        cp2 = ConductivityToTDS(w.PermuS_2);
        cp3 = ConductivityToTDS(w.PermuS_3);
        cc1 = div(w.FeedFlow * cf - w.PermFlow_1 * cp1, w.Bank2FeedFlow);
        cc2 = div(w.FeedFlow * cf - w.PermFlow_1 * cp1 - w.PermFlow_2 * cp2, w.Bank3FeedFlow);
        cm1 = w.B1Recovery <= 0 ? cf : logMean(cc1, cf);
        cm2 = logMean(cc2, cc1);
        cm3 = logMean(cc, cc2);
    }

    // Actual side: osmotic pressures and correction factors at the reading's temperature.
    const double t = TemperatureToC(w.Temperature, unitTemp);
    const SideFactors a =
        factorsAt(t, {cm, cm1, cm2, cm3}, {cpm, cp1, cp2, cp3}, multi, unitPress, cp, table);
    const auto [pm, pm1, pm2, pm3] = a.pm;
    const auto [pp, pp1, pp2, pp3] = a.pp;
    const auto [f, f1, f2, f3] = a.f;
    const auto [s, s1, s2, s3] = a.s;
    const ElementSpecRecord& el = *a.element;

    // Reference side, computed once for the project train; it changes the record itself
    // as it always did, and a failure of it is raised here, where it always came.
    cp.FeedFlow = ref.feedFlow;
    if (ref.stage >= 2) {
        cp.OverallRecovery = ref.overallRecovery;
        cp.DeltaPress = ref.deltaPress;
        if (banks == 2 || banks == 3) {
            cp.DeltaPress_1 = ref.refDP1;
            cp.DeltaPress_2 = ref.refDP2;
        }
        if (banks == 3) cp.DeltaPress_3 = ref.refDP3;
    }
    if (ref.failure) throw *ref.failure;
    const double refDP = ref.refDP, refDP1 = ref.refDP1, refDP2 = ref.refDP2, refDP3 = ref.refDP3;
    const double refBank3Feed = ref.refBank3Feed;
    const double cfR = ref.cfR, cmR = ref.cmR, cc1R = ref.cc1R, cc2R = ref.cc2R, cm1R = ref.cm1R,
                 cm2R = ref.cm2R, cm3R = ref.cm3R, tR = ref.tR, pmR = ref.pmR, ppR = ref.ppR, pm1R = ref.pm1R,
                 pm2R = ref.pm2R, pm3R = ref.pm3R, pp1R = ref.pp1R, pp2R = ref.pp2R, pp3R = ref.pp3R,
                 fR = ref.fR, sR = ref.sR, f1R = ref.f1R, f2R = ref.f2R, f3R = ref.f3R, s1R = ref.s1R,
                 s2R = ref.s2R, s3R = ref.s3R;

    // Net driving pressures.
    const double ndp = netDriving(w.FeedPressure, w.SystemDP, w.PermBackPress, pm, pp);
    const double ndpR = netDriving(cp.FeedPressure, refDP, cp.PermBackPress, pmR, ppR);
    const double ndp1 = netDriving(w.FeedPressure, w.B1DP, w.PermBackPress_1, pm1, pp1);
    const double ndp1R = netDriving(cp.FeedPressure, refDP1, cp.PermBackPress_1, pm1R, pp1R);
    const double ndp2 = netDriving(w.FeedPressure_2, w.B2DP, w.PermBackPress_2, pm2, pp2);
    const double ndp2R = netDriving(cp.FeedPressure_2, refDP2, cp.PermBackPress_2, pm2R, pp2R);
    const double ndp3 = netDriving(w.FeedPressure_3, w.B3DP, w.PermbackPress_3, pm3, pp3);
    const double ndp3R = netDriving(cp.FeedPressure_3, refDP3, cp.PermBackPress_3, pm3R, pp3R);
    w.NetTMP = ndp;

    // Normalized permeate flow; the normalized flux comes from the system formula.
    w.NormalizedPermFlow = normalizedFlow(ndpR, ndp, fR, f, w.PermFlow);
    w.NormalizedFlux = FluxFromSI(div(FlowToSI(w.NormalizedPermFlow, unitFlow), cp.AreaBank), unitFlux);
    if (multi) {
        w.NormalizedPermFlow_1 = normalizedFlow(ndp1R, ndp1, f1R, f1, w.PermFlow_1);
        w.NormalizedPermFlow_2 = normalizedFlow(ndp2R, ndp2, f2R, f2, w.PermFlow_2);
        w.NormalizedPermFlow = w.NormalizedPermFlow_1 + w.NormalizedPermFlow_2;
        if (banks == 3) {
            w.NormalizedPermFlow_3 = normalizedFlow(ndp3R, ndp3, f3R, f3, w.PermFlow_3);
            w.NormalizedPermFlow = w.NormalizedPermFlow_1 + w.NormalizedPermFlow_2 + w.NormalizedPermFlow_3;
        }
    }

    // Normalized salt passage.
    const double q = div(div(w.PermFlow, cp.NumElementsBank), div(cp.PermFlow, cp.NumElementsBank));
    double q1 = 0, q2 = 0, q3 = 0;
    if (multi) {
        q1 = div(div(w.PermFlow_1, cp.NumElementsBank_1), div(cp.PermFlow_1, cp.NumElementsBank_1));
        q2 = div(div(w.PermFlow_2, cp.NumElementsBank_2), div(cp.PermFlow_2, cp.NumElementsBank_2));
        if (banks == 3)
            q3 = div(div(w.PermFlow_3, double(cp.NumElementsBank_3)),
                     div(cp.PermFlow_3, double(cp.NumElementsBank_3)));
    }
    w.NormalizedSaltPassage = q * (1 - w.ActualRejection) * div(sR, s) * div(cmR, cm) * div(cf, cfR);
    if (multi) {
        w.NormalizedSaltPassage_1 = div(q1 * cp1, cm1) * div(s1R, s1) * div(cm1R, cm1) * div(cf, cfR);
        w.NormalizedSaltPassage_2 = div(q2 * cp2, cm2) * div(s2R, s2) * div(cm2R, cm2) * div(cc1, cc1R);
        if (banks == 3)
            w.NormalizedSaltPassage_3 = div(q3 * cp3, cm3) * div(s3R, s3) * div(cm3R, cm3) * div(cc2, cc2R);
    }

    // Normalized pressure drop, on average feed-side flows.
    w.NormalizedDP = NormalizeDP(w.SystemDP, (w.FeedFlow + w.ConcFlow) / 2, (cp.FeedFlow + cp.ConcFlow) / 2,
                                 el, t, tR, cm, cmR);
    if (multi) {
        const ElementSpecRecord& e1 = ElementOfType(table, cp.ElementType_1);
        const ElementSpecRecord& e2 = ElementOfType(table, cp.ElementType_2);
        w.NormalizedDP_1 = NormalizeDP(w.B1DP, ((w.FeedFlow - w.PermFlow_1) + w.FeedFlow) / 2,
                                       (2 * cp.FeedFlow - cp.PermFlow_1) / 2, e1, t, tR, cm1, cm1R);
        const double feed2 = w.FeedFlow - w.PermFlow_1;
        const double feed2R = cp.FeedFlow - cp.PermFlow_1;
        const double conc2 = banks == 3 ? w.FeedFlow - w.PermFlow_1 - w.PermFlow_2 : w.ConcFlow;
        const double conc2R = banks == 3 ? cp.ConcFlow + cp.PermFlow_3 : cp.ConcFlow;
        w.NormalizedDP_2 =
            NormalizeDP(w.B2DP, (feed2 + conc2) / 2, (feed2R + conc2R) / 2, e2, t, tR, cm2, cm2R);
        w.NormalizedDP = w.NormalizedDP_1 + w.NormalizedDP_2;
        if (banks == 3) {
            w.NormalizedDP_3 =
                NormalizeDP(w.B3DP, (w.Bank3FeedFlow + w.ConcFlow) / 2, (refBank3Feed + cp.ConcFlow) / 2,
                            ElementOfType(table, cp.ElementType_3), t, tR, cm3, cm3R);
            w.NormalizedDP = w.NormalizedDP_1 + w.NormalizedDP_2 + w.NormalizedDP_3;
        }
    }

    // Specific flux: temperature-corrected flux per unit of net driving pressure.
    w.SpecFlux = div(w.ActualFlux, ndp) * div(fR, f);
    if (banks == 1) {
        w.SpecFlux_1 = w.SpecFlux;
        w.SpecFlux_2 = 0;
        w.SpecFlux_3 = 0;
    } else if (multi) {
        w.SpecFlux_1 = div(w.ActualFlux_1, ndp1) * div(f1R, f1);
        w.SpecFlux_2 = div(w.ActualFlux_2, ndp2) * div(f2R, f2);
        w.SpecFlux_3 = banks == 3 ? div(w.ActualFlux_3, ndp3) * div(f3R, f3) : 0;
    }

    // Sums and products can still overflow; nothing infinite is ever stored.
    for (const StoredColumn& c : StoredColumns)
        calcerr::finite(w.*c.field);
    for (const StoredColumn& c : SpecFluxColumns)
        calcerr::finite(w.*c.field);
}

namespace {
// Calendar arithmetic only, as date values always had it: no time zone, no daylight saving.
double serialOf(const QDate& date, int msecsOfDay) {
    static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
    return double(date.toJulianDay() - epoch) + msecsOfDay / 86400000.0;
}
} // namespace

double DateSerial(const QDateTime& dt) {
    if (!dt.isValid()) return 0;
    return serialOf(dt.date(), dt.time().msecsSinceStartOfDay());
}

double DateSerialOf(const QVariant& v) {
    // A stored date names the instant the date rule reads in it, here as on every road; a full
    // recalculation reads one for every reading.
    if (v.typeId() == QMetaType::QString) {
        const std::optional<qint64> key = ReadingDateKey(v.toString());
        if (!key) throw DbError(dberr::TypeMismatch, QStringLiteral("Type mismatch"));
        const qint64 k = *key;
        const QDate date(int(k / 10000000000), int(k / 100000000 % 100), int(k / 1000000 % 100));
        return serialOf(date, int(((k / 10000 % 100) * 60 + k / 100 % 100) * 60 + k % 100) * 1000);
    }
    return DateSerial(conv::toDateTime(v));
}

double RoundedElapsedHoursByText(double hours) {
    // The value's text with two decimals, as "0.00" formats it: the decimal digits
    // (15 significant) rounded half away from zero, then read back as a number.
    QString t = QString::number(hours, 'g', 15);
    const int dot = t.indexOf(u'.');
    if (t.contains(u'e') || dot < 0 || t.size() - dot - 1 <= 2)
        return QString::number(hours, 'f', 2).toDouble();
    const bool negative = t.startsWith(u'-');
    if (negative) t.remove(0, 1);
    const int point = t.indexOf(u'.');
    qint64 hundredths = (t.left(point) + t.mid(point + 1, 2)).toLongLong();
    if (t.at(point + 3) >= u'5') ++hundredths;
    const double r = double(hundredths) / 100.0;
    return negative ? -r : r;
}

double RoundedElapsedHours(double hours) {
    // The same result as the text rounding above, in arithmetic: it runs for every
    // reading of a full recalculation.
    if (hours == 0) return 0.0; // a negative zero is formatted without its sign
    const double a = std::fabs(hours);
    if (!(a < 1e9)) return RoundedElapsedHoursByText(hours);
    const double y = a * 100;
    const double f = std::floor(y);
    const double frac = y - f;
    bool up = frac > 0.5;
    // Within a hair of a half hundredth, the 15-digit decimal decides: it rounds up when
    // a, rounded to 15 significant digits, reaches the half. Exactly, with the product's
    // rounding error kept by fma.
    if (std::fabs(frac - 0.5) <= a * 1e-12) {
        static const double pow10[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                       1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
        int e = int(std::floor(std::log10(a)));
        if (a < std::pow(10.0, e))
            --e;
        else if (a >= std::pow(10.0, e + 1))
            ++e;
        const int k = 14 - e; // decimals kept of 15 significant digits; 6 to 17 here
        const double scale = pow10[k];
        const double product = a * scale;
        const double error = std::fma(a, scale, -product);
        const double threshold = (2 * f + 1) * 5 * pow10[k - 3]; // the half, at that scale
        const double d = product - (threshold - 0.5);
        up = d >= -error; // a tie goes up, as the digits are rounded
    }
    const double r = (up ? f + 1 : f) / 100.0;
    return std::copysign(r, hours);
}

} // namespace hv
