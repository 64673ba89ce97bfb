#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include "collection/inputconfig.h"
#include "collection/pollrun.h"
#include "collection/ui/collectionwindows.h"
#include "collectiontestsupport.h"
#include "core/settings.h"
#include "core/startup.h"
#include "core/typedinput.h"
#include "core/ui/corewindows.h"
#include "core/ui/frmmain.h"
#include "platform/links/linkclient.h"
#include "platform/links/linkerrors.h"
#include "platform/links/linkserver.h"

using namespace hv;
using test::Plant;

namespace {

// The stored InputOrder row of P1 train 1, read by position.
QList<int> storedOrder(Plant& pl) {
    const DbRows rows = pl.db().select("SELECT * FROM InputOrder WHERE ProjectID = 'P1'");
    QList<int> order;
    if (rows.count() != 1) return order;
    for (int k = 0; k < ItemCount; ++k)
        order << rows.first().value(k).toInt();
    return order;
}

// Scada rows for P1 train 1 linking every row to R<k+1>C1 of `app`'s Sheet1.
void linkAllRows(Plant& pl, const QString& app) {
    const QStringList fields = ItemFieldList();
    for (int k = 0; k < ItemCount; ++k)
        test::insertRow(pl.p().ProjectDatabasePath, "Scada",
                        {{"ProjectID", "P1"},
                         {"TrainNumber", 1},
                         {"FieldValue", fields[k].toUpper()},
                         {"UseScada", -1},
                         {"Application", app},
                         {"Topic", "Sheet1"},
                         {"Item", QString("R%1C1").arg(k + 1)},
                         {"Required", -1},
                         {"UseDefaultValues", 0},
                         {"Hide", 0}});
}

void pollingKeys(Plant& pl, bool use, bool automatic) {
    WriteIniValue("Projects", "P1.Train1.ChkUseScada", pl.p().IniFilePath, use ? "TRUE" : "FALSE");
    WriteIniValue("Projects", "P1.Train1.AutoLink", pl.p().IniFilePath, automatic ? "true" : "0");
}

// A sheet holding the reference reading of a one-bank plant, one item a row, taken at `date`.
QString writeSheet(const QString& folder, const QString& date) {
    const QVariantMap values = test::readingRow(1);
    QString csv = date + "\n";
    for (int i = 1; i < ItemCount; ++i) {
        QString v = "0";
        for (auto it = values.begin(); it != values.end(); ++it)
            if (it.key().compare(ItemFieldList()[i], Qt::CaseInsensitive) == 0)
                v = QLocale().toString(it.value().toDouble(), 'g', 15); // as the plant's own sheet shows it
        csv += "\"" + v + "\"\n";
    }
    const QString path = folder + "/Sheet1.csv";
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(csv.toUtf8());
    return path;
}

void advance(Plant& pl, int minutes) {
    pl.env.system.clock = pl.env.system.clock.addSecs(minutes * 60);
}

// A plant of one bank with one reading, every row linked to a sheet served in this process
// whose reading is dated `date`.
struct ServedPlant {
    explicit ServedPlant(const QString& date, const QLocale& locale = QLocale::c()) : pl(1, {}, locale) {
        pl.reading(1, {});
        app = test::uniqueServerName();
        QVERIFY(server.listen(app));
        sheet = writeSheet(pl.env.dir.path(), date);
        QVERIFY(server.addSheetFile(sheet));
        linkAllRows(pl, app);
    }
    Plant pl;
    links::LinkServer server;
    QString app, sheet;
};

// A plant control system in a test: each link's item names its answer; one row may fail.
struct FakeLinks : LinkRowSource {
    QMap<QString, QString> answers;
    int failRow = -1;
    RowFetchFailure fetch(const std::vector<RowLink>& rows, std::array<QString, ItemCount>& texts) override {
        for (size_t k = 0; k < rows.size(); ++k) {
            if (!rows[k].linked) continue;
            if (int(k) == failRow) return {int(k), links::Timeout, "no answer in time", false, false};
            texts[k] = answers.value(rows[k].item);
        }
        return {};
    }
};

struct StopAsked : RunProgress {
    bool stop = false;
    bool yieldAndCheckCancel() override { return stop; }
};

} // namespace

