#include "maintenance/exchangeimport.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <cmath>
#include <memory>

#include "core/currentproject.h"
#include "core/mlstring.h"
#include "core/program.h"
#include "core/refusal.h"
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

// One press of the Import button, step by step: the readings part of the file opened again, the
// project row planned, then each line read, checked and stored, and on a refusal everything
// stored before it undone.
class ImportRun {
public:
    ImportRun(Program& p, ImportChoice& c, const ImportRange& range, RunProgress& progress, ImportResult& r)
        : p_(p), c_(c), range_(range), progress_(progress), r_(r),
          lower_(range.from.toString("yyyy-MM-dd HH:mm:ss").toLatin1()),
          upper_(range.to.addSecs(1439 * 60).toString("yyyy-MM-dd HH:mm:ss").toLatin1()),
          fileId_(c.FileProjectID.toUtf8()), acceptedTrain_(c.FileTrainNumber) {}

    // To the summary; a failure of the database that no step handles is raised.
    void run();

private:
    void status(int panel, const QString& text) { progress_.setStatus(panel, text); }
    bool inRange(const ExchangeValue& date) const {
        return range_.all || (date.text >= lower_ && date.text <= upper_);
    }
    QString at() const { return QStringLiteral("line %1").arg(reader_->lineNumber()); }

    bool openReadings();
    bool planProjectRow();
    void writeProjectRows();
    void projectWritten();
    bool storeProjectAlone();
    bool storeReadings();
    bool firstLineFits(const std::vector<QByteArrayView>& fields);
    QString lineRefusal(const std::vector<QByteArrayView>& fields, bool converted);
    void store(ReadingIntake& intake, const ReadingIntake::Binder& bind, const ExchangeValue& date);
    bool undo(ReadingIntake& intake, const QString& why);
    void summarize();

    Program& p_;
    ImportChoice& c_;
    const ImportRange& range_;
    RunProgress& progress_;
    ImportResult& r_;
    const QByteArray lower_, upper_;
    const QByteArray fileId_;
    // A reading line carries the file's train, or the first line's when the user chose to import
    // that one anyway.
    qint16 acceptedTrain_;
    std::unique_ptr<SqliteConnection> db_;
    QFile file_;
    std::unique_ptr<ExchangeReader> reader_;
    ReadingLines lines_;
    bool noData_ = false;
    bool writeProject_ = false;
    // Empty lines end the readings only at the end of the file: one with readings after it would
    // leave those out unseen.
    qint64 emptyLine_ = 0;
    std::vector<ExchangeValue> values_;
    QString why_;
    std::optional<ProjectInfoRecord> record_;
    ReadingIntake::Tally tally_;
    QList<int> missingElements_;
    QStringList repeatedLines_;       // the first ten
    QHash<qint64, qint64> fileDates_; // the line that holds each date first
    bool projectRowsIn_ = false;
    QByteArray lastDate_, lastId_;
};

void ImportRun::run() {
    db_ = std::make_unique<SqliteConnection>(p_.ProjectDatabasePath, Turns.busyTimeoutMs);
    if (!openReadings()) return;
    r_.refused = false;
    // The project row, its user-defined row and the readings in one transaction: an import that
    // does not finish (a failure, a lock, a cancel) leaves the database as it was.
    writeProject_ = !(c_.ProjectExists && !c_.OverwriteProject);
    if (noData_) {
        if (!storeProjectAlone()) return;
    } else if (!planProjectRow() || !storeReadings()) {
        return;
    }
    summarize();
}

// Opens the file again up to its first reading line; false, with the message shown, when it is
// refused.
bool ImportRun::openReadings() {
    file_.setFileName(c_.ImportFileName);
    if (!reopen(p_, c_, tableColumns(*db_, "Data"), file_, reader_, lines_)) {
        c_.accepted = false;
        return false;
    }
    noData_ = !lines_.present || !reader_->readLine();
    if (!reader_->error().isEmpty()) {
        refuseFile(p_, c_.ImportFileName, reader_->error());
        c_.accepted = false;
        return false;
    }
    return true;
}

void ImportRun::writeProjectRows() {
    SqliteConnection& db = *db_;
    if (c_.ProjectExists) {
        SqliteStatement del(db, "DELETE FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
        del.bind(0, c_.FileProjectID);
        del.bind(1, qint64(c_.FileTrainNumber));
        del.step();
    }
    {
        SqliteStatement ins(db, insertSql("ProjectInfo", c_.projectColumns.names));
        runInsert(ins, c_.projectValues);
    }
    const ExchangeHeader& h = c_.header;
    if (h.userDefinedLine.size() < 3) return;
    const QStringList& udNames = ExchangeUserDefinedColumns();
    const int n = int(std::min(h.userDefinedFields.size(), udNames.size()));
    SqliteStatement find(db, "SELECT ID FROM UserDefined WHERE (ProjectID = ?) ORDER BY ID LIMIT 1");
    find.bind(0, c_.FileProjectID);
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
        SqliteStatement ins(db, insertSql("UserDefined", QStringList{"ProjectID"} + udNames.mid(0, n)));
        ins.bind(0, c_.FileProjectID);
        for (int i = 0; i < n; ++i)
            ins.bind(i + 1, h.userDefinedFields[i]);
        ins.step();
    }
}

