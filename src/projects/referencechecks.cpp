#include "projects/referencechecks.h"

#include <vector>

#include "core/datatables.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/refusal.h"
#include "core/typedinput.h"
#include "core/units.h"
#include "projects/elementgrid.h"
#include "projects/formdata.h"
#include "projects/projecttext.h"

namespace hv {

QString ProjectIdFault(const QString& id) {
    if (id.isEmpty() || id.size() > 50)
        return GetMlString(1180, "The new ProjectDiagram ID must have at least one character and no "
                                 "more than 50. Please check input.");
    if (id.front().isSpace() || id.back().isSpace())
        return "The project ID \"" + id +
               "\" begins or ends with a blank, which would be lost when the project is next opened. "
               "Please remove it.";
    if (id.contains(';') || id.contains('\r') || id.contains('\n'))
        return "The project ID \"" + id +
               "\" holds a \";\" or a line break, which an export of the project cannot carry. Please "
               "choose another ID.";
    return {};
}

QString ReferenceDateNamed(const QString& typed) {
    return "Reference Date and Time - you entered: " + typed;
}

QString RecoveryText(double permFlow, double feedFlow) {
    return feedFlow == 0 ? QString() : ValueText(permFlow * 100 / feedFlow);
}

QString RejectionText(double permuS, double concuS, double feeduS) {
    const double mean = (concuS + feeduS) / 2;
    return mean == 0 ? QString() : ValueText((1 - permuS / mean) * 100);
}

namespace {

const char* const EmptyBoxMessage = "You must enter data for every field, even if 0. Please try again";

// One run of checks over the window's boxes.
struct Checker {
    Program& p;
    ProjectBoxes& b;
    FormProjectRecord& f;
    CheckResult result;

    // A box the run reads: numbers() has refused the ones that hold no number.
    double box(int i) const { return DataBoxValue(b, i).value_or(0.0); }
    double area(int column) const { return GridBoxValue(b, 200 + column).value_or(0.0); }
    void show(int i, const QString& text) {
        b.txtData[size_t(i)] = text;
        b.dataHeld[size_t(i)].reset();
    }
    void show(int i, double v) { ShowDataNumber(b, i, v); }

    // Shows the message and stops the run with the focus on the box.
    bool fail(const QString& message, FocusTarget focus) {
        p.prompts.message(message, Buttons::OK, Icon::None);
        result.stopped = true;
        result.focus = focus;
        return false;
    }
    bool failAt(const QString& message, int box) { return fail(message, FocusTarget::data(box)); }

    // Stores box `i`'s number in `field` and checks it is above 0 (or, with `zeroAllowed`, at
    // least 0); otherwise shows the message and stops at the box.
    bool take(double& field, int i, const QString& message, bool zeroAllowed = false) {
        field = box(i);
        return field > 0 || (zeroAllowed && field == 0) || failAt(message, i);
    }

    bool noEmptyBox(const std::vector<int>& boxes) {
        for (int i : boxes)
            if (b.txtData[size_t(i)].isEmpty()) return failAt(GetMlString(1200, EmptyBoxMessage), i);
        return true;
    }

