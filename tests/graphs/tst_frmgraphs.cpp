#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "core/settings.h"
#include "core/units.h"
#include "graphs/grapher.h"
#include "graphs/graphmanager.h"
#include "graphs/ui/chartview.h"
#include "graphs/ui/dlgprint.h"
#include "graphs/ui/frmgraphconfig.h"
#include "graphs/ui/frmgraphs.h"
#include "graphs/ui/graphimagewindows.h"
#include "graphs/ui/graphwindows.h"
#include "graphtestsupport.h"
#include "support/dialogs.h"
#include "support/files.h"

using namespace hv;
using namespace hv::test;

class tst_frmGraphs : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Program& p() { return env->prog(); }
    QString db() { return p().ProjectDatabasePath; }

    int lastGraphRows(const QString& project = "P1", int train = 1) {
        Database d = Database::open(db());
        return d
            .scalar("SELECT COUNT(*) FROM UserGraphs WHERE ProjectID = ? AND TrainNumber = ? AND "
                    "GraphName = 'Last Graph'",
                    {project, train})
            .toInt();
    }
    std::unique_ptr<frmGraphs> open() {
        auto w = std::make_unique<frmGraphs>(p());
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->Form_Activate();
        return w;
    }
    void verifyPrompts() {
        const QString v = env->prompts.verify();
        QVERIFY2(v.isEmpty(), qPrintable(v));
    }
    // Runs `action` on the style dialog once it is shown modally by `open`.
    void withConfig(frmGraphs& w, const std::function<void(frmGraphConfig&)>& action) {
        QVERIFY(answerDialog<frmGraphConfig>([&] { w.cmdConfigure->click(); }, action));
    }

