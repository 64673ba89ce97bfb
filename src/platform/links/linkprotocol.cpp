#include "platform/links/linkprotocol.h"

namespace hv::links {

QByteArray escapeField(const QString& text) {
    const QByteArray raw = text.toUtf8();
    QByteArray out;
    out.reserve(raw.size());
    for (char c : raw) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const char n = field[++i];
        out += n == 't' ? '\t' : n == 'r' ? '\r' : n == 'n' ? '\n' : n;
    }
    return QString::fromUtf8(out);
}

QString socketNameFor(const QString& application) {
    return application.trimmed().toLower();
}

Message parseMessage(const QByteArray& line) {
    QByteArray l = line;
    while (l.endsWith('\n') || l.endsWith('\r'))
        l.chop(1);
    Message m;
    const qsizetype sp = l.indexOf(' ');
    m.verb = (sp < 0 ? l : l.left(sp)).toUpper();
    if (sp < 0) {
        m.wellFormed = m.verb != "DATA";
        return m;
    }
    const QByteArray rest = l.mid(sp + 1);
    if (m.verb == "DATA") {
        const qsizetype tab = rest.indexOf('\t');
        m.argument = unescapeField(tab < 0 ? rest : rest.left(tab));
        if (tab >= 0) m.text = unescapeField(rest.mid(tab + 1));
        m.wellFormed = tab >= 0;
    } else {
        m.argument = unescapeField(rest);
    }
    return m;
}

QByteArray messageLine(const char* verb, const QString& argument) {
    QByteArray l(verb);
    l += ' ';
    l += escapeField(argument);
    l += '\n';
    return l;
}

QByteArray dataLine(const QString& item, const QString& text) {
    QByteArray l("DATA ");
    l += escapeField(item);
    l += '\t';
    l += escapeField(text);
    l += '\n';
    return l;
}

} // namespace hv::links
