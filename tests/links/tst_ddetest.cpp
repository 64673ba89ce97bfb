#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "ddetestwindow.h"
#include "platform/links/linkclient.h"
#include "platform/prompts.h"
#include "support/fitcheck.h"
#include "support/linknames.h"

using namespace hv::links;
using hv::test::uniqueServerName;

class TestDdeTest : public QObject {
    Q_OBJECT

private slots:
    // The link test program as the windows' tests use it: a CSV sheet and an item list
    // served headless, stopped by closing its input.
    void servesSheetsAndItemsHeadless() {
        QTemporaryDir dir;
        const QString sheet = dir.filePath("Log Sheet.csv");
        const QString items = dir.filePath("items.txt");
        QFile f(sheet);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("TheDate,PermFlow\n2026-01-02 08:00,12.50\n2026-01-03 08:00,\"1,5\"\n");
        f.close();
        QFile g(items);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write("Plant,FT101,3,25\n");
        g.close();

        const QString name = uniqueServerName();
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/ddetest",
                {"--serve", name, "--sheet", sheet, "--items", items});
        QVERIFY2(p.waitForReadyRead(20000), qPrintable(p.readAllStandardError()));
        QVERIFY(p.readAllStandardOutput().contains("serving " + name.toLower().toUtf8()));

        const struct {
            const char* topic;
            const char* item;
            const char* text;
        } cells[] = {{"log sheet", "r2c1", "2026-01-02 08:00"},
                     {"Log Sheet", "R3C2", "1,5"},
                     {"Log Sheet", "R2C2", "12.50"},
                     {"Log Sheet", "R4C1", ""},
                     {"plant", "ft101", "3,25"}};
        LinkClient c;
        for (const auto& cell : cells) {
            c.setLinkMode(0);
            c.setLinkTopic(name + "|" + cell.topic);
            c.setLinkItem(cell.item);
            QCOMPARE(c.setLinkMode(2), 0);
            QCOMPARE(c.linkRequest(), 0);
            QCOMPARE(c.text(), QString(cell.text));
        }
        LinkClient a;
        QSignalSpy spy(&a, &LinkClient::textChanged);
        a.setLinkTopic(name + "|Log Sheet");
        a.setLinkItem("R1C2");
        QCOMPARE(a.setLinkMode(1), 0);
        QVERIFY(spy.wait(5000));
        QCOMPARE(a.text(), QString("PermFlow"));

        QSignalSpy closed(&a, &LinkClient::linkClosed);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(closed.count() > 0 || closed.wait(5000));
        QCOMPARE(c.setLinkMode(2), 282); // its socket went with it
    }

    void refusesBadArguments() {
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/ddetest",
                {"--serve", uniqueServerName(), "--sheet", "/nonexistent/none.csv"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("none.csv"));
    }

    // The window's table: an edited value reaches an automatic link at once; a renamed
    // item stops being served under its old name.
    void windowPushesEdits() {
        hv::ScriptedPrompts prompts;
        const QString name = uniqueServerName();
        DdeTestWindow w(prompts, name);
        QVERIFY(w.server().isListening());
        w.grdItems->setCurrentCell(-1, -1);
        w.cmdAddRow_Click();
        const int r = w.grdItems->rowCount() - 1;
        QCOMPARE(w.grdItems->item(r, 0)->text(), QString("Sheet1"));
        w.grdItems->item(r, 1)->setText("R2C3");
        w.grdItems->item(r, 2)->setText("41");

        LinkClient c;
        QSignalSpy spy(&c, &LinkClient::textChanged);
        c.setLinkTopic(name + "|Sheet1");
        c.setLinkItem("r2c3");
        QCOMPARE(c.setLinkMode(1), 0);
        QVERIFY(spy.wait(5000));
        QCOMPARE(c.text(), QString("41"));
        w.grdItems->item(r, 2)->setText("42");
        QVERIFY(spy.wait(5000));
        QCOMPARE(c.text(), QString("42"));

        w.grdItems->item(r, 1)->setText("R9C9"); // moved: the old cell is empty now
        QVERIFY(spy.wait(5000));
        QCOMPARE(c.text(), QString());
        QCOMPARE(w.server().value("sheet1", "R9C9").value_or("-"), QString("42"));

        w.grdItems->item(r, 0)->setText("Tags");
        w.grdItems->item(r, 1)->setText("Not a cell");
        QCOMPARE(w.server().value("Tags", "not a CELL").value_or("-"), QString("42"));
        w.grdItems->setCurrentCell(r, 0);
        w.cmdDeleteRow_Click();
        QVERIFY(!w.server().value("Tags", "Not a cell").has_value());

        QTemporaryDir dir;
        QFile f(dir.filePath("Feed.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("a,,c\n");
        f.close();
        prompts.onOpenFile(f.fileName());
        w.cmdAddSheet_Click();
        QCOMPARE(w.grdItems->rowCount(), 2); // the served entries: Feed's two cells
        QCOMPARE(w.grdItems->item(1, 0)->text(), QString("Feed"));
        QCOMPARE(w.grdItems->item(1, 1)->text(), QString("R1C3"));
        QCOMPARE(w.server().value("feed", "R1C3").value_or("-"), QString("c"));
        QCOMPARE(prompts.verify(), QString());
    }

    // The window shows every text whole: a served sheet's long names and values, and the
    // status after a cell it refuses.
    void windowShowsItsTextsWhole() {
        hv::ScriptedPrompts prompts;
        DdeTestWindow w(prompts, uniqueServerName());
        QTemporaryDir dir;
        QFile f(dir.filePath("Plant operations log.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("TheDate,NormalizedSaltPassage_3\n2026-11-30 23:45:00,1234.5678\n");
        f.close();
        prompts.onOpenFile(f.fileName());
        w.cmdAddSheet_Click();
        w.show();
        QStringList cut = hv::test::cutOffTexts(&w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        w.grdItems->item(0, 1)->setText("Not a cell");
        QVERIFY(w.lblStatus->text().startsWith("The items of sheet"));
        cut = hv::test::cutOffTexts(&w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
        QCOMPARE(prompts.verify(), QString());
    }
};

HV_FIT_TEST_MAIN(TestDdeTest)
#include "tst_ddetest.moc"
