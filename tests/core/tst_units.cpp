#include <QtTest>

#include "core/units.h"
#include "platform/dberror.h"
#include "support/testenv.h"

using namespace hv;

class TestUnits : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void initUnits_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("code");
        QTest::newRow("C") << "C"
                           << "."
                           << "," << 46;
        QTest::newRow("en_US") << "en_US"
                               << "."
                               << "," << 46;
        QTest::newRow("de_DE") << "de_DE"
                               << ","
                               << "." << 44;
        QTest::newRow("fr_FR") << "fr_FR"
                               << ","
                               << "." << 44;
    }
    void initUnits() {
        QFETCH(QString, locale);
        QFETCH(QString, separator);
        QFETCH(QString, other);
        QFETCH(int, code);
        QLocale::setDefault(locale == "C" ? QLocale::c() : QLocale(locale));
        test::TestEnv env;
        Program& p = env.prog();
        p.DecimalSeparator = "?";
        p.FlowUnit = p.TemperatureUnit = p.PressureUnit = p.FluxUnit = p.MassUnit = 3;
        InitUnits(p);
        QCOMPARE(p.DecimalSeparator, separator);
        QCOMPARE(p.ListSeparator, other);
        QCOMPARE(int(p.DecimalSeparatorCode), code);
        QCOMPARE(int(p.FlowUnit), 6);
        QCOMPARE(int(p.TemperatureUnit), 0);
        QCOMPARE(int(p.PressureUnit), 0);
        QCOMPARE(int(p.FluxUnit), 0);
        QCOMPARE(int(p.MassUnit), 1);
    }

    void unitNames() {
        QCOMPARE(GetUnitName(1, 0), QString("Psi"));
        QCOMPARE(GetUnitName(1, 3), QString("In H2O"));
        QCOMPARE(GetUnitName(1, 4), QString("Ft H2O"));
        QCOMPARE(GetUnitName(1, 11), QString("Kg/m2"));
        QCOMPARE(GetUnitName(2, 1), QString("Deg C"));
        QCOMPARE(GetUnitName(2, 3), QString("Deg K"));
        // Absolute zero is -459.67 deg F: 491.67 deg R and 273.15 K are the freezing point.
        QVERIFY(qAbs(ConvertUnit(491.67, 2, 0, TemperatureUnits(), 3) - 32) < 1e-9);
        QVERIFY(qAbs(ConvertUnit(273.15, 3, 0, TemperatureUnits(), 3) - 32) < 1e-9);
        QCOMPARE(GetUnitName(3, 6), QString("Gal/day"));
        QCOMPARE(GetUnitName(3, 15), QString("ml/min"));
        QCOMPARE(GetUnitName(4, 0), QString("Gal/ft2/day"));
        QCOMPARE(GetUnitName(4, 2), QString("Liter/m2/day"));
        QCOMPARE(GetUnitName(5, 3), QString("ton (US)"));
        QCOMPARE(GetUnitName(6, 2), QString("m^3"));
        QCOMPARE(GetUnitName(6, 4), QString("milliliter"));
        QCOMPARE(GetUnitName(0, 0), QString());
        QCOMPARE(GetUnitName(7, 0), QString());
    }

    void unitNameOutOfRange_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("index");
        QTest::newRow("pressure 12") << 1 << 12;
        QTest::newRow("pressure -1") << 1 << -1;
        QTest::newRow("temperature 4") << 2 << 4;
        QTest::newRow("flow 16") << 3 << 16;
        QTest::newRow("flux 4") << 4 << 4;
        QTest::newRow("mass 4") << 5 << 4;
        QTest::newRow("volume 5") << 6 << 5;
    }
    void unitNameOutOfRange() {
        QFETCH(int, kind);
        QFETCH(int, index);
        try {
            GetUnitName(kind, index);
            QFAIL("no error");
        } catch (const DbError& e) {
            QCOMPARE(e.number(), 9L);
        }
    }

    void quotientFactors() {
        QVERIFY(qAbs(FlowUnits()[6].Factor / 0.0000928333333 - 1) < 1e-8);
        QVERIFY(qAbs(FlowUnits()[14].Factor / 0.0245243056 - 1) < 1e-8);
        QVERIFY(qAbs(FluxUnits()[1].Factor / 0.589017735 - 1) < 1e-8);
        QVERIFY(qAbs(FluxUnits()[2].Factor / 0.0245424056 - 1) < 1e-8);
        QVERIFY(qAbs(FluxUnits()[3].Factor / 2120463.85 - 1) < 1e-8);
        QVERIFY(qAbs(MassUnits()[1].Factor / 0.453720508 - 1) < 1e-8);
        QVERIFY(qAbs(MassUnits()[3].Factor / 907.441016 - 1) < 1e-8);
    }

    void conversions() {
        QCOMPARE(ConvertTemperature(25, 1, 0), 77.0);
        QCOMPARE(ConvertTemperature(77, 0, 1), 25.0);
        QCOMPARE(TemperatureToC(212, 0), 100.0);
        QCOMPARE(ConvertFlow(1, 4, 12), 0.13368 / 2118.9);
        QCOMPARE(ConvertPressure(1, 8, 9), 14.5038 / 0.145038);
        QCOMPARE(PressureFromAtm(1, 0), 14.696);
        QCOMPARE(FlowToSI(1, 12), 1.0);
        QCOMPARE(FluxFromSI(0.37, 3), 0.37);
        QCOMPARE(ConvertFlux(10, 0, 2), 10 / (264.172 / 1000 / 10.7639));
        // Every pair of a table converts there and back.
        for (int a = 0; a < FlowUnitCount; ++a)
            for (int b = 0; b < FlowUnitCount; ++b)
                QVERIFY(qAbs(ConvertFlow(ConvertFlow(123.4, a, b), b, a) / 123.4 - 1) < 1e-12);
        for (int a = 0; a < PressureUnitCount; ++a)
            QVERIFY(qAbs(ConvertPressure(ConvertPressure(56.7, a, 2), 2, a) / 56.7 - 1) < 1e-12);
    }

    void conversionsOutOfRange() {
        const double x = 0.1 + 0.2;
        QCOMPARE(ConvertFlow(x, 4, 4), x);
        QCOMPARE(ConvertFlow(x, 4, 16), x);
        QCOMPARE(ConvertFlow(x, -1, 4), x);
        QCOMPARE(ConvertPressure(x, 12, 0), x);
        QCOMPARE(ConvertFlux(x, 0, 4), x);
        // Deg R and Deg K have names but do not convert.
        QCOMPARE(ConvertTemperature(300, 3, 1), 300.0);
        QCOMPARE(ConvertTemperature(300, 1, 2), 300.0);
        QCOMPARE(TemperatureToC(300, 3), 300.0);
    }
};

QTEST_GUILESS_MAIN(TestUnits)
#include "tst_units.moc"