class TestPolling : public QObject {
    Q_OBJECT
private slots:
    // The order is stored by position, updated in place and restored; flags follow the item.
    void inputOrderSavedByPosition() {
        Plant pl(1);
        pl.reading(1, {});
        pl.p().DataEntryConfigUnlocked = true;
        frmData* w = pl.open();
        QVERIFY(w);
        WriteIniValue("Projects", "P1.Train1.SaveInterval", pl.p().IniFilePath, "120");
        w->txtSaveInterval->setText("5");
        w->txtScadaTopic[2]->clear();
        w->ChkHide[5]->setChecked(true);
        pl.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        QList<int> identity;
        for (int k = 0; k < ItemCount; ++k)
            identity << k;
        QCOMPARE(storedOrder(pl), identity);
        QCOMPARE(pl.db().scalar("SELECT PermBackPress_3 FROM InputOrder WHERE ProjectID = 'P1'").toInt(), 23);
        QCOMPARE(pl.db().scalar("SELECT Topic FROM Scada WHERE FieldValue = 'ConcFlow'").toString(), "NA");
        QCOMPARE(pl.db().scalar("SELECT count(*) FROM Scada WHERE ProjectID = 'P1'").toInt(), 25);
        QCOMPARE(ReadIniValue("Projects", "P1.Train1.SaveInterval", "", pl.p().IniFilePath), QString("10"));
        QCOMPARE(ReadIniValue("Projects", "P1.Train1.ChkUseScada", "", pl.p().IniFilePath), QString("FALSE"));
        QCOMPARE(ReadIniValue("Projects", "P1.Train1.AutoLink", "", pl.p().IniFilePath), QString("FALSE"));
        QCOMPARE(pl.p().SaveIntervalMinutes, 10.0);

        // Rows 3 and 7 on the same item: both yellow, Save Config off; apart again: both white.
        w->cbItem[7]->setCurrentIndex(3);
        w->cbItem_LostFocus(7);
        QVERIFY(w->cbItem[3]->styleSheet().contains("#ffff00") &&
                w->cbItem[7]->styleSheet().contains("#ffff00"));
        QVERIFY(w->cbItem[0]->styleSheet().contains("#ffffff"));
        QVERIFY(!w->cmdSaveConfig->isEnabled());
        // Swapped: PermFlow's DDE source and flags follow it to row 4.
        w->txtScadaItem[1]->setText("unsaved");
        w->cbItem[7]->setCurrentIndex(1);
        w->cbItem[1]->setCurrentIndex(7);
        w->cbItem_DropDown(1);
        QVERIFY(w->cbItem[7]->styleSheet().contains("#ffffff") && w->cmdSaveConfig->isEnabled());
        QCOMPARE(w->txtScadaItem[7]->text(), QString("R2C1"));
        QCOMPARE(w->txtScadaItem[1]->text(), QString("R8C1"));
        pl.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        identity.swapItemsAt(1, 7);
        QCOMPARE(storedOrder(pl), identity);

        // Reopened: the swap, and the hidden row with its hide box.
        delete pl.window.data();
        pl.p().DataEntryConfigUnlocked = false;
        w = pl.open();
        QVERIFY(w);
        QCOMPARE(w->cbItem[1]->currentIndex(), 7);
        QCOMPARE(w->cbItem[7]->currentIndex(), 1);
        QCOMPARE(w->lblUnits[7]->text(), GetUnitName(3, 13));
        QVERIFY(w->txtData[5]->isHidden() && w->ChkHide[5]->isHidden() && w->ChkHide[5]->isChecked());
        QCOMPARE(w->txtScadaTopic[2]->text(), QString("NA"));

        // Default order: Cancel keeps the rows, OK shows the 'Default' order (unsaved).
        pl.env.prompts.onMessage("Reset to Default Input Order?", Buttons::OKCancel, Title, Answer::Cancel)
            .onMessage("Reset to Default Input Order?", Buttons::OKCancel, Title, Answer::OK);
        w->cmdDefault_Click();
        QCOMPARE(w->cbItem[1]->currentIndex(), 7);
        w->cmdDefault_Click();
        QCOMPARE(w->cbItem[1]->currentIndex(), 1);
        QCOMPARE(storedOrder(pl), identity);
        QCOMPARE(pl.problems(), QString());
    }

