#include "maintenance/exchangeexport.h"

#include <QBuffer>
#include <QHash>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/currentproject.h"
#include "core/datatables.h"
#include "core/dbversion.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "maintenance/exchangefile.h"
#include "normalization/intake.h"
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
        else if (const std::optional<qint64> key =
                     isDate ? ReadingDateKey(t.data(), int(t.size())) : std::nullopt)
            w.raw(StoredDateText(*key).toLatin1());
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
    // Readings whose date is stored in another spelling go by their instant, as the date rule
    // reads it: they are few, and found once here.
    const QString shape = " AND " + StoredDateShapeCondition();
    struct Other {
        qint64 key, id;
    };
    std::vector<Other> others, unreadable;
    bool otherSpellings = false; // in the train, in the period or not
    {
        Query q(db, "select ID, TheDate, trim(Note1, ' ' || char(9, 10, 13)) <> ''" + key +
                        " AND TheDate IS NOT NULL AND NOT" + shape.mid(4));
        bindKey(q);
        const std::optional<qint64> from = range.all ? std::nullopt : ReadingDateKey(range.from);
        const std::optional<qint64> to = range.all ? std::nullopt : ReadingDateKey(range.to);
        while (q.step()) {
            otherSpellings = true;
            const QByteArrayView t = textOf(q, 1);
            const std::optional<qint64> k = ReadingDateKey(t.data(), int(t.size()));
            if (!k) {
                if (range.all) unreadable.push_back({0, q.int64(0)});
                continue;
            }
            if ((from && *k < *from) || (to && *k > *to)) continue;
            others.push_back({*k, q.int64(0)});
            counts.notesLeftOut += q.int64(2);
        }
        counts.found = qint64(others.size() + unreadable.size());
        // Newest first; the first ID stored first among readings of one instant.
        std::sort(others.begin(), others.end(), [](const Other& a, const Other& b) {
            return a.key != b.key ? a.key > b.key : a.id > b.id;
        });
        std::sort(unreadable.begin(), unreadable.end(),
                  [](const Other& a, const Other& b) { return a.id > b.id; });
        others.insert(others.end(), unreadable.begin(), unreadable.end());
    }
    if (!range.all) {
        Query q(db, "select count(*)" + key);
        bindKey(q);
        q.step();
        counts.readingsOfTrain = q.int64(0);
        if (counts.readingsOfTrain == 0) return counts;
    }
    {
        // The stored form sorts as its instant: the date index holds the range.
        Query q(db, "select count(*), coalesce(sum(trim(Note1, ' ' || char(9, 10, 13)) <> ''), 0)" + key +
                        inRange + (range.all ? QString() : shape));
        bindKey(q);
        q.step();
        // With every date, the count of all holds the other spellings already.
        counts.found = range.all ? q.int64(0) : counts.found + q.int64(0);
        counts.notesLeftOut = range.all ? q.int64(1) : counts.notesLeftOut + q.int64(1);
    }
    if (counts.found == 0) return counts;

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
    // One reading line; false when the import would refuse it (counts.refusal says why).
    const auto writeReading = [&](const Query& st) {
        bool readingAltered = false;
        for (int i = 0; i < n; ++i) {
            if (checked && i > 0) {
                QString why;
                if (kind[size_t(i)] != 'd') {
                    why = readingValueRefusal(st, i, names[i], ranges[size_t(i)], comma);
                } else if (st.type(i) == Query::Type::Null ||
                           !ReadingDateKey(textOf(st, i).data(), int(textOf(st, i).size()))) {
                    why = "its TheDate \"" + QString::fromUtf8(textOf(st, i)) +
                          "\" is not a date to the second";
                }
                if (!why.isEmpty()) {
                    counts.refusal = "the reading of " + QString::fromUtf8(textOf(st, 1)) + " (ID " +
                                     QString::number(st.int64(n)) + "): " + why;
                    return false;
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
        return true;
    };
    // The readings of other spellings due before a reading of the stored form at `key`, `id`
    // (all that are left when there is none); false when one is refused or the user cancels.
    Query byId(db, "select " + selectList(names) + ",ID from Data WHERE ID = ?");
    size_t nextOther = 0;
    const auto writeOthersBefore = [&](std::optional<std::pair<qint64, qint64>> at) {
        for (; nextOther < others.size(); ++nextOther) {
            const Other& o = others[nextOther];
            if (at && (nextOther >= others.size() - unreadable.size() || std::pair(o.key, o.id) < *at))
                return true;
            byId.reset();
            byId.bind(0, o.id);
            const bool ok = !byId.step() || writeReading(byId);
            byId.reset();
            if (!ok) return false;
            // A train of other spellings only is written here whole: it yields as a page does.
            if ((nextOther + 1) % PageSize == 0) {
                progress.setStatus(2, exported + QString::number(counts.written) + of +
                                          QString::number(counts.found));
                if (progress.yieldAndCheckCancel()) {
                    counts.cancelled = true;
                    return false;
                }
            }
        }
        return true;
    };
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
            if (!datedDone) {
                const QByteArrayView date = textOf(st, 1);
                lastDate = QString::fromUtf8(date);
                lastId = st.int64(n);
                // Another spelling has its own place by its instant.
                if (otherSpellings) {
                    if (!IsStoredDateText(date.data(), int(date.size()))) continue;
                    const std::optional<qint64> k = ReadingDateKey(date.data(), int(date.size()));
                    if (!writeOthersBefore(std::pair(k.value_or(0), lastId))) return counts;
                }
            } else {
                lastId = st.int64(n);
            }
            if (!writeReading(st)) return counts;
        }
        q->reset();
        if (rows < PageSize) {
            if (!datedDone && !writeOthersBefore(std::nullopt)) return counts;
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
