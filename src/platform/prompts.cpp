#include "platform/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace hv {

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

Answer QtPrompts::message(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(QString(text).replace("\r\n", "\n"));
    switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::None: break;
    }
    switch (buttons) {
    case Buttons::OK: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OKCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    case Buttons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::OK;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Ignore: return Answer::Ignore;
    default: return buttons == Buttons::OK ? Answer::OK : Answer::Cancel;
    }
}

std::optional<QString> QtPrompts::input(const QString& prompt, const QString& title, const QString& defaultText) {
    bool ok = false;
    const QString s = QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal,
                                            defaultText, &ok);
    if (!ok) return std::nullopt;
    return s;
}

QString QtPrompts::openFile(const QString& title, const QString& filter, const QString& initialPath) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, initialPath, toQtFilter(filter));
}

QString QtPrompts::saveFile(const QString& title, const QString& filter, const QString& initialPath) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, initialPath, toQtFilter(filter));
}

QString QtPrompts::chooseFolder(const QString& title, const QString& initialPath) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, initialPath);
}

bool QtPrompts::choosePrinter(QPrinter& printer) {
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    return dlg.exec() == QDialog::Accepted;
}

ScriptedPrompts& ScriptedPrompts::onMessage(const QString& contains, Buttons buttons, const QString& title,
                                            Answer answer) {
    Step s{Kind::Message, contains, answer, std::nullopt, true};
    s.buttons = buttons;
    s.title = title;
    steps_.push_back(std::move(s));
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onMessage(const QString& contains, Answer answer) {
    steps_.push_back({Kind::Message, contains, answer, std::nullopt, true});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onInput(const QString& contains, std::optional<QString> answer) {
    steps_.push_back({Kind::Input, contains, Answer::OK, std::move(answer), true});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onOpenFile(const QString& path) {
    steps_.push_back({Kind::OpenFile, {}, Answer::OK, path, true});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onSaveFile(const QString& path) {
    steps_.push_back({Kind::SaveFile, {}, Answer::OK, path, true});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onFolder(const QString& path) {
    steps_.push_back({Kind::Folder, {}, Answer::OK, path, true});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::onPrinter(bool accept) {
    steps_.push_back({Kind::Printer, {}, Answer::OK, std::nullopt, accept});
    return *this;
}

static const char* kindName(ScriptedPrompts::Kind k) {
    switch (k) {
    case ScriptedPrompts::Kind::Message: return "message";
    case ScriptedPrompts::Kind::Input: return "input";
    case ScriptedPrompts::Kind::OpenFile: return "open file";
    case ScriptedPrompts::Kind::SaveFile: return "save file";
    case ScriptedPrompts::Kind::Folder: return "folder";
    case ScriptedPrompts::Kind::Printer: return "printer";
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
        failures_ << QString("expected %1 \"%2\", got %3: %4").arg(kindName(s.kind), s.expect, kindName(kind), text);
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
    case Buttons::OK: return "OK";
    case Buttons::OKCancel: return "OK/Cancel";
    case Buttons::YesNo: return "Yes/No";
    case Buttons::YesNoCancel: return "Yes/No/Cancel";
    case Buttons::RetryCancel: return "Retry/Cancel";
    case Buttons::AbortRetryIgnore: return "Abort/Retry/Ignore";
    }
    return "?";
}

Answer ScriptedPrompts::message(const QString& text, Buttons buttons, Icon, const QString& title) {
    auto s = take(Kind::Message, text);
    if (s && s->buttons && *s->buttons != buttons)
        failures_ << QString("expected %1 buttons, got %2: %3").arg(buttonsName(*s->buttons), buttonsName(buttons), text);
    if (s && s->title && *s->title != title)
        failures_ << QString("expected title \"%1\", got \"%2\": %3").arg(*s->title, title, text);
    if (!s) return buttons == Buttons::OK ? Answer::OK : (buttons == Buttons::YesNo ? Answer::No : Answer::Cancel);
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
    return s && s->text ? *s->text : QString();
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
    for (const Step& s : steps_) problems << QString("not shown: %1 \"%2\"").arg(kindName(s.kind), s.expect);
    return problems.join("\n");
}

void ScriptedPrompts::clear() {
    steps_.clear();
    shown_.clear();
    failures_.clear();
    lastFilters.clear();
}

}  // namespace hv
