#include "support/linknames.h"

#include <QCoreApplication>

namespace hv::test {

QString uniqueServerName() {
    static int n = 0;
    return QStringLiteral("HvTest-%1-%2").arg(QCoreApplication::applicationPid()).arg(++n);
}

} // namespace hv::test
