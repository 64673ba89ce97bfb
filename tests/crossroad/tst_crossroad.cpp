// One table of cases, each sent down every road that can carry it and compared with one
// expected outcome: a rule that one road keeps a copy of shows here as the road that differs.
// A new rule is a row; a new road is a column.
#include <QtTest>

#include "collection/pollrun.h"
#include "collection/reading.h"
#include "collection/readingcheck.h"
#include "core/dbversion.h"
#include "core/refusal.h"
#include "core/typedinput.h"
#include "maintenance/dataview.h"
#include "maintenance/exchangetestsupport.h"
#include "maintenance/migration.h"
#include "maintenance/recordeditor.h"
#include "normalization/readingorder.h"
#include "spreadsheet/importrun.h"
#include "spreadsheet/sheetcells.h"
#include "support/plant.h"

using namespace hv;

namespace {

enum class Road { Typed, Polled, Sheet, Exchange, RecordEditor, Migration };
const char* roadName(Road r) {
    static const char* const names[] = {"typed",         "polled",        "sheet",
                                        "exchange file", "record editor", "migration"};
    return names[int(r)];
}

// What became of the one reading a road was given.
struct Outcome {
    enum Kind { Stored, Refused, AlreadyStored } kind = Refused;
    DbRow row;    // the stored reading
    QString said; // a refusal's words
};

// A reading of the reference plant as a person, a control system or a sheet gives it: item
// texts in the computer's own form, one of them the case's.
struct Case {
    int banks = 1;
    int item = -1; // the item whose text is the case's; -1 none
    QString text;
    QString date = "2020-01-05 08:00:00";
    QString note;
};

// FROM migrated into TO as the migration window runs it.
MigrationResult migrate(Program& p, const QString& from, const QString& to) {
    const auto side = [&](const QString& path) {
        MigrationDb db;
        db.path = path;
        p.SuppressDbUpgrade = true;
        UpgradeDatabase(p, path, db.major, db.minor, db.revision, db.projects, db.readings);
        p.SuppressDbUpgrade = false;
        return db;
    };
    return Migration(p, side(from), side(to), NoProgress()).run();
}

struct Sink : SheetImportProgress {
    void showState(const SheetImportState&) override {}
    void say(const QString&) override {}
};

struct Links : LinkRowSource {
    std::array<QString, ItemCount> answers;
    RowFetchFailure fetch(const std::vector<RowLink>& rows, std::array<QString, ItemCount>& texts) override {
        for (size_t k = 0; k < rows.size(); ++k)
            if (rows[k].linked) texts[k] = answers[k];
        return {};
    }
};

class Roads {
public:
    Roads(const Case& c, const QString& storedBefore) : c_(c), storedBefore_(storedBefore) {
        info_ = test::makeReferencePlant(p(), c.banks);
        if (!storedBefore.isEmpty())
            test::insertReading(p().ProjectDatabasePath, c.banks, {{"TheDate", storedBefore}});
        before_ = count();
    }
    Program& p() { return env_.prog(); }

