#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace hv {

// Splits an SQL script into statements at semicolons outside quotes and comments.
QStringList splitSqlScript(const QString& script);

// Runs every statement of a script in one transaction; returns "" or the first error.
QString runSqlScript(QSqlDatabase& db, const QString& script);

} // namespace hv
