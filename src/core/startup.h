#pragma once
#include <QString>

#include "platform/systeminfo.h"

namespace hv {

struct Program;

// Where the program keeps its files, by the system's folder rule.
struct DataFolders {
    QString dataFolder;   // AppDataFolder
    QString settingsFile; // IniFilePath
};
DataFolders ChooseDataFolders(const SystemInfo& system);

// The "Database" setting: "db.hv3.mdb" exactly, or empty, is the data folder's default
// database; anything else is a full path.
QString DatabasePathFromSetting(const QString& setting, const QString& dataFolder);

// Copies the shipped templates (program folder/templates) of the project and element
// databases into a data folder that lacks them, as an installer would. Returns what
// failed, with the system's cause; empty when every copy was made. A failed copy leaves
// no file behind.
QString InstallDataFiles(const SystemInfo& system, const QString& dataFolder);

// A "ShowSplash" value of "yes" in any letter case.
bool ShowSplashSetting(const QString& value);

struct StartupResult {
    bool endProgram = false; // the data files could not be installed, or the element database opened
    int exitCode = 0;
};

// The start-up: data folder and settings file, the project database's version and
// upgrade, the splash or the main window (through the window registry, "frmSplash" and
// "frmMain"), the element and unit tables, and the recalculation reminder.
StartupResult Main(Program& p);

} // namespace hv