    Outcome run(Road r) {
        switch (r) {
        case Road::Typed:
            return typed();
        case Road::Polled:
            return polled();
        case Road::Sheet:
            return sheet();
        case Road::Exchange:
            return exchange();
        case Road::RecordEditor:
            return recordEditor();
        case Road::Migration:
            return migration();
        }
        return {};
    }
    // Whether the road carries the case: an exchange file has no note and holds stored values,
    // bank values as they are.
    // The record editor and the migration carry stored values: no bank balance, and a note as
    // the editor's box or the other database holds it.
    bool carries(Road r) const {
        if (r == Road::Typed || r == Road::Polled || r == Road::Sheet) return true;
        if (!c_.note.isEmpty() || c_.banks != 1) return false;
        return r != Road::Migration || c_.text.isEmpty();
    }

private:
    // Each item's text: the reference reading's, the case's where it names one.
    std::array<QString, ItemCount> texts(bool fileForm) const {
        std::array<QString, ItemCount> t;
        for (int i = 0; i < ItemCount; ++i) {
            t[size_t(i)] = test::sheetCell(info_, 0, i);
            if (fileForm && i != item::TheDate) {
                bool ok = false;
                const double x = QLocale().toDouble(t[size_t(i)], &ok);
                if (ok) t[size_t(i)] = QString::number(x, 'g', 15);
            }
        }
        t[item::TheDate] = c_.date;
        if (c_.item >= 0) t[size_t(c_.item)] = c_.text;
        return t;
    }
    std::array<EntryRow, ItemCount> rows(const std::array<QString, ItemCount>& t) const {
        std::array<EntryRow, ItemCount> r;
        const QStringList captions = ItemFieldList();
        for (int k = 0; k < ItemCount; ++k)
            r[size_t(k)] = {k, captions[k], t[size_t(k)], QString(), !ItemIsOptional(k), false};
        return r;
    }
    int count() {
        return Database::open(p().ProjectDatabasePath).scalar("SELECT count(*) FROM Data").toInt();
    }
    Outcome stored() {
        Outcome o;
        if (count() == before_) return o;
        o.kind = Outcome::Stored;
        o.row = Database::open(p().ProjectDatabasePath)
                    .select("SELECT * FROM Data ORDER BY ID DESC LIMIT 1")
                    .first();
        return o;
    }
    static Outcome refused(const QString& said, bool alreadyStored = false) {
        Outcome o;
        o.kind = alreadyStored ? Outcome::AlreadyStored : Outcome::Refused;
        o.said = said;
        return o;
    }
    QDateTime now() const { return QDateTime(QDate(2030, 1, 1), QTime(0, 0)); }

    Outcome typed() {
        const ProjectInfoRecord cp = p().CurrentProject;
        std::array<EntryRow, ItemCount> r = rows(texts(false));
        ReadingValues v;
        const EntryCheck check = CheckReading(cp, r, QString(), false, p().DecimalSeparatorCode, v, now());
        if (!check.passed()) return refused(RefusalText(check, r));
        ApplyBankBalance(v, cp.NumBanks, cp.SystemData);
        const SavedReading s = StoreReading(p(), cp, v, 0, NoteForStorage(c_.note));
        if (s.outcome == ReadingIntake::Outcome::AlreadyStored)
            return refused(Refusal::alreadyStored(cp.ProjectID, cp.TrainNumber, v.TheDate).text, true);
        if (s.outcome == ReadingIntake::Outcome::CalculationFailed) return refused(s.failure);
        return stored();
    }

    Outcome polled() {
        PollSetup setup;
        setup.project = p().CurrentProject;
        setup.now = now();
        setup.note = c_.note;
        setup.decimalCode = p().DecimalSeparatorCode;
        Links links;
        links.answers = texts(false);
        const std::array<EntryRow, ItemCount> r = rows({});
        for (int k = 0; k < ItemCount; ++k) {
            setup.rows[size_t(k)] = r[size_t(k)];
            setup.links.push_back({true, "plant", "Sheet1", QString("R%1C1").arg(k + 1)});
        }
        const PollOutcome out = RunPoll(p(), setup, links, NoProgress());
        if (out.end == PollOutcome::End::Taken) {
            if (out.saved.outcome == ReadingIntake::Outcome::AlreadyStored)
                return refused(out.saved.failure, true);
            return stored();
        }
        return refused(RefusalText(out.check, setup.rows) + out.saved.failure);
    }

