#include <QtTest>

#include "core/datatables.h"
#include "core/numbers.h"
#include "core/typedinput.h"
#include "platform/database.h"
#include "projects/elementgrid.h"
#include "projects/formdata.h"
#include "projects/projectdisplay.h"
#include "projects/projectlist.h"
#include "projects/projectstore.h"
#include "projects/projecttext.h"
#include "projects/referencechecks.h"
#include "projects/unitchoice.h"
#include "projecttestsupport.h"

using namespace hv;

namespace {

// Boxes of a valid one-bank train (m3/hr, deg C, bar).
ProjectBoxes oneBank() {
    ProjectBoxes b;
    b.txtData[0] = "2026-01-15 10:30:00";
    const char* v[10] = {"", "75", "25", "10", "8", "0.5", "1000", "10", "7", "25"};
    for (int i = 1; i < 10; ++i)
        b.txtData[size_t(i)] = v[i];
    b.field(400) = "10";
    b.field(500) = "6";
    b.field(100) = "60";
    b.field(200) = "2232";
    return b;
}

ProjectBoxes twoBanks(bool systemData) {
    ProjectBoxes b = oneBank();
    b.chkSystemData = systemData;
    b.chk2Bank = true;
    b.txtData[1] = systemData ? "100" : "60";
    b.txtData[7] = systemData ? "10" : "5";
    b.txtData[10] = "40";
    b.txtData[11] = "20";
    b.txtData[12] = "9";
    b.txtData[13] = "0";
    b.txtData[14] = "100";
    b.txtData[21] = "9.5";
    b.field(401) = "7";
    b.field(501) = "6";
    b.field(101) = "42";
    b.field(402) = "3";
    b.field(502) = "6";
    b.field(102) = "18";
    b.field(201) = "1562.4";
    b.field(202) = "669.6";
    return b;
}

ProjectBoxes threeBanks() {
    ProjectBoxes b = twoBanks(false);
    b.chk2Bank = false; // the wizard leaves it unticked for three banks
    b.txtData[22] = "20";
    b.txtData[23] = "40";
    b.txtData[24] = "8.5";
    b.txtData[25] = "0";
    b.txtData[26] = "8.8";
    b.field(403) = "2";
    b.field(503) = "6";
    b.field(103) = "12";
    b.field(203) = "446.4";
    return b;
}

FormProjectRecord withBanks(int n) {
    FormProjectRecord f;
    f.NumBanks = qint16(n);
    return f;
}

} // namespace

