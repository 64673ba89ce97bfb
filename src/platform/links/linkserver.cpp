#include "platform/links/linkserver.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <algorithm>

#include "platform/links/linkprotocol.h"

namespace hv::links {

QList<QStringList> parseCsv(const QByteArray& data) {
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool rowHasContent = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < n && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
            rowHasContent = true;
        } else if (c == ',') {
            row << field;
            field.clear();
            rowHasContent = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
            row << field;
            rows << (rowHasContent || !field.isEmpty() ? row : QStringList());
            row.clear();
            field.clear();
            rowHasContent = false;
        } else {
            field += c;
            rowHasContent = true;
        }
    }
    if (rowHasContent || !field.isEmpty()) {
        row << field;
        rows << row;
    }
    return rows;
}

LinkServer::LinkServer(QObject* parent) : QObject(parent) {}

LinkServer::~LinkServer() {
    close();
}

bool LinkServer::isListening() const {
    return server_ && server_->isListening();
}

bool LinkServer::listen(const QString& application) {
    close();
    const QString name = socketNameFor(application);
    if (name.isEmpty() || name.contains('/')) {
        error_ = QStringLiteral("\"%1\" cannot name a link server").arg(application);
        return false;
    }
    {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            error_ = QStringLiteral("Another program already serves \"%1\"").arg(name);
            return false;
        }
    }
    QLocalServer::removeServer(name); // a socket file left by a server that ended
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        error_ = server_->errorString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &LinkServer::onNewConnection);
    application_ = application;
    error_.clear();
    return true;
}

void LinkServer::close() {
    const auto sockets = connections_.keys();
    connections_.clear();
    for (QLocalSocket* s : sockets) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
        if (!sockets.isEmpty()) emit connectionsChanged(0);
    }
}

QString LinkServer::itemKey(const Topic& topic, const QString& item) {
    if (!topic.sheet) return item.toLower();
    // R<row>C<col>, both whole numbers from 1
    const qsizetype n = item.size();
    if (n < 4 || (item[0] != 'R' && item[0] != 'r')) return {};
    qsizetype i = 1;
    quint64 row = 0, col = 0;
    while (i < n && item[i].isDigit() && row < 100000000)
        row = row * 10 + item[i++].digitValue();
    if (i == 1 || i >= n || (item[i] != 'C' && item[i] != 'c')) return {};
    const qsizetype c0 = ++i;
    while (i < n && item[i].isDigit() && col < 100000000)
        col = col * 10 + item[i++].digitValue();
    if (i != n || i == c0 || row == 0 || col == 0) return {};
    return QStringLiteral("R%1C%2").arg(row).arg(col);
}

LinkServer::Topic& LinkServer::topicFor(const QString& name, bool sheet) {
    const QString key = name.trimmed().toLower();
    auto it = topics_.find(key);
    if (it == topics_.end()) {
        topicOrder_ << key;
        it = topics_.insert(key, Topic{name.trimmed(), sheet, {}, {}});
    }
    return *it;
}

bool LinkServer::setValue(const QString& topic, const QString& item, const QString& text) {
    Topic& t = topicFor(topic, false);
    const QString key = itemKey(t, item);
    if (key.isEmpty()) return false;
    auto it = t.cells.find(key);
    if (it == t.cells.end()) {
        t.cells.insert(key, Cell{t.sheet ? key : item, text});
        if (!t.sheet) t.order << key;
    } else {
        if (it->text == text) return true;
        it->text = text;
    }
    push(topic.trimmed().toLower(), key, text);
    return true;
}

bool LinkServer::removeItem(const QString& topic, const QString& item) {
    auto t = topics_.find(topic.trimmed().toLower());
    if (t == topics_.end()) return false;
    const QString key = itemKey(*t, item);
    if (!t->cells.remove(key)) return false;
    if (t->sheet)
        push(t.key(), key, QString());
    else
        t->order.removeOne(key);
    return true;
}

void LinkServer::setSheet(const QString& topic, const QList<QStringList>& rows) {
    Topic& t = topicFor(topic, true);
    const QHash<QString, Cell> before = t.cells;
    t.sheet = true;
    t.order.clear();
    t.cells.clear();
    for (qsizetype r = 0; r < rows.size(); ++r)
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            if (rows[r][c].isEmpty()) continue;
            const QString key = QStringLiteral("R%1C%2").arg(r + 1).arg(c + 1);
            t.cells.insert(key, Cell{key, rows[r][c]});
        }
    // Clients advised on cells of this topic see the new texts.
    const QString topicKey = topic.trimmed().toLower();
    QList<QLocalSocket*> overfull;
    for (auto c = connections_.cbegin(); c != connections_.cend(); ++c) {
        if (!c->open || c->topicKey != topicKey) continue;
        QByteArray lines;
        for (auto a = c->advised.cbegin(); a != c->advised.cend(); ++a) {
            const QString now = t.cells.value(a.key()).text;
            if (now != before.value(a.key()).text) lines += dataLine(a.value(), now);
        }
        if (!lines.isEmpty() && !queue(c.key(), lines)) overfull << c.key();
    }
    for (QLocalSocket* s : overfull)
        drop(s);
}

