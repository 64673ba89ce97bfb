#include "maintenance/exchangeexport.h"

#include <QBuffer>
#include <QHash>
#include <QSaveFile>
#include <cmath>
#include <limits>

#include "core/currentproject.h"
#include "core/datatables.h"
#include "core/dbversion.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "maintenance/exchangefile.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

constexpr int PageSize = 20000;

// The export reads every value of every reading once, through the fast path's statements.
using Query = SqliteStatement;

QByteArrayView textOf(const Query& q, int i) {
    int length = 0;
    const char* t = q.text(i, &length);
    return QByteArrayView(t, length);
}

// A stored value by the rules of the reading lines; nullText is what a Null gives, emptyText what
// an empty text gives (only the specific-flux columns write "0" for it). Returns whether a text
// was written altered.
bool writeValue(ExchangeWriter& w, const Query& st, int i, bool isDate, const char* nullText,
                const char* emptyText = "") {
    switch (st.type(i)) {
    case Query::Type::Null:
        w.raw(nullText);
        break;
    case Query::Type::Integer:
        w.integer(st.int64(i));
        break;
    case Query::Type::Float:
        w.number(st.real(i));
        break;
    default: {
        const QByteArrayView t = textOf(st, i);
        char d[19];
        if (isDate && ParseExchangeDate(t, d))
            w.raw(QByteArrayView(d, 19));
        else if (t.isEmpty())
            w.raw(emptyText);
        else {
            w.text(t);
            return w.alters(t);
        }
    }
    }
    return false;
}

void line(ExchangeWriter& w) {
    if (!w.endLine()) throw FileError(dberr::FileNotFound, QStringLiteral("The file could not be written."));
}

QString selectList(const QStringList& names) {
    return names.join(',');
}

// Project items that may be unknown: a Null goes as an empty field and comes back Null. Every
// other Null of line 3 is written "0", which the program reads for it.
bool keepsNull(const QString& name) {
    for (const char* n :
         {"AvgConc", "Density", "RefpH", "numVessels", "ElementsPerVessel", "FeedType", "dataExists"})
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::vector<QByteArrayView> splitFields(QByteArrayView line, char separator) {
    std::vector<QByteArrayView> fields;
    for (;;) {
        const qsizetype at = line.indexOf(separator);
        if (at < 0) {
            fields.push_back(line);
            return fields;
        }
        fields.push_back(line.first(at));
        line = line.sliced(at + 1);
    }
}

// The declared types of the ProjectInfo columns, by lower-case name.
QHash<QString, QString> projectColumnTypes(SqliteConnection& db) {
    QHash<QString, QString> declared;
    Query t(db, QStringLiteral("SELECT name, type FROM pragma_table_info('ProjectInfo')"));
    while (t.step())
        declared.insert(t.value(0).toString().toLower(), t.value(1).toString());
    return declared;
}

// Why the import would refuse line 3 as written, read by the import's own rules for the
// database's column types; empty when it reads it.
QString projectLineRefusal(const QHash<QString, QString>& declared, QByteArrayView line, bool decimalComma) {
    ExchangeColumns cols;
    for (const QString& name : ExchangeProjectColumns())
        cols.add(name, ExchangeKindOf(name, declared.value(name.toLower())));
    std::vector<ExchangeValue> values;
    QString why;
    if (!ConvertExchangeFields(splitFields(line, ';'), cols, decimalComma, false, values, &why))
        return "line 3: " + why;
    return ExchangeProjectLineRefusal(cols, values, RequiredProjectColumns());
}

// Why the import would refuse a reading's number as written; empty when it reads it.
QString readingValueRefusal(const Query& st, int i, const QString& name, const ExchangeWholeRange& range,
                            bool decimalComma) {
    double v = 0;
    switch (st.type(i)) {
    case Query::Type::Null:
        return {};
    case Query::Type::Integer:
        v = double(st.int64(i));
        break;
    case Query::Type::Float:
        v = st.real(i);
        if (!std::isfinite(v)) return "the " + name + " value " + QString::number(v) + " is not a number";
        break;
    default: {
        const QByteArrayView t = textOf(st, i);
        if (t.trimmed().isEmpty()) return {};
        if (!ParseExchangeNumber(t, decimalComma, v))
            return "the " + name + " value \"" +
                   QString::fromUtf8(t.first(std::min<qsizetype>(t.size(), 60))) + "\" is not a number";
    }
    }
    return ExchangeRangeRefusal(name, range, v);
}

} // namespace

