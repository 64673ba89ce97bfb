#include "core/numbers.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/database.h"

namespace hv {

namespace {

// A non-negative number as decimal digits: value = 0.digits x 10^pointPos.
struct Decimal {
    std::string digits;
    int pointPos = 0;
};

// The run time formats from the 15 significant digits of a Double, so 2.675 shows as
// 2.68 although its binary value lies just below.
Decimal toDecimal(double a) {
    Decimal d;
    if (a == 0) {
        d.digits = "0";
        d.pointPos = 1;
        return d;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.14e", a); // d.dddddddddddddde+xx
    const std::string s(buf);
    const size_t e = s.find('e');
    d.digits = s.substr(0, 1) + s.substr(2, e - 2);
    d.pointPos = std::atoi(s.c_str() + e + 1) + 1;
    return d;
}

// Keeps `keep` leading digits, rounding half away from zero.
void roundDigits(Decimal& d, int keep) {
    if (keep >= int(d.digits.size())) return;
    if (keep < 0) {
        d.digits = "0";
        return;
    }
    const bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (!up) return;
    int i = keep - 1;
    for (; i >= 0; --i) {
        if (d.digits[size_t(i)] == '9') {
            d.digits[size_t(i)] = '0';
        } else {
            ++d.digits[size_t(i)];
            break;
        }
    }
    if (i < 0) {
        d.digits.insert(d.digits.begin(), '1');
        ++d.pointPos;
    }
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

    Decimal d = toDecimal(std::fabs(x));
    roundDigits(d, d.pointPos + maxDec);

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
    Decimal d = toDecimal(std::fabs(x));
    int exponent = 0;
    if (std::fabs(x) != 0) {
        roundDigits(d, 3);
        exponent = d.pointPos - 1;
    }
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
        bool ok = false;
        x = LocaleToDouble(v.toString(), &ok);
        return ok;
    }
    default:
        return false;
    }
}

} // namespace

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

int NumericKeyFilter(int keyCode, int decimalSeparatorCode, bool allowMinus) {
    if (keyCode == 13 || keyCode == 8 || keyCode == decimalSeparatorCode || (keyCode >= 48 && keyCode <= 57))
        return keyCode;
    if (keyCode == 45 && allowMinus) return keyCode;
    return 0;
}

qint16 ToIntegerOrZero(const QString& text) {
    bool ok = false;
    const double x = LocaleToDouble(text, &ok);
    return ok ? conv::roundToInt16(x) : qint16(0);
}

double ParsePercent(const QString& text) {
    if (IsBlankText(text)) return 0;
    if (text.size() == 1 && text == decimalPoint()) return 0;
    const qsizetype percent = text.indexOf('%');
    const QString number = percent >= 0 ? text.left(percent) : text;
    bool ok = false;
    double x = LocaleToDouble(number, &ok);
    if (!ok) x = 0;
    if (percent >= 0) x /= 100;
    return x;
}

QString StripNonNumeric(QString& text, int decimalSeparatorCode) {
    qsizetype start = 0, end = text.size();
    while (start < end && text[start] == ' ')
        ++start;
    while (end > start && text[end - 1] == ' ')
        --end;
    text = text.mid(start, end - start);
    QString out;
    for (const QChar c : text)
        if (NumericKeyFilter(c.unicode(), decimalSeparatorCode, true) != 0) out += c;
    return out;
}

bool IsBlankText(const QString& text) {
    return text.isEmpty() || text.at(0) == ' ';
}

bool IsNumericText(const QString& text) {
    bool ok = false;
    LocaleToDouble(text, &ok);
    return ok;
}

double LocaleToDouble(const QString& text, bool* ok) {
    const QLocale loc;
    bool good = false;
    double x = loc.toDouble(text.trimmed(), &good);
    // Some locales take only a capital exponent mark.
    if (!good) x = loc.toDouble(text.trimmed().toUpper(), &good);
    if (good && !std::isfinite(x)) good = false;
    if (!good) x = 0;
    if (ok) *ok = good;
    return x;
}

QString GeneralNumber(double value) {
    if (value == 0) value = 0; // no "-0"
    // The run time's form: plain digits and minus, "E" for the exponent, no thousands
    // separator; only the decimal separator is the locale's.
    QString s = QString::number(value, 'g', 15);
    s.replace(QChar('e'), QChar('E'));
    s.replace(QChar('.'), decimalPoint());
    return s;
}

} // namespace hv
