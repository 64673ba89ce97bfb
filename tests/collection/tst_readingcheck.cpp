#include <QtTest>

#include "collection/readingcheck.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

// The input rows of a reading at the reference state of the plant, in natural order,
// dated one day after the reference date with the previous reading two hours before.
std::array<EntryRow, ItemCount> referenceRows(int banks) {
    const QVariantMap ref = test::projectInfoRow(banks);
    const QStringList fields = ItemFieldList();
    std::array<EntryRow, ItemCount> rows;
    for (int k = 0; k < ItemCount; ++k) {
        EntryRow& r = rows[size_t(k)];
        r.item = k;
        r.caption = fields[k];
        r.required = true;
        QVariant v;
        for (auto it = ref.begin(); it != ref.end(); ++it)
            if (it.key().compare(fields[k], Qt::CaseInsensitive) == 0) v = it.value();
        r.text = r.earlier1 = QString::number(v.toDouble());
    }
    rows[item::TheDate].text = "2020-01-02 00:00";
    rows[item::TheDate].earlier1 = "2020-01-01 22:00";
    rows[item::Temperature].text = "20";
    rows[item::pH].text = "7.2";
    return rows;
}

struct Setup {
    explicit Setup(int banks, int unitTemp = 1) {
        cp().NumBanks = qint16(banks);
        cp().unitTemp = qint16(unitTemp);
        cp().DateReference = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
    }
    ProjectInfoRecord& cp() { return env.prog().CurrentProject; }
    EntryCheck run(std::array<EntryRow, ItemCount>& rows, bool ignoreErrors = false) {
        return CheckReading(cp(), rows, "0", ignoreErrors, 46, values, env.system.clock);
    }
    test::TestEnv env;
    ReadingValues values;
};

} // namespace

