#include <QtTest>
#include <sys/resource.h>

#include "core/elementdb.h"
#include "core/typedinput.h"
#include "maintenance/exchangeexport.h"
#include "maintenance/ui/frmeditdata.h"
#include "maintenance/ui/frmeditproject.h"
#include "maintenance/ui/frmelementspecs.h"
#include "maintenance/ui/frmevent.h"
#include "maintenance/ui/frmexportdata.h"
#include "maintenance/ui/frmimportdata.h"
#include "maintenance/ui/frmuserdefined.h"
#include "maintenance/ui/rows.h"
#include "platform/filelimits.h"
#include "support/fitcheck.h"
#include "support/fixtures.h"
#include "support/foreignlock.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"

using namespace hv;

namespace {

struct Env {
    test::TestEnv env;
    QString db = test::makeBlankDatabase(env.path("db.hv3.mdb"));
    Program& p() { return env.prog(); }
    ScriptedPrompts& prompts() { return env.prompts; }
    QVariant scalar(const QString& sql, const QVariantList& params = {}) {
        Database d = Database::open(db);
        return d.scalar(sql, params);
    }
    QString verify() const { return env.prompts.verify(); }
};

template <class W> W* open(Program& p) {
    auto* w = new W(p);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!w->Form_Load()) {
        delete w;
        return nullptr;
    }
    return w;
}

} // namespace

class tst_Editors : public QObject {
    Q_OBJECT
private slots:
    void eventAddProposes_data();
    void eventAddProposes();
    void eventDuplicateRefused();
    void elementAddUpdate_data();
    void elementAddUpdate();
    void elementDelete();
    void elementWriteRefusedByTheDatabase();
    void readingsBrowseAndSkip_data();
    void readingsBrowseAndSkip();
    void readingsDelete();
    void readingsSkipOverDeleted_data();
    void readingsSkipOverDeleted();
    void readingsCloseprompt_data();
    void readingsCloseprompt();
    void readingsRefuseBadText_data();
    void readingsRefuseBadText();
    void readingsAfterARefusal_data();
    void readingsAfterARefusal();
    void readingsCancelWhenTheReadFails_data();
    void readingsCancelWhenTheReadFails();
    void closeOverTypedInput_data();
    void closeOverTypedInput();
    void windowsFitTheScreen();
};

void tst_Editors::eventAddProposes_data() {
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<int>("shown"); // record shown when Add is pressed
    QTest::addColumn<int>("proposed");
    QTest::newRow("no user types") << QList<int>{} << 0 << 6;
    QTest::newRow("6, 7, 8 with 8 shown") << QList<int>{6, 7, 8} << 3 << 9;
    QTest::newRow("6, 7, 8 with 6 shown") << QList<int>{6, 7, 8} << 1 << 9;
    QTest::newRow("6, 7, 8 with 7 shown") << QList<int>{6, 7, 8} << 2 << 9;
}

