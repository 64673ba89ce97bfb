#include <QtTest>

#include "core/typedinput.h"
#include "maintenance/projectdeletion.h"
#include "maintenance/ui/frmeditproject.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

const QStringList Tables{"Data", "InputOrder", "Scada", "ScadaImport", "UserGraphs", "ProjectInfo"};

// Readings of a project train, inserted in one transaction.
void addReadings(Database& db, const QString& project, int train, int count) {
    Transaction t(db);
    auto insert =
        db.prepare("INSERT INTO Data (ProjectID, TrainNumber, TheDate, PermFlow) VALUES (?, ?, ?, ?)");
    const QDateTime start(QDate(2021, 1, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i)
        insert->exec({project, train, dbDateText(start.addSecs(3600LL * i)), 50.0 + i % 7});
    t.commit();
}

// A project train with its rows in every table the deletion empties.
void addTrain(Database& db, const QString& project, int train, int readings) {
    db.exec(
        "INSERT INTO ProjectInfo (ProjectID, TrainNumber, NumBanks, NumTrains, ElementType, DateReference) "
        "VALUES (?, ?, 2, 2, 2, '2026-11-15 08:00:00')",
        {project, train});
    addReadings(db, project, train, readings);
    db.exec("INSERT INTO InputOrder (ProjectID, TrainNumber) VALUES (?, ?)", {project, train});
    for (int i = 0; i < 2; ++i)
        db.exec("INSERT INTO Scada (ProjectID, TrainNumber) VALUES (?, ?)", {project, train});
    db.exec("INSERT INTO ScadaImport (ProjectID, TrainNumber) VALUES (?, ?)", {project, train});
    db.exec("INSERT INTO UserGraphs (ProjectID, TrainNumber, GraphName) VALUES (?, ?, 'Last Graph')",
            {project, train});
}

int rowsOf(Database& db, const QString& table, const QString& project, int train) {
    const QString where = table == "UserDefined" ? "ProjectID = ?" : "ProjectID = ? AND TrainNumber = ?";
    QVariantList params{project};
    if (table != "UserDefined") params << train;
    return db.scalar("SELECT count(*) FROM " + table + " WHERE " + where, params).toInt();
}

struct Plant {
    test::TestEnv env;
    Database db;
    explicit Plant(int readings) : db(Database::open(test::makeBlankDatabase(env.path("db.hv3.mdb")))) {
        addTrain(db, "P1", 1, readings);
        addTrain(db, "P1", 2, 3);
        db.exec("INSERT INTO UserDefined (ProjectID) VALUES ('P1')");
        env.prog().CurrentProject.ProjectID = "P1";
        env.prog().CurrentProject.TrainNumber = 1;
        env.prog().CurrentProjectLoaded = true;
    }
};

} // namespace

class tst_ProjectDeletion : public QObject {
    Q_OBJECT
private slots:
    void deleteFromWindow_data();
    void deleteFromWindow();
    void trainMustMatch();
    void onlyTheChosenTrain_data();
    void onlyTheChosenTrain();
    void boundKeysAndOneTransaction();
};

void tst_ProjectDeletion::deleteFromWindow_data() {
    QTest::addColumn<int>("readings");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("goOn"); // GO to the train left before closing
    QTest::newRow("17 readings") << 17 << "Deleted 17 Data Records" << false;
    QTest::newRow("no readings") << 0 << "Deleted -0- Data Records" << false;
    QTest::newRow("40,000 readings") << 40000 << "Deleted 40000 Data Records" << false;
    QTest::newRow("17 readings, then GO to another train") << 17 << "Deleted 17 Data Records" << true;
}

