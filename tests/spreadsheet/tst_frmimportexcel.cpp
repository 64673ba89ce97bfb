#include <QClipboard>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QtTest>

#include "collection/ui/frmdata.h"
#include "core/currentproject.h"
#include "core/elementdb.h"
#include "core/settings.h"
#include "core/typedinput.h"
#include "core/units.h"
#include "normalization/recalculate.h"
#include "platform/database.h"
#include "platform/links/linkprotocol.h"
#include "platform/links/linkserver.h"
#include "sheetcells.h"
#include "spreadsheet/importlogic.h"
#include "spreadsheet/ui/frmimportexcel.h"
#include "spreadsheet/ui/spreadsheetwindows.h"
#include "support/fitcheck.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/linknames.h"
#include "support/plant.h"
#include "support/testenv.h"

using namespace hv;

namespace {

// A sheet date as the window shows it: in the computer's own short form.
QString shown(const QString& date) {
    return ShortDateTimeText(parseDbDate(date + ":00"));
}

// A project of the reference plant with one reading, and a sheet served in this process
// whose rows 2 to 4 hold three readings (row 1 headings), item k in column k + 1.
struct Import {
    explicit Import(int banks, bool systemData = true, bool withReading = true, QVariantMap project = {}) {
        project.insert("Systemdata", systemData ? -1 : 0);
        info = test::makeReferencePlant(p(), banks, project);
        if (withReading) test::insertReading(p().ProjectDatabasePath, banks);
        app = test::uniqueServerName();
        QVERIFY(server.listen(app));
    }
    ~Import() {
        delete window.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Program& p() { return env.prog(); }
    Database db() { return Database::open(p().ProjectDatabasePath); }
    // The sheet: `rows` readings a day apart from 2020-01-05, with `change` applied to every
    // reading.
    void sheet(int rows, const QHash<int, QString>& change = {}) {
        QList<QStringList> cells{ItemFieldList()};
        for (int r = 0; r < rows; ++r) {
            QStringList line;
            for (int i = 0; i < ItemCount; ++i)
                line << change.value(i, test::sheetCell(info, r, i));
            cells << line;
        }
        server.setSheet("Log", cells);
    }
    frmImportExcel* open() {
        QPointer<frmImportExcel> w = new frmImportExcel(p());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window = w;
        return w.data();
    }
    // Every row linked to its column of sheet row 2, polled on request.
    void link(frmImportExcel& w) {
        w.txtScadaApp[0]->setText(app);
        w.txtScadaTopic[0]->setText("Log");
        for (int k = 0; k < ItemCount; ++k) {
            w.chkScada[size_t(k)]->setChecked(true);
            w.txtScadaItem[size_t(k)]->setText(QString("R2C%1").arg(w.cbItem[size_t(k)]->currentIndex() + 1));
            w.links[size_t(k)]->setLinkTimeout(2000);
        }
        w.chkUseScada->setChecked(true);
    }
    int rows() { return db().scalar("SELECT count(*) FROM Data").toInt(); }
    // Sheet readings stored more than once.
    int repeated() {
        return db()
            .scalar("SELECT count(*) FROM (SELECT TheDate FROM Data GROUP BY TheDate HAVING count(*) > 1)")
            .toInt();
    }
    DbRows stored() { return db().select("SELECT * FROM Data ORDER BY ID"); }
    // Sheet readings stored without their calculated values.
    int withoutValues() {
        return db()
            .scalar("SELECT count(*) FROM Data WHERE TheDate >= '2020-01-05' AND (NormalizedPermFlow = 0 OR "
                    "NormalizedPermFlow IS NULL)")
            .toInt();
    }

    test::TestEnv env;
    links::LinkServer server;
    QString app;
    DbRow info;
    QPointer<frmImportExcel> window;
};

} // namespace

class TestFrmImportExcel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void references_data() {
        QTest::addColumn<QString>("ref");
        QTest::addColumn<QString>("after");
        QTest::newRow("lower") << "r5c3"
                               << "R6c3";
        QTest::newRow("upper") << "R12C1"
                               << "R13C1";
        for (const char* same : {"R5", "Excel", "", "RxC1", "RC1", "R32767C1"})
            QTest::newRow(same) << same << same;
    }
    void references() {
        QFETCH(QString, ref);
        QFETCH(QString, after);
        const auto a = AdvanceCellReference(ref);
        QCOMPARE(a ? a->text : ref, after);
    }

