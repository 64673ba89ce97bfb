#include "platform/links/linkerrors.h"

namespace hv::links {

QString errorDescription(int number) {
    switch (number) {
    case 0:
        return {};
    case NoServer:
        return QStringLiteral("No application answered the link, or it refused the topic");
    case ItemRefused:
        return QStringLiteral("The application refused the link item");
    case Timeout:
        return QStringLiteral("Timeout while waiting for the linked application to answer");
    case NoLink:
        return QStringLiteral("Link request without an open link");
    case InvalidMode:
        return QStringLiteral("Invalid link mode");
    default:
        return QStringLiteral("Link error %1").arg(number);
    }
}

} // namespace hv::links
