#pragma once
#include <QString>

namespace hv::profile {

// A private-profile settings file: "[Section]" headers and "key=value" lines.
// Sections and keys match regardless of case; every other line is kept as it is.

// The value, or the default when the file, section or key is missing. Blanks around
// the value are dropped, as are quotes around the whole value.
QString getString(const QString& section, const QString& key, const QString& defaultText,
                  const QString& file);

// The leading whole number of the value (0 when it has none), or the default when the key is missing.
long getInt(const QString& section, const QString& key, long defaultValue, const QString& file);

// Creates the file, the section and the key as needed and replaces an existing value;
// every other line is kept byte for byte. Returns false, with the system's reason in
// `error`, when the file cannot be read or written; the old file then stays as it was.
bool writeString(const QString& section, const QString& key, const QString& value, const QString& file,
                 QString* error = nullptr);

} // namespace hv::profile