    // A failed write changes neither table and says so instead of "Updated OK!".
    void failedConfigSaveRollsBack() {
        Plant pl(1);
        pl.reading(1, {});
        pl.p().DataEntryConfigUnlocked = true;
        frmData* w = pl.open();
        QVERIFY(w);
        test::insertRow(pl.p().ProjectDatabasePath, "Scada", {{"ProjectID", "P1"}, {"TrainNumber", 1}});
        pl.db().exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON Scada BEGIN SELECT RAISE(ABORT, 'refused'); END");
        pl.env.prompts.onMessage(", Update Failed. Make sure the database is not in use by someone else!",
                                 Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.db().scalar("SELECT count(*) FROM InputOrder WHERE ProjectID = 'P1'").toInt(), 0);
        QCOMPARE(pl.db().scalar("SELECT count(*) FROM Scada WHERE ProjectID = 'P1'").toInt(), 1);
    }

    // Stored sources: the project's own rows, else 'Default' train 1, else the built-in cells.
    void scadaFallbacks() {
        Plant pl(1);
        pl.reading(1, {});
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(w->txtScadaApp[4]->text() + w->txtScadaTopic[4]->text() + w->txtScadaItem[4]->text(),
                 QString("ExcelSheet1R5C1"));
        QVERIFY(w->chkREQD[4]->isChecked() && !w->chkScada[4]->isChecked() && !w->ChkHide[4]->isChecked());
        delete pl.window.data();
        test::insertRow(pl.p().ProjectDatabasePath, "Scada",
                        {{"ProjectID", "Default"},
                         {"TrainNumber", 1},
                         {"FieldValue", "permflow"},
                         {"UseScada", 0},
                         {"Application", "Plant"},
                         {"Topic", "NA"},
                         {"Item", "FT1"},
                         {"Required", 0},
                         {"UseDefaultValues", -1},
                         {"Hide", 0}});
        w = pl.open();
        QCOMPARE(w->txtScadaApp[1]->text() + w->txtScadaTopic[1]->text() + w->txtScadaItem[1]->text(),
                 QString("PlantNAFT1"));
        QVERIFY(!w->chkREQD[1]->isChecked() && w->chkDefault[1]->isChecked());
        QCOMPARE(pl.problems(), QString());
    }

    // Switching polling off, at load or later, gives the entry column's heading the hours
    // of the newest reading, whatever it showed.
    void entryHoursWhenPollingOff() {
        Plant pl(1);
        pl.reading(1, {});
        linkAllRows(pl, test::uniqueServerName()); // no program serves them
        pollingKeys(pl, false, true);
        frmData* w = pl.open();
        QVERIFY(w && w->optScada[0]->isChecked());
        QCOMPARE(w->lblTime[1]->text(), QString("24.00"));
        QCOMPARE(w->lblTime[0]->text(), QString("24.00"));
        w->chkUseScada->setChecked(true);
        QCOMPARE(w->lblTime[0]->text(), QString("Waiting"));
        w->txtData[0]->setText("2020-01-03 00:00");
        w->chkUseScada->setChecked(false);
        QCOMPARE(w->lblTime[0]->text(), QString("24.00"));
        w->lblTime[0]->setText("48.00");
        w->optScada[1]->setChecked(true);
        QCOMPARE(w->lblTime[0]->text(), QString("24.00"));
        QCOMPARE(pl.problems(), QString());
    }

