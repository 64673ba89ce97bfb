// The export and import windows driving the exchange.
#include <QtTest>

#include "core/typedinput.h"
#include "exchangetestsupport.h"

using namespace hv;
using namespace hv::test;

class TestExchangeWindows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Enter in a date box ends the edit: it neither imports nor exports. The boxes show dates as
    // the computer writes them.
    void enterInADateBoxStartsNothing() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", "Other"}});
        insertReading(p.ProjectDatabasePath, 3, {{"ProjectID", "Other"}});
        {
            FrmImportData w(p);
            w.show();
            env.prompts.onOpenFile(writeFile(env, "f.txt", sampleFile()));
            w.cmdCSVFile->click();
            QCOMPARE(env.prompts.shown().value(0), QString("Open")); // the file dialog's title
            QVERIFY(w.cmdImport->isEnabled());
            for (QDateTimeEdit* d : {w.DTPicker1, w.DTPicker2}) {
                QCOMPARE(d->text(), ShortDateText(d->date()));
                QVERIFY2(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4}$").match(d->text()).hasMatch(),
                         qPrintable(d->text()));
                d->setFocus();
                QTest::keyClick(d, Qt::Key_Return);
                QTest::keyClick(d, Qt::Key_Enter);
            }
            QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
            QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo WHERE ProjectID = 'P1'"), 0);
            QVERIFY(w.cmdImport->isEnabled());
        }
        {
            FrmExportData w(p);
            w.show();
            w.CmbProjectId->setCurrentIndex(0);
            const QString out = env.path("out.txt");
            env.prompts.onSaveFile(out);
            w.cmdTXTfile->click();
            QVERIFY(w.cmdExport->isEnabled());
            for (QDateTimeEdit* d : {w.DTPicker1, w.DTPicker2}) {
                QCOMPARE(d->text(), ShortDateText(d->date()));
                QVERIFY2(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4}$").match(d->text()).hasMatch(),
                         qPrintable(d->text()));
                d->setFocus();
                QTest::keyClick(d, Qt::Key_Return);
                QTest::keyClick(d, Qt::Key_Enter);
            }
            QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
            QVERIFY(!QFile::exists(out));
            QVERIFY(w.cmdExport->isEnabled());
        }
    }

    // The import window: create, overwrite (Yes), add only (No) and Cancel.
    void importWindow_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("panel1");
        QTest::addColumn<bool>("enabledAfter");
        QTest::addColumn<QString>("description");
        QTest::newRow("create") << false << -1 << "Will create Project: <P1> and any data"
                                << "Project imported." << false << "Plant";
        QTest::newRow("overwrite") << true << int(Answer::Yes)
                                   << "Will OVERWRITE Reference Information in Project: P1 Train: 1"
                                   << "Project Overwritten." << false << "Plant";
        QTest::newRow("add only") << true << int(Answer::No)
                                  << "Will add data to existing Project: <P1 Train: 1"
                                  << "Overwrite bypassed." << true << "old";
        QTest::newRow("cancel") << true << int(Answer::Cancel) << "P1 Train: 1"
                                << "" << false << "old";
    }
    void importWindow() {
        QFETCH(bool, exists);
        QFETCH(int, answer);
        QFETCH(QString, label);
        QFETCH(QString, panel1);
        QFETCH(bool, enabledAfter);
        QFETCH(QString, description);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        if (exists) {
            insertProjectInfo(p.ProjectDatabasePath, 3, {{"Description", "old"}});
            insertRow(p.ProjectDatabasePath, "UserDefined", {{"ProjectID", "P1"}, {"ORP", "old"}});
        }
        QStringList file = sampleFile();
        file[3] = "a;b;c;d;Redox;f;g;h;i;j";
        const QString path = writeFile(env, "f.txt", file);
        FrmImportData w(p);
        w.show();
        QVERIFY(!w.cmdImport->isEnabled());
        // An accepted choice first, so that Cancel has something to withdraw.
        env.prompts.onOpenFile(path);
        if (exists)
            env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer::No);
        w.cmdCSVFile->click();
        QVERIFY(w.cmdImport->isEnabled());
        env.prompts.onOpenFile(path);
        if (exists)
            env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer(answer));
        w.cmdCSVFile->click();
        QVERIFY(w.lblProject->text().startsWith(label));
        w.chkAlldata->setChecked(true);
        w.cmdImport->click(); // does nothing when the choice was withdrawn
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(w.panelText(1), panel1);
        QCOMPARE(w.cmdImport->isEnabled(), enabledAfter);
        QCOMPARE(valueOf(p, "SELECT Description FROM ProjectInfo").toString(), description);
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), answer == int(Answer::Cancel) ? 0 : 2);
        QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo"), 1);
        const QString orp = answer == int(Answer::No) || answer == int(Answer::Cancel) ? "old" : "Redox";
        QCOMPARE(valueOf(p, "SELECT ORP FROM UserDefined WHERE ProjectID = 'P1'").toString(), orp);
        if (answer != int(Answer::Cancel)) {
            QVERIFY2(
                w.panelText(2).startsWith("2 imported, 0 skipped out of date range. The membrane element"),
                qPrintable(w.panelText(2)));
            QCOMPARE(w.lblProject->text(), "Imported successfully from Project: P1");
            QCOMPARE(w.projectColour(), 65280u);
        }
        if (enabledAfter) {
            // Again, refused by the database: the first import's success, and its "Overwrite
            // bypassed.", are not shown for it. (Its readings go first: a date the train holds
            // would not be stored again.)
            Database db = Database::open(p.ProjectDatabasePath);
            db.exec("DELETE FROM Data");
            db.exec("CREATE TRIGGER refuse BEFORE INSERT ON Data BEGIN SELECT RAISE(ABORT, 'refused by the "
                    "test'); END");
            env.prompts.onMessage("refused by the test", Buttons::OK, Title, Answer::OK);
            w.cmdImport->click();
            QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
            QCOMPARE(count(p, "SELECT count(*) FROM Data"), 0);
            QVERIFY(w.lblProject->text().startsWith(label));
            QVERIFY(!w.panelText(2).contains("imported"));
            QCOMPARE(w.panelText(1), QString());
        }
    }

    // A file refused after an import: what the window said of the imported file no longer stands.
    void refusedFileAfterAnImport_data() {
        QTest::addColumn<bool>("csv");
        QTest::newRow("the program's own CSV export") << true;
        QTest::newRow("a file cut off in a reading line") << false;
    }
    void refusedFileAfterAnImport() {
        QFETCH(bool, csv);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        FrmImportData w(p);
        w.show();
        env.prompts.onOpenFile(writeFile(env, "f.txt", sampleFile()));
        w.cmdCSVFile->click();
        w.chkAlldata->setChecked(true);
        w.cmdImport->click();
        QCOMPARE(w.panelText(1), "Project imported.");
        QVERIFY(w.panelText(2).startsWith("2 imported"));
        QString path = env.path("out.csv");
        if (csv) {
            p.ExportCsvMode = true;
            CreateFile(p, ExportRequest{0, "P1 Train:1", {}, {}, true, path, {}});
        } else {
            QByteArray cut = (sampleFile().join("\r\n") + "\r\n").toUtf8();
            cut.chop(5);
            path = writeBytes(env, "cut.txt", cut);
        }
        env.prompts.onOpenFile(path);
        if (csv)
            env.prompts.onMessage("it is a spreadsheet CSV", Buttons::OK, Title, Answer::OK);
        else
            env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer::No);
        w.cmdCSVFile->click();
        QCOMPARE(w.panelText(1), QString());
        QCOMPARE(w.panelText(2), QString());
        if (!csv) {
            env.prompts.onMessage("line 7 has no line end", Buttons::OK, Title, Answer::OK);
            w.cmdImport->click();
            QCOMPARE(w.panelText(1), QString());
            QVERIFY(!w.panelText(2).contains("imported"));
        }
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(!w.lblProject->text().startsWith("Imported successfully"));
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 2);
    }

    // The export window: the file button of the mode, and a file written on Export.
    void exportWindow_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QString>("projectId");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("altered"); // what the window says it wrote with blanks
        QTest::addColumn<QVariant>("note");
        const auto row = [](const char* name, bool csv, const char* id, const char* description,
                            const QString& altered = {}, const QVariant& note = "checked") {
            QTest::newRow(name) << csv << id << description << altered << note;
        };
        const QString altered = "The exchange file cannot carry %1 in a text: each was written as a blank in "
                                "the project's Description.";
        row("text", false, "P1", "Plant, 2 banks");
        row("a blank note", false, "P1", "Plant", {}, " "); // older builds stored a blank for no note
        row("no note", false, "P1", "Plant", {}, QVariant());
        row("csv", true, "P1", "Plant; 2 banks");
        // Its list text "Lake Train:2 Train:1" begins like that of project Lake.
        row("an ID holding Train:", false, "Lake Train:2", "");
        row("separator in the description", false, "P1", "Plant; 2 banks",
            altered.arg("\";\" or a line break"));
        row("comma in a CSV description", true, "P1", "Plant, 2\r\nbanks", altered.arg("a line break"));
    }
    void exportWindow() {
        QFETCH(bool, csv);
        QFETCH(QString, projectId);
        QFETCH(QString, description);
        QFETCH(QString, altered);
        QFETCH(QVariant, note);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", "Lake"}});
        insertReading(p.ProjectDatabasePath, 3, {{"ProjectID", "Lake"}});
        insertReading(p.ProjectDatabasePath, 3, {{"ProjectID", "Lake"}, {"TheDate", "2013-05-06 00:00:00"}});
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", projectId}, {"Description", description}});
        insertReading(p.ProjectDatabasePath, 3, {{"ProjectID", projectId}, {"Note1", note}});
        env.system.clock = QDateTime(QDate(2020, 1, 10), QTime(15, 30));
        p.ExportCsvMode = csv;
        FrmExportData w(p);
        w.show();
        QCOMPARE(w.cmdCSVFile->isVisible(), csv);
        QCOMPARE(w.cmdTXTfile->isVisible(), !csv);
        QCOMPARE(w.windowTitle(),
                 csv ? "EXPORT PROJECT + DATA TO EXCEL CSV FILE" : "EXPORT HV PROJECT + DATA");
        QCOMPARE(w.DTPicker1->dateTime(), QDateTime(QDate(2019, 12, 11), QTime(0, 0)));
        QCOMPARE(w.DTPicker2->dateTime(), QDateTime(QDate(2020, 1, 10), QTime(0, 0)));
        QPushButton* fileButton = csv ? w.cmdCSVFile : w.cmdTXTfile;
        const QString out = env.path(csv ? "out.csv" : "out.txt");
        env.prompts.onSaveFile(out);
        fileButton->click();
        QCOMPARE(w.panelText(1), "No Projected Selected!");
        QVERIFY(!w.cmdExport->isEnabled());
        w.CmbProjectId->setCurrentIndex(w.CmbProjectId->findText(ProjectTrainText(projectId, 1)));
        env.prompts.onSaveFile(out);
        fileButton->click();
        QVERIFY(w.cmdExport->isEnabled());
        if (!altered.isEmpty()) env.prompts.onMessage(altered, Buttons::OK, Title, Answer::OK);
        w.cmdExport->click();
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(!w.cmdExport->isEnabled());
        // The summary says what the file could not carry: the reading's note, when it has one.
        QCOMPARE(w.panelText(2),
                 note.toString().trimmed().isEmpty()
                     ? QString("Exported 1 Records of 1")
                     : "Exported 1 Records of 1. 1 reading note was left out: the exchange file "
                       "carries no notes.");
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.count(csv ? ',' : ';') > 200, true);
        QVERIFY(text.split('\n').value(2).startsWith((projectId + (csv ? "," : ";")).toUtf8()));
    }
};

QTEST_MAIN(TestExchangeWindows)
#include "tst_exchangewindows.moc"
