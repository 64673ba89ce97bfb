#include "maintenance/exchangeexport.h"

#include <QSaveFile>
#include <limits>

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

// Whether the writer puts blanks into a text: the separator and line breaks cannot be carried.
bool altered(QByteArrayView t, char separator) {
    for (const char c : t)
        if (c == separator || c == '\r' || c == '\n') return true;
    return false;
}

// A stored value by the rules of the reading lines; nullText is what a Null gives, emptyText what
// an empty text gives (only the specific-flux columns write "0" for it). Returns whether a text
// was written altered.
bool writeValue(ExchangeWriter& w, const Query& st, int i, bool isDate, const char* nullText, char separator,
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
            return altered(t, separator);
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

ExportCounts writeLines(Program& p, SqliteConnection& db, ExchangeWriter& w, const QString& projectId,
                        qint16 train, const ExportRange& range, char sep, RunProgress& progress) {
    ExportCounts counts;

    {
        Query q(db, "select " + selectList(ExchangeProjectColumns()) +
                        " from ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
        q.bind(0, projectId);
        q.bind(1, qint64(train));
        if (!q.step()) return counts;
        counts.projectFound = true;
        w.integer(qint64(p.DbVersionNumber) + p.DbVersionRevision);
        w.integer(p.DecimalSeparatorCode);
        line(w);
        const QStringList& names = ExchangeProjectColumns();
        const int n = int(names.size());
        for (const QString& name : names)
            w.text(name);
        line(w);
        const Query& st = q;
        for (int i = 0; i < n; ++i) {
            const QString& name = names[i];
            if (st.isNull(i)) {
                w.raw("0");
            } else if (name.compare("TrainsSame", Qt::CaseInsensitive) == 0 ||
                       name.compare("SystemData", Qt::CaseInsensitive) == 0) {
                w.raw(st.real(i) != 0 ? "TRUE" : "FALSE");
            } else if (writeValue(w, st, i, name.compare("DateReference", Qt::CaseInsensitive) == 0, "0",
                                  sep)) {
                counts.alteredTexts << "the project's " + name;
            }
        }
        line(w);
    }
    progress.setStatus(2, GetMlString(834, "Project Information and Version info Exported."));

    {
        Query q(db, "select " + selectList(ExchangeUserDefinedColumns()) +
                        " from UserDefined WHERE (ProjectID = ?) ORDER BY ID LIMIT 1");
        q.bind(0, projectId);
        if (q.step())
            for (int i = 0; i < q.columnCount(); ++i)
                if (writeValue(w, q, i, false, "", sep))
                    counts.alteredTexts << "the user-defined caption " + q.columnName(i);
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

    const QStringList names = ExchangeDataColumns(ExchangeHasSpecFlux(p.DbVersionMinor, p.DbVersionRevision));
    const int n = int(names.size());
    std::vector<char> kind(size_t(n), 'v'); // v value, d date, s specific flux
    for (int i = 0; i < n; ++i) {
        if (names[i] == QLatin1String("TheDate"))
            kind[size_t(i)] = 'd';
        else if (names[i].startsWith("spec", Qt::CaseInsensitive))
            kind[size_t(i)] = 's';
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
                if (i == 0)
                    w.text(textOf(st, 0));
                else if (kind[size_t(i)] == 's')
                    writeValue(w, st, i, false, "0", sep, "0");
                else if (writeValue(w, st, i, kind[size_t(i)] == 'd', "", sep))
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
                               qint16 train, const ExportRange& range, char separator,
                               RunProgress& progress) {
    ExchangeWriter w(out, separator, p.DecimalSeparatorCode == 44 ? ',' : '.');
    const ExportCounts counts = writeLines(p, db, w, projectId, train, range, separator, progress);
    if (!w.flush()) throw FileError(dberr::FileNotFound, QStringLiteral("The file could not be written."));
    return counts;
}

QString AlteredTextsMessage(const QStringList& alteredTexts, char separator) {
    if (alteredTexts.isEmpty()) return {};
    return "The exchange file cannot carry \"" + QString(QChar::fromLatin1(separator)) +
           "\" or a line break in a text: each was written as a blank in " + alteredTexts.join(", ") + ".";
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
        c = WriteExchangeFile(p, db, file, projectId, train, range, separator, progress);
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
    if (c.found == 0) {
        say(GetMlString(551, "There are no records to export! Please check dates and project information.") +
            "\r\n" + GetMlString(552, "You may look at the data records directly under Edit|Edit Raw Data."));
        // A train without any reading leaves the button off; a range without one lets the user try again.
        result.exportEnabled = c.readingsOfTrain != 0;
    }
    return result;
}

} // namespace hv
