#include <QHeaderView>
#include <QtTest>

#include "core/typedinput.h"
#include "maintenance/dataview.h"
#include "maintenance/ui/rows.h"
#include "platform/database.h"
#include "support/fitcheck.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;
using namespace hv::test;

namespace {

// Readings of P1 in two trains, stored out of date order.
void fill(Program& p) {
    makeBlankDatabase(p.ProjectDatabasePath);
    insertProjectInfo(p.ProjectDatabasePath, 3);
    const struct {
        const char* date;
        QVariant temperature;
        int train;
        int event;
    } readings[] = {{"2020-01-03 08:00:00", 25.5, 1, 6},
                    {"2020-01-01 08:00:00", 9.75, 2, 0},
                    {"2020-01-04 08:00:00", QVariant(), 1, 12},
                    {"2020-01-02 08:00:00", 100.0, 1, 0}};
    for (const auto& r : readings)
        insertReading(p.ProjectDatabasePath, 3,
                      {{"TheDate", r.date},
                       {"Temperature", r.temperature},
                       {"TurbidityRaw", r.temperature.isNull() ? QVariant() : QVariant(1.5)},
                       {"TrainNumber", r.train},
                       {"EventID", r.event}});
    insertReading(p.ProjectDatabasePath, 3, {{"ProjectID", "P2"}});
    p.CurrentProject.ProjectID = "P1";
    p.CurrentProject.TrainNumber = 1;
}

QStringList column(const DataViewModel& m, int c) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.cellText(r, c);
    return out;
}

// Stored dates as the view shows them, in the computer's short form.
QStringList shownDates(const QStringList& stored) {
    QStringList out;
    for (const QString& d : stored)
        out << ShortDateTimeText(parseDbDate(d));
    return out;
}

bool bandsFollowRows(const DataViewModel& m) {
    for (int r = 0; r < m.rowCount(); ++r) {
        const QColor want = r % 2 == 1 ? QColor(QRgb(DataViewModel::BandColour)) : QColor(Qt::white);
        if (m.data(m.index(r, 3), Qt::BackgroundRole).value<QColor>() != want) return false;
    }
    return true;
}

} // namespace

