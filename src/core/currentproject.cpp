#include "core/currentproject.h"

#include "core/program.h"

namespace hv {

namespace {

double orZero(const DbRow& rs, const char* column) {
    const QVariant v = rs.value(QLatin1String(column));
    return conv::isNull(v) ? 0 : conv::toDouble(v);
}

qint16 int16OrZero(const DbRow& rs, const char* column) {
    const QVariant v = rs.value(QLatin1String(column));
    return conv::isNull(v) ? qint16(0) : conv::toInt16(v);
}

} // namespace

void LoadProjectSettings(Program& p, const DbRow& rs) {
    ProjectInfoRecord& r = p.CurrentProject;
    r.DateReference = rs.toDateTime("DateReference");
    r.ProjectID = rs.toText("ProjectID");
    r.NumBanks = rs.toInt16("NumBanks");
    r.TrainNumber = rs.toInt16("TrainNumber");
    r.NumTrains = rs.toInt16("NumTrains");
    r.CapacityM3D = rs.toDouble("CapacityM3D");
    r.SystemData = rs.toBool("SystemData");
    r.unitFlow = rs.toInt16("unitFlow");
    r.unitTemp = rs.toInt16("unitTemp");
    r.unitPress = rs.toInt16("unitPress");
    r.unitFlux = rs.toInt16("unitFlux");
    r.ElapsedTimeRef = rs.toDouble("ElapsedTimeRef");
    r.FeedTemp = rs.toDouble("FeedTemp");
    r.FeeduS = rs.toDouble("FeeduS");
    r.PermuS = rs.toDouble("PermuS");
    r.ConcuS = rs.toDouble("ConcuS");
    r.FeedFlow = rs.toDouble("FeedFlow");
    r.ConcFlow = rs.toDouble("ConcFlow");
    r.PermFlow = rs.toDouble("PermFlow");
    r.OverallRecovery = rs.toDouble("OverallRecovery");
    r.FeedPressure = rs.toDouble("FeedPressure");
    r.ConcPressure = rs.toDouble("ConcPressure");
    r.DeltaPress = rs.toDouble("DeltaPress");
    r.PermBackPress = rs.toDouble("PermBackPress");
    r.ConcPressure_1 = rs.toDouble("ConcPressure_1");
    r.ElementType = rs.toInt16("ElementType");
    r.NumElementsBank = rs.toInt16("NumElementsBank");
    r.AreaBank = rs.toDouble("AreaBank");
    r.PermuS_1 = rs.toDouble("PermuS_1");
    r.PermuS_2 = rs.toDouble("PermuS_2");
    r.PermFlow_1 = rs.toDouble("PermFlow_1");
    r.PermFlow_2 = rs.toDouble("PermFlow_2");
    r.FeedPressure_2 = rs.toDouble("feedPressure_2");
    r.PermBackPress_1 = rs.toDouble("PermBackPress_1");
    r.PermBackPress_2 = rs.toDouble("PermBackPress_2");
    r.ElementType_1 = rs.toInt16("ElementType_1");
    r.ElementType_2 = rs.toInt16("ElementType_2");
    r.NumElementsBank_1 = rs.toInt16("NumElementsBank_1");
    r.NumElementsBank_2 = rs.toInt16("NumElementsBank_2");
    r.AreaBank_1 = rs.toDouble("AreaBank_1");
    r.AreaBank_2 = rs.toDouble("AreaBank_2");
    r.DeltaPress_1 = rs.toDouble("DeltaPress_1");
    r.DeltaPress_2 = rs.toDouble("DeltaPress_2");
    r.uStoPPM = rs.toDouble("uStoPPM");
    r.uStoPI_Feed = rs.toDouble("uStoPI_Feed");
    r.uStoPI_Perm = rs.toDouble("uStoPI_Perm");

    // Columns added with the third bank; rows stored before may hold Null.
    r.PermFlow_3 = orZero(rs, "Permflow_3");
    r.PermuS_3 = orZero(rs, "PermuS_3");
    r.FeedPressure_3 = orZero(rs, "FeedPressure_3");
    r.ConcPressure_2 = orZero(rs, "ConcPressure_2");
    r.PermBackPress_3 = orZero(rs, "PermbackPress_3");
    r.ElementType_3 = int16OrZero(rs, "ElementType_3");
    {
        const QVariant v = rs.value(QStringLiteral("numElementsBank_3"));
        r.NumElementsBank_3 = conv::isNull(v) ? 0 : conv::toInt32(v);
    }
    r.AreaBank_3 = orZero(rs, "AreaBank_3");
    r.DeltaPress_3 = orZero(rs, "DeltaPress_3");
    r.ElementsPerVessel_1 = int16OrZero(rs, "ElementsPerVessel_1");
    r.NumVessels_1 = int16OrZero(rs, "NumVessels_1");
    r.ElementsPerVessel_2 = int16OrZero(rs, "ElementsPerVessel_2");
    r.NumVessels_2 = int16OrZero(rs, "NumVessels_2");
    r.ElementsPerVessel_3 = int16OrZero(rs, "ElementsPerVessel_3");
    r.NumVessels_3 = int16OrZero(rs, "NumVessels_3");
}

CurrentProjectLoan::CurrentProjectLoan(Program& p) : p_(p) {
    ++p_.CurrentProjectLent;
}

CurrentProjectLoan::~CurrentProjectLoan() {
    --p_.CurrentProjectLent;
}

bool IsCurrentProjectLent(const Program& p) {
    return p.CurrentProjectLent > 0;
}

} // namespace hv
