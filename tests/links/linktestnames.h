#pragma once
#include <QCoreApplication>
#include <QString>

// Server names of their own, so tests running side by side never meet.
inline QString uniqueServerName() {
    static int n = 0;
    return QStringLiteral("HvLinkTest-%1-%2").arg(QCoreApplication::applicationPid()).arg(++n);
}
