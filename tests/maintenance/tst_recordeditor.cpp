#include <QtTest>

#include "maintenance/recordeditor.h"
#include "maintenance/ui/editorwindows.h"
#include "maintenance/ui/frmevent.h"
#include "maintenance/ui/frmuserdefined.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

QDateTime at(const QString& text) {
    return parseDbDate(text);
}

// The record strip's buttons that are not hidden, by name.
QStringList shownButtons(RecordEditorWindow& w) {
    QStringList out;
    for (QPushButton* b :
         {w.cmdAdd, w.cmdUpdate, w.cmdEdit, w.cmdCancel, w.cmdDelete, w.cmdRefresh, w.cmdClose})
        if (!b->isHidden()) out << b->objectName();
    return out;
}

struct EventEditor {
    test::TestEnv env;
    std::unique_ptr<frmEvent> w;
    int beeps = 0;
    explicit EventEditor(const QList<int>& ids) {
        test::makeBlankDatabase(env.path("db.hv3.mdb"));
        for (int id : ids)
            test::insertRow(env.path("db.hv3.mdb"), "Events",
                            {{"EventID", id}, {"EventType", QString("Type %1").arg(id)}});
        w = std::make_unique<frmEvent>(env.prog());
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->Beep = [this] { ++beeps; };
        if (!w->Form_Load()) throw std::runtime_error("not loaded");
    }
    QVariant scalar(const QString& sql) {
        Database db = Database::open(env.path("db.hv3.mdb"));
        return db.scalar(sql);
    }
};

} // namespace

class tst_RecordEditor : public QObject {
    Q_OBJECT
private slots:
    void buttonsPerState_data();
    void buttonsPerState();
    void navigationAndBeeps();
    void deleteToTheEnd();
    void skipToDate_data();
    void skipToDate();
    void userDefinedRowFromDefault();
    void registration();
    void rulebookRefusal_data();
    void rulebookRefusal();
};

void tst_RecordEditor::buttonsPerState_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("browsing");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("rows");
    const QStringList browse{"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdClose"};
    const QStringList edit{"cmdUpdate", "cmdCancel"};
    QTest::newRow("browsing") << QStringList{} << browse << true << "Record: 1" << 3;
    QTest::newRow("adding") << QStringList{"add"} << edit << false << "Add record" << 3;
    QTest::newRow("editing") << QStringList{"edit"} << edit << false << "Edit record" << 3;
    // Cancel goes back to the record Add left (the second one).
    QTest::newRow("add, cancel") << QStringList{"next", "add", "cancel"} << browse << true << "Record: 2"
                                 << 3;
    QTest::newRow("add, update") << QStringList{"add", "type", "update"} << browse << true << "Record: 4"
                                 << 4;
    QTest::newRow("edit, update") << QStringList{"next", "edit", "type", "update"} << browse << true
                                  << "Record: 2" << 3;
    // Cancel after Edit stays on the record edited, also after an earlier Add.
    QTest::newRow("edit, cancel") << QStringList{"last", "edit", "type", "cancel"} << browse << true
                                  << "Record: 3" << 3;
    QTest::newRow("add, cancel, edit, cancel")
        << QStringList{"next", "add", "cancel", "last", "edit", "type", "cancel"} << browse << true
        << "Record: 3" << 3;
}

void tst_RecordEditor::buttonsPerState() {
    QFETCH(QStringList, actions);
    QFETCH(QStringList, shown);
    QFETCH(bool, browsing);
    QFETCH(QString, status);
    QFETCH(int, rows);
    EventEditor e({6, 7, 8});
    frmEvent& w = *e.w;
    for (const QString& a : actions) {
        if (a == "add")
            w.cmdAdd->click();
        else if (a == "edit")
            w.cmdEdit->click();
        else if (a == "cancel")
            w.cmdCancel->click();
        else if (a == "update")
            w.cmdUpdate->click();
        else if (a == "next")
            w.cmdNext->click();
        else if (a == "last")
            w.cmdLast->click();
        else if (a == "type")
            w.txtFields[1]->setText("Typed");
    }
    QCOMPARE(shownButtons(w), shown);
    for (QPushButton* b : {w.cmdFirst, w.cmdPrevious, w.cmdNext, w.cmdLast})
        QCOMPARE(b->isEnabled(), browsing);
    QCOMPARE(w.txtFields[1]->isReadOnly(), browsing);
    QCOMPARE(w.lblStatus->text(), status);
    QCOMPARE(e.scalar("SELECT count(*) FROM Events WHERE EventID > 5").toInt(), rows);
    const bool typed = actions.contains("type") && actions.last() == "update";
    QCOMPARE(e.scalar("SELECT count(*) FROM Events WHERE EventType = 'Typed'").toInt(), typed ? 1 : 0);
    if (typed) QCOMPARE(w.txtFields[1]->text(), QString("Typed"));
    QVERIFY2(e.env.prompts.verify().isEmpty(), qPrintable(e.env.prompts.verify()));
}