    // Against a server of the sheet: automatic links, Test/Poll and the clock's save.
    void pollsSheet_data() {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("proposed"); // the proposed date, then the polled one, as shown
        QTest::addColumn<QString>("polled");
        QTest::addColumn<QString>("hours"); // the entry column's heading after the poll
        const auto row = [](const char* name, bool automatic, const char* locale, const char* proposed,
                            const char* polled, const char* hours) {
            QTest::newRow(name) << automatic << locale << proposed << polled << hours;
        };
        row("automatic", true, "C", "", "15 Jan 2026 10:00", "52954.00");
        row("requested, comma locale", false, "de_DE", "02.01.2020 02:00", "15.01.2026 10:00", "52.954,00");
        row("requested, English (UK)", false, "en_GB", "02/01/2020 02:00", "15/01/2026 10:00", "52,954.00");
    }
    void pollsSheet() {
        QFETCH(bool, automatic);
        QFETCH(QString, locale);
        ServedPlant served("2026-01-15 10:00:00", QLocale(locale));
        Plant& pl = served.pl;
        pollingKeys(pl, true, automatic);
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(w->panel(2)->text(), "SCADA STATUS: Link " + QString(automatic ? "Auto" : "Polling"));
        QCOMPARE(w->panel(4)->text(), QString("Next Poll/Save at: 12:30"));
        QCOMPARE(w->lblTime[0]->text(), QString("Waiting"));
        if (automatic) {
            QTRY_COMPARE(w->txtData[1]->text(), QString("60"));
            QTRY_COMPARE(w->txtData[0]->text(), QString("2026-01-15 10:00:00"));
        } else {
            QTEST(w->txtData[0]->text(), "proposed");
        }
        // Test/Poll Now shows the polled date in the computer's own form.
        w->cmdTestPoll->click();
        QTEST(w->txtData[0]->text(), "polled");
        QTEST(w->lblTime[0]->text(), "hours");
        QCOMPARE(w->txtData[1]->text(), QString("60"));

        // Not yet due: nothing; due: polled and saved, normalized.
        pl.clock->fire();
        QCOMPARE(pl.dataRows(), 1);
        advance(pl, 121);
        pl.clock->fire();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        QCOMPARE(pl.newest().toText("TheDate"), QString("2026-01-15 10:00:00"));
        QVERIFY(pl.newest().toDouble("NormalizedPermFlow") > 0);
        QCOMPARE(pl.newest().toDouble("pH"), test::readingRow(1).value("pH").toDouble());
        QCOMPARE(w->txtData[100 + item::PermFlow]->text(), QString("60")); // the stored reading shown
        QCOMPARE(w->panel(3)->text(), QString("Data Last Saved OK at: 12:31"));
        QCOMPARE(w->panel(4)->text(), QString("Next Auto Save at: 14:31"));
        QVERIFY(pl.clock->isEnabled());

        // The control system's date stalls: the next poll stores nothing, says so without
        // waiting on anybody, and polling goes on.
        advance(pl, 121);
        pl.clock->fire();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        QCOMPARE(w->panel(4)->text(), "A reading dated " +
                                          ShortDateTimeText(QDateTime(QDate(2026, 1, 15), QTime(10, 0))) +
                                          " is already stored for P1 train 1. Data was not saved.");
        QVERIFY(pl.clock->isEnabled());

        // Switched off: no links, the clock stops, the entry hours come from its date.
        w->chkUseScada->setChecked(false);
        QCOMPARE(w->panel(2)->text(), QString("SCADA STATUS: Off"));
        QVERIFY(!pl.clock->isEnabled());
        QCOMPARE(w->ddeLinks[1]->linkMode(), 0);
    }

