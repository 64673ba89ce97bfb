#pragma once
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/links/linkprotocol.h"

class QLocalServer;
class QLocalSocket;

namespace hv::links {

// Rows of fields from CSV text: comma separated, a field in double quotes may hold
// commas, line breaks and doubled quotes; a leading UTF-8 byte-order mark is skipped.
QList<QStringList> parseCsv(const QByteArray& data);

// A link server inside this process: serves topics of items to LinkClients over the
// line protocol of linkprotocol.h. Used by the link test program and by tests.
//
// Two kinds of topic, both matched regardless of case:
//   a table  holds named items; a request for any other item is refused (285);
//   a sheet  answers every cell item "R<row>C<col>" (1-based, any case, "R05C3" is
//            R5C3) with the cell's text, "" for a cell outside the data; other items
//            are refused.
// setValue sends the new text at once to every client with an automatic link on the item.
class LinkServer : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QString topic;
        QString item;
        QString text;
    };

    // The most a connection may have waiting to be sent; a client that reads nothing is
    // let go when its answers and updates would pile up beyond it.
    static constexpr qint64 MaxQueuedBytes = 1 << 20;

    explicit LinkServer(QObject* parent = nullptr);
    ~LinkServer() override;

    // Registers the application's socket (its name lower-cased, reachable by this user
    // only). Refuses a name another live server has; a socket file left by a server
    // that ended is replaced. On false, errorString() says why.
    bool listen(const QString& application);
    void close();
    bool isListening() const;
    QString application() const { return application_; }
    QString errorString() const { return error_; }
    int connectionCount() const { return int(connections_.size()); }

    // Sets one item (creating a table topic when the topic is new) and pushes the text.
    // False for an item a sheet cannot hold (not R<row>C<col>).
    bool setValue(const QString& topic, const QString& item, const QString& text);
    // Removes a table item, or empties a sheet cell. False when there was none.
    bool removeItem(const QString& topic, const QString& item);
    // Makes `topic` a sheet holding `rows` (row 1 first), replacing what it held.
    void setSheet(const QString& topic, const QList<QStringList>& rows);
    // A CSV file as a sheet named after the file without its extension.
    bool addSheetFile(const QString& path);
    // A CSV file of topic, item, value lines (the value is the rest of the line) as
    // table items. Blank lines are skipped; a line without an item is an error.
    bool addItemsFile(const QString& path);

    std::optional<QString> value(const QString& topic, const QString& item) const;
    // Every table item and every non-empty sheet cell: topics in the order they came,
    // sheet cells by row then column.
    QList<Entry> entries() const;

signals:
    void connectionsChanged(int count);

private:
    struct Cell {
        QString item;
        QString text;
    };
    struct Topic {
        QString name;
        bool sheet = false;
        QHash<QString, Cell> cells; // by item key
        QStringList order;          // table item keys in the order they came
    };
    struct Connection {
        QString topicKey;
        bool open = false;
        QHash<QString, QString> advised; // item key -> item as the client wrote it
    };

    static QString itemKey(const Topic& topic, const QString& item);
    Topic& topicFor(const QString& name, bool sheet);
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);
    bool handle(QLocalSocket* socket, Connection& c, const QByteArray& line);
    void push(const QString& topicKey, const QString& key, const QString& text);
    bool queue(QLocalSocket* socket, const QByteArray& bytes);
    void drop(QLocalSocket* socket);

    QLocalServer* server_ = nullptr;
    QString application_;
    QString error_;
    QHash<QString, Topic> topics_; // by topic lower-cased
    QStringList topicOrder_;
    QHash<QLocalSocket*, Connection> connections_;
};

} // namespace hv::links
