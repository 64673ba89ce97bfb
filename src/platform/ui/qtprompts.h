#pragma once
#include "platform/prompts.h"

namespace hv {

// Real dialogs.
class QtPrompts : public Prompts {
public:
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString openFile(const QString& title, const QString& filter, const QString& initialPath) override;
    QString saveFile(const QString& title, const QString& filter, const QString& initialPath) override;
    QString chooseFolder(const QString& title, const QString& initialPath) override;
    bool choosePrinter(QPrinter& printer) override;
};

} // namespace hv
