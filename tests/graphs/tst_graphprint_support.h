#pragma once
#include <QColor>
#include <QFile>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hv::test {

// A small chart picture: a frame filled with `fill` and a diagonal line.
inline void writeTestSvg(const QString& path, const QColor& fill = QColor(255, 0, 0)) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(200, 150));
    svg.setViewBox(QRect(0, 0, 200, 150));
    QPainter painter(&svg);
    painter.fillRect(QRect(10, 10, 180, 130), fill);
    painter.drawLine(10, 140, 190, 10);
}

// What a test's picture writer returns: a failure in a writer's words when `fail`, else nothing.
inline std::optional<QString> writerResult(bool fail) {
    return fail ? std::optional<QString>(QStringLiteral("the picture was not written")) : std::nullopt;
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes a file unchangeable even for root (the immutable flag) while it lives; `held` is
// false when the file system does not take the flag.
struct ImmutableFile {
    explicit ImmutableFile(const QString& path) : path_(path) { held = set(true); }
    ~ImmutableFile() {
        if (held) set(false);
    }
    bool held = false;

private:
    bool set(bool on) {
        const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    QString path_;
};

} // namespace hv::test
