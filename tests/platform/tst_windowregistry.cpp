#include <QCloseEvent>
#include <QtTest>

#include "platform/windowregistry.h"

using namespace hv;

namespace {

// A window whose close handler may refuse, as one holding unsaved work does.
class Refusing : public QWidget {
public:
    bool refuse = true;

protected:
    void closeEvent(QCloseEvent* e) override {
        if (refuse)
            e->ignore();
        else
            e->accept();
    }
};

} // namespace

class TestWindowRegistry : public QObject {
    Q_OBJECT
private slots:
    void freshInstancesAreAllUnloaded() {
        WindowRegistry reg;
        reg.registerFactory("rows", [] { return new QWidget; });
        QPointer<QWidget> first = reg.showFresh("rows");
        QPointer<QWidget> second = reg.create("rows");
        second->show();
        QCOMPARE(reg.find("rows"), second.data());
        // Names match regardless of case, and every instance can be reached.
        QCOMPARE(reg.find("ROWS"), second.data());
        QCOMPARE(reg.findAll("Rows"), (QList<QWidget*>{first.data(), second.data()}));
        QVERIFY(reg.holds(first) && !reg.holds(nullptr));
        QVERIFY(reg.unload("Rows"));
        QVERIFY(first.isNull());
        QVERIFY(second.isNull());
        QVERIFY(!reg.isLoaded("rows"));
    }

    void aWindowThatRefusesStaysLoaded() {
        WindowRegistry reg;
        auto* w = new Refusing;
        reg.add("frmEdit", w);
        w->show();
        QPointer<QWidget> guard(w);
        QVERIFY(!reg.unloadAll());
        QVERIFY(!guard.isNull());
        QCOMPARE(reg.find("frmEdit"), w);
        w->refuse = false;
        QVERIFY(reg.unloadAll());
        QVERIFY(guard.isNull());
    }

    void unloadAllSparesTheCaller() {
        WindowRegistry reg;
        auto* mainWindow = new QWidget;
        auto* other = new QWidget;
        reg.add("frmMain", mainWindow);
        reg.add("frmGraphs", other);
        QPointer<QWidget> otherGuard(other);
        QVERIFY(reg.unloadAll(mainWindow));
        QVERIFY(otherGuard.isNull());
        QCOMPARE(reg.find("frmMain"), mainWindow);
        QCOMPARE(reg.loadedNames(), QStringList{"frmMain"});
        delete mainWindow;
        QVERIFY(!reg.isLoaded("frmMain"));
    }
};

QTEST_MAIN(TestWindowRegistry)
#include "tst_windowregistry.moc"