private slots:
    void init() {
        // Dates are typed in the computer's own form: these tests type them as in the US.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        env = std::make_unique<TestEnv>();
        makeBlankDatabase(db());
        InitUnits(p());
        insertProjectInfo(db(), 3, {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"NumTrains", 2}});
        insertProjectInfo(db(), 3, {{"ProjectID", "P1"}, {"TrainNumber", 2}, {"NumTrains", 2}});
        insertProjectInfo(db(), 3, {{"ProjectID", "P2"}, {"TrainNumber", 1}, {"NumTrains", 1}});
        std::vector<GraphRow> rows;
        for (int d = 0; d < 10; ++d)
            rows.push_back({"P1",
                            1,
                            at(2024, 1, 1 + d, 10),
                            24.0 * d,
                            {{"NormalizedPermFlow", 50.0 - d},
                             {"NormalizedSaltPassage", 0.01},
                             {"NormalizedDP", 1.5},
                             {"ActualRejection", 0.99}},
                            d == 4 ? 1 : 0});
        rows.push_back({"P1", 2, at(2024, 2, 1), 0, {{"NormalizedPermFlow", 30.0}}});
        insertGraphRows(db(), rows);
        insertRow(db(), "UserDefined", {{"ProjectID", "P1"}, {"TurbidityRaw", "Raw NTU"}});
        p().CurrentProject.ProjectID = "P1";
        p().CurrentProject.TrainNumber = 1;
        p().CurrentProject.NumBanks = 3;
        p().CurrentProject.unitFlow = 6;
        p().CurrentProject.unitTemp = 1;
        p().DbVersionMajor = 1, p().DbVersionMinor = 3, p().DbVersionRevision = 38;
    }
    void cleanup() {
        for (const QString& name : p().windows.loadedNames())
            delete p().windows.find(name);
        env.reset();
        QLocale::setDefault(QLocale::c());
    }

    void activationAndLists() {
        auto w = open();
        QCOMPARE(w->cbProject->count(), 3);
        QCOMPARE(w->cbProject->itemText(0), QString("P1 Train:1"));
        QCOMPARE(w->cbProject->currentText(), QString("P1 Train:1")); // the train drawn
        QCOMPARE(w->GraphProjectID, QString("P1"));
        QCOMPARE(int(w->GraphTrain), 1); // from the current project, not from the list
        QCOMPARE(w->cboTrain->count(), 2);
        QCOMPARE(w->cboTrain->currentText(), QString("1"));
        QCOMPARE(w->lblTitle->text(), QString("P1 Train: 1"));
        for (QComboBox* c : w->cboSeries)
            QCOMPARE(c->count(), 51);
        QCOMPARE(w->cboSeries[0]->currentText(), QString("System Normalized Salt Passage"));
        QVERIFY(w->cboSeries[2]->findText("Raw NTU") >= 0);
        QCOMPARE(w->cboDefaultGraphs->count(), 3);
        QCOMPARE(w->cboDefaultGraphs->currentIndex(), -1);
        // The activation drew the whole recorded period.
        QCOMPARE(w->chartModel()->group(1).series(1).pointCount(), 10);
        QCOMPARE(w->lblStartDate->text(), QString("1/1/2024"));
        QCOMPARE(w->lblEndDate->text(), QString("1/11/2024"));
        QCOMPARE(lastGraphRows(), 1);

        // Coming back reloads nothing while the database and the current project stay.
        w->GraphProjectID = "kept";
        w->Form_Activate();
        QCOMPARE(w->GraphProjectID, QString("kept"));
        // A project picked in the list is graphed; the train list stays.
        w->cbProject->setCurrentIndex(1);
        QCOMPARE(w->GraphProjectID, QString("P1"));
        QCOMPARE(int(w->GraphTrain), 2);
        // Another current project reloads; one without readings says so and draws all the same.
        p().CurrentProject.ProjectID = "P2";
        env->prompts.onMessage("No data in this project to graph. Please select another project.",
                               Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->Form_Activate();
        verifyPrompts();
        QCOMPARE(w->GraphProjectID, QString("P2"));
        QCOMPARE(w->lblTitle->text(), QString("P2 Train: 1"));
        QVERIFY(w->cboSeries[2]->findText("Raw NTU") < 0); // captions of the current project only
        QCOMPARE(lastGraphRows("P2"), 1);
    }

    void dependentSeriesBoxes() {
        auto w = open();
        auto shown = [&](QWidget* x) { return !x->isHidden(); };
        QVERIFY(!shown(w->cboSeries[1]) && shown(w->chkEnableDropDown[0]) && !shown(w->chkEnableDropDown[1]));
        w->chkEnableDropDown[0]->setChecked(true);
        QVERIFY(shown(w->cboSeries[1]) && shown(w->chkEnableDropDown[1]));
        w->chkEnableDropDown[1]->setChecked(true);
        w->chkEnableDropDown[2]->setChecked(true);
        QVERIFY(shown(w->cboSeries[2]) && shown(w->cboSeries[3]));
        w->chkEnableDropDown[0]->setChecked(false);
        for (int k = 1; k <= 3; ++k)
            QVERIFY(!shown(w->cboSeries[size_t(k)]));
        for (int k = 1; k <= 2; ++k)
            QVERIFY(!shown(w->chkEnableDropDown[size_t(k)]) && !w->chkEnableDropDown[size_t(k)]->isChecked());
        // A hidden box that still shows a choice draws nothing.
        w->cmdGraph->click();
        QCOMPARE(int(w->GraphSeriesCount), 1);
    }

    void drawing_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("allDates");
        QTest::addColumn<bool>("elapsed");
        QTest::addColumn<bool>("events");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QDateTime>("drawnEnd");
        const QDateTime wholeDay = at(2024, 1, 6); // a date alone: drawn to the end of 5 January
        QTest::newRow("1 series, all dates") << 1 << true << false << false << 10 << "" << QDateTime();
        QTest::newRow("2 series, period, events")
            << 2 << false << false << true << 3 << "1/5/2024" << wholeDay;
        QTest::newRow("3 series, elapsed, events") << 3 << true << true << true << 10 << "" << QDateTime();
        QTest::newRow("4 series, period, elapsed")
            << 4 << false << true << false << 3 << "1/5/2024" << wholeDay;
        QTest::newRow("2 series, period to a time of day")
            << 2 << false << false << false << 2 << "1/5/2024 06:00" << at(2024, 1, 5, 6);
    }

    void drawing() {
        QFETCH(int, count);
        QFETCH(bool, allDates);
        QFETCH(bool, elapsed);
        QFETCH(bool, events);
        QFETCH(int, points);
        QFETCH(QString, end);
        QFETCH(QDateTime, drawnEnd);
        auto w = open();
        const QStringList series{"System Normalized Permeate Flow", "System Normalized DP",
                                 "System Rejection", "System Normalized Salt Passage"};
        for (int k = 0; k < count; ++k) {
            if (k > 0) w->chkEnableDropDown[size_t(k - 1)]->setChecked(true);
            w->cboSeries[size_t(k)]->setCurrentIndex(w->cboSeries[size_t(k)]->findText(series[k]));
        }
        w->ChkAllDates->setChecked(allDates);
        if (!allDates) {
            w->txtStartDate->setText("1/3/2024");
            w->txtEndDate->setText(end);
        }
        w->Option1[elapsed ? 1 : 0]->setChecked(true);
        w->chkShowEvents->setChecked(events);
        w->cmdGraph->click();
        verifyPrompts();

        const ChartModel& c = *w->chartModel();
        QCOMPARE(int(w->GraphSeriesCount), count);
        QCOMPARE(c.group(1).series(1).pointCount(), points);
        QCOMPARE(c.axis(ChartModel::Y2).shown, count == 2);
        if (count == 2)
            QCOMPARE(c.group(2).series(1).pointCount(), points);
        else
            QCOMPARE(c.group(1).series(count).pointCount(), points);
        QCOMPARE(c.footerText, QString(elapsed ? "Elapsed Time Hrs" : ""));
        if (!allDates) {
            QCOMPARE(w->GraphEndDate, drawnEnd);
            QVERIFY(w->lblStartDate->isHidden() && !w->txtStartDate->isHidden());
            for (double x : c.group(1).series(1).x) // nothing after the end
                QVERIFY(FromDateSerial(x) <= drawnEnd);
        }
        if (!elapsed)
            QCOMPARE(c.axis(ChartModel::X).max,
                     ToDateSerial(allDates ? at(2024, 1, 11) : drawnEnd.date().startOfDay()));
        else
            QCOMPARE(c.axis(ChartModel::X).min, allDates ? 0.0 : 48.0);
        const int eventsSeries = count == 2 ? 2 : count + 1;
        if (events) {
            QCOMPARE(c.group(1).label(eventsSeries), QString("Events"));
            QCOMPARE(c.group(1).series(eventsSeries).pointCount(), 1);
            QCOMPARE(w->lstEvents->count(), 1);
            QCOMPARE(w->lstEvents->item(0)->text(), QString("1/5/2024 10:00 - System Cleaning"));
            QVERIFY(!w->lstEvents->isHidden());
        } else {
            QCOMPARE(w->lstEvents->count(), 0);
        }
        QCOMPARE(lastGraphRows(), 1);
        Database d = Database::open(db());
        const DbRow row = d.select("SELECT * FROM UserGraphs WHERE GraphName = 'Last Graph'").first();
        QCOMPARE(row.toInt16("SensorCount"), qint16(count));
        QCOMPARE(row.toText("S1Name"), series[0]);
        QCOMPARE(row.toText("S4Name"), count == 4 ? series[3] : QString());
    }

    void lastGraphAndStyleZero() {
        auto w = open();
        w->Style.LineStyle[0] = 0;
        w->cmdGraph->click();
        w->cmdGraph->click();
        QCOMPARE(lastGraphRows(), 1);
        QCOMPARE(int(w->Style.LineStyle[0]), 2);
        Database d = Database::open(db());
        QCOMPARE(d.scalar("SELECT S1LineStyle FROM UserGraphs WHERE GraphName = 'Last Graph'").toInt(), 2);
        QCOMPARE(w->chartModel()->group(1).styleOf(1).linePattern, 2);
    }

    void specFluxWarningOncePerDatabase() {
        for (int revision : {20, 21}) {
            p().DbVersionRevision = qint16(revision);
            p().SpecFluxWarningShown = false;
            auto w = open(); // the activation's drawing has no specific-flux series
            w->cboSeries[0]->setCurrentIndex(w->cboSeries[0]->findText("System Specific Flux"));
            if (revision == 20)
                env->prompts.onMessage("Specific Flux values are all zero.", Buttons::OK, "Hevrin Graphs",
                                       Answer::OK);
            w->cmdGraph->click();
            w->cmdGraph->click(); // not again
            verifyPrompts();
            QCOMPARE(p().SpecFluxWarningShown, revision == 20);
        }
    }

    void titleAndInformationLine() {
        auto w = open();
        const ChartModel& c = *w->chartModel();
        QCOMPARE(c.labels.size(), size_t(1));
        // The units of the project drawn, not of the current project.
        QCOMPARE(c.labels[0].text,
                 InformationLine(p(), ReadGraphUnits(p(), "P1", 1), env->system.clock.date()));
        QVERIFY(c.labels[0].text != InformationLine(p(), CurrentUnits(p()), env->system.clock.date()));
        QVERIFY(c.labels[0].text.endsWith("DB Name: db.hv3.mdb"));
        QCOMPARE(c.headerLayout, 1);

        w->txtTitle->setText(QString(60, 't')); // typing stops at 51
        emit w->txtTitle->editingFinished();
        QCOMPARE(c.headerText, QString(51, 't'));
        QCOMPARE(c.headerLayout, 45);
        QCOMPARE(c.plotAreaLayout, 55);
        w->cmdGraph->click(); // the saved title is cut to 50, and so is the window's
        QCOMPARE(w->Style.Header, QString(50, 't'));
        Database d = Database::open(db());
        QCOMPARE(d.scalar("SELECT Header FROM UserGraphs WHERE GraphName = 'Last Graph'").toString(),
                 QString(50, 't'));
        // Picking the drawn series keeps the title; another drops it.
        w->cboSeries[0]->setCurrentIndex(w->cboSeries[0]->currentIndex());
        QCOMPARE(w->Style.Header, QString(50, 't'));
        w->cboSeries[0]->setCurrentIndex(3);
        QCOMPARE(w->Style.Header, QString("None"));
        QVERIFY(w->txtTitle->text().isEmpty());
        emit w->txtTitle->editingFinished();
        QCOMPARE(c.headerText, QString());
        QCOMPARE(c.headerLayout, 1);
        QCOMPARE(c.plotAreaLayout, 30);
    }

    // A primary graph keeps the custom title only when it draws the very series the title named.
    void primaryGraphTitle_data() {
        QTest::addColumn<QStringList>("drawn");
        QTest::addColumn<int>("primary");
        QTest::addColumn<QString>("title");
        const QString flow = "System Normalized Permeate Flow", dp = "System Normalized DP";
        QTest::newRow("the same series") << QStringList{flow} << 0 << "Pump A";
        QTest::newRow("its series and one more") << QStringList{flow, dp} << 0 << "";
        QTest::newRow("four series") << QStringList{"System Normalized Salt Passage", dp, dp, flow} << 1
                                     << "";
    }
    void primaryGraphTitle() {
        QFETCH(QStringList, drawn);
        QFETCH(int, primary);
        QFETCH(QString, title);
        auto w = open();
        for (int k = 0; k < drawn.size(); ++k) {
            if (k > 0) w->chkEnableDropDown[size_t(k - 1)]->setChecked(true);
            w->cboSeries[size_t(k)]->setCurrentIndex(w->cboSeries[size_t(k)]->findText(drawn[k]));
        }
        w->cmdGraph->click();
        w->txtTitle->setText("Pump A");
        emit w->txtTitle->editingFinished();
        w->cboDefaultGraphs->setCurrentIndex(primary);
        emit w->cboDefaultGraphs->activated(primary);
        QCOMPARE(w->txtTitle->text(), title);
        QCOMPARE(w->chartModel()->headerText, title);
    }

    void invalidDateBoxes() {
        auto w = open();
        w->ChkAllDates->setChecked(false);
        QSignalSpy drawn(w->chartModel(), &ChartModel::changed);
        w->txtStartDate->setText("1/4/2024");
        w->txtEndDate->setText("not a date");
        env->prompts.onMessage("is not a valid date", Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(drawn.count(), 0); // nothing drawn
        // A day the month lacks, the box left for the button: kept, refused and not drawn.
        w->txtEndDate->setText("11/31/2024");
        emit w->txtEndDate->editingFinished();
        QCOMPARE(w->txtEndDate->text(), QString("11/31/2024"));
        env->prompts.onMessage("The end date \"11/31/2024\" is not a valid date.", Buttons::OK,
                               "Hevrin Graphs", Answer::OK);
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(drawn.count(), 0);
        // A cleaning level that is not a number draws nothing and names the box.
        QSignalSpy redrawn(w->chartModel(), &ChartModel::changed);
        w->txtLineValue->setText("4.0.1");
        env->prompts.onMessage("Value indicating cleaning required holds \"4.0.1\", which is not a number.",
                               Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(redrawn.count(), 0);
    }

    // A start box that holds no date is refused as the end box is, by Draw and by Save, kept
    // as typed, with nothing drawn or stored in place of the period typed.
    void refusedStartDate_data() {
        QTest::addColumn<QString>("start");
        QTest::newRow("a day the month lacks") << "11/31/2026";
        QTest::newRow("not a date") << "abc";
        QTest::newRow("empty") << "";
    }
    void refusedStartDate() {
        QFETCH(QString, start);
        auto w = open();
        w->ChkAllDates->setChecked(false);
        const QString rows = "SELECT group_concat(ID || StartDate || EndDate) FROM UserGraphs";
        const QVariant before = Database::open(db()).scalar(rows);
        QSignalSpy drawn(w->chartModel(), &ChartModel::changed);
        w->txtStartDate->setText(start);
        w->txtEndDate->setText("1/3/2024");
        emit w->txtStartDate->editingFinished();
        QCOMPARE(w->txtStartDate->text(), start);
        const QString refusal = "The start date \"" + start + "\" is not a valid date.";
        env->prompts.onMessage(refusal, Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->cmdGraph->click();
        env->prompts.onMessage(refusal, Buttons::OK, "Hevrin Graphs", Answer::OK);
        QVERIFY(!answerDialog<QDialog>([&] { w->cmdSave->click(); }, [](QDialog& d) { d.reject(); }));
        verifyPrompts();
        QCOMPARE(drawn.count(), 0);
        QCOMPARE(Database::open(db()).scalar(rows), before);
    }

    // Escape closes the window, as its close button does.
    void escapeCloses() {
        auto w = open();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::keyClick(w->txtTitle, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }

    // A period whose end lies on a day before its start is refused, by Draw and by Save, with
    // nothing drawn or stored; a start later on the end's own day still draws.
    void reversedPeriod() {
        auto w = open();
        w->ChkAllDates->setChecked(false);
        Database d = Database::open(db());
        const QString lastGraph =
            "SELECT ID, StartDate, EndDate FROM UserGraphs WHERE GraphName = 'Last Graph'";
        const QVariantList before = d.select(lastGraph).first().values();
        QSignalSpy drawn(w->chartModel(), &ChartModel::changed);
        w->txtStartDate->setText("1/5/2024");
        w->txtEndDate->setText("1/3/2024");
        const QString refusal = "The end date \"1/3/2024\" is before the start date \"1/5/2024\".";
        env->prompts.onMessage(refusal, Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(drawn.count(), 0);
        QCOMPARE(d.select(lastGraph).first().values(), before);

        // Save asks no name for it; a name dialog shown all the same is cancelled here.
        env->prompts.onMessage(refusal, Buttons::OK, "Hevrin Graphs", Answer::OK);
        QVERIFY(!answerDialog<QDialog>([&] { w->cmdSave->click(); }, [](QDialog& d) { d.reject(); }));
        verifyPrompts();
        QCOMPARE(d.scalar("SELECT COUNT(*) FROM UserGraphs").toInt(), 1);

        w->txtStartDate->setText("1/3/2024 9:00:00 AM");
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(w->chartModel()->group(1).series(1).pointCount(), 1);
        const DbRow row = d.select(lastGraph).first();
        QCOMPARE(row.toText("StartDate").left(10), QString("2024-01-03"));
        QCOMPARE(row.toText("EndDate").left(10), QString("2024-01-03"));
    }

    // The project list names the train drawn: the current project's train when the window
    // opens, and a train chosen in the train box once it is drawn.
    void projectListShowsTrainDrawn() {
        p().CurrentProject.TrainNumber = 2;
        auto w = open();
        QCOMPARE(int(w->GraphTrain), 2);
        QCOMPARE(w->cbProject->currentText(), QString("P1 Train:2"));
        w->cboTrain->setCurrentText("1");
        emit w->cboTrain->activated(w->cboTrain->currentIndex());
        w->cmdGraph->click();
        QCOMPARE(w->cbProject->currentText(), QString("P1 Train:1"));
        QCOMPARE(w->lblTitle->text(), QString("P1 Train: 1"));
        QCOMPARE(lastGraphRows("P1", 1), 1);
        // A train without a row of its own in the list selects no item rather than another train.
        w->cboTrain->addItem("3");
        w->cboTrain->setCurrentText("3");
        emit w->cboTrain->activated(w->cboTrain->currentIndex());
        w->cmdGraph->click();
        QCOMPARE(w->cbProject->currentIndex(), -1);
        verifyPrompts();
    }

    // A project whose ID holds "Train:" is drawn as itself, not as the project its list text
    // begins with.
    void projectIdHoldingTrain() {
        insertProjectInfo(db(), 3, {{"ProjectID", "Lake"}, {"TrainNumber", 1}, {"NumTrains", 1}});
        insertProjectInfo(db(), 3, {{"ProjectID", "Lake Train:2"}, {"TrainNumber", 1}, {"NumTrains", 1}});
        insertGraphRows(db(), {{"Lake", 1, at(2024, 1, 2), 0, {{"NormalizedPermFlow", 11.0}}},
                               {"Lake Train:2", 1, at(2024, 1, 3), 0, {{"NormalizedPermFlow", 22.0}}},
                               {"Lake Train:2", 1, at(2024, 1, 4), 24, {{"NormalizedPermFlow", 23.0}}}});
        auto w = open();
        const int item = w->cbProject->findText("Lake Train:2 Train:1");
        QVERIFY(item >= 0);
        w->cbProject->setCurrentIndex(item);
        QCOMPARE(w->GraphProjectID, QString("Lake Train:2"));
        QCOMPARE(int(w->GraphTrain), 1);
        w->cboSeries[0]->setCurrentIndex(w->cboSeries[0]->findText("System Normalized Permeate Flow"));
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(w->chartModel()->group(1).series(1).y, (std::vector<double>{22.0, 23.0}));
        QCOMPARE(w->cbProject->currentIndex(), item); // the list names the train drawn
        QCOMPARE(lastGraphRows("Lake Train:2", 1), 1);
        QCOMPARE(lastGraphRows("Lake", 1), 0);
    }

    // Typed dates are read in the computer's own order only: under English (UK) settings the
    // period 05/11/2026 to 20/11/2026 is 5 to 20 November, drawn and stored so.
    void typedPeriodInRegionalForm() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        auto w = open();
        QCOMPARE(w->txtStartDate->placeholderText(), QString("dd/mm/yyyy"));
        w->ChkAllDates->setChecked(false);
        w->txtStartDate->setText("05/11/2026");
        w->txtEndDate->setText("20/11/2026");
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(w->chartModel()->axis(ChartModel::X).min, ToDateSerial(at(2026, 11, 5)));
        QCOMPARE(w->chartModel()->axis(ChartModel::X).max, ToDateSerial(at(2026, 11, 21)));
        const DbRow row =
            Database::open(db())
                .select("SELECT StartDate, EndDate FROM UserGraphs WHERE GraphName = 'Last Graph'")
                .first();
        QCOMPARE(row.toText("StartDate").left(10), QString("2026-11-05"));
        QCOMPARE(row.toText("EndDate").left(10), QString("2026-11-20"));
        // A date shown back is in the same form.
        emit w->txtStartDate->editingFinished();
        QCOMPARE(w->GraphStartDate, at(2026, 11, 5));
        w->ChkAllDates->setChecked(true);
        w->cmdGraph->click();
        QCOMPARE(w->lblStartDate->text(), QString("01/01/2024"));
    }

    // The picked project train is the one shown, drawn, printed and captured, with its own
    // units, whichever project is current.
    void picturesNameTheGraphedTrain() {
        RegisterGraphImageWindows(p());
        p().GraphPath = env->path("graphs");
        QDir().mkpath(p().GraphPath);
        insertProjectInfo(db(), 3, {{"ProjectID", "Lake Train:2"}, {"TrainNumber", 1}, {"NumTrains", 2}});
        insertProjectInfo(db(), 3, {{"ProjectID", "Lake Train:2"}, {"TrainNumber", 2}, {"NumTrains", 2}});
        insertGraphRows(
            db(),
            {{"Lake Train:2", 2, at(2024, 1, 3), 0, {{"NormalizedPermFlow", 22.0}, {"TurbidityRaw", 0.4}}},
             {"Lake Train:2", 2, at(2024, 1, 4), 24, {{"NormalizedPermFlow", 23.0}, {"TurbidityRaw", 0.5}}}});
        // The user-defined item as the graphed project names it, not as the current P1 does.
        insertRow(db(), "UserDefined", {{"ProjectID", "Lake Train:2"}, {"TurbidityRaw", "Lake NTU"}});
        auto w = open();
        w->cbProject->setCurrentIndex(w->cbProject->findText("Lake Train:2 Train:2"));
        QCOMPARE(w->cboTrain->currentText(), QString("2"));
        QCOMPARE(w->cboSeries[1]->findText("Raw NTU"), -1);
        w->cboSeries[0]->setCurrentIndex(w->cboSeries[0]->findText("System Normalized Permeate Flow"));
        w->chkEnableDropDown[0]->setChecked(true);
        w->cboSeries[1]->setCurrentIndex(w->cboSeries[1]->findText("Lake NTU"));
        QVERIFY(w->cboSeries[1]->currentIndex() >= 0);
        w->cmdGraph->click();
        verifyPrompts();
        QCOMPARE(w->chartModel()->group(1).series(1).y, (std::vector<double>{22.0, 23.0}));
        QCOMPARE(w->chartModel()->group(2).label(1), QString("Lake NTU"));
        QCOMPARE(w->chartModel()->axis(ChartModel::Y2).title, QString("Lake NTU"));
        const QString metric = "Units: " + GetUnitName(3, 13) + ", " + GetUnitName(1, 8) + ", " +
                               GetUnitName(4, 1) + ", " + GetUnitName(2, 1) + ",";
        QVERIFY2(w->chartModel()->labels.at(0).text.contains(metric),
                 qPrintable(w->chartModel()->labels.at(0).text));

        w->btnPrint->click();
        verifyPrompts();
        auto* print = qobject_cast<dlgPrint*>(p().windows.find("dlgPrint"));
        QVERIFY(print);
        QVERIFY2(print->HeaderText().startsWith("Lake Train:2, Train:2  Date Printed: "),
                 qPrintable(print->HeaderText()));
        w->cmdDisplay->click();
        verifyPrompts();
        QCOMPARE(ReadIniValue("Current Project", "Tab0", "", p().IniFilePath),
                 QString("Lake Train:2-2 System Normalized Permeate Flow"));
        QFile picture(p().GraphPath + "/Chart0.svg");
        QVERIFY(picture.open(QIODevice::ReadOnly));
        const QByteArray svg = picture.readAll();
        QVERIFY(svg.contains("Lake NTU") && !svg.contains("Raw NTU"));
        // A picture named .PNG is a PNG picture under that name.
        env->prompts.onSaveFile(p().GraphPath + "/plant.PNG");
        w->btnJPG->click();
        verifyPrompts();
        QCOMPARE(readFile(p().GraphPath + "/plant.PNG").left(4), QByteArray("\x89PNG"));
    }

    // The series lists are picked from only: a typed letter changes no series and keeps the
    // custom title.
    void typedLetterPicksNoSeries() {
        auto w = open();
        for (int k = 0; k < 3; ++k)
            w->chkEnableDropDown[size_t(k)]->setChecked(true);
        w->txtTitle->setText("Salt passage since start-up");
        emit w->txtTitle->editingFinished();
        std::vector<int> before;
        for (QComboBox* c : w->cboSeries)
            before.push_back(c->currentIndex());
        for (QComboBox* c : w->cboSeries) {
            QTest::keyClick(c, Qt::Key_B);
            QTest::keyClick(c, Qt::Key_S, Qt::ShiftModifier);
        }
        for (size_t k = 0; k < w->cboSeries.size(); ++k)
            QCOMPARE(w->cboSeries[k]->currentIndex(), before[k]);
        QCOMPARE(w->Style.Header, QString("Salt passage since start-up"));
        QCOMPARE(w->txtTitle->text(), QString("Salt passage since start-up"));
    }

    // Each drawing writes "Last Graph" anew under a larger ID, in a blank database and in one
    // whose table was made without counting its IDs.
    void lastGraphIdGrows_data() {
        QTest::addColumn<bool>("counted");
        QTest::newRow("blank database") << true;
        QTest::newRow("table made without AUTOINCREMENT") << false;
    }
    void lastGraphIdGrows() {
        QFETCH(bool, counted);
        if (!counted) {
            Database d = Database::open(db());
            QString sql = d.scalar("SELECT sql FROM sqlite_master WHERE name = 'UserGraphs'").toString();
            d.exec("DROP TABLE UserGraphs");
            d.exec(sql.replace(" AUTOINCREMENT", ""));
            QVERIFY(!d.scalar("SELECT sql FROM sqlite_master WHERE name = 'UserGraphs'")
                         .toString()
                         .contains("AUTOINCREMENT"));
        }
        auto w = open();
        QList<qint64> ids;
        for (int i = 0; i < 3; ++i) {
            w->cmdGraph->click();
            Database d = Database::open(db());
            ids << d.scalar("SELECT ID FROM UserGraphs WHERE GraphName = 'Last Graph'").toLongLong();
            QCOMPARE(lastGraphRows(), 1);
        }
        QVERIFY2(ids[0] < ids[1] && ids[1] < ids[2],
                 qPrintable(QString("%1 %2 %3").arg(ids[0]).arg(ids[1]).arg(ids[2])));
        verifyPrompts();
    }

    void styleDialogCancelAndDefaults() {
        auto w = open();
        const GraphStyle before = w->Style;
        QSignalSpy drawn(w->chartModel(), &ChartModel::changed);
        withConfig(*w, [](frmGraphConfig& d) {
            QCOMPARE(d.cboLineColor[0]->currentText(), QString("Green"));
            QCOMPARE(d.cboLineStyle[0]->currentText(), QString("Solid"));
            QCOMPARE(d.cboSymbolThickness->currentText(), QString("5"));
            QVERIFY(!d.txtYMax->isEnabled());
            d.cboLineColor[0]->setCurrentText("Red");
            d.chkSaveDefault->setChecked(true);
            d.cmdCancel->click();
        });
        QCOMPARE(w->Style.LineColor, before.LineColor);
        QCOMPARE(drawn.count(), 0); // not redrawn
        QVERIFY(!QFile::exists(p().IniFilePath));

        // A stored code out of the lists' range selects nothing and so stays as it was.
        w->Style.LineStyle[1] = 6;
        w->Style.SymbolStyle[0] = -1000;
        withConfig(*w, [this](frmGraphConfig& d) {
            QCOMPARE(d.cboLineStyle[1]->currentIndex(), -1);
            QCOMPARE(d.cboSymbolStyle[0]->currentIndex(), -1);
            d.cboLineColor[0]->setCurrentText("Purple");
            d.cboLineColor[1]->setCurrentText("");       // emptied: unchanged
            d.cboSymbolColor[2]->setCurrentText("Teal"); // unknown name
            d.cboLineStyle[0]->setCurrentIndex(2);
            d.chkYMax->setChecked(true);
            QVERIFY(d.txtYMax->isEnabled());
            d.chkSaveDefault->setChecked(true);
            // A ticked limit that is not a number keeps the dialog open, naming the box.
            d.txtYMax->setText("8O");
            env->prompts.onMessage("YMax holds \"8O\", which is not a number.", Buttons::OK,
                                   "Configure Graphs", Answer::OK);
            d.cmdOK->click();
            QVERIFY(d.isVisible());
            verifyPrompts();
            d.txtYMax->setText("80");
            QTest::keyClick(&d, Qt::Key_Return); // Enter is Ok
        });
        QCOMPARE(w->Style.LineColor[0], 8388672);
        QCOMPARE(w->Style.LineColor[1], 200);
        QCOMPARE(w->Style.SymbolColor[2], 16776960);
        QCOMPARE(int(w->Style.LineStyle[0]), 3);
        QCOMPARE(int(w->Style.LineStyle[1]), 6);
        QCOMPARE(w->Style.YMax, 80.0);
        QVERIFY(drawn.count() > 0); // redrawn
        QCOMPARE(w->chartModel()->axis(ChartModel::Y).max, 80.0);
        for (const QString& key : GraphStyleKeys())
            QVERIFY2(ReadIniValue("Graph Styles", key, "<none>", p().IniFilePath) != "<none>",
                     qPrintable(key));
        QCOMPARE(ReadIniValue("Graph Styles", "Line1Color", "", p().IniFilePath), QString("8388672"));
        QCOMPARE(ReadIniValue("Graph Styles", "YMin", "", p().IniFilePath), QString("-1000"));

        // Unticking a fixed limit makes it automatic again; Escape cancels.
        withConfig(*w, [](frmGraphConfig& d) {
            QVERIFY(d.chkYMax->isChecked());
            QCOMPARE(d.txtYMax->text(), QString("80"));
            d.chkYMax->setChecked(false);
            d.cmdOK->click();
        });
        QCOMPARE(w->Style.YMax, -1000.0);
        withConfig(*w, [](frmGraphConfig& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    }

    void registeredAndShownWithGraph() {
        RegisterGraphWindows(p());
        QVERIFY(p().windows.hasFactory("frmGraphs"));
        QVERIFY(p().windows.hasFactory("frmGraphConfig"));
        auto* w = qobject_cast<frmGraphs*>(p().windows.showSingle("frmGraphs"));
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("Hevrin Graphs"));
        QVERIFY(w->minimumSizeHint().width() <= 1280 && w->minimumSizeHint().height() <= 760);
        w->resize(1240, 720);
        w->chkShowEvents->setChecked(true);
        w->chkShowTarget->setChecked(true);
        w->txtLineValue->setText("45");
        w->cmdGraph->click();
        QApplication::processEvents();
        const QImage shot = w->grab().toImage();
        const QString file = env->path("frmGraphs.png");
        QVERIFY(shot.save(file));
        QCOMPARE(shot.size(), QSize(1240, 720));
        // The chart fills the space right of the controls and shows the graph in its colours.
        QVERIFY(w->Chart2D1->width() > 800 && w->Chart2D1->height() > 550);
        const QImage chart = w->Chart2D1->grab().toImage();
        int green = 0;
        for (int y = 0; y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x) {
                const QColor c = chart.pixelColor(x, y);
                green += c.green() > 90 && c.red() < 80 && c.blue() < 80;
            }
        QVERIFY2(green > 50, qPrintable(QString::number(green)));
        QCOMPARE(w->Chart2D1->graphCount() > 0, true);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(tst_frmGraphs)
#include "tst_frmgraphs.moc"