class TestReadingCheck : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // The plausibility rules: which messages show, in which order, and which row gets the focus.
    void rules_data() {
        QTest::addColumn<int>("banks");
        QTest::addColumn<int>("unitTemp");
        QTest::addColumn<QVariantMap>("texts"); // item number as text -> entry text
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("focus");
        QTest::addColumn<QStringList>("named"); // boxes and values the message names
        auto row = [](const char* name, int banks, int unitTemp, QVariantMap texts, QStringList messages,
                      int focus, QStringList named = {}) {
            QTest::newRow(name) << banks << unitTemp << texts << messages << focus << named;
        };
        const QString k3 = QString::number(item::FeedPressure), k4 = QString::number(item::ConcPressure);
        row("reference reading, one bank", 1, 1, {}, {}, -1);
        row("reference reading, three banks", 3, 1, {}, {}, -1);
        row("one bank: concentrate equal to feed passes", 1, 1, {{k4, "12"}}, {}, -1);
        row("one bank: back pressure above feed", 1, 1, {{"5", "13"}},
            {"Feed Pressure is <=0 or less than Concentrate Pressure or less than Permeate Back pressure."},
            item::FeedPressure);
        row("one bank: feed below concentrate is one mistake, one message", 1, 1, {{k3, "9"}},
            {"Feed Pressure is <=0 or less than Concentrate Pressure"}, item::FeedPressure,
            {"FeedPressure = 9", "ConcPressure = 10.5"});
        row("two banks: concentrate above bank-2 feed, one message", 2, 1, {{k4, "60"}, {"12", "55"}},
            {"Conc Pressure is above the feed Pressure to bank 2"}, item::FeedPressure,
            {"ConcPressure = 60", "FeedPressure_2 = 55"});
        row("one bank: concentrate at 0", 1, 1, {{k4, "0"}}, {"Conc Pressure is <=0"}, item::FeedPressure,
            {"ConcPressure = 0"});
        row("two banks: concentrate above bank-2 feed is not <= 0", 2, 1, {{k4, "11"}},
            {"Conc Pressure is above the feed Pressure to bank 2"}, item::FeedPressure,
            {"ConcPressure = 11", "FeedPressure_2 = 10.8"});
        row("three banks: concentrate above bank-3 feed is not <= 0", 3, 1, {{k4, "11.5"}},
            {"Conc Pressure is above the feed Pressure to bank 3"}, item::FeedPressure,
            {"ConcPressure = 11.5", "FeedPressure_3 = 11.2"});
        row("two banks: no bank-2 permeate", 2, 1, {{"10", "0"}}, {"PermFlow for Bank 2 is <=0"},
            item::PermFlow_2);
        row("three banks: zero bank-3 flow and no bank-2 rule", 3, 1, {{"20", "0"}, {"10", "0"}, {"12", "0"}},
            {}, -1);
        row("three banks: negative bank-3 flow", 3, 1, {{"20", "-1"}}, {"PermFlow 3 is less than 0 (<0)."},
            item::PermFlow_3);
        row("32 F fails", 1, 0, {{"8", "32"}}, {"Temperature is <= 32F"}, item::Temperature);
        row("32 C passes", 1, 1, {{"8", "32"}}, {}, -1);
        row("first common failure ends the checks", 1, 1, {{"1", "0"}, {"2", "0"}}, {"Perm Flow is <=0"},
            item::PermFlow);
        row("a text that is no number is refused by name", 1, 1, {{"1", "0"}, {"2", "x"}},
            {"ConcFlow holds \"x\", which is not a number. Data was not saved."}, item::ConcFlow);
        row("two decimal points are no number", 1, 1, {{"1", "12.3.4"}},
            {"PermFlow holds \"12.3.4\", which is not a number."}, item::PermFlow);
        row("90 minutes ahead passes", 1, 1, {{"0", "2026-01-15 12:00"}}, {}, -1);
        row("91 minutes ahead fails", 1, 1, {{"0", "2026-01-15 12:01"}},
            {"Either the computer system date is incorrect. 2026-01-15 10:30 or you have entered a date in "
             "the "
             "future."},
            item::TheDate);
        row("no date: no other rule runs", 1, 1, {{"0", "tomorrow"}, {"1", "0"}},
            {"Cannot save data without a valid Date and Time! Data will not be saved."}, 0);
    }
    void rules() {
        QFETCH(int, banks);
        QFETCH(int, unitTemp);
        QFETCH(QVariantMap, texts);
        QFETCH(QStringList, messages);
        QFETCH(int, focus);
        QFETCH(QStringList, named);
        Setup s(banks, unitTemp);
        auto rows = referenceRows(banks);
        for (auto it = texts.begin(); it != texts.end(); ++it)
            rows[size_t(it.key().toInt())].text = it.value().toString();
        const EntryCheck res = s.run(rows);
        QCOMPARE(res.messages.size(), messages.size());
        for (int i = 0; i < messages.size(); ++i)
            QVERIFY2(res.messages[i].startsWith(messages[i]), qPrintable(res.messages[i]));
        for (const QString& n : named)
            QVERIFY2(res.messages.value(0).contains("\r\n" + n), qPrintable(res.messages.value(0)));
        QCOMPARE(res.passed(), focus == -1);
        QCOMPARE(res.focusRow, focus);
        if (focus == -1 && !texts.contains("0")) {
            QCOMPARE(s.values.ElapsedTimeHrs, 24.0);
            QCOMPARE(res.elapsedCaption.value_or("?"), QString("24.00"));
        }
    }

    // Required rows: a kept row takes its previous reading; otherwise the first empty one fails.
    void requiredRows_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("earlier1");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("focus");
        QTest::addColumn<QString>("text"); // the row's text afterwards
        QTest::addColumn<QString>("entered");
        const auto row = [](const char* name, int row, const char* earlier1, bool keep, bool shown, int focus,
                            const char* text, const char* entered = "") {
            QTest::newRow(name) << row << earlier1 << keep << shown << focus << text << entered;
        };
        row("kept row takes a numeric previous value", 2, "21.5", true, true, -1, "21.5");
        row("previous value not numeric", 2, "No Data", true, true, 2, "");
        row("not kept", 2, "21.5", false, true, 2, "");
        row("the first row is never filled", 0, "2020-01-01 22:00", true, true, 0, "");
        row("hidden required box", 16, "1", false, false, -1, "");
        // A placeholder is no value: missing, not a value of 0 that a later rule refuses.
        row("N/A in a required row", 6, "21.5", false, true, 6, "N/A", "N/A");
        row("No Data in a required row", 8, "20", false, true, 8, "No Data", "No Data");
        row("No Data in a kept row", 2, "21.5", true, true, -1, "21.5", "No Data");
    }
    void requiredRows() {
        QFETCH(int, row);
        QFETCH(QString, earlier1);
        QFETCH(bool, keep);
        QFETCH(bool, shown);
        QFETCH(int, focus);
        QFETCH(QString, text);
        QFETCH(QString, entered);
        Setup s(1, 0);
        auto rows = referenceRows(1);
        rows[item::Temperature].text = "68";
        EntryRow& r = rows[size_t(row)];
        r.text = entered;
        r.earlier1 = earlier1;
        r.keep = keep;
        r.required = shown;
        const EntryCheck res = s.run(rows);
        QCOMPARE(res.focusRow, focus);
        QCOMPARE(r.text, text);
        QCOMPARE(res.passed(), focus == -1);
        if (focus >= 0)
            QCOMPARE(res.missingRow, focus);
        else
            QCOMPARE(s.values[item::ConcFlow], row == 2 ? 21.5 : 20.0);
    }

    // An order showing an item twice (so another in none) is refused in both modes, naming
    // the item; ignore mode stores a failed rule raw, 32 F raw with its message, never a bad date.
    void outcomes_data() {
        QTest::addColumn<QVariantMap>("items"); // row -> item it shows
        QTest::addColumn<QVariantMap>("texts"); // row -> entry text
        QTest::addColumn<bool>("ignore");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message"); // the first, empty for none
        QTest::addColumn<int>("focus");
        const int store = EntryCheck::Store, raw = EntryCheck::StoreRaw, refuse = EntryCheck::Refuse;
        const QString twice = "\"%1\" is chosen in more than one input row. The reading was not saved.";
        QTest::newRow("ConcFlow in two rows, PermFlow in none")
            << QVariantMap{{"1", 2}} << QVariantMap{} << false << refuse << twice.arg("ConcFlow") << 2;
        QTest::newRow("no date row") << QVariantMap{{"0", 1}} << QVariantMap{} << false << refuse
                                     << twice.arg("PermFlow") << 1;
        QTest::newRow("no date row, ignore mode")
            << QVariantMap{{"0", 1}} << QVariantMap{} << true << refuse << twice.arg("PermFlow") << 1;
        QTest::newRow("bad date, ignore mode")
            << QVariantMap{} << QVariantMap{{"0", "soon"}} << true << refuse << "Cannot save data" << 0;
        QTest::newRow("failed rule, ignore mode: raw without a word")
            << QVariantMap{} << QVariantMap{{"1", "0"}} << true << raw << "" << 1;
        QTest::newRow("missing value, ignore mode: raw")
            << QVariantMap{} << QVariantMap{{"2", ""}} << true << raw << "" << 2;
        QTest::newRow("32 F in ignore mode: raw, with its message")
            << QVariantMap{} << QVariantMap{{"8", "30"}} << true << raw << "Temperature is <= 32F" << 8;
        QTest::newRow("32 F refused in normal mode")
            << QVariantMap{} << QVariantMap{{"8", "30"}} << false << refuse << "Temperature is <= 32F" << 8;
        QTest::newRow("pH row showing Temperature: nothing stored in ignore mode either")
            << QVariantMap{{"9", 8}} << QVariantMap{{"9", "21"}} << true << refuse << twice.arg("Temperature")
            << 9;
        QTest::newRow("reference reading") << QVariantMap{} << QVariantMap{} << false << store << "" << -1;
    }
    void outcomes() {
        QFETCH(QVariantMap, items);
        QFETCH(QVariantMap, texts);
        QFETCH(bool, ignore);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(int, focus);
        Setup s(1, 0);
        auto rows = referenceRows(1);
        rows[item::Temperature].text = "68";
        for (auto it = items.begin(); it != items.end(); ++it) {
            rows[size_t(it.key().toInt())].item = it.value().toInt();
            rows[size_t(it.key().toInt())].caption = ItemFieldList()[it.value().toInt()];
        }
        for (auto it = texts.begin(); it != texts.end(); ++it)
            rows[size_t(it.key().toInt())].text = it.value().toString();
        const EntryCheck res = s.run(rows, ignore);
        QCOMPARE(int(res.outcome), outcome);
        QCOMPARE(res.messages.value(0).left(message.size()), message);
        QCOMPARE(res.focusRow, focus);
        QCOMPARE(res.messages.size(), message.isEmpty() ? 0 : 1);
    }

    // Dates in the computer's own short or long form first, then ISO; a form the settings
    // read one way is never read the other way round; two-digit years in 1930-2029.
    void entryDates_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("date"); // ISO; empty: not a date
        QTest::newRow("UK day first") << "en_GB"
                                      << "01/02/2020 02:00"
                                      << "2020-02-01T02:00:00";
        QTest::newRow("UK 13th") << "en_GB"
                                 << "13/02/2020 02:15"
                                 << "2020-02-13T02:15:00";
        QTest::newRow("UK single digits, seconds") << "en_GB"
                                                   << "2/3/2020 9:30:15"
                                                   << "2020-03-02T09:30:15";
        QTest::newRow("UK month 13 is no date") << "en_GB"
                                                << "02/13/2020 02:15"
                                                << "";
        QTest::newRow("UK long form") << "en_GB"
                                      << "Sunday, 2 February 2020 08:00"
                                      << "2020-02-02T08:00:00";
        QTest::newRow("German two-digit year") << "de_DE"
                                               << "02.03.20 09:30"
                                               << "2020-03-02T09:30:00";
        QTest::newRow("German four-digit year") << "de_DE"
                                                << "01.02.2020 02:00"
                                                << "2020-02-01T02:00:00";
        QTest::newRow("German 29 is 2029") << "de_DE"
                                           << "31.12.29 23:59"
                                           << "2029-12-31T23:59:00";
        QTest::newRow("German 30 is 1930") << "de_DE"
                                           << "01.01.30"
                                           << "1930-01-01T00:00:00";
        QTest::newRow("US month first") << "en_US"
                                        << "01/02/2020 02:00"
                                        << "2020-01-02T02:00:00";
        QTest::newRow("US own short form") << "en_US"
                                           << "1/2/20 2:00 PM"
                                           << "2020-01-02T14:00:00";
        QTest::newRow("US day 13 is no date") << "en_US"
                                              << "13/02/2020 02:15"
                                              << "";
        for (const char* locale : {"C", "en_GB", "de_DE", "en_US"}) {
            QTest::addRow("ISO, %s", locale) << locale << "2020-02-01 02:00"
                                             << "2020-02-01T02:00:00";
            QTest::addRow("ISO with seconds, %s", locale) << locale << "2020-02-01 02:00:30"
                                                          << "2020-02-01T02:00:30";
            QTest::addRow("regional with seconds, %s", locale)
                << locale << QLocale(locale).toString(QDate(2026, 11, 1), QLocale::ShortFormat) + " 08:00:30"
                << "2026-11-01T08:00:30";
        }
        QTest::newRow("no date") << "C"
                                 << "tomorrow"
                                 << "";
    }
    void entryDates() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QString, date);
        QLocale::setDefault(QLocale(locale));
        const std::optional<QDateTime> d = ParseEntryDate(text);
        QCOMPARE(d ? d->toString(Qt::ISODate) : QString(), date);
    }

    // One reader for every number of a reading: the regional form, then the plain form
    // with a point; nothing is stripped, and a text neither form reads is no number.
    void itemValues_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value"); // invalid: refused
        for (const char* locale : {"C", "de_DE"}) {
            const bool comma = QString(locale) == "de_DE";
            QTest::addRow("1.5E+3, %s", locale)
                << locale << (comma ? "1,5E+3" : "1.5E+3") << QVariant(1500.0);
            QTest::addRow("point exponent, %s", locale) << locale << "1.5E+3" << QVariant(1500.0);
            QTest::addRow("small, %s", locale)
                << locale << (comma ? "-2,5e-3" : "-2.5e-3") << QVariant(-0.0025);
            QTest::addRow("1e308, %s", locale) << locale << " 1e308 " << QVariant(1e308);
            QTest::addRow("1e400, %s", locale) << locale << "1e400" << QVariant();
            QTest::addRow("units, %s", locale) << locale << (comma ? "12,5 bar" : "12.5 bar") << QVariant();
            QTest::addRow("no number, %s", locale) << locale << "n/a" << QVariant();
            QTest::addRow("hex, %s", locale) << locale << "0x10" << QVariant();
            QTest::addRow("two signs, %s", locale) << locale << "+-5" << QVariant();
            QTest::addRow("two points, %s", locale) << locale << "12.3.4" << QVariant();
        }
        QTest::newRow("comma under English settings") << "en_GB"
                                                      << "7,3" << QVariant();
        QTest::newRow("misgrouped under English settings") << "en_US"
                                                           << "221,5" << QVariant();
        QTest::newRow("grouped under English settings") << "en_US"
                                                        << "1,234.5" << QVariant(1234.5);
        QTest::newRow("grouped under German settings") << "de_DE"
                                                       << "2.775" << QVariant(2775.0);
        QTest::newRow("point under German settings") << "de_DE"
                                                     << "290.5" << QVariant(290.5);
        QTest::newRow("abc") << "en_GB"
                             << "abc" << QVariant();
        // Where a percentage may be typed, "%" makes the number a fraction.
        QTest::newRow("percent") << "de_DE"
                                 << "12,5 %" << QVariant(0.125);
        QTest::newRow("percent of no number") << "en_GB"
                                              << "abc%" << QVariant();
        QTest::newRow("two percent signs") << "en_GB"
                                           << "5%%" << QVariant();
    }
    void itemValues() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        QLocale::setDefault(QLocale(locale));
        const bool percent = text.endsWith('%');
        const std::optional<double> x = percent ? ReadPercentText(text) : ReadNumberText(text);
        QCOMPARE(x ? QVariant(*x) : QVariant(), value);
        if (percent) return;
        QCOMPARE(ReadNumberField(text).state, x ? NumberField::Number : NumberField::Invalid);
        QCOMPARE(ReadPercentText(text), x);
    }
};

QTEST_MAIN(TestReadingCheck)
#include "tst_readingcheck.moc"
