#include "maintenance/exchangeimport.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <cmath>
#include <memory>

#include "core/currentproject.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/settings.h"
#include "normalization/intake.h"
#include "normalization/recalculate.h"
#include "platform/database.h"
#include "platform/sqlite.h"

namespace hv {

namespace {

const QString CrLf = QStringLiteral("\r\n");
// The other windows get a turn, and the user the chance to cancel, after this many readings or
// this long, whichever comes first.
constexpr BatchPolicy Turns{50000, 1000, 5000};

qint32 programVersion() {
    return ProgramVersionMajor * 1000000 + ProgramVersionMinor * 1000 + ProgramVersionRevision;
}

void say(Program& p, const QString& text) {
    p.prompts.message(text, Buttons::OK, Icon::None, Title);
}

// The message for a file the reader cannot take, naming the place and the file.
void refuseFile(Program& p, const QString& file, const QString& why) {
    say(p, "This IMPORT file cannot be read: " + why + ". Import aborted." + CrLf +
               GetMlString(1001, "The Import File in use is: ") + file);
}

// Every line of the writer ends with CR LF; a line without its line end is a file cut short
// inside that line.
QString cutShort(qint64 line) {
    return QStringLiteral("line %1 has no line end: the file is cut short").arg(line);
}

// A whole number that fits 16 bits, as ToIntegerOrZero takes it; 0 otherwise.
qint16 wholeOrZero(const ExchangeValue& v) {
    if (v.type != ExchangeValue::Number) return 0;
    const double r = std::nearbyint(v.number);
    return r >= -32768 && r <= 32767 ? qint16(r) : qint16(0);
}

// A stored date "yyyy-mm-dd hh:mm:ss" as the number yyyymmddhhmmss: a cheaper key than its text.
qint64 dateKey(const QByteArray& t) {
    qint64 k = 0;
    for (const char ch : t)
        if (ch >= '0' && ch <= '9') k = k * 10 + (ch - '0');
    return k;
}

struct TableColumns {
    QHash<QString, QPair<QString, QString>> byLower; // name and declared type
};

TableColumns tableColumns(SqliteConnection& db, const QString& table) {
    TableColumns t;
    SqliteStatement q(db, QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    q.bind(0, table);
    while (q.step()) {
        const QString name = q.value(0).toString();
        t.byLower.insert(name.toLower(), {name, q.value(1).toString()});
    }
    return t;
}

// Checks a names line against the table: every name must be a real column other than ID, and
// none may stand twice. Fills cols with the table's spelling and kind.
bool checkNames(const QStringList& names, const TableColumns& table, ExchangeColumns& cols, QString& why) {
    cols = ExchangeColumns();
    QSet<QString> seen;
    for (const QString& name : names) {
        const QString lower = name.toLower();
        const auto it = table.byLower.constFind(lower);
        if (name.isEmpty() || lower == QLatin1String("id") || it == table.byLower.constEnd()) {
            why = "the column \"" + name + "\" is not in the database";
            return false;
        }
        if (seen.contains(lower)) {
            why = "the column \"" + name + "\" is named twice";
            return false;
        }
        seen.insert(lower);
        cols.add(it->first, ExchangeKindOf(it->first, it->second));
    }
    return true;
}

QString insertSql(const QString& table, const QStringList& names) {
    QStringList quoted, marks;
    for (const QString& n : names) {
        quoted << quoteIdent(n);
        marks << QStringLiteral("?");
    }
    return "INSERT INTO " + table + " (" + quoted.join(',') + ") VALUES (" + marks.join(',') + ")";
}

void bindValue(SqliteStatement& st, int i, const ExchangeValue& v) {
    switch (v.type) {
    case ExchangeValue::Null:
        st.bindNull(i);
        break;
    case ExchangeValue::Number:
        st.bind(i, v.number);
        break;
    case ExchangeValue::Text:
        st.bindText(i, v.text);
        break;
    }
}

// Runs a prepared insert with the values bound; DbError on failure.
void runInsert(SqliteStatement& st, const std::vector<ExchangeValue>& values) {
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(st, int(i), values[i]);
    st.step();
    st.reset();
}

bool sameHeader(const ExchangeHeader& a, const ExchangeHeader& b) {
    return a.linesRead == b.linesRead && a.line1 == b.line1 && a.projectNames == b.projectNames &&
           a.projectFields == b.projectFields && a.userDefinedLine == b.userDefinedLine;
}

QString dbFailure(const QString& what, const RunError& e) {
    return what + ", error = " + QString::number(e.number()) + ", " + e.description();
}

// The readings part of a file: line 5 and the lines after it.
struct ReadingLines {
    ExchangeColumns cols;
    bool present = false; // a line 5 was there
};

} // namespace

ChoiceOutcome ChooseImportFile(Program& p, const QString& path, ImportChoice& c) {
    c.accepted = false;
    c.ImportFileName = path;
    auto refused = [&] { return ChoiceOutcome::Refused; };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(p, "The file " + path + " could not be opened: " + file.errorString());
        return refused();
    }
    // The writer makes UTF-8 or Windows-1252 text; UTF-16 would read as a garbled line 1.
    const QByteArray start = file.peek(512);
    if (start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF") || start.contains('\0')) {
        refuseFile(p, path, "it is UTF-16 (Unicode) text; save it as UTF-8 or ANSI text and choose it again");
        return refused();
    }
    ExchangeReader reader(file);
    ExchangeHeader h;
    if (!ReadExchangeHeader(reader, h)) {
        refuseFile(p, path, reader.error());
        return refused();
    }
    file.close();
    if (h.cutLine > 0) {
        refuseFile(p, path, cutShort(h.cutLine));
        return refused();
    }
    c.ImportDecimalComma = h.decimalComma;

