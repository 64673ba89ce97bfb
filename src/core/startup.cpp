#include "core/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "core/dbversion.h"
#include "core/elementdb.h"
#include "core/program.h"
#include "core/reminder.h"
#include "core/settings.h"
#include "core/units.h"
#include "platform/filelimits.h"

namespace hv {

namespace {
const QString Section = QStringLiteral("Current Project");
const char* const DefaultDatabaseName = "db.hv3.mdb";
const char* const ElementDatabaseName = "ostrelmem.mdb";
} // namespace

DataFolders ChooseDataFolders(const SystemInfo& system) {
    const QString program = system.programFolder();
    DataFolders f;
    switch (system.folderRule()) {
    case FolderRule::PerUser: {
        const QString user = system.perUserFolder();
        f.dataFolder = user.isEmpty() ? program : user + "/Hevrin";
        f.settingsFile = f.dataFolder + "/hevrin.ini";
        break;
    }
    case FolderRule::SettingsInPerUserFolder:
        f.dataFolder = program;
        f.settingsFile = system.perUserFolder() + "/hevrin.ini";
        break;
    case FolderRule::ProgramFolder:
        f.dataFolder = program;
        f.settingsFile = f.dataFolder + "/hevrin.ini";
        break;
    }
    return f;
}

QString DatabasePathFromSetting(const QString& setting, const QString& dataFolder) {
    if (setting.isEmpty() || setting == QLatin1String(DefaultDatabaseName))
        return dataFolder + "/" + QLatin1String(DefaultDatabaseName);
    return setting;
}

QString InstallDataFiles(const SystemInfo& system, const QString& dataFolder) {
    if (const QString cause = MakeFolder(dataFolder); !cause.isEmpty())
        return "Could not make the data folder " + dataFolder + ": " + cause;
    for (const char* name : {DefaultDatabaseName, ElementDatabaseName}) {
        const QString target = dataFolder + "/" + QLatin1String(name);
        const QString source = system.programFolder() + "/templates/" + QLatin1String(name);
        if (QFileInfo::exists(target) || !QFileInfo::exists(source)) continue;
        // A link to a share that is not mounted is the user's: a blank copy made through it
        // would be taken for their database. Its open names where it leads.
        if (!DanglingLinkTarget(target).isEmpty()) continue;
        if (const QString cause = CopyFileWhole(source, target); !cause.isEmpty())
            return "Could not copy " + source + " to the data folder " + dataFolder + ": " + cause;
    }
    return {};
}

bool ShowSplashSetting(const QString& value) {
    return value.toLower() == QLatin1String("yes");
}

StartupResult Main(Program& p) {
    const DataFolders folders = ChooseDataFolders(p.system);
    p.AppDataFolder = folders.dataFolder;
    p.IniFilePath = folders.settingsFile;
    QDir().mkpath(QFileInfo(p.IniFilePath).absolutePath());
    if (const QString failure = InstallDataFiles(p.system, p.AppDataFolder); !failure.isEmpty()) {
        p.prompts.message(failure + "\r\n\r\nHevrin will now close and exit.", Buttons::OK, Icon::Critical,
                          Title);
        return {true, 1};
    }

    WriteIniSettings(p, Section, {{QStringLiteral("APPLICATION DATA"), p.AppDataFolder}});
    p.ProjectDatabasePath = DatabasePathFromSetting(
        ReadIniValue(Section, QStringLiteral("Database"), QLatin1String(DefaultDatabaseName), p.IniFilePath),
        p.AppDataFolder);

    bool valid = UpgradeOpenDatabase(p);
    // The upgrade reads only what it needs: damage elsewhere (a lost page) is found by the
    // check, and named for the person choosing another, as for a database that does not read.
    if (valid) {
        const QString fault = DatabaseFault(p.ProjectDatabasePath);
        if (!fault.isEmpty() && !fault.contains(QLatin1String("locked"))) {
            valid = false;
            SetDbVersion(p, -1, -1, 0);
            p.DbUnusableCause = fault;
        }
    }
    if (valid) {
        p.DbValid = true;
        p.DbIsOlder = IsOlderThanProgram(p.DbVersionMajor, p.DbVersionMinor);
        // Said before any window, not at the first save that fails.
        if (const QString refusal = UnwritableDatabaseText(p.ProjectDatabasePath); !refusal.isEmpty())
            p.prompts.message(refusal +
                                  "\r\n\r\nHevrin opens it, but nothing can be saved to it until it can be "
                                  "written, or another database is chosen.",
                              Buttons::OK, Icon::Warning, Title);
        if (const QString trains = UnusableTrainsText(p.ProjectDatabasePath); !trains.isEmpty())
            p.prompts.message(trains, Buttons::OK, Icon::Warning, Title);
    } else {
        p.DbValid = false;
    }

    if (ShowSplashSetting(
            ReadIniValue(Section, QStringLiteral("ShowSplash"), QStringLiteral("Yes"), p.IniFilePath))) {
        p.windows.showSingle(QStringLiteral("frmSplash"));
        QCoreApplication::processEvents();
        if (!LoadElementSpecs(p)) return {true, 1};
        InitUnits(p);
    } else {
        if (!LoadElementSpecs(p)) return {true, 1};
        InitUnits(p);
        p.windows.showSingle(QStringLiteral("frmMain"));
    }
    // A database that did not open has nothing to recalculate; the chooser offered at the
    // main window's load runs the reminder for the one picked there.
    if (p.DbValid) CheckDbVersionMessage(p);
    return {};
}

} // namespace hv
