#include <QtTest>
#include <qcustomplot.h>

#include "graphs/axistext.h"
#include "graphs/chartmodel.h"
#include "graphs/grapher.h"
#include "graphs/ui/chartview.h"

using namespace hv;

// Axis texts in the computer's own form: day labels as its long date form writes a day and a
// month, numbers with its decimal mark and digit grouping, each label naming its place.
class TestAxisText : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void dayLabels_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("German") << "de_DE"
                                << "1. März";
        QTest::newRow("Swedish") << "sv_SE"
                                 << "1 mars";
        QTest::newRow("English (US)") << "en_US"
                                      << "Mar 1";
        QTest::newRow("English (UK)") << "en_GB"
                                      << "1 Mar";
        QTest::newRow("Spanish: the 'de' of the year left out") << "es_ES"
                                                                << "1 de mar";
        QTest::newRow("Hungarian: year first, the day's point kept") << "hu_HU"
                                                                     << "márc. 1.";
    }
    void dayLabels() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(AxisDayText(QDate(2026, 3, 1)), text);
    }

    // Every elapsed label names the hours where it stands, with the computer's grouping.
    void elapsedLabels_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("last");
        QTest::addColumn<QString>("texts");
        QTest::newRow("two hours") << "en_US" << 2.0
                                   << "0.00 0.20 0.40 0.60 0.80 1.00 1.20 1.40 1.60 1.80 2.00";
        QTest::newRow("thousands, German") << "de_DE" << 10000.0
                                           << "0,00 1.000,00 2.000,00 3.000,00 4.000,00 5.000,00 6.000,00 "
                                              "7.000,00 8.000,00 9.000,00 10.000,00";
    }
    void elapsedLabels() {
        QFETCH(QString, locale);
        QFETCH(double, last);
        QFETCH(QString, texts);
        QLocale::setDefault(QLocale(locale));
        QStringList shown;
        for (const ValueLabel& l : ElapsedAxisLabels(0, last))
            shown << l.text;
        QCOMPARE(shown.join(' '), texts);
    }

    // Numbers on the value axes carry the computer's grouping.
    void valueAxisGrouping_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("German") << "de_DE"
                                << "20.000";
        QTest::newRow("English (US)") << "en_US"
                                      << "20,000";
    }
    void valueAxisGrouping() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        ChartModel chart;
        chart.setAxisRange(ChartModel::Y, 0, 25000);
        chart.setAxisRange(ChartModel::Y2, 0, 25000);
        QCustomPlot plot;
        plot.resize(800, 600);
        RenderChart(chart, plot);
        plot.replot();
        for (QCPAxis* axis : {plot.yAxis, plot.yAxis2}) {
            const QVector<QString> shown = axis->tickVectorLabels();
            QVERIFY2(shown.contains(text), qPrintable(QStringList(shown.begin(), shown.end()).join(" ")));
        }
    }
};

QTEST_MAIN(TestAxisText)
#include "tst_axistext.moc"
