#include <QtTest>

#include "core/settings.h"
#include "core/units.h"
#include "graphs/ui/dlgprint2.h"
#include "graphs/ui/frmeditsavedgraphs.h"
#include "graphs/ui/frmgraphconfig.h"
#include "graphs/ui/frmgraphs.h"
#include "graphs/ui/frmprintgraph.h"
#include "graphs/ui/frmsavegraph.h"
#include "graphs/ui/graphimagewindows.h"
#include "graphtestsupport.h"
#include "support/files.h"
#include "support/fitcheck.h"
#include "tst_graphprint_support.h"

using namespace hv;
using namespace hv::test;

namespace {

// The window at the size it opens with, every text whole on a 1280 x 800 screen.
void verifyFits(QWidget* window) {
    window->show();
    const QStringList cut = cutOffTexts(window);
    QVERIFY2(cut.isEmpty(), qPrintable(window->objectName() + ":\n" + cut.join('\n')));
}

} // namespace

class tst_GraphWindowFit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Program& p() { return env->prog(); }
    QString db() { return p().ProjectDatabasePath; }

private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // the dates typed below
        env = std::make_unique<TestEnv>();
        makeBlankDatabase(db());
        InitUnits(p());
        insertProjectInfo(db(), 3,
                          {{"ProjectID", "Desalination Plant North"}, {"TrainNumber", 1}, {"NumTrains", 12}});
        std::vector<GraphRow> rows;
        for (int d = 0; d < 30; ++d)
            rows.push_back({"Desalination Plant North",
                            1,
                            at(2024, 1, 1 + d, 10),
                            24.0 * d,
                            {{"NormalizedPermFlow", 50.0 - d}, {"NormalizedSaltPassage", 0.01}},
                            d % 3 == 0 ? 1 + (d / 3) % 5 : 0});
        insertGraphRows(db(), rows);
        insertRow(db(), "UserGraphs",
                  {{"ProjectID", "Desalination Plant North"},
                   {"TrainNumber", 1},
                   {"GraphName", "Normalized flow after the March cleaning"}});
        p().CurrentProject.ProjectID = "Desalination Plant North";
        p().CurrentProject.TrainNumber = 1;
        p().GraphPath = env->path("graphs");
        QDir().mkpath(p().GraphPath);
        RegisterGraphImageWindows(p());
    }
    void cleanup() {
        for (const QString& name : p().windows.loadedNames())
            delete p().windows.find(name);
        env.reset();
        QLocale::setDefault(QLocale::c());
    }

    // The graph window with four series, its own period and the events list.
    void graphWindow() {
        frmGraphs w(p());
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.Form_Activate();
        for (int k = 0; k < 3; ++k)
            w.chkEnableDropDown[size_t(k)]->setChecked(true);
        for (int k = 0; k < 4; ++k)
            w.cboSeries[size_t(k)]->setCurrentIndex(w.cboSeries[size_t(k)]->findText(
                k == 3 ? "System Normalized Permeate Flow" : "Bank 1 Normalized Salt Passage"));
        w.ChkAllDates->setChecked(false);
        w.txtStartDate->setText("12/28/2023 10:00:00 AM");
        w.txtEndDate->setText("12/30/2024");
        w.chkShowEvents->setChecked(true);
        w.chkShowTarget->setChecked(true);
        w.cmdGraph->click();
        QVERIFY(w.lstEvents->count() > 5);
        verifyFits(&w);
    }

    void styleDialog() {
        GraphStyle style;
        LoadGraphStyles(p(), style);
        frmGraphConfig w(p(), style);
        verifyFits(&w);
    }

    void nameDialog() {
        frmSaveGraph w(p(), "Normalized flow after the March cleaning");
        verifyFits(&w);
    }

    void savedGraphBrowser() {
        auto* w = qobject_cast<frmEditSavedGraphs*>(p().windows.showSingle("frmEditSavedGraphs"));
        QVERIFY(w);
        w->setObjectName("frmEditSavedGraphs");
        verifyFits(w);
    }

    // Every tab caption whole at the opening width, also with the longest titles a capture makes.
    void gallery_data() {
        QTest::addColumn<int>("titled");
        QTest::newRow("every tab empty") << 0;
        QTest::newRow("tab 0 titled") << 1;
        QTest::newRow("every tab titled") << 10;
    }
    void gallery() {
        QFETCH(int, titled);
        const QString title = "Normalized permeate flow after the March 2024 clean"; // 51 characters
        for (int n = 0; n < titled; ++n) {
            writeTestSvg(GallerySlotPath(p().GraphPath, n));
            WriteIniValue("Current Project", QString("Tab%1").arg(n), p().IniFilePath,
                          ComposeSlotTitle("Desalination Plant North", 12, title, ""));
        }
        auto* w = qobject_cast<frmPrintGraph*>(p().windows.showSingle("frmPrintGraph"));
        QVERIFY(w);
        w->setObjectName("frmPrintGraph");
        w->Form_Activate();
        QCOMPARE(w->SSTab1->tabText(0), titled ? "#0 Desalination-12 " + title : QString("Tab 0 empty"));
        verifyFits(w);
    }

    void printDialogs() {
        for (const QString& name : {QString("dlgPrint"), QString("dlgPrint2")}) {
            QWidget* w = p().windows.showSingle(name);
            QVERIFY(w);
            w->setObjectName(name);
            verifyFits(w);
        }
    }
};

HV_FIT_TEST_MAIN(tst_GraphWindowFit)
#include "tst_graphwindowfit.moc"
