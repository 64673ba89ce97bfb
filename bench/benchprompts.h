#pragma once
#include <QString>

#include "platform/prompts.h"

namespace hv::bench {

// The bulk tools run without a window: every question is answered Yes or OK, as the user
// who chose to go on would, and the texts shown are kept for the report.
class SilentPrompts : public Prompts {
public:
    int messages = 0;
    QString first, last;
    Answer message(const QString& text, Buttons buttons, Icon, const QString&) override {
        if (++messages == 1) first = text;
        last = text;
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::OK;
    }
    std::optional<QString> input(const QString&, const QString&, const QString& d) override { return d; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    bool choosePrinter(QPrinter&) override { return false; }
};

} // namespace hv::bench
