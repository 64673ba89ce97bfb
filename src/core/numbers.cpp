#include "core/numbers.h"

#include <QLocale>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "core/typedinput.h"
#include "platform/database.h"

namespace hv {

namespace {

// 10^0 to 10^22: with a mantissa below 2^53 the products stay below 2^128.
constexpr auto Pow10 = [] {
    std::array<unsigned __int128, 23> t{};
    t[0] = 1;
    for (size_t i = 1; i < t.size(); ++i)
        t[i] = t[i - 1] * 10;
    return t;
}();

constexpr uint64_t Digits15Low = 100000000000000ULL; // 10^14
constexpr uint64_t Digits15High = 1000000000000000ULL;

// For values from 1E-08 to below 2^52, where readings lie: the value is m / 2^shift exactly,
// so m * 10^(14 - exponent) / 2^shift is a 128-bit integer division. False outside that range.
bool fastDigits(double a, SignificantDigits& out) {
    if (!(a >= 1e-8 && a < 4503599627370496.0)) return false;
    uint64_t bits = 0;
    std::memcpy(&bits, &a, sizeof bits);
    const int e2 = int(bits >> 52) - 1022; // a = m * 2^(e2 - 53), normal here
    const unsigned __int128 m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    const int shift = 53 - e2;        // 1 to 80 here
    int k = ((e2 - 1) * 78913) >> 18; // floor(log10 a) or one less
    for (int tries = 0; tries < 3; ++tries) {
        const int s = 14 - k;
        if (s < 0 || s > 22) return false;
        const unsigned __int128 num = m * Pow10[size_t(s)];
        const unsigned __int128 q = num >> shift;
        if (q >= Digits15High) {
            ++k;
            continue;
        }
        if (q < Digits15Low) {
            --k;
            continue;
        }
        const unsigned __int128 rest = num - (q << shift);
        uint64_t n = uint64_t(q) + (rest >= (static_cast<unsigned __int128>(1) << (shift - 1)) ? 1 : 0);
        if (n == Digits15High) {
            n = Digits15Low;
            ++k;
        }
        out = {n, k};
        return true;
    }
    return false;
}

// Any finite value: the shortest digits that read back exactly, taken to 15 significant digits.
// Rounding them instead of the exact value differs only when they end in a lone 5 at the 16th
// digit: then the exact value decides, and an exact half rounds away from zero. A subnormal's
// shortest digits can be fewer than its 15 exact ones; its exact value, with hundreds of
// digits, is never a half at the 16th.
Q_NEVER_INLINE SignificantDigits slowDigits(double a) {
    char buf[64];
    const auto r = a < std::numeric_limits<double>::min()
                       ? std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14)
                       : std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
    char digits[20];
    int nd = 0;
    const char* p = buf;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9' && nd < 20) digits[nd++] = *p;
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, exponent);
    bool up = false;
    if (nd > 15) {
        up = digits[15] >= '5';
        if (nd == 16 && digits[15] == '5') {
            char exact[80];
            const auto e = std::to_chars(exact, exact + sizeof exact, a, std::chars_format::scientific, 40);
            auto atOrAboveHalf = [](const char* from, const char* to) {
                int k = 0;
                bool above = false;
                bool rest = false; // a non-zero digit after the 16th
                for (const char* q = from; q < to && *q != 'e'; ++q) {
                    if (*q < '0' || *q > '9') continue;
                    if (k == 15) above = *q >= '5';
                    if (k > 15 && *q != '0') rest = true;
                    ++k;
                }
                return std::pair{above, rest};
            };
            auto [above, rest] = atOrAboveHalf(exact, e.ptr);
            if (above && !rest) {
                // Rounded to 41 digits it looks like an exact half: only all of its digits
                // (at most 767) tell a half from a value just below it.
                char all[800];
                const auto f = std::to_chars(all, all + sizeof all, a, std::chars_format::scientific, 780);
                std::tie(above, rest) = atOrAboveHalf(all, f.ptr);
            }
            up = above;
        }
        nd = 15;
    }
    uint64_t n = 0;
    for (int i = 0; i < 15; ++i)
        n = n * 10 + unsigned(i < nd ? digits[i] - '0' : 0);
    if (up && ++n == Digits15High) {
        n = Digits15Low;
        ++exponent;
    }
    return {n, exponent};
}

// Inlined where numbers are written in bulk; the slow path stays out of line.
inline SignificantDigits digitsOf(double a) {
    SignificantDigits out;
    if (fastDigits(a, out)) return out;
    return slowDigits(a);
}

void twoDigitsOf(char* to, unsigned v) {
    to[0] = char('0' + v / 10);
    to[1] = char('0' + v % 10);
}

