#pragma once
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "core/program.h"
#include "platform/dberror.h"
#include "platform/prompts.h"
#include "platform/systeminfo.h"
#include "platform/userstore.h"

namespace hv::test {

// The number of the run-time error a call raises; 0 when it raises none.
template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}

// While it lives, no file of this process may grow beyond `bytes`: a write past it fails as
// on a full disk (the signal that would end the process is ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 previous_ = -1;
};

// Runs `work` in a child process whose file-size limit is `bytes`, soft and hard alike, as a
// shell's `ulimit -f` sets it (a hard limit can never be raised again), and returns what it
// returned; a child that did not end normally returns its status.
QString UnderHardFileSizeLimit(qint64 bytes, const std::function<QString()>& work);

// A fresh temporary data folder with a scripted prompts layer, a fake system and a
// per-user store of its own, and a Program over them. The data folder, settings file
// and database path point into the temporary folder.
struct TestEnv {
    TestEnv();
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    FakeSystemInfo system;
    std::unique_ptr<UserStore> store;
    std::unique_ptr<Program> program;

    QString path(const QString& name) const { return dir.filePath(name); }
    Program& prog() { return *program; }
};

} // namespace hv::test
