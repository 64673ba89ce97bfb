#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "linktestnames.h"
#include "platform/links/linkclient.h"
#include "platform/links/linkerrors.h"
#include "platform/links/linkserver.h"

using namespace hv::links;

// A server that accepts connections and answers INIT only when told to, and nothing
// else: the far end of a hung program.
class SilentServer : public QObject {
public:
    SilentServer(const QString& name, bool answerInit) {
        server.setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(name.toLower());
        server.listen(name.toLower());
        connect(&server, &QLocalServer::newConnection, this, [this, answerInit] {
            QLocalSocket* s = server.nextPendingConnection();
            connect(s, &QLocalSocket::readyRead, s, [s, answerInit] {
                while (s->canReadLine())
                    if (s->readLine().startsWith("INIT") && answerInit) s->write("ACK\n");
            });
        });
    }
    QLocalServer server;
};

class TestLinks : public QObject {
    Q_OBJECT
    QString name;
    std::unique_ptr<LinkServer> server;

    void link(LinkClient& c, const QString& topic, const QString& item) {
        c.setLinkMode(0);
        c.setLinkTopic(name + "|" + topic);
        c.setLinkItem(item);
    }

private slots:
    void init() {
        name = uniqueServerName();
        server = std::make_unique<LinkServer>();
        QVERIFY2(server->listen(name), qPrintable(server->errorString()));
        server->setValue("Plant", "FT101", "12.5");
        server->setValue("Plant", "Odd", "a\tb\nc\\d \"q\"");
        server->setSheet("Sheet1", {{"2026-01-02 08:00", "7"}, {}, {"", "x"}});
    }
    void cleanup() { server.reset(); }

    void automaticLinkFollowsTheServer() {
        LinkClient c;
        QSignalSpy spy(&c, &LinkClient::textChanged);
        link(c, "PLANT", "ft101");
        QCOMPARE(c.setLinkMode(1), 0);
        QCOMPARE(c.linkMode(), 1);
        QCOMPARE(spy.count(), 0);  // queued, never inside the call that opened the link
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.last().at(0).toString(), QString("12.5"));

        server->setValue("plant", "FT101", "13.0");
        QVERIFY(spy.wait(5000));
        QCOMPARE(c.text(), QString("13.0"));