void tst_RecordEditor::navigationAndBeeps() {
    EventEditor e({6, 7, 8});
    frmEvent& w = *e.w;
    w.cmdPrevious->click(); // on the first record
    QCOMPARE(e.beeps, 1);
    QCOMPARE(w.lblStatus->text(), QString("Record: 1"));
    w.Form_KeyDown(Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(w.txtFields[0]->text(), QString("8"));
    w.cmdNext->click();
    QCOMPARE(e.beeps, 2);
    QCOMPARE(w.lblStatus->text(), QString("Record: 3"));
    // Ctrl+Shift+Up is a plain Up.
    w.Form_KeyDown(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.lblStatus->text(), QString("Record: 2"));
    w.Form_KeyDown(Qt::Key_Home, Qt::NoModifier);
    QCOMPARE(w.lblStatus->text(), QString("Record: 1"));
    // While editing the keys do nothing, Esc included.
    w.show();
    w.cmdEdit->click();
    w.Form_KeyDown(Qt::Key_End, Qt::NoModifier);
    w.Form_KeyDown(Qt::Key_Escape, Qt::NoModifier);
    QVERIFY(w.isVisible());
    QCOMPARE(w.lblStatus->text(), QString("Edit record"));
    w.cmdCancel->click();
    QTest::keyClick(w.txtFields[1], Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(e.beeps, 2);
}

void tst_RecordEditor::deleteToTheEnd() {
    EventEditor e({6, 7, 8});
    frmEvent& w = *e.w;
    w.cmdLast->click();
    w.cmdDelete->click(); // the last record: the new last one is shown
    QCOMPARE(w.txtFields[0]->text(), QString("7"));
    QCOMPARE(w.lblStatus->text(), QString("Record: 2"));
    w.cmdDelete->click();
    QCOMPARE(w.txtFields[0]->text(), QString("6"));
    e.env.prompts.onMessage("No more records.", Buttons::OK, "Hevrin", Answer::OK);
    w.cmdDelete->click(); // the only one left
    QCOMPARE(e.scalar("SELECT count(*) FROM Events WHERE EventID > 5").toInt(), 0);
    QCOMPARE(e.scalar("SELECT count(*) FROM Events").toInt(), 6); // the built-in rows stay
    QVERIFY(w.txtFields[0]->text().isEmpty());
    w.cmdNext->click();
    w.cmdPrevious->click();
    QCOMPARE(e.beeps, 0);
    QVERIFY2(e.env.prompts.verify().isEmpty(), qPrintable(e.env.prompts.verify()));
}

void tst_RecordEditor::skipToDate_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("expected");
    // Readings: 0 = 1 May 10:00, 1 = 10 May 08:00, 2 = 20 May 10:00.
    QTest::newRow("between, from the end") << 2 << "2020-05-10 00:00:00" << 1;
    QTest::newRow("between, from the start") << 0 << "2020-05-10 00:00:00" << 0;
    QTest::newRow("between, from the middle") << 1 << "2020-05-15 00:00:00" << 1;
    QTest::newRow("after all, from the start") << 0 << "2020-06-01 00:00:00" << 2;
    QTest::newRow("after all, from the end") << 2 << "2020-06-01 00:00:00" << 2;
    QTest::newRow("before all, from the end") << 2 << "2020-04-01 00:00:00" << 0;
    QTest::newRow("before all, from the middle") << 1 << "2020-04-01 00:00:00" << 0;
    QTest::newRow("exactly on one, from after it") << 2 << "2020-05-10 08:00:00" << 2;
    QTest::newRow("exactly on one, from before it") << 0 << "2020-05-10 08:00:00" << 0;
    QTest::newRow("exactly on the first, nothing before") << 0 << "2020-05-01 10:00:00" << 0;
}

void tst_RecordEditor::skipToDate() {
    QFETCH(int, from);
    QFETCH(QString, target);
    QFETCH(int, expected);
    const std::vector<QDateTime> dates{at("2020-05-01 10:00:00"), at("2020-05-10 08:00:00"),
                                       at("2020-05-20 10:00:00")};
    QCOMPARE(SkipToDateIndex(dates, from, at(target)), expected);
    QCOMPARE(SkipToDateIndex({}, 0, at(target)), -1);
}

void tst_RecordEditor::userDefinedRowFromDefault() {
    test::TestEnv env;
    const QString db = test::makeBlankDatabase(env.path("db.hv3.mdb"));
    {
        Database d = Database::open(db);
        d.exec("UPDATE UserDefined SET TurbidityRaw = 'NTU raw', UnitsORP = 'mV ref' WHERE ProjectID = "
               "'Default'");
    }
    env.prog().CurrentProject.ProjectID = "O'Hara";
    frmUserDefined w(env.prog());
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load());
    QCOMPARE(w.lblStatus->text(), QString("Record: 1"));
    QCOMPARE(w.txtFields[0]->text(), QString("O'Hara"));
    QVERIFY(!w.txtFields[0]->isEnabled());
    QVERIFY(w.cmdAdd->isHidden());
    // Every value of the 'Default' row, not only the project ID.
    Database d = Database::open(db);
    const DbRows rows = d.select("SELECT * FROM UserDefined WHERE ProjectID = ?", {"O'Hara"});
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows.first().toText("TurbidityRaw"), QString("NTU raw"));
    QCOMPARE(rows.first().toText("UnitsORP"), QString("mV ref"));
    QCOMPARE(rows.first().toText("SDIFeed"), QString("SDIFeed"));
    QCOMPARE(w.txtFields[1]->text(), QString("NTU raw"));

    // Edit stays available after the cancel; Enter walks name 1, unit 1, name 2 ... unit 5, name 1.
    w.cmdEdit->click();
    QVERIFY(w.cmdAdd->isHidden());
    w.txtFields[1]->setFocus();
    QList<int> visited;
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(w.focusWidget(), Qt::Key_Return);
        visited << w.focusWidget()->objectName().mid(10).toInt();
    }
    QCOMPARE(visited, (QList<int>{6, 2, 7, 3, 8, 4, 9, 5, 10, 1}));
    w.txtFields[6]->setText("FTU");
    w.cmdUpdate->click();
    QVERIFY(w.cmdAdd->isHidden());
    QCOMPARE(d.scalar("SELECT UnitsTRaw FROM UserDefined WHERE ProjectID = ?", {"O'Hara"}).toString(),
             QString("FTU"));
    QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
}

