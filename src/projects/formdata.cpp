#include "projects/formdata.h"

#include "core/program.h"
#include "core/typedinput.h"
#include "core/units.h"
#include "projects/projecttext.h"

namespace hv {

namespace {

double quotient(double a, double b) {
    return b == 0 ? 0.0 : a / b;
}
double notNegative(double v) {
    return v < 0 ? 0.0 : v;
}

void elementType(const Program& p, int listIndex, qint16& field) {
    if (listIndex < 0 || listIndex >= p.ElementListUpper || listIndex >= int(p.ElementList.size())) return;
    field = qint16(p.ElementList[size_t(listIndex)].ID - 1);
}

} // namespace

void GetFormData(const Program& p, const ProjectBoxes& b, FormProjectRecord& f) {
    // The checks have refused every box in use that holds no number, or no whole one where
    // a count is asked for.
    const auto d = [&](int i) { return DataBoxValue(b, i).value_or(0.0); };
    const auto count = [](const QString& text) { return qint16(CountBoxValue(text).value_or(0)); };

    if (auto date = ParseEntryDate(b.txtData[0])) f.DateReference = *date;
    f.ProjectID = b.txtNewProject;
    f.TrainNumber = count(b.txtTrainNumber);
    f.NumTrains = count(b.txtNumTrains);
    f.TrainsSame = b.chkAllTrains;
    f.Description = b.txtDescription;
    f.CapacityM3D = FlowToSI(d(14), p.FlowUnit) * 1440 * 60;
    // One bank has no system and bank data to choose between: the box is shown ticked and means
    // nothing, so the record keeps what it holds.
    if (f.NumBanks >= 2) f.SystemData = b.chkSystemData;
    f.unitFlow = p.FlowUnit;
    f.unitTemp = p.TemperatureUnit;
    f.unitPress = p.PressureUnit;
    f.unitFlux = p.FluxUnit;
    f.ElapsedTimeRef = ElapsedTimeValue(b).value_or(0.0);
    f.ConcFlow = d(2);
    f.FeedPressure = d(3);
    f.ConcPressure = d(4);
    f.PermBackPress = d(5);
    f.FeeduS = d(6);
    f.RefpH = d(8);
    f.FeedTemp = d(9);
    // Grid rows 100 (elements), 400 (vessels) and 500 (elements per vessel), columns 0 to 3.
    const auto gridRow = [&](int row, auto&... fields) {
        int c = 0;
        ((fields = count(b.field(row + c++))), ...);
    };
    gridRow(100, f.NumElementsBank, f.NumElementsBank_1, f.NumElementsBank_2, f.NumElementsBank_3);
    gridRow(400, f.NumVessels, f.NumVessels_1, f.NumVessels_2, f.NumVessels_3);
    gridRow(500, f.ElementsPerVessel, f.ElementsPerVessel_1, f.ElementsPerVessel_2, f.ElementsPerVessel_3);

    const int banks = f.NumBanks;
    if (banks == 2) {
        f.NumElementsBank = qint16(f.NumElementsBank_1 + f.NumElementsBank_2);
        f.NumVessels = qint16(f.NumVessels_1 + f.NumVessels_2);
    } else if (banks == 3) {
        f.NumElementsBank = qint16(f.NumElementsBank_1 + f.NumElementsBank_2 + f.NumElementsBank_3);
        f.NumVessels = qint16(f.NumVessels_1 + f.NumVessels_2 + f.NumVessels_3);
    }

    elementType(p, b.cboElements[0], f.ElementType);
    elementType(p, b.cboElements[1], f.ElementType_1);
    elementType(p, b.cboElements[2], f.ElementType_2);
    elementType(p, b.cboElements[3], f.ElementType_3);
    // With banks the system's element is bank 1's: list 0 is disabled then and was never chosen.
    if (banks >= 2) f.ElementType = f.ElementType_1;

    f.AreaBank = GridBoxValue(b, 200).value_or(0.0);
    f.AreaBank_1 = GridBoxValue(b, 201).value_or(0.0);
    f.AreaBank_2 = GridBoxValue(b, 202).value_or(0.0);
    f.AreaBank_3 = GridBoxValue(b, 203).value_or(0.0);
    if (banks == 2)
        f.AreaBank = f.AreaBank_1 + f.AreaBank_2;
    else if (banks == 3)
        f.AreaBank = f.AreaBank_1 + f.AreaBank_2 + f.AreaBank_3;

    f.ConcPressure_1 = f.ConcPressure;
    f.PermuS = d(7);
    f.PermFlow = d(1);
    f.FeedFlow = f.PermFlow + f.ConcFlow;
    f.DeltaPress = notNegative(f.FeedPressure - f.ConcPressure);
    f.PermuS_2 = f.PermuS_3 = f.PermFlow_2 = f.PermFlow_3 = 0;
    f.FeedPressure_2 = f.PermBackPress_2 = f.FeedPressure_3 = f.PermBackPress_3 = 0;
    f.DeltaPress_2 = f.DeltaPress_3 = f.ConcPressure_2 = 0;

    if (banks >= 2) {
        f.PermuS_2 = d(11);
        f.PermFlow_2 = d(10);
        f.FeedPressure_2 = d(12);
        f.PermBackPress_2 = d(13);
        f.PermBackPress_1 = f.PermBackPress;
        f.ConcPressure_1 = d(21);
        f.DeltaPress_1 = notNegative(f.FeedPressure - f.ConcPressure_1);
        f.DeltaPress_2 = notNegative(f.FeedPressure_2 - f.ConcPressure);
        f.DeltaPress = notNegative((f.FeedPressure_2 - f.ConcPressure) + (f.FeedPressure - f.ConcPressure_1));
        if (b.chkSystemData) {
            f.PermuS = d(7);
            f.PermFlow = d(1);
            f.FeedFlow = f.PermFlow + f.ConcFlow;
            // Bank 1 is what the other banks leave of the system.
            const double flow3 = banks == 3 ? d(22) : 0.0, salt3 = banks == 3 ? d(22) * d(23) : 0.0;
            f.PermFlow_1 = f.PermFlow - f.PermFlow_2 - flow3;
            f.PermuS_1 = notNegative(quotient(f.PermFlow * f.PermuS - f.PermFlow_2 * f.PermuS_2 - salt3,
                                              f.PermFlow - f.PermFlow_2 - flow3));
        } else {
            f.PermuS_1 = d(7);
            f.PermFlow_1 = d(1);
            f.FeedFlow = f.PermFlow_2 + f.PermFlow_1 + f.ConcFlow;
            f.PermFlow = f.PermFlow_2 + f.PermFlow_1;
            f.PermuS = quotient(f.PermFlow_1 * f.PermuS_1 + f.PermFlow_2 * f.PermuS_2, f.PermFlow);
        }
    }

    if (banks == 3) {
        f.PermuS_3 = d(23);
        f.PermFlow_3 = d(22);
        f.FeedPressure_3 = d(24);
        f.PermBackPress_3 = d(25);
        f.DeltaPress_3 = f.FeedPressure_3 - f.ConcPressure;
        f.ConcPressure_2 = d(26);
        f.DeltaPress_2 = notNegative(f.FeedPressure_2 - f.ConcPressure_2);
        f.DeltaPress =
            notNegative((f.FeedPressure - f.ConcPressure_1) + (f.FeedPressure_2 - f.ConcPressure_2) +
                        (f.FeedPressure_3 - f.ConcPressure));
        // With system data the system's flow and conductivity were typed and stand.
        if (!b.chkSystemData) {
            const double t = f.PermFlow_2 + f.PermFlow_1 + f.PermFlow_3;
            f.PermFlow = t;
            f.PermuS =
                t > 0
                    ? (f.PermuS_1 * f.PermFlow_1 + f.PermuS_2 * f.PermFlow_2 + f.PermuS_3 * f.PermFlow_3) / t
                    : 0;
            f.FeedFlow = t + f.ConcFlow;
        }
        const double t = f.PermFlow;
        // The capacity covers all three banks, whatever the system flow box shows.
        f.CapacityM3D = FlowToSI(t, p.FlowUnit) * 1440 * 60;
    }

    f.ConcuS = MassBalanceConcuS(f);
    f.OverallRecovery = quotient(f.PermFlow, f.FeedFlow);
    f.AvgConc = (f.ConcuS + f.FeeduS) / 2;
    f.uStoPPM = 0.5;
    f.uStoPI_Feed = 0.1;
    f.uStoPI_Perm = 0.1;
    f.Density = 1.0;
}

double MassBalanceConcuS(const FormProjectRecord& f) {
    return quotient(f.FeeduS * f.FeedFlow - f.PermuS * f.PermFlow, f.ConcFlow);
}

} // namespace hv
