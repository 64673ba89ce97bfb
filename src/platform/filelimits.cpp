#include "platform/filelimits.h"

#include <QDir>
#include <QFile>
#include <algorithm>
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

QString CopyFileWhole(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return in.errorString();
    QFile out(target + ".part");
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return out.errorString();
    QString cause;
    while (cause.isEmpty() && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) cause = in.errorString();
        // A short write is retried for the rest: only a failed one tells the cause.
        for (qint64 done = 0; cause.isEmpty() && done < chunk.size();) {
            errno = 0;
            const qint64 n = out.write(chunk.constData() + done, chunk.size() - done);
            if (n <= 0) {
                // The file-size limit or the full disk, named as such.
                const QString limit = WriteLimitCause(errno);
                cause = limit.isEmpty() ? out.errorString() : limit + " (" + out.errorString() + ")";
            }
            done += std::max<qint64>(n, 0);
        }
    }
    out.close();
    if (cause.isEmpty() && !out.rename(target)) cause = out.errorString();
    if (!cause.isEmpty()) out.remove();
    return cause;
}

bool SameFileOnDisk(const QString& a, const QString& b, bool& known) {
    struct stat sa {
    }, sb{};
    known = ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
            ::stat(QFile::encodeName(b).constData(), &sb) == 0;
    return known && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace hv
