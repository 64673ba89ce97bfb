#include "core/settings.h"

#include <QLocale>
#include <cmath>
#include <optional>

#include "core/numbers.h"
#include "core/program.h"
#include "platform/database.h"
#include "platform/profile.h"

namespace hv {

namespace {

// The reader's buffer holds 255 characters, the last for the terminating NUL.
constexpr qsizetype MaxValueLength = 254;

QString trimBlanks(const QString& s) {
    qsizetype start = 0, end = s.size();
    while (start < end && s[start] == ' ')
        ++start;
    while (end > start && s[end - 1] == ' ')
        --end;
    return s.mid(start, end - start);
}

} // namespace

std::optional<double> ReadSettingsNumber(const QString& text) {
    // The program writes the general number form with the decimal mark of the computer it ran
    // on: a file written under other settings reads alike, so a point or a comma is the mark.
    QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    const QString mark = QLocale().decimalPoint();
    if (mark != QLatin1String(".")) t.replace(mark, QLatin1String("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.count(QLatin1Char('.')) > 1) return std::nullopt;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double x = c.toDouble(t.toUpper(), &ok);
    if (!ok || !std::isfinite(x)) return std::nullopt;
    return x;
}

QString TrainSettingKey(const QString& projectId, int trainNumber, const QString& name) {
    return projectId + ".Train" + QString::number(trainNumber) + '.' + name;
}

QString ReadIniValue(const QString& section, const QString& key, const QString& defaultText,
                     const QString& file) {
    return trimBlanks(profile::getString(section, key, defaultText, file).left(MaxValueLength));
}

qint16 ReadIniInteger(const QString& section, const QString& key, qint16 defaultValue, const QString& file) {
    const long v = profile::getInt(section, key, defaultValue, file);
    if (v < -32768 || v > 32767) throw DbError(dberr::Overflow, "Overflow");
    return qint16(v);
}

double ReadIniDouble(const Program&, const QString& section, const QString& key, double defaultValue,
                     const QString& file) {
    return ReadSettingsNumber(ReadIniValue(section, key, GeneralNumber(defaultValue), file)).value_or(0.0);
}

qint32 ReadIniLong(const QString& section, const QString& key, qint32 defaultValue, const QString& file) {
    const std::optional<double> x =
        ReadSettingsNumber(ReadIniValue(section, key, GeneralNumber(defaultValue), file));
    if (!x) return 0;
    try {
        return conv::roundToInt32(*x);
    } catch (const DbError&) {
        return 0;
    }
}

bool WriteIniValue(const QString& section, const QString& key, const QString& file, const QString& value,
                   QString* error) {
    // A value is one line: a line break would end it early and could start a key of its own.
    QString line = value;
    line.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
    return profile::writeString(section, key, line, file, error);
}

bool WriteIniInteger(const QString& section, const QString& key, const QString& file, qint16 value) {
    return WriteIniValue(section, key, file, GeneralNumber(value));
}

bool WriteIniDouble(const QString& section, const QString& key, const QString& file, double value) {
    return WriteIniValue(section, key, file, GeneralNumber(value));
}

bool WriteIniLong(const QString& section, const QString& key, const QString& file, qint32 value) {
    return WriteIniValue(section, key, file, GeneralNumber(value));
}

bool WriteIniSettings(Program& p, const QString& section,
                      const std::vector<std::pair<QString, QString>>& keyValues) {
    for (const auto& [key, value] : keyValues) {
        QString error;
        if (WriteIniValue(section, key, p.IniFilePath, value, &error)) continue;
        // A full or read-only data folder stays so for the session: one message says it.
        if (p.SettingsFailureShown) return false;
        p.SettingsFailureShown = true;
        p.prompts.message("The settings file could not be written:\r\n" + p.IniFilePath + "\r\n\r\n" + error +
                              "\r\n\r\nIt keeps the settings it had.",
                          Buttons::OK, Icon::Critical, Title);
        return false;
    }
    return true;
}

} // namespace hv
