#include <QtTest>

#include "platform/profile.h"
#include "support/files.h"
#include "support/testenv.h"

using namespace hv;

namespace {} // namespace

class TestProfile : public QObject {
    Q_OBJECT
private slots:
    void readsCaseBlindWithDefaults() {
        test::TestEnv env;
        const QString ini = env.path("a.ini");
        QCOMPARE(profile::getString("S", "k", "dflt  ", ini), QString("dflt")); // no file at all
        QCOMPARE(profile::getInt("S", "k", -9, ini), -9L);
        QVERIFY(!QFile::exists(ini));
        test::writeFile(
            ini, "; comment=1\n[ Current Project ]\nGraphPath = /g \nnoequals\n[Other]\nGraphPath=/other\n"
                 "[current project]\nGraphPath=/second\n");
        QCOMPARE(profile::getString("CURRENT PROJECT", "graphpath", "", ini), QString("/g"));
        QCOMPARE(profile::getString("other", "GRAPHPATH", "", ini), QString("/other"));
        QCOMPARE(profile::getString("Current Project", "noequals", "d", ini), QString("d"));
        QCOMPARE(profile::getString("Current Project", "Missing", "d", ini), QString("d"));
        QCOMPARE(profile::getString("Missing", "GraphPath", "d", ini), QString("d"));
        QCOMPARE(profile::getString("", "; comment", "d", ini), QString("d"));
    }

    void stripsQuotes() {
        test::TestEnv env;
        const QString ini = env.path("a.ini");
        test::writeFile(ini, "[S]\nd=\"a b\"\ns='c'\nhalf=\"x\ninner=a\"b\"c\n");
        QCOMPARE(profile::getString("S", "d", "", ini), QString("a b"));
        QCOMPARE(profile::getString("S", "s", "", ini), QString("c"));
        QCOMPARE(profile::getString("S", "half", "", ini), QString("\"x"));
        QCOMPARE(profile::getString("S", "inner", "", ini), QString("a\"b\"c"));
    }

    void integers() {
        test::TestEnv env;
        const QString ini = env.path("a.ini");
        test::writeFile(ini, "[S]\na=42\nb= -7 \nc=12abc\nd=abc\ne=\nf=+3\n");
        QCOMPARE(profile::getInt("S", "a", 0, ini), 42L);
        QCOMPARE(profile::getInt("S", "b", 0, ini), -7L);
        QCOMPARE(profile::getInt("S", "c", 0, ini), 12L);
        QCOMPARE(profile::getInt("S", "d", 5, ini), 0L);
        QCOMPARE(profile::getInt("S", "e", 5, ini), 0L);
        QCOMPARE(profile::getInt("S", "f", 0, ini), 3L);
        QCOMPARE(profile::getInt("S", "missing", 5, ini), 5L);
    }

    void writeCreatesTheFile() {
        test::TestEnv env;
        const QString ini = env.path("new.ini");
        QVERIFY(profile::writeString("Current Project", "Database", "/x.mdb", ini));
        QCOMPARE(test::readFile(ini), QByteArray("[Current Project]\nDatabase=/x.mdb\n"));
        QVERIFY(!profile::writeString("S", "k", "v", env.path("no/such/folder/a.ini")));
    }

    void writeKeepsEveryOtherLine() {
        test::TestEnv env;
        const QString ini = env.path("a.ini");
        test::writeFile(ini,
                        "; top comment\r\n[Graph Styles]\r\nColor=5\r\n\r\n[Current Project]\r\n; keep\r\n"
                        "Train=1\r\nnoequals\r\n\r\n[Projects]\r\nTrain=7\r\n");
        QVERIFY(profile::writeString("current project", "TRAIN", "2", ini));
        QVERIFY(profile::writeString("Graph Styles", "Width", "3", ini));
        QVERIFY(profile::writeString("New", "k", "v", ini));
        // Line ends stay as the file had them; a new key goes before its section's blank gap.
        QCOMPARE(test::readFile(ini),
                 QByteArray("; top comment\r\n[Graph Styles]\r\nColor=5\r\nWidth=3\r\n\r\n"
                            "[Current Project]\r\n; keep\r\nTRAIN=2\r\nnoequals\r\n\r\n"
                            "[Projects]\r\nTrain=7\r\n\r\n[New]\r\nk=v\r\n"));
        QCOMPARE(profile::getString("Projects", "Train", "", ini), QString("7"));
    }

    // Another program's bytes (a Latin-1 name, a binary line, no final line end) come back
    // exactly; only the written line is new.
    void writeKeepsOtherBytesAsTheyWere() {
        test::TestEnv env;
        const QString ini = env.path("a.ini");
        const QByteArray binary("\x00\x01\xff\xfe=\x80\r", 7);
        const QByteArray head =
            "[Names]\r\nOperator=M\xfcller\r\nRaw=" + binary + "\r\n[Current Project]\r\nTrain=1";
        test::writeFile(ini, head);
        QVERIFY(profile::writeString("Current Project", "Train", "2", ini));
        QVERIFY(profile::writeString("Current Project", "Project", "\u00dcberlingen", ini));
        QCOMPARE(test::readFile(ini), head.left(head.size() - 1) + "2\r\nProject=\xc3\x9c"
                                                                   "berlingen\r\n");
        QCOMPARE(profile::getString("Names", "Operator", "", ini), QString("M\u00fcller"));
        QCOMPARE(profile::getString("Current Project", "Project", "", ini), QString("\u00dcberlingen"));
    }

    void failedWriteKeepsTheOldFile() {
        test::TestEnv env;
        const QString ini = env.path("a.ini");
        const QByteArray old = "[Current Project]\nTrain=1\n;" + QByteArray(4000, 'x') + "\n";
        test::writeFile(ini, old);
        QString error;
        {
            test::FileSizeLimit full(1024);
            QVERIFY(!profile::writeString("Current Project", "Train", "2", ini, &error));
        }
        QVERIFY2(error.contains("file-size limit of 1024 bytes"), qPrintable(error));
        QCOMPARE(test::readFile(ini), old);
        QCOMPARE(QDir(env.dir.path()).entryList({"a.ini*"}, QDir::Files | QDir::Hidden),
                 QStringList({"a.ini"}));

        QFile::setPermissions(ini, QFile::ReadOwner);
        if (!QFileInfo(ini).isWritable()) { // root may write anything
            QVERIFY(!profile::writeString("Current Project", "Train", "2", ini));
            QCOMPARE(test::readFile(ini), old);
        }
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
