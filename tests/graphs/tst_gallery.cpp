#include <QGuiApplication>
#include <QtTest>

#include "core/settings.h"
#include "graphs/gallery.h"
#include "graphs/ui/dlgprint2.h"
#include "graphs/ui/frmprintgraph.h"
#include "graphs/ui/graphimagewindows.h"
#include "support/files.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"
#include "tst_graphprint_support.h"

using namespace hv;

namespace {

const QString Section = "Current Project";

struct Env : test::TestEnv {
    QStringList legends; // every legend the chart was given, and every picture saved
    bool failWrites = false;
    Env() {
        RegisterGraphImageWindows(prog());
        prog().GraphPath = path("graphs");
        QDir().mkpath(prog().GraphPath);
    }
    ~Env() {
        for (const QString& name : prog().windows.loadedNames())
            delete prog().windows.find(name);
    }
    QString setting(const QString& key) { return ReadIniValue(Section, key, "<none>", prog().IniFilePath); }
    void set(const QString& key, const QString& value) {
        WriteIniValue(Section, key, prog().IniFilePath, value);
    }
    QString slot(int n) { return GallerySlotPath(prog().GraphPath, n); }
    GraphCapture capture(const QString& projectId, const QString& title, const QString& legend) {
        return {projectId, 3, title,
                ChartPictureWriter{legend, [this](const QString& l) { legends << l; },
                                   [this](const QString& path) {
                                       legends << "saved " + QFileInfo(path).fileName();
                                       test::writeTestSvg(path);
                                       return test::writerResult(failWrites);
                                   }}};
    }
    frmPrintGraph* gallery() { return prog().windows.findAs<frmPrintGraph>("frmPrintGraph"); }
    frmPrintGraph* open() {
        auto* g = qobject_cast<frmPrintGraph*>(prog().windows.showSingle("frmPrintGraph"));
        g->Form_Activate();
        return g;
    }
};

} // namespace

class TestGallery : public QObject {
    Q_OBJECT
private slots:
    // On a fresh settings file the first capture fills slot 0 and opens the gallery on it;
    // the legend is padded only while the picture is saved.
    void firstCapture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        Env env;
        CaptureGraphToGallery(env.prog(), env.capture("Desalination Plant North", "", "Salt Passage (%)"));
        QVERIFY(QFile::exists(env.slot(0)));
        QCOMPARE(env.legends,
                 QStringList({"Salt Passage (%)     ", "saved Chart0.svg.tmp", "Salt Passage (%)"}));
        QCOMPARE(env.setting("Last Tab"), QString("1"));
        QCOMPARE(env.setting("Tab0"), QString("Desalination-3 Salt Passage (%)"));
        frmPrintGraph* g = env.gallery();
        QVERIFY(g && g->isVisible());
        QCOMPARE(g->SSTab1->currentIndex(), 0);
        QCOMPARE(g->SSTab1->tabText(0), QString("#0 Desalination-3 Salt Passage (%)"));
        QCOMPARE(g->lblFile[0]->text(), "File Path: " + env.slot(0) + ". Saved: 15.01.2026 10:30");
        QVERIFY(g->Picture1[0]->hasPicture());
        QCOMPARE(g->SSTab1->tabText(1), QString("Tab 1 empty"));
        QCOMPARE(g->lblFile[1]->text(), "File path: " + env.prog().GraphPath + "  ----  No File Found!");

