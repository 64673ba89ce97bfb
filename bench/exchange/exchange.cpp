// hevrin-exchange export --database F --project ID --train N --out FILE [--csv]
// hevrin-exchange import --database F --file FILE [--overwrite|--add] [--elements FILE]
// hevrin-exchange generate --out F --readings N [--template FILE]
// Runs the exchange-file writer and reader as the windows do and prints the readings, the
// seconds and the peak memory on the last line. The import normalizes each reading against the
// element database of --elements, as the import window does; without it, it stores them raw. "generate" makes
// a database of one project train with N readings (some values Null where a reading may lack them) to measure
// on.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <sys/resource.h>

#include "benchdata.h"
#include "core/dbversion.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "core/units.h"
#include "maintenance/exchangeexport.h"
#include "maintenance/exchangefile.h"
#include "maintenance/exchangeimport.h"
#include "normalization/normalize.h"
#include "platform/filelimits.h"
#include "platform/sqlite.h"
#include "platform/systeminfo.h"

using namespace hv;

namespace {

void fill(SqliteConnection& db, qint64 n);

long peakKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void report(Program& p, const ScriptedPrompts& prompts, qint64 readings, double seconds) {
    for (const QString& t : prompts.shown())
        std::fprintf(stderr, "message: %s\n", qPrintable(t));
    (void)p;
    std::printf("readings %lld seconds %.2f peak %ld MB\n", static_cast<long long>(readings), seconds,
                peakKb() / 1024);
}

// The run's last status texts, which the windows show in their panels: the tool prints panel 2,
// the summary of what was stored, skipped or left out.
struct Panels : RunProgress {
    QString last;
    void setStatus(int panel, const QString& text) override {
        if (panel == 2) last = text;
    }
    bool yieldAndCheckCancel() override { return false; }
};

// SQLite's words for a failed write ("disk I/O error"), with the cause the system gave when
// it is one of the two a write meets: the file size limit or a full disk.
QString failureText(const RunError& e, const QString& path) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        for (const QString& f : {path, path + "-journal"})
            if (QFileInfo(f).size() + 65536 > qint64(limit.rlim_cur))
                return e.description() + " (" + QString::fromLocal8Bit(std::strerror(EFBIG)) + ")";
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < 65536)
        return e.description() + " (" + QString::fromLocal8Bit(std::strerror(ENOSPC)) + ")";
    return e.description();
}

// The database is built in a file beside OUT and takes its name only when whole: a failure leaves
// no partial database.
int generate(const QString& out, qint64 n, const QString& templ) {
    FileBeside building(out);
    QString cause = building.open();
    if (!cause.isEmpty()) {
        std::fprintf(stderr, "cannot create a file beside %s: %s\n", qPrintable(out), qPrintable(cause));
        return 1;
    }
    {
        QFile from(templ);
        if (!from.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(templ), qPrintable(from.errorString()));
            return 1;
        }
        if (cause = building.write(from.readAll()); !cause.isEmpty()) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(building.path()), qPrintable(cause));
            return 1;
        }
    }
    std::unique_ptr<SqliteConnection> connection;
    try {
        connection = std::make_unique<SqliteConnection>(building.path());
        fill(*connection, n);
        connection.reset();
    } catch (const RunError& e) {
        std::fprintf(stderr, "cannot generate %s: %s\n", qPrintable(out),
                     qPrintable(failureText(e, building.path())));
        connection.reset();
        QFile::remove(building.path() + "-journal");
        return 1;
    }
    if (cause = building.commit(); !cause.isEmpty()) {
        std::fprintf(stderr, "cannot name the database %s: %s\n", qPrintable(out), qPrintable(cause));
        return 1;
    }
    std::printf("readings %lld\n", static_cast<long long>(n));
    return 0;
}

