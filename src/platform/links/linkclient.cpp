#include "platform/links/linkclient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>
#include <algorithm>

#include <sys/socket.h>
#include <unistd.h>

#include "platform/links/linkerrors.h"
#include "platform/links/linkprotocol.h"

namespace hv::links {

LinkClient::LinkClient(QObject* parent) : QObject(parent) {}

LinkClient::~LinkClient() {
    if (loop_) loop_->quit(); // deleted by a slot that ran during its own wait
    if (socket_ && socket_->state() == QLocalSocket::ConnectedState) {
        if (mode_ != 0 || !openTopic_.isEmpty()) socket_->write(messageLine("TERM"));
        socket_->flush();
        socket_->disconnect(this);
    }
}

bool LinkClient::splitTopic(const QString& linkTopic, QString* application, QString* topic) {
    const qsizetype bar = linkTopic.indexOf('|');
    if (bar < 0) return false;
    const QString app = linkTopic.left(bar).trimmed();
    const QString top = linkTopic.mid(bar + 1).trimmed();
    if (app.isEmpty() || top.isEmpty()) return false;
    if (application) *application = app;
    if (topic) *topic = top;
    return true;
}

QString LinkClient::lastErrorText() const {
    return lastErrorText_;
}

int LinkClient::fail(int number, const QString& cause) {
    lastError_ = number;
    applicationMissing_ = false;
    lastErrorText_ = cause.isEmpty() ? errorDescription(number) : cause;
    return number;
}

QString LinkClient::causeOf(Answer a) {
    switch (a) {
    case Answer::Lost:
        return QStringLiteral("The linked program closed the link before it answered");
    case Answer::Overlong:
        return QStringLiteral("The linked program's answer is longer than %1 KiB").arg(MaxLineBytes / 1024);
    case Answer::Malformed:
        return QStringLiteral("The linked program's answer is not a value (a DATA line without its tab)");
    case Answer::Garbage:
        return QStringLiteral("The linked program answered with a line that is no link message");
    default:
        return {};
    }
}

void LinkClient::setLinkTopic(const QString& topic) {
    if (topic == topic_) return;
    closeLink();
    topic_ = topic;
}

void LinkClient::setLinkItem(const QString& item) {
    if (item == item_) return;
    closeLink();
    item_ = item;
}

int LinkClient::setLinkMode(int mode) {
    if (mode < 0 || mode > 2) return fail(InvalidMode);
    closeLink();
    if (mode == 0) return fail(0);
    return open(mode);
}

void LinkClient::closeLink() {
    // A manual link leaves nothing running at the server, so its conversation is kept
    // open for the next link to the same topic (the windows relink every box before
    // each fetch). An automatic link is ended at once, so its item stops being sent.
    if (mode_ == 1 && socket_ && socket_->state() == QLocalSocket::ConnectedState) {
        socket_->write(messageLine("TERM"));
        socket_->flush();
        openTopic_.clear();
    }
    mode_ = 0;
    applied_ = received_; // updates still queued belong to the closed link
}

int LinkClient::open(int mode) {
    QString application, topic;
    if (!splitTopic(topic_, &application, &topic))
        return fail(NoServer, "The link topic \"" + topic_ + "\" does not name an application and a topic");
    const QString name = socketNameFor(application);
    if (name.contains('/'))
        return fail(NoServer, "\"" + application + "\" is not an application name"); // never a path

    const QPointer<LinkClient> self(this);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A connection kept from an earlier link may belong to a server that has gone
        // since without this client having seen it yet: on a loss, once more afresh.
        const bool reused = attempt == 0 && socket_ && serverName_ == name &&
                            socket_->state() == QLocalSocket::ConnectedState;
        if (!ensureSocket(name, attempt > 0)) {
            fail(NoServer, "No application called " + application + " is running");
            applicationMissing_ = true;
            return NoServer;
        }
        if (!reused || openTopic_.compare(topic, Qt::CaseInsensitive) != 0) {
            openTopic_.clear();
            const Answer a = send(messageLine("INIT", topic), nullptr);
            if (!self) return NoLink;
            switch (a) {
            case Answer::Ack:
                openTopic_ = topic;
                break;
            case Answer::Nack:
                return fail(NoServer, application + " is running but has no topic (sheet) called " + topic);
            case Answer::TimedOut:
                dropSocket();
                return fail(Timeout);
            case Answer::Lost:
                dropSocket();
                if (reused) continue;
                return fail(NoServer, causeOf(a));
            default:
                // A flood or a line of another protocol: the program runs, but answers no link.
                dropSocket();
                return fail(NoServer, causeOf(a));
            }
        }
        mode_ = mode;
        if (mode == 2) return fail(0);
        const Answer a = send(messageLine("ADVISE", item_), nullptr);
        if (!self) return NoLink;
        switch (a) {
        case Answer::Ack:
            return fail(0);
        case Answer::TimedOut:
            return timedOut();
        case Answer::Lost:
            closeLink();
            dropSocket();
            if (reused) continue;
            return fail(NoServer, causeOf(a));
        case Answer::Overlong:
        case Answer::Garbage:
            closeLink();
            return fail(ItemRefused, causeOf(a));
        default:
            closeLink();
            return fail(ItemRefused);
        }
    }
    return fail(NoServer, causeOf(Answer::Lost));
}

