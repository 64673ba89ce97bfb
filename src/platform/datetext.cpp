#include "platform/datetext.h"

#include <cstdio>

namespace hv {

namespace {

// The year, month, day, hour, minute and second of a key.
struct KeyParts {
    int y, mo, d, h, mi, s;
};

KeyParts partsOf(qint64 key) {
    return {int(key / 10000000000), int(key / 100000000 % 100), int(key / 1000000 % 100),
            int(key / 10000 % 100), int(key / 100 % 100),       int(key % 100)};
}

QString storedText(int y, int mo, int d, int h, int mi, int s) {
    if (y < 0 || y > 9999) {
        char text[48];
        const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
        return QString::fromLatin1(text, n);
    }
    // Every reading stored passes here: written digit by digit.
    QString text(19, Qt::Uninitialized);
    char16_t* t = reinterpret_cast<char16_t*>(text.data());
    const auto two = [&](int at, int v) {
        t[at] = char16_t('0' + v / 10 % 10);
        t[at + 1] = char16_t('0' + v % 10);
    };
    two(0, y / 100);
    two(2, y % 100);
    t[4] = t[7] = u'-';
    t[10] = u' ';
    t[13] = t[16] = u':';
    two(5, mo);
    two(8, d);
    two(11, h);
    two(14, mi);
    two(17, s);
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::optional<qint64> ReadingDateKey(const char* t, int n) {
    while (n > 0 && isBlank(*t)) {
        ++t;
        --n;
    }
    while (n > 0 && isBlank(t[n - 1]))
        --n;
    int i = 0;
    // `least` to `most` digits as a number.
    const auto number = [&](int least, int most, int& v) {
        int count = 0;
        v = 0;
        for (; i < n && count < most && t[i] >= '0' && t[i] <= '9'; ++i, ++count)
            v = v * 10 + (t[i] - '0');
        return count >= least;
    };
    const auto take = [&](char c) {
        if (i >= n || t[i] != c) return false;
        ++i;
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!number(4, 4, y) || i >= n || (t[i] != '-' && t[i] != '/')) return std::nullopt;
    const char separator = t[i++];
    if (!number(2, 2, mo) || !take(separator) || !number(2, 2, d)) return std::nullopt;
    if (i < n) {
        if ((!take(' ') && !take('T')) || !number(1, 2, h) || !take(':') || !number(2, 2, mi))
            return std::nullopt;
        if (take(':')) {
            if (!number(2, 2, s)) return std::nullopt;
            if (take('.')) {
                const int first = i;
                while (i < n && t[i] == '0')
                    ++i;
                if (i == first) return std::nullopt;
            }
        }
        if (i != n) return std::nullopt;
    }
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo < 1 || mo > 12 || d < 1 || d > Days[mo - 1] + (mo == 2 && leap) || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    return ((((qint64(y) * 100 + mo) * 100 + d) * 100 + h) * 100 + mi) * 100 + s;
}

std::optional<qint64> ReadingDateKey(const QString& text) {
    // Past its blanks a date of any spelling the rule reads is short.
    const QStringView v = QStringView(text).trimmed();
    char t[40];
    if (v.size() > qsizetype(sizeof t)) return std::nullopt;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char16_t c = v[i].unicode();
        if (c > 127) return std::nullopt;
        t[i] = char(c);
    }
    return ReadingDateKey(t, int(v.size()));
}

QString StoredDateText(qint64 key) {
    const KeyParts k = partsOf(key);
    return storedText(k.y, k.mo, k.d, k.h, k.mi, k.s);
}

QString StoredDateText(const QDateTime& date) {
    if (!date.isValid()) return {};
    const QDate d = date.date();
    const QTime t = date.time();
    return storedText(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

bool IsStoredDateText(const char* t, int n) {
    if (n != 19) return false;
    for (int i = 0; i < n; ++i) {
        const char want = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
        if (want == '0' ? t[i] < '0' || t[i] > '9' : t[i] != want) return false;
    }
    return true;
}

bool IsStoredDateText(const QString& text) {
    if (text.size() != 19) return false;
    char t[19];
    for (int i = 0; i < 19; ++i) {
        const char16_t c = text[i].unicode();
        if (c > 127) return false;
        t[i] = char(c);
    }
    return IsStoredDateText(t, 19);
}

QString StoredDateShapeCondition(const QString& column) {
    // GLOB compares case and length exactly, as the check above.
    return column + QStringLiteral(" GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
                                   "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'");
}

QDateTime DateTimeOfKey(qint64 key) {
    const KeyParts k = partsOf(key);
    return QDateTime(QDate(k.y, k.mo, k.d), QTime(k.h, k.mi, k.s));
}

} // namespace hv
