#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>
#include <QtTest>
#include <tuple>

#include "core/currentproject.h"
#include "core/datatables.h"
#include "core/loadproject.h"
#include "core/numbers.h"
#include "core/projecttrainkey.h"
#include "core/settings.h"
#include "core/typedinput.h"
#include "platform/database.h"
#include "projects/elementgrid.h"
#include "projects/projectlist.h"
#include "projects/projecttext.h"
#include "projects/ui/dlgunits.h"
#include "projects/ui/frmproject.h"
#include "projects/unitchoice.h"
#include "projects/wizardtexts.h"
#include "projecttestsupport.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/fitcheck.h"

using namespace hv;

namespace {

enum Mode { Select, Edit, Create };

frmProject* openWindow(Program& p, Mode m) {
    p.ProjectSelectMode = m == Select;
    p.ProjectEditMode = m == Edit;
    p.ProjectCreateMode = m == Create;
    auto* w = new frmProject(p);
    w->show();
    return w;
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int rowCount(Program& p, const QString& where = {}, const QVariantList& params = {}) {
    return test::rowCount(p.ProjectDatabasePath, "ProjectInfo", where, params);
}

QString iniValue(Program& p, const QString& key) {
    return ReadIniValue("Current Project", key, "<none>", p.IniFilePath);
}

// Reference values for a wizard run, by box, in the units of the preset.
void fillReference(frmProject& w, int layout, bool usUnits) {
    auto set = [&](int i, const QString& t) { w.txtData[size_t(i)]->setText(t); };
    set(0, "2026-01-15 10:30:00");
    w.txtElapsedTime->setText("12");
    set(2, "25");
    set(3, "10");
    set(4, "8");
    set(5, "0.5");
    set(6, "1000");
    set(8, "7");
    set(9, usUnits ? "77" : "25");
    if (layout == 0) {
        set(1, "75");
        set(7, "10");
        return;
    }
    set(1, layout == 1 ? "100" : "60");
    set(7, layout == 1 ? "10" : "5");
    set(10, "40");
    set(11, "20");
    set(12, "9");
    set(13, "0");
    set(21, "9.5");
    if (layout == 3) {
        set(22, "20");
        set(23, "40");
        set(24, "8.5");
        set(25, "0");
        set(26, "8.8");
    }
}

// Fills the element grid of step 5: 10, 5 and 2 vessels of 6 elements in banks 1 to 3.
void fillElements(frmProject& w, int layout) {
    if (layout == 0) {
        w.cboElements[0]->setCurrentIndex(1);
        w.txtFields[400]->setText("10");
        w.txtFields[500]->setText("6");
        return;
    }
    const int banks = layout == 3 ? 3 : 2;
    const char* vessels[4] = {"", "10", "5", "2"};
    for (int c = 1; c <= banks; ++c) {
        w.cboElements[size_t(c)]->setCurrentIndex(c == 1 ? 1 : 0);
        w.txtFields[400 + c]->setText(vessels[c]);
        w.txtFields[500 + c]->setText("6");
    }
}

// Runs the wizard from step 1 up to the step given (10 = the finish).
void runWizardTo(frmProject& w, int lastStep, int layout, UnitPreset units, const QString& id, int trains) {
    for (int step = 1; step < lastStep; ++step) {
        switch (step) {
        case 1:
            w.txtNewProject->setText(id);
            break;
        case 2:
            w.optBanks[size_t(layout)]->setChecked(true);
            break;
        case 4:
            if (units == UnitPreset::US)
                w.btnUnitUS->click();
            else if (units == UnitPreset::CMH)
                w.btnUnitCMH->click();
            else
                w.btnUnitCMD->click();
            break;
        case 5:
            fillElements(w, layout);
            break;
        case 6:
            fillReference(w, layout, units == UnitPreset::US);
            break;
        case 8:
            w.chkAllTrains->setChecked(true);
            break;
        case 9:
            w.txtNumTrains->setText(QString::number(trains));
            break;
        default:
            break;
        }
        w.cmdNext->click();
    }
}

// Two rows alike: numbers to 1e-12 of their size, everything else exactly.
// The first column where the rows differ, the columns named in skip left out.
QString rowDifference(const DbRow& a, const DbRow& b, const QStringList& skip = {}) {
    const QVariantList x = a.values(), y = b.values();
    if (x.size() != y.size()) return "column counts differ";
    for (qsizetype i = 0; i < x.size(); ++i) {
        if (skip.contains(a.fieldName(int(i)), Qt::CaseInsensitive)) continue;
        bool xNumber = false, yNumber = false;
        const double u = x[i].toDouble(&xNumber), v = y[i].toDouble(&yNumber);
        const bool same = xNumber && yNumber && x[i].typeId() != QMetaType::QString
                              ? qAbs(u - v) <= 1e-12 * qMax(1.0, qAbs(v))
                              : x[i] == y[i];
        if (!same) return QString("column %1: %2, stored %3").arg(i).arg(x[i].toString(), y[i].toString());
    }
    return {};
}

void pressEscape(QWidget& w) {
    QTest::keyClick(&w, Qt::Key_Escape);
}

} // namespace

class TestFrmProject : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void wizardCreatesEveryTrain_data() {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("trains");
        const char* layouts[4] = {"1 bank", "2 banks system", "2 banks per bank", "3 banks"};
        const char* presets[3] = {"US", "CMH", "CMD"};
        for (int l = 0; l < 4; ++l)
            for (int u = 0; u < 3; ++u)
                QTest::addRow("%s, %s", layouts[l], presets[u]) << l << u << (1 + (l + u) % 3);
    }

    void wizardCreatesEveryTrain() {
        QFETCH(int, layout);
        QFETCH(int, preset);
        QFETCH(int, trains);
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Create);
        QCOMPARE(w->windowTitle(), QString("CREATE NEW PROJECT"));
        QCOMPARE(w->cbProject->itemText(0), QString("START NEW PROJECT"));
        QCOMPARE(w->txtNewProject->text(), "New Project." + ShortDateText(QDate(2026, 1, 15)) + " 10:30:00");
        QVERIFY(!w->cbProject->isEnabled());

