#include "core/loadproject.h"

#include <optional>

#include "core/currentproject.h"
#include "core/dbversion.h"
#include "core/mlstring.h"
#include "core/opendatabase.h"
#include "core/program.h"
#include "core/settings.h"
#include "platform/database.h"

namespace hv {

namespace {

QString defaultDatabasePath(const Program& p) {
    return p.AppDataFolder + "/db.hv3.mdb";
}

const QString RepairAdvice = QStringLiteral(
    "Try to fix this problem by opening the <Edit Current Project Information> task under the Projects "
    "menu.\r\nBe sure to click the Edit Reference Data Button, followed by the Save/Apply button "
    "before you enter any further data.");

void reportLoadFailure(Program& p, const RunError& e) {
    const QString number = QString::number(e.number());
    QString text;
    if (SaysDamaged(e)) {
        // Selecting the same path again would meet the same damage.
        text = "The project database\r\n" + p.ProjectDatabasePath + "\r\nis damaged: " + number + " - " +
               e.description() + "\r\n\r\nRestore it from a backup, or select another database.";
    } else if (e.number() == dberr::FileNotFound) {
        text = GetMlString(1125, "Database path error. Try selecting the database again.") + "\r\n" +
               GetMlString(1126, "The current ini file is looking for the database at: ") + "\r\n" +
               p.ProjectDatabasePath + "\r\n\r\n" + number + " - " + e.description();
    } else if (e.number() == dberr::InvalidNull) {
        text =
            number + " - " + e.description() +
            "\r\nInvalid null may mean that your project data has been somehow corrupted.  In any case it is "
            "likely the project information has loaded incorrectly. \r\n" +
            RepairAdvice;
    } else {
        text = GetMlString(1127, "error ") + number + " - " + e.description() +
               "\r\nAn error here unexpected and may mean that your project data has been somehow corrupted. "
               " In "
               "any case it is likely the project information has loaded incorrectly. \r\n" +
               RepairAdvice;
    }
    p.prompts.message(text, Buttons::OK, Icon::None, Title);
}

// The project database, or the default one when the user agrees to it; none once the user
// was told why it cannot be opened.
std::optional<Database> openProjectDatabase(Program& p) {
    try {
        try {
            return Database::open(p.ProjectDatabasePath);
        } catch (const DbError& e) {
            if (e.number() != dberr::FileNotFound) throw;
            const Answer a = p.prompts.message(
                GetMlString(1092, "DB file not found! ") + p.ProjectDatabasePath + ".\r\n\r\n" +
                    GetMlString(1093, "Try default database setting? ") + defaultDatabasePath(p),
                Buttons::OKCancel, Icon::None, Title);
            if (a != Answer::OK) {
                p.ProjectDatabasePath.clear();
                return std::nullopt;
            }
            p.ProjectDatabasePath = defaultDatabasePath(p);
            return Database::open(p.ProjectDatabasePath);
        }
    } catch (const DbError& e) {
        const QString head = QString::number(e.number()) + " " + e.description() + "\r\n\r\n";
        if (e.number() == dberr::ColumnNotFound) {
            p.prompts.message(head + GetMlString(1094, "You will need to find and delete the OLD Hevrin "
                                                       "Installation files."),
                              Buttons::OK, Icon::None, Title);
            return std::nullopt;
        }
        // Our databases carry no password, so the old hint about one is left out.
        p.prompts.message(head + GetMlString(1095,
                                             "Database opening caused an error. Please use the Select new "
                                             "database option to navigate to your database."),
                          Buttons::OK, Icon::None, Title);
        OpenDatabaseCommand(p);
        return std::nullopt;
    }
}

// The project window in select mode.
void chooseAnotherProject(Program& p) {
    p.ProjectCreateMode = false;
    p.ProjectEditMode = false;
    p.ProjectSelectMode = true;
    // An open project window stays; the new one is shown beside it, and stays in front of
    // the main window that start-up shows after this.
    p.windows.showAnother(QStringLiteral("frmProject"));
}

} // namespace

void LoadMyProject(Program& p) {
    if (p.DbVersionMinor < 3) {
        const Answer a = p.prompts.message("The database is an old (2 banks/2 stages) version not supported "
                                           "for direct opening in Hevrin v1.3.x "
                                           "and above. Select OK to migrate and backup this "
                                           "database.\r\n\r\nSelect Cancel to revert to your last "
                                           "opened database.\r\nYou may also migrate the database manually "
                                           "by using the Projects|Migrate menu.",
                                           Buttons::OKCancel, Icon::None, Title);
        if (a == Answer::OK) {
            p.windows.showModal(QStringLiteral("dlgMigrate"));
        } else if (p.PreviousDatabasePath.size() > 4) {
            p.ProjectDatabasePath = p.PreviousDatabasePath;
        } else {
            OpenDatabaseCommand(p);
        }
        return;
    }

    std::optional<Database> db = openProjectDatabase(p);
    if (!db) return;

    try {
        const DbRows rows =
            db->select("SELECT * FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)",
                       {p.CurrentProject.ProjectID, p.CurrentProject.TrainNumber});
        if (!rows.isEmpty()) {
            if (const QString cause = UnusableTrainCause(rows.first()); !cause.isEmpty()) {
                p.CurrentProjectLoaded = false;
                p.status.setText(1, NotFoundText(p.CurrentProject.ProjectID));
                db->close();
                p.prompts.message("Hevrin cannot make this train the current project:\r\n" + cause +
                                      ".\r\n\r\nPlease SELECT or CREATE another project.",
                                  Buttons::OK, Icon::None, Title);
                chooseAnotherProject(p);
                return;
            }
            // A row that fails to load leaves the previous record whole, not half old, half new.
            const ProjectInfoRecord previous = p.CurrentProject;
            try {
                LoadProjectSettings(p, rows.first());
            } catch (const DbError&) {
                p.CurrentProject = previous;
                throw;
            }
            p.CurrentProjectLoaded = true;
            return;
        }
        p.status.setText(1, NotFoundText(p.CurrentProject.ProjectID));
        p.CurrentProjectLoaded = false;
        db->close();
        p.prompts.message("NO CURRENT PROJECT is selected.  Please SELECT or CREATE a project.", Buttons::OK,
                          Icon::None, Title);
        chooseAnotherProject(p);
    } catch (const RunError& e) {
        reportLoadFailure(p, e);
    }
}

QString CurrentProjectStatus(const Program& p) {
    if (!p.CurrentProjectLoaded) return NotFoundText(p.CurrentProject.ProjectID);
    return "CURRENT PROJECT: " + p.CurrentProject.ProjectID +
           " Train: " + QString::number(p.CurrentProject.TrainNumber);
}

QString NotFoundText(const QString& projectId) {
    if (projectId.isEmpty()) return QStringLiteral("NO CURRENT PROJECT");
    return GetMlString(1098, "NOT FOUND! ") + projectId;
}

void WriteIni(Program& p) {
    WriteIniSettings(p, QStringLiteral("Current Project"),
                     {{QStringLiteral("Project"), p.CurrentProject.ProjectID},
                      {QStringLiteral("Train"), QString::number(p.CurrentProject.TrainNumber)},
                      {QStringLiteral("Database"), p.ProjectDatabasePath}});
}

} // namespace hv
