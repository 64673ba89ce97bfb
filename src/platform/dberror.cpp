#include "platform/dberror.h"

#include <cerrno>
#include <sqlite3.h>

#include "platform/filelimits.h"

namespace hv {

bool IsFileFailure(int resultCode) {
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_NOMEM:
    case SQLITE_PERM:
    case SQLITE_PROTOCOL:
        return true;
    default:
        return false;
    }
}

DbFailure SqliteFailure(int resultCode, const QString& message, int systemErrno) {
    long number = dberr::SqlFailed;
    if (IsFileFailure(resultCode)) {
        number = dberr::FileNotFound;
        // "disk I/O error" alone does not tell a person what to mend.
        const QString cause = WriteLimitCause(systemErrno);
        const bool saidFull = (resultCode & 0xff) == SQLITE_FULL && systemErrno == ENOSPC;
        if (!cause.isEmpty() && !saidFull) return DbFailure(number, message + ": " + cause);
    } else if (resultCode == SQLITE_CONSTRAINT_UNIQUE || resultCode == SQLITE_CONSTRAINT_PRIMARYKEY ||
               (resultCode == SQLITE_CONSTRAINT && message.startsWith(QLatin1String("UNIQUE constraint")))) {
        // The original engine reported a duplicate key as the general failure.
        number = dberr::FileNotFound;
    } else if ((resultCode & 0xff) == SQLITE_ERROR) {
        if (message.contains(QLatin1String("no such column")))
            number = dberr::ColumnNotFound;
        else if (message.contains(QLatin1String("duplicate column")))
            number = dberr::DuplicateColumn;
        else if (message.contains(QLatin1String("no such table")))
            number = dberr::TableNotFound;
    }
    return DbFailure(number, message);
}

DbFailure OpenFailure(const QString& path, int resultCode, const QString& message, int systemErrno) {
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbFailure(dberr::FileNotFound,
                         "Cannot open '" + path + "': another program holds a lock on it. " + message);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return DbFailure(dberr::FileNotFound, "Unrecognized database format '" + path + "'. " + message);
    default:
        return DbFailure(dberr::FileNotFound,
                         "Cannot open the database '" + path +
                             "': " + SqliteFailure(resultCode, message, systemErrno).description());
    }
}

bool SaysDamaged(const RunError& e) {
    const QString d = e.description().toLower();
    return d.contains(QLatin1String("malformed")) || d.contains(QLatin1String("corrupt")) ||
           d.contains(QLatin1String("not a database")) ||
           d.contains(QLatin1String("unrecognized database format"));
}

DbError TableNotFoundError(const QString& table) {
    return DbError(dberr::TableNotFound, "The database has no table or view named '" + table + "'.");
}

} // namespace hv
