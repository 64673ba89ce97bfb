#include "core/reminder.h"

#include "core/backup.h"
#include "core/dbversion.h"
#include "core/program.h"

namespace hv {

namespace {
void repeatNote(Program& p) {
    p.prompts.message("This message will repeat until the database is recalculated.", Buttons::OK, Icon::None,
                      Title);
}
} // namespace

bool NeedsRecalculationReminder(qint16 major, qint16 minor, qint16 revision) {
    return major < 2 && minor < 4 && revision < 30;
}

void CheckDbVersionMessage(Program& p) {
    if (!NeedsRecalculationReminder(p.DbVersionMajor, p.DbVersionMinor, p.DbVersionRevision)) return;
    const Answer a = p.prompts.message(
        "This new version of Hevrin (1.3.30 and higher) has superior and more accurate viscosity "
        "calculations for "
        "normalized DP calculations. \r\n\r\nYou should recalculate all projects to update the DP data. This "
        "could result in significant changes if the operating temperature varies considerably from the "
        "reference "
        "temperatures. \r\n\r\nRecalculate all projects now?  You will have a chance to first backup the "
        "existing database.",
        Buttons::YesNoCancel, Icon::None, QStringLiteral("Important Hevrin Version Information"));
    if (a != Answer::Yes) {
        repeatNote(p);
        return;
    }

    p.windows.unload(QStringLiteral("frmProject"));
    const QString backup = BackupDatabase(p, false);
    // A cancelled backup goes on; a failed one is the user's call.
    if (backup.startsWith(QLatin1String("Err")) &&
        p.prompts.message(backup + "\r\n\r\nRecalculate all projects without a backup?", Buttons::YesNo,
                          Icon::Warning, Title) != Answer::Yes) {
        repeatNote(p);
        return;
    }
    if (p.RecalculateAllProjects) p.RecalculateAllProjects();
    const bool valid = UpgradeOpenDatabase(p);
    p.mainLabels.setDBVersion(
        DbVersionCaption(valid, p.DbVersionMajor, p.DbVersionMinor, p.DbVersionRevision));
}

} // namespace hv