        // A title in the graph window is used instead of the legend.
        CaptureGraphToGallery(env.prog(), env.capture("P1", "Train 3 after cleaning", "Salt Passage (%)"));
        QCOMPARE(env.setting("Tab1"), QString("P1-3 Train 3 after cleaning"));
        QCOMPARE(env.setting("Last Tab"), QString("2"));
        QCOMPARE(g->SSTab1->currentIndex(), 1);
        QCOMPARE(env.prompts.verify(), QString());
    }

    // "Last Tab" picks the slot a capture fills and the tab the gallery opens on.
    void slotChoice_data() {
        QTest::addColumn<QString>("lastTab");
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("opened");
        QTest::newRow("fresh") << "" << 0 << 9;
        QTest::newRow("0") << "0" << 0 << 9;
        QTest::newRow("5") << "5" << 5 << 4;
        QTest::newRow("eleventh capture") << "10" << 0 << 9;
        QTest::newRow("above 10") << "12" << 0 << 9;
        QTest::newRow("negative") << "-3" << 0 << 9;
        QTest::newRow("not a number") << "x" << 0 << 9;
    }
    void slotChoice() {
        QFETCH(QString, lastTab);
        QFETCH(int, filled);
        QFETCH(int, opened);
        Env env;
        if (!lastTab.isEmpty()) env.set("Last Tab", lastTab);
        frmPrintGraph* g = env.open();
        QCOMPARE(g->SSTab1->currentIndex(), opened);
        CaptureGraphToGallery(env.prog(), env.capture("P1", "T", "L"));
        QVERIFY(QFile::exists(env.slot(filled)));
        QCOMPARE(env.setting("Last Tab"), QString::number(filled + 1));
        QCOMPARE(g->SSTab1->currentIndex(), filled);
    }

    // Clear Selected deletes one picture and keeps the settings; Clear All deletes every
    // picture and starts again at slot 0; Cancel keeps everything.
    void clearing() {
        Env env;
        for (int i = 0; i < 6; ++i)
            CaptureGraphToGallery(env.prog(), env.capture("P1", QString("G%1").arg(i), "L"));
        frmPrintGraph* g = env.open();
        g->SSTab1->setCurrentIndex(4);
        env.prompts.onMessage("Clear current tab?", Buttons::OKCancel, "Hevrin", Answer::Cancel);
        QTest::mouseClick(g->cmdClear, Qt::LeftButton);
        QVERIFY(QFile::exists(env.slot(4)));
        env.prompts.onMessage("Clear current tab?", Buttons::OKCancel, "Hevrin", Answer::OK);
        QTest::mouseClick(g->cmdClear, Qt::LeftButton);
        QVERIFY(!QFile::exists(env.slot(4)));
        QVERIFY(QFile::exists(env.slot(3)));
        QCOMPARE(g->SSTab1->tabText(4), QString("Tab 4 empty"));
        QVERIFY(!g->Picture1[4]->hasPicture());
        QCOMPARE(env.setting("Tab4"), QString("P1-3 G4"));
        QCOMPARE(env.setting("Last Tab"), QString("6"));

        env.prompts.onMessage("Clear all tabs?", Buttons::OKCancel, "Hevrin", Answer::Cancel);
        QTest::mouseClick(g->cmdClearAll, Qt::LeftButton);
        QVERIFY(QFile::exists(env.slot(0)));
        env.prompts.onMessage("Clear all tabs?", Buttons::OKCancel, "Hevrin", Answer::OK);
        QTest::mouseClick(g->cmdClearAll, Qt::LeftButton);
        for (int n = 0; n < GallerySlotCount; ++n) {
            QVERIFY(!QFile::exists(env.slot(n)));
            QCOMPARE(g->SSTab1->tabText(n), QString("Tab %1 empty").arg(n));
        }
        QCOMPARE(g->SSTab1->currentIndex(), 0);
        QCOMPARE(env.setting("Last Tab"), QString("0"));
        QCOMPARE(env.setting("Tab2"), QString("P1-3 G2"));
        QCOMPARE(env.prompts.verify(), QString());
    }

    // Moving the gallery: the same folder or a cancel changes nothing; a new folder becomes the
    // graph folder with every title "Old", optionally after clearing the old one.
    void folderChange() {
        Env env;
        for (int i = 0; i < 3; ++i)
            CaptureGraphToGallery(env.prog(), env.capture("P1", "T", "L"));
        frmPrintGraph* g = env.open();
        const QString old = env.prog().GraphPath;
        const QString proposed = "/MyCharts.will.not.be.saved.svg";

        env.prompts.onSaveFile("");
        QTest::mouseClick(g->cmdPath, Qt::LeftButton);
        env.prompts.onSaveFile(old + proposed);
        QTest::mouseClick(g->cmdPath, Qt::LeftButton);
        QCOMPARE(env.prog().GraphPath, old);
        QCOMPARE(env.setting("Last Tab"), QString("3"));

        const QString moved = env.path("moved");
        QDir().mkpath(moved);
        test::writeTestSvg(moved + "/Chart2.svg");
        env.prompts.onSaveFile(moved + proposed)
            .onMessage("Do you wish to first clear all the graphs in the old directory?", Buttons::YesNo,
                       "Hevrin", Answer::No);
        QTest::mouseClick(g->cmdPath, Qt::LeftButton);
        QCOMPARE(env.prog().GraphPath, moved);
        QCOMPARE(env.setting("GraphPath"), moved);
        QCOMPARE(env.setting("Last Tab"), QString("0"));
        for (int n = 0; n < GallerySlotCount; ++n)
            QCOMPARE(env.setting(QString("Tab%1").arg(n)), QString("Old"));
        QVERIFY(QFile::exists(old + "/Chart0.svg"));
        QCOMPARE(g->SSTab1->tabText(2), QString("#2 Old"));
        QCOMPARE(g->SSTab1->tabText(0), QString("Tab 0 empty"));
        QCOMPARE(g->SSTab1->currentIndex(), 0);

        // Back again, clearing the folder left behind first.
        env.prompts.onSaveFile(old + proposed)
            .onMessage("Do you wish to first clear all the graphs in the old directory?", Buttons::YesNo,
                       "Hevrin", Answer::Yes)
            .onMessage("Clear all tabs?", Buttons::OKCancel, "Hevrin", Answer::OK);
        QTest::mouseClick(g->cmdPath, Qt::LeftButton);
        QVERIFY(!QFile::exists(moved + "/Chart2.svg"));
        QCOMPARE(env.prog().GraphPath, old);
        QCOMPARE(g->SSTab1->tabText(0), QString("#0 Old"));
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(env.prompts.lastFilters.last(), QString("All Files (*.*)|*.*"));
    }

    // A capture whose picture cannot be written says why, keeps the slot's picture, its title
    // and "Last Tab", and the next capture after the cause is gone fills that same slot.
    void unwritableSlot_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason"); // the system's words; for a read-only file, the guard's
        QTest::newRow("picture unchangeable") << "read-only"
                                              << "";
        QTest::newRow("folder in its place") << "folder" << test::systemWords(EISDIR);
        QTest::newRow("writer fails") << "writer"
                                      << "the picture was not written";
    }
    void unwritableSlot() {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        Env env;
        for (int i = 0; i < 3; ++i)
            CaptureGraphToGallery(env.prog(), env.capture("P1", QString("G%1").arg(i), "L"));
        env.set("Last Tab", "1");
        const QString slot = env.slot(1);
        std::optional<test::ReadOnlyFile> locked;
        if (fault == "read-only") {
            test::writeTestSvg(slot, Qt::blue);
            locked.emplace(slot);
            QVERIFY(locked->held());
            reason = locked->refusal();
        } else if (fault == "folder") {
            QVERIFY(QFile::remove(slot));
            QVERIFY(QDir().mkdir(slot));
        } else {
            test::writeTestSvg(slot, Qt::blue);
            env.failWrites = true;
        }
        const QByteArray before = test::readFile(slot);
        env.legends.clear();
        env.prompts.onMessage("The graph image could not be saved as " + slot + ": " + reason, Buttons::OK,
                              "Hevrin", Answer::OK);
        CaptureGraphToGallery(env.prog(), env.capture("P1", "New", "L"));
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(test::readFile(slot), before);
        QVERIFY(!QFile::exists(slot + ".tmp"));
        QCOMPARE(env.setting("Tab1"), QString("P1-3 G1"));
        QCOMPARE(env.setting("Last Tab"), QString("1"));
        QCOMPARE(env.legends.last(), QString("L")); // the chart's legend is back

        locked.reset();
        env.failWrites = false;
        if (fault == "folder") QVERIFY(QDir().rmdir(slot));
        CaptureGraphToGallery(env.prog(), env.capture("P1", "New", "L"));
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(test::readFile(slot) != before);
        QCOMPARE(env.setting("Tab1"), QString("P1-3 New"));
        QCOMPARE(env.setting("Last Tab"), QString("2"));
        QCOMPARE(env.gallery()->SSTab1->currentIndex(), 1);
    }

    // Escape closes the gallery from whichever of its controls has the focus; the pictures stay.
    void escapeCloses() {
        Env env;
        CaptureGraphToGallery(env.prog(), env.capture("P1", "T", "L"));
        frmPrintGraph* g = env.gallery();
        QVERIFY(g && g->isVisible());
        QTest::keyClick(g->SSTab1->tabBar(), Qt::Key_Escape);
        QVERIFY(!g->isVisible());
        QVERIFY(QFile::exists(env.slot(0)));
        QCOMPARE(env.prompts.verify(), QString());
    }

    // Printing a tab whose picture was deleted says so and leaves the normal cursor.
    void printDeletedTab() {
        Env env;
        CaptureGraphToGallery(env.prog(), env.capture("P1", "T", "L"));
        frmPrintGraph* g = env.open();
        QFile::remove(env.slot(0));
        g->SSTab1->setCurrentIndex(0);
        QTest::mouseClick(g->cmdPrint, Qt::LeftButton);
        QCOMPARE(env.prog().PrintFilePath, env.slot(0));
        auto* dlg = env.prog().windows.findAs<dlgPrint2>("dlgPrint2");
        QVERIFY(dlg && dlg->isVisible());
        if (dlg->cbPrinters->findText(PrintToPdf) < 0)
            QSKIP("printers are installed here; the PDF entry is not offered");
        env.prompts.onSaveFile(env.path("tab0.pdf"))
            .onMessage("There is no file to print, please select a tab with a graph in it.", Buttons::OK,
                       "Hevrin", Answer::OK);
        QTest::mouseClick(dlg->btnOk, Qt::LeftButton);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(!QFile::exists(env.path("tab0.pdf")));
    }
};

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
