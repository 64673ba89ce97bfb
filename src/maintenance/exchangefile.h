#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "core/datatables.h"

class QIODevice;

// The project exchange file: one project train as text. Line 1 version and decimal-separator
// code, line 2 and 3 the ProjectInfo names and values, line 4 the user-defined captions and
// units, line 5 the Data names, then one reading per line. Plain code over a QIODevice.
namespace hv {

// Two runs of ProjectInfo columns that the exchange file and the project editor list in
// the same order: the permeate side and sizes, then the feed side, units and element types.
const QStringList& ProjectPermeateColumns();
const QStringList& ProjectFeedColumns();
// A reading's system flows, pressures and conductivities, in the order both the exchange
// file and the data view keep them.
const QStringList& ReadingSystemColumns();
// The 71 ProjectInfo columns of lines 2 and 3, in file order.
const QStringList& ExchangeProjectColumns();
// The Data columns of line 5: 62, or 66 with the specific-flux columns.
QStringList ExchangeDataColumns(bool specFlux);
// The UserDefined columns of line 4, in file order.
const QStringList& ExchangeUserDefinedColumns();
// Databases from 1.3.20 on carry the specific-flux columns; minor and revision are each
// compared by themselves, so 1.4.0 counts as without.
bool ExchangeHasSpecFlux(qint16 minor, qint16 revision);

// How a field is read and written.
enum class ExchangeKind { Number, Text, Date, Boolean };
// The kind of a column by its name and the table's declared type ("TEXT", "REAL", ...).
ExchangeKind ExchangeKindOf(const QString& column, const QString& declaredType);
// The most characters a text column takes from a file: 50 for a project ID, 255 for the other
// texts (names, descriptions, captions and units), as the database's text fields hold.
qsizetype ExchangeTextLimit(const QString& column);
// The whole numbers a column takes where the program counts on them (the banks, event numbers),
// as the table description gives them; any number elsewhere, and in the key columns, which
// are checked against the file's project train.
using ExchangeWholeRange = schema::WholeRange;
ExchangeWholeRange ExchangeWholeRangeOf(const QString& column);
// Why a value does not fit its column's whole-number range ("the NumBanks value 4 is not a
// whole number from 1 to 3"); empty when it fits.
QString ExchangeRangeRefusal(const QString& column, const ExchangeWholeRange& range, double value);

// A number as the file holds it: up to 15 significant digits, no grouping, the given
// decimal mark, "E" exponents below 1E-04 and from 1E+15 ("1E-05").
void AppendExchangeNumber(QByteArray& out, double value, char decimal);
// A number field in the file's own form, never the computer's (blanks around it allowed): a
// sign, digits with the file's decimal mark ("," with decimalComma, else "."), an "e" or "E"
// exponent. False for anything else (the other mark, group separators, words, infinities).
bool ParseExchangeNumber(QByteArrayView text, bool decimalComma, double& out);
// A date field: "yyyy-mm-dd hh:mm:ss", without the seconds or the time, or with "T" for the
// blank; writes the stored form (19 bytes) into out. False when it is not a valid date, or
// holds a time zone or a fraction of a second: the file keeps wall-clock time to the second.
bool ParseExchangeDate(QByteArrayView text, char out[19]);
// Text bytes of the file: UTF-8 when they are valid UTF-8, else Windows-1252.
QString DecodeExchangeText(QByteArrayView bytes);

// One field after conversion, ready to bind.
struct ExchangeValue {
    enum Type { Null, Number, Text } type = Null;
    double number = 0;
    QByteArray text; // UTF-8
};

// The columns of a names line with their kinds, and where the key columns stand (-1 when
// absent).
struct ExchangeColumns {
    QStringList names;
    std::vector<ExchangeKind> kinds;
    std::vector<ExchangeWholeRange> ranges;
    int projectIdPos = -1;
    int trainPos = -1;
    int datePos = -1; // TheDate or DateReference
    void add(const QString& name, ExchangeKind kind);
};

// Converts the fields of one line into values for the columns. An empty or blank field is
// Null; with allowMissing, fields missing at the end are Null, else they are refused. Blank
// fields beyond the columns (a spreadsheet pads its rows) are dropped; any other field
// beyond them, or a field that does not fit its column, is refused with the reason in why.
// Booleans also take TRUE, FALSE, Wahr and Falsch as whole fields in any case; a number column
// takes numbers only, whole ones in its range where it has one.
// With checkOnly the fields are checked alike, but only dates are converted: numbers and texts
// come out as their type with no value, which is what a check of a whole file needs.
bool ConvertExchangeFields(const std::vector<QByteArrayView>& fields, const ExchangeColumns& cols,
                           bool decimalComma, bool allowMissing, std::vector<ExchangeValue>& out,
                           QString* why, bool checkOnly = false);

// Why the values of line 3 cannot make a project train, as a sentence naming the line and field;
// empty when they can: a ProjectID without blanks around it, a whole TrainNumber from 1 to
// 32767, a date where the line names one, and a value for every column of `required`, those a
// project record cannot load as Null (RequiredProjectColumns).
QString ExchangeProjectLineRefusal(const ExchangeColumns& cols, const std::vector<ExchangeValue>& values,
                                   const QStringList& required);

// Writes lines of fields: the separator between fields, CR LF after each line.
class ExchangeWriter {
public:
    ExchangeWriter(QIODevice& out, char separator, char decimal);
    // Text with line breaks replaced by blanks, so a line stays one line. A field stays one field:
    // the exchange text (";") writes a blank for the separator, which its reader needs; the
    // spreadsheet file (",") quotes a field that holds the separator or a quote, as CSV readers
    // expect, and quotes a number whose decimal mark is the separator.
    void text(const QString& value);
    void text(QByteArrayView utf8); // the same for UTF-8 bytes
    // Whether text() writes the text otherwise than it stands (a blank for a character).
    bool alters(QByteArrayView utf8) const;
    bool quotes() const { return sep_ == ','; }
    void number(double value);
    void integer(qint64 value);
    void raw(QByteArrayView value); // as given
    void empty();
    // Ends the line; false when the device refuses. Lines are handed to the device in blocks,
    // so flush() must follow the last one.
    bool endLine();
    bool flush();
    char separator() const { return sep_; }
    char decimal() const { return dec_; }

private:
    void next();
    QIODevice& out_;
    char sep_;
    char dec_;
    bool first_ = true;
    QByteArray line_;
};

// Reads the file line by line (LF or CR LF; a UTF-8 byte-order mark at the start is dropped)
// and splits lines at ";".
class ExchangeReader {
public:
    static constexpr qsizetype MaxLineBytes = 1 << 20;
    explicit ExchangeReader(QIODevice& in);
    // The next line; false at the end or after a failure (see error()).
    bool readLine();
    // The current line without its line end, valid until the next readLine().
    QByteArrayView line() const { return line_; }
    qint64 lineNumber() const { return lineNumber_; }
    // False when the current line is the file's tail without a line end: a file cut short.
    bool lineEnded() const { return lineEnded_; }
    // The current line's fields.
    const std::vector<QByteArrayView>& split();
    // True when no field of the current line holds more than blanks.
    bool lineIsBlank() const;
    const QString& error() const { return error_; }

private:
    bool fill();
    QIODevice& in_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    bool eof_ = false;
    QByteArrayView line_; // in buf_
    qint64 lineNumber_ = 0;
    bool lineEnded_ = true;
    std::vector<QByteArrayView> fields_;
    QString error_;
};

// Lines 1 to 4 as a file choice reads them.
struct ExchangeHeader {
    QString line1;
    bool decimalComma = false;             // the last field of line 1 is 44
    std::optional<char> decimalMark;       // ',' for 44, '.' for 46, none for another code
    QString decimalMarkText;               // that field as it stands
    std::optional<qint32> version;         // field 1 of line 1 when it is a whole number
    int linesRead = 0;                     // 0 to 4
    QStringList projectNames;              // line 2
    std::vector<QByteArray> projectFields; // line 3
    QByteArray userDefinedLine;            // line 4
    QStringList userDefinedFields;         // line 4, decoded
    qint64 cutLine = 0;                    // a line read without its line end: the file is cut short
};
// Reads up to four lines; false only when the reader failed (error()).
bool ReadExchangeHeader(ExchangeReader& reader, ExchangeHeader& header);

} // namespace hv
