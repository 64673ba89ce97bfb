// The exchange file format: numbers, fields and texts as the file holds them, and the lines the
// writer makes.
#include <QtTest>

#include "core/datatables.h"
#include "exchangetestsupport.h"

using namespace hv;
using namespace hv::test;

class TestExchangeFile : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void numbersAsTheFileHoldsThem_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("point");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("minus zero") << -0.0 << "0";
        QTest::newRow("decimal") << 12.5 << "12.5";
        QTest::newRow("15 digits") << 0.1 + 0.2 << "0.3";
        QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("small fixed") << 0.0001 << "0.0001";
        QTest::newRow("small exponent") << 0.00001 << "1E-05";
        QTest::newRow("negative exponent") << -2.5e-7 << "-2.5E-07";
        QTest::newRow("large fixed") << 123456789012345.0 << "123456789012345";
        QTest::newRow("large exponent") << 1e15 << "1E+15";
        QTest::newRow("rounded to exponent") << 999999999999999.9 << "1E+15";
    }
    void numbersAsTheFileHoldsThem() {
        QFETCH(double, value);
        QFETCH(QString, point);
        for (const bool comma : {false, true}) {
            QByteArray out;
            AppendExchangeNumber(out, value, comma ? ',' : '.');
            QString want = point;
            if (comma) want.replace('.', ',');
            QCOMPARE(QString::fromLatin1(out), want);
            double back = 0;
            QVERIFY(ParseExchangeNumber(out, comma, back));
            QCOMPARE(back, point.toLatin1().toDouble());
        }
    }

    void fieldsReadAsTheirColumns_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QVariant>("expected"); // invalid: refused; null: Null
        const int num = int(ExchangeKind::Number), boo = int(ExchangeKind::Boolean),
                  dat = int(ExchangeKind::Date);
        QTest::newRow("point") << "12.5" << num << false << QVariant(12.5);
        QTest::newRow("comma") << "12,5" << num << true << QVariant(12.5);
        QTest::newRow("comma in point mode") << "12,5" << num << false << QVariant();
        QTest::newRow("lower exponent") << "1e-05" << num << false << QVariant(1e-5);
        QTest::newRow("blanks around") << " 7 " << num << false << QVariant(7.0);
        QTest::newRow("negative") << "-0.25" << num << false << QVariant(-0.25);
        QTest::newRow("plus") << "+3" << num << false << QVariant(3.0);
        QTest::newRow("plus minus") << "+-5" << num << false << QVariant();
        QTest::newRow("hexadecimal") << "0x10" << num << false << QVariant();
        QTest::newRow("comma exponent") << "1,5E-05" << num << true << QVariant(1.5e-5);
        QTest::newRow("18 digits") << "123456789.123456789" << num << false << QVariant(123456789.123456789);
        QTest::newRow("mark at the end") << "5." << num << false << QVariant(5.0);
        QTest::newRow("two marks") << "1.2.3" << num << false << QVariant();
        QTest::newRow("point in comma mode") << "12.5" << num << true << QVariant();
        QTest::newRow("exponent, three decimals") << "2.345E-05" << num << false << QVariant(2.345e-5);
        QTest::newRow("comma exponent, three decimals") << "2,345E-05" << num << true << QVariant(2.345e-5);
        QTest::newRow("group separator") << "1.234,5" << num << true << QVariant();
        QTest::newRow("too large") << "1e999" << num << false << QVariant();
        QTest::newRow("65 digits") << QString(65, '9') << num << false << QVariant();
        QTest::newRow("minus alone") << "-" << num << false << QVariant();
        QTest::newRow("empty is Null") << "" << num << false << QVariant(QMetaType(QMetaType::Double));
        QTest::newRow("blank is Null") << "  " << num << false << QVariant(QMetaType(QMetaType::Double));
        QTest::newRow("text in number") << "abc" << num << false << QVariant();
        QTest::newRow("infinity") << "inf" << num << false << QVariant();
        QTest::newRow("TRUE in number") << "TRUE" << num << false << QVariant();
        QTest::newRow("FALSE in number") << "false" << num << false << QVariant();
        QTest::newRow("TRUE in Boolean") << "TRUE" << boo << false << QVariant(-1.0);
        QTest::newRow("Wahr in Boolean") << "wAHR" << boo << false << QVariant(-1.0);
        QTest::newRow("Falsch in Boolean") << "Falsch" << boo << false << QVariant(0.0);
        QTest::newRow("Wahr in number") << "Wahr" << num << false << QVariant();
        QTest::newRow("Wahrheit in Boolean") << "Wahrheit" << boo << false << QVariant();
        QTest::newRow("date") << "2013-05-10 23:59:00" << dat << false << QVariant("2013-05-10 23:59:00");
        QTest::newRow("date without seconds")
            << "2013-05-10 23:59" << dat << false << QVariant("2013-05-10 23:59:00");
        QTest::newRow("30 February") << "2013-02-30 10:00:00" << dat << false << QVariant();
        QTest::newRow("T between") << "2013-05-10T00:40:00" << dat << false
                                   << QVariant("2013-05-10 00:40:00");
        QTest::newRow("date alone") << "2013-05-10" << dat << false << QVariant("2013-05-10 00:00:00");
        QTest::newRow("fraction of a second") << "2013-05-10 00:40:00.500" << dat << false << QVariant();
        QTest::newRow("zone Z") << "2013-05-10T00:40:00Z" << dat << false << QVariant();
        QTest::newRow("zone offset") << "2013-05-10 00:40:00+02:00" << dat << false << QVariant();
        QTest::newRow("not a date") << "yesterday" << dat << false << QVariant();
    }
    void fieldsReadAsTheirColumns() {
        // The file's own form decides, never the computer's: German settings read "." as a
        // group separator.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QFETCH(QString, field);
        QFETCH(int, kind);
        QFETCH(bool, comma);
        QFETCH(QVariant, expected);
        ExchangeColumns cols;
        cols.add("X", ExchangeKind(kind));
        const QByteArray bytes = field.toUtf8();
        std::vector<ExchangeValue> out;
        QString why;
        const bool ok = ConvertExchangeFields({QByteArrayView(bytes)}, cols, comma, false, out, &why);
        QCOMPARE(ok, expected.isValid());
        // The whole-file check takes and refuses the same fields.
        std::vector<ExchangeValue> checked;
        QCOMPARE(ConvertExchangeFields({QByteArrayView(bytes)}, cols, comma, false, checked, nullptr, true),
                 ok);
        if (ok) QCOMPARE(checked[0].type, out[0].type);
        if (!ok) {
            QVERIFY(why.startsWith("X holds") || why.contains("X value"));
            return;
        }
        if (expected.isNull())
            QCOMPARE(out[0].type, ExchangeValue::Null);
        else if (expected.typeId() == QMetaType::Double)
            QCOMPARE(out[0].number, expected.toDouble());
        else
            QCOMPARE(QString::fromUtf8(out[0].text), expected.toString());
    }

    // Where the program counts on whole numbers, a file gives them in range or is refused,
    // naming the field.
    void wholeNumberColumns_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("accepted");
        for (const char* f : {"0", "4", "-1", "1.5"})
            QTest::addRow("NumBanks %s", f) << "NumBanks" << f << false;
        QTest::newRow("NumBanks 3") << "NumBanks"
                                    << "3" << true;
        QTest::newRow("Bank 0") << "Bank"
                                << "0" << false;
        QTest::newRow("Bank 4") << "Bank"
                                << "4" << false;
        QTest::newRow("Bank 1") << "Bank"
                                << "1" << true;
        for (const char* f : {"-5", "2.5", "1e20", "32768", "2147483647"})
            QTest::addRow("EventID %s", f) << "EventID" << f << false;
        QTest::newRow("EventID 32767") << "EventID"
                                       << "32767" << true;
        QTest::newRow("EventID 7") << "EventID"
                                   << "7" << true;
        QTest::newRow("PermFlow 2.5") << "PermFlow"
                                      << "2.5" << true;
    }
    void wholeNumberColumns() {
        QFETCH(QString, column);
        QFETCH(QString, field);
        QFETCH(bool, accepted);
        ExchangeColumns cols;
        cols.add(column, ExchangeKind::Number);
        const QByteArray bytes = field.toUtf8();
        std::vector<ExchangeValue> out;
        QString why;
        for (const bool checkOnly : {false, true}) {
            QCOMPARE(ConvertExchangeFields({QByteArrayView(bytes)}, cols, false, false, out, &why, checkOnly),
                     accepted);
            if (!accepted) QVERIFY2(why.startsWith(column + " holds"), qPrintable(why));
        }
    }

    // Old files are Windows-1252; ours UTF-8.
    void textEncodings() {
        QCOMPARE(DecodeExchangeText("Caf\xC3\xA9"), QString("Café"));
        QCOMPARE(DecodeExchangeText("Caf\xE9 \x80"), QString("Café €"));
    }

    void writerLineOneAndNames_data() {
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<int>("major");
        QTest::addColumn<bool>("comma");
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<int>("dataNames");
        QTest::newRow("1.3.19 point") << 3 << 19 << 1 << false << false << "1003019;46" << 62;
        QTest::newRow("1.3.20 point") << 3 << 20 << 1 << false << false << "1003020;46" << 66;
        QTest::newRow("1.4.0 point") << 4 << 0 << 1 << false << false << "1004000;46" << 62;
        QTest::newRow("1.3.20 comma") << 3 << 20 << 1 << true << false << "1003020;44" << 66;
        QTest::newRow("1.3.20 csv point") << 3 << 20 << 1 << false << true << "1003020,46" << 66;
        QTest::newRow("1.3.19 csv comma") << 3 << 19 << 1 << true << true << "1003019,44" << 62;
    }
    void writerLineOneAndNames() {
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(int, major);
        QFETCH(bool, comma);
        QFETCH(bool, csv);
        QFETCH(QString, line1);
        QFETCH(int, dataNames);
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3, {{"FeedTemp", 15.5}, {"Description", "A;B"}});
        insertReading(p.ProjectDatabasePath, 3, {{"Temperature", 21.25}});
        useLocale(p, comma);
        setVersion(p, major, minor, revision);
        const char sep = csv ? ',' : ';';
        const QStringList lines = exportLines(p, "P1", 1, {}, sep);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], line1);
        QCOMPARE(lines[1].split(sep), ExchangeProjectColumns());
        if (csv && comma) { // the spreadsheet file keeps the locale's decimal comma, as its button warns
            QVERIFY(lines[2].contains(",\"15,5\",")); // quoted, as CSV readers expect
            QCOMPARE(lines[4].split(sep).size(), dataNames);
            return;
        }
        const QStringList values = lines[2].split(sep);
        QCOMPARE(values.size(), 71);
        QCOMPARE(values[ExchangeProjectColumns().indexOf("FeedTemp")], comma ? "15,5" : "15.5");
        QCOMPARE(values[2], csv ? "A;B" : "A B"); // the separator never splits a text
        QCOMPARE(lines[4].split(sep).size(), dataNames);
        const QStringList reading = lines[5].split(sep);
        QCOMPARE(reading.size(), dataNames);
        QCOMPARE(reading[ExchangeDataColumns(true).indexOf("Temperature")], comma ? "21,25" : "21.25");
    }

    // The file keeps its own order and spellings; each name is a described column, and a reading's
    // line carries every column of Data but its ID and note, the specific fluxes from 1.3.20.
    void namesAreDescribedColumns() {
        for (const QString& n : ExchangeProjectColumns())
            QVERIFY2(schema::Find(schema::ProjectInfo, n), qPrintable(n));
        QStringList data, withoutSpecFlux;
        for (const QString& n : ExchangeDataColumns(true)) {
            const schema::Column* c = schema::Find(schema::Data, n);
            QVERIFY2(c, qPrintable(n));
            data << c->name;
            if (!schema::BroughtBy(*c, schema::SpecificFlux)) withoutSpecFlux << n;
        }
        QCOMPARE(ExchangeDataColumns(false), withoutSpecFlux);
        QStringList all = schema::Names(schema::Data, [](auto& c) { return QString(c.name) != "Note1"; });
        all.removeFirst(); // ID
        data.sort();
        all.sort();
        QCOMPARE(data, all);
    }

    void writerNulls() {
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(
            p.ProjectDatabasePath, 3,
            {{"CapacityM3D", QVariant()}, {"TrainsSame", -1}, {"DateReference", "2009-03-05 14:07:09"}});
        insertRow(p.ProjectDatabasePath, "UserDefined",
                  {{"ProjectID", "P1"}, {"TurbidityRaw", QVariant()}, {"ORP", "Redox"}});
        insertReading(p.ProjectDatabasePath, 3, {{"ORP", QVariant()}, {"SpecFlux_2", QVariant()}});
        setVersion(p, 1, 3, 38);
        const QStringList lines = exportLines(p, "P1", 1, {});
        const QStringList values = lines[2].split(';');
        auto project = [&](const QString& c) { return values[ExchangeProjectColumns().indexOf(c)]; };
        QCOMPARE(project("CapacityM3D"), "0");
        QCOMPARE(project("TrainsSame"), "TRUE");
        QCOMPARE(project("SystemData"), "TRUE");
        QCOMPARE(project("DateReference"), "2009-03-05 14:07:09");
        QCOMPARE(lines[3], ";TurbidityFeed;SDIRaw;SDIFeed;Redox;NTU;NTU;%/min;%/min;mV");
        const QStringList reading = lines[5].split(';');
        auto field = [&](const QString& c) { return reading[ExchangeDataColumns(true).indexOf(c)]; };
        QCOMPARE(field("ORP"), "");
        QCOMPARE(field("SpecFlux_2"), "0");
        QCOMPARE(field("TheDate"), "2020-01-02 00:00:00");
        // Without a UserDefined row line 4 is empty, and still there.
        Database::open(p.ProjectDatabasePath).exec("DELETE FROM UserDefined WHERE ProjectID = 'P1'");
        QCOMPARE(exportLines(p, "P1", 1, {})[3], "");
    }
};

QTEST_MAIN(TestExchangeFile)
#include "tst_exchangefile.moc"
