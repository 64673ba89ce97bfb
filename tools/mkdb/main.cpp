// Builds a SQLite database file from an SQL script: used by the build to make
// the template project and element databases that the install step copies, and,
// given a BASE database to start from, the sample databases made from a template.
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include "platform/filelimits.h"
#include "platform/sqlscript.h"

int main(int argc, char** argv) {
    hv::IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 && args.size() != 4) {
        QTextStream(stderr) << "usage: hevrin-mkdb SCRIPT.sql OUTPUT [BASE]\n";
        return 2;
    }
    QFile script(args[1]);
    if (!script.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << args[1] << "\n";
        return 1;
    }
    const QString out = args[2];
    QFile::remove(out);
    if (args.size() == 4 && !QFile::copy(args[3], out)) {
        QTextStream(stderr) << "cannot copy " << args[3] << "\n";
        return 1;
    }
    QString err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "mkdb");
        db.setDatabaseName(out);
        if (!db.open()) {
            QTextStream(stderr) << db.lastError().text() << "\n";
            return 1;
        }
        err = hv::runSqlScript(db, QString::fromUtf8(script.readAll()));
        db.close();
    }
    QSqlDatabase::removeDatabase("mkdb");
    if (!err.isEmpty()) {
        QTextStream(stderr) << args[1] << ": " << err << "\n";
        QFile::remove(out);
        if (args.size() == 4 && !QFile::copy(args[3], out)) {
            QTextStream(stderr) << "cannot copy " << args[3] << "\n";
            return 1;
        }
        return 1;
    }
    return 0;
}