bool LinkServer::addSheetFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    setSheet(QFileInfo(path).completeBaseName(), parseCsv(f.readAll()));
    return true;
}

bool LinkServer::addItemsFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    const QList<QStringList> rows = parseCsv(f.readAll());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList& r = rows[i];
        if (r.isEmpty()) continue;
        if (r.size() < 2 || r[0].trimmed().isEmpty() || r[1].trimmed().isEmpty()) {
            error_ = QStringLiteral("%1, line %2: expected topic, item, value").arg(path).arg(i + 1);
            return false;
        }
        setValue(r[0].trimmed(), r[1].trimmed(), r.mid(2).join(','));
    }
    return true;
}

std::optional<QString> LinkServer::value(const QString& topic, const QString& item) const {
    const auto t = topics_.constFind(topic.trimmed().toLower());
    if (t == topics_.cend()) return std::nullopt;
    const QString key = itemKey(*t, item);
    if (key.isEmpty()) return std::nullopt;
    const auto c = t->cells.constFind(key);
    if (c != t->cells.cend()) return c->text;
    if (t->sheet) return QString();
    return std::nullopt;
}

QList<LinkServer::Entry> LinkServer::entries() const {
    QList<Entry> out;
    for (const QString& key : topicOrder_) {
        const Topic& t = topics_[key];
        if (!t.sheet) {
            for (const QString& k : t.order)
                out << Entry{t.name, t.cells[k].item, t.cells[k].text};
            continue;
        }
        QList<std::pair<std::pair<int, int>, const Cell*>> cells;
        for (auto c = t.cells.cbegin(); c != t.cells.cend(); ++c) {
            const qsizetype cpos = c.key().indexOf('C');
            cells.append({{c.key().mid(1, cpos - 1).toInt(), c.key().mid(cpos + 1).toInt()}, &c.value()});
        }
        std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& c : cells)
            out << Entry{t.name, c.second->item, c.second->text};
    }
    return out;
}

void LinkServer::onNewConnection() {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        s->setReadBufferSize(MaxLineBytes);
        connections_.insert(s, Connection{});
        connect(s, &QLocalSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QLocalSocket::disconnected, this, [this, s] {
            if (connections_.remove(s)) emit connectionsChanged(connectionCount());
            s->deleteLater();
        });
        emit connectionsChanged(connectionCount());
        if (s->bytesAvailable() > 0) onReadyRead(s);
    }
}

void LinkServer::onReadyRead(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        auto c = connections_.find(socket);
        if (c == connections_.end()) return;
        if (!handle(socket, *c, socket->readLine())) {
            drop(socket);
            return;
        }
    }
    // A full buffer without a whole line: no line that long is ours.
    if (socket->bytesAvailable() >= MaxLineBytes) drop(socket);
}

// Writes at once, not at the next turn of the event loop; false, writing nothing, when the
// connection already holds as much unsent as it may.
bool LinkServer::queue(QLocalSocket* socket, const QByteArray& bytes) {
    if (socket->bytesToWrite() + bytes.size() > MaxQueuedBytes) return false;
    socket->write(bytes);
    socket->flush();
    return true;
}

void LinkServer::drop(QLocalSocket* socket) {
    if (!connections_.remove(socket)) return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    emit connectionsChanged(connectionCount());
}

bool LinkServer::handle(QLocalSocket* socket, Connection& c, const QByteArray& line) {
    const Message m = parseMessage(line);
    if (m.verb == "INIT") {
        c.advised.clear();
        c.topicKey = m.argument.trimmed().toLower();
        c.open = topics_.contains(c.topicKey);
        return queue(socket, c.open ? "ACK\n" : "NACK\n");
    }
    if (m.verb == "TERM") {
        c.open = false;
        c.advised.clear();
        return true;
    }
    const auto t = c.open ? topics_.constFind(c.topicKey) : topics_.cend();
    if (t == topics_.cend() || (m.verb != "REQUEST" && m.verb != "ADVISE" && m.verb != "UNADVISE"))
        return queue(socket, "NACK\n");
    const QString key = itemKey(*t, m.argument);
    const auto cell = key.isEmpty() ? t->cells.cend() : t->cells.constFind(key);
    if (key.isEmpty() || (cell == t->cells.cend() && !t->sheet)) return queue(socket, "NACK\n");
    const QString text = cell == t->cells.cend() ? QString() : cell->text;
    if (m.verb == "REQUEST") return queue(socket, dataLine(m.argument, text));
    if (m.verb == "ADVISE") {
        c.advised.insert(key, m.argument);
        return queue(socket, "ACK\n" + dataLine(m.argument, text));
    }
    return queue(socket, c.advised.remove(key) ? "ACK\n" : "NACK\n");
}

void LinkServer::push(const QString& topicKey, const QString& key, const QString& text) {
    QList<QLocalSocket*> overfull;
    for (auto c = connections_.cbegin(); c != connections_.cend(); ++c) {
        if (!c->open || c->topicKey != topicKey) continue;
        const auto a = c->advised.constFind(key);
        if (a != c->advised.cend() && !queue(c.key(), dataLine(a.value(), text))) overfull << c.key();
    }
    for (QLocalSocket* s : overfull)
        drop(s);
}

} // namespace hv::links
