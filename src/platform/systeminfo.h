#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace hv {

// Where the program keeps its files. The three outcomes of the folder rule stay
// selectable so that each can be tested.
enum class FolderRule {
    PerUser,                 // data and settings in the per-user folder & "/Hevrin" (the default here)
    ProgramFolder,           // data and settings in the program folder
    SettingsInPerUserFolder, // settings file in the per-user folder, data in the program folder
};

// Readings carry the plant's wall-clock time without a zone, and the hours between two
// of them are counted as on the clock, with no daylight-saving jumps: no wall time may be
// skipped or doubled. The process therefore works in UTC, and the clock below gives the
// wall time of the machine's own zone. Called once, first thing, by every program.
void UseWallClockTime();

// What the program asks of the system: folders, the clock, opening documents and
// starting programs. Tests replace it.
class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual FolderRule folderRule() const { return FolderRule::PerUser; }
    virtual QString programFolder() const; // the executable's folder
    virtual QString perUserFolder() const; // the user's data location, without "/Hevrin"
    virtual QDateTime now() const;         // wall time of the machine's zone
    virtual bool openDocument(const QString& urlOrPath);
    virtual bool launch(const QString& program, const QStringList& args = {});
};

// A system whose answers tests set; documents opened and programs launched are recorded.
class FakeSystemInfo : public SystemInfo {
public:
    FolderRule rule = FolderRule::PerUser;
    QString programDir;
    QString perUserDir;
    QDateTime clock = QDateTime(QDate(2026, 1, 15), QTime(10, 30, 0));
    QStringList opened;
    QStringList launched;
    bool launchSucceeds = true;
    bool openSucceeds = true; // false: the desktop has no program for the document

    FolderRule folderRule() const override { return rule; }
    QString programFolder() const override { return programDir; }
    QString perUserFolder() const override { return perUserDir; }
    QDateTime now() const override { return clock; }
    bool openDocument(const QString& urlOrPath) override {
        opened << urlOrPath;
        return openSucceeds;
    }
    bool launch(const QString& program, const QStringList& args = {}) override {
        launched << (args.isEmpty() ? program : program + " " + args.join(' '));
        return launchSucceeds;
    }
};

} // namespace hv