// The readings are normalized against the project train as this import leaves it: the file's
// line 3, or the stored row when that is kept. It is read inside a transaction that is then
// undone; the rows are written again with the readings.
bool ImportRun::planProjectRow() {
    try {
        SqliteTransaction look(*db_);
        if (writeProject_) writeProjectRows();
        SqliteStatement q(*db_, "SELECT * FROM ProjectInfo WHERE (ProjectID = ?) AND (TrainNumber = ?)");
        q.bind(0, c_.FileProjectID);
        q.bind(1, qint64(c_.FileTrainNumber));
        if (!q.step()) throw DbError(dberr::NoCurrentRecord, "the project train is not in the database");
        const DbRow row = q.row();
        // A stored row kept as it is (another program's, or an old one) may lack what the
        // readings are calculated with: named, rather than "Invalid use of Null".
        for (const QString& name : RequiredProjectColumns())
            if (row.isNull(name)) {
                say(p_, "Project not imported: the stored row of project " + c_.FileProjectID + " train " +
                            QString::number(c_.FileTrainNumber) + " holds no " + name +
                            " value (Null), which its readings are calculated with. Enter it in the "
                            "project window, or import the file's project row over it.");
                r_.refused = true;
                return false;
            }
        ProjectInfoRecord rec;
        LoadProjectRecord(rec, row);
        record_ = rec;
    } catch (const DbFailure&) {
        throw;
    } catch (const DbError& e) {
        say(p_, dbFailure("Project not imported", e));
        r_.refused = true;
        return false;
    }
    return true;
}

void ImportRun::projectWritten() {
    r_.projectWritten = writeProject_;
    if (writeProject_) {
        c_.accepted = false;
        status(1, c_.ProjectExists ? GetMlString(950, "Project Overwritten.")
                                   : QStringLiteral("Project imported."));
    } else {
        status(1, GetMlString(951, "Overwrite bypassed."));
    }
}

// A file without readings: the project rows go by themselves.
bool ImportRun::storeProjectAlone() {
    try {
        SqliteTransaction guard(*db_);
        if (writeProject_) writeProjectRows();
        guard.commit();
    } catch (const DbError& e) {
        say(p_, dbFailure("Project not imported", e));
        r_.refused = true;
        return false;
    }
    projectWritten();
    say(p_, "No data was found!");
    return true;
}

// The first reading line has its own questions: its date, its project and its train.
bool ImportRun::firstLineFits(const std::vector<QByteArrayView>& fields) {
    const ExchangeColumns& cols = lines_.cols;
    auto field = [&](int pos) {
        return size_t(pos) < fields.size() ? fields[size_t(pos)] : QByteArrayView();
    };
    char stored[19];
    if (!ParseExchangeDate(field(cols.datePos), stored)) {
        say(p_, GetMlString(996, "Import aborted. The first data point's date value is invalid. "
                                 "Please check the file carefully.") +
                    CrLf +
                    Refusal::notADate(
                        QStringLiteral("Line %1, field %2 (%3)")
                            .arg(reader_->lineNumber())
                            .arg(cols.datePos + 1)
                            .arg(cols.names[cols.datePos]),
                        DecodeExchangeText(
                            field(cols.datePos).first(std::min<qsizetype>(field(cols.datePos).size(), 60))))
                        .text +
                    CrLf + GetMlString(1001, "The Import File in use is: ") + CrLf + c_.ImportFileName);
        c_.accepted = false;
        r_.refused = true;
        return false;
    }
    const QString lineId = DecodeExchangeText(field(cols.projectIdPos));
    if (lineId != c_.FileProjectID) {
        say(p_, GetMlString(998, "Import aborted. The ProjectID value for the DATA fields (Column A) "
                                 "do not match the value for the ProjectID in the Project "
                                 "Information section (Cell A2). Please check the file carefully.") +
                    CrLf + GetMlString(999, "ProjectID = ") + c_.FileProjectID +
                    GetMlString(1000, ", the Data Project ID = ") + lineId + CrLf +
                    GetMlString(1001, "The Import File in use is: ") + CrLf + c_.ImportFileName);
        c_.accepted = false;
        r_.refused = true;
        return false;
    }
    double t = 0;
    const bool whole = ParseExchangeNumber(field(cols.trainPos), c_.ImportDecimalComma, t) &&
                       t == std::trunc(t) && t >= -32768 && t <= 32767;
    const qint16 lineTrain = whole ? qint16(t) : qint16(0);
    if (whole && lineTrain != c_.FileTrainNumber) {
        const Answer a = p_.prompts.message(
            GetMlString(1002, "The Train Number for the Project (Cell D2) does not match the DATA "
                              "fields Train Number (Cells C5 etc)) - ") +
                QString::number(c_.FileTrainNumber) + GetMlString(1003, ", vs ") +
                QString::number(lineTrain) + CrLf + GetMlString(1001, "The Import File in use is: ") + CrLf +
                c_.ImportFileName + CrLf + GetMlString(1004, "OK to import anyway, Cancel to abort"),
            Buttons::OKCancel, Icon::None, Title);
        if (a != Answer::OK) {
            r_.refused = true;
            return false;
        }
        acceptedTrain_ = lineTrain;
    }
    return true;
}