// The kept digits of a value: value = q x 10^scale.
struct Rounded {
    uint64_t q = 0;
    int scale = 0;
};

// The run time formats from the 15 significant digits of a Double, so 2.675 shows as
// 2.68 although its binary value lies just below: those digits taken to `decimals` places
// (to three significant digits where decimals is -1, as in scientific notation), halves
// away from zero.
Rounded roundTo(const SignificantDigits& s, int decimals) {
    const int keep = decimals < 0 ? 3 : s.exponent + 1 + decimals;
    Rounded r{s.digits, s.exponent - 14};
    if (keep >= 15) return r;
    if (keep < 0) return {0, 0};
    const auto p = uint64_t(Pow10[size_t(15 - keep)]);
    r.q = s.digits / p + (s.digits % p >= p / 2 ? 1 : 0);
    r.scale += 15 - keep;
    return r;
}

// The digits of a value not below 0 rounded as roundTo does: value = 0.digits x 10^pointPos.
struct Decimal {
    std::string digits;
    int pointPos = 0;
};

Decimal toDecimal(double a, int decimals) {
    Decimal d{"0", 1};
    if (a == 0) return d;
    const Rounded r = roundTo(digitsOf(a), decimals);
    if (r.q == 0) return d;
    d.digits = std::to_string(r.q);
    d.pointPos = int(d.digits.size()) + r.scale;
    return d;
}

char digitAt(const Decimal& d, int i) { // i counted from the first digit; zeros outside
    return i >= 0 && i < int(d.digits.size()) ? d.digits[size_t(i)] : '0';
}

QString decimalPoint() {
    return QLocale().decimalPoint();
}

// A digit pattern such as "##0.0##": "0" a digit always shown, "#" one shown only when
// significant; the value is taken to the pattern's last decimal place.
QString formatPattern(double x, const char* pattern) {
    const std::string pat(pattern);
    const size_t dot = pat.find('.');
    const std::string intPat = pat.substr(0, dot);
    const std::string fracPat = dot == std::string::npos ? std::string() : pat.substr(dot + 1);
    int minInt = 0;
    for (char c : intPat)
        minInt += c == '0';
    int minDec = 0;
    while (minDec < int(fracPat.size()) && fracPat[size_t(minDec)] == '0')
        ++minDec;
    const int maxDec = int(fracPat.size());

    const Decimal d = toDecimal(std::fabs(x), maxDec);

    std::string intDigits;
    for (int i = 0; i < d.pointPos; ++i)
        intDigits += digitAt(d, i);
    const size_t firstNonZero = intDigits.find_first_not_of('0');
    intDigits = firstNonZero == std::string::npos ? std::string() : intDigits.substr(firstNonZero);
    while (int(intDigits.size()) < minInt)
        intDigits.insert(intDigits.begin(), '0');

    std::string frac;
    for (int i = 0; i < maxDec; ++i)
        frac += digitAt(d, d.pointPos + i);
    while (int(frac.size()) > minDec && frac.back() == '0')
        frac.pop_back();

    QString out = x < 0 ? QStringLiteral("-") : QString();
    out += QString::fromLatin1(intDigits.c_str());
    if (!frac.empty()) out += decimalPoint() + QString::fromLatin1(frac.c_str());
    return out;
}

// The named form "scientific": 1.23E-07.
QString formatScientific(double x) {
    const Decimal d = toDecimal(std::fabs(x), -1);
    const int exponent = x != 0 ? d.pointPos - 1 : 0;
    QString out = x < 0 ? QStringLiteral("-") : QString();
    out += QChar(digitAt(d, 0));
    out += decimalPoint();
    out += QChar(digitAt(d, 1));
    out += QChar(digitAt(d, 2));
    out += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    out += QString::number(std::abs(exponent)).rightJustified(2, '0');
    return out;
}

bool numericValue(const QVariant& v, double& x) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        x = v.toDouble();
        return std::isfinite(x);
    case QMetaType::Bool:
        x = v.toBool() ? -1 : 0;
        return true;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: {
        const std::optional<double> read = ReadNumberText(v.toString());
        x = read.value_or(0.0);
        return read.has_value();
    }
    default:
        return false;
    }
}

} // namespace

SignificantDigits Significant15(double a) {
    return digitsOf(a);
}

