#include "support/testenv.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

QString UnderHardFileSizeLimit(qint64 bytes, const std::function<QString()>& work) {
    int ends[2];
    if (::pipe(ends) != 0) return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{rlim_t(bytes), rlim_t(bytes)};
        QByteArray said = ::setrlimit(RLIMIT_FSIZE, &r) == 0 ? work().toUtf8() : "setrlimit failed";
        for (qsizetype done = 0; done < said.size();) {
            const ssize_t n = ::write(ends[1], said.constData() + done, size_t(said.size() - done));
            if (n <= 0) break;
            done += n;
        }
        ::_exit(0);
    }
    ::close(ends[1]);
    QByteArray said;
    char buf[4096];
    for (ssize_t n; child > 0 && (n = ::read(ends[0], buf, sizeof buf)) > 0;)
        said.append(buf, n);
    ::close(ends[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return QStringLiteral("no child");
    if (!WIFEXITED(status)) return QStringLiteral("child ended with status %1").arg(status);
    return QString::fromUtf8(said);
}

} // namespace hv::test
