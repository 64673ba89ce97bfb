#pragma once
#include <QFileDevice>
#include <QString>
#include <vector>

namespace hv::test {

// While it lives, a file or folder can be neither written nor replaced nor removed, as one the
// system refuses: for root, which ignores permissions, through the immutable flag; for anyone
// else by taking the write permission off it and, for a file, off the folder it stands in (a
// file in a writable folder can still be replaced whole). held() is false when the file system
// takes neither, so that a test fails rather than pass for the wrong reason.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool held() const { return held_; }
    // The system's words for a write refused here: "Operation not permitted" under the flag,
    // "Permission denied" under the permissions.
    QString refusal() const;

private:
    struct Kept {
        QString path;
        QFileDevice::Permissions permissions;
    };
    QString path_;
    bool immutable_ = false;
    bool held_ = false;
    std::vector<Kept> kept_;
};

} // namespace hv::test
