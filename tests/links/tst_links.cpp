#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/links/linkclient.h"
#include "platform/links/linkerrors.h"
#include "platform/links/linkserver.h"
#include "support/linknames.h"

using namespace hv::links;
using hv::test::uniqueServerName;

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

// A server that opens every topic and answers each other line with what `reply` makes of it;
// with `closeAfterRequest`, it ends the connection once it has answered a REQUEST; with
// `replyToInit`, `reply` answers INIT as well.
class ScriptedServer : public QObject {
public:
    ScriptedServer(const QString& name, std::function<QByteArray(const QByteArray&)> reply,
                   bool closeAfterRequest = false, bool replyToInit = false) {
        server.setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(name.toLower());
        server.listen(name.toLower());
        connect(&server, &QLocalServer::newConnection, this, [this, reply, closeAfterRequest, replyToInit] {
            QLocalSocket* s = server.nextPendingConnection();
            last = s;
            connect(s, &QLocalSocket::readyRead, s, [s, reply, closeAfterRequest, replyToInit] {
                while (s->canReadLine()) {
                    const QByteArray line = s->readLine();
                    s->write(line.startsWith("INIT") && !replyToInit ? QByteArray("ACK\n") : reply(line));
                    if (closeAfterRequest && line.startsWith("REQUEST")) {
                        s->disconnectFromServer();
                        return;
                    }
                }
            });
        });
    }
    QLocalServer server;
    QPointer<QLocalSocket> last;
};

// A client that connects to a server's socket, sends its lines and never reads.
int connectWithoutReading(const QString& application, const QByteArray& lines) {
    QLocalSocket probe;
    probe.connectToServer(socketNameFor(application));
    if (!probe.waitForConnected(5000)) return -1;
    const QByteArray path = QFile::encodeName(probe.fullServerName());
    probe.abort();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.constData(),
                std::min<size_t>(size_t(path.size()), sizeof addr.sun_path - 1));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    if (::write(fd, lines.constData(), size_t(lines.size())) != lines.size()) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// The most any connection of the server has waiting to be sent.
