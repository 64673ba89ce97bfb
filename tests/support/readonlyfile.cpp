#include "support/readonlyfile.h"

#include <QFile>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hv::test {

bool makeReadOnly(const QString& path, bool on) {
    QFile::setPermissions(path, on ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    ::close(fd);
    return !on || ::access(QFile::encodeName(path).constData(), W_OK) != 0;
}

} // namespace hv::test
