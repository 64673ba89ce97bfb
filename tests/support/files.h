#pragma once
#include <QByteArray>
#include <QString>
#include <QVariantList>

namespace hv::test {

// Writes `bytes` to `path`, replacing what is there; a file that cannot be written fails the
// running test.
void writeFile(const QString& path, const QByteArray& bytes);
// The bytes of a file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// The same for text, as UTF-8.
void writeText(const QString& path, const QString& text);
QString readText(const QString& path);

// The rows of `table` in the database at `dbPath`, those matching `where` when given.
int rowCount(const QString& dbPath, const QString& table, const QString& where = {},
             const QVariantList& params = {});

} // namespace hv::test
