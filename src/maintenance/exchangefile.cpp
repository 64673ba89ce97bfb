#include "maintenance/exchangefile.h"

#include <QIODevice>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/datatables.h"
#include "core/numbers.h"
#include "core/refusal.h"

namespace hv {

const QStringList& ProjectPermeateColumns() {
    static const QStringList names = {
        "PermFlow",        "PermFlow_1",        "PermFlow_2",        "PermuS",          "PermuS_1",
        "PermuS_2",        "PermBackPress",     "PermBackPress_1",   "PermBackPress_2", "NumBanks",
        "NumElementsBank", "NumElementsBank_1", "NumElementsBank_2", "NumTrains",       "AreaBank",
        "AreaBank_1",      "AreaBank_2"};
    return names;
}

const QStringList& ProjectFeedColumns() {
    static const QStringList names = {"FeedFlow",     "FeedPressure", "FeedPressure_2", "FeedTemp",
                                      "FeeduS",       "unitFlow",     "unitFlux",       "unitPress",
                                      "unitTemp",     "CapacityM3D",  "DeltaPress",     "DeltaPress_1",
                                      "DeltaPress_2", "ElementType",  "ElementType_1",  "ElementType_2"};
    return names;
}

const QStringList& ReadingSystemColumns() {
    static const QStringList names = {"PermFlow",      "ConcFlow", "FeedPressure", "ConcPressure",
                                      "PermBackPress", "FeeduS",   "PermuS"};
    return names;
}

const QStringList& ExchangeProjectColumns() {
    static const QStringList names =
        QStringList{"ProjectID",  "DateReference", "Description",   "TrainNumber",
                    "TrainsSame", "SystemData",    "ElapsedTimeRef"} +
        ProjectPermeateColumns() + QStringList{"ConcFlow", "ConcPressure", "ConcPressure_1", "ConcuS"} +
        ProjectFeedColumns() +
        QStringList{"RefpH",
                    "FeedType",
                    "AvgConc",
                    "dataExists",
                    "DefaultUnits",
                    "Density",
                    "OverallRecovery",
                    "uStoPI_Feed",
                    "uStoPI_Perm",
                    "uStoPPM",
                    "numVessels",
                    "numVessels_1",
                    "numVessels_2",
                    "ElementsPerVessel",
                    "ElementsPerVessel_1",
                    "ElementsPerVessel_2",
                    "numVessels_3",
                    "ElementsperVessel_3",
                    "ElementType_3",
                    "NumElementsBank_3",
                    "AreaBank_3",
                    "Deltapress_3",
                    "PermFlow_3",
                    "PermuS_3",
                    "FeedPressure_3",
                    "ConcPressure_2",
                    "PermBackPress_3"};
    return names;
}

QStringList ExchangeDataColumns(bool specFlux) {
    static const QStringList base =
        QStringList{"ProjectID", "TheDate", "TrainNumber", "Bank", "ElapsedTimeHrs"} +
        ReadingSystemColumns() +
        QStringList{"Temperature",
                    "PermFlow_2",
                    "PermuS_2",
                    "FeedPressure_2",
                    "PermBackPress_2",
                    "PermFlow_1",
                    "PermuS_1",
                    "PermBackPress_1",
                    "ActualFlux",
                    "ActualFlux_1",
                    "ActualFlux_2",
                    "NormalizedFlux",
                    "NormalizedPermFlow",
                    "NormalizedPermFlow_1",
                    "NormalizedPermFlow_2",
                    "NormalizedSaltPassage",
                    "NormalizedSaltPassage_1",
                    "NormalizedSaltPassage_2",
                    "ActualRejection",
                    "SystemDP",
                    "B1DP",
                    "B2DP",
                    "B1Recovery",
                    "B2Recovery",
                    "NetTMP",
                    "NormalizedDP",
                    "NormalizedDP_1",
                    "NormalizedDP_2",
                    "EventID",
                    "ConcPressure_1",
                    "ConcuS",
                    "FeedFlow",
                    "ORP",
                    "pH",
                    "SDIFeed",
                    "SDIRaw",
                    "SystemRecovery",
                    "TurbidityFeed",
                    "TurbidityRaw",
                    "PermFlow_3",
                    "PermuS_3",
                    "FeedPressure_3",
                    "ConcPressure_2",
                    "PermBackpress_3",
                    "NormalizedPermFlow_3",
                    "NormalizedSaltPassage_3",
                    "ActualFlux_3",
                    "NormalizedDP_3",
                    "B3DP",
                    "B3Recovery"};
    if (!specFlux) return base;
    return base + QStringList{"Specflux", "Specflux_1", "SpecFlux_2", "SpecFlux_3"};
}

const QStringList& ExchangeUserDefinedColumns() {
    static const QStringList names = {"TurbidityRaw", "TurbidityFeed", "SDIRaw",     "SDIFeed",
                                      "ORP",          "UnitsTRaw",     "UnitsTFeed", "UnitsSDIRaw",
                                      "UnitsSDIFeed", "UnitsORP"};
    return names;
}

bool ExchangeHasSpecFlux(qint16 minor, qint16 revision) {
    return minor >= 3 && revision >= 20;
}

namespace {

bool oneOf(const QString& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isBlankByte(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v) {
    // The usual field has no blank at either end.
    if (v.isEmpty() || (!isBlankByte(v.front()) && !isBlankByte(v.back()))) return v;
    qsizetype a = 0, b = v.size();
    while (a < b && isBlankByte(v[a]))
        ++a;
    while (b > a && isBlankByte(v[b - 1]))
        --b;
    return v.sliced(a, b - a);
}

bool equalsWord(QByteArrayView v, const char* word) {
    const qsizetype n = qsizetype(std::strlen(word));
    if (v.size() != n) return false;
    for (qsizetype i = 0; i < n; ++i) {
        char c = v[i];
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        if (c != word[i]) return false;
    }
    return true;
}

bool isAscii(QByteArrayView b) {
    for (char c : b)
        if (uchar(c) >= 0x80) return false;
    return true;
}

// Copies into the array's own storage, reusing it: a value per field of every line.
void setBytes(QByteArray& to, QByteArrayView from) {
    to.resize(from.size());
    if (!from.isEmpty()) std::memcpy(to.data(), from.data(), size_t(from.size()));
}

int twoDigits(const char* s) {
    return (s[0] - '0') * 10 + (s[1] - '0');
}

bool validDate(int y, int mo, int d, int h, int mi, int s) {
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[mo - 1] + (mo == 2 && leap ? 1 : 0);
}

void storedDate(char out[19], int y, int mo, int d, int h, int mi, int s) {
    auto put2 = [](char* p, int v) {
        p[0] = char('0' + v / 10);
        p[1] = char('0' + v % 10);
    };
    put2(out, y / 100);
    put2(out + 2, y % 100);
    out[4] = '-';
    put2(out + 5, mo);
    out[7] = '-';
    put2(out + 8, d);
    out[10] = ' ';
    put2(out + 11, h);
    out[13] = ':';
    put2(out + 14, mi);
    out[16] = ':';
    put2(out + 17, s);
}

// Windows-1252 bytes 0x80 to 0x9F; the rest are Latin-1.
const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool validUtf8(QByteArrayView b) {
    qsizetype i = 0;
    const qsizetype n = b.size();
    while (i < n) {
        const unsigned char c = uchar(b[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned int cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= n) return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned char cc = uchar(b[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += more + 1;
    }
    return true;
}

// A trimmed field that ParseExchangeNumber takes for certain: digits with at most one decimal
// mark between digits and a leading minus, at most 64 bytes (below 1E+64, so finite).
bool isPlainDecimal(QByteArrayView t, bool decimalComma) {
    if (t.size() > 64) return false;
    const char* c = t.data();
    const char* end = c + t.size();
    if (c < end && *c == '-') ++c;
    const char* start = c;
    while (c < end && unsigned(*c - '0') < 10)
        ++c;
    if (c == start) return false;
    if (c == end) return true;
    if (*c != (decimalComma ? ',' : '.')) return false;
    const char* fraction = ++c;
    while (c < end && unsigned(*c - '0') < 10)
        ++c;
    return c == end && c > fraction;
}

} // namespace

ExchangeKind ExchangeKindOf(const QString& column, const QString& declaredType) {
    const schema::Column* c = schema::Find(schema::Data, column);
    if (!c) c = schema::Find(schema::ProjectInfo, column);
    if (c && c->kind == schema::Kind::Date) return ExchangeKind::Date;
    if (oneOf(column, {"TrainsSame", "SystemData", "dataExists"})) return ExchangeKind::Boolean;
    const QString t = declaredType.toUpper();
    if (t.contains("TEXT") || t.contains("CHAR") || t.contains("CLOB")) return ExchangeKind::Text;
    return ExchangeKind::Number;
}

qsizetype ExchangeTextLimit(const QString& column) {
    return column.compare(QLatin1String("ProjectID"), Qt::CaseInsensitive) == 0 ? 50 : 255;
}

ExchangeWholeRange ExchangeWholeRangeOf(const QString& column) {
    const schema::Column* c = schema::Find(schema::Data, column);
    if (!c) c = schema::Find(schema::ProjectInfo, column);
    // The key columns are held to the file's own project train, line by line.
    if (!c || c->kind == schema::Kind::Key) return {};
    return c->range;
}

QString ExchangeRangeRefusal(const QString& column, const ExchangeWholeRange& range, double value) {
    if (range.any() ||
        (value == std::trunc(value) && value >= double(range.least) && value <= double(range.most)))
        return {};
    return Refusal::outOfRange(column, QString::number(value, 'g', 15), range).text.chopped(1);
}

void AppendExchangeNumber(QByteArray& out, double value, char decimal) {
    char text[32];
    out.append(text, WriteGeneralNumber(text, value, decimal) - text);
}

bool ParseExchangeNumber(QByteArrayView text, bool decimalComma, double& out) {
    const QByteArrayView t = trimmed(text);
    if (t.isEmpty() || t.size() > 64) return false;
    // The usual field, a plain decimal of up to 15 digits, is an integer below 2^53 divided by an
    // exact power of ten: one correctly rounded division, the value from_chars gives.
    if (t.size() <= 17) {
        const char* c = t.data();
        const char* end = c + t.size();
        const bool minus = *c == '-';
        if (minus) ++c;
        const char* start = c;
        uint64_t n = 0;
        for (; c < end && unsigned(*c - '0') < 10; ++c)
            n = n * 10 + unsigned(*c - '0');
        const auto whole = int(c - start);
        int decimals = 0;
        bool plain = whole > 0;
        if (plain && c < end && *c == (decimalComma ? ',' : '.')) {
            const char* f = ++c;
            for (; c < end && unsigned(*c - '0') < 10; ++c)
                n = n * 10 + unsigned(*c - '0');
            decimals = int(c - f);
            plain = decimals > 0;
        }
        if (plain && c == end && whole + decimals <= 15) {
            const double v = double(n) / ExactPow10[size_t(decimals)];
            out = minus ? -v : v;
            return true;
        }
    }
    // Anything else in the file's own form only, never the computer's: a sign, digits with the
    // file's decimal mark, an exponent. "+-5", "0x10", "1e" or a group separator are refused.
    char buf[72];
    qsizetype n = 0;
    const char* c = t.data();
    const char* const end = c + t.size();
    if (*c == '+' || *c == '-') {
        if (*c == '-') buf[n++] = '-';
        ++c;
    }
    qsizetype digits = 0;
    for (; c < end && unsigned(*c - '0') < 10; ++c, ++digits)
        buf[n++] = *c;
    if (c < end && *c == (decimalComma ? ',' : '.')) {
        buf[n++] = '.';
        for (++c; c < end && unsigned(*c - '0') < 10; ++c, ++digits)
            buf[n++] = *c;
    }
    if (digits == 0) return false;
    if (c < end && (*c == 'e' || *c == 'E')) {
        buf[n++] = 'e';
        ++c;
        if (c < end && (*c == '+' || *c == '-')) buf[n++] = *c++;
        qsizetype exponent = 0;
        for (; c < end && unsigned(*c - '0') < 10; ++c, ++exponent)
            buf[n++] = *c;
        if (exponent == 0) return false;
    }
    if (c != end) return false;
    double v = 0;
    const auto r = std::from_chars(buf, buf + n, v);
    if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseExchangeDate(QByteArrayView text, char out[19]) {
    const QByteArrayView t = trimmed(text);
    const char* s = t.data();
    auto digitsAt = [&](std::initializer_list<int> pos) {
        for (int i : pos)
            if (s[i] < '0' || s[i] > '9') return false;
        return true;
    };
    if (t.size() == 19 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' && s[16] == ':' &&
        digitsAt({0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})) {
        const int y = twoDigits(s) * 100 + twoDigits(s + 2);
        const int mo = twoDigits(s + 5), d = twoDigits(s + 8);
        const int h = twoDigits(s + 11), mi = twoDigits(s + 14), se = twoDigits(s + 17);
        if (!validDate(y, mo, d, h, mi, se)) return false;
        std::memcpy(out, s, 19);
        return true;
    }
    // The close forms: the date alone, or with "T" for the blank, or without the seconds. The file
    // holds wall-clock time to the second: a time zone or a fraction of a second is refused.
    const bool dateOnly = t.size() == 10;
    if (!dateOnly && t.size() != 16 && t.size() != 19) return false;
    if (s[4] != '-' || s[7] != '-' || !digitsAt({0, 1, 2, 3, 5, 6, 8, 9})) return false;
    int h = 0, mi = 0, se = 0;
    if (!dateOnly) {
        if ((s[10] != ' ' && s[10] != 'T') || s[13] != ':' || !digitsAt({11, 12, 14, 15})) return false;
        h = twoDigits(s + 11);
        mi = twoDigits(s + 14);
        if (t.size() == 19) {
            if (s[16] != ':' || !digitsAt({17, 18})) return false;
            se = twoDigits(s + 17);
        }
    }
    const int y = twoDigits(s) * 100 + twoDigits(s + 2);
    const int mo = twoDigits(s + 5), d = twoDigits(s + 8);
    if (!validDate(y, mo, d, h, mi, se)) return false;
    storedDate(out, y, mo, d, h, mi, se);
    return true;
}

QString DecodeExchangeText(QByteArrayView bytes) {
    bool ascii = true;
    for (char c : bytes)
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return QString::fromLatin1(bytes);
    if (validUtf8(bytes)) return QString::fromUtf8(bytes);
    QString s;
    s.reserve(bytes.size());
    for (char c : bytes) {
        const uchar u = uchar(c);
        s += u >= 0x80 && u <= 0x9F ? QChar(Cp1252High[u - 0x80]) : QChar(u);
    }
    return s;
}

void ExchangeColumns::add(const QString& name, ExchangeKind kind) {
    const int i = int(names.size());
    names << name;
    kinds.push_back(kind);
    ranges.push_back(kind == ExchangeKind::Number ? ExchangeWholeRangeOf(name) : ExchangeWholeRange());
    if (name.compare("ProjectID", Qt::CaseInsensitive) == 0)
        projectIdPos = i;
    else if (name.compare("TrainNumber", Qt::CaseInsensitive) == 0)
        trainPos = i;
    else if (kind == ExchangeKind::Date && datePos < 0)
        datePos = i;
}

bool ConvertExchangeFields(const std::vector<QByteArrayView>& fields, const ExchangeColumns& cols,
                           bool decimalComma, bool allowMissing, std::vector<ExchangeValue>& out,
                           QString* why, bool checkOnly) {
    const size_t n = cols.kinds.size();
    if (fields.size() > n) {
        for (size_t i = n; i < fields.size(); ++i)
            if (!trimmed(fields[i]).isEmpty()) {
                if (why)
                    *why = QStringLiteral("it has %1 fields where %2 columns are named")
                               .arg(fields.size())
                               .arg(n);
                return false;
            }
    }
    if (!allowMissing && fields.size() < n) {
        if (why)
            *why = QStringLiteral("it has %1 fields where %2 columns are named").arg(fields.size()).arg(n);
        return false;
    }
    out.resize(n);
    for (size_t i = 0; i < n; ++i) {
        ExchangeValue& v = out[i];
        v.type = ExchangeValue::Null;
        if (i >= fields.size()) continue;
        const QByteArrayView raw = fields[i];
        const QByteArrayView t = trimmed(raw);
        const ExchangeKind kind = cols.kinds[i];
        // An empty text stays an empty text; only numbers and dates read an empty field as Null.
        if (t.isEmpty() && kind != ExchangeKind::Text) continue;
        auto refuse = [&](const char* what) {
            if (why) {
                const QString value = DecodeExchangeText(raw.first(std::min<qsizetype>(raw.size(), 60)));
                // A number is refused in the words every road says; the caller ends the sentence.
                *why = qstrcmp(what, "a number") == 0
                           ? Refusal::notANumber(cols.names[int(i)], value).text.chopped(1)
                           : QStringLiteral("the %1 value \"%2\" is not %3")
                                 .arg(cols.names[int(i)], value, QLatin1String(what));
            }
            return false;
        };
        switch (kind) {
        case ExchangeKind::Text: {
            const qsizetype limit = ExchangeTextLimit(cols.names[int(i)]);
            if (std::memchr(raw.data(), '\0', size_t(raw.size()))) {
                if (why) *why = QStringLiteral("the %1 value holds a NUL character").arg(cols.names[int(i)]);
                return false;
            }
            if (raw.size() > limit && DecodeExchangeText(raw).size() > limit) {
                if (why)
                    *why = QStringLiteral("the %1 value is longer than %2 characters")
                               .arg(cols.names[int(i)])
                               .arg(limit);
                return false;
            }
            v.type = ExchangeValue::Text;
            if (checkOnly)
                v.text.resize(0);
            else if (isAscii(raw))
                setBytes(v.text, raw);
            else
                v.text = DecodeExchangeText(raw).toUtf8();
            break;
        }
        case ExchangeKind::Date: {
            char d[19];
            if (!ParseExchangeDate(t, d))
                return refuse(
                    "a date as the file holds it: yyyy-mm-dd hh:mm:ss, wall-clock time to the second "
                    "without a time zone or a fraction of a second");
            v.type = ExchangeValue::Text;
            setBytes(v.text, QByteArrayView(d, 19));
            break;
        }
        case ExchangeKind::Boolean:
        case ExchangeKind::Number: {
            v.type = ExchangeValue::Number;
            const ExchangeWholeRange& range = cols.ranges[i];
            if (checkOnly && range.any() && isPlainDecimal(t, decimalComma)) {
                v.number = 0;
                break;
            }
            if (ParseExchangeNumber(t, decimalComma, v.number)) {
                if (range.any()) break;
                const QString outside = ExchangeRangeRefusal(cols.names[int(i)], range, v.number);
                if (outside.isEmpty()) break;
                if (why) *why = outside;
                return false;
            }
            // The words of a Yes/No field; a number field holds a number.
            if (kind == ExchangeKind::Boolean && (equalsWord(t, "TRUE") || equalsWord(t, "WAHR"))) {
                v.number = -1;
                break;
            }
            if (kind == ExchangeKind::Boolean && (equalsWord(t, "FALSE") || equalsWord(t, "FALSCH"))) {
                v.number = 0;
                break;
            }
            return refuse("a number");
        }
        }
    }
    return true;
}

QString ExchangeProjectLineRefusal(const ExchangeColumns& cols, const std::vector<ExchangeValue>& values,
                                   const QStringList& required) {
    if (cols.projectIdPos < 0 || cols.trainPos < 0)
        return QStringLiteral("line 2 names no ProjectID or no TrainNumber");
    const ExchangeValue& id = values[size_t(cols.projectIdPos)];
    const ExchangeValue& train = values[size_t(cols.trainPos)];
    if (id.type != ExchangeValue::Text || id.text.trimmed().isEmpty())
        return QStringLiteral("line 3 holds no ProjectID");
    if (id.text != id.text.trimmed())
        return "line 3: the ProjectID \"" + QString::fromUtf8(id.text) + "\" has blanks before or after it";
    if (train.type != ExchangeValue::Number || train.number != std::trunc(train.number))
        return QStringLiteral("line 3 holds no TrainNumber that is a whole number");
    constexpr schema::WholeRange trains = schema::ProjectInfoColumn("TrainNumber").range;
    if (train.number < double(trains.least) || train.number > double(trains.most)) {
        QString why =
            Refusal::outOfRange("line 3: the TrainNumber", QString::number(train.number, 'g', 15), trains)
                .text;
        why.chop(1); // the caller ends the sentence
        return why;
    }
    if (cols.datePos >= 0 && values[size_t(cols.datePos)].type == ExchangeValue::Null)
        return "line 3 holds no " + cols.names[cols.datePos];
    for (const QString& need : required) {
        qsizetype at = -1;
        for (qsizetype i = 0; i < cols.names.size() && at < 0; ++i)
            if (cols.names[i].compare(need, Qt::CaseInsensitive) == 0) at = i;
        if (at < 0) return "line 2 names no " + need + ", which every project train needs";
        if (values[size_t(at)].type == ExchangeValue::Null)
            return Refusal::missing("line 3, " + cols.names[at]).text.chopped(1);
    }
    return {};
}

// Writer

ExchangeWriter::ExchangeWriter(QIODevice& out, char separator, char decimal)
    : out_(out), sep_(separator), dec_(decimal) {
    line_.reserve((1 << 16) + 4096);
}

void ExchangeWriter::next() {
    if (!first_) line_ += sep_;
    first_ = false;
}

void ExchangeWriter::text(const QString& value) {
    text(QByteArrayView(value.toUtf8()));
}

bool ExchangeWriter::alters(QByteArrayView utf8) const {
    for (const char c : utf8)
        if ((c == sep_ && !quotes()) || c == '\r' || c == '\n') return true;
    return false;
}

void ExchangeWriter::text(QByteArrayView utf8) {
    next();
    const bool quoted = quotes() && (utf8.contains(sep_) || utf8.contains('"'));
    if (quoted) line_ += '"';
    const qsizetype at = line_.size();
    line_.append(utf8);
    for (qsizetype i = at; i < line_.size(); ++i) {
        char& c = line_[i];
        if (c == '\r' || c == '\n' || (c == sep_ && !quoted))
            c = ' ';
        else if (c == '"' && quoted)
            line_.insert(++i, '"');
    }
    if (quoted) line_ += '"';
}

void ExchangeWriter::number(double value) {
    next();
    char text[32];
    const char* end = WriteGeneralNumber(text, value, dec_);
    // A spreadsheet file of a decimal-comma computer: the mark is the separator too.
    const bool quoted = quotes() && dec_ == sep_ && std::memchr(text, sep_, size_t(end - text));
    if (quoted) line_ += '"';
    line_.append(text, end - text);
    if (quoted) line_ += '"';
}

void ExchangeWriter::integer(qint64 value) {
    next();
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    line_.append(buf, r.ptr - buf);
}

void ExchangeWriter::raw(QByteArrayView value) {
    next();
    line_ += value;
}

void ExchangeWriter::empty() {
    next();
}

bool ExchangeWriter::endLine() {
    line_ += "\r\n";
    first_ = true;
    // Lines go to the device in blocks: one call per line costs more than the line itself.
    return line_.size() < (1 << 16) || flush();
}

bool ExchangeWriter::flush() {
    // A device that takes part of a block (a disk filling up) is asked for the rest, so that its
    // refusal, and the system's reason with it, is the device's error.
    qsizetype done = 0;
    while (done < line_.size()) {
        const qint64 n = out_.write(line_.constData() + done, line_.size() - done);
        if (n <= 0) break;
        done += qsizetype(n);
    }
    const bool ok = done == line_.size();
    line_.resize(0);
    return ok;
}

// Reader

ExchangeReader::ExchangeReader(QIODevice& in) : in_(in) {}

bool ExchangeReader::fill() {
    if (eof_) return false;
    if (pos_ > 0) {
        buf_.remove(0, pos_);
        pos_ = 0;
    }
    const qsizetype chunk = 1 << 20;
    const qsizetype old = buf_.size();
    buf_.resize(old + chunk);
    const qint64 got = in_.read(buf_.data() + old, chunk);
    if (got <= 0) {
        buf_.resize(old);
        eof_ = true;
        if (got < 0) error_ = in_.errorString();
        return false;
    }
    buf_.resize(old + qsizetype(got));
    return true;
}

bool ExchangeReader::readLine() {
    if (!error_.isEmpty()) return false;
    qsizetype scanFrom = pos_;
    for (;;) {
        const char* start = buf_.constData() + scanFrom;
        const void* nl = std::memchr(start, '\n', size_t(buf_.size() - scanFrom));
        if (nl) {
            const qsizetype end = static_cast<const char*>(nl) - buf_.constData();
            line_ = QByteArrayView(buf_).sliced(pos_, end - pos_);
            pos_ = end + 1;
            lineEnded_ = true;
            break;
        }
        if (buf_.size() - pos_ > MaxLineBytes) {
            error_ = QStringLiteral("line %1 is longer than %2 bytes").arg(lineNumber_ + 1).arg(MaxLineBytes);
            return false;
        }
        const qsizetype scanned = buf_.size() - pos_;
        if (!fill()) {
            if (!error_.isEmpty()) return false;
            if (pos_ >= buf_.size()) return false;
            line_ = QByteArrayView(buf_).sliced(pos_);
            pos_ = buf_.size();
            lineEnded_ = false;
            break;
        }
        scanFrom = pos_ + scanned;
    }
    if (line_.size() > MaxLineBytes) {
        error_ = QStringLiteral("line %1 is longer than %2 bytes").arg(lineNumber_ + 1).arg(MaxLineBytes);
        return false;
    }
    if (line_.endsWith('\r')) line_.chop(1);
    if (lineNumber_ == 0 && line_.startsWith("\xEF\xBB\xBF")) line_ = line_.sliced(3);
    ++lineNumber_;
    return true;
}

const std::vector<QByteArrayView>& ExchangeReader::split() {
    fields_.clear();
    const char* from = line_.constData();
    const char* const end = from + line_.size();
    for (;;) {
        const auto* at = static_cast<const char*>(std::memchr(from, ';', size_t(end - from)));
        if (!at) {
            fields_.emplace_back(from, end - from);
            break;
        }
        fields_.emplace_back(from, at - from);
        from = at + 1;
    }
    return fields_;
}

bool ExchangeReader::lineIsBlank() const {
    for (char c : line_)
        if (c != ';' && !isBlankByte(c)) return false;
    return true;
}

bool ReadExchangeHeader(ExchangeReader& reader, ExchangeHeader& h) {
    h = ExchangeHeader();
    const auto next = [&] {
        if (!reader.readLine()) return false;
        if (!reader.lineEnded()) h.cutLine = reader.lineNumber();
        return true;
    };
    if (!next()) return reader.error().isEmpty();
    h.linesRead = 1;
    const QByteArrayView l1 = reader.line();
    h.line1 = DecodeExchangeText(l1);
    // The file names its decimal mark in the last field of line 1.
    const qsizetype lastSemi = l1.lastIndexOf(';');
    const QByteArrayView code = trimmed(QByteArrayView(l1).sliced(lastSemi + 1));
    h.decimalMarkText = DecodeExchangeText(code.first(std::min<qsizetype>(code.size(), 20)));
    if (lastSemi >= 0 && code == "44")
        h.decimalMark = ',';
    else if (lastSemi >= 0 && code == "46")
        h.decimalMark = '.';
    h.decimalComma = h.decimalMark == ',';
    const qsizetype semi = l1.indexOf(';');
    const QByteArrayView v = trimmed(QByteArrayView(l1).first(semi < 0 ? l1.size() : semi));
    qint64 number = 0;
    const char* b = v.data();
    const char* e = b + v.size();
    if (b != e && *b == '+') ++b;
    const auto r = std::from_chars(b, e, number);
    if (b != e && r.ec == std::errc() && r.ptr == e && number >= INT32_MIN && number <= INT32_MAX)
        h.version = qint32(number);

    if (!next()) return reader.error().isEmpty();
    h.linesRead = 2;
    for (const QByteArrayView f : reader.split())
        h.projectNames << DecodeExchangeText(trimmed(f));
    while (!h.projectNames.isEmpty() && h.projectNames.last().isEmpty())
        h.projectNames.removeLast();

    if (!next()) return reader.error().isEmpty();
    h.linesRead = 3;
    for (const QByteArrayView f : reader.split())
        h.projectFields.emplace_back(f.toByteArray());

    if (!next()) return reader.error().isEmpty();
    h.linesRead = 4;
    h.userDefinedLine = reader.line().toByteArray();
    if (!h.userDefinedLine.isEmpty())
        for (const QByteArrayView f : reader.split())
            h.userDefinedFields << DecodeExchangeText(f);
    return true;
}

} // namespace hv
