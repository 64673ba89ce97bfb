// hevrin-import-bench [ROWS] [auto]: imports ROWS (default 10000) sheet rows in all-rows mode
// from a CSV file served by ddetest, through the import window, and prints the rate from
// "Save Data Now" to the last row stored and normalized. "auto" uses automatic links.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

#include "benchdata.h"

#include "core/currentproject.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "core/startup.h"
#include "core/units.h"
#include "platform/database.h"
#include "platform/filelimits.h"
#include "platform/prompts.h"
#include "platform/systeminfo.h"
#include "platform/userstore.h"
#include "spreadsheet/ui/frmimportexcel.h"

using namespace hv;

int main(int argc, char** argv) {
    UseWallClockTime();
    IgnoreFileSizeSignal();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString(argv[1]).toInt() : 10000;
    const bool automatic = argc > 2 && QString(argv[2]) == "auto";
    // A data folder with the blank databases the build makes and one three-bank train of the
    // bench plant with a reading, its data typed in by train (not system) as the sheet gives it.
    QTemporaryDir folder;
    const QString templates = QCoreApplication::applicationDirPath() + "/templates/";
    ScriptedPrompts prompts;
    SystemInfo system;
    UserStore store(folder.filePath("userstore.ini"));
    Program p(prompts, system, store);
    p.AppDataFolder = folder.path();
    p.IniFilePath = folder.filePath("hevrin.ini");
    p.ProjectDatabasePath = folder.filePath("db.hv3.mdb");
    for (const auto& [from, to] : {std::pair{templates + "db.hv3.mdb", p.ProjectDatabasePath},
                                   std::pair{templates + "ostrelmem.mdb", folder.filePath("ostrelmem.mdb")}})
        if (const QString cause = CopyFileWhole(from, to); !cause.isEmpty()) {
            std::fprintf(stderr, "cannot copy %s to %s: %s\n", qPrintable(from), qPrintable(to),
                         qPrintable(cause));
            return 1;
        }
    InitUnits(p);
    LoadElementSpecs(p);
    Database db = Database::open(p.ProjectDatabasePath);
    const bench::TrainLayout train{"P1", 1, 3, false};
    QVariantMap reference = bench::ReferenceRow(train);
    reference["Systemdata"] = 0;
    db.exec("INSERT INTO ProjectInfo (" + reference.keys().join(", ") + ") VALUES (" +
                QStringList(reference.size(), "?").join(", ") + ")",
            reference.values());
    std::mt19937_64 rng(20200101);
    QVariantList reading;
    bench::ReadingValues(train, 0, rng, reading);
    db.exec("INSERT INTO Data (" + bench::ReadingColumns().join(", ") + ") VALUES (" +
                QStringList(reading.size(), "?").join(", ") + ")",
            reading);
    const DbRow info = db.select("SELECT * FROM ProjectInfo").first();
    LoadProjectSettings(p, info);

    const QStringList fields = ItemFieldList();
    QFile f(folder.filePath("Log.csv"));
    f.open(QIODevice::WriteOnly);
    f.write(fields.join(",").toUtf8() + "\n");
    const QDateTime start(QDate(2020, 2, 1), QTime(0, 0));
    for (int r = 0; r < rows; ++r) {
        QStringList line;
        for (int i = 0; i < ItemCount; ++i) {
            if (i == 0)
                line << start.addSecs(qint64(r) * 3600).toString("yyyy-MM-dd HH:mm");
            else if (i >= item::FirstUser && i <= item::LastUser)
                line << "1";
            else if (i == item::Temperature)
                line << QString::number(info.toDouble("FeedTemp") + (r % 7) * 0.1);
            else if (i == item::pH)
                line << "7.1";
            else
                line << QString::number(info.value(fields[i]).toDouble() * (1 + (r % 5) * 0.01));
        }
        f.write(line.join(",").toUtf8() + "\n");
    }
    f.close();

    QProcess dde;
    const QString name = QString("HvImportBench-%1").arg(QCoreApplication::applicationPid());
    dde.start(QCoreApplication::applicationDirPath() + "/ddetest",
              {"--serve", name, "--sheet", f.fileName()});
    if (!dde.waitForReadyRead(20000)) {
        std::fprintf(stderr, "ddetest did not start: %s\n", dde.readAllStandardError().constData());
        return 1;
    }
    auto* w = new frmImportExcel(p);
    w->show();
    w->txtScadaApp[0]->setText(name);
    w->txtScadaTopic[0]->setText("Log");
    for (int k = 0; k < ItemCount; ++k) {
        w->chkScada[size_t(k)]->setChecked(true);
        w->txtScadaItem[size_t(k)]->setText(QString("R2C%1").arg(k + 1));
    }
    w->optScada[automatic ? 0 : 1]->setChecked(true);
    w->chkUseScada->setChecked(true);
    w->cmdTestPoll_Click();
    w->OptImport[1]->setChecked(true);

    QElapsedTimer t;
    t.start();
    w->cmdSave[0]->click();
    const double s = t.elapsed() / 1000.0;
    const int stored = db.scalar("SELECT count(*) FROM Data").toInt() - 1;
    const int normalized = db.scalar("SELECT count(*) FROM Data WHERE NormalizedPermFlow <> 0").toInt() - 1;
    std::printf("%d rows stored, %d normalized in %.2f s: %.0f rows/s (%s links); prompts: %s\n", stored,
                normalized, s, stored / s, automatic ? "automatic" : "manual",
                qPrintable(prompts.shown().join(" | ")));
    delete w;
    dde.closeWriteChannel();
    dde.waitForFinished(5000);
    return stored == rows ? 0 : 2;
}
