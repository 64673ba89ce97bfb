#include "platform/sqlscript.h"

#include <QSqlError>
#include <QSqlQuery>

namespace hv {

QStringList splitSqlScript(const QString& script) {
    QStringList out;
    QString cur;
    bool inQuote = false, inLineComment = false;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script[i];
        if (inLineComment) {
            if (c == '\n') inLineComment = false;
            continue;
        }
        if (!inQuote && c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            inLineComment = true;
            continue;
        }
        if (c == '\'') inQuote = !inQuote;
        if (c == ';' && !inQuote) {
            if (!cur.trimmed().isEmpty()) out << cur.trimmed();
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!cur.trimmed().isEmpty()) out << cur.trimmed();
    return out;
}

QString runSqlScript(QSqlDatabase& db, const QString& script) {
    if (!db.transaction()) return db.lastError().text();
    QSqlQuery q(db);
    for (const QString& stmt : splitSqlScript(script)) {
        if (!q.exec(stmt)) {
            const QString err = q.lastError().text() + " in: " + stmt.left(200);
            q.finish();
            db.rollback();
            return err;
        }
    }
    q.finish();
    if (!db.commit()) return db.lastError().text();
    return {};
}

} // namespace hv