    // Every number box the run reads holds a number (or nothing, which reads 0): a text the
    // reader refuses is named with its box, never taken as 0. The grid's counts are whole
    // numbers, and neither they nor the areas are left empty.
    bool numbers(const std::vector<int>& boxes, int banks) {
        for (int i : boxes)
            if (!DataBoxValue(b, i))
                return failAt(NotANumberText(DataBoxCaption(i), b.txtData[size_t(i)]), i);
        // One bank is the system column; with banks the system column holds their totals.
        const int first = banks <= 1 ? 0 : 1, last = banks <= 1 ? 0 : std::min(banks, 3);
        for (int c = first; c <= last; ++c) {
            for (int row : {400, 500, 100})
                if (!count(row + c)) return false;
            const FocusTarget area = FocusTarget::field(200 + c);
            if (b.field(200 + c).trimmed().isEmpty()) return fail(GetMlString(1200, EmptyBoxMessage), area);
            if (!GridBoxValue(b, 200 + c))
                return fail(NotANumberText(GridBoxCaption(200 + c), b.field(200 + c)), area);
        }
        return elapsedTime();
    }
    bool count(int index) {
        const QString& text = b.field(index);
        // The element count is the product of the two boxes below it, which are the ones to change.
        const FocusTarget focus = FocusTarget::field(index < 200 ? index + 300 : index);
        if (text.trimmed().isEmpty()) return fail(GetMlString(1200, EmptyBoxMessage), focus);
        if (CountBoxValue(text)) return true;
        return fail(NotAWholeNumberText(GridBoxCaption(index), text, 0, MaxCount), focus);
    }
    bool trains() {
        if (!CountBoxValue(b.txtNumTrains, 1))
            return fail(NotAWholeNumberText(NumTrainsCaption(), b.txtNumTrains, 1, MaxCount),
                        {FocusTarget::NumTrains, 0});
        const std::optional<int> train = CountBoxValue(b.txtTrainNumber, int(schema::TrainNumbers.least));
        if (!train || !schema::TrainNumbers.holds(*train))
            return fail(
                Refusal::outOfRange(TrainNumberCaption(), b.txtTrainNumber, schema::TrainNumbers).text,
                {FocusTarget::TrainNumber, 0});
        return true;
    }
    bool elapsedTime() {
        const FocusTarget box{FocusTarget::ElapsedTime, 0};
        if (b.txtElapsedTime.trimmed().isEmpty()) return fail(GetMlString(1200, EmptyBoxMessage), box);
        if (ElapsedTimeValue(b)) return true;
        return fail(NotANumberText(ElapsedTimeCaption(), b.txtElapsedTime), box);
    }

    // The flux of a grid column, when both the flow and the area are above 0.
    void flux(int column, double flow, double area) {
        if (flow > 0 && area > 0)
            b.field(300 + column) = ValueText(FluxFromSI(FlowToSI(flow / area, p.FlowUnit), p.FluxUnit));
    }

    // The rejection needs the concentrate's conductivity, which nothing typed gives.
    void recoveryAndRejection() {
        f.ConcuS = MassBalanceConcuS(f);
        show(18, RecoveryText(f.PermFlow, f.FeedFlow));
        show(20, RejectionText(f.PermuS, f.ConcuS, f.FeeduS));
    }

    // The checks both validations share, each value stored before its test.
    bool commonValues() {
        if (!take(f.ConcFlow, 2, GetMlString(1201, "Concentrate Flow must > 0"))) return false;
        if (!take(f.FeedPressure, 3, GetMlString(1202, "Feed Pressure must > 0"))) return false;
        if (!take(f.ConcPressure, 4, GetMlString(1203, "Concentrate pressure must > 0"))) return false;
        if (!take(f.PermBackPress, 5, GetMlString(1204, "Permeate Backpressure must >= 0"), true))
            return false;
        if (!take(f.FeeduS, 6, GetMlString(1205, "Feed uSiemens must > 0"))) return false;
        if (!take(f.FeedTemp, 9, GetMlString(1206, "Feed Temp must > 0"))) return false;
        if (f.FeedTemp <= 32 && p.TemperatureUnit == 0)
            return failAt(GetMlString(1207, "Feed Temp (deg F) must > 32"), 9);
        f.RefpH = box(8);
        if (f.RefpH < 3 || f.RefpH > 13) return failAt(GetMlString(1208, "pH must be >= 3 and <= 13"), 8);
        return true;
    }

    // Bank 3's own values; with three banks they are part of the system's flows.
    bool bank3Values(bool concPressure2Positive) {
        if (!take(f.PermFlow_3, 22, "Perm Flow Bank 3 must > 0")) return false;
        f.AreaBank_3 = area(3);
        flux(3, f.PermFlow_3, f.AreaBank_3);
        if (!take(f.PermuS_3, 23, "Perm uSiemens Bank 3 must > 0")) return false;
        if (!take(f.FeedPressure_3, 24, "Feed pressure Bank 3 must > 0")) return false;
        if (!take(f.PermBackPress_3, 25, "Perm back pressure Bank 3 must >= 0", true)) return false;
        if (concPressure2Positive) {
            if (!take(f.ConcPressure_2, 26, "Conc pressure Bank 2 must > 0")) return false;
        }
        return true;
    }

