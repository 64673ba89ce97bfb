#include <QProcess>
#include <QtTest>
#include <sys/resource.h>

#include "platform/database.h"
#include "platform/sqlite.h"
#include "support/files.h"
#include "support/readonlyfile.h"

using namespace hv;

namespace {

struct Said {
    int code = -1; // -1: the tool did not end by itself
    QString text;  // its output and its errors
};

const QStringList import{"import", "--database", "DB", "--file", "FILE"};
const QStringList recalc{"--database", "DB", "--elements", "ELEMENTS"};
const QStringList migrate{"--from", "FROM", "--to", "DB", "--elements", "ELEMENTS"};

} // namespace

// The bulk tools under a file-size limit as a shell sets it (soft and hard alike, so that no
// playback can lift it), on a database they cannot write, and in the README's sequence.
class TestToolLimits : public QObject {
    Q_OBJECT
    const QString bin = QCoreApplication::applicationDirPath();
    QTemporaryDir dir;
    QString elements, blank, full, exchange;

    // Runs a tool of the bin folder; with `limit` > 0 under that hard file-size limit.
    Said run(const QString& tool, const QStringList& args, qint64 limit = 0) {
        QProcess p;
        if (limit > 0)
            p.setChildProcessModifier([limit] {
                const rlimit r{rlim_t(limit), rlim_t(limit)};
                ::setrlimit(RLIMIT_FSIZE, &r);
            });
        p.start(bin + "/" + tool, args);
        if (!p.waitForFinished(120000)) p.kill();
        p.waitForFinished();
        const QString text = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, text};
    }

    // The database `name`, a copy of the full one, with the journal a program that stopped
    // halfway through a change to every reading left beside it: with the changed pages
    // written to the file, or none yet.
    QString withAJournal(const QString& name, bool written) {
        const QString writing = copyOf(full, "writing.mdb");
        const QString to = copyOf(full, name);
        SqliteConnection w(writing);
        w.exec("PRAGMA cache_size = 2");
        w.begin();
        w.exec("UPDATE Data SET FeedFlow = FeedFlow + 1");
        if (written) {
            QFile::remove(to);
            QFile::copy(writing, to);
        }
        QFile::copy(writing + "-journal", to + "-journal");
        return to;
    }

    QString copyOf(const QString& from, const QString& name) {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        QFile::remove(to + "-journal");
        QFile::copy(from, to);
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        return to;
    }

    // DB, FILE, ELEMENTS and FROM stand for their paths.
    QStringList argsFor(QStringList args, const QString& db) const {
        for (QString& a : args)
            a = a == "DB" ? db : a == "FILE" ? exchange : a == "ELEMENTS" ? elements : a == "FROM" ? full : a;
        return args;
    }

    static void spoil(const QString& db, const QString& kind) {
        if (kind == "damaged") {
            // A page no tool reads before it writes.
            const DbRow at = Database::open(db)
                                 .select("SELECT rootpage, (SELECT page_size FROM pragma_page_size) AS size "
                                         "FROM sqlite_master WHERE name = 'sqlite_sequence'")
                                 .first();
            QFile f(db);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(at.toInt32("rootpage") - 1) * at.toInt32("size")));
            f.write(QByteArray(at.toInt32("size"), '\x5a'));
            return;
        }
        Database d = Database::open(db);
        if (kind == "newer") d.exec("INSERT INTO Version (Version, Notes) VALUES ('2.0.0', '')");
        if (kind == "two-bank") d.exec("INSERT INTO Version (Version, Notes) VALUES ('1.2.7', '')");
        if (kind == "no version") d.exec("DELETE FROM Version");
        if (kind == "no Bank") d.exec("ALTER TABLE Data DROP COLUMN Bank");
    }

