#include "projects/projectdisplay.h"

#include "core/program.h"
#include "core/typedinput.h"
#include "projects/elementgrid.h"
#include "projects/projecttext.h"
#include "projects/referencechecks.h"

namespace hv {

int ElementListPosition(const Program& p, int t) {
    if (t < 0 || t >= int(p.ElementList.size())) return -1;
    const int pos = p.ElementList[size_t(t)].ListPos;
    return pos >= 0 && pos < p.ElementListUpper ? pos : -1;
}

void ShowProjectBoxes(const Program& p, const FormProjectRecord& f, ProjectBoxes& b) {
    auto& d = b.txtData;
    b.txtNumTrains = QString::number(f.NumTrains);
    b.txtDescription = f.Description;
    b.txtElapsedTime = ValueText(f.ElapsedTimeRef);
    b.chkAllTrains = f.TrainsSame;
    b.txtTrainNumber = QString::number(f.TrainNumber);
    d[0] = f.DateReference.isValid() ? ShortDateTimeText(f.DateReference) : QString();

    const bool banks = f.NumBanks >= 2;
    const bool perBank = banks && !f.SystemData;
    b.chk2Bank = banks;
    b.chkSystemData = !perBank;
    d[1] = ValueText(perBank ? f.PermFlow_1 : f.PermFlow);
    d[7] = ValueText(perBank ? f.PermuS_1 : f.PermuS);

    d[2] = ValueText(f.ConcFlow);
    d[3] = ValueText(f.FeedPressure);
    d[4] = ValueText(f.ConcPressure);
    d[5] = ValueText(f.PermBackPress);
    d[6] = ValueText(f.FeeduS);
    d[8] = ValueText(f.RefpH);
    d[9] = ValueText(f.FeedTemp);
    d[10] = ValueText(f.PermFlow_2);
    d[11] = ValueText(f.PermuS_2);
    d[12] = ValueText(f.FeedPressure_2);
    d[13] = ValueText(f.PermBackPress_2);
    d[21] = ValueText(f.ConcPressure_1);
    d[22] = ValueText(f.PermFlow_3);
    d[23] = ValueText(f.PermuS_3);
    d[24] = ValueText(f.FeedPressure_3);
    d[25] = ValueText(f.PermBackPress_3);
    d[26] = ValueText(f.ConcPressure_2);

    b.cboElements = {ElementListPosition(p, f.ElementType), ElementListPosition(p, f.ElementType_1),
                     ElementListPosition(p, f.ElementType_2), ElementListPosition(p, f.ElementType_3)};
    ShowGrid(p, f, b);

    const double bank1Flow = banks ? f.PermFlow_1 : f.PermFlow;
    d[14] = ValueText(f.PermFlow);
    d[15] = ValueText(bank1Flow);
    d[17] = ValueText(f.FeedFlow - bank1Flow);
    d[19] = ValueText(banks ? f.DeltaPress : f.FeedPressure - f.ConcPressure);
    d[16] = ValueText(f.FeedFlow);
    d[18] = RecoveryText(f.PermFlow, f.FeedFlow);
    d[20] = RejectionText(f.PermuS, f.ConcuS, f.FeeduS);
}

} // namespace hv
