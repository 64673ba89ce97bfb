#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

#include "support/fitcheck.h"

using namespace hv;

// The window check other tests rely on: each kind of control it knows is reported when its
// text is cut off, and not when it has room.
class TestFitCheck : public QObject {
    Q_OBJECT

    // A window holding one control, the given width wide, laid out by hand.
    static QStringList check(const std::function<QWidget*(QWidget*)>& make, int width, int height = 0,
                             const QStringList& typedFreely = {}) {
        QWidget window;
        window.resize(900, 500);
        QWidget* w = make(&window);
        w->setObjectName("probe");
        w->move(10, 10);
        w->resize(width, height > 0 ? height : w->sizeHint().height());
        window.show();
        return test::cutOffTexts(&window, typedFreely);
    }

private slots:
    void cutTextsAreFound_data() {
        QTest::addColumn<std::function<QWidget*(QWidget*)>>("make");
        QTest::addColumn<int>("height");
        const QString text = "Reference Permeate BackPressure 2026-11-30 23:45";
        using Make = std::function<QWidget*(QWidget*)>;
        QTest::newRow("label") << Make([=](QWidget* p) { return new QLabel(text, p); }) << 0;
        QTest::newRow("wrapped label") << Make([=](QWidget* p) {
            auto* l = new QLabel(text + " " + text, p);
            l->setWordWrap(true);
            return l;
        }) << 18;
        QTest::newRow("line edit") << Make([=](QWidget* p) { return new QLineEdit(text, p); }) << 0;
        QTest::newRow("combo item") << Make([=](QWidget* p) {
            auto* c = new QComboBox(p);
            c->addItems({"A", text});
            return c;
        }) << 0;
        QTest::newRow("button") << Make([=](QWidget* p) { return new QPushButton(text, p); }) << 0;
        QTest::newRow("check box") << Make([=](QWidget* p) { return new QCheckBox(text, p); }) << 0;
        QTest::newRow("radio button") << Make([=](QWidget* p) { return new QRadioButton(text, p); }) << 0;
        QTest::newRow("group box") << Make([=](QWidget* p) { return new QGroupBox(text, p); }) << 40;
        QTest::newRow("table header") << Make([=](QWidget* p) {
            auto* v = new QTableView(p);
            auto* m = new QStandardItemModel(2, 2, v);
            m->setHorizontalHeaderLabels({"x", text});
            v->setModel(m);
            v->horizontalHeader()->setStretchLastSection(true);
            return v;
        }) << 120;
        QTest::newRow("date box") << Make([=](QWidget* p) {
            auto* d = new QDateTimeEdit(QDateTime(QDate(2026, 11, 30), QTime(23, 45)), p);
            d->setDisplayFormat("dddd d MMMM yyyy HH:mm:ss");
            return d;
        }) << 0;
        QTest::newRow("list entry") << Make([=](QWidget* p) {
            auto* l = new QListWidget(p);
            l->addItems({"Feed", text});
            return l;
        }) << 80;
        QTest::newRow("table cell") << Make([=](QWidget* p) {
            auto* t = new QTableWidget(2, 1, p);
            t->setHorizontalHeaderLabels({"x"});
            t->horizontalHeader()->setStretchLastSection(true);
            t->setItem(1, 0, new QTableWidgetItem(text));
            return t;
        }) << 120;
        QTest::newRow("tab beyond its bar") << Make([=](QWidget* p) {
            auto* t = new QTabBar(p);
            t->setElideMode(Qt::ElideNone);
            t->addTab("Feed");
            t->addTab("Reference Permeate");
            return t;
        }) << 0;
        QTest::newRow("text box") << Make([=](QWidget* p) {
            return new QPlainTextEdit(text + "\n" + text, p);
        }) << 40;
        QTest::newRow("scroll area") << Make([=](QWidget* p) {
            auto* a = new QScrollArea(p);
            auto* inner = new QWidget;
            inner->setMinimumSize(400, 300);
            a->setWidget(inner);
            a->setWidgetResizable(true);
            return a;
        }) << 100;
    }
    void cutTextsAreFound() {
        QFETCH(std::function<QWidget*(QWidget*)>, make);
        QFETCH(int, height);
        const QStringList cut = check(make, 120, height);
        QCOMPARE(cut.size(), 1);
        QVERIFY2(cut.first().startsWith("probe") || cut.first().startsWith("QHeaderView"),
                 qPrintable(cut.first()));
        QVERIFY2(check(make, 860, height * 4).isEmpty(), qPrintable(check(make, 860, height * 4).join('\n')));
    }

    void controlsLeavingTheWindowAndLargeWindowsAreFound() {
        QStringList cut = check([](QWidget* p) { return new QLabel("Feed", p); }, 40);
        QVERIFY(cut.isEmpty());
        QWidget window;
        window.resize(300, 200);
        auto* l = new QLabel("Feed", &window);
        l->setObjectName("outside");
        l->setGeometry(280, 10, 60, 20);
        window.show();
        cut = test::cutOffTexts(&window);
        QCOMPARE(cut, QStringList{"outside \"\": lies partly outside the window"});

        QWidget over;
        over.resize(300, 200);
        for (const char* name : {"first", "second"}) {
            auto* l = new QLabel("Feed", &over);
            l->setObjectName(name);
            l->setGeometry(name[0] == 'f' ? 10 : 40, 10, 60, 20);
        }
        over.show();
        cut = test::cutOffTexts(&over);
        QCOMPARE(cut, QStringList{"first \"\" and second \"\": lie over each other"});

        QWidget big;
        auto* layout = new QVBoxLayout(&big);
        auto* tall = new QWidget;
        tall->setMinimumSize(200, 900);
        layout->addWidget(tall);
        big.show();
        cut = test::cutOffTexts(&big);
        QCOMPARE(cut.size(), 2); // its size and its least size
        QVERIFY(cut.first().startsWith("window size"));
    }

    // A shortened text is whole in its tooltip; a box of the user's own typing scrolls.
    void shortenedAndTypedTextsPass() {
        const QString text = "Reference Permeate BackPressure 2026-11-30 23:45";
        const auto shortened = [](const QString& tip) {
            return [=](QWidget* p) {
                auto* l = new QLabel(QString("/plant/records/%1db.hv3.mdb").arg(QChar(0x2026)), p);
                l->setToolTip(tip);
                return l;
            };
        };
        QCOMPARE(check(shortened(""), 400).size(), 1);
        QCOMPARE(check(shortened("/plant/records/north/db.hv3.mdb"), 400), QStringList());
        const auto typed = [=](QWidget* p) { return new QLineEdit(text, p); };
        QCOMPARE(check(typed, 120, 0, {"probe"}), QStringList());
        QCOMPARE(check(typed, 120).size(), 1);
    }
};

HV_FIT_TEST_MAIN(TestFitCheck)
#include "tst_fitcheck.moc"