class TestDataView : public QObject {
    Q_OBJECT
private slots:
    // The view writes numbers with the computer's decimal mark; the expected texts use a point.
    void init() { QLocale::setDefault(QLocale::c()); }
    void loadsEveryTrainOldestFirst() {
        TestEnv env;
        fill(env.prog());
        rows w(env.prog());
        QCOMPARE(w.windowTitle(), "P1 Train: 1");
        const DataViewModel& m = *w.model();
        QCOMPARE(m.columnCount(), 57);
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), "Date + Time");
        QCOMPARE(m.headerData(2, Qt::Horizontal).toString(), "EventID");
        QCOMPARE(m.headerData(56, Qt::Horizontal).toString(), "TurbidityRaw");
        QCOMPARE(column(m, 0), shownDates({"2020-01-01 08:00:00", "2020-01-02 08:00:00",
                                           "2020-01-03 08:00:00", "2020-01-04 08:00:00"}));
        QCOMPARE(column(m, 3), QStringList({"9.75", "100.0", "25.5", "0.0"})); // Temperature; Null as 0.0
        QCOMPARE(column(m, 2), QStringList({"0", "0", "6", "12"}));            // an event is a whole number
        QCOMPARE(column(m, 56), QStringList({"1.5", "1.5", "1.5", ""}));       // an item without a value
    }

    // The rows mix the project's trains: each names its own, and the date shows whole.
    void eachRowNamesItsTrain() {
        TestEnv env;
        fill(env.prog());
        rows w(env.prog());
        w.resize(1000, 600);
        w.show();
        const DataViewModel& m = *w.model();
        QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), "TrainNumber");
        QCOMPARE(column(m, 1), QStringList({"2", "1", "1", "1"}));
        emit w.MSHFlexGrid1->horizontalHeader()->sectionClicked(1);
        QCOMPARE(column(m, 1), QStringList({"1", "1", "1", "2"}));
        const QStringList cut = test::cutOffTexts(&w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        QTableView* t = w.MSHFlexGrid1;
        QVERIFY(t->horizontalHeader()->sectionSizeHint(1) <= t->columnWidth(1));
    }

    // A header click sorts; again on the same column reverses; another column starts ascending.
    void headerClicksSort_data() {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("number ascending")
            << QList<int>{3} << 3 << QStringList{"0.0", "9.75", "25.5", "100.0"};
        QTest::newRow("number descending")
            << QList<int>{3, 3} << 3 << QStringList{"100.0", "25.5", "9.75", "0.0"};
        QTest::newRow("number ascending again")
            << QList<int>{3, 3, 3} << 3 << QStringList{"0.0", "9.75", "25.5", "100.0"};
        QTest::newRow("an empty turbidity first")
            << QList<int>{56} << 56 << QStringList{"", "1.5", "1.5", "1.5"};
        QTest::newRow("date descending") << QList<int>{0, 0} << 0
                                         << shownDates({"2020-01-04 08:00:00", "2020-01-03 08:00:00",
                                                        "2020-01-02 08:00:00", "2020-01-01 08:00:00"});
        QTest::newRow("another column ascending")
            << QList<int>{0, 0, 3} << 0
            << shownDates({"2020-01-04 08:00:00", "2020-01-01 08:00:00", "2020-01-03 08:00:00",
                           "2020-01-02 08:00:00"});
    }
    void headerClicksSort() {
        QFETCH(QList<int>, clicks);
        QFETCH(int, shown);
        QFETCH(QStringList, expected);
        TestEnv env;
        fill(env.prog());
        rows w(env.prog());
        w.show();
        for (int c : clicks)
            emit w.MSHFlexGrid1->horizontalHeader()->sectionClicked(c);
        QCOMPARE(column(*w.model(), shown), expected);
        QVERIFY(bandsFollowRows(*w.model()));
        // What the table shows is the model's order.
        QCOMPARE(w.MSHFlexGrid1->model()->index(0, shown).data().toString(), expected.first());
    }

    // Dates in the computer's own short form, seconds where the reading has them; a value stored
    // as text is read by the one reader, and one it cannot read is refused with its place named.
    void computersFormAndStoredTexts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("temperature"); // stored as text
        QTest::addColumn<QString>("shownDate");
        QTest::addColumn<QString>("shown"); // the temperature shown, or the refusal
        QTest::newRow("English (UK), with seconds") << "en_GB"
                                                    << "2020-01-05 08:00:30"
                                                    << "1,250"
                                                    << "05/01/2020 08:00:30"
                                                    << "1250.0";
        QTest::newRow("German, without seconds") << "de_DE"
                                                 << "2020-01-05 08:00:00"
                                                 << "12,5"
                                                 << "05.01.2020 08:00"
                                                 << "12,5";
        QTest::newRow("slashes and a one-digit hour") << "en_GB"
                                                      << "2020/01/05 8:00"
                                                      << "1.5"
                                                      << "05/01/2020 08:00"
                                                      << "1.5";
        QTest::newRow("English (UK), unreadable")
            << "en_GB"
            << "2020-01-05 08:00:00"
            << "12x"
            << ""
            << "Temperature of the reading dated 05/01/2020 08:00 holds \"12x\", which is not a number.";
        QTest::newRow("German, unreadable")
            << "de_DE"
            << "2020-01-05 08:00:00"
            << "12,5 C"
            << ""
            << "Temperature of the reading dated 05.01.2020 08:00 holds \"12,5 C\", which is not a number.";
    }
    void computersFormAndStoredTexts() {
        QFETCH(QString, locale);
        QFETCH(QString, date);
        QFETCH(QString, temperature);
        QFETCH(QString, shownDate);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        TestEnv env;
        Program& p = env.prog();
        makeBlankDatabase(p.ProjectDatabasePath);
        insertProjectInfo(p.ProjectDatabasePath, 3);
        insertReading(p.ProjectDatabasePath, 3, {{"TheDate", date}, {"Temperature", temperature}});
        DataViewModel m;
        try {
            m.load(p.ProjectDatabasePath, "P1");
        } catch (const DbError& e) {
            QCOMPARE(e.description(), shown);
            QVERIFY(shownDate.isEmpty());
            return;
        }
        QCOMPARE(m.cellText(0, 0), shownDate);
        QCOMPARE(m.cellText(0, 3), shown);
    }

    void dateColumnStaysFirst() {
        TestEnv env;
        fill(env.prog());
        rows w(env.prog());
        w.show();
        QHeaderView* h = w.MSHFlexGrid1->horizontalHeader();
        h->moveSection(0, 3); // the date column itself
        QCOMPARE(h->logicalIndex(0), 0);
        h->moveSection(5, 0); // another column onto it
        QCOMPARE(h->logicalIndex(0), 0);
        QCOMPARE(h->visualIndex(5), 5);
        h->moveSection(5, 2); // elsewhere moves
        QCOMPARE(h->logicalIndex(2), 5);
    }
};

HV_FIT_TEST_MAIN(TestDataView)
#include "tst_dataview.moc"
