#pragma once
#include <QString>
#include <QtGlobal>
#include <optional>
#include <utility>
#include <vector>

namespace hv {

struct Program;

// The key of a project train's setting `name` in section "Projects":
// "<ProjectID>.Train<n>.<name>".
QString TrainSettingKey(const QString& projectId, int trainNumber, const QString& name);

// A number as the settings file holds it, whatever the computer's settings: the program's
// general number form with a point or a comma as the decimal mark, never a group separator;
// none for a text that is no number. Every number read from the settings file reads here.
std::optional<double> ReadSettingsNumber(const QString& text);

// Access to the settings file. The readers take the file last, the writers third.
QString ReadIniValue(const QString& section, const QString& key, const QString& defaultText,
                     const QString& file);
qint16 ReadIniInteger(const QString& section, const QString& key, qint16 defaultValue, const QString& file);
// Numbers are read in the file's own form (the program's general number form, with a point or a
// comma as the decimal mark), whatever the computer's settings; a text that is none reads 0.
double ReadIniDouble(const Program& p, const QString& section, const QString& key, double defaultValue,
                     const QString& file);
qint32 ReadIniLong(const QString& section, const QString& key, qint32 defaultValue, const QString& file);

// False, with the system's reason in `error`, when the file could not be written; the
// file then keeps every value it had.
bool WriteIniValue(const QString& section, const QString& key, const QString& file, const QString& value,
                   QString* error = nullptr);
bool WriteIniInteger(const QString& section, const QString& key, const QString& file, qint16 value);
bool WriteIniDouble(const QString& section, const QString& key, const QString& file, double value);
bool WriteIniLong(const QString& section, const QString& key, const QString& file, qint32 value);

// Writes keys of one section of the program's settings file in order. A failure ends the
// writing; the session's first is shown to the user (what failed, in the system's words).
bool WriteIniSettings(Program& p, const QString& section,
                      const std::vector<std::pair<QString, QString>>& keyValues);

} // namespace hv
