#pragma once
#include <QString>
#include <QStringList>

namespace hv::helptargets {

// Targets of the Help menu and the contact window, kept in one place. The help page and
// the licence ship beside the executable; the support address is a placeholder for the
// supplier of a copy to set.
inline const char* const HelpPage = "help.html";
inline const char* const NewsFragment = "news"; // the news section of the help page
inline const char* const LicenceDocument = "EULA.rtf";
inline const char* const SupportMailAddress = "support@example.org";
inline const char* const SupportMailSubject = "Message to Hevrin Support";

// The contact window's lines; an empty line separates the blocks.
inline QStringList ContactLines() {
    return {QStringLiteral("Hevrin support"),
            QStringLiteral("Questions and comments: ") + QLatin1String(SupportMailAddress), QString(),
            QStringLiteral("Your supplier's office and telephone numbers are given"),
            QStringLiteral("in the documents that came with your copy of Hevrin.")};
}

} // namespace hv::helptargets
