#include <QtTest>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "core/numbers.h"
#include "core/typedinput.h"
#include "core/ui/keyfilter.h"
#include "platform/dberror.h"

using namespace hv;

namespace {

// Texts are written here with a point; this puts in the current locale's separator.
QString loc(QString s) {
    return s.replace('.', QLocale().decimalPoint());
}

const char* const Locales[] = {"C", "en_US", "de_DE", "sv_SE"};

void addLocaleColumn() {
    QTest::addColumn<QString>("locale");
}

void useLocale(const QString& name) {
    QLocale::setDefault(name == "C" ? QLocale::c() : QLocale(name));
}

// A box whose keys, pasted text included, go through the key filter as an entry box's do.
class FilteredBox : public QObject {
public:
    explicit FilteredBox(MinusKey minus) : minus_(minus) { box.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        return filterBoxInput(&box, event, [this](int& key) { key = NumericKeyFilter(key, minus_); });
    }
    QLineEdit box;

private:
    MinusKey minus_;
};

} // namespace

class TestNumbers : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void formatValue_data() {
        addLocaleColumn();
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("localizeInput");
        QTest::addColumn<QString>("expected");
        struct Row {
            const char* name;
            QVariant value;
            bool localize;
            const char* expected;
        };
        const Row rows[] = {
            {"whole", 12.0, false, "12.0"},
            {"negative whole", -3, false, "-3.0"},
            {"zero", 0.0, false, "0.0"},
            {"null", QVariant(), false, "0.0"},
            {"text", QString("abc"), false, "abc"},
            {"empty text", QString(""), false, ""},
            {"numeric text", QString("12.5"), true, "12.5"},
            {"below ten", 3.14159, false, "3.1416"},
            {"below a tenth", 0.05, false, "0.05"},
            {"below a hundredth", 0.00123456789, false, "0.001235"},
            {"below 1e-4", 0.000012345678, false, "0.00001235"},
            {"at 1e-6", 0.000001, false, "0.000001"},
            {"below a hundred", 56.78912, false, "56.789"},
            {"below a thousand", 567.891, false, "567.89"},
            {"half away from zero", -567.895, false, "-567.9"},
            {"below 1e5", 1234.56, false, "1234.6"},
            {"carry into a new digit", 99999.96, false, "100000.0"},
            {"millions", 3456789.7, false, "3456790"},
            {"tiny", 0.0000001234, false, "1.23E-07"},
            {"tiny negative", -0.0000001234, false, "-1.23E-07"},
            {"tiny carry", 0.0000009996, false, "1.00E-06"},
            {"huge with fraction", 4567891234.5, false, "4.57E+09"},
            {"huge whole", 5000000000.0, false, "5000000000.0"},
            {"whole, a half at the 16th digit", 1000000000000005.0, false, "1000000000000010.0"},
        };
        for (const char* l : Locales)
            for (const Row& r : rows)
                QTest::addRow("%s %s", l, r.name)
                    << QString(l) << r.value << r.localize << QString(r.expected);
    }

    void formatValue() {
        QFETCH(QString, locale);
        QFETCH(QVariant, value);
        QFETCH(bool, localizeInput);
        QFETCH(QString, expected);
        useLocale(locale);
        if (localizeInput) value = loc(value.toString());
        const bool isText = value.typeId() == QMetaType::QString && !localizeInput;
        QCOMPARE(FormatValue(value), isText ? expected : loc(expected));
    }

    // Every number text comes from these digits: compared with all the exact decimal digits of
    // readings, short decimals, whole numbers, any bit pattern (subnormals too), exact halves at
    // the 16th digit (away from zero) and the bounds of the fast path.
    void significantDigits() {
        auto exact = [](double a) {
            char all[800];
            char* end = std::to_chars(all, all + sizeof all - 1, a, std::chars_format::scientific, 780).ptr;
            *end = 0;
            std::string digits;
            const char* p = all;
            for (; p < end && *p != 'e'; ++p)
                if (*p != '.') digits += *p;
            SignificantDigits s{std::stoull(digits.substr(0, 15)), std::atoi(p + 1)};
            if (digits[15] >= '5' && ++s.digits == 1000000000000000ULL) {
                s.digits = 100000000000000ULL;
                ++s.exponent;
            }
            return s;
        };
        QRandomGenerator rng(17);
        auto reading = [&] { return rng.generateDouble() * std::pow(10.0, rng.bounded(-12, 20)); };
        auto shortDecimal = [&] {
            return double(rng.bounded(1, 2000000)) / std::pow(10.0, rng.bounded(0, 7));
        };
        auto whole = [&] { return double(qint64(rng.generate64() >> rng.bounded(10, 64))); };
        auto anyBits = [&] {
            const quint64 bits = rng.generate64() >> 1;
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        };
        auto exactHalf = [&] {
            // m * 2^-q is m * 5^q / 10^q exactly: 16 digits ending in 5 for odd m in range.
            const int q = rng.bounded(1, 16);
            const double p5 = std::pow(5.0, q);
            const double lo = std::ceil(1e15 / p5), hi = std::min(std::floor(1e16 / p5), 9007199254740991.0);
            double m = std::floor(lo + rng.generateDouble() * (hi - lo));
            if (std::fmod(m, 2) == 0) m += m + 1 <= hi ? 1 : -1;
            return std::ldexp(m, -q);
        };
        auto nearBound = [&] {
            static const double bounds[] = {1e-8, 4503599627370496.0, 1e15, 1e-5, DBL_MIN, 5e-324, DBL_MAX};
            double v = bounds[rng.bounded(int(std::size(bounds)))];
            for (int steps = rng.bounded(0, 20); steps > 0; --steps)
                v = std::nextafter(v, rng.bounded(2) ? 0.0 : INFINITY);
            return v;
        };
        const std::function<double()> kinds[] = {reading, shortDecimal, whole, anyBits, exactHalf, nearBound};
        for (const auto& next : kinds)
            for (int i = 0; i < 20000; ++i) {
                const double a = next();
                if (!(a > 0) || !std::isfinite(a)) continue;
                const SignificantDigits got = Significant15(a), want = exact(a);
                if (got.digits != want.digits || got.exponent != want.exponent)
                    QFAIL(qPrintable(QStringLiteral("%1: %2e%3, not %4e%5")
                                         .arg(a, 0, 'g', 17)
                                         .arg(got.digits)
                                         .arg(got.exponent)
                                         .arg(want.digits)
                                         .arg(want.exponent)));
            }
    }

    void generalNumber_data() {
        addLocaleColumn();
        for (const char* l : Locales)
            QTest::newRow(l) << QString(l);
    }
    void generalNumber() {
        QFETCH(QString, locale);
        useLocale(locale);
        QCOMPARE(GeneralNumber(0.5), loc("0.5"));
        QCOMPARE(GeneralNumber(1.0 / 3.0), loc("0.333333333333333"));
        QCOMPARE(GeneralNumber(1234567.25), loc("1234567.25")); // no thousands separator
        QCOMPARE(GeneralNumber(-42), QString("-42"));
        QCOMPARE(GeneralNumber(-0.0), QString("0"));
        QCOMPARE(GeneralNumber(0.00001), QString("1E-05"));
        QCOMPARE(GeneralNumber(2.5e20), loc("2.5E+20"));
        QCOMPARE(GeneralNumber(5e-324), loc("4.94065645841247E-324")); // all 15 digits of a subnormal
        // What is written reads back.
        for (double x : {0.1, 1.0 / 3.0, 123456.789, -7.25e-9, 2.5e20})
            QCOMPARE(ReadNumberText(GeneralNumber(x)).value(), x);
    }

    void numericText_data() { generalNumber_data(); }
    void numericText() {
        QFETCH(QString, locale);
        useLocale(locale);
        QVERIFY(IsNumericText(loc("12.5")));
        QVERIFY(IsNumericText(" -3 "));
        QVERIFY(IsNumericText("1e3"));
        QVERIFY(!IsNumericText(""));
        QVERIFY(!IsNumericText("abc"));
        QVERIFY(!IsNumericText("12a"));
        QVERIFY(!IsNumericText("inf"));
        QVERIFY(!IsNumericText("nan"));
    }

    // Both decimal marks and the settings' group separator reach the box, for the reader to judge.
    void numericKeyFilter_data() {
        generalNumber_data();
        QTest::newRow("fr_FR") << "fr_FR";
        QTest::newRow("en_GB") << "en_GB";
        QTest::newRow("de_CH") << "de_CH";
    }
    void numericKeyFilter() {
        QFETCH(QString, locale);
        useLocale(locale);
        for (int k : std::initializer_list<int>{13, 8, '0', '5', '9', '.', ',', 'e', 'E', '+'})
            QCOMPARE(NumericKeyFilter(k), k);
        for (int k : std::initializer_list<int>{'/', ':', 'A', 'x', '*'})
            QCOMPARE(NumericKeyFilter(k), 0);
        // "'" is the Swiss group mark as a keyboard types it, and no mark elsewhere.
        QCOMPARE(NumericKeyFilter('\''), locale == "de_CH" ? int('\'') : 0);
        QCOMPARE(NumericKeyFilter('-'), 0);
        QCOMPARE(NumericKeyFilter('-', MinusKey::Allowed), int('-'));
        const QString group = QLocale().groupSeparator();
        if (locale != "C") QCOMPARE(NumericKeyFilter(group.at(0).unicode()), int(group.at(0).unicode()));
        if (locale == "fr_FR") QCOMPARE(NumericKeyFilter(' '), int(' ')); // French settings group by blanks
        if (locale == "C" || locale == "en_GB") QCOMPARE(NumericKeyFilter(' '), 0);
    }

    // The one reader, whatever road a text comes by: a group mark counts only where a
    // well-grouped number has it; otherwise the text is the plain form or no number.
    void readNumberText_data() {
        addLocaleColumn();
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value"); // invalid: refused
        const QVariant refused;
        for (const char* l : {"C", "en_GB", "en_US", "de_DE", "de_CH", "fr_FR", "sv_SE", "en_IN"})
            QTest::addRow("0.5, %s", l) << QString(l) << "0.5" << QVariant(0.5);
        const struct {
            const char* locale;
            const char* text;
            QVariant value;
        } rows[] = {
            {"en_GB", "0,450", refused},
            {"C", "0,450", refused},
            {"en_GB", "00,125", refused},
            {"en_GB", "1,58", refused},
            {"en_GB", "1,580,5", refused},
            {"en_GB", "1'580", refused},
            {"en_GB", "1,580", 1580.0},
            {"en_GB", "1,580e3", 1580000.0},
            {"en_US", "12,345,678.5", 12345678.5},
            {"de_DE", "0.450", 0.45},
            {"de_DE", "0,450", 0.45},
            {"de_DE", "1.580", 1580.0},
            {"de_DE", "1.234.567,5", 1234567.5},
            {"de_CH", "1\u2019580", 1580.0},
            {"de_CH", "1'580", 1580.0},
            {"de_CH", "12'345'678.5", 12345678.5},
            {"de_CH", "0'450", refused},
            {"fr_FR", "1 580,5", 1580.5},
            {"fr_FR", "0 450", refused},
            {"en_IN", "12,34,567.5", 1234567.5},
            {"en_IN", "1,234,567", refused},
        };
        for (const auto& r : rows)
            QTest::addRow("%s, %s", r.text, r.locale) << QString(r.locale) << QString(r.text) << r.value;
    }
    void readNumberText() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        useLocale(locale);
        const std::optional<double> x = ReadNumberText(text);
        QCOMPARE(x ? QVariant(*x) : QVariant(), value);
    }

    // What is typed key by key into a box reaches the reader as typed wherever the reader
    // takes it: the exponent mark, a minus where the box may hold one, the Swiss "'".
    void typedKeyByKey_data() {
        addLocaleColumn();
        QTest::addColumn<bool>("minusAllowed");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QVariant>("value"); // invalid: refused
        const QVariant refused;
        const struct {
            const char* locale;
            bool minus;
            const char* typed;
            const char* shown;
            QVariant value;
        } rows[] = {
            {"en_GB", true, "1e3", "1e3", 1000.0},       // the exponent mark
            {"de_DE", true, "1,5e-3", "1,5e-3", 0.0015}, // with its sign
            {"en_GB", true, "-5", "-5", -5.0},           // a box that may hold a negative value
            {"en_GB", false, "-5", "5", 5.0},            // one that may not
            {"de_CH", false, "1'580", "1'580", 1580.0},  // the Swiss group mark as typed
            {"en_GB", false, "0,450", "0,450", refused}, // the reader decides
            {"C", true, "1x2a/3", "123", 123.0},         // other keys are dropped
        };
        for (const auto& r : rows)
            QTest::addRow("%s, %s%s", r.typed, r.locale, r.minus ? ", minus" : "")
                << QString(r.locale) << r.minus << QString(r.typed) << QString(r.shown) << r.value;
    }
    void typedKeyByKey() {
        QFETCH(QString, locale);
        QFETCH(bool, minusAllowed);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QVariant, value);
        useLocale(locale);
        FilteredBox f(minusAllowed ? MinusKey::Allowed : MinusKey::Refused);
        QTest::keyClicks(&f.box, typed);
        QCOMPARE(f.box.text(), shown);
        const std::optional<double> x = ReadNumberText(f.box.text());
        QCOMPARE(x ? QVariant(*x) : QVariant(), value);
    }

    void toIntegerOrZero_data() { generalNumber_data(); }
    void toIntegerOrZero() {
        QFETCH(QString, locale);
        useLocale(locale);
        QCOMPARE(ToIntegerOrZero(loc("2.5")), qint16(2));
        QCOMPARE(ToIntegerOrZero(loc("3.5")), qint16(4));
        QCOMPARE(ToIntegerOrZero(loc("-2.5")), qint16(-2));
        QCOMPARE(ToIntegerOrZero(loc("2.6")), qint16(3));
        QCOMPARE(ToIntegerOrZero("32767"), qint16(32767));
        QCOMPARE(ToIntegerOrZero("7.6"), qint16(8)); // the one reader: the plain form under any settings
        QCOMPARE(ToIntegerOrZero("x"), qint16(0));
        QCOMPARE(ToIntegerOrZero(""), qint16(0));
        try {
            ToIntegerOrZero("40000");
            QFAIL("no overflow");
        } catch (const DbError& e) {
            QCOMPARE(e.number(), dberr::Overflow);
        }
    }
};

QTEST_MAIN(TestNumbers)
#include "tst_numbers.moc"
