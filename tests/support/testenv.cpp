#include "support/testenv.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>

namespace hv::test {

TestEnv::TestEnv() {
    UseWallClockTime();
    QDir(dir.path()).mkpath("program");
    QDir(dir.path()).mkpath("user");
    system.programDir = dir.filePath("program");
    system.perUserDir = dir.filePath("user");
    store = std::make_unique<UserStore>(dir.filePath("userstore.ini"));
    program = std::make_unique<Program>(prompts, system, *store);
    program->AppDataFolder = dir.path();
    program->IniFilePath = dir.filePath("hevrin.ini");
    program->ProjectDatabasePath = dir.filePath("db.hv3.mdb");
}

FileSizeLimit::FileSizeLimit(qint64 bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit r{};
    getrlimit(RLIMIT_FSIZE, &r);
    previous_ = qint64(r.rlim_cur);
    r.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit r{};
    getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = rlim_t(previous_);
    setrlimit(RLIMIT_FSIZE, &r);
}

} // namespace hv::test