int LinkClient::linkRequest() {
    if (mode_ == 0 || !socket_ || socket_->state() != QLocalSocket::ConnectedState) {
        closeLink();
        return fail(NoLink);
    }
    if (waiting_) return fail(NoLink); // re-entered during this link's own wait
    QString data;
    const QPointer<LinkClient> self(this);
    const Answer a = send(messageLine("REQUEST", item_), &data);
    if (!self) return NoLink;
    switch (a) {
    case Answer::Data:
        applied_ = answerSeq_;
        text_ = data;
        emit textChanged(text_);
        return fail(0);
    case Answer::TimedOut:
        return timedOut();
    case Answer::Lost:
        closeLink();
        return fail(NoLink, causeOf(a));
    case Answer::Overlong:
        closeLink();
        return fail(ItemRefused, causeOf(a));
    default:
        return fail(ItemRefused, causeOf(a));
    }
}

bool LinkClient::ensureSocket(const QString& serverName, bool fresh) {
    if (!fresh && socket_ && serverName_ == serverName && socket_->state() == QLocalSocket::ConnectedState)
        return true;
    dropSocket();
    socket_ = new QLocalSocket(this);
    // A server that never ends its line must not fill this process's memory.
    socket_->setReadBufferSize(MaxLineBytes);
    connect(socket_, &QLocalSocket::readyRead, this, &LinkClient::onReadyRead);
    connect(socket_, &QLocalSocket::disconnected, this, &LinkClient::onDisconnected);
    socket_->connectToServer(serverName);
    if (!socket_->waitForConnected(timeoutMs_)) {
        dropSocket();
        return false;
    }
    serverName_ = serverName;
    // A server in another process can be waited for on the socket itself, which is much
    // quicker than a turn of the event loop; one in this process needs the loop to answer.
    ucred peer{};
    socklen_t len = sizeof peer;
    peerElsewhere_ =
        ::getsockopt(int(socket_->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &len) == 0 &&
        peer.pid != ::getpid();
    return true;
}

int LinkClient::timedOut() {
    dropSocket();
    closeLink();
    return fail(Timeout);
}

void LinkClient::dropSocket() {
    if (!socket_) return;
    socket_->disconnect(this);
    socket_->abort();
    socket_->deleteLater();
    socket_ = nullptr;
    serverName_.clear();
    openTopic_.clear();
}

LinkClient::Answer LinkClient::send(const QByteArray& line, QString* data) {
    if (waiting_ || !socket_) return Answer::Lost; // re-entered from an update during a wait
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, [this, &loop] {
        if (answer_ == Answer::None) answer_ = Answer::TimedOut;
        loop.quit();
    });
    answer_ = Answer::None;
    answerText_.clear();
    loop_ = &loop;
    waiting_ = true;
    requesting_ = data != nullptr;
    const QPointer<LinkClient> self(this);
    // A write to a connection whose server has gone may report the loss at once.
    socket_->write(line);
    socket_->flush();
    if (answer_ == Answer::None && socket_ && socket_->state() != QLocalSocket::ConnectedState)
        answer_ = Answer::Lost;
    if (answer_ == Answer::None && socket_ && socket_->bytesAvailable() > 0) onReadyRead();
    if (answer_ == Answer::None && peerElsewhere_) {
        // Most answers come within a millisecond; wait on the socket briefly before the
        // loop, short enough that the window never misses a repaint.
        QElapsedTimer quick;
        quick.start();
        const int budget = std::min(timeoutMs_, QuickWaitMs);
        while (answer_ == Answer::None && socket_ && socket_->state() == QLocalSocket::ConnectedState &&
               quick.elapsed() < budget)
            socket_->waitForReadyRead(int(budget - quick.elapsed()));
        if (!self) return Answer::Lost;
    }
    if (answer_ == Answer::None && (!socket_ || socket_->state() != QLocalSocket::ConnectedState))
        answer_ = Answer::Lost;
    if (answer_ == Answer::None) {
        timer.start(timeoutMs_);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!self) return Answer::Lost;
    waiting_ = false;
    requesting_ = false;
    loop_ = nullptr;
    if (data) *data = answerText_;
    return answer_;
}

