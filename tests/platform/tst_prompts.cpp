#include <QtTest>

#include "platform/prompts.h"

using namespace hv;

// Every GUI test relies on the script catching a prompt it did not expect.
class TestPrompts : public QObject {
    Q_OBJECT
private slots:
    void answersInOrder() {
        ScriptedPrompts script;
        Prompts& p = script; // as the program calls it, with the interface's defaults
        script.onMessage("Save changes", Buttons::YesNo, "Hevrin", Answer::Yes)
            .onInput("Name", QString("G1"))
            .onInput("", std::nullopt);
        script.onOpenFile("/a.mdb").onSaveFile("");
        QCOMPARE(p.message("Save changes?\r\nNow", Buttons::YesNo), Answer::Yes);
        QCOMPARE(p.input("Name of the graph"), std::optional<QString>("G1"));
        QCOMPARE(p.input("anything"), std::optional<QString>());
        QCOMPARE(p.openFile("Open", "Databases|*.mdb|All|*.*"), QString("/a.mdb"));
        QCOMPARE(p.saveFile("Save", "Text|*.txt"), QString());
        QVERIFY(script.done());
        QCOMPARE(script.verify(), QString());
        QCOMPARE(script.shown().size(), 5);
        QCOMPARE(script.shown().first(), QString("Save changes?\r\nNow"));
        QCOMPARE(script.lastFilters, QStringList({"Databases|*.mdb|All|*.*", "Text|*.txt"}));
    }

    void unexpectedPromptsFail() {
        ScriptedPrompts script;
        Prompts& p = script;
        QCOMPARE(p.message("Surprise", Buttons::OK), Answer::OK);
        QCOMPARE(p.message("Delete?", Buttons::YesNo), Answer::No);
        QCOMPARE(p.message("Go on?", Buttons::OKCancel), Answer::Cancel);
        QCOMPARE(p.input("Name"), std::optional<QString>());
        QCOMPARE(script.failures().size(), 4);
        QVERIFY(script.verify().contains("Surprise"));
    }

    void mismatchesAndLeftoversFail() {
        ScriptedPrompts wrongText;
        wrongText.onMessage("Backup done", Buttons::OK, "Hevrin", Answer::OK);
        static_cast<Prompts&>(wrongText).message("Backup failed");
        QVERIFY(wrongText.verify().contains("Backup done"));

        ScriptedPrompts wrongKind;
        wrongKind.onInput("Name", QString("x"));
        QCOMPARE(static_cast<Prompts&>(wrongKind).message("Really?", Buttons::YesNo), Answer::No);
        QVERIFY(!wrongKind.verify().isEmpty());
        QCOMPARE(wrongKind.pending(), 1);

        ScriptedPrompts leftover;
        leftover.onMessage("Never shown", Buttons::OK, "Hevrin", Answer::OK);
        QVERIFY(leftover.verify().contains("Never shown"));
        leftover.clear();
        QCOMPARE(leftover.verify(), QString());

        // The buttons and the title are part of what is checked.
        ScriptedPrompts wrongButtons;
        wrongButtons.onMessage("Delete?", Buttons::YesNo, "Hevrin", Answer::Yes)
            .onMessage("Delete?", Buttons::YesNo, "Hevrin", Answer::Yes);
        QCOMPARE(static_cast<Prompts&>(wrongButtons).message("Delete?", Buttons::OKCancel), Answer::Yes);
        QCOMPARE(static_cast<Prompts&>(wrongButtons).message("Delete?", Buttons::YesNo, Icon::None, "Other"),
                 Answer::Yes);
        QCOMPARE(wrongButtons.failures().size(), 2);
        QVERIFY(wrongButtons.failures().first().contains("expected Yes/No buttons, got OK/Cancel"));
        QVERIFY(wrongButtons.failures().last().contains("expected title \"Hevrin\", got \"Other\""));
    }

