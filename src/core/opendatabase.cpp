#include "core/opendatabase.h"

#include "core/dbversion.h"
#include "core/loadproject.h"
#include "core/program.h"
#include "core/reminder.h"
#include "core/settings.h"

namespace hv {

namespace {

void showVersionOf(Program& p, bool valid) {
    p.mainLabels.setDBVersion(
        DbVersionCaption(valid, p.DbVersionMajor, p.DbVersionMinor, p.DbVersionRevision));
}

// The database at path, and why it cannot be used: what it shows now, else the cause met
// when it was read (a lock let go since).
QString unusable(const QString& path, const QString& met) {
    QString cause = UnusableDatabaseCause(path);
    if (cause.isEmpty()) cause = met;
    // It reads, but its upgrade failed: that failure has been reported with its own words.
    if (cause.isEmpty()) cause = QStringLiteral("It could not be brought up to date");
    return UnusableDatabaseText(path, cause);
}

// Said once a database is open, before any project of it is loaded.
void warnOfUnusableTrains(Program& p, const QString& path) {
    if (const QString text = UnusableTrainsText(path); !text.isEmpty())
        p.prompts.message(text, Buttons::OK, Icon::Warning, Title);
}

} // namespace

void OpenDatabaseCommand(Program& p) {
    if (p.DbVersionMinor == -1) {
        p.prompts.message(unusable(p.ProjectDatabasePath, p.DbUnusableCause) +
                              "\r\n\r\nPlease select another.",
                          Buttons::OK, Icon::None, Title);
        p.ProjectDatabasePath.clear();
    }
    try {
        const QString chosen =
            p.prompts.openFile("Current Database is: " + p.ProjectDatabasePath,
                               QString::fromLatin1(ProjectDatabaseFilter), p.AppDataFolder);
        if (chosen.isEmpty()) return;
        p.PreviousDatabasePath = p.ProjectDatabasePath;
        p.ProjectDatabasePath = chosen;

        qint16 major = 0, minor = 0, revision = 0, projects = 0;
        qint32 readings = 0;
        QString cause;
        if (!UpgradeDatabase(p, chosen, major, minor, revision, projects, readings, &cause)) {
            p.prompts.message(unusable(chosen, cause) + "\r\n\r\nPlease select another.", Buttons::OK,
                              Icon::None, Title);
            p.ProjectDatabasePath = p.PreviousDatabasePath;
            return;
        }

        p.SpecFluxWarningShown = false;
        const bool older = IsOlderThanProgram(major, minor);
        p.DbIsOlder = older;
        SetDbVersion(p, major, minor, revision);
        if (older) {
            const Answer a = p.prompts.message(
                "You have selected a database which is out of date and requires migration to the latest "
                "version."
                "The new Hevrin version which you are now running supports 3 banks or stages.\r\n\r\n"
                "Current Database: " +
                    chosen + "\r\nDatabase version:    " + DbVersion{major, minor, revision}.text() +
                    "\r\n         Number of Projects: " + QString::number(projects) +
                    "\r\n         Total Data Items:   " + QString::number(readings) +
                    "\r\nHevrin version:  " + ProgramVersionText +
                    "\r\n\r\nHevrin can do this automatically.\r\n\r\nTo eliminate this message please "
                    "follow "
                    "the prompts to migrate the currently selected database. \r\nYou will have the "
                    "opportunity "
                    "to backup the destination database first.",
                Buttons::OKCancel, Icon::None, Title);
            if (a == Answer::OK) {
                p.windows.showModal(QStringLiteral("dlgMigrate"));
                p.SpecFluxWarningShown = true;
            }
        }

        if (p.DbIsOlder) {
            p.prompts.message("Reverting to last selected database!\r\n\r\nN.B. - This is NOT a database "
                              "supported by version 1.3.x of Hevrin.\r\nPlease perform the migration "
                              "(Projects|Migrate) or choose another database.",
                              Buttons::OK, Icon::None, Title);
            p.ProjectDatabasePath = p.PreviousDatabasePath;
            p.mainLabels.setDatabase("Current Database: " + p.ProjectDatabasePath);
            showVersionOf(p, UpgradeOpenDatabase(p));
        } else {
            WriteIniSettings(p, QStringLiteral("Current Project"),
                             {{QStringLiteral("Database"), p.ProjectDatabasePath}});
            warnOfUnusableTrains(p, p.ProjectDatabasePath);
            // The project of the database left behind is no longer loaded, whatever this load meets.
            p.CurrentProjectLoaded = false;
            LoadMyProject(p);
            p.status.setText(1, CurrentProjectStatus(p));
            p.mainLabels.setDatabase("Current Database: " + p.ProjectDatabasePath);
            showVersionOf(p, true);
        }

        CheckDbVersionMessage(p);
        showVersionOf(p, UpgradeOpenDatabase(p));
    } catch (const RunError&) {
        // Any other failure ends the command quietly, as far as it got.
    }
}

} // namespace hv
