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

    void qtFilter() {
        QCOMPARE(toQtFilter("Text files|*.txt;*.csv|All|*.*"),
                 QString("Text files (*.txt *.csv);;All (*.*)"));
        QCOMPARE(toQtFilter("Pictures (*.jpg)|*.jpg"), QString("Pictures (*.jpg)"));
    }
};

QTEST_GUILESS_MAIN(TestPrompts)
#include "tst_prompts.moc"
