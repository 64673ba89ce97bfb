// libFuzzer target for the exchange-file reader: the header, the names and values lines and
// every reading line go through the same reading and conversion the import uses (with the
// blank database's columns). Nothing may crash, and every number read must write back and
// read again to the same value, and the import's whole-file check must take the same lines.
#include <QBuffer>
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "maintenance/exchangefile.h"

using namespace hv;

namespace {

// The blank database's column kinds: the text columns by name, every other one a number.
ExchangeKind standardKind(const QString& column) {
    static const QStringList text = {"ProjectID", "Description", "Notes1", "Country", "Note1"};
    const bool isText = text.contains(column, Qt::CaseInsensitive);
    return ExchangeKindOf(column, isText ? QStringLiteral("TEXT") : QStringLiteral("REAL"));
}

bool columnsOf(const QStringList& names, const QStringList& known, ExchangeColumns& cols) {
    for (const QString& n : names) {
        bool found = false;
        for (const QString& k : known)
            if (k.compare(n, Qt::CaseInsensitive) == 0) found = true;
        if (!found) return false;
        cols.add(n, standardKind(n));
    }
    return true;
}

void checkNumbers(const std::vector<ExchangeValue>& values, bool comma) {
    for (const ExchangeValue& v : values) {
        if (v.type != ExchangeValue::Number) continue;
        QByteArray text;
        AppendExchangeNumber(text, v.number, comma ? ',' : '.');
        double back = 0;
        if (!ParseExchangeNumber(text, comma, back)) std::abort();
        // 15 significant digits
        const double d = back - v.number;
        if ((d < 0 ? -d : d) > 1e-14 * (v.number < 0 ? -v.number : v.number)) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    ExchangeReader reader(in);
    ExchangeHeader h;
    if (!ReadExchangeHeader(reader, h) || h.linesRead < 3) return 0;
    ExchangeColumns project;
    std::vector<ExchangeValue> values;
    QString why;
    if (columnsOf(h.projectNames, ExchangeProjectColumns(), project)) {
        std::vector<QByteArrayView> fields(h.projectFields.begin(), h.projectFields.end());
        if (ConvertExchangeFields(fields, project, h.decimalComma, false, values, &why))
            checkNumbers(values, h.decimalComma);
    }
    if (h.linesRead < 4 || !reader.readLine()) return 0;
    QStringList names;
    for (const QByteArrayView f : reader.split())
        names << DecodeExchangeText(f).trimmed();
    while (!names.isEmpty() && names.last().isEmpty())
        names.removeLast();
    ExchangeColumns readings;
    if (!columnsOf(names, ExchangeDataColumns(true), readings)) return 0;
    while (reader.readLine()) {
        if (reader.lineIsBlank()) break;
        // A line without its end is the file's last: the import refuses it as cut short.
        if (!reader.lineEnded()) {
            if (reader.readLine()) std::abort();
            break;
        }
        const auto& fields = reader.split();
        const bool converted = ConvertExchangeFields(fields, readings, h.decimalComma, false, values, &why);
        // The import's whole-file check must take exactly the lines the import then converts.
        std::vector<ExchangeValue> checked;
        if (ConvertExchangeFields(fields, readings, h.decimalComma, false, checked, nullptr, true) !=
            converted)
            std::abort();
        if (!converted) continue;
        checkNumbers(values, h.decimalComma);
        char date[19];
        if (readings.datePos >= 0 && size_t(readings.datePos) < fields.size())
            ParseExchangeDate(fields[size_t(readings.datePos)], date);
        if (readings.projectIdPos >= 0 && size_t(readings.projectIdPos) < fields.size())
            DecodeExchangeText(fields[size_t(readings.projectIdPos)]);
    }
    return 0;
}
