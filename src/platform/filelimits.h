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

} // namespace hv