    // A poll the server leaves part way stores nothing: the boxes show again what they
    // held, Save stays disabled until a poll succeeds, and the clock saves only a whole poll.
    void halfPollStoresNothing() {
        ServedPlant served("2026-01-15 10:00:00");
        Plant& pl = served.pl;
        links::LinkServer& server = served.server;
        const QString& sheet = served.sheet;
        pollingKeys(pl, true, false);
        frmData* w = pl.open();
        QVERIFY(w);
        for (links::LinkClient* l : w->ddeLinks)
            l->setLinkTimeout(2000);
        QStringList before;
        for (int k = 0; k < ItemCount; ++k)
            before << w->txtData[k]->text();
        bool closed = false;
        connect(w->ddeLinks[5], &links::LinkClient::textChanged, w, [&] {
            if (!std::exchange(closed, true)) server.close();
        });
        advance(pl, 121);
        pl.clock->fire();
        QVERIFY(closed);
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 1);
        for (int k = 0; k < ItemCount; ++k)
            QCOMPARE(w->txtData[k]->text(), before[k]);
        QVERIFY(!w->cmdSave->isEnabled());
        // The warning names the cause in the link layer's words.
        const QStringList warning = w->lblWarnings->text().split("\r\n");
        QCOMPARE(warning.size(), 2);
        QVERIFY2(warning[1].contains("link"), qPrintable(warning[1]));