QString FormatValue(const QVariant& value) {
    const QVariant v = conv::isNull(value) ? QVariant(QStringLiteral("0")) : value;
    double x = 0;
    if (!numericValue(v, x)) return v.toString();
    if (x == 0) return formatPattern(0, "0.0");
    if (x == std::floor(x)) return formatPattern(x, "#0.0");
    const int decimals = FormatValueDecimals(std::fabs(x));
    if (decimals < 0) return formatScientific(x);
    // One decimal at least, where any is allowed.
    const std::string pattern = decimals == 0 ? "0" : "0.0" + std::string(size_t(decimals - 1), '#');
    return formatPattern(x, pattern.c_str());
}

int FormatValueDecimals(double a) {
    if (a < 0.000001) return -1;
    if (a < 0.0001) return 8;
    if (a < 0.1) return 6;
    if (a < 10) return 4;
    if (a < 100) return 3;
    if (a < 1000) return 2;
    if (a < 100000) return 1;
    if (a < 1000000000) return 0;
    return -1;
}

int NumericKeyFilter(int keyCode, MinusKey minus) {
    // The exponent mark and its sign are read under any settings ("1e3", "2.5E+3").
    if (keyCode == 13 || keyCode == 8 || keyCode == '.' || keyCode == ',' || keyCode == 'e' ||
        keyCode == 'E' || keyCode == '+' || (keyCode >= '0' && keyCode <= '9'))
        return keyCode;
    const QString minusSign = QLocale().negativeSign();
    if (keyCode == '-' || (minusSign.size() == 1 && keyCode == minusSign.at(0).unicode()))
        return minus == MinusKey::Allowed ? keyCode : 0;
    // A group separator the reader takes under these settings ("1 500" under French ones).
    if (keyCode > 0 && keyCode <= 0xFFFF &&
        ReadNumberText(QStringLiteral("1") + QChar(keyCode) + QStringLiteral("000")) == 1000.0)
        return keyCode;
    return 0;
}

qint16 ToIntegerOrZero(const QString& text) {
    const std::optional<double> x = ReadNumberText(text);
    return x ? conv::roundToInt16(*x) : qint16(0);
}

bool IsBlankText(const QString& text) {
    return text.isEmpty() || text.at(0) == ' ';
}

bool IsNumericText(const QString& text) {
    return ReadNumberText(text).has_value();
}

char* WriteGeneralNumber(char* t, double value, char decimal) {
    if (value == 0) { // no "-0"
        *t++ = '0';
        return t;
    }
    if (!std::isfinite(value)) {
        const char* s = std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
        const size_t n = std::strlen(s);
        std::memcpy(t, s, n);
        return t + n;
    }
    const bool negative = value < 0;
    const SignificantDigits s = digitsOf(negative ? -value : value);
    char digits[16];
    const auto high = unsigned(s.digits / 100000000); // 7 digits
    auto low = unsigned(s.digits % 100000000);        // 8 digits
    digits[0] = char('0' + high / 1000000);
    twoDigitsOf(digits + 1, high / 10000 % 100);
    twoDigitsOf(digits + 3, high / 100 % 100);
    twoDigitsOf(digits + 5, high % 100);
    for (int i = 13; i >= 7; i -= 2, low /= 100)
        twoDigitsOf(digits + i, low % 100);
    int nd = 15;
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    const int exponent = s.exponent;
    if (negative) *t++ = '-';
    if (exponent < -4 || exponent >= 15) {
        *t++ = digits[0];
        if (nd > 1) {
            *t++ = decimal;
            for (int i = 1; i < nd; ++i)
                *t++ = digits[i];
        }
        *t++ = 'E';
        *t++ = exponent < 0 ? '-' : '+';
        const int e = std::abs(exponent);
        if (e >= 100) *t++ = char('0' + e / 100);
        *t++ = char('0' + e / 10 % 10);
        *t++ = char('0' + e % 10);
    } else if (exponent < 0) {
        *t++ = '0';
        *t++ = decimal;
        for (int i = 0; i < -exponent - 1; ++i)
            *t++ = '0';
        for (int i = 0; i < nd; ++i)
            *t++ = digits[i];
    } else {
        const int intDigits = exponent + 1;
        for (int i = 0; i < intDigits; ++i)
            *t++ = i < nd ? digits[i] : '0';
        if (nd > intDigits) {
            *t++ = decimal;
            for (int i = intDigits; i < nd; ++i)
                *t++ = digits[i];
        }
    }
    return t;
}

QString GeneralNumber(double value) {
    // The run time's form: plain digits and minus, "E" for the exponent, no thousands
    // separator; only the decimal separator is the locale's.
    char text[32];
    const char* end = WriteGeneralNumber(text, value, '.');
    QString s = QString::fromLatin1(text, end - text);
    const QString point = decimalPoint();
    if (point != QLatin1String(".")) s.replace(QChar('.'), point);
    return s;
}

} // namespace hv
