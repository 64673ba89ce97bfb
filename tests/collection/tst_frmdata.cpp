#include <QClipboard>
#include <QMimeData>
#include <QtTest>

#include "collection/ui/collectionwindows.h"
#include "collection/ui/frmscadahelp.h"
#include "collectiontestsupport.h"
#include "core/settings.h"
#include "core/typedinput.h"
#include "core/units.h"
#include "normalization/recalculate.h"
#include "support/fitcheck.h"
#include "support/foreignlock.h"

using namespace hv;
using test::Plant;

namespace {

QString flow() {
    return GetUnitName(3, 13);
}
QString press() {
    return GetUnitName(1, 8);
}

// Two stored readings: the older one day after the reference date, the newer 32 hours later.
void twoReadings(Plant& pl, int banks) {
    pl.reading(banks, {{"TheDate", "2020-01-02 00:00:00"},
                       {"ElapsedTimeHrs", 24.0},
                       {"PermFlow", 50.0},
                       {"PermFlow_1", 30.0},
                       {"ConcFlow", 19.0}});
    pl.reading(banks, {{"TheDate", "2020-01-03 08:00:00"},
                       {"ElapsedTimeHrs", 56.0},
                       {"PermFlow", 55.0},
                       {"PermFlow_1", 33.0},
                       {"ConcFlow", 21.0}});
}

// A stored date as data entry shows it: in the computer's own short form.
QString shown(const QString& date) {
    return ShortDateTimeText(parseDbDate(date + ":00"));
}

QString local(double x) {
    return QLocale().toString(x, 'g', 15);
}

} // namespace

