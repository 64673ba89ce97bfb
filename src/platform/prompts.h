#pragma once
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

class QPrinter;

namespace hv {

enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Icon { None, Information, Warning, Critical, Question };
enum class Answer { OK, Cancel, Yes, No, Retry, Abort, Ignore };

// Every message box and dialog of the program goes through this interface, so that
// tests answer from a script and never block.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual Answer message(const QString& text, Buttons buttons = Buttons::OK, Icon icon = Icon::None,
                           const QString& title = QStringLiteral("Hevrin")) = 0;
    // std::nullopt when the user cancels.
    virtual std::optional<QString> input(const QString& prompt,
                                         const QString& title = QStringLiteral("Hevrin"),
                                         const QString& defaultText = {}) = 0;
    // Filters in the "desc|pattern|desc|pattern" form. Empty text on cancel.
    virtual QString openFile(const QString& title, const QString& filter,
                             const QString& initialPath = {}) = 0;
    virtual QString saveFile(const QString& title, const QString& filter,
                             const QString& initialPath = {}) = 0;
    virtual QString chooseFolder(const QString& title, const QString& initialPath = {}) = 0;
    // The printer dialog; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer) = 0;
};

// "Text files|*.txt;*.csv|All|*.*" -> "Text files (*.txt *.csv);;All (*.*)"
QString toQtFilter(const QString& filter);

// The name a save dialog returns: `path` with the extension of the chosen filter (one Qt
// filter, "Text files (*.txt *.csv)", or its patterns alone) when the file name has no
// extension of its own; unchanged under a filter that takes any name ("*.*", "*").
QString WithFilterExtension(const QString& path, const QString& qtFilter);

// Answers from a script and records every prompt shown. A prompt the script did not
// expect is recorded as a failure and answered with Cancel (or nothing).
class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Folder, Printer };
    struct Step {
        Kind kind = Kind::Message;
        QString expect = {}; // part of the text shown; empty matches anything
        Answer answer = Answer::OK;
        std::optional<QString> text;    // input, file and folder answers
        bool accept = true;             // printer dialog
        std::optional<Buttons> buttons; // message: the buttons expected
        std::optional<QString> title;   // message: the title expected, whole
    };

    // A message box whose text contains `contains`, shown with exactly these buttons and
    // this title; a mismatch of either is recorded as a failure.
    ScriptedPrompts& onMessage(const QString& contains, Buttons buttons, const QString& title, Answer answer);
    ScriptedPrompts& onMessage(const QString& contains, Answer answer);
    ScriptedPrompts& onInput(const QString& contains, std::optional<QString> answer);
    ScriptedPrompts& onOpenFile(const QString& path); // "" = cancel
    ScriptedPrompts& onSaveFile(const QString& path);

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString openFile(const QString& title, const QString& filter, const QString& initialPath) override;
    // The scripted name as the dialog returns it with its first filter chosen.
    QString saveFile(const QString& title, const QString& filter, const QString& initialPath) override;
    QString chooseFolder(const QString& title, const QString& initialPath) override;
    bool choosePrinter(QPrinter& printer) override;

    const QStringList& shown() const { return shown_; }       // every text shown, in order
    const QStringList& failures() const { return failures_; } // unexpected or mismatched prompts
    bool done() const { return steps_.empty(); }
    int pending() const { return int(steps_.size()); }
    QStringList lastFilters; // filters of the file dialogs, in order
    // Empty when every step was used and nothing unexpected came; else what went wrong.
    QString verify() const;
    void clear();

private:
    std::optional<Step> take(Kind kind, const QString& text);
    std::deque<Step> steps_;
    QStringList shown_;
    QStringList failures_;
};

} // namespace hv