    // All rows over three good sheet rows then an empty date cell, for each bank layout:
    // three rows stored and normalized, the references three rows on.
    void allRows_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        QTest::newRow("one bank") << 1 << true;
        QTest::newRow("two banks, system") << 2 << true;
        QTest::newRow("two banks, bank 1") << 2 << false;
        QTest::newRow("three banks") << 3 << false;
    }
    void allRows() {
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        Import im(banks, systemData);
        im.sheet(3);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        QVERIFY(w->sizeHint().boundedTo(test::MaxWindowSize) == w->sizeHint());
        im.link(*w);
        w->txtScadaItem[5]->setText("Excel"); // not a cell: stays, and its row keeps its text
        w->chkScada[5]->setChecked(false);
        // An unlinked row's reference moves on too, but names no sheet row that was read.
        w->txtScadaItem[24]->setText("R30C1");
        w->chkScada[24]->setChecked(false);
        QVERIFY(w->cmdTestPoll_Click());
        QCOMPARE(w->txtData[0]->text(), shown("2020-01-05 08:00"));
        w->OptImport[1]->setChecked(true);
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(w->panel(3)->text(), QString("Total Rows Imported = 3"));
        QCOMPARE(w->panel(4)->text(), QString("Imported row # 4 From Excel"));
        QVERIFY(!w->cmdSave[0]->isEnabled());
        QCOMPARE(w->txtScadaItem[1]->text(), QString("R5C2"));
        QCOMPARE(w->txtScadaItem[5]->text(), QString("Excel"));
        const DbRows rows = im.stored();
        QCOMPARE(rows.count(), 4);
        const DbRow& last = rows.at(3);
        QCOMPARE(last.value("TheDate").toString(), QString("2020-01-07 08:00:00"));
        QVERIFY(last.toDouble("NormalizedPermFlow") > 0);
        // The stored PermFlow is the system flow in every layout.
        const double pf = im.info.toDouble("PermFlow"), pf2 = im.info.toDouble("PermFlow_2"),
                     pf3 = banks == 3 ? im.info.toDouble("Permflow_3") : 0;
        const double system = banks == 1 || systemData ? pf : pf + pf2 + pf3;
        QCOMPARE(last.toDouble("PermFlow"), system);
        QCOMPARE(last.toDouble("FeedFlow"), system + im.info.toDouble("ConcFlow"));
        if (banks >= 2) QCOMPARE(last.toDouble("PermFlow_1"), systemData && banks == 2 ? pf - pf2 : pf);
        QCOMPARE(w->txtData[0]->text(), QString()); // the empty row below the last
    }

    // The panels show what a run tells: a part not told keeps its panel's text, and one row a
    // click swaps the count and the row stored.
    void reportOnPanels_data() {
        QTest::addColumn<bool>("allRows");
        QTest::addColumn<QString>(
            "told"); // b begun, c count, s stored, x stopped, f commit failed, k bypassed
        QTest::addColumn<QStringList>("panels");
        const QString count = "Total Rows Imported = 3; 1 row already stored";
        QTest::newRow("nothing told") << true << "" << QStringList{"1", "2", "3", "4"};
        QTest::newRow("all rows") << true << "bcs"
                                  << QStringList{"1", "", count, "Imported row # 7 From Excel"};
        QTest::newRow("one row a click") << false << "bcs" << QStringList{"1", "", "Imported row # 7", count};
        QTest::newRow("stopped on a row")
            << false << "csx" << QStringList{"1", "2", "Imported row # 7", "why"};
        QTest::newRow("a batch lost")
            << true << "fk" << QStringList{"Calculation Bypassed", "SAVE FAILED! locked", "3", "4"};
    }
    void reportOnPanels() {
        QFETCH(bool, allRows);
        QFETCH(QString, told);
        QFETCH(QStringList, panels);
        SheetImportReport r;
        r.allRows = allRows;
        r.begun = told.contains('b');
        if (told.contains('c')) r.count = SheetImportReport::Count{3, 1};
        if (told.contains('s')) r.stored = SheetImportReport::Stored{7};
        if (told.contains('x')) r.stop = SheetImportReport::Stop{SheetImportEnd::Refused, "why"};
        if (told.contains('f'))
            r.saveFailed = SheetImportReport::SaveFailure{SheetImportReport::Failure::CommitFailed, "locked"};
        if (told.contains('k')) r.calculation = SheetImportReport::Calculation::Bypassed;
        const std::array<QString, 4> shown = SheetImportPanels(r, {"1", "2", "3", "4"});
        QCOMPARE(QStringList(shown.begin(), shown.end()), panels);
    }

    // Ignore mode: a bank balance that divides by zero fails the save with nothing moved; a
    // 32 F row is stored raw, with its message (the window takes the project's units as they
    // are when it opens).
    void failingRows() {
        Import im(2, false);
        im.sheet(2, {{item::PermFlow, "0"}, {item::PermFlow_2, "0"}});
        frmImportExcel* w = im.open();
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        im.env.prompts.onMessage("Save this setting as default?", Buttons::YesNo, Title, Answer::No);
        w->chkIgnore->setChecked(true);
        im.env.prompts.onMessage("Error in saving data", Buttons::OK, Title, Answer::OK);
        w->OptImport[1]->setChecked(true);
        w->cmdSave[0]->click();
        QCOMPARE(im.rows(), 1);
        QCOMPARE(w->txtScadaItem[0]->text(), QString("R2C1"));
        QCOMPARE(w->panel(2)->text(), QString("A REQUIRED FIELD HAS NO DATA. SAVE FAILED!"));
        QVERIFY2(w->panel(4)->text().contains("Sheet row 2, dated " + shown("2020-01-05 08:00")),
                 qPrintable(w->panel(4)->text()));
        QVERIFY(w->cmdSave[0]->isEnabled());

        im.p().CurrentProject.unitTemp = 0;
        delete w;
        w = im.open();
        im.link(*w);
        im.sheet(1, {{item::TheDate, "2020-02-01 08:00"}, {item::Temperature, "30"}});
        im.env.prompts.onMessage("Save this setting as default?", Buttons::YesNo, Title, Answer::No);
        w->chkIgnore->setChecked(true);
        QVERIFY(w->cmdTestPoll_Click());
        im.env.prompts.onMessage("Temperature is <= 32F", Buttons::OK, Title, Answer::OK);
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 2);
        QCOMPARE(im.stored().at(1).toDouble("Temperature"), 30.0);
        QCOMPARE(im.stored().at(1).toDouble("NormalizedPermFlow"), 0.0);
        QCOMPARE(w->panel(1)->text(), QString("Calculation Bypassed"));
    }

    // An all-rows run shows its progress as it goes; closing the window stops it once the
    // rows in hand are stored, and the window closes then, each row stored once with its values.
    void closedWhileRunning() {
        Import im(1);
        im.sheet(6); // sheet rows 2 to 7
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->batchLimits = {2, 0, 5000};
        im.link(*w);
        QString progress;
        connect(w->links[0], &links::LinkClient::textChanged, w, [&](const QString& text) {
            if (text != "2020-01-08 08:00" || !progress.isEmpty()) return; // sheet row 5
            progress = w->panel(3)->text() + "|" + w->panel(4)->text();
            w->close();
        });
        QVERIFY(w->cmdTestPoll_Click());
        w->OptImport[1]->setChecked(true);
        const QPointer<frmImportExcel> shown(w);
        w->cmdSave[0]->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(progress, QString("Total Rows Imported = 3|Imported row # 4 From Excel"));
        QVERIFY(!shown && !im.p().ImportWindowOpen);
        QVERIFY2(im.rows() >= 4 && im.rows() < 7, qPrintable(QString::number(im.rows())));
        QCOMPARE(im.repeated(), 0);
        QCOMPARE(im.withoutValues(), 0);
    }

    // While the window is open the program knows it; a save stores under the project the
    // window was opened for, whatever the program has loaded meanwhile.
    void storesUnderItsProject() {
        Import im(1);
        im.sheet(2);
        frmImportExcel* w = im.open();
        QVERIFY(im.p().ImportWindowOpen);
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        im.p().CurrentProject.ProjectID = "ZZZ";
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.db().scalar("SELECT group_concat(DISTINCT ProjectID) FROM Data").toString(),
                 QString("P1"));
        QCOMPARE(im.rows(), 2);
        w->close();
        QVERIFY(!im.p().ImportWindowOpen);
    }

    // A fetch that fails says which cell of which row failed, in the link layer's words, and a
    // program that answers no link, or too slowly, is named as such within the link's wait.
    void fetchFailureNamed_data() {
        QTest::addColumn<QString>("server"); // how the odd server answers; empty: the sheet's own
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("cause");
        QTest::newRow("refused item") << ""
                                      << "Bogus"
                                      << "The application refused the link item (285)";
        QTest::newRow("answer for another item")
            << "other item"
            << "R2C4"
            << "Timeout while waiting for the linked application to answer (286)";
        QTest::newRow("INIT answered with another protocol") << "garbage"
                                                             << "R2C1"
                                                             << "(282)";
        QTest::newRow("INIT unanswered")
            << "silent"
            << "R2C1"
            << "Timeout while waiting for the linked application to answer (286)";
    }
    void fetchFailureNamed() {
        QFETCH(QString, server);
        QFETCH(QString, cell);
        QFETCH(QString, cause);
        Import im(1);
        im.sheet(2);
        // A server answering the fourth row's cell with another cell's value, INIT with a
        // line of another protocol, or INIT not at all.
        QLocalServer odd;
        if (!server.isEmpty()) {
            im.server.close();
            QVERIFY(odd.listen(links::socketNameFor(im.app)));
            connect(&odd, &QLocalServer::newConnection, &odd, [&] {
                QLocalSocket* s = odd.nextPendingConnection();
                connect(s, &QLocalSocket::readyRead, s, [s, server] {
                    while (s->canReadLine()) {
                        const links::Message m = links::parseMessage(s->readLine());
                        if (m.verb == "INIT" && server == "garbage") s->write("HTTP/1.1 400 Bad Request\n");
                        if (m.verb == "INIT" && server == "other item") s->write(links::messageLine("ACK"));
                        if (m.verb == "REQUEST")
                            s->write(links::dataLine(m.argument == "R2C4" ? "R9C9" : m.argument, "1"));
                    }
                });
            });
        }
        frmImportExcel* w = im.open();
        im.link(*w);
        for (links::LinkClient* l : w->links)
            l->setLinkTimeout(200);
        if (cell == "Bogus") w->txtScadaItem[3]->setText("Bogus");
        const int k = cell == "R2C1" ? 0 : 3;
        const QString text =
            "Cell " + cell + " (" + w->cbItem[size_t(k)]->currentText() + ") was not fetched: ";
        im.env.prompts.onMessage(text, Buttons::OK, Title, Answer::OK);
        QElapsedTimer t;
        t.start();
        QVERIFY(!w->cmdTestPoll_Click());
        // One link's wait, not one for every row.
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(im.env.prompts.verify(), QString());
        QVERIFY2(w->panel(4)->text().startsWith(text) && w->panel(4)->text().endsWith(cause + "."),
                 qPrintable(w->panel(4)->text()));
        QVERIFY(!w->cmdSave[0]->isEnabled());
    }

    // A project whose element the element database lacks: its readings are stored without
    // calculated values, and the run says so once, naming the element.
    void missingElement() {
        Import im(1, true, true, {{"ElementType", 40}});
        im.sheet(3);
        frmImportExcel* w = im.open();
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        w->OptImport[1]->setChecked(true);
        im.env.prompts.onMessage("(element type 40) is not in the element database. 3 readings were stored "
                                 "without calculated values.",
                                 Buttons::OK, Title, Answer::OK);
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 4);
        QCOMPARE(w->panel(1)->text(), QString("Calculation Failed"));
    }

    // One row a click: a failed commit leaves the row in the boxes and the links on it.
    void failedCommitOneRow() {
        Import im(1);
        im.sheet(3);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->batchLimits.busyTimeoutMs = 50;
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        w->cmdSave[0]->click();
        QCOMPARE(im.rows(), 2);
        QVERIFY(w->cmdTestPoll_Click());
        QCOMPARE(w->txtData[0]->text(), shown("2020-01-06 08:00"));
        {
            test::ForeignLock lock(im.p().ProjectDatabasePath, test::ForeignLock::Kind::Read);
            im.env.prompts.onMessage("1 rows were not stored", Buttons::OK, Title, Answer::OK);
            w->cmdSave[0]->click();
        }
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 2);
        QCOMPARE(w->txtScadaItem[1]->text(), QString("R3C2"));
        QCOMPARE(w->txtData[0]->text(), shown("2020-01-06 08:00"));
        QCOMPARE(w->panel(4)->text(), QString("Total Rows Imported = 1"));
        QVERIFY(w->cmdSave[0]->isEnabled());
        w->cmdSave[0]->click();
        QVERIFY(w->cmdTestPoll_Click());
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 4);
        QCOMPARE(im.repeated(), 0);
        QCOMPARE(w->txtScadaItem[1]->text(), QString("R5C2"));
    }

    // A fetch the server leaves part way ends the run with the boxes showing the row stored
    // last and Save disabled until a fetch succeeds; carrying on stores each row once.
    void halfFetchStoresNothing() {
        Import im(1);
        im.sheet(4);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        bool closed = false;
        connect(w->links[5], &links::LinkClient::textChanged, w, [&] {
            if (w->txtData[0]->text() == "2020-01-07 08:00" && !std::exchange(closed, true))
                im.server.close();
        });
        w->OptImport[1]->setChecked(true);
        // The cause is the link layer's: the program is running, it closed the link.
        im.env.prompts.onMessage("was not fetched: The linked program closed the link", Buttons::OK, Title,
                                 Answer::OK);
        w->cmdSave[0]->click();
        QVERIFY(closed);
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 3);
        QCOMPARE(w->txtData[0]->text(), shown("2020-01-06 08:00"));
        QCOMPARE(w->txtData[100]->text(), shown("2020-01-06 08:00"));
        QCOMPARE(w->txtScadaItem[1]->text(), QString("R4C2"));
        QVERIFY(!w->cmdSave[0]->isEnabled());

        // The server back, once the links have seen it go.
        QCoreApplication::processEvents();
        QVERIFY(im.server.listen(im.app));
        im.sheet(4);
        QVERIFY(w->cmdTestPoll_Click());
        QVERIFY(w->cmdSave[0]->isEnabled());
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 5);
        QCOMPARE(im.repeated(), 0);
    }

    // The window closed while Test Import sets up its links goes away whole once they are:
    // nothing is fetched, stored or said.
    void closedWhileLinking_data() {
        QTest::addColumn<bool>("fetching");
        QTest::newRow("while the links are set up") << false;
        QTest::newRow("while a cell is fetched") << true;
    }
    void closedWhileLinking() {
        QFETCH(bool, fetching);
        Import im(1);
        im.sheet(2);
        // A server that leaves the fourth row's cell unanswered while the window closes.
        QLocalServer slow;
        QPointer<frmImportExcel> w;
        if (fetching) {
            im.server.close();
            QVERIFY(slow.listen(links::socketNameFor(im.app)));
            connect(&slow, &QLocalServer::newConnection, &slow, [&] {
                QLocalSocket* s = slow.nextPendingConnection();
                connect(s, &QLocalSocket::readyRead, s, [s, &w] {
                    while (s->canReadLine()) {
                        const links::Message m = links::parseMessage(s->readLine());
                        if (m.verb == "INIT") s->write(links::messageLine("ACK"));
                        if (m.verb != "REQUEST") continue;
                        if (m.argument == "R2C4")
                            QTimer::singleShot(0, w, [&w] { w->close(); });
                        else
                            s->write(links::dataLine(m.argument, "1"));
                    }
                });
            });
        }
        w = im.open();
        QVERIFY(w);
        im.link(*w);
        if (fetching) {
            w->links[3]->setLinkTimeout(2000);
        } else {
            w->optScada[0]->setChecked(true); // an automatic link asks its program afresh each time
            QTimer::singleShot(0, w, [&w] { w->close(); });
        }
        w->cmdTestPoll->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        QVERIFY(!im.window);
        QVERIFY(!im.p().ImportWindowOpen);
        QCOMPARE(im.env.prompts.verify(), QString()); // nothing said after the window has gone
        QCOMPARE(im.rows(), 1);
    }

    // Nothing fetched is nothing to store: no linked cell, or no links at all, say so and
    // leave Save disabled.
    void nothingFetched_data() {
        QTest::addColumn<bool>("polling");
        QTest::addColumn<QString>("message");
        QTest::newRow("no Link box ticked") << true << "No row is linked to a cell.";
        QTest::newRow("links off") << false << "Polling not activated";
    }
    void nothingFetched() {
        QFETCH(bool, polling);
        QFETCH(QString, message);
        Import im(1);
        im.sheet(2);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->chkUseScada->setChecked(polling);
        im.env.prompts.onMessage(message, Buttons::OK, Title, Answer::OK);
        w->cmdTestPoll->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QVERIFY(!w->cmdSave[0]->isEnabled());
        w->cmdSave[0]->click();
        QCOMPARE(im.rows(), 1);
    }

    // A cell is read as written: the regional form, then the plain form with a point; a
    // text neither reads is refused by its row's name, never stored as another number; an
    // optional item's empty cell stores no value.
    void sheetCells_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QVariant>("stored"); // invalid: refused; a null variant: stored as Null
        QTest::addColumn<QString>("date");    // the fetched date as the window shows it
        const QVariant null{QMetaType(QMetaType::Double)};
        QTest::newRow("exponent, point")
            << "C" << int(item::FeeduS) << "1.5E+3" << QVariant(1500.0) << "5 Jan 2020 08:00";
        QTest::newRow("exponent, comma")
            << "de_DE" << int(item::FeeduS) << "1,5E+3" << QVariant(1500.0) << "05.01.2020 08:00";
        QTest::newRow("a point under German settings")
            << "de_DE" << int(item::FeeduS) << "2500.5" << QVariant(2500.5) << "05.01.2020 08:00";
        QTest::newRow("a comma under English settings")
            << "en_GB" << int(item::pH) << "7,3" << QVariant() << "05/01/2020 08:00";
        QTest::newRow("no number") << "en_GB" << int(item::pH) << "abc" << QVariant() << "05/01/2020 08:00";
        QTest::newRow("empty optional item") << "C" << int(item::ORP) << "" << null << "5 Jan 2020 08:00";
    }
    void sheetCells() {
        QFETCH(QString, locale);
        QFETCH(int, item);
        QFETCH(QString, cell);
        QFETCH(QVariant, stored);
        QFETCH(QString, date);
        QLocale::setDefault(QLocale(locale));
        {
            Import im(1);
            test::insertReading(im.p().ProjectDatabasePath, 1,
                                {{"TheDate", "2020-01-03 00:00:00"}, {ItemFieldList().at(item), 4.0}});
            im.sheet(1, {{item, cell}});
            frmImportExcel* w = im.open();
            QVERIFY(w);
            im.link(*w);
            w->chkREQD[size_t(item)]->setChecked(false); // an optional item
            QVERIFY(w->cmdTestPoll_Click());
            QCOMPARE(w->txtData[0]->text(), date);
            // A refused cell is named by its sheet row and date, in the message and the panel.
            const QString named = "Sheet row 2, dated " + date + ", was not stored.";
            if (!stored.isValid())
                im.env.prompts.onMessage("holds \"" + cell +
                                             "\", which is not a number. Data was not saved.\r\n\r\n" + named,
                                         Buttons::OK, Title, Answer::OK);
            w->cmdSave[0]->click();
            QCOMPARE(im.env.prompts.verify(), QString());
            if (!stored.isValid())
                QVERIFY2(w->panel(4)->text().contains(named), qPrintable(w->panel(4)->text()));
            QCOMPARE(im.rows(), stored.isValid() ? 3 : 2);
            if (stored.isValid()) {
                const QVariant v = im.stored().at(2).value(ItemFieldList().at(item));
                QCOMPARE(conv::isNull(v), stored.isNull());
                if (!stored.isNull()) QCOMPARE(v.toDouble(), stored.toDouble());
            }
        }
        QLocale::setDefault(QLocale::c());
    }

    // The first reading of a train is stored from the reference values when the window opens.
    void firstReading() {
        Import im(1, true, false);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 1);
        QVERIFY(!w->FirstReadingPending);
        QVERIFY(!w->cmdSave[0]->isEnabled());
        QCOMPARE(im.stored().at(0).toDouble("PermFlow"), im.info.toDouble("PermFlow"));

        // Linked, and the train's readings deleted: the next opening stores the reference
        // reading again, and the links stay on the sheet row they name.
        im.sheet(2);
        im.link(*w);
        im.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        delete w;
        im.db().exec("DELETE FROM Data");
        w = im.open();
        QVERIFY(w);
        QCOMPARE(im.rows(), 1);
        QCOMPARE(w->txtScadaItem[0]->text(), QString("R2C1"));
        QVERIFY(w->panel(3)->text().isEmpty() || !w->panel(3)->text().contains("Imported row"));
        w->chkUseScada->setChecked(true);
        QVERIFY(w->cmdTestPoll_Click());
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 2);
        QCOMPARE(im.stored().at(1).toText("TheDate"), QString("2020-01-05 08:00:00"));
    }

    // Each run normalizes against the reference the project has now, not the one it had
    // when the window opened.
    void referenceEditedMeanwhile() {
        Import im(1);
        im.sheet(1);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        im.link(*w);
        im.db().exec("UPDATE ProjectInfo SET FeeduS = FeeduS * 1.2");
        QVERIFY(w->cmdTestPoll_Click());
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 2);
        const double imported = im.stored().at(1).toDouble("NormalizedPermFlow");
        QVERIFY(RecalculateProject(im.p(), "P1", 1));
        QCOMPARE(im.stored().at(1).toDouble("NormalizedPermFlow"), imported);
    }

    // Links with their fallbacks, A1 stored as R6C6, the order restored, Reset writes nothing.
    void configuration() {
        Import im(3);
        {
            Database d = im.db();
            d.exec(
                "INSERT INTO ScadaImport (ProjectID, TrainNumber, FieldValue, UseScada, Application, Topic, "
                "Item, Required, UseDefaultValues) VALUES ('Default', 1, 'PERMUS', -1, 'Calc', 'It''s', "
                "'R9C9', 0, -1)");
        }
        frmImportExcel* w = im.open();
        QCOMPARE(w->txtScadaItem[7]->text(), QString("R9C9"));
        QVERIFY(w->chkScada[7]->isChecked() && !w->chkREQD[7]->isChecked() && w->chkDefault[7]->isChecked());
        QCOMPARE(w->txtScadaItem[6]->text(), QString()); // no stored row of its own
        w->txtScadaItem[2]->setText("A1");
        w->txtScadaTopic[0]->setText("Bob's sheet");
        w->cbItem[3]->setCurrentIndex(4);
        w->cbItem[4]->setCurrentIndex(3);
        w->txtScadaItem[3]->setText("R3C3");
        im.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        QCOMPARE(w->txtScadaItem[2]->text(), QString("R6C6"));
        const DbRows links = im.db().select("SELECT * FROM ScadaImport WHERE ProjectID = 'P1' ORDER BY ID");
        QCOMPARE(links.count(), 25);
        QCOMPARE(links.at(2).value("Item").toString(), QString("R6C6"));
        QCOMPARE(links.at(5).value("Topic").toString(), QString("Bob's sheet"));
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(im.p().userStore.text("Locales"), QString("46"));

        w = im.open();
        QCOMPARE(w->cbItem[3]->currentIndex(), 4);
        QCOMPARE(w->txtScadaTopic[9]->text(), QString("Bob's sheet"));
        QCOMPARE(w->txtScadaItem[3]->text(), QString("R3C3")); // matched by the row's item
        const QString before = im.db().scalar("SELECT group_concat(FeedPressure) FROM InputOrder").toString();
        im.env.prompts.onMessage("Reset to Default Input Order?", Buttons::OKCancel, Title, Answer::OK);
        w->cmdDefault->click();
        QCOMPARE(w->cbItem[3]->currentIndex(), 3);
        QCOMPARE(im.db().scalar("SELECT group_concat(FeedPressure) FROM InputOrder").toString(), before);
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // Both windows read the one stored order alike: by position, a Null position keeping its
    // row's own item.
    void sharedOrder() {
        Import im(3);
        {
            Database d = im.db();
            QStringList cols, marks;
            QVariantList values;
            for (int k = 0; k < ItemCount; ++k) {
                cols << QString("c%1").arg(k);
                values << (k == 1 ? QVariant(7) : k == 7 ? QVariant(1) : k == 12 ? QVariant() : QVariant(k));
            }
            d.exec("INSERT INTO InputOrder (TheDate, PermFlow, ConcFlow, FeedPressure, ConcPressure, "
                   "PermBackPress, FeeduS, PermuS, Temperature, pH, PermFlow_2, PermuS_2, FeedPressure_2, "
                   "PermBackPress_2, ConcPressure_1, TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw, "
                   "PermFlow_3, PermuS_3, FeedPressure_3, PermBackPress_3, ConcPressure_2, ProjectID, "
                   "TrainNumber) VALUES (" +
                       QString("?, ").repeated(ItemCount) + "'P1', 1)",
                   values);
        }
        frmImportExcel* w = im.open();
        QVERIFY(w);
        QPointer<frmData> entry = new frmData(im.p());
        QVERIFY(entry);
        for (int k = 0; k < ItemCount; ++k) {
            const int expected = k == 1 ? 7 : k == 7 ? 1 : k;
            QCOMPARE(w->cbItem[size_t(k)]->currentIndex(), expected);
            QCOMPARE(entry->cbItem[size_t(k)]->currentIndex(), expected);
        }
        delete entry.data();
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // Closing over typed input that was not stored asks first, as data entry does: No keeps
    // the window and the input; once the links are saved, or with nothing typed, nothing
    // is asked.
    void closeWithTyped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("question");
        QTest::newRow("cell link") << "txtScadaItem_3"
                                   << "R9C4"
                                   << "The cell links you typed have not been saved. Close and lose them?";
        QTest::newRow("value") << "txtData_3"
                               << "12.5"
                               << "The values you typed have not been saved. Close and lose them?";
        QTest::newRow("nothing typed") << ""
                                       << ""
                                       << "";
    }
    void closeWithTyped() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, question);
        Import im(1);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->show();
        if (!box.isEmpty()) {
            auto* edit = w->findChild<QLineEdit*>(box);
            QVERIFY(edit);
            edit->clear();
            QTest::keyClicks(edit, typed);
            im.env.prompts.onMessage(question, Buttons::YesNo, Title, Answer::No);
            w->cmdClose->click();
            QCOMPARE(im.env.prompts.verify(), QString());
            QVERIFY(im.window && w->isVisible());
            QCOMPARE(edit->text(), typed);
            if (box.startsWith("txtScadaItem")) {
                im.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
                w->cmdSaveConfig->click();
            } else {
                im.env.prompts.onMessage(question, Buttons::YesNo, Title, Answer::Yes);
            }
        }
        w->cmdClose->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!im.window);
    }

    // The interval box keeps only what typing leaves in it, of pasted text too.
    void intervalFilteredAsTyped_data() {
        QTest::addColumn<bool>("pasted");
        QTest::newRow("typed") << false;
        QTest::newRow("pasted") << true;
    }
    void intervalFilteredAsTyped() {
        QFETCH(bool, pasted);
        Import im(1);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->show();
        w->txtSaveInterval->clear();
        if (pasted) {
            QGuiApplication::clipboard()->setText("-4x5 ");
            QTest::keySequence(w->txtSaveInterval, QKeySequence::Paste);
        } else {
            QTest::keyClicks(w->txtSaveInterval, "-4x5 ");
        }
        QCOMPARE(w->txtSaveInterval->text(), QString("45"));
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // Every box, label, list entry and button shows its text whole in each mode and for
    // each bank count, and the window fits a 1280 x 800 screen.
    void textsShownWhole_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("allRows");
        for (int banks : {1, 2, 3})
            for (bool allRows : {false, true})
                QTest::addRow("%d banks, %s", banks, allRows ? "all rows" : "one row") << banks << allRows;
    }
    void textsShownWhole() {
        QFETCH(int, banks);
        QFETCH(bool, allRows);
        Import im(banks);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->show();
        w->OptImport[allRows ? 1 : 0]->setChecked(true);
        for (int column = 0; column < 4; ++column)
            w->txtData[column * 100]->setText("2020-01-01 03:45");
        QCoreApplication::processEvents();
        const QStringList cut = test::cutOffTexts(w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        // Stored names longer than their boxes are shown from their start.
        for (const QString& field : ItemFieldList())
            test::insertRow(im.p().ProjectDatabasePath, "ScadaImport",
                            {{"ProjectID", "P1"},
                             {"TrainNumber", 1},
                             {"FieldValue", field},
                             {"Application", "Plant_Historian"},
                             {"Topic", "Plant_Log_November"},
                             {"Item", "R2C1"}});
        w->FillScadaInfo("P1", 1);
        for (int k = 0; k < ItemCount; ++k)
            QVERIFY(w->txtScadaTopic[size_t(k)]->cursorPosition() == 0 &&
                    w->txtScadaApp[size_t(k)]->cursorPosition() == 0);
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // A refusal's whole cause can be read on the panel that shows it: a required item left
    // blank in the sheet names its row, its date and the item.
    void refusalShownWhole() {
        Import im(3);
        im.sheet(1, {{item::ConcFlow, ""}});
        frmImportExcel* w = im.open();
        w->show();
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        w->OptImport[1]->setChecked(true);
        w->cmdSave[0]->click();
        QCoreApplication::processEvents();
        QCOMPARE(im.rows(), 1);
        QVERIFY2(w->panel(4)->text().contains("Sheet row 2") && w->panel(4)->text().contains("ConcFlow"),
                 qPrintable(w->panel(4)->text()));
        const QStringList cut = test::cutOffTexts(w).filter("StatusBar1_Panel");
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // The help windows show their texts whole: the formats note the window opens, and the
    // import steps.
    void helpWindowsShowWhole() {
        Import im(3);
        RegisterSpreadsheetWindows(im.p());
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->show();
        w->cmdFormat->click();
        for (const QString& name : {QString("frmDate"), QString("frmImportHelp")}) {
            QWidget* help = im.p().windows.showSingle(name);
            QVERIFY(help && help->isVisible());
            const QStringList cut = test::cutOffTexts(help);
            QVERIFY2(cut.isEmpty(), qPrintable(name + ":\n" + cut.join('\n')));
            help->close();
        }
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // The real link test program serving a CSV file, imported through the window.
    void ddetestProcess() {
        Import im(1);
        QFile f(im.env.path("Plant Log.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ItemFieldList().join(",").toUtf8() + "\n");
        for (int r = 0; r < 2; ++r) {
            QStringList line;
            for (int i = 0; i < ItemCount; ++i)
                line << test::sheetCell(im.info, r, i);
            f.write(line.join(",").toUtf8() + "\n");
        }
        f.close();
        im.server.close();
        const QString name = test::uniqueServerName();
        QProcess dde;
        dde.start(QCoreApplication::applicationDirPath() + "/ddetest",
                  {"--serve", name, "--sheet", f.fileName()});
        QVERIFY2(dde.waitForReadyRead(20000), qPrintable(dde.readAllStandardError()));
        im.app = name;
        frmImportExcel* w = im.open();
        im.link(*w);
        w->txtScadaTopic[0]->setText("Plant Log");
        w->OptImport[1]->setChecked(true);
        QVERIFY(w->cmdTestPoll_Click());
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 3);
        QCOMPARE(w->panel(3)->text(), QString("Total Rows Imported = 2"));
        dde.closeWriteChannel();
        QVERIFY(dde.waitForFinished(20000));
    }

    // An order showing an item in two rows (and another in none) imports no row, and the
    // order is not stored either.
    void duplicatedItemStoresNothing() {
        Import im(1);
        im.sheet(2);
        frmImportExcel* w = im.open();
        QVERIFY(w);
        w->cbItem[item::pH]->setCurrentIndex(item::Temperature);
        im.link(*w);
        QVERIFY(w->cmdTestPoll_Click());
        w->OptImport[1]->setChecked(true);
        const QString twice = "\"Temperature\" is chosen in more than one input row. ";
        im.env.prompts.onMessage(twice + "The reading was not saved.", Buttons::OK, Title, Answer::OK);
        w->cmdSave[0]->click();
        QCOMPARE(im.rows(), 1);
        QVERIFY(w->cmdSaveConfig->isEnabled());
        im.env.prompts.onMessage(twice + "The input order was not saved.", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        QCOMPARE(im.db().scalar("SELECT count(*) FROM InputOrder WHERE ProjectID = 'P1'").toInt(), 0);
        // Nor the cell links, which are stored by item: pH's cell would be Temperature's.
        QCOMPARE(im.db().scalar("SELECT count(*) FROM ScadaImport WHERE ProjectID = 'P1'").toInt(), 0);
        QCOMPARE(im.env.prompts.verify(), QString());
    }

    // A chooser's list opened or left after a fetch rebuilds the rows: the entry column is
    // then no fetched row, and Save waits for the next fetch, which stores the sheet row as
    // it is. A database another program holds is reported, and the window stays.
    void chooserAfterFetch_data() {
        QTest::addColumn<int>("item");    // the item row 3 is given (3: its own)
        QTest::addColumn<bool>("locked"); // another program holds the whole database
        QTest::newRow("list opened and closed") << 3 << false;
        QTest::newRow("database held") << 3 << true;
        QTest::newRow("order changed") << int(item::ConcPressure) << false;
    }
    void chooserAfterFetch() {
        QFETCH(int, item);
        QFETCH(bool, locked);
        Import im(1);
        im.sheet(2);
        test::insertProjectInfo(im.p().ProjectDatabasePath, 3, {{"ProjectID", "ZZZ"}});
        test::insertReading(im.p().ProjectDatabasePath, 3,
                            {{"ProjectID", "ZZZ"}, {"TheDate", "2020-01-03 00:00:00"}, {"PermFlow", 99}});
        frmImportExcel* w = im.open();
        QVERIFY(w);
        im.link(*w);
        im.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        QVERIFY(w->cmdTestPoll_Click());
        std::unique_ptr<test::ForeignLock> held;
        if (locked) {
            held = std::make_unique<test::ForeignLock>(im.p().ProjectDatabasePath,
                                                       test::ForeignLock::Kind::Exclusive);
            // Once as the list opens, once as the box is left.
            for (int i = 0; i < 2; ++i)
                im.env.prompts.onMessage("The rows cannot be rebuilt.", Buttons::OK, Title, Answer::OK);
        }
        w->cbItem[3]->setCurrentIndex(item);
        w->cbItem_DropDown(3);
        w->cbItem_LostFocus(3);
        QCOMPARE(im.env.prompts.verify(), QString());
        held.reset();
        QVERIFY(!w->cmdSave[0]->isEnabled());
        if (item != 3) return;
        QVERIFY(w->cmdTestPoll_Click());
        QCOMPARE(w->txtData[0]->text(), shown("2020-01-05 08:00"));
        w->cmdSave[0]->click();
        QCOMPARE(im.env.prompts.verify(), QString());
        QCOMPARE(im.rows(), 3);
        const DbRow last = im.stored().last();
        QCOMPARE(last.toText("TheDate"), QString("2020-01-05 08:00:00"));
        QCOMPARE(last.toText("ProjectID"), QString("P1"));
        QCOMPARE(last.toDouble("PermFlow"), im.info.toDouble("PermFlow"));
        QCOMPARE(w->txtScadaItem[1]->text(), QString("R3C2"));
    }
};

HV_FIT_TEST_MAIN(TestFrmImportExcel)
#include "tst_frmimportexcel.moc"
