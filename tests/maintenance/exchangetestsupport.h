#pragma once
// What the exchange tests share: the program's number settings and version, files of the
// format built line by line, and what the database holds afterwards.
#include "core/numbers.h"
#include "core/projecttrainkey.h"
#include "core/settings.h"
#include "maintenance/exchangeexport.h"
#include "maintenance/exchangefile.h"
#include "maintenance/exchangeimport.h"
#include "maintenance/ui/frmexportdata.h"
#include "maintenance/ui/frmimportdata.h"
#include "normalization/normalize.h"
#include "platform/bulkwork.h"
#include "platform/database.h"
#include "platform/sqlite.h"
#include "support/files.h"
#include "support/fixtures.h"
#include "support/testenv.h"
#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>

namespace hv::test {

// What the test sees of a run and how it stops it.
struct Events : RunProgress {
    std::function<void(int, const QString&)> status;
    std::function<bool()> yield;
    void setStatus(int panel, const QString& text) override {
        if (status) status(panel, text);
    }
    bool yieldAndCheckCancel() override { return yield && yield(); }
};

inline void useLocale(Program& p, bool comma) {
    QLocale::setDefault(comma ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
    p.DecimalSeparator = comma ? "," : ".";
    p.DecimalSeparatorCode = comma ? 44 : 46;
}

inline void setVersion(Program& p, int major, int minor, int revision) {
    p.DbVersionMajor = qint16(major);
    p.DbVersionMinor = qint16(minor);
    p.DbVersionRevision = qint16(revision);
    p.DbVersionNumber = major * 1000000 + minor * 1000;
}

// The file of one project train as lines, written into memory.
inline QStringList exportLines(Program& p, const QString& id, qint16 train, const ExportRange& range,
                               char sep = ';') {
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    SqliteConnection db(p.ProjectDatabasePath);
    WriteExchangeFile(p, db, buf, id, train, range, sep);
    QString all = QString::fromUtf8(buf.data());
    if (!all.isEmpty()) {
        QTest::qVerify(all.endsWith("\r\n"), "endsWith", "every line ends CR LF", __FILE__, __LINE__);
        all.chop(2);
    }
    return all.isEmpty() ? QStringList() : all.split("\r\n");
}

// The lines as a file of the folder, each ended CR LF; returns its path.
inline QString writeFile(const TestEnv& env, const QString& name, const QStringList& lines) {
    writeFile(env.path(name), (lines.join("\r\n") + "\r\n").toUtf8());
    return env.path(name);
}

inline QString writeBytes(const TestEnv& env, const QString& name, const QByteArray& bytes) {
    writeFile(env.path(name), bytes);
    return env.path(name);
}

inline int count(Program& p, const QString& sql, const QVariantList& params = {}) {
    return Database::open(p.ProjectDatabasePath).scalar(sql, params).toInt();
}

inline QVariant valueOf(Program& p, const QString& sql, const QVariantList& params = {}) {
    return Database::open(p.ProjectDatabasePath).scalar(sql, params);
}

// The raw items a reading's calculation needs besides PermFlow, named after the columns of a
// sample file and given a value in each of its readings: without them a reading is refused.
inline const QStringList& requiredItems() {
    static const QStringList names = [] {
        QStringList n;
        for (const ReadColumn& c : ReadColumns)
            if (c.kind == ReadKind::Number && QLatin1String(c.name) != QLatin1String("PermFlow")) n << c.name;
        return n;
    }();
    return names;
}
// A reading line of a sample file with its required items after the fields given.
inline QString full(const QString& line) {
    return line + QString(";1").repeated(requiredItems().size());
}

// A small valid file of project P1 train 1 with two readings, in the point mode.
inline QStringList sampleFile(const QString& version = "1003038;46") {
    QStringList names = ExchangeProjectColumns();
    QStringList values;
    for (const QString& n : names) {
        if (n == "ProjectID")
            values << "P1";
        else if (n == "DateReference")
            values << "2020-01-01 00:00:00";
        else if (n == "Description")
            values << "Plant";
        else if (n == "TrainNumber" || n == "NumBanks" || n == "NumTrains")
            values << "1";
        else if (n == "TrainsSame" || n == "SystemData")
            values << "TRUE";
        else
            values << "0";
    }
    const QStringList data =
        QStringList{"ProjectID", "TheDate", "TrainNumber", "PermFlow", "ORP"} + requiredItems();
    return {version,
            names.join(';'),
            values.join(';'),
            "",
            data.join(';'),
            full("P1;2013-05-02 10:00:00;1;12.5;"),
            full("P1;2013-05-01 10:00:00;1;11;3")};
}

inline QStringList withLine(QStringList lines, int lineNumber, const QString& text) {
    lines[lineNumber - 1] = text;
    return lines;
}

// Sets one value of line 3 by column name.
inline QStringList withProjectValue(QStringList lines, const QString& column, const QString& value) {
    QStringList values = lines[2].split(';');
    values[ExchangeProjectColumns().indexOf(column)] = value;
    lines[2] = values.join(';');
    return lines;
}

inline ImportRange allDates() {
    return ImportRange{true, {}, {}};
}

} // namespace hv::test