class TestFrmData : public QObject {
    Q_OBJECT
private slots:
    // The expected dates of the data tables are made in the form the windows are opened under,
    // whatever the computer's own.
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Rows, unit labels with their tags, hidden rows, history, reference and the proposed reading.
    void rowsAndHistory_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        QTest::addColumn<QStringList>("labels"); // rows 1, 2, 3, 5, 7, 10, 14
        QTest::addColumn<QString>("earlier1");   // PermFlow row
        QTest::addColumn<QString>("earlier2");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("dataInfo"); // empty: hidden
        QTest::addColumn<QString>("interval"); // save interval setting, minutes
        QTest::addColumn<QString>("proposed"); // proposed date and its elapsed hours
        const QString us = "uSiemens";
        QTest::newRow("one bank") << 1 << true
                                  << QStringList{flow(), flow(), press(), press(), us, flow(), press()}
                                  << "55"
                                  << "50"
                                  << "60"
                                  << ""
                                  << "90" << shown("2020-01-03 09:30") + "|57.50";
        QTest::newRow("two banks, system values")
            << 2 << true
            << QStringList{flow() + " System", flow() + " System", press() + " System", press() + " Bank1",
                           us + " System",     flow() + " Bank2",  press() + " Bank1"}
            << "55"
            << "50"
            << "60"
            << "NB: PermFlow and PermuS refer to SYSTEM LEVEL data."
            << "" << shown("2020-01-03 10:00") + "|58.00";
        QTest::newRow("two banks, bank values")
            << 2 << false
            << QStringList{flow() + " Bank1", flow() + " System", press() + " System", press() + " Bank1",
                           us + " Bank1",     flow() + " Bank2",  press() + " Bank1"}
            << "33"
            << "30"
            << "40"
            << "NB: PermFlow and PermuS refer to BANK 1 data (not System)."
            << "" << shown("2020-01-03 10:00") + "|58.00";
        QTest::newRow("three banks, bank values") << 3 << false << QStringList{flow() + " Bank1",
                                                                               flow() + " System",
                                                                               press(),
                                                                               press(),
                                                                               us,
                                                                               flow() + " Bank2",
                                                                               press()}
                                                  << "33"
                                                  << "30"
                                                  << "36"
                                                  << ""
                                                  << "240" << shown("2020-01-03 12:00") + "|60.00";
    }
    void rowsAndHistory() {
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        QFETCH(QStringList, labels);
        QFETCH(QString, earlier1);
        QFETCH(QString, earlier2);
        QFETCH(QString, reference);
        QFETCH(QString, dataInfo);
        QFETCH(QString, interval);
        QFETCH(QString, proposed);
        Plant pl(banks, {{"Systemdata", systemData ? -1 : 0}, {"refph", QVariant()}});
        twoReadings(pl, banks);
        if (!interval.isEmpty())
            WriteIniValue("Projects", "P1.Train1.SaveInterval", pl.p().IniFilePath, interval);
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(pl.problems(), QString());
        QVERIFY(pl.p().DataEntryOpen);
        w->lblWarnings->setText("Normalized Salt Passage is at least 15% above Reference Salt Passage.");
        QVERIFY(w->sizeHint().boundedTo(test::MaxWindowSize) == w->sizeHint());

        const int rows[7] = {1, 2, 3, 5, 7, 10, 14};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(w->lblUnits[size_t(rows[i])]->text(), labels[i]);
        for (int k = 0; k < ItemCount; ++k) {
            const bool hidden = (banks == 1 && k >= 10 && k <= 14) || (banks < 3 && k >= 20);
            QVERIFY2(w->txtData[k]->isHidden() == hidden && w->cbItem[size_t(k)]->isHidden() == hidden,
                     qPrintable(QString("row %1").arg(k)));
        }
        QCOMPARE(w->txtData[101]->text(), earlier1);
        QCOMPARE(w->txtData[201]->text(), earlier2);
        QCOMPARE(w->txtData[301]->text(), reference);
        QCOMPARE(w->txtData[1]->text(), earlier1);
        QCOMPARE(w->txtData[102]->text(), QString("21"));
        QCOMPARE(w->txtData[309]->text(), QString("7")); // no reference pH
        QCOMPARE(w->txtData[315]->text(), QString("N/A"));
        QCOMPARE(w->txtData[100]->text(), shown("2020-01-03 08:00"));
        QCOMPARE(w->txtData[300]->text(), shown("2020-01-01 00:00"));
        // The proposed reading is one save interval after the newest.
        QCOMPARE(w->txtData[0]->text() + "|" + w->lblTime[0]->text(), proposed);
        QCOMPARE(w->txtSaveInterval->text(), interval.isEmpty() ? QString("120") : interval);
        QCOMPARE(w->lblTime[1]->text(), QString("56.00"));
        QCOMPARE(w->lblTime[2]->text(), QString("24.00"));
        QCOMPARE(w->lblDataInfo->isHidden(), dataInfo.isEmpty());
        if (!dataInfo.isEmpty()) QCOMPARE(w->lblDataInfo->text(), dataInfo);
        QVERIFY(w->txtTrain->isHidden());
        QCOMPARE(w->panel(1)->text(), QString("Num Recs: 2"));
        // A reading another window stores is counted once this one is active again.
        pl.reading(banks, {{"TheDate", "2020-01-04 08:00:00"}});
        QEvent activated(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w, &activated);
        QCOMPARE(w->panel(1)->text(), QString("Num Recs: 3"));
        // Polling inactive, the clock running, the configuration locked.
        QCOMPARE(w->panel(2)->text(), QString("SCADA STATUS: Off"));
        QVERIFY(w->optScada[1]->isChecked() && !w->chkUseScada->isChecked());
        QVERIFY(pl.clock->isEnabled());
        QCOMPARE(pl.clock->interval(), 60000);
        QVERIFY(!w->cbItem[0]->isEnabled() && !w->chkREQD[0]->isEnabled() && !w->cmdSaveConfig->isEnabled());
    }

    // A train without readings stores its reference reading as the first one, once.
    void firstUseSave_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        for (const char* locale : {"C", "de_DE"}) {
            QTest::addRow("one bank, %s", locale) << locale << 1 << true;
            QTest::addRow("two banks as bank values, %s", locale) << locale << 2 << false;
            QTest::addRow("three banks, %s", locale) << locale << 3 << false;
        }
    }
    void firstUseSave() {
        QFETCH(QString, locale);
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        Plant pl(banks, {{"Systemdata", systemData ? -1 : 0}}, QLocale(locale));
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 1);
        const QVariantMap ref = test::projectInfoRow(banks);
        const DbRow row = pl.newest();
        QCOMPARE(row.toText("TheDate"), QString("2020-01-01 00:00:00"));
        for (const char* c : {"PermFlow", "ConcFlow", "FeedPressure", "FeeduS", "PermFlow_2", "Permflow_3"})
            QVERIFY2(qAbs(row.toDouble(c) - ref.value(c).toDouble()) < 1e-9, c);
        QCOMPARE(row.toDouble("PermuS"), std::round(ref.value("PermuS").toDouble() * 1000) / 1000);
        QCOMPARE(row.toDouble("pH"), 7.2);
        QVERIFY(row.isNull("TurbidityFeed")); // an optional item the reference has no value for
        QVERIFY(row.toDouble("NormalizedPermFlow") > 0);
        QCOMPARE(w->panel(1)->text(), QString("Num Recs: 1"));
        QCOMPARE(w->lblWarnings->text(), QString());
        // The reference reading moved into Earlier-1; the entry column is free for the next.
        const QString firstFlow = local(banks == 1 ? 60.0 : ref.value("PermFlow_1").toDouble());
        QCOMPARE(w->txtData[101]->text(), firstFlow);
        QCOMPARE(w->txtData[201]->text(), QString("No Data"));
        QCOMPARE(w->txtData[1]->text(), QString());
        QCOMPARE(w->lblTime[1]->text(), "0" + QLocale().decimalPoint() + "00");
    }

    // The reading saved through the window normalizes exactly as the project recalculation does.
    void saveMatchesRecalculation_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("systemData");
        for (const char* locale : {"C", "de_DE"}) {
            QTest::addRow("one bank, %s", locale) << locale << 1 << true;
            QTest::addRow("two banks as system values, %s", locale) << locale << 2 << true;
            QTest::addRow("two banks as bank values, %s", locale) << locale << 2 << false;
            QTest::addRow("three banks, %s", locale) << locale << 3 << false;
        }
    }
    void saveMatchesRecalculation() {
        QFETCH(QString, locale);
        QFETCH(int, banks);
        QFETCH(bool, systemData);
        Plant pl(banks, {{"Systemdata", systemData ? -1 : 0}}, QLocale(locale));
        pl.reading(banks, {});
        frmData* w = pl.open();
        QVERIFY(w);
        using namespace item;
        const QMap<int, double> scale{{PermFlow, 0.93}, {ConcFlow, 1.04},   {FeedPressure, 1.07},
                                      {FeeduS, 1.11},   {PermuS, 1.21},     {PermFlow_2, 0.9},
                                      {PermuS_2, 1.17}, {PermFlow_3, 0.87}, {PermuS_3, 1.13}};
        for (auto it = scale.begin(); it != scale.end(); ++it)
            test::enter(*w, it.key(), local(QLocale().toDouble(w->txtData[it.key()]->text()) * it.value()));
        test::enter(*w, Temperature, local(14.35));
        test::enter(*w, pH, local(7.65));
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        const DbRow saved = pl.newest();
        // What data entry stores is the number typed, not the one shown rounded.
        QCOMPARE(saved.toDouble("Temperature"), 14.35);
        QCOMPARE(saved.toDouble("pH"), 7.65);
        QVERIFY(saved.toDouble("NormalizedPermFlow") > 0);
        QVERIFY(RecalculateProject(pl.p(), "P1", 1));
        const DbRow recalculated = pl.newest();
        for (int i = 0; i < saved.fieldCount(); ++i)
            QVERIFY2(saved.value(i) == recalculated.value(i),
                     qPrintable(saved.fieldName(i) + ": " + saved.value(i).toString() + " vs " +
                                recalculated.value(i).toString()));
    }

    // Alarm lines of the saved reading against the reference state: a reading equal to it
    // raises none; a fifth less permeate raises the flow line; 15 % more salt in the
    // permeate raises the salt-passage line.
    void alarmsAfterSave_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<QVariantMap>("scale"); // item number -> factor on the proposed value
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("whole"); // the label shows exactly these lines
        const QString flowLine = "Normalized Permeate Flow is at least 15% below Reference Perm Flow.\r\n";
        const QString saltLine = "Normalized Salt Passage is at least 15% above Reference Salt Passage.";
        const QString pf = QString::number(item::PermFlow), us = QString::number(item::PermuS),
                      us2 = QString::number(item::PermuS_2), us3 = QString::number(item::PermuS_3);
        QTest::newRow("a fifth less permeate") << 1 << QVariantMap{{pf, 0.8}} << flowLine << false;
        QTest::newRow("reference reading, one bank") << 1 << QVariantMap{} << "" << true;
        QTest::newRow("reference reading, three banks") << 3 << QVariantMap{} << "" << true;
        QTest::newRow("salt passage 15 % above, one bank")
            << 1 << QVariantMap{{us, 1.15}} << saltLine << true;
        QTest::newRow("salt passage 15 % above, two banks")
            << 2 << QVariantMap{{us, 1.15}, {us2, 1.15}} << saltLine << true;
        QTest::newRow("salt passage 15 % above, three banks")
            << 3 << QVariantMap{{us, 1.15}, {us2, 1.15}, {us3, 1.15}} << saltLine << true;
    }
    void alarmsAfterSave() {
        QFETCH(int, banks);
        QFETCH(QVariantMap, scale);
        QFETCH(QString, lines);
        QFETCH(bool, whole);
        // Three banks are entered bank by bank.
        Plant pl(banks, {{"Systemdata", banks == 3 ? 0 : -1}});
        pl.reading(banks, {});
        frmData* w = pl.open();
        QVERIFY(w);
        for (auto it = scale.begin(); it != scale.end(); ++it) {
            const int k = it.key().toInt();
            test::enter(*w, k, local(w->txtData[k]->text().toDouble() * it.value().toDouble()));
        }
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        const QString shown = w->lblWarnings->text();
        if (whole) {
            QCOMPARE(shown, lines);
        } else {
            QVERIFY2(shown.startsWith(lines), qPrintable(shown));
            QVERIFY(!shown.contains("Salt Passage"));
        }
    }

    // A kept required row takes its previous value, and keeps it for the next reading.
    void requiredRowFromEarlier() {
        Plant pl(1);
        twoReadings(pl, 1);
        frmData* w = pl.open();
        QVERIFY(w);
        w->chkDefault[item::ConcFlow]->setChecked(true);
        test::enter(*w, item::ConcFlow, "");
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.newest().toDouble("ConcFlow"), 21.0);
        QCOMPARE(w->txtData[item::ConcFlow]->text(), QString("21"));
        QCOMPARE(w->txtData[100 + item::ConcFlow]->text(), QString("21"));
        QCOMPARE(w->txtData[200 + item::ConcFlow]->text(), QString("21"));
        QCOMPARE(w->txtData[item::FeedPressure]->text(), QString());
        QCOMPARE(w->panel(1)->text(), QString("Num Recs: 3"));
        QCOMPARE(w->panel(4)->text(), QString("Waiting for Manual Data Input"));
        QCOMPARE(w->panel(3)->text(), QString("Data Last Saved OK at: 10:30"));
    }

    // Panel 4 names the cause of the latest refusal; a save that succeeds clears it.
    void panelFourFollowsRefusals() {
        Plant pl(1);
        pl.reading(1, {});
        frmData* w = pl.open();
        QVERIFY(w);
        const int turbidity = item::TurbidityRaw;
        w->txtData[item::TheDate]->setText("2020-01-03 06:00");
        w->chkREQD[size_t(turbidity)]->setChecked(true);
        test::enter(*w, turbidity, "");
        w->cmdSave->click();
        QCOMPARE(w->panel(4)->text(), MissingFieldText(w->cbItem[size_t(turbidity)]->currentText()));
        w->chkREQD[size_t(turbidity)]->setChecked(false);
        test::enter(*w, item::ConcFlow, "abc");
        const QString bad = NotANumberText(w->cbItem[item::ConcFlow]->currentText(), "abc");
        pl.env.prompts.onMessage(bad, Buttons::OK, Title, Answer::OK);
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QVERIFY2(w->panel(4)->text().startsWith(bad), qPrintable(w->panel(4)->text()));
        test::enter(*w, item::ConcFlow, "20");
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 2);
        QCOMPARE(w->panel(4)->text(), QString("Waiting for Manual Data Input"));
    }

    // The change warning on leaving a value box.
    void changeWarning_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("suppressed");
        QTest::addColumn<bool>("warns");
        QTest::newRow("28 % asks") << "133" << false << true;
        QTest::newRow("25 % or less passes") << "128" << false << false;
        QTest::newRow("suppressed") << "133" << true << false;
        QTest::newRow("zero passes") << "0" << false << false;
    }
    void changeWarning() {
        QFETCH(QString, typed);
        QFETCH(bool, suppressed);
        QFETCH(bool, warns);
        Plant pl(1);
        pl.reading(1, {{"ConcFlow", 100.0}});
        frmData* w = pl.open();
        QVERIFY(w);
        if (suppressed) {
            pl.env.prompts.onMessage("Save this setting as default?", Buttons::YesNo, Title, Answer::No);
            w->chkWarnings->setChecked(true);
        }
        if (warns)
            pl.env.prompts.onMessage("Data is more than 28.33% different from previous value! Are you sure?",
                                     Buttons::OKCancel, Title, Answer::Cancel);
        w->txtData_GotFocus(item::ConcFlow);
        test::enter(*w, item::ConcFlow, typed);
        w->txtData_LostFocus(item::ConcFlow);
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(w->txtData[item::ConcFlow]->text(), warns ? QString("100") : typed);
    }

    // A zero divisor in the bank balance takes the save's error path.
    void bankBalanceFailureStoresNothing() {
        Plant pl(2);
        pl.reading(2, {});
        frmData* w = pl.open();
        QVERIFY(w);
        test::enter(*w, item::PermFlow, "20"); // all of it from bank 2
        const QString earlier = w->txtData[101]->text();
        pl.env.prompts.onMessage("Error number = 11  Description: Division by zero", Buttons::OK, Title,
                                 Answer::OK);
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 1);
        // The panel says what failed, not that a field was empty.
        QCOMPARE(w->panel(4)->text(), QString("SAVE FAILED! Division by zero"));
        QCOMPARE(w->txtData[1]->text(), QString("20"));
        QCOMPARE(w->txtData[101]->text(), earlier);
        QCOMPARE(w->panel(1)->text(), QString("Num Recs: 1"));
    }

    // An order that shows an item twice leaves another shown by no row: nothing is stored,
    // whether the order was chosen now or stored so, and the order itself is never stored,
    // not even once "Change?" has enabled "Save Config" again.
    void failedCheckStoresNothing_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("item");
        QTest::addColumn<bool>("stored"); // the order comes from InputOrder
        QTest::addColumn<QString>("name");
        QTest::newRow("FeedPressure shown by no row")
            << int(item::FeedPressure) << int(item::ConcPressure) << false << "ConcPressure";
        QTest::newRow("no date row") << int(item::TheDate) << int(item::PermFlow) << false << "PermFlow";
        QTest::newRow("pH row showing Temperature")
            << int(item::pH) << int(item::Temperature) << false << "Temperature";
        QTest::newRow("stored order, pH row showing Temperature")
            << int(item::pH) << int(item::Temperature) << true << "Temperature";
    }
    void failedCheckStoresNothing() {
        QFETCH(int, row);
        QFETCH(int, item);
        QFETCH(bool, stored);
        QFETCH(QString, name);
        Plant pl(1);
        pl.reading(1, {});
        if (stored)
            test::insertRow(pl.p().ProjectDatabasePath, "InputOrder",
                            {{"ProjectID", "P1"}, {"TrainNumber", 1}, {ItemFieldList()[row], item}});
        else
            pl.p().DataEntryConfigUnlocked = true;
        frmData* w = pl.open();
        QVERIFY(w);
        if (!stored) {
            w->cbItem[size_t(row)]->setCurrentIndex(item);
            w->cbItem_LostFocus(row);
        }
        QCOMPARE(w->cbItem[size_t(row)]->currentIndex(), item);
        QVERIFY(w->cbItem[size_t(row)]->styleSheet().contains("#ffff00"));
        QVERIFY(w->cbItem[size_t(item)]->styleSheet().contains("#ffff00"));
        const QString twice = "\"" + name + "\" is chosen in more than one input row. ";
        pl.env.prompts.onMessage(twice + "The reading was not saved.", Buttons::OK, Title, Answer::OK);
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 1);
        QVERIFY(!w->panel(3)->text().startsWith("Data Last Saved OK"));
        QCOMPARE(w->panel(1)->text(), QString("Num Recs: 1"));

        pl.env.prompts.onMessage("Enable Configuration Changes?", Buttons::YesNo, Title, Answer::Yes);
        w->cmdChange->click();
        QVERIFY(w->cmdSaveConfig->isEnabled());
        pl.env.prompts.onMessage(twice + "The input order was not saved.", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.db().scalar("SELECT count(*) FROM InputOrder WHERE ProjectID = 'P1'").toInt(),
                 stored ? 1 : 0);
        QCOMPARE(pl.db().scalar("SELECT count(*) FROM Scada WHERE ProjectID = 'P1'").toInt(), 0);
    }

    // Closing with typed values or links that were not saved asks first: No keeps the window
    // and the input, Yes closes; after a save nothing is asked.
    void closeWithTypedValues() {
        Plant pl(1);
        pl.reading(1, {});
        frmData* w = pl.open();
        QVERIFY(w);
        w->show();
        w->txtData[item::PermFlow]->clear();
        QTest::keyClicks(w->txtData[item::PermFlow], "58");
        const QString question = "The values you typed have not been saved. Close and lose them?";
        pl.env.prompts.onMessage(question, Buttons::YesNo, Title, Answer::No);
        w->cmdClose->click();
        QCOMPARE(pl.problems(), QString());
        QVERIFY(pl.window && w->isVisible() && pl.p().DataEntryOpen);
        QCOMPARE(w->txtData[item::PermFlow]->text(), QString("58"));
        pl.env.prompts.onMessage(question, Buttons::YesNo, Title, Answer::Yes);
        w->cmdClose->click();
        QCOMPARE(pl.problems(), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!pl.window && !pl.p().DataEntryOpen);

        w = pl.open();
        QVERIFY(w);
        w->show();
        QTest::keyClicks(w->txtData[item::PermFlow], "0");
        test::enter(*w, item::PermFlow, "58");
        w->cmdSave->click();
        QCOMPARE(pl.dataRows(), 2);
        w->cmdClose->click();
        QCOMPARE(pl.problems(), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!pl.window);

        // Typed links are input too, as in the import: asked about until they are saved.
        pl.p().DataEntryConfigUnlocked = true;
        w = pl.open();
        QVERIFY(w);
        w->show();
        QTest::keyClicks(w->txtScadaItem[3], "R9C4");
        const QString links = "The cell links you typed have not been saved. Close and lose them?";
        pl.env.prompts.onMessage(links, Buttons::YesNo, Title, Answer::No);
        w->cmdClose->click();
        QCOMPARE(pl.problems(), QString());
        QVERIFY(pl.window && w->isVisible());
        pl.env.prompts.onMessage("Updated OK!", Buttons::OK, Title, Answer::OK);
        w->cmdSaveConfig->click();
        w->cmdClose->click();
        QCOMPARE(pl.problems(), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!pl.window);
    }

    // Pasted and dropped text goes in as typing it would: a value box takes a minus, the
    // interval box does not, the date box takes any text and a history box none.
    void pastedTextFilteredAsTyped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected");
        for (const char* how : {"typed", "pasted", "dropped"}) {
            QTest::addRow("value box, %s", how) << "txtData_3" << how << "-75";
            QTest::addRow("interval box, %s", how) << "txtSaveInterval" << how << "75";
        }
        QTest::newRow("date box, pasted") << "txtData_0"
                                          << "pasted"
                                          << "a-7x5 ";
        QTest::newRow("history box, pasted") << "txtData_103"
                                             << "pasted"
                                             << "";
        QTest::newRow("history box, dropped") << "txtData_103"
                                              << "dropped"
                                              << "";
    }
    void pastedTextFilteredAsTyped() {
        QFETCH(QString, box);
        QFETCH(QString, how);
        QFETCH(QString, expected);
        Plant pl(1);
        pl.reading(1, {});
        frmData* w = pl.open();
        QVERIFY(w);
        w->show();
        auto* edit = w->findChild<QLineEdit*>(box);
        QVERIFY(edit);
        edit->clear();
        const QString text = "a-7x5 ";
        if (how == "typed") {
            QTest::keyClicks(edit, text);
        } else if (how == "pasted") {
            QGuiApplication::clipboard()->setText(text);
            QTest::keySequence(edit, QKeySequence::Paste);
        } else {
            QMimeData dropped;
            dropped.setText(text);
            QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(edit, &enter);
            QCoreApplication::sendEvent(edit, &drop);
        }
        QCOMPARE(edit->text(), expected);
        QCOMPARE(pl.problems(), QString());
    }

    // Every box, label, list entry and button shows its text whole, locked and unlocked,
    // for each bank count, and the window fits a 1280 x 800 screen; a row the bank count
    // hides shows no hide box.
    void textsShownWhole_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<bool>("unlocked");
        for (int banks : {1, 2, 3})
            for (bool unlocked : {false, true})
                QTest::addRow("%d banks, %s", banks, unlocked ? "unlocked" : "locked") << banks << unlocked;
    }
    void textsShownWhole() {
        QFETCH(int, banks);
        QFETCH(bool, unlocked);
        Plant pl(banks);
        pl.reading(banks, {{"TheDate", "2020-01-01 03:45:00"}});
        pl.p().DataEntryConfigUnlocked = unlocked;
        frmData* w = pl.open();
        QVERIFY(w);
        w->show();
        w->ConfigBoxes();
        w->panel(4)->setText("A REQUIRED FIELD, PermBackPress_2 HAS NO DATA. SAVE FAILED!");
        QCoreApplication::processEvents();
        QCOMPARE(w->txtData[100]->text(), shown("2020-01-01 03:45"));
        const QStringList cut = test::cutOffTexts(w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        for (int k = 0; k < ItemCount; ++k)
            QVERIFY2(!w->txtData[k]->isHidden() || w->ChkHide[size_t(k)]->isChecked() ||
                         w->ChkHide[size_t(k)]->isHidden(),
                     qPrintable(QString("row %1").arg(k)));
        QCOMPARE(pl.problems(), QString());
    }

    // The SCADA help the window opens shows its lines whole.
    void scadaHelpShowsWhole() {
        Plant pl(3);
        pl.p().DataEntryConfigUnlocked = true;
        frmData* w = pl.open();
        QVERIFY(w);
        w->show();
        w->cmdHelp->click();
        auto* help = w->findChild<frmScadaHelp*>();
        QVERIFY(help && help->isVisible());
        const QStringList cut = test::cutOffTexts(help);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        QCOMPARE(pl.problems(), QString());
    }

    // What a save stores: a reading whose element is missing goes in raw and is said by
    // name; a reading whose calculation fails, or whose date the train holds, is not
    // stored at all, the typed values stay for correcting, and the message says so.
    void saveOutcomes_data() {
        QTest::addColumn<QVariantMap>("project");
        QTest::addColumn<QVariantMap>("typed"); // item -> text
        QTest::addColumn<bool>("again");        // the same reading saved a second time
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("panel4");
        QTest::addColumn<bool>("locked"); // another program holds the database's write lock
        QTest::newRow("element missing from the element database")
            << QVariantMap{{"ElementType", 500}} << QVariantMap() << false
            << QStringList{"The element of this project (ElementType 500) is not in the element database."
                           "\r\n\r\nThe reading was stored without its calculated values."}
            << 2 << "Calculator returned and error. SAVE FAILED!" << false;
        QTest::newRow("reference without concentrate flow")
            << QVariantMap{{"ConcFlow", 0.0}} << QVariantMap() << false
            << QStringList{"Calculation or calculated Data Storage Error 0 Calculation run caused an error "
                           "#11"}
            << 1 << "Calculator returned and error. SAVE FAILED!" << false;
        QTest::newRow("feed conductivity the calculation overflows on")
            << QVariantMap() << QVariantMap{{QString::number(item::FeeduS), "99999999999"}} << false
            << QStringList{"Calculation or calculated Data Storage Error 0 Calculation run caused an error"}
            << 1 << "Calculator returned and error. SAVE FAILED!" << false;
        QTest::newRow("the same reading saved twice")
            << QVariantMap() << QVariantMap() << true
            << QStringList{"A reading dated " + ShortDateTimeText(QDateTime(QDate(2020, 1, 3), QTime(6, 0))) +
                           " is already stored for P1 train 1. Data was not saved."}
            << 2
            << "A reading dated " + ShortDateTimeText(QDateTime(QDate(2020, 1, 3), QTime(6, 0))) +
                   " is already stored for P1 train 1. Data was not saved."
            << false;
        // A lock is no missing field: the panel names the database's own cause.
        QTest::newRow("another program's lock")
            << QVariantMap() << QVariantMap() << false << QStringList{"Error in saving data."} << 1
            << "SAVE FAILED! database is locked" << true;
    }
    void saveOutcomes() {
        QFETCH(QVariantMap, project);
        QFETCH(QVariantMap, typed);
        QFETCH(bool, again);
        QFETCH(QStringList, messages);
        QFETCH(int, rows);
        QFETCH(QString, panel4);
        QFETCH(bool, locked);
        Plant pl(1, project);
        pl.reading(1, {});
        frmData* w = pl.open();
        QVERIFY(w);
        for (auto it = typed.begin(); it != typed.end(); ++it)
            w->txtData[it.key().toInt()]->setText(it.value().toString());
        w->txtData[item::TheDate]->setText("2020-01-03 06:00");
        std::array<QString, ItemCount> entry;
        for (int k = 0; k < ItemCount; ++k)
            entry[size_t(k)] = w->txtData[k]->text();
        if (again) {
            w->cmdSave->click();
            QCOMPARE(pl.dataRows(), 2);
            for (int k = 0; k < ItemCount; ++k)
                w->txtData[k]->setText(entry[size_t(k)]);
        }
        const QString earlier = w->txtData[100 + item::PermFlow]->text();
        for (const QString& m : messages)
            pl.env.prompts.onMessage(m, Buttons::OK, Title, Answer::OK);
        auto held = locked ? std::make_unique<test::ForeignLock>(pl.p().ProjectDatabasePath,
                                                                 test::ForeignLock::Kind::Write)
                           : nullptr;
        w->cmdSave->click();
        held.reset();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), rows);
        QCOMPARE(w->panel(4)->text(), panel4);
        const bool stored = rows == 2 && !again;
        // A reading not stored leaves its values in the entry column for correcting.
        QCOMPARE(w->txtData[100 + item::PermFlow]->text(), stored ? entry[item::PermFlow] : earlier);
        if (!stored) QCOMPARE(w->txtData[item::PermFlow]->text(), entry[item::PermFlow]);
        // Whatever is stored is whole: a normalized result, or none at all.
        for (const DbRow& r : pl.db().select("SELECT * FROM Data WHERE ID > 1"))
            QVERIFY(r.isNull("NormalizedPermFlow") || r.toDouble("NormalizedPermFlow") != 0 ||
                    project.contains("ElementType"));
    }

    // The chosen event's own EventID and the note as stored.
    void eventAndNote_data() {
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<QString>("note");
        QTest::addColumn<int>("eventId");
        QTest::addColumn<QString>("stored");
        QTest::newRow("nothing chosen, no note") << -1 << "" << 0 << "";
        QTest::newRow("built-in event, long note") << 5 << QString(300, 'n') << 5 << QString(254, 'n');
        QTest::newRow("user type after a deleted one") << 7 << "it's done" << 8 << "it's done";
    }
    void eventAndNote() {
        QFETCH(int, listIndex);
        QFETCH(QString, note);
        QFETCH(int, eventId);
        QFETCH(QString, stored);
        Plant pl(1);
        pl.reading(1, {});
        test::insertRow(pl.p().ProjectDatabasePath, "Events", {{"EventID", 6}, {"EventType", "Flood"}});
        test::insertRow(pl.p().ProjectDatabasePath, "Events", {{"EventID", 8}, {"EventType", "Storm"}});
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(w->cbEvent->count(), 8);
        QCOMPARE(w->cbEvent->itemText(7), QString("Storm"));
        w->cbEvent->setCurrentIndex(listIndex);
        w->txtNotes->setText(note);
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.newest().toInt32("EventID"), eventId);
        // No note typed, none stored.
        QCOMPARE(pl.newest().isNull("Note1") ? QString() : pl.newest().toText("Note1"), stored);
        QCOMPARE(pl.newest().isNull("Note1"), stored.isEmpty());
        // They belong to that reading: the next one starts without them.
        QCOMPARE(w->txtNotes->text(), QString());
        QCOMPARE(w->cbEvent->currentIndex(), 0);
    }

    // The newest reading is the newest instant, whatever spelling another program stored:
    // its values are proposed and its date is the one the proposal follows.
    void newestByInstant_data() {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("newer");
        QTest::addColumn<QString>("shownNewer");
        QTest::newRow("T spelling, seconds") << "2024-01-17T06:00:00"
                                             << "2024-01-17 08:00:00"
                                             << "2024-01-17 08:00";
        QTest::newRow("T spelling, no seconds") << "2024-01-17T05:00:00"
                                                << "2024-01-17 06:00"
                                                << "2024-01-17 06:00";
    }
    void newestByInstant() {
        QFETCH(QString, older);
        QFETCH(QString, newer);
        QFETCH(QString, shownNewer);
        Plant pl(1, {});
        pl.reading(1, {{"TheDate", newer}, {"ElapsedTimeHrs", 2.0}, {"PermFlow", 231.0}, {"ConcFlow", 85.0}});
        pl.reading(1, {{"TheDate", older}, {"ElapsedTimeHrs", 1.0}, {"PermFlow", 229.0}, {"ConcFlow", 90.0}});
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(w->txtData[100]->text(), shown(shownNewer));
        QCOMPARE(w->txtData[101]->text(), QString("231"));
        QCOMPARE(w->txtData[201]->text(), QString("229"));
        QCOMPARE(w->txtData[1]->text(), QString("231"));
        QCOMPARE(w->txtData[102]->text(), QString("85"));
    }

    // Dates are shown and hinted in the computer's own short form: the newest reading, the
    // reference and the proposed reading alike.
    void datesInTheComputersForm_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("newest");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("hours"); // the hour headings: entry, Earlier-1, Earlier-2, reference
        const auto row = [](const char* locale, QChar mark, const QString& hours) {
            QTest::newRow(locale) << locale << QString("dd/mm/yyyy hh:mm").replace('/', mark)
                                  << QString("03/01/2020 08:00").replace('/', mark)
                                  << QString("01/01/2020 00:00").replace('/', mark)
                                  << QString("03/01/2020 10:00").replace('/', mark) << hours;
        };
        row("en_GB", '/', "1,618.50|1,616.50|1,584.50|1,200.50");
        row("de_DE", '.', "1.618,50|1.616,50|1.584,50|1.200,50");
        row("fr_FR", '/', QString("1 618,50|1 616,50|1 584,50|1 200,50").replace(' ', QChar(0x202f)));
    }
    void datesInTheComputersForm() {
        QFETCH(QString, locale);
        Plant pl(1, {{"ElapsedTimeRef", 1200.5}}, QLocale(locale));
        twoReadings(pl, 1);
        pl.db().exec("UPDATE Data SET ElapsedTimeHrs = ElapsedTimeHrs + 1560.5");
        frmData* w = pl.open();
        QVERIFY(w);
        QTEST(w->lblUnits[0]->text(), "hint");
        QTEST(w->txtData[100]->text(), "newest");
        QTEST(w->txtData[300]->text(), "reference");
        QTEST(w->txtData[0]->text(), "proposed");
        // The hours in one form, the computer's, in every heading of the row.
        QStringList hours;
        for (int t = 0; t < 4; ++t)
            hours << w->lblTime[t]->text();
        QTEST(hours.join('|'), "hours");
        QCOMPARE(pl.problems(), QString());
    }

    // Reopened over readings without a value, data entry shows none (never "0"), proposes the
    // newest reading's value that there is, and the next save stores Null where there is none.
    void storedNulls_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("row"); // the input row showing it (bank 1 on the system rows)
        QTest::addColumn<QVariant>("older");
        QTest::addColumn<QVariant>("newer");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QVariant>("saved"); // a null variant: Null
        const QVariant null;
        QTest::newRow("bank-1 flow missing from the newest")
            << "PermFlow_1" << int(item::PermFlow) << QVariant(30.0) << null << "30" << QVariant(30.0);
        QTest::newRow("concentrate flow missing from the older")
            << "ConcFlow" << int(item::ConcFlow) << null << QVariant(20.0) << "20" << QVariant(20.0);
        QTest::newRow("turbidity missing from the newest")
            << "TurbidityFeed" << int(item::TurbidityFeed) << QVariant(0.1) << null << "0.1" << QVariant(0.1);
        QTest::newRow("ORP never measured") << "ORP" << int(item::ORP) << null << null << "" << null;
        QTest::newRow("SDI in the newest only")
            << "SDIRaw" << int(item::SDIRaw) << null << QVariant(4.5) << "4.5" << QVariant(4.5);
    }
    void storedNulls() {
        QFETCH(QString, column);
        QFETCH(int, row);
        QFETCH(QVariant, older);
        QFETCH(QVariant, newer);
        Plant pl(2, {{"Systemdata", 0}});
        pl.reading(2, {{"TheDate", "2020-01-02 00:00:00"}, {column, older}});
        pl.reading(2, {{"TheDate", "2020-01-03 00:00:00"}, {column, newer}});
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(pl.problems(), QString());
        const auto text = [](const QVariant& v) { return v.isNull() ? QString() : local(v.toDouble()); };
        QCOMPARE(w->txtData[100 + row]->text(), text(newer));
        QCOMPARE(w->txtData[200 + row]->text(), text(older));
        QTEST(w->txtData[row]->text(), "proposed");
        QVERIFY(!w->txtData[300 + row]->text().isEmpty()); // the reference, a value or "N/A"
        // A plant that does not measure the optional items keeps them not required.
        for (int k = item::FirstUser; k <= item::LastUser; ++k)
            w->chkREQD[size_t(k)]->setChecked(false);
        w->cmdSave->click();
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(pl.dataRows(), 3);
        QFETCH(QVariant, saved);
        const QVariant stored = pl.newest().value(column);
        QVERIFY2(conv::isNull(stored) == saved.isNull(), qPrintable(stored.toString()));
        if (!saved.isNull()) QCOMPARE(stored.toDouble(), saved.toDouble());
    }

    // Only the exact "TRUE" ticks the warnings box at load, and asks nothing.
    void warningsSetting_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("true") << "true" << false;
    }
    void warningsSetting() {
        QFETCH(QString, setting);
        QFETCH(bool, ticked);
        Plant pl(1);
        pl.reading(1, {});
        WriteIniValue("Current Project", "Manual Data Entry Error Suppress", pl.p().IniFilePath, setting);
        frmData* w = pl.open();
        QVERIFY(w);
        QCOMPARE(w->chkWarnings->isChecked(), ticked);
        QVERIFY(!w->SuppressWarningsPrompt);
        pl.env.prompts.onMessage("Save this setting as default?", Buttons::YesNo, Title, Answer::Yes);
        w->chkWarnings->setChecked(!ticked);
        QCOMPARE(pl.problems(), QString());
        QCOMPARE(ReadIniValue("Current Project", "Manual Data Entry Error Suppress", "", pl.p().IniFilePath),
                 QString(ticked ? "FALSE" : "TRUE"));
    }

    // A window that cannot be set up says why and closes without being shown.
    void loadFailureCloses_data() {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<QString>("message");
        QTest::newRow("no project") << "project"
                                    << "Please use Select to select a project first!";
        QTest::newRow("no ProjectInfo row") << "train"
                                            << "There is no project information for project P1, train 2.";
        QTest::newRow("no UserDefined row") << "userdefined"
                                            << "table UserDefined has no row for this project";
    }
    void loadFailureCloses() {
        QFETCH(QString, broken);
        QFETCH(QString, message);
        Plant pl(1);
        if (broken == "project") pl.p().CurrentProject.ProjectID.clear();
        if (broken == "train") pl.p().CurrentProject.TrainNumber = 2;
        if (broken == "userdefined") pl.db().exec("DELETE FROM UserDefined");
        pl.env.prompts.onMessage(message, Buttons::OK, Title, Answer::OK);
        QVERIFY(!pl.open());
        QCOMPARE(pl.problems(), QString());
        QVERIFY(!pl.p().DataEntryOpen);
        QCOMPARE(pl.dataRows(), 0);
    }

    // Registered for the main window's menu, which unlocks it through ConfigBoxes; fits the screen.
    void registeredWindow() {
        Plant pl(1);
        pl.reading(1, {});
        RegisterCollectionWindows(pl.p());
        QPointer<QWidget> shown = pl.p().windows.showFresh("frmData");
        auto* w = qobject_cast<frmData*>(shown.data());
        QVERIFY(w && w->isVisible());
        QVERIFY(pl.p().DataEntryOpen);
        QVERIFY(w->frameGeometry().height() <= 800 && w->height() <= 760 &&
                w->frameGeometry().width() <= 1280);
        pl.p().DataEntryConfigUnlocked = true;
        QVERIFY(QMetaObject::invokeMethod(w, "ConfigBoxes"));
        QVERIFY(w->cbItem[0]->isEnabled() && w->chkREQD[20]->isEnabled() && w->cmdSaveConfig->isEnabled());
        QVERIFY(!w->cbItem[10]->isEnabled()); // bank-2 rows stay locked on one bank
        pl.env.prompts.onMessage("Enable Configuration Changes?", Buttons::YesNo, Title, Answer::No);
        w->cmdChange->click();
        QVERIFY(!pl.p().DataEntryConfigUnlocked && !w->cbItem[0]->isEnabled() && !w->cmdDefault->isEnabled());
        w->cmdClose->click();
        QVERIFY(!pl.p().DataEntryOpen);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!shown);
        QCOMPARE(pl.problems(), QString());
    }
};

HV_FIT_TEST_MAIN(TestFrmData)
#include "tst_frmdata.moc"