void LinkClient::onReadyRead() {
    while (socket_ && socket_->canReadLine()) {
        const Message m = parseMessage(socket_->readLine());
        const bool pending = waiting_ && answer_ == Answer::None;
        if (m.verb == "DATA") {
            const quint64 seq = ++received_;
            // Another item's value (a late update of an earlier link) answers nothing. A line
            // without its tab that starts with the item asked for is its answer, malformed: a
            // blank in the tab's place would otherwise run the wait out as a timeout.
            const bool ours = m.argument.compare(item_, Qt::CaseInsensitive) == 0 ||
                              (!m.wellFormed && m.argument.startsWith(item_ + ' ', Qt::CaseInsensitive));
            if (pending && requesting_ && ours) {
                // A line without its value is a failed fetch, never an empty value.
                answer_ = m.wellFormed ? Answer::Data : Answer::Malformed;
                answerText_ = m.text;
                answerSeq_ = seq;
            } else if (mode_ == 1 && ours && m.wellFormed) {
                QMetaObject::invokeMethod(
                    this, [this, seq, text = m.text] { deliverUpdate(seq, text); }, Qt::QueuedConnection);
            }
        } else if (pending && (m.verb == "ACK" || m.verb == "NACK")) {
            answer_ = m.verb == "ACK" ? Answer::Ack : Answer::Nack;
        } else if (pending) {
            // Waiting on would only end as a timeout, which names no cause.
            answer_ = Answer::Garbage;
        }
        if (pending && answer_ != Answer::None && loop_) loop_->quit();
    }
    if (socket_ && socket_->bytesAvailable() >= MaxLineBytes) refuseOverlongLine();
}

// The buffer is full and holds no whole line: the rest of the conversation cannot be
// trusted, so the connection goes.
void LinkClient::refuseOverlongLine() {
    dropSocket();
    connectionEnded(Answer::Overlong);
}

void LinkClient::onDisconnected() {
    openTopic_.clear();
    connectionEnded(Answer::Lost);
}

// A wait in progress ends with `why`; otherwise an open link closes.
void LinkClient::connectionEnded(Answer why) {
    if (waiting_) {
        if (answer_ == Answer::None) answer_ = why;
        if (loop_) loop_->quit();
        return;
    }
    if (mode_ == 0) return;
    mode_ = 0;
    applied_ = received_;
    QMetaObject::invokeMethod(this, &LinkClient::linkClosed, Qt::QueuedConnection);
}

void LinkClient::deliverUpdate(quint64 seq, const QString& text) {
    if (mode_ != 1 || seq <= applied_) return;
    applied_ = seq;
    text_ = text;
    emit textChanged(text_);
}

} // namespace hv::links