    // One bank: the system's permeate flow and conductivity are the bank's own.
    bool oneBankFlows() {
        if (!take(f.PermFlow, 1, GetMlString(1222, "Perm Flow must be > 0"))) return false;
        if (!take(f.PermuS, 7, GetMlString(1211, "Perm uS must > 0"))) return false;
        if (f.FeeduS <= f.PermuS) return failAt(GetMlString(1223, "Feed uSiemens must > Permeate uS"), 6);
        f.AreaBank = area(0);
        flux(0, f.PermFlow, f.AreaBank);
        show(14, f.PermFlow);
        show(15, f.PermFlow);
        f.FeedFlow = f.PermFlow + f.ConcFlow;
        show(16, f.FeedFlow);
        recoveryAndRejection();
        return true;
    }

    // Bank 2's pressures; the wizard with system data also wants the feed above the end
    // concentrate pressure.
    bool bank2Pressures(const QString& feedMessage, bool feedAboveConc) {
        f.FeedPressure_2 = box(12);
        if (f.FeedPressure_2 <= 0 || (feedAboveConc && f.FeedPressure_2 < f.ConcPressure))
            return failAt(feedMessage, 12);
        if (!take(f.PermBackPress_2, 13, GetMlString(1214, "Perm Back Pressure 2 must > 0"), true))
            return false;
        return true;
    }

    // System data: the system's permeate flow and conductivity are typed, bank 1's flow is
    // what the other banks leave of it.
    bool systemFlows(const QString& feedPressure2Message, bool feedAboveConc) {
        if (!take(f.PermFlow, 1, GetMlString(1209, "Perm Flow must > 0"))) return false;
        show(14, f.PermFlow);
        if (!take(f.PermFlow_2, 10, GetMlString(1210, "Perm Flow 2 must > 0"))) return false;
        f.PermFlow_1 = f.PermFlow - f.PermFlow_2 - (f.NumBanks >= 3 ? box(22) : 0.0);
        show(15, f.PermFlow_1);
        if (f.PermFlow_1 <= 0) return failAt("Perm Flow 1 must > 0", 1);
        f.AreaBank_1 = area(1);
        flux(1, f.PermFlow_1, f.AreaBank_1);
        if (!take(f.PermuS, 7, GetMlString(1211, "Perm uS must > 0"))) return false;
        if (!take(f.PermuS_2, 11, GetMlString(1212, "Perm uS 2 must > 0"))) return false;
        if (!bank2Pressures(feedPressure2Message, feedAboveConc)) return false;
        if (f.FeeduS <= f.PermuS) return failAt(GetMlString(1215, "Feed uSiemens must > permeate uS"), 6);
        f.FeedFlow = f.PermFlow + f.ConcFlow;
        show(16, f.FeedFlow);
        show(17, f.FeedFlow - f.PermFlow_1);
        recoveryAndRejection();
        return true;
    }

    // Data per bank: banks 1 and 2 each have their own flow and conductivity.
    bool bankFlows(const QString& feedPressure2Message) {
        if (!take(f.PermFlow_1, 1, GetMlString(1216, "Perm Flow Bank 1 must > 0"))) return false;
        f.AreaBank_1 = area(1);
        flux(1, f.PermFlow_1, f.AreaBank_1);
        if (!take(f.PermFlow_2, 10, GetMlString(1210, "Perm Flow 2 must > 0"))) return false;
        if (!take(f.PermuS_1, 7, GetMlString(1217, "Perm uS 1 must > 0"))) return false;
        if (!take(f.PermuS_2, 11, GetMlString(1212, "Perm uS 2 must > 0"))) return false;
        if (!bank2Pressures(feedPressure2Message, false)) return false;
        if (f.FeeduS <= f.PermuS_1)
            return failAt(GetMlString(1219, "Feed uSiemens must > Permeate Bank 1 uS"), 6);
        return true;
    }

    // System totals over two banks typed per bank.
    void twoBankTotals() {
        f.PermFlow = f.PermFlow_1 + f.PermFlow_2;
        show(14, f.PermFlow);
        show(15, f.PermFlow_1);
        f.FeedFlow = f.PermFlow + f.ConcFlow;
        show(16, f.FeedFlow);
        show(17, f.FeedFlow - f.PermFlow_1);
        f.PermuS = (f.PermuS_1 * f.PermFlow_1 + f.PermuS_2 * f.PermFlow_2) / f.PermFlow;
        recoveryAndRejection();
    }

