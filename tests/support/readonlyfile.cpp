#include "support/readonlyfile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hv::test {

namespace {

bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

constexpr QFileDevice::Permissions Writes =
    QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther;

} // namespace

ReadOnlyFile::ReadOnlyFile(const QString& path) : path_(path) {
    if (::geteuid() == 0) {
        immutable_ = held_ = setImmutable(path, true);
        return;
    }
    const QFileInfo info(path);
    QStringList paths{path};
    if (!info.isDir()) paths << info.absolutePath();
    for (const QString& p : paths) {
        const QFileDevice::Permissions before = QFile::permissions(p);
        kept_.push_back({p, before});
        QFile::setPermissions(p, before & ~Writes);
    }
    const QByteArray name = QFile::encodeName(path);
    held_ = ::access(name.constData(), W_OK) != 0 &&
            (info.isDir() || ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) != 0);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (immutable_) setImmutable(path_, false);
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it)
        QFile::setPermissions(it->path, it->permissions);
}

QString ReadOnlyFile::refusal() const {
    return QString::fromLocal8Bit(std::strerror(immutable_ ? EPERM : EACCES));
}

} // namespace hv::test