        const auto units = UnitPreset(preset);
        const QString id = "Plant's " + QString::number(layout);
        runWizardTo(*w, 11, layout, units, id, trains);
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdCreate->isVisible());
        QVERIFY(w->cmdCreate->isEnabled());
        QVERIFY(!w->cmdNext->isVisible());
        QVERIFY(w->DataValid);
        // What the wizard shows of the derived figures, the project window shows alike.
        QStringList shown;
        const int lastColumn = layout == 0 ? 0 : layout == 3 ? 3 : 2;
        const auto derived = [&w, lastColumn] {
            QStringList out;
            for (int i : {18, 20})
                out << w->txtData[size_t(i)]->text() << w->lblUnits[i]->text();
            for (int c = 0; c <= lastColumn; ++c)
                out << w->txtFields[300 + c]->text();
            return out;
        };
        shown = derived();
        QCOMPARE(shown.at(1), QString("% Rec"));

        env.prompts.onMessage("Data Saved OK!", Buttons::OK, "Hevrin", Answer::OK);
        env.prompts.onMessage(trains < 2 ? "Project Created!" : "Multiple Projects Created!", Buttons::OK,
                              "Hevrin", Answer::OK);
        w->cmdCreate->click();
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w.isNull());

        Database db = Database::open(p.ProjectDatabasePath);
        const DbRows rows =
            db.select("SELECT * FROM ProjectInfo WHERE ProjectID = ? ORDER BY TrainNumber", {id});
        QCOMPARE(rows.count(), trains);
        const int banks = layout == 0 ? 1 : layout == 3 ? 3 : 2;
        const int flowUnit = units == UnitPreset::US ? 4 : units == UnitPreset::CMH ? 13 : 14;
        for (int t = 0; t < trains; ++t) {
            const DbRow& r = rows.at(t);
            QCOMPARE(r.toInt16("TrainNumber"), qint16(t + 1));
            QCOMPARE(r.toInt16("NumTrains"), qint16(trains));
            QCOMPARE(r.toInt16("NumBanks"), qint16(banks));
            QCOMPARE(r.toInt16("unitFlow"), qint16(flowUnit));
            QCOMPARE(r.toBool("Systemdata"), layout == 1);
            QVERIFY(r.toBool("TrainsSame"));
            QCOMPARE(r.toDouble("ElapsedTimeRef"), 12.0);
            QCOMPARE(r.toDateTime("DateReference"), QDateTime(QDate(2026, 1, 15), QTime(10, 30)));
            QCOMPARE(r.toInt16("ElementType"), qint16(1)); // bank 1's choice with banks
            QVERIFY(r.toDouble("AreaBank") > 0);
            QVERIFY(r.toDouble("ConcuS") > 1000);
            QCOMPARE(r.toDouble("PermFlow"), layout == 0 ? 75.0 : layout == 3 ? 120.0 : 100.0);
            if (banks == 3) {
                QVERIFY(qAbs(r.toDouble("AreaBank") - (60 * 40.0 + (30 + 12) * 37.2)) < 1e-6);
                QCOMPARE(r.toInt16("NumElementsBank_3"), qint16(12));
            }
            if (banks == 1) QCOMPARE(r.toInt16("NumElementsBank"), qint16(60));
        }
        QCOMPARE(p.CurrentProject.ProjectID, id);
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(1));
        QVERIFY(p.CurrentProjectLoaded);
        QCOMPARE(iniValue(p, "Project"), id);
        QCOMPARE(iniValue(p, "Train"), QString("1"));
        QCOMPARE(iniValue(p, "Database"), p.ProjectDatabasePath);
        QCOMPARE(p.status.text(1), "Project: " + id + " Train: 1");
        QVERIFY(p.ProjectSelectMode && !p.ProjectCreateMode);

        w = openWindow(p, Select);
        QCOMPARE(w->cbProject->currentText(), id + " Train:1");
        QCOMPARE(derived(), shown);
        delete w;
    }

    void wizardStepsAndChecks() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Create);
        // An ID that is empty, too long, has blanks around it or holds what an export cannot
        // carry is reported, and the wizard stays on its step.
        const QString length = "The new ProjectDiagram ID must have at least one character";
        const QString blank = "begins or ends with a blank";
        const QString carried = "holds a \";\" or a line break";
        const std::pair<QString, QString> refused[] = {
            {QString(), length}, {QString(51, 'x'), length}, {"Plant B ", blank}, {" Lead", blank},
            {"A;B", carried},    {"A\nB", carried},          {"A\r\nB", carried}};
        for (const auto& [id, message] : refused) {
            w->txtNewProject->setText(id);
            env.prompts.onMessage(message, Buttons::OK, "Hevrin", Answer::OK);
            w->cmdNext->click();
            QCOMPARE(env.prompts.verify(), QString());
            QCOMPARE(w->WizardStep, qint16(1));
            QCOMPARE(w->lblDirections->text(), WizardDirections(1));
            QCOMPARE(w->txtNewProject->text(), id);
        }
        w->txtNewProject->setText("Two");
        w->cmdNext->click();
        QCOMPARE(w->WizardStep, qint16(2));
        QVERIFY(w->cmdBack->isHidden());
        w->optBanks[2]->setChecked(true);
        w->cmdNext->click();
        QVERIFY(w->chk2Bank->isChecked());
        QVERIFY(!w->chkSystemData->isChecked());
        QVERIFY(!w->chk2Bank->isEnabled());
        QVERIFY(w->cmdBack->isVisible());
        // Back to the first step keeps the ID typed there; nothing comes before it.
        w->cmdBack->click();
        w->cmdBack->click();
        QCOMPARE(w->WizardStep, qint16(1));
        QCOMPARE(w->lblDirections->text(), WizardDirections(1));
        QCOMPARE(w->txtNewProject->text(), QString("Two"));
        QVERIFY(w->cmdBack->isHidden());
        w->cmdNext->click();
        QVERIFY(w->optBanks[2]->isChecked());
        w->cmdNext->click();
        QCOMPARE(w->WizardStep, qint16(3));
        w->cmdNext->click(); // units
        QVERIFY(w->btnUnitCMD->isEnabled());
        w->btnUnitCMD->click();
        QCOMPARE(w->lblUnits[100]->text(), QString("Flow:m3/day"));
        QCOMPARE(w->lblUnits[3]->text(), QString("Bar"));
        w->cmdNext->click(); // element grid
        QVERIFY(w->cboElements[1]->isEnabled());
        QVERIFY(!w->cboElements[0]->isEnabled());
        w->cboElements[1]->setCurrentIndex(1);
        w->txtFields[401]->setText("10");
        w->txtFields[501]->setText("6");
        w->txtFields[402]->setText("5");
        w->txtFields[502]->setText("6");
        w->cmdNext->click(); // counts and areas
        QCOMPARE(w->txtFields[101]->text(), QString("60"));
        QCOMPARE(w->txtFields[100]->text(), QString("90"));
        QCOMPARE(w->txtFields[201]->text(), QString("2400"));
        QCOMPARE(w->txtFields[202]->text(), QString("1116"));
        QCOMPARE(w->txtFields[400]->text(), QString("15"));
        QVERIFY(w->txtData[13]->isEnabled());
        QVERIFY(!w->txtData[22]->isEnabled());
        QVERIFY(!w->txtData[14]->isEnabled());
        fillReference(*w, 2, false);
        w->txtData[3]->setText("0");
        env.prompts.onMessage("Feed Pressure must > 0", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdNext->click(); // step 7 fails on box 3
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(w->WizardStep, qint16(7));
        w->txtData[3]->setText("10");
        w->cmdNext->click(); // the next one moves on without repeating the checks
        QCOMPARE(w->WizardStep, qint16(8));
        w->cmdBack->click(); // back runs step 7's checks again, now passing
        QCOMPARE(w->WizardStep, qint16(7));
        QVERIFY(w->WizardDone);
        QCOMPARE(w->txtData[14]->text(), QString("100.0"));
        w->cmdNext->click();
        w->cmdNext->click(); // step 9
        w->txtElapsedTime->clear();
        QTest::keyClicks(w->txtElapsedTime, "-3"); // the box takes the minus
        QCOMPARE(w->txtElapsedTime->text(), QString("-3"));
        env.prompts.onMessage("Elapsed time is negative?", Buttons::OKCancel, "Hevrin", Answer::Cancel);
        w->cmdNext->click(); // finish stops
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdNext->isVisible());
        QVERIFY(!w->cmdCreate->isEnabled());
        env.prompts.onMessage("Elapsed time is negative?", Buttons::OKCancel, "Hevrin", Answer::OK);
        w->cmdNext->click();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdCreate->isVisible());
        QVERIFY(w->cmdCreate->isEnabled());
        QCOMPARE(w->txtElapsedTime->text(), QString("-3")); // what was accepted stays
        env.prompts.onMessage("Data Saved OK!", Buttons::OK, "Hevrin", Answer::OK);
        env.prompts.onMessage("Project Created!", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w.isNull());
        QCOMPARE(Database::open(p.ProjectDatabasePath)
                     .scalar("SELECT ElapsedTimeRef FROM ProjectInfo WHERE ProjectID = ?", {"Two"})
                     .toDouble(),
                 -3.0);
        delete w;
    }

    // The layout is fixed once step 3 is passed, and a step-7 value corrected after its
    // check failed reaches the finish.
    void wizardFinishAfterACorrectedStep7() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Create);
        runWizardTo(*w, 6, 2, UnitPreset::CMH, "Corrected", 1);
        for (QRadioButton* o : w->optBanks)
            QVERIFY(!o->isEnabled());
        fillReference(*w, 2, false);
        // A vessel count that is no whole number is refused naming its box.
        w->txtFields[401]->setText("1.5");
        env.prompts.onMessage(
            "Number of Vessels, B 1 holds \"1.5\", which is not a whole number from 0 to 32767.", Buttons::OK,
            "Hevrin", Answer::OK);
        w->cmdNext->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(w->WizardStep, qint16(7));
        w->txtFields[401]->setText("10");
        w->cmdBack->click();
        w->txtData[1]->setText("0");
        env.prompts.onMessage("Perm Flow must be > 0", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdNext->click();
        QCOMPARE(env.prompts.verify(), QString());
        w->txtData[1]->setText("60");
        for (int step = 8; step <= 10; ++step)
            w->cmdNext->click();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdCreate->isEnabled());
        env.prompts.onMessage("Data Saved OK!", Buttons::OK, "Hevrin", Answer::OK)
            .onMessage("Project Created!", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(rowCount(p, "ProjectID = 'Corrected' AND PermFlow = 100 AND NumBanks = 2"), 1);
    }

    void createRefusesInvalidOrDuplicateData() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "Taken"}, {"TrainNumber", 2}});
        QPointer<frmProject> w = openWindow(p, Create);
        runWizardTo(*w, 11, 0, UnitPreset::CMH, "Taken", 2);
        QCOMPARE(env.prompts.verify(), QString());

        // A bad reference date after the finish: refused with the check's message.
        w->txtData[0]->setText("someday");
        env.prompts.onMessage("You need a valid reference date.", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdCreate->isEnabled());
        QCOMPARE(rowCount(p), 1);

        // No elements, or a count that is no whole number: refused naming the box, nothing stored.
        w->txtData[0]->setText("2026-01-15");
        const QString count = "%1 holds \"abc\", which is not a whole number from %2 to 32767.";
        const std::tuple<QLineEdit*, QString, QString> refused[] = {
            {w->txtFields[100], "0", "Number of Elements must be > 0"},
            {w->txtFields[400], "abc", count.arg("Number of Vessels, Sys").arg(0)},
            {w->txtNumTrains, "abc", count.arg("Number of Trains").arg(1)},
            {w->txtTrainNumber, "abc", count.arg("Train Number").arg(1)}};
        for (const auto& [box, text, message] : refused) {
            const QString kept = box->text();
            box->setText(text);
            env.prompts.onMessage(message, Buttons::OK, "Hevrin", Answer::OK);
            w->cmdCreate->click();
            QCOMPARE(env.prompts.verify(), QString());
            QCOMPARE(rowCount(p), 1);
            box->setText(kept);
        }
        w->txtFields[100]->setText("60");

        // The ID, edited after its step, is checked again.
        w->txtNewProject->setText("Taken ");
        env.prompts.onMessage("begins or ends with a blank", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(rowCount(p), 1);
        w->txtNewProject->setText("Taken");

        // Trains 1 and 2 of "Taken": train 2 exists, so neither is stored.
        env.prompts.onMessage("Project Taken Train: 2 already exists.", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(rowCount(p), 1);
        QVERIFY(!w.isNull());

        w->txtTrainNumber->setText("3");
        env.prompts.onMessage("Data Saved OK!", Buttons::OK, "Hevrin", Answer::OK);
        env.prompts.onMessage("Multiple Projects Created!", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(rowCount(p, "ProjectID = 'Taken'"), 3);
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(3));
    }

    // A bad reference date is said once at each step that meets it, naming the box and
    // what it holds; the wizard goes no further with it and nothing is stored.
    void badReferenceDateIsSaidOnce() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Create);
        runWizardTo(*w, 6, 0, UnitPreset::CMH, "Dated", 1);
        fillReference(*w, 0, false);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->txtData[0]->setFocus();
        w->txtData[0]->clear();
        QTest::keyClicks(w->txtData[0], "someday");
        const QString named = "Reference Date and Time - you entered: someday";
        env.prompts.onMessage(named, Buttons::RetryCancel, "Hevrin", Answer::Cancel);
        w->txtData[1]->setFocus();
        QCOMPARE(env.prompts.verify(), QString());

        for (int step = 7; step <= 9; ++step)
            w->cmdNext->click();
        QCOMPARE(env.prompts.verify(), QString());
        env.prompts.onMessage(named, Buttons::OK, "Hevrin", Answer::OK);
        w->cmdNext->click(); // the finish
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!w->cmdCreate->isEnabled());
        QCOMPARE(QApplication::focusWidget(), w->txtData[0]);

        w->txtData[0]->setText("2026-01-15 10:30");
        w->cmdNext->click();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdCreate->isEnabled());
        w->txtData[0]->setText("someday");
        env.prompts.onMessage(named, Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(rowCount(p), 0);
        delete w;
    }

    // "Cancel New Project Creation" at any step stores nothing and, once confirmed, leaves the
    // window without asking again; a fresh window then creates a project as ever.
    void cancelLeavesTheWizard() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        for (int step : {1, 5, 6, 10}) {
            QPointer<frmProject> w = openWindow(p, Create);
            runWizardTo(*w, step + 1, 3, UnitPreset::CMD, "Never", 2);
            if (step >= 6) QTest::keyClicks(w->txtDescription, "typed");
            env.prompts.onMessage("Cancel project creation?", Buttons::YesNo, "Hevrin", Answer::No);
            w->cmdCancel->click();
            settle();
            QVERIFY(!w.isNull() && w->WizardStep > 1);
            env.prompts.onMessage("Cancel project creation?", Buttons::YesNo, "Hevrin", Answer::Yes);
            w->cmdCancel->click();
            settle();
            QCOMPARE(env.prompts.verify(), QString());
            QVERIFY2(w.isNull(), qPrintable(QString("step %1").arg(step)));
            QCOMPARE(rowCount(p), 0);
        }
        QPointer<frmProject> w = openWindow(p, Create);
        QCOMPARE(w->WizardStep, qint16(1));
        runWizardTo(*w, 11, 0, UnitPreset::CMH, "After", 1);
        QCOMPARE(env.prompts.verify(), QString());
        env.prompts.onMessage("Data Saved OK!", Buttons::OK, "Hevrin", Answer::OK)
            .onMessage("Project Created!", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdCreate->click();
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w.isNull());
        QCOMPARE(rowCount(p, "ProjectID = 'After' AND NumBanks = 1 AND PermFlow = 75 AND unitFlow = 13"), 1);
        QCOMPARE(rowCount(p), 1);
    }

    // The offered ID carries the date in the computer's own short form.
    void offeredProjectIdInTheComputersForm_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("hours");
        const QString id = "New Project.10/12/2026 08:05:09";
        QTest::newRow("UK") << "en_GB" << id << "1.0";
        QTest::newRow("German") << "de_DE" << QString(id).replace('/', '.') << "1,0";
        QTest::newRow("French") << "fr_FR" << id << "1,0";
    }

    void offeredProjectIdInTheComputersForm() {
        QFETCH(QString, locale);
        QFETCH(QString, id);
        QFETCH(QString, hours);
        QLocale::setDefault(QLocale(locale));
        test::TestEnv env;
        test::prepare(env);
        env.system.clock = QDateTime(QDate(2026, 12, 10), QTime(8, 5, 9));
        QPointer<frmProject> w = openWindow(env.prog(), Create);
        QCOMPARE(w->txtNewProject->text(), id);
        QCOMPARE(w->txtElapsedTime->text(), hours); // the default hours too
        delete w;
    }

    // Closing the wizard over typed values asks first, by the close box and by "Cancel"
    // alike; No keeps them. With nothing typed it closes at once.
    void closingTheWizardOverTypedValues_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("typed");
        const char* ways[3] = {"close box", "Cancel", "Escape"};
        for (int how = 0; how < 3; ++how)
            for (bool typed : {true, false})
                QTest::addRow("%s, %s", ways[how], typed ? "typed" : "nothing typed") << how << typed;
    }

    void closingTheWizardOverTypedValues() {
        QFETCH(int, how);
        QFETCH(bool, typed);
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Create);
        runWizardTo(*w, 6, 0, UnitPreset::CMH, "Typed", 1);
        QCOMPARE(w->WizardStep, qint16(6));
        if (typed) {
            QTest::keyClicks(w->txtData[0], "2026-01-15 10:30");
            QTest::keyClicks(w->txtData[2], "25");
            QTest::keyClicks(w->txtData[3], "10");
            QTest::keyClicks(w->txtData[4], "8");
        }
        const auto closeIt = [&] {
            if (how == 0)
                w->close();
            else if (how == 1)
                w->cmdClose->click();
            else
                pressEscape(*w->txtData[3]);
        };
        if (typed) {
            const QString question = "The values you typed have not been saved. Close and lose them?";
            env.prompts.onMessage(question, Buttons::YesNo, "Hevrin", Answer::No);
            closeIt();
            settle();
            QCOMPARE(env.prompts.verify(), QString());
            QVERIFY(!w.isNull() && w->isVisible());
            QCOMPARE(w->txtData[3]->text(), QString("10"));
            QCOMPARE(w->WizardStep, qint16(6));
            env.prompts.onMessage(question, Buttons::YesNo, "Hevrin", Answer::Yes);
        }
        closeIt();
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w.isNull());
        QCOMPARE(rowCount(p), 0);
    }

    void selectModeMakesATrainCurrent() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "P1"}});
        test::insertProjectInfo(p.ProjectDatabasePath, 3,
                                {{"ProjectID", "P2"}, {"TrainNumber", 2}, {"Systemdata", 0}});
        p.CurrentProject.ProjectID = "P1";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Select);
        QCOMPARE(w->windowTitle(), QString("SELECT PROJECT"));
        QCOMPARE(w->cbProject->currentText(), QString("P1 Train:1"));
        QVERIFY(w->txtData[10]->isHidden());
        QVERIFY(w->txtFields[301]->isHidden());
        QVERIFY(!w->txtData[1]->isEnabled());
        QVERIFY(w->optBanks[0]->isChecked());
        QCOMPARE(w->lblFields[1]->text(), QString("Reference Permeate Flow System"));
        QCOMPARE(w->lblUnits[100]->text(), QString("Flow:m3/hr"));
        QCOMPARE(p.FlowUnit, qint16(13));
        QCOMPARE(iniValue(p, "Project"), QString("<none>")); // showing is not selecting

        // While data collection is open nothing is selected.
        w->cbProject->setCurrentIndex(1);
        p.DataEntryOpen = true;
        env.prompts.onMessage("Please close the data collection form first.", Buttons::OK, "Hevrin",
                              Answer::OK);
        w->cmdGo->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.CurrentProject.ProjectID, QString("P1"));
        QCOMPARE(iniValue(p, "Project"), QString("<none>"));
        QVERIFY(w->optBanks[3]->isChecked()); // the display was made

        p.DataEntryOpen = false;
        w->cmdGo->click();
        QCOMPARE(p.CurrentProject.ProjectID, QString("P2"));
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(2));
        QCOMPARE(p.CurrentProject.NumBanks, qint16(3));
        QCOMPARE(iniValue(p, "Project"), QString("P2"));
        QCOMPARE(iniValue(p, "Train"), QString("2"));
        QCOMPARE(iniValue(p, "Database"), p.ProjectDatabasePath);
        QCOMPARE(p.status.text(1), QString("Project: P2 Train: 2"));
        QVERIFY(w->isHidden());
        QVERIFY(!w.isNull());
        for (int i = 21; i <= 26; ++i)
            QVERIFY(!w->txtData[size_t(i)]->isHidden());
        QVERIFY(!w->txtFields[303]->isHidden());
        QCOMPARE(w->lblFields[1]->text(), QString("Reference Permeate Flow Bank 1"));

        // A one-bank train after the three-bank one hides the bank controls again.
        w->cbProject->setCurrentIndex(0);
        w->cmdGo->click();
        QVERIFY(w->txtData[22]->isHidden());
        QVERIFY(w->txtFields[303]->isHidden());
        QCOMPARE(w->lblFields[5]->text(), QString("Ref Permeate BackPressure  (System / Bank 1)"));
        delete w;
        QCOMPARE(rowCount(p), 2);
    }

    // While data entry or the spreadsheet import is open no path of the window makes another
    // train current, and a creation stores nothing.
    void collectionWindowKeepsTheCurrentProject_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("path");
        for (const char* holder : {"data entry", "import"}) {
            const QStringList paths{"GO select", "GO edit", "SELECT", "Create", "Save"};
            for (const QString& path : paths)
                QTest::addRow("%s, %s", holder, qPrintable(path)) << QString(holder) << path;
        }
    }

    void collectionWindowKeepsTheCurrentProject() {
        QFETCH(QString, holder);
        QFETCH(QString, path);
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "P1"}});
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "P2"}, {"TrainNumber", 2}});
        p.CurrentProject.ProjectID = "P1";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, path == "Create"      ? Create
                                               : path == "GO select" ? Select
                                                                     : Edit);
        const QString refusal = holder == "import" ? "Please close the Import Data window first."
                                                   : "Please close the data collection form first.";
        if (holder == "import")
            p.ImportWindowOpen = true;
        else
            p.DataEntryOpen = true;
        if (path == "Create") {
            runWizardTo(*w, 11, 0, UnitPreset::CMH, "New", 1);
            env.prompts.onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
            w->cmdCreate->click();
            QCOMPARE(rowCount(p, "ProjectID = 'New'"), 0);
        } else if (path == "Save") {
            // The other train, shown all the same, is edited.
            w->cbProject->setCurrentIndex(1);
            env.prompts.onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
            w->cmdGo->click();
            env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
            w->cmdEdit->click();
            w->txtData[9]->setText("31");
            env.prompts.onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
            // Stored into that train; the current one is not recalculated in its place.
            test::insertReading(p.ProjectDatabasePath, 1, {{"ProjectID", "P1"}});
            env.prompts.onMessage("Project P2 Train: 2 is not the current project and was not "
                                  "recalculated.",
                                  Buttons::OK, "Hevrin", Answer::OK);
            w->cmdSave->click();
            QCOMPARE(rowCount(p, "FeedTemp = 31 AND ProjectID = 'P2' AND TrainNumber = 2"), 1);
            QCOMPARE(test::rowCount(p.ProjectDatabasePath, "Data", "NormalizedPermFlow <> 0"), 0);
        } else {
            w->cbProject->setCurrentIndex(1);
            env.prompts.onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
            w->cmdGo->click();
            QCOMPARE(w->txtTrainNumber->text(), QString("2")); // shown all the same
            if (path == "SELECT") {
                env.prompts.onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
                w->cmdSelect->click();
            }
        }
        settle();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!w.isNull());
        QCOMPARE(p.CurrentProject.ProjectID, QString("P1"));
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(1));
        QCOMPARE(iniValue(p, "Project"), QString("<none>"));
        delete w;
    }

    // The list item carries its project and train: an ID holding "Train:" is itself.
    void projectIdHoldingTrainSelectsItself() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "Lake"}, {"FeedTemp", 20.0}});
        test::insertProjectInfo(p.ProjectDatabasePath, 1,
                                {{"ProjectID", "Lake"}, {"TrainNumber", 2}, {"FeedTemp", 22.0}});
        test::insertProjectInfo(p.ProjectDatabasePath, 1,
                                {{"ProjectID", "Lake Train:2"}, {"FeedTemp", 30.0}});
        p.CurrentProject.ProjectID = "Lake";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Select);
        const int item = w->cbProject->findText("Lake Train:2 Train:1");
        QVERIFY(item >= 0);
        QCOMPARE(w->cbProject->itemData(item, ProjectIdRole).toString(), QString("Lake Train:2"));
        QCOMPARE(w->cbProject->itemData(item, TrainNumberRole).toInt(), 1);
        w->cbProject->setCurrentIndex(item);
        w->cmdGo->click();
        QCOMPARE(p.CurrentProject.ProjectID, QString("Lake Train:2"));
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(1));
        QCOMPARE(p.CurrentProject.FeedTemp, 30.0);
        QCOMPARE(iniValue(p, "Project"), QString("Lake Train:2"));
        delete w;

        // Opened again, the list shows that train, and an edit is stored into its row.
        w = openWindow(p, Edit);
        QCOMPARE(w->cbProject->currentIndex(), item);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        w->txtData[9]->setText("31");
        env.prompts.onMessage("Updated Project Information!", Buttons::YesNo, "Hevrin", Answer::No);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(rowCount(p, "FeedTemp = 31 AND ProjectID = 'Lake Train:2'"), 1);
        QCOMPARE(rowCount(p, "FeedTemp IN (20, 22)"), 2);
        QCOMPARE(w->cbProject->currentIndex(), item);
        delete w;
    }

    void displayOfATwoBankTrain() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 2,
                                {{"ProjectID", "Two"},
                                 {"DeltaPress", 3.25},
                                 {"AreaBank_2", 0},
                                 {"Description", "Brackish RO, 2 banks, " + QString(200, 'x') + " end"}});
        p.CurrentProject.ProjectID = "Two";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Select);
        QVERIFY(w->optBanks[1]->isChecked());
        QVERIFY(w->chk2Bank->isChecked());
        QVERIFY(!w->txtData[21]->isHidden());
        QVERIFY(w->txtData[22]->isHidden());
        QCOMPARE(w->txtData[19]->text(), QString("3.25")); // the stored DP, not a difference
        QCOMPARE(w->txtFields[302]->text(), QString("0")); // no area, no flux
        // The stored description, shown from its start.
        QVERIFY(w->txtDescription->text().startsWith("Brackish RO, 2 banks"));
        QCOMPARE(w->txtDescription->cursorPosition(), 0);
        QVERIFY(!w->chkAllTrains->isChecked());
        QVERIFY(!w->txtFields[300]->isHidden());
        QVERIFY(!w->cboElements[0]->isEnabled());
        delete w;
    }

    void editModeSavesOrRefuses() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "E'1"}});
        test::insertReading(p.ProjectDatabasePath, 1, {{"ProjectID", "E'1"}});
        p.CurrentProject.ProjectID = "E'1";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Edit);
        QCOMPARE(w->windowTitle(), QString("EDIT PROJECT"));
        QVERIFY(w->cmdSelect->isVisible());
        QVERIFY(!w->cmdSave->isEnabled());

        env.prompts.onMessage("Editing an existing project will NOT change", Buttons::YesNo, "Hevrin",
                              Answer::No);
        w->cmdEdit->click();
        QVERIFY(!w->cmdSave->isEnabled());
        QVERIFY(!w->txtData[9]->isEnabled());
        env.prompts.onMessage("Editing an existing project will NOT change", Buttons::YesNo, "Hevrin",
                              Answer::Yes);
        w->cmdEdit->click();
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(w->cmdSave->isEnabled());
        QVERIFY(w->txtData[9]->isEnabled());
        QVERIFY(!w->chk2Bank->isEnabled());
        QVERIFY(!w->txtFields[100]->isEnabled());
        QVERIFY(w->txtFields[400]->isEnabled());

        // A change that fails the checks stores nothing.
        const QString before = Database::open(p.ProjectDatabasePath)
                                   .scalar("SELECT FeedTemp FROM ProjectInfo WHERE ProjectID = ?", {"E'1"})
                                   .toString();
        w->txtData[8]->setText("2");
        w->txtData[9]->setText("18");
        env.prompts.onMessage("pH must be >= 3 and <= 13", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(Database::open(p.ProjectDatabasePath)
                     .scalar("SELECT FeedTemp FROM ProjectInfo WHERE ProjectID = ?", {"E'1"})
                     .toString(),
                 before);

        // One that passes: stored, shown again, current, and the recalculation declined.
        w->txtData[8]->setText("7.5");
        env.prompts.onMessage("Updated Project Information!", Buttons::YesNo, "Hevrin", Answer::No);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.status.text(1), QString()); // no recalculation reported
        Database db = Database::open(p.ProjectDatabasePath);
        const DbRow row = db.select("SELECT * FROM ProjectInfo WHERE ProjectID = ?", {"E'1"}).first();
        QCOMPARE(row.toDouble("FeedTemp"), 18.0);
        QCOMPARE(row.toDouble("refph"), 7.5);
        QCOMPARE(row.toInt16("TrainNumber"), qint16(1));
        QCOMPARE(p.CurrentProject.FeedTemp, 18.0);
        QCOMPARE(w->txtData[9]->text(), QString("18.0"));
        QVERIFY(!w->txtData[9]->isEnabled());
        QVERIFY(w->cmdClose->isEnabled());
        QCOMPARE(iniValue(p, "Project"), QString("<none>"));

        // Another change, and the recalculation accepted.
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        w->txtData[6]->setText("1200");
        env.prompts.onMessage("Recalculate the Current Project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(p.status.text(1), QString("E'1: Updated 1 records out of a total 1"));
        QCOMPARE(rowCount(p, "FeeduS = 1200"), 1);
        // The window can always be left.
        QVERIFY(w->cmdClose->isEnabled());
        w->cmdClose->click();
        settle();
        QVERIFY(w.isNull());
    }

    // A train chosen in the list but not shown with "GO" is not the one the edit belongs to.
    void editIsStoredIntoTheShownTrain() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "P"}, {"FeedTemp", 20.0}});
        test::insertProjectInfo(p.ProjectDatabasePath, 1,
                                {{"ProjectID", "P"}, {"TrainNumber", 2}, {"FeedTemp", 22.0}});
        p.CurrentProject.ProjectID = "P";
        p.CurrentProject.TrainNumber = 1;
        Database db = Database::open(p.ProjectDatabasePath);
        const QVariantList train2 =
            db.select("SELECT * FROM ProjectInfo WHERE TrainNumber = 2").first().values();
        QPointer<frmProject> w = openWindow(p, Edit);
        QCOMPARE(w->cbProject->currentText(), QString("P Train:1"));
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        w->txtData[9]->setText("30");
        w->txtDescription->setText("New membranes in 2026");
        w->cbProject->setCurrentIndex(1);
        env.prompts.onMessage("Updated Project Information!", Buttons::YesNo, "Hevrin", Answer::No);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(db.scalar("SELECT FeedTemp FROM ProjectInfo WHERE TrainNumber = 1").toDouble(), 30.0);
        QCOMPARE(db.scalar("SELECT Description FROM ProjectInfo WHERE TrainNumber = 1").toString(),
                 QString("New membranes in 2026"));
        QCOMPARE(db.select("SELECT * FROM ProjectInfo WHERE TrainNumber = 2").first().values(), train2);
        // The saved train is shown again and is the one made current.
        QCOMPARE(w->cbProject->currentText(), QString("P Train:1"));
        QCOMPARE(p.CurrentProject.TrainNumber, qint16(1));
        QCOMPARE(p.CurrentProject.FeedTemp, 30.0);
        delete w;
    }

    // A change of units keeps what the values mean: the reference boxes are converted at once,
    // and saving converts the train's stored readings after a question naming how many.
    void unitChangeConvertsReferenceAndReadings_data() {
        QTest::addColumn<int>("preset");
        QTest::addColumn<bool>("convert");
        QTest::newRow("CMD") << int(UnitPreset::CMD) << true;
        QTest::newRow("US") << int(UnitPreset::US) << true;
        QTest::newRow("CMD declined") << int(UnitPreset::CMD) << false;
    }

    void unitChangeConvertsReferenceAndReadings() {
        QFETCH(int, preset);
        QFETCH(bool, convert);
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        // m3/hr, deg C, bar, l/m2/hr
        test::insertProjectInfo(p.ProjectDatabasePath, 1);
        const QVariantMap calculated = {{"NormalizedPermFlow", 59.0},
                                        {"NetTMP", 9.0},
                                        {"ActualFlux", 20.0},
                                        {"SpecFlux", 2.0},
                                        {"NormalizedDP", QVariant()}};
        test::insertReading(p.ProjectDatabasePath, 1, calculated);
        test::insertReading(p.ProjectDatabasePath, 1, {{"TheDate", "2020-01-03 00:00:00"}});
        test::insertReading(p.ProjectDatabasePath, 1, {{"TrainNumber", 2}}); // another train's
        Database db = Database::open(p.ProjectDatabasePath);
        const DbRow ref = db.select("SELECT * FROM ProjectInfo").first();
        const DbRow before = db.select("SELECT * FROM Data ORDER BY ID").first();
        p.CurrentProject.ProjectID = "P1";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Edit);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        const bool us = UnitPreset(preset) == UnitPreset::US;
        (us ? w->btnUnitUS : w->btnUnitCMD)->click();
        const int flow = us ? 4 : 14, press = us ? 0 : 8, temp = us ? 0 : 1, flux = us ? 0 : 2;
        const auto near = [](double a, double b) { return qAbs(a - b) <= 1e-3 * qMax(1.0, qAbs(b)); };
        QVERIFY(near(ReadNumberText(w->txtData[1]->text()).value(),
                     ConvertFlow(ref.toDouble("PermFlow"), 13, flow)));
        QVERIFY(near(ReadNumberText(w->txtData[9]->text()).value(), us ? 68.0 : 20.0));

        env.prompts.onMessage("2 stored readings will be converted", Buttons::YesNo, "Hevrin",
                              convert ? Answer::Yes : Answer::No);
        if (convert)
            env.prompts.onMessage("Updated Project Information!\r\n\r\n2 stored readings were converted",
                                  Buttons::YesNo, "Hevrin", Answer::No);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        const DbRow refAfter = db.select("SELECT * FROM ProjectInfo").first();
        const DbRow after = db.select("SELECT * FROM Data ORDER BY ID").first();
        QCOMPARE(db.scalar("SELECT PermFlow FROM Data WHERE TrainNumber = 2").toDouble(),
                 before.toDouble("PermFlow"));
        if (!convert) {
            QCOMPARE(refAfter.values(), ref.values());
            QCOMPARE(after.values(), before.values());
            delete w;
            return;
        }
        QCOMPARE(refAfter.toInt16("unitFlow"), qint16(flow));
        QVERIFY(near(refAfter.toDouble("PermFlow"), ConvertFlow(ref.toDouble("PermFlow"), 13, flow)));
        QVERIFY(
            near(refAfter.toDouble("FeedPressure"), ConvertPressure(ref.toDouble("FeedPressure"), 8, press)));
        QVERIFY(near(refAfter.toDouble("FeedTemp"), ConvertTemperature(20, 1, temp)));
        QVERIFY(near(after.toDouble("PermFlow"), ConvertFlow(before.toDouble("PermFlow"), 13, flow)));
        QVERIFY(near(after.toDouble("NormalizedPermFlow"), ConvertFlow(59, 13, flow)));
        QVERIFY(
            near(after.toDouble("ConcPressure"), ConvertPressure(before.toDouble("ConcPressure"), 8, press)));
        QVERIFY(near(after.toDouble("NetTMP"), ConvertPressure(9, 8, press)));
        QVERIFY(near(after.toDouble("Temperature"), ConvertTemperature(20, 1, temp)));
        QVERIFY(near(after.toDouble("ActualFlux"), ConvertFlux(20, 1, flux)));
        QVERIFY(near(after.toDouble("SpecFlux"), 2 * ConvertFlux(1, 1, flux) / ConvertPressure(1, 8, press)));
        QVERIFY(after.isNull("NormalizedDP"));
        QCOMPARE(after.toDouble("FeeduS"), before.toDouble("FeeduS"));
        QCOMPARE(db.scalar("SELECT count(*) FROM Data WHERE TrainNumber = 1 AND Temperature = ?",
                           {after.toDouble("Temperature")})
                     .toInt(),
                 2);
        delete w;
    }

    // A save that changes nothing, and a change of units undone before saving, leave the
    // reference as stored, in every bank layout: an optional column stored Null stays Null, a
    // required one is written with the value shown, so that the record loads again.
    void unchangedSaveKeepsTheReference_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        QTest::addColumn<bool>("unitsThereAndBack");
        QTest::addColumn<QStringList>("nulls"); // stored Null
        QTest::newRow("1 bank") << 1 << true << false << QStringList();
        QTest::newRow("1 bank, Systemdata 0") << 1 << false << false << QStringList();
        QTest::newRow("2 banks, system") << 2 << true << false << QStringList();
        QTest::newRow("2 banks, per bank") << 2 << false << false << QStringList();
        QTest::newRow("3 banks, system") << 3 << true << false << QStringList();
        QTest::newRow("3 banks, per bank") << 3 << false << false << QStringList();
        QTest::newRow("1 bank, US units and back") << 1 << true << true << QStringList();
        QTest::newRow("3 banks, US units and back") << 3 << true << true << QStringList();
        const QStringList nulls = {"refph", "ElementsPerVessel", "numVessels", "ElapsedTimeRef",
                                   "DeltaPress_1"};
        QTest::newRow("1 bank, Nulls") << 1 << true << false << nulls + QStringList{"AreaBank_3"};
        QTest::newRow("2 banks per bank, Nulls") << 2 << false << false << nulls + QStringList{"Permflow_3"};
        QTest::newRow("3 banks, Nulls") << 3 << true << false << nulls;
        // Required columns the user cannot type here: derived, creation-only or another layout's.
        const QStringList derived = {"CapacityM3D",     "DeltaPress",  "DeltaPress_1", "DeltaPress_2",
                                     "OverallRecovery", "ConcuS",      "FeedFlow",     "NumTrains",
                                     "uStoPPM",         "uStoPI_Feed", "uStoPI_Perm"};
        QTest::newRow("1 bank, required Nulls")
            << 1 << true << false << derived + QStringList{"ConcPressure_1",  "PermFlow_1",    "PermuS_1",
                                                           "PermBackPress_1", "ElementType_1", "AreaBank_2"};
        QTest::newRow("3 banks, required Nulls") << 3 << true << false << derived;
    }

    void unchangedSaveKeepsTheReference() {
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        QFETCH(bool, unitsThereAndBack);
        QFETCH(QStringList, nulls);
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        p.ElementList[2].SE = 37.2; // the element the stored areas were made of
        // The units of "CMH Metric", so that its button gives them back.
        QVariantMap values = {{"Systemdata", systemData ? -1 : 0}, {"unitPress", 7}, {"FeedTemp", 21.37}};
        QStringList required;
        for (const QString& column : nulls) {
            values[column] = QVariant();
            if (schema::Find(schema::ProjectInfo, column)->null == schema::NullRule::Refused)
                required << column;
        }
        test::insertProjectInfo(p.ProjectDatabasePath, banks, values);
        test::insertReading(p.ProjectDatabasePath, banks);
        Database db = Database::open(p.ProjectDatabasePath);
        const DbRow ref = db.select("SELECT * FROM ProjectInfo").first();
        const DbRow reading = db.select("SELECT * FROM Data").first();
        p.CurrentProject.ProjectID = "P1";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Edit);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        if (unitsThereAndBack) {
            w->btnUnitUS->click();
            w->btnUnitCMH->click();
        }
        env.prompts.onMessage("Updated Project Information!", Buttons::YesNo, "Hevrin", Answer::No);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        const DbRow after = db.select("SELECT * FROM ProjectInfo").first();
        QCOMPARE(rowDifference(after, ref, required), QString());
        for (const QString& column : nulls)
            QVERIFY2(after.isNull(column) != required.contains(column), qPrintable(column));
        QVERIFY(ReadProjectRecord(db, "P1", 1).has_value()); // no "Invalid use of Null"
        QCOMPARE(db.select("SELECT * FROM Data").first().values(), reading.values());
        delete w;
    }

    // A value typed over a Null is stored, even where it equals what the box showed for the
    // Null, and a required one ends the start's "Invalid use of Null": the repair the start
    // advises works.
    void typingOverANullStoresIt_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("stored");
        // clang-format off
        QTest::newRow("back pressure") << 1 << "PermBackPress" << "txtData_5" << "0" << 0.0;
        QTest::newRow("hours") << 1 << "ElapsedTimeRef" << "txtElapsedTime" << "0" << 0.0;
        QTest::newRow("bank 2 back pressure") << 2 << "PermBackPress_2" << "txtData_13" << "0" << 0.0;
        QTest::newRow("pH, the value shown") << 1 << "refph" << "txtData_8" << "7" << 7.0;
        QTest::newRow("vessels, the value shown") << 2 << "numVessels_1" << "txtFields_401" << "0" << 0.0;
        QTest::newRow("bank 3 flow, the value shown") << 3 << "Permflow_3" << "txtData_22" << "0" << 0.0;
        // clang-format on
    }

    void typingOverANullStoresIt() {
        QFETCH(int, banks);
        QFETCH(QString, column);
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(double, stored);
        const bool required = schema::Find(schema::ProjectInfo, column)->null == schema::NullRule::Refused;
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, banks, {{column, QVariant()}});
        p.DbVersionMajor = 1;
        p.DbVersionMinor = 3;
        p.DbVersionRevision = 38;
        p.CurrentProject.ProjectID = "P1";
        p.CurrentProject.TrainNumber = 1;
        if (required) {
            env.prompts.onMessage("94 - Invalid use of Null", Buttons::OK, "Hevrin", Answer::OK);
            LoadMyProject(p);
            QCOMPARE(env.prompts.verify(), QString());
            QVERIFY(env.prompts.shown().last().contains(
                "<Edit Current Project Information> task under the Projects menu"));
            QVERIFY(!p.CurrentProjectLoaded);
        }
        QPointer<frmProject> w = openWindow(p, Edit);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        auto* e = w->findChild<QLineEdit*>(box);
        QVERIFY(e);
        e->clear();
        QTest::keyClicks(e, text);
        env.prompts.onMessage("Updated Project Information!", Buttons::YesNo, "Hevrin", Answer::No);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        delete w;
        Database db = Database::open(p.ProjectDatabasePath);
        const QVariant v = db.scalar("SELECT " + column + " FROM ProjectInfo");
        QVERIFY(!v.isNull());
        QCOMPARE(v.toDouble(), stored);
        p.CurrentProjectLoaded = false;
        const int shown = int(env.prompts.shown().size());
        LoadMyProject(p);
        QCOMPARE(int(env.prompts.shown().size()), shown);
        QVERIFY(p.CurrentProjectLoaded);
    }

    // A box's text is stored as the reader reads it, or refused naming the box with nothing of
    // that save stored: a count holding text, a fraction or a number out of range; an emptied
    // count, area or hours box; a number typed key by key with either decimal mark.
    void boxStoredAsReadOrRefused_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("banks");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");      // key by key, else put in the box
        QTest::addColumn<QString>("message"); // empty: stored
        QTest::addColumn<QString>("column");
        QTest::addColumn<double>("stored");
        const QString empty = "You must enter data for every field, even if 0. Please try again";
        const auto count = [](const QString& box, const QString& text, int least = 0) {
            return QString("%1 holds \"%2\", which is not a whole number from %3 to 32767.")
                .arg(box, text)
                .arg(least);
        };
        const auto refused = [](const char* row, int banks, const char* box, const QString& text, bool typed,
                                const QString& message, const char* locale = "C") {
            QTest::newRow(row) << locale << banks << box << text << typed << message << QString() << 0.0;
        };
        const auto stored = [](const char* row, const char* locale, const char* box, const QString& text,
                               const char* column, double value) {
            QTest::newRow(row) << locale << 1 << box << text << true << QString() << column << value;
        };
        const QString v1 = "Number of Vessels, B 1";
        for (const char* text : {"abc", "1'500", "50%"})
            refused(qPrintable("vessels, " + QString(text)), 3, "txtFields_401", text, false,
                    count(v1, text));
        refused("vessels, other mark", 3, "txtFields_401", "0,5", true, count(v1, "0,5"));
        refused("vessels, fraction", 2, "txtFields_402", "1.500", true,
                count("Number of Vessels, B 2", "1.500"));
        refused("vessels, emptied", 3, "txtFields_401", "", false, empty);
        refused("per vessel, fraction", 1, "txtFields_500", "2.5", true,
                count("Elements per Vessel, Sys", "2.5"));
        refused("per vessel, too many", 2, "txtFields_501", "40000", true,
                count("Elements per Vessel, B 1", "40000"));
        refused("trains, fraction", 1, "txtNumTrains", "1.5", true, count("Number of Trains", "1.5", 1));
        refused("area, emptied", 3, "txtFields_201", "", false, empty);
        refused("one-bank area, emptied", 1, "txtFields_200", "", false, empty);
        refused("hours, emptied", 1, "txtElapsedTime", "", false, empty);
        refused("English (UK), comma", 1, "txtData_6", "110,5", true,
                "Reference Feed uSiemens holds \"110,5\", which is not a number.", "en_GB");
        stored("French, point", "fr_FR", "txtData_9", "15.5", "FeedTemp", 15.5);
        stored("French, comma", "fr_FR", "txtData_9", "15,5", "FeedTemp", 15.5);
        stored("German, point", "de_DE", "txtData_8", "7.5", "refph", 7.5);
        stored("English (UK), group", "en_GB", "txtData_6", "1,100", "FeeduS", 1100.0);
    }

    void boxStoredAsReadOrRefused() {
        QFETCH(QString, locale);
        QFETCH(int, banks);
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(bool, typed);
        QFETCH(QString, message);
        QLocale::setDefault(locale == "C" ? QLocale::c() : QLocale(locale));
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, banks, {{"ElapsedTimeRef", 12.0}});
        Database db = Database::open(p.ProjectDatabasePath);
        const QVariantList before = db.select("SELECT * FROM ProjectInfo").first().values();
        p.CurrentProject.ProjectID = "P1";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Edit);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        auto* e = w->findChild<QLineEdit*>(box);
        QVERIFY(e);
        e->clear();
        typed ? QTest::keyClicks(e, text) : e->setText(text);
        QCOMPARE(e->text(), text);
        if (box != "txtData_9") w->txtData[9]->setText("30"); // a change a refusal keeps out too
        env.prompts.onMessage(message.isEmpty() ? QString("Updated Project Information!") : message,
                              message.isEmpty() ? Buttons::YesNo : Buttons::OK, "Hevrin",
                              message.isEmpty() ? Answer::No : Answer::OK);
        w->cmdSave->click();
        QCOMPARE(env.prompts.verify(), QString());
        if (message.isEmpty()) {
            QFETCH(QString, column);
            QFETCH(double, stored);
            QCOMPARE(db.scalar("SELECT " + column + " FROM ProjectInfo").toDouble(), stored);
        } else {
            QCOMPARE(db.select("SELECT * FROM ProjectInfo").first().values(), before);
        }
        delete w;
    }

    // A change of units recomputes the one-bank flux from the flow in box 1, now in the new unit.
    void unitChangeRefreshesTheFlux() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "U"}});
        p.CurrentProject.ProjectID = "U";
        p.CurrentProject.TrainNumber = 1;
        QPointer<frmProject> w = openWindow(p, Edit);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        w->txtData[1]->setText("50");
        w->btnUnitCMD->click();
        QCOMPARE(w->txtData[1]->text(), QString("1200.0")); // 50 m3/hr
        const double area = ColumnArea(p, CountBoxValue(w->txtFields[100]->text()).value(),
                                       w->cboElements[0]->currentIndex());
        QVERIFY(area > 0);
        QCOMPARE(w->txtFields[300]->text(), FormatValue(FluxOf(1200, area, 14, p.FluxUnit)));
        QCOMPARE(env.prompts.verify(), QString());
        delete w;
    }

    void closingWithoutSavingStoresNothing_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }

    void closingWithoutSavingStoresNothing() {
        QFETCH(bool, escape);
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 2, {{"ProjectID", "Keep"}});
        p.CurrentProject.ProjectID = "Keep";
        p.CurrentProject.TrainNumber = 1;
        Database db = Database::open(p.ProjectDatabasePath);
        const QVariantList before = db.select("SELECT * FROM ProjectInfo").first().values();
        QPointer<frmProject> w = openWindow(p, Edit);
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        w->txtData[2]->setText("99");
        w->btnUnitUS->click();
        escape ? pressEscape(*w->txtData[2]) : w->cmdClose->click();
        settle();
        QVERIFY(w.isNull());
        QCOMPARE(db.select("SELECT * FROM ProjectInfo").first().values(), before);
        QCOMPARE(p.FlowUnit, qint16(4)); // the unit choice stays program-wide
        QCOMPARE(iniValue(p, "Project"), QString("<none>"));

        w = openWindow(p, Select);
        escape ? pressEscape(*w->cbProject) : w->cmdClose->click();
        settle();
        QVERIFY(w.isNull());
        QCOMPARE(iniValue(p, "Project"), QString("<none>"));
        QCOMPARE(env.prompts.verify(), QString());
    }

    void selectButtonAndDropDown() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "A"}});
        test::insertProjectInfo(p.ProjectDatabasePath, 1, {{"ProjectID", "B"}});
        p.CurrentProject.ProjectID = "missing";
        QPointer<frmProject> w = openWindow(p, Edit);
        QCOMPARE(w->cbProject->currentText(), QString("A Train:1"));
        QCOMPARE(p.CurrentProject.ProjectID, QString("A")); // edit mode makes the shown train current
        QVERIFY(w->cmdSelect->isEnabled());
        w->cbProject_DropDown();
        QVERIFY(!w->cmdSelect->isEnabled());
        w->cbProject->setCurrentIndex(1);
        w->cmdGo->click();
        QVERIFY(w->cmdSelect->isEnabled());
        w->cmdSelect->click();
        settle();
        QVERIFY(w.isNull());
        QCOMPARE(iniValue(p, "Project"), QString("B"));
        QCOMPARE(p.status.text(1), QString("Project: B Train: 1"));
    }

    void emptyDatabaseShowsAnEmptyProject() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Select);
        QCOMPARE(w->cbProject->count(), 1);
        QCOMPARE(w->cbProject->currentText(), QString("NO PROJECTS FOUND - CREATE A NEW PROJECT"));
        QVERIFY(w->optBanks[0]->isChecked());
        QCOMPARE(w->txtData[18]->text(), QString()); // no feed flow, no recovery
        delete w;
    }

    void entryBoxesFilterAndMove() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        QPointer<frmProject> w = openWindow(p, Create);
        runWizardTo(*w, 7, 2, UnitPreset::CMH, "Keys", 1);
        w->txtData[5]->clear();
        QTest::keyClicks(w->txtData[5], "a-1.5");
        QCOMPARE(w->txtData[5]->text(), QString("1.5"));
        w->txtData[0]->clear();
        QTest::keyClicks(w->txtData[0], "1/2/2026 x");
        QCOMPARE(w->txtData[0]->text(), QString("1/2/2026 x"));
        w->txtFields[201]->setText("5");
        QTest::keyClicks(w->txtFields[201], "7");
        QCOMPARE(w->txtFields[201]->text(), QString("5"));
        // Pasted and dropped text is filtered as typed text is.
        QGuiApplication::clipboard()->setText("-7x");
        w->txtData[3]->clear();
        QTest::keySequence(w->txtData[3], QKeySequence::Paste);
        QCOMPARE(w->txtData[3]->text(), QString("7"));
        QMimeData dropped;
        dropped.setText("a1.5b");
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        w->txtData[4]->clear();
        QCoreApplication::sendEvent(w->txtData[4], &enter);
        QCoreApplication::sendEvent(w->txtData[4], &drop);
        QCOMPARE(w->txtData[4]->text(), QString("1.5"));

        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const int walk[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 21, 0};
        w->txtData[0]->setText("2026-01-02");
        w->txtData[0]->setFocus();
        for (size_t i = 1; i < std::size(walk); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), w->txtData[size_t(walk[i])]);
        }

        // Leaving a bad date asks to retry.
        w->txtData[0]->setText("bad");
        env.prompts.onMessage(
            "Please enter a valid date in the correct format.\r\nReference Date and Time - you entered: bad",
            Buttons::RetryCancel, "Hevrin", Answer::Retry);
        w->txtData[1]->setFocus();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(QApplication::focusWidget(), w->txtData[0]);
        w->txtData[0]->setText("2026-01-02");

        w->txtNumTrains->setText("0");
        w->txtNumTrains_LostFocus();
        QCOMPARE(w->txtNumTrains->text(), QString("1"));
        w->txtNewProject->setText(QString(51, 'x'));
        env.prompts.onMessage("Project Name too long (50 max).", Buttons::OK, "Hevrin", Answer::OK);
        w->txtNewProject_LostFocus();
        QCOMPARE(w->txtNewProject->text(), QString(50, 'x'));
        QCOMPARE(env.prompts.verify(), QString());

        // Leaving a vessel box recounts the column and the system totals.
        w->txtFields[402]->setText("4");
        w->txtFields_LostFocus(402);
        QCOMPARE(w->txtFields[102]->text(), QString("24"));
        QCOMPARE(w->txtFields[202]->text(), QString("892.8"));
        QCOMPARE(w->txtFields[200]->text(), QString("3292.8"));
        delete w;
    }

    // Every mode, and every wizard step, fits a 1280 x 800 screen with a desktop's frame and
    // shows every text whole; the grids follow the window's size; the wrapped check-box
    // captions still work their boxes.
    void windowFitsAScreen() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        test::insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", "Three"}, {"Systemdata", 0}});
        // The longest texts a user may well give: a Project ID of 50 characters, a custom
        // element's name, a late date.
        const QString longId = "North Bay Desalination Plant, Reverse Osmosis 2026";
        QCOMPARE(longId.size(), 50);
        test::insertProjectInfo(
            p.ProjectDatabasePath, 2,
            {{"ProjectID", longId}, {"TrainNumber", 12}, {"DateReference", "2026-11-30 23:45:00"}});
        p.CurrentProject.ProjectID = "Three";
        p.CurrentProject.TrainNumber = 1;
        p.ElementList[1].Model = "HV-BRACKISH 8040-LE-440";
        auto fits = [](frmProject& w, const QString& where) {
            const QStringList cut = test::cutOffTexts(&w);
            QVERIFY2(cut.isEmpty(), qPrintable(where + ":\n" + cut.join('\n')));
        };
        QPointer<frmProject> w = openWindow(p, Select);
        fits(*w, "select");
        delete w;
        w = openWindow(p, Edit);
        w->cbProject->setCurrentIndex(0);
        w->cmdGo->click();
        QCOMPARE(w->cbProject->currentText(), longId + " Train:12");
        fits(*w, "edit, two banks");
        w->cbProject->setCurrentIndex(1);
        w->cmdGo->click();
        env.prompts.onMessage("Editing an existing project", Buttons::YesNo, "Hevrin", Answer::Yes);
        w->cmdEdit->click();
        QVERIFY(!w->txtFields[303]->isHidden());
        fits(*w, "edit");
        w->resize(900, 600);
        const int narrow = w->txtFields[303]->width();
        w->resize(test::MaxWindowSize.width(), 600);
        QVERIFY(w->txtFields[303]->width() > narrow);
        delete w;

        for (int layout : {0, 3}) {
            for (int step = 1; step <= 11; ++step) {
                w = openWindow(p, Create);
                runWizardTo(*w, step, layout, UnitPreset::US, longId, 12);
                fits(*w, QString("layout %1, step %2").arg(layout).arg(step));
                delete w;
            }
        }
        w = openWindow(p, Create);
        runWizardTo(*w, 6, 3, UnitPreset::CMD, "Fits", 1); // the longest directions
        QCOMPARE(w->WizardStep, qint16(6));
        QVERIFY(w->optBanks[3]->isChecked());

        QLabel* caption = nullptr;
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->text().startsWith("2 BANKS? Check this box")) caption = l;
        QVERIFY(caption);
        QVERIFY(!w->chk2Bank->isEnabled());
        QVERIFY(!caption->isEnabled());
        w->chk2Bank->setEnabled(true);
        QVERIFY(caption->isEnabled());
        const bool before = w->chk2Bank->isChecked();
        QTest::mouseClick(caption, Qt::LeftButton);
        QCOMPARE(w->chk2Bank->isChecked(), !before);
        delete w;
        QCOMPARE(env.prompts.verify(), QString());
    }

    void customUnitsDialog() {
        test::TestEnv env;
        test::prepare(env);
        Program& p = env.prog();
        ApplyUnitPreset(p, UnitPreset::CMH);
        {
            dlgUnits d(p);
            QCOMPARE(d.windowTitle(), QString("Hevrin(tm) - Units"));
            QCOMPARE(d.cbTempUnits->count(), 2);
            QCOMPARE(d.cbTempUnits->currentText(), QString("Deg C"));
            QCOMPARE(d.cbPresUnits->count(), 12);
            QCOMPARE(d.cbFlowUnits->count(), 16);
            d.cbPresUnits->setCurrentIndex(8); // Bar
            QCOMPARE(p.PressureUnit, qint16(7));
            d.btnCancel->click();
            QCOMPARE(p.PressureUnit, qint16(7));
        }
        {
            dlgUnits d(p);
            d.btnMetric->click();
            QCOMPARE(p.FlowUnit, qint16(14));
            QCOMPARE(d.cbFlowUnits->currentIndex(), 14);
            QTest::keyClick(&d, Qt::Key_Escape); // Esc is Cancel
            QCOMPARE(QList<int>({p.PressureUnit, p.TemperatureUnit, p.FlowUnit, p.FluxUnit, p.MassUnit}),
                     QList<int>({7, 1, 13, 1, 0}));
        }
        {
            dlgUnits d(p);
            d.show();
            const QStringList cut = test::cutOffTexts(&d);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
            d.btnUS->click();
            d.close(); // the close box keeps the preset
            QCOMPARE(QList<int>({p.PressureUnit, p.TemperatureUnit, p.FlowUnit, p.FluxUnit, p.MassUnit}),
                     QList<int>({0, 0, 4, 0, 1}));
        }
        {
            dlgUnits d(p);
            d.btnCGS->click();
            d.cbPresUnits->setCurrentIndex(0);
            d.btnOk->click();
            QCOMPARE(QList<int>({p.PressureUnit, p.TemperatureUnit, p.FlowUnit, p.FluxUnit, p.MassUnit}),
                     QList<int>({0, 1, 13, 1, 0}));
        }

        // From the project window: the dialog's choice relabels the window.
        QPointer<frmProject> w = openWindow(p, Create);
        runWizardTo(*w, 5, 0, UnitPreset::US, "Units", 1);
        QVERIFY(test::answerDialog<dlgUnits>([&] { w->btnUnitCustom->click(); },
                                             [](dlgUnits& d) {
                                                 d.cbFlowUnits->setCurrentIndex(10); // Liter/min
                                                 d.btnOk->click();
                                             }));
        QCOMPARE(p.FlowUnit, qint16(10));
        QCOMPARE(w->FormProject.unitFlow, qint16(10));
        QCOMPARE(w->lblUnits[1]->text(), QString("Liter/min"));
        QCOMPARE(w->lblUnits[100]->text(), QString("Flow:Liter/min"));
        QVERIFY(test::answerDialog<dlgUnits>([&] { w->btnUnitCustom->click(); },
                                             [](dlgUnits& d) {
                                                 d.btnMetric->click();
                                                 d.btnCancel->click();
                                             }));
        QCOMPARE(p.FlowUnit, qint16(10));
        QCOMPARE(w->lblUnits[1]->text(), QString("Liter/min"));
        delete w;
    }
};

HV_FIT_TEST_MAIN(TestFrmProject)
#include "tst_frmproject.moc"