        // The server back, once the links have seen it go.
        QCoreApplication::processEvents();
        QVERIFY(server.listen(served.app));
        QVERIFY(server.addSheetFile(sheet));
        advance(pl, 121);
        pl.clock->fire();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        QCOMPARE(pl.newest().toText("TheDate"), QString("2026-01-15 10:00:00"));
        QVERIFY(w->cmdSave->isEnabled());
    }

    // The window closed while its links are being set up (the wait lets a close through)
    // goes away whole: nothing is stored and the program carries on.
    void closedWhileLinking_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("clock's poll") << "clock";
        QTest::newRow("Test/Poll") << "button";
        QTest::newRow("links switched on") << "switch";
    }
    void closedWhileLinking() {
        QFETCH(QString, how);
        ServedPlant served("2026-01-15 10:00:00");
        Plant& pl = served.pl;
        pollingKeys(pl, how != "switch", true);
        frmData* w = pl.open();
        QVERIFY(w);
        QTimer::singleShot(0, w, [w] { w->close(); });
        advance(pl, 121);
        if (how == "clock")
            pl.clock->fire();
        else if (how == "button")
            w->cmdTestPoll->click();
        else
            w->chkUseScada->setChecked(true);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!pl.window);
        QVERIFY(!pl.p().DataEntryOpen);
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 1);
    }

    // A tick and an update during the message box of a save the user started wait for the
    // save to end.
    void saveMessageBoxGuarded() {
        ServedPlant served("2026-01-15 10:00");
        Plant& pl = served.pl;
        links::LinkServer& server = served.server;
        server.setValue("Sheet1", "R3C1", "0"); // ConcFlow: the save refuses the reading
        pollingKeys(pl, true, true);
        frmData* w = pl.open();
        QVERIFY(w);
        QTRY_COMPARE(w->txtData[1]->text(), QString("60"));
        QSignalSpy updates(w->ddeLinks[1], &links::LinkClient::textChanged);
        pl.hooked.whileOpen = [&] {
            advance(pl, 121);
            pl.clock->fire(); // skipped: a second poll would show the message again
            server.setValue("Sheet1", "R2C1", "61");
            QTRY_VERIFY(!updates.isEmpty() && updates.last().at(0).toString() == "61");
            QCOMPARE(w->txtData[1]->text(), QString("60"));
        };
        pl.env.prompts.onMessage("Concentrate Flow is <=0", Buttons::OK, Title, Answer::OK);
        w->txtData[item::ConcFlow]->setText("0");
        w->cmdSave_Click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(w->txtData[1]->text(), QString("61"));
        QCOMPARE(pl.dataRows(), 1);
        // The skipped tick's reading is taken at the next one.
        server.setValue("Sheet1", "R3C1", "20");
        pl.clock->fire();
        QCOMPARE(pl.dataRows(), 2);
        QCOMPARE(pl.newest().toDouble("PermFlow"), 61.0);
        QCOMPARE(pl.problems(), QString());
    }

    // A polled reading the checks refuse waits on nobody: its reason is shown beside the rows
    // and on the status bar, the clock runs on, and the next poll stores what it brings.
    void refusedPollWaitsOnNobody() {
        ServedPlant served("2026-01-15 10:00");
        Plant& pl = served.pl;
        links::LinkServer& server = served.server;
        server.setValue("Sheet1", "R3C1", "0"); // ConcFlow
        pollingKeys(pl, true, false);
        frmData* w = pl.open();
        QVERIFY(w);
        advance(pl, 121);
        pl.clock->fire();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 1);
        QVERIFY2(w->lblWarnings->text().startsWith("Concentrate Flow is <=0"),
                 qPrintable(w->lblWarnings->text()));
        QVERIFY2(w->panel(4)->text().startsWith("Poll at 12:31: Concentrate Flow is <=0"),
                 qPrintable(w->panel(4)->text()));
        QCOMPARE(w->txtData[item::ConcFlow]->text(), QString("0")); // what the poll read
        QVERIFY(w->cmdSave->isEnabled());
        QVERIFY(pl.clock->isEnabled() && w->chkUseScada->isChecked());

        server.setValue("Sheet1", "R3C1", "20");
        server.setValue("Sheet1", "R1C1", "2026-01-15 12:00");
        advance(pl, 121);
        pl.clock->fire();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        QCOMPARE(pl.newest().toDouble("ConcFlow"), 20.0);
    }

    // Switching polling on names why it cannot be: a date row without its link (every poll
    // would be refused after the first), or a program that runs but serves no such sheet;
    // polling is then off, and the message says so.
    void switchOnRefusedNamesCause_data() {
        QTest::addColumn<bool>("dateUnlinked");
        QTest::addColumn<QString>("text");
        QTest::newRow("date row unlinked")
            << true << "Polling cannot run while the row of TheDate has no link";
        QTest::newRow("link box ticked before the sheet is named")
            << false << " is running but has no topic (sheet) called Sheet2";
    }
    void switchOnRefusedNamesCause() {
        QFETCH(bool, dateUnlinked);
        QFETCH(QString, text);
        ServedPlant served("2026-01-15 10:00");
        Plant& pl = served.pl;
        pollingKeys(pl, !dateUnlinked, false);
        frmData* w = pl.open();
        QVERIFY(w);
        const int row = dateUnlinked ? 0 : 5;
        w->chkScada[size_t(row)]->setChecked(false);
        w->txtScadaTopic[size_t(row)]->setText("Sheet2");
        pl.env.prompts.onMessage(text, Buttons::OK, Title, Answer::OK);
        if (dateUnlinked)
            w->chkUseScada->setChecked(true);
        else
            w->chkScada[size_t(row)]->setChecked(true);
        QCOMPARE(pl.problems(), QString());
        if (!dateUnlinked) {
            QVERIFY(!pl.env.prompts.shown().last().contains("no application called"));
            QVERIFY(pl.env.prompts.shown().last().contains("Polling has been switched off"));
        }
        QVERIFY(!w->chkUseScada->isChecked() && !pl.clock->isEnabled());
        QCOMPARE(w->panel(2)->text(), QString("SCADA STATUS: Off"));
    }

    // No server: the 282 texts and panels of both modes; the multiple-failures message once.
    void noServer() {
        Plant pl(1);
        pl.reading(1, {});
        const QString app = test::uniqueServerName();
        linkAllRows(pl, app);
        pollingKeys(pl, true, false);
        const QString text = "The ddeLink failed because there is no application called " + app +
                             "|Sheet1 running on the system";
        pl.env.prompts.onMessage(text, Buttons::OK, Title, Answer::OK);
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(pl.problems(), QString());
        QVERIFY(!w->chkUseScada->isChecked() && !pl.clock->isEnabled());
        QCOMPARE(w->panel(2)->text(), QString("SCADA STATUS: Off"));

        w->optScada[0]->setChecked(true);
        w->chkUseScada->setChecked(true);
        QVERIFY(w->lblWarnings->text().startsWith(text));
        QCOMPARE(w->panel(3)->text(), QString("DDE Failure Count = 1 @TheDate"));
        QCOMPARE(w->panel(2)->text(), QString("DDE Failure @10:30"));
        QCOMPARE(w->panel(4)->text(), QString("Last Save:24.00, Next Try at: 12:30"));
        for (int tick = 2; tick <= 21; ++tick) {
            advance(pl, 121);
            pl.clock->fire();
        }
        // Said without a box: nobody need be there for the polls to go on.
        QCOMPARE(pl.problems(), QString());
        QVERIFY(w->lblWarnings->text().contains("experiencing multiple failures (more than 20)"));
        QCOMPARE(w->DdeFailureCount, 0);
        QVERIFY(pl.clock->isEnabled() && w->chkUseScada->isChecked());
        QCOMPARE(pl.dataRows(), 1);
        pl.env.prompts.onMessage("Polling not activated", Buttons::OK, Title, Answer::OK);
        w->chkUseScada->setChecked(false);
        w->cmdTestPoll->click();
        QCOMPARE(pl.problems(), QString());
    }

    // A poll without a window: what the links answer is checked and stored as it was
    // answered, or nothing is stored and the outcome says why. The pH row has no link.
    void pollRun_data() {
        QTest::addColumn<QVariantMap>("answers"); // item -> the answer of its row's link
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("intake"); // what the intake made of it; -1 when it had none
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("failRow");
        QTest::addColumn<bool>("stop");
        using E = PollOutcome::End;
        const int normalized = int(ReadingIntake::Outcome::Normalized);
        const auto row = [](const char* name, const QVariantMap& answers, E end, int intake = -1,
                            const QString& refusal = {}, int failRow = -1, bool stop = false) {
            QTest::newRow(name) << answers << int(end) << intake << refusal << failRow << stop;
        };
        const auto k = [](int i) { return QString::number(i); };
        row("stored as polled", {{k(item::PermFlow), "61.5"}}, E::Taken, normalized);
        row("a link failing part way", {}, E::FetchFailed, -1, "", 5);
        row("the window gone meanwhile", {}, E::Stopped, -1, "", -1, true);
        row("refused by a rule", {{k(item::ConcFlow), "0"}}, E::Refused, -1, "Concentrate Flow is <=0");
        row("N/A in a required row is missing", {{k(item::FeeduS), "N/A"}}, E::Refused, -1,
            "A REQUIRED FIELD, FeeduS HAS NO DATA. SAVE FAILED!");
        row("a date the train holds", {{k(item::TheDate), "2020-01-02 00:00:00"}}, E::Taken,
            int(ReadingIntake::Outcome::AlreadyStored));
    }
    void pollRun() {
        QFETCH(QVariantMap, answers);
        QFETCH(int, intake);
        QFETCH(QString, refusal);
        QFETCH(int, failRow);
        QFETCH(bool, stop);
        Plant pl(1, {}, QLocale("fr_FR")); // the heading's hours read back in grouped French form
        pl.reading(1, {});
        const QVariantMap reading = test::readingRow(1);
        PollSetup setup;
        setup.project = pl.p().CurrentProject;
        setup.now = pl.env.system.clock;
        setup.note = "polled";
        FakeLinks links;
        links.failRow = failRow;
        for (int i = 0; i < ItemCount; ++i) {
            const QString field = ItemFieldList()[i];
            setup.rows[size_t(i)] = {i, field, QString(), QString(), true, false};
            setup.links.push_back({i != item::pH, "plant", "Sheet1", QString("R%1C1").arg(i + 1)});
            QString answer = "0";
            for (auto it = reading.begin(); it != reading.end(); ++it)
                if (it.key().compare(field, Qt::CaseInsensitive) == 0) answer = it.value().toString();
            links.answers[setup.links.back().item] = answers.value(QString::number(i), answer).toString();
        }
        if (!answers.contains("0")) links.answers["R1C1"] = "2026-01-15 10:00:00";
        setup.rows[size_t(item::pH)].text = "7.5";
        StopAsked progress;
        progress.stop = stop;

        const PollOutcome out = RunPoll(pl.p(), setup, links, progress);
        QTEST(int(out.end), "end");
        QCOMPARE(out.end == PollOutcome::End::Taken ? int(out.saved.outcome) : -1, intake);
        QCOMPARE(RefusalText(out.check, setup.rows).left(refusal.size()), refusal);
        QCOMPARE(pl.dataRows(), intake == int(ReadingIntake::Outcome::Normalized) ? 2 : 1);
        if (out.end == PollOutcome::End::FetchFailed)
            QCOMPARE(out.read.texts[1], QString()); // the entry column as it was
        if (pl.dataRows() == 1) return;
        // What is stored is what the links answered, the date as the control system gave it, the
        // hours from that date, and an unlinked row's box as it stood.
        const DbRow row = pl.newest();
        QCOMPARE(row.toDouble("PermFlow"), 61.5);
        QCOMPARE(row.toDouble("ElapsedTimehrs"), 52954.0);
        QCOMPARE(row.toDouble("pH"), 7.5);
        QCOMPARE(row.toText("TheDate"), QString("2026-01-15 10:00:00"));
        QCOMPARE(row.toText("Note1"), QString("polled"));
        QCOMPARE(out.read.texts[0], ShortDateTimeText(QDateTime(QDate(2026, 1, 15), QTime(10, 0))));
        QCOMPARE(out.read.texts[size_t(item::PermFlow)], QString("61.5"));
    }

    // The link test program itself, serving the sheet to the window.
    void ddetestProcess() {
        Plant pl(1);
        pl.reading(1, {});
        const QString app = test::uniqueServerName();
        QProcess server;
        server.start(QCoreApplication::applicationDirPath() + "/ddetest",
                     {"--serve", app, "--sheet", writeSheet(pl.env.dir.path(), "2026-01-15 09:00")});
        QVERIFY2(server.waitForReadyRead(20000), qPrintable(server.readAllStandardError()));
        linkAllRows(pl, app);
        pollingKeys(pl, true, false);
        frmData* w = pl.open();
        QVERIFY(w);
        w->cmdTestPoll->click();
        QCOMPARE(w->txtData[0]->text(), ShortDateTimeText(QDateTime(QDate(2026, 1, 15), QTime(9, 0))));
        QCOMPARE(w->txtData[1]->text(), QString("60"));
        QCOMPARE(pl.problems(), QString());
        server.closeWriteChannel();
        QVERIFY(server.waitForFinished(20000));
    }

    // On a fresh data folder the main menu's item starts the program's own link test program.
    void ddetestFromMainMenu() {
        struct System : FakeSystemInfo {
            bool launch(const QString& program, const QStringList& args) override {
                launched << program + args.join(' ');
                return QFileInfo(program).isExecutable();
            }
        } system;
        test::TestEnv env;
        system.programDir = QCoreApplication::applicationDirPath(); // beside the built hevrin
        system.perUserDir = env.path("user");
        Program p(env.prompts, system, *env.store);
        RegisterCoreWindows(p);
        RegisterCollectionWindows(p);
        p.EndProgram = [](int) {};
        QDir().mkpath(env.path("user/Hevrin"));
        WriteIniValue("Current Project", "ShowSplash", env.path("user/Hevrin/hevrin.ini"), "No");
        env.prompts.onMessage("NO CURRENT PROJECT", Answer::OK);
        QVERIFY(!Main(p).endProgram);
        frmMain* m = p.windows.findAs<frmMain>("frmMain");
        QVERIFY(m);
        m->mnuRealTimeTest->trigger();
        QCOMPARE(system.launched,
                 QStringList({env.path("user/Hevrin/ddetest"), system.programDir + "/ddetest"}));
        QCOMPARE(env.prompts.verify(), QString());
        for (const QString& name : p.windows.loadedNames())
            delete p.windows.find(name);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