qint64 queuedAtServer(const LinkServer& server) {
    qint64 most = 0;
    for (const QLocalSocket* s : server.findChildren<QLocalSocket*>())
        most = std::max(most, s->bytesToWrite());
    return most;
}

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
        QCOMPARE(spy.count(), 0); // queued, never inside the call that opened the link
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
        QTest::addColumn<QString>("topic"); // "~" stands for the test server's name
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
        QTest::newRow("topic refused")
            << "~|Nothing"
            << "FT101" << 2 << 282 << 293 << "is running but has no topic (sheet) called Nothing";
        QTest::newRow("no such application")
            << "hv-nobody-serves-this|Plant"
            << "FT101" << 1 << 282 << 293 << "No application called hv-nobody-serves-this is running";
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
        // A failed link names its own cause; only a program that is not there is "missing".
        if (openError) QVERIFY2(c.lastErrorText().contains(text), qPrintable(c.lastErrorText()));
        QCOMPARE(c.applicationMissing(), text.startsWith("No application called"));
        QSignalSpy spy(&c, &LinkClient::textChanged);
        QCOMPARE(c.linkRequest(), requestError);
        if (requestError == 0) {
            QCOMPARE(c.text(), text);
            QVERIFY(!spy.isEmpty()); // before linkRequest returned
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
        SilentServer s(hung, true); // opens links, never answers a request
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

    // A line without an end is refused once it passes the bound, with no more than the bound
    // held meanwhile; the next link starts afresh.
    void overlongLineIsRefused() {
        const QString app = uniqueServerName();
        bool endless = true;
        ScriptedServer s(app, [&endless](const QByteArray& line) {
            if (!line.startsWith("REQUEST")) return QByteArray("NACK\n");
            return QByteArray(endless ? "DATA R1C1\t" : "DATA R1C1\t8\n");
        });
        LinkClient c;
        c.setLinkTimeout(3000);
        c.setLinkTopic(app + "|Sheet1");
        c.setLinkItem("R1C1");
        QCOMPARE(c.setLinkMode(2), 0);
        const QPointer<QLocalSocket> held = c.findChild<QLocalSocket*>();
        QVERIFY(held);
        // The rest of the line comes a piece at a time, 8 MB in all, while the client waits.
        qint64 sent = 0, most = 0;
        QTimer feed;
        connect(&feed, &QTimer::timeout, this, [&] {
            if (held) most = std::max(most, held->bytesAvailable());
            if (!s.last || sent >= (8 << 20)) return;
            s.last->write(QByteArray(4096, '7'));
            sent += 4096;
        });
        feed.start(0);
        QSignalSpy spy(&c, &LinkClient::textChanged);
        const int error = c.linkRequest();
        feed.stop();
        QVERIFY2(most <= MaxLineBytes, qPrintable(QString::number(most)));
        QVERIFY(sent > MaxLineBytes);
        QCOMPARE(error, ItemRefused);
        QCOMPARE(c.linkMode(), 0);
        QVERIFY(spy.isEmpty());
        QCOMPARE(c.text(), QString());

        endless = false;
        QCOMPARE(c.setLinkMode(2), 0);
        QCOMPARE(c.linkRequest(), 0);
        QCOMPARE(c.text(), QString("8"));
    }

    // An answer that is not a whole value is a failed fetch: no value reaches the box, and
    // the description names the cause rather than the number's usual one.
    void badAnswerIsAFailedFetch_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("atInit"); // the answer comes to the link's INIT, not to a request
        QTest::newRow("empty value") << QByteArray("DATA R1C1\t\n") << false << 0 << "" << false;
        QTest::newRow("no link message") << QByteArray("HELLO\n") << false << int(ItemRefused)
                                         << "a line that is no link message" << false;
        QTest::newRow("no link message to INIT")
            << QByteArray("HELLO\n") << false << int(NoServer) << "a line that is no link message" << true;
        QTest::newRow("flood to INIT")
            << QByteArray(10 << 20, '7') << false << int(NoServer) << "longer than 16 KiB" << true;
        QTest::newRow("no tab") << QByteArray("DATA R1C1\n") << false << int(ItemRefused)
                                << "a DATA line without its tab" << false;
        QTest::newRow("value after a blank, no tab")
            << QByteArray("DATA R1C1 205\n") << false << int(ItemRefused) << "a DATA line without its tab"
            << false;
        QTest::newRow("10 MB answer") << "DATA R1C1\t" + QByteArray(10 << 20, '7') + "\n"
                                      << false << int(ItemRefused) << "longer than 16 KiB" << false;
        QTest::newRow("closed mid-answer")
            << QByteArray("DATA R1C1\t12") << true << int(NoLink) << "closed the link" << false;
    }
    void badAnswerIsAFailedFetch() {
        QFETCH(QByteArray, answer);
        QFETCH(bool, closes);
        QFETCH(int, error);
        QFETCH(QString, cause);
        QFETCH(bool, atInit);
        const QString app = uniqueServerName();
        ScriptedServer s(
            app,
            [&answer](const QByteArray& line) {
                return line.startsWith("REQUEST") || line.startsWith("INIT") ? answer : QByteArray("NACK\n");
            },
            closes, atInit);
        LinkClient c;
        c.setLinkTimeout(3000);
        c.setLinkTopic(app + "|Sheet1");
        c.setLinkItem("R1C1");
        if (atInit) {
            // The program runs but answers no link: its answer is named, not a missing program.
            QCOMPARE(c.setLinkMode(2), error);
            QVERIFY2(c.lastErrorText().contains(cause), qPrintable(c.lastErrorText()));
            QVERIFY(!c.applicationMissing());
            return;
        }
        QCOMPARE(c.setLinkMode(2), 0);
        QSignalSpy spy(&c, &LinkClient::textChanged);
        QCOMPARE(c.linkRequest(), error);
        QCOMPARE(spy.size(), error == 0 ? 1 : 0);
        QCOMPARE(c.text(), QString());
        QVERIFY2(c.lastErrorText().contains(cause), qPrintable(c.lastErrorText()));
        QCOMPARE(c.lastErrorText().isEmpty(), error == 0);
    }

    // A request is answered only by a DATA line for its own item, however many lines for
    // other items come first; an automatic link takes only its own item's updates.
    void answerOnlyForTheItemAsked() {
        const QString app = uniqueServerName();
        QByteArray others;
        for (int i = 0; i < 400; ++i)
            others += "DATA R9C" + QByteArray::number(i + 1) + "\t" + QByteArray(100, 'x') + "\n";
        int requests = 0;
        ScriptedServer s(app, [&](const QByteArray& line) {
            if (line.startsWith("ADVISE")) return QByteArray("ACK\nDATA R9C9\tnot mine\nDATA r1c1\tfirst\n");
            if (!line.startsWith("REQUEST")) return QByteArray("NACK\n");
            return ++requests == 1 ? others + "DATA r1C1\t42\n" : QByteArray("DATA R2C1\t666\n");
        });
        LinkClient c;
        c.setLinkTimeout(300);
        QSignalSpy spy(&c, &LinkClient::textChanged);
        c.setLinkTopic(app + "|Sheet1");
        c.setLinkItem("R1C1");
        QCOMPARE(c.setLinkMode(1), 0);
        QCOMPARE(c.linkRequest(), 0); // past 40 kB of other items' values
        QCOMPARE(c.text(), QString("42"));
        QCOMPARE(c.linkRequest(), Timeout); // only another item's value came
        QCOMPARE(c.text(), QString("42"));
        QCoreApplication::processEvents();
        for (const auto& args : spy) {
            QVERIFY(args.at(0).toString() != "666");
            QVERIFY(args.at(0).toString() != "not mine");
        }
    }

    // A client that sends but never reads cannot make the server hold more than a bound
    // for it: the server lets it go, and serves the others as before.
    void clientThatNeverReads_data() {
        QTest::addColumn<bool>("requests");
        QTest::newRow("automatic updates") << false;
        QTest::newRow("answers to requests") << true;
    }
    void clientThatNeverReads() {
        QFETCH(bool, requests);
        const QString big(4000, 'v');
        server->setValue("Plant", "Big", big);
        const int fd = connectWithoutReading(name, "INIT Plant\nADVISE Big\n");
        QVERIFY(fd >= 0);
        QTRY_COMPARE(server->connectionCount(), 1);
        qint64 most = 0;
        for (int i = 0; i < 5000 && server->connectionCount() == 1; ++i) {
            if (requests) {
                const QByteArray line = "REQUEST Big\n";
                [[maybe_unused]] const auto n = ::write(fd, line.constData(), size_t(line.size()));
            } else {
                server->setValue("Plant", "Big", big + QString::number(i));
            }
            if (i % 20 == 0) QCoreApplication::processEvents();
            most = std::max(most, queuedAtServer(*server));
        }
        QCoreApplication::processEvents();
        ::close(fd);
        QVERIFY2(most <= LinkServer::MaxQueuedBytes, qPrintable(QString::number(most)));
        QTRY_COMPARE(server->connectionCount(), 0);

        LinkClient c;
        link(c, "Plant", "FT101");
        QCOMPARE(c.setLinkMode(2), 0);
        QCOMPARE(c.linkRequest(), 0);
        QCOMPARE(c.text(), QString("12.5"));
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