        // Relinked to another item by the windows' sequence: the old item no longer
        // reaches the box.
        link(c, "Plant", "Odd");
        QCOMPARE(c.setLinkMode(2), 0);
        server->setValue("Plant", "FT101", "99");
        QCOMPARE(c.linkRequest(), 0);
        QCOMPARE(c.text(), QString("a\tb\nc\\d \"q\""));
        for (const auto& args : spy)
            QVERIFY(args.at(0).toString() != "99");
    }

    void requestsAndErrorNumbers_data() {
        QTest::addColumn<QString>("topic");  // "~" stands for the test server's name
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("requestError");
        QTest::addColumn<QString>("text");
        QTest::newRow("table item") << "~|plant"
                                    << "FT101" << 2 << 0 << 0 << "12.5";
        QTest::newRow("request on automatic link") << "~|Plant"
                                                   << "ft101" << 1 << 0 << 0 << "12.5";
        QTest::newRow("sheet cell any case") << "~|sheet1"
                                             << "r1c1" << 2 << 0 << 0 << "2026-01-02 08:00";
        QTest::newRow("sheet cell leading zero") << "~|Sheet1"
                                                 << "R03C02" << 2 << 0 << 0 << "x";
        QTest::newRow("sheet cell outside data") << "~|Sheet1"
                                                 << "R900C9" << 2 << 0 << 0 << "";
        QTest::newRow("sheet item not a cell") << "~|Sheet1"
                                               << "A1" << 2 << 0 << 285 << "";
        QTest::newRow("item refused, manual") << "~|Plant"
                                              << "FT999" << 2 << 0 << 285 << "";
        QTest::newRow("item refused, automatic") << "~|Plant"
                                                 << "FT999" << 1 << 285 << 293 << "";
        QTest::newRow("topic refused") << "~|Nothing"
                                       << "FT101" << 2 << 282 << 293 << "";
        QTest::newRow("no such application") << "hv-nobody-serves-this|Plant"
                                             << "FT101" << 1 << 282 << 293 << "";
        QTest::newRow("no bar") << "~"
                                << "FT101" << 2 << 282 << 293 << "";
        QTest::newRow("empty application") << "|Plant"
                                           << "FT101" << 2 << 282 << 293 << "";
        QTest::newRow("a path is no name") << "/tmp/x|Plant"
                                           << "FT101" << 2 << 282 << 293 << "";
        QTest::newRow("no link") << "~|Plant"
                                 << "FT101" << 0 << 0 << 293 << "";
        QTest::newRow("bad mode") << "~|Plant"
                                  << "FT101" << 3 << 380 << 293 << "";
    }
    void requestsAndErrorNumbers() {
        QFETCH(QString, topic);
        QFETCH(QString, item);
        QFETCH(int, mode);
        QFETCH(int, openError);
        QFETCH(int, requestError);
        QFETCH(QString, text);
        LinkClient c;
        c.setLinkTopic(QString(topic).replace("~", name));
        c.setLinkItem(item);
        QCOMPARE(c.setLinkMode(mode), openError);
        QCOMPARE(c.lastError(), openError);
        QCOMPARE(c.linkMode(), openError ? 0 : mode);
        QSignalSpy spy(&c, &LinkClient::textChanged);
        QCOMPARE(c.linkRequest(), requestError);
        if (requestError == 0) {
            QCOMPARE(c.text(), text);
            QVERIFY(!spy.isEmpty());  // before linkRequest returned
            QCOMPARE(spy.last().at(0).toString(), text);
        } else {
            QVERIFY(!c.lastErrorText().isEmpty());
        }
    }

    void waitsAreBounded() {
        const QString hung = uniqueServerName();
        LinkClient c;
        c.setLinkTimeout(50);
        c.setLinkTopic(hung + "|Plant");
        c.setLinkItem("FT101");
        {
            SilentServer s(hung, false);
            QCOMPARE(c.setLinkMode(2), 286);
            QCOMPARE(c.linkMode(), 0);
        }
        SilentServer s(hung, true);  // opens links, never answers a request
        QCOMPARE(c.setLinkMode(2), 0);
        QCOMPARE(c.linkRequest(), 286);
        QCOMPARE(c.linkMode(), 0);
        QCOMPARE(c.linkRequest(), 293);
        QCOMPARE(c.setLinkMode(1), 286);
    }

    void relinksAfterTheServerRestarts() {
        LinkClient c;
        QSignalSpy closed(&c, &LinkClient::linkClosed);
        link(c, "Plant", "FT101");
        QCOMPARE(c.setLinkMode(2), 0);
        server.reset();
        QVERIFY(closed.wait(5000));
        QCOMPARE(c.linkMode(), 0);
        QCOMPARE(c.linkRequest(), 293);
        QCOMPARE(c.setLinkMode(2), 282);

        server = std::make_unique<LinkServer>();
        QVERIFY(server->listen(name));
        server->setValue("Plant", "FT101", "1");
        QCOMPARE(c.setLinkMode(2), 0);
        QCOMPARE(c.linkRequest(), 0);
        QCOMPARE(c.text(), QString("1"));

        // The idle connection kept after mode 0 outlives its server when no event ran
        // in between: the next link finds the new server all the same.
        c.setLinkMode(0);
        server = std::make_unique<LinkServer>();
        QVERIFY(server->listen(name));
        server->setValue("Plant", "FT101", "2");
        QCOMPARE(c.setLinkMode(1), 0);
        QCOMPARE(c.linkRequest(), 0);
        QCOMPARE(c.text(), QString("2"));
    }

    void secondServerOfANameIsRefused() {
        LinkServer other;
        QVERIFY(!other.listen(name.toUpper()));
        QVERIFY(other.errorString().contains(name.toLower()));
    }

    void csvAsWritten() {
        const QByteArray csv = "\xEF\xBB\xBF"
                               "a,\"b,1\",\"say \"\"hi\"\"\"\r\n"
                               "\n"
                               "\"two\nlines\", 12.50 ,\n"
                               "last";
        const QList<QStringList> rows = parseCsv(csv);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], (QStringList{"a", "b,1", "say \"hi\""}));
        QVERIFY(rows[1].isEmpty());
        QCOMPARE(rows[2], (QStringList{"two\nlines", " 12.50 ", ""}));
        QCOMPARE(rows[3], QStringList{"last"});
    }
};

QTEST_GUILESS_MAIN(TestLinks)
#include "tst_links.moc"