    Outcome sheet() {
        SheetImportSetup s;
        s.project = p().CurrentProject;
        s.databasePath = p().ProjectDatabasePath;
        s.rows = rows({});
        for (int k = 0; k < ItemCount; ++k)
            s.links.push_back({true, "Sheet", "Log", {}});
        s.allRows = true;
        s.now = now();
        s.note = c_.note;
        Links cells;
        cells.answers = texts(false);
        SheetImportState start;
        for (int k = 0; k < ItemCount; ++k)
            start.cells[size_t(k)] = QString("R2C%1").arg(k + 1);
        // One row: the next fetch finds the sheet's end.
        struct OneRow : LinkRowSource {
            Links& row;
            int fetched = 0;
            explicit OneRow(Links& r) : row(r) {}
            RowFetchFailure fetch(const std::vector<RowLink>& rows,
                                  std::array<QString, ItemCount>& t) override {
                if (fetched++ == 0) return row.fetch(rows, t);
                t.fill(QString());
                return {};
            }
        } source(cells);
        Sink sink;
        // The window fetches the first row before the run, as its test poll does.
        if (const RowFetchFailure f = FetchSheetRow(s, start, source)) return refused("fetch: " + f.cause);
        const SheetImportOutcome o = RunSheetImport(p(), s, start, source, sink);
        if (o.skipped > 0) return refused(QString(), true);
        if (o.stored.stored() > 0) return stored();
        return refused(QString("end %1: ").arg(int(o.end)) + o.refusal + o.fetch.cause);
    }

    Outcome exchange() {
        // The sample file's reading columns, the case's item among them.
        const std::array<QString, ItemCount> t = texts(true);
        QStringList file = test::sampleFile();
        QStringList header = file[4].split(';');
        QStringList line = test::full("P1;" + c_.date + ";1;" + t[item::PermFlow] + ";1").split(';');
        if (c_.item >= 0) {
            const QString column = ItemFieldList()[c_.item];
            qsizetype at = header.indexOf(column);
            if (at < 0) {
                header << column;
                line << QString();
                at = header.size() - 1;
            }
            line[at] = c_.text;
        }
        file = file.mid(0, 4) + QStringList{header.join(';'), line.join(';')};
        env_.prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, "", Answer::No);
        ImportChoice choice;
        const ChoiceOutcome chosen = ChooseImportFile(p(), test::writeFile(env_, "case.txt", file), choice);
        if (chosen != ChoiceOutcome::AddOnly) return refused(env_.prompts.shown().join('\n'));
        const ImportResult r = RunImport(p(), choice, test::allDates());
        if (r.alreadyStored > 0) return refused(QString(), true);
        if (r.inserted > 0) return stored();
        return refused(env_.prompts.shown().join('\n') + r.firstFailure);
    }

    // The newest reading of the train edited to the case's date or value, as the reading
    // editor stores it.
    Outcome recordEditor() {
        Database db = Database::open(p().ProjectDatabasePath);
        const ProjectInfoRecord cp = p().CurrentProject;
        if (c_.item < 0) {
            const QString why = ReadingKeyRefusal(db, 0, cp.ProjectID, cp.TrainNumber, c_.date);
            if (!why.isEmpty()) return refused(why, true);
        }
        test::insertReading(p().ProjectDatabasePath, c_.banks, {{"TheDate", "2019-12-31 08:00:00"}});
        ++before_;
        const QString column = c_.item >= 0 ? ItemFieldList()[c_.item] : QString("TheDate");
        const std::unique_ptr<RecordSet> rs = TrainReadingRecords(db, {column}, cp.ProjectID, cp.TrainNumber);
        rs->moveFirst();
        try {
            rs->setValue(column, rs->valueFromText(column, c_.item >= 0 ? c_.text : c_.date));
            rs->update();
        } catch (const DbError& e) {
            return refused(e.description());
        }
        Outcome o;
        o.kind = Outcome::Stored;
        o.row = db.select("SELECT * FROM Data WHERE ID = ?", {rs->bookmark()}).first();
        return o;
    }

    // The reading in a two-bank database of the same plant, migrated into a blank one.
    Outcome migration() {
        const QString from = test::makeTwoBankDatabase(env_.path("plant.hv.mdb"));
        const QString to = test::makeBlankDatabase(env_.path("to.hv3.mdb"));
        test::insertProjectInfo(from, c_.banks);
        if (!storedBefore_.isEmpty()) test::insertReading(from, c_.banks, {{"TheDate", storedBefore_}});
        QVariantMap reading{{"TheDate", c_.date}};
        if (c_.item >= 0) reading[ItemFieldList()[c_.item]] = QVariant();
        test::insertReading(from, c_.banks, reading);
        const MigrationResult r = migrate(p(), from, to);
        if (!r.completed) return refused(r.failure + r.refused.join('\n'));
        if (r.sameDate > 0) return refused(MigrationLeftOutText(r), true);
        Outcome o;
        o.kind = Outcome::Stored;
        o.row = Database::open(to).select("SELECT * FROM Data ORDER BY ID DESC LIMIT 1").first();
        return o;
    }

