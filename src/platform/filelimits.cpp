#include "platform/filelimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
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

namespace {

// The cause of a failed call, the file-size limit and the full disk named as such.
QString failureCause(int error) {
    const QString words = QString::fromLocal8Bit(std::strerror(error));
    const QString limit = WriteLimitCause(error);
    return limit.isEmpty() ? words : limit + " (" + words + ")";
}

} // namespace

FileBeside::FileBeside(const QString& target) : target_(target) {
    // A link is followed: the file it leads to is replaced, and the link kept.
    const QFileInfo info(target);
    if (info.isSymLink() && info.exists()) target_ = info.canonicalFilePath();
}

FileBeside::~FileBeside() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.isEmpty() && !renamed_) ::unlink(QFile::encodeName(path_).constData());
}

QString FileBeside::open() {
    // A link that leads nowhere, or to itself, is not replaced by a file.
    if (const QFileInfo info(target_); info.isSymLink() && !info.exists())
        return "Cannot open destination file: " + FileStatusRefusal(target_);
    QByteArray name = QFile::encodeName(target_) + ".XXXXXX";
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) return failureCause(errno);
    path_ = QFile::decodeName(name);
    return {};
}

QString FileBeside::write(const QByteArray& bytes) {
    if (fd_ < 0) return failureCause(EBADF);
    // A short write is retried for the rest: only a failed one tells the cause.
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failureCause(n < 0 ? errno : ENOSPC);
        done += n;
    }
    return {};
}

QString FileBeside::commit() {
    if (fd_ < 0 && path_.isEmpty()) return failureCause(EBADF);
    const QByteArray target = QFile::encodeName(target_);
    struct stat old {};
    if (fd_ >= 0) {
        // The file it replaces keeps its permissions; a new one takes the usual ones.
        if (::stat(target.constData(), &old) == 0) {
            ::fchmod(fd_, old.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd_, 0666 & ~mask);
        }
        const bool synced = ::fsync(fd_) == 0;
        const int error = errno;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        if (!synced || !closed) return failureCause(synced ? errno : error);
    }
    if (::rename(QFile::encodeName(path_).constData(), target.constData()) != 0) return failureCause(errno);
    renamed_ = true;
    return {};
}

QString WriteFileWhole(const QString& target, const QByteArray& bytes) {
    FileBeside file(target);
    QString cause = file.open();
    if (cause.isEmpty()) cause = file.write(bytes);
    if (cause.isEmpty()) cause = file.commit();
    return cause;
}

QString CopyFileWhole(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return in.errorString();
    FileBeside out(target);
    QString cause = out.open();
    while (cause.isEmpty() && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) cause = in.errorString();
        if (cause.isEmpty()) cause = out.write(chunk);
    }
    if (cause.isEmpty()) cause = out.commit();
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
