#pragma once
#include <QString>

namespace hv::test {

// Makes a file read-only (on: true) even for root, through the immutable flag as well as
// the permissions, or writable again (on: false). False when the file system lets the
// file stay writable, so that a test can skip rather than pass for the wrong reason.
bool makeReadOnly(const QString& path, bool on);

} // namespace hv::test