    test::TestEnv env_;
    Case c_;
    QString storedBefore_;
    DbRow info_;
    int before_ = 0;
};

// A project train whose row holds the case's value in one column, beside a good train, sent
// down each road that takes a project row: what the road says of it, and whether the good
// train still went through.
struct ProjectCase {
    QString column;
    QString text; // "" for Null
};

QVariant projectValue(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text.toLongLong());
}

struct ProjectRoads {
    test::TestEnv env;
    Program& p() { return env.prog(); }

    // Line 3 of an exchange file of project P2 holding the case's value.
    QString exchange(const ProjectCase& c) {
        test::makeReferencePlant(p(), 1);
        QStringList file = test::withProjectValue(test::sampleFile(), "ProjectID", "P2");
        file = test::withProjectValue(file, c.column, c.text);
        for (int l = 5; l < file.size(); ++l)
            file[l].replace("P1;", "P2;");
        if (c.column == "TrainNumber")
            for (int l = 5; l < file.size(); ++l) {
                QStringList f = file[l].split(';');
                f[2] = c.text;
                file[l] = f.join(';');
            }
        ImportChoice choice;
        env.prompts.onMessage("", Answer::OK);
        const ChoiceOutcome o = ChooseImportFile(p(), test::writeFile(env, "case.txt", file), choice);
        if (o != ChoiceOutcome::Refused) return "accepted";
        return env.prompts.shown().join('\n');
    }

    // A two-bank database holding P1 train 1 and the case's train P2, migrated.
    QString migration(const ProjectCase& c, bool& goodCopied) {
        test::makeReferencePlant(p(), 1);
        const QString from = test::makeTwoBankDatabase(env.path("plant.hv.mdb"));
        const QString to = test::makeBlankDatabase(env.path("to.hv3.mdb"));
        test::insertProjectInfo(from, 1);
        test::insertReading(from, 1);
        test::insertProjectInfo(from, 1, {{"ProjectID", "P2"}, {c.column, projectValue(c.text)}});
        test::insertReading(
            from, 1,
            {{"ProjectID", "P2"},
             {"TrainNumber", c.column == "TrainNumber" ? projectValue(c.text) : QVariant(1)}});
        const MigrationResult r = migrate(p(), from, to);
        goodCopied =
            Database::open(to).scalar("SELECT count(*) FROM Data WHERE ProjectID = 'P1'").toInt() == 1;
        return r.failure + r.refused.join('\n');
    }

    // The project record editor storing the case's value over the plant's train.
    QString recordEditor(const ProjectCase& c) {
        test::makeReferencePlant(p(), 1);
        Database db = Database::open(p().ProjectDatabasePath);
        const std::unique_ptr<RecordSet> rs = TrainProjectRecord(db, {c.column}, "P1", 1);
        rs->moveFirst();
        try {
            rs->setValue(c.column, rs->valueFromText(c.column, c.text));
            rs->update();
        } catch (const DbError& e) {
            return e.description();
        }
        return "stored";
    }
};

} // namespace

