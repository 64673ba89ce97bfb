#pragma once
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <array>
#include <cstdint>

namespace hv {

// 10^0 to 10^22, the powers of ten a double holds exactly.
inline constexpr std::array<double, 23> ExactPow10 = [] {
    std::array<double, 23> t{};
    t[0] = 1;
    for (size_t i = 1; i < t.size(); ++i)
        t[i] = t[i - 1] * 10;
    return t;
}();

// Formats by magnitude (decimals chosen by size). A Null (invalid or null variant) is
// shown as "0" formatted; a text that is not numeric comes back unchanged.
QString FormatValue(const QVariant& value);
// The most decimals FormatValue shows of a number of that magnitude that is not whole; -1
// where it shows it in scientific notation (three significant digits).
int FormatValueDecimals(double magnitude);

// The 15 significant digits of a finite value above 0, rounded from its exact binary value
// (an exact half away from zero, as the general number form rounds): the value is
// digits x 10^(exponent - 14), 10^14 <= digits < 10^15. Every number text is made from these.
struct SignificantDigits {
    uint64_t digits = 0;
    int exponent = 0;
};
SignificantDigits Significant15(double a);

// Key filter of numeric entry boxes: Enter, Backspace, the digits, both decimal marks, the
// exponent mark with its plus, and the group separators the one reader takes under the settings
// pass, so that the reader judges what was typed; the minus only where the box may hold a
// negative value. Other keys give 0.
enum class MinusKey { Refused, Allowed };
int NumericKeyFilter(int keyCode, MinusKey minus = MinusKey::Refused);

// A number text (the one reader's) to a 16-bit integer (halves to even); other text gives 0.
// A number outside the range is DbError 6 (overflow).
qint16 ToIntegerOrZero(const QString& text);
bool IsBlankText(const QString& text);

// Whether the one number reader reads the text.
bool IsNumericText(const QString& text);
// The "general number" form of a Double in the locale (no thousands separator).
QString GeneralNumber(double value);
// The general number form with the given decimal mark: up to 15 significant digits, "E"
// exponents below 1E-04 and from 1E+15. Writes at most 32 bytes at out; returns the end.
char* WriteGeneralNumber(char* out, double value, char decimal);

} // namespace hv