// Why a reading line cannot be stored: cut short or not converted, too few fields, of another
// project or train, or without a date; empty when it can.
QString ImportRun::lineRefusal(const std::vector<QByteArrayView>& fields, bool converted) {
    const ExchangeColumns& cols = lines_.cols;
    if (!converted) return at() + ": " + why_;
    const size_t named = size_t(cols.names.size());
    if (fields.size() < named)
        return at() +
               QStringLiteral(": it has %1 fields where %2 columns are named").arg(fields.size()).arg(named);
    const QByteArrayView id = fields[size_t(cols.projectIdPos)];
    if (id != QByteArrayView(fileId_) && DecodeExchangeText(id) != c_.FileProjectID)
        return at() + ": the ProjectID \"" +
               DecodeExchangeText(id.first(std::min<qsizetype>(id.size(), 60))) +
               "\" is not the file's project " + c_.FileProjectID;
    const QByteArrayView trainText = fields[size_t(cols.trainPos)];
    double train = 0;
    if (!ParseExchangeNumber(trainText, c_.ImportDecimalComma, train) ||
        (train != c_.FileTrainNumber && train != acceptedTrain_))
        return at() + ": the TrainNumber \"" +
               DecodeExchangeText(trainText.first(std::min<qsizetype>(trainText.size(), 60))) +
               "\" is not the file's train " + QString::number(c_.FileTrainNumber);
    if (values_[size_t(cols.datePos)].type == ExchangeValue::Null) return at() + " holds no date";
    return {};
}

// One reading per date: a control system logging local time writes the hour after the autumn
// clock change twice. The first line of a date is stored, a later one is left to the intake,
// which stores no date twice, and named in the summary.
void ImportRun::store(ReadingIntake& intake, const ReadingIntake::Binder& bind, const ExchangeValue& date) {
    qint64 earlier = 0;
    if (const std::optional<qint64> key = ReadingDateKey(date.text.constData(), int(date.text.size()))) {
        earlier = fileDates_.value(*key, 0);
        if (earlier == 0) fileDates_.insert(*key, reader_->lineNumber());
    }
    if (!inRange(date)) {
        ++r_.skipped;
        return;
    }
    // Readings of another train, imported anyway, go under the file's project train: stored
    // under their own, no project row would lead to them.
    const ReadingIntake::Outcome o = intake.add(QString::fromLatin1(date.text), bind);
    if (earlier > 0 && o == ReadingIntake::Outcome::AlreadyStored) {
        if (r_.repeated++ < 10)
            repeatedLines_ << QStringLiteral("line %1 (%2, as on line %3)")
                                  .arg(reader_->lineNumber())
                                  .arg(QString::fromLatin1(date.text))
                                  .arg(earlier);
    } else {
        tally_.count(o, intake.failureText());
    }
    // The intake's transaction opens with its first reading; the project rows join it.
    if (!projectRowsIn_) {
        writeProjectRows();
        projectRowsIn_ = true;
    }
}

// A line the import refuses: nothing of the file stays stored.
bool ImportRun::undo(ReadingIntake& intake, const QString& why) {
    intake.rollback();
    refuseFile(p_, c_.ImportFileName, why);
    c_.accepted = false;
    r_.refused = true;
    r_.skipped = 0;
    return false;
}

