#include "platform/profile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <optional>
#include <vector>

#include "platform/filelimits.h"

namespace hv::profile {

namespace {

// One line of the file as it was read: its bytes and its own line end. Lines the caller
// does not change are written back exactly as they came.
struct RawLine {
    QByteArray bytes;
    QByteArray eol;
};

struct RawFile {
    std::vector<RawLine> lines;
    QByteArray bom; // a UTF-8 byte order mark kept in front of the first line
    bool crlf = false;
};

// False when the file exists but cannot be read; a missing file reads as empty.
bool readRaw(const QString& file, RawFile& out, QString* error = nullptr) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        if (!f.exists()) return true;
        if (error) *error = f.errorString();
        return false;
    }
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        return false;
    }
    if (data.startsWith("\xEF\xBB\xBF")) {
        out.bom = data.left(3);
        data.remove(0, 3);
    }
    qsizetype start = 0;
    bool firstEol = true;
    while (start < data.size()) {
        const qsizetype nl = data.indexOf('\n', start);
        RawLine line;
        if (nl < 0) {
            line.bytes = data.mid(start);
            start = data.size();
        } else {
            qsizetype end = nl;
            if (end > start && data[end - 1] == '\r') --end;
            line.bytes = data.mid(start, end - start);
            line.eol = data.mid(end, nl + 1 - end);
            if (firstEol) out.crlf = line.eol == "\r\n";
            firstEol = false;
            start = nl + 1;
        }
        out.lines.push_back(std::move(line));
    }
    return true;
}

// A line's text: UTF-8 when it is valid UTF-8, else the single-byte code page other
// programs of the plant may have written it in.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

std::optional<QString> sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.startsWith('[')) {
        const int close = t.indexOf(']');
        if (close > 0) return t.mid(1, close - 1).trimmed();
    }
    return std::nullopt;
}

// Splits "key=value"; false for comments and lines without '='.
bool keyValue(const QString& line, QString& key, QString& value) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';')) return false;
    const int eq = t.indexOf('=');
    if (eq < 0) return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    return true;
}

std::optional<QString> find(const QString& section, const QString& key, const QString& file) {
    RawFile raw;
    if (!readRaw(file, raw)) return std::nullopt;
    bool inSection = false;
    for (const RawLine& rl : raw.lines) {
        const QString line = decode(rl.bytes);
        if (auto s = sectionName(line)) {
            inSection = s->compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection) continue;
        QString k, v;
        if (keyValue(line, k, v) && k.compare(key.trimmed(), Qt::CaseInsensitive) == 0) {
            if (v.size() >= 2 &&
                ((v.startsWith('"') && v.endsWith('"')) || (v.startsWith('\'') && v.endsWith('\''))))
                v = v.mid(1, v.size() - 2);
            return v;
        }
    }
    return std::nullopt;
}

bool isBlank(const QByteArray& bytes) {
    return bytes.trimmed().isEmpty();
}

} // namespace

QString getString(const QString& section, const QString& key, const QString& defaultText,
                  const QString& file) {
    if (auto v = find(section, key, file)) return *v;
    QString d = defaultText;
    while (d.endsWith(' '))
        d.chop(1);
    return d;
}

long getInt(const QString& section, const QString& key, long defaultValue, const QString& file) {
    const auto v = find(section, key, file);
    if (!v) return defaultValue;
    const QString s = v->trimmed();
    qsizetype i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        neg = s[i] == '-';
        ++i;
    }
    long long n = 0;
    while (i < s.size() && s[i].isDigit()) {
        n = n * 10 + s[i].digitValue();
        if (n > 0xFFFFFFFFLL) n = 0xFFFFFFFFLL;
        ++i;
    }
    return long(neg ? -n : n);
}

bool writeString(const QString& section, const QString& key, const QString& value, const QString& file,
                 QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    RawFile raw;
    QString readError;
    // Rewriting a file we could not read would drop every other setting in it.
    if (!readRaw(file, raw, &readError)) return fail(readError);
    const QFileInfo info(file);
    // The replacement is a new file: without this a read-only settings file would be overwritten.
    if (info.exists() && !info.isWritable()) return fail(QStringLiteral("Permission denied"));

    auto& lines = raw.lines;
    int sectionStart = -1, sectionEnd = -1, keyLine = -1;
    for (int i = 0; i < int(lines.size()); ++i) {
        const QString line = decode(lines[size_t(i)].bytes);
        if (auto s = sectionName(line)) {
            if (sectionStart >= 0 && sectionEnd < 0) sectionEnd = i;
            if (sectionStart < 0 && s->compare(section, Qt::CaseInsensitive) == 0) sectionStart = i;
            continue;
        }
        if (sectionStart >= 0 && sectionEnd < 0 && keyLine < 0) {
            QString k, v;
            if (keyValue(line, k, v) && k.compare(key.trimmed(), Qt::CaseInsensitive) == 0) keyLine = i;
        }
    }
    const QByteArray eol = raw.crlf ? "\r\n" : "\n";
    const QByteArray entry = (key.trimmed() + "=" + value).toUtf8();
    auto insertAt = [&](size_t at, const QByteArray& bytes) {
        // The line before gets an end of its own if it lacked one.
        if (at > 0 && lines[at - 1].eol.isEmpty()) lines[at - 1].eol = eol;
        lines.insert(lines.begin() + qsizetype(at), RawLine{bytes, eol});
    };
    if (keyLine >= 0) {
        lines[size_t(keyLine)].bytes = entry;
    } else if (sectionStart >= 0) {
        int at = sectionEnd < 0 ? int(lines.size()) : sectionEnd;
        while (at - 1 > sectionStart && isBlank(lines[size_t(at - 1)].bytes))
            --at; // before the blank gap
        insertAt(size_t(at), entry);
    } else {
        if (!lines.empty() && !isBlank(lines.back().bytes)) insertAt(lines.size(), QByteArray());
        insertAt(lines.size(), "[" + section.toUtf8() + "]");
        insertAt(lines.size(), entry);
    }

    QByteArray out = raw.bom;
    for (const RawLine& l : lines)
        out += l.bytes + l.eol;

    // The old file is replaced only once the new one is completely on disk.
    if (const QString why = WriteFileWhole(file, out); !why.isEmpty()) return fail(why);
    return true;
}

} // namespace hv::profile
