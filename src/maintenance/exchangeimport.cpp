#include "maintenance/exchangeimport.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <cmath>
#include <memory>
#include <sqlite3.h>

#include "core/currentproject.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/settings.h"
#include "normalization/recalculate.h"
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

void bindValues(sqlite3_stmt* st, const std::vector<ExchangeValue>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        const ExchangeValue& v = values[i];
        const int k = int(i) + 1;
        switch (v.type) {
        case ExchangeValue::Null:
            sqlite3_bind_null(st, k);
            break;
        case ExchangeValue::Number:
            sqlite3_bind_double(st, k, v.number);
            break;
        case ExchangeValue::Text:
            sqlite3_bind_text(st, k, v.text.constData(), int(v.text.size()), SQLITE_STATIC);
            break;
        }
    }
}

// Runs a prepared insert with the values bound; DbError on failure.
void runInsert(SqliteConnection& db, sqlite3_stmt* st, const std::vector<ExchangeValue>& values) {
    bindValues(st, values);
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) throw db.lastError();
}

class Prepared {
public:
    Prepared(SqliteConnection& db, const QString& sql) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &st_, nullptr) != SQLITE_OK)
            throw db.lastError(sql);
    }
    ~Prepared() { sqlite3_finalize(st_); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    sqlite3_stmt* get() const { return st_; }

private:
    sqlite3_stmt* st_ = nullptr;
};

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

    if (!h.version) {
        say(p, GetMlString(
                   967, "This IMPORT file was made with an incompatible export version or the version info "
                        "is missing or has been modified. Import aborted.") +
                   GetMlString(
                       968, "You can try Import Data (Collected Outside of HV) from another Excel program") +
                   CrLf + GetMlString(969, "Version info should be in cell A1 of the Excel sheet.") + CrLf +
                   GetMlString(970, "Current Program version is: ") + ProgramVersionText +
                   GetMlString(971, " and the import file should show ") + "0" + CrLf +
                   GetMlString(972, "Should be compatible up to version: ") + QString::number(oldest));
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
        if (!checkNames(h.projectNames, tableColumns(db, "ProjectInfo"), c.projectColumns, why)) {
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
        const ExchangeValue& id = c.projectValues[size_t(cols.projectIdPos)];
        const ExchangeValue& train = c.projectValues[size_t(cols.trainPos)];
        if (id.type != ExchangeValue::Text || id.text.trimmed().isEmpty()) {
            refuseFile(p, path, "line 3 holds no ProjectID");
            return refused();
        }
        if (train.type != ExchangeValue::Number || wholeOrZero(train) != train.number) {
            refuseFile(p, path, "line 3 holds no TrainNumber that is a whole number");
            return refused();
        }
        if (cols.datePos >= 0 && c.projectValues[size_t(cols.datePos)].type == ExchangeValue::Null) {
            refuseFile(p, path, "line 3 holds no " + cols.names[cols.datePos]);
            return refused();
        }
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
    if (!c.accepted) return r;
    auto status = [&](int panel, const QString& text) { progress.setStatus(panel, text); };
    auto yield = [&] { return progress.yieldAndCheckCancel(); };
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

        // Check every line before anything is written.
        qint64 toInsert = 0;
        qint64 readingLines = 0;
        bool noData = false;
        {
            QFile file(c.ImportFileName);
            std::unique_ptr<ExchangeReader> reader;
            ReadingLines lines;
            if (!reopen(p, c, dataTable, file, reader, lines)) {
                c.accepted = false;
                return r;
            }
            bool firstLine = true;
            while (lines.present && reader->readLine()) {
                ++readingLines;
                if (readingAfterEmpty(*reader)) {
                    refuseFile(p, c.ImportFileName, readingAfterEmptyText(*reader));
                    c.accepted = false;
                    return r;
                }
                if (reader->lineIsBlank()) continue;
                if (!reader->lineEnded()) {
                    refuseFile(p, c.ImportFileName, cutShort(reader->lineNumber()));
                    c.accepted = false;
                    return r;
                }
                const auto& fields = reader->split();
                const bool converted = ConvertExchangeFields(fields, lines.cols, c.ImportDecimalComma, false,
                                                             values, &why, true);
                if (firstLine) {
                    firstLine = false;
                    auto field = [&](int pos) {
                        return size_t(pos) < fields.size() ? fields[size_t(pos)] : QByteArrayView();
                    };
                    char stored[19];
                    if (!ParseExchangeDate(field(lines.cols.datePos), stored)) {
                        say(p,
                            GetMlString(996, "Import aborted. The first data point's date value is invalid. "
                                             "Please check the file carefully.") +
                                CrLf +
                                GetMlString(997, "The first Date value should be in the 2nd column of Row 6 "
                                                 "(cell B6). Import File in use is: ") +
                                CrLf + c.ImportFileName);
                        c.accepted = false;
                        return r;
                    }
                    const QString lineId = DecodeExchangeText(field(lines.cols.projectIdPos));
                    if (lineId != c.FileProjectID) {
                        say(p,
                            GetMlString(998,
                                        "Import aborted. The ProjectID value for the DATA fields (Column A) "
                                        "do not match the value for the ProjectID in the Project "
                                        "Information section (Cell A2). Please check the file carefully.") +
                                CrLf + GetMlString(999, "ProjectID = ") + c.FileProjectID +
                                GetMlString(1000, ", the Data Project ID = ") + lineId + CrLf +
                                GetMlString(1001, "The Import File in use is: ") + CrLf + c.ImportFileName);
                        c.accepted = false;
                        return r;
                    }
                    double t = 0;
                    const bool whole =
                        ParseExchangeNumber(field(lines.cols.trainPos), c.ImportDecimalComma, t) &&
                        t == std::trunc(t) && t >= -32768 && t <= 32767;
                    const qint16 lineTrain = whole ? qint16(t) : qint16(0);
                    if (whole && lineTrain != c.FileTrainNumber) {
                        const Answer a = p.prompts.message(
                            GetMlString(1002,
                                        "The Train Number for the Project (Cell D2) does not match the DATA "
                                        "fields Train Number (Cells C5 etc)) - ") +
                                QString::number(c.FileTrainNumber) + GetMlString(1003, ", vs ") +
                                QString::number(lineTrain) + CrLf +
                                GetMlString(1001, "The Import File in use is: ") + CrLf + c.ImportFileName +
                                CrLf + GetMlString(1004, "OK to import anyway, Cancel to abort"),
                            Buttons::OKCancel, Icon::None, Title);
                        if (a != Answer::OK) return r;
                        acceptedTrain = lineTrain;
                    }
                }
                if (!converted) {
                    refuseFile(p, c.ImportFileName,
                               QStringLiteral("line %1: ").arg(reader->lineNumber()) + why);
                    c.accepted = false;
                    return r;
                }
                if (!lineFits(*reader, fields, lines, why)) {
                    refuseFile(p, c.ImportFileName, why);
                    c.accepted = false;
                    return r;
                }
                const ExchangeValue& date = values[size_t(lines.cols.datePos)];
                if (date.type == ExchangeValue::Null) {
                    refuseFile(p, c.ImportFileName,
                               QStringLiteral("line %1 holds no date").arg(reader->lineNumber()));
                    c.accepted = false;
                    return r;
                }
                if (inRange(date)) ++toInsert;
                if (reader->lineNumber() % Turns.rows == 0) {
                    status(2, QStringLiteral("Checking line %1").arg(reader->lineNumber()));
                    if (yield()) {
                        status(2, QStringLiteral("Import cancelled; nothing was written."));
                        return r;
                    }
                }
            }
            if (!reader->error().isEmpty()) {
                refuseFile(p, c.ImportFileName, reader->error());
                c.accepted = false;
                return r;
            }
            noData = !lines.present || readingLines == 0;
        }
        r.refused = false;

        // The project row, its user-defined row and the readings in one transaction: an import
        // that does not finish (a failure, a lock, a cancel) leaves the database as it was.
        const bool writeProject = !(c.ProjectExists && !c.OverwriteProject);
        if (!writeProject) status(1, GetMlString(951, "Overwrite bypassed."));
        SqliteTransaction guard(db);
        if (writeProject) {
            try {
                if (c.ProjectExists) {
                    SqliteStatement del(
                        db, "DELETE FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
                    del.bind(0, c.FileProjectID);
                    del.bind(1, qint64(c.FileTrainNumber));
                    del.step();
                }
                {
                    Prepared ins(db, insertSql("ProjectInfo", c.projectColumns.names));
                    runInsert(db, ins.get(), c.projectValues);
                }
                const ExchangeHeader& h = c.header;
                if (h.userDefinedLine.size() >= 3) {
                    const QStringList& udNames = ExchangeUserDefinedColumns();
                    const int n = int(std::min(h.userDefinedFields.size(), udNames.size()));
                    SqliteStatement find(
                        db, "SELECT ID FROM UserDefined WHERE (ProjectID = ?) ORDER BY ID LIMIT 1");
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
                        SqliteStatement ins(
                            db, insertSql("UserDefined", QStringList{"ProjectID"} + udNames.mid(0, n)));
                        ins.bind(0, c.FileProjectID);
                        for (int i = 0; i < n; ++i)
                            ins.bind(i + 1, h.userDefinedFields[i]);
                        ins.step();
                    }
                }
            } catch (const DbError& e) {
                say(p, dbFailure("Project not imported", e));
                r.refused = true;
                return r;
            }
        }

        if (noData) {
            say(p, "No data was found!");
        } else {
            QFile file(c.ImportFileName);
            std::unique_ptr<ExchangeReader> reader;
            ReadingLines lines;
            if (!reopen(p, c, dataTable, file, reader, lines)) return r;
            Prepared ins(db, insertSql("Data", lines.cols.names));
            BatchClock turns(Turns);
            QByteArray lastDate;
            QByteArray lastId;
            try {
                emptyLine = 0;
                while (reader->readLine()) {
                    if (readingAfterEmpty(*reader))
                        throw DbError(dberr::TypeMismatch, readingAfterEmptyText(*reader));
                    if (reader->lineIsBlank()) continue;
                    if (!reader->lineEnded())
                        throw DbError(dberr::TypeMismatch, cutShort(reader->lineNumber()));
                    const auto& fields = reader->split();
                    // The file is read again: it must still be the file checked above.
                    if (!ConvertExchangeFields(fields, lines.cols, c.ImportDecimalComma, false, values, &why))
                        throw DbError(dberr::TypeMismatch,
                                      QStringLiteral("line %1: ").arg(reader->lineNumber()) + why);
                    if (!lineFits(*reader, fields, lines, why)) throw DbError(dberr::TypeMismatch, why);
                    // Readings of another train, imported anyway, go under the file's project train:
                    // stored under their own, no project row would lead to them.
                    ExchangeValue& train = values[size_t(lines.cols.trainPos)];
                    train.type = ExchangeValue::Number;
                    train.number = c.FileTrainNumber;
                    lastId.resize(0);
                    lastId.append(fields[size_t(lines.cols.projectIdPos)]);
                    const ExchangeValue& date = values[size_t(lines.cols.datePos)];
                    if (inRange(date)) {
                        runInsert(db, ins.get(), values);
                        ++r.inserted;
                    } else {
                        ++r.skipped;
                    }
                    lastDate.resize(0);
                    lastDate.append(date.text);
                    // A turn for the other windows now and then, and the chance to cancel.
                    if (turns.tick()) {
                        status(2, QString::number(r.inserted) +
                                      " inserted. Date: " + QString::fromUtf8(lastDate));
                        if (yield()) {
                            say(p, "Import cancelled: nothing of the file was stored.");
                            status(2, QStringLiteral("Import cancelled; nothing was written."));
                            r.inserted = 0;
                            r.skipped = 0;
                            return r;
                        }
                    }
                }
                if (!reader->error().isEmpty())
                    throw DbError(dberr::FileNotFound,
                                  "The file could not be read to its end: " + reader->error());
                r.lastProjectId = DecodeExchangeText(lastId);
            } catch (const RunError& e) {
                guard.rollback();
                say(p, dbFailure("Import failed after " + QString::number(r.inserted) +
                                     " readings; nothing of the file was stored",
                                 e));
                r.inserted = 0;
                r.skipped = 0;
                return r;
            }
        }
        try {
            guard.commit();
        } catch (const DbError& e) {
            say(p, dbFailure("Import failed; nothing of the file was stored", e));
            r.inserted = 0;
            r.skipped = 0;
            return r;
        }
        if (writeProject) {
            r.projectWritten = true;
            c.accepted = false;
            status(1, c.ProjectExists ? GetMlString(950, "Project Overwritten.")
                                      : QStringLiteral("Project imported."));
        }
        status(2, QString::number(r.inserted) + GetMlString(1010, " imported, ") +
                      QString::number(r.skipped) + GetMlString(1011, " skipped out of date range."));
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
        // The imported project is lent to CurrentProject for the run, and given back before
        // any message lets the windows run again.
        const ProjectInfoRecord saved = p.CurrentProject;
        QString failure;
        {
            const CurrentProjectLoan loan(p);
            try {
                Database db = Database::open(p.ProjectDatabasePath);
                const DbRows rows =
                    db.select("select * from ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)",
                              {c.FileProjectID, int(c.FileTrainNumber)});
                db.close();
                LoadProjectSettings(p, rows.first());
                RecalculateProject(p, p.CurrentProject);
            } catch (const RunError& e) {
                failure = dbFailure("Recalculation failed", e);
            }
            p.CurrentProject = saved;
        }
        if (!failure.isEmpty()) say(p, failure);
    }
    return r;
}

} // namespace hv
