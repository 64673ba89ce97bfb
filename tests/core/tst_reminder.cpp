#include <QtTest>

#include "core/program.h"
#include "core/reminder.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

using namespace hv;

namespace {

const QString Question = "Recalculate all projects now?  You will have a chance to first backup";
const QString Repeat = "This message will repeat until the database is recalculated.";

// A database at 1.3.20 whose recalculation hook stamps it with the program's version.
void setUp(test::TestEnv& env, int* recalcs) {
    Program& p = env.prog();
    test::makePreSpecFluxDatabase(p.ProjectDatabasePath, "1.3.20");
    p.DbVersionMajor = 1;
    p.DbVersionMinor = 3;
    p.DbVersionRevision = 20;
    p.RecalculateAllProjects = [&p, recalcs] {
        ++*recalcs;
        Database::open(p.ProjectDatabasePath)
            .exec("INSERT INTO Version (Version, Notes) VALUES ('1.3.38', '')");
    };
}

} // namespace

class TestReminder : public QObject {
    Q_OBJECT
private slots:
    void asksBelow1330ByEachNumber() {
        QVERIFY(NeedsRecalculationReminder(1, 3, 20));
        QVERIFY(NeedsRecalculationReminder(1, 2, 5));
        QVERIFY(NeedsRecalculationReminder(0, 0, 0));
        QVERIFY(NeedsRecalculationReminder(-1, -1, 0));
        QVERIFY(!NeedsRecalculationReminder(1, 3, 38));
        QVERIFY(!NeedsRecalculationReminder(1, 2, 45));
        QVERIFY(!NeedsRecalculationReminder(2, 0, 0));
        QVERIFY(!NeedsRecalculationReminder(1, 4, 0));
    }

    void noOrCancelOnlyNotes_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("No") << int(Answer::No);
        QTest::newRow("Cancel") << int(Answer::Cancel);
    }
    void noOrCancelOnlyNotes() {
        QFETCH(int, answer);
        test::TestEnv env;
        int recalcs = 0;
        setUp(env, &recalcs);
        env.prompts
            .onMessage(Question, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer(answer))
            .onMessage(Repeat, Buttons::OK, "Hevrin", Answer::OK);
        CheckDbVersionMessage(env.prog());
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(recalcs, 0);
        QCOMPARE(env.prog().DbVersionRevision, qint16(20));
    }

    void yesRecalculatesEvenWhenTheBackupIsCancelled() {
        test::TestEnv env;
        int recalcs = 0;
        setUp(env, &recalcs);
        Program& p = env.prog();
        env.prompts
            .onMessage(Question, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer::Yes)
            .onSaveFile("");
        CheckDbVersionMessage(p);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(recalcs, 1);
        QCOMPARE(p.mainLabels.lblDBVersion(), QString("DB Version: 1.3.38"));
        QCOMPARE(p.DbVersionRevision, qint16(38));

        // The next check asks nothing.
        CheckDbVersionMessage(p);
        QCOMPARE(env.prompts.shown().size(), 2);
    }

    void yesWithABackupMadeFirst() {
        test::TestEnv env;
        int recalcs = 0;
        setUp(env, &recalcs);
        const QString copy = env.path("before-recalc.hv3.mdb");
        env.prompts
            .onMessage(Question, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer::Yes)
            .onSaveFile(copy);
        CheckDbVersionMessage(env.prog());
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(recalcs, 1);
        // The copy was taken before the recalculation stamped the database.
        Database backup = Database::open(copy);
        QCOMPARE(backup.scalar("SELECT Version FROM Version ORDER BY ID DESC LIMIT 1").toString(),
                 QString("1.3.20"));
    }

    void failedBackupAsksWhetherToGoOn() {
        test::TestEnv env;
        int recalcs = 0;
        setUp(env, &recalcs);
        const QString bad = env.path("missing folder/copy.mdb");
        env.prompts
            .onMessage(Question, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer::Yes)
            .onSaveFile(bad)
            .onMessage("Error in backup to " + bad, Buttons::YesNo, "Hevrin", Answer::No)
            .onMessage(Repeat, Buttons::OK, "Hevrin", Answer::OK);
        CheckDbVersionMessage(env.prog());
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(recalcs, 0);

        env.prompts
            .onMessage(Question, Buttons::YesNoCancel, "Important Hevrin Version Information", Answer::Yes)
            .onSaveFile(bad)
            .onMessage("Recalculate all projects without a backup?", Buttons::YesNo, "Hevrin", Answer::Yes);
        CheckDbVersionMessage(env.prog());
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(recalcs, 1);
    }
};

QTEST_GUILESS_MAIN(TestReminder)
#include "tst_reminder.moc"
