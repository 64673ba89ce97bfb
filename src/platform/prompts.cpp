#include "platform/prompts.h"

#include <QRegularExpression>

namespace hv {

namespace {

// The patterns of one filter: those in its last parentheses, or the whole text.
QStringList filterPatterns(const QString& qtFilter) {
    QString patterns = qtFilter;
    const qsizetype close = qtFilter.lastIndexOf(')');
    const qsizetype open = close < 0 ? -1 : qtFilter.lastIndexOf('(', close);
    if (open >= 0) patterns = qtFilter.mid(open + 1, close - open - 1);
    return patterns.split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts);
}

// What follows the file name's last dot looks like an extension: letters and digits,
// at least one letter ("x.csv", "a.mp4"; not "run.01.15.26").
bool hasOwnExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || dot + 1 == name.size()) return false;
    bool letter = false;
    for (const QChar c : QStringView(name).mid(dot + 1)) {
        if (!c.isLetterOrNumber()) return false;
        letter = letter || c.isLetter();
    }
    return letter;
}

} // namespace

QString WithFilterExtension(const QString& path, const QString& qtFilter) {
    const qsizetype slash = path.lastIndexOf('/');
    const QString name = path.mid(slash + 1);
    if (name.isEmpty()) return path;
    QString extension;
    for (const QString& pattern : filterPatterns(qtFilter)) {
        if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*")) return path;
        if (!pattern.startsWith(QLatin1String("*."))) continue;
        const QString ext = pattern.mid(1); // ".txt", ".hv3.mdb"
        if (ext.contains(QRegularExpression(QStringLiteral("[*?\\[]")))) continue;
        if (name.endsWith(ext, Qt::CaseInsensitive) && name.size() > ext.size()) return path;
        if (extension.isEmpty()) extension = ext;
    }
    if (extension.isEmpty() || hasOwnExtension(name)) return path;
    return (name.endsWith('.') ? path.chopped(1) : path) + extension;
}

QString toQtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        QString desc = parts[i];
        out << (desc.contains('(') ? desc : desc + " (" + pattern + ")");
    }
    return out.join(";;");
}

static ScriptedPrompts::Step scriptStep(ScriptedPrompts::Kind kind, const QString& expect,
                                        Answer answer = Answer::OK) {
    ScriptedPrompts::Step s;
    s.kind = kind;
    s.expect = expect;
    s.answer = answer;
    return s;
}

ScriptedPrompts& ScriptedPrompts::onMessage(const QString& contains, Buttons buttons, const QString& title,
                                            Answer answer) {
    Step s = scriptStep(Kind::Message, contains, answer);
    s.buttons = buttons;
    s.title = title;
    steps_.push_back(std::move(s));
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onMessage(const QString& contains, Answer answer) {
    steps_.push_back(scriptStep(Kind::Message, contains, answer));
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onInput(const QString& contains, std::optional<QString> answer) {
    Step s = scriptStep(Kind::Input, contains);
    s.text = std::move(answer);
    steps_.push_back(std::move(s));
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onOpenFile(const QString& path) {
    Step s = scriptStep(Kind::OpenFile, {});
    s.text = path;
    steps_.push_back(std::move(s));
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onSaveFile(const QString& path) {
    Step s = scriptStep(Kind::SaveFile, {});
    s.text = path;
    steps_.push_back(std::move(s));
    return *this;
}

static const char* kindName(ScriptedPrompts::Kind k) {
    switch (k) {
    case ScriptedPrompts::Kind::Message:
        return "message";
    case ScriptedPrompts::Kind::Input:
        return "input";
    case ScriptedPrompts::Kind::OpenFile:
        return "open file";
    case ScriptedPrompts::Kind::SaveFile:
        return "save file";
    case ScriptedPrompts::Kind::Folder:
        return "folder";
    case ScriptedPrompts::Kind::Printer:
        return "printer";
    }
    return "?";
}

std::optional<ScriptedPrompts::Step> ScriptedPrompts::take(Kind kind, const QString& text) {
    shown_ << text;
    if (steps_.empty()) {
        failures_ << QString("unexpected %1: %2").arg(kindName(kind), text);
        return std::nullopt;
    }
    Step s = steps_.front();
    if (s.kind != kind) {
        failures_ << QString("expected %1 \"%2\", got %3: %4")
                         .arg(kindName(s.kind), s.expect, kindName(kind), text);
        return std::nullopt;
    }
    steps_.pop_front();
    if (!s.expect.isEmpty() && !text.contains(s.expect)) {
        failures_ << QString("expected text containing \"%1\", got: %2").arg(s.expect, text);
    }
    return s;
}

static const char* buttonsName(Buttons b) {
    switch (b) {
    case Buttons::OK:
        return "OK";
    case Buttons::OKCancel:
        return "OK/Cancel";
    case Buttons::YesNo:
        return "Yes/No";
    case Buttons::YesNoCancel:
        return "Yes/No/Cancel";
    case Buttons::RetryCancel:
        return "Retry/Cancel";
    case Buttons::AbortRetryIgnore:
        return "Abort/Retry/Ignore";
    }
    return "?";
}

Answer ScriptedPrompts::message(const QString& text, Buttons buttons, Icon, const QString& title) {
    auto s = take(Kind::Message, text);
    if (s && s->buttons && *s->buttons != buttons)
        failures_ << QString("expected %1 buttons, got %2: %3")
                         .arg(buttonsName(*s->buttons), buttonsName(buttons), text);
    if (s && s->title && *s->title != title)
        failures_ << QString("expected title \"%1\", got \"%2\": %3").arg(*s->title, title, text);
    if (!s)
        return buttons == Buttons::OK ? Answer::OK
                                      : (buttons == Buttons::YesNo ? Answer::No : Answer::Cancel);
    return s->answer;
}

std::optional<QString> ScriptedPrompts::input(const QString& prompt, const QString&, const QString&) {
    auto s = take(Kind::Input, prompt);
    if (!s) return std::nullopt;
    return s->text;
}

QString ScriptedPrompts::openFile(const QString& title, const QString& filter, const QString&) {
    lastFilters << filter;
    auto s = take(Kind::OpenFile, title);
    return s && s->text ? *s->text : QString();
}

QString ScriptedPrompts::saveFile(const QString& title, const QString& filter, const QString&) {
    lastFilters << filter;
    auto s = take(Kind::SaveFile, title);
    if (!s || !s->text) return {};
    return WithFilterExtension(*s->text, toQtFilter(filter).section(QStringLiteral(";;"), 0, 0));
}

QString ScriptedPrompts::chooseFolder(const QString& title, const QString&) {
    auto s = take(Kind::Folder, title);
    return s && s->text ? *s->text : QString();
}

bool ScriptedPrompts::choosePrinter(QPrinter&) {
    auto s = take(Kind::Printer, "printer");
    return s && s->accept;
}

QString ScriptedPrompts::verify() const {
    QStringList problems = failures_;
    for (const Step& s : steps_)
        problems << QString("not shown: %1 \"%2\"").arg(kindName(s.kind), s.expect);
    return problems.join("\n");
}

void ScriptedPrompts::clear() {
    steps_.clear();
    shown_.clear();
    failures_.clear();
    lastFilters.clear();
}

} // namespace hv
