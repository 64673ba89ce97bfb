#include "platform/profile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <optional>

namespace hv::profile {

namespace {

QStringList readLines(const QString& file, bool* crlf = nullptr, bool* unreadable = nullptr) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        if (unreadable) *unreadable = f.exists();
        return {};
    }
    const QString text = QString::fromUtf8(f.readAll());
    if (crlf) *crlf = text.contains("\r\n");
    QStringList lines = text.split('\n');
    for (QString& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
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
    const QStringList lines = readLines(file);
    bool inSection = false;
    for (const QString& line : lines) {
        if (auto s = sectionName(line)) {
            inSection = s->compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection) continue;
        QString k, v;
        if (keyValue(line, k, v) && k.compare(key.trimmed(), Qt::CaseInsensitive) == 0) {
            if (v.size() >= 2 && ((v.startsWith('"') && v.endsWith('"')) || (v.startsWith('\'') && v.endsWith('\''))))
                v = v.mid(1, v.size() - 2);
            return v;
        }
    }
    return std::nullopt;
}

}  // namespace

QString getString(const QString& section, const QString& key, const QString& defaultText, const QString& file) {
    if (auto v = find(section, key, file)) return *v;
    QString d = defaultText;
    while (d.endsWith(' ')) d.chop(1);
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

bool writeString(const QString& section, const QString& key, const QString& value, const QString& file) {
    bool crlf = false, unreadable = false;
    QStringList lines = readLines(file, &crlf, &unreadable);
    // Rewriting a file we could not read would drop every other setting in it.
    if (unreadable) return false;
    int sectionStart = -1, sectionEnd = -1, keyLine = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (auto s = sectionName(lines[i])) {
            if (sectionStart >= 0 && sectionEnd < 0) sectionEnd = i;
            if (sectionStart < 0 && s->compare(section, Qt::CaseInsensitive) == 0) sectionStart = i;
            continue;
        }
        if (sectionStart >= 0 && sectionEnd < 0 && keyLine < 0) {
            QString k, v;
            if (keyValue(lines[i], k, v) && k.compare(key.trimmed(), Qt::CaseInsensitive) == 0) keyLine = i;
        }
    }
    const QString entry = key.trimmed() + "=" + value;
    if (keyLine >= 0) {
        lines[keyLine] = entry;
    } else if (sectionStart >= 0) {
        int at = sectionEnd < 0 ? int(lines.size()) : sectionEnd;
        while (at - 1 > sectionStart && lines[at - 1].trimmed().isEmpty()) --at;  // before the blank gap
        lines.insert(at, entry);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
        lines << "[" + section + "]" << entry;
    }
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QString eol = crlf ? "\r\n" : "\n";
    f.write((lines.join(eol) + eol).toUtf8());
    return f.commit();
}

}  // namespace hv::profile
