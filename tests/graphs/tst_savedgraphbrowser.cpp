#include <QtTest>

#include "graphs/ui/frmeditsavedgraphs.h"
#include "graphs/ui/graphimagewindows.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

const QString AllDeleted = "All graphs have been deleted!.";

struct Env : test::TestEnv {
    Env() {
        RegisterGraphImageWindows(prog());
        test::makeBlankDatabase(prog().ProjectDatabasePath);
        prog().CurrentProject.ProjectID = "P1";
        prog().CurrentProject.TrainNumber = 1;
        // Graphs of two trains of P1, a "Last Graph" row, and another project's graph.
        graph("P1", 1, "Alpha");
        graph("P2", 1, "Other");
        graph("P1", 2, "Beta's");
        graph("P1", 1, "Last Graph");
    }
    ~Env() {
        for (const QString& name : prog().windows.loadedNames())
            delete prog().windows.find(name);
    }
    void graph(const QString& project, int train, const QString& name) {
        test::insertRow(prog().ProjectDatabasePath, "UserGraphs",
                        {{"ProjectID", project}, {"TrainNumber", train}, {"GraphName", name}});
    }
    QStringList stored() {
        QStringList names;
        Database db = Database::open(prog().ProjectDatabasePath);
        for (const DbRow& r : db.select("SELECT ProjectID, GraphName FROM UserGraphs ORDER BY ID"))
            names << r.toText("ProjectID") + ":" + r.toText("GraphName");
        return names;
    }
    frmEditSavedGraphs* open() {
        return qobject_cast<frmEditSavedGraphs*>(prog().windows.showSingle("frmEditSavedGraphs"));
    }
};

// The name and the status the window shows.
QString shown(frmEditSavedGraphs* w) {
    return w->txtFields[0]->text() + " | " + w->lblStatus->text();
}

} // namespace

class TestSavedGraphBrowser : public QObject {
    Q_OBJECT
private slots:
    // Buttons and keys step through both trains' graphs and stop at either end; the window
    // sees the keys before the control that has the focus.
    void navigation() {
        Env env;
        auto* main = new QWidget;
        main->move(100, 80);
        env.prog().windows.add("frmMain", main);
        frmEditSavedGraphs* w = env.open();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("UserGraphs"));
        QCOMPARE(w->pos(), main->frameGeometry().topLeft() + QPoint(17, 167));
        QCOMPARE(shown(w), QString("Alpha | Record: 1"));
        QCOMPARE(w->txtFields[2]->text(), QString("P1"));
        QVERIFY(!w->txtFields[0]->isEnabled() && !w->txtFields[2]->isEnabled());
        QVERIFY(w->txtFields[1]->isHidden());

        QTest::mouseClick(w->cmdPrevious, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Alpha | Record: 1"));
        QTest::mouseClick(w->cmdNext, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Beta's | Record: 2"));
        QTest::mouseClick(w->cmdLast, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Last Graph | Record: 3"));
        QTest::mouseClick(w->cmdNext, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Last Graph | Record: 3"));
        QTest::mouseClick(w->cmdFirst, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Alpha | Record: 1"));

        struct Key {
            Qt::Key key;
            Qt::KeyboardModifiers shift;
            QString expected;
        };
        const Key keys[] = {
            {Qt::Key_Down, Qt::NoModifier, "Beta's | Record: 2"},
            {Qt::Key_PageDown, Qt::NoModifier, "Last Graph | Record: 3"},
            {Qt::Key_Up, Qt::NoModifier, "Beta's | Record: 2"},
            {Qt::Key_Home, Qt::NoModifier, "Alpha | Record: 1"},
            {Qt::Key_Down, Qt::ControlModifier, "Last Graph | Record: 3"},
            {Qt::Key_Up, Qt::ControlModifier, "Alpha | Record: 1"},
            {Qt::Key_End, Qt::NoModifier, "Last Graph | Record: 3"},
            {Qt::Key_PageUp, Qt::ControlModifier, "Alpha | Record: 1"},
            {Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier, "Beta's | Record: 2"},
        };
        for (const Key& k : keys) {
            QTest::keyClick(w->cmdRefresh, k.key, k.shift);
            QCOMPARE(shown(w), k.expected);
        }
        QTest::keyClick(w->cmdDelete, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env.prog().windows.isLoaded("frmEditSavedGraphs"));
        QVERIFY(env.stored().contains("P1:Alpha"));
        QCOMPARE(env.prompts.verify(), QString());
        delete main;
    }

    // Deleting moves on to the next row, or the last one; the last deletion and a delete on
    // the empty set say that all graphs have been deleted; other projects keep theirs.
    void deleting() {
        Env env;
        frmEditSavedGraphs* w = env.open();
        QTest::mouseClick(w->cmdNext, Qt::LeftButton);
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Last Graph | Record: 2"));
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Alpha | Record: 1"));
        QCOMPARE(env.stored(), QStringList({"P1:Alpha", "P2:Other"}));

        env.prompts.onMessage(AllDeleted, Buttons::OK, "Hevrin", Answer::OK);
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QCOMPARE(env.stored(), QStringList({"P2:Other"}));
        QCOMPARE(w->txtFields[0]->text(), QString());
        env.prompts.onMessage(AllDeleted, Buttons::OK, "Hevrin", Answer::OK);
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);

        // On the empty set Next and Previous do nothing; First and Last report the error.
        QTest::mouseClick(w->cmdNext, Qt::LeftButton);
        QTest::mouseClick(w->cmdPrevious, Qt::LeftButton);
        env.prompts
            .onMessage("Requested operation requires a current record", Buttons::OK, "Hevrin", Answer::OK)
            .onMessage("Requested operation requires a current record", Buttons::OK, "Hevrin", Answer::OK);
        QTest::mouseClick(w->cmdFirst, Qt::LeftButton);
        QTest::mouseClick(w->cmdLast, Qt::LeftButton);
        QCOMPARE(env.prompts.verify(), QString());

        // Refresh reads the project's rows again.
        env.graph("P1", 3, "Gamma");
        QTest::mouseClick(w->cmdRefresh, Qt::LeftButton);
        QCOMPARE(shown(w), QString("Gamma | Record: 1"));

        // A deletion the database refuses says so, and the row stays on display.
        Database::open(env.prog().ProjectDatabasePath).exec("DROP TABLE UserGraphs");
        env.prompts.onMessage("UserGraphs", Buttons::OK, "Hevrin", Answer::OK);
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(shown(w), QString("Gamma | Record: 1"));
    }

    // A database that cannot be read is reported and the window does not open.
    void unreadableDatabase() {
        Env env;
        QFile::remove(env.prog().ProjectDatabasePath);
        env.prompts.onMessage("", Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(!env.open());
        QCOMPARE(env.prompts.verify(), QString());
        QVERIFY(!env.prog().windows.isLoaded("frmEditSavedGraphs"));
    }
};

QTEST_MAIN(TestSavedGraphBrowser)
#include "tst_savedgraphbrowser.moc"
