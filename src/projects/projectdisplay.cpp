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
    ShowElapsedTime(b, f.ElapsedTimeRef);
    b.chkAllTrains = f.TrainsSame;
    b.txtTrainNumber = QString::number(f.TrainNumber);
    d[0] = f.DateReference.isValid() ? ShortDateTimeText(f.DateReference) : QString();

    const bool banks = f.NumBanks >= 2;
    const bool perBank = banks && !f.SystemData;
    b.chk2Bank = banks;
    b.chkSystemData = !perBank;
    ShowDataNumber(b, 1, perBank ? f.PermFlow_1 : f.PermFlow);
    ShowDataNumber(b, 7, perBank ? f.PermuS_1 : f.PermuS);

    ShowDataNumber(b, 2, f.ConcFlow);
    ShowDataNumber(b, 3, f.FeedPressure);
    ShowDataNumber(b, 4, f.ConcPressure);
    ShowDataNumber(b, 5, f.PermBackPress);
    ShowDataNumber(b, 6, f.FeeduS);
    ShowDataNumber(b, 8, f.RefpH);
    ShowDataNumber(b, 9, f.FeedTemp);
    ShowDataNumber(b, 10, f.PermFlow_2);
    ShowDataNumber(b, 11, f.PermuS_2);
    ShowDataNumber(b, 12, f.FeedPressure_2);
    ShowDataNumber(b, 13, f.PermBackPress_2);
    ShowDataNumber(b, 21, f.ConcPressure_1);
    ShowDataNumber(b, 22, f.PermFlow_3);
    ShowDataNumber(b, 23, f.PermuS_3);
    ShowDataNumber(b, 24, f.FeedPressure_3);
    ShowDataNumber(b, 25, f.PermBackPress_3);
    ShowDataNumber(b, 26, f.ConcPressure_2);

    b.cboElements = {ElementListPosition(p, f.ElementType), ElementListPosition(p, f.ElementType_1),
                     ElementListPosition(p, f.ElementType_2), ElementListPosition(p, f.ElementType_3)};
    ShowGrid(p, f, b);

    const double bank1Flow = banks ? f.PermFlow_1 : f.PermFlow;
    ShowDataNumber(b, 14, f.PermFlow);
    ShowDataNumber(b, 15, bank1Flow);
    ShowDataNumber(b, 17, f.FeedFlow - bank1Flow);
    ShowDataNumber(b, 19, banks ? f.DeltaPress : f.FeedPressure - f.ConcPressure);
    ShowDataNumber(b, 16, f.FeedFlow);
    d[18] = RecoveryText(f.PermFlow, f.FeedFlow);
    d[20] = RejectionText(f.PermuS, f.ConcuS, f.FeeduS);
}

} // namespace hv
