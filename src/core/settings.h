#pragma once
#include <QString>
#include <QtGlobal>

namespace hv {

struct Program;

// Access to the settings file. The readers take the file last, the writers third.
QString ReadIniValue(const QString& section, const QString& key, const QString& defaultText, const QString& file);
qint16 ReadIniInteger(const QString& section, const QString& key, qint16 defaultValue, const QString& file);
// The decimal-separator repair needs the locale's separators held in the program.
double ReadIniDouble(const Program& p, const QString& section, const QString& key, double defaultValue,
                     const QString& file);
qint32 ReadIniLong(const QString& section, const QString& key, qint32 defaultValue, const QString& file);

void WriteIniValue(const QString& section, const QString& key, const QString& file, const QString& value);
void WriteIniInteger(const QString& section, const QString& key, const QString& file, qint16 value);
void WriteIniDouble(const QString& section, const QString& key, const QString& file, double value);
void WriteIniLong(const QString& section, const QString& key, const QString& file, qint32 value);

}  // namespace hv
