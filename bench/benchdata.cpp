#include "benchdata.h"

#include <QDateTime>

#include "core/units.h"
#include "platform/database.h"

namespace hv::bench {

namespace {

constexpr int M3hr = 13, Gpm = 4, DegC = 1, DegF = 0, Bar = 8, Psi = 0, Lmh = 1, Gfd = 0;
constexpr double ElementArea = 37.2; // catalogue element type 2

struct Bank {
    double permFlow, permuS, feedPressure, concPressure, backPressure;
    int elements;
};

// Reference state in m3/hr, deg C and bar: 100 m3/hr feed at 75 % recovery.
std::vector<Bank> referenceBanks(int banks) {
    switch (banks) {
    case 1:
        return {{75, 30, 12.0, 10.5, 0.5, 36}};
    case 2:
        return {{50, 25, 12.0, 10.8, 0.5, 24}, {25, 40, 10.6, 9.5, 0.4, 12}};
    default:
        return {{40, 25, 14.0, 12.8, 0.5, 24}, {22, 40, 12.6, 11.5, 0.4, 12}, {13, 70, 11.3, 10.2, 0.3, 6}};
    }
}

double flow(const TrainLayout& t, double m3hr) {
    return t.usUnits ? ConvertFlow(m3hr, M3hr, Gpm) : m3hr;
}
double press(const TrainLayout& t, double bar) {
    return t.usUnits ? ConvertPressure(bar, Bar, Psi) : bar;
}
double temp(const TrainLayout& t, double c) {
    return t.usUnits ? ConvertTemperature(c, DegC, DegF) : c;
}

const QDateTime ReferenceDate(QDate(2020, 1, 1), QTime(0, 0));

} // namespace

const std::vector<TrainLayout>& Layouts() {
    static const std::vector<TrainLayout> layouts = {
        {"Bench One Bank", 1, 1, false},    {"Bench One Bank", 2, 1, true},
        {"Bench Two Banks", 1, 2, false},   {"Bench Two Banks US", 1, 2, true},
        {"Bench Three Banks", 1, 3, false}, {"Bench Three Banks", 2, 3, true},
    };
    return layouts;
}

std::vector<TrainLayout> Layouts(int n) {
    std::vector<TrainLayout> layouts;
    for (int k = 0; k < n; ++k)
        layouts.push_back({QString("Bench Plant %1").arg(k / 2 + 1, 2, 10, QChar('0')), qint16(k % 2 + 1),
                           k % 3 + 1, (k / 3) % 2 == 1});
    return layouts;
}

QVariantMap ReferenceRow(const TrainLayout& t) {
    const std::vector<Bank> b = referenceBanks(t.banks);
    const double conc = 25, feedUs = 1500;
    double perm = 0, permUsFlow = 0;
    int elements = 0;
    for (const Bank& k : b) {
        perm += k.permFlow;
        permUsFlow += k.permFlow * k.permuS;
        elements += k.elements;
    }
    const Bank none{0, 0, 0, 0, 0, 0};
    const Bank& b1 = b[0];
    const Bank& b2 = b.size() > 1 ? b[1] : none;
    const Bank& b3 = b.size() > 2 ? b[2] : none;
    const double concPressure = b.back().concPressure;
    QVariantMap r;
    r["DateReference"] = dbDateText(ReferenceDate);
    r["ProjectID"] = t.projectId;
    r["NumBanks"] = t.banks;
    r["TrainNumber"] = t.train;
    r["NumTrains"] = 2;
    r["TrainsSame"] = 0;
    r["Description"] = QString("Bench plant");
    r["DefaultUnits"] = 0;
    r["CapacityM3D"] = perm * 24;
    r["Systemdata"] = -1;
    r["unitFlow"] = t.usUnits ? Gpm : M3hr;
    r["unitTemp"] = t.usUnits ? DegF : DegC;
    r["unitPress"] = t.usUnits ? Psi : Bar;
    r["unitFlux"] = t.usUnits ? Gfd : Lmh;
    r["ElapsedTimeRef"] = 0.0;
    r["FeedTemp"] = temp(t, 20);
    r["FeeduS"] = feedUs;
    r["PermuS"] = permUsFlow / perm;
    r["ConcuS"] = ((perm + conc) * feedUs - permUsFlow) / conc;
    r["FeedFlow"] = flow(t, perm + conc);
    r["ConcFlow"] = flow(t, conc);
    r["PermFlow"] = flow(t, perm);
    r["OverallRecovery"] = perm / (perm + conc);
    r["FeedPressure"] = press(t, b1.feedPressure);
    r["ConcPressure"] = press(t, concPressure);
    r["DeltaPress"] = press(t, b1.feedPressure - concPressure);
    r["PermBackPress"] = press(t, b1.backPressure);
    r["ElementType"] = 2;
    r["NumElementsBank"] = elements;
    r["AreaBank"] = elements * ElementArea;
    r["PermuS_1"] = b1.permuS;
    r["PermuS_2"] = b2.permuS;
    r["PermFlow_1"] = flow(t, b1.permFlow);
    r["PermFlow_2"] = flow(t, b2.permFlow);
    r["FeedPressure_2"] = press(t, b2.feedPressure);
    r["PermBackPress_1"] = press(t, b1.backPressure);
    r["PermBackPress_2"] = press(t, b2.backPressure);
    r["ElementType_1"] = 2;
    r["ElementType_2"] = 2;
    r["NumElementsBank_1"] = b1.elements;
    r["NumElementsBank_2"] = b2.elements;
    r["AreaBank_1"] = b1.elements * ElementArea;
    r["AreaBank_2"] = b2.elements * ElementArea;
    r["DeltaPress_1"] = press(t, b1.feedPressure - (t.banks == 1 ? concPressure : b1.concPressure));
    r["DeltaPress_2"] = press(t, b2.feedPressure - b2.concPressure);
    r["uStoPPM"] = 0.5;
    r["uStoPI_Feed"] = 0.0;
    r["uStoPI_Perm"] = 0.0;
    r["ConcPressure_1"] = press(t, b1.concPressure);
    r["ElementType_3"] = 2;
    r["NumElementsBank_3"] = b3.elements;
    r["AreaBank_3"] = b3.elements * ElementArea;
    r["Permflow_3"] = flow(t, b3.permFlow);
    r["PermuS_3"] = b3.permuS;
    r["FeedPressure_3"] = press(t, b3.feedPressure);
    r["ConcPressure_2"] = press(t, t.banks == 3 ? b2.concPressure : 0);
    r["PermbackPress_3"] = press(t, b3.backPressure);
    r["DeltaPress_3"] = press(t, b3.feedPressure - b3.concPressure);
    for (int k = 1; k <= 3; ++k) {
        const Bank& bk = k == 1 ? b1 : k == 2 ? b2 : b3;
        r[QString("ElementsPerVessel_%1").arg(k)] = bk.elements ? 6 : 0;
        r[QString("NumVessels_%1").arg(k)] = bk.elements / 6;
    }
    return r;
}

const QStringList& ReadingColumns() {
    static const QStringList columns = {
        "ProjectID",      "TrainNumber",    "TheDate",         "ElapsedTimeHrs",  "Bank",
        "EventID",        "Note1",          "Temperature",     "FeeduS",          "PermuS",
        "FeedFlow",       "ConcFlow",       "PermFlow",        "FeedPressure",    "ConcPressure",
        "ConcPressure_1", "PermBackPress",  "PermuS_1",        "PermuS_2",        "PermFlow_1",
        "PermFlow_2",     "FeedPressure_2", "PermBackPress_1", "PermBackPress_2", "Permflow_3",
        "PermuS_3",       "FeedPressure_3", "ConcPressure_2",  "PermbackPress_3", "pH",
        "TurbidityRaw",   "TurbidityFeed",  "SDIRaw",          "SDIFeed",         "ORP"};
    return columns;
}

void ReadingValues(const TrainLayout& t, qint64 hours, std::mt19937_64& rng, QVariantList& out) {
    std::uniform_real_distribution<double> vary(0.9, 1.1), temperature(12, 30), small(0, 1);
    const std::vector<Bank> b = referenceBanks(t.banks);
    const double load = vary(rng);
    const double salt = vary(rng);
    const double conc = 25 * vary(rng);
    double perm = 0, permUsFlow = 0;
    Bank banks[3] = {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
    for (size_t k = 0; k < b.size(); ++k) {
        banks[k] = b[k];
        banks[k].permFlow *= load * vary(rng);
        banks[k].permuS *= salt * vary(rng);
        const double p = vary(rng);
        banks[k].feedPressure *= p;
        banks[k].concPressure *= p * (0.995 + 0.01 * small(rng));
        perm += banks[k].permFlow;
        permUsFlow += banks[k].permFlow * banks[k].permuS;
    }
    const QDateTime when = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(3600 * (hours + 24));
    out.clear();
    out << t.projectId << t.train << dbDateText(when) << double(hours + 24) << t.banks << 0 << QVariant()
        << temp(t, temperature(rng)) << 1500 * salt << permUsFlow / perm << flow(t, perm + conc)
        << flow(t, conc) << flow(t, perm) << press(t, banks[0].feedPressure)
        << press(t, banks[t.banks - 1].concPressure) << press(t, banks[0].concPressure)
        << press(t, banks[0].backPressure) << banks[0].permuS << banks[1].permuS << flow(t, banks[0].permFlow)
        << flow(t, banks[1].permFlow) << press(t, banks[1].feedPressure) << press(t, banks[0].backPressure)
        << press(t, banks[1].backPressure) << flow(t, banks[2].permFlow) << banks[2].permuS
        << press(t, banks[2].feedPressure) << press(t, t.banks == 3 ? banks[1].concPressure : 0)
        << press(t, banks[2].backPressure) << 7.0 + small(rng) << 1.0 << 0.2 << 3.0 << 2.0 << 250.0;
}

} // namespace hv::bench
