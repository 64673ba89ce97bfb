#pragma once
#include <QString>

namespace hv {

// A write past this process's file-size limit (ulimit -f) then fails with its cause, which
// the program reports, instead of the system ending the program halfway through a file.
// Called once, first thing, by every program.
void IgnoreFileSizeSignal();

// The cause of a failed write, from the system's error number: the file-size limit with
// its size, or the full disk; empty for any other error.
QString WriteLimitCause(int systemErrno);

// Why this process may not write the file at path, in the system's words ("Permission
// denied", "Operation not permitted"); empty when it may.
QString FileWriteRefusal(const QString& path);
// Why this process may not create or remove files in the folder, in the system's words;
// empty when it may.
QString FolderWriteRefusal(const QString& folder);
// Why the file at path cannot be reached (a link to itself, a link that leads nowhere), in
// the system's words; empty when it can.
QString FileStatusRefusal(const QString& path);
// Makes the folder and those above it that are missing; the system's words of what failed,
// empty when the folder is there.
QString MakeFolder(const QString& path);

// A file written beside its target and renamed over it only once it is whole on disk, so that
// a stop midway (the file-size limit, a full disk, an error) leaves the target as it was and
// nothing beside it. Each step returns the cause of its failure in the system's words, with the
// file-size limit and the full disk named as such; empty on success. A replaced file's
// permissions pass to its successor.
class FileBeside {
public:
    explicit FileBeside(const QString& target);
    ~FileBeside(); // removes the temporary file unless renamed
    FileBeside(const FileBeside&) = delete;
    FileBeside& operator=(const FileBeside&) = delete;

    // Makes the temporary file, empty, in the target's folder.
    QString open();
    // The temporary file's path, for a writer that fills it itself (a database built in place).
    const QString& path() const { return path_; }
    QString write(const QByteArray& bytes);
    // Flushes the file to the disk and renames it over the target.
    QString commit();

private:
    QString target_;
    QString path_;
    int fd_ = -1;
    bool renamed_ = false;
};

// Writes `bytes` to target whole, through FileBeside; the cause, empty on success.
QString WriteFileWhole(const QString& target, const QByteArray& bytes);
// Copies source to target whole, through FileBeside; the cause, empty on success.
QString CopyFileWhole(const QString& source, const QString& target);
// Whether the two paths lead to one file (the same device and inode); `known` is false when
// either cannot be looked at.
bool SameFileOnDisk(const QString& a, const QString& b, bool& known);

} // namespace hv
