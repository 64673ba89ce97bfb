#include "support/files.h"

#include <QFile>
#include <QTest>

#include "platform/database.h"

namespace hv::test {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    QTest::qVerify(ok, "writeFile", qPrintable(path + ": " + f.errorString()), __FILE__, __LINE__);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeText(const QString& path, const QString& text) {
    writeFile(path, text.toUtf8());
}

QString readText(const QString& path) {
    return QString::fromUtf8(readFile(path));
}

int rowCount(const QString& dbPath, const QString& table, const QString& where, const QVariantList& params) {
    Database db = Database::open(dbPath);
    return db
        .scalar("SELECT count(*) FROM " + quoteIdent(table) +
                    (where.isEmpty() ? QString() : " WHERE " + where),
                params)
        .toInt();
}

} // namespace hv::test