    // System totals over the three banks.
    void threeBankTotals() {
        f.PermFlow = f.PermFlow_1 + f.PermFlow_2 + f.PermFlow_3;
        show(14, f.PermFlow);
        f.FeedFlow = f.PermFlow + f.ConcFlow;
        show(16, f.FeedFlow);
        show(17, f.FeedFlow - f.PermFlow_1);
        f.PermuS = f.PermFlow > 0
                       ? (f.PermuS_2 * f.PermFlow_2 + f.PermuS_1 * f.PermFlow_1 + f.PermuS_3 * f.PermFlow_3) /
                             f.PermFlow
                       : 0;
        recoveryAndRejection();
    }
};

std::vector<int> boxesToFill(int banks, bool withSystemFlow) {
    std::vector<int> boxes;
    const int last = banks <= 1 ? 9 : (withSystemFlow ? 14 : 13);
    for (int i = 1; i <= last; ++i)
        boxes.push_back(i);
    if (banks >= 2) boxes.push_back(21);
    if (banks >= 3)
        for (int i = 22; i <= 26; ++i)
            boxes.push_back(i);
    return boxes;
}

} // namespace

ValidationResult ValidatenewData(Program& p, ProjectBoxes& b, FormProjectRecord& f) {
    ValidationResult out;
    Checker k{p, b, f, {}};
    const auto stop = [&]() {
        out.stopped = true;
        out.dataValid = false;
        out.focus = k.result.focus;
        return out;
    };

    b.txtNumTrains = TrainBoxText(b.txtNumTrains);
    // A negative elapsed time is kept: the wizard's finish has asked about it already.
    if (!k.trains() || !k.elapsedTime()) return stop();
    if (!ParseEntryDate(b.txtData[0])) {
        k.failAt(GetMlString(1237, "You need a valid reference date.") + "\r\n" +
                     ReferenceDateNamed(b.txtData[0]),
                 0);
        return stop();
    }
    const int banks = f.NumBanks;
    if (!k.noEmptyBox(boxesToFill(banks, true))) return stop();
    if (!k.numbers(boxesToFill(banks, false), banks)) return stop();
    if (!k.commonValues()) return stop();

    if (banks >= 2 && b.chkSystemData) {
        if (!k.systemFlows(GetMlString(1238, "Feed Pressure 2 must > 0"), false)) return stop();
    } else if (banks >= 2) {
        if (!k.bankFlows(GetMlString(1238, "Feed Pressure 2 must > 0"))) return stop();
        if (banks >= 3) {
            // Bank 3 is part of the system's flow, recovery and rejection.
            if (!k.bank3Values(false)) return stop();
            k.threeBankTotals();
        } else {
            k.twoBankTotals();
        }
        k.show(15, f.PermFlow_1);
    }

    if (banks == 2) {
        f.ConcPressure_1 = k.box(21);
        if (f.ConcPressure_1 < 0) return k.failAt(GetMlString(1239, "Conc Pressure 1 must > 0"), 21), stop();
        f.DeltaPress = (f.FeedPressure - f.ConcPressure_1) + (f.FeedPressure_2 - f.ConcPressure);
        k.show(19, f.DeltaPress);
        if (f.DeltaPress <= 0)
            return k.failAt(GetMlString(
                                1240, "System DP is negative!  Please make sure Pressures are > 0 and Feed > "
                                      "Conc Pressure_1 and Feed Pressure_2 > Concentrate."),
                            21),
                   stop();
    } else if (banks >= 3) {
        f.ConcPressure_1 = k.box(21);
        if (f.ConcPressure_1 < 0) return k.failAt(GetMlString(1239, "Conc Pressure 1 must > 0"), 21), stop();
        f.ConcPressure_2 = k.box(26);
        if (f.ConcPressure_2 < 0) return k.failAt("Conc Pressure 2 must > 0", 26), stop();
        f.DeltaPress = (f.FeedPressure - f.ConcPressure_1) + (f.FeedPressure_2 - f.ConcPressure_2) +
                       (k.box(24) - f.ConcPressure);
        k.show(19, f.DeltaPress);
        if (f.DeltaPress <= 0)
            return k.failAt("System DP is negative!  Please make sure Pressures are > 0 and Feed > Conc "
                            "Pressure_1 "
                            "and Feed Pressure_2 > Concentrate.",
                            21),
                   stop();
    } else {
        if (!k.oneBankFlows()) return stop();
        f.DeltaPress = f.FeedPressure - f.ConcPressure;
        k.show(19, f.DeltaPress);
        if (f.DeltaPress <= 0)
            return k.failAt(
                       GetMlString(1224,
                                   "System DP is negative!  Please make sure Feed Pressure and Concentrate "
                                   "are > 0 and Feed > Concentrate."),
                       3),
                   stop();
    }

    // Every bank in use needs elements: an area of 0 would break every later normalization.
    int emptyColumn = -1;
    if (banks <= 1) {
        if (CountBoxValue(b.field(100)).value_or(0) <= 0) emptyColumn = 0;
    } else {
        for (int c = 1; c <= std::min(banks, 3) && emptyColumn < 0; ++c)
            if (CountBoxValue(b.field(100 + c)).value_or(0) <= 0) emptyColumn = c;
    }
    if (emptyColumn >= 0) {
        p.prompts.message(GetMlString(1241, "Number of Elements must be > 0. please check"), Buttons::OK,
                          Icon::None);
        out.dataValid = false;
        out.focus = FocusTarget::field(400 + emptyColumn);
    }
    return out;
}

CheckResult WizardStep7Checks(Program& p, ProjectBoxes& b, FormProjectRecord& f, bool& wizardDone) {
    Checker k{p, b, f, {}};
    const int banks = f.NumBanks;
    if (!k.noEmptyBox(boxesToFill(banks, false))) return k.result;
    if (!k.numbers(boxesToFill(banks, false), banks)) return k.result;
    if (!k.commonValues() || !k.oneBankFlows()) return k.result;
    if (banks <= 1)
        f.DeltaPress = f.FeedPressure - f.ConcPressure;
    else if (banks == 2)
        f.DeltaPress = f.FeedPressure - f.ConcPressure_1 + f.FeedPressure_2 - f.ConcPressure;
    else
        f.DeltaPress = f.FeedPressure - f.ConcPressure_1 + f.FeedPressure_2 - f.ConcPressure_2 +
                       f.FeedPressure_3 - f.ConcPressure;
    if (banks <= 1) return k.result;

    const QString dpMessage =
        "System DP is negative!  Please make sure Feed Pressure and Concentrate are > 0 and "
        "FeedPressure > ConcPressure_1 and FeedPressure_2 > Concpressure.";
    if (b.chkSystemData) {
        if (!k.systemFlows(GetMlString(1213,
                                       "Feed Pressure 2 must > 0 and must be greater than end concentrate "
                                       "pressure"),
                           true))
            return k.result;
        f.ConcPressure_1 = k.box(21);
        f.DeltaPress = f.FeedPressure - f.ConcPressure_1 + f.FeedPressure_2 - f.ConcPressure;
        k.show(19, f.DeltaPress);
        if (f.DeltaPress <= 0) return k.failAt(GetMlString(1220, dpMessage), 3), k.result;
        if (f.ConcPressure_1 < 0)
            return k.failAt(GetMlString(1221, "Conc Pressure 1 must > 0"), 21), k.result;
    } else {
        if (!k.bankFlows(GetMlString(1218,
                                     "Feed Pressure 2 must > 0 and must be less than the bank concentrate "
                                     "pressure")))
            return k.result;
        f.ConcPressure_1 = k.box(21);
        k.twoBankTotals();
        if (banks == 2) {
            f.DeltaPress = f.FeedPressure - f.ConcPressure_1 + f.FeedPressure_2 - f.ConcPressure;
            k.show(19, f.DeltaPress);
            if (f.DeltaPress <= 0) return k.failAt(GetMlString(1220, dpMessage), 3), k.result;
        }
        if (f.ConcPressure_1 < 0)
            return k.failAt(GetMlString(1221, "Conc Pressure 1 must > 0"), 21), k.result;
    }
    f.AreaBank = f.AreaBank_1 + f.AreaBank_2;
    wizardDone = true;
    if (banks < 3) return k.result;

    if (!k.bank3Values(true)) return k.result;
    k.threeBankTotals();
    f.DeltaPress = f.FeedPressure - f.ConcPressure_1 + f.FeedPressure_2 - f.ConcPressure_2 +
                   f.FeedPressure_3 - f.ConcPressure;
    k.show(19, f.DeltaPress);
    if (f.DeltaPress <= 0) return k.failAt(dpMessage, 3), k.result;
    wizardDone = true;
    return k.result;
}

CheckResult WizardFinishChecks(Program& p, ProjectBoxes& b, FormProjectRecord& f) {
    Checker k{p, b, f, {}};
    if (auto date = ParseEntryDate(b.txtData[0])) {
        f.DateReference = *date;
    } else {
        // The same words as the validation: a bad date is said once, and the finish stops there.
        return k.failAt(GetMlString(1237, "You need a valid reference date.") + "\r\n" +
                            ReferenceDateNamed(b.txtData[0]),
                        0),
               k.result;
    }
    if (!k.elapsedTime()) return k.result;
    f.ElapsedTimeRef = ElapsedTimeValue(b).value_or(0.0);
    if (f.ElapsedTimeRef < 0) {
        const Answer a =
            p.prompts.message(GetMlString(1232, "Elapsed time is negative? OK to accept, Cancel to reenter."),
                              Buttons::OKCancel, Icon::None);
        if (a != Answer::OK) {
            k.result.stopped = true;
            k.result.focus = {FocusTarget::ElapsedTime, 0};
            return k.result;
        }
    }
    // The operating values as typed in their boxes.
    using R = FormProjectRecord;
    const std::pair<int, double R::*> typed[] = {
        {16, &R::FeedFlow},       {14, &R::PermFlow},        {15, &R::PermFlow_1},   {2, &R::ConcFlow},
        {3, &R::FeedPressure},    {4, &R::ConcPressure},     {5, &R::PermBackPress}, {6, &R::FeeduS},
        {8, &R::RefpH},           {9, &R::FeedTemp},         {10, &R::PermFlow_2},   {11, &R::PermuS_2},
        {12, &R::FeedPressure_2}, {13, &R::PermBackPress_2},
    };
    for (const auto& [box, value] : typed)
        f.*value = k.box(box);
    f.PermBackPress_1 = f.PermBackPress;
    if (b.chkSystemData) {
        f.PermuS = k.box(7);
    } else {
        f.PermuS_1 = k.box(7);
        if (f.PermFlow <= 0)
            return k.fail(
                       GetMlString(1233, "Overall PermFlow was ") + ValueText(f.PermFlow) +
                           GetMlString(
                               1234, " which is not allowed. Please check Permeat Flow information again. "),
                       {}),
                   k.result;
        f.PermuS = (f.PermuS_2 * f.PermFlow_2 + f.PermFlow_1 * f.PermuS_1) / f.PermFlow;
    }

    const QString tail = " which is not allowed for an OPERATING data point. Please check you input.";
    struct Test {
        bool failed;
        long id;
        QString text;
    };
    const bool twoBanks = f.NumBanks == 2;
    const Test tests[] = {
        {f.FeedPressure <= 0, 1235, "Feed Pressure is <=0" + tail},
        {f.ConcPressure <= 0, 529, "Conc Pressure is <=0" + tail},
        {f.PermFlow <= 0, 533, "Perm Flow is <=0" + tail},
        {f.ConcFlow <= 0, 532, "Concentrate Flow is <=0" + tail},
        {f.PermuS <= 0, 534, "Perm uSiemens is <=0" + tail},
        {f.FeeduS <= 0, 535, "Feed uSiemens is <=0" + tail},
        {twoBanks && f.FeedPressure_2 <= 0, 536, "Feed Pressure for Bank 2 is <=0" + tail},
        {twoBanks && f.FeedPressure_2 < f.ConcPressure, 537,
         "Feed Pressure for Bank 2 is < End Concentrate Pressure which is not allowed for an OPERATING "
         "two-bank data "
         "point. Please check you input."},
        {twoBanks && f.PermFlow_2 <= 0, 538, "PermFlow for Bank 2 is <=0" + tail},
        {f.FeedTemp <= 32 && f.unitTemp == 0, 539,
         "Temperature is <= 32F which is not allowed for an OPERATING two-bank data point. Please check you "
         "input."},
    };
    for (const Test& t : tests) {
        if (!t.failed) continue;
        p.prompts.message(GetMlString(t.id, t.text), Buttons::OK, Icon::None);
        break;
    }
    return k.result;
}

} // namespace hv
