#include <QtTest>

#include "core/program.h"
#include "core/settings.h"
#include "core/units.h"
#include "platform/dberror.h"
#include "support/files.h"
#include "support/testenv.h"

using namespace hv;

namespace {

QString loc(QString s) {
    return s.replace('.', QLocale().decimalPoint());
}

} // namespace

// Every case runs under a point and a comma locale, with the program's separators
// detected as at start-up.
class TestSettings : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestEnv> env;
    QString ini;
    Program& p() { return env->prog(); }

private slots:
    void init() {
        QFETCH_GLOBAL(QString, locale);
        QLocale::setDefault(locale == "C" ? QLocale::c() : QLocale(locale));
        env = std::make_unique<test::TestEnv>();
        InitUnits(p());
        ini = p().IniFilePath;
    }
    void cleanup() {
        env.reset();
        QLocale::setDefault(QLocale::c());
    }
    void initTestCase_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("point") << "C";
        QTest::newRow("comma") << "de_DE";
    }

    void textValues() {
        QVERIFY(!QFile::exists(ini));
        QCOMPARE(ReadIniValue("Current Project", "GraphPath", "  none  ", ini), QString("none"));
        WriteIniValue("Current Project", "GraphPath", ini, "/data/graphs");
        QVERIFY(QFile::exists(ini));
        QCOMPARE(ReadIniValue("current project", "Graphpath", "", ini), QString("/data/graphs"));
        QCOMPARE(ReadIniValue("Current Project", "Other", "dflt", ini), QString("dflt"));
        QCOMPARE(ReadIniValue("Elsewhere", "GraphPath", "dflt", ini), QString("dflt"));
        WriteIniValue("CURRENT PROJECT", "GRAPHPATH", ini, "/other");
        QCOMPARE(ReadIniValue("Current Project", "GraphPath", "", ini), QString("/other"));
        QCOMPARE(test::readText(ini).count("raphPath", Qt::CaseInsensitive), 1);
        // A line break cannot smuggle a key of its own into the file.
        WriteIniValue("Current Project", "Note", ini, "a\r\nShowSplash=No");
        QCOMPARE(ReadIniValue("Current Project", "ShowSplash", "Yes", ini), QString("Yes"));
        QCOMPARE(ReadIniValue("Current Project", "Note", "", ini), QString("a  ShowSplash=No"));
    }

    void trimmingAndLength() {
        const QString longValue = QString(250, 'a') + "    " + QString(46, 'b');
        test::writeText(ini, "[S]\nblanks=   padded value   \nempty=\nlong=" + QString(300, 'x') +
                                 "\ncut=" + longValue + "\n");
        QCOMPARE(ReadIniValue("S", "blanks", "d", ini), QString("padded value"));
        QCOMPARE(ReadIniValue("S", "empty", "d", ini), QString());
        QCOMPARE(ReadIniValue("S", "long", "", ini), QString(254, 'x'));
        // Cut first, then trimmed: the blanks before the cut go too.
        QCOMPARE(ReadIniValue("S", "cut", "", ini), QString(250, 'a'));
        QCOMPARE(ReadIniValue("S", "missing", QString(300, 'y'), ini), QString(254, 'y'));
    }

    void otherLinesKept() {
        const QString before = "; settings\n[Graph Styles]\nColor=5\n\n[Current Project]\nDatabase=/x.mdb\n"
                               "; keep me\nTrain=1\n";
        test::writeText(ini, before);
        WriteIniInteger("Current Project", "Train", ini, 2);
        WriteIniValue("Projects", "P1", ini, "TRUE");
        const QString after = test::readText(ini);
        QVERIFY2(
            after.startsWith("; settings\n[Graph Styles]\nColor=5\n\n[Current Project]\nDatabase=/x.mdb\n"
                             "; keep me\nTrain=2\n"),
            qPrintable(after));
        QCOMPARE(ReadIniValue("Projects", "P1", "", ini), QString("TRUE"));
        QCOMPARE(ReadIniInteger("Graph Styles", "Color", 0, ini), qint16(5));
    }

    void integers() {
        test::writeText(ini, "[S]\nn=42\nneg=-5\nlead=12abc\nword=abc\nbig=70000\nsmall=-40000\n");
        QCOMPARE(ReadIniInteger("S", "n", 7, ini), qint16(42));
        QCOMPARE(ReadIniInteger("S", "neg", 7, ini), qint16(-5));
        QCOMPARE(ReadIniInteger("S", "lead", 7, ini), qint16(12));
        QCOMPARE(ReadIniInteger("S", "word", 7, ini), qint16(0));
        QCOMPARE(ReadIniInteger("S", "missing", 7, ini), qint16(7));
        for (const char* key : {"big", "small"}) {
            try {
                ReadIniInteger("S", key, 0, ini);
                QFAIL("no overflow");
            } catch (const DbError& e) {
                QCOMPARE(e.number(), dberr::Overflow);
            }
        }
        WriteIniInteger("S", "w", ini, -32768);
        QVERIFY(test::readText(ini).contains("w=-32768"));
        QCOMPARE(ReadIniInteger("S", "w", 0, ini), qint16(-32768));
    }

    void longs() {
        test::writeText(ini, "[S]\nhalf=" + loc("2.5") + "\nhalfUp=" + loc("3.5") +
                                 "\nbig=3000000000\nword=x\nempty=\n" +
                                 "otherMark=" + (loc(".") == "." ? "3,5" : "3.5") + "\n");
        QCOMPARE(ReadIniLong("S", "half", 9, ini), 2);
        QCOMPARE(ReadIniLong("S", "halfUp", 9, ini), 4);
        QCOMPARE(ReadIniLong("S", "otherMark", 9, ini), 4); // written under the other settings
        QCOMPARE(ReadIniLong("S", "big", 9, ini), 0);
        QCOMPARE(ReadIniLong("S", "word", 9, ini), 0);
        QCOMPARE(ReadIniLong("S", "empty", 9, ini), 0);
        QCOMPARE(ReadIniLong("S", "missing", 123456, ini), 123456);
        WriteIniLong("S", "w", ini, 2000000000);
        QVERIFY(test::readText(ini).contains("w=2000000000"));
        QCOMPARE(ReadIniLong("S", "w", 0, ini), 2000000000);
    }

    void doubles() {
        test::writeText(ini, "[S]\npoint=1.5\ncomma=1,5\nword=abc\nempty=\nbig=1e400\n");
        QCOMPARE(ReadIniDouble(p(), "S", "point", 7, ini), 1.5);
        QCOMPARE(ReadIniDouble(p(), "S", "comma", 7, ini), 1.5);
        QCOMPARE(ReadIniDouble(p(), "S", "missing", 0.5, ini), 0.5);
        QCOMPARE(ReadIniDouble(p(), "S", "word", 7, ini), 0.0);
        QCOMPARE(ReadIniDouble(p(), "S", "empty", 7, ini), 0.0);
        QCOMPARE(ReadIniDouble(p(), "S", "big", 7, ini), 0.0);

        WriteIniDouble("S", "half", ini, 0.5);
        QVERIFY(test::readText(ini).contains("half=" + loc("0.5") + "\n"));
        WriteIniDouble("S", "third", ini, 1.0 / 3.0);
        QCOMPARE(ReadIniDouble(p(), "S", "third", 0, ini), 0.333333333333333);
        WriteIniDouble("S", "large", ini, 1234567.25);
        QVERIFY(test::readText(ini).contains("large=" + loc("1234567.25") + "\n"));
        QCOMPARE(ReadIniDouble(p(), "S", "large", 0, ini), 1234567.25);
    }

    // A settings file the file-size limit stops keeps its values, and the one message names the
    // limit in place of the system's "Unknown error".
    void settingsFileStoppedByTheLimit() {
        const QString before = "[S]\n;" + QString(4000, 'x') + "\n";
        test::writeText(ini, before);
        env->prompts.onMessage("file-size limit of 1024 bytes", Buttons::OK, Title, Answer::OK);
        {
            test::FileSizeLimit limit(1024);
            QVERIFY(!WriteIniSettings(p(), "S", {{"k", "v"}, {"l", "w"}}));
        }
        QCOMPARE(env->prompts.verify(), QString());
        QCOMPARE(test::readText(ini), before);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
