#include "platform/filelimits.h"

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

namespace hv {

void IgnoreFileSizeSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

QString WriteLimitCause(int systemErrno) {
    if (systemErrno == ENOSPC) return QStringLiteral("the disk is full");
    if (systemErrno != EFBIG) return {};
    rlimit r{};
    if (getrlimit(RLIMIT_FSIZE, &r) == 0 && r.rlim_cur != RLIM_INFINITY)
        return QStringLiteral("the file reached this process's file-size limit of %1 bytes (ulimit -f)")
            .arg(qulonglong(r.rlim_cur));
    return QStringLiteral("the file reached the largest size its file system allows");
}

} // namespace hv