    bool okOldest = false;
    qint32 oldest = ReadIniValue("Current Project", "ExportVersionChange", "1001010", p.IniFilePath)
                        .trimmed()
                        .toInt(&okOldest);
    if (!okOldest) oldest = 0;

    // A spreadsheet file has "," where the exchange file has ";": nothing of it can be read.
    if (!h.line1.contains(';') && h.line1.contains(',')) {
        refuseFile(p, path,
                   "it is a spreadsheet CSV (fields separated by \",\"), not an exchange file; export the "
                   "project again as an exchange text file (\";\") to import it");
        return refused();
    }
    if (!h.version) {
        say(p, GetMlString(
                   967, "This IMPORT file was made with an incompatible export version or the version info "
                        "is missing or has been modified. Import aborted.") +
                   GetMlString(
                       968, "You can try Import Data (Collected Outside of HV) from another Excel program") +
                   CrLf + GetMlString(969, "Version info should be in cell A1 of the Excel sheet.") + CrLf +
                   GetMlString(970, "Current Program version is: ") + ProgramVersionText +
                   GetMlString(971, " and the import file should show ") + QString::number(programVersion()) +
                   CrLf + GetMlString(972, "Should be compatible up to version: ") + QString::number(oldest));
        return refused();
    }
    if (*h.version < oldest) {
        say(p,
            GetMlString(
                963, "Incompatible export versions or version info missing in .txt file. Import aborted.") +
                CrLf + GetMlString(964, "Program version is: ") + ProgramVersionText + CrLf +
                GetMlString(966, "It should be compatible back to version: ") + QString::number(oldest));
        return refused();
    }
    if (*h.version > programVersion()) {
        refuseFile(p, path,
                   QStringLiteral("line 1: the file's version %1 is newer than this program's %2, whose "
                                  "import may not know its columns")
                       .arg(*h.version)
                       .arg(programVersion()));
        return refused();
    }
    if (!h.decimalMark) {
        refuseFile(p, path,
                   "line 1: the decimal-mark code \"" + h.decimalMarkText +
                       "\" is neither 46 (a decimal point) nor 44 (a decimal comma)");
        return refused();
    }
    c.FileIsOlder = programVersion() > *h.version;
    if (c.FileIsOlder)
        say(p,
            "The data and project in this file were created with an older version of Hevrin. Recalculation "
            "of this project is highly recommended, otherwise the data may be in error. You will be prompted "
            "at the end to recalculate.");
    if (h.linesRead < 3) {
        refuseFile(p, path, "it ends before line 3, the project information");
        return refused();
    }