    // A name typed without an extension gets the one of the chosen filter, as a desktop's
    // save dialog adds it; one of its own stays.
    void saveNameTakesTheFilterExtension_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("saved");
        const QString text = "Text (*.txt)";
        QTest::newRow("none") << "/d/northbay_export" << text << "/d/northbay_export.txt";
        QTest::newRow("its own") << "/d/x.csv" << text << "/d/x.csv";
        QTest::newRow("the filter's, other case") << "/d/x.TXT" << text << "/d/x.TXT";
        QTest::newRow("a dot in the folder") << "/d/v1.2/x" << text << "/d/v1.2/x.txt";
        QTest::newRow("dots that are no extension") << "/d/run.01.15.26" << text << "/d/run.01.15.26.txt";
        QTest::newRow("a closing dot") << "/d/x." << text << "/d/x.txt";
        QTest::newRow("pdf") << "/d/graph1"
                             << "PDF Files (*.pdf)"
                             << "/d/graph1.pdf";
        QTest::newRow("several, the first") << "/d/x"
                                            << "Text files (*.txt *.csv)"
                                            << "/d/x.txt";
        QTest::newRow("several, another one typed") << "/d/x.csv"
                                                    << "Text files (*.txt *.csv)"
                                                    << "/d/x.csv";
        QTest::newRow("patterns alone") << "/d/x"
                                        << "*.txt;*.csv"
                                        << "/d/x.txt";
        QTest::newRow("two-part extension") << "/d/db"
                                            << "HV 3 bank DB Files (*.hv3.mdb)"
                                            << "/d/db.hv3.mdb";
        QTest::newRow("two-part extension typed") << "/d/db.hv3.mdb"
                                                  << "HV 3 bank DB Files (*.hv3.mdb)"
                                                  << "/d/db.hv3.mdb";
        QTest::newRow("all files") << "/d/x"
                                   << "All Files (*.*)"
                                   << "/d/x";
        QTest::newRow("star") << "/d/x"
                              << "Anything (*)"
                              << "/d/x";
        QTest::newRow("any among several") << "/d/x"
                                           << "Some (*.txt *.*)"
                                           << "/d/x";
        QTest::newRow("wildcard extension") << "/d/x"
                                            << "Backups (*.ba?)"
                                            << "/d/x";
        QTest::newRow("no filter") << "/d/x"
                                   << ""
                                   << "/d/x";
        QTest::newRow("cancelled") << "" << text << "";
    }
    void saveNameTakesTheFilterExtension() {
        QFETCH(QString, typed);
        QFETCH(QString, filter);
        QFETCH(QString, saved);
        QCOMPARE(WithFilterExtension(typed, filter), saved);
    }

    // The script answers as the dialog would: with the first filter chosen.
    void scriptedSaveAddsTheExtension() {
        ScriptedPrompts script;
        Prompts& p = script;
        script.onSaveFile("/d/northbay_export").onSaveFile("/d/all").onSaveFile("/d/x.csv");
        QCOMPARE(p.saveFile("Save", "Text (*.txt)|*.txt|All Files (*.*)|*.*"),
                 QString("/d/northbay_export.txt"));
        QCOMPARE(p.saveFile("Save", "All Files (*.*)|*.*|Text (*.txt)|*.txt"), QString("/d/all"));
        QCOMPARE(p.saveFile("Save", "Text|*.txt"), QString("/d/x.csv"));
        QCOMPARE(script.verify(), QString());
    }

    void qtFilter() {
        QCOMPARE(toQtFilter("Text files|*.txt;*.csv|All|*.*"),
                 QString("Text files (*.txt *.csv);;All (*.*)"));
        QCOMPARE(toQtFilter("Pictures (*.jpg)|*.jpg"), QString("Pictures (*.jpg)"));
    }
};

QTEST_GUILESS_MAIN(TestPrompts)
#include "tst_prompts.moc"
