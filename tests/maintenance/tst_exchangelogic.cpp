// Export and import of exchange files without a window: what is checked, stored, refused and
// reported, on a full disk and an interrupted run too.
#include <QtTest>

#include "core/elementdb.h"
#include "exchangetestsupport.h"
#include "support/foreignlock.h"
#include "support/plant.h"

using namespace hv;
using namespace hv::test;

class TestExchangeLogic : public QObject {
    Q_OBJECT
    std::optional<ForeignLock> lockHolder;
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Each reading of the range once, newest first by its instant, whatever spelling another
    // program stored it in; the bounds are From 00:00:00 and To + 23:59, and the file gives every
    // date in the stored form.
    void dateRangeExport_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("written");
        const QStringList plain{"2013-04-30 23:59:59", "2013-05-01 00:00:00", "2013-05-10 23:59:00",
                                "2013-05-10 23:59:30", "2013-06-01 08:00:00"};
        QTest::newRow("stored form") << plain << QStringList{"2013-05-10 23:59:00", "2013-05-01 00:00:00"};
        const QStringList spelled{"2013-04-30T23:59:59", "2013/05/01 00:00:00", "2013-05-10 06:00:00",
                                  "2013-05-10T08:00:00", "2013-05-05",          "2013-05-10 23:59:30",
                                  "2013-05-10T23:59:00", "2013-06-01 8:00"};
        QTest::newRow("other spellings, a period")
            << spelled
            << QStringList{"2013-05-10 23:59:00", "2013-05-10 08:00:00", "2013-05-10 06:00:00",
                           "2013-05-05 00:00:00", "2013-05-01 00:00:00"};
    }
    void dateRangeExport() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, written);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3);
        for (const QString& d : stored)
            insertReading(p.ProjectDatabasePath, 3, {{"TheDate", d}});
        setVersion(p, 1, 3, 38);
        ExportRequest r;
        r.listIndex = 0;
        r.entry = "P1 Train:1";
        r.from = QDateTime(QDate(2013, 5, 1), QTime(0, 0));
        r.to = QDateTime(QDate(2013, 5, 10), QTime(0, 0));
        r.outputFile = env.path("out.txt");
        const ExportResult result = CreateFile(p, r);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QFile f(r.outputFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
        QStringList dates;
        for (const QString& l : lines.mid(5))
            if (!l.isEmpty()) dates << l.section(';', 1, 1);
        QCOMPARE(dates, written);
        QCOMPARE(result.written, written.size());
        QVERIFY(!result.exportEnabled);
    }

    // A train whose dates are all in another spelling is written by instant too, and still
    // gives the user a turn to cancel after each page.
    void otherSpellingsExportYields() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3);
        {
            Database db = Database::open(p.ProjectDatabasePath);
            db.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                    "INSERT INTO Data (ProjectID, TrainNumber, TheDate) SELECT 'P1', 1, "
                    "strftime('%Y-%m-%dT%H:%M:%S', '2020-01-01', '+' || i || ' minutes') FROM n");
        }
        setVersion(p, 1, 3, 38);
        for (const bool cancel : {true, false}) {
            Events events;
            int turns = 0;
            // The first turn comes after the page of the date index, the second from the
            // readings of other spellings.
            events.yield = [&] { return ++turns == 2 && cancel; };
            QBuffer buf;
            buf.open(QIODevice::WriteOnly);
            SqliteConnection db(p.ProjectDatabasePath);
            const ExportCounts c = WriteExchangeFile(p, db, buf, "P1", 1, ExportRange(), ';', events);
            QCOMPARE(c.cancelled, cancel);
            QCOMPARE(c.written, cancel ? 20000 : 20001);
            QCOMPARE(turns, 2);
            const QList<QByteArray> lines = buf.data().split('\n');
            QVERIFY(lines[5].startsWith("P1;2020-01-14 21:20:00;"));
        }
    }

    void exportMessages_data() {
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<bool>("all");
        QTest::addColumn<int>("toDay");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("focusTo");
        QTest::addColumn<QString>("projectId");
        QTest::newRow("no entry") << -1 << false << 10 << "No projects found." << false << "P1";
        QTest::newRow("To before From")
            << 0 << false << 1 << "To-Date should be greater than From-Date." << true << "P1";
        QTest::newRow("To before From, all dates")
            << 0 << true << 1 << "To-Date should be greater" << true << "P1";
        QTest::newRow("none in range")
            << 0 << false << 10 << "There are no records to export!" << false << "P1";
        QTest::newRow("an ID holding the separator")
            << 0 << true << 10 << "holds the character \";\"" << false << "x'; DROP TABLE Data; --";
        QTest::newRow("an ID of 55 characters")
            << 0 << true << 10
            << "line 3: the ProjectID value is longer than 50 characters. Nothing was exported." << false
            << QString(55, 'M');
        QTest::newRow("a locked database")
            << 0 << true << 10 << "database is locked. Nothing was exported." << false << "lock";
        QTest::newRow("an empty Version table")
            << 0 << true << 10 << "the Version table of" << false << "no version";
    }
    void exportMessages() {
        QFETCH(int, listIndex);
        QFETCH(bool, all);
        QFETCH(int, toDay);
        QFETCH(QString, message);
        QFETCH(bool, focusTo);
        QFETCH(QString, projectId);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"ProjectID", projectId}});
        insertReading(p.ProjectDatabasePath, 3, {{"ProjectID", projectId}});
        if (projectId == "no version") Database::open(p.ProjectDatabasePath).exec("DELETE FROM Version");
        if (projectId == "lock") lockHolder.emplace(p.ProjectDatabasePath, ForeignLock::Kind::Exclusive);
        env.prompts.onMessage(message, Buttons::OK, Title, Answer::OK);
        ExportRequest r{listIndex,
                        ProjectTrainText(projectId, 1),
                        QDateTime(QDate(2013, 5, 5), QTime(0, 0)),
                        QDateTime(QDate(2013, 5, toDay), QTime(0, 0)),
                        all,
                        env.path("out.txt"),
                        {projectId, 1}};
        const ExportResult result = CreateFile(p, r);
        lockHolder.reset();
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(result.focusTo, focusTo);
        QVERIFY(result.exportEnabled);
        if (listIndex == 0 && all) QVERIFY(!QFile::exists(r.outputFile));
    }

    void versionGate_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("older");
        QTest::newRow("below the oldest") << "1003020"
                                          << "1001010;46"
                                          << "Incompatible export versions" << false << false;
        QTest::newRow("the oldest") << "1003020"
                                    << "1003020;46"
                                    << "created with an older version" << true << true;
        QTest::newRow("current") << "1003020"
                                 << "1003038;46"
                                 << "" << true << false;
        QTest::newRow("no version") << "1003020"
                                    << "abc;46"
                                    << "incompatible export version" << false << false;
        QTest::newRow("csv file") << "1003020"
                                  << "1003038,46"
                                  << "it is a spreadsheet CSV" << false << false;
        QTest::newRow("newer than the program")
            << "1003020"
            << "1003039;46"
            << "line 1: the file's version 1003039 is newer" << false << false;
        QTest::newRow("decimal-mark code 99") << "1003020"
                                              << "1003038;99"
                                              << "line 1: the decimal-mark code \"99\"" << false << false;
        QTest::newRow("setting not numeric") << "x"
                                             << "5;46"
                                             << "created with an older version" << true << true;
    }
    void versionGate() {
        QFETCH(QString, setting);
        QFETCH(QString, line1);
        QFETCH(QString, message);
        QFETCH(bool, accepted);
        QFETCH(bool, older);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        WriteIniValue("Current Project", "ExportVersionChange", p.IniFilePath, setting);
        if (!message.isEmpty()) env.prompts.onMessage(message, Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        const ChoiceOutcome o = ChooseImportFile(p, writeFile(env, "f.txt", sampleFile(line1)), c);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(o == ChoiceOutcome::NewProject, accepted);
        QCOMPARE(c.accepted, accepted);
        if (!accepted) return;
        QCOMPARE(c.FileIsOlder, older);
        if (older)
            env.prompts.onMessage("Do you want to recalculate now?", Buttons::YesNo, Title, Answer::No);
        const ImportResult r = RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(r.inserted, 2);
    }

    // Yes to the closing question recalculates the imported train and keeps the current project.
    void olderFileRecalculation() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        p.CurrentProject.ProjectID = "Other";
        p.IgnoreCalcErrors = true; // no element tables here: every reading fails quietly
        env.prompts.onMessage("created with an older version", Buttons::OK, Title, Answer::OK);
        env.prompts.onMessage("Do you want to recalculate now?", Buttons::YesNo, Title, Answer::Yes);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", sampleFile("1003020;46")), c);
        RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        // None could be normalized.
        QVERIFY2(p.status.text(1).startsWith("P1: Updated 0 records out of a total 2"),
                 qPrintable(p.status.text(1)));
        QCOMPARE(p.CurrentProject.ProjectID, "Other");
    }

    void decimalCommaFiles_data() {
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("comma");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("44") << "1003038;44"
                            << "12,5" << true << true;
        QTest::newRow("44, point value") << "1003038;44"
                                         << "12.5" << true << false;
        QTest::newRow("46") << "1003038;46"
                            << "12.5" << false << true;
        QTest::newRow("44 and a blank") << "1003038;44 "
                                        << "12.5" << true << false;
        QTest::newRow("44 and a blank, comma value") << "1003038;44 "
                                                     << "12,5" << true << true;
    }
    void decimalCommaFiles() {
        QFETCH(QString, line1);
        QFETCH(QString, value);
        QFETCH(bool, comma);
        QFETCH(bool, accepted);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList file = withProjectValue(sampleFile(line1), "FeedTemp", value);
        file[5] = full("P1;2013-05-02 10:00:00;1;" + value + ";");
        if (!accepted) env.prompts.onMessage("line 3: FeedTemp holds", Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", file), c);
        QCOMPARE(c.ImportDecimalComma, comma);
        QCOMPARE(c.accepted, accepted);
        if (accepted) {
            RunImport(p, c, allDates());
            QCOMPARE(valueOf(p, "SELECT FeedTemp FROM ProjectInfo").toDouble(), 12.5);
            QCOMPARE(valueOf(p, "SELECT PermFlow FROM Data ORDER BY TheDate DESC").toDouble(), 12.5);
        }
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
    }

    // The first reading must fit the project; a refusal writes nothing at all.
    void firstReadingChecks_data() {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("projects");
        QTest::addColumn<int>("readings");
        QTest::newRow("bad date")
            << "P1;2013-13-02 10:00:00;1;1;"
            << "Line 6, field 2 (TheDate) holds \"2013-13-02 10:00:00\", which is not a date."
            << int(Answer::OK) << 0 << 0;
        QTest::newRow("another project") << "P2;2013-05-02 10:00:00;1;1;"
                                         << "the Data Project ID = P2" << int(Answer::OK) << 0 << 0;
        QTest::newRow("another train, Cancel") << "P1;2013-05-02 10:00:00;2;1;"
                                               << "OK to import anyway" << int(Answer::Cancel) << 0 << 0;
        QTest::newRow("another train, OK")
            << full("P1;2013-05-02 10:00:00;2;1;") << "OK to import anyway" << int(Answer::OK) << 1 << 2;
        QTest::newRow("a value refused")
            << full("P1;2013-05-02 10:00:00;1;x;") << "line 6: PermFlow holds" << int(Answer::OK) << 0 << 0;
        QTest::newRow("a text holding the separator")
            << full("P1;2013-05-02 10:00:00;1;1;2;3") << "line 6: it has 29 fields where 28 columns are named"
            << int(Answer::OK) << 0 << 0;
    }
    void firstReadingChecks() {
        QFETCH(QString, reading);
        QFETCH(QString, message);
        QFETCH(int, answer);
        QFETCH(int, projects);
        QFETCH(int, readings);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", withLine(sampleFile(), 6, reading)), c);
        QVERIFY(c.accepted);
        const Buttons buttons = message.contains("anyway") ? Buttons::OKCancel : Buttons::OK;
        env.prompts.onMessage(message, buttons, Title, Answer(answer));
        const ImportResult r = RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo"), projects);
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), readings);
        QCOMPARE(r.refused, projects == 0);
        // Every reading stands under the project train the file defines.
        QCOMPARE(count(p, "SELECT count(*) FROM Data d WHERE NOT EXISTS (SELECT 1 FROM ProjectInfo i "
                          "WHERE i.ProjectID = d.ProjectID AND i.TrainNumber = d.TrainNumber)"),
                 0);
    }

    // Empty fields are Null, and empty lines after the last reading are no readings. Without the
    // element a reading is refused as its calculation would refuse it (an item it needs is
    // empty), and one stored is stored without the calculated values the file gives.
    void readingLines() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList file = sampleFile();
        file[4] += ";NormalizedPermFlow";
        file[5] += ";5";
        file[6] = full("P1;2013-05-01 10:00:00;1;;") + ";5";
        file << full("P1;2013-05-03 10:00:00;1;12;") + ";;;;;;;;;;;"
             << ";;;;;;;;;;;"
             << ""
             << " ; ";
        env.prompts.onMessage("1 reading was not stored: its calculation failed (the first: Calculation run "
                              "caused an error #94",
                              Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", file), c);
        const ImportResult r = RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(r.inserted, 2);
        QCOMPARE(r.withoutResults, 2);
        QCOMPARE(r.failed, 1);
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE ORP IS NULL"), 2);
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE TheDate LIKE '2013-05-01%'"), 0);
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE NormalizedPermFlow IS NULL"), 2);
    }

    // A file refused anywhere, in its header or in any reading line, stores nothing: no project
    // row, no user-defined row, no reading. The whole file imported afterwards holds each reading
    // once.
    void refusedFilesStoreNothing_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        const QStringList good = sampleFile();
        auto bytes = [](const QStringList& lines) { return (lines.join("\r\n") + "\r\n").toUtf8(); };
        auto line = [&](int n, const QString& text) { return bytes(withLine(good, n, full(text))); };
        QByteArray whole = bytes(good);
        whole.chop(2);
        QTest::newRow("cut inside the last reading")
            << whole.left(whole.size() - 3) << "line 7 has no line end: the file is cut short";
        QTest::newRow("last line without its end") << whole << "line 7 has no line end";
        const QByteArray header = bytes(good.mid(0, 3));
        QTest::newRow("cut inside line 4") << header + "NTU raw;NTU fe"
                                           << "line 4 has no line end";
        QTest::newRow("cut inside line 5, at a column's end")
            << header + "\r\nProjectID;TheDate;TrainNumber;PermFlow"
            << "line 5 has no line end";
        QStringList gap = good;
        gap.insert(6, "");
        QTest::newRow("an empty line before a reading")
            << bytes(gap) << "line 7 is empty, but a reading follows it on line 8";
        gap[6] = ";;;;";
        QTest::newRow("a line of separators before a reading")
            << bytes(gap) << "line 7 is empty, but a reading follows it on line 8";
        QTest::newRow("fewer fields than named") << bytes(withLine(good, 6, "P1;2013-05-02 10:00:00;1;12.5"))
                                                 << "line 6: it has 4 fields where 28 columns are named";
        QTest::newRow("a later line of another project")
            << line(7, "P2;2013-05-01 10:00:00;1;11;3")
            << "line 7: the ProjectID \"P2\" is not the file's project P1";
        QTest::newRow("a later line of another project, case")
            << line(7, "p1;2013-05-01 10:00:00;1;11;3") << "line 7: the ProjectID \"p1\"";
        QTest::newRow("a later line of train 1.5")
            << line(7, "P1;2013-05-01 10:00:00;1.5;11;3")
            << "line 7: the TrainNumber \"1.5\" is not the file's train 1";
        QTest::newRow("a later line of train 99999")
            << line(7, "P1;2013-05-01 10:00:00;99999;11;3") << "line 7: the TrainNumber \"99999\"";
        QTest::newRow("a first line of train 1.5")
            << line(6, "P1;2013-05-02 10:00:00;1.5;12.5;") << "line 6: the TrainNumber \"1.5\"";
        QStringList nul = withProjectValue(good, "ProjectID", "P1");
        QByteArray nulBytes = bytes(nul);
        nulBytes.replace("\r\nP1;2020-01-01", QByteArray("\r\nP1\0x;2020-01-01", 17));
        QTest::newRow("plus and minus") << line(7, "P1;2013-05-01 10:00:00;1;+-5;3")
                                        << "line 7: PermFlow holds \"+-5\", which is not a number";
        QTest::newRow("hexadecimal") << line(7, "P1;2013-05-01 10:00:00;1;0x10;3")
                                     << "line 7: PermFlow holds \"0x10\", which is not a number";
        QTest::newRow("a word") << line(7, "P1;2013-05-01 10:00:00;1;11;abc")
                                << "line 7: ORP holds \"abc\", which is not a number";
        QTest::newRow("TRUE in a number field") << line(7, "P1;2013-05-01 10:00:00;1;TRUE;3")
                                                << "line 7: PermFlow holds \"TRUE\", which is not a number";
        QTest::newRow("a date with a zone")
            << line(7, "P1;2013-05-01T10:00:00Z;1;11;3")
            << "line 7: the TheDate value \"2013-05-01T10:00:00Z\" is not a date";
        QTest::newRow("a date with a fraction of a second")
            << line(7, "P1;2013-05-01 10:00:00.500;1;11;3") << "line 7: the TheDate value";
        QTest::newRow("NumBanks 4")
            << bytes(withProjectValue(good, "NumBanks", "4"))
            << "line 3: NumBanks holds \"4\", which is not a whole number from 1 to 3";
        QTest::newRow("NumBanks 1.5") << bytes(withProjectValue(good, "NumBanks", "1.5"))
                                      << "line 3: NumBanks holds \"1.5\", which is not a whole number";
        QStringList banks = withLine(good, 5, "ProjectID;TheDate;TrainNumber;Bank;EventID");
        banks =
            withLine(withLine(banks, 6, "P1;2013-05-02 10:00:00;1;2;0"), 7, "P1;2013-05-01 10:00:00;1;0;0");
        QTest::newRow("Bank 0") << bytes(banks)
                                << "line 7: Bank holds \"0\", which is not a whole number from 1 to 3";
        QTest::newRow("EventID -5") << bytes(withLine(banks, 7, "P1;2013-05-01 10:00:00;1;2;-5"))
                                    << "line 7: EventID holds \"-5\", which is not a whole number";
        QTest::newRow("EventID 32768")
            << bytes(withLine(banks, 7, "P1;2013-05-01 10:00:00;1;2;32768"))
            << "line 7: EventID holds \"32768\", which is not a whole number from 0 to 32767";
        QStringList noBanks = good;
        for (int l : {1, 2}) {
            QStringList f = noBanks[l].split(';');
            f.removeAt(ExchangeProjectColumns().indexOf("NumBanks"));
            noBanks[l] = f.join(';');
        }
        QTest::newRow("project lines without NumBanks")
            << bytes(noBanks) << "line 2 names no NumBanks, which every project train needs";
        QTest::newRow("NumBanks empty")
            << bytes(withProjectValue(good, "NumBanks", "")) << "line 3, NumBanks holds no value";
        QStringList train32768 = withProjectValue(good, "TrainNumber", "32768");
        QTest::newRow("train 32768")
            << bytes(train32768)
            << "line 3: the TrainNumber holds \"32768\", which is not a whole number from 1 to 32767. Import";
        QStringList train0 = withProjectValue(good, "TrainNumber", "0");
        train0[5].replace(";1;", ";0;");
        train0[6].replace(";1;", ";0;");
        QTest::newRow("train 0")
            << bytes(train0)
            << "line 3: the TrainNumber holds \"0\", which is not a whole number from 1 to 32767. Import";
        QTest::newRow("a blank after the project ID") << bytes(withProjectValue(good, "ProjectID", "P1 "))
                                                      << "line 3: the ProjectID \"P1 \" has blanks";
        const QString utf16Text = good.join("\r\n") + "\r\n";
        QByteArray utf16("\xFF\xFE", 2);
        utf16.append(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2);
        QTest::newRow("UTF-16") << utf16 << "it is UTF-16 (Unicode) text";
        QTest::newRow("NUL in the project ID")
            << nulBytes << "line 3: the ProjectID value holds a NUL character";
        QTest::newRow("project ID of 51 characters")
            << bytes(withProjectValue(good, "ProjectID", QString(51, 'P')))
            << "line 3: the ProjectID value is longer than 50 characters";
        QTest::newRow("project ID of a million characters")
            << bytes(withProjectValue(good, "ProjectID", QString(1000000, 'P')))
            << "line 3: the ProjectID value is longer than 50 characters";
        QTest::newRow("description of 256 characters")
            << bytes(withProjectValue(good, "Description", QString(256, 'd')))
            << "line 3: the Description value is longer than 255 characters";
        QByteArray caption = bytes(withLine(good, 4, "a;b;c;d;Redox;f;g;h;i;j"));
        caption.replace("Redox", QByteArray("Re\0ox", 5));
        QTest::newRow("NUL in a caption") << caption << "line 4: the ORP value holds a NUL character";
        QTest::newRow("caption of 256 characters")
            << bytes(withLine(good, 4, "a;b;c;d;" + QString(256, 'r') + ";f;g;h;i;j"))
            << "line 4: the ORP value is longer than 255 characters";
    }
    void refusedFilesStoreNothing() {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        env.prompts.onMessage(message, Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        if (ChooseImportFile(p, writeBytes(env, "f.txt", file), c) != ChoiceOutcome::Refused) {
            const ImportResult r = RunImport(p, c, allDates());
            QVERIFY(r.refused);
            QVERIFY(!r.finished);
        }
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(!c.accepted);
        QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo"), 0);
        QCOMPARE(count(p, "SELECT count(*) FROM UserDefined WHERE ProjectID <> 'Default'"), 0);
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 0);
        QCOMPARE(ChooseImportFile(p, writeFile(env, "good.txt", sampleFile()), c), ChoiceOutcome::NewProject);
        QCOMPARE(RunImport(p, c, allDates()).inserted, 2);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(count(p, "SELECT count(DISTINCT TheDate) FROM Data"), 2);
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 2);
    }

    // A file imported again into the train that holds its dates, adding or overwriting, stores
    // none of them again and counts them; a new date in it is stored.
    void importAgainStoresNoDateTwice_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("storedAs"); // the new date as another program stored it; "" none
        QTest::newRow("add data") << int(Answer::No) << "";
        QTest::newRow("overwrite") << int(Answer::Yes) << "";
        QTest::newRow("add data, stored to the minute") << int(Answer::No) << "2013-05-03 10:00";
        QTest::newRow("overwrite, stored to the minute") << int(Answer::Yes) << "2013-05-03 10:00";
    }
    void importAgainStoresNoDateTwice() {
        QFETCH(int, answer);
        QFETCH(QString, storedAs);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", sampleFile()), c);
        QCOMPARE(RunImport(p, c, allDates()).inserted, 2);
        const QString date = storedAs.isEmpty() ? "2013-05-03 10:00:30" : "2013-05-03 10:00:00";
        if (!storedAs.isEmpty()) insertReading(p.ProjectDatabasePath, 1, {{"TheDate", storedAs}});
        QStringList again = sampleFile();
        again << full("P1;" + date + ";1;10;");
        env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer(answer));
        ChooseImportFile(p, writeFile(env, "again.txt", again), c);
        const ImportResult r = RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(r.inserted, storedAs.isEmpty() ? 1 : 0);
        QCOMPARE(r.alreadyStored, storedAs.isEmpty() ? 2 : 3);
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 3);
        // Kept to the second.
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE TheDate = ?", {date}), storedAs.isEmpty() ? 1 : 0);
    }

    // An import that does not finish (cancelled at a turn, a failure late in the file, another
    // program wanting the database meanwhile) leaves the database as it was; importing the file
    // again with "No - add data" then holds each of its readings once.
    // A control system logging local time writes the hour after the autumn clock change twice:
    // the first line of a date is stored, the later one skipped and named.
    void repeatedAutumnHour() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList file = sampleFile();
        file.resize(5);
        file << full("P1;2026-10-25 03:00:00;1;5;1") << full("P1;2026-10-25 02:30:00;1;4;1")
             << full("P1;2026-10-25 02:00:00;1;3;1") << full("P1;2026-10-25 02:30:00;1;2;1")
             << full("P1;2026-10-25 02:00:00;1;1;1");
        QString summary;
        Events events;
        events.status = [&](int panel, const QString& t) {
            if (panel == 2) summary = t;
        };
        ImportChoice c;
        QCOMPARE(ChooseImportFile(p, writeFile(env, "f.txt", file), c), ChoiceOutcome::NewProject);
        const ImportResult r = RunImport(p, c, allDates(), events);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(r.finished);
        QCOMPARE(r.inserted, 3);
        QCOMPARE(r.repeated, 2);
        QCOMPARE(r.alreadyStored, 0);
        QVERIFY2(summary.contains(
                     "2 lines repeat the date of an earlier line and were not stored again: line 9 "
                     "(2026-10-25 02:30:00, as on line 7), line 10 (2026-10-25 02:00:00, as on line 8)"),
                 qPrintable(summary));
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 3);
        QCOMPARE(valueOf(p, "SELECT PermFlow FROM Data WHERE TheDate = '2026-10-25 02:00:00'").toDouble(),
                 3.0);
    }

    void interruptedImportLeavesTheDatabase_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("failure late in the file") << "failure";
        QTest::newRow("another program's lock") << "lock";
        QTest::newRow("a line refused after every turn") << "refusal";
    }
    void interruptedImportLeavesTheDatabase() {
        QFETCH(QString, how);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3);
        insertReading(p.ProjectDatabasePath, 3, {{"TheDate", "2001-01-01 00:00:00"}});
        const int n = 60000; // beyond one turn of the import
        QStringList file = sampleFile();
        file.resize(5);
        const QDateTime start(QDate(2010, 1, 1), QTime(0, 0));
        for (int i = 0; i < n; ++i)
            file << full("P1;" + start.addSecs(qint64(i) * 60).toString("yyyy-MM-dd HH:mm:ss") + ";1;" +
                         QString::number(i) + ";1");
        // The file is read once: what it stored before the line it refuses is undone.
        if (how == "refusal") file << full("P1;2030-01-01 00:00:00;1;abc;1");
        const QString path = writeFile(env, "big.txt", file);
        if (how == "failure")
            Database::open(p.ProjectDatabasePath)
                .exec("CREATE TRIGGER full BEFORE INSERT ON Data WHEN NEW.PermFlow = 59000 "
                      "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
        QString panel2;
        bool lockTaken = false;
        Events events;
        events.status = [&](int panel, const QString& t) {
            if (panel == 2) panel2 = t;
        };
        events.yield = [&] {
            if (!panel2.contains("inserted")) return false;
            if (how == "lock" && !lockTaken) {
                lockHolder.emplace(p.ProjectDatabasePath, ForeignLock::Kind::Write);
                lockTaken = lockHolder->held();
                // Got it: the other program keeps it until the import has ended.
                if (lockTaken) return false;
                lockHolder.reset();
            }
            return how == "cancel";
        };
        env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer::No);
        if (how == "cancel")
            env.prompts.onMessage("Import cancelled: nothing of the file was stored.", Buttons::OK, Title,
                                  Answer::OK);
        if (how == "failure")
            env.prompts.onMessage("database or disk is full", Buttons::OK, Title, Answer::OK);
        if (how == "refusal")
            env.prompts.onMessage(
                QStringLiteral("line %1: PermFlow holds \"abc\", which is not a number").arg(n + 6),
                Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        QCOMPARE(ChooseImportFile(p, path, c), ChoiceOutcome::AddOnly);
        const ImportResult r = RunImport(p, c, allDates(), events);
        lockHolder.reset();
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        // The import holds the database from its first write to its end: nobody else gets in.
        QVERIFY(!lockTaken);
        if (how == "lock") {
            QVERIFY(r.finished);
            QCOMPARE(count(p, "SELECT count(*) FROM Data"), n + 1);
        } else {
            QVERIFY(!r.finished);
            QCOMPARE(count(p, "SELECT count(*) FROM Data"), 1);
            QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo"), 1);
            Database::open(p.ProjectDatabasePath).exec("DROP TRIGGER IF EXISTS full");
            if (how == "refusal") {
                file.removeLast();
                writeFile(env, "big.txt", file);
            }
            env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer::No);
            QCOMPARE(ChooseImportFile(p, path, c), ChoiceOutcome::AddOnly);
            QCOMPARE(RunImport(p, c, allDates()).inserted, n);
            QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        }
        QCOMPARE(count(p, "SELECT count(DISTINCT TheDate) FROM Data"), n + 1);
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), n + 1);
    }

    // Line 5 and nothing after it: the project is imported and the file said to hold no data.
    void fileEndingAfterLineFive() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList file = sampleFile();
        file.resize(5);
        env.prompts.onMessage("No data was found!", Buttons::OK, Title, Answer::OK);
        QString panel2;
        Events events;
        events.status = [&](int panel, const QString& t) {
            if (panel == 2) panel2 = t;
        };
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", file), c);
        const ImportResult r = RunImport(p, c, allDates(), events);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(r.finished);
        QCOMPARE(panel2, "0 imported, 0 skipped out of date range.");
        QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo"), 1);
    }

    // An empty description is written empty and comes back empty, and so is a Null one.
    void descriptionsRoundTrip_data() {
        QTest::addColumn<QVariant>("description");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("back");
        QTest::newRow("empty") << QVariant("") << "" << QVariant("");
        QTest::newRow("blank") << QVariant(" ") << " " << QVariant(" ");
        QTest::newRow("Null") << QVariant() << "" << QVariant("");
        QTest::newRow("text") << QVariant("Plant") << "Plant" << QVariant("Plant");
    }
    void descriptionsRoundTrip() {
        QFETCH(QVariant, description);
        QFETCH(QString, field);
        QFETCH(QVariant, back);
        TestEnv env;
        Program& p = env.prog();
        p.ProjectDatabasePath = makeBlankDatabase(env.path("from.mdb"));
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"Description", description}});
        insertReading(p.ProjectDatabasePath, 3);
        setVersion(p, 1, 3, 38);
        const QStringList lines = exportLines(p, "P1", 1, {});
        QCOMPARE(lines[2].split(';')[2], field);
        ExportRequest r{0, "P1 Train:1", {}, {}, true, env.path("trip.txt"), {}};
        CreateFile(p, r);
        p.ProjectDatabasePath = makeBlankDatabase(env.path("to.mdb"));
        ImportChoice c;
        QCOMPARE(ChooseImportFile(p, r.outputFile, c), ChoiceOutcome::NewProject);
        RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        const QVariant stored = valueOf(p, "SELECT Description FROM ProjectInfo");
        QVERIFY(!stored.isNull());
        QCOMPARE(stored.toString(), back.toString());
    }

    // What the file cannot carry goes as blanks, and the result names each text it altered.
    void exportSaysWhichTextsItAltered_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QStringList>("altered");
        QTest::newRow("none") << false << "Plant, 2 banks"
                              << "mV"
                              << "7.3" << QStringList();
        QTest::newRow("separator in the description") << false << "RO; 2 banks"
                                                      << "mV"
                                                      << "7.3" << QStringList{"the project's Description"};
        QTest::newRow("line break in a caption") << false << "Plant"
                                                 << "m\nV"
                                                 << "7.3" << QStringList{"the user-defined caption UnitsORP"};
        QTest::newRow("line break in a reading's text, CSV") << true << "Plant"
                                                             << "mV"
                                                             << "7\n3" << QStringList{"texts of 2 readings"};
        QTest::newRow("comma in CSV, quoted") << true << "Plant, 2 banks"
                                              << "mV"
                                              << "7.3" << QStringList();
    }
    void exportSaysWhichTextsItAltered() {
        QFETCH(bool, csv);
        QFETCH(QString, description);
        QFETCH(QString, caption);
        QFETCH(QString, note);
        QFETCH(QStringList, altered);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"Description", description}});
        insertRow(p.ProjectDatabasePath, "UserDefined", {{"ProjectID", "P1"}, {"UnitsORP", caption}});
        for (const char* d : {"2020-01-02 00:00:00", "2020-01-03 00:00:00"})
            insertReading(p.ProjectDatabasePath, 3, {{"TheDate", d}, {"pH", note}});
        setVersion(p, 1, 3, 38);
        p.ExportCsvMode = csv;
        const ExportResult result =
            CreateFile(p, ExportRequest{0, "P1 Train:1", {}, {}, true, env.path("o.txt"), {}});
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(result.written, 2);
        QCOMPARE(result.alteredTexts, altered);
        const QString message = AlteredTextsMessage(result.alteredTexts, csv ? ',' : ';');
        QCOMPARE(message.isEmpty(), altered.isEmpty());
        for (const QString& a : altered)
            QVERIFY(message.contains(a));
        QFile f(env.path("o.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split("\r\n").size(), 8); // no line was split
    }

    // An export the disk refuses names the system's own cause and leaves no file.
    void exportOnAFullDisk() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3);
        for (int i = 0; i < 300; ++i)
            insertReading(p.ProjectDatabasePath, 3,
                          {{"TheDate", QDateTime(QDate(2020, 1, 1), QTime(0, 0))
                                           .addSecs(i * 3600)
                                           .toString("yyyy-MM-dd HH:mm:ss")}});
        setVersion(p, 1, 3, 38);
        const QString out = env.path("out.txt");
        env.prompts.onMessage(QString::fromLocal8Bit(std::strerror(EFBIG)), Buttons::OK, Title, Answer::OK);
        ExportResult result;
        {
            FileSizeLimit limit(20000);
            result = CreateFile(p, ExportRequest{0, "P1 Train:1", {}, {}, true, out, {}});
        }
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(!env.prompts.shown().last().contains("canceled", Qt::CaseInsensitive));
        QVERIFY(!QFile::exists(out));
        QVERIFY(result.exportEnabled);
    }

    // An import that fails on a full disk stores nothing and leaves no journal beside the
    // database: the file alone is whole.
    void importOnAFullDisk() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList file = sampleFile();
        const QString wide(200, 'n');
        file[4] += ";Note1";
        file[5] += ";" + wide;
        file[6] += ";" + wide;
        for (int i = 0; i < 3000; ++i)
            file << full("P1;" +
                         QDateTime(QDate(2014, 1, 1), QTime(0, 0))
                             .addSecs(i * 60)
                             .toString("yyyy-MM-dd HH:mm:ss") +
                         ";1;10;") +
                        ";" + wide;
        ImportChoice c;
        QCOMPARE(ChooseImportFile(p, writeFile(env, "big.txt", file), c), ChoiceOutcome::NewProject);
        env.prompts.onMessage("disk I/O error", Buttons::OK, Title, Answer::OK);
        ImportResult r;
        {
            FileSizeLimit limit(QFileInfo(p.ProjectDatabasePath).size() + 100000);
            r = RunImport(p, c, allDates());
        }
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QVERIFY(!r.finished);
        QVERIFY(!QFile::exists(p.ProjectDatabasePath + "-journal"));
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 0);
        QCOMPARE(valueOf(p, "PRAGMA integrity_check").toString(), "ok");
    }

    // The bulk tool's database on a full disk: the system's cause, a failure, and no file left.
    void generateOnAFullDisk() {
        const QString tool = QCoreApplication::applicationDirPath() + "/hevrin-exchange";
        if (!QFile::exists(tool)) QSKIP("built without the bulk tools");
        TestEnv env;
        const QString out = env.path("gen.mdb");
        QProcess run;
        {
            FileSizeLimit limit(2 << 20);
            run.start(tool, {"generate", "--out", out, "--readings", "50000", "--template",
                             HEVRIN_TEMPLATE_DIR "/db.hv3.mdb"});
            QVERIFY(run.waitForFinished(120000));
        }
        const QString said = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() != 0, qPrintable(said));
        QVERIFY2(said.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(said));
        QCOMPARE(QDir(env.path("")).entryList({"gen*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void dateRangeImport() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList file = sampleFile();
        file.removeLast();
        file.removeLast();
        for (const char* d :
             {"2013-05-10 23:59:30", "2013-05-10 23:59:00", "2013-05-01 00:00:00", "2013-04-30 23:59:59"})
            file << full(QString("P1;%1;1;1;1").arg(d));
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", file), c);
        QString panel2;
        Events events;
        events.status = [&](int panel, const QString& t) {
            if (panel == 2) panel2 = t;
        };
        const ImportResult r = RunImport(p, c,
                                         ImportRange{false, QDateTime(QDate(2013, 5, 1), QTime(0, 0)),
                                                     QDateTime(QDate(2013, 5, 10), QTime(0, 0))},
                                         events);
        QCOMPARE(r.inserted, 2);
        QCOMPARE(r.skipped, 2);
        QCOMPARE(panel2,
                 "2 imported, 2 skipped out of date range. The membrane element of project P1 train 1 "
                 "(element type 0) is not in the element database. 2 readings were stored without "
                 "calculated values.");
        QCOMPARE(
            count(p,
                  "SELECT count(*) FROM Data WHERE TheDate IN ('2013-05-10 23:59:00','2013-05-01 00:00:00')"),
            2);
    }

    // Booleans by whole field only; a quote in a project ID is just a character.
    void projectLine() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        QStringList base = withProjectValue(sampleFile(), "TrainsSame", "wahr");
        base = withProjectValue(base, "SystemData", "FALSCH");
        base = withProjectValue(base, "ProjectID", "O'Brien's");
        base[5].replace("P1;", "O'Brien's;");
        base[6].replace("P1;", "O'Brien's;");
        base[3] = "NTU raw;NTU feed;SDI raw;SDI feed;Redox;n1;n2;n3;n4;mV";
        // A separator inside the description would shift every later field: refused.
        env.prompts.onMessage("line 3: it has 72 fields", Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        QCOMPARE(
            ChooseImportFile(
                p, writeFile(env, "f.txt", withProjectValue(base, "Description", "Wahrheit; Falschgeld")), c),
            ChoiceOutcome::Refused);
        QCOMPARE(
            ChooseImportFile(
                p, writeFile(env, "f.txt", withProjectValue(base, "Description", "Wahrheit Falschgeld")), c),
            ChoiceOutcome::NewProject);
        RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(valueOf(p, "SELECT Description FROM ProjectInfo").toString(), "Wahrheit Falschgeld");
        QCOMPARE(valueOf(p, "SELECT TrainsSame FROM ProjectInfo").toInt(), -1);
        QCOMPARE(valueOf(p, "SELECT Systemdata FROM ProjectInfo").toInt(), 0);
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE ProjectID = ?", {"O'Brien's"}), 2);
        QCOMPARE(valueOf(p, "SELECT ORP FROM UserDefined WHERE ProjectID = ?", {"O'Brien's"}).toString(),
                 "Redox");
    }

    void unknownColumnRefused() {
        TestEnv env;
        Program& p = env.prog();
        makePreSpecFluxDatabase(p.ProjectDatabasePath);
        QStringList file = sampleFile();
        file[4] += ";SpecFlux";
        env.prompts.onMessage("line 5: the column \"SpecFlux\" is not in the database", Buttons::OK, Title,
                              Answer::OK);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", file), c);
        const ImportResult r = RunImport(p, c, allDates());
        QVERIFY(r.refused);
        QVERIFY(!c.accepted);
        QCOMPARE(count(p, "SELECT count(*) FROM ProjectInfo"), 0);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
    }

    // A project step the database refuses keeps the old row and adds no reading.
    void failedOverwriteKeepsTheProject() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"Description", "old"}});
        Database::open(p.ProjectDatabasePath)
            .exec("CREATE TRIGGER refuse BEFORE INSERT ON ProjectInfo WHEN NEW.Description = 'boom' "
                  "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
        env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer::Yes);
        env.prompts.onMessage("refused by the test", Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        ChooseImportFile(p, writeFile(env, "f.txt", withProjectValue(sampleFile(), "Description", "boom")),
                         c);
        RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(valueOf(p, "SELECT Description FROM ProjectInfo").toString(), "old");
        QCOMPARE(count(p, "SELECT count(*) FROM Data"), 0);
    }

    // Readings of a plant whose element is known are stored with their calculated values; one
    // whose calculation fails is not stored at all, and the summary names it.
    void calculatedReadings() {
        TestEnv env;
        Program& p = env.prog();
        makeReferencePlant(p, 1);
        const QString path = p.ProjectDatabasePath;
        for (int day : {1, 2, 3})
            insertReading(path, 1,
                          {{"TheDate", QStringLiteral("2020-02-0%1 08:00:00").arg(day)},
                           {"Temperature", day == 2 ? QVariant() : QVariant(20.0 + day)}});
        ExportRequest r{0, "P1 Train:1", {}, {}, true, env.path("plant.txt"), {}};
        CreateFile(p, r);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        Database::open(path).exec("DELETE FROM Data");
        Database::open(path).exec("DELETE FROM ProjectInfo");
        env.prompts.onMessage("1 reading was not stored: its calculation failed (the first: "
                              "Calculation run caused an error #94",
                              Buttons::OK, Title, Answer::OK);
        ImportChoice c;
        QCOMPARE(ChooseImportFile(p, r.outputFile, c), ChoiceOutcome::NewProject);
        const ImportResult result = RunImport(p, c, allDates());
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QCOMPARE(result.inserted, 2);
        QCOMPARE(result.failed, 1);
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE TheDate LIKE '2020-02-02%'"), 0);
        QCOMPARE(count(p, "SELECT count(*) FROM Data WHERE NormalizedPermFlow > 0 AND ElapsedTimeHrs > 0"),
                 2);
    }

    // The bulk tool stores the results the import window stores when it is given the element
    // database, and says that it stores none without it.
    void toolImport_data() {
        QTest::addColumn<bool>("elements");
        QTest::newRow("with --elements") << true;
        QTest::newRow("without") << false;
    }
    void toolImport() {
        QFETCH(bool, elements);
        const QString tool = QCoreApplication::applicationDirPath() + "/hevrin-exchange";
        if (!QFile::exists(tool)) QSKIP("built without the bulk tools");
        TestEnv env;
        Program& p = env.prog();
        makeReferencePlant(p, 2);
        const QString window = p.ProjectDatabasePath;
        for (int day : {1, 2, 3})
            insertReading(window, 2, {{"TheDate", QStringLiteral("2020-02-0%1 08:00:00").arg(day)}});
        ExportRequest r{0, "P1 Train:1", {}, {}, true, env.path("plant.txt"), {}};
        CreateFile(p, r);
        Database::open(window).exec("DELETE FROM Data");
        const QString byTool = env.path("tool.mdb");
        QVERIFY(QFile::copy(window, byTool));
        ImportChoice c;
        env.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, Title, Answer::No);
        QCOMPARE(ChooseImportFile(p, r.outputFile, c), ChoiceOutcome::AddOnly);
        QCOMPARE(RunImport(p, c, allDates()).inserted, 3);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));
        QStringList args{"import", "--database", byTool, "--file", r.outputFile, "--add"};
        if (elements) args << "--elements" << ElementDatabasePath(p);
        QProcess run;
        run.start(tool, args);
        QVERIFY(run.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(run.readAllStandardOutput() + run.readAllStandardError());
        QVERIFY2(run.exitCode() == 0, qPrintable(said));
        QCOMPARE(said.contains("No element database is loaded"), !elements);
        const QString sql = "SELECT group_concat(NormalizedPermFlow, ' ') FROM "
                            "(SELECT NormalizedPermFlow FROM Data ORDER BY TheDate)";
        const QString stored = Database::open(window).scalar(sql).toString();
        QVERIFY(!stored.isEmpty());
        QCOMPARE(Database::open(byTool).scalar(sql).toString(), elements ? stored : QString());
    }

    // Export then import into an empty database gives the same rows, in both locales.
    void roundTrip_data() {
        QTest::addColumn<bool>("comma");
        QTest::newRow("point") << false;
        QTest::newRow("comma") << true;
    }
    void roundTrip() {
        QFETCH(bool, comma);
        TestEnv env;
        Program& p = env.prog();
        useLocale(p, comma);
        const QString from = makeBlankDatabase(env.path("from.mdb"));
        insertProjectInfo(from, 3,
                          {{"Description", "Zürich plant"},
                           {"FeedTemp", 1.0 / 3},
                           {"AvgConc", QVariant()},
                           {"Density", QVariant()},
                           {"RefpH", QVariant()},
                           {"numVessels", QVariant()},
                           {"ElementsPerVessel", QVariant()},
                           {"FeedType", QVariant()},
                           {"dataExists", QVariant()}});
        insertRow(from, "UserDefined", {{"ProjectID", "P1"}, {"ORP", "Redox"}});
        const QStringList dataCols = ExchangeDataColumns(true);
        // A reading lacking one of these is refused on the way in.
        const QStringList required = requiredItems() + QStringList{"PermFlow"};
        {
            SqliteConnection db(from);
            SqliteTransaction tx(db);
            SqliteStatement ins(db, "INSERT INTO Data (" + dataCols.join(',') + ") VALUES (" +
                                        QStringList(dataCols.size(), "?").join(',') + ")");
            auto* rng = QRandomGenerator::global();
            for (int i = 0; i < 3000; ++i) {
                for (int k = 0; k < dataCols.size(); ++k) {
                    const QString& c = dataCols[k];
                    if (c == "ProjectID")
                        ins.bind(k, QString("P1"));
                    else if (c == "TheDate")
                        ins.bind(k, QDateTime(QDate(2020, 1, 1), QTime(0, 0))
                                        .addSecs(qint64(i) * 3607)
                                        .toString("yyyy-MM-dd HH:mm:ss"));
                    else if (c == "TrainNumber")
                        ins.bind(k, qint64(1));
                    else if (c == "EventID")
                        ins.bind(k, qint64(i % 4));
                    else if (c == "Bank")
                        ins.bind(k, qint64(i % 3 + 1));
                    else if (!required.contains(c, Qt::CaseInsensitive) && rng->bounded(10) == 0)
                        ins.bind(k, QVariant());
                    else
                        ins.bind(k, (rng->generateDouble() - 0.3) * std::pow(10.0, rng->bounded(-8, 8)));
                }
                ins.step();
                ins.reset();
            }
            tx.commit();
        }
        p.ProjectDatabasePath = from;
        setVersion(p, 1, 3, 38);
        ExportRequest r{0, "P1 Train:1", {}, {}, true, env.path("trip.txt"), {}};
        CreateFile(p, r);
        p.ProjectDatabasePath = makeBlankDatabase(env.path("to.mdb"));
        ImportChoice c;
        QCOMPARE(ChooseImportFile(p, r.outputFile, c), ChoiceOutcome::NewProject);
        QCOMPARE(RunImport(p, c, allDates()).inserted, 3000);
        QVERIFY2(env.prompts.verify().isEmpty(), qPrintable(env.prompts.verify()));

        auto rowsOf = [&](const QString& path, const QString& sql) {
            return Database::open(path).select(sql);
        };
        const QString dataSql = "SELECT " + dataCols.join(',') + " FROM Data ORDER BY TheDate";
        const DbRows a = rowsOf(from, dataSql), b = rowsOf(p.ProjectDatabasePath, dataSql);
        QCOMPARE(b.count(), a.count());
        // Without the element the file's calculated values are not stored.
        auto calculated = [](const QString& c) {
            for (const ReadColumn& r : ReadColumns)
                if (r.kind == ReadKind::Result && c.compare(QLatin1String(r.name), Qt::CaseInsensitive) == 0)
                    return true;
            return c.startsWith("Spec", Qt::CaseInsensitive);
        };
        auto same = [](const QVariant& x, const QVariant& y, bool specFlux) {
            if (conv::isNull(x)) return specFlux ? y.toDouble() == 0 : conv::isNull(y);
            if (x.typeId() == QMetaType::QString) return x.toString() == y.toString();
            const double u = x.toDouble(), v = y.toDouble();
            return std::fabs(u - v) <= 1e-14 * std::fabs(u); // 15 significant digits
        };
        for (int i = 0; i < a.count(); ++i)
            for (int k = 0; k < dataCols.size(); ++k)
                QVERIFY2(calculated(dataCols[k]) ? conv::isNull(b.at(i).value(k))
                                                 : same(a.at(i).value(k), b.at(i).value(k), false),
                         qPrintable(QString("row %1 %2: %3 vs %4")
                                        .arg(i)
                                        .arg(dataCols[k], a.at(i).value(k).toString(),
                                             b.at(i).value(k).toString())));
        const QString projectSql = "SELECT " + ExchangeProjectColumns().join(',') + " FROM ProjectInfo";
        const DbRow pa = rowsOf(from, projectSql).first(),
                    pb = rowsOf(p.ProjectDatabasePath, projectSql).first();
        // Items that may be unknown come back unknown; another Null comes back as the 0 it reads as.
        const QStringList unknown = {"AvgConc",           "Density",  "RefpH",     "numVessels",
                                     "ElementsPerVessel", "FeedType", "dataExists"};
        for (int k = 0; k < pa.fieldCount(); ++k)
            QVERIFY2(unknown.contains(pa.fieldName(k), Qt::CaseInsensitive)
                         ? conv::isNull(pa.value(k)) && conv::isNull(pb.value(k))
                     : conv::isNull(pa.value(k)) ? pb.value(k).toDouble() == 0
                                                 : same(pa.value(k), pb.value(k), false),
                     qPrintable(pa.fieldName(k)));
        QCOMPARE(valueOf(p, "SELECT ORP FROM UserDefined WHERE ProjectID = 'P1'").toString(), "Redox");
    }
};

QTEST_MAIN(TestExchangeLogic)
#include "tst_exchangelogic.moc"