    try {
        SqliteConnection db(p.ProjectDatabasePath);
        QString why;
        const TableColumns projectTable = tableColumns(db, "ProjectInfo");
        if (projectTable.byLower.isEmpty() || tableColumns(db, "Data").byLower.isEmpty()) {
            say(p, "The database " + p.ProjectDatabasePath +
                       " is not a project database: it has no ProjectInfo or no Data table. Import aborted.");
            return refused();
        }
        if (!checkNames(h.projectNames, projectTable, c.projectColumns, why)) {
            refuseFile(p, path, "line 2: " + why);
            return refused();
        }
        const ExchangeColumns& cols = c.projectColumns;
        if (cols.projectIdPos < 0 || cols.trainPos < 0) {
            refuseFile(p, path, "line 2 names no ProjectID or no TrainNumber");
            return refused();
        }
        std::vector<QByteArrayView> fields(h.projectFields.begin(), h.projectFields.end());
        if (!ConvertExchangeFields(fields, cols, c.ImportDecimalComma, false, c.projectValues, &why)) {
            refuseFile(p, path, "line 3: " + why);
            return refused();
        }
        why = ExchangeProjectLineRefusal(cols, c.projectValues, RequiredProjectColumns());
        if (!why.isEmpty()) {
            refuseFile(p, path, why);
            return refused();
        }
        const ExchangeValue& id = c.projectValues[size_t(cols.projectIdPos)];
        const ExchangeValue& train = c.projectValues[size_t(cols.trainPos)];
        const QStringList& udNames = ExchangeUserDefinedColumns();
        for (int i = 0; i < std::min(h.userDefinedFields.size(), udNames.size()); ++i) {
            const QString& f = h.userDefinedFields[i];
            const qsizetype limit = ExchangeTextLimit(udNames[i]);
            if (f.contains(QChar(0)) || f.size() > limit) {
                refuseFile(p, path,
                           "line 4: the " + udNames[i] + " value " +
                               (f.size() > limit ? QStringLiteral("is longer than %1 characters").arg(limit)
                                                 : QStringLiteral("holds a NUL character")));
                return refused();
            }
        }
        c.FileProjectID = QString::fromUtf8(id.text);
        c.FileTrainNumber = wholeOrZero(train);
        c.FileDateReference =
            cols.datePos >= 0 ? QString::fromUtf8(c.projectValues[size_t(cols.datePos)].text) : QString();
        int descPos = -1;
        for (int i = 0; i < cols.names.size(); ++i)
            if (cols.names[i].compare("Description", Qt::CaseInsensitive) == 0) descPos = i;
        c.FileDescription = descPos >= 0 && c.projectValues[size_t(descPos)].type == ExchangeValue::Text
                                ? QString::fromUtf8(c.projectValues[size_t(descPos)].text)
                                : QString();
        c.header = h;

        SqliteStatement q(db, "select count(*) from ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
        q.bind(0, c.FileProjectID);
        q.bind(1, qint64(c.FileTrainNumber));
        q.step();
        c.ProjectExists = q.int64(0) > 0;
    } catch (const DbError& e) {
        say(p, dbFailure("The database could not be read", e));
        return refused();
    }

    if (!c.ProjectExists) {
        c.accepted = true;
        return ChoiceOutcome::NewProject;
    }
    const QString question =
        "This PROJECT exists already in the " + p.ProjectDatabasePath + " database." + CrLf + CrLf +
        "This operation can OVERWRITE existing PROJECT REFERENCE INFORMATION and ADD DATA or..." + CrLf +
        "You may ADD DATA ONLY and keep your existing project information." + CrLf + CrLf +
        "YES - OVERWRITE AND ADD DATA" + CrLf +
        "NO - DO NOT OVERWRITE PROJECT INFORMATION (Data will still be added)" + CrLf +
        "CANCEL to exit without adding data or changing the project.";
    switch (p.prompts.message(question, Buttons::YesNoCancel, Icon::Question, Title)) {
    case Answer::Yes:
        c.OverwriteProject = true;
        c.accepted = true;
        return ChoiceOutcome::Overwrite;
    case Answer::No:
        c.OverwriteProject = false;
        c.accepted = true;
        return ChoiceOutcome::AddOnly;
    default:
        return ChoiceOutcome::Cancelled;
    }
}

namespace {

// Opens the file again and reads up to line 5; false (with the message shown) when the file is
// no longer the one chosen or its line 5 does not fit the database.
bool reopen(Program& p, const ImportChoice& c, const TableColumns& dataTable, QFile& file,
            std::unique_ptr<ExchangeReader>& reader, ReadingLines& lines) {
    if (!file.open(QIODevice::ReadOnly)) {
        say(p, "The file " + c.ImportFileName + " could not be opened: " + file.errorString());
        return false;
    }
    reader = std::make_unique<ExchangeReader>(file);
    ExchangeHeader h;
    if (!ReadExchangeHeader(*reader, h) || !sameHeader(h, c.header)) {
        refuseFile(p, c.ImportFileName, "it has changed since it was chosen; please choose it again");
        return false;
    }
    lines = ReadingLines();
    if (h.linesRead < 4 || !reader->readLine()) {
        if (reader->error().isEmpty()) return true;
        refuseFile(p, c.ImportFileName, reader->error());
        return false;
    }
    lines.present = true;
    if (!reader->lineEnded()) {
        refuseFile(p, c.ImportFileName, cutShort(reader->lineNumber()));
        return false;
    }
    QStringList names;
    for (const QByteArrayView f : reader->split())
        names << DecodeExchangeText(f).trimmed();
    while (!names.isEmpty() && names.last().isEmpty())
        names.removeLast();
    QString why;
    if (!checkNames(names, dataTable, lines.cols, why)) {
        refuseFile(p, c.ImportFileName, "line 5: " + why);
        return false;
    }
    if (lines.cols.projectIdPos < 0 || lines.cols.trainPos < 0 || lines.cols.datePos < 0 ||
        lines.cols.names[lines.cols.datePos].compare("TheDate", Qt::CaseInsensitive) != 0) {
        refuseFile(p, c.ImportFileName, "line 5 names no ProjectID, TheDate or TrainNumber");
        return false;
    }
    return true;
}

} // namespace

ImportResult RunImport(Program& p, ImportChoice& c, const ImportRange& range, RunProgress& progress) {
    ImportResult r;
    r.refused = true;
    // A write that failed on the disk (full, over its size limit) leaves its journal behind
    // once the connection is closed: a new connection that reads the file plays it back, so
    // that the database file alone is whole again.
    struct SettleJournal {
        const QString path;
        const ImportResult& r;
        ~SettleJournal() {
            if (r.finished || !QFile::exists(path + "-journal")) return;
            try {
                SqliteConnection again(path);
                SqliteStatement q(again, QStringLiteral("SELECT count(*) FROM sqlite_master"));
                q.step();
            } catch (const RunError&) {
            }
        }
    } settle{p.ProjectDatabasePath, r};
    if (!c.accepted) return r;
    auto status = [&](int panel, const QString& text) { progress.setStatus(panel, text); };
    auto yield = [&] { return progress.yieldAndCheckCancel(); };
    // What the run before left on the panels is not this run's.
    status(1, QString());
    if (!range.all && range.to < range.from) {
        say(p, "To-Date should be greater than From-Date.");
        r.focusTo = true;
        return r;
    }
    const QByteArray lower = range.from.toString("yyyy-MM-dd HH:mm:ss").toLatin1();
    const QByteArray upper = range.to.addSecs(1439 * 60).toString("yyyy-MM-dd HH:mm:ss").toLatin1();
    auto inRange = [&](const ExchangeValue& date) {
        return range.all || (date.text >= lower && date.text <= upper);
    };

    try {
        SqliteConnection db(p.ProjectDatabasePath, Turns.busyTimeoutMs);
        const TableColumns dataTable = tableColumns(db, "Data");
        std::vector<ExchangeValue> values;
        QString why;
        const QByteArray fileId = c.FileProjectID.toUtf8();
        // A reading line carries the file's train, or the first line's when the user chose to
        // import that one anyway.
        qint16 acceptedTrain = c.FileTrainNumber;

        // Empty lines end the readings only at the end of the file: one with readings after it
        // would leave those out unseen.
        qint64 emptyLine = 0;
        auto readingAfterEmpty = [&](const ExchangeReader& reader) {
            if (reader.lineIsBlank()) {
                if (emptyLine == 0) emptyLine = reader.lineNumber();
                return false;
            }
            return emptyLine > 0;
        };
        auto readingAfterEmptyText = [&](const ExchangeReader& reader) {
            return QStringLiteral("line %1 is empty, but a reading follows it on line %2")
                .arg(emptyLine)
                .arg(reader.lineNumber());
        };
        // A reading line: whole, of the file's project and of an accepted train. The first line
        // has its own questions; it passes here too once they are answered.
        auto lineFits = [&](const ExchangeReader& reader, const std::vector<QByteArrayView>& fields,
                            const ReadingLines& lines, QString& whyNot) {
            const QString at = QStringLiteral("line %1").arg(reader.lineNumber());
            const size_t named = size_t(lines.cols.names.size());
            if (fields.size() < named) {
                whyNot = at + QStringLiteral(": it has %1 fields where %2 columns are named")
                                  .arg(fields.size())
                                  .arg(named);
                return false;
            }
            const QByteArrayView id = fields[size_t(lines.cols.projectIdPos)];
            if (id != QByteArrayView(fileId) && DecodeExchangeText(id) != c.FileProjectID) {
                whyNot = at + ": the ProjectID \"" +
                         DecodeExchangeText(id.first(std::min<qsizetype>(id.size(), 60))) +
                         "\" is not the file's project " + c.FileProjectID;
                return false;
            }
            const QByteArrayView trainText = fields[size_t(lines.cols.trainPos)];
            double train = 0;
            if (!ParseExchangeNumber(trainText, c.ImportDecimalComma, train) ||
                (train != c.FileTrainNumber && train != acceptedTrain)) {
                whyNot = at + ": the TrainNumber \"" +
                         DecodeExchangeText(trainText.first(std::min<qsizetype>(trainText.size(), 60))) +
                         "\" is not the file's train " + QString::number(c.FileTrainNumber);
                return false;
            }
            return true;
        };

        // The file is read once: each line is checked as it is stored, and a line the import
        // refuses undoes what was stored before it, so that a refused file writes nothing.
        QFile file(c.ImportFileName);
        std::unique_ptr<ExchangeReader> reader;
        ReadingLines lines;
        if (!reopen(p, c, dataTable, file, reader, lines)) {
            c.accepted = false;
            return r;
        }
        const bool noData = !lines.present || !reader->readLine();
        if (!reader->error().isEmpty()) {
            refuseFile(p, c.ImportFileName, reader->error());
            c.accepted = false;
            return r;
        }
        r.refused = false;

        // The project row, its user-defined row and the readings in one transaction: an import
        // that does not finish (a failure, a lock, a cancel) leaves the database as it was.
        const bool writeProject = !(c.ProjectExists && !c.OverwriteProject);
        const auto writeProjectRows = [&] {
            if (c.ProjectExists) {
                SqliteStatement del(db,
                                    "DELETE FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
                del.bind(0, c.FileProjectID);
                del.bind(1, qint64(c.FileTrainNumber));
                del.step();
            }
            {
                SqliteStatement ins(db, insertSql("ProjectInfo", c.projectColumns.names));
                runInsert(ins, c.projectValues);
            }
            const ExchangeHeader& h = c.header;
            if (h.userDefinedLine.size() < 3) return;
            const QStringList& udNames = ExchangeUserDefinedColumns();
            const int n = int(std::min(h.userDefinedFields.size(), udNames.size()));
            SqliteStatement find(db, "SELECT ID FROM UserDefined WHERE (ProjectID = ?) ORDER BY ID LIMIT 1");
            find.bind(0, c.FileProjectID);
            if (find.step()) {
                const qint64 udId = find.int64(0);
                find.reset();
                QStringList sets;
                for (int i = 0; i < n; ++i)
                    sets << udNames[i] + " = ?";
                SqliteStatement up(db, "UPDATE UserDefined SET " + sets.join(',') + " WHERE ID = ?");
                for (int i = 0; i < n; ++i)
                    up.bind(i, h.userDefinedFields[i]);
                up.bind(n, udId);
                up.step();
            } else {
                find.reset();
                SqliteStatement ins(db,
                                    insertSql("UserDefined", QStringList{"ProjectID"} + udNames.mid(0, n)));
                ins.bind(0, c.FileProjectID);
                for (int i = 0; i < n; ++i)
                    ins.bind(i + 1, h.userDefinedFields[i]);
                ins.step();
            }
        };
        // The readings are normalized against the project train as this import leaves it: the
        // file's line 3, or the stored row when that is kept. It is read inside a transaction
        // that is then undone; the rows are written again with the readings.
        std::optional<ProjectInfoRecord> record;
        if (!noData) {
            try {
                SqliteTransaction look(db);
                if (writeProject) writeProjectRows();
                SqliteStatement q(db,
                                  "SELECT * FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
                q.bind(0, c.FileProjectID);
                q.bind(1, qint64(c.FileTrainNumber));
                if (!q.step())
                    throw DbError(dberr::NoCurrentRecord, "the project train is not in the database");
                ProjectInfoRecord rec;
                LoadProjectRecord(rec, q.row());
                record = rec;
            } catch (const DbFailure&) {
                throw;
            } catch (const DbError& e) {
                say(p, dbFailure("Project not imported", e));
                r.refused = true;
                return r;
            }
        }
        const auto projectWritten = [&] {
            r.projectWritten = writeProject;
            if (writeProject) {
                c.accepted = false;
                status(1, c.ProjectExists ? GetMlString(950, "Project Overwritten.")
                                          : QStringLiteral("Project imported."));
            } else {
                status(1, GetMlString(951, "Overwrite bypassed."));
            }
        };

        ReadingIntake::Tally tally;
        QStringList repeatedLines; // the first ten
        if (noData) {
            try {
                SqliteTransaction guard(db);
                if (writeProject) writeProjectRows();
                guard.commit();
            } catch (const DbError& e) {
                say(p, dbFailure("Project not imported", e));
                r.refused = true;
                return r;
            }
            projectWritten();
            say(p, "No data was found!");
        } else {
            // Each reading goes in with its values as the file gives them, the intake adding its
            // date and key and storing its calculated values with it.
            QStringList readingColumns;
            std::vector<int> readingPos;
            for (int i = 0; i < lines.cols.names.size(); ++i)
                if (i != lines.cols.projectIdPos && i != lines.cols.trainPos && i != lines.cols.datePos) {
                    readingColumns << lines.cols.names[i];
                    readingPos.push_back(i);
                }
            ReadingIntake intake(p, db, *record, readingColumns);
            const ReadingIntake::Binder bindReading = [&](SqliteStatement& st, int first) {
                for (size_t k = 0; k < readingPos.size(); ++k)
                    bindValue(st, first + int(k), values[size_t(readingPos[k])]);
            };
            // The intake's transaction opens with its first reading; the project rows join it.
            bool projectRowsIn = !writeProject;
            BatchClock turns(Turns);
            QByteArray lastDate;
            QByteArray lastId;
            // The line that holds each date first.
            QHash<qint64, qint64> fileDates;
            // A line the import refuses: nothing of the file stays stored.
            const auto refuse = [&](const QString& whyNot) {
                intake.rollback();
                refuseFile(p, c.ImportFileName, whyNot);
                c.accepted = false;
                r.refused = true;
                r.skipped = 0;
                return r;
            };
            bool firstLine = true;
            try {
                emptyLine = 0;
                do {
                    if (readingAfterEmpty(*reader)) return refuse(readingAfterEmptyText(*reader));
                    if (reader->lineIsBlank()) continue;
                    if (!reader->lineEnded()) return refuse(cutShort(reader->lineNumber()));
                    const auto& fields = reader->split();
                    const bool converted =
                        ConvertExchangeFields(fields, lines.cols, c.ImportDecimalComma, false, values, &why);
                    if (firstLine) {
                        firstLine = false;
                        auto field = [&](int pos) {
                            return size_t(pos) < fields.size() ? fields[size_t(pos)] : QByteArrayView();
                        };
                        char stored[19];
                        if (!ParseExchangeDate(field(lines.cols.datePos), stored)) {
                            say(p, GetMlString(
                                       996, "Import aborted. The first data point's date value is invalid. "
                                            "Please check the file carefully.") +
                                       CrLf +
                                       QStringLiteral(
                                           "Line %1, field %2 (%3) holds \"%4\", which is not a date.")
                                           .arg(reader->lineNumber())
                                           .arg(lines.cols.datePos + 1)
                                           .arg(lines.cols.names[lines.cols.datePos],
                                                DecodeExchangeText(
                                                    field(lines.cols.datePos)
                                                        .first(std::min<qsizetype>(
                                                            field(lines.cols.datePos).size(), 60)))) +
                                       CrLf + GetMlString(1001, "The Import File in use is: ") + CrLf +
                                       c.ImportFileName);
                            c.accepted = false;
                            r.refused = true;
                            return r;
                        }
                        const QString lineId = DecodeExchangeText(field(lines.cols.projectIdPos));
                        if (lineId != c.FileProjectID) {
                            say(p,
                                GetMlString(
                                    998, "Import aborted. The ProjectID value for the DATA fields (Column A) "
                                         "do not match the value for the ProjectID in the Project "
                                         "Information section (Cell A2). Please check the file carefully.") +
                                    CrLf + GetMlString(999, "ProjectID = ") + c.FileProjectID +
                                    GetMlString(1000, ", the Data Project ID = ") + lineId + CrLf +
                                    GetMlString(1001, "The Import File in use is: ") + CrLf +
                                    c.ImportFileName);
                            c.accepted = false;
                            r.refused = true;
                            return r;
                        }
                        double t = 0;
                        const bool whole =
                            ParseExchangeNumber(field(lines.cols.trainPos), c.ImportDecimalComma, t) &&
                            t == std::trunc(t) && t >= -32768 && t <= 32767;
                        const qint16 lineTrain = whole ? qint16(t) : qint16(0);
                        if (whole && lineTrain != c.FileTrainNumber) {
                            const Answer a = p.prompts.message(
                                GetMlString(
                                    1002,
                                    "The Train Number for the Project (Cell D2) does not match the DATA "
                                    "fields Train Number (Cells C5 etc)) - ") +
                                    QString::number(c.FileTrainNumber) + GetMlString(1003, ", vs ") +
                                    QString::number(lineTrain) + CrLf +
                                    GetMlString(1001, "The Import File in use is: ") + CrLf +
                                    c.ImportFileName + CrLf +
                                    GetMlString(1004, "OK to import anyway, Cancel to abort"),
                                Buttons::OKCancel, Icon::None, Title);
                            if (a != Answer::OK) {
                                r.refused = true;
                                return r;
                            }
                            acceptedTrain = lineTrain;
                        }
                    }
                    if (!converted)
                        return refuse(QStringLiteral("line %1: ").arg(reader->lineNumber()) + why);
                    if (!lineFits(*reader, fields, lines, why)) return refuse(why);
                    const ExchangeValue& date = values[size_t(lines.cols.datePos)];
                    if (date.type == ExchangeValue::Null)
                        return refuse(QStringLiteral("line %1 holds no date").arg(reader->lineNumber()));
                    lastId.resize(0);
                    lastId.append(fields[size_t(lines.cols.projectIdPos)]);
                    // One reading per date: a control system logging local time writes the hour
                    // after the autumn clock change twice. The first line of a date is stored, a
                    // later one is left to the intake, which stores no date twice, and named in
                    // the summary.
                    const qint64 key = dateKey(date.text);
                    const qint64 earlier = fileDates.value(key, 0);
                    if (earlier == 0) fileDates.insert(key, reader->lineNumber());
                    if (inRange(date)) {
                        // Readings of another train, imported anyway, go under the file's project
                        // train: stored under their own, no project row would lead to them.
                        const ReadingIntake::Outcome o =
                            intake.add(QString::fromLatin1(date.text), bindReading);
                        if (earlier > 0 && o == ReadingIntake::Outcome::AlreadyStored) {
                            if (r.repeated++ < 10)
                                repeatedLines << QStringLiteral("line %1 (%2, as on line %3)")
                                                     .arg(reader->lineNumber())
                                                     .arg(QString::fromLatin1(date.text))
                                                     .arg(earlier);
                        } else {
                            tally.count(o, intake.failureText());
                        }
                        if (!projectRowsIn) {
                            writeProjectRows();
                            projectRowsIn = true;
                        }
                    } else {
                        ++r.skipped;
                    }
                    lastDate.resize(0);
                    lastDate.append(date.text);
                    // A turn for the other windows now and then, and the chance to cancel.
                    if (turns.tick()) {
                        status(2, QString::number(tally.stored()) +
                                      " inserted. Date: " + QString::fromUtf8(lastDate));
                        if (yield()) {
                            intake.rollback();
                            say(p, "Import cancelled: nothing of the file was stored.");
                            status(2, QStringLiteral("Import cancelled; nothing was written."));
                            r.skipped = 0;
                            return r;
                        }
                    }
                } while (reader->readLine());
                if (!reader->error().isEmpty()) return refuse(reader->error());
                r.lastProjectId = DecodeExchangeText(lastId);
                if (!projectRowsIn) {
                    // No reading in the range: the project rows go by themselves.
                    SqliteTransaction guard(db);
                    writeProjectRows();
                    guard.commit();
                }
                intake.commit();
            } catch (const RunError& e) {
                intake.rollback();
                say(p, dbFailure("Import failed after " + QString::number(tally.stored()) +
                                     " readings; nothing of the file was stored",
                                 e));
                r.skipped = 0;
                return r;
            }
            projectWritten();
        }
        r.inserted = tally.stored();
        r.alreadyStored = tally.alreadyStored;
        r.failed = tally.failed;
        r.firstFailure = tally.firstFailure;
        QString summary = QString::number(r.inserted) + GetMlString(1010, " imported, ") +
                          QString::number(r.skipped) + GetMlString(1011, " skipped out of date range.");
        if (r.repeated > 0) {
            r.repeatedLines = repeatedLines.join(", ") + (r.repeated > repeatedLines.size() ? ", ..." : "");
            summary += " " + QString::number(r.repeated) +
                       (r.repeated == 1 ? " line repeats the date of an earlier line and was"
                                        : " lines repeat the date of an earlier line and were") +
                       " not stored again: " + r.repeatedLines + ".";
        }
        if (r.alreadyStored > 0)
            summary +=
                " " + QString::number(r.alreadyStored) + " already stored for the train, not stored again.";
        if (r.failed > 0)
            summary += " " + QString::number(r.failed) + (r.failed == 1 ? " reading was" : " readings were") +
                       " not stored: its calculation failed (the first: " + r.firstFailure + ").";
        status(2, summary);
        if (r.failed > 0) say(p, summary);
        r.finished = true;
    } catch (const RunError& e) {
        say(p, dbFailure("Import failed", e));
        return r;
    }
    if (c.FileIsOlder &&
        p.prompts.message(
            "Project and data were created BEFORE Hevrin version: " + QString::number(p.DbVersionMajor) +
                "." + QString::number(p.DbVersionMinor) +
                ".x.  Data should be recalculated before you use it." +
                "However, if you wish to view the old data first, you may bypass the update at this "
                "time, but be sure to later select this project then select PROJECTS | Recalculate "
                "Current Project." +
                CrLf + CrLf + "Do you want to recalculate now?",
            Buttons::YesNo, Icon::Question, Title) == Answer::Yes) {
        // The recalculation takes the imported project's record; CurrentProject is not touched.
        QString failure;
        try {
            std::optional<ProjectInfoRecord> record;
            {
                Database db = Database::open(p.ProjectDatabasePath);
                record = ReadProjectRecord(db, c.FileProjectID, c.FileTrainNumber);
            }
            if (record) RecalculateProject(p, *record);
        } catch (const RunError& e) {
            failure = dbFailure("Recalculation failed", e);
        }
        if (!failure.isEmpty()) say(p, failure);
    }
    return r;
}

} // namespace hv