bool ImportRun::storeReadings() {
    // Each reading goes in with its values as the file gives them, the intake adding its date
    // and key and storing its calculated values with it.
    const ExchangeColumns& cols = lines_.cols;
    QStringList readingColumns;
    std::vector<int> readingPos;
    for (int i = 0; i < cols.names.size(); ++i)
        if (i != cols.projectIdPos && i != cols.trainPos && i != cols.datePos) {
            readingColumns << cols.names[i];
            readingPos.push_back(i);
        }
    ReadingIntake intake(p_, *db_, *record_, readingColumns);
    const ReadingIntake::Binder bindReading = [&](SqliteStatement& st, int first) {
        for (size_t k = 0; k < readingPos.size(); ++k)
            bindValue(st, first + int(k), values_[size_t(readingPos[k])]);
    };
    projectRowsIn_ = !writeProject_;
    BatchClock turns(Turns);
    bool firstLine = true;
    try {
        emptyLine_ = 0;
        do {
            ExchangeReader& reader = *reader_;
            if (reader.lineIsBlank()) {
                if (emptyLine_ == 0) emptyLine_ = reader.lineNumber();
                continue;
            }
            if (emptyLine_ > 0)
                return undo(intake, QStringLiteral("line %1 is empty, but a reading follows it on line %2")
                                        .arg(emptyLine_)
                                        .arg(reader.lineNumber()));
            if (!reader.lineEnded()) return undo(intake, cutShort(reader.lineNumber()));
            const auto& fields = reader.split();
            const bool converted =
                ConvertExchangeFields(fields, cols, c_.ImportDecimalComma, false, values_, &why_);
            if (firstLine) {
                firstLine = false;
                if (!firstLineFits(fields)) return false;
            }
            if (const QString whyNot = lineRefusal(fields, converted); !whyNot.isEmpty())
                return undo(intake, whyNot);
            const ExchangeValue& date = values_[size_t(cols.datePos)];
            lastId_.resize(0);
            lastId_.append(fields[size_t(cols.projectIdPos)]);
            store(intake, bindReading, date);
            lastDate_.resize(0);
            lastDate_.append(date.text);
            // A turn for the other windows now and then, and the chance to cancel.
            if (turns.tick()) {
                status(2,
                       QString::number(tally_.stored()) + " inserted. Date: " + QString::fromUtf8(lastDate_));
                if (progress_.yieldAndCheckCancel()) {
                    intake.rollback();
                    say(p_, "Import cancelled: nothing of the file was stored.");
                    status(2, QStringLiteral("Import cancelled; nothing was written."));
                    r_.skipped = 0;
                    return false;
                }
            }
        } while (reader_->readLine());
        if (!reader_->error().isEmpty()) return undo(intake, reader_->error());
        r_.lastProjectId = DecodeExchangeText(lastId_);
        if (!projectRowsIn_) {
            // No reading in the range: the project rows go by themselves.
            SqliteTransaction guard(*db_);
            writeProjectRows();
            guard.commit();
        }
        intake.commit();
    } catch (const RunError& e) {
        intake.rollback();
        say(p_, dbFailure("Import failed after " + QString::number(tally_.stored()) +
                              " readings; nothing of the file was stored",
                          e));
        r_.skipped = 0;
        return false;
    }
    missingElements_ = intake.missingElements();
    projectWritten();
    return true;
}

void ImportRun::summarize() {
    ImportResult& r = r_;
    r.inserted = tally_.stored();
    r.withoutResults = tally_.noElement;
    r.alreadyStored = tally_.alreadyStored;
    r.failed = tally_.failed;
    r.firstFailure = tally_.firstFailure;
    QString summary = QString::number(r.inserted) + GetMlString(1010, " imported, ") +
                      QString::number(r.skipped) + GetMlString(1011, " skipped out of date range.");
    if (r.repeated > 0) {
        r.repeatedLines = repeatedLines_.join(", ") + (r.repeated > repeatedLines_.size() ? ", ..." : "");
        summary += " " + QString::number(r.repeated) +
                   (r.repeated == 1 ? " line repeats the date of an earlier line and was"
                                    : " lines repeat the date of an earlier line and were") +
                   " not stored again: " + r.repeatedLines + ".";
    }
    if (r.alreadyStored > 0)
        summary +=
            " " + QString::number(r.alreadyStored) + " already stored for the train, not stored again.";
    if (r.withoutResults > 0)
        summary += " " + MissingElementText(*record_, missingElements_, int(r.withoutResults));
    if (r.failed > 0)
        summary += " " + QString::number(r.failed) + (r.failed == 1 ? " reading was" : " readings were") +
                   " not stored: its calculation failed (the first: " + r.firstFailure + ").";
    status(2, summary);
    if (r.failed > 0) say(p_, summary);
    r.finished = true;
}

} // namespace

ImportResult RunImport(Program& p, ImportChoice& c, const ImportRange& range, RunProgress& progress) {
    ImportResult r;
    r.refused = true;
    if (!c.accepted) return r;
    // What the run before left on the panels is not this run's.
    progress.setStatus(1, QString());
    if (!range.all && range.to < range.from) {
        say(p, "To-Date should be greater than From-Date.");
        r.focusTo = true;
        return r;
    }
    try {
        ImportRun(p, c, range, progress, r).run();
        if (!r.finished) return r;
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
