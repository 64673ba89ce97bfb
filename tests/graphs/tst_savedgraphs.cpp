#include <QImageReader>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtTest>

#include "core/settings.h"
#include "core/units.h"
#include "graphs/graphprint.h"
#include "graphs/ui/dlgprint.h"
#include "graphs/ui/frmgraphs.h"
#include "graphs/ui/frmprintgraph.h"
#include "graphs/ui/frmsavegraph.h"
#include "graphs/ui/graphimagewindows.h"
#include "graphtestsupport.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/readonlyfile.h"
#include "tst_graphprint_support.h"

using namespace hv;
using namespace hv::test;

class tst_SavedGraphs : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Program& p() { return env->prog(); }
    QString db() { return p().ProjectDatabasePath; }

    std::unique_ptr<frmGraphs> open() {
        auto w = std::make_unique<frmGraphs>(p());
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->Form_Activate();
        return w;
    }
    // Presses "Save Graph" and runs `action` on the name dialog it shows.
    void save(frmGraphs& w, const std::function<void(frmSaveGraph&)>& action) {
        QVERIFY(answerDialog<frmSaveGraph>([&] { w.cmdSave->click(); }, action));
    }
    DbRows rows(const QString& name) {
        return Database::open(db()).select("SELECT * FROM UserGraphs WHERE GraphName = ? ORDER BY ID",
                                           {name});
    }
    void select(frmGraphs& w, const QString& name) {
        w.LoadMyGraphs();
        w.cboMyGraphs->setCurrentIndex(w.cboMyGraphs->findText(name));
        emit w.cboMyGraphs->activated(w.cboMyGraphs->currentIndex());
    }
    void verifyPrompts() { QCOMPARE(env->prompts.verify(), QString()); }
    // The title of an SVG picture as an XML reader reads it; "<not XML>" for a file that is none.
    static QString svgTitle(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return "<no file>";
        QXmlStreamReader xml(&f);
        QString title;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"title" && title.isNull())
                title = xml.readElementText();
        return xml.hasError() ? "<not XML: " + xml.errorString() + ">" : title;
    }

