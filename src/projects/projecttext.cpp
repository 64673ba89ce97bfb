#include "projects/projecttext.h"

#include <QLocale>
#include <QStringList>
#include <QVariant>
#include <limits>

#include "core/numbers.h"
#include "core/typedinput.h"

namespace hv {

namespace {

const char* const DataCaptions[27] = {
    "Reference Date and Time",
    "Reference Permeate Flow (System / Bank 1)",
    "Reference Concentrate Flow (System)",
    "Reference Feed Pressure (System)",
    "Reference Concentrate Pressure (System)",
    "Ref Permeate BackPressure  (System / Bank 1)",
    "Reference Feed uSiemens",
    "Reference Permeate uSiemens",
    "Reference pH",
    "Reference Temperature",
    "Reference Bank 2 Permeate Flow",
    "Reference Bank 2 Permeate uSiemens",
    "Reference Bank 2 Feed Pressure",
    "Reference Bank 2 Permeate Back Pressure",
    "System Permeate Flow",
    "Permeate Flow Bank  1",
    "Feed Flow",
    "Concentrate Flow Bank 1 / Feed Flow Bank 2",
    "System Recovery",
    "System DP",
    "Estimated Rejection (%)",
    "Reference Bank 1 Concentrate Pressure",
    "Reference Bank 3 Permeate Flow",
    "Reference Bank 3 Permeate uSiemens",
    "Reference Bank 3 Feed Pressure",
    "Reference Bank 3 Permeate Back Pressure",
    "Reference Bank 2 Concentrate Pressure",
};

} // namespace

std::optional<double> BoxValue(const QString& text, const std::optional<HeldNumber>& held) {
    if (held && held->text == text) return held->value;
    if (text.trimmed().isEmpty()) return 0.0;
    return ReadPercentText(text);
}

std::optional<double> DataBoxValue(const ProjectBoxes& b, int i) {
    return BoxValue(b.txtData[size_t(i)], b.dataHeld[size_t(i)]);
}

std::optional<double> GridBoxValue(const ProjectBoxes& b, int index) {
    return BoxValue(b.field(index), b.fieldHeld(index));
}

std::optional<double> ElapsedTimeValue(const ProjectBoxes& b) {
    return BoxValue(b.txtElapsedTime, b.elapsedHeld);
}

void ShowDataNumber(ProjectBoxes& b, int i, double value) {
    b.txtData[size_t(i)] = ValueText(value);
    b.dataHeld[size_t(i)] = HeldNumber{b.txtData[size_t(i)], value};
}

void ShowGridNumber(ProjectBoxes& b, int index, double value, const QString& text) {
    b.field(index) = text;
    b.fieldHeld(index) = HeldNumber{text, value};
}

void ShowElapsedTime(ProjectBoxes& b, double value) {
    b.txtElapsedTime = ValueText(value);
    b.elapsedHeld = HeldNumber{b.txtElapsedTime, value};
}

QString DataBoxCaption(int i) {
    return i >= 0 && i < 27 ? QString::fromLatin1(DataCaptions[i]) : QString();
}

QString GridBoxCaption(int index) {
    static const char* const rows[5] = {"Number of Elements", "Area (m^2)", "Flux", "Number of Vessels",
                                        "Elements per Vessel"};
    static const char* const columns[4] = {"Sys", "B 1", "B 2", "B 3"};
    const int row = index / 100 - 1, column = index % 100;
    if (row < 0 || row > 4 || column > 3) return {};
    return QString::fromLatin1(rows[row]) + ", " + QString::fromLatin1(columns[column]);
}

QString ElapsedTimeCaption() {
    return QStringLiteral("Hours Elapsed Time");
}

std::optional<int> CountBoxValue(const QString& text, int least) {
    return ReadWholeNumberText(text, least, MaxCount);
}

QString TrainBoxText(const QString& text) {
    if (text.trimmed().isEmpty() || ReadWholeNumberText(text, std::numeric_limits<int>::min(), 0))
        return QStringLiteral("1");
    return text;
}

QString NumTrainsCaption() {
    return QStringLiteral("Number of Trains");
}

QString TrainNumberCaption() {
    return QStringLiteral("Train Number");
}

QString ValueText(double value) {
    QString text = FormatValue(QVariant(value));
    // Grouped as the computer groups digits, as the hour fields show them; the box holds the
    // number itself, so the text is never read back as the value.
    const QLocale locale;
    if (locale.numberOptions().testFlag(QLocale::OmitGroupSeparator) || text.contains(QLatin1Char('E')))
        return text;
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    qsizetype end = start;
    while (end < text.size() && text[end].isDigit())
        ++end;
    for (qsizetype at = end - 3; at > start; at -= 3)
        text.insert(at, locale.groupSeparator());
    return text;
}

QDateTime ZeroDate() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

} // namespace hv
