#include "support/testenv.h"

#include <QDir>

namespace hv::test {

TestEnv::TestEnv() {
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

}  // namespace hv::test