class TestCrossRoad : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // A reading's value, date and note. `value` is what the case's column holds afterwards:
    // a number, Null (an invalid QVariant) or, for a refusal, the words every road says.
    void readingRoads_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("banks");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("storedBefore"); // a date the train holds already
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("column"); // the column to compare
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("value");
        const QString d = "2020-01-05 08:00:00";
        const int S = Outcome::Stored, R = Outcome::Refused, A = Outcome::AlreadyStored;
        const QVariant null;
        // clang-format off
        QTest::newRow("group mark after a lone 0, English") << "en_GB" << 1 << int(item::ORP) << "0,450" << d << "" << "" << "ORP" << R << QVariant("holds \"0,450\", which is not a number");
        QTest::newRow("group mark after a lone 0, C") << "C" << 1 << int(item::ORP) << "0,450" << d << "" << "" << "ORP" << R << QVariant("holds \"0,450\", which is not a number");
        QTest::newRow("point after a lone 0, German") << "de_DE" << 1 << int(item::ORP) << "0.450" << d << "" << "" << "ORP" << S << QVariant(0.45);
        QTest::newRow("exponent") << "en_GB" << 1 << int(item::ORP) << "1e3" << d << "" << "" << "ORP" << S << QVariant(1000.0);
        QTest::newRow("empty optional item") << "en_GB" << 1 << int(item::ORP) << "" << d << "" << "" << "ORP" << S << null;
        QTest::newRow("blank note") << "en_GB" << 1 << -1 << "" << d << "" << "   " << "Note1" << S << null;
        QTest::newRow("fraction of a second stored") << "en_GB" << 1 << -1 << "" << d << "2020-01-05 08:00:00.000" << "" << "" << A << null;
        QTest::newRow("T spelling stored") << "en_GB" << 1 << -1 << "" << d << "2020-01-05T08:00:00" << "" << "" << A << null;
        QTest::newRow("two banks, bank balance") << "en_GB" << 2 << -1 << "" << d << "" << "" << "PermFlow_1" << S << QVariant("typed");
        // clang-format on
    }
    void readingRoads() {
        QFETCH(QString, locale);
        QFETCH(int, banks);
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(QString, date);
        QFETCH(QString, storedBefore);
        QFETCH(QString, note);
        QFETCH(QString, column);
        QFETCH(int, kind);
        QFETCH(QVariant, value);
        QVariant typedValue;
        QStringList differ;
        for (Road road :
             {Road::Typed, Road::Polled, Road::Sheet, Road::Exchange, Road::RecordEditor, Road::Migration}) {
            QLocale::setDefault(QLocale(locale));
            Roads roads(Case{banks, item, text, date, note}, storedBefore);
            if (!roads.carries(road)) continue;
            Outcome o;
            try {
                o = roads.run(road);
            } catch (const RunError& e) {
                o.said = "raised: " + e.description();
            }
            QVariant got = o.kind == Outcome::Stored && !column.isEmpty() ? o.row.value(column) : QVariant();
            if (conv::isNull(got)) got = QVariant();
            if (road == Road::Typed) typedValue = got;
            QVariant want = value;
            if (want.toString() == "typed") want = typedValue;
            bool same = o.kind == kind;
            if (same && kind == Outcome::Stored)
                same = want.isValid() ? got.isValid() && qAbs(got.toDouble() - want.toDouble()) < 1e-9
                                      : !got.isValid();
            if (same && kind == Outcome::Refused) same = o.said.contains(want.toString());
            if (!same)
                differ << QString("%1: kind %2, value %3, said %4")
                              .arg(roadName(road))
                              .arg(int(o.kind))
                              .arg(got.toString(), o.said);
        }
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join('\n')));
    }

    // A project row with a value outside its column's rule: each road that takes project rows
    // names the column, the value and the rule in one sentence, and (the migration) carries on
    // with the good train.
    void projectRoads_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("said");
        QTest::newRow("four banks") << "NumBanks"
                                    << "4"
                                    << "holds \"4\", which is not a whole number from 1 to 3.";
        QTest::newRow("no banks") << "NumBanks"
                                  << "0"
                                  << "holds \"0\", which is not a whole number from 1 to 3.";
        QTest::newRow("train 0") << "TrainNumber"
                                 << "0"
                                 << "holds \"0\", which is not a whole number from 1 to 32767.";
        QTest::newRow("Null back pressure") << "PermBackPress"
                                            << ""
                                            << "holds no value, and one is needed.";
        QTest::newRow("Null bank count") << "NumBanks"
                                         << ""
                                         << "holds no value, and one is needed.";
    }
    void projectRoads() {
        QFETCH(QString, column);
        QFETCH(QString, text);
        QFETCH(QString, said);
        QStringList differ;
        {
            ProjectRoads r;
            const QString got = r.exchange({column, text});
            if (!got.contains(said) || !got.contains(column)) differ << "exchange file: " + got;
        }
        {
            ProjectRoads r;
            bool goodCopied = false;
            const QString got = r.migration({column, text}, goodCopied);
            if (!got.contains(said) || !got.contains(column) || !goodCopied)
                differ << QString("migration (good train copied: %1): ").arg(goodCopied) + got;
        }
        {
            ProjectRoads r;
            const QString got = r.recordEditor({column, text});
            if (!got.contains(said) || !got.contains(column)) differ << "record editor: " + got;
        }
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join('\n')));
    }

    // A train's readings stored in the spellings of another program. Every road that puts them
    // in order, or takes the newest, goes by the instant the date rule names.
    void orderRoads_data() {
        QTest::addColumn<QStringList>("stored");    // in the order stored
        QTest::addColumn<QStringList>("byInstant"); // oldest first, in the stored form
        QTest::newRow("T beside a blank")
            << QStringList{"2024-01-17T06:00:00", "2024-01-17 08:00:00", "2024-01-16 23:00:00"}
            << QStringList{"2024-01-16 23:00:00", "2024-01-17 06:00:00", "2024-01-17 08:00:00"};
        QTest::newRow("slashes, a one-digit hour")
            << QStringList{"2024/01/18 7:00", "2024-01-17 08:00:00", "2024-01-18 06:30:00"}
            << QStringList{"2024-01-17 08:00:00", "2024-01-18 06:30:00", "2024-01-18 07:00:00"};
        QTest::newRow("the day alone, a blank before, zeros after")
            << QStringList{"2024-01-17 00:00:01", "2024-01-17", " 2024-01-16 23:59:59.000"}
            << QStringList{"2024-01-16 23:59:59", "2024-01-17 00:00:00", "2024-01-17 00:00:01"};
    }
    void orderRoads() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, byInstant);
        test::TestEnv env;
        Program& p = env.prog();
        test::makeBlankDatabase(p.ProjectDatabasePath);
        test::insertProjectInfo(p.ProjectDatabasePath, 3);
        for (const QString& d : stored)
            test::insertReading(p.ProjectDatabasePath, 3, {{"TheDate", d}});
        const auto storedForm = [](const QVariant& v) {
            return StoredDateText(ReadingDateKey(v.toString()).value_or(0));
        };
        QStringList differ;
        const auto compare = [&](const char* road, const QStringList& got) {
            if (got != byInstant) differ << QString(road) + ": " + got.join(", ");
        };
        // The exchange export: newest first.
        QStringList exported;
        test::setVersion(p, 1, 3, 38);
        for (const QString& line : test::exportLines(p, "P1", 1, ExportRange()).mid(5))
            exported.prepend(line.section(';', 1, 1));
        compare("exchange export", exported);
        // The data view: oldest first, in the computer's own form.
        DataViewModel view;
        view.load(p.ProjectDatabasePath, "P1");
        QStringList shown, want;
        for (int r = 0; r < view.rowCount(); ++r)
            shown << view.cellText(r, 0);
        for (const QString& d : byInstant)
            want << ShortDateTimeText(parseDbDate(d));
        if (shown != want) differ << "data view: " + shown.join(", ");
        Database db = Database::open(p.ProjectDatabasePath);
        // The reading record editor: oldest first, so that the last is the newest.
        const std::unique_ptr<RecordSet> records = TrainReadingRecords(db, {"TheDate"}, "P1", 1);
        QStringList browsed;
        for (int i = 0; i < records->recordCount(); ++i)
            browsed << storedForm(records->valueAt(i, "TheDate"));
        compare("record editor", browsed);
        // Data entry's history: the two newest.
        QStringList newest;
        for (const qint64 id : NewestReadingIds(db, "P1", 1, 2))
            newest.prepend(storedForm(db.scalar("SELECT TheDate FROM Data WHERE ID = ?", {id})));
        if (newest != byInstant.mid(1)) differ << "data entry's newest: " + newest.join(", ");
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join('\n')));
    }
};

QTEST_MAIN(TestCrossRoad)
#include "tst_crossroad.moc"
