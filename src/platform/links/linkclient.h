#pragma once
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QEventLoop;
class QLocalSocket;

namespace hv::links {

// The link of one linked box (a value box whose text comes from another program), as
// the data collection window and the spreadsheet import use it. The window keeps one
// client per value box, connects textChanged to the box's setText, and drives it
// through the four link properties:
//
//   linkTopic  "application|topic", for example "Excel|Sheet1". The application names
//              the server (its socket is the name lower-cased), the topic one of its
//              topics (a sheet, a group of tags); both matched regardless of case.
//   linkItem   the item within the topic: a cell "R6C2", a tag name.
//   linkMode   0 none, 1 automatic (the server sends every change), 2 manual (the value
//              comes only on request). Setting 1 or 2 opens the link and answers at once
//              with an error number, 0 when the link is open:
//                282 NoServer    no application of that name answers, or it refused the
//                                topic, or answered with no link message (also an
//                                empty or malformed topic); lastErrorText() says which
//                285 ItemRefused automatic mode only: the server refused the item
//                286 Timeout     no answer within linkTimeout; the link stays closed
//                380 InvalidMode a mode other than 0, 1, 2
//              After an error the mode reads 0. Setting 0 closes the link and never
//              fails. Setting a mode always closes the link first, so setting it again
//              relinks and picks up a restarted server. (A manual link's conversation is
//              kept for the next link to the same topic of the same server, so relinking
//              every box before each fetch costs no round trip; a server that ended
//              unseen since then shows at the next request as 293.)
//   linkRequest()  fetches the item's present value (either mode). On success (0) the
//              text has replaced text() and textChanged has been emitted with it before
//              it returns (on an automatic link an older pushed value may be emitted
//              just before it). Only a DATA line for the item asked for answers it.
//              Errors: 293 NoLink (mode 0, or the server went away, also in the middle
//              of its answer), 285 ItemRefused (also an answer that is not a value: a
//              DATA line without its tab, also one whose item and value a blank parts,
//              a line of no link message, or a line longer than
//              MaxLineBytes, after which the connection is dropped and the link closed),
//              286 Timeout (the link is
//              then closed; mode reads 0). lastErrorText() names the cause.
//
// Changing linkTopic or linkItem while a link is open closes the link (mode 0); set the
// mode again to link to the new source, as the windows do: mode 0, topic, item, mode.
//
// Waiting: opening a link and a request wait for the server's answer in a local event
// loop that runs timers, socket and paint events but no user input, for at most
// linkTimeout milliseconds (default 5000; tests set a short one). A server in another
// process is first waited for on the socket alone, for at most 20 ms. Other clients'
// updates and the window's own timers can therefore run during a wait; a timer handler
// that polls must guard against re-entry.
//
// Automatic updates: a value sent by the server after the link opened (the present
// value right after mode 1 is set, then every change) is delivered as a queued
// textChanged, never inside the call that opened the link. An update still queued when
// the link is closed or relinked is dropped.
//
// linkClosed is emitted (queued) when the server closes an open link, for example when
// the serving program ends, or sends a line longer than MaxLineBytes; the mode then reads
// 0 and requests answer 293. No more than MaxLineBytes of a connection is held unread.
// lastError() and lastErrorText() repeat the outcome of the last set or request.
class LinkClient : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 5000;

    explicit LinkClient(QObject* parent = nullptr);
    ~LinkClient() override;

    QString linkTopic() const { return topic_; }
    void setLinkTopic(const QString& topic);
    QString linkItem() const { return item_; }
    void setLinkItem(const QString& item);
    int linkMode() const { return mode_; }
    int setLinkMode(int mode);
    int linkRequest();

    QString text() const { return text_; }
    int linkTimeout() const { return timeoutMs_; }
    void setLinkTimeout(int milliseconds) { timeoutMs_ = milliseconds < 0 ? 0 : milliseconds; }

    int lastError() const { return lastError_; }
    QString lastErrorText() const;
    // The last 282 came because no program of the topic's application name runs, not
    // because one refused the topic or answered with something that is no link message.
    bool applicationMissing() const { return applicationMissing_; }

    // The application and topic parts of a link topic; false when it has no "|" or
    // either part is empty.
    static bool splitTopic(const QString& linkTopic, QString* application, QString* topic);

signals:
    void textChanged(const QString& text);
    void linkClosed();

private:
    enum class Answer { None, Ack, Nack, Data, Lost, TimedOut, Overlong, Malformed, Garbage };
    int fail(int number, const QString& cause = {});
    // The cause of a failed request, where it says more than the number's own text.
    static QString causeOf(Answer a);
    int open(int mode);
    void closeLink();
    bool ensureSocket(const QString& serverName, bool fresh);
    void dropSocket();
    // A server that did not answer in time: its socket is given up with the link.
    int timedOut();
    Answer send(const QByteArray& line, QString* data);
    void onReadyRead();
    void refuseOverlongLine();
    void onDisconnected();
    void connectionEnded(Answer why);
    void deliverUpdate(quint64 seq, const QString& text);

    QString topic_;
    QString item_;
    QString text_;
    int mode_ = 0;
    int timeoutMs_ = DefaultTimeoutMs;
    int lastError_ = 0;
    QString lastErrorText_;
    bool applicationMissing_ = false;
    // DATA lines are numbered as they arrive; an update older than the last value
    // applied (or than the last close of the link) is dropped.
    quint64 received_ = 0;
    quint64 applied_ = 0;
    quint64 answerSeq_ = 0;

    QPointer<QLocalSocket> socket_;
    QString serverName_;
    QString openTopic_; // the topic the server has open for this connection
    bool peerElsewhere_ = false;
    static constexpr int QuickWaitMs = 20;
    bool waiting_ = false;
    QEventLoop* loop_ = nullptr;
    Answer answer_ = Answer::None;
    QString answerText_;
    bool requesting_ = false; // the wait is for a DATA line of item_ (send with data)
};

} // namespace hv::links