private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // the dates the boxes show
        env = std::make_unique<TestEnv>();
        makeBlankDatabase(db());
        InitUnits(p());
        insertProjectInfo(db(), 3, {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"NumTrains", 2}});
        std::vector<GraphRow> data;
        for (int d = 0; d < 10; ++d)
            data.push_back({"P1",
                            1,
                            at(2024, 1, 1 + d, 10),
                            24.0 * d,
                            {{"NormalizedPermFlow", 50.0 - d},
                             {"NormalizedSaltPassage", 0.01},
                             {"NormalizedDP", 1.5 + d}}});
        insertGraphRows(db(), data);
        p().CurrentProject.ProjectID = "P1";
        p().CurrentProject.TrainNumber = 1;
        p().GraphPath = env->path("graphs");
        QDir().mkpath(p().GraphPath);
    }
    void cleanup() {
        for (const QString& name : p().windows.loadedNames())
            delete p().windows.find(name);
        env.reset();
        QLocale::setDefault(QLocale::c());
    }

    // A named save writes the window's state, bound (a quote in the name), cuts the title
    // to 50, reads the level as a percentage and comes back selected and drawn.
    // A typed end time is saved and comes back: the reading after it stays out.
    void namedSaveAndOverwrite_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("end"); // typed, or the whole period
        QTest::newRow("point") << "C" << QString();
        QTest::newRow("comma") << "de_DE" << QString();
        QTest::newRow("end at a time of day") << "en_US" << QString("1/5/2024 08:00");
    }
    void namedSaveAndOverwrite() {
        QFETCH(QString, locale);
        QFETCH(QString, end);
        QLocale::setDefault(QLocale(locale));
        auto w = open();
        w->cboSeries[0]->setCurrentIndex(w->FindSeriesIndex("System Normalized Permeate Flow"));
        if (!end.isEmpty()) {
            w->ChkAllDates->setChecked(false);
            w->txtStartDate->setText("1/1/2024");
            w->txtEndDate->setText(end);
        }
        w->cmdGraph->click();
        w->txtLineValue->setText("20%");
        w->Style.Header = QString(60, 't');
        save(*w, [](frmSaveGraph& d) {
            QVERIFY(d.txtGraphName->text().isEmpty());
            d.txtGraphName->setText("Bob's graph");
            d.cmdSave->click();
        });
        verifyPrompts();
        DbRows saved = rows("Bob's graph");
        QCOMPARE(saved.count(), 1);
        const DbRow& r = saved.first();
        QCOMPARE(r.toText("S1Name"), QString("System Normalized Permeate Flow"));
        for (const char* c : {"S2Name", "S3Name", "S4Name"})
            QVERIFY(!r.isNull(c) && r.toText(c).isEmpty());
        QCOMPARE(r.toInt16("SensorCount"), qint16(1));
        QCOMPARE(r.toDouble("Target"), 0.2);
        QCOMPARE(r.toText("Header"), QString(50, 't'));
        QCOMPARE(r.toText("StartDate").left(10), QString("2024-01-01"));
        if (!end.isEmpty()) QCOMPARE(r.toText("EndDate"), QString("2024-01-05 08:00:00"));
        QCOMPARE(w->Style.Header, QString(50, 't'));
        // Reloaded: the new name selected, loaded and drawn.
        QCOMPARE(w->cboMyGraphs->currentText(), QString("Bob's graph"));
        if (!end.isEmpty()) {
            QCOMPARE(w->txtEndDate->text(), end);
            QCOMPARE(w->chartModel()->group(1).series(1).pointCount(), 4);
            w->ChkAllDates->setChecked(true); // the rows below hold no dates
        }
        QCOMPARE(w->txtLineValue->text(), QLocale().toString(0.2));
        QCOMPARE(w->chartModel()->headerText, QString(50, 't'));

        // An existing name asks; No keeps the dialog, Yes replaces the one row.
        const qint64 oldId = r.value("ID").toLongLong();
        save(*w, [this](frmSaveGraph& d) {
            QCOMPARE(d.txtGraphName->text(), QString("Bob's graph")); // the list's text is proposed
            env->prompts.onMessage("Graph name already exists. Overwrite?", Buttons::YesNo, "Hevrin",
                                   Answer::No);
            d.cmdSave->click();
            QVERIFY(d.isVisible() && d.DialogResult == 0);
            env->prompts.onMessage("Graph name already exists. Overwrite?", Buttons::YesNo, "Hevrin",
                                   Answer::Yes);
            d.cmdSave->click();
        });
        verifyPrompts();
        QVERIFY(!w->OverwriteGraph);
        saved = rows("Bob's graph");
        QCOMPARE(saved.count(), 1);
        QVERIFY(saved.first().value("ID").toLongLong() > oldId);

        // Of two rows of the name in this train one goes; in another train none goes.
        insertRow(db(), "UserGraphs",
                  {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"GraphName", "Bob's graph"}});
        insertRow(db(), "UserGraphs", {{"ProjectID", "P1"}, {"TrainNumber", 2}, {"GraphName", "Other"}});
        for (const QString& name : {QString("Bob's graph"), QString("Other")}) {
            env->prompts.onMessage("Graph name already exists. Overwrite?", Buttons::YesNo, "Hevrin",
                                   Answer::Yes);
            save(*w, [&](frmSaveGraph& d) {
                d.txtGraphName->setText(name);
                d.cmdSave->click();
            });
        }
        verifyPrompts();
        QCOMPARE(rows("Bob's graph").count(), 2);
        QCOMPARE(rows("Other").count(), 2);
        // Cancel and Escape save nothing.
        save(*w, [](frmSaveGraph& d) { d.cmdCancel->click(); });
        save(*w, [](frmSaveGraph& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        QCOMPARE(Database::open(db()).scalar("SELECT COUNT(*) FROM UserGraphs").toInt(), 5);
    }

    // A save without a drawing or without a first series is refused; a name whose row went
    // meanwhile loads nothing.
    void refusedSaveAndMissingRow() {
        auto w = open();
        w->cboSeries[0]->setCurrentIndex(-1);
        w->cmdGraph->click(); // nothing to draw
        env->prompts.onMessage("draw the graph before saving", Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->cmdSave->click();
        w->cboSeries[0]->setCurrentIndex(2);
        w->cmdGraph->click();
        w->cboSeries[0]->setCurrentIndex(-1);
        env->prompts.onMessage("in the first list", Buttons::OK, "Hevrin Graphs", Answer::OK);
        w->cmdSave->click();
        verifyPrompts();
        QCOMPARE(Database::open(db()).scalar("SELECT COUNT(*) FROM UserGraphs").toInt(), 1); // "Last Graph"

        w->cboMyGraphs->addItem("Gone");
        w->cboMyGraphs->setCurrentIndex(w->cboMyGraphs->count() - 1);
        const QString start = w->txtStartDate->text();
        QSignalSpy drawn(w->chartModel(), &ChartModel::changed);
        w->cboMyGraphs_Change();
        QVERIFY(drawn.isEmpty() && w->txtStartDate->text() == start && w->cboSeries[0]->currentIndex() == -1);
    }

    // A name that is empty or only blanks is refused and the dialog stays for another name.
    void emptyNameRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
    }
    void emptyNameRefused() {
        QFETCH(QString, name);
        auto w = open();
        w->cmdGraph->click();
        save(*w, [&](frmSaveGraph& d) {
            d.txtGraphName->setText(name);
            env->prompts.onMessage("Please enter a name for the graph.", Buttons::OK, "Save Graph",
                                   Answer::OK);
            d.cmdSave->click();
            QVERIFY(d.isVisible() && d.DialogResult == 0);
            d.cmdCancel->click();
        });
        QCOMPARE(env->prompts.shown().count("Please enter a name for the graph."), 1);
        QCOMPARE(Database::open(db())
                     .scalar("SELECT COUNT(*) FROM UserGraphs WHERE GraphName <> 'Last Graph'")
                     .toInt(),
                 0);
        QCOMPARE(w->cboMyGraphs->findText(name), -1);
    }

    // Every box and style comes back; "Last Graph" is moved to end today.
    void loadSavedGraph() {
        QVariantMap row{{"ProjectID", "P1"},
                        {"TrainNumber", 1},
                        {"GraphName", "Three"},
                        {"StartDate", "2024-01-02 00:00:00"},
                        {"EndDate", "2024-01-06 00:00:00"},
                        {"S1Name", "System Normalized DP"},
                        {"S2Name", "no longer listed"},
                        {"S3Name", "System Normalized Permeate Flow"},
                        {"S4Name", ""},
                        {"SensorCount", 3},
                        {"Target", 0.35},
                        {"YMax", 90},
                        {"Y2Max", -1000},
                        {"YMin", 1},
                        {"Y2Min", -1000},
                        {"LineSize", 3},
                        {"SymbolSize", 7},
                        {"Header", "Hdr"}};
        for (int k = 1; k <= 4; ++k) {
            row[QString("S%1LineStyle").arg(k)] = k + 1;
            row[QString("S%1LineColor").arg(k)] = 1000 * k;
            row[QString("S%1SymbolStyle").arg(k)] = k + 5;
            row[QString("S%1SymbolColor").arg(k)] = 2000 * k;
        }
        insertRow(db(), "UserGraphs", row);
        auto w = open(); // the newest saved graph is loaded on activation
        QCOMPARE(w->cboMyGraphs->currentText(), QString("Three"));
        QCOMPARE(w->Style.Header, QString("Hdr"));
        w->ChkAllDates->setChecked(false);
        select(*w, "Three");
        QCOMPARE(w->txtStartDate->text(), QString("1/2/2024"));
        QCOMPARE(w->txtEndDate->text(), QString("1/6/2024"));
        QCOMPARE(w->cboSeries[0]->currentText(), QString("System Normalized DP"));
        QCOMPARE(w->cboSeries[1]->currentIndex(), -1);
        QCOMPARE(w->cboSeries[2]->currentText(), QString("System Normalized Permeate Flow"));
        QVERIFY(w->chkEnableDropDown[0]->isChecked() && w->chkEnableDropDown[1]->isChecked());
        QVERIFY(!w->chkEnableDropDown[2]->isHidden() && !w->chkEnableDropDown[2]->isChecked());
        QVERIFY(!w->cboSeries[2]->isHidden() && w->cboSeries[3]->isHidden());
        QCOMPARE(w->txtLineValue->text(), QString("0.35"));
        const GraphStyle& s = w->Style;
        QVERIFY(s.YMax == 90 && s.YMin == 1 && s.Y2Max == AutoLimit && s.Header == "Hdr");
        QVERIFY(s.LineThickness == 3 && s.SymbolThickness == 7);
        QCOMPARE(s.LineStyle, (std::array<qint16, 4>{2, 3, 4, 5}));
        QCOMPARE(s.LineColor, (std::array<qint32, 4>{1000, 2000, 3000, 4000}));
        QCOMPARE(s.SymbolStyle, (std::array<qint16, 4>{6, 7, 8, 9}));
        QCOMPARE(s.SymbolColor, (std::array<qint32, 4>{2000, 4000, 6000, 8000}));
        // Drawn as loaded: two series (the missing one is left out), five days, the styles.
        const ChartModel& c = *w->chartModel();
        QVERIFY(w->GraphSeriesCount == 2 && c.group(1).series(1).pointCount() == 5);
        QVERIFY(c.group(1).styleOf(1).lineColor == 1000 && c.axis(ChartModel::Y).max == 90);
        QCOMPARE(c.headerText, QString("Hdr"));

        // "Last Graph" of 10 to 20 January loaded on 7 December.
        Database::open(db()).exec("UPDATE UserGraphs SET StartDate = '2024-01-10 00:00:00', "
                                  "EndDate = '2024-01-20 00:00:00' WHERE GraphName = 'Last Graph'");
        env->system.clock = QDateTime(QDate(2024, 12, 7), QTime(15, 0));
        select(*w, "Last Graph");
        QCOMPARE(w->txtStartDate->text(), QString("11/27/2024"));
        QCOMPARE(w->txtEndDate->text(), QString("12/7/2024"));
        verifyPrompts();
    }

    // A primary graph draws its one series with automatic limits, whatever was set before.
    void primaryGraphs() {
        auto w = open();
        const QStringList series{"System Normalized Permeate Flow", "System Normalized Salt Passage",
                                 "System Normalized DP"};
        for (int i = 0; i < 3; ++i) {
            w->chkEnableDropDown[0]->setChecked(true);
            w->chkEnableDropDown[1]->setChecked(true);
            w->Style.YMax = w->Style.YMin = w->Style.Y2Max = w->Style.Y2Min = 5;
            w->cboDefaultGraphs->setCurrentIndex(i);
            emit w->cboDefaultGraphs->activated(i);
            QCOMPARE(w->cboSeries[0]->currentText(), series[i]);
            QCOMPARE(int(w->GraphSeriesCount), 1);
            QVERIFY(w->cboSeries[1]->isHidden() && w->chkEnableDropDown[1]->isHidden());
            QVERIFY(!w->chkEnableDropDown[0]->isHidden() && !w->chkEnableDropDown[0]->isChecked());
            for (double limit : {w->Style.YMax, w->Style.YMin, w->Style.Y2Max, w->Style.Y2Min})
                QCOMPARE(limit, AutoLimit);
            QVERIFY(w->chartModel()->axis(ChartModel::Y).max != 5.0);
        }
        // Typed letters select nothing.
        QTest::keyClick(w->cboDefaultGraphs, Qt::Key_N);
        QCOMPARE(w->cboDefaultGraphs->currentIndex(), 2);
    }

    // The picture buttons reach the JPEG file, the print dialog, the printed page and the
    // gallery, whatever the title holds; the pictures carry the title as typed.
    void pictureButtons_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("plain title") << "After cleaning";
        QTest::newRow("title with & and <") << "Feed & permeate <2>";
    }
    void pictureButtons() {
        QFETCH(QString, title);
        RegisterGraphImageWindows(p());
        auto w = open();
        const QString legend = w->chartModel()->group(1).label(1);
        w->txtTitle->setText(title);
        emit w->txtTitle->editingFinished();
        env->prompts.onSaveFile(env->path("graphs/plant"));
        w->btnJPG->click();
        QCOMPARE(QImageReader(env->path("graphs/plant.jpg")).format(), QByteArray("jpeg"));

        w->btnPrint->click();
        verifyPrompts();
        QCOMPARE(p().PrintFilePath, env->path("Chartx.svg"));
        QCOMPARE(svgTitle(p().PrintFilePath), title);
        auto* print = qobject_cast<dlgPrint*>(p().windows.find("dlgPrint"));
        QVERIFY(print);
        if (print->cbPrinters->currentText() == PrintToPdf) {
            env->prompts.onSaveFile(env->path("page.pdf"))
                .onMessage("The graph was printed to " + env->path("page.pdf") + ".", Buttons::OK, "Hevrin",
                           Answer::OK);
            print->btnOk_Click();
            verifyPrompts();
            QVERIFY(readFile(env->path("page.pdf")).startsWith("%PDF"));
        }

        w->cmdDisplay->click();
        verifyPrompts();
        QCOMPARE(svgTitle(env->path("graphs/Chart0.svg")), title);
        QCOMPARE(ReadIniValue("Current Project", "Tab0", "", p().IniFilePath), "P1-1 " + title);
        auto* gallery = qobject_cast<frmPrintGraph*>(p().windows.find("frmPrintGraph"));
        QVERIFY(gallery && gallery->Picture1[0]->hasPicture());
        // The caption as a tab shows it: "&&" is one "&", a lone "&" only marks a shortcut.
        QString shown = gallery->SSTab1->tabText(0);
        shown.replace(QRegularExpression("&(.)"), "\\1");
        QCOMPARE(shown, "#0 P1-1 " + title);
        QCOMPARE(w->chartModel()->group(1).label(1), legend);
    }

    // The picture buttons on a picture that cannot be written, through the window's own chart
    // writers: each says why, the older file stays, nothing is offered for printing, and the
    // gallery keeps its slot and keys.
    void pictureButtonsOnUnwritableFiles_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason"); // the system's words; for a read-only file, the guard's
        const QString full = "the file reached this process's file-size limit of 4096 bytes (ulimit -f) (" +
                             systemWords(EFBIG) + ")";
        QTest::newRow("print, picture unchangeable") << "btnPrint"
                                                     << "read-only"
                                                     << "";
        QTest::newRow("print, disk full") << "btnPrint"
                                          << "full" << full;
        QTest::newRow("gallery, picture unchangeable") << "cmdDisplay"
                                                       << "read-only"
                                                       << "";
        QTest::newRow("gallery, disk full") << "cmdDisplay"
                                            << "full" << full;
        QTest::newRow("jpg, disk full") << "btnJPG"
                                        << "full" << full;
    }
    void pictureButtonsOnUnwritableFiles() {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        RegisterGraphImageWindows(p());
        auto w = open();
        const QString file = button == "btnPrint"     ? env->path("Chartx.svg")
                             : button == "cmdDisplay" ? env->path("graphs/Chart4.svg")
                                                      : env->path("graphs/plant.jpg");
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the picture of an earlier graph");
        }
        WriteIniValue("Current Project", "Last Tab", p().IniFilePath, "4");
        WriteIniValue("Current Project", "Tab4", p().IniFilePath, "P1-1 Earlier");
        std::optional<ReadOnlyFile> locked;
        if (fault == "read-only") {
            locked.emplace(file);
            QVERIFY(locked->held());
            reason = locked->refusal();
        }
        if (button == "btnJPG") env->prompts.onSaveFile(file);
        env->prompts.onMessage("The graph image could not be saved as " + file + ": " + reason, Buttons::OK,
                               "Hevrin", Answer::OK);
        {
            std::optional<FileSizeLimit> full;
            if (fault == "full") full.emplace(4096);
            w->findChild<QPushButton*>(button)->click();
        }
        verifyPrompts();
        QCOMPARE(readFile(file), QByteArray("the picture of an earlier graph"));
        // Nothing written part-way is left beside it, under any name.
        QCOMPARE(QDir(QFileInfo(file).path()).entryList({QFileInfo(file).fileName() + "*"}, QDir::Files),
                 QStringList{QFileInfo(file).fileName()});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!p().windows.find("dlgPrint"));
        QVERIFY(!p().windows.find("frmPrintGraph"));
        QCOMPARE(ReadIniValue("Current Project", "Last Tab", "", p().IniFilePath), QString("4"));
        QCOMPARE(ReadIniValue("Current Project", "Tab4", "", p().IniFilePath), QString("P1-1 Earlier"));
    }
};

QTEST_MAIN(tst_SavedGraphs)
#include "tst_savedgraphs.moc"