private slots:
    void initTestCase() {
        for (const char* tool : {"hevrin-bench-gen", "hevrin-exchange", "hevrin-recalc", "hevrin-migrate"})
            if (!QFile::exists(bin + "/" + tool)) QSKIP("the bulk tools are not built");
        elements = HEVRIN_TEMPLATE_DIR "/ostrelmem.mdb";
        blank = HEVRIN_TEMPLATE_DIR "/db.hv3.mdb";
        full = dir.filePath("full.mdb");
        QCOMPARE(run("hevrin-bench-gen", {"--readings", "3000", "--out", full, "--template", blank}).code, 0);
        exchange = dir.filePath("train.txt");
        const DbRow train =
            Database::open(full).select("SELECT ProjectID, TrainNumber FROM ProjectInfo ORDER BY ID").first();
        const Said exported = run(
            "hevrin-exchange", {"export", "--database", full, "--project", train.toText("ProjectID"),
                                "--train", QString::number(train.toInt16("TrainNumber")), "--out", exchange});
        QVERIFY2(exported.code == 0, qPrintable(exported.text));
        // The train's readings are taken out, so that an import stores them again.
        Database::open(full).exec("DELETE FROM Data WHERE ProjectID = ? AND TrainNumber = ?",
                                  {train.value("ProjectID"), train.value("TrainNumber")});
    }

    // A run the limit stops names it, fails, and leaves no journal: the database file alone
    // is whole, and an import leaves it as it was. `room` is what the limit leaves above the
    // database's size (below it when negative, where the journal's playback meets it too).
    void stoppedByAHardLimit_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("empty"); // into a blank database, else into the full one
        QTest::addColumn<int>("room");
        QTest::newRow("import, new project") << "hevrin-exchange" << import << true << -16384;
        QTest::newRow("import --overwrite")
            << "hevrin-exchange" << import + QStringList{"--overwrite"} << false << -65536;
        QTest::newRow("import --add")
            << "hevrin-exchange" << import + QStringList{"--add"} << false << -65536;
        QTest::newRow("recalculation") << "hevrin-recalc" << recalc << false << -65536;
        QTest::newRow("migration") << "hevrin-migrate" << migrate << true << 65536;
    }
    void stoppedByAHardLimit() {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        QFETCH(bool, empty);
        QFETCH(int, room);
        const QString db = copyOf(empty ? blank : full, "work.mdb");
        const QString before =
            Database::open(db).scalar("SELECT count(*) || ' ' || total(FeedFlow) FROM Data").toString();
        const Said said = run(tool, argsFor(args, db), QFileInfo(db).size() + room);
        QVERIFY2(said.code > 0, qPrintable(said.text));
        QVERIFY2(said.text.contains("file-size limit of"), qPrintable(said.text));
        QVERIFY(!QFile::exists(db + "-journal"));
        Database after = Database::open(db);
        QCOMPARE(after.scalar("PRAGMA integrity_check").toString(), QString("ok"));
        if (tool == "hevrin-exchange")
            QCOMPARE(after.scalar("SELECT count(*) || ' ' || total(FeedFlow) FROM Data").toString(), before);
    }

    // The README's sequence: generate, export, and the file added to the database it came from.
    // A stored row lacking what its readings are calculated with is named.
    void generateExportAdd() {
        const QString db = dir.filePath("gen.mdb"), file = dir.filePath("gen.txt");
        const QStringList add{"import", "--database", db, "--file", file, "--add"};
        for (const QStringList& args :
             {QStringList{"generate", "--out", db, "--readings", "300", "--template", blank},
              QStringList{"export", "--database", db, "--project", "P1", "--train", "1", "--out", file},
              add}) {
            const Said said = run("hevrin-exchange", args);
            QVERIFY2(said.code == 0, qPrintable(said.text));
            if (args == add)
                QVERIFY2(said.text.contains("300 already stored for the train"), qPrintable(said.text));
        }
        Database::open(db).exec("UPDATE ProjectInfo SET FeeduS = NULL");
        const Said said = run("hevrin-exchange", add);
        QVERIFY2(said.code > 0 && said.text.contains("holds no FeeduS value"), qPrintable(said.text));
    }

    // A journal an earlier stop left is played back by the tools' open where the pages past a
    // hard file-size limit already hold what it holds; elsewhere the limit or the read-only
    // folder that keeps it is named. A failure the graph window reported fails the tool.
    void metAtOpenOrSave_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("journal"); // "as journaled", "written" or none
        QTest::addColumn<QString>("held");    // "limit" (64 KiB below the file), "folder", "file"
        QTest::addColumn<QString>("said");    // none: the tool succeeds
        const QStringList exported{"export",  "--database", "DB",    "--project", "P",
                                   "--train", "N",          "--out", "OUT.txt"};
        const QStringList picture{"--database", "DB", "--project", "P", "--train", "N", "--out", "OUT.svg"};
        const QStringList window{"--database", "DB", "--project", "P", "--train", "N", "--window"};
        const QString ex = "hevrin-exchange", graph = "hevrin-graph", none;
        const QString asJournaled = "as journaled", written = "written";
        const QString limit = "limit", folder = "folder", file = "file";
        const QString limitNamed =
            "cannot be played back: the file reached this process's file-size limit of";
        const QString folderNamed = "which is read-only";
        QTest::newRow("export, journal played back") << ex << exported << asJournaled << limit << none;
        QTest::newRow("export, limit") << ex << exported << written << limit << limitNamed;
        QTest::newRow("graph picture, limit") << graph << picture << written << limit << limitNamed;
        QTest::newRow("export, read-only folder") << ex << exported << written << folder << folderNamed;
        QTest::newRow("graph picture, read-only folder")
            << graph << picture << written << folder << folderNamed;
        QTest::newRow("graph window, Last Graph not saved") << graph << window << none << file << "readonly";
    }
    void metAtOpenOrSave() {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        QFETCH(QString, journal);
        QFETCH(QString, held);
        QFETCH(QString, said);
        if (!QFile::exists(bin + "/" + tool)) QSKIP("the graph tools are not built");
        QDir(dir.path()).mkpath("plant");
        const QString db = journal.isEmpty() ? copyOf(full, "plant/work.mdb")
                                             : withAJournal("plant/work.mdb", journal == "written");
        const DbRow train =
            Database::open(full).select("SELECT ProjectID, TrainNumber FROM Data LIMIT 1").first();
        const QString out = dir.filePath("out");
        for (QString& a : args)
            a = a == "P"   ? train.toText("ProjectID")
                : a == "N" ? train.toText("TrainNumber")
                           : a.replace("OUT", out);
        std::optional<test::ReadOnlyFile> readOnly;
        if (held == "folder" || held == "file") {
            readOnly.emplace(held == "file" ? db : dir.filePath("plant"));
            if (!readOnly->held()) QSKIP("the file system takes no read-only file");
        }
        const Said ran = run(tool, argsFor(args, db), held == "limit" ? QFileInfo(db).size() - 65536 : 0);
        readOnly.reset();
        if (said.isEmpty()) {
            QVERIFY2(ran.code == 0, qPrintable(ran.text));
            QVERIFY(!QFile::exists(db + "-journal"));
        } else {
            QVERIFY2(ran.code > 0 && ran.text.contains(said), qPrintable(ran.text));
        }
    }

    // A tool that builds a database at --out leaves nothing there, nor beside it, after the
    // file-size limit stopped it, whether at the template's copy or while filling it.
    void stopLeavesNothingAtOut_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("room"); // what the limit leaves above the template's size
        const QStringList generate{"generate", "--readings", "3000", "--template", "BLANK", "--out", "OUT"};
        const QStringList graphGen{"--years", "1", "--template", "BLANK", "--out", "OUT"};
        QTest::newRow("generate, template copy") << "hevrin-exchange" << generate << -65536;
        QTest::newRow("generate, filling") << "hevrin-exchange" << generate << 65536;
        QTest::newRow("graph-gen, template copy") << "hevrin-graph-gen" << graphGen << -65536;
        QTest::newRow("graph-gen, filling") << "hevrin-graph-gen" << graphGen << 65536;
    }
    void stopLeavesNothingAtOut() {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        QFETCH(int, room);
        if (!QFile::exists(bin + "/" + tool)) QSKIP("the graph tools are not built");
        QDir(dir.path()).mkpath("made");
        const QString out = dir.filePath("made/new.mdb");
        for (QString& a : args)
            a = a == "BLANK" ? blank : a == "OUT" ? out : a;
        const Said said = run(tool, args, QFileInfo(blank).size() + room);
        QVERIFY2(said.code > 0 && said.text.contains("file-size limit of"), qPrintable(said.text));
        QCOMPARE(QDir(dir.filePath("made")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    // A database the tool cannot write, or one start-up would not open, is named with its path
    // and why before any work, as start-up names it; a file the import refuses is said in the
    // program's words.
    void refusedBeforeAnyWork_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("readOnly"); // "file", "folder", or "" for none
        QTest::addColumn<QString>("spoilt");   // what is done to the database first; "" for nothing
        QTest::addColumn<QString>("said");
        const std::pair<const char*, QString> held[] = {
            {"file", "cannot be written: the file is read-only (%1)."},
            {"folder", "cannot be written: its folder %2 is read-only (%1)"}};
        for (const auto& [what, said] : held) {
            QTest::addRow("import, %s", what) << "hevrin-exchange" << import << what << "" << said;
            QTest::addRow("recalculation, %s", what) << "hevrin-recalc" << recalc << what << "" << said;
            QTest::addRow("migration, %s", what) << "hevrin-migrate" << migrate << what << "" << said;
        }
        const std::pair<const char*, QString> spoilt[] = {
            {"newer", "It was written by a newer version of Hevrin (database version 2.0.0, this program "
                      "1.3.38)"},
            {"damaged", "It is damaged."},
            {"no Bank", "It is not a project database: its table Data has no column Bank."},
            {"no version", "It is not a project database: its table Version holds no version."},
            {"two-bank", "It is an old database (version 1.2.7) that needs the migration"}};
        for (const auto& [kind, said] : spoilt) {
            QTest::addRow("import, %s", kind) << "hevrin-exchange" << import << "" << kind << said;
            QTest::addRow("recalculation, %s", kind) << "hevrin-recalc" << recalc << "" << kind << said;
            QTest::addRow("migration, %s", kind) << "hevrin-migrate" << migrate << "" << kind << said;
        }
        QTest::newRow("import of a file that is not an exchange file")
            << "hevrin-exchange" << QStringList{"import", "--database", "DB", "--file", "ELEMENTS"} << ""
            << ""
            << "message: This IMPORT file cannot be read";
    }
    void refusedBeforeAnyWork() {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        QFETCH(QString, readOnly);
        QFETCH(QString, spoilt);
        QFETCH(QString, said);
        QDir(dir.path()).mkpath("plant");
        const QString db = copyOf(full, "plant/work.mdb");
        if (!spoilt.isEmpty()) {
            spoil(db, spoilt);
            said = "Hevrin cannot use the project database " + db + " " + said;
        }
        const QByteArray before = test::readFile(db);
        std::optional<test::ReadOnlyFile> held;
        if (!readOnly.isEmpty()) {
            held.emplace(readOnly == "file" ? db : dir.filePath("plant"));
            if (!held->held()) QSKIP("the file system takes no read-only file");
            said = "The project database " + db + " " +
                   said.replace("%1", held->refusal()).replace("%2", dir.filePath("plant"));
        }
        const Said out = run(tool, argsFor(args, db));
        held.reset();
        QVERIFY2(out.code > 0, qPrintable(out.text));
        QVERIFY2(out.text.contains(said), qPrintable(out.text));
        QVERIFY2(!out.text.contains("unanswered") && !out.text.contains("readonly database"),
                 qPrintable(out.text));
        QVERIFY(test::readFile(db) == before);
    }
};

QTEST_GUILESS_MAIN(TestToolLimits)
#include "tst_toollimits.moc"
