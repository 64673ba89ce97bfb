#pragma once
#include <QByteArray>
#include <QString>

// The line protocol between a linked box and a link server, over a QLocalSocket whose
// name is the application name lower-cased. One UTF-8 line per message, ended by "\n".
//
// Client to server          Server's answer
//   INIT topic                ACK, or NACK for a topic it does not serve
//   REQUEST item              DATA item<TAB>text, or NACK (no open topic, item refused)
//   ADVISE item               ACK then DATA item<TAB>text with the present value, or NACK
//   UNADVISE item             ACK, or NACK when the item was not advised
//   TERM                      no answer; the connection may carry a new INIT afterwards
// After an ADVISE, the server sends DATA item<TAB>text whenever the item's value changes.
// Topics and items are matched regardless of case; DATA repeats the item as the client
// wrote it. In items and texts, backslash, tab, carriage return and line feed travel as
// \\, \t, \r and \n.
namespace hv::links {

// The longest line either side takes, its end included. A value is at most a few kB; a
// longer line is refused rather than read on without end.
constexpr qsizetype MaxLineBytes = 16 * 1024;

QByteArray escapeField(const QString& text);
QString unescapeField(const QByteArray& field);

// The local socket name a server of `application` registers: the name lower-cased.
QString socketNameFor(const QString& application);

// One message: the verb (INIT, REQUEST, ...) and its argument, the DATA text apart.
struct Message {
    QByteArray verb;
    QString argument;
    QString text;           // DATA only
    bool wellFormed = true; // false for a DATA line without its tab and text
};
Message parseMessage(const QByteArray& line);
QByteArray messageLine(const char* verb, const QString& argument = {});
QByteArray dataLine(const QString& item, const QString& text);

} // namespace hv::links
