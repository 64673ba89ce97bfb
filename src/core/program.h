#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/elementrecord.h"
#include "core/mainlabels.h"
#include "core/projectrecord.h"
#include "platform/database.h"
#include "platform/prompts.h"
#include "platform/statuspanels.h"
#include "platform/systeminfo.h"
#include "platform/userstore.h"
#include "platform/windowregistry.h"

namespace hv {

// The program's name, the title of its message boxes and main windows.
inline const QString Title = QStringLiteral("Hevrin");

// The program's own version.
constexpr int ProgramVersionMajor = 1;
constexpr int ProgramVersionMinor = 3;
constexpr int ProgramVersionRevision = 38;
// "1.3.38"
inline const QString ProgramVersionText = QString::number(ProgramVersionMajor) + '.' +
                                          QString::number(ProgramVersionMinor) + '.' +
                                          QString::number(ProgramVersionRevision);

// The program-wide variables, held in one object that main creates and hands on by
// reference. Tests build their own over a temporary folder.
struct Program {
    Program(Prompts& prompts, SystemInfo& system, UserStore& userStore)
        : prompts(prompts), system(system), userStore(userStore) {}
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Platform services.
    Prompts& prompts;
    SystemInfo& system;
    UserStore& userStore;
    WindowRegistry windows;
    StatusPanels status;   // the main window's status bar panels
    MainLabels mainLabels; // the main window's lblDatabase and lblDBVersion

    // Folders and files.
    QString AppDataFolder;       // the data folder
    QString IniFilePath;         // the settings file "hevrin.ini"
    QString ProjectDatabasePath; // the open project database
    QString PreviousDatabasePath;
    QString GraphPath;     // the graph folder
    QString PrintFilePath; // the picture file the next print job prints

    // Database state.
    qint16 DbVersionMajor = 0;
    qint16 DbVersionMinor = 0;
    qint16 DbVersionRevision = 0;
    qint32 DbVersionNumber = 0;
    qint16 ProjectCount = 0;
    qint32 DataRecordCount = 0;
    bool DbValid = false;
    bool DbIsOlder = false;
    bool SuppressDbUpgrade = false;
    QString DbUnusableCause; // why the last start-up read found the database unusable, as met

    // The current project.
    ProjectInfoRecord CurrentProject;
    bool CurrentProjectLoaded = false;

    // Element tables: ElementList in list order, ElementTable indexed by element type number (ID - 1).
    std::vector<ElementSpecRecord> ElementList;
    std::vector<ElementSpecRecord> ElementTable;
    qint16 ElementListUpper = 0;
    double ElementDbVersion = 0;
    std::unique_ptr<Database> ElementConnection; // open only while the element tables load or are edited

    // Unit choices (indices into the unit tables) and the locale's separators.
    qint16 PressureUnit = 0;
    qint16 TemperatureUnit = 0;
    qint16 FlowUnit = 6;
    qint16 FluxUnit = 0;
    qint16 MassUnit = 1;
    QString DecimalSeparator = ".";
    QString ListSeparator = ",";
    qint16 DecimalSeparatorCode = 46;

    // Normalization.
    bool IgnoreCalcErrors = false;
    bool RecalcAllRunning = false; // for the main window's status text; its activation clears it
    double LastNormalizedPermFlow = 0;
    double LastNormalizedSaltPassage = 0;
    double LastNormalizedDP = 0;

    // Window modes and flags.
    bool ProjectSelectMode = false;
    bool ProjectEditMode = false;
    bool ProjectCreateMode = false;
    bool DataEntryOpen = false;
    bool ImportWindowOpen = false; // the spreadsheet import window is open and may store readings
    bool DataEntryConfigUnlocked = false;
    double SaveIntervalMinutes = 0; // polling and saving interval of the current project train
    bool SpecFluxWarningShown = false;
    bool SettingsFailureShown = false; // a settings file that cannot be written is said once a session
    bool ExportCsvMode = false;
    bool ProjectInfoOnlyMode = false;

    bool MainWindowInitialized = false; // the settings part of the main window's load runs once

    // Ends the program at once, without any window's unload handling; app wires it.
    std::function<void(int exitCode)> EndProgram;

    // Work of subsystems above the core that the main window starts; app wires them.
    std::function<void()> RecalculateAllProjects;
    std::function<bool(const QString& projectId, qint16 train)> RecalculateProject;

    // The whole-database recalculation disables the main window's four top-level menus
    // (Projects, Utility, Graphs, Import/Export) for its run; the main window sets this.
    std::function<void(bool enabled)> SetMenusEnabled;
    // Set by the user interface to stop a whole-database recalculation at the next batch.
    bool CancelRecalc = false;
};

} // namespace hv