void tst_RecordEditor::registration() {
    test::TestEnv env;
    RegisterEditorWindows(env.prog());
    for (const char* name :
         {"frmEditProject", "frmEvent", "frmElementSpecs", "frmUserDefined", "frmEditData"})
        QVERIFY2(env.prog().windows.hasFactory(name), name);
    // Without a database the window says why and is not shown.
    env.prompts.onMessage("Could not find file", Buttons::OK, "Hevrin", Answer::OK);
    QVERIFY(!env.prog().windows.showSingle("frmEvent"));
    QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
    // With a database each opens once, modeless.
    test::makeBlankDatabase(env.path("db.hv3.mdb"));
    test::makeElementDatabase(env.path("ostrelmem.mdb"));
    test::insertProjectInfo(env.path("db.hv3.mdb"), 2);
    env.prog().CurrentProject.ProjectID = "P1";
    env.prog().CurrentProject.TrainNumber = 1;
    for (const char* name :
         {"frmEditProject", "frmEvent", "frmElementSpecs", "frmUserDefined", "frmEditData"}) {
        QWidget* w = env.prog().windows.showSingle(name);
        QVERIFY2(w && w->isVisible(), name);
        QCOMPARE(env.prog().windows.showSingle(name), w);
    }
    QVERIFY(env.prog().windows.unloadAll());
    QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
}

void tst_RecordEditor::rulebookRefusal_data() {
    QTest::addColumn<bool>("project"); // ProjectInfo's row, else a reading
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("refusal"); // empty: stored
    QTest::newRow("EventID 32767") << false << "EventID" << QVariant(32767) << "";
    QTest::newRow("EventID 32768") << false << "EventID" << QVariant(32768)
                                   << "EventID holds \"32768\", which is not a whole number from 0 to 32767.";
    QTest::newRow("Bank 0") << false << "Bank" << QVariant(0)
                            << "Bank holds \"0\", which is not a whole number from 1 to 3.";
    QTest::newRow("a fractional train") << false << "TrainNumber" << QVariant(1.5)
                                        << "TrainNumber holds \"" + QLocale().toString(1.5) +
                                               "\", which is not a whole number from 1 to 32767.";
    QTest::newRow("pH emptied") << false << "pH" << QVariant() << "";
    QTest::newRow("NumBanks 4") << true << "NumBanks" << QVariant(4)
                                << "NumBanks holds \"4\", which is not a whole number from 1 to 3.";
    QTest::newRow("NumBanks emptied")
        << true << "NumBanks" << QVariant() << "NumBanks holds no value, and one is needed.";
    QTest::newRow("NumBanks 3") << true << "NumBanks" << QVariant(3) << "";
}

// An editor stores what the table's description allows, and says the common refusal otherwise.
void tst_RecordEditor::rulebookRefusal() {
    QFETCH(bool, project);
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QString, refusal);
    test::TestEnv env;
    const QString path = test::makeBlankDatabase(env.path("db.hv3.mdb"));
    test::insertProjectInfo(path, 3);
    test::insertReading(path, 3);
    Database db = Database::open(path);
    const std::unique_ptr<RecordSet> r = project ? TrainProjectRecord(db, {"ID", column}, "P1", 1)
                                                 : TrainReadingRecords(db, {"ID", column}, "P1", 1);
    QVERIFY(r->hasCurrent());
    QCOMPARE(RulebookRefusal(project ? schema::ProjectInfo : schema::Data, *r), QString()); // nothing changed
    r->setValue(column, value);
    QCOMPARE(RulebookRefusal(project ? schema::ProjectInfo : schema::Data, *r), refusal);
}

QTEST_MAIN(tst_RecordEditor)
#include "tst_recordeditor.moc"