void tst_Editors::eventAddProposes() {
    QFETCH(QList<int>, ids);
    QFETCH(int, shown);
    QFETCH(int, proposed);
    Env e;
    for (int id : ids)
        test::insertRow(e.db, "Events", {{"EventID", id}, {"EventType", "T"}});
    std::unique_ptr<frmEvent> w(open<frmEvent>(e.p()));
    for (int i = 1; i < shown; ++i)
        w->cmdNext->click();
    w->cmdAdd->click();
    QCOMPARE(w->txtFields[0]->text(), QString::number(proposed));
    QVERIFY(!w->txtFields[0]->isEnabled());
    w->txtFields[1]->setText("Antiscalant change");
    w->cmdUpdate->click();
    QCOMPARE(w->mode(), RecordMode::Browsing);
    QCOMPARE(e.scalar("SELECT EventType FROM Events WHERE EventID = ?", {proposed}).toString(),
             QString("Antiscalant change"));
    QCOMPARE(w->lblStatus->text(), "Record: " + QString::number(ids.size() + 1));
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::eventDuplicateRefused() {
    Env e;
    test::insertRow(e.db, "Events", {{"EventID", 6}, {"EventType", "Flush"}});
    std::unique_ptr<frmEvent> w(open<frmEvent>(e.p()));
    w->cmdAdd->click();
    QCOMPARE(w->txtFields[0]->text(), QString("7"));
    // Another program takes 7 meanwhile.
    test::insertRow(e.db, "Events", {{"EventID", 7}, {"EventType", "Other"}});
    w->txtFields[1]->setText("Mine");
    e.prompts().onMessage("Event ID 7 is already in use", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdUpdate->click();
    QCOMPARE(w->mode(), RecordMode::Adding);
    QCOMPARE(e.scalar("SELECT EventType FROM Events WHERE EventID = 7").toString(), QString("Other"));
    w->cmdCancel->click();
    w->cmdAdd->click();
    QCOMPARE(w->txtFields[0]->text(), QString("8"));
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::elementAddUpdate_data() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("point") << "en_US";
    QTest::newRow("comma") << "de_DE";
}

void tst_Editors::elementAddUpdate() {
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    Env e;
    const QString elements = test::makeElementDatabase(ElementDatabasePath(e.p()));
    QVERIFY(LoadElementSpecs(e.p()));
    const size_t catalogue = e.p().ElementTable.size();
    std::unique_ptr<frmElementSpecs> w(open<frmElementSpecs>(e.p()));
    QCOMPARE(w->lblStatus->text(), QString("Record: 0")); // no custom element yet
    w->cmdAdd->click();
    QCOMPARE(w->lblStatus->text(), QString("Add record"));
    w->cmdUpdate->click();
    QCOMPARE(w->mode(), RecordMode::Browsing);
    Database d = Database::open(elements);
    const DbRows rows = d.select("SELECT * FROM ElementSpecs WHERE Model = 'Custom Element'");
    QCOMPARE(rows.count(), 1);
    const DbRow& r = rows.first();
    QCOMPARE(r.toDouble("DP3"), 1.4);
    QCOMPARE(r.toDouble("SE"), 37.2);
    for (const char* c : {"TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)"})
        QCOMPARE(r.toDouble(c), 2500.0);
    QCOMPARE(w->txtFields[1]->text(), QLocale().toString(1.4));
    QCOMPARE(w->txtFields[3]->text(), QString("2500"));
    QVERIFY(r.toBool("Custom"));
    QCOMPARE(w->txtFields[8]->text(), r.value("ID").toString());

    // The same model again: its message, and the window stays adding with the focus on Model.
    w->show();
    w->cmdAdd->click();
    e.prompts().onMessage("Duplicate element Model. Please change model name. Use EDIT to make changes.",
                          Buttons::OK, "Hevrin", Answer::OK);
    w->cmdUpdate->click();
    QCOMPARE(w->mode(), RecordMode::Adding);
    QCOMPARE(w->focusWidget(), w->txtFields[0]);
    w->txtFields[0]->setText("Plant A spare");
    w->cmdUpdate->click();
    QCOMPARE(w->mode(), RecordMode::Browsing);
    QCOMPARE(w->lblStatus->text(), QString("Record: 2"));

    // Closing reloads the element tables.
    const int id = w->txtFields[8]->text().toInt();
    QVERIFY(w->close());
    QCOMPARE(e.p().ElementTable.size(), catalogue + 2);
    QCOMPARE(e.p().ElementTable[size_t(id - 1)].Model, QString("Plant A spare"));
    QVERIFY(!e.p().ElementConnection);
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
    QLocale::setDefault(QLocale::c());
}

void tst_Editors::elementDelete() {
    Env e;
    const QString elements = test::makeElementDatabase(ElementDatabasePath(e.p()));
    test::insertRow(elements, "ElementSpecs", {{"Model", "Mine"}, {"Custom", -1}, {"SE", 30.0}});
    std::unique_ptr<frmElementSpecs> w(open<frmElementSpecs>(e.p()));
    QCOMPARE(w->txtFields[0]->text(), QString("Mine"));
    const QString question = "Are you sure you want to delete this element?";
    e.prompts().onMessage(question, Buttons::YesNo, "DELETE ELEMEMT", Answer::No);
    w->cmdDelete->click();
    e.prompts().onMessage(question, Buttons::YesNo, "DELETE ELEMEMT", Answer::Yes);
    e.prompts().onMessage("No more records left", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelete->click();
    Database d = Database::open(elements);
    QCOMPARE(d.scalar("SELECT count(*) FROM ElementSpecs WHERE Custom <> 0").toInt(), 0);
    QCOMPARE(d.scalar("SELECT count(*) FROM ElementSpecs").toInt(), 12); // the catalogue stays
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

// A write the element database refuses for another reason than a second model of one name says
// what failed, and the window stays editing.
void tst_Editors::elementWriteRefusedByTheDatabase() {
    Env e;
    const QString elements = test::makeElementDatabase(ElementDatabasePath(e.p()));
    test::insertRow(elements, "ElementSpecs", {{"Model", "Mine"}, {"Custom", -1}, {"SE", 30.0}});
    std::optional<test::ReadOnlyFile> readOnly(elements);
    QVERIFY(readOnly->held());
    std::unique_ptr<frmElementSpecs> w(open<frmElementSpecs>(e.p()));
    QVERIFY(w);
    w->cmdEdit->click();
    w->txtFields[0]->setText("Yours");
    e.prompts().onMessage("attempt to write a readonly database", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdUpdate->click();
    readOnly.reset();
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
    QVERIFY(!e.prompts().shown().last().contains("Duplicate"));
    QCOMPARE(w->mode(), RecordMode::Editing);
    w.reset();
    QCOMPARE(Database::open(elements).scalar("SELECT Model FROM ElementSpecs WHERE Custom <> 0").toString(),
             QString("Mine"));
}

namespace {

// P1 train 1 with readings on 1, 10 and 20 May; P1 train 2 with two readings.
struct Readings : Env {
    Readings() {
        test::insertProjectInfo(db, 2, {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"NumTrains", 2}});
        test::insertProjectInfo(db, 2, {{"ProjectID", "P1"}, {"TrainNumber", 2}, {"NumTrains", 2}});
        for (const char* d : {"2020-05-10 08:00:00", "2020-05-01 10:00:00", "2020-05-20 10:00:00"})
            test::insertReading(db, 2, {{"ProjectID", "P1"}, {"TrainNumber", 1}, {"TheDate", d}});
        for (const char* d : {"2020-06-01 00:00:00", "2020-06-02 00:00:00"})
            test::insertReading(db, 2, {{"ProjectID", "P1"}, {"TrainNumber", 2}, {"TheDate", d}});
        test::insertRow(db, "UserDefined", {{"ProjectID", "P1"}, {"TurbidityRaw", "NTU raw"}});
        p().CurrentProject.ProjectID = "P1";
        p().CurrentProject.TrainNumber = 1;
        p().RecalculateProject = [this](const QString& id, qint16 train) {
            recalculated << id + "/" + QString::number(train);
            return true;
        };
    }
    int readings(int train) {
        return scalar("SELECT count(*) FROM Data WHERE ProjectID = 'P1' AND TrainNumber = ?", {train})
            .toInt();
    }
    QStringList recalculated;
};

} // namespace

void tst_Editors::readingsBrowseAndSkip_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("picker"); // the Skip-to box's text
    QTest::newRow("English (UK)") << "en_GB"
                                  << "20/04/2020 10:00";
    QTest::newRow("German") << "de_DE"
                            << "20.04.2020 10:00";
}

void tst_Editors::readingsBrowseAndSkip() {
    QFETCH(QString, locale);
    QFETCH(QString, picker);
    QLocale::setDefault(QLocale(locale));
    struct Restore {
        ~Restore() { QLocale::setDefault(QLocale::c()); }
    } restore;
    Readings e;
    std::unique_ptr<frmEditData> w(open<frmEditData>(e.p()));
    // The Skip-to box shows the computer's own form and names it.
    QCOMPARE(w->DTPicker1->text(), picker);
    QCOMPARE(w->DTPicker1->toolTip(), ShortDateTimeHint());
    // The newest reading first, the picker 30 days before it.
    QCOMPARE(w->lblStatus->text(), QString("Record: 3"));
    QCOMPARE(w->txtFields[2]->text(), ShortDateTimeText(parseDbDate("2020-05-20 10:00:00")));
    QCOMPARE(w->DTPicker1->dateTime(), parseDbDate("2020-04-20 10:00:00"));
    QCOMPARE(w->lblLabels[49]->text(), QString("NTU raw"));
    QVERIFY(w->txtFields[4]->isReadOnly());
    // A picker change jumps: to the first reading after the target from a later one...
    w->DTPicker1->setDateTime(parseDbDate("2020-05-10 00:00:00"));
    QCOMPARE(w->txtFields[2]->text(), ShortDateTimeText(parseDbDate("2020-05-10 08:00:00")));
    // ... and to the newest before it from an earlier one.
    w->cmdFirst->click();
    w->cmdSkip->click();
    QCOMPARE(w->txtFields[2]->text(), ShortDateTimeText(parseDbDate("2020-05-01 10:00:00")));
    w->DTPicker1->setDateTime(parseDbDate("2021-01-01 00:00:00"));
    QCOMPARE(w->lblStatus->text(), QString("Record: 3"));
    // Train 2 has no UserDefined row of its own: the caption stays.
    w->cbProject->setCurrentIndex(1);
    w->cmdGo->click();
    QCOMPARE(w->lblStatus->text(), QString("Record: 2"));
    QCOMPARE(w->lblLabels[49]->text(), QString("NTU raw"));
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::readingsDelete() {
    Readings e;
    std::unique_ptr<frmEditData> w(open<frmEditData>(e.p()));
    w->cmdDelete->click(); // the newest
    QCOMPARE(e.readings(1), 2);
    QCOMPARE(w->txtFields[2]->text(), ShortDateTimeText(parseDbDate("2020-05-10 08:00:00")));
    // Another train chosen without GO: nothing is deleted.
    w->cbProject->setCurrentIndex(1);
    e.prompts().onMessage("Please select the 'GO' button first", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelete->click();
    QCOMPARE(e.readings(1), 2);
    // Delete-all works on the readings loaded with GO; Cancel deletes none.
    e.prompts().onMessage("Are you sure?", Buttons::OKCancel, "Hevrin", Answer::Cancel);
    e.prompts().onMessage("Deleted 0 records!", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelAll->click();
    QCOMPARE(e.readings(1), 2);
    QCOMPARE(w->lblDel[2]->text(), QString("of 2"));
    e.prompts().onMessage("Are you sure?", Buttons::OKCancel, "Hevrin", Answer::OK);
    e.prompts().onMessage("Deleted 2 records!", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelAll->click();
    QCOMPARE(e.readings(1), 0);
    QCOMPARE(e.readings(2), 2);
    QCOMPARE(w->lblDel[1]->text(), QString("2"));
    QVERIFY(w->lblDel[1]->isHidden());
    e.prompts().onMessage("No records to delete.", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelAll->click();
    e.prompts().onMessage("No more records left", Buttons::OK, "Hevrin", Answer::OK);
    w->cbProject->setCurrentIndex(0);
    w->cmdDelete->click();
    QCOMPARE(w->ChangedTrains.size(), size_t(1));
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::readingsSkipOverDeleted_data() {
    QTest::addColumn<bool>("whileDeletingAll"); // else another window deleted them
    QTest::newRow("deleted by another window") << false;
    QTest::newRow("while Delete ALL runs") << true;
}

// A date jump over readings that are gone, or going, does not stop the program: a jump after another
// window deleted them says so, and one while Delete ALL runs waits for it.
void tst_Editors::readingsSkipOverDeleted() {
    QFETCH(bool, whileDeletingAll);
    Readings e;
    if (whileDeletingAll) {
        Database d = Database::open(e.db);
        Transaction t(d);
        for (int i = 0; i < 1200; ++i)
            d.exec("INSERT INTO Data (ProjectID, TrainNumber, TheDate) VALUES ('P1', 1, ?)",
                   {dbDateText(QDateTime(QDate(2019, 1, 1), QTime(0, 0)).addSecs(3600LL * i))});
        t.commit();
    }
    std::unique_ptr<frmEditData> w(open<frmEditData>(e.p()));
    // The reading after the target is among the first Delete ALL removes.
    const auto jump = [&] { w->DTPicker1->setDateTime(parseDbDate("2019-01-01 05:30:00")); };
    if (whileDeletingAll) {
        e.prompts().onMessage("Are you sure?", Buttons::OKCancel, "Hevrin", Answer::OK);
        e.prompts().onMessage("Deleted 1203 records!", Buttons::OK, "Hevrin", Answer::OK);
        QTimer::singleShot(0, w.get(), jump);
        w->cmdDelAll->click();
        QCOMPARE(e.readings(1), 0);
    } else {
        Database::open(e.db).exec("DELETE FROM Data WHERE TrainNumber = 1");
        e.prompts().onMessage("No more records left", Buttons::OK, "Hevrin", Answer::OK);
        jump();
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(e.readings(2), 2);
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::readingsCloseprompt_data() {
    QTest::addColumn<QList<int>>("edited"); // trains edited, in order
    QTest::addColumn<int>("buttons");       // 0 none, 1 OK, 2 Yes/No
    QTest::addColumn<QString>("note");
    QTest::addColumn<QStringList>("recalculated");
    QTest::addColumn<int>("refused"); // the train whose changes the database refuses; 0 none
    QTest::newRow("nothing changed") << QList<int>{} << 0 << "" << QStringList{} << 0;
    QTest::newRow("the current train") << QList<int>{1} << 2 << "" << QStringList{"P1/1"} << 0;
    QTest::newRow("another train only")
        << QList<int>{2} << 1 << "Readings were changed in: P1 Train:2." << QStringList{} << 0;
    // Changed on train 2, then on the current train: the question, naming train 2.
    QTest::newRow("two trains") << QList<int>{2, 1} << 2 << "Readings were changed in: P1 Train:2."
                                << QStringList{"P1/1"} << 0;
    // The current train changed first, another chosen last: still the question.
    QTest::newRow("current first") << QList<int>{1, 2} << 2 << "Readings were changed in: P1 Train:2."
                                   << QStringList{"P1/1"} << 0;
    // A change the database refused is no change: only what was stored is named.
    QTest::newRow("refused on another train") << QList<int>{2, 1} << 2 << "" << QStringList{"P1/1"} << 2;
    QTest::newRow("refused on the only train") << QList<int>{1} << 0 << "" << QStringList{} << 1;
}

void tst_Editors::readingsCloseprompt() {
    QFETCH(QList<int>, edited);
    QFETCH(int, buttons);
    QFETCH(QString, note);
    QFETCH(QStringList, recalculated);
    QFETCH(int, refused);
    Readings e;
    if (refused)
        Database::open(e.db).exec(
            QString("CREATE TRIGGER Refuse BEFORE UPDATE ON Data WHEN OLD.TrainNumber = "
                    "%1 BEGIN SELECT RAISE(ABORT, 'the change was refused'); END")
                .arg(refused));
    auto* w = open<frmEditData>(e.p());
    w->setAttribute(Qt::WA_DeleteOnClose);
    for (int train : edited) {
        w->cbProject->setCurrentIndex(train - 1);
        w->cmdGo->click();
        w->cmdEdit->click();
        QVERIFY(!w->txtFields[4]->isReadOnly());
        w->txtFields[4]->setText(QLocale().toString(12.5));
        if (train == refused)
            e.prompts().onMessage("the change was refused", Buttons::OK, "Hevrin", Answer::OK);
        w->cmdUpdate->click();
        QCOMPARE(
            e.scalar("SELECT count(*) FROM Data WHERE PermFlow = 12.5 AND TrainNumber = ?", {train}).toInt(),
            train == refused ? 0 : 1);
        if (train == refused) w->cmdCancel->click();
    }
    if (buttons == 1)
        e.prompts().onMessage("To recalculate your project data, go to", Buttons::OK,
                              "RECALCULATION MAY BE REQUIRED", Answer::OK);
    if (buttons == 2)
        e.prompts().onMessage("Select YES to recalculate immediately", Buttons::YesNo,
                              "RECALCULATION MAY BE REQUIRED", Answer::Yes);
    w->close();
    QCOMPARE(e.recalculated, recalculated);
    const QStringList shown = e.prompts().shown();
    if (note.isEmpty())
        QVERIFY(shown.isEmpty() || !shown.last().contains("Readings were changed in"));
    else
        QVERIFY2(!shown.isEmpty() && shown.last().contains(note), qPrintable(shown.join('|')));
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::readingsRefuseBadText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refusal"); // empty: stored
    QTest::addColumn<QString>("stored");
    QTest::newRow("a date") << "C" << 2 << "2020-05-21 09:30:00"
                            << ""
                            << "2020-05-21 09:30:00";
    QTest::newRow("a UK date to the second") << "en_GB" << 2 << "01/11/2026 08:00:30"
                                             << ""
                                             << "2026-11-01 08:00:30";
    QTest::newRow("not a date") << "C" << 2 << "21st of May"
                                << "TheDate holds \"21st of May\", which is not a date."
                                << "2020-05-20 10:00:00";
    QTest::newRow("not a number") << "C" << 4 << "12x"
                                  << "PermFlow holds \"12x\", which is not a number."
                                  << "";
    QTest::newRow("a plain number under German settings") << "de_DE" << 4 << "290.5"
                                                          << ""
                                                          << "290.5";
    QTest::newRow("emptied number") << "C" << 4 << ""
                                    << ""
                                    << "";
    // Two readings at one date, or a reading under no project train, would be lost to every window.
    QTest::newRow("a date the train holds")
        << "C" << 2 << "2020-05-10 08:00"
        << "A reading dated " + ShortDateTimeText(parseDbDate("2020-05-10 08:00:00"))
        << "2020-05-20 10:00:00";
    QTest::newRow("moved to train 2, free at its date") << "C" << 1 << "2"
                                                        << ""
                                                        << "";
    QTest::newRow("a project that does not exist") << "C" << 0 << "P9"
                                                   << "There is no project P9 train 1"
                                                   << "P1/1";
    QTest::newRow("train 0") << "C" << 1 << "0"
                             << "TrainNumber holds \"0\", which is not a whole number from 1 to 32767."
                             << "P1/1";
    QTest::newRow("no train") << "C" << 1 << ""
                              << "TrainNumber holds no value, and one is needed."
                              << "P1/1";
    QTest::newRow("a train the project lacks") << "C" << 1 << "3"
                                               << "There is no project P1 train 3"
                                               << "P1/1";
}

void tst_Editors::readingsRefuseBadText() {
    QFETCH(QString, locale);
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, refusal);
    QFETCH(QString, stored);
    QLocale::setDefault(QLocale(locale));
    struct Restore {
        ~Restore() { QLocale::setDefault(QLocale::c()); }
    } restore;
    Readings e;
    std::unique_ptr<frmEditData> w(open<frmEditData>(e.p()));
    const qint64 id = w->adoPrimaryRS->bookmark();
    const QVariant before = e.scalar("SELECT PermFlow FROM Data WHERE ID = ?", {id});
    w->cmdEdit->click();
    w->txtFields[box]->setText(typed);
    if (!refusal.isEmpty()) e.prompts().onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
    w->cmdUpdate->click();
    QCOMPARE(w->mode(), refusal.isEmpty() ? RecordMode::Browsing : RecordMode::Editing);
    if (box == 0 || box == 1) {
        const QString key =
            e.scalar("SELECT ProjectID || '/' || TrainNumber FROM Data WHERE ID = ?", {id}).toString();
        QCOMPARE(key, refusal.isEmpty() ? "P1/" + typed : stored);
        if (refusal.isEmpty()) QCOMPARE(e.readings(1), 2);
    }
    if (box == 2) {
        QCOMPARE(e.scalar("SELECT TheDate FROM Data WHERE ID = ?", {id}).toString(), stored);
        // Shown back in the computer's own form.
        if (refusal.isEmpty()) QCOMPARE(w->txtFields[2]->text(), ShortDateTimeText(parseDbDate(stored)));
    }
    const QVariant flow = e.scalar("SELECT PermFlow FROM Data WHERE ID = ?", {id});
    if (box == 4 && refusal.isEmpty())
        QCOMPARE(flow.isNull() ? QString() : QString::number(flow.toDouble()), stored);
    else
        QCOMPARE(flow, before); // a refused number leaves the stored one
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::readingsAfterARefusal_data() {
    QTest::addColumn<bool>("cancel"); // else the date first shown is typed back and Update pressed
    QTest::newRow("the original date typed back") << false;
    QTest::newRow("Cancel") << true;
}

// A refused date does not stay behind the box that showed it: typed back, the other edit is
// stored; Cancel shows the reading that was edited, as stored.
void tst_Editors::readingsAfterARefusal() {
    QFETCH(bool, cancel);
    Readings e;
    std::unique_ptr<frmEditData> w(open<frmEditData>(e.p()));
    const qint64 id = w->adoPrimaryRS->bookmark();
    const QString date = w->txtFields[2]->text(), flow = w->txtFields[4]->text();
    w->cmdEdit->click();
    w->txtFields[2]->setText("2020-05-10 08:00");
    w->txtFields[4]->setText("290.5");
    e.prompts().onMessage("A reading dated", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdUpdate->click();
    if (cancel) {
        w->cmdCancel->click();
    } else {
        w->txtFields[2]->setText(date);
        w->cmdUpdate->click();
    }
    QCOMPARE(w->mode(), RecordMode::Browsing);
    QCOMPARE(w->lblStatus->text(), QString("Record: 3"));
    QCOMPARE(w->txtFields[2]->text(), date);
    QCOMPARE(w->txtFields[4]->text(), cancel ? flow : QString("290.5"));
    QCOMPARE(e.scalar("SELECT TheDate FROM Data WHERE ID = ?", {id}).toString(),
             QString("2020-05-20 10:00:00"));
    QCOMPARE(e.scalar("SELECT PermFlow = 290.5 FROM Data WHERE ID = ?", {id}).toBool(), !cancel);
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

void tst_Editors::readingsCancelWhenTheReadFails_data() {
    QTest::addColumn<bool>("lock"); // else an Update the file-size limit refused, the limit kept
    QTest::addColumn<QString>("said");
    QTest::newRow("another program's lock") << true << "locked";
    QTest::newRow("after an Update past the file-size limit") << false << "file-size limit";
}

// Cancel reads the edited reading again; when it cannot, it says so, the window stays usable
// and no journal stays beside the database.
void tst_Editors::readingsCancelWhenTheReadFails() {
    QFETCH(bool, lock);
    QFETCH(QString, said);
    Readings e;
    // The edited reading and its index entries in the back half of the file, past the limit.
    {
        Database d = Database::open(e.db);
        Transaction t(d);
        for (int i = 0; i < 2000; ++i)
            d.exec("INSERT INTO Data (ProjectID, TrainNumber, TheDate, PermFlow, Note1) VALUES ('P1', 2, ?, "
                   "1, ?)",
                   {QDateTime(QDate(2021, 1, 1), QTime()).addSecs(i * 600).toString("yyyy-MM-dd HH:mm:ss"),
                    QString(200, 'n')});
        d.exec("UPDATE Data SET ID = 1000000 WHERE TrainNumber = 1 AND TheDate = '2020-05-20 10:00:00'");
        t.commit();
    }
    const int wait = Database::setLockWait(100);
    struct Restore {
        int wait;
        rlimit limit{};
        ~Restore() {
            Database::setLockWait(wait);
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
    } restore{wait};
    ::getrlimit(RLIMIT_FSIZE, &restore.limit);
    IgnoreFileSizeSignal();
    std::unique_ptr<frmEditData> w(open<frmEditData>(e.p()));
    QCOMPARE(w->lblStatus->text(), QString("Record: 3"));
    const QString flow = w->txtFields[4]->text();
    w->cmdEdit->click();
    w->txtFields[4]->setText("290.5");
    std::optional<test::ForeignLock> held;
    e.prompts().onMessage(said, Buttons::OK, "Hevrin", Answer::OK);
    if (lock) {
        held.emplace(e.db, test::ForeignLock::Kind::Exclusive);
        QVERIFY(held->held());
    } else {
        rlimit low = restore.limit;
        low.rlim_cur = rlim_t(QFileInfo(e.db).size() / 2);
        ::setrlimit(RLIMIT_FSIZE, &low);
        w->cmdUpdate->click();
        QCOMPARE(w->mode(), RecordMode::Editing);
    }
    w->cmdCancel->click();
    QCOMPARE(w->mode(), RecordMode::Browsing);
    QVERIFY(!QFile::exists(e.db + "-journal"));
    held.reset();
    ::setrlimit(RLIMIT_FSIZE, &restore.limit);
    w->cmdFirst->click();
    w->cmdLast->click();
    QCOMPARE(w->txtFields[4]->text(), flow);
    QCOMPARE(e.scalar("SELECT count(*) FROM Data WHERE PermFlow = 290.5").toInt(), 0);
    QCOMPARE(e.scalar("PRAGMA integrity_check").toString(), QString("ok"));
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

namespace {

RecordEditorWindow* openEditor(const QString& name, Program& p) {
    if (name == "frmEditData") return open<frmEditData>(p);
    if (name == "frmEvent") return open<frmEvent>(p);
    if (name == "frmElementSpecs") return open<frmElementSpecs>(p);
    if (name == "frmUserDefined") return open<frmUserDefined>(p);
    return nullptr;
}

} // namespace

void tst_Editors::closeOverTypedInput_data() {
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("start"); // the button that begins the edit
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");  // empty: nothing typed
    QTest::addColumn<QString>("stored"); // counts the typed value where it would be stored
    QTest::addColumn<bool>("closeBox");  // the window's close box, else its Close/Exit button
    const QString temperature = "SELECT count(*) FROM Data WHERE Temperature = 24.1";
    const QString event = "SELECT count(*) FROM Events WHERE EventType = 'Antiscalant dose change'";
    const QString element = "SELECT count(*) FROM ElementSpecs WHERE Model = 'Plant spare'";
    const QString caption = "SELECT count(*) FROM UserDefined WHERE TurbidityRaw = 'Silt raw'";
    QTest::newRow("reading, Close/Exit") << "frmEditData"
                                         << "cmdEdit" << 11 << "24.1" << temperature << false;
    QTest::newRow("reading, close box") << "frmEditData"
                                        << "cmdEdit" << 11 << "24.1" << temperature << true;
    QTest::newRow("event type, added") << "frmEvent"
                                       << "cmdAdd" << 1 << "Antiscalant dose change" << event << true;
    QTest::newRow("element, edited") << "frmElementSpecs"
                                     << "cmdEdit" << 0 << "Plant spare" << element << true;
    QTest::newRow("user field, edited") << "frmUserDefined"
                                        << "cmdEdit" << 1 << "Silt raw" << caption << true;
    QTest::newRow("reading, nothing typed") << "frmEditData"
                                            << "cmdEdit" << 11 << "" << temperature << false;
    QTest::newRow("event type, nothing typed") << "frmEvent"
                                               << "cmdAdd" << 1 << "" << event << true;
    // The defaults a new element starts with were not typed.
    QTest::newRow("element, defaults only") << "frmElementSpecs"
                                            << "cmdAdd" << 0 << "" << element << true;
}

// Closing over typed, unstored values asks as data entry does; No keeps the window and the values.
void tst_Editors::closeOverTypedInput() {
    QFETCH(QString, editor);
    QFETCH(QString, start);
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, closeBox);
    Readings e;
    const QString elements = test::makeElementDatabase(ElementDatabasePath(e.p()));
    test::insertRow(elements, "ElementSpecs", {{"Model", "Mine"}, {"Custom", -1}, {"SE", 30.0}});
    test::insertRow(e.db, "Events", {{"EventID", 6}, {"EventType", "Flush"}});
    std::unique_ptr<RecordEditorWindow> w(openEditor(editor, e.p()));
    QVERIFY(w);
    w->show();
    w->findChild<QPushButton*>(start)->click();
    QLineEdit* field = w->txtFields[box];
    if (!typed.isEmpty()) {
        field->selectAll();
        QTest::keyClicks(field, typed);
    }
    const QString held = field->text();
    const auto closeWindow = [&] {
        if (closeBox)
            w->close();
        else
            w->findChild<QPushButton*>("Command1")->click();
    };
    const QString question = "The values you typed have not been saved. Close and lose them?";
    if (!typed.isEmpty()) {
        e.prompts().onMessage(question, Buttons::YesNo, "Hevrin", Answer::No);
        closeWindow();
        QVERIFY(w->isVisible());
        QCOMPARE(field->text(), held);
        QVERIFY(w->mode() != RecordMode::Browsing);
        e.prompts().onMessage(question, Buttons::YesNo, "Hevrin", Answer::Yes);
    }
    closeWindow();
    QVERIFY(!w->isVisible());
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
    Database d = Database::open(editor == "frmElementSpecs" ? elements : e.db);
    QCOMPARE(d.scalar(stored).toInt(), 0);
}

namespace {

void checkWindow(QWidget* w, const QString& mode) {
    w->show();
    const QStringList cut = test::cutOffTexts(w);
    QVERIFY2(cut.isEmpty(), qPrintable(w->windowTitle() + " (" + mode + "):\n" + cut.join('\n')));
}

} // namespace

// Every window fits 1280 x 800 and shows every box's text whole, browsing, editing and adding.
void tst_Editors::windowsFitTheScreen() {
    Readings e;
    test::makeElementDatabase(ElementDatabasePath(e.p()));
    test::insertRow(ElementDatabasePath(e.p()), "ElementSpecs",
                    {{"Model", "Brackish 8040 high rejection"}, {"Custom", -1}, {"SE", 37.2}});
    QVERIFY(LoadElementSpecs(e.p()));
    const QString longId = "North Bay Desalination Plant Stage 2";
    test::insertProjectInfo(e.db, 3, {{"ProjectID", longId}, {"TrainNumber", 12}});
    test::insertReading(e.db, 3, {{"ProjectID", longId}, {"TrainNumber", 12}});
    // The boxes show a project ID of 20 characters and a date to the second whole.
    const QString id20 = "NORTH BAY STAGE 2 RO";
    test::insertProjectInfo(e.db, 3, {{"ProjectID", id20}, {"TrainNumber", 1}});
    test::insertReading(e.db, 3, {{"ProjectID", id20}, {"TheDate", "2026-12-28 23:58:58"}});
    e.p().CurrentProject.ProjectID = id20;
    e.p().CurrentProjectLoaded = true;
    for (RecordEditorWindow* w : std::initializer_list<RecordEditorWindow*>{
             open<frmEditData>(e.p()), open<frmElementSpecs>(e.p()), open<frmEvent>(e.p()),
             open<frmEditProject>(e.p()), open<frmUserDefined>(e.p())}) {
        QVERIFY(w);
        checkWindow(w, "browsing");
        for (QPushButton* mode : {w->cmdEdit, w->cmdAdd}) {
            if (!mode->isVisible() || !mode->isEnabled()) continue;
            mode->click();
            checkWindow(w, mode == w->cmdEdit ? "editing" : "adding");
            w->cmdCancel->click();
        }
        delete w;
    }
    for (const bool csv : {false, true}) {
        e.p().ExportCsvMode = csv;
        FrmExportData x(e.p());
        x.setAttribute(Qt::WA_DeleteOnClose, false);
        x.CmbProjectId->setCurrentIndex(0);
        e.prompts().onSaveFile(e.env.path("a long folder name/and a longer export file name.txt"));
        (csv ? x.cmdCSVFile : x.cmdTXTfile)->click();
        checkWindow(&x, csv ? "csv" : "text");
    }
    {
        FrmImportData x(e.p());
        x.setAttribute(Qt::WA_DeleteOnClose, false);
        checkWindow(&x, "opened");
        // A file of the long project, to be added to it.
        QDir().mkpath(e.env.path("a long folder name"));
        const QString file = e.env.path("a long folder name/and a longer import file name.txt");
        {
            e.p().ExportCsvMode = false;
            e.p().DbVersionNumber = 1003000;
            e.p().DbVersionMinor = 3;
            e.p().DbVersionRevision = 38;
            ExportRequest r{0, longId + " Train:12", {}, {}, true, file, {}};
            CreateFile(e.p(), r);
        }
        e.prompts().onOpenFile(file);
        e.prompts().onMessage("This PROJECT exists already", Buttons::YesNoCancel, "Hevrin", Answer::No);
        x.cmdCSVFile->click();
        QVERIFY2(x.cmdImport->isEnabled(), qPrintable(e.prompts().shown().join("; ")));
        checkWindow(&x, "file chosen");
    }
    {
        rows x(e.p());
        x.setAttribute(Qt::WA_DeleteOnClose, false);
        checkWindow(&x, "view");
    }
    QVERIFY2(e.verify().isEmpty(), qPrintable(e.verify()));
}

HV_FIT_TEST_MAIN(tst_Editors)
#include "tst_editors.moc"