// Whether the calculation of a reading takes a Null in the column: the generated readings are
// ones the program would store.
bool mayBeNull(const QString& column) {
    for (const ReadColumn& c : ReadColumns)
        if (c.kind == ReadKind::Number && column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

void fill(SqliteConnection& db, qint64 n) {
    // The project row as the project window writes it: every column it writes has a value.
    QVariantMap project = bench::ReferenceRow({QStringLiteral("P1"), 1, 2, false});
    project["NumTrains"] = 1;
    project["AvgConc"] = 0.0;
    project["Density"] = 0.0;
    project["refph"] = 7.0;
    project["numVessels"] = project["NumVessels_1"].toInt() + project["NumVessels_2"].toInt();
    project["ElementsPerVessel"] = 6;
    {
        QStringList names, marks;
        for (auto it = project.begin(); it != project.end(); ++it) {
            names << quoteIdent(it.key());
            marks << "?";
        }
        SqliteStatement ins(db, "INSERT INTO ProjectInfo (" + names.join(',') + ") VALUES (" +
                                    marks.join(',') + ")");
        int k = 0;
        for (auto it = project.begin(); it != project.end(); ++it)
            ins.bind(k++, it.value());
        ins.step();
    }
    db.exec("INSERT INTO UserDefined (ProjectID, ORP) VALUES ('P1', 'Redox')");
    const QStringList cols = ExchangeDataColumns(true);
    QStringList marks;
    std::vector<bool> nullable;
    for (const QString& c : cols) {
        marks << "?";
        nullable.push_back(mayBeNull(c));
    }
    SqliteStatement ins(db, "INSERT INTO Data (" + cols.join(',') + ") VALUES (" + marks.join(',') + ")");
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const QDateTime start(QDate(2010, 1, 1), QTime(0, 0));
    db.begin();
    for (qint64 i = 0; i < n; ++i) {
        for (int k = 0; k < cols.size(); ++k) {
            const QString& c = cols[k];
            if (c == "ProjectID")
                ins.bind(k, QStringLiteral("P1"));
            else if (c == "TheDate")
                ins.bind(k, start.addSecs(i * 300).toString("yyyy-MM-dd HH:mm:ss"));
            else if (c == "TrainNumber")
                ins.bind(k, qint64(1));
            else if (c == "Bank")
                ins.bind(k, qint64(2));
            else if (c == "EventID")
                ins.bind(k, qint64(i % 97 == 0 ? 1 : 0));
            else if (nullable[size_t(k)] && u(rng) < 0.05)
                ins.bind(k, QVariant());
            else
                ins.bind(k, 100.0 * u(rng));
        }
        ins.step();
        ins.reset();
    }
    db.commit();
}

} // namespace

int main(int argc, char** argv) {
    hv::UseWallClockTime();
    hv::IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument("command", "export, import or generate");
    parser.addOption({"database", "Project database.", "FILE"});
    parser.addOption({"project", "Project ID.", "ID"});
    parser.addOption({"train", "Train number.", "N", "1"});
    parser.addOption({"out", "File to write.", "FILE"});
    parser.addOption({"csv", "Spreadsheet file (\",\")."});
    parser.addOption({"file", "Exchange file to import.", "FILE"});
    parser.addOption({"overwrite", "Replace an existing project train."});
    parser.addOption({"add", "Keep an existing project train; add the readings only."});
    parser.addOption(
        {"elements", "Element database; without it readings are stored without results.", "FILE"});
    parser.addOption({"readings", "Readings to generate.", "N", "1000000"});
    parser.addOption({"template", "Blank project database.", "FILE",
                      QCoreApplication::applicationDirPath() + "/templates/db.hv3.mdb"});
    parser.process(app);
    const QString command = parser.positionalArguments().value(0);
    if (command == "generate")
        return generate(parser.value("out"), parser.value("readings").toLongLong(), parser.value("template"));
    if (QString refusal = command == "import" ? WritingToolRefusal(parser.value("database")) : QString();
        !refusal.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(refusal.replace("\r\n", " ")));
        return 1;
    }

    QTemporaryDir tmp;
    ScriptedPrompts prompts;
    SystemInfo system;
    UserStore store(tmp.filePath("store.ini"));
    Program p(prompts, system, store);
    p.IniFilePath = tmp.filePath("hevrin.ini");
    p.ProjectDatabasePath = parser.value("database");
    InitUnits(p);
    if (command == "import") {
        const QString elements = parser.value("elements");
        if (elements.isEmpty()) {
            std::printf("No element database is loaded (--elements FILE): readings are stored without "
                        "calculated values.\n");
        } else {
            p.AppDataFolder = tmp.path();
            if (const QString cause = CopyFileWhole(elements, ElementDatabasePath(p)); !cause.isEmpty()) {
                std::fprintf(stderr, "cannot copy the element database %s: %s\n", qPrintable(elements),
                             qPrintable(cause));
                return 1;
            }
            if (!LoadElementSpecs(p)) {
                for (const QString& t : prompts.shown())
                    std::fprintf(stderr, "message: %s\n", qPrintable(t));
                return 1;
            }
        }
    }
    ReadDbVersion(p);
    QElapsedTimer clock;
    try {
        if (command == "export") {
            p.ExportCsvMode = parser.isSet("csv");
            ExportRequest r;
            r.listIndex = 0;
            r.key = {parser.value("project"), qint16(parser.value("train").toInt())};
            r.allDates = true;
            r.outputFile = parser.value("out");
            clock.start();
            Panels panels;
            const ExportResult result = CreateFile(p, r, panels);
            const double seconds = clock.elapsed() / 1000.0;
            // What the window says besides its messages: the notes left out, the texts altered.
            if (const QString notes = NotesLeftOutText(result.notesLeftOut); !notes.isEmpty())
                std::printf("%s\n", qPrintable(notes));
            if (const QString altered = AlteredTextsMessage(result.alteredTexts, p.ExportCsvMode ? ',' : ';');
                !altered.isEmpty())
                std::printf("%s\n", qPrintable(altered));
            report(p, prompts, result.written, seconds);
            return prompts.shown().isEmpty() ? 0 : 1;
        }
        if (command == "import") {
            if (parser.isSet("overwrite") || parser.isSet("add"))
                prompts.onMessage("This PROJECT exists already", Buttons::YesNoCancel, "Hevrin",
                                  parser.isSet("overwrite") ? Answer::Yes : Answer::No);
            clock.start();
            ImportChoice c;
            if (ChooseImportFile(p, parser.value("file"), c) == ChoiceOutcome::Refused || !c.accepted) {
                report(p, prompts, 0, clock.elapsed() / 1000.0);
                return 1;
            }
            Panels panels;
            const ImportResult r = RunImport(p, c, ImportRange{true, {}, {}}, panels);
            const double seconds = clock.elapsed() / 1000.0;
            if (r.finished) std::printf("%s\n", qPrintable(panels.last));
            report(p, prompts, r.inserted, seconds);
            // Readings left out because their calculation failed are work not done.
            return r.finished && r.failed == 0 ? 0 : 1;
        }
    } catch (const RunError& e) {
        std::fprintf(stderr, "error %ld: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    std::fprintf(stderr, "usage: hevrin-exchange export|import|generate ...\n");
    return 2;
}