class TestProjectLogic : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void projectListSelectsTheCurrentTrain() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ProjectListing l = ListProjectTrains(p, true);
        QCOMPARE(l.items, QStringList({"START NEW PROJECT", "NO PROJECTS FOUND - CREATE A NEW PROJECT"}));
        QVERIFY(!l.keys.at(0) && !l.keys.at(1));
        QCOMPARE(l.selected, 0);
        const QString db = p.ProjectDatabasePath;
        test::insertProjectInfo(db, 1, {{"ProjectID", "Beta"}, {"TrainNumber", 1}});
        test::insertProjectInfo(db, 1, {{"ProjectID", "Alpha"}, {"TrainNumber", 2}});
        test::insertProjectInfo(db, 1, {{"ProjectID", "Alpha"}, {"TrainNumber", 1}});
        p.CurrentProject.ProjectID = "Alpha";
        p.CurrentProject.TrainNumber = 2;
        test::insertProjectInfo(db, 1, {{"ProjectID", "Alpha Train:2"}, {"TrainNumber", 1}});
        l = ListProjectTrains(p, false);
        QCOMPARE(l.items,
                 QStringList({"Alpha Train:1", "Alpha Train:2", "Alpha Train:2 Train:1", "Beta Train:1"}));
        QCOMPARE(l.selected, 1);
        // Each item carries its own key, whatever its ID holds.
        QCOMPARE(l.keys.size(), size_t(4));
        QCOMPARE(*l.keys.at(2), (ProjectTrainKey{"Alpha Train:2", 1}));
        QCOMPARE(*l.keys.at(1), (ProjectTrainKey{"Alpha", 2}));
        p.CurrentProject.ProjectID = "alpha"; // the list compares case-sensitively
        QCOMPARE(ListProjectTrains(p, false).selected, 0);
        QCOMPARE(ListProjectTrains(p, true).selected, 0);
        QCOMPARE(ElementModels(p), QStringList({"HV-TEST A", "HV-TEST B", "HV-TEST C"}));
    }

    void formDataOneBank() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ApplyUnitPreset(p, UnitPreset::CMH);
        ProjectBoxes b = oneBank();
        b.txtData[14] = "1";
        b.txtNewProject = "Plant 'A'";
        b.txtNumTrains = "3";
        b.txtTrainNumber = "2";
        b.cboElements = {1, 0, 0, 0};
        FormProjectRecord f = withBanks(1);
        GetFormData(p, b, f);
        QCOMPARE(f.ProjectID, QString("Plant 'A'"));
        QCOMPARE(f.NumTrains, qint16(3));
        QCOMPARE(f.TrainNumber, qint16(2));
        QCOMPARE(f.DateReference, QDateTime(QDate(2026, 1, 15), QTime(10, 30)));
        QCOMPARE(f.FeedFlow, 100.0);
        QCOMPARE(f.ConcuS, 3970.0);
        QCOMPARE(f.OverallRecovery, 0.75);
        QCOMPARE(f.AvgConc, 2485.0);
        QVERIFY(qAbs(f.CapacityM3D - 24) < 0.01);
        QCOMPARE(f.DeltaPress, 2.0);
        QCOMPARE(f.ElementType, qint16(1));
        QCOMPARE(f.NumElementsBank, qint16(60));
        QCOMPARE(f.AreaBank, 2232.0);
        QCOMPARE(f.unitFlow, qint16(13));
        QCOMPARE(f.unitPress, qint16(7));
        QCOMPARE(f.uStoPPM, 0.5);
        QCOMPARE(f.Density, 1.0);
        b.txtData[3] = "5"; // feed below concentrate
        GetFormData(p, b, f);
        QCOMPARE(f.DeltaPress, 0.0);
        b.txtData[2] = "0"; // no concentrate flow: no conductivity rather than a division by zero
        GetFormData(p, b, f);
        QCOMPARE(f.ConcuS, 0.0);
    }

    void formDataTwoBanks() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ProjectBoxes b = twoBanks(true);
        b.cboElements = {2, 1, 0, 0};
        FormProjectRecord f = withBanks(2);
        GetFormData(p, b, f);
        QCOMPARE(f.PermFlow_1, 60.0);
        QVERIFY(qAbs(f.PermuS_1 - 200.0 / 60) < 1e-9);
        QCOMPARE(f.FeedFlow, 125.0);
        QCOMPARE(f.ElementType, qint16(1)); // bank 1's, not list 0's
        QCOMPARE(f.NumElementsBank, qint16(60));
        QCOMPARE(f.AreaBank, 1562.4 + 669.6);
        QCOMPARE(f.DeltaPress_1, 0.5);
        QCOMPARE(f.DeltaPress_2, 1.0);
        QCOMPARE(f.DeltaPress, 1.5);
        QCOMPARE(f.PermBackPress_1, 0.5);

        b = twoBanks(false);
        GetFormData(p, b, f);
        QCOMPARE(f.PermFlow, 100.0);
        QCOMPARE(f.PermuS, 11.0);
        QCOMPARE(f.FeedFlow, 125.0);
        QCOMPARE(f.PermFlow_1, 60.0);
    }

    void formDataThreeBanks() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ApplyUnitPreset(p, UnitPreset::CMH);
        ProjectBoxes b = threeBanks();
        b.txtData[14] = "100"; // banks 1 and 2 only, as an earlier display may have left it
        b.cboElements = {0, 2, 1, 1};
        FormProjectRecord f = withBanks(3);
        GetFormData(p, b, f);
        QCOMPARE(f.PermFlow, 120.0);
        QCOMPARE(f.FeedFlow, 145.0);
        QCOMPARE(f.PermuS, (5 * 60 + 20 * 40 + 40 * 20) / 120.0);
        QCOMPARE(f.ElementType, qint16(2)); // ElementType_1, never the disabled list 0
        QCOMPARE(f.ElementType_3, qint16(1));
        QCOMPARE(f.NumElementsBank, qint16(72));
        QVERIFY(qAbs(f.AreaBank - (1562.4 + 669.6 + 446.4)) < 1e-9);
        QVERIFY(qAbs(f.CapacityM3D - 120 * 24) < 0.1); // bank 3 included
        QCOMPARE(f.DeltaPress_2, 0.2);
        QVERIFY(qAbs(f.DeltaPress_3 - 0.5) < 1e-9);
        b.txtData[24] = "7"; // bank 3 feed below the final concentrate: negative, not limited
        GetFormData(p, b, f);
        QCOMPARE(f.DeltaPress_3, -1.0);

        // System data: the typed system values stand, bank 1 is what banks 2 and 3 leave.
        b = threeBanks();
        b.chkSystemData = true;
        b.txtData[1] = "100";
        b.txtData[7] = "30";
        b.txtData[14] = "100";
        f = withBanks(3);
        GetFormData(p, b, f);
        QCOMPARE(f.PermFlow, 100.0);
        QCOMPARE(f.PermFlow_1, 40.0);
        QCOMPARE(f.FeedFlow, 125.0);
        QCOMPARE(f.PermuS, 30.0);
        QCOMPARE(f.PermuS_1, (3000 - 40 * 20 - 20 * 40) / 40.0);
        QVERIFY(qAbs(f.CapacityM3D - 100 * 24) < 0.1);
    }

    void validationLimits_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tempUnit");
        QTest::addColumn<QString>("message");
        const QString c = "C";
        QTest::newRow("pH 3") << c << 8 << "3" << 1 << "";
        QTest::newRow("pH 13") << c << 8 << "13" << 1 << "";
        QTest::newRow("pH 2.9") << c << 8 << "2.9" << 1 << "pH must be >= 3 and <= 13";
        QTest::newRow("pH 13.1") << c << 8 << "13.1" << 1 << "pH must be >= 3 and <= 13";
        QTest::newRow("32 F") << c << 9 << "32" << 0 << "Feed Temp (deg F) must > 32";
        QTest::newRow("32 C") << c << 9 << "32" << 1 << "";
        QTest::newRow("0 C") << c << 9 << "0" << 1 << "Feed Temp must > 0";
        QTest::newRow("back pressure 0") << c << 5 << "0" << 1 << "";
        QTest::newRow("back pressure -0.1") << c << 5 << "-0.1" << 1 << "Permeate Backpressure must >= 0";
        QTest::newRow("space") << c << 2 << " " << 1 << "Concentrate Flow must > 0";
        QTest::newRow("empty") << c << 5 << "" << 1
                               << "You must enter data for every field, even if 0. Please try again";
        QTest::newRow("DP 0") << c << 3 << "8" << 1 << "System DP is negative!";
        QTest::newRow("feed uS") << c << 6 << "10" << 1 << "Feed uSiemens must > Permeate uS";
        QTest::newRow("no perm flow") << c << 1 << "0" << 1 << "Perm Flow must be > 0";
        // A text the number reader refuses is named with its box, never read as 0.
        const QString back = "Ref Permeate BackPressure  (System / Bank 1) holds ";
        QTest::newRow("UK word") << "en_GB" << 5 << "abc" << 1 << back + "\"abc\", which is not a number.";
        QTest::newRow("UK comma") << "en_GB" << 5 << "0,5" << 1 << back + "\"0,5\", which is not a number.";
        QTest::newRow("UK comma flow")
            << "en_GB" << 1 << "2,5" << 1
            << "Reference Permeate Flow (System / Bank 1) holds \"2,5\", which is not a number.";
        QTest::newRow("German point") << "de_DE" << 2 << "25.5" << 1 << "";
        QTest::newRow("German comma") << "de_DE" << 5 << "0,5" << 1 << "";
        QTest::newRow("German word")
            << "de_DE" << 2 << "25 m3" << 1
            << "Reference Concentrate Flow (System) holds \"25 m3\", which is not a number.";
    }

    void validationLimits() {
        QFETCH(QString, locale);
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(int, tempUnit);
        QFETCH(QString, message);
        QLocale::setDefault(locale == "C" ? QLocale::c() : QLocale(locale));
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        p.TemperatureUnit = qint16(tempUnit);
        ProjectBoxes b = oneBank();
        b.txtData[size_t(box)] = text;
        FormProjectRecord f = withBanks(1);
        if (!message.isEmpty()) env.prompts.onMessage(message, Buttons::OK, "Hevrin", Answer::OK);
        const ValidationResult r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(r.dataValid, message.isEmpty());
        QCOMPARE(r.stopped, !message.isEmpty());
        if (!message.isEmpty() && !message.startsWith("System DP"))
            QCOMPARE(r.focus, FocusTarget::data(box == 1 ? 1 : box));
        if (!message.endsWith("which is not a number.")) return;
        // The wizard refuses it alike.
        b = oneBank();
        b.txtData[size_t(box)] = text;
        bool done = false;
        env.prompts.onMessage(message, Buttons::OK, "Hevrin", Answer::OK);
        QCOMPARE(WizardStep7Checks(p, b, f, done).focus, FocusTarget::data(box));
        QCOMPARE(env.prompts.verify(), QString());
    }

    void validationFillsTheDerivedBoxes() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ProjectBoxes b = oneBank();
        b.txtData[2] = "50%"; // a percent sign divides by 100
        FormProjectRecord f = withBanks(1);
        ValidationResult r = ValidatenewData(p, b, f);
        QVERIFY(r.dataValid);
        QCOMPARE(f.ConcFlow, 0.5);
        QCOMPARE(b.txtData[14], FormatValue(75.0));
        QCOMPARE(b.txtData[16], FormatValue(75.5));
        QCOMPARE(b.txtData[19], FormatValue(2.0));
        QVERIFY(!b.field(300).isEmpty() && b.field(300) != "0");

        // Only the date bad: one message naming the box and what it holds.
        b = oneBank();
        b.txtData[0] = "not a date";
        env.prompts.onMessage(
            "You need a valid reference date.\r\nReference Date and Time - you entered: not a date",
            Buttons::OK, "Hevrin", Answer::OK);
        r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!r.dataValid);
        QCOMPARE(r.focus, FocusTarget::data(0));

        b = oneBank();
        b.txtNumTrains = "0";
        b.txtElapsedTime = "-5";
        ValidatenewData(p, b, f);
        QCOMPARE(b.txtNumTrains, QString("1"));
        QCOMPARE(b.txtElapsedTime, QString("-5")); // the wizard asked about it; the answer stands

        b = oneBank();
        b.txtElapsedTime = "12 h";
        env.prompts.onMessage("Hours Elapsed Time holds \"12 h\", which is not a number.", Buttons::OK,
                              "Hevrin", Answer::OK);
        r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!r.dataValid);
        QCOMPARE(r.focus.kind, FocusTarget::ElapsedTime);
    }

    void validationByBankLayout() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        // System plus bank 2: a bank-2 flow equal to the system flow leaves bank 1 nothing.
        ProjectBoxes b = twoBanks(true);
        b.txtData[10] = "100";
        FormProjectRecord f = withBanks(2);
        env.prompts.onMessage("Perm Flow 1 must > 0", Buttons::OK, "Hevrin", Answer::OK);
        ValidationResult r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(r.stopped);
        QCOMPARE(r.focus, FocusTarget::data(1));
        QCOMPARE(b.txtData[15], FormatValue(0.0));

        b = twoBanks(false);
        r = ValidatenewData(p, b, f);
        QVERIFY(r.dataValid);
        QCOMPARE(b.txtData[14], FormatValue(100.0));
        QCOMPARE(f.PermuS, 11.0);
        QCOMPARE(b.txtData[19], FormatValue(1.5));

        // Three banks: bank 3 is part of the system's flow, recovery and rejection.
        b = threeBanks();
        f = withBanks(3);
        r = ValidatenewData(p, b, f);
        QVERIFY(r.dataValid);
        QCOMPARE(b.txtData[14], FormatValue(120.0));
        QCOMPARE(b.txtData[18], FormatValue(120 * 100 / 145.0));
        QCOMPARE(f.PermuS, (5 * 60 + 20 * 40 + 40 * 20) / 120.0);

        b.chkSystemData = true;
        b.txtData[1] = "100";
        r = ValidatenewData(p, b, f);
        QVERIFY(r.dataValid);
        QCOMPARE(b.txtData[15], FormatValue(40.0)); // what banks 2 and 3 leave of the system
        b = threeBanks();
        b.txtData[22] = "0";
        env.prompts.onMessage("Perm Flow Bank 3 must > 0", Buttons::OK, "Hevrin", Answer::OK);
        r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(r.focus, FocusTarget::data(22));

        // Element counts of every bank in use, bank 3 too.
        b = threeBanks();
        b.field(103) = "0";
        env.prompts.onMessage("Number of Elements must be > 0. please check", Buttons::OK, "Hevrin",
                              Answer::OK);
        r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!r.dataValid);
        QVERIFY(!r.stopped);
        QCOMPARE(r.focus, FocusTarget::field(403));
    }

    void wizardChecks() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ProjectBoxes b = threeBanks();
        b.txtData[26] = "0"; // the wizard wants an interstage pressure above 0 here
        FormProjectRecord f = withBanks(3);
        bool done = false;
        env.prompts.onMessage("Conc pressure Bank 2 must > 0", Buttons::OK, "Hevrin", Answer::OK);
        CheckResult r = WizardStep7Checks(p, b, f, done);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(r.stopped);
        QVERIFY(done); // banks 1 and 2 passed before bank 3's checks
        QCOMPARE(r.focus, FocusTarget::data(26));

        b = threeBanks();
        done = false;
        r = WizardStep7Checks(p, b, f, done);
        QVERIFY(!r.stopped);
        QCOMPARE(b.txtData[14], FormatValue(120.0));

        // Finish with data per bank: the system conductivity is the flow-weighted mean.
        b = twoBanks(false);
        b.txtData[7] = "100";
        b.txtData[11] = "300";
        b.txtData[15] = "30";
        b.txtData[10] = "10";
        b.txtData[14] = "40";
        b.txtData[16] = "65";
        f = withBanks(2);
        f.unitTemp = 1;
        r = WizardFinishChecks(p, b, f);
        QVERIFY(!r.stopped);
        QCOMPARE(f.PermuS, 150.0);
        QCOMPARE(f.DateReference, QDateTime(QDate(2026, 1, 15), QTime(10, 30)));

        b.txtElapsedTime = "-1";
        env.prompts.onMessage("Elapsed time is negative?", Buttons::OKCancel, "Hevrin", Answer::Cancel);
        r = WizardFinishChecks(p, b, f);
        QVERIFY(r.stopped);
        QCOMPARE(r.focus.kind, FocusTarget::ElapsedTime);

        b.txtElapsedTime = "1";
        b.txtData[12] = "7"; // bank 2 feed below the final concentrate
        env.prompts.onMessage("Feed Pressure for Bank 2 is < End Concentrate Pressure", Buttons::OK, "Hevrin",
                              Answer::OK);
        r = WizardFinishChecks(p, b, f);
        QVERIFY(!r.stopped);
        QCOMPARE(env.prompts.verify(), QString());
    }

    void gridAreasAndFluxes() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        p.FluxUnit = 3;
        ProjectBoxes b;
        b.field(400) = "10";
        b.field(500) = "6";
        VesselBoxLeft(b, 400);
        QCOMPARE(b.field(100), QString("60"));
        b.txtData[14] = "100";
        CalcFlux(p, b, 1, 12);
        QCOMPARE(b.field(200), FormatValue(2232.0));
        QCOMPARE(b.field(300), FormatValue(100 / 2232.0)); // by magnitude, as every flux is shown

        // Clearing the vessels: count 0, the old area and flux stay.
        b.field(400) = "";
        VesselBoxLeft(b, 400);
        CalcFlux(p, b, 1, 12);
        QCOMPARE(b.field(100), QString("0"));
        QCOMPARE(b.field(200), FormatValue(2232.0));
        b.field(400) = "200";
        b.field(500) = "200";
        VesselBoxLeft(b, 400); // beyond a 16-bit count: shown, for the checks to refuse
        QCOMPARE(b.field(100), QString("40000"));

        // Two and three banks: the system column holds the sum of the bank areas.
        b = ProjectBoxes();
        b.cboElements = {0, 0, 1, 2};
        b.field(101) = "10";
        b.field(102) = "5";
        b.field(103) = "10";
        b.txtData[14] = "100";
        b.txtData[15] = "60";
        b.txtData[10] = "40";
        b.txtData[22] = "20";
        p.FluxUnit = 1;
        CalcFlux(p, b, 2, 13);
        QCOMPARE(b.field(201), FormatValue(372.0));
        QCOMPARE(b.field(202), FormatValue(200.0));
        QCOMPARE(b.field(200), FormatValue(572.0));
        QCOMPARE(b.field(300), FormatValue(FluxOf(100, 572, 13, 1)));
        QCOMPARE(b.field(203), QString()); // bank 3 is not part of two banks
        ElementListLeft(p, b, 3, 3, 13);
        QCOMPARE(b.field(203), FormatValue(79.0));
        QCOMPARE(b.field(200), FormatValue(651.0));

        // An element list without a choice has no area: the column keeps its boxes.
        b.cboElements[1] = -1;
        b.field(201) = "keep";
        CalcFlux(p, b, 2, 13);
        QCOMPARE(b.field(201), QString("keep"));
    }

    void fluxInEachUnit() {
        // 1 m3/hr over 1 m2 is 1000 l/m2/hr and about 589 gal/ft2/day; 1 m3/day is 1000 l/m2/day.
        QVERIFY(qAbs(FluxOf(1, 1, 13, 1) - 1000) < 1);
        QVERIFY(qAbs(FluxOf(1, 1, 14, 2) - 1000) < 1);
        QVERIFY(qAbs(FluxOf(1, 1, 13, 0) - 589.0) < 1);
        QCOMPARE(FluxOf(1, 1, 12, 3), 1.0);
        // 100 gpm over 10 000 ft2 (929.03 m2) is 14.4 gal/ft2/day.
        QVERIFY(qAbs(FluxOf(100, 929.03, 4, 0) - 14.4) < 0.05);
    }

    void wizardElementCounts() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ProjectBoxes b;
        for (int i : {100, 200, 300, 400, 101, 201, 301, 401, 102, 202, 302, 402, 103, 203, 303, 403})
            b.field(i) = "0";
        b.cboElements = {0, 1, 0, 0};
        b.field(401) = "10";
        b.field(501) = "6";
        FormProjectRecord f = withBanks(2);
        WizardElementCounts(p, b, f);
        QCOMPARE(b.field(101), QString("60"));
        QCOMPARE(b.field(100), QString("60"));
        QCOMPARE(b.field(201), GeneralNumber(2400));
        QCOMPARE(b.field(400), QString("10"));
        QCOMPARE(f.AreaBank, 2400.0);
        QCOMPARE(f.NumElementsBank_2, qint16(0));
    }

    void storeCreatesReadsAndUpdates() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ApplyUnitPreset(p, UnitPreset::CMD);
        ProjectBoxes b = twoBanks(true);
        b.txtNewProject = "O'Brien's plant";
        b.txtDescription = "first";
        b.txtNumTrains = "3";
        b.txtTrainNumber = "2";
        FormProjectRecord f = withBanks(2);
        GetFormData(p, b, f);
        QVERIFY(InsertProjectTrains(p, f));
        QCOMPARE(f.TrainNumber, qint16(4));
        Database db = Database::open(p.ProjectDatabasePath);
        const DbRows rows =
            db.select("SELECT TrainNumber, NumTrains, Systemdata, refph FROM ProjectInfo WHERE "
                      "ProjectID = ? ORDER BY TrainNumber",
                      {"O'Brien's plant"});
        QCOMPARE(rows.count(), 3);
        QCOMPARE(rows.at(0).toInt16("TrainNumber"), qint16(2));
        QCOMPARE(rows.at(2).toInt16("TrainNumber"), qint16(4));
        QCOMPARE(rows.at(1).value("Systemdata").toInt(), -1);

        // A train that exists refuses the whole creation.
        FormProjectRecord again = f;
        again.ProjectID = "o'brien's PLANT"; // IDs compare without regard to case
        again.TrainNumber = 4;
        again.NumTrains = 2;
        env.prompts.onMessage("already exists", Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(!InsertProjectTrains(p, again));
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ProjectInfo").toInt(), 3);
        // Trains numbered past the largest refuse it too, naming the range.
        FormProjectRecord far = f;
        far.ProjectID = "Far";
        far.TrainNumber = 32766;
        far.NumTrains = 2;
        QVERIFY(InsertProjectTrains(p, far));
        far.ProjectID = "Farther";
        far.TrainNumber = 32767;
        env.prompts.onMessage("holds \"32768\", which is not a whole number from 1 to 32767.", Buttons::OK,
                              "Hevrin", Answer::OK);
        QVERIFY(!InsertProjectTrains(p, far));
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ProjectInfo").toInt(), 5);
        // The creating insert writes the description's columns in its order.
        QCOMPARE(ProjectInfoColumns(), schema::ProjectCreationColumns());

        FormProjectRecord read;
        read.Description = "kept";
        read.TrainsSame = true;
        QVERIFY(ReadProjectTrain(p, "O'Brien's plant", 3, read));
        QCOMPARE(read.TrainNumber, qint16(3));
        QCOMPARE(read.NumTrains, qint16(3));
        QCOMPARE(read.PermFlow_1, 60.0);
        QCOMPARE(read.unitFlow, qint16(14));
        QCOMPARE(read.DateReference, QDateTime(QDate(2026, 1, 15), QTime(10, 30)));
        QCOMPARE(read.Description, QString("first")); // the description is read and saved with the rest
        QVERIFY(read.TrainsSame);

        // An edit rewrites the reference data and leaves the creation-only columns.
        read.FeedTemp = 18;
        read.NumTrains = 9;
        read.Description = "changed";
        read.AvgConc = 1;
        UpdateProjectRow(p, read);
        const DbRow row = db.select("SELECT * FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = 3",
                                    {"O'Brien's plant"})
                              .first();
        QCOMPARE(row.toDouble("FeedTemp"), 18.0);
        QCOMPARE(row.toInt16("NumTrains"), qint16(3));
        QCOMPARE(row.toText("Description"), QString("changed"));
        QVERIFY(row.toDouble("AvgConc") != 1);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ProjectInfo WHERE FeedTemp = 18").toInt(), 1);

        read.TrainNumber = 7;
        try {
            UpdateProjectRow(p, read);
            QFAIL("a missing row was updated");
        } catch (const DbError& e) {
            QCOMPARE(e.number(), dberr::NoCurrentRecord);
        }
    }

    void readingNullsAndMissingRows() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertRow(p.ProjectDatabasePath, "ProjectInfo", {{"ProjectID", "Bare"}, {"TrainNumber", 1}});
        FormProjectRecord f;
        f.NumVessels_3 = 9;
        QVERIFY(ReadProjectTrain(p, "Bare", 1, f));
        QCOMPARE(f.FeedTemp, 25.0);
        QCOMPARE(f.RefpH, 7.0);
        QVERIFY(f.SystemData);
        QCOMPARE(f.unitFlow, qint16(4));
        QCOMPARE(f.NumVessels_3, qint16(0));
        QCOMPARE(f.DateReference, ZeroDate());
        f.ProjectID = "x";
        QVERIFY(!ReadProjectTrain(p, "NO PROJECTS FOUND - CREATE A NEW PROJECT", 1, f));
        QCOMPARE(f.ProjectID, QString());
        QCOMPARE(f.NumBanks, qint16(1));
    }

    void copyToCurrentProject() {
        test::TestEnv env;
        Program& p = env.prog();
        FormProjectRecord f;
        f.ProjectID = "P";
        f.TrainNumber = 2;
        f.NumElementsBank_3 = 300;
        f.DateReference = QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7));
        f.PermBackPress_3 = 1.5;
        f.RefpH = 8;
        p.CurrentProject.Description = "untouched";
        CopyToCurrentProject(p, f);
        QVERIFY(p.CurrentProjectLoaded);
        QCOMPARE(p.CurrentProject.ProjectID, QString("P"));
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(2));
        QCOMPARE(p.CurrentProject.NumElementsBank_3, 300);
        QCOMPARE(p.CurrentProject.DateReference, f.DateReference);
        QCOMPARE(p.CurrentProject.PermBackPress_3, 1.5);
        QCOMPARE(p.CurrentProject.Description, QString("untouched"));
    }

    void unitPresetsAndRowCaptions() {
        test::TestEnv env;
        Program& p = env.prog();
        InitUnits(p);
        ApplyUnitPreset(p, UnitPreset::US);
        QCOMPARE(QList<int>({p.PressureUnit, p.TemperatureUnit, p.FlowUnit, p.FluxUnit, p.MassUnit}),
                 QList<int>({0, 0, 4, 0, 1}));
        ApplyUnitPreset(p, UnitPreset::CMH);
        QCOMPARE(QList<int>({p.PressureUnit, p.TemperatureUnit, p.FlowUnit, p.FluxUnit, p.MassUnit}),
                 QList<int>({7, 1, 13, 1, 0}));
        ApplyUnitPreset(p, UnitPreset::CMD);
        QCOMPARE(QList<int>({p.PressureUnit, p.TemperatureUnit, p.FlowUnit, p.FluxUnit, p.MassUnit}),
                 QList<int>({8, 1, 14, 2, 0}));
        QCOMPARE(*RowUnitCaption(22, 14, 8, 1), QString("m3/day"));
        QCOMPARE(*RowUnitCaption(19, 14, 8, 1), QString("Bar"));
        QCOMPARE(*RowUnitCaption(23, 14, 8, 1), QString("uSiemens"));
        QCOMPARE(*RowUnitCaption(9, 14, 8, 1), QString("Deg C"));
        QCOMPARE(*RowUnitCaption(18, 14, 8, 1), QString("% Rec"));
        QCOMPARE(FlowSummary(13), QString("Flow:m3/hr"));
        QCOMPARE(FluxSummary(99), QString("Flux:")); // a bad stored code does not fail the display
    }

    void commaLocale() {
        test::TestEnv env;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        test::prepare(env);
        Program& p = env.prog();
        QCOMPARE(p.DecimalSeparatorCode, qint16(44));
        ProjectBoxes b = oneBank();
        b.txtData[5] = "0,5";
        b.txtData[2] = "25,5";
        FormProjectRecord f = withBanks(1);
        const ValidationResult r = ValidatenewData(p, b, f);
        QVERIFY(r.dataValid);
        QCOMPARE(f.PermBackPress, 0.5);
        QCOMPARE(b.txtData[16], FormatValue(100.5));
        QVERIFY(b.txtData[16].contains(','));
        p.FluxUnit = 3;
        b.field(100) = "60";
        b.txtData[14] = "100";
        CalcFlux(p, b, 1, 12);
        QCOMPARE(b.field(300), QString("0,044803"));
    }

    // Figures the window shows carry the computer's digit grouping; a box still showing one
    // stands for the number at full precision, and the text reads back as what it shows.
    void shownFiguresAreGrouped_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("US thousands") << "en_US" << 12345.678 << "12,345.7";
        QTest::newRow("US millions, negative") << "en_US" << -1234567.0 << "-1,234,567.0";
        QTest::newRow("US hundreds") << "en_US" << 999.5 << "999.5";
        QTest::newRow("US scientific") << "en_US" << 1.5e-7 << "1.50E-07";
        QTest::newRow("German thousands") << "de_DE" << 12345.678 << "12.345,7";
        QTest::newRow("C, no grouping") << "C" << 12345.678 << "12345.7";
    }
    void shownFiguresAreGrouped() {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, text);
        QLocale::setDefault(locale == "C" ? QLocale::c() : QLocale(locale));
        QCOMPARE(ValueText(value), text);
        ProjectBoxes b;
        ShowDataNumber(b, 16, value);
        QCOMPARE(b.txtData[16], text);
        QCOMPARE(DataBoxValue(b, 16), std::optional<double>(value));
        b.dataHeld[16].reset();
        QCOMPARE(DataBoxValue(b, 16), ReadNumberText(text));
        QVERIFY(DataBoxValue(b, 16).has_value());
    }

    // The reference date is read in the computer's own order only, shown back in its short
    // form, and the box's caption names that form.
    void referenceDates_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDateTime>("stored"); // invalid: refused
        const QDateTime refused;
        QTest::newRow("UK day first") << "en_GB"
                                      << "01/11/2026 08:00" << QDateTime(QDate(2026, 11, 1), QTime(8, 0));
        QTest::newRow("UK 13th") << "en_GB"
                                 << "13/11/2026" << QDateTime(QDate(2026, 11, 13), QTime(0, 0));
        QTest::newRow("UK month first") << "en_GB"
                                        << "11/13/2026" << refused;
        QTest::newRow("US month first") << "en_US"
                                        << "01/11/2026 08:00" << QDateTime(QDate(2026, 1, 11), QTime(8, 0));
        QTest::newRow("US 13th month") << "en_US"
                                       << "13/11/2026" << refused;
        QTest::newRow("C ISO seconds")
            << "C"
            << "2026-12-07 23:01:24" << QDateTime(QDate(2026, 12, 7), QTime(23, 1, 24));
        QTest::newRow("C slashes") << "C"
                                   << "12/7/2026" << refused;
        QTest::newRow("empty") << "en_GB"
                               << "" << refused;
    }

    void referenceDates() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QDateTime, stored);
        QLocale::setDefault(locale == "C" ? QLocale::c() : QLocale(locale));
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ProjectBoxes b = oneBank();
        b.txtData[0] = typed;
        FormProjectRecord f = withBanks(1);
        if (!stored.isValid())
            env.prompts.onMessage(
                "You need a valid reference date.\r\nReference Date and Time - you entered: " + typed,
                Buttons::OK, "Hevrin", Answer::OK);
        const ValidationResult r = ValidatenewData(p, b, f);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(r.dataValid, stored.isValid());
        QCOMPARE(*RowUnitCaption(0, 14, 8, 1), ShortDateTimeHint());
        if (!stored.isValid()) return;
        GetFormData(p, b, f);
        QCOMPARE(f.DateReference, stored);
        ProjectBoxes shown;
        ShowProjectBoxes(p, f, shown);
        QCOMPARE(shown.txtData[0], ShortDateTimeText(stored));
        QCOMPARE(ParseEntryDate(shown.txtData[0]), stored);
    }
};

QTEST_GUILESS_MAIN(TestProjectLogic)
#include "tst_projectlogic.moc"