void tst_ProjectDeletion::deleteFromWindow() {
    QFETCH(int, readings);
    QFETCH(QString, label);
    QFETCH(bool, goOn);
    Plant plant(readings);
    ScriptedPrompts& prompts = plant.env.prompts;
    auto* w = new frmEditProject(plant.env.prog());
    QVERIFY(w->Form_Load());
    QCOMPARE(w->cbProject->currentText(), QString("P1 Train:1"));
    QCOMPARE(w->txtFields[0]->text(), QString("P1"));
    // The first record's date in the computer's own form, as every other shows it.
    QCOMPARE(w->txtFields[4]->text(), ShortDateTimeText(parseDbDate("2026-11-15 08:00:00")));
    QCOMPARE(w->lblElementModel[3]->text(), QString("NA"));
    QVERIFY(!w->cmdEdit->isEnabled());
    QVERIFY(w->cmdAdd->isHidden());

    prompts.onMessage("This will DELETE all Project Data as well. Continue?", Buttons::OKCancel, "Hevrin",
                      Answer::OK);
    if (readings == 0)
        prompts.onMessage("There is no Project Data to delete.", Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelete->click();
    QVERIFY2(prompts.verify().isEmpty(), qPrintable(prompts.verify()));
    QVERIFY2(w->lblDel->text().split('\n').contains(label), qPrintable(w->lblDel->text()));
    QVERIFY(w->lblDel->text().contains("Deleted 2 Scada config Recs"));
    for (const QString& t : Tables) {
        QCOMPARE(rowsOf(plant.db, t, "P1", 1), 0);
        QVERIFY2(rowsOf(plant.db, t, "P1", 2) > 0, qPrintable(t));
    }
    QCOMPARE(rowsOf(plant.db, "UserDefined", "P1", 0), 1);
    // The list is refilled from what is left.
    QCOMPARE(w->cbProject->count(), 1);
    QCOMPARE(w->cbProject->currentText(), QString("P1 Train:2"));
    if (goOn) {
        w->cmdGo->click();
        QCOMPARE(w->txtFields[1]->text(), QString("2"));
    }
    w->close();
    // The deleted train was the current one: the main window no longer names it as loaded.
    QVERIFY(!plant.env.prog().CurrentProjectLoaded);
}

void tst_ProjectDeletion::trainMustMatch() {
    Plant plant(17);
    ScriptedPrompts& prompts = plant.env.prompts;
    auto* w = new frmEditProject(plant.env.prog());
    QVERIFY(w->Form_Load());
    // Train 2 chosen without GO: the loaded train 1 must not go.
    w->cbProject->setCurrentIndex(1);
    prompts.onMessage("Please select the 'GO' button firt to validate your selection", Buttons::OK, "Hevrin",
                      Answer::OK);
    w->cmdDelete->click();
    QVERIFY2(prompts.verify().isEmpty(), qPrintable(prompts.verify()));
    QCOMPARE(rowsOf(plant.db, "Data", "P1", 1), 17);
    QCOMPARE(rowsOf(plant.db, "ProjectInfo", "P1", 2), 1);
    // After GO the chosen train is the loaded one; Cancel keeps it.
    w->cmdGo->click();
    QCOMPARE(w->txtFields[1]->text(), QString("2"));
    prompts.onMessage("This will DELETE", Buttons::OKCancel, "Hevrin", Answer::Cancel);
    w->cmdDelete->click();
    QCOMPARE(rowsOf(plant.db, "ProjectInfo", "P1", 2), 1);
    w->close();
    QVERIFY(plant.env.prog().CurrentProjectLoaded);
    QVERIFY2(prompts.verify().isEmpty(), qPrintable(prompts.verify()));
}

void tst_ProjectDeletion::onlyTheChosenTrain_data() {
    QTest::addColumn<int>("train");       // chosen in the list, then GO and Delete
    QTest::addColumn<QString>("open");    // the collecting window left open
    QTest::addColumn<QString>("refusal"); // empty: the chosen train goes
    QTest::newRow("train 0 beside train 1") << 0 << QString() << QString();
    QTest::newRow("current train, data entry open")
        << 1 << "DataEntryOpen"
        << "Data Entry is still open. Please <Close and Exit> Data Entry first";
    QTest::newRow("current train, import open")
        << 1 << "ImportWindowOpen"
        << "Import Data is still open. Please <Close and Exit> Import Data first";
    QTest::newRow("another train, data entry open") << 2 << "DataEntryOpen" << QString();
}

void tst_ProjectDeletion::onlyTheChosenTrain() {
    QFETCH(int, train);
    QFETCH(QString, open);
    QFETCH(QString, refusal);
    Plant plant(17);
    addTrain(plant.db, "P1", 0, 5);
    Program& p = plant.env.prog();
    p.DataEntryOpen = open == "DataEntryOpen";
    p.ImportWindowOpen = open == "ImportWindowOpen";
    ScriptedPrompts& prompts = plant.env.prompts;
    auto* w = new frmEditProject(p);
    QVERIFY(w->Form_Load());
    w->cbProject->setCurrentIndex(w->cbProject->findText(QString("P1 Train:%1").arg(train)));
    w->cmdGo->click();
    QCOMPARE(w->txtFields[1]->text(), QString::number(train));
    if (refusal.isEmpty())
        prompts.onMessage("This will DELETE all Project Data as well. Continue?", Buttons::OKCancel, "Hevrin",
                          Answer::OK);
    else
        prompts.onMessage(refusal, Buttons::OK, "Hevrin", Answer::OK);
    w->cmdDelete->click();
    QVERIFY2(prompts.verify().isEmpty(), qPrintable(prompts.verify()));
    const QMap<int, int> readings{{0, 5}, {1, 17}, {2, 3}};
    for (int t : readings.keys()) {
        const bool gone = refusal.isEmpty() && t == train;
        QCOMPARE(rowsOf(plant.db, "Data", "P1", t), gone ? 0 : readings[t]);
        QCOMPARE(rowsOf(plant.db, "ProjectInfo", "P1", t), gone ? 0 : 1);
    }
    w->close();
    QCOMPARE(p.CurrentProjectLoaded, train != 1 || !refusal.isEmpty());
}

void tst_ProjectDeletion::boundKeysAndOneTransaction() {
    test::TestEnv env;
    Database db = Database::open(test::makeBlankDatabase(env.path("db.hv3.mdb")));
    addTrain(db, "O'Hara", 1, 5);
    addTrain(db, "O", 1, 4);
    addTrain(db, "O'Hara", 2, 3);
    QList<qint64> progress;
    const ProjectDeletion d = DeleteProjectTrain(
        db, "O'Hara", 1,
        [&](DeletedTable t, qint64 n) {
            if (t == DeletedTable::Data) progress << n;
        },
        2);
    QCOMPARE(d.counts[0], 5);
    QCOMPARE(d.counts[2], 2);
    QCOMPARE(d.projectRows, 1);
    QCOMPARE(progress, (QList<qint64>{2, 4, 5}));
    QCOMPARE(rowsOf(db, "Data", "O", 1), 4);
    QCOMPARE(rowsOf(db, "Data", "O'Hara", 2), 3);

    // A refused last step leaves every row of the train in place.
    db.exec(
        "CREATE TRIGGER KeepProject BEFORE DELETE ON ProjectInfo BEGIN SELECT RAISE(ABORT, 'refused'); END");
    QCOMPARE(test::errorOf([&] { DeleteProjectTrain(db, "O", 1); }), dberr::SqlFailed);
    for (const QString& t : Tables)
        QVERIFY2(rowsOf(db, t, "O", 1) > 0, qPrintable(t));
}

QTEST_MAIN(tst_ProjectDeletion)
#include "tst_projectdeletion.moc"