void ParseProjectEntry(const QString& entry, QString& projectId, qint16& train) {
    const qsizetype at = entry.indexOf(QLatin1String("Train:"));
    train = 0;
    if (at > 0) {
        projectId = entry.left(at - 1);
        bool ok = false;
        const int t = entry.mid(at + 6).trimmed().toInt(&ok);
        if (ok && t >= -32768 && t <= 32767) train = qint16(t);
    } else {
        projectId = entry;
    }
    if (train == 0) train = 1;
}

namespace {

ExportCounts writeLines(SqliteConnection& db, ExchangeWriter& w, const QString& projectId, qint16 train,
                        const ExportRange& range, const DbVersion& version, qint16 decimalCode,
                        RunProgress& progress) {
    ExportCounts counts;
    // Only the exchange text is read back; what its import would refuse is not written at all.
    const bool checked = w.separator() == ';';
    const bool comma = w.decimal() == ',';

    {
        Query q(db, "select " + selectList(ExchangeProjectColumns()) +
                        " from ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
        q.bind(0, projectId);
        q.bind(1, qint64(train));
        if (!q.step()) return counts;
        counts.projectFound = true;
        const QHash<QString, QString> declared = projectColumnTypes(db);
        QByteArray values;
        {
            QBuffer buffer(&values);
            buffer.open(QIODevice::WriteOnly);
            ExchangeWriter v(buffer, w.separator(), w.decimal());
            const QStringList& names = ExchangeProjectColumns();
            const int n = int(names.size());
            const Query& st = q;
            for (int i = 0; i < n; ++i) {
                const QString& name = names[i];
                if (st.isNull(i)) {
                    // A text has no "0" to stand for nothing: its Null goes empty and comes back Null.
                    const bool text =
                        ExchangeKindOf(name, declared.value(name.toLower())) == ExchangeKind::Text;
                    v.raw(text || keepsNull(name) ? "" : "0");
                } else if (name.compare("TrainsSame", Qt::CaseInsensitive) == 0 ||
                           name.compare("SystemData", Qt::CaseInsensitive) == 0) {
                    v.raw(st.real(i) != 0 ? "TRUE" : "FALSE");
                } else if (writeValue(v, st, i, name.compare("DateReference", Qt::CaseInsensitive) == 0,
                                      "0")) {
                    counts.alteredTexts << "the project's " + name;
                }
            }
            v.flush();
        }
        if (checked) {
            counts.refusal = projectLineRefusal(declared, values, comma);
            if (!counts.refusal.isEmpty()) return counts;
        }
        w.integer(qint64(VersionNumber(version.major, version.minor)) + version.revision);
        w.integer(decimalCode);
        line(w);
        for (const QString& name : ExchangeProjectColumns())
            w.text(name);
        line(w);
        w.raw(values);
        line(w);
    }
    progress.setStatus(2, GetMlString(834, "Project Information and Version info Exported."));

    {
        Query q(db, "select " + selectList(ExchangeUserDefinedColumns()) +
                        " from UserDefined WHERE (ProjectID = ?) ORDER BY ID LIMIT 1");
        q.bind(0, projectId);
        if (q.step())
            for (int i = 0; i < q.columnCount(); ++i) {
                const QByteArrayView t = q.type(i) == Query::Type::Text ? textOf(q, i) : QByteArrayView();
                const qsizetype limit = ExchangeTextLimit(q.columnName(i));
                if (checked &&
                    (t.contains('\0') || (t.size() > limit && QString::fromUtf8(t).size() > limit))) {
                    counts.refusal =
                        "line 4: the " + q.columnName(i) + " value " +
                        (t.contains('\0') ? QStringLiteral("holds a NUL character")
                                          : QStringLiteral("is longer than %1 characters").arg(limit));
                    return counts;
                }
                if (writeValue(w, q, i, false, ""))
                    counts.alteredTexts << "the user-defined caption " + q.columnName(i);
            }
        line(w);
    }

    const QString key = QStringLiteral(" from Data WHERE (ProjectID = ?) AND (TrainNumber = ?)");
    const QString inRange = range.all ? QString() : QStringLiteral(" AND (TheDate >= ?) AND (TheDate <= ?)");
    auto bindKey = [&](Query& q) {
        q.bind(0, projectId);
        q.bind(1, qint64(train));
        if (!range.all) {
            q.bind(2, range.from);
            q.bind(3, range.to);
        }
        return range.all ? 2 : 4;
    };
    if (!range.all) {
        Query q(db, "select count(*)" + key);
        bindKey(q);
        q.step();
        counts.readingsOfTrain = q.int64(0);
        if (counts.readingsOfTrain == 0) return counts;
    }
    {
        Query q(db, "select count(*)" + key + inRange);
        bindKey(q);
        q.step();
        counts.found = q.int64(0);
    }
    if (counts.found == 0) return counts;
    {
        // The file carries no reading notes: the summary says how many it leaves out. A note of
        // blanks (as older builds stored for none) is no note.
        Query q(db, "select count(*)" + key + inRange + " AND trim(Note1, ' ' || char(9, 10, 13)) <> ''");
        bindKey(q);
        q.step();
        counts.notesLeftOut = q.int64(0);
    }

    const QStringList names = ExchangeDataColumns(ExchangeHasSpecFlux(version.minor, version.revision));
    const int n = int(names.size());
    std::vector<char> kind(size_t(n), 'v'); // v value, d date, s specific flux
    std::vector<ExchangeWholeRange> ranges(kind.size());
    for (int i = 0; i < n; ++i) {
        const schema::Column* c = schema::Find(schema::Data, names[i]);
        if (c && c->kind == schema::Kind::Date)
            kind[size_t(i)] = 'd';
        else if (c && schema::BroughtBy(*c, schema::SpecificFlux))
            kind[size_t(i)] = 's';
        ranges[size_t(i)] = ExchangeWholeRangeOf(names[i]);
    }
    for (const QString& name : names)
        w.text(name);
    line(w);
    progress.setStatus(2, GetMlString(847, "Data Field Values Exported."));

    // Pages in the order of the date index, so that no read stays open between them and other
    // windows can store readings meanwhile. Readings without a date come last.
    const QString cols = "select " + selectList(names) + ",ID" + key + inRange;
    Query first(db, cols + " AND TheDate IS NOT NULL ORDER BY TheDate DESC, ID DESC LIMIT " +
                        QString::number(PageSize));
    Query more(db, cols + " AND (TheDate, ID) < (?, ?) ORDER BY TheDate DESC, ID DESC LIMIT " +
                       QString::number(PageSize));
    Query undated(db, "select " + selectList(names) + ",ID" + key +
                          " AND TheDate IS NULL AND ID < ? ORDER BY ID DESC LIMIT " +
                          QString::number(PageSize));
    QString lastDate;
    qint64 lastId = std::numeric_limits<qint64>::max();
    qint64 alteredReadings = 0;
    const auto noteAlteredReadings = [&] {
        if (alteredReadings > 0)
            counts.alteredTexts << "texts of " + QString::number(alteredReadings) +
                                       (alteredReadings == 1 ? " reading" : " readings");
    };
    bool datedDone = false;
    const QString exported = GetMlString(848, "Exported ");
    const QString of = GetMlString(849, " Records of ");
    for (;;) {
        Query* q = nullptr;
        if (!datedDone) {
            q = lastDate.isNull() ? &first : &more;
            const int k = bindKey(*q);
            if (q == &more) {
                q->bind(k, lastDate);
                q->bind(k + 1, lastId);
            }
        } else {
            q = &undated;
            q->bind(bindKey(*q), lastId);
        }
        int rows = 0;
        const Query& st = *q;
        while (q->step()) {
            ++rows;
            bool readingAltered = false;
            for (int i = 0; i < n; ++i) {
                if (checked && i > 0) {
                    char d[19];
                    QString why;
                    if (kind[size_t(i)] != 'd')
                        why = readingValueRefusal(st, i, names[i], ranges[size_t(i)], comma);
                    else if (st.type(i) == Query::Type::Null || !ParseExchangeDate(textOf(st, i), d))
                        why = "its TheDate \"" + QString::fromUtf8(textOf(st, i)) +
                              "\" is not a date to the second";
                    if (!why.isEmpty()) {
                        counts.refusal = "the reading of " + QString::fromUtf8(textOf(st, 1)) + " (ID " +
                                         QString::number(st.int64(n)) + "): " + why;
                        return counts;
                    }
                }
                if (i == 0)
                    w.text(textOf(st, 0));
                else if (kind[size_t(i)] == 's')
                    writeValue(w, st, i, false, "0", "0");
                else if (writeValue(w, st, i, kind[size_t(i)] == 'd', ""))
                    readingAltered = true;
            }
            alteredReadings += readingAltered ? 1 : 0;
            line(w);
            ++counts.written;
            if (!datedDone) lastDate = QString::fromUtf8(textOf(st, 1));
            lastId = st.int64(n);
        }
        q->reset();
        if (rows < PageSize) {
            if (datedDone || !range.all) break;
            datedDone = true; // on to the readings without a date
            lastId = std::numeric_limits<qint64>::max();
            continue;
        }
        progress.setStatus(2,
                           exported + QString::number(counts.written) + of + QString::number(counts.found));
        if (progress.yieldAndCheckCancel()) {
            counts.cancelled = true;
            return counts;
        }
    }
    noteAlteredReadings();
    progress.setStatus(2, exported + QString::number(counts.written) + of + QString::number(counts.found));
    return counts;
}

} // namespace

ExportCounts WriteExchangeFile(Program& p, SqliteConnection& db, QIODevice& out, const QString& projectId,
                               qint16 train, const ExportRange& range, char separator, RunProgress& progress,
                               const std::optional<DbVersion>& version) {
    ExchangeWriter w(out, separator, p.DecimalSeparatorCode == 44 ? ',' : '.');
    const DbVersion v =
        version ? *version : DbVersion{p.DbVersionMajor, p.DbVersionMinor, p.DbVersionRevision};
    const ExportCounts counts =
        writeLines(db, w, projectId, train, range, v, qint16(p.DecimalSeparatorCode), progress);
    if (!w.flush()) throw FileError(dberr::FileNotFound, QStringLiteral("The file could not be written."));
    return counts;
}

QString AlteredTextsMessage(const QStringList& alteredTexts, char separator) {
    if (alteredTexts.isEmpty()) return {};
    // The spreadsheet file quotes a text that holds its separator; only a line break is lost.
    const QString what = separator == ','
                             ? QStringLiteral("a line break")
                             : "\"" + QString(QChar::fromLatin1(separator)) + "\" or a line break";
    return "The exchange file cannot carry " + what + " in a text: each was written as a blank in " +
           alteredTexts.join(", ") + ".";
}

QString NotesLeftOutText(qint64 notes) {
    if (notes == 0) return {};
    return QString::number(notes) + (notes == 1 ? " reading note was" : " reading notes were") +
           " left out: the exchange file carries no notes.";
}

ExportResult CreateFile(Program& p, const ExportRequest& r, RunProgress& progress) {
    ExportResult result;
    auto say = [&](const QString& text) { p.prompts.message(text, Buttons::OK, Icon::None, Title); };
    auto status = [&](int panel, const QString& text) { progress.setStatus(panel, text); };
    if (r.listIndex < 0) {
        say(GetMlString(548, "No projects found.  Check that you have the correct database path."));
        return result;
    }
    if (r.to < r.from) {
        say(GetMlString(822, "To-Date should be greater than From-Date."));
        result.focusTo = true;
        return result;
    }
    QString projectId = r.key.projectId;
    qint16 train = r.key.train;
    if (projectId.isEmpty()) ParseProjectEntry(r.entry, projectId, train);
    const char separator = p.ExportCsvMode ? ',' : ';';
    // Every other text has the separator replaced; the ID would come back as another project.
    for (const QChar c : {QChar::fromLatin1(separator), QChar('\r'), QChar('\n')})
        if (projectId.contains(c)) {
            say("The project ID " + projectId + " holds the character " +
                (c == separator ? "\"" + QString(c) + "\"" : QStringLiteral("of a line break")) +
                ", which the exchange file cannot carry; nothing was exported.");
            return result;
        }
    ExportRange range;
    range.all = r.allDates;
    range.from = QDateTime(r.from.date(), QTime(0, 0)).toString("yyyy-MM-dd HH:mm:ss");
    range.to = r.to.addSecs(1439 * 60).toString("yyyy-MM-dd HH:mm:ss");

    // The file names the version of the database it comes from: without it no import can read it.
    DbVersion version;
    try {
        version = ReadDbVersionOf(p.ProjectDatabasePath);
    } catch (const RunError& e) {
        say("Export failed: the version of the database could not be read, error = " +
            QString::number(e.number()) + ", " + e.description() + ". Nothing was exported.");
        return result;
    }

    QSaveFile file(r.outputFile);
    // The writer hands over whole blocks; a second buffer would only copy them again.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        say("The file " + r.outputFile + " could not be created: " + file.errorString());
        return result;
    }
    status(1, GetMlString(832, "Exporting to: <") +
                  (r.entry.isEmpty() ? ProjectTrainText(projectId, train) : r.entry) + ">");
    result.exportEnabled = false;
    ExportCounts c;
    try {
        SqliteConnection db(p.ProjectDatabasePath);
        c = WriteExchangeFile(p, db, file, projectId, train, range, separator, progress, version);
    } catch (const RunError& e) {
        // The device's own words (a full disk, a size limit) are gone once the file is cancelled.
        const QString why = file.error() != QFileDevice::NoError ? file.errorString() : e.description();
        file.cancelWriting();
        say("Export failed, error = " + QString::number(e.number()) + ", " + why);
        result.exportEnabled = true;
        return result;
    }
    result.written = c.written;
    if (!c.projectFound) {
        file.cancelWriting();
        say("Project " + projectId + " Train: " + QString::number(train) + " was not found in the database.");
        result.exportEnabled = true;
        return result;
    }
    if (!c.refusal.isEmpty()) {
        file.cancelWriting();
        say("Export refused: the import could not read this file back, " + c.refusal +
            ". Nothing was exported.");
        result.exportEnabled = true;
        return result;
    }
    if (c.cancelled) {
        file.cancelWriting();
        status(2, "Export cancelled after " + QString::number(c.written) + " records; no file was written.");
        result.exportEnabled = true;
        return result;
    }
    if (!file.commit()) {
        say("The file " + r.outputFile + " could not be written: " + file.errorString());
        result.exportEnabled = true;
        return result;
    }
    result.alteredTexts = c.alteredTexts;
    result.notesLeftOut = c.notesLeftOut;
    if (c.notesLeftOut > 0)
        status(2, GetMlString(848, "Exported ") + QString::number(c.written) +
                      GetMlString(849, " Records of ") + QString::number(c.found) + ". " +
                      NotesLeftOutText(c.notesLeftOut));
    if (c.found == 0) {
        say(GetMlString(551, "There are no records to export! Please check dates and project information.") +
            "\r\n" + GetMlString(552, "You may look at the data records directly under Edit|Edit Raw Data."));
        // A train without any reading leaves the button off; a range without one lets the user try again.
        result.exportEnabled = c.readingsOfTrain != 0;
    }
    return result;
}

} // namespace hv
