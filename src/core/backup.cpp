#include "core/backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/program.h"
#include "platform/database.h"
#include "platform/filelimits.h"

namespace hv {

namespace {
const char* const DatabaseFilter = "HV 3 bank DB Files (*.hv3.mdb)|*.hv3.mdb|HV 2 Bank DB Files "
                                   "(*.hv.mdb)|*.hv.mdb|DB Files(*.mdb)|*.mdb|All "
                                   "Files (*.*)|*.*";
}

QString BackupFileName(const QString& databasePath, const QString& appDataFolder, const QDateTime& when) {
    const qsizetype slash = databasePath.lastIndexOf('/');
    QString name = slash >= 0 ? databasePath.mid(slash + 1) : QString();
    if (name.isEmpty()) name = QFileInfo(appDataFolder + "/db.hv3.mdb").fileName();
    name.chop(4); // ".mdb"
    return name + "," + when.toString(QStringLiteral("yy.MM.dd-hh.mm.ss")) + ".mdb";
}

void CopyDatabaseFile(const QString& source, const QString& target) {
    const QFileInfo dst(target);
    // Two names of one file, a hard link among them, are one file.
    bool known = false;
    if (SameFileOnDisk(source, target, known))
        throw FileError(dberr::InvalidArgument, "The backup cannot replace the database itself.");
    if (!dst.absoluteDir().exists())
        throw FileError(dberr::FileNotFound, "Path not found: " + dst.absolutePath());

    // VACUUM INTO refuses an existing file: copy beside the target, then swap.
    const QString partial = target + ".partial";
    // A copy that fails leaves SQLite's journal of it beside it.
    auto removePartial = [&] {
        QFile::remove(partial);
        QFile::remove(partial + "-journal");
    };
    removePartial();
    {
        Database db = Database::open(source);
        try {
            db.exec("VACUUM INTO ?", {partial});
        } catch (const DbError&) {
            removePartial();
            throw;
        }
    }
    if (dst.exists() && !QFile::remove(target)) {
        removePartial();
        throw FileError(dberr::FileNotFound, "Cannot replace " + target);
    }
    if (!QFile::rename(partial, target)) {
        removePartial();
        throw FileError(dberr::FileNotFound, "Cannot write " + target);
    }
}

QString BackupDatabase(Program& p, bool silent) {
    const QString defaultName = BackupFileName(p.ProjectDatabasePath, p.AppDataFolder, p.system.now());
    QString target = p.AppDataFolder + "/" + defaultName;
    try {
        if (!silent) {
            const QString chosen = p.prompts.saveFile("BACKUP Current DB:" + p.ProjectDatabasePath,
                                                      QString::fromLatin1(DatabaseFilter), target);
            if (chosen.isEmpty()) return QStringLiteral("Back up canceled by user");
            target = chosen;
        }
        CopyDatabaseFile(p.ProjectDatabasePath, target);
        return target;
    } catch (const RunError& e) {
        return "Error in backup to " + target + ". Error " + QString::number(e.number()) + " " +
               e.description();
    }
}

} // namespace hv
