#include "platform/filelimits.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

QString accessRefusal(const QString& path, int mode) {
    if (::access(QFile::encodeName(path).constData(), mode) == 0) return {};
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QString FileWriteRefusal(const QString& path) {
    return accessRefusal(path, W_OK);
}

QString FolderWriteRefusal(const QString& folder) {
    return accessRefusal(folder, W_OK | X_OK);
}

QString FileStatusRefusal(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) return {};
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString MakeFolder(const QString& path) {
    const QString whole = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    QString made;
    for (const QString& part : whole.split('/', Qt::SkipEmptyParts)) {
        made += '/' + part;
        const QByteArray name = QFile::encodeName(made);
        if (::mkdir(name.constData(), 0777) == 0) continue;
        const int error = errno;
        struct stat st {};
        if (::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        return QString::fromLocal8Bit(std::strerror(error == EEXIST ? ENOTDIR : error));
    }
    return {};
}

} // namespace hv
