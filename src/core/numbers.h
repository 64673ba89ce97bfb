#pragma once
#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace hv {

// Formats by magnitude (decimals chosen by size). A Null (invalid or null variant) is
// shown as "0" formatted; a text that is not numeric comes back unchanged.
QString FormatValue(const QVariant& value);
// The most decimals FormatValue shows of a number of that magnitude that is not whole; -1
// where it shows it in scientific notation (three significant digits).
int FormatValueDecimals(double magnitude);

// Key filter of numeric entry boxes: Enter, Backspace, the decimal separator and the
// digits pass; the minus only when allowMinus. Other keys give 0.
int NumericKeyFilter(int keyCode, int decimalSeparatorCode, bool allowMinus = false);

// A numeric text to a 16-bit integer (halves to even); other text gives 0.
// A number outside the range is DbError 6 (overflow).
qint16 ToIntegerOrZero(const QString& text);
double ParsePercent(const QString& text);
// Trims the caller's text in place and returns its numeric characters.
QString StripNonNumeric(QString& text, int decimalSeparatorCode);
bool IsBlankText(const QString& text);

// Numeric test and conversion by the locale's rules (the current default QLocale).
bool IsNumericText(const QString& text);
double LocaleToDouble(const QString& text, bool* ok = nullptr);
// The "general number" form of a Double in the locale (no thousands separator).
QString GeneralNumber(double value);

} // namespace hv
